#!/usr/bin/env bash
# The window program under Wine on a virtual display (Xvfb, Wine's X11
# driver), driven as a user drives it: find the window by its title, click
# into the input and output boxes and type the paths (as Windows writes
# them, Z:\...), click Go, type the texture's name into the save dialog and
# press Enter, close the window with Alt+F4. Every typed box is read back
# through the clipboard before going on. The document and bitmap must
# equal what the Linux command line writes from the same model.
# Every wait has a time limit, so a window that never shows or a dialog that
# never comes fails the check instead of hanging it.
#
# Usage: window-under-wine.sh WINE WINEPREFIX KELVANE_EXE LINUX_CONVERT MODEL WORK_DIR
# Environment: KELVANE_SCREENSHOT=FILE.png also saves a picture of the
# window after the conversion (needs xwd and netpbm).
set -uo pipefail
wine=$1 prefix=$2 exe=$3 linux=$4 model=$5 work=$6
name=$(basename "$model" .3dmf)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }

rm -rf "$work"
mkdir -p "$work/linux" "$work/window"
cp "$model" "$work/linux/$name.3dmf"
cp "$model" "$work/window/$name.3dmf"
# The window reads with the keyword reader while "Whole 3DMF" is unticked.
(cd "$work/linux" && "$linux" --quiet --reader keywords "$name.3dmf" "$name.t3d") ||
  { echo "FAIL: the Linux program cannot convert $model"; exit 1; }

# One display and one Wine session for this check alone; both end with it.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
program=""
finish() {
  [ -n "$program" ] && kill "$program" 2>/dev/null
  WINEPREFIX=$prefix timeout 20 "$(dirname "$wine")/wineserver" -k 2>/dev/null
  kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
}
trap finish EXIT
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.2; done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start: $(cat "$work/xvfb.log")"; exit 1; }
export DISPLAY=:$(head -1 "$work/display")
unset WAYLAND_DISPLAY

# A new prefix is made before the window starts, so that its making is not
# counted in the window's start. Debian's Wine brings no Windows fonts of
# its own: Windows' dialog font is the host's sans-serif face (fontconfig),
# which the window's captions and boxes then use.
if [ ! -f "$prefix/system.reg" ]; then
  timeout 300 "$wine" wineboot --init >"$work/wineboot.log" 2>&1
  face=$(fc-match -f '%{family[0]}' sans-serif)
  for font in "MS Shell Dlg" "MS Shell Dlg 2" Tahoma; do
    timeout 60 "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
      /v "$font" /d "$face" /f >>"$work/wineboot.log" 2>&1
  done
  timeout 60 "$(dirname "$wine")/wineserver" -w
fi

started=$(date +%s%3N)
# Started in its own folder, as from the Explorer.
(cd "$(dirname "$exe")" && exec timeout 300 "$wine" "$exe" >"$work/window.log" 2>&1) &
program=$!
window=$(timeout 120 xdotool search --sync --onlyvisible --name '^Kelvane - Dunmoor$' | head -1)
[ -n "$window" ] || { echo "FAIL: no window titled \"Kelvane - Dunmoor\" within 120 s"; exit 1; }
shown=$(($(date +%s%3N) - started))
printf 'window shown after %d.%03d s\n' $((shown / 1000)) $((shown % 1000))

