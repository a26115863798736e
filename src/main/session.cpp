#include "main/session.h"

#include <cstdio>
#include <cstring>

#include "anim/tv.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/text.h"
#include "core/time.h"
#include "frontend/pause.h"
#include "game/game.h"
#include "anim/title.h"
#include "game/stats.h"
#include "game/trigger.h"
#include "gfx/frame.h"
#include "gfx/mosaic.h"
#include "gfx/rda.h"
#include "gfx/screen.h"
#include "gfx/subscreen.h"
#include "gfx/vboard.h"
#include "main/blackbox.h"
#include "main/ltime.h"
#include "main/play.h"
#include "main/tableload.h"
#include "physics/ball.h"
#include "platform/gdev.h"
#include "platform/sys/sys.h"
#include "sound/fx.h"

int tmFrame = 0;

namespace {

struct Session {
  TableLoad table;
  bool pause;
  char gameState[260];
  int result;
};

Session S;
int gFrameLimit = 0;
char gStatDump[260] = "";
char gScreenshot[260] = "";
int gSubgameOnly = -1;


enum { CHAR_ESCAPE = 27 };

// Fails a load step: the console comes back on before the chain is written.
int loadFailed() {
  logPrint("STDERR 1");
  return -1;
}

void unload() {
  playEnd();
  bbStop();
  tableUnload(&S.table);
}

// The statistics, then the state the session ended in, for tests and tools.
void writeStatistics() {
  gstatLog();
  if (!gStatDump[0]) return;
  if (!gstatWriteFile(gStatDump)) {
    logError(0, "%s: error writing statistics to '%s'", "MILE3()", gStatDump);
    return;
  }
  FILE* f = std::fopen(gStatDump, "a");
  bool ok = f && std::fprintf(f, "score\t%d\nyear\t%.2f\nballs_left\t%d\ngame_over\t%d\nregime\t%d\n", game.score,
                              game.year, game.ballsLeft, game.over, game.regime) > 0;
  if (f && std::fclose(f) != 0) ok = false;
  if (!ok) logError(0, "%s: error writing statistics to '%s'", "MILE3()", gStatDump);
}

void systemInput() {
  GdevEvent e;
  if (!systemEventNext(&e)) return;
  userEventUpdateKeys(&e);
  if ((e.what == GDEV_EVT_KEYDOWN || e.what == GDEV_EVT_KEYREPEAT) && gdevEventChar(&e) == CHAR_ESCAPE)
    S.pause = true;
  if (e.what == GDEV_EVT_USER) playRedraw();
}

void userInput() {
  GdevEvent e;
  if (userEventNext(&e)) playUserEvent(&e);
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

// The playing frame of the window: the frame's work, the present, the trace.
void playingFrame() {
  playFrame();
  framePresent();
  playFrameTrace();
}

}  // namespace

void sessionSetFrameLimit(int frames) { gFrameLimit = frames > 0 ? frames : 0; }

void sessionSetSubgame(int id) { gSubgameOnly = id >= 0 && id <= 2 ? id : -1; }

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

int loadGameState(const char* path, int* frame, double* time) {
  ConfSet set{};
  if (CONF_READ(&set, path) < 0) {
    conf_free(&set);
    return logError(0, "%s: error reading configuration from '%s'", "loadGameState()", path);
  }
  const TableLoad* t = playTable();
  *frame = conf_getint(&set, "generic.tmFrame", 0);
  *time = strHexDouble(conf_getstr(&set, "generic.tmTime", "0,0"));
  for (int n = 0; conf_getstrf(&set, "balls.x%d", nullptr, n); n++) {
    BallData d{};
    d.pos.x = strHexDouble(conf_getstrf(&set, "balls.x%d", "0,0", n));
    d.pos.y = strHexDouble(conf_getstrf(&set, "balls.y%d", "0,0", n));
    d.velo.x = strHexDouble(conf_getstrf(&set, "balls.dx%d", "0,0", n));
    d.velo.y = strHexDouble(conf_getstrf(&set, "balls.dy%d", "0,0", n));
    d.radius = t->cfg.ballRadius;
    CREATE_BALL(&d, t->ball, t->shadow, conf_getintf(&set, "balls.lmask%d", 1, n));
  }
  conf_free(&set);
  return 1;
}

int MILE3_LOAD(const char* playback, int record, int writeBinary, int regime) {
  ltimeInit(20000);
  logPrint("Loading game data...");
  uint32_t start = sysClock()->milliseconds();
  logPrint("STDERR 0");

  S.table.screen = &gsMainScreen;
  S.table.writeBinary = writeBinary;
  S.table.regime = regime;
  if (tableLoad(&S.table, TABLE_PHASES_ALL) < 0) return loadFailed();

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
  playBegin(&S.table, userEventScanHeld);

  logDebug(1, "at mile3_load()");
  if (MILE3_LOAD(playback, record, writeBinary, regime) < 0) {
    unload();
    return -1;
  }

  gdevFlushEvents(GDEV_EVT_EVERY);
  userEventClearKeys();
  gFrameCounts = FrameCounts{};
  if (gSubgameOnly >= 0) {
    // The subgame alone: it opens over the start regime's picture, and the
    // session ends when it is over.
    logPrint("%s: playing subgame %d alone", "MILE3()", gSubgameOnly);
    if (GdevDC* picture = rdaGetBitmap("table-i-vorsk.img")) {
      mglCopyDC(gsCurrent->dc, picture);
      gsDirtyAll();
      gsUpdate(0);
    }
    game.requestedSubgame = gSubgameOnly;
  } else {
    all_triggers(TR_GAME_BEGIN);
  }
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

    if (!playSubgame()) {
      S.result = 1;
      break;
    }
    if (gSubgameOnly >= 0) break;

    if (!playSwitchRegime()) {
      S.result = logError(1, "%s: breaking loop because of severe error", "MILE3()");
      break;
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

  // Turbo frames went unpresented: the window shows how the session ended.
  frameShowLast();
  logDebug(1, "%s: %d frames presented, %d not", "MILE3()", gFrameCounts.presented, gFrameCounts.skipped);
  writeStatistics();
  if (gScreenshot[0]) sessionWriteScreenshot(gScreenshot);
  unload();
  return 0;
}

int tableSwitchRegime(TableLoad* t, int to, int rate) {
  const int from = game.regime;
  rdaSetRegime(to);
  logDebug(2, "at mglCloneDC()");
  GdevDC* bg = rdaGetBitmap("table-i.img");
  GdevDC* picture = bg ? mglCloneDC(bg) : nullptr;
  if (!picture) {
    rdaSetRegime(from);
    game.pendingRegime = -1;
    return logError(0, "%s: bitmap '%s' not found in RDA, aborting", "SWITCH_REGIME()", "table-i.img");
  }
  // The lamps take the new regime's sprites while the board still has the
  // old picture: a baked lamp gives back the old background it saved, which
  // the new picture then covers.
  logDebug(2, "at switch_sprites()");
  rdaSwitchBoard(from, to);
  // The title display is part of the picture: the transition shows it too.
  tvDrawInto(picture);
  logDebug(2, "at mglCopyDC()");
  mglCopyDC(t->board.background, picture);
  logDebug(2, "at gsCreateMem()");
  gscr* screen = gsCurrent;
  gscr temp{};
  gsCreateMem(&temp, picture);
  temp.zbuf = screen->zbuf;
  temp.alpha = screen->alpha;
  gsSelect(&temp);
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
  tmSetRate(rate, t->cfg.fixed);
  mglFreeDC(picture);
  gameSetRegime(to);
  // The idle score title names the regime: it starts again under the new one.
  const int back = titlePlaying(TITLE_BACK);
  char old[32];
  strFormatN(old, sizeof old, "score_%s", gameRegimeName(from));
  if (back >= 0 && back == titleFind(old)) {
    logDebug(2, "at redrawTitles()");
    titleEndBack(back);
    char name[32];
    strFormatN(name, sizeof name, "score_%s", gameRegimeName(to));
    startBackTitle(name);
  }
  MUSIC_TRIGGER(TR_NEW_REGIME);
  return 1;
}

int SWITCH_REGIME(int rate) {
  if (!tableSwitchRegime(playTable(), game.pendingRegime, rate)) return 0;
  playRedraw();
  return 1;
}
