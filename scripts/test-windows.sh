#!/usr/bin/env bash
# make test-windows: the whole program cross-built for 64-bit Windows
# (build-windows.sh) and proven under Wine, in a prefix created anew for this
# run inside the build folder: every test program (logic, simulated meter,
# window, fault soak, and the link without libusb0.dll), the shipped
# velkarn3.exe against the simulated meter on an X server of its own, and
# the installer. Ends with the count of the cross-built tests beside the
# Linux build's count of the same tests.
# Usage: test-windows.sh BUILD_DIR JOBS [LINUX_BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-windows}"
jobs="${2:-2}"
linux_build="${3:-}"
start=$(date +%s)

bash scripts/build-windows.sh "$build" "$jobs"
built=$(date +%s)

wine64="$(sed -n 's/^WINE64_PROGRAM:[A-Z]*=//p' "$build/CMakeCache.txt")"
[ -x "$wine64" ] || { echo "test-windows: wine64 not found" >&2; exit 1; }
wineserver="$(dirname "$wine64")/wineserver"
[ -x "$wineserver" ] || wineserver="$(command -v wineserver || echo wineserver)"

export WINE64="$wine64"
export WINEPREFIX="$(cd "$build" && pwd)/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="  # no Mono or Gecko installer in the prefix
# Wine stores Windows file names on Linux in the locale's character set: in
# the C locale, names outside ASCII (which the tests use) cannot be created.
export LC_ALL=C.UTF-8
rm -rf "$WINEPREFIX"
# An X server of this run's own (first free display number) for the shipped
# program: Wine's desktop takes the display of the prefix's first process.
xdisplay="$(mktemp)"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$xdisplay" 2>/dev/null &
xvfb=$!
# This run's Wine server and X server (and only they) end however the run ends.
trap '"$wineserver" -k >/dev/null 2>&1 || true; kill "$xvfb" 2>/dev/null || true; rm -f "$xdisplay"' EXIT
for _ in $(seq 100); do [ -s "$xdisplay" ] && break; sleep 0.1; done
[ -s "$xdisplay" ] || { echo "test-windows: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$xdisplay")"
echo "Creating a fresh Wine prefix in $WINEPREFIX (display $DISPLAY)"
# The Wine server stays up for the whole run, started before the prefix is
# filled. Left to itself it exits a few seconds after its last process and
# the next test starts it anew with all its services; a test started while it
# is going down can fail at once or hang for a minute.
mkdir -p "$WINEPREFIX"
"$wineserver" -p
"$wine64" wineboot --init >/dev/null 2>&1 || true

cd "$build"
status=0
ctest --output-on-failure -j "$jobs" -LE '^windows$' || status=$?
# The checks of the shipped program, with what they saw.
echo
ctest --output-on-failure -L '^windows$' -V \
  | sed -n '/^[0-9]*: \(Test command\|Working Directory\|Environment variables\|Test timeout\|Running main\| [A-Z0-9_]*=\)/d
            s/^[0-9]*: //p; /tests passed/p; /^The following tests FAILED/,$p' \
  || status=1  # pipefail: a failed check fails the pipeline
cd - >/dev/null

same='^(logic|meter|gui)$'
count() { (cd "$1" && ctest -N -L "$same" 2>/dev/null | sed -n 's/^Total Tests: //p'); }
echo
echo "Cross-built tests under Wine (labels logic, meter, gui): $(count "$build")"
if [ -n "$linux_build" ] && [ -f "$linux_build/CTestTestfile.cmake" ]; then
  echo "The same tests in the Linux build ($linux_build): $(count "$linux_build")"
fi
echo "Windows-only checks (label windows): $(cd "$build" && ctest -N -L '^windows$' | sed -n 's/^Total Tests: //p')"
for f in "$build/bin/velkarn3.exe" "$build/installer/velkarn3.exe" "$build"/velkarn3-pano-*-setup.exe; do
  [ -f "$f" ] && echo "size of ${f#"$build/"}: $(stat -c %s "$f") bytes"
done
echo "test-windows: build $((built - start)) s, Wine run $(($(date +%s) - built)) s"
exit "$status"
