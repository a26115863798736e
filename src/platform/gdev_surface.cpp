// Drawing surfaces: memory DCs, pixel access, the drawing operations on the
// current surface and rectangle copies.
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/gdev_internal.h"

namespace {

GdevDC* gCurrent;

// Surfaces above this on a side are refused; the game's largest is 800x600.
constexpr int kMaxSide = 16384;
constexpr size_t kHeaderBytes = (sizeof(GdevDC) + 15) / 16 * 16;

// A non-empty channel must be a run of (8 - adjust) bits that fits the pixel.
bool channelFits(int32_t mask, int32_t pos, int32_t adjust, int pixelBits) {
  if (mask == 0) return true;
  if (adjust < 0 || adjust > 7 || pos < 0 || pos > pixelBits) return false;
  int width = 8 - adjust;
  if (mask != (1 << width) - 1) return false;
  return pos + width <= pixelBits;
}

bool formatFits(const GdevPixelFormat* f, int bytesPerPixel) {
  int bits = bytesPerPixel * 8;
  return channelFits(f->redMask, f->redPos, f->redAdjust, bits) &&
         channelFits(f->greenMask, f->greenPos, f->greenAdjust, bits) &&
         channelFits(f->blueMask, f->bluePos, f->blueAdjust, bits) &&
         channelFits(f->rsvdMask, f->rsvdPos, f->rsvdAdjust, bits) && gdevFormatBits(f) <= bits;
}

uint8_t* pixelAddress(const GdevDC* dc, int x, int y) {
  return dc->pixels + static_cast<ptrdiff_t>(y) * dc->bytesPerLine +
         static_cast<ptrdiff_t>(x) * dc->bytesPerPixel;
}

uint32_t loadPixel(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

void storePixel(uint8_t* p, int bytes, uint32_t v) {
  for (int i = 0; i < bytes; ++i) {
    p[i] = static_cast<uint8_t>(v);
    v >>= 8;
  }
}

bool inside(const GdevDC* dc, int x, int y) {
  return x >= 0 && y >= 0 && x < dc->width && y < dc->height;
}

bool sameLayout(const GdevDC* a, const GdevDC* b) {
  if (a->bitsPerPixel != b->bitsPerPixel || a->bytesPerPixel != b->bytesPerPixel) return false;
  return a->bitsPerPixel == 8 || gdevFormatEqual(&a->format, &b->format);
}

// Clips a copy of w x h pixels from (sx, sy) of a srcW x srcH surface to
// (dx, dy) of a dstW x dstH one, each destination pixel taking the source
// pixel (fx, fy) times smaller. False when nothing is left.
struct CopyRect {
  long long sx, sy, dx, dy, w, h;
};

bool clipCopy(CopyRect* c, int srcW, int srcH, int dstW, int dstH) {
  if (c->sx < 0) {
    c->dx -= c->sx;
    c->w += c->sx;
    c->sx = 0;
  }
  if (c->sy < 0) {
    c->dy -= c->sy;
    c->h += c->sy;
    c->sy = 0;
  }
  if (c->dx < 0) {
    c->sx -= c->dx;
    c->w += c->dx;
    c->dx = 0;
  }
  if (c->dy < 0) {
    c->sy -= c->dy;
    c->h += c->dy;
    c->dy = 0;
  }
  c->w = std::min({c->w, srcW - c->sx, dstW - c->dx});
  c->h = std::min({c->h, srcH - c->sy, dstH - c->dy});
  return c->w > 0 && c->h > 0;
}

}  // namespace

namespace gdev {

GdevDC* createDC(const char* function, int width, int height, int bitsPerPixel,
                 const GdevPixelFormat* format, int pages) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) {
    fail(function, "invalid surface size %dx%d", width, height);
    return nullptr;
  }
  if (pages < 1 || pages > 4) {
    fail(function, "invalid page count %d", pages);
    return nullptr;
  }
  int bytesPerPixel = 0;
  GdevPixelFormat f{};
  switch (bitsPerPixel) {
    case 8: bytesPerPixel = 1; break;
    case 15:
    case 16: bytesPerPixel = 2; break;
    case 24: bytesPerPixel = 3; break;
    case 32: bytesPerPixel = 4; break;
    default: fail(function, "unsupported depth %d bpp", bitsPerPixel); return nullptr;
  }
  if (bitsPerPixel != 8) {
    const GdevPixelFormat* use = format ? format : gdevDefaultFormat(bitsPerPixel);
    if (!use) use = &GDEV_FORMAT_888;
    if (!formatFits(use, bytesPerPixel)) {
      fail(function, "pixel format does not fit %d bpp", bitsPerPixel);
      return nullptr;
    }
    f = *use;
  }
  size_t pitch = static_cast<size_t>(width) * static_cast<size_t>(bytesPerPixel);
  size_t bytes = pitch * static_cast<size_t>(height) * static_cast<size_t>(pages);
  void (*release)(void*) = nullptr;
  auto* block = static_cast<uint8_t*>(allocBlock(kHeaderBytes + bytes, &release));
  if (!block) {
    fail(function, "not enough memory for a %dx%dx%dbpp surface", width, height, bitsPerPixel);
    return nullptr;
  }
  auto* dc = new (block) GdevDC{};
  dc->width = width;
  dc->height = height;
  dc->bitsPerPixel = bitsPerPixel;
  dc->bytesPerPixel = bytesPerPixel;
  dc->bytesPerLine = static_cast<int>(pitch);
  dc->format = f;
  dc->pageBase = block + kHeaderBytes;
  dc->pixels = dc->pageBase;
  dc->pages = pages;
  dc->release = release;
  std::memset(dc->pageBase, 0, bytes);
  return dc;
}

}  // namespace gdev

