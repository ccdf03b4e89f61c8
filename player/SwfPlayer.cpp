// The SWF engine forwards each operation to the SWF control library with the instance handle that the
// video area made for it. The library raises no events, so the engine keeps the state number itself,
// set right after the library call it stands for; it never reaches "ended", so the controller's
// end-of-media step never runs for a movie.
#include "SwfPlayer.h"
#include "quorra.h"

PlayerType SwfPlayer::type() {
    return kPlayerSwf;
}

bool SwfPlayer::init(HWND) {
    return true;
}

// The library instance belongs to the video area, which ends it when it replaces the window.
void SwfPlayer::release() {}

bool SwfPlayer::open(const wchar_t* path) {
    if (isPlaying())
        stop();
    if (!quorra_open(window, path))
        return false;
    setState(kStateOpening);
    return true;
}

void SwfPlayer::play() {
    if (quorra_play(window))
        setState(kStatePlaying);
}

bool SwfPlayer::isPlaying() {
    return getState() == kStatePlaying;
}

void SwfPlayer::pause() {
    if (quorra_pause(window))
        setState(kStatePaused);
}

// The library destroys the movie's control here, so stopped is reached whatever it answers.
void SwfPlayer::stop() {
    quorra_stop(window);
    setState(kStateStopped);
}

MediaTime SwfPlayer::getTime() {
    return quorra_getTime(window);
}

MediaTime SwfPlayer::getLength() {
    return quorra_getLength(window);
}

// Putting a frame halts the movie; a seek during playback carries on playing.
void SwfPlayer::setTime(MediaTime time) {
    quorra_setTime(window, time);
    if (getState() == kStatePlaying)
        play();
}

VolumeLevel SwfPlayer::getVolume() {
    return quorra_getVolume();
}

bool SwfPlayer::setVolume(VolumeLevel level) {
    quorra_setVolume(level);
    return true;
}

PlayerState SwfPlayer::getState() {
    return state;
}

void SwfPlayer::setState(PlayerState newState) {
    state = newState;
}

void SwfPlayer::setWindow(HWND videoWindow) {
    window = videoWindow;
}

bool SwfPlayer::isMuted() {
    return muted;
}

void SwfPlayer::toggleMute() {
    muted = !muted;
}
