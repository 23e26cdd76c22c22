#!/usr/bin/env bash
# The shipped velkarn3.exe under Wine on its own X server, against the
# simulated libusb0.dll that lies beside it: the window comes up with its
# caption, a click on "PANO" draws the simulated spectrum (trace-coloured
# pixels on the chart), and closing the window ends the process with exit
# code 0. Wine's prefix and loader come from the environment (WINEPREFIX,
# WINE64), as test-windows.sh sets them.
# With a HEX file (echo_m328p.hex of the test data), it also uploads it and
# compares the program's redirected standard output with the progress lines.
# Usage: check-program.sh BIN_DIR [SCREENSHOT.png [HEX]]
set -euo pipefail
bin="$(cd "$1" && pwd)"
shot="${2:-}"
hex="${3:-}"
winepath_of() { printf 'Z:%s' "$(readlink -f "$1")" | tr / '\\'; }
wine64="${WINE64:?WINE64 must name the Wine loader}"
: "${WINEPREFIX:?}"

work="$(mktemp -d)"
xvfb=""
prog=""
cleanup() {
  [ -n "$prog" ] && kill "$prog" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "check-program: $*" >&2; [ -s "$work/stderr" ] && tail -20 "$work/stderr" >&2; exit 1; }

# An X server of this run's own, on the first free display number.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"

(cd "$bin" && "$wine64" velkarn3.exe >"$work/stdout" 2>"$work/stderr"; echo $? >"$work/rc") &
prog=$!

w="$(timeout 120 xdotool search --sync --onlyvisible --name '^Velkarn3 Pano 01$' 2>/dev/null | head -1)" \
  || fail "no window with the caption \"Velkarn3 Pano 01\""
[ -n "$w" ] || fail "no window with the caption \"Velkarn3 Pano 01\""
echo "window: \"$(xdotool getwindowname "$w")\", $(xdotool getwindowgeometry "$w" | sed -n 's/ *Geometry: //p')"

# Trace-coloured pixels, RGB (255, 255, 128), inside the chart (56, 0, 673 x 425).
trace_pixels() {
  import -window "$w" "$work/w.png" 2>/dev/null || { echo 0; return; }
  convert "$work/w.png" -crop 673x425+56+0 +repage -alpha off \
    -fill black +opaque '#FFFF80' -fill white -opaque '#FFFF80' \
    -format '%[fx:int(mean*w*h+0.5)]' info:
}
sleep 2
before="$(trace_pixels)"
[ "$before" -lt 50 ] || fail "the trace is drawn before PANO is pressed ($before pixels)"
xdotool mousemove --window "$w" 32 408 click 1
after=0
for _ in $(seq 40); do
  sleep 0.25
  after="$(trace_pixels)"
  [ "$after" -ge 2000 ] && break
done
echo "trace-coloured pixels on the chart: $before before \"PANO\", $after after"
[ "$after" -ge 2000 ] || fail "no spectrum drawn after PANO ($after pixels)"
[ -n "$shot" ] && import -window root "$shot" 2>/dev/null && echo "screenshot: $shot"

# A firmware upload of a real HEX file to the simulated meter, its button
# reached by the keyboard (it lies outside the visible client area): its
# progress lines must reach the redirected standard output of the program.
if [ -n "$hex" ]; then
  mapfile -t known < <(xdotool search --onlyvisible --name . 2>/dev/null)
  is_new() { for k in "${known[@]}"; do [ "$k" = "$1" ] && return 1; done; return 0; }
  dialog=""
  xdotool windowactivate --sync "$w" >/dev/null 2>&1 || xdotool windowfocus "$w" || true
  for _ in $(seq 80); do
    xdotool key Tab space
    sleep 0.2
    for c in $(xdotool search --onlyvisible --name . 2>/dev/null); do
      is_new "$c" && { dialog=$c; break; }
    done
    [ -n "$dialog" ] && break
  done
  [ -n "$dialog" ] || fail "no file dialog came up from the firmware button"
  echo "file dialog: \"$(xdotool getwindowname "$dialog")\""
  sleep 1
  xdotool type --delay 20 "$(winepath_of "$hex")"
  xdotool key Return
  # The box with the meter's sizes, then "Прошито успешно".
  for box in sizes result; do
    found=""
    for _ in $(seq 40); do
      sleep 0.25
      for c in $(xdotool search --onlyvisible --name . 2>/dev/null); do
        [ "$c" != "$dialog" ] && is_new "$c" && { found=$c; break; }
      done
      [ -n "$found" ] && break
    done
    [ -n "$found" ] || fail "no message box ($box) after choosing the file"
    known+=("$found")
    xdotool key Return
  done
  sleep 1
  expected="$(printf 'Uploading 384 (0x180) bytes starting at 0 (0x0)\n\r0x00000 ... 0x00080\r0x00080 ... 0x00100\r0x00100 ... 0x00180' | od -An -c)"
  got="$(od -An -c "$work/stdout")"
  [ "$got" = "$expected" ] || { echo "standard output:"; od -c "$work/stdout" | head; fail "the upload's progress did not reach the redirected standard output"; }
  echo "redirected standard output: the upload's $(tr '\r' '\n' <"$work/stdout" | grep -c .) progress lines, byte for byte"
fi

# Closing the window as the user does (WM_CLOSE to its windows).
"$wine64" taskkill /IM velkarn3.exe >/dev/null 2>&1 || true
for _ in $(seq 120); do [ -s "$work/rc" ] && break; sleep 0.25; done
[ -s "$work/rc" ] || fail "the program did not end after its window was closed"
prog=""
rc="$(cat "$work/rc")"
echo "exit code after closing: $rc"
[ "$rc" = 0 ] || fail "exit code $rc"
echo "check-program: passed"
