#include "game/trigger.h"

#include "anim/lights.h"
#include "core/log.h"
#include "game/game.h"
#include "game/mission.h"
#include "sound/fx.h"

namespace {

using Handler = void (*)(int);
// The handlers that live with the table objects sit in the dispatch order
// at their slots, filled by triggerSetHandler; an empty slot is skipped.
Handler gSlots[TRIGGER_SLOTS] = {};
struct Entry {
  Handler fixed;
  int slot;
};
constexpr Entry kHandlers[] = {{nullptr, TRIGGER_SLOT_BLOCKER}, {GAME_TRIGGER, -1},  {MILE3_TRIGGER, -1},
                               {MSYM_TRIGGER, -1},              {MUSIC_TRIGGER, -1}, {nullptr, TRIGGER_SLOT_SPRDOOR}};

int (*gSessionActions)(int) = nullptr;


// The music of "play m" and "position p".
void play(int slot) { fxPlayModule(slot); }
void position(int order) { fxSetModulePosition(order, 0); }

}  // namespace

void triggerTrace(int trigger, const char* handler, bool handled) {
  logPrint("tr %s -> %s%s", triggerName(trigger), handler, handled ? "" : " (ignored)");
}

void triggerSetHandler(TriggerSlot slot, void (*handler)(int trigger)) {
  if (slot >= 0 && slot < TRIGGER_SLOTS) gSlots[slot] = handler;
}

const char* triggerName(int trigger) {
  return trigger >= 0 && trigger < TR_LAST ? TRIGGER_NAMES[trigger] : "<invalid>";
}

void all_triggers(int trigger) {
  logPrint("--- all_triggers %d/%s ---", trigger, triggerName(trigger));
  for (const Entry& e : kHandlers) {
    Handler h = e.slot >= 0 ? gSlots[e.slot] : e.fixed;
    if (h) h(trigger);
  }
}

void triggerSetSessionActions(int (*actions)(int)) { gSessionActions = actions; }

void GAME_TRIGGER(int trigger) {
  bool handled = trigger == TR_BALL_LOST;
  if (handled) {
    lightSet(LI_XB0, 0);
    lightSet(LI_XB1, 0);
  }
  triggerTrace(trigger, "GAME_TRIGGER()", handled);
}

void MILE3_TRIGGER(int trigger) {
  bool handled = gSessionActions && trigger >= 0 && trigger < TR_LAST && gSessionActions(trigger);
  triggerTrace(trigger, "MILE3_TRIGGER()", handled);
}

// The mission symbols explode when the elections begin; the symbols come with
// the missions.
void MSYM_TRIGGER(int trigger) {
  triggerTrace(trigger, "MSYM_TRIGGER()", trigger == TR_PRES_BEGIN);
  if (trigger == TR_PRES_BEGIN) missionSymbolsExplodeAll();
}

void MUSIC_TRIGGER(int trigger) {
  const int regime = game.regime;
  const int mission = game.mission;
  bool handled = true;
  switch (trigger) {
    case TR_NEW_BALL: play(regime); position(MUSIC_ORDER_INTRO); break;
    case TR_BALL_IN: {
      int order = 0, row = 0;
      fxGetModulePosition(&order, &row);
      if (order == MUSIC_ORDER_INTRO) position(MUSIC_ORDER_PLAY);
      break;
    }
    case TR_BALL_LOST: fxStopModule(); break;
    case TR_MISSION_BEGIN:
      if (mission == MISSION_ELECTIONS) break;
      position(mission >= MISSION_CRISIS_FIRST && mission <= MISSION_CRISIS_LAST ? MUSIC_ORDER_CRISIS
                                                                                   : MUSIC_ORDER_MISSION);
      break;
    case TR_MISSION_COMPLETE:
    case TR_MISSION_ABORT:
      if (mission != MISSION_ELECTIONS) position(MUSIC_ORDER_PLAY);
      break;
    case TR_PRES_VOTE: play(MUSIC_PRES); break;
    case TR_PRES_END:
    case TR_NEW_REGIME:
    case TR_SG_END: play(regime); position(MUSIC_ORDER_PLAY); break;
    case TR_MENU: play(MUSIC_PRES); position(MUSIC_ORDER_CRISIS); break;
    case TR_MENU_CREDITS: play(MUSIC_CREDITS); position(MUSIC_ORDER_INTRO); break;
    case TR_MENU_START: position(MUSIC_ORDER_MENU_START); break;
    case TR_GAME_BEGIN: play(regime); position(MUSIC_ORDER_INTRO); break;
    case TR_GAME_OVER: play(MUSIC_CREDITS); position(MUSIC_ORDER_INTRO); break;
    case TR_SG_BOXING: play(MUSIC_BOXING); position(MUSIC_ORDER_INTRO); break;
    case TR_SG_DEPUTY: play(MUSIC_DEPUTY); position(MUSIC_ORDER_INTRO); break;
    case TR_SG_OLIGARCH: play(MUSIC_OLIGARCH); position(MUSIC_ORDER_INTRO); break;
    default: handled = false; break;
  }
  triggerTrace(trigger, "MUSIC_TRIGGER()", handled);
}
