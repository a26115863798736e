// The animation scripts: what the reader makes of each command and which
// messages it gives (with line numbers), where a setting comes from, how
// the tracks move over gnmUpdate (play, loop, stop, sleeps, marks), list
// files, shared sprites, a script whose sprite is missing, and the feature
// scripts' set-up and state switching.
#include <gtest/gtest.h>

#include <filesystem>

#include <string>
#include <utility>
#include <vector>

#include "anim/gnm.h"
#include "anim/lamp_fixture.h"
#include "core/log.h"
#include "gfx/vboard.h"
#include "support/memscreen.h"
#include "support/testutil.h"

namespace {

using lamptest::contains;
using lamptest::writeSprite;

class GnmTest : public ::testing::Test, public MemScreen {
 protected:
  void SetUp() override {
    logReset();
    ASSERT_TRUE(openScreen(32, 24));
    gnmInit();
    writeSprite("spr.gsp", 8);
    writeSprite("d/spr.gsp", 8);
  }
  void TearDown() override {
    gnmFree();
    closeScreen();
    logReset();
  }

  // Writes a script and loads it into slot id; the reader's stderr lines go
  // to *messages.
  int load(int id, const std::string& text, std::string* messages = nullptr) {
    const std::string path = "s" + std::to_string(id) + ".gnm";
    writeFile(path, text);
    StderrCapture err;
    const int ok = gnmLoad(id, path.c_str(), 3);
    const std::string out = err.finish();
    if (messages) *messages = out;
    return ok;
  }

  GnmTrack* track(int id, const char* name) {
    const int slot = gnmFindTrack(id, name);
    EXPECT_GE(slot, 0) << name;
    return gnmTrack(slot);
  }

  // The events of a track as text: "play(1,2) sleep(100) loop".
  static std::string events(const GnmTrack* t) {
    static const char* const names[GNM_EV_KINDS] = {
        "play", "set", "list", "sleep", "fsleep", "noframe", "loop", "stop", "mark",
        "waitmark", "runmark", "nolist", "control", "nocontrol", "sndstart", "sndloop", "sndstop", "sndplay"};
    std::string s;
    for (int i = 0; i < t->eventCount; ++i) {
      const GnmEvent& e = t->events[i];
      if (!s.empty()) s += " ";
      s += names[e.kind];
      if (e.kind == GNM_EV_PLAY) s += "(" + std::to_string(e.start) + "," + std::to_string(e.end) + ")";
      if (e.kind == GNM_EV_SLEEP || e.kind == GNM_EV_FSLEEP) s += "(" + std::to_string(e.value) + ")";
      if (e.name[0]) s += "(" + std::string(e.name) + ")";
    }
    return s;
  }

