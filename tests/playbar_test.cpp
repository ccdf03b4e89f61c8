// The control bar on real windows under Wine's null driver: dialog 134 and the PNG skin come from the
// program's resources, the bar draws into real DIB sections, and an engine double gives it a state.
#include <windows.h>
#include <commctrl.h>
// objidl.h first: WIN32_LEAN_AND_MEAN leaves out the COM types that gdiplus.h needs.
#include <objidl.h>
#include <gdiplus.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "AppGlobals.h"
#include "PlayBar.h"
#include "PlayLogic.h"
#include "resource.h"
#include "test_util.h"

namespace {

class GdiplusEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&token_, &input, nullptr), Gdiplus::Ok);
    }
    void TearDown() override { Gdiplus::GdiplusShutdown(token_); }

  private:
    ULONG_PTR token_ = 0;
};
::testing::Environment* const gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

class FakeEngine : public MediaPlayer {
  public:
    PlayerType type() override { return kind; }
    bool init(HWND) override { return true; }
    void release() override {}
    bool open(const wchar_t*) override { return true; }
    void play() override {}
    bool isPlaying() override { return state == kStatePlaying; }
    void pause() override {}
    void stop() override {}
    MediaTime getTime() override { return time; }
    MediaTime getLength() override { return duration; }
    void setTime(MediaTime t) override {
        seeks.push_back(t);
        time = t;
    }
    VolumeLevel getVolume() override { return 100; }
    bool setVolume(VolumeLevel) override { return true; }
    PlayerState getState() override { return state; }
    void setWindow(HWND) override {}
    bool isMuted() override { return false; }
    void toggleMute() override {}

    PlayerType kind = kPlayerVlc;
    PlayerState state = kStateNothing;
    MediaTime time = 0;
    MediaTime duration = 0;
    std::vector<MediaTime> seeks;
};

