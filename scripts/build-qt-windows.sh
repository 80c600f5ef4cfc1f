#!/usr/bin/env bash
# Builds a static Qt for 64-bit Windows with MinGW-w64 from Debian's
# qt6-base source package (the same release as the host's qt6-base-dev, whose
# moc, rcc and uic the build uses) and installs it into the cache outside the
# work tree. Does nothing when that install is already there and complete.
# Prints the install folder as its last line of output; progress goes to
# stderr.
#
# Usage: build-qt-windows.sh [--print-prefix]
#   --print-prefix  only print the folder the install lies in (or will)
# Environment: KELVANE_CACHE (default ${XDG_CACHE_HOME:-~/.cache}/kelvane),
#   JOBS (default 2).
#
# Only what the window and its tests need is built: Core, Gui, Widgets, Test,
# the windows and offscreen platform plugins, the bundled zlib, pcre2,
# libpng, harfbuzz and freetype. About 1,050 build steps.
set -euo pipefail
me=build-qt-windows
source_dir=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/debian-source.sh
. "$source_dir/scripts/debian-source.sh"
jobs=${JOBS:-2}

# The host's tools (moc, rcc, uic) must be the same Qt release.
source_info=$(source_of qt6-base-dev 2>/dev/null) || {
  "$source_dir/scripts/install-deps.sh" >&2
  source_info=$(source_of qt6-base-dev)
}
read -r package version <<<"$source_info"
qt_version=${version%%+*}
qt_version=${qt_version#*:}
prefix="$cache/qt-$qt_version-mingw-w64-static"
[ "${1:-}" = "--print-prefix" ] && { echo "$prefix"; exit 0; }

# Everything left out is something neither the window nor its tests use; the
# bundled libraries keep the .exe free of DLLs. Windows' tablet support needs
# src/3rdparty/wintab, which Debian's tarball leaves out. OpenGL stays on:
# the windows platform plugin of this release does not build without it.
# So does Direct2D: only with it does this release build the DirectWrite
# font database that the windows platform plugin links to.
configure_options=(
  -DCMAKE_BUILD_TYPE=Release
  -DBUILD_SHARED_LIBS=OFF
  -DQT_BUILD_EXAMPLES=OFF
  -DQT_BUILD_TESTS=OFF
  -DQT_BUILD_BENCHMARKS=OFF
  -DQT_HOST_PATH=/usr
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DFEATURE_system_zlib=OFF
  -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_png=OFF
  -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_freetype=OFF
  -DFEATURE_jpeg=OFF
  -DFEATURE_gif=OFF
  -DFEATURE_sql=OFF
  -DFEATURE_network=OFF
  -DFEATURE_dbus=OFF
  -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF
  -DFEATURE_vulkan=OFF
  -DFEATURE_openssl=OFF
  -DFEATURE_tabletevent=OFF
  -DFEATURE_opengl=ON
)
stamp() {
  printf '%s\n' "$package $version" \
    "$(x86_64-w64-mingw32-g++-posix --version 2>/dev/null | head -1)" "${configure_options[@]}"
}
cache_ready "$prefix" "$(stamp)" && { echo "$prefix"; exit 0; }
"$source_dir/scripts/install-deps.sh" g++-mingw-w64-x86-64-posix dpkg-dev >&2
cache_lock qt-mingw-w64 "$prefix" "$(stamp)"

say "Qt for Windows is built once per machine: about half an hour on 2 cores"
work="$cache/build-qt-$qt_version-mingw-w64"
start_build "Qt $qt_version for Windows (MinGW-w64, static)" "$prefix" "$work" "$package" "$version"

# The toolchain goes with the install: Qt's own toolchain file loads it
# after this checkout is gone.
mkdir -p "$prefix"
cp "$source_dir/cmake/mingw-w64.cmake" "$prefix/mingw-w64.cmake"
step_logged configuring "$work/configure.log" \
  cmake -S "$src" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64.cmake" \
  -DCMAKE_INSTALL_PREFIX="$prefix" "${configure_options[@]}"
build_logged "$work/build.log" cmake --build "$work/build" -j "$jobs"
step_logged installing "$work/install.log" cmake --install "$work/build"
finish_install "$prefix" "$(stamp)" "$work" "$started"
echo "$prefix"
