#pragma once
#include <string>
#include "MediaPlayer.h"
#include "PlayListData.h"

struct PlayerTypeEntry {
    PlayerType type;
    const wchar_t* extension;
};
extern const PlayerTypeEntry PlayerTypeTable[];

PlayerType PlayerTypeForFile(const wchar_t* path);

// Makes a new, uninitialised engine for a type (null for a type without one). Tests put a factory of
// engine doubles here; the program keeps the default.
using EngineFactory = MediaPlayer* (*)(PlayerType type);
MediaPlayer* MakeDefaultEngine(PlayerType type);
extern EngineFactory MakeEngine;

// libvlc's event callback; runs on the thread libvlc raises the event on. It only posts
// WM_ENGINE_EVENT to the main window, which hands it to PlayLogic::onEngineEvent.
struct libvlc_event_t;
void handleProc(const libvlc_event_t* event, void* userData);

// wParam: the libvlc event type in its low kEngineEventTypeBits bits and, above them, the event generation
// it was raised in (as many of its low bits as fit: 20 in a 32-bit WPARAM); lParam: the event's new time
// for TimeChanged, else 0.
constexpr UINT WM_ENGINE_EVENT = WM_APP + 0x50;
constexpr int kEngineEventTypeBits = 12;
WPARAM EngineEventWParam(int type, unsigned generation);

// The playback controller: owns the engine and the playlist, keeps the user's volume and mute.
class PlayLogic {
  public:
    PlayLogic();
    virtual ~PlayLogic();
    PlayLogic(const PlayLogic&) = delete;
    PlayLogic& operator=(const PlayLogic&) = delete;

    bool openPath(const wchar_t* path);
    void play();
    void pause();
    void stop();
    void navigate(int step);
    void timerProc();
    bool seek(int direction);
    void toggleMute();
    void setVolume(int level);
    void stepVolume(int direction);
    void applyVolume();
    bool createMediaPlayer(PlayerType type);
    void updateVideoVisibility();
    // What handleProc posted (WM_ENGINE_EVENT's parameters), on the user-interface thread.
    void onEngineEvent(WPARAM wParam, LPARAM lParam);
    void setCurrentPath(const wchar_t* path);
    bool isPlaying();

    PlayerState getState();
    MediaTime getTime();
    MediaTime getLength();
    void setTime(MediaTime time);
    PlayerType currentType();
    bool isMuted() const { return muted; }
    int getVolume() const { return volume; }
    const wchar_t* getCurrentTitle() const { return currentTitle.c_str(); }
    PlayListData& getPlaylist() { return playlist; }
    bool isSupported(const wchar_t* path);
    PlayerType getPlayerType() const { return playerType; }
    bool hasItems() const;
    bool canNavigate() const;
    void releasePlayer();
    bool alwaysTrue() const { return true; }
    // The start of the teardown: from here on libvlc's events are no longer handled.
    void closeEvents();
    // True once after a timer step found that the file the user opened ended or failed before it ever
    // played: the open failed after all, and the caller reports it.
    bool takeOpenFailure();

    MediaPlayer* player = nullptr;
    PlayListData playlist;
    std::wstring currentPath;
    std::wstring currentTitle;
    int volume = 100;
    bool muted = false;
    PlayerType playerType = kPlayerNone;

  private:
    void openNearest(int index, int step);
    void skipCurrentItem(int step);

    HWND boundWindow = nullptr;  // the video window the engine was last given
    // How the current file was reached: 0 by the user's own open, +1 or -1 by navigate (Next and the end of
    // the file before, Previous).
    int arrivalStep = 0;
    // The current file has reported a playback time past 0 (a TimeChanged of its own event generation).
    bool hasPlayed = false;
    bool openFailed = false;
    // The current file's length as last asked on this thread; 0 until known, cleared on every file change
    // and stop. The time bar shows it with the time each TimeChanged brings.
    MediaTime knownLength = 0;
};
