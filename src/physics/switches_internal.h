#pragma once
// What the switch kinds (switches.cpp, switches_lanes.cpp, switches_flaps.cpp)
// share: small helpers for their readers and handlers, and the reset hooks of
// each file's table-wide state.
#include "physics/objects.h"

struct Sprite;
struct VBOBJ;

// 1 when the object is a ball: handlers ignore contacts of anything else.
int swIsBall(const BoardObject* object);
// The frame count of a sprite (0 for none).
int swFrames(const Sprite* sprite);
// The sprite file named by the string key: null after "'<key>' not defined"
// (for "sprite": "sprite filename not defined ('sprite' parameter)") or
// "error loading sprite"; the file name is returned through name when given.
Sprite* swLoadSprite(const char* reader, const Outline* outline, const char* key, const char** name);
// A sprite instance for an object (screen space, so at (0, 0)), showing
// frame; null without a visual board (the handler then reports it).
VBOBJ* swInstance(Sprite* sprite, int frame);
// "%s: id %d VBO not loaded", returning -1.
int swVboMissing(const char* handler, const BoardObject* object);
// The place key: 1 with the place in 0..max, else 0 after
// "%s, object (%d,%d): place is undefined or invalid (%d, max %d)".
int swPlace(const char* reader, const Outline* outline, int max, int* place);
// Adds "<prefix>0" .. "<prefix>3" (prefix with one %d) by subject.
void swScores4(const char* format);
// A lamp that is neither on nor in any other lit state (off or idle).
int swLampOff(int light);

void swLanesReset();
void swFlapsReset();
