#pragma once
// Shared by the tests of the video area, the main window and the link module: GDI+ and the link class
// for the whole run, the program's globals pointed at the test exe, a fake engine, and small helpers.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <gtest/gtest.h>
#include <vector>

#include "AppGlobals.h"
#include "Hyperlink.h"
#include "MediaPlayer.h"

// GDI+ and HYPERLINK for the whole test program, as start-up would have them.
class UiEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token_, &input, nullptr);
        AppGlobals.instance = GetModuleHandleW(nullptr);
        HyperlinkInit(AppGlobals.instance);
    }
    void TearDown() override {
        HyperlinkUninit(AppGlobals.instance);
        Gdiplus::GdiplusShutdown(token_);
    }

  private:
    ULONG_PTR token_ = 0;
};

// An engine whose answers the test sets.
class FakePlayer : public MediaPlayer {
  public:
    explicit FakePlayer(PlayerType kind = kPlayerVlc, PlayerState state = kStateNothing, bool playing = false)
        : kind(kind), state(state), playing(playing) {}
    PlayerType type() override { return kind; }
    bool init(HWND) override { return true; }
    void release() override {}
    bool open(const wchar_t*) override { return true; }
    void play() override {}
    bool isPlaying() override { return playing; }
    void pause() override {}
    void stop() override {}
    MediaTime getTime() override { return 0; }
    MediaTime getLength() override { return 0; }
    void setTime(MediaTime) override {}
    VolumeLevel getVolume() override { return 100; }
    bool setVolume(VolumeLevel) override { return true; }
    PlayerState getState() override { return state; }
    void setWindow(HWND) override {}
    bool isMuted() override { return false; }
    void toggleMute() override {}

    PlayerType kind;
    PlayerState state;
    bool playing;
};

// A plain top-level window of the test's own class, for parents and owners.
inline HWND MakeTestWindow(DWORD style, int x, int y, int width, int height, HWND owner = nullptr) {
    static ATOM atom = [] {
        WNDCLASSEXW wc = {sizeof(wc)};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VantrelUiTestWindow";
        return RegisterClassExW(&wc);
    }();
    (void)atom;
    return CreateWindowExW(0, L"VantrelUiTestWindow", L"test", style, x, y, width, height, owner, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

inline void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// A 32-bit top-down DIB selected into a memory DC, filled with one colour.
class Canvas {
  public:
    Canvas(int width, int height, COLORREF fill = RGB(255, 0, 255)) : width_(width), height_(height) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        RECT all = {0, 0, width, height};
        HBRUSH brush = CreateSolidBrush(fill);
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC dc() const { return dc_; }
    // 0x00RRGGBB
    unsigned pixel(int x, int y) const {
        GdiFlush();
        return bits_[y * width_ + x] & 0xFFFFFF;
    }
    std::vector<unsigned> pixels() const {
        GdiFlush();
        std::vector<unsigned> all(bits_, bits_ + width_ * height_);
        for (auto& p : all)
            p &= 0xFFFFFF;
        return all;
    }

  private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    unsigned* bits_ = nullptr;
};
