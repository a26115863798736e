#!/usr/bin/env bash
# Takes a screenshot of the table in each regime through the game itself,
# headless, after a few seconds of play (the ball waits on the plunger), and
# writes them as docs/pictures/table-comm.png, table-demo.png, table-dict.png.
# Needs a built tree (bash scripts/play.sh or scripts/test.sh builds one).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
game="$root/build/game"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
names=(comm demo dict)
for r in 0 1 2; do
  SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy "$game/pinball" /nomenu /w /nosnd /turbo /frames 240 \
    /regime "$r" /screenshot "$tmp/shot$r.bmp"
  "$root/build/bin/pbtool" image topng "$tmp/shot$r.bmp" "$root/docs/pictures/table-${names[$r]}.png"
  echo "docs/pictures/table-${names[$r]}.png"
done
