#!/usr/bin/env bash
# What the shipped velkarn3.exe is made of: a 64-bit program of the GUI
# subsystem (no console window), importing only DLLs that Windows itself
# provides (no Qt or compiler DLL to ship beside it: each imported DLL must be
# in a fresh Wine prefix's system folder, or be one of Windows's API sets),
# with its version information and icon.
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
  # api-ms-win-* names are API sets, which Windows resolves to its own DLLs.
  case "${d,,}" in api-ms-win-*) continue ;; esac
  [ -n "$(find "$sys" -maxdepth 1 -iname "$d" -print -quit)" ] || fail "imports $d, which Windows does not provide"
done
echo "imports only system DLLs: ${dlls[*]}"
resources="$(x86_64-w64-mingw32-windres -i "$exe" -O rc 2>/dev/null)" || fail "no resources"
grep -q 'Name: "IDI_ICON1"' <<<"$resources" || fail "no icon"
grep -q '^1 VERSIONINFO' <<<"$resources" || fail "no version information"
grep -q 'VALUE "ProductName", "Velkarn3 Pano' <<<"$resources" || fail "no product name in the version information"
grep -q 'requestedExecutionLevel' <<<"$resources" || fail "no manifest"
echo "check-exe: passed ($(stat -c %s "$exe") bytes)"
