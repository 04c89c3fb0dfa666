#!/usr/bin/env bash
# The real program closed while the camera streams: closing the window closes the camera, and the
# program ends with exit code 0, having said nothing.
# Usage: close_test.sh, with the tools named in lib.sh in the environment.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"

size=640x480
e2e_start_xvfb
e2e_start_on_fake_camera FAKECAM_SIZE=$size FAKECAM_FPS=30 || e2e_fail "the window did not appear"
e2e_press

picture_shown() {
  e2e_shown_frame "$(e2e_shot poll)" $size BGR24 >/dev/null 2>&1
}
e2e_wait_until 10 picture_shown || e2e_fail "no picture within 10 s of the press"
[ "$(e2e_camera_events close)" -eq 0 ] || e2e_fail "the camera was closed while the window was open"

e2e_close_and_expect_clean_exit
opens=$(e2e_camera_events open)
closes=$(e2e_camera_events close)
[ "$opens $closes" = "1 1" ] || e2e_fail "the camera was opened $opens times and closed $closes"
[ "$(tail -n 1 "$e2e_camera_log")" = close ] || e2e_fail "the camera was used after it was closed"
echo "PASS: closing the window closed the camera"
