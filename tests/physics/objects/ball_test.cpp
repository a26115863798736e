#include <cmath>

#include "physics/objects/table_fixture.h"

namespace {

class BallTest : public TableFixture {};

TEST_F(BallTest, FrameBySizeAndSubpixel) {
  // Frames are laid out as s x s blocks of one frame per size: the block of
  // the subpixel offset (a, b) starts at (count / s^2) x (s b + a).
  struct Case {
    int size;
    double sx, sy;
    int subpixel, dframe, expected;
  } cases[] = {
      {7, 100.0, 50.0, 1, 0, 7},      // no subpixel variants
      {7, 100.0, 50.0, 1, 3, 4},      // dframe moves every frame down
      {7, 100.0, 50.0, 2, 0, 7},      // (0, 0): the first block
      {7, 100.5, 50.0, 2, 0, 7 + 10},  // a = 1
      {7, 100.0, 50.5, 2, 0, 7 + 20},  // b = 1
      {7, 100.75, 50.75, 2, 0, 7 + 30},
      {7, 100.4, 50.9, 4, 0, 7 + 5 * (4 * 3 + 1)},  // s = 4: a = 1, b = 3
  };
  for (const auto& c : cases) {
    int count = c.subpixel >= 2 ? (c.subpixel == 2 ? 40 : 80) : 20;
    // Even sprite sizes keep the half widths whole.
    EXPECT_EQ(ballFrame(c.size, c.sx, c.sy, 16, 16, count, c.subpixel, c.dframe), c.expected)
        << c.sx << "," << c.sy << " s=" << c.subpixel;
  }
}

TEST_F(BallTest, BallIsDrawnThroughTheView) {
  std::string path = sprite("ball.gsp", 30, 12, 12);
  Sprite* s = SPR_CREATE(path.c_str());
  ASSERT_NE(s, nullptr);
  perspSetupTable(&gTable.persp);
  BallData d{};
  d.pos = Vec3{400, 300, 0};
  d.radius = 3;
  d.noaccel = 1;
  BoardObject* b = CREATE_BALL(&d, s, s, 1);
  ASSERT_NE(b, nullptr);
  BallParms* p = ballParms(b);
  ASSERT_NE(p, nullptr);
  ASSERT_NE(p->sprite, nullptr);
  EXPECT_EQ(p->sprite->layer, 3);
  EXPECT_EQ(p->sprite2->layer, 0);
  p->jumping = 0;
  step(1);
  EXPECT_EQ(p->sprite->x, -100);  // frozen in the step that made it: not drawn yet
  step(1);
  double sx = PERSP_X(400, 300, 0), sy = PERSP_Y(300, 0);
  EXPECT_EQ(p->sprite->x, static_cast<int>(std::floor(sx - 6)));
  EXPECT_EQ(p->sprite->y, static_cast<int>(std::floor(sy - 6)));
  EXPECT_EQ(p->sprite->z, static_cast<int>(PERSP_DEPTH(300, 0) - 3));
  int size = static_cast<int>(PERSP_X(407.5, 300, 0) - PERSP_X(392.5, 300, 0));
  EXPECT_EQ(p->sprite->frame, size);
  EXPECT_EQ(p->sprite2->frame, size);
  // A jump lifts the drawn ball: higher on the screen.
  int y0 = p->sprite->y;
  p->jumping = 1;
  p->jumpVelo = 4;
  step(1);
  EXPECT_LT(p->sprite->y, y0);
  EXPECT_GT(b->u.ball.pos.z, 0);
  // Removing the ball gives back both instances.
  BOARD_KILL(b->id);
  EXPECT_FALSE(vboard.objects[0].inUse && vboard.objects[0].sprite == s && !vboard.objects[0].dead);
}

TEST_F(BallTest, GravityAirAndTheSpeedLimit) {
  params.gravity = 0.5;
  params.airFactor = 0.9;
  BoardObject* b = ball(400, 100, 3, 0);
  ballParms(b)->maxvelo = 100;
  step(1);  // frozen while fresh
  double vx = b->u.ball.velo.x, vy = b->u.ball.velo.y;
  step(1, 2.0);
  EXPECT_DOUBLE_EQ(b->u.ball.velo.x, vx * std::pow(0.9, 2.0));
  EXPECT_DOUBLE_EQ(b->u.ball.velo.y, (vy + 0.5 * 2.0) * std::pow(0.9, 2.0));
  ballParms(b)->maxvelo = 1;
  step(1);
  EXPECT_NEAR(std::hypot(b->u.ball.velo.x, b->u.ball.velo.y), 1.0, 1e-12);
  b->u.ball.noaccel = 1;
  double before = b->u.ball.velo.y;
  step(1);
  EXPECT_DOUBLE_EQ(b->u.ball.velo.y, before);
}

TEST_F(BallTest, BallLeavesItsTrackAtTheEnd) {
  Track* t = static_cast<Track*>(std::calloc(1, sizeof(Track)));
  t->count = 3;
  t->spacing = 10;
  t->points = static_cast<TrackVec*>(std::calloc(3, sizeof(TrackVec)));
  for (int i = 0; i < 3; i++) t->points[i] = TrackVec{200, 300.0 - 10 * i, 0};  // up the table
  BallData d{};
  d.radius = 3;
  d.track = t;
  d.trackpos = 15;
  d.trackvelo = 2;
  d.noaccel = 1;
  BoardObject* b = CREATE_BALL(&d, nullptr, nullptr, 1);
  ASSERT_NE(b, nullptr);
  step(1);
  step(5, 1.0);  // 15 -> 25: past the last point at 20
  EXPECT_EQ(b->u.ball.track, nullptr);
  EXPECT_NEAR(b->u.ball.velo.x, 0, 1e-12);
  EXPECT_NEAR(b->u.ball.velo.y, -2, 1e-12);  // the track speed along the last segment
  EXPECT_LT(b->u.ball.pos.y, 280);
  BOARD_KILL(b->id);
  trackFree(t);
  std::free(t);
}

}  // namespace
