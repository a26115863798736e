#pragma once
// The visual board: the scene drawn each frame over a fixed background
// picture. Up to 1024 objects, each a sprite frame at a position and depth on
// one of 16 layers, or a custom drawing routine. Each frame vbRestore first
// repairs the screen where objects were drawn last by copying the background
// back, then vbDraw draws every object layer by layer; only the touched
// rectangles go into the dirty set of gsCurrent.
//
// Smart objects are still pictures that get baked into the background while
// they do not change, so that they cost nothing per frame:
//   4 (no sprite) <-> 0 (live)          by vbSetSprite
//   0 -> 1 (just baked)                 in vbRestore, when it stood still
//   1 -> 2 (baked)                      in vbRestore, once drawn on the screen
//   2 -> 0                              in vbRestore when its sprite, frame or
//                                       position changed or it was deleted (the
//                                       saved background is put back first),
//                                       by vbWakeSmarts, or by vbSetSprite
// A baked object is part of the background picture: it is neither restored
// nor drawn by the regular steps, and vbDraw keeps its prev* fields at the
// place where it was baked, so that the next vbRestore sees what changed.
// The game changes objects between vbRestore and vbDraw, so a change to a
// baked object shows from the frame after it. vbSetSprite and vbWakeSmarts
// drop the saved background without putting it back: they are meant for a
// background that was just replaced (the regime switch); otherwise the baked
// picture stays in the background.
//
// One board is current at a time (vbCurrent, set with vbSelect); the
// operations that add objects or run the frame cycle work on it.
#include <cstdint>

#include "platform/gdev.h"

struct Sprite;

enum {
  VB_MAX_OBJECTS = 1024,
  VB_LAYERS = 16,
  VB_MAX_LAYER = VB_LAYERS - 1,
};

// Smart object states.
enum {
  VB_SMART_LIVE = 0,
  VB_SMART_JUST_BAKED = 1,
  VB_SMART_BAKED = 2,
  VB_SMART_NO_SPRITE = 4,
};

struct VBOBJ;
// A custom drawing routine draws the object into gsCurrent itself and keeps
// left..bottom (inclusive) up to date with the box it drew.
using VbCustomFn = void (*)(VBOBJ* obj);

struct VBOBJ {
  int inUse;
  int dead;           // removed at the end of the next vbRestore
  VbCustomFn custom;  // or null
  void* user;         // for the owner of a custom routine; the board never reads it
  int x, y, z;        // origin of the sprite; z: depth for the depth-tested modes (low 16 bits, signed)
  int layer;          // 0..15, drawn in ascending order
  Sprite* sprite;     // or null
  Sprite* prevSprite;
  Sprite* clone;      // smart objects: holds the background saved under the object
  int smart;
  int smartState;
  int zFlag, mFlag, addFlag;  // depth-tested, mirrored, additive drawing
  int frame;
  int left, right, top, bottom;  // custom objects: the inclusive box drawn last
  int prevX, prevY, prevFrame;
  int prevLeft, prevRight, prevTop, prevBottom;  // custom objects: box before this frame's call
};

struct VBOARD {
  VBOBJ objects[VB_MAX_OBJECTS];
  GdevDC* background;  // same size and format as the screen drawn on
  uint8_t* bgPixels;
  int used;            // one past the highest slot ever taken; bounds the scans
};

extern VBOARD* vbCurrent;

// Clears the board (without freeing anything it held) and attaches the
// background surface.
void vbCreate(VBOARD* board, GdevDC* background);
// Frees the clones of all objects, clears them and deselects the board when
// it is current. The background stays the caller's.
void vbFree(VBOARD* board);
// Makes the board current and returns the previous one; null is allowed (and
// logged).
VBOARD* vbSelect(VBOARD* board);
// Selects no board when this one is current.
void vbDeselect(VBOARD* board);

// Takes the first free slot of the current board: layer 0, all flags 0, not
// smart; the sprite may be null, the frame must be below its frame count.
// Null after logging.
VBOBJ* vbAddObject(Sprite* sprite, int frame, int x, int y);
// Marks an object in use as dead.
void vbDelObject(VBOBJ* obj);
// Makes the object smart; 1, or 0 after logging (already smart, clone failed).
int vbMakeSmart(VBOBJ* obj);
// Changes the sprite (a smart object gets a new clone and goes live). 1, or 0
// after logging when the clone could not be made.
int vbSetSprite(VBOBJ* obj, Sprite* sprite);
// Sets the frame when it is below the sprite's frame count (negative frames
// show nothing); returns the frame count (0 without a sprite).
int vbSetFrame(VBOBJ* obj, int frame);
// Next and previous frame, wrapping around; return the new frame.
int vbNextFrame(VBOBJ* obj);
int vbPrevFrame(VBOBJ* obj);
void vbSetXY(VBOBJ* obj, int x, int y);
void vbSetXYZ(VBOBJ* obj, int x, int y, int z);
// 1, or 0 after logging for a layer outside 0..15 (the layer is kept).
int vbSetLayer(VBOBJ* obj, int layer);

// After the background picture was replaced: every baked smart object goes
// live again (without putting its saved background back). 1, or 0 after
// logging.
int vbWakeSmarts();
// Repairs the screen from the background (all of it when full), un-bakes the
// smart objects that changed, bakes those that stood still, removes dead
// objects. 1, or 0 after logging.
int vbRestore(int full);
// Draws every object of the current board into gsCurrent, layer by layer,
// slot by slot, and adds what it drew to the dirty set. 1, or 0 after logging.
int vbDraw();

// The board trace: vbDraw logs every layer, object and blit.
void vbSetTrace(int on);
int vbTrace();

// The blitter an object is drawn with, chosen by the sprite's run alpha and
// the object's additive, depth-tested and mirrored flags.
struct VbBlitter {
  const char* name;  // "SPR_PUT_ALPHA" ...
  int (*put)(Sprite* s, int frame, int x, int y, int z);
  int usesDepth;     // 1: the object's z is passed, 0: depth 0 (additive) or none
};
const VbBlitter* vbBlitterFor(const VBOBJ* obj);
