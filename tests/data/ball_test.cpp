// The ball and shadow sprites against the shipped global configuration: the
// ball's drawing picks a frame from the projected ball size and the subpixel
// position, and that frame must exist and show a ball of that size at that
// subpixel offset, wherever on the table the ball is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "core/conf.h"
#include "core/log.h"
#include "gfx/gspwrite.h"
#include "gfx/sprite.h"
#include "physics/ball.h"
#include "physics/geometry.h"
#include "support/testutil.h"

namespace {

const std::string kGame = PB_GAME_DIR;

struct BallKeys {
  PerspKeys persp;
  int subpixel, dframe;
  std::string sprite, shadow;
};

// The frame the ball's drawing code picks for a ball at table (x, y) whose
// screen position is (sx, sy): the projected width of "persp.glb_ballsize"
// at (x, y, 0), truncated, plus the subpixel group, minus "ball.dframe".
struct Pick {
  int size;   // trunc(projected width) - dframe: the frame within a group
  int frame;  // the frame drawn
};
Pick pickFrame(const Sprite* s, const BallKeys& k, double x, double y, double sx, double sy) {
  const double half = k.persp.ballsize / 2.0;
  const int size = static_cast<int>(PERSP_X(x + half, y, 0) - PERSP_X(x - half, y, 0));
  return {size - k.dframe, ballFrame(size, sx, sy, s->frames[0].width, s->frames[0].height, s->numfrms,
                                     k.subpixel, k.dframe)};
}

struct Shape {
  double area = 0;        // pixels with alpha >= 128
  double cx = 0, cy = 0;  // alpha-weighted centroid
  int partial = 0;        // pixels with 0 < alpha < 255
  int minLuma = 255, maxLuma = 0, maxAlpha = 0;
  double meanLuma = 0;
};

Shape measure(const Sprite* s, int frame) {
  Shape m;
  std::vector<uint8_t> px;
  EXPECT_EQ(gspDecodeFrame(s, frame, &px), 0);
  const int w = s->frames[frame].width;
  double weight = 0;
  int lit = 0;
  for (size_t i = 0; i < px.size() / 4; i++) {
    const int a = px[4 * i + 3];
    if (a == 0) continue;
    const double x = static_cast<double>(i % static_cast<size_t>(w)) + 0.5;
    const double y = static_cast<double>(i / static_cast<size_t>(w)) + 0.5;
    m.cx += a * x;
    m.cy += a * y;
    weight += a;
    if (a >= 128) m.area += 1;
    if (a < 255) m.partial++;
    m.maxAlpha = std::max(m.maxAlpha, a);
    const int luma = (px[4 * i] * 3 + px[4 * i + 1] * 6 + px[4 * i + 2]) / 10;
    if (a == 255) {
      m.minLuma = std::min(m.minLuma, luma);
      m.maxLuma = std::max(m.maxLuma, luma);
    }
    m.meanLuma += luma;
    lit++;
  }
  if (weight > 0) {
    m.cx /= weight;
    m.cy /= weight;
  }
  if (lit > 0) m.meanLuma /= lit;
  return m;
}

class BallSprites : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    logReset();
    ConfSet global{};
    ASSERT_EQ(CONF_READ(&global, (kGame + "/conf/global.conf").c_str()), 0);
    perspReadKeys(&global, &keys.persp);
    keys.subpixel = conf_getint(&global, "ball.subpixel", 1);
    keys.dframe = conf_getint(&global, "ball.dframe", 0);
    keys.sprite = conf_getstr(&global, "ball.sprite", "data/ball.gsp");
    keys.shadow = conf_getstr(&global, "ball.shadow_sprite", "data/ballshadow.gsp");
    conf_free(&global);
    CLEAR_LAYER_HEIGHTS();
    perspSetupTable(&keys.persp);  // the table's 800 x 600 without height maps
    ball = SPR_CREATE_FLAGS((kGame + "/" + keys.sprite).c_str(), "ball", SPR_LOAD_RAW);
    shadow = SPR_CREATE_FLAGS((kGame + "/" + keys.shadow).c_str(), "shadow", SPR_LOAD_RAW);
  }
  static void TearDownTestSuite() {
    if (ball) SPR_FREE(ball);
    if (shadow) SPR_FREE(shadow);
    ball = shadow = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(ball, nullptr);
    ASSERT_NE(shadow, nullptr);
    ASSERT_GE(keys.subpixel, 2);
    ASSERT_EQ(ball->numfrms % (keys.subpixel * keys.subpixel), 0);
    group = ball->numfrms / (keys.subpixel * keys.subpixel);
  }
  static BallKeys keys;
  static Sprite* ball;
  static Sprite* shadow;
  int group = 0;
};
BallKeys BallSprites::keys;
Sprite* BallSprites::ball = nullptr;
Sprite* BallSprites::shadow = nullptr;

TEST(GlobalConf, ViewAndBallKeysHaveTheTypesTheReadersAsk) {
  // A fraction written without a point is an integer, and the reader of a
  // fraction key then ignores it and takes the default.
  ConfSet global{};
  ASSERT_EQ(CONF_READ(&global, (kGame + "/conf/global.conf").c_str()), 0);
  for (const char* key : {"persp.fovx", "persp.fovy", "persp.angle", "persp.dist", "ball.radius"})
    EXPECT_EQ(conf_gettype(&global, key), CONF_DOUBLE) << key;
  for (const char* key : {"persp.glb_ballsize", "persp.glb_dx", "persp.glb_dy", "persp.glb_dz",
                          "persp.glb_ddepth", "ball.subpixel", "ball.dframe"})
    EXPECT_EQ(conf_gettype(&global, key), CONF_INT) << key;
  for (const char* key : {"ball.sprite", "ball.shadow_sprite"}) EXPECT_EQ(conf_gettype(&global, key), CONF_STRING) << key;
  EXPECT_EQ(conf_getdouble(&global, "ball.radius", 0), 7.5);
  conf_free(&global);
}

