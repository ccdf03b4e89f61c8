// The video area: painting, layout, the video window of each engine, the context menu's states, the
// double-click, the cursor auto-hide and the thread rule of showVideoWindow. Real dialogs from the
// program's resources, the real SWF library's instance window and the real playlist, under Wine's null
// driver.
#include <map>
#include <string>
#include <vector>

#include "PlayLogic.h"
#include "PlayWnd.h"
#include "UniqueHandle.h"
#include "resource.h"
#include "ui_fixture.h"

#include <shellapi.h>

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new UiEnvironment);

constexpr int kMainX = 100;
constexpr int kMainY = 100;

class PlayWndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        AppGlobals.fullScreen = FALSE;
        main = MakeTestWindow(WS_POPUP | WS_VISIBLE, kMainX, kMainY, 900, 600);
        ASSERT_TRUE(main);
        AppGlobals.mainWindow = main;
        logic = new PlayLogic();
        AppGlobals.playLogic = logic;
        area = PlayWnd::instance();
        ASSERT_TRUE(area);
        AppGlobals.playWnd = area;
        ASSERT_TRUE(area->createHost(AppGlobals.instance, main));
        ASSERT_TRUE(area->loadLogo());
        resizeHost(480, 300);
        ShowWindow(area->host, SW_SHOW);
    }
    void TearDown() override {
        if (area && area->cursorHidden)
            area->setCursorVisible(true);
        if (area)
            area->destroyWindows();
        PlayWnd::destroyInstance();
        AppGlobals.playWnd = nullptr;
        delete logic;
        AppGlobals.playLogic = nullptr;
        DestroyWindow(main);
        AppGlobals.fullScreen = FALSE;
        PlayerMenuTrack = TrackPopupMenu;
        PumpMessages();
    }
    void resizeHost(int width, int height) { MoveWindow(area->host, 0, 0, width, height, TRUE); }
    void setPlayer(PlayerType type, PlayerState state, bool playing) {
        delete logic->player;
        logic->player = new FakePlayer(type, state, playing);
    }
    RECT rectInHost(HWND child) {
        RECT rect;
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, area->host, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    HWND main = nullptr;
    PlayLogic* logic = nullptr;
    PlayWnd* area = nullptr;
};

// What a black area with the logo drawn at (x, y) looks like, drawn the same way GDI+ would.
std::vector<COLORREF> BlackWithLogoAt(Gdiplus::Image* logo, int width, int height, int x, int y) {
    Canvas expected(width, height, RGB(0, 0, 0));
    {
        Gdiplus::Graphics graphics(expected.dc());
        graphics.DrawImage(logo, x, y, static_cast<int>(logo->GetWidth()), static_cast<int>(logo->GetHeight()));
    }
    return expected.pixels();
}

TEST_F(PlayWndTest, IdleHostIsBlackWithTheLogoCentred) {
    ASSERT_NE(area->logo, nullptr);
    ASSERT_EQ(area->logo->GetWidth(), 316u);
    ASSERT_EQ(area->logo->GetHeight(), 155u);
    struct Case {
        int width, height, x, y;
    } cases[] = {{480, 300, 82, 72}, {481, 301, 82, 73}, {300, 100, -8, -27}};
    for (const Case& c : cases) {
        resizeHost(c.width, c.height);
        Canvas canvas(c.width, c.height, kUnpainted);
        area->paint(canvas.dc(), false);
        EXPECT_EQ(canvas.pixels(), BlackWithLogoAt(area->logo, c.width, c.height, c.x, c.y))
            << c.width << " x " << c.height;
        EXPECT_EQ(canvas.pixel(0, 0), 0u);
    }
    // The logo really is there: its plate's centre is not black.
    resizeHost(480, 300);
    Canvas canvas(480, 300, kUnpainted);
    area->paint(canvas.dc(), false);
    EXPECT_NE(canvas.pixel(82 + 158, 72 + 77), 0u);
    EXPECT_EQ(canvas.pixel(81, 72 + 77), 0u);
    EXPECT_EQ(canvas.pixel(82 + 316, 72 + 77), 0u);
}

