#pragma once
// The end of every frame loop's frame: present the screen and pace the
// frame, in the order and with the retrace wait the video keys select.

struct FramePacing {
  int sync;      // "video.sync": presenting waits for the vertical retrace
  int slowSwap;  // "video.slow_swap": pace before presenting instead of after
};

extern FramePacing gFramePacing;

// gsUpdate and tmEndFrame in the selected order.
void framePresent();
