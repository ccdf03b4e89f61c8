// The main window: its commands, the layout over the control bar, full screen, the caption and the About
// box, on a real window of MainWndProc with the real video area, control bar, controller and start-up
// under Wine's null driver; the engines are doubles made through the controller's factory.
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

#include "MainWnd.h"
#include "PlayBar.h"
#include "PlayLogic.h"
#include "PlayWnd.h"
#include "Settings.h"
#include "resource.h"
#include "ui_fixture.h"

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new UiEnvironment);

// An engine double that behaves like an engine and keeps what the controller asked of it.
class RecordingPlayer : public FakePlayer {
  public:
    using FakePlayer::FakePlayer;
    bool open(const wchar_t* path) override {
        opened.push_back(path);
        state = kStateOpening;
        return true;
    }
    void play() override {
        ++plays;
        state = kStatePlaying;
        playing = true;
    }
    // Pause and stop end the playing at once: the controller polls until they have.
    void pause() override {
        ++pauses;
        state = kStatePaused;
        playing = false;
    }
    void stop() override {
        ++stops;
        state = kStateStopped;
        playing = false;
    }
    VolumeLevel getVolume() override { return level; }
    bool setVolume(VolumeLevel value) override {
        level = value;
        return true;
    }
    bool isMuted() override { return mutedNow; }
    void toggleMute() override { mutedNow = !mutedNow; }

    std::vector<std::wstring> opened;
    int plays = 0;
    int pauses = 0;
    int stops = 0;
    VolumeLevel level = 100;
    bool mutedNow = false;
};

RecordingPlayer* Made = nullptr;  // the last engine the controller made

MediaPlayer* MakeRecordingPlayer(PlayerType type) {
    Made = new RecordingPlayer(type);
    return Made;
}

// A real file to open, alone in a folder of its own: the controller opens it and the playlist reads
// its folder.
class TempMediaFile {
  public:
    TempMediaFile() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"mainwnd_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder.c_str(), nullptr);
        path = folder + L"\\clip.flv";
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
    ~TempMediaFile() {
        DeleteFileW(path.c_str());
        RemoveDirectoryW(folder.c_str());
    }
    std::wstring folder;
    std::wstring path;
};

class MainWndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Made = nullptr;
        MakeEngine = MakeRecordingPlayer;
    }
    // Builds the window the way start-up does, with or without a stored placement.
    void build(bool savedPlacement = false) {
        static ATOM atom = [] {
            WNDCLASSEXW wc = {sizeof(wc)};
            wc.style = CS_HREDRAW | CS_VREDRAW;
            wc.lpfnWndProc = MainWndProc;
            wc.hInstance = AppGlobals.instance;
            wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            wc.lpszClassName = L"VantrelMainWndTest";
            return RegisterClassExW(&wc);
        }();
        ASSERT_TRUE(atom);
        FirstLayout = 1;
        AppGlobals.fullScreen = FALSE;
        AppGlobals.layoutReady = FALSE;
        AppGlobals.hasSavedPlacement = savedPlacement;
        main = CreateWindowExW(0, L"VantrelMainWndTest", L"Media Player", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr,
                               nullptr, AppGlobals.instance, nullptr);
        ASSERT_TRUE(main);
        AppGlobals.mainWindow = main;
        AppGlobals.playLogic = logic = new PlayLogic();
        AppGlobals.playWnd = PlayWnd::instance();
        ASSERT_TRUE(AppGlobals.playWnd->createHost(AppGlobals.instance, main));
        AppGlobals.playWnd->loadLogo();
        AppGlobals.playBar = bar = PlayBar::instance();
        ASSERT_TRUE(bar->create(AppGlobals.instance, main));
        if (savedPlacement)
            SetWindowPos(main, nullptr, 30, 40, 800, 600, SWP_NOZORDER);
        ShowWindow(main, SW_SHOW);
        UpdateWindow(main);
        AppGlobals.layoutReady = TRUE;
        bar->lastActivityTick = 123;
        LayoutMainWindow();
    }
    void TearDown() override {
        if (AppGlobals.playWnd)
            AppGlobals.playWnd->destroyWindows();
        PlayWnd::destroyInstance();
        PlayBar::destroyInstance();
        delete logic;
        if (main)
            DestroyWindow(main);
        PumpMessages();  // the WM_QUIT of WM_DESTROY stays queued; nothing reads it
        AppGlobals.playWnd = nullptr;
        AppGlobals.playBar = nullptr;
        AppGlobals.playLogic = nullptr;
        AppGlobals.fullScreen = FALSE;
        AppGlobals.layoutReady = FALSE;
        AppGlobals.hasSavedPlacement = FALSE;
        ChooseFileDialog = GetOpenFileNameW;
        MakeEngine = MakeDefaultEngine;
        Made = nullptr;
    }
    SIZE client() {
        RECT r;
        GetClientRect(main, &r);
        return {r.right, r.bottom};
    }
    RECT childRect(HWND child) {
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    RECT windowRect() {
        RECT r;
        GetWindowRect(main, &r);
        return r;
    }
    LRESULT command(int id) { return SendMessageW(main, WM_COMMAND, id, 0); }
    // A new engine double in the given state, or none for -1; the controller owns it.
    RecordingPlayer* putEngine(int state) {
        delete logic->player;
        RecordingPlayer* engine = state < 0 ? nullptr : new RecordingPlayer(kPlayerVlc, state, state == kStatePlaying);
        logic->player = engine;
        return engine;
    }
    // What the bar's updateButtons decides: a button's own visible bit and whether it is enabled.
    bool buttonShown(int id) { return (GetWindowLongW(GetDlgItem(bar->window, id), GWL_STYLE) & WS_VISIBLE) != 0; }
    bool buttonEnabled(int id) { return IsWindowEnabled(GetDlgItem(bar->window, id)) != 0; }
    void expectFullScreenButtons(bool full) {
        EXPECT_EQ(buttonShown(IDC_FULLSCREEN), !full);
        EXPECT_EQ(buttonEnabled(IDC_FULLSCREEN), !full);
        EXPECT_EQ(buttonShown(IDC_LEAVE_FULLSCREEN), full);
        EXPECT_EQ(buttonEnabled(IDC_LEAVE_FULLSCREEN), full);
    }

    HWND main = nullptr;
    PlayLogic* logic = nullptr;
    PlayBar* bar = nullptr;
};

