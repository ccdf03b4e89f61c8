// Stand-in for the maker's advertisement library. It shows nothing, but it is as demanding of its caller
// as the real one: before answering it dispatches the messages waiting for the caller's thread, as the
// modal loop of a real advertisement window would (a close posted meanwhile arrives inside the call).
//
// Tests steer and watch it through the environment:
// - VANTREL_MERROW_RESULT: the answers, separated by ','; the n-th call gives the n-th, the last one
//   repeats (2 keeps the player's window open). Unset or unreadable: 0.
// - VANTREL_MERROW_WAIT: when set, the call shows a window of the class "MerrowStandIn", owned by the
//   given owner (disabled meanwhile), and runs a modal loop until that window is closed, as a real
//   advertisement does until the user dismisses it.
// - VANTREL_MERROW_RECORD: a file to which each call appends one line, in UTF-8: the owner window's handle
//   in decimal, the product name and the address, separated by tabs.
#include "merrow.h"
#include <cwchar>
#include <string>

namespace {

LONG Calls = 0;

std::wstring Environment(const wchar_t* name) {
    wchar_t text[512] = {};
    DWORD length = GetEnvironmentVariableW(name, text, ARRAYSIZE(text));
    if (length == 0 || length >= ARRAYSIZE(text))
        return std::wstring();
    return text;
}

int AnswerForCall(LONG call) {
    std::wstring answers = Environment(L"VANTREL_MERROW_RESULT");
    size_t start = 0;
    for (LONG i = 0; i < call; ++i) {
        size_t comma = answers.find(L',', start);
        if (comma == std::wstring::npos)
            break;
        start = comma + 1;
    }
    std::wstring entry = answers.substr(start, answers.find(L',', start) - start);
    wchar_t* end = nullptr;
    long value = wcstol(entry.c_str(), &end, 10);
    if (entry.empty() || *end != L'\0')
        return 0;
    return static_cast<int>(value);
}

std::string Utf8(const wchar_t* text) {
    if (!text)
        return "(null)";
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &result[0], size, nullptr, nullptr);
    result.resize(static_cast<size_t>(size - 1));
    return result;
}

void Record(HWND owner, const wchar_t* product, const wchar_t* address) {
    std::wstring file = Environment(L"VANTREL_MERROW_RECORD");
    if (file.empty())
        return;
    std::string line = std::to_string(static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(owner))) + "\t" +
                       Utf8(product) + "\t" + Utf8(address) + "\n";
    HANDLE out = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(out);
}

// What is waiting now, not what keeps coming: bounded, and a quit request is put back for the caller.
void DispatchWaitingMessages() {
    MSG msg;
    for (int i = 0; i < 1000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

constexpr wchar_t kWindowClass[] = L"MerrowStandIn";

HINSTANCE Module() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&Module), &module);
    return module;
}

LRESULT CALLBACK AdWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        // The owner comes back before this window goes, so the activation returns to it.
        if (HWND owner = GetWindow(window, GW_OWNER))
            EnableWindow(owner, TRUE);
        DestroyWindow(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void ShowAndWait(HWND owner, const wchar_t* product) {
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = AdWindowProc;
    wc.hInstance = Module();
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc);  // a second call finds it registered
    HWND window = CreateWindowExW(0, kWindowClass, product ? product : L"", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100,
                                  owner, nullptr, wc.hInstance, nullptr);
    if (!window)
        return;
    if (owner)
        EnableWindow(owner, FALSE);
    MSG msg;
    while (IsWindow(window)) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (owner)
        EnableWindow(owner, TRUE);
    if (IsWindow(window))
        DestroyWindow(window);
}

}  // namespace

MERROW_API int WINAPI merrow_show(HWND owner, const wchar_t* product, const wchar_t* address) {
    try {
        LONG call = InterlockedIncrement(&Calls) - 1;
        Record(owner, product, address);
        if (!Environment(L"VANTREL_MERROW_WAIT").empty())
            ShowAndWait(owner, product);
        else
            DispatchWaitingMessages();
        return AnswerForCall(call);
    } catch (...) {
        return 0;
    }
}
