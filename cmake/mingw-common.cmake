# Shared part of the two mingw-w64 toolchains; VANTREL_TRIPLET is set by the file that includes this one.
# The -posix compilers are named explicitly: with both thread models installed the plain names point at
# the win32 model, which has no std::thread or std::mutex and cannot build GoogleTest.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VANTREL_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANTREL_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VANTREL_TRIPLET}-windres)
set(CMAKE_AR ${VANTREL_TRIPLET}-ar)
set(CMAKE_RANLIB ${VANTREL_TRIPLET}-ranlib)
set(VANTREL_DLLTOOL ${VANTREL_TRIPLET}-dlltool)
set(VANTREL_OBJDUMP ${VANTREL_TRIPLET}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${VANTREL_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and their discovery run the Windows binaries through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run")
