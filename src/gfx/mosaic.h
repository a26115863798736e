#pragma once
// Mosaic animations: a full-screen transition in which the screen, cut into
// irregular tiles by a grey mask picture, cross-fades tile by tile from the
// picture shown to another one. Used around subgames and regime changes.
#include <cstdint>

#include "core/mem.h"
#include "platform/gdev.h"

enum { MOS_MAX_ANIMS = 16 };

struct MosTile {
  int x, y;    // first pixel of the tile in scan order
  int light;   // its mask value
  int firstSpan, spanCount;
};

struct MosSpan {
  int x, y, length;
};

struct Mosaic {
  Array tiles;  // MosTile
  Array spans;  // MosSpan
  int cursor;   // next tile to start
};

enum MosSort {
  MOS_SORT_NONE,
  MOS_SORT_RANDOM,
  MOS_SORT_LIGHT,
  MOS_SORT_LIGHTREV,
  MOS_SORT_LIGHT_YX,
  MOS_SORT_LIGHTREV_YX,
};

int mosCreate(Mosaic* mos);
void mosFree(Mosaic* mos);
// Builds the tiles from a mask picture: every 4-connected area of one
// non-zero grey is a tile. 0 or -1.
int mosLoadBitmap(Mosaic* mos, const char* file);
// The same from a mask already in an 8-bit surface (the surface is cleared).
int mosBuildFromDC(Mosaic* mos, GdevDC* mask);
// "random", "light", "lightrev", "light_yx", "lightrev_yx"; -1 when unknown.
int mosSortByName(const char* name);
void mosSort(Mosaic* mos, int sort);

// One running transition: which tiles are active and how far they are.
struct MosRun {
  Mosaic* mos;
  int alphaSteps, addFreq, addNum;
  int countdown;
  Array active;  // {first span, span count, step}
  int finished;
};

int mosRunBegin(MosRun* run, Mosaic* mos, int alphaSteps, int addFreq, int addNum);
// One step: starts tiles when due and blends every active one from `from` to
// `to` into the screen (gsCurrent); the blended area is marked dirty. Returns
// 1 while tiles remain, 0 when the animation has ended.
int mosRunStep(MosRun* run, const GdevDC* from, const GdevDC* to);
void mosRunEnd(MosRun* run);

// The animation set of conf/mosaic.conf.
int MOS_ANIM_PRELOAD(int writeBinary);
int ANIM_PRELOAD(struct ConfSet* conf, int index);
int mosAnimCount();
// Runs animation index from the screen to picture (forward) or back from
// picture to the screen kept by the last forward run. 0 or -1.
int MOS_ANIM_RUN(GdevDC* picture, int index, int forward);
void mos_anim_free();
// Frees the preloaded animations as well.
void mosAnimFreeAll();
