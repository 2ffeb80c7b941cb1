#!/usr/bin/env bash
# Replays a demo as fast as the machine allows in the real game and prints
# its timings (docs/performance.md, "Timedemo"):
#
#   scripts/timedemo.sh [WIDTH HEIGHT [DEMO]]
#
# Defaults: 1280 720 demos/win.dem. Builds the Release game in build-rel
# unless VESTREL_BINARY names a binary to time. Without a display that answers it starts its own Xvfb (so
# the GL renderer is Mesa's llvmpipe); with DISPLAY set it uses that display.
# Writes the per-frame CSV and a plot of it to VESTREL_TIMEDEMO_OUT
# (default build-rel/timedemo/). Exits with the replay's status.
set -euo pipefail
cd "$(dirname "$0")/.."
# Libraries to preload into the game only (the tests give a sanitizer
# build Mesa's driver this way, so that leak suppressions match it).
game_preload="${VESTREL_TIMEDEMO_PRELOAD:-}"
width="${1:-1280}"
height="${2:-720}"
demo="${3:-demos/win.dem}"
binary="${VESTREL_BINARY:-}"
if [ -z "$binary" ]; then
  scripts/setup.sh
  cmake -S . -B build-rel -DCMAKE_BUILD_TYPE=Release -DVESTREL_TESTS=OFF -DVESTREL_BENCHMARKS=OFF \
    -DVESTREL_TOOLS=OFF >/dev/null
  cmake --build build-rel -j"$(nproc)" --target vestrel >/dev/null
  binary=build-rel/vestrel
fi
out="${VESTREL_TIMEDEMO_OUT:-build-rel/timedemo}"
mkdir -p "$out"
csv="$out/frames.csv"

xvfb_pid=""
cleanup() { if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi; }
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  # A private Xvfb at least as large as the window; it picks a free display.
  screen_w=$(( width > 1280 ? width : 1280 ))
  screen_h=$(( height > 1024 ? height : 1024 ))
  numberfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${screen_w}x${screen_h}x24" -nolisten tcp -noreset 3>"$numberfile" \
    >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 200); do
    [ -s "$numberfile" ] && break
    sleep 0.05
  done
  if [ ! -s "$numberfile" ]; then
    echo "timedemo.sh: Xvfb did not start" >&2
    rm -f "$numberfile"
    exit 1
  fi
  export DISPLAY=":$(tr -d '[:space:]' <"$numberfile")"
  rm -f "$numberfile"
  export LIBGL_ALWAYS_SOFTWARE=1
fi
export ALSOFT_DRIVERS="${ALSOFT_DRIVERS:-null}"

echo "Timedemo: $demo at ${width} x ${height}, $binary, load average $(cut -d' ' -f1-3 /proc/loadavg)"
status=0
run=(env VESTREL_REPLAY="$demo" VESTREL_TIMEDEMO="$csv" VESTREL_TIMEDEMO_SIZE="${width}x${height}")
if [ -n "$game_preload" ]; then run+=(LD_PRELOAD="$game_preload"); fi
"${run[@]}" "$binary" || status=$?
if [ -f "$csv" ]; then
  /usr/bin/python3 scripts/plot_frametimes.py "$csv" "$out/frames.png" "$demo at ${width} x ${height}" ||
    echo "timedemo.sh: no plot (python3-pil missing?)"
fi
echo "Timedemo: load average after $(cut -d' ' -f1-3 /proc/loadavg)"
exit "$status"
