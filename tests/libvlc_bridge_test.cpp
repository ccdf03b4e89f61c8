// libvlc as the VLC engine will use it: the real library behind the Wine bridge, the engine's options,
// events on libvlc's thread, pictures in a real window under the virtual display, sound into the test
// sound server, Windows paths with non-ASCII names, and bad files.
#include <windows.h>

#include <gtest/gtest.h>
#include <vlc/libvlc_version.h>
#include <vlc/vlc.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "test_util.h"

namespace {

const UINT kPostedFromCallback = WM_APP + 7;

std::wstring MediaDir() {
    wchar_t exe[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir(exe, n);
    dir.resize(dir.find_last_of(L'\\'));  // bin
    dir.resize(dir.find_last_of(L'\\'));  // the build tree
    return dir + L"\\media";
}

std::string Utf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    return out;
}

std::string MediaPath(const std::wstring& name) {
    return Utf8(MediaDir() + L"\\" + name);
}

// How long libvlc may take to start, pause, seek or report through the bridge. The waits pump the test
// thread's messages, so that what callbacks post arrives.
constexpr DWORD kVlcWaitMs = 15000;

struct EventRecord {
    libvlc_event_type_t type;
    DWORD thread;
    void* object;
    libvlc_time_t time;
};

// Collects what the callbacks saw; the callbacks run on the bridge's dispatcher thread.
class Recorder {
  public:
    explicit Recorder(HWND post_to = nullptr) : post_to_(post_to) {}

    static void Callback(const libvlc_event_t* event, void* data) {
        auto* self = static_cast<Recorder*>(data);
        EventRecord record{
            event->type, GetCurrentThreadId(), event->p_obj,
            event->type == libvlc_MediaPlayerTimeChanged ? event->u.media_player_time_changed.new_time : 0};
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->events_.push_back(record);
        }
        if (self->post_to_ && PostMessageW(self->post_to_, kPostedFromCallback, 0, 0))
            ++self->posted_;
    }

    std::vector<EventRecord> Events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    int Count(libvlc_event_type_t type) {
        int n = 0;
        for (const auto& e : Events())
            n += e.type == type;
        return n;
    }
    int Posted() const { return posted_; }

  private:
    HWND post_to_;
    std::mutex mutex_;
    std::vector<EventRecord> events_;
    std::atomic<int> posted_{0};
};

const libvlc_event_type_t kEngineEvents[] = {libvlc_MediaPlayerTimeChanged, libvlc_MediaPlayerPlaying,
                                             libvlc_MediaPlayerPaused, libvlc_MediaPlayerStopped,
                                             libvlc_MediaPlayerEndReached};

// An instance made as the engine makes it, and a player.
class Vlc {
  public:
    Vlc() {
        const char* const options[] = {"--no-video-title-show", "--no-keyboard-events", "--no-mouse-events"};
        instance = libvlc_new(3, options);
        if (instance)
            player = libvlc_media_player_new(instance);
        if (player) {
            libvlc_video_set_key_input(player, 0);
            libvlc_video_set_mouse_input(player, 0);
        }
    }
    ~Vlc() {
        if (player)
            libvlc_media_player_release(player);
        if (media)
            libvlc_media_release(media);
        if (instance)
            libvlc_release(instance);
    }
    Vlc(const Vlc&) = delete;
    Vlc& operator=(const Vlc&) = delete;

    bool Open(const std::string& utf8_path) {
        if (media)
            libvlc_media_release(media);
        media = libvlc_media_new_path(instance, utf8_path.c_str());
        if (!media)
            return false;
        libvlc_media_player_set_media(player, media);
        return true;
    }
    void Attach(Recorder* recorder) {
        libvlc_event_manager_t* events = libvlc_media_player_event_manager(player);
        for (libvlc_event_type_t type : kEngineEvents)
            ASSERT_EQ(libvlc_event_attach(events, type, &Recorder::Callback, recorder), 0);
    }
    libvlc_state_t State() { return libvlc_media_player_get_state(player); }

    libvlc_instance_t* instance = nullptr;
    libvlc_media_player_t* player = nullptr;
    libvlc_media_t* media = nullptr;
};

// A message-only window that counts what callbacks post to it.
class PostTarget {
  public:
    PostTarget() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VantrelBridgeTestPostTarget";
        RegisterClassW(&wc);
        hwnd = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~PostTarget() { DestroyWindow(hwnd); }
    HWND hwnd;
    int received = 0;

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == kPostedFromCallback) {
            if (auto* self = reinterpret_cast<PostTarget*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)))
                ++self->received;
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
};