# As a user does it: click into a box, select what it holds, type; then
# click Go. The places are the layout's, in pixels at 96 dots per inch
# (Wine's default), from the window's corner (no frame: no window manager).
# A keystroke can get lost on a loaded machine (once a path arrived without
# its last letter), so each box is read back as a user would check it:
# select all, copy, and compare the clipboard (Wine hands it to X) with what
# was typed. The clipboard is emptied first, so a lost copy reads as "".
key() { xdotool key --clearmodifiers --delay 60 "$@"; }
type_text() { xdotool type --clearmodifiers --delay 50 -- "$1"; }
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }
held=""
# holds SELECT TEXT: SELECT (keys) marks all the focused box holds.
holds() {
  printf '' | xclip -selection clipboard
  key $1 ctrl+c
  sleep 0.3
  held=$(timeout 5 xclip -o -selection clipboard 2>/dev/null)
  [ "$held" = "$2" ]
}
# type_checked SELECT TEXT: types TEXT over the focused box's, at most three
# times, until the box holds it.
type_checked() {
  for attempt in 1 2 3; do
    key $1
    type_text "$2"
    sleep 0.3
    holds "$1" "$2" && return 0
    echo "typed again: the box held \"$held\" after attempt $attempt"
  done
  fail "the box holds \"$held\", not \"$2\""
  return 1
}
# Once both boxes are filled, the first is clicked and read again: a lost
# click would have put the second path into it, or the first into the other.
xdotool windowfocus --sync "$window"
sleep 1
in_path=$(windows_path "$work/window/$name.3dmf")
out_path=$(windows_path "$work/window/$name.t3d")
for round in 1 2 3; do
  click 130 33 && type_checked ctrl+a "$in_path" || break   # TextInFileName
  click 130 81 && type_checked ctrl+a "$out_path" || break  # TextOutFileName
  click 130 33 && holds ctrl+a "$in_path" && break
  echo "filled again: the input box held \"$held\" after round $round"
  [ "$round" -eq 3 ] && fail "the boxes do not hold the paths after 3 rounds"
done
click 277 108  # CommandGo

# The save dialog for the texture: the other window of some size that shows
# (Wine gives its X window no title); the search also lists the root window.
root=$(xdotool search --maxdepth 0 --name '' | head -1)
dialog=""
for _ in $(seq 100); do
  for id in $(xdotool search --onlyvisible --name '' 2>/dev/null | grep -vx -e "$window" -e "$root"); do
    width=$(xdotool getwindowgeometry --shell "$id" 2>/dev/null | sed -n 's/^WIDTH=//p')
    [ "${width:-0}" -ge 200 ] && { dialog=$id; break; }
  done
  [ -n "$dialog" ] && break
  sleep 0.3
done
if [ -z "$dialog" ]; then
  fail "no save dialog for the texture within 30 s"
else
  xdotool windowfocus --sync "$dialog"
  sleep 1
  # Its name box holds the proposed name; type the whole path instead.
  type_checked "End shift+Home" "$(windows_path "$work/window/${name}_1.bmp")"
  # Enter saves and closes the dialog; it is pressed again, once, if the
  # dialog still shows after 10 s.
  for attempt in 1 2; do
    key Return
    for _ in $(seq 50); do
      xdotool search --onlyvisible --name '' 2>/dev/null | grep -qx "$dialog" || break 2
      sleep 0.2
    done
    [ "$attempt" -eq 1 ] && echo "Enter again: the save dialog still shows" &&
      xdotool windowfocus --sync "$dialog" 2>/dev/null
  done
fi

# The run is over when the document is whole; then nothing more may come.
for _ in $(seq 120); do
  cmp -s "$work/linux/$name.t3d" "$work/window/$name.t3d" && break
  sleep 0.5
done
sleep 2
for file in "$name.t3d" "${name}_1.bmp"; do
  if [ ! -f "$work/window/$file" ]; then
    fail "the window wrote no $file"
  elif ! cmp -s "$work/linux/$file" "$work/window/$file"; then
    fail "$file differs from the Linux command line's: $(cmp "$work/linux/$file" "$work/window/$file")"
  fi
done
extra=$(cd "$work/window" && ls | grep -vxF -e "$name.3dmf" -e "$name.t3d" -e "${name}_1.bmp")
[ -z "$extra" ] || fail "the window wrote more files: $extra"

if [ -n "${KELVANE_SCREENSHOT:-}" ]; then
  sleep 2  # the preview draws on a thread of its own
  xwd -id "$window" -silent | xwdtopnm 2>/dev/null | pnmtopng >"$KELVANE_SCREENSHOT" &&
    echo "screenshot: $KELVANE_SCREENSHOT"
fi

# Alt+F4 closes the window as the system asks it to; the program then ends.
xdotool windowfocus --sync "$window" 2>/dev/null
key alt+F4
for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.2; done
if kill -0 "$program" 2>/dev/null; then
  fail "the program did not end within 20 s of Alt+F4"
else
  wait "$program"
  status=$?
  [ "$status" -eq 0 ] || fail "the program ended with status $status"
fi
program=""

[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "the window wrote $name.t3d and ${name}_1.bmp as the command line does"
