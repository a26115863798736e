#pragma once
// Lamps: every lamp of the table is a visual-board object whose frame is
// driven by a small program per lamp state. The rules only switch lamps to
// numbered states (lightSet); lightUpdate runs every lamp's program once per
// frame. The blink generator (synlightUpdate) raises numbered signals on a
// fixed rhythm, and the blink programs wait for them, so every blinking lamp
// of the table blinks in phase however late it was switched on.
//
// Program steps:
//   SetFrame(object, frame)  show that frame (-1: nothing); goes on
//   SetState(target)         switch the lamp to another state; stops the frame
//   Delay(ms)                waits until the time since the state was entered
//                            (or the last Delay ended) reaches ms; the overshoot
//                            is carried into the next Delay
//   Mark(m)                  remembers m; lightSet enters a state at the Mark
//                            given as the state's default mark
//   WaitSignal(s)            goes on only in a frame in which s was raised
//   Loop                     back to the first step, or into the after-loop
//                            state when one is pending; stops the frame
// A program that runs off its end keeps its last frame, unless an after-loop
// state is pending, which is entered from its first step at the next frame.
//
// Per frame (session loop): synlightUpdate(), then lightUpdate(frame delta).
#include <cstdint>

struct ConfSet;
struct VBOBJ;

// Lamp ids. 0..155 are the table's lamps; 156..255 exist but are unused.
enum LightId : int {
  LI_SAVER0_ARROW, LI_SAVER1_ARROW,
  LI_KREMGATE0, LI_KREMGATE1, LI_KREMGATE2, LI_KREMGATE3,
  LI_DUMAGATE0, LI_DUMAGATE1, LI_DUMAGATE2, LI_DUMAGATE3,
  LI_USSR0, LI_USSR1, LI_USSR2, LI_USSR3,
  LI_T1ARROW, LI_T2ARROW, LI_T3ARROW, LI_T4ARROW, LI_T5ARROW,
  LI_T6ARROW, LI_T7ARROW, LI_T8ARROW, LI_T9ARROW, LI_T10ARROW,
  LI_GP_P10, LI_GP_P20, LI_GP_P30, LI_GP_P40, LI_GP_P50,
  LI_GP_P60, LI_GP_P70, LI_GP_P80, LI_GP_P90, LI_GP_P100,
  LI_VIDEO, LI_CREDIT, LI_MSSELECT, LI_TV_GAS_TV, LI_TV_GAS_GAS,
  LI_TAX0, LI_TAX1, LI_TAX2, LI_TAX3,
  LI_XB0, LI_XB1,
  LI_VYBORY, LI_QUESTION, LI_TAX_AVAIL, LI_LAW_AVAIL, LI_LAW_PRIZE, LI_UKAZY_PRIZE, LI_AMNESTY,
  LI_LAW0, LI_LAW1, LI_LAW2, LI_LAW3,
  LI_UKAZY0, LI_UKAZY1, LI_UKAZY2, LI_UKAZY3,
  LI_MUMRA0, LI_MUMRA1, LI_MUMRA2, LI_MUMRA3, LI_MUMRA4,
  LI_AMEN0, LI_AMEN1, LI_AMEN2, LI_AMEN3, LI_AMEN4,
  LI_MOLNIA0, LI_MOLNIA1, LI_MOLNIA2,
  LI_EXPORT,
  LI_T1ARROW_COMM, LI_T2ARROW_COMM, LI_T4ARROW_COMM, LI_T5ARROW_COMM, LI_T7ARROW_COMM, LI_T8ARROW_COMM,
  LI_T1ARROW_DICT, LI_T2ARROW_DICT, LI_T4ARROW_DICT, LI_T5ARROW_DICT, LI_T7ARROW_DICT, LI_T8ARROW_DICT,
  LI_T1ARROW_DEMO, LI_T2ARROW_DEMO, LI_T4ARROW_DEMO, LI_T5ARROW_DEMO, LI_T7ARROW_DEMO, LI_T8ARROW_DEMO,
  LI_PRES_2ND, LI_PRES_3RD,
  LI_CHARISMA0, LI_CHARISMA1, LI_CHARISMA2, LI_CHARISMA3, LI_CHARISMA4,
  LI_CHARISMA5, LI_CHARISMA6, LI_CHARISMA7, LI_CHARISMA8, LI_CHARISMA9,
  LI_POWER0, LI_POWER1, LI_POWER2, LI_POWER3, LI_POWER4,
  LI_POWER5, LI_POWER6, LI_POWER7, LI_POWER8, LI_POWER9,
  LI_WEALTH0, LI_WEALTH1, LI_WEALTH2, LI_WEALTH3, LI_WEALTH4,
  LI_WEALTH5, LI_WEALTH6, LI_WEALTH7, LI_WEALTH8, LI_WEALTH9,
  LI_REKLAMA0, LI_REKLAMA1, LI_REKLAMA2, LI_REKLAMA3, LI_REKLAMA4, LI_REKLAMA5, LI_REKLAMA6,
  LI_DUMA_BUMPER0, LI_DUMA_BUMPER1, LI_DUMA_BUMPER2,
  LI_KREM_BUMPER0, LI_KREM_BUMPER1, LI_KREM_BUMPER2,
  LI_ZONA_L0, LI_ZONA_L1, LI_ZONA_L2, LI_ZONA_L3, LI_ZONA_L4, LI_ZONA_L5, LI_ZONA_L6, LI_ZONA_L7,
  LI_ZONA_L8, LI_ZONA_L9, LI_ZONA_L10, LI_ZONA_L11, LI_ZONA_L12, LI_ZONA_L13, LI_ZONA_L14, LI_ZONA_L15,
  LI_CRANE_SPRING, LI_CRANE_T20, LI_CRANE_T22,
  LI_LAST  // 156, the number of table lamps
};