// A top-level window with a child that takes the video, as the player's video area does. White
// background, so that black bars are the bridge's.
class VideoWindow {
  public:
    VideoWindow(int client_w, int client_h) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = L"VantrelBridgeTestVideo";
        RegisterClassW(&wc);
        RECT rc = {0, 0, client_w + 20, client_h + 20};
        AdjustWindowRect(&rc, WS_POPUP, FALSE);
        frame = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"bridge test", WS_POPUP | WS_VISIBLE, 40, 40,
                                rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr, wc.hInstance, nullptr);
        child = CreateWindowW(wc.lpszClassName, L"", WS_CHILD | WS_VISIBLE, 10, 10, client_w, client_h, frame, nullptr,
                              wc.hInstance, nullptr);
        UpdateWindow(frame);
    }
    ~VideoWindow() {
        if (IsWindow(frame))
            DestroyWindow(frame);
    }
    void Resize(int client_w, int client_h) {
        SetWindowPos(frame, nullptr, 0, 0, client_w + 20, client_h + 20, SWP_NOMOVE | SWP_NOZORDER);
        SetWindowPos(child, nullptr, 0, 0, client_w, client_h, SWP_NOMOVE | SWP_NOZORDER);
    }
    HWND frame = nullptr;
    HWND child = nullptr;
};

// The clip's green and the bars' black as the display shows them (CaptureScreen), with the room a scaled
// and converted picture needs.
bool IsGreen(COLORREF c) {
    return GetGValue(c) > 200 && GetRValue(c) < 60 && GetBValue(c) < 60;
}
bool IsBlack(COLORREF c) {
    return GetRValue(c) < 16 && GetGValue(c) < 16 && GetBValue(c) < 16;
}
// Rows (along column x) that show green.
int GreenRows(const Canvas& shot, int x) {
    int n = 0;
    for (int y = 0; y < shot.height(); ++y)
        n += IsGreen(shot.pixel(x, y));
    return n;
}
int GreenColumns(const Canvas& shot, int y) {
    int n = 0;
    for (int x = 0; x < shot.width(); ++x)
        n += IsGreen(shot.pixel(x, y));
    return n;
}

// green.flv playing into a bound window of the given client size.
class GreenClipInWindow {
  public:
    GreenClipInWindow(int client_w, int client_h) : window(client_w, client_h) {}
    // Until the clip's green is at the window's centre on the screen.
    ::testing::AssertionResult Start() {
        if (!vlc.Open(MediaPath(L"green.flv")))
            return ::testing::AssertionFailure() << "green.flv does not open";
        vlc.Attach(&recorder);
        libvlc_media_player_set_hwnd(vlc.player, window.child);
        libvlc_media_player_play(vlc.player);
        RECT client;
        GetClientRect(window.child, &client);
        const int x = client.right / 2, y = client.bottom / 2;
        if (!PumpUntil([&] { return IsGreen(CaptureScreen(window.child).pixel(x, y)); }, kVlcWaitMs))
            return ::testing::AssertionFailure()
                   << "centre shows " << std::hex << CaptureScreen(window.child).pixel(x, y);
        return ::testing::AssertionSuccess();
    }
    VideoWindow window;
    Recorder recorder;
    Vlc vlc;
};

TEST(LibvlcBridge, VersionIsDebiansAndTheEngineOptionsMakeAnInstance) {
    const char* version = libvlc_get_version();
    ASSERT_NE(version, nullptr);
    // The headers were copied from Debian's libvlc-dev: the library behind the bridge must be that release.
    char expected[32];
    snprintf(expected, sizeof(expected), "%d.%d.%d", LIBVLC_VERSION_MAJOR, LIBVLC_VERSION_MINOR,
             LIBVLC_VERSION_REVISION);
    EXPECT_EQ(std::string(version).rfind(expected, 0), 0u) << version;

    Vlc vlc;
    EXPECT_NE(vlc.instance, nullptr);
    EXPECT_NE(vlc.player, nullptr);
    EXPECT_NE(libvlc_media_player_event_manager(vlc.player), nullptr);
}

class PlayThrough : public ::testing::TestWithParam<const wchar_t*> {};

