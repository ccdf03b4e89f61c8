// Checks that the test binaries really run under Wine as 64-bit Windows programs with the Unicode
// settings of the product.
#include <windows.h>
#include <gtest/gtest.h>

TEST(Harness, RunsAsUnicodeWindowsProgram) {
    EXPECT_EQ(sizeof(TCHAR), 2u);
    OSVERSIONINFOW info = {sizeof(info)};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ASSERT_TRUE(GetVersionExW(&info));
#pragma GCC diagnostic pop
    EXPECT_GE(info.dwMajorVersion, 6u);
    EXPECT_NE(GetModuleHandleW(L"ntdll.dll"), nullptr);
}
