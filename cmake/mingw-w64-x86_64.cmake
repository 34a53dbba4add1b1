# SPDX-License-Identifier: MIT
# Cross-compiling for 64-bit Windows from Debian with MinGW-w64 (g++-mingw-w64-x86-64-posix:
# the POSIX thread model, which std::thread and std::mutex need). Executables link the C++ and
# thread runtimes statically, so each .exe stands alone with no DLL beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VARNELO_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VARNELO_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARNELO_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${VARNELO_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VARNELO_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