TEST_F(MainWndTest, FirstRunGivesTheStartingSizeCentredAndLaysOutBothChildren) {
    build(false);
    const int h = bar->barHeight();
    ASSERT_GT(h, 0);
    EXPECT_EQ(client().cx, 672);
    EXPECT_EQ(client().cy, 420 + h);
    EXPECT_EQ(FirstLayout, 0);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT frame = windowRect();
    EXPECT_LE(std::abs((frame.left - work.left) - (work.right - frame.right)), 1);
    EXPECT_LE(std::abs((frame.top - work.top) - (work.bottom - frame.bottom)), 1);

    RECT host = childRect(AppGlobals.playWnd->host);
    const RECT wantedHost = {0, 0, 672, 420};
    EXPECT_TRUE(EqualRect(&host, &wantedHost));
    RECT strip = childRect(bar->window);
    EXPECT_EQ(strip.top, 420);
    EXPECT_EQ(strip.bottom, 420 + h);
    EXPECT_EQ(strip.right, 672);
    EXPECT_TRUE(IsWindowVisible(AppGlobals.playWnd->host));
    EXPECT_TRUE(IsWindowVisible(bar->window));
    EXPECT_EQ(bar->lastActivityTick, 0u) << "outside full screen the bar's auto-hide is off";
}

TEST_F(MainWndTest, StoredPlacementIsKept) {
    build(true);
    RECT frame = windowRect();
    EXPECT_EQ(frame.left, 30);
    EXPECT_EQ(frame.top, 40);
    EXPECT_EQ(frame.right - frame.left, 800);
    EXPECT_EQ(frame.bottom - frame.top, 600);
}

TEST_F(MainWndTest, TooSmallGrowsBackToTheMinimum) {
    build(true);
    const int h = bar->barHeight();
    struct Case {
        SIZE asked, result;
    } cases[] = {
        {{400, 250 + h}, {480, 300 + h}}, {{479, 600}, {480, 600}}, {{800, 299 + h}, {800, 300 + h}},
        {{480, 300 + h}, {480, 300 + h}}, {{700, 500}, {700, 500}},
    };
    for (const Case& c : cases) {
        SetClientSize(main, c.asked);  // its WM_SIZE lays out
        EXPECT_EQ(client().cx, c.result.cx) << c.asked.cx << " x " << c.asked.cy;
        EXPECT_EQ(client().cy, c.result.cy) << c.asked.cx << " x " << c.asked.cy;
        RECT host = childRect(AppGlobals.playWnd->host);
        EXPECT_EQ(host.bottom, c.result.cy - h);
    }
}

