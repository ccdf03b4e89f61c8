// The video area: a black host dialog above the control bar with the idle logo, the credit link and the
// current engine's video window (our dialog 170 for the VLC engine, the library's instance dialog for
// the SWF engine).
//
// Double-clicks and right-clicks reach us three ways: on the black host itself, on the VLC picture
// (dialog 170, because libvlc's own mouse handling is off) and from the SWF library, which posts them to
// its parent, the host. All of it runs on the user-interface thread; the VLC engine's events reach
// showVideoWindow through a message the controller posts to the main window.
#include "PlayWnd.h"

#include <objidl.h>
#include <gdiplus.h>
#include <cstddef>
#include <cstdlib>
#include <new>

#include "AppGlobals.h"
#include "Hyperlink.h"
#include "MediaPlayer.h"
#include "PlayLogic.h"
#include "UniqueHandle.h"
#include "quorra.h"
#include "resource.h"

TrackMenuFunction PlayerMenuTrack = TrackPopupMenu;

namespace {

PlayWnd* TheInstance = nullptr;

// The metrics up to, not including, iPaddedBorderWidth: the size every Windows version accepts. It has
// no pointer in it, so it is 500 bytes on 64-bit Windows as well.
constexpr UINT kNonClientMetricsSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
static_assert(kNonClientMetricsSize == 500, "the metrics without the padded border are 500 bytes");

constexpr int kCursorMoveThreshold = 5;   // pixels on either axis
constexpr DWORD kCursorHideDelay = 5000;  // milliseconds at rest while playing

MediaPlayer* CurrentPlayer() {
    return AppGlobals.playLogic ? AppGlobals.playLogic->player : nullptr;
}

PlayerState CurrentState() {
    MediaPlayer* player = CurrentPlayer();
    return player ? player->getState() : kStateNothing;
}

void PostFullScreenToggle() {
    const WPARAM command = AppGlobals.fullScreen ? ID_LEAVE_FULL_SCREEN : ID_FULL_SCREEN;
    PostMessageW(AppGlobals.mainWindow, WM_COMMAND, command, 0);
}

void ShowContextMenuFromResources() {
    HMENU menu = LoadMenuW(AppGlobals.instance, MAKEINTRESOURCEW(IDR_POPUP));
    if (menu)
        ShowPlayerContextMenu(menu);
}

void Grey(HMENU popup, UINT command) {
    EnableMenuItem(popup, command, MF_BYCOMMAND | MF_GRAYED | MF_DISABLED);
}

}  // namespace

PlayWnd* PlayWnd::instance() {
    if (!TheInstance)
        TheInstance = new (std::nothrow) PlayWnd();
    return TheInstance;
}

void PlayWnd::destroyInstance() {
    delete TheInstance;
    TheInstance = nullptr;
}

PlayWnd::~PlayWnd() {
    delete logo;
    logo = nullptr;
    destroyWindows();
}

bool PlayWnd::createHost(HINSTANCE instance, HWND parent) {
    if (!host)
        host = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_PLAYHOST), parent, PlayWndHostProc, 0);
    return host != nullptr;
}

bool PlayWnd::loadLogo() {
    delete logo;
    logo = nullptr;
    if (HRSRC resource = FindResourceW(AppGlobals.instance, MAKEINTRESOURCEW(IDB_LOGO), L"PNG")) {
        logo = LoadResourceImage(resource, AppGlobals.instance);
        // An image that does not decode would draw nothing anyway; drop it so that paint knows.
        if (logo && logo->GetLastStatus() != Gdiplus::Ok) {
            delete logo;
            logo = nullptr;
        }
    }
    cursorHidden = FALSE;
    lastMoveTick = GetTickCount();
    GetCursorPos(&lastCursorPos);
    return true;
}

bool PlayWnd::open(int type, HINSTANCE instance) {
    const PlayerType currentType = AppGlobals.playLogic ? AppGlobals.playLogic->playerType : kPlayerNone;
    // A handle that no longer names a window is not kept: the engine would be handed a dead window.
    const bool keep = videoWindow && IsWindow(videoWindow) && type == currentType;
    if (!keep) {
        if (videoWindow && IsWindow(videoWindow))
            destroyVideoWindow();
        videoWindow = nullptr;
        if (type == kPlayerVlc)
            videoWindow = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_VIDEOSURFACE), host, PlayWndVideoProc, 0);
        else if (type == kPlayerSwf)
            videoWindow = quorra_create(host);
        if (!videoWindow)
            return false;
    }
    layout();
    ShowWindow(videoWindow, SW_HIDE);
    return true;
}