GdevDC* gdevCreateMemoryDC(int width, int height, int bitsPerPixel, const GdevPixelFormat* format) {
  return gdev::createDC("gdevCreateMemoryDC()", width, height, bitsPerPixel, format, 1);
}

void gdevDestroyDC(GdevDC* dc) {
  if (!dc) return;
  if (gCurrent == dc) gCurrent = nullptr;
  void (*release)(void*) = dc->release;
  dc->~GdevDC();
  release(dc);
}

void gdevMakeCurrent(GdevDC* dc) { gCurrent = dc; }
GdevDC* gdevCurrentDC() { return gCurrent; }

uint32_t gdevReadPixel(const GdevDC* dc, int x, int y) {
  if (!dc || !inside(dc, x, y)) return 0;
  return loadPixel(pixelAddress(dc, x, y), dc->bytesPerPixel);
}

void gdevWritePixel(GdevDC* dc, int x, int y, uint32_t pixel) {
  if (!dc || !inside(dc, x, y)) return;
  storePixel(pixelAddress(dc, x, y), dc->bytesPerPixel, pixel);
}

void gdevSetColor(uint32_t pixel) {
  if (gCurrent) gCurrent->color = pixel;
}

void gdevSetColorRGB(int red, int green, int blue) {
  if (!gCurrent) return;
  if (gCurrent->bitsPerPixel != 8) {
    gCurrent->color = gdevPackRGB(&gCurrent->format, red, green, blue);
    return;
  }
  long best = -1;
  uint32_t index = 0;
  for (int i = 0; i < 256; ++i) {
    const GdevColor& c = gCurrent->palette[i];
    long dr = c.red - red, dg = c.green - green, db = c.blue - blue;
    long d = dr * dr + dg * dg + db * db;
    if (best < 0 || d < best) {
      best = d;
      index = static_cast<uint32_t>(i);
    }
  }
  gCurrent->color = index;
}

uint32_t gdevGetColor() { return gCurrent ? gCurrent->color : 0; }

uint32_t gdevGetPixel(int x, int y) { return gdevReadPixel(gCurrent, x, y); }

void gdevPutPixel(int x, int y) {
  if (gCurrent) gdevWritePixel(gCurrent, x, y, gCurrent->color);
}

int gdevScanLeftWhileColor(int x, int y, uint32_t color) {
  if (!gCurrent || !inside(gCurrent, x, y)) return x;
  const uint8_t* p = pixelAddress(gCurrent, x, y);
  int bytes = gCurrent->bytesPerPixel;
  while (x >= 0 && loadPixel(p, bytes) == color) {
    --x;
    p -= bytes;
  }
  return x;
}

void gdevFillRect(int x, int y, int width, int height) {
  if (!gCurrent) return;
  long long left = std::max(0LL, static_cast<long long>(x));
  long long top = std::max(0LL, static_cast<long long>(y));
  long long right =
      std::min(static_cast<long long>(gCurrent->width), static_cast<long long>(x) + width);
  long long bottom =
      std::min(static_cast<long long>(gCurrent->height), static_cast<long long>(y) + height);
  if (left >= right || top >= bottom) return;
  int bytes = gCurrent->bytesPerPixel;
  for (long long row = top; row < bottom; ++row) {
    uint8_t* p = pixelAddress(gCurrent, static_cast<int>(left), static_cast<int>(row));
    for (long long col = left; col < right; ++col, p += bytes)
      storePixel(p, bytes, gCurrent->color);
  }
}

