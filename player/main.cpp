#include <windows.h>
#include "Startup.h"

// Nothing may unwind out of the entry point: whatever escapes start-up or the loop ends the process
// with a failure code instead of a crash.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
    try {
        return RunPlayer(instance, commandLine, showCommand);
    } catch (...) {
        return 1;
    }
}
