#!/usr/bin/env bash
# The Windows setup as a user meets it, under Wine in a prefix of its own
# (a machine with nothing of Kelvane on it) on a virtual display:
# - an older release's setup, with a file and a folder the newer one no
#   longer has, installs silently (/S) into a folder with a blank and an
#   accented letter (/D=); the release's setup then runs over it the same
#   way, and leaves exactly the release's files, byte for byte;
# - the Start-menu entry, the Add/Remove Programs entry and "Open with" for
#   the four extensions are there, and another program's default for .3dmf
#   and its own "Open with" entry are left as they were;
# - the setup and both programs carry the version;
# - the installed kelvane-convert.exe writes what the Linux program writes;
# - the window started as "Open with Kelvane" starts it (the class's
#   command, through the shell) shows the model in its input box and the
#   proposed output, converts nothing until Go, and then what the Linux
#   program writes;
# - the silent uninstall removes the folder, the Start-menu entry and every
#   registry entry of its own, and nothing of the other program's.
# Usage: setup-exe.sh LINUX_BUILD WINDOWS_BUILD VERSION WINE SOURCE_DIR WORK_DIR
# Environment: KELVANE_SCREENSHOT=FILE.png also saves a picture of the
# window opened with the model (needs xwd and netpbm).
set -uo pipefail
linux_build=$1 windows_build=$2 version=$3 wine_program=$4 source=$5 work=$6
# shellcheck source=wine-x11.sh
source "$(dirname "$0")/wine-x11.sh"

rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)  # Wine takes absolute paths only
started=$(date +%s)
"$source/scripts/make-release.sh" "$linux_build" "$windows_build" "$work/out" "$version" \
  >"$work/release.log" 2>&1 || { cat "$work/release.log"; echo "FAIL: make-release.sh failed"; exit 1; }
echo "make-release.sh took $(($(date +%s) - started)) s"
setup_name="kelvane-$version-setup.exe"
[ -f "$work/out/$setup_name" ] || { echo "FAIL: make-release.sh made no $setup_name"; exit 1; }
echo "$setup_name: $(stat -c %s "$work/out/$setup_name") bytes"
release="$work/new/kelvane-$version-windows-x86_64"
mkdir -p "$work/new"
unzip -q "$work/out/kelvane-$version-windows-x86_64.zip" -d "$work/new"

# The older release: the same files, an older version, and a file and a
# folder that the newer one no longer has.
old_version=0.0.1
old="$work/old/kelvane-$old_version-windows-x86_64"
mkdir -p "$work/old"
cp -r "$release" "$old"
echo "left over" >"$old/relink/stale.txt"
mkdir "$old/examples"
cp "$source/examples/cube-polyhedron.3dmf" "$old/examples/"
"$source/scripts/make-setup.sh" "$old" "$old_version" "$work/old/kelvane-$old_version-setup.exe" ||
  { echo "FAIL: make-setup.sh cannot make the older setup"; exit 1; }

wine_x11_start "$wine_program" "$work/prefix" "$work"
install_dir='C:\Program Files\Kelvane é'
installed="$prefix/drive_c/Program Files/Kelvane é"
menu_entry="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kelvane.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvane'
classes='HKLM\Software\Classes'

# run_setup FOLDER SETUP: silently into $install_dir, as typed at a prompt:
# /D= comes last and unquoted, so the line goes through cmd as it stands.
run_setup() {
  (cd "$1" && timeout 300 "$wine" cmd /c "$2 /S /D=$install_dir") >>"$work/setup.log" 2>&1 ||
    fail "$2 /S ended with a failure: $(tail -3 "$work/setup.log")"
  timeout 120 "$wineserver" -w
}
# reg_key KEY: the key and its subkeys as reg export writes them; status 1
# when there is no such key.
reg_key() {
  rm -f "$work/key.reg"
  timeout 60 "$wine" reg export "$1" "$(windows_path "$work/key.reg")" /y >/dev/null 2>&1 &&
    iconv -f UTF-16 -t UTF-8 "$work/key.reg" | tr -d '\r'
}
# reg_value KEY NAME: one value of the key itself (NAME @ for the default),
# strings without their quotes and escapes, as reg export writes the rest.
reg_value() {
  local name=\"$2\"
  [ "$2" = @ ] && name=@
  reg_key "$1" | python3 -c '
import re, sys
name, lines = sys.argv[1] + "=", sys.stdin.read().split("\n")
for line in lines[3:]:
    if line.startswith("["):
        break
    if line.startswith(name):
        value = line[len(name):]
        if value.startswith("\""):
            value = re.sub(r"\\(.)", r"\1", value[1:-1])
        print(value)
' "$name"
}
# version_of EXE: the fixed file version and the ProductVersion text of the
# program's version resource.
version_of() {
  python3 - "$1" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
fixed = data.find(struct.pack("<I", 0xFEEF04BD))
key = "ProductVersion".encode("utf-16-le") + b"\0\0"
text = data.find(key)
if fixed < 0 or text < 0:
    sys.exit("no version resource")
ms, ls = struct.unpack_from("<II", data, fixed + 8)
start = text + len(key)
while data[start:start + 2] == b"\0\0":
    start += 2
end = start
while data[end:end + 2] != b"\0\0":
    end += 2
print("%d.%d.%d.%d %s" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF,
                          data[start:end].decode("utf-16-le")))
