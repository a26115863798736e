#include "frontend/pause.h"

#include "core/log.h"
#include "core/time.h"
#include "gfx/frame.h"
#include "gfx/hotarea.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "platform/gdev.h"
#include "sound/fx.h"

namespace {

enum {
  SCAN_LEFT_FLIPPER = 0x2C,
  SCAN_RIGHT_FLIPPER = 0x35,
  SCAN_LEFT_ARROW = 0x4B,
  SCAN_RIGHT_ARROW = 0x4D,
  CHAR_ENTER = 13,
  CHAR_ESCAPE = 27,
};

struct PauseInterface {
  Sprite* cursor;
  Sprite* window;
  Sprite* choice[2];  // continue, exit
} ui = {};

int gHighlighted = -1;
int gChosen = -1;
int gShowing = 0;

Sprite* load(const char* path) {
  Sprite* s = SPR_CREATE(path);
  logDebug(2, "spr_create('%s'): spr-%p", path, static_cast<void*>(s));
  return s;
}

// The frame's pixel box at the origin, as inclusive edges.
void spriteRect(const Sprite* s, int* left, int* top, int* right, int* bottom) {
  const SprFrame& f = s->frames[0];
  *left = f.x0;
  *top = f.y0;
  *right = f.x1;
  *bottom = f.y1;
}

int areaHandler(HotArea* area, const HaMessage* m) {
  switch (m->code) {
    case HM_MOUSEIN: gHighlighted = area->id; break;
    // The pointer may enter the other choice before it is told it left
    // this one: only the choice still lit goes dark.
    case HM_MOUSEOUT:
      if (gHighlighted == area->id) gHighlighted = -1;
      break;
    case HM_MOUSECLICK: gChosen = area->id; break;
    default: break;
  }
  return 1;
}

bool createArea(int id) {
  int l, t, r, b;
  spriteRect(ui.choice[id], &l, &t, &r, &b);
  return haCreateRect(id, areaHandler, l, t, r - l + 1, b - t + 1) != 0;
}

// Left keys highlight continue, right keys exit; with a choice highlighted
// either kind toggles it.
void moveHighlight(int towards) { gHighlighted = gHighlighted < 0 ? towards : 1 - gHighlighted; }

}  // namespace

int setupInterface() {
  ui = PauseInterface{};
  if (!(ui.cursor = load("data/dialog-cursor.gsp"))) return 0;
  if (!(ui.window = load("data/pause-window.gsp"))) return 0;
  if (!(ui.choice[PAUSE_CONTINUE] = load("data/pause-continue.gsp"))) return 0;
  if (!(ui.choice[PAUSE_EXIT] = load("data/pause-exit.gsp"))) return 0;
  return 1;
}

int pauseHighlighted() { return gHighlighted; }
int pauseChosen() { return gChosen; }
int pauseShowing() { return gShowing; }

int showPauseDialog() {
  if (!ui.cursor || !ui.window || !ui.choice[0] || !ui.choice[1])
    return logError(0, "%s: interface sprites not loaded, SE", "showPauseDialog()");
  VBOBJ* cursor = vbAddObject(ui.cursor, 0, -100, -100);
  VBOBJ* window = vbAddObject(ui.window, 0, 0, 0);
  VBOBJ* highlight = vbAddObject(nullptr, -1, 0, 0);
  if (cursor) vbSetLayer(cursor, 1);

  haInit();
  if (!createArea(PAUSE_CONTINUE) || !createArea(PAUSE_EXIT)) {
    vbDelObject(cursor);
    vbDelObject(window);
    vbDelObject(highlight);
    return logError(0, "%s: error creating hot areas, SE", "showPauseDialog()");
  }
  gHighlighted = -1;
  gChosen = -1;
  if (gdevCurrentDevice() && gdevCurrentDevice()->window) {
    int l, t, r, b;
    spriteRect(ui.window, &l, &t, &r, &b);
    gdevMoveCursor((l + r) / 2, b + 20);
  }

  int result = 0;
  bool redraw = true, done = false;
  gShowing = 1;
  while (!done) {
    GdevEvent e;
    if (gdevQuitRequested()) {
      // Closing the window leaves the session as the exit choice does.
      result = 1;
      break;
    }
    if (gdevGetEvent(&e, GDEV_EVT_EVERY, true)) {
      if (e.what == GDEV_EVT_MOUSEMOVE && cursor) vbSetXY(cursor, e.x, e.y);
      if (e.what == GDEV_EVT_KEYDOWN || e.what == GDEV_EVT_KEYREPEAT) {
        int scan = gdevEventScan(&e), ch = gdevEventChar(&e);
        if (scan == SCAN_LEFT_FLIPPER || scan == SCAN_LEFT_ARROW) moveHighlight(PAUSE_CONTINUE);
        if (scan == SCAN_RIGHT_FLIPPER || scan == SCAN_RIGHT_ARROW) moveHighlight(PAUSE_EXIT);
        if (ch == CHAR_ENTER && gHighlighted >= 0) gChosen = gHighlighted;
        if (ch == CHAR_ESCAPE) {
          result = 0;
          break;
        }
      }
      if (e.what & GDEV_EVT_MOUSEEVT) haEvent(&e);
      if (e.what == GDEV_EVT_USER) redraw = true;
    }
    if (highlight) {
      if (gHighlighted < 0) {
        vbSetSprite(highlight, nullptr);
      } else {
        vbSetSprite(highlight, ui.choice[gHighlighted]);
        highlight->frame = 0;
      }
    }
    if (gChosen >= 0) {
      result = gChosen == PAUSE_EXIT ? 1 : 0;
      done = true;
    }
    tmBeginFrame();
    tmMarkFrame();
    vbRestore(redraw ? 1 : 0);
    redraw = false;
    vbDraw();
    fxUpdate();
    framePresent();
  }
  gShowing = 0;
  vbDelObject(window);
  vbDelObject(highlight);
  vbDelObject(cursor);
  return result;
}
