#include <sys/stat.h>

#include <functional>
#include <map>
#include <string>

#include "core/text.h"
#include "physics/objects/objects_reset.h"
#include "physics/objects/table_fixture.h"

namespace {

// Windows-1251 spellings of the gas mission's counted word.
const std::string kWells = "\xD1\xCA\xC2\xC0\xC6\xC8\xCD";  // for 5 and more
const std::string kWellsFew = kWells + "\xDB";              // for 2 to 4
const std::string kWellsOne = kWells + "\xC0!";             // for 1

class SwitchesTest : public TableFixture {
 protected:
  void SetUp() override {
    TableFixture::SetUp();
    switchesReset();
    ASSERT_EQ(gstatPreload(0), 0);
    gstatBegin();
    heat = sprite("heat.gsp", 3);
    cool = sprite("cool.gsp", 2);
    frames3 = sprite("frames3.gsp", 3);
    probe = ball(700, 550);
  }

  // Adds the object's section (family and keys) to the object configuration,
  // offers a box outline at (x, y) to the readers and returns the object
  // made from it, or null.
  BoardObject* add(const std::string& family, int x, int y, const std::string& keys) {
    std::string name = "obj" + std::to_string(++count);
    text += "[object_" + std::to_string(x) + "_" + std::to_string(y) + "]\nfamily = \"" + family +
            "\"\nname = \"" + name + "\"\n" + keys + "\n";
    setObjects(text);
    if (OPR_RECOGNIZE(0, box(x, y, x + 20, y + 10)) < 0) return nullptr;
    BoardObject* o = objFindBoardObject(name.c_str());
    if (o) instances[o] = newestInstance();
    return o;
  }

  BoardObject* button(int x, const std::string& family, const std::string& extra) {
    return add(family, x, 100,
               "heat_sprite = \"" + heat + "\"\ncool_sprite = \"" + cool +
                   "\"\nheat_delay = 25\ncool_delay = 25\ngocool_delay = 100\n" + extra);
  }

  VBOBJ* newestInstance() {
    for (int i = VB_MAX_OBJECTS - 1; i >= 0; i--)
      if (vboard.objects[i].inUse) return &vboard.objects[i];
    return nullptr;
  }

  // Delivers a contact of the probe ball to the object as the board would,
  // with the ball moving up onto it; true when the object bounced the ball.
  bool touch(BoardObject* o, int type = BE_HIT) {
    probe->u.ball.velo = Vec3{0, -1, 0};
    BoardEvent e{};
    e.type = type;
    e.other = probe;
    e.time = board.time;
    e.contact.kind = 1;
    e.contact.normal = Vec3{0, 1, 0};
    o->handler(o, &e);
    bool bounced = probe->u.ball.velo.y > 0;
    probe->u.ball.velo = Vec3{0, 0, 0};
    return bounced;
  }

  // Frames of 10 ms: the board step, then the lamp programs.
  void run(int frames) {
    for (int i = 0; i < frames; i++) {
      step(1, 1.0, 10.0);
      lightUpdate(10.0);
    }
  }
  bool runUntil(const std::function<bool()>& done, int maxFrames = 200) {
    for (int i = 0; i < maxFrames; i++) {
      if (done()) return true;
      run(1);
    }
    return done();
  }

  // Simple lamp programs: "on" passes marks 0 and 1, so a lamp is fully on
  // after one lamp update; the other states only mark.
  void lampPrograms(int first, int n) {
    for (int l = first; l < first + n; l++) {
      lightAppendMark(l, LIGHT_ON, 0);
      lightAppendMark(l, LIGHT_ON, 1);
      lightAppendMark(l, LIGHT_OFF, 0);
      lightAppendMark(l, LIGHT_BLINK, 0);
    }
  }

  bool showsCool(BoardObject* o) { return std::string(instances[o]->sprite->name) == cool; }
  int frameOf(BoardObject* o) { return instances[o]->frame; }

  std::string heat, cool, frames3;
  std::string text;
  int count = 0;
  BoardObject* probe = nullptr;
  std::map<BoardObject*, VBOBJ*> instances;
};

// ---- Heat-and-cool buttons ----

TEST_F(SwitchesTest, ButtonLogicPicksItsStatisticAndModeEvent) {
  struct Case {
    const char* logic;
    const char* stat;
    const char* modeEvent;
    std::vector<std::string> modeScores;  // what the mode adds for the press; the button adds nothing
  } cases[] = {
      {"ukazy", "hit:ukazy_button", "modeEvent 5 21 0 obj", {"ukazy_button"}},  // no decree pending
      {"msel", "hit:krem_rbutton", "modeEvent 1 8 0 obj", {"msel_button"}},  // selection not armed
      {"law", "hit:law_button", "modeEvent 4 18 0 obj", {"law_button"}},
      {"question", "hit:krem_lbutton", "modeEvent 9 9 0 obj", {"question_button:action"}},
  };
  ASSERT_NO_FATAL_FAILURE(setScores({"ukazy_button", "msel_button", "law_button", "question_button:action"}));
  int x = 20;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.logic);
    rulesCallClear();
    game.score = 0;
    BoardObject* b = button(x += 40, "button", std::string("logic = \"") + c.logic + "\"\n");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->user, FAM_BUTTON);
    EXPECT_TRUE(touch(b));
    EXPECT_EQ(gstatCount(c.stat), 1);
    EXPECT_EQ(rulesCallCount(), 1);
    EXPECT_TRUE(rulesCallSeen(c.modeEvent));
    EXPECT_EQ(game.score, scoreOf(c.modeScores));
  }
}

