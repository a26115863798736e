// The visual board: objects and layers, smart objects baked into the
// background, and the restore/draw frame cycle.
#include "gfx/vboard.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/log.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"

VBOARD* vbCurrent;

namespace {

int gTrace;

// A sprite address that is a record of SPRITES[] in use. Checked quietly:
// objects with a bad sprite or frame are simply not drawn.
bool spriteOk(const Sprite* s) {
  auto first = reinterpret_cast<uintptr_t>(&SPRITES[0]);
  auto last = reinterpret_cast<uintptr_t>(&SPRITES[SPR_MAX - 1]);
  auto at = reinterpret_cast<uintptr_t>(s);
  return s && at >= first && at <= last && (at - first) % sizeof(Sprite) == 0 && s->inUse;
}

bool frameOk(const Sprite* s, int frame) { return spriteOk(s) && frame >= 0 && frame < s->numfrms; }

int numFrames(const Sprite* s) { return spriteOk(s) ? s->numfrms : 0; }

// Inclusive box in 64-bit coordinates, so that positions far off the screen
// cannot overflow.
struct Box {
  long long left, top, right, bottom;
};

// The extent of a sprite frame drawn at (px, py): its pixel box plus one
// column and one row, mirrored within the frame's width when asked.
Box spriteExtent(const Sprite* s, int frame, int px, int py, int mirrored) {
  const SprFrame& f = s->frames[frame];
  Box b;
  if (mirrored) {
    b.left = static_cast<long long>(px) + f.width - f.x1;
    b.right = static_cast<long long>(px) + f.width - f.x0 + 1;
  } else {
    b.left = static_cast<long long>(px) + f.x0;
    b.right = static_cast<long long>(px) + f.x1 + 1;
  }
  b.top = static_cast<long long>(py) + f.y0;
  b.bottom = static_cast<long long>(py) + f.y1 + 1;
  return b;
}

Box customBox(const VBOBJ* o) {
  return Box{o->left, o->top, static_cast<long long>(o->right) + 1, static_cast<long long>(o->bottom) + 1};
}

// Clips an inclusive box to [0, w) x [0, h); false when nothing is left.
bool clipBox(Box* b, long long w, long long h) {
  b->left = std::max(b->left, 0LL);
  b->top = std::max(b->top, 0LL);
  b->right = std::min(b->right, w - 1);
  b->bottom = std::min(b->bottom, h - 1);
  return b->left <= b->right && b->top <= b->bottom;
}

// Marks the part of the box that lies on the current screen dirty.
void addDirty(Box b) {
  const gscr* g = gsCurrent;
  if (!g || !clipBox(&b, g->width, g->height)) return;
  gsAddDirty(static_cast<int>(b.left), static_cast<int>(b.top), static_cast<int>(b.right - b.left + 1),
             static_cast<int>(b.bottom - b.top + 1));
}

// Copies the box from the background to the screen (the part both hold).
void copyFromBackground(const VBOARD* board, gscr* screen, Box b) {
  const GdevDC* bg = board->background;
  if (!clipBox(&b, std::min(screen->width, bg->width), std::min(screen->height, bg->height))) return;
  gdevBitBlt(screen->dc, static_cast<int>(b.left), static_cast<int>(b.top), bg, static_cast<int>(b.left),
             static_cast<int>(b.top), static_cast<int>(b.right - b.left + 1), static_cast<int>(b.bottom - b.top + 1));
}

void restoreBox(const VBOARD* board, gscr* screen, Box b) {
  copyFromBackground(board, screen, b);
  addDirty(b);
}

// ---------------------------------------------------------------------------
// The blitter table
// ---------------------------------------------------------------------------

int putCommon(Sprite* s, int f, int x, int y, int) { return SPR_PUT_COMMON(s, f, x, y); }
int putMCommon(Sprite* s, int f, int x, int y, int) { return SPR_PUT_MCOMMON(s, f, x, y); }
int putAlpha(Sprite* s, int f, int x, int y, int) { return SPR_PUT_ALPHA(s, f, x, y); }
int putMAlpha(Sprite* s, int f, int x, int y, int) { return SPR_PUT_MALPHA(s, f, x, y); }

constexpr VbBlitter kCommon{"SPR_PUT_COMMON", putCommon, 0};
constexpr VbBlitter kMCommon{"SPR_PUT_MCOMMON", putMCommon, 0};
constexpr VbBlitter kZCommon{"SPR_PUT_ZCOMMON", SPR_PUT_ZCOMMON, 1};
constexpr VbBlitter kAlpha{"SPR_PUT_ALPHA", putAlpha, 0};
constexpr VbBlitter kMAlpha{"SPR_PUT_MALPHA", putMAlpha, 0};
constexpr VbBlitter kZXAlpha{"SPR_PUT_ZXALPHA", SPR_PUT_ZXALPHA, 1};
constexpr VbBlitter kAddZ{"SPR_ADD_ZALPHA", SPR_ADD_ZALPHA, 1};
constexpr VbBlitter kAdd0{"SPR_ADD_ZALPHA", SPR_ADD_ZALPHA, 0};  // depth 0

// Indexed by add << 3 | run alpha << 2 | depth-tested << 1 | mirrored.
constexpr const VbBlitter* kBlitters[16] = {
    &kCommon,  &kMCommon, &kZCommon,  &kZCommon,   // plain
    &kAlpha,   &kMAlpha,  &kZXAlpha,  &kZXAlpha,   // run alpha
    &kAdd0,    &kAdd0,    &kAddZ,     &kAddZ,      // additive
    &kAdd0,    &kAdd0,    &kAddZ,     &kAddZ,      // additive, run alpha
};

const VbBlitter* blitterOf(const VBOBJ* o) {
  int index = (o->addFlag ? 8 : 0) | (spriteOk(o->sprite) && o->sprite->alpha ? 4 : 0) | (o->zFlag ? 2 : 0) |
              (o->mFlag ? 1 : 0);
  return kBlitters[index];
}

// Draws the object's sprite frame (already checked) with its blitter.
int drawSprite(const VBOBJ* o) {
  const VbBlitter* b = blitterOf(o);
  return b->put(o->sprite, o->frame, o->x, o->y, b->usesDepth ? static_cast<int16_t>(o->z) : 0);
}

// A screen record over the board's background that draws like the screen:
// with the same size it shares the screen's depth and transparency planes,
// so that baked objects look exactly as they do when drawn live.
gscr backgroundScreen(const VBOARD* board, const gscr* screen) {
  gscr bg;
  gsCreateMem(&bg, board->background);
  if (screen && bg.width == screen->width && bg.height == screen->height) {
    bg.zbuf = screen->zbuf;
    bg.alpha = screen->alpha;
  }
  return bg;
}

// Checks that the board can be restored onto the screen; logs as fn.
bool boardReady(const VBOARD* board, const gscr* screen, const char* fn) {
  if (!board) {
    logError(0, "%s: no current VBOARD", fn);
    return false;
  }
  if (!screen || !screen->dc) {
    logError(0, "%s: gsCurrent is NULL, SE", fn);
    return false;
  }
  const GdevDC* bg = board->background;
  if (!bg || !bg->pixels) {
    logError(0, "%s: VBOARD %p has no background, SE", fn, static_cast<const void*>(board));
    return false;
  }
  if (bg->bitsPerPixel != screen->bpp || !gdevFormatEqual(&bg->format, &screen->pixelFormat)) {
    logError(0, "%s: background of VBOARD %p is %d bpp, the screen %d bpp, SE", fn, static_cast<const void*>(board),
             bg->bitsPerPixel, screen->bpp);
    return false;
  }
  return true;
}

// Frees the clone an object owns. A record that is no longer a clone (the
// sprite table was emptied behind the board's back) is left alone.
void freeClone(VBOBJ* o) {
  if (spriteOk(o->clone) && o->clone->donor) SPR_FREE(o->clone);
  o->clone = nullptr;
}

void clearObject(VBOBJ* o) {
  freeClone(o);
  *o = VBOBJ{};
}

}  // namespace

