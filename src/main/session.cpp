#include "main/session.h"

#include <sys/stat.h>

#include <cstring>

#include "anim/lights.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/mem.h"
#include "core/text.h"
#include "core/time.h"
#include "frontend/pause.h"
#include "game/game.h"
#include "game/mission.h"
#include "game/mode.h"
#include "game/nproc.h"
#include "anim/title.h"
#include "game/stats.h"
#include "game/trigger.h"
#include "gfx/frame.h"
#include "gfx/mosaic.h"
#include "gfx/rda.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/subscreen.h"
#include "gfx/vboard.h"
#include "main/blackbox.h"
#include "main/ltime.h"
#include "physics/ball.h"
#include "physics/board.h"
#include "physics/geometry.h"
#include "physics/objects.h"
#include "physics/opr.h"
#include "physics/table.h"
#include "physics/track.h"
#include "platform/gdev.h"
#include "platform/sys.h"
#include "sound/fx.h"

int tmFrame = 0;

namespace {

// The keys of the global set the session reads itself; the physics, titles
// and the rest read theirs when they are set up.
struct SessionConfig {
  int rate;
  int fixed;
  double boardTimescale;
  double frameScale;  // 60 / rate
  int fxReverse;
  // New balls.
  double ballRadius;
};

struct Session {
  ConfSet global, gameSet, sampleSet;
  SessionConfig cfg;
  VBOARD board;
  Board physics;
  BoardParams boardParams;
  BoardObject* currentBall;
  GdevDC* tableImage;
  GdevDC* background;
  GdevDC* alphaDC;
  Sprite *ball, *shadow, *ruler, *cursor;
  VBOBJ* rulerObject;
  VBOBJ* cursorObjects[3];
  int bugtimeBegin, bugtimeEnd;
  bool newBall, newBallFree;
  bool pause, fullRedraw, firstRate, firstPersp;
  char gameState[260];
  int result;
  bool running;
};

Session S;
int gFrameLimit = 0;
char gStatDump[260] = "";
char gScreenshot[260] = "";

const char* const kRdaBitmaps[] = {"table-i-vorsk.img"};
const char* const kBackground = "table-i.img";

enum { CHAR_SPACE = 32, CHAR_ESCAPE = 27 };

int readConf(ConfSet* set, const char* caller, const char* text, const char* bin, int writeBinary) {
  return conf_anyread(set, caller, text, bin, writeBinary);
}

Sprite* loadSprite(const char* path) {
  Sprite* s = SPR_CREATE(path);
  logDebug(2, "spr_create('%s'): spr-%p", path, static_cast<void*>(s));
  return s;
}

void READ_BUGTIME_CONF() {
  ConfSet set{};
  S.bugtimeBegin = S.bugtimeEnd = -1;
  if (CONF_READ(&set, "conf/bugtime.conf") < 0) {
    logError(0, "%s: error reading configuration from '%s'", "READ_BUGTIME_CONF()", "conf/bugtime.conf");
  }
  int begin = conf_getint(&set, "begin", -1), end = conf_getint(&set, "end", -1);
  if (begin >= 0 && begin < end) {
    S.bugtimeBegin = begin;
    S.bugtimeEnd = end;
    logPrint("%s: bugtime set at [%d..%d]", "READ_BUGTIME_CONF()", begin, end);
  } else {
    logPrint("%s: bugtime not configured", "READ_BUGTIME_CONF()");
  }
  conf_free(&set);
}

void readGlobalKeys() {
  ConfSet* g = &S.global;
  S.cfg.rate = conf_getint(g, "video.rate", 60);
  if (S.cfg.rate <= 0) S.cfg.rate = 60;  // a rate of 0 would divide by zero everywhere
  S.cfg.fixed = conf_getint(g, "video.fixed", 0);
  S.cfg.boardTimescale = conf_getdouble(g, "options.board_timescale", 1.0);
  S.cfg.frameScale = 60.0 / S.cfg.rate;
  tableReadBoardParams(g, &S.boardParams);
  S.cfg.ballRadius = ballRadius(g);
  tableContextRead(g, &S.gameSet);
  gFramePacing.sync = conf_getint(g, "video.sync", 0);
  gFramePacing.slowSwap = conf_getint(g, "video.slow_swap", 0);
}

// Fails a load step: the console comes back on before the chain is written.
int loadFailed() {
  logPrint("STDERR 1");
  return -1;
}

// Balls on the board that are still in play (not marked to go).
int ballsInPlay() {
  int n = 0;
  for (int i = 0; i < S.physics.count; i++) {
    const BoardObject* o = &S.physics.objects[i];
    if (o->id >= 0 && o->kind == BK_BALL && !o->kill) n++;
  }
  return n;
}

// The first ball in play, or null.
BoardObject* firstBall() {
  for (int i = 0; i < S.physics.count; i++) {
    BoardObject* o = &S.physics.objects[i];
    if (o->id >= 0 && o->kind == BK_BALL && !o->kill) return o;
  }
  return nullptr;
}

// The actions MILE3_TRIGGER takes for the session; 1 when handled.
int sessionTrigger(int trigger) {
  switch (trigger) {
    case TR_LEAVE_DUMA:
      return 1;
    case TR_LEAVE_CENTER:
      // The ball left the playfield: saved while the ball-save time runs,
      // lost when it was the last ball on the board.
      if (game.saveTime > 0) {
        if (game.saveTime > 110) {
          requestNewBall(1);
        } else {
          gstatSample("ball:saved");
          startForeTitle("ball_saved");
          titleEndCallbackOnce([] { requestNewBall(1); });
        }
        return 1;
      }
      if (ballsInPlay() > 1) return 1;
      gstatSample("ball:lost");
      all_triggers(TR_BALL_LOST);
      startForeTitle("ball_lost");
      titleEndCallbackOnce([] {
        if (game.ballsLeft <= 0)
          gameOver();
        else
          requestNewBall(0);
      });
      return 1;
    case TR_LEAVE_GASPROM:
      requestNewBall(1);
      if (missionCurrent() == 2) modeEvent(0, 12, 0, nullptr);
      return 1;
    case TR_BALL_LOST:
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

void freeSprite(Sprite** s) {
  if (*s) SPR_FREE(*s);
  *s = nullptr;
}

void unload() {
  triggerSetSessionActions(nullptr);
  vbDeselect(&S.board);
  bbStop();
  // The balls and table objects give back their sprite instances first.
  if (S.physics.objects) {
    for (int i = 0; i < S.physics.count; i++)
      if (S.physics.objects[i].id >= 0) BOARD_KILL(i);
  }
  BOARD_FREE(&S.physics);
  S.currentBall = nullptr;
  objectsReset();
  objClearInfo();
  OPR_RESET();
  shapeSetLoadHooks(nullptr);
  FREE_SHAPES();
  CLEAR_LAYER_HEIGHTS();
  trackFreeAll();
  ballScrFree();
  if (S.tableImage) mglFreeDC(S.tableImage);
  S.tableImage = nullptr;
  tableContextReset();
  lightFree();
  if (gsMainScreen.alpha) gsFreeAlpha(&gsMainScreen);
  gsFreeZBuffer(&gsMainScreen);
  if (S.background) mglFreeDC(S.background);
  if (S.alphaDC) mglFreeDC(S.alphaDC);
  S.background = S.alphaDC = nullptr;
  vbFree(&S.board);
  rdaFreeSprites();
  rdaFreeBitmaps();
  freeSprite(&S.ball);
  freeSprite(&S.shadow);
  freeSprite(&S.ruler);
  freeSprite(&S.cursor);
  mosAnimFreeAll();
  freeTableSamples();
  conf_free(&S.global);
  conf_free(&S.gameSet);
  conf_free(&S.sampleSet);
}

void writeStatistics() {
  gstatLog();
  if (gStatDump[0] && !gstatWriteFile(gStatDump))
    logError(0, "%s: error writing statistics to '%s'", "MILE3()", gStatDump);
}

// The ball trace every 300 frames. Balls come with the table physics; until
// then no ball is ever in play.
void ballTrace() {
  const BoardObject* b = firstBall();
  if (!b) {
    logPrint("bt [%d,%.2f] pos-NONE velo-NONE", tmFrame, tmTime);
    return;
  }
  logPrint("bt [%d,%.2f] pos-(%.4f,%.4f) velo-(%.4f,%.4f)", tmFrame, tmTime, b->u.ball.pos.x, b->u.ball.pos.y,
           b->u.ball.velo.x, b->u.ball.velo.y);
}

// A new ball from the new-ball keys.
void createNewBall(bool credited) {
  BallData d;
  int lmask;
  ballNewBallData(&S.global, S.cfg.frameScale, credited, &d, &lmask);
  BoardObject* b = CREATE_BALL(&d, S.ball, S.shadow, lmask);
  if (b) S.currentBall = b;
}

int loadCheckpoint(const char* category) {
  LT(category);
  return 1;
}

void systemInput() {
  GdevEvent e;
  if (!systemEventNext(&e)) return;
  userEventUpdateKeys(&e);
  if ((e.what == GDEV_EVT_KEYDOWN || e.what == GDEV_EVT_KEYREPEAT) && gdevEventChar(&e) == CHAR_ESCAPE)
    S.pause = true;
  if (e.what == GDEV_EVT_USER) S.fullRedraw = true;
}

void userInput() {
  GdevEvent e;
  if (!userEventNext(&e)) return;
  userEventUpdateKeys(&e);
  if (e.what != GDEV_EVT_KEYDOWN) return;
  int scan = gdevEventScan(&e);
  if (!game.over) {
    if (scan == KEY_LEFT_FLIPPER) eventDispatch(0, 0, 0);
    if (scan == KEY_RIGHT_FLIPPER) eventDispatch(0, 1, 0);
  } else if (scan == KEY_R) {
    gameNewGame();
    S.fullRedraw = true;
  }
  if (gdevEventChar(&e) == CHAR_SPACE) S.fullRedraw = true;
}

void pauseDialog() {
  S.pause = false;
  tmPause();
  logDebug(2, "at beginSubscreen()");
  beginSubscreen();
  logDebug(2, "at showPauseDialog()");
  tmBeginSelfLoop();
  S.result = showPauseDialog();
  tmEndSelfLoop();
  logDebug(2, "at endSubscreen()");
  endSubscreen();
  logDebug(2, "after endSubscreen()");
  tmResume();
}

void playingFrame() {
  if (S.newBall) {
    S.newBall = false;
    createNewBall(S.newBallFree);
    lightSet(LI_CRANE_SPRING, 1);
  }
  if (S.firstRate) {
    S.firstRate = false;
    logPrint("framerate-%d (%s)", S.cfg.rate, S.cfg.fixed ? "FIXED" : "");
    tmSetRate(S.cfg.rate, S.cfg.fixed);
  }
  if (S.firstPersp) {
    S.firstPersp = false;
    perspSetupTable(&gTable.persp);
    S.fullRedraw = true;
  }
  tmBeginFrame();
  tmMarkFrame();
  BOARD_STEP(tmFrameStep * S.cfg.boardTimescale);
  synlightUpdate();
  lightUpdate(tmFrameDelta);
  vbRestore(S.fullRedraw ? 1 : 0);
  S.fullRedraw = false;
  vbDraw();
  fxFadeUpdate(tmFrameDelta);
  fxUpdate();
  framePresent();
  if (tmFrame % 300 == 0) ballTrace();
}

}  // namespace

void sessionSetFrameLimit(int frames) { gFrameLimit = frames > 0 ? frames : 0; }

void sessionSetStatDump(const char* path) { strCopyN(gStatDump, path ? path : "", sizeof gStatDump); }

void sessionSetScreenshot(const char* path) { strCopyN(gScreenshot, path ? path : "", sizeof gScreenshot); }

int sessionWriteScreenshot(const char* path) {
  const char* fn = "sessionWriteScreenshot()";
  gscr* s = &gsMainScreen;
  if (!s->dc) return logError(0, "%s: no screen to write to '%s'", fn, path);
  GdevBitmap* bmp = gdevCreateBitmap(s->dc->width, s->dc->height, 24);
  if (!bmp) return logError(0, "%s: not enough memory for '%s'", fn, path);
  for (int y = 0; y < bmp->height; y++) {
    uint8_t* row = bmp->pixels + static_cast<size_t>(y) * bmp->bytesPerLine;
    for (int x = 0; x < bmp->width; x++) {
      int r, g, b;
      gdevUnpackRGB(&s->dc->format, gdevReadPixel(s->dc, x, y), &r, &g, &b);
      row[3 * x] = static_cast<uint8_t>(b);
      row[3 * x + 1] = static_cast<uint8_t>(g);
      row[3 * x + 2] = static_cast<uint8_t>(r);
    }
  }
  bool ok = gdevSaveBitmap(path, bmp);
  gdevFreeBitmap(bmp);
  if (!ok) return logError(0, "%s: error writing '%s'", fn, path);
  logPrint("%s: screen written to '%s'", fn, path);
  return 1;
}

void requestNewBall(int free) {
  S.newBall = true;
  S.newBallFree = free != 0;
  if (!free) game.ballsLeft--;
  MUSIC_TRIGGER(TR_NEW_BALL);
}

int checkRDABitmaps() {
  int ok = 1;
  for (const char* name : kRdaBitmaps) {
    GdevDC* dc = rdaGetBitmap(name);
    logDebug(2, "check filename-'%s' dc-%p", name, static_cast<void*>(dc));
    if (!dc) ok = logError(0, "%s: bitmap '%s' not found in RDA", "checkRDABitmaps()", name);
  }
  return ok;
}

int loadGameState(const char* path, int* frame, double* time) {
  ConfSet set{};
  if (CONF_READ(&set, path) < 0) {
    conf_free(&set);
    return logError(0, "%s: error reading configuration from '%s'", "loadGameState()", path);
  }
  *frame = conf_getint(&set, "generic.tmFrame", 0);
  *time = strHexDouble(conf_getstr(&set, "generic.tmTime", "0,0"));
  for (int n = 0; conf_getstrf(&set, "balls.x%d", nullptr, n); n++) {
    BallData d{};
    d.pos.x = strHexDouble(conf_getstrf(&set, "balls.x%d", "0,0", n));
    d.pos.y = strHexDouble(conf_getstrf(&set, "balls.y%d", "0,0", n));
    d.velo.x = strHexDouble(conf_getstrf(&set, "balls.dx%d", "0,0", n));
    d.velo.y = strHexDouble(conf_getstrf(&set, "balls.dy%d", "0,0", n));
    d.radius = S.cfg.ballRadius;
    CREATE_BALL(&d, S.ball, S.shadow, conf_getintf(&set, "balls.lmask%d", 1, n));
  }
  conf_free(&set);
  return 1;
}

int MILE3_LOAD(const char* playback, int record, int writeBinary, int regime) {
  const char* fn = "MILE3_LOAD()";
  ltimeInit(20000);
  logPrint("Loading game data...");
  uint32_t start = sysClock()->milliseconds();
  logPrint("STDERR 0");

  if (BOARD_INIT(&S.physics, BOARD_MAX_OBJECTS, &S.boardParams) < 0) return loadFailed();
  BOARD_SELECT(&S.physics);

  if (readConf(&S.global, "READ_GLOBAL_CONF()", "conf/global.conf", "conf/global.bcf", writeBinary) < 0)
    return loadFailed();
  READ_BUGTIME_CONF();
  readGlobalKeys();
  S.cfg.fxReverse = conf_getint(&S.global, "fx.reverse", 0);
  mkdir("temp", 0777);

  ltimeBegin("data/ltime-progress.gsp");

  loadTableMaps(&gsMainScreen, loadCheckpoint);

  rdaInit();
  rdaSetRegime(regime);
  logDebug(2, "at rdaLoadBitmaps()");
  if (!rdaLoadBitmaps("")) logError(0, "%s: error loading regime-dependent bitmaps", fn);
  LT("rda_bitmaps");
  logDebug(2, "at checkRDABitmaps()");
  if (!checkRDABitmaps()) {
    logError(0, "%s: not all RDA data present, aborting", fn);
    return loadFailed();
  }

  logDebug(2, "at backdc load");
  GdevDC* bg = rdaGetBitmap(kBackground);
  S.background = bg ? mglCloneDC(bg) : nullptr;
  if (!S.background) {
    logError(0, "%s: error duplicating main background '%s' from RDA", fn, kBackground);
    return loadFailed();
  }
  S.alphaDC = mglCreateBitmapDC24("table/table-alpha.img");
  logPrint("alphadc-%p", static_cast<void*>(S.alphaDC));
  if (!S.alphaDC) return loadFailed();
  logDebug(2, "at gsAddAlpha()");
  gsAddAlpha(&gsMainScreen, S.alphaDC);
  if (!ballScrCreate()) logError(0, "%s: error creating ball screen", fn);
  // The table's plain picture, the ball screen's backdrop.
  if (fileExists("table/table-0ti.bmp")) S.tableImage = mglCreateBitmapDC("table/table-0ti.bmp");
  if (S.tableImage && ballScreen()) mglCopyDC(ballScreen(), S.tableImage);
  vbCreate(&S.board, S.background);
  vbSelect(&S.board);
  LT("vboard");

  lightInit();

  logDebug(2, "at setupTracks()");
  if (setupTracks(writeBinary ? TRACK_SETUP_WRITE_BINARY : 0) != 1) logError(0, "%s: error setting up tracks", fn);
  LT("tracks");

  const char* ballName = conf_getstr(&S.global, "ball.sprite", "data/ball.gsp");
  if (!(S.ball = loadSprite(ballName))) return loadFailed();
  const char* shadowName = conf_getstr(&S.global, "ball.shadow_sprite", "data/ballshadow.gsp");
  if (!(S.shadow = loadSprite(shadowName))) return loadFailed();

  logDebug(2, "at rdaLoadSprites()");
  if (!rdaLoadSprites("lights/")) logError(0, "%s: error loading regime-dependent sprites", fn);
  LT("rda_sprites");

  objectsReset();
  objClearInfo();
  OPR_RESET();
  if (oprRegisterTable() < 0) {
    logError(0, "%s: error adding OPR families", fn);
    return loadFailed();
  }
  ShapeLoadHooks hooks{loadCheckpoint, oprSetObjectConf, OPR_RECOGNIZE};
  shapeSetLoadHooks(&hooks);
  logDebug(2, "at load_shapes()");
  LOAD_SHAPES(writeBinary);
  LT("load_shapes");

  if (MOS_ANIM_PRELOAD(writeBinary) < 0) {
    logError(0, "%s: error preloading mosaic animation data", fn);
    return loadFailed();
  }
  LT("mos_anim_preload");

  if (!(S.ruler = loadSprite("data/ruler.gsp"))) return loadFailed();
  if ((S.rulerObject = vbAddObject(S.ruler, 0, 0, 0))) vbSetLayer(S.rulerObject, 7);
  if (!(S.cursor = loadSprite("data/cursor.gsp"))) return loadFailed();
  for (int i = 0; i < 3; i++) {
    S.cursorObjects[i] = vbAddObject(S.cursor, i < S.cursor->numfrms ? i : 0, -100, -100);
    if (S.cursorObjects[i]) vbSetLayer(S.cursorObjects[i], 7);
  }

  logDebug(2, "at setupInterface()");
  if (!setupInterface()) logError(0, "%s: error setting up interface", fn);
  fxSetReverse(S.cfg.fxReverse);

  gameReset();
  gameSetRegime(regime);
  titleClearMacros();

  logDebug(2, "at read_game_conf()");
  if (readConf(&S.gameSet, "READ_GAME_CONF()", "conf/game.conf", "conf/game.bcf", writeBinary) < 0)
    return loadFailed();
  logDebug(2, "at read_sample_conf()");
  if (readConf(&S.sampleSet, "READ_SAMPLE_CONF()", "conf/sample.conf", "conf/sample.bcf", writeBinary) < 0)
    return loadFailed();

  logDebug(2, "at gstatBegin()");
  gstatBegin();
  logDebug(2, "at gameSetupObjects()");
  if (!gameSetupObjects(&S.gameSet)) logError(0, "%s: error setting up game objects", fn);
  LT("game");

  synlightSetup(&S.gameSet);
  logDebug(2, "at setupLights()");
  if (!setupLights(&S.gameSet)) logError(0, "%s: error setting up lights", fn);
  LT("lights");
  logDebug(2, "at setupSamples()");
  if (!setupSamples(&S.sampleSet)) logError(0, "%s: error setting up game samples", fn);
  LT("samples");

  logDebug(2, "at initUserEvents()");
  userEventReset();
  for (int scan : {KEY_LEFT_FLIPPER, KEY_RIGHT_FLIPPER, KEY_LAUNCH}) userEventDeclareScan(scan, 0);
  for (int c : {' ', 'g', 'r', 'R', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9'})
    userEventDeclareKey(c, 0);
  for (int c : {' ', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9'}) userEventDeclareKey(c, 1);

  logDebug(2, "at ltimeEnd()");
  ltimeEnd();
  ltimeReport();
  logDebug(2, "at lightList()");
  lightList();
  logDebug(2, "at SPR_LIST()");
  SPR_LIST();

  logPrint("STDERR 1");
  logPrint("Game data loaded in %.2f seconds", (sysClock()->milliseconds() - start) / 1000.0);

  if (playback && playback[0]) {
    char name[260];
    strCopyN(name, playback, sizeof name);
    if (char* st = std::strstr(name, ".rec.st")) {
      strCopyN(S.gameState, playback, sizeof S.gameState);
      st[4] = '\0';
    }
    logDebug(2, "at bbStartPlayback()");
    bbStartPlayback(name);
    return 0;
  }
  if (record) {
    logDebug(2, "at bbStartRecording()");
    bbStartRecording("#session.rec");
  }
  return 0;
}

int MILE3(const char* playback, int record, int writeBinary, int regime) {
  S = Session{};
  S.firstRate = S.firstPersp = S.fullRedraw = true;
  tmFrame = 0;
  namedProcClear();
  eventClear();
  triggerSetSessionActions(sessionTrigger);
  gstatSetFrameCounter(&tmFrame);
  tableContextReset();
  gTable.keyHeld = userEventScanHeld;
  gTable.newBall = requestNewBall;

  logDebug(1, "at mile3_load()");
  if (MILE3_LOAD(playback, record, writeBinary, regime) < 0) {
    unload();
    return -1;
  }

  gdevFlushEvents(GDEV_EVT_EVERY);
  userEventClearKeys();
  all_triggers(TR_GAME_BEGIN);
  logDebug(1, "at main loop");

  while (S.result == 0) {
    if (S.gameState[0]) {
      char path[260];
      strCopyN(path, S.gameState, sizeof path);
      S.gameState[0] = '\0';
      logPrint("%s: loading game state from '%s'", "MILE3()", path);
      double t = 0;
      if (loadGameState(path, &tmFrame, &t)) {
        if (!bbSeekDouble(1, t)) logPrint("Error seeking to tmTime %.2f", t);
      } else {
        logPrint("Error loading game state");
      }
    }
    if (gdevQuitRequested()) {
      S.result = 1;
      break;
    }
    systemInput();
    userInput();
    GdevEvent taken;
    gdevGetEvent(&taken, GDEV_EVT_EVERY, true);

    if (game.pendingRegime >= 0) {
      logDebug(1, "switching regime %d -> %d", game.regime, game.pendingRegime);
      if (!SWITCH_REGIME(S.cfg.rate)) {
        S.result = logError(1, "%s: breaking loop because of severe error", "MILE3()");
        break;
      }
    }
    if (S.pause) {
      pauseDialog();
      continue;
    }
    playingFrame();
    bbTick();
    tmFrame++;
    if (gFrameLimit && tmFrame >= gFrameLimit) S.result = 1;
  }

  writeStatistics();
  if (gScreenshot[0]) sessionWriteScreenshot(gScreenshot);
  unload();
  return 0;
}

int SWITCH_REGIME(int rate) {
  int from = game.regime, to = game.pendingRegime;
  rdaSetRegime(to);
  logDebug(2, "at mglCloneDC()");
  GdevDC* bg = rdaGetBitmap(kBackground);
  GdevDC* picture = bg ? mglCloneDC(bg) : nullptr;
  if (!picture) {
    rdaSetRegime(from);
    game.pendingRegime = -1;
    return logError(0, "%s: bitmap '%s' not found in RDA, aborting", "SWITCH_REGIME()", kBackground);
  }
  logDebug(2, "at mglCopyDC()");
  mglCopyDC(S.board.background, picture);
  logDebug(2, "at gsCreateMem()");
  gscr* screen = gsCurrent;
  gscr temp{};
  gsCreateMem(&temp, picture);
  temp.zbuf = screen->zbuf;
  temp.alpha = screen->alpha;
  gsSelect(&temp);
  logDebug(2, "at switch_sprites()");
  rdaSwitchBoard(from, to);
  logDebug(2, "at vbWakeSmarts()");
  vbWakeSmarts();
  logDebug(2, "at vbDraw()");
  vbDraw();
  gsSelect(screen);
  temp.zbuf = nullptr;
  temp.alpha = nullptr;
  gsRelease(&temp);
  tmSetRate(rate, 1);
  tmBeginSelfLoop();
  logDebug(2, "at mos_anim_run()");
  MOS_ANIM_RUN(picture, 2, 1);
  logDebug(2, "at mos_anim_free()");
  mos_anim_free();
  tmEndSelfLoop();
  tmSetRate(rate, S.cfg.fixed);
  mglFreeDC(picture);
  gameSetRegime(to);
  MUSIC_TRIGGER(TR_NEW_REGIME);
  S.fullRedraw = true;
  return 1;
}
