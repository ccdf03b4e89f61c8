// The stand-in control's window: in-place activation makes it as a child of the site's window, it
// paints the movie (its background colour and a strip that shows how far the frame clock has come), and
// the frame clock runs on its timer.
//
// Place and size come only through the OLE in-place protocol, as with a real control: the rectangles
// that GetWindowContext answers, asked again on every activation (also the UI activation that a click
// brings), and those that SetObjectRects gives. The window keeps to that rectangle: a container that
// moves the control's window itself, instead of telling the control, sees nothing change, where a real
// control would shrink back to its old rectangle at its next activation.
//
// The window may end in three ways, all of them safe: InPlaceDeactivate (the container's normal
// teardown), DestroyWindow on the handle by the container or by the destruction of its parent, and the
// last Release while the window still exists. The object outlives its window; the window finds the
// object through GWLP_USERDATA, which is cleared before the object goes away.
#include <algorithm>

#include "FlashControl.h"
#include "UniqueHandle.h"

namespace {

constexpr wchar_t kWindowClass[] = L"VantrelFlashStandIn";
constexpr UINT_PTR kFrameTimer = 1;
constexpr UINT kMenuPlay = 1;
constexpr UINT kMenuRewind = 2;
constexpr UINT kMenuAbout = 3;

bool EnsureWindowClass(WNDPROC proc) {
    WNDCLASSEXW wc = {sizeof(wc)};
    if (GetClassInfoExW(ModuleInstance(), kWindowClass, &wc))
        return true;
    wc = {sizeof(wc)};
    // CS_DBLCLKS: hosts watch for double-clicks on the movie.
    wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hInstance = ModuleInstance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

LONG Width(const RECT& rc) {
    return std::max<LONG>(rc.right - rc.left, 0);
}

LONG Height(const RECT& rc) {
    return std::max<LONG>(rc.bottom - rc.top, 0);
}

}  // namespace

void UnregisterControlWindowClass() {
    UnregisterClassW(kWindowClass, ModuleInstance());
}

FlashControl* FlashControl::FromWindow(HWND hwnd) {
    wchar_t name[64] = {};
    DWORD pid = 0;
    if (!IsWindow(hwnd) || !GetWindowThreadProcessId(hwnd, &pid) || pid != GetCurrentProcessId() ||
        !GetClassNameW(hwnd, name, 64) || lstrcmpW(name, kWindowClass) != 0 ||
        reinterpret_cast<HINSTANCE>(GetClassLongPtrW(hwnd, GCLP_HMODULE)) != ModuleInstance())
        return nullptr;
    auto* self = reinterpret_cast<FlashControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self)
        self->AddRef();
    return self;
}

// Painting

