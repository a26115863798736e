#include "gfx/frame.h"

#include "core/time.h"
#include "gfx/screen.h"

FramePacing gFramePacing = {0, 0};

void framePresent() {
  if (gFramePacing.slowSwap) {
    tmEndFrame();
    gsUpdate(gFramePacing.sync);
  } else {
    gsUpdate(gFramePacing.sync);
    tmEndFrame();
  }
}
