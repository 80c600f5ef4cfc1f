#!/usr/bin/env bash
# Builds Leptonica as a static library from Debian's source package (the
# same release as the host's libleptonica-dev, so both systems reduce a
# texture to the same palette) for a toolchain, without its image-format
# libraries: the program uses its colour quantizer alone. Installs into the
# cache outside the work tree; does nothing when that install is there.
# Prints the install folder as its last line of output.
#
# Usage: build-leptonica.sh [--print-prefix] TOOLCHAIN
#   TOOLCHAIN  mingw-w64 (64-bit Windows, the posix threads MinGW-w64) or host
# Environment: KELVANE_CACHE (default ${XDG_CACHE_HOME:-~/.cache}/kelvane),
#   JOBS (default 2).
set -euo pipefail
me=build-leptonica
source_dir=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/debian-source.sh
. "$source_dir/scripts/debian-source.sh"
jobs=${JOBS:-2}
print_prefix=""
[ "${1:-}" = "--print-prefix" ] && { print_prefix=1; shift; }
toolchain=${1:?usage: build-leptonica.sh [--print-prefix] mingw-w64|host}
case $toolchain in
  mingw-w64) host_args=(--host=x86_64-w64-mingw32 CC=x86_64-w64-mingw32-gcc-posix)
             compiler=x86_64-w64-mingw32-gcc-posix deps=(g++-mingw-w64-x86-64-posix) ;;
  host) host_args=() compiler=gcc deps=() ;;
  *) die "unknown toolchain $toolchain (mingw-w64 or host)" ;;
esac

source_info=$(source_of libleptonica-dev 2>/dev/null) || {
  "$source_dir/scripts/install-deps.sh" >&2
  source_info=$(source_of libleptonica-dev)
}
read -r package version <<<"$source_info"
upstream=${version%%-*}
prefix="$cache/leptonica-$upstream-$toolchain-static"
[ -n "$print_prefix" ] && { echo "$prefix"; exit 0; }

# Only the quantizer is used: no image-format library is linked, and none
# of the programs is built.
configure_options=(--disable-shared --enable-static --disable-programs --without-zlib
  --without-libpng --without-jpeg --without-giflib --without-libtiff --without-libwebp
  --without-libwebpmux --without-libopenjpeg "${host_args[@]}")
stamp() {
  printf '%s\n' "$package $version" "$($compiler --version 2>/dev/null | head -1)" \
    "${configure_options[@]}"
}
cache_ready "$prefix" "$(stamp)" && { echo "$prefix"; exit 0; }
[ ${#deps[@]} -eq 0 ] || "$source_dir/scripts/install-deps.sh" "${deps[@]}" >&2
cache_lock "leptonica-$toolchain" "$prefix" "$(stamp)"

work="$cache/build-leptonica-$upstream-$toolchain"
start_build "Leptonica $upstream for $toolchain (static, quantizer only)" "$prefix" "$work" \
  "$package" "$version"
mkdir -p "$work/build"
step_logged configuring "$work/configure.log" \
  env -C "$work/build" "$src/configure" --prefix="$prefix" "${configure_options[@]}"
# The library and its pkg-config file only: Debian's patches touch the
# programs' Makefile.am, whose rebuild would need automake.
build_logged "$work/build.log" make -C "$work/build/src" -j "$jobs"
step_logged installing "$work/install.log" make -C "$work/build/src" install
step_logged "installing lept.pc" "$work/install-pc.log" make -C "$work/build" install-pkgconfigDATA
finish_install "$prefix" "$(stamp)" "$work" "$started"
echo "$prefix"
