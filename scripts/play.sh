#!/usr/bin/env bash
# Builds everything (installing missing Debian packages first) and starts the
# game from its folder. Arguments are passed on to the game.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j"$(nproc)"
exec "$root/build/game/pinball" "$@"
