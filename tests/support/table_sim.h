#pragma once
// The game's table without its window: loads the physics of a game folder
// (global and game configuration, height maps, tracks, every object of the
// shape files, the view) onto a memory screen and runs it frame by frame at
// 60 frames a second, with the table keys under the test's control. For
// scripted plays of the real compiled table.
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "anim/lights.h"
#include "anim/title.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/mem.h"
#include "core/time.h"
#include "game/game.h"
#include "core/nproc.h"
#include "game/trigger.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "physics/ball.h"
#include "physics/board.h"
#include "physics/geometry.h"
#include "physics/objects/objects.h"
#include "physics/opr.h"
#include "physics/table.h"
#include "physics/track.h"
#include "main/tableload.h"
#include "platform/gdev.h"
#include "support/board_probe.h"
#include "support/table_model.h"
#include "support/testutil.h"

struct TableSim {
  static constexpr int W = 800, H = 600;
  GdevDC* display = nullptr;
  GdevDC* background = nullptr;
  GdevDevice device{};
  gscr screen{};
  VBOARD vboard{};
  TableLoad table{};  // the table's physics, loaded by the session's own phases
  Board& board = table.physics;
  ConfSet& global = table.global;
  ConfSet& rules = table.gameSet;
  std::vector<int> ballRequests;  // free flags of the balls the table asked for
  // A ball that left the table: its trigger (TR_LEAVE_*), where it crossed
  // the edge and its layers.
  struct Leave {
    int trigger;
    double x, y;
    int lmask;
  };
  std::vector<Leave> leaves;
  // BE_HIT events each table object got from a ball since clearHits(), by slot.
  std::array<int, BOARD_MAX_OBJECTS> hits{};
  long frames = 0;  // frames run
  inline static std::array<int, 256> keys{};
  inline static TableSim* current = nullptr;
  // The table objects' own handlers: every object loaded from the shape
  // files is given spyHandler, which counts the hits and passes on.
  inline static std::array<BoardHandler, BOARD_MAX_OBJECTS> handlers{};

  // Loads the table of the game folder dir (the working directory while the
  // simulation lives). ok() tells whether it loaded.
  explicit TableSim(const std::string& dir) : chdir_(dir) {
    logReset();
    logCommand("MUTE 1");
    memInit();
    gsBuildBlendTable();
    tableResetModules();
    keys = {};
    current = this;
    if (!gsCreateMemoryScreen(&screen, &device, &display, W, H, 16)) return;
    gsSelect(&screen);
    // A blank picture stands in for the regime's artwork.
    background = gdevCreateMemoryDC(W, H, 16, nullptr);
    vbCreate(&vboard, background);
    vbSelect(&vboard);
    gTable.keyHeld = [](int scan) { return scan >= 0 && scan < 256 ? keys[scan] : 0; };
    gTable.newBall = [](int free) { current->ballRequests.push_back(free); };
    table.screen = &screen;
    if (tableLoad(&table, TABLE_PHASES_PHYSICS | tablePhaseBit(TP_DISPLAY)) < 0) return;
    perspSetupTable(&gTable.persp);
    handlers = {};
    for (int i = 0; i < board.count; i++) {
      BoardObject* o = &board.objects[i];
      if (o->id < 0 || o->kind == BK_BALL) continue;
      handlers[i] = o->handler;
      o->handler = spyHandler;
    }
    // The ball that sends a leave trigger has just set its kill flag outside
    // the table; the first such ball not yet noted is the one.
    triggerSetSessionActions([](int trigger) {
      if (!current || trigger < TR_LEAVE_DUMA || trigger > TR_LEAVE_GASPROM) return 0;
      Board& b = current->board;
      for (int i = 0; i < b.count; i++) {
        const BoardObject& o = b.objects[i];
        const Vec3& p = o.u.ball.pos;
        if (o.id < 0 || o.kind != BK_BALL || !o.kill || current->noted_[i]) continue;
        if (p.x >= 0 && p.x <= W && p.y >= 0 && p.y <= H) continue;
        current->noted_[i] = 1;
        current->leaves.push_back({trigger, p.x, p.y, o.lmask});
        break;
      }
      return 0;
    });
    loaded_ = true;
  }

