# shellcheck shell=bash
# Shared by the end-to-end tests and the screenshot script: a virtual X server of their own, with
# no window manager, and the program under test inside it. Source it; when the sourcing script
# ends, a trap stops whatever is still running and removes the scratch files.

e2e_scratch=$(mktemp -d)
e2e_xvfb_pid=
e2e_program_pid=

e2e_cleanup() {
  if [ -n "$e2e_program_pid" ]; then
    kill "$e2e_program_pid" 2>/dev/null || true
    wait "$e2e_program_pid" 2>/dev/null || true
  fi
  if [ -n "$e2e_xvfb_pid" ]; then
    kill "$e2e_xvfb_pid" 2>/dev/null || true
    wait "$e2e_xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$e2e_scratch"
}
trap e2e_cleanup EXIT

# Starts Xvfb on a display number that it picks free itself, and points DISPLAY at it.
e2e_start_xvfb() {
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 \
    3>"$e2e_scratch/display" >"$e2e_scratch/xvfb.log" 2>&1 &
  e2e_xvfb_pid=$!
  local _
  for _ in $(seq 200); do
    if grep -qx '[0-9]\+' "$e2e_scratch/display"; then
      DISPLAY=":$(cat "$e2e_scratch/display")"
      export DISPLAY
      return 0
    fi
    kill -0 "$e2e_xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "Xvfb did not start:" >&2
  cat "$e2e_scratch/xvfb.log" >&2
  return 1
}

# Starts the program on the X server, its output kept for e2e_program_output.
e2e_start_program() {
  QT_QPA_PLATFORM=xcb "$@" >"$e2e_scratch/stdout" 2>"$e2e_scratch/stderr" &
  e2e_program_pid=$!
}

# Everything the program wrote to stdout and stderr so far.
e2e_program_output() {
  cat "$e2e_scratch/stdout" "$e2e_scratch/stderr"
}

e2e_program_running() {
  kill -0 "$e2e_program_pid" 2>/dev/null
}

# Prints the id of the first visible window with exactly this title, once there is one.
e2e_wait_for_window() {
  local ids
  ids=$(timeout 30 xdotool search --sync --onlyvisible --name "^$1\$") || {
    echo "no window titled '$1' appeared" >&2
    return 1
  }
  head -n 1 <<<"$ids"
}

# How many windows, shown or not, carry exactly this title.
e2e_count_windows() {
  { xdotool search --name "^$1\$" || true; } | wc -l
}

# Asks the window to close as a window manager's close button does. Needs E2E_XCLOSE, the path
# of the xclose tool built beside the tests.
e2e_close_window() {
  "${E2E_XCLOSE:?the path of xclose}" "$1"
}

# 8 bits a sample, as the screen has them; ImageMagick would otherwise write 16 to some formats.
e2e_screenshot() {
  import -window "$1" -depth 8 "$2"
}

# Waits up to the given number of seconds for the program to end; returns its exit code, or 124
# when it is still running.
e2e_wait_for_exit() {
  local _
  for _ in $(seq $(($1 * 10))); do
    e2e_program_running || break
    sleep 0.1
  done
  if e2e_program_running; then
    echo "the program is still running after $1 s" >&2
    return 124
  fi
  local status=0
  wait "$e2e_program_pid" || status=$?
  e2e_program_pid=
  return "$status"
}

