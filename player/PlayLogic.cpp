// The playback controller. Everything here runs on the user-interface thread except handleProc.
//
// libvlc calls handleProc on the thread that raises the event (on Windows, for Playing, Paused,
// TimeChanged and EndReached: its input thread; for Stopped: the thread inside libvlc_media_player_stop),
// while that thread holds libvlc's own locks, and libvlc forbids taking the player's input lock from a
// callback: the engine's getters take it, and stop and set_media hold it while they wait for the raising
// thread. An engine call from handleProc therefore hangs both threads as soon as the user-interface thread
// stops or replaces the file at the wrong moment. So handleProc touches nothing but the state record's
// window handle and an atomic flag: it posts WM_ENGINE_EVENT (the event type and, for TimeChanged, the
// event's own time) to the main window and returns, never waiting for the user-interface thread (which
// may sit in the polling of pause and stop). onEngineEvent then does the handler's work on the
// user-interface thread, where the engine, the video area, the control bar and the playlist live.
//
// closeEvents, at the start of the teardown, shuts the handler off and detaches it (a detach waits for a
// running callback), and onEngineEvent ignores what is still queued after that, so no late event reaches
// the video area, the bar or the controller after they are destroyed.
//
// An event may wait in the queue while the user-interface thread stops the file, opens another or
// replaces the engine; handled then, it would act on what came after (a TimeChanged of the previous file
// set the new file's time bar). So every open, stop and engine change starts a new event generation,
// handleProc posts the generation of the moment with each event, and onEngineEvent drops the events of
// an older one. A stop starts its generation before it asks the engine to stop, so the Stopped event it
// raises is still handled (it is what shows the Play button again).
#include "PlayLogic.h"
#include <atomic>
#include <limits>
#include "AppGlobals.h"
#include "PlayBar.h"
#include "PlayWnd.h"
#include "SwfPlayer.h"
#include "TextUtil.h"
#include "VlcPlayer.h"

const PlayerTypeEntry PlayerTypeTable[] = {
    {kPlayerSwf, L"swf"},
    {kPlayerSwf, L"fla"},
    {-1, nullptr},
};

EngineFactory MakeEngine = MakeDefaultEngine;

namespace {

// One seek step in the engine's unit: 5 s for libvlc, 5000 frames for a movie.
constexpr MediaTime kSeekStep = 5000;
constexpr int kVolumeStep = 10;
constexpr DWORD kPollInterval = 100;
// libvlc's stop returns with the player stopped and its pause takes effect within a frame or two; an
// engine that still reports playing after this long is not going to stop, and the user-interface thread
// must not hang on it.
constexpr ULONGLONG kWaitLimit = 5000;

std::atomic<bool> EventsClosed{false};
// Read by handleProc on libvlc's thread, moved on only by the user-interface thread.
std::atomic<unsigned> EventGeneration{0};

constexpr WPARAM kEngineEventTypeMask = (WPARAM(1) << kEngineEventTypeBits) - 1;
static_assert(libvlc_MediaPlayerPlaying <= kEngineEventTypeMask && libvlc_MediaPlayerPaused <= kEngineEventTypeMask &&
                  libvlc_MediaPlayerStopped <= kEngineEventTypeMask &&
                  libvlc_MediaPlayerTimeChanged <= kEngineEventTypeMask,
              "the posted event types fit below the generation");

void NewEventGeneration() {
    EventGeneration.fetch_add(1);
}

int ClampVolume(int level) {
    return level < 0 ? 0 : (level > 100 ? 100 : level);
}

HWND CurrentVideoWindow() {
    PlayWnd* wnd = AppGlobals.playWnd;
    return wnd ? wnd->videoWindow : nullptr;
}

bool ProvideVideoWindow(PlayerType type) {
    PlayWnd* wnd = AppGlobals.playWnd;
    return wnd && wnd->open(type, AppGlobals.instance);
}

void ApplyVolumeTo(MediaPlayer* engine, bool muted, int volume) {
    if (!engine)
        return;
    if (engine->type() == kPlayerVlc) {
        // The wanted state, not a toggle: libvlc's mute flag may still read as before a change asked for a
        // moment ago (the sound output applies it later), and a second toggle would undo the first.
        if (engine->isMuted() != muted)
            engine->setMute(muted);
        if (!muted && engine->getVolume() != volume)
            engine->setVolume(volume);
        return;
    }
    // The SWF engine's volume is the system master volume; muting a movie means volume 0.
    int target = muted ? 0 : volume;
    if (engine->getVolume() != target)
        engine->setVolume(target);
}

void UpdateVisibilityOf(MediaPlayer* engine) {
    PlayWnd* wnd = AppGlobals.playWnd;
    if (!engine || !wnd)
        return;
    HWND video = wnd->videoWindow;
    if (IsWindow(video) && !(GetWindowLongW(video, GWL_STYLE) & WS_VISIBLE))
        wnd->showVideoWindow(engine->hasVideo());
}

}  // namespace

