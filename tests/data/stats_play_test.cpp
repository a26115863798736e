// The table's statistics as a game played on the shipped table counts them
// (support/live_table.h): balls shot at the table's objects or set down on
// it and the table keys pressed, nothing of the rules set by hand. Each test
// plays one theme through and checks the counts it moved.
#include <gtest/gtest.h>

#include <string>

#include "support/live_table.h"

namespace {

class StatsInPlay : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(t.ok()) << t.log();
    // The first frame puts the game's first ball on the plunger.
    t.run(1);
    ASSERT_EQ(t.balls().size(), 1u);
  }

  // A clean shot at an object: no other ball on the board before it.
  void shoot(const std::string& name) {
    t.removeBalls();
    ASSERT_GT(t.shootAt(name), 0) << name;
  }

  // Lets the table play on without a ball, for titles and delays.
  void idle(int frames) {
    t.removeBalls();
    t.run(frames);
  }

  LiveTable t;
};

TEST_F(StatsInPlay, EachTargetLaneAndButtonCountsItsHit) {
  struct Case {
    const char* object;
    const char* stat;
  };
  const Case cases[] = {
      {"t1", "hit:t1"},
      {"t2", "hit:t2"},
      {"t3", "hit:t3"},
      {"t4", "hit:t_yes"},
      {"t5", "hit:t_no"},
      {"t6", "hit:t6"},
      {"t7", "hit:t7"},
      {"t8", "hit:t8"},
      {"t9", "hit:krem_left"},
      {"t10", "hit:krem_right"},
      {"krem_bumper0", "hit:krem_bumper"},
      {"duma_bumper0", "hit:duma_bumper"},
      {"sling_left", "hit:tri_left"},
      {"sling_right", "hit:tri_right"},
      {"question_button", "hit:krem_lbutton"},
      {"msel_button", "hit:krem_rbutton"},
      {"law_button", "hit:law_button"},
      {"ukazy_button", "hit:ukazy_button"},
      {"zonabtn0", "hit:zonabtn0"},
      {"zonabtn1", "hit:zonabtn1"},
      {"ost_button0", "hit:ostbtn0"},
      {"ost_button1", "hit:ostbtn1"},
      {"spiral_button", "hit:spiralbtn"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.object);
    const int before = t.stat(c.stat);
    shoot(c.object);
    t.run(2);
    EXPECT_EQ(t.stat(c.stat), before + 1);
  }
}

TEST_F(StatsInPlay, TheTubesAndTheFlippersCountTheirPassagesAndSwings) {
  // Lane T3 sends a ball with no prisoner to win through the left tube.
  shoot("t3");
  EXPECT_GT(t.runUntil(60, [&] { return t.stat("hit:tube_left") > 0; }), 0);
  EXPECT_EQ(t.stat("hit:tube_left"), 1);
  // Up through the open spiral gate fast enough, the ball rides the spiral
  // to its top, which sends it back through the right tube.
  t.removeBalls();
  t.ballAt(575, 320, 0, -8);
  EXPECT_GT(t.runUntil(600, [&] { return t.stat("hit:tube_right") > 0; }), 0);
  EXPECT_EQ(t.stat("hit:tube_right"), 1);
  // A swing is counted once as it leaves the rest position, however long
  // the key stays down.
  idle(1);
  t.hold(KEY_LEFT_FLIPPER, 30);
  t.run(30);
  EXPECT_EQ(t.stat("hit:flipper_left"), 1);
  EXPECT_EQ(t.stat("hit:flipper_right"), 0);
  t.hold(KEY_RIGHT_FLIPPER, 30);
  t.run(30);
  t.hold(KEY_RIGHT_FLIPPER, 5);
  t.run(30);
  EXPECT_EQ(t.stat("hit:flipper_right"), 2);
  EXPECT_EQ(t.stat("hit:flipper_left"), 1);
}

TEST_F(StatsInPlay, TheFourLaneWordsAndTheLightRowAreCountedWhenComplete) {
  struct Case {
    const char* prefix;
    const char* stat;
  };
  for (const Case& c : {Case{"duma_lane", "evt:duma"}, Case{"krem_lane", "evt:ukaz"}, Case{"ussr", "evt:ussr"}}) {
    SCOPED_TRACE(c.prefix);
    for (int i = 0; i < 4; i++) {
      shoot(c.prefix + std::to_string(i));
      t.run(2);
      if (i < 3) {
        EXPECT_EQ(t.stat(c.stat), 0) << i + 1 << " of 4 made";
      }
    }
    // The row's lamps take a few frames to come fully on before it counts.
    EXPECT_GT(t.runUntil(120, [&] { return t.stat(c.stat) > 0; }), 0);
    idle(10);
    EXPECT_EQ(t.stat(c.stat), 1);
  }
  // With the Duma's feature off (no mission has turned it on) its word
  // brings no law: the law button has nothing to pass.
  ASSERT_EQ(game.duma, 0);
  EXPECT_EQ(game.laws, 0);
  shoot("law_button");
  t.run(2);
  EXPECT_EQ(t.stat("hit:law_button"), 1);
  EXPECT_EQ(t.stat("evt:law"), 0);
}

