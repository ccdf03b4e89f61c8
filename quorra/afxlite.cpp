// Hosting an ActiveX control, as the library does it.
//
// One ControlSite object per hosted control is the container's side of OLE in-place activation: it is
// the control's IOleClientSite, its IOleInPlaceSite and the IOleInPlaceFrame that GetWindowContext hands
// out, all three parts of one COM object with one reference count. Creation follows what controls
// expect of a container: CoCreateInstance for IOleObject; SetClientSite before initialisation when the
// control asks for it (OLEMISC_SETCLIENTSITEFIRST, so it can read its ambient state while it
// initialises), afterwards otherwise; IPersistStreamInit::InitNew; DoVerb(OLEIVERB_INPLACEACTIVATE);
// and finally the control's own window from IOleInPlaceObject::GetWindow, which is what the wrapper
// then stands for.
//
// The control's place is the site's: the wrapper moves a hosted control by giving the site a new
// rectangle and the control SetObjectRects, never by moving the control's window behind its back. A
// control keeps its own idea of where it is and asks the site again (GetWindowContext) whenever it is
// activated, a click's UI activation included, so the site always answers the rectangle last given.
//
// Teardown runs in the reverse order and the order matters. InPlaceDeactivate comes first, while the
// control still has its site: the control destroys its window and calls back OnInPlaceDeactivate, and a
// control that lost its site first could no longer tell its container. SetClientSite(nullptr) then
// breaks the reference cycle (the control holds the site, the site holds the control) and tells the
// control it must not call out any more. Close(OLECLOSE_NOSAVE) lets the control drop its advise
// connections and loaded content without trying to save into a container that is going away. A window
// the control still left on our dialog is destroyed next, while the control's object is still alive:
// its window procedure may use that object. Only then are our interface pointers released, which lets
// the control's object die.
//
// OLE is initialised on the calling thread the first time a control is created there (the host's UI
// thread); it stays initialised for the thread's life, as controls may keep apartment state until the
// process ends.
#include "afxlite.h"

#include <ocidl.h>

#include <new>

#include "ComPtr.h"

namespace {

HINSTANCE g_module = nullptr;
CLiteApp* g_app = nullptr;
bool g_appStarted = false;
bool g_appFailed = false;
bool g_controlContainer = false;
HANDLE g_actCtx = INVALID_HANDLE_VALUE;
bool g_actCtxTried = false;
thread_local int t_scopeDepth = 0;
thread_local bool t_oleInitialised = false;

const wchar_t kWndProp[] = L"quorra.LiteWnd";

// The library's manifest context, made once from resource 2 of our own module.
HANDLE LibraryActCtx() {
    if (!g_actCtxTried) {
        g_actCtxTried = true;
        ACTCTXW ctx = {sizeof(ctx)};
        ctx.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        ctx.hModule = g_module;
        ctx.lpResourceName = MAKEINTRESOURCEW(2);
        g_actCtx = CreateActCtxW(&ctx);
    }
    return g_actCtx;
}

bool EnsureOle() {
    if (!t_oleInitialised) {
        // S_FALSE: OLE was already up on this thread; our call still counts and is simply never undone.
        if (FAILED(OleInitialize(nullptr))) {
            return false;
        }
        t_oleInitialised = true;
    }
    return true;
}

}  // namespace

