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

e2e_screenshot() {
  import -window "$1" "$2"
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
