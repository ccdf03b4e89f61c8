// The controller's decisions, with engine doubles that a test scripts (a failing init, a refused file, a
// state), over the real video area and a real folder of files in the real playlist.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <set>
#include <string>
#include <vector>
#include "AppGlobals.h"
#include "PlayBar.h"
#include "PlayLogic.h"
#include "PlayWnd.h"
#include <vlc/vlc.h>

namespace {

struct Script {
    std::set<PlayerType> failInit;
    std::set<std::wstring> refuse;  // file names whose open fails
    bool stuckPlaying = false;      // stop and pause leave the engine playing
};
Script script;

class FakeEngine;
std::vector<FakeEngine*> liveEngines;
std::vector<PlayerType> madeTypes;

std::wstring NameOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Behaves like an engine: open loads (state 1, time 0), play needs something loaded, stop reaches state
// 5 and, for the SWF type, unloads the movie as the SWF library does.
class FakeEngine : public MediaPlayer {
  public:
    explicit FakeEngine(PlayerType kind) : kind(kind) { liveEngines.push_back(this); }
    ~FakeEngine() override { liveEngines.erase(std::find(liveEngines.begin(), liveEngines.end(), this)); }

    PlayerType type() override { return kind; }
    bool init(HWND) override { return !script.failInit.count(kind); }
    void release() override { released = true; }
    bool open(const wchar_t* path) override {
        opens.push_back(NameOf(path));
        if (script.refuse.count(NameOf(path)))
            return false;
        loaded = NameOf(path);
        state = kStateOpening;
        time = 0;
        return true;
    }
    void play() override {
        if (!loaded.empty())
            state = kStatePlaying;
    }
    bool isPlaying() override { return state == kStatePlaying; }
    void pause() override {
        if (!script.stuckPlaying)
            state = kStatePaused;
    }
    void stop() override {
        ++stops;
        if (script.stuckPlaying)
            return;
        state = kStateStopped;
        if (kind == kPlayerSwf)
            loaded.clear();
    }
    MediaTime getTime() override { return time; }
    MediaTime getLength() override { return length; }
    void setTime(MediaTime t) override { seekedTo = t; }
    VolumeLevel getVolume() override { return volume; }
    bool setVolume(VolumeLevel level) override {
        volume = level;
        ++volumeCalls;
        return true;
    }
    PlayerState getState() override { return state; }
    void setWindow(HWND window) override { this->window = window; }
    // With muteLags, the engine reports its mute flag as it was until the test settles it, as libvlc
    // does while its sound output has not yet applied a change.
    bool isMuted() override { return muteLags ? reportedMuted : muted; }
    void toggleMute() override {
        muted = !muted;
        ++muteCalls;
    }
    void setMute(bool on) override {
        muted = on;
        ++muteCalls;
    }

