#include <gtest/gtest.h>

#include <vector>

#include "platform/gdev.h"

namespace {

constexpr int kGrid = 24;

struct RegionFree {
  void operator()(GdevRegion* r) const { gdevFreeRegion(r); }
};
using RegionPtr = std::unique_ptr<GdevRegion, RegionFree>;

// How many of the region's rectangles cover each cell of a small grid.
std::vector<int> coverage(const GdevRegion* region) {
  std::vector<int> cells(kGrid * kGrid, 0);
  gdevTraverseRegion(
      region,
      [](const GdevRect* r, void* user) {
        auto* c = static_cast<std::vector<int>*>(user);
        for (int y = r->top; y < r->bottom; ++y)
          for (int x = r->left; x < r->right; ++x) ++(*c)[static_cast<size_t>(y * kGrid + x)];
      },
      &cells);
  return cells;
}

std::vector<int> paint(const std::vector<GdevRect>& rects) {
  std::vector<int> cells(kGrid * kGrid, 0);
  for (const GdevRect& r : rects)
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) cells[static_cast<size_t>(y * kGrid + x)] = 1;
  return cells;
}

RegionPtr build(const std::vector<GdevRect>& rects) {
  RegionPtr region(gdevNewRegion());
  for (const GdevRect& r : rects) EXPECT_TRUE(gdevUnionRect(region.get(), &r));
  return region;
}

const std::vector<std::vector<GdevRect>> kSets = {
    {{2, 2, 10, 10}, {5, 5, 15, 15}},                          // overlapping corners
    {{0, 0, 20, 20}, {5, 5, 8, 8}},                            // second inside the first
    {{5, 5, 8, 8}, {0, 0, 20, 20}},                            // first inside the second
    {{0, 4, 20, 8}, {8, 0, 12, 20}, {2, 2, 18, 18}},           // a cross under a square
    {{1, 1, 3, 3}, {3, 1, 5, 3}, {1, 3, 3, 5}, {3, 3, 5, 5}},  // four touching tiles
    {{0, 0, 4, 4}, {4, 4, 4, 9}, {6, 6, 2, 2}},                // empty rectangles change nothing
    {{0, 0, 6, 2}, {0, 2, 2, 6}},                              // an L
};

// Every pixel of the union is covered by exactly one rectangle, and no other.
TEST(RegionTest, UnionKeepsRectanglesDisjoint) {
  for (size_t i = 0; i < kSets.size(); ++i) {
    SCOPED_TRACE(i);
    RegionPtr region = build(kSets[i]);
    EXPECT_EQ(coverage(region.get()), paint(kSets[i]));
  }
}

TEST(RegionTest, OptimiseMergesNeighboursWithoutChangingThePixels) {
  struct Case {
    size_t set;
    int rectsAfter;
  };
  // The four tiles become one square; the L stays two rectangles; a square
  // inside another leaves only the outer one.
  const Case cases[] = {{4, 1}, {6, 2}, {1, 1}, {2, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.set);
    RegionPtr region = build(kSets[c.set]);
    gdevOptimizeRegion(region.get());
    EXPECT_EQ(region->count, c.rectsAfter);
    EXPECT_EQ(coverage(region.get()), paint(kSets[c.set]));
  }
  // Pieces split around a hole merge back once the hole is filled.
  RegionPtr holed = build({{4, 4, 6, 6}, {0, 0, 10, 10}});
  gdevOptimizeRegion(holed.get());
  EXPECT_EQ(holed->count, 1);
  EXPECT_EQ(coverage(holed.get()), paint({{0, 0, 10, 10}}));
}

TEST(RegionTest, TraverseVisitsEachRectangleAndClearEmpties) {
  RegionPtr region = build({{0, 0, 2, 2}, {10, 10, 12, 13}});
  int visits = 0, area = 0;
  struct Tally {
    int* visits;
    int* area;
  } tally{&visits, &area};
  gdevTraverseRegion(
      region.get(),
      [](const GdevRect* r, void* user) {
        auto* t = static_cast<Tally*>(user);
        ++*t->visits;
        *t->area += (r->right - r->left) * (r->bottom - r->top);
      },
      &tally);
  EXPECT_EQ(visits, 2);
  EXPECT_EQ(area, 4 + 6);
  EXPECT_FALSE(gdevRegionIsEmpty(region.get()));
  gdevClearRegion(region.get());
  EXPECT_TRUE(gdevRegionIsEmpty(region.get()));
  GdevRect again{1, 1, 2, 2};
  gdevUnionRect(region.get(), &again);
  EXPECT_EQ(region->count, 1);
}

}  // namespace
