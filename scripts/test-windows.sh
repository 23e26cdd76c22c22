#!/usr/bin/env bash
# Cross-builds the logic and its meter-free tests for 64-bit Windows and runs
# every test program under Wine in a prefix created anew for this run.
# Usage: test-windows.sh BUILD_DIR JOBS [LINUX_BUILD_DIR]
# With a Linux build dir that has been configured, also prints how many tests
# the Linux build has in the same set (CTest label "logic").
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-windows}"
jobs="${2:-2}"
linux_build="${3:-}"

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$jobs"

wine64="$(sed -n 's/^WINE64_PROGRAM:[A-Z]*=//p' "$build/CMakeCache.txt")"
[ -x "$wine64" ] || { echo "test-windows: wine64 not found" >&2; exit 1; }
wineserver="$(dirname "$wine64")/wineserver"
[ -x "$wineserver" ] || wineserver="$(command -v wineserver || echo wineserver)"

export WINEPREFIX="$(cd "$build" && pwd)/wineprefix"
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
if [ -n "$linux_build" ] && [ -f "$linux_build/CTestTestfile.cmake" ]; then
  echo "The same tests in the Linux build ($linux_build, label logic):" \
    "$(cd "$linux_build" && ctest -N -L logic 2>/dev/null | sed -n 's/^Total Tests: //p')"
fi
cd "$build"
ctest --output-on-failure -j "$jobs"