  ~TableSim() {
    triggerSetSessionActions(nullptr);
    tableUnload(&table);
    vbFree(&vboard);
    vbCurrent = nullptr;
    SPR_FREE_ALL();
    gsSelect(nullptr);
    gsRelease(&screen);
    if (background) gdevDestroyDC(background);
    if (display) gdevDestroyDC(display);
    current = nullptr;
    logReset();
  }

  bool ok() const { return loaded_; }

  // A ball as the session makes a new one, from the new-ball keys.
  BoardObject* newBall() {
    BallData d;
    int lmask;
    ballNewBallData(&global, gTable.f, 0, &d, &lmask);
    return CREATE_BALL(&d, nullptr, nullptr, lmask);
  }

  // A free ball at a table point, on the layers of lmask.
  BoardObject* ballAt(double x, double y, double vx = 0, double vy = 0, int lmask = 1) {
    BallData d{};
    d.pos = Vec3{x, y, 0};
    d.velo = Vec3{vx, vy, 0};
    d.radius = ballRadius(&global);
    return CREATE_BALL(&d, nullptr, nullptr, lmask);
  }

  // A ball with the given data (a copy of another ball's, say) and lmask.
  BoardObject* place(const BallData& d, int lmask) { return CREATE_BALL(&d, nullptr, nullptr, lmask); }

  void press(int scan, bool down) { keys[scan] = down ? 1 : 0; }

  // Runs frames of 1/60 s; the game clock advances with them.
  void run(int n) {
    for (int i = 0; i < n; i++) {
      tmTime += 1000.0 / 60;
      noted_ = {};
      BOARD_STEP(gTable.f);
      frames++;
    }
  }

  // Runs until pred() holds or frames run out; the frames it took, or -1.
  template <class Pred>
  int runUntil(int frames, Pred pred) {
    for (int i = 0; i < frames; i++) {
      run(1);
      if (pred()) return i + 1;
    }
    return -1;
  }

  bool alive(int id) const {
    return id >= 0 && id < board.count && board.objects[id].id >= 0 && board.objects[id].kind == BK_BALL &&
           !board.objects[id].kill;
  }
  const BallData& ball(int id) const { return board.objects[id].u.ball; }
  BoardObject* object(int id) { return id >= 0 && id < board.count && board.objects[id].id >= 0 ? &board.objects[id] : nullptr; }

  // The live balls' slots, in slot order.
  std::vector<int> balls() const {
    std::vector<int> out;
    for (int i = 0; i < board.count; i++)
      if (alive(i)) out.push_back(i);
    return out;
  }

  // The table object whose outline has the section position (x, y) on a
  // layer (the "object_<x>_<y>" of its parameters), else null.
  BoardObject* objectAt(int layer, int x, int y) { return boardObjectAt(board, layer, x, y); }

  void clearHits() { hits = {}; }

  // Signed distance from (x, y) to a table object's outline as it lies on
  // the board (a flipper's at its rest angle): negative inside.
  static double outlineDistance(const BoardObject* o, double x, double y) { return ::outlineDistance(o, x, y); }

  // The live table objects on the layers of lmask that a ball of radius r at
  // (x, y) would overlap and that pick(object) accepts; the first, or null.
  template <class Pick>
  BoardObject* overlapping(double x, double y, double r, int lmask, Pick pick) {
    return overlappingObject(board, x, y, r, lmask, pick);
  }

 private:
  static int spyHandler(BoardObject* o, BoardEvent* e) {
    if (current && e->type == BE_HIT && e->other && e->other->kind == BK_BALL) current->hits[o->id]++;
    BoardHandler h = o->id >= 0 ? handlers[o->id] : nullptr;
    return h ? h(o, e) : 0;
  }

  ScopedChdir chdir_;
  bool loaded_ = false;
  std::array<char, BOARD_MAX_OBJECTS> noted_{};  // balls whose leaving is noted in this step
};
