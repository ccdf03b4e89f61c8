// The control bar's sliders, back buffers, time text, slider mouse handling and full-screen auto-hide.
//
// Threads: the program calls all of this on the user-interface thread (libvlc's events reach updateTime
// through the main window, PlayLogic::onEngineEvent), but updateTime, and showTime, updateVolume and
// present under it, may also run on another thread: composite is drawn into and copied from only under
// drawLock, the window is reached through a DC of its own and never by a message, and position, length
// and shownVolume are plain fields. layout, paint, the mouse handling and the auto-hide stay on the
// user-interface thread. drawLock is not recursive: every holder lets it go before calling present,
// which takes it itself.
#include "PlayBar.h"

// objidl.h first: WIN32_LEAN_AND_MEAN leaves out the COM types that gdiplus.h needs.
#include <objidl.h>
#include <gdiplus.h>
#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "AppGlobals.h"
#include "Hyperlink.h"
#include "PlayLogic.h"
#include "TextUtil.h"
#include "UniqueHandle.h"
#include "resource.h"

TimeTextFunction TimeTextFormatter = FormatTimeText;

namespace {

// The columns that reach the screen, in this order.
const int kColumns[] = {IDC_VOLUME_BAR, IDC_TIME_BAR};

constexpr COLORREF kTimeTextColor = RGB(32, 32, 32);
constexpr DWORD kAutoHideDelay = 5000;  // milliseconds without a move before the bar goes
constexpr int kMoveThreshold = 5;       // pixels that count as a move

int WidthOf(Gdiplus::Image* image) {
    return image ? static_cast<int>(image->GetWidth()) : 0;
}

int HeightOf(Gdiplus::Image* image) {
    return image ? static_cast<int>(image->GetHeight()) : 0;
}

void DrawAt(HDC dc, Gdiplus::Image* image, int x, int y, int width, int height) {
    Gdiplus::Graphics graphics(dc);
    graphics.DrawImage(image, x, y, width, height);
}

PlayerState EngineState(MediaPlayer* engine) {
    return engine ? engine->getState() : kStateNothing;
}

}  // namespace

int TimeBarFill(MediaTime position, MediaTime length, int barWidth, int knobWidth) {
    if (length <= 0)
        return 0;
    MediaTime travel = barWidth - knobWidth;
    MediaTime fill = position * travel / length;
    if (fill > travel)
        fill = travel;
    if (fill < 0)
        fill = 0;
    return static_cast<int>(fill);
}

int VolumeKnobOffset(int volume, int barImageWidth, int knobWidth) {
    return volume * (barImageWidth - knobWidth) / 100;
}

double SliderFraction(int x, int left, int right, int knobWidth) {
    int half = knobWidth / 2;
    int a = left + half;
    int b = right - half;
    // A slider no wider than its knob has no travel; dividing by it would give NaN or infinity.
    if (b <= a)
        return x <= a ? 0.0 : 1.0;
    double g = static_cast<double>(x - a) / static_cast<double>(b - a);
    if (g < 0.0)
        g = 0.0;
    if (g > 1.0)
        g = 1.0;
    return g;
}

std::wstring FormatTimeText(MediaTime length, MediaTime position, PlayerType type) {
    wchar_t text[kTextBufferSize];
    // Length first, then the elapsed time.
    FormatString(text, L"%s / %s", FormatPlayTime(length, type).c_str(), FormatPlayTime(position, type).c_str());
    return text;
}

std::wstring FormatPlayTime(MediaTime value, PlayerType type) {
    // The values are 64-bit: a 32-bit long format would cut frame numbers and, on 32-bit Windows,
    // misread every argument after the first.
    wchar_t text[64] = {};
    int64_t v = value;
    if (type == kPlayerSwf) {
        swprintf(text, 64, L"%" PRId64, v);
    } else {
        int64_t s = v / 1000;
        int64_t m = s / 60;
        swprintf(text, 64, L"%02" PRId64 L":%02" PRId64 L":%02" PRId64, m / 60, m % 60, s % 60);
    }
    return text;
}

