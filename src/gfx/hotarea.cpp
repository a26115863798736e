#include "gfx/hotarea.h"

#include "core/log.h"

namespace {

struct HaState {
  HotArea areas[HA_MAX];
  bool seen;  // any mouse event yet
  int lastX, lastY, lastButtons;
  int pressed;  // area where a button went down, or -1
  int pressedButtons;
} ha = {};

bool send(int id, int code, int x, int y, int buttons) {
  HotArea* a = haGet(id);
  if (!a || !a->handler) return false;
  HaMessage m{code, x, y, buttons};
  a->handler(a, &m);
  return true;
}

}  // namespace

void haInit() {
  for (HotArea& a : ha.areas) a = HotArea{-1, nullptr, 0, 0, 0, 0, 0, 0};
  ha.seen = false;
  ha.pressed = -1;
  ha.pressedButtons = 0;
}

int haCreateRectEx(int id, HaHandler handler, int x, int y, int w, int h, intptr_t value1,
                   intptr_t value2) {
  if (id < 0 || id >= HA_MAX)
    return logError(0, "%s: invalid id %d (not in [0..%d]), denying", "haCreateRectEx()", id,
                    HA_MAX - 1);
  HotArea& a = ha.areas[id];
  a = HotArea{id, handler, x, y, w, h, value1, value2};
  if (!handler) return 0;
  HaMessage m{HM_CREATE, 0, 0, 0};
  return handler(&a, &m) != 0 ? 1 : 0;
}

int haCreateRect(int id, HaHandler handler, int x, int y, int w, int h) {
  return haCreateRectEx(id, handler, x, y, w, h, 0, 0);
}

void haDelete(int id) {
  if (id >= 0 && id < HA_MAX) ha.areas[id].id = -1;
}

HotArea* haGet(int id) {
  if (id < 0 || id >= HA_MAX || ha.areas[id].id < 0) return nullptr;
  return &ha.areas[id];
}

int haFind(int x, int y) {
  for (int id = 0; id < HA_MAX; id++) {
    const HotArea& a = ha.areas[id];
    if (a.id >= 0 && x >= a.x && x <= a.x + a.width - 1 && y >= a.y && y <= a.y + a.height - 1)
      return id;
  }
  return -1;
}

int haEvent(const GdevEvent* e) {
  int x = e->x, y = e->y;
  int buttons = static_cast<int>(e->modifiers & GDEV_MOD_LEFTBUT);
  if (!ha.seen) {
    ha.seen = true;
    ha.lastX = x;
    ha.lastY = y;
    ha.lastButtons = buttons;
    return 0;
  }
  int p = haFind(ha.lastX, ha.lastY);
  int q = haFind(x, y);
  bool called = false;
  switch (e->what) {
    case GDEV_EVT_MOUSEDOWN:
      if (q >= 0) {
        called |= send(q, HM_MOUSEDOWN, x, y, buttons);
        ha.pressed = q;
        ha.pressedButtons = buttons;
      }
      break;
    case GDEV_EVT_MOUSEUP:
      if (q >= 0 && (ha.pressed < 0 || q == ha.pressed)) {
        called |= send(q, HM_MOUSEUP, x, y, buttons);
        if (q == ha.pressed) called |= send(q, HM_MOUSECLICK, x, y, ha.pressedButtons);
      }
      ha.pressed = -1;
      break;
    case GDEV_EVT_MOUSEMOVE:
      if (q >= 0) {
        if (x != ha.lastX || y != ha.lastY) called |= send(q, HM_MOUSEMOVE, x, y, buttons);
        if (q == ha.pressed && p != ha.pressed)
          called |= send(q, HM_MOUSEDOWN, x, y, ha.pressedButtons);
        if (p != q) called |= send(q, HM_MOUSEIN, x, y, buttons);
      }
      if (p >= 0) {
        if (p == ha.pressed && q != ha.pressed)
          called |= send(p, HM_MOUSEUP, x, y, ha.pressedButtons);
        if (p != q) called |= send(p, HM_MOUSEOUT, x, y, buttons);
      }
      break;
    default:
      break;
  }
  ha.lastX = x;
  ha.lastY = y;
  ha.lastButtons = buttons;
  return called ? 1 : 0;
}
