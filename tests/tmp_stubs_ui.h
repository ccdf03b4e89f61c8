#pragma once
// Temporary stand-in: what the stand-ins in tmp_stubs_ui.cpp recorded, for the tests of the windows
// around the engines until the controller, start-up, control bar and text modules land.
#include <string>

struct UiStubRecord {
    int updateButtons = 0;
    int stopAutoHide = 0;
    int noteActivity = 0;
    int timerSteps = 0;
    int setVolumeCalls = 0;
    int stopCalls = 0;
    int playCalls = 0;
    int pauseCalls = 0;
    int quorraReleased = 0;
    std::wstring openedPath;
};
extern UiStubRecord UiStubs;
