#!/usr/bin/env bash
# Installs the Debian 12 packages Velnor needs to build, test and run.
# Does nothing when they are all present; uses sudo when not root.
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins
  librtmidi-dev libjack-jackd2-dev
  libgtest-dev libgmock-dev
  xvfb xauth xdotool x11-apps netpbm fonts-dejavu-core
  jackd2
  pipewire pipewire-bin pipewire-jack
  g++-mingw-w64-x86-64-posix googletest wine64 zip unzip ninja-build
  dpkg-dev file desktop-file-utils appstream
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
