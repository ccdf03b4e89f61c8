// The control bar: skin, buttons, layout and the dialog procedure. The sliders, the back buffers and the
// auto-hide are in PlayBarDraw.cpp.
//
// Threads: the bar's window belongs to the user-interface thread, and libvlc's events reach the bar there
// (PlayLogic::onEngineEvent). Should updateButtons still be called on another thread, it only posts
// WM_PLAYBAR_UPDATEBUTTONS and the dialog procedure runs it where the windows live: EnableWindow and
// ShowWindow on a control of another thread send messages and would wait for the user-interface thread,
// which may be sitting in PlayLogic's pause/stop polling.
#include "PlayBar.h"

#include <commctrl.h>
// objidl.h first: WIN32_LEAN_AND_MEAN leaves out the COM types that gdiplus.h needs.
#include <objidl.h>
#include <gdiplus.h>
#include <cstddef>
#include <new>

#include "AppGlobals.h"
#include "Hyperlink.h"
#include "PlayLogic.h"
#include "UniqueHandle.h"
#include "resource.h"

const SkinEntry SkinTable[] = {
    {IDC_OPEN, IDB_OPEN, L"Open"},
    {IDC_PLAY, IDB_PLAY, L"Play"},
    {IDC_PAUSE, IDB_PAUSE, L"Pause"},
    {IDC_STOP, IDB_STOP, L"Stop"},
    {IDC_PREV, IDB_PREV, L"Prev"},
    {IDC_NEXT, IDB_NEXT, L"Next"},
    {IDC_MUTE, IDB_MUTE, L"Mute On/Off"},
    {IDC_TIME_BAR, IDB_TIME_BKG, nullptr},
    {IDC_VOLUME_BAR, IDB_VOLUME_BAR, nullptr},
    {IDC_FULLSCREEN, IDB_FULLSCREEN1, L"Full Screen"},
    {IDC_LEAVE_FULLSCREEN, IDB_FULLSCREEN2, L"Leave Full Screen"},
    {0, 0, nullptr},
};

namespace {

const ButtonSet kPlayingButtons = {{IDC_STOP, IDC_PAUSE}, {IDC_OPEN, IDC_PLAY}};
const ButtonSet kPausedButtons = {{IDC_STOP, IDC_PLAY}, {IDC_OPEN, IDC_PAUSE}};
const ButtonSet kIdleButtons = {{IDC_OPEN, IDC_PLAY}, {IDC_STOP, IDC_PAUSE}};

// Without a bar image the bar still needs room for its buttons.
constexpr int kDefaultBarHeight = 27;

PlayBar* TheBar = nullptr;

void DeleteImage(Gdiplus::Image*& image) {
    delete image;
    image = nullptr;
}

int CommandForButton(int id) {
    switch (id) {
        case IDC_OPEN:
            return ID_OPEN;
        case IDC_PLAY:
            return ID_PLAY;
        case IDC_PAUSE:
            return ID_PAUSE;
        case IDC_STOP:
            return ID_STOP;
        case IDC_PREV:
            return ID_PREVIOUS;
        case IDC_NEXT:
            return ID_NEXT;
        case IDC_MUTE:
            return ID_MUTE;
        // Leaving full screen is the same toggle as entering it.
        case IDC_FULLSCREEN:
        case IDC_LEAVE_FULLSCREEN:
            return ID_FULL_SCREEN;
        default:
            return 0;
    }
}

}  // namespace

Gdiplus::Image* LoadSkinImage(HINSTANCE module, int resource) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(resource), L"PNG");
    Gdiplus::Image* image = found ? LoadResourceImage(found, module) : nullptr;
    // An image object exists even when the bytes do not decode; it would answer 0 for its size and be
    // placed as a control 0 pixels wide. Not stored, it falls back like a missing one.
    if (image && (image->GetLastStatus() != Gdiplus::Ok || image->GetWidth() == 0 || image->GetHeight() == 0)) {
        delete image;
        image = nullptr;
    }
    return image;
}

