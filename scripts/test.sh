#!/usr/bin/env bash
# Installs what is needed, builds with AddressSanitizer + UndefinedBehaviorSanitizer
# and runs every test (unit, GL, physics, audio, asset and end-to-end).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --tests
build="${VESTREL_TEST_BUILD:-build-test}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESTREL_SANITIZE=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