// The logo sits in the middle of the whole area, so any change of size moves it: the whole area must be
// repainted, not only the strip that a growing area uncovers (the bar hiding in full screen).
TEST_F(PlayWndTest, ASizeChangeRepaintsTheWholeArea) {
    struct Case {
        int width, height;
    } cases[] = {{480, 327}, {520, 327}, {520, 300}, {480, 300}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        UpdateWindow(area->host);
        RECT pending;
        ASSERT_FALSE(GetUpdateRect(area->host, &pending, FALSE)) << "nothing is left to paint before the change";
        resizeHost(c.width, c.height);
        UniqueHrgn region(CreateRectRgn(0, 0, 0, 0));
        const UniqueHrgn whole(CreateRectRgn(0, 0, c.width, c.height));
        EXPECT_NE(GetUpdateRgn(area->host, region.get(), FALSE), NULLREGION);
        GetRgnBox(region.get(), &pending);
        EXPECT_TRUE(EqualRgn(region.get(), whole.get())) << "to be painted: " << pending.left << "," << pending.top
                                                         << " - " << pending.right << "," << pending.bottom;
    }
}

TEST_F(PlayWndTest, LogoGivesWayToAShownVideoWhilePlayingOrPaused) {
    ASSERT_TRUE(area->open(kPlayerVlc, AppGlobals.instance));
    const std::vector<COLORREF> logoShown = BlackWithLogoAt(area->logo, 480, 300, 82, 72);
    const std::vector<COLORREF> black(480 * 300, RGB(0, 0, 0));
    struct Case {
        PlayerState state;
        bool videoShown;
        bool surface;
        bool logo;
    } cases[] = {
        {kStatePlaying, true, false, false}, {kStatePaused, true, false, false}, {kStatePlaying, false, false, true},
        {kStateStopped, true, false, true},  {kStateOpening, true, false, true}, {kStateNothing, false, true, false},
    };
    for (const Case& c : cases) {
        setPlayer(kPlayerVlc, c.state, c.state == kStatePlaying);
        ShowWindow(area->videoWindow, c.videoShown ? SW_SHOW : SW_HIDE);
        Canvas canvas(480, 300, kUnpainted);
        area->paint(canvas.dc(), c.surface);
        EXPECT_EQ(canvas.pixels(), c.logo ? logoShown : black)
            << "state " << c.state << " shown " << c.videoShown << " surface " << c.surface;
    }
}

// windres adds styles of its own to a template unless told otherwise: check what the resources hold.
TEST(VideoAreaResourcesTest, DialogTemplatesAreHiddenBorderlessChildren) {
    struct DialogExHeader {
        WORD version, signature;
        DWORD helpId, exStyle, style;
        WORD items;
        short x, y, cx, cy;
    };
    struct Case {
        int id;
        short cx, cy;
    } cases[] = {{IDD_PLAYHOST, 288, 153}, {IDD_VIDEOSURFACE, 311, 65}};
    for (const Case& c : cases) {
        HMODULE module = GetModuleHandleW(nullptr);
        HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(c.id), reinterpret_cast<LPCWSTR>(RT_DIALOG));
        ASSERT_TRUE(found);
        const auto* header = static_cast<const DialogExHeader*>(LockResource(LoadResource(module, found)));
        ASSERT_TRUE(header);
        EXPECT_EQ(header->signature, 0xFFFF);
        EXPECT_EQ(header->style, 0x40080048u) << c.id;
        EXPECT_EQ(header->items, 0);
        EXPECT_EQ(header->cx, c.cx);
        EXPECT_EQ(header->cy, c.cy);
    }
}

TEST_F(PlayWndTest, CreditLinkIsUnderlinedMessageFontSizedToItsText) {
    ASSERT_TRUE(IsWindow(area->creditLink));
    ASSERT_TRUE(area->linkFont);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(area->creditLink, WM_GETFONT, 0, 0)), area->linkFont);
    LOGFONTW font = {};
    GetObjectW(area->linkFont, sizeof(font), &font);
    EXPECT_EQ(font.lfUnderline, 1);
    EXPECT_EQ(GetParent(area->creditLink), area->host);
    RECT link = rectInHost(area->creditLink);
    EXPECT_GT(link.right - link.left, 0);
    EXPECT_GT(link.bottom - link.top, 0);
}

