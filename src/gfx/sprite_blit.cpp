// The sprite blitters. Streams were checked at load, so walking them needs no
// bounds checks; what keeps the writes inside the screen is the clipping of
// every run against the drawable area (the clip rectangle within the screen's
// rows and the bytes of a row), done once per run, never per pixel.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/log.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"

namespace {

// Rows [rowLo, rowHi) and pixel columns [colLo, colHi) that may be written.
struct Area {
  int rowLo, rowHi, colLo, colHi;
};

struct Blit {
  const gscr* g;
  const Sprite* s;
  const SprFrame* f;
  Area area;
};

// The clip rectangle within the screen's memory. The depth-tested and
// additive blitters leave out the clip rectangle's last column.
bool drawArea(const gscr* g, bool lastColumnOut, Area* a) {
  long long bpp = g->bytesPerPixel;
  long long rowPixels = g->pitch > 0 ? g->pitch / bpp : 0;
  long long colLo = std::max(g->clipX, 0);
  long long colHi = static_cast<long long>(g->clipX) + g->clipW - (lastColumnOut ? 1 : 0);
  colHi = std::min({colHi, static_cast<long long>(g->width), rowPixels});
  long long rowLo = std::max(g->clipY, 0);
  long long rowHi = std::min(static_cast<long long>(g->clipY) + g->clipH, static_cast<long long>(g->height));
  if (colLo >= colHi || rowLo >= rowHi) return false;
  *a = Area{static_cast<int>(rowLo), static_cast<int>(rowHi), static_cast<int>(colLo), static_cast<int>(colHi)};
  return true;
}

enum { NEEDS_DEPTH = 1, LAST_COLUMN_OUT = 2 };

int noDepthPlane(const char* fn, const Blit& b) {
  return logError(-1, "%s: gsCurrent %p has no depth plane, SE", fn, static_cast<const void*>(b.g));
}

// Checks a blitter's arguments and gsCurrent. 1 when there is something to
// draw, 0 when the drawable area is empty, -1 after logging.
int begin(Sprite* s, int frame, const char* fn, int needs, Blit* b) {
  if (!sprCheck(s, fn)) return -1;
  if (frame < 0 || frame >= s->numfrms) {
    return logError(-1, "%s: invalid frame %d (max %d)\n", fn, frame, s->numfrms - 1);
  }
  const gscr* g = gsCurrent;
  if (!g) return logError(-1, "%s: gsCurrent is NULL, SE", fn);
  if (!g->pixels) return logError(-1, "%s: gsCurrent %p has no pixel memory, SE", fn, static_cast<const void*>(g));
  if (s->bytesPerPixel != g->bytesPerPixel || !gdevFormatEqual(&s->pixelFormat, &g->pixelFormat)) {
    return logError(-1, "%s: sprite %p ('%s') is not in the screen's pixel format, SE", fn,
                    static_cast<void*>(s), s->name);
  }
  *b = Blit{g, s, &s->frames[frame], {}};
  if ((needs & NEEDS_DEPTH) && !g->zbuf) return noDepthPlane(fn, *b);
  return drawArea(g, (needs & LAST_COLUMN_OUT) != 0, &b->area) ? 1 : 0;
}

uint8_t* rowAt(const gscr* g, int row) {
  return g->pixels + static_cast<size_t>(row) * static_cast<size_t>(g->pitch);
}

size_t cellAt(const gscr* g, int row, int column) {
  return static_cast<size_t>(row) * static_cast<size_t>(g->width) + static_cast<size_t>(column);
}

// Walks the frame drawn with its origin at (x, y) and calls
// op(row, firstByte, endByte, pixels, alpha) for the part of every run that
// lies in the area; bytes are counted from the start of the screen row and
// pixels points at the run's byte for firstByte. Runs without run alpha pass
// 255.
template <int B, class Op>
inline void walk(const Blit& b, int x, int y, Op&& op) {
  const SprFrame& f = *b.f;
  const Area& a = b.area;
  if (f.reachX <= 0 || f.reachY <= 0) return;
  // Frames wholly outside the area end here; what passes has a position
  // within a frame's reach of the screen, so the int arithmetic below can't
  // overflow.
  long long left = static_cast<long long>(x) + f.x0;
  if (left >= a.colHi || left + f.reachX <= a.colLo) return;
  if (y >= a.rowHi || static_cast<long long>(y) + f.reachY <= a.rowLo) return;
  const int start = static_cast<int>(left) * B;
  const int lo = a.colLo * B, hi = a.colHi * B;
  const bool runAlpha = b.s->alpha != 0;
  const uint8_t* p = f.stream;
  int row = y, col = start;
  for (;;) {
    unsigned code = p[0];
    if (code >= GSP_CODE_LINEFEED) {
      if (code == GSP_CODE_END) return;
      row += p[1];
      if (row >= a.rowHi) return;
      col = start;
      p += 2;
      continue;
    }
    int run = p[1];
    p += 2;
    col += static_cast<int>(code);
    if (run == 0) continue;
    unsigned alpha = runAlpha ? *p++ : 255u;
    if (row >= a.rowLo) {
      int first = std::max(col, lo), end = std::min(col + run, hi);
      if (first < end) op(row, first, end, p + (first - col), alpha);
    }
    p += run;
    col += run;
  }
}

// The mirrored walk: the stream's first column lands on column
// x + width - x0 - 1 and runs go leftwards. Calls op(row, firstColumn,
// endColumn, pixels, alpha) with pixels pointing at the run's pixel for
// firstColumn; the following columns take the pixels before it.
template <int B, class Op>
inline void walkMirrored(const Blit& b, int x, int y, Op&& op) {
  const SprFrame& f = *b.f;
  const Area& a = b.area;
  if (f.reachX <= 0 || f.reachY <= 0) return;
  long long right = static_cast<long long>(x) + f.width - f.x0 - 1;
  if (right < a.colLo || right - f.reachX + 1 >= a.colHi) return;
  if (y >= a.rowHi || static_cast<long long>(y) + f.reachY <= a.rowLo) return;
  const int start = static_cast<int>(right);
  const bool runAlpha = b.s->alpha != 0;
  const uint8_t* p = f.stream;
  int row = y, k = 0;  // k: pixels from the stream's first column
  for (;;) {
    unsigned code = p[0];
    if (code >= GSP_CODE_LINEFEED) {
      if (code == GSP_CODE_END) return;
      row += p[1];
      if (row >= a.rowHi) return;
      k = 0;
      p += 2;
      continue;
    }
    int run = p[1];
    p += 2;
    k += static_cast<int>(code) / B;
    if (run == 0) continue;
    unsigned alpha = runAlpha ? *p++ : 255u;
    int n = run / B;
    if (row >= a.rowLo) {
      int r = start - k;  // the column of the run's first pixel
      int first = std::max(r - n + 1, a.colLo), last = std::min(r, a.colHi - 1);
      if (first <= last) op(row, first, last + 1, p + (r - first) * B, alpha);
    }
    p += run;
    k += n;
  }
}

// A run's bytes; short runs (the soft edges of most sprites) are copied
// inline rather than through a library call.
inline void copyRun(uint8_t* d, const uint8_t* s, size_t n) {
  if (n <= 8) {
    for (size_t i = 0; i < n; ++i) d[i] = s[i];
  } else {
    std::memcpy(d, s, n);
  }
}

inline uint32_t load16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8; }
inline void store16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// Channel arithmetic of a 16-bit word: red at RS, green at GS, blue at 0.
template <int RS, int GS, uint32_t RM, uint32_t GM, uint32_t BM>
struct Word {
  // T[a][src] + T[255 - a][dst] per channel, ta and tb the two rows.
  static uint32_t blend(uint32_t s, uint32_t d, const uint8_t* ta, const uint8_t* tb) {
    uint32_t r = ta[(s >> RS) & RM] + tb[(d >> RS) & RM];
    uint32_t g = ta[(s >> GS) & GM] + tb[(d >> GS) & GM];
    uint32_t bl = ta[s & BM] + tb[d & BM];
    return r << RS | g << GS | bl;
  }
  // (dst * (255 - a) + src * a) / 255 per channel.
  static uint32_t mix(uint32_t s, uint32_t d, uint32_t a) {
    uint32_t na = 255 - a;
    uint32_t r = (((d >> RS) & RM) * na + ((s >> RS) & RM) * a) / 255;
    uint32_t g = (((d >> GS) & GM) * na + ((s >> GS) & GM) * a) / 255;
    uint32_t bl = ((d & BM) * na + (s & BM) * a) / 255;
    return r << RS | g << GS | bl;
  }
  // min(dst + T[a][src], channel maximum) per channel.
  static uint32_t add(uint32_t s, uint32_t d, const uint8_t* ta) {
    uint32_t r = std::min<uint32_t>(((d >> RS) & RM) + ta[(s >> RS) & RM], RM);
    uint32_t g = std::min<uint32_t>(((d >> GS) & GM) + ta[(s >> GS) & GM], GM);
    uint32_t bl = std::min<uint32_t>((d & BM) + ta[s & BM], BM);
    return r << RS | g << GS | bl;
  }
};
using Word15 = Word<10, 5, 31, 31, 31>;
using Word16 = Word<11, 5, 31, 63, 31>;

