#!/usr/bin/env bash
# Builds the Debian package with `make package`, installs it into this
# machine with dpkg, converts an example with /usr/bin/kelvane-convert, then
# removes it again and checks that nothing of it is left behind. It changes
# the machine's /usr: it refuses to start when kelvane is installed already.
# Usage: check-package.sh   (BUILD=DIR names the build folder, as for make)
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
build=${BUILD:-build}
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

# shellcheck source=check-support.sh
source scripts/check-support.sh
installed() { dpkg-query -W -f='${Status}' kelvane 2>/dev/null | grep -q ' installed$'; }
not_installed() { ! installed; }

if installed || [ -e /usr/bin/kelvane-convert ]; then
  echo "check-package: kelvane is installed on this machine already; remove it first" >&2
  exit 2
fi

work=$(mktemp -d)
cleanup() {
  # A check that failed halfway must not leave the package on the machine.
  if installed; then $sudo dpkg -r kelvane >/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

if ! make --no-print-directory package BUILD="$build" >"$work/make.log" 2>&1; then
  cat "$work/make.log" >&2
  echo "check-package: make package failed" >&2
  exit 1
fi
build=$(cd "$build" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
gui=$(sed -n 's/^KELVANE_GUI:BOOL=//p' "$build/CMakeCache.txt")
palette=$(sed -n 's/^KELVANE_PALETTE:BOOL=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
deb=$build/package/kelvane_${version}_${arch}.deb
if [ ! -f "$deb" ]; then
  echo "check-package: make package made no $deb" >&2
  exit 1
fi
dpkg-deb --info "$deb"

# The control fields.
field() { dpkg-deb --field "$deb" "$1"; }
check "Package is kelvane" test "$(field Package)" = kelvane
check "Version is the project's $version: $(field Version)" test "$(field Version)" = "$version"
check "Architecture is $arch" test "$(field Architecture)" = "$arch"
check "there is a Maintainer" grep -q '<.*@.*>' <<<"$(field Maintainer)"
depends=$(field Depends)
# The package names in Depends, without versions and alternatives' bars.
depends_names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*//; s/^ *//; s/ *$//')
names() { grep -qxF "$1" <<<"$depends_names"; }
# zlib and Leptonica are loaded at need, which dpkg-shlibdeps cannot see;
# they are checked below against what the installed program loads.
needed=(libc6 libstdc++6 zlib1g)
if [ "$palette" = ON ]; then needed+=(liblept5); fi
if [ "$gui" = ON ]; then needed+=(libqt6core6 libqt6gui6 libqt6widgets6); fi
for package in "${needed[@]}"; do
  check "Depends names $package: $depends" names "$package"
done

# What it would put on the machine: everything under /usr, the files in place.
dpkg-deb --contents "$deb" | awk '{print $NF}' | sed 's|^\./|/|; s|/$||' | grep -v '^/\?$' >"$work/paths"
check "every path is under /usr" bash -c "! grep -v '^/usr\(/\|\$\)' '$work/paths'"
for path in /usr/bin/kelvane-convert /usr/share/kelvane/StartMapFile.txt \
  /usr/share/man/man1/kelvane-convert.1; do
  check "the package holds $path" grep -qx "$path" "$work/paths"
done
if [ "$gui" = ON ]; then
  for path in /usr/bin/kelvane /usr/share/applications/kelvane.desktop \
    /usr/share/icons/hicolor/scalable/apps/kelvane.svg; do
    check "the package holds $path" grep -qx "$path" "$work/paths"
  done
fi
# Folders that only the package brings must leave with it.
while read -r path; do
  [ -e "$path" ] || echo "$path"
done <"$work/paths" >"$work/new-paths"

if ! $sudo dpkg -i "$deb" >"$work/dpkg-i.log" 2>&1; then
  cat "$work/dpkg-i.log" >&2
  echo "FAIL: dpkg -i" >&2
  failed=$((failed + 1))
  finish package
fi
check "dpkg calls it installed" installed
check "the installed program is stripped" bash -c "file -L /usr/bin/kelvane-convert | grep -q ', stripped'"

# The installed program converts an example as the build tree's does.
cp examples/cube-polyhedron.3dmf "$work/cube.3dmf"
status=0
(cd "$work" && /usr/bin/kelvane-convert cube.3dmf packaged.t3d >"$work/out" 2>&1) || status=$?
check "/usr/bin/kelvane-convert converts the cube: $(cat "$work/out")" test "$status" = 0
(cd "$work" && "$build/bin/kelvane-convert" cube.3dmf built.t3d --quiet)
check "the packaged program writes the build tree's bytes" cmp -s "$work/built.t3d" "$work/packaged.t3d"
# Every library the program itself loads, at start or at need (a PNG
# preview loads zlib; a texture of more than 256 colours reduced to a
# palette, Leptonica), comes from a package that Depends names. What those
# libraries load in turn is their packages' to declare.
awk '/^\t\t0x/ { y = n++; printf "\t\t0x"
                  for (x = 0; x < 128; x++) printf "%02X%02X%02X", 2 * x, 2 * y, x * y % 256
                  printf "\n"; next }
     { print }' tests/data/crate.3dmf >"$work/many-colours.3dmf"
# One run for each, since Leptonica's own libraries bring zlib with them.
runs=("--preview loaded.png")
if [ "$palette" = ON ]; then runs+=("--bitmap-depth 8"); fi
: >"$work/loaded.log"
for options in "${runs[@]}"; do
  status=0
  # shellcheck disable=SC2086
  (cd "$work" && LD_DEBUG=files /usr/bin/kelvane-convert --quiet $options many-colours.3dmf \
    loaded.t3d 2>>"$work/loaded.log" >"$work/loaded.out") || status=$?
  check "/usr/bin/kelvane-convert $options converts: $(grep -v '^ *[0-9]*:' "$work/loaded.log")" \
    test "$status" = 0
done
check "the preview is a PNG" bash -c "file '$work/loaded.png' | grep -q 'PNG image'"
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
loaded=$(sed -n 's#.*file=\([^ ]*\) .*\(needed\|dynamically loaded\) by /usr/bin/kelvane-convert .*#\1#p' \
  "$work/loaded.log" | LC_ALL=C sort -u)
for library in $loaded; do
  owner=$(dpkg-query -S "*/$multiarch/$library" 2>/dev/null | sed -n '1s/[:,].*//p')
  check "the package of $library (${owner:-none found}) is in Depends: $depends" names "$owner"
done
for library in libz.so.1 liblept.so.5; do
  [ "$library" = liblept.so.5 ] && [ "$palette" != ON ] && continue
  check "the program loads $library: $(tr '\n' ' ' <<<"$loaded")" grep -qx "$library" <<<"$loaded"
done
check "--version gives $version" test "$(/usr/bin/kelvane-convert --version)" = "kelvane-convert $version"
if command -v man >/dev/null; then
  check "man finds the page: $(man -w kelvane-convert 2>&1)" \
    test "$(man -w kelvane-convert 2>/dev/null)" = /usr/share/man/man1/kelvane-convert.1
fi

if ! $sudo dpkg -r kelvane >"$work/dpkg-r.log" 2>&1; then
  cat "$work/dpkg-r.log" >&2
  echo "FAIL: dpkg -r" >&2
  failed=$((failed + 1))
  finish package
fi
check "dpkg no longer calls it installed" not_installed
while read -r path; do
  check "$path is gone" test ! -e "$path"
done <"$work/new-paths"
finish package
