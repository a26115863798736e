#include "gfx/frame.h"

#include "core/time.h"
#include "gfx/screen.h"

FramePacing gFramePacing = {0, 0};
FrameCounts gFrameCounts = {0, 0};

namespace {

int gPresentEveryFrame = 0;

// Presenting only copies pixels the frame has already drawn to the window:
// nothing the game computes reads them back, so a turbo run that skips it
// plays exactly as one that presents every frame.
void presentOrSkip(int sync) {
  if (tmIsTurbo() && !gPresentEveryFrame) {
    gsSkipUpdate();
    ++gFrameCounts.skipped;
  } else {
    gsUpdate(sync);
    ++gFrameCounts.presented;
  }
}

}  // namespace

void framePresent() {
  // Turbo frames run back to back: waiting for the display's retrace would
  // pace them again.
  const int sync = gFramePacing.sync && !tmIsTurbo() ? 1 : 0;
  if (gFramePacing.slowSwap) {
    tmEndFrame();
    presentOrSkip(sync);
  } else {
    presentOrSkip(sync);
    tmEndFrame();
  }
}

void frameSetPresentEveryFrame(int on) { gPresentEveryFrame = on ? 1 : 0; }

void frameShowLast() {
  if (gsCurrent && gsCurrent->presentPending) gsUpdate(0);
}
