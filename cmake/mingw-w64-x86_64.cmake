# Cross-builds for 64-bit Windows with Debian's MinGW-w64 toolchain, the
# variant with POSIX threads (std::thread and std::mutex need it).
#   cmake -S . -B build-windows -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZARN_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZARN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZARN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZARN_MINGW_TRIPLET}-windres)

# Libraries and headers come from the toolchain's own tree, never from the
# build machine's; programs (the build tools) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ZARN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