// The engine's whole life of one file: Playing, progress, the end; on a thread of the bridge that may post
// to the program's windows; with the length known.
TEST_P(PlayThrough, RaisesPlayingTimeChangedAndEndReachedOffTheUiThread) {
    PostTarget target;
    Recorder recorder(target.hwnd);
    Vlc vlc;
    ASSERT_TRUE(vlc.Open(MediaPath(GetParam())));
    vlc.Attach(&recorder);
    ASSERT_EQ(libvlc_media_player_play(vlc.player), 0);

    ASSERT_TRUE(PumpUntil([&] { return recorder.Count(libvlc_MediaPlayerPlaying) > 0; }, kVlcWaitMs));
    ASSERT_TRUE(PumpUntil([&] { return libvlc_media_player_get_length(vlc.player) > 0; }, kVlcWaitMs));
    libvlc_time_t length = libvlc_media_player_get_length(vlc.player);
    EXPECT_GE(length, 4500);
    EXPECT_LE(length, 5600);
    EXPECT_TRUE(libvlc_media_player_is_playing(vlc.player));

    ASSERT_TRUE(PumpUntil([&] { return recorder.Count(libvlc_MediaPlayerEndReached) > 0; }, 20000));
    EXPECT_TRUE(PumpUntil([&] { return vlc.State() == libvlc_Ended; }, kVlcWaitMs));
    EXPECT_FALSE(libvlc_media_player_is_playing(vlc.player));

    auto events = recorder.Events();
    DWORD callback_thread = events.front().thread;
    libvlc_time_t last_time = -1;
    int time_changes = 0;
    size_t playing_at = events.size(), end_at = events.size();
    for (size_t i = 0; i < events.size(); ++i) {
        const EventRecord& e = events[i];
        EXPECT_NE(e.thread, GetCurrentThreadId());
        EXPECT_EQ(e.thread, callback_thread) << "callbacks run on one thread, in order";
        EXPECT_EQ(e.object, static_cast<void*>(vlc.player));
        if (e.type == libvlc_MediaPlayerPlaying && playing_at == events.size())
            playing_at = i;
        if (e.type == libvlc_MediaPlayerEndReached)
            end_at = i;
        if (e.type == libvlc_MediaPlayerTimeChanged) {
            EXPECT_GE(e.time, last_time);
            last_time = e.time;
            ++time_changes;
        }
    }
    EXPECT_GE(time_changes, 5);
    EXPECT_LT(playing_at, end_at);
    EXPECT_GE(last_time, 3000);
    // Once the player is released no callback comes any more, so every event recorded has been posted.
    libvlc_media_player_release(vlc.player);
    vlc.player = nullptr;
    EXPECT_TRUE(PumpUntil([&] { return target.received == recorder.Posted(); }, kVlcWaitMs));
    EXPECT_EQ(recorder.Posted(), static_cast<int>(recorder.Events().size()));
}

INSTANTIATE_TEST_SUITE_P(Codecs, PlayThrough, ::testing::Values(L"h263.flv", L"h264.flv"));

TEST(LibvlcBridge, PauseSeekAndStopReachTheirStates) {
    Recorder recorder;
    Vlc vlc;
    ASSERT_TRUE(vlc.Open(MediaPath(L"h264.flv")));
    vlc.Attach(&recorder);
    libvlc_media_player_play(vlc.player);
    ASSERT_TRUE(PumpUntil([&] { return recorder.Count(libvlc_MediaPlayerTimeChanged) > 0; }, kVlcWaitMs));

    libvlc_media_player_set_time(vlc.player, 3500);
    EXPECT_TRUE(PumpUntil([&] { return libvlc_media_player_get_time(vlc.player) >= 3000; }, kVlcWaitMs));

    libvlc_media_player_pause(vlc.player);
    EXPECT_TRUE(PumpUntil([&] { return recorder.Count(libvlc_MediaPlayerPaused) == 1; }, kVlcWaitMs));
    EXPECT_TRUE(PumpUntil([&] { return vlc.State() == libvlc_Paused; }, kVlcWaitMs));
    EXPECT_FALSE(libvlc_media_player_is_playing(vlc.player));
    libvlc_time_t paused_at = libvlc_media_player_get_time(vlc.player);

    libvlc_media_player_set_time(vlc.player, 1000);
    EXPECT_TRUE(PumpUntil([&] { return libvlc_media_player_get_time(vlc.player) < paused_at - 1000; }, kVlcWaitMs));

    libvlc_media_player_pause(vlc.player);  // toggles back
    EXPECT_TRUE(PumpUntil([&] { return vlc.State() == libvlc_Playing; }, kVlcWaitMs));
    // The state is read at once; the event comes through the bridge's queue a little later.
    EXPECT_TRUE(PumpUntil([&] { return recorder.Count(libvlc_MediaPlayerPlaying) >= 2; }, kVlcWaitMs));

    libvlc_media_player_stop(vlc.player);
    EXPECT_EQ(vlc.State(), libvlc_Stopped);
    EXPECT_TRUE(PumpUntil([&] { return recorder.Count(libvlc_MediaPlayerStopped) == 1; }, kVlcWaitMs));
    EXPECT_FALSE(libvlc_media_player_is_playing(vlc.player));
}

// Volume and mute go to libvlc's own audio output, into the sound server.
TEST(LibvlcBridge, VolumeAndMuteRoundTripWhilePlaying) {
    Recorder recorder;
    Vlc vlc;
    ASSERT_TRUE(vlc.Open(MediaPath(L"audio.flv")));
    vlc.Attach(&recorder);
    libvlc_media_player_play(vlc.player);
    ASSERT_TRUE(PumpUntil([&] { return recorder.Count(libvlc_MediaPlayerTimeChanged) > 0; }, kVlcWaitMs));
    // libvlc knows its audio output once the first samples are out.
    ASSERT_TRUE(PumpUntil([&] { return libvlc_audio_get_volume(vlc.player) >= 0; }, kVlcWaitMs));

    for (int volume : {37, 100, 0, 150}) {
        EXPECT_EQ(libvlc_audio_set_volume(vlc.player, volume), 0) << volume;
        EXPECT_TRUE(PumpUntil([&] { return libvlc_audio_get_volume(vlc.player) == volume; }, kVlcWaitMs))
            << volume << " read back as " << libvlc_audio_get_volume(vlc.player);
    }
    EXPECT_EQ(libvlc_audio_set_volume(vlc.player, -5), -1);
    EXPECT_EQ(libvlc_audio_get_volume(vlc.player), 150);

    libvlc_audio_set_mute(vlc.player, 1);
    EXPECT_TRUE(PumpUntil([&] { return libvlc_audio_get_mute(vlc.player) == 1; }, kVlcWaitMs));
    libvlc_audio_set_mute(vlc.player, 0);
    EXPECT_TRUE(PumpUntil([&] { return libvlc_audio_get_mute(vlc.player) == 0; }, kVlcWaitMs));
    EXPECT_TRUE(libvlc_media_player_is_playing(vlc.player));
}