HBITMAP CreateDib32(int width, int height, void** pixels) {
    if (pixels)
        *pixels = nullptr;
    if (width <= 0 || height <= 0)
        return nullptr;
    size_t stride = ((static_cast<size_t>(width) * 32 + 31) / 8) & ~static_cast<size_t>(3);
    size_t size = stride * static_cast<size_t>(height);
    if (size > 0x7fffffff)
        return nullptr;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(size);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return nullptr;
    // Pure black: the colour key makes every pixel not drawn yet transparent.
    if (bits)
        memset(bits, 0, size);
    if (pixels)
        *pixels = bits;
    return bitmap;
}

namespace {

// Whole pixels: the squeezed last copy must not smear into its neighbours.
void SetTileDrawing(Gdiplus::Graphics& graphics) {
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
}

// An image without a translucent pixel covers what lies under it, so a copy drawn once is each whole
// copy's pixels: it is drawn into a memory bitmap once and copied, one BitBlt a copy instead of one GDI+
// draw. False when that bitmap cannot be made; then everything is drawn as usual.
bool CopyWholeTiles(HDC dc, Gdiplus::Image* image, int x, int y, int tile, int height, int copies) {
    UniqueHdc memory(CreateCompatibleDC(dc));
    UniqueHbitmap bitmap(memory ? CreateDib32(tile, height, nullptr) : nullptr);
    if (!bitmap)
        return false;
    SelectScope selected(memory.get(), bitmap.get());
    {
        Gdiplus::Graphics graphics(memory.get());
        SetTileDrawing(graphics);
        if (graphics.DrawImage(image, Gdiplus::Rect(0, 0, tile, height)) != Gdiplus::Ok)
            return false;
    }
    for (int i = 0; i < copies; ++i)
        BitBlt(dc, x + i * tile, y, tile, height, memory.get(), 0, 0, SRCCOPY);
    return true;
}

int CommonMultiple(int a, int b) {
    int x = a, y = b;
    while (y != 0) {
        const int r = x % y;
        x = y;
        y = r;
    }
    return a / x * b;
}

// DrawTiled over a memory DC whose pixels repeat every `repeat` columns from x on, over the whole width
// (the bar's background: its image tiled from the bar's left edge). A copy blends with what lies under
// it, so every block of copies as wide as both repeats together comes out the same: the first block is
// drawn copy by copy and the rest copied from it. The squeezed last copy is drawn as always.
void DrawTiledOverRepeats(HDC dc, Gdiplus::Image* image, int x, int y, int width, int repeat) {
    const int tile = image ? WidthOf(image) : 0;
    const int copies = tile > 0 && width > 0 ? width / tile : 0;
    const int block = tile > 0 && repeat > 0 ? CommonMultiple(tile, repeat) : 0;
    if (block <= 0 || copies * tile < 2 * block) {
        DrawTiled(dc, image, x, y, width);
        return;
    }
    const int height = HeightOf(image);
    DrawTiled(dc, image, x, y, block);
    const int whole = copies * tile;
    for (int done = block; done < whole;) {
        const int more = done < whole - done ? done : whole - done;
        BitBlt(dc, x + done, y, more, height, dc, x, y, SRCCOPY);
        done += more;
    }
    if (whole < width) {
        Gdiplus::Graphics graphics(dc);
        SetTileDrawing(graphics);
        graphics.DrawImage(image, Gdiplus::Rect(x + whole, y, width - whole, height));
    }
}

}  // namespace

void DrawTiled(HDC dc, Gdiplus::Image* image, int x, int y, int width, bool opaque) {
    if (!image)
        return;
    int tile = WidthOf(image);
    if (tile <= 0)
        return;
    int height = HeightOf(image);
    int copies = width / tile;
    if (copies < 0)
        return;
    int offset = 0;
    int pass = 0;
    if (opaque && copies >= 2 && CopyWholeTiles(dc, image, x, y, tile, height, copies)) {
        offset = copies * tile;
        pass = copies;
    }
    Gdiplus::Graphics graphics(dc);
    SetTileDrawing(graphics);
    int copy = tile;
    for (; pass <= copies; ++pass) {
        if (offset + copy > width)
            copy = width - offset;
        if (copy > 0) {
            graphics.DrawImage(image, Gdiplus::Rect(x + offset, y, copy, height));
            offset += copy;
        }
    }
}

