#pragma once
// What the test programs share: the waits that look at a condition until it holds, and a canvas to draw
// into and read pixels back from, with the copy of what the screen shows of a window.
#include <windows.h>

#include <algorithm>
#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

#include "UniqueHandle.h"

// Dispatches every message queued for this thread.
inline void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// How long a wait rests between two looks at its condition when nothing wakes it earlier.
constexpr DWORD kWaitStepMs = 20;

namespace test_wait {

inline bool Until(const std::function<bool()>& condition, DWORD timeoutMs, DWORD stepMs, HANDLE wake, bool pump) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        // The clock is read before the look, so the look that ends a wait as timed out began at the deadline
        // or after it: a condition that came true during the last rest is still seen.
        const bool last = GetTickCount64() >= deadline;
        if (pump)
            PumpMessages();
        if (condition())
            return true;
        if (last)
            return false;
        const ULONGLONG now = GetTickCount64();
        const DWORD rest = now >= deadline ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, stepMs));
        if (pump)
            MsgWaitForMultipleObjects(wake ? 1 : 0, wake ? &wake : nullptr, FALSE, rest, QS_ALLINPUT);
        else if (wake)
            WaitForSingleObject(wake, rest);
        else
            Sleep(rest);
    }
}

}  // namespace test_wait

// Looks at the condition until it holds or timeoutMs have passed, dispatching this thread's messages
// before every look (the windows of this thread keep working, and what other threads post to it arrives).
// True as soon as it holds; false only when a look begun at or after the deadline still finds it false.
// A message for this thread, or `wake` being signalled, ends a rest early; a wake handle that stays
// signalled (a manual-reset event) makes every later rest end at once.
inline bool PumpUntil(const std::function<bool()>& condition,
                      DWORD timeoutMs,
                      DWORD stepMs = kWaitStepMs,
                      HANDLE wake = nullptr) {
    return test_wait::Until(condition, timeoutMs, stepMs, wake, true);
}

// The same wait without touching this thread's messages: for a thread with no windows of its own to keep
// going, a worker, or a test that watches another process and must not dispatch what its own windows
// are sent in the meantime.
inline bool PollUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD stepMs = kWaitStepMs) {
    return test_wait::Until(condition, timeoutMs, stepMs, nullptr, false);
}

// A colour that neither the program nor the stand-in control ever paints: a canvas filled with it first
// shows what a drawing left out.
constexpr COLORREF kUnpainted = RGB(255, 0, 255);

// A 32-bit top-down DIB section selected into a memory DC: a surface to draw into and read back pixel by
// pixel. A new canvas is black, every bit zero, unless a fill colour is given. It owns its DC and its
// bitmap, so it is never copied (two copies would delete the same handles); it can be moved out of the
// function that made it.
class Canvas {
  public:
    Canvas(int width, int height, COLORREF color = RGB(0, 0, 0)) : dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // rows from the top
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        if (dc_ && width > 0 && height > 0)
            bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!bitmap_ || !bits)
            return;  // an empty canvas: every pixel CLR_INVALID
        old_ = SelectObject(dc_.get(), bitmap_.get());
        width_ = width;
        height_ = height;
        bits_ = static_cast<const DWORD*>(bits);
        if (color != RGB(0, 0, 0))
            fill(color);
    }
    Canvas(Canvas&& other) noexcept
        : bitmap_(std::move(other.bitmap_)),
          dc_(std::move(other.dc_)),
          old_(std::exchange(other.old_, nullptr)),
          width_(std::exchange(other.width_, 0)),
          height_(std::exchange(other.height_, 0)),
          bits_(std::exchange(other.bits_, nullptr)) {}
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    Canvas& operator=(Canvas&&) = delete;
    ~Canvas() {
        // The bitmap leaves the DC before either is deleted (the members go DC first, then the bitmap).
        if (dc_ && old_)
            SelectObject(dc_.get(), old_);
    }

    HDC dc() const { return dc_.get(); }
    int width() const { return width_; }
    int height() const { return height_; }

    void fill(COLORREF color) {
        if (!bits_)
            return;
        const UniqueHbrush brush(CreateSolidBrush(color));
        const RECT all = {0, 0, width_, height_};
        FillRect(dc_.get(), &all, brush.get());
    }

    // The colour at (x, y), as GetPixel gives it: CLR_INVALID outside the canvas.
    COLORREF pixel(int x, int y) const {
        if (x < 0 || y < 0 || x >= width_ || y >= height_)
            return CLR_INVALID;
        GdiFlush();
        return ColorOf(bits_[static_cast<size_t>(y) * width_ + x]);
    }
    // Every pixel, row by row from the top.
    std::vector<COLORREF> pixels() const {
        GdiFlush();
        std::vector<COLORREF> all(static_cast<size_t>(width_) * height_);
        std::transform(bits_, bits_ + all.size(), all.begin(), ColorOf);
        return all;
    }

  private:
    // A DIB pixel holds blue in its low byte, a COLORREF red.
    static COLORREF ColorOf(DWORD dib) { return RGB((dib >> 16) & 0xFF, (dib >> 8) & 0xFF, dib & 0xFF); }

    UniqueHbitmap bitmap_;
    UniqueHdc dc_;
    HGDIOBJ old_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    const DWORD* bits_ = nullptr;
};
static_assert(!std::is_copy_constructible_v<Canvas> && !std::is_copy_assignable_v<Canvas>,
              "a copy of a canvas would delete its DC and bitmap a second time");
static_assert(std::is_nothrow_move_constructible_v<Canvas>);

// What the display shows of a rectangle of the screen, copied from the screen's DC.
inline Canvas CaptureScreen(const RECT& area) {
    Canvas shot(area.right - area.left, area.bottom - area.top);
    const WindowDC screen(nullptr);
    BitBlt(shot.dc(), 0, 0, shot.width(), shot.height(), screen.get(), area.left, area.top, SRCCOPY);
    return shot;
}

// What the display shows of a window's client area, read from the screen (so it holds whatever covers
// the window there, and a picture that reaches the screen without GDI): pixel (x, y) of the canvas is
// the client area's (x, y).
inline Canvas CaptureScreen(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    return CaptureScreen(RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom});
}