TEST_F(PlayWndTest, LayoutPutsTheLinkTopRightAndTheVideoBelowItToTheBottom) {
    ASSERT_TRUE(area->open(kPlayerVlc, AppGlobals.instance));
    SetWindowPos(area->creditLink, nullptr, 0, 0, 120, 15, SWP_NOMOVE | SWP_NOZORDER);
    resizeHost(800, 500);  // WM_SIZE lays out
    RECT link = rectInHost(area->creditLink);
    EXPECT_EQ(link.left, 675);
    EXPECT_EQ(link.top, 5);
    EXPECT_EQ(link.right - link.left, 120);
    EXPECT_EQ(link.bottom - link.top, 15);
    RECT video = rectInHost(area->videoWindow);
    EXPECT_EQ(video.left, 0);
    EXPECT_EQ(video.top, 25);
    EXPECT_EQ(video.right, 800);
    EXPECT_EQ(video.bottom, 500);

    // Without a link the video starts 10 pixels down.
    DestroyWindow(area->creditLink);
    area->layout();
    video = rectInHost(area->videoWindow);
    EXPECT_EQ(video.top, 10);
    EXPECT_EQ(video.bottom, 500);
}

TEST_F(PlayWndTest, OpenKeepsTheWindowForTheSameEngineAndReplacesItForTheOther) {
    ASSERT_TRUE(area->open(kPlayerVlc, AppGlobals.instance));
    HWND vlcWindow = area->videoWindow;
    ASSERT_TRUE(IsWindow(vlcWindow));
    EXPECT_EQ(GetParent(vlcWindow), area->host);
    EXPECT_FALSE(IsWindowVisible(vlcWindow));
    logic->playerType = kPlayerVlc;
    setPlayer(kPlayerVlc, kStatePlaying, true);

    // Same type: the same window, hidden again until playback shows it.
    ShowWindow(vlcWindow, SW_SHOW);
    ASSERT_TRUE(area->open(kPlayerVlc, AppGlobals.instance));
    EXPECT_EQ(area->videoWindow, vlcWindow);
    EXPECT_FALSE(IsWindowVisible(vlcWindow));

    // The other type while the VLC engine is current: our dialog goes with DestroyWindow.
    ASSERT_TRUE(area->open(kPlayerSwf, AppGlobals.instance));
    EXPECT_FALSE(IsWindow(vlcWindow));
    HWND swfWindow = area->videoWindow;
    ASSERT_TRUE(IsWindow(swfWindow));
    EXPECT_FALSE(IsWindowVisible(swfWindow));
    logic->playerType = kPlayerSwf;
    setPlayer(kPlayerSwf, kStatePlaying, true);

    // Back to VLC while the SWF engine is current: the library releases its own window.
    ASSERT_TRUE(area->open(kPlayerVlc, AppGlobals.instance));
    EXPECT_FALSE(IsWindow(swfWindow));
    EXPECT_TRUE(IsWindow(area->videoWindow));

    // A type without an engine leaves no window and fails. The VLC engine is current again, so its window
    // is ours to destroy (the library would not know it).
    logic->playerType = kPlayerVlc;
    setPlayer(kPlayerVlc, kStatePlaying, true);
    HWND last = area->videoWindow;
    EXPECT_FALSE(area->open(kPlayerNone, AppGlobals.instance));
    EXPECT_EQ(area->videoWindow, nullptr);
    EXPECT_FALSE(IsWindow(last));
}

TEST_F(PlayWndTest, TeardownDestroysEveryWindowAndTheFontWithoutTheLibrary) {
    ASSERT_TRUE(area->open(kPlayerSwf, AppGlobals.instance));
    logic->playerType = kPlayerSwf;
    setPlayer(kPlayerSwf, kStatePlaying, true);
    HWND host = area->host;
    HWND video = area->videoWindow;
    HWND link = area->creditLink;
    HFONT font = area->linkFont;
    area->destroyWindows();
    EXPECT_FALSE(IsWindow(host));
    EXPECT_FALSE(IsWindow(video));
    EXPECT_FALSE(IsWindow(link));
    EXPECT_EQ(GetObjectType(font), 0u);
    EXPECT_EQ(area->host, nullptr);
    EXPECT_EQ(area->videoWindow, nullptr);
    EXPECT_EQ(area->creditLink, nullptr);
    EXPECT_EQ(area->linkFont, nullptr);
    area->destroyWindows();  // twice is harmless, as the destructor does after the teardown
}