TEST(LibvlcBridge, VideoTrackCountTellsAudioOnlyFromVideo) {
    struct Case {
        const wchar_t* file;
        bool video;
    } cases[] = {{L"audio.flv", false}, {L"h264.flv", true}};
    for (const Case& c : cases) {
        Recorder recorder;
        Vlc vlc;
        ASSERT_TRUE(vlc.Open(MediaPath(c.file)));
        vlc.Attach(&recorder);
        libvlc_media_player_play(vlc.player);
        ASSERT_TRUE(PumpUntil([&] { return recorder.Count(libvlc_MediaPlayerTimeChanged) >= 3; }, kVlcWaitMs))
            << c.file;
        if (c.video)
            EXPECT_TRUE(PumpUntil([&] { return libvlc_video_get_track_count(vlc.player) > 0; }, kVlcWaitMs)) << c.file;
        else
            EXPECT_EQ(libvlc_video_get_track_count(vlc.player), 0) << c.file;
    }
}

// Windows paths in UTF-8: CJK and accented names, and a path relative to the Windows current folder.
TEST(LibvlcBridge, WindowsPathsReachTheFile) {
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(MediaDir().c_str()));
    const std::string paths[] = {MediaPath(L"\u89c6\u9891.flv"), MediaPath(L"accentu\u00e9.flv"), "h263.flv",
                                 ".\\pair\\..\\h263.flv"};
    for (const std::string& path : paths) {
        Recorder recorder;
        Vlc vlc;
        ASSERT_TRUE(vlc.Open(path)) << path;
        vlc.Attach(&recorder);
        libvlc_media_player_play(vlc.player);
        EXPECT_TRUE(PumpUntil([&] { return recorder.Count(libvlc_MediaPlayerTimeChanged) >= 2; }, kVlcWaitMs)) << path;
        EXPECT_GT(libvlc_media_player_get_length(vlc.player), 4000) << path;
        EXPECT_NE(vlc.State(), libvlc_Error) << path;
    }
    SetCurrentDirectoryW(previous);

    Vlc vlc;
    EXPECT_EQ(libvlc_media_new_path(vlc.instance, ""), nullptr);
    EXPECT_EQ(libvlc_media_new_path(vlc.instance, "\xff\xfe bad utf-8"), nullptr);
}

// Files that cannot be played end in libvlc's error or end state; nothing crashes or hangs.
TEST(LibvlcBridge, BadFilesEndInErrorOrEnded) {
    const std::string paths[] = {MediaPath(L"truncated.flv"), MediaPath(L"random.flv"), MediaPath(L"no such file.flv")};
    for (const std::string& path : paths) {
        Recorder recorder;
        Vlc vlc;
        ASSERT_TRUE(vlc.Open(path)) << path;
        vlc.Attach(&recorder);
        libvlc_media_player_play(vlc.player);
        EXPECT_TRUE(PumpUntil(
            [&] {
                libvlc_state_t s = vlc.State();
                return s == libvlc_Error || s == libvlc_Ended;
            },
            20000))
            << path << " state " << vlc.State();
        libvlc_media_player_stop(vlc.player);
        EXPECT_EQ(vlc.State(), libvlc_Stopped) << path;
    }
}

// The engine detaches from inside its own callback at worst: that must neither wait for itself nor deliver
// anything to the detached callback afterwards.
TEST(LibvlcBridge, DetachStopsDeliveryEvenFromInsideACallback) {
    struct SelfDetach {
        libvlc_event_manager_t* events;
        std::atomic<int> calls{0};
        static void Callback(const libvlc_event_t* event, void* data) {
            auto* self = static_cast<SelfDetach*>(data);
            ++self->calls;
            libvlc_event_detach(self->events, event->type, &SelfDetach::Callback, self);
        }
    };
    Recorder witness;
    Vlc vlc;
    ASSERT_TRUE(vlc.Open(MediaPath(L"h264.flv")));
    SelfDetach self;
    self.events = libvlc_media_player_event_manager(vlc.player);
    ASSERT_EQ(libvlc_event_attach(self.events, libvlc_MediaPlayerTimeChanged, &SelfDetach::Callback, &self), 0);
    Recorder never;
    ASSERT_EQ(libvlc_event_attach(self.events, libvlc_MediaPlayerTimeChanged, &Recorder::Callback, &never), 0);
    libvlc_event_detach(self.events, libvlc_MediaPlayerTimeChanged, &Recorder::Callback, &never);
    ASSERT_EQ(libvlc_event_attach(self.events, libvlc_MediaPlayerTimeChanged, &Recorder::Callback, &witness), 0);

    libvlc_media_player_play(vlc.player);
    ASSERT_TRUE(PumpUntil([&] { return witness.Count(libvlc_MediaPlayerTimeChanged) >= 10; }, kVlcWaitMs));
    EXPECT_EQ(self.calls, 1);
    EXPECT_TRUE(never.Events().empty());
}

