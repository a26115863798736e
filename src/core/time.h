#pragma once
// One clock for the program, game time and frame pacing.

extern double tmTime;        // game time, ms
extern double tmFrameDelta;  // ms of game time the current frame consumes
extern double tmFrameStep;   // the same in nominal frames

void tmInit();
void tmUpdate();
void tmSetTime(double t);
void tmSetRate(double rate, int fixed);
double tmGetRate();
int tmIsFixed();
void tmBeginFrame();
void tmMarkFrame();
void tmEndFrame();
void tmPause();
void tmResume();
int tmIsPaused();
void tmBeginSelfLoop();
void tmEndSelfLoop();

// Turbo: frames run back to back on a virtual clock that advances exactly one
// nominal frame (1000/rate ms) per tmBeginFrame, and tmEndFrame never waits.
// Runs are deterministic and as fast as the machine allows.
void tmSetTurbo(int on);
int tmIsTurbo();

// Status texts; slot 0 holds the fps text.
enum { TM_STATUS_SLOTS = 17, TM_STATUS_LEN = 256 };
const char* tmStatusText(int slot);

// The bridge to session recording: game time is written to, or during playback
// read from, black-box channel 1. With no bridge installed, nothing records.
struct TmRecordBridge {
  bool (*playing)();                 // a recording is played back
  bool (*recording)();               // a session is recorded
  bool (*readTime)(double* t);       // this tick's channel-1 value, if any
  void (*writeTime)(double t);       // store this tick's game time
};
void tmSetRecordBridge(const TmRecordBridge* bridge);
