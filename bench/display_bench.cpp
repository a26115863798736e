// The title display and the features' animation scripts on the real table
// (the built game folder): what their update costs per frame, next to a
// memcpy of one frame's bytes in the same run.
//   BM_DisplayIdle      the scripts and the titles as in play: the idle score
//                       title loops, the panel is redrawn only when its page
//                       changes ("redraws/frame" says how often)
//   BM_DisplayRedraw    the same with the panel drawn every frame (what a
//                       display that ignored "unchanged" would cost)
//   BM_DisplayMemcpy    the baseline: one 800x600 frame of 16-bit pixels
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "anim/gnm.h"
#include "anim/title.h"
#include "anim/tv.h"
#include "core/log.h"
#include "core/mem.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "main/scene.h"
#include "platform/audio.h"
#include "platform/sys/sys.h"
#include "sound/fx.h"

namespace {

constexpr double kFrameMs = 1000.0 / 60;

// The table of the game folder, loaded once per benchmark, with the score
// title already running.
struct DisplayStage {
  std::string home;
  TableScene scene{};
  bool ok = false;
  DisplayStage() {
    logReset();
    logPrint("STDERR 0");
    memInit();
    gsBuildBlendTable();
    audioSetOutput(AUDIO_OUTPUT_NONE);
    fxInit(0);
    home = sysCurrentDir();
    if (!sysChangeDir(PB_GAME_DIR)) return;
    ok = sceneOpen(&scene, 0) == 1;
    if (!ok) return;
    titleSetMacro("score", "1.250.000");
    for (int i = 0; i < 200; i++) sceneFrame(&scene, kFrameMs);  // past the idle time
  }
  ~DisplayStage() {
    if (ok) sceneClose(&scene);
    fxShutdown();
    SPR_FREE_ALL();
    sysChangeDir(home.c_str());
    logReset();
  }
};

void displayBench(benchmark::State& state, bool redrawEveryFrame) {
  DisplayStage stage;
  if (!stage.ok) {
    state.SkipWithError("can't load the table of the game folder");
    return;
  }
  const long drawsBefore = tvDrawCount();
  for (auto _ : state) {
    gnmUpdate(kFrameMs);
    if (redrawEveryFrame) tvInvalidate();
    benchmark::DoNotOptimize(tvFrame(kFrameMs));
  }
  state.counters["redraws/frame"] =
      static_cast<double>(tvDrawCount() - drawsBefore) / static_cast<double>(state.iterations());
}

void BM_DisplayIdle(benchmark::State& state) { displayBench(state, false); }
void BM_DisplayRedraw(benchmark::State& state) { displayBench(state, true); }

void BM_DisplayMemcpy(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(SCENE_WIDTH) * SCENE_HEIGHT * 2;
  std::vector<uint8_t> a(bytes, 1), b(bytes);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(BM_DisplayIdle)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DisplayRedraw)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DisplayMemcpy)->Unit(benchmark::kMicrosecond);
