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
if [ -n "${DISPLAY:-}" ] && command -v xdpyinfo >/dev/null 2>&1 && xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$@"
