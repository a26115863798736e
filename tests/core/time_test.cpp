#include "core/time.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/log.h"
#include "platform/sys/sys.h"
#include "support/testutil.h"

namespace {

// A clock driven by hand. Each read first adds stepPerRead ticks (unless a
// held read is pending), so busy waits make progress without real time.
struct FakeClock {
  bool hasCounter = true;
  uint64_t frequency = 1000;
  uint64_t ticks = 0;
  uint64_t stepPerRead = 0;
  int hold = 0;  // this many reads return the current value unchanged
  uint32_t ms = 0;
  long reads = 0;
  bool runaway = false;  // a wait never ended; the clock jumped to break it
};
FakeClock gFake;

void tick(uint64_t* value, uint64_t step) {
  if (++gFake.reads > 20'000'000) {
    gFake.runaway = true;
    *value += 1'000'000'000;
  }
  if (gFake.hold > 0)
    --gFake.hold;
  else
    *value += step;
}

bool fakeFrequency(uint64_t* f) {
  *f = gFake.frequency;
  return gFake.hasCounter;
}
uint64_t fakeTicks() {
  tick(&gFake.ticks, gFake.stepPerRead);
  return gFake.ticks;
}
uint32_t fakeMilliseconds() {
  uint64_t v = gFake.ms;
  tick(&v, gFake.stepPerRead);
  gFake.ms = static_cast<uint32_t>(v);
  return gFake.ms;
}
const SysClock kFakeClock = {fakeFrequency, fakeTicks, fakeMilliseconds, nullptr};  // spins its waits

// The same clock able to sleep: a sleep moves it on by the time asked for
// and counts the sleeps and the time slept.
struct Sleeps {
  int count = 0;
  double ms = 0;
} gSleeps;
void advanceMs(double ms);
void fakeSleep(double ms) {
  gSleeps.count++;
  gSleeps.ms += ms;
  advanceMs(ms);
}
const SysClock kSleepingClock = {fakeFrequency, fakeTicks, fakeMilliseconds, fakeSleep};

void advanceMs(double ms) {
  if (gFake.hasCounter)
    gFake.ticks += static_cast<uint64_t>(ms * static_cast<double>(gFake.frequency) / 1000.0 + 0.5);
  else
    gFake.ms += static_cast<uint32_t>(ms);
}

// Recording bridge under test control.
struct FakeRecorder {
  bool playing = false;
  bool recording = false;
  std::vector<double> channel;  // values played back, one per tick; NaN-free
  std::vector<bool> hasValue;
  size_t next = 0;
  std::vector<double> written;
};
FakeRecorder gRec;

const TmRecordBridge kBridge = {
    [] { return gRec.playing; },
    [] { return gRec.recording; },
    [](double* t) {
      size_t i = gRec.next++;
      if (i >= gRec.channel.size() || !gRec.hasValue[i]) return false;
      *t = gRec.channel[i];
      return true;
    },
    [](double t) { gRec.written.push_back(t); },
};

constexpr double kEps = 1e-9;

class TimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logReset();
    gFake = FakeClock{};
    gRec = FakeRecorder{};
    sysSetClock(&kFakeClock);
    tmSetRecordBridge(nullptr);
    tmInit();
    tmSetTime(0);
  }
  void TearDown() override {
    tmSetRecordBridge(nullptr);
    sysSetClock(nullptr);
    EXPECT_FALSE(gFake.runaway) << "a busy wait did not end on its own";
  }
  // Restarts the timer on a clock with the given counter frequency (0: none).
  void restart(uint64_t frequency, uint64_t stepPerRead) {
    gFake.hasCounter = frequency != 0;
    gFake.frequency = frequency;
    gFake.stepPerRead = stepPerRead;
    tmInit();
    tmSetTime(0);
  }
  // One frame's opening after ms of real time.
  void beginAfter(double ms) {
    advanceMs(ms);
    tmBeginFrame();
    tmMarkFrame();
  }
};

