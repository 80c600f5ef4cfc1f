#!/usr/bin/env bash
# Makes the release archives from finished builds:
#   kelvane-VERSION-setup.exe           the Windows setup (NSIS,
#                                       scripts/make-setup.sh) of the files
#                                       the zip holds
#   kelvane-VERSION-windows-x86_64.zip  kelvane.exe (the window),
#                                       kelvane-convert.exe, StartMapFile.txt
#                                       beside them, README.md, NOTICE.txt,
#                                       relink/ (the window's own objects)
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

# Windows: the programs and their template in one folder, as they look for
# it; the window's own objects for linking it again with another Qt.
win="kelvane-$version-windows-x86_64"
mkdir -p "$stage/$win/relink"
for program in kelvane-convert kelvane; do
  x86_64-w64-mingw32-strip -o "$stage/$win/$program.exe" "$windows/bin/$program.exe"
done
cp "$source/StartMapFile.txt" "$source/README.md" "$stage/$win/"
qt=$("$source/scripts/build-qt-windows.sh" --print-prefix)
lept=$("$source/scripts/build-leptonica.sh" --print-prefix mingw-w64)
# The window's layers: every library of the build but the command line's.
layers=()
for library in "$windows"/libkelvane_*.a; do
  [ "$(basename "$library")" = libkelvane_cli.a ] || layers+=("$library")
done
for object in "$windows/CMakeFiles/kelvane.dir/app/gui/main.cpp.obj" "${layers[@]}" \
  "$lept/lib/liblept.a" /usr/x86_64-w64-mingw32/lib/libz.a; do
  x86_64-w64-mingw32-strip --strip-debug -o "$stage/$win/relink/$(basename "$object")" "$object"
done
# The version resource, compiled, as an object of its own name.
cp "$windows/CMakeFiles/kelvane.dir/version/kelvane.rc.res" "$stage/$win/relink/version.rc.obj"
cp "$source/packaging/windows/relink/CMakeLists.txt" "$stage/$win/relink/"
# The exact sources and options, from the stamps the build scripts leave.
notice=$(cat "$source/packaging/windows/NOTICE.txt")
notice=${notice//@QT_SOURCE@/$(head -1 "$qt/kelvane-build.txt")}
notice=${notice//@LEPTONICA_SOURCE@/$(head -1 "$lept/kelvane-build.txt")}
notice=${notice//@QT_OPTIONS@/$(tail -n +3 "$qt/kelvane-build.txt" | sed 's/^/      /')}
{
  printf '%s\n' "$notice"
  for package in gcc-mingw-w64-base mingw-w64-x86-64-dev libleptonica-dev qt6-base-dev libz-mingw-w64-dev; do
    printf '\n\n==== %s (/usr/share/doc/%s/copyright) ====\n\n' "$package" "$package"
    cat "/usr/share/doc/$package/copyright"
  done
  for licence in LGPL-3 GPL-3; do
    printf '\n\n==== %s (/usr/share/common-licenses/%s) ====\n\n' "$licence" "$licence"
    cat "/usr/share/common-licenses/$licence"
  done
} >"$stage/$win/NOTICE.txt"
# The setup installs the same files (it gives them all one time stamp,
# which the zip then keeps too).
"$source/scripts/make-setup.sh" "$stage/$win" "$version" "$out/kelvane-$version-setup.exe"
rm -f "$out/$win.zip"
(cd "$stage" && zip -qr "$out/$win.zip" "$win")

# Linux: the installed tree; the programs find the template in
# ../share/kelvane from bin/.
lin="kelvane-$version-linux-x86_64"
cmake --install "$linux" --prefix "$stage/$lin" --strip >/dev/null
cp "$source/README.md" "$stage/$lin/"
tar -C "$stage" -czf "$out/$lin.tar.gz" "$lin"

echo "$out/kelvane-$version-setup.exe"
echo "$out/$win.zip"
echo "$out/$lin.tar.gz"
