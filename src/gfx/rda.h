#pragma once
// Regime-dependent assets: pictures that exist once per regime (lamp sprites,
// background bitmaps) are loaded in all three versions under one name, the
// subdirectory followed by the file name ("lights/lamp.gsp"). Lookups return
// the version of the current regime; a regime switch swaps every board
// object's sprite for its counterpart without loading anything.
//
// The versions live in "data-comm/<subdir>", "data-demo/<subdir>" and
// "data-dict/<subdir>"; the comm directory decides which names exist.
#include "platform/gdev.h"

struct Sprite;

enum {
  RDA_MAX_ENTRIES = 1024,  // NINS[]
  RDA_NAME_SIZE = 128,     // 127 characters and the terminator
  RDA_REGIMES = 3,
  RDA_REGIME_NAME_SIZE = 32,
};

// Regimes, in this order everywhere.
enum { RDA_COMM = 0, RDA_DEMO = 1, RDA_DICT = 2 };

// Entry kinds.
enum { RDA_FREE = -1, RDA_SPRITE = 0, RDA_BITMAP = 1 };

struct RdaEntry {
  int kind;
  char name[RDA_NAME_SIZE];
  Sprite* sprites[RDA_REGIMES];  // by regime
  GdevDC* dcs[RDA_REGIMES];      // by regime
};

extern RdaEntry NINS[RDA_MAX_ENTRIES];
// The current regime (-1 before the first rdaSetRegime) and its name.
extern int rdaRegime;
extern char rdaRegimeName[RDA_REGIME_NAME_SIZE];

// The directory name part of a regime ("comm", "demo", "dict"), or null.
const char* rdaNameOf(int regime);

// All entries free, no regime ("<none>").
void rdaInit();
// Clamps the index to 0..2 and makes it the current regime.
void rdaSetRegime(int index);

// Loads every "<subdir>*.gsp" (sprites) or "<subdir>*.img" (bitmaps, into
// surfaces of the current surface's format) listed in the comm directory from
// all three regime directories. A file whose three versions all load becomes
// an entry; otherwise the versions that did load are freed at once. 1, or 0
// when the table ran full or a version of the last file listed failed.
int rdaLoadSprites(const char* subdir);
int rdaLoadBitmaps(const char* subdir);

// The current regime's version of the entry named exactly name; null after
// logging.
Sprite* rdaGetSprite(const char* name);
GdevDC* rdaGetBitmap(const char* name);
// The version for regime of the entry that holds sprite in any regime; null
// after logging.
Sprite* rdaGetSpriteInstance(Sprite* sprite, int regime);
bool rdaIsSprite(const Sprite* sprite);

// Frees all versions of every entry of that kind and makes the entries free.
void rdaFreeSprites();
void rdaFreeBitmaps();

// Swaps the sprite of every object of the current visual board that holds a
// regime sprite for its version in toRegime (nothing when the regimes are the
// same). Returns the number of objects changed, or -1 after logging.
int rdaSwitchBoard(int fromRegime, int toRegime);
