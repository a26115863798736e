#pragma once
// What the kinetic object files (kinetic.cpp, kinetic_accel.cpp,
// kinetic_flippers.cpp) share beyond the common reader and handler steps
// (objects_common.h): small helpers of the handlers.
#include "physics/objects/objects_common.h"

struct VBOBJ;

namespace kinetic {

// The object a kinetic reader run added to the board (null when the board
// took none), finished (lmask, name with infoWord1 as its second word). Null
// after "%s, object (%d,%d): error adding the object to the board" when
// there is none: the run is then given up.
BoardObject* onBoard(ObjReader* r, BoardObject* object, void* infoWord1 = nullptr);

// The frame count of the sprite an instance shows, 1 without an instance.
int frameCount(const VBOBJ* instance);

// base^dt, or 1 (no change) when that is not a finite number, so that a
// configuration with a negative factor or a zero speed under a threshold
// divisor never turns a ball's velocity into NaN.
double powFactor(double base, double dt);

double degToRad(double degrees);

}  // namespace kinetic