const VbBlitter* vbBlitterFor(const VBOBJ* obj) { return obj ? blitterOf(obj) : nullptr; }

void vbSetTrace(int on) { gTrace = on ? 1 : 0; }
int vbTrace() { return gTrace; }

void vbCreate(VBOARD* board, GdevDC* background) {
  if (!board) return;
  std::memset(static_cast<void*>(board), 0, sizeof *board);
  board->background = background;
  board->bgPixels = background ? background->pixels : nullptr;
}

void vbFree(VBOARD* board) {
  if (!board) return;
  for (int i = 0; i < board->used; ++i) {
    if (board->objects[i].inUse) clearObject(&board->objects[i]);
  }
  board->used = 0;
  vbDeselect(board);
}

VBOARD* vbSelect(VBOARD* board) {
  VBOARD* previous = vbCurrent;
  vbCurrent = board;
  if (!board) logError(0, "%s: context set to NULL", "vbSelect()");
  return previous;
}

void vbDeselect(VBOARD* board) {
  if (board && vbCurrent == board) vbCurrent = nullptr;
}

VBOBJ* vbAddObject(Sprite* sprite, int frame, int x, int y) {
  constexpr const char* fn = "vbAddObject()";
  VBOARD* board = vbCurrent;
  if (!board) {
    logError(0, "%s: no current VBOARD", fn);
    return nullptr;
  }
  if (sprite) {
    if (!sprCheck(sprite, fn)) return nullptr;
    if (frame >= sprite->numfrms) {
      logError(0, "%s: frame %d is invalid (max %d)", fn, frame, sprite->numfrms - 1);
      return nullptr;
    }
  }
  for (int i = 0; i < VB_MAX_OBJECTS; ++i) {
    VBOBJ* o = &board->objects[i];
    if (o->inUse) continue;
    *o = VBOBJ{};
    o->inUse = 1;
    o->sprite = o->prevSprite = sprite;
    o->x = o->prevX = x;
    o->y = o->prevY = y;
    o->frame = o->prevFrame = frame;
    board->used = std::max(board->used, i + 1);
    return o;
  }
  logError(0, "%s: can't add more objects (maximum %d)", fn, VB_MAX_OBJECTS);
  return nullptr;
}