TEST_F(MainWndTest, FullScreenCoversThePrimaryDisplayAndLeavingRestoresThePlacement) {
    build(true);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const LONG windowedStyle = GetWindowLongW(main, GWL_STYLE) & ~WS_MAXIMIZE;
    for (bool maximised : {false, true}) {
        SCOPED_TRACE(maximised ? "maximised" : "normal");
        SetWindowPos(main, nullptr, 60, 40, 800, 600, SWP_NOZORDER);
        if (maximised)
            ShowWindow(main, SW_MAXIMIZE);
        ASSERT_EQ(IsZoomed(main) != 0, maximised);
        const WINDOWPLACEMENT before = AppGlobals.savedPlacement;
        ASSERT_TRUE(AppGlobals.hasSavedPlacement);
        ASSERT_EQ(before.showCmd, static_cast<UINT>(maximised ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL));

        EXPECT_EQ(command(ID_FULL_SCREEN), 0);
        EXPECT_TRUE(AppGlobals.fullScreen);
        EXPECT_TRUE(AppGlobals.layoutReady);
        RECT frame = windowRect();
        EXPECT_EQ(frame.left, 0);
        EXPECT_EQ(frame.top, 0);
        EXPECT_EQ(frame.right, screenWidth);
        EXPECT_EQ(frame.bottom, screenHeight);
        EXPECT_FALSE(IsZoomed(main));
        EXPECT_EQ(GetWindowLongW(main, GWL_STYLE) & ~WS_MAXIMIZE, windowedStyle & ~(WS_CAPTION | WS_THICKFRAME));
        EXPECT_EQ(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_TOPMOST, 0) << "full screen must not be topmost";
        EXPECT_EQ(client().cx, screenWidth);
        EXPECT_EQ(std::memcmp(&AppGlobals.savedPlacement, &before, sizeof(before)), 0)
            << "the switch must not capture the full-screen placement";
        EXPECT_NE(bar->lastActivityTick, 0u) << "in full screen the bar's auto-hide is armed";
        expectFullScreenButtons(true);

        EXPECT_EQ(command(ID_FULL_SCREEN), 0);  // the same command leaves
        EXPECT_FALSE(AppGlobals.fullScreen);
        EXPECT_EQ(IsZoomed(main) != 0, maximised);
        EXPECT_EQ(GetWindowLongW(main, GWL_STYLE) & ~WS_MAXIMIZE, windowedStyle);
        if (maximised)
            ShowWindow(main, SW_RESTORE);
        frame = windowRect();
        EXPECT_EQ(frame.left, 60);
        EXPECT_EQ(frame.top, 40);
        EXPECT_EQ(frame.right - frame.left, 800);
        expectFullScreenButtons(false);
    }
}

TEST_F(MainWndTest, HiddenBarInFullScreenStaysHiddenAndTheVideoTakesTheHeight) {
    build(true);
    EnterFullScreen();
    ShowWindow(bar->window, SW_HIDE);  // as the auto-hide does
    LayoutMainWindow();
    EXPECT_FALSE(IsWindowVisible(bar->window));
    RECT host = childRect(AppGlobals.playWnd->host);
    EXPECT_EQ(host.bottom, client().cy);

    ShowWindow(bar->window, SW_SHOW);  // the auto-hide brings it back
    LayoutMainWindow();
    EXPECT_TRUE(IsWindowVisible(bar->window));
    host = childRect(AppGlobals.playWnd->host);
    EXPECT_EQ(host.bottom, client().cy - bar->barHeight());
}

TEST_F(MainWndTest, EscOutsideFullScreenOnlyUpdatesTheBar) {
    build(true);
    // Stale buttons, as if the bar had last been updated in full screen.
    bar->showControl(GetDlgItem(bar->window, IDC_FULLSCREEN), false, false);
    bar->showControl(GetDlgItem(bar->window, IDC_LEAVE_FULLSCREEN), true, true);
    const RECT before = windowRect();
    const LONG style = GetWindowLongW(main, GWL_STYLE);
    EXPECT_EQ(command(ID_LEAVE_FULL_SCREEN), 0);
    const RECT after = windowRect();
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_EQ(GetWindowLongW(main, GWL_STYLE), style);
    EXPECT_FALSE(AppGlobals.fullScreen);
    expectFullScreenButtons(false);
}

