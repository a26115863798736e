#pragma once
// Shared between the lamp table (lights.cpp) and the lamp builders
// (lights_setup.cpp); not for other modules.

struct Sprite;

// The lamp module takes ownership of a sprite it loaded: lightFree and
// lightInit free it (when it is still in use).
void lightAdoptSprite(Sprite* sprite);

// The id check of every lamp function: logs "invalid light" as fn.
bool lightCheck(int light, const char* fn);
// The lamp's name from the installed name function, for messages.
const char* lightLabel(int light);