// Read from a copy of the pixels as they are (a source copy at the image's own size), whatever the file's format.
bool IsOpaqueImage(Gdiplus::Image* image) {
    if (!image)
        return false;
    if (!(image->GetFlags() & Gdiplus::ImageFlagsHasAlpha))
        return true;
    const int w = static_cast<int>(image->GetWidth());
    const int h = static_cast<int>(image->GetHeight());
    Gdiplus::Bitmap copy(w, h, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics graphics(&copy);
        graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
        if (graphics.DrawImage(image, 0, 0, w, h) != Gdiplus::Ok)
            return false;
    }
    Gdiplus::Rect all(0, 0, w, h);
    Gdiplus::BitmapData pixels = {};
    if (copy.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &pixels) != Gdiplus::Ok)
        return false;
    bool opaque = true;
    for (int y = 0; y < h && opaque; ++y) {
        const BYTE* row = static_cast<const BYTE*>(pixels.Scan0) + static_cast<ptrdiff_t>(y) * pixels.Stride;
        for (int x = 0; x < w && opaque; ++x)
            opaque = row[x * 4 + 3] == 0xFF;
    }
    copy.UnlockBits(&pixels);
    return opaque;
}

PlayBar* PlayBar::instance() {
    if (!TheBar) {
        try {
            TheBar = new (std::nothrow) PlayBar();
        } catch (...) {
            TheBar = nullptr;
        }
    }
    return TheBar;
}

void PlayBar::destroyInstance() {
    // Clear the pointer first: the destructor destroys the bar window, and the dialog procedure must not
    // reach an object that is half gone.
    PlayBar* bar = TheBar;
    TheBar = nullptr;
    delete bar;
}

PlayBar::PlayBar() {
    HINSTANCE module = AppGlobals.instance;
    for (const SkinEntry* row = SkinTable; row->id != 0; ++row) {
        if (Gdiplus::Image* loaded = LoadSkinImage(module, row->resource))
            images[row->id] = loaded;
    }
    backgroundBrush = CreateSolidBrush(backgroundColor());
    barImage = LoadSkinImage(module, IDB_BAR_BKG);
    barImageOpaque = IsOpaqueImage(barImage);
    volumeKnob = LoadSkinImage(module, IDB_VOLUME_BALL);
    timeFill = LoadSkinImage(module, IDB_TIME_FORG);
    timeKnob = LoadSkinImage(module, IDB_TIME_BALL);
    // Without its lock the bar cannot draw safely from two threads: create refuses to make the window.
    drawLock = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    // No other thread can reach the object yet; the widths never change after this.
    timeKnobWidth = timeKnob ? static_cast<int>(timeKnob->GetWidth()) : 0;
    volumeKnobWidth = volumeKnob ? static_cast<int>(volumeKnob->GetWidth()) : 0;
}

PlayBar::~PlayBar() {
    destroyWindows();
    for (auto& entry : images)
        delete entry.second;
    images.clear();
    if (backgroundBrush) {
        DeleteObject(backgroundBrush);
        backgroundBrush = nullptr;
    }
    DeleteImage(barImage);
    DeleteImage(volumeKnob);
    DeleteImage(timeFill);
    DeleteImage(timeKnob);
    freeBuffer(&composite);
    freeBuffer(&background);
    freeTimeStrips();
    if (font) {
        DeleteObject(font);
        font = nullptr;
    }
    if (drawLock) {
        CloseHandle(drawLock);
        drawLock = nullptr;
    }
}

bool PlayBar::create(HINSTANCE instance, HWND parent) {
    if (window)
        return true;
    if (!drawLock)
        return false;
    window = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_PLAYBAR), parent, PlayBarDlgProc, 0);
    if (!window)
        return false;
    // Pure black becomes transparent and the rest of the bar is shown at half opacity over the video.
    SetWindowLongW(window, GWL_EXSTYLE, GetWindowLongW(window, GWL_EXSTYLE) | WS_EX_LAYERED);
    SetLayeredWindowAttributes(window, RGB(0, 0, 0), 128, LWA_COLORKEY | LWA_ALPHA);
    if (LOBYTE(LOWORD(GetVersion())) >= 6)
        SetWindowLongW(window, GWL_EXSTYLE, GetWindowLongW(window, GWL_EXSTYLE) | WS_EX_COMPOSITED);
    tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, instance, nullptr);
    if (!tooltip)
        return false;
    ShowWindow(window, SW_SHOW);
    return true;
}