PlayerType PlayerTypeForFile(const wchar_t* path) {
    PlayerType result = kPlayerVlc;
    if (!path)
        return result;
    const wchar_t* dot = wcsrchr(path, L'.');
    if (!dot || !dot[1])
        return result;
    std::wstring extension(dot + 1);
    for (wchar_t& unit : extension) {
        if (unit >= L'A' && unit <= L'Z')
            unit = static_cast<wchar_t>(unit - L'A' + L'a');
    }
    for (const PlayerTypeEntry* row = PlayerTypeTable; row->type >= 0 && row->extension; ++row) {
        if (extension == row->extension) {
            result = row->type;
            break;
        }
    }
    return result;
}

MediaPlayer* MakeDefaultEngine(PlayerType type) {
    switch (type) {
        case kPlayerVlc:
            return new VlcPlayer;
        case kPlayerSwf:
            return new SwfPlayer;
        default:
            return nullptr;
    }
}

// On a 32-bit WPARAM the generation keeps its low 20 bits: an event would have to wait in the queue
// through a million opens and stops to be taken for a current one.
WPARAM EngineEventWParam(int type, unsigned generation) {
    return (static_cast<WPARAM>(generation) << kEngineEventTypeBits) |
           (static_cast<WPARAM>(type) & kEngineEventTypeMask);
}

void handleProc(const libvlc_event_t* event, void*) {
    try {
        if (!event || EventsClosed.load())
            return;
        LPARAM time = 0;
        switch (event->type) {
            case libvlc_MediaPlayerPlaying:
            case libvlc_MediaPlayerPaused:
            case libvlc_MediaPlayerStopped:
                break;
            case libvlc_MediaPlayerTimeChanged: {
                // A 32-bit LPARAM holds 24 days of milliseconds; a longer time shows as that.
                libvlc_time_t value = event->u.media_player_time_changed.new_time;
                constexpr libvlc_time_t kMost = std::numeric_limits<LPARAM>::max();
                time = static_cast<LPARAM>(value < 0 ? 0 : (value > kMost ? kMost : value));
                break;
            }
            default:
                // The end of the media is found by the timer step (state "ended").
                return;
        }
        HWND main = __atomic_load_n(&AppGlobals.mainWindow, __ATOMIC_ACQUIRE);
        if (main)
            PostMessageW(main, WM_ENGINE_EVENT, EngineEventWParam(event->type, EventGeneration.load()), time);
    } catch (...) {
        // Nothing may unwind into libvlc's thread.
    }
}

void PlayLogic::onEngineEvent(WPARAM wParam, LPARAM lParam) {
    // Events of an engine that is gone, of a file or playback that has changed since, or of a teardown
    // under way, change nothing.
    const int type = static_cast<int>(wParam & kEngineEventTypeMask);
    if (EventsClosed.load() || wParam != EngineEventWParam(type, EventGeneration.load()) || !player ||
        player->type() != kPlayerVlc)
        return;
    const MediaTime time = static_cast<MediaTime>(lParam);
    PlayBar* bar = AppGlobals.playBar;
    switch (type) {
        case libvlc_MediaPlayerPlaying:
            OutputDebugStringW(L"handleProc: libvlc_MediaPlayerPlaying\n");
            updateVideoVisibility();
            applyVolume();
            if (bar)
                bar->updateButtons();
            break;
        case libvlc_MediaPlayerPaused:
            OutputDebugStringW(L"handleProc: libvlc_MediaPlayerPaused\n");
            if (bar)
                bar->updateButtons();
            break;
        case libvlc_MediaPlayerStopped:
            OutputDebugStringW(L"handleProc: libvlc_MediaPlayerStopped\n");
            if (bar)
                bar->updateButtons();
            break;
        case libvlc_MediaPlayerTimeChanged:
            // libvlc reports a time once its output has started; a time of 0 has not moved yet.
            if (time > 0)
                hasPlayed = true;
            updateVideoVisibility();
            if (bar) {
                if (knownLength <= 0 && player)
                    knownLength = player->getLength();
                bar->updateTime(time, knownLength);
            }
            break;
        default:
            break;
    }
}

PlayLogic::PlayLogic() {
    EventsClosed = false;
}

PlayLogic::~PlayLogic() {
    releasePlayer();
}

void PlayLogic::closeEvents() {
    EventsClosed = true;
    if (auto* vlc = dynamic_cast<VlcPlayer*>(player))
        vlc->detachEvents();
}

