// Lamp programs: the checks and their messages, the executor's timing
// (Delay carry-over, marks, SetState, Loop, after-loop states), the signals
// and the blink generator, and the standard programs built over a lamp
// sprite. Every run is driven with explicit frame deltas and game times.
#include "anim/lights.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "anim/lamp_fixture.h"

namespace lamptest {
namespace {

// A frame change of one object: at game time t the object showed `frame`.
struct Change {
  int t;
  int frame;
  bool operator==(const Change&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Change& c) { return os << "(" << c.t << "," << c.frame << ")"; }

class LightsTest : public LampTest {
 protected:
  // A lamp with the standard programs over a file sprite of n frames.
  VBOBJ* standardLamp(int light, int n, int flags = 0, ConfSet* conf = nullptr) {
    std::string file = "lamp" + std::to_string(n) + ".gsp";
    if (!pathExists("data/" + file)) writeSprite("data/" + file, n);
    EXPECT_EQ(createLight(light, file.c_str(), "lamp", flags, conf), 1);
    return lightObject(light);
  }

  // Runs 10 ms frames until the game time reaches `until`, noting every
  // change of the objects' frames.
  void record(const std::vector<VBOBJ*>& objs, std::vector<std::vector<Change>>* seen, int until) {
    seen->resize(objs.size());
    while (tmTime < until) {
      std::vector<int> before;
      for (VBOBJ* o : objs) before.push_back(o->frame);
      const int t = static_cast<int>(tmTime);
      frame();
      for (size_t i = 0; i < objs.size(); ++i)
        if (objs[i]->frame != before[i]) (*seen)[i].push_back(Change{t, objs[i]->frame});
    }
  }
};

// ---------------------------------------------------------------------------
// Checks and names
// ---------------------------------------------------------------------------

TEST_F(LightsTest, BadIdsAndStatesAreRefusedWithTheirMessages) {
  struct Case {
    const char* what;
    std::function<int()> call;
    int result;
    const char* line;  // the whole log line, or "" for a silent refusal
  };
  const Case cases[] = {
      {"set 256", [] { return lightSet(256, 1); }, 0, "lightSet(): invalid light 256, not in [0..255]"},
      {"set -1", [] { return lightSet(-1, 1); }, 0, "lightSet(): invalid light -1, not in [0..255]"},
      {"set state 16", [] { return lightSet(3, 16); }, 0, "lightSet(): invalid state 16, not in [0..15])"},
      {"set state -1", [] { return lightSet(3, -1); }, 0, "lightSet(): invalid state -1, not in [0..15])"},
      {"set if changed 256", [] { return lightSetIfChanged(256, 0); }, 0,
       "lightSet(): invalid light 256, not in [0..255]"},
      {"clear 256", [] { return lightClear(256); }, 0, "lightClear(): invalid light 256, not in [0..255]"},
      {"default mark", [] { return lightDefaultMark(1, 16, 0); }, 0,
       "lightDefaultMark(): invalid state 16, not in [0..15])"},
      {"after loop", [] { return lightSetAfterLoop(300, 1); }, 0,
       "lightSetAfterLoop(): invalid light 300, not in [0..255]"},
      {"get mark", [] { return lightGetMark(256); }, -1, "lightGetMark(): invalid light 256, not in [0..255]"},
      {"get state", [] { return lightGetState(256); }, -1, ""},
      {"current state", [] { return lightCurrentState(-1); }, -1, ""},
      {"append delay", [] { return lightAppendDelay(3, 16, 10), 0; }, 0,
       "lightAppendDelay(): invalid state 16, not in [0..15])"},
      {"append frame", [] { return lightAppendSetFrame(256, 1, nullptr, 0), 0; }, 0,
       "lightAppendSetFrame(): invalid light 256, not in [0..255]"},
      {"append mark", [] { return lightAppendMark(3, 1, -2), 0; }, 0,
       "lightAppendMark(): light 3/<NOSID> state 1 invalid mark -2"},
      {"append signal", [] { return lightAppendWaitSignal(3, 1, -1), 0; }, 0,
       "lightAppendWaitSignal(): light 3/<NOSID> state 1 invalid signal -1"},
      {"signal over", [] { return lightAppendWaitSignal(3, 16, 1), 0; }, 0,
       "lightAppendWaitSignal(): invalid state 16, not in [0..15])"},
  };
  for (const Case& c : cases) {
    StderrCapture err;
    EXPECT_EQ(c.call(), c.result) << c.what;
    EXPECT_EQ(err.finish(), c.line[0] ? std::string(c.line) + "\n" : std::string()) << c.what;
  }
  // None of the refused appends left a step behind.
  EXPECT_EQ(lightSet(3, 1), 1);
  StderrCapture err;
  frame();
  EXPECT_EQ(err.finish(), "execState(): light 3/<NOSID> state 1 empty\n");
}

TEST_F(LightsTest, NamesComeFromTheInstalledNameFunction) {
  struct Case {
    int id;
    const char* name;
  };
  const Case names[] = {
      {0, "LI_SAVER0_ARROW"},      {23, "LI_T10ARROW"},       {74, "LI_T1ARROW_COMM"},
      {86, "LI_T1ARROW_DEMO"},     {94, "LI_CHARISMA0"},      {113, "LI_POWER9"},
      {124, "LI_REKLAMA0"},        {131, "LI_DUMA_BUMPER0"},  {134, "LI_KREM_BUMPER0"},
      {152, "LI_ZONA_L15"},        {153, "LI_CRANE_SPRING"},  {155, "LI_CRANE_T22"},
      {156, "<dynamic>"},          {255, "<dynamic>"},        {256, "<invalid>"},
      {-1, "<invalid>"},
  };
  for (const Case& c : names) EXPECT_STREQ(lightName(c.id), c.name) << c.id;

  // An empty state is reported on every frame until the lamp is changed,
  // under the name the current name function gives.
  ASSERT_EQ(lightSet(LI_KREMGATE3, 4), 1);
  StderrCapture err;
  frame();
  frame();
  lightSetNameFunc(lightName);
  frame();
  lightSetNameFunc(nullptr);
  frame();
  EXPECT_EQ(err.finish(),
            "execState(): light 5/<NOSID> state 4 empty\n"
            "execState(): light 5/<NOSID> state 4 empty\n"
            "execState(): light 5/LI_KREMGATE3 state 4 empty\n"
            "execState(): light 5/<NOSID> state 4 empty\n");
}

// ---------------------------------------------------------------------------
// The executor
// ---------------------------------------------------------------------------

TEST_F(LightsTest, DelayCarriesTheOvershootIntoTheNextDelay) {
  // SetFrame 0, Delay 100, SetFrame 1, Delay 100, SetFrame 2, run with
  // frames of dt ms. With the elapsed time zeroed instead of reduced, 33 ms
  // frames would reach frame 2 one frame later.
  struct Case {
    double dt;
    std::vector<int> frames;
  };
  const Case cases[] = {
      {33, {0, 0, 0, 0, 1, 1, 1, 2}},     // 0, 33, 66, 99, 132: 32 ms carried
      {25, {0, 0, 0, 0, 1, 1, 1, 1, 2}},  // exactly 100: goes on, nothing carried
      {50, {0, 0, 1, 1, 2}},
      {150, {0, 1, 2}},  // a long frame: 50 ms carried into the second Delay
  };
  for (const Case& c : cases) {
    lightInit();
    VBOBJ* obj = newObject(3);
    lightAppendSetFrame(7, 1, obj, 0);
    lightAppendDelay(7, 1, 100);
    lightAppendSetFrame(7, 1, obj, 1);
    lightAppendDelay(7, 1, 100);
    lightAppendSetFrame(7, 1, obj, 2);
    ASSERT_EQ(lightSet(7, 1), 1);
    EXPECT_EQ(frames(obj, static_cast<int>(c.frames.size()), c.dt), c.frames) << "dt " << c.dt;
  }
}

TEST_F(LightsTest, LightSetEntersAtTheDefaultMark) {
  // SetFrame 0, Delay, Mark 3, SetFrame 1, Delay, Mark 7, SetFrame 2.
  VBOBJ* obj = newObject(3);
  lightAppendSetFrame(40, 6, obj, 0);
  lightAppendDelay(40, 6, 1000);
  lightAppendMark(40, 6, 3);
  lightAppendSetFrame(40, 6, obj, 1);
  lightAppendDelay(40, 6, 1000);
  lightAppendMark(40, 6, 7);
  lightAppendSetFrame(40, 6, obj, 2);
  struct Case {
    int defaultMark;
    int frame, mark;
  };
  const Case cases[] = {{-1, 0, -1}, {3, 1, 3}, {7, 2, 7}, {5, 0, -1}};
  for (const Case& c : cases) {
    ASSERT_EQ(lightDefaultMark(40, 6, c.defaultMark), 1);
    ASSERT_EQ(lightSet(40, 6), 1);
    EXPECT_EQ(lightGetMark(40), -1) << "lightSet forgets the last mark";
    frame();
    EXPECT_EQ(obj->frame, c.frame) << "default mark " << c.defaultMark;
    EXPECT_EQ(lightGetMark(40), c.mark) << "default mark " << c.defaultMark;
  }
}

TEST_F(LightsTest, SetStateSwitchesAndTheNewStateRunsFromTheNextFrame) {
  VBOBJ* obj = newObject(4);
  lightAppendSetFrame(50, 4, obj, 1);
  lightAppendSetState(50, 4, 5);
  lightAppendSetFrame(50, 4, obj, 3);  // never reached
  lightAppendDelay(50, 5, 10);
  lightAppendSetFrame(50, 5, obj, 2);
  ASSERT_EQ(lightSet(50, 4), 1);
  frame();
  EXPECT_EQ(obj->frame, 1);
  EXPECT_EQ(lightCurrentState(50), 5);
  // The switching frame's time counts for the new state: its Delay 10 is
  // over at its first run.
  frame();
  EXPECT_EQ(obj->frame, 2);
}

TEST_F(LightsTest, FreeRunningBlinkLoops) {
  VBOBJ* obj = newObject(4);
  lightAppendBlink(60, 2, obj, 3, 20);
  ASSERT_EQ(lightSet(60, 2), 1);
  // The Loop step restarts the time, so each half takes its delay plus the
  // frame in which the program loops.
  EXPECT_EQ(frames(obj, 10), (std::vector<int>{-1, -1, 3, 3, 3, -1, 3, 3, 3, -1}));
}

// ---------------------------------------------------------------------------
// Signals and the blink generator
// ---------------------------------------------------------------------------

TEST_F(LightsTest, EleventhSignalIsRefusedAndTheFirstTenAct) {
  std::vector<VBOBJ*> objs;
  for (int k = 0; k <= 10; ++k) {
    objs.push_back(newObject(1));
    lightAppendWaitSignal(100 + k, 5, k);
    lightAppendSetFrame(100 + k, 5, objs.back(), 0);
    ASSERT_EQ(lightSet(100 + k, 5), 1);
  }
  for (int k = 0; k < 10; ++k) EXPECT_EQ(lightSignal(k), 0);
  {
    StderrCapture err;
    EXPECT_EQ(lightSignal(10), -1);
    EXPECT_EQ(err.finish(), "lightSignal(): no free signal descriptors found, all 10 occupied, possible SE\n");
  }
  lightUpdate(10);
  for (int k = 0; k < 10; ++k) EXPECT_EQ(objs[static_cast<size_t>(k)]->frame, 0) << "signal " << k;
  EXPECT_EQ(objs[10]->frame, -1);

  // The frame's signals are gone after its update: the slots are free again,
  // and a lamp waiting for a signal of the last frame keeps waiting.
  lightSet(103, 5);
  objs[3]->frame = -1;
  EXPECT_EQ(lightSignal(10), 0);
  lightUpdate(10);
  EXPECT_EQ(objs[10]->frame, 0);
  EXPECT_EQ(objs[3]->frame, -1);
}

TEST_F(LightsTest, BlinkGeneratorKeepsItsConfiguredRhythm) {
  TestConf conf(
      "[synlight]\ntick = 30\nblink_goup = 60\nblink_godown = 40\n"
      "slowblink_goup = 200\nslowblink_godown = 150\n");
  synlightSetup(&conf.set);
  VBOBJ* fast = standardLamp(20, 4);
  VBOBJ* slow = standardLamp(21, 4);
  lightSet(20, LIGHT_BLINK);
  lightSet(21, LIGHT_SLOW_BLINK);
  std::vector<std::vector<Change>> seen;
  record({fast, slow}, &seen, 530);
  // Fast: signal 0 a rise after the start, 1 a tick later, 2 a fall later, 3 a
  // tick later; each wait ends on the first frame strictly beyond it.
  EXPECT_EQ(seen[0], (std::vector<Change>{{70, 0}, {110, 1}, {160, 0}, {200, -1}, {270, 0}, {310, 1},
                                          {360, 0}, {400, -1}, {470, 0}, {510, 1}}));
  // Slow: its first wait is the fast rise as well, then tick, slow fall, tick,
  // slow rise.
  EXPECT_EQ(seen[1], (std::vector<Change>{{70, 0}, {110, 1}, {270, 0}, {310, -1}, {520, 0}}));
}

TEST_F(LightsTest, LampsSetAtDifferentTimesBlinkInPhase) {
  VBOBJ* a = standardLamp(30, 4);
  VBOBJ* b = standardLamp(31, 4);
  lightSet(30, LIGHT_BLINK);
  std::vector<std::vector<Change>> first, second;
  record({a, b}, &first, 150);
  // Set again in the middle of its cycle, A waits for the next signal 0 and
  // skips the fall at 250.
  lightSet(30, LIGHT_BLINK);
  record({a, b}, &second, 260);
  lightSet(31, LIGHT_BLINK);
  std::vector<std::vector<Change>> third;
  record({a, b}, &third, 390);
  for (int t = 390; t < 800; t += 10) {
    frame();
    ASSERT_EQ(a->frame, b->frame) << "at " << t;
  }
  EXPECT_EQ(first[0], (std::vector<Change>{{110, 0}, {140, 1}}));
  EXPECT_TRUE(second[0].empty());
  EXPECT_TRUE(third[0].empty() && third[1].empty());
  std::vector<std::vector<Change>> later;
  record({a, b}, &later, 1000);
  EXPECT_EQ(later[0], (std::vector<Change>{{810, 0}, {840, -1}, {950, 0}, {980, 1}}));
  EXPECT_EQ(later[1], later[0]);
}

TEST_F(LightsTest, SlowFramesAdvanceOnePhasePerFrame) {
  VBOBJ* fast = standardLamp(20, 4);
  VBOBJ* slow = standardLamp(21, 4);
  lightSet(20, LIGHT_BLINK);
  lightSet(21, LIGHT_SLOW_BLINK);
  frame();  // the first call only notes the time
  tmTime = 5000;
  frame();
  EXPECT_EQ(fast->frame, 0) << "only signal 0, however long the gap";
  EXPECT_EQ(slow->frame, 0) << "only signal 4";
  tmTime = 5015;
  frame();
  EXPECT_EQ(fast->frame, 0) << "a tick (20 ms) has not passed";
  tmTime = 5030;
  frame();
  EXPECT_EQ(fast->frame, 1);
  EXPECT_EQ(slow->frame, 1);
}

// ---------------------------------------------------------------------------
// Standard programs
// ---------------------------------------------------------------------------

TEST_F(LightsTest, OnFadesInAndStaysAndOffGoesDarkAtOnce) {
  TestConf conf("[lamp]\non_delay = 30\n");
  VBOBJ* obj = standardLamp(12, 4, 0, &conf.set);
  ASSERT_NE(obj, nullptr);
  EXPECT_EQ(lightCurrentState(12), LIGHT_OFF) << "a new lamp starts off";
  ASSERT_EQ(lightSet(12, LIGHT_ON), 1);
  EXPECT_EQ(frames(obj, 12), (std::vector<int>{0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3}));
  EXPECT_EQ(lightGetMark(12), 0) << "the last frame's delay is still running";
  EXPECT_EQ(frames(obj, 5), (std::vector<int>{3, 3, 3, 3, 3}));
  EXPECT_EQ(lightGetMark(12), 1);

  ASSERT_EQ(lightSet(12, LIGHT_OFF), 1);
  frame();
  EXPECT_EQ(obj->frame, -1);
  EXPECT_EQ(lightGetMark(12), 0);
}

TEST_F(LightsTest, SetIfChangedLeavesARunningProgramAlone) {
  TestConf conf("[lamp]\non_delay = 30\n");
  VBOBJ* obj = standardLamp(12, 4, 0, &conf.set);
  lightSet(12, LIGHT_ON);
  EXPECT_EQ(frames(obj, 4), (std::vector<int>{0, 0, 0, 1}));
  EXPECT_EQ(lightSetIfChanged(12, LIGHT_ON), 1);
  EXPECT_EQ(frames(obj, 3), (std::vector<int>{1, 1, 2}));
  EXPECT_EQ(lightSet(12, LIGHT_ON), 1);
  EXPECT_EQ(frames(obj, 4), (std::vector<int>{0, 0, 0, 1}));
}

TEST_F(LightsTest, AfterLoopOffLetsABlinkFinishItsCycleThenFadesOut) {
  TestConf conf("[lamp]\non_delay = 30\n");
  VBOBJ* obj = standardLamp(12, 4, 0, &conf.set);
  lightSet(12, LIGHT_BLINK);
  std::vector<std::vector<Change>> seen, rest;
  record({obj}, &seen, 200);
  ASSERT_EQ(lightSetAfterLoop(12, LIGHT_OFF), 1);
  EXPECT_EQ(lightGetState(12), LIGHT_OFF) << "about to be off";
  EXPECT_EQ(lightCurrentState(12), LIGHT_BLINK);
  record({obj}, &rest, 700);
  // Signals 2 and 3 finish the cycle; the Loop enters the off state from its
  // start, which fades out from frame N-2 in steps of 30 ms.
  EXPECT_EQ(seen[0], (std::vector<Change>{{110, 0}, {140, 1}}));
  EXPECT_EQ(rest[0], (std::vector<Change>{{250, 0}, {280, -1}, {290, 2}, {310, 1}, {340, 0}, {370, -1}}));
  EXPECT_EQ(lightCurrentState(12), LIGHT_OFF);
  EXPECT_EQ(lightGetState(12), LIGHT_OFF);
}

TEST_F(LightsTest, AfterLoopOnReplaysTheFadeInOnce) {
  TestConf conf("[lamp]\non_delay = 30\n");
  VBOBJ* obj = standardLamp(12, 4, 0, &conf.set);
  lightSet(12, LIGHT_ON);
  frames(obj, 13);
  ASSERT_EQ(obj->frame, 3);
  ASSERT_EQ(lightSetAfterLoop(12, LIGHT_ON), 1);
  // The run that finds the program ended enters the state again; its time
  // counts, so the first fade step is one frame shorter than after lightSet.
  EXPECT_EQ(frames(obj, 16), (std::vector<int>{3, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3}));
  EXPECT_EQ(lightGetState(12), LIGHT_ON);
  EXPECT_EQ(frames(obj, 5), (std::vector<int>{3, 3, 3, 3, 3})) << "once only";
}

TEST_F(LightsTest, FlashGoesUpAndDownOnceOnlyWithItsFlag) {
  TestConf conf("[lamp]\nflash_delay = 20\n");
  VBOBJ* obj = standardLamp(13, 4, LIGHT_FLAG_FLASH, &conf.set);
  ASSERT_EQ(lightSet(13, LIGHT_FLASH), 1);
  ASSERT_EQ(lightSetAfterLoop(13, LIGHT_ON), 1);
  // Up 0..3 and down 2..-1 in steps of 20 ms; then the pending state 1
  // fades in (its first delay is the default 50 ms).
  EXPECT_EQ(frames(obj, 18), (std::vector<int>{0, 0, 1, 1, 2, 2, 3, 3, 2, 2, 1, 1, 0, 0, -1, -1, -1, 0}));
  EXPECT_EQ(lightCurrentState(13), LIGHT_ON);

  standardLamp(14, 4, 0, &conf.set);
  lightSet(14, LIGHT_FLASH);
  StderrCapture err;
  frame();
  EXPECT_TRUE(contains(err.finish(), "execState(): light 14/<NOSID> state 13 empty\n"));
}

TEST_F(LightsTest, FadeDelayComesFromTheLampThenTheGameWideKey) {
  struct Case {
    const char* conf;
    int delay;
  };
  const Case cases[] = {
      {"", 50},
      {"on_delay = 20\n", 20},
      {"on_delay = 20\n[lamp]\non_delay = 40\n", 40},
      {"[lamp]\non_delay = 40.0\n", 50},  // not an integer: the default applies
  };
  for (const Case& c : cases) {
    lightInit();
    TestConf conf(c.conf);
    VBOBJ* obj = standardLamp(12, 2, 0, &conf.set);
    lightSet(12, LIGHT_ON);
    int runs = 0;
    while (obj->frame != 1 && runs < 100) {
      frame();
      ++runs;
    }
    EXPECT_EQ(runs, 1 + c.delay / 10) << c.conf;
  }
}

TEST_F(LightsTest, CreateFlagsChooseSmartAndAdditiveDrawing) {
  struct Case {
    int flags;
    int smart, add;
  };
  const Case cases[] = {{0, 1, 0}, {LIGHT_FLAG_NOT_SMART, 0, 0}, {LIGHT_FLAG_ADDITIVE, 0, 1}, {LIGHT_FLAG_FLASH, 1, 0}};
  int light = 0;
  for (const Case& c : cases) {
    VBOBJ* obj = standardLamp(light, 3, c.flags);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->smart, c.smart) << c.flags;
    EXPECT_EQ(obj->addFlag, c.add) << c.flags;
    EXPECT_EQ(obj->frame, -1) << c.flags;
    ++light;
  }
}

TEST_F(LightsTest, CreateReportsAMissingSprite) {
  writeRdaSprite("lights/x.gsp", 2);
  ASSERT_EQ(rdaLoadSprites("lights/"), 1);
  rdaSetRegime(1);
  lightSetNameFunc(lightName);
  StderrCapture err;
  EXPECT_EQ(createLight(LI_TAX2, "nothere.gsp", "tax", 1, nullptr), 0);
  EXPECT_EQ(createLightRDA(LI_VIDEO, "lights/y.gsp", "video", 0, nullptr), 0);
  EXPECT_EQ(createLightRDA(300, "lights/x.gsp", "video", 0, nullptr), 0);
  const std::string log = err.finish();
  EXPECT_TRUE(contains(log, "createLight(): error loading 41/LI_TAX2 sprite 'data/nothere.gsp'\n")) << log;
  EXPECT_TRUE(contains(log, "createLightRDA(): 34/LI_VIDEO sprite 'lights/y.gsp' not found in RDA\n")) << log;
  EXPECT_TRUE(contains(log, "createLightRDA(): invalid light 300, not in [0..255]\n")) << log;
  EXPECT_EQ(lightCurrentState(LI_TAX2), -1) << "a lamp without sprite keeps no program";

  // The regime's own version is used.
  ASSERT_EQ(createLightRDA(LI_VIDEO, "lights/x.gsp", "video", 0, nullptr), 1);
  EXPECT_STREQ(lightObject(LI_VIDEO)->sprite->name, "data-demo/lights/x.gsp");
}

TEST_F(LightsTest, LampFramesReachTheScreen) {
  TestConf conf("[lamp]\non_delay = 10\n");
  VBOBJ* obj = standardLamp(12, 3, 0, &conf.set);
  vbSetXY(obj, 5, 6);
  ASSERT_EQ(vbRestore(1), 1);  // the screen starts as the background
  EXPECT_EQ(pixelAfterCycle(5, 6), kBackground);
  lightSet(12, LIGHT_ON);
  for (int i = 0; i < 8; ++i) pixelAfterCycle(5, 6);
  EXPECT_EQ(pixelAfterCycle(6, 7), frameColour(2)) << "the lit lamp shows its last frame";
  EXPECT_EQ(pixelAfterCycle(7, 7), kBackground);
  lightSet(12, LIGHT_OFF);
  for (int i = 0; i < 3; ++i) pixelAfterCycle(5, 6);
  EXPECT_EQ(pixelAfterCycle(6, 7), kBackground) << "the dark lamp shows nothing";
}

}  // namespace
}  // namespace lamptest
