#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need.
# Idempotent: installs only what is missing; uses sudo only when not root.
set -euo pipefail

packages=(
  build-essential cmake make pkg-config
  qt6-base-dev qt6-charts-dev libgl-dev
  libusb-dev
  libgtest-dev googletest
  xvfb xauth fonts-dejavu-core fonts-liberation2
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