TEST_F(MainWndTest, CaptionNamesTheFileOnlyWhilePlayingOrPaused) {
    build(true);
    struct Case {
        int state;  // -1: no player
        const wchar_t* title;
        const wchar_t* caption;
    } cases[] = {
        {-1, L"", L"Vantrel"},
        {kStatePlaying, L"clip.flv", L"Vantrel - clip.flv"},
        {kStatePaused, L"movie.swf", L"Vantrel - movie.swf"},
        // The same text again, then another title in the same state: the new one shows.
        {kStatePaused, L"movie.swf", L"Vantrel - movie.swf"},
        {kStatePaused, L"other.swf", L"Vantrel - other.swf"},
        {kStatePlaying, L"", L"Vantrel"},
        {kStateNothing, L"clip.flv", L"Vantrel"},
        {kStateOpening, L"clip.flv", L"Vantrel"},
        {kStateBuffering, L"clip.flv", L"Vantrel"},
        {kStateStopped, L"clip.flv", L"Vantrel"},
        {kStateEnded, L"clip.flv", L"Vantrel"},
        {kStateError, L"clip.flv", L"Vantrel"},
    };
    for (const Case& c : cases) {
        delete logic->player;
        logic->player = c.state < 0 ? nullptr : new FakePlayer(kPlayerVlc, c.state, c.state == kStatePlaying);
        logic->currentTitle = c.title;
        UpdateCaption();
        wchar_t text[300] = {};
        GetWindowTextW(main, text, 300);
        EXPECT_STREQ(text, c.caption) << "state " << c.state;
        EXPECT_STREQ(CaptionBuffer, c.caption);
    }
}

// The caption holds 259 characters: "Vantrel - " and 249 of the file name. A longer name is cut so that
// the product name, the start of the file name and "..." fill the caption exactly.
TEST_F(MainWndTest, ALongFileNameIsCutWithAnEllipsisAndTheCaptionIsNeverEmpty) {
    build(true);
    // A file name of the given length in UTF-16 units: letters that change along it, then ".flv".
    auto name = [](size_t length) {
        std::wstring text;
        for (size_t i = 0; text.size() + 4 < length; ++i)
            text += static_cast<wchar_t>(L'a' + i % 26);
        return text + L".flv";
    };
    struct Case {
        size_t length;  // of the file name
        size_t kept;    // units of it in the caption; all of them: no "..."
        size_t captionLength;
    } cases[] = {
        {5, 5, 15},      {248, 248, 258}, {249, 249, 259}, {250, 246, 259},
        {251, 246, 259}, {259, 246, 259}, {260, 246, 259}, {1000, 246, 259},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        const std::wstring title = name(c.length);
        ASSERT_EQ(title.size(), c.length);
        putEngine(kStatePlaying);
        logic->currentTitle = title;
        UpdateCaption();
        const std::wstring expected = L"Vantrel - " + title.substr(0, c.kept) + (c.kept < c.length ? L"..." : L"");
        EXPECT_EQ(std::wstring(CaptionBuffer), expected);
        EXPECT_EQ(wcslen(CaptionBuffer), c.captionLength);
        wchar_t shown[400] = {};
        GetWindowTextW(main, shown, 400);
        EXPECT_EQ(std::wstring(shown), expected);
    }

    // A character outside the basic plane is two units; the cut never leaves half of one behind.
    std::wstring title(245, L'x');
    title += L"\U0001F600";
    title += std::wstring(20, L'y');
    logic->currentTitle = title;
    UpdateCaption();
    EXPECT_EQ(std::wstring(CaptionBuffer), L"Vantrel - " + std::wstring(245, L'x') + L"...");
}

TEST_F(MainWndTest, AboutBoxReadsTheProductAndVersionAndShowsTheIcon) {
    build(true);
    HWND about = CreateDialogParamW(AppGlobals.instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), main, AboutDlgProc, 0);
    ASSERT_TRUE(about);
    wchar_t text[64] = {};
    GetDlgItemTextW(about, IDC_ABOUT_TEXT, text, 64);
    EXPECT_STREQ(text, L"Vantrel, Version 1.0");
    bool iconShown = false;
    for (HWND child = GetWindow(about, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            iconShown = SendMessageW(child, STM_GETICON, 0, 0) != 0;
    }
    EXPECT_TRUE(iconShown) << "the icon static must find IDI_PLAYER";
    DestroyWindow(about);
}

