#pragma once
// The stand-in for the Shockwave Flash ActiveX control: one COM object with the automation members the
// SWF library uses and the OLE interfaces a container needs to activate it in place in a child window.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <string>

#include "ComPtr.h"
#include "frame_clock.h"
#include "swf_reader.h"

extern const CLSID CLSID_FlashStandIn;

// Objects and server locks alive, for DllCanUnloadNow.
extern LONG g_serverRefs;
// Control objects alive, and control windows that were still there when their object died; the tests
// read both through the DLL's exports.
extern LONG g_liveControls;
extern LONG g_orphanedWindows;
HINSTANCE ModuleInstance();
void UnregisterControlWindowClass();

// Misbehaviour on request, so that a container's failure paths can be run: the variable
// VANTREL_FLASH_FAULT names one, read when an object (or the class object) is asked for.
enum class Fault {
    kNone,
    kMissing,     // no class object: as if the control were not installed
    kMovie,       // every Movie put is refused
    kActivate,    // in-place activation makes the window, then fails
    kKeepWindow,  // InPlaceDeactivate leaves the window behind
};
Fault CurrentFault();

// Automation members.
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
const Member* FindMember(DISPID id);
const Member* FindMember(const wchar_t* name);

uint64_t Now();

class FlashControl final : public IDispatch,
                           public IOleObject,
                           public IOleInPlaceObject,
                           public IOleInPlaceActiveObject,
                           public IOleControl,
                           public IPersistStreamInit,
                           public IViewObject2 {
  public:
    FlashControl();
    FlashControl(const FlashControl&) = delete;

    // The object whose window this is, with a reference for the caller; null for any other window.
    static FlashControl* FromWindow(HWND hwnd);
    FlashControl& operator=(const FlashControl&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id,
                        REFIID riid,
                        LCID lcid,
                        WORD flags,
                        DISPPARAMS* params,
                        VARIANT* result,
                        EXCEPINFO* excep,
                        UINT* argErr) override;

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR obj) override;
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent, LPCRECT posRect) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
    STDMETHODIMP Unadvise(DWORD connection) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

    // IOleWindow, shared by IOleInPlaceObject and IOleInPlaceActiveObject
    STDMETHODIMP GetWindow(HWND* hwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;

    // IOleInPlaceObject
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT posRect, LPCRECT clipRect) override;
    STDMETHODIMP ReactivateAndUndo() override;

    // IOleInPlaceActiveObject
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG* msg) override;
    STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
    STDMETHODIMP FreezeEvents(BOOL freeze) override;

    // IPersist, IPersistStreamInit
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(LPSTREAM stream) override;
    STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP InitNew() override;

    // IViewObject, IViewObject2
    STDMETHODIMP Draw(DWORD aspect,
                      LONG index,
                      void* aspectInfo,
                      DVTARGETDEVICE* device,
                      HDC targetDc,
                      HDC drawDc,
                      LPCRECTL bounds,
                      LPCRECTL wBounds,
                      BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR),
                      ULONG_PTR contArg) override;
    STDMETHODIMP GetColorSet(DWORD aspect,
                             LONG index,
                             void* aspectInfo,
                             DVTARGETDEVICE* device,
                             HDC targetDc,
                             LOGPALETTE** colors) override;
    STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    STDMETHODIMP Unfreeze(DWORD freeze) override;
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;

  private:
    ~FlashControl();

    // The window and its painting (ControlWindow.cpp).
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    HRESULT ActivateInPlace(bool uiActivate, HWND parent, LPCRECT posRect);
    void ApplyRects(const RECT& pos, const RECT& clip);
    bool KeepPlace(WINDOWPOS* pos) const;
    void DestroyControlWindow();
    void Paint(HDC dc, const RECT& rc);
    void ShowContextMenu(POINT screen);
    void UpdateTimer();
    void OnTick();
    void UpdateCaption();

    // The movie and the automation state (ControlMovie.cpp).
    HRESULT GetProperty(DISPID id, VARIANT* result);
    HRESULT PutProperty(DISPID id, VARIANT* value);
    void LoadMovie(const std::wstring& path);
    COLORREF PaintColour() const;
    SIZEL DefaultExtent() const;

    LONG refs_ = 1;
    Fault fault_ = Fault::kNone;
    ComPtr<IOleClientSite> site_;
    ComPtr<IOleInPlaceSite> inPlaceSite_;
    ComPtr<IOleAdviseHolder> adviseHolder_;
    ComPtr<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0;
    DWORD viewFlags_ = 0;
    HWND hwnd_ = nullptr;
    bool inPlaceActive_ = false;
    bool uiActive_ = false;
    bool hasExtent_ = false;
    SIZEL extent_ = {};
    UINT_PTR timer_ = 0;
    uint32_t paintedFrame_ = UINT32_MAX;
    // Where the container placed the control, in its window's client coordinates: the window is kept
    // there and moves only when the container says so (SetObjectRects, or the rectangles GetWindowContext
    // answers at activation), never because someone moved the window itself.
    RECT posRect_ = {};
    RECT clipRect_ = {};
    bool placing_ = false;

    // Automation state.
    std::wstring moviePath_;
    bool movieLoaded_ = false;
    swf::MovieInfo movie_;
    swf::FrameClock clock_;
    LONG backgroundColor_ = -1;  // 0xRRGGBB put by the host; -1: the movie's own colour
    LONG alignMode_ = 0;
    bool menu_ = true;
    std::wstring scale_ = L"ShowAll";
};
