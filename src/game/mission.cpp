#include "game/mission.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "anim/lights.h"
#include "anim/title.h"
#include "core/calls.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/random.h"
#include "core/text.h"
#include "core/time.h"
#include "game/game.h"
#include "game/mode.h"
#include "game/score.h"
#include "game/stats.h"
#include "game/trigger.h"

namespace {

using Handler = void (*)(int event, int a, int b);

// The mission configuration ("conf/mission.conf") and the questions.
ConfSet gConf{};
bool gConfRead = false;

struct Question {
  int regime;
  char text[MISSION_QUESTION_TEXT];
  int cpw;  // 'c', 'p' or 'w'
  int yes;
};
Question gQuestions[MISSION_QUESTIONS];
int gQuestionCount = 0;

int confInt(const char* key, int def) { return gConfRead ? conf_getint(&gConf, key, def) : def; }

// The state of the missions; one runs at a time.
struct MissionState {
  int resume = -1;  // the mission a blessing interrupted
  bool begun = false;  // the begin title ended: the goal counts
  int hits = 0;        // Duma: hits still to make; "bd": progress
  // Zone.
  double stepMs = 100, lastStep = 0;
  int increase = 1, target = 0, lit = 0, index = 0;
  // Question.
  int question = -1, change = 0;
  bool answered = false;
  // Riot and putsch.
  double deadline = 0;
};
MissionState M;

void arrows(std::initializer_list<int> lamps, int state) {
  for (int l : lamps) lightSet(l, state);
}

// Windows-1251 "ФРАКЦИЯ!", "ФРАКЦИИ", "ФРАКЦИЙ".
const char* factionWord(int n) {
  if (n == 1) return "\xD4\xD0\xC0\xCA\xD6\xC8\xDF!";
  if (n >= 2 && n <= 4) return "\xD4\xD0\xC0\xCA\xD6\xC8\xC8";
  return "\xD4\xD0\xC0\xCA\xD6\xC8\xC9";
}

// At the end of the begin title of missions 0..3: a full blessing count
// starts the blessing in the mission's place. 1 when it did.
bool blessingCheck() {
  if (game.amen < 5) return false;
  M.resume = game.mission;
  missionStart(MISSION_BLESSING);
  return true;
}

// ---- Duma (0) ----

void dumaBegun() {
  if (blessingCheck()) return;
  M.begun = true;
  M.hits = confInt("duma.bumper_count", 10);
  arrows({LI_T1ARROW, LI_T7ARROW}, LIGHT_BLINK);
}

void missionDuma(int event, int, int) {
  switch (event) {
    case MEVT_BEGIN:
      gstatSample("msn:duma_begin");
      M.begun = false;
      titleEndCallbackOrNow(startForeTitle("duma_begin"), dumaBegun);
      break;
    case MEVT_DUMA_BUMPER:
      if (!M.begun || M.hits <= 0) break;
      if (--M.hits == 0) {
        missionComplete();
        break;
      }
      {
        char text[64];
        strFormatN(text, sizeof text, "%d\\n%s", M.hits, factionWord(M.hits));
        titleSetMacro("duma_hits", text);
        startForeTitle("duma_progress");
      }
      break;
    case MEVT_COMPLETE:
      gstatSample("msn:duma_complete");
      gameSetDuma(1);
      startForeTitle("duma_on");
      M.hits = 0;
      arrows({LI_T1ARROW, LI_T7ARROW}, LIGHT_OFF);
      break;
    case MEVT_RESET:
    case MEVT_ABORT:
      arrows({LI_T1ARROW, LI_T7ARROW}, LIGHT_OFF);
      break;
  }
}

// ---- Zone (1) ----

void zonaLamps() {
  for (int i = 0; i < 16; i++) lightSet(LI_ZONA_L0 + i, LIGHT_OFF);
  for (int i = 0; i < M.lit; i++) lightSet(LI_ZONA_L0 + (M.index - i + 16) % 16, LIGHT_ON);
}

void zonaBegun() {
  if (blessingCheck()) return;
  M.begun = true;
  M.stepMs = confInt("zona.delay", 100);
  M.increase = std::max(1, confInt("zona.increase", 1));
  M.target = M.increase;
  M.lit = 0;
  M.index = 0;
  M.lastStep = tmTime;
  lightSet(LI_T4ARROW, LIGHT_BLINK);
}

void missionZona(int event, int, int) {
  switch (event) {
    case MEVT_BEGIN:
      gstatSample("msn:zona_begin");
      M.begun = false;
      titleEndCallbackOrNow(startForeTitle("zona_begin"), zonaBegun);
      break;
    case MEVT_ZONA_INCREASE:
      if (!M.begun) break;
      M.target = std::min(16, M.target + M.increase);
      if (M.target < 16) {
        char title[32];
        strFormatN(title, sizeof title, "zona_progress%d", M.target / M.increase - 2);
        startForeTitle(title);
      }
      break;
    case MEVT_UPDATE:
      if (!M.begun || tmTime - M.lastStep < M.stepMs) break;
      M.lastStep = tmTime;
      M.index = (M.index + 1) % 16;
      if (M.lit < M.target) M.lit++;
      zonaLamps();
      if (M.lit >= 16) missionComplete();
      break;
    case MEVT_COMPLETE:
      gstatSample("msn:zona_complete");
      gameSetZona(1);
      startForeTitle("zona_on");
      lightSet(LI_T4ARROW, LIGHT_OFF);
      for (int i = 0; i < 16; i++) lightSet(LI_ZONA_L0 + i, M.lit >= 16 ? LIGHT_BLINK : LIGHT_OFF);
      M.begun = false;
      break;
    case MEVT_RESET:
    case MEVT_ABORT:
      lightSet(LI_T4ARROW, LIGHT_OFF);
      for (int i = 0; i < 16; i++) lightSet(LI_ZONA_L0 + i, LIGHT_OFF);
      M.begun = false;
      break;
  }
}

// ---- Gas company (2) ----

void gpBegun() {
  if (blessingCheck()) return;
  M.begun = true;
  gameSetSpiral(1);
  lightSet(LI_T6ARROW, LIGHT_BLINK);
}

void missionGp(int event, int, int) {
  switch (event) {
    case MEVT_BEGIN:
      gstatSample("msn:gp_begin");
      M.begun = false;
      titleEndCallbackOrNow(startForeTitle("gp_begin"), gpBegun);
      break;
    case MEVT_GP_DRAIN:
      lightSet(LI_T6ARROW, LIGHT_BLINK);
      logPrint("MEVT_GP_DRAIN");
      break;
    case MEVT_GP_COMPLETE:
      missionComplete();
      break;
    case MEVT_T22:
      if (lightGetState(LI_T6ARROW) != LIGHT_BLINK) lightSet(LI_T6ARROW, LIGHT_OFF);
      break;
    case MEVT_COMPLETE:
      gstatSample("msn:gp_complete");
      gameSetGp(1);
      startForeTitle("gp_on");
      lightSet(LI_T6ARROW, LIGHT_OFF);
      break;
    case MEVT_RESET:
    case MEVT_ABORT:
      lightSet(LI_T6ARROW, LIGHT_OFF);
      break;
  }
}

// ---- "bd" (3) ----

void bdBegun() {
  if (blessingCheck()) return;
  M.begun = true;
  lightSet(LI_T8ARROW, LIGHT_BLINK);
}

void missionBd(int event, int, int) {
  switch (event) {
    case MEVT_BEGIN:
      gstatSample("msn:bd_begin");
      M.hits = 0;
      M.begun = false;
      titleEndCallbackOrNow(startForeTitle("bd_begin"), bdBegun);
      break;
    case MEVT_T8:
      if (!M.begun) break;
      if (M.hits <= 1) {
        char title[32];
        strFormatN(title, sizeof title, "bd_progress%d", M.hits);
        startForeTitle(title);
        M.hits++;
      } else if (M.hits == 2) {
        M.hits++;
        gameSetBd(1);
        titleEndCallbackOrNow(startForeTitle("bd_on"), [] {
          if (game.mission == MISSION_BD) missionComplete();
        });
      }
      break;
    case MEVT_COMPLETE:
      gstatSample("msn:bd_complete");
      lightSet(LI_T8ARROW, LIGHT_OFF);
      break;
    case MEVT_RESET:
    case MEVT_ABORT:
      lightSet(LI_T8ARROW, LIGHT_OFF);
      break;
  }
}

// ---- Question (4) ----

// Windows-1251 "харизма", "власть", "богатство".
const char* cpwWord(int kind) {
  if (kind == 'c') return "\xF5\xE0\xF0\xE8\xE7\xEC\xE0";
  if (kind == 'p') return "\xE2\xEB\xE0\xF1\xF2\xFC";
  return "\xE1\xEE\xE3\xE0\xF2\xF1\xF2\xE2\xEE";
}

// A random question of the current regime: drawn until its regime matches
// (none: -1).
int drawQuestion() {
  bool any = false;
  for (int i = 0; i < gQuestionCount; i++) any = any || gQuestions[i].regime == game.regime;
  if (!any) return -1;
  for (;;) {
    const int q = rndBelow(gQuestionCount);
    if (gQuestions[q].regime == game.regime) return q;
  }
}

void questionBegun() {
  M.question = drawQuestion();
  if (M.question < 0) {
    logError(0, "%s: no question for regime %d", "MISSION_QUESTION()", game.regime);
    missionComplete();
    return;
  }
  const Question& q = gQuestions[M.question];
  char page[MISSION_QUESTION_TEXT], value[16];
  titleSetMacro("question_text", q.text);
  titleSetMacro("question_text1", titleLines(q.text, 0, 2, page, sizeof page));
  titleSetMacro("question_text2", titleLines(q.text, 2, 2, page, sizeof page));
  titleSetMacro("question_cpw", cpwWord(q.cpw));
  strFormatN(value, sizeof value, "%d", std::abs(q.yes));
  titleSetMacro("question_value", value);
  startBackTitle(q.yes >= 0 ? "question_plus" : "question_minus");
  arrows({LI_T4ARROW, LI_T5ARROW, LI_QUESTION}, LIGHT_BLINK);
  M.answered = false;
  M.begun = true;
}

void questionAnswered() {
  if (M.question < 0) return;
  gameChangeCpw(gQuestions[M.question].cpw, M.change);
  if (game.mission == MISSION_QUESTION) missionComplete();
}

void missionQuestion(int event, int, int) {
  switch (event) {
    case MEVT_BEGIN:
      gstatSample("msn:q_begin");
      M.begun = false;
      titleEndCallbackOrNow(startForeTitle("question_begin"), questionBegun);
      break;
    case MEVT_T4:
    case MEVT_T5:
      if (!M.begun || M.answered || M.question < 0) break;
      M.answered = true;
      M.change = event == MEVT_T4 ? gQuestions[M.question].yes : -gQuestions[M.question].yes;
      arrows({LI_T4ARROW, LI_T5ARROW, LI_QUESTION}, LIGHT_OFF);
      titleEndCallbackOrNow(startForeTitle(event == MEVT_T4 ? "answer_yes" : "answer_no"), questionAnswered);
      break;
    case MEVT_COMPLETE:
      gstatSample("msn:q_complete");
      [[fallthrough]];
    case MEVT_RESET:
    case MEVT_ABORT:
      titleEndBack(titlePlaying(TITLE_BACK));
      arrows({LI_T4ARROW, LI_T5ARROW, LI_QUESTION}, LIGHT_OFF);
      M.begun = false;
      break;
  }
}

// ---- Blessing (6) ----

void missionBlessing(int event, int, int) {
  switch (event) {
    case MEVT_BEGIN:
      M.begun = false;
      titleEndCallbackOrNow(startForeTitle("bless_begin"), [] {
        M.begun = true;
        lightSet(LI_T4ARROW, LIGHT_BLINK);
      });
      break;
    case MEVT_T4:
      if (M.begun && lightGetState(LI_T4ARROW) == LIGHT_BLINK) missionComplete();
      break;
    case MEVT_COMPLETE:
    case MEVT_RESET:
    case MEVT_ABORT:
      lightSet(LI_T4ARROW, LIGHT_OFF);
      if (event == MEVT_COMPLETE) gameSetAmen(0);
      break;
  }
}

// ---- Riot (8) and putsch (9) ----

struct Crisis {
  const char* beginStat;
  const char* beginTitle;
  const char* key;  // "riot" or "putch"
  int lamps[3];
  int events[3];
  const char* successTitle;
  int cpw;
};
constexpr Crisis kRiot = {"msn:zona_crisis", "riot_begin", "riot", {LI_T1ARROW, LI_T2ARROW, LI_T4ARROW},
                          {MEVT_T1, MEVT_T2, MEVT_T4}, "riot_success", 'p'};
constexpr Crisis kPutsch = {"msn:bd_crisis", "putch_begin", "putch", {LI_T5ARROW, LI_T7ARROW, LI_T8ARROW},
                            {MEVT_T5, MEVT_T7, MEVT_T8}, "putch_success", 'w'};

bool crisisArrowsLit(const Crisis& c) {
  for (int l : c.lamps)
    if (lightGetState(l) > LIGHT_OFF) return true;
  return false;
}

// All three arrows hit: the success titles, then the mission completes.
void crisisSucceeded() {
  const int mission = game.mission;
  if (mission != MISSION_RIOT && mission != MISSION_PUTSCH) return;
  const Crisis& c = mission == MISSION_RIOT ? kRiot : kPutsch;
  titleSetMacro("cpw_name", c.cpw == 'p' ? "\xC2\xCB\xC0\xD1\xD2\xDC" : "\xC1\xCE\xC3\xC0\xD2\xD1\xD2\xC2\xCE");
  titleSetMacro("cpw_value", "5");
  titleEndCallbackOrNow(startForeTitle("cpw_inc"), [] {
    if (game.mission == MISSION_RIOT || game.mission == MISSION_PUTSCH) missionComplete();
  });
}

void crisisEvent(const Crisis& c, int event) {
  char key[32];
  switch (event) {
    case MEVT_BEGIN:
      gstatSample(c.beginStat);
      M.begun = false;
      titleEndCallbackOrNow(startForeTitle(c.beginTitle), [] {
        const Crisis& k = game.mission == MISSION_RIOT ? kRiot : kPutsch;
        char timeout[32];
        strFormatN(timeout, sizeof timeout, "%s.timeout", k.key);
        M.deadline = tmTime + confInt(timeout, 3) * 1000.0;
        for (int l : k.lamps) lightSet(l, LIGHT_BLINK);
        M.begun = true;
      });
      break;
    case MEVT_UPDATE:
      if (M.begun && tmTime >= M.deadline) missionComplete();
      break;
    default:
      for (int i = 0; i < 3; i++) {
        if (event != c.events[i] || !M.begun || lightGetState(c.lamps[i]) != LIGHT_BLINK) continue;
        lightSet(c.lamps[i], LIGHT_OFF);
        strFormatN(key, sizeof key, "%s.hit_value", c.key);
        gameBigScore(gameBigscoreValue(key) * game.presTerm);
        if (!crisisArrowsLit(c)) {
          M.begun = false;
          titleEndCallbackOrNow(startForeTitle(c.successTitle), crisisSucceeded);
        }
      }
      break;
  }
}

void missionRiot(int event, int, int) {
  switch (event) {
    case MEVT_COMPLETE:
      if (crisisArrowsLit(kRiot)) {
        // The time ran out: the zone stays in crisis until it ends.
        for (int l : kRiot.lamps) lightSet(l, LIGHT_OFF);
        break;
      }
      gstatSample("msn:zona_crisis_success");
      gameSetZona(1);
      gameSetPower(game.power + 5);
      break;
    case MEVT_RESET:
    case MEVT_ABORT:
      gameSetZona(0);
      for (int l : kRiot.lamps) lightSet(l, LIGHT_OFF);
      break;
    default:
      crisisEvent(kRiot, event);
  }
}

void missionPutsch(int event, int, int) {
  switch (event) {
    case MEVT_COMPLETE:
      startForeTitle("putch_complete");
      if (crisisArrowsLit(kPutsch)) {
        gameSetBd(0);
        for (int l : kPutsch.lamps) lightSet(l, LIGHT_OFF);
      } else {
        gstatSample("msn:bd_crisis_success");
        gameSetBd(1);
        gameSetWealth(game.wealth + 5);
      }
      break;
    case MEVT_RESET:
    case MEVT_ABORT:
      for (int l : kPutsch.lamps) lightSet(l, LIGHT_OFF);
      break;
    default:
      crisisEvent(kPutsch, event);
  }
}

// Missions by number; the elections (5) come with their own rules, 7 is no
// mission.
constexpr Handler kHandlers[MISSION_COUNT] = {missionDuma,     missionZona, missionGp, missionBd,    missionQuestion,
                                              nullptr,         missionBlessing, nullptr, missionRiot, missionPutsch};

Handler handlerOf(int mission) {
  return mission >= 0 && mission < MISSION_COUNT ? kHandlers[mission] : nullptr;
}

}  // namespace

