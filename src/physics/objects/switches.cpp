// Switches: the table's targets. This file holds the heat-and-cool buttons
// (button, spiralbtn, ostbtn, zonabtn), the seven gas buttons, the helpers
// the switch kinds share and the reset of their table-wide state. The lane
// gates and the light row live in switches_lanes.cpp, the flaps in
// switches_flaps.cpp.
#include <cstdlib>
#include <cstring>
#include <string>

#include "anim/lights.h"
#include "anim/title.h"
#include "core/log.h"
#include "core/text.h"
#include "game/game.h"
#include "game/mission.h"
#include "game/trigger.h"
#include "game/mode.h"
#include "game/score.h"
#include "game/stats.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "physics/objects/objects_reset.h"
#include "physics/opr.h"
#include "physics/objects/switches_internal.h"
#include "physics/table.h"
#include "sound/fx.h"

// ---- Shared helpers ----

VBOBJ* swInstance(ObjReader* r, Sprite* sprite, int frame) {
  return vbCurrent ? objReaderInstance(r, sprite, frame, 0) : nullptr;
}

void swScores4(const char* format) {
  char subject[64];
  for (int i = 0; i < 4; i++) {
    strFormatN(subject, sizeof subject, format, i);
    scoreAdd(subject);
  }
}

int swLampOff(int light) { return lightGetState(light) <= LIGHT_OFF; }

// ---- Heat-and-cool buttons ----
//
// A hit lights the button: its heat sprite plays once, then a button or the
// spiral button stays hot for a while and cools down through its cool
// sprite; an ostbtn or zonabtn stays held until its pair completes or the
// rules release it.