// lock and unlock pair by hand; everything in the bar holds drawLock through EventLock instead, so that
// nothing thrown while it is held (the time text allocates) can leave it taken for good.
bool PlayBar::lock() {
    return WaitForSingleObject(drawLock, INFINITE) == WAIT_OBJECT_0;
}

void PlayBar::unlock() {
    SetEvent(drawLock);
}

bool PlayBar::hasBuffers() const {
    return composite.dc && composite.bitmap;
}

bool PlayBar::createBuffer(BackBuffer& buffer, HDC memoryDC, int width, int height) {
    if (!memoryDC)
        return false;
    HBITMAP bitmap = CreateDib32(width, height, nullptr);
    if (!bitmap) {
        DeleteDC(memoryDC);
        return false;
    }
    SelectObject(memoryDC, bitmap);
    buffer.dc = memoryDC;
    buffer.bitmap = bitmap;
    buffer.width = width;
    buffer.height = height;
    return true;
}

void PlayBar::freeBuffer(BackBuffer* buffer) {
    if (!buffer) {
        freeBuffer(&composite);
        freeBuffer(&background);
        return;
    }
    // Whatever the time column showed is gone with the buffer.
    if (buffer == &composite)
        timeShown.valid = false;
    // The DC goes first so that the bitmap is no longer selected when it is deleted.
    if (buffer->dc)
        DeleteDC(buffer->dc);
    if (buffer->bitmap)
        DeleteObject(buffer->bitmap);
    *buffer = BackBuffer();
}

void PlayBar::ensureBuffers() {
    RECT client = {};
    GetClientRect(window, &client);
    int w = client.right - client.left;
    int h = client.bottom - client.top;
    // Buffers only grow: a narrower bar goes on using the larger ones.
    if (hasBuffers() && composite.width >= w && composite.height >= h)
        return;
    freeBuffer(&composite);
    freeBuffer(&background);
    freeTimeStrips();

    WindowDC windowDC(window);
    if (!windowDC.get())
        return;
    createBuffer(composite, CreateCompatibleDC(windowDC.get()), w, h);
    createBuffer(background, CreateCompatibleDC(windowDC.get()), w, h);
    if (background.dc) {
        if (barImage) {
            if (w != 0)
                DrawTiled(background.dc, barImage, 0, 0, w, barImageOpaque);
        } else {
            FillRect(background.dc, &client, backgroundBrush);
        }
    }
}

void PlayBar::compose() {
    if (!hasBuffers())
        return;
    BitBlt(composite.dc, 0, 0, composite.width, composite.height, background.dc, 0, 0, SRCCOPY);
    timeShown.valid = false;
    drawVolumeBar(composite.dc);
    drawTimeBar(composite.dc);
}

void PlayBar::paint(HDC dc) {
    {
        EventLock guard(drawLock);
        if (!guard.held())
            return;
        RECT area = {};
        GetClientRect(AppGlobals.mainWindow, &area);
        int width = area.right - area.left;
        // The pre-rendered background holds the same whole tiles (the skin's bar image is opaque, so the fill
        // under them does not show): one copy instead of a GDI+ draw per tile. The last copy, squeezed into
        // what is left, blends its edge with what lies under it and sits elsewhere for every width, so it is
        // drawn over the fill as before.
        const int tile = barImage ? static_cast<int>(barImage->GetWidth()) : 0;
        const int whole = tile > 0 ? width / tile * tile : 0;
        if (barImageOpaque && whole > 0 && background.dc && background.width / tile * tile >= whole &&
            background.height == barHeight()) {
            BitBlt(dc, 0, 0, whole, background.height, background.dc, 0, 0, SRCCOPY);
            if (whole < width) {
                RECT rest = {whole, area.top, width, area.bottom};
                FillRect(dc, &rest, backgroundBrush);
                DrawTiled(dc, barImage, whole, 0, width - whole);
            }
        } else {
            FillRect(dc, &area, backgroundBrush);
            if (width != 0)
                DrawTiled(dc, barImage, 0, 0, width, barImageOpaque);
        }
    }
    if (hasBuffers())
        present(dc);
}

