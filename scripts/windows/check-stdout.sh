#!/usr/bin/env bash
# The firmware upload's progress reaches standard output when it is
# redirected, although the program is of the GUI subsystem (no console):
# upload_stdout_probe.exe, linked as velkarn3.exe is, uploads echo_m328p.hex
# (0..316, three 128-byte blocks) to the simulated meter with its standard
# output redirected to a file, which must hold exactly the progress lines.
# Usage: check-stdout.sh PROBE.exe HEX   (WINE64, WINEPREFIX as for the others)
set -euo pipefail
probe="$1"
hex="$2"
wine64="${WINE64:?WINE64 must name the Wine loader}"
fail() { echo "check-stdout: $*" >&2; exit 1; }
out="$(mktemp)"
trap 'rm -f "$out"' EXIT

headers="$(x86_64-w64-mingw32-objdump -p "$probe")"
grep -q '^Subsystem[[:space:]]*00000002' <<<"$headers" || fail "the probe is not of the GUI subsystem"
winhex="Z:$(readlink -f "$hex" | tr / '\\')"
(cd "$(dirname "$probe")" && "$wine64" "$(basename "$probe")" "$winhex" >"$out") || fail "the upload did not go through"
# Standard output is a text stream on Windows: its line feed reaches the file
# as CR LF, as every Windows program's printf writes it.
expected="$(printf 'Uploading 384 (0x180) bytes starting at 0 (0x0)\r\n\r0x00000 ... 0x00080\r0x00080 ... 0x00100\r0x00100 ... 0x00180' | od -An -c)"
got="$(od -An -c "$out")"
[ "$got" = "$expected" ] || { od -c "$out" | head >&2; fail "the redirected standard output is not the upload's progress"; }
echo "check-stdout: passed ($(stat -c %s "$out") bytes of progress, byte for byte)"