// ---------------------------------------------------------------------------
// Kernels, one per blitter and depth; W is a Word type for 2-byte pixels,
// void for 3-byte ones.
// ---------------------------------------------------------------------------

template <int B>
void putCommon(const Blit& b, int x, int y) {
  walk<B>(b, x, y, [&](int row, int first, int end, const uint8_t* src, unsigned) {
    copyRun(rowAt(b.g, row) + first, src, static_cast<size_t>(end - first));
  });
}

template <int B>
void putMCommon(const Blit& b, int x, int y) {
  walkMirrored<B>(b, x, y, [&](int row, int first, int end, const uint8_t* src, unsigned) {
    uint8_t* d = rowAt(b.g, row) + first * B;
    for (int c = first; c < end; ++c, d += B, src -= B) std::memcpy(d, src, B);
  });
}

template <int B>
void putZCommon(const Blit& b, int x, int y, int z) {
  walk<B>(b, x, y, [&](int row, int first, int end, const uint8_t* src, unsigned) {
    uint8_t* d = rowAt(b.g, row) + first;
    const uint16_t* depth = b.g->zbuf + cellAt(b.g, row, first / B);
    for (int i = first; i < end; i += B, d += B, src += B, ++depth) {
      if (z < *depth) std::memcpy(d, src, B);
    }
  });
}