TEST_F(MainWndTest, VolumeStepsUnmuteAndClamp) {
    build(true);
    struct Case {
        bool muted;
        int volume;
        int command;
        int expected;
    } cases[] = {
        {true, 50, ID_VOLUME_UP, 10},  {true, 50, ID_VOLUME_DOWN, 0},   {false, 100, ID_VOLUME_UP, 100},
        {false, 0, ID_VOLUME_DOWN, 0}, {false, 55, ID_VOLUME_DOWN, 45}, {false, 95, ID_VOLUME_UP, 100},
        {true, 100, ID_VOLUME_UP, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.volume << (c.muted ? " muted" : ""));
        // A playing engine takes the level at once; it starts where the controller was.
        RecordingPlayer* engine = putEngine(kStatePlaying);
        engine->level = c.volume;
        engine->mutedNow = c.muted;
        logic->muted = c.muted;
        logic->volume = c.volume;
        EXPECT_EQ(command(c.command), 0);
        EXPECT_EQ(logic->volume, c.expected);
        EXPECT_FALSE(logic->muted);
        EXPECT_EQ(engine->level, c.expected);
        EXPECT_FALSE(engine->mutedNow);
        EXPECT_EQ(bar->shownVolume, c.expected);
    }
}

TEST_F(MainWndTest, SpacePausesWhilePlayingAndPlaysOtherwise) {
    build(true);
    struct Case {
        int state;  // -1: no player
        bool pauses;
    } cases[] = {{kStatePlaying, true}, {kStatePaused, false}, {kStateStopped, false}, {-1, false}};
    const TempMediaFile media;
    for (const Case& c : cases) {
        RecordingPlayer* engine = putEngine(c.state);
        // Without an engine, play opens the current file again: the engine it makes is the one to play.
        logic->currentPath = media.path;
        Made = nullptr;
        command(ID_PLAY);
        if (!engine) {
            ASSERT_NE(Made, nullptr) << "no engine was made for the current file";
            ASSERT_EQ(logic->player, Made);
            EXPECT_EQ(Made->opened, std::vector<std::wstring>{media.path});
            engine = Made;
        }
        EXPECT_EQ(engine->pauses, c.pauses ? 1 : 0) << c.state;
        EXPECT_EQ(engine->plays, c.pauses ? 0 : 1) << c.state;
    }
    // Close stops only a file that plays.
    RecordingPlayer* engine = putEngine(kStateStopped);
    command(ID_CLOSE);
    EXPECT_EQ(engine->stops, 0);
    engine = putEngine(kStatePlaying);
    command(ID_CLOSE);
    EXPECT_EQ(engine->stops, 1);
}

OPENFILENAMEW SeenDialog;
std::wstring SeenFilter;
std::wstring SeenTitle;
bool SeenEmptyBuffer;
const wchar_t* ChosenPath;

BOOL WINAPI RecordOpenDialog(OPENFILENAMEW* dialog) {
    SeenDialog = *dialog;
    const wchar_t* filter = dialog->lpstrFilter;
    SeenFilter.clear();
    while (filter && *filter) {  // up to the list's second terminator
        SeenFilter += filter;
        SeenFilter += L'|';
        filter += lstrlenW(filter) + 1;
    }
    SeenTitle = dialog->lpstrTitle ? dialog->lpstrTitle : L"";
    SeenEmptyBuffer = true;
    for (DWORD i = 0; i < dialog->nMaxFile; ++i)
        SeenEmptyBuffer = SeenEmptyBuffer && dialog->lpstrFile[i] == 0;
    if (!ChosenPath)
        return FALSE;
    lstrcpynW(dialog->lpstrFile, ChosenPath, dialog->nMaxFile);
    return TRUE;
}

