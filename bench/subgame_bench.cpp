// One frame of each subgame on the built game folder's data, presented to
// the offscreen window at 16 bits, next to a memcpy of one frame's bytes in
// the same run.
//   BM_SubgameFrame/0  boxing: the player walks in and punches
//   BM_SubgameFrame/1  the shooting gallery: a shot every 40 frames
//   BM_SubgameFrame/2  gold catching: the figure moves round the chutes
//   BM_SubgameMemcpy   the baseline: one 800x600 frame of 16-bit pixels
// The time shown is that of one frame: each iteration plays the subgame on
// its own frame loop for up to 600 frames, timed between the host's frame
// ends (loading and freeing the subgame are not counted).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "core/log.h"
#include "core/mem.h"
#include "core/time.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "platform/audio.h"
#include "platform/gdev.h"
#include "platform/sys/sys.h"
#include "sound/fx.h"
#include "subgames/sg.h"

#include "bench_stage.h"

namespace {

using Clock = std::chrono::steady_clock;

struct BenchRun {
  int id = 0;
  int frame = 0;
  int frames = 0;  // the frames to time in this run
  Clock::time_point last;
  double seconds = 0;  // time of the frames counted
  int counted = 0;
};

BenchRun* gRun = nullptr;

// The player: keys that keep each subgame busy for the frames timed.
int benchEvent(GdevEvent* out) {
  const int f = gRun->frame;
  int scan = 0;
  bool down = true;
  switch (gRun->id) {
    case SG_BOXING:  // forward for a while, then punches
      if (f == 1) scan = 0x35;
      if (f == 40) scan = 0x35, down = false;
      if (f > 40 && f % 30 == 0) scan = 0x1D;
      if (f > 40 && f % 30 == 5) scan = 0x1D, down = false;
      break;
    case SG_DEPUTY:
      if (f % 40 == 0) scan = (f / 40) % 2 ? 0x35 : 0x2C;
      if (f % 40 == 3) scan = (f / 40) % 2 ? 0x35 : 0x2C, down = false;
      break;
    default: {
      static const int kMoves[] = {0x47, 0x49, 0x51, 0x4F};
      if (f % 25 == 0) scan = kMoves[(f / 25) % 4];
      break;
    }
  }
  if (!scan) return 0;
  *out = GdevEvent{};
  out->what = down ? GDEV_EVT_KEYDOWN : GDEV_EVT_KEYUP;
  out->message = static_cast<uint32_t>(scan) << 8;
  return 1;
}

void benchFrameEnd() {
  const Clock::time_point now = Clock::now();
  // The first frames set up the subgame's drawing; the count starts after.
  if (gRun->frame >= 10) {
    gRun->seconds += std::chrono::duration<double>(now - gRun->last).count();
    gRun->counted++;
  }
  gRun->last = now;
  gRun->frame++;
}

int benchQuit() { return gRun->counted >= gRun->frames ? 1 : 0; }

constexpr SgHost kHost = {benchEvent, nullptr, benchFrameEnd, benchQuit, nullptr};

void BM_SubgameFrame(benchmark::State& state) {
  Stage stage;
  if (!stage.open(16)) {
    state.SkipWithError("can't set up a screen");
    return;
  }
  audioSetOutput(AUDIO_OUTPUT_NONE);
  fxInit(0);
  const std::string home = sysCurrentDir();
  if (!sysChangeDir(PB_GAME_DIR) || SG_PRELOAD(0) < 0) {
    sysChangeDir(home.c_str());
    fxShutdown();
    state.SkipWithError("can't read the subgames of the game folder");
    return;
  }
  GdevDC* background = mglCloneDC(stage.screen.dc);
  static VBOARD board;
  vbCreate(&board, background);
  vbSelect(&board);
  tmInit();
  tmSetTime(0);
  tmSetTurbo(1);
  tmSetRate(60, 1);
  sgSetHost(&kHost);

  // Each iteration plays the subgame for up to 600 frames and reports the
  // time of one of them (manual time: loading is not counted).
  BenchRun run;
  double seconds = 0;
  int counted = 0;
  for (auto _ : state) {
    run = BenchRun{};
    run.id = static_cast<int>(state.range(0));
    run.frames = 600;
    run.last = Clock::now();
    gRun = &run;
    SgOutcome outcome{};
    // As before every subgame in the game: the settings are read again.
    SG_PRELOAD(0);
    SG_REQUEST(run.id, &outcome);
    if (SG_RUN() < 0 || run.counted == 0) {
      state.SkipWithError("the subgame did not run");
      break;
    }
    state.SetIterationTime(run.seconds / run.counted);
    seconds += run.seconds;
    counted += run.counted;
  }
  gRun = nullptr;
  sgSetHost(nullptr);
  sgClearRequest();
  tmSetTurbo(0);
  vbFree(&board);
  mglFreeDC(background);
  sgFree();
  fxShutdown();
  SPR_FREE_ALL();
  sysChangeDir(home.c_str());
  state.counters["us/frame"] = counted ? seconds / counted * 1e6 : 0;
  state.counters["frames"] = counted;
}

void BM_SubgameMemcpy(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(W) * H * 2;
  std::vector<uint8_t> a(bytes, 1), b(bytes);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(BM_SubgameFrame)->Arg(0)->Arg(1)->Arg(2)->Iterations(3)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SubgameMemcpy)->Unit(benchmark::kMicrosecond);
