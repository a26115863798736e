// The table compiler's pieces: reading the description, giving it meaning
// (and refusing what the game would silently misread), and the geometry
// that must match the board's conventions.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "anim/lights.h"
#include "physics/geometry.h"
#include "table/desc.h"
#include "table/geom.h"
#include "table/model.h"
#include "table/outputs.h"

namespace {

using tbl::P2;
using tbl::P3;

// A description that is complete apart from what a test adds: palettes with
// every role, and all 156 lamps on one line.
std::string baseDescription() {
  static const char* const kRoles[] = {"floor", "floor2", "rail", "metal", "rubber", "wood", "post", "bumper",
                                       "target", "flipper", "plastic", "building", "roof", "gold", "glass",
                                       "dark", "cabinet", "apron", "lamp", "text", "sky", "accent", "accent2"};
  std::string s;
  for (const char* r : {"comm", "demo", "dict"}) {
    s += std::string("palette ") + r + "\n";
    for (const char* role : kRoles) s += std::string("  ") + role + " #808080\n";
  }
  s += "lamp LI_SAVER0_ARROW LI_CRANE_T22\n  line 10 590 790 590\n";
  return s;
}

struct Built {
  tbl::Model model;
  tbl::Diag diag;
  bool ok = false;
  bool hasError(const std::string& part) const {
    for (const std::string& e : diag.errors)
      if (e.find(part) != std::string::npos) return true;
    return false;
  }
};

Built build(const std::string& extra) {
  Built b;
  std::vector<tbl::Block> blocks;
  tbl::parseText(baseDescription() + extra, "test.tbl", &blocks, &b.diag);
  b.ok = b.diag.ok() && tbl::buildModel(blocks, &b.model, &b.diag);
  return b;
}

TEST(TableDescription, TokensCommentsColoursAndQuotes) {
  struct Case {
    const char* line;
    std::vector<std::string> tokens;
  } cases[] = {
      {"object a wall   # a comment", {"object", "a", "wall"}},
      {"  floor #7c1612", {"floor", "#7c1612"}},
      {"# only a comment", {}},
      {"  text 1 2 8 0 \"ДУМА # 1\" gold", {"text", "1", "2", "8", "0", "ДУМА # 1", "gold"}},
      {"  set name \"flip1\" #", {"set", "name", "flip1"}},
  };
  for (const Case& c : cases) {
    std::vector<tbl::Block> blocks;
    tbl::Diag d;
    tbl::parseText(std::string("block\n") + c.line + "\n", "t", &blocks, &d);
    ASSERT_TRUE(d.ok()) << c.line;
    std::vector<std::string> got;
    if (c.line[0] != ' ') {
      for (size_t i = 1; i < blocks.size(); i++) {
        got.push_back(blocks[i].kind);
        for (const tbl::Token& t : blocks[i].args) got.push_back(t.text);
      }
    } else {
      for (const tbl::Attr& a : blocks[0].attrs) {
        got.push_back(a.name);
        for (const tbl::Token& t : a.args) got.push_back(t.text);
      }
    }
    EXPECT_EQ(got, c.tokens) << c.line;
  }
  std::vector<tbl::Block> blocks;
  tbl::Diag d;
  tbl::parseText("  orphan 1\nblock\n  text \"open\n", "f.tbl", &blocks, &d);
  ASSERT_EQ(d.errors.size(), 2u);
  EXPECT_NE(d.errors[0].find("f.tbl:1: attribute 'orphan' outside a block"), std::string::npos);
  EXPECT_NE(d.errors[1].find("f.tbl:3: closing double quote expected"), std::string::npos);
}

TEST(TableDescription, RefusesWhatTheGameWouldMisread) {
  const Built base = build("");
  ASSERT_TRUE(base.ok) << (base.diag.errors.empty() ? "" : base.diag.errors[0]);
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      // A key of the wrong type is ignored by the game: the compiler says so.
      {"object b bumper\n  circle 100 100 10\n  set k 1\n", "key 'k' of 'b' must be a fraction"},
      {"object b bumper\n  circle 100 100 10\n  set place 1.0\n", "must be an integer"},
      {"object b wall\n  circle 100 100 10\n  set attack 1.0\n", "family 'wall' reads no key 'attack'"},
      {"object b cannon\n  circle 100 100 10\n", "family 'cannon' has no reader"},
      {"object b flubber\n  circle 100 100 10\n", "unknown family 'flubber'"},
      {"object a wall\n  rect 0 0 10 10\nobject b wall\n  rect 1 1 9 9\n",
       "object 'b' has the section object_5_5 of 'a' on layer 0"},
      {"object a wall\n  circle 50 50 5\n  class nope\n", "class 'nope' is not defined"},
      {"object g gate\n  gate 0 0 10 0 4\n  set right_track \"nowhere\"\n", "names no registered track 'nowhere'"},
      {"object b bumper\n  circle 100 100 10\n  set sprite \"x.gsp\"\n", "'sprite' is drawn by the compiler"},
      {"lamp LI_VIDEO\n  at 5 5\n", "lamp LI_VIDEO placed twice"},
      {"class c\n  set attack 1\nobject t triangle\n  poly 0 0 10 0 0 10\n  class c\n",
       "class 'c': key 'attack' is not a well-typed key of family 'triangle'"},
      {"object f flipper\n  pivot 100 100\n  like nobody\n", "'like nobody' names no cflipper"},
      // Sizes far beyond any table are refused before they cost anything.
      {"object b wall\n  circle 100 100 2000000\n", "'2000000' is not a number"},
      {"track t\n  spacing 0.25\n  points 0 0 0  999999 0 0\n", "track 't' is too long for its spacing"},
  };
  for (const Case& c : cases) {
    const Built b = build(c.text);
    EXPECT_FALSE(b.ok) << c.text;
    EXPECT_TRUE(b.hasError(c.error)) << c.text << "\nfirst error: " << (b.diag.errors.empty() ? "" : b.diag.errors[0]);
  }
  // Two objects at one position on different layers have sections of their own.
  EXPECT_TRUE(build("object a wall\n  rect 0 0 10 10\nobject b wall\n  layer 3\n  rect 1 1 9 9\n").ok);
}

