// The name dialog driven by typed text, keys and the mouse over a screen in
// memory.
#include "frontend/namedlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/text.h"
#include "core/time.h"
#include "frontend/hof.h"
#include "gfx/font.h"
#include "gfx/gspwrite.h"
#include "platform/gdev.h"
#include "sound/fx.h"
#include "support/memscreen.h"
#include "support/testutil.h"

namespace {

// One step of a script: text typed (through the device layer's text path)
// or a key pressed (its character).
struct Step {
  const char* text;
  int ch = 0;
};
const Step kBackspace{nullptr, 8}, kEnter{nullptr, 13}, kEscape{nullptr, 27};
Step typed(const char* utf8) { return Step{utf8}; }

GdevEvent keyDown(int ch, uint32_t what = GDEV_EVT_KEYDOWN) {
  GdevEvent e{};
  e.what = what;
  e.message = static_cast<uint32_t>(ch);
  return e;
}

GdevEvent mouse(uint32_t what, int x, int y, uint32_t button = 0) {
  GdevEvent e{};
  e.what = what;
  e.x = x;
  e.y = y;
  e.message = button;
  return e;
}

void post(const GdevEvent& e) { ASSERT_TRUE(gdevPostEvent(&e)); }

void play(const std::vector<Step>& steps) {
  for (const Step& s : steps) {
    if (s.text) {
      gdevFeedText(s.text);
    } else {
      post(keyDown(s.ch));
    }
  }
}

struct Point {
  int x, y;
};
Point centreOf(int button) {
  int l, t, r, b;
  nameDialogButtonBox(button, &l, &t, &r, &b);
  return {(l + r) / 2, (t + b) / 2};
}
// A point inside a button's border but clear of its label.
Point insideOf(int button) {
  int l, t, r, b;
  nameDialogButtonBox(button, &l, &t, &r, &b);
  return {l + 3, t + 3};
}

void solidImage(std::vector<uint8_t>* px, int w, int h, uint8_t alpha) {
  px->assign(static_cast<size_t>(w) * h * 4, 255);
  for (size_t i = 3; i < px->size(); i += 4) (*px)[i] = alpha;
}

// A screen in memory filled with one colour, a data folder with a small
// font (every printable character an 8 x 16 block) and the dialog cursor,
// the log on standard error and text input off.
class NameDialogTest : public ::testing::Test, public MemScreen {
 protected:
  void SetUp() override {
    logReset();
    gsBuildBlendTable();
    fxInit(1);
    tmInit();
    tmSetTime(0);
    tmSetRate(60, 0);
    tmSetTurbo(1);
    ASSERT_TRUE(openScreen(800, 600));
    paper = gdevPackRGB(&screen.dc->format, 10, 120, 30);
    fillScreen(paper);

    std::filesystem::create_directories(dir.file("titles/fonts"));
    std::filesystem::create_directories(dir.file("data"));
    std::vector<uint8_t> space, block, cursor;
    solidImage(&space, 6, 16, 0);
    solidImage(&block, 8, 16, 255);
    uint8_t map[FNT_MAP_SIZE];
    std::fill(std::begin(map), std::end(map), uint8_t{1});
    map[uint8_t{' '}] = 0;
    const GspFrameImage glyphs[2] = {{6, 16, space.data(), 0, 0}, {8, 16, block.data(), 0, 0}};
    for (const char* font : {"titles/fonts/plain16.fnp", "titles/fonts/mach18xgold.fnp"})
      ASSERT_EQ(fnpWrite(dir.file(font).c_str(), GSP_CM_888_ALPHA, glyphs, map), 0);
    solidImage(&cursor, 8, 8, 255);
    const GspFrameImage arrow[1] = {{8, 8, cursor.data(), 0, 0}};
    ASSERT_EQ(gspWrite(dir.file("data/dialog-cursor.gsp").c_str(), GSP_CM_888_ALPHA, arrow), 0);
    cd.emplace(dir.path);
    gdevFlushEvents(GDEV_EVT_EVERY);
    gdevStopTextInput();
  }
  void TearDown() override {
    nameDialogClose();
    gdevStopTextInput();
    gdevFlushEvents(GDEV_EVT_EVERY);
    hofSetNameDialog(nullptr);
    hofDefaults();
    hofSetPlayerName("Player");
    cd.reset();
    closeScreen();
    tmSetTurbo(0);
    fxShutdown();
    logReset();
  }

