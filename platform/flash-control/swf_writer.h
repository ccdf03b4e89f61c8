#pragma once
// Writes small SWF movies for tests and the bundled samples: a background colour and empty frames.
#include <cstdint>
#include <optional>
#include <vector>

namespace swf {

struct MovieOptions {
    bool compressed = false;  // "CWS" (zlib) instead of "FWS"
    uint8_t version = 10;
    int32_t width = 550 * 20;  // stage size in twips, written as the RECT (0, width, 0, height)
    int32_t height = 400 * 20;
    uint16_t frameRate = 24 << 8;            // 8.8 fixed point
    uint16_t frameCount = 1;                 // the header's count
    uint32_t showFrames = 1;                 // ShowFrame tags written
    std::optional<uint32_t> background;      // 0xRRGGBB; no SetBackgroundColor tag without it
    std::optional<uint32_t> declaredLength;  // written instead of the real length
    bool longTagHeaders = false;             // write every tag with the 6-byte header
};

std::vector<uint8_t> WriteMovie(const MovieOptions& opts);

// The RECT with nbits fields, the values written as given (each must fit in nbits signed bits).
std::vector<uint8_t> EncodeRect(unsigned nbits, int32_t xMin, int32_t xMax, int32_t yMin, int32_t yMax);

// A whole uncompressed movie around a given RECT encoding and tag bytes.
std::vector<uint8_t> WriteRawMovie(const std::vector<uint8_t>& rect,
                                   uint16_t frameRate,
                                   uint16_t frameCount,
                                   const std::vector<uint8_t>& tags);

}  // namespace swf