enum {
  LIGHT_MAX = 256,        // lamp slots, ids 0..255
  LIGHT_STATES = 16,      // states 0..15 per lamp
  LIGHT_SIGNALS = 10,     // signals that can be raised in one frame
  LIGHT_MAX_NESTING = 100,
  LIGHT_STEPS_INITIAL = 8,  // a state's program starts with room for 8 steps
  LIGHT_STEPS_GROWTH = 4,   // and grows by 4
};

// The states of the standard programs; the other numbers are free for
// programs built by hand.
enum {
  LIGHT_OFF = 0,
  LIGHT_ON = 1,
  LIGHT_BLINK = 2,
  LIGHT_SLOW_BLINK = 3,
  LIGHT_FLASH = 13,
};

// Flags of createLight and createLightRDA.
enum {
  LIGHT_FLAG_NOT_SMART = 1,  // the object is not baked into the background
  LIGHT_FLAG_FLASH = 2,      // build the flash state (13)
  LIGHT_FLAG_ADDITIVE = 4,   // additive drawing; implies LIGHT_FLAG_NOT_SMART
};

// The LI_ names, by id.
inline constexpr const char* LIGHT_NAMES[LI_LAST] = {
    "LI_SAVER0_ARROW", "LI_SAVER1_ARROW", "LI_KREMGATE0", "LI_KREMGATE1", "LI_KREMGATE2", "LI_KREMGATE3",
    "LI_DUMAGATE0", "LI_DUMAGATE1", "LI_DUMAGATE2", "LI_DUMAGATE3", "LI_USSR0", "LI_USSR1", "LI_USSR2",
    "LI_USSR3", "LI_T1ARROW", "LI_T2ARROW", "LI_T3ARROW", "LI_T4ARROW", "LI_T5ARROW", "LI_T6ARROW",
    "LI_T7ARROW", "LI_T8ARROW", "LI_T9ARROW", "LI_T10ARROW", "LI_GP_P10", "LI_GP_P20", "LI_GP_P30",
    "LI_GP_P40", "LI_GP_P50", "LI_GP_P60", "LI_GP_P70", "LI_GP_P80", "LI_GP_P90", "LI_GP_P100", "LI_VIDEO",
    "LI_CREDIT", "LI_MSSELECT", "LI_TV_GAS_TV", "LI_TV_GAS_GAS", "LI_TAX0", "LI_TAX1", "LI_TAX2", "LI_TAX3",
    "LI_XB0", "LI_XB1", "LI_VYBORY", "LI_QUESTION", "LI_TAX_AVAIL", "LI_LAW_AVAIL", "LI_LAW_PRIZE",
    "LI_UKAZY_PRIZE", "LI_AMNESTY", "LI_LAW0", "LI_LAW1", "LI_LAW2", "LI_LAW3", "LI_UKAZY0", "LI_UKAZY1",
    "LI_UKAZY2", "LI_UKAZY3", "LI_MUMRA0", "LI_MUMRA1", "LI_MUMRA2", "LI_MUMRA3", "LI_MUMRA4", "LI_AMEN0",
    "LI_AMEN1", "LI_AMEN2", "LI_AMEN3", "LI_AMEN4", "LI_MOLNIA0", "LI_MOLNIA1", "LI_MOLNIA2", "LI_EXPORT",
    "LI_T1ARROW_COMM", "LI_T2ARROW_COMM", "LI_T4ARROW_COMM", "LI_T5ARROW_COMM", "LI_T7ARROW_COMM",
    "LI_T8ARROW_COMM", "LI_T1ARROW_DICT", "LI_T2ARROW_DICT", "LI_T4ARROW_DICT", "LI_T5ARROW_DICT",
    "LI_T7ARROW_DICT", "LI_T8ARROW_DICT", "LI_T1ARROW_DEMO", "LI_T2ARROW_DEMO", "LI_T4ARROW_DEMO",
    "LI_T5ARROW_DEMO", "LI_T7ARROW_DEMO", "LI_T8ARROW_DEMO", "LI_PRES_2ND", "LI_PRES_3RD", "LI_CHARISMA0",
    "LI_CHARISMA1", "LI_CHARISMA2", "LI_CHARISMA3", "LI_CHARISMA4", "LI_CHARISMA5", "LI_CHARISMA6",
    "LI_CHARISMA7", "LI_CHARISMA8", "LI_CHARISMA9", "LI_POWER0", "LI_POWER1", "LI_POWER2", "LI_POWER3",
    "LI_POWER4", "LI_POWER5", "LI_POWER6", "LI_POWER7", "LI_POWER8", "LI_POWER9", "LI_WEALTH0", "LI_WEALTH1",
    "LI_WEALTH2", "LI_WEALTH3", "LI_WEALTH4", "LI_WEALTH5", "LI_WEALTH6", "LI_WEALTH7", "LI_WEALTH8",
    "LI_WEALTH9", "LI_REKLAMA0", "LI_REKLAMA1", "LI_REKLAMA2", "LI_REKLAMA3", "LI_REKLAMA4", "LI_REKLAMA5",
    "LI_REKLAMA6", "LI_DUMA_BUMPER0", "LI_DUMA_BUMPER1", "LI_DUMA_BUMPER2", "LI_KREM_BUMPER0",
    "LI_KREM_BUMPER1", "LI_KREM_BUMPER2", "LI_ZONA_L0", "LI_ZONA_L1", "LI_ZONA_L2", "LI_ZONA_L3",
    "LI_ZONA_L4", "LI_ZONA_L5", "LI_ZONA_L6", "LI_ZONA_L7", "LI_ZONA_L8", "LI_ZONA_L9", "LI_ZONA_L10",
    "LI_ZONA_L11", "LI_ZONA_L12", "LI_ZONA_L13", "LI_ZONA_L14", "LI_ZONA_L15", "LI_CRANE_SPRING",
    "LI_CRANE_T20", "LI_CRANE_T22",
};
static_assert(LI_CHARISMA0 == 94 && LI_POWER0 == 104 && LI_WEALTH0 == 114 && LI_REKLAMA0 == 124);
static_assert(LI_DUMA_BUMPER0 == 131 && LI_ZONA_L0 == 137 && LI_CRANE_SPRING == 153 && LI_LAST == 156);

