#include "physics/broadphase.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/log.h"

namespace {

BpKey keyOf(const BoardObject* o) {
  BpKey k{};
  k.used = o->id >= 0;
  if (!k.used) return k;
  k.kind = o->kind;
  if (o->kind != BK_SHAPE) return k;
  const ShapeData* s = &o->u.shape;
  k.vx = s->velo.x;
  k.vy = s->velo.y;
  // A shape with a velocity is always tested wherever it is: it may move
  // itself without the index being rebuilt.
  if (!(k.vx == 0 && k.vy == 0)) return k;
  k.px = s->outline.pos.x;
  k.py = s->outline.pos.y;
  k.xmin = s->outline.xmin;
  k.xmax = s->outline.xmax;
  k.ymin = s->outline.ymin;
  k.ymax = s->outline.ymax;
  return k;
}

// Bit for bit, without a library call: this runs over every slot each step.
bool sameKey(const BpKey& a, const BpKey& b) {
  static_assert(sizeof(BpKey) == 9 * sizeof(uint64_t));
  uint64_t x[9], y[9];
  std::memcpy(x, &a, sizeof x);
  std::memcpy(y, &b, sizeof y);
  uint64_t d = 0;
  for (int i = 0; i < 9; i++) d |= x[i] ^ y[i];
  return d == 0;
}

bool sane(double v) { return std::fabs(v) <= kBpLimit; }  // false for NaN too

// A coordinate's column or row, clamped into the grid. Monotone, so boxes
// that overlap get cell ranges that overlap.
int cellOf(double v, int cells) {
  int c = static_cast<int>(std::floor(v / static_cast<double>(BP_CELL)));
  return c < 0 ? 0 : c >= cells ? cells - 1 : c;
}

// The cell range of a still shape's box in table coordinates, or false when
// the shape goes on the always-tested list. The box is taken whichever way
// round its bounds are: the swept test rejects a ball only when it misses
// the box, and a ball that misses the span between the two bounds misses it.
bool shapeCells(const BpKey& k, int* c0, int* r0, int* c1, int* r1) {
  if (!(k.vx == 0 && k.vy == 0)) return false;  // moving (or a velocity not a number)
  double x0 = k.px + std::fmin(k.xmin, k.xmax), x1 = k.px + std::fmax(k.xmin, k.xmax);
  double y0 = k.py + std::fmin(k.ymin, k.ymax), y1 = k.py + std::fmax(k.ymin, k.ymax);
  // fmin/fmax drop a NaN bound; the sum with the position keeps a NaN position.
  if (std::isnan(k.xmin) || std::isnan(k.xmax) || std::isnan(k.ymin) || std::isnan(k.ymax)) return false;
  if (!sane(x0) || !sane(x1) || !sane(y0) || !sane(y1)) return false;
  *c0 = cellOf(x0, BP_COLS);
  *c1 = cellOf(x1, BP_COLS);
  *r0 = cellOf(y0, BP_ROWS);
  *r1 = cellOf(y1, BP_ROWS);
  return true;
}

}  // namespace

int bpInit(BoardIndex* index, int maxObjects) {
  std::memset(index, 0, sizeof *index);
  size_t n = static_cast<size_t>(maxObjects > 0 ? maxObjects : 1);
  index->keys = static_cast<BpKey*>(std::calloc(n, sizeof(BpKey)));
  index->always = static_cast<int*>(std::calloc(n, sizeof(int)));
  index->balls = static_cast<int*>(std::calloc(n, sizeof(int)));
  index->stamp = static_cast<uint32_t*>(std::calloc(n, sizeof(uint32_t)));
  index->contacts = static_cast<int*>(std::calloc(n, sizeof(int)));
  index->candidates = static_cast<int*>(std::calloc(n, sizeof(int)));
  if (!index->keys || !index->always || !index->balls || !index->stamp || !index->contacts || !index->candidates) {
    bpFree(index);
    return logError(-1, "%s: not enough memory for %d objects", "bpInit()", maxObjects);
  }
  index->maxObjects = maxObjects;
  index->dirty = 1;
  return 0;
}

void bpFree(BoardIndex* index) {
  if (!index) return;
  std::free(index->keys);
  std::free(index->always);
  std::free(index->balls);
  std::free(index->stamp);
  std::free(index->contacts);
  std::free(index->candidates);
  std::free(index->cellItems);
  std::memset(index, 0, sizeof *index);
}

// Whether an object still matches its key, reading only what it must: a
// free slot or an object other than a shape has nothing more to compare.
bool unchanged(const BoardObject* o, const BpKey& k) {
  if ((o->id >= 0) != (k.used != 0)) return false;
  if (!k.used) return true;
  if (o->kind != k.kind) return false;
  if (k.kind != BK_SHAPE) return true;
  return sameKey(keyOf(o), k);
}

