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
};

extern GameState game;

// Back to the state before the first game of a session (step of the load).
void gameReset();
int gameClampRegime(int regime);
// Makes a regime current ("%s: setting regime %d") and clears the pending one.
void gameSetRegime(int regime);
// Asks the session to switch regime at the start of a later frame.
void gameSwitchRegime(int regime);
struct ConfSet;
// The rules' part of the table set-up: the table's lamps, built from the
// game configuration. 1, or 0 when something could not be built.
int gameSetupObjects(ConfSet* gameConf);

// 1 when a subgame is waiting to be played (then no ball is locked).
int gameSubgamePending();
// Raises the ball-save time to at least seconds.
void gameRaiseSaveTime(double seconds);


// Start and end of a game; both broadcast their trigger.
void gameNewGame();
void gameOver();
