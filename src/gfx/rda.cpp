// Regime-dependent assets: the NINS[] table, loading all three versions of
// every picture, lookups by name and by sprite, and the board's regime switch.
#include "gfx/rda.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/log.h"
#include "core/mem.h"
#include "core/text.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"

RdaEntry NINS[RDA_MAX_ENTRIES];
int rdaRegime = -1;
char rdaRegimeName[RDA_REGIME_NAME_SIZE] = "<none>";

namespace {

constexpr const char* kRegimeNames[RDA_REGIMES] = {"comm", "demo", "dict"};

// One kind of asset: its file pattern, loader, releaser and slots.
struct RdaKind {
  int kind;
  const char* fn;            // name in messages
  const char* suffix;        // listed files end with it
  const char* loadedFormat;  // logged for every version loaded
  void* (*load)(const char* path);
  void (*release)(void* asset);
  void* (*get)(const RdaEntry* e, int regime);
  void (*set)(RdaEntry* e, int regime, void* asset);
};

void* loadSprite(const char* path) { return SPR_CREATE(path); }
void releaseSprite(void* s) { SPR_FREE(static_cast<Sprite*>(s)); }
void* getSprite(const RdaEntry* e, int r) { return e->sprites[r]; }
void setSprite(RdaEntry* e, int r, void* s) { e->sprites[r] = static_cast<Sprite*>(s); }

void* loadBitmap(const char* path) { return mglCreateBitmapDC(path); }
void releaseBitmap(void* dc) { mglFreeDC(static_cast<GdevDC*>(dc)); }
void* getBitmap(const RdaEntry* e, int r) { return e->dcs[r]; }
void setBitmap(RdaEntry* e, int r, void* dc) { e->dcs[r] = static_cast<GdevDC*>(dc); }

constexpr RdaKind kSprites{RDA_SPRITE,   "rdaLoadSprites()", ".gsp",     "loaded spr-%p from '%s'",
                           loadSprite,   releaseSprite,      getSprite,  setSprite};
constexpr RdaKind kBitmaps{RDA_BITMAP,   "rdaLoadBitmaps()", ".img",     "loaded dc-%p from '%s'",
                           loadBitmap,   releaseBitmap,      getBitmap,  setBitmap};

void clearEntry(RdaEntry* e) {
  *e = RdaEntry{};
  e->kind = RDA_FREE;
}

RdaEntry* freeEntry() {
  for (RdaEntry& e : NINS) {
    if (e.kind == RDA_FREE) return &e;
  }
  return nullptr;
}

// Frees the versions an entry holds and forgets them.
void releaseVersions(const RdaKind& k, RdaEntry* e) {
  for (int r = 0; r < RDA_REGIMES; ++r) {
    if (void* asset = k.get(e, r)) k.release(asset);
    k.set(e, r, nullptr);
  }
}

// The table starts with every entry free, before rdaInit runs.
struct FreeAtStart {
  FreeAtStart() {
    for (RdaEntry& e : NINS) clearEntry(&e);
  }
} gFreeAtStart;

int loadAll(const RdaKind& k, const char* subdir) {
  const char* fn = k.fn;
  if (!subdir) subdir = "";
  char pattern[512];
  int n = std::snprintf(pattern, sizeof pattern, "data-%s/%s*%s", kRegimeNames[RDA_COMM], subdir, k.suffix);
  if (n < 0 || static_cast<size_t>(n) >= sizeof pattern) {
    return logError(0, "%s: subdirectory '%s' is too long", fn, subdir);
  }
  char** names = nullptr;
  int count = LIST_FILES(pattern, &names);
  if (count < 0) return logError(0, "%s: can't list '%s'", fn, pattern);

  int result = 1;
  for (int i = 0; i < count; ++i) {
    const char* file = names[i];
    RdaEntry* e = freeEntry();
    if (!e) {
      result = logError(0, "%s: no free slots in NINS[], all %d occupied", fn, RDA_MAX_ENTRIES);
      break;
    }
    char name[RDA_NAME_SIZE * 2];
    std::snprintf(name, sizeof name, "%s%s", subdir, file);
    if (std::strlen(name) >= RDA_NAME_SIZE) {
      // Truncating would make a name that no lookup can match.
      result = logError(0, "%s: name '%s' is longer than %d characters", fn, name, RDA_NAME_SIZE - 1);
      continue;
    }
    bool complete = true;
    for (int r = 0; r < RDA_REGIMES; ++r) {
      char path[1024];
      std::snprintf(path, sizeof path, "data-%s/%s%s", kRegimeNames[r], subdir, file);
      void* asset = k.load(path);
      k.set(e, r, asset);
      if (asset) {
        logPrint(k.loadedFormat, asset, path);
      } else {
        logError(0, "%s: error loading sprite '%s'", fn, path);
        complete = false;
      }
    }
    if (complete) {
      e->kind = k.kind;
      strCopyN(e->name, name, sizeof e->name);
      result = 1;
    } else {
      releaseVersions(k, e);
      clearEntry(e);
      result = 0;
    }
  }
  std::free(names);
  return result;
}

void freeAll(const RdaKind& k) {
  for (RdaEntry& e : NINS) {
    if (e.kind != k.kind) continue;
    releaseVersions(k, &e);
    clearEntry(&e);
  }
}

// The entry of a kind named exactly name, or null.
const RdaEntry* findNamed(int kind, const char* name) {
  if (!name) return nullptr;
  for (const RdaEntry& e : NINS) {
    if (e.kind == kind && std::strcmp(e.name, name) == 0) return &e;
  }
  return nullptr;
}

const RdaEntry* findHolding(const Sprite* s) {
  if (!s) return nullptr;
  for (const RdaEntry& e : NINS) {
    if (e.kind != RDA_SPRITE) continue;
    for (const Sprite* version : e.sprites) {
      if (version == s) return &e;
    }
  }
  return nullptr;
}

bool regimeReady(const char* fn) {
  if (rdaRegime < 0 || rdaRegime >= RDA_REGIMES) {
    logError(0, "%s: invalid rdaRegime %d, not in [0..%d], SE", fn, rdaRegime, RDA_REGIMES - 1);
    return false;
  }
  return true;
}

}  // namespace

