#include "physics/objects/objects_common.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/log.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "physics/table.h"

const char* const kObjSpriteMissing = "sprite filename not defined ('sprite' parameter)";

namespace {

// As long as a log line: the prefix and the text are cut together at the
// same length as one formatted line would be.
constexpr size_t kTextSize = 2048;

// "%s, object (%d,%d): <text>" as an error (returning 0) or an ordinary line.
int readerLine(const ObjReader* r, int error, const char* format, va_list ap) PB_PRINTF(3, 0);
int readerLine(const ObjReader* r, int error, const char* format, va_list ap) {
  char text[kTextSize];
  std::vsnprintf(text, sizeof text, format, ap);
  if (error) return logError(0, "%s, object (%d,%d): %s", r->fn, r->x, r->y, text);
  logPrint("%s, object (%d,%d): %s", r->fn, r->x, r->y, text);
  return 0;
}

}  // namespace

// ---- Reader runs ----

int objReaderBegin(ObjReader* r, const char* fn, int family, int layer, Outline* outline) {
  if (family >= 0 && OPR_FAMILY(outline) != family) return 0;
  std::memset(r, 0, sizeof *r);
  r->fn = fn;
  r->layer = layer;
  r->outline = outline;
  oprPosition(outline, &r->x, &r->y);
  return 1;
}

void* objReaderParms(ObjReader* r, size_t size) {
  r->parms = oprAllocParms(r->fn, r->outline, size);
  return r->parms;
}

int objReaderError(const ObjReader* r, const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  readerLine(r, 1, format, ap);
  va_end(ap);
  return 0;
}

void objReaderNote(const ObjReader* r, const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  readerLine(r, 0, format, ap);
  va_end(ap);
}

int objReaderAbandon(ObjReader* r) {
  for (int i = 0; i < r->instanceCount; i++) vbDelObject(r->instances[i]);
  for (int i = 0; i < r->spriteCount; i++) SPR_FREE(r->sprites[i]);
  std::free(r->parms);
  r->instanceCount = r->spriteCount = 0;
  r->parms = nullptr;
  return 0;
}

int objReaderFail(ObjReader* r, const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  readerLine(r, 1, format, ap);
  va_end(ap);
  return objReaderAbandon(r);
}

Sprite* objReaderSpriteFile(ObjReader* r, const char* path) {
  if (r->spriteCount >= OBJ_READER_SPRITES) {
    logError(0, "%s: more than %d sprites for one object, SE", r->fn, OBJ_READER_SPRITES);
    return nullptr;
  }
  Sprite* s = SPR_CREATE(path);
  if (!s) {
    objReaderError(r, "error loading sprite '%s'", path);
    return nullptr;
  }
  r->sprites[r->spriteCount++] = s;
  return s;
}

Sprite* objReaderSprite(ObjReader* r, const char* key, const char* missing, const char** path) {
  const char* file = OPR_STRING(r->outline, key, nullptr);
  if (path) *path = file;
  if (!file || !file[0]) {
    if (missing)
      objReaderError(r, "%s", missing);
    else if (std::strcmp(key, "sprite") == 0)
      objReaderError(r, "%s", kObjSpriteMissing);
    else
      objReaderError(r, "'%s' not defined", key);
    return nullptr;
  }
  return objReaderSpriteFile(r, file);
}

VBOBJ* objReaderInstance(ObjReader* r, Sprite* sprite, int frame, int layer) {
  if (r->instanceCount >= OBJ_READER_INSTANCES) {
    logError(0, "%s: more than %d sprite instances for one object, SE", r->fn, OBJ_READER_INSTANCES);
    return nullptr;
  }
  VBOBJ* o = vbAddObject(sprite, frame, 0, 0);
  if (!o) return nullptr;
  vbSetLayer(o, layer);
  r->instances[r->instanceCount++] = o;
  return o;
}

int objReaderPlace(const ObjReader* r, int min, int max, int* place) {
  *place = OPR_INT(r->outline, "place", INT_MIN);
  if (*place == INT_MIN) return objReaderError(r, "'place' not defined");
  if (*place < min || *place > max)
    return logError(0, "%s: object (%d,%d): invalid place %d", r->fn, r->x, r->y, *place);
  return 1;
}

int objReaderPlaceUpTo(const ObjReader* r, int max, int* place) {
  *place = OPR_INT(r->outline, "place", -1);
  if (*place >= 0 && *place <= max) return 1;
  return objReaderError(r, "place is undefined or invalid (%d, max %d)", *place, max);
}

double objReaderElasticity(const ObjReader* r) { return OPR_REAL(r->outline, "k", gTable.globalK); }

BoardObject* objReaderAddShape(ObjReader* r, BoardHandler handler, int family, double k, int quickRelease,
                               int user2) {
  ShapeData d = oprShapeData(r->outline, k);
  d.quickRelease = quickRelease;
  return BOARD_ADDSHAPE_EX(handler, family, &d, user2, r->parms);
}

void objReaderFinish(const ObjReader* r, BoardObject* object, void* infoWord1) {
  oprFinishObject(object, r->layer, r->outline, infoWord1);
}

void objReaderDisabled(const ObjReader* r, BoardObject* object) {
  object->disabled = OPR_INT(r->outline, "disabled", 0) != 0;
}

void objLogReconfigure(const char* kind, const Outline* outline) {
  int x, y;
  oprPosition(outline, &x, &y);
  logPrint("Reconfiguring %s (%d,%d)...", kind, x, y);
}

// ---- Handlers ----

int objKill(BoardObject* object, VBOBJ* instance) {
  if (instance) vbDelObject(instance);
  std::free(object->parms);
  object->parms = nullptr;
  return 0;
}

int objLiveBall(const BoardObject* object) { return object && object->id >= 0 && object->kind == BK_BALL; }

BoardObject* objEventBall(const BoardEvent* event) { return objLiveBall(event->other) ? event->other : nullptr; }

int objVboMissing(const char* fn, const BoardObject* object) {
  return logError(-1, "%s: id %d VBO not loaded", fn, object ? object->id : -1);
}

int objShowFrame(const char* fn, const BoardObject* object, VBOBJ* instance, int frame) {
  if (!instance) return objVboMissing(fn, object);
  vbSetFrame(instance, frame);
  return 0;
}

int objFrames(const Sprite* sprite) { return sprite && sprite->numfrms > 0 ? sprite->numfrms : 1; }