// The context menu, seen through the menu loop's seam instead of a real, blocking TrackPopupMenu.
struct MenuSeen {
    int calls = 0;
    UINT flags = 0;
    HWND owner = nullptr;
    HMENU popup = nullptr;
    std::map<UINT, UINT> state;  // command -> GetMenuState, absent when the entry is not there
    int answer = 0;
};
MenuSeen Seen;

BOOL WINAPI RecordMenu(HMENU popup, UINT flags, int, int, int, HWND owner, const RECT*) {
    ++Seen.calls;
    Seen.flags = flags;
    Seen.owner = owner;
    Seen.popup = popup;
    Seen.state.clear();
    for (UINT id :
         {ID_OPEN, ID_PLAY, ID_PAUSE, ID_STOP, ID_PREVIOUS, ID_NEXT, ID_FULL_SCREEN, ID_LEAVE_FULL_SCREEN, ID_EXIT}) {
        UINT state = GetMenuState(popup, id, MF_BYCOMMAND);
        if (state != static_cast<UINT>(-1))
            Seen.state[id] = state;
    }
    return Seen.answer;
}

bool Greyed(UINT id) {
    return (Seen.state.at(id) & (MF_GRAYED | MF_DISABLED)) == (MF_GRAYED | MF_DISABLED);
}

// A real file for the playlist, which opens every file it is given.
class TempMediaFile {
  public:
    TempMediaFile() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        path = std::wstring(temp) + L"playwnd_" + std::to_wstring(GetCurrentProcessId()) + L".flv";
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
    ~TempMediaFile() { DeleteFileW(path.c_str()); }
    std::wstring path;
};