// A pixel of one of the bar's own buffers (bottom-up DIB sections), as a COLORREF like Canvas::pixel.
COLORREF BufferPixel(const BackBuffer& buffer, int x, int y) {
    GdiFlush();
    DIBSECTION section = {};
    GetObjectW(buffer.bitmap, sizeof(section), &section);
    const DWORD* bits = static_cast<const DWORD*>(section.dsBm.bmBits);
    const DWORD p = bits[(buffer.height - 1 - y) * buffer.width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

RECT ControlRect(PlayBar* bar, int id) {
    RECT rect = {};
    EXPECT_TRUE(bar->controlRect(&rect, id)) << id;
    return rect;
}

// Screen position of the bar's client origin.
POINT BarOrigin(PlayBar* bar) {
    POINT origin = {0, 0};
    ClientToScreen(bar->window, &origin);
    return origin;
}

// Stands in for libvlc's event thread.
struct BarWork {
    PlayBar* bar;
    HANDLE done;
};
DWORD WINAPI UpdateFromWorker(void* param) {
    try {
        BarWork* work = static_cast<BarWork*>(param);
        work->bar->updateButtons();
        work->bar->updateTime();
        SetEvent(work->done);
    } catch (...) {
    }
    return 0;
}

class PlayBarTest : public ::testing::Test {
  protected:
    void SetUp() override {
        AppGlobals = {};
        AppGlobals.instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW wc = {sizeof(wc)};
        wc.lpfnWndProc = MainProc;
        wc.hInstance = AppGlobals.instance;
        wc.lpszClassName = L"PlayBarTest_Main";
        RegisterClassExW(&wc);
        main_ = CreateWindowExW(0, L"PlayBarTest_Main", L"bar test", WS_POPUP | WS_VISIBLE, 0, 0, 900, 300, nullptr,
                                nullptr, AppGlobals.instance, nullptr);
        ASSERT_NE(main_, nullptr);
        AppGlobals.mainWindow = main_;
        logic_ = new PlayLogic();
        AppGlobals.playLogic = logic_;
        bar_ = PlayBar::instance();
        ASSERT_NE(bar_, nullptr);
        AppGlobals.playBar = bar_;
        ASSERT_TRUE(bar_->create(AppGlobals.instance, main_));
        ASSERT_TRUE(bar_->createFontAndTips());
        SetWindowPos(bar_->window, nullptr, 0, 0, 800, 36, SWP_NOZORDER);
        drain();
    }
    void TearDown() override {
        TimeTextFormatter = FormatTimeText;
        AppGlobals.fullScreen = FALSE;
        if (bar_)
            bar_->destroyWindows();
        AppGlobals.playBar = nullptr;
        PlayBar::destroyInstance();
        if (logic_) {
            logic_->player = nullptr;
            delete logic_;
        }
        AppGlobals.playLogic = nullptr;
        delete engine_;
        if (main_)
            DestroyWindow(main_);
        drain();
    }
    void drain() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    FakeEngine* useEngine(PlayerState state) {
        if (!engine_)
            engine_ = new FakeEngine();
        engine_->state = state;
        logic_->player = engine_;
        return engine_;
    }
    // The playlist only takes files that open for reading: one real file, added as often as needed.
    void setPlaylist(int items, int current) {
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        std::wstring clip = std::wstring(folder) + L"playbar_test_clip.flv";
        HANDLE file = CreateFileW(clip.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
        logic_->playlist.clear();
        for (int i = 0; i < items; ++i)
            ASSERT_EQ(logic_->playlist.addFile(clip.c_str(), i == current), i);
    }
    // The next WM_SIZE or WM_COMMAND posted to the main window.
    bool takePosted(UINT message, MSG* out) { return PeekMessageW(out, main_, message, message, PM_REMOVE) != FALSE; }

    HWND main_ = nullptr;
    PlayLogic* logic_ = nullptr;
    PlayBar* bar_ = nullptr;
    FakeEngine* engine_ = nullptr;
};

TEST_F(PlayBarTest, CreateMakesLayeredBarOnceAndShowsIt) {
    LONG exStyle = GetWindowLongW(bar_->window, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_LAYERED);
    EXPECT_TRUE(exStyle & WS_EX_COMPOSITED);  // Wine reports a version of 6 or more
    EXPECT_TRUE(GetWindowLongW(bar_->window, GWL_STYLE) & WS_VISIBLE);
    wchar_t name[64];
    GetClassNameW(bar_->tooltip, name, 64);
    EXPECT_STREQ(name, L"tooltips_class32");
    EXPECT_TRUE(GetWindowLongW(bar_->tooltip, GWL_STYLE) & TTS_ALWAYSTIP);
    // A popup's owner is always a top-level window: the system takes the bar's top-level ancestor.
    EXPECT_EQ(GetWindow(bar_->tooltip, GW_OWNER), main_);

    HWND window = bar_->window, tooltip = bar_->tooltip;
    EXPECT_TRUE(bar_->create(AppGlobals.instance, main_));
    EXPECT_EQ(bar_->window, window);
    EXPECT_EQ(bar_->tooltip, tooltip);
    HWND first = FindWindowExW(main_, nullptr, L"#32770", nullptr);
    EXPECT_EQ(first, window);
    EXPECT_EQ(FindWindowExW(main_, first, L"#32770", nullptr), nullptr);
}

TEST_F(PlayBarTest, DialogTemplateHasElevenControlsInOrder) {
    struct Control {
        int id;
        bool button;
    };
    const Control expected[] = {{1009, false}, {1003, true}, {1004, true}, {1005, true}, {1006, true}, {1008, true},
                                {1010, false}, {1007, true}, {1011, true}, {1012, true}, {1013, true}};
    HWND child = GetWindow(bar_->window, GW_CHILD);
    for (const Control& c : expected) {
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(GetDlgCtrlID(child), c.id);
        LONG style = GetWindowLongW(child, GWL_STYLE);
        wchar_t name[32];
        GetClassNameW(child, name, 32);
        if (c.button) {
            EXPECT_STREQ(name, L"Button");
            EXPECT_EQ(style & BS_TYPEMASK, BS_OWNERDRAW) << c.id;
        } else {
            EXPECT_STREQ(name, L"Static");
            EXPECT_EQ(style & SS_TYPEMASK, SS_BLACKFRAME) << c.id;
            EXPECT_FALSE(style & WS_VISIBLE) << c.id;
        }
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr);
}

TEST_F(PlayBarTest, LayoutOfAn800PixelBar) {
    struct Place {
        int id, x, y, w, h;
    };
    const Place expected[] = {
        {IDC_OPEN, 1, 2, 36, 32},
        {IDC_STOP, 1, 2, 36, 32},
        {IDC_PLAY, 38, 2, 36, 32},
        {IDC_PAUSE, 38, 2, 36, 32},
        {IDC_PREV, 75, 2, 36, 32},
        {IDC_NEXT, 112, 2, 36, 32},
        {IDC_TIME_BAR, 149, 16, 519, 12},
        {IDC_VOLUME_BAR, 669, 15, 68, 12},
        {IDC_MUTE, 738, 9, 28, 24},
        {IDC_FULLSCREEN, 767, 5, 32, 26},
        {IDC_LEAVE_FULLSCREEN, 767, 5, 32, 26},
    };
    EXPECT_EQ(bar_->barHeight(), 36);
    for (const Place& p : expected) {
        RECT r = ControlRect(bar_, p.id);
        EXPECT_EQ(r.left, p.x) << p.id;
        EXPECT_EQ(r.top, p.y) << p.id;
        EXPECT_EQ(r.right - r.left, p.w) << p.id;
        EXPECT_EQ(r.bottom - r.top, p.h) << p.id;
    }
}

TEST_F(PlayBarTest, BarHeightAndBuffersThatOnlyGrow) {
    EXPECT_EQ(bar_->composite.width, 800);
    EXPECT_EQ(bar_->composite.height, 36);
    EXPECT_EQ(bar_->background.width, 800);
    SetWindowPos(bar_->window, nullptr, 0, 0, 600, 36, SWP_NOZORDER);
    EXPECT_EQ(bar_->composite.width, 800);
    EXPECT_EQ(ControlRect(bar_, IDC_TIME_BAR).right - ControlRect(bar_, IDC_TIME_BAR).left, 319);
    SetWindowPos(bar_->window, nullptr, 0, 0, 1000, 36, SWP_NOZORDER);
    EXPECT_EQ(bar_->composite.width, 1000);
    EXPECT_EQ(bar_->background.width, 1000);

    Gdiplus::Image* skin = bar_->barImage;
    bar_->barImage = nullptr;
    EXPECT_EQ(bar_->barHeight(), 27);
    bar_->barImage = skin;
    bar_->destroyWindows();
    EXPECT_EQ(bar_->barHeight(), 0);
}

TEST_F(PlayBarTest, ButtonStatesForStatePlaylistAndFullScreen) {
    // Flags in the order Open, Play, Pause, Stop, Prev, Next, Full Screen, Leave Full Screen.
    const int ids[] = {IDC_OPEN, IDC_PLAY, IDC_PAUSE,      IDC_STOP,
                       IDC_PREV, IDC_NEXT, IDC_FULLSCREEN, IDC_LEAVE_FULLSCREEN};
    struct Case {
        bool engine;
        PlayerState state;
        int items, current;
        BOOL fullScreen;
        const char* visible;
        const char* enabled;
        bool keepsPosition;
    };
    const Case cases[] = {
        {true, kStatePlaying, 3, 0, FALSE, "00111110", "00111110", true},
        {true, kStatePaused, 1, 0, TRUE, "01011101", "01010001", true},
        {true, kStateStopped, 0, -1, FALSE, "11001110", "10000010", false},
        {true, kStateOpening, 2, 1, FALSE, "11001110", "11001110", false},
        {false, 0, 2, -1, TRUE, "11001101", "11000001", false},
    };
    for (const Case& c : cases) {
        logic_->player = nullptr;
        if (c.engine)
            useEngine(c.state);
        setPlaylist(c.items, c.current);
        AppGlobals.fullScreen = c.fullScreen;
        bar_->position = 5000;
        bar_->updateButtons();
        std::string visible, enabled;
        for (int id : ids) {
            HWND control = GetDlgItem(bar_->window, id);
            visible += (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) ? '1' : '0';
            enabled += IsWindowEnabled(control) ? '1' : '0';
        }
        EXPECT_EQ(visible, c.visible) << "state " << c.state << " items " << c.items;
        EXPECT_EQ(enabled, c.enabled) << "state " << c.state << " items " << c.items;
        EXPECT_EQ(bar_->position, c.keepsPosition ? 5000 : 0) << "state " << c.state;
    }
}

TEST_F(PlayBarTest, ButtonsPostTheMainWindowsCommands) {
    const int pairs[][2] = {{IDC_OPEN, ID_OPEN},
                            {IDC_PLAY, ID_PLAY},
                            {IDC_PAUSE, ID_PAUSE},
                            {IDC_STOP, ID_STOP},
                            {IDC_PREV, ID_PREVIOUS},
                            {IDC_NEXT, ID_NEXT},
                            {IDC_MUTE, ID_MUTE},
                            {IDC_FULLSCREEN, ID_FULL_SCREEN},
                            {IDC_LEAVE_FULLSCREEN, ID_FULL_SCREEN}};
    MSG msg;
    for (const auto& pair : pairs) {
        EXPECT_EQ(PlayBarDlgProc(bar_->window, WM_COMMAND, MAKEWPARAM(pair[0], BN_CLICKED), 0), TRUE);
        ASSERT_TRUE(takePosted(WM_COMMAND, &msg)) << pair[0];
        EXPECT_EQ(msg.wParam, static_cast<WPARAM>(pair[1])) << pair[0];
        EXPECT_EQ(msg.lParam, 0);
    }
    EXPECT_EQ(PlayBarDlgProc(bar_->window, WM_COMMAND, IDCANCEL, 0), TRUE);
    EXPECT_EQ(PlayBarDlgProc(bar_->window, WM_COMMAND, 4242, 0), FALSE);
    EXPECT_FALSE(takePosted(WM_COMMAND, &msg));
}

TEST_F(PlayBarTest, TooltipsOnTheNineButtonsOnly) {
    ASSERT_EQ(SendMessageW(bar_->tooltip, TTM_GETTOOLCOUNT, 0, 0), 9);
    std::vector<int> seen;
    for (int i = 0; i < 9; ++i) {
        wchar_t text[80] = {};
        TOOLINFOW info = {};
        info.cbSize = sizeof(info);
        info.lpszText = text;
        ASSERT_TRUE(SendMessageW(bar_->tooltip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&info)));
        EXPECT_TRUE(info.uFlags & TTF_IDISHWND);
        EXPECT_EQ(info.hwnd, bar_->window);
        int id = GetDlgCtrlID(reinterpret_cast<HWND>(info.uId));
        seen.push_back(id);
        const SkinEntry* row = SkinTable;
        while (row->id && row->id != id)
            ++row;
        ASSERT_NE(row->id, 0);
        ASSERT_NE(row->tooltip, nullptr) << id;
        EXPECT_STREQ(text, row->tooltip);
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), IDC_TIME_BAR), 0);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), IDC_VOLUME_BAR), 0);
}

