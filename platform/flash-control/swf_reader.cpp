// The SWF container: an 8-byte head ("FWS", "CWS" or "ZWS", a version byte and the declared length of the
// whole uncompressed file), then, zlib-compressed for "CWS", the frame RECT, the 8.8 frame rate, the frame
// count and the tags. Every length in the file is untrusted: the declared length only ever shortens what
// is read, and decompression stops at the End tag, at what the data really holds or at kMaxMovieBytes,
// whichever comes first, so a small file that declares 4 GB costs what its movie contains.
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

// The uncompressed body (everything after the 8-byte head), read from front to back. An "FWS" body is at
// hand as it stands. A "CWS" body is inflated a step at a time as the reader asks for it, and what was read
// is dropped: a movie costs the memory of one step and the time of what comes before its End tag, whatever
// its head declares and however much its zlib stream could still give. Corrupt or cut data ends the body
// where it stops making sense; what came before is kept, as a player streaming the file would show it.
class BodyStream {
  public:
    BodyStream(const uint8_t* data, size_t size) : plain_(data), end_(size) {}

    BodyStream(const uint8_t* data, size_t size, size_t limit) : input_(data), inputSize_(size), limit_(limit) {
        inflating_ = inflateInit(&zs_) == Z_OK;
        zs_.next_in = const_cast<Bytef*>(data);
    }
    ~BodyStream() {
        if (inflating_)
            inflateEnd(&zs_);
    }
    BodyStream(const BodyStream&) = delete;
    BodyStream& operator=(const BodyStream&) = delete;

    // Makes up to n bytes from the current position available and says how many there are.
    size_t Have(size_t n) {
        while (end_ - pos_ < n && More()) {
        }
        return std::min(end_ - pos_, n);
    }
    bool Need(size_t n) { return Have(n) == n; }
    const uint8_t* At() const { return (plain_ ? plain_ : window_.data()) + pos_; }

    // Moves past n bytes; false when the body ends first.
    bool Skip(size_t n) {
        for (;;) {
            const size_t here = std::min(end_ - pos_, n);
            pos_ += here;
            n -= here;
            if (n == 0)
                return true;
            if (!More())
                return false;
        }
    }

  private:
    // Inflates one more step behind what is still unread; false when the body has ended and nothing came.
    bool More() {
        if (plain_ || !inflating_ || produced_ >= limit_)
            return false;
        // What was read goes; the few unread bytes move to the front.
        window_.erase(window_.begin(), window_.begin() + pos_);
        end_ -= pos_;
        pos_ = 0;
        if (zs_.avail_in == 0 && fed_ < inputSize_) {
            // avail_in is 32 bits wide; feed large inputs in pieces.
            const uInt piece = static_cast<uInt>(std::min<size_t>(inputSize_ - fed_, 1u << 30));
            zs_.next_in = const_cast<Bytef*>(input_ + fed_);
            zs_.avail_in = piece;
            fed_ += piece;
        }
        const size_t room = std::min(kStep, limit_ - produced_);
        try {
            window_.resize(end_ + room);
        } catch (const std::bad_alloc&) {
            return Finish();
        }
        zs_.next_out = window_.data() + end_;
        zs_.avail_out = static_cast<uInt>(room);
        const int rc = inflate(&zs_, Z_NO_FLUSH);
        const size_t got = room - zs_.avail_out;
        end_ += got;
        produced_ += got;
        window_.resize(end_);
        // Z_OK always means progress (input taken, if no output yet); anything else is the end, a corrupt
        // stream or input that ran out, and what it gave last is still read.
        if (rc == Z_OK)
            return true;
        Finish();
        return got > 0;
    }

    bool Finish() {
        if (inflating_)
            inflateEnd(&zs_);
        inflating_ = false;
        return false;
    }

    // Small: most movies here are tiny, and fresh memory costs page faults.
    static constexpr size_t kStep = 64u << 10;

    const uint8_t* plain_ = nullptr;
    const uint8_t* input_ = nullptr;
    size_t inputSize_ = 0;
    size_t fed_ = 0;
    size_t limit_ = 0;
    size_t produced_ = 0;
    z_stream zs_ = {};
    bool inflating_ = false;
    std::vector<uint8_t> window_;
    size_t pos_ = 0;  // the reader's place in the window (or the plain body)
    size_t end_ = 0;  // where the bytes at hand end
};

// The RECT: 5 bits of field width, then four fields of that width.
constexpr size_t kMaxRectBytes = (5 + 4 * 31 + 7) / 8;

// Reads the movie header and the tags up to the End tag.
ReadStatus ReadBody(BodyStream& body, MovieInfo* info) {
    const size_t rectBytes = body.Have(kMaxRectBytes);  // first: it may move the bytes At points to
    BitReader bits(body.At(), rectBytes);
    uint32_t nbits;
    if (!bits.Bits(5, &nbits) || !bits.SignedBits(nbits, &info->frame.xMin) ||
        !bits.SignedBits(nbits, &info->frame.xMax) || !bits.SignedBits(nbits, &info->frame.yMin) ||
        !bits.SignedBits(nbits, &info->frame.yMax))
        return ReadStatus::NotSwf;
    body.Skip(bits.BytesUsed());
    if (!body.Need(4))
        return ReadStatus::NotSwf;
    info->frameRate = ReadU16(body.At());
    info->headerFrameCount = ReadU16(body.At() + 2);
    body.Skip(4);

    bool complete = false;
    while (body.Need(2)) {
        const uint16_t codeAndLength = ReadU16(body.At());
        body.Skip(2);
        const uint16_t code = codeAndLength >> 6;
        size_t length = codeAndLength & 0x3F;
        if (length == 0x3F) {
            if (!body.Need(4))
                break;
            length = ReadU32(body.At());
            body.Skip(4);
        }
        if (code == kTagEnd) {
            complete = true;
            break;
        }
        // A tag counts only once all of it is there: one that runs past the data cuts the movie before it.
        const bool colour = code == kTagSetBackgroundColor && length >= 3 && !info->hasBackground && body.Need(3);
        const uint32_t rgb = colour ? uint32_t(body.At()[0]) << 16 | uint32_t(body.At()[1]) << 8 | body.At()[2] : 0;
        if (!body.Skip(length))
            break;
        ++info->tags;
        if (code == kTagShowFrame) {
            ++info->showFrames;
        } else if (colour) {
            info->hasBackground = true;
            info->background = rgb;
        }
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

    if (info->compression == Compression::None) {
        BodyStream body(data + kHeadBytes, std::min(size - kHeadBytes, bodyLimit));
        return ReadBody(body, info);
    }
    BodyStream body(data + kHeadBytes, size - kHeadBytes, bodyLimit);
    return ReadBody(body, info);
}

}  // namespace swf