  TempDir dir;
  ScopedChdir cd{dir.path};
};

TEST_F(GnmTest, CommandsBecomeTheirEvents) {
  const struct {
    const char* text;
    const char* events;
    const char* warning;  // "" for none
  } cases[] = {
      {"track t: play spr,1,2; sleep 100; fsleep 3; noframe; loop\n", "play(1,2) sleep(100) fsleep(3) noframe loop", ""},
      {"track t: play spr; sleep 0; fsleep 0; stop\n", "play(0,7) stop", ""},
      {"track t: play spr,-4,-1\n", "play(0,7)", ""},
      {"track t: play spr,0x3,05\n", "play(3,5)", ""},
      {"track t: play spr,9,8; stop\n", "play(7,7) stop", "invalid start frame 9, fixed to 7"},
      {"track t: play spr,2,8; stop\n", "play(2,7) stop", "invalid end frame 8, fixed to 7"},
      {"track t: mark go_1; waitmark go_1; runmark go_1; stop\n", "mark(go_1) waitmark(go_1) runmark(go_1) stop", ""},
      {"track t: set delay=5, sndvol=50; nolist; nocontrol; sndstop; stop\n", "set nolist nocontrol sndstop stop", ""},
      {"track t: loop 3; stop\n", "loop stop", "no arguments expected"},
      {"TRACK t: PLAY spr,1,1; \\\n   Stop   # comment\n", "play(1,1) stop", ""},
      {"# only a comment\n\ncustom a=1, b=2\ntrack t: stop;;\n", "stop", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    gnmInit();
    std::string messages;
    ASSERT_EQ(load(0, c.text, &messages), 1) << messages;
    EXPECT_EQ(events(track(0, "t")), c.events);
    if (c.warning[0]) {
      EXPECT_TRUE(contains(messages, ">> [line 1]")) << messages;
      EXPECT_TRUE(contains(messages, std::string("Warning: ") + "'")) << messages;
      EXPECT_TRUE(contains(messages, c.warning)) << messages;
    } else {
      EXPECT_EQ(messages, "");
    }
  }
}

TEST_F(GnmTest, ErrorsNameTheirLineAndLeaveTheScriptInvalid) {
  writeFile("bad.lst", "x y\n1 2 3\n");
  const std::string longLine = "track t: " + std::string(9000, ' ') + "stop\n";
  const struct {
    const char* text;
    int line;
    const char* message;
  } cases[] = {
      {"\n\ntrack t: noframe; loop\n", 0, "track 0 (ends at line 3) could be dead looped"},
      {"track t: play spr; \\\n noframe; \\\n loop\ntrack u: nolist; loop\n", 0,
       "track 1 (ends at line 4) could be dead looped"},
      {"track t play spr\n", 1, "track name, ':' and commands expected"},
      {"# c\nset delay=fast\n", 2, "Error: 'set': integer value expected after 'delay'"},
      {"set colour=1\n", 1, "unknown key 'colour'"},
      {"set dir=\n", 1, "'set': illegal assignment, not 'key=val'"},
      {"track;\n", 1, "parameters expected after command name"},
      {"draw t: stop\n", 1, "unknown command 'draw'"},
      {"track t: stop\ntrack u: jump 3\n", 2, "unknown track command 'jump'"},
      {"track t: mark a-b; stop\n", 1, "invalid characters in mark 'a-b'"},
      {"track t: waitmark a, b; stop\n", 1, "too many arguments"},
      {"track t: runmark; stop\n", 1, "mark name expected"},
      {"track t: sleep x; stop\n", 1, "integer value expected"},
      {"track t: fsleep; stop\n", 1, "value expected"},
      {"track t: control; stop\n", 1, "control name expected"},
      {"track t: sndplay; stop\n", 1, "sample filename expected"},
      {"track t: play spr,one\n", 1, "integer value expected after 'play spr'"},
      {"track t: play spr,1,two\n", 1, "integer value expected after 'play spr,1'"},
      {"track t: stop\n\ntrack u: play nothere; loop\n", 3, "error loading sprite 'nothere.gsp'"},
      {"track t: list nofile\n", 1, "can't open file 'nofile'"},
      {"track t: list bad.lst\n", 1, "error loading list 'bad.lst'"},
      {"set dir=d\ntrack t: play spr; \\\n  jump\n", 3, "unknown track command 'jump'"},
      {longLine.c_str(), 1, "line longer than 8191"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    gnmInit();
    std::string messages;
    EXPECT_EQ(load(0, c.text, &messages), 0);
    EXPECT_TRUE(contains(messages, c.message)) << messages;
    if (c.line > 0) {
      EXPECT_TRUE(contains(messages, ">> [line " + std::to_string(c.line) + "] ")) << messages;
    }
    EXPECT_TRUE(contains(messages, "gnmLoad(): error in 's0.gnm'")) << messages;
    EXPECT_EQ(gnmValid(0), 0);
    EXPECT_EQ(gnmStart(0), 0);
  }
}

TEST_F(GnmTest, SettingsComeFromTheTrackThenTheScriptThenTheDefaults) {
  ASSERT_EQ(load(0,
                 "track a: play spr; loop\n"
                 "set delay=50, dir=d, dx=3\n"
                 "track b: play spr; loop\n"
                 "set delay=70\n"
                 "track c: set delay=20, dy=-2; play spr; loop\n"),
            1);
  const int a = gnmFindTrack(0, "a"), b = gnmFindTrack(0, "b"), c = gnmFindTrack(0, "c");
  // Sprite paths are resolved with the settings a track had when defined.
  EXPECT_EQ(gnmSprite(gnmTrack(a)->events[0].sprite)->name, std::string("spr.gsp"));
  EXPECT_EQ(gnmSprite(gnmTrack(b)->events[0].sprite)->name, std::string("d/spr.gsp"));
  const struct {
    int track, key, value;
  } ints[] = {
      {a, GNM_KEY_DELAY, 70}, {b, GNM_KEY_DELAY, 50}, {c, GNM_KEY_DELAY, 70},  // c's set has not run yet
      {a, GNM_KEY_DX, 3},     {b, GNM_KEY_DX, 3},     {a, GNM_KEY_DY, 0},
      {a, GNM_KEY_SNDVOL, 100}, {a, GNM_KEY_SNDPAN, 0},
  };
  for (const auto& i : ints) EXPECT_EQ(gnmSettingInt(i.track, i.key), i.value) << i.track << " key " << i.key;
  EXPECT_STREQ(gnmSettingText(a, GNM_KEY_DIR), "d");
  EXPECT_STREQ(gnmSettingText(a, GNM_KEY_SNDDIR), "");

  ASSERT_EQ(gnmStart(0), 1);
  gnmUpdate(0);
  EXPECT_EQ(gnmSettingInt(c, GNM_KEY_DELAY), 20);
  EXPECT_EQ(gnmSettingInt(c, GNM_KEY_DY), -2);
  EXPECT_EQ(gnmTrack(c)->object->y, -2);
  EXPECT_EQ(gnmTrack(a)->object->x, 3);
  // Each track steps by its own delay: a every 70 ms, b 50, c 20.
  for (int t = 10; t <= 140; t += 10) {
    gnmUpdate(10);
    EXPECT_EQ(gnmTrack(a)->object->frame, t / 70) << t;
    EXPECT_EQ(gnmTrack(b)->object->frame, t / 50) << t;
    EXPECT_EQ(gnmTrack(c)->object->frame, t / 20) << t;
  }
}

// Runs script 0 in 10 ms steps (an update of 0 at the start) and checks the
// frame of one track at the given times.
struct Timeline {
  const char* name;
  const char* text;
  const char* track;
  std::vector<std::pair<int, int>> frames;  // time, frame shown
};

TEST_F(GnmTest, TracksRunOverTheUpdates) {
  const Timeline cases[] = {
      {"play backwards, then the next event",
       "track t: set delay=100; play spr,5,2; noframe; stop\n",
       "t",
       {{0, 5}, {90, 5}, {100, 4}, {200, 3}, {300, 2}, {390, 2}, {400, -1}, {900, -1}}},
      {"play forwards",
       "track t: set delay=100; play spr,1,3; stop\n",
       "t",
       {{0, 1}, {100, 2}, {200, 3}, {800, 3}}},
      {"loop starts over",
       "track t: set delay=100; play spr,0,1; loop\n",
       "t",
       {{0, 0}, {100, 1}, {190, 1}, {200, 0}, {300, 1}, {400, 0}}},
      {"stop holds the track",
       "track t: set delay=100; play spr,0,1; stop; play spr,3,3\n",
       "t",
       {{0, 0}, {100, 1}, {200, 1}, {1000, 1}}},
      {"sleep",
       "track t: set delay=100; play spr,2,2; sleep 250; play spr,4,4; stop\n",
       "t",
       {{0, 2}, {340, 2}, {350, 4}}},
      {"fsleep counts delay periods",
       "track t: set delay=100; play spr,2,2; fsleep 3; play spr,4,4; stop\n",
       "t",
       {{0, 2}, {390, 2}, {400, 4}}},
      {"a waitmark holds its track until another marks",
       "track b: sleep 500; mark go; stop\n"
       "track a: waitmark go; play spr,1,1; stop\n",
       "a",
       {{0, -1}, {490, -1}, {500, 1}}},
      {"a mark of another name releases nothing",
       "track b: sleep 500; mark other; stop\n"
       "track a: waitmark go; play spr,1,1; stop\n",
       "a",
       {{0, -1}, {1000, -1}}},
      {"runmark makes another track jump to its mark",
       "track a: set delay=100; mark top; play spr,0,0; play spr,1,1; play spr,2,2; stop\n"
       "track b: sleep 250; runmark top; stop\n",
       "a",
       {{0, 0}, {100, 1}, {200, 2}, {250, 2}, {260, 0}, {350, 0}, {360, 1}}},
      {"runmark of the track itself ends its turn",
       "track t: set delay=100; mark m; play spr,0,1; runmark m\n",
       "t",
       {{0, 0}, {100, 1}, {200, 1}, {210, 0}, {310, 1}}},
      {"noframe blanks the object",
       "track t: set delay=100; play spr,3,3; noframe; sleep 100; loop\n",
       "t",
       {{0, 3}, {100, -1}, {190, -1}, {200, 3}}},
  };
  for (const Timeline& c : cases) {
    SCOPED_TRACE(c.name);
    gnmInit();
    ASSERT_EQ(load(0, c.text), 1);
    GnmTrack* t = track(0, c.track);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(gnmStart(0), 1);
    EXPECT_EQ(t->object->frame, -1);
    gnmUpdate(0);
    int now = 0;
    for (const auto& [when, frame] : c.frames) {
      while (now < when) {
        gnmUpdate(10);
        now += 10;
      }
      EXPECT_EQ(t->object->frame, frame) << "at " << when << " ms";
    }
  }
}

TEST_F(GnmTest, StopBlanksAndStartRestartsFromTheFirstEvent) {
  ASSERT_EQ(load(0, "track t: set delay=100; play spr,0,7; stop\n"), 1);
  GnmTrack* t = track(0, "t");
  ASSERT_EQ(gnmStart(0), 1);
  gnmUpdate(0);
  gnmUpdate(300);
  EXPECT_EQ(t->object->frame, 1);  // one step per update
  ASSERT_EQ(gnmStop(0), 1);
  EXPECT_EQ(t->object->frame, -1);
  gnmUpdate(100);
  EXPECT_EQ(t->object->frame, -1);
  ASSERT_EQ(gnmStart(0), 1);
  gnmUpdate(0);
  EXPECT_EQ(t->object->frame, 0);

  StderrCapture err;
  EXPECT_EQ(gnmStart(20), 0);
  EXPECT_EQ(gnmStop(-1), 0);
  EXPECT_EQ(gnmLoad(20, "s0.gnm", 1), 0);
  EXPECT_EQ(gnmStart(5), 0);
  const std::string out = err.finish();
  EXPECT_TRUE(contains(out, "gnmStart(): invalid gnm 20, not in [0..19]")) << out;
  EXPECT_TRUE(contains(out, "gnmStop(): invalid gnm -1, not in [0..19]")) << out;
  EXPECT_TRUE(contains(out, "gnmLoad(): invalid gnm 20 (should be in [0..19])")) << out;
  EXPECT_TRUE(contains(out, "gnmStart(): gnm 5 is invalid")) << out;
}

TEST_F(GnmTest, AMissingSpriteFailsItsScriptOnlyAndSpritesAreShared) {
  ASSERT_EQ(load(0, "track good: set delay=100; play spr; loop\n"), 1);
  std::string messages;
  EXPECT_EQ(load(1, "track x: play SPR; loop\ntrack y: play nothere,0,1; loop\n", &messages), 0);
  EXPECT_TRUE(contains(messages, "SPR_CREATE")) << messages;
  EXPECT_TRUE(contains(messages, ">> [line 2] track y: play nothere,0,1; loop")) << messages;
  EXPECT_TRUE(contains(messages, "Error: 'play': error loading sprite 'nothere'")) << messages;
  EXPECT_TRUE(contains(messages, "error in 's1.gnm' (line 2)")) << messages;

  // The sprite named in both scripts was loaded once (paths ignore case).
  GnmTrack* good = track(0, "good");
  GnmTrack* x = track(1, "x");
  EXPECT_EQ(good->events[1].sprite, x->events[0].sprite);
  EXPECT_NE(gnmSprite(x->events[0].sprite), nullptr);

  EXPECT_EQ(gnmStart(0), 1);
  StderrCapture err;
  EXPECT_EQ(gnmStart(1), 0);
  EXPECT_TRUE(contains(err.finish(), "gnm 1 is invalid"));
  gnmUpdate(0);
  gnmUpdate(100);
  EXPECT_EQ(good->object->frame, 1);
  EXPECT_EQ(x->object->frame, -1);  // the failed script's tracks never run
}

TEST_F(GnmTest, ReloadingAValidScriptReplacesItsTracks) {
  ASSERT_EQ(load(2, "track old: play spr; loop\n"), 1);
  std::string messages;
  ASSERT_EQ(load(2, "track new: play spr; loop\n", &messages), 1);
  EXPECT_TRUE(contains(messages, "gnmLoad(): gnm 2 already initialized, possible SE")) << messages;
  EXPECT_EQ(gnmFindTrack(2, "old"), -1);
  EXPECT_GE(gnmFindTrack(2, "new"), 0);
}

TEST_F(GnmTest, TrackNamesSetTheObjectsDrawingFlags) {
  ASSERT_EQ(load(0, "track s: play spr; loop\ntrack a: play spr; loop\ntrack m: play spr; loop\n"
                    "track n: play spr; loop\n"),
            1);
  const struct {
    const char* name;
    int smart, add, mirror;
  } cases[] = {{"s", 1, 0, 0}, {"a", 0, 1, 0}, {"m", 0, 0, 1}, {"n", 0, 0, 0}};
  for (const auto& c : cases) {
    const VBOBJ* o = track(0, c.name)->object;
    EXPECT_EQ(o->smart, c.smart) << c.name;
    EXPECT_EQ(o->addFlag, c.add) << c.name;
    EXPECT_EQ(o->mFlag, c.mirror) << c.name;
    EXPECT_EQ(o->layer, 3) << c.name;
  }
}

TEST_F(GnmTest, ListFilesMoveTheObjectAndPickFramesAndDelays) {
  writeFile("d/path.lst",
            "# a comment line is a header with unknown words\n"
            "xstep, ystep frame\tdelay\n"
            "5 1 2 100\n"
            "\n"
            "5,-1,0,50\n"
            "-3 0 1 100\n");
  std::string messages;
  EXPECT_EQ(load(0, "set dir=d\ntrack t: list path.lst; play spr; stop\n", &messages), 0);
  EXPECT_TRUE(contains(messages, "unknown parameter '#'")) << messages;

  gnmInit();
  writeFile("d/path.lst", "xstep, ystep frame\tdelay\n5 1 2 100\n\n5,-1,0,50\n-3 0 1 100\n");
  ASSERT_EQ(load(0, "set dir=d, dx=100\ntrack t: list path.lst; play spr; noframe; stop\n", &messages), 1)
      << messages;
  GnmTrack* t = track(0, "t");
  const GnmEvent& list = t->events[0];
  const std::vector<int> expected[GNM_LIST_COLUMNS] = {{5, 10, 7}, {1, 0, 0}, {2, 0, 1}, {100, 50, 100}};
  for (int c = 0; c < GNM_LIST_COLUMNS; ++c) {
    int n = 0;
    const int* v = gnmList(list.lists[c], &n);
    ASSERT_NE(v, nullptr) << c;
    EXPECT_EQ(std::vector<int>(v, v + n), expected[c]) << c;
  }

  ASSERT_EQ(gnmStart(0), 1);
  gnmUpdate(0);
  const struct {
    int when, frame, x, y;
  } steps[] = {{0, 2, 105, 1},  {90, 2, 105, 1},  {100, 0, 110, 0}, {140, 0, 110, 0},
               {150, 1, 107, 0}, {240, 1, 107, 0}, {250, -1, 107, 0}};
  int now = 0;
  for (const auto& s : steps) {
    while (now < s.when) {
      gnmUpdate(10);
      now += 10;
    }
    EXPECT_EQ(t->object->frame, s.frame) << s.when;
    EXPECT_EQ(t->object->x, s.x) << s.when;
    EXPECT_EQ(t->object->y, s.y) << s.when;
  }

  const struct {
    const char* text;
    const char* message;
  } bad[] = {
      {"x y\n1 2 3\n", "3 values for 2 columns"},
      {"1 2\n", "values before the column names"},
      {"\n \n", "no lists read"},
      {"x, speed\n", "unknown parameter 'speed'"},
      {"xstep\n2147483647\n1\n", "the sum of the steps leaves the integers"},
  };
  for (const auto& b : bad) {
    SCOPED_TRACE(b.text);
    gnmInit();
    writeFile("bad.lst", b.text);
    EXPECT_EQ(load(0, "track t: list bad.lst; stop\n", &messages), 0);
    EXPECT_TRUE(contains(messages, b.message)) << messages;
    EXPECT_TRUE(contains(messages, "error loading list 'bad.lst'")) << messages;
  }
}

TEST_F(GnmTest, ControlCallbacksDriveTheirTracks) {
  static int calls;
  calls = 0;
  // Takes over the play event, then releases it on the third call.
  auto fn = [](GnmTrack*, GnmEvent* e) -> int { return e->kind == GNM_EV_PLAY && ++calls != 2; };
  ASSERT_EQ(gnmRegisterControl("Driver", fn), 1);
  ASSERT_EQ(load(0, "track t: control driver; play spr,4,4; play spr,6,6; stop\n"
                    "track u: control nobody; stop\n"),
            1);
  ASSERT_EQ(gnmStart(0), 1);
  StderrCapture err;
  gnmUpdate(0);  // t: the callback takes the play; u: no such callback
  EXPECT_TRUE(contains(err.finish(), "EVENT_CONTROL(): can't find control callback 'nobody'"));
  GnmTrack* t = track(0, "t");
  EXPECT_EQ(t->object->frame, -1);
  gnmUpdate(10);  // still controlled
  EXPECT_EQ(t->object->frame, -1);
  gnmUpdate(10);  // released: on to the next play, which the callback takes again
  EXPECT_EQ(calls, 4);
  EXPECT_EQ(t->step, 2);
  EXPECT_EQ(t->object->frame, -1);

  for (int i = 0; i < GNM_CONTROLS - 1; ++i) ASSERT_EQ(gnmRegisterControl("c", fn), 1);
  StderrCapture full;
  EXPECT_EQ(gnmRegisterControl("one_more", fn), 0);
  EXPECT_TRUE(contains(full.finish(), "no free slots in CONTROLS[], all 100 occupied"));
}

TEST_F(GnmTest, FeatureScriptsLoadFromTinyAndSwitchWithTheState) {
  std::filesystem::create_directories("tiny");
  const char* const features[] = {"duma", "zona", "bd", "gp"};
  const char* const states[] = {"@", "0", "1", "2"};
  for (const char* f : features)
    for (const char* s : states) writeFile(std::string("tiny/") + f + "-" + s + ".gnm", "track t: play spr; loop\n");
  writeSprite("tiny/spr.gsp", 2);

  static std::vector<std::string> marks;
  marks.clear();
  ASSERT_EQ(setupGnms([](const char* category) {
              marks.push_back(category);
              return 0;
            }),
            1);
  EXPECT_EQ(marks.size(), 16u);
  EXPECT_EQ(marks.front(), "duma-@.gnm");
  EXPECT_EQ(marks.back(), "gp-2.gnm");
  EXPECT_TRUE(pathExists("spr.gsp"));  // back in the folder it started in
  for (int id = 0; id < 16; ++id) EXPECT_EQ(gnmValid(id), 1) << id;
  // The gas company's tracks are on layer 5, the others on 1.
  EXPECT_EQ(gnmTrack(gnmFindTrack(12, "t"))->object->layer, 5);
  EXPECT_EQ(gnmTrack(gnmFindTrack(4, "t"))->object->layer, 1);

  auto startedIds = [] {
    std::vector<int> ids;
    for (int id = 0; id < GNM_MAX; ++id)
      if (gnmStarted(id)) ids.push_back(id);
    return ids;
  };
  // The "@" scripts and state 0 of each feature.
  EXPECT_EQ(startedIds(), (std::vector<int>{0, 1, 4, 5, 8, 9, 12, 13}));
  const struct {
    int feature, state;
    std::vector<int> started;
  } switches[] = {
      {GNM_FEATURE_DUMA, 2, {0, 1, 4, 7, 8, 9, 12, 13}},
      {GNM_FEATURE_ZONA, 1, {0, 2, 4, 7, 8, 9, 12, 13}},
      {GNM_FEATURE_BD, 2, {0, 2, 4, 7, 8, 11, 12, 13}},
      {GNM_FEATURE_GP, 1, {0, 2, 4, 7, 8, 11, 12, 14}},
      {GNM_FEATURE_DUMA, -1, {0, 2, 4, 8, 11, 12, 14}},
      {GNM_FEATURE_DUMA, 0, {0, 2, 4, 5, 8, 11, 12, 14}},
  };
  for (const auto& s : switches) {
    EXPECT_EQ(gnmSetFeatureState(s.feature, s.state), 1);
    EXPECT_EQ(startedIds(), s.started) << s.feature << " " << s.state;
  }
  StderrCapture err;
  EXPECT_EQ(gnmSetFeatureState(GNM_FEATURE_GP, 3), 0);
  EXPECT_EQ(gnmSetFeatureState(4, 0), 0);
  EXPECT_EQ(gnmSetFeatureState(GNM_FEATURE_GP, -2), 0);
  err.finish();
  EXPECT_EQ(startedIds(), switches[5].started);
}

TEST_F(GnmTest, SetupGnmsReportsWhatDidNotLoad) {
  StderrCapture err;
  EXPECT_EQ(setupGnms(nullptr), 0);
  EXPECT_TRUE(contains(err.finish(), "setupGnms(): can't chdir to 'tiny', aborting"));

  std::filesystem::create_directories("tiny");
  const char* const features[] = {"duma", "zona", "bd", "gp"};
  const char* const states[] = {"@", "0", "1", "2"};
  for (const char* f : features)
    for (const char* s : states) writeFile(std::string("tiny/") + f + "-" + s + ".gnm", "track t: stop\n");
  writeFile("tiny/zona-1.gnm", "track t: noframe; loop\n");
  StderrCapture err2;
  EXPECT_EQ(setupGnms(nullptr), 0);
  const std::string out = err2.finish();
  EXPECT_TRUE(contains(out, "(ends at line 1) could be dead looped")) << out;
  EXPECT_EQ(gnmValid(2), 0);
  EXPECT_EQ(gnmValid(1), 1);
  EXPECT_EQ(gnmStarted(1), 1);  // the zone's state 0 still runs
  EXPECT_TRUE(pathExists("spr.gsp"));
}

}  // namespace
