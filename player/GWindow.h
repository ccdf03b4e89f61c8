#pragma once
#include <windows.h>
#include <map>

// A small base class that binds one object to one plain window it creates. The program itself uses
// dialogs and a window procedure of its own; this is kept as a facility.
class GWindow {
  public:
    GWindow() = default;
    virtual ~GWindow();
    GWindow(const GWindow&) = delete;
    GWindow& operator=(const GWindow&) = delete;

    virtual bool create(DWORD exStyle,
                        const wchar_t* className,
                        const wchar_t* windowName,
                        DWORD style,
                        RECT rect,
                        HWND parent,
                        int classMenuId,
                        HINSTANCE instance);
    virtual LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void onPaint(HDC dc);

    void setHwnd(HWND window) { hwnd = window; }
    static LRESULT CALLBACK staticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd = nullptr;
};

// Window handle to object, for the class window procedure; it does not own the objects.
extern std::map<HWND, GWindow*> WindowMap;

int RegisterWindowClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure, int menuId);
