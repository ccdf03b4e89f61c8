// The stored window placement and the single-instance hand-over, on the real per-user registry keys of
// the test prefix (removed before and after every test) and real windows under the null driver.
#include <windows.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "AppGlobals.h"
#include "Settings.h"
#include "UniqueHandle.h"

namespace {

const wchar_t kSettingsPath[] = L"Software\\Tarnwell\\Vantrel";
const wchar_t kHandOverPath[] = L"Software\\Vantrel";

UniqueHkey OpenExisting(const wchar_t* path) {
    UniqueHkey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ | KEY_WRITE, key.put()) != ERROR_SUCCESS)
        key.reset();
    return key;
}

struct StoredValue {
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> data;
};

StoredValue Query(const wchar_t* path, const wchar_t* name) {
    StoredValue value;
    UniqueHkey key = OpenExisting(path);
    DWORD size = 0;
    if (!key || RegQueryValueExW(key.get(), name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return value;
    value.data.resize(size);
    value.present = RegQueryValueExW(key.get(), name, nullptr, nullptr, value.data.data(), &size) == ERROR_SUCCESS;
    return value;
}

void Store(const wchar_t* path, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    UniqueHkey key;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr),
        ERROR_SUCCESS);
    // Followed by a non-NUL byte pair, or the system would count a NUL behind a string value in.
    std::vector<BYTE> bytes(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
    bytes.insert(bytes.end(), {'?', '?'});
    ASSERT_EQ(RegSetValueExW(key.get(), name, 0, type, bytes.data(), size), ERROR_SUCCESS);
}

WINDOWPLACEMENT SamplePlacement() {
    WINDOWPLACEMENT placement = {};
    placement.length = 7;  // never checked
    placement.flags = 2;
    placement.showCmd = SW_SHOWMAXIMIZED;
    placement.ptMinPosition = {-32000, -32000};
    placement.ptMaxPosition = {-8, -8};
    placement.rcNormalPosition = {10, 20, 682, 476};
    return placement;
}

class Registry : public ::testing::Test {
  protected:
    void SetUp() override {
        Clean();
        AppGlobals = AppGlobalsRecord{};
    }
    void TearDown() override { Clean(); }
    static void Clean() {
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsPath);
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Tarnwell");
        RegDeleteTreeW(HKEY_CURRENT_USER, kHandOverPath);
    }
};

TEST_F(Registry, FirstStartCreatesTheEmptyKeysAndFindsNoInstance) {
    ASSERT_FALSE(OpenExisting(kSettingsPath));
    EXPECT_TRUE(LoadWindowPlacement());
    UniqueHkey settings = OpenExisting(kSettingsPath);
    ASSERT_TRUE(settings);
    DWORD values = 99;
    ASSERT_EQ(RegQueryInfoKeyW(settings.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 0u);
    EXPECT_FALSE(AppGlobals.hasSavedPlacement);

    EXPECT_EQ(HandOverToRunningInstance(L"Vantrel", L"D:\\a.flv"), 0);
    EXPECT_TRUE(OpenExisting(kHandOverPath));
    EXPECT_FALSE(Query(kHandOverPath, L"MainFrame_NewFile").present);
    EXPECT_EQ(TakeHandedOverFile(L"Vantrel"), L"");
}

TEST_F(Registry, OnlyA44ByteBinaryPlacementIsLoaded) {
    const WINDOWPLACEMENT sample = SamplePlacement();
    BYTE bytes[64] = {};
    memcpy(bytes, &sample, sizeof(sample));
    struct Case {
        DWORD type;
        DWORD size;
        bool loaded;
    } cases[] = {
        {REG_BINARY, 44, true}, {REG_BINARY, 43, false}, {REG_BINARY, 45, false},
        {REG_SZ, 44, false},    {REG_DWORD, 4, false},
    };
    for (const Case& c : cases) {
        Clean();
        AppGlobals = AppGlobalsRecord{};
        UniqueHkey key;
        ASSERT_EQ(
            RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsPath, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key.get(), "MAIN_WP", 0, c.type, bytes, c.size), ERROR_SUCCESS);
        key.reset();
        EXPECT_TRUE(LoadWindowPlacement());
        EXPECT_EQ(!!AppGlobals.hasSavedPlacement, c.loaded) << c.type << "/" << c.size;
        if (c.loaded)
            EXPECT_EQ(memcmp(&AppGlobals.savedPlacement, &sample, sizeof(sample)), 0);
        else
            EXPECT_EQ(AppGlobals.savedPlacement.showCmd, 0u);
    }
    WINDOWPLACEMENT scratch;
    EXPECT_EQ(ReadPlacementValue(nullptr, &scratch), 0u);
}

