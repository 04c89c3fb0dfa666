#!/usr/bin/env bash
# The real program with the camera absent: a press on the start button changes nothing on the
# screen, the picture area stays blank, no other window opens, and the program says nothing.
# Usage: absent_test.sh, with the tools named in lib.sh in the environment.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"

e2e_start_xvfb
e2e_start_on_fake_camera FAKECAM_ABSENT=1 || e2e_fail "the window did not appear"
# The pointer rests on the button from the first screenshot on, so that its hover look is in both.
e2e_point_at_button
previous=$(e2e_shot settling)
window_settled() {
  local latest
  latest=$(e2e_shot "settling$RANDOM")
  cmp -s "$previous" "$latest" && e2e_picture_empty "$latest" && return 0
  previous=$latest
  return 1
}
e2e_wait_until 10 window_settled || e2e_fail "the window did not settle to a blank picture area"

visible_windows() {
  xdotool search --onlyvisible --name '' | wc -l
}
windows_before=$(visible_windows)

e2e_press
sleep 1 # time for the press to show an effect, were it to have one
after=$(e2e_shot after)
cmp -s "$previous" "$after" || e2e_fail "the press changed the window"
[ "$(visible_windows)" -eq "$windows_before" ] || e2e_fail "the press opened a window"
e2e_close_and_expect_clean_exit
echo "PASS: a press without a camera changes nothing and says nothing"
