# 32-bit Windows: the release build of Vantrel.exe and its DLLs.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VANTREL_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
