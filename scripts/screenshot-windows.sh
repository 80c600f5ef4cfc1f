#!/usr/bin/env bash
# Takes docs/screenshot-windows.png: the Windows window under Wine on a
# virtual display after it has converted the textured crate, as the window
# check (tests/windows/window-under-wine.sh) drives it.
# Usage: scripts/screenshot-windows.sh [PNG]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build} WIN_BUILD=${WIN_BUILD:-build-windows}
png=$(realpath -m "${1:-docs/screenshot-windows.png}")
make --no-print-directory build windows BUILD="$BUILD" WIN_BUILD="$WIN_BUILD"
scripts/install-deps.sh x11-apps netpbm
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
KELVANE_SCREENSHOT=$png bash tests/windows/window-under-wine.sh \
  "$(sed -n 's/^KELVANE_WINE:FILEPATH=//p' "$WIN_BUILD/CMakeCache.txt")" "$PWD/$WIN_BUILD/wineprefix-x11" \
  "$PWD/$WIN_BUILD/bin/kelvane.exe" "$PWD/$BUILD/bin/kelvane-convert" "$PWD/tests/data/crate.3dmf" "$work/check"
