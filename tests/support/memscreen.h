#pragma once
// A screen in memory for tests that draw: a 16-bit display surface standing
// for the window, the engine's screen over it, a background surface of the
// same size and a visual board on that background. While it is open the
// screen and the visual board are the current ones. Test fixtures take it as
// a base, so that its parts are theirs by name.
#include <gtest/gtest.h>

#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "platform/gdev.h"

struct MemScreen {
  GdevDC* display = nullptr;
  GdevDC* background = nullptr;
  GdevDevice device{};
  gscr screen{};
  VBOARD vboard{};

  // Makes and selects the screen and the visual board of a w x h display;
  // false, with a test failure, when a part cannot be made.
  bool openScreen(int w, int h) {
    if (!gsCreateMemoryScreen(&screen, &device, &display, w, h, 16)) {
      ADD_FAILURE() << "no " << w << "x" << h << " screen";
      return false;
    }
    gsSelect(&screen);
    background = gdevCreateMemoryDC(w, h, 16, nullptr);
    if (!background) {
      ADD_FAILURE() << "no " << w << "x" << h << " background surface";
      return false;
    }
    vbCreate(&vboard, background);
    vbSelect(&vboard);
    return true;
  }

  // Frees the visual board, then every sprite (the board's clones are gone
  // by then), the screen and both surfaces; also after a failed open.
  void closeScreen() {
    vbFree(&vboard);
    vbCurrent = nullptr;
    SPR_FREE_ALL();
    gsSelect(nullptr);
    gsRelease(&screen);
    gdevDestroyDC(background);
    gdevDestroyDC(display);
    background = display = nullptr;
  }

  // The sprites in SPRITES[] now: what a test compares before and after, to
  // see that nothing was left loaded.
  static int spritesInUse() {
    int n = 0;
    for (const Sprite& s : SPRITES) n += s.inUse ? 1 : 0;
    return n;
  }
};
