#!/usr/bin/env bash
# Cross-builds the logic and its meter-free tests for 64-bit Windows and runs
# every test program under Wine in a prefix created anew for this run.
# Usage: test-windows.sh BUILD_DIR JOBS
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-windows}"
jobs="${2:-2}"

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$jobs"

wine64="$(sed -n 's/^WINE64_PROGRAM:[A-Z]*=//p' "$build/CMakeCache.txt")"
[ -x "$wine64" ] || { echo "test-windows: wine64 not found" >&2; exit 1; }
wineserver="$(dirname "$wine64")/wineserver"
[ -x "$wineserver" ] || wineserver="$(command -v wineserver)"

export WINEPREFIX="$PWD/$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="  # no Mono or Gecko installer in the prefix
# Wine stores Windows file names on Linux in the locale's character set: in
# the C locale, names outside ASCII (which the tests use) cannot be created.
export LC_ALL=C.UTF-8
rm -rf "$WINEPREFIX"
# This run's Wine server (and only it) is ended however the run ends.
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
echo "Creating a fresh Wine prefix in $WINEPREFIX"
"$wine64" wineboot --init >/dev/null 2>&1 || true
cd "$build"
ctest --output-on-failure -j "$jobs"