TEST_F(SwitchesTest, ButtonHitWhileHeatingHotOrCoolingBouncesAndReportsNothing) {
  BoardObject* b = button(40, "button", "logic = \"law\"\n");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(frameOf(b), -1);  // idle buttons are not drawn
  ASSERT_TRUE(touch(b));
  ASSERT_EQ(gstatCount("hit:law_button"), 1);
  EXPECT_EQ(frameOf(b), 0);

  EXPECT_TRUE(touch(b));  // heating
  ASSERT_TRUE(runUntil([&] { return frameOf(b) == 2; }));
  run(4);  // the last heat frame has passed: hot
  EXPECT_FALSE(showsCool(b));
  EXPECT_EQ(frameOf(b), 2);
  EXPECT_TRUE(touch(b));
  ASSERT_TRUE(runUntil([&] { return showsCool(b); }));
  EXPECT_EQ(frameOf(b), 0);
  EXPECT_TRUE(touch(b));  // cooling
  EXPECT_EQ(gstatCount("hit:law_button"), 1);
  EXPECT_EQ(rulesCallTimes("modeEvent 4 18 0 obj"), 1);

  ASSERT_TRUE(runUntil([&] { return frameOf(b) == -1; }));
  EXPECT_TRUE(touch(b));  // idle again: a new report
  EXPECT_EQ(gstatCount("hit:law_button"), 2);
  EXPECT_EQ(rulesCallTimes("modeEvent 4 18 0 obj"), 2);
}

TEST_F(SwitchesTest, SpiralButtonSellsAdvertisementsThatSwitchTheLiftOnAndReleasesTheLockAtSeven) {
  struct Case {
    int before, after;
    int payfor;
  } cases[] = {{0, 1, 1}, {5, 6, 1}, {6, 0, 0}};
  BoardObject* s = button(40, "spiralbtn", "");
  ASSERT_NE(s, nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before);
    rulesCallClear();
    ASSERT_TRUE(runUntil([&] { return frameOf(s) == -1; }, 400));
    game.reklama = c.before;
    gameSetLift(0);
    touch(s);
    EXPECT_EQ(game.reklama, c.after);
    EXPECT_EQ(rulesCallTimes("startForeTitle reklama_payfor"), c.payfor);
    // A sold advertisement switches the lift on; the seventh releases it.
    EXPECT_EQ(game.liftActive, c.payfor);
    EXPECT_TRUE(rulesCallSeen("modeEvent 10 14 0 obj"));
  }
  EXPECT_EQ(gstatCount("hit:spiralbtn"), 3);
}

TEST_F(SwitchesTest, OstButtonPairFlipsTheTelevisionGasSwitch) {
  ASSERT_NO_FATAL_FAILURE(setScores({"ostbtn0", "ostbtn1"}));
  BoardObject* a = button(40, "ostbtn", "place = 0\n");
  BoardObject* b = button(80, "ostbtn", "place = 1\n");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  const char* titles[] = {"startForeTitle tv_gas_gas", "startForeTitle tv_gas_tv"};
  for (int round = 0; round < 2; round++) {
    SCOPED_TRACE(round);
    touch(a);
    // One held button waits for its partner however long it takes.
    run(60);
    EXPECT_FALSE(showsCool(a));
    EXPECT_EQ(frameOf(a), 2);
    touch(b);
    ASSERT_TRUE(runUntil([&] { return showsCool(a) && showsCool(b); }));
    EXPECT_EQ(game.spiral, round == 0 ? 1 : 0);
    EXPECT_EQ(rulesCallTimes(titles[round]), 1);
    ASSERT_TRUE(runUntil([&] { return frameOf(a) == -1 && frameOf(b) == -1; }));
  }
  EXPECT_EQ(gstatCount("hit:ostbtn0"), 2);
  EXPECT_EQ(gstatCount("hit:ostbtn1"), 2);
  EXPECT_EQ(game.score, scoreOf({"ostbtn0", "ostbtn0", "ostbtn1", "ostbtn1"}));
}

