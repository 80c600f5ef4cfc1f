#!/usr/bin/env bash
# Makes the release archives from finished builds:
#   kelvane-VERSION-windows-x86_64.zip  kelvane-convert.exe, StartMapFile.txt
#                                       beside it, README.md, NOTICE.txt
#   kelvane-VERSION-linux-x86_64.tar.gz the installed tree (bin/, share/)
#                                       with README.md
# Usage: make-release.sh LINUX_BUILD WINDOWS_BUILD OUT_DIR VERSION
set -euo pipefail
linux=$1 windows=$2 out=$3 version=$4
source=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# Windows: the program and its template in one folder, as it looks for it.
win="kelvane-$version-windows-x86_64"
mkdir "$stage/$win"
x86_64-w64-mingw32-strip -o "$stage/$win/kelvane-convert.exe" "$windows/bin/kelvane-convert.exe"
cp "$source/StartMapFile.txt" "$source/README.md" "$stage/$win/"
{
  cat "$source/packaging/windows/NOTICE.txt"
  for package in gcc-mingw-w64-base mingw-w64-x86-64-dev libz-mingw-w64-dev; do
    printf '\n\n==== %s (/usr/share/doc/%s/copyright) ====\n\n' "$package" "$package"
    cat "/usr/share/doc/$package/copyright"
  done
} >"$stage/$win/NOTICE.txt"
rm -f "$out/$win.zip"
(cd "$stage" && zip -qr "$out/$win.zip" "$win")

# Linux: the installed tree; the programs find the template in
# ../share/kelvane from bin/.
lin="kelvane-$version-linux-x86_64"
cmake --install "$linux" --prefix "$stage/$lin" --strip >/dev/null
cp "$source/README.md" "$stage/$lin/"
tar -C "$stage" -czf "$out/$lin.tar.gz" "$lin"

echo "$out/$win.zip"
echo "$out/$lin.tar.gz"
