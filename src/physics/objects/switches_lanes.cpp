// Rollover lanes and the light row. Their state is the lamps themselves:
// a lane or target is "made" while its lamp is on, and a group is complete
// when all four of its lamps are.
#include <cstdlib>

#include "anim/lights.h"
#include "anim/title.h"
#include "core/log.h"
#include "game/game.h"
#include "game/mission.h"
#include "game/trigger.h"
#include "game/mode.h"
#include "core/nproc.h"
#include "game/stats.h"
#include "physics/opr.h"
#include "physics/objects/switches_internal.h"
#include "physics/table.h"
#include "sound/fx.h"

// ---- Lane gates ----
//
// Four rollover lanes per group: the Duma lanes (lamps 6..9) and the
// Kremlin lanes (lamps 2..5). The ball rolls over a lane without a bounce
// and lights its lamp; the flipper keys move the lit pattern sideways.

namespace {

enum { LANES = 4 };

struct LaneKind {
  int family;
  const char* reader;
  int firstLight;
  int sample;
  const char* stat;
  void (*complete)(BoardObject* object);
  KeyEventFn rotate;
};

struct LaneParms {
  const LaneKind* kind;
  int place;
};

void dumaComplete(BoardObject* object) {
  if (missionCurrent() == MISSION_ELECTIONS) {
    swScores4("duma%d:pres");
  } else if (game.duma == 1) {
    swScores4("duma%d:on");
    modeEvent(4, MEVT_LAW_DUMA, 0, object);
  } else {
    swScores4("duma%d");
  }
}

void kremComplete(BoardObject* object) {
  if (missionCurrent() == MISSION_ELECTIONS) {
    swScores4("ukaz%d:pres");
  } else {
    swScores4("ukaz%d");
    modeEvent(5, MEVT_UKAZY_UKAZ, 0, object);
  }
}

// Each lamp of the four takes the state of the next higher one (left
// flipper, a = 0) or of the next lower one (right flipper, a = 1), cyclically.
void rotateLanes(int first, int a) {
  if (a != 0 && a != 1) return;
  int before[LANES];
  for (int i = 0; i < LANES; i++) {
    int s = lightGetState(first + i);
    before[i] = s < 0 ? LIGHT_OFF : s;
  }
  for (int i = 0; i < LANES; i++) {
    int from = a == 0 ? (i + 1) % LANES : (i + LANES - 1) % LANES;
    if (before[i] != before[from]) lightSet(first + i, before[from]);
  }
}

void rotateDuma(int, int a, int) { rotateLanes(LI_DUMAGATE0, a); }
void rotateKrem(int, int a, int) { rotateLanes(LI_KREMGATE0, a); }

const LaneKind kDumagate = {.family = FAM_DUMAGATE,
                            .reader = "dumagate_reader()",
                            .firstLight = LI_DUMAGATE0,
                            .sample = SI_DUMAGATE,
                            .stat = "evt:duma",
                            .complete = dumaComplete,
                            .rotate = rotateDuma};
const LaneKind kKremgate = {.family = FAM_KREMGATE,
                            .reader = "kremgate_reader()",
                            .firstLight = LI_KREMGATE0,
                            .sample = SI_KREMGATE,
                            .stat = "evt:ukaz",
                            .complete = kremComplete,
                            .rotate = rotateKrem};

int laneHandler(BoardObject* object, BoardEvent* event) {
  auto* p = static_cast<LaneParms*>(object->parms);
  if (!p) return 0;
  const LaneKind* k = p->kind;
  switch (event->type) {
    case BE_KILL:
      return objKill(object, nullptr);
    case BE_HIT: {
      if (!objLiveBall(event->other)) return 0;
      int light = k->firstLight + p->place;
      if (swLampOff(light)) {
        playTableSample(k->sample);
        lightSet(light, LIGHT_ON);
      }
      return 0;
    }
    case BE_FRAME:
      for (int i = 0; i < LANES; i++)
        if (lightGetState(k->firstLight + i) != LIGHT_ON) return 0;
      gstatSample(k->stat);
      k->complete(object);
      for (int i = 0; i < LANES; i++) lightSet(k->firstLight + i, LIGHT_OFF);
      return 0;
    default:
      return 0;
  }
}

int laneRead(const LaneKind* k, int layer, Outline* outline) {
  ObjReader r;
  auto* p = objReaderStart<LaneParms>(&r, k->reader, k->family, layer, outline);
  if (!p) return 0;
  p->kind = k;
  if (!objReaderPlaceUpTo(&r, LANES - 1, &p->place)) return objReaderAbandon(&r);
  BoardObject* object = objReaderAddShape(&r, laneHandler, k->family, objReaderElasticity(&r), 0);
  if (!object) return objReaderAbandon(&r);
  objReaderFinish(&r, object);
  eventRegister(0, k->rotate);
  objReaderNote(&r, "place-%d", p->place);
  return 1;
}

}  // namespace

