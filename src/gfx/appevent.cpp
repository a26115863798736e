#include "gfx/appevent.h"

namespace {
void post(uint32_t message, int flag) {
  GdevEvent e{};
  e.what = GDEV_EVT_USER;
  e.message = message;
  e.modifiers = flag ? 1u : 0u;
  gdevPostEvent(&e);
}
}  // namespace

void appPostActivate(int active) { post(APPMSG_ACTIVATE, active); }
void appPostSuspend(int suspended) { post(APPMSG_SUSPEND, suspended); }

bool appIsActivation(const GdevEvent* e) {
  return e->what == GDEV_EVT_USER && e->message == APPMSG_ACTIVATE && e->modifiers != 0;
}
