#pragma once
#include <windows.h>

#include <string>

#include "afxlite.h"
#include "resource.h"

// The Shockwave Flash control's window, driven through its automation members.
class CShockwaveflash : public CLiteWnd {
  public:
    CShockwaveflash() = default;

    // Creates the control in place; the class name and the context are not used.
    virtual BOOL Create(LPCWSTR className,
                        LPCWSTR windowName,
                        DWORD style,
                        const RECT& rect,
                        HWND parent,
                        UINT id,
                        void* context = nullptr);
    static CShockwaveflash* CreateObject();

    // The control's Movie property; empty when it cannot be read.
    std::wstring GetMovie();

    HRESULT GetLong(DISPID id, LONG* value);
    HRESULT PutLong(DISPID id, LONG value);
    HRESULT PutBool(DISPID id, BOOL value);
    HRESULT PutString(DISPID id, const wchar_t* value);
    HRESULT CallBoolMethod(DISPID id, BOOL* value);
};

extern const CLSID CLSID_ShockwaveFlash;

// Automation members of the control.
enum FlashDispid : DISPID {
    kDispidMovie = 0x66,
    kDispidFrameNum = 0x6B,
    kDispidAlignMode = 0x79,
    kDispidBackgroundColor = 0x7B,
    kDispidTotalFrames = 0x7C,
    kDispidPlaying = 0x7D,
    kDispidIsPlaying = 0x81,
    kDispidMenu = 0x87,
    kDispidScale = 0x89,
};

// One instance of the library: a black child dialog under the host's window that hosts the control.
class CSwfPlayDlg : public CLiteDialog {
  public:
    enum { IDD = IDD_SWFPLAY };

    explicit CSwfPlayDlg(HWND parent);
    ~CSwfPlayDlg() override;

    void PostResize();

    CShockwaveflash m_flash;
    HBRUSH m_hBlackBrush = nullptr;

  protected:
    BOOL OnInitDialog() override;
    BOOL OnEraseBkgnd(HDC dc) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnDestroy() override;
    void OnContextMenu(HWND window, POINT position) override;
    void OnLButtonDblClk(UINT flags, POINT point) override;
};
