#!/usr/bin/env bash
# What the shipped velkarn3.exe is made of: a 64-bit program of the GUI
# subsystem (no console window), importing only DLLs that Windows itself
# provides (no Qt or compiler DLL to ship beside it: each imported DLL must be
# in a fresh Wine prefix's system folder), with its version information and
# icon.
# Usage: check-exe.sh PROGRAM.exe   (WINEPREFIX: a prefix made by wineboot)
set -euo pipefail
exe="$1"
: "${WINEPREFIX:?}"
objdump=x86_64-w64-mingw32-objdump
fail() { echo "check-exe: $*" >&2; exit 1; }

headers="$($objdump -p "$exe")"
grep -q '^Magic[[:space:]]*020b' <<<"$headers" || fail "not a 64-bit program"
grep -q '^Subsystem[[:space:]]*00000002' <<<"$headers" || fail "not of the GUI subsystem"
mapfile -t dlls < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | sort -fu)
[ ${#dlls[@]} -gt 0 ] || fail "no imports found"
sys="$WINEPREFIX/drive_c/windows/system32"
for d in "${dlls[@]}"; do
  [ -n "$(find "$sys" -maxdepth 1 -iname "$d" -print -quit)" ] || fail "imports $d, which Windows does not provide"
done
echo "imports only system DLLs: ${dlls[*]}"
strings -el "$exe" | grep -qx 'VS_VERSION_INFO' || fail "no version information"
strings -el "$exe" | grep -qx 'Velkarn3 Pano' || fail "no product name in the version information"
strings -el "$exe" | grep -qx 'IDI_ICON1' || fail "no icon"
echo "check-exe: passed ($(stat -c %s "$exe") bytes)"
