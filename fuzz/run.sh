#!/usr/bin/env bash
# Runs every fuzz harness of a build for a bounded time on its seeds, JOBS
# harnesses at a time (one a core: each harness is a single process).
# Usage: run.sh BUILD_DIR SECONDS [JOBS]
# New inputs go to BUILD_DIR/corpus/<harness>/ (the seeds in fuzz/corpus/ are
# only read), crashes to BUILD_DIR/artifacts/. Prints each harness' final
# figures; fails when any harness found a fault.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "$1" && pwd)"
seconds="$2"
jobs="${3:-1}"
mkdir -p "$build/artifacts"
# AddressSanitizer as it suits one short input after another: a quarantine
# of 32 MB still holds what thousands of inputs freed (an input frees a few
# kilobytes), where the default 256 MB keeps taking fresh pages from the
# system; and new blocks are not filled with a pattern, which only costs
# time. Reports are as full as ever.
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=32:max_malloc_fill_size=0}"

# The longest input each harness is given. An input's time grows with its
# length, and past a few records of its format a longer one reaches no new
# path: 1 KiB holds a HEX record of the longest kind and ten ordinary ones,
# a recording's header, a change of parameters and six sweeps, or a settings
# file's block and a dozen short edits. A scan file's and satellites.xml's
# seeds are longer than that, and their elements nest, so they get 2 KiB.
# libFuzzer's own default is 4 KiB.
max_len() {
  case "$1" in
    fuzz_scan_file | fuzz_satellites_xml) echo 2048 ;;
    *) echo 1024 ;;
  esac
}

# One harness: its log in BUILD_DIR/<harness>.log, its exit code beside it.
run_one() {
  local bin="$1" name work seeds rc
  name="$(basename "$bin")"
  seeds="$here/corpus/${name#fuzz_}"
  work="$build/corpus/${name#fuzz_}"
  mkdir -p "$work"
  "$bin" -max_total_time="$seconds" -max_len="$(max_len "$name")" -print_final_stats=1 -timeout=10 \
         -artifact_prefix="$build/artifacts/$name-" "$work" "$seeds" >"$build/$name.log" 2>&1
  rc=$?
  echo "$rc" >"$build/$name.rc"
}

names=()
for bin in "$build"/fuzz/fuzz_*; do
  [ -x "$bin" ] || continue
  name="$(basename "$bin")"
  names+=("$name")
  rm -f "$build/$name.rc"
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
  echo "== $name: ${seconds}s, inputs up to $(max_len "$name") bytes"
  run_one "$bin" &
done
wait

failed=()
summary=()
for name in "${names[@]}"; do
  log="$build/$name.log"
  rc="$(cat "$build/$name.rc" 2>/dev/null || echo '?')"
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
  summary+=("$name: ${execs:-?} executions in ${seconds}s (${speed:-?}/s), ${cov:-cov: ?}, corpus $(ls "$build/corpus/${name#fuzz_}" | wc -l) files")
  if [ "$rc" != 0 ]; then
    failed+=("$name")
    echo "$name FAILED (exit $rc); its log:"
    tail -n 60 "$log"
  fi
done

echo "== fuzz summary ($jobs at a time)"
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: faults found by ${failed[*]} (inputs in $build/artifacts/)"
  exit 1
fi
