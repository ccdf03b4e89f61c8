#pragma once
// A file handle from CreateFile, whose "no handle" value is INVALID_HANDLE_VALUE rather than null.
#include <windows.h>

#include "UniqueHandle.h"

struct FileHandleTraits {
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { CloseHandle(h); }
};

using UniqueFile = UniqueHandle<HANDLE, FileHandleTraits>;
