#pragma once
// The real game on the shipped table, headless and in this process: the
// built game folder's table loaded as the session loads it (rules, titles,
// lamps, statistics, music and samples without a sound device) on a screen
// in memory, in play as the session plays it (a live scene: the session's
// own frame, trigger actions and new-ball request), with a game begun. The
// first frame puts the first ball on the plunger.
//
// A test presses the table keys, places balls or shoots them at the table's
// objects by the names the table description (table/*.tbl) gives them, runs
// frames and reads what the game made of it: the game state, statistics,
// lamps, titles, macros, the log and the picture. Nothing of the rules is
// set by hand here.
//
// The frames run at 60 a second on the turbo clock: every frame is one
// nominal frame of game time, so that runs are exact and repeatable. The
// working directory is a game folder of the fixture's own (the built one's
// parts linked into it), where the log goes with its debug lines (the
// table's load writes it beside the game, wherever the log was before);
// HOME and XDG_DATA_HOME point to the fixture's folder while the table
// lives. One LiveTable at a time.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "anim/lights.h"
#include "anim/title.h"
#include "core/log.h"
#include "core/mem.h"
#include "core/random.h"
#include "core/time.h"
#include "game/game.h"
#include "game/stats.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "main/blackbox.h"
#include "main/play.h"
#include "main/scene.h"
#include "main/session.h"
#include "physics/ball.h"
#include "physics/board.h"
#include "platform/audio.h"
#include "platform/gdev.h"
#include "pngio.h"
#include "sound/fx.h"
#include "support/board_probe.h"
#include "support/gamecopy.h"
#include "support/table_model.h"
#include "support/testutil.h"

struct LiveTable {
  static constexpr double kShotSpeed = 4;  // table units a frame
  static constexpr double kShotGap = 3;    // between the ball and the object at the start

  // How a shot at an object goes: the ball's start, its direction (a unit
  // vector) and layers. found is false when no clear straight approach
  // exists.
  struct Approach {
    bool found = false;
    BoardObject* target = nullptr;
    double x = 0, y = 0, dx = 0, dy = 0;
    int lmask = 0;
  };

  // Loads the table in the regime and begins a game; ok() tells whether it
  // loaded.
  explicit LiveTable(int regime = REGIME_COMM) : home_("HOME", dir.path), data_("XDG_DATA_HOME", dir.path) {
    logReset();
    logPrint("STDERR 0");
    if (mkdir(game_.c_str(), 0755) != 0) {
      ADD_FAILURE() << "can't make " << game_;
      return;
    }
    makeGameCopy(game_, false);
    if (::testing::Test::HasFatalFailure()) return;
    chdir_.emplace(game_);
    logPrint("LOG_CREATE #report.txt");
    logSetDebugLevel(10);
    memInit();
    tmInit();
    tmSetTime(0);
    tmSetRate(60, 0);
    tmSetTurbo(1);
    rndSeed(1);  // the generator as a new process starts it
    gsBuildBlendTable();
    audioSetOutput(AUDIO_OUTPUT_NONE);
    if (fxInit(0) != 1) return;
    if (!setupMusic()) return;
    if (gstatPreload(0) < 0) return;
    current() = this;
    if (!sceneOpenLive(&scene, regime)) return;
    Board& b = board();
    for (int i = 0; i < b.count; i++) {
      BoardObject* o = &b.objects[i];
      if (o->id < 0 || o->kind == BK_BALL) continue;
      handlers()[i] = o->handler;
      o->handler = spyHandler;
    }
    loaded_ = true;
  }

  ~LiveTable() {
    if (loaded_) {
      Board& b = board();
      for (int i = 0; i < b.count; i++)
        if (b.objects[i].id >= 0 && b.objects[i].handler == spyHandler) b.objects[i].handler = handlers()[i];
    }
    if (scene.display) sceneClose(&scene);
    handlers() = {};
    current() = nullptr;
    userEventClearKeys();
    fxShutdown();
    audioSetOutput(AUDIO_OUTPUT_DEVICE);
    SPR_FREE_ALL();
    tmSetTurbo(0);
    rndSeed(1);
    logReset();
  }

