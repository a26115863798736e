#include "gfx/mosaic.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/conf.h"
#include "core/log.h"
#include "core/random.h"
#include "core/text.h"
#include "core/time.h"
#include "gfx/screen.h"

namespace {

struct ActiveTile {
  int firstSpan, spanCount, step;
};

struct MosAnim {
  int alphaSteps, addFreq, addNum;
  int delay;  // ms
  Mosaic mos;
};

struct MosAnimSet {
  MosAnim anims[MOS_MAX_ANIMS];
  int count;
  GdevDC* keptFrom;  // the "from" copy of the last forward run
} gAnims = {};

Mosaic* gFilling = nullptr;  // the mosaic whose spans the seed fill records

void recordSpan(int x, int y, int length, uint32_t) {
  MosSpan s{x, y, length};
  arrAppend1(&gFilling->spans, &s);
}

const char* const kSortNames[] = {"random", "light", "lightrev", "light_yx", "lightrev_yx"};

void blendPixel(uint8_t* dst, const uint8_t* from, const uint8_t* to, int bpp, int a) {
  const uint8_t* ta = gsBlend[a];
  const uint8_t* tb = gsBlend[255 - a];
  if (bpp == 24) {
    for (int k = 0; k < 3; k++) dst[k] = static_cast<uint8_t>(ta[to[k]] + tb[from[k]]);
    return;
  }
  uint16_t f, t;
  std::memcpy(&f, from, 2);
  std::memcpy(&t, to, 2);
  int gBits = bpp == 16 ? 6 : 5, rPos = bpp == 16 ? 11 : 10;
  int gMask = (1 << gBits) - 1;
  int r = ta[(t >> rPos) & 31] + tb[(f >> rPos) & 31];
  int g = ta[(t >> 5) & gMask] + tb[(f >> 5) & gMask];
  int b = ta[t & 31] + tb[f & 31];
  uint16_t out = static_cast<uint16_t>((r << rPos) | (g << 5) | b);
  std::memcpy(dst, &out, 2);
}

}  // namespace

int mosCreate(Mosaic* mos) {
  std::memset(mos, 0, sizeof *mos);
  if (arrInit(&mos->tiles, sizeof(MosTile), 1024, 1024) < 0 ||
      arrInit(&mos->spans, sizeof(MosSpan), 512, 512) < 0) {
    mosFree(mos);
    return logError(-1, "%s: error allocating g-buffers", "mosCreate()");
  }
  return 0;
}

void mosFree(Mosaic* mos) {
  arrFree(&mos->tiles);
  arrFree(&mos->spans);
  mos->cursor = 0;
}

int mosBuildFromDC(Mosaic* mos, GdevDC* mask) {
  arrClear(&mos->tiles);
  arrClear(&mos->spans);
  mos->cursor = 0;
  GdevDC* previous = gdevCurrentDC();
  gdevMakeCurrent(mask);
  gdevSetColor(0);
  int rc = 0;
  gFilling = mos;
  for (int y = 0; y < mask->height && rc == 0; y++) {
    for (int x = 0; x < mask->width; x++) {
      uint32_t v = gdevReadPixel(mask, x, y);
      if (v == 0) continue;
      int first = mos->spans.count;
      if (mglSeedFillAlt(x, y, recordSpan) < 0 || !mos->spans.data) {
        rc = -1;
        break;
      }
      MosTile t{x, y, static_cast<int>(v), first, mos->spans.count - first};
      if (arrAppend1(&mos->tiles, &t) < 0) {
        rc = -1;
        break;
      }
    }
  }
  gFilling = nullptr;
  gdevMakeCurrent(previous);
  return rc;
}

int mosLoadBitmap(Mosaic* mos, const char* file) {
  GdevBitmap* bmp = gdevLoadBitmap(file);
  if (!bmp) return logError(-1, "%s: error loading bitmap '%s'", "mosLoadBitmap()", file);
  GdevDC* dc = gdevCreateMemoryDC(bmp->width, bmp->height, 8, nullptr);
  if (!dc) {
    int w = bmp->width, h = bmp->height;
    gdevFreeBitmap(bmp);
    return logError(-1, "%s: error allocating memory DC (%dx%dx8bpp)", "mosLoadBitmap()", w, h);
  }
  mglSetGreyPalette(dc);
  gdevPutBitmap(dc, 0, 0, bmp);
  gdevFreeBitmap(bmp);
  int rc = mosBuildFromDC(mos, dc);
  gdevDestroyDC(dc);
  return rc;
}

int mosSortByName(const char* name) {
  for (int i = 0; i < 5; i++)
    if (std::strcmp(name, kSortNames[i]) == 0) return MOS_SORT_RANDOM + i;
  return -1;
}

