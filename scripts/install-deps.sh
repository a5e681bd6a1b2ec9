#!/usr/bin/env bash
# Installs every Debian 12 package Veltrano needs to build, test and run.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-charts-dev libqt6opengl6-dev qt6-qpa-plugins libgl-dev libxkbcommon-dev
  libcurl4-openssl-dev libssl-dev openssl ca-certificates zlib1g-dev
  nlohmann-json3-dev libpugixml-dev libcpp-httplib-dev libicu-dev
  libbenchmark-dev
  xvfb xauth x11-apps imagemagick fonts-dejavu-core
)

source "$(dirname "${BASH_SOURCE[0]}")/lib/apt-packages.sh"
install_missing_packages "${packages[@]}"