bool PlayLogic::createMediaPlayer(PlayerType type) {
    if (player && playerType == type) {
        // The video area may have made a new window for this type (after a failed open of the other
        // type destroyed the old one): the kept engine must draw into the window that is shown.
        HWND video = CurrentVideoWindow();
        if (video != boundWindow) {
            player->setWindow(video);
            boundWindow = video;
        }
        return true;
    }
    releasePlayer();
    playerType = type;
    MediaPlayer* engine = MakeEngine ? MakeEngine(type) : nullptr;
    if (!engine)
        return false;
    if (!engine->init(AppGlobals.mainWindow)) {
        engine->release();
        delete engine;
        return false;
    }
    HWND video = CurrentVideoWindow();
    engine->setWindow(video);
    boundWindow = video;
    NewEventGeneration();
    if (auto* vlc = dynamic_cast<VlcPlayer*>(engine)) {
        vlc->eventCallback = handleProc;
        if (vlc->eventManager)
            vlc->attachEvents();
    }
    player = engine;
    knownLength = 0;
    return true;
}

void PlayLogic::releasePlayer() {
    MediaPlayer* engine = player;
    if (!engine)
        return;
    player = nullptr;
    boundWindow = nullptr;
    knownLength = 0;
    NewEventGeneration();
    engine->release();
    delete engine;
}

bool PlayLogic::openPath(const wchar_t* path) {
    PlayerType type = PlayerTypeForFile(path);
    if (!ProvideVideoWindow(type))
        return false;
    if (!createMediaPlayer(type))
        return false;
    if (!player || !player->open(path))
        return false;
    setCurrentPath(path);
    playerType = type;
    return true;
}

void PlayLogic::setCurrentPath(const wchar_t* path) {
    currentPath = path ? path : L"";
    currentTitle = FileNameFromPath(currentPath);
    // Every file change comes here: the time bar must never show the previous file's length, nor take an
    // event posted for it.
    knownLength = 0;
    NewEventGeneration();
    arrivalStep = 0;
    hasPlayed = false;
    openFailed = false;
}

void PlayLogic::play() {
    if (!player) {
        std::wstring path = currentPath;
        if (path.empty() || !openPath(path.c_str()) || !player) {
            stop();
            return;
        }
    }
    // The SWF engine's stop takes the movie out of its window; Play after Stop loads it again, as it
    // does for libvlc, which keeps its media.
    if (player->type() == kPlayerSwf && player->getState() == kStateStopped && !currentPath.empty()) {
        std::wstring path = currentPath;
        if (!player->open(path.c_str())) {
            stop();
            return;
        }
    }
    if (player->getState() == kStatePlaying)
        return;
    player->play();
    bool video = player->hasVideo();
    HWND window = CurrentVideoWindow();
    if (IsWindow(window))
        ShowWindow(window, video ? SW_SHOW : SW_HIDE);
    applyVolume();
}

// Polls until the engine no longer reports playing, for at most kWaitLimit.
static void WaitWhilePlaying(PlayLogic& logic) {
    ULONGLONG deadline = GetTickCount64() + kWaitLimit;
    while (logic.player && logic.player->isPlaying() && GetTickCount64() < deadline)
        Sleep(kPollInterval);
}

void PlayLogic::pause() {
    if (player && player->isPlaying()) {
        player->pause();
        WaitWhilePlaying(*this);
    }
}

void PlayLogic::stop() {
    NewEventGeneration();
    if (player) {
        player->stop();
        WaitWhilePlaying(*this);
    }
    knownLength = 0;
    if (AppGlobals.playBar)
        AppGlobals.playBar->reset();
}

void PlayLogic::navigate(int step) {
    if (playlist.count() < 2 || playlist.currentIndex() < 0)
        return;
    // Just started and not yet showing a picture: a second press would skip a file the user never saw.
    if (player && player->getState() == kStatePlaying && player->getTime() == 0)
        return;
    stop();
    openNearest(playlist.currentIndex() + step, step);
}

// From index on, in the direction of the step, the first item that opens is played; the ones that fail
// to open are removed on the way.
void PlayLogic::openNearest(int index, int step) {
    while (playlist.count() > 0) {
        int count = playlist.count();
        if (index < 0)
            index = count - 1;
        else if (index >= count)
            index = 0;
        std::wstring path = playlist.pathAt(index);
        PlayerType type = PlayerTypeForFile(path.c_str());
        if (ProvideVideoWindow(type) && createMediaPlayer(type) && player && player->open(path.c_str())) {
            setCurrentPath(path.c_str());
            arrivalStep = step;
            playerType = type;
            playlist.setCurrent(index);
            play();
            return;
        }
        // The next item has moved into this index; going back, the previous one is one lower.
        playlist.removeAt(index);
        if (step < 0)
            --index;
    }
}

