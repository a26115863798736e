#include "game/game.h"

#include "anim/lights.h"
#include "core/log.h"
#include "game/trigger.h"

namespace {

GameState initialState(int regime) {
  GameState g{};
  g.regime = regime;
  g.pendingRegime = -1;
  g.ballsLeft = GAME_BALLS;
  g.requestedSubgame = -1;
  g.mission = -1;
  g.presTerm = 1;
  g.taxMultiplier = 1;
  g.year = 2000.0;
  return g;
}

}  // namespace

GameState game = initialState(REGIME_COMM);

void gameReset() { game = initialState(game.regime); }

int gameSubgamePending() { return game.subgameQueue > 0 || game.requestedSubgame >= 0; }

void gameRaiseSaveTime(double seconds) {
  if (game.saveTime < seconds) game.saveTime = seconds > 120 ? 120 : seconds;
}

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
