#!/usr/bin/env bash
# Installs what Veltrano needs, builds the program (Release) and starts it.
#   scripts/run.sh            the product
#   scripts/run.sh sandbox    the same program against the offline simulator
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTRANO_BUILD_TESTS=OFF
cmake --build build-release -j"$(nproc)"
program=veltrano
[ "${1:-}" = "sandbox" ] && program=veltrano-sandbox
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting $program under Xvfb (xvfb-run)."
  exec xvfb-run -a -s "-screen 0 1400x900x24" "build-release/bin/$program"
fi
exec "build-release/bin/$program"