void vbDelObject(VBOBJ* obj) {
  if (obj && obj->inUse) obj->dead = 1;
}

int vbMakeSmart(VBOBJ* obj) {
  constexpr const char* fn = "vbMakeSmart()";
  if (!obj) return logError(0, "%s: object is NULL, SE", fn);
  if (obj->smart) return logError(0, "%s: object %p is smart", fn, static_cast<void*>(obj));
  if (obj->sprite) {
    Sprite* clone = SPR_CLONE(obj->sprite);
    if (!clone) {
      return logError(0, "%s: error cloning sprite %p ('%s')", fn, static_cast<void*>(obj->sprite),
                      spriteOk(obj->sprite) ? obj->sprite->name : "");
    }
    obj->clone = clone;
    obj->smartState = VB_SMART_LIVE;
  } else {
    obj->smartState = VB_SMART_NO_SPRITE;
  }
  obj->smart = 1;
  return 1;
}

int vbSetSprite(VBOBJ* obj, Sprite* sprite) {
  constexpr const char* fn = "vbSetSprite()";
  if (!obj) return logError(0, "%s: object is NULL, SE", fn);
  if (obj->sprite == sprite) return 1;
  int ok = 1;
  if (obj->smart) {
    // A baked object's picture is part of the background: put the background
    // saved under it back before the clone holding it goes, and repair the
    // screen where it stood, or the old picture would stay behind as a ghost.
    VBOARD* board = vbCurrent;
    if (obj->smartState == VB_SMART_BAKED && board && gsCurrent && obj >= board->objects &&
        obj < board->objects + VB_MAX_OBJECTS && obj->clone && frameOk(obj->prevSprite, obj->prevFrame)) {
      gscr* screen = gsCurrent;
      gscr bg = backgroundScreen(board, screen);
      gsSelect(&bg);
      SPR_PUT_COMMON(obj->clone, 0, obj->prevX, obj->prevY);
      gsSelect(screen);
      restoreBox(board, screen, spriteExtent(obj->prevSprite, obj->prevFrame, obj->prevX, obj->prevY, obj->mFlag));
    }
    freeClone(obj);
    if (sprite) {
      // Without a clone the object is never baked: it is restored and drawn
      // like a plain object.
      obj->clone = SPR_CLONE(sprite);
      if (!obj->clone) {
        ok = logError(0, "%s: error cloning sprite %p ('%s')", fn, static_cast<void*>(sprite),
                      spriteOk(sprite) ? sprite->name : "");
      }
      obj->smartState = VB_SMART_LIVE;
    } else {
      obj->smartState = VB_SMART_NO_SPRITE;
    }
  }
  obj->sprite = sprite;
  return ok;
}

