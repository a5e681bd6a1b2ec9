#!/usr/bin/env bash
# Installs what fuzzing needs on top of scripts/install-deps.sh: Debian's
# Clang and its libFuzzer and sanitizer runtimes, and the symbolizer that
# turns a crash's addresses into file names and lines. The normal build and
# the tests do not need any of it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

packages=(clang libclang-rt-14-dev llvm)

source scripts/lib/apt-packages.sh
install_missing_packages "${packages[@]}"