void missionStart(int mission) {
  rulesCallNote("missionStart %d", mission);
  if (mission == MISSION_ELECTIONS) return;  // the elections come with their own rules
  Handler h = handlerOf(mission);
  if (!h) {
    game.mission = -1;
    return;
  }
  game.mission = mission;
  modeEvent(0, MEVT_MISSION, 0, nullptr);
  MUSIC_TRIGGER(TR_MISSION_BEGIN);
  h(MEVT_BEGIN, 0, 0);
}

void missionComplete() {
  const int mission = game.mission;
  Handler h = handlerOf(mission);
  if (!h) return;
  h(MEVT_COMPLETE, 0, 0);
  MUSIC_TRIGGER(TR_MISSION_COMPLETE);
  game.mission = -1;
  // A blessing in place of a mission completes that mission too.
  if (mission == MISSION_BLESSING && M.resume >= 0) {
    game.mission = M.resume;
    M.resume = -1;
    missionComplete();
    return;
  }
  modeEvent(1, MEVT_BEGIN, 0, nullptr);
}

void missionAbort() {
  rulesCallNote("missionAbort");
  Handler h = handlerOf(game.mission);
  if (h) h(MEVT_ABORT, 0, 0);
  if (game.mission >= 0) MUSIC_TRIGGER(TR_MISSION_ABORT);
  game.mission = -1;
  M.resume = -1;
}

