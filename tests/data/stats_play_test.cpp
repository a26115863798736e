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

}  // namespace
