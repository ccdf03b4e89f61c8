#pragma once
#include <mutex>
#include <string>
#include <vlc/vlc.h>
#include "MediaPlayer.h"

// The engine for every playable file that is not a SWF movie, on libvlc.
class VlcPlayer : public MediaPlayer {
  public:
    VlcPlayer();
    ~VlcPlayer() override;

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
    void setWindow(HWND videoWindow) override;
    bool isMuted() override;
    void toggleMute() override;
    bool hasVideo() override;
    void setMute(bool on) override;

    void attachEvents();
    // Takes the handler off the five events; returns only when no call of it is running.
    void detachEvents();

    std::string version;
    libvlc_instance_t* instance = nullptr;
    libvlc_media_player_t* mediaPlayer = nullptr;
    libvlc_media_t* media = nullptr;
    libvlc_event_manager_t* eventManager = nullptr;
    libvlc_callback_t eventCallback = nullptr;

  private:
    void forgetLength();

    // Guards the length cache against an answer about the previous file: each file change and stop
    // counts up, and a length asked before one is not kept after it.
    std::mutex lengthLock;
    unsigned lengthEpoch = 0;
};
