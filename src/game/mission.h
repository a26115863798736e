#pragma once
// Missions: at most one runs at a time (game.mission); table objects and the
// session send it mission events.

// Mission events: the code the table objects, the session and the rules send
// to the running mission and to the modes.
enum MissionEvent {
  MEVT_BEGIN, MEVT_COMPLETE, MEVT_NEWBALL, MEVT_TUNNEL, MEVT_UPDATE, MEVT_RESET, MEVT_ABORT,
  MEVT_MISSION, MEVT_MSEL_BTN, MEVT_QUESTION_BTN, MEVT_DUMA_BUMPER, MEVT_ZONA_INCREASE, MEVT_GP_DRAIN,
  MEVT_GP_COMPLETE, MEVT_SPIRALBTN, MEVT_ZONA_BUTTONS, MEVT_ZONA_AMNESTY, MEVT_LAW_DUMA, MEVT_LAW_BTN,
  MEVT_LAW_ALL, MEVT_UKAZY_UKAZ, MEVT_UKAZY_BTN, MEVT_UKAZY_ALL, MEVT_PRES_BEGIN, MEVT_T1, MEVT_T2,
  MEVT_T3, MEVT_T4, MEVT_T5, MEVT_T7, MEVT_T8, MEVT_T9, MEVT_T10, MEVT_T22, MEVT_LAST
};
static_assert(MEVT_GP_DRAIN == 12 && MEVT_PRES_BEGIN == 23 && MEVT_LAST == 34, "mission event codes");

// Missions by number: the five that the symbols choose (a symbol's kind is
// its mission's number), then the ones the rules start themselves.
enum MissionNumber {
  MISSION_DUMA = 0,
  MISSION_ZONA = 1,
  MISSION_GASPROM = 2,
  MISSION_BD = 3,
  MISSION_QUESTION = 4,
  MISSION_BLESSING = 6,
  MISSION_TREASON = 7,    // the Duma's crisis
  MISSION_RIOT = 8,       // the zone's crisis
  MISSION_PUTSCH = 9,     // the "bd" crisis
  MISSION_COUNT = 10,
};

enum { MISSION_QUESTIONS = 40, MISSION_QUESTION_TEXT = 128 };

// Sends an event to the running mission, when there is one.
void missionEvent(int event, int a, int b);
// The running mission's number, -1 when none runs.
int missionCurrent();
// The mission point of a place (0..31) was hit by a ball: 1 when the
// symbol of its slot is visible and shown, so that the hit selects a mission.
int missionPointReady(int place);
// Starts the mission of the place's symbol and bursts the symbol.
void missionPointSelect(int place);
// Starts a mission by number: it becomes current, the modes get
// MEVT_MISSION, the music TR_MISSION_BEGIN, the mission MEVT_BEGIN. A number
// without a mission leaves no mission running.
void missionStart(int mission);
// The running mission gets MEVT_COMPLETE, the music TR_MISSION_COMPLETE, and
// no mission runs; the selection mode gets MEVT_BEGIN. A blessing that ran
// in a mission's place completes that mission too.
void missionComplete();
// The running mission gets MEVT_ABORT, the music TR_MISSION_ABORT; no
// mission runs.
void missionAbort();
// The mission configuration ("conf/mission.conf": times, counts, the crisis
// length) and the questions. 1, or 0 after logging.
int gameSetupMissions(int writeBinary);
// An integer of the mission configuration; def before it is read or
// without the key.
int missionConfInt(const char* key, int def);
// The questions of "conf/question.conf" (at most 40; the list ends at the
// first malformed one). 1, or 0 when the file can't be read.
int setupMissionQuestion(int writeBinary);
int missionQuestionCount();
// An integer of the mission configuration (def when it was not read or has
// no such integer key).
int missionConfInt(const char* key, int def);
// No mission and no mission state (a new table); missionFree also forgets
// the configuration.
void missionReset();
void missionFree();
// The mission symbols: up to 32 points ("points.point%d" of the mission
// configuration), one symbol slot each; five kinds of symbol (the missions
// 0..4), each a rotating sprite and a burst sprite. 1, or 0 after logging.
enum { MISSION_SYMBOL_POINTS = 32 };
struct ConfSet;
int setupMissionSymbols(ConfSet* conf);
void freeMissionSymbols();
// One game step of the symbols' animation.
void missionSymbolsStep();
// The symbols' display state: 0 hidden, 1 rising, 2 shown, 3 exploding (the
// hit symbol bursts, the others go), 5 exploding all.
enum { MSYM_HIDDEN = 0, MSYM_RISING = 1, MSYM_SHOWN = 2, MSYM_EXPLODING = 3, MSYM_EXPLODING_ALL = 5 };
int missionSymbolsState();
// 1 while the symbols are up (rising or shown): no other mission may start.
int missionSymbolsUp();
// The elections burst the symbols that are up; a new game hides them.
void missionSymbolsExplodeAll();
void missionSymbolsHide();
// A slot's symbol kind (-1 when not visible) and its point.
int missionSymbolKind(int slot);
void missionSymbolPoint(int slot, int* x, int* y);
// The presidential elections' handler (mission 5, game/elections.cpp).
void missionElections(int event, int a, int b);
// During the elections' vote a hit of the selection or question button gives
// the voters "pres.timeadd" seconds more; nothing before the vote opens.
void missionElectionsAddTime();