    PlayerType kind;
    bool released = false;
    std::vector<std::wstring> opens;
    std::wstring loaded;
    PlayerState state = kStateNothing;
    MediaTime time = 0;
    MediaTime length = 0;
    MediaTime seekedTo = -1;
    VolumeLevel volume = 100;
    bool muted = false;
    bool muteLags = false;
    bool reportedMuted = false;
    int stops = 0;
    int volumeCalls = 0;
    int muteCalls = 0;
    HWND window = nullptr;
};

MediaPlayer* MakeFakeEngine(PlayerType type) {
    madeTypes.push_back(type);
    if (type != kPlayerVlc && type != kPlayerSwf)
        return nullptr;
    return new FakeEngine(type);
}

// Routes the engine's events to the controller, as the main window does.
LRESULT CALLBACK TestMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ENGINE_EVENT) {
        if (AppGlobals.playLogic)
            AppGlobals.playLogic->onEngineEvent(wParam, lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int PumpEngineEvents() {
    int handled = 0;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        handled += msg.message == WM_ENGINE_EVENT;
        DispatchMessageW(&msg);
    }
    return handled;
}

// What libvlc's thread does when it raises an event: the handler posts it.
void RaiseEvent(libvlc_event_type_t type, MediaTime time = 0) {
    libvlc_event_t event = {};
    event.type = type;
    if (type == libvlc_MediaPlayerTimeChanged)
        event.u.media_player_time_changed.new_time = time;
    handleProc(&event, nullptr);
}

class PlayLogicTest : public ::testing::Test {
  protected:
    void SetUp() override {
        script = Script();
        madeTypes.clear();
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW wc = {sizeof(wc)};
        wc.lpfnWndProc = TestMainProc;
        wc.hInstance = instance;
        wc.lpszClassName = L"PlayLogicTest_Main";
        RegisterClassExW(&wc);
        ZeroMemory(&AppGlobals, sizeof(AppGlobals));
        AppGlobals.instance = instance;
        AppGlobals.mainWindow = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr,
                                                nullptr, instance, nullptr);
        ASSERT_NE(AppGlobals.mainWindow, nullptr);
        logic = new PlayLogic;
        AppGlobals.playLogic = logic;
        AppGlobals.playWnd = PlayWnd::instance();
        ASSERT_TRUE(AppGlobals.playWnd->createHost(instance, AppGlobals.mainWindow));
        MakeEngine = MakeFakeEngine;

        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"playlogic_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                 std::to_wstring(GetTickCount()) + L"\\";
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    }

    void TearDown() override {
        delete logic;
        AppGlobals.playLogic = nullptr;
        if (AppGlobals.playBar) {
            AppGlobals.playBar->destroyWindows();
            AppGlobals.playBar = nullptr;
        }
        PlayBar::destroyInstance();
        if (AppGlobals.playWnd)
            AppGlobals.playWnd->destroyWindows();
        PlayWnd::destroyInstance();
        DestroyWindow(AppGlobals.mainWindow);
        ZeroMemory(&AppGlobals, sizeof(AppGlobals));
        MakeEngine = MakeDefaultEngine;
        for (const std::wstring& name : files)
            DeleteFileW((folder + name).c_str());
        RemoveDirectoryW(folder.c_str());
        EXPECT_TRUE(liveEngines.empty()) << "an engine was not deleted";
    }

    std::wstring makeFile(const std::wstring& name) {
        std::wstring path = folder + name;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, "FLV", 3, &written, nullptr);
        CloseHandle(file);
        files.push_back(name);
        return path;
    }

    // What the open road does, without its message box: open, play, and the folder as the playlist.
    bool openFile(const std::wstring& name) {
        std::wstring path = folder + name;
        logic->stop();
        if (!logic->openPath(path.c_str()))
            return false;
        logic->play();
        logic->getPlaylist().loadFolder(path);
        return true;
    }

    FakeEngine* engine() { return static_cast<FakeEngine*>(logic->player); }

    // The real control bar, for the tests that look at what its time bar shows.
    PlayBar* makeBar() {
        PlayBar* bar = PlayBar::instance();
        AppGlobals.playBar = bar;
        EXPECT_TRUE(bar && bar->create(AppGlobals.instance, AppGlobals.mainWindow));
        return bar;
    }

    std::vector<std::wstring> playlistNames() {
        std::vector<std::wstring> names;
        for (int i = 0; i < logic->getPlaylist().count(); ++i)
            names.push_back(NameOf(logic->getPlaylist().pathAt(i)));
        return names;
    }

    PlayLogic* logic = nullptr;
    std::wstring folder;
    std::vector<std::wstring> files;
};

using Names = std::vector<std::wstring>;

TEST(PlayerTypeForFileTest, PicksTheEngineByTheWholeExtension) {
    const struct {
        const wchar_t* path;
        PlayerType type;
    } cases[] = {
        {L"C:\\m\\movie.swf", kPlayerSwf},
        {L"C:\\m\\movie.SwF", kPlayerSwf},
        {L"C:\\m\\movie.fla", kPlayerSwf},
        {L"C:\\m\\clip.flv", kPlayerVlc},
        {L"C:\\m\\movie.swfx", kPlayerVlc},
        {L"C:\\m\\movie.xswf", kPlayerVlc},
        {L"C:\\m\\movie", kPlayerVlc},
        {L"C:\\m\\movie.", kPlayerVlc},
        {L"C:\\m.swf\\movie", kPlayerVlc},
        {L"C:\\a.swf\\clip.swf", kPlayerSwf},
        {L"", kPlayerVlc},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlayerTypeForFile(c.path), c.type) << c.path;
}

