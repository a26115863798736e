#include "core/time.h"

#include <climits>
#include <cstdint>

#include "core/log.h"
#include "core/text.h"
#include "platform/sys/sys.h"

double tmTime;
double tmFrameDelta;
double tmFrameStep;

namespace {

struct TimerState {
  bool counter;          // the high-resolution counter is available
  double period;         // seconds per counter tick
  bool msStarted;        // millisecond clock: first reading taken
  uint32_t msLast;       // millisecond clock: last raw reading
  double msNow;          // millisecond clock: readings accumulated across wrap-around
  double now;            // last clock reading, ms
  double offset;         // time that does not count as game time, ms
  double previousTime;   // tmTime at the previous frame
  double rawDelta;       // tmTime - previousTime, unclamped
  double rate;           // frames per second
  bool fixed;
  bool paused;
  bool inSelfLoop;
  double selfLoopTime;   // clock time spent inside the nested loop
  double savedTime;      // tmTime when the nested loop began
  double frameStart;     // now at tmMarkFrame
  double fpsAccumulated; // variable mode: raw deltas since the last fps text
  double busyTime;       // fixed mode: work time of the frames counted
  int framesCounted;
  bool turbo;            // frames back to back on a virtual clock
  double virtualNow;     // turbo: the clock, advanced one nominal frame per frame
};

TimerState gTimer;
const TmRecordBridge* gBridge;
char gStatus[TM_STATUS_SLOTS][TM_STATUS_LEN];

// Truncates like a cast, but saturates instead of overflowing.
int toInt(double v) {
  if (!(v == v)) return 0;
  if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(v);
}

double readClock() {
  if (gTimer.turbo) return gTimer.virtualNow;
  const SysClock* clock = sysClock();
  if (gTimer.counter) {
    double ticks = static_cast<double>(clock->counterTicks());
    return ticks * gTimer.period * 1000.0;
  }
  // The millisecond clock wraps after 2^32 ms; accumulate its differences.
  uint32_t ms = clock->milliseconds();
  if (!gTimer.msStarted) {
    gTimer.msStarted = true;
    gTimer.msNow = static_cast<double>(ms);
  } else {
    gTimer.msNow += static_cast<double>(static_cast<uint32_t>(ms - gTimer.msLast));
  }
  gTimer.msLast = ms;
  return gTimer.msNow;
}

// Frame delta of a frame running at the set rate.
double nominalDelta() { return gTimer.rate > 0 ? 1000.0 / gTimer.rate : 0.0; }

// Sleeping overshoots by up to about this much; the rest of a wait is spun
// when it must end on time.
constexpr double kSleepSlackMs = 1.0;

// Waits until the clock reads `until` (ms). Exact: sleeps while more than
// the slack is left, then spins (a clock that can't sleep is spun all the
// way). Not exact: one sleep for what is left (none on a clock that can't
// sleep); waking a little late only makes the frame a little longer.
void waitUntil(double until, bool exact) {
  void (*sleep)(double) = sysClock()->sleepMs;
  if (!exact) {
    tmUpdate();
    if (sleep && until > gTimer.now) sleep(until - gTimer.now);
    return;
  }
  while (true) {
    tmUpdate();
    const double left = until - gTimer.now;
    if (left <= 0) return;
    if (sleep && left > kSleepSlackMs) sleep(left - kSleepSlackMs);
  }
}

}  // namespace

void tmInit() {
  gTimer = TimerState{};
  tmTime = 0;
  tmFrameDelta = 0;
  tmFrameStep = 0;
  for (auto& text : gStatus) text[0] = '\0';

  uint64_t frequency = 0;
  if (sysClock()->counterFrequency(&frequency) && frequency > 0) {
    gTimer.counter = true;
    gTimer.period = 1.0 / static_cast<double>(frequency);
  } else {
    logPrint("%s: performance counter not available", "tmInit()");
  }
}

void tmUpdate() {
  double reading = readClock();
  double elapsed = reading - gTimer.now;
  gTimer.now = reading;
  if (gTimer.paused)
    gTimer.offset += elapsed;
  else if (gTimer.inSelfLoop)
    gTimer.selfLoopTime += elapsed;
}

void tmSetTime(double t) {
  tmUpdate();
  gTimer.offset = gTimer.now - t;
  gTimer.previousTime = t;
  tmTime = t;
}

void tmSetRate(double rate, int fixed) {
  gTimer.rate = rate;
  gTimer.fixed = fixed != 0;
  tmFrameStep = 1.0;
  tmFrameDelta = nominalDelta();
  gTimer.previousTime = tmTime;
}

double tmGetRate() { return gTimer.rate; }

int tmIsFixed() { return gTimer.fixed ? 1 : 0; }

