# A second compiler over the same sources: Debian's clang and lld for 64-bit
# Windows, with the MinGW-w64 headers and libraries (the posix thread model's
# libstdc++, whose thread library the driver links after it with -pthread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-windows-gnu)
set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${triple})
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CORVANE_MINGW_GCC /usr/lib/gcc/x86_64-w64-mingw32/12-posix CACHE PATH "MinGW-w64 GCC's libraries and C++ headers")
set(CMAKE_CXX_FLAGS_INIT
    "-isystem ${CORVANE_MINGW_GCC}/include/c++ -isystem ${CORVANE_MINGW_GCC}/include/c++/x86_64-w64-mingw32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -pthread -L${CORVANE_MINGW_GCC}")
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