// Playlist files a.flv, b.flv, c.flv; the current one, the refused ones and the step vary.
TEST_F(PlayLogicTest, NavigateWrapsAndDropsItemsThatFailToOpen) {
    const struct {
        const wchar_t* current;
        int step;
        std::set<std::wstring> refused;
        const wchar_t* expectPlaying;  // null: nothing plays
        Names expectList;
    } cases[] = {
        {L"c.flv", +1, {}, L"a.flv", {L"a.flv", L"b.flv", L"c.flv"}},
        {L"a.flv", -1, {}, L"c.flv", {L"a.flv", L"b.flv", L"c.flv"}},
        {L"a.flv", +1, {}, L"b.flv", {L"a.flv", L"b.flv", L"c.flv"}},
        {L"a.flv", +1, {L"b.flv"}, L"c.flv", {L"a.flv", L"c.flv"}},
        {L"c.flv", -1, {L"b.flv"}, L"a.flv", {L"a.flv", L"c.flv"}},
        {L"a.flv", -1, {L"c.flv", L"b.flv"}, L"a.flv", {L"a.flv"}},
        {L"a.flv", +1, {L"b.flv", L"c.flv", L"a.flv"}, nullptr, {}},
    };
    makeFile(L"a.flv");
    makeFile(L"b.flv");
    makeFile(L"c.flv");
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "current " << std::string(c.current, c.current + 5) << " step " << c.step
                                        << " refused " << c.refused.size());
        script.refuse.clear();
        ASSERT_TRUE(openFile(c.current));
        engine()->time = 1000;
        script.refuse = c.refused;
        logic->navigate(c.step);
        EXPECT_EQ(playlistNames(), c.expectList);
        if (c.expectPlaying) {
            EXPECT_EQ(engine()->loaded, c.expectPlaying);
            EXPECT_EQ(logic->getState(), kStatePlaying);
            EXPECT_EQ(NameOf(logic->currentPath), c.expectPlaying);
            EXPECT_EQ(logic->getCurrentTitle(), std::wstring(c.expectPlaying));
            EXPECT_EQ(NameOf(logic->getPlaylist().pathAt(logic->getPlaylist().currentIndex())), c.expectPlaying);
        } else {
            EXPECT_EQ(logic->getPlaylist().count(), 0);
            EXPECT_NE(logic->getState(), kStatePlaying);
        }
    }
}

TEST_F(PlayLogicTest, NavigateDoesNothingWithoutTwoItemsAndACurrentOne) {
    makeFile(L"only.flv");
    ASSERT_TRUE(openFile(L"only.flv"));
    engine()->time = 1000;
    logic->navigate(+1);
    EXPECT_EQ(engine()->stops, 0);
    EXPECT_EQ(logic->getState(), kStatePlaying);

    makeFile(L"other.flv");
    logic->getPlaylist().loadFolder(folder + L"none.flv");  // two items, none current
    ASSERT_EQ(logic->getPlaylist().count(), 2);
    logic->navigate(+1);
    EXPECT_EQ(engine()->stops, 0);
    EXPECT_EQ(engine()->loaded, L"only.flv");
}

// A file that has just started and shows no time yet is not skipped by a second press.
TEST_F(PlayLogicTest, NavigateIgnoresAFileThatHasJustStarted) {
    makeFile(L"a.flv");
    makeFile(L"b.flv");
    ASSERT_TRUE(openFile(L"a.flv"));
    engine()->time = 0;
    logic->navigate(+1);
    EXPECT_EQ(engine()->loaded, L"a.flv");
    EXPECT_EQ(engine()->stops, 0);
}

