# Sourced by the scripts that run the built game: gamecopy GAME DIR makes DIR
# a game folder of the run's own, the program copied (it works in its own
# folder and writes its log and recordings there) and the data linked.
gamecopy() {
  local game="$1" dir="$2" entry base
  mkdir -p "$dir"
  for entry in "$game"/*; do
    base=$(basename "$entry")
    case "$base" in '#'*) continue ;; esac
    if [ "$base" = pinball ]; then cp "$entry" "$dir/pinball"; else ln -s "$entry" "$dir/$base"; fi
  done
}