// A callback that holds its first call until released.
struct HeldCallback {
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> calls{0};
    HeldCallback() = default;
    HeldCallback(const HeldCallback&) = delete;
    HeldCallback& operator=(const HeldCallback&) = delete;
    ~HeldCallback() {
        CloseHandle(held);
        CloseHandle(release);
    }
    bool Held() const { return WaitForSingleObject(held, 0) == WAIT_OBJECT_0; }
    static void Callback(const libvlc_event_t*, void* data) {
        auto* self = static_cast<HeldCallback*>(data);
        if (self->calls++ == 0) {
            SetEvent(self->held);
            WaitForSingleObject(self->release, 10000);
        }
    }
};

// Two threads of the program at once: one detaches a record while its callback runs, and waits for it;
// another changes the player's records meanwhile (attaches a new one, or detaches the one attached after
// the first). The detach must take out its own record and nothing else, and every detached record must
// hear nothing more. Playing comes from libvlc's input thread, which holds the event manager's lock while
// the callback runs: the other thread changes the bridge's records at once and then waits in libvlc for
// that lock until the callback returns. Nothing shows when it got that far, so it is given a moment.
TEST(LibvlcBridge, ADetachWaitingForItsCallbackKeepsWhatAnotherThreadChanged) {
    enum Change { kAttachAnother, kDetachTheNewer };
    const libvlc_event_type_t playing = libvlc_MediaPlayerPlaying;
    for (Change change : {kAttachAnother, kDetachTheNewer}) {
        SCOPED_TRACE(change == kAttachAnother ? "another record attached" : "the newer record detached");
        Vlc vlc;
        libvlc_event_manager_t* events = libvlc_media_player_event_manager(vlc.player);
        HeldCallback first;
        Recorder second;
        ASSERT_EQ(libvlc_event_attach(events, playing, &HeldCallback::Callback, &first), 0);
        if (change == kDetachTheNewer) {
            ASSERT_EQ(libvlc_event_attach(events, playing, &Recorder::Callback, &second), 0);
        }
        ASSERT_TRUE(vlc.Open(MediaPath(L"h264.flv")));
        libvlc_media_player_play(vlc.player);
        ASSERT_TRUE(PumpUntil([&] { return first.Held(); }, kVlcWaitMs));

        std::atomic<bool> detaching{false};
        std::atomic<bool> detached{false};
        std::thread detacher([&] {
            detaching = true;
            libvlc_event_detach(events, playing, &HeldCallback::Callback, &first);
            detached = true;
        });
        while (!detaching)
            std::this_thread::yield();
        std::atomic<bool> changing{false};
        std::thread other([&] {
            changing = true;
            if (change == kAttachAnother)
                libvlc_event_attach(events, playing, &Recorder::Callback, &second);
            else
                libvlc_event_detach(events, playing, &Recorder::Callback, &second);
        });
        while (!changing)
            std::this_thread::yield();
        Sleep(300);
        EXPECT_FALSE(detached) << "the detach returned while its callback ran";
        SetEvent(first.release);
        detacher.join();
        other.join();

        if (change == kAttachAnother)
            libvlc_event_detach(events, playing, &Recorder::Callback, &second);
        // Raised again, with a witness attached last: once the witness has it, every record has had it.
        Recorder witness;
        ASSERT_EQ(libvlc_event_attach(events, playing, &Recorder::Callback, &witness), 0);
        ASSERT_TRUE(vlc.Open(MediaPath(L"h263.flv")));
        libvlc_media_player_play(vlc.player);
        ASSERT_TRUE(PumpUntil([&] { return witness.Count(playing) == 1; }, kVlcWaitMs));
        EXPECT_EQ(first.calls, 1);
        EXPECT_EQ(second.Count(playing), 0) << "a call after the record's detach returned";
        libvlc_event_detach(events, playing, &Recorder::Callback, &witness);
    }
}

