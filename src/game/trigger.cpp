#include "game/trigger.h"

#include "anim/lights.h"
#include "core/log.h"
#include "game/game.h"
#include "physics/objects.h"
#include "sound/fx.h"

namespace {

using Handler = void (*)(int);
constexpr Handler kHandlers[] = {BLOCKER_TRIGGER, GAME_TRIGGER,  MILE3_TRIGGER,
                                 MSYM_TRIGGER,    MUSIC_TRIGGER, SPRDOOR_TRIGGER};

int (*gSessionActions)(int) = nullptr;

void trace(int trigger, const char* handler, bool handled) {
  logPrint("tr %s -> %s%s", triggerName(trigger), handler, handled ? "" : " (ignored)");
}

// The music of "play m" and "position p".
void play(int slot) { fxPlayModule(slot); }
void position(int order) { fxSetModulePosition(order, 0); }

}  // namespace

const char* triggerName(int trigger) {
  return trigger >= 0 && trigger < TR_LAST ? TRIGGER_NAMES[trigger] : "<invalid>";
}

void all_triggers(int trigger) {
  logPrint("--- all_triggers %d/%s ---", trigger, triggerName(trigger));
  for (Handler h : kHandlers) h(trigger);
}

void triggerSetSessionActions(int (*actions)(int)) { gSessionActions = actions; }

// Lowering the blockers belongs to the blocker objects of the table.
void BLOCKER_TRIGGER(int trigger) {
  logPrint("%s: event %d/%s", "BLOCKER_TRIGGER()", trigger, triggerName(trigger));
  if (trigger == TR_BALL_LOST) blockersBallLost();
}

void GAME_TRIGGER(int trigger) {
  bool handled = trigger == TR_BALL_LOST;
  if (handled) {
    lightSet(LI_XB0, 0);
    lightSet(LI_XB1, 0);
  }
  trace(trigger, "GAME_TRIGGER()", handled);
}

void MILE3_TRIGGER(int trigger) {
  bool handled = gSessionActions && trigger >= 0 && trigger < TR_LAST && gSessionActions(trigger);
  trace(trigger, "MILE3_TRIGGER()", handled);
}

// The mission symbols explode when the elections begin; the symbols come with
// the missions.
void MSYM_TRIGGER(int trigger) { trace(trigger, "MSYM_TRIGGER()", trigger == TR_PRES_BEGIN); }

void MUSIC_TRIGGER(int trigger) {
  const int regime = game.regime;
  const int mission = game.mission;
  bool handled = true;
  switch (trigger) {
    case TR_NEW_BALL: play(regime); position(0); break;
    case TR_BALL_IN: {
      int order = 0, row = 0;
      fxGetModulePosition(&order, &row);
      if (order == 0) position(1);
      break;
    }
    case TR_BALL_LOST: fxStopModule(); break;
    case TR_MISSION_BEGIN:
      if (mission == MISSION_ELECTIONS) break;
      position(mission >= MISSION_CRISIS_FIRST && mission <= MISSION_CRISIS_LAST ? 31 : 20);
      break;
    case TR_MISSION_COMPLETE:
    case TR_MISSION_ABORT:
      if (mission != MISSION_ELECTIONS) position(1);
      break;
    case TR_PRES_VOTE: play(3); break;
    case TR_PRES_END:
    case TR_NEW_REGIME:
    case TR_SG_END: play(regime); position(1); break;
    case TR_MENU: play(3); position(31); break;
    case TR_MENU_CREDITS: play(4); position(0); break;
    case TR_MENU_START: position(41); break;
    case TR_GAME_BEGIN: play(regime); position(0); break;
    case TR_GAME_OVER: play(4); position(0); break;
    case TR_SG_BOXING: play(5); position(0); break;
    case TR_SG_DEPUTY: play(6); position(0); break;
    case TR_SG_OLIGARCH: play(7); position(0); break;
    default: handled = false; break;
  }
  trace(trigger, "MUSIC_TRIGGER()", handled);
}

// Re-arming the spring door belongs to the spring-door object of the table.
void SPRDOOR_TRIGGER(int trigger) {
  if (trigger == TR_BALL_LOST) sprdoorRearm();
  trace(trigger, "SPRDOOR_TRIGGER()", true);
}