TEST_F(TimeTest, VariableModeNeverStepsMoreThanOneNominalFrame) {
  tmSetRate(60, 0);
  struct Case {
    double elapsed, delta, step;
  };
  const Case cases[] = {
      {50, 1000.0 / 60, 1.0}, {8, 8, 0.48}, {16, 16, 0.96}, {0, 0, 0}, {17, 1000.0 / 60, 1.0},
  };
  double total = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.elapsed);
    beginAfter(c.elapsed);
    total += c.elapsed;
    EXPECT_NEAR(tmFrameDelta, c.delta, kEps);
    EXPECT_NEAR(tmFrameStep, c.step, 1e-12);
    // Game time itself follows the clock; only the frame's share is clamped.
    EXPECT_NEAR(tmTime, total, kEps);
  }
}

TEST_F(TimeTest, FixedModeFramesAreAlwaysNominal) {
  tmSetRate(50, 1);
  EXPECT_EQ(tmGetRate(), 50);
  EXPECT_EQ(tmIsFixed(), 1);
  for (double elapsed : {3.0, 20.0, 45.0, 0.0}) {
    SCOPED_TRACE(elapsed);
    beginAfter(elapsed);
    EXPECT_EQ(tmFrameDelta, 1000.0 / 50);
    EXPECT_EQ(tmFrameStep, 1.0);
  }
}

TEST_F(TimeTest, SetRateResetsTheFrameAndContinuesFromNow) {
  tmSetRate(60, 0);
  beginAfter(100);
  tmSetRate(30, 0);
  EXPECT_EQ(tmFrameStep, 1.0);
  EXPECT_EQ(tmFrameDelta, 1000.0 / 30);
  beginAfter(10);
  EXPECT_NEAR(tmFrameDelta, 10, kEps);
  EXPECT_NEAR(tmFrameStep, 0.3, kEps);
}

TEST_F(TimeTest, SetTimeContinuesFromTheGivenTime) {
  tmSetRate(60, 0);
  beginAfter(250);
  tmSetTime(5000);
  EXPECT_EQ(tmTime, 5000);
  beginAfter(10);
  EXPECT_NEAR(tmTime, 5010, kEps);
  EXPECT_NEAR(tmFrameDelta, 10, kEps);
}

TEST_F(TimeTest, FixedModeWaitsUntilTheFrameLastedOneNominalFrame) {
  restart(1'000'000, 10);  // microsecond ticks; every read costs 10 us
  tmSetRate(50, 1);
  for (double work : {0.0, 5.0, 19.5, 30.0}) {
    SCOPED_TRACE(work);
    tmBeginFrame();
    tmMarkFrame();
    double start = tmTime;
    advanceMs(work);
    tmEndFrame();
    tmBeginFrame();
    double lasted = tmTime - start;
    double expected = work > 20 ? work : 20.0;
    EXPECT_GE(lasted, expected);
    EXPECT_LT(lasted, expected + 0.05);
  }
}

// Waits sleep instead of spinning: a fixed-rate frame sleeps all but the
// last millisecond of its wait and still ends on the boundary; a
// variable-rate frame done early sleeps out the rest of its nominal length;
// a frame done late does not wait at all. Reads of the clock stay few.
TEST_F(TimeTest, FramesDoneEarlySleepOutTheirLength) {
  sysSetClock(&kSleepingClock);
  restart(1'000'000, 10);  // microsecond ticks; every read costs 10 us
  struct Case {
    int fixed;
    double work, expected, slept;  // ms
  };
  for (Case c : {Case{1, 5.0, 20.0, 14.0}, Case{0, 5.0, 20.0, 15.0}, Case{0, 25.0, 25.0, 0.0},
                 Case{1, 25.0, 25.0, 0.0}}) {
    SCOPED_TRACE(testing::Message() << "fixed " << c.fixed << " work " << c.work);
    tmSetRate(50, c.fixed);
    tmBeginFrame();
    tmMarkFrame();
    const double start = tmTime;
    advanceMs(c.work);
    gSleeps = Sleeps{};
    const long reads = gFake.reads;
    tmEndFrame();
    tmBeginFrame();
    const double lasted = tmTime - start;
    EXPECT_GE(lasted, c.expected);
    EXPECT_LT(lasted, c.expected + 0.05);
    EXPECT_NEAR(gSleeps.ms, c.slept, 0.05);
    // A spun wait of a millisecond takes about a hundred reads here.
    EXPECT_LT(gFake.reads - reads, 200);
  }
}

