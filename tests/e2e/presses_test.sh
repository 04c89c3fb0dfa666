#!/usr/bin/env bash
# The real program pressed 50 times while the camera streams: each press closes the camera and
# opens it anew, and neither open descriptors nor resident memory grow from the 10th press to the
# 50th.
# Usage: presses_test.sh, with the tools named in lib.sh in the environment.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"

# A sanitized program keeps freed memory in quarantine, 256 MiB of it by default, and each press
# frees a few MiB: a small quarantine is full by the 10th press, so what grows after that is the
# program's own.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=8"
e2e_start_xvfb
e2e_start_on_fake_camera FAKECAM_SIZE=640x480 FAKECAM_FPS=60 || e2e_fail "the window did not appear"

# The camera has been opened this often, and has sent a frame since it was opened last.
streaming_after_opens() {
  awk -v want="$1" '$0 == "open" { opens++; framed = 0 } /^frame / { framed = 1 }
                    END { exit !(opens == want && framed) }' "$e2e_camera_log"
}
for press in $(seq 50); do
  e2e_press
  e2e_wait_until 10 streaming_after_opens "$press" ||
    e2e_fail "press $press did not restart the camera"
  if [ "$press" -eq 10 ]; then
    descriptors_at_10=$(e2e_program_descriptors)
    resident_at_10=$(e2e_program_resident_kib)
  fi
done
descriptors_at_50=$(e2e_program_descriptors)
resident_at_50=$(e2e_program_resident_kib)

# Opens and closes take turns: the camera is closed before it is opened again.
awk '$0 == "open" && held { exit 1 } $0 == "open" { held = 1 } $0 == "close" { held = 0 }' \
  "$e2e_camera_log" || e2e_fail "a press opened the camera while it was still open"
[ "$descriptors_at_50" -eq "$descriptors_at_10" ] ||
  e2e_fail "open descriptors went from $descriptors_at_10 after the 10th press" \
    "to $descriptors_at_50 after the 50th"
growth=$((resident_at_50 - resident_at_10))
[ "$growth" -lt 2048 ] ||
  e2e_fail "resident memory grew by $growth KiB from the 10th press to the 50th"

e2e_close_and_expect_clean_exit
[ "$(e2e_camera_events close)" -eq 50 ] ||
  e2e_fail "the camera was not closed after each of the 50 opens"
echo "PASS: 50 presses; after the 10th and the 50th: descriptors $descriptors_at_10 and" \
  "$descriptors_at_50, resident memory $resident_at_10 KiB and $resident_at_50 KiB"
