#pragma once
#include <windows.h>

namespace Gdiplus {
class Image;
}

// The video area: the black host dialog above the control bar, its credit link and logo, and the video
// window of the current engine. One object per process.
class PlayWnd {
  public:
    static PlayWnd* instance();
    static void destroyInstance();

    virtual ~PlayWnd();
    PlayWnd(const PlayWnd&) = delete;
    PlayWnd& operator=(const PlayWnd&) = delete;

    bool createHost(HINSTANCE instance, HWND parent);
    bool loadLogo();
    bool open(int type, HINSTANCE instance);
    void layout();
    void paint(HDC dc, bool videoSurface);
    void autoHideCursor();
    // Never waits for the video window's thread.
    void showVideoWindow(bool show);
    void destroyVideoWindow();
    void destroyWindows();
    void createLinkFont(HWND host);
    void setCursorVisible(bool show);

    HWND host = nullptr;
    HWND videoWindow = nullptr;
    HFONT linkFont = nullptr;
    HWND creditLink = nullptr;
    Gdiplus::Image* logo = nullptr;
    DWORD lastMoveTick = 0;
    POINT lastCursorPos = {0, 0};
    BOOL cursorHidden = FALSE;

  private:
    PlayWnd() = default;
};

INT_PTR CALLBACK PlayWndHostProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PlayWndVideoProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void ShowPlayerContextMenu(HMENU menu);
// The menu loop behind ShowPlayerContextMenu; TrackPopupMenu unless a test puts an observer here.
using TrackMenuFunction = BOOL(WINAPI*)(HMENU, UINT, int, int, int, HWND, const RECT*);
extern TrackMenuFunction PlayerMenuTrack;