  void fillScreen(uint32_t pixel) {
    for (int y = 0; y < screen.dc->height; y++)
      for (int x = 0; x < screen.dc->width; x++) gdevWritePixel(screen.dc, x, y, pixel);
  }
  int screenPixelsOf(uint32_t pixel) const {
    int n = 0;
    for (int y = 0; y < screen.dc->height; y++)
      for (int x = 0; x < screen.dc->width; x++) n += gdevReadPixel(screen.dc, x, y) == pixel;
    return n;
  }
  uint32_t at(Point p) const { return gdevReadPixel(screen.dc, p.x, p.y); }

  // Types the script ahead (text input is turned on for it, as the dialog
  // does) and runs the dialog over a name buffer holding the proposal.
  int run(const char* proposal, const std::vector<Step>& steps, int size = HOF_EDIT_SIZE) {
    gdevStartTextInput();
    play(steps);
    name.assign(static_cast<size_t>(size), '\0');
    strCopyN(name.data(), proposal, name.size());
    return nameDialog(name.data(), size);
  }
  std::string text() const { return name.data(); }

  TempDir dir;
  std::optional<ScopedChdir> cd;
  uint32_t paper = 0;
  std::vector<char> name;
};

TEST_F(NameDialogTest, TypingAndKeys) {
  const std::string x30(30, 'x'), x31(31, 'x'), x40(40, 'x');
  struct Case {
    const char* what;
    const char* proposal;
    std::vector<Step> steps;
    int result;
    std::string name;
    int size = HOF_EDIT_SIZE;
  };
  const Case cases[] = {
      {"Enter takes the proposal", "Player", {kEnter}, 1, "Player"},
      {"typed text goes after the proposal", "Player", {typed("Bob"), kEnter}, 1, "PlayerBob"},
      {"Backspace deletes the last character", "Player",
       {kBackspace, kBackspace, kBackspace, kBackspace, kBackspace, kBackspace, typed("Анна"), kEnter}, 1,
       "\xC0\xED\xED\xE0"},
      {"Backspace takes what was typed before it, not after", "", {typed("ab"), kBackspace, typed("c"), kEnter}, 1,
       "ac"},
      {"Backspace on an empty field does nothing", "", {kBackspace, typed("z"), kEnter}, 1, "z"},
      {"Escape cancels and keeps the name", "Player", {typed("Bob"), kEscape}, 2, "Player"},
      {"characters Windows-1251 lacks are refused", "", {typed("a☃b日€"), kEnter}, 1, "ab\x88"},
      {"the 31st character is taken, the 32nd refused", "", {typed(x30.c_str()), typed("yz"), kEnter}, 1,
       x30 + "y"},
      {"a full field takes nothing more", "", {typed(x31.c_str()), typed("y"), kEnter}, 1, x31},
      {"a 40-character proposal is cut to 31", x40.c_str(), {kEnter}, 1, x31},
      {"a small buffer: the field holds size - 1", "Player", {typed("s"), kBackspace, kEnter}, 1, "Pla", 5},
      {"Enter with an empty field is still OK", "", {kEnter}, 1, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run(c.proposal, c.steps, c.size), c.result) << c.what;
    EXPECT_EQ(text(), c.name) << c.what;
    EXPECT_FALSE(gdevTextInputActive()) << c.what;  // off again once closed
    gdevFlushEvents(GDEV_EVT_EVERY);
  }
}

TEST_F(NameDialogTest, AHeldBackspaceRepeats) {
  gdevStartTextInput();
  post(keyDown(8));
  post(keyDown(8, GDEV_EVT_KEYREPEAT));
  post(keyDown(8, GDEV_EVT_KEYUP));  // a release deletes nothing
  post(keyDown(13));
  char buf[HOF_EDIT_SIZE] = "Player";
  EXPECT_EQ(nameDialog(buf, sizeof buf), 1);
  EXPECT_STREQ(buf, "Play");
}

TEST_F(NameDialogTest, ButtonsAnswerAClickPressedAndReleasedOverThem) {
  const Point ok = centreOf(NAMEDLG_BUTTON_OK), cancel = centreOf(NAMEDLG_BUTTON_CANCEL);
  auto click = [](Point down, Point up, uint32_t button = GDEV_MOD_LEFTBUT) {
    post(mouse(GDEV_EVT_MOUSEMOVE, down.x, down.y));
    post(mouse(GDEV_EVT_MOUSEDOWN, down.x, down.y, button));
    post(mouse(GDEV_EVT_MOUSEMOVE, up.x, up.y, button));
    post(mouse(GDEV_EVT_MOUSEUP, up.x, up.y, button));
  };
  gdevStartTextInput();
  play({typed("!")});
  click(ok, ok);
  EXPECT_EQ(run("Player", {}), 1);
  EXPECT_EQ(text(), "Player!");

  gdevStartTextInput();
  play({typed("!")});
  click(cancel, cancel);
  EXPECT_EQ(run("Player", {}), 2);
  EXPECT_EQ(text(), "Player");

  // Pressed on OK, released on Cancel, or clicked with the right button:
  // no answer; Escape ends it.
  click(ok, cancel);
  click(ok, ok, GDEV_MOD_RIGHTBUT);
  click({10, 10}, {10, 10});
  EXPECT_EQ(run("Player", {kEscape}), 2);
}

TEST_F(NameDialogTest, DrawnOverTheScreenWhichComesBackAfterwards) {
  const int whole = 800 * 600;
  ASSERT_EQ(screenPixelsOf(paper), whole);
  ASSERT_EQ(nameDialogOpen("Player", HOF_EDIT_SIZE), 1);
  EXPECT_TRUE(gdevTextInputActive());
  EXPECT_EQ(nameDialogFrame(), 0);
  // The window covers its box, centred, and nothing else.
  EXPECT_EQ(screenPixelsOf(paper), whole - NAMEDLG_WIDTH * NAMEDLG_HEIGHT);
  EXPECT_NE(at({400, 300}), paper);
  EXPECT_NE(at({NAMEDLG_LEFT, NAMEDLG_TOP}), paper);
  EXPECT_EQ(at({NAMEDLG_LEFT - 1, NAMEDLG_TOP}), paper);
  EXPECT_NE(at({NAMEDLG_LEFT + NAMEDLG_WIDTH - 1, NAMEDLG_TOP + NAMEDLG_HEIGHT - 1}), paper);
  EXPECT_EQ(at({NAMEDLG_LEFT + NAMEDLG_WIDTH, NAMEDLG_TOP + NAMEDLG_HEIGHT - 1}), paper);
  EXPECT_EQ(at({NAMEDLG_LEFT, NAMEDLG_TOP + NAMEDLG_HEIGHT}), paper);
  nameDialogClose();
  EXPECT_FALSE(gdevTextInputActive());
  EXPECT_EQ(screenPixelsOf(paper), whole);
}

TEST_F(NameDialogTest, TheButtonUnderThePointerIsLit) {
  ASSERT_EQ(nameDialogOpen("Player", HOF_EDIT_SIZE), 1);
  const Point ok = insideOf(NAMEDLG_BUTTON_OK), cancel = insideOf(NAMEDLG_BUTTON_CANCEL);
  EXPECT_EQ(nameDialogFrame(), 0);
  const uint32_t dark = at(ok);
  EXPECT_EQ(at(cancel), dark);

  post(mouse(GDEV_EVT_MOUSEMOVE, ok.x + 20, ok.y + 2));
  EXPECT_EQ(nameDialogFrame(), 0);
  const uint32_t lit = at(ok);
  EXPECT_NE(lit, dark);
  EXPECT_EQ(at(cancel), dark);

  post(mouse(GDEV_EVT_MOUSEDOWN, ok.x + 20, ok.y + 2, GDEV_MOD_LEFTBUT));
  EXPECT_EQ(nameDialogFrame(), 0);
  EXPECT_NE(at(ok), lit);  // held down
  EXPECT_NE(at(ok), dark);

  // Off the button with the mouse button still held: dark again, and the
  // release there answers nothing.
  post(mouse(GDEV_EVT_MOUSEMOVE, 5, 5, GDEV_MOD_LEFTBUT));
  post(mouse(GDEV_EVT_MOUSEUP, 5, 5, GDEV_MOD_LEFTBUT));
  EXPECT_EQ(nameDialogFrame(), 0);
  EXPECT_EQ(at(ok), dark);
  EXPECT_EQ(at(cancel), dark);
}

TEST_F(NameDialogTest, WithoutItsFontTheDialogCancelsAndSaysWhy) {
  std::filesystem::remove(dir.file("titles/fonts/plain16.fnp"));
  testing::internal::CaptureStderr();
  char buf[HOF_EDIT_SIZE] = "Player";
  post(keyDown(13));
  EXPECT_EQ(nameDialog(buf, sizeof buf), 2);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("nameDialogOpen(): error loading font 'titles/fonts/plain16.fnp'"), std::string::npos) << err;
  EXPECT_STREQ(buf, "Player");
  EXPECT_FALSE(gdevTextInputActive());
  EXPECT_EQ(screenPixelsOf(paper), 800 * 600);
}