template <class W>
void putAlphaWord(const Blit& b, int x, int y) {
  walk<2>(b, x, y, [&](int row, int first, int end, const uint8_t* src, unsigned a) {
    uint8_t* d = rowAt(b.g, row) + first;
    if (a == 255) {
      copyRun(d, src, static_cast<size_t>(end - first));
      return;
    }
    const uint8_t* ta = gsBlend[a];
    const uint8_t* tb = gsBlend[255 - a];
    for (int i = first; i < end; i += 2, d += 2, src += 2) store16(d, W::blend(load16(src), load16(d), ta, tb));
  });
}

void putAlpha24(const Blit& b, int x, int y) {
  walk<3>(b, x, y, [&](int row, int first, int end, const uint8_t* src, unsigned a) {
    uint8_t* d = rowAt(b.g, row) + first;
    size_t n = static_cast<size_t>(end - first);
    if (a == 255) {
      copyRun(d, src, n);
      return;
    }
    const uint8_t* ta = gsBlend[a];
    const uint8_t* tb = gsBlend[255 - a];
    for (size_t i = 0; i < n; ++i) d[i] = static_cast<uint8_t>(ta[src[i]] + tb[d[i]]);
  });
}

template <class W>
void putMAlphaWord(const Blit& b, int x, int y) {
  walkMirrored<2>(b, x, y, [&](int row, int first, int end, const uint8_t* src, unsigned a) {
    uint8_t* d = rowAt(b.g, row) + first * 2;
    if (a == 255) {
      for (int c = first; c < end; ++c, d += 2, src -= 2) std::memcpy(d, src, 2);
      return;
    }
    for (int c = first; c < end; ++c, d += 2, src -= 2) store16(d, W::mix(load16(src), load16(d), a));
  });
}

