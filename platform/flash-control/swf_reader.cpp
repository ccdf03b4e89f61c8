// The SWF container: an 8-byte head ("FWS", "CWS" or "ZWS", a version byte and the declared length of the
// whole uncompressed file), then, zlib-compressed for "CWS", the frame RECT, the 8.8 frame rate, the frame
// count and the tags. Every length in the file is untrusted: the declared length only ever shortens what
// is read, and decompression stops at what the data really holds or at kMaxMovieBytes, whichever comes
// first, so a small file that declares 4 GB costs what it contains.
#include "swf_reader.h"

#include <zlib.h>

#include <algorithm>
#include <new>
#include <vector>

namespace swf {
namespace {

constexpr size_t kHeadBytes = 8;
constexpr uint16_t kTagEnd = 0;
constexpr uint16_t kTagShowFrame = 1;
constexpr uint16_t kTagSetBackgroundColor = 9;

uint32_t ReadU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t ReadU16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

class BitReader {
  public:
    BitReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    // Reads n (0..32) bits, most significant first; false when the data ends first.
    bool Bits(unsigned n, uint32_t* value) {
        uint32_t v = 0;
        for (unsigned i = 0; i < n; ++i) {
            size_t byte = bit_ / 8;
            if (byte >= size_)
                return false;
            v = (v << 1) | ((data_[byte] >> (7 - bit_ % 8)) & 1u);
            ++bit_;
        }
        *value = v;
        return true;
    }

    bool SignedBits(unsigned n, int32_t* value) {
        uint32_t v;
        if (!Bits(n, &v))
            return false;
        if (n > 0 && n < 32 && (v & (1u << (n - 1))))
            v |= ~0u << n;
        *value = static_cast<int32_t>(v);
        return true;
    }

    size_t BytesUsed() const { return (bit_ + 7) / 8; }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t bit_ = 0;
};

// Inflates the body of a "CWS" movie into out, at most limit bytes. Corrupt or cut data ends the output
// where it stops making sense; what came before is kept, as a player streaming the file would show it.
void Inflate(const uint8_t* data, size_t size, size_t limit, std::vector<uint8_t>* out) {
    z_stream zs = {};
    if (inflateInit(&zs) != Z_OK)
        return;
    zs.next_in = const_cast<Bytef*>(data);
    size_t fed = 0;
    size_t produced = 0;
    for (;;) {
        if (zs.avail_in == 0 && fed < size) {
            // avail_in is 32 bits wide; feed large inputs in pieces.
            uInt piece = static_cast<uInt>(std::min<size_t>(size - fed, 1u << 30));
            zs.next_in = const_cast<Bytef*>(data + fed);
            zs.avail_in = piece;
            fed += piece;
        }
        if (produced >= limit)
            break;
        // Grow with the output, from a small start: most movies here are tiny, and fresh memory costs
        // page faults.
        size_t room = std::min(std::clamp<size_t>(produced, 4096, 1u << 20), limit - produced);
        try {
            out->resize(produced + room);
        } catch (const std::bad_alloc&) {
            break;
        }
        zs.next_out = out->data() + produced;
        zs.avail_out = static_cast<uInt>(room);
        int rc = inflate(&zs, Z_NO_FLUSH);
        produced += room - zs.avail_out;
        // Z_OK always means progress; anything else is the end, a corrupt stream or input that ran out.
        if (rc != Z_OK)
            break;
    }
    inflateEnd(&zs);
    out->resize(produced);
}

// Reads the movie header and the tags from the uncompressed body (everything after the 8-byte head).
ReadStatus ReadBody(const uint8_t* body, size_t size, MovieInfo* info) {
    BitReader bits(body, size);
    uint32_t nbits;
    if (!bits.Bits(5, &nbits) || !bits.SignedBits(nbits, &info->frame.xMin) ||
        !bits.SignedBits(nbits, &info->frame.xMax) || !bits.SignedBits(nbits, &info->frame.yMin) ||
        !bits.SignedBits(nbits, &info->frame.yMax))
        return ReadStatus::NotSwf;
    size_t pos = bits.BytesUsed();
    if (size - pos < 4)
        return ReadStatus::NotSwf;
    info->frameRate = ReadU16(body + pos);
    info->headerFrameCount = ReadU16(body + pos + 2);
    pos += 4;

    bool complete = false;
    while (size - pos >= 2) {
        uint16_t codeAndLength = ReadU16(body + pos);
        pos += 2;
        uint16_t code = codeAndLength >> 6;
        size_t length = codeAndLength & 0x3F;
        if (length == 0x3F) {
            if (size - pos < 4)
                break;
            length = ReadU32(body + pos);
            pos += 4;
        }
        if (code == kTagEnd) {
            complete = true;
            break;
        }
        if (length > size - pos)
            break;  // the tag runs past the data: the movie is cut here
        ++info->tags;
        if (code == kTagShowFrame) {
            ++info->showFrames;
        } else if (code == kTagSetBackgroundColor && length >= 3 && !info->hasBackground) {
            info->hasBackground = true;
            info->background = uint32_t(body[pos]) << 16 | uint32_t(body[pos + 1]) << 8 | body[pos + 2];
        }
        pos += length;
    }
    uint32_t header = info->headerFrameCount;
    uint32_t frames;
    if (complete)
        frames = header ? header : info->showFrames;
    else
        frames = header ? std::min(header, info->showFrames) : info->showFrames;
    info->frameCount = std::max(frames, 1u);
    return complete ? ReadStatus::Ok : ReadStatus::Truncated;
}

}  // namespace

ReadStatus ReadMovie(const uint8_t* data, size_t size, MovieInfo* info) {
    *info = MovieInfo();
    if (!data || size < kHeadBytes || data[1] != 'W' || data[2] != 'S')
        return ReadStatus::NotSwf;
    switch (data[0]) {
        case 'F':
            info->compression = Compression::None;
            break;
        case 'C':
            info->compression = Compression::Zlib;
            break;
        case 'Z':
            info->compression = Compression::Lzma;
            break;
        default:
            return ReadStatus::NotSwf;
    }
    info->version = data[3];
    info->declaredLength = ReadU32(data + 4);
    if (info->compression == Compression::Lzma)
        return ReadStatus::Unsupported;
    if (info->declaredLength < kHeadBytes)
        return ReadStatus::NotSwf;
    size_t bodyLimit = std::min<size_t>(info->declaredLength - kHeadBytes, kMaxMovieBytes);

    if (info->compression == Compression::None)
        return ReadBody(data + kHeadBytes, std::min(size - kHeadBytes, bodyLimit), info);

    std::vector<uint8_t> body;
    Inflate(data + kHeadBytes, size - kHeadBytes, bodyLimit, &body);
    return ReadBody(body.data(), body.size(), info);
}

}  // namespace swf