TEST_F(TimeTest, FixedModeFpsTextEveryThirdOfASecond) {
  restart(1'000'000, 10);
  tmSetRate(60, 1);
  // 3 ms of work per frame (plus one 10 us read) -> 20 frames in 60.2 ms of work.
  for (int frame = 1; frame <= 20; ++frame) {
    tmBeginFrame();
    tmMarkFrame();
    advanceMs(3);
    tmEndFrame();
    if (frame == 19) {
      EXPECT_STREQ(tmStatusText(0), "") << "text due every (int)(60/3) frames";
    }
  }
  EXPECT_STREQ(tmStatusText(0), "fps:60 max:332");
}

TEST_F(TimeTest, FixedModeBusyTimeOfZeroCountsAsOneMillisecond) {
  restart(1'000'000, 1000);
  tmSetRate(3, 1);  // a text every frame
  gFake.hold = 2;   // the frame's opening and closing readings coincide
  tmBeginFrame();
  tmMarkFrame();
  tmEndFrame();
  EXPECT_STREQ(tmStatusText(0), "fps:3 max:1000");
}

TEST_F(TimeTest, FixedModeWithoutRateDoesNotWait) {
  restart(1000, 0);  // a clock that never moves would hang any wait
  tmSetRate(0, 1);
  tmBeginFrame();
  tmMarkFrame();
  tmEndFrame();
  EXPECT_EQ(tmFrameStep, 1.0);
  EXPECT_EQ(tmFrameDelta, 0.0);
}

TEST_F(TimeTest, MillisecondClockFallbackAndVariableFpsText) {
  StderrCapture cap;
  gFake.ms = 0xFFFFFF00u;  // close to wrapping around
  restart(0, 0);
  EXPECT_EQ(cap.finish(), "tmInit(): performance counter not available\n");
  tmSetRate(60, 0);
  // 111 ms frames: 333 ms accumulated is not yet past the threshold.
  for (int frame = 1; frame <= 3; ++frame) {
    beginAfter(111);
    tmEndFrame();
  }
  EXPECT_EQ(tmTime, 333.0) << "the clock wrapped around and must still count up";
  EXPECT_STREQ(tmStatusText(0), "");
  beginAfter(111);
  tmEndFrame();
  EXPECT_STREQ(tmStatusText(0), "fps:9 min:60");
  EXPECT_EQ(tmFrameDelta, 1000.0 / 60);
}

TEST_F(TimeTest, PauseStopsGameTime) {
  tmSetRate(60, 0);
  beginAfter(10);
  tmPause();
  EXPECT_EQ(tmIsPaused(), 1);
  for (int i = 0; i < 3; ++i) {
    beginAfter(500);
    tmEndFrame();
    EXPECT_NEAR(tmTime, 10, kEps);
    EXPECT_NEAR(tmFrameDelta, 0, kEps);
  }
  tmResume();
  EXPECT_EQ(tmIsPaused(), 0);
  beginAfter(7);
  EXPECT_NEAR(tmTime, 17, kEps);
  EXPECT_NEAR(tmFrameDelta, 7, kEps);
}

TEST_F(TimeTest, SelfLoopRunsNormallyInsideAndRestoresTimeAfter) {
  tmSetRate(60, 0);
  beginAfter(10);
  const double saved = tmTime;
  tmBeginSelfLoop();
  beginAfter(100);
  EXPECT_NEAR(tmTime, saved + 100, kEps);
  beginAfter(5);
  EXPECT_NEAR(tmFrameDelta, 5, kEps);
  advanceMs(1000);
  tmEndSelfLoop();
  EXPECT_EQ(tmTime, saved);
  beginAfter(5);
  EXPECT_NEAR(tmTime, saved + 5, kEps);
  EXPECT_NEAR(tmFrameDelta, 5, kEps);
}

TEST_F(TimeTest, FixedRateNestedLoopLeavesNoGapInGameTime) {
  // The way a subgame runs: own fixed rate inside a self loop, then back.
  restart(1'000'000, 1);
  tmSetRate(60, 0);
  beginAfter(10);
  const double saved = tmTime;
  tmSetRate(60, 1);
  tmBeginSelfLoop();
  for (int i = 0; i < 10; ++i) {
    tmBeginFrame();
    tmMarkFrame();
    advanceMs(4);
    tmEndFrame();  // waits out the rest of each 16.7 ms frame
  }
  tmEndSelfLoop();
  tmSetRate(60, 0);
  beginAfter(4);
  EXPECT_GE(tmTime - saved, 4.0);
  EXPECT_LT(tmTime - saved, 4.01);
  EXPECT_NEAR(tmFrameDelta, tmTime - saved, kEps);
}