namespace {

enum HcState { HC_IDLE = 0, HC_HEATING = 1, HC_HELD = 2, HC_HOT = 3, HC_COOLING = 4 };

struct HcParms;
using HcReport = void (*)(HcParms* p, BoardObject* object);

struct HcKind {
  int family;
  const char* reader;
  const char* handler;
  const char* word;  // "ostbtn", "zonabtn": statistics and score names by place
  int sample;
  int hasLogic, hasPlace, holds;
  int pair;  // index into gPairs, -1 for kinds without a pair
  HcReport report;
};

struct HcParms {
  const HcKind* kind;
  Sprite* heat;
  Sprite* cool;
  VBOBJ* inst;
  Sprite* shown;
  int state, frame;
  double time;
  int heatDelay, coolDelay, gocoolDelay, jitterDelay;
  int logic;  // index into kLogics; -1 for the kinds without logic
  int place;  // 0 or 1 for the pairs; -1 otherwise
  BoardObject* object;
};

// What a plain button reports, by its "logic".
struct HcLogic {
  const char* name;
  const char* stat;
  int mode, event;
};
constexpr HcLogic kLogics[] = {
    {"ukazy", "hit:ukazy_button", 5, 21},
    {"msel", "hit:krem_rbutton", 1, 8},
    {"law", "hit:law_button", 4, 18},
    {"question", "hit:krem_lbutton", 9, 9},
};

enum { PAIR_OST = 0, PAIR_ZONA = 1, PAIRS = 2 };
HcParms* gPairs[PAIRS][2];

void reportButton(HcParms* p, BoardObject* object) {
  const HcLogic& l = kLogics[p->logic];
  gstatSample(l.stat);
  modeEvent(l.mode, l.event, 0, object);
}

void reportPlace(HcParms* p, BoardObject*) {
  char name[32];
  strFormatN(name, sizeof name, "hit:%s%d", p->kind->word, p->place);
  gstatSample(name);
  scoreAdd(name + 4);
}

// The advertisement counter: every seventh hit releases the stored balls.
// The others each sell an advertisement, which switches the tower's lift on
// for a while: its magnets draw the ball to the lift, which locks it.
void reportSpiral(HcParms*, BoardObject* object) {
  gstatSample("hit:spiralbtn");
  modeEvent(10, MEVT_SPIRALBTN, 0, object);
  gameSetReklama(game.reklama + 1);
  if (game.reklama >= 7) {
    ostliftStartRelease();
    gameSetReklama(0);
  } else {
    startForeTitle("reklama_payfor");
    gameSetLift(1);
  }
}

const HcKind kButton = {.family = FAM_BUTTON,
                        .reader = "button_reader()",
                        .handler = "button_handler()",
                        .word = nullptr,
                        .sample = SI_BUTTON,
                        .hasLogic = 1,
                        .hasPlace = 0,
                        .holds = 0,
                        .pair = -1,
                        .report = reportButton};
const HcKind kSpiral = {.family = FAM_SPIRALBTN,
                        .reader = "spiralbtn_reader()",
                        .handler = "spiralbtn_handler()",
                        .word = nullptr,
                        .sample = SI_SPIRALBTN,
                        .hasLogic = 0,
                        .hasPlace = 0,
                        .holds = 0,
                        .pair = -1,
                        .report = reportSpiral};
const HcKind kOst = {.family = FAM_OSTBTN,
                     .reader = "ostbtn_reader()",
                     .handler = "ostbtn_handler()",
                     .word = "ostbtn",
                     .sample = SI_OSTBTN,
                     .hasLogic = 0,
                     .hasPlace = 1,
                     .holds = 1,
                     .pair = PAIR_OST,
                     .report = reportPlace};
const HcKind kZona = {.family = FAM_ZONABTN,
                      .reader = "zonabtn_reader()",
                      .handler = "zonabtn_handler()",
                      .word = "zonabtn",
                      .sample = SI_ZONABTN,
                      .hasLogic = 0,
                      .hasPlace = 1,
                      .holds = 1,
                      .pair = PAIR_ZONA,
                      .report = reportPlace};

void hcShow(HcParms* p) {
  if (!p->inst) return;
  if (p->inst->sprite != p->shown) vbSetSprite(p->inst, p->shown);
  vbSetFrame(p->inst, p->frame);
}

void hcStartHeating(HcParms* p) {
  p->state = HC_HEATING;
  p->shown = p->heat;
  p->frame = 0;
  p->time = tableNow();
}

void hcStartCooling(HcParms* p) {
  p->state = HC_COOLING;
  p->shown = p->cool;
  p->frame = 0;
  p->time = tableNow();
}

void hcRelease(HcParms* p) {
  p->state = HC_HOT;
  p->shown = p->heat;
  p->frame = objFrames(p->heat) - 1;
  p->time = tableNow();
}

// A button of a pair has just become held: when its partner is held too,
// the pair acts.
void hcPairHeld(HcParms* p) {
  HcParms* partner = gPairs[p->kind->pair][1 - p->place];
  if (!partner || partner == p || partner->state != HC_HELD) return;
  if (p->kind->pair == PAIR_OST) {
    hcStartCooling(p);
    hcStartCooling(partner);
    hcShow(partner);
    if (game.spiral == 0) {
      gameSetSpiral(1);
      startForeTitle("tv_gas_gas");
    } else {
      gameSetSpiral(0);
      startForeTitle("tv_gas_tv");
    }
  } else {
    modeEvent(3, MEVT_ZONA_BUTTONS, 0, p->object);
  }
}

void hcAnimate(HcParms* p) {
  double now = tableNow();
  switch (p->state) {
    case HC_HEATING:
      if (now - p->time <= p->heatDelay) break;
      p->time = now;
      if (p->frame + 1 < objFrames(p->heat)) {
        p->frame++;
      } else if (p->kind->holds) {
        p->state = HC_HELD;
        hcPairHeld(p);
      } else {
        p->state = HC_HOT;
      }
      break;
    case HC_HELD:
      // A held button flickers between its last two heat frames, one change
      // per jitter_delay (0: it stands still).
      if (p->jitterDelay > 0 && now - p->time > p->jitterDelay && objFrames(p->heat) >= 2) {
        p->time = now;
        int last = objFrames(p->heat) - 1;
        p->frame = p->frame == last ? last - 1 : last;
      }
      break;
    case HC_HOT:
      if (now - p->time > p->gocoolDelay) hcStartCooling(p);
      break;
    case HC_COOLING:
      if (now - p->time <= p->coolDelay) break;
      p->time = now;
      if (p->frame + 1 < objFrames(p->cool)) {
        p->frame++;
      } else {
        p->state = HC_IDLE;
        p->shown = p->heat;
        p->frame = -1;
      }
      break;
    default:
      break;
  }
  hcShow(p);
}

void hcForget(HcParms* p) {
  for (auto& pair : gPairs)
    for (auto& slot : pair)
      if (slot == p) slot = nullptr;
}

int hcHandler(BoardObject* object, BoardEvent* event) {
  auto* p = static_cast<HcParms*>(object->parms);
  if (!p) return 0;
  switch (event->type) {
    case BE_KILL:
      hcForget(p);
      return objKill(object, p->inst);
    case BE_HIT:
      if (!objLiveBall(event->other)) return 0;
      // The ball bounces even when the button cannot be drawn.
      BOUNCE_SHAPE(event, object, event->other);
      if (!p->inst) return objVboMissing(p->kind->handler, object);
      if (p->state != HC_IDLE) return 0;
      hcStartHeating(p);
      hcShow(p);
      playTableSample(p->kind->sample);
      p->kind->report(p, object);
      return 0;
    case BE_FRAME:
      if (!p->inst) return objVboMissing(p->kind->handler, object);
      hcAnimate(p);
      return 0;
    default:
      return 0;
  }
}

int hcRead(const HcKind* kind, int layer, Outline* outline) {
  ObjReader r;
  auto* p = objReaderStart<HcParms>(&r, kind->reader, kind->family, layer, outline);
  if (!p) return 0;
  p->kind = kind;
  p->logic = -1;
  p->place = -1;

  const char* logic = nullptr;
  if (kind->hasLogic) {
    logic = OPR_STRING(outline, "logic", nullptr);
    if (!logic || !logic[0]) return objReaderFail(&r, "'logic' not defined");
    for (int i = 0; i < static_cast<int>(sizeof kLogics / sizeof kLogics[0]); i++)
      if (std::strcmp(kLogics[i].name, logic) == 0) p->logic = i;
    if (p->logic < 0) return objReaderFail(&r, "invalid logic '%s'", logic);
  }
  if (kind->hasPlace && !objReaderPlace(&r, 0, 1, &p->place)) return objReaderAbandon(&r);
  const char *heatName = nullptr, *coolName = nullptr;
  if (!(p->heat = objReaderSprite(&r, "heat_sprite", nullptr, &heatName))) return objReaderAbandon(&r);
  if (!(p->cool = objReaderSprite(&r, "cool_sprite", nullptr, &coolName))) return objReaderAbandon(&r);

  p->heatDelay = OPR_INT(outline, "heat_delay", 50);
  p->coolDelay = OPR_INT(outline, "cool_delay", 50);
  p->gocoolDelay = OPR_INT(outline, "gocool_delay", 1000);
  if (kind->holds) p->jitterDelay = OPR_INT(outline, "jitter_delay", 0);
  p->state = HC_IDLE;
  p->shown = p->heat;
  p->frame = -1;

  BoardObject* object = objReaderAddShape(&r, hcHandler, kind->family, objReaderElasticity(&r), 0);
  if (!object) return objReaderAbandon(&r);
  p->object = object;
  p->inst = swInstance(&r, p->heat, -1);
  objReaderFinish(&r, object);
  if (kind->pair >= 0) gPairs[kind->pair][p->place] = p;

  char extra[96] = "";
  if (logic) strFormatN(extra, sizeof extra, " logic-'%s'", logic);
  if (kind->hasPlace) strFormatN(extra, sizeof extra, " place-%d", p->place);
  objReaderNote(&r, "heat_sprite-'%s' cool_sprite-'%s' heat_delay-%d cool_delay-%d gocool_delay-%d%s", heatName,
                coolName, p->heatDelay, p->coolDelay, p->gocoolDelay, extra);
  return 1;
}

int pairOf(int family) {
  if (family == FAM_OSTBTN) return PAIR_OST;
  if (family == FAM_ZONABTN) return PAIR_ZONA;
  return -1;
}

}  // namespace

