#pragma once
// A minimal ActiveX container for the stand-in Flash control's tests: a host window of the test's own, a
// client site that activates the control in place in it, and helpers for the control's automation.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <cstdint>
#include <string>
#include <vector>

extern const CLSID kFlashClsid;

enum : DISPID {
    kMovie = 0x66,
    kFrameNum = 0x6B,
    kAlignMode = 0x79,
    kBackgroundColor = 0x7B,
    kTotalFrames = 0x7C,
    kPlaying = 0x7D,
    kIsPlaying = 0x81,
    kMenu = 0x87,
    kScale = 0x89,
};

class TestSite final : public IOleClientSite, public IOleInPlaceSite {
  public:
    explicit TestSite(HWND host, RECT pos) : host_(host), pos_(pos) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override { return --refs_; }  // lives on the test's stack

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** m) override {
        *m = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** c) override {
        *c = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceSite
    STDMETHODIMP GetWindow(HWND* hwnd) override {
        *hwnd = host_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override {
        ++inPlaceActivations;
        return S_OK;
    }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame,
                                  IOleInPlaceUIWindow** doc,
                                  LPRECT pos,
                                  LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO) override {
        *frame = nullptr;
        *doc = nullptr;
        *pos = pos_;
        *clip = pos_;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override {
        ++inPlaceDeactivations;
        return S_OK;
    }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

    // Where GetWindowContext says the control goes from now on.
    void SetPlace(RECT pos) { pos_ = pos; }

    ULONG refs() const { return refs_; }
    int inPlaceActivations = 0;
    int inPlaceDeactivations = 0;

  private:
    HWND host_;
    RECT pos_;
    ULONG refs_ = 0;
};

// A visible top-level window of a class of the test's own.
HWND CreateHostWindow(int width, int height);

HRESULT PutProperty(IDispatch* d, DISPID id, VARIANT value);
HRESULT PutInt(IDispatch* d, DISPID id, LONG value);
HRESULT PutBool(IDispatch* d, DISPID id, bool value);
HRESULT PutString(IDispatch* d, DISPID id, const std::wstring& value);
HRESULT GetProperty(IDispatch* d, DISPID id, VARIANT* result);
LONG GetInt(IDispatch* d, DISPID id);  // -12345 when the get fails
bool GetBool(IDispatch* d, DISPID id);
std::wstring GetString(IDispatch* d, DISPID id);

// A folder under the temp folder, removed with its files at the end.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    std::wstring Write(const std::wstring& name, const std::vector<uint8_t>& data) const;
    const std::wstring& path() const { return path_; }

  private:
    std::wstring path_;
};

// The repository's folder as a Windows path, found from the test program's own path.
std::wstring SourceFolder();
