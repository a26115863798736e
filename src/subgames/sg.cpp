#include "subgames/sg.h"

#include <cstdio>
#include <cstring>

#include "anim/title.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/text.h"
#include "core/time.h"
#include "game/game.h"
#include "game/score.h"
#include "game/trigger.h"
#include "gfx/font.h"
#include "gfx/frame.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "platform/gdev.h"
#include "subgames/boxing.h"
#include "subgames/deputy.h"
#include "subgames/oligarch.h"

namespace {

enum { SG_MAX_LINES = 32, ELEM_LEFT = 0, ELEM_RIGHT = 1, ELEM_TOP = 2, ELEM_BOTTOM = 3, ELEM_COUNT = 4 };
constexpr int kScreenHeight = 600;
constexpr int kTextCentreX = 400;

const char* const kIntroPrefix[SG_COUNT] = {"boxing_intro", "deputy_intro", "oligarch_intro"};

struct Rgb {
  int r, g, b;
};

// The screen's settings (conf/sg.conf).
struct SgSettings {
  char elemFile[260], rotaFile[260], introFont[64];
  int centerX, centerY, introDelay;
  int surfMinDx, surfMinDy, surfMaxDx, surfMaxDy;
  Rgb dark, light;
  int p1Steps, p1LeftDx, p1RightDx, p1Pause;
  int p2Steps, p2XDist, p2Pause;
  int p3Steps, p3TopDy, p3BottomDy, p3YDist;
  int p4Steps;
  int skip;
};

// The screen while it stands over the table.
struct SgScreen {
  Sprite* elem;
  Sprite* rota;
  VBOBJ* elemObj[ELEM_COUNT];
  VBOBJ* rotaObj;
  GdevDC* saved;       // the screen as it was: what the surface repaints from
  GdevDC* introBack;   // the intro board's background: the saved screen with the surface on it
  GdevDC* gameBack;    // the subgame board's background: the opened screen
  VBOARD* previous;    // the board current before the screen opened
  bool introSelected, gameSelected;
  Rgb colour;          // the surface's colour now
  bool surfaceShown;
  int step;                        // frames of the animation so far
  int surfL, surfT, surfR, surfB;  // the surface as last painted (inclusive)
};

struct Sg {
  int writeBinary;
  ConfSet conf;
  SgSettings s;
  int requested;
  SgOutcome* outcome;
  ConfSet* gameConf;
};

Sg G = {0, {}, {}, SG_NONE, nullptr, nullptr};
SgScreen S{};
VBOARD gIntroBoard, gGameBoard;

// ---- settings ----

void readColour(const char* key, Rgb* out) {
  const char* text = conf_getstr(&G.conf, key, "0,0,0");
  int r = 0, g = 0, b = 0;
  if (std::sscanf(text, "%d,%d,%d", &r, &g, &b) != 3) {
    logError(0, "%s: colour '%s' of '%s' is not \"red,green,blue\"", "SG_PRELOAD()", text, key);
    r = g = b = 0;
  }
  auto clamp = [](int v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
  *out = Rgb{clamp(r), clamp(g), clamp(b)};
}

// Steps counts of zero or less would divide by zero: one step instead.
int steps(const char* key) {
  const int n = conf_getint(&G.conf, key, 0);
  return n > 0 ? n : 1;
}

void readSettings() {
  SgSettings& s = G.s;
  strCopyN(s.elemFile, conf_getstr(&G.conf, "ELEM_FILE", ""), sizeof s.elemFile);
  strCopyN(s.rotaFile, conf_getstr(&G.conf, "ROTA_FILE", ""), sizeof s.rotaFile);
  strCopyN(s.introFont, conf_getstr(&G.conf, "intro_font", ""), sizeof s.introFont);
  s.centerX = conf_getint(&G.conf, "CENTER_X", 0);
  s.centerY = conf_getint(&G.conf, "CENTER_Y", 0);
  s.introDelay = conf_getint(&G.conf, "INTRO_DELAY", 0);
  s.surfMinDx = conf_getint(&G.conf, "SURF_MINDX", 0);
  s.surfMinDy = conf_getint(&G.conf, "SURF_MINDY", 0);
  s.surfMaxDx = conf_getint(&G.conf, "SURF_MAXDX", 0);
  s.surfMaxDy = conf_getint(&G.conf, "SURF_MAXDY", 0);
  readColour("SURF_DARK", &s.dark);
  readColour("SURF_LIGHT", &s.light);
  s.p1Steps = steps("P1_STEPS");
  s.p1LeftDx = conf_getint(&G.conf, "P1_LEFT_DX", 0);
  s.p1RightDx = conf_getint(&G.conf, "P1_RIGHT_DX", 0);
  s.p1Pause = conf_getint(&G.conf, "P1_PAUSE", 0);
  s.p2Steps = steps("P2_STEPS");
  s.p2XDist = conf_getint(&G.conf, "P2_XDIST", 0);
  s.p2Pause = conf_getint(&G.conf, "P2_PAUSE", 0);
  s.p3Steps = steps("P3_STEPS");
  s.p3TopDy = conf_getint(&G.conf, "P3_TOP_DY", 0);
  s.p3BottomDy = conf_getint(&G.conf, "P3_BOTTOM_DY", 0);
  s.p3YDist = conf_getint(&G.conf, "P3_YDIST", 0);
  s.p4Steps = steps("P4_STEPS");
  s.skip = conf_getint(&G.conf, "skip", 0);
}

// ---- drawing the screen ----

const SprFrame* elemFrame(int i) {
  return S.elem && i < S.elem->numfrms ? &S.elem->frames[i] : nullptr;
}

// The object's origin that centres frame f on (cx, cy).
int centreX(const SprFrame* f, int cx) { return f ? cx - (f->x0 + f->x1) / 2 : cx; }
int centreY(const SprFrame* f, int cy) { return f ? cy - (f->y0 + f->y1) / 2 : cy; }

void place(VBOBJ* o, int x, int y) {
  if (o) vbSetXY(o, x, y);
}

void fillRect(GdevDC* dc, int l, int t, int r, int b, Rgb c) {
  if (!dc || r < l || b < t) return;
  GdevDC* was = gdevCurrentDC();
  gdevMakeCurrent(dc);
  gdevSetColorRGB(c.r, c.g, c.b);
  gdevFillRect(l, t, r - l + 1, b - t + 1);
  gdevMakeCurrent(was);
}

// The surface between the pillars: from element 0's box and element 1's,
// inset by the SURF_* keys. Empty (r < l) while the pillars overlap it.
void surfaceRect(int* l, int* t, int* r, int* b) {
  const SprFrame* f0 = elemFrame(ELEM_LEFT);
  const SprFrame* f1 = elemFrame(ELEM_RIGHT);
  VBOBJ* o0 = S.elemObj[ELEM_LEFT];
  VBOBJ* o1 = S.elemObj[ELEM_RIGHT];
  if (!f0 || !f1 || !o0 || !o1) {
    *l = *t = 0;
    *r = *b = -1;
    return;
  }
  *l = o0->x + f0->x0 + G.s.surfMinDx;
  *t = o0->y + f0->y0 + G.s.surfMinDy;
  *r = o1->x + f1->x1 - G.s.surfMaxDx;
  *b = o1->y + f1->y1 - G.s.surfMaxDy;
}

// Copies a box of the board's background onto the screen and marks it dirty.
void showBox(int l, int t, int r, int b) {
  if (r < l || b < t || !gsCurrent || !gsCurrent->dc || !S.introBack) return;
  gdevBitBlt(gsCurrent->dc, l, t, S.introBack, l, t, r - l + 1, b - t + 1);
  gsAddDirtyCoord(l, t, r, b);
}

// Repaints the surface: where it was is given back the saved screen, where
// it is now gets the surface colour, both in the board's background (so that
// the board restores objects over it) and on the screen.
void repaintSurface() {
  int l, t, r, b;
  surfaceRect(&l, &t, &r, &b);
  if (S.surfaceShown) {
    gdevBitBlt(S.introBack, S.surfL, S.surfT, S.saved, S.surfL, S.surfT, S.surfR - S.surfL + 1,
               S.surfB - S.surfT + 1);
  }
  fillRect(S.introBack, l, t, r, b, S.colour);
  if (S.surfaceShown) showBox(S.surfL, S.surfT, S.surfR, S.surfB);
  showBox(l, t, r, b);
  S.surfaceShown = r >= l && b >= t;
  S.surfL = l;
  S.surfT = t;
  S.surfR = r;
  S.surfB = b;
}

// One displayed frame of the screen's animation. Not a frame of the
// recording: nothing in it depends on input or changes the game.
void animStep() {
  tmBeginFrame();
  tmMarkFrame();
  vbRestore(0);
  repaintSurface();
  vbDraw();
  framePresent();
  sgScreenFrame(S.step++);
}

void stillSteps(int n) {
  for (int i = 0; i < n; i++) animStep();
}

int lerp(int from, int to, int i, int n) { return from + (to - from) * i / n; }

Rgb mix(Rgb a, Rgb b, int i, int n) { return Rgb{lerp(a.r, b.r, i, n), lerp(a.g, b.g, i, n), lerp(a.b, b.b, i, n)}; }

// Where the pieces stand at the phases' ends.
struct Places {
  int leftX, rightX, rotaX;         // after phase 1
  int leftY, rightY, rotaY;         // centred on CENTER_Y
  int leftStartY, rightStartY, rotaStartY;  // just below the screen
  int topX, topY, bottomX, bottomY;  // phase 3's start
};

Places places() {
  const SgSettings& s = G.s;
  Places p{};
  const SprFrame* fl = elemFrame(ELEM_LEFT);
  const SprFrame* fr = elemFrame(ELEM_RIGHT);
  const SprFrame* ft = elemFrame(ELEM_TOP);
  const SprFrame* fb = elemFrame(ELEM_BOTTOM);
  const SprFrame* fo = S.rota && S.rota->numfrms > 0 ? &S.rota->frames[0] : nullptr;
  p.leftX = centreX(fl, s.centerX - s.p1LeftDx);
  p.rightX = centreX(fr, s.centerX + s.p1RightDx);
  p.rotaX = centreX(fo, s.centerX);
  p.leftY = centreY(fl, s.centerY);
  p.rightY = centreY(fr, s.centerY);
  p.rotaY = centreY(fo, s.centerY);
  p.leftStartY = kScreenHeight - (fl ? fl->y0 : 0);
  p.rightStartY = kScreenHeight - (fr ? fr->y0 : 0);
  p.rotaStartY = kScreenHeight - (fo ? fo->y0 : 0);
  p.topX = centreX(ft, s.centerX);
  p.topY = centreY(ft, s.centerY - s.p3TopDy);
  p.bottomX = centreX(fb, s.centerX);
  p.bottomY = centreY(fb, s.centerY + s.p3BottomDy);
  return p;
}

// Phase 1 forwards (rise) or backwards (sink) over P1_STEPS steps.
void phase1(bool rise) {
  const Places p = places();
  const int n = G.s.p1Steps;
  for (int k = 1; k <= n; k++) {
    const int i = rise ? k : n - k;
    place(S.elemObj[ELEM_LEFT], p.leftX, lerp(p.leftStartY, p.leftY, i, n));
    place(S.elemObj[ELEM_RIGHT], p.rightX, lerp(p.rightStartY, p.rightY, i, n));
    // Sinking, the lock stays where it is for the last two steps.
    if (rise || k <= n - 2) place(S.rotaObj, p.rotaX, lerp(p.rotaStartY, p.rotaY, i, n));
    animStep();
  }
}

// Phase 2: the lock turns through its frames while the pillars part
// (forwards) or close in (backwards).
void phase2(bool open) {
  const Places p = places();
  const int frames = S.rota ? S.rota->numfrms : 0;
  const int n = G.s.p2Steps, dist = G.s.p2XDist;
  for (int k = 0; k < frames; k++) {
    if (S.rotaObj) vbSetFrame(S.rotaObj, open ? k : frames - 1 - k);
    // The part of the way covered after this step.
    int moved = k + 1 < n ? dist * (k + 1) / n : dist;
    if (!open) moved = dist - moved;
    place(S.elemObj[ELEM_LEFT], p.leftX - moved, p.leftY);
    place(S.elemObj[ELEM_RIGHT], p.rightX + moved, p.rightY);
    animStep();
  }
  if (!open) {
    place(S.elemObj[ELEM_LEFT], p.leftX, p.leftY);
    place(S.elemObj[ELEM_RIGHT], p.rightX, p.rightY);
  }
}

// Phase 3: the beams part (forwards) or come together (backwards).
void phase3(bool open) {
  const Places p = places();
  const int n = G.s.p3Steps, dist = G.s.p3YDist;
  for (int k = 1; k <= n; k++) {
    const int moved = open ? dist * k / n : dist - dist * k / n;
    place(S.elemObj[ELEM_TOP], p.topX, p.topY - moved);
    place(S.elemObj[ELEM_BOTTOM], p.bottomX, p.bottomY + moved);
    animStep();
  }
}

// Phase 4: the surface's colour fades between dark and light.
void phase4(Rgb from, Rgb to) {
  const int n = G.s.p4Steps;
  for (int k = 1; k <= n; k++) {
    S.colour = k == n ? to : mix(from, to, k, n);
    animStep();
  }
}

// The introduction: the subgame's lines centred on the screen, for
// INTRO_DELAY ms of the game clock.
void introduction(int id) {
  const char* fn = "SG_SCREEN_IN()";
  char path[300];
  strFormatN(path, sizeof path, "titles/fonts/%s.fnp", G.s.introFont);
  Font* font = FNT_CREATE(path);
  if (!font) logError(0, "%s: error loading font '%s'", fn, path);
  MUSIC_TRIGGER(TR_SG_BOXING + id);
  static VBSTR lines[SG_MAX_LINES];
  int count = 0;
  if (font) {
    while (count < SG_MAX_LINES) {
      char key[64];
      strFormatN(key, sizeof key, "%s.line%d", kIntroPrefix[id], count);
      if (!conf_getstr(&G.conf, key, nullptr)) break;
      count++;
    }
    const int lineHeight = font->chars && font->chars->numfrms > 0 ? font->chars->frames[0].height : 0;
    const int top = G.s.centerY - count * lineHeight / 2;
    for (int i = 0; i < count; i++) {
      char key[64];
      strFormatN(key, sizeof key, "%s.line%d", kIntroPrefix[id], i);
      const char* text = conf_getstr(&G.conf, key, "");
      vbStrCreate(&lines[i], font);
      vbStrDraw(&lines[i], kTextCentreX - vbStrWidth(&lines[i], text) / 2, top + i * lineHeight, text);
      for (int k = 0; k < lines[i].count; k++)
        if (lines[i].objects[k]) vbSetLayer(lines[i].objects[k], 1);
    }
  }
  const double start = tmTime;
  do {
    animStep();
  } while (tmTime - start < G.s.introDelay && !sgQuit());
  for (int i = 0; i < count; i++) vbStrFree(&lines[i]);
  // The strings' objects go at the next restore, before the font does.
  animStep();
  if (font) FNT_FREE(font);
}

Sprite* loadSprite(const char* path) {
  Sprite* s = path[0] ? SPR_CREATE(path) : nullptr;
  logDebug(3, "spr_create('%s'): spr-%p", path, static_cast<void*>(s));
  return s;
}

GdevDC* saveScreen(const char* fn) {
  GdevDC* screen = gsCurrent ? gsCurrent->dc : nullptr;
  GdevDC* copy = screen ? mglCloneDC(screen) : nullptr;
  if (!copy) {
    logError(0, "%s: not enough memory to save background (%dx%dx%dbpp)", fn, screen ? screen->width : 0,
             screen ? screen->height : 0, screen ? screen->bitsPerPixel : 0);
  }
  return copy;
}

void freeDC(GdevDC** dc) {
  if (*dc) mglFreeDC(*dc);
  *dc = nullptr;
}

void freeSprites() {
  if (S.elem) SPR_FREE(S.elem);
  if (S.rota) SPR_FREE(S.rota);
  S.elem = S.rota = nullptr;
}

int gameValue(const char* key, int fallback) {
  return G.gameConf ? conf_getint(G.gameConf, key, fallback) : fallback;
}

void boxingWon() { gameChangeCpw('c', 2); }
void boxingLost() { gameChangeCpw('c', -2); }

int gDeputyScore = 0;
void deputyScore() { gameBigScore(gDeputyScore); }

}  // namespace

int SG_PRELOAD(int writeBinary) {
  const char* fn = "SG_PRELOAD()";
  G.writeBinary = writeBinary;
  conf_free(&G.conf);
  G.conf = ConfSet{};
  if (conf_anyread(&G.conf, fn, "conf/sg.conf", "conf/sg.bcf", writeBinary) < 0)
    return logError(-1, "%s: error reading configuration", fn);
  readSettings();
  int result = 0;
  if (SG_BOXING_PRELOAD(writeBinary) < 0) result = logError(-1, "%s: error preloading boxing", fn);
  if (SG_DEPUTY_PRELOAD(writeBinary) < 0) result = logError(-1, "%s: error preloading the shooting gallery", fn);
  if (SG_OLIGARCH_PRELOAD(writeBinary) < 0) result = logError(-1, "%s: error preloading gold catching", fn);
  return result;
}

int SG_REQUEST(int id, SgOutcome* outcome) {
  if (id < 0 || id >= SG_COUNT) return logError(-1, "%s: can't request subgame %d, SE", "SG_REQUEST()", id);
  G.requested = id;
  G.outcome = outcome;
  return 0;
}

int sgRequested() { return G.requested; }

void sgClearRequest() {
  G.requested = SG_NONE;
  G.outcome = nullptr;
}

void sgSetGameConf(ConfSet* gameConf) { G.gameConf = gameConf; }

int SG_SCREEN_IN() {
  const char* fn = "SG_SCREEN_IN()";
  S = SgScreen{};
  S.previous = vbCurrent;
  if (SG_PRELOAD(G.writeBinary) < 0) logError(0, "%s: error preloading subgame data", fn);
  S.elem = loadSprite(G.s.elemFile);
  S.rota = loadSprite(G.s.rotaFile);
  if (!S.elem || !S.rota || S.elem->numfrms < ELEM_COUNT) {
    freeSprites();
    return logError(-1, "%s: error loading sprites", fn);
  }
  if (!(S.saved = saveScreen(fn)) || !(S.introBack = saveScreen(fn))) return -1;
  vbCreate(&gIntroBoard, S.introBack);
  vbSelect(&gIntroBoard);
  S.introSelected = true;
  for (int i = 0; i < ELEM_COUNT; i++) {
    S.elemObj[i] = vbAddObject(S.elem, i, -1000, -1000);
    if (S.elemObj[i]) vbSetLayer(S.elemObj[i], 2);
  }
  S.rotaObj = vbAddObject(S.rota, 0, -1000, -1000);
  if (S.rotaObj) vbSetLayer(S.rotaObj, 3);
  S.colour = G.s.dark;

  phase1(true);
  stillSteps(G.s.p1Pause);
  if (G.s.skip != 2) {
    phase2(true);
    place(S.rotaObj, -1000, -1000);
    const Places p = places();
    place(S.elemObj[ELEM_TOP], p.topX, p.topY);
    place(S.elemObj[ELEM_BOTTOM], p.bottomX, p.bottomY);
    stillSteps(G.s.p2Pause);
    if (G.s.skip != 3) {
      phase3(true);
      if (G.s.skip != 4) {
        phase4(G.s.dark, G.s.light);
        if (G.requested >= 0) introduction(G.requested);
      }
    }
  }

  if (!(S.gameBack = saveScreen(fn))) return -1;
  vbCreate(&gGameBoard, S.gameBack);
  vbSelect(&gGameBoard);
  S.gameSelected = true;
  return 0;
}

int SG_RUN() {
  const char* fn = "SG_RUN()";
  gscr* screen = gsCurrent;
  int clipX = 0, clipY = 0, clipW = 0, clipH = 0;
  if (screen) {
    clipX = screen->clipX;
    clipY = screen->clipY;
    clipW = screen->clipW;
    clipH = screen->clipH;
  }
  int result;
  SgOutcome none{};
  SgOutcome* out = G.outcome ? G.outcome : &none;
  switch (G.requested) {
    case SG_BOXING: result = SG_BOXING_RUN(&out->boxing); break;
    case SG_DEPUTY: result = SG_DEPUTY_RUN(&out->deputy); break;
    case SG_OLIGARCH: result = SG_OLIGARCH_RUN(&out->oligarch); break;
    default: result = logError(-1, "%s: subgame %d is invalid, SE", fn, G.requested); break;
  }
  sgClockStop();
  MUSIC_TRIGGER(TR_SG_END);
  if (screen) {
    screen->clipX = clipX;
    screen->clipY = clipY;
    screen->clipW = clipW;
    screen->clipH = clipH;
  }
  return result;
}

void SG_SCREEN_OUT() {
  if (S.introSelected) {
    vbSelect(&gIntroBoard);
    if (S.gameSelected) vbFree(&gGameBoard);
    S.gameSelected = false;
    freeDC(&S.gameBack);
    // The subgame drew over the screen: the board's picture comes back whole.
    vbRestore(1);
    const Rgb light = S.colour;
    phase4(light, G.s.dark);
    phase3(false);
    place(S.elemObj[ELEM_TOP], -1000, -1000);
    place(S.elemObj[ELEM_BOTTOM], -1000, -1000);
    stillSteps(G.s.p1Pause);
    const Places p = places();
    place(S.rotaObj, p.rotaX, p.rotaY);
    phase2(false);
    phase1(false);
    // The surface goes with the pillars: the saved screen shows again.
    if (S.surfaceShown) {
      gdevBitBlt(S.introBack, S.surfL, S.surfT, S.saved, S.surfL, S.surfT, S.surfR - S.surfL + 1,
                 S.surfB - S.surfT + 1);
      S.surfaceShown = false;
    }
    vbFree(&gIntroBoard);
  } else if (S.gameSelected) {
    vbFree(&gGameBoard);
  }
  freeSprites();
  if (S.previous) vbSelect(S.previous);
  if (gsCurrent && gsCurrent->dc && S.saved) {
    mglCopyDC(gsCurrent->dc, S.saved);
    gsDirtyAll();
  }
  freeDC(&S.gameBack);
  freeDC(&S.introBack);
  freeDC(&S.saved);
  S = SgScreen{};
}

void SG_OUTCOME() {
  const char* fn = "SG_OUTCOME";
  if (!G.outcome) {
    logError(0, "%s: no outcome record for subgame %d, SE", fn, G.requested);
    return;
  }
  const SgOutcome& o = *G.outcome;
  switch (G.requested) {
    case SG_BOXING:
      titleEndCallbackOrNow(startForeTitle(o.boxing.won ? "boxing_win" : "boxing_lose"),
                            o.boxing.won ? boxingWon : boxingLost);
      break;
    case SG_DEPUTY: {
      char text[16];
      strFormatN(text, sizeof text, "%d", o.deputy.killedBig);
      titleSetMacro("killed_big", text);
      strFormatN(text, sizeof text, "%d", o.deputy.killedSmall);
      titleSetMacro("killed_small", text);
      gDeputyScore = gameValue("sg_deputy.small_value", -1) * o.deputy.killedSmall +
                     gameValue("sg_deputy.big_value", -1) * o.deputy.killedBig;
      titleEndCallbackOrNow(startForeTitle("deputy_outcome"), deputyScore);
      break;
    }
    case SG_OLIGARCH: {
      const int score = gameValue("sg_oligarch.value", 0) * o.oligarch.goldCaught;
      titleSetMacro("oligarch_score", scoreFormat(score));
      startForeTitle("oligarch_outcome");
      scoreAddBig(score);
      break;
    }
    default: logError(0, "%s: subgame %d is invalid, SE", fn, G.requested); break;
  }
}

void sgFree() {
  sgBoxingFree();
  sgDeputyFree();
  sgOligarchFree();
  conf_free(&G.conf);
  G.conf = ConfSet{};
  sgClearRequest();
}

const char* sgOutcomeText(int id, const SgOutcome* o) {
  static char text[64];
  switch (id) {
    case SG_BOXING: strFormatN(text, sizeof text, "boxing won %d", o->boxing.won); break;
    case SG_DEPUTY:
      strFormatN(text, sizeof text, "deputy small %d big %d", o->deputy.killedSmall, o->deputy.killedBig);
      break;
    case SG_OLIGARCH: strFormatN(text, sizeof text, "oligarch gold %d", o->oligarch.goldCaught); break;
    default: strFormatN(text, sizeof text, "subgame %d invalid", id); break;
  }
  return text;
}
