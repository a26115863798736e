// One empty table-session frame: lamps (all 156 blinking), visual board
// restore and draw, sound update and present to the offscreen window, next to
// a memcpy of one frame's bytes in the same run.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "anim/lights.h"
#include "core/log.h"
#include "core/time.h"
#include "gfx/gspwrite.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "sound/fx.h"

#include "bench_stage.h"

namespace {

constexpr int LAMP = 16;

// A lamp sprite of three frames (dark, half, lit) drawn at its place on the
// table, as the pre-rendered lamp pictures are.
void writeLamp(const std::string& path, int x, int y) {
  std::vector<std::vector<uint8_t>> frames(3, std::vector<uint8_t>(LAMP * LAMP * 4));
  std::vector<GspFrameImage> images;
  for (int f = 0; f < 3; f++) {
    for (int i = 0; i < LAMP * LAMP; i++) {
      uint8_t* p = &frames[f][static_cast<size_t>(i) * 4];
      p[0] = static_cast<uint8_t>(80 + 80 * f);
      p[1] = static_cast<uint8_t>(60 * f);
      p[2] = 20;
      p[3] = (i % LAMP == 0 || i % LAMP == LAMP - 1) ? 128 : 255;
    }
    images.push_back({LAMP, LAMP, frames[f].data(), x, y});
  }
  gspWrite(path.c_str(), GSP_CM_565_ALPHA, images);
}

void BM_SessionFrame(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  Stage stage;
  if (!stage.open(bits)) {
    state.SkipWithError("can't set up a screen");
    return;
  }
  fxInit(1);
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "pb_session_bench";
  std::filesystem::create_directories(dir / "data");
  std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir);

  GdevDC* background = mglCloneDC(stage.screen.dc);
  static VBOARD board;
  vbCreate(&board, background);
  vbSelect(&board);
  lightInit();
  synlightSetup(nullptr);
  for (int light = 0; light < LI_LAST; light++) {
    std::string name = "lamp" + std::to_string(light) + ".gsp";
    writeLamp("data/" + name, 20 + (light % 26) * 29, 20 + (light / 26) * 90);
    createLight(light, name.c_str(), "lamp", 0, nullptr);
    lightSet(light, LIGHT_BLINK);
  }
  tmInit();
  tmSetTime(0);
  tmSetRate(60, 0);
  tmSetTurbo(1);
  vbRestore(1);
  vbDraw();
  gsUpdate(0);

  for (auto _ : state) {
    tmBeginFrame();
    tmMarkFrame();
    synlightUpdate();
    lightUpdate(tmFrameDelta);
    vbRestore(0);
    vbDraw();
    fxFadeUpdate(tmFrameDelta);
    fxUpdate();
    gsUpdate(0);
    tmEndFrame();
  }
  state.SetBytesProcessed(state.iterations() * W * H * stage.screen.bytesPerPixel);
  state.SetLabel(stage.window ? "offscreen window, 156 lamps blinking" : "no window, 156 lamps blinking");

  tmSetTurbo(0);
  lightFree();
  vbDeselect(&board);
  vbFree(&board);
  mglFreeDC(background);
  SPR_FREE_ALL();
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(dir);
}

void BM_SessionFrameMemcpy(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(W) * H * (state.range(0) == 24 ? 3 : 2);
  std::vector<uint8_t> a(bytes, 1), b(bytes, 2);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

BENCHMARK(BM_SessionFrame)->Arg(16)->Arg(24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SessionFrameMemcpy)->Arg(16)->Arg(24)->Unit(benchmark::kMicrosecond);

}  // namespace
