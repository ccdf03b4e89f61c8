#pragma once
// Reads what the stand-in Flash control needs from a SWF movie: the header and the tags up to the end of
// the movie. Pure code (no Windows calls) so that it also builds natively for fuzzing.
#include <cstddef>
#include <cstdint>

namespace swf {

enum class Compression { None, Zlib, Lzma };

enum class ReadStatus {
    Ok,           // header and every tag up to the End tag were read
    Truncated,    // the header was read, the tag stream stops early; the frames read so far are kept
    NotSwf,       // no SWF signature, or the header itself is cut short or damaged
    Unsupported,  // LZMA-compressed movie: there is no decoder here
};

struct Rect {
    int32_t xMin = 0;
    int32_t xMax = 0;
    int32_t yMin = 0;
    int32_t yMax = 0;
};

struct MovieInfo {
    Compression compression = Compression::None;
    uint8_t version = 0;
    uint32_t declaredLength = 0;  // as the file says; never trusted for sizes
    Rect frame;                   // in twips
    uint16_t frameRate = 0;       // 8.8 fixed point, frames per second
    uint16_t headerFrameCount = 0;
    uint32_t showFrames = 0;  // ShowFrame tags read
    bool hasBackground = false;
    uint32_t background = 0;  // 0xRRGGBB from the first SetBackgroundColor tag
    uint32_t tags = 0;
    // The frames a player can show: the header's count when the tag stream is whole, otherwise the frames
    // that were read completely; at least 1 for a movie whose header was read.
    uint32_t frameCount = 0;
};

// Movies larger than this (as read, or after decompression) are read up to this size only.
constexpr size_t kMaxMovieBytes = 64u << 20;

ReadStatus ReadMovie(const uint8_t* data, size_t size, MovieInfo* info);

// True when ReadMovie's status means there is a movie to show.
inline bool IsPlayable(ReadStatus status) {
    return status == ReadStatus::Ok || status == ReadStatus::Truncated;
}

}  // namespace swf
