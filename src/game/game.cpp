#include "game/game.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "anim/gnm.h"
#include "anim/lights.h"
#include "anim/title.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/nproc.h"
#include "core/text.h"
#include "core/time.h"
#include "game/mission.h"
#include "game/score.h"
#include "game/stats.h"
#include "game/trigger.h"
#include "physics/opr.h"

namespace {

GameState initialState(int regime) {
  GameState g{};
  g.regime = regime;
  g.pendingRegime = -1;
  g.ballsLeft = GAME_BALLS;
  g.requestedSubgame = -1;
  g.mission = -1;
  g.presTerm = 1;
  g.taxMultiplier = 1;
  g.year = 2000.0;
  return g;
}

// The rules' settings from the game and big-score configurations.
struct RulesConfig {
  double taxDecayMs = 2000;
  double liftActivityMs = 10000;
  double wormDelayMs = 10;
  double crisisTimeoutMs = 2000;
  double stepMs = 1000.0 / 60;
  ConfSet bigscore{};          // read by gameSetupBigscore
  ConfSet* bigscoreInUse = nullptr;
};
RulesConfig gCfg;

// The gas-company lamp worm.
struct Worm {
  bool running;
  int pos;
  bool up;
  bool stop;
  double time;
};
Worm gWorm{};

double gStepAcc = 0;   // game time not yet turned into game steps (ms)
int gPendingCpwKind = 0, gPendingCpwChange = 0;
int gSavedQueue[3], gSavedQueueCount = -1;

constexpr int kTaxMultiplier[5] = {1, 2, 4, 6, 8};
constexpr const char* kFeatureStat[4] = {"duma", "zona", "bd", "gp"};
constexpr const char* kStateStat[3] = {"off", "on", "crisis"};

// A number key written as an integer or a fraction.
double confNumber(ConfSet* set, const char* key, double def) {
  switch (conf_gettype(set, key)) {
    case CONF_INT: return conf_getint(set, key, 0);
    case CONF_DOUBLE: return conf_getdouble(set, key, def);
    default: return def;
  }
}

int clampInt(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

// A bar of lamps: lamp i is on below the level.
void setBar(int first, int count, int level) {
  for (int i = 0; i < count; i++) lightSet(first + i, i < level ? LIGHT_ON : LIGHT_OFF);
}

// A counted row (mausoleum, blessing): on below the count, blinking at it,
// off above.
void setCountRow(int first, int count) {
  for (int i = 0; i < 5; i++)
    lightSet(first + i, i < count ? LIGHT_ON : i == count ? LIGHT_BLINK : LIGHT_OFF);
}

// Laws and decrees: the passed ones on, the rest up to the count blinking.
void setPassedRow(int first, int count, int passed) {
  for (int i = 0; i < 4; i++)
    lightSet(first + i, i < passed ? LIGHT_ON : i < count ? LIGHT_BLINK : LIGHT_OFF);
}

int* featureField(int feature) {
  switch (feature) {
    case GNM_FEATURE_DUMA: return &game.duma;
    case GNM_FEATURE_ZONA: return &game.zona;
    case GNM_FEATURE_BD: return &game.bd;
    default: return &game.gp;
  }
}

void setFeature(int feature, int state) {
  state = clampInt(state, -1, 2);
  *featureField(feature) = state;
  if (state >= 0) {
    char name[32];
    strFormatN(name, sizeof name, "obj:%s_%s", kFeatureStat[feature], kStateStat[state]);
    gstatSample(name);
  }
  if (state == 2) game.crisisEnd[feature] = tmTime + gCfg.crisisTimeoutMs;
  gnmSetFeatureState(feature, state);
  const int lamp = feature == GNM_FEATURE_DUMA ? LI_LAW_AVAIL
                   : feature == GNM_FEATURE_BD ? LI_TAX_AVAIL
                   : feature == GNM_FEATURE_GP ? LI_EXPORT
                                               : -1;
  if (lamp >= 0) lightSetIfChanged(lamp, state == 1 ? LIGHT_ON : LIGHT_OFF);
}

// Windows-1251 player texts.
constexpr const char* kCpwName[3] = {"\xD5\xC0\xD0\xC8\xC7\xCC\xC0",          // ХАРИЗМА
                                     "\xC2\xCB\xC0\xD1\xD2\xDC",              // ВЛАСТЬ
                                     "\xC1\xCE\xC3\xC0\xD2\xD1\xD2\xC2\xCE"};  // БОГАТСТВО
// A feature's crisis, by GnmFeature number: what happens ("crisis_name") and
// where ("crisis_where").
constexpr const char* kCrisisName[GNM_FEATURES] = {"\xC8\xC7\xCC\xC5\xCD\xC0",   // ИЗМЕНА
                                                   "\xC1\xD3\xCD\xD2",           // БУНТ
                                                   "\xCF\xD3\xD2\xD7",           // ПУТЧ
                                                   "\xC0\xC2\xC0\xD0\xC8\xDF"};  // АВАРИЯ
constexpr const char* kCrisisWhere[GNM_FEATURES] = {
    "\xC4\xD3\xCC\xC5",                                   // ДУМЕ
    "\xC7\xCE\xCD\xC5",                                   // ЗОНЕ
    "\xC1\xC5\xCB\xCE\xCC \xC4\xCE\xCC\xC5",               // БЕЛОМ ДОМЕ
    "\xC3\xC0\xC7\xCF\xD0\xCE\xCC\xC5"};                  // ГАЗПРОМЕ
// The feature a rating that falls below 0 puts into crisis: charisma the
// Duma, power the zone, wealth the gas company.
constexpr int kCrisisFeature[3] = {GNM_FEATURE_DUMA, GNM_FEATURE_ZONA, GNM_FEATURE_GP};

int cpwIndex(int kind) { return kind == 'c' ? 0 : kind == 'p' ? 1 : kind == 'w' ? 2 : -1; }
int* cpwLevel(int index) { return index == 0 ? &game.charisma : index == 1 ? &game.power : &game.wealth; }
void setCpw(int index, int level) {
  if (index == 0) gameSetCharisma(level);
  else if (index == 1) gameSetPower(level);
  else gameSetWealth(level);
}

int gSuperCpwChange = 0;
void superCpwEnd() {
  const int value = gameBigscoreValue("super_cpw.value") * game.presTerm * gSuperCpwChange;
  gameBigScore(value);
}

// Run once the change has landed (the question mission completes then).
void (*gCpwThen)() = nullptr;

void landCpw();

// The end of the "cpw_inc"/"cpw_dec" title: the change lands on the level,
// then the caller's continuation runs.
void applyCpw() {
  landCpw();
  void (*then)() = gCpwThen;
  gCpwThen = nullptr;
  if (then) then();
}

void landCpw() {
  const int index = cpwIndex(gPendingCpwKind);
  if (index < 0) return;
  const int change = gPendingCpwChange;
  const int level = *cpwLevel(index) + change;
  if (level > 10) {
    setCpw(index, 10);
    titleSetMacro("cpw_name", kCpwName[index]);
    gSuperCpwChange = change;
    titleEndCallbackOrNow(startForeTitle("super_cpw"), superCpwEnd);
  } else if (level < 0) {
    setCpw(index, 0);
    gameStartCrisis(kCrisisFeature[index]);
  } else {
    setCpw(index, level);
  }
}

// "gp_worm_on": the worm starts when the gas company is on or its mission runs.
int gpWormOn(NamedProc*) {
  if (game.gp == 1 || missionCurrent() == MISSION_GASPROM) gameGasWormStart();
  return 0;
}

// Key 0, the flipper key: one lit extra-ball lamp moves to the other lane.
void laneChange(int, int, int) {
  const int a = lightGetState(LI_XB0), b = lightGetState(LI_XB1);
  if (a == LIGHT_ON && b <= LIGHT_OFF) {
    lightSet(LI_XB0, LIGHT_OFF);
    lightSet(LI_XB1, LIGHT_ON);
  } else if (a <= LIGHT_OFF && b == LIGHT_ON) {
    lightSet(LI_XB1, LIGHT_OFF);
    lightSet(LI_XB0, LIGHT_ON);
  }
}

void wormStep() {
  if (!gWorm.running || tmTime - gWorm.time <= gCfg.wormDelayMs) return;
  gWorm.time = tmTime;
  const int level = game.gasPercent / 10;
  if (gWorm.up)
    lightSet(LI_GP_P10 + gWorm.pos, LIGHT_ON);
  else if (gWorm.pos >= level)
    lightSet(LI_GP_P10 + gWorm.pos, LIGHT_OFF);
  gWorm.pos++;
  if (gWorm.pos < 10) return;
  gWorm.up = !gWorm.up;
  if (gWorm.up && gWorm.stop) {
    gWorm.running = false;
    return;
  }
  gWorm.pos = level;
}

// The elections fall due while another mission runs: it is aborted when the
// title ends, and the elections begin.
void electionsAfterAbort() {
  missionAbort();
  missionStart(MISSION_ELECTIONS);
}

}  // namespace

GameState game = initialState(REGIME_COMM);

void gameReset() {
  game = initialState(game.regime);
  gWorm = Worm{};
  gStepAcc = 0;
  gSavedQueueCount = -1;
}

namespace {
void (*gBallRequest)(int free) = nullptr;
}
void gameSetBallRequest(void (*request)(int free)) { gBallRequest = request; }
void gameRequestBall(int free) {
  if (gBallRequest) gBallRequest(free);
}

int gameSubgamePending() { return game.subgameQueue > 0 || game.requestedSubgame >= 0; }

void gameRaiseSaveTime(double seconds) {
  if (game.saveTime < seconds) gameSetSaveTime(seconds);
}

int gameClampRegime(int regime) {
  if (regime < REGIME_COMM) return REGIME_COMM;
  if (regime > REGIME_DEMO) return REGIME_DICT;
  return regime;
}

void gameSetRegime(int regime) {
  regime = gameClampRegime(regime);
  logPrint("%s: setting regime %d", "gameSetRegime()", regime);
  game.regime = regime;
  game.pendingRegime = -1;
}

void gameSwitchRegime(int regime) {
  regime = gameClampRegime(regime);
  logPrint("%s: switching regime %d -> %d", "gameSwitchRegime()", game.regime, regime);
  game.pendingRegime = regime;
}

const char* gameRegimeName(int regime) {
  static constexpr const char* kNames[3] = {"comm", "demo", "dict"};
  return kNames[gameClampRegime(regime)];
}

// ---- Setters ----

void gameSetCharisma(int level) {
  game.charisma = clampInt(level, 0, 10);
  setBar(LI_CHARISMA0, 10, game.charisma);
}
void gameSetPower(int level) {
  game.power = clampInt(level, 0, 10);
  setBar(LI_POWER0, 10, game.power);
}
void gameSetWealth(int level) {
  game.wealth = clampInt(level, 0, 10);
  setBar(LI_WEALTH0, 10, game.wealth);
}

void gameSetGasPercent(int percent) {
  game.gasPercent = clampInt(percent, 0, 100);
  for (int k = 0; k < 10; k++)
    lightSetIfChanged(LI_GP_P10 + k, game.gasPercent >= 10 * (k + 1) ? LIGHT_ON : LIGHT_OFF);
}

void gameSetReklama(int count) {
  game.reklama = clampInt(count, 0, 7);
  setBar(LI_REKLAMA0, 7, game.reklama);
}

void gameSetSaveTime(double seconds) {
  if (!(seconds > 0)) seconds = 0;  // also NaN
  if (seconds > 120) seconds = 120;
  game.saveTime = seconds;
  lightSet(LI_CREDIT, seconds >= 4 ? LIGHT_ON : seconds > 0 ? LIGHT_BLINK : LIGHT_OFF);
}

void gameSetLaws(int count, int passed) {
  game.laws = clampInt(count, 0, 4);
  game.lawsPassed = clampInt(passed, 0, game.laws);
  setPassedRow(LI_LAW0, game.laws, game.lawsPassed);
}

void gameSetUkazy(int count, int passed) {
  game.ukazy = clampInt(count, 0, 4);
  game.ukazyPassed = clampInt(passed, 0, game.ukazy);
  setPassedRow(LI_UKAZY0, game.ukazy, game.ukazyPassed);
}

void gameSetTax(int level) {
  level = clampInt(level, game.taxFloor, 4);
  for (int i = 0; i < 4; i++)
    if ((i < level) != (i < game.tax)) lightSet(LI_TAX0 + i, i < level ? LIGHT_ON : LIGHT_OFF);
  game.tax = level;
  game.taxMultiplier = kTaxMultiplier[level];
  game.taxTime = tmTime;
}

void gameRaiseTaxFloor() { game.taxFloor = clampInt(game.taxFloor + 1, 0, 4); }

void gameSetMumra(int count) {
  game.mumra = clampInt(count, 0, 5);
  if (game.mumra == 5) {
    for (int i = 0; i < 5; i++) lightSet(LI_MUMRA0 + i, LIGHT_SLOW_BLINK);
    gstatSample("evt:mumra");
  } else {
    setCountRow(LI_MUMRA0, game.mumra);
  }
}

void gameSetAmen(int count) {
  game.amen = clampInt(count, 0, 5);
  if (game.amen == 5) {
    for (int i = 0; i < 5; i++) lightSet(LI_AMEN0 + i, LIGHT_SLOW_BLINK);
    gstatSample("evt:amen");
    for (int light = 0; light < LI_LAST; light++) lightSetAfterLoop(light, LIGHT_ON);
  } else {
    setCountRow(LI_AMEN0, game.amen);
  }
}

void gameSetSpiral(int state) {
  game.spiral = state ? 1 : 0;
  if (game.spiral == 0) {
    objEnable("SPIRAL_GATE");
    lightSet(LI_T6ARROW, LIGHT_OFF);
    lightSet(LI_TV_GAS_TV, LIGHT_ON);
    lightSet(LI_TV_GAS_GAS, LIGHT_OFF);
  } else {
    objDisable("SPIRAL_GATE");
    lightSet(LI_TV_GAS_TV, LIGHT_OFF);
    lightSet(LI_TV_GAS_GAS, LIGHT_ON);
  }
}

void gameSetDuma(int state) { setFeature(GNM_FEATURE_DUMA, state); }
void gameSetZona(int state) { setFeature(GNM_FEATURE_ZONA, state); }
void gameSetBd(int state) { setFeature(GNM_FEATURE_BD, state); }
void gameSetGp(int state) { setFeature(GNM_FEATURE_GP, state); }
void gameSetFeature(int feature, int state) {
  if (feature >= 0 && feature < GNM_FEATURES) setFeature(feature, state);
}

void gameSetPresTerm(int term) {
  term = clampInt(term, 1, 3);
  if (term == game.presTerm) return;
  game.presTerm = term;
  lightSet(LI_PRES_2ND, term >= 2 ? LIGHT_ON : LIGHT_OFF);
  lightSet(LI_PRES_3RD, term >= 3 ? LIGHT_ON : LIGHT_OFF);
}

void gameSetMagnets(int on) {
  game.magnets = on ? 1 : 0;
  for (int i = 0; i < 3; i++) lightSet(LI_MOLNIA0 + i, on ? LIGHT_BLINK : LIGHT_OFF);
  if (on) {
    // One enable per magnet lamp.
    for (int i = 0; i < 3; i++) objEnable("OSTMAGNET1");
  } else {
    objDisable("OSTMAGNET1");
  }
}

void gameSetLift(int on) {
  if (on) {
    game.liftActive = 1;
    game.liftEnd = tmTime + gCfg.liftActivityMs;
    if (lightGetState(LI_MOLNIA0) <= LIGHT_OFF) gameSetMagnets(1);
  } else {
    game.liftActive = 0;
    game.liftEnd = 0;
    if (lightGetState(LI_VIDEO) <= LIGHT_OFF) gameSetMagnets(0);
  }
}

// ---- Subgame queue ----

int gameAllowSubgame(int id) {
  for (int i = 0; i < game.subgameQueue; i++)
    if (game.subgames[i] == id) return i;
  if (game.subgameQueue >= 3) return 3;
  game.subgames[game.subgameQueue] = id;
  const int position = game.subgameQueue++;
  lightSet(LI_VIDEO, LIGHT_BLINK);
  gameSetMagnets(1);
  return position;
}

int gameRunAllowedSubgame() {
  if (game.subgameQueue <= 0) return -1;
  const int id = game.subgames[0];
  for (int i = 1; i < game.subgameQueue; i++) game.subgames[i - 1] = game.subgames[i];
  game.subgameQueue--;
  if (game.subgameQueue == 0) {
    lightSet(LI_VIDEO, LIGHT_OFF);
    if (!game.liftActive) gameSetMagnets(0);
  }
  if (id < 0 || id > 2) return logError(-1, "%s: invalid subgame id %d, SE", "gameRunAllowedSubgame()", id);
  // The session launches it at the top of its next frame, with the regime's
  // person for boxing and gold catching.
  game.requestedSubgame = id;
  return id;
}

void gameSubgameReturned() {
  for (; game.subgameBall > 0; game.subgameBall--) gameTubeLaunch(1);
}

void gameClearSubgames() {
  game.subgameQueue = 0;
  if (lightGetState(LI_VIDEO) > LIGHT_OFF) {
    lightSet(LI_VIDEO, LIGHT_OFF);
    gameSetMagnets(0);
  }
}

void gameSaveSubgames() {
  gSavedQueueCount = game.subgameQueue;
  for (int i = 0; i < 3; i++) gSavedQueue[i] = game.subgames[i];
  gameClearSubgames();
}

void gameRestoreSubgames() {
  if (gSavedQueueCount < 0) return;
  game.subgameQueue = 0;
  for (int i = 0; i < gSavedQueueCount; i++) gameAllowSubgame(gSavedQueue[i]);
  gSavedQueueCount = -1;
}

// ---- Worm, extra ball, ratings ----

void gameGasWormStart() {
  const int pos = game.gasPercent / 10;
  if (pos >= 10) return;
  gWorm = Worm{true, pos, true, false, tmTime};
}

void gameGasWormStop() { gWorm.stop = true; }
int gameGasWormRunning() { return gWorm.running ? 1 : 0; }

void gameLightExtraBall() {
  gstatSample("ball:xb_lit");
  if (lightGetState(LI_XB0) <= LIGHT_OFF)
    lightSet(LI_XB0, LIGHT_ON);
  else if (lightGetState(LI_XB1) <= LIGHT_OFF)
    lightSet(LI_XB1, LIGHT_ON);
}

void gameChangeCpw(int kind, int change) { gameChangeCpwThen(kind, change, nullptr); }

void gameChangeCpwThen(int kind, int change, void (*then)()) {
  const int index = cpwIndex(kind);
  if (index < 0) {
    logError(0, "%s: unknown kind '%c', SE", "gameChangeCpw()", kind);
    if (then) then();
    return;
  }
  gCpwThen = then;
  titleSetMacro("cpw_name", kCpwName[index]);
  char value[16];
  strFormatN(value, sizeof value, "%d", std::abs(change));
  titleSetMacro("cpw_value", value);
  gPendingCpwKind = kind;
  gPendingCpwChange = change;
  titleEndCallbackOrNow(startForeTitle(change >= 0 ? "cpw_inc" : "cpw_dec"), applyCpw);
}

int gameStartCrisis(int feature) {
  const bool known = feature >= 0 && feature < GNM_FEATURES;
  titleSetMacro("crisis_where", known ? kCrisisWhere[feature] : "SOMEWHERE");
  titleSetMacro("crisis_name", known ? kCrisisName[feature] : "SOMETHING");
  if (known) setFeature(feature, 2);
  return startForeTitle("crisis");
}

// ---- The table objects the rules command ----

namespace {
GameTableHooks gTableHooks{};
}

void gameSetTableHooks(const GameTableHooks* hooks) { gTableHooks = hooks ? *hooks : GameTableHooks{}; }

void gameZonaControl(int command) {
  if (gTableHooks.zonaControl) gTableHooks.zonaControl(command);
}

int gameZonaState() { return gTableHooks.zonaState ? gTableHooks.zonaState() : GAME_ZONA_CLOSED; }

void gameZonaButtonsRelease() {
  if (gTableHooks.zonaButtonsRelease) gTableHooks.zonaButtonsRelease();
}

void gameTubeLaunch(int tube) {
  if (gTableHooks.tubeBall) gTableHooks.tubeBall(tube);
}

// ---- Set-up ----

int gameSetupBigscore(int writeBinary) {
  gCfg.bigscoreInUse = nullptr;
  conf_free(&gCfg.bigscore);
  if (conf_anyread(&gCfg.bigscore, "gameSetupBigscore()", "conf/bigscore.conf", "conf/bigscore.bcf", writeBinary) <
      0)
    return 0;
  gCfg.bigscoreInUse = &gCfg.bigscore;
  return 1;
}

void gameSetBigscore(ConfSet* set) { gCfg.bigscoreInUse = set; }

ConfSet* gameBigscoreConf() { return gCfg.bigscoreInUse; }

int gameBigscoreValue(const char* key) {
  return gCfg.bigscoreInUse ? static_cast<int>(confNumber(gCfg.bigscoreInUse, key, -1)) : -1;
}

void gameSetFrameRate(int rate) { gCfg.stepMs = 1000.0 / (rate > 0 ? rate : 60); }
void gameSetCrisisTimeout(double seconds) { gCfg.crisisTimeoutMs = seconds * 1000; }

int gameSetupObjects(ConfSet* gameConf) {
  int ok = setupGameLights(gameConf);
  if (!scoreSetupYear(gameConf)) ok = 0;
  gCfg.taxDecayMs = confNumber(gameConf, "tax.decay", 2) * 1000;
  gCfg.liftActivityMs = confNumber(gameConf, "lift.activity", 10) * 1000;
  gCfg.wormDelayMs = confNumber(gameConf, "gasprom.worm_delay", 10);
  registerNamedProc("gp_worm_on", gpWormOn);
  eventRegister(0, laneChange);
  gameRefreshLamps();
  return ok;
}

void gameFreeRules() {
  gCfg.bigscoreInUse = nullptr;
  conf_free(&gCfg.bigscore);
}

void gameRefreshLamps() {
  gameSetYear(game.year);
  gameSetSaveTime(game.saveTime);
  gameSetMumra(game.mumra);
  gameSetAmen(game.amen);
  gameSetReklama(game.reklama);
  gameSetCharisma(game.charisma);
  gameSetPower(game.power);
  gameSetWealth(game.wealth);
  gameSetGasPercent(game.gasPercent);
  gameSetLaws(game.laws, game.lawsPassed);
  gameSetUkazy(game.ukazy, game.ukazyPassed);
  // The tax lamps follow changes only: they are set here whatever they show.
  for (int i = 0; i < 4; i++) lightSet(LI_TAX0 + i, i < game.tax ? LIGHT_ON : LIGHT_OFF);
  gameSetTax(game.tax);
  gameSetSpiral(0);
}

// ---- Game ----

void gameNewGame() {
  game.over = 0;
  titleEndBack(titlePlaying(TITLE_BACK));
  const int regime = game.regime;
  gameReset();
  game.regime = regime;
  gameRefreshLamps();
  for (int f = 0; f < GNM_FEATURES; f++) setFeature(f, 0);
  missionSymbolsHide();
  all_triggers(TR_GAME_BEGIN);
}

void gameOver() {
  game.over = 1;
  char title[32];
  strFormatN(title, sizeof title, "gameover_%s", gameRegimeName(game.regime));
  startBackTitle(title);
  for (int f = 0; f < GNM_FEATURES; f++) setFeature(f, 2);
  all_triggers(TR_GAME_OVER);
}

void gameTick(double dt) {
  if (game.tax > 0 && tmTime - game.taxTime > gCfg.taxDecayMs) gameSetTax(game.tax - 1);
  gStepAcc += dt;
  if (gStepAcc < gCfg.stepMs) return;
  gStepAcc -= gCfg.stepMs;
  if (game.mission != MISSION_ELECTIONS) {
    const double before = game.year;
    // A step is 1/3600 of a year, counted on that grid so that 3600 steps
    // make exactly one year (a sum of 1/3600 would fall short of it).
    gameSetYear((std::round(before * 3600) + 1) / 3600);
    const int from = static_cast<int>(std::floor(before)), to = static_cast<int>(std::floor(game.year));
    if (to > from && to % 4 == 0 && to > 2000) {
      if (game.mission < 0)
        missionStart(MISSION_ELECTIONS);
      else
        titleEndCallbackOrNow(startForeTitle("mission_aborted"), electionsAfterAbort);
    }
  }
  gameSetQuorum(game.quorum - 0.0416);
  if (game.saveTime < 100 && game.saveTime > 0) gameSetSaveTime(game.saveTime - 0.0166);
  wormStep();
  missionSymbolsStep();
  if (game.liftActive && game.liftEnd > 0 && tmTime >= game.liftEnd) gameSetLift(0);
  titleSetMacro("score", scoreFormat(game.score));
  for (int f = 0; f < GNM_FEATURES; f++)
    if (*featureField(f) == 2 && tmTime >= game.crisisEnd[f]) setFeature(f, 0);
}
