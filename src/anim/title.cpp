#include "anim/title.h"

#include <cstring>

#include "core/log.h"
#include "core/text.h"
#include "core/calls.h"

namespace {

struct Macro {
  char name[TITLE_MACRO_NAME];
  char value[TITLE_MACRO_VALUE];
};
Macro gMacros[TITLE_MACROS];
int gMacroCount = 0;

}  // namespace

// The titles themselves come with the title player. Until then a title is
// only noted and ends at once: an end callback runs immediately, so the
// sequences the rules chain on titles (a new ball after "ball_lost" ...) go on.
int startForeTitle(const char* name) {
  rulesCallNote("startForeTitle %s", name ? name : "(null)");
  return -1;
}

int startBackTitle(const char* name) {
  rulesCallNote("startBackTitle %s", name ? name : "(null)");
  return -1;
}

void titleEndCallbackOnce(TitleEndFn fn) {
  rulesCallNote("titleEndCallbackOnce");
  if (fn) fn();
}

void titleSetMacro(const char* name, const char* value) {
  if (!name) return;
  if (!value) value = "";
  for (int i = 0; i < gMacroCount; i++) {
    if (std::strcmp(gMacros[i].name, name) == 0) {
      strCopyN(gMacros[i].value, value, sizeof gMacros[i].value);
      return;
    }
  }
  if (gMacroCount >= TITLE_MACROS) {
    logError(0, "%s: can't add macros '%s', all %d slots occupied", "titleSetMacro()", name, TITLE_MACROS);
    return;
  }
  strCopyN(gMacros[gMacroCount].name, name, sizeof gMacros[gMacroCount].name);
  strCopyN(gMacros[gMacroCount].value, value, sizeof gMacros[gMacroCount].value);
  gMacroCount++;
}

const char* titleMacro(const char* name) {
  if (!name) return nullptr;
  for (int i = 0; i < gMacroCount; i++)
    if (std::strcmp(gMacros[i].name, name) == 0) return gMacros[i].value;
  return nullptr;
}

void titleClearMacros() { gMacroCount = 0; }
