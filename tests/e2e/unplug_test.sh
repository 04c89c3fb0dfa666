#!/usr/bin/env bash
# The real program when the camera is unplugged while it streams: the last frame stays on the
# screen, the program does not spin on the gone camera, and the window still closes at once,
# with exit code 0 and nothing said.
# Usage: unplug_test.sh, with the tools named in lib.sh in the environment.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"

size=640x480
e2e_start_xvfb
e2e_start_on_fake_camera FAKECAM_SIZE=$size FAKECAM_FPS=30 FAKECAM_UNPLUG_AFTER=20 ||
  e2e_fail "the window did not appear"
e2e_press

e2e_wait_until 10 e2e_camera_unplugged ||
  e2e_fail "the camera was not unplugged within 10 s of the press"
last=$(e2e_last_camera_frame)

last_frame_shown() {
  local shown
  shown=$(e2e_shown_frame "$(e2e_shot frozen)" $size BGR24) ||
    e2e_fail "after the unplug the picture is not a frame of the camera"
  [ "$shown" -eq "$last" ]
}
e2e_wait_until 5 last_frame_shown || e2e_fail "the picture is not the camera's last frame, $last"

cpu_before=$(e2e_program_cpu_ms)
sleep 2 # the span over which the CPU time is taken
cpu_ms=$(($(e2e_program_cpu_ms) - cpu_before))
# A safety limit, not a measure of speed: a program that spins takes about the whole 2000 ms.
[ "$cpu_ms" -lt 200 ] || e2e_fail "the program took $cpu_ms ms of CPU time in 2 s after the unplug"
cmp -s "$e2e_scratch/frozen.ppm" "$(e2e_shot still)" ||
  e2e_fail "the picture changed after the unplug"

e2e_close_and_expect_clean_exit
echo "PASS: frame $last stays after the unplug; CPU time over the next 2 s: $cpu_ms ms"
