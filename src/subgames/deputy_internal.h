#pragma once
// The shooting gallery's inner workings, for its tests: the settings record
// the preload fills, the gun and the four deputies, and the per-frame updates
// that drive them. The updates work on plain records: a test fills a small
// settings record and frame counts, leaves the board objects null, and
// listens to the sounds through the gallery's sound calls.
#include <cstdint>

#include "subgames/deputy.h"

struct Sprite;
struct VBOBJ;

enum {
  DEPUTY_COUNT = 4,  // figures on the square at a time
  DEPUTY_KINDS = 4,
  DEPUTY_PATH_SIZE = 256,
  DEPUTY_SHOTS_PER_LOAD = 2,  // a reload follows every second shot
};

// The four kinds of figure: 0 and 1 come from the right and fall to the
// right gun, 2 and 3 from the left to the left gun; 0 and 2 are small, 1 and
// 3 big.
enum {
  DEPUTY_RIGHT_SMALL = 0,
  DEPUTY_RIGHT_BIG = 1,
  DEPUTY_LEFT_SMALL = 2,
  DEPUTY_LEFT_BIG = 3,
};
enum { DEPUTY_SIDE_LEFT = 0, DEPUTY_SIDE_RIGHT = 1 };
enum { DEPUTY_SMALL = 0, DEPUTY_BIG = 1 };
inline int deputyKindSide(int kind) { return kind < 2 ? DEPUTY_SIDE_RIGHT : DEPUTY_SIDE_LEFT; }
inline int deputyKindSize(int kind) { return kind & 1 ? DEPUTY_BIG : DEPUTY_SMALL; }

enum DeputyState { DEPUTY_WAITING = 0, DEPUTY_RUNNING = 1, DEPUTY_DYING = 2 };
enum GunState { GUN_READY = 0, GUN_RELOADING = 1, GUN_FIRING_LEFT = 2, GUN_FIRING_RIGHT = 3 };
// The gun's three sprites.
enum { GUN_SPRITE_LEFT = 0, GUN_SPRITE_RIGHT = 1, GUN_SPRITE_RELOAD = 2, GUN_SPRITES = 3 };

struct DeputyKindSettings {
  char runFile[DEPUTY_PATH_SIZE];
  char dieFile[DEPUTY_PATH_SIZE];
  int dx, dy;  // from the gallery's corner
};

// Volumes 0..100 and pannings -100..100. [size] is DEPUTY_SMALL ("man1") or
// DEPUTY_BIG ("man2"), [side] DEPUTY_SIDE_LEFT or DEPUTY_SIDE_RIGHT.
struct DeputySoundSettings {
  int runVolume[2], dieVolume[2];
  int missVolume, shootVolume, reloadVolume;
  int runPanning[2][2], diePanning[2][2];
  int missPanning[2], shootPanning[2];
  int reloadPanning;
};

struct DeputySettings {
  char imageFile[DEPUTY_PATH_SIZE];  // read, not shown
  int numBullets;
  int scrDx, scrDy, scrWidth, scrHeight;
  int framerate;
  int deputyStill;     // extra frames each picture of a figure is held
  int deputyMaxwait;   // a waiting figure waits 0..maxwait-1 frames
  int bigProbability;  // percent of big figures
  int dieMinframe, dieMaxframe;  // run pictures in which a figure can be hit
  char backFile[DEPUTY_PATH_SIZE];
  int backStill;
  char cornersFile[DEPUTY_PATH_SIZE];
  char smokeFile[DEPUTY_PATH_SIZE];
  int smokeStill, smokeDx, smokeDy;
  int gunStill;                 // frames each picture of a shot is held
  int fireFirst, fireLast;      // shot pictures: the report at the first, hits in between
  char gunFile[GUN_SPRITES][DEPUTY_PATH_SIZE];
  int gunDx[GUN_SPRITES], gunDy[GUN_SPRITES];
  int reloadStill;
  DeputyKindSettings kinds[DEPUTY_KINDS];
  DeputySoundSettings sound;
};

// Every setting at its default.
void deputySettingsDefaults(DeputySettings* s);
// The settings the last preload read (the run plays with these; tests may
// change them between the preload and the run).
DeputySettings* deputySettings();

// How the gallery makes its sounds: the fx calls in play, a recorder in tests.
struct DeputySoundCalls {
  uint32_t (*play)(int id, int volume, int panning, int loop);
  int (*stop)(uint32_t channel);
};

struct DeputyGun {
  int state;               // GunState
  int hold;                // frames the picture has been held
  int frame;
  int shotsBeforeReload;
  int missed;              // the shot has hit nobody yet
  VBOBJ* obj;              // layer 3, or null
};

struct Deputy {
  int state;         // DeputyState
  int count;         // waiting: frames left to wait; running and dying: frames the picture was held
  int kind;
  int frame;
  uint32_t channel;  // its running sound, 0 when none
  VBOBJ* obj;        // layer 1, or null
};

struct DeputyGallery {
  const DeputySettings* set;
  DeputySoundCalls sound;
  Sprite* gunSprite[GUN_SPRITES];  // may be null where the frame counts are given
  int gunFrames[GUN_SPRITES];
  Sprite* run[DEPUTY_KINDS];
  Sprite* die[DEPUTY_KINDS];
  int runFrames[DEPUTY_KINDS], dieFrames[DEPUTY_KINDS];
  DeputyGun gun;
  Deputy deputies[DEPUTY_COUNT];
  int bulletsLeft;
  int killedSmall, killedBig;
};

// The start of a round: the gun ready with two shots before a reload, all
// bullets, no kills, every figure waiting its random time, hidden. The
// sprites, frame counts, sound calls and objects stay as the caller set them.
void deputyGalleryStart(DeputyGallery* g);
// A random wait of 0..deputy_maxwait-1 frames.
int deputyRandomWait(const DeputySettings* s);
// One frame of the gun with the frame's keys.
void UPDATE_GUN(DeputyGallery* g, const SgKeys* keys);
// One frame of a figure.
void UPDATE_DEPUTY(DeputyGallery* g, Deputy* d);

// The round being played, null outside SG_DEPUTY_RUN (for a test's player
// that looks at the figures while a run goes on).
const DeputyGallery* deputyRunning();