int button_reader(int, int layer, Outline* outline) { return hcRead(&kButton, layer, outline); }
int spiralbtn_reader(int, int layer, Outline* outline) { return hcRead(&kSpiral, layer, outline); }
int ostbtn_reader(int, int layer, Outline* outline) { return hcRead(&kOst, layer, outline); }
int zonabtn_reader(int, int layer, Outline* outline) { return hcRead(&kZona, layer, outline); }

void buttonPairLight(int family) {
  int pair = pairOf(family);
  if (pair < 0) return;
  for (HcParms* p : gPairs[pair])
    if (p && p->state == HC_IDLE) {
      hcStartHeating(p);
      hcShow(p);
    }
}

void buttonPairRelease(int family) {
  int pair = pairOf(family);
  if (pair < 0) return;
  for (HcParms* p : gPairs[pair])
    if (p && p->state == HC_HELD) {
      hcRelease(p);
      hcShow(p);
    }
}

void buttonPairCool(int family) {
  int pair = pairOf(family);
  if (pair < 0) return;
  for (HcParms* p : gPairs[pair])
    if (p && p->state == HC_HELD) {
      hcStartCooling(p);
      hcShow(p);
    }
}

// ---- Gas buttons ----
//
// Seven buttons by place. A hit sinks a button (its frames go up); when all
// seven are down the group pays out by the rules' state and all seven come
// back up (their frames go down again).