class ControlSite final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
  public:
    explicit ControlSite(HWND container) : container_(container) {}
    ControlSite(const ControlSite&) = delete;
    ControlSite& operator=(const ControlSite&) = delete;

    HRESULT Create(REFCLSID clsid, const RECT& rect) {
        rect_ = rect;
        clip_ = rect;
        HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, object_.put_void());
        if (FAILED(hr)) {
            return hr;
        }
        DWORD misc = 0;
        object_->GetMiscStatus(DVASPECT_CONTENT, &misc);
        const bool siteFirst = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
        if (siteFirst && FAILED(hr = object_->SetClientSite(this))) {
            return hr;
        }
        ComPtr<IPersistStreamInit> persist;
        if (SUCCEEDED(object_->QueryInterface(IID_IPersistStreamInit, persist.put_void()))) {
            hr = persist->InitNew();
            if (FAILED(hr) && hr != E_NOTIMPL) {
                return hr;
            }
        }
        if (!siteFirst && FAILED(hr = object_->SetClientSite(this))) {
            return hr;
        }
        object_->SetHostNames(L"quorra", nullptr);
        RECT pos = rect_;
        if (FAILED(hr = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, container_, &pos))) {
            return hr;
        }
        if (FAILED(hr = object_->QueryInterface(IID_IOleInPlaceObject, inPlace_.put_void()))) {
            return hr;
        }
        if (FAILED(hr = inPlace_->GetWindow(&window_)) || !IsWindow(window_)) {
            return FAILED(hr) ? hr : E_FAIL;
        }
        if (FAILED(hr = object_->QueryInterface(IID_IDispatch, dispatch_.put_void()))) {
            return hr;
        }
        return S_OK;
    }

    // Safe on a partly created site: every step checks what exists. See the top of the file for the order.
    void Destroy() {
        if (inPlace_) {
            inPlace_->InPlaceDeactivate();
        }
        if (object_) {
            object_->SetClientSite(nullptr);
            object_->Close(OLECLOSE_NOSAVE);
        }
        if (window_ && IsWindow(window_)) {
            ::DestroyWindow(window_);
        }
        window_ = nullptr;
        dispatch_.reset();
        inPlace_.reset();
        object_.reset();
    }

    // The control's new place in the container's client area.
    BOOL Move(const RECT& pos) {
        rect_ = pos;
        clip_ = pos;
        return inPlace_ && SUCCEEDED(inPlace_->SetObjectRects(&rect_, &clip_));
    }

    HWND Window() const { return window_; }
    IDispatch* Dispatch() const { return dispatch_.get(); }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) {
            return E_POINTER;
        }
        if (riid == IID_IUnknown || riid == IID_IOleClientSite) {
            *out = static_cast<IOleClientSite*>(this);
        } else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite) {
            *out = static_cast<IOleInPlaceSite*>(this);
        } else if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame) {
            *out = static_cast<IOleInPlaceFrame*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) {
            delete this;
        }
        return left;
    }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
        if (moniker) {
            *moniker = nullptr;
        }
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** container) override {
        if (container) {
            *container = nullptr;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow, for both the in-place site and the frame
    STDMETHODIMP GetWindow(HWND* hwnd) override {
        if (!hwnd) {
            return E_POINTER;
        }
        *hwnd = container_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame,
                                  IOleInPlaceUIWindow** doc,
                                  LPRECT pos,
                                  LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO info) override {
        if (!frame || !doc || !pos || !clip || !info) {
            return E_POINTER;
        }
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        *doc = nullptr;
        *pos = rect_;
        *clip = clip_;
        info->fMDIApp = FALSE;
        info->hwndFrame = container_;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT pos) override {
        if (!pos) {
            return E_POINTER;
        }
        Move(*pos);
        return S_OK;
    }

    // IOleInPlaceUIWindow, IOleInPlaceFrame: the dialog has no tool space, menus or status bar to share.
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  private:
    ~ControlSite() = default;

    LONG refs_ = 1;
    HWND container_;
    RECT rect_ = {};
    RECT clip_ = {};
    ComPtr<IOleObject> object_;
    ComPtr<IOleInPlaceObject> inPlace_;
    ComPtr<IDispatch> dispatch_;
    HWND window_ = nullptr;
};

HINSTANCE LiteModuleInstance() {
    return g_module;
}

void LiteSetModuleInstance(HINSTANCE module) {
    g_module = module;
}

void LiteEnableControlContainer() {
    g_controlContainer = true;
}

HINSTANCE LiteResourceModule() {
    return t_scopeDepth > 0 ? g_module : GetModuleHandleW(nullptr);
}

CLiteApp::CLiteApp() {
    g_app = this;
}

CLiteApp::~CLiteApp() {
    if (g_app == this) {
        g_app = nullptr;
    }
}

ModuleStateScope::ModuleStateScope() {
    HANDLE ctx = LibraryActCtx();
    // Without a context (a manifest the system cannot resolve) the library still works with the
    // common controls of the caller's context.
    if (ctx != INVALID_HANDLE_VALUE) {
        activated_ = ActivateActCtx(ctx, &cookie_) != FALSE;
    }
    ++t_scopeDepth;
    if (!g_appStarted && !g_appFailed && g_app) {
        if (g_app->InitInstance()) {
            g_appStarted = true;
        } else {
            g_appFailed = true;
        }
    }
    appStarted_ = g_appStarted;
}

ModuleStateScope::~ModuleStateScope() {
    --t_scopeDepth;
    if (activated_) {
        DeactivateActCtx(0, cookie_);
    }
}

CLiteWnd::CLiteWnd() = default;

CLiteWnd::~CLiteWnd() {
    DestroySite();
    if (m_hWnd && prevProc_) {
        Detach();
    }
}

BOOL CLiteWnd::CreateControl(REFCLSID clsid, LPCWSTR windowName, DWORD style, const RECT& rect, HWND parent, UINT id) {
    // One wrapper stands for one control: a control made earlier through this wrapper is ended, so that
    // it neither stays on the dialog nor keeps its site alive.
    if (site_ || m_hWnd) {
        DestroyWindow();
    }
    if (!g_controlContainer || !IsWindow(parent) || !EnsureOle()) {
        return FALSE;
    }
    ComPtr<ControlSite> site;
    site.attach(new (std::nothrow) ControlSite(parent));
    if (!site) {
        return FALSE;
    }
    if (FAILED(site->Create(clsid, rect))) {
        site->Destroy();
        return FALSE;
    }
    m_hWnd = site->Window();
    site_ = std::move(site);
    SetWindowLongPtrW(m_hWnd, GWLP_ID, static_cast<LONG_PTR>(id));
    if (windowName && *windowName) {
        SetWindowTextW(m_hWnd, windowName);
    }
    if (style & WS_VISIBLE) {
        ShowWindow(m_hWnd, SW_SHOWNA);
    }
    return TRUE;
}

// The wrapper lets go of the site before the control is torn down: messages sent on the way (the
// control window's WM_DESTROY) find a wrapper with no control, not one half ended.
bool CLiteWnd::DestroySite() {
    if (!site_) {
        return false;
    }
    ComPtr<ControlSite> site = std::move(site_);
    m_hWnd = nullptr;
    site->Destroy();
    return true;
}

BOOL CLiteWnd::DestroyWindow() {
    if (DestroySite()) {
        return TRUE;
    }
    if (!m_hWnd) {
        return FALSE;
    }
    // WM_NCDESTROY detaches the object (LiteWndProc), clearing m_hWnd.
    return ::DestroyWindow(m_hWnd);
}

BOOL CLiteWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
    if (site_) {
        // The control moves its window itself when SetObjectRects tells it to, and repaints it.
        return site_->Move(RECT{x, y, x + width, y + height});
    }
    return m_hWnd && ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

HRESULT CLiteWnd::InvokeHelper(DISPID id, WORD flags, VARIANT* result, const VARIANT* argument) {
    if (!site_ || !site_->Dispatch()) {
        return S_FALSE;
    }
    VARIANT arg;
    VariantInit(&arg);
    if (argument) {
        arg = *argument;  // shallow: Invoke does not own its arguments
    }
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {};
    if (argument) {
        params.rgvarg = &arg;
        params.cArgs = 1;
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            params.rgdispidNamedArgs = &named;
            params.cNamedArgs = 1;
        }
    }
    EXCEPINFO excep = {};
    UINT argErr = 0;
    HRESULT hr = site_->Dispatch()->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &excep, &argErr);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    return hr;
}