TEST_F(PlayWndTest, ContextMenuGreysWhatCannotBeDoneNow) {
    PlayerMenuTrack = RecordMenu;
    const TempMediaFile media;
    struct Case {
        const char* name;
        BOOL fullScreen;
        int player;  // -1 none, else a state
        bool playing;
        int items;
        int current;
        bool play, pause, stop, navigate;  // greyed
    } cases[] = {
        {"nothing open", FALSE, -1, false, 0, -1, true, true, true, true},
        {"nothing open, full screen", TRUE, -1, false, 0, -1, true, true, true, true},
        {"one item playing", FALSE, kStatePlaying, true, 1, 0, true, false, false, true},
        {"one item paused", FALSE, kStatePaused, false, 1, 0, false, true, false, true},
        {"stopped in a folder", FALSE, kStateStopped, false, 3, 1, false, true, true, false},
        {"playing, none current", TRUE, kStatePlaying, true, 2, -1, true, false, false, true},
        {"ended, empty playlist", FALSE, kStateEnded, false, 0, -1, true, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AppGlobals.fullScreen = c.fullScreen;
        delete logic->player;
        logic->player = c.player < 0 ? nullptr : new FakePlayer(kPlayerVlc, c.player, c.playing);
        logic->playlist.clear();
        for (int i = 0; i < c.items; ++i)
            ASSERT_EQ(logic->playlist.addFile(media.path.c_str(), 0), i);
        logic->playlist.setCurrent(c.current);
        ASSERT_EQ(logic->playlist.currentIndex(), c.current);
        Seen = MenuSeen();

        SendMessageW(area->host, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(area->host), MAKELPARAM(-1, -1));
        ASSERT_EQ(Seen.calls, 1);
        EXPECT_EQ(Seen.flags, static_cast<UINT>(TPM_RETURNCMD));
        EXPECT_EQ(Seen.owner, main);
        EXPECT_EQ(Greyed(ID_PLAY), c.play);
        EXPECT_EQ(Greyed(ID_PAUSE), c.pause);
        EXPECT_EQ(Greyed(ID_STOP), c.stop);
        EXPECT_EQ(Greyed(ID_PREVIOUS), c.navigate);
        EXPECT_EQ(Greyed(ID_NEXT), c.navigate);
        EXPECT_FALSE(Greyed(ID_OPEN));
        EXPECT_FALSE(Greyed(ID_EXIT));
        const UINT kept = c.fullScreen ? ID_LEAVE_FULL_SCREEN : ID_FULL_SCREEN;
        const UINT gone = c.fullScreen ? ID_FULL_SCREEN : ID_LEAVE_FULL_SCREEN;
        ASSERT_EQ(Seen.state.count(kept), 1u);
        EXPECT_FALSE(Greyed(kept));
        EXPECT_EQ(Seen.state.count(gone), 0u);
        EXPECT_FALSE(IsMenu(Seen.popup)) << "the loaded menu must be destroyed";
    }
}

TEST_F(PlayWndTest, ChosenMenuEntryIsPostedDismissedMenuPostsNothing) {
    PlayerMenuTrack = RecordMenu;
    PumpMessages();
    ASSERT_TRUE(area->open(kPlayerVlc, AppGlobals.instance));
    struct Case {
        HWND target;
        int answer;
    } cases[] = {{area->host, ID_STOP}, {area->videoWindow, ID_OPEN}, {area->host, 0}};
    for (const Case& c : cases) {
        Seen = MenuSeen();
        Seen.answer = c.answer;
        SendMessageW(c.target, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(c.target), 0);
        EXPECT_EQ(Seen.calls, 1);
        MSG msg;
        const bool posted = PeekMessageW(&msg, main, WM_COMMAND, WM_COMMAND, PM_REMOVE);
        EXPECT_EQ(posted, c.answer != 0);
        if (posted) {
            EXPECT_EQ(msg.wParam, static_cast<WPARAM>(c.answer));
            EXPECT_EQ(msg.lParam, 0);
        }
    }
}

TEST_F(PlayWndTest, DoubleClickPostsTheFullScreenToggle) {
    ASSERT_TRUE(area->open(kPlayerVlc, AppGlobals.instance));
    PumpMessages();
    for (BOOL fullScreen : {FALSE, TRUE}) {
        for (HWND target : {area->host, area->videoWindow}) {
            AppGlobals.fullScreen = fullScreen;
            SendMessageW(target, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
            MSG msg;
            ASSERT_TRUE(PeekMessageW(&msg, main, WM_COMMAND, WM_COMMAND, PM_REMOVE));
            EXPECT_EQ(msg.wParam, static_cast<WPARAM>(fullScreen ? ID_LEAVE_FULL_SCREEN : ID_FULL_SCREEN));
            EXPECT_EQ(msg.lParam, 0);
            EXPECT_FALSE(PeekMessageW(&msg, main, WM_COMMAND, WM_COMMAND, PM_REMOVE));
        }
    }
}

// The display count of the cursor, unchanged by asking.
int CursorCount() {
    ShowCursor(FALSE);
    return ShowCursor(TRUE);
}

class CursorTest : public PlayWndTest {
  protected:
    void SetUp() override {
        PlayWndTest::SetUp();
        ASSERT_TRUE(SetCursorPos(kMainX + 200, kMainY + 150));
        POINT at;
        GetCursorPos(&at);
        if (at.x != kMainX + 200 || at.y != kMainY + 150)
            GTEST_SKIP() << "this display driver does not move the cursor";
        area->loadLogo();  // restarts the tracking at the cursor
        setPlayer(kPlayerVlc, kStatePlaying, true);
        baseline = CursorCount();
    }
    // Pretends the cursor has rested for longer than the delay.
    void restLong() { area->lastMoveTick = GetTickCount() - 5000; }
    int baseline = 0;
};

TEST_F(CursorTest, HidesAfterFiveSecondsAtRestOverThePlayingArea) {
    area->autoHideCursor();
    EXPECT_FALSE(area->cursorHidden) << "hidden before the delay";
    restLong();
    area->autoHideCursor();
    POINT at;
    GetCursorPos(&at);
    EXPECT_TRUE(area->cursorHidden) << "cursor at " << at.x << "," << at.y;
    EXPECT_EQ(CursorCount(), baseline - 1);
    area->autoHideCursor();
    EXPECT_EQ(CursorCount(), baseline - 1) << "hidden twice";

    // Pausing does not bring it back; only a movement does.
    setPlayer(kPlayerVlc, kStatePaused, false);
    area->autoHideCursor();
    EXPECT_TRUE(area->cursorHidden);
    SetCursorPos(kMainX + 206, kMainY + 150);
    area->autoHideCursor();
    EXPECT_FALSE(area->cursorHidden);
    EXPECT_EQ(CursorCount(), baseline);
}

TEST_F(CursorTest, NeverHiddenWhilePausedOrOutsideTheArea) {
    setPlayer(kPlayerVlc, kStatePaused, false);
    restLong();
    area->autoHideCursor();
    EXPECT_FALSE(area->cursorHidden);

    setPlayer(kPlayerVlc, kStatePlaying, true);
    SetCursorPos(kMainX + 600, kMainY + 150);  // in the main window, right of the 480-wide host
    area->autoHideCursor();                    // the move
    restLong();
    area->autoHideCursor();
    EXPECT_FALSE(area->cursorHidden);
    EXPECT_EQ(CursorCount(), baseline);
}

TEST_F(CursorTest, OnlyAMoveOfMoreThanFivePixelsShowsIt) {
    struct Case {
        int dx, dy;
        bool shows;
    } cases[] = {{5, 5, false}, {-5, 0, false}, {6, 0, true}, {0, 6, true}, {-6, -1, true}, {0, -6, true}};
    for (const Case& c : cases) {
        const POINT from = area->lastCursorPos;
        restLong();
        area->autoHideCursor();
        POINT now;
        GetCursorPos(&now);
        ASSERT_TRUE(area->cursorHidden) << c.dx << ", " << c.dy << " from " << from.x << "," << from.y << " at "
                                        << now.x << "," << now.y;
        SetCursorPos(from.x + c.dx, from.y + c.dy);
        area->autoHideCursor();
        EXPECT_EQ(!area->cursorHidden, c.shows) << c.dx << ", " << c.dy;
        EXPECT_EQ(area->lastCursorPos.x == from.x + c.dx, c.shows);
        area->setCursorVisible(true);
        SetCursorPos(from.x, from.y);
        area->autoHideCursor();
    }
    EXPECT_EQ(CursorCount(), baseline);
}

DWORD WINAPI ShowVideoFromThread(void* area) {
    static_cast<PlayWnd*>(area)->showVideoWindow(true);
    return 0;
}

// libvlc's thread asks for the video while the user-interface thread handles no messages (it may be
// polling in pause or stop): the call must return without waiting for that thread.
TEST_F(PlayWndTest, ShowVideoWindowFromAnotherThreadDoesNotWaitForThisOne) {
    ASSERT_TRUE(area->open(kPlayerVlc, AppGlobals.instance));
    ASSERT_FALSE(IsWindowVisible(area->videoWindow));
    HANDLE thread = CreateThread(nullptr, 0, ShowVideoFromThread, area, 0, nullptr);
    ASSERT_TRUE(thread);
    const DWORD waited = WaitForSingleObject(thread, 10000);  // no pumping here
    PumpMessages();
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(waited, WAIT_OBJECT_0);
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(area->videoWindow) != FALSE; }, 5000));
    area->showVideoWindow(false);
    PumpMessages();
    EXPECT_FALSE(IsWindowVisible(area->videoWindow));
}