// A paint copies both columns; an update copies only the columns drawn since they last reached the
// screen, and takes no window DC when there are none.
void PlayBar::present(HDC dc) {
    EventLock guard(drawLock);
    if (!guard.held() || (!hasContent && !dc) || !hasBuffers())
        return;
    if (!dc && !timeColumnPending && !volumeColumnPending)
        return;
    WindowDC target(window, dc);
    if (!target.get())
        return;
    const bool copyTime = dc || timeColumnPending;
    const bool copyVolume = dc || volumeColumnPending;
    timeColumnPending = false;
    volumeColumnPending = false;
    for (int id : kColumns) {
        RECT rect;
        if (!(id == IDC_TIME_BAR ? copyTime : copyVolume) || !controlRect(&rect, id))
            continue;
        int w = rect.right - rect.left;
        if (w > composite.width)
            w = composite.width;
        BitBlt(target.get(), rect.left, 0, w, composite.height, composite.dc, rect.left, 0, SRCCOPY);
    }
}

void PlayBar::restoreColumn(int id, HDC dc) {
    RECT rect;
    if (!controlRect(&rect, id))
        return;
    BitBlt(dc, rect.left, 0, rect.right - rect.left, barHeight(), background.dc, rect.left, 0, SRCCOPY);
}

bool PlayBar::controlRect(RECT* rect, int id) {
    if (!rect)
        return false;
    HWND control = window ? GetDlgItem(window, id) : nullptr;
    if (!control || !IsWindow(control))
        return false;
    GetWindowRect(control, rect);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(rect), 2);
    return true;
}

void PlayBar::drawVolumeBar(HDC dc) {
    RECT rect;
    Gdiplus::Image* bar = image(IDC_VOLUME_BAR);
    if (!bar || !controlRect(&rect, IDC_VOLUME_BAR))
        return;
    restoreColumn(IDC_VOLUME_BAR, dc);
    DrawAt(dc, bar, rect.left, rect.top, WidthOf(bar), HeightOf(bar));
    if (volumeKnob) {
        int x = rect.left + VolumeKnobOffset(shownVolume, WidthOf(bar), WidthOf(volumeKnob));
        int y = (rect.top + rect.bottom - HeightOf(volumeKnob)) / 2;
        DrawAt(dc, volumeKnob, x, y, WidthOf(volumeKnob), HeightOf(volumeKnob));
    }
    if (dc == composite.dc)
        volumeColumnPending = true;
}

bool PlayBar::ensureTimeStrips(const RECT& rect) {
    if (timeTrack.dc && timeFilled.dc && EqualRect(&timeStripRect, &rect))
        return true;
    freeTimeStrips();
    if (!background.dc)
        return false;
    const int width = background.width;
    const int height = background.height;
    if (!createBuffer(timeTrack, CreateCompatibleDC(background.dc), width, height) ||
        !createBuffer(timeFilled, CreateCompatibleDC(background.dc), width, height)) {
        freeTimeStrips();
        return false;
    }
    // Drawn with the same tiling, at the same place, over the same background as a full redraw would
    // be, so that a slice copied from here is that redraw's pixels.
    BitBlt(timeTrack.dc, 0, 0, width, height, background.dc, 0, 0, SRCCOPY);
    // The background repeats every copy of the bar image up to its squeezed last one (a plain fill: every
    // column); the track over it every copy of both. Where a strip reaches past that, no repeat is relied on.
    const int barTile = barImage ? WidthOf(barImage) : 1;
    const int plainEnd = barImage ? width / barTile * barTile : width;
    Gdiplus::Image* track = image(IDC_TIME_BAR);
    const int trackTile = track ? WidthOf(track) : 0;
    const int w = rect.right - rect.left;
    if (w != 0)
        DrawTiledOverRepeats(timeTrack.dc, track, rect.left, rect.top, w, rect.right <= plainEnd ? barTile : 0);
    BitBlt(timeFilled.dc, 0, 0, width, height, timeTrack.dc, 0, 0, SRCCOPY);
    const int tile = WidthOf(timeFill);
    if (tile > 0 && w > 0) {
        const int filled = w / tile * tile;
        const bool onWholeTrack = trackTile > 0 && rect.right <= plainEnd && filled <= w / trackTile * trackTile;
        DrawTiledOverRepeats(timeFilled.dc, timeFill, rect.left, rect.top, filled,
                             onWholeTrack ? CommonMultiple(trackTile, barTile) : 0);
    }
    timeStripRect = rect;
    return true;
}