TEST_F(PlayLogicTest, TheEndOfAnItemMovesOnExceptAfterTheLast) {
    makeFile(L"a.flv");
    makeFile(L"b.flv");
    ASSERT_TRUE(openFile(L"a.flv"));
    engine()->time = 2000;
    RaiseEvent(libvlc_MediaPlayerTimeChanged, 2000);
    PumpEngineEvents();
    engine()->state = kStateEnded;
    logic->timerProc();
    EXPECT_EQ(engine()->loaded, L"b.flv");
    EXPECT_EQ(logic->getState(), kStatePlaying);

    engine()->time = 2000;
    RaiseEvent(libvlc_MediaPlayerTimeChanged, 2000);
    PumpEngineEvents();
    engine()->state = kStateEnded;
    logic->timerProc();
    EXPECT_EQ(logic->getState(), kStateStopped);
    EXPECT_EQ(engine()->loaded, L"b.flv");
    EXPECT_EQ(NameOf(logic->currentPath), L"b.flv");
    EXPECT_EQ(logic->getPlaylist().currentIndex(), 1);
}

// A file that opens but ends, or fails, before it ever reported a playback time (random bytes: libvlc
// reports it playing and ends it at once) is skipped as one that fails to open, in the direction of
// travel. A time still queued from the file before does not count as the broken file's.
TEST_F(PlayLogicTest, AFileThatEndsBeforeItPlayedIsSkippedInTheDirectionOfTravel) {
    const struct {
        const wchar_t* from;
        int step;  // 0: the end of `from` moves on
        PlayerState brokenEnds;
        const wchar_t* expect;
    } cases[] = {
        {L"a.flv", +1, kStateEnded, L"c.flv"},
        {L"c.flv", -1, kStateEnded, L"a.flv"},
        {L"a.flv", 0, kStateEnded, L"c.flv"},
        {L"c.flv", -1, kStateError, L"a.flv"},
    };
    makeFile(L"a.flv");
    makeFile(L"b.flv");
    makeFile(L"c.flv");
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "from " << std::string(c.from, c.from + 5) << " step " << c.step
                                        << " broken file's state " << c.brokenEnds);
        ASSERT_TRUE(openFile(c.from));
        engine()->time = 1000;
        RaiseEvent(libvlc_MediaPlayerTimeChanged, 1000);
        PumpEngineEvents();
        RaiseEvent(libvlc_MediaPlayerTimeChanged, 1260);
        if (c.step) {
            logic->navigate(c.step);
        } else {
            engine()->state = kStateEnded;
            logic->timerProc();
        }
        ASSERT_EQ(engine()->loaded, L"b.flv");
        PumpEngineEvents();
        engine()->state = c.brokenEnds;
        logic->timerProc();
        EXPECT_EQ(engine()->loaded, c.expect);
        EXPECT_EQ(logic->getState(), kStatePlaying);
        EXPECT_EQ(playlistNames(), (Names{L"a.flv", L"c.flv"}));
        EXPECT_EQ(NameOf(logic->getPlaylist().pathAt(logic->getPlaylist().currentIndex())), c.expect);
    }
}

// Opened by the user, such a file failed to open: the caller hears it once, and nothing else starts.
// One that reported a time past 0 before it ended or failed is not a failed open.
TEST_F(PlayLogicTest, AFileTheUserOpenedThatEndsBeforeItPlayedFailedToOpen) {
    const struct {
        PlayerState ends;
        MediaTime reported;  // -1: no time reported
        bool failed;
    } cases[] = {
        {kStateEnded, -1, true},  {kStateError, -1, true},  {kStateEnded, 0, true},
        {kStateEnded, 40, false}, {kStateError, 40, false},
    };
    makeFile(L"a.flv");
    makeFile(L"b.flv");
    makeFile(L"c.flv");
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "state " << c.ends << ", time reported " << c.reported);
        ASSERT_TRUE(openFile(L"b.flv"));
        if (c.reported >= 0) {
            RaiseEvent(libvlc_MediaPlayerTimeChanged, c.reported);
            PumpEngineEvents();
        }
        engine()->opens.clear();
        engine()->state = c.ends;
        logic->timerProc();
        EXPECT_EQ(logic->takeOpenFailure(), c.failed);
        EXPECT_FALSE(logic->takeOpenFailure()) << "heard twice";
        if (c.failed) {
            EXPECT_TRUE(engine()->opens.empty()) << "something else was opened";
            EXPECT_EQ(logic->getState(), kStateStopped);
            EXPECT_EQ(playlistNames(), (Names{L"a.flv", L"b.flv", L"c.flv"}));
            logic->timerProc();
            EXPECT_FALSE(logic->takeOpenFailure());
        }
    }
}