void PlayWnd::layout() {
    if (!IsWindow(host))
        return;
    RECT client;
    GetClientRect(host, &client);
    const int width = client.right;
    const int height = client.bottom;
    int linkHeight = 0;
    if (creditLink && IsWindow(creditLink)) {
        RECT link;
        GetWindowRect(creditLink, &link);
        const int linkWidth = link.right - link.left;
        linkHeight = link.bottom - link.top;
        MoveWindow(creditLink, width - linkWidth - 5, 5, linkWidth, linkHeight, TRUE);
    }
    if (videoWindow && IsWindow(videoWindow)) {
        // From 5 pixels below the link down to the host's bottom edge.
        const int top = linkHeight + 10;
        const int videoHeight = height > top ? height - top : 0;
        MoveWindow(videoWindow, 0, top, width, videoHeight, TRUE);
    }
}

void PlayWnd::paint(HDC dc, bool videoSurface) {
    RECT client = {};
    if (IsWindow(host))
        GetClientRect(host, &client);
    {
        UniqueHbrush black(CreateSolidBrush(RGB(0, 0, 0)));
        FillRect(dc, &client, black.get());
    }
    const PlayerState state = CurrentState();
    const bool videoShown =
        videoWindow && IsWindow(videoWindow) && (GetWindowLongW(videoWindow, GWL_STYLE) & WS_VISIBLE) != 0;
    if (((state == kStatePlaying || state == kStatePaused) && videoShown) || videoSurface || !logo)
        return;
    const int w = static_cast<int>(logo->GetWidth());
    const int h = static_cast<int>(logo->GetHeight());
    const int x = (client.right - w) / 2;
    const int y = (client.bottom - h) / 2;
    Gdiplus::Graphics graphics(dc);
    // Pixel size given explicitly: the image's own resolution must not scale it.
    graphics.DrawImage(logo, x, y, w, h);
}

void PlayWnd::autoHideCursor() {
    POINT at;
    GetCursorPos(&at);
    if (std::abs(at.x - lastCursorPos.x) > kCursorMoveThreshold ||
        std::abs(at.y - lastCursorPos.y) > kCursorMoveThreshold) {
        lastCursorPos = at;
        lastMoveTick = GetTickCount();
        if (cursorHidden) {
            ShowCursor(TRUE);
            cursorHidden = FALSE;
        }
        return;
    }
    MediaPlayer* player = CurrentPlayer();
    if (!player || player->getState() != kStatePlaying || !IsWindow(host))
        return;
    RECT area;
    GetWindowRect(host, &area);
    if (!PtInRect(&area, at))
        return;
    // Unsigned: right across the tick count's wrap after 49.7 days.
    if (GetTickCount() - lastMoveTick >= kCursorHideDelay && !cursorHidden) {
        ShowCursor(FALSE);
        cursorHidden = TRUE;
    }
}

void PlayWnd::showVideoWindow(bool show) {
    // ShowWindowAsync: the change never waits on the window's thread, whoever calls.
    HWND window = videoWindow;
    if (window && IsWindow(window)) {
        if (show)
            OutputDebugStringW(L"PlayWnd: video window shown\n");
        ShowWindowAsync(window, show ? SW_SHOW : SW_HIDE);
    }
}

void PlayWnd::destroyVideoWindow() {
    if (videoWindow && IsWindow(videoWindow)) {
        MediaPlayer* player = CurrentPlayer();
        // The library owns its instance dialog and the Flash control in it: only it may tear them down.
        if (player && player->type() == kPlayerSwf)
            quorra_release(videoWindow);
        else
            DestroyWindow(videoWindow);
    }
    videoWindow = nullptr;
}

void PlayWnd::destroyWindows() {
    if (linkFont)
        DeleteObject(linkFont);
    if (creditLink && IsWindow(creditLink))
        DestroyWindow(creditLink);
    // At teardown the SWF library's window goes with DestroyWindow too, whatever engine made it.
    if (videoWindow && IsWindow(videoWindow))
        DestroyWindow(videoWindow);
    if (host && IsWindow(host))
        DestroyWindow(host);
    linkFont = nullptr;
    creditLink = nullptr;
    videoWindow = nullptr;
    host = nullptr;
}

