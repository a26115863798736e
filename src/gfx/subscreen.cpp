// Subscreens: save the screen, draw an interlude over the copy with its own
// visual board, put the screen back.
#include "gfx/subscreen.h"

#include <cstdlib>

#include "core/log.h"
#include "gfx/screen.h"
#include "gfx/vboard.h"

namespace {

struct Subscreen {
  gscr* screen;      // the screen that was saved
  GdevDC* saved;     // its copy, the board's background
  VBOARD* board;     // the interlude's board
  VBOARD* previous;  // the board selected before
};

Subscreen gStack[SUBSCREEN_MAX_DEPTH];
int gDepth;

}  // namespace

int beginSubscreen() {
  constexpr const char* fn = "beginSubscreen()";
  gscr* screen = gsCurrent;
  if (!screen || !screen->dc) return logError(0, "%s: gsCurrent is NULL, SE", fn);
  if (gDepth >= SUBSCREEN_MAX_DEPTH) {
    return logError(0, "%s: subscreens nested deeper than %d, SE", fn, SUBSCREEN_MAX_DEPTH);
  }
  GdevDC* saved = mglCloneDC(screen->dc);
  if (!saved) {
    return logError(0, "%s: not enough memory to save background (%dx%dx%dbpp)", fn, screen->width,
                    screen->height, screen->bpp);
  }
  auto* board = static_cast<VBOARD*>(std::malloc(sizeof(VBOARD)));
  if (!board) {
    mglFreeDC(saved);
    return logError(0, "%s: not enough memory for the subscreen's VBOARD (%d bytes)", fn,
                    static_cast<int>(sizeof(VBOARD)));
  }
  vbCreate(board, saved);
  gStack[gDepth++] = Subscreen{screen, saved, board, vbCurrent};
  vbSelect(board);
  return 1;
}

int endSubscreen() {
  constexpr const char* fn = "endSubscreen()";
  if (gDepth <= 0) return logError(0, "%s: no subscreen is open, SE", fn);
  Subscreen s = gStack[--gDepth];
  gStack[gDepth] = Subscreen{};
  // The saved screen is made current for the copy and the dirty set, then
  // whatever was current before comes back.
  gscr* current = gsSelect(s.screen);
  mglCopyDC(s.screen->dc, s.saved);
  gsDirtyAll();
  gsSelect(current);
  vbSelect(s.previous);
  vbFree(s.board);
  std::free(s.board);
  mglFreeDC(s.saved);
  return 1;
}

int subscreenDepth() { return gDepth; }
