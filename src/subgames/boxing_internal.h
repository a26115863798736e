#pragma once
// The boxing match's records and its tick logic, reachable for the tests:
// the boxers' state machine, the computer's decision and one whole tick of
// the match run on plain records, with or without sprites and sound.
#include "gfx/sprite.h"
#include "subgames/boxing.h"

struct VBOBJ;

enum {
  BOX_PERSONS = 3,  // 0 drol, 1 vesk, 2 tarok
  BOX_LEFT = 0,     // the player's side
  BOX_RIGHT = 1,    // the computer's side
};

// A person's animations.
enum {
  BOX_ANIM_NONE = -1,
  BOX_ANIM_STAND = 0,
  BOX_ANIM_WALK1,
  BOX_ANIM_HIT1,
  BOX_ANIM_HIT2,
  BOX_ANIM_BOOM1,
  BOX_ANIM_KNOCKOUT1,
  BOX_ANIM_KNOCKOUT2,
  BOX_ANIMS,
};

// Boxer states.
enum {
  BOX_STAND = 0,
  BOX_WALK_FORWARD = 1,
  BOX_WALK_BACK = 2,
  BOX_PUNCH = 3,
  BOX_HIT = 4,
  BOX_KNOCKED_OUT = 5,
  BOX_OUT = 6,  // after the knockout animation: the match ends
};

// The sounds a boxer's tick asks for, in the order of a person's samples.
enum {
  BOX_SOUND_NONE = -1,
  BOX_SOUND_HIT1 = 0,
  BOX_SOUND_HIT2,
  BOX_SOUND_BOOM,
  BOX_SOUND_KNOCKOUT,
  BOX_SOUNDS,
};

// Spark kinds.
enum { BOX_SPARK_NONE = 0, BOX_SPARK_LIGHT = 1, BOX_SPARK_HEAVY = 2 };

struct BoxAnim {
  SprOwned sprite;  // empty in tests of the logic
  int frames;       // frame count
  int dx, dy;       // anchor
};

struct BoxPerson {
  BoxAnim anim[BOX_ANIMS];
  int walkFdx;      // per-frame shift of the walking animation when drawn
  int walkStep;     // ring distance walked per tick
  int hitFrame[2];  // landing frame of hit 1 and hit 2
  int hitX[2];      // reach: a blow lands when the boxers are closer than this
  int hitY[2];      // window row of the spark
  int kiIncrease;   // ki regained per tick while standing or walking
  int hitStrength;
  double hitResistance;  // fraction of incoming strength absorbed
};

struct Boxer {
  int side;    // BOX_LEFT or BOX_RIGHT
  int person;  // 0..2
  int x;       // ring coordinate
  int state;
  int frame;
  int health;         // starts at 100
  int ki;             // 0..100, starts at 100
  int hitKind;        // 0 hit 1, 1 hit 2
  int heavyKnockout;  // the finishing blow did more than 9 damage
  BoxPerson p;
  // This tick's requests.
  int forward, back;
  int punch;  // 0 none, 1 hit 1, 2 hit 2
  // What the last tick showed (the frame at its entry) and the sound it
  // asked for.
  int shownAnim, shownFrame;
  int sound;
  VBOBJ* obj;
};

struct BoxSpark {
  int kind;            // BOX_SPARK_*
  int frame;           // -1 at load
  int x, y;            // ring x and window row of the blow
  SprOwned sprite[2];  // light, heavy
  int frames[2];
  int dx[2], dy[2];
  VBOBJ* obj;
};

// What the ticks need of the ring.
struct BoxRing {
  int width;    // of the ring (background frame 0)
  int limitDx;  // margin at the ring's ends
  int minDist;  // closest the boxers come walking in
  int boomDx;   // push-back of a hit boxer
  int aiMinHitKi;
};

struct BoxMatch {
  BoxRing ring;
  Boxer boxer[2];  // BOX_LEFT the player, BOX_RIGHT the computer
  BoxSpark spark;
  int playSounds;  // 0: ticks only record their sounds (tests of the logic)
  int camera;      // ring x of the window's left edge
};

// A boxer of a person, standing, with full health and ki, and no sprites
// loaded (the logic tests' fixture; LOAD_BOXER fills the rest).
void boxInitBoxer(Boxer* b, const BoxPerson* person, int side, int x);

// One tick of a boxer's state machine on the records (UPDATE_BOXER without
// the board and the sound output): the requests in *b decide; a blow that
// lands changes *other and starts *spark.
void boxTick(const BoxRing* ring, Boxer* b, Boxer* other, BoxSpark* spark);
// The computer's requests for this tick, from the player's state.
void boxDecide(const BoxRing* ring, Boxer* computer, const Boxer* player);
// Ki regained at the end of a tick (standing or walking only).
void boxRegainKi(Boxer* b);
// The whole tick of the match: the player's requests from the three keys,
// his update, the computer's decision and update, ki regain, the spark.
void boxMatchTick(BoxMatch* m, int forward, int back, int punch);
// 1 when either boxer's knockout animation has finished.
int boxMatchOver(const BoxMatch* m);

// The match being played (during SG_BOXING_RUN), or the last one played:
// for tests that watch a run from the host.
const BoxMatch* boxCurrentMatch();

// The state machine, one tick with its board object and sound; the spark's
// tick. The match uses these with its own records.
void UPDATE_BOXER(BoxMatch* m, Boxer* b, Boxer* other);
void UPDATE_SPARK(BoxMatch* m, BoxSpark* spark);

// Loading from the configuration SG_BOXING_PRELOAD read: a boxer of a
// person (0..2) on a side, with his sprites and his object on the current
// board; the spark. 0, or -1 after the message chain (nothing kept).
int LOAD_BOXER(Boxer* b, int person, int side);
int LOAD_SPARK(BoxSpark* spark);
// Deletes the boxer's object and frees his sprites.
void boxFreeBoxer(Boxer* b);