TEST_F(MainWndTest, OpenCommandAsksForAMediaFileAndOpensTheChoice) {
    build(true);
    ChooseFileDialog = RecordOpenDialog;
    const TempMediaFile media;
    for (const wchar_t* choice : {static_cast<const wchar_t*>(nullptr), media.path.c_str()}) {
        ChosenPath = choice;
        Made = nullptr;
        EXPECT_EQ(command(ID_OPEN), 0);
        EXPECT_EQ(SeenDialog.lStructSize, sizeof(OPENFILENAMEW));
        EXPECT_EQ(SeenDialog.hwndOwner, main);
        EXPECT_EQ(SeenDialog.hInstance, AppGlobals.instance);
        EXPECT_EQ(SeenFilter, L"Media Files(*.flv;*.swf)|*.flv;*.swf|");
        EXPECT_EQ(SeenDialog.lpstrCustomFilter, nullptr);
        EXPECT_EQ(SeenDialog.nFilterIndex, 0u);
        EXPECT_EQ(SeenDialog.nMaxFile, 260u);
        EXPECT_TRUE(SeenEmptyBuffer);
        EXPECT_EQ(SeenTitle, L"Select File");
        EXPECT_EQ(SeenDialog.Flags, 0u);
        EXPECT_EQ(SeenDialog.lpstrFileTitle, nullptr);
        EXPECT_EQ(SeenDialog.lpstrInitialDir, nullptr);
        EXPECT_EQ(SeenDialog.lpstrDefExt, nullptr);
        EXPECT_EQ(SeenDialog.lpfnHook, nullptr);
        if (!choice) {
            EXPECT_EQ(Made, nullptr) << "a cancelled dialog opens nothing";
            continue;
        }
        // The choice took the one road of opening: an engine opened it and plays it.
        ASSERT_NE(Made, nullptr);
        EXPECT_EQ(Made->opened, std::vector<std::wstring>{media.path});
        EXPECT_EQ(Made->plays, 1);
        EXPECT_EQ(logic->currentPath, media.path);
    }
}

TEST_F(MainWndTest, MessagesOfOtherInstancesTimerAndIcons) {
    build(true);
    EXPECT_EQ(SendMessageW(main, WM_MAINFRAME_PROBE, 0, 0), 0x81F7);
    // The timer's step starts with the caption: nothing plays, so the product's name alone.
    SetWindowTextW(main, L"before");
    EXPECT_EQ(SendMessageW(main, WM_TIMER, 555, 0), 0);  // whatever the timer id
    wchar_t caption[64] = {};
    GetWindowTextW(main, caption, 64);
    EXPECT_STREQ(caption, L"Vantrel");
    EXPECT_NE(SendMessageW(main, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageW(main, WM_GETICON, ICON_SMALL, 0), 0);
    // Exit asks for the close the way the close button does: WM_CLOSE, posted.
    PumpMessages();
    command(ID_EXIT);
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, main, WM_CLOSE, WM_CLOSE, PM_REMOVE));
}

TEST(AcceleratorTest, TableMatchesTheKeysOfTheCommands) {
    HACCEL table = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ACCEL));
    ASSERT_TRUE(table);
    ACCEL entries[32] = {};
    const int count = CopyAcceleratorTableW(table, entries, 32);
    const ACCEL expected[] = {
        {FVIRTKEY | FNOINVERT, 'F', ID_FULL_SCREEN},
        {FVIRTKEY | FCONTROL | FNOINVERT, 'O', ID_OPEN},
        {FVIRTKEY | FNOINVERT, VK_LEFT, ID_MOVE_BACKWARD},
        {FVIRTKEY | FNOINVERT, VK_RIGHT, ID_MOVE_FORWARD},
        {FVIRTKEY | FNOINVERT, 'M', ID_MUTE},
        {FVIRTKEY | FNOINVERT, VK_NEXT, ID_NEXT},
        {FVIRTKEY | FNOINVERT, VK_SPACE, ID_PLAY},
        {FVIRTKEY | FNOINVERT, VK_PRIOR, ID_PREVIOUS},
        {FVIRTKEY | FNOINVERT, VK_DOWN, ID_VOLUME_DOWN},
        {FVIRTKEY | FNOINVERT, VK_UP, ID_VOLUME_UP},
        {FALT | FNOINVERT, '/', IDM_ABOUT},
        {FALT | FNOINVERT, '?', IDM_ABOUT},
        {FVIRTKEY | FNOINVERT, VK_ESCAPE, ID_LEAVE_FULL_SCREEN},
    };
    ASSERT_EQ(count, static_cast<int>(std::size(expected)));
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(entries[i].fVirt, expected[i].fVirt) << "entry " << i;
        EXPECT_EQ(entries[i].key, expected[i].key) << "entry " << i;
        EXPECT_EQ(entries[i].cmd, expected[i].cmd) << "entry " << i;
    }
    DestroyAcceleratorTable(table);
}

