// Temporary stand-ins for the video area and the control bar, linked only into the controller's test
// until the real modules land; the video area makes plain child windows.
#include <windows.h>
#include "AppGlobals.h"
#include "PlayBar.h"
#include "PlayLogic.h"
#include "PlayWnd.h"

static PlayWnd* StandInPlayWnd = nullptr;

// temporary stand-in
PlayWnd* PlayWnd::instance() {
    if (!StandInPlayWnd)
        StandInPlayWnd = new PlayWnd;
    return StandInPlayWnd;
}

// temporary stand-in
void PlayWnd::destroyInstance() {
    delete StandInPlayWnd;
    StandInPlayWnd = nullptr;
}

// temporary stand-in
PlayWnd::~PlayWnd() = default;

// temporary stand-in
bool PlayWnd::createHost(HINSTANCE instance, HWND parent) {
    if (!host)
        host = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 640, 400, parent, nullptr, instance,
                               nullptr);
    return host != nullptr;
}

// temporary stand-in
bool PlayWnd::open(int type, HINSTANCE instance) {
    if (videoWindow && AppGlobals.playLogic && AppGlobals.playLogic->playerType == type)
        return true;
    destroyVideoWindow();
    videoWindow = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 640, 400, host, nullptr, instance, nullptr);
    return videoWindow != nullptr;
}

// temporary stand-in
void PlayWnd::showVideoWindow(bool show) {
    if (IsWindow(videoWindow))
        ShowWindowAsync(videoWindow, show ? SW_SHOW : SW_HIDE);
}

// temporary stand-in
void PlayWnd::destroyVideoWindow() {
    if (IsWindow(videoWindow))
        DestroyWindow(videoWindow);
    videoWindow = nullptr;
}

// temporary stand-in
void PlayWnd::destroyWindows() {
    destroyVideoWindow();
    if (IsWindow(host))
        DestroyWindow(host);
    host = nullptr;
}

// temporary stand-in
void PlayBar::updateButtons() {}
// temporary stand-in
void PlayBar::updateTime() {}
// temporary stand-in
void PlayBar::updateVolume() {}
// temporary stand-in
void PlayBar::reset() {}
