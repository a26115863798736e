// One frame of the shipped table in play, with a ball launched and the
// lamps running: the whole frame of the session's loop (without the
// present) and, as counters, the microseconds a frame spent in each stage
// (physics, lamps, rules, scripts, titles, restore and draw, sound); next to
// a memcpy of one frame's bytes (800 x 600 at 15 bits) in the same run.
//   BM_TableFrame        the live scene's frame, stages as counters
//   BM_TableFrameMemcpy  the memcpy of one frame
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/mem.h"
#include "core/random.h"
#include "core/time.h"
#include "game/stats.h"
#include "gfx/screen.h"
#include "main/blackbox.h"
#include "main/play.h"
#include "main/scene.h"
#include "platform/audio.h"
#include "platform/gdev.h"
#include "sound/fx.h"

namespace {

void key(int scan, bool down) {
  GdevEvent e{};
  e.what = down ? GDEV_EVT_KEYDOWN : GDEV_EVT_KEYUP;
  e.message = static_cast<uint32_t>(scan << 8);
  playUserEvent(&e);
}

// The launch key held for 40 frames out of every 400: a drained ball comes
// back into play.
void launchNow(int frame) {
  if (frame % 400 == 10) key(0x1D, true);
  if (frame % 400 == 50) key(0x1D, false);
}

void BM_TableFrame(benchmark::State& state) {
  char previous[4096];
  if (!getcwd(previous, sizeof previous) || chdir(PB_GAME_DIR) != 0) {
    state.SkipWithError("no game folder");
    return;
  }
  logReset();
  logPrint("STDERR 0");
  memInit();
  tmInit();
  tmSetTime(0);
  tmSetRate(60, 0);
  tmSetTurbo(1);
  rndSeed(1);
  gsBuildBlendTable();
  audioSetOutput(AUDIO_OUTPUT_NONE);
  fxInit(0);
  setupMusic();
  gstatPreload(0);
  TableScene scene{};
  if (!sceneOpenLive(&scene, 0)) {
    state.SkipWithError("the table did not load");
    if (chdir(previous) != 0) return;
    return;
  }
  int frame = 0;
  for (; frame < 300; frame++) {  // the first ball launched and on its way
    launchNow(frame);
    sceneStep(&scene);
  }
  PlayFrameCost cost{};
  playMeasureFrames(&cost);
  for (auto _ : state) {
    launchNow(frame++);
    sceneStep(&scene);
  }
  playMeasureFrames(nullptr);
  const double n = static_cast<double>(state.iterations());
  state.counters["physics_us"] = cost.physics / n;
  state.counters["lamps_us"] = cost.lamps / n;
  state.counters["rules_us"] = cost.rules / n;
  state.counters["scripts_us"] = cost.scripts / n;
  state.counters["titles_us"] = cost.titles / n;
  state.counters["draw_us"] = cost.draw / n;
  state.counters["sound_us"] = cost.sound / n;
  sceneClose(&scene);
  fxShutdown();
  audioSetOutput(AUDIO_OUTPUT_DEVICE);
  tmSetTurbo(0);
  logReset();
  if (chdir(previous) != 0) state.SkipWithError("can't go back");
}

void BM_TableFrameMemcpy(benchmark::State& state) {
  std::vector<uint8_t> a(800 * 600 * 2, 1), b(a.size());
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size());
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(BM_TableFrame)->Iterations(3000)->Repetitions(3)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TableFrameMemcpy)->Repetitions(3)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);