# Polls the command until it succeeds, for up to the given number of seconds; fails if it never
# does.
e2e_wait_until() {
  local now deadline
  now=${EPOCHREALTIME//[.,]/}
  deadline=$((now + $1 * 1000000))
  shift
  until "$@"; do
    now=${EPOCHREALTIME//[.,]/}
    [ "$now" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

# Whatever a test finds wrong ends it, with what the program wrote and what the camera did last.
e2e_fail() {
  echo "FAIL: $*" >&2
  echo "--- program output:" >&2
  e2e_program_output >&2
  if [ -s "$e2e_camera_log" ]; then
    echo "--- the simulated camera's log, last lines:" >&2
    tail -n 20 "$e2e_camera_log" >&2
  fi
  exit 1
}

# The program on the simulated camera from tests/fakecam. These take their tools from the
# environment: E2E_CAMVIEW (the program), E2E_XCLOSE, E2E_FAKECAM (the preload library) and
# E2E_PICTURE_CHECK.

# One line per camera event: open, streamon, frame N, streamoff, close, unplug.
e2e_camera_log=$e2e_scratch/camera.log

# Where the window's layout (app/Unit1.json) puts the picture area and the start button, as
# X,Y,WxH in the window.
e2e_picture_area=8,8,601x393
e2e_button_area=48,408,105x33
e2e_window=

# Starts the program on the simulated camera, set up by the FAKECAM_* settings given as NAME=VALUE
# arguments, and waits for its window, whose id goes to e2e_window.
e2e_start_on_fake_camera() {
  # A sanitized program would refuse to start behind the preload library, which is not.
  e2e_start_program env LD_PRELOAD="${E2E_FAKECAM:?the simulated camera}" \
    ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" \
    FAKECAM_LOG="$e2e_camera_log" "$@" "${E2E_CAMVIEW:?the program}"
  e2e_window=$(e2e_wait_for_window Form1)
}

# Rests the pointer on the middle of the start button.
e2e_point_at_button() {
  local x y width height
  IFS=',x' read -r x y width height <<<"$e2e_button_area"
  xdotool mousemove --window "$e2e_window" $((x + width / 2)) $((y + height / 2))
}

e2e_press() {
  e2e_point_at_button
  xdotool click 1
}

# How many lines of the camera's log read exactly so.
e2e_camera_events() {
  { grep -sx "$1" "$e2e_camera_log" || true; } | wc -l
}

e2e_camera_unplugged() {
  [ "$(e2e_camera_events unplug)" -ge 1 ]
}

# The number of the last frame the camera sent.
e2e_last_camera_frame() {
  sed -n 's/^frame //p' "$e2e_camera_log" | tail -n 1
}

# Takes a screenshot of the window as a PPM of the given name in the scratch folder; prints its
# path.
e2e_shot() {
  e2e_screenshot "$e2e_window" "ppm:$e2e_scratch/$1.ppm"
  echo "$e2e_scratch/$1.ppm"
}

# Prints the number of the camera frame a screenshot's picture area shows; fails, saying why,
# unless the picture is that frame of the pattern. Arguments: SHOT FRAME-SIZE FORMAT.
e2e_shown_frame() {
  "${E2E_PICTURE_CHECK:?the picture check}" frame "$1" "$e2e_picture_area" "$2" "$3" \
    "$e2e_button_area"
}

# Succeeds when a screenshot's picture area shows nothing but the background.
e2e_picture_empty() {
  "${E2E_PICTURE_CHECK:?the picture check}" empty "$1" "$e2e_picture_area" 2>/dev/null
}

# Gone from the screen: hidden, or destroyed with the program.
e2e_window_gone() {
  ! xwininfo -id "$e2e_window" 2>/dev/null | grep -q IsViewable
}

# Closes the window as a user would. It must be gone within a second, and the program must end
# with exit code 0 having written nothing.
e2e_close_and_expect_clean_exit() {
  e2e_close_window "$e2e_window" || e2e_fail "could not ask the window to close"
  e2e_wait_until 1 e2e_window_gone ||
    e2e_fail "the window was still there a second after it was asked to close"
  local status=0
  e2e_wait_for_exit 10 || status=$?
  [ "$status" -eq 0 ] || e2e_fail "exit code $status after the window was closed"
  [ -z "$(e2e_program_output)" ] || e2e_fail "the program wrote output"
}

# The program's CPU time so far, user and system, in milliseconds.
e2e_program_cpu_ms() {
  local stat fields
  stat=$(<"/proc/$e2e_program_pid/stat")
  # After the command name in parentheses: field 3, the state, comes first; utime and stime are
  # fields 14 and 15, in clock ticks.
  read -r -a fields <<<"${stat##*) }"
  echo $(((fields[11] + fields[12]) * 1000 / $(getconf CLK_TCK)))
}

# The program's open descriptors. The simulated camera opens its log for each line it writes, so
# the fewest over a few looks is what the program itself holds.
e2e_program_descriptors() {
  local fewest='' count _
  for _ in 1 2 3 4 5; do
    count=$(find "/proc/$e2e_program_pid/fd" -mindepth 1 -maxdepth 1 | wc -l)
    if [ -z "$fewest" ] || [ "$count" -lt "$fewest" ]; then fewest=$count; fi
  done
  echo "$fewest"
}

e2e_program_resident_kib() {
  awk '/^VmRSS:/ { print $2 }' "/proc/$e2e_program_pid/status"
}