int vbSetFrame(VBOBJ* obj, int frame) {
  if (!obj) return 0;
  int n = numFrames(obj->sprite);
  if (frame >= n) {
    logError(0, "%s: frame %d for object %p is invalid (max %d)", "vbSetFrame()", frame, static_cast<void*>(obj),
             n - 1);
    return n;
  }
  obj->frame = frame;
  return n;
}

int vbNextFrame(VBOBJ* obj) {
  if (!obj) return 0;
  int n = numFrames(obj->sprite);
  if (n > 0) obj->frame = static_cast<int>(((static_cast<long long>(obj->frame) + 1) % n + n) % n);
  return obj->frame;
}

int vbPrevFrame(VBOBJ* obj) {
  if (!obj) return 0;
  int n = numFrames(obj->sprite);
  if (n > 0) obj->frame = obj->frame <= 0 ? n - 1 : obj->frame - 1;
  return obj->frame;
}

void vbSetXY(VBOBJ* obj, int x, int y) {
  if (!obj) return;
  obj->x = x;
  obj->y = y;
}

void vbSetXYZ(VBOBJ* obj, int x, int y, int z) {
  if (!obj) return;
  obj->x = x;
  obj->y = y;
  obj->z = z;
}

int vbSetLayer(VBOBJ* obj, int layer) {
  if (!obj) return 0;
  if (layer < 0 || layer > VB_MAX_LAYER) {
    return logError(0, "%s: invalid layer %d (max %d)", "vbSetLayer()", layer, VB_MAX_LAYER);
  }
  obj->layer = layer;
  return 1;
}

int vbWakeSmarts() {
  VBOARD* board = vbCurrent;
  if (!board) return logError(0, "%s: no current VBOARD", "vbWakeSmarts()");
  for (int i = 0; i < board->used; ++i) {
    VBOBJ* o = &board->objects[i];
    if (o->inUse && o->smart && o->sprite && o->clone && frameOk(o->sprite, o->prevFrame)) {
      o->smartState = VB_SMART_LIVE;
    }
  }
  return 1;
}

int vbRestore(int full) {
  constexpr const char* fn = "vbRestore()";
  VBOARD* board = vbCurrent;
  gscr* screen = gsCurrent;
  if (!boardReady(board, screen, fn)) return 0;
  VBOBJ* objects = board->objects;
  const int used = board->used;
  gscr bg = backgroundScreen(board, screen);

  // Un-bake: a baked object that changed (or is about to be removed) puts
  // the background saved under it back.
  gsSelect(&bg);
  for (int i = 0; i < used; ++i) {
    VBOBJ* o = &objects[i];
    if (!o->inUse || !o->smart || o->smartState != VB_SMART_BAKED) continue;
    if (o->sprite == o->prevSprite && o->frame == o->prevFrame && o->x == o->prevX && o->y == o->prevY &&
        !o->dead) {
      continue;
    }
    if (o->clone && frameOk(o->prevSprite, o->prevFrame)) SPR_PUT_COMMON(o->clone, 0, o->prevX, o->prevY);
    o->smartState = VB_SMART_LIVE;
  }

  // Repair the screen where objects were drawn last.
  gsSelect(screen);
  if (full) {
    copyFromBackground(board, screen, Box{0, 0, screen->width - 1LL, screen->height - 1LL});
    gsDirtyAll();
  } else {
    for (int i = 0; i < used; ++i) {
      const VBOBJ* o = &objects[i];
      if (!o->inUse) continue;
      if (o->smart && (o->smartState == VB_SMART_BAKED || o->smartState == VB_SMART_NO_SPRITE)) continue;
      if (o->custom) {
        restoreBox(board, screen, customBox(o));
      } else if (frameOk(o->prevSprite, o->prevFrame)) {
        restoreBox(board, screen, spriteExtent(o->prevSprite, o->prevFrame, o->prevX, o->prevY, o->mFlag));
      }
    }
  }

  // Bake: a live object that stood still since it was drawn goes into the
  // background, over the background it saves first.
  gsSelect(&bg);
  for (int i = 0; i < used; ++i) {
    VBOBJ* o = &objects[i];
    if (!o->inUse || o->dead || !o->smart || o->smartState != VB_SMART_LIVE || !o->clone) continue;
    if (o->frame != o->prevFrame || o->x != o->prevX || o->y != o->prevY) continue;
    if (frameOk(o->sprite, o->frame)) {
      // The clone must follow the sprite when an owner set it directly.
      if (o->clone->donor != o->sprite && !SPR_RECLONE(o->clone, o->sprite)) {
        o->clone = nullptr;
        continue;
      }
      if (SPR_GET(o->clone, o->frame, o->x, o->y) < 0) continue;
      drawSprite(o);
    }
    o->smartState = VB_SMART_JUST_BAKED;
  }

  // What was just baked is drawn once on the screen too.
  gsSelect(screen);
  for (int i = 0; i < used; ++i) {
    VBOBJ* o = &objects[i];
    if (!o->inUse || !o->smart || o->smartState != VB_SMART_JUST_BAKED) continue;
    if (frameOk(o->sprite, o->frame)) {
      drawSprite(o);
      addDirty(spriteExtent(o->sprite, o->frame, o->x, o->y, o->mFlag));
    }
    o->smartState = VB_SMART_BAKED;
  }

  for (int i = 0; i < used; ++i) {
    if (objects[i].inUse && objects[i].dead) clearObject(&objects[i]);
  }
  return 1;
}

