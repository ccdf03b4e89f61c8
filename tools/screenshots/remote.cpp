// A small remote for tools/screenshots: finds Vantrel's main window from outside and waits for it,
// reports where its client area is on the screen, sends it a command, moves the cursor. One action per start:
//   remote wait-window | wait-playing | rect | command <id> | cursor <x> <y> | close
// Exit code 0 on success, 1 when the window did not appear or the action failed.
#include <windows.h>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <string>

namespace {

constexpr DWORD kTimeout = 30000;

HWND FindMain() {
    HWND window = FindWindowW(L"Player_WndClass", nullptr);
    return window && IsWindowVisible(window) ? window : nullptr;
}

template <typename Condition>
bool WaitFor(Condition condition) {
    const ULONGLONG deadline = GetTickCount64() + kTimeout;
    while (!condition()) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(100);
    }
    return true;
}

std::wstring Caption(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 1;
    const std::wstring action = argv[1];
    HWND main = nullptr;
    if (!WaitFor([&] { return (main = FindMain()) != nullptr; }))
        return 1;
    if (action == L"wait-window")
        return 0;
    if (action == L"wait-playing")  // the caption names the file only while it plays or is paused
        return WaitFor([&] { return Caption(main).find(L" - ") != std::wstring::npos; }) ? 0 : 1;
    if (action == L"rect") {
        // The client area on the screen: without a window manager on the virtual display nobody draws
        // the caption and the frame, which would show as a black band.
        RECT rect;
        GetClientRect(main, &rect);
        POINT origin = {0, 0};
        ClientToScreen(main, &origin);
        std::printf("%ldx%ld+%ld+%ld\n", rect.right, rect.bottom, origin.x, origin.y);
        return 0;
    }
    if (action == L"command" && argc >= 3)
        return PostMessageW(main, WM_COMMAND, static_cast<WPARAM>(_wtoi(argv[2])), 0) ? 0 : 1;
    if (action == L"cursor" && argc >= 4)
        return SetCursorPos(_wtoi(argv[2]), _wtoi(argv[3])) ? 0 : 1;
    if (action == L"close") {
        PostMessageW(main, WM_CLOSE, 0, 0);
        return WaitFor([&] { return !IsWindow(main); }) ? 0 : 1;
    }
    return 1;
}