// The side a ball is on, by the rule the board's directional objects use:
// a1 is the angle of the axis (position to farthest vertex), a2 the angle of
// the ball seen from the position, both in [0, 2 pi).
bool engineLeftSide(const tbl::Object& o, P2 ball) {
  P2 axis{0, 0};
  double best = -1;
  for (const P2& v : o.outline) {
    const double d = tbl::len(v - o.pos);
    if (d > best) {
      best = d;
      axis = v - o.pos;
    }
  }
  auto angle = [](P2 v) {
    double a = std::atan2(v.y, v.x);
    return a < 0 ? a + 2 * std::numbers::pi : a;
  };
  const double a1 = angle(axis), a2 = angle(ball - o.pos);
  return (a1 <= a2 && a2 - a1 >= std::numbers::pi) || (a1 > a2 && a1 - a2 < std::numbers::pi);
}

TEST(TableDescription, GateLeftIsTheLeftOfItsDirection) {
  // "gate X0 Y0 X1 Y1 W": looking from (X0, Y0) towards (X1, Y1) on the
  // screen (y grows downwards), the left side is on the left hand.
  struct Case {
    double x0, y0, x1, y1;
    P2 left, right;
  } cases[] = {
      {100, 100, 140, 100, {120, 90}, {120, 110}},   // east: north is left
      {140, 100, 100, 100, {120, 110}, {120, 90}},   // west: south is left
      {100, 100, 100, 140, {110, 120}, {90, 120}},   // south: east is left
      {100, 140, 100, 100, {90, 120}, {110, 120}},   // north: west is left
      {100, 100, 130, 130, {120, 110}, {110, 120}},  // south-east
  };
  for (const Case& c : cases) {
    char text[160];
    std::snprintf(text, sizeof text, "object g gate\n  gate %g %g %g %g 6\n", c.x0, c.y0, c.x1, c.y1);
    const Built b = build(text);
    ASSERT_TRUE(b.ok) << text;
    const tbl::Object& g = b.model.objects[0];
    EXPECT_EQ(g.sectionX, static_cast<int>(c.x0));
    EXPECT_EQ(g.sectionY, static_cast<int>(c.y0));
    EXPECT_TRUE(engineLeftSide(g, c.left)) << text;
    EXPECT_FALSE(engineLeftSide(g, c.right)) << text;
  }
}

