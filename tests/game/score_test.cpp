// The score: subjects read from the score configuration, the tax multiplier,
// the tips on their digit objects, big scores and the year display, over a
// memory screen with tiny sprites.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "anim/title.h"
#include "core/calls.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/time.h"
#include "game/game.h"
#include "game/score.h"
#include "gfx/gspwrite.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "support/memscreen.h"
#include "support/testutil.h"

namespace {

// Digit d's sprite is 4 + d pixels wide and 9 high, with 4 frames, so that
// a width or a place says which digits were used.
constexpr int kDigitFrames = 4, kDigitHeight = 9;
int digitWidth(int d) { return 4 + d; }

class ScoreTest : public ::testing::Test, protected MemScreen {
 protected:
  void SetUp() override {
    logReset();
    savedTime = tmTime;
    tmTime = 0;
    gameReset();
    titleClearMacros();
    rulesCallClear();
    spritesBefore = spritesInUse();
    ASSERT_TRUE(openScreen(320, 240));
    for (int d = 0; d < 10; d++) writeSprite("d" + std::to_string(d) + ".gsp", kDigitFrames, digitWidth(d), kDigitHeight);
  }

  void TearDown() override {
    scoreFree();
    closeScreen();
    gameReset();
    titleClearMacros();
    rulesCallClear();
    tmTime = savedTime;
    logReset();
  }

  std::string writeSprite(const std::string& name, int frames, int w, int h) {
    std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4, 255);
    std::vector<GspFrameImage> images(static_cast<size_t>(frames), GspFrameImage{w, h, rgba.data(), 0, 0});
    const std::string path = dir.file(name);
    EXPECT_EQ(gspWrite(path.c_str(), 4, images), 0);
    return path;
  }

  std::string digitsKey() const { return "digits_sprite = \"" + dir.file("d%d.gsp") + "\"\n"; }

  // Sets the score up from configuration text; what it logged goes to log.
  int setup(const std::string& text) {
    ConfSet set{};
    EXPECT_EQ(confParseText(&set, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, "score.conf"), 0);
    int ok = -1;
    log = logOf([&] { ok = setupScoreFrom(&set); });
    conf_free(&set);
    return ok;
  }

  static std::string logOf(const std::function<void()>& f) {
    StderrCapture err;
    f();
    return err.finish();
  }

  // The digit objects showing a digit, in slot order.
  std::vector<const VBOBJ*> shownDigits() const {
    std::vector<const VBOBJ*> out;
    for (const VBOBJ& o : vboard.objects)
      if (o.inUse && !o.dead && o.layer == SCORE_DIGIT_LAYER && o.sprite) out.push_back(&o);
    return out;
  }
  // The digits shown, read back from the sprites' widths.
  std::string shownText() const {
    std::string text;
    for (const VBOBJ* o : shownDigits()) text += static_cast<char>('0' + o->sprite->frames[0].width - 4);
    return text;
  }

  TempDir dir;
  std::string log;
  double savedTime = 0;
  int spritesBefore = 0;
};

TEST_F(ScoreTest, FormatPutsADotBetweenGroupsOfThreeDigits) {
  const struct {
    int value;
    const char* text;
  } cases[] = {
      {0, "0"},         {999, "999"},         {1000, "1.000"},           {1500, "1.500"},
      {999999, "999.999"}, {1000000, "1.000.000"}, {12345678, "12.345.678"}, {1002003, "1.002.003"},
  };
  for (const auto& c : cases) EXPECT_STREQ(scoreFormat(c.value), c.text) << c.value;
}

