#!/usr/bin/env bash
# Builds everything and runs the whole test suite twice: a g++ build, and a
# clang build under AddressSanitizer and UndefinedBehaviorSanitizer (which also
# builds the libFuzzer targets and runs their smoke runs). Installs missing
# Debian packages first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
bash "$root/scripts/deps.sh"

echo "== g++ build (build/)"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ -DPB_WERROR=ON >/dev/null
cmake --build "$root/build" -j"$jobs"
ctest --test-dir "$root/build" -j"$jobs" --output-on-failure

echo "== clang ASan+UBSan build (build-san/)"
cmake -S "$root" -B "$root/build-san" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DPB_WERROR=ON -DPB_SANITIZE=ON >/dev/null
cmake --build "$root/build-san" -j"$jobs"
# The elections test plays four years of game time (over 14,000 frames) on
# the whole table, and the replay suite (scripts/replays.sh) tens of
# thousands of frames; in this unoptimised build that takes many minutes and
# runs no code the other in-play tests do not, so they run in the g++ build
# only (whose expectations the suite holds).
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$root/build-san" -j"$jobs" --output-on-failure -E 'MissionsInPlay\.TheElectionsFallDue|ReplaySuite'
