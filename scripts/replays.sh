#!/usr/bin/env bash
# The replay regression suite: recorded sessions in tests/replays/ replayed
# headless in /turbo, each compared exactly with what it gave when its
# expectation was last written: the statistics and the end state of the
# session (/statdump) and the ball trace of the log (the "bt [...]" lines,
# every 300th frame's ball position and velocity to four decimals).
#
#   bash scripts/replays.sh [BUILD]           replay every case and compare
#   bash scripts/replays.sh --expect [BUILD]  write the expectations anew
#   bash scripts/replays.sh --record [BUILD]  play the cases anew (the built-in
#                                             player, or a key script) and
#                                             write recordings and expectations
#
# BUILD is a build folder (default: build). Each case is a line of
# tests/replays/cases.txt: its name, how its recording is made ("autoplay"
# for the built-in player, or "script" for tests/replays/NAME.keys, a
# "pbtool rec make" script), then the program's switches, used to record and
# to replay alike. A deliberate change of the rules or the physics changes
# expectations: write them anew with --expect and review their diff with the
# change (git diff tests/replays). Anything else that changes them is a
# regression.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=check
case "${1:-}" in
  --expect) mode=expect; shift ;;
  --record) mode=record; shift ;;
  --help|-h) sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
build=$(cd "${1:-$root/build}" && pwd)
cases="$root/tests/replays"
game="$build/game"
pbtool="$build/bin/pbtool"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The hall of fame of recorded games stays here, never in the player's home.
export QEL_DATA_DIR="$work/data"

# shellcheck source=scripts/gamecopy.sh
. "$root/scripts/gamecopy.sh"

# What a session gave: its statistics and end state, then its ball trace.
outcome() {
  local dir="$1"
  cat "$dir/stats.txt"
  echo "--- ball trace"
  grep -e '^bt \[' -e '^MILE3(): subgame .* outcome: ' "$dir/#report.txt" || true
}

failed=0
while read -r name how switches <&3; do
  case "$name" in ''|'#'*) continue ;; esac
  dir="$work/$name"
  gamecopy "$game" "$dir"
  # shellcheck disable=SC2086
  if [ "$mode" = record ]; then
    if [ "$how" = autoplay ]; then
      (cd "$dir" && ./pinball /nomenu /w /nosnd /turbo /log /autoplay /record /statdump stats.txt $switches 2> /dev/null)
    else
      "$pbtool" rec make "$dir/#session.rec" < "$cases/$name.keys" > /dev/null
      (cd "$dir" && ./pinball /nomenu /w /nosnd /turbo /log /statdump stats.txt $switches '#session.rec' 2> /dev/null)
    fi
    cp "$dir/#session.rec" "$cases/$name.rec"
    outcome "$dir" > "$work/$name.live"
    rm -f "$dir/#report.txt" "$dir/stats.txt"
  fi
  # shellcheck disable=SC2086
  (cd "$dir" && ./pinball /nomenu /w /nosnd /turbo /log /statdump stats.txt $switches "$cases/$name.rec" 2> /dev/null)
  outcome "$dir" > "$work/$name.replay"
  if [ "$mode" = record ] && ! cmp -s "$work/$name.live" "$work/$name.replay"; then
    echo "$name: the replay differs from the session it recorded:"
    diff "$work/$name.live" "$work/$name.replay" | head -20
    failed=1
  fi
  if [ "$mode" = check ]; then
    if cmp -s "$cases/$name.expect" "$work/$name.replay"; then
      echo "$name: as expected ($(grep -c '^bt ' "$work/$name.replay") trace lines)"
    else
      echo "$name: DIFFERS from tests/replays/$name.expect:"
      diff "$cases/$name.expect" "$work/$name.replay" | head -40 || true
      failed=1
    fi
  else
    cp "$work/$name.replay" "$cases/$name.expect"
    echo "$name: expectation written"
  fi
done 3< "$cases/cases.txt"
exit $failed
