#include "game/mode.h"

#include "core/calls.h"
#include "game/game.h"
#include "game/mission.h"

int modeEvent(int mode, int event, int a, BoardObject* object) {
  rulesCallNote("modeEvent %d %d %d%s", mode, event, a, object ? " obj" : "");
  // DELIBERATE: the Duma vote (mode 6) takes the ball that left through the
  // Duma and releases it; until the vote is part of the game the ball is
  // released at once, as below a full quorum, so that no ball is ever lost
  // without being counted.
  if (mode == 6 && event == MEVT_BEGIN) gameRequestBall(1);
  if (mode == MODE_ALL || mode == MODE_MSEL) modeMsel(event, a, object);
  return 0;
}
