// Start-up, the message loop, the timer step, the one road by which a file is opened, the close request
// and the teardown. Everything here runs on the user-interface thread.
//
// No file handed over is lost at the close. While the advertisement library decides, its modal loop
// answers second starts: their files are taken and kept, and their senders end. A refused close opens
// them afterwards, here. When the close goes ahead, the program is started again with each of them once
// this window is gone, and that start hands the file to another running player or opens it itself. The
// other way, answering such a start "not taken" so that it keeps its file, would open a file that came
// during a refused close in a second window. Once the close has gone ahead this window takes nothing
// more: it answers neither the probe nor a file, and it takes its published handle back.
//
// Teardown order: the engine's events are shut off first (libvlc's thread could otherwise reach the
// video area or the bar after they are gone), then the timer, the video area, the bar, and last the
// engine and the controller; GDI+ is shut down only after the singletons whose images it owns.
//
// The trace lines ("Startup: ...", "Close: ...", "Exit: ...") mark where each step of the start and the
// close begins; only a debugger sees them (bench/profile/launch.sh reads them from Wine's debug output),
// and each costs a few microseconds.
#include "Startup.h"
#include <objidl.h>
#include <gdiplus.h>
#include <commctrl.h>
#include <deque>
#include <new>
#include <string>
#include "AppGlobals.h"
#include "GWindow.h"
#include "Hyperlink.h"
#include "MainWnd.h"
#include "PlayBar.h"
#include "PlayLogic.h"
#include "PlayWnd.h"
#include "Settings.h"
#include "TextUtil.h"
#include "merrow.h"
#include "resource.h"

const wchar_t kProductName[] = L"Vantrel";
const wchar_t kAdPageAddress[] = L"http://ads.tarnwell.example/ads/vantrel/ads.php";
const wchar_t kMainWindowClass[] = L"Player_WndClass";

namespace {

constexpr wchar_t kLoadFailedText[] = L"Could not load the file";
// The Open dialog's filter: the description, the pattern, and the empty pair that ends the list.
constexpr wchar_t kFileFilter[] = L"Media Files(*.flv;*.swf)\0*.flv;*.swf\0";
constexpr UINT_PTR kTimerId = 100;
constexpr UINT kTimerInterval = 260;
// Keep the advertisement's window open: the close is refused.
constexpr int kMerrowKeepOpen = 2;

ULONG_PTR GdiplusToken = 0;

// Paths handed over by second starts, taken from the registry while their sender waited and opened one
// at a time afterwards, in the order they came.
std::deque<std::wstring> PendingHandOvers;
bool OpeningHandOver = false;
// Where the close request stands: asking the advertisement library, or gone ahead for good.
enum class CloseState { kNone, kAsking, kGoingAhead };
CloseState Close = CloseState::kNone;

void ShowLoadFailure() {
    MessageBoxW(AppGlobals.mainWindow, kLoadFailedText, kProductName, MB_OK | MB_ICONERROR);
}

// The whole command-line tail is one path, without options. The shell wraps a path with blanks in one
// pair of quotes, so that pair is taken off. The path is made absolute against this process's working
// folder at once: a running instance that is handed it resolves against its own.
std::wstring CommandLinePath(const wchar_t* commandLine) {
    std::wstring tail = commandLine ? commandLine : L"";
    if (tail.size() >= 2 && tail.front() == L'"' && tail.find(L'"', 1) == tail.size() - 1)
        tail = tail.substr(1, tail.size() - 2);
    if (tail.empty())
        return tail;
    DWORD size = GetFullPathNameW(tail.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return tail;
    std::wstring full(size, L'\0');
    DWORD length = GetFullPathNameW(tail.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size)
        return tail;
    full.resize(length);
    return full;
}

// It counts only if it opens.
bool NamesFile(const std::wstring& path) {
    return !path.empty() && IsReadableFile(path.c_str());
}

std::wstring ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// The files handed over that the closing window did not open: each goes to a start of the program of its
// own, as if the user had opened it again. This window is gone by then, so none comes back here. One that
// no longer opens is dropped silently, as here.
void StartAgainWithPendingFiles() {
    const std::wstring program = ProgramPath();
    for (const std::wstring& path : PendingHandOvers) {
        if (program.empty() || !IsReadableFile(path.c_str()))
            continue;
        std::wstring commandLine = L"\"" + program + L"\" \"" + path + L"\"";
        STARTUPINFOW startup = {sizeof(startup)};
        PROCESS_INFORMATION started = {};
        if (CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &started)) {
            CloseHandle(started.hThread);
            CloseHandle(started.hProcess);
        }
    }
    PendingHandOvers.clear();
}

// Every message of the thread goes to the accelerators first, so the keys work wherever the focus is:
// the bar, the video area or the Flash control.
WPARAM RunMessageLoop(HACCEL accelerators) {
    MSG msg = {};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorW(AppGlobals.mainWindow, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return msg.wParam;
}

}  // namespace

const wchar_t* Vantrel::productName() {
    return kProductName;
}

const wchar_t* Vantrel::fileFilter() {
    return kFileFilter;
}

const wchar_t* Vantrel::adPageAddress() {
    return kAdPageAddress;
}

namespace {

// GDI+ first, then the zeroed record, the stored placement and the application object.
void StartUp() {
    OutputDebugStringW(L"Startup: GDI+\n");
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&GdiplusToken, &input, nullptr);
    ZeroMemory(&AppGlobals, sizeof(AppGlobals));
    OutputDebugStringW(L"Startup: placement\n");
    LoadWindowPlacement();
    AppGlobals.app = new (std::nothrow) Vantrel;
}

}  // namespace

