// The SWF control library through its exports, as a host uses it: a plain Win32 window as the parent,
// generated SWF movies, the Flash control registered in the test prefix, and the prefix's real mixer.
#include <windows.h>
#include <mmsystem.h>
#include <oleauto.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "quorra.h"
#include "quorra_mixer.h"
#include "test_util.h"

namespace {

const wchar_t kHostClass[] = L"QuorraTestHost";
// Re-posts itself until its count runs out: every message the library posted before it (directly, or
// relayed once through its dialog) has then been dispatched.
constexpr UINT kFlushMessage = WM_APP + 77;
constexpr WPARAM kFlushRounds = 3;

struct HostMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<HostMessage> g_received;
bool g_flushed = false;

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CONTEXTMENU:
        case WM_LBUTTONDBLCLK:
            g_received.push_back({message, wParam, lParam});
            return 0;
        case kFlushMessage:
            if (wParam > 0) {
                PostMessageW(hwnd, kFlushMessage, wParam - 1, 0);
            } else {
                g_flushed = true;
            }
            return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// How long the library's dialog and the control may take to follow a message posted to them.
constexpr DWORD kControlWaitMs = 5000;

void Flush(HWND host) {
    g_flushed = false;
    PostMessageW(host, kFlushMessage, kFlushRounds, 0);
    ASSERT_TRUE(PumpUntil([] { return g_flushed; }, kControlWaitMs));
}

std::vector<HostMessage> ReceivedOf(UINT message) {
    std::vector<HostMessage> out;
    for (const HostMessage& m : g_received) {
        if (m.message == message) {
            out.push_back(m);
        }
    }
    return out;
}

// An uncompressed SWF: 550 x 400 px stage, the given frame rate (8.8 fixed point) and frame count, a
// background colour and one ShowFrame tag per frame.
std::vector<uint8_t> MakeSwf(uint16_t frames, uint16_t frameRate, uint32_t rgb) {
    std::vector<uint8_t> out = {'F', 'W', 'S', 10, 0, 0, 0, 0};
    // RECT with 15-bit fields: 0, 11000, 0, 8000 twips.
    uint64_t bits = 0;
    unsigned used = 0;
    std::vector<uint8_t> rect;
    auto put = [&](uint32_t value, unsigned n) {
        for (unsigned i = n; i-- > 0;) {
            bits = (bits << 1) | ((value >> i) & 1u);
            if (++used == 8) {
                rect.push_back(static_cast<uint8_t>(bits));
                bits = 0;
                used = 0;
            }
        }
    };
    put(15, 5);
    for (uint32_t v : {0u, 11000u, 0u, 8000u}) {
        put(v, 15);
    }
    if (used) {
        rect.push_back(static_cast<uint8_t>(bits << (8 - used)));
    }
    out.insert(out.end(), rect.begin(), rect.end());
    auto u16 = [&](uint32_t v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    u16(frameRate);
    u16(frames);
    u16(9u << 6 | 3);  // SetBackgroundColor
    out.push_back(static_cast<uint8_t>(rgb >> 16));
    out.push_back(static_cast<uint8_t>(rgb >> 8));
    out.push_back(static_cast<uint8_t>(rgb));
    for (uint16_t i = 0; i < frames; ++i) {
        u16(1u << 6);  // ShowFrame
    }
    u16(0);  // End
    const uint32_t length = static_cast<uint32_t>(out.size());
    for (int i = 0; i < 4; ++i) {
        out[4 + i] = static_cast<uint8_t>(length >> (8 * i));
    }
    return out;
}

std::wstring WriteTempMovie(const wchar_t* name, const std::vector<uint8_t>& bytes) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    std::wstring path = std::wstring(dir) + L"quorra_test_" + std::to_wstring(GetCurrentProcessId()) + L"_" + name;
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) {
        return L"";
    }
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    return path;
}

bool FlashControlRegistered() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}\\InprocServer32", 0, KEY_READ,
                      &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

HWND FlashWindowOf(HWND dialog) {
    return GetWindow(dialog, GW_CHILD);
}

// Whether the control's window comes to fill the dialog's client area (the size the dialog posts it).
bool ControlComesToFillTheDialog(HWND flash, HWND dialog) {
    RECT dialogRc = {};
    GetClientRect(dialog, &dialogRc);
    return PumpUntil(
        [&] {
            RECT rc = {};
            GetClientRect(flash, &rc);
            return rc.right == dialogRc.right && rc.bottom == dialogRc.bottom;
        },
        kControlWaitMs);
}

