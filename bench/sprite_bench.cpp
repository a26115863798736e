// Sprite blitters: nanoseconds per drawn pixel of a typical 64 x 64 sprite
// with run alpha (an opaque disc with a soft edge, about 3200 pixels) at 16
// and 24 bits, each next to a memcpy of the same bytes measured in the same
// run. Columns: time/px for the blitter (and for the BM_Memcpy rows), and
// memcpy_ns/px, the same copy timed inside each blitter's own benchmark.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gfx/gspwrite.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"

namespace {

constexpr int kW = 640, kH = 480, kSide = 64;

enum Kind { COMMON, MCOMMON, ZCOMMON, ALPHA, MALPHA, ZXALPHA, ADDZ };

// A screen with both planes: every other 8-column band of the depth plane
// lies in front of the sprites (depth 100 against their 500), with the
// transparency plane at 128, so the depth-tested blitters take both paths.
struct BenchScreen {
  gscr g{};
  std::vector<uint8_t> pixels;
  std::vector<uint16_t> depth;
  std::vector<uint8_t> plane;
  Sprite* sprite = nullptr;
  long pixelsDrawn = 0;  // per draw

  explicit BenchScreen(int bpp) {
    int bytes = bpp == 16 ? 2 : 3;
    g.width = kW, g.height = kH, g.clipW = kW, g.clipH = kH;
    g.bpp = bpp, g.bytesPerPixel = bytes, g.pitch = kW * bytes;
    g.pixelFormat = *gdevDefaultFormat(bpp);
    pixels.assign(static_cast<size_t>(g.pitch) * kH, 0x40);
    depth.resize(kW * kH);
    plane.assign(kW * kH, 128);
    for (int i = 0; i < kW * kH; ++i) depth[i] = (i % kW) % 16 < 8 ? 1000 : 100;
    g.pixels = pixels.data();
    g.zbuf = depth.data();
    g.alpha = plane.data();
    gsCurrent = &g;
    sprite = SPR_CREATE_MEM(discSprite().data(), discSprite().size(), "disc", 0);
    if (!sprite) std::abort();
    const SprFrame& f = sprite->frames[0];
    std::vector<uint8_t> rgba;
    gspDecodeFrame(sprite, 0, &rgba);
    for (int i = 0; i < f.width * f.height; ++i) pixelsDrawn += rgba[4 * i + 3] != 0;
  }

  // The disc, in colour model 7 (5-6-5 with run alpha): converted at load
  // for 24 bits.
  static const std::vector<uint8_t>& discSprite() {
    static std::vector<uint8_t> bytes = [] {
      std::vector<uint8_t> rgba(kSide * kSide * 4);
      for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
          double d = std::hypot(x - 31.5, y - 31.5);
          double a = std::fmin(std::fmax((32.0 - d) / 4.0, 0.0), 1.0);
          uint8_t* p = &rgba[(y * kSide + x) * 4];
          p[0] = static_cast<uint8_t>(4 * x), p[1] = static_cast<uint8_t>(4 * y), p[2] = 200;
          p[3] = static_cast<uint8_t>(std::lround(a * 255));
        }
      }
      GspFrameImage frame{kSide, kSide, rgba.data(), 0, 0};
      std::vector<uint8_t> out;
      if (gspEncode(GSP_CM_565_ALPHA, {&frame, 1}, &out) < 0) std::abort();
      return out;
    }();
    return bytes;
  }
};

BenchScreen& screenFor(int bpp) {
  gsBuildBlendTable();
  static BenchScreen s16(16), s24(24);
  BenchScreen& s = bpp == 16 ? s16 : s24;
  gsCurrent = &s.g;
  return s;
}

void draw(Kind k, Sprite* s, int x, int y) {
  switch (k) {
    case COMMON: SPR_PUT_COMMON(s, 0, x, y); break;
    case MCOMMON: SPR_PUT_MCOMMON(s, 0, x, y); break;
    case ZCOMMON: SPR_PUT_ZCOMMON(s, 0, x, y, 500); break;
    case ALPHA: SPR_PUT_ALPHA(s, 0, x, y); break;
    case MALPHA: SPR_PUT_MALPHA(s, 0, x, y); break;
    case ZXALPHA: SPR_PUT_ZXALPHA(s, 0, x, y, 500); break;
    case ADDZ: SPR_ADD_ZALPHA(s, 0, x, y, 500); break;
  }
}

