// The engine on libvlc. The owner makes every call on the user-interface thread. libvlc calls the event
// callback that the owner stores in eventCallback on a thread of its own (on Windows, the thread that
// raises the event, holding libvlc's locks), and no call of this engine may be made from there: the
// queries take libvlc's input lock, which stop and open hold while they wait for that very thread. The
// controller's callback only posts to the main window (PlayLogic.cpp).
//
// The length cache is still kept safe for a caller on another thread: a length that libvlc gave for the
// previous file is never kept once stop or open has run (lengthEpoch).
#include "VlcPlayer.h"
#include <vector>

namespace {

// The events the controller listens to, in the order they are attached.
constexpr libvlc_event_type_t kEngineEvents[] = {
    libvlc_MediaPlayerTimeChanged, libvlc_MediaPlayerPlaying,    libvlc_MediaPlayerPaused,
    libvlc_MediaPlayerStopped,     libvlc_MediaPlayerEndReached,
};

// libvlc takes paths in UTF-8. The whole path is converted, however long: a fixed buffer would turn a
// deep folder of CJK names (three bytes a character) into an empty text. A path that cannot be written
// in UTF-8 (an unpaired surrogate) names no file libvlc could open, so it is refused.
bool PathToUtf8(const wchar_t* path, std::string& out) {
    out.clear();
    int length = path ? lstrlenW(path) : 0;
    if (length == 0)
        return true;
    int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, path, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return false;
    std::vector<char> buffer(static_cast<size_t>(size));
    if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, path, length, buffer.data(), size, nullptr, nullptr) != size)
        return false;
    out.assign(buffer.data(), buffer.size());
    return true;
}

}  // namespace

VlcPlayer::VlcPlayer() {
    OutputDebugStringW(L"VlcPlayer: engine\n");
    const char* text = libvlc_get_version();
    if (text)
        version = text;
}

VlcPlayer::~VlcPlayer() {
    release();
}

PlayerType VlcPlayer::type() {
    return kPlayerVlc;
}

// What was made before a failing step stays in its field; the owner's release gives it back.
bool VlcPlayer::init(HWND) {
    static const char* const options[] = {"--no-video-title-show", "--no-keyboard-events", "--no-mouse-events"};
    OutputDebugStringW(L"VlcPlayer: libvlc instance\n");
    instance = libvlc_new(3, options);
    if (!instance)
        return false;
    OutputDebugStringW(L"VlcPlayer: media player\n");
    mediaPlayer = libvlc_media_player_new(instance);
    if (!mediaPlayer)
        return false;
    eventManager = libvlc_media_player_event_manager(mediaPlayer);
    if (!eventManager)
        return false;
    libvlc_video_set_key_input(mediaPlayer, 0);
    libvlc_video_set_mouse_input(mediaPlayer, 0);
    return true;
}

void VlcPlayer::attachEvents() {
    for (libvlc_event_type_t event : kEngineEvents)
        libvlc_event_attach(eventManager, event, eventCallback, nullptr);
}

// The bridge waits for a callback that is running before a detach returns, so once this is done no
// event reaches the handler any more.
void VlcPlayer::detachEvents() {
    if (!eventManager || !eventCallback)
        return;
    for (libvlc_event_type_t event : kEngineEvents)
        libvlc_event_detach(eventManager, event, eventCallback, nullptr);
}

// Releasing the media player waits for an event callback that is running and drops those not yet
// delivered, so the handler never runs after this for this engine.
void VlcPlayer::release() {
    if (mediaPlayer) {
        OutputDebugStringW(L"VlcPlayer: media player release\n");
        libvlc_media_player_release(mediaPlayer);
    }
    mediaPlayer = nullptr;
    if (media)
        libvlc_media_release(media);
    media = nullptr;
    if (instance) {
        OutputDebugStringW(L"VlcPlayer: libvlc release\n");
        libvlc_release(instance);
    }
    instance = nullptr;
}

bool VlcPlayer::open(const wchar_t* path) {
    std::string utf8;
    if (!PathToUtf8(path, utf8))
        return false;
    if (!mediaPlayer)
        return false;
    if (isPlaying())
        stop();
    if (media)
        libvlc_media_release(media);
    OutputDebugStringW(L"VlcPlayer: media\n");
    media = libvlc_media_new_path(instance, utf8.c_str());
    if (!media)
        return false;
    libvlc_media_player_set_media(mediaPlayer, media);
    // A paused engine is not stopped above, so the file change itself clears the length.
    forgetLength();
    return true;
}

void VlcPlayer::play() {
    OutputDebugStringW(L"VlcPlayer: play\n");
    if (mediaPlayer)
        libvlc_media_player_play(mediaPlayer);
}

bool VlcPlayer::isPlaying() {
    return mediaPlayer && libvlc_media_player_is_playing(mediaPlayer) != 0;
}

// libvlc toggles between pause and play.
void VlcPlayer::pause() {
    if (mediaPlayer)
        libvlc_media_player_pause(mediaPlayer);
}

void VlcPlayer::stop() {
    if (mediaPlayer)
        libvlc_media_player_stop(mediaPlayer);
    forgetLength();
}

// After the libvlc call that changes the file: an answer about the old one that is still on its way is
// then refused by getLength.
void VlcPlayer::forgetLength() {
    std::lock_guard<std::mutex> guard(lengthLock);
    ++lengthEpoch;
    cachedLength = 0;
}

MediaTime VlcPlayer::getTime() {
    return mediaPlayer ? libvlc_media_player_get_time(mediaPlayer) : 0;
}

// libvlc knows the length only some time after play; until it answers a positive value it is asked
// again on every call. stop and open clear the cache, so each newly opened file is asked afresh.
MediaTime VlcPlayer::getLength() {
    if (!mediaPlayer)
        return 0;
    unsigned epoch;
    {
        std::lock_guard<std::mutex> guard(lengthLock);
        MediaTime cached = cachedLength;
        if (cached > 0)
            return cached;
        epoch = lengthEpoch;
    }
    MediaTime length = libvlc_media_player_get_length(mediaPlayer);
    std::lock_guard<std::mutex> guard(lengthLock);
    if (epoch == lengthEpoch)
        cachedLength = length;
    return length;
}

void VlcPlayer::setTime(MediaTime time) {
    if (mediaPlayer)
        libvlc_media_player_set_time(mediaPlayer, time);
}

VolumeLevel VlcPlayer::getVolume() {
    return mediaPlayer ? libvlc_audio_get_volume(mediaPlayer) : 0;
}

bool VlcPlayer::setVolume(VolumeLevel level) {
    return mediaPlayer && libvlc_audio_set_volume(mediaPlayer, level) == 0;
}

PlayerState VlcPlayer::getState() {
    return mediaPlayer ? static_cast<PlayerState>(libvlc_media_player_get_state(mediaPlayer)) : kStateNothing;
}

void VlcPlayer::setWindow(HWND videoWindow) {
    if (mediaPlayer)
        libvlc_media_player_set_hwnd(mediaPlayer, videoWindow);
}

bool VlcPlayer::isMuted() {
    return mediaPlayer && libvlc_audio_get_mute(mediaPlayer) != 0;
}

void VlcPlayer::toggleMute() {
    if (mediaPlayer)
        libvlc_audio_set_mute(mediaPlayer, isMuted() ? 0 : 1);
}

void VlcPlayer::setMute(bool on) {
    if (mediaPlayer)
        libvlc_audio_set_mute(mediaPlayer, on ? 1 : 0);
}

bool VlcPlayer::hasVideo() {
    return mediaPlayer && libvlc_video_get_track_count(mediaPlayer) != 0;
}
