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
# shellcheck source=wine-x11.sh
source "$(dirname "$0")/wine-x11.sh"

rm -rf "$work"
mkdir -p "$work/linux" "$work/window"
cp "$model" "$work/linux/$name.3dmf"
cp "$model" "$work/window/$name.3dmf"
# The window reads with the keyword reader while "Whole 3DMF" is unticked.
(cd "$work/linux" && "$linux" --quiet --reader keywords "$name.3dmf" "$name.t3d") ||
  { echo "FAIL: the Linux program cannot convert $model"; exit 1; }

# One display and one Wine session for this check alone; both end with it.
wine_x11_start "$wine" "$prefix" "$work"

started=$(date +%s%3N)
# Started in its own folder, as from the Explorer.
(cd "$(dirname "$exe")" && exec timeout 300 "$wine" "$exe" >"$work/window.log" 2>&1) &
program=$!
find_window "$started"

# Once both boxes are filled, the first is clicked and read again: a lost
# click would have put the second path into it, or the first into the other.
xdotool windowfocus --sync "$window"
sleep 1
in_path=$(windows_path "$work/window/$name.3dmf")
out_path=$(windows_path "$work/window/$name.t3d")
for round in 1 2 3; do
  click "${input_box[@]}" && type_checked ctrl+a "$in_path" || break
  click "${output_box[@]}" && type_checked ctrl+a "$out_path" || break
  click "${input_box[@]}" && holds ctrl+a "$in_path" && break
  echo "filled again: the input box held \"$held\" after round $round"
  [ "$round" -eq 3 ] && fail "the boxes do not hold the paths after 3 rounds"
done
click "${go_button[@]}"

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
  screenshot "$KELVANE_SCREENSHOT"
fi

close_window

[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "the window wrote $name.t3d and ${name}_1.bmp as the command line does"