namespace {

enum { GAS_BUTTONS = 7 };
enum GasState { GAS_IDLE = 0, GAS_HEATING = 1, GAS_DOWN = 2, GAS_HOT = 3, GAS_COOLING = 4 };

struct GasParms {
  Sprite* sprite;
  VBOBJ* inst;
  int place, state, frame;
  double time;
  int heatDelay, coolDelay, gocoolDelay;
  BoardObject* object;
};

GasParms* gGas[GAS_BUTTONS];

constexpr const char* kGasReader = "gasbtn_reader()";
constexpr const char* kGasHandler = "gasbtn_handler()";

// The remaining wells of the gas mission: the counted word in its Russian form.
const std::string& wellWord(int count) {
  static const std::string one = utf8ToCp1251("СКВАЖИНА!");
  static const std::string few = utf8ToCp1251("СКВАЖИНЫ");
  static const std::string many = utf8ToCp1251("СКВАЖИН");
  if (count == 1) return one;
  if (count >= 2 && count <= 4) return few;
  return many;
}

void gasComplete() {
  if (missionCurrent() == MISSION_GASPROM) {
    missionEvent(MEVT_GP_COMPLETE, 0, 0);
  } else if (missionCurrent() == MISSION_ELECTIONS) {
    swScores4("gp%d:pres");
  } else if (game.gp == 1) {
    swScores4("gp%d:on");
    if (game.gasPercent < 100) {
      char percent[16];
      strFormatN(percent, sizeof percent, "%d", game.gasPercent + 10);
      titleSetMacro("export_percent", percent);
      startForeTitle("export");
    }
  } else {
    swScores4("gp%d");
  }
  double now = tableNow();
  for (GasParms* g : gGas)
    if (g) {
      g->state = GAS_HOT;
      g->time = now;
    }
}

// One more button is down.
void gasCount() {
  int down = 0;
  for (GasParms* g : gGas)
    if (g && g->state == GAS_DOWN) down++;
  if (down < GAS_BUTTONS) {
    if (missionCurrent() == MISSION_GASPROM) {
      int left = GAS_BUTTONS - down;
      char text[64];
      // Two lines on the display: the markup's line break is backslash, n.
      strFormatN(text, sizeof text, "%d\\n%s", left, wellWord(left).c_str());
      titleSetMacro("gp_hits", text);
      startForeTitle("gp_progress");
    }
    return;
  }
  gasComplete();
}

void gasAnimate(GasParms* g) {
  double now = tableNow();
  int last = objFrames(g->sprite) - 1;
  switch (g->state) {
    case GAS_HEATING:
      if (now - g->time <= g->heatDelay) break;
      g->time = now;
      if (g->frame < last) g->frame++;
      if (g->frame >= last) {
        g->state = GAS_DOWN;
        gasCount();
      }
      break;
    case GAS_HOT:
      if (now - g->time > g->gocoolDelay) {
        g->state = GAS_COOLING;
        g->time = now;
      }
      break;
    case GAS_COOLING:
      if (now - g->time <= g->coolDelay) break;
      g->time = now;
      if (g->frame > 0) g->frame--;
      if (g->frame <= 0) {
        g->frame = 0;
        g->state = GAS_IDLE;
      }
      break;
    default:
      break;
  }
}

int gasHandler(BoardObject* object, BoardEvent* event) {
  auto* g = static_cast<GasParms*>(object->parms);
  if (!g) return 0;
  switch (event->type) {
    case BE_KILL:
      for (auto& slot : gGas)
        if (slot == g) slot = nullptr;
      return objKill(object, g->inst);
    case BE_HIT:
      if (!objLiveBall(event->other)) return 0;
      BOUNCE_SHAPE(event, object, event->other);
      if (!g->inst) return objVboMissing(kGasHandler, object);
      if (g->state != GAS_IDLE) return 0;
      playTableSample(SI_GASBTN);
      g->state = GAS_HEATING;
      g->frame = 0;
      g->time = tableNow();
      vbSetFrame(g->inst, g->frame);
      return 0;
    case BE_FRAME:
      if (!g->inst) return objVboMissing(kGasHandler, object);
      gasAnimate(g);
      // Completing the group may have changed the other buttons' states;
      // each shows its own frame in its own BE_FRAME.
      vbSetFrame(g->inst, g->frame);
      return 0;
    default:
      return 0;
  }
}

}  // namespace

