// The presidential elections (mission 5). They begin with the six election
// lanes blinking; the first lane hit opens the vote: a countdown, a quorum of
// votes, and the three candidates (0 comm, 1 demo, 2 dict) each on a lane of
// their own. A hit on a candidate's lane is a vote for it, and the candidate
// moves on. When the time is up the elections are void without the quorum
// (every feature that is on falls into crisis) or elect a regime.
#include <cmath>

#include "anim/gnm.h"
#include "anim/lights.h"
#include "anim/title.h"
#include "core/log.h"
#include "core/random.h"
#include "core/text.h"
#include "core/time.h"
#include "game/game.h"
#include "game/mission.h"
#include "game/mode.h"
#include "game/score.h"
#include "game/trigger.h"

namespace {

enum { LANES = 6, CANDIDATES = 3 };

// The election lanes T1, T2, T4, T5, T7, T8: their hit events, their plain
// arrows and each candidate's arrow on them.
constexpr int kLaneEvent[LANES] = {MEVT_T1, MEVT_T2, MEVT_T4, MEVT_T5, MEVT_T7, MEVT_T8};
constexpr int kLaneArrow[LANES] = {LI_T1ARROW, LI_T2ARROW, LI_T4ARROW, LI_T5ARROW, LI_T7ARROW, LI_T8ARROW};
constexpr int kCandidateArrow[CANDIDATES][LANES] = {
    {LI_T1ARROW_COMM, LI_T2ARROW_COMM, LI_T4ARROW_COMM, LI_T5ARROW_COMM, LI_T7ARROW_COMM, LI_T8ARROW_COMM},
    {LI_T1ARROW_DEMO, LI_T2ARROW_DEMO, LI_T4ARROW_DEMO, LI_T5ARROW_DEMO, LI_T7ARROW_DEMO, LI_T8ARROW_DEMO},
    {LI_T1ARROW_DICT, LI_T2ARROW_DICT, LI_T4ARROW_DICT, LI_T5ARROW_DICT, LI_T7ARROW_DICT, LI_T8ARROW_DICT},
};

// Windows-1251 player texts: the regime the country chose ("КОММУНИЗМ",
// "ДЕМОКРАТИЮ", "ДИКТАТУРУ") and the quorum's caption ("МИНИМУМ ГОЛОСОВ:").
constexpr const char* kRegimeChosen[CANDIDATES] = {
    "\xCA\xCE\xCC\xCC\xD3\xCD\xC8\xC7\xCC",
    "\xC4\xC5\xCC\xCE\xCA\xD0\xC0\xD2\xC8\xDE",
    "\xC4\xC8\xCA\xD2\xC0\xD2\xD3\xD0\xD3",
};
constexpr const char* kQuorumText = "\xCC\xC8\xCD\xC8\xCC\xD3\xCC \xC3\xCE\xCB\xCE\xD1\xCE\xC2:";
// The winner's flag, top to bottom.
constexpr const char* kFlagColors[CANDIDATES][3] = {
    {"red", "red", "red"}, {"white", "blue", "red"}, {"dred", "dred", "dred"}};

struct Elections {
  bool voting;            // the first lane hit opened the vote
  double deadline;        // game time (ms) the vote closes
  int quorum;             // votes still needed
  int voteValue;          // big score per vote
  int votes[CANDIDATES];
  int lane[CANDIDATES];   // each candidate's lane, -1 before the vote
  int lastVoted;          // -1: no vote yet
  int winner;             // the regime elected, for the end of its title
  int crisis[4];          // the features that fall into crisis after void elections
  int crisisCount, crisisNext;
};
Elections E{};

int laneOfEvent(int event) {
  for (int i = 0; i < LANES; i++)
    if (kLaneEvent[i] == event) return i;
  return -1;
}

int candidateOnLane(int lane) {
  for (int c = 0; c < CANDIDATES; c++)
    if (E.lane[c] == lane) return c;
  return -1;
}

// The candidate goes to a random lane that no other candidate holds; its own
// lane is one of them, so it may stay.
void placeCandidate(int c) {
  int free[LANES], count = 0;
  for (int i = 0; i < LANES; i++) {
    const int holder = candidateOnLane(i);
    if (holder < 0 || holder == c) free[count++] = i;
  }
  if (E.lane[c] >= 0) lightSet(kCandidateArrow[c][E.lane[c]], LIGHT_OFF);
  E.lane[c] = free[rndBelow(count)];
  lightSet(kCandidateArrow[c][E.lane[c]], LIGHT_BLINK);
}

// The time left as "minutes:seconds", whole seconds rounded up (the display
// reads 0:00 only when the vote closes), and the votes still needed.
void showProgress() {
  const double left = E.deadline - tmTime;
  const int seconds = left > 0 ? static_cast<int>(std::ceil(left / 1000)) : 0;
  char text[32];
  strFormatN(text, sizeof text, "%d:%02d", seconds / 60, seconds % 60);
  titleSetMacro("pres_time", text);
  if (E.quorum >= 1) {
    strFormatN(text, sizeof text, "%d", E.quorum);
    titleSetMacro("pres_quorum_text", kQuorumText);
    titleSetMacro("pres_quorum", text);
  } else {
    titleSetMacro("pres_quorum_text", "");
    titleSetMacro("pres_quorum", "");
  }
}

void openVote() {
  titleEndBack(titleFind("pres_begin"));
  E.voting = true;
  E.deadline = tmTime + missionConfInt("pres.timeout", 3) * 1000.0;
  E.quorum = missionConfInt("pres.quorum", 1) + game.presQuorumSteps;
  E.voteValue = gameBigscoreValue("pres.vote_value");
  MUSIC_TRIGGER(TR_PRES_VOTE);
  startBackTitle("pres_progress");
  lightSet(LI_VYBORY, LIGHT_ON);
  for (int l : kLaneArrow) lightSet(l, LIGHT_OFF);
  for (int c = 0; c < CANDIDATES; c++) placeCandidate(c);
  showProgress();
}

// The vote's big score follows its title, so that the title is seen; it is
// paid also when another title replaces the vote's.
void payVote() { gameBigScore(E.voteValue); }

void vote(int c) {
  E.votes[c]++;
  E.lastVoted = c;
  char text[32];
  strFormatN(text, sizeof text, "%d", E.votes[c]);
  titleSetMacro("pres_votes", text);
  strFormatN(text, sizeof text, "vote_%s", gameRegimeName(c));
  titleEndCallbackOrNow(startForeTitle(text), payVote);
  if (E.quorum > 0) E.quorum--;
  placeCandidate(c);
  showProgress();
}

// Void elections: the features that were on fall into crisis one after
// another, each when the previous one's title has ended.
void nextCrisis() {
  if (E.crisisNext >= E.crisisCount) return;
  gameStartCrisis(E.crisis[E.crisisNext++]);
  titleEndCallbackOrNow(titleFind("crisis"), nextCrisis);
}

// The end of the winner's title: a re-elected regime serves one term more
// (three at most), another one takes over for its first term.
void elected() {
  if (E.winner == game.regime) {
    gameSetPresTerm(game.presTerm + 1);
    MUSIC_TRIGGER(TR_PRES_END);
  } else {
    gameSetPresTerm(1);
    gameSwitchRegime(E.winner);
  }
}

// Dict wins with at least as many votes as each other candidate, else demo
// with at least as many as comm, else comm.
int winnerOf(const int votes[CANDIDATES]) {
  if (votes[REGIME_DICT] >= votes[REGIME_COMM] && votes[REGIME_DICT] >= votes[REGIME_DEMO]) return REGIME_DICT;
  if (votes[REGIME_DEMO] >= votes[REGIME_COMM]) return REGIME_DEMO;
  return REGIME_COMM;
}

// Lamps off, the elections' background title ended, the ball-save time back
// to 5 s and the subgames that waited before the elections queued again.
void endElections() {
  lightSet(LI_VYBORY, LIGHT_OFF);
  for (int i = 0; i < LANES; i++) {
    lightSet(kLaneArrow[i], LIGHT_OFF);
    for (int c = 0; c < CANDIDATES; c++) lightSet(kCandidateArrow[c][i], LIGHT_OFF);
  }
  titleEndBack(titlePlaying(TITLE_BACK));
  gameSetSaveTime(5);
  gameRestoreSubgames();
  E.voting = false;
}

void complete() {
  const bool quorumLeft = E.quorum >= 1;
  endElections();
  if (quorumLeft) {
    gameSetPresTerm(1);
    MUSIC_TRIGGER(TR_PRES_END);
    const int state[4] = {game.duma, game.zona, game.bd, game.gp};
    E.crisisCount = E.crisisNext = 0;
    for (int f = 0; f < GNM_FEATURES; f++)
      if (state[f] == 1) E.crisis[E.crisisCount++] = f;
    titleEndCallbackOrNow(startForeTitle("pres_incomplete"), nextCrisis);
    return;
  }
  if (E.lastVoted >= 0) E.votes[E.lastVoted]++;
  E.winner = winnerOf(E.votes);
  titleSetMacro("pres_complete_regime", kRegimeChosen[E.winner]);
  titleSetMacro("pres_complete_color1", kFlagColors[E.winner][0]);
  titleSetMacro("pres_complete_color2", kFlagColors[E.winner][1]);
  titleSetMacro("pres_complete_color3", kFlagColors[E.winner][2]);
  game.presQuorumSteps += missionConfInt("pres.quorum_step", 1);
  titleEndCallbackOrNow(startForeTitle("pres_complete"), elected);
}

void begin() {
  E = Elections{};
  E.lastVoted = -1;
  E.winner = -1;
  for (int& l : E.lane) l = -1;
  modeEvent(MODE_ALL, MEVT_ABORT, 0, nullptr);
  all_triggers(TR_PRES_BEGIN);
  gameSaveSubgames();
  gameSetSaveTime(110.1);
  lightSet(LI_VYBORY, LIGHT_BLINK);
  for (int l : kLaneArrow) lightSet(l, LIGHT_BLINK);
  startBackTitle("pres_begin");
}

}  // namespace

void missionElections(int event, int, int) {
  switch (event) {
    case MEVT_BEGIN:
      begin();
      break;
    case MEVT_UPDATE:
      if (!E.voting) break;
      showProgress();
      if (tmTime >= E.deadline) missionComplete();
      break;
    case MEVT_COMPLETE:
      complete();
      break;
    case MEVT_RESET:
    case MEVT_ABORT:
      endElections();
      break;
    default: {
      const int lane = laneOfEvent(event);
      if (lane < 0) break;
      if (!E.voting) {
        openVote();
        break;
      }
      const int c = candidateOnLane(lane);
      if (c >= 0) vote(c);
      break;
    }
  }
}

void missionElectionsAddTime() {
  if (game.mission != MISSION_ELECTIONS || !E.voting) return;
  E.deadline += missionConfInt("pres.timeadd", 3) * 1000.0;
}
