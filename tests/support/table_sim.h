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
#include "game/calls.h"
#include "game/game.h"
#include "game/nproc.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "physics/ball.h"
#include "physics/board.h"
#include "physics/geometry.h"
#include "physics/objects.h"
#include "physics/opr.h"
#include "physics/table.h"
#include "physics/track.h"
#include "platform/gdev.h"
#include "support/testutil.h"

struct TableSim {
  static constexpr int W = 800, H = 600;
  GdevDC* display = nullptr;
  GdevDC* background = nullptr;
  GdevDevice device{};
  gscr screen{};
  VBOARD vboard{};
  Board board{};
  BoardParams params{};
  ConfSet global{}, rules{};
  int shapes = 0;
  std::vector<int> ballRequests;  // free flags of the balls the table asked for
  inline static std::array<int, 256> keys{};
  inline static TableSim* current = nullptr;

  // Loads the table of the game folder dir (the working directory while the
  // simulation lives). ok() tells whether it loaded.
  explicit TableSim(const std::string& dir) : chdir_(dir) {
    logReset();
    logCommand("MUTE 1");
    memInit();
    gsBuildBlendTable();
    rulesCallClear();
    titleClearMacros();
    gameReset();
    namedProcClear();
    eventClear();
    tableContextReset();
    keys = {};
    current = this;
    display = gdevCreateMemoryDC(W, H, 16, nullptr);
    device.mode.width = W;
    device.mode.height = H;
    device.mode.bitsPerPixel = 16;
    device.mode.pages = 1;
    device.windowed = 1;
    device.drawDC = device.displayDC = display;
    if (!display || gsCreateMGL(&screen, &device) != 1) return;
    gsSelect(&screen);
    background = gdevCreateMemoryDC(W, H, 16, nullptr);
    vbCreate(&vboard, background);
    vbSelect(&vboard);
    lightInit();
    if (conf_anyread(&global, "sim", "conf/global.conf", "conf/global.bcf", 0) < 0) return;
    if (conf_anyread(&rules, "sim", "conf/game.conf", "conf/game.bcf", 0) < 0) return;
    tableContextRead(&global, &rules);
    gTable.keyHeld = [](int scan) { return scan >= 0 && scan < 256 ? keys[scan] : 0; };
    gTable.newBall = [](int free) { current->ballRequests.push_back(free); };
    tableReadBoardParams(&global, &params);
    if (BOARD_INIT(&board, BOARD_MAX_OBJECTS, &params) < 0) return;
    BOARD_SELECT(&board);
    loadTableMaps(&screen, nullptr);
    setupTracks(0);
    objectsReset();
    objClearInfo();
    OPR_RESET();
    if (oprRegisterTable() < 0) return;
    ShapeLoadHooks hooks{nullptr, oprSetObjectConf, OPR_RECOGNIZE};
    shapeSetLoadHooks(&hooks);
    shapes = LOAD_SHAPES(0);
    perspSetupTable(&gTable.persp);
    loaded_ = true;
  }

  ~TableSim() {
    if (board.objects)
      for (int i = 0; i < board.count; i++)
        if (board.objects[i].id >= 0) BOARD_KILL(i);
    BOARD_FREE(&board);
    objectsReset();
    objClearInfo();
    OPR_RESET();
    shapeSetLoadHooks(nullptr);
    FREE_SHAPES();
    CLEAR_LAYER_HEIGHTS();
    trackFreeAll();
    lightFree();
    vbFree(&vboard);
    vbCurrent = nullptr;
    SPR_FREE_ALL();
    gsSelect(nullptr);
    gsRelease(&screen);
    if (background) gdevDestroyDC(background);
    if (display) gdevDestroyDC(display);
    conf_free(&global);
    conf_free(&rules);
    tableContextReset();
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
    d.radius = conf_getdouble(&global, "ball.radius", 3.0);
    return CREATE_BALL(&d, nullptr, nullptr, lmask);
  }

  void press(int scan, bool down) { keys[scan] = down ? 1 : 0; }

  // Runs frames of 1/60 s; the game clock advances with them.
  void run(int frames) {
    for (int i = 0; i < frames; i++) {
      tmTime += 1000.0 / 60;
      BOARD_STEP(gTable.f);
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

 private:
  ScopedChdir chdir_;
  bool loaded_ = false;
};