TEST_F(ScoreTest, SubjectsScoreTimesTheTaxMultiplierAndShowTheirTipCentredOnTheirPlace) {
  ASSERT_EQ(setup(digitsKey() + "[class_k]\nvalue = 250\n[t]\nclass = \"k\"\nxy = \"100,80\"\n"), 1);
  EXPECT_EQ(log, "");
  // The tip is centred by the width of the base value 250: (6+2)+(9+2)+(4+2) = 25.
  EXPECT_EQ(TIPWIDTH(250), 25);
  const int x = 100 - 25 / 2, y = 80 - (kDigitHeight + 1) / 2;
  const struct {
    int multiplier;
    const char* tip;
  } cases[] = {{1, "250"}, {4, "1000"}, {8, "2000"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.multiplier);
    game.score = 7;
    game.taxMultiplier = c.multiplier;
    int added = 0;
    EXPECT_EQ(logOf([&] { added = scoreAdd("t"); }), "");
    EXPECT_EQ(added, 1);
    EXPECT_EQ(game.score, 7 + 250 * c.multiplier);
    EXPECT_EQ(shownText(), c.tip);
    // Each digit one pixel up and left of its place, the next behind its width and 2.
    int offset = 0;
    for (const VBOBJ* o : shownDigits()) {
      EXPECT_EQ(o->x, x + offset - 1);
      EXPECT_EQ(o->y, y - 1);
      EXPECT_EQ(o->frame, 0);
      offset += o->sprite->frames[0].width + 2;
    }
    tmTime += 5000;
    scoreUpdateTips();
    EXPECT_EQ(shownText(), "");
  }
}

TEST_F(ScoreTest, UnknownSubjectsScoreNothing) {
  ASSERT_EQ(setup(digitsKey() + "[class_k]\nvalue = 250\n[t]\nclass = \"k\"\nxy = \"100,80\"\n"), 1);
  for (const char* name : std::initializer_list<const char*>{"T", "t:pres", "", nullptr}) {
    int added = -1;
    const std::string shown = name ? name : "(null)";
    EXPECT_EQ(logOf([&] { added = scoreAdd(name); }), "scoreAdd(): subject '" + shown + "' not found\n");
    EXPECT_EQ(added, 0);
  }
  EXPECT_EQ(game.score, 0);
  EXPECT_EQ(shownText(), "");
}

TEST_F(ScoreTest, TipsShowAtMostSixCharacters) {
  const struct {
    int value;
    const char* tip;
    const char* log;
  } cases[] = {
      {999999, "999999", ""},
      {1000000, "100000", "scoreAdd(): warning: value '1000000' is longer than 6, truncated\n"},
      {1234567, "123456", "scoreAdd(): warning: value '1234567' is longer than 6, truncated\n"},
      // A minus sign shows as a 0; a value below 1 has no width to centre by.
      {-5, "05", "TIPWIDTH(): score argument must be >0, SE\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    ASSERT_EQ(setup(digitsKey() + "[class_k]\nvalue = " + std::to_string(c.value) +
                    "\n[t]\nclass = \"k\"\nxy = \"100,80\"\n"),
              1);
    game.score = 0;
    EXPECT_EQ(logOf([] { scoreAdd("t"); }), c.log);
    EXPECT_EQ(game.score, c.value);  // the whole value counts
    EXPECT_EQ(shownText(), c.tip);
  }
}

TEST_F(ScoreTest, The33rdTipFindsNoSlotButStillScores) {
  ASSERT_EQ(setup(digitsKey() + "[class_k]\nvalue = 7\n[t]\nclass = \"k\"\nxy = \"100,80\"\n"), 1);
  std::string logged;
  for (int i = 0; i < SCORE_MAX_TIPS; i++) logged += logOf([] { EXPECT_EQ(scoreAdd("t"), 1); });
  EXPECT_EQ(logged, "");
  int added = -1;
  EXPECT_EQ(logOf([&] { added = scoreAdd("t"); }), "scoreAdd(): no free slots in SCORE.TIPS[], all 32 occupied\n");
  EXPECT_EQ(added, 0);
  EXPECT_EQ(game.score, 33 * 7);
  EXPECT_EQ(shownText(), std::string(32, '7'));
  // Once the tips end the slots are free again.
  tmTime += 5000;
  scoreUpdateTips();
  EXPECT_EQ(logOf([&] { added = scoreAdd("t"); }), "");
  EXPECT_EQ(added, 1);
}