// One fall of a flap group: its three flaps shot down, the fall counted, the
// title played out (which moves the word on by a letter) and the flaps back
// up. The frames the title and the rise took.
int fallOfFlaps(LiveTable& t, const std::string& prefix, const char* stat, const int& word) {
  const int falls = t.stat(stat), letters = word;
  for (int i = 0; i < 3; i++) {
    t.removeBalls();
    if (t.shootAt(prefix + std::to_string(i)) < 0) {
      ADD_FAILURE() << prefix << i << " not hit";
      return -1;
    }
  }
  t.removeBalls();
  if (t.runUntil(300, [&] { return t.stat(stat) > falls; }) < 0) {
    ADD_FAILURE() << "the fall of " << prefix << " was not counted";
    return -1;
  }
  const int frames = t.runUntil(1200, [&] { return word > letters; });
  if (frames < 0) ADD_FAILURE() << "the word did not move on after the fall of " << prefix;
  // The flaps rise a frame step at a time.
  t.run(120);
  return frames;
}

TEST_F(StatsInPlay, FiveFallsOfTheTempleFlapsSpellTheBlessing) {
  for (int fall = 1; fall <= 5; fall++) {
    SCOPED_TRACE(fall);
    ASSERT_GT(fallOfFlaps(t, "amen", "evt:hflaps", game.amen), 0);
    EXPECT_EQ(t.stat("evt:hflaps"), fall);
    EXPECT_EQ(t.stat("evt:amen"), fall == 5 ? 1 : 0);
  }
  EXPECT_EQ(game.amen, 5);
}

TEST_F(StatsInPlay, FiveFallsOfTheMausoleumFlapsSpellItsWordAndOpenItsPrize) {
  for (int fall = 1; fall <= 5; fall++) {
    SCOPED_TRACE(fall);
    // The target inside is shut until the word is spelt.
    t.removeBalls();
    ASSERT_TRUE(t.hit("mausoleum"));
    EXPECT_EQ(t.stat("evt:mumra_prize"), 0);
    ASSERT_GT(fallOfFlaps(t, "mumra", "evt:mflaps", game.mumra), 0);
    EXPECT_EQ(t.stat("evt:mflaps"), fall);
    EXPECT_EQ(t.stat("evt:mumra"), fall == 5 ? 1 : 0);
  }
  t.removeBalls();
  ASSERT_TRUE(t.hit("mausoleum"));
  EXPECT_EQ(t.stat("evt:mumra_prize"), 1);
  // Collected once: the target shuts again behind it.
  t.run(2);
  ASSERT_TRUE(t.hit("mausoleum"));
  EXPECT_EQ(t.stat("evt:mumra_prize"), 1);
}

