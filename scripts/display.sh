# shellcheck shell=bash
# Sourced by test and demo scripts: gives them an X display with a window manager and a system tray,
# and the Qt environment the GUI needs. Without $DISPLAY, or when CI is set, a private Xvfb (1024 x
# 768 x 24) with openbox and trayer is started on a free display number and stopped when the
# sourcing shell exits.

corvala_display_stop() {
  local pid
  for pid in ${CORVALA_DISPLAY_PIDS:-}; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in ${CORVALA_DISPLAY_PIDS:-}; do
    wait "$pid" 2>/dev/null || true
  done
  CORVALA_DISPLAY_PIDS=""
}

# Waits up to 30 s for a command to succeed (a loaded machine starts the display slowly).
corvala_display_wait() {
  local tries
  for ((tries = 0; tries < 300; tries++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# Waits up to 30 s for the tray started as process $1 to show its window; false at once when that
# process has ended.
corvala_tray_wait() {
  local tries
  for ((tries = 0; tries < 300; tries++)); do
    xdotool search --class trayer >/dev/null 2>&1 && return 0
    kill -0 "$1" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

corvala_display_start() {
  local number_file number
  number_file=$(mktemp) || return 1
  # -displayfd lets Xvfb pick a free display number itself, so parallel runs cannot collide.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  CORVALA_DISPLAY_PIDS="$!"
  if ! corvala_display_wait test -s "$number_file"; then
    echo "display: Xvfb did not start" >&2
    rm -f "$number_file"
    corvala_display_stop
    return 1
  fi
  number=$(tr -d '[:space:]' <"$number_file")
  rm -f "$number_file"
  export DISPLAY=":$number"
  corvala_display_wait xdpyinfo || { echo "display: $DISPLAY does not answer" >&2; corvala_display_stop; return 1; }

  openbox >/dev/null 2>&1 &
  CORVALA_DISPLAY_PIDS="$CORVALA_DISPLAY_PIDS $!"
  corvala_display_wait xprop -root _NET_SUPPORTING_WM_CHECK ||
    { echo "display: openbox did not start" >&2; corvala_display_stop; return 1; }

  # trayer has been seen to end at once on a loaded machine, before it mapped its window; it is
  # started again then, and its own words are shown if it never comes up.
  local tray_log attempt tray_pid
  tray_log=$(mktemp) || { corvala_display_stop; return 1; }
  for attempt in 1 2 3; do
    trayer --edge top --align right --SetDockType true --transparent false --expand true \
      --widthtype request --heighttype pixel --height 24 >"$tray_log" 2>&1 &
    tray_pid=$!
    if corvala_tray_wait "$tray_pid"; then
      CORVALA_DISPLAY_PIDS="$CORVALA_DISPLAY_PIDS $tray_pid"
      break
    fi
    kill "$tray_pid" 2>/dev/null || true
    wait "$tray_pid" 2>/dev/null || true
    echo "display: trayer did not come up (attempt $attempt): $(tr '\n' ' ' <"$tray_log")" >&2
    tray_pid=""
  done
  rm -f "$tray_log"
  [ -n "$tray_pid" ] || { echo "display: trayer did not start" >&2; corvala_display_stop; return 1; }

  # Runs any EXIT trap the sourcing shell had before ours.
  local previous
  previous=$(trap -p EXIT | sed -E "s/^trap -- '(.*)' EXIT$/\1/")
  # shellcheck disable=SC2064
  trap "corvala_display_stop${previous:+; $previous}" EXIT
}

if [ -z "${DISPLAY:-}" ] || [ -n "${CI:-}" ]; then
  corvala_display_start || return 1
fi

# The Qt environment of the GUI: software rendering, no GPU, and Chromium's sandbox off as root
# (it refuses to run as root otherwise).
if [ "$(id -u)" = 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --disable-dev-shm-usage"
export QT_QUICK_BACKEND=software