int gasbtn_reader(int, int layer, Outline* outline) {
  ObjReader r;
  auto* g = objReaderStart<GasParms>(&r, kGasReader, FAM_GASBTN, layer, outline);
  if (!g) return 0;
  if (!objReaderPlaceUpTo(&r, GAS_BUTTONS - 1, &g->place)) return objReaderAbandon(&r);
  if (!(g->sprite = objReaderSprite(&r, "sprite"))) return objReaderAbandon(&r);
  g->heatDelay = OPR_INT(outline, "heat_delay", 50);
  g->coolDelay = OPR_INT(outline, "cool_delay", 50);
  g->gocoolDelay = OPR_INT(outline, "gocool_delay", 1000);
  g->state = GAS_IDLE;

  BoardObject* object = objReaderAddShape(&r, gasHandler, FAM_GASBTN, objReaderElasticity(&r), 0);
  if (!object) return objReaderAbandon(&r);
  g->object = object;
  g->inst = swInstance(&r, g->sprite, 0);
  objReaderFinish(&r, object);
  gGas[g->place] = g;
  objReaderNote(&r, "place-%d", g->place);
  return 1;
}

// ---- Table-wide state ----

void switchesReset() {
  std::memset(gPairs, 0, sizeof gPairs);
  std::memset(gGas, 0, sizeof gGas);
  swLanesReset();
  swFlapsReset();
}