TEST_F(Registry, ExitSavesOnlyACapturedPlacement) {
    Store(kSettingsPath, L"MAIN_WP", REG_BINARY, "left from the last run, 44 bytes long.......", 44);
    const StoredValue before = Query(kSettingsPath, L"MAIN_WP");
    EXPECT_TRUE(SaveWindowPlacement());
    const StoredValue after = Query(kSettingsPath, L"MAIN_WP");
    EXPECT_EQ(after.data, before.data);

    AppGlobals.hasSavedPlacement = TRUE;
    AppGlobals.savedPlacement = SamplePlacement();
    EXPECT_TRUE(SaveWindowPlacement());
    const StoredValue saved = Query(kSettingsPath, L"MAIN_WP");
    ASSERT_TRUE(saved.present);
    EXPECT_EQ(saved.type, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(saved.data.size(), 44u);
    EXPECT_EQ(memcmp(saved.data.data(), &AppGlobals.savedPlacement, 44), 0);

    AppGlobals = AppGlobalsRecord{};
    EXPECT_TRUE(LoadWindowPlacement());
    EXPECT_TRUE(AppGlobals.hasSavedPlacement);
    EXPECT_EQ(AppGlobals.savedPlacement.rcNormalPosition.right, 682);
}

// A window of this test with a procedure of its choice, on its own thread. `pump` false: the thread makes
// the window and then stops handling messages, as a hung instance does.
class OtherInstance {
  public:
    OtherInstance(const wchar_t* className, WNDPROC procedure, bool pump) {
        UniqueEvent ready(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        release_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        thread_ = std::thread([this, className, procedure, pump, &ready] {
            try {
                WNDCLASSW wc = {};
                wc.lpfnWndProc = procedure;
                wc.hInstance = GetModuleHandleW(nullptr);
                wc.lpszClassName = className;
                RegisterClassW(&wc);
                window_ = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                                          wc.hInstance, nullptr);
                threadId_ = GetCurrentThreadId();
                SetEvent(ready.get());
                if (pump) {
                    MSG msg;
                    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
                        DispatchMessageW(&msg);
                } else {
                    WaitForSingleObject(release_.get(), INFINITE);
                }
                DestroyWindow(window_);
            } catch (...) {
            }
        });
        WaitForSingleObject(ready.get(), INFINITE);
    }
    ~OtherInstance() {
        SetEvent(release_.get());
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    HWND window() const { return window_; }

  private:
    UniqueEvent release_;
    std::thread thread_;
    HWND window_ = nullptr;
    DWORD threadId_ = 0;
};

std::atomic<int> newFileMessages{0};
// Written on the receiver's thread before newFileMessages rises.
StoredValue valueAtDelivery;
std::wstring receivedPath;

LRESULT CALLBACK PlayerLikeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == WM_MAINFRAME_PROBE)
            return kMainFrameProbeAnswer;
        if (message == WM_MAINFRAME_NEWFILE) {
            valueAtDelivery = Query(kHandOverPath, L"MainFrame_NewFile");
            receivedPath = TakeHandedOverFile(L"Vantrel");
            ++newFileMessages;
            return receivedPath.empty() ? 0 : kNewFileTakenAnswer;
        }
    } catch (...) {
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(Registry, HandsTheFileToAWindowThatAnswersTheProbe) {
    OtherInstance player(L"VantrelTestPlayer", PlayerLikeProc, true);
    newFileMessages = 0;
    // A path left behind by an earlier run is no longer anyone's to open.
    Store(kHandOverPath, L"MainFrame_NewFile", REG_SZ, L"D:\\old.flv", 20);
    EXPECT_EQ(PublishMainFrameHandle(L"Vantrel", player.window()), 1);
    EXPECT_FALSE(Query(kHandOverPath, L"MainFrame_NewFile").present);
    const StoredValue handle = Query(kHandOverPath, L"MainFrame_Handle");
    ASSERT_TRUE(handle.present);
    EXPECT_EQ(handle.type, static_cast<DWORD>(REG_DWORD));
    ASSERT_EQ(handle.data.size(), 4u);
    DWORD stored;
    memcpy(&stored, handle.data.data(), 4);
    EXPECT_EQ(stored, static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(player.window())));

    // Handed over means delivered: the receiver has handled the message when the call returns.
    EXPECT_EQ(HandOverToRunningInstance(L"Vantrel", L"D:\\a.flv"), 1);
    ASSERT_EQ(newFileMessages.load(), 1);
    EXPECT_EQ(valueAtDelivery.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(valueAtDelivery.data.size(), 16u) << "8 code units, no terminator";
    EXPECT_EQ(receivedPath, L"D:\\a.flv");
    EXPECT_FALSE(Query(kHandOverPath, L"MainFrame_NewFile").present) << "taken means gone";
    EXPECT_EQ(TakeHandedOverFile(L"Vantrel"), L"");

    // The receiver takes at most 260 units; anything longer is never written and stays with the sender.
    const std::wstring longest = L"D:\\" + std::wstring(256, L'x');
    EXPECT_EQ(HandOverToRunningInstance(L"Vantrel", (longest + L"y").c_str()), 0);
    EXPECT_EQ(HandOverToRunningInstance(L"Vantrel", L""), 0);
    EXPECT_EQ(newFileMessages.load(), 1);
    EXPECT_EQ(HandOverToRunningInstance(L"Vantrel", longest.c_str()), 1);
    EXPECT_EQ(receivedPath, longest);
}

// The receiver's window goes between the probe and the file, or it answers the file with anything but
// its taken answer (a player whose close has gone ahead answers 0): the sender keeps the file, and the
// value it wrote is withdrawn for whoever might still read it.
LRESULT CALLBACK VanishingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MAINFRAME_PROBE) {
        ReplyMessage(kMainFrameProbeAnswer);  // the sender goes on with a window that is gone
        DestroyWindow(window);
        return kMainFrameProbeAnswer;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK RefusingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MAINFRAME_PROBE)
        return kMainFrameProbeAnswer;
    if (message == WM_MAINFRAME_NEWFILE) {
        ++newFileMessages;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(Registry, AFileNobodyTookStaysWithTheSender) {
    newFileMessages = 0;
    {
        OtherInstance vanishing(L"VantrelTestVanishing", VanishingProc, true);
        PublishMainFrameHandle(L"Vantrel", vanishing.window());
        EXPECT_EQ(HandOverToRunningInstance(L"Vantrel", L"D:\\a.flv"), 0);
        EXPECT_FALSE(Query(kHandOverPath, L"MainFrame_NewFile").present);
    }
    OtherInstance refusing(L"VantrelTestRefusing", RefusingProc, true);
    PublishMainFrameHandle(L"Vantrel", refusing.window());
    EXPECT_EQ(HandOverToRunningInstance(L"Vantrel", L"D:\\a.flv"), 0);
    EXPECT_EQ(newFileMessages.load(), 1);
    EXPECT_FALSE(Query(kHandOverPath, L"MainFrame_NewFile").present);
}

// Player main windows of this test: each answers the probe only while its user data is set, as a player
// stops answering once its close has gone ahead.
LRESULT CALLBACK MainWindowLikeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MAINFRAME_PROBE)
        return GetWindowLongPtrW(window, GWLP_USERDATA) ? kMainFrameProbeAnswer : 0;
    if (message == WM_MAINFRAME_NEWFILE)
        return PlayerLikeProc(window, message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(Registry, WithoutAPublishedPlayerTheFileGoesToAnotherPlayerWindow) {
    OtherInstance closing(L"Player_WndClass", MainWindowLikeProc, true);
    OtherInstance running(L"Player_WndClass", MainWindowLikeProc, true);
    SetWindowLongPtrW(running.window(), GWLP_USERDATA, 1);
    newFileMessages = 0;

    EXPECT_EQ(HandOverToRunningInstance(L"Vantrel", L"D:\\a.flv"), 1) << "nothing published";
    EXPECT_EQ(receivedPath, L"D:\\a.flv");
    HWND gone = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(gone);
    DestroyWindow(gone);
    PublishMainFrameHandle(L"Vantrel", gone);
    EXPECT_EQ(HandOverToRunningInstance(L"Vantrel", L"D:\\b.flv"), 1) << "the published window is gone";
    EXPECT_EQ(receivedPath, L"D:\\b.flv");
    PublishMainFrameHandle(L"Vantrel", closing.window());
    EXPECT_EQ(HandOverToRunningInstance(L"Vantrel", L"D:\\c.flv"), 1) << "the published player is closing";
    EXPECT_EQ(receivedPath, L"D:\\c.flv");
    EXPECT_EQ(newFileMessages.load(), 3);

    SetWindowLongPtrW(running.window(), GWLP_USERDATA, 0);
    EXPECT_EQ(HandOverToRunningInstance(L"Vantrel", L"D:\\d.flv"), 0) << "no player answers";
    EXPECT_EQ(newFileMessages.load(), 3);
    EXPECT_FALSE(Query(kHandOverPath, L"MainFrame_NewFile").present);
}

// A player that waits for the lock to publish its window still answers what is sent to it: the start that
// holds the lock may be asking that very window, and would otherwise wait for it until it gave up.
TEST_F(Registry, APlayerWaitingToPublishAnswersWhatIsSentToIt) {
    HWND window = CreateWindowExW(0, L"STATIC", L"player", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    UniqueEvent holding(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<bool> answered{false};
    std::thread start([&] {
        UniqueEvent lock(CreateMutexW(nullptr, FALSE, L"Vantrel.HandOver"));
        WaitForSingleObject(lock.get(), INFINITE);
        SetEvent(holding.get());
        DWORD_PTR length = 0;
        answered = SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length) && length == 6;
        ReleaseMutex(lock.get());
    });
    WaitForSingleObject(holding.get(), INFINITE);
    EXPECT_EQ(PublishMainFrameHandle(L"Vantrel", window), 1);
    start.join();
    EXPECT_TRUE(answered);
    DestroyWindow(window);
}

TEST_F(Registry, AClosingPlayerTakesBackOnlyItsOwnHandle) {
    HWND mine = reinterpret_cast<HWND>(0x10040);
    HWND other = reinterpret_cast<HWND>(0x10050);
    PublishMainFrameHandle(L"Vantrel", other);
    WithdrawMainFrameHandle(L"Vantrel", mine);
    UniqueHkey key = OpenExisting(kHandOverPath);
    EXPECT_EQ(ReadMainFrameHandle(key.get()), other) << "a later player's handle stays";
    PublishMainFrameHandle(L"Vantrel", mine);
    WithdrawMainFrameHandle(L"Vantrel", mine);
    EXPECT_FALSE(Query(kHandOverPath, L"MainFrame_Handle").present);
}

TEST_F(Registry, NoHandOverWithoutAPlayerAnswering) {
    // A window that answers the probe with 0, as any other program's does.
    OtherInstance other(L"VantrelTestOther", DefWindowProcW, true);
    PublishMainFrameHandle(L"Vantrel", other.window());
    EXPECT_EQ(HandOverToRunningInstance(L"Vantrel", L"D:\\a.flv"), 0);

    // A handle of a window that no longer exists.
    HWND gone = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(gone);
    DestroyWindow(gone);
    PublishMainFrameHandle(L"Vantrel", gone);
    EXPECT_EQ(HandOverToRunningInstance(L"Vantrel", L"D:\\a.flv"), 0);

    // Handles stored in any other form than a 32-bit REG_DWORD are no handle.
    const ULONGLONG wide = reinterpret_cast<ULONG_PTR>(other.window());
    struct Case {
        DWORD type;
        const void* data;
        DWORD size;
    } cases[] = {{REG_QWORD, &wide, 8}, {REG_BINARY, &wide, 8}, {REG_SZ, L"65580", 12}};
    for (const Case& c : cases) {
        Store(kHandOverPath, L"MainFrame_Handle", c.type, c.data, c.size);
        UniqueHkey key = OpenExisting(kHandOverPath);
        EXPECT_EQ(ReadMainFrameHandle(key.get()), nullptr) << c.type;
    }
    EXPECT_EQ(ReadMainFrameHandle(nullptr), nullptr);
    EXPECT_FALSE(Query(kHandOverPath, L"MainFrame_NewFile").present);
}

TEST_F(Registry, AHungInstanceCountsAsNone) {
    OtherInstance hung(L"VantrelTestHung", DefWindowProcW, false);
    PublishMainFrameHandle(L"Vantrel", hung.window());
    EXPECT_EQ(HandOverToRunningInstance(L"Vantrel", L"D:\\a.flv"), 0);
    EXPECT_FALSE(Query(kHandOverPath, L"MainFrame_NewFile").present);
}

TEST_F(Registry, TakenFileStaysWithinTheBuffer) {
    const std::wstring full(260, L'x');
    const std::wstring over(261, L'y');
    struct Case {
        DWORD type;
        std::wstring stored;
        std::wstring taken;
    } cases[] = {
        {REG_SZ, L"D:\\b.flv", L"D:\\b.flv"},
        {REG_SZ, full, full},  // 520 bytes, no room for a terminator: all 260 units, nothing beyond
        {REG_SZ, over, L""},   // 522 bytes: refused
        {REG_BINARY, L"D:\\b.flv", L""},
        {REG_SZ, L"", L""},
    };
    for (const Case& c : cases) {
        Store(kHandOverPath, L"MainFrame_NewFile", c.type, c.stored.data(),
              static_cast<DWORD>(c.stored.size() * sizeof(wchar_t)));
        EXPECT_EQ(TakeHandedOverFile(L"Vantrel"), c.taken) << c.stored.size();
    }
    UniqueHkey key = OpenExisting(kHandOverPath);
    wchar_t buffer[260];
    EXPECT_FALSE(ReadMainFrameNewFile(nullptr, buffer));
    EXPECT_FALSE(ReadMainFrameNewFile(key.get(), nullptr));
    EXPECT_EQ(OpenOrCreateKey(HKEY_CURRENT_USER, nullptr), nullptr);
    EXPECT_EQ(OpenOrCreateReadWriteKey(HKEY_CURRENT_USER, nullptr), nullptr);
    EXPECT_STREQ(GetProductKeyName(), L"Vantrel");
}

}  // namespace
