#!/usr/bin/env bash
# The real program on the simulated camera: after a press on the start button the picture area
# shows the camera's frames at their place, each pixel as the camera sent it (within the
# conversion's tolerance for YUYV), and the picture keeps moving on to later frames.
# Usage: picture_test.sh FORMAT WIDTHxHEIGHT, with the tools named in lib.sh in the environment.
set -euo pipefail
format=$1
size=$2
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"

e2e_start_xvfb
e2e_start_on_fake_camera FAKECAM_FORMAT="$format" FAKECAM_SIZE="$size" FAKECAM_FPS=30 ||
  e2e_fail "the window did not appear"
picture_empty() {
  e2e_picture_empty "$(e2e_shot poll)"
}
picture_shown() {
  ! picture_empty
}
# Before the window's first paint the screenshot holds whatever the X server had there.
e2e_wait_until 10 picture_empty || e2e_fail "the picture area is not blank before the press"
e2e_press
# Whatever shows first must already be a whole frame.
e2e_wait_until 10 picture_shown || e2e_fail "no picture within 10 s of the press"
first=$(e2e_shown_frame "$(e2e_shot first)" "$size" "$format") ||
  e2e_fail "the first picture is not a frame of the camera"

later=$first
later_frame_shown() {
  later=$(e2e_shown_frame "$(e2e_shot later)" "$size" "$format") ||
    e2e_fail "a later picture is not a frame of the camera"
  [ "$later" -gt "$first" ]
}
e2e_wait_until 10 later_frame_shown || e2e_fail "the picture stayed at frame $first"

e2e_close_and_expect_clean_exit
echo "PASS: $format $size: frames $first and then $later shown at their place"