template <class W>
void putZXAlphaWord(const Blit& b, int x, int y, int z) {
  walk<2>(b, x, y, [&](int row, int first, int end, const uint8_t* src, unsigned a) {
    uint8_t* d = rowAt(b.g, row) + first;
    size_t cell = cellAt(b.g, row, first / 2);
    const uint16_t* depth = b.g->zbuf + cell;
    const uint8_t* plane = b.g->alpha ? b.g->alpha + cell : nullptr;
    const uint8_t* ta = gsBlend[a];
    const uint8_t* tb = gsBlend[255 - a];
    for (int i = 0, n = (end - first) / 2; i < n; ++i, d += 2, src += 2) {
      if (z < depth[i]) {
        if (a == 255)
          std::memcpy(d, src, 2);
        else
          store16(d, W::blend(load16(src), load16(d), ta, tb));
      } else if (plane && plane[i]) {
        unsigned k = (a * plane[i]) >> 8;
        store16(d, W::blend(load16(src), load16(d), gsBlend[k], gsBlend[255 - k]));
      }
    }
  });
}

void putZXAlpha24(const Blit& b, int x, int y, int z) {
  walk<3>(b, x, y, [&](int row, int first, int end, const uint8_t* src, unsigned a) {
    uint8_t* d = rowAt(b.g, row) + first;
    size_t cell = cellAt(b.g, row, first / 3);
    const uint16_t* depth = b.g->zbuf + cell;
    const uint8_t* plane = b.g->alpha ? b.g->alpha + cell : nullptr;
    for (int i = 0, n = (end - first) / 3; i < n; ++i, d += 3, src += 3) {
      unsigned k;
      if (z < depth[i]) {
        k = a;
      } else if (plane && plane[i]) {
        k = (a * plane[i]) >> 8;
      } else {
        continue;
      }
      if (k == 255) {
        d[0] = src[0], d[1] = src[1], d[2] = src[2];
        continue;
      }
      const uint8_t* ta = gsBlend[k];
      const uint8_t* tb = gsBlend[255 - k];
      d[0] = static_cast<uint8_t>(ta[src[0]] + tb[d[0]]);
      d[1] = static_cast<uint8_t>(ta[src[1]] + tb[d[1]]);
      d[2] = static_cast<uint8_t>(ta[src[2]] + tb[d[2]]);
    }
  });
}

template <class W>
void addZAlphaWord(const Blit& b, int x, int y, int z) {
  walk<2>(b, x, y, [&](int row, int first, int end, const uint8_t* src, unsigned a) {
    uint8_t* d = rowAt(b.g, row) + first;
    const uint16_t* depth = b.g->zbuf + cellAt(b.g, row, first / 2);
    const uint8_t* ta = gsBlend[a];
    for (int i = 0, n = (end - first) / 2; i < n; ++i, d += 2, src += 2) {
      if (z < depth[i]) store16(d, W::add(load16(src), load16(d), ta));
    }
  });
}

void addZAlpha24(const Blit& b, int x, int y, int z) {
  walk<3>(b, x, y, [&](int row, int first, int end, const uint8_t* src, unsigned a) {
    uint8_t* d = rowAt(b.g, row) + first;
    const uint16_t* depth = b.g->zbuf + cellAt(b.g, row, first / 3);
    const uint8_t* ta = gsBlend[a];
    for (int i = 0, n = (end - first) / 3; i < n; ++i, d += 3, src += 3) {
      if (z < depth[i]) {
        for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>(std::min(d[c] + ta[src[c]], 255));
      }
    }
  });
}

// The object's depth as the signed 16-bit value it is stored as.
int depth16(int z) { return static_cast<int16_t>(z); }

// A variant called on a screen of another depth.
int wrongDepth(const char* fn, const Blit& b) {
  return logError(-1, "%s: gsCurrent is %d bpp, SE", fn, b.g->bpp);
}

// The entry points bound to one screen depth: the common checks, then the
// drawing when the frame is visible at all.
template <int Bpp, class Draw>
int depthVariant(Sprite* s, int frame, const char* fn, int flags, Draw draw) {
  Blit b;
  int rc = begin(s, frame, fn, flags, &b);
  if (rc < 0) return rc;
  if (b.g->bpp != Bpp) return wrongDepth(fn, b);
  if (rc) draw(b);
  return 0;
}