// What the stand-in control tells its tests, through the exports of the DLL that COM loaded into this
// process. Before the first control was made the DLL is not loaded and nothing is alive.
namespace standin {

void* Export(const char* name) {
    HMODULE module = GetModuleHandleW(L"flash_standin.dll");
    return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
}

LONG LiveControls() {
    auto fn = reinterpret_cast<LONG(WINAPI*)()>(Export("FlashStandInLiveControls"));
    return fn ? fn() : 0;
}

LONG OrphanedWindows() {
    auto fn = reinterpret_cast<LONG(WINAPI*)()>(Export("FlashStandInOrphanedWindows"));
    return fn ? fn() : 0;
}

IDispatch* DispatchOf(HWND control) {
    auto fn = reinterpret_cast<IDispatch*(WINAPI*)(HWND)>(Export("FlashStandInDispatchOf"));
    return fn ? fn(control) : nullptr;
}

// Makes the stand-in misbehave in one way for the scope (see its Fault).
class FaultScope {
  public:
    explicit FaultScope(const wchar_t* fault) { SetEnvironmentVariableW(L"VANTREL_FLASH_FAULT", fault); }
    ~FaultScope() { SetEnvironmentVariableW(L"VANTREL_FLASH_FAULT", nullptr); }
    FaultScope(const FaultScope&) = delete;
    FaultScope& operator=(const FaultScope&) = delete;
};

}  // namespace standin

