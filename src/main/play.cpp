#include "main/play.h"

#include <chrono>

#include "anim/gnm.h"
#include "anim/lights.h"
#include "anim/title.h"
#include "anim/tv.h"
#include "core/log.h"
#include "core/nproc.h"
#include "core/random.h"
#include "core/text.h"
#include "core/time.h"
#include "frontend/hof.h"
#include "game/game.h"
#include "game/mission.h"
#include "game/mode.h"
#include "game/score.h"
#include "game/stats.h"
#include "game/trigger.h"
#include "gfx/mosaic.h"
#include "gfx/rda.h"
#include "gfx/vboard.h"
#include "main/blackbox.h"
#include "main/session.h"
#include "main/tableload.h"
#include "physics/ball.h"
#include "physics/board.h"
#include "physics/geometry.h"
#include "physics/objects/objects.h"
#include "physics/table.h"
#include "platform/gdev.h"
#include "sound/fx.h"
#include "subgames/sg.h"

namespace {

struct Play {
  TableLoad* table;
  BoardObject* currentBall;
  bool newBall, newBallFree;
  bool fullRedraw, firstRate, firstPersp;
};

Play P;

// The outcome records of the subgame being played; the rules read them.
SgOutcome gOutcome;

enum { CHAR_SPACE = 32 };

// A ball lost while the ball-save time is still above this gets its free
// ball at once, without the "ball saved" title: the save was so fresh that
// the title would only hold up play.
constexpr double kSaverInstantBall = 110;

// Balls on the board that are still in play (not marked to go).
int ballsInPlay() {
  int n = 0;
  for (int i = 0; i < P.table->physics.count; i++) {
    const BoardObject* o = &P.table->physics.objects[i];
    if (o->id >= 0 && o->kind == BK_BALL && !o->kill) n++;
  }
  return n;
}

// The finished game's score goes to the hall of fame: a score that enters
// the table asks for the player's name in a modal dialog over the frozen
// table, with game time stopped. A replay only shows a game that was
// played already, so it never enters the table (nor waits for a name).
void enterHallOfFame() {
  if (bbIsPlaying()) return;
  tmPause();
  tmBeginSelfLoop();
  hofEnter(game.score);
  tmEndSelfLoop();
  tmResume();
}

// The actions MILE3_TRIGGER takes for the session; 1 when handled.
int sessionTrigger(int trigger) {
  switch (trigger) {
    case TR_LEAVE_DUMA:
      // The Duma holds the ball for its vote and releases it (a free ball).
      modeEvent(6, MEVT_BEGIN, 0, nullptr);
      return 1;
    case TR_LEAVE_CENTER:
      // The ball left the playfield: saved while the ball-save time runs,
      // lost when it was the last ball on the board.
      if (game.saveTime > 0) {
        if (game.saveTime > kSaverInstantBall) {
          requestNewBall(1);
        } else {
          gstatSample("ball:saved");
          // The new ball comes at once when no title plays (titles not loaded).
          titleEndCallbackOrNow(startForeTitle("ball_saved"), [] { requestNewBall(1); });
        }
        return 1;
      }
      if (ballsInPlay() > 1) return 1;
      // A prisoner waiting in the zone is let out in place of the drained ball.
      if (zonaState() == ZONA_STATE_RELEASE_WAIT) {
        modeEvent(3, MEVT_ZONA_AMNESTY, 0, nullptr);
        return 1;
      }
      gstatSample("ball:lost");
      all_triggers(TR_BALL_LOST);
      // The next ball (or the end) comes at once when no title plays.
      titleEndCallbackOrNow(startForeTitle("ball_lost"), [] {
        if (game.ballsLeft <= 0) {
          enterHallOfFame();
          gameOver();
        } else {
          requestNewBall(0);
        }
      });
      return 1;
    case TR_LEAVE_GASPROM:
      requestNewBall(1);
      gameGasWormStop();
      if (missionCurrent() == MISSION_GASPROM) modeEvent(0, MEVT_GP_DRAIN, 0, nullptr);
      return 1;
    case TR_BALL_LOST:
      modeEvent(0, MEVT_ABORT, 0, nullptr);
      if (missionCurrent() >= 0) missionAbort();
      gameClearSubgames();
      return 1;
    case TR_GAME_BEGIN:
      requestNewBall(0);
      return 1;
    case TR_GAME_OVER:
      return 1;
    default:
      return 0;
  }
}

// The ball trace every 300 frames. Balls come with the table physics; until
// then no ball is ever in play.
void ballTrace() {
  const BoardObject* b = playFirstBall();
  if (!b) {
    logPrint("bt [%d,%.2f] pos-NONE velo-NONE", tmFrame, tmTime);
    return;
  }
  logPrint("bt [%d,%.2f] pos-(%.4f,%.4f) velo-(%.4f,%.4f)", tmFrame, tmTime, b->u.ball.pos.x, b->u.ball.pos.y,
           b->u.ball.velo.x, b->u.ball.velo.y);
}

// A new ball from the new-ball keys.
void createNewBall(bool credited) {
  TableLoad* t = P.table;
  BallData d;
  int lmask;
  ballNewBallData(&t->global, t->cfg.frameScale, credited, &d, &lmask);
  BoardObject* b = CREATE_BALL(&d, t->ball, t->shadow, lmask);
  if (b) P.currentBall = b;
}

// The subgames' frames are frames of the recording, like the table's: the
// frame's user event (recorded, or the recorded one while replaying; the
// queued event is taken off either way).
int (*gSubgameFeed)(int frame) = nullptr;
int gSubgameRunning = -1;  // the subgame on the screen, -1 none

// Where the stages of the playing frame add their time, when measured.
PlayFrameCost* gCost = nullptr;

// Adds the time since the previous lap to a stage of gCost; without gCost
// it reads no clock.
struct Stopwatch {
  std::chrono::steady_clock::time_point last;
  Stopwatch() {
    if (gCost) last = std::chrono::steady_clock::now();
  }
  void lap(double PlayFrameCost::*stage) {
    if (!gCost) return;
    const auto now = std::chrono::steady_clock::now();
    gCost->*stage += std::chrono::duration<double, std::micro>(now - last).count();
    last = now;
  }
};
int gSubgameFrame = 0;
bool gSubgameStop = false;

int subgameEvent(GdevEvent* out) {
  if (gSubgameFeed && gSubgameFeed(gSubgameFrame)) gSubgameStop = true;
  gSubgameFrame++;
  GdevEvent system{}, user{};
  const bool app = systemEventNext(&system) && system.what == GDEV_EVT_USER;
  const int got = userEventNext(&user);
  GdevEvent taken;
  gdevGetEvent(&taken, GDEV_EVT_EVERY, true);
  if (got) {
    *out = user;
    return 1;
  }
  // A window event only repaints; it is not recorded and changes nothing.
  if (app) {
    *out = system;
    return 1;
  }
  return 0;
}

int subgameQuit() { return gSubgameStop || gdevQuitRequested() ? 1 : 0; }

// The subgames keep their own clock of nominal frames (sgNow): their frames
// record input only.
constexpr SgHost kSubgameHost = {subgameEvent, nullptr, bbTick, subgameQuit, nullptr};

}  // namespace

