#pragma once
// The score: named subject scores that table objects and rules add, and big
// scores added directly.

// Adds the subject's value (times the tax multiplier). 1, or 0 when the
// subject is unknown.
int scoreAdd(const char* subject);
// Adds a value without multiplier or tip; returns it.
int scoreAddBig(int value);
// "%d.%03d.%03d" from a million on, "%d.%03d" from a thousand on, "%d" below
// (one static buffer).
const char* scoreFormat(int value);
// Stores the Duma quorum gauge, clamped to 0..100.
void gameSetQuorum(double value);
struct ConfSet;
// The year display's four digit objects from the game configuration.
int scoreSetupYear(ConfSet* gameConf);
// Stores and shows the year.
void gameSetYear(double year);
// A big score: the macro "big_score", the fore title "big_score" and the
// value added.
void gameBigScore(int value);
