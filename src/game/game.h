#pragma once
// The game's state: the regime, balls left and game over, and the requests
// the rules make of the session (a subgame, a regime change). The rest of the
// game state (levels, features, laws ...) joins it with the rules.

enum { REGIME_COMM = 0, REGIME_DEMO = 1, REGIME_DICT = 2 };
enum { GAME_BALLS = 3 };

struct GameState {
  int regime;           // current regime
  int pendingRegime;    // regime the session is to switch to, -1 none
  int ballsLeft;        // balls still to come in this game
  int over;             // the game-over state
  int requestedSubgame; // subgame the session is to launch, -1 none
  int mission;          // the running mission's number, -1 none
  int score;
  // What the table objects read and change of the rules' state.
  double quorum;     // Duma quorum gauge, 0..100
  int duma, zona, bd, gp;  // feature states: 0 off, 1 on, 2 crisis
  int gasPercent;    // gas-company export percentage, 0..100
  int reklama;       // advertising count, 0..7
  double saveTime;   // ball-save time, seconds
  int spiral;        // television/gas switch, 0 television, 1 gas
  int presTerm;      // presidential term, 1..3: the rules' multiplier
  int mumra, amen;   // mausoleum and blessing counts, 0..5
  int zonaCapture;   // the prison zone may capture a ball
  int liftActive;    // the ostlift may lock a ball
  int subgameQueue;  // subgames waiting to be played (entries of subgames[])
  int subgames[3];   // the queue: 0 boxing, 1 deputy, 2 oligarch
  int subgameBall;   // balls the tower took up for a subgame, owed back down its tube
  int charisma, power, wealth;  // levels 0..10
  int laws, lawsPassed;         // 0..4, 0..laws
  int ukazy, ukazyPassed;       // decrees, likewise
  int tax, taxFloor;            // tax level 0..4, never below the floor
  int taxMultiplier;            // 1, 2, 4, 6, 8 for the tax levels
  double taxTime;               // game time (ms) of the last tax change
  double year;                  // 2000.0 at the start of a game
  int magnets;                  // the prison magnets are on
  double liftEnd;               // game time (ms) the lift activity ends, 0 none
  double crisisEnd[4];          // game time (ms) each feature's crisis ends
  int presQuorumSteps;          // votes the elections need beyond "pres.quorum";
                                // grows with every election won
};

extern GameState game;

// Back to the state before the first game of a session (step of the load).
void gameReset();
int gameClampRegime(int regime);
// Makes a regime current ("%s: setting regime %d") and clears the pending one.
void gameSetRegime(int regime);
// Asks the session to switch regime at the start of a later frame
// ("%s: switching regime %d -> %d").
void gameSwitchRegime(int regime);
// "comm", "demo", "dict" (the regime clamped).
const char* gameRegimeName(int regime);

// The setters of the game state: each clamps its value, stores it and puts
// its lamps into the matching states, so that the lamps can be rebuilt from
// the state at any time (gameRefreshLamps).
void gameSetCharisma(int level);        // 0..10, LI_CHARISMA0..9
void gameSetPower(int level);           // 0..10, LI_POWER0..9
void gameSetWealth(int level);          // 0..10, LI_WEALTH0..9
void gameSetGasPercent(int percent);    // 0..100, LI_GP_P10..P100 (changed lamps only)
void gameSetReklama(int count);         // 0..7, LI_REKLAMA0..6
void gameSetSaveTime(double seconds);   // 0..120, LI_CREDIT: on from 4 s, blinking below
void gameSetLaws(int count, int passed);   // 0..4, 0..count, LI_LAW0..3
void gameSetUkazy(int count, int passed);  // decrees, LI_UKAZY0..3
// 0..4 and not below the tax floor; the multiplier follows (1, 2, 4, 6, 8)
// and the time of the change is noted for the decay.
void gameSetTax(int level);
void gameRaiseTaxFloor();               // + 1, at most 4
void gameSetMumra(int count);           // 0..5, LI_MUMRA0..4; at 5 "evt:mumra"
void gameSetAmen(int count);            // 0..5, LI_AMEN0..4; at 5 "evt:amen"
// 0: the object "SPIRAL_GATE" enabled and the television lamp on; 1: the
// gate disabled and the gas lamp on.
void gameSetSpiral(int state);
// Feature states -1..2 (0 off, 1 on, 2 crisis): statistic "obj:<f>_<state>",
// the crisis end time, the feature's state animation, its lamp.
void gameSetDuma(int state);
void gameSetZona(int state);
void gameSetBd(int state);
void gameSetGp(int state);
void gameSetFeature(int feature, int state);  // by GnmFeature number
void gameSetPresTerm(int term);         // 1..3, LI_PRES_2ND/3RD (on a change)
void gameSetMagnets(int on);            // LI_MOLNIA0..2 and the object "OSTMAGNET1"
void gameSetLift(int on);               // the lift activity for "lift.activity" s

