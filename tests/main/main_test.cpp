// The game program as a user runs it: switches, the log file, the version
// line, the working directory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "frontend/hof.h"
#include "gfx/vid.h"
#include "main/main.h"
#include "platform/gdev.h"
#include "platform/sys/registry.h"
#include "main/gamefolder.h"
#include "support/testutil.h"

namespace {

const std::string kVersionLine = "MILE3-056 (pbl 0.51 75) [may14 may15 may17 may21]";

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    out.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  return out;
}

TEST(PinballProgram, HelpPrintsUsageAndExitsZero) {
  GameFolder g;
  for (const char* flag : {"--help", "-h"}) {
    RunResult r = g.run({flag});
    EXPECT_EQ(r.exitCode, 0) << flag;
    EXPECT_NE(r.out.find("Usage: pinball"), std::string::npos) << flag;
    EXPECT_NE(r.out.find("/nomenu"), std::string::npos);
    EXPECT_NE(r.out.find("--nosound"), std::string::npos);
    EXPECT_EQ(r.err, "");
  }
  EXPECT_FALSE(pathExists(g.dir.file("#report.txt")));
}

TEST(PinballProgram, LogWritesReportInProgramFolderFromAnyDirectory) {
  GameFolder g;
  g.makeTable();
  writeFile(g.dir.file("#report.txt"), "stale contents of an earlier run\n");
  RunResult r = g.run({"/log", "/nomenu", "/frames", "1", "/turbo"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> report = lines(g.report());
  ASSERT_GE(report.size(), 2u);
  EXPECT_EQ(report.front(), kVersionLine);
  EXPECT_EQ(g.report().find("stale"), std::string::npos);
  EXPECT_NE(g.report().find("GAME EXITS SUCCESSFULLY\nmemMute {\nmemMute }\n"), std::string::npos);
  // The log also reaches the console, and nothing lands in the start directory.
  EXPECT_EQ(lines(r.err).front(), kVersionLine);
  EXPECT_FALSE(pathExists(g.elsewhere.file("#report.txt")));
  EXPECT_EQ(r.out, "");
}

// Without /log nothing is logged anywhere. These folders hold no table, so
// each run ends with the load-failure message box, whose text also goes to
// standard error, and nothing else.
TEST(PinballProgram, SilentWithoutLog) {
  struct Case {
    std::vector<std::string> args;
  };
  const Case cases[] = {
      {{}},
      {{"/debug"}},                      // debug lines go to the log file only
      {{"recording.rec", "other", "/log"}},  // a switch after two free arguments is ignored
  };
  for (const Case& c : cases) {
    GameFolder g;
    RunResult r = g.run(c.args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Ошибка: Ошибка загрузки данных игры. Переустановите игру или обратитесь в службу "
                     "техподдержки\n");
    EXPECT_FALSE(pathExists(g.dir.file("#report.txt")));
  }
}

TEST(PinballProgram, SwitchesIgnoreCaseAndDebugTracesSteps) {
  GameFolder g;
  g.makeTable();
  RunResult r = g.run({"/LoG", "/DEBUG", "/NoMenu", "/frames", "1", "/turbo"});
  ASSERT_EQ(r.exitCode, 0);
  std::string report = g.report();
  EXPECT_NE(report.find(kVersionLine + "\nD1: at common_init()\n"), std::string::npos) << report;
  EXPECT_NE(report.find("\nD1: at *_preload()\n"), std::string::npos) << report;
  EXPECT_NE(report.find("\nD1: at setup_graphics()\n"), std::string::npos) << report;
  // Debug lines never reach the console.
  EXPECT_EQ(r.err.find("D1:"), std::string::npos);
}

TEST(PinballProgram, GnuSpellingsAreTheSameSwitches) {
  GameFolder g;
  g.makeTable();
  RunResult r = g.run({"--log", "--debug", "--nomenu", "--frames=1", "--turbo"});
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_NE(g.report().find("D1: at common_init()"), std::string::npos);
}

TEST(PinballProgram, NoMenuReadsGlobalConfiguration) {
  GameFolder g;
  RunResult missing = g.run({"/nomenu", "/log"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(g.report().find("MAIN(): configuration file 'conf/global.conf' or "
                            "'conf/global.bcf' not found\n"),
            std::string::npos)
      << g.report();

  // With /mkbin the binary twin is written beside the text file.
  g.makeTable();
  std::string conf = g.dir.file("conf");
  writeFile(conf + "/global.conf", "[startup]\nregime = 2\n");
  RunResult r = g.run({"/nomenu", "/mkbin", "/log", "/frames", "1", "/turbo"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(g.report().find("MAIN(): configuration file"), std::string::npos);
  EXPECT_TRUE(pathExists(conf + "/global.bcf"));
}

TEST(PinballProgram, PlaysLogoClipsWhenTheyExist) {
  GameFolder g;
  g.makeTable();
  g.mkdirs("samples");
  g.wav("samples/lumo-logo.wav");
  g.wav("samples/ortan-logo.wav");
  std::vector<uint16_t> pal(256, 0x07E0);
  std::vector<uint8_t> f0(8 * 6, 1), f1(8 * 6, 2);
  std::vector<VidFrameIn> frames = {{f0.data(), pal.data()}, {f1.data(), nullptr}, {f0.data(), nullptr}};
  for (const char* clip : {"data/lumo-logo.vid", "data/empty.vid", "data/ortan-logo.vid"})
    ASSERT_EQ(vidWrite(g.dir.file(clip).c_str(), 8, 6, VID_MODEL_ZLIB, 1, frames), 0);
  // The logos play, then the menu opens (and ends: this folder has no menu
  // pictures).
  RunResult r = g.run({"/log", "/debug", "/turbo"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  std::string report = g.report();
  EXPECT_NE(report.find("D2: loadclip 2\nD2: at vidOpen('data/ortan-logo.vid')\n"), std::string::npos)
      << report;
  EXPECT_EQ(report.find("PLAY_LOGOS()"), std::string::npos) << report;
  EXPECT_LT(report.find("loadclip 2"), report.find("D1: at menu()")) << report;
}

TEST(PinballProgram, LogosAreAbandonedWhenAClipIsMissing) {
  GameFolder g;
  g.makeTable();
  RunResult r = g.run({"/log", "--turbo"});
  EXPECT_EQ(r.exitCode, 1);
  std::string report = g.report();
  size_t logos = report.find("PLAY_LOGOS(): error opening video 'data/lumo-logo.vid', aborting\n");
  EXPECT_NE(logos, std::string::npos) << report;
  // The menu starts all the same (and ends here, finding no pictures).
  EXPECT_LT(logos, report.find("MENU(): error loading")) << report;
}

TEST(PinballProgram, MissingTableDataEndsWithMessageAndExitOne) {
  GameFolder g;
  RunResult r = g.run({"/log", "/nomenu"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(g.report().find("READ_GLOBAL_CONF(): configuration file 'conf/global.conf' or "
                            "'conf/global.bcf' not found\n"),
            std::string::npos)
      << g.report();
  EXPECT_NE(g.report().find("UNKNOWN EXIT RESULT -1\n"), std::string::npos) << g.report();
  EXPECT_NE(r.err.find("Ошибка: Ошибка загрузки данных игры."), std::string::npos) << r.err;
}

TEST(PinballProgram, GraphicsFailureShowsMessageAndExitsOne) {
  GameFolder g;
  writeFile(g.dir.file("conf/vidmode.conf"), "[default]\nwidth = 123\n");
  RunResult r = g.run({"/log"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Ошибка: Ошибка инициализации графики. Обратитесь в службу техподдержки\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(g.report().find("MAIN(): error setting up graphics\n"), std::string::npos) << g.report();
  EXPECT_EQ(g.report().find("GAME EXITS"), std::string::npos);
}

TEST(StartOptions, ParsesSwitchesAndFreeArguments) {
  struct Case {
    std::vector<const char*> args;
    bool log, debug, noMenu, noSound, record, mkbin, windowed, chooseMode;
    const char* playback;
  };
  const Case cases[] = {
      {{}, false, false, false, false, false, false, false, false, nullptr},
      {{"/LOG", "/Debug", "/NOMENU"}, true, true, true, false, false, false, false, false, nullptr},
      {{"/nosnd", "/record", "/mkbin", "/w", "/c"}, false, false, false, true, true, true, true, true, nullptr},
      {{"--nosound", "--record", "--windowed", "--choose-mode"}, false, false, false, true, true, false, true, true, nullptr},
      {{"game.rec", "/log"}, true, false, false, false, false, false, false, false, "game.rec"},
      {{"a.rec", "b.rec", "/log"}, false, false, false, false, false, false, false, false, "a.rec"},
      // Only the whole argument counts, and GNU spellings are case-sensitive.
      {{"/logx", "--LOG"}, false, false, false, false, false, false, false, false, "/logx"},
  };
  for (const Case& c : cases) {
    std::vector<char*> argv{const_cast<char*>("pinball")};
    for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
    StartOptions o = parseStartOptions(static_cast<int>(argv.size()), argv.data());
    SCOPED_TRACE(c.args.empty() ? std::string("(none)") : std::string(c.args[0]));
    EXPECT_EQ(o.log, c.log);
    EXPECT_EQ(o.debug, c.debug);
    EXPECT_EQ(o.noMenu, c.noMenu);
    EXPECT_EQ(o.noSound, c.noSound);
    EXPECT_EQ(o.record, c.record);
    EXPECT_EQ(o.mkbin, c.mkbin);
    EXPECT_EQ(o.windowed, c.windowed);
    EXPECT_EQ(o.chooseMode, c.chooseMode);
    if (c.playback)
      EXPECT_STREQ(o.playback, c.playback);
    else
      EXPECT_EQ(o.playback, nullptr);
  }
}

TEST(StartOptions, ValueSwitches) {
  struct Case {
    std::vector<const char*> args;
    int regime;
    const char* screenshot;
    bool bad;
  } cases[] = {
      {{"/regime", "2"}, 2, nullptr, false},
      {{"--regime=1", "--screenshot=s.bmp"}, 1, "s.bmp", false},
      {{"/SCREENSHOT", "t.bmp"}, -1, "t.bmp", false},
      {{"/regime", "3"}, -1, nullptr, true},
      {{"/regime"}, -1, nullptr, true},
      {{"--screenshot="}, -1, nullptr, true},
  };
  for (const Case& c : cases) {
    std::vector<char*> argv{const_cast<char*>("pinball")};
    for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
    StartOptions o = parseStartOptions(static_cast<int>(argv.size()), argv.data());
    SCOPED_TRACE(c.args[0]);
    EXPECT_EQ(o.regime, c.regime);
    if (c.screenshot)
      EXPECT_STREQ(o.screenshot, c.screenshot);
    else
      EXPECT_EQ(o.screenshot, nullptr);
    EXPECT_EQ(o.badValue != nullptr, c.bad);
  }
}

// A session started in a given regime leaves its last frame in a picture.
TEST(PinballProgram, ScreenshotOfTheLastFrameInTheChosenRegime) {
  GameFolder g;
  g.makeTable();
  RunResult r = g.run({"/nomenu", "/frames", "5", "/turbo", "/log", "/regime", "2", "/screenshot", "shot.bmp"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(g.report().find("gameSetRegime(): setting regime 2"), std::string::npos) << g.report();
  GdevBitmap* shot = gdevLoadBitmap(g.dir.file("shot.bmp").c_str());
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(shot->bitsPerPixel, 24);
  EXPECT_EQ(shot->width, 800);
  EXPECT_EQ(shot->height, 600);
  // The chosen regime's background shows (the test folder paints regime 2
  // grey 40,40,40 and regime 0 red 160,30,30), up to the screen's 5 bits a
  // channel.
  auto near = [](int a, int b) { return a > b - 8 && a < b + 8; };
  int grey = 0, red = 0;
  for (int i = 0; i < shot->width * shot->height; i++) {
    const uint8_t* p = shot->pixels + 3 * i;  // blue, green, red
    if (near(p[2], 40) && near(p[1], 40) && near(p[0], 40)) grey++;
    if (near(p[2], 160) && near(p[1], 30) && near(p[0], 30)) red++;
  }
  EXPECT_GT(grey, shot->width * shot->height / 2);
  EXPECT_EQ(red, 0);
  gdevFreeBitmap(shot);
}

}  // namespace

// Start-up reads the hall of fame; a table edited by hand is logged and
// replaced by the defaults before anything else is set up.
class HallOfFameProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* v = std::getenv("QEL_DATA_DIR")) saved = v;
    setenv("QEL_DATA_DIR", data.path.c_str(), 1);
  }
  void TearDown() override {
    if (saved)
      setenv("QEL_DATA_DIR", saved->c_str(), 1);
    else
      unsetenv("QEL_DATA_DIR");
    hofDefaults();
  }
  TempDir data;
  std::optional<std::string> saved;
};

TEST_F(HallOfFameProgram, StartUpReplacesAnEditedTable) {
  for (int n = 0; n < HOF_ENTRIES; n++) hofSetEntry(n, "someone", 100 - n);
  ASSERT_EQ(SAVE_RESULTS(), 1);
  hofDefaults();
  std::string file = data.file("hall-of-fame.reg");
  RegKey key{};
  RegError err{};
  ASSERT_TRUE(regLoad(&key, file.c_str(), &err));
  ASSERT_TRUE(regSetDword(&key, "score3", 5000, &err));
  ASSERT_TRUE(regSave(&key, file.c_str(), &err));

  GameFolder g;
  writeFile(g.dir.file("conf/vidmode.conf"), "[default]\nwidth = 123\n");  // ends right after start-up
  RunResult r = g.run({"/log"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(g.report().find("READ_RESULTS(): invalid modeflags"), std::string::npos) << g.report();

  ASSERT_EQ(READ_RESULTS(), 1) << "the program stored the defaults";
  for (int n = 0; n < HOF_ENTRIES; n++) {
    EXPECT_STREQ(hofName(n), "---");
    EXPECT_EQ(hofScore(n), 0);
  }
}
