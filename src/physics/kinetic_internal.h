#pragma once
// What the kinetic object files (kinetic.cpp, kinetic_accel.cpp,
// kinetic_flippers.cpp) share: the reader context with its messages, sprite
// loading for the readers, and small helpers of the handlers.
#include "physics/objects.h"
#include "physics/opr.h"

struct Sprite;
struct VBOBJ;

namespace kinetic {

// One reader run: its log name, the layer and the outline with its section
// position, for the "%s, object (%d,%d): ..." lines.
struct ReaderCtx {
  const char* fn;
  int layer;
  Outline* outline;
  int x, y;
};
ReaderCtx readerCtx(const char* fn, int layer, Outline* outline);

// The required "sprite" key loaded with SPR_CREATE. Null after
// "%s, object (%d,%d): <missingMessage>" when the key is missing or empty,
// or after "%s, object (%d,%d): error loading sprite '%s'".
Sprite* readSprite(const ReaderCtx& c, const char* missingMessage);
// The usual missing-sprite text: "sprite filename not defined ('sprite' parameter)".
extern const char* const kSpriteMissing;

// A visual-board instance of the sprite on a layer, at (0, 0) as object
// sprites are drawn in screen space; null when there is no visual board.
VBOBJ* makeInstance(Sprite* sprite, int layer);
// Undoes a reader's allocations when it gives up after them; returns 0, the
// reader's result.
int releaseReader(void* parms, Sprite* sprite, VBOBJ* instance);
// BE_KILL of an object with a parameter block and an instance.
void releaseObject(void* parms, VBOBJ* instance);

// Shows a frame on the instance; -1 with "%s: id %d VBO not loaded" when the
// object has none.
int showFrame(const char* fn, const BoardObject* object, VBOBJ* instance, int frame);
int frameCount(const VBOBJ* instance);

// The ball of a contact event, null for anything else (handlers ignore
// contact events of other objects).
BoardObject* eventBall(const BoardEvent* event);
// 1 while the object in the slot is still a ball.
int ballAlive(const BoardObject* ball);

// base^dt, or 1 (no change) when that is not a finite number, so that a
// configuration with a negative factor or a zero speed under a threshold
// divisor never turns a ball's velocity into NaN.
double powFactor(double base, double dt);

double degToRad(double degrees);

// "Reconfiguring %s (%d,%d)..."
void logReconfigure(const char* kind, const Outline* outline);

}  // namespace kinetic
