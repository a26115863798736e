#!/usr/bin/env bash
# Pictures of the game for the documentation, through the engine, headless:
#   docs/pictures/table-comm.png, table-demo.png, table-dict.png
#       the game itself after four seconds in each regime (the ball waits on
#       the plunger, the score title shows in the display)
#   docs/pictures/display-*.png, features-*.png, mission-*.png, load-progress-half.png
#       the table drawn by "pbtool scene": titles in the display and the
#       features' animations (see the list below)
#   docs/pictures/name-dialog.png, menu-*.png
#       the name dialog over the table; the menu's pages drawn by "pbtool menu"
# Needs a built tree (bash scripts/play.sh or scripts/test.sh builds one).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
game="$root/build/game"
pbtool="$root/build/bin/pbtool"
pics="$root/docs/pictures"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
names=(comm demo dict)
for r in 0 1 2; do
  SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy "$game/pinball" /nomenu /w /nosnd /turbo /frames 240 \
    /regime "$r" /screenshot "$tmp/shot$r.bmp"
  "$pbtool" image topng "$tmp/shot$r.bmp" "$pics/table-${names[$r]}.png"
  echo "$pics/table-${names[$r]}.png"
done

scene() {
  local out="$1"
  shift
  "$pbtool" scene "$game" "$pics/$out" "$@"
  echo "$pics/$out"
}
# The idle score title in each regime (it starts after two seconds without
# a title).
for r in 0 1 2; do
  scene "display-idle-${names[$r]}.png" regime=$r frames=200 "macro:score=1.250.000"
done
# A foreground title over the running background score title.
scene display-fore-over-back.png frames=200 "macro:score=1.250.000" "macro:big_score=50.000" fore=big_score \
  fore_at=180
# The question mission's first page.
scene display-question.png regime=0 frames=20 back=question_plus \
  'macro:question_text1=Переименовать\nстолицу' 'macro:question_text2=в честь текущей\nпятилетки?' \
  'macro:question_cpw=харизма' 'macro:question_value=2'
# All four features on, then in crisis, each at two moments.
for at in 90 150; do
  scene "features-on-$at.png" frames=$at feature=0:1 feature=1:1 feature=2:1 feature=3:1
  scene "features-crisis-$at.png" frames=$at feature=0:2 feature=1:2 feature=2:2 feature=3:2
done
# The load progress bar half full.
scene load-progress-half.png progress=0.5
# The rules on the table: the score in the display and the lit year in each
# regime, a tip rising from a Kremlin bumper, the game-over title.
for r in 0 1 2; do
  scene "rules-score-${names[$r]}.png" regime=$r frames=200 score=1250000 year=2003.5
done
scene rules-tip.png frames=185 score=1250000 year=2001.25 add=krem_bumper0@170 add=duma_bumper1@176
scene rules-gameover.png frames=60 score=1250000 year=2006.75 gameover=1
# The missions: the symbols risen on their points after the selection
# button, a mission's call, a question in the display, a crisis's call.
scene mission-symbols.png frames=100 symbols=10
scene mission-call.png regime=2 frames=100 mission=0@5
scene mission-question.png regime=1 frames=180 mission=4@5
scene mission-crisis.png frames=16 feature=1:2 mission=8@5
# The name dialog of the hall of fame over the table, a name typed into it.
scene name-dialog.png frames=200 "macro:score=1.250.000" "namedlg=Иван Петров"
# The subgames, played headless by "pbtool subgame" in two regimes (the
# screen's picture, the boxer and the gold catcher are the regime's):
# subgame-NAME-REGIME-open.png (the introduction), -play.png and -end.png.
subgame() {
  local id="$1" name="$2" r="$3"
  shift 3
  "$pbtool" subgame "$game" "$id" "$pics/subgame-$name-${names[$r]}" regime="$r" "$@"
}
for r in 0 2; do
  # Boxing: walk in now and then, jab every 70 frames.
  subgame 0 boxing "$r" play=500 every=0x35@1/200/40 every=0x1D@60/70/3
  # The gallery: the left and the right rifle in turn.
  subgame 1 gallery "$r" play=200 every=0x2C@1/90/2 every=0x35@46/90/2
  # Gold catching: round the four chute ends.
  subgame 2 gold "$r" play=400 every=0x47@1/100/2 every=0x49@26/100/2 every=0x51@51/100/2 every=0x4F@76/100/2
done

# The menu's pages: the main page with its logo and video, the regime page
# with the keys, the champions with a filled hall of fame, a credits screen.
menu() {
  local out="$1"
  shift
  "$pbtool" menu "$game" "$pics/$out" "$@"
  echo "$pics/$out"
}
menu menu-main.png page=main
menu menu-regime.png page=regime
menu menu-champions.png page=champ entry=Иван:1250000 "entry=Маша Петрова:980500" entry=Petr:455000 \
  entry=Tester:12000
menu menu-credits.png page=credits screen=1
