// The mission selection: the selection button lights the five mission
// symbols, which rise on their points of the table; the ball hitting a
// shown symbol's point starts that symbol's mission and the symbols burst.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "anim/lights.h"
#include "anim/title.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/random.h"
#include "core/text.h"
#include "core/time.h"
#include "game/game.h"
#include "game/mission.h"
#include "game/mode.h"
#include "game/score.h"
#include "game/stats.h"
#include "game/trigger.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "sound/fx.h"

namespace {

enum { KINDS = 5, KIND_EMPTY = 5 };

struct Slot {
  int kind;     // 0..4: the mission it selects; 5 empty
  int visible;
  int x, y;     // the point the symbol centres on
  int layer;    // visual-board layer, -1: the board's default
  VBOBJ* obj;
};

struct Symbols {
  int count = 0;  // points read
  Slot slots[MISSION_SYMBOL_POINTS]{};
  SprOwned rotate[KINDS]{}, burst[KINDS]{};
  int cx[KINDS]{}, cy[KINDS]{}, bx[KINDS]{}, by[KINDS]{};  // frame centres
  VBOARD* board = nullptr;
  // Timing ("anim.*", "godown.dy").
  double delay = 10, explodeDelay = 10;
  int steps = 100, ratio = 10, dy = 20;
  // Display.
  int state = MSYM_HIDDEN;
  double last = 0;  // game time of the last frame step
  int step = 0;     // rising: steps taken; exploding: burst frame
  int frame = 0;    // rotating frame
  int hit = -1;     // the slot whose symbol was hit
};
Symbols Y;

bool objectLive(const Slot& s) { return s.obj && Y.board && vbCurrent == Y.board && s.obj->inUse && !s.obj->dead; }

// How far up a rising symbol has come (0 at the start, 1 at its point): it
// starts "ratio" times faster than it ends, slowing down evenly.
double riseFraction(int step) {
  if (Y.steps <= 0 || step >= Y.steps) return 1;
  const double t = static_cast<double>(step) / Y.steps, r = Y.ratio < 1 ? 1 : Y.ratio;
  return (2 * r * t - (r - 1) * t * t) / (r + 1);
}

// Puts each slot's sprite, frame and position on its object.
void drawSlots() {
  for (int i = 0; i < Y.count; i++) {
    Slot& s = Y.slots[i];
    if (!objectLive(s)) continue;
    const bool bursting = (Y.state == MSYM_EXPLODING && i == Y.hit) || Y.state == MSYM_EXPLODING_ALL;
    const bool shown = s.visible && s.kind < KINDS &&
                       (Y.state == MSYM_RISING || Y.state == MSYM_SHOWN || bursting);
    if (!shown) {
      vbSetSprite(s.obj, nullptr);
      continue;
    }
    Sprite* sprite = bursting ? Y.burst[s.kind].sprite : Y.rotate[s.kind].sprite;
    if (!sprite || sprite->numfrms <= 0) {
      vbSetSprite(s.obj, nullptr);
      continue;
    }
    const int frame = bursting ? Y.step : Y.frame;
    vbSetSprite(s.obj, sprite);
    vbSetFrame(s.obj, frame % sprite->numfrms);
    const int cx = bursting ? Y.bx[s.kind] : Y.cx[s.kind], cy = bursting ? Y.by[s.kind] : Y.cy[s.kind];
    const int drop = Y.state == MSYM_RISING ? static_cast<int>(std::lround(Y.dy * (1 - riseFraction(Y.step)))) : 0;
    vbSetXY(s.obj, s.x - cx, s.y - cy + drop);
  }
}

void hideAll() {
  Y.state = MSYM_HIDDEN;
  Y.hit = -1;
  for (int i = 0; i < Y.count; i++) Y.slots[i].visible = 0;
  drawSlots();
}

// The burst frames of a slot's kind (the longest of all for a burst of all).
int burstFrames() {
  int n = 0;
  for (int i = 0; i < Y.count; i++) {
    const Slot& s = Y.slots[i];
    if (!s.visible || s.kind >= KINDS || !Y.burst[s.kind].sprite) continue;
    if (Y.state == MSYM_EXPLODING && i != Y.hit) continue;
    if (Y.burst[s.kind].sprite->numfrms > n) n = Y.burst[s.kind].sprite->numfrms;
  }
  return n;
}

void explode(int state) {
  Y.state = state;
  Y.step = 0;
  Y.last = tmTime;
  playTableSample(SI_MISSION_SELECT);
  drawSlots();
}

// A feature that is already on gets no symbol: its mission would gain
// nothing.
bool featureOn(int kind) {
  switch (kind) {
    case MISSION_DUMA: return game.duma == 1;
    case MISSION_ZONA: return game.zona == 1;
    case MISSION_GASPROM: return game.gp == 1;
    case MISSION_BD: return game.bd == 1;
    default: return false;
  }
}

void swapRandom() {
  if (Y.count < 2) return;
  const int a = rndBelow(Y.count);
  int b = rndBelow(Y.count - 1);
  if (b >= a) b++;
  const int k = Y.slots[a].kind;
  Y.slots[a].kind = Y.slots[b].kind;
  Y.slots[b].kind = k;
}

int kindAt(int slot) { return slot < Y.count ? Y.slots[slot].kind : KIND_EMPTY; }

// The middle points are kept from the symbols that would send the ball
// where it cannot follow them at once.
bool placementAllowed() {
  return kindAt(2) != MISSION_ZONA && kindAt(2) != MISSION_QUESTION && kindAt(3) != MISSION_QUESTION &&
         kindAt(5) != MISSION_BD;
}

void raiseSymbols() {
  for (int i = 0; i < Y.count; i++) {
    Slot& s = Y.slots[i];
    s.kind = i < KINDS && !featureOn(i) ? i : KIND_EMPTY;
  }
  for (int i = 0; i < Y.count; i++) swapRandom();
  // Bounded: the rule can always be met by some order, and the draws are the
  // game's own deterministic generator.
  for (int tries = 0; !placementAllowed() && tries < 10000; tries++) swapRandom();
  for (int i = 0; i < Y.count; i++) Y.slots[i].visible = Y.slots[i].kind < KINDS;
  Y.state = MSYM_RISING;
  Y.step = 0;
  Y.frame = 0;
  Y.hit = -1;
  Y.last = tmTime;
  playTableSample(SI_MISSION_DOWN);
  drawSlots();
}

int slotOfPlace(int place) { return place >= 0 && place < Y.count ? place : -1; }

}  // namespace

