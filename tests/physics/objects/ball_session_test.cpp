// The session's ball settings that every maker of balls reads: the radius
// and the ball and shadow sprites, found among the loaded sprites by the
// paths the global configuration gives them.
#include <string>

#include "physics/objects/routing_internal.h"
#include "physics/objects/table_fixture.h"

namespace {

class BallSessionTest : public TableFixture {};

TEST_F(BallSessionTest, RadiusIsAFractionOrAWholeNumberAndOtherwiseThree) {
  struct Case {
    const char* what;
    const char* conf;
    double radius;
  };
  const Case cases[] = {
      {"a fraction", "[ball]\nradius = 4.5\n", 4.5},
      {"a whole number", "[ball]\nradius = 4\n", 4},
      {"a string is no radius", "[ball]\nradius = \"5\"\n", 3},
      {"no radius", "[ball]\n", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    setGlobal(c.conf);
    EXPECT_EQ(ballRadius(&global), c.radius);
    // The balls objects put on the table and the player's new ball.
    BallData d{};
    BoardObject* b = routingCreateBall(&d, 1);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->u.ball.radius, c.radius);
    BOARD_KILL(b->id);
    int lmask = 0;
    ballNewBallData(&global, 1.0, 0, &d, &lmask);
    EXPECT_EQ(d.radius, c.radius);
  }
}

TEST_F(BallSessionTest, SpritesAreTheLoadedOnesNamedByTheConfiguredPaths) {
  const std::string file = sprite("ball.gsp", 2);
  Sprite* own = SPR_CREATE(file.c_str());
  Sprite* shadow = SPR_CREATE_ALT(file.c_str(), "data/ballshadow.gsp");
  // A sprite's name keeps the first 63 characters of a longer path.
  const std::string longPath = "data/" + std::string(70, 'b') + ".gsp";
  Sprite* cut = SPR_CREATE_ALT(file.c_str(), longPath.c_str());
  ASSERT_TRUE(own && shadow && cut);
  struct Case {
    const char* what;
    std::string keys;
    Sprite* ball;
    Sprite* shadow;
  };
  const Case cases[] = {
      {"both named", "sprite = \"" + file + "\"\nshadow_sprite = \"data/ballshadow.gsp\"\n", own, shadow},
      {"the default paths, of which only the shadow's is loaded", "", nullptr, shadow},
      {"a path no loaded sprite has", "sprite = \"data/other.gsp\"\n", nullptr, shadow},
      {"empty paths", "sprite = \"\"\nshadow_sprite = \"\"\n", nullptr, nullptr},
      {"a path longer than a sprite name", "sprite = \"" + longPath + "\"\n", cut, shadow},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    setGlobal("[ball]\n" + c.keys);
    Sprite* b = own;
    Sprite* s = own;
    ballSessionSprites(&b, &s);
    EXPECT_EQ(b, c.ball);
    EXPECT_EQ(s, c.shadow);
  }
  // A sprite freed is no longer found.
  SPR_FREE(shadow);
  setGlobal("[ball]\n");
  Sprite *b, *s;
  ballSessionSprites(&b, &s);
  EXPECT_EQ(s, nullptr);
}

}  // namespace