void bpCheckObjects(BoardIndex* index, const BoardObject* objects, int count) {
  if (index->dirty) return;
  for (int j = 0; j < count; j++) {
    if (!unchanged(&objects[j], index->keys[j])) {
      index->dirty = 1;
      return;
    }
  }
}

void bpCheckObject(BoardIndex* index, const BoardObject* object) {
  if (index->dirty || object->id < 0 || object->id >= index->maxObjects) return;
  BpKey k = keyOf(object);
  if (!sameKey(k, index->keys[object->id])) index->dirty = 1;
}

void bpRebuild(BoardIndex* index, const BoardObject* objects, int count) {
  int counts[BP_CELLS + 1] = {};
  long long items = 0;
  index->nAlways = 0;
  index->nBalls = 0;
  for (int j = 0; j < index->maxObjects; j++) {
    const BpKey& k = index->keys[j] = j < count ? keyOf(&objects[j]) : BpKey{};
    if (!k.used) continue;
    if (k.kind == BK_BALL) index->balls[index->nBalls++] = j;
    int c0, r0, c1, r1;
    if (k.kind != BK_SHAPE || !shapeCells(k, &c0, &r0, &c1, &r1)) {
      index->always[index->nAlways++] = j;
      continue;
    }
    for (int r = r0; r <= r1; r++)
      for (int c = c0; c <= c1; c++) counts[r * BP_COLS + c]++;
    items += static_cast<long long>(r1 - r0 + 1) * (c1 - c0 + 1);
  }
  index->dirty = 0;
  if (items > index->itemCapacity) {
    int* grown = items > 0x7FFFFFFF / 2 ? nullptr
                                        : static_cast<int*>(std::realloc(index->cellItems, sizeof(int) * items * 2));
    if (!grown) {
      // Searches fall back to the full scan, which needs no index.
      index->broken = 1;
      logError(0, "%s: not enough memory for %lld cell entries, every ball is tested against every object",
               "bpRebuild()", items);
      return;
    }
    index->cellItems = grown;
    index->itemCapacity = static_cast<int>(items * 2);
  }
  index->broken = 0;
  index->cellStart[0] = 0;
  for (int c = 0; c < BP_CELLS; c++) index->cellStart[c + 1] = index->cellStart[c] + counts[c];
  int fill[BP_CELLS];
  std::memcpy(fill, index->cellStart, sizeof fill);
  for (int j = 0; j < count; j++) {
    const BpKey& k = index->keys[j];
    int c0, r0, c1, r1;
    if (!k.used || k.kind != BK_SHAPE || !shapeCells(k, &c0, &r0, &c1, &r1)) continue;
    for (int r = r0; r <= r1; r++)
      for (int c = c0; c <= c1; c++) index->cellItems[fill[r * BP_COLS + c]++] = j;
  }
}

int bpCandidates(BoardIndex* index, const Board* board, int ball, double x0, double y0, double x1, double y1) {
  if (index->broken || index->dirty) return -1;
  if (!sane(x0) || !sane(y0) || !sane(x1) || !sane(y1)) return -1;
  int c0 = cellOf(x0, BP_COLS), c1 = cellOf(x1, BP_COLS);
  int r0 = cellOf(y0, BP_ROWS), r1 = cellOf(y1, BP_ROWS);
  // A box over much of the grid gathers nearly everything: scanning is cheaper.
  if ((c1 - c0 + 1) * (r1 - r0 + 1) > BP_CELLS / 4) return -1;
  if (++index->query == 0) {
    std::memset(index->stamp, 0, sizeof(uint32_t) * static_cast<size_t>(index->maxObjects));
    index->query = 1;
  }
  const uint32_t q = index->query;
  uint32_t* stamp = index->stamp;
  int* out = index->candidates;
  int n = 0;
  for (int r = r0; r <= r1; r++) {
    for (int c = c0; c <= c1; c++) {
      int cell = r * BP_COLS + c;
      for (int k = index->cellStart[cell]; k < index->cellStart[cell + 1]; k++) {
        int j = index->cellItems[k];
        if (stamp[j] != q) {
          stamp[j] = q;
          out[n++] = j;
        }
      }
    }
  }
  for (int k = 0; k < index->nAlways; k++) {
    int j = index->always[k];
    if (stamp[j] != q) {
      stamp[j] = q;
      out[n++] = j;
    }
  }
  // Contact partners outside the box: only looked for when the ones found
  // fall short of the ball's count.
  const int m = board->maxObjects;
  const int* row = board->pairs + static_cast<size_t>(ball) * m;
  if (index->contacts[ball] > 0) {
    int found = 0;
    for (int k = 0; k < n; k++) found += row[out[k]] & 1;
    if (found < index->contacts[ball]) {
      for (int j = 0; j < board->count; j++) {
        if ((row[j] & 1) && stamp[j] != q) {
          stamp[j] = q;
          out[n++] = j;
        }
      }
    }
  }
  std::sort(out, out + n);
  return n;
}
