# What the checks that drive a Windows program's window under Wine share;
# sourced, not run. A check calls `wine_x11_start WINE WINEPREFIX WORK_DIR`
# for a virtual display (Xvfb) and a Wine session of its own, which end
# with the script; then `find_window` and the key, click and read-back
# helpers drive the window as a user does. Every wait has a time limit.
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }

program=""  # a process of the check's to end with it
wine_x11_finish() {
  [ -n "$program" ] && kill "$program" 2>/dev/null
  WINEPREFIX=$prefix timeout 20 "$wineserver" -k 2>/dev/null
  kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
}

# wine_x11_start WINE WINEPREFIX WORK_DIR: sets wine, wineserver, prefix,
# DISPLAY and the Wine variables; makes the prefix when it is new.
wine_x11_start() {
  wine=$1 prefix=$2
  local work=$3
  wineserver=$(dirname "$wine")/wineserver
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb=$!
  exec 3>&-
  export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
  trap wine_x11_finish EXIT
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.2; done
  [ -s "$work/display" ] || { echo "FAIL: Xvfb did not start: $(cat "$work/xvfb.log")"; exit 1; }
  export DISPLAY=:$(head -1 "$work/display")
  unset WAYLAND_DISPLAY

  # A new prefix is made before the window starts, so that its making is
  # not counted in the window's start. Debian's Wine brings no Windows
  # fonts of its own: Windows' dialog font is the host's sans-serif face
  # (fontconfig), which the window's captions and boxes then use.
  if [ ! -f "$prefix/system.reg" ]; then
    timeout 300 "$wine" wineboot --init >"$work/wineboot.log" 2>&1
    local face font
    face=$(fc-match -f '%{family[0]}' sans-serif)
    for font in "MS Shell Dlg" "MS Shell Dlg 2" Tahoma; do
      timeout 60 "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
        /v "$font" /d "$face" /f >>"$work/wineboot.log" 2>&1
    done
    timeout 60 "$wineserver" -w
  fi
}

# find_window STARTED_MS: waits up to 120 s for the program's window (by
# its title) and sets $window; prints how long it took to show since
# STARTED_MS (date +%s%3N).
find_window() {
  window=$(timeout 120 xdotool search --sync --onlyvisible --name '^Kelvane - Dunmoor$' | head -1)
  [ -n "$window" ] || { echo "FAIL: no window titled \"Kelvane - Dunmoor\" within 120 s"; exit 1; }
  local shown=$(($(date +%s%3N) - $1))
  printf 'window shown after %d.%03d s\n' $((shown / 1000)) $((shown % 1000))
}

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
# The boxes, in the window's pixels.
input_box=(130 33)   # TextInFileName
output_box=(130 81)  # TextOutFileName
go_button=(277 108)  # CommandGo

# screenshot PNG: a picture of the window (needs xwd and netpbm).
screenshot() {
  xwd -id "$window" -silent | xwdtopnm 2>/dev/null | pnmtopng >"$1" && echo "screenshot: $1"
}

# close_window: Alt+F4 closes the window as the system asks it to; the
# program, $program, must then end within 20 s, with status 0.
close_window() {
  xdotool windowfocus --sync "$window" 2>/dev/null
  key alt+F4
  for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.2; done
  if kill -0 "$program" 2>/dev/null; then
    fail "the program did not end within 20 s of Alt+F4"
  else
    wait "$program"
    local status=$?
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
  fi
  program=""
}
