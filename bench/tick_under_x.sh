#!/usr/bin/env bash
# The window's tick as a user's machine pays for it: the real program under
# Xvfb (the xcb platform, MIT-SHM and all) against the simulated meter, as
# make demo runs it, its CPU time taken from the kernel's per-thread
# accounting (/proc/PID/task/*/schedstat, nanoseconds, every thread: the
# window's, Qt's X event reader, the simulated meter's work within them).
# Measures with "PANO" up, then sweeping in the area style (the style the
# program starts in), then in the line style; each as WINDOWS windows of
# SECONDS seconds (12 s: one whole swing of the demo's dish), printing every
# window and the best, per 25 ms tick.
#
# Given several build folders, it runs one program of each side by side,
# each on an X server of its own, and measures them in the same windows:
# on a virtual machine whose speed drifts from one minute to the next, only
# figures taken together compare. Beside them runs the first build's
# bench_repaint when it is built (make bench): a bare Qt window that moves a
# line over the plot every 25 ms and repaints its band, and does nothing
# else: the floor that Qt and the X server set on this machine in these same
# windows.
# Usage: tick_under_x.sh BUILD_DIR [BUILD_DIR...]
# With TICK_ALL=1 every tool of the chart's menu that draws is switched on
# by its key first (holds, average of 32, peak, marks, transponders found,
# satellite named), in every build alike.
# Environment: TICK_SECONDS (12), TICK_WINDOWS (3), TICK_ALL (0).
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: tick_under_x.sh BUILD_DIR [BUILD_DIR...]" >&2; exit 2; }
seconds="${TICK_SECONDS:-12}"
windows="${TICK_WINDOWS:-3}"
. "$(dirname "$0")/under_x_lib.sh"
under_x_setup tick_under_x velkarn-tick

builds=() displays=() apps=() wins=() names=()
for b in "$@"; do
  build="$(cd "$b" && pwd)"
  n=${#builds[@]}
  x_server "$n" 1280x1024 "$work/xvfb$n.log"
  mkdir -m 700 "$work/xdg$n"
  DISPLAY=$display VELKARN_SIM_SWING=1 VELKARN_SIM_SKY=13.0E VELKARN_SIM_LNB_DRIFT=2 \
    LD_LIBRARY_PATH="$build/sim" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/xdg$n" \
    "$build/app/velkarn3" >"$work/program$n.log" 2>&1 &
  pids+=($!)
  apps+=($!)
  w=$(DISPLAY=$display timeout 60 xdotool search --sync --onlyvisible --name '^Velkarn3 Pano 01$' | head -1)
  [ -n "$w" ] || { echo "tick_under_x: the window of $build did not come up" >&2; cat "$work/program$n.log" >&2; exit 1; }
  builds+=("$build") displays+=("$display") wins+=("$w") names+=("$build")
done
floor="${builds[0]}/bench/bench_repaint"
if [ -x "$floor" ]; then
  x_server "${#builds[@]}" 1280x1024 "$work/xvfb-floor.log"
  mkdir -m 700 "$work/xdg-floor"
  DISPLAY=$display QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/xdg-floor" "$floor" 0 >"$work/floor.log" 2>&1 &
  pids+=($!)
  apps+=($!)
  names+=("floor, a bare Qt repaint of a line's band (bench_repaint)")
  DISPLAY=$display timeout 60 xdotool search --sync --onlyvisible --name '^Velkarn3 repaint floor$' >/dev/null ||
    { echo "tick_under_x: the window of $floor did not come up" >&2; cat "$work/floor.log" >&2; exit 1; }
else
  echo "tick_under_x: $floor is not built (make bench builds it): no floor measured beside the program"
fi
sleep 2

# Clicks at a point of every window (window coordinates).
click() { for n in "${!builds[@]}"; do DISPLAY=${displays[$n]} xdotool mousemove --window "${wins[$n]}" "$1" "$2" click 1; done; }

measure() {
  local what="$1" i n t0 t1 us
  local -a c0 best
  sleep 1
  for i in $(seq "$windows"); do
    t0=$(date +%s%N)
    for n in "${!apps[@]}"; do c0[$n]=$(cpu_ns "${apps[$n]}"); done
    sleep "$seconds"
    t1=$(date +%s%N)
    for n in "${!apps[@]}"; do
      # CPU time per 25 ms of wall time: per tick at the timer's rate.
      us=$(( ($(cpu_ns "${apps[$n]}") - c0[n]) * 25000 / (t1 - t0) ))
      echo "  ${names[$n]}: $what: window $i: $us µs a tick"
      if [ -z "${best[$n]:-}" ] || [ "$us" -lt "${best[$n]}" ]; then best[$n]=$us; fi
    done
  done
  for n in "${!apps[@]}"; do
    echo "${names[$n]}: $what: best ${best[$n]} µs of CPU a tick ($windows windows of $seconds s)"
  done
}

if [ "${TICK_ALL:-0}" = 1 ]; then
  for n in "${!builds[@]}"; do
    DISPLAY=${displays[$n]} xdotool mousemove --window "${wins[$n]}" 300 200 click 1
    for key in F2 F3 F8 F11 shift+F9 shift+F3 shift+F5; do
      DISPLAY=${displays[$n]} xdotool windowfocus --sync "${wins[$n]}" key "$key"
      sleep 0.2
    done
    names[$n]="${names[$n]} (every tool on)"
  done
fi
measure "PANO up"
click 32 408   # PANO
measure "sweeping, area"
click 22 462   # Стиль: Линия
measure "sweeping, line"
