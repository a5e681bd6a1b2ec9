#!/usr/bin/env bash
# Installs what Veltrano needs, builds every test (Debug, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs them all headless.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELTRANO_SANITIZE=ON -DVELTRANO_BUILD_TESTS=ON
cmake --build build-test -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build-test --output-on-failure -j"$(nproc)"