// The depth-tested entry points that pick their variant by the screen's
// depth: one table of blitters each, with the word their message names.
using DepthBlit = void (*)(const Blit& b, int x, int y, int z);
struct DepthTable {
  DepthBlit at15, at16, at24;
  const char* what;
};

int depthDispatch(Sprite* s, int frame, int x, int y, int z, const char* fn, const DepthTable& t) {
  Blit b;
  int rc = begin(s, frame, fn, LAST_COLUMN_OUT, &b);
  if (rc < 0) return rc;
  int bpp = b.g->bpp;
  DepthBlit blit = bpp == 15 ? t.at15 : bpp == 16 ? t.at16 : bpp == 24 ? t.at24 : nullptr;
  if (!blit) return logError(0, "%s: %s blending for %d bpp is not implemented yet", fn, t.what, bpp);
  if (!b.g->zbuf) return noDepthPlane(fn, b);
  if (rc) blit(b, x, y, depth16(z));
  return 0;
}

}  // namespace

int SPR_PUT_COMMON(Sprite* s, int frame, int x, int y) {
  Blit b;
  int rc = begin(s, frame, "SPR_PUT_COMMON()", 0, &b);
  if (rc <= 0) return rc;
  switch (b.g->bytesPerPixel) {
    case 1: putCommon<1>(b, x, y); break;
    case 2: putCommon<2>(b, x, y); break;
    case 3: putCommon<3>(b, x, y); break;
    default: putCommon<4>(b, x, y); break;
  }
  return 0;
}

int SPR_PUT_MCOMMON(Sprite* s, int frame, int x, int y) {
  Blit b;
  int rc = begin(s, frame, "SPR_PUT_MCOMMON()", 0, &b);
  if (rc <= 0) return rc;
  switch (b.g->bytesPerPixel) {
    case 1: putMCommon<1>(b, x, y); break;
    case 2: putMCommon<2>(b, x, y); break;
    case 3: putMCommon<3>(b, x, y); break;
    default: putMCommon<4>(b, x, y); break;
  }
  return 0;
}

