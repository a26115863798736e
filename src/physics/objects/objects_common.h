#pragma once
// What every table object kind shares (kinetic*.cpp, routing*.cpp,
// switches*.cpp): the reader run, which owns what a reader has loaded until
// its object is on the board and frees it all when the reader gives up, the
// reader's "%s, object (%d,%d): ..." lines, and the common steps of the
// handlers.
#include <cstddef>

#include "core/log.h"
#include "physics/objects/objects.h"
#include "physics/opr.h"

struct Sprite;
struct VBOBJ;

enum { OBJ_READER_SPRITES = 12, OBJ_READER_INSTANCES = 4 };

// One reader run: its log name, the layer and the outline with its section
// position, and what the run has taken so far.
struct ObjReader {
  const char* fn;
  int layer;
  Outline* outline;
  int x, y;
  void* parms;
  Sprite* sprites[OBJ_READER_SPRITES];
  int spriteCount;
  VBOBJ* instances[OBJ_READER_INSTANCES];
  int instanceCount;
};

// The usual text of a missing "sprite" key.
extern const char* const kObjSpriteMissing;  // "sprite filename not defined ('sprite' parameter)"

// Starts a run of the reader fn for an outline: 0 when the outline is of
// another family (a negative family takes any outline: the wall reader,
// offered last, takes what no other reader did).
int objReaderBegin(ObjReader* r, const char* fn, int family, int layer, Outline* outline);

// The run's zeroed parameter block of size bytes (the object's parms), or
// null after "%s, object (%d,%d): not enough memory for parms".
void* objReaderParms(ObjReader* r, size_t size);

// objReaderBegin and the run's parameter block of type T: null when the
// outline is of another family or there is no memory (the reader returns 0).
template <class T>
T* objReaderStart(ObjReader* r, const char* fn, int family, int layer, Outline* outline) {
  if (!objReaderBegin(r, fn, family, layer, outline)) return nullptr;
  return static_cast<T*>(objReaderParms(r, sizeof(T)));
}

// "%s, object (%d,%d): <text>" as an error; returns 0.
int objReaderError(const ObjReader* r, const char* format, ...) PB_PRINTF(2, 3);
// The same as an ordinary line: the reader's summary and its corrections.
void objReaderNote(const ObjReader* r, const char* format, ...) PB_PRINTF(2, 3);

// The reader gives up: the run's instances die, its sprites and parameter
// block are freed. Returns 0, the reader's result.
int objReaderAbandon(ObjReader* r);
// objReaderError, then objReaderAbandon.
int objReaderFail(ObjReader* r, const char* format, ...) PB_PRINTF(2, 3);

// A sprite file loaded for the run; null after
// "%s, object (%d,%d): error loading sprite '<path>'".
Sprite* objReaderSpriteFile(ObjReader* r, const char* path);
// The sprite file named by the string key. A missing or empty key logs
// "%s, object (%d,%d): <missing>", where a null missing stands for
// kObjSpriteMissing with the key "sprite" and "'<key>' not defined" with any
// other. The file name is returned through path when given.
Sprite* objReaderSprite(ObjReader* r, const char* key, const char* missing = nullptr, const char** path = nullptr);

// A visual-board instance of the sprite for the run (screen space, so at
// (0, 0)) showing frame, on the visual layer; null when the visual board
// gives none (it says why).
VBOBJ* objReaderInstance(ObjReader* r, Sprite* sprite, int frame, int layer);

// The required "place" key within min..max: 1, or 0 after
// "%s, object (%d,%d): 'place' not defined" or
// "%s: object (%d,%d): invalid place %d".
int objReaderPlace(const ObjReader* r, int min, int max, int* place);
// The "place" key within 0..max (a missing one reads -1): 1, or 0 after
// "%s, object (%d,%d): place is undefined or invalid (%d, max %d)".
int objReaderPlaceUpTo(const ObjReader* r, int max, int* place);

// The elasticity key "k", by default the table's global_k.
double objReaderElasticity(const ObjReader* r);

// Adds the shape object of the outline with elasticity k, the run's
// parameter block as its parms and user2; null when the board takes no
// more (the reader then gives up).
BoardObject* objReaderAddShape(ObjReader* r, BoardHandler handler, int family, double k, int quickRelease,
                               int user2 = 0);
// The steps after the object is on the board: lmask and name
// (oprFinishObject, infoWord1 the second word of a named object).
void objReaderFinish(const ObjReader* r, BoardObject* object, void* infoWord1 = nullptr);
// The "disabled" key (default 0) of an object that may start disabled.
void objReaderDisabled(const ObjReader* r, BoardObject* object);

// "Reconfiguring <kind> (%d,%d)...", the first line of a reconfiguration.
void objLogReconfigure(const char* kind, const Outline* outline);

// ---- Handlers ----

// BE_KILL of an object that owns a parameter block and an instance (either
// may be null): the instance dies, the block is freed and forgotten. The
// sprite stays loaded: the session frees every sprite when it ends, after
// the board, and a dead visual-board object still refers to its sprite until
// the next restore. Returns 0.
int objKill(BoardObject* object, VBOBJ* instance);

// 1 for a live ball: handlers ignore contacts of anything else.
int objLiveBall(const BoardObject* object);
// The ball of a contact event, null when it is not a live ball.
BoardObject* objEventBall(const BoardEvent* event);

// "%s: id %d VBO not loaded" for an object whose instance is missing;
// returns -1.
int objVboMissing(const char* fn, const BoardObject* object);
// Shows a frame on the instance; objVboMissing without one.
int objShowFrame(const char* fn, const BoardObject* object, VBOBJ* instance, int frame);
// The frame count of a sprite, 1 for none.
int objFrames(const Sprite* sprite);