void gdevClearDevice() {
  if (!gCurrent) return;
  std::memset(gCurrent->pixels, 0,
              static_cast<size_t>(gCurrent->bytesPerLine) * static_cast<size_t>(gCurrent->height));
}

void gdevSetPalette(GdevDC* dc, const GdevColor* entries, int count, int start) {
  if (!dc || !entries) return;
  for (int i = 0; i < count; ++i) {
    int slot = start + i;
    if (slot >= 0 && slot < 256) dc->palette[slot] = entries[i];
  }
}

bool gdevBitBlt(GdevDC* dst, int dx, int dy, const GdevDC* src, int sx, int sy, int w, int h) {
  if (!dst || !src) {
    gdev::fail("gdevBitBlt()", "null surface");
    return false;
  }
  if (!sameLayout(dst, src)) {
    gdev::fail("gdevBitBlt()", "surfaces differ in format (%d bpp and %d bpp)", src->bitsPerPixel,
               dst->bitsPerPixel);
    return false;
  }
  CopyRect c{sx, sy, dx, dy, w, h};
  if (!clipCopy(&c, src->width, src->height, dst->width, dst->height)) return true;
  size_t rowBytes = static_cast<size_t>(c.w) * static_cast<size_t>(src->bytesPerPixel);
  // Rows go bottom-up when a surface copies onto itself further down, so a
  // source row is never overwritten before it is read.
  bool upward = dst->pixels == src->pixels && c.dy > c.sy;
  for (long long i = 0; i < c.h; ++i) {
    long long row = upward ? c.h - 1 - i : i;
    const uint8_t* from = pixelAddress(src, static_cast<int>(c.sx), static_cast<int>(c.sy + row));
    uint8_t* to = pixelAddress(dst, static_cast<int>(c.dx), static_cast<int>(c.dy + row));
    std::memmove(to, from, rowBytes);
  }
  return true;
}

bool gdevStretchBlt(GdevDC* dst, int dx, int dy, const GdevDC* src, int sx, int sy, int w, int h,
                    int stretch) {
  if (stretch == 0) return gdevBitBlt(dst, dx, dy, src, sx, sy, w, h);
  if (!dst || !src) {
    gdev::fail("gdevStretchBlt()", "null surface");
    return false;
  }
  if (stretch != 1 && stretch != 2) {
    gdev::fail("gdevStretchBlt()", "unknown stretch %d", stretch);
    return false;
  }
  if (!sameLayout(dst, src) || dst->pixels == src->pixels) {
    gdev::fail("gdevStretchBlt()", "surfaces differ in format or are the same");
    return false;
  }
  const long long fx = stretch == 2 ? 2 : 1, fy = 2;
  // Clip the source rectangle first, moving the destination by the scaled
  // amount, then clip the scaled rectangle to the destination.
  long long x0 = sx, y0 = sy, x1 = static_cast<long long>(sx) + w,
            y1 = static_cast<long long>(sy) + h;
  long long ox = dx, oy = dy;
  if (x0 < 0) {
    ox -= x0 * fx;
    x0 = 0;
  }
  if (y0 < 0) {
    oy -= y0 * fy;
    y0 = 0;
  }
  x1 = std::min(x1, static_cast<long long>(src->width));
  y1 = std::min(y1, static_cast<long long>(src->height));
  if (x0 >= x1 || y0 >= y1) return true;
  long long left = std::max(0LL, ox), top = std::max(0LL, oy);
  long long right = std::min(static_cast<long long>(dst->width), ox + (x1 - x0) * fx);
  long long bottom = std::min(static_cast<long long>(dst->height), oy + (y1 - y0) * fy);
  int bytes = src->bytesPerPixel;
  for (long long y = top; y < bottom; ++y) {
    long long srcY = y0 + (y - oy) / fy;
    uint8_t* to = pixelAddress(dst, static_cast<int>(left), static_cast<int>(y));
    for (long long x = left; x < right; ++x, to += bytes) {
      long long srcX = x0 + (x - ox) / fx;
      std::memcpy(to, pixelAddress(src, static_cast<int>(srcX), static_cast<int>(srcY)),
                  static_cast<size_t>(bytes));
    }
  }
  return true;
}
