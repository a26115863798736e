#pragma once
// The game's music: one module per situation, each composed from a small
// description (key, tempo, chord progressions, rhythms) and the seeded
// generator. Every module has the same plan of sections, so the game can
// jump between them by order number.
#include <vector>

#include "music/it_writer.h"

// Orders where the sections start; each section but the opening loops on
// itself (the opening runs into the main loop).
enum {
  MUSIC_ORDER_OPENING = 0,
  MUSIC_ORDER_MAIN = 1,
  MUSIC_ORDER_MISSION = 20,
  MUSIC_ORDER_CRISIS = 31,
  MUSIC_ORDER_MENU = 41,
  MUSIC_ORDERS = 45,
};

struct MusicPiece {
  const char* file;  // path under the game folder
  ItModule module;
};

// The eight modules in slot order: comm, demo, dict, pres, credits, boxing,
// deputy, oligarch.
std::vector<MusicPiece> composeAll();
