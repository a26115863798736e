// The menu on the shipped data, in this process on a screen in memory,
// driven like a player drives it: a hook on the event queue looks at the
// page on show and posts the mouse and keyboard events a player would.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/conf.h"
#include "core/log.h"
#include "core/mem.h"
#include "core/time.h"
#include "frontend/hof.h"
#include "frontend/menu.h"
#include "frontend/menu_internal.h"
#include "gfx/font.h"
#include "gfx/hotarea.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "platform/audio.h"
#include "platform/gdev.h"
#include "sound/fx.h"
#include "support/gamecopy.h"
#include "support/menu_player.h"
#include "support/testutil.h"

namespace {

using namespace menuplayer;

struct MenuPlay : ::testing::Test {
  TempDir dir;
  std::optional<ScopedChdir> cd;
  gscr scr{};
  GdevDevice device{};
  GdevDC* display = nullptr;
  std::function<void()> drive;  // runs at every read of the event queue
  int reads = 0;
  std::vector<int> sessions;    // the regimes of the games started
  std::vector<int> pages;       // the pages shown, in order

  static MenuPlay*& current() {
    static MenuPlay* p = nullptr;
    return p;
  }

  static void hook(void*) {
    MenuPlay* t = current();
    if (!t) return;
    // A menu that never ends fails the test instead of hanging it.
    if (++t->reads > 40000) {
      if (t->reads == 40001) ADD_FAILURE() << "the menu did not end";
      pressEscape();
      return;
    }
    int page = menuCurrentPage();
    if (page != CTL_NONE && (t->pages.empty() || t->pages.back() != page)) t->pages.push_back(page);
    if (t->drive) t->drive();
  }

  static int session(const char*, int, int, int regime) {
    current()->sessions.push_back(regime);
    current()->pages.push_back(-100);  // the game, between two pages
    return 0;
  }

  void SetUp() override {
    makeGameCopy(dir.path, false);
    // Configuration the test may edit: a folder of copies.
    const std::string conf = dir.file("conf");
    ASSERT_EQ(unlink(conf.c_str()), 0);
    ASSERT_EQ(mkdir(conf.c_str(), 0755), 0);
    DIR* d = opendir((std::string(PB_GAME_DIR) + "/conf").c_str());
    ASSERT_NE(d, nullptr);
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') copyFile(std::string(PB_GAME_DIR) + "/conf/" + e->d_name, conf + "/" + e->d_name);
    closedir(d);
    cd.emplace(dir.path);
    logReset();
    logPrint("LOG_CREATE #report.txt");
    logPrint("menu test");  // the file's first line: later lines append
    logSetDebugLevel(3);
    memInit();
    tmInit();
    tmSetTime(0);
    tmSetRate(60, 0);
    tmSetTurbo(1);
    gsBuildBlendTable();
    audioSetOutput(AUDIO_OUTPUT_NONE);
    ASSERT_EQ(fxInit(0), 1);
    setupMusic();
    ASSERT_EQ(gsCreateMemoryScreen(&scr, &device, &display, 800, 600, 16), 1);
    gsSelect(&scr);
    gdevFlushEvents(GDEV_EVT_EVERY);
    hofDefaults();
    current() = this;
    menuSetSession(session);
    gdevSetInputHook(hook, nullptr);
  }

  void TearDown() override {
    gdevSetInputHook(nullptr, nullptr);
    menuSetSession(nullptr);
    current() = nullptr;
    gdevFlushEvents(GDEV_EVT_EVERY);
    gsSelect(nullptr);
    gsRelease(&scr);
    gdevDestroyDC(display);
    fxShutdown();
    audioSetOutput(AUDIO_OUTPUT_DEVICE);
    SPR_FREE_ALL();
    hofDefaults();
    tmSetTurbo(0);
    logReset();
  }

