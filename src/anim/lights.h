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
#include <cstddef>
#include <cstdint>
#include <iterator>

struct ConfSet;
struct VBOBJ;

// The table's lamps in id order. The ids (LightId) and their names
// (LIGHT_NAMES) are both made from this one list, so a lamp cannot lose its
// name or get another's. 0..155 are the table's lamps; 156..255 exist but are
// unused.
#define LIGHT_ID_LIST(X) \
  X(LI_SAVER0_ARROW) X(LI_SAVER1_ARROW) \
  X(LI_KREMGATE0) X(LI_KREMGATE1) X(LI_KREMGATE2) X(LI_KREMGATE3) \
  X(LI_DUMAGATE0) X(LI_DUMAGATE1) X(LI_DUMAGATE2) X(LI_DUMAGATE3) \
  X(LI_USSR0) X(LI_USSR1) X(LI_USSR2) X(LI_USSR3) \
  X(LI_T1ARROW) X(LI_T2ARROW) X(LI_T3ARROW) X(LI_T4ARROW) X(LI_T5ARROW) \
  X(LI_T6ARROW) X(LI_T7ARROW) X(LI_T8ARROW) X(LI_T9ARROW) X(LI_T10ARROW) \
  X(LI_GP_P10) X(LI_GP_P20) X(LI_GP_P30) X(LI_GP_P40) X(LI_GP_P50) \
  X(LI_GP_P60) X(LI_GP_P70) X(LI_GP_P80) X(LI_GP_P90) X(LI_GP_P100) \
  X(LI_VIDEO) X(LI_CREDIT) X(LI_MSSELECT) X(LI_TV_GAS_TV) X(LI_TV_GAS_GAS) \
  X(LI_TAX0) X(LI_TAX1) X(LI_TAX2) X(LI_TAX3) \
  X(LI_XB0) X(LI_XB1) \
  X(LI_VYBORY) X(LI_QUESTION) X(LI_TAX_AVAIL) X(LI_LAW_AVAIL) X(LI_LAW_PRIZE) X(LI_UKAZY_PRIZE) X(LI_AMNESTY) \
  X(LI_LAW0) X(LI_LAW1) X(LI_LAW2) X(LI_LAW3) \
  X(LI_UKAZY0) X(LI_UKAZY1) X(LI_UKAZY2) X(LI_UKAZY3) \
  X(LI_MUMRA0) X(LI_MUMRA1) X(LI_MUMRA2) X(LI_MUMRA3) X(LI_MUMRA4) \
  X(LI_AMEN0) X(LI_AMEN1) X(LI_AMEN2) X(LI_AMEN3) X(LI_AMEN4) \
  X(LI_MOLNIA0) X(LI_MOLNIA1) X(LI_MOLNIA2) \
  X(LI_EXPORT) \
  X(LI_T1ARROW_COMM) X(LI_T2ARROW_COMM) X(LI_T4ARROW_COMM) X(LI_T5ARROW_COMM) X(LI_T7ARROW_COMM) X(LI_T8ARROW_COMM) \
  X(LI_T1ARROW_DICT) X(LI_T2ARROW_DICT) X(LI_T4ARROW_DICT) X(LI_T5ARROW_DICT) X(LI_T7ARROW_DICT) X(LI_T8ARROW_DICT) \
  X(LI_T1ARROW_DEMO) X(LI_T2ARROW_DEMO) X(LI_T4ARROW_DEMO) X(LI_T5ARROW_DEMO) X(LI_T7ARROW_DEMO) X(LI_T8ARROW_DEMO) \
  X(LI_PRES_2ND) X(LI_PRES_3RD) \
  X(LI_CHARISMA0) X(LI_CHARISMA1) X(LI_CHARISMA2) X(LI_CHARISMA3) X(LI_CHARISMA4) \
  X(LI_CHARISMA5) X(LI_CHARISMA6) X(LI_CHARISMA7) X(LI_CHARISMA8) X(LI_CHARISMA9) \
  X(LI_POWER0) X(LI_POWER1) X(LI_POWER2) X(LI_POWER3) X(LI_POWER4) \
  X(LI_POWER5) X(LI_POWER6) X(LI_POWER7) X(LI_POWER8) X(LI_POWER9) \
  X(LI_WEALTH0) X(LI_WEALTH1) X(LI_WEALTH2) X(LI_WEALTH3) X(LI_WEALTH4) \
  X(LI_WEALTH5) X(LI_WEALTH6) X(LI_WEALTH7) X(LI_WEALTH8) X(LI_WEALTH9) \
  X(LI_REKLAMA0) X(LI_REKLAMA1) X(LI_REKLAMA2) X(LI_REKLAMA3) X(LI_REKLAMA4) X(LI_REKLAMA5) X(LI_REKLAMA6) \
  X(LI_DUMA_BUMPER0) X(LI_DUMA_BUMPER1) X(LI_DUMA_BUMPER2) \
  X(LI_KREM_BUMPER0) X(LI_KREM_BUMPER1) X(LI_KREM_BUMPER2) \
  X(LI_ZONA_L0) X(LI_ZONA_L1) X(LI_ZONA_L2) X(LI_ZONA_L3) \
  X(LI_ZONA_L4) X(LI_ZONA_L5) X(LI_ZONA_L6) X(LI_ZONA_L7) \
  X(LI_ZONA_L8) X(LI_ZONA_L9) X(LI_ZONA_L10) X(LI_ZONA_L11) \
  X(LI_ZONA_L12) X(LI_ZONA_L13) X(LI_ZONA_L14) X(LI_ZONA_L15) \
  X(LI_CRANE_SPRING) X(LI_CRANE_T20) X(LI_CRANE_T22)

enum LightId : int {
#define LIGHT_ID_ENUM(id) id,
  LIGHT_ID_LIST(LIGHT_ID_ENUM)
#undef LIGHT_ID_ENUM
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
inline constexpr const char* LIGHT_NAMES[] = {
#define LIGHT_ID_NAME(id) #id,
    LIGHT_ID_LIST(LIGHT_ID_NAME)
#undef LIGHT_ID_NAME
};
static_assert(std::size(LIGHT_NAMES) == LI_LAST);
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

// Which sprite each table lamp shows. The builders above take it from a key
// of the game configuration; the table compiler draws every lamp's sprite to
// the place its builder loads it from.
enum LightSpriteKind {
  LIGHT_SPRITE_REGIME,  // the standard programs over a regime sprite ("data-<regime>/<name>")
  LIGHT_SPRITE_DATA,    // the standard programs over "data/<name>"
  LIGHT_SPRITE_BAR,     // one regime sprite of ten frames for a bar of ten lamps, lamp i showing frame i
  LIGHT_SPRITE_BUMPER,  // a flash up and down; the name is a path
  LIGHT_SPRITE_CRANE,   // an animation with frame 0 at rest; the name is a path
};
struct LightSprite {
  LightSpriteKind kind;
  const char* key;       // the game configuration's key of the sprite's name
  const char* fallback;  // the name when the key is missing
  int number;            // goes into the name's integer conversion; -1: the name stands as it is
};
// The sprite of a table lamp: 1 with *out set, 0 for an id without one.
int lightSprite(int light, LightSprite* out);
// The sprite's name as the builders make it from the game configuration
// (null: the defaults), cut to size.
void lightSpriteName(const LightSprite* sprite, ConfSet* game, char* out, size_t size);

// The blink generator: reads its periods from the game configuration and
// starts over (the first synlightUpdate afterwards only notes the time).
void synlightSetup(ConfSet* game);
// Raises the blink signals that are due at tmTime; call before lightUpdate.
void synlightUpdate();