TEST_F(SwitchesTest, ZonaButtonPairStaysHeldUntilTheRulesActOnIt) {
  BoardObject* a = button(40, "zonabtn", "place = 1\n");
  BoardObject* b = button(80, "zonabtn", "place = 0\n");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  touch(a);
  touch(b);
  EXPECT_EQ(gstatCount("hit:zonabtn0"), 1);
  EXPECT_EQ(gstatCount("hit:zonabtn1"), 1);
  run(100);
  EXPECT_EQ(rulesCallTimes("modeEvent 3 15 0 obj"), 1);
  EXPECT_FALSE(showsCool(a));
  EXPECT_FALSE(showsCool(b));

  buttonPairLight(FAM_OSTBTN);  // another pair: nothing happens here
  buttonPairRelease(FAM_ZONABTN);
  ASSERT_TRUE(runUntil([&] { return showsCool(a) && showsCool(b); }));
  ASSERT_TRUE(runUntil([&] { return frameOf(a) == -1 && frameOf(b) == -1; }));

  // The rules light the idle pair: it heats without reporting hits, is held,
  // and the held pair reports again; cooling it ends the hold.
  buttonPairLight(FAM_ZONABTN);
  EXPECT_EQ(frameOf(a), 0);
  run(20);
  EXPECT_EQ(gstatCount("hit:zonabtn0"), 1);
  EXPECT_EQ(rulesCallTimes("modeEvent 3 15 0 obj"), 2);
  buttonPairCool(FAM_ZONABTN);
  EXPECT_TRUE(showsCool(a));
  EXPECT_TRUE(showsCool(b));
}

TEST_F(SwitchesTest, KilledButtonLeavesItsPair) {
  BoardObject* a = button(40, "ostbtn", "place = 0\n");
  BoardObject* b = button(80, "ostbtn", "place = 1\n");
  ASSERT_NE(b, nullptr);
  BOARD_KILL(b->id);
  touch(a);
  run(60);
  EXPECT_EQ(game.spiral, 0);
  EXPECT_FALSE(showsCool(a));
}

TEST_F(SwitchesTest, ButtonWithoutVisualBoardStillBouncesButReportsNothing) {
  vbSelect(nullptr);
  BoardObject* b = button(40, "button", "logic = \"ukazy\"\n");
  vbSelect(&vboard);
  ASSERT_NE(b, nullptr);
  StderrCapture cap;
  EXPECT_TRUE(touch(b));
  std::string err = cap.finish();
  EXPECT_NE(err.find("button_handler(): id " + std::to_string(b->id) + " VBO not loaded"), std::string::npos) << err;
  EXPECT_EQ(gstatCount("hit:ukazy_button"), 0);
}

TEST_F(SwitchesTest, ReadersRefuseBadParametersAndFreeWhatTheyLoaded) {
  const std::string sprites = "heat_sprite = \"" + heat + "\"\ncool_sprite = \"" + cool + "\"\n";
  struct Case {
    const char* family;
    std::string keys;
    const char* message;
    int (*reader)(int, int, Outline*);
  } cases[] = {
      {"button", "cool_sprite = \"" + cool + "\"\nlogic = \"law\"\n", "'heat_sprite' not defined", button_reader},
      {"button", "heat_sprite = \"" + heat + "\"\nlogic = \"law\"\n", "'cool_sprite' not defined", button_reader},
      {"button", "heat_sprite = \"" + heat + "\"\ncool_sprite = \"missing.gsp\"\nlogic = \"law\"\n",
       "error loading sprite 'missing.gsp'", button_reader},
      {"button", sprites, "'logic' not defined", button_reader},
      {"button", sprites + "logic = \"vote\"\n", "invalid logic 'vote'", button_reader},
      {"ostbtn", sprites, "'place' not defined", ostbtn_reader},
      {"zonabtn", sprites + "place = 2\n", "zonabtn_reader(): object (300,200): invalid place 2", zonabtn_reader},
      {"gasbtn", "sprite = \"" + frames3 + "\"\nplace = 7\n", "place is undefined or invalid (7, max 6)", gasbtn_reader},
      {"gasbtn", "place = 3\n", "sprite filename not defined ('sprite' parameter)", gasbtn_reader},
      {"dumagate", "place = 4\n", "dumagate_reader(), object (300,200): place is undefined or invalid (4, max 3)",
       dumagate_reader},
      {"kremgate", "", "place is undefined or invalid (-1, max 3)", kremgate_reader},
      {"hflap", "sprite = \"" + frames3 + "\"\nplace = 3\n", "place is undefined or invalid (3, max 2)", hflap_reader},
      {"mflap", "place = 1\n", "sprite filename not defined", mflap_reader},
  };
  int spritesBefore = spritesInUse();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.family) + ": " + c.message);
    setObjects("[object_300_200]\nfamily = \"" + std::string(c.family) + "\"\n" + c.keys);
    int objects = board.count;
    StderrCapture cap;
    EXPECT_EQ(c.reader(0, 0, box(300, 200, 320, 210)), 0);
    std::string err = cap.finish();
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
    EXPECT_EQ(board.count, objects);
    EXPECT_EQ(spritesInUse(), spritesBefore);
  }
  // Another family is not the reader's: declined without a word.
  setObjects("[object_300_200]\nfamily = \"bumper\"\n" + sprites + "logic = \"law\"\n");
  StderrCapture cap;
  EXPECT_EQ(button_reader(0, 0, box(300, 200, 320, 210)), 0);
  EXPECT_EQ(cap.finish(), "");
}