HRESULT CLiteWnd::GetProperty(DISPID id, VARTYPE type, VARIANT* value) {
    VARIANT raw;
    VariantInit(&raw);
    HRESULT hr = InvokeHelper(id, DISPATCH_PROPERTYGET, &raw, nullptr);
    if (hr == S_OK) {
        hr = VariantChangeType(value, &raw, 0, type);
    }
    VariantClear(&raw);
    return hr;
}

HRESULT CLiteWnd::SetProperty(DISPID id, const VARIANT& value) {
    return InvokeHelper(id, DISPATCH_PROPERTYPUT, nullptr, &value);
}

LRESULT CLiteWnd::WindowProc(UINT, WPARAM, LPARAM) {
    return Default();
}

LRESULT CLiteWnd::Default() {
    return CallWindowProcW(prevProc_, m_hWnd, curMessage_, curWParam_, curLParam_);
}

void CLiteWnd::SubclassWindow(HWND hwnd) {
    m_hWnd = hwnd;
    SetPropW(hwnd, kWndProp, this);
    prevProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CLiteWnd::LiteWndProc)));
}

void CLiteWnd::Detach() {
    if (m_hWnd) {
        SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prevProc_));
        RemovePropW(m_hWnd, kWndProp);
    }
    m_hWnd = nullptr;
}