// Edge lines as the board computes them must face into the solid: a point
// inside is on the positive side of every edge of a convex outline.
TEST(TableDescription, OutlinesFaceTheBoardsWay) {
  const Built b = build(
      "object r wall\n  rect 10 10 40 30\n"
      "object c wall\n  circle 100 100 12\n"
      "object s wall\n  strip 6 200 100 260 100\n"
      "object t triangle\n  poly 300 300 300 360 360 380\n"
      "object f cflipper\n  pivot 400 400\n  set place 2\n  set min_angle -28.0\n  set length 60.0\n");
  ASSERT_TRUE(b.ok) << b.diag.errors[0];
  for (const tbl::Object& o : b.model.objects) {
    std::vector<Vec3> v;
    P2 c{0, 0};
    for (const P2& p : o.outline) {
      v.push_back({p.x - o.pos.x, p.y - o.pos.y, 0});
      c = c + p;
    }
    c = c * (1.0 / o.outline.size());
    std::vector<EdgeLine> e(v.size());
    Outline ol{};
    ol.n = static_cast<int>(v.size());
    ol.vertices = v.data();
    ol.edges = e.data();
    shComputeEdges(&ol);
    for (int i = 0; i < ol.n; i++)
      EXPECT_GT(e[i].nx * (c.x - o.pos.x) + e[i].ny * (c.y - o.pos.y) - e[i].d, 0) << o.name << " edge " << i;
  }
}

TEST(TableDescription, FlipperOutlineIsTheCapsuleAtRest) {
  // A right flipper at rest angle -28: its tip lies below and to the left of
  // the pivot, and every outline point is on the capsule's rim.
  const Built b = build(
      "object f cflipper\n  pivot 454 545\n  set place 3\n  set right 1\n  set min_angle -28.0\n"
      "  set length 64.0\n  set radius1 9.0\n  set radius2 5.0\n"
      "object p flipper\n  pivot 454 545\n  layer 3\n  like f\n  set right 1\n");
  ASSERT_TRUE(b.ok) << b.diag.errors[0];
  const tbl::Object& f = b.model.objects[0];
  const double a = (180.0 - 28.0) * tbl::kDeg;
  const P2 pivot{454, 545}, tip{454 + 64 * std::cos(a), 545 + 64 * std::sin(a)};
  EXPECT_LT(tip.x, pivot.x);
  EXPECT_GT(tip.y, pivot.y);
  for (const P2& p : f.outline) {
    // Distance to the pivot-tip segment against the radius there.
    const P2 d = tip - pivot;
    const double t = std::clamp(tbl::dot(p - pivot, d) / tbl::dot(d, d), 0.0, 1.0);
    const double dist = tbl::len(p - (pivot + d * t));
    EXPECT_GE(dist, 5.0 - 1e-6);
    EXPECT_LE(dist, 9.0 + 1e-6);
  }
  EXPECT_NEAR(tbl::len(f.outline.front() - pivot), 9.0, 1e-9);
  const tbl::Object& p = b.model.objects[1];
  ASSERT_EQ(p.outline.size(), f.outline.size());
  for (size_t i = 0; i < p.outline.size(); i++) EXPECT_NEAR(tbl::len(p.outline[i] - f.outline[i]), 0, 1e-12);
}

TEST(TableDescription, TracksAreEvenlySpacedAndRaiseTheirLayer) {
  const Built b = build(
      "track r\n  layer 2\n  spacing 3\n  width 20\n  points 100 500 0  100 400 10  arc 140 400 40 180 270 10 30  "
      "200 360 30\n");
  ASSERT_TRUE(b.ok) << b.diag.errors[0];
  const tbl::Track& t = b.model.tracks[0];
  ASSERT_GT(t.points.size(), 50u);
  for (size_t i = 1; i < t.points.size(); i++) ASSERT_NEAR(tbl::len3(t.points[i] - t.points[i - 1]), 3.0, 1e-9);
  EXPECT_NEAR(tbl::len3(t.points[0] - P3{100, 500, 0}), 0, 1e-12);
  // The last point may run past the end by less than a step, along the last segment.
  EXPECT_LT(tbl::len3(t.points.back() - P3{200, 360, 30}), 3.0);
  tbl::HeightMaps maps;
  tbl::buildHeights(b.model, &maps);
  for (size_t i = 0; i < t.points.size(); i += 7) {
    const P3 p = t.points[i];
    if (p.x > 199) continue;
    EXPECT_NEAR(maps.at(2, static_cast<int>(p.x), static_cast<int>(p.y)), p.z, 1.2) << "point " << i;
    EXPECT_EQ(maps.at(0, static_cast<int>(p.x), static_cast<int>(p.y)), 0.0);
  }
  EXPECT_EQ(maps.at(2, 600, 100), 0.0);  // away from the ramp: the layer's base
}

}  // namespace
