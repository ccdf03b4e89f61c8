// Stand-in for the maker's advertisement library: it shows nothing. Tests choose its answer through
// VANTREL_MERROW_RESULT (2 keeps the player's window open), so a close can be refused without a window
// of ours for a test to find and dismiss.
#include "merrow.h"
#include <cwchar>

MERROW_API int WINAPI merrow_show(HWND, const wchar_t*, const wchar_t*) {
    wchar_t text[32] = {};
    DWORD length = GetEnvironmentVariableW(L"VANTREL_MERROW_RESULT", text, ARRAYSIZE(text));
    if (length == 0 || length >= ARRAYSIZE(text))
        return 0;
    wchar_t* end = nullptr;
    long value = wcstol(text, &end, 10);
    if (end == text || *end != L'\0')
        return 0;
    return static_cast<int>(value);
}