TEST_F(PlayBarTest, PressedButtonIsDrawnOnePixelRightAndDown) {
    RECT r = ControlRect(bar_, IDC_PLAY);
    int w = r.right - r.left, h = r.bottom - r.top;
    Canvas normal(w, h), pressed(w, h);
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_BUTTON;
    item.CtlID = IDC_PLAY;
    item.hwndItem = GetDlgItem(bar_->window, IDC_PLAY);
    item.rcItem = {0, 0, w, h};
    item.hDC = normal.dc();
    SendMessageW(bar_->window, WM_DRAWITEM, IDC_PLAY, reinterpret_cast<LPARAM>(&item));
    item.itemState = ODS_SELECTED;
    item.hDC = pressed.dc();
    SendMessageW(bar_->window, WM_DRAWITEM, IDC_PLAY, reinterpret_cast<LPARAM>(&item));

    // Inside the opaque plate the pressed picture is the normal one moved by (1, 1).
    int differences = 0;
    for (int y = 6; y < h - 7; ++y)
        for (int x = 6; x < w - 7; ++x) {
            ASSERT_EQ(pressed.pixel(x + 1, y + 1), normal.pixel(x, y)) << x << "," << y;
            differences += pressed.pixel(x, y) != normal.pixel(x, y);
        }
    EXPECT_GT(differences, 0);
    // The corner outside the plate shows the bar background under the button, not black.
    EXPECT_EQ(normal.pixel(0, 0), BufferPixel(bar_->background, r.left, r.top));
}