  LiveTable(const LiveTable&) = delete;
  LiveTable& operator=(const LiveTable&) = delete;

  bool ok() const { return loaded_; }
  Board& board() { return scene.table.physics; }

  // ---- Frames ----

  // Runs n whole frames of the session's loop (a pending regime switch
  // first, as the loop does it).
  void run(int n) {
    for (int i = 0; i < n; i++) {
      if (!sceneStep(&scene)) {
        ADD_FAILURE() << "the regime switch failed: the session would end here";
        return;
      }
    }
  }

  // Runs frames until pred() holds after one, at most maxFrames; the frames
  // run, or -1 when pred never held.
  template <class Pred>
  int runUntil(int maxFrames, Pred pred) {
    for (int i = 1; i <= maxFrames; i++) {
      run(1);
      if (pred()) return i;
    }
    return -1;
  }

  // The session's frame counter: the frames run since the game began.
  int frame() const { return tmFrame; }

  // ---- Keys ----

  // A table key goes down or up as the session takes it from the window:
  // the key maps follow, and a flipper key going down moves the lanes'
  // lamps (R in game over starts a new game). Takes effect in the next frame.
  void press(int scan) { key(scan, true); }
  void release(int scan) { key(scan, false); }
  // Holds a key down for the frames, then lets it go.
  void hold(int scan, int frames) {
    press(scan);
    run(frames);
    release(scan);
  }

  // ---- Balls ----

  // A live ball at a table point, moving (vx, vy) table units a frame, on
  // the layers of lmask, drawn with the session's ball and shadow sprites.
  BoardObject* ballAt(double x, double y, double vx = 0, double vy = 0, int lmask = 1) {
    BallData d{};
    d.pos = Vec3{x, y, 0};
    d.velo = Vec3{vx, vy, 0};
    d.radius = radius();
    BoardObject* b = CREATE_BALL(&d, scene.table.ball, scene.table.shadow, lmask);
    EXPECT_NE(b, nullptr) << "no room for a ball";
    return b;
  }

  // The balls in play (not marked to leave), in slot order.
  std::vector<BoardObject*> balls() {
    std::vector<BoardObject*> out;
    Board& b = board();
    for (int i = 0; i < b.count; i++)
      if (b.objects[i].id >= 0 && b.objects[i].kind == BK_BALL && !b.objects[i].kill) out.push_back(&b.objects[i]);
    return out;
  }

  // Takes every ball off the board, as if it had never been there: no
  // trigger fires.
  void removeBalls() {
    for (BoardObject* b : balls()) BOARD_KILL(b->id);
  }

  double radius() const { return scene.table.cfg.ballRadius; }

  // The board object the table made of a described object, or null.
  BoardObject* object(const std::string& name) { return boardObjectNamed(board(), name); }

  // The table object of that name hit by a ball since the table loaded
  // (BE_HIT events whose other object is a ball).
  int hits(const std::string& name) {
    const BoardObject* o = object(name);
    return o ? hits_[o->id] : 0;
  }

