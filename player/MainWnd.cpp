// The main window: its procedure, the command ids every source (accelerators, the control bar, the
// context menu, double-clicks) sends to it, the layout of the video area over the control bar, full
// screen, the caption and the About box.
//
// layoutReady is cleared while the window switches to or from full screen: the WM_SIZE and WM_MOVE that
// the switch causes then neither lay out nor capture the placement, so savedPlacement keeps the last
// windowed placement and leaving full screen returns to it, maximised when it was.
#include "MainWnd.h"

#include <shellapi.h>
#include <cwchar>
#include <string>

#include "AppGlobals.h"
#include "Hyperlink.h"
#include "MediaPlayer.h"
#include "PlayBar.h"
#include "PlayLogic.h"
#include "PlayWnd.h"
#include "Settings.h"
#include "Startup.h"
#include "TextUtil.h"
#include "UniqueHandle.h"
#include "resource.h"

int FirstLayout = 1;
wchar_t CaptionBuffer[260];
OpenFileFunction ChooseFileDialog = GetOpenFileNameW;

namespace {

constexpr int kFirstClientWidth = 672;
constexpr int kFirstVideoHeight = 420;
constexpr int kMinClientWidth = 480;
constexpr int kMinVideoHeight = 300;
constexpr int kVolumeStep = 10;

// Full screen takes the caption and the sizing frame away and gives them back; no other style bit moves.
constexpr LONG kWindowedFrame = WS_CAPTION | WS_THICKFRAME;
static_assert(kWindowedFrame == 0x00C40000, "caption and thick frame");

#if !defined(_WIN64)
static_assert(sizeof(OPENFILENAMEW) == 88, "the Open dialog's structure is 88 bytes on 32-bit Windows");
#endif

const wchar_t kOpenFilter[] = L"Media Files(*.flv;*.swf)\0*.flv;*.swf\0";

void FillBlack(HWND window, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    UniqueHbrush black(CreateSolidBrush(RGB(0, 0, 0)));
    FillRect(dc, &client, black.get());
}

void StepVolume(int step) {
    PlayLogic* logic = AppGlobals.playLogic;
    if (!logic)
        return;
    if (logic->muted)
        logic->volume = 0;
    int level = logic->volume + step;
    if (level < 0)
        level = 0;
    if (level > 100)
        level = 100;
    logic->volume = level;
    logic->setVolume(level);
}

// The file name as the caption shows it after AppTitle and " - ": whole when the caption holds it, else as
// much of its start as fits with "..." after it, so that a long name never leaves the caption blank. A cut
// that would split a surrogate pair goes one unit earlier.
std::wstring CaptionTitle(const std::wstring& appTitle, const wchar_t* title) {
    static const wchar_t kEllipsis[] = L"...";
    const size_t ellipsisLength = wcslen(kEllipsis);
    const size_t separatorLength = wcslen(L" - ");
    const size_t capacity = kTextBufferSize - 1;
    const size_t room = capacity > appTitle.size() + separatorLength ? capacity - appTitle.size() - separatorLength : 0;
    const size_t length = wcslen(title);
    if (length <= room)
        return title;
    size_t kept = room > ellipsisLength ? room - ellipsisLength : 0;
    if (kept > 0 && IS_HIGH_SURROGATE(title[kept - 1]))
        --kept;
    return std::wstring(title, kept) + kEllipsis;
}

void UpdateBarButtons() {
    if (AppGlobals.playBar)
        AppGlobals.playBar->updateButtons();
}

// The commands of the table; false for an id that is not one of them.
bool RunCommand(HWND window, int id) {
    PlayLogic* logic = AppGlobals.playLogic;
    switch (id) {
        case IDM_ABOUT:
            DialogBoxParamW(AppGlobals.instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), window, AboutDlgProc, 0);
            return true;
        case ID_OPEN:
            ChooseFile();
            return true;
        case ID_EXIT:
            PostMessageW(AppGlobals.mainWindow, WM_CLOSE, 0, 0);
            return true;
        case ID_FULL_SCREEN:
            if (AppGlobals.fullScreen)
                LeaveFullScreen();
            else
                EnterFullScreen();
            UpdateBarButtons();
            return true;
        case ID_LEAVE_FULL_SCREEN:
            LeaveFullScreen();
            UpdateBarButtons();
            return true;
        case ID_PLAY:
            if (logic) {
                if (logic->isPlaying())
                    logic->pause();
                else
                    logic->play();
            }
            return true;
        case ID_PAUSE:
            if (logic)
                logic->pause();
            return true;
        case ID_STOP:
            if (logic)
                logic->stop();
            return true;
        case ID_CLOSE:
            CloseMedia();
            return true;
        case ID_MUTE:
            if (logic)
                logic->toggleMute();
            return true;
        case ID_MOVE_FORWARD:
            if (logic)
                logic->seek(+1);
            return true;
        case ID_PREVIOUS:
            if (logic)
                logic->navigate(-1);
            return true;
        case ID_NEXT:
            if (logic)
                logic->navigate(+1);
            return true;
        case ID_MOVE_BACKWARD:
            if (logic)
                logic->seek(-1);
            return true;
        case ID_VOLUME_UP:
            StepVolume(+kVolumeStep);
            return true;
        case ID_VOLUME_DOWN:
            StepVolume(-kVolumeStep);
            return true;
    }
    return false;
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: {
            HICON icon = LoadIconW(AppGlobals.instance, L"IDI_PLAYER");
            SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
            SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_MOVE:
            CaptureWindowPlacement();
            return 0;
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED)
                LayoutMainWindow();
            CaptureWindowPlacement();
            return 0;
        case WM_PAINT: {
            PaintScope paint(window);
            FillBlack(window, paint.dc());
            return 0;
        }
        case WM_CLOSE:
            OnMainClose();
            return 0;
        case WM_ERASEBKGND:
            EraseMainBackground(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_COMMAND:
            if (RunCommand(window, LOWORD(wParam)))
                return 0;
            break;
        case WM_TIMER:
            TimerStep();
            return 0;
        case WM_DROPFILES:
            OnDropFiles(reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_MAINFRAME_PROBE:
            return AnswerInstanceProbe();
        case WM_MAINFRAME_NEWFILE:
            return OpenHandedOverFile();
        case WM_ENGINE_EVENT:
            if (AppGlobals.playLogic)
                AppGlobals.playLogic->onEngineEvent(wParam, lParam);
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return HandleMessage(window, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    try {
        switch (message) {
            case WM_INITDIALOG: {
                const std::wstring text = std::wstring(kProductName) + L", Version " + L"1.0";
                HWND item = GetDlgItem(dialog, IDC_ABOUT_TEXT);
                if (item && IsWindow(item))
                    SetWindowTextW(item, text.c_str());
                return TRUE;
            }
            case WM_COMMAND:
                if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                    EndDialog(dialog, LOWORD(wParam));
                    return TRUE;
                }
                break;
        }
    } catch (...) {
    }
    return FALSE;
}

void LayoutMainWindow() {
    if (!AppGlobals.layoutReady)
        return;
    HWND main = AppGlobals.mainWindow;
    PlayBar* bar = AppGlobals.playBar;
    HWND barWindow = bar && bar->window && IsWindow(bar->window) ? bar->window : nullptr;
    HWND host = AppGlobals.playWnd ? AppGlobals.playWnd->host : nullptr;

    const bool barWasVisible = barWindow && (GetWindowLongW(barWindow, GWL_STYLE) & WS_VISIBLE) != 0;
    if (barWindow)
        ShowWindow(barWindow, SW_HIDE);
    const int barHeight = bar ? bar->barHeight() : 0;
    // A bar that the full-screen auto-hide took away leaves the whole height to the video area.
    const int strip = AppGlobals.fullScreen && !barWasVisible ? 0 : barHeight;

    if (FirstLayout && !AppGlobals.hasSavedPlacement && IsWindow(main)) {
        SetClientSize(main, SIZE{kFirstClientWidth, kFirstVideoHeight + strip});
        CenterWindow(main);
    }
    FirstLayout = 0;

    // Zeroed: when the main window is not a window the reads below leave them as they are.
    RECT client = {};
    GetClientRect(main, &client);
    const int wantedWidth = client.right >= kMinClientWidth ? client.right : kMinClientWidth;
    const int wantedHeight = client.bottom - strip >= kMinVideoHeight ? client.bottom : strip + kMinVideoHeight;
    if ((wantedWidth != client.right || wantedHeight != client.bottom) && IsWindow(main)) {
        RECT frame = {};
        GetWindowRect(main, &frame);
        SetWindowPos(main, nullptr, 0, 0, frame.right - frame.left + (wantedWidth - client.right),
                     frame.bottom - frame.top + (wantedHeight - client.bottom), SWP_NOMOVE | SWP_NOZORDER);
        GetClientRect(main, &client);
    }
    const int width = client.right;
    const int height = client.bottom;

    if (host && IsWindow(host))
        MoveWindow(host, 0, 0, width, height - strip, TRUE);
    if (barWindow)
        MoveWindow(barWindow, 0, height - barHeight, width, barHeight, TRUE);
    if (host && IsWindow(host))
        ShowWindow(host, SW_SHOW);
    if (barWindow && (barWasVisible || !AppGlobals.fullScreen))
        ShowWindow(barWindow, SW_SHOW);
    if (!AppGlobals.fullScreen) {
        if (bar)
            bar->stopAutoHide();
        return;
    }
    if (bar)
        bar->noteActivity();
}

void EnterFullScreen() {
    if (AppGlobals.fullScreen)
        return;
    HWND main = AppGlobals.mainWindow;
    AppGlobals.fullScreen = TRUE;
    AppGlobals.layoutReady = FALSE;
    SetMenu(main, nullptr);
    ShowWindow(main, SW_SHOWNORMAL);
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    SetWindowLongW(main, GWL_STYLE, GetWindowLongW(main, GWL_STYLE) & ~kWindowedFrame);
    // SWP_NOZORDER makes HWND_TOPMOST ineffective: the window keeps its place and does not go topmost.
    // SWP_FRAMECHANGED: without it a window that already had the screen's rectangle would keep the
    // frame of its old style.
    SetWindowPos(main, HWND_TOPMOST, 0, 0, width, height, SWP_NOZORDER | SWP_FRAMECHANGED);
    AppGlobals.layoutReady = TRUE;
    LayoutMainWindow();
}

void LeaveFullScreen() {
    if (!AppGlobals.fullScreen)
        return;
    HWND main = AppGlobals.mainWindow;
    AppGlobals.fullScreen = FALSE;
    AppGlobals.layoutReady = FALSE;
    SetWindowLongW(main, GWL_STYLE, GetWindowLongW(main, GWL_STYLE) | kWindowedFrame);
    // The caption and frame come back around the same rectangle; without a saved placement nothing else
    // would make the system recompute the frame.
    SetWindowPos(main, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    if (AppGlobals.hasSavedPlacement)
        SetWindowPlacement(main, &AppGlobals.savedPlacement);
    AppGlobals.layoutReady = TRUE;
    LayoutMainWindow();
}

void UpdateCaption() {
    static std::wstring AppTitle;
    PlayLogic* logic = AppGlobals.playLogic;
    const PlayerState state = logic && logic->player ? logic->player->getState() : kStateNothing;
    const wchar_t* title = logic ? logic->currentTitle.c_str() : L"";
    if (AppTitle.empty())
        AppTitle = kProductName;
    if ((state == kStatePlaying || state == kStatePaused) && title[0] != L'\0')
        FormatString(CaptionBuffer, L"%s - %s", AppTitle.c_str(), CaptionTitle(AppTitle, title).c_str());
    else
        FormatString(CaptionBuffer, L"%s", AppTitle.c_str());
    // Compared with what the window shows, not with what was set last: anything may have set the text
    // since. Setting it costs a trip to the window server and rewrites the frame's title, every step.
    // One character more than the buffer holds, so that a longer text never compares equal.
    wchar_t shown[sizeof(CaptionBuffer) / sizeof(CaptionBuffer[0]) + 2] = {};
    if (AppGlobals.mainWindow &&
        InternalGetWindowText(AppGlobals.mainWindow, shown, static_cast<int>(sizeof(shown) / sizeof(shown[0]))) > 0 &&
        wcscmp(shown, CaptionBuffer) == 0)
        return;
    SetWindowTextW(AppGlobals.mainWindow, CaptionBuffer);
}

void ChooseFile() {
    wchar_t path[kTextBufferSize] = {};
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = AppGlobals.mainWindow;
    dialog.hInstance = AppGlobals.instance;
    dialog.lpstrFilter = kOpenFilter;
    dialog.nFilterIndex = 0;
    dialog.lpstrFile = path;
    dialog.nMaxFile = kTextBufferSize;
    dialog.lpstrTitle = L"Select File";
    dialog.Flags = 0;
    if (ChooseFileDialog(&dialog))
        OpenMediaFile(path);
}

void CloseMedia() {
    PlayLogic* logic = AppGlobals.playLogic;
    if (logic && logic->player && logic->player->isPlaying())
        logic->stop();
}

void CaptureWindowPlacement() {
    if (AppGlobals.fullScreen || !AppGlobals.layoutReady)
        return;
    AppGlobals.savedPlacement.length = sizeof(WINDOWPLACEMENT);
    AppGlobals.hasSavedPlacement = GetWindowPlacement(AppGlobals.mainWindow, &AppGlobals.savedPlacement);
}

void EraseMainBackground(HDC dc) {
    FillBlack(AppGlobals.mainWindow, dc);
}