TEST(PlayBarFormat, PlayTimes) {
    struct Case {
        MediaTime value;
        PlayerType type;
        const wchar_t* text;
    };
    const Case cases[] = {
        {3725000, kPlayerVlc, L"01:02:05"},
        {360000000, kPlayerVlc, L"100:00:00"},
        {0, kPlayerVlc, L"00:00:00"},
        {59999, kPlayerVlc, L"00:00:59"},
        {8639999999LL, kPlayerNone, L"2399:59:59"},
        {1234, kPlayerSwf, L"1234"},
        {5000000000LL, kPlayerSwf, L"5000000000"},
        {-7, kPlayerSwf, L"-7"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatPlayTime(c.value, c.type), c.text) << c.value;
}

TEST(PlayBarMath, TimeBarFill) {
    struct Case {
        MediaTime position, length;
        int width, knob, fill;
    };
    const Case cases[] = {
        {30000, 60000, 519, 12, 253}, {0, 60000, 519, 12, 0},
        {90000, 60000, 519, 12, 507}, {-5, 60000, 519, 12, 0},
        {30000, 0, 519, 12, 0},       {30000, -1, 519, 12, 0},
        {10, 60000, 8, 12, 0},        {3000000000000LL, 6000000000000LL, 519, 12, 253},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TimeBarFill(c.position, c.length, c.width, c.knob), c.fill) << c.position << "/" << c.length;
    EXPECT_EQ(VolumeKnobOffset(50, 68, 16), 26);
    EXPECT_EQ(VolumeKnobOffset(0, 68, 16), 0);
    EXPECT_EQ(VolumeKnobOffset(100, 68, 16), 52);
    EXPECT_DOUBLE_EQ(SliderFraction(16, 0, 80, 16), 0.125);
    EXPECT_DOUBLE_EQ(SliderFraction(5, 0, 10, 10), 0.0);  // no travel: no division by zero
    EXPECT_DOUBLE_EQ(SliderFraction(6, 0, 10, 10), 1.0);
}

// A paint gives the bar the brush with its image tiled over the main window's width; the columns of the two
// sliders come from the composite. Whichever way the bar gets there, the pixels are those.
TEST_F(PlayBarTest, PaintShowsTheTiledBackgroundAtEveryWidth) {
    Gdiplus::Bitmap translucent(10, 36, PixelFormat32bppARGB);
    for (int y = 0; y < 36; ++y)
        for (int x = 0; x < 10; ++x)
            translucent.SetPixel(x, y, Gdiplus::Color(x == 3 ? 128 : 255, 200, 40 + y, 90));
    EXPECT_TRUE(IsOpaqueImage(bar_->barImage)) << "the skin's bar image is opaque";
    EXPECT_FALSE(IsOpaqueImage(&translucent));
    EXPECT_FALSE(IsOpaqueImage(nullptr));

    struct Case {
        int width;  // of the main window's client area and the bar
        bool skin;  // the skin's image, or the translucent one
    };
    // 1003: the buffers grow to it; 605: narrower than the buffers, which keep the larger size. Neither is a
    // multiple of the 10-pixel tile, so the last copy is squeezed, and at another place for each width.
    for (const Case& c : {Case{1003, true}, Case{605, true}, Case{1003, false}}) {
        SCOPED_TRACE(testing::Message() << "width " << c.width << (c.skin ? " skin" : " translucent"));
        Gdiplus::Image* skin = bar_->barImage;
        const bool opaque = bar_->barImageOpaque;
        if (!c.skin) {
            bar_->barImage = &translucent;
            bar_->barImageOpaque = IsOpaqueImage(&translucent);
        }
        SetWindowPos(main_, nullptr, 0, 0, c.width, 300, SWP_NOZORDER | SWP_NOMOVE);
        RECT client = {};
        GetClientRect(main_, &client);
        const int width = client.right;
        SetWindowPos(bar_->window, nullptr, 0, 0, width, 36, SWP_NOZORDER);
        Canvas screen(width, 36), reference(width, 36);
        bar_->paint(screen.dc());
        reference.fill(bar_->backgroundColor());
        DrawTiled(reference.dc(), bar_->barImage, 0, 0, width);
        const RECT time = ControlRect(bar_, IDC_TIME_BAR), volume = ControlRect(bar_, IDC_VOLUME_BAR);
        int wrong = 0;
        for (int x = 0; x < width; ++x) {
            if ((x >= time.left && x < time.right) || (x >= volume.left && x < volume.right))
                continue;
            for (int y = 0; y < 36; ++y)
                wrong += screen.pixel(x, y) != reference.pixel(x, y);
        }
        EXPECT_EQ(wrong, 0);
        bar_->barImage = skin;
        bar_->barImageOpaque = opaque;
    }
}

TEST(PlayBarDraw, TilesSideBySideAndSqueezesTheLastCopy) {
    // A 4-pixel tile: two red columns, then two blue.
    Gdiplus::Bitmap tile(4, 2, PixelFormat32bppARGB);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            tile.SetPixel(x, y, x < 2 ? Gdiplus::Color(255, 255, 0, 0) : Gdiplus::Color(255, 0, 0, 255));
    const COLORREF red = RGB(255, 0, 0), blue = RGB(0, 0, 255);
    struct Case {
        int width;
        const char* pattern;  // r, b, * for either, . for untouched black
    };
    const Case cases[] = {{10, "rrbbrrbbrb......"},
                          {8, "rrbbrrbb........"},
                          {3, "***............."},
                          {0, "................"},
                          {-4, "................"}};
    // The tile is opaque: copied once drawn, or drawn copy by copy, the pixels are the same.
    for (bool opaque : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "width " << c.width << (opaque ? ", whole copies copied" : ""));
            Canvas canvas(16, 2), drawn(16, 2);
            DrawTiled(canvas.dc(), &tile, 0, 0, c.width, opaque);
            DrawTiled(drawn.dc(), &tile, 0, 0, c.width);
            for (int x = 0; x < 16; ++x) {
                EXPECT_EQ(canvas.pixel(x, 0), drawn.pixel(x, 0)) << "x " << x;
                if (c.pattern[x] == '*') {
                    EXPECT_TRUE(canvas.pixel(x, 0) == red || canvas.pixel(x, 0) == blue) << "x " << x;
                    continue;
                }
                COLORREF want = c.pattern[x] == 'r' ? red : c.pattern[x] == 'b' ? blue : 0;
                EXPECT_EQ(canvas.pixel(x, 0), want) << "x " << x;
            }
        }
    }
    Gdiplus::Bitmap empty(0, 2, PixelFormat32bppARGB);
    ASSERT_EQ(empty.GetWidth(), 0u);
    Canvas canvas(16, 2);
    DrawTiled(canvas.dc(), &empty, 0, 0, 10);
    DrawTiled(canvas.dc(), nullptr, 0, 0, 10);
    EXPECT_EQ(canvas.pixel(0, 0), 0u);
}

// The columns of ink that a text leaves on a plain canvas: the first and the last, and the extent's width.
struct InkSpan {
    int first = -1, last = -1, advance = 0;
};
InkSpan InkOfText(HFONT font, const wchar_t* text) {
    Canvas plain(400, 40);
    plain.fill(RGB(255, 255, 255));
    HGDIOBJ old = SelectObject(plain.dc(), font);
    SIZE extent = {};
    GetTextExtentPoint32W(plain.dc(), text, lstrlenW(text), &extent);
    SetBkMode(plain.dc(), TRANSPARENT);
    SetTextColor(plain.dc(), RGB(0, 0, 0));
    TextOutW(plain.dc(), 10, 5, text, lstrlenW(text));
    SelectObject(plain.dc(), old);
    InkSpan span;
    span.advance = extent.cx;
    for (int x = 0; x < 400; ++x)
        for (int y = 0; y < 40; ++y)
            if (plain.pixel(x, y) != RGB(255, 255, 255)) {
                if (span.first < 0)
                    span.first = x - 10;
                span.last = x - 10;
                break;
            }
    return span;
}

// The time column as drawing every tile one by one gives it: background, track, played part, knob and the
// text above. Counts the pixels of the column in `composite` that differ.
int WrongTimeColumnPixels(PlayBar* bar, int fill, const wchar_t* text) {
    const RECT column = ControlRect(bar, IDC_TIME_BAR);
    const int width = bar->composite.width, height = bar->composite.height;
    Canvas expected(width, height);
    BitBlt(expected.dc(), 0, 0, width, height, bar->background.dc, 0, 0, SRCCOPY);
    DrawTiled(expected.dc(), bar->image(IDC_TIME_BAR), column.left, column.top, column.right - column.left);
    if (fill)
        DrawTiled(expected.dc(), bar->timeFill, column.left, column.top, fill);
    {
        Gdiplus::Graphics graphics(expected.dc());
        graphics.DrawImage(bar->timeKnob, column.left + fill, column.top, 12, 12);
    }
    // Its ink ends at the time bar's right end, wherever the font's advances end.
    const InkSpan ink = InkOfText(bar->font, text);
    HGDIOBJ old = SelectObject(expected.dc(), bar->font);
    SetBkMode(expected.dc(), TRANSPARENT);
    SetTextColor(expected.dc(), RGB(32, 32, 32));
    RECT strip = {column.left, 0, column.right - (ink.last + 1 - ink.advance), column.top};
    DrawTextW(expected.dc(), text, -1, &strip, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE | DT_NOCLIP);
    SelectObject(expected.dc(), old);
    int wrong = 0;
    for (int y = 0; y < height; ++y)
        for (int x = column.left; x < column.right; ++x)
            wrong += BufferPixel(bar->composite, x, y) != expected.pixel(x, y);
    return wrong;
}