// As on Windows, the thread that raises an event is busy in the callback until it returns: libvlc's input
// thread, held by a TimeChanged callback, moves the playback time no further.
TEST(LibvlcBridge, TheRaisingThreadWaitsUntilTheCallbackReturns) {
    struct Holder {
        HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::atomic<int> calls{0};
        static void Callback(const libvlc_event_t*, void* data) {
            auto* self = static_cast<Holder*>(data);
            if (self->calls++ == 0) {
                SetEvent(self->held);
                WaitForSingleObject(self->release, 10000);
            }
        }
    } holder;
    Vlc vlc;
    ASSERT_TRUE(vlc.Open(MediaPath(L"long.flv")));
    libvlc_event_manager_t* events = libvlc_media_player_event_manager(vlc.player);
    ASSERT_EQ(libvlc_event_attach(events, libvlc_MediaPlayerTimeChanged, &Holder::Callback, &holder), 0);
    libvlc_media_player_play(vlc.player);
    ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(holder.held, 0) == WAIT_OBJECT_0; }, kVlcWaitMs));

    libvlc_time_t held_at = libvlc_media_player_get_time(vlc.player);
    auto moved = [&] { return libvlc_media_player_get_time(vlc.player) > held_at + 500; };
    EXPECT_FALSE(PumpUntil(moved, 1500)) << "the playback went on while the callback held the raising thread";
    EXPECT_EQ(holder.calls, 1);
    SetEvent(holder.release);
    EXPECT_TRUE(PumpUntil(moved, kVlcWaitMs));
    EXPECT_TRUE(PumpUntil([&] { return holder.calls > 3; }, kVlcWaitMs));
    libvlc_media_player_stop(vlc.player);
}

// Events that the program's own call raises reach the callback on the program's thread, inside the call
// (as on Windows): MediaChanged inside set_media, TimeChanged inside set_time while playing, Stopped inside
// stop. The input thread's events still come on another thread.
TEST(LibvlcBridge, EventsOfTheProgramsOwnCallsRunOnItsThreadBeforeTheCallReturns) {
    Recorder recorder;
    Vlc vlc;
    libvlc_event_manager_t* events = libvlc_media_player_event_manager(vlc.player);
    for (libvlc_event_type_t type : {libvlc_MediaPlayerMediaChanged, libvlc_MediaPlayerPlaying,
                                     libvlc_MediaPlayerTimeChanged, libvlc_MediaPlayerStopped})
        ASSERT_EQ(libvlc_event_attach(events, type, &Recorder::Callback, &recorder), 0);
    // Whether an event of the type, with the time if one is given, came on this thread after the first
    // `from` events.
    auto raisedHere = [&](size_t from, libvlc_event_type_t type, libvlc_time_t time = -1) {
        const std::vector<EventRecord> all = recorder.Events();
        for (size_t i = from; i < all.size(); ++i)
            if (all[i].type == type && all[i].thread == GetCurrentThreadId() && (time < 0 || all[i].time == time))
                return true;
        return false;
    };

    size_t from = recorder.Events().size();
    ASSERT_TRUE(vlc.Open(MediaPath(L"long.flv")));
    EXPECT_TRUE(raisedHere(from, libvlc_MediaPlayerMediaChanged)) << "set_media";

    libvlc_media_player_play(vlc.player);
    ASSERT_TRUE(PumpUntil([&] { return recorder.Count(libvlc_MediaPlayerTimeChanged) > 0; }, kVlcWaitMs));
    for (const EventRecord& e : recorder.Events()) {
        if (e.type == libvlc_MediaPlayerPlaying) {
            EXPECT_NE(e.thread, GetCurrentThreadId()) << "Playing comes from the input thread";
        }
    }

    from = recorder.Events().size();
    libvlc_media_player_set_time(vlc.player, 3500);
    EXPECT_TRUE(raisedHere(from, libvlc_MediaPlayerTimeChanged, 3500)) << "set_time";

    from = recorder.Events().size();
    libvlc_media_player_stop(vlc.player);
    EXPECT_TRUE(raisedHere(from, libvlc_MediaPlayerStopped)) << "stop";
}

