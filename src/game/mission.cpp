#include "game/mission.h"

#include "core/calls.h"
#include "game/game.h"

void missionEvent(int event, int a, int b) {
  if (game.mission < 0) return;
  rulesCallNote("missionEvent %d %d %d", event, a, b);
}

int missionCurrent() { return game.mission; }

// The mission points' entries come with the missions; until then no point
// is armed.
int missionPointReady(int place) {
  rulesCallNote("missionPointReady %d", place);
  return 0;
}

void missionPointSelect(int place) { rulesCallNote("missionPointSelect %d", place); }

void missionStart(int mission) { rulesCallNote("missionStart %d", mission); }
void missionAbort() { rulesCallNote("missionAbort"); }
void missionSymbolsStep() {}
