#pragma once
// Events the program posts to its own queue when the window gains or loses
// the focus or the application is suspended or resumed. Loops that repaint
// after such a change look for them.
#include "platform/gdev.h"

enum : uint32_t {
  APPMSG_ACTIVATE = 0x41435456,  // modifiers: 1 active, 0 inactive
  APPMSG_SUSPEND = 0x53555350,   // modifiers: 1 suspended, 0 resumed
};

// The device layer's callbacks: post the matching application event.
void appPostActivate(int active);
void appPostSuspend(int suspended);
// True for an activation event that makes the window active.
bool appIsActivation(const GdevEvent* event);