TEST_F(ScoreTest, WhenTheDigitObjectsRunOutTheRestOfATipIsDropped) {
  ASSERT_EQ(setup(digitsKey() + "[class_k]\nvalue = 123456\n[t]\nclass = \"k\"\nxy = \"100,80\"\n"), 1);
  // 26 tips of six digits take 156 of the 160 objects.
  std::string logged;
  for (int i = 0; i < 26; i++) logged += logOf([] { EXPECT_EQ(scoreAdd("t"), 1); });
  EXPECT_EQ(logged, "");
  EXPECT_EQ(shownDigits().size(), 156u);
  int added = -1;
  EXPECT_EQ(logOf([&] { added = scoreAdd("t"); }), "scoreAdd(): no free slots in SCORE.DVBOS[], all 160 occupied\n");
  EXPECT_EQ(added, 1);
  EXPECT_EQ(shownDigits().size(), 160u);
  EXPECT_EQ(shownText().substr(156), "1234");
  EXPECT_EQ(game.score, 27 * 123456);
}

TEST_F(ScoreTest, TipWidthSumsTheDigitWidthsOfPositiveValues) {
  ASSERT_EQ(setup(digitsKey()), 1);
  const struct {
    int value, width;
    const char* log;
  } cases[] = {
      {1, 5 + 2, ""},
      {109, (5 + 2) + (4 + 2) + (13 + 2), ""},
      {0, 1, "TIPWIDTH(): score argument must be >0, SE\n"},
      {-7, 1, "TIPWIDTH(): score argument must be >0, SE\n"},
  };
  for (const auto& c : cases) {
    int width = -1;
    EXPECT_EQ(logOf([&] { width = TIPWIDTH(c.value); }), c.log) << c.value;
    EXPECT_EQ(width, c.width) << c.value;
  }
}

TEST_F(ScoreTest, TipsRiseAndFadeUntilTipTimeInWholeMilliseconds) {
  ASSERT_EQ(setup(digitsKey() + "tip_time = 400\ntip_dist = 20\n[class_k]\nvalue = 25\n[t]\nclass = \"k\"\nxy = "
                                "\"100,80\"\n"),
            1);
  tmTime = 1000.7;  // the tip starts at 1000
  ASSERT_EQ(scoreAdd("t"), 1);
  const int tipY = 80 - (kDigitHeight + 1) / 2;
  std::vector<int> xs;
  for (const VBOBJ* o : shownDigits()) xs.push_back(o->x);
  ASSERT_EQ(xs.size(), 2u);
  const struct {
    double now;
    int frame, rise;
  } steps[] = {
      {1000.9, 0, 0},
      {1100.0, 100 * kDigitFrames / 400, 100 * 20 / 400},
      {1250.5, 250 * kDigitFrames / 400, 250 * 20 / 400},
      {1399.99, 399 * kDigitFrames / 400, 399 * 20 / 400},  // the last whole millisecond
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.now);
    tmTime = s.now;
    scoreUpdateTips();
    const std::vector<const VBOBJ*> digits = shownDigits();
    ASSERT_EQ(digits.size(), 2u);
    for (size_t i = 0; i < digits.size(); i++) {
      EXPECT_EQ(digits[i]->frame, s.frame);
      EXPECT_EQ(digits[i]->x, xs[i]);
      EXPECT_EQ(digits[i]->y, tipY - s.rise);
    }
  }
  tmTime = 1400.0;
  scoreUpdateTips();
  EXPECT_TRUE(shownDigits().empty());
}

TEST_F(ScoreTest, BigScoresAreAnnouncedAndAddedWithoutMultiplierOrTip) {
  ASSERT_EQ(setup(digitsKey()), 1);
  game.taxMultiplier = 8;
  game.score = 500;
  EXPECT_EQ(scoreAddBig(1200), 1200);
  EXPECT_EQ(game.score, 1700);
  gameBigScore(75000);
  EXPECT_EQ(game.score, 76700);
  EXPECT_STREQ(titleMacro("big_score"), "75.000");
  EXPECT_EQ(rulesCallTimes("startForeTitle big_score"), 1);
  EXPECT_TRUE(shownDigits().empty());
}

// ---- Set-up ----

