#pragma once
#include <windows.h>

class PlayLogic;
class PlayWnd;
class PlayBar;
class MediaPlayerApp;

// The program's one global state record, zeroed at start-up.
struct AppGlobalsRecord {
    HINSTANCE instance;
    HWND mainWindow;
    HMENU menu;            // nothing sets it
    PlayLogic* playLogic;  // owned
    PlayWnd* playWnd;      // the singleton, second reference
    PlayBar* playBar;      // the singleton, second reference
    UINT_PTR timerId;
    BOOL hasSavedPlacement;
    WINDOWPLACEMENT savedPlacement;
    BOOL fullScreen;
    BOOL layoutReady;
    MediaPlayerApp* app;  // owned
};
#if !defined(_WIN64)
static_assert(sizeof(AppGlobalsRecord) == 88, "the state record is 88 bytes on 32-bit Windows");
#endif
static_assert(sizeof(WINDOWPLACEMENT) == 44, "the stored placement is 44 bytes");

extern AppGlobalsRecord AppGlobals;

// The product's constants.
extern const wchar_t kProductName[];      // "Vantrel"
extern const wchar_t kAdPageAddress[];    // the advertisement page
extern const wchar_t kMainWindowClass[];  // "Player_WndClass"
