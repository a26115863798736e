#include <cmath>

#include "physics/table_fixture.h"

namespace {

int gHits = 0, gUnhits = 0;
BoardEvent gLast{};

int recordingWall(BoardObject* o, BoardEvent* e) {
  if (e->type == BE_HIT) {
    gHits++;
    gLast = *e;
    BOUNCE_SHAPE(e, o, e->other);
  } else if (e->type == BE_UNHIT) {
    gUnhits++;
  }
  return 0;
}

class BoardTest : public TableFixture {
 protected:
  void SetUp() override {
    TableFixture::SetUp();
    gHits = gUnhits = 0;
    gLast = BoardEvent{};
  }
  BoardObject* wall(Outline* o, double k = 1.0, int quick = 1) {
    ShapeData d = oprShapeData(o, k);
    d.quickRelease = quick;
    return BOARD_ADDSHAPE(recordingWall, 0, &d);
  }
};

TEST_F(BoardTest, BallHitsTheEdgeOfABoxAtTheExactTime) {
  wall(box(100, 100, 200, 200));
  BoardObject* b = ball(90, 150, 2, 0);
  step(1);  // fresh: frozen in the step that added it
  EXPECT_EQ(b->u.ball.pos.x, 90);
  step(1, 10.0);
  // The ball touches at x = 97 (radius 3) after 3.5 of the step's time.
  ASSERT_EQ(gHits, 1);
  EXPECT_NEAR(gLast.dt, 3.5, 1e-12);
  EXPECT_NEAR(gLast.contact.normal.x, -1, 1e-12);
  EXPECT_EQ(gLast.contact.kind, 1);
}

}  // namespace
