# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the posix
# threads flavour, which std::thread needs). `make windows` uses it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Libraries built for this toolchain outside the MinGW root (Qt and
# Leptonica from scripts/build-qt-windows.sh and build-leptonica.sh, in
# their cache) are named by CMAKE_PREFIX_PATH; they are searched as roots
# too, or find_package and pkg-config would look for them under the MinGW
# root only.
list(APPEND CMAKE_FIND_ROOT_PATH ${CMAKE_PREFIX_PATH})
# pkg-config offers only those, never the host's own libraries.
set(ENV{PKG_CONFIG_LIBDIR} "")