void PlayWnd::createLinkFont(HWND hostWindow) {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = kNonClientMetricsSize;
    LOGFONTW font = {};
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, kNonClientMetricsSize, &metrics, 0))
        font = metrics.lfMessageFont;
    else
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
    font.lfUnderline = 1;
    if (linkFont)
        DeleteObject(linkFont);
    linkFont = CreateFontIndirectW(&font);
    creditLink = CreateCreditLink(linkFont, hostWindow);
}

void PlayWnd::setCursorVisible(bool show) {
    if (show) {
        if (cursorHidden) {
            ShowCursor(TRUE);
            cursorHidden = FALSE;
        }
        lastMoveTick = GetTickCount();
    } else if (!cursorHidden) {
        ShowCursor(FALSE);
        cursorHidden = TRUE;
    }
}

INT_PTR CALLBACK PlayWndHostProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
            case WM_INITDIALOG:
                if (PlayWnd* area = PlayWnd::instance())
                    area->createLinkFont(dialog);
                return TRUE;
            case WM_SIZE:
                if (TheInstance)
                    TheInstance->layout();
                // The logo is centred on the whole area, so a new size moves it; left to itself the system
                // repaints only the strip that a growing area uncovers (the bar hiding in full screen)
                // and nothing when it shrinks, which leaves the old logo where it was.
                InvalidateRect(dialog, nullptr, FALSE);
                return TRUE;
            case WM_PAINT: {
                PaintScope paint(dialog);
                if (TheInstance)
                    TheInstance->paint(paint.dc(), false);
                return TRUE;
            }
            case WM_CONTEXTMENU:
                ShowContextMenuFromResources();
                return TRUE;
            case WM_LBUTTONDBLCLK:
                PostFullScreenToggle();
                return TRUE;
            case WM_COMMAND:
                if (HIWORD(wParam) == STN_CLICKED)
                    HyperlinkClick(reinterpret_cast<HWND>(lParam));
                return TRUE;
            case WM_CTLCOLORSTATIC:
                SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
                return reinterpret_cast<INT_PTR>(
                    HyperlinkCtlColor(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)));
        }
    } catch (...) {
    }
    return FALSE;
}

INT_PTR CALLBACK PlayWndVideoProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    try {
        switch (message) {
            case WM_INITDIALOG:
                return TRUE;
            case WM_PAINT: {
                PaintScope paint(dialog);
                if (TheInstance)
                    TheInstance->paint(paint.dc(), true);
                return TRUE;
            }
            case WM_CONTEXTMENU:
                ShowContextMenuFromResources();
                return TRUE;
            case WM_LBUTTONDBLCLK:
                PostFullScreenToggle();
                return TRUE;
        }
    } catch (...) {
    }
    return FALSE;
}

void ShowPlayerContextMenu(HMENU menu) {
    UniqueHmenu owned(menu);
    HMENU popup = GetSubMenu(menu, 0);
    if (!popup)
        return;
    DeleteMenu(popup, AppGlobals.fullScreen ? ID_FULL_SCREEN : ID_LEAVE_FULL_SCREEN, MF_BYCOMMAND);

    MediaPlayer* player = CurrentPlayer();
    const PlayerState state = player ? player->getState() : kStateNothing;
    int count = 0;
    int current = -1;
    if (AppGlobals.playLogic) {
        count = AppGlobals.playLogic->playlist.count();
        current = AppGlobals.playLogic->playlist.currentIndex();
    }
    if (player && player->isPlaying()) {
        Grey(popup, ID_PLAY);
    } else {
        Grey(popup, ID_PAUSE);
        if (state != kStatePaused)
            Grey(popup, ID_STOP);
        if (count == 0)
            Grey(popup, ID_PLAY);
    }
    if (count < 2 || current < 0) {
        Grey(popup, ID_PREVIOUS);
        Grey(popup, ID_NEXT);
    }

    POINT at = {0, 0};
    GetCursorPos(&at);
    const int command = PlayerMenuTrack(popup, TPM_RETURNCMD, at.x, at.y, 0, AppGlobals.mainWindow, nullptr);
    if (command > 0)
        PostMessageW(AppGlobals.mainWindow, WM_COMMAND, static_cast<WPARAM>(command), 0);
}
