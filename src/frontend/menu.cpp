#include "frontend/menu.h"

#include "core/conf.h"
#include "core/log.h"

namespace {
MenuSession gSession = nullptr;
}

void menuSetSession(MenuSession session) { gSession = session; }

// Until the menu's pages exist there is nothing to preload.
int MENU_PRELOAD(int) { return 0; }

// Until the menu's pages exist, the menu runs one table session in the start
// regime. Sessions started from the menu read configuration with the
// write-binary flag off.
int MENU(int, int record) {
  ConfSet global{};
  conf_anyread(&global, "MENU()", "conf/global.conf", "conf/global.bcf", 0);
  int regime = conf_getint(&global, "startup.regime", 0);
  conf_free(&global);
  logDebug(1, "at mile3()");
  int rc = gSession ? gSession(nullptr, record, 0, regime) : -1;
  logDebug(1, "mile3() ret %d", rc);
  return rc;
}
