#!/usr/bin/env bash
# The Windows release zip as a user gets it: made by scripts/make-release.sh
# from these builds, unpacked into a folder whose name has a blank and an
# accented letter, both programs run from there under Wine. The command
# line and the window must each write what the Linux program writes.
# Usage: release-zip.sh LINUX_BUILD WINDOWS_BUILD VERSION WINE WINEPREFIX_X11 SOURCE_DIR WORK_DIR
set -uo pipefail
linux_build=$1 windows_build=$2 version=$3 wine=$4 x11_prefix=$5 source=$6 work=$7
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$work"
mkdir -p "$work"
"$source/scripts/make-release.sh" "$linux_build" "$windows_build" "$work/out" "$version" >/dev/null ||
  { echo "FAIL: make-release.sh failed"; exit 1; }
name="kelvane-$version-windows-x86_64"
zip="$work/out/$name.zip"

listed=$(unzip -Z1 "$zip" | grep -v '/$' | sed "s|^$name/||" | LC_ALL=C sort | tr '\n' ' ')
# The window's layers: every library of the build but the command line's.
layers=$(cd "$windows_build" && ls libkelvane_*.a | grep -v '^libkelvane_cli\.a$' | sed 's|^|relink/|')
expected=$(printf '%s\n' NOTICE.txt README.md StartMapFile.txt kelvane-convert.exe kelvane.exe \
  relink/CMakeLists.txt $layers relink/liblept.a relink/libz.a relink/main.cpp.obj \
  relink/version.rc.obj |
  LC_ALL=C sort | tr '\n' ' ')
[ "$listed" = "$expected" ] || fail "the zip holds: $listed; expected: $expected"
folder="$work/Kelvane release é"
mkdir -p "$folder"
unzip -q "$zip" -d "$folder" || { echo "FAIL: the zip does not unpack"; exit 1; }
top="$folder/$name"
grep -q "GNU Lesser General Public License" "$top/NOTICE.txt" || fail "NOTICE.txt says nothing of Qt's licence"

# The command line, started from its folder: the map template beside it is
# found, and the document equals the Linux program's.
model="$source/tests/data/crate.3dmf"
mkdir -p "$work/linux"
cp "$model" "$work/linux/crate.3dmf"
cp "$model" "$top/crate.3dmf"
(cd "$work/linux" && "$linux_build/bin/kelvane-convert" --quiet crate.3dmf crate.t3d) ||
  fail "the Linux program cannot convert crate.3dmf"
(cd "$top" && "$windows_build/wine-run.sh" ./kelvane-convert.exe --quiet crate.3dmf crate.t3d \
  </dev/null >"$work/convert.log" 2>&1) || fail "kelvane-convert.exe failed: $(cat "$work/convert.log")"
for file in crate.t3d crate_1.bmp; do
  cmp -s "$work/linux/$file" "$top/$file" || fail "kelvane-convert.exe: $file differs from Linux's"
done

# What the zip gives for Qt's LGPL: the window's objects link again, as
# NOTICE.txt tells, with this machine's Qt, into a program that works as the
# zip's does (the bytes differ: the link order and the time stamp are the
# linker's own). It stands beside the zip's programs, where it finds the
# template, and the window check below drives both.
qt=$("$source/scripts/build-qt-windows.sh" --print-prefix)
relinked=""
if cmake -S "$top/relink" -B "$work/relink" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" >"$work/relink.log" 2>&1 &&
  cmake --build "$work/relink" >>"$work/relink.log" 2>&1; then
  relinked="$top/kelvane-relinked.exe"
  cp "$work/relink/kelvane.exe" "$relinked"
else
  fail "relink/ does not link: $(tail -5 "$work/relink.log")"
fi

# The window from there: a map takes the template beside the program. (The
# paths it is given are typed on a US keyboard, so they keep to ASCII.)
bash "$(dirname "$0")/window-under-wine.sh" "$wine" "$x11_prefix" "$top/kelvane.exe" \
  "$linux_build/bin/kelvane-convert" "$model" "$work/window-check" || fail "the window from the zip"
if [ -n "$relinked" ]; then
  bash "$(dirname "$0")/window-under-wine.sh" "$wine" "$x11_prefix" "$relinked" \
    "$linux_build/bin/kelvane-convert" "$model" "$work/relinked-check" || fail "the relinked window"
fi

[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "the release zip's programs run from \"$top\""