const char* rdaNameOf(int regime) {
  return regime >= 0 && regime < RDA_REGIMES ? kRegimeNames[regime] : nullptr;
}

void rdaInit() {
  for (RdaEntry& e : NINS) clearEntry(&e);
  rdaRegime = -1;
  strCopyN(rdaRegimeName, "<none>", sizeof rdaRegimeName);
}

void rdaSetRegime(int index) {
  if (index < 0) index = 0;
  if (index > RDA_REGIMES - 1) index = RDA_REGIMES - 1;
  rdaRegime = index;
  strCopyN(rdaRegimeName, kRegimeNames[index], sizeof rdaRegimeName);
}

int rdaLoadSprites(const char* subdir) { return loadAll(kSprites, subdir); }
int rdaLoadBitmaps(const char* subdir) { return loadAll(kBitmaps, subdir); }

Sprite* rdaGetSprite(const char* name) {
  constexpr const char* fn = "rdaGetSprite()";
  if (!regimeReady(fn)) return nullptr;
  const RdaEntry* e = findNamed(RDA_SPRITE, name);
  if (!e) {
    logError(0, "%s: object '%s' not found in regime %d data", fn, name ? name : "(null)", rdaRegime);
    return nullptr;
  }
  return e->sprites[rdaRegime];
}

GdevDC* rdaGetBitmap(const char* name) {
  constexpr const char* fn = "rdaGetBitmap()";
  if (!regimeReady(fn)) return nullptr;
  const RdaEntry* e = findNamed(RDA_BITMAP, name);
  if (!e) {
    logError(0, "%s: object '%s' not found in regime %d data", fn, name ? name : "(null)", rdaRegime);
    return nullptr;
  }
  return e->dcs[rdaRegime];
}

Sprite* rdaGetSpriteInstance(Sprite* sprite, int regime) {
  constexpr const char* fn = "rdaGetSpriteInstance()";
  if (!sprCheck(sprite, fn)) return nullptr;
  if (regime < 0 || regime >= RDA_REGIMES) {
    logError(0, "%s: invalid regime %d, not in [0..%d], SE", fn, regime, RDA_REGIMES - 1);
    return nullptr;
  }
  const RdaEntry* e = findHolding(sprite);
  if (!e) {
    logError(0, "%s: sprite %p ('%s') not found in RDA", fn, static_cast<void*>(sprite), sprite->name);
    return nullptr;
  }
  return e->sprites[regime];
}

bool rdaIsSprite(const Sprite* sprite) { return findHolding(sprite) != nullptr; }

void rdaFreeSprites() { freeAll(kSprites); }
void rdaFreeBitmaps() { freeAll(kBitmaps); }

int rdaSwitchBoard(int fromRegime, int toRegime) {
  constexpr const char* fn = "rdaSwitchBoard()";
  VBOARD* board = vbCurrent;
  if (!board) return logError(-1, "%s: no current VBOARD", fn);
  if (toRegime < 0 || toRegime >= RDA_REGIMES) {
    return logError(-1, "%s: invalid regime %d, not in [0..%d], SE", fn, toRegime, RDA_REGIMES - 1);
  }
  if (fromRegime == toRegime) return 0;
  int changed = 0;
  for (int i = 0; i < board->used; ++i) {
    VBOBJ* o = &board->objects[i];
    if (!o->inUse || !o->sprite || !rdaIsSprite(o->sprite)) continue;
    Sprite* instance = rdaGetSpriteInstance(o->sprite, toRegime);
    if (instance && instance != o->sprite) {
      vbSetSprite(o, instance);
      ++changed;
    }
  }
  return changed;
}
