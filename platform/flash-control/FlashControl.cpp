// The stand-in Flash control's COM object: its interfaces, automation dispatch and lifetime. A container
// creates it by CLSID, gives it its client site and activates it in place (DoVerb); the window that
// activation makes is in ControlWindow.cpp, the movie and the members' values in ControlMovie.cpp.
//
// Everything runs on the thread that created the object (apartment model): the frame clock is driven by
// a timer on the control's own window, and FrameNum reads the clock directly, so the position is right
// even between two timer ticks.
#include <new>

#include "FlashControl.h"

LONG g_liveControls = 0;
LONG g_orphanedWindows = 0;

const CLSID CLSID_FlashStandIn = {0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

Fault CurrentFault() {
    wchar_t value[32] = {};
    DWORD n = GetEnvironmentVariableW(L"VANTREL_FLASH_FAULT", value, 32);
    if (n == 0 || n >= 32)
        return Fault::kNone;
    const struct {
        const wchar_t* name;
        Fault fault;
    } names[] = {{L"missing", Fault::kMissing},
                 {L"movie", Fault::kMovie},
                 {L"activate", Fault::kActivate},
                 {L"keepwindow", Fault::kKeepWindow}};
    for (const auto& n : names) {
        if (lstrcmpiW(value, n.name) == 0)
            return n.fault;
    }
    return Fault::kNone;
}

FlashControl::FlashControl() : fault_(CurrentFault()) {
    InterlockedIncrement(&g_serverRefs);
    InterlockedIncrement(&g_liveControls);
}

FlashControl::~FlashControl() {
    if (hwnd_) {
        // A container ends the window before it lets go of the control; one still here was left behind.
        InterlockedIncrement(&g_orphanedWindows);
        // The window must not reach this object any more while it is destroyed.
        HWND hwnd = hwnd_;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        DestroyWindow(hwnd);
    }
    InterlockedDecrement(&g_liveControls);
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
    const Member* member = FindMember(names[0]);
    ids[0] = member ? member->id : DISPID_UNKNOWN;
    if (!member)
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
        if ((params->cArgs && !params->rgvarg) || (params->cNamedArgs && !params->rgdispidNamedArgs))
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
                // The result is the caller's out-parameter: whatever it held is not ours to free.
                VariantInit(result);
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

// IOleObject

STDMETHODIMP FlashControl::SetClientSite(IOleClientSite* site) {
    // A container that drops its site while the control is still active gets it deactivated first: the
    // in-place site must not be called after the client site is gone.
    if (!site && inPlaceActive_)
        InPlaceDeactivate();
    site_ = ComPtr<IOleClientSite>(site);
    return S_OK;
}

STDMETHODIMP FlashControl::GetClientSite(IOleClientSite** site) {
    if (!site)
        return E_POINTER;
    *site = ComPtr<IOleClientSite>(site_).detach();
    return S_OK;
}

STDMETHODIMP FlashControl::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}

STDMETHODIMP FlashControl::Close(DWORD) {
    InPlaceDeactivate();
    if (adviseHolder_)
        adviseHolder_->SendOnClose();
    viewSink_.reset();
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
    if (!adviseHolder_ && FAILED(CreateOleAdviseHolder(adviseHolder_.put())))
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
    viewSink_ = ComPtr<IAdviseSink>(sink);
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
        *sink = ComPtr<IAdviseSink>(viewSink_).detach();
    }
    return S_OK;
}

STDMETHODIMP FlashControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}