int vbDraw() {
  constexpr const char* fn = "vbDraw()";
  VBOARD* board = vbCurrent;
  if (!board) return logError(0, "%s: no current VBOARD", fn);
  if (!gsCurrent) return logError(0, "%s: gsCurrent is NULL, SE", fn);
  VBOBJ* objects = board->objects;
  for (int layer = 0; layer < VB_LAYERS; ++layer) {
    if (gTrace) logPrint("%s: - layer %d", fn, layer);
    // A custom routine may add objects, so the bound is read every time.
    for (int i = 0; i < board->used; ++i) {
      VBOBJ* o = &objects[i];
      if (!o->inUse || o->layer != layer) continue;
      if (gTrace) {
        logPrint("%s: -- object %d vbo-%p spr-%p frame-%d smart-%d smart_state-%d", fn, i, static_cast<void*>(o),
                 static_cast<void*>(o->sprite), o->frame, o->smart, o->smartState);
      }
      if (!o->custom) {
        bool baked = o->smart && o->smartState == VB_SMART_BAKED;
        if (!baked && frameOk(o->sprite, o->frame)) {
          if (gTrace) {
            logPrint("%s: --- draw_spr %p ('%s') alpha-%d add-%d z-%d m-%d x,y,z-%d,%d,%d", fn,
                     static_cast<void*>(o->sprite), o->sprite->name, o->sprite->alpha, o->addFlag, o->zFlag,
                     o->mFlag, o->x, o->y, o->z);
            if (o->zFlag) {
              logPrint("%s: ---- gscr_zbuf-%p gscr_dc_zbuf-%p", fn, static_cast<void*>(gsCurrent->zbuf),
                       static_cast<void*>(gsMainScreen.zbuf));
            }
          }
          drawSprite(o);
          addDirty(spriteExtent(o->sprite, o->frame, o->x, o->y, o->mFlag));
          if (gTrace) logPrint("%s: --- draw_spr ok", fn);
        }
        // A baked object keeps the record of where it was baked: vbRestore
        // compares it with the object to see whether it must be un-baked.
        if (baked) continue;
        o->prevSprite = o->sprite;
        o->prevX = o->x;
        o->prevY = o->y;
        o->prevFrame = o->frame;
      } else {
        o->prevX = o->x;
        o->prevY = o->y;
        o->prevLeft = o->left;
        o->prevRight = o->right;
        o->prevTop = o->top;
        o->prevBottom = o->bottom;
        if (gTrace) logPrint("%s: --- calling custom routine %p", fn, reinterpret_cast<void*>(o->custom));
        o->custom(o);
        if (gTrace) logPrint("%s: --- custom ok", fn);
        addDirty(customBox(o));
      }
    }
  }
  return 1;
}