TEST_F(PlayBarTest, TimeBarShowsPlayedPartKnobAndText) {
    struct Case {
        PlayerState state;
        MediaTime time, duration;
        MediaTime position, length;  // shown afterwards
        int fill;
        const wchar_t* text;
    };
    const Case cases[] = {
        {kStatePlaying, 30000, 60000, 30000, 60000, 253, L"00:01:00 / 00:00:30"},
        // The played part's last tile whole, and squeezed into 2 of its 4 pixels.
        {kStatePlaying, 30296, 60000, 30296, 60000, 256, L"00:01:00 / 00:00:30"},
        {kStatePlaying, 30060, 60000, 30060, 60000, 254, L"00:01:00 / 00:00:30"},
        {kStatePaused, 90000, 60000, 60000, 60000, 507, L"00:01:00 / 00:01:00"},
        {kStatePlaying, -40, 60000, 0, 60000, 0, L"00:01:00 / 00:00:00"},
        {kStateStopped, 1234, 9999, 0, 60000, 0, L"00:01:00 / 00:00:00"},  // keeps what it had
        {kStatePlaying, 0, 0, 0, 0, 0, L"00:00:00 / 00:00:00"},
    };
    FakeEngine* engine = useEngine(kStateNothing);
    RECT bar = ControlRect(bar_, IDC_TIME_BAR);
    for (const Case& c : cases) {
        engine->state = c.state;
        engine->time = c.time;
        engine->duration = c.duration;
        bar_->updateTime();
        EXPECT_EQ(bar_->position, c.position);
        EXPECT_EQ(bar_->length, c.length);
        EXPECT_TRUE(bar_->hasContent);
        ASSERT_EQ(bar.right - bar.left, 519);
        EXPECT_EQ(WrongTimeColumnPixels(bar_, c.fill, c.text), 0) << "fill " << c.fill;
        int text = 0;
        for (int y = 0; y < bar.top; ++y)
            for (int x = bar.left; x < bar.right; ++x)
                text += BufferPixel(bar_->composite, x, y) == RGB(32, 32, 32);
        EXPECT_GT(text, 0);
    }
}

// A time report that would leave every pixel of the time column as it is draws nothing; one that moves
// the played part by a pixel or the text by a second draws the column, as a full redraw would.
TEST_F(PlayBarTest, TimeColumnIsRedrawnWhenAPixelOfItChanges) {
    FakeEngine* engine = useEngine(kStatePlaying);
    const RECT column = ControlRect(bar_, IDC_TIME_BAR);
    // A pixel no drawing of the column puts there: gone when the column is drawn again.
    const POINT mark = {column.left + 300, column.top + 1};
    auto drawn = [&] {
        GdiFlush();
        return BufferPixel(bar_->composite, mark.x, mark.y) != RGB(0, 255, 0);
    };
    struct Step {
        MediaTime time, duration;
        bool redrawn;
        int fill;
        const wchar_t* text;
    };
    // An hour long: 507 pixels of travel, about 7 seconds a pixel. A minute: about 118 ms a pixel.
    const Step steps[] = {
        {30000, 3600000, true, 4, L"01:00:00 / 00:00:30"},
        {30400, 3600000, false, 4, nullptr},                // same second, same pixel
        {31000, 3600000, true, 4, L"01:00:00 / 00:00:31"},  // a new second
        {31999, 3600000, false, 4, nullptr},
        {30000, 60000, true, 253, L"00:01:00 / 00:00:30"},
        {30050, 60000, false, 253, nullptr},
        {30120, 60000, true, 254, L"00:01:00 / 00:00:30"},  // the same second, a pixel further
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message() << "time " << s.time << " of " << s.duration);
        SetPixel(bar_->composite.dc, mark.x, mark.y, RGB(0, 255, 0));
        engine->time = s.time;
        engine->duration = s.duration;
        bar_->updateTime();
        ASSERT_EQ(drawn(), s.redrawn);
        if (s.text) {
            EXPECT_EQ(WrongTimeColumnPixels(bar_, s.fill, s.text), 0);
        }
    }
    // A layout draws the column again in any case, and a wider bar gets its own track.
    SetPixel(bar_->composite.dc, mark.x, mark.y, RGB(0, 255, 0));
    SetWindowPos(bar_->window, nullptr, 0, 0, 900, 36, SWP_NOZORDER);
    EXPECT_TRUE(drawn());
    const RECT wider = ControlRect(bar_, IDC_TIME_BAR);
    ASSERT_GT(wider.right - wider.left, column.right - column.left);
    EXPECT_EQ(
        WrongTimeColumnPixels(bar_, TimeBarFill(30120, 60000, wider.right - wider.left, 12), L"00:01:00 / 00:00:30"),
        0);
}

// The strips of the time column come out as drawing every tile does over any background, also one whose
// columns differ (the skin's gradient is the same in every column).
TEST_F(PlayBarTest, TimeColumnOverABackgroundWhoseColumnsDiffer) {
    Gdiplus::Bitmap striped(10, 36, PixelFormat32bppARGB);
    for (int y = 0; y < 36; ++y)
        for (int x = 0; x < 10; ++x)
            striped.SetPixel(x, y, Gdiplus::Color(255, 20 * x, 100 + y, 250 - 20 * x));
    Gdiplus::Image* skin = bar_->barImage;
    const bool opaque = bar_->barImageOpaque;
    bar_->barImage = &striped;
    bar_->barImageOpaque = IsOpaqueImage(&striped);
    FakeEngine* engine = useEngine(kStatePlaying);
    engine->time = 30000;
    engine->duration = 60000;
    // Wider than before, so that the buffers are made again over the new background.
    for (int width : {1011, 1033}) {
        SCOPED_TRACE(testing::Message() << "bar width " << width);
        SetWindowPos(bar_->window, nullptr, 0, 0, width, 36, SWP_NOZORDER);
        bar_->updateTime();
        const RECT column = ControlRect(bar_, IDC_TIME_BAR);
        EXPECT_EQ(WrongTimeColumnPixels(bar_, TimeBarFill(30000, 60000, column.right - column.left, 12),
                                        L"00:01:00 / 00:00:30"),
                  0);
    }
    bar_->barImage = skin;
    bar_->barImageOpaque = opaque;
}

