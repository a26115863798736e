#pragma once
// What the three subgames share for their frame loops: the key state they
// keep, the frame's one input event, its game time, and its end. The input
// and the time of a subgame frame pass through the session's recording, so
// a recorded session that enters a subgame replays it frame for frame; the
// session installs that as the host. Without a host (tools, tests of the
// drawing) frames take live events and the timer's own time.
#include <cstdint>

struct GdevEvent;

struct SgHost {
  // The frame's input event, taken off the queue: recorded while recording,
  // the recorded one while replaying. 1 when *out holds an event.
  int (*event)(GdevEvent* out);
  // Called right after tmBeginFrame: records tmTime, or replaces it with the
  // recorded time while replaying.
  void (*frameTime)();
  // After the present: the end of the frame for the recording.
  void (*frameEnd)();
  // 1 when the program is asked to end: the subgame stops.
  int (*quit)();
  // After each frame of the screen's own animation (the opening, the
  // introduction, the closing), which is not a frame of the recording:
  // step counts those frames from the opening's first. Tools take their
  // pictures here. May be null.
  void (*screenFrame)(int step);
};
// The host's screenFrame, when there is one.
void sgScreenFrame(int step);
// Copies the host (null: none).
void sgSetHost(const SgHost* host);

// Key state: 1 while held, by scan code and by character.
struct SgKeys {
  uint8_t scan[256];
  uint8_t chr[256];
};

enum {
  SG_KEY_LEFT = 0x2C,    // the left flipper key (Z)
  SG_KEY_RIGHT = 0x35,   // the right flipper key (slash)
  SG_KEY_LAUNCH = 0x1D,  // the give-ball key (left Ctrl)
};

// Flushes the queued input events and clears the key state, and starts the
// subgame's clock at 0 (the start of every subgame).
void sgInputStart(SgKeys* keys);

// What the frame's input asked for.
enum {
  SG_INPUT_NONE = 0,
  SG_INPUT_EVENT = 1,   // an event was taken
  SG_INPUT_REDRAW = 2,  // a key-down of the space character, or a window event: repaint all
};
// Takes one event into the key state (key down sets the entries, key up
// clears them) and returns SG_INPUT_* bits. *event gets the event when
// not null (what = 0 when there was none).
int sgFrameInput(SgKeys* keys, GdevEvent* event);
// tmBeginFrame, one nominal frame of the set rate on the subgame's clock,
// the host's frame time, tmMarkFrame.
void sgFrameBegin();
// Presents the frame (framePresent) and ends it for the host.
void sgFrameEnd();
// 1 when the program is asked to end.
int sgQuit();

// The subgame's clock in ms: nominal frames of the set rate (tmSetRate)
// since sgInputStart. A subgame's timing then depends on its frames and
// input only: it plays the same live, replayed or on the turbo clock, as a
// fixed-rate loop does when the machine keeps up. Before sgInputStart and
// after sgClockStop: the game clock, tmTime.
double sgNow();
// The subgame is over: sgNow is the game clock again.
void sgClockStop();
