#pragma once
// The end of every frame loop's frame: present the screen and pace the
// frame, in the order and with the retrace wait the video keys select.

struct FramePacing {
  int sync;      // "video.sync": presenting waits for the vertical retrace
  int slowSwap;  // "video.slow_swap": pace before presenting instead of after
};

extern FramePacing gFramePacing;

// Frames framePresent presented and left unpresented; the session zeroes
// them and logs them when it ends.
struct FrameCounts {
  int presented;
  int skipped;
};
extern FrameCounts gFrameCounts;

// gsUpdate and tmEndFrame in the selected order. On the turbo clock the
// frame is not presented (gsSkipUpdate) unless every frame is asked for;
// frameShowLast presents what such frames left.
void framePresent();
// Turbo frames are presented one by one too (for tests that compare runs).
void frameSetPresentEveryFrame(int on);
// Presents the current screen when frames went unpresented: the last frame
// of a turbo session.
void frameShowLast();
