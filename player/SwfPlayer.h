#pragma once
#include "MediaPlayer.h"

// The engine for SWF movies: a thin adapter over the SWF control library, keeping the state itself
// because the library raises no events.
class SwfPlayer : public MediaPlayer {
  public:
    SwfPlayer() = default;
    ~SwfPlayer() override = default;

    PlayerType type() override;
    bool init(HWND mainWindow) override;
    void release() override;
    bool open(const wchar_t* path) override;
    void play() override;
    bool isPlaying() override;
    void pause() override;
    void stop() override;
    MediaTime getTime() override;
    MediaTime getLength() override;
    void setTime(MediaTime time) override;
    VolumeLevel getVolume() override;
    bool setVolume(VolumeLevel level) override;
    PlayerState getState() override;
    void setState(PlayerState state) override;
    void setWindow(HWND videoWindow) override;
    bool isMuted() override;
    void toggleMute() override;

    HWND window = nullptr;
    PlayerState state = kStateNothing;
    bool muted = false;
};