void FlashControl::Paint(HDC dc, const RECT& rc) {
    COLORREF back = PaintColour();
    {
        UniqueHbrush brush(CreateSolidBrush(back));
        FillRect(dc, &rc, brush.get());
    }
    if (!movieLoaded_)
        return;
    uint32_t frame = clock_.Frame(Now());
    paintedFrame_ = frame;
    // Black on light backgrounds, white on dark ones.
    int luma = (299 * GetRValue(back) + 587 * GetGValue(back) + 114 * GetBValue(back)) / 1000;
    COLORREF ink = luma > 128 ? RGB(0, 0, 0) : RGB(255, 255, 255);
    LONG width = rc.right - rc.left;
    LONG height = rc.bottom - rc.top;
    if (width <= 0 || height <= 0)
        return;
    // The strip along the bottom grows with the frame position: frame 0 of 10 shows a tenth.
    LONG stripHeight = std::max<LONG>(3, height / 40);
    LONG stripWidth = LONG(int64_t(width) * (frame + 1) / std::max<uint32_t>(clock_.FrameCount(), 1));
    RECT strip = {rc.left, rc.bottom - stripHeight, rc.left + stripWidth, rc.bottom};
    {
        UniqueHbrush inkBrush(CreateSolidBrush(ink));
        FillRect(dc, &strip, inkBrush.get());
    }

    wchar_t text[64];
    int n = wsprintfW(text, L"%u / %u", frame + 1, clock_.FrameCount());
    RECT textRect = {rc.left + 4, rc.top + 2, rc.right, rc.bottom};
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColour = SetTextColor(dc, ink);
    SelectScope font(dc, GetStockObject(DEFAULT_GUI_FONT));
    DrawTextW(dc, text, n, &textRect, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
}

// The window's text is the position the corner of the picture shows ("3 / 60"), empty without a
// movie: another process can read it where it cannot read the picture. It is stored and compared without
// a message through the window's procedure, which is the host's once it subclasses the window (the SWF
// library does, with the wide calls): the host is not sent a text on every frame, and one that subclassed
// with the ANSI calls would be handed a converted one.
void FlashControl::UpdateCaption() {
    if (!hwnd_)
        return;
    wchar_t text[64] = L"";
    if (movieLoaded_)
        wsprintfW(text, L"%u / %u", clock_.Frame(Now()) + 1, clock_.FrameCount());
    wchar_t shown[64] = L"";
    InternalGetWindowText(hwnd_, shown, 64);
    if (lstrcmpW(shown, text) != 0)
        DefWindowProcW(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void FlashControl::UpdateTimer() {
    if (!hwnd_)
        return;
    if (movieLoaded_ && clock_.Playing()) {
        timer_ = SetTimer(hwnd_, kFrameTimer, clock_.IntervalMs(), nullptr);
    } else if (timer_) {
        KillTimer(hwnd_, kFrameTimer);
        timer_ = 0;
    }
}

void FlashControl::OnTick() {
    if (hwnd_ && movieLoaded_ && clock_.Frame(Now()) != paintedFrame_) {
        InvalidateRect(hwnd_, nullptr, FALSE);
        UpdateCaption();
    }
}

void FlashControl::ShowContextMenu(POINT screen) {
    UniqueHmenu menu(CreatePopupMenu());
    if (!menu)
        return;
    if (menu_) {
        AppendMenuW(menu.get(),
                    MF_STRING | (movieLoaded_ && clock_.Playing() ? MF_CHECKED : 0) | (movieLoaded_ ? 0 : MF_GRAYED),
                    kMenuPlay, L"Play");
        AppendMenuW(menu.get(), MF_STRING | (movieLoaded_ ? 0 : MF_GRAYED), kMenuRewind, L"Rewind");
        AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    }
    AppendMenuW(menu.get(), MF_STRING, kMenuAbout, L"About Flash stand-in");
    UINT cmd = UINT(TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0, hwnd_, nullptr));
    menu.reset();
    // The menu loop pumps messages: the host may have ended the movie or the window meanwhile.
    switch (cmd) {
        case kMenuPlay:
            if (movieLoaded_) {
                if (clock_.Playing())
                    clock_.Stop(Now());
                else
                    clock_.Play(Now());
                UpdateTimer();
            }
            break;
        case kMenuRewind:
            clock_.Seek(0, Now());
            break;
        case kMenuAbout:
            MessageBoxW(hwnd_, L"A stand-in for the Flash control: it reads a movie's header and plays its frames.",
                        L"About Flash stand-in", MB_OK | MB_ICONINFORMATION);
            break;
    }
    if (hwnd_)
        InvalidateRect(hwnd_, nullptr, FALSE);
}

// The window procedure

LRESULT CALLBACK FlashControl::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        if (msg == WM_NCCREATE) {
            auto* created = reinterpret_cast<CREATESTRUCTW*>(lParam);
            auto* self = static_cast<FlashControl*>(created->lpCreateParams);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            self->hwnd_ = hwnd;
        }
        auto* self = reinterpret_cast<FlashControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!self)
            return DefWindowProcW(hwnd, msg, wParam, lParam);
        if (msg == WM_NCDESTROY) {
            // Destroyed by InPlaceDeactivate, by the host directly, or with its parent: the object stays
            // usable and makes a new window on its next activation.
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
            self->timer_ = 0;
            return DefWindowProcW(hwnd, msg, wParam, lParam);
        }
        // The host may release the control from inside a message (a menu loop pumps messages); keep it
        // alive until the handler returns.
        self->AddRef();
        LRESULT result = self->OnMessage(msg, wParam, lParam);
        self->Release();
        return result;
    } catch (...) {
        return 0;
    }
}