TEST_F(ScoreTest, SubjectsComeFromTheClassesAtTheirSectionsPlaces) {
  const std::string text = digitsKey() +
                           "[class_lane]\nvalue = 100\nvalue_pres = 300\nvalues = 7\nvalue_ = 9\n"
                           "[class_lane2]\nvalue = 5\n"
                           "[duma0]\nclass = \"lane\"\nxy = \"10,20\"\n"
                           "[duma1]\nclass = \"lane\"\nxy = \" 30 , 40 \"\n"
                           "[noclass]\nxy = \"1,2\"\n"
                           "[noplace]\nclass = \"lane\"\n"
                           "[badplace]\nclass = \"lane\"\nxy = \"1;2\"\n"
                           "[unknownclass]\nclass = \"nothing\"\nxy = \"1,2\"\n"
                           "[longclass]\nclass = \"" + std::string(148, 'c') + "\"\nxy = \"1,2\"\n"
                           // Long enough for its keys, though no section can be named after it.
                           "[longestclass]\nclass = \"" + std::string(147, 'c') + "\"\nxy = \"1,2\"\n";
  EXPECT_EQ(setup(text), 1);
  EXPECT_EQ(log,
            "setupScore(): 'badplace.xy' is not \"x,y\" ('1;2') - subject skipped\n"
            "setupScore(): 'longclass.class' is longer than 147 characters - subject skipped\n"
            "setupScore(): 'noclass.class' not defined - subject skipped\n"
            "setupScore(): 'noplace.xy' not defined - subject skipped\n");
  const struct {
    const char* name;
    int value, x, y;
  } expected[] = {
      {"duma0", 100, 10, 20}, {"duma0:pres", 300, 10, 20}, {"duma1", 100, 30, 40}, {"duma1:pres", 300, 30, 40}};
  EXPECT_EQ(scoreSubjectCount(), 4);
  for (const auto& e : expected) {
    const ScoreSubject* s = scoreFindSubject(e.name);
    ASSERT_NE(s, nullptr) << e.name;
    EXPECT_EQ(s->value, e.value) << e.name;
    EXPECT_EQ(s->x, e.x) << e.name;
    EXPECT_EQ(s->y, e.y) << e.name;
  }
  // The class "lane" is not the class "lane2", nor are its other keys values.
  for (const char* name :
       {"duma0:", "duma0s", "duma0:2", "unknownclass", "noclass", "noplace", "badplace", "longclass",
        "longestclass"})
    EXPECT_EQ(scoreFindSubject(name), nullptr) << name;
}

TEST_F(ScoreTest, AtMost128Subjects) {
  for (int n : {128, 129}) {
    SCOPED_TRACE(n);
    std::string text = digitsKey() + "[class_k]\nvalue = 3\n";
    char section[16];
    for (int i = 0; i < n; i++) {
      std::snprintf(section, sizeof section, "s%03d", i);
      text += std::string("[") + section + "]\nclass = \"k\"\nxy = \"1,1\"\n";
    }
    const int ok = setup(text);
    EXPECT_EQ(scoreSubjectCount(), 128);
    EXPECT_NE(scoreFindSubject("s127"), nullptr);
    if (n == 128) {
      EXPECT_EQ(ok, 1);
      EXPECT_EQ(log, "");
    } else {
      EXPECT_EQ(ok, 0);
      EXPECT_EQ(log, "setupScore(): skipping subject 's128', all 128 SUBJECTS[] occupied\n");
      EXPECT_EQ(scoreFindSubject("s128"), nullptr);
    }
  }
}

TEST_F(ScoreTest, DigitSpritesAreRequired) {
  const std::string subject = "[class_k]\nvalue = 3\n[t]\nclass = \"k\"\nxy = \"1,1\"\n";
  EXPECT_EQ(setup(subject), 0);
  EXPECT_EQ(log, "setupScore(): sprites filename not defined ('digits_sprite' parameter)\n");
  EXPECT_EQ(scoreSubjectCount(), 0);

  // A digit that does not load is reported; the subjects still score.
  std::remove(dir.file("d7.gsp").c_str());
  EXPECT_EQ(setup(digitsKey() + subject), 0);
  EXPECT_NE(log.find("setupScore(): error loading sprite '" + dir.file("d7.gsp") + "'\n"), std::string::npos) << log;
  EXPECT_EQ(scoreAdd("t"), 1);
  EXPECT_EQ(game.score, 3);

  // A pattern from the file takes nothing but the number.
  EXPECT_EQ(setup("digits_sprite = \"" + dir.file("%s%d.gsp") + "\"\n" + subject), 0);
  EXPECT_NE(log.find("error loading sprite '" + dir.file("%s0.gsp") + "'"), std::string::npos) << log;
}

