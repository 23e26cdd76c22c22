#!/usr/bin/env bash
# The installer under Wine: a silent install puts the program under Program
# Files with its two Start-menu shortcuts, its uninstaller and its entry in
# the list of installed programs; a silent uninstall takes all of it away
# again. Wine's prefix and loader come from the environment (WINEPREFIX,
# WINE64), as test-windows.sh sets them.
# Usage: check-installer.sh SETUP.exe SHIPPED.exe
set -euo pipefail
setup="$1"
shipped="$2"
wine64="${WINE64:?WINE64 must name the Wine loader}"
: "${WINEPREFIX:?}"
fail() { echo "check-installer: $*" >&2; exit 1; }

dir="$WINEPREFIX/drive_c/Program Files/Velkarn3 Pano"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velkarn3Pano'
files=("$dir/velkarn3.exe" "$dir/uninstall.exe" "$menu/Velkarn3 Pano.lnk" "$menu/Velkarn3 Панорама.lnk")

echo "installer: $(basename "$setup"), $(stat -c %s "$setup") bytes"
"$wine64" "$setup" /S || fail "the silent install failed"
for f in "${files[@]}"; do [ -f "$f" ] || fail "not installed: ${f#"$WINEPREFIX/"}"; done
cmp -s "$shipped" "$dir/velkarn3.exe" || fail "the installed program is not the shipped one"
ls "$dir" | sort | tr '\n' ' ' | sed 's/^/installed: /; s/ $/\n/'
entry="$("$wine64" reg query "$key" 2>/dev/null | tr -d '\r')" || fail "no entry among the installed programs"
grep -q 'DisplayName *REG_SZ *Velkarn3 Pano$' <<<"$entry" || fail "the entry has no DisplayName"
grep -q 'UninstallString *REG_SZ *"C:\\Program Files\\Velkarn3 Pano\\uninstall.exe"$' <<<"$entry" \
  || fail "the entry does not name the uninstaller"

# The uninstaller copies itself away and runs from there: wait for its work.
"$wine64" "C:\\Program Files\\Velkarn3 Pano\\uninstall.exe" /S || fail "the silent uninstall failed"
for _ in $(seq 240); do [ -e "$dir" ] || [ -e "${files[2]}" ] || break; sleep 0.25; done
for f in "${files[@]}"; do [ ! -e "$f" ] || fail "left after uninstalling: ${f#"$WINEPREFIX/"}"; done
[ ! -e "$dir" ] || fail "the program's folder is left after uninstalling"
! "$wine64" reg query "$key" >/dev/null 2>&1 || fail "the entry is left after uninstalling"
echo "check-installer: passed"