LRESULT FlashControl::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = hwnd_;
    switch (msg) {
        case WM_PAINT: {
            PaintScope paint(hwnd);
            RECT rc;
            GetClientRect(hwnd, &rc);
            // Through a memory bitmap, so that the frame clock's repaints do not flicker.
            UniqueHdc memDc(CreateCompatibleDC(paint.dc()));
            UniqueHbitmap bitmap(
                CreateCompatibleBitmap(paint.dc(), std::max<LONG>(rc.right, 1), std::max<LONG>(rc.bottom, 1)));
            if (memDc && bitmap) {
                SelectScope select(memDc.get(), bitmap.get());
                Paint(memDc.get(), rc);
                BitBlt(paint.dc(), 0, 0, rc.right, rc.bottom, memDc.get(), 0, 0, SRCCOPY);
            } else {
                Paint(paint.dc(), rc);
            }
            return 0;
        }
        case WM_PRINTCLIENT: {
            RECT rc;
            GetClientRect(hwnd, &rc);
            Paint(reinterpret_cast<HDC>(wParam), rc);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_WINDOWPOSCHANGING:
            if (!placing_) {
                auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
                if (!(pos->flags & SWP_NOMOVE)) {
                    pos->x = posRect_.left;
                    pos->y = posRect_.top;
                }
                if (!(pos->flags & SWP_NOSIZE)) {
                    pos->cx = Width(posRect_);
                    pos->cy = Height(posRect_);
                }
            }
            break;
        case WM_SIZE:
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_TIMER:
            if (wParam == kFrameTimer) {
                OnTick();
                return 0;
            }
            break;
        case WM_MOUSEACTIVATE:
            // A click makes the control UI-active, which asks the site for its place again.
            if (!uiActive_)
                ActivateInPlace(true, nullptr, nullptr);
            return MA_ACTIVATE;
        case WM_LBUTTONDOWN:
            if (!uiActive_)
                ActivateInPlace(true, nullptr, nullptr);
            if (hwnd_)
                SetFocus(hwnd_);
            return 0;
        case WM_RBUTTONDOWN:
            return 0;
        case WM_RBUTTONUP: {
            POINT pt = {short(LOWORD(lParam)), short(HIWORD(lParam))};
            ClientToScreen(hwnd, &pt);
            ShowContextMenu(pt);
            return 0;
        }
        case WM_CONTEXTMENU: {
            // From the keyboard (the position is -1, -1): open at the window's corner.
            POINT pt = {short(LOWORD(lParam)), short(HIWORD(lParam))};
            if (lParam == -1) {
                pt = {0, 0};
                ClientToScreen(hwnd, &pt);
            }
            ShowContextMenu(pt);
            return 0;
        }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// In-place activation

HRESULT FlashControl::ActivateInPlace(bool uiActivate, HWND parent, LPCRECT posRect) {
    if (!inPlaceActive_) {
        if (site_) {
            ComPtr<IOleInPlaceSite> inPlaceSite;
            if (SUCCEEDED(site_.As(&inPlaceSite))) {
                if (inPlaceSite->CanInPlaceActivate() != S_OK)
                    return E_FAIL;
                inPlaceSite_ = inPlaceSite;
                inPlaceSite_->OnInPlaceActivate();
            }
        }
        inPlaceActive_ = true;
    }
    // Every activation asks the site where the control goes, the first one and any later one alike.
    HWND parentWindow = nullptr;
    RECT pos = {};
    RECT clip = {};
    bool havePos = false;
    if (inPlaceSite_ && SUCCEEDED(inPlaceSite_->GetWindow(&parentWindow)) && parentWindow) {
        ComPtr<IOleInPlaceFrame> frame;
        ComPtr<IOleInPlaceUIWindow> doc;
        OLEINPLACEFRAMEINFO frameInfo = {sizeof(frameInfo)};
        if (SUCCEEDED(inPlaceSite_->GetWindowContext(frame.put(), doc.put(), &pos, &clip, &frameInfo)))
            havePos = true;
    } else {
        parentWindow = parent;
    }
    if (!havePos && posRect) {
        pos = *posRect;
        clip = pos;
        havePos = true;
    }
    if (!hwnd_) {
        if (!parentWindow || !IsWindow(parentWindow))
            return E_FAIL;
        if (!EnsureWindowClass(&FlashControl::WindowProc))
            return HRESULT_FROM_WIN32(GetLastError());
        if (havePos) {
            posRect_ = pos;
            clipRect_ = clip;
        }
        HWND hwnd =
            CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, posRect_.left, posRect_.top,
                            Width(posRect_), Height(posRect_), parentWindow, nullptr, ModuleInstance(), this);
        if (!hwnd)
            return HRESULT_FROM_WIN32(GetLastError());
        UpdateTimer();
        UpdateCaption();
        if (fault_ == Fault::kActivate)
            return E_FAIL;
    } else if (havePos) {
        ApplyRects(pos, clip);
    }
    if (!(GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE))
        ShowWindow(hwnd_, SW_SHOWNA);  // after OLEIVERB_HIDE
    if (uiActivate && !uiActive_) {
        uiActive_ = true;
        if (inPlaceSite_)
            inPlaceSite_->OnUIActivate();
    }
    return S_OK;
}

void FlashControl::ApplyRects(const RECT& pos, const RECT& clip) {
    posRect_ = pos;
    // The clip rectangle is kept but not applied: the containers this stands in for never clip.
    clipRect_ = clip;
    if (hwnd_) {
        placing_ = true;
        MoveWindow(hwnd_, pos.left, pos.top, Width(pos), Height(pos), TRUE);
        placing_ = false;
    }
}

void FlashControl::DestroyControlWindow() {
    if (hwnd_)
        DestroyWindow(hwnd_);  // WM_NCDESTROY clears hwnd_
}

// IOleWindow, IOleInPlaceObject

STDMETHODIMP FlashControl::GetWindow(HWND* hwnd) {
    if (!hwnd)
        return E_POINTER;
    *hwnd = hwnd_;
    return hwnd_ ? S_OK : E_FAIL;
}

STDMETHODIMP FlashControl::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

STDMETHODIMP FlashControl::InPlaceDeactivate() {
    try {
        // A control that keeps its window after deactivation leaves it to the container.
        const bool keepWindow = fault_ == Fault::kKeepWindow;
        if (!inPlaceActive_) {
            if (!keepWindow)
                DestroyControlWindow();
            return S_OK;
        }
        UIDeactivate();
        if (!keepWindow)
            DestroyControlWindow();
        inPlaceActive_ = false;
        if (ComPtr<IOleInPlaceSite> inPlaceSite = std::move(inPlaceSite_))
            inPlaceSite->OnInPlaceDeactivate();
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP FlashControl::UIDeactivate() {
    if (!uiActive_)
        return S_OK;
    uiActive_ = false;
    if (inPlaceSite_)
        inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

STDMETHODIMP FlashControl::SetObjectRects(LPCRECT posRect, LPCRECT clipRect) {
    if (!posRect)
        return E_POINTER;
    ApplyRects(*posRect, clipRect ? *clipRect : *posRect);
    return S_OK;
}

STDMETHODIMP FlashControl::ReactivateAndUndo() {
    return INPLACE_E_NOTUNDOABLE;
}