TEST_F(ScoreTest, SetupReadsTheConfigurationOrItsTwinAndBuildsTheDigitObjectsOnce) {
  const std::string text = digitsKey() + "[class_k]\nvalue = 3\n[t]\nclass = \"k\"\nxy = \"1,1\"\n";
  ScopedChdir in(dir.path);
  std::filesystem::create_directory(dir.file("conf"));
  int ok = -1;
  EXPECT_EQ(logOf([&] { ok = setupScore(0); }),
            "setupScore(): configuration file 'conf/score.conf' or 'conf/score.bcf' not found\n");
  EXPECT_EQ(ok, 0);

  writeFile(dir.file("conf/score.conf"), text);
  EXPECT_EQ(logOf([&] { ok = setupScore(1); }), "");  // and writes the twin
  EXPECT_EQ(ok, 1);
  EXPECT_NE(scoreFindSubject("t"), nullptr);
  std::remove(dir.file("conf/score.conf").c_str());
  EXPECT_EQ(logOf([&] { ok = setupScore(0); }), "");
  EXPECT_EQ(ok, 1);
  EXPECT_NE(scoreFindSubject("t"), nullptr);

  int digitObjects = 0;
  for (const VBOBJ& o : vboard.objects) digitObjects += o.inUse && o.layer == SCORE_DIGIT_LAYER;
  EXPECT_EQ(digitObjects, SCORE_DIGIT_OBJECTS);
}

TEST_F(ScoreTest, WithoutRoomOnTheBoardTheSetupAborts) {
  for (int i = 0; i < VB_MAX_OBJECTS - 100; i++) ASSERT_NE(vbAddObject(nullptr, 0, 0, 0), nullptr);
  EXPECT_EQ(setup(digitsKey() + "[class_k]\nvalue = 3\n[t]\nclass = \"k\"\nxy = \"1,1\"\n"), 0);
  EXPECT_EQ(log,
            "vbAddObject(): can't add more objects (maximum 1024)\n"
            "setupScore(): error allocating dynamic VBO 100 of 160, aborting\n");
  EXPECT_EQ(scoreSubjectCount(), 0);
  // What it had taken goes again.
  int live = 0;
  for (const VBOBJ& o : vboard.objects) live += o.inUse && !o.dead;
  EXPECT_EQ(live, VB_MAX_OBJECTS - 100);
}

TEST_F(ScoreTest, FreeGivesBackTheSpritesAndTheObjects) {
  ASSERT_EQ(setup(digitsKey() + "[class_k]\nvalue = 3\n[t]\nclass = \"k\"\nxy = \"1,1\"\n"), 1);
  for (int i = 0; i < 4; i++) writeSprite("y" + std::to_string(i + 1) + ".gsp", 10, 2, 2);
  ConfSet year{};
  const std::string text = "[year]\nsprite = \"" + dir.file("y%d.gsp") + "\"\n";
  ASSERT_EQ(confParseText(&year, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, "game.conf"), 0);
  ASSERT_EQ(scoreSetupYear(&year), 1);
  conf_free(&year);
  ASSERT_EQ(scoreAdd("t"), 1);
  // Ten digits, four year digits and the clones of their (smart) objects.
  EXPECT_EQ(spritesInUse(), spritesBefore + 10 + 4 + 4);
  scoreFree();
  vbRestore(1);  // the board lets go of the objects taken off it
  EXPECT_EQ(spritesInUse(), spritesBefore);
  for (const VBOBJ& o : vboard.objects) EXPECT_FALSE(o.inUse);
  EXPECT_EQ(scoreSubjectCount(), 0);
  EXPECT_EQ(logOf([] { EXPECT_EQ(scoreAdd("t"), 0); }), "scoreAdd(): subject 't' not found\n");
}

// ---- The year ----

