#pragma once
// The program entry and the start-up sequence of the game.

// Runs the game; the result is the process exit code (0 after a session, 1
// when start-up failed with a message box).
int MAIN(int argc, char** argv);
// MAIN without the change of directory: the whole program in the working
// directory as it is (tests run it in a game folder of their own).
int mainInFolder(int argc, char** argv);

// Shared-service set-up.
void COMMON_INIT(int soundOn);

// Start-up options, as parsed from the command line.
struct StartOptions {
  bool windowed;     // "/w"
  bool chooseMode;   // "/c"
  bool log;          // "/log"
  bool mkbin;        // "/mkbin"
  bool debug;        // "/debug"
  bool noSound;      // "/nosnd"
  bool noMenu;       // "/nomenu"
  bool record;       // "/record"
  bool help;         // "--help"
  bool turbo;        // "/turbo": frames back to back, one nominal frame each
  bool autoplay;     // "/autoplay": the built-in player plays
  bool presentAll;   // "--present-every-frame": turbo frames are presented too
  int frames;        // "/frames N": sessions end after N frames (0: no limit)
  const char* statDump;  // "/statdump FILE": statistics written there too
  const char* screenshot;  // "/screenshot FILE": each session's last frame as a BMP
  int regime;            // "/regime N" with "/nomenu": 0..2, or -1 for "startup.regime"
  int subgame;           // "/subgame N" with "/nomenu": 0..2 played once, or -1
  const char* playback;  // first free argument, or null
  const char* badValue;  // a switch whose value is missing or wrong, or null
};

// Parses argv[1..]; a second free argument ends the parsing.
StartOptions parseStartOptions(int argc, char** argv);

// The usage summary printed by --help.
const char* startUsage();