TEST_F(NameDialogTest, WithoutItsCursorTheDialogStillWorks) {
  std::filesystem::remove(dir.file("data/dialog-cursor.gsp"));
  testing::internal::CaptureStderr();
  const int result = run("Player", {typed("2"), kEnter});
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(result, 1);
  EXPECT_EQ(text(), "Player2");
}

TEST_F(NameDialogTest, AQuitRequestCancels) {
  ScopedEnv driver("SDL_VIDEODRIVER", "dummy");
  ASSERT_TRUE(gdevInit("Qel")) << gdevErrorText();
  std::raise(SIGTERM);  // the layer's handler turns it into a quit request
  char buf[HOF_EDIT_SIZE] = "Player";
  EXPECT_EQ(nameDialog(buf, sizeof buf), 2);
  EXPECT_STREQ(buf, "Player");
  EXPECT_TRUE(gdevQuitRequested());  // left for the game to see
  gdevClearQuitRequest();
  gdevFlushEvents(GDEV_EVT_EVERY);
  gdevExit();
}

// The hall of fame with this dialog: OK on an emptied field shows the
// dialog again, and the name typed then is entered.
TEST_F(NameDialogTest, TheHallOfFameAsksAgainAfterAnEmptyName) {
  TempDir data;
  ScopedEnv store("QEL_DATA_DIR", data.path.c_str());
  static std::vector<std::string> shown;
  shown.clear();
  // Each showing gets its own script, typed once the dialog is asked for.
  hofSetNameDialog([](char* n, int size) {
    shown.emplace_back(n);
    gdevStartTextInput();
    if (shown.size() == 1) {
      play({kBackspace, kBackspace, kBackspace, kBackspace, kBackspace, kBackspace, kEnter});
    } else {
      play({typed("Ann"), kEnter});
    }
    return nameDialog(n, size);
  });
  hofDefaults();
  hofSetPlayerName("Player");
  EXPECT_EQ(hofEnter(500), 1);
  EXPECT_EQ(shown, (std::vector<std::string>{"Player", ""}));
  EXPECT_STREQ(hofName(0), "Ann");
  EXPECT_EQ(hofScore(0), 500);
  EXPECT_STREQ(hofPlayerName(), "Ann");
}

}  // namespace