TEST_F(PlayLogicTest, SeekTargets) {
    const struct {
        PlayerState state;
        MediaTime time, length;
        int direction;
        bool moved;
        MediaTime target;
    } cases[] = {
        {kStatePlaying, 3000, 6000, +1, true, 6000},
        {kStatePlaying, 3000, 60000, +1, true, 8000},
        // An unknown length (0 or libvlc's -1): forward stays put instead of jumping to the start.
        {kStatePaused, 3000, 0, +1, false, -1},
        {kStatePlaying, 3000, -1, +1, false, -1},
        {kStatePlaying, 12000, 0, -1, true, 7000},
        {kStatePlaying, 5000, 60000, -1, true, 0},
        {kStatePlaying, 4000, 60000, -1, true, 0},
        {kStatePlaying, 12000, 60000, -1, true, 7000},
        {kStatePlaying, 0, 60000, +1, false, -1},
        {kStateStopped, 3000, 60000, +1, false, -1},
        {kStateOpening, 3000, 60000, -1, false, -1},
    };
    makeFile(L"a.flv");
    ASSERT_TRUE(openFile(L"a.flv"));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "state " << c.state << " time " << c.time << " length " << c.length
                                        << " direction " << c.direction);
        engine()->state = c.state;
        engine()->time = c.time;
        engine()->length = c.length;
        engine()->seekedTo = -1;
        EXPECT_EQ(logic->seek(c.direction), c.moved);
        EXPECT_EQ(engine()->seekedTo, c.target);
    }
}

TEST_F(PlayLogicTest, SeekWithoutAnEngineFails) {
    EXPECT_FALSE(logic->seek(+1));
}

TEST_F(PlayLogicTest, VolumeIsClampedAndAStepWhileMutedStartsFromSilence) {
    const struct {
        bool muted;
        int volume;
        int step;  // 0: setVolume(level) instead
        int level;
        int expect;
    } cases[] = {
        {false, 50, 0, -5, 0}, {false, 50, 0, 150, 100}, {true, 50, 0, 40, 40}, {true, 70, +1, 0, 10},
        {true, 70, -1, 0, 0},  {false, 100, +1, 0, 100}, {false, 0, -1, 0, 0},  {false, 55, +1, 0, 65},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "muted " << c.muted << " volume " << c.volume << " step " << c.step
                                        << " level " << c.level);
        logic->muted = c.muted;
        logic->volume = c.volume;
        if (c.step)
            logic->stepVolume(c.step);
        else
            logic->setVolume(c.level);
        EXPECT_EQ(logic->getVolume(), c.expect);
        EXPECT_FALSE(logic->isMuted());
    }
}

// Mute and volume reach the libvlc engine only while it plays or is paused; the next play applies them.
TEST_F(PlayLogicTest, MuteWhileStoppedWaitsForTheNextPlay) {
    makeFile(L"a.flv");
    ASSERT_TRUE(openFile(L"a.flv"));
    logic->stop();
    int muteCalls = engine()->muteCalls;
    logic->toggleMute();
    logic->setVolume(30);
    logic->toggleMute();
    EXPECT_TRUE(logic->isMuted());
    EXPECT_EQ(engine()->muteCalls, muteCalls);
    EXPECT_FALSE(engine()->muted);
    EXPECT_EQ(engine()->volume, 100);

    logic->play();
    EXPECT_TRUE(engine()->muted);
    logic->toggleMute();
    EXPECT_FALSE(engine()->muted);
    EXPECT_EQ(engine()->volume, 30);
}

// The SWF engine has no mute of its own: muting it means volume 0.
TEST_F(PlayLogicTest, MutingAMovieSetsItsVolumeToZero) {
    makeFile(L"m.swf");
    ASSERT_TRUE(openFile(L"m.swf"));
    ASSERT_EQ(engine()->kind, kPlayerSwf);
    logic->setVolume(40);
    EXPECT_EQ(engine()->volume, 40);
    logic->toggleMute();
    EXPECT_EQ(engine()->volume, 0);
    EXPECT_EQ(engine()->muteCalls, 0);
    logic->toggleMute();
    EXPECT_EQ(engine()->volume, 40);
}