void PlayBar::freeTimeStrips() {
    freeBuffer(&timeTrack);
    freeBuffer(&timeFilled);
    timeStripRect = RECT{0, 0, 0, 0};
}

void PlayBar::drawTimeBar(HDC dc) {
    RECT rect;
    Gdiplus::Image* bar = image(IDC_TIME_BAR);
    if (!bar || !controlRect(&rect, IDC_TIME_BAR))
        return;
    int k = timeKnobWidth;
    int w = rect.right - rect.left;
    int fill = TimeBarFill(position, length, w, k);
    PlayLogic* logic = AppGlobals.playLogic;
    MediaPlayer* engine = logic ? logic->player : nullptr;
    PlayerType type = engine ? engine->type() : kPlayerVlc;
    const std::wstring text = TimeTextFormatter(length, position, type);

    // libvlc reports the time about four times a second: most reports move neither the played part by
    // a pixel nor the text by a second, and the column would be drawn again exactly as it is.
    const bool intoComposite = dc && dc == composite.dc;
    if (intoComposite) {
        if (timeShown.valid && EqualRect(&timeShown.rect, &rect) && timeShown.fill == fill && timeShown.font == font &&
            timeShown.text == text)
            return;
        timeShown.valid = false;
    }

    if (ensureTimeStrips(rect)) {
        // The track and the played part's whole tiles come from the strips; only the squeezed last copy
        // of the played part is drawn, as the tiling would draw it.
        const int height = timeTrack.height;
        if (w > 0)
            BitBlt(dc, rect.left, 0, w, height, timeTrack.dc, rect.left, 0, SRCCOPY);
        const int tile = WidthOf(timeFill);
        const int whole = tile > 0 ? fill / tile * tile : 0;
        if (whole > 0)
            BitBlt(dc, rect.left, 0, whole, height, timeFilled.dc, rect.left, 0, SRCCOPY);
        if (fill > whole)
            DrawTiled(dc, timeFill, rect.left + whole, rect.top, fill - whole);
    } else {
        restoreColumn(IDC_TIME_BAR, dc);
        if (w != 0)
            DrawTiled(dc, bar, rect.left, rect.top, w);
        if (fill != 0)
            DrawTiled(dc, timeFill, rect.left, rect.top, fill);
    }
    if (timeKnob)
        DrawAt(dc, timeKnob, rect.left + fill, (rect.top + rect.bottom - HeightOf(timeKnob)) / 2, k,
               HeightOf(timeKnob));

    // Right-aligned by its ink, not by its advance: a font that draws its last glyphs past their
    // advances would otherwise put them past the time bar, where the column that reaches the screen ends.
    const TextInk ink = MeasureTextInk(font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)), text.c_str(),
                                       static_cast<int>(text.size()));
    SelectScope withFont(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kTimeTextColor);
    RECT strip = {rect.left, 0, rect.right - (ink.inkRight - ink.advance), rect.top};
    DrawTextW(dc, text.c_str(), -1, &strip, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE | DT_NOCLIP);
    if (intoComposite) {
        timeShown.rect = rect;
        timeShown.fill = fill;
        timeShown.font = font;
        timeShown.text = text;
        timeShown.valid = true;
        timeColumnPending = true;
    }
}

void PlayBar::updateTime() {
    PlayLogic* logic = AppGlobals.playLogic;
    if (logic) {
        PlayerState state = EngineState(logic->player);
        if (state == kStatePlaying || state == kStatePaused) {
            MediaPlayer* engine = logic->player;
            position = engine ? engine->getTime() : 0;
            engine = logic->player;
            length = engine ? engine->getLength() : 0;
        }
    }
    showTime();
}

// Taken, like the engine's own answers above, only while the engine plays or is paused: an event that
// was on its way when the file stopped changes nothing.
void PlayBar::updateTime(MediaTime time, MediaTime total) {
    PlayLogic* logic = AppGlobals.playLogic;
    PlayerState state = EngineState(logic ? logic->player : nullptr);
    if (state == kStatePlaying || state == kStatePaused) {
        position = time;
        length = total;
    }
    showTime();
}

void PlayBar::showTime() {
    if (position > length)
        position = length;
    if (position < 0)
        position = 0;
    if (hasBuffers()) {
        {
            EventLock guard(drawLock);
            // Checked again under the lock: layout may have replaced the buffers meanwhile.
            if (guard.held() && hasBuffers()) {
                drawTimeBar(composite.dc);
                hasContent = TRUE;
            }
        }
        present(nullptr);
    }
    updateVolume();
}

