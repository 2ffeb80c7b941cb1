#!/usr/bin/env bash
# Installs what is needed, builds the game and starts it from the repository
# root. Arguments go to the game (WIDTH HEIGHT FULLSCREEN_FLAG REFRESH_RATE AMBIENT).
#
# Without a display the game runs under Xvfb replaying the bundled demo
# demos/win.dem (the whole puzzle, won at the sink), prints its console and
# leaves screenshots in a folder it names (every 300 steps and the last
# picture). VESTREL_REPLAY,
# VESTREL_SCREENSHOT_DIR and VESTREL_SCREENSHOT_STEPS, when set, are used as
# they are (README, "Recording and replaying"). VESTREL_BUILD_DIR picks the
# build folder (default build/).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build="$(realpath -m "${VESTREL_BUILD_DIR:-build}")"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVESTREL_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target vestrel
if [ -n "${DISPLAY:-}" ]; then
  exec "$build/vestrel" "$@"
fi

demo="${VESTREL_REPLAY:-demos/win.dem}"
if [ ! -f "$demo" ]; then
  echo "No display, and no demo to replay at $demo."
  exit 1
fi
screens="${VESTREL_SCREENSHOT_DIR:-$build/screenshots}"
mkdir -p "$screens"
echo "No display: replaying $demo under Xvfb (virtual screen 1280x1024); screenshots go to $screens"
# Every 300 steps, and one just before the end: the game-over screen.
steps="${VESTREL_SCREENSHOT_STEPS:-}"
if [ -z "$steps" ]; then
  total=$(awk '$1 == "end" { print $4 }' "$demo")
  steps="every:300"
  if [[ "$total" =~ ^[0-9]+$ ]] && [ "$total" -gt 1 ]; then
    steps="$( (seq 300 300 "$((total - 1))"; echo "$((total - 1))") | paste -sd,)"
  fi
fi
status=0
VESTREL_REPLAY="$demo" VESTREL_SCREENSHOT_DIR="$screens" VESTREL_SCREENSHOT_STEPS="$steps" \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/vestrel" "$@" || status=$?
echo "Screenshots in $screens:"
ls "$screens"
exit "$status"
