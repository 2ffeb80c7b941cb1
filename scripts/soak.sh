#!/usr/bin/env bash
# The full soak: 30 minutes of game time of random input with 20 restarts,
# run as fast as the machine goes, under AddressSanitizer + UBSan. Passes
# with no sanitizer report, no GL error, every restart done and resident
# memory growing less than 5 % between the 5th minute and the end. Extra
# arguments go to the soak program (e.g. --minutes 60 --restarts 40 --seed 7).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build="${VESTREL_TEST_BUILD:-build-test}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESTREL_SANITIZE=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target soak
exec tests/support/with_display.sh "$build/soak" --minutes 30 --restarts 20 "$@"