bool PlayBar::addTooltips() {
    if (!tooltip || !IsWindow(tooltip))
        return false;
    for (const SkinEntry* row = SkinTable; row->id != 0; ++row) {
        HWND control = GetDlgItem(window, row->id);
        if (!row->tooltip || !row->tooltip[0] || !control)
            continue;
        TOOLINFOW info = {};
        info.cbSize = sizeof(info);
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = window;
        info.uId = reinterpret_cast<UINT_PTR>(control);
        info.lpszText = const_cast<wchar_t*>(row->tooltip);
        SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    return true;
}

bool PlayBar::createFontAndTips() {
    addTooltips();
    // The size without iPaddedBorderWidth: older systems reject the larger structure.
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = offsetof(NONCLIENTMETRICSW, lfMessageFont) + sizeof(metrics.lfMessageFont);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
    LOGFONTW face = metrics.lfMessageFont;
    face.lfHeight = -11;
    if (font)
        DeleteObject(font);
    font = CreateFontIndirectW(&face);
    return true;
}

void PlayBar::destroyWindows() {
    if (tooltip && IsWindow(tooltip))
        DestroyWindow(tooltip);
    tooltip = nullptr;
    if (window && IsWindow(window))
        DestroyWindow(window);
    window = nullptr;
}

int PlayBar::barHeight() {
    if (!window || !IsWindow(window))
        return 0;
    return barImage ? static_cast<int>(barImage->GetHeight()) : kDefaultBarHeight;
}

Gdiplus::Image* PlayBar::image(int id) {
    auto found = images.find(id);
    return found == images.end() ? nullptr : found->second;
}

int PlayBar::placeControl(int id, int x, int direction, int yOffset) {
    HWND control = GetDlgItem(window, id);
    Gdiplus::Image* picture = image(id);
    if (!control || !picture)
        return x;
    int w = static_cast<int>(picture->GetWidth());
    int h = static_cast<int>(picture->GetHeight());
    int y = (barHeight() - h) / 2 + yOffset;
    if (direction > 0) {
        MoveWindow(control, x, y, w, h, FALSE);
        return x + w + 1;
    }
    MoveWindow(control, x - w, y, w, h, FALSE);
    return x - w - 1;
}

void PlayBar::placeTimeBar(int x, int width) {
    HWND control = GetDlgItem(window, IDC_TIME_BAR);
    Gdiplus::Image* picture = image(IDC_TIME_BAR);
    if (!control || !picture)
        return;
    int h = static_cast<int>(picture->GetHeight());
    MoveWindow(control, x, (barHeight() - h) / 2 + 4, width, h, FALSE);
}

void PlayBar::layout() {
    // The first WM_SIZE comes while the dialog is still being made, before `window` is set.
    if (!window || !IsWindow(window))
        return;
    EventLock guard(drawLock);
    if (!guard.held())
        return;
    RECT client = {};
    GetClientRect(window, &client);

    placeControl(IDC_OPEN, 1, 1, 0);
    int s = placeControl(IDC_STOP, 1, 1, 0);
    placeControl(IDC_PLAY, s, 1, 0);
    int p = placeControl(IDC_PAUSE, s, 1, 0);
    int q = placeControl(IDC_PREV, p, 1, 0);
    int left = placeControl(IDC_NEXT, q, 1, 0);

    int right = client.right - 1;
    placeControl(IDC_FULLSCREEN, right, -1, 0);
    int f = placeControl(IDC_LEAVE_FULLSCREEN, right, -1, 0);
    int m = placeControl(IDC_MUTE, f, -1, 3);
    int volumeLeft = placeControl(IDC_VOLUME_BAR, m, -1, 3);

    placeTimeBar(left, volumeLeft - left);
    InvalidateRect(window, nullptr, FALSE);
    ensureBuffers();
    compose();
}

void PlayBar::updateButtons() {
    if (window && IsWindow(window) && GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) {
        PostMessageW(window, WM_PLAYBAR_UPDATEBUTTONS, 0, 0);
        return;
    }
    PlayLogic* logic = AppGlobals.playLogic;
    MediaPlayer* engine = logic ? logic->player : nullptr;
    PlayerState state = engine ? engine->getState() : kStateNothing;

    const ButtonSet& set = state == kStatePlaying  ? kPlayingButtons
                           : state == kStatePaused ? kPausedButtons
                                                   : kIdleButtons;
    for (int id : set.hide)
        showControl(GetDlgItem(window, id), false, false);
    for (int id : set.show)
        showControl(GetDlgItem(window, id), true, true);

    int count = logic ? logic->playlist.count() : 0;
    int current = logic ? logic->playlist.currentIndex() : -1;
    bool canStep = count >= 2 && current >= 0;
    showControl(GetDlgItem(window, IDC_PREV), true, canStep);
    showControl(GetDlgItem(window, IDC_NEXT), true, canStep);

    if (state != kStatePlaying) {
        showControl(GetDlgItem(window, IDC_PLAY), true, count >= 1);
        if (state != kStatePaused)
            position = 0;
    }

    bool full = AppGlobals.fullScreen != FALSE;
    showControl(GetDlgItem(window, IDC_FULLSCREEN), !full, !full);
    showControl(GetDlgItem(window, IDC_LEAVE_FULLSCREEN), full, full);
}

void PlayBar::showControl(HWND control, bool show, bool enable) {
    if (!control || !IsWindow(control))
        return;
    EnableWindow(control, enable);
    ShowWindow(control, show ? SW_SHOW : SW_HIDE);
}

void PlayBar::drawButton(const DRAWITEMSTRUCT* item) {
    if (item->CtlType != ODT_BUTTON)
        return;
    Gdiplus::Image* picture = image(static_cast<int>(item->CtlID));
    if (!picture)
        return;
    // Pressed buttons sink by one pixel until released.
    int d = (item->itemState & ODS_SELECTED) ? 1 : 0;
    copyBackground(item->hDC, static_cast<int>(item->CtlID));
    Gdiplus::Graphics graphics(item->hDC);
    graphics.DrawImage(picture, static_cast<int>(item->rcItem.left) + d, static_cast<int>(item->rcItem.top) + d,
                       static_cast<int>(picture->GetWidth()), static_cast<int>(picture->GetHeight()));
}

void PlayBar::copyBackground(HDC dc, int id) {
    RECT rect;
    if (!controlRect(&rect, id) || !background.dc)
        return;
    BitBlt(dc, 0, 0, rect.right - rect.left, rect.bottom - rect.top, background.dc, rect.left, rect.top, SRCCOPY);
}

namespace {

INT_PTR OnCommand(int id) {
    if (id == IDOK || id == IDCANCEL)
        return TRUE;
    int command = CommandForButton(id);
    if (!command)
        return FALSE;
    PostMessageW(AppGlobals.mainWindow, WM_COMMAND, static_cast<WPARAM>(command), 0);
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK PlayBarDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        PlayBar* bar = TheBar;
        if (!bar)
            return message == WM_INITDIALOG ? TRUE : FALSE;
        switch (message) {
            case WM_INITDIALOG:
                return TRUE;
            case WM_SIZE:
                bar->layout();
                return TRUE;
            case WM_PAINT: {
                PaintScope painting(dialog);
                bar->paint(painting.dc());
                return FALSE;
            }
            case WM_DRAWITEM:
                if (lParam)
                    bar->drawButton(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
                return TRUE;
            case WM_COMMAND:
                return OnCommand(LOWORD(wParam));
            case WM_MOUSEMOVE:
                if (GetCapture() == dialog)
                    bar->onDrag(lParam);
                return TRUE;
            case WM_LBUTTONDOWN:
                bar->onMouseDown(lParam);
                return TRUE;
            case WM_LBUTTONUP:
                bar->endDrag();
                return TRUE;
            case WM_PLAYBAR_UPDATEBUTTONS:
                bar->updateButtons();
                return TRUE;
            default:
                return FALSE;
        }
    } catch (...) {
        return FALSE;
    }
}