TEST_F(PlayBarTest, VolumeKnobFollowsVolumeAndMute) {
    RECT bar = ControlRect(bar_, IDC_VOLUME_BAR);
    struct Case {
        int volume;
        bool muted;
        int offset;
    };
    const Case cases[] = {{50, false, 26}, {50, true, 0}, {100, false, 52}};
    for (const Case& c : cases) {
        logic_->volume = c.volume;
        logic_->muted = c.muted;
        bar_->updateVolume();
        EXPECT_EQ(bar_->shownVolume, c.muted ? 0 : c.volume);
        Canvas expected(800, 36);
        BitBlt(expected.dc(), 0, 0, 800, 36, bar_->background.dc, 0, 0, SRCCOPY);
        {
            Gdiplus::Graphics graphics(expected.dc());
            graphics.DrawImage(bar_->image(IDC_VOLUME_BAR), bar.left, bar.top, 68, 12);
            graphics.DrawImage(bar_->volumeKnob, bar.left + c.offset, bar.top, 16, 12);
        }
        int wrong = 0;
        for (int y = 0; y < 36; ++y)
            for (int x = bar.left; x < bar.right; ++x)
                wrong += BufferPixel(bar_->composite, x, y) != expected.pixel(x, y);
        EXPECT_EQ(wrong, 0) << c.volume << (c.muted ? " muted" : "");
    }
}

TEST_F(PlayBarTest, PresentCopiesOnlyTheTwoSliderColumns) {
    useEngine(kStatePlaying)->duration = 60000;
    bar_->updateTime();
    Canvas screen(800, 36);
    const COLORREF marker = RGB(0, 255, 0);
    screen.fill(RGB(0, 255, 0));
    bar_->present(screen.dc());
    RECT time = ControlRect(bar_, IDC_TIME_BAR), volume = ControlRect(bar_, IDC_VOLUME_BAR);
    for (int x = 0; x < 800; ++x) {
        bool column = (x >= time.left && x < time.right) || (x >= volume.left && x < volume.right);
        for (int y : {0, 20, 35}) {
            COLORREF want = column ? BufferPixel(bar_->composite, x, y) : marker;
            ASSERT_EQ(screen.pixel(x, y), want) << x << "," << y;
        }
    }
}

TEST_F(PlayBarTest, PressAndDragSeekAndSetVolume) {
    // Widen the sliders to travels of 512 and 64 pixels, so that every fraction below is exact.
    HWND timeBar = GetDlgItem(bar_->window, IDC_TIME_BAR);
    HWND volumeBar = GetDlgItem(bar_->window, IDC_VOLUME_BAR);
    MoveWindow(timeBar, 100, 16, 524, 12, FALSE);   // knob 12: a = 106, b = 618
    MoveWindow(volumeBar, 650, 15, 80, 12, FALSE);  // knob 16: a = 658, b = 722
    FakeEngine* engine = useEngine(kStatePlaying);
    engine->duration = 60000;
    bar_->length = 60000;
    struct Case {
        int pressX, dragX;
        MediaTime seek;  // for the time bar
        int volume;      // for the volume bar
    };
    const Case seeks[] = {
        {106, 234, 15000, 0}, {150, 618, 60000, 0}, {500, 90, 0, 0}, {300, -40, 0, 0}, {106, 2000, 60000, 0}};
    for (const Case& c : seeks) {
        engine->seeks.clear();
        bar_->onMouseDown(MAKELPARAM(c.pressX, 20));
        EXPECT_EQ(bar_->dragTarget, IDC_TIME_BAR);
        EXPECT_EQ(GetCapture(), bar_->window);
        bar_->onDrag(MAKELPARAM(static_cast<WORD>(static_cast<short>(c.dragX)), 20));
        ASSERT_EQ(engine->seeks.size(), 2u);
        EXPECT_EQ(engine->seeks[1], c.seek) << c.dragX;
        bar_->endDrag();
        EXPECT_EQ(bar_->dragTarget, 0);
        EXPECT_EQ(GetCapture(), nullptr);
    }
    const Case volumes[] = {{658, 666, 0, 13}, {700, 661, 0, 5} /* 4.69 rounds up */,
                            {700, 690, 0, 50}, {700, 722, 0, 100},
                            {700, -300, 0, 0}, {650, 900, 0, 100}};
    for (const Case& c : volumes) {
        bar_->onMouseDown(MAKELPARAM(c.pressX, 20));
        EXPECT_EQ(bar_->dragTarget, IDC_VOLUME_BAR);
        bar_->onDrag(MAKELPARAM(static_cast<WORD>(static_cast<short>(c.dragX)), 20));
        EXPECT_EQ(logic_->volume, c.volume) << c.dragX;
        EXPECT_EQ(bar_->shownVolume, c.volume);
        bar_->endDrag();
    }
    // The right and bottom edges lie outside; a press there or elsewhere drags nothing.
    engine->seeks.clear();
    for (LPARAM outside : {MAKELPARAM(624, 20), MAKELPARAM(300, 28), MAKELPARAM(40, 10)}) {
        bar_->onMouseDown(outside);
        EXPECT_EQ(bar_->dragTarget, 0);
        EXPECT_EQ(GetCapture(), nullptr);
    }
    EXPECT_TRUE(engine->seeks.empty());

    bar_->onMouseDown(MAKELPARAM(200, 20));
    bar_->lastActivityTick = 1;
    bar_->reset();
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(bar_->lastActivityTick, 0u);
    EXPECT_EQ(bar_->length, 60000);  // the playing engine reports its length again
    engine->state = kStateStopped;
    bar_->reset();
    EXPECT_EQ(bar_->length, 0);
    EXPECT_EQ(bar_->position, 0);
}

