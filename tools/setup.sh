#!/usr/bin/env bash
# Installs, when missing, every Debian package the project builds, tests or makes its
# fixtures with. Idempotent and quiet when everything is there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libgtest-dev googletest
  ntfs-3g ntfs-3g-dev sleuthkit libfsntfs-utils fdisk xz-utils
  clang clang-format python3
  libcli11-dev zlib1g-dev forensics-samples-multiple appstream dpkg-dev file man-db
  xvfb xdotool imagemagick zip
  libewf-dev libvhdi-dev libvmdk-dev libqcow-dev qemu-utils ewf-tools
  libvshadow-dev libbfio-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
