#include "main/tableload.h"

#include "anim/gnm.h"
#include "anim/lights.h"
#include "anim/page.h"
#include "anim/title.h"
#include "anim/tv.h"
#include "core/calls.h"
#include "core/log.h"
#include "core/mem.h"
#include "core/nproc.h"
#include "frontend/pause.h"
#include "game/game.h"
#include "game/mission.h"
#include "game/mode.h"
#include "game/score.h"
#include "game/stats.h"
#include "gfx/frame.h"
#include "gfx/mosaic.h"
#include "gfx/rda.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "main/blackbox.h"
#include "main/ltime.h"
#include "main/session.h"
#include "physics/ball.h"
#include "physics/geometry.h"
#include "physics/objects/objects.h"
#include "physics/opr.h"
#include "physics/table.h"
#include "physics/track.h"
#include "platform/gdev.h"
#include "platform/sys/sys.h"
#include "sound/fx.h"
#include "subgames/sg.h"

namespace {

const char* const kFn = "MILE3_LOAD()";
const char* const kRdaBitmaps[] = {"table-i-vorsk.img"};
const char* const kBackground = "table-i.img";

// The table load's depth map goes to the screen being loaded.
gscr* gDepthScreen = nullptr;

Sprite* loadSprite(const char* path) {
  Sprite* s = SPR_CREATE(path);
  logDebug(2, "spr_create('%s'): spr-%p", path, static_cast<void*>(s));
  return s;
}

void freeSprite(Sprite** s) {
  if (*s) SPR_FREE(*s);
  *s = nullptr;
}

int readConf(ConfSet* set, const char* caller, const char* text, const char* bin, int writeBinary) {
  return conf_anyread(set, caller, text, bin, writeBinary);
}

void READ_BUGTIME_CONF(TableLoad* t) {
  ConfSet set{};
  t->bugtimeBegin = t->bugtimeEnd = -1;
  if (CONF_READ(&set, "conf/bugtime.conf") < 0) {
    logError(0, "%s: error reading configuration from '%s'", "READ_BUGTIME_CONF()", "conf/bugtime.conf");
  }
  int begin = conf_getint(&set, "begin", -1), end = conf_getint(&set, "end", -1);
  if (begin >= 0 && begin < end) {
    t->bugtimeBegin = begin;
    t->bugtimeEnd = end;
    logPrint("%s: bugtime set at [%d..%d]", "READ_BUGTIME_CONF()", begin, end);
  } else {
    logPrint("%s: bugtime not configured", "READ_BUGTIME_CONF()");
  }
  conf_free(&set);
}

// ---- the phases ----

int phaseBoard(TableLoad* t) {
  if (BOARD_INIT(&t->physics, t->boardSlots > 0 ? t->boardSlots : BOARD_MAX_OBJECTS, &t->boardParams) < 0)
    return -1;
  BOARD_SELECT(&t->physics);
  return 0;
}

int phaseGlobal(TableLoad* t) {
  if (readConf(&t->global, "READ_GLOBAL_CONF()", "conf/global.conf", "conf/global.bcf", t->writeBinary) < 0)
    return -1;
  READ_BUGTIME_CONF(t);
  ConfSet* g = &t->global;
  TableConfig& c = t->cfg;
  c.rate = conf_getint(g, "video.rate", 60);
  // DELIBERATE: a rate of 0 or less would divide by zero everywhere.
  if (c.rate <= 0) c.rate = 60;
  c.fixed = conf_getint(g, "video.fixed", 0);
  c.boardTimescale = conf_getdouble(g, "options.board_timescale", 1.0);
  c.frameScale = 60.0 / c.rate;
  tableReadBoardParams(g, &t->boardParams);
  c.ballRadius = ballRadius(g);
  tableContextRead(g, &t->gameSet);
  gFramePacing.sync = conf_getint(g, "video.sync", 0);
  gFramePacing.slowSwap = conf_getint(g, "video.slow_swap", 0);
  c.fxReverse = conf_getint(g, "fx.reverse", 0);
  sysMakeDir("temp");
  return 0;
}

int phaseProgress(TableLoad*) {
  ltimeBegin("data/ltime-progress.gsp");
  return 0;
}

int phaseMaps(TableLoad* t) {
  gDepthScreen = t->screen;
  loadTableMaps(
      [](const uint16_t* depth, int w, int h) {
        if (gDepthScreen) gsAddZBuffer(gDepthScreen, depth, w, h);
      },
      tableLoadCheckpoint);
  gDepthScreen = nullptr;
  return 0;
}

int phaseRegimeAssets(TableLoad* t) {
  rdaInit();
  rdaSetRegime(t->regime);
  logDebug(2, "at rdaLoadBitmaps()");
  if (!rdaLoadBitmaps("")) logError(0, "%s: error loading regime-dependent bitmaps", kFn);
  LT("rda_bitmaps");
  logDebug(2, "at checkRDABitmaps()");
  if (!checkRDABitmaps()) return logError(-1, "%s: not all RDA data present, aborting", kFn);
  return 0;
}

int phaseScreen(TableLoad* t) {
  logDebug(2, "at backdc load");
  GdevDC* bg = rdaGetBitmap(kBackground);
  t->background = bg ? mglCloneDC(bg) : nullptr;
  if (!t->background)
    return logError(-1, "%s: error duplicating main background '%s' from RDA", kFn, kBackground);
  t->alphaDC = mglCreateBitmapDC24("table/table-alpha.img");
  logPrint("alphadc-%p", static_cast<void*>(t->alphaDC));
  if (!t->alphaDC) return -1;
  logDebug(2, "at gsAddAlpha()");
  gsAddAlpha(t->screen, t->alphaDC);
  if (!ballScrCreate()) logError(0, "%s: error creating ball screen", kFn);
  // The table's plain picture, the ball screen's backdrop.
  if (fileExists("table/table-0ti.bmp")) t->tableImage = mglCreateBitmapDC("table/table-0ti.bmp");
  if (t->tableImage && ballScreen()) mglCopyDC(ballScreen(), t->tableImage);
  vbCreate(&t->board, t->background);
  vbSelect(&t->board);
  LT("vboard");
  return 0;
}

int phaseDisplay(TableLoad* t) {
  tvReadGeometry(&t->global, &t->tv);
  lightInit();
  if (!setupTitleContexts(t->tv.titleWidth, t->tv.titleHeight))
    logError(0, "%s: error creating title contexts", kFn);
  titleSetRegimeName([] { return rdaNameOf(game.regime); });
  return 0;
}

int phaseTracks(TableLoad* t) {
  logDebug(2, "at setupTracks()");
  if (setupTracks(t->writeBinary ? TRACK_SETUP_WRITE_BINARY : 0) != 1)
    logError(0, "%s: error setting up tracks", kFn);
  LT("tracks");
  return 0;
}

int phaseBallSprites(TableLoad* t) {
  const char* ballName = conf_getstr(&t->global, "ball.sprite", "data/ball.gsp");
  if (!(t->ball = loadSprite(ballName))) return -1;
  const char* shadowName = conf_getstr(&t->global, "ball.shadow_sprite", "data/ballshadow.gsp");
  if (!(t->shadow = loadSprite(shadowName))) return -1;
  return 0;
}

int phaseLampSprites(TableLoad*) {
  logDebug(2, "at rdaLoadSprites()");
  if (!rdaLoadSprites("lights/")) logError(0, "%s: error loading regime-dependent sprites", kFn);
  LT("rda_sprites");
  return 0;
}

int phaseFamilies(TableLoad*) {
  if (oprRegisterTable() < 0) return logError(-1, "%s: error adding OPR families", kFn);
  return 0;
}

int phaseShapes(TableLoad* t) {
  ShapeLoadHooks hooks{tableLoadCheckpoint, oprSetObjectConf, OPR_RECOGNIZE};
  shapeSetLoadHooks(&hooks);
  logDebug(2, "at load_shapes()");
  LOAD_SHAPES(t->writeBinary);
  LT("load_shapes");
  return 0;
}

int phasePreload(TableLoad* t) {
  if (SG_PRELOAD(t->writeBinary) < 0) return logError(-1, "%s: error preloading subgame data", kFn);
  LT("sg_preload");
  if (MOS_ANIM_PRELOAD(t->writeBinary) < 0)
    return logError(-1, "%s: error preloading mosaic animation data", kFn);
  LT("mos_anim_preload");
  return 0;
}

int phaseCursors(TableLoad* t) {
  if (!(t->ruler = loadSprite("data/ruler.gsp"))) return -1;
  // The ruler is a measuring aid for the table's makers: it waits off the
  // screen, like the cursors, so that nothing of it shows in play.
  if ((t->rulerObject = vbAddObject(t->ruler, 0, -100, -100))) vbSetLayer(t->rulerObject, 7);
  if (!(t->cursor = loadSprite("data/cursor.gsp"))) return -1;
  for (int i = 0; i < 3; i++) {
    t->cursorObjects[i] = vbAddObject(t->cursor, i < t->cursor->numfrms ? i : 0, -100, -100);
    if (t->cursorObjects[i]) vbSetLayer(t->cursorObjects[i], 7);
  }
  return 0;
}

int phaseInterface(TableLoad* t) {
  logDebug(2, "at setupInterface()");
  if (!setupInterface()) logError(0, "%s: error setting up interface", kFn);
  fxSetReverse(t->cfg.fxReverse);
  return 0;
}

int phaseTitles(TableLoad* t) {
  logDebug(2, "at gnmInit()");
  gnmInit();
  logDebug(2, "at title DC creation");
  if (!tvSetup(&t->tv)) logError(0, "%s: error creating the title display", kFn);
  logDebug(2, "at setupTitleAnimations()");
  if (!setupTitleAnimations()) logError(0, "%s: error setting up title animations", kFn);
  LT("title");
  return 0;
}

int phaseGameReset(TableLoad* t) {
  gameReset();
  gameSetRegime(t->regime);
  titleClearMacros();
  // The score titles show the macro from their first page on.
  titleSetMacro("score", scoreFormat(game.score));
  return 0;
}

int phaseRulesConf(TableLoad* t) {
  logDebug(2, "at read_game_conf()");
  if (readConf(&t->gameSet, "READ_GAME_CONF()", "conf/game.conf", "conf/game.bcf", t->writeBinary) < 0)
    return -1;
  sgSetGameConf(&t->gameSet);
  logDebug(2, "at read_sample_conf()");
  if (readConf(&t->sampleSet, "READ_SAMPLE_CONF()", "conf/sample.conf", "conf/sample.bcf", t->writeBinary) < 0)
    return -1;
  return 0;
}

int phaseRules(TableLoad* t) {
  logDebug(2, "at gstatBegin()");
  gstatBegin();
  logDebug(2, "at setupGnms()");
  if (!setupGnms(tableLoadCheckpoint)) logError(0, "%s: error setting up GNMs", kFn);
  logDebug(2, "at gameSetupObjects()");
  gameSetFrameRate(t->cfg.rate);
  if (!gameSetupObjects(&t->gameSet)) logError(0, "%s: error setting up game objects", kFn);
  logDebug(2, "at gameSetupBigscore()");
  if (!gameSetupBigscore(t->writeBinary)) logError(0, "%s: error setting up big score", kFn);
  logDebug(2, "at gameSetupMissions()");
  if (!gameSetupMissions(t->writeBinary)) logError(0, "%s: error setting up game missions", kFn);
  logDebug(2, "at setupModes()");
  if (!setupModes(t->writeBinary)) logError(0, "%s: error setting up modes", kFn);
  LT("game");
  return 0;
}

int phaseLights(TableLoad* t) {
  synlightSetup(&t->gameSet);
  logDebug(2, "at setupLights()");
  if (!setupLights(&t->gameSet)) logError(0, "%s: error setting up lights", kFn);
  LT("lights");
  logDebug(2, "at setupSamples()");
  if (!setupSamples(&t->sampleSet)) logError(0, "%s: error setting up game samples", kFn);
  LT("samples");
  logDebug(2, "at setupScore()");
  if (!setupScore(t->writeBinary)) logError(0, "%s: error setting up score", kFn);
  LT("glitter");
  return 0;
}

int phaseUserEvents(TableLoad*) {
  logDebug(2, "at initUserEvents()");
  userEventReset();
  for (int scan : {TABLE_KEY_LEFT, TABLE_KEY_RIGHT, TABLE_KEY_LAUNCH}) userEventDeclareScan(scan, 0);
  // Gold catching's keys: the keypad's corners and the arrows (or keypad 8, 2, 4, 6).
  for (int scan : {0x47, 0x49, 0x4F, 0x51, 0x48, 0x50, 0x4B, 0x4D}) userEventDeclareScan(scan, 0);
  for (int c : {' ', 'g', 'r', 'R', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9'}) userEventDeclareKey(c, 0);
  for (int c : {' ', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9'}) userEventDeclareKey(c, 1);
  return 0;
}

int phaseReport(TableLoad*) {
  logDebug(2, "at ltimeEnd()");
  ltimeEnd();
  ltimeReport();
  logDebug(2, "at lightList()");
  lightList();
  logDebug(2, "at SPR_LIST()");
  SPR_LIST();
  return 0;
}

struct PhaseRow {
  TablePhase phase;
  const char* name;
  int (*run)(TableLoad*);
};
constexpr PhaseRow kPhases[] = {
    {TP_BOARD, "TP_BOARD", phaseBoard},
    {TP_GLOBAL, "TP_GLOBAL", phaseGlobal},
    {TP_PROGRESS, "TP_PROGRESS", phaseProgress},
    {TP_MAPS, "TP_MAPS", phaseMaps},
    {TP_REGIME_ASSETS, "TP_REGIME_ASSETS", phaseRegimeAssets},
    {TP_SCREEN, "TP_SCREEN", phaseScreen},
    {TP_DISPLAY, "TP_DISPLAY", phaseDisplay},
    {TP_TRACKS, "TP_TRACKS", phaseTracks},
    {TP_BALL_SPRITES, "TP_BALL_SPRITES", phaseBallSprites},
    {TP_LAMP_SPRITES, "TP_LAMP_SPRITES", phaseLampSprites},
    {TP_FAMILIES, "TP_FAMILIES", phaseFamilies},
    {TP_SHAPES, "TP_SHAPES", phaseShapes},
    {TP_PRELOAD, "TP_PRELOAD", phasePreload},
    {TP_CURSORS, "TP_CURSORS", phaseCursors},
    {TP_INTERFACE, "TP_INTERFACE", phaseInterface},
    {TP_TITLES, "TP_TITLES", phaseTitles},
    {TP_GAME_RESET, "TP_GAME_RESET", phaseGameReset},
    {TP_RULES_CONF, "TP_RULES_CONF", phaseRulesConf},
    {TP_RULES, "TP_RULES", phaseRules},
    {TP_LIGHTS, "TP_LIGHTS", phaseLights},
    {TP_USER_EVENTS, "TP_USER_EVENTS", phaseUserEvents},
    {TP_REPORT, "TP_REPORT", phaseReport},
};
static_assert(std::size(kPhases) == TP_COUNT, "one row per phase");
constexpr bool phasesInOrder() {
  for (int i = 0; i < TP_COUNT; i++)
    if (kPhases[i].phase != i) return false;
  return true;
}
static_assert(phasesInOrder(), "rows in phase order");

}  // namespace

const char* tablePhaseName(TablePhase phase) {
  return phase >= 0 && phase < TP_COUNT ? kPhases[phase].name : "<invalid>";
}

int tableLoadCheckpoint(const char* category) {
  LT(category);
  return 1;
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

void tableResetModules() {
  rulesCallClear();
  titleClearMacros();
  gameReset();
  missionReset();
  modeReset();
  gameSetTableHooks(nullptr);
  scoreFree();
  namedProcClear();
  eventClear();
  tableContextReset();
  objectsReset();
  objClearInfo();
  OPR_RESET();
  trackFreeAll();
}

int tableLoad(TableLoad* t, unsigned phases) {
  for (const PhaseRow& row : kPhases) {
    if (!(phases & tablePhaseBit(row.phase))) continue;
    if (row.run(t) < 0) return -1;
    t->loaded |= tablePhaseBit(row.phase);
  }
  return 0;
}

void tableUnload(TableLoad* t) {
  tvFree();
  // The tips and the year display leave the board while it is current.
  scoreFree();
  vbDeselect(&t->board);
  // The balls and table objects give back their sprite instances first.
  if (t->physics.objects) {
    for (int i = 0; i < t->physics.count; i++)
      if (t->physics.objects[i].id >= 0) BOARD_KILL(i);
  }
  BOARD_FREE(&t->physics);
  objectsReset();
  objClearInfo();
  OPR_RESET();
  shapeSetLoadHooks(nullptr);
  FREE_SHAPES();
  CLEAR_LAYER_HEIGHTS();
  trackFreeAll();
  ballScrFree();
  if (t->tableImage) mglFreeDC(t->tableImage);
  tableContextReset();
  lightFree();
  if (t->screen) {
    if (t->screen->alpha) gsFreeAlpha(t->screen);
    gsFreeZBuffer(t->screen);
  }
  if (t->background) mglFreeDC(t->background);
  if (t->alphaDC) mglFreeDC(t->alphaDC);
  titleUnload();
  titleSetRegimeName(nullptr);
  pageFreeFonts();
  pageFreeSprites();
  vbFree(&t->board);
  // The scripts' board objects went with the board; their sprites and
  // samples go now.
  gnmFree();
  rdaFreeSprites();
  rdaFreeBitmaps();
  freeSprite(&t->ball);
  freeSprite(&t->shadow);
  freeSprite(&t->ruler);
  freeSprite(&t->cursor);
  mosAnimFreeAll();
  sgSetGameConf(nullptr);
  sgFree();
  freeTableSamples();
  gameFreeRules();
  missionFree();
  modeFree();
  conf_free(&t->global);
  conf_free(&t->gameSet);
  conf_free(&t->sampleSet);
  gscr* screen = t->screen;
  int writeBinary = t->writeBinary, regime = t->regime, slots = t->boardSlots;
  *t = TableLoad{};
  t->screen = screen;
  t->writeBinary = writeBinary;
  t->regime = regime;
  t->boardSlots = slots;
}