TEST_F(BallSprites, EveryTablePositionPicksAFrameOfItsSize) {
  int lo = group, hi = -1;
  for (int y = 0; y <= 600; y += 5) {
    for (int x = 0; x <= 800; x += 40) {
      const double sx = PERSP_X(x, y, 0), sy = PERSP_Y(y, 0);
      const Pick p = pickFrame(ball, keys, x, y, sx, sy);
      // The size lies inside one group, so no subpixel step can push the
      // frame into the neighbouring group or past the end.
      ASSERT_GE(p.size, 0) << x << "," << y;
      ASSERT_LT(p.size, group) << x << "," << y;
      ASSERT_GE(p.frame, 0);
      ASSERT_LT(p.frame, ball->numfrms);
      lo = std::min(lo, p.size);
      hi = std::max(hi, p.size);
      // Every subpixel group stays inside the sprite as well.
      for (int g = 0; g < keys.subpixel * keys.subpixel; g++) ASSERT_LT(g * group + p.size, ball->numfrms);
    }
  }
  // Some room is left at both ends for a ball just off the table.
  EXPECT_GE(lo, 1);
  EXPECT_LE(hi, group - 2);
  // Far and near rows really use different frames.
  EXPECT_GE(hi - lo, 5);
}

TEST_F(BallSprites, FramesShowTheBallAtTheirSizeAndSubpixelOffset) {
  const int n = keys.subpixel;
  for (int i = 0; i < group; i++) {
    const Shape base = measure(ball, i);
    // Diameter from the opaque area: the size the frame stands for, plus half
    // a pixel (the middle of the projected widths that truncate to it).
    const double d = 2 * std::sqrt(base.area / std::numbers::pi);
    EXPECT_NEAR(d, keys.dframe + i + 0.5, 0.6) << "frame " << i;
    for (int b = 0; b < n; b++) {
      for (int a = 0; a < n; a++) {
        const Shape m = measure(ball, (n * b + a) * group + i);
        EXPECT_NEAR(m.cx - base.cx, static_cast<double>(a) / n, 0.06) << i << " a" << a << " b" << b;
        EXPECT_NEAR(m.cy - base.cy, static_cast<double>(b) / n, 0.06) << i << " a" << a << " b" << b;
      }
    }
  }
  // Variants of one size are different pictures, not copies.
  std::vector<uint8_t> first, other;
  ASSERT_EQ(gspDecodeFrame(ball, 5, &first), 0);
  for (int g = 1; g < n * n; g++) {
    ASSERT_EQ(gspDecodeFrame(ball, g * group + 5, &other), 0);
    EXPECT_NE(first, other) << "group " << g;
  }
}

TEST_F(BallSprites, AllFramesShareOneCanvas) {
  // The drawing code centres the sprite by its width and height; with one
  // canvas for all frames it does not matter which frame it asks.
  for (const Sprite* s : {ball, shadow}) {
    for (int f = 0; f < s->numfrms; f++) {
      EXPECT_EQ(s->frames[f].width, ball->frames[0].width) << f;
      EXPECT_EQ(s->frames[f].height, ball->frames[0].height) << f;
    }
  }
  EXPECT_EQ(shadow->numfrms, ball->numfrms);  // the shadow takes the ball's frame number
}

TEST_F(BallSprites, BallIsShadedSteelWithASoftEdgeAndADarkShadow) {
  for (int f = 0; f < ball->numfrms; f += 7) {
    const Shape m = measure(ball, f);
    EXPECT_GT(m.partial, 8) << f;                  // anti-aliased rim
    EXPECT_GE(m.maxLuma - m.minLuma, 120) << f;  // highlight and dark reflection
    EXPECT_GE(m.maxLuma, 230) << f;
    const Shape sh = measure(shadow, f);
    EXPECT_GT(sh.area + sh.partial, m.area) << f;  // wider than the ball
    EXPECT_LT(sh.maxAlpha, 255) << f;             // the table shows through
    EXPECT_LT(sh.meanLuma, 20) << f;
    EXPECT_GT(sh.cy, m.cy + 1) << f;  // cast downwards
  }
}

TEST(BallGenerator, IsDeterministicAndMatchesTheBuild) {
  TempDir a, b;
  const RunResult ra = runProgram(std::string(PB_BIN_DIR) + "/pbball", {a.path});
  ASSERT_EQ(ra.exitCode, 0) << ra.err;
  ASSERT_EQ(runProgram(std::string(PB_BIN_DIR) + "/pbball", {b.path}).exitCode, 0);
  for (const char* f : {"data/ball.gsp", "data/ballshadow.gsp"}) {
    const std::string bytes = readFile(a.file(f));
    EXPECT_FALSE(bytes.empty()) << f;
    EXPECT_EQ(bytes, readFile(b.file(f))) << f;
    EXPECT_EQ(bytes, readFile(kGame + "/" + f)) << f;
  }
  EXPECT_EQ(runProgram(std::string(PB_BIN_DIR) + "/pbball", {}).exitCode, 1);
}

}  // namespace
