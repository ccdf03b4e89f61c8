#include "GWindow.h"

std::map<HWND, GWindow*> WindowMap;

int RegisterWindowClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure, int menuId) {
    WNDCLASSEXW existing = {sizeof(existing)};
    if (GetClassInfoExW(instance, className, &existing))
        return 1;  // keeps the class as it was registered, procedure and all
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszMenuName = menuId ? MAKEINTRESOURCEW(menuId & 0xFFFF) : nullptr;
    wc.lpszClassName = className;
    return RegisterClassExW(&wc);
}

GWindow::~GWindow() {
    // Only a window that is still this object's: once its own window is gone the system may give the same
    // handle to a new window, which is someone else's. The map forgets a window at its WM_DESTROY, so an
    // entry naming this object means the window is the one it made. The derived part is already gone
    // here, so the WM_DESTROY this causes reaches GWindow::windowProc.
    auto found = WindowMap.find(hwnd);
    if (hwnd && found != WindowMap.end() && found->second == this && IsWindow(hwnd))
        DestroyWindow(hwnd);
    hwnd = nullptr;
}

bool GWindow::create(DWORD exStyle,
                     const wchar_t* className,
                     const wchar_t* windowName,
                     DWORD style,
                     RECT rect,
                     HWND parent,
                     int classMenuId,
                     HINSTANCE instance) {
    RegisterWindowClass(instance, className, staticWndProc, classMenuId);
    hwnd = CreateWindowExW(exStyle, className, windowName, style, rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top, parent, nullptr, instance, this);
    return hwnd != nullptr;
}

LRESULT GWindow::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        onPaint(dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void GWindow::onPaint(HDC) {}

// Messages before WM_CREATE (WM_NCCREATE, WM_GETMINMAXINFO, ...) and after WM_DESTROY never reach the
// object: it is bound at WM_CREATE and unbound before it sees WM_DESTROY.
LRESULT CALLBACK GWindow::staticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        auto found = WindowMap.find(window);
        GWindow* object = found != WindowMap.end() ? found->second : nullptr;
        if (object && message != WM_DESTROY)
            return object->windowProc(message, wParam, lParam);
        if (message == WM_CREATE) {
            auto* created = static_cast<GWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            WindowMap[window] = created;
            if (created) {
                created->hwnd = window;
                return created->windowProc(message, wParam, lParam);
            }
        } else if (message == WM_DESTROY && object) {
            WindowMap.erase(found);
            return object->windowProc(message, wParam, lParam);
        }
        return DefWindowProcW(window, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}