TEST_F(PlayLogicTest, AnEngineWhoseInitFailsIsDropped) {
    makeFile(L"a.flv");
    script.failInit = {kPlayerVlc};
    EXPECT_FALSE(logic->openPath((folder + L"a.flv").c_str()));
    EXPECT_EQ(logic->player, nullptr);
    EXPECT_TRUE(liveEngines.empty());
    EXPECT_EQ(logic->getPlayerType(), kPlayerVlc);
    EXPECT_TRUE(logic->currentPath.empty());
}

// After a file of the other type fails to open, a file of the first type gets a new engine and video
// window of its own type.
TEST_F(PlayLogicTest, AFailedOpenOfTheOtherTypeLeavesANewEngineForTheFirstType) {
    makeFile(L"a.flv");
    makeFile(L"b.swf");
    makeFile(L"c.flv");
    ASSERT_TRUE(openFile(L"a.flv"));

    script.refuse = {L"b.swf"};
    logic->stop();
    EXPECT_FALSE(logic->openPath((folder + L"b.swf").c_str()));
    ASSERT_NE(engine(), nullptr);
    EXPECT_EQ(engine()->kind, kPlayerSwf);
    EXPECT_EQ(logic->getPlayerType(), kPlayerSwf);
    EXPECT_EQ(NameOf(logic->currentPath), L"a.flv");

    ASSERT_TRUE(openFile(L"c.flv"));
    EXPECT_EQ(madeTypes, (std::vector<PlayerType>{kPlayerVlc, kPlayerSwf, kPlayerVlc}));
    EXPECT_EQ(engine()->kind, kPlayerVlc);
    EXPECT_EQ(engine()->loaded, L"c.flv");
    EXPECT_EQ(logic->getPlayerType(), kPlayerVlc);
    EXPECT_TRUE(IsWindow(AppGlobals.playWnd->videoWindow));
    EXPECT_EQ(engine()->window, AppGlobals.playWnd->videoWindow);
}

// An engine that is kept for the next file of its type draws into the video window that is there now.
TEST_F(PlayLogicTest, AKeptEngineIsGivenAReplacedVideoWindow) {
    makeFile(L"a.flv");
    makeFile(L"b.flv");
    ASSERT_TRUE(openFile(L"a.flv"));
    FakeEngine* first = engine();
    AppGlobals.playWnd->destroyVideoWindow();
    ASSERT_TRUE(openFile(L"b.flv"));
    EXPECT_EQ(engine(), first);
    EXPECT_TRUE(IsWindow(AppGlobals.playWnd->videoWindow));
    EXPECT_EQ(first->window, AppGlobals.playWnd->videoWindow);
}

TEST_F(PlayLogicTest, PlayAfterStopReopensAMovie) {
    makeFile(L"m.swf");
    ASSERT_TRUE(openFile(L"m.swf"));
    logic->stop();
    ASSERT_TRUE(engine()->loaded.empty());
    logic->play();
    EXPECT_EQ(logic->getState(), kStatePlaying);
    EXPECT_EQ(engine()->loaded, L"m.swf");
    EXPECT_EQ(engine()->opens, (Names{L"m.swf", L"m.swf"}));
}

TEST_F(PlayLogicTest, PlayWithoutAnEngineReopensTheLastFileOrStops) {
    logic->play();
    EXPECT_EQ(logic->player, nullptr);

    makeFile(L"a.flv");
    ASSERT_TRUE(openFile(L"a.flv"));
    logic->releasePlayer();
    logic->play();
    ASSERT_NE(engine(), nullptr);
    EXPECT_EQ(engine()->loaded, L"a.flv");
    EXPECT_EQ(logic->getState(), kStatePlaying);
}

