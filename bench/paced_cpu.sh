#!/usr/bin/env bash
# The processor time a paced table session costs: the real program plays the
# shipped table at its configured 60 frames a second (not /turbo), once for
# FRAMES frames and once for twice as many; the difference of the two runs
# (the table's load cancels out) gives the user and system time the frames
# used against the wall time they took. The same for /turbo (frames back to
# back, the most a core gives) gives its frames a second.
#
#   bash bench/paced_cpu.sh [BUILD] [FRAMES]     (defaults: build, 600)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
frames=${2:-600}
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-dummy} SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QEL_DATA_DIR="$work/data"
# shellcheck source=scripts/gamecopy.sh
. "$root/scripts/gamecopy.sh"
gamecopy "$build/game" "$work"

# Runs the program and prints wall, user and system seconds.
measure() {
  local out
  out=$( { TIMEFORMAT='%R %U %S'; time "$work/pinball" /nomenu /w /nosnd /frames "$frames" "$@" > /dev/null 2>&1; } 2>&1 )
  echo "$out"
}

# The cost of FRAMES frames: a run of 2 x FRAMES less a run of FRAMES.
difference() {
  local w1 u1 s1 w2 u2 s2
  read -r w1 u1 s1 < <(frames=$frames measure "$@")
  read -r w2 u2 s2 < <(frames=$((2 * frames)) measure "$@")
  echo "$w1 $u1 $s1 $w2 $u2 $s2"
}

read -r w1 u1 s1 w2 u2 s2 < <(difference)
awk -v w1="$w1" -v u1="$u1" -v s1="$s1" -v w2="$w2" -v u2="$u2" -v s2="$s2" -v f="$frames" 'BEGIN {
  w = w2 - w1; u = u2 - u1; s = s2 - s1
  printf "paced: %d frames in %.2f s wall (%.1f frames/s), cpu %.2f s user + %.2f s system = %.1f%% of one core\n",
         f, w, f / w, u, s, 100 * (u + s) / w
  printf "       (the load and %d frames: %.2f s wall, %.2f s cpu)\n", f, w1, u1 + s1 }'
read -r w1 u1 s1 w2 u2 s2 < <(difference /turbo)
awk -v w1="$w1" -v w2="$w2" -v f="$frames" 'BEGIN {
  w = w2 - w1
  printf "turbo: %d frames in %.2f s wall (%.0f frames/s, %.1f times real time at 60 a second)\n",
         f, w, f / w, f / w / 60 }'