TEST_F(SwitchesTest, ReadersSetLmaskNameAndUserValue) {
  BoardObject* b = add("gasbtn", 40, 100, "sprite = \"" + frames3 + "\"\nplace = 0\nlmask = 6\n");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->lmask, 6);
  EXPECT_EQ(b->user, FAM_GASBTN);
  BoardObject* d = add("dumagate", 80, 100, "place = 0\n");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->lmask, 1);  // 1 << layer 0
  EXPECT_EQ(d->user, FAM_DUMAGATE);
}

// ---- Gas buttons ----

class GasTest : public SwitchesTest {
 protected:
  void SetUp() override {
    SwitchesTest::SetUp();
    for (int place = 0; place < 7; place++) {
      gas[place] = add("gasbtn", 20 + 60 * place, 300,
                       "sprite = \"" + frames3 + "\"\nplace = " + std::to_string(place) +
                           "\nheat_delay = 25\ncool_delay = 25\ngocool_delay = 50\n");
      ASSERT_NE(gas[place], nullptr);
    }
  }
  void sink(int place) {
    ASSERT_TRUE(touch(gas[place]));
    ASSERT_TRUE(runUntil([&] { return frameOf(gas[place]) == 2; }));
    run(1);
  }
  bool allUp() {
    for (BoardObject* g : gas)
      if (frameOf(g) != 0) return false;
    return true;
  }
  BoardObject* gas[7] = {};
};

TEST_F(GasTest, MissionShowsRemainingWellsInRussianAndCompletesTheMission) {
  game.mission = 2;
  const std::string words[] = {kWells, kWells, kWellsFew, kWellsFew, kWellsFew, kWellsOne};
  for (int place = 0; place < 6; place++) {
    sink(place);
    const char* macro = titleMacro("gp_hits");
    ASSERT_NE(macro, nullptr);
    EXPECT_EQ(std::string(macro), std::to_string(6 - place) + "\\n" + words[place]) << place;
  }
  EXPECT_EQ(rulesCallTimes("startForeTitle gp_progress"), 6);
  EXPECT_FALSE(rulesCallSeen("missionEvent 13 0 0"));
  sink(6);
  EXPECT_EQ(rulesCallTimes("missionEvent 13 0 0"), 1);
  EXPECT_EQ(rulesCallTimes("startForeTitle gp_progress"), 6);
  EXPECT_EQ(game.score, 0);
}

TEST_F(GasTest, CompletionPaysByTheRulesStateAndRaisesAllSeven) {
  struct Case {
    int mission, gp, percent;
    const char* scores;
    const char* exportPercent;  // null: no export title
  } cases[] = {
      {5, 1, 0, "gp%d:pres", nullptr},
      {-1, 1, 30, "gp%d:on", "40"},
      {-1, 1, 100, "gp%d:on", nullptr},
      {-1, 0, 30, "gp%d", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scores + std::to_string(c.percent));
    rulesCallClear();
    titleClearMacros();
    std::vector<std::string> subjects;
    for (int i = 0; i < 4; i++) subjects.push_back(strFormat(c.scores, i));
    ASSERT_NO_FATAL_FAILURE(setScores(subjects));
    game.mission = c.mission;
    game.gp = c.gp;
    game.gasPercent = c.percent;
    for (int place = 0; place < 7; place++) sink(place);
    EXPECT_EQ(game.score, scoreOf(subjects));
    EXPECT_EQ(rulesCallTimes("startForeTitle export"), c.exportPercent ? 1 : 0);
    const char* macro = titleMacro("export_percent");
    if (c.exportPercent) {
      EXPECT_STREQ(macro, c.exportPercent);
    } else {
      EXPECT_EQ(macro, nullptr);
    }
    EXPECT_FALSE(rulesCallSeen("startForeTitle gp_progress"));
    // All seven come back up, and a hit while they are on their way is ignored.
    EXPECT_TRUE(touch(gas[0]));
    ASSERT_TRUE(runUntil([&] { return allUp(); }));
    run(5);
    EXPECT_EQ(frameOf(gas[0]), 0);
  }
}

// ---- Lane gates ----

