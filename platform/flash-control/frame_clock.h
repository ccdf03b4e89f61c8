#pragma once
// The frame position of a movie as a function of time: while playing, frames advance at the movie's
// rate from the frame and the moment playing last started, and wrap to the first frame after the last.
// Times are milliseconds of a monotonic clock that the caller passes in, so the arithmetic is testable.
#include <cstdint>

namespace swf {

class FrameClock {
  public:
    // A rate of 0 would stop the clock for good; the authoring tools' default of 12 fps is used instead.
    static constexpr uint32_t kZeroRateSubstitute = 12 << 8;

    void SetMovie(uint32_t frameCount, uint16_t frameRate) {
        frames_ = frameCount;
        rate_ = frameRate ? frameRate : kZeroRateSubstitute;
        base_ = 0;
        playing_ = false;
    }

    uint32_t Frame(uint64_t now) const {
        if (!frames_)
            return 0;
        if (!playing_)
            return base_;
        uint64_t elapsed = now - start_;
        // ms * (frames per second * 256) / (1000 * 256)
        uint64_t advanced = elapsed * rate_ / 256000u;
        return uint32_t((base_ + advanced) % frames_);
    }

    bool Playing() const { return playing_; }
    uint32_t FrameCount() const { return frames_; }

    void Play(uint64_t now) {
        if (!frames_ || playing_)
            return;
        start_ = now;
        playing_ = true;
    }

    void Stop(uint64_t now) {
        base_ = Frame(now);
        playing_ = false;
    }

    // Goes to frame (clamped to the movie); the playing state stays as it was.
    void Seek(int64_t frame, uint64_t now) {
        if (!frames_)
            return;
        if (frame < 0)
            frame = 0;
        if (frame >= int64_t(frames_))
            frame = frames_ - 1;
        base_ = uint32_t(frame);
        start_ = now;
    }

    // How often the picture should be refreshed while playing: one frame's time, kept between 10 ms (the
    // timer's practical floor) and one second.
    uint32_t IntervalMs() const {
        uint32_t ms = 256000u / rate_;
        return ms < 10 ? 10 : ms > 1000 ? 1000 : ms;
    }

  private:
    uint32_t frames_ = 0;
    uint32_t rate_ = kZeroRateSubstitute;
    uint32_t base_ = 0;
    uint64_t start_ = 0;
    bool playing_ = false;
};

}  // namespace swf
