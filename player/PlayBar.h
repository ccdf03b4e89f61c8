#pragma once
#include <windows.h>
#include <map>
#include <string>
#include "MediaPlayer.h"

namespace Gdiplus {
class Image;
}

// Posted to the bar window when updateButtons is asked for on another thread.
constexpr UINT WM_PLAYBAR_UPDATEBUTTONS = WM_APP + 0x40;

struct BackBuffer {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    int width = 0;
    int height = 0;
};

// What a time column drawn into `composite` shows: the same values give the same pixels.
struct TimeColumnShown {
    bool valid = false;
    RECT rect = {0, 0, 0, 0};
    int fill = 0;
    HFONT font = nullptr;
    std::wstring text;
};

struct SkinEntry {
    int id;
    int resource;  // PNG resource id
    const wchar_t* tooltip;
};
extern const SkinEntry SkinTable[];

struct ButtonSet {
    int show[2];
    int hide[2];
};

// The skinned control bar at the bottom of the main window. One object per process.
class PlayBar {
  public:
    static PlayBar* instance();
    static void destroyInstance();

    virtual ~PlayBar();
    PlayBar(const PlayBar&) = delete;
    PlayBar& operator=(const PlayBar&) = delete;

    bool create(HINSTANCE instance, HWND parent);
    bool createFontAndTips();
    bool addTooltips();
    void destroyWindows();
    int barHeight();
    Gdiplus::Image* image(int id);
    int placeControl(int id, int x, int direction, int yOffset);
    void placeTimeBar(int x, int width);
    void layout();
    // On another thread it only posts itself to the user-interface thread, without waiting for it.
    void updateButtons();
    void showControl(HWND control, bool show, bool enable);
    void drawButton(const DRAWITEMSTRUCT* item);
    void copyBackground(HDC dc, int id);
    COLORREF backgroundColor() const { return RGB(28, 28, 28); }

    // Sliders, drawing and auto-hide.
    bool lock();  // false when the lock could not be taken
    void unlock();
    bool hasBuffers() const;
    bool createBuffer(BackBuffer& buffer, HDC memoryDC, int width, int height);
    void freeBuffer(BackBuffer* buffer);
    void ensureBuffers();
    void compose();
    void paint(HDC dc);
    void present(HDC dc);
    void restoreColumn(int id, HDC dc);
    bool controlRect(RECT* rect, int id);
    void drawTimeBar(HDC dc);
    // The time column's track, without and with the played part's whole tiles, drawn once per layout.
    bool ensureTimeStrips(const RECT& rect);
    void freeTimeStrips();
    void drawVolumeBar(HDC dc);
    void updateTime();
    // The time an engine event brought and the length the controller keeps, instead of asking the engine.
    void updateTime(MediaTime time, MediaTime total);
    void updateVolume();
    void onMouseDown(LPARAM lParam);
    void onDrag(LPARAM lParam);
    void endDrag();
    void noteActivity();
    void stopAutoHide();
    void autoHideTick();
    void reset();

    HWND window = nullptr;
    std::map<int, Gdiplus::Image*> images;
    HBRUSH backgroundBrush = nullptr;
    Gdiplus::Image* barImage = nullptr;
    bool barImageOpaque = false;  // no pixel of barImage lets what is under it show
    Gdiplus::Image* volumeKnob = nullptr;
    Gdiplus::Image* timeFill = nullptr;
    Gdiplus::Image* timeKnob = nullptr;
    BackBuffer composite;
    BackBuffer background;
    // `background` with the time bar's track tiled over it, and the same with the played part tiled
    // over the whole track: a time update copies slices of these instead of drawing every tile again.
    BackBuffer timeTrack;
    BackBuffer timeFilled;
    RECT timeStripRect = {0, 0, 0, 0};
    // What the time column in `composite` shows, so that an update that would change no pixel of it is
    // skipped; and which columns of `composite` have changed since they last reached the screen.
    TimeColumnShown timeShown;
    bool timeColumnPending = false;
    bool volumeColumnPending = false;
    int shownVolume = 100;
    MediaTime position = 0;
    MediaTime length = 0;
    int dragTarget = 0;
    POINT lastCursorPos = {0, 0};
    DWORD lastActivityTick = 0;
    BOOL hasContent = FALSE;
    HANDLE drawLock = nullptr;
    HWND tooltip = nullptr;
    HFONT font = nullptr;
    // The knobs' widths, read once when the skin is loaded, so drawing never asks the GDI+ images again
    // (an image that is busy answers 0). 0 without a knob.
    int timeKnobWidth = 0;
    int volumeKnobWidth = 0;

  private:
    PlayBar();
    void showTime();
};

INT_PTR CALLBACK PlayBarDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
HBITMAP CreateDib32(int width, int height, void** pixels);
// opaque: the image has no translucent pixel (IsOpaqueImage), so whole copies may be copied, not drawn.
void DrawTiled(HDC dc, Gdiplus::Image* image, int x, int y, int width, bool opaque = false);
std::wstring FormatPlayTime(MediaTime value, PlayerType type);
// The time bar's text: the length, then the elapsed time.
std::wstring FormatTimeText(MediaTime length, MediaTime position, PlayerType type);
// What drawTimeBar formats its text with; FormatTimeText unless a test puts one here that fails.
using TimeTextFunction = std::wstring (*)(MediaTime length, MediaTime position, PlayerType type);
extern TimeTextFunction TimeTextFormatter;
// A skin PNG from a module's "PNG" resources; null when it is missing or its bytes do not decode, so
// that the layout treats it as missing.
Gdiplus::Image* LoadSkinImage(HINSTANCE module, int resource);
bool IsOpaqueImage(Gdiplus::Image* image);

// Slider arithmetic, kept apart from the windows so that it can be checked on its own.
int TimeBarFill(MediaTime position, MediaTime length, int barWidth, int knobWidth);
int VolumeKnobOffset(int volume, int barImageWidth, int knobWidth);
double SliderFraction(int x, int left, int right, int knobWidth);