void modeMsel(int event, int, BoardObject*) {
  switch (event) {
    case MEVT_BEGIN:
      if (game.mission < 0 && lightGetState(LI_MSSELECT) == LIGHT_OFF) lightSet(LI_MSSELECT, LIGHT_BLINK);
      break;
    case MEVT_COMPLETE:
    case MEVT_RESET:
    case MEVT_ABORT:
    case MEVT_MISSION:
      lightSet(LI_MSSELECT, LIGHT_OFF);
      if (titlePlaying(TITLE_BACK) >= 0 && titlePlaying(TITLE_BACK) == titleFind("ms_select"))
        titleEndBack(titlePlaying(TITLE_BACK));
      break;
    case MEVT_MSEL_BTN:
      logPrint("%s: MEVT_MSEL_BTN, msymState-%d light-%d", "MODE_MSEL()", Y.state, lightGetState(LI_MSSELECT));
      if (Y.state != MSYM_HIDDEN || lightGetState(LI_MSSELECT) != LIGHT_BLINK) {
        if (game.mission == MISSION_ELECTIONS) {
          scoreAdd("msel_button:pres");
          missionElectionsAddTime();
        } else {
          scoreAdd("msel_button");
        }
        break;
      }
      gstatSample("msn:sel");
      scoreAdd("msel_button:action");
      modeMsel(MEVT_COMPLETE, 0, nullptr);
      lightSet(LI_MSSELECT, LIGHT_ON);
      // Reseeded from the game clock, so that a replay draws the same order.
      rndSeed(static_cast<uint32_t>(static_cast<int64_t>(tmTime)));
      startBackTitle("ms_select");
      raiseSymbols();
      break;
  }
}

int missionPointReady(int place) {
  const int i = slotOfPlace(place);
  return i >= 0 && Y.state == MSYM_SHOWN && Y.slots[i].visible && Y.slots[i].kind < KINDS ? 1 : 0;
}

void missionPointSelect(int place) {
  const int i = slotOfPlace(place);
  if (i < 0 || Y.slots[i].kind >= KINDS) return;
  Y.hit = i;
  logPrint("%s: place-%d kind-%d", "missionPointSelect()", place, Y.slots[i].kind);
  missionStart(Y.slots[i].kind);
  explode(MSYM_EXPLODING);
}

void missionSymbolsExplodeAll() {
  if (Y.state == MSYM_RISING || Y.state == MSYM_SHOWN) explode(MSYM_EXPLODING_ALL);
}

void missionSymbolsHide() { hideAll(); }

int missionSymbolsState() { return Y.state; }
int missionSymbolsUp() { return Y.state == MSYM_RISING || Y.state == MSYM_SHOWN ? 1 : 0; }