// A callback run inside the program's own call may call its player again, as on Windows, where every lock
// of libvlc is recursive. Inside stop's event the player has no input any more: the getters answer -1, a
// second stop does nothing, and a file set and played there plays once stop has returned. A hang cannot
// be unwound (the raising call holds libvlc's locks), so it ends the process.
TEST(LibvlcBridge, ACallbackInsideTheProgramsCallMayCallItsPlayerAgain) {
    struct Reentry {
        libvlc_media_player_t* player = nullptr;
        std::function<void()> action;
        std::atomic<int> calls{0};
        static void Callback(const libvlc_event_t*, void* data) {
            auto* self = static_cast<Reentry*>(data);
            if (self->calls++ == 0)
                self->action();
        }
    };
    struct Case {
        const char* name;
        libvlc_event_type_t event;  // what the callback is attached to; raised by set_media or by stop
    } cases[] = {{"a MediaChanged callback stops its player", libvlc_MediaPlayerMediaChanged},
                 {"a Stopped callback stops again and asks for time, length and tracks", libvlc_MediaPlayerStopped},
                 {"a Stopped callback sets another file and plays it", libvlc_MediaPlayerStopped}};
    for (size_t c = 0; c < sizeof(cases) / sizeof(cases[0]); ++c) {
        SCOPED_TRACE(cases[c].name);
        Recorder recorder;
        Vlc vlc;
        libvlc_event_manager_t* events = libvlc_media_player_event_manager(vlc.player);
        libvlc_media_t* next = libvlc_media_new_path(vlc.instance, MediaPath(L"h263.flv").c_str());
        ASSERT_NE(next, nullptr);
        std::vector<libvlc_time_t> answers;
        Reentry reentry;
        reentry.player = vlc.player;
        if (c == 0) {
            reentry.action = [&] { libvlc_media_player_stop(vlc.player); };
        } else if (c == 1) {
            reentry.action = [&] {
                libvlc_media_player_stop(vlc.player);
                answers = {libvlc_media_player_get_time(vlc.player), libvlc_media_player_get_length(vlc.player),
                           libvlc_video_get_track_count(vlc.player)};
            };
        } else {
            reentry.action = [&] {
                libvlc_media_player_set_media(vlc.player, next);
                libvlc_media_player_play(vlc.player);
            };
        }
        if (c > 0) {
            ASSERT_TRUE(vlc.Open(MediaPath(L"long.flv")));
            libvlc_media_player_play(vlc.player);
            ASSERT_TRUE(PumpUntil([&] { return vlc.State() == libvlc_Playing; }, kVlcWaitMs));
        }
        ASSERT_EQ(libvlc_event_attach(events, cases[c].event, &Reentry::Callback, &reentry), 0);
        ASSERT_EQ(libvlc_event_attach(events, libvlc_MediaPlayerStopped, &Recorder::Callback, &recorder), 0);

        std::atomic<bool> done{false};
        std::thread caller([&] {
            if (c == 0)
                vlc.Open(MediaPath(L"long.flv"));
            else
                libvlc_media_player_stop(vlc.player);
            done = true;
        });
        if (!PumpUntil([&] { return done.load(); }, 20000)) {
            fprintf(stderr, "libvlc_bridge_test: FAILED: %s: the call hung; the process is ended\n", cases[c].name);
            fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 1);
        }
        caller.join();
        EXPECT_EQ(reentry.calls, 1);
        if (c == 0) {
            EXPECT_EQ(vlc.State(), libvlc_Stopped);
            EXPECT_EQ(recorder.Count(libvlc_MediaPlayerStopped), 1);
        } else if (c == 1) {
            EXPECT_EQ(answers, (std::vector<libvlc_time_t>{-1, -1, -1}));
            EXPECT_EQ(vlc.State(), libvlc_Stopped);
        } else {
            EXPECT_TRUE(PumpUntil([&] { return vlc.State() == libvlc_Playing; }, kVlcWaitMs));
            EXPECT_TRUE(PumpUntil([&] { return libvlc_media_player_get_length(vlc.player) > 4000; }, kVlcWaitMs));
            EXPECT_LT(libvlc_media_player_get_length(vlc.player), 6000) << "the new file (5 s) plays";
        }
        libvlc_media_player_stop(vlc.player);
        libvlc_media_release(next);
    }
}

// Releasing players again and again while they play, paint and raise events: no crash, and no callback
// of a player after its release returned.
TEST(LibvlcBridge, ReleasingPlayingPlayersFiftyTimes) {
    VideoWindow window(320, 240);
    struct Token {
        std::atomic<int> events{0};
        std::atomic<bool> released{false};
        std::atomic<int> after_release{0};
        static void Callback(const libvlc_event_t*, void* data) {
            auto* token = static_cast<Token*>(data);
            if (token->released)
                ++token->after_release;
            ++token->events;
        }
    };
    std::vector<Token> tokens(50);
    const char* const options[] = {"--no-video-title-show", "--no-keyboard-events", "--no-mouse-events"};
    libvlc_instance_t* instance = libvlc_new(3, options);
    ASSERT_NE(instance, nullptr);
    libvlc_media_t* media = libvlc_media_new_path(instance, MediaPath(L"h264.flv").c_str());
    ASSERT_NE(media, nullptr);
    int raised = 0;
    for (size_t i = 0; i < tokens.size(); ++i) {
        libvlc_media_player_t* player = libvlc_media_player_new(instance);
        ASSERT_NE(player, nullptr);
        libvlc_media_player_set_media(player, media);
        libvlc_media_player_set_hwnd(player, window.child);
        libvlc_event_manager_t* events = libvlc_media_player_event_manager(player);
        for (libvlc_event_type_t type : kEngineEvents)
            libvlc_event_attach(events, type, &Token::Callback, &tokens[i]);
        libvlc_media_player_play(player);
        // Vary the moment: from right after play to well into the playback.
        int wanted = static_cast<int>(i % 5);
        PumpUntil([&] { return tokens[i].events >= wanted; }, 5000);
        raised += tokens[i].events > 0;
        libvlc_media_player_release(player);
        tokens[i].released = true;
    }
    // Anything still on its way would arrive now.
    PumpUntil([] { return false; }, 300);
    for (size_t i = 0; i < tokens.size(); ++i)
        EXPECT_EQ(tokens[i].after_release, 0) << i;
    EXPECT_GE(raised, 40);
    libvlc_media_release(media);
    libvlc_release(instance);
}

