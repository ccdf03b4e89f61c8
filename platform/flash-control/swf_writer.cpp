#include "swf_writer.h"

#include <zlib.h>

#include <algorithm>

namespace swf {
namespace {

void PutU16(std::vector<uint8_t>* out, uint32_t v) {
    out->push_back(uint8_t(v));
    out->push_back(uint8_t(v >> 8));
}

void PutU32(std::vector<uint8_t>* out, uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

void PutTag(std::vector<uint8_t>* out, uint16_t code, const std::vector<uint8_t>& body, bool longHeader) {
    if (longHeader || body.size() >= 0x3F) {
        PutU16(out, uint32_t(code) << 6 | 0x3F);
        PutU32(out, uint32_t(body.size()));
    } else {
        PutU16(out, uint32_t(code) << 6 | uint32_t(body.size()));
    }
    out->insert(out->end(), body.begin(), body.end());
}

unsigned BitsFor(int32_t v) {
    // Signed bits needed for v, at least one.
    unsigned n = 1;
    while (n < 32 && !(v >= -(int64_t(1) << (n - 1)) && v < (int64_t(1) << (n - 1))))
        ++n;
    return n;
}

}  // namespace

std::vector<uint8_t> EncodeRect(unsigned nbits, int32_t xMin, int32_t xMax, int32_t yMin, int32_t yMax) {
    std::vector<uint8_t> out;
    uint64_t acc = 0;
    unsigned used = 0;
    auto put = [&](uint32_t value, unsigned n) {
        for (unsigned i = n; i-- > 0;) {
            acc = (acc << 1) | ((value >> i) & 1u);
            if (++used == 8) {
                out.push_back(uint8_t(acc));
                acc = 0;
                used = 0;
            }
        }
    };
    put(nbits, 5);
    for (int32_t v : {xMin, xMax, yMin, yMax})
        put(uint32_t(v), nbits);
    if (used)
        out.push_back(uint8_t(acc << (8 - used)));
    return out;
}

std::vector<uint8_t> WriteRawMovie(const std::vector<uint8_t>& rect,
                                   uint16_t frameRate,
                                   uint16_t frameCount,
                                   const std::vector<uint8_t>& tags) {
    std::vector<uint8_t> out = {'F', 'W', 'S', 10, 0, 0, 0, 0};
    out.insert(out.end(), rect.begin(), rect.end());
    PutU16(&out, frameRate);
    PutU16(&out, frameCount);
    out.insert(out.end(), tags.begin(), tags.end());
    uint32_t length = uint32_t(out.size());
    for (int i = 0; i < 4; ++i)
        out[4 + i] = uint8_t(length >> (8 * i));
    return out;
}

std::vector<uint8_t> WriteMovie(const MovieOptions& opts) {
    unsigned nbits = std::max(BitsFor(opts.width), BitsFor(opts.height));
    std::vector<uint8_t> body = EncodeRect(nbits, 0, opts.width, 0, opts.height);
    PutU16(&body, opts.frameRate);
    PutU16(&body, opts.frameCount);
    if (opts.background) {
        uint32_t c = *opts.background;
        PutTag(&body, 9, {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)}, opts.longTagHeaders);
    }
    for (uint32_t i = 0; i < opts.showFrames; ++i)
        PutTag(&body, 1, {}, opts.longTagHeaders);
    PutTag(&body, 0, {}, false);

    uint32_t length = opts.declaredLength.value_or(uint32_t(8 + body.size()));
    std::vector<uint8_t> out = {uint8_t(opts.compressed ? 'C' : 'F'), 'W', 'S', opts.version};
    PutU32(&out, length);
    if (!opts.compressed) {
        out.insert(out.end(), body.begin(), body.end());
        return out;
    }
    uLongf packedSize = compressBound(uLong(body.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, body.data(), uLong(body.size()), Z_BEST_COMPRESSION) != Z_OK)
        return {};
    out.insert(out.end(), packed.begin(), packed.begin() + packedSize);
    return out;
}

}  // namespace swf
