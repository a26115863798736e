#pragma once
// A small 16-bit memory screen with a visual board over a background, made
// and selected once per fuzz process, for targets whose readers add board
// objects (animation scripts, score digits).
#include <cstdlib>

#include "gfx/screen.h"
#include "gfx/vboard.h"
#include "platform/gdev.h"

struct FuzzBoard {
  GdevDC* display = nullptr;
  GdevDC* background = nullptr;
  GdevDevice device{};
  gscr screen{};
  VBOARD board{};

  void open(int w, int h) {
    background = gdevCreateMemoryDC(w, h, 16, nullptr);
    if (!background || !gsCreateMemoryScreen(&screen, &device, &display, w, h, 16)) std::abort();
    gsSelect(&screen);
    vbCreate(&board, background);
    vbSelect(&board);
  }
};
