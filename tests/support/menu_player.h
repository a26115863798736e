#pragma once
// Input a test posts as a player of the menu would: keys and clicks on the
// event queue, as the device layer makes them of the keyboard and the mouse.
#include <gtest/gtest.h>

#include "frontend/menu_internal.h"
#include "platform/gdev.h"

namespace menuplayer {

enum { SCAN_ESC = 0x01, SCAN_BACKSPACE = 0x0E, SCAN_ENTER = 0x1C, SCAN_LCTRL = 0x1D, SCAN_SPACE = 0x39,
       SCAN_RIGHT = 0x4D, SCAN_DOWN = 0x50 };

inline void post(uint32_t what, int scan, int ch) {
  GdevEvent e{};
  e.what = what;
  e.message = static_cast<uint32_t>(ch | scan << 8);
  ASSERT_TRUE(gdevPostEvent(&e));
}
inline void press(int scan, int ch) { post(GDEV_EVT_KEYDOWN, scan, ch); }
inline void pressEscape() { press(SCAN_ESC, 27); }
inline void pressEnter() { press(SCAN_ENTER, 13); }
inline void pressDown() { press(SCAN_DOWN, 0); }

// The pointer moves to (x, y), the left button goes down and up there.
inline void clickAt(int x, int y) {
  GdevEvent e{};
  e.x = x;
  e.y = y;
  e.what = GDEV_EVT_MOUSEMOVE;
  ASSERT_TRUE(gdevPostEvent(&e));
  e.what = GDEV_EVT_MOUSEDOWN;
  e.message = GDEV_MOD_LEFTBUT;
  e.modifiers = GDEV_MOD_LEFTBUT;
  ASSERT_TRUE(gdevPostEvent(&e));
  e.what = GDEV_EVT_MOUSEUP;
  e.modifiers = 0;
  ASSERT_TRUE(gdevPostEvent(&e));
}

inline void clickElement(const char* name) {
  int x = 0, y = 0;
  ASSERT_TRUE(menuElementCentre(name, &x, &y)) << "no element " << name;
  clickAt(x, y);
}

}  // namespace menuplayer
