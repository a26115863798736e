// The modes: small rule sets beside the running mission. Laws and decrees
// are collected at the Duma and the Kremlin and passed at their buttons; the
// Duma votes when a full quorum lets a ball out; the tax rises at the White
// House lane; the prizes wait on their lanes; the question and opponent
// lanes open for a while after their buttons; the prison zone catches a
// prisoner that the lane to the tubes carries off. Most rewards come at the
// end of a title, so each step that waits for one keeps what it needs in
// the modes' state.
#include "game/mode.h"

#include <cstdint>

#include "anim/gnm.h"
#include "anim/lights.h"
#include "anim/title.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/random.h"
#include "core/text.h"
#include "core/time.h"
#include "game/game.h"
#include "game/mission.h"
#include "game/score.h"
#include "game/stats.h"
#include "game/trigger.h"
#include "physics/board.h"

namespace {

using ModeHandler = void (*)(int event, int a, BoardObject* object);

enum { SUBGAME_BOXING = 0, SUBGAME_DEPUTY = 1, SUBGAME_OLIGARCH = 2 };

// A deadline on the game clock; unset until armed.
struct Deadline {
  bool set;
  double at;  // ms
};

void arm(Deadline* d, double ms) { *d = Deadline{true, tmTime + ms}; }
bool running(const Deadline& d) { return d.set && tmTime < d.at; }
bool passed(const Deadline& d) { return d.set && tmTime >= d.at; }

struct ModesConfig {
  double questionMs = 10000;
  double stealMs = 10000;
};

struct ModeState {
  int lawStep;      // the laws passed that the running "law%d" title stands for
  int ukazStep;     // likewise the decrees
  int mafiaTarget;  // the feature the mafia puts into crisis
  int vote;         // the Duma's vote: 0 extra ball, 1 impeachment, 2 export
  bool prisoner;    // the steal found a prisoner in the zone
  Deadline steal, question, opponent;
};

ConfSet gConf{};
ModesConfig gCfg;
ModeState S{};
ModeTap gTap = nullptr;

// A number of seconds written as an integer or a fraction, in ms.
double confMs(const char* key, double defSeconds) {
  switch (conf_gettype(&gConf, key)) {
    case CONF_INT: return conf_getint(&gConf, key, 0) * 1000.0;
    case CONF_DOUBLE: return conf_getdouble(&gConf, key, defSeconds) * 1000.0;
    default: return defSeconds * 1000.0;
  }
}

// The draws of the modes start from the game clock, so that a replayed
// session draws the same.
void reseed() { rndSeed(static_cast<uint32_t>(static_cast<int64_t>(tmTime))); }

// A reward of the big-score configuration, times the presidential term.
int termValue(const char* key) { return gameBigscoreValue(key) * game.presTerm; }

// A big score shown by its own title: the value goes into the title's macro
// and onto the score. The title's id, as startForeTitle gives it.
int payBig(int value, const char* macro, const char* title) {
  titleSetMacro(macro, scoreFormat(value));
  scoreAddBig(value);
  return startForeTitle(title);
}

// Windows-1251 prize names: "ПРЕМИЯ ДУМЫ", "ПРЕЗИДЕНТСКАЯ\nПРЕМИЯ",
// "МАЛАЯ ПРЕМИЯ" (the title breaks the line at the two characters "\n").
constexpr const char* kLawPrize = "\xCF\xD0\xC5\xCC\xC8\xDF \xC4\xD3\xCC\xDB";
constexpr const char* kUkazyPrize = "\xCF\xD0\xC5\xC7\xC8\xC4\xC5\xCD\xD2\xD1\xCA\xC0\xDF\\n\xCF\xD0\xC5\xCC\xC8\xDF";
constexpr const char* kSmallPrize = "\xCC\xC0\xCB\xC0\xDF \xCF\xD0\xC5\xCC\xC8\xDF";

void payPrize(const char* stat, const char* key, const char* name) {
  gstatSample(stat);
  titleSetMacro("prize_text", name);
  payBig(termValue(key), "prize_value", "prize");
}

bool electionsRun() { return missionCurrent() == MISSION_ELECTIONS; }

bool subgameQueued(int id) {
  for (int i = 0; i < game.subgameQueue; i++)
    if (game.subgames[i] == id) return true;
  return false;
}

int featureState(int feature) {
  switch (feature) {
    case GNM_FEATURE_DUMA: return game.duma;
    case GNM_FEATURE_ZONA: return game.zona;
    case GNM_FEATURE_BD: return game.bd;
    default: return game.gp;
  }
}

// ---- Laws (4) and decrees (5) ----

// What differs between the laws and the decrees.
struct Ledger {
  int addEvent, buttonEvent;
  const char* stat;
  const char* actionScore;  // a law passed
  const char* idleScore;    // nothing pending
  const char* titleFormat;  // numbered by the passed ones before
  int savePassed;           // passing this many raises the ball-save time at once (0: none)
  int* count;
  int* passed;
  void (*set)(int count, int passed);
  int* step;
  TitleEndFn titleEnded;
};

// The end of a law's title: its reward by the number passed.
void lawTitleEnded() {
  switch (S.lawStep) {
    case 1:
      gameRaiseTaxFloor();
      gameSetTax(game.tax);
      break;
    case 2: gameChangeCpw('c', 3); break;
    case 3: gameRaiseSaveTime(100.1); break;
    case 4:
      gameAllowSubgame(SUBGAME_OLIGARCH);
      gameSetLaws(0, 0);
      modeEvent(MODE_PRIZES, MEVT_LAW_ALL, 0, nullptr);
      break;
    default: break;
  }
}

// The mafia's crisis title has ended: the drawn feature goes into crisis.
void endOfMafiaCrisisTitle() {
  const int target = S.mafiaTarget;
  if (target < 0 || target >= GNM_FEATURES)
    logError(0, "%s: invalid target %d, SE", "endOfMafiaCrisisTitle()", target);
  gameStartCrisis(target);
}

// The fourth decree brings the mafia: three times in four it puts one of
// the features that are on into crisis, else it pays off.
void mafia() {
  int on[GNM_FEATURES], count = 0;
  for (int f = 0; f < GNM_FEATURES; f++)
    if (featureState(f) == 1) on[count++] = f;
  reseed();
  if (count > 0 && !electionsRun() && rndNext() % 4 != 0) {
    const int target = on[rndBelow(count)];
    // A mafia title still playing ends first, with the target it drew.
    const int id = startForeTitle("mafia_crisis");
    S.mafiaTarget = target;
    titleEndCallbackOrNow(id, endOfMafiaCrisisTitle);
    return;
  }
  payBig(termValue("mafia.value"), "mafia_payoff", "mafia_payoff");
}

// The end of a decree's title: its reward by the number passed.
void MAFIA_ACTION() {
  switch (S.ukazStep) {
    case 1: payPrize("evt:small_prize", "small_prize.value", kSmallPrize); break;
    case 2:
      gstatSample("ball:xb");
      startForeTitle("xball");
      game.ballsLeft++;
      break;
    case 3: gameChangeCpw('p', 3); break;
    case 4:
      gameSetUkazy(0, 0);
      modeEvent(MODE_PRIZES, MEVT_UKAZY_ALL, 0, nullptr);
      mafia();
      break;
    default: break;
  }
}

const Ledger kLaws = {MEVT_LAW_DUMA, MEVT_LAW_BTN, "evt:law", "law_button:action", "law_button", "law%d", 3,
                      &game.laws, &game.lawsPassed, gameSetLaws, &S.lawStep, lawTitleEnded};
const Ledger kUkazy = {MEVT_UKAZY_UKAZ, MEVT_UKAZY_BTN, "evt:ukazy", "ukazy_button:action", "ukazy_button",
                       "ukazy%d", 0, &game.ukazy, &game.ukazyPassed, gameSetUkazy, &S.ukazStep, MAFIA_ACTION};

void ledgerEvent(const Ledger& l, int event) {
  if (event == MEVT_RESET || event == MEVT_ABORT) {
    l.set(*l.passed, *l.passed);
  } else if (event == l.addEvent) {
    l.set(*l.count + 1, *l.passed);
  } else if (event == l.buttonEvent) {
    if (*l.passed >= *l.count) {
      scoreAdd(l.idleScore);
      return;
    }
    gstatSample(l.stat);
    scoreAdd(l.actionScore);
    const int before = *l.passed;
    l.set(*l.count, before + 1);
    if (before + 1 == l.savePassed) gameRaiseSaveTime(100.1);
    char title[32];
    strFormatN(title, sizeof title, l.titleFormat, before);
    // A title of an earlier one still playing ends first, with its own step.
    const int id = startForeTitle(title);
    *l.step = before + 1;
    titleEndCallbackOrNow(id, l.titleEnded);
  }
}

void modeLaws(int event, int, BoardObject*) { ledgerEvent(kLaws, event); }
void modeUkazy(int event, int, BoardObject*) { ledgerEvent(kUkazy, event); }

// ---- Duma vote (6) ----

void voteReset() { gameSetQuorum(0); }

void impeachmentEnded() {
  gameAllowSubgame(SUBGAME_DEPUTY);
  startForeTitle("subgame_avail");
}

void exportEnded() {
  const int value = gameBigscoreValue("export.value") * (game.gasPercent / 10 + 1) * game.presTerm;
  payBig(value, "export_value", "export_collect");
  gameSetGasPercent(0);
}

// The vote's title has ended: its outcome, and the ball leaves the Duma.
void voteEnded() {
  switch (S.vote) {
    case 0:
      startForeTitle("xb_lit");
      gameLightExtraBall();
      break;
    case 1: titleEndCallbackOrNow(startForeTitle("dumavote_impeach"), impeachmentEnded); break;
    case 2: titleEndCallbackOrNow(startForeTitle("dumavote_export"), exportEnded); break;
    default: logError(0, "%s: invalid gameVote %d, SE", "MODE_VOTE()", S.vote); break;
  }
  gameRequestBall(1);
  voteReset();
}

void MODE_VOTE(int event, int, BoardObject*) {
  switch (event) {
    case MEVT_BEGIN: {
      // The ball that left through the Duma waits for the vote.
      if (game.quorum < QUORUM_VOTE) {
        gameRequestBall(1);
        break;
      }
      gstatSample("evt:dumavote");
      reseed();
      int v = rndNext() % 3;
      while (v == 1 && subgameQueued(SUBGAME_DEPUTY)) v = rndNext() % 3;
      char title[32];
      strFormatN(title, sizeof title, "dumavote%d", v);
      // A vote still showing ends first, with its own outcome.
      const int id = startForeTitle(title);
      S.vote = v;
      titleEndCallbackOrNow(id, voteEnded);
      break;
    }
    case MEVT_RESET:
    case MEVT_ABORT: voteReset(); break;
    default: break;
  }
}

// ---- Tax (7) ----

void putschAfterCrisis() {
  if (missionCurrent() < 0) missionStart(MISSION_PUTSCH);
}

void modeTax(int event, int, BoardObject*) {
  switch (event) {
    case MEVT_RESET:
    case MEVT_ABORT: gameSetTax(0); break;
    case MEVT_T8: {
      const int mission = missionCurrent();
      if (game.bd != 1 || mission == MISSION_BD || mission == MISSION_ELECTIONS) break;
      if (game.tax >= 4) {
        // Taxed beyond bearing, the White House rises: its crisis, and with
        // no mission running the putsch to win it back.
        gameSetTax(0);
        const int id = gameStartCrisis(GNM_FEATURE_BD);
        if (mission < 0) titleEndCallbackOrNow(id, putschAfterCrisis);
        break;
      }
      gameSetTax(game.tax + 1);
      char value[16];
      strFormatN(value, sizeof value, "%d", game.taxMultiplier * 100);
      titleSetMacro("tax_value", value);
      startForeTitle("tax");
      break;
    }
    default: break;
  }
}

// ---- Prizes (8) ----

void modePrizes(int event, int, BoardObject*) {
  switch (event) {
    case MEVT_RESET:
    case MEVT_ABORT:
      lightSet(LI_LAW_PRIZE, LIGHT_OFF);
      lightSet(LI_UKAZY_PRIZE, LIGHT_OFF);
      break;
    case MEVT_LAW_ALL: lightSet(LI_LAW_PRIZE, LIGHT_BLINK); break;
    case MEVT_UKAZY_ALL: lightSet(LI_UKAZY_PRIZE, LIGHT_BLINK); break;
    case MEVT_T2:
      if (lightGetState(LI_LAW_PRIZE) != LIGHT_BLINK) break;
      lightSet(LI_LAW_PRIZE, LIGHT_OFF);
      payPrize("evt:law_prize", "law_prize.value", kLawPrize);
      break;
    case MEVT_T7:
      if (lightGetState(LI_UKAZY_PRIZE) != LIGHT_BLINK) break;
      lightSet(LI_UKAZY_PRIZE, LIGHT_OFF);
      payPrize("evt:ukazy_prize", "ukazy_prize.value", kUkazyPrize);
      break;
    default: break;
  }
}

// ---- Question (9) ----

void questionReset() {
  S.question = Deadline{};
  lightSet(LI_T4ARROW, LIGHT_OFF);
}

// The symbols are up or a mission runs: the yes lane belongs to them.
bool questionBlocked() { return missionSymbolsUp() || missionCurrent() >= 0; }

void modeQuestion(int event, int, BoardObject*) {
  switch (event) {
    case MEVT_QUESTION_BTN:
      if (questionBlocked()) {
        if (electionsRun()) {
          scoreAdd("question_button:pres");
          missionElectionsAddTime();
        } else {
          scoreAdd("question_button");
        }
        break;
      }
      if (lightGetState(LI_T4ARROW) > LIGHT_OFF) {
        scoreAdd("question_button");
      } else {
        lightSet(LI_T4ARROW, LIGHT_BLINK);
        scoreAdd("question_button:action");
      }
      arm(&S.question, gCfg.questionMs);
      break;
    case MEVT_T4:
      if (!S.question.set) break;
      questionReset();
      if (!questionBlocked()) missionStart(MISSION_QUESTION);
      break;
    case MEVT_UPDATE:
      if (S.question.set && (passed(S.question) || questionBlocked())) questionReset();
      break;
    case MEVT_MISSION:
      if (S.question.set) questionReset();
      break;
    case MEVT_RESET:
    case MEVT_ABORT: questionReset(); break;
    default: break;
  }
}

// ---- Opponent (10) ----

void opponentReset() {
  S.opponent = Deadline{};
  lightSet(LI_T9ARROW, LIGHT_OFF);
  lightSet(LI_T10ARROW, LIGHT_OFF);
}

void opponentEnded() {
  gameAllowSubgame(SUBGAME_BOXING);
  startForeTitle("subgame_avail");
}

void modeOpponent(int event, int, BoardObject*) {
  switch (event) {
    case MEVT_SPIRALBTN:
      if (electionsRun()) break;
      arm(&S.opponent, missionConfInt("opponent.timeout", 2) * 1000.0);
      lightSet(LI_T9ARROW, LIGHT_BLINK);
      lightSet(LI_T10ARROW, LIGHT_BLINK);
      break;
    case MEVT_T9:
    case MEVT_T10: {
      const int lamp = event == MEVT_T9 ? LI_T9ARROW : LI_T10ARROW;
      if (lightGetState(lamp) == LIGHT_BLINK) lightSet(lamp, LIGHT_ON);
      if (lightGetState(LI_T9ARROW) == LIGHT_ON && lightGetState(LI_T10ARROW) == LIGHT_ON) {
        opponentReset();
        titleEndCallbackOrNow(startForeTitle("opponent"), opponentEnded);
      }
      break;
    }
    case MEVT_UPDATE:
      if (S.opponent.set && (electionsRun() || passed(S.opponent))) opponentReset();
      break;
    case MEVT_RESET:
    case MEVT_ABORT: opponentReset(); break;
    default: break;
  }
}

// ---- Steal (3) ----

// A ball goes through the left tube: it leaves the playfield here and comes
// out of the tube.
void takeBall(BoardObject* ball) {
  if (ball && ball->id >= 0 && ball->kind == BK_BALL) ball->kill = 1;
}

// The steal is over: the arrow goes off, the magnet closes when it caught
// nothing (one still opening keeps its leave to catch) and the zone buttons
// can be made again. A prisoner stays until the lane takes it or a drain
// sets it free.
void stealStop() {
  lightSet(LI_T3ARROW, LIGHT_OFF);
  S.steal = Deadline{};
  const int zona = gameZonaState();
  if (zona == GAME_ZONA_MAGNET) gameZonaControl(GAME_ZONA_CLOSE);
  if (zona != GAME_ZONA_OPENING) game.zonaCapture = 0;
  gameZonaButtonsRelease();
}

void stealTitleEnded() {
  if (S.prisoner) {
    startForeTitle("prison");
    if (gameZonaState() == GAME_ZONA_PRISONER) gameZonaControl(GAME_ZONA_RELEASE);
  } else {
    startForeTitle("pipes_t3");
    gameTubeLaunch(0);
  }
}

void modeSteal(int event, int, BoardObject* object) {
  switch (event) {
    case MEVT_ZONA_BUTTONS:
      // With the zone on, the magnet opens to catch a prisoner.
      if (game.zona == 1) {
        if (gameZonaState() != GAME_ZONA_CLOSED) {
          // Still busy with the last one: the buttons are to be made again.
          gameZonaButtonsRelease();
          break;
        }
        gameZonaControl(GAME_ZONA_OPEN);
        game.zonaCapture = 1;
      }
      arm(&S.steal, gCfg.stealMs);
      lightSet(LI_T3ARROW, LIGHT_BLINK);
      break;
    case MEVT_ZONA_AMNESTY:
      if (gameZonaState() != GAME_ZONA_PRISONER) break;
      lightSet(LI_AMNESTY, LIGHT_BLINK);
      gameZonaControl(GAME_ZONA_RELEASE);
      startForeTitle("amnesty");
      break;
    case MEVT_T3: {
      const bool prisoner = gameZonaState() == GAME_ZONA_PRISONER;
      if (!prisoner && !running(S.steal)) {
        startForeTitle("pipes_t3");
        takeBall(object);
        gameTubeLaunch(0);
        break;
      }
      stealStop();
      // Without a prisoner the stealing ball itself goes through the tube
      // when the title ends.
      if (!prisoner) takeBall(object);
      const int id = payBig(termValue("steal.value"), "steal_value", "steal");
      S.prisoner = prisoner;
      titleEndCallbackOrNow(id, stealTitleEnded);
      break;
    }
    case MEVT_UPDATE:
      if (passed(S.steal)) stealStop();
      break;
    case MEVT_RESET:
    case MEVT_ABORT: stealStop(); break;
    default: break;
  }
}

// The modes by number; mode 0 calls them in this order.
constexpr ModeHandler kModes[MODE_COUNT] = {
    nullptr,  // MODE_ALL: all of the below
    modeMsel,  // MODE_MSEL: with the mission symbols (msym.cpp)
    nullptr,  // MODE_NONE
    modeSteal, modeLaws, modeUkazy, MODE_VOTE, modeTax, modePrizes, modeQuestion, modeOpponent,
};

}  // namespace

int modeEvent(int mode, int event, int a, BoardObject* object) {
  if (gTap) gTap(mode, event, a, object);
  if (mode == MODE_ALL) {
    for (int m = MODE_MSEL; m < MODE_COUNT; m++)
      if (kModes[m]) kModes[m](event, a, object);
  } else if (mode > MODE_ALL && mode < MODE_COUNT && kModes[mode]) {
    kModes[mode](event, a, object);
  }
  return 0;
}

void modeSetTap(ModeTap tap) { gTap = tap; }

int setupModes(int writeBinary) {
  const char* fn = "setupModes()";
  conf_free(&gConf);
  const bool read = conf_anyread(&gConf, fn, "conf/modes.conf", "conf/modes.bcf", writeBinary) >= 0;
  gCfg.questionMs = confMs("question.timeout", 10);
  gCfg.stealMs = confMs("steal.timeout", 10);
  modeEvent(MODE_ALL, MEVT_RESET, 0, nullptr);
  return read ? 1 : 0;
}

void modeReset() { S = ModeState{}; }

void modeFree() {
  conf_free(&gConf);
  gCfg = ModesConfig{};
  S = ModeState{};
}

