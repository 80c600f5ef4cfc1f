#!/usr/bin/env bash
# Fails when the command line program loads an image library when it
# starts: Leptonica, and the TIFF, PNG, JPEG, WebP, GIF and JPEG 2000
# libraries it loads in turn, come only when a texture is reduced to 256
# colours (image/Palette.cpp). Usage: check-start-libraries.sh PROGRAM
set -euo pipefail
program=$1
loaded=$(ldd "$program")
if image=$(grep -E 'lib(lept|tiff|png|jpeg|webp|gif|openjp2)' <<<"$loaded"); then
  echo "$program loads image libraries when it starts:" >&2
  echo "$image" >&2
  exit 1
fi
echo "$program starts with: $(awk '/=>/ { print $1 }' <<<"$loaded" | tr '\n' ' ')"