// The name function used in messages. Until one is installed (setupLights
// installs lightName) every lamp is called "<NOSID>".
using LightNameFn = const char* (*)(int light);
void lightSetNameFunc(LightNameFn fn);  // null restores "<NOSID>"
// The LI_ name for 0..155, "<dynamic>" for 156..255, "<invalid>" otherwise.
const char* lightName(int light);

// All slots empty and idle, all signal slots free. Programs and lamp sprites
// left from an earlier table are released first.
void lightInit();
// Releases every program and the sprites loaded by the lamp builders (those
// still in use); every lamp idle. For the end of a table session: the board
// objects of the lamps must not be drawn afterwards (free the board too).
void lightFree();
// Releases the lamp's programs and makes it idle; default marks become 0.
// 1, or 0 for an invalid id.
int lightClear(int light);

// Append one step to a state's program (created on first append).
void lightAppendSetFrame(int light, int state, VBOBJ* object, int frame);
void lightAppendSetState(int light, int state, int target);
void lightAppendDelay(int light, int state, int ms);
void lightAppendMark(int light, int state, int mark);
void lightAppendWaitSignal(int light, int state, int signal);
void lightAppendLoop(int light, int state);
// A free-running blink not tied to the signals: off ms, frame ms, Loop.
void lightAppendBlink(int light, int state, VBOBJ* object, int frame, int ms);

