#pragma once
#include <windows.h>
#include <atomic>
#include <cstdint>

using PlayerType = int;  // 0 none, 1 VlcPlayer, 2 SwfPlayer
constexpr PlayerType kPlayerNone = 0;
constexpr PlayerType kPlayerVlc = 1;
constexpr PlayerType kPlayerSwf = 2;

using PlayerState = int;  // libvlc's numbering
constexpr PlayerState kStateNothing = 0;
constexpr PlayerState kStateOpening = 1;
constexpr PlayerState kStateBuffering = 2;
constexpr PlayerState kStatePlaying = 3;
constexpr PlayerState kStatePaused = 4;
constexpr PlayerState kStateStopped = 5;
constexpr PlayerState kStateEnded = 6;
constexpr PlayerState kStateError = 7;

using MediaTime = int64_t;  // milliseconds (VLC engine) or frames (SWF engine)
using VolumeLevel = int;    // 0..100

// The engine interface. The slot order of the virtual table is part of the design: destructor first.
class MediaPlayer {
  public:
    MediaPlayer() = default;
    virtual ~MediaPlayer() = default;
    MediaPlayer(const MediaPlayer&) = delete;
    MediaPlayer& operator=(const MediaPlayer&) = delete;

    virtual PlayerType type() { return kPlayerNone; }
    virtual bool init(HWND mainWindow) = 0;
    virtual void release() = 0;
    virtual bool open(const wchar_t* path) = 0;
    virtual void play() = 0;
    virtual bool isPlaying() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    virtual MediaTime getTime() = 0;
    virtual MediaTime getLength() = 0;
    virtual void setTime(MediaTime time) = 0;
    virtual VolumeLevel getVolume() = 0;
    virtual bool setVolume(VolumeLevel level) = 0;
    virtual PlayerState getState() = 0;
    virtual void setState(PlayerState) {}
    virtual void setWindow(HWND videoWindow) = 0;
    virtual bool isMuted() = 0;
    virtual void toggleMute() = 0;
    virtual bool hasVideo() { return true; }
    // Mutes or unmutes whatever the engine reports now; an engine whose mute takes effect later overrides it.
    virtual void setMute(bool on) {
        if (isMuted() != on)
            toggleMute();
    }

    // Atomic: an engine may be asked for its length on another thread while the owner stops it.
    std::atomic<MediaTime> cachedLength{0};
};
