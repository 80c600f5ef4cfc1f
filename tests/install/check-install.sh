#!/usr/bin/env bash
# Installs a build into a temporary prefix with `cmake --install` and checks
# that the installed programs work from there as a user runs them: the tree,
# a conversion (the same bytes as the build tree's program), where the map
# template is looked for, --help and --version, the man page, the desktop
# entry and icon. Usage: check-install.sh BUILD_DIR
set -uo pipefail

build=$(cd "${1:?usage: check-install.sh BUILD_DIR}" && pwd)
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
source_dir=$(cache_value CMAKE_HOME_DIRECTORY)
version=$(cache_value CMAKE_PROJECT_VERSION)
gui=$(cache_value KELVANE_GUI)
case "$gui" in ON | on | TRUE | true | 1 | YES | yes) gui=1 ;; *) gui=0 ;; esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=../../scripts/check-support.sh
source "$source_dir/scripts/check-support.sh"

prefix=$work/prefix
if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  failed=1
  finish install
fi

# The tree holds exactly these files: no library, header or test slips in.
expected=(bin/kelvane-convert share/kelvane/StartMapFile.txt share/man/man1/kelvane-convert.1)
if [ "$gui" = 1 ]; then
  expected+=(bin/kelvane share/applications/kelvane.desktop
    share/icons/hicolor/scalable/apps/kelvane.svg)
