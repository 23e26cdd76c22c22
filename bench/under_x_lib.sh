# What the scripts measuring programs under Xvfb share; sourced, not run.

# under_x_setup NAME PREFIX: checks the tools, makes the folder $work, and at
# exit stops every process in $pids and removes the folder.
under_x_setup() {
  local tool
  for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "$1: $tool is needed (scripts/packages/base.txt)" >&2; exit 1; }
  done
  work="$(mktemp -d "${TMPDIR:-/tmp}/$2.XXXXXX")"
  pids=()
  trap under_x_cleanup EXIT
}
under_x_cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}

# x_server N SIZE LOG: an X server of its own at a display chosen for process
# number N, SIZE (e.g. 1280x1024) its screen, waited for until it answers;
# sets $display and $server.
x_server() {
  display=:$((90 + RANDOM % 100 + 200 * $1))
  Xvfb "$display" -screen 0 "$2x24" -nolisten tcp >"$3" 2>&1 &
  server=$!
  pids+=("$server")
  for _ in $(seq 50); do DISPLAY=$display xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
}

# CPU nanoseconds of every thread the process has now (printed as %.0f: mawk's
# %d stops at 2^31 ns, a process's first 2.1 s).
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%.0f\n", s}'; }
