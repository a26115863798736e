#pragma once
// Triggers: the game-wide events (a ball is lost, a game begins, a subgame
// starts ...). A trigger is broadcast to every handler by all_triggers or sent
// to one handler directly; each handler reacts to the triggers it cares
// about and writes one trace line either way.
#include <iterator>

// The triggers in number order (TR_LEAVE_DUMA is 0, TR_SG_END 22). The
// numbers (Trigger) and the names (TRIGGER_NAMES) are both made from this one
// list, so a trigger cannot lose its name or get another's.
#define TRIGGER_LIST(X) \
  /*  0 */ X(TR_LEAVE_DUMA) X(TR_LEAVE_CENTER) X(TR_LEAVE_GASPROM) \
  /*  3 */ X(TR_NEW_BALL) X(TR_BALL_IN) X(TR_BALL_LOST) \
  /*  6 */ X(TR_MISSION_BEGIN) X(TR_MISSION_COMPLETE) X(TR_MISSION_ABORT) \
  /*  9 */ X(TR_PRES_BEGIN) X(TR_PRES_VOTE) X(TR_PRES_END) \
  /* 12 */ X(TR_NEW_REGIME) \
  /* 13 */ X(TR_MENU) X(TR_MENU_CREDITS) X(TR_MENU_START) X(TR_MENU_QUIT) \
  /* 17 */ X(TR_GAME_BEGIN) X(TR_GAME_OVER) \
  /* 19 */ X(TR_SG_BOXING) X(TR_SG_DEPUTY) X(TR_SG_OLIGARCH) X(TR_SG_END)

enum Trigger {
#define TRIGGER_ENUM(id) id,
  TRIGGER_LIST(TRIGGER_ENUM)
#undef TRIGGER_ENUM
  TR_LAST  // 23, the number of triggers
};

// The TR_ names, by number.
inline constexpr const char* TRIGGER_NAMES[] = {
#define TRIGGER_NAME(id) #id,
    TRIGGER_LIST(TRIGGER_NAME)
#undef TRIGGER_NAME
};
static_assert(std::size(TRIGGER_NAMES) == TR_LAST);
static_assert(TR_NEW_BALL == 3 && TR_MISSION_BEGIN == 6 && TR_PRES_BEGIN == 9 && TR_NEW_REGIME == 12);
static_assert(TR_MENU == 13 && TR_GAME_BEGIN == 17 && TR_SG_BOXING == 19 && TR_SG_END == 22 && TR_LAST == 23);

// Mission numbers the music cares about.
enum { MISSION_ELECTIONS = 5, MISSION_CRISIS_FIRST = 7, MISSION_CRISIS_LAST = 10 };

// "<invalid>" outside 0..22.
const char* triggerName(int trigger);
void all_triggers(int trigger);

// The handlers, in the order all_triggers calls them: BLOCKER_TRIGGER,
// GAME_TRIGGER, MILE3_TRIGGER, MSYM_TRIGGER, MUSIC_TRIGGER, SPRDOOR_TRIGGER.
// The blockers' and the spring door's handlers belong to the table objects,
// which install them in their slots (objectsConnect).
void GAME_TRIGGER(int trigger);
void MILE3_TRIGGER(int trigger);
void MSYM_TRIGGER(int trigger);
void MUSIC_TRIGGER(int trigger);
enum TriggerSlot { TRIGGER_SLOT_BLOCKER, TRIGGER_SLOT_SPRDOOR, TRIGGER_SLOTS };
// Installs a handler in its slot of the dispatch order (null empties it).
void triggerSetHandler(TriggerSlot slot, void (*handler)(int trigger));
// The trace line every handler writes: "tr %s -> %s%s".
void triggerTrace(int trigger, const char* handler, bool handled);

// The session's own actions for MILE3_TRIGGER; installed while a table
// session runs (outside one the handler ignores every trigger). The session
// returns 1 when it handled the trigger.
void triggerSetSessionActions(int (*actions)(int trigger));
