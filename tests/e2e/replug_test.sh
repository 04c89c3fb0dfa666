#!/usr/bin/env bash
# The real program when an unplugged camera is plugged back in: a press on the start button
# brings back the live picture.
# Usage: replug_test.sh, with the tools named in lib.sh in the environment.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"

size=640x480
replugged=$e2e_scratch/replugged
# Each stream, the first and the one after the replug, lasts 60 frames: 2 s.
e2e_start_xvfb
e2e_start_on_fake_camera FAKECAM_SIZE=$size FAKECAM_FPS=30 FAKECAM_UNPLUG_AFTER=60 \
  FAKECAM_REPLUG_FILE="$replugged" || e2e_fail "the window did not appear"
e2e_press

e2e_wait_until 10 e2e_camera_unplugged ||
  e2e_fail "the camera was not unplugged within 10 s of the press"
frozen=$(e2e_last_camera_frame)
# Succeeds when the picture is a frame of the camera whose number compares to the given one as
# asked: shows -eq 5.
shown=
shows() {
  shown=$(e2e_shown_frame "$(e2e_shot shot)" $size BGR24) ||
    e2e_fail "the picture is not a frame of the camera"
  test "$shown" "$1" "$2"
}
e2e_wait_until 5 shows -eq "$frozen" ||
  e2e_fail "the picture is not the camera's last frame, $frozen"

touch "$replugged"
e2e_press
reopened() {
  [ "$(e2e_camera_events open)" -eq 2 ]
}
e2e_wait_until 5 reopened || e2e_fail "the press after the replug did not open the camera"
# The new stream counts its frames from the start again, up to its own last frame.
e2e_wait_until 5 shows -lt "$frozen" ||
  e2e_fail "the picture stayed at frame $frozen after the replug"
live=$shown
e2e_wait_until 5 shows -gt "$live" || e2e_fail "the picture stopped at frame $live after the replug"

e2e_close_and_expect_clean_exit
echo "PASS: frame $frozen stayed after the unplug; after the replug, frames $live and then $shown"
