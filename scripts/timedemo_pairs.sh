#!/usr/bin/env bash
# Times two versions of the game against each other, alternating their runs
# so that the machine's drift (which moves a median by 15-25 % in an hour on
# a shared two-core VM) falls on both alike (docs/performance.md):
#
#   scripts/timedemo_pairs.sh RUNS A B [WIDTH HEIGHT [DEMO]]
#
# A and B are each either a tree (a directory holding build-rel/vestrel, run
# with its own scripts/timedemo.sh, shaders, assets and demo) or a setting
# such as VESTREL_OCCLUSION=0, which times this tree's build-rel/vestrel (or
# VESTREL_BINARY) with that variable set. Build the trees first (cmake -S .
# -B build-rel -DCMAKE_BUILD_TYPE=Release). Prints one line a run and the
# means of each side.
set -euo pipefail
if [ $# -lt 3 ]; then
  sed -n '2,13p' "$0" >&2
  exit 2
fi
here="$(cd "$(dirname "$0")/.." && pwd)"
runs="$1"
sides=("$2" "$3")
shift 3
size=("$@")
log=$(mktemp -d)
trap 'rm -rf "$log"' EXIT

run_side() {  # run_side SIDE OUTFILE
  local side="$1" tree="$here" setting=() binary="${VESTREL_BINARY:-$here/build-rel/vestrel}"
  if [[ "$side" == *=* ]]; then
    setting=("$side")
  else
    tree="$(cd "$side" && pwd)"
    binary="$tree/build-rel/vestrel"
  fi
  # A replay that ends otherwise than its demo says still prints its timings;
  # its status goes on the run's line, since its frames may not be the demo's.
  env "${setting[@]}" VESTREL_BINARY="$binary" VESTREL_TIMEDEMO_OUT="$log/out" \
    "$tree/scripts/timedemo.sh" "${size[@]}" >"$2" 2>&1 || echo "replay status $?" >>"$2"
}

# One line of numbers from a run's output: median p99 cpu start.
numbers() {
  sed -n -e 's/.*frame time median \([0-9.]*\) ms.* p99 \([0-9.]*\) ms.*/median \1 p99 \2/p' \
    -e 's/.*process CPU time per frame \([0-9.]*\) ms.*/cpu \1/p' \
    -e 's/.*start to first play frame \([0-9.]*\) ms.*/start \1/p' "$1" | tr '\n' ' '
  grep -h '^replay status' "$1" | sed 's/$/ /' || true
}

for i in $(seq 1 "$runs"); do
  for s in 0 1; do
    run_side "${sides[$s]}" "$log/run"
    line="$(numbers "$log/run")"
    if [[ "$line" != *median* ]]; then
      echo "timedemo_pairs.sh: run $i of ${sides[$s]} gave no timings:" >&2
      tail -5 "$log/run" >&2
      exit 1
    fi
    echo "$s $line" >>"$log/all"
    echo "run $i  ${sides[$s]}: $line(load $(cut -d' ' -f1 /proc/loadavg))"
  done
done
awk -v a="${sides[0]}" -v b="${sides[1]}" '
  { for (f = 2; f < NF; f += 2) { sum[$1, $f] += $(f + 1) } n[$1]++ }
  END {
    split("median p99 cpu start", keys, " ")
    for (s = 0; s < 2; s++) {
      printf "mean of %d runs  %s:", n[s], (s == 0 ? a : b)
      for (k = 1; k <= 4; k++) printf " %s %.2f", keys[k], sum[s, keys[k]] / n[s]
      printf " ms\n"
    }
  }' "$log/all"
