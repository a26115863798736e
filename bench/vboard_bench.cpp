// The cost of a board frame and of presenting the screen, each next to a
// memcpy of the same number of bytes measured in the same run.
//
//   BM_BoardFrame/<bpp>: vbRestore(0) + moving 200 objects + vbDraw, with
//     32x32 sprites: a third plain, a third alpha-blended, a third blended
//     and depth-tested against the table's planes.
//   BM_BoardFrameMemcpy/<bpp>: memcpy of the bytes such a frame restores and
//     draws (200 objects x 32x32 pixels, twice).
//   BM_Present/<bpp>: gsDirtyAll + gsUpdate of the whole 800x600 screen
//     through a device: a window under SDL's offscreen driver when one can be
//     opened, else a hand-built device (the label says which).
//   BM_PresentMemcpy/<bpp>: memcpy of one 800x600 screen.
//   BM_PresentTypical/<bpp>: gsUpdate of a typical frame's dirty set: a
//     ball-sized 24x24 rectangle (moving) and a title-sized 300x40 one.
//   BM_PresentTypicalMemcpy/<bpp>: memcpy of those rectangles' bytes.
//
// Bytes per second and pixels per second are comparable between each pair.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "core/log.h"
#include "core/mem.h"
#include "gfx/gspwrite.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"

#include "bench_stage.h"

namespace {

constexpr int OBJECTS = 200, SIDE = 32;

// A 32x32 disc: opaque inside, half transparent at the rim (run alpha), or
// all opaque without run alpha.
Sprite* disc(bool runAlpha, int r, int g, int b) {
  std::vector<uint8_t> rgba(SIDE * SIDE * 4, 0);
  for (int y = 0; y < SIDE; ++y) {
    for (int x = 0; x < SIDE; ++x) {
      int dx = 2 * x - SIDE + 1, dy = 2 * y - SIDE + 1, d2 = dx * dx + dy * dy;
      uint8_t* p = &rgba[static_cast<size_t>(y * SIDE + x) * 4];
      p[0] = static_cast<uint8_t>(r), p[1] = static_cast<uint8_t>(g), p[2] = static_cast<uint8_t>(b);
      p[3] = d2 < 26 * 26 ? 255 : d2 < SIDE * SIDE ? (runAlpha ? 128 : 255) : 0;
    }
  }
  GspFrameImage frame{SIDE, SIDE, rgba.data(), 0, 0};
  std::vector<uint8_t> bytes;
  if (gspEncode(runAlpha ? GSP_CM_565_ALPHA : GSP_CM_565, std::span(&frame, 1), &bytes) != 0) return nullptr;
  return SPR_CREATE_MEM(bytes.data(), bytes.size(), "disc", 0);
}

void label(benchmark::State& state, const Stage& stage) {
  state.SetLabel(stage.window ? "offscreen window" : "hand-built device, no window");
}

void BM_BoardFrame(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  Stage stage;
  if (!stage.open(bits)) {
    state.SkipWithError("can't set up a screen");
    return;
  }
  gscr& screen = stage.screen;
  GdevDC* background = mglCloneDC(screen.dc);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      gdevWritePixel(background, x, y, gdevPackRGB(&background->format, x & 0xFF, y & 0xFF, (x + y) & 0xFF));
  std::vector<uint16_t> depth(static_cast<size_t>(W) * H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) depth[static_cast<size_t>(y) * W + x] = x < W / 2 ? 1000 : 10;
  gsAddZBuffer(&screen, depth.data(), W, H);
  GdevDC* plane = mglCreateDC24(W, H);
  gdevMakeCurrent(plane);
  gdevSetColorRGB(64, 0, 0);
  gdevFillRect(0, 0, W, H);
  gsAddAlpha(&screen, plane);
  mglFreeDC(plane);

  Sprite* plain = disc(false, 200, 40, 40);
  Sprite* alpha = disc(true, 40, 200, 40);
  auto board = std::make_unique<VBOARD>();
  vbCreate(board.get(), background);
  vbSelect(board.get());
  std::vector<VBOBJ*> objs;
  for (int i = 0; i < OBJECTS; ++i) {
    VBOBJ* o = vbAddObject(i % 3 == 0 ? plain : alpha, 0, (i * 97) % (W - SIDE), (i * 61) % (H - SIDE));
    o->zFlag = i % 3 == 2;
    o->z = 100;
    objs.push_back(o);
  }
  vbRestore(1);
  vbDraw();
  int step = 0;
  for (auto _ : state) {
    vbRestore(0);
    ++step;
    for (int i = 0; i < OBJECTS; ++i) {
      VBOBJ* o = objs[static_cast<size_t>(i)];
      vbSetXY(o, (i * 97 + step * 3) % (W - SIDE), (i * 61 + step * 2) % (H - SIDE));
    }
    vbDraw();
    gsClearDirty();
  }
  const int64_t pixels = static_cast<int64_t>(OBJECTS) * SIDE * SIDE * 2;  // restored and drawn
  state.SetItemsProcessed(state.iterations() * pixels);
  state.SetBytesProcessed(state.iterations() * pixels * screen.bytesPerPixel);
  state.counters["pixels/frame"] = static_cast<double>(pixels);
  label(state, stage);
  vbFree(board.get());
  SPR_FREE_ALL();
  mglFreeDC(background);
}

void memcpyLoop(benchmark::State& state, size_t bytes, int64_t pixels) {
  std::vector<uint8_t> from(bytes, 0x5A), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * pixels);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

void BM_BoardFrameMemcpy(benchmark::State& state) {
  const int bytesPerPixel = (static_cast<int>(state.range(0)) + 7) / 8;
  const int64_t pixels = static_cast<int64_t>(OBJECTS) * SIDE * SIDE * 2;
  memcpyLoop(state, static_cast<size_t>(pixels) * static_cast<size_t>(bytesPerPixel), pixels);
}

// Opens the stage at the benchmark's depth with a pattern on the screen;
// false (the benchmark marked skipped) when no screen can be had.
bool openPainted(benchmark::State& state, Stage* stage) {
  if (!stage->open(static_cast<int>(state.range(0)))) {
    state.SkipWithError("can't set up a screen");
    return false;
  }
  gscr& screen = stage->screen;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) gdevWritePixel(screen.dc, x, y, gdevPackRGB(&screen.pixelFormat, x, y, x ^ y));
  return true;
}