void tmBeginFrame() {
  if (gTimer.turbo) gTimer.virtualNow += nominalDelta();
  if (gTimer.inSelfLoop) {
    tmUpdate();
    tmTime = gTimer.now - gTimer.offset;
  } else if (gBridge && gBridge->playing && gBridge->playing()) {
    // Replay: game time comes from the recording; a tick without it keeps the time.
    double t = 0;
    if (gBridge->readTime && gBridge->readTime(&t)) tmTime = t;
  } else {
    tmUpdate();
    tmTime = gTimer.now - gTimer.offset;
    if (gBridge && gBridge->recording && gBridge->recording() && gBridge->writeTime)
      gBridge->writeTime(tmTime);
  }

  if (gTimer.fixed) {
    tmFrameStep = 1.0;
    tmFrameDelta = nominalDelta();
    return;
  }
  gTimer.rawDelta = tmTime - gTimer.previousTime;
  // Never more than one nominal frame: below the rate the game slows down.
  tmFrameDelta = gTimer.rawDelta;
  if (gTimer.rate > 0 && tmFrameDelta > 1000.0 / gTimer.rate) tmFrameDelta = 1000.0 / gTimer.rate;
  gTimer.previousTime = tmTime;
  tmFrameStep = gTimer.rate * tmFrameDelta * 0.001;
}

void tmMarkFrame() { gTimer.frameStart = gTimer.now; }

void tmEndFrame() {
  if (gTimer.paused) return;
  tmUpdate();
  if (gTimer.turbo) return;  // no pacing: the virtual clock already moved one frame

  if (!gTimer.fixed) {
    // Variable rate: game time follows the clock, and a frame done early
    // sleeps out the rest of its nominal length rather than running the
    // next one at once (more frames than the rate would only burn the
    // processor).
    if (gTimer.rate > 0) waitUntil(gTimer.frameStart + 1000.0 / gTimer.rate, false);
    gTimer.fpsAccumulated += gTimer.rawDelta;
    if (gTimer.fpsAccumulated > 333.0) {
      gTimer.fpsAccumulated = 0;
      // A frame of no game time (a replay tick without time) counts as 1 ms.
      double frameMs = gTimer.rawDelta > 0 ? gTimer.rawDelta : 1.0;
      strFormatN(gStatus[0], TM_STATUS_LEN, "fps:%d min:%d", toInt(1000.0 / frameMs), toInt(gTimer.rate));
    }
    return;
  }
  if (gTimer.rate <= 0) return;

  gTimer.busyTime += gTimer.now - gTimer.frameStart;
  // Frame boundaries exact to the clock's resolution: sleep through most of
  // the wait, spin only its last millisecond.
  waitUntil(gTimer.frameStart + 1000.0 / gTimer.rate, true);

  ++gTimer.framesCounted;
  int every = toInt(gTimer.rate / 3);
  if (every < 1) every = 1;
  if (gTimer.framesCounted >= every) {
    double busy = gTimer.busyTime > 0 ? gTimer.busyTime : 1.0;
    strFormatN(gStatus[0], TM_STATUS_LEN, "fps:%d max:%d", toInt(gTimer.rate),
               toInt(gTimer.framesCounted * 1000.0 / busy));
    gTimer.busyTime = 0;
    gTimer.framesCounted = 0;
  }
}

void tmPause() { gTimer.paused = true; }

void tmResume() { gTimer.paused = false; }

int tmIsPaused() { return gTimer.paused ? 1 : 0; }

void tmBeginSelfLoop() {
  if (gTimer.inSelfLoop) {
    logError(0, "%s: self loops can't be nested, SE", "tmBeginSelfLoop()");
    return;
  }
  gTimer.savedTime = tmTime;
  gTimer.selfLoopTime = 0;
  gTimer.inSelfLoop = true;
}

void tmEndSelfLoop() {
  if (!gTimer.inSelfLoop) {
    logError(0, "%s: not in self loop mode, SE", "tmEndSelfLoop()");
    return;
  }
  tmUpdate();
  gTimer.offset += gTimer.selfLoopTime;
  tmTime = gTimer.savedTime;
  gTimer.previousTime = gTimer.savedTime;
  gTimer.inSelfLoop = false;
}

const char* tmStatusText(int slot) {
  if (slot < 0 || slot >= TM_STATUS_SLOTS) return "";
  return gStatus[slot];
}

void tmSetRecordBridge(const TmRecordBridge* bridge) { gBridge = bridge; }

// Switching keeps the game time where it was. The virtual clock starts at 0
// so that game time stays an exact multiple of the nominal frame.
void tmSetTurbo(int on) {
  double t = gTimer.now - gTimer.offset;
  if (on) {
    gTimer.turbo = true;
    gTimer.virtualNow = 0;
    gTimer.now = 0;
    gTimer.offset = -t;
  } else if (gTimer.turbo) {
    gTimer.turbo = false;
    double reading = readClock();
    gTimer.now = reading;
    gTimer.offset = reading - t;
  }
}

int tmIsTurbo() { return gTimer.turbo ? 1 : 0; }
