#pragma once
// Hot areas: mouse-sensitive rectangles of the menus and the pause dialog.
// Raw mouse events become enter, leave, move, press, release and click
// messages for the areas under the pointer.
#include <cstdint>

#include "platform/gdev.h"

enum { HA_MAX = 32 };

enum HaMessageCode {
  HM_CREATE = 0,
  HM_DESTROY = 1,
  HM_PAINT = 2,
  HM_MOUSEIN = 3,
  HM_MOUSEOUT = 4,
  HM_MOUSEMOVE = 5,
  HM_MOUSEDOWN = 6,
  HM_MOUSEUP = 7,
  HM_MOUSECLICK = 8,
};

struct HaMessage {
  int code;
  int x, y;
  int buttons;  // bit 0: left button
};

struct HotArea;
// A handler answers a message; HM_CREATE's answer decides haCreateRect's result.
using HaHandler = int (*)(HotArea* area, const HaMessage* message);

struct HotArea {
  int id;  // -1 when the slot is free
  HaHandler handler;
  int x, y, width, height;
  intptr_t value1, value2;  // the creator's own values
};

void haInit();
int haCreateRectEx(int id, HaHandler handler, int x, int y, int w, int h, intptr_t value1,
                   intptr_t value2);
int haCreateRect(int id, HaHandler handler, int x, int y, int w, int h);
void haDelete(int id);
HotArea* haGet(int id);
int haFind(int x, int y);
// Feeds one mouse event (button down, button up or move); 1 when a handler was
// called.
int haEvent(const GdevEvent* event);
