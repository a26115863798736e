#include "core/calls.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

char gCalls[RULES_CALLS][RULES_CALL_TEXT];
int gFirst = 0, gCount = 0;

}  // namespace

void rulesCallNote(const char* format, ...) {
  int slot = (gFirst + gCount) % RULES_CALLS;
  if (gCount == RULES_CALLS)
    gFirst = (gFirst + 1) % RULES_CALLS;
  else
    gCount++;
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(gCalls[slot], RULES_CALL_TEXT, format, ap);
  va_end(ap);
}

int rulesCallCount() { return gCount; }

const char* rulesCall(int i) {
  if (i < 0 || i >= gCount) return nullptr;
  return gCalls[(gFirst + i) % RULES_CALLS];
}

int rulesCallTimes(const char* text) {
  int n = 0;
  for (int i = 0; i < gCount; i++)
    if (std::strcmp(rulesCall(i), text) == 0) n++;
  return n;
}

int rulesCallSeen(const char* text) { return rulesCallTimes(text) > 0; }

void rulesCallClear() { gFirst = gCount = 0; }
