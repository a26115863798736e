// The board step: microseconds per BOARD_STEP (the median of single timed
// steps) for 1, 3 and 6 balls bouncing on a table of 200 shapes, and for 3
// balls as the number of shapes grows, with the shape index and, for
// comparison, with every ball tested against every object (FullScan). Each benchmark also times a memcpy of
// 64 KiB per step in the same run (memcpy_us) as a baseline for the machine,
// and substeps counts the sub-steps (contacts and track points) per step.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/log.h"
#include "core/random.h"
#include "main/tableload.h"
#include "physics/ball.h"
#include "physics/board.h"
#include "physics/table.h"

namespace {

long gMoves = 0;  // sub-steps, counted by the first wall

int wallHandler(BoardObject* o, BoardEvent* e) {
  if (e->type == BE_HIT && e->other) BOUNCE_SHAPE(e, o, e->other);
  if (e->type == BE_MOVE && o->id == 0) gMoves++;
  return 0;
}

struct BenchTable {
  TableLoad table{};  // the board, made by the table load's board phase
  Board& board = table.physics;
  std::vector<Vec3> vertices;
  std::vector<EdgeLine> edges;

  Outline polygon(double x, double y, const std::vector<std::pair<double, double>>& v, size_t at) {
    Outline o{};
    o.pos = Vec3{x, y, 0};
    o.n = static_cast<int>(v.size());
    o.vertices = &vertices[at];
    o.edges = &edges[at];
    o.xmin = o.ymin = 1e300;
    o.xmax = o.ymax = -1e300;
    for (size_t i = 0; i < v.size(); i++) {
      o.vertices[i] = Vec3{v[i].first, v[i].second, 0};
      o.xmin = std::min(o.xmin, v[i].first);
      o.xmax = std::max(o.xmax, v[i].first);
      o.ymin = std::min(o.ymin, v[i].second);
      o.ymax = std::max(o.ymax, v[i].second);
    }
    shComputeEdges(&o);
    return o;
  }

  // Four walls round the table, then small octagons on a grid.
  BenchTable(int shapes, int balls) {
    logCommand("MUTE 1");
    table.boardParams = BoardParams{0.2, 1.0, 0.2};
    table.boardSlots = shapes + balls + 8 > 256 ? shapes + balls + 8 : 256;
    if (tableLoad(&table, tablePhaseBit(TP_BOARD)) < 0) std::abort();
    vertices.resize(static_cast<size_t>(shapes) * 8 + 16);
    edges.resize(vertices.size());
    size_t at = 0;
    auto add = [&](Outline o) {
      ShapeData d{};
      d.outline = o;
      d.k = 0.6;
      d.quickRelease = 1;
      BoardObject* obj = BOARD_ADDSHAPE(wallHandler, 0, &d);
      if (!obj) std::abort();
      obj->lmask = 1;
      at += static_cast<size_t>(o.n);
    };
    add(polygon(0, 0, {{0, 0}, {800, 0}, {800, 10}, {0, 10}}, at));
    add(polygon(0, 590, {{0, 0}, {800, 0}, {800, 10}, {0, 10}}, at));
    add(polygon(0, 0, {{0, 0}, {10, 0}, {10, 600}, {0, 600}}, at));
    add(polygon(790, 0, {{0, 0}, {10, 0}, {10, 600}, {0, 600}}, at));
    int grid = static_cast<int>(std::ceil(std::sqrt((shapes - 4) * 4.0 / 3.0)));
    for (int i = 0; i < shapes - 4; i++) {
      double cx = 40 + (i % grid) * (720.0 / grid), cy = 40 + (i / grid) * (520.0 / (grid * 3 / 4 + 1));
      std::vector<std::pair<double, double>> v;
      for (int k = 0; k < 8; k++) v.push_back({6 * std::cos(k * 0.785398), 6 * std::sin(k * 0.785398)});
      add(polygon(cx, cy, v, at));
    }
    rndSeed(7);
    for (int i = 0; i < balls; i++) {
      BallData d{};
      d.pos = Vec3{60.0 + 100 * i, 30, 0};
      d.velo = Vec3{(rndNext() % 200 - 100) / 10.0, (rndNext() % 100) / 10.0, 0};
      d.radius = 3;
      BoardObject* b = CREATE_BALL(&d, nullptr, nullptr, 1);
      if (!b) std::abort();
      ballParms(b)->maxvelo = 20;
    }
    BOARD_STEP(1.0);  // the balls join the board
  }
  ~BenchTable() {
    tableUnload(&table);
    logReset();
  }
};

double seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

void runBoard(benchmark::State& state, int shapes, int balls, int fullScan = 0) {
  BenchTable table(shapes, balls);
  table.board.fullScan = fullScan;
  std::vector<double> steps;
  std::vector<uint8_t> src(65536, 1), dst(65536);
  double copyTime = 0;
  long copies = 0;
  gMoves = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    BOARD_STEP(1.0);
    auto t1 = std::chrono::steady_clock::now();
    std::memcpy(dst.data(), src.data(), src.size());
    benchmark::DoNotOptimize(dst.data());
    auto t2 = std::chrono::steady_clock::now();
    steps.push_back(seconds(t0, t1));
    copyTime += seconds(t1, t2);
    copies++;
    // Keep the balls in play: a ball that left is put back.
    if (BOARD_BALLS(&table.board) < balls) {
      state.PauseTiming();
      BallData d{};
      d.pos = Vec3{400, 30, 0};
      d.velo = Vec3{3, 0, 0};
      d.radius = 3;
      CREATE_BALL(&d, nullptr, nullptr, 1);
      state.ResumeTiming();
    }
  }
  std::sort(steps.begin(), steps.end());
  state.counters["median_us"] = steps.empty() ? 0 : steps[steps.size() / 2] * 1e6;
  state.counters["memcpy_us"] = copies ? copyTime / copies * 1e6 : 0;
  state.counters["shapes"] = shapes;
  state.counters["substeps"] = copies ? static_cast<double>(gMoves) / copies : 0;
  state.counters["balls"] = balls;
}

void BM_BoardStep_200Shapes(benchmark::State& state) { runBoard(state, 200, static_cast<int>(state.range(0))); }
BENCHMARK(BM_BoardStep_200Shapes)->Arg(1)->Arg(3)->Arg(6)->Iterations(20000);

void BM_BoardStep_3Balls(benchmark::State& state) { runBoard(state, static_cast<int>(state.range(0)), 3); }
BENCHMARK(BM_BoardStep_3Balls)->Arg(25)->Arg(50)->Arg(100)->Arg(200)->Arg(400)->Iterations(20000);

void BM_BoardStep_3Balls_FullScan(benchmark::State& state) {
  runBoard(state, static_cast<int>(state.range(0)), 3, 1);
}
BENCHMARK(BM_BoardStep_3Balls_FullScan)->Arg(25)->Arg(50)->Arg(100)->Arg(200)->Arg(400)->Iterations(20000);

}  // namespace