TEST_F(SwitchesTest, LaneLetsTheBallRollOverAndLightsItsLampOnce) {
  BoardObject* lane = add("dumagate", 200, 100, "place = 2\n");
  ASSERT_NE(lane, nullptr);
  lampPrograms(LI_DUMAGATE0, 4);
  BoardObject* b = ball(210, 130, 0, -2);
  run(30);
  EXPECT_LT(b->u.ball.pos.y, 90);  // rolled over the lane, up the table
  EXPECT_EQ(b->u.ball.velo.y, -2);
  EXPECT_EQ(lightGetState(LI_DUMAGATE2), LIGHT_ON);
  EXPECT_EQ(lightGetMark(LI_DUMAGATE2), 1);
  // Rolled over again while lit: the lamp is left alone (not switched on anew).
  EXPECT_FALSE(touch(lane));
  EXPECT_EQ(lightGetMark(LI_DUMAGATE2), 1);
  EXPECT_EQ(lightGetState(LI_DUMAGATE1), -1);
}

TEST_F(SwitchesTest, LaneGroupsCompleteByTheRulesState) {
  struct Case {
    const char* family;
    int firstLight;
    int mission, duma;
    const char* stat;
    const char* scores;
    const char* modeEvent;  // null: none
  } cases[] = {
      {"dumagate", LI_DUMAGATE0, 5, 1, "evt:duma", "duma%d:pres", nullptr},
      {"dumagate", LI_DUMAGATE0, -1, 1, "evt:duma", "duma%d:on", "modeEvent 4 17 0 obj"},
      {"dumagate", LI_DUMAGATE0, -1, 2, "evt:duma", "duma%d", nullptr},
      {"kremgate", LI_KREMGATE0, 5, 0, "evt:ukaz", "ukaz%d:pres", nullptr},
      {"kremgate", LI_KREMGATE0, -1, 0, "evt:ukaz", "ukaz%d", "modeEvent 5 20 0 obj"},
  };
  lampPrograms(LI_KREMGATE0, 8);  // the Kremlin and the Duma lanes
  BoardObject* lanes[2][4];
  for (int place = 0; place < 4; place++) {
    lanes[0][place] = add("dumagate", 20 + 40 * place, 100, "place = " + std::to_string(place));
    lanes[1][place] = add("kremgate", 20 + 40 * place, 200, "place = " + std::to_string(place));
    ASSERT_NE(lanes[0][place], nullptr);
    ASSERT_NE(lanes[1][place], nullptr);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scores);
    rulesCallClear();
    std::vector<std::string> subjects;
    for (int i = 0; i < 4; i++) subjects.push_back(strFormat(c.scores, i));
    ASSERT_NO_FATAL_FAILURE(setScores(subjects));
    game.mission = c.mission;
    game.duma = c.duma;
    int stat = gstatCount(c.stat);
    BoardObject** group = lanes[c.firstLight == LI_DUMAGATE0 ? 0 : 1];
    for (int place = 0; place < 3; place++) touch(group[place]);
    run(2);
    EXPECT_EQ(rulesCallCount(), 0);
    EXPECT_EQ(game.score, 0);
    touch(group[3]);
    run(1);
    EXPECT_EQ(gstatCount(c.stat), stat + 1);
    EXPECT_EQ(game.score, scoreOf(subjects));
    for (int i = 0; i < 4; i++) EXPECT_EQ(lightGetState(c.firstLight + i), LIGHT_OFF);
    EXPECT_EQ(rulesCallCount(), c.modeEvent ? 1 : 0);
    if (c.modeEvent) {
      EXPECT_TRUE(rulesCallSeen(c.modeEvent));
    }
  }
}

TEST_F(SwitchesTest, FlipperKeysRotateTheLitLanes) {
  ASSERT_NE(add("dumagate", 20, 100, "place = 0\n"), nullptr);
  ASSERT_NE(add("kremgate", 20, 200, "place = 0\n"), nullptr);
  lightSet(LI_DUMAGATE0, LIGHT_ON);
  lightSet(LI_DUMAGATE1, LIGHT_ON);
  lightSet(LI_KREMGATE3, LIGHT_BLINK);
  auto lit = [](int first) {
    std::string s;
    for (int i = 0; i < 4; i++) s += std::to_string(std::max(lightGetState(first + i), 0));
    return s;
  };
  eventDispatch(0, 0, 0);  // left flipper: each takes the next higher lamp's state
  EXPECT_EQ(lit(LI_DUMAGATE0), "1001");
  EXPECT_EQ(lit(LI_KREMGATE0), "0020");
  eventDispatch(0, 1, 0);  // right flipper: back the other way
  EXPECT_EQ(lit(LI_DUMAGATE0), "1100");
  EXPECT_EQ(lit(LI_KREMGATE0), "0002");
  eventDispatch(0, 1, 0);
  EXPECT_EQ(lit(LI_DUMAGATE0), "0110");
  EXPECT_EQ(lit(LI_KREMGATE0), "2000");
}

// ---- Flaps ----

