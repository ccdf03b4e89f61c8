// The floor of the launch benchmark: the least a Wine program can do to put a colour on the screen. It
// makes a 640x360 window filled with the colour given as RRGGBB, shows it, keeps it for the milliseconds
// given (default 2000, the length of the benchmark's clip) and exits. Usage: window_floor RRGGBB [ms]
#include <windows.h>

#include <cwchar>

namespace {

HBRUSH Fill = nullptr;

LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) {
        RECT client;
        GetClientRect(window, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, Fill);
        return 1;
    }
    if (message == WM_TIMER) {
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 2;
    const unsigned long rgb = wcstoul(argv[1], nullptr, 16);
    const UINT keep = argc > 2 ? static_cast<UINT>(wcstoul(argv[2], nullptr, 10)) : 2000;
    Fill = CreateSolidBrush(RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
    WNDCLASSW wc = {};
    wc.lpfnWndProc = FloorProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VantrelWindowFloor";
    RegisterClassW(&wc);
    HWND window = CreateWindowW(wc.lpszClassName, L"window floor", WS_POPUP | WS_VISIBLE, 0, 0, 640, 360, nullptr,
                                nullptr, wc.hInstance, nullptr);
    if (!window)
        return 1;
    SetTimer(window, 1, keep, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    DeleteObject(Fill);
    return 0;
}
