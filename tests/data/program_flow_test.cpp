// The whole program as a player goes through it, in this process on SDL's
// dummy video driver with the shipped data: the logos, the menu, a game in
// each regime played to its end, the name typed into the hall of fame, the
// champions page; then a second start that shows the same table. A hook on
// the event queue plays the player: it looks at what is on the screen and
// posts the keyboard and mouse events a player would.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/conf.h"
#include "core/log.h"
#include "core/text.h"
#include "core/time.h"
#include "frontend/hof.h"
#include "frontend/menu_internal.h"
#include "frontend/pause.h"
#include "game/game.h"
#include "gfx/font.h"
#include "gfx/hotarea.h"
#include "gfx/vboard.h"
#include "main/main.h"
#include "main/session.h"
#include "platform/gdev.h"
#include "support/gamecopy.h"
#include "support/menu_player.h"
#include "support/testutil.h"

namespace {

using namespace menuplayer;

// What the player does and what the player saw.
struct Player {
  std::vector<std::string> names;  // typed at the end of each game (UTF-8)
  int games = 0;                   // games started
  bool logosSkipped = false;
  bool wantChampions = false;      // after the games: the champions page
  bool sawChampions = false;
  std::vector<std::string> champions;  // the names on the champions page
  std::vector<int> scores;             // each game's final score
  std::vector<int> regimes;            // each game's regime
  int reads = 0;
  int launchFrame = -1;
  bool inGame = false, leaving = false, typed = false;
};

Player* gPlayer = nullptr;

// Reads the names the champions page lists from its board strings: the
// hall of fame the page was made from is the one in memory, and the page
// shows each row of it.
void noteChampions(Player* p) {
  ConfSet conf{};
  ASSERT_EQ(CONF_READ(&conf, "conf/menu.conf"), 0);
  const int firstY = conf_getint(&conf, "champ.firstname_y", -1), step = conf_getint(&conf, "champ.name_ystep", -1);
  const std::string fontName = conf_getstr(&conf, "champ.name_font", "");
  conf_free(&conf);
  const Sprite* glyphs = nullptr;
  for (int i = 0; i < FNT_MAX; i++)
    if (FONTS[i].inUse && fontName == FONTS[i].name) glyphs = FONTS[i].chars;
  ASSERT_NE(glyphs, nullptr);
  p->champions.clear();
  for (int n = 0; n < HOF_ENTRIES; n++) {
    // The row on the page holds one glyph object for each letter of the name.
    int letters = 0;
    for (int i = 0; i < vbCurrent->used; i++) {
      const VBOBJ& o = vbCurrent->objects[i];
      if (o.inUse && !o.dead && o.sprite == glyphs && o.y == firstY + n * step) letters++;
    }
    EXPECT_EQ(letters, static_cast<int>(std::strlen(hofName(n)))) << "row " << n;
    p->champions.push_back(hofName(n));
  }
  p->sawChampions = true;
}

void playerHook(void*) {
  Player* p = gPlayer;
  if (!p) return;
  if (++p->reads > 3000000) {
    if (p->reads == 3000001) ADD_FAILURE() << "the program did not end";
    std::raise(SIGTERM);
    return;
  }
  if (!p->logosSkipped) {
    press(SCAN_ESC, 27);  // Escape skips all the logos
    p->logosSkipped = true;
    return;
  }
  if (gdevTextInputActive()) {  // the name dialog
    if (!p->typed) {
      // The proposal is erased and the name typed.
      for (int i = 0; i < 12; i++) press(SCAN_BACKSPACE, 8);
      gdevFeedText(p->names[static_cast<size_t>(p->games - 1)].c_str());
      press(SCAN_ENTER, 13);
      p->typed = true;
    }
    return;
  }
  if (pauseShowing()) {
    if (p->leaving) {
      press(SCAN_RIGHT, 0);  // the exit choice
      press(SCAN_ENTER, 13);
      p->leaving = false;
    }
    return;
  }
  const int page = menuCurrentPage();
  if (page != CTL_NONE) {
    p->inGame = false;
    if (!menuPageSettled()) return;
    if (page == CTL_MAIN) {
      if (p->games < static_cast<int>(p->names.size()))
        clickElement("ma_btn_start");
      else if (p->wantChampions && !p->sawChampions)
        clickElement("ma_btn_top");
      else
        press(SCAN_ESC, 27);
    } else if (page == CTL_REGIME) {
      // The first regime by the mouse, the others by the keyboard.
      if (p->games == 0) {
        clickElement("re_btn_comm");
      } else {
        int lit = -1;
        for (int i = 0; i < gMenuPage.count; i++)
          if (gMenuPage.elements[i].state == MS_LIT) lit = i;
        if (lit == p->games)
          press(SCAN_ENTER, 13);
        else
          press(SCAN_DOWN, 0);
        if (lit != p->games) return;
      }
      p->games++;
      p->typed = false;
      p->launchFrame = -1;
    } else if (page == CTL_CHAMP) {
      noteChampions(p);
      press(SCAN_ESC, 27);
    } else {
      press(SCAN_ESC, 27);
    }
    return;
  }
  if (p->games == 0) return;
  // In the game: the ball is launched now and then (left Ctrl held about half
  // a second); when the game is over the player leaves through the pause
  // dialog.
  if (!p->inGame) {
    p->inGame = true;
    p->regimes.push_back(game.regime);
  }
  if (game.over) {
    if (p->scores.size() < static_cast<size_t>(p->games)) p->scores.push_back(game.score);
    if (!p->leaving) {
      press(SCAN_ESC, 27);
      p->leaving = true;
    }
    return;
  }
  if (p->launchFrame < 0 || tmFrame >= p->launchFrame + 240) {
    p->launchFrame = tmFrame;
    post(GDEV_EVT_KEYDOWN, SCAN_LCTRL, 0);
  } else if (tmFrame == p->launchFrame + 30) {
    post(GDEV_EVT_KEYUP, SCAN_LCTRL, 0);
  }
}

struct ProgramFlow : ::testing::Test {
  TempDir dir;
  std::optional<ScopedEnv> dataDir;
  std::optional<ScopedChdir> cd;