TEST_F(PlayWndTest, CreditLinkIsAsWideAsItsTextAndItsUnderlineEndsWithIt) {
    ASSERT_TRUE(IsWindow(area->creditLink));
    RECT link = rectInHost(area->creditLink);
    const int width = link.right - link.left, height = link.bottom - link.top;
    // Drawn by the control itself, its colours asked of the real host (WM_CTLCOLORSTATIC).
    Canvas canvas(width + 20, height, RGB(0, 0, 0));
    SetViewportOrgEx(canvas.dc(), 0, 0, nullptr);
    SendMessageW(area->creditLink, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT | PRF_ERASEBKGND);
    int lastInk = -1, underlineRow = -1, underlineEnd = -1;
    for (int y = height - 1; y >= 0 && underlineRow < 0; --y) {
        int run = 0;
        for (int x = 0; x < width + 20; ++x)
            run += canvas.pixel(x, y) == 0xC0C0C0;
        if (run > width / 2)
            underlineRow = y;
    }
    ASSERT_GE(underlineRow, 0) << "no underline";
    for (int x = 0; x < width + 20; ++x) {
        if (canvas.pixel(x, underlineRow) == 0xC0C0C0)
            underlineEnd = x;
        for (int y = 0; y < underlineRow; ++y)
            if (canvas.pixel(x, y) != 0)
                lastInk = x;
    }
    ASSERT_GE(lastInk, 0) << "no text";
    EXPECT_LT(lastInk, width) << "the text is cut";
    // The underline ends with the text: at most the last letter's own side bearing further.
    EXPECT_LE(underlineEnd - lastInk, 2) << "underline " << underlineEnd << ", text " << lastInk << ", control "
                                         << width;
    EXPECT_GE(underlineEnd, lastInk);
}