LRESULT CALLBACK CLiteWnd::LiteWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CLiteWnd* self = static_cast<CLiteWnd*>(GetPropW(hwnd, kWndProp));
    if (!self) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    const WNDPROC prev = self->prevProc_;
    const UINT savedMessage = self->curMessage_;
    const WPARAM savedWParam = self->curWParam_;
    const LPARAM savedLParam = self->curLParam_;
    self->curMessage_ = message;
    self->curWParam_ = wParam;
    self->curLParam_ = lParam;
    LRESULT result = 0;
    try {
        result = self->WindowProc(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind into the system's frames; the message counts as handled.
        result = 0;
    }
    if (message == WM_NCDESTROY) {
        // The window is gone: the object no longer stands for it, and a later DestroyWindow does nothing.
        if (self->m_hWnd == hwnd) {
            self->Detach();
        } else {
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prev));
            RemovePropW(hwnd, kWndProp);
        }
    }
    self->curMessage_ = savedMessage;
    self->curWParam_ = savedWParam;
    self->curLParam_ = savedLParam;
    return result;
}

BOOL CLiteDialog::Create(UINT templateId, HWND parent) {
    templateId_ = templateId;
    parent_ = parent;
    HWND hwnd = CreateDialogParamW(LiteResourceModule(), MAKEINTRESOURCEW(templateId), parent, &LiteDlgProc,
                                   reinterpret_cast<LPARAM>(this));
    return hwnd != nullptr;
}

// Only WM_INITDIALOG is handled here, where the dialog binds itself to its object; from then on the
// window is subclassed and every message reaches WindowProc first, with the dialog manager's own
// procedure (which calls this one back and gets FALSE) as the default processing.
INT_PTR CALLBACK CLiteDialog::LiteDlgProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG) {
        return FALSE;
    }
    CLiteDialog* self = reinterpret_cast<CLiteDialog*>(lParam);
    if (!self) {
        return FALSE;
    }
    try {
        self->SubclassWindow(hwnd);
        return self->OnInitDialog();
    } catch (...) {
        return FALSE;
    }
}

LRESULT CLiteDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
        case WM_SIZE:
            OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_CONTEXTMENU:
            OnContextMenu(reinterpret_cast<HWND>(wParam),
                          POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
            return 0;
        case WM_LBUTTONDBLCLK:
            OnLButtonDblClk(static_cast<UINT>(wParam),
                            POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
            return 0;
        default:
            return Default();
    }
}

BOOL CLiteDialog::OnEraseBkgnd(HDC) {
    return static_cast<BOOL>(Default());
}

void CLiteDialog::OnSize(UINT, int, int) {
    Default();
}

void CLiteDialog::OnDestroy() {
    Default();
}

void CLiteDialog::OnContextMenu(HWND, POINT) {
    Default();
}

void CLiteDialog::OnLButtonDblClk(UINT, POINT) {
    Default();
}