void PlayBar::updateVolume() {
    PlayLogic* logic = AppGlobals.playLogic;
    if (!logic)
        return;
    int v = logic->muted ? 0 : logic->volume;
    if (v == shownVolume)
        return;
    shownVolume = v;
    if (hasBuffers()) {
        {
            EventLock guard(drawLock);
            if (guard.held() && hasBuffers()) {
                drawVolumeBar(composite.dc);
                hasContent = TRUE;
            }
        }
        present(nullptr);
    }
}

void PlayBar::onMouseDown(LPARAM lParam) {
    dragTarget = 0;
    POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    RECT rect;
    if (controlRect(&rect, IDC_TIME_BAR) && PtInRect(&rect, point))
        dragTarget = IDC_TIME_BAR;
    else if (controlRect(&rect, IDC_VOLUME_BAR) && PtInRect(&rect, point))
        dragTarget = IDC_VOLUME_BAR;
    else
        return;
    SetCapture(window);
    if (GetCapture() == window)
        onDrag(lParam);
}

void PlayBar::onDrag(LPARAM lParam) {
    if (dragTarget == 0)
        return;
    // Signed: a cursor left of the bar window gives a negative x.
    int x = static_cast<short>(LOWORD(lParam));
    RECT rect;
    if (!controlRect(&rect, dragTarget))
        return;
    int k = dragTarget == IDC_TIME_BAR ? timeKnobWidth : volumeKnobWidth;
    double g = SliderFraction(x, rect.left, rect.right, k);
    PlayLogic* logic = AppGlobals.playLogic;
    if (dragTarget == IDC_TIME_BAR) {
        // Straight to the engine: a drag seeks to where the knob is, not by a step.
        if (logic && logic->player)
            logic->player->setTime(static_cast<MediaTime>(g * static_cast<double>(length)));
        updateTime();
    } else if (logic) {
        logic->setVolume(static_cast<int>(g * 100 + 0.5));
    }
}

void PlayBar::endDrag() {
    if (window && GetCapture() == window) {
        ReleaseCapture();
        dragTarget = 0;
    }
}

void PlayBar::noteActivity() {
    lastActivityTick = GetTickCount();
    GetCursorPos(&lastCursorPos);
}

void PlayBar::stopAutoHide() {
    lastActivityTick = 0;
}

void PlayBar::autoHideTick() {
    if (lastActivityTick == 0 || !window || !IsWindow(window))
        return;
    DWORD now = GetTickCount();
    bool visible = (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
    POINT cursor = {};
    GetCursorPos(&cursor);
    // The cursor over the bar keeps it. A hidden bar keeps its rectangle, so this applies only while the
    // bar is shown: otherwise a cursor moved onto the bar's place would never bring it back.
    RECT bounds;
    if (visible && GetWindowRect(window, &bounds) && PtInRect(&bounds, cursor))
        return;
    if (std::abs(cursor.x - lastCursorPos.x) < kMoveThreshold &&
        std::abs(cursor.y - lastCursorPos.y) < kMoveThreshold) {
        // Unsigned difference: a wrap of the tick count does no harm.
        if (now - lastActivityTick > kAutoHideDelay && visible) {
            ShowWindow(window, SW_HIDE);
            PostMessageW(AppGlobals.mainWindow, WM_SIZE, 0, 0);
        }
        return;
    }
    if (!visible) {
        ShowWindow(window, SW_SHOW);
        PostMessageW(AppGlobals.mainWindow, WM_SIZE, 0, 0);
    }
    lastActivityTick = now;
    GetCursorPos(&lastCursorPos);
}

void PlayBar::reset() {
    if (window && GetCapture() == window)
        ReleaseCapture();
    // Every stop comes here (end of a file, Next, a new file). In full screen the auto-hide stays armed
    // from now on: switched off, a hidden bar would never come back with the mouse and a shown one never
    // go, until something laid the main window out again. A hidden bar stays hidden until the next move.
    if (AppGlobals.fullScreen)
        noteActivity();
    else
        lastActivityTick = 0;
    length = 0;
    updateTime();
}