void playBegin(TableLoad* table, int (*keyHeld)(int scan)) {
  P = Play{};
  P.table = table;
  P.firstRate = P.firstPersp = P.fullRedraw = true;
  tmFrame = 0;
  tableResetModules();
  triggerSetSessionActions(sessionTrigger);
  gstatSetFrameCounter(&tmFrame);
  gTable.keyHeld = keyHeld;
  gTable.newBall = requestNewBall;
  gameSetBallRequest(requestNewBall);
}

void playEnd() {
  triggerSetSessionActions(nullptr);
  gameSetBallRequest(nullptr);
  P.currentBall = nullptr;
  P.table = nullptr;
}

TableLoad* playTable() { return P.table; }

int playSwitchRegime() {
  if (game.pendingRegime < 0) return 1;
  logDebug(1, "switching regime %d -> %d", game.regime, game.pendingRegime);
  return SWITCH_REGIME(P.table->cfg.rate);
}

int playSubgame() {
  const char* fn = "MILE3()";
  const int id = game.requestedSubgame;
  if (id < 0) return 1;
  game.requestedSubgame = -1;
  gOutcome = SgOutcome{};
  gOutcome.boxing.left = game.regime;
  gOutcome.boxing.right = 0;
  gOutcome.oligarch.person = game.regime;
  if (SG_REQUEST(id, &gOutcome) < 0) return 1;
  // The frame's input so far closes its tick of the recording: each of the
  // subgame's frames is a tick of its own.
  bbTick();
  logDebug(1, "launching subgame %d", id);
  const char* name = "table-i-vorsk.img";
  GdevDC* picture = rdaGetBitmap(name);
  if (!picture) {
    sgClearRequest();
    logError(1, "%s: bitmap '%s' not found in RDA, breaking main loop", fn, name);
    return 0;
  }
  const TableConfig& cfg = P.table->cfg;
  // The subgame draws its chances from the game clock, as the rules do:
  // the same moment of a replay draws the same.
  rndSeed(static_cast<uint32_t>(static_cast<int64_t>(tmTime)));
  tmSetRate(cfg.rate, 1);
  tmBeginSelfLoop();
  MOS_ANIM_RUN(picture, 0, 1);
  gSubgameFrame = 0;
  gSubgameStop = false;
  gSubgameRunning = id;
  sgSetHost(&kSubgameHost);
  if (SG_SCREEN_IN() < 0) logError(0, "%s: error opening the subgame screen", fn);
  SG_RUN();
  SG_SCREEN_OUT();
  sgSetHost(nullptr);
  gSubgameRunning = -1;
  MOS_ANIM_RUN(picture, 1, 0);
  tmEndSelfLoop();
  tmSetRate(cfg.rate, cfg.fixed);
  logDebug(1, "returned from subgame %d", id);
  logDebug(1, "subgame %d played %d frames", id, gSubgameFrame);
  logPrint("%s: subgame %d outcome: %s", fn, id, sgOutcomeText(id, &gOutcome));
  SG_OUTCOME();
  sgClearRequest();
  // Keys let go during the subgame went to it: the table starts with none held.
  userEventClearKeys();
  P.fullRedraw = true;
  gameSubgameReturned();
  return 1;
}