// The Kremlin's four lanes spelt four times bring four decrees; the decree
// button passes them one at a time, and the end of each one's title pays
// its reward: the small prize, an extra ball, a rise of power and, with the
// fourth, the mafia (paid off, with no feature on to put in crisis) and the
// decrees' prize lit on lane T7.
TEST_F(StatsInPlay, FourDecreesPassedPayTheirPrizesAndAnExtraBall) {
  // No decree yet: the button scores, and nothing is passed.
  shoot("ukazy_button");
  EXPECT_EQ(t.stat("hit:ukazy_button"), 1);
  EXPECT_EQ(t.stat("evt:ukazy"), 0);
  for (int word = 1; word <= 4; word++) {
    for (int i = 0; i < 4; i++) shoot("krem_lane" + std::to_string(i));
    ASSERT_GT(t.runUntil(60, [&] { return t.stat("evt:ukaz") == word; }), 0) << word;
    EXPECT_EQ(game.ukazy, word);
  }
  idle(600);
  const int balls = game.ballsLeft;
  const char* rewards[4] = {"evt:small_prize", "ball:xb", nullptr, nullptr};
  for (int n = 1; n <= 4; n++) {
    SCOPED_TRACE(n);
    shoot("ukazy_button");
    EXPECT_EQ(t.stat("evt:ukazy"), n);
    // Lane T7 pays the decrees' prize only once all four have passed.
    shoot("t7");
    t.run(2);
    EXPECT_EQ(t.stat("evt:ukazy_prize"), 0);
    if (rewards[n - 1]) {
      EXPECT_GT(t.runUntil(1200, [&] { return t.stat(rewards[n - 1]) > 0; }), 0);
      EXPECT_EQ(t.stat(rewards[n - 1]), 1);
    }
    if (n == 4) {
      EXPECT_GT(t.runUntil(1200, [&] { return t.lamp(LI_UKAZY_PRIZE) == LIGHT_BLINK; }), 0);
    }
    idle(900);
  }
  EXPECT_EQ(game.ballsLeft, balls + 1);
  EXPECT_EQ(game.ukazy, 0);
  // Every feature is off: the mafia found nothing to put in crisis.
  for (const char* s : {"obj:duma_crisis", "obj:zona_crisis", "obj:bd_crisis", "obj:gp_crisis"})
    EXPECT_EQ(t.stat(s), 0) << s;
  shoot("t7");
  t.run(2);
  EXPECT_EQ(t.stat("evt:ukazy_prize"), 1);
  EXPECT_NE(t.lamp(LI_UKAZY_PRIZE), LIGHT_BLINK);
  // The prize is collected once.
  idle(600);
  shoot("t7");
  t.run(2);
  EXPECT_EQ(t.stat("evt:ukazy_prize"), 1);
  EXPECT_EQ(t.stat("evt:small_prize"), 1);
  EXPECT_EQ(t.stat("ball:xb"), 1);
}

// The Duma ramp's top (lane T2) carries a fast enough ball over the left wall
// into the Duma, where it leaves the table.
int dumaEntries(LiveTable& t) {
  const std::string log = t.log(), entry = "TR_LEAVE_DUMA -> MILE3_TRIGGER";
  int n = 0;
  for (size_t at = log.find(entry); at != std::string::npos; at = log.find(entry, at + 1)) n++;
  return n;
}

void upTheDumaRamp(LiveTable& t) {
  const int before = dumaEntries(t);
  t.removeBalls();
  t.ballAt(235, 380, 0, -16);
  t.run(90);
  EXPECT_EQ(dumaEntries(t), before + 1) << "the ball did not reach the Duma";
}

TEST_F(StatsInPlay, AFullQuorumMakesTheDumaVoteOnTheBallThatEntersIt) {
  // Short of a quorum the Duma gives the ball straight back: no vote.
  upTheDumaRamp(t);
  EXPECT_EQ(t.stat("evt:dumavote"), 0);
  EXPECT_EQ(t.stat("evt:quorum"), 0);
  EXPECT_EQ(t.title(TITLE_FORE).rfind("dumavote", 0), std::string::npos);
  // Each Duma bumper hit adds to the quorum, which wanes meanwhile; a hot
  // bumper takes no new hit, so the shots go round the three.
  // It has to stay full while the ball climbs the ramp.
  for (int shot = 0; game.quorum < 99.5 && shot < 30; shot++) {
    const int hits = t.stat("hit:duma_bumper");
    shoot("duma_bumper" + std::to_string(shot % 3));
    ASSERT_EQ(t.stat("hit:duma_bumper"), hits + 1) << shot;
    if (game.quorum < 99.5) idle(20);
  }
  ASSERT_GE(game.quorum, 99.5);
  EXPECT_GE(t.stat("evt:quorum"), 1) << "the quorum lamp";
  upTheDumaRamp(t);
  EXPECT_EQ(t.stat("evt:dumavote"), 1);
  // The vote's draw follows the game clock: on this run the Duma votes an
  // extra ball, which its title's end lights.
  ASSERT_EQ(t.title(TITLE_FORE), "dumavote0");
  EXPECT_EQ(t.stat("ball:xb_lit"), 0);
  EXPECT_GT(t.runUntil(1200, [&] { return t.title(TITLE_FORE) != "dumavote0"; }), 0);
  EXPECT_EQ(t.title(TITLE_FORE), "xb_lit");
  EXPECT_EQ(t.stat("ball:xb_lit"), 1);
  EXPECT_EQ(t.lamp(LI_XB0), LIGHT_ON);
  // The vote over, the quorum starts from nothing again.
  EXPECT_LT(game.quorum, 1);
}