// The current item failed after it had opened: it goes, as an item that fails to open does in navigate,
// and the next one in the direction of travel plays.
void PlayLogic::skipCurrentItem(int step) {
    int index = playlist.currentIndex();
    if (index < 0)
        return;
    playlist.removeAt(index);
    openNearest(step < 0 ? index - 1 : index, step);
}

bool PlayLogic::takeOpenFailure() {
    bool failed = openFailed;
    openFailed = false;
    return failed;
}

void PlayLogic::timerProc() {
    if (!player)
        return;
    PlayerState state = player->getState();
    if (state == kStateEnded)
        OutputDebugStringW(L"Playlogic: timerProc: Ended\n");
    if (state == kStatePlaying) {
        applyVolume();
    } else if ((state == kStateEnded || state == kStateError) && !hasPlayed) {
        // Ended or failed before it ever reported a time: libvlc opens a file of random bytes, reports it
        // playing and ends it at once. It counts as a file that did not open: the user's own open failed,
        // and Previous, Next or the end of the file before go past it.
        stop();
        if (arrivalStep == 0)
            openFailed = true;
        else
            skipCurrentItem(arrivalStep);
    } else if (state == kStateEnded) {
        stop();
        // After the last item the player stays stopped: no wrap at the end of media.
        int count = playlist.count();
        int current = playlist.currentIndex();
        if (count >= 2 && current >= 0 && current < count - 1)
            navigate(+1);
    }
    // The SWF engine raises no events: its buttons and progress are polled here.
    if (player && player->type() == kPlayerSwf && AppGlobals.playBar) {
        AppGlobals.playBar->updateButtons();
        AppGlobals.playBar->updateTime();
    }
}

bool PlayLogic::seek(int direction) {
    if (!player)
        return false;
    PlayerState state = player->getState();
    if (state != kStatePlaying && state != kStatePaused)
        return false;
    MediaTime time = player->getTime();
    if (time == 0)
        return false;
    MediaTime length = player->getLength();
    // With the length not yet known (0, or libvlc's -1) "at most the length" would jump to the start.
    if (direction >= 0 && length <= 0)
        return false;
    MediaTime target;
    if (direction >= 0)
        target = time + kSeekStep < length ? time + kSeekStep : length;
    else
        target = time > kSeekStep ? time - kSeekStep : 0;
    player->setTime(target);
    return true;
}

// Volume and mute reach the engine only while a file plays or is paused; otherwise the next play
// applies them.
static bool EngineTakesVolume(MediaPlayer* engine) {
    if (!engine)
        return false;
    PlayerState state = engine->getState();
    return state == kStatePlaying || state == kStatePaused;
}

void PlayLogic::toggleMute() {
    muted = !muted;
    if (EngineTakesVolume(player))
        applyVolume();
    if (AppGlobals.playBar)
        AppGlobals.playBar->updateVolume();
}

void PlayLogic::setVolume(int level) {
    volume = ClampVolume(level);
    muted = false;
    if (EngineTakesVolume(player))
        applyVolume();
    if (AppGlobals.playBar)
        AppGlobals.playBar->updateVolume();
}

// A step while muted starts from silence.
void PlayLogic::stepVolume(int direction) {
    if (muted)
        volume = 0;
    volume = ClampVolume(volume + (direction > 0 ? kVolumeStep : -kVolumeStep));
    setVolume(volume);
}

void PlayLogic::applyVolume() {
    ApplyVolumeTo(player, muted, volume);
}

void PlayLogic::updateVideoVisibility() {
    UpdateVisibilityOf(player);
}

bool PlayLogic::isPlaying() {
    return player && player->isPlaying();
}

PlayerState PlayLogic::getState() {
    return player ? player->getState() : kStateNothing;
}

MediaTime PlayLogic::getTime() {
    return player ? player->getTime() : 0;
}

MediaTime PlayLogic::getLength() {
    return player ? player->getLength() : 0;
}

void PlayLogic::setTime(MediaTime time) {
    if (player)
        player->setTime(time);
}

// Without an engine the bar formats times as milliseconds.
PlayerType PlayLogic::currentType() {
    return player ? player->type() : kPlayerVlc;
}

bool PlayLogic::isSupported(const wchar_t* path) {
    return path && playlist.isSupported(path);
}

bool PlayLogic::hasItems() const {
    return playlist.count() > 0;
}

bool PlayLogic::canNavigate() const {
    return playlist.count() >= 2 && playlist.currentIndex() >= 0;
}
