#!/usr/bin/env bash
# Runs every fuzz harness of a build for a bounded time on its seeds.
# Usage: run.sh BUILD_DIR SECONDS
# New inputs go to BUILD_DIR/corpus/<harness>/ (the seeds in fuzz/corpus/ are
# only read), crashes to BUILD_DIR/artifacts/. Prints each harness' final
# figures; fails when any harness found a fault.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "$1" && pwd)"
seconds="$2"
mkdir -p "$build/artifacts"

failed=()
summary=()
for bin in "$build"/fuzz/fuzz_*; do
  [ -x "$bin" ] || continue
  name="$(basename "$bin")"
  seeds="$here/corpus/${name#fuzz_}"
  work="$build/corpus/${name#fuzz_}"
  mkdir -p "$work"
  log="$build/$name.log"
  echo "== $name: ${seconds}s"
  "$bin" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
         -artifact_prefix="$build/artifacts/$name-" "$work" "$seeds" >"$log" 2>&1
  rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
  line="$name: ${execs:-?} executions in ${seconds}s (${speed:-?}/s), ${cov:-cov: ?}, corpus $(ls "$work" | wc -l) files"
  summary+=("$line")
  if [ $rc -ne 0 ]; then
    failed+=("$name")
    echo "$name FAILED (exit $rc); its log:"
    tail -n 60 "$log"
  fi
done

echo "== fuzz summary"
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: faults found by ${failed[*]} (inputs in $build/artifacts/)"
  exit 1
fi