class YearTest : public ScoreTest {
 protected:
  // Four sprites of 40 frames; yN.gsp, N pixels wide, is the Nth digit.
  void SetUp() override {
    ScoreTest::SetUp();
    for (int i = 0; i < 4; i++) writeSprite("y" + std::to_string(i + 1) + ".gsp", 40, 1 + i, 1);
  }
  int setupYear(int framesPerDigit = 4) {
    ConfSet set{};
    const std::string text = "[year]\nsprite = \"" + dir.file("y%d.gsp") +
                             "\"\nframes_per_digit = " + std::to_string(framesPerDigit) + "\n";
    EXPECT_EQ(confParseText(&set, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, "game.conf"), 0);
    int ok = -1;
    log = logOf([&] { ok = scoreSetupYear(&set); });
    conf_free(&set);
    return ok;
  }
  // The frames of the thousands, hundreds, tens and units objects, told
  // apart by their sprites' widths 1..4.
  std::vector<int> yearFrames() const {
    std::vector<int> frames(4, -99);
    for (const VBOBJ& o : vboard.objects)
      if (o.inUse && !o.dead && o.sprite && o.layer != SCORE_DIGIT_LAYER) frames[o.sprite->frames[0].width - 1] = o.frame;
    return frames;
  }
};

TEST_F(YearTest, DigitsRollLikeAnOdometer) {
  ASSERT_EQ(setupYear(), 1);
  EXPECT_EQ(log, "");
  // Shown at once: the game's start year.
  EXPECT_EQ(yearFrames(), (std::vector<int>{8, 0, 0, 0}));
  const struct {
    double year;
    std::vector<int> frames;  // thousands, hundreds, tens, units
  } cases[] = {
      {1999.5, {6, 38, 38, 38}},   // all turn over with the units
      {2003.25, {8, 0, 0, 13}},    // the units roll alone
      {2019.75, {8, 0, 7, 39}},    // a 9 carries the tens, not the hundreds
      {2094.5, {8, 0, 36, 18}},    // a 9 above a units digit of 4 does not roll
      {2099.999, {8, 3, 39, 39}},  // just before 2100
  };
  for (const auto& c : cases) {
    gameSetYear(c.year);
    EXPECT_EQ(game.year, c.year);
    EXPECT_EQ(yearFrames(), c.frames) << c.year;
  }
}

TEST_F(YearTest, MissingAndShortSpritesAreReportedAndTheRestShow) {
  std::remove(dir.file("y3.gsp").c_str());
  EXPECT_EQ(setupYear(5), 0);
  EXPECT_NE(log.find("gameSetupObjects(): error loading year3 sprite '" + dir.file("y3.gsp") + "'"), std::string::npos)
      << log;
  EXPECT_NE(log.find("gameSetupObjects(): year1 sprite '" + dir.file("y1.gsp") + "' has 40 frames, 50 needed"),
            std::string::npos)
      << log;
  gameSetYear(1999.5);
  // Frames beyond a short sprite are not shown; what fits is.
  EXPECT_EQ(yearFrames(), (std::vector<int>{7, 0, -99, 0}));
}

TEST_F(YearTest, WithoutTheYearObjectsTheYearIsOnlyStored) {
  EXPECT_EQ(logOf([] { gameSetYear(2001.5); }), "gameSetYear(): lights not initialized\n");
  EXPECT_EQ(game.year, 2001.5);
  ASSERT_EQ(setupYear(), 1);
  EXPECT_EQ(yearFrames(), (std::vector<int>{8, 0, 0, 6}));
  scoreFree();
  EXPECT_EQ(logOf([] { gameSetYear(2002.0); }), "gameSetYear(): lights not initialized\n");
}

TEST_F(YearTest, FramesPerDigitBelowOneRunsWithOne) {
  EXPECT_EQ(setupYear(0), 0);
  EXPECT_NE(log.find("gameSetupObjects(): year.frames_per_digit 0 is below 1, 1 used\n"), std::string::npos) << log;
  gameSetYear(1999.5);
  EXPECT_EQ(yearFrames(), (std::vector<int>{1, 9, 9, 9}));
}

}  // namespace