int SPR_PUT_ZCOMMON(Sprite* s, int frame, int x, int y, int z) {
  Blit b;
  int rc = begin(s, frame, "SPR_PUT_ZCOMMON()", NEEDS_DEPTH | LAST_COLUMN_OUT, &b);
  if (rc <= 0) return rc;
  z = depth16(z);
  switch (b.g->bytesPerPixel) {
    case 1: putZCommon<1>(b, x, y, z); break;
    case 2: putZCommon<2>(b, x, y, z); break;
    case 3: putZCommon<3>(b, x, y, z); break;
    default: putZCommon<4>(b, x, y, z); break;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Alpha blitters: the plain names pick the variant by the screen's depth; the
// variants check that the screen has their depth.
// ---------------------------------------------------------------------------

int SPR_PUT_ALPHA(Sprite* s, int frame, int x, int y) {
  const char* fn = "SPR_PUT_ALPHA()";
  Blit b;
  int rc = begin(s, frame, fn, 0, &b);
  if (rc < 0) return rc;
  switch (b.g->bpp) {
    case 15: if (rc) putAlphaWord<Word15>(b, x, y); return 0;
    case 16: if (rc) putAlphaWord<Word16>(b, x, y); return 0;
    case 24: if (rc) putAlpha24(b, x, y); return 0;
    default: return logError(0, "%s: alpha blending for %d bpp is not implemented yet", fn, b.g->bpp);
  }
}

int SPR_PUT_ALPHA15(Sprite* s, int frame, int x, int y) {
  return depthVariant<15>(s, frame, "SPR_PUT_ALPHA15()", 0, [&](const Blit& b) { putAlphaWord<Word15>(b, x, y); });
}

int SPR_PUT_ALPHA16(Sprite* s, int frame, int x, int y) {
  return depthVariant<16>(s, frame, "SPR_PUT_ALPHA16()", 0, [&](const Blit& b) { putAlphaWord<Word16>(b, x, y); });
}

int SPR_PUT_ALPHA24(Sprite* s, int frame, int x, int y) {
  return depthVariant<24>(s, frame, "SPR_PUT_ALPHA24()", 0, [&](const Blit& b) { putAlpha24(b, x, y); });
}

int SPR_PUT_MALPHA(Sprite* s, int frame, int x, int y) {
  const char* fn = "SPR_PUT_MALPHA()";
  Blit b;
  int rc = begin(s, frame, fn, 0, &b);
  if (rc < 0) return rc;
  switch (b.g->bpp) {
    case 15: if (rc) putMAlphaWord<Word15>(b, x, y); return 0;
    case 16: if (rc) putMAlphaWord<Word16>(b, x, y); return 0;
    default: return logError(0, "%s: malpha blending for %d bpp is not implemented yet", fn, b.g->bpp);
  }
}

int SPR_PUT_MALPHA15(Sprite* s, int frame, int x, int y) {
  return depthVariant<15>(s, frame, "SPR_PUT_MALPHA15()", 0, [&](const Blit& b) { putMAlphaWord<Word15>(b, x, y); });
}

int SPR_PUT_MALPHA16(Sprite* s, int frame, int x, int y) {
  return depthVariant<16>(s, frame, "SPR_PUT_MALPHA16()", 0, [&](const Blit& b) { putMAlphaWord<Word16>(b, x, y); });
}

int SPR_PUT_ZXALPHA(Sprite* s, int frame, int x, int y, int z) {
  static constexpr DepthTable kTable = {&putZXAlphaWord<Word15>, &putZXAlphaWord<Word16>, &putZXAlpha24, "zx-alpha"};
  return depthDispatch(s, frame, x, y, z, "SPR_PUT_ZXALPHA()", kTable);
}

int SPR_PUT_ZXALPHA15(Sprite* s, int frame, int x, int y, int z) {
  return depthVariant<15>(s, frame, "SPR_PUT_ZXALPHA15()", NEEDS_DEPTH | LAST_COLUMN_OUT, [&](const Blit& b) { putZXAlphaWord<Word15>(b, x, y, depth16(z)); });
}

int SPR_PUT_ZXALPHA16(Sprite* s, int frame, int x, int y, int z) {
  return depthVariant<16>(s, frame, "SPR_PUT_ZXALPHA16()", NEEDS_DEPTH | LAST_COLUMN_OUT, [&](const Blit& b) { putZXAlphaWord<Word16>(b, x, y, depth16(z)); });
}

int SPR_PUT_ZXALPHA24(Sprite* s, int frame, int x, int y, int z) {
  return depthVariant<24>(s, frame, "SPR_PUT_ZXALPHA24()", NEEDS_DEPTH | LAST_COLUMN_OUT, [&](const Blit& b) { putZXAlpha24(b, x, y, depth16(z)); });
}

int SPR_ADD_ZALPHA(Sprite* s, int frame, int x, int y, int z) {
  static constexpr DepthTable kTable = {&addZAlphaWord<Word15>, &addZAlphaWord<Word16>, &addZAlpha24, "z-alpha"};
  return depthDispatch(s, frame, x, y, z, "SPR_ADD_ZALPHA()", kTable);
}

int SPR_ADD_ZALPHA15(Sprite* s, int frame, int x, int y, int z) {
  return depthVariant<15>(s, frame, "SPR_ADD_ZALPHA15()", NEEDS_DEPTH | LAST_COLUMN_OUT, [&](const Blit& b) { addZAlphaWord<Word15>(b, x, y, depth16(z)); });
}

int SPR_ADD_ZALPHA16(Sprite* s, int frame, int x, int y, int z) {
  return depthVariant<16>(s, frame, "SPR_ADD_ZALPHA16()", NEEDS_DEPTH | LAST_COLUMN_OUT, [&](const Blit& b) { addZAlphaWord<Word16>(b, x, y, depth16(z)); });
}

int SPR_ADD_ZALPHA24(Sprite* s, int frame, int x, int y, int z) {
  return depthVariant<24>(s, frame, "SPR_ADD_ZALPHA24()", NEEDS_DEPTH | LAST_COLUMN_OUT, [&](const Blit& b) { addZAlpha24(b, x, y, depth16(z)); });
}
