// Writes the bundled sample movies (samples/), or, with --seeds, a seed corpus for the reader's fuzzer.
// Built natively by tools/make-samples.sh and tools/test.d/fuzz-swf.sh; the product build never runs it.
#include <cstdio>
#include <string>

#include "swf_writer.h"

namespace {

bool Save(const std::string& path, const std::vector<uint8_t>& data) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

swf::MovieOptions Options(bool compressed, uint32_t colour, uint16_t frames, uint16_t rate) {
    swf::MovieOptions s;
    s.compressed = compressed;
    s.background = colour;
    s.frameCount = frames;
    s.showFrames = frames;
    s.frameRate = rate;
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::string(argv[1]) != "--samples" && std::string(argv[1]) != "--seeds")) {
        std::fprintf(stderr, "usage: make_samples --samples|--seeds <folder>\n");
        return 2;
    }
    std::string dir = argv[2];
    bool ok = true;
    if (std::string(argv[1]) == "--samples") {
        ok &= Save(dir + "/blue-60frames.swf", swf::WriteMovie(Options(true, 0x0000FF, 60, 24 << 8)));
        ok &= Save(dir + "/orange-24frames.swf", swf::WriteMovie(Options(false, 0xFF8000, 24, 12 << 8)));
        return ok ? 0 : 1;
    }
    swf::MovieOptions longTags = Options(false, 0x123456, 5, 30 << 8);
    longTags.longTagHeaders = true;
    swf::MovieOptions noColour = Options(true, 0, 3, 0);
    noColour.background.reset();
    swf::MovieOptions huge = Options(true, 0x00FF00, 10, 60 << 8);
    huge.declaredLength = 0xFFFFFFFF;
    ok &= Save(dir + "/fws.swf", swf::WriteMovie(Options(false, 0xFF0000, 4, 24 << 8)));
    ok &= Save(dir + "/cws.swf", swf::WriteMovie(Options(true, 0x0000FF, 8, 12 << 8)));
    ok &= Save(dir + "/long-tags.swf", swf::WriteMovie(longTags));
    ok &= Save(dir + "/no-colour.swf", swf::WriteMovie(noColour));
    ok &= Save(dir + "/huge-length.swf", swf::WriteMovie(huge));
    ok &= Save(dir + "/rect31.swf", swf::WriteRawMovie(swf::EncodeRect(31, -0x40000000, 0x3FFFFFFF, -1, 7), 0, 2,
                                                       {0x40, 0x00, 0x40, 0x00, 0x00, 0x00}));
    return ok ? 0 : 1;
}