class FlapTest : public SwitchesTest {
 protected:
  void group(const char* family) {
    for (int place = 0; place < 3; place++) {
      flaps[place] = add(family, 100 + 60 * place, 100,
                         "sprite = \"" + frames3 + "\"\nplace = " + std::to_string(place) +
                             "\nup_delay = 15\ndown_delay = 15\n");
      ASSERT_NE(flaps[place], nullptr);
    }
  }
  bool all(int frame) {
    for (BoardObject* f : flaps)
      if (frameOf(f) != frame) return false;
    return true;
  }
  void dropAll() {
    for (BoardObject* f : flaps) touch(f);
    ASSERT_TRUE(runUntil([&] { return all(0); }));
    run(1);
  }
  BoardObject* flaps[3] = {};
};

TEST_F(FlapTest, UpFlapBouncesAndDropsDownFlapLetsTheBallThrough) {
  group("hflap");
  EXPECT_EQ(frameOf(flaps[0]), 2);  // up: the last frame
  BoardObject* first = ball(110, 140, 0, -2);
  run(20);
  EXPECT_GT(first->u.ball.velo.y, 0);  // bounced back down the table
  ASSERT_TRUE(runUntil([&] { return frameOf(flaps[0]) == 0; }));
  BOARD_KILL(first->id);
  BoardObject* second = ball(110, 140, 0, -2);
  run(40);
  EXPECT_EQ(second->u.ball.velo.y, -2);
  EXPECT_LT(second->u.ball.pos.y, 90);
  EXPECT_EQ(frameOf(flaps[0]), 0);  // a down flap stays down when rolled over
}

TEST_F(FlapTest, TempleFlapsCompleteCountBlessingsAndRise) {
  group("hflap");
  for (int round = 1; round <= 2; round++) {
    SCOPED_TRACE(round);
    dropAll();
    EXPECT_EQ(gstatCount("evt:hflaps"), round);
    EXPECT_EQ(rulesCallTimes(("startForeTitle amen" + std::to_string(round)).c_str()), 1);
    EXPECT_EQ(game.amen, round);
    ASSERT_TRUE(runUntil([&] { return all(2); }));
  }
  EXPECT_EQ(game.score, 0);
}

TEST_F(FlapTest, DuringTheElectionsFlapsScoreAndRiseWithoutTitle) {
  ASSERT_NO_FATAL_FAILURE(setScores({"hflaps:pres"}));
  group("hflap");
  game.mission = 5;
  dropAll();
  EXPECT_EQ(game.score, scoreOf({"hflaps:pres"}));
  EXPECT_FALSE(rulesCallSeen("startForeTitle amen1"));
  EXPECT_EQ(game.amen, 0);
  EXPECT_TRUE(runUntil([&] { return all(2); }));
}

TEST_F(FlapTest, MausoleumCountsToFiveThenWaitsForTheRules) {
  group("mflap");
  for (int round = 1; round <= 4; round++) {
    SCOPED_TRACE(round);
    dropAll();
    EXPECT_TRUE(rulesCallSeen(("startForeTitle mumra" + std::to_string(round)).c_str()));
    EXPECT_EQ(game.mumra, round);
    ASSERT_TRUE(runUntil([&] { return all(2); }));
  }
  StderrCapture cap;
  dropAll();
  std::string err = cap.finish();
  EXPECT_EQ(gstatCount("evt:mflaps"), 5);
  EXPECT_TRUE(rulesCallSeen("startForeTitle mumra5"));
  EXPECT_EQ(game.mumra, 5);
  EXPECT_NE(err.find("objEnable(): object 'mavz' not registered"), std::string::npos) << err;
  run(50);
  EXPECT_TRUE(all(0));
  // Raised by the rules, the flaps go on; the count stays in its range.
  mflapRequestRise();
  ASSERT_TRUE(runUntil([&] { return all(2); }));
  dropAll();
  EXPECT_TRUE(rulesCallSeen("startForeTitle mumra6"));
  EXPECT_EQ(game.mumra, 5);
}