fi
printf '%s\n' "${expected[@]}" | sort >"$work/expected"
(cd "$prefix" && find . ! -type d | sed 's|^\./||' | sort) >"$work/actual"
check "installed files (expected vs actual):
$(diff "$work/expected" "$work/actual")" cmp -s "$work/expected" "$work/actual"
for program in "$prefix"/bin/*; do
  check "$program is executable" test -x "$program"
  # The libraries they need (Qt among them) come from the system: all found.
  check "$program has every library: $(ldd "$program" 2>&1 | grep 'not found')" \
    bash -c "! ldd '$program' | grep -q 'not found'"
done
check "the installed map template is the source's" \
  cmp -s "$source_dir/StartMapFile.txt" "$prefix/share/kelvane/StartMapFile.txt"

# Conversions run in a folder of their own, away from any template.
run=$work/run
mkdir -p "$run"
cp "$source_dir/examples/cube-polyhedron.3dmf" "$run/cube.3dmf"
convert() { # PROGRAM OUTPUT [OPTION...]: converts the cube, shows stderr on failure
  local program=$1 output=$2
  shift 2
  (cd "$run" && "$program" cube.3dmf "$output" --quiet "$@" 2>"$run/stderr") ||
    { cat "$run/stderr" >&2 && return 1; }
}
starts_with() { # FILE TEXT, compared as bytes: $(...) would drop a final newline
  head -c "${#2}" "$1" | cmp -s - <(printf '%s' "$2")
}
ends_with() { # FILE TEXT
  tail -c "${#2}" "$1" | cmp -s - <(printf '%s' "$2")
}

check "the build tree's program converts the cube" convert "$build/bin/kelvane-convert" built.t3d
check "the installed program converts the cube" convert "$prefix/bin/kelvane-convert" installed.t3d
check "the installed program writes the build tree's bytes" cmp -s "$run/built.t3d" "$run/installed.t3d"
check "the document starts with the template" cmp -s -n "$(wc -c <"$source_dir/StartMapFile.txt")" \
  "$run/installed.t3d" "$source_dir/StartMapFile.txt"
check "the document has polygons" grep -q 'Begin Polygon' "$run/installed.t3d"
check "the document ends the map" ends_with "$run/installed.t3d" $'End Map\r\n'

# The tree keeps working when moved: nothing in it names the prefix.
moved=$work/moved
mv "$prefix" "$moved"
check "a moved tree converts alike" convert "$moved/bin/kelvane-convert" moved.t3d
check "a moved tree writes the same bytes" cmp -s "$run/built.t3d" "$run/moved.t3d"

# Where the template comes from, in the order the programs look.
printf 'Begin Map\r\nFROM-BIN\r\n' >"$moved/bin/StartMapFile.txt"
printf 'Begin Map\r\nFROM-OPTION\r\n' >"$run/option-template.txt"
check "a template beside the program comes first" convert "$moved/bin/kelvane-convert" beside.t3d
check "  ... and is the one used" starts_with "$run/beside.t3d" $'Begin Map\r\nFROM-BIN\r\n'
check "--template overrides both" convert "$moved/bin/kelvane-convert" option.t3d \
  --template option-template.txt
check "  ... and is the one used" starts_with "$run/option.t3d" $'Begin Map\r\nFROM-OPTION\r\n'
rm "$moved/bin/StartMapFile.txt" "$moved/share/kelvane/StartMapFile.txt"
status=0
(cd "$run" && "$moved/bin/kelvane-convert" cube.3dmf none.t3d --quiet 2>"$run/stderr") || status=$?
check "without any template a map fails with status 1 (got $status)" test "$status" = 1
check "  ... and a file error that names the place looked at: $(cat "$run/stderr")" \
  grep -q "File error.*$moved/bin/StartMapFile.txt" "$run/stderr"

# --help and --version of the installed program.
program=$moved/bin/kelvane-convert
status=0
"$program" --help >"$work/help" 2>&1 || status=$?
check "--help succeeds" test "$status" = 0
check "--help starts with the usage" starts_with "$work/help" "Usage: kelvane-convert INPUT"
check "--version gives the project's version $version: $("$program" --version)" \
  test "$("$program" --version)" = "kelvane-convert $version"

# The man page: made from this --help, so it lists every option.
man_page=$moved/share/man/man1/kelvane-convert.1
check "the man page is section 1 of kelvane-convert" grep -q '^\.TH KELVANE-CONVERT "\?1"\? ' "$man_page"
if command -v man >/dev/null; then
  MANWIDTH=200 man -l "$man_page" 2>"$work/man-errors" | col -b >"$work/man-text"
  check "man renders the page without complaint: $(cat "$work/man-errors")" \
    test ! -s "$work/man-errors"
else
  skip "man is not installed: the page's source is read instead"
  sed 's/\\-/-/g; s/\\f[BIRP]//g' "$man_page" >"$work/man-text"
fi
check "the man page names the command and what it does" \
  grep -q "kelvane-convert - convert 3DMF models into Unreal T3D documents" "$work/man-text"
check "the man page tells where the template is" grep -q "share/kelvane/StartMapFile.txt" "$work/man-text"
# help2man takes a second usage line only in the form "  or: kelvane-convert
# ..."; written otherwise it lands in DESCRIPTION and SYNOPSIS misses it.
if [ -z "$(command -v man)" ]; then
  skip "man is not installed: the SYNOPSIS is not compared with the usage lines"
else
  sed -n '/^SYNOPSIS/,/^[A-Z]/{/^ /p}' "$work/man-text" | tr -s ' \t' ' ' >"$work/synopsis"
  sed -n -E '1s/^Usage: +//p; 2,${/^ +(or: +)?kelvane-convert /!q; s/^ +(or: +)?//p}' \
    "$work/help" | tr -s ' \t' ' ' >"$work/usages"
  while read -r usage; do
    check "the man page's SYNOPSIS has the usage \"$usage\"" grep -qxF " $usage" "$work/synopsis"
  done <"$work/usages"
fi
mapfile -t options < <(grep -o -- '--[a-z][a-z-]*' "$work/help" | sort -u)
check "--help lists options (${#options[@]} found)" test "${#options[@]}" -ge 8
for option in "${options[@]}"; do
  check "the man page has $option" grep -q -- "$option" "$work/man-text"
done

# Desktop entry and icon, with the window program.
if [ "$gui" = 1 ]; then
  entry=$moved/share/applications/kelvane.desktop
  if command -v desktop-file-validate >/dev/null; then
    check "the desktop entry is valid" \
      desktop-file-validate "$entry"
  else
    skip "desktop-file-validate is not installed"
  fi
  exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
  icon_name=$(sed -n 's/^Icon=//p' "$entry")
  check "the entry starts an installed program ($exec_name)" test -x "$moved/bin/$exec_name"
  check "the entry's icon is installed ($icon_name)" \
    test -f "$moved/share/icons/hicolor/scalable/apps/$icon_name.svg"
  icon=$moved/share/icons/hicolor/scalable/apps/kelvane.svg
  if command -v xmllint >/dev/null; then
    check "the icon is well-formed XML" xmllint --noout "$icon"
  else
    skip "xmllint is not installed"
  fi
  check "the icon is a square SVG" grep -q '<svg[^>]*viewBox="0 0 \([0-9]*\) \1"' "$icon"
fi

finish install