TEST_F(PlayBarTest, AutoHideInFullScreen) {
    POINT origin = BarOrigin(bar_);
    POINT away = {origin.x + 400, origin.y + 200};
    POINT overBar = {origin.x + 400, origin.y + 18};
    auto visible = [&] { return (GetWindowLongW(bar_->window, GWL_STYLE) & WS_VISIBLE) != 0; };
    auto tickAt = [&](POINT cursor) {
        SetCursorPos(cursor.x, cursor.y);
        POINT now;
        GetCursorPos(&now);
        ASSERT_EQ(now.x, cursor.x) << "the cursor does not move";
        ASSERT_EQ(now.y, cursor.y);
        bar_->autoHideTick();
    };
    MSG msg;

    // Off: nothing changes.
    bar_->stopAutoHide();
    SetCursorPos(away.x, away.y);
    tickAt(away);
    EXPECT_TRUE(visible());
    EXPECT_EQ(bar_->lastActivityTick, 0u);
    EXPECT_FALSE(takePosted(WM_SIZE, &msg));

    // Armed, resting away from the bar: stays until more than 5000 ms have passed.
    bar_->noteActivity();
    EXPECT_EQ(bar_->lastCursorPos.x, away.x);
    bar_->lastActivityTick = GetTickCount() - 4000;
    tickAt({away.x + 4, away.y - 4});
    EXPECT_TRUE(visible());
    bar_->lastActivityTick = GetTickCount() - 5200;
    DWORD armed = bar_->lastActivityTick;
    tickAt({away.x + 4, away.y});
    EXPECT_FALSE(visible());
    EXPECT_EQ(bar_->lastActivityTick, armed);
    ASSERT_TRUE(takePosted(WM_SIZE, &msg));
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(msg.lParam, 0);

    // A move of exactly 5 pixels brings it back and re-arms.
    DWORD before = GetTickCount();
    tickAt({away.x, away.y + 5});
    DWORD after = GetTickCount();
    EXPECT_TRUE(visible());
    // Re-armed at the tick's own time: within the step (unsigned differences, so a wrap does no harm).
    EXPECT_LE(bar_->lastActivityTick - before, after - before) << "armed at " << bar_->lastActivityTick;
    EXPECT_EQ(bar_->lastCursorPos.y, away.y + 5);
    ASSERT_TRUE(takePosted(WM_SIZE, &msg));

    // Resting over the bar keeps it, however long.
    SetCursorPos(overBar.x, overBar.y);
    bar_->noteActivity();
    bar_->lastActivityTick = GetTickCount() - 60000;
    tickAt(overBar);
    EXPECT_TRUE(visible());

    // Hidden, a move onto the bar's place shows it again.
    bar_->lastCursorPos = away;
    bar_->lastActivityTick = GetTickCount() - 6000;
    tickAt(away);
    ASSERT_FALSE(visible());
    tickAt(overBar);
    EXPECT_TRUE(visible());
}