// A ball set down between the flippers drains.
void drain(LiveTable& t) {
  t.removeBalls();
  t.ballAt(380, 490);
}

TEST_F(StatsInPlay, ABallDrainedIsLostWithoutSaveTimeAndSavedWithIt) {
  ASSERT_EQ(game.saveTime, 0);
  drain(t);
  ASSERT_GT(t.runUntil(600, [&] { return t.stat("ball:lost") > 0; }), 0);
  EXPECT_EQ(t.stat("ball:saved"), 0);
  // The next ball, launched through the spring door, has save time: drained
  // now it is saved, not lost.
  ASSERT_GT(t.runUntil(1500, [&] { return !t.balls().empty(); }), 0);
  t.run(60);
  t.hold(KEY_LAUNCH, 60);
  ASSERT_GT(t.runUntil(300, [&] { return game.saveTime > 0; }), 0);
  drain(t);
  ASSERT_GT(t.runUntil(600, [&] { return t.stat("ball:saved") > 0; }), 0);
  EXPECT_EQ(t.stat("ball:saved"), 1);
  EXPECT_EQ(t.stat("ball:lost"), 1);
  EXPECT_EQ(game.ballsLeft, 1);
}

TEST_F(StatsInPlay, TheLightRowMadeTwiceLightsAnExtraBallThatItsOuterTargetCollects) {
  auto makeRow = [&] {
    for (int i = 0; i < 4; i++) shoot("ussr" + std::to_string(i));
    t.removeBalls();
    ASSERT_GT(t.runUntil(120, [&] { return t.lamp(LI_USSR0) == LIGHT_BLINK; }), 0);
    // The row blinks a while, then goes dark to be made again.
    ASSERT_GT(t.runUntil(600, [&] { return t.lamp(LI_USSR0) == LIGHT_OFF; }), 0);
  };
  makeRow();
  idle(600);
  EXPECT_EQ(t.stat("evt:ussr"), 1);
  EXPECT_EQ(t.stat("ball:xb_lit"), 0);
  EXPECT_EQ(t.stat("ball:xb"), 0) << "the outer target collected an extra ball none had lit";
  makeRow();
  EXPECT_GT(t.runUntil(1200, [&] { return t.stat("ball:xb_lit") > 0; }), 0);
  EXPECT_EQ(t.stat("evt:ussr"), 2);
  EXPECT_EQ(t.stat("ball:xb_lit"), 1);
  ASSERT_EQ(t.lamp(LI_XB0), LIGHT_ON);
  idle(300);
  shoot("ussr0");
  t.run(2);
  EXPECT_EQ(t.stat("ball:xb"), 1);
  EXPECT_EQ(t.lamp(LI_XB0), LIGHT_OFF);
  // Collected once.
  idle(60);
  shoot("ussr0");
  t.run(2);
  EXPECT_EQ(t.stat("ball:xb"), 1);
}

// The game over puts every feature in crisis; R then begins a new game with
// all of them off. (The first game of a table begins off without a sample:
// the table's load sets the game up.)
TEST_F(StatsInPlay, TheGameOverPutsEveryFeatureInCrisisAndANewGameTurnsThemOff) {
  const char* features[] = {"duma", "zona", "bd", "gp"};
  auto count = [&](const char* feature, const char* state) {
    return t.stat(("obj:" + std::string(feature) + "_" + state).c_str());
  };
  for (const char* f : features) {
    SCOPED_TRACE(f);
    EXPECT_EQ(count(f, "off"), 0);
    EXPECT_EQ(count(f, "crisis"), 0);
  }
  // Three balls drained: the game is over.
  for (int ball = 1; ball <= 3; ball++) {
    SCOPED_TRACE(ball);
    ASSERT_FALSE(game.over);
    drain(t);
    ASSERT_GT(t.runUntil(600, [&] { return t.stat("ball:lost") == ball; }), 0);
    ASSERT_GT(t.runUntil(1500, [&] { return !t.balls().empty() || game.over; }), 0);
  }
  ASSERT_TRUE(game.over);
  for (const char* f : features) {
    SCOPED_TRACE(f);
    EXPECT_EQ(count(f, "crisis"), 1);
    EXPECT_EQ(count(f, "off"), 0);
  }
  t.hold(KEY_R, 2);
  ASSERT_FALSE(game.over);
  for (const char* f : features) {
    SCOPED_TRACE(f);
    EXPECT_EQ(count(f, "off"), 1);
    EXPECT_EQ(count(f, "crisis"), 1);
    EXPECT_EQ(count(f, "on"), 0);
  }
}

}  // namespace
