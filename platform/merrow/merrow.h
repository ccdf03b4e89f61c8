#pragma once
#include <windows.h>

#ifdef MERROW_BUILD
#define MERROW_API extern "C"
#else
#define MERROW_API extern "C" __declspec(dllimport)
#endif

// Shows the maker's advertisement for a product, owned by a window, and returns when it is done;
// 2 asks the caller to keep its window open.
MERROW_API int WINAPI merrow_show(HWND owner, const wchar_t* product, const wchar_t* address);
