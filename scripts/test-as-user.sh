#!/usr/bin/env bash
# Runs the end-to-end tests of the launcher, the server stack and the maintenance commands once more
# as an ordinary desktop user (created when missing), on the build folder the root run made and on
# the display the test command started. Usage: scripts/test-as-user.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
user=corvala-ci

if [ "$(id -u)" != 0 ]; then
  echo "test-as-user: already an ordinary user; nothing to add" >&2
  exit 0
fi
: "${DISPLAY:?test-as-user: needs the display of scripts/display.sh}"

id -u "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6)

# The user reads the build folder (the programs and the kit tree) and writes only screenshots.
dir=$build
while [ "$dir" != / ]; do
  chmod o+x "$dir"
  dir=$(dirname "$dir")
done
chmod -R o+rX "$build"
install -d -m 1777 "$build/screenshots"

# Xvfb without -auth lets local clients in; the user must reach it like any desktop program.
if ! runuser -u "$user" -- env DISPLAY="$DISPLAY" xdpyinfo >/dev/null 2>&1; then
  echo "test-as-user: $user cannot open display $DISPLAY" >&2
  exit 1
fi

status=0
for program in e2e_launcher_tests e2e_stack_tests e2e_maintenance_tests; do
  echo "== $program as $user"
  runuser -u "$user" -- env -i PATH=/usr/local/bin:/usr/bin:/bin HOME="$home" USER="$user" DISPLAY="$DISPLAY" \
    LANG=C.UTF-8 \
    "$build/tests/e2e/$program" || status=1
done
exit $status
