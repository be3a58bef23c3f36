# shellcheck shell=bash
# Sourced by test and demo scripts: gives them an X display with a window manager and a system tray
# (the programs set the Qt environment they need themselves). Without $DISPLAY, or when CI is set, a private Xvfb (1024 x
# 768 x 24) with a session bus, openbox and trayer is started on a free display number and stopped
# when the sourcing shell exits.

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

# Waits up to 30 s for the program started as process $1 to show that it runs (the command after
# it succeeds); false at once when that process has ended.
corvala_started_wait() {
  local pid=$1 tries
  shift
  for ((tries = 0; tries < 300; tries++)); do
    "$@" >/dev/null 2>&1 && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Whether a window manager has announced itself (xprop succeeds also when the property is missing).
corvala_wm_running() {
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"
}

# Starts a program of the display ($2...) with its output going to a file; once the command $1
# succeeds it is counted as running, and if it ends before that, its own words are shown.
corvala_display_program() {
  local check=$1 log pid
  shift
  log=$(mktemp) || return 1
  "$@" >"$log" 2>&1 &
  pid=$!
  CORVALA_DISPLAY_PIDS="$CORVALA_DISPLAY_PIDS $pid"
  if ! corvala_started_wait "$pid" "$check"; then
    echo "display: $1 did not start: $(tr '\n' ' ' <"$log")" >&2
    rm -f "$log"
    return 1
  fi
  rm -f "$log"
}

# A desktop session has a message bus. Without one, every D-Bus client (Qt's among them) tries to
# start one for itself, forking from its bus thread; in the sanitizer build such a child can hang
# on a lock another thread held at the fork. The bus offers no services to start: the tests run
# without the accessibility bus and the settings daemon, as they did without a bus.
corvala_bus_start() {
  local config address_file
  config=$(mktemp) || return 1
  address_file=$(mktemp) || { rm -f "$config"; return 1; }
  cat >"$config" <<'BUS'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
BUS
  dbus-daemon --config-file="$config" --nofork --nopidfile --print-address=3 3>"$address_file" >/dev/null 2>&1 &
  CORVALA_DISPLAY_PIDS="$CORVALA_DISPLAY_PIDS $!"
  if ! corvala_display_wait test -s "$address_file"; then
    echo "display: the session bus did not start" >&2
    rm -f "$config" "$address_file"
    return 1
  fi
  DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$address_file")
  export DBUS_SESSION_BUS_ADDRESS
  rm -f "$config" "$address_file"
}

# Whether the tray has mapped its window.
corvala_tray_shown() {
  xdotool search --class trayer
}

corvala_display_start() {
  local number_file number
  number_file=$(mktemp) || return 1
  # -displayfd lets Xvfb pick a free display number itself, so parallel runs cannot collide.
  # -noreset: by default the server resets when its last client leaves (the probe below), and a
  # client that connects meanwhile is turned away; openbox was, and the tests then ran without a
  # window manager. No screen saver or power saving either: a run lasts longer than their delay.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset -s 0 -dpms 3>"$number_file" >/dev/null 2>&1 &
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

  corvala_bus_start || { corvala_display_stop; return 1; }
  corvala_display_program corvala_wm_running openbox || { corvala_display_stop; return 1; }
  corvala_display_program corvala_tray_shown trayer --edge top --align right --SetDockType true \
    --transparent false --expand true --widthtype request --heighttype pixel --height 24 ||
    { corvala_display_stop; return 1; }

  # Runs any EXIT trap the sourcing shell had before ours.
  local previous
  previous=$(trap -p EXIT | sed -E "s/^trap -- '(.*)' EXIT$/\1/")
  # shellcheck disable=SC2064
  trap "corvala_display_stop${previous:+; $previous}" EXIT
}

if [ -z "${DISPLAY:-}" ] || [ -n "${CI:-}" ]; then
  corvala_display_start || return 1
fi