EOF
}

# Another program's: the default for .3dmf, and its own "Open with" entry
# for .q3d.
for line in "$classes\\.3dmf|/ve|Other.Model" "$classes\\.q3d\\OpenWithProgids|/v|Other.Model"; do
  IFS='|' read -r key option value <<<"$line"
  if [ "$option" = /ve ]; then
    timeout 60 "$wine" reg add "$key" /ve /d "$value" /f >/dev/null 2>&1
  else
    timeout 60 "$wine" reg add "$key" /v "$value" /d "" /f >/dev/null 2>&1
  fi
done
other_program() {
  [ "$(reg_value "$classes\\.3dmf" @)" = Other.Model ] ||
    fail "$1: the default program for .3dmf is \"$(reg_value "$classes\\.3dmf" @)\", not Other.Model"
  reg_key "$classes\\.q3d\\OpenWithProgids" | grep -qx '"Other.Model"=""' ||
    fail "$1: the other program's \"Open with\" entry for .q3d is gone"
}

# ---- the older release, then the newer over it
run_setup "$work/old" "kelvane-$old_version-setup.exe"
[ -f "$installed/relink/stale.txt" ] || { echo "FAIL: the older setup did not install"; exit 1; }
[ "$(reg_value "$uninstall_key" DisplayVersion)" = "$old_version" ] ||
  fail "the older setup registers version \"$(reg_value "$uninstall_key" DisplayVersion)\""
run_setup "$work/out" "$setup_name"

expected=$( (cd "$release" && find . -type f; echo ./uninstall.exe) | LC_ALL=C sort)
actual=$( (cd "$installed" && find . -type f) | LC_ALL=C sort)
[ "$actual" = "$expected" ] || fail "the folder holds
$actual
expected
$expected"
[ -z "$(find "$installed" -mindepth 1 -type d ! -name relink)" ] ||
  fail "folders of the older release are left: $(find "$installed" -mindepth 1 -type d ! -name relink)"
while read -r file; do
  [ "$file" = ./uninstall.exe ] && continue
  cmp -s "$release/$file" "$installed/$file" || fail "$file is not the release's"
done <<<"$expected"
[ -f "$menu_entry" ] || fail "no Start-menu entry $menu_entry"
# The link holds its target as the system's code page writes it, and the
# folder it starts in as UTF-16.
python3 -c 'import sys; link = open(sys.argv[1], "rb").read()
sys.exit(not (sys.argv[2].encode("cp1252") in link and sys.argv[3].encode("utf-16-le") in link))' \
  "$menu_entry" "$install_dir\kelvane.exe" "$install_dir" ||
  fail "the Start-menu entry does not start $install_dir\\kelvane.exe in its folder"

# Add/Remove Programs.
for line in "DisplayName|Kelvane" "DisplayVersion|$version" "Publisher|Kelvane" \
  "InstallLocation|$install_dir" "UninstallString|\"$install_dir\\uninstall.exe\"" \
  "QuietUninstallString|\"$install_dir\\uninstall.exe\" /S"; do
  IFS='|' read -r name value <<<"$line"
  got=$(reg_value "$uninstall_key" "$name")
  [ "$got" = "$value" ] || fail "Add/Remove Programs: $name is \"$got\", not \"$value\""
