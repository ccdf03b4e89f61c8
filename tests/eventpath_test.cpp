// The program's engine-event path against real libvlc, through the bridge that holds libvlc's raising
// thread until the callback returns (as libvlc 3 does on Windows): the main window, the video area, the
// control bar and the controller made as start-up makes them, the libvlc engine playing, and the
// user-interface thread stopping or replacing the file again and again while events come.
//
// On Windows a callback that calls an engine getter (they take libvlc's input lock) while the
// user-interface thread stops the player (which holds that lock while it waits for the raising thread)
// hangs both threads for good. The race is narrow: here a listener of the test's own, attached ahead of
// the program's handler, tells the user-interface thread the moment a TimeChanged is being raised, so that
// each stop meets the handler in flight. A watchdog turns a hang into a failure: the process cannot be
// unwound from it, so the watchdog reports and ends the process.
#include <gtest/gtest.h>
#include <windows.h>
#include <atomic>
#include <cstdio>
#include <string>
#include <vlc/vlc.h>

#include "AppGlobals.h"
#include "GWindow.h"
#include "MainWnd.h"
#include "PlayBar.h"
#include "PlayLogic.h"
#include "Startup.h"
#include "VlcPlayer.h"
#include "test_util.h"

namespace {

constexpr int kTries = 45;
// No try takes a tenth of this: a try that has not ended by then never will.
constexpr ULONGLONG kHangLimitMs = 20000;

std::wstring MediaFolder() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring bin(path);
    bin.resize(bin.find_last_of(L'\\'));
    return bin + L"\\..\\media\\";
}

// Tells the user-interface thread that a TimeChanged is being raised, once per arming, and holds the
// event until that thread has gone on to its stop (or a little while, if it never does).
struct RaceStarter {
    std::atomic<bool> armed{false};
    HANDLE inFlight = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // manual: the pump's wait must not take it
    HANDLE go = CreateEventW(nullptr, FALSE, FALSE, nullptr);

    static void Callback(const libvlc_event_t*, void* data) {
        auto* self = static_cast<RaceStarter*>(data);
        if (!self->armed.exchange(false))
            return;
        SetEvent(self->inFlight);
        WaitForSingleObject(self->go, 2000);
    }
};

// Ends the process when the user-interface thread makes no progress: a hung test cannot fail otherwise.
class Watchdog {
  public:
    Watchdog() { thread_ = CreateThread(nullptr, 0, Main, this, 0, nullptr); }
    ~Watchdog() {
        SetEvent(quit_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        CloseHandle(quit_);
    }
    void progress(int attempt, const char* action) {
        attempt_ = attempt;
        action_ = action;
        last_ = GetTickCount64();
    }

  private:
    static DWORD WINAPI Main(void* data) {
        auto* self = static_cast<Watchdog*>(data);
        while (WaitForSingleObject(self->quit_, 500) == WAIT_TIMEOUT) {
            if (GetTickCount64() - self->last_ > kHangLimitMs) {
                fprintf(stderr,
                        "eventpath_test: FAILED: the user-interface thread hung in try %d of %d (%s) and has "
                        "made no progress for %llu ms; the process is ended\n",
                        self->attempt_.load(), kTries, self->action_.load(),
                        static_cast<unsigned long long>(kHangLimitMs));
                fflush(stderr);
                TerminateProcess(GetCurrentProcess(), 1);
            }
        }
        return 0;
    }
    HANDLE quit_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread_ = nullptr;
    std::atomic<int> attempt_{0};
    std::atomic<const char*> action_{"start"};
    std::atomic<ULONGLONG> last_{GetTickCount64()};
};

class EventPathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        watchdog.progress(0, "setting up");
        AppInit();
        HINSTANCE instance = GetModuleHandleW(nullptr);
        RegisterWindowClass(instance, L"Player_WndClass", MainWndProc, 0);
        ASSERT_TRUE(InitMainWindow(instance, SW_SHOWNORMAL));
        logic = AppGlobals.playLogic;
    }

    void TearDown() override {
        if (AppGlobals.mainWindow) {
            DestroyPlayerUi();
            DestroyWindow(AppGlobals.mainWindow);
        }
        PumpUntil([] { return false; }, 50);
    }

    bool openAndPlay(const std::wstring& path) {
        logic->stop();
        if (!logic->openPath(path.c_str()))
            return false;
        logic->play();
        logic->getPlaylist().loadFolder(path);
        return true;
    }

    Watchdog watchdog;
    PlayLogic* logic = nullptr;
};

// Stop, replace the file while it plays, and step to the next one, each at the moment a TimeChanged is
// being handled; afterwards the player still plays and the time bar still follows it.
TEST_F(EventPathTest, StoppingOrReplacingTheFileWhileEventsComeNeverHangs) {
    const std::wstring folder = MediaFolder() + L"pair\\";
    const std::wstring files[] = {folder + L"a.flv", folder + L"b.flv"};
    ASSERT_TRUE(openAndPlay(files[0]));
    auto* engine = dynamic_cast<VlcPlayer*>(logic->player);
    ASSERT_NE(engine, nullptr);
    ASSERT_EQ(logic->getPlaylist().count(), 2);

    // The test's listener goes ahead of the program's handler: libvlc calls listeners in attach order.
    RaceStarter starter;
    engine->detachEvents();
    ASSERT_EQ(
        libvlc_event_attach(engine->eventManager, libvlc_MediaPlayerTimeChanged, &RaceStarter::Callback, &starter), 0);
    engine->attachEvents();

    int met = 0;
    for (int attempt = 1; attempt <= kTries; ++attempt) {
        const char* actions[] = {"stop", "open the other file", "next"};
        const char* action = actions[attempt % 3];
        watchdog.progress(attempt, action);
        if (!logic->isPlaying()) {
            logic->play();
            ASSERT_TRUE(PumpUntil([&] { return logic->isPlaying(); }, 5000)) << "try " << attempt;
        }
        ResetEvent(starter.go);
        ResetEvent(starter.inFlight);
        starter.armed = true;
        bool inFlight = PumpUntil([&] { return WaitForSingleObject(starter.inFlight, 0) == WAIT_OBJECT_0; }, 3000,
                                  kWaitStepMs, starter.inFlight);
        met += inFlight;
        SetEvent(starter.go);
        switch (attempt % 3) {
            case 0:
                logic->stop();
                break;
            case 1: {
                std::wstring next = files[attempt % 2];
                ASSERT_TRUE(logic->openPath(next.c_str())) << "try " << attempt;
                logic->play();
                break;
            }
            default:
                logic->navigate(+1);
                break;
        }
        starter.armed = false;
        watchdog.progress(attempt, "between tries");
    }
    printf("eventpath_test: %d tries, %d of them while a TimeChanged was being handled\n", kTries, met);
    EXPECT_GE(met, kTries / 2) << "the stops mostly met an event in flight";

    // Still alive: it plays, and the time bar follows the playback.
    watchdog.progress(kTries, "playing once more");
    logic->stop();
    ASSERT_TRUE(logic->openPath(files[0].c_str()));
    logic->play();
    EXPECT_TRUE(PumpUntil([&] { return logic->getTime() > 300 && AppGlobals.playBar->position > 0; }, 10000))
        << "time " << logic->getTime() << ", bar " << AppGlobals.playBar->position;
    libvlc_event_detach(engine->eventManager, libvlc_MediaPlayerTimeChanged, &RaceStarter::Callback, &starter);
    watchdog.progress(kTries, "tearing down");
}

}  // namespace
