#include "game/mode.h"

#include "core/calls.h"

int modeEvent(int mode, int event, int a, BoardObject* object) {
  rulesCallNote("modeEvent %d %d %d%s", mode, event, a, object ? " obj" : "");
  return 0;
}
