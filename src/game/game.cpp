#include "game/game.h"

#include "anim/lights.h"
#include "core/log.h"
#include "game/trigger.h"

GameState game = {REGIME_COMM, -1, GAME_BALLS, 0, -1, -1};

void gameReset() { game = GameState{game.regime, -1, GAME_BALLS, 0, -1, -1}; }

int gameClampRegime(int regime) {
  if (regime < REGIME_COMM) return REGIME_COMM;
  if (regime > REGIME_DEMO) return REGIME_DICT;
  return regime;
}

void gameSetRegime(int regime) {
  regime = gameClampRegime(regime);
  logPrint("%s: setting regime %d", "gameSetRegime()", regime);
  game.regime = regime;
  game.pendingRegime = -1;
}

void gameSwitchRegime(int regime) {
  regime = gameClampRegime(regime);
  logPrint("%s: switching regime %d -> %d", "gameSwitchRegime()", game.regime, regime);
  game.pendingRegime = regime;
}

void gameNewGame() {
  game.over = 0;
  game.ballsLeft = GAME_BALLS;
  game.mission = -1;
  all_triggers(TR_GAME_BEGIN);
}

void gameOver() {
  game.over = 1;
  all_triggers(TR_GAME_OVER);
}

int gameSetupObjects(ConfSet* gameConf) { return setupGameLights(gameConf); }