// What the controller and the windows were asked to do, in order, by every engine the test made.
std::vector<std::wstring> Calls;

class LoggingPlayer : public RecordingPlayer {
  public:
    using RecordingPlayer::RecordingPlayer;
    bool open(const wchar_t* path) override {
        const wchar_t* name = wcsrchr(path, L'\\');
        Calls.push_back(std::wstring(L"open ") + (name ? name + 1 : path));
        return RecordingPlayer::open(path);
    }
    void play() override {
        Calls.push_back(L"play");
        RecordingPlayer::play();
    }
    void pause() override {
        Calls.push_back(L"pause");
        RecordingPlayer::pause();
    }
    void stop() override {
        Calls.push_back(L"stop");
        RecordingPlayer::stop();
    }
    MediaTime getTime() override { return time; }
    MediaTime getLength() override { return 60000; }
    void setTime(MediaTime value) override { Calls.push_back(L"seek " + std::to_wstring(value)); }
    bool setVolume(VolumeLevel value) override {
        Calls.push_back(L"volume " + std::to_wstring(value));
        return RecordingPlayer::setVolume(value);
    }
    void toggleMute() override {
        Calls.push_back(L"mute");
        RecordingPlayer::toggleMute();
    }
    MediaTime time = 20000;
};

MediaPlayer* MakeLoggingPlayer(PlayerType type) {
    return new LoggingPlayer(type);
}

BOOL WINAPI LogOpenDialog(OPENFILENAMEW*) {
    Calls.push_back(L"choose a file");
    return FALSE;
}

// Ends the modal About box from inside its own message loop, noting that it was there.
void CALLBACK CloseAboutBox(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND about = FindWindowW(nullptr, L"About");
    if (!about)
        return;
    KillTimer(nullptr, timer);
    Calls.push_back(L"about box");
    PostMessageW(about, WM_COMMAND, IDOK, 0);
}

// Three files in a folder of their own, the middle one current: Previous and Next have somewhere to go.
class ThreeFileFolder {
  public:
    ThreeFileFolder() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"mainwnd_three_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder.c_str(), nullptr);
        for (const wchar_t* name : {L"a.flv", L"b.flv", L"c.flv"}) {
            std::wstring path = folder + L"\\" + name;
            HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (file != INVALID_HANDLE_VALUE)
                CloseHandle(file);
            paths.push_back(path);
        }
    }
    ~ThreeFileFolder() {
        for (const auto& path : paths)
            DeleteFileW(path.c_str());
        RemoveDirectoryW(folder.c_str());
    }
    std::wstring folder;
    std::vector<std::wstring> paths;
};

