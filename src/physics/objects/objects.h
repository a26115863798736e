#pragma once
// The table object kinds: one reader per kind (outline + parameter section ->
// board object) and the handlers that react to board events. Kinetic objects
// move the ball (kinetic.cpp), routing objects decide where it goes
// (routing.cpp), switches are the targets that report to the rules
// (switches.cpp).
#include <cstddef>

#include "physics/board.h"

struct Sprite;
struct VBOBJ;

// ---- Readers: (reader number, layer, outline) -> 1 when they made the object ----

// kinetic.cpp
int wall_reader(int reader, int layer, Outline* outline);
int bumper_reader(int reader, int layer, Outline* outline);
int triangle_reader(int reader, int layer, Outline* outline);
int dropper_reader(int reader, int layer, Outline* outline);
int spring_reader(int reader, int layer, Outline* outline);
int saver_reader(int reader, int layer, Outline* outline);
int spinner_reader(int reader, int layer, Outline* outline);
int accel_reader(int reader, int layer, Outline* outline);
int accel2_reader(int reader, int layer, Outline* outline);
int flipper_reader(int reader, int layer, Outline* outline);
int cflipper_reader(int reader, int layer, Outline* outline);

// routing.cpp
int gate_reader(int reader, int layer, Outline* outline);
int gate2_reader(int reader, int layer, Outline* outline);
int portal_reader(int reader, int layer, Outline* outline);
int blocker_reader(int reader, int layer, Outline* outline);
int tunnel_reader(int reader, int layer, Outline* outline);
int sprdoor_reader(int reader, int layer, Outline* outline);
int mpoint_reader(int reader, int layer, Outline* outline);
int mavz_reader(int reader, int layer, Outline* outline);
int zona_reader(int reader, int layer, Outline* outline);
int ostlift_reader(int reader, int layer, Outline* outline);

// switches.cpp
int button_reader(int reader, int layer, Outline* outline);
int spiralbtn_reader(int reader, int layer, Outline* outline);
int ostbtn_reader(int reader, int layer, Outline* outline);
int zonabtn_reader(int reader, int layer, Outline* outline);
int gasbtn_reader(int reader, int layer, Outline* outline);
int dumagate_reader(int reader, int layer, Outline* outline);
int kremgate_reader(int reader, int layer, Outline* outline);
int hflap_reader(int reader, int layer, Outline* outline);
int mflap_reader(int reader, int layer, Outline* outline);
int trilights_reader(int reader, int layer, Outline* outline);

// ---- What objects offer each other and the rules ----

// Blockers (places 0 and 1).
void BLOCKER_CONTROL_UP(int place);
void BLOCKER_CONTROL_DOWN(int place);
// A lost ball: both blockers go down (rising ones too).
void blockersBallLost();
int blockerState(int place);  // 0 down, 1 rising, 2 up, 3 lowering; -1 for no blocker

// The prison-zone magnet: commands 0 open, 1 lift, 2 release, 3 close.
void ZONA_CONTROL(int command);
int zonaState();  // "gameZona"
// The zone holds a captured ball until it is released.
enum { ZONA_STATE_RELEASE_WAIT = 5 };
// Enables or disables the objects that work with the zona ("xpam_gate", "xpam_portal").
void ZONA_ENABLE_ASSOCIATED(int enable);

// The ball lock: starts releasing the stored balls (with its title).
void ostliftStartRelease();
int ostliftState();
int ostliftStored();

// The spring door's re-arm flag (set on a lost ball).
void sprdoorRearm();
int sprdoorRearmed();

// Pairs of held buttons, acted on by the rules as a whole (families
// FAM_OSTBTN and FAM_ZONABTN): light both idle ones, release held ones to
// hot, or start cooling held ones.
void buttonPairLight(int family);
void buttonPairRelease(int family);
void buttonPairCool(int family);

// Mausoleum flaps: the rules ask the mflaps to rise together.
void mflapRequestRise();

// The table's families and readers, in their fixed numbering, then
// objectsConnect. Returns the sum of the results of the family additions
// (negative when any failed).
int oprRegisterTable();
// Connects the objects to the rules and the session: the blockers' and
// spring door's trigger handlers take their places in the trigger dispatch,
// and a ball leaving the table reports to the session's trigger handler.
void objectsConnect();

// The game's game-over state, as the flippers and the plunger see it.
int tableGameOver();

// Puts a ball out of a tube onto its track: 0 the left tube, 1 the right.
void gameTubeBall(int index);

// Forgets every object kind's table-wide state (blockers, zona, ostlift,
// button groups ...); the start of each table load.
void objectsReset();

// ---- Reader helpers (opr.cpp) ----

// The section position of an outline.
void oprPosition(const Outline* outline, int* x, int* y);
// A zeroed parameter block, or null after
// "%s, object (%d,%d): not enough memory for parms".
void* oprAllocParms(const char* reader, const Outline* outline, size_t size);
// Shape data: zeroed, the outline copied into its start, k set.
ShapeData oprShapeData(const Outline* outline, double k);
// Steps common to every reader after the object was added: lmask from
// "lmask" (default 1 << layer) and, when "name" is set, the named-object
// registration with the board object and infoWord1 as its first two words.
void oprFinishObject(BoardObject* object, int layer, const Outline* outline, void* infoWord1);
