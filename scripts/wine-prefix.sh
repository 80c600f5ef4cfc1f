#!/usr/bin/env bash
# Makes the Wine prefix of a Windows build (BUILD/wineprefix) before its
# tests run, so that tests started side by side do not each try to make it.
# The first start takes some seconds; later ones find it ready.
# Usage: wine-prefix.sh WINDOWS_BUILD_DIR
set -euo pipefail
build=$1
[ -f "$build/wineprefix/system.reg" ] && exit 0
"$build/wine-run.sh" "$build/bin/kelvane-convert.exe" --version >/dev/null 2>&1 || {
  echo "wine-prefix.sh: Wine cannot run $build/bin/kelvane-convert.exe" >&2
  exit 1
}
