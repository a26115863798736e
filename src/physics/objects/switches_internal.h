#pragma once
// What the switch kinds (switches.cpp, switches_lanes.cpp, switches_flaps.cpp)
// share beyond the common reader and handler steps (objects_common.h): small
// helpers for their readers and handlers, and the reset hooks of each file's
// table-wide state.
#include "physics/objects/objects_common.h"

struct Sprite;
struct VBOBJ;

// A sprite instance for a switch (visual layer 0) showing frame, made only
// where there is a visual board: without one the switch still works and its
// handler reports the missing instance.
VBOBJ* swInstance(ObjReader* r, Sprite* sprite, int frame);
// Adds "<prefix>0" .. "<prefix>3" (prefix with one %d) by subject.
void swScores4(const char* format);
// A lamp that is neither on nor in any other lit state (off or idle).
int swLampOff(int light);

void swLanesReset();
void swFlapsReset();
