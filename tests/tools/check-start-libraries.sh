#!/usr/bin/env bash
# Fails when the command line program loads any library but the C and C++
# runtimes when it starts (and, in a sanitizer build, the sanitizers'):
# Leptonica, with the TIFF, PNG, JPEG, WebP, GIF and JPEG 2000 libraries it
# loads in turn, comes only when a texture is reduced to 256 colours
# (image/Palette.cpp), and zlib only when a PNG preview is made
# (image/Png.cpp). Usage: check-start-libraries.sh PROGRAM
set -euo pipefail
program=$1
loaded=$(ldd "$program" | awk '{ print $1 }' | sed 's|.*/||')
runtimes='^(linux-vdso|ld-linux[-a-z0-9_]*|lib(c|m|dl|pthread|rt|stdc\+\+|gcc_s|asan|ubsan|tsan))\.so(\.[0-9]+)*$'
if others=$(grep -Ev "$runtimes" <<<"$loaded"); then
  echo "$program loads more than the runtimes when it starts:" >&2
  echo "$others" >&2
  exit 1
fi
echo "$program starts with: $(tr '\n' ' ' <<<"$loaded")"
