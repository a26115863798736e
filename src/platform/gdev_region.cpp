// Regions as lists of disjoint rectangles. A union adds only the parts of the
// new rectangle that no rectangle covers yet; optimising merges rectangles
// that share a whole edge. The dirty sets of a frame hold tens of rectangles,
// so plain quadratic walks are fast enough and easy to trust.
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/gdev_internal.h"

namespace {

bool empty(const GdevRect& r) { return r.left >= r.right || r.top >= r.bottom; }

bool overlaps(const GdevRect& a, const GdevRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool reserve(GdevRegion* region, int needed) {
  if (needed <= region->capacity) return true;
  int capacity = std::max(needed, region->capacity ? region->capacity * 2 : 16);
  void (*release)(void*) = nullptr;
  auto* rects = static_cast<GdevRect*>(
      gdev::allocBlock(static_cast<size_t>(capacity) * sizeof(GdevRect), &release));
  if (!rects) return false;
  if (region->count) {
    std::memcpy(rects, region->rects, static_cast<size_t>(region->count) * sizeof(GdevRect));
  }
  if (region->rects) region->rectsRelease(region->rects);
  region->rects = rects;
  region->capacity = capacity;
  region->rectsRelease = release;
  return true;
}

// Appends the parts of piece that lie outside every rectangle from index
// `from` on, splitting it around the first one it overlaps.
bool addUncovered(GdevRegion* region, GdevRect piece, int from, int end) {
  for (int i = from; i < end; ++i) {
    const GdevRect o = region->rects[i];
    if (!overlaps(piece, o)) continue;
    GdevRect parts[4];
    int n = 0;
    if (piece.top < o.top) parts[n++] = {piece.left, piece.top, piece.right, o.top};
    if (o.bottom < piece.bottom) parts[n++] = {piece.left, o.bottom, piece.right, piece.bottom};
    int top = std::max(piece.top, o.top), bottom = std::min(piece.bottom, o.bottom);
    if (piece.left < o.left) parts[n++] = {piece.left, top, o.left, bottom};
    if (o.right < piece.right) parts[n++] = {o.right, top, piece.right, bottom};
    for (int k = 0; k < n; ++k) {
      if (!addUncovered(region, parts[k], i + 1, end)) return false;
    }
    return true;
  }
  if (!reserve(region, region->count + 1)) return false;
  region->rects[region->count++] = piece;
  return true;
}

// a and b share a whole edge: the union is one rectangle.
bool mergeable(const GdevRect& a, const GdevRect& b, GdevRect* out) {
  if (a.top == b.top && a.bottom == b.bottom && (a.right == b.left || b.right == a.left)) {
    *out = {std::min(a.left, b.left), a.top, std::max(a.right, b.right), a.bottom};
    return true;
  }
  if (a.left == b.left && a.right == b.right && (a.bottom == b.top || b.bottom == a.top)) {
    *out = {a.left, std::min(a.top, b.top), a.right, std::max(a.bottom, b.bottom)};
    return true;
  }
  return false;
}

}  // namespace

GdevRegion* gdevNewRegion() {
  void (*release)(void*) = nullptr;
  void* block = gdev::allocBlock(sizeof(GdevRegion), &release);
  if (!block) {
    gdev::fail("gdevNewRegion()", "not enough memory");
    return nullptr;
  }
  auto* region = new (block) GdevRegion{};
  region->release = release;
  return region;
}

void gdevFreeRegion(GdevRegion* region) {
  if (!region) return;
  if (region->rects) region->rectsRelease(region->rects);
  void (*release)(void*) = region->release;
  region->~GdevRegion();
  release(region);
}

bool gdevUnionRect(GdevRegion* region, const GdevRect* rect) {
  if (!region || !rect || empty(*rect)) return true;
  int before = region->count;
  if (!addUncovered(region, *rect, 0, before)) {
    region->count = before;
    gdev::fail("gdevUnionRect()", "not enough memory");
    return false;
  }
  return true;
}

void gdevClearRegion(GdevRegion* region) {
  if (region) region->count = 0;
}

bool gdevRegionIsEmpty(const GdevRegion* region) { return !region || region->count == 0; }

void gdevOptimizeRegion(GdevRegion* region) {
  if (!region) return;
  // Each pass grows every rectangle as far as its partners allow; a grown
  // rectangle may fit an earlier one, so passes repeat until one merges nothing.
  bool merged = true;
  while (merged) {
    merged = false;
    for (int i = 0; i < region->count; ++i) {
      for (int j = i + 1; j < region->count;) {
        GdevRect joined;
        if (!mergeable(region->rects[i], region->rects[j], &joined)) {
          ++j;
          continue;
        }
        region->rects[i] = joined;
        region->rects[j] = region->rects[--region->count];
        merged = true;
        j = i + 1;
      }
    }
  }
}

void gdevTraverseRegion(const GdevRegion* region, void (*visit)(const GdevRect* rect, void* user),
                        void* user) {
  if (!region || !visit) return;
  for (int i = 0; i < region->count; ++i) visit(&region->rects[i], user);
}