  // Rewrites a line "key = ..." of conf/menu.conf, or drops it (empty value).
  void setMenuKey(const std::string& key, const std::string& value) {
    std::string text = readFile(dir.file("conf/menu.conf")), out;
    size_t pos = 0;
    bool found = false;
    while (pos < text.size()) {
      size_t end = text.find('\n', pos);
      std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
      pos = end == std::string::npos ? text.size() : end + 1;
      if (line.rfind(key + " =", 0) == 0) {
        found = true;
        if (value.empty()) continue;
        line = key + " = " + value;
      }
      out += line + "\n";
    }
    ASSERT_TRUE(found || value.empty()) << key;
    writeFile(dir.file("conf/menu.conf"), out);
  }

  int runMenu() {
    EXPECT_EQ(MENU_PRELOAD(0), 0);
    return MENU(0, 0);
  }

  std::string log() const { return readFile(dir.file("#report.txt")); }
};

// The main page's buttons start to appear appear_shift ms apart; with the
// default settings (the keys missing) that is 50 ms, and a larger shift
// moves them apart by as much.
TEST_F(MenuPlay, MainPageButtonsAppearOneShiftApart) {
  struct Case {
    const char* shift;  // "" drops the key
    double expected;
  };
  for (Case c : {Case{"", 50.0}, Case{"100", 100.0}}) {
    SCOPED_TRACE(c.shift);
    copyFile(std::string(PB_GAME_DIR) + "/conf/menu.conf", dir.file("conf/menu.conf"));
    setMenuKey("anim_delay", "");
    setMenuKey("click_shift", "");
    setMenuKey("appear_shift", c.shift[0] ? c.shift : "");
    std::vector<double> shown(4, -1);
    drive = [&] {
      if (menuCurrentPage() != CTL_MAIN) return;
      for (int i = 0; i < 4 && i < gMenuPage.count; i++)
        if (shown[i] < 0 && gMenuPage.elements[i].state != MS_HIDDEN) shown[i] = tmTime;
      if (menuPageSettled()) pressEscape();
    };
    ASSERT_EQ(runMenu(), 0);
    for (int i = 1; i < 4; i++) EXPECT_NEAR(shown[i] - shown[i - 1], c.expected, 1e-6) << "button " << i;
  }
}

// While the other buttons still appear, a click on one that is already
// there changes nothing; once all are there, the same click is taken.
TEST_F(MenuPlay, ClickWhileOthersAppearDoesNothing) {
  int phase = 0, quiet = 0;
  drive = [&] {
    if (menuCurrentPage() != CTL_MAIN) return;
    const MenuElement& first = gMenuPage.elements[0];
    if (phase == 0 && first.state == MS_IDLE && menuBusy()) {
      clickElement(gMenuPage.elements[0].name);
      phase = 1;
    } else if (phase == 1) {
      // The three events of the click are read over the next frames.
      EXPECT_NE(first.state, MS_DIS_ACTIVE);
      EXPECT_EQ(gMenuPage.result, CTL_NONE);
      if (++quiet == 4) phase = 2;
    } else if (phase == 2 && menuPageSettled()) {
      clickElement("ma_btn_quit");
      phase = 3;
    }
  };
  ASSERT_EQ(runMenu(), 0);
  EXPECT_EQ(phase, 3);
  EXPECT_EQ(pages, (std::vector<int>{CTL_MAIN}));
  EXPECT_TRUE(sessions.empty());
}

// The keyboard: Down lights the first button and Enter takes it; Escape
// goes back from the regime page to the main page and quits from there.
TEST_F(MenuPlay, EscapeReturnsFromRegimePageAndQuitsFromMainPage) {
  int mainVisits = 0;
  int lastPage = CTL_NONE;
  drive = [&] {
    int page = menuCurrentPage();
    if (page != lastPage && page == CTL_MAIN) mainVisits++;
    lastPage = page;
    if (!menuPageSettled()) return;
    if (page == CTL_MAIN && mainVisits == 1) {
      if (gMenuPage.elements[0].state != MS_LIT) {
        pressDown();
      } else {
        pressEnter();
      }
    } else {
      pressEscape();
    }
  };
  ASSERT_EQ(runMenu(), 0);
  EXPECT_EQ(pages, (std::vector<int>{CTL_MAIN, CTL_REGIME, CTL_MAIN}));
  EXPECT_TRUE(sessions.empty());
}

// A regime button starts a game in its regime; after it the menu loads its
// data again and shows the main page.
TEST_F(MenuPlay, GameFromRegimePageReturnsToMainPageWithDataReloaded) {
  drive = [&] {
    if (!menuPageSettled()) return;
    if (menuCurrentPage() == CTL_MAIN && sessions.empty())
      clickElement("ma_btn_start");
    else if (menuCurrentPage() == CTL_REGIME)
      clickElement("re_btn_demo");
    else
      pressEscape();
  };
  ASSERT_EQ(runMenu(), 0);
  EXPECT_EQ(sessions, (std::vector<int>{1}));
  EXPECT_EQ(pages, (std::vector<int>{CTL_MAIN, CTL_REGIME, -100, CTL_MAIN}));
  std::string text = log();
  size_t first = text.find("at load_button('ma_btn_start')");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(text.find("at load_button('ma_btn_start')", first + 1), std::string::npos) << "reloaded after the game";
}

// A control value no page knows is reported and leads to the main page.
TEST_F(MenuPlay, UnknownControlValueLeadsToTheMainPage) {
  for (int ctl : {2, 6, 7, 11, 99}) {
    EXPECT_EQ(menuDispatch(ctl, 0), CTL_NONE) << ctl;
    EXPECT_NE(log().find("MENU(): unknown ctl " + std::to_string(ctl) + ", resetting to -1, SE"),
              std::string::npos);
  }
  EXPECT_TRUE(sessions.empty());
}

// A button with a sprite missing stops the menu with the whole chain.
TEST_F(MenuPlay, MissingButtonSpriteFailsTheMenu) {
  // data/ and data/menu/ as folders of links, without one sprite.
  const std::string built = std::string(PB_GAME_DIR) + "/data";
  ASSERT_EQ(unlink(dir.file("data").c_str()), 0);
  ASSERT_EQ(mkdir(dir.file("data").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(dir.file("data/menu").c_str(), 0755), 0);
  for (const std::string sub : {"", "menu"}) {
    DIR* d = opendir((built + (sub.empty() ? "" : "/" + sub)).c_str());
    ASSERT_NE(d, nullptr);
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name[0] == '.' || (sub.empty() && name == "menu") || name == "re-btn-dict-disnact.gsp") continue;
      std::string rel = (sub.empty() ? "" : sub + "/") + name;
      ASSERT_EQ(symlink((built + "/" + rel).c_str(), dir.file("data/" + rel).c_str()), 0);
    }
    closedir(d);
  }
  drive = [] { pressEscape(); };
  EXPECT_EQ(runMenu(), -1);
  std::string text = log();
  for (const char* line : {"LOADSPR(): error loading sprite 'data/menu/re-btn-dict-disnact.gsp'",
                           "LOAD_BUTTON(): error loading button 're_btn_dict' sprite(s)",
                           "MENU_LOAD(): error loading element sprites", "MENU(): error loading data"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  EXPECT_EQ(pages, std::vector<int>{});
}

// The objects of a board string: glyphs of the font on row y, left of (or
// from) x.
struct Row {
  int count = 0;
  int left = 1 << 30, right = -(1 << 30);
};
Row rowOf(const Sprite* glyphs, int y) {
  Row r;
  for (int i = 0; i < vbCurrent->used; i++) {
    const VBOBJ& o = vbCurrent->objects[i];
    if (!o.inUse || o.dead || o.sprite != glyphs || o.y != y) continue;
    r.count++;
    r.left = std::min(r.left, o.x);
    r.right = std::max(r.right, o.x);
  }
  return r;
}

// The champions page lists the hall of fame: names right-aligned before
// "champ.name_x", scores in the score format from "champ.score_x".
TEST_F(MenuPlay, ChampionsPageShowsTheHallOfFame) {
  hofSetEntry(0, "Tester", 1234567);
  hofSetEntry(1, "Second", 900);
  ConfSet conf{};
  ASSERT_EQ(CONF_READ(&conf, "conf/menu.conf"), 0);
  const int firstY = conf_getint(&conf, "champ.firstname_y", -1), step = conf_getint(&conf, "champ.name_ystep", -1);
  const int nameX = conf_getint(&conf, "champ.name_x", -1), scoreX = conf_getint(&conf, "champ.score_x", -1);
  conf_free(&conf);
  Row name0, score0, name1, score1;
  bool seen = false;
  drive = [&] {
    if (!menuPageSettled()) return;
    if (menuCurrentPage() == CTL_MAIN && !seen) {
      clickElement("ma_btn_top");
    } else if (menuCurrentPage() == CTL_CHAMP) {
      for (int i = 0; i < FNT_MAX; i++) {
        if (!FONTS[i].inUse) continue;
        if (std::strcmp(FONTS[i].name, "plain16") == 0) {
          name0 = rowOf(FONTS[i].chars, firstY);
          name1 = rowOf(FONTS[i].chars, firstY + step);
        }
        if (std::strcmp(FONTS[i].name, "mach18xgold") == 0) {
          score0 = rowOf(FONTS[i].chars, firstY);
          score1 = rowOf(FONTS[i].chars, firstY + step);
        }
      }
      seen = true;
      pressEscape();
    } else {
      pressEscape();
    }
  };
  ASSERT_EQ(runMenu(), 0);
  ASSERT_TRUE(seen);
  EXPECT_EQ(name0.count, 6);  // "Tester"
  EXPECT_LT(name0.right, nameX);
  EXPECT_EQ(score0.count, 9);  // "1.234.567"
  EXPECT_EQ(score0.left, scoreX);
  EXPECT_EQ(name1.count, 6);
  EXPECT_EQ(score1.count, 3);  // "900"
  EXPECT_EQ(pages, (std::vector<int>{CTL_MAIN, CTL_CHAMP, CTL_MAIN}));
}

// The credits turn after each screen's delay, at once on Space, and start
// over after the last screen.
TEST_F(MenuPlay, CreditsTurnAfterTheirDelayOnSpaceAndStartOver) {
  ConfSet credits{};
  ASSERT_EQ(CONF_READ(&credits, "conf/credits.conf"), 0);
  const int delay0 = conf_getint(&credits, "screen0.delay", -1);
  conf_free(&credits);
  ASSERT_GT(delay0, 0);
  std::vector<std::pair<int, double>> shown;  // screen, time
  bool spaced = false;
  drive = [&] {
    int page = menuCurrentPage();
    if (page == CTL_CREDITS) {
      int screen = menuCreditsScreen();
      if (shown.empty() || shown.back().first != screen) shown.push_back({screen, tmTime});
      if (screen == 1 && !spaced) {
        press(SCAN_SPACE, 32);
        spaced = true;
      }
      if (shown.size() >= 2 && shown.back().first == 0 && !menuBusy()) pressEscape();
      return;
    }
    if (page == CTL_MAIN && menuPageSettled()) {
      if (shown.empty())
        clickElement("ma_btn_cred");
      else
        pressEscape();
    }
  };
  ASSERT_EQ(runMenu(), 0);
  ASSERT_GE(shown.size(), 4u);
  EXPECT_EQ(shown[0].first, 0);
  EXPECT_EQ(shown[1].first, 1);
  // Screen 0 stays its own delay: not a frame less, at most a frame more.
  EXPECT_GE(shown[1].second - shown[0].second, delay0);
  EXPECT_LT(shown[1].second - shown[0].second, delay0 + 1000.0 / 60 + 1e-6);
  // Space turns screen 1 within a few frames.
  EXPECT_EQ(shown[2].first, 2);
  EXPECT_LT(shown[2].second - shown[1].second, 100.0);
  EXPECT_EQ(shown.back().first, 0);
  EXPECT_EQ(pages, (std::vector<int>{CTL_MAIN, CTL_CREDITS, CTL_MAIN}));
}

}  // namespace
