// Gold catching: bars roll down four chutes, two on the left and two on the
// right, one above the other; the player moves the regime's figure between
// the four chute ends and catches them. A bar that reaches the end of its
// chute where the figure is not breaks on the floor and costs a life; the
// game is over when the last broken bar of the last life has finished
// breaking. The chutes that carry bars take turns: one tick moves the bars
// of one chute by a step.
#include <cstring>

#include "core/conf.h"
#include "core/log.h"
#include "core/random.h"
#include "core/text.h"
#include "core/time.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "platform/gdev.h"
#include "sound/fx.h"
#include "subgames/oligarch_internal.h"

namespace {

enum {
  SAMPLE_BODY_MOVE = SI_OLIGARCH_BODY_MOVE,
  SAMPLE_GOLD_CATCH = SI_OLIGARCH_GOLD_CATCH,
  SAMPLE_GOLD_BREAK = SI_OLIGARCH_GOLD_BREAK,
  SAMPLES = 3,
  MAX_OWNED = 32,  // the sprites one run loads: 24
  DIRTY_MARGIN = 5,
  DEFAULT_FRAMERATE = 60,
};

const char* const kSamplePaths[SAMPLES] = {
    "samples/oligarch/body_move.wav",
    "samples/oligarch/gold_catch.wav",
    "samples/oligarch/gold_break.wav",
};
const char* const kSoundNames[SAMPLES] = {"body_move", "gold_catch", "gold_break"};
const char* const kDecorationNames[OL_DECORATIONS] = {"face", "trans", "cloud"};

ConfSet gConf{};
OlSettings gSet{};
bool gSetReady = false;  // gSet holds at least the defaults
OlScene gScene{};
OlGame gGame{};
SprOwned gOwned[MAX_OWNED]{};
int gOwnedCount = 0;
int gSamplesLoaded[SAMPLES]{};

// --- Settings ---------------------------------------------------------------

// A file key's default is its own name in angle brackets, "<gold1_file>".
void readFile(char* out, const char* key) {
  char fallback[OL_PATH_SIZE];
  strFormatN(fallback, sizeof fallback, "<%s>", key);
  strCopyN(out, conf_getstr(&gConf, key, fallback), OL_PATH_SIZE);
}
void readFileN(char* out, const char* format, int n) {
  char key[128];
  strFormatNumbered(key, sizeof key, format, n);
  readFile(out, key);
}
int readIntN(const char* format, int fallback, int n) { return conf_getintf(&gConf, format, fallback, n); }

// Fills gSet from gConf (an empty set gives the defaults).
void readSettings() {
  OlSettings& s = gSet;
  s = OlSettings{};
  s.scrDx = conf_getint(&gConf, "scr_dx", 0);
  s.scrDy = conf_getint(&gConf, "scr_dy", 0);
  s.scrWidth = conf_getint(&gConf, "scr_width", 100);
  s.scrHeight = conf_getint(&gConf, "scr_height", 100);
  s.framerate = conf_getint(&gConf, "framerate", 60);
  s.moveTime = conf_getint(&gConf, "move_time", 500);
  s.maxGolds = conf_getint(&gConf, "max_golds", 2);
  s.goldsLeft = conf_getint(&gConf, "golds_left", 3);
  s.goldIncrease = conf_getint(&gConf, "gold_increase", 5);
  s.speed = conf_getint(&gConf, "speed", 0);
  s.speedIncrease = conf_getint(&gConf, "speed_increase", 0);
  s.goldDist = conf_getint(&gConf, "gold_dist", 0);
  s.goldChance = conf_getint(&gConf, "gold_chance", 0);
  readFile(s.cornersFile, "corners_file");
  readFile(s.bodyFile, "body_file");
  for (int p = 0; p < 3; p++) readFileN(s.headFile[p], "head%d_file", p);
  readFile(s.backFile, "back_file");
  readFile(s.gleftFile, "gleft_file");
  readFile(s.digitsFile, "digits_file");
  s.bodyDx = conf_getint(&gConf, "body_dx", 0);
  s.bodyDy = conf_getint(&gConf, "body_dy", 0);
  s.gleftDx = conf_getint(&gConf, "gleft_dx", 0);
  s.gleftDy = conf_getint(&gConf, "gleft_dy", 0);
  s.gleftStep = conf_getint(&gConf, "gleft_step", 0);
  s.digitsDx = conf_getint(&gConf, "digits_dx", 0);
  s.digitsDy = conf_getint(&gConf, "digits_dy", 0);
  s.digitsStep = conf_getint(&gConf, "digits_step", 0);
  for (int d = 0; d < 10; d++) s.digitStep[d] = readIntN("digits_step%d", s.digitsStep, d);
  for (int i = 0; i < OL_CHUTES; i++) {
    const int j = i + 1;
    OlChuteSet& c = s.chute[i];
    readFileN(c.goldFile, "gold%d_file", j);
    c.goldDx = readIntN("gold%d_dx", 0, j);
    c.goldDy = readIntN("gold%d_dy", 0, j);
    c.goldMirror = readIntN("gold%d_mirror", 0, j);
    for (int k = 0; k < OL_DECORATIONS; k++) {
      OlDecorationSet& d = c.decoration[k];
      char format[64];
      strFormatN(format, sizeof format, "%s%%d_file", kDecorationNames[k]);
      readFileN(d.file, format, j);
      strFormatN(format, sizeof format, "%s%%d_dx", kDecorationNames[k]);
      d.dx = readIntN(format, 0, j);
      strFormatN(format, sizeof format, "%s%%d_dy", kDecorationNames[k]);
      d.dy = readIntN(format, 0, j);
      strFormatN(format, sizeof format, "%s%%d_delay", kDecorationNames[k]);
      d.delay = readIntN(format, 50, j);
      strFormatN(format, sizeof format, "%s%%d_mirror", kDecorationNames[k]);
      d.mirror = readIntN(format, 0, j);
    }
  }
  for (int k = 0; k < OL_DROPPED_KINDS; k++) {
    const int j = k + 1;
    OlDroppedSet& d = s.dropped[k];
    readFileN(d.file, "dropped%d_file", j);
    d.ldx = readIntN("dropped%d_ldx", 0, j);
    d.ldy = readIntN("dropped%d_ldy", 0, j);
    d.rdx = readIntN("dropped%d_rdx", 0, j);
    d.rdy = readIntN("dropped%d_rdy", 0, j);
    d.delay = readIntN("dropped%d_delay", 0, j);
  }
  for (int i = 0; i < SAMPLES; i++) {
    char key[64];
    strFormatN(key, sizeof key, "sound.%s_volume", kSoundNames[i]);
    s.volume[i] = conf_getint(&gConf, key, 100);
    strFormatN(key, sizeof key, "sound.%s_panning", kSoundNames[i]);
    s.panning[i] = conf_getint(&gConf, key, 0);
  }
  gSetReady = true;
}

int clampInt(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

// --- Pictures ---------------------------------------------------------------

void hide(VBOBJ* o) {
  if (o) vbSetFrame(o, -1);
}
void show(VBOBJ* o, int frame) {
  if (o) vbSetFrame(o, frame);
}

// Loads a sprite the run owns; it must hold at least `frames` frames, the
// highest frame the game shows plus one.
Sprite* load(const char* path, int frames, const char* fn) {
  if (gOwnedCount >= MAX_OWNED) {
    logError(0, "%s: no room for sprite '%s', all %d taken, SE", fn, path, MAX_OWNED);
    return nullptr;
  }
  Sprite* s = SPR_CREATE(path);
  logDebug(3, "spr_create('%s'): spr-%p", path, static_cast<void*>(s));
  if (!s) return nullptr;
  gOwned[gOwnedCount++] = sprOwn(s);
  if (s->numfrms < frames) {
    logError(0, "%s: sprite '%s' has %d frames, %d needed", fn, path, s->numfrms, frames);
    return nullptr;
  }
  return s;
}

void playSample(int slot) {
  if (gSamplesLoaded[slot]) fxPlaySample(SAMPLE_BODY_MOVE + slot, gSet.volume[slot], gSet.panning[slot], 0);
}

// Life icons from `lives` upwards are hidden.
void showLives(const OlGame* g) {
  if (!g->scene) return;
  for (int i = 0; i < OL_MAX_LIVES; i++) {
    if (i < g->lives) {
      show(g->scene->lifeObj[i], 0);
    } else {
      hide(g->scene->lifeObj[i]);
    }
  }
}

// --- The circle of chutes ---------------------------------------------------

// Takes the current chute out; the one after it becomes current.
void circleRemoveCurrent(OlGame* g) {
  const int c = g->current;
  if (c < 0) return;
  const int after = g->next[c];
  if (after == c) {
    g->current = -1;
  } else {
    int before = after;
    for (int i = 0; i < OL_CHUTES && before >= 0 && g->next[before] != c; i++) before = g->next[before];
    if (before >= 0 && g->next[before] == c) g->next[before] = after;
    g->current = after;
  }
  g->next[c] = -1;
}

bool chuteHasBarsToMove(const OlGame* g, int chute) {
  for (const OlBar& b : g->bars)
    if (b.active && !b.done && b.chute == chute) return true;
  return false;
}

// The frame of the run, for the debug lines.
int gFrame = 0;

// A bar at the end of its chute: caught when the figure stands there.
void arrive(OlGame* g, int slot, double now) {
  OlBar& b = g->bars[slot];
  b.done = 1;
  logDebug(2, "OLIGARCH: frame %d: a bar at chute %d, the figure at %d: %s", gFrame, b.chute, g->position,
           g->position == b.chute ? "caught" : "broken");
  if (g->scene) hide(g->scene->barObj[slot]);
  if (g->position == b.chute) {
    g->caught++;
    playSample(SAMPLE_GOLD_CATCH);
    // A gold_increase of 0 or less raises the bars at every catch.
    if (--g->untilMore <= 0) {
      g->untilMore = g->goldIncrease;
      if (g->maxBars < OL_BARS) g->maxBars++;
    }
  } else {
    playSample(SAMPLE_GOLD_BREAK);
    oligarchDropGold(g, b.chute, now);
    if (g->lives > 0) g->lives--;
    showLives(g);
  }
}

}  // namespace

// --- Settings and data ------------------------------------------------------

int SG_OLIGARCH_PRELOAD(int writeBinary) {
  conf_free(&gConf);
  const int read = conf_anyread(&gConf, "SG_OLIGARCH_PRELOAD()", "conf/oligarch.conf", "conf/oligarch.bcf",
                                writeBinary);
  // Without a file every setting keeps its default.
  readSettings();
  return read < 0 ? -1 : 0;
}

void sgOligarchFree() { conf_free(&gConf); }

const OlSettings* oligarchSettings() {
  if (!gSetReady) readSettings();
  return &gSet;
}

OlGame* oligarchGame() { return &gGame; }

namespace {

// Frees the sprites and samples of a run and forgets its objects; deletes
// them first when asked (they are on the current board).
void releaseData(bool deleteObjects) {
  OlScene& v = gScene;
  if (deleteObjects) {
    auto del = [](VBOBJ* o) {
      if (o) vbDelObject(o);
    };
    for (VBOBJ* o : v.cornerObj) del(o);
    del(v.backObj);
    del(v.bodyObj);
    del(v.headObj);
    for (auto& row : v.decorationObj)
      for (VBOBJ* o : row) del(o);
    for (VBOBJ* o : v.barObj) del(o);
    for (VBOBJ* o : v.droppedObj) del(o);
    for (VBOBJ* o : v.lifeObj) del(o);
    for (VBOBJ* o : v.digitObj) del(o);
  }
  for (int i = 0; i < gOwnedCount; i++) sprRelease(&gOwned[i]);
  gOwnedCount = 0;
  for (int i = 0; i < SAMPLES; i++) {
    if (gSamplesLoaded[i]) fxFreeSample(SAMPLE_BODY_MOVE + i);
    gSamplesLoaded[i] = 0;
  }
  gScene = OlScene{};
  gGame.scene = nullptr;
}

}  // namespace

void oligarchFreeData() { releaseData(true); }

int oligarchLoadData(int person) {
  constexpr const char* fn = "OLIGARCH:LOAD_DATA()";
  if (person < 0 || person > 2) return logError(-1, "%s: incorrect person %d for oligarch subgame", fn, person);
  const OlSettings& s = *oligarchSettings();
  // Whatever an earlier load left is freed; its objects were on a board that
  // may be gone, so they are only forgotten.
  releaseData(false);
  OlScene& v = gScene;

  bool ok = (v.corners = load(s.cornersFile, 4, fn)) && (v.body = load(s.bodyFile, OL_CHUTES, fn)) &&
            (v.head = load(s.headFile[person], OL_CHUTES, fn)) && (v.back = load(s.backFile, 1, fn)) &&
            (v.gleft = load(s.gleftFile, 1, fn)) && (v.digits = load(s.digitsFile, 10, fn));
  for (int c = 0; ok && c < OL_CHUTES; c++) {
    ok = (v.gold[c] = load(s.chute[c].goldFile, OL_LAST_STEP + 1, fn)) != nullptr;
    for (int k = 0; ok && k < OL_DECORATIONS; k++)
      ok = (v.decoration[c][k] = load(s.chute[c].decoration[k].file, 1, fn)) != nullptr;
  }
  for (int k = 0; ok && k < OL_DROPPED_KINDS; k++) ok = (v.dropped[k] = load(s.dropped[k].file, 1, fn)) != nullptr;
  if (!ok) {
    oligarchFreeData();
    return logError(-1, "%s: error loading sprites", fn);
  }

  // Objects. The background comes first in its layer, so that the pictures
  // on layer 0 are drawn over it.
  const int x0 = s.scrDx, y0 = s.scrDy;
  bool made = true;
  auto add = [&made](Sprite* sprite, int frame, int x, int y, int layer, int mirror) {
    VBOBJ* o = vbAddObject(sprite, frame, x, y);
    if (!o) {
      made = false;
      return o;
    }
    vbSetLayer(o, layer);
    o->mFlag = mirror ? 1 : 0;
    return o;
  };
  v.backObj = add(v.back, 0, x0, y0, 0, 0);
  for (int c = 0; c < OL_CHUTES; c++) {
    for (int k = 0; k < OL_DECORATIONS; k++) {
      const OlDecorationSet& d = s.chute[c].decoration[k];
      v.decorationObj[c][k] = add(v.decoration[c][k], 0, x0 + d.dx, y0 + d.dy, 0, d.mirror);
    }
  }
  v.bodyObj = add(v.body, 0, x0 + s.bodyDx, y0 + s.bodyDy, 0, 0);
  v.headObj = add(v.head, 0, x0 + s.bodyDx, y0 + s.bodyDy, 0, 0);
  for (int i = 0; i < OL_MAX_LIVES; i++)
    v.lifeObj[i] = add(v.gleft, -1, x0 + s.gleftDx + i * s.gleftStep, y0 + s.gleftDy, 0, 0);
  for (VBOBJ*& o : v.digitObj) o = add(v.digits, -1, x0 + s.digitsDx, y0 + s.digitsDy, 0, 0);
  for (VBOBJ*& o : v.barObj) o = add(nullptr, -1, 0, 0, 1, 0);
  for (VBOBJ*& o : v.droppedObj) o = add(nullptr, -1, 0, 0, 1, 0);
  // The fillets carry their own offsets from the display's origin.
  for (int k = 0; k < 4; k++) v.cornerObj[k] = add(v.corners, k, 0, 0, 6, 0);
  if (!made) {
    oligarchFreeData();
    return logError(-1, "%s: error adding objects to the board", fn);
  }

  // A sample that does not load leaves the game silent there.
  for (int i = 0; i < SAMPLES; i++) gSamplesLoaded[i] = fxLoadSampleWav(SAMPLE_BODY_MOVE + i, kSamplePaths[i]) == 1;
  gGame.scene = &gScene;
  return 0;
}

// --- The rules --------------------------------------------------------------

void oligarchGameInit(OlGame* g, int maxGolds, int goldsLeft, int goldIncrease, int moveTime, double now) {
  OlScene* scene = g->scene;
  *g = OlGame{};
  g->scene = scene;
  g->goldIncrease = goldIncrease;
  g->moveTime = moveTime;
  g->maxBars = clampInt(maxGolds, 0, OL_BARS);
  g->lives = clampInt(goldsLeft, 0, OL_MAX_LIVES);
  g->untilMore = goldIncrease;
  for (int& n : g->next) n = -1;
  g->current = -1;
  g->lastTick = now;
}

void oligarchCircleAdd(OlGame* g, int chute) {
  if (chute < 0 || chute >= OL_CHUTES || g->next[chute] >= 0) return;
  if (g->current < 0) {
    g->next[chute] = chute;
    g->current = chute;
    return;
  }
  g->next[chute] = g->next[g->current];
  g->next[g->current] = chute;
}

int oligarchKeyPosition(int position, int scan) {
  const int side = position % 2, row = position / 2;
  switch (scan) {
    case OL_SCAN_UPPER_LEFT: return 0;
    case OL_SCAN_UPPER_RIGHT: return 1;
    case OL_SCAN_LOWER_LEFT: return 2;
    case OL_SCAN_LOWER_RIGHT: return 3;
    case OL_SCAN_UP: return side;
    case OL_SCAN_DOWN: return side + 2;
    case OL_SCAN_LEFT: return 2 * row;
    case OL_SCAN_RIGHT: return 2 * row + 1;
    default: return position;
  }
}

int oligarchDropGold(OlGame* g, int chute, double now) {
  constexpr const char* fn = "OLIGARCH:DROP_GOLD()";
  int slot = 0;
  while (slot < OL_DROPPED && g->dropped[slot].active) slot++;
  if (slot == OL_DROPPED)
    return logError(-1, "%s: can't find a free 'dropped' object, all %d occupied, SE", fn, OL_DROPPED);
  const int kind = rndBelow(OL_DROPPED_KINDS);
  OlDropped& d = g->dropped[slot];
  d = OlDropped{};
  d.active = 1;
  d.kind = kind;
  d.lastChange = now;
  d.frames = 1;
  if (OlScene* v = g->scene) {
    const OlSettings& s = *oligarchSettings();
    const OlDroppedSet& set = s.dropped[kind];
    d.delay = set.delay;
    d.frames = v->dropped[kind] ? v->dropped[kind]->numfrms : 1;
    // Both places are offsets from the window's corner, the right one as
    // much as the left one: the data places the right chutes' broken bars
    // with (rdx, rdy) inside the window.
    const bool right = chute % 2 == 1;
    if (VBOBJ* o = v->droppedObj[slot]) {
      vbSetSprite(o, v->dropped[kind]);
      vbSetXY(o, s.scrDx + (right ? set.rdx : set.ldx), s.scrDy + (right ? set.rdy : set.ldy));
      show(o, 0);
    }
  }
  return slot;
}

namespace {

// Whether a picture that changes every `delay` milliseconds is due for its
// next change at `now`; moves *last on by one period. A positive delay keeps
// its own schedule, whatever the frame rate; a delay of 0 or less changes at
// every frame.
bool due(double* last, int delay, double now) {
  if (delay <= 0) {
    *last = now;
    return true;
  }
  if (now - *last < delay) return false;
  *last += delay;
  return true;
}

}  // namespace

void oligarchAdvanceDropped(OlGame* g, double now) {
  for (int i = 0; i < OL_DROPPED; i++) {
    OlDropped& d = g->dropped[i];
    while (d.active && due(&d.lastChange, d.delay, now)) {
      if (d.frame + 1 < d.frames) {
        d.frame++;
        if (g->scene) show(g->scene->droppedObj[i], d.frame);
        if (d.delay <= 0) break;
        continue;
      }
      d.active = 0;
      if (g->scene) hide(g->scene->droppedObj[i]);
      if (g->lives <= 0 && !g->over) {
        logPrint("GAME OVER");
        g->over = 1;
      }
    }
  }
}

void oligarchSpawn(OlGame* g) {
  int active = 0, freeSlot = -1;
  for (int i = 0; i < OL_BARS; i++) {
    if (g->bars[i].active) {
      active++;
    } else if (freeSlot < 0) {
      freeSlot = i;
    }
  }
  if (active >= g->maxBars || freeSlot < 0) return;
  // A chute whose newest bar is still at step 0 or 1 takes no other: bars in
  // one chute keep two steps apart.
  int candidates[OL_CHUTES], count = 0;
  for (int c = 0; c < OL_CHUTES; c++) {
    bool crowded = false;
    for (const OlBar& b : g->bars)
      if (b.active && b.chute == c && b.step <= 1) crowded = true;
    if (!crowded) candidates[count++] = c;
  }
  if (count == 0) return;
  const int chute = candidates[rndBelow(count)];
  g->bars[freeSlot] = OlBar{1, 0, chute, 0};
  if (OlScene* v = g->scene) {
    // The bar shows from its first step on.
    if (VBOBJ* o = v->barObj[freeSlot]) {
      const OlChuteSet& c = oligarchSettings()->chute[chute];
      vbSetSprite(o, v->gold[chute]);
      hide(o);
      vbSetXY(o, oligarchSettings()->scrDx + c.goldDx, oligarchSettings()->scrDy + c.goldDy);
      o->mFlag = c.goldMirror ? 1 : 0;
    }
  }
  oligarchCircleAdd(g, chute);
}

void oligarchShowScore(const OlGame* g) {
  const OlScene* v = g->scene;
  if (!v) return;
  const OlSettings& s = *oligarchSettings();
  // Right-aligned: the units first, each digit left of the one before by its
  // own width.
  int x = s.scrDx + s.digitsDx, n = g->caught < 0 ? 0 : g->caught, used = 0;
  do {
    const int digit = n % 10;
    x -= s.digitStep[digit];
    if (VBOBJ* o = v->digitObj[used]) {
      vbSetXY(o, x, s.scrDy + s.digitsDy);
      show(o, digit);
    }
    n /= 10;
    used++;
  } while (n > 0 && used < OL_DIGITS);
  for (int i = used; i < OL_DIGITS; i++) hide(v->digitObj[i]);
}

void oligarchTick(OlGame* g, double now) {
  for (OlBar& b : g->bars)
    if (b.active && b.done) b = OlBar{};
  if (g->current >= 0) {
    const int chute = g->current;
    for (int i = 0; i < OL_BARS; i++) {
      OlBar& b = g->bars[i];
      if (!b.active || b.done || b.chute != chute) continue;
      if (b.step > OL_LAST_STEP) {
        arrive(g, i, now);
      } else {
        if (g->scene) show(g->scene->barObj[i], b.step);
        b.step++;
      }
    }
    if (chuteHasBarsToMove(g, chute)) {
      g->current = g->next[chute];
    } else {
      circleRemoveCurrent(g);
    }
  }
  oligarchSpawn(g);
  oligarchShowScore(g);
}

void oligarchUpdate(OlGame* g, double now) {
  oligarchAdvanceDropped(g, now);
  if (OlScene* v = g->scene) {
    show(v->bodyObj, g->position);
    show(v->headObj, g->position);
    const OlSettings& s = *oligarchSettings();
    for (int c = 0; c < OL_CHUTES; c++) {
      for (int k = 0; k < OL_DECORATIONS; k++) {
        if (due(&v->decorationChange[c][k], s.chute[c].decoration[k].delay, now) && v->decorationObj[c][k])
          vbNextFrame(v->decorationObj[c][k]);
      }
    }
  }
  // DELIBERATE: the frame that ends the game moves no more bars, so nothing
  // is caught or broken after "GAME OVER".
  if (g->over) return;
  if (now - g->lastTick > g->moveTime) {
    g->lastTick = now;
    oligarchTick(g, now);
  }
}

// --- The run ----------------------------------------------------------------

int SG_OLIGARCH_RUN(SgOligarchOutcome* outcome) {
  outcome->goldCaught = 0;
  if (oligarchLoadData(outcome->person) < 0) {
    conf_free(&gConf);
    logDebug(1, "at %s", "OLIGARCH:LOAD_DATA()");
    return -1;
  }
  const OlSettings& s = *oligarchSettings();
  OlGame* g = &gGame;

  SgKeys keys;
  sgInputStart(&keys);
  tmSetRate(s.framerate > 0 ? s.framerate : DEFAULT_FRAMERATE, 1);
  gsCurrent->clipX = s.scrDx;
  gsCurrent->clipY = s.scrDy;
  gsCurrent->clipW = s.scrWidth;
  gsCurrent->clipH = s.scrHeight;
  gdevShowCursor(0);
  const double start = sgNow();
  oligarchGameInit(g, s.maxGolds, s.goldsLeft, s.goldIncrease, s.moveTime, start);
  for (auto& row : gScene.decorationChange)
    for (double& t : row) t = start;
  showLives(g);
  oligarchShowScore(g);

  bool full = true;
  gFrame = 0;
  while (!sgQuit()) {
    sgFrameBegin();
    GdevEvent event;
    const int input = sgFrameInput(&keys, &event);
    if (input & SG_INPUT_REDRAW) full = true;
    if ((input & SG_INPUT_EVENT) && event.what == GDEV_EVT_KEYDOWN)
      g->position = oligarchKeyPosition(g->position, gdevEventScan(&event));
    const bool leave = g->over != 0;
    if (!leave) oligarchUpdate(g, sgNow());
    vbRestore(full ? 1 : 0);
    vbDraw();
    if (!full) {
      gsClearDirty();
      gsAddDirty(s.scrDx - DIRTY_MARGIN, s.scrDy - DIRTY_MARGIN, s.scrWidth + 2 * DIRTY_MARGIN,
                 s.scrHeight + 2 * DIRTY_MARGIN);
    }
    sgFrameEnd();
    gFrame++;
    full = false;
    if (leave) break;
  }

  outcome->goldCaught = g->caught;
  oligarchFreeData();
  conf_free(&gConf);
  return 0;
}