// Copies the sprite's drawn bytes into the screen as 64 rows of equal length:
// the memcpy a blitter is compared with.
void copyRows(BenchScreen& s, const uint8_t* src) {
  size_t perRow = static_cast<size_t>(s.pixelsDrawn) * s.g.bytesPerPixel / kSide;
  for (int y = 0; y < kSide; ++y) {
    uint8_t* dst = s.g.pixels + static_cast<size_t>(100 + y) * s.g.pitch + 100 * s.g.bytesPerPixel;
    std::memcpy(dst, src + static_cast<size_t>(y) * perRow, perRow);
    benchmark::DoNotOptimize(dst);
  }
  benchmark::ClobberMemory();
}

// ns per pixel of copyRows, timed inside the blitter's own benchmark so that
// both figures share the run's conditions.
double memcpyNsPerPixel(BenchScreen& s) {
  std::vector<uint8_t> src(static_cast<size_t>(s.pixelsDrawn) * s.g.bytesPerPixel, 0x33);
  const int rounds = 4000;
  auto t0 = std::chrono::steady_clock::now();
  for (int r = 0; r < rounds; ++r) copyRows(s, src.data());
  auto t1 = std::chrono::steady_clock::now();
  double ns = std::chrono::duration<double, std::nano>(t1 - t0).count();
  return ns / rounds / static_cast<double>(s.pixelsDrawn);
}

void setCounters(benchmark::State& state, const BenchScreen& s, double memcpyNs) {
  const double px = static_cast<double>(s.pixelsDrawn);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * s.pixelsDrawn));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.pixelsDrawn * s.g.bytesPerPixel));
  // Time per pixel, shown with its unit ("0.72ns").
  state.counters["time/px"] =
      benchmark::Counter(px, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  if (memcpyNs > 0) state.counters["memcpy_ns/px"] = memcpyNs;
}

void BM_Blit(benchmark::State& state, int bpp, Kind kind) {
  BenchScreen& s = screenFor(bpp);
  double copy = memcpyNsPerPixel(s);
  int i = 0;
  for (auto _ : state) {
    draw(kind, s.sprite, 40 + (i & 255), 40 + ((i >> 3) & 127));
    ++i;
    benchmark::ClobberMemory();
  }
  setCounters(state, s, copy);
}

void BM_Memcpy(benchmark::State& state, int bpp) {
  BenchScreen& s = screenFor(bpp);
  std::vector<uint8_t> src(static_cast<size_t>(s.pixelsDrawn) * s.g.bytesPerPixel, 0x33);
  for (auto _ : state) copyRows(s, src.data());
  setCounters(state, s, 0);
}

}  // namespace

BENCHMARK_CAPTURE(BM_Memcpy, 16bpp, 16);
BENCHMARK_CAPTURE(BM_Blit, COMMON_16bpp, 16, COMMON);
BENCHMARK_CAPTURE(BM_Blit, MCOMMON_16bpp, 16, MCOMMON);
BENCHMARK_CAPTURE(BM_Blit, ZCOMMON_16bpp, 16, ZCOMMON);
BENCHMARK_CAPTURE(BM_Blit, ALPHA_16bpp, 16, ALPHA);
BENCHMARK_CAPTURE(BM_Blit, MALPHA_16bpp, 16, MALPHA);
BENCHMARK_CAPTURE(BM_Blit, ZXALPHA_16bpp, 16, ZXALPHA);
BENCHMARK_CAPTURE(BM_Blit, ADD_ZALPHA_16bpp, 16, ADDZ);
BENCHMARK_CAPTURE(BM_Memcpy, 24bpp, 24);
BENCHMARK_CAPTURE(BM_Blit, COMMON_24bpp, 24, COMMON);
BENCHMARK_CAPTURE(BM_Blit, MCOMMON_24bpp, 24, MCOMMON);
BENCHMARK_CAPTURE(BM_Blit, ZCOMMON_24bpp, 24, ZCOMMON);
BENCHMARK_CAPTURE(BM_Blit, ALPHA_24bpp, 24, ALPHA);
BENCHMARK_CAPTURE(BM_Blit, ZXALPHA_24bpp, 24, ZXALPHA);
BENCHMARK_CAPTURE(BM_Blit, ADD_ZALPHA_24bpp, 24, ADDZ);