TEST_F(TimeTest, MisnestedSelfLoopsAreReportedAndIgnored) {
  tmSetRate(60, 0);
  beginAfter(10);
  const double first = tmTime;
  tmBeginSelfLoop();
  beginAfter(50);
  {
    StderrCapture cap;
    tmBeginSelfLoop();
    EXPECT_EQ(cap.finish(), "tmBeginSelfLoop(): self loops can't be nested, SE\n");
  }
  beginAfter(50);
  tmEndSelfLoop();
  EXPECT_EQ(tmTime, first);

  StderrCapture cap;
  tmEndSelfLoop();
  EXPECT_EQ(cap.finish(), "tmEndSelfLoop(): not in self loop mode, SE\n");
  EXPECT_EQ(tmTime, first);
}

TEST_F(TimeTest, PlaybackTakesGameTimeFromTheRecording) {
  tmSetRecordBridge(&kBridge);
  gRec.playing = true;
  gRec.recording = true;  // playback wins: nothing is written back
  gRec.channel = {100, 0, 108, 0};
  gRec.hasValue = {true, false, true, false};
  tmSetRate(60, 0);

  struct Expect {
    double time, delta;
  };
  const Expect ticks[] = {{100, 1000.0 / 60}, {100, 0}, {108, 8}, {108, 0}};
  for (const Expect& e : ticks) {
    beginAfter(50);  // the clock is not consulted
    EXPECT_EQ(tmTime, e.time);
    EXPECT_NEAR(tmFrameDelta, e.delta, kEps);
  }
  EXPECT_EQ(tmFrameStep, 0.0);
  EXPECT_TRUE(gRec.written.empty());
}

TEST_F(TimeTest, RecordingWritesEachFramesGameTime) {
  tmSetRecordBridge(&kBridge);
  tmSetRate(60, 0);
  beginAfter(10);  // not recording yet
  gRec.recording = true;
  beginAfter(10);
  beginAfter(25);
  gRec.recording = false;
  beginAfter(5);
  ASSERT_EQ(gRec.written.size(), 2u);
  EXPECT_NEAR(gRec.written[0], 20, kEps);
  EXPECT_NEAR(gRec.written[1], 45, kEps);

  // No bridge: the clock drives game time and nothing records.
  tmSetRecordBridge(nullptr);
  gRec.playing = true;
  gRec.recording = true;
  beginAfter(5);
  EXPECT_NEAR(tmTime, 55, kEps);
  EXPECT_EQ(gRec.written.size(), 2u);
}

TEST_F(TimeTest, StatusTextSlots) {
  for (int slot : {0, 16}) EXPECT_STREQ(tmStatusText(slot), "");
  for (int slot : {-1, 17}) EXPECT_NE(tmStatusText(slot), nullptr);
}

}  // namespace

namespace {

// Turbo frames advance game time by exactly one nominal frame whatever the
// real clock does, in variable and fixed mode, and never wait.
TEST(TimeTurbo, EveryFrameIsOneNominalFrame) {
  for (int fixed : {0, 1}) {
    tmInit();
    tmSetTime(0);
    tmSetRate(50, fixed);
    tmSetTurbo(1);
    double start = tmTime;
    for (int i = 1; i <= 10; i++) {
      tmBeginFrame();
      tmMarkFrame();
      EXPECT_EQ(tmFrameDelta, 20.0);
      EXPECT_EQ(tmFrameStep, 1.0);
      tmEndFrame();
    }
    EXPECT_EQ(tmTime - start, 200.0) << "fixed " << fixed;
    // A self loop inside turbo still gives back the time it began with.
    double before = tmTime;
    tmBeginSelfLoop();
    for (int i = 0; i < 5; i++) {
      tmBeginFrame();
      tmEndFrame();
    }
    tmEndSelfLoop();
    EXPECT_EQ(tmTime, before);
    tmSetTurbo(0);
    EXPECT_EQ(tmIsTurbo(), 0);
  }
}

}  // namespace