int missionSymbolKind(int slot) { return slot >= 0 && slot < Y.count && Y.slots[slot].visible ? Y.slots[slot].kind : -1; }

void missionSymbolPoint(int slot, int* x, int* y) {
  const bool ok = slot >= 0 && slot < Y.count;
  *x = ok ? Y.slots[slot].x : 0;
  *y = ok ? Y.slots[slot].y : 0;
}

void missionSymbolsStep() {
  if (Y.state == MSYM_HIDDEN) return;
  const bool bursting = Y.state == MSYM_EXPLODING || Y.state == MSYM_EXPLODING_ALL;
  const double delay = bursting ? Y.explodeDelay : Y.delay;
  if (delay > 0 && tmTime - Y.last < delay) return;
  Y.last = tmTime;
  if (bursting) {
    if (++Y.step >= burstFrames()) {
      hideAll();
      return;
    }
  } else {
    Y.frame++;
    if (Y.state == MSYM_RISING && ++Y.step >= Y.steps) Y.state = MSYM_SHOWN;
  }
  drawSlots();
}

int setupMissionSymbols(ConfSet* conf) {
  const char* fn = "gameSetupMissions()";
  freeMissionSymbols();
  Y.delay = conf_getint(conf, "anim.delay", 10);
  Y.explodeDelay = conf_getint(conf, "anim.explode_delay", 10);
  Y.steps = conf_getint(conf, "anim.updown_steps", 100);
  Y.ratio = conf_getint(conf, "anim.updown_velo_ratio", 10);
  Y.dy = conf_getint(conf, "godown.dy", 20);
  const int defaultLayer = conf_getint(conf, "points.vbl", -1);
  Y.board = vbCurrent;
  for (int i = 0; i < MISSION_SYMBOL_POINTS; i++) {
    char key[32];
    strFormatN(key, sizeof key, "points.point%d", i);
    const char* text = conf_getstr(conf, key, nullptr);
    if (!text) break;
    int x, y;
    char end;
    if (std::sscanf(text, "%d,%d%c", &x, &y, &end) != 2) {
      logError(0, "%s: unable to read x,y coordinates from string '%s'", fn, text);
      break;
    }
    Slot& s = Y.slots[Y.count++];
    s = Slot{KIND_EMPTY, 0, x, y, -1, nullptr};
    strFormatN(key, sizeof key, "points.point%d_vbl", i);
    s.layer = conf_getint(conf, key, defaultLayer);
    if (Y.board) {
      s.obj = vbAddObject(nullptr, 0, 0, 0);
      if (!s.obj) return logError(0, "%s: vbAddObject() returned error", fn);
      if (s.layer >= 0) vbSetLayer(s.obj, s.layer);
    }
  }
  for (int k = 0; k < KINDS; k++) {
    char key[48], def[48];
    strFormatN(key, sizeof key, "symbols.symbol%d_sprite", k);
    strFormatN(def, sizeof def, "symbol%d_sprite-undef", k);
    const char* path = conf_getstr(conf, key, def);
    Sprite* s = SPR_CREATE(path);
    if (!s) return logError(0, "%s: error loading 'rotate' sprite from '%s'", fn, path);
    Y.rotate[k] = sprOwn(s);
    Y.cx[k] = s->numfrms > 0 ? (s->frames[0].x0 + s->frames[0].x1) / 2 : 0;
    Y.cy[k] = s->numfrms > 0 ? (s->frames[0].y0 + s->frames[0].y1) / 2 : 0;
    strFormatN(key, sizeof key, "symbols.symbol%d_explode_sprite", k);
    strFormatN(def, sizeof def, "symbol%d_explode_sprite-undef", k);
    path = conf_getstr(conf, key, def);
    s = SPR_CREATE(path);
    if (!s) return logError(0, "%s: error loading 'explode' sprite from '%s'", fn, path);
    Y.burst[k] = sprOwn(s);
    Y.bx[k] = s->numfrms > 0 ? (s->frames[0].x0 + s->frames[0].x1) / 2 : 0;
    Y.by[k] = s->numfrms > 0 ? (s->frames[0].y0 + s->frames[0].y1) / 2 : 0;
  }
  return 1;
}

void freeMissionSymbols() {
  for (int i = 0; i < Y.count; i++)
    if (objectLive(Y.slots[i])) vbDelObject(Y.slots[i].obj);
  for (int k = 0; k < KINDS; k++) {
    sprRelease(&Y.rotate[k]);
    sprRelease(&Y.burst[k]);
  }
  Y = Symbols{};
}
