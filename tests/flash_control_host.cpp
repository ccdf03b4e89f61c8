#include "flash_control_host.h"

#include <shellapi.h>

const CLSID kFlashClsid = {0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

STDMETHODIMP TestSite::QueryInterface(REFIID riid, void** out) {
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
        *out = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
        *out = static_cast<IOleInPlaceSite*>(this);
    else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HWND CreateHostWindow(int width, int height) {
    static ATOM atom = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
        wc.lpszClassName = L"FlashControlTestHost";
        return RegisterClassW(&wc);
    }();
    (void)atom;
    RECT rc = {0, 0, width, height};
    AdjustWindowRect(&rc, WS_OVERLAPPEDWINDOW, FALSE);
    HWND hwnd =
        CreateWindowExW(0, L"FlashControlTestHost", L"Flash control test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                        rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    return hwnd;
}

HRESULT PutProperty(IDispatch* d, DISPID id, VARIANT value) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&value, &named, 1, 1};
    return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
}

HRESULT PutInt(IDispatch* d, DISPID id, LONG value) {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return PutProperty(d, id, v);
}

HRESULT PutBool(IDispatch* d, DISPID id, bool value) {
    VARIANT v;
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return PutProperty(d, id, v);
}

HRESULT PutString(IDispatch* d, DISPID id, const std::wstring& value) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocStringLen(value.data(), UINT(value.size()));
    HRESULT hr = PutProperty(d, id, v);
    VariantClear(&v);
    return hr;
}

HRESULT GetProperty(IDispatch* d, DISPID id, VARIANT* result) {
    DISPPARAMS params = {nullptr, nullptr, 0, 0};
    VariantInit(result);
    return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &params, result, nullptr, nullptr);
}

LONG GetInt(IDispatch* d, DISPID id) {
    VARIANT v;
    if (FAILED(GetProperty(d, id, &v)) || V_VT(&v) != VT_I4) {
        VariantClear(&v);
        return -12345;
    }
    return V_I4(&v);
}

bool GetBool(IDispatch* d, DISPID id) {
    VARIANT v;
    bool ok = SUCCEEDED(GetProperty(d, id, &v)) && V_VT(&v) == VT_BOOL && V_BOOL(&v) == VARIANT_TRUE;
    VariantClear(&v);
    return ok;
}

std::wstring GetString(IDispatch* d, DISPID id) {
    VARIANT v;
    std::wstring s = L"<failed>";
    if (SUCCEEDED(GetProperty(d, id, &v)) && V_VT(&v) == VT_BSTR)
        s.assign(V_BSTR(&v) ? V_BSTR(&v) : L"", V_BSTR(&v) ? SysStringLen(V_BSTR(&v)) : 0);
    VariantClear(&v);
    return s;
}

TempFolder::TempFolder() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    wchar_t name[MAX_PATH];
    wsprintfW(name, L"%sflash-control-test-%lu-%lu", base, GetCurrentProcessId(), GetTickCount());
    path_ = name;
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() {
    // SHFileOperation wants a double-null-terminated list.
    std::wstring from = path_;
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
}

std::wstring TempFolder::Write(const std::wstring& name, const std::vector<uint8_t>& data) const {
    std::wstring file = path_ + L"\\" + name;
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(h, data.data(), DWORD(data.size()), &written, nullptr);
        CloseHandle(h);
    }
    return file;
}

std::wstring SourceFolder() {
    // The tests run from <repository>\build\x64\bin.
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring path = exe;
    for (int up = 0; up < 4 && !path.empty(); ++up)
        path.erase(path.find_last_of(L'\\') == std::wstring::npos ? 0 : path.find_last_of(L'\\'));
    return path;
}
