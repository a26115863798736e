#pragma once
// Triggers: the game-wide events (a ball is lost, a game begins, a subgame
// starts ...). A trigger is broadcast to every handler by all_triggers or sent
// to one handler directly; each handler reacts to the triggers it cares
// about and writes one trace line either way.

enum Trigger {
  TR_LEAVE_DUMA = 0,
  TR_LEAVE_CENTER = 1,
  TR_LEAVE_GASPROM = 2,
  TR_NEW_BALL = 3,
  TR_BALL_IN = 4,
  TR_BALL_LOST = 5,
  TR_MISSION_BEGIN = 6,
  TR_MISSION_COMPLETE = 7,
  TR_MISSION_ABORT = 8,
  TR_PRES_BEGIN = 9,
  TR_PRES_VOTE = 10,
  TR_PRES_END = 11,
  TR_NEW_REGIME = 12,
  TR_MENU = 13,
  TR_MENU_CREDITS = 14,
  TR_MENU_START = 15,
  TR_MENU_QUIT = 16,
  TR_GAME_BEGIN = 17,
  TR_GAME_OVER = 18,
  TR_SG_BOXING = 19,
  TR_SG_DEPUTY = 20,
  TR_SG_OLIGARCH = 21,
  TR_SG_END = 22,
  TR_LAST = 23,
};

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
