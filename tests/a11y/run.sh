#!/usr/bin/env bash
# Runs COMMAND where a screen reader would meet the program: in an X server
# and a D-Bus session of its own, with the AT-SPI bus running on it. The
# command finds a scratch folder in $VELKARN_A11Y_RUN.
# Usage: run.sh COMMAND [ARGUMENT...]
# Everything it starts is ended when it ends, however it ends.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: run.sh COMMAND [ARGUMENT...]" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/velkarn-a11y.XXXXXX")
# Every process started below carries this mark in its environment, so that
# the clean-up finds exactly those, whichever of them daemonised.
export VELKARN_A11Y_RUN="$work"
xvfb=""
cleanup() {
  local status=$?
  for sig in TERM KILL; do
    for env in /proc/[0-9]*/environ; do
      pid=${env#/proc/}; pid=${pid%/environ}
      [ "$pid" = $$ ] && continue
      if { tr '\0' '\n' <"$env"; } 2>/dev/null | grep -qxF "VELKARN_A11Y_RUN=$work"; then
        kill -s "$sig" "$pid" 2>/dev/null || true
      fi
    done
    [ "$sig" = TERM ] && sleep 0.5
  done
  [ -n "$xvfb" ] && wait "$xvfb" 2>/dev/null || true
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 124' INT TERM

# An X server on a display number nobody uses: Xvfb picks it and reports it.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || { echo "Xvfb did not start:"; cat "$work/xvfb.log"; exit 1; }
  sleep 0.1
done
[ -s "$work/display" ] || { echo "Xvfb reported no display"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime"
# A session bus of its own with the AT-SPI bus started on it, as a desktop
# session starts it; the registry follows on first use.
# Run in the background and waited for, so that a signal to this script
# (CTest's timeout) ends the run at once through the clean-up.
timeout -k 5 100 dbus-run-session -- bash -c '
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null &&
  exec "$@"' run "$@" &
wait $!