// Random order and random ties use one random key per tile drawn before
// sorting: a comparison that answers at random is no ordering at all, and
// sorting with one is undefined.
void mosSort(Mosaic* mos, int sort) {
  if (sort == MOS_SORT_NONE || mos->tiles.count < 2) return;
  struct Keyed {
    MosTile tile;
    int key;
  };
  std::vector<Keyed> v(static_cast<size_t>(mos->tiles.count));
  for (int i = 0; i < mos->tiles.count; i++)
    v[i] = {*static_cast<MosTile*>(arrGet(&mos->tiles, i)), rndNext()};
  auto light = [](const Keyed& a, const Keyed& b) { return a.tile.light < b.tile.light; };
  switch (sort) {
    case MOS_SORT_RANDOM:
      std::stable_sort(v.begin(), v.end(), [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
      break;
    case MOS_SORT_LIGHT:
      std::stable_sort(v.begin(), v.end(), [&](const Keyed& a, const Keyed& b) {
        return light(a, b) || (!light(b, a) && a.key < b.key);
      });
      break;
    case MOS_SORT_LIGHTREV:
      std::stable_sort(v.begin(), v.end(), [&](const Keyed& a, const Keyed& b) {
        return light(b, a) || (!light(a, b) && a.key < b.key);
      });
      break;
    case MOS_SORT_LIGHT_YX:
      std::stable_sort(v.begin(), v.end(), [](const Keyed& a, const Keyed& b) {
        if (a.tile.light != b.tile.light) return a.tile.light < b.tile.light;
        if (a.tile.y != b.tile.y) return a.tile.y < b.tile.y;
        return a.tile.x < b.tile.x;
      });
      break;
    case MOS_SORT_LIGHTREV_YX:
      std::stable_sort(v.begin(), v.end(), [](const Keyed& a, const Keyed& b) {
        if (a.tile.light != b.tile.light) return a.tile.light > b.tile.light;
        if (a.tile.y != b.tile.y) return a.tile.y > b.tile.y;
        return a.tile.x < b.tile.x;
      });
      break;
    default:
      return;
  }
  for (int i = 0; i < mos->tiles.count; i++) *static_cast<MosTile*>(arrGet(&mos->tiles, i)) = v[i].tile;
}

int mosRunBegin(MosRun* run, Mosaic* mos, int alphaSteps, int addFreq, int addNum) {
  std::memset(run, 0, sizeof *run);
  run->mos = mos;
  run->alphaSteps = alphaSteps < 1 ? 1 : alphaSteps;
  run->addFreq = addFreq < 1 ? 1 : addFreq;
  run->addNum = addNum < 1 ? 1 : addNum;
  run->countdown = run->addFreq;
  mos->cursor = 0;
  if (arrInit(&run->active, sizeof(ActiveTile), 64, 64) < 0)
    return logError(-1, "%s: error creating g-buffer for animated tiles", "MOS_ANIM_RUN()");
  return 0;
}

int mosRunStep(MosRun* run, const GdevDC* from, const GdevDC* to) {
  Mosaic* mos = run->mos;
  if (run->countdown-- <= 0) {
    run->countdown = run->addFreq;
    for (int n = 0; n < run->addNum && mos->cursor < mos->tiles.count; n++) {
      const MosTile* t = static_cast<const MosTile*>(arrGet(&mos->tiles, mos->cursor++));
      ActiveTile a{t->firstSpan, t->spanCount, 1};
      arrAppend1(&run->active, &a);
    }
  }
  gscr* s = gsCurrent;
  bool drawable = s && s->pixels && from && to && (s->bpp == 15 || s->bpp == 16 || s->bpp == 24) &&
                  from->bitsPerPixel == s->bpp && to->bitsPerPixel == s->bpp;
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  run->finished = 0;
  for (int i = 0; i < run->active.count; i++) {
    ActiveTile* a = static_cast<ActiveTile*>(arrGet(&run->active, i));
    if (a->step > run->alphaSteps) {
      run->finished++;
      continue;
    }
    int alpha = a->step * 255 / run->alphaSteps;
    a->step++;
    if (!drawable) continue;
    int bpp = s->bytesPerPixel;
    for (int k = 0; k < a->spanCount; k++) {
      const MosSpan* sp = static_cast<const MosSpan*>(arrGet(&mos->spans, a->firstSpan + k));
      if (!sp || sp->y < 0 || sp->y >= s->height || sp->y >= from->height || sp->y >= to->height)
        continue;
      int x0 = std::max(sp->x, 0);
      int x1 = std::min({sp->x + sp->length, s->width, from->width, to->width});
      if (x0 >= x1) continue;
      uint8_t* d = s->pixels + static_cast<ptrdiff_t>(sp->y) * s->pitch + x0 * bpp;
      const uint8_t* f = from->pixels + static_cast<ptrdiff_t>(sp->y) * from->bytesPerLine + x0 * bpp;
      const uint8_t* t = to->pixels + static_cast<ptrdiff_t>(sp->y) * to->bytesPerLine + x0 * bpp;
      for (int x = x0; x < x1; x++, d += bpp, f += bpp, t += bpp) blendPixel(d, f, t, s->bpp, alpha);
      left = std::min(left, x0);
      right = std::max(right, x1 - 1);
      top = std::min(top, sp->y);
      bottom = std::max(bottom, sp->y);
    }
  }
  if (right >= 0) gsAddDirtyCoord(left, top, right, bottom);
  return run->finished < mos->tiles.count ? 1 : 0;
}

void mosRunEnd(MosRun* run) { arrFree(&run->active); }

int ANIM_PRELOAD(ConfSet* conf, int i) {
  const char* mask = conf_getstrf(conf, "anim%d.mask", nullptr, i);
  if (!mask) return 0;
  MosAnim& a = gAnims.anims[i];
  const char* sortName = conf_getstrf(conf, "anim%d.sort", conf_getstr(conf, "sort", ""), i);
  a.delay = conf_getintf(conf, "anim%d.delay", conf_getint(conf, "delay", 0), i);
  a.alphaSteps = std::max(1, conf_getintf(conf, "anim%d.alpha_steps", conf_getint(conf, "alpha_steps", 1), i));
  a.addFreq = std::max(1, conf_getintf(conf, "anim%d.addfreq", conf_getint(conf, "addfreq", 1), i));
  a.addNum = std::max(1, conf_getintf(conf, "anim%d.addnum", conf_getint(conf, "addnum", 1), i));
  if (mosCreate(&a.mos) < 0) return -1;
  if (mosLoadBitmap(&a.mos, mask) < 0) {
    mosFree(&a.mos);
    return logError(-1, "%s: error loading mask '%s'", "ANIM_PRELOAD()", mask);
  }
  int sort = mosSortByName(sortName);
  if (sort < 0) {
    logPrint("%s: unknown sort type '%s', defaulting to no sort", "ANIM_PRELOAD()", sortName);
    sort = MOS_SORT_NONE;
  }
  mosSort(&a.mos, sort);
  return 1;
}

int MOS_ANIM_PRELOAD(int writeBinary) {
  mosAnimFreeAll();
  ConfSet conf{};
  int rc = conf_anyread(&conf, "MOS_ANIM_PRELOAD()", "conf/mosaic.conf", "conf/mosaic.bcf", writeBinary);
  for (int i = 0; rc == 0 && i < MOS_MAX_ANIMS; i++) {
    int r = ANIM_PRELOAD(&conf, i);
    if (r < 0) rc = -1;
    if (r <= 0) break;
    gAnims.count = i + 1;
  }
  conf_free(&conf);
  if (rc < 0) return logError(-1, "%s: error preloading animations", "MOS_ANIM_PRELOAD()");
  return 0;
}

int mosAnimCount() { return gAnims.count; }

void mos_anim_free() {
  if (gAnims.keptFrom) mglFreeDC(gAnims.keptFrom);
  gAnims.keptFrom = nullptr;
}

void mosAnimFreeAll() {
  mos_anim_free();
  for (int i = 0; i < gAnims.count; i++) mosFree(&gAnims.anims[i].mos);
  gAnims.count = 0;
}

int MOS_ANIM_RUN(GdevDC* picture, int index, int forward) {
  if (index < 0 || index >= gAnims.count)
    return logError(-1, "%s: incorrect animation index %d (max %d)", "MOS_ANIM_RUN()", index,
                    gAnims.count - 1);
  gscr* s = gsCurrent;
  if (!s || !s->dc || !picture) return logError(-1, "%s: no screen or picture, SE", "MOS_ANIM_RUN()");
  MosAnim& a = gAnims.anims[index];

  GdevDC *from = nullptr, *to = nullptr;
  if (forward) {
    to = mglCloneDC(picture);
    from = mglCloneDC(s->dc);
  } else {
    from = mglCloneDC(picture);
    to = gAnims.keptFrom;
    gAnims.keptFrom = nullptr;
  }
  if (!from || !to) {
    if (from) mglFreeDC(from);
    if (to) mglFreeDC(to);
    return logError(-1, "%s: error creating memory DC (%dx%dx%dbpp)", "MOS_ANIM_RUN()", s->width,
                    s->height, s->bpp);
  }

  MosRun run;
  if (mosRunBegin(&run, &a.mos, a.alphaSteps, a.addFreq, a.addNum) < 0) {
    mglFreeDC(from);
    mglFreeDC(to);
    return -1;
  }
  tmBeginFrame();
  double mark = tmTime;
  bool first = true, running = a.mos.tiles.count > 0;
  while (running && !gdevQuitRequested()) {
    tmBeginFrame();
    tmMarkFrame();
    gdevPumpEvents();
    if (tmTime - mark > a.delay) {
      running = mosRunStep(&run, from, to) != 0;
      mark += a.delay;
    }
    if (first) gsDirtyAll();
    first = false;
    gsUpdate(0);
    tmEndFrame();
  }
  mosRunEnd(&run);

  if (forward) {
    mos_anim_free();
    gAnims.keptFrom = from;
    mglFreeDC(to);
  } else {
    mglCopyDC(s->dc, to);
    gsDirtyAll();
    gsUpdate(0);
    mglFreeDC(from);
    mglFreeDC(to);
  }
  return 0;
}