// The same steps as the start of RunPlayer, as one operation; the program itself does not call it.
void AppInit() {
    StartUp();
}

int RunPlayer(HINSTANCE instance, const wchar_t* commandLine, int showCommand) {
    StartUp();
    OutputDebugStringW(L"Startup: hand-over check\n");
    const std::wstring path = CommandLinePath(commandLine);
    if (NamesFile(path) && HandOverToRunningInstance(kProductName, path.c_str())) {
        AppExit();
        return 0;
    }
    OutputDebugStringW(L"Startup: window class\n");
    RegisterWindowClass(instance, kMainWindowClass, MainWndProc, 0);  // its result is not tested
    if (!InitMainWindow(instance, showCommand))
        return 0;
    // Tested again: the file may have gone while the window was made.
    if (NamesFile(path))
        OpenMediaFile(path.c_str());
    OutputDebugStringW(L"Startup: publish\n");
    PublishMainFrameHandle(kProductName, AppGlobals.mainWindow);
    DragAcceptFiles(AppGlobals.mainWindow, TRUE);
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCEL));
    OutputDebugStringW(L"Startup: message loop\n");
    WPARAM exitCode = RunMessageLoop(accelerators);
    AppExit();
    return static_cast<int>(exitCode);
}

bool InitMainWindow(HINSTANCE instance, int showCommand) {
    OutputDebugStringW(L"Startup: common controls\n");
    INITCOMMONCONTROLSEX controls = {sizeof(controls), 0xFF};
    InitCommonControlsEx(&controls);
    AppGlobals.instance = instance;
    HyperlinkInit(instance);
    OutputDebugStringW(L"Startup: main window\n");
    AppGlobals.mainWindow = CreateWindowExW(0, kMainWindowClass, L"Media Player", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0,
                                            nullptr, nullptr, instance, nullptr);
    if (!AppGlobals.mainWindow)
        return false;
    OutputDebugStringW(L"Startup: PlayLogic\n");
    AppGlobals.playLogic = new (std::nothrow) PlayLogic;
    if (!AppGlobals.playLogic)
        return false;
    if (!CreatePlayerChildren())
        return false;
    OutputDebugStringW(L"Startup: timer\n");
    AppGlobals.playBar->updateVolume();
    AppGlobals.timerId = SetTimer(AppGlobals.mainWindow, kTimerId, kTimerInterval, nullptr);
    if (AppGlobals.hasSavedPlacement) {
        SetWindowPlacement(AppGlobals.mainWindow, &AppGlobals.savedPlacement);
        if (AppGlobals.savedPlacement.showCmd == SW_SHOWMAXIMIZED)
            PostMessageA(AppGlobals.mainWindow, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    }
    // layoutReady is still clear: the WM_SIZE and WM_MOVE sent here neither lay out nor capture.
    OutputDebugStringW(L"Startup: show\n");
    ShowWindow(AppGlobals.mainWindow, showCommand);
    UpdateWindow(AppGlobals.mainWindow);
    OutputDebugStringW(L"Startup: layout\n");
    AppGlobals.playBar->updateButtons();
    AppGlobals.layoutReady = TRUE;
    LayoutMainWindow();
    return true;
}

bool CreatePlayerChildren() {
    PlayWnd* wnd = PlayWnd::instance();
    AppGlobals.playWnd = wnd;
    if (!wnd)
        return false;
    OutputDebugStringW(L"Startup: video area\n");
    if (!wnd->createHost(AppGlobals.instance, AppGlobals.mainWindow))
        return false;
    OutputDebugStringW(L"Startup: logo\n");
    wnd->loadLogo();
    OutputDebugStringW(L"Startup: bar skin\n");
    AppGlobals.playBar = PlayBar::instance();
    if (!AppGlobals.playBar)
        return false;
    OutputDebugStringW(L"Startup: bar window\n");
    if (!AppGlobals.playBar->create(AppGlobals.instance, AppGlobals.mainWindow))
        return false;
    OutputDebugStringW(L"Startup: bar font and tips\n");
    return AppGlobals.playBar->createFontAndTips();
}

// The caption, the cursor auto-hide, the controller's step (volume upkeep, end of media, the SWF
// engine's progress) and the bar's auto-hide, in this order, every 260 ms.
void TimerStep() {
    UpdateCaption();
    if (AppGlobals.playWnd)
        AppGlobals.playWnd->autoHideCursor();
    if (AppGlobals.playLogic) {
        AppGlobals.playLogic->timerProc();
        // A file the user opened that ended before it ever played could not be loaded after all.
        if (AppGlobals.playLogic && AppGlobals.playLogic->takeOpenFailure())
            ShowLoadFailure();
    }
    if (AppGlobals.playBar)
        AppGlobals.playBar->autoHideTick();
}

// The one road to opening a file (command line, Open dialog, drop, hand-over). What a failed step has
// done stays: the previous file remains stopped, and the video window and engine keep the type they
// were made for.
bool OpenMediaFile(const wchar_t* path) {
    PlayLogic* logic = AppGlobals.playLogic;
    bool opened = false;
    if (path)
        OutputDebugStringW((L"OpenMediaFile: " + std::wstring(path) + L"\n").c_str());
    if (logic && path) {
        logic->stop();
        if (logic->isSupported(path)) {
            PlayerType type = PlayerTypeForFile(path);
            PlayWnd* wnd = AppGlobals.playWnd;
            if (wnd && wnd->open(type, AppGlobals.instance) && logic->createMediaPlayer(type) && logic->player &&
                logic->player->open(path)) {
                logic->setCurrentPath(path);
                logic->playerType = type;
                logic->play();
                logic->getPlaylist().loadFolder(path);
                opened = true;
            }
        }
    }
    if (!opened)
        ShowLoadFailure();
    return opened;
}

// Only the first of several dropped files is opened. Its length is asked first: a dropped path may be
// longer than the program's fixed buffers, and cut it would name another file or none.
void OnDropFiles(HDROP drop) {
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::wstring path;
    if (count > 0) {
        path.assign(DragQueryFileW(drop, 0, nullptr, 0) + 1, L'\0');
        UINT copied = DragQueryFileW(drop, 0, &path[0], static_cast<UINT>(path.size()));
        path.resize(copied < path.size() ? copied : 0);
    }
    DragFinish(drop);
    if (!path.empty())
        OpenMediaFile(path.c_str());
}

// A second start waits, holding the hand-over lock, until its WM_MAINFRAME_NEWFILE has been answered: the
// path is taken from the registry then and the file opened later, from a message posted to this window,
// so the sender's wait never covers an open (which may stop a playback or show the error box). The answer
// says whether the file was taken; a window whose close has gone ahead takes none, and the sender keeps
// it. A posted WM_MAINFRAME_NEWFILE takes nothing from the registry: whatever the value holds then was not
// handed over by a start that is waiting. One file is opened per posted message, so the starts waiting
// between two opens are answered; a nested modal loop (the error box) opens nothing, the outer open goes
// on.
LRESULT OpenHandedOverFile() {
    if (InSendMessage()) {
        if (Close == CloseState::kGoingAhead)
            return 0;
        std::wstring path = TakeHandedOverFile(kProductName);
        if (path.empty())
            return 0;
        PendingHandOvers.push_back(path);
        PostMessageW(AppGlobals.mainWindow, WM_MAINFRAME_NEWFILE, 0, 0);
        return kNewFileTakenAnswer;
    }
    if (OpeningHandOver || PendingHandOvers.empty() || !AppGlobals.playLogic || Close != CloseState::kNone)
        return 0;
    std::wstring path = PendingHandOvers.front();
    PendingHandOvers.pop_front();
    OpeningHandOver = true;
    // One that no longer opens is dropped silently.
    if (IsReadableFile(path.c_str()) && OpenMediaFile(path.c_str())) {
        SetForegroundWindow(AppGlobals.mainWindow);
        SetWindowPos(AppGlobals.mainWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
        SetWindowPos(AppGlobals.mainWindow, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    }
    OpeningHandOver = false;
    if (!PendingHandOvers.empty())
        PostMessageW(AppGlobals.mainWindow, WM_MAINFRAME_NEWFILE, 0, 0);
    return 0;
}

// A window whose close has gone ahead is no player for later starts any more.
LRESULT AnswerInstanceProbe() {
    return Close == CloseState::kGoingAhead ? 0 : kMainFrameProbeAnswer;
}

// The advertisement library may run a modal loop, which dispatches a second WM_CLOSE (the Exit command
// posts one): that close is ignored while the first is asking, and for good once it goes on, so the
// window is never torn down under a close that has not finished deciding.
void OnMainClose() {
    if (Close != CloseState::kNone)
        return;
    Close = CloseState::kAsking;
    OutputDebugStringW(L"Close: advertisement\n");
    if (merrow_show(AppGlobals.mainWindow, kProductName, kAdPageAddress) == kMerrowKeepOpen) {
        Close = CloseState::kNone;
        // A handed-over file that came while the advertisement showed waited for the decision.
        if (!PendingHandOvers.empty())
            PostMessageW(AppGlobals.mainWindow, WM_MAINFRAME_NEWFILE, 0, 0);
        return;
    }
    Close = CloseState::kGoingAhead;
    WithdrawMainFrameHandle(kProductName, AppGlobals.mainWindow);
    if (!AppGlobals.fullScreen && AppGlobals.layoutReady) {
        AppGlobals.savedPlacement.length = sizeof(AppGlobals.savedPlacement);
        AppGlobals.hasSavedPlacement = GetWindowPlacement(AppGlobals.mainWindow, &AppGlobals.savedPlacement);
    }
    OutputDebugStringW(L"Close: hide\n");
    ShowWindow(AppGlobals.mainWindow, SW_HIDE);
    OutputDebugStringW(L"Close: stop\n");
    if (AppGlobals.playLogic)
        AppGlobals.playLogic->stop();
    OutputDebugStringW(L"Close: teardown\n");
    DestroyPlayerUi();
    OutputDebugStringW(L"Close: main window\n");
    DestroyWindow(AppGlobals.mainWindow);
    StartAgainWithPendingFiles();
}

void DestroyPlayerUi() {
    if (AppGlobals.playLogic)
        AppGlobals.playLogic->closeEvents();
    KillTimer(AppGlobals.mainWindow, AppGlobals.timerId);
    if (AppGlobals.playWnd) {
        AppGlobals.playWnd->destroyWindows();
        AppGlobals.playWnd = nullptr;
    }
    PlayWnd::destroyInstance();
    if (AppGlobals.playBar) {
        AppGlobals.playBar->destroyWindows();
        AppGlobals.playBar = nullptr;
    }
    PlayBar::destroyInstance();
    if (AppGlobals.playLogic) {
        OutputDebugStringW(L"Close: engine release\n");
        AppGlobals.playLogic->releasePlayer();
        delete AppGlobals.playLogic;
        AppGlobals.playLogic = nullptr;
    }
}

void AppExit() {
    OutputDebugStringW(L"Exit: placement\n");
    SaveWindowPlacement();
    if (AppGlobals.menu) {
        DestroyMenu(AppGlobals.menu);
        AppGlobals.menu = nullptr;
    }
    delete AppGlobals.app;
    AppGlobals.app = nullptr;
    HyperlinkUninit(AppGlobals.instance);
    OutputDebugStringW(L"Exit: GDI+\n");
    Gdiplus::GdiplusShutdown(GdiplusToken);
    OutputDebugStringW(L"Exit: done\n");
}
