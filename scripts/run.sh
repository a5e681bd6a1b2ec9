#!/usr/bin/env bash
# Installs what Veltrano needs, builds the programs (Release) and starts one.
#   scripts/run.sh                     the product
#   scripts/run.sh sandbox             the same program against the offline simulator
#   scripts/run.sh cli [ARGS...]       the command line, veltrano-cli (no display needed)
#   scripts/run.sh cli-sandbox [ARGS...]  the command line against the simulator
# Every program is built into build-release/bin/ beside the others.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTRANO_BUILD_TESTS=OFF
cmake --build build-release -j"$(nproc)"
case "${1:-}" in
  cli) shift; exec build-release/bin/veltrano-cli "$@" ;;
  cli-sandbox) shift; exec build-release/bin/veltrano-cli-sandbox "$@" ;;
esac
program=veltrano
[ "${1:-}" = "sandbox" ] && program=veltrano-sandbox
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting $program under Xvfb (xvfb-run)."
  exec xvfb-run -a -s "-screen 0 1400x900x24" "build-release/bin/$program"
fi
exec "build-release/bin/$program"
