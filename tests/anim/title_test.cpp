// Title animations: titles loaded from small configuration files in a
// scratch "titles" folder, played on a memory screen.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "anim/page.h"
#include "anim/title.h"
#include "anim/tv.h"
#include "core/conf.h"
#include "core/log.h"
#include "gfx/font.h"
#include "gfx/gspwrite.h"
#include "physics/opr.h"
#include "platform/sys/sys.h"
#include "support/memscreen.h"
#include "support/testutil.h"

namespace {

// A font whose every character is a 2x3 glyph: a page's glyph count is the
// length of the text it shows.
std::vector<uint8_t> fontBytes() {
  std::vector<uint8_t> rgba;
  for (int i = 0; i < 6; ++i) rgba.insert(rgba.end(), {200, 100, 50, 255});
  std::vector<GspFrameImage> glyphs = {{2, 3, rgba.data(), 0, 0}};
  uint8_t map[FNT_MAP_SIZE];
  std::fill(map, map + FNT_MAP_SIZE, 0);
  std::vector<uint8_t> out;
  EXPECT_EQ(fnpEncode(GSP_CM_565_ALPHA, glyphs, map, &out), 0);
  return out;
}

const char* const kBegin = "[begin]\nexec0 = \"{font load f fonts/f.fnp}\"\n";

std::vector<std::string> gOrder;

struct TitleTest : MemScreen, ::testing::Test {
  TempDir dir;
  void SetUp() override {
    logReset();
    logPrint("STDERR 0");
    gsBuildBlendTable();
    ASSERT_TRUE(openScreen(64, 32));
    ASSERT_EQ(setupTitleContexts(40, 20), 1);
    std::vector<uint8_t> f = fontBytes();
    ASSERT_TRUE(sysMakeDirs());
    writeFile(dir.file("titles/fonts/f.fnp"), std::string(f.begin(), f.end()));
    gOrder.clear();
  }
  void TearDown() override {
    titleUnload();
    objClearInfo();
    titleClearMacros();
    titleSetRegimeName(nullptr);
    pageFreeFonts();
    pageFreeSprites();
    closeScreen();
    logReset();
  }
  bool sysMakeDirs() {
    std::string t = dir.file("titles");
    return ::mkdir(t.c_str(), 0755) == 0 && ::mkdir((t + "/fonts").c_str(), 0755) == 0;
  }
  // Writes titles/NAME.conf and its binary twin (the loader lists the twins).
  void addConf(const std::string& name, const std::string& text) {
    std::string path = dir.file("titles/" + name + ".conf");
    writeFile(path, text);
    ConfSet set{};
    ASSERT_EQ(CONF_READ(&set, path.c_str()), 0) << text;
    ASSERT_EQ(CONF_BINWRITE(&set, dir.file("titles/" + name + ".bcf").c_str()), 0);
    conf_free(&set);
  }
  int load() {
    ScopedChdir cd(dir.path);
    return setupTitleAnimations();
  }
  static int glyphs() {
    PageContext* p = titlePage(TITLE_FORE);
    int n = 0;
    for (int i = 0; i < p->count; ++i) n += p->elements[i].kind == PAGE_GLYPH ? 1 : 0;
    return n;
  }
};

struct Ev {
  int type;
  std::string text;
  int a = 0, b = 0, c = 0;
  bool operator==(const Ev&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Ev& e) {
  return os << "{" << e.type << " '" << e.text << "' " << e.a << "," << e.b << "," << e.c << "}";
}

std::vector<Ev> events(int id, int video) {
  std::vector<Ev> out;
  for (int i = 0; i < titleEventCount(id, video); ++i) {
    Ev e{};
    const char* text = nullptr;
    e.type = titleEvent(id, video, i, &text, &e.a, &e.b, &e.c);
    e.text = text ? text : "";
    if (e.type != TE_DELAY && e.type != TE_CLEAR && e.type != TE_SAMPLE) e.a = e.b = e.c = 0;
    out.push_back(e);
  }
  return out;
}

TEST_F(TitleTest, EventListFollowsStepKeysAndFileWideDefaults) {
  addConf("t",
          "unplot = 1\ndelay = 500\nprefix = \"<\"\nsuffix = \">\"\n"
          "[begin]\nexec0 = \"{font load f fonts/f.fnp}\"\n"
          "[t]\nbegin = \"B\"\nend = \"E\"\nplot0 = \"a\"\nsample0 = \"ding\"\nvolume0 = 50\n"
          "clear1 = \"10,20\"\nunplot1 = 0\nplot1 = \"b\"\ndelay1 = 0\npanning1 = 7\nsample1 = \"dong\"\n"
          "prefix2 = \"[\"\nplotmac2 = \"$(x)\"\nloop3 = 1\nplot3 = \"never\"\n"
          "[video_t]\nplay0 = \"clip\"\nplay1 = \"clip2\"\nloop2 = 1\n"
          "[u]\nplot0 = \"x\"\nplot2 = \"gap\"\n"
          "[samples]\nnote = 1\n");
  EXPECT_EQ(load(), 1);
  int t = titleFind("t");
  ASSERT_GE(t, TITLE_FIRST_ID);
  std::vector<Ev> want = {
      {TE_UNPLOT, ""}, {TE_PLOT, "{reset}"},
      {TE_CLEAR, "", 0, 0, 0}, {TE_UNPLOT, ""}, {TE_PLOT, "B"}, {TE_PLOT, "<a>"},
      {TE_SAMPLE, "<ding>", 50, 0}, {TE_DELAY, "", 500},
      {TE_CLEAR, "", 10, 20, 255}, {TE_PLOT, "<b>"}, {TE_SAMPLE, "<dong>", 50, 7},
      {TE_CLEAR, "", 10, 20, 255}, {TE_PLOTMAC, "$(x)"},
      {TE_CLEAR, "", 10, 20, 255}, {TE_LOOP, ""},
      {TE_PLOT, "E"}};
  EXPECT_EQ(events(t, 0), want);
  EXPECT_EQ(events(t, 1), (std::vector<Ev>{{TE_PLAY, "clip"}, {TE_PLAY, "clip2"}, {TE_LOOP, ""}}));
  // A missing step ends the list: "u" has one page, the defaults of the file.
  int u = titleFind("u");
  EXPECT_EQ(events(u, 0), (std::vector<Ev>{{TE_UNPLOT, ""}, {TE_PLOT, "{reset}"}, {TE_CLEAR, ""}, {TE_UNPLOT, ""},
                                          {TE_PLOT, "<x>"}, {TE_DELAY, "", 500}, {TE_CLEAR, ""}, {TE_UNPLOT, ""}}));
  EXPECT_TRUE(events(u, 1).empty());
  EXPECT_EQ(titleFind("begin"), -1);
  EXPECT_EQ(titleFind("video_t"), -1);
  EXPECT_EQ(titleFind("samples"), -1);  // the title samples' section
  EXPECT_EQ(titleFind("nope"), -1);
}

TEST_F(TitleTest, BadFileFailsAndTheOthersStillLoad) {
  writeFile(dir.file("titles/bad.bcf"), "not a binary configuration");
  addConf("good", std::string(kBegin) + "[g]\nplot0 = \"x\"\n");
  StderrCapture err;
  logPrint("STDERR 1");
  EXPECT_EQ(load(), 0);
  std::string text = err.finish();
  EXPECT_NE(text.find("bad.conf"), std::string::npos) << text;
  EXPECT_GE(titleFind("g"), TITLE_FIRST_ID);
}

TEST_F(TitleTest, NoConfigurationIsAnError) {
  EXPECT_EQ(load(), 0);
}

TEST_F(TitleTest, PlotOnlyTitlePlaysOncePageAndEndsAtNextUpdate) {
  addConf("t", std::string(kBegin) + "[once]\nplot0 = \"{font select f}ABC\"\n");
  ASSERT_EQ(load(), 1);
  int id = startForeTitle("once");
  ASSERT_GE(id, TITLE_FIRST_ID);
  titleEndCallbackOnce([] { gOrder.push_back("end"); });
  EXPECT_EQ(titleUpdate(0, 0, 16), 1);
  EXPECT_EQ(titlePlaying(TITLE_FORE), id);
  EXPECT_EQ(glyphs(), 3);
  EXPECT_TRUE(gOrder.empty());
  EXPECT_EQ(titleUpdate(0, 0, 16), 1);
  EXPECT_EQ(titlePlaying(TITLE_FORE), -1);
  EXPECT_EQ(gOrder, std::vector<std::string>{"end"});
  EXPECT_EQ(titleUpdate(0, 0, 16), 0);
  EXPECT_EQ(gOrder.size(), 1u);
}

TEST_F(TitleTest, DelaysHoldPagesForTheirTime) {
  addConf("t", std::string(kBegin) + "[d]\nplot0 = \"{font select f}A\"\ndelay0 = 100\nplot1 = \"B\"\ndelay1 = 50\n");
  ASSERT_EQ(load(), 1);
  ASSERT_GE(startForeTitle("d"), 0);
  titleUpdate(0, 0, 0);
  EXPECT_EQ(glyphs(), 1);
  titleUpdate(0, 0, 99);
  EXPECT_EQ(glyphs(), 1);
  titleUpdate(0, 0, 1);
  EXPECT_EQ(glyphs(), 2);
  titleUpdate(0, 0, 49);
  EXPECT_NE(titlePlaying(TITLE_FORE), -1);
  // The delay is over: the events left (the clear of the missing step) run,
  // and the title ends at the next update.
  titleUpdate(0, 0, 1);
  EXPECT_NE(titlePlaying(TITLE_FORE), -1);
  titleUpdate(0, 0, 0);
  EXPECT_EQ(titlePlaying(TITLE_FORE), -1);
}

TEST_F(TitleTest, NewForegroundTitleEndsThePlayingOneFirst) {
  addConf("t", std::string(kBegin) + "[a]\nplot0 = \"A\"\ndelay0 = 1000\n[b]\nplot0 = \"B\"\ndelay0 = 1000\n");
  ASSERT_EQ(load(), 1);
  titleSetEndFunction(TITLE_FORE, [] { gOrder.push_back("endfn"); });
  int a = startForeTitle("a");
  ASSERT_GE(a, 0);
  titleEndCallbackOnce([] {
    gOrder.push_back("a-end playing=" + std::to_string(titlePlaying(TITLE_FORE)));
    // While its end callbacks run, the context starts nothing.
    gOrder.push_back("restart=" + std::to_string(startForeTitle("a")));
  });
  titleUpdate(0, 0, 16);
  int b = startForeTitle("b");
  ASSERT_GE(b, 0);
  EXPECT_NE(a, b);
  EXPECT_EQ(titlePlaying(TITLE_FORE), b);
  EXPECT_EQ(gOrder, (std::vector<std::string>{"endfn", "a-end playing=-1", "restart=-1"}));
  // The one-shot callback went with "a"; "b" ends with the end function only.
  titleUpdate(0, 0, 16);
  titleUpdate(0, 0, 1000);
  titleUpdate(0, 0, 16);
  EXPECT_EQ(titlePlaying(TITLE_FORE), -1);
  EXPECT_EQ(gOrder.size(), 4u);
  EXPECT_EQ(gOrder.back(), "endfn");
}

TEST_F(TitleTest, UnknownTitleAndCallbackWithoutTitle) {
  addConf("t", std::string(kBegin) + "[a]\nplot0 = \"A\"\n");
  ASSERT_EQ(load(), 1);
  StderrCapture err;
  logPrint("STDERR 1");
  EXPECT_EQ(startForeTitle("nope"), -1);
  titleEndCallbackOnce([] { gOrder.push_back("ran"); });
  std::string text = err.finish();
  EXPECT_NE(text.find("startForeTitle(): title name 'nope' is not found"), std::string::npos) << text;
  EXPECT_NE(text.find("titleEndCallbackOnce(): no active title"), std::string::npos) << text;
  // Not stored: the next title's end does not run it.
  ASSERT_GE(startForeTitle("a"), 0);
  titleUpdate(0, 0, 1);
  titleUpdate(0, 0, 1);
  EXPECT_EQ(titlePlaying(TITLE_FORE), -1);
  EXPECT_TRUE(gOrder.empty());
}

TEST_F(TitleTest, PlotMacroPageShowsTheCurrentValueEachDraw) {
  addConf("t", std::string(kBegin) +
                   "[s]\nplotmac0 = \"{font select f}$(score)|$(score )\"\ndelay0 = 1000\n");
  ASSERT_EQ(load(), 1);
  titleSetMacro("score", "1");
  ASSERT_GE(startForeTitle("s"), 0);
  titleUpdate(0, 0, 16);
  const int spaced = static_cast<int>(std::string("|$(score )").size());
  EXPECT_EQ(glyphs(), 1 + spaced);
  titleSetMacro("score", "12345");
  EXPECT_EQ(titleUpdate(0, 0, 16), 1);
  EXPECT_EQ(glyphs(), 5 + spaced);
  // Unchanged value: nothing to draw again.
  EXPECT_EQ(titleUpdate(0, 0, 16), 0);
  titleSetMacro("score", "");
  titleUpdate(0, 0, 16);
  EXPECT_EQ(glyphs(), spaced);
}

TEST_F(TitleTest, EvalMacroEdgeCases) {
  titleSetMacro("x", "V");
  const std::string name31(31, 'n'), name32(32, 'n');
  titleSetMacro(name31.c_str(), "L");
  struct Case {
    std::string text, want, message;
  } cases[] = {
      {"a$(x)b$(x)", "aVbV", ""},
      {"$$(x)", "$V", ""},
      {"$x and $", "$x and $", ""},
      {"$(x", "$(x", ""},
      {"$(x )", "$(x )", ""},
      {"$(nope)", "$(nope)", "evalMacro(): can't evaluate macro 'nope' num_macros-2"},
      {"$(" + name31 + ")", "L", ""},
      {"$(" + name32 + ")", "$(" + name32 + ")", "macro name '" + name32 + "' too long (32 > 31)"},
  };
  for (const Case& c : cases) {
    StderrCapture err;
    logPrint("STDERR 1");
    char out[TITLE_TEXT];
    EXPECT_STREQ(evalMacro(c.text.c_str(), out, sizeof out), c.want.c_str()) << c.text;
    std::string text = err.finish();
    logPrint("STDERR 0");
    if (c.message.empty())
      EXPECT_EQ(text, "") << c.text;
    else
      EXPECT_NE(text.find(c.message), std::string::npos) << c.text << ": " << text;
  }
  // A too long name cannot be set either.
  titleSetMacro(name32.c_str(), "W");
  EXPECT_EQ(titleMacro(name32.c_str()), nullptr);
}

// A long text is shown a page at a time: lines picked out of it keep their
// separators between them, and a cut never leaves half a separator (which
// would draw as a backslash).
TEST(TitleLines, PicksLinesOfAPageText) {
  struct Case {
    const char* text;
    int first, count, size;
    const char* want;
  } cases[] = {
      {nullptr, 0, 2, 16, ""},
      {"", 0, 2, 16, ""},
      {"one", 0, 1, 16, "one"},
      {"one", 0, 2, 16, "one"},  // count runs past the last line
      {"one", 1, 1, 16, ""},     // first past the last line
      {"a\\nb", 0, 2, 16, "a\\nb"},
      {"a\\nb", 1, 2, 16, "b"},
      {"a\\nb", 2, 1, 16, ""},
      {"a\\nb\\nc", 0, 2, 16, "a\\nb"},
      {"a\\nb\\nc", 2, 2, 16, "c"},
      {"a\\nb\\nc\\nd", 0, 2, 16, "a\\nb"},
      {"a\\nb\\nc\\nd", 2, 2, 16, "c\\nd"},
      {"a\\nb\\nc\\nd", 1, 2, 16, "b\\nc"},
      {"a\\nb\\nc\\nd", 3, 9, 16, "d"},
      {"a\\nb\\nc\\nd", 4, 1, 16, ""},
      {"a\\nb\\nc\\nd", 0, 0, 16, ""},
      {"a\\nb\\nc\\nd", 0, -1, 16, ""},
      {"a\\nb\\nc\\nd", -1, 2, 16, ""},
      {"a\\n\\nb", 1, 1, 16, ""},  // an empty line is a line
      {"a\\n\\nb", 1, 2, 16, "\\nb"},
      // A backslash before anything but n is text.
      {"a\\b\\nc", 0, 1, 16, "a\\b"},
      {"a\\b\\nc", 1, 1, 16, "c"},
      {"x\\", 0, 1, 16, "x\\"},
      // Cut to size - 1 characters.
      {"abcdef", 0, 1, 4, "abc"},
      {"abc", 0, 1, 1, ""},
      {"ab\\ncd", 0, 2, 4, "ab"},  // the cut falls inside the separator
      {"ab\\ncd", 0, 2, 6, "ab\\nc"},
      {"ab\\ncd", 1, 1, 2, "c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text ? c.text : "(null)") + " first " + std::to_string(c.first) + " count " +
                 std::to_string(c.count) + " size " + std::to_string(c.size));
    char out[24];
    std::fill(out, out + sizeof out, '#');
    EXPECT_EQ(titleLines(c.text, c.first, c.count, out, c.size), out);
    EXPECT_STREQ(out, c.want);
    EXPECT_TRUE(std::all_of(out + c.size, out + sizeof out, [](char ch) { return ch == '#'; }))
        << "written past size";
  }
}

TEST_F(TitleTest, IdleBackgroundTitleStartsAfter2000ms) {
  addConf("t", std::string(kBegin) + "[score_demo]\nplot0 = \"S\"\ndelay0 = 500\nloop1 = 1\n[f]\nplot0 = \"F\"\n");
  ASSERT_EQ(load(), 1);
  titleSetRegimeName([] { return "demo"; });
  titleFrame(1000);
  titleFrame(1000);
  EXPECT_EQ(titlePlaying(TITLE_BACK), -1);
  titleFrame(0.5);
  EXPECT_EQ(titlePlaying(TITLE_BACK), titleFind("score_demo"));
  // It loops until ended; a foreground title takes the frames meanwhile.
  for (int i = 0; i < 10; ++i) titleFrame(300);
  EXPECT_EQ(titlePlaying(TITLE_BACK), titleFind("score_demo"));
}

TEST_F(TitleTest, IdleTimeRestartsAfterATitle) {
  addConf("t", std::string(kBegin) + "[score_demo]\nplot0 = \"S\"\ndelay0 = 500\n[f]\nplot0 = \"F\"\n");
  ASSERT_EQ(load(), 1);
  titleSetRegimeName([] { return "demo"; });
  titleFrame(1900);
  ASSERT_GE(startForeTitle("f"), 0);
  titleFrame(16);
  titleFrame(16);  // "f" ends
  EXPECT_EQ(titlePlaying(TITLE_FORE), -1);
  titleFrame(1999);
  EXPECT_EQ(titlePlaying(TITLE_BACK), -1);
  titleFrame(2);
  EXPECT_GE(titlePlaying(TITLE_BACK), TITLE_FIRST_ID);
}

TEST_F(TitleTest, EndBackEndsOnlyThePlayingBackgroundTitle) {
  addConf("t", std::string(kBegin) + "[bg]\nplot0 = \"S\"\ndelay0 = 500\nloop1 = 1\n[fg]\nplot0 = \"F\"\ndelay0 = 500\n");
  ASSERT_EQ(load(), 1);
  int bg = startBackTitle("bg");
  ASSERT_GE(bg, 0);
  titleSetEndFunction(TITLE_BACK, [] { gOrder.push_back("bg-end"); });
  int fg = titleFind("fg");
  EXPECT_EQ(titleEndBack(fg), 0);
  EXPECT_EQ(titleEndBack(-1), 0);
  titleFrame(16);
  EXPECT_EQ(titlePlaying(TITLE_BACK), bg);
  EXPECT_EQ(titleEndBack(bg), 1);
  titleFrame(16);
  EXPECT_EQ(titlePlaying(TITLE_BACK), -1);
  EXPECT_EQ(gOrder, std::vector<std::string>{"bg-end"});
  EXPECT_EQ(titleEndBack(bg), 0);
}

TEST_F(TitleTest, ExecPageAndTitlePlayFailures) {
  StderrCapture err;
  logPrint("STDERR 1");
  EXPECT_EQ(titlePlay(5), 0);
  EXPECT_EQ(titlePlay(TITLE_FIRST_ID), 0);
  titleUnload();
  EXPECT_EQ(titleExecPage("%s", "x"), 0);
  std::string text = err.finish();
  EXPECT_NE(text.find("titlePlay(): invalid title 5"), std::string::npos) << text;
  EXPECT_NE(text.find("titleExecPage(): no active title"), std::string::npos) << text;
}

}  // namespace

namespace {

TEST_F(TitleTest, TheDisplayIsRedrawnOnlyWhenItsPageOrContextChanges) {
  addConf("t", std::string(kBegin) +
                   "[bg]\nplot0 = \"S\"\ndelay0 = 500\nloop1 = 1\n[fg]\nplot0 = \"FF\"\ndelay0 = 1000\n");
  ASSERT_EQ(load(), 1);
  ASSERT_GE(startBackTitle("bg"), 0);
  EXPECT_EQ(titleFrame(16), 1);  // the first page
  EXPECT_EQ(titleShown(), TITLE_BACK);
  EXPECT_EQ(titleFrame(16), 0);
  EXPECT_EQ(titleFrame(600), 1);  // the loop plots the page again
  ASSERT_GE(startForeTitle("fg"), 0);
  EXPECT_EQ(titleFrame(16), 1);
  EXPECT_EQ(titleShown(), TITLE_FORE);
  EXPECT_EQ(titleFrame(16), 0);
  EXPECT_EQ(titleFrame(1000), 0);  // the page's time is up: the list's tail runs
  EXPECT_EQ(titleFrame(16), 1);    // "fg" ends
  EXPECT_EQ(titlePlaying(TITLE_FORE), -1);
  // The background title shows again although its page did not change.
  EXPECT_EQ(titleFrame(16), 1);
  EXPECT_EQ(titleShown(), TITLE_BACK);
  EXPECT_EQ(titleFrame(16), 0);
}

TEST_F(TitleTest, TheTitlesFolderMayBeALink) {
  // A game folder whose "titles" is a link to a folder elsewhere: the loader
  // comes back to the game folder, not to the link target's parent.
  const std::string game = dir.file("game");
  ASSERT_EQ(::mkdir(game.c_str(), 0755), 0);
  ASSERT_EQ(::symlink(dir.file("titles").c_str(), (game + "/titles").c_str()), 0);
  addConf("t", std::string(kBegin) + "[a]\nplot0 = \"A\"\n");
  ScopedChdir cd(game);
  const std::string before = sysCurrentDir();
  EXPECT_EQ(setupTitleAnimations(), 1);
  EXPECT_EQ(sysCurrentDir(), before);
  EXPECT_GE(titleFind("a"), 0);
}

// The panel on the table: a small page shown at half its size.
struct TvTest : TitleTest {
  TvGeometry g{10, 8, 20, 10, 40, 20, -1};
  void TearDown() override {
    tvFree();
    TitleTest::TearDown();
  }
  uint32_t bg(int x, int y) const { return gdevReadPixel(background, x, y); }
  uint32_t shown(int x, int y) const { return gdevReadPixel(screen.dc, x, y); }
};

TEST_F(TvTest, ThePanelIsDrawnIntoTheBackgroundOnlyWhenTheTitlesChanged) {
  addConf("t", std::string(kBegin) + "[a]\nplot0 = \"{font select f}AAAA\"\ndelay0 = 1000\n");
  ASSERT_EQ(load(), 1);
  ASSERT_EQ(tvSetup(&g), 1);
  EXPECT_EQ(tvDrawCount(), 1);  // the dark glass
  int r, gr, b;
  gdevUnpackRGB(&background->format, bg(g.x - TV_FRAME, g.y - TV_FRAME), &r, &gr, &b);
  EXPECT_GT(r, 64) << "the frame's bevel";
  EXPECT_EQ(bg(g.x - TV_FRAME - 1, g.y), 0u) << "nothing outside the frame";
  ASSERT_GE(startForeTitle("a"), 0);

  auto frame = [](double dt) {
    vbRestore(0);
    int drew = tvFrame(dt);
    vbDraw();
    return drew;
  };
  EXPECT_EQ(frame(16), 1);
  EXPECT_EQ(tvDrawCount(), 2);
  // The glyphs show on the panel, and the screen got the background's panel.
  int lit = 0;
  for (int y = g.y; y < g.y + g.height; y++)
    for (int x = g.x; x < g.x + g.width; x++) {
      lit += bg(x, y) != 0;
      ASSERT_EQ(shown(x, y), bg(x, y)) << x << "," << y;
    }
  EXPECT_GT(lit, 0);
  // Nothing changed: nothing drawn, and the panel's object covers nothing.
  gdevMakeCurrent(screen.dc);
  gdevSetColor(0);
  gdevFillRect(g.x, g.y, g.width, g.height);
  EXPECT_EQ(frame(16), 0);
  EXPECT_EQ(frame(16), 0);
  EXPECT_EQ(tvDrawCount(), 2);
  EXPECT_EQ(shown(g.x + g.width / 2, g.y + g.height / 2), 0u) << "no copy to the screen";
  // A replaced background gets its panel again.
  tvInvalidate();
  EXPECT_EQ(frame(16), 1);
  EXPECT_EQ(tvDrawCount(), 3);
}

TEST(TvRender, EachPanelPixelIsTheMeanOfThePagePixelsItCovers) {
  GdevDC* page = gdevCreateMemoryDC(4, 2, 32, nullptr);
  GdevDC* panel = gdevCreateMemoryDC(5, 3, 32, nullptr);
  ASSERT_TRUE(page && panel);
  auto px = [](GdevDC* dc, int r, int g, int b) { return gdevPackRGB(&dc->format, r, g, b); };
  const int rgb[2][4][3] = {{{0, 0, 0}, {200, 100, 40}, {100, 100, 100}, {100, 100, 100}},
                            {{40, 20, 0}, {160, 80, 0}, {100, 100, 100}, {0, 0, 0}}};
  for (int y = 0; y < 2; y++)
    for (int x = 0; x < 4; x++) gdevWritePixel(page, x, y, px(page, rgb[y][x][0], rgb[y][x][1], rgb[y][x][2]));

  tvRender(page, panel, 1, 1, 2, 1, -1);
  EXPECT_EQ(gdevReadPixel(panel, 1, 1), px(panel, 100, 50, 10));
  EXPECT_EQ(gdevReadPixel(panel, 2, 1), px(panel, 75, 75, 75));
  for (auto [x, y] : {std::pair{0, 1}, {3, 1}, {1, 0}, {1, 2}}) EXPECT_EQ(gdevReadPixel(panel, x, y), 0u);

  // Clipped at the panel's left edge: only the right half lands.
  gdevMakeCurrent(panel);
  gdevSetColor(0);
  gdevFillRect(0, 0, 5, 3);
  tvRender(page, panel, -1, 0, 2, 1, -1);
  EXPECT_EQ(gdevReadPixel(panel, 0, 0), px(panel, 75, 75, 75));
  EXPECT_EQ(gdevReadPixel(panel, 1, 0), 0u);

  // Full size with a grid of 2: the last row and column of each cell at
  // half brightness, the others as on the page.
  tvRender(page, panel, 0, 0, 4, 2, 2);
  EXPECT_EQ(gdevReadPixel(panel, 0, 0), px(panel, 0, 0, 0));
  EXPECT_EQ(gdevReadPixel(panel, 1, 0), px(panel, 100, 50, 20));
  EXPECT_EQ(gdevReadPixel(panel, 2, 0), px(panel, 100, 100, 100));
  EXPECT_EQ(gdevReadPixel(panel, 0, 1), px(panel, 20, 10, 0));
  // Grid 1 is no grid.
  tvRender(page, panel, 0, 0, 4, 2, 1);
  EXPECT_EQ(gdevReadPixel(panel, 1, 0), px(panel, 200, 100, 40));
  gdevDestroyDC(page);
  gdevDestroyDC(panel);
}

}  // namespace

namespace {

std::vector<std::string> gChain;

// A title that ran to its end may start the next one from its callbacks:
// the next plays once they are done, with its own one-shot callback.
TEST_F(TitleTest, ATitleEndingNaturallyMayChainTheNext) {
  addConf("t", std::string(kBegin) + "[a]\nplot0 = \"A\"\ndelay0 = 100\n[b]\nplot0 = \"B\"\ndelay0 = 100\n");
  ASSERT_EQ(load(), 1);
  gChain.clear();
  ASSERT_GE(startForeTitle("a"), 0);
  titleEndCallbackOnce([] {
    gChain.push_back("a ended");
    const int b = startForeTitle("b");
    gChain.push_back(b == titleFind("b") ? "b started" : "b refused");
    titleEndCallbackOnce([] { gChain.push_back("b ended"); });
  });
  for (int i = 0; i < 3 && titlePlaying(TITLE_FORE) != titleFind("b"); ++i) titleUpdate(0, 0, 100);
  EXPECT_EQ(titlePlaying(TITLE_FORE), titleFind("b"));
  EXPECT_EQ(gChain, (std::vector<std::string>{"a ended", "b started"}));
  for (int i = 0; i < 4 && titlePlaying(TITLE_FORE) >= 0; ++i) titleUpdate(0, 0, 100);
  EXPECT_EQ(titlePlaying(TITLE_FORE), -1);
  EXPECT_EQ(gChain, (std::vector<std::string>{"a ended", "b started", "b ended"}));
}

// A step chained with titleEndCallbackOrNow on a title that waits to play
// after such an end runs when that title ends, not at once.
TEST_F(TitleTest, AStepChainedOnAWaitingTitleWaitsForIt) {
  addConf("t", std::string(kBegin) + "[a]\nplot0 = \"A\"\ndelay0 = 100\n[b]\nplot0 = \"B\"\ndelay0 = 100\n");
  ASSERT_EQ(load(), 1);
  gChain.clear();
  titleEndCallbackOrNow(startForeTitle("a"), [] {
    gChain.push_back("a ended");
    titleEndCallbackOrNow(startForeTitle("b"), [] { gChain.push_back("b ended"); });
  });
  EXPECT_TRUE(gChain.empty());
  for (int i = 0; i < 3 && titlePlaying(TITLE_FORE) != titleFind("b"); ++i) titleUpdate(0, 0, 100);
  EXPECT_EQ(titlePlaying(TITLE_FORE), titleFind("b"));
  EXPECT_EQ(gChain, (std::vector<std::string>{"a ended"}));
  for (int i = 0; i < 4 && titlePlaying(TITLE_FORE) >= 0; ++i) titleUpdate(0, 0, 100);
  EXPECT_EQ(gChain, (std::vector<std::string>{"a ended", "b ended"}));
}

}  // namespace
