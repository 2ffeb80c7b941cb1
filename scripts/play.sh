#!/usr/bin/env bash
# Installs what is needed, builds the game and starts it from the repository
# root. Arguments go to the game (WIDTH HEIGHT FULLSCREEN_FLAG REFRESH_RATE AMBIENT).
# Without a display it runs under Xvfb, so it can be watched with screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DVESTREL_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target vestrel
if [ -z "${DISPLAY:-}" ]; then
  echo "No display: running the game under Xvfb (virtual screen 1280x1024)."
  exec xvfb-run -a -s "-screen 0 1280x1024x24" build/vestrel "$@"
fi
exec build/vestrel "$@"
