#pragma once
// Gold catching, inside: the settings, the rules' state and the pictures of
// a run, and the steps of the game, so that tests can drive the rules with a
// small state record (no pictures: scene null) or look at a run's state
// from a test player.
#include "subgames/oligarch.h"

struct Sprite;
struct VBOBJ;

enum {
  OL_CHUTES = 4,          // 0 upper left, 1 upper right, 2 lower left, 3 lower right
  OL_BARS = 16,           // bar slots, and the most bars that may roll at once
  OL_DROPPED = 4,         // broken-bar slots
  OL_DROPPED_KINDS = 2,   // broken in two, broken into coins
  OL_DECORATIONS = 3,     // per chute: the face, the wheel ("trans"), the cloud
  OL_MAX_LIVES = 10,      // life icons
  OL_DIGITS = 10,         // digit objects of the score
  OL_LAST_STEP = 4,       // a bar shows frames 0..4 on its way; above 4 it has arrived
  OL_PATH_SIZE = 260,
};

// Scan codes of the keys that move the figure.
enum {
  OL_SCAN_UPPER_LEFT = 71,   // keypad 7
  OL_SCAN_UP = 72,
  OL_SCAN_UPPER_RIGHT = 73,  // keypad 9
  OL_SCAN_LEFT = 75,
  OL_SCAN_RIGHT = 77,
  OL_SCAN_LOWER_LEFT = 79,   // keypad 1
  OL_SCAN_DOWN = 80,
  OL_SCAN_LOWER_RIGHT = 81,  // keypad 3
};

// The settings of conf/oligarch.conf, read by the preload.
struct OlDecorationSet {
  char file[OL_PATH_SIZE];
  int dx, dy, delay, mirror;
};
struct OlChuteSet {
  char goldFile[OL_PATH_SIZE];
  int goldDx, goldDy, goldMirror;
  OlDecorationSet decoration[OL_DECORATIONS];
};
struct OlDroppedSet {
  char file[OL_PATH_SIZE];
  int ldx, ldy, rdx, rdy, delay;
};
struct OlSettings {
  int scrDx, scrDy, scrWidth, scrHeight;
  int framerate, moveTime, maxGolds, goldsLeft, goldIncrease;
  int speed, speedIncrease, goldDist, goldChance;  // read, not used by the game
  char cornersFile[OL_PATH_SIZE], bodyFile[OL_PATH_SIZE], headFile[3][OL_PATH_SIZE];
  char backFile[OL_PATH_SIZE], gleftFile[OL_PATH_SIZE], digitsFile[OL_PATH_SIZE];
  int bodyDx, bodyDy;
  int gleftDx, gleftDy, gleftStep;
  int digitsDx, digitsDy, digitsStep, digitStep[10];
  OlChuteSet chute[OL_CHUTES];
  OlDroppedSet dropped[OL_DROPPED_KINDS];
  int volume[3], panning[3];  // by sample slot: body move, gold catch, gold break
};
// The settings the last preload read (defaults before one).
const OlSettings* oligarchSettings();

// The pictures of a run: sprites and board objects.
struct OlScene {
  Sprite* corners;
  Sprite* body;
  Sprite* head;
  Sprite* back;
  Sprite* gleft;
  Sprite* digits;
  Sprite* gold[OL_CHUTES];
  Sprite* decoration[OL_CHUTES][OL_DECORATIONS];
  Sprite* dropped[OL_DROPPED_KINDS];
  VBOBJ* cornerObj[4];
  VBOBJ* backObj;
  VBOBJ* bodyObj;
  VBOBJ* headObj;
  VBOBJ* decorationObj[OL_CHUTES][OL_DECORATIONS];
  double decorationChange[OL_CHUTES][OL_DECORATIONS];  // game time of the last frame change
  VBOBJ* barObj[OL_BARS];
  VBOBJ* droppedObj[OL_DROPPED];
  VBOBJ* lifeObj[OL_MAX_LIVES];
  VBOBJ* digitObj[OL_DIGITS];
};

struct OlBar {
  int active;
  int done;   // arrived: hidden, its slot is freed at the next tick
  int chute;
  int step;   // 0..5
};
struct OlDropped {
  int active;
  int kind;    // 0 or 1: which broken-bar picture
  int frame;
  int frames;  // frames of its picture (1 without a scene)
  int delay;   // milliseconds a frame stays
  double lastChange;
};

struct OlGame {
  int goldIncrease;  // catches that raise the bars rolling at once by one
  int moveTime;      // milliseconds between ticks
  int position;      // 0..3: the chute end the figure stands at
  int caught;
  int lives;
  int maxBars;       // bars that may roll at once
  int untilMore;     // catches until one more bar may roll
  int over;          // the last broken bar of the last life has finished
  double lastTick;
  OlBar bars[OL_BARS];
  OlDropped dropped[OL_DROPPED];
  // The chutes that carry bars, in a circle: next[c] is the chute after c,
  // -1 for a chute that is not in the circle. current is the chute whose bars
  // move at the next tick, -1 when the circle is empty.
  int next[OL_CHUTES];
  int current;
  OlScene* scene;  // null: the rules alone
};

// A fresh game: position 0, nothing caught, max_golds clamped to 0..16,
// golds_left to 0..10, the last tick at now. The scene is kept.
void oligarchGameInit(OlGame* g, int maxGolds, int goldsLeft, int goldIncrease, int moveTime, double now);
// Adds a chute to the circle after the current one (an empty circle gets
// it as the current chute); nothing when it is already in.
void oligarchCircleAdd(OlGame* g, int chute);
// The position a key-down of scan moves the figure to from position.
int oligarchKeyPosition(int position, int scan);
// One frame of the game after its input: the broken bars, the figure, the
// decorations, and a tick when more than moveTime has passed.
void oligarchUpdate(OlGame* g, double now);
// One step of the bars of the current chute, then a new bar and the score.
void oligarchTick(OlGame* g, double now);
// Starts one more bar when fewer than maxBars roll and a chute can take one.
void oligarchSpawn(OlGame* g);
// Advances the broken bars; the last one of the last life ends the game.
void oligarchAdvanceDropped(OlGame* g, double now);
// Puts a broken bar on the floor under a chute. Its slot, or -1 after
// logging when all are occupied.
int oligarchDropGold(OlGame* g, int chute, double now);
// Shows the caught count on the digit objects.
void oligarchShowScore(const OlGame* g);

// Loads the pictures and samples of a run for person 0..2 and adds the
// objects to the current board. 0, or -1 after logging (nothing is left
// loaded).
int oligarchLoadData(int person);
// Deletes the objects and frees the sprites and the samples.
void oligarchFreeData();
// The game a run plays (its scene once the data is loaded).
OlGame* oligarchGame();
