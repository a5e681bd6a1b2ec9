#!/usr/bin/env bash
# Installs every Debian 12 package Veltrano needs to build, test and run.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-charts-dev libqt6opengl6-dev qt6-qpa-plugins libgl-dev libxkbcommon-dev
  libcurl4-openssl-dev libssl-dev openssl ca-certificates
  nlohmann-json3-dev libpugixml-dev libcpp-httplib-dev
  libbenchmark-dev
  xvfb xauth x11-apps imagemagick fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "All build packages are installed."
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
