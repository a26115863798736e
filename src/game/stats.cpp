#include "game/stats.h"

#include <strings.h>

#include <cstdio>
#include <iterator>
#include <memory>
#include <string>

#include "core/log.h"
#include "core/text.h"
#include "core/time.h"

namespace {

GameStats gStats = {{}, 0, -1, {}};
const int* gFrameCounter;
int64_t (*gClock)();

int64_t now() { return gClock ? gClock() : static_cast<int64_t>(std::time(nullptr)); }

struct StatName {
  const char* mnemonic;
  const char* description;  // UTF-8 here, Windows-1251 in the table
};

// The table's statistics, in registration order.
constexpr StatName kTableStats[] = {
    {"hit:t1", "Дорожка T1"},
    {"hit:t2", "Дорожка T2"},
    {"hit:t3", "Дорожка T3"},
    {"hit:t_yes", "Дорожка «за»"},
    {"hit:t_no", "Дорожка «против»"},
    {"hit:krem_left", "Левая арка Кремля"},
    {"hit:krem_right", "Правая арка Кремля"},
    {"hit:t6", "Дорожка T6"},
    {"hit:t7", "Дорожка T7"},
    {"hit:t8", "Дорожка T8"},
    {"hit:flipper_left", "Взмах левого флиппера"},
    {"hit:flipper_right", "Взмах правого флиппера"},
    {"hit:tube_left", "Левая труба"},
    {"hit:tube_right", "Правая труба"},
    {"hit:krem_bumper", "Бампер Кремля"},
    {"hit:duma_bumper", "Бампер Думы"},
    {"hit:tri_left", "Левый треугольник"},
    {"hit:tri_right", "Правый треугольник"},
    {"hit:krem_lbutton", "Левая кнопка Кремля"},
    {"hit:krem_rbutton", "Правая кнопка Кремля"},
    {"hit:law_button", "Кнопка закона"},
    {"hit:ukazy_button", "Кнопка указов"},
    {"hit:zonabtn0", "Первая кнопка зоны"},
    {"hit:zonabtn1", "Вторая кнопка зоны"},
    {"hit:ostbtn0", "Первая кнопка OST"},
    {"hit:ostbtn1", "Вторая кнопка OST"},
    {"hit:spiralbtn", "Кнопка спирали"},
    {"evt:duma", "Собрано слово ДУМА"},
    {"evt:ukaz", "Собрано слово УКАЗ"},
    {"evt:quorum", "Зажжён кворум"},
    {"evt:ussr", "Собрано слово СССР"},
    {"evt:amen", "Собрано слово АМИНЬ"},
    {"evt:mumra", "Собрано слово мавзолея"},
    {"evt:mflaps", "Все зубцы мавзолея"},
    {"evt:hflaps", "Все зубцы храма"},
    {"evt:law", "Принят закон"},
    {"evt:ukazy", "Издан указ"},
    {"evt:dumavote", "Голосование в Думе"},
    {"evt:small_prize", "Малый приз"},
    {"evt:law_prize", "Приз за закон"},
    {"evt:ukazy_prize", "Приз за указ"},
    {"ball:saved", "Шар спасён"},
    {"ball:lost", "Шар потерян"},
    {"ball:xb_lit", "Extra ball lit"},
    {"ball:xb", "Extra ball"},
    {"msn:sel", "Выбор миссии"},
    {"msn:duma_begin", "Начало миссии Думы"},
    {"msn:zona_begin", "Начало миссии зоны"},
    {"msn:bd_begin", "Начало миссии BD"},
    {"msn:gp_begin", "Начало миссии газовой компании"},
    {"msn:q_begin", "Начало вопроса"},
    {"msn:duma_complete", "Миссия Думы выполнена"},
    {"msn:zona_complete", "Миссия зоны выполнена"},
    {"msn:bd_complete", "Миссия BD выполнена"},
    {"msn:gp_complete", "Миссия газовой компании выполнена"},
    {"msn:q_complete", "Вопрос решён"},
    {"msn:duma_crisis", "Кризис в Думе"},
    {"msn:zona_crisis", "Кризис в зоне"},
    {"msn:bd_crisis", "Кризис BD"},
    {"msn:duma_crisis_success", "Кризис в Думе преодолён"},
    {"msn:zona_crisis_success", "Кризис в зоне преодолён"},
    {"msn:bd_crisis_success", "Кризис BD преодолён"},
    {"obj:duma_on", "Дума включена"},
    {"obj:zona_on", "Зона включена"},
    {"obj:bd_on", "BD включены"},
    {"obj:gp_on", "Газовая компания включена"},
    {"obj:duma_off", "Дума выключена"},
    {"obj:zona_off", "Зона выключена"},
    {"obj:bd_off", "BD выключены"},
    {"obj:gp_off", "Газовая компания выключена"},
    {"obj:duma_crisis", "Дума в кризисе"},
    {"obj:zona_crisis", "Зона в кризисе"},
    {"obj:bd_crisis", "BD в кризисе"},
    {"obj:gp_crisis", "Газовая компания в кризисе"},
    // The mausoleum's prize, collected once its word is spelt: an event of
    // its own, counted apart from the word ("evt:mumra").
    {"evt:mumra_prize", "Премия мавзолея"},
};
static_assert(std::size(kTableStats) == 75, "the table registers 75 statistics");

GstatEntry* find(const char* mnemonic) {
  if (!mnemonic) return nullptr;
  for (int i = 0; i < gStats.count; ++i) {
    if (strcasecmp(gStats.STATS[i].mnemonic, mnemonic) == 0) return &gStats.STATS[i];
  }
  return nullptr;
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

}  // namespace

const GameStats* gstatTable() { return &gStats; }

void gstatInit() {
  gStats.count = 0;
  gStats.sessionStart = -1;
  gStats.sessionStartLocal = std::tm{};
}

int gstatAdd(const char* mnemonic, const char* description) {
  if (gStats.count >= GSTAT_MAX)
    return logError(0, "%s: no free slots in GAMESTATS.STATS[], all %d occupied", "gstatAdd()",
                    GSTAT_MAX);
  GstatEntry& e = gStats.STATS[gStats.count++];
  e = GstatEntry{};
  strCopyN(e.mnemonic, mnemonic ? mnemonic : "", sizeof e.mnemonic);
  strCopyN(e.description, description ? description : "", sizeof e.description);
  return 1;
}

void gstatBegin() {
  const int64_t t = now();
  gStats.sessionStart = t;
  const std::time_t calendar = static_cast<std::time_t>(t);
  if (!localtime_r(&calendar, &gStats.sessionStartLocal)) gStats.sessionStartLocal = std::tm{};
  for (int i = 0; i < gStats.count; ++i) {
    gStats.STATS[i].firstTime = t;
    gStats.STATS[i].lastTime = t;
  }
}

int gstatSample(const char* mnemonic) {
  const char* shown = mnemonic ? mnemonic : "";
  if (gStats.sessionStart == -1)
    return logError(0, "%s: ignoring event '%s', session has not begun", "gstatSample()", shown);
  GstatEntry* e = find(mnemonic);
  if (!e) return logError(0, "%s: mnemo '%s' is not registered", "gstatSample()", shown);
  const int64_t t = now();
  e->lastTime = t;
  if (e->count == 0) e->firstTime = t;
  ++e->count;
  logDebug(5, "[%d,%.2f] %s %d", gFrameCounter ? *gFrameCounter : 0, tmTime, shown, e->count);
  return 1;
}

int gstatPreload(int writeBinary) {
  (void)writeBinary;  // the names are built in; there is no file to rewrite
  logDebug(2, "at gstatInit()");
  gstatInit();
  int failed = 0;
  for (const StatName& s : kTableStats) {
    if (!gstatAdd(s.mnemonic, utf8ToCp1251(s.description).c_str())) failed = 1;
  }
  return failed ? -1 : 0;
}

int gstatCount(const char* mnemonic) {
  const GstatEntry* e = find(mnemonic);
  return e ? e->count : -1;
}

const GstatEntry* gstatFind(const char* mnemonic) { return find(mnemonic); }

void gstatLog() {
  for (int i = 0; i < gStats.count; ++i)
    logPrint("%s\t%d", gStats.STATS[i].mnemonic, gStats.STATS[i].count);
}

int gstatWriteFile(const char* path) {
  std::unique_ptr<FILE, FileCloser> f(path ? std::fopen(path, "w") : nullptr);
  if (!f) return logError(0, "%s: error creating file '%s'", "gstatWriteFile()", path ? path : "");
  bool ok = true;
  for (int i = 0; i < gStats.count; ++i) {
    if (std::fprintf(f.get(), "%s\t%d\n", gStats.STATS[i].mnemonic, gStats.STATS[i].count) < 0)
      ok = false;
  }
  if (std::fclose(f.release()) != 0) ok = false;
  if (!ok) return logError(0, "%s: error writing file '%s'", "gstatWriteFile()", path);
  return 1;
}

void gstatSetFrameCounter(const int* counter) { gFrameCounter = counter; }

void gstatSetClock(int64_t (*clock)()) { gClock = clock; }
