// Linked into every test program. gtest writes its progress through stdout, which the C runtime buffers
// in full when it is a file (as it is under tools/wine-run): a program that went down before its exit
// would leave nothing behind, and a failure would not say how far it got. Unbuffered, every line is
// written as it is printed.
#include <cstdio>

namespace {

const int kUnbuffered = [] {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    return 0;
}();

}  // namespace