  // A straight shot at a described object: the first of 24 directions,
  // from below the object (the ball going up the table) round to either
  // side, from which a ball a little before the object (kShotGap, else a
  // quarter or a sixteenth of it) reaches it without touching anything else
  // on its layers. The ball's layers are the object's lowest one.
  Approach approach(const std::string& name) {
    Approach a;
    BoardObject* o = object(name);
    if (!o || !o->lmask) return a;
    const Outline& ol = o->u.shape.outline;
    if (ol.n < 2 || !ol.vertices) return a;
    double cx = 0, cy = 0;
    for (int i = 0; i < ol.n; i++) {
      cx += ol.pos.x + ol.vertices[i].x;
      cy += ol.pos.y + ol.vertices[i].y;
    }
    cx /= ol.n;
    cy /= ol.n;
    const int lmask = o->lmask & -o->lmask;
    const double r = radius();
    Board& b = board();
    for (int tries = 0; tries < 3 * 24; tries++) {
      // 0, +15, -15, +30, -30 ... 180 degrees from straight up the table,
      // at kShotGap first, then closer where the room before the object is
      // tight.
      const int k = tries % 24;
      const double gap = kShotGap / (1 << 2 * (tries / 24));
      const double deg = (k + 1) / 2 * 15.0 * (k % 2 ? 1 : -1);
      const double dx = std::sin(deg * M_PI / 180), dy = -std::cos(deg * M_PI / 180);
      double reach = 0;
      for (int i = 0; i < ol.n; i++)
        reach = std::fmax(reach, -((ol.pos.x + ol.vertices[i].x - cx) * dx + (ol.pos.y + ol.vertices[i].y - cy) * dy));
      const double run = reach + r + gap;
      const double sx = cx - dx * run, sy = cy - dy * run;
      if (sx < r + 2 || sx > 798 - r || sy < r + 2 || sy > 598 - r) continue;
      if (overlappingObject(b, sx, sy, r + 0.5, lmask, [](const BoardObject*) { return true; })) continue;
      bool clear = false;
      for (double s = 0; s <= run; s += 0.5) {
        const double px = sx + dx * s, py = sy + dy * s;
        if (outlineDistance(o, px, py) < r) {
          clear = true;
          break;
        }
        if (overlappingObject(b, px, py, r, lmask, [o](const BoardObject* other) { return other != o; })) break;
      }
      if (!clear) continue;
      a.found = true;
      a.target = o;
      a.x = sx, a.y = sy, a.dx = dx, a.dy = dy;
      a.lmask = lmask;
      return a;
    }
    return a;
  }

  // Shoots a ball at a described object (see approach): the ball starts a
  // few units before it at kShotSpeed and the frames run until the object
  // is hit. The frames that took, or -1 when there is no clear approach or
  // no hit within maxFrames. The ball stays in play.
  int shootAt(const std::string& name, int maxFrames = 20) {
    const Approach a = approach(name);
    if (!a.found) return -1;
    const int before = hits_[a.target->id];
    if (!ballAt(a.x, a.y, a.dx * kShotSpeed, a.dy * kShotSpeed, a.lmask)) return -1;
    return runUntil(maxFrames, [&] { return hits_[a.target->id] > before; });
  }

  // A hit without a shot, for an object whose shape or surroundings make a
  // shot unreliable: the object's handler gets the BE_HIT event a ball
  // touching it sends, from a real ball of the session set down touching
  // it on the line of its approach (or from straight below when it has
  // none), moving into it at kShotSpeed, the contact at the ball's centre
  // with the normal from the object to the ball, as the board reports a
  // hit. Then the ball is taken off the board again (unless the handler
  // took it), so that it hits nothing else. False when there is no such
  // object.
  bool hit(const std::string& name) {
    Approach a = approach(name);
    BoardObject* o = a.found ? a.target : object(name);
    if (!o || !o->lmask || !o->handler) return false;
    if (!a.found) {
      const Outline& ol = o->u.shape.outline;
      a.x = ol.pos.x + (ol.xmin + ol.xmax) / 2;
      a.y = ol.pos.y + ol.ymax + radius() + kShotGap;
      a.dx = 0, a.dy = -1;
      a.lmask = o->lmask & -o->lmask;
    }
    // Along the line until the ball touches the outline.
    const double r = radius();
    double lo = 0, hi = 0;
    while (outlineDistance(o, a.x + a.dx * hi, a.y + a.dy * hi) > r && hi < 100) hi += 0.5;
    for (int i = 0; i < 40; i++) {
      const double mid = (lo + hi) / 2;
      (outlineDistance(o, a.x + a.dx * mid, a.y + a.dy * mid) > r ? lo : hi) = mid;
    }
    BoardObject* ball = ballAt(a.x + a.dx * lo, a.y + a.dy * lo, a.dx * kShotSpeed, a.dy * kShotSpeed, a.lmask);
    if (!ball) return false;
    const int id = ball->id;
    Vec3 near{};
    const Vec3 c = ball->u.ball.pos;
    const double d = outlineDistance(o, c.x, c.y, &near);
    BoardEvent e{};
    e.type = BE_HIT;
    e.time = board().time;
    e.other = ball;
    e.contact.kind = 1;
    e.contact.point = c;
    e.contact.normal = d > 0 ? Vec3{(c.x - near.x) / d, (c.y - near.y) / d, 0} : Vec3{-a.dx, -a.dy, 0};
    o->handler(o, &e);
    BoardObject* left = boardObject(id);
    if (left && left->kind == BK_BALL && !left->kill && !left->u.ball.track) BOARD_KILL(id);
    return true;
  }

