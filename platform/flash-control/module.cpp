// The in-process server around FlashControl: its class factory, the four exports COM looks for, the
// registration under the Flash control's CLSID (InprocServer32, apartment threaded) that regsvr32 writes
// into the Wine prefix, and three exports for the tests of its containers: how many control objects
// live, how many control windows outlived their object, and the automation object behind a window.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <new>

#include "FlashControl.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

LONG g_serverRefs = 0;

HINSTANCE ModuleInstance() {
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

namespace {

constexpr wchar_t kClsidKey[] = L"CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}";
constexpr wchar_t kDescription[] = L"Flash stand-in control";

// Static, so its own references do not keep the DLL loaded; LockServer does.
class ClassFactory final : public IClassFactory {
  public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* control = new (std::nothrow) FlashControl();
        if (!control)
            return E_OUTOFMEMORY;
        HRESULT hr = control->QueryInterface(riid, out);
        control->Release();
        return hr;
    }

    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            InterlockedIncrement(&g_serverRefs);
        else
            InterlockedDecrement(&g_serverRefs);
        return S_OK;
    }
};

ClassFactory g_factory;

LONG SetString(HKEY key, const wchar_t* name, const wchar_t* value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                          DWORD((lstrlenW(value) + 1) * sizeof(wchar_t)));
}

LONG WriteKey(const wchar_t* subKey, const wchar_t* name, const wchar_t* value) {
    HKEY key;
    LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, subKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (value)
        rc = SetString(key, name, value);
    RegCloseKey(key);
    return rc;
}

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    try {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (clsid != CLSID_FlashStandIn || CurrentFault() == Fault::kMissing)
            return CLASS_E_CLASSNOTAVAILABLE;
        return g_factory.QueryInterface(riid, out);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    if (g_serverRefs != 0)
        return S_FALSE;
    // The DLL may come back at another address; a class left behind would point into freed code.
    UnregisterControlWindowClass();
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    try {
        wchar_t path[MAX_PATH];
        DWORD n = GetModuleFileNameW(ModuleInstance(), path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return SELFREG_E_CLASS;
        wchar_t inproc[128];
        wsprintfW(inproc, L"%s\\InprocServer32", kClsidKey);
        wchar_t control[128];
        wsprintfW(control, L"%s\\Control", kClsidKey);
        wchar_t misc[128];
        wsprintfW(misc, L"%s\\MiscStatus", kClsidKey);
        wchar_t miscStatus[16];
        wsprintfW(miscStatus, L"%lu",
                  DWORD(OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
                        OLEMISC_RECOMPOSEONRESIZE));
        if (WriteKey(kClsidKey, nullptr, kDescription) != ERROR_SUCCESS ||
            WriteKey(inproc, nullptr, path) != ERROR_SUCCESS ||
            WriteKey(inproc, L"ThreadingModel", L"Apartment") != ERROR_SUCCESS ||
            WriteKey(control, nullptr, nullptr) != ERROR_SUCCESS ||
            WriteKey(misc, nullptr, miscStatus) != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
        return S_OK;
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    try {
        // Only a registration that names this DLL is removed: the real control may own the CLSID.
        wchar_t path[MAX_PATH];
        DWORD n = GetModuleFileNameW(ModuleInstance(), path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return SELFREG_E_CLASS;
        wchar_t inproc[128];
        wsprintfW(inproc, L"%s\\InprocServer32", kClsidKey);
        wchar_t registered[MAX_PATH] = {};
        LONG size = sizeof(registered);
        if (RegQueryValueW(HKEY_CLASSES_ROOT, inproc, registered, &size) != ERROR_SUCCESS)
            return S_OK;
        if (lstrcmpiW(registered, path) != 0)
            return S_OK;
        LONG rc = RegDeleteTreeW(HKEY_CLASSES_ROOT, kClsidKey);
        return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

extern "C" LONG WINAPI FlashStandInLiveControls() {
    return g_liveControls;
}

extern "C" LONG WINAPI FlashStandInOrphanedWindows() {
    return g_orphanedWindows;
}

// The IDispatch of the control whose window this is, with a reference for the caller; null for any
// other window. Only for the thread that made the control.
extern "C" IDispatch* WINAPI FlashStandInDispatchOf(HWND hwnd) {
    try {
        FlashControl* control = FlashControl::FromWindow(hwnd);
        if (!control)
            return nullptr;
        IDispatch* dispatch = nullptr;
        control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
        control->Release();
        return dispatch;
    } catch (...) {
        return nullptr;
    }
}
