#pragma once
// The small application framework the library is built on: an application object, windows bound to C++
// objects, modeless dialogs with virtual message handlers, and hosting of one ActiveX control per window
// wrapper (in-place activation, automation by DISPID).
#include <windows.h>
#include <ole2.h>

#include "ComPtr.h"

class ControlSite;

// Started on the first module-state scope, not from DllMain: nothing runs under the loader lock.
class CLiteApp {
  public:
    CLiteApp();
    virtual ~CLiteApp();
    CLiteApp(const CLiteApp&) = delete;
    CLiteApp& operator=(const CLiteApp&) = delete;

    virtual BOOL InitInstance() { return TRUE; }
};

// The module handle of this library, recorded by DllMain.
HINSTANCE LiteModuleInstance();
void LiteSetModuleInstance(HINSTANCE module);

// Lets windows of this library host ActiveX controls; CreateControl fails until it has been called.
void LiteEnableControlContainer();

// Where templates are loaded from: this library while a ModuleStateScope is in force on the thread,
// otherwise the program's module.
HINSTANCE LiteResourceModule();

// Switches the calling thread to this library for the scope's lifetime: its manifest's activation
// context (resource 2) is active and its resources are the ones found. Starts the application object
// the first time. Scopes nest.
class ModuleStateScope {
  public:
    ModuleStateScope();
    ~ModuleStateScope();
    ModuleStateScope(const ModuleStateScope&) = delete;
    ModuleStateScope& operator=(const ModuleStateScope&) = delete;

    // FALSE when the application object refused to start.
    bool AppStarted() const { return appStarted_; }

  private:
    ULONG_PTR cookie_ = 0;
    bool activated_ = false;
    bool appStarted_ = false;
};

class CLiteWnd {
  public:
    // Both out of line: only there is ControlSite complete, which the owner of site_ needs.
    CLiteWnd();
    virtual ~CLiteWnd();
    CLiteWnd(const CLiteWnd&) = delete;
    CLiteWnd& operator=(const CLiteWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }

    // Creates an ActiveX control in place inside parent; the wrapper then stands for the control's window.
    // An earlier control of this wrapper is ended first.
    BOOL CreateControl(REFCLSID clsid, LPCWSTR windowName, DWORD style, const RECT& rect, HWND parent, UINT id);

    // Ends the hosted control through its site, or destroys the wrapped window.
    virtual BOOL DestroyWindow();

    // Places the window in its parent's client area. A hosted control is placed through its site: the
    // control sizes its own window and asks the site for its place again later.
    BOOL MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);

    // IDispatch::Invoke by DISPID on the hosted control. S_FALSE, and nothing done, without a control site.
    HRESULT InvokeHelper(DISPID id, WORD flags, VARIANT* result, const VARIANT* argument);
    HRESULT GetProperty(DISPID id, VARTYPE type, VARIANT* value);
    HRESULT SetProperty(DISPID id, const VARIANT& value);

  protected:
    // Message dispatch of a window subclassed by SubclassWindow; the default passes to the previous
    // procedure.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default();
    void SubclassWindow(HWND hwnd);

    HWND m_hWnd = nullptr;

  private:
    static LRESULT CALLBACK LiteWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Detach();
    // Ends the hosted control, if there is one; false when there is none.
    bool DestroySite();

    WNDPROC prevProc_ = nullptr;
    ComPtr<ControlSite> site_;
    // The message being handled, for Default.
    UINT curMessage_ = 0;
    WPARAM curWParam_ = 0;
    LPARAM curLParam_ = 0;
};

// A modeless dialog made from a template of LiteResourceModule(), whose messages reach the virtual
// handlers below; each handler's base runs the dialog's default processing.
class CLiteDialog : public CLiteWnd {
  public:
    CLiteDialog(UINT templateId, HWND parent) : templateId_(templateId), parent_(parent) {}

    BOOL Create(UINT templateId, HWND parent);
    HWND GetParentHwnd() const { return parent_; }

  protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual BOOL OnEraseBkgnd(HDC dc);
    virtual void OnSize(UINT type, int cx, int cy);
    virtual void OnDestroy();
    virtual void OnContextMenu(HWND window, POINT position);
    virtual void OnLButtonDblClk(UINT flags, POINT point);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    static INT_PTR CALLBACK LiteDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    UINT templateId_;
    HWND parent_;
};