void BM_Present(benchmark::State& state) {
  Stage stage;
  if (!openPainted(state, &stage)) return;
  gscr& screen = stage.screen;
  for (auto _ : state) {
    gsDirtyAll();
    gsUpdate(0);
  }
  const int64_t pixels = static_cast<int64_t>(W) * H;
  state.SetItemsProcessed(state.iterations() * pixels);
  state.SetBytesProcessed(state.iterations() * pixels * screen.bytesPerPixel);
  label(state, stage);
}

void BM_PresentMemcpy(benchmark::State& state) {
  const int bytesPerPixel = (static_cast<int>(state.range(0)) + 7) / 8;
  const int64_t pixels = static_cast<int64_t>(W) * H;
  memcpyLoop(state, static_cast<size_t>(pixels) * static_cast<size_t>(bytesPerPixel), pixels);
}

constexpr GdevRect kBall = {0, 0, 24, 24}, kTitle = {250, 40, 550, 80};

int64_t typicalPixels() {
  return static_cast<int64_t>(kBall.right - kBall.left) * (kBall.bottom - kBall.top) +
         static_cast<int64_t>(kTitle.right - kTitle.left) * (kTitle.bottom - kTitle.top);
}

void BM_PresentTypical(benchmark::State& state) {
  Stage stage;
  if (!openPainted(state, &stage)) return;
  gscr& screen = stage.screen;
  gsDirtyAll();
  gsUpdate(0);
  int step = 0;
  for (auto _ : state) {
    // The ball rolls along a diagonal, clear of the title.
    const int at = 100 + (step++ % 400);
    gsAddDirty(kBall.left + at, kBall.top + at, kBall.right - kBall.left, kBall.bottom - kBall.top);
    gsAddDirty(kTitle.left, kTitle.top, kTitle.right - kTitle.left, kTitle.bottom - kTitle.top);
    gsUpdate(0);
  }
  state.SetItemsProcessed(state.iterations() * typicalPixels());
  state.SetBytesProcessed(state.iterations() * typicalPixels() * screen.bytesPerPixel);
  label(state, stage);
}

void BM_PresentTypicalMemcpy(benchmark::State& state) {
  const int bytesPerPixel = (static_cast<int>(state.range(0)) + 7) / 8;
  memcpyLoop(state, static_cast<size_t>(typicalPixels()) * static_cast<size_t>(bytesPerPixel), typicalPixels());
}

BENCHMARK(BM_BoardFrame)->Arg(16)->Arg(24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BoardFrameMemcpy)->Arg(16)->Arg(24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Present)->Arg(16)->Arg(24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PresentMemcpy)->Arg(16)->Arg(24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PresentTypical)->Arg(16)->Arg(24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PresentTypicalMemcpy)->Arg(16)->Arg(24)->Unit(benchmark::kMicrosecond);

}  // namespace