done
size=$(reg_value "$uninstall_key" EstimatedSize)
kib=$(du -s -k --apparent-size "$installed" | cut -f1)
[[ $size == dword:* ]] && size=$((16#${size#dword:}))
[[ $size =~ ^[0-9]+$ ]] && [ "$size" -ge $((kib * 9 / 10)) ] && [ "$size" -le $((kib * 11 / 10)) ] ||
  fail "Add/Remove Programs: EstimatedSize is $size KiB, the folder holds $kib KiB"

# "Open with", beside the other program.
command="\"$install_dir\\kelvane.exe\" \"%1\""
for key in "$classes\\Applications\\kelvane.exe\\shell\\open\\command" "$classes\\Kelvane.3dmf\\shell\\open\\command"; do
  [ "$(reg_value "$key" @)" = "$command" ] || fail "$key holds \"$(reg_value "$key" @)\", not $command"
done
for extension in .3dmf .3dm .q3d .qd3d; do
  reg_key "$classes\\$extension\\OpenWithProgids" | grep -q '^"Kelvane.3dmf"=' ||
    fail "$extension: no Kelvane.3dmf in OpenWithProgids"
  reg_key "$classes\\Applications\\kelvane.exe\\SupportedTypes" | grep -q "^\"$extension\"=" ||
    fail "$extension: not among kelvane.exe's SupportedTypes"
done
other_program "after the install"

for file in "$work/out/$setup_name" "$installed/kelvane.exe" "$installed/kelvane-convert.exe"; do
  got=$(version_of "$file" 2>&1)
  [ "$got" = "$version.0 $version" ] || fail "$(basename "$file") carries the version \"$got\""
done

# ---- the installed command line, as the Linux program
mkdir -p "$work/linux" "$work/convert"
for model in tests/data/crate.3dmf examples/cube-polyhedron.3dmf; do
  name=$(basename "$model" .3dmf)
  cp "$source/$model" "$work/linux/" && cp "$source/$model" "$work/convert/"
  (cd "$work/linux" && "$linux_build/bin/kelvane-convert" --quiet "$name.3dmf" "$name.t3d") ||
    fail "the Linux program cannot convert $model"
  (cd "$work/convert" && timeout 120 "$wine" "$install_dir\\kelvane-convert.exe" --quiet "$name.3dmf" \
    "$name.t3d" </dev/null >"$work/convert.log" 2>&1) ||
    fail "the installed kelvane-convert.exe cannot convert $model: $(cat "$work/convert.log")"
done
for file in crate.t3d crate_1.bmp cube-polyhedron.t3d; do
  cmp -s "$work/linux/$file" "$work/convert/$file" || fail "the installed kelvane-convert.exe: $file differs"
done

# ---- "Open with Kelvane": the class's command through the shell
models="$work/models é"
mkdir -p "$models"
cp "$source/examples/cube-polyhedron.3dmf" "$models/cube.3dmf"
in_path=$(windows_path "$models/cube.3dmf")
out_path=$(windows_path "$models/cube.t3d")
started=$(date +%s%3N)
timeout 300 "$wine" start /wait /ProgIDOpen Kelvane.3dmf "$in_path" >"$work/window.log" 2>&1 &
program=$!
find_window "$started"
xdotool windowfocus --sync "$window"
sleep 1
# Read as the window check reads a box: click, select all, copy; a lost
# click or key is tried again.
for box in input output; do
  [ "$box" = input ] && expected_path=$in_path || expected_path=$out_path
  for attempt in 1 2 3; do
    if [ "$box" = input ]; then click "${input_box[@]}"; else click "${output_box[@]}"; fi
    holds ctrl+a "$expected_path" && break
    [ "$attempt" -eq 3 ] && fail "the $box box holds \"$held\", not \"$expected_path\""
  done
done
[ -n "${KELVANE_SCREENSHOT:-}" ] && screenshot "$KELVANE_SCREENSHOT"
sleep 1
[ "$(ls "$models")" = cube.3dmf ] || fail "the window wrote before Go: $(ls "$models" | tr '\n' ' ')"
(cd "$work/linux" && cp "$source/examples/cube-polyhedron.3dmf" cube.3dmf &&
  "$linux_build/bin/kelvane-convert" --quiet cube.3dmf cube.t3d)
# A click lost on a loaded machine starts nothing: Go is clicked once more
# when no document has come within 30 s.
for attempt in 1 2; do
  click "${go_button[@]}"
  for _ in $(seq 60); do
    cmp -s "$work/linux/cube.t3d" "$models/cube.t3d" && break 2
    sleep 0.5
  done
  [ -e "$models/cube.t3d" ] && break
  echo "Go again: no document after 30 s"
done
cmp -s "$work/linux/cube.t3d" "$models/cube.t3d" ||
  fail "the window opened with the model wrote no cube.t3d as the Linux program's"
close_window

# ---- the silent uninstall, as Add/Remove Programs runs it
quiet=$(reg_value "$uninstall_key" QuietUninstallString)
uninstaller=${quiet#\"}
uninstaller=${uninstaller%%\"*}
timeout 120 "$wine" "$uninstaller" /S >"$work/uninstall.log" 2>&1 ||
  fail "the uninstaller ended with a failure: $(cat "$work/uninstall.log")"
# It runs from a copy of its own in the temporary folder; Wine is idle when
# that copy is done.
timeout 120 "$wineserver" -w
[ ! -e "$installed" ] || fail "the folder is left: $(cd "$installed" && find . | tr '\n' ' ')"
[ ! -e "$menu_entry" ] || fail "the Start-menu entry is left"
for key in "$uninstall_key" "$classes\\Applications\\kelvane.exe" "$classes\\Kelvane.3dmf" \
  "$classes\\.3dm" "$classes\\.qd3d"; do
  ! reg_key "$key" >/dev/null || fail "$key is left: $(reg_key "$key" | tail -n +2 | tr '\n' ' ')"
done
for extension in .3dmf .q3d; do
  ! reg_key "$classes\\$extension" | grep -q Kelvane ||
    fail "$extension keeps an entry of Kelvane: $(reg_key "$classes\\$extension" | tr '\n' ' ')"
done
other_program "after the uninstall"

[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "the setup installs, upgrades and uninstalls in \"$install_dir\""