int dumagate_reader(int, int layer, Outline* outline) { return laneRead(&kDumagate, layer, outline); }
int kremgate_reader(int, int layer, Outline* outline) { return laneRead(&kKremgate, layer, outline); }

// ---- Light row ----
//
// Four targets (lamps 10..13). Lighting all four makes the row blink for
// action_delay; then it goes dark and both blockers go down. The outer
// targets also collect a lit extra ball.

namespace {

enum { ROW_TARGETS = 4, ROW_MAX_PLACE = ROW_TARGETS - 1 };

struct RowParms {
  int place;
  int actionDelay;
};

struct LightRow {
  double start;     // when the row began to blink
  int completions;  // times the row was completed
};
LightRow gRow;

constexpr const char* kRowReader = "trilights_reader()";
constexpr const char* kRowHandler = "trilights_handler()";

int rowAll(int state) {
  for (int i = 0; i < ROW_TARGETS; i++)
    if (lightGetState(LI_USSR0 + i) != state) return 0;
  return 1;
}

// A lamp has finished switching on once its program passed its last mark.
int rowAllLit() {
  if (!rowAll(LIGHT_ON)) return 0;
  for (int i = 0; i < ROW_TARGETS; i++)
    if (lightGetMark(LI_USSR0 + i) != 1) return 0;
  return 1;
}

// From the second completion on, the end of the row's title tells the
// rules, which light the next extra-ball lamp.
void rowTitleEnd() { gameLightExtraBall(); }

void rowFrame(const RowParms* p) {
  double now = tableNow();
  if (rowAll(LIGHT_BLINK)) {
    if (now - gRow.start > p->actionDelay) {
      for (int i = 0; i < ROW_TARGETS; i++) lightSet(LI_USSR0 + i, LIGHT_OFF);
      BLOCKER_CONTROL_DOWN(0);
      BLOCKER_CONTROL_DOWN(1);
    }
    return;
  }
  if (!rowAllLit()) return;
  gstatSample("evt:ussr");
  gRow.start = now;
  for (int i = 0; i < ROW_TARGETS; i++) lightSet(LI_USSR0 + i, LIGHT_BLINK);
  int title = startForeTitle("trilights_can_shift");
  // Runs the next step at once when no title plays (titles not loaded).
  if (++gRow.completions >= 2) titleEndCallbackOrNow(title, rowTitleEnd);
}

int rowHandler(BoardObject* object, BoardEvent* event) {
  auto* p = static_cast<RowParms*>(object->parms);
  if (!p) return 0;
  switch (event->type) {
    case BE_KILL:
      return objKill(object, nullptr);
    case BE_HIT:
      if (objLiveBall(event->other)) BOUNCE_SHAPE(event, object, event->other);
      return 0;
    case BE_UNHIT: {
      if (!objLiveBall(event->other)) return 0;
      if (p->place < 0 || p->place > ROW_MAX_PLACE)
        return logError(-1, "%s: %d invalid place (%d, max %d)", kRowHandler, object->id, p->place, ROW_MAX_PLACE);
      int light = LI_USSR0 + p->place;
      if (swLampOff(light)) {
        playTableSample(SI_TRILIGHTS);
        lightSet(light, LIGHT_ON);
      }
      int xb = p->place == 0 ? LI_XB0 : p->place == ROW_MAX_PLACE ? LI_XB1 : -1;
      if (xb >= 0 && lightGetState(xb) == LIGHT_ON) {
        gstatSample("ball:xb");
        lightSet(xb, LIGHT_OFF);
        startForeTitle("xball");
      }
      return 0;
    }
    case BE_FRAME:
      if (p->place == 0) rowFrame(p);
      return 0;
    default:
      return 0;
  }
}

}  // namespace

int trilights_reader(int, int layer, Outline* outline) {
  ObjReader r;
  auto* p = objReaderStart<RowParms>(&r, kRowReader, FAM_TRILIGHTS, layer, outline);
  if (!p) return 0;
  p->place = OPR_INT(outline, "place", -1);
  p->actionDelay = OPR_INT(outline, "action_delay", 3000);
  BoardObject* object = objReaderAddShape(&r, rowHandler, FAM_TRILIGHTS, objReaderElasticity(&r), 0);
  if (!object) return objReaderAbandon(&r);
  objReaderFinish(&r, object);
  objReaderNote(&r, "place-%d action_delay-%d", p->place, p->actionDelay);
  return 1;
}

void swLanesReset() { gRow = LightRow{}; }