TEST_F(PlayBarTest, OtherThreadsNeverWaitForTheBusyUserInterfaceThread) {
    FakeEngine* engine = useEngine(kStateStopped);
    setPlaylist(3, 1);
    AppGlobals.fullScreen = FALSE;
    bar_->updateButtons();
    engine->state = kStatePlaying;
    engine->duration = 60000;
    engine->time = 30000;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    BarWork work = {bar_, done};
    // The user-interface thread waits here without pumping, as it does in PlayLogic's polling.
    HANDLE worker = CreateThread(nullptr, 0, UpdateFromWorker, &work, 0, nullptr);
    ASSERT_NE(worker, nullptr);
    EXPECT_EQ(WaitForSingleObject(done, 20000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(worker, 20000), WAIT_OBJECT_0);
    CloseHandle(worker);
    CloseHandle(done);
    EXPECT_EQ(bar_->position, 30000);  // the time was drawn on the worker

    // The buttons change only once the user-interface thread handles the posted request.
    HWND pause = GetDlgItem(bar_->window, IDC_PAUSE);
    EXPECT_FALSE(GetWindowLongW(pause, GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(PumpUntil([&] { return (GetWindowLongW(pause, GWL_STYLE) & WS_VISIBLE) != 0; }, 10000));
    EXPECT_FALSE(GetWindowLongW(GetDlgItem(bar_->window, IDC_OPEN), GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(bar_->window, IDC_NEXT)));
}

TEST_F(PlayBarTest, WholeTimeTextShowsRightAlignedInsideTheTimeBarAtEveryWidth) {
    FakeEngine* engine = useEngine(kStatePlaying);
    engine->duration = 3725000;
    engine->time = 4000;
    const wchar_t* text = L"01:02:05 / 00:00:04";
    const InkSpan alone = InkOfText(bar_->font, text);
    ASSERT_GE(alone.first, 0);
    // The smallest bar the main window allows, the first-run width and a full screen.
    for (int width : {480, 672, 1280}) {
        SCOPED_TRACE(testing::Message() << "bar width " << width);
        SetWindowPos(bar_->window, nullptr, 0, 0, width, 36, SWP_NOZORDER);
        SetWindowPos(main_, nullptr, 0, 0, width, 300, SWP_NOZORDER | SWP_NOMOVE);
        bar_->updateTime();
        Canvas screen(width, 36), background(width, 36);
        bar_->paint(screen.dc());
        BitBlt(background.dc(), 0, 0, width, 36, bar_->background.dc, 0, 0, SRCCOPY);
        RECT time = ControlRect(bar_, IDC_TIME_BAR);
        // Above both sliders: the volume bar starts a row higher than the time bar.
        const int strip = std::min(time.top, ControlRect(bar_, IDC_VOLUME_BAR).top);
        int first = -1, last = -1;
        for (int x = 0; x < width; ++x)
            for (int y = 0; y < strip; ++y)
                if (screen.pixel(x, y) != background.pixel(x, y)) {
                    if (first < 0)
                        first = x;
                    last = x;
                    break;
                }
        ASSERT_GE(first, 0) << "no text on the screen";
        EXPECT_GE(first, time.left);
        EXPECT_LT(last, time.right) << "the text runs past the time bar";
        // All of it, and right-aligned: its last ink is the time bar's last column.
        EXPECT_EQ(last - first, alone.last - alone.first) << "part of the text is cut";
        EXPECT_EQ(last, time.right - 1);
    }
}

std::wstring ThrowingTimeText(MediaTime, MediaTime, PlayerType) {
    throw std::bad_alloc();
}

TEST_F(PlayBarTest, AThrowWhileDrawingLeavesTheBarUsable) {
    FakeEngine* engine = useEngine(kStatePlaying);
    engine->duration = 60000;
    engine->time = 1000;
    // The lock is free after each throw; were it not, the next paint or layout would wait for ever.
    auto expectLockFree = [&] {
        ASSERT_EQ(WaitForSingleObject(bar_->drawLock, 0), static_cast<DWORD>(WAIT_OBJECT_0));
        SetEvent(bar_->drawLock);
    };
    TimeTextFormatter = ThrowingTimeText;
    EXPECT_THROW(bar_->updateTime(), std::bad_alloc);
    expectLockFree();
    if (HasFatalFailure())
        return;
    // Through the dialog procedure too: a resize lays out and composes while holding the lock.
    SetWindowPos(bar_->window, nullptr, 0, 0, 820, 36, SWP_NOZORDER);
    TimeTextFormatter = FormatTimeText;
    expectLockFree();
    if (HasFatalFailure())
        return;

    EXPECT_TRUE(RedrawWindow(bar_->window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW));
    engine->time = 30000;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    BarWork work = {bar_, done};
    HANDLE worker = CreateThread(nullptr, 0, UpdateFromWorker, &work, 0, nullptr);
    ASSERT_NE(worker, nullptr);
    EXPECT_EQ(WaitForSingleObject(done, 20000), static_cast<DWORD>(WAIT_OBJECT_0)) << "the engine's update hangs";
    EXPECT_EQ(WaitForSingleObject(worker, 20000), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(worker);
    CloseHandle(done);
    EXPECT_EQ(bar_->position, 30000);
    drain();
}

TEST_F(PlayBarTest, AutoHideWorksAgainAfterAStopInFullScreen) {
    POINT origin = BarOrigin(bar_);
    POINT away = {origin.x + 400, origin.y + 200};
    auto visible = [&] { return (GetWindowLongW(bar_->window, GWL_STYLE) & WS_VISIBLE) != 0; };
    auto tickAt = [&](POINT cursor) {
        SetCursorPos(cursor.x, cursor.y);
        POINT now;
        GetCursorPos(&now);
        ASSERT_EQ(now.x, cursor.x) << "the cursor does not move";
        bar_->autoHideTick();
    };
    useEngine(kStatePlaying);
    AppGlobals.fullScreen = TRUE;
    SetCursorPos(away.x, away.y);
    bar_->noteActivity();
    bar_->lastActivityTick = GetTickCount() - 6000;
    tickAt(away);
    ASSERT_FALSE(visible());

    // A stop while the bar is hidden (end of a file, Next): it stays hidden, and the next move shows it.
    engine_->state = kStateStopped;
    bar_->reset();
    EXPECT_NE(bar_->lastActivityTick, 0u);
    tickAt(away);
    EXPECT_FALSE(visible());
    tickAt({away.x + 6, away.y});
    EXPECT_TRUE(visible());

    // A stop while it shows: five seconds of rest still hide it.
    bar_->reset();
    ASSERT_NE(bar_->lastActivityTick, 0u);
    bar_->lastActivityTick = GetTickCount() - 5200;
    tickAt({away.x + 6, away.y});
    EXPECT_FALSE(visible());

    // Outside full screen a stop switches the auto-hide off.
    AppGlobals.fullScreen = FALSE;
    bar_->reset();
    EXPECT_EQ(bar_->lastActivityTick, 0u);
}

TEST_F(PlayBarTest, LayeredHalfOpaqueWithBlackAsTheColourKey) {
    COLORREF key = 1;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(bar_->window, &key, &alpha, &flags));
    EXPECT_EQ(key, RGB(0, 0, 0));
    EXPECT_EQ(alpha, 128);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY | LWA_ALPHA));
}

// A copy of this program whose skin PNGs for the given resources hold bytes that do not decode,
// loaded as a data file for its resources.
class BrokenSkinModule {
  public:
    explicit BrokenSkinModule(std::initializer_list<int> broken) {
        wchar_t self[MAX_PATH], temp[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"playbar_broken_skin_" + std::to_wstring(GetCurrentProcessId()) + L".exe";
        if (!CopyFileW(self, path_.c_str(), FALSE))
            return;
        HANDLE update = BeginUpdateResourceW(path_.c_str(), FALSE);
        if (!update)
            return;
        static const char kNotAnImage[] = "not a png, only its name";
        for (int id : broken)
            UpdateResourceW(update, L"PNG", MAKEINTRESOURCEW(id), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                            const_cast<char*>(kNotAnImage), sizeof(kNotAnImage));
        if (!EndUpdateResourceW(update, FALSE))
            return;
        module = LoadLibraryExW(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~BrokenSkinModule() {
        if (module)
            FreeLibrary(module);
        DeleteFileW(path_.c_str());
    }
    HMODULE module = nullptr;

  private:
    std::wstring path_;
};

TEST_F(PlayBarTest, SkinPngsThatDoNotDecodeCountAsMissing) {
    // The real skin: the knobs' widths are there from the start, before anything is drawn or dragged.
    EXPECT_EQ(bar_->timeKnobWidth, 12);
    EXPECT_EQ(bar_->volumeKnobWidth, 16);

    BrokenSkinModule broken({IDB_BAR_BKG, IDB_STOP, IDB_TIME_BALL});
    ASSERT_TRUE(broken.module);
    HRSRC found = FindResourceW(broken.module, MAKEINTRESOURCEW(IDB_STOP), L"PNG");
    ASSERT_TRUE(found) << "the broken resource is still there";
    EXPECT_EQ(LoadSkinImage(broken.module, IDB_STOP), nullptr);
    Gdiplus::Image* good = LoadSkinImage(broken.module, IDB_PLAY);
    ASSERT_NE(good, nullptr);
    EXPECT_EQ(good->GetWidth(), 36u);
    delete good;

    bar_->destroyWindows();
    PlayBar::destroyInstance();
    AppGlobals.instance = broken.module;
    bar_ = PlayBar::instance();
    AppGlobals.instance = GetModuleHandleW(nullptr);
    AppGlobals.playBar = bar_;
    ASSERT_NE(bar_, nullptr);
    EXPECT_EQ(bar_->image(IDC_STOP), nullptr);
    EXPECT_EQ(bar_->barImage, nullptr);
    EXPECT_EQ(bar_->timeKnob, nullptr);
    EXPECT_EQ(bar_->timeKnobWidth, 0);
    EXPECT_EQ(bar_->volumeKnobWidth, 16);
    ASSERT_TRUE(bar_->create(AppGlobals.instance, main_));
    SetWindowPos(bar_->window, nullptr, 0, 0, 800, 27, SWP_NOZORDER);
    // No bar image: 27 high. No Stop image: Stop keeps its template place and Play takes its slot.
    EXPECT_EQ(bar_->barHeight(), 27);
    EXPECT_EQ(ControlRect(bar_, IDC_PLAY).left, 1);
    EXPECT_EQ(ControlRect(bar_, IDC_PAUSE).left, 1);
    EXPECT_EQ(ControlRect(bar_, IDC_PREV).left, 38);
    // Without a time knob the whole bar is travel: half of it is played at half the length.
    FakeEngine* engine = useEngine(kStatePlaying);
    engine->duration = 60000;
    bar_->length = 60000;
    RECT time = ControlRect(bar_, IDC_TIME_BAR);
    bar_->onMouseDown(MAKELPARAM((time.left + time.right) / 2, time.top + 2));
    bar_->endDrag();
    ASSERT_FALSE(engine->seeks.empty());
    EXPECT_NEAR(static_cast<double>(engine->seeks.back()), 30000.0, 60000.0 / (time.right - time.left));
}

}  // namespace
