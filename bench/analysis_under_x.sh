#!/usr/bin/env bash
# The analysis window as a user's machine pays for it: the whole program
# (bench_analysis: the main window sweeping in PANO against the simulated
# meter, then with the analysis window open and recording) under Xvfb (the xcb
# platform, MIT-SHM and all), its CPU time taken from the kernel's per-thread
# accounting (/proc/PID/task/*/schedstat, every thread), per 25 ms tick.
#
# Beside it, each on an X server of its own and measured in the same windows
# (on a virtual machine whose speed drifts from one minute to the next, only
# figures taken together compare), run the first build's two floors of
# bench_repaint: the main window's (a bare Qt window that moves a line over
# the plot every 25 ms and repaints its band) and the waterfall's (a bare Qt
# window of the analysis window's waterfall size that every 25 ms moves its
# picture down a line in memory and repaints the whole plot: the plain way to
# scroll it). Given several build folders, it runs the program of each side by
# side in the same way.
#
# Measures while the main window alone sweeps, then while the analysis window
# is open and recording; each as WINDOWS windows of SECONDS seconds, printing
# every window, the best, and each program's CPU over the main window's
# floor. Beside each figure, the CPU of the process's X server, which copies
# what the process flushes. The sweeps a second are bench_analysis's own
# count over each of its runs, which span the windows.
# Usage: analysis_under_x.sh BUILD_DIR [BUILD_DIR...]   (make bench builds what it runs)
# Environment: TICK_SECONDS (12), TICK_WINDOWS (3).
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: analysis_under_x.sh BUILD_DIR [BUILD_DIR...]" >&2; exit 2; }
seconds="${TICK_SECONDS:-12}"
windows="${TICK_WINDOWS:-3}"
. "$(dirname "$0")/under_x_lib.sh"
builds=()
for b in "$@"; do
  build="$(cd "$b" && pwd)"
  for p in bench_analysis bench_repaint; do
    [ -x "$build/bench/$p" ] || { echo "analysis_under_x: $build/bench/$p is not built (make bench builds it)" >&2; exit 1; }
  done
  builds+=("$build")
done

under_x_setup analysis_under_x velkarn-analysis

# Starts process number $1 on an X server of its own: the command after it,
# its output in $work/$1.log. Adds both to those measured.
apps=() servers=() displays=() names=()
start() {
  local n="$1" display server
  shift
  x_server "$n" 1600x1024 "$work/xvfb$n.log"
  servers[$n]=$server
  mkdir -m 700 "$work/xdg$n" "$work/tmp$n"
  # A temporary folder each: bench_analysis records to a file in it.
  DISPLAY=$display QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/xdg$n" TMPDIR="$work/tmp$n" \
    "$@" >"$work/$n.log" 2>&1 &
  pids+=($!)
  apps[$n]=$!
  displays[$n]=$display
}

# Waits until a window whose name matches $2 shows for process number $1;
# sets $window to it.
window=""
await() {
  window=$(DISPLAY=${displays[$1]} timeout 120 xdotool search --sync --onlyvisible --name "$2" | head -1)
  [ -n "$window" ] ||
    { echo "analysis_under_x: no window '$2' came up for ${names[$1]}" >&2; cat "$work/$1.log" >&2; exit 1; }
}

start 0 "${builds[0]}/bench/bench_repaint" 0
names[0]="main window's floor (bench_repaint)"
await 0 '^Velkarn3 repaint floor$'
start 1 "${builds[0]}/bench/bench_repaint" --waterfall 0
names[1]="waterfall's floor (bench_repaint --waterfall)"
await 1 '^Velkarn3 waterfall floor$'
# Each of a program's two runs spans the measuring windows, with room for
# the wait before them and for the programs' starts to differ.
run=$((windows * seconds + 8))
programs=()
for b in "${builds[@]}"; do
  n=${#names[@]}
  start "$n" "$b/bench/bench_analysis" "$run"
  names[$n]="program of $b (bench_analysis)"
  programs+=("$n")
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf (b > 0 ? "%.2f\n" : "-\n"), a / b}'; }

# Each window's CPU per 25 ms of wall time (per tick at the timers' rate) of
# every process and of its X server.
measure() {
  local what="$1" i n p t0 t1 us xus
  local -a c0 x0 best xbest now
  sleep 1
  for i in $(seq "$windows"); do
    t0=$(date +%s%N)
    for n in "${!apps[@]}"; do c0[$n]=$(cpu_ns "${apps[$n]}"); x0[$n]=$(cpu_ns "${servers[$n]}"); done
    sleep "$seconds"
    t1=$(date +%s%N)
    for n in "${!apps[@]}"; do
      us=$(( ($(cpu_ns "${apps[$n]}") - c0[n]) * 25000 / (t1 - t0) ))
      xus=$(( ($(cpu_ns "${servers[$n]}") - x0[n]) * 25000 / (t1 - t0) ))
      now[$n]=$us
      echo "  ${names[$n]}: $what: window $i: $us µs a tick (its X server $xus µs)"
      if [ -z "${best[$n]:-}" ] || [ "$us" -lt "${best[$n]}" ]; then best[$n]=$us xbest[$n]=$xus; fi
    done
    for p in "${programs[@]}"; do
      echo "  ${names[$p]}: $what: window $i: $(ratio "${now[$p]}" "${now[0]}") × the main window's floor"
    done
  done
  for n in "${!apps[@]}"; do
    echo "${names[$n]}: $what: best ${best[$n]} µs of CPU a tick (its X server ${xbest[$n]} µs; $windows windows of $seconds s)"
  done
  for p in "${programs[@]}"; do
    echo "${names[$p]}: $what: best to best, $(ratio "${best[$p]}" "${best[0]}") × the main window's floor"
  done
}

# With no window manager, the windows open where they ask to: the main
# window in the middle of the screen, the analysis window at its top left,
# over part of it, and the X server then draws only what shows. The main
# window moved to the right, the two stand side by side, as a user would
# have them, and both show whole.
for p in "${programs[@]}"; do
  await "$p" '^Velkarn3 Pano 01$'
  DISPLAY=${displays[$p]} xdotool windowmove "$window" 800 0
done
measure "main window only"
for p in "${programs[@]}"; do await "$p" '^Velkarn3 — Анализ$'; done
measure "analysis window open and recording"
for p in "${programs[@]}"; do
  wait "${apps[$p]}" || { echo "analysis_under_x: bench_analysis failed" >&2; cat "$work/$p.log" >&2; exit 1; }
  echo "${names[$p]}: its own figures over each of its runs (a tick is a sweep):"
  grep -E '^whole program|^  recording' "$work/$p.log"
done