  // ---- State ----

  GameState& state() { return game; }
  int stat(const char* mnemonic) { return gstatCount(mnemonic); }
  int lamp(int light) { return lightGetState(light); }
  // The name of the title playing in a context (TITLE_FORE, TITLE_BACK)
  // without its "title-" prefix, or "" when none plays.
  std::string title(int which) {
    const char* n = titleName(titlePlaying(which));
    if (!n) return "";
    const std::string s = n;
    return s.rfind("title-", 0) == 0 ? s.substr(6) : s;
  }
  std::string macro(const char* name) {
    const char* v = titleMacro(name);
    return v ? v : "";
  }
  // The log since the table began to load.
  std::string log() const { return readFile(game_ + "/#report.txt"); }

  // The memory screen's pixels, row by row.
  std::vector<uint32_t> pixels() const {
    std::vector<uint32_t> px;
    const GdevDC* dc = scene.screen.dc;
    for (int y = 0; y < dc->height; y++)
      for (int x = 0; x < dc->width; x++) px.push_back(gdevReadPixel(dc, x, y));
    return px;
  }

  // The memory screen as a PNG picture; false when it could not be written.
  bool screenshot(const std::string& path) const { return pngWriteDC(path.c_str(), scene.screen.dc); }

  TempDir dir;  // HOME, XDG_DATA_HOME and the game folder
  TableScene scene{};

 private:
  void key(int scan, bool down) {
    if (scan < 0 || scan > 255) return;
    GdevEvent e{};
    e.what = down ? GDEV_EVT_KEYDOWN : GDEV_EVT_KEYUP;
    // The characters the keys give on a plain keyboard.
    const int c = scan == KEY_LEFT_FLIPPER ? 'z' : scan == KEY_RIGHT_FLIPPER ? '/' : scan == KEY_R ? 'r' : 0;
    e.message = static_cast<uint32_t>(scan << 8 | c);
    playUserEvent(&e);
  }

  static LiveTable*& current() {
    static LiveTable* t = nullptr;
    return t;
  }
  static std::array<BoardHandler, BOARD_MAX_OBJECTS>& handlers() {
    static std::array<BoardHandler, BOARD_MAX_OBJECTS> h{};
    return h;
  }
  // Every table object's handler: counts the hits of balls and passes the
  // event on to the object's own handler.
  static int spyHandler(BoardObject* o, BoardEvent* e) {
    if (current() && e->type == BE_HIT && e->other && e->other->kind == BK_BALL) current()->hits_[o->id]++;
    BoardHandler h = o->id >= 0 ? handlers()[o->id] : nullptr;
    return h ? h(o, e) : 0;
  }

  ScopedEnv home_, data_;
  std::string game_ = dir.file("game");
  std::optional<ScopedChdir> chdir_;
  bool loaded_ = false;
  std::array<int, BOARD_MAX_OBJECTS> hits_{};
};
