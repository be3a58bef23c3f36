#!/usr/bin/env bash
# The checks CI enforces beside the tests: formatting of every C++ source, shellcheck of the
# scripts, clang-tidy of the GUI-free libraries (base, files, process, ini, resources, digest,
# tree, config, stack, and maintenance and packaging without their gui folders) and a short run of
# each fuzzer over its committed seed corpus. Exits non-zero at the first check that fails.
# Usage: scripts/check.sh [BUILD-DIR] [FUZZ-SECONDS]; BUILD-DIR is configured here for its
# compile_commands.json (default build, 30 seconds per fuzzer).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
seconds=${2:-30}
jobs=$(nproc)

echo "== clang-format"
find src tests fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run -Werror

echo "== shellcheck"
shellcheck scripts/*.sh scripts/kit/php scripts/kit/composer

echo "== clang-tidy (GUI-free libraries)"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
find src/base src/files src/process src/ini src/resources src/digest src/tree src/config src/stack \
  src/maintenance src/packaging -path '*/gui' -prune -o -name '*.cpp' -print0 |
  xargs -0 -n 1 -P "$jobs" clang-tidy -p "$dir" --quiet 2>/dev/null

echo "== fuzzers, ${seconds} s each over fuzz/corpus"
bash scripts/fuzz.sh "$seconds"