// The picture in the bound window as the display shows it: the clip's green where the video is, black
// bars where its 16:9 shape leaves room in a 4:3 window; kept while paused and redrawn after a resize.
TEST(LibvlcBridge, BoundWindowShowsThePictureWithBlackBars) {
    GreenClipInWindow clip(480, 360);
    ASSERT_TRUE(clip.Start());
    VideoWindow& window = clip.window;
    Vlc& vlc = clip.vlc;

    // 320x180 fitted into 480x360: 480x270, bars of 45 rows above and below.
    const Canvas shot = CaptureScreen(window.child);
    EXPECT_NEAR(GreenRows(shot, 240), 270, 1);
    EXPECT_EQ(GreenColumns(shot, 180), 480);
    for (int x : {2, 240, 477}) {
        EXPECT_TRUE(IsBlack(shot.pixel(x, 10))) << x << ": " << std::hex << shot.pixel(x, 10);
        EXPECT_TRUE(IsBlack(shot.pixel(x, 350))) << x << ": " << std::hex << shot.pixel(x, 350);
    }

    libvlc_media_player_pause(vlc.player);
    ASSERT_TRUE(PumpUntil([&] { return vlc.State() == libvlc_Paused; }, kVlcWaitMs));
    // The window paints itself white; the bridge must bring the paused frame back.
    InvalidateRect(window.child, nullptr, TRUE);
    UpdateWindow(window.child);
    EXPECT_TRUE(PumpUntil([&] { return IsGreen(CaptureScreen(window.child).pixel(240, 180)); }, 5000));

    // Now 640x240: the picture is as high as the window, with bars left and right.
    window.Resize(640, 240);
    EXPECT_TRUE(PumpUntil(
        [&] {
            const Canvas s = CaptureScreen(window.child);
            return s.width() == 640 && IsGreen(s.pixel(320, 120)) && IsBlack(s.pixel(20, 120)) &&
                   IsBlack(s.pixel(620, 120));
        },
        5000));
    const Canvas wide = CaptureScreen(window.child);
    EXPECT_NEAR(GreenColumns(wide, 120), 427, 1);
    EXPECT_EQ(GreenRows(wide, 320), 240);
}

// When playback stops, the picture goes with the video output (on Windows libvlc's own picture window
// inside the bound one is destroyed; at the end of a file libvlc keeps the output until the stop that the
// player's timer then makes): the bound window shows its own background again.
TEST(LibvlcBridge, TheBoundWindowShowsItsOwnBackgroundOnceStopped) {
    for (bool ended : {false, true}) {
        SCOPED_TRACE(ended ? "stopped at the end" : "stopped while playing");
        GreenClipInWindow clip(320, 180);
        ASSERT_TRUE(clip.Start());
        VideoWindow& window = clip.window;
        Vlc& vlc = clip.vlc;
        if (ended) {
            ASSERT_TRUE(PumpUntil([&] { return vlc.State() == libvlc_Ended; }, 20000));
        }
        libvlc_media_player_stop(vlc.player);
        EXPECT_TRUE(PumpUntil(
            [&] {
                const Canvas shot = CaptureScreen(window.child);
                return shot.pixel(160, 90) == RGB(255, 255, 255) && shot.pixel(2, 2) == RGB(255, 255, 255);
            },
            5000))
            << "the window shows " << std::hex << CaptureScreen(window.child).pixel(160, 90);
    }
}

// The player's video window may go away while the bridge paints into it.
TEST(LibvlcBridge, DestroyingTheBoundWindowWhilePlayingIsHarmless) {
    VideoWindow window(320, 240);
    Recorder recorder;
    Vlc vlc;
    ASSERT_TRUE(vlc.Open(MediaPath(L"h264.flv")));
    vlc.Attach(&recorder);
    libvlc_media_player_set_hwnd(vlc.player, window.child);
    libvlc_media_player_play(vlc.player);
    ASSERT_TRUE(PumpUntil([&] { return recorder.Count(libvlc_MediaPlayerTimeChanged) >= 3; }, kVlcWaitMs));
    DestroyWindow(window.frame);
    libvlc_time_t then = libvlc_media_player_get_time(vlc.player);
    EXPECT_TRUE(PumpUntil([&] { return libvlc_media_player_get_time(vlc.player) > then + 1000; }, kVlcWaitMs));
    EXPECT_EQ(vlc.State(), libvlc_Playing);

    // Binding a new window afterwards works again.
    VideoWindow second(320, 240);
    libvlc_media_player_set_hwnd(vlc.player, second.child);
    EXPECT_TRUE(PumpUntil(
        [&] {
            const COLORREF shown = CaptureScreen(second.child).pixel(160, 120);
            return !IsBlack(shown) && shown != RGB(255, 255, 255);
        },
        kVlcWaitMs));
    libvlc_media_player_stop(vlc.player);
}

}  // namespace