// The subgame queue (0 boxing, 1 deputy, 2 oligarch): at most three.
// gameAllowSubgame returns the id's position (3 when the queue is full);
// gameRunAllowedSubgame takes the first (-1 on an empty queue).
int gameAllowSubgame(int id);
int gameRunAllowedSubgame();
// The session is back from a subgame: a ball the tower took up for it comes
// back down the right tube.
void gameSubgameReturned();
void gameClearSubgames();     // a lost ball
void gameSaveSubgames();      // around the presidential elections
void gameRestoreSubgames();

// The gas-company lamp worm: started through "gp_worm_on", stopped (at the
// end of its next emptying pass) when the ball leaves the gas company.
void gameGasWormStart();
void gameGasWormStop();
int gameGasWormRunning();
// Lights the first dark extra-ball lamp ("ball:xb_lit").
void gameLightExtraBall();
// A change of charisma ('c'), power ('p') or wealth ('w'): the title
// "cpw_inc" or "cpw_dec", then the change on the level; past 10 the title
// "super_cpw" and a big score, below 0 a crisis of the matching feature.
void gameChangeCpw(int kind, int change);
// The same, then calls then (null: nothing) once the change has landed.
void gameChangeCpwThen(int kind, int change, void (*then)());
// A crisis of a feature (GnmFeature number): the title macros
// "crisis_where" and "crisis_name" name the place and the trouble, the
// feature goes to state 2 and the title "crisis" plays. Another number sets
// the texts "SOMEWHERE" and "SOMETHING" and changes no feature. The title's
// id as startForeTitle gives it, for a step chained on its end.
int gameStartCrisis(int feature);

struct ConfSet;
// The table's lamps, year digits, the rules' timings, the named procedure
// "gp_worm_on", the extra-ball lane change on the flipper key, then
// gameRefreshLamps. 1, or 0 when something could not be built.
int gameSetupObjects(ConfSet* gameConf);
// "conf/bigscore.conf" (or its binary twin): 1, or 0 when unreadable.
int gameSetupBigscore(int writeBinary);
// Uses a big-score set read elsewhere (it stays the caller's; null: none).
void gameSetBigscore(ConfSet* set);
// The big-score set in use (null before gameSetupBigscore) and one of its
// values (-1 when missing).
ConfSet* gameBigscoreConf();
int gameBigscoreValue(const char* key);
// Frees what the set-up read.
void gameFreeRules();
// The session's frame rate: one game step per frame period.
void gameSetFrameRate(int rate);
// Crisis length ("crisis.timeout" of the mission configuration, default 2 s).
void gameSetCrisisTimeout(double seconds);
// Every setter with its current value, then the spiral back to television.
void gameRefreshLamps();

// The session's new-ball request, for the rules that hand a held ball back
// (the Duma after its vote); installed by the session, null outside one.
void gameSetBallRequest(void (*request)(int free));
void gameRequestBall(int free);

// What the rules command of the table objects, which are a layer above
// them: the prison zone, its pair of buttons and the tubes. The table
// objects install it when they connect; with nothing installed the calls
// below do nothing and the zone reads as closed.
struct GameTableHooks {
  void (*zonaControl)(int command);  // GAME_ZONA_OPEN ... GAME_ZONA_CLOSE
  int (*zonaState)();                // GAME_ZONA_CLOSED ...
  void (*zonaButtonsRelease)();      // the held zone buttons cool down
  void (*tubeBall)(int tube);        // a ball out of a tube: 0 left, 1 right
};
// The zone's commands and the states the rules look at.
enum { GAME_ZONA_OPEN = 0, GAME_ZONA_LIFT = 1, GAME_ZONA_RELEASE = 2, GAME_ZONA_CLOSE = 3 };
enum { GAME_ZONA_CLOSED = 0, GAME_ZONA_MAGNET = 2, GAME_ZONA_OPENING = 3, GAME_ZONA_PRISONER = 5 };
// Copies the hooks (null: none).
void gameSetTableHooks(const GameTableHooks* hooks);
void gameZonaControl(int command);
int gameZonaState();
void gameZonaButtonsRelease();
void gameTubeLaunch(int tube);

// 1 when a subgame is waiting to be played (then no ball is locked).
int gameSubgamePending();
// Raises the ball-save time to at least seconds (at most 120).
void gameRaiseSaveTime(double seconds);

// Start and end of a game; both broadcast their trigger.
void gameNewGame();
void gameOver();
// Per frame while the game is not over: tax decay, then at most one game
// step per frame period (the year, elections due, the quorum gauge, the
// ball-save time, the worm, the symbols, the lift, the "score" macro, crisis
// ends).
void gameTick(double dt);
