// Feeds arbitrary bytes to the sprite loader: loads them raw and decodes the
// frames, then loads them for a 15-, 16- and 24-bit screen (each with depth
// and transparency planes and a clip rectangle inside it) and draws every
// frame with every blitter at positions on, across and far off the screen,
// and grabs and restores the background with a clone.
#include <climits>
#include <cstdint>
#include <vector>

#include "core/log.h"
#include "gfx/gspwrite.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"

namespace {

constexpr int kW = 40, kH = 30;

struct FuzzScreen {
  gscr g{};
  std::vector<uint8_t> pixels;
  std::vector<uint16_t> depth;
  std::vector<uint8_t> plane;

  explicit FuzzScreen(int bpp) {
    int bytes = bpp == 15 ? 2 : bpp / 8;
    g.width = kW, g.height = kH;
    g.clipX = 3, g.clipY = 2, g.clipW = kW - 5, g.clipH = kH - 4;
    g.bpp = bpp;
    g.bytesPerPixel = bytes;
    g.pitch = kW * bytes;
    g.pixelFormat = *gdevDefaultFormat(bpp);
    pixels.assign(static_cast<size_t>(g.pitch) * kH, 0x5A);
    depth.resize(kW * kH);
    plane.resize(kW * kH);
    for (int i = 0; i < kW * kH; ++i) {
      depth[i] = static_cast<uint16_t>((i * 37) % 400);
      plane[i] = static_cast<uint8_t>(i * 11);
    }
    g.pixels = pixels.data();
    g.zbuf = depth.data();
    g.alpha = plane.data();
  }
};

void drawAll(Sprite* s, int frame, int x, int y, int z) {
  SPR_PUT_COMMON(s, frame, x, y);
  SPR_PUT_MCOMMON(s, frame, x, y);
  SPR_PUT_ZCOMMON(s, frame, x, y, z);
  SPR_PUT_ALPHA(s, frame, x, y);
  SPR_PUT_MALPHA(s, frame, x, y);
  SPR_PUT_ZXALPHA(s, frame, x, y, z);
  SPR_ADD_ZALPHA(s, frame, x, y, z);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (logPrint("STDERR 0"), gsBuildBlendTable(), true);
  (void)ready;
  static FuzzScreen screens[3] = {FuzzScreen(15), FuzzScreen(16), FuzzScreen(24)};

  if (Sprite* raw = SPR_CREATE_MEM(data, size, "fuzz", SPR_LOAD_RAW)) {
    std::vector<uint8_t> rgba;
    for (int i = 0; i < raw->numfrms && i < 8; ++i) {
      if (static_cast<long long>(raw->frames[i].width) * raw->frames[i].height <= (1 << 20)) {
        gspDecodeFrame(raw, i, &rgba);
      }
    }
    SPR_FREE(raw);
  }

  const int positions[][2] = {{0, 0},       {-3, 5},          {kW - 2, kH - 2}, {kW / 2, -4},
                              {-100000, 3}, {5, 1000000},     {INT_MIN, INT_MAX}, {INT_MAX, INT_MIN},
                              {-65000, -65000}};
  for (FuzzScreen& screen : screens) {
    gscr* previous = gsCurrent;
    gsCurrent = &screen.g;
    Sprite* s = SPR_CREATE_MEM(data, size, "fuzz", 0);
    if (s) {
      Sprite* clone = SPR_CLONE(s);
      int frames = s->numfrms < 8 ? s->numfrms : 8;
      for (int f = 0; f < frames; ++f) {
        for (const auto& p : positions) {
          int z = (p[0] ^ p[1]) & 0x1FF;
          if (clone && SPR_GET(clone, f, p[0], p[1]) == 0) {
            drawAll(s, f, p[0], p[1], z);
            SPR_PUT_COMMON(clone, 0, p[0], p[1]);
          } else {
            drawAll(s, f, p[0], p[1], z);
          }
        }
      }
      if (clone) SPR_FREE(clone);
      SPR_FREE(s);
    }
    gsCurrent = previous;
  }
  return 0;
}
