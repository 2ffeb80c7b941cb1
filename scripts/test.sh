#!/usr/bin/env bash
# Installs what is needed, builds with AddressSanitizer + UndefinedBehaviorSanitizer
# and runs every test (unit, GL, physics, audio, asset and end-to-end), then
# builds without sanitizers (Release, in BUILD-release) and runs the test
# programs again: some faults show in one of the two builds only.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --tests
build="${VESTREL_TEST_BUILD:-build-test}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESTREL_SANITIZE=ON -DVESTREL_TESTS=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure --no-tests=error -j"$(nproc)"
release="$build-release"
cmake -S . -B "$release" -DCMAKE_BUILD_TYPE=Release -DVESTREL_SANITIZE=OFF -DVESTREL_TESTS=ON \
  -DVESTREL_BENCHMARKS=OFF >/dev/null
cmake --build "$release" -j"$(nproc)"
ctest --test-dir "$release" --output-on-failure --no-tests=error -j"$(nproc)" -R '_tests$'
