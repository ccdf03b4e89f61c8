// The stand-in Flash control. A container creates it by CLSID, gives it its client site, and activates it
// in place (DoVerb); the control then makes a child window of its own under the site's window, with the
// rectangle the site gives. That window paints the movie: its background colour and a strip that shows
// how far the frame clock has come. The window may end in three ways, all of them safe: InPlaceDeactivate
// (the container's normal teardown), DestroyWindow on the handle by the container or by the destruction
// of its parent, and the last Release while the window still exists. The object outlives its window; the
// window finds the object through GWLP_USERDATA, which is cleared before the object goes away.
//
// Everything runs on the thread that created the object (apartment model): the frame clock is driven by
// a timer on the control's own window, and FrameNum reads the clock directly, so the position is right
// even between two timer ticks.
//
// Behaviour chosen where the real control is not known in detail:
// - Loading a movie starts it playing, as the real control does by default; Playing FALSE stops it.
// - A FrameNum put keeps the playing state; values are clamped to 0 .. TotalFrames - 1.
// - BackgroundColor is 0xRRGGBB. A put overrides the movie's own colour, also for movies loaded later,
//   until -1 (any negative value) is put; this is how the host's background setting behaves for embedded
//   movies. Its get answers the colour in effect, or -1 with no movie and no put.
// - Without a movie FrameNum and TotalFrames answer 0 and Playing FALSE; a Movie that names no readable
//   SWF is kept as the property's text but loads nothing.
// - A frame rate of 0 runs at 12 fps (see FrameClock).
#include "FlashControl.h"

#include <algorithm>
#include <new>
#include <vector>

namespace {

enum : DISPID {
    kDispMovie = 0x66,
    kDispFrameNum = 0x6B,
    kDispAlignMode = 0x79,
    kDispBackgroundColor = 0x7B,
    kDispTotalFrames = 0x7C,
    kDispPlaying = 0x7D,
    kDispIsPlaying = 0x81,
    kDispMenu = 0x87,
    kDispScale = 0x89,
};

struct Member {
    const wchar_t* name;
    DISPID id;
    VARTYPE type;  // VT_EMPTY for the method
};

constexpr Member kMembers[] = {
    {L"Movie", kDispMovie, VT_BSTR},           {L"FrameNum", kDispFrameNum, VT_I4},
    {L"AlignMode", kDispAlignMode, VT_I4},     {L"BackgroundColor", kDispBackgroundColor, VT_I4},
    {L"TotalFrames", kDispTotalFrames, VT_I4}, {L"Playing", kDispPlaying, VT_BOOL},
    {L"IsPlaying", kDispIsPlaying, VT_EMPTY},  {L"Menu", kDispMenu, VT_BOOL},
    {L"Scale", kDispScale, VT_BSTR},
};

const Member* FindMember(DISPID id) {
    for (const Member& m : kMembers) {
        if (m.id == id)
            return &m;
    }
    return nullptr;
}

constexpr wchar_t kWindowClass[] = L"VantrelFlashStandIn";
constexpr UINT_PTR kFrameTimer = 1;
constexpr UINT kMenuPlay = 1;
constexpr UINT kMenuRewind = 2;
constexpr UINT kMenuAbout = 3;
// A stage of 550 x 400 pixels (in twips), the authoring tools' default, when no movie says otherwise.
constexpr LONG kDefaultStageTwipsX = 550 * 20;
constexpr LONG kDefaultStageTwipsY = 400 * 20;

uint64_t Now() {
    return GetTickCount64();
}

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

LONG TwipsToHimetric(int64_t twips) {
    // 1440 twips and 2540 HIMETRIC units make an inch.
    int64_t v = twips * 2540 / 1440;
    return LONG(std::clamp<int64_t>(v, 1, 0x7FFFFFFF));
}

COLORREF FromRgb(uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

HRESULT AssignBstr(VARIANT* out, const std::wstring& text) {
    BSTR b = SysAllocStringLen(text.data(), UINT(text.size()));
    if (!b)
        return E_OUTOFMEMORY;
    V_VT(out) = VT_BSTR;
    V_BSTR(out) = b;
    return S_OK;
}

}  // namespace

const CLSID CLSID_FlashStandIn = {0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

FlashControl::FlashControl() {
    InterlockedIncrement(&g_serverRefs);
}

FlashControl::~FlashControl() {
    if (hwnd_) {
        // The window must not reach this object any more while it is destroyed.
        HWND hwnd = hwnd_;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        DestroyWindow(hwnd);
    }
    if (inPlaceSite_)
        inPlaceSite_->Release();
    if (site_)
        site_->Release();
    if (adviseHolder_)
        adviseHolder_->Release();
    if (viewSink_)
        viewSink_->Release();
    InterlockedDecrement(&g_serverRefs);
}

// IUnknown

STDMETHODIMP FlashControl::QueryInterface(REFIID riid, void** out) {
    if (!out)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch)
        *out = static_cast<IDispatch*>(this);
    else if (riid == IID_IOleObject)
        *out = static_cast<IOleObject*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject)
        *out = static_cast<IOleInPlaceObject*>(this);
    else if (riid == IID_IOleInPlaceActiveObject)
        *out = static_cast<IOleInPlaceActiveObject*>(this);
    else if (riid == IID_IOleControl)
        *out = static_cast<IOleControl*>(this);
    else if (riid == IID_IPersist || riid == IID_IPersistStreamInit)
        *out = static_cast<IPersistStreamInit*>(this);
    else if (riid == IID_IViewObject || riid == IID_IViewObject2)
        *out = static_cast<IViewObject2*>(this);
    else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) FlashControl::AddRef() {
    return ULONG(InterlockedIncrement(&refs_));
}

