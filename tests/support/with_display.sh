#!/usr/bin/env bash
# Runs a test program with an X display: the caller's when it has one that
# answers, otherwise a private Xvfb (Mesa's llvmpipe gives a GL 3.3+ core context).
set -u
here="$(cd "$(dirname "$0")" && pwd)"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$here/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export LIBGL_ALWAYS_SOFTWARE=1
# Debian's python3 (with python3-numpy and python3-pil) runs the asset generators.
export PATH="/usr/bin:$PATH"
export ALSOFT_DRIVERS="${ALSOFT_DRIVERS:-null}"
run=("$@")
if [ -n "${DISPLAY:-}" ] && command -v xdpyinfo >/dev/null 2>&1 && xdpyinfo >/dev/null 2>&1; then
  exec "${run[@]}"
fi

# A private Xvfb. The server picks a free display number itself (-displayfd),
# so test programs running in parallel never share or fight over one.
numberfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$numberfile" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 200); do
  [ -s "$numberfile" ] && break
  sleep 0.05
done
if [ ! -s "$numberfile" ]; then
  echo "with_display.sh: Xvfb did not start" >&2
  kill "$xvfb_pid" 2>/dev/null
  rm -f "$numberfile"
  exit 1
fi
export DISPLAY=":$(tr -d '[:space:]' <"$numberfile")"
rm -f "$numberfile"
"${run[@]}"
status=$?
kill "$xvfb_pid" 2>/dev/null
wait "$xvfb_pid" 2>/dev/null
exit $status
