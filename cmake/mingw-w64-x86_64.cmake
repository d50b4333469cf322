# CMake toolchain file: Windows x86-64 programs with Debian's MinGW-w64 cross compiler (package
# g++-mingw-w64-x86-64-posix). The POSIX-thread flavour gives the full C++ thread library; -static links the
# C++ runtime, libgcc and winpthread in, so the programs need no DLLs beside them (they run under wine64 as
# they are). Usage: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake ...
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZEPA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZEPA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZEPA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZEPA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZEPA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