RECT PlaceIn(HWND child, HWND parent) {
    RECT rc = {};
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

class QuorraTest : public ::testing::Test {
  public:
    void SetUp() override {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kHostClass;
        RegisterClassW(&wc);
        host_ = CreateWindowExW(0, kHostClass, L"host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 640,
                                480, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(host_, nullptr);
        g_received.clear();
    }

    void TearDown() override {
        for (HWND instance : instances_) {
            quorra_release(instance);
        }
        if (host_) {
            DestroyWindow(host_);
        }
        for (const std::wstring& path : files_) {
            DeleteFileW(path.c_str());
        }
        PumpMessages();
    }

    HWND Create() {
        HWND instance = quorra_create(host_);
        if (instance) {
            instances_.push_back(instance);
        }
        return instance;
    }

    void Release(HWND instance) {
        quorra_release(instance);
        instances_.erase(std::remove(instances_.begin(), instances_.end(), instance), instances_.end());
    }

    std::wstring Movie(const wchar_t* name, uint16_t frames, uint16_t frameRate = 24 << 8) {
        std::wstring path = WriteTempMovie(name, MakeSwf(frames, frameRate, 0x336699));
        files_.push_back(path);
        return path;
    }

    // A dialog sized as the player sizes it, with a movie of its own open in it.
    HWND OpenedInstance(uint16_t frames = 50, uint16_t frameRate = 24 << 8) {
        HWND instance = Create();
        if (!instance) {
            return nullptr;
        }
        MoveWindow(instance, 0, 0, 320, 240, TRUE);
        const std::wstring name = L"movie" + std::to_wstring(files_.size()) + L".swf";
        if (!quorra_open(instance, Movie(name.c_str(), frames, frameRate).c_str())) {
            return nullptr;
        }
        return instance;
    }

    const std::wstring& LastMovie() const { return files_.back(); }

    HWND host_ = nullptr;
    std::vector<HWND> instances_;
    std::vector<std::wstring> files_;
};

class QuorraControlTest : public QuorraTest {
  protected:
    void SetUp() override {
        QuorraTest::SetUp();
        ASSERT_TRUE(FlashControlRegistered()) << "the Flash control is not registered in the test prefix";
    }
};

// --- Handles the library does not know --------------------------------------------------------------

TEST_F(QuorraTest, UnknownHandlesDoNothingAndReturnZero) {
    HWND released = Create();
    ASSERT_NE(released, nullptr);
    Release(released);
    for (HWND unknown : {HWND(nullptr), host_, released, HWND(reinterpret_cast<HWND>(0x12345))}) {
        SCOPED_TRACE(reinterpret_cast<uintptr_t>(unknown));
        EXPECT_EQ(quorra_getLength(unknown), 0);
        EXPECT_EQ(quorra_getTime(unknown), 0);
        EXPECT_EQ(quorra_isPlay(unknown), FALSE);
        EXPECT_EQ(quorra_open(unknown, L"C:\\nothing.swf"), FALSE);
        EXPECT_EQ(quorra_pause(unknown), FALSE);
        EXPECT_EQ(quorra_play(unknown), FALSE);
        EXPECT_EQ(quorra_stop(unknown), FALSE);
        quorra_setTime(unknown, 3);
        quorra_release(unknown);
    }
    EXPECT_TRUE(IsWindow(host_));
}

TEST_F(QuorraTest, CreateNeedsAParentWindow) {
    EXPECT_EQ(quorra_create(nullptr), nullptr);
    HWND gone = CreateWindowExW(0, kHostClass, L"gone", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    DestroyWindow(gone);
    EXPECT_EQ(quorra_create(gone), nullptr);
}

// A host that ends every child window the moment it is made: the dialog is gone before quorra_create
// can show it, and nothing of the instance stays behind, the master volume included.
LRESULT CALLBACK EndChildrenProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PARENTNOTIFY && LOWORD(wParam) == WM_CREATE) {
        DestroyWindow(reinterpret_cast<HWND>(lParam));
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(QuorraTest, AHostThatEndsTheDialogAtOnceGetsNoInstance) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = EndChildrenProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuorraTestEndingHost";
    RegisterClassW(&wc);
    HWND ending = CreateWindowExW(0, wc.lpszClassName, L"ending", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    ASSERT_NE(ending, nullptr);
    EXPECT_EQ(quorra_create(ending), nullptr);
    EXPECT_EQ(GetWindow(ending, GW_CHILD), nullptr);
    EXPECT_EQ(quorra_getVolume(), 0) << "a master volume was started for no instance";
    DestroyWindow(ending);
}

TEST_F(QuorraTest, CreateShowsABlackChildDialogFromTheLibraryTemplate) {
    HWND instance = Create();
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(GetParent(instance), host_);
    EXPECT_TRUE(IsWindowVisible(instance));
    const LONG style = GetWindowLongW(instance, GWL_STYLE);
    EXPECT_TRUE(style & WS_CHILD);
    wchar_t cls[32] = {};
    GetClassNameW(instance, cls, 32);
    EXPECT_STREQ(cls, L"#32770");
    RECT rc = {};
    GetClientRect(instance, &rc);
    EXPECT_GT(rc.right, 0);
    EXPECT_GT(rc.bottom, 0);
    EXPECT_EQ(FlashWindowOf(instance), nullptr) << "no control before a movie is opened";

    // The background is black wherever no movie is drawn.
    const Canvas erased(rc.right, rc.bottom, RGB(255, 255, 255));
    EXPECT_NE(SendMessageW(instance, WM_ERASEBKGND, reinterpret_cast<WPARAM>(erased.dc()), 0), 0);
    EXPECT_EQ(erased.pixel(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(erased.pixel(rc.right - 1, rc.bottom - 1), RGB(0, 0, 0));
}

TEST_F(QuorraTest, TheDialogsOwnMouseAndMenuRequestsReachTheHost) {
    HWND instance = Create();
    ASSERT_NE(instance, nullptr);
    SendMessageW(instance, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(12, 34));
    SendMessageW(instance, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(instance), MAKELPARAM(500, 600));
    SendMessageW(instance, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(instance), -1);
    Flush(host_);
    const auto dbl = ReceivedOf(WM_LBUTTONDBLCLK);
    ASSERT_EQ(dbl.size(), 1u);
    EXPECT_EQ(dbl[0].wParam, WPARAM(MK_LBUTTON));
    EXPECT_EQ(dbl[0].lParam, MAKELPARAM(12, 34));
    const auto menus = ReceivedOf(WM_CONTEXTMENU);
    ASSERT_EQ(menus.size(), 2u);
    EXPECT_EQ(menus[0].wParam, reinterpret_cast<WPARAM>(instance));
    EXPECT_EQ(menus[0].lParam, MAKELPARAM(500, 600));
    EXPECT_EQ(menus[1].lParam, MAKELPARAM(-1, -1));
}

TEST_F(QuorraTest, AnInstanceDestroyedByTheHostIsStillReleasable) {
    HWND instance = Create();
    ASSERT_NE(instance, nullptr);
    DestroyWindow(instance);
    EXPECT_EQ(quorra_play(instance), FALSE);
    EXPECT_EQ(quorra_open(instance, L"C:\\nothing.swf"), FALSE);
    Release(instance);
    EXPECT_TRUE(IsWindow(host_));
}

// --- With the Flash control -------------------------------------------------------------------------

TEST_F(QuorraControlTest, OpenPutsTheMovieAndShowsTheControlOverTheDialog) {
    HWND instance = OpenedInstance(50);
    ASSERT_NE(instance, nullptr);
    HWND flash = FlashWindowOf(instance);
    ASSERT_NE(flash, nullptr);
    EXPECT_TRUE(IsWindowVisible(flash));
    // The posted WM_SIZE gives the control the dialog's client area.
    ASSERT_TRUE(ControlComesToFillTheDialog(flash, instance));
    EXPECT_EQ(quorra_getLength(instance), 50);
}

TEST_F(QuorraControlTest, FramesCountFromOneAndSeekingTakesTheLow32Bits) {
    HWND instance = OpenedInstance(50);
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(quorra_pause(instance), TRUE);
    EXPECT_EQ(quorra_isPlay(instance), FALSE);
    quorra_setTime(instance, 0);
    EXPECT_EQ(quorra_getTime(instance), 1) << "frame 0 reads as 1";
    quorra_setTime(instance, (int64_t(1) << 32) | 5);
    EXPECT_EQ(quorra_getTime(instance), 6) << "the high half is dropped";
    quorra_setTime(instance, 49);
    EXPECT_EQ(quorra_getTime(instance), 50) << "the last frame reads as the length";
}

TEST_F(QuorraControlTest, PlayPauseAndIsPlay) {
    HWND instance = OpenedInstance(50);
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(quorra_play(instance), TRUE);
    EXPECT_EQ(quorra_isPlay(instance), TRUE);
    EXPECT_EQ(quorra_pause(instance), TRUE);
    EXPECT_EQ(quorra_isPlay(instance), FALSE);
}

TEST_F(QuorraControlTest, StopEndsTheControlUntilTheNextOpen) {
    HWND instance = OpenedInstance(50);
    ASSERT_NE(instance, nullptr);
    ASSERT_EQ(quorra_play(instance), TRUE);
    EXPECT_EQ(quorra_stop(instance), TRUE);
    EXPECT_EQ(FlashWindowOf(instance), nullptr) << "the control's window is gone";
    EXPECT_EQ(quorra_getTime(instance), 0);
    EXPECT_EQ(quorra_getLength(instance), 0);
    EXPECT_EQ(quorra_play(instance), FALSE);
    EXPECT_EQ(quorra_pause(instance), FALSE);
    EXPECT_EQ(quorra_isPlay(instance), FALSE);
    EXPECT_EQ(quorra_stop(instance), FALSE);

    ASSERT_EQ(quorra_open(instance, Movie(L"second.swf", 20).c_str()), TRUE);
    EXPECT_EQ(quorra_play(instance), TRUE);
    EXPECT_EQ(quorra_isPlay(instance), TRUE);
    EXPECT_EQ(quorra_getLength(instance), 20);
}

TEST_F(QuorraControlTest, ASecondOpenReplacesTheFirstControl) {
    HWND instance = OpenedInstance(50);
    ASSERT_NE(instance, nullptr);
    HWND first = FlashWindowOf(instance);
    ASSERT_EQ(quorra_open(instance, Movie(L"second.swf", 20).c_str()), TRUE);
    EXPECT_FALSE(IsWindow(first));
    int controls = 0;
    for (HWND child = GetWindow(instance, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        ++controls;
    }
    EXPECT_EQ(controls, 1);
    EXPECT_EQ(quorra_getLength(instance), 20);
}

TEST_F(QuorraControlTest, AMissingMovieFileDoesNotCrash) {
    HWND instance = Create();
    ASSERT_NE(instance, nullptr);
    // Whether the control takes a path it cannot load is its business; either way every call returns.
    const BOOL opened = quorra_open(instance, L"C:\\no\\such\\movie.swf");
    quorra_play(instance);
    quorra_getTime(instance);
    quorra_getLength(instance);
    if (!opened) {
        EXPECT_EQ(FlashWindowOf(instance), nullptr);
    }
    EXPECT_EQ(quorra_stop(instance), opened);
}

// While the control's own menu is open its modal loop runs; this timer ends it and records that it
// opened, so a broken subclass fails the test instead of hanging it.
bool g_menuOpened = false;

void CALLBACK EndStrayMenu(HWND, UINT, UINT_PTR, DWORD) {
    GUITHREADINFO info = {sizeof(info)};
    if (GetGUIThreadInfo(GetCurrentThreadId(), &info) && (info.flags & GUI_INMENUMODE)) {
        g_menuOpened = true;
        EndMenu();
    }
}

TEST_F(QuorraControlTest, RightButtonGivesTheHostOneContextMenuAndNeverTheControl) {
    HWND instance = OpenedInstance(50);
    ASSERT_NE(instance, nullptr);
    HWND flash = FlashWindowOf(instance);
    ASSERT_NE(flash, nullptr);
    g_menuOpened = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, EndStrayMenu);
    struct Click {
        int x, y;
    };
    for (Click c : {Click{30, 40}, Click{200, 150}}) {
        g_received.clear();
        SendMessageW(flash, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(c.x, c.y));
        SendMessageW(flash, WM_RBUTTONUP, 0, MAKELPARAM(c.x, c.y));
        Flush(host_);
        const auto menus = ReceivedOf(WM_CONTEXTMENU);
        ASSERT_EQ(menus.size(), 1u);
        EXPECT_EQ(menus[0].lParam, MAKELPARAM(c.x, c.y)) << "client coordinates, not screen coordinates";
        EXPECT_EQ(menus[0].wParam, 0u);
    }
    KillTimer(nullptr, timer);
    EXPECT_FALSE(g_menuOpened) << "the control's own context menu opened";
}

TEST_F(QuorraControlTest, DoubleClickOnTheMovieReachesTheHostOnce) {
    HWND instance = OpenedInstance(50);
    ASSERT_NE(instance, nullptr);
    HWND flash = FlashWindowOf(instance);
    ASSERT_NE(flash, nullptr);
    SendMessageW(flash, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(60, 70));
    Flush(host_);
    const auto dbl = ReceivedOf(WM_LBUTTONDBLCLK);
    ASSERT_EQ(dbl.size(), 1u);
    EXPECT_EQ(dbl[0].wParam, WPARAM(MK_LBUTTON));
    EXPECT_EQ(dbl[0].lParam, MAKELPARAM(60, 70));
}

// Every other message passes through the subclass to the control unchanged, text included: a caption
// set and read back in UTF-16 through the subclassed window must come back as it was sent.
TEST_F(QuorraControlTest, TextMessagesPassThroughTheSubclassUnchanged) {
    HWND instance = OpenedInstance(50);
    ASSERT_NE(instance, nullptr);
    HWND flash = FlashWindowOf(instance);
    ASSERT_NE(flash, nullptr);
    const wchar_t* sent = L"Bl\u00e5 film \u6620\u753b";
    ASSERT_TRUE(SendMessageW(flash, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(sent)));
    wchar_t back[64] = {};
    LRESULT length = SendMessageW(flash, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(back));
    EXPECT_EQ(std::wstring(back), std::wstring(sent));
    EXPECT_EQ(length, static_cast<LRESULT>(wcslen(sent)));
}

TEST_F(QuorraControlTest, AZeroSizedDialogPostsNoResizeAndTheControlFillsItOnceSized) {
    HWND instance = Create();
    ASSERT_NE(instance, nullptr);
    MoveWindow(instance, 0, 0, 0, 0, FALSE);
    PumpMessages();
    ASSERT_EQ(quorra_open(instance, Movie(L"movie.swf", 10).c_str()), TRUE);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, instance, WM_SIZE, WM_SIZE, PM_NOREMOVE)) << "WM_SIZE posted for a 0-size dialog";
    HWND flash = FlashWindowOf(instance);
    ASSERT_NE(flash, nullptr);

    MoveWindow(instance, 0, 0, 300, 200, TRUE);
    ASSERT_TRUE(ControlComesToFillTheDialog(flash, instance));

    // A sized dialog gets its own size posted by open and by stop.
    RECT dialogRc = {};
    GetClientRect(instance, &dialogRc);
    ASSERT_EQ(quorra_stop(instance), TRUE);
    ASSERT_TRUE(PeekMessageW(&msg, instance, WM_SIZE, WM_SIZE, PM_REMOVE));
    EXPECT_EQ(msg.wParam, WPARAM(SIZE_RESTORED));
    EXPECT_EQ(msg.lParam, MAKELPARAM(dialogRc.right, dialogRc.bottom));
}

// The host sizes the dialog; the control follows through the in-place protocol (it takes no size from
// its window being moved), and keeps the new place when a click makes it UI-active, which asks the site
// for its rectangles again.
TEST_F(QuorraControlTest, TheControlFollowsTheDialogsSizeWindowAndPicture) {
    HWND instance = OpenedInstance(50);
    ASSERT_NE(instance, nullptr);
    HWND flash = FlashWindowOf(instance);
    ASSERT_NE(flash, nullptr);
    // The last frame: the control's position strip then runs along its whole bottom edge.
    ASSERT_EQ(quorra_pause(instance), TRUE);
    quorra_setTime(instance, 49);
    struct Size {
        int cx, cy;
    };
    for (Size size : {Size{480, 360}, Size{200, 150}, Size{640, 100}}) {
        SCOPED_TRACE(std::to_string(size.cx) + "x" + std::to_string(size.cy));
        MoveWindow(instance, 0, 0, size.cx, size.cy, TRUE);
        RECT client = {};
        GetClientRect(instance, &client);
        auto fills = [&] {
            const RECT rc = PlaceIn(flash, instance);
            return rc.left == 0 && rc.top == 0 && rc.right == client.right && rc.bottom == client.bottom;
        };
        EXPECT_TRUE(PumpUntil(fills, kControlWaitMs)) << "the control's window does not cover the dialog";
        SendMessageW(flash, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        SendMessageW(flash, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        PumpMessages();
        EXPECT_TRUE(fills()) << "a click put the control back where the site said it was";

        // The control's picture as WM_PRINTCLIENT renders it over a colour the control never paints, so
        // whatever it leaves out shows.
        const Canvas picture(client.right, client.bottom, kUnpainted);
        SendMessageW(flash, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(picture.dc()), PRF_CLIENT);
        EXPECT_EQ(picture.pixel(client.right / 2, client.bottom / 2), RGB(0, 0, 0)) << "the host's black background";
        EXPECT_EQ(picture.pixel(client.right - 1, client.bottom - 1), RGB(255, 255, 255))
            << "the picture does not reach the dialog's corner";
    }
}

// The display settings are on the running control, read back through its own automation interface.
TEST_F(QuorraControlTest, OpenPutsTheDisplayPropertiesOnTheRunningControl) {
    HWND instance = OpenedInstance(50);
    ASSERT_NE(instance, nullptr);
    IDispatch* control = standin::DispatchOf(FlashWindowOf(instance));
    ASSERT_NE(control, nullptr);
    auto get = [&](DISPID id) {
        VARIANT result;
        VariantInit(&result);
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        EXPECT_EQ(control->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
        return result;
    };
    VARIANT background = get(0x7B);
    EXPECT_EQ(V_VT(&background), VT_I4);
    EXPECT_EQ(V_I4(&background), 0) << "the movie's own colour is 0x336699";
    VARIANT scale = get(0x89);
    ASSERT_EQ(V_VT(&scale), VT_BSTR);
    EXPECT_STREQ(V_BSTR(&scale), L"ShowAll");
    VariantClear(&scale);
    VARIANT align = get(0x79);
    EXPECT_EQ(V_VT(&align), VT_I4);
    EXPECT_EQ(V_I4(&align), 0);
    VARIANT menu = get(0x87);
    EXPECT_EQ(V_VT(&menu), VT_BOOL);
    EXPECT_EQ(V_BOOL(&menu), VARIANT_FALSE);
    VARIANT movie = get(0x66);
    ASSERT_EQ(V_VT(&movie), VT_BSTR);
    EXPECT_EQ(std::wstring(V_BSTR(&movie)), LastMovie());
    VariantClear(&movie);
    control->Release();
}

// A control that is not there, refuses the movie, or fails its in-place activation: the open fails and
// the instance is the black dialog it was, still passing its clicks to the host and still released by
// the usual rule for the master volume.
TEST_F(QuorraTest, AControlThatCannotBeUsedLeavesTheBlackDialogWorking) {
    TestMixer mixer;
    for (const wchar_t* fault : {L"missing", L"movie", L"activate"}) {
        SCOPED_TRACE(std::string(fault, fault + wcslen(fault)));
        HWND instance = Create();
        ASSERT_NE(instance, nullptr);
        MoveWindow(instance, 0, 0, 320, 240, TRUE);
        {
            standin::FaultScope scope(fault);
            EXPECT_EQ(quorra_open(instance, Movie(L"movie.swf", 50).c_str()), FALSE);
        }
        EXPECT_EQ(FlashWindowOf(instance), nullptr) << "a window of the failed control is left on the dialog";
        EXPECT_EQ(standin::LiveControls(), 0) << "the failed control object lives on";
        EXPECT_EQ(quorra_getLength(instance), 0);
        EXPECT_EQ(quorra_getTime(instance), 0);
        EXPECT_EQ(quorra_play(instance), FALSE);
        EXPECT_EQ(quorra_stop(instance), FALSE);

        g_received.clear();
        SendMessageW(instance, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(12, 34));
        SendMessageW(instance, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(instance), MAKELPARAM(50, 60));
        Flush(host_);
        EXPECT_EQ(ReceivedOf(WM_LBUTTONDBLCLK).size(), 1u);
        EXPECT_EQ(ReceivedOf(WM_CONTEXTMENU).size(), 1u);

        quorra_setVolume(0);
        Release(instance);
        EXPECT_EQ(quorra_getVolume(), 0) << "no master volume after a release";
        if (mixer.Found()) {
            EXPECT_EQ(mixer.Read(), 65535u) << "release sets the master volume to full";
        }
    }
    // With a working control the same kind of instance opens.
    HWND instance = OpenedInstance(20);
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(quorra_getLength(instance), 20);
}

// However a movie ends, its control object goes (and with it every reference it held on its site),
// and a window the control left behind is destroyed before the control is let go.
TEST_F(QuorraControlTest, TheControlIsFreedWhenTheMovieEndsAnyWay) {
    struct Ending {
        const char* what;
        std::function<void(QuorraControlTest&, HWND)> end;
    };
    const Ending endings[] = {
        {"stop", [](QuorraControlTest&, HWND instance) { EXPECT_EQ(quorra_stop(instance), TRUE); }},
        {"release", [](QuorraControlTest& t, HWND instance) { t.Release(instance); }},
        {"second open, then stop",
         [](QuorraControlTest& t, HWND instance) {
             ASSERT_EQ(quorra_open(instance, t.Movie(L"second.swf", 20).c_str()), TRUE);
             EXPECT_EQ(standin::LiveControls(), 1) << "the first movie's control lives on";
             EXPECT_EQ(quorra_stop(instance), TRUE);
         }},
        {"the host destroys the dialog",
         [](QuorraControlTest& t, HWND instance) {
             DestroyWindow(instance);
             EXPECT_EQ(standin::LiveControls(), 0);
             t.Release(instance);
         }},
    };
    for (const wchar_t* fault : {L"", L"keepwindow"}) {
        standin::FaultScope scope(*fault ? fault : nullptr);
        for (const Ending& ending : endings) {
            SCOPED_TRACE(std::string(ending.what) + (*fault ? ", a control that keeps its window" : ""));
            HWND instance = OpenedInstance(50);
            ASSERT_NE(instance, nullptr);
            ASSERT_EQ(standin::LiveControls(), 1);
            ending.end(*this, instance);
            EXPECT_EQ(standin::LiveControls(), 0);
            EXPECT_EQ(standin::OrphanedWindows(), 0) << "the control's window outlived the control";
            if (IsWindow(instance)) {
                EXPECT_EQ(FlashWindowOf(instance), nullptr);
            }
        }
    }
}

TEST_F(QuorraControlTest, TwoInstancesWorkSideBySide) {
    HWND a = OpenedInstance(30);
    HWND b = OpenedInstance(40);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_NE(a, b);
    EXPECT_EQ(quorra_getLength(a), 30);
    EXPECT_EQ(quorra_getLength(b), 40);
    Release(a);
    EXPECT_EQ(quorra_getLength(a), 0);
    EXPECT_EQ(quorra_play(b), TRUE);
    EXPECT_EQ(quorra_getLength(b), 40);
}

}  // namespace