// An engine that never leaves "playing" must not hold the user-interface thread for good.
TEST_F(PlayLogicTest, PauseAndStopGiveUpOnAnEngineThatKeepsPlaying) {
    makeFile(L"a.flv");
    ASSERT_TRUE(openFile(L"a.flv"));
    script.stuckPlaying = true;
    logic->pause();
    logic->stop();
    EXPECT_EQ(engine()->stops, 1);
    EXPECT_TRUE(logic->isPlaying());
}

// handleProc runs on libvlc's thread, where no engine call may be made: it only posts, and the
// user-interface thread applies the volume when it handles the message.
TEST_F(PlayLogicTest, EventsApplyTheVolumeOnTheUserInterfaceThreadUntilTheTeardownShutsThemOff) {
    makeFile(L"a.flv");
    ASSERT_TRUE(openFile(L"a.flv"));
    PumpEngineEvents();
    logic->volume = 60;
    libvlc_event_t event = {};
    event.type = libvlc_MediaPlayerEndReached;
    handleProc(&event, nullptr);
    EXPECT_EQ(PumpEngineEvents(), 0);
    EXPECT_EQ(engine()->volumeCalls, 0);
    EXPECT_EQ(logic->getState(), kStatePlaying);

    event.type = libvlc_MediaPlayerPlaying;
    handleProc(&event, nullptr);
    EXPECT_EQ(engine()->volumeCalls, 0) << "the engine was called from the event's thread";
    EXPECT_EQ(PumpEngineEvents(), 1);
    EXPECT_EQ(engine()->volume, 60);

    // One on its way when the teardown starts changes nothing either.
    logic->volume = 20;
    handleProc(&event, nullptr);
    logic->closeEvents();
    handleProc(&event, nullptr);
    EXPECT_EQ(PumpEngineEvents(), 1);
    EXPECT_EQ(engine()->volume, 60);
}

// An event still queued when the file, its playback or the engine changes belongs to what came before: a
// time that a.flv posted just before the change must not move the next file's time bar (it would show
// a's time, cut to the new file's length, until the new file's own next event).
TEST_F(PlayLogicTest, AnEventOfWhatCameBeforeAChangeIsDropped) {
    const struct {
        const char* change;
        const wchar_t* next;  // opened after the change
        bool newEngine;
    } cases[] = {
        {"another file in the same engine", L"b.flv", false},
        {"stop, then the same file again", L"a.flv", false},
        {"a new engine", L"b.flv", true},
    };
    makeFile(L"a.flv");
    makeFile(L"b.flv");
    PlayBar* bar = makeBar();
    ASSERT_NE(bar, nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.change);
        ASSERT_TRUE(openFile(L"a.flv"));
        engine()->length = 60000;
        PumpEngineEvents();
        RaiseEvent(libvlc_MediaPlayerTimeChanged, 50000);
        if (c.newEngine)
            logic->releasePlayer();
        ASSERT_TRUE(openFile(c.next));
        engine()->length = 10000;
        EXPECT_EQ(PumpEngineEvents(), 1);
        EXPECT_EQ(bar->position, 0) << "the time bar shows the previous playback's time";

        RaiseEvent(libvlc_MediaPlayerTimeChanged, 2500);
        EXPECT_EQ(PumpEngineEvents(), 1);
        EXPECT_EQ(bar->position, 2500);
        EXPECT_EQ(bar->length, 10000);
    }
}

// libvlc may still report the mute flag as it was just after a change was asked for: the timer step and
// the Playing handling then both see it differ, and must both ask for the wanted state, not toggle.
TEST_F(PlayLogicTest, MuteIsAppliedAsTheWantedStateEvenWhileTheEngineStillReportsTheOldOne) {
    makeFile(L"a.flv");
    ASSERT_TRUE(openFile(L"a.flv"));
    engine()->muteLags = true;
    for (bool wanted : {true, false}) {
        SCOPED_TRACE(wanted ? "muting" : "unmuting");
        engine()->reportedMuted = !wanted;
        logic->toggleMute();
        ASSERT_EQ(logic->isMuted(), wanted);
        logic->timerProc();
        RaiseEvent(libvlc_MediaPlayerPlaying);
        PumpEngineEvents();
        logic->timerProc();
        EXPECT_EQ(engine()->muted, wanted);
    }
}

}  // namespace
