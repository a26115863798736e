#pragma once
// The score: one integer that the table objects and the rules raise by named
// subjects (scoreAdd) and by big scores (scoreAddBig, gameBigScore). Every
// subject score shows a tip: its value drawn with the digit sprites at the
// subject's place on the screen, rising and fading for tip_time ms. Also the
// year display and the Duma quorum gauge.
//
// The score configuration ("conf/score.conf" or its twin "conf/score.bcf"):
//   tip_time = 1000           how long a tip shows, ms
//   tip_dist = 30             how far it rises in that time, pixels
//   digits_sprite = "..."     the digit sprites' path, "%d" taking 0..9
//   [class_NAME]              the values of a kind of target:
//   value = 250               the subject named like the section using it
//   value_SUFFIX = 500        the subject "SECTION:SUFFIX"
//   [SECTION]                 a placed target (any section not "class_..."):
//   class = "NAME"            whose values it has
//   xy = "x,y"                where its tips show, screen pixels
// So a class describes the values of a kind of object once, and every placed
// object of that kind gets them at its own place.
//
// Per frame the session calls scoreUpdateTips between the visual board's
// restore and its draw.
struct ConfSet;

enum {
  SCORE_MAX_SUBJECTS = 128,   // SUBJECTS[]
  SCORE_MAX_TIPS = 32,        // SCORE.TIPS[]
  SCORE_DIGIT_OBJECTS = 160,  // SCORE.DVBOS[]: visual-board objects shared by the tips
  SCORE_DIGIT_LAYER = 14,     // the visual-board layer of the tips
  SCORE_TIP_CHARS = 6,        // a longer value is cut to its first six characters
  SCORE_NAME_SIZE = 128,      // subject names, with the terminator
  SCORE_TIP_TIME = 1000,      // tip_time and tip_dist without the keys
  SCORE_TIP_DIST = 30,
};

struct ScoreSubject {
  char name[SCORE_NAME_SIZE];
  int value;  // before the tax multiplier
  int x, y;   // screen pixels: the middle of its tips
};

// Builds the score for the table on the current visual board: the 160 digit
// objects on layer 14, then the configuration read from "conf/score.conf"
// (or "conf/score.bcf"; writeBinary rewrites the twin) with setupScoreFrom.
// 1, or 0 after logging (the subjects read so far stay usable).
int setupScore(int writeBinary);
// The same over a configuration already read. The digit objects are added
// unless the current board has them already; the digit sprites, the subjects
// and the tips are replaced. 1, or 0 after logging: no digit objects, no
// "digits_sprite" key (nothing more is read), a digit sprite that does not
// load, or more than 128 subjects (the rest are skipped).
int setupScoreFrom(ConfSet* conf);
// The table's unload: the tips end, the digit and year objects leave the
// board when it is still the current one, their sprites are freed and every
// subject is forgotten.
void scoreFree();

// The first subject of that exact name, or null.
const ScoreSubject* scoreFindSubject(const char* name);
int scoreSubjectCount();

// Adds the subject's value times the tax multiplier (game.taxMultiplier) to
// game.score and shows it as a tip. 1; 0 after logging when the subject is
// unknown (nothing is added) or when all 32 tips are showing (the score is
// added all the same).
int scoreAdd(const char* subject);
// Adds a value as it is: no multiplier, no tip. Returns the value.
int scoreAddBig(int value);
// A big score as the rules announce it: the title macro "big_score" gets the
// formatted value, the foreground title "big_score" starts, and the value is
// added with scoreAddBig.
void gameBigScore(int value);
// "%d.%03d.%03d" from a million on, "%d.%03d" from a thousand on, "%d" below
// (one static buffer).
const char* scoreFormat(int value);
// The width in pixels of a positive value drawn with the digit sprites: for
// each decimal digit its sprite's width plus 2. 1, after logging a software
// error, for 0 and negative values.
int TIPWIDTH(int value);
// Per frame: each tip shows the frame of its digit sprites that its age
// reaches (frame count x age / tip_time) and rises tip_dist x age / tip_time
// from its place; at tip_time it ends and its digit objects are free again.
// Ages are whole milliseconds of game time (tmTime).
void scoreUpdateTips();

// The year display, from the game configuration: "year.sprite" (a path with
// "%d"; default "year-undef-%d") names four sprites, each shown by its own
// object of the current board, drawn where it belongs on the screen:
//   1: the thousands, 2: the hundreds, 3: the tens, 4: the units.
// Each sprite holds "year.frames_per_digit" (default 1) frames per digit
// value, 0 to 9. The display shows game.year at once. 1, or 0 after logging
// (a sprite that does not load or has too few frames, frames per digit
// below 1); the digits that did load show.
int scoreSetupYear(ConfSet* gameConf);
// Stores the year in game.year and shows it: the units roll smoothly with the
// fraction of the year (frame floor((year mod 10) x frames per digit)); a
// higher digit shows its value's first frame, plus the units' roll while all
// the digits below it are 9, as an odometer turns over. Without the year
// objects built the year is only stored ("lights not initialized").
void gameSetYear(double year);

// Stores the Duma quorum gauge, clamped to 0..100.
// The Duma's quorum gauge, clamped to 0..100; coming up to QUORUM_VOTE it
// lights the quorum ("evt:quorum"), and the Duma may vote.
inline constexpr double QUORUM_VOTE = 98;
void gameSetQuorum(double value);
