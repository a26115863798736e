#include "gfx/frame.h"

#include "core/time.h"
#include "gfx/screen.h"

FramePacing gFramePacing = {0, 0};

void framePresent() {
  // Turbo frames run back to back: waiting for the display's retrace would
  // pace them again.
  const int sync = gFramePacing.sync && !tmIsTurbo() ? 1 : 0;
  if (gFramePacing.slowSwap) {
    tmEndFrame();
    gsUpdate(sync);
  } else {
    gsUpdate(sync);
    tmEndFrame();
  }
}
