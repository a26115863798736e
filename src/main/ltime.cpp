#include "main/ltime.h"

#include <strings.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "core/bytes.h"
#include "core/log.h"
#include "core/mem.h"
#include "core/text.h"
#include "platform/sys/sys.h"

namespace {

enum { LT_NAME_MAX = 63, LT_HISTORY = 10 };

struct LtCategory {
  char name[LT_NAME_MAX + 1];
  int32_t history[LT_HISTORY];  // oldest first
  int count;
};

struct LtState {
  Array categories;
  uint32_t lastMark;  // 0 while no timed load is under way
  int defaultTotal;
  int expectedTotal;
  int accumulated;
  void* sprite;
} lt;

const LtimeProgressDisplay* gDisplay = nullptr;

uint32_t nowMs() {
  uint32_t t = sysClock()->milliseconds();
  return t ? t : 1;  // 0 marks "no load under way"
}

int average(const LtCategory& c) {
  if (c.count <= 0) return 0;
  int64_t sum = 0;
  for (int i = 0; i < c.count; i++) sum += c.history[i];
  return static_cast<int>(sum / c.count);
}

LtCategory* category(int index) { return static_cast<LtCategory*>(arrGet(&lt.categories, index)); }

LtCategory* findCategory(const char* name) {
  for (int i = 0; i < lt.categories.count; i++) {
    LtCategory* c = category(i);
    if (strcasecmp(c->name, name) == 0) return c;
  }
  return nullptr;
}

LtCategory* addCategory(const char* name) {
  if (!lt.categories.data && arrInit(&lt.categories, sizeof(LtCategory), 16, 16) < 0)
    return nullptr;
  LtCategory c{};
  strCopyN(c.name, name, sizeof c.name);
  if (arrAppend1(&lt.categories, &c) < 0) return nullptr;
  return category(lt.categories.count - 1);
}

// Reads one history file: up to 10 little-endian 32-bit durations.
void loadHistory(const char* name) {
  char path[300];
  strFormatN(path, sizeof path, "ltime/%s", name);
  FILE* f = std::fopen(path, "rb");
  if (!f) return;
  unsigned char bytes[4 * LT_HISTORY];
  size_t n = std::fread(bytes, 1, sizeof bytes, f);
  std::fclose(f);
  if (n < 4) return;
  LtCategory* c = addCategory(name);
  if (!c) return;
  c->count = static_cast<int>(n / 4);
  ByteReader r = brOpen(std::span<const uint8_t>(bytes, n));
  for (int i = 0; i < c->count; i++) c->history[i] = brLe<int32_t>(&r);
}

}  // namespace

void ltimeSetProgressDisplay(const LtimeProgressDisplay* display) { gDisplay = display; }

void ltimeInit(int defaultTotal) {
  if (lt.categories.data) arrClear(&lt.categories);
  lt.defaultTotal = defaultTotal;
  char** names = nullptr;
  memMute();
  int n = LIST_FILES("ltime/*", &names);
  for (int i = 0; i < n; i++) loadHistory(names[i]);
  std::free(names);
  memUnmute();
}

int ltimeBegin(const char* spriteName) {
  lt.lastMark = nowMs();
  int total = 0;
  for (int i = 0; i < lt.categories.count; i++) total += average(*category(i));
  lt.expectedTotal = lt.categories.count > 0 ? total : lt.defaultTotal;
  lt.accumulated = 0;
  lt.sprite = nullptr;
  if (spriteName && gDisplay) {
    lt.sprite = gDisplay->load(spriteName);
    if (!lt.sprite) logError(0, "%s: error loading sprite '%s'", "ltimeBegin()", spriteName);
  }
  return 1;
}

int LT(const char* name) {
  if (lt.lastMark == 0)
    return logError(-1, "%s: lastTime is invalid (%d), call ltimeBegin() before using LT()",
                    "LT()", static_cast<int>(lt.lastMark));
  LtCategory* c = findCategory(name);
  if (!c) c = addCategory(name);
  uint32_t now = nowMs();
  int elapsed = static_cast<int>(now - lt.lastMark);
  lt.lastMark = now;
  if (!c) return elapsed;
  if (c->count == LT_HISTORY) {
    for (int i = 1; i < LT_HISTORY; i++) c->history[i - 1] = c->history[i];
    c->count--;
  }
  c->history[c->count++] = elapsed;
  lt.accumulated += average(*c);
  if (lt.sprite && gDisplay) {
    int frames = gDisplay->frameCount(lt.sprite);
    if (frames > 0) {
      // An empty history gives an expected total of 0: show the bar full.
      int64_t frame = lt.expectedTotal > 0
                          ? static_cast<int64_t>(frames) * lt.accumulated / lt.expectedTotal
                          : frames - 1;
      if (frame > frames - 1) frame = frames - 1;
      if (frame < 0) frame = 0;
      gDisplay->show(lt.sprite, static_cast<int>(frame));
    }
  }
  return elapsed;
}

void ltimeEnd() {
  lt.lastMark = 0;
  if (lt.sprite && gDisplay) gDisplay->release(lt.sprite);
  lt.sprite = nullptr;
}

void ltimeReport() {
  logPrint("--- load time per category: ---");
  for (int i = 0; i < lt.categories.count; i++) {
    const LtCategory* c = category(i);
    logPrint("%-30s- %.2f", c->name, average(*c) / 1000.0);
  }
}

int ltimeCategoryCount() { return lt.categories.count; }
int ltimeExpectedTotal() { return lt.expectedTotal; }
int ltimeAverage(const char* name) {
  const LtCategory* c = findCategory(name);
  return c ? average(*c) : -1;
}
