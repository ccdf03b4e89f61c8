#pragma once
// Shared by the tests of the video area, the main window and the link module: GDI+ and the link class
// for the whole run, the program's globals pointed at the test exe, a fake engine and a test window; the
// waits and the canvas come from test_util.h.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <gtest/gtest.h>

#include "AppGlobals.h"
#include "Hyperlink.h"
#include "MediaPlayer.h"
#include "test_util.h"

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
