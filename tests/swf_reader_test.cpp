// The SWF reader and the frame clock on their own: movies made by the test's writer, cut and damaged.
#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "frame_clock.h"
#include "swf_reader.h"
#include "swf_writer.h"

// Every allocation of this program goes through here, so that a case can see the most memory that a read
// held at once: the size sits in front of each block.
namespace {
std::atomic<size_t> LiveBytes{0};
std::atomic<size_t> PeakBytes{0};
constexpr size_t kSizeHead = 16;  // keeps the blocks aligned as malloc's are

void* Allocate(size_t size) {
    auto* block = static_cast<unsigned char*>(std::malloc(size + kSizeHead));
    if (!block)
        return nullptr;
    *reinterpret_cast<size_t*>(block) = size;
    const size_t live = LiveBytes += size;
    size_t peak = PeakBytes.load();
    while (live > peak && !PeakBytes.compare_exchange_weak(peak, live)) {
    }
    return block + kSizeHead;
}

void Free(void* p) {
    if (!p)
        return;
    unsigned char* block = static_cast<unsigned char*>(p) - kSizeHead;
    LiveBytes -= *reinterpret_cast<size_t*>(block);
    std::free(block);
}
}  // namespace

void* operator new(size_t size) {
    if (void* p = Allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    return operator new(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    Free(p);
}
void operator delete[](void* p) noexcept {
    Free(p);
}
void operator delete(void* p, size_t) noexcept {
    Free(p);
}
void operator delete[](void* p, size_t) noexcept {
    Free(p);
}

namespace {

swf::ReadStatus Read(const std::vector<uint8_t>& data, swf::MovieInfo* info) {
    return swf::ReadMovie(data.data(), data.size(), info);
}

TEST(SwfReader, ReadsHeaderAndTags) {
    struct Case {
        const char* what;
        swf::MovieOptions opts;
    };
    swf::MovieOptions fws;
    fws.version = 8;
    fws.width = 640 * 20;
    fws.height = 360 * 20;
    fws.frameRate = (29 << 8) | 0xF6;  // 29.96 fps
    fws.frameCount = 7;
    fws.showFrames = 7;
    fws.background = 0xFF8000;
    swf::MovieOptions cws = fws;
    cws.compressed = true;
    cws.frameCount = 60;
    cws.showFrames = 60;
    swf::MovieOptions longTags = fws;
    longTags.longTagHeaders = true;
    swf::MovieOptions noColour = fws;
    noColour.background.reset();
    swf::MovieOptions tinyStage = fws;
    tinyStage.width = 1;
    tinyStage.height = 0;
    const Case cases[] = {
        {"FWS", fws}, {"CWS", cws}, {"long tag headers", longTags}, {"no colour", noColour}, {"1x0 stage", tinyStage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> data = swf::WriteMovie(c.opts);
        swf::MovieInfo info;
        ASSERT_EQ(Read(data, &info), swf::ReadStatus::Ok);
        EXPECT_EQ(info.compression, c.opts.compressed ? swf::Compression::Zlib : swf::Compression::None);
        EXPECT_EQ(info.version, c.opts.version);
        EXPECT_EQ(info.frame.xMin, 0);
        EXPECT_EQ(info.frame.xMax, c.opts.width);
        EXPECT_EQ(info.frame.yMin, 0);
        EXPECT_EQ(info.frame.yMax, c.opts.height);
        EXPECT_EQ(info.frameRate, c.opts.frameRate);
        EXPECT_EQ(info.headerFrameCount, c.opts.frameCount);
        EXPECT_EQ(info.showFrames, c.opts.showFrames);
        EXPECT_EQ(info.frameCount, c.opts.frameCount);
        EXPECT_EQ(info.hasBackground, c.opts.background.has_value());
        if (c.opts.background) {
            EXPECT_EQ(info.background, *c.opts.background);
        }
    }
}

TEST(SwfReader, RectFieldsOfEveryWidthSignExtend) {
    for (unsigned nbits : {1u, 2u, 15u, 16u, 30u, 31u}) {
        SCOPED_TRACE(nbits);
        int32_t lo = nbits == 1 ? -1 : -(int32_t(1) << (nbits - 1));
        int32_t hi = nbits == 1 ? 0 : int32_t((int64_t(1) << (nbits - 1)) - 1);
        std::vector<uint8_t> data =
            swf::WriteRawMovie(swf::EncodeRect(nbits, lo, hi, hi, lo), 12 << 8, 1, {0x40, 0x00, 0x00, 0x00});
        swf::MovieInfo info;
        ASSERT_EQ(Read(data, &info), swf::ReadStatus::Ok);
        EXPECT_EQ(info.frame.xMin, lo);
        EXPECT_EQ(info.frame.xMax, hi);
        EXPECT_EQ(info.frame.yMin, hi);
        EXPECT_EQ(info.frame.yMax, lo);
        EXPECT_EQ(info.frameRate, 12 << 8);
    }
}

TEST(SwfReader, FrameCountFromHeaderOrFrames) {
    const struct {
        const char* what;
        uint16_t header;
        uint32_t showFrames;
        uint32_t expected;
    } cases[] = {
        {"header wins over ShowFrame tags", 10, 3, 10},
        {"zero in the header: the ShowFrame tags", 0, 4, 4},
        {"nothing at all: one frame", 0, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        swf::MovieOptions opts;
        opts.frameCount = c.header;
        opts.showFrames = c.showFrames;
        swf::MovieInfo info;
        ASSERT_EQ(Read(swf::WriteMovie(opts), &info), swf::ReadStatus::Ok);
        EXPECT_EQ(info.frameCount, c.expected);
    }
}

TEST(SwfReader, CutMoviesKeepTheFramesRead) {
    for (bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "CWS" : "FWS");
        swf::MovieOptions opts;
        opts.compressed = compressed;
        opts.frameCount = 20;
        opts.showFrames = 20;
        opts.background = 0x010203;
        std::vector<uint8_t> whole = swf::WriteMovie(opts);
        size_t headerEnd = 8 + swf::EncodeRect(15, 0, opts.width, 0, opts.height).size() + 4;
        uint32_t lastFrames = 0;
        for (size_t cut = 0; cut < whole.size(); ++cut) {
            SCOPED_TRACE(cut);
            swf::MovieInfo info;
            swf::ReadStatus status = swf::ReadMovie(whole.data(), cut, &info);
            if (cut < 8 || (!compressed && cut < headerEnd)) {
                EXPECT_EQ(status, swf::ReadStatus::NotSwf);
                continue;
            }
            if (status == swf::ReadStatus::NotSwf) {
                EXPECT_TRUE(compressed) << "an FWS movie cut after its header still plays";
                continue;
            }
            if (status == swf::ReadStatus::Ok) {
                // Only the zlib checksum was cut: every tag is there.
                EXPECT_TRUE(compressed);
                EXPECT_EQ(info.showFrames, 20u);
                continue;
            }
            EXPECT_EQ(status, swf::ReadStatus::Truncated);
            EXPECT_GE(info.frameCount, 1u);
            EXPECT_LE(info.frameCount, 20u);
            // The longer the cut, the more frames; never fewer than a shorter cut gave.
            EXPECT_GE(info.showFrames, lastFrames);
            lastFrames = info.showFrames;
        }
        if (!compressed) {
            EXPECT_EQ(lastFrames, 20u);  // the last cut drops only the End tag
        }
    }
}

TEST(SwfReader, RefusesWhatIsNoMovie) {
    swf::MovieOptions opts;
    std::vector<uint8_t> good = swf::WriteMovie(opts);
    const struct {
        const char* what;
        size_t offset;
        std::vector<uint8_t> bytes;
        swf::ReadStatus expected;
    } cases[] = {
        {"bad first letter", 0, {'G'}, swf::ReadStatus::NotSwf},
        {"bad second letter", 1, {'X'}, swf::ReadStatus::NotSwf},
        {"lower case", 0, {'f', 'w', 's'}, swf::ReadStatus::NotSwf},
        {"LZMA", 0, {'Z'}, swf::ReadStatus::Unsupported},
        {"declared length below the head", 4, {7, 0, 0, 0}, swf::ReadStatus::NotSwf},
        {"declared length cutting the RECT", 4, {9, 0, 0, 0}, swf::ReadStatus::NotSwf},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> data = good;
        std::copy(c.bytes.begin(), c.bytes.end(), data.begin() + c.offset);
        swf::MovieInfo info;
        EXPECT_EQ(Read(data, &info), c.expected);
        EXPECT_FALSE(swf::IsPlayable(c.expected));
    }
    swf::MovieInfo info;
    EXPECT_EQ(swf::ReadMovie(nullptr, 0, &info), swf::ReadStatus::NotSwf);
}

TEST(SwfReader, DeclaredLengthOnlyShortens) {
    for (bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "CWS" : "FWS");
        swf::MovieOptions opts;
        opts.compressed = compressed;
        opts.frameCount = 40;
        opts.showFrames = 40;
        opts.declaredLength = 0xFFFFFFFF;
        swf::MovieInfo info;
        EXPECT_EQ(Read(swf::WriteMovie(opts), &info), swf::ReadStatus::Ok);
        EXPECT_EQ(info.declaredLength, 0xFFFFFFFFu);
        EXPECT_EQ(info.showFrames, 40u);

        // Declared shorter than the movie: the tags past the declared end are not read.
        opts.declaredLength.reset();
        std::vector<uint8_t> whole = swf::WriteMovie(opts);
        opts.declaredLength = uint32_t(8 + swf::EncodeRect(15, 0, opts.width, 0, opts.height).size() + 4 + 2 * 10);
        EXPECT_EQ(Read(swf::WriteMovie(opts), &info), swf::ReadStatus::Truncated);
        EXPECT_EQ(info.showFrames, 10u);
        EXPECT_EQ(info.frameCount, 10u);
    }
}

TEST(SwfReader, DamagedZlibKeepsWhatCameBefore) {
    swf::MovieOptions opts;
    opts.compressed = true;
    opts.frameCount = 500;
    opts.showFrames = 500;
    opts.background = 0x00FF00;
    std::vector<uint8_t> data = swf::WriteMovie(opts);
    swf::MovieInfo info;
    std::vector<uint8_t> garbage = data;
    for (size_t i = 8; i < garbage.size(); ++i)
        garbage[i] = uint8_t(i * 37);
    EXPECT_EQ(Read(garbage, &info), swf::ReadStatus::NotSwf);

    // A bad checksum is found only after the last byte of the movie came out.
    std::vector<uint8_t> badSum = data;
    badSum.back() ^= 0xFF;
    EXPECT_EQ(Read(badSum, &info), swf::ReadStatus::Ok);
    EXPECT_EQ(info.showFrames, 500u);
    EXPECT_EQ(info.background, 0x00FF00u);
}

TEST(FrameClock, AdvancesAtTheRateAndWraps) {
    swf::FrameClock clock;
    clock.SetMovie(10, 20 << 8);  // 20 fps: a frame every 50 ms
    EXPECT_FALSE(clock.Playing());
    clock.Play(1000);
    const struct {
        uint64_t at;
        uint32_t frame;
    } steps[] = {{1000, 0}, {1049, 0}, {1050, 1}, {1450, 9}, {1500, 0}, {1550, 1}, {1000 + 50 * 1003, 3}};
    for (const auto& s : steps)
        EXPECT_EQ(clock.Frame(s.at), s.frame) << s.at;
    clock.Stop(1175);
    EXPECT_EQ(clock.Frame(99999), 3u);
    clock.Play(2000);
    EXPECT_EQ(clock.Frame(2100), 5u);
    EXPECT_EQ(clock.IntervalMs(), 50u);
}

TEST(FrameClock, SeekClampsAndKeepsPlaying) {
    swf::FrameClock clock;
    clock.SetMovie(24, 12 << 8);
    clock.Play(0);
    clock.Seek(100, 500);
    EXPECT_TRUE(clock.Playing());
    EXPECT_EQ(clock.Frame(500), 23u);
    EXPECT_EQ(clock.Frame(500 + 84), 0u);  // 12 fps: 83.3 ms a frame
    clock.Seek(-7, 1000);
    EXPECT_EQ(clock.Frame(1000), 0u);
}

TEST(FrameClock, OddRates) {
    swf::FrameClock clock;
    clock.SetMovie(100, 0);  // a zero rate plays at 12 fps
    clock.Play(0);
    EXPECT_EQ(clock.Frame(1000), 12u);
    EXPECT_EQ(clock.IntervalMs(), 83u);
    clock.SetMovie(100, 0xFFFF);  // 255.99 fps, refreshed at the timer's floor
    EXPECT_EQ(clock.IntervalMs(), 10u);
    clock.SetMovie(100, 1);  // 1/256 fps
    EXPECT_EQ(clock.IntervalMs(), 1000u);
    clock.Play(0);
    EXPECT_EQ(clock.Frame(255999), 0u);
    EXPECT_EQ(clock.Frame(256000), 1u);
    swf::FrameClock empty;
    empty.Play(0);
    EXPECT_FALSE(empty.Playing());
    EXPECT_EQ(empty.Frame(1000), 0u);
}

// A "CWS" movie declaring 4 GB: a whole movie, and behind it (or, with a filler tag, inside it) tens of
// megabytes of zeros that deflate to a few tens of kilobytes. Reading it costs what the movie holds up to
// its End tag, not what the file declares or what its zlib stream could give.
std::vector<uint8_t> MovieWithZeros(size_t zeros, bool fillerFirst) {
    std::vector<uint8_t> body;
    const std::vector<uint8_t> rect = swf::EncodeRect(15, 0, 6400, 0, 4800);
    body.insert(body.end(), rect.begin(), rect.end());
    body.insert(body.end(), {0, 12, 10, 0});  // 12 fps, 10 frames
    if (fillerFirst) {
        // A tag of an unknown kind whose data is the zeros: the movie's frames come after it.
        const uint32_t length = static_cast<uint32_t>(zeros);
        body.insert(body.end(), {uint8_t(2 << 6 | 0x3F), 0, uint8_t(length), uint8_t(length >> 8),
                                 uint8_t(length >> 16), uint8_t(length >> 24)});
    }
    std::vector<uint8_t> frames = {0x43, 0x02, 0x20, 0x40, 0xC0};  // SetBackgroundColor 0x2040C0
    for (int i = 0; i < 10; ++i)
        frames.insert(frames.end(), {0x40, 0x00});  // ShowFrame
    frames.insert(frames.end(), {0x00, 0x00});      // End

    std::vector<uint8_t> out = {'C', 'W', 'S', 10, 0xFF, 0xFF, 0xFF, 0xFF};
    z_stream zs = {};
    EXPECT_EQ(deflateInit(&zs, Z_BEST_COMPRESSION), Z_OK);
    std::vector<uint8_t> chunk(1 << 16);
    const std::vector<uint8_t> zeroChunk(1 << 20, 0);
    auto feed = [&](const uint8_t* data, size_t size, int flush) {
        zs.next_in = const_cast<Bytef*>(data);
        zs.avail_in = static_cast<uInt>(size);
        do {
            zs.next_out = chunk.data();
            zs.avail_out = static_cast<uInt>(chunk.size());
            deflate(&zs, flush);
            out.insert(out.end(), chunk.data(), chunk.data() + (chunk.size() - zs.avail_out));
        } while (zs.avail_out == 0 || zs.avail_in != 0);
    };
    feed(body.data(), body.size(), Z_NO_FLUSH);
    if (!fillerFirst)
        feed(frames.data(), frames.size(), Z_NO_FLUSH);
    for (size_t left = zeros; left > 0;) {
        const size_t piece = std::min(left, zeroChunk.size());
        feed(zeroChunk.data(), piece, Z_NO_FLUSH);
        left -= piece;
    }
    if (fillerFirst)
        feed(frames.data(), frames.size(), Z_NO_FLUSH);
    feed(nullptr, 0, Z_FINISH);
    deflateEnd(&zs);
    return out;
}

TEST(SwfReader, ADeclaredHugeMovieCostsWhatItHoldsUpToItsEnd) {
    const struct {
        const char* what;
        size_t zeros;
        bool fillerFirst;
        swf::ReadStatus status;
        uint32_t showFrames;
    } cases[] = {
        // Past the End tag nothing is read, however much the stream still holds.
        {"zeros after the End tag", 80u << 20, false, swf::ReadStatus::Ok, 10},
        // A tag is skipped a step at a time; one that runs past the size limit cuts the movie there.
        {"a filler tag of 8 MB before the frames", 8u << 20, true, swf::ReadStatus::Ok, 10},
        {"a filler tag past the size limit", swf::kMaxMovieBytes, true, swf::ReadStatus::Truncated, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<uint8_t> data = MovieWithZeros(c.zeros, c.fillerFirst);
        ASSERT_LT(data.size(), 300u << 10);
        swf::MovieInfo info;
        const size_t before = LiveBytes.load();
        PeakBytes = before;
        EXPECT_EQ(Read(data, &info), c.status);
        EXPECT_LT(PeakBytes.load() - before, 1u << 20) << "bytes held at once while reading";
        EXPECT_EQ(info.declaredLength, 0xFFFFFFFFu);
        EXPECT_EQ(info.showFrames, c.showFrames);
        EXPECT_EQ(info.hasBackground, c.showFrames > 0);
        if (c.showFrames > 0) {
            EXPECT_EQ(info.background, 0x2040C0u);
            EXPECT_EQ(info.frameCount, 10u);
        }
    }
}

}  // namespace