// Enters the state at once (at its default mark); its program runs from the
// next lightUpdate. 1, or 0 after a failed check.
int lightSet(int light, int state);
// 1 without doing anything when the lamp is already in that state.
int lightSetIfChanged(int light, int state);
int lightDefaultMark(int light, int state, int mark);
// The state entered at the next Loop step or at the end of the program.
int lightSetAfterLoop(int light, int state);
// The last Mark passed (-1: none); -1 for an invalid id.
int lightGetMark(int light);
// The pending after-loop state when there is one, else the current state;
// -1 for an id outside 0..255. "Is this lamp on or about to be on?"
int lightGetState(int light);
// The current state (-1: idle); -1 for an id outside 0..255.
int lightCurrentState(int light);
// The visual-board object of the lamp's first SetFrame step (in state
// order), or null.
VBOBJ* lightObject(int light);

// Raises a signal for this frame. 0, or -1 when all 10 slots are taken.
int lightSignal(int signal);
// Runs every lamp's program; dt is the frame's time step in milliseconds.
// The signals raised for this frame are dropped at the end.
void lightUpdate(double dt);
// Writes the lamp table to the log.
void lightList();

// Standard programs (off with fade-out, on with fade-in, blink, slow blink,
// optionally flash) over a sprite of N frames, drawn by a new visual-board
// object. createLight loads "data/<spriteFile>"; createLightRDA takes the
// sprite from the regime assets. name prefixes the lamp's own delay keys
// ("<name>.on_delay", "<name>.flash_delay") in the game configuration.
// The lamp ends in state 0. 1, or 0 after logging.
int createLight(int light, const char* spriteFile, const char* name, int flags, ConfSet* game);
int createLightRDA(int light, const char* spriteName, const char* name, int flags, ConfSet* game);

// The lamps the rules' object set-up builds (everything but the lamps of
// setupLights), in id order: the standard lamps, the three indicator bars
// and the prison-zone lamps. To be called by gameSetupObjects. 1 when every
// lamp was built, else 0 (failures are logged and building goes on).
int setupGameLights(ConfSet* game);
// Installs lightName, builds the crane, gate, saver, bumper and the other
// lamps the session owns, and registers the named procedures "crane_spring",
// "crane_t20" and "crane_t22". 1 when every lamp was built, else 0.
int setupLights(ConfSet* game);

// The blink generator: reads its periods from the game configuration and
// starts over (the first synlightUpdate afterwards only notes the time).
void synlightSetup(ConfSet* game);
// Raises the blink signals that are due at tmTime; call before lightUpdate.
void synlightUpdate();
