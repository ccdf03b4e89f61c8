// The playback controller. Everything runs on the user-interface thread except handleProc, which the
// libvlc bridge calls on a thread of its own. The rules that keep that thread safe:
// - it never waits for the user-interface thread (which may sit in the polling of pause and stop): the
//   video area shows windows with ShowWindowAsync and the control bar posts its button updates;
// - it reads the engine pointer once; the pointer is cleared before an engine is released, and
//   releasing a libvlc media player waits for a callback that is running and drops queued ones, so it
//   never works with an engine that is being deleted;
// - closeEvents, at the start of the teardown, shuts the handler off and detaches it (a detach waits
//   for a running callback), so no late event reaches the video area, the bar or the controller after
//   they are destroyed.
#include "PlayLogic.h"
#include <atomic>
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

template <typename T>
T* LoadShared(T* const& slot) {
    return __atomic_load_n(&slot, __ATOMIC_ACQUIRE);
}

template <typename T>
void StoreShared(T*& slot, T* value) {
    __atomic_store_n(&slot, value, __ATOMIC_RELEASE);
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

// Shared by the member functions (user-interface thread) and handleProc (libvlc's thread), which passes
// the engine it read once.
void ApplyVolumeTo(MediaPlayer* engine, bool muted, int volume) {
    if (!engine)
        return;
    if (engine->type() == kPlayerVlc) {
        if (engine->isMuted() != muted)
            engine->toggleMute();
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

void handleProc(const libvlc_event_t* event, void*) {
    try {
        if (!event || EventsClosed.load())
            return;
        PlayLogic* logic = LoadShared(AppGlobals.playLogic);
        PlayBar* bar = LoadShared(AppGlobals.playBar);
        MediaPlayer* engine = logic ? LoadShared(logic->player) : nullptr;
        switch (event->type) {
            case libvlc_MediaPlayerPlaying:
                OutputDebugStringW(L"handleProc: libvlc_MediaPlayerPlaying\n");
                UpdateVisibilityOf(engine);
                if (logic)
                    ApplyVolumeTo(engine, logic->muted, logic->volume);
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
                UpdateVisibilityOf(engine);
                if (bar)
                    bar->updateTime();
                break;
            default:
                // The end of the media is found by the timer step (state "ended").
                break;
        }
    } catch (...) {
        // Nothing may unwind into the bridge's thread.
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
    if (auto* vlc = dynamic_cast<VlcPlayer*>(engine)) {
        vlc->eventCallback = handleProc;
        if (vlc->eventManager)
            vlc->attachEvents();
    }
    // Published only once it is complete: handleProc may read it from now on.
    StoreShared(player, engine);
    return true;
}

void PlayLogic::releasePlayer() {
    MediaPlayer* engine = player;
    if (!engine)
        return;
    // Cleared first, so that an event handled from now on finds no engine rather than one being released.
    StoreShared(player, static_cast<MediaPlayer*>(nullptr));
    boundWindow = nullptr;
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
    if (player) {
        player->stop();
        WaitWhilePlaying(*this);
    }
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
    int index = playlist.currentIndex() + step;
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

void PlayLogic::timerProc() {
    if (!player)
        return;
    PlayerState state = player->getState();
    if (state == kStatePlaying) {
        applyVolume();
    } else if (state == kStateEnded) {
        OutputDebugStringW(L"Playlogic: timerProc: Ended\n");
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
