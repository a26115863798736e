#include "subgames/sgframe.h"

#include <cstring>

#include "core/time.h"
#include "gfx/frame.h"
#include "platform/gdev.h"

namespace {

SgHost gHost{};
bool gHasHost = false;

// The subgame's clock: nominal frames of the set rate since the subgame
// began (sgInputStart), so that a subgame runs the same in every replay,
// whatever the wall clock did.
bool gClockRunning = false;
double gClock = 0;

enum { CHAR_SPACE = ' ' };

}  // namespace

void sgSetHost(const SgHost* host) {
  gHasHost = host != nullptr;
  gHost = host ? *host : SgHost{};
}

void sgInputStart(SgKeys* keys) {
  gdevFlushEvents(GDEV_EVT_EVERY);
  std::memset(keys, 0, sizeof *keys);
  gClockRunning = true;
  gClock = 0;
}

int sgFrameInput(SgKeys* keys, GdevEvent* event) {
  GdevEvent e{};
  int got = gHasHost && gHost.event ? gHost.event(&e) : (gdevGetEvent(&e, GDEV_EVT_EVERY, true) ? 1 : 0);
  if (!got) e = GdevEvent{};
  if (event) *event = e;
  if (!got) return SG_INPUT_NONE;
  int result = SG_INPUT_EVENT;
  const int scan = gdevEventScan(&e) & 0xFF, ch = gdevEventChar(&e) & 0xFF;
  switch (e.what) {
    case GDEV_EVT_KEYDOWN:
    case GDEV_EVT_KEYREPEAT:
      keys->scan[scan] = 1;
      keys->chr[ch] = 1;
      if (e.what == GDEV_EVT_KEYDOWN && ch == CHAR_SPACE) result |= SG_INPUT_REDRAW;
      break;
    case GDEV_EVT_KEYUP:
      keys->scan[scan] = 0;
      keys->chr[ch] = 0;
      break;
    case GDEV_EVT_USER: result |= SG_INPUT_REDRAW; break;
    default: break;
  }
  return result;
}

void sgFrameBegin() {
  tmBeginFrame();
  const double rate = tmGetRate();
  if (gClockRunning && rate > 0) gClock += 1000.0 / rate;
  if (gHasHost && gHost.frameTime) gHost.frameTime();
  tmMarkFrame();
}

void sgFrameEnd() {
  framePresent();
  if (gHasHost && gHost.frameEnd) gHost.frameEnd();
}

int sgQuit() {
  if (gHasHost && gHost.quit) return gHost.quit();
  return gdevQuitRequested() ? 1 : 0;
}

void sgScreenFrame(int step) {
  if (gHasHost && gHost.screenFrame) gHost.screenFrame(step);
}

double sgNow() { return gClockRunning ? gClock : tmTime; }

void sgClockStop() { gClockRunning = false; }
