#!/usr/bin/env bash
# The real program on a camera that starts streaming but never sends a frame: the picture area
# stays blank, and the window still closes at once, with exit code 0 and nothing said.
# Usage: stall_test.sh, with the tools named in lib.sh in the environment.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"

e2e_start_xvfb
e2e_start_on_fake_camera FAKECAM_STALL=1 || e2e_fail "the window did not appear"
e2e_press

streaming() {
  [ "$(e2e_camera_events streamon)" -eq 1 ]
}
e2e_wait_until 10 streaming || e2e_fail "the press did not start the camera"
sleep 0.5 # the frame timer asks the stalled camera for frames meanwhile
e2e_picture_empty "$(e2e_shot stalled)" || e2e_fail "a picture appeared though the camera sent none"

e2e_close_and_expect_clean_exit
[ "$(e2e_camera_events close)" -eq 1 ] || e2e_fail "the camera was not closed"
echo "PASS: a stalled camera leaves the window responsive"
