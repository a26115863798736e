// Drop flaps: two groups of three, the temple flaps (hflap) and the
// mausoleum flaps (mflap). A hit drops a flap; a dropped flap lets the ball
// roll over it. When all three of a group are down the group reports, its
// title runs, and at the title's end the flaps come back up (the mausoleum
// flaps only when the rules ask and no ball lies on the middle flap).
#include <cstdlib>
#include <cstring>

#include "anim/title.h"
#include "core/log.h"
#include "core/text.h"
#include "game/game.h"
#include "game/mission.h"
#include "game/trigger.h"
#include "game/score.h"
#include "game/stats.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "physics/opr.h"
#include "physics/objects/switches_internal.h"
#include "physics/table.h"
#include "sound/fx.h"

namespace {

enum { FLAPS = 3, GROUP_H = 0, GROUP_M = 1, GROUPS = 2, COUNTED_PLACE = 1 };
enum FlapState { FLAP_UP = 0, FLAP_GOING_DOWN = 1, FLAP_DOWN = 2, FLAP_GOING_UP = 3 };

struct FlapParms {
  int group;
  Sprite* sprite;
  VBOBJ* inst;
  int place, state, frame;
  double time;
  int upDelay, downDelay;
  BoardObject* object;
};

struct FlapGroup {
  FlapParms* flaps[FLAPS];
  int reported;       // the group's completion was reported; cleared when the flaps rise
  int riseRequested;  // the flaps are to rise as soon as they may
  int ballsOn;        // balls on the counted flap (mausoleum flaps only)
};

struct FlapKind {
  int family;
  const char* reader;
  const char* handler;
  const char* stat;
  const char* presScore;
  const char* title;  // with the group's counter + 1
  int* counter;       // the rules' count of completions
  TitleEndFn titleEnd;
  int countsBalls;
};

FlapGroup gGroups[GROUPS];

void requestRise(int group) { gGroups[group].riseRequested = 1; }

// The blessing or mausoleum count grows by one (at most 5) through its
// setter, which lights its lamps.
int counterAfter(int* counter) {
  if (counter == &game.amen)
    gameSetAmen(game.amen + 1);
  else
    gameSetMumra(game.mumra + 1);
  return *counter;
}

void endOfAmenTitle() {
  counterAfter(&game.amen);
  requestRise(GROUP_H);
  playTableSample(SI_FLAPS_UP);
}

void endOfMumraTitle() {
  if (counterAfter(&game.mumra) > 4) {
    // objEnable reports "object 'mavz' not registered" itself.
    objEnable("mavz");
    return;
  }
  requestRise(GROUP_M);
  playTableSample(SI_FLAPS_UP);
}

const FlapKind kKinds[GROUPS] = {
    {.family = FAM_HFLAP,
     .reader = "hflap_reader()",
     .handler = "hflap_handler()",
     .stat = "evt:hflaps",
     .presScore = "hflaps:pres",
     .title = "amen%d",
     .counter = &game.amen,
     .titleEnd = endOfAmenTitle,
     .countsBalls = 0},
    {.family = FAM_MFLAP,
     .reader = "mflap_reader()",
     .handler = "mflap_handler()",
     .stat = "evt:mflaps",
     .presScore = "mflaps:pres",
     .title = "mumra%d",
     .counter = &game.mumra,
     .titleEnd = endOfMumraTitle,
     .countsBalls = 1},
};

// The mausoleum flaps may not rise under a ball. A ball removed from the
// board never sends BE_UNHIT, and its slot may already hold a new ball, so
// when the count says a ball is on the middle flap the board is asked
// whether any ball still touches it.
int mayRise(int group) {
  FlapGroup& g = gGroups[group];
  if (!kKinds[group].countsBalls || g.ballsOn <= 0) return 1;
  const FlapParms* middle = g.flaps[COUNTED_PLACE];
  const Board* board = boardActive();
  if (middle && middle->object && board) {
    for (int i = 0; i < board->count; i++) {
      const BoardObject* b = &board->objects[i];
      if (b->id >= 0 && b->kind == BK_BALL && boardInContact(middle->object->id, b->id)) return 0;
    }
  }
  g.ballsOn = 0;
  return 1;
}

void groupFrame(int group) {
  FlapGroup& g = gGroups[group];
  const FlapKind& k = kKinds[group];
  int down = 0;
  for (FlapParms* f : g.flaps)
    if (f && f->state == FLAP_DOWN) down++;
  if (down == FLAPS && !g.reported) {
    g.reported = 1;
    gstatSample(k.stat);
    if (missionCurrent() == MISSION_ELECTIONS) {
      scoreAdd(k.presScore);
      requestRise(group);
    } else {
      char title[32];
      strFormatN(title, sizeof title, k.title, *k.counter + 1);
      // Runs the next step at once when no title plays (titles not loaded).
      titleEndCallbackOrNow(startForeTitle(title), k.titleEnd);
    }
  }
  if (g.riseRequested && mayRise(group)) {
    g.riseRequested = 0;
    g.reported = 0;
    double now = tableNow();
    for (FlapParms* f : g.flaps)
      if (f && f->state == FLAP_DOWN) {
        f->state = FLAP_GOING_UP;
        f->time = now;
      }
  }
}

void flapAnimate(FlapParms* f) {
  double now = tableNow();
  int last = objFrames(f->sprite) - 1;
  if (f->state == FLAP_GOING_DOWN && now - f->time > f->downDelay) {
    f->time = now;
    if (f->frame > 0) f->frame--;
    if (f->frame <= 0) {
      f->frame = 0;
      f->state = FLAP_DOWN;
    }
  } else if (f->state == FLAP_GOING_UP && now - f->time > f->upDelay) {
    f->time = now;
    if (f->frame < last) f->frame++;
    if (f->frame >= last) f->state = FLAP_UP;
  }
}

int flapHandler(BoardObject* object, BoardEvent* event) {
  auto* f = static_cast<FlapParms*>(object->parms);
  if (!f) return 0;
  FlapGroup& g = gGroups[f->group];
  const FlapKind& k = kKinds[f->group];
  int counted = k.countsBalls && f->place == COUNTED_PLACE;
  switch (event->type) {
    case BE_KILL:
      for (auto& slot : g.flaps)
        if (slot == f) slot = nullptr;
      return objKill(object, f->inst);
    case BE_HIT:
      if (!objLiveBall(event->other)) return 0;
      if (counted) g.ballsOn++;
      // Only a flap lying down lets the ball roll over it; one that is
      // falling or rising is still in the way.
      if (f->state != FLAP_DOWN) BOUNCE_SHAPE(event, object, event->other);
      if (!f->inst) return objVboMissing(k.handler, object);
      if (f->state == FLAP_UP) {
        f->state = FLAP_GOING_DOWN;
        f->time = tableNow();
        playTableSample(SI_FLAP_DOWN);
      }
      return 0;
    case BE_UNHIT:
      if (counted && objLiveBall(event->other) && g.ballsOn > 0) g.ballsOn--;
      return 0;
    case BE_FRAME:
      if (!f->inst) return objVboMissing(k.handler, object);
      flapAnimate(f);
      groupFrame(f->group);
      vbSetFrame(f->inst, f->frame);
      return 0;
    default:
      return 0;
  }
}

int flapRead(int group, int layer, Outline* outline) {
  const FlapKind& k = kKinds[group];
  ObjReader r;
  auto* f = objReaderStart<FlapParms>(&r, k.reader, k.family, layer, outline);
  if (!f) return 0;
  f->group = group;
  if (!objReaderPlaceUpTo(&r, FLAPS - 1, &f->place) || !(f->sprite = objReaderSprite(&r, "sprite")))
    return objReaderAbandon(&r);
  f->upDelay = OPR_INT(outline, "up_delay", 10);
  f->downDelay = OPR_INT(outline, "down_delay", 10);
  f->state = FLAP_UP;
  f->frame = objFrames(f->sprite) - 1;

  BoardObject* object = objReaderAddShape(&r, flapHandler, k.family, objReaderElasticity(&r), 0);
  if (!object) return objReaderAbandon(&r);
  f->object = object;
  f->inst = swInstance(&r, f->sprite, f->frame);
  objReaderFinish(&r, object);
  gGroups[group].flaps[f->place] = f;
  objReaderNote(&r, "place-%d up_delay-%d down_delay-%d", f->place, f->upDelay, f->downDelay);
  return 1;
}

}  // namespace

int hflap_reader(int, int layer, Outline* outline) { return flapRead(GROUP_H, layer, outline); }
int mflap_reader(int, int layer, Outline* outline) { return flapRead(GROUP_M, layer, outline); }

void mflapRequestRise() { requestRise(GROUP_M); }

void swFlapsReset() { std::memset(gGroups, 0, sizeof gGroups); }
