# 64-bit Windows: the build that runs and is tested under this machine's Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VANTREL_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
