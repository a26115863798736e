#pragma once
// The screen the benchmarks draw on: an 800x600 window of the offscreen
// video driver at the asked depth, or a display surface of our own when no
// window can be had.
#include <cstdlib>
#include <cstring>

#include "core/log.h"
#include "core/mem.h"
#include "gfx/screen.h"
#include "platform/gdev.h"

constexpr int W = 800, H = 600;

struct Stage {
  GdevDevice* device = nullptr;
  GdevDevice handMade{};
  GdevDC* display = nullptr;
  gscr screen{};
  bool window = false;

  bool open(int bits) {
    logReset();
    logPrint("STDERR 0");
    memInit();
    gsBuildBlendTable();
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (gdevInit("Qel bench")) {
      for (const GdevMode& m : gdevModes()) {
        if (std::strstr(m.driver, "FDIB") && m.width == W && m.height == H && m.bitsPerPixel == bits) {
          device = gdevSetMode(&m, 1);
          break;
        }
      }
    }
    window = device != nullptr;
    if (!window) {
      display = gdevCreateMemoryDC(W, H, bits, nullptr);
      if (!display) return false;
      handMade.mode.width = W;
      handMade.mode.height = H;
      handMade.mode.bitsPerPixel = bits;
      handMade.mode.pages = 1;
      handMade.windowed = 1;
      handMade.drawDC = handMade.displayDC = display;
      device = &handMade;
    }
    if (gsCreateMGL(&screen, device) != 1) return false;
    gsSelect(&screen);
    return true;
  }

  ~Stage() {
    gsSelect(nullptr);
    gsRelease(&screen);
    if (window) gdevRestoreMode(device);
    gdevExit();
    if (display) gdevDestroyDC(display);
  }
};

