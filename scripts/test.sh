#!/usr/bin/env bash
# Sets everything up and runs every test: the normal build with the end-to-end tests on real servers
# and a real display, the tree in a minimal Debian root, a short soak of the server stack, then the
# sanitizer build (which leaves the minimal-root tests to the normal one: they test the tree, not
# the code).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
# shellcheck source=scripts/display.sh
source scripts/display.sh
jobs=$(nproc)

# Formatting, shellcheck, clang-tidy of the GUI-free libraries and a smoke run of each fuzzer.
echo "== checks"
bash scripts/check.sh build 30

# build_and_test DIR CTEST-EXCLUDE [CMAKE-ARGS...]
build_and_test() {
  local dir=$1 exclude=$2
  shift 2
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  # GUI tests depend on the window manager's focus and the tray's timing; one that fails is run again.
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --repeat until-pass:3 ${exclude:+-E "$exclude"}
}

# The minimal Debian root the tree must run in with none of its packages, made once and cached.
if [ "$(id -u)" = 0 ]; then
  echo "== minimal Debian root"
  bash scripts/minroot.sh build/minroot
fi
echo "== build and test"
build_and_test build ""
echo "== end-to-end tests as an ordinary desktop user"
bash scripts/test-as-user.sh build
echo "== soak of the server stack (short form)"
CORVALA_BUILD=build python3 scripts/soak-stack.py --cycles 5 --mysql-kills 2 --kills 2
echo "== sanitizer build and test (AddressSanitizer + UndefinedBehaviorSanitizer)"
# The browser engine's own code trips the sized-delete check (its allocator, not ours) and leaves
# allocations in system libraries at exit; everything else stays checked.
ASAN_OPTIONS=detect_leaks=1:new_delete_type_mismatch=0 LSAN_OPTIONS="suppressions=$(pwd)/tests/lsan.supp" \
  UBSAN_OPTIONS=print_stacktrace=1 build_and_test build-asan '^MinRoot\.' -DCORVALA_SANITIZE=ON