struct ShellCall {
    int calls = 0;
    std::wstring verb, file;
    INT show = -1;
};
ShellCall Opened;

HINSTANCE WINAPI RecordShellOpen(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, INT show) {
    ++Opened.calls;
    Opened.verb = verb ? verb : L"";
    Opened.file = file ? file : L"";
    Opened.show = show;
    return reinterpret_cast<HINSTANCE>(42);
}

TEST_F(PlayWndTest, LinkShowsTheHandAndTakesItsClickAndColoursThroughTheHost) {
    HWND link = area->creditLink;
    ASSERT_TRUE(IsWindow(link));
    // The class: a static control in all but its name and cursor.
    const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    WNDCLASSEXW linkClass = {sizeof(linkClass)}, staticClass = {sizeof(staticClass)};
    ASSERT_TRUE(GetClassInfoExW(AppGlobals.instance, L"HYPERLINK", &linkClass));
    ASSERT_TRUE(GetClassInfoExW(AppGlobals.instance, L"STATIC", &staticClass));
    EXPECT_EQ(linkClass.hCursor, hand);
    EXPECT_EQ(linkClass.lpfnWndProc, staticClass.lpfnWndProc);
    EXPECT_EQ(linkClass.cbWndExtra, staticClass.cbWndExtra);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    SendMessageW(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), hand) << "the pointer over the link is the hand";

    // A click reaches the host as STN_CLICKED and opens the address; a click on another static does not.
    HWND plain = CreateWindowExW(0, L"STATIC", L"plain", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0, 40, 50, 15, area->host,
                                 nullptr, nullptr, nullptr);
    ASSERT_TRUE(plain);
    HyperlinkShellOpen = RecordShellOpen;
    Opened = ShellCall();
    for (HWND target : {plain, link}) {
        SendMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
        SendMessageW(target, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    }
    HyperlinkShellOpen = ShellExecuteW;
    EXPECT_EQ(Opened.calls, 1);
    EXPECT_EQ(Opened.verb, L"open");
    EXPECT_EQ(Opened.file, kCreditAddress);
    EXPECT_EQ(Opened.show, SW_HIDE);

    // The colours the host gives: grey on nothing for the link, the system's own for any other static.
    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkMode(dc, OPAQUE);
    const LRESULT linkBrush =
        SendMessageW(area->host, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(link));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(linkBrush), static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
    EXPECT_EQ(GetTextColor(dc), RGB(192, 192, 192));
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    SetTextColor(dc, RGB(1, 2, 3));
    const LRESULT plainBrush =
        SendMessageW(area->host, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(plain));
    EXPECT_NE(reinterpret_cast<HBRUSH>(plainBrush), static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
    EXPECT_NE(GetTextColor(dc), RGB(192, 192, 192));
    DeleteDC(dc);
    DestroyWindow(plain);
}

}  // namespace
