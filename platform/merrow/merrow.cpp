// Stand-in for the maker's advertisement library. It shows nothing, but it is as demanding of its caller
// as the real one: before answering it dispatches the messages waiting for the caller's thread, as the
// modal loop of a real advertisement window would (a close posted meanwhile arrives inside the call).
//
// Tests steer and watch it through the environment:
// - VANTREL_MERROW_RESULT: the answers, separated by ','; the n-th call gives the n-th, the last one
//   repeats (2 keeps the player's window open). Unset or unreadable: 0.
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

}  // namespace

MERROW_API int WINAPI merrow_show(HWND owner, const wchar_t* product, const wchar_t* address) {
    try {
        LONG call = InterlockedIncrement(&Calls) - 1;
        Record(owner, product, address);
        DispatchWaitingMessages();
        return AnswerForCall(call);
    } catch (...) {
        return 0;
    }
}
