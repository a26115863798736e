#include "game/score.h"

#include <cstdio>

#include "anim/title.h"
#include "core/calls.h"
#include "game/game.h"

// The subjects and their values come with the score configuration; until
// then a subject is only noted.
int scoreAdd(const char* subject) {
  rulesCallNote("scoreAdd %s", subject ? subject : "(null)");
  return 0;
}

int scoreAddBig(int value) {
  rulesCallNote("scoreAddBig %d", value);
  game.score += value;
  return value;
}

const char* scoreFormat(int value) {
  static char buffer[32];
  if (value >= 1000000)
    std::snprintf(buffer, sizeof buffer, "%d.%03d.%03d", value / 1000000, value / 1000 % 1000, value % 1000);
  else if (value >= 1000)
    std::snprintf(buffer, sizeof buffer, "%d.%03d", value / 1000, value % 1000);
  else
    std::snprintf(buffer, sizeof buffer, "%d", value);
  return buffer;
}

void gameSetQuorum(double value) {
  if (value < 0) value = 0;
  if (value > 100) value = 100;
  game.quorum = value;
}

int scoreSetupYear(ConfSet*) { return 1; }
void gameSetYear(double year) { game.year = year; }
void gameBigScore(int value) {
  titleSetMacro("big_score", scoreFormat(value));
  startForeTitle("big_score");
  scoreAddBig(value);
}
