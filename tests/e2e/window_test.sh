#!/usr/bin/env bash
# The real program in a real X server with no window manager: one window titled Form1 at the
# layout's outer size; a press with no camera present says nothing; closing the window as a
# window manager would ends the program with exit code 0, having written nothing.
# Usage: window_test.sh CAMVIEW XCLOSE
set -euo pipefail
camview=$1
export E2E_XCLOSE=$2
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"

fail() {
  echo "FAIL: $*" >&2
  echo "--- program output:" >&2
  e2e_program_output >&2
  exit 1
}

e2e_start_xvfb
e2e_start_program "$camview"
window=$(e2e_wait_for_window Form1) || fail "the window did not appear"

count=$(e2e_count_windows Form1)
[ "$count" -eq 1 ] || fail "$count windows are titled Form1"
size=$(xwininfo -id "$window" |
  awk '/^ *Width:/ { w = $2 } /^ *Height:/ { h = $2 } END { print w "x" h }')
[ "$size" = 627x485 ] || fail "the window's outer size is $size, not 627x485"
xprop -id "$window" _NET_WM_ICON | grep -q 'Icon (32 x 32)' || fail "the window has no 32x32 icon"

# The start button's middle: its place in the layout is 48,408, 105x33.
xdotool mousemove --window "$window" 100 424 click 1
sleep 0.5 # settle time for the press to be handled, not a measurement
e2e_program_running || fail "the program ended after the press"
[ -z "$(e2e_program_output)" ] || fail "the press wrote output"

e2e_close_window "$window" || fail "could not ask the window to close"
status=0
e2e_wait_for_exit 10 || status=$?
[ "$status" -eq 0 ] || fail "exit code $status after the window was closed"
[ -z "$(e2e_program_output)" ] || fail "the program wrote output"
echo "PASS: one window, 627x485, a silent press, exit code 0 on close"
