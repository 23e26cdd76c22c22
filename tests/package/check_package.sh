#!/usr/bin/env bash
# Builds the Debian package from the build tree into a scratch folder and
# checks what a user would install: the files, the control fields, the
# maintainer script, the desktop entry and the udev rule.
# Usage: check_package.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
debs=("$work"/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { ls "$work"; echo "FAIL: expected one .deb"; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb")"

# Files: exactly the program, its desktop entry, its icon and the udev rule.
listing=$(dpkg-deb -c "$deb")
files=$(awk '{print $NF}' <<<"$listing" | grep -v '/$' | sort)
expected=$(printf '%s\n' ./usr/bin/velkarn3 \
  ./usr/lib/udev/rules.d/60-velkarn3.rules \
  ./usr/share/applications/velkarn3.desktop \
  ./usr/share/icons/hicolor/scalable/apps/velkarn3.svg | sort)
[ "$files" = "$expected" ] || fail "file list differs:"$'\n'"$(diff <(echo "$expected") <(echo "$files"))"
grep -q '^-rwxr-xr-x root/root .* ./usr/bin/velkarn3$' <<<"$listing" ||
  fail "the program is not an executable owned by root"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = velkarn3-pano ] || fail "Package: $(field Package)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
[[ "$(field Version)" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "Version: $(field Version)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ "$(field Section)" = electronics ] || fail "Section: $(field Section)"
[[ "$(field Description)" == *Velkarn3* ]] || fail "Description: $(field Description | head -1)"
# Depends names the package of every library the program links, as this
# machine's package database names them (libqt6core6 here, libqt6core6t64
# after Debian's 64-bit time_t transition).
depends=$(field Depends)
# One package name a line, alternatives included, versions left out.
depends_names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*//; s/:.*//; s/[[:space:]]//g' | grep -v '^$')
program_built="$build/app/velkarn3"
needed=$(readelf -d "$program_built" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
[ -n "$needed" ] || fail "no NEEDED libraries read off $program_built"
resolved=$(ldd "$program_built")
for soname in $needed; do
  path=$(awk -v so="$soname" '$1 == so && $2 == "=>" { print $3 }' <<<"$resolved")
  [ -n "$path" ] || { fail "$soname does not resolve here"; continue; }
  # On a merged /usr the database may list the file under /lib or /usr/lib.
  owner=""
  for candidate in "$path" "$(readlink -f "$path")" "${path#/usr}" "/usr${path#/usr}"; do
    owner=$(dpkg-query -S "$candidate" 2>/dev/null | head -n 1 | sed 's/[:,].*//') && [ -n "$owner" ] && break
  done
  [ -n "$owner" ] || { fail "no package owns $path ($soname)"; continue; }
  grep -Fqx "$owner" <<<"$depends_names" || fail "Depends lacks $owner (for $soname): $depends"
done

# The satellite naming's transponder plans come from Debian's data set.
grep -Fqx dtv-scan-tables <<<"$depends_names" || fail "Depends lacks dtv-scan-tables: $depends"

# Maintainer script: executable, and it only reloads and replays udev rules.
dpkg-deb -e "$deb" "$work/control"
[ -x "$work/control/postinst" ] || fail "postinst missing or not executable"
sh -n "$work/control/postinst" || fail "postinst is not valid sh"

# Contents: the rule matches the meter and grants the seat's user access;
# the desktop entry names and starts the program.
dpkg-deb -x "$deb" "$work/root"
rule="$work/root/usr/lib/udev/rules.d/60-velkarn3.rules"
grep -v '^#' "$rule" | grep 'ATTR{idVendor}=="16c0"' | grep 'ATTR{idProduct}=="05df"' | grep -q 'TAG+="uaccess"' ||
  fail "udev rule does not grant 16c0:05df to the logged-in user"
desktop="$work/root/usr/share/applications/velkarn3.desktop"
grep -qx 'Exec=velkarn3' "$desktop" || fail "desktop entry does not start velkarn3"
grep -qx 'Icon=velkarn3' "$desktop" || fail "desktop entry has no icon"
grep -q '^Name=.' "$desktop" && grep -q '^Name\[ru\]=.' "$desktop" || fail "desktop entry lacks English or Russian name"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
xmllint --noout "$work/root/usr/share/icons/hicolor/scalable/apps/velkarn3.svg" || fail "icon is not well-formed"
# The installed program is stripped and does not look for its libraries in the build tree.
program="$work/root/usr/bin/velkarn3"
grep -Eq '\.(symtab|debug_info)' <<<"$(readelf -S "$program")" && fail "program is not stripped"
grep -Eq 'R(UN)?PATH' <<<"$(readelf -d "$program")" && fail "installed program keeps a build RPATH"

[ $failures -eq 0 ] && echo "package checks passed" || { echo "$failures package check(s) failed"; exit 1; }
