// Graphics screens: the screen record, its planes and dirty set, the present
// step, the blend table, surface utilities and the video mode choice.
#include "gfx/screen.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/conf.h"
#include "core/log.h"
#include "core/mem.h"

gscr* gsCurrent;
gscr gsMainScreen;
uint8_t gsBlend[256][256];

namespace {

void* deviceAlloc(size_t size) { return memAlloc(GS_HEAP_DEVICE, size); }
void deviceRelease(void* block) { memFree(GS_HEAP_DEVICE, block); }
constexpr GdevAllocator kDeviceAllocator = {deviceAlloc, deviceRelease};

int bytesPerPixelOf(int bpp) { return (bpp + 7) / 8; }

// The accounting size of a surface: width * height * bytes per pixel.
size_t surfaceBytes(const GdevDC* dc) {
  return static_cast<size_t>(dc->width) * static_cast<size_t>(dc->height) *
         static_cast<size_t>(bytesPerPixelOf(dc->bitsPerPixel));
}

// A memory surface of the engine, recorded on heap 2.
GdevDC* newEngineDC(int w, int h, int bpp, const GdevPixelFormat* format) {
  GdevDC* dc = gdevCreateMemoryDC(w, h, bpp, format);
  if (dc) memAllocCustom(GS_HEAP_ENGINE, surfaceBytes(dc), dc);
  return dc;
}

void fillFromDC(gscr* s, GdevDC* dc) {
  s->dc = dc;
  s->width = dc->width;
  s->height = dc->height;
  s->clipX = s->clipY = 0;
  s->clipW = dc->width;
  s->clipH = dc->height;
  s->tileSize = 32;
  s->bpp = dc->bitsPerPixel;
  s->bytesPerPixel = bytesPerPixelOf(dc->bitsPerPixel);
  s->pitch = dc->bytesPerLine;
  s->pixelFormat = dc->format;
  s->pixels = dc->pixels;
}

long long floorDiv(long long a, long long b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

void clearTileMarks(gscr* s) {
  if (s->tileMarks) {
    std::memset(s->tileMarks, 0,
                static_cast<size_t>(s->tilesX) * static_cast<size_t>(s->tilesY) * sizeof(int));
  }
}

void unionRect(gscr* s, long long left, long long top, long long right, long long bottom) {
  // Only what lies on the screen can be presented; clamping also keeps the
  // coordinates inside int.
  GdevRect r{static_cast<int>(std::clamp<long long>(left, 0, s->width)),
             static_cast<int>(std::clamp<long long>(top, 0, s->height)),
             static_cast<int>(std::clamp<long long>(right, 0, s->width)),
             static_cast<int>(std::clamp<long long>(bottom, 0, s->height))};
  gdevUnionRect(s->dirty, &r);
}

}  // namespace

void gsBuildBlendTable() {
  for (int i = 0; i < 256; ++i) {
    for (int j = 0; j < 256; ++j) gsBlend[i][j] = static_cast<uint8_t>(i * j / 255);
  }
}

const GdevAllocator* gsDeviceAllocator() { return &kDeviceAllocator; }

int gsCreateMGL(gscr* screen, GdevDevice* device) {
  constexpr const char* fn = "gsCreateMGL()";
  if (!screen || !device || !device->drawDC) {
    return logError(0, "%s: screen or device is NULL, SE", fn);
  }
  *screen = gscr{};
  GdevDC* dc = device->drawDC;
  if (!device->backDC) {
    // Draw into a memory copy and let present copy the dirty parts to the
    // one page that is both active and shown.
    gdevSetActivePage(device, 0);
    gdevSetVisiblePage(device, 0, 0);
    GdevDC* back = newEngineDC(dc->width, dc->height, dc->bitsPerPixel, &dc->format);
    if (!back) {
      return logError(0, "%s: can't create memory DC (%dx%dx%dbpp)", fn, dc->width, dc->height,
                      dc->bitsPerPixel);
    }
    device->backDC = device->drawDC = back;
    dc = back;
    screen->ownsBackBuffer = 1;
  }
  fillFromDC(screen, dc);
  screen->device = device;
  screen->tilesX = (screen->width + 31) / 32;
  screen->tilesY = (screen->height + 31) / 32;
  size_t markBytes =
      static_cast<size_t>(screen->tilesX) * static_cast<size_t>(screen->tilesY) * sizeof(int);
  screen->tileMarks = static_cast<int*>(std::calloc(1, markBytes));
  screen->dirty = gdevNewRegion();
  if (!screen->tileMarks || !screen->dirty) {
    gsRelease(screen);
    return logError(0, "%s: not enough memory (%d bytes)", fn, static_cast<int>(markBytes));
  }
  return 1;
}

int gsCreateMemoryScreen(gscr* screen, GdevDevice* device, GdevDC** display, int w, int h, int bits) {
  const char* fn = "gsCreateMemoryScreen()";
  *display = gdevCreateMemoryDC(w, h, bits, nullptr);
  if (!*display) return logError(0, "%s: no memory for a %dx%dx%d display", fn, w, h, bits);
  *device = GdevDevice{};
  device->mode.width = w;
  device->mode.height = h;
  device->mode.bitsPerPixel = bits;
  device->mode.pages = 1;
  device->windowed = 1;
  device->drawDC = device->displayDC = *display;
  if (gsCreateMGL(screen, device) != 1) {
    gdevDestroyDC(*display);
    *display = nullptr;
    return logError(0, "%s: error creating the screen", fn);
  }
  return 1;
}

int gsCreateMem(gscr* screen, GdevDC* dc) {
  if (!screen || !dc) return logError(0, "%s: screen or DC is NULL, SE", "gsCreateMem()");
  *screen = gscr{};
  fillFromDC(screen, dc);
  return 1;
}

void gsRelease(gscr* screen) {
  if (!screen) return;
  gdevFreeRegion(screen->dirty);
  std::free(screen->tileMarks);
  // Screens over a memory surface only borrow the main screen's planes.
  if (screen->device) {
    std::free(screen->zbuf);
    std::free(screen->alpha);
  }
  if (screen->ownsBackBuffer && screen->dc) {
    GdevDevice* device = screen->device;
    if (device && device->backDC == screen->dc) {
      device->backDC = nullptr;
      device->drawDC = device->displayDC;
    }
    if (gdevCurrentDC() == screen->dc) gdevMakeCurrent(nullptr);
    mglFreeDC(screen->dc);
  }
  if (gsCurrent == screen) gsCurrent = nullptr;
  *screen = gscr{};
}

gscr* gsSelect(gscr* screen) {
  gscr* previous = gsCurrent;
  gsCurrent = screen;
  gdevMakeCurrent(screen ? screen->dc : nullptr);
  return previous;
}

int gsAddAlpha(gscr* screen, GdevDC* alphaDC) {
  constexpr const char* fn = "gsAddAlpha()";
  if (!alphaDC) return logError(0, "%s: alphadc passed is NULL, SE", fn);
  if (!screen) return logError(0, "%s: gscr is NULL, SE", fn);
  size_t bytes = static_cast<size_t>(screen->width) * static_cast<size_t>(screen->height);
  auto* alpha = static_cast<uint8_t*>(std::malloc(bytes ? bytes : 1));
  if (!alpha) return logError(0, "%s: not enough memory (%d bytes)", fn, static_cast<int>(bytes));
  gdevMakeCurrent(alphaDC);
  for (int y = 0; y < screen->height; ++y) {
    for (int x = 0; x < screen->width; ++x) {
      uint32_t pixel = gdevGetPixel(x, y);
      int red, green, blue;
      if (alphaDC->bitsPerPixel == 8) {
        red = alphaDC->palette[pixel & 0xFF].red;
      } else {
        gdevUnpackRGB(&alphaDC->format, pixel, &red, &green, &blue);
      }
      alpha[static_cast<size_t>(y) * static_cast<size_t>(screen->width) + static_cast<size_t>(x)] =
          static_cast<uint8_t>(255 - red);
    }
  }
  gdevMakeCurrent(gsCurrent ? gsCurrent->dc : nullptr);
  std::free(screen->alpha);  // a second plane replaces the first instead of leaking it
  screen->alpha = alpha;
  return 1;
}

void gsFreeAlpha(gscr* screen) {
  if (!screen || !screen->alpha) {
    logError(0, "%s: gscr %p alpha is NULL, SE", "gsFreeAlpha()", static_cast<void*>(screen));
    return;
  }
  std::free(screen->alpha);
  screen->alpha = nullptr;
}

int gsAddZBuffer(gscr* screen, const uint16_t* src, int srcW, int srcH) {
  constexpr const char* fn = "gsAddZBuffer()";
  if (!screen || !src) return logError(0, "%s: screen or source map is NULL, SE", fn);
  size_t cells = static_cast<size_t>(screen->width) * static_cast<size_t>(screen->height);
  size_t bytes = cells * sizeof(uint16_t);
  // Cells the source does not cover start at 0.
  auto* zbuf = static_cast<uint16_t*>(std::calloc(cells ? cells : 1, sizeof(uint16_t)));
  if (!zbuf) return logError(0, "%s: not enough memory (%d bytes)", fn, static_cast<int>(bytes));
  int w = std::min(screen->width, srcW), h = std::min(screen->height, srcH);
  for (int y = 0; y < h; ++y) {
    std::memcpy(zbuf + static_cast<size_t>(y) * static_cast<size_t>(screen->width),
                src + static_cast<size_t>(y) * static_cast<size_t>(srcW),
                static_cast<size_t>(std::max(w, 0)) * sizeof(uint16_t));
  }
  std::free(screen->zbuf);
  screen->zbuf = zbuf;
  return 1;
}

void gsFreeZBuffer(gscr* screen) {
  if (!screen) return;
  std::free(screen->zbuf);
  screen->zbuf = nullptr;
}

void gsAddDirty(int x, int y, int w, int h) {
  gscr* s = gsCurrent;
  if (!s || !s->dirty) return;
  long long left = x, top = y, width = w, height = h;
  if (width < 0) {
    left += width;
    width = -width;
  }
  if (height < 0) {
    top += height;
    height = -height;
  }
  if (width >= s->tileMinW || height >= s->tileMinH) {
    unionRect(s, left, top, left + width, top + height);
    return;
  }
  const long long t = s->tileSize > 0 ? s->tileSize : 32;
  long long c0 = std::max(0LL, floorDiv(left, t));
  long long c1 =
      std::min(static_cast<long long>(s->tilesX) - 1, floorDiv(left + width + t - 1, t) - 1);
  long long r0 = std::max(0LL, floorDiv(top, t));
  long long r1 =
      std::min(static_cast<long long>(s->tilesY) - 1, floorDiv(top + height + t - 1, t) - 1);
  for (long long r = r0; r <= r1; ++r) {
    for (long long c = c0; c <= c1; ++c) {
      int& mark = s->tileMarks[r * s->tilesX + c];
      if (mark) continue;
      mark = 1;
      unionRect(s, c * t, r * t, c * t + t, r * t + t);
    }
  }
}

void gsAddDirtyCoord(int left, int top, int right, int bottom) {
  gsAddDirty(left, top, right - left + 1, bottom - top + 1);
}

void gsDirtyAll() {
  gscr* s = gsCurrent;
  if (!s || !s->dirty) return;
  gsClearDirty();
  gsAddDirty(0, 0, s->width, s->height);
}

void gsClearDirty() {
  gscr* s = gsCurrent;
  if (!s || !s->dirty) return;
  gdevClearRegion(s->dirty);
  // The marks say which tiles are in the set; an emptied set holds none, so a
  // small rectangle added afterwards must not be lost to a stale mark.
  clearTileMarks(s);
}

void gsUpdate(int waitRetrace) {
  gscr* s = gsCurrent;
  if (!s || !s->dirty || !s->device) return;
  GdevDevice* device = s->device;
  if (s->presentPending) {
    // What the skipped frames changed is kept as one box around it: the box
    // goes out with this frame's changes.
    s->presentPending = 0;
    gdevUnionRect(s->dirty, &s->pendingBox);
  }
  gdevOptimizeRegion(s->dirty);
  if (s->ownsBackBuffer) {
    for (int i = 0; i < s->dirty->count; ++i) {
      const GdevRect& r = s->dirty->rects[i];
      gdevBitBlt(device->displayDC, r.left, r.top, s->dc, r.left, r.top, r.right - r.left,
                 r.bottom - r.top);
    }
    gdevPresent(device, s->dirty, waitRetrace);
  } else {
    gdevCopyRegionToDisplay(device, s->dirty, waitRetrace);
  }
  gdevClearRegion(s->dirty);
  clearTileMarks(s);
}

void gsSkipUpdate() {
  gscr* s = gsCurrent;
  if (!s || !s->dirty || !s->device) return;
  for (int i = 0; i < s->dirty->count; ++i) {
    const GdevRect& r = s->dirty->rects[i];
    if (r.left >= r.right || r.top >= r.bottom) continue;
    GdevRect& box = s->pendingBox;
    if (!s->presentPending) {
      box = r;
      s->presentPending = 1;
    } else {
      box = GdevRect{std::min(box.left, r.left), std::min(box.top, r.top), std::max(box.right, r.right),
                     std::max(box.bottom, r.bottom)};
    }
  }
  gdevClearRegion(s->dirty);
  clearTileMarks(s);
}

GdevDC* mglCreateBitmapDC(const char* file) {
  constexpr const char* fn = "mglCreateBitmapDC()";
  GdevBitmap* bmp = gdevLoadBitmap(file);
  if (!bmp) {
    logError(0, "%s: can't load bitmap '%s'", fn, file ? file : "(null)");
    return nullptr;
  }
  const GdevDC* current = gdevCurrentDC();
  int bpp = current ? current->bitsPerPixel : 0;
  GdevDC* dc = newEngineDC(bmp->width, bmp->height, bpp, current ? &current->format : nullptr);
  if (!dc) {
    logError(0, "%s: can't create memory DC (%dx%dx%dbpp)", fn, bmp->width, bmp->height, bpp);
    gdevFreeBitmap(bmp);
    return nullptr;
  }
  if (bpp == 8) gdevSetPalette(dc, current->palette, 256, 0);
  gdevPutBitmap(dc, 0, 0, bmp);
  gdevFreeBitmap(bmp);
  return dc;
}

GdevDC* mglCreateDC24(int w, int h) {
  GdevDC* dc = newEngineDC(w, h, 24, &GDEV_FORMAT_888);
  if (!dc) logError(0, "%s: can't create memory DC (%dx%dx24bpp)", "mglCreateDC24()", w, h);
  return dc;
}

GdevDC* mglCreateBitmapDC24(const char* file) {
  constexpr const char* fn = "mglCreateBitmapDC24()";
  GdevBitmap* bmp = gdevLoadBitmap(file);
  if (!bmp) {
    logError(0, "%s: can't load bitmap '%s'", fn, file ? file : "(null)");
    return nullptr;
  }
  GdevDC* dc = newEngineDC(bmp->width, bmp->height, 24, &GDEV_FORMAT_888);
  if (!dc) {
    logError(0, "%s: can't create memory DC (%dx%dx%dbpp), error-'%s'", fn, bmp->width, bmp->height,
             24, gdevErrorText());
    gdevFreeBitmap(bmp);
    return nullptr;
  }
  gdevPutBitmap(dc, 0, 0, bmp);
  gdevFreeBitmap(bmp);
  return dc;
}

GdevDC* mglCloneDC(GdevDC* dc) {
  constexpr const char* fn = "mglCloneDC()";
  if (!dc) {
    logError(0, "%s: DC is NULL, SE", fn);
    return nullptr;
  }
  GdevDC* copy = newEngineDC(dc->width, dc->height, dc->bitsPerPixel, &dc->format);
  if (!copy) {
    logError(0, "%s: error creating memory DC (%dx%dx%dbpp)", fn, dc->width, dc->height,
             dc->bitsPerPixel);
    return nullptr;
  }
  gdevSetPalette(copy, dc->palette, 256, 0);
  if (!mglCopyDC(copy, dc)) {
    mglFreeDC(copy);
    return nullptr;
  }
  return copy;
}

int mglCopyDC(GdevDC* dest, GdevDC* src) {
  constexpr const char* fn = "mglCopyDC()";
  if (!dest)
    return logError(0, "%s: destination DC is NULL (src-%p), SE", fn, static_cast<void*>(src));
  if (!src) return logError(0, "%s: source DC is NULL (dest-%p), SE", fn, static_cast<void*>(dest));
  int w = std::min(dest->width, src->width), h = std::min(dest->height, src->height);
  if (!gdevBitBlt(dest, 0, 0, src, 0, 0, w, h)) {
    return logError(0, "%s: copy failed: %s, SE", fn, gdevErrorText());
  }
  return 1;
}

void mglFreeDC(GdevDC* dc) {
  if (!dc) return;
  memFreeCustom(GS_HEAP_ENGINE, dc);
  gdevDestroyDC(dc);
}

int mglSeedFillAlt(int x, int y, void (*spanCallback)(int x, int y, int length, uint32_t color)) {
  constexpr const char* fn = "mglSeedFillAlt()";
  const GdevDC* dc = gdevCurrentDC();
  if (!dc || x < 0 || y < 0 || x >= dc->width || y >= dc->height) return 0;
  const int width = dc->width, height = dc->height;
  const uint32_t c = gdevGetPixel(x, y);
  if (c == gdevGetColor()) return 0;

  struct Point {
    int x, y;
  };
  Point* stack = nullptr;
  size_t size = 0, capacity = 0;
  auto push = [&](int px, int py) -> bool {
    if (size == capacity) {
      size_t grown = capacity ? capacity * 2 : 256;
      auto* bigger = static_cast<Point*>(std::realloc(stack, grown * sizeof(Point)));
      if (!bigger) return false;
      stack = bigger;
      capacity = grown;
    }
    stack[size++] = Point{px, py};
    return true;
  };
  auto fail = [&]() {
    std::free(stack);
    return logError(-1, "%s: not enough memory to complete operation", fn);
  };

  if (!push(x, y)) return fail();
  while (size > 0) {
    Point p = stack[--size];
    if (gdevGetPixel(p.x, p.y) != c) continue;
    int start = gdevScanLeftWhileColor(p.x, p.y, c) + 1;
    const bool hasAbove = p.y > 0, hasBelow = p.y + 1 < height;
    if (hasAbove && gdevGetPixel(start, p.y - 1) == c && !push(start, p.y - 1)) return fail();
    if (hasBelow && gdevGetPixel(start, p.y + 1) == c && !push(start, p.y + 1)) return fail();
    // Walk right filling; on each neighbouring line push the first and the
    // last pixel of every run of the old colour.
    bool inAbove = false, inBelow = false;
    int cx = start;
    for (; cx < width && gdevGetPixel(cx, p.y) == c; ++cx) {
      gdevPutPixel(cx, p.y);
      if (hasAbove) {
        bool on = gdevGetPixel(cx, p.y - 1) == c;
        if (on && !inAbove && !push(cx, p.y - 1)) return fail();
        if (!on && inAbove && !push(cx - 1, p.y - 1)) return fail();
        inAbove = on;
      }
      if (hasBelow) {
        bool on = gdevGetPixel(cx, p.y + 1) == c;
        if (on && !inBelow && !push(cx, p.y + 1)) return fail();
        if (!on && inBelow && !push(cx - 1, p.y + 1)) return fail();
        inBelow = on;
      }
    }
    if (inAbove && !push(cx - 1, p.y - 1)) return fail();
    if (inBelow && !push(cx - 1, p.y + 1)) return fail();
    if (spanCallback) spanCallback(start, p.y, cx - start, c);
  }
  std::free(stack);
  return 0;
}

void mglSetGreyPalette(GdevDC* dc) {
  if (!dc) return;
  GdevColor grey[256];
  for (int i = 0; i < 256; ++i) {
    auto v = static_cast<uint8_t>(i);
    grey[i] = GdevColor{v, v, v, 0};
  }
  gdevSetPalette(dc, grey, 256, 0);
}

int gmConfMode(ConfSet* conf, const char* prefix, std::span<const GdevMode> modes,
               GdevMode* outMode, int* outWindowed) {
  constexpr const char* fn = "gmConfMode()";
  ConfSet none{};
  ConfSet* set = conf ? conf : &none;
  auto get = [&](const char* name, int fallback) {
    char key[128];
    std::snprintf(key, sizeof key, "%s.%s", prefix, name);
    return conf_getint(set, key, fallback);
  };
  const int debug = get("debug", 0);
  const int wantDdraw = get("want_ddraw", 1);
  const int wantFdib = get("want_fdib", 1);
  const int window = get("window", 1);
  const int width = get("width", 800);
  const int height = get("height", 600);
  const int stretch = get("stretch", 0);
  const int bits = get("bits", 16);
  const int choose = get("choose", 0);

  if (!wantDdraw && !wantFdib)
    return logError(0, "%s: both 'want_ddraw' and 'want_fdib' are 0", fn);
  if (choose) return gdevChooseMode(modes, outMode, outWindowed);

  // 15 and 16 bits both take two bytes, so either matches the other.
  const int wantBytes = bytesPerPixelOf(bits);
  if (debug) logPrint("Available modes:");
  int ddraw = -1, fdib = -1;
  for (size_t i = 0; i < modes.size(); ++i) {
    const GdevMode& m = modes[i];
    bool match =
        m.width == width && m.height == height && bytesPerPixelOf(m.bitsPerPixel) == wantBytes;
    char mark = ' ';
    if (match && std::strstr(m.driver, "DDRAW")) {
      mark = 'D';
      if (ddraw < 0 || m.bitsPerPixel < modes[static_cast<size_t>(ddraw)].bitsPerPixel)
        ddraw = static_cast<int>(i);
    } else if (match && std::strstr(m.driver, "FDIB")) {
      mark = 'F';
      if (fdib < 0 || m.bitsPerPixel < modes[static_cast<size_t>(fdib)].bitsPerPixel)
        fdib = static_cast<int>(i);
    }
    if (debug) {
      logPrint("[%c] mode-%d %-13s %dx%dx%d pages-%d stretch-%d wStretch-%d", mark, m.number,
               m.driver, m.width, m.height, m.bitsPerPixel, m.pages, m.stretch, m.windowedStretch);
    }
  }
  int pick = wantDdraw && ddraw >= 0 ? ddraw : (wantFdib && fdib >= 0 ? fdib : -1);
  if (pick < 0) return logError(0, "%s: no modes found", fn);

  GdevMode chosen = modes[static_cast<size_t>(pick)];
  if (stretch >= 0 && stretch <= 2) {
    chosen.stretch = chosen.windowedStretch = stretch;
  } else {
    logPrint("%s: unknown %s.stretch value %d", fn, prefix, stretch);
  }
  logPrint("Setting mode: %d %-13s %dx%dx%d pages-%d stretch-%d wStretch-%d", chosen.number,
           chosen.driver, chosen.width, chosen.height, chosen.bitsPerPixel, chosen.pages,
           chosen.stretch, chosen.windowedStretch);
  *outMode = chosen;
  *outWindowed = window;
  return 1;
}
