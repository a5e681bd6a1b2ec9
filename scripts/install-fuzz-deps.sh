#!/usr/bin/env bash
# Installs what fuzzing needs on top of scripts/install-deps.sh: Debian's
# Clang and its libFuzzer and sanitizer runtimes, and the symbolizer that
# turns a crash's addresses into file names and lines. The normal build and
# the tests do not need any of it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

packages=(clang libclang-rt-14-dev llvm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "All fuzzing packages are installed."
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