TEST_F(FlapTest, MausoleumFlapsRiseWhenAskedOnlyWithoutABallOnTheMiddleFlap) {
  group("mflap");
  ShapeData d = oprShapeData(box(600, 100, 620, 110), 0.3);
  BoardObject* mavz = BOARD_ADDSHAPE([](BoardObject*, BoardEvent*) { return 0; }, FAM_MAVZ, &d);
  ASSERT_NE(mavz, nullptr);
  mavz->disabled = 1;
  ObjInfo info{};
  info.words[0] = mavz;
  objRegisterInfo("mavz", &info);
  game.mumra = 4;
  dropAll();  // the probe's touch counts a ball on the middle flap, but it is not there
  EXPECT_TRUE(rulesCallSeen("startForeTitle mumra5"));
  EXPECT_EQ(mavz->disabled, 0);
  run(30);
  ASSERT_TRUE(all(0));

  struct Case {
    const char* how;
    bool kill;
  } cases[] = {{"the ball rolls on", false}, {"the ball leaves the board", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    // A ball rolls onto the lowered middle flap and stops on it.
    BoardObject* b = ball(170, 130, 0, -2);
    ASSERT_TRUE(runUntil([&] { return b->u.ball.pos.y < 107; }));
    b->u.ball.velo = Vec3{0, 0, 0};
    run(2);
    ASSERT_TRUE(boardInContact(flaps[1]->id, b->id));
    mflapRequestRise();
    run(30);
    EXPECT_TRUE(all(0));
    if (c.kill) {
      int slot = b->id;
      BOARD_KILL(slot);
      BoardObject* next = ball(700, 450);  // takes the freed slot
      EXPECT_EQ(next->id, slot);
    } else {
      b->u.ball.velo = Vec3{0, -2, 0};
    }
    EXPECT_TRUE(runUntil([&] { return all(2); }));
    if (!c.kill) BOARD_KILL(b->id);
    dropAll();
    run(30);
    ASSERT_TRUE(all(0));
  }
}

// ---- Light row ----

class RowTest : public SwitchesTest {
 protected:
  void SetUp() override {
    SwitchesTest::SetUp();
    for (int place = 0; place < 4; place++) {
      row[place] = add("trilights", 100 + 40 * place, 100, "place = " + std::to_string(place) + "\naction_delay = 100\n");
      ASSERT_NE(row[place], nullptr);
    }
    lampPrograms(LI_USSR0, 4);
    lampPrograms(LI_XB0, 2);
  }
  int lamps() {
    int n = 0;
    for (int i = 0; i < 4; i++) n = n * 10 + std::max(lightGetState(LI_USSR0 + i), 0);
    return n;
  }
  BoardObject* row[4] = {};
};

TEST_F(RowTest, TargetsLightTheRowWhichBlinksThenDropsTheBlockers) {
  lampPrograms(LI_SAVER0_ARROW, 2);  // the blockers' lamps
  for (int place = 0; place < 2; place++) {
    ASSERT_NE(add("blocker", 100 + 40 * place, 300,
                  "sprite = \"" + frames3 + "\"\nplace = " + std::to_string(place) + "\nup_delay = 5\ndown_delay = 5\n"),
              nullptr);
    BLOCKER_CONTROL_UP(place);
  }
  ASSERT_TRUE(runUntil([] { return blockerState(0) == 2 && blockerState(1) == 2; }));

  EXPECT_TRUE(touch(row[1]));  // a hit bounces; the lamp comes with the ball leaving
  EXPECT_EQ(lamps(), 0);
  touch(row[1], BE_UNHIT);
  touch(row[3], BE_UNHIT);
  EXPECT_EQ(lamps(), 101);
  touch(row[0], BE_UNHIT);
  touch(row[2], BE_UNHIT);
  EXPECT_EQ(lamps(), 1111);
  run(1);  // the lamps finish switching on: only then is the row complete
  EXPECT_EQ(lamps(), 1111);
  run(1);
  EXPECT_EQ(lamps(), 2222);
  EXPECT_EQ(gstatCount("evt:ussr"), 1);
  EXPECT_EQ(rulesCallTimes("startForeTitle trilights_can_shift"), 1);
  EXPECT_FALSE(rulesCallSeen("titleEndCallbackOnce"));
  run(5);
  EXPECT_EQ(lamps(), 2222);
  EXPECT_EQ(blockerState(0), 2);
  ASSERT_TRUE(runUntil([&] { return lamps() == 0; }, 20));
  EXPECT_TRUE(runUntil([] { return blockerState(0) == 0 && blockerState(1) == 0; }));

  // The second time the row also lights an extra ball at its title's end.
  for (BoardObject* t : row) touch(t, BE_UNHIT);
  run(2);
  EXPECT_EQ(gstatCount("evt:ussr"), 2);
  EXPECT_TRUE(rulesCallSeen("titleEndCallbackOnce"));
  EXPECT_EQ(gstatCount("ball:xb_lit"), 1);
  EXPECT_EQ(lightGetState(LI_XB0), LIGHT_ON);
}

TEST_F(RowTest, OuterTargetsCollectALitExtraBall) {
  struct Case {
    int place;
    int light;
  } cases[] = {{0, LI_XB0}, {3, LI_XB1}};
  int collected = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.place);
    touch(row[1], BE_UNHIT);  // the inner targets collect nothing
    touch(row[2], BE_UNHIT);
    lightSet(c.light, LIGHT_ON);
    touch(row[c.place], BE_UNHIT);
    EXPECT_EQ(gstatCount("ball:xb"), ++collected);
    EXPECT_EQ(lightGetState(c.light), LIGHT_OFF);
    EXPECT_EQ(rulesCallTimes("startForeTitle xball"), collected);
    touch(row[c.place], BE_UNHIT);  // nothing left to collect
    EXPECT_EQ(gstatCount("ball:xb"), collected);
  }
}

