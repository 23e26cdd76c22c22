#!/usr/bin/env bash
# The whole program for 64-bit Windows (make windows): static Qt for
# MinGW-w64 (built once per machine by build-qt-windows.sh), then the
# program, the simulated libusb0.dll, the tests and the installer, cross-built
# into BUILD_DIR.
# Usage: build-windows.sh BUILD_DIR JOBS
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-windows}"
jobs="${2:-2}"

qt="$(bash scripts/build-qt-windows.sh "$jobs")"  # its progress goes to standard error
[ -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ] || { echo "build-windows: no Qt in $qt" >&2; exit 1; }

# Qt's toolchain file points the packages at the Windows Qt and the host
# tools at the host Qt; it loads this tree's MinGW-w64 toolchain, not the
# one of the clone that built Qt.
cmake -S . -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DVELKARN_LOGIC_ONLY=OFF >/dev/null
cmake --build "$build" -j "$jobs"