STDMETHODIMP_(ULONG) FlashControl::Release() {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0)
        delete this;
    return ULONG(n);
}

// IDispatch

STDMETHODIMP FlashControl::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP FlashControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info)
        *info = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP FlashControl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    HRESULT hr = S_OK;
    ids[0] = DISPID_UNKNOWN;
    for (const Member& m : kMembers) {
        if (names[0] && lstrcmpiW(names[0], m.name) == 0)
            ids[0] = m.id;
    }
    if (ids[0] == DISPID_UNKNOWN)
        hr = DISP_E_UNKNOWNNAME;
    // None of the members takes named arguments.
    for (UINT i = 1; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

STDMETHODIMP FlashControl::Invoke(DISPID id,
                                  REFIID riid,
                                  LCID,
                                  WORD flags,
                                  DISPPARAMS* params,
                                  VARIANT* result,
                                  EXCEPINFO*,
                                  UINT* argErr) {
    try {
        if (riid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        const Member* member = FindMember(id);
        if (!member)
            return DISP_E_MEMBERNOTFOUND;
        if (!params)
            return E_INVALIDARG;
        if (params->cArgs && !params->rgvarg)
            return E_INVALIDARG;

        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            if (member->type == VT_EMPTY || id == kDispTotalFrames)
                return DISP_E_MEMBERNOTFOUND;
            if (params->cArgs != 1)
                return DISP_E_BADPARAMCOUNT;
            if (params->cNamedArgs > 1 ||
                (params->cNamedArgs == 1 && params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
                return DISP_E_PARAMNOTFOUND;
            VARIANT value;
            VariantInit(&value);
            HRESULT hr = VariantChangeType(&value, &params->rgvarg[0], 0, member->type);
            if (FAILED(hr)) {
                if (argErr)
                    *argErr = 0;
                return hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH;
            }
            hr = PutProperty(id, &value);
            VariantClear(&value);
            return hr;
        }
        if (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) {
            if (params->cArgs != 0)
                return DISP_E_BADPARAMCOUNT;
            VARIANT value;
            VariantInit(&value);
            HRESULT hr = GetProperty(id, &value);
            if (SUCCEEDED(hr) && result) {
                VariantClear(result);
                *result = value;
            } else {
                VariantClear(&value);
            }
            return hr;
        }
        return DISP_E_MEMBERNOTFOUND;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT FlashControl::GetProperty(DISPID id, VARIANT* result) {
    switch (id) {
        case kDispMovie:
            return AssignBstr(result, moviePath_);
        case kDispFrameNum:
            V_VT(result) = VT_I4;
            V_I4(result) = movieLoaded_ ? LONG(clock_.Frame(Now())) : 0;
            return S_OK;
        case kDispAlignMode:
            V_VT(result) = VT_I4;
            V_I4(result) = alignMode_;
            return S_OK;
        case kDispBackgroundColor:
            V_VT(result) = VT_I4;
            if (backgroundColor_ >= 0)
                V_I4(result) = backgroundColor_;
            else if (movieLoaded_)
                V_I4(result) = LONG(movie_.hasBackground ? movie_.background : 0xFFFFFF);
            else
                V_I4(result) = -1;
            return S_OK;
        case kDispTotalFrames:
            V_VT(result) = VT_I4;
            V_I4(result) = movieLoaded_ ? LONG(clock_.FrameCount()) : 0;
            return S_OK;
        case kDispPlaying:
        case kDispIsPlaying:
            V_VT(result) = VT_BOOL;
            V_BOOL(result) = movieLoaded_ && clock_.Playing() ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        case kDispMenu:
            V_VT(result) = VT_BOOL;
            V_BOOL(result) = menu_ ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        case kDispScale:
            return AssignBstr(result, scale_);
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT FlashControl::PutProperty(DISPID id, VARIANT* value) {
    switch (id) {
        case kDispMovie: {
            BSTR b = V_BSTR(value);
            std::wstring path(b ? b : L"", b ? SysStringLen(b) : 0);
            LoadMovie(path);
            break;
        }
        case kDispFrameNum:
            clock_.Seek(V_I4(value), Now());
            break;
        case kDispAlignMode:
            alignMode_ = V_I4(value);
            break;
        case kDispBackgroundColor:
            backgroundColor_ = V_I4(value) < 0 ? -1 : LONG(V_I4(value) & 0xFFFFFF);
            break;
        case kDispPlaying:
            if (V_BOOL(value))
                clock_.Play(Now());
            else
                clock_.Stop(Now());
            UpdateTimer();
            break;
        case kDispMenu:
            menu_ = V_BOOL(value) != VARIANT_FALSE;
            break;
        case kDispScale: {
            BSTR b = V_BSTR(value);
            scale_.assign(b ? b : L"", b ? SysStringLen(b) : 0);
            break;
        }
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
    if (hwnd_)
        InvalidateRect(hwnd_, nullptr, FALSE);
    if (viewSink_)
        viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
    return S_OK;
}

void FlashControl::LoadMovie(const std::wstring& path) {
    moviePath_ = path;
    movieLoaded_ = false;
    movie_ = swf::MovieInfo();
    clock_.SetMovie(0, 0);
    if (!path.empty()) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            LARGE_INTEGER size = {};
            std::vector<uint8_t> data;
            // The reader never looks past kMaxMovieBytes of movie; for a compressed movie that much input
            // is more than enough to fill it.
            if (GetFileSizeEx(file, &size) && size.QuadPart > 0) {
                size_t want = size_t(std::min<LONGLONG>(size.QuadPart, LONGLONG(swf::kMaxMovieBytes + 8)));
                data.resize(want);
                size_t got = 0;
                while (got < want) {
                    DWORD n = 0;
                    DWORD piece = DWORD(std::min<size_t>(want - got, 1u << 20));
                    if (!ReadFile(file, data.data() + got, piece, &n, nullptr) || n == 0)
                        break;
                    got += n;
                }
                data.resize(got);
            }
            CloseHandle(file);
            swf::MovieInfo info;
            if (swf::IsPlayable(swf::ReadMovie(data.data(), data.size(), &info))) {
                movie_ = info;
                movieLoaded_ = true;
                clock_.SetMovie(info.frameCount, info.frameRate);
                clock_.Play(Now());
            }
        }
    }
    paintedFrame_ = UINT32_MAX;
    UpdateTimer();
}

COLORREF FlashControl::PaintColour() const {
    if (backgroundColor_ >= 0)
        return FromRgb(uint32_t(backgroundColor_));
    if (movieLoaded_ && movie_.hasBackground)
        return FromRgb(movie_.background);
    return RGB(255, 255, 255);
}

SIZEL FlashControl::DefaultExtent() const {
    int64_t w = kDefaultStageTwipsX;
    int64_t h = kDefaultStageTwipsY;
    if (movieLoaded_) {
        int64_t mw = int64_t(movie_.frame.xMax) - movie_.frame.xMin;
        int64_t mh = int64_t(movie_.frame.yMax) - movie_.frame.yMin;
        if (mw > 0 && mh > 0) {
            w = mw;
            h = mh;
        }
    }
    return {TwipsToHimetric(w), TwipsToHimetric(h)};
}

// Painting and the window

void FlashControl::Paint(HDC dc, const RECT& rc) {
    COLORREF back = PaintColour();
    HBRUSH brush = CreateSolidBrush(back);
    FillRect(dc, &rc, brush);
    DeleteObject(brush);
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
    HBRUSH inkBrush = CreateSolidBrush(ink);
    FillRect(dc, &strip, inkBrush);
    DeleteObject(inkBrush);

    wchar_t text[64];
    int n = wsprintfW(text, L"%u / %u", frame + 1, clock_.FrameCount());
    RECT textRect = {rc.left + 4, rc.top + 2, rc.right, rc.bottom};
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColour = SetTextColor(dc, ink);
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    DrawTextW(dc, text, n, &textRect, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
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
    if (hwnd_ && movieLoaded_ && clock_.Frame(Now()) != paintedFrame_)
        InvalidateRect(hwnd_, nullptr, FALSE);
}

void FlashControl::ShowContextMenu(POINT screen) {
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    if (menu_) {
        AppendMenuW(menu,
                    MF_STRING | (movieLoaded_ && clock_.Playing() ? MF_CHECKED : 0) | (movieLoaded_ ? 0 : MF_GRAYED),
                    kMenuPlay, L"Play");
        AppendMenuW(menu, MF_STRING | (movieLoaded_ ? 0 : MF_GRAYED), kMenuRewind, L"Rewind");
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    }
    AppendMenuW(menu, MF_STRING, kMenuAbout, L"About Flash stand-in");
    UINT cmd = UINT(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0, hwnd_, nullptr));
    DestroyMenu(menu);
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
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT rc;
            GetClientRect(hwnd, &rc);
            // Through a memory bitmap, so that the frame clock's repaints do not flicker.
            HDC memDc = CreateCompatibleDC(dc);
            HBITMAP bitmap = CreateCompatibleBitmap(dc, std::max<LONG>(rc.right, 1), std::max<LONG>(rc.bottom, 1));
            if (memDc && bitmap) {
                HGDIOBJ old = SelectObject(memDc, bitmap);
                Paint(memDc, rc);
                BitBlt(dc, 0, 0, rc.right, rc.bottom, memDc, 0, 0, SRCCOPY);
                SelectObject(memDc, old);
            } else {
                Paint(dc, rc);
            }
            if (bitmap)
                DeleteObject(bitmap);
            if (memDc)
                DeleteDC(memDc);
            EndPaint(hwnd, &ps);
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
            return MA_ACTIVATE;
        case WM_LBUTTONDOWN:
            SetFocus(hwnd);
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
            IOleInPlaceSite* inPlaceSite = nullptr;
            if (SUCCEEDED(site_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlaceSite)))) {
                if (inPlaceSite->CanInPlaceActivate() != S_OK) {
                    inPlaceSite->Release();
                    return E_FAIL;
                }
                inPlaceSite_ = inPlaceSite;
                inPlaceSite_->OnInPlaceActivate();
            }
        }
        inPlaceActive_ = true;
    }
    if (!hwnd_) {
        HWND parentWindow = nullptr;
        RECT pos = {};
        bool havePos = false;
        if (inPlaceSite_ && SUCCEEDED(inPlaceSite_->GetWindow(&parentWindow)) && parentWindow) {
            IOleInPlaceFrame* frame = nullptr;
            IOleInPlaceUIWindow* doc = nullptr;
            RECT clip = {};
            OLEINPLACEFRAMEINFO frameInfo = {sizeof(frameInfo)};
            if (SUCCEEDED(inPlaceSite_->GetWindowContext(&frame, &doc, &pos, &clip, &frameInfo)))
                havePos = true;
            if (frame)
                frame->Release();
            if (doc)
                doc->Release();
        } else {
            parentWindow = parent;
        }
        if (!havePos && posRect) {
            pos = *posRect;
            havePos = true;
        }
        if (!parentWindow || !IsWindow(parentWindow))
            return E_FAIL;
        if (!EnsureWindowClass(&FlashControl::WindowProc))
            return HRESULT_FROM_WIN32(GetLastError());
        HWND hwnd = CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, pos.left, pos.top,
                                    std::max<LONG>(pos.right - pos.left, 0), std::max<LONG>(pos.bottom - pos.top, 0),
                                    parentWindow, nullptr, ModuleInstance(), this);
        if (!hwnd)
            return HRESULT_FROM_WIN32(GetLastError());
        UpdateTimer();
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

void FlashControl::DestroyControlWindow() {
    if (hwnd_)
        DestroyWindow(hwnd_);  // WM_NCDESTROY clears hwnd_
}

void UnregisterControlWindowClass() {
    UnregisterClassW(kWindowClass, ModuleInstance());
}

// IOleObject

STDMETHODIMP FlashControl::SetClientSite(IOleClientSite* site) {
    // A container that drops its site while the control is still active gets it deactivated first: the
    // in-place site must not be called after the client site is gone.
    if (!site && inPlaceActive_)
        InPlaceDeactivate();
    if (site)
        site->AddRef();
    if (site_)
        site_->Release();
    site_ = site;
    return S_OK;
}

STDMETHODIMP FlashControl::GetClientSite(IOleClientSite** site) {
    if (!site)
        return E_POINTER;
    *site = site_;
    if (site_)
        site_->AddRef();
    return S_OK;
}

STDMETHODIMP FlashControl::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}

STDMETHODIMP FlashControl::Close(DWORD) {
    InPlaceDeactivate();
    if (adviseHolder_)
        adviseHolder_->SendOnClose();
    if (viewSink_) {
        viewSink_->Release();
        viewSink_ = nullptr;
    }
    return S_OK;
}

STDMETHODIMP FlashControl::SetMoniker(DWORD, IMoniker*) {
    return E_NOTIMPL;
}

STDMETHODIMP FlashControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP FlashControl::InitFromData(IDataObject*, BOOL, DWORD) {
    return E_NOTIMPL;
}

STDMETHODIMP FlashControl::GetClipboardData(DWORD, IDataObject** data) {
    if (data)
        *data = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP FlashControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT posRect) {
    try {
        if (!site_ && site)
            SetClientSite(site);
        switch (verb) {
            case OLEIVERB_SHOW:
            case OLEIVERB_INPLACEACTIVATE:
                return ActivateInPlace(false, parent, posRect);
            case OLEIVERB_PRIMARY:
            case OLEIVERB_UIACTIVATE:
                return ActivateInPlace(true, parent, posRect);
            case OLEIVERB_HIDE:
                UIDeactivate();
                if (hwnd_)
                    ShowWindow(hwnd_, SW_HIDE);
                return S_OK;
            case OLEIVERB_DISCARDUNDOSTATE:
                return S_OK;
            case OLEIVERB_OPEN:
                return E_NOTIMPL;
        }
        return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP FlashControl::EnumVerbs(IEnumOLEVERB** verbs) {
    if (verbs)
        *verbs = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP FlashControl::Update() {
    return S_OK;
}

STDMETHODIMP FlashControl::IsUpToDate() {
    return S_OK;
}

STDMETHODIMP FlashControl::GetUserClassID(CLSID* clsid) {
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_FlashStandIn;
    return S_OK;
}

STDMETHODIMP FlashControl::GetUserType(DWORD, LPOLESTR* type) {
    if (type)
        *type = nullptr;
    return OLE_S_USEREG;
}

STDMETHODIMP FlashControl::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    extent_ = *size;
    hasExtent_ = true;
    return S_OK;
}

STDMETHODIMP FlashControl::GetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    *size = hasExtent_ ? extent_ : DefaultExtent();
    return S_OK;
}

STDMETHODIMP FlashControl::Advise(IAdviseSink* sink, DWORD* connection) {
    if (!connection)
        return E_POINTER;
    *connection = 0;
    if (!adviseHolder_ && FAILED(CreateOleAdviseHolder(&adviseHolder_)))
        return E_OUTOFMEMORY;
    return adviseHolder_->Advise(sink, connection);
}

STDMETHODIMP FlashControl::Unadvise(DWORD connection) {
    return adviseHolder_ ? adviseHolder_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

STDMETHODIMP FlashControl::EnumAdvise(IEnumSTATDATA** advise) {
    if (!advise)
        return E_POINTER;
    *advise = nullptr;
    return adviseHolder_ ? adviseHolder_->EnumAdvise(advise) : S_OK;
}

STDMETHODIMP FlashControl::GetMiscStatus(DWORD, DWORD* status) {
    if (!status)
        return E_POINTER;
    *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT | OLEMISC_RECOMPOSEONRESIZE;
    return S_OK;
}

STDMETHODIMP FlashControl::SetColorScheme(LOGPALETTE*) {
    return E_NOTIMPL;
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
        if (!inPlaceActive_) {
            DestroyControlWindow();
            return S_OK;
        }
        UIDeactivate();
        DestroyControlWindow();
        inPlaceActive_ = false;
        if (IOleInPlaceSite* inPlaceSite = inPlaceSite_) {
            inPlaceSite_ = nullptr;
            inPlaceSite->OnInPlaceDeactivate();
            inPlaceSite->Release();
        }
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

STDMETHODIMP FlashControl::SetObjectRects(LPCRECT posRect, LPCRECT) {
    if (!posRect)
        return E_POINTER;
    if (hwnd_) {
        MoveWindow(hwnd_, posRect->left, posRect->top, std::max<LONG>(posRect->right - posRect->left, 0),
                   std::max<LONG>(posRect->bottom - posRect->top, 0), TRUE);
    }
    return S_OK;
}

STDMETHODIMP FlashControl::ReactivateAndUndo() {
    return INPLACE_E_NOTUNDOABLE;
}

// IOleInPlaceActiveObject

STDMETHODIMP FlashControl::TranslateAccelerator(LPMSG) {
    return S_FALSE;
}

STDMETHODIMP FlashControl::OnFrameWindowActivate(BOOL) {
    return S_OK;
}

STDMETHODIMP FlashControl::OnDocWindowActivate(BOOL) {
    return S_OK;
}

STDMETHODIMP FlashControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return S_OK;
}

STDMETHODIMP FlashControl::EnableModeless(BOOL) {
    return S_OK;
}

// IOleControl

STDMETHODIMP FlashControl::GetControlInfo(CONTROLINFO* info) {
    if (!info)
        return E_POINTER;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

STDMETHODIMP FlashControl::OnMnemonic(MSG*) {
    return E_NOTIMPL;
}

STDMETHODIMP FlashControl::OnAmbientPropertyChange(DISPID) {
    return S_OK;
}

STDMETHODIMP FlashControl::FreezeEvents(BOOL) {
    return S_OK;
}

// IPersistStreamInit: the control keeps no persistent state of its own; the host sets every property.

STDMETHODIMP FlashControl::GetClassID(CLSID* clsid) {
    return GetUserClassID(clsid);
}

STDMETHODIMP FlashControl::IsDirty() {
    return S_FALSE;
}

STDMETHODIMP FlashControl::Load(LPSTREAM) {
    return S_OK;
}

STDMETHODIMP FlashControl::Save(LPSTREAM, BOOL) {
    return S_OK;
}

STDMETHODIMP FlashControl::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size)
        return E_POINTER;
    size->QuadPart = 0;
    return S_OK;
}

STDMETHODIMP FlashControl::InitNew() {
    return S_OK;
}

// IViewObject, IViewObject2

STDMETHODIMP FlashControl::Draw(DWORD aspect,
                                LONG,
                                void*,
                                DVTARGETDEVICE*,
                                HDC,
                                HDC drawDc,
                                LPCRECTL bounds,
                                LPCRECTL,
                                BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!drawDc || !bounds)
        return E_INVALIDARG;
    try {
        RECT rc = {bounds->left, bounds->top, bounds->right, bounds->bottom};
        Paint(drawDc, rc);
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP FlashControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
    if (colors)
        *colors = nullptr;
    return S_FALSE;
}

STDMETHODIMP FlashControl::Freeze(DWORD, LONG, void*, DWORD* freeze) {
    if (freeze)
        *freeze = 0;
    return E_NOTIMPL;
}

STDMETHODIMP FlashControl::Unfreeze(DWORD) {
    return E_NOTIMPL;
}

STDMETHODIMP FlashControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    if (sink)
        sink->AddRef();
    if (viewSink_)
        viewSink_->Release();
    viewSink_ = sink;
    viewAspects_ = aspects;
    viewFlags_ = flags;
    return S_OK;
}

STDMETHODIMP FlashControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects)
        *aspects = viewAspects_;
    if (flags)
        *flags = viewFlags_;
    if (sink) {
        *sink = viewSink_;
        if (viewSink_)
            viewSink_->AddRef();
    }
    return S_OK;
}

STDMETHODIMP FlashControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}
