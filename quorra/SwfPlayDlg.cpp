#include "SwfPlayDlg.h"

#include <oleauto.h>

#include <new>

// {D27CDB6E-AE6D-11CF-96B8-444553540000}
const CLSID CLSID_ShockwaveFlash = {0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

BOOL CShockwaveflash::Create(LPCWSTR, LPCWSTR windowName, DWORD style, const RECT& rect, HWND parent, UINT id, void*) {
    return CreateControl(CLSID_ShockwaveFlash, windowName, style, rect, parent, id);
}

CShockwaveflash* CShockwaveflash::CreateObject() {
    return new (std::nothrow) CShockwaveflash;
}

std::wstring CShockwaveflash::GetMovie() {
    VARIANT value;
    VariantInit(&value);
    std::wstring movie;
    if (GetProperty(kDispidMovie, VT_BSTR, &value) == S_OK && value.bstrVal) {
        movie.assign(value.bstrVal, SysStringLen(value.bstrVal));
    }
    VariantClear(&value);
    return movie;
}

HRESULT CShockwaveflash::GetLong(DISPID id, LONG* result) {
    VARIANT value;
    VariantInit(&value);
    const HRESULT hr = GetProperty(id, VT_I4, &value);
    *result = hr == S_OK ? value.lVal : 0;
    VariantClear(&value);
    return hr;
}

HRESULT CShockwaveflash::PutLong(DISPID id, LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return SetProperty(id, v);
}

HRESULT CShockwaveflash::PutBool(DISPID id, BOOL value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return SetProperty(id, v);
}

HRESULT CShockwaveflash::PutString(DISPID id, const wchar_t* value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(value ? value : L"");
    if (!v.bstrVal) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = SetProperty(id, v);
    VariantClear(&v);
    return hr;
}

HRESULT CShockwaveflash::CallBoolMethod(DISPID id, BOOL* result) {
    VARIANT raw;
    VariantInit(&raw);
    HRESULT hr = InvokeHelper(id, DISPATCH_METHOD, &raw, nullptr);
    *result = FALSE;
    if (hr == S_OK) {
        VARIANT value;
        VariantInit(&value);
        hr = VariantChangeType(&value, &raw, 0, VT_BOOL);
        if (SUCCEEDED(hr)) {
            *result = value.boolVal != VARIANT_FALSE;
        }
        VariantClear(&value);
    }
    VariantClear(&raw);
    return hr;
}

CSwfPlayDlg::CSwfPlayDlg(HWND parent) : CLiteDialog(IDD, parent), m_hBlackBrush(CreateSolidBrush(RGB(0, 0, 0))) {}

CSwfPlayDlg::~CSwfPlayDlg() {
    if (m_hBlackBrush) {
        DeleteObject(m_hBlackBrush);
        m_hBlackBrush = nullptr;
    }
}

// A posted WM_SIZE rather than a direct resize: it reaches OnSize after the control has taken its
// Movie, so the control is sized only once it has something to show.
void CSwfPlayDlg::PostResize() {
    RECT rc = {};
    GetClientRect(m_hWnd, &rc);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    if (width > 0 && height > 0) {
        PostMessageW(m_hWnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
    }
}

BOOL CSwfPlayDlg::OnInitDialog() {
    CLiteDialog::OnInitDialog();
    return TRUE;
}

BOOL CSwfPlayDlg::OnEraseBkgnd(HDC dc) {
    RECT rc = {};
    GetClientRect(m_hWnd, &rc);
    SetBkColor(dc, RGB(0, 0, 0));
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    return TRUE;
}

void CSwfPlayDlg::OnSize(UINT type, int cx, int cy) {
    CLiteDialog::OnSize(type, cx, cy);
    RECT rc = {};
    GetClientRect(m_hWnd, &rc);
    HWND flash = m_flash.GetSafeHwnd();
    if (!IsWindow(flash)) {
        return;
    }
    // A control with no movie is kept at no size, so the black dialog shows. The wrapper places it
    // through its site, where the control takes its size from.
    if (!m_flash.GetMovie().empty()) {
        m_flash.MoveWindow(0, 0, rc.right - rc.left, rc.bottom - rc.top, TRUE);
    } else {
        m_flash.MoveWindow(0, 0, 0, 0, TRUE);
    }
}

void CSwfPlayDlg::OnDestroy() {
    CLiteDialog::OnDestroy();
    // The control's window is a child of ours and still exists here; it is ended through its site
    // before the system destroys the children.
    HWND flash = m_flash.GetSafeHwnd();
    if (flash && IsWindow(flash)) {
        m_flash.DestroyWindow();
    }
}

void CSwfPlayDlg::OnContextMenu(HWND window, POINT position) {
    PostMessageW(GetParentHwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), MAKELPARAM(position.x, position.y));
}

void CSwfPlayDlg::OnLButtonDblClk(UINT flags, POINT point) {
    PostMessageW(GetParentHwnd(), WM_LBUTTONDBLCLK, flags, MAKELPARAM(point.x, point.y));
    CLiteDialog::OnLButtonDblClk(flags, point);
}
