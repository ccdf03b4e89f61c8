// libFuzzer target for the SWF reader, built natively by tools/test.d/fuzz-swf.sh. Besides crashes and
// the sanitizers' findings it checks what the control relies on: a playable movie has at least one frame
// and never more than its header or its ShowFrame tags account for.
#include <cstdlib>

#include "swf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    swf::MovieInfo info;
    swf::ReadStatus status = swf::ReadMovie(data, size, &info);
    if (swf::IsPlayable(status)) {
        uint32_t bound = info.headerFrameCount > info.showFrames ? info.headerFrameCount : info.showFrames;
        if (info.frameCount < 1 || info.frameCount > (bound ? bound : 1))
            std::abort();
        if (info.showFrames > info.tags)
            std::abort();
    } else if (info.frameCount != 0) {
        std::abort();
    }
    return 0;
}