void missionEvent(int event, int a, int b) {
  Handler h = handlerOf(game.mission);
  if (!h) return;
  if (event != MEVT_UPDATE) rulesCallNote("missionEvent %d %d %d", event, a, b);
  h(event, a, b);
}

int missionCurrent() { return game.mission; }

// The mission points' entries come with the mission symbols; until then no
// point is armed.
int missionPointReady(int place) {
  rulesCallNote("missionPointReady %d", place);
  return 0;
}

void missionPointSelect(int place) { rulesCallNote("missionPointSelect %d", place); }

void missionSymbolsStep() {}

int setupMissionQuestion(int writeBinary) {
  const char* fn = "setupMissionQuestion()";
  ConfSet set{};
  gQuestionCount = 0;
  if (conf_anyread(&set, fn, "conf/question.conf", "conf/question.bcf", writeBinary) < 0) {
    conf_free(&set);
    return 0;
  }
  for (int q = 0; q < MISSION_QUESTIONS; q++) {
    char key[32];
    strFormatN(key, sizeof key, "q%d.regime", q);
    const char* regime = conf_getstr(&set, key, "");
    const int r = std::strcmp(regime, "comm") == 0   ? 0
                  : std::strcmp(regime, "demo") == 0 ? 1
                  : std::strcmp(regime, "dict") == 0 ? 2
                                                     : -1;
    strFormatN(key, sizeof key, "q%d.text", q);
    const char* text = conf_getstr(&set, key, nullptr);
    strFormatN(key, sizeof key, "q%d.cpw", q);
    const char* cpw = conf_getstr(&set, key, "");
    const int kind = std::strcmp(cpw, "c") == 0 ? 'c' : std::strcmp(cpw, "p") == 0 ? 'p'
                     : std::strcmp(cpw, "w") == 0                                  ? 'w'
                                                                                   : 0;
    if (r < 0 || !text || !kind) break;
    Question& out = gQuestions[gQuestionCount++];
    out.regime = r;
    strCopyN(out.text, text, sizeof out.text);
    out.cpw = kind;
    strFormatN(key, sizeof key, "q%d.yes", q);
    out.yes = conf_getint(&set, key, 0);
    logDebug(4, "question: i-%d regime-%d text-'%s' cpw-%d yes-%d", q, r, out.text, kind, out.yes);
  }
  conf_free(&set);
  return 1;
}

int gameSetupMissions(int writeBinary) {
  conf_free(&gConf);
  gConfRead = conf_anyread(&gConf, "gameSetupMissions()", "conf/mission.conf", "conf/mission.bcf", writeBinary) >= 0;
  if (!gConfRead) return 0;
  gameSetCrisisTimeout(conf_getint(&gConf, "crisis.timeout", 2));
  if (!setupMissionQuestion(writeBinary))
    return logError(0, "%s: error setting up 'question' mission", "gameSetupMissions()");
  return 1;
}

void missionReset() {
  M = MissionState{};
  game.mission = -1;
}

void missionFree() {
  conf_free(&gConf);
  gConfRead = false;
  gQuestionCount = 0;
  M = MissionState{};
}

int missionQuestionCount() { return gQuestionCount; }

int missionConfInt(const char* key, int def) { return confInt(key, def); }