TEST_F(RowTest, TargetWithAnInvalidPlaceReportsIt) {
  BoardObject* bad = add("trilights", 400, 100, "place = 5\n");
  ASSERT_NE(bad, nullptr);
  StderrCapture cap;
  touch(bad, BE_UNHIT);
  std::string err = cap.finish();
  EXPECT_NE(err.find("trilights_handler(): " + std::to_string(bad->id) + " invalid place (5, max 3)"),
            std::string::npos)
      << err;
  EXPECT_EQ(lamps(), 0);
}

// ---- Tubes ----

class TubeTest : public SwitchesTest {
 protected:
  void SetUp() override {
    SwitchesTest::SetUp();
    TrackVec points[] = {{100, 100, 0}, {100, 200, 0}, {100, 300, 0}, {100, 400, 0}};
    Track t{4, 10.0, points};
    ASSERT_EQ(trackSave(dir.file("left.trk").c_str(), &t), 1);
    points[0].x = points[1].x = points[2].x = points[3].x = 500;
    ASSERT_EQ(trackSave(dir.file("right.trk").c_str(), &t), 1);
    std::string confDir = dir.file("conf");
    ASSERT_EQ(mkdir(confDir.c_str(), 0755), 0);
    writeFile(dir.file("conf/track.conf"), "[tube_l]\nfilename = \"left.trk\"\n[tube_r]\nfilename = \"right.trk\"\n");
    {
      ScopedChdir cd(dir.path);
      ASSERT_EQ(setupTracks(0), 1);
    }
    setRules(
        "[tubes]\nleft_track = \"tube_l\"\nleft_trackpos = 5.0\nleft_trackvelo = 1.5\nleft_lmask = 3\n"
        "right_track = \"tube_r\"\n");
    ballSprite = SPR_CREATE(frames3.c_str());
    ASSERT_NE(ballSprite, nullptr);
    setGlobal("[ball]\nradius = 4.5\nsprite = \"" + frames3 + "\"\nshadow_sprite = \"not-loaded.gsp\"\n");
    gTable.f = 2.0;
  }
  Sprite* ballSprite = nullptr;
};

TEST_F(TubeTest, TubeBallRidesItsTrackWithTheTubesSettings) {
  struct Case {
    int index;
    const char* track;
    double trackpos, trackvelo;
    int lmask;
    int light;
    const char* stat;
    double x;
  } cases[] = {
      {0, "tube_l", 5.0, 3.0, 3, LI_CRANE_T20, "hit:tube_left", 100},
      {1, "tube_r", 0.0, 2.0, 1, LI_CRANE_T22, "hit:tube_right", 500},  // the defaults
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    int balls = BOARD_BALLS(&board);
    gameTubeBall(c.index);
    ASSERT_EQ(BOARD_BALLS(&board), balls + 1);
    BoardObject* b = newestBall();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->u.ball.track, findTrack(c.track));
    EXPECT_EQ(b->u.ball.trackpos, c.trackpos);
    EXPECT_EQ(b->u.ball.trackvelo, c.trackvelo);
    EXPECT_EQ(b->u.ball.radius, 4.5);
    EXPECT_EQ(b->u.ball.noaccel, 1);
    EXPECT_EQ(b->lmask, c.lmask);
    EXPECT_EQ(b->u.ball.pos.x, c.x);
    // Drawn with the session's ball sprite; the shadow sprite is not loaded.
    ASSERT_NE(ballParms(b)->sprite, nullptr);
    EXPECT_EQ(ballParms(b)->sprite->sprite, ballSprite);
    EXPECT_EQ(ballParms(b)->sprite2, nullptr);
    EXPECT_EQ(lightGetState(c.light), LIGHT_ON);
    EXPECT_EQ(gstatCount(c.stat), 1);
  }
}

TEST_F(TubeTest, TubeBallTakesARadiusWrittenAsAWholeNumber) {
  setGlobal("[ball]\nradius = 4\n");
  gameTubeBall(1);
  BoardObject* b = newestBall();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->u.ball.radius, 4);
}

TEST_F(TubeTest, UnknownTubeOrMissingTrackCreatesNoBall) {
  int balls = BOARD_BALLS(&board);
  for (int index : {2, -1}) {
    StderrCapture cap;
    gameTubeBall(index);
    std::string err = cap.finish();
    EXPECT_NE(err.find("gameTubeBall(): unknown tube index " + std::to_string(index)), std::string::npos) << err;
  }
  EXPECT_EQ(gstatCount("hit:tube_left"), 0);
  setRules("[tubes]\nleft_track = \"nowhere\"\n");
  StderrCapture cap;
  gameTubeBall(0);
  std::string err = cap.finish();
  EXPECT_NE(err.find("gameTubeBall(): tube_left_track 'nowhere' not found"), std::string::npos) << err;
  EXPECT_EQ(BOARD_BALLS(&board), balls);
}

}  // namespace
