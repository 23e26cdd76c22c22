#!/usr/bin/env bash
# The shipped velkarn3.exe under Wine on its own X server, against the
# simulated libusb0.dll that lies beside it: the window comes up with its
# caption, a click on "PANO" draws the simulated spectrum (trace-coloured
# pixels on the chart), and closing the window ends the process with exit
# code 0. Wine's prefix and loader come from the environment (WINEPREFIX,
# WINE64), as test-windows.sh sets them.
# Usage: check-program.sh BIN_DIR [SCREENSHOT.png]
set -euo pipefail
bin="$(cd "$1" && pwd)"
shot="${2:-}"
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

# Wine's desktop takes the display of the first Wine process of the prefix,
# so test-windows.sh starts its X server before the prefix. Without one, an X
# server of this check's own, on the first free display number.
if [ -z "${DISPLAY:-}" ]; then
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
  xvfb=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || fail "Xvfb did not start"
  export DISPLAY=":$(cat "$work/display")"
fi

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

# Closing the window as the user does (WM_CLOSE to its windows).
"$wine64" taskkill /IM velkarn3.exe >/dev/null 2>&1 || true
for _ in $(seq 120); do [ -s "$work/rc" ] && break; sleep 0.25; done
[ -s "$work/rc" ] || fail "the program did not end after its window was closed"
prog=""
rc="$(cat "$work/rc")"
echo "exit code after closing: $rc"
[ "$rc" = 0 ] || fail "exit code $rc"
echo "check-program: passed"
