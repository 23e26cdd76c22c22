#!/usr/bin/env bash
# Runs COMMAND against a PulseAudio server of its own: a private runtime
# folder, one null sink "aim" (whose monitor the command records) as the
# default output, reached through $PULSE_SERVER. The server is ended when
# the command ends, however it ends.
# Usage: run.sh COMMAND [ARGUMENT...]
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: run.sh COMMAND [ARGUMENT...]" >&2; exit 2; }
command -v pulseaudio >/dev/null && command -v parec >/dev/null ||
  { echo "pulseaudio and parec are needed (scripts/packages/audio.txt)"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/velkarn-audio.XXXXXX")
chmod 700 "$work"
server=""
cleanup() {
  local status=$?
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 124' INT TERM

# A private home and runtime folder: nothing of a user's sound set-up is
# read or touched, and a server running as root is content there (-n: no
# default configuration; no D-Bus, no autospawned second server).
export HOME="$work" XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work/config"
export PULSE_SERVER="unix:$work/pulse.sock"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
  --log-target=file:"$work/pulse.log" \
  -L "module-null-sink sink_name=aim rate=48000 channels=1" \
  -L "module-native-protocol-unix socket=$work/pulse.sock auth-anonymous=1" \
  -L "module-always-sink" &
server=$!
for _ in $(seq 100); do
  pactl info >/dev/null 2>&1 && break
  kill -0 "$server" 2>/dev/null || { echo "pulseaudio did not start:"; cat "$work/pulse.log"; exit 1; }
  sleep 0.1
done
pactl info >/dev/null 2>&1 || { echo "pulseaudio does not answer:"; cat "$work/pulse.log"; exit 1; }
pactl set-default-sink aim
"$@"
