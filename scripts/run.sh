#!/usr/bin/env bash
# Sets everything up and runs the launcher on the demo stack: installs what is missing, builds,
# assembles the stack tree beside the launcher (build/dist) and starts it. Without a display it
# runs under a private Xvfb with a window manager and a tray, and says how to look at it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVALA_TESTS=OFF >/dev/null
cmake --build build -j "$(nproc)" --target corvala stack_tree

headless=0
if [ -z "${DISPLAY:-}" ]; then headless=1; fi
# shellcheck source=scripts/display.sh
source scripts/display.sh
if ((headless)); then
  cat <<TXT
Corvala runs on the private display $DISPLAY (no display was set).
Look at it with:   import -display $DISPLAY -window root corvala.png
Stop it with Ctrl+C (or Exit in its tray menu).
TXT
fi
# The launcher relaunches itself and its first process ends at once; wait for the instance it
# started, which leads its own process group, and hand it Ctrl+C as a clean stop.
launcher="$(pwd)/build/dist/corvala"
# pgrep takes a pattern: the checkout's folder may hold characters that patterns give a meaning.
# shellcheck disable=SC2016 # the $ is a character to escape, not an expansion
pattern=$(printf '%s' "$launcher" | sed 's/[][\.*^$()+?{}|]/\\&/g')
trap 'pkill -TERM -f -x "$pattern" || true' INT TERM
"$launcher"
sleep 1
while pgrep -f -x "$pattern" >/dev/null; do sleep 1; done
