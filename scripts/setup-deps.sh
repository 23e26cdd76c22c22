#!/usr/bin/env bash
# Installs the Debian packages that a make target needs.
# Usage: setup-deps.sh [GROUP...]   (default: base)
# Each group is a list in scripts/packages/GROUP.txt ('#' starts a comment).
# Idempotent: installs only what is missing; uses sudo only when not root;
# waits for another apt run to finish instead of failing on its lock.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

groups=("$@")
[ ${#groups[@]} -eq 0 ] && groups=(base)

packages=()
for g in "${groups[@]}"; do
  list="$here/packages/$g.txt"
  [ -f "$list" ] || { echo "setup-deps: no package group '$g'" >&2; exit 2; }
  read -r -a words <<<"$(sed 's/#.*//' "$list" | tr '\n' ' ')"
  packages+=("${words[@]}")
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
command -v apt-get >/dev/null || { echo "setup-deps: apt-get not found: install these packages by hand" >&2; exit 1; }
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "setup-deps: installing packages needs root: run this as root or install sudo" >&2; exit 1; }
  SUDO="sudo"
fi
# Through env, since sudo drops the caller's environment: no debconf question stops the run.
apt_get() { $SUDO env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 "$@"; }
apt_get update -qq
apt_get install -y -qq --no-install-recommends "${missing[@]}"