TEST_F(MainWndTest, EachCommandIdRunsItsOwnOperation) {
    build(true);
    MakeEngine = MakeLoggingPlayer;
    ChooseFileDialog = LogOpenDialog;
    const ThreeFileFolder files;
    enum Start { kPlaying, kStopped, kInFullScreen };
    struct Case {
        int id;
        Start start;
        const wchar_t* expected;  // the call that must have happened; null: the state check below
    };
    const Case cases[] = {
        {IDM_ABOUT, kStopped, L"about box"},
        {ID_OPEN, kStopped, L"choose a file"},
        {ID_EXIT, kStopped, nullptr},
        {ID_FULL_SCREEN, kStopped, nullptr},
        {ID_LEAVE_FULL_SCREEN, kInFullScreen, nullptr},
        {ID_PLAY, kStopped, L"play"},
        {ID_PAUSE, kPlaying, L"pause"},
        {ID_STOP, kPlaying, L"stop"},
        {ID_CLOSE, kPlaying, L"stop"},
        {ID_MUTE, kPlaying, L"mute"},
        {ID_MOVE_FORWARD, kPlaying, L"seek 25000"},
        {ID_PREVIOUS, kPlaying, L"open a.flv"},
        {ID_NEXT, kPlaying, L"open c.flv"},
        {ID_MOVE_BACKWARD, kPlaying, L"seek 15000"},
        {ID_VOLUME_UP, kPlaying, L"volume 60"},
        {ID_VOLUME_DOWN, kPlaying, L"volume 40"},
        {40000, kPlaying, nullptr},  // not a command of the window
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "command " << c.id);
        if (AppGlobals.fullScreen)
            LeaveFullScreen();
        if (c.start == kInFullScreen)
            EnterFullScreen();
        // The middle file of the folder is open and plays (or is stopped) at 20 s, volume 50.
        delete logic->player;
        auto* engine =
            new LoggingPlayer(kPlayerVlc, c.start == kPlaying ? kStatePlaying : kStateStopped, c.start == kPlaying);
        logic->player = engine;
        logic->playerType = kPlayerVlc;
        logic->setCurrentPath(files.paths[1].c_str());
        logic->playlist.loadFolder(files.paths[1]);
        ASSERT_EQ(logic->playlist.currentIndex(), 1);
        logic->volume = 50;
        logic->muted = false;
        PumpMessages();
        Calls.clear();

        UINT_PTR timer = c.id == IDM_ABOUT ? SetTimer(nullptr, 0, 50, CloseAboutBox) : 0;
        EXPECT_EQ(command(c.id), 0);
        if (timer)
            KillTimer(nullptr, timer);
        std::wstring log;
        for (const auto& call : Calls)
            log += call + L"; ";
        const std::string shown(log.begin(), log.end());
        MSG msg;
        const bool closeAsked = PeekMessageW(&msg, main, WM_CLOSE, WM_CLOSE, PM_REMOVE) != FALSE;
        EXPECT_EQ(closeAsked, c.id == ID_EXIT);
        switch (c.id) {
            case ID_EXIT:
            case 40000:
                EXPECT_TRUE(Calls.empty()) << shown;
                EXPECT_FALSE(AppGlobals.fullScreen);
                EXPECT_EQ(logic->player, engine);
                EXPECT_EQ(logic->volume, 50);
                EXPECT_FALSE(logic->muted);
                break;
            case ID_FULL_SCREEN:
                EXPECT_TRUE(AppGlobals.fullScreen);
                break;
            case ID_LEAVE_FULL_SCREEN:
                EXPECT_FALSE(AppGlobals.fullScreen);
                break;
            default:
                ASSERT_NE(c.expected, nullptr);
                EXPECT_NE(log.find(c.expected), std::wstring::npos) << "calls: " << shown;
        }
        // The mirror-image commands did not run instead: no seek or step the other way.
        if (c.id == ID_MOVE_FORWARD) {
            EXPECT_EQ(log.find(L"seek 15000"), std::wstring::npos);
        }
        if (c.id == ID_PREVIOUS) {
            EXPECT_EQ(log.find(L"open c.flv"), std::wstring::npos);
        }
        if (c.id == ID_MUTE) {
            EXPECT_TRUE(logic->muted);
        }
    }
    if (AppGlobals.fullScreen)
        LeaveFullScreen();
}

TEST_F(MainWndTest, FrameFollowsTheStyleWhenTheRectangleStays) {
    build(true);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    // What a window of this style and rectangle must leave as its client area.
    auto expectFrameOf = [&](LONG style) {
        RECT frame = {0, 0, 0, 0};
        AdjustWindowRectEx(&frame, style & ~WS_MAXIMIZE, FALSE, GetWindowLongW(main, GWL_EXSTYLE));
        const RECT window = windowRect();
        EXPECT_EQ(client().cx, (window.right - window.left) - (frame.right - frame.left));
        EXPECT_EQ(client().cy, (window.bottom - window.top) - (frame.bottom - frame.top));
        // The layout ran for that client area: the bar along its bottom.
        const RECT barRect = childRect(bar->window);
        EXPECT_EQ(barRect.bottom, client().cy);
        EXPECT_EQ(barRect.right, client().cx);
    };
    // A window that already covers the screen: entering full screen changes the style, not the rectangle.
    SetWindowPos(main, nullptr, 0, 0, screenWidth, screenHeight, SWP_NOZORDER);
    EnterFullScreen();
    ASSERT_TRUE(AppGlobals.fullScreen);
    EXPECT_EQ(client().cx, screenWidth);
    EXPECT_EQ(client().cy, screenHeight);
    expectFrameOf(GetWindowLongW(main, GWL_STYLE));

    // Leaving without a saved placement: the same rectangle, the frame back around a smaller client area.
    AppGlobals.hasSavedPlacement = FALSE;
    LeaveFullScreen();
    const LONG style = GetWindowLongW(main, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), WS_CAPTION | WS_THICKFRAME);
    const RECT window = windowRect();
    EXPECT_EQ(window.right - window.left, screenWidth);
    EXPECT_LT(client().cx, screenWidth);
    expectFrameOf(style);
}

}  // namespace
