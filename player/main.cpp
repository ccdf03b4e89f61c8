#include <windows.h>

// Placeholder entry point of the harness: an empty main window until the start-up module lands.
static LRESULT CALLBACK EmptyWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = EmptyWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"Player_WndClass";
    RegisterClassExW(&wc);
    HWND window = CreateWindowExW(0, L"Player_WndClass", L"Vantrel", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, 672, 456,
                                  nullptr, nullptr, instance, nullptr);
    if (!window)
        return 0;
    ShowWindow(window, showCommand);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