  void SetUp() override {
    dataDir.emplace("QEL_DATA_DIR", dir.path);
    ASSERT_EQ(mkdir(dir.file("game").c_str(), 0755), 0);
    makeGameCopy(dir.file("game"), false);
    cd.emplace(dir.file("game"));
    gdevSetInputHook(playerHook, nullptr);
  }
  void TearDown() override {
    gdevSetInputHook(nullptr, nullptr);
    gPlayer = nullptr;
    hofSetNameDialog(nullptr);
    hofDefaults();
    gdevClearQuitRequest();
    tmSetTurbo(0);
    logReset();
    cd.reset();
    dataDir.reset();
  }

  int start(Player* p) {
    gPlayer = p;
    const char* args[] = {"pinball", "/w", "/nosnd", "/turbo", "/log"};
    int rc = mainInFolder(5, const_cast<char**>(args));
    gPlayer = nullptr;
    return rc;
  }
  std::string log() const { return readFile(dir.file("game/#report.txt")); }
};

TEST_F(ProgramFlow, LogosMenuAGameInEachRegimeNamesAndTheChampionsPage) {
  Player p;
  p.names = {"Ivan", "Маша", "Petr"};
  p.wantChampions = true;
  ASSERT_EQ(start(&p), 0) << log();
  const std::string report = log();
  EXPECT_NE(report.find("GAME EXITS SUCCESSFULLY"), std::string::npos);
  EXPECT_EQ(p.regimes, (std::vector<int>{0, 1, 2}));
  ASSERT_EQ(p.scores.size(), 3u);
  // Every game scored, so every name entered the (default) table, best first.
  std::vector<std::pair<int, std::string>> expected;
  for (size_t i = 0; i < 3; i++) {
    ASSERT_GT(p.scores[i], 0);
    expected.push_back({p.scores[i], utf8ToCp1251(p.names[i])});
  }
  std::stable_sort(expected.begin(), expected.end(), [](auto& a, auto& b) { return a.first > b.first; });
  for (size_t i = 0; i < 3; i++)
    std::printf("game %zu: regime %d, score %d, name %s\n", i, p.regimes[i], p.scores[i], p.names[i].c_str());
  ASSERT_TRUE(p.sawChampions);
  for (size_t i = 0; i < 3; i++) {
    EXPECT_EQ(p.champions[i], expected[i].second) << i;
    EXPECT_EQ(hofScore(static_cast<int>(i)), expected[i].first) << i;
  }
  EXPECT_EQ(p.champions[3], "---");

  // A second start reads the same table from its file.
  hofDefaults();
  Player again;
  again.logosSkipped = false;
  again.wantChampions = true;
  ASSERT_EQ(start(&again), 0);
  ASSERT_TRUE(again.sawChampions);
  EXPECT_EQ(again.champions, p.champions);
  EXPECT_EQ(again.games, 0);
}

}  // namespace