const SgOutcome* playSubgameOutcome() { return &gOutcome; }

int playSubgameRunning() { return gSubgameRunning; }

void playSetSubgameFeed(int (*feed)(int frame)) { gSubgameFeed = feed; }

void playFrame() {
  const TableConfig& cfg = P.table->cfg;
  if (P.newBall) {
    P.newBall = false;
    createNewBall(P.newBallFree);
    lightSet(LI_CRANE_SPRING, 1);
  }
  if (P.firstRate) {
    P.firstRate = false;
    logPrint("framerate-%d (%s)", cfg.rate, cfg.fixed ? "FIXED" : "");
    tmSetRate(cfg.rate, cfg.fixed);
  }
  if (P.firstPersp) {
    P.firstPersp = false;
    perspSetupTable(&gTable.persp);
    P.fullRedraw = true;
  }
  tmBeginFrame();
  tmMarkFrame();
  Stopwatch watch;
  BOARD_STEP(tmFrameStep * cfg.boardTimescale);
  watch.lap(&PlayFrameCost::physics);
  synlightUpdate();
  lightUpdate(tmFrameDelta);
  watch.lap(&PlayFrameCost::lamps);
  if (!game.over) {
    modeEvent(0, MEVT_UPDATE, 0, nullptr);
    missionEvent(MEVT_UPDATE, 0, 0);
    gameTick(tmFrameDelta);
  }
  watch.lap(&PlayFrameCost::rules);
  gnmUpdate(tmFrameDelta);
  watch.lap(&PlayFrameCost::scripts);
  vbRestore(P.fullRedraw ? 1 : 0);
  P.fullRedraw = false;
  watch.lap(&PlayFrameCost::draw);
  tvFrame(tmFrameDelta);
  scoreUpdateTips();
  watch.lap(&PlayFrameCost::titles);
  vbDraw();
  watch.lap(&PlayFrameCost::draw);
  fxFadeUpdate(tmFrameDelta);
  fxUpdate();
  watch.lap(&PlayFrameCost::sound);
}

void playMeasureFrames(PlayFrameCost* cost) { gCost = cost; }

void playFrameTrace() {
  if (tmFrame % 300 == 0) ballTrace();
}

void playUserEvent(const GdevEvent* e) {
  userEventUpdateKeys(e);
  if (e->what != GDEV_EVT_KEYDOWN) return;
  int scan = gdevEventScan(e);
  if (!game.over) {
    if (scan == KEY_LEFT_FLIPPER) eventDispatch(0, 0, 0);
    if (scan == KEY_RIGHT_FLIPPER) eventDispatch(0, 1, 0);
  } else if (scan == KEY_R) {
    gameNewGame();
    P.fullRedraw = true;
  }
  if (gdevEventChar(e) == CHAR_SPACE) P.fullRedraw = true;
}

void playRedraw() { P.fullRedraw = true; }

void requestNewBall(int free) {
  P.newBall = true;
  P.newBallFree = free != 0;
  if (!free) {
    game.ballsLeft--;
    if (game.ballsLeft <= 0) {
      startForeTitle("last_ball");
    } else {
      char count[16];
      strFormatN(count, sizeof count, "%d", game.ballsLeft);
      titleSetMacro("balls_left", count);
      // Windows-1251: "ШАР", "ШАРА", "ШАРОВ".
      const int n = game.ballsLeft;
      titleSetMacro("balls_plural", n == 1 ? "\xD8\xC0\xD0" : n <= 4 ? "\xD8\xC0\xD0\xC0" : "\xD8\xC0\xD0\xCE\xC2");
      startForeTitle("balls_left");
    }
  }
  MUSIC_TRIGGER(TR_NEW_BALL);
}

BoardObject* playFirstBall() {
  if (!P.table) return nullptr;
  for (int i = 0; i < P.table->physics.count; i++) {
    BoardObject* o = &P.table->physics.objects[i];
    if (o->id >= 0 && o->kind == BK_BALL && !o->kill) return o;
  }
  return nullptr;
}
