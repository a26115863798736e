// The rules' configuration in the built game folder: big scores, missions,
// modes, questions (and how they fit the title display) and the score
// subjects with their tip digits and the mission symbols. Faults caught here would only show in play as a reward
// of -1 points, a timeout of a frame, a score that silently scores nothing
// or a mission symbol spinning beside its target.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/conf.h"
#include "core/log.h"
#include "core/text.h"
#include "core/time.h"
#include "game/game.h"
#include "game/score.h"
#include "gfx/font.h"
#include "gfx/gspwrite.h"
#include "gfx/sprite.h"
#include "physics/geometry.h"
#include "support/gamedata.h"
#include "support/memscreen.h"
#include "support/table_model.h"
#include "support/scored_names.h"
#include "support/testutil.h"
#include "support/titletext.h"
#include "table/desc.h"
#include "table/model.h"
#include "table/outputs.h"

namespace {

using namespace gamedata;

bool parseXY(const char* text, int* x, int* y) {
  char tail = 0;
  return text && std::sscanf(text, "%d,%d%c", x, y, &tail) == 2;
}

// ---- The keys the rules read, with their types and sensible ranges ----

TEST(RulesConf, EveryKeyTheRulesReadHasItsTypeAndASensibleValue) {
  struct Key {
    const char* file;
    const char* key;
    int type;
    double lo, hi;  // numbers only
  };
  // Rewards in points; timeouts in seconds (a value in ms would be far out);
  // animation delays in ms.
  const Key keys[] = {
      {"bigscore", "super_cpw.value", CONF_INT, 1000, 200000},
      {"bigscore", "pres.vote_value", CONF_INT, 1000, 200000},
      {"bigscore", "treason.hit_value", CONF_INT, 1000, 200000},
      {"bigscore", "riot.hit_value", CONF_INT, 1000, 200000},
      {"bigscore", "putch.hit_value", CONF_INT, 1000, 200000},
      {"bigscore", "steal.value", CONF_INT, 1000, 500000},
      {"bigscore", "small_prize.value", CONF_INT, 1000, 500000},
      {"bigscore", "law_prize.value", CONF_INT, 1000, 500000},
      {"bigscore", "ukazy_prize.value", CONF_INT, 1000, 500000},
      {"bigscore", "mafia.value", CONF_INT, 1000, 500000},
      {"bigscore", "export.value", CONF_INT, 1000, 200000},
      {"bigscore", "mumra_prize.value", CONF_INT, 1000, 1000000},
      {"bigscore", "reklama.value", CONF_INT, 1000, 500000},
      {"mission", "crisis.timeout", CONF_INT, 2, 120},
      {"mission", "duma.bumper_count", CONF_INT, 1, 50},
      {"mission", "zona.delay", CONF_INT, 10, 1000},
      {"mission", "zona.increase", CONF_INT, 1, 16},
      {"mission", "pres.timeout", CONF_INT, 10, 300},
      {"mission", "pres.timeadd", CONF_INT, 1, 30},
      {"mission", "pres.quorum", CONF_INT, 1, 20},
      {"mission", "pres.quorum_step", CONF_INT, 0, 5},
      {"mission", "treason.timeout", CONF_INT, 3, 120},
      {"mission", "riot.timeout", CONF_INT, 3, 120},
      {"mission", "putch.timeout", CONF_INT, 3, 120},
      {"mission", "opponent.timeout", CONF_INT, 2, 120},
      {"mission", "anim.delay", CONF_INT, 1, 200},
      {"mission", "anim.updown_steps", CONF_INT, 2, 500},
      {"mission", "anim.updown_velo_ratio", CONF_INT, 1, 100},
      {"mission", "anim.explode_delay", CONF_INT, 1, 500},
      {"mission", "godown.dy", CONF_INT, 1, 100},
      {"mission", "points.vbl", CONF_INT, 0, 15},
      {"modes", "question.timeout", CONF_INT, 3, 120},
      {"modes", "steal.timeout", CONF_INT, 3, 120},
      {"score", "tip_time", CONF_INT, 100, 5000},
      {"score", "tip_dist", CONF_INT, 1, 200},
      {"score", "digits_sprite", CONF_STRING, 0, 0},
  };
  const char* typeNames[] = {"integer", "real", "string"};
  std::map<std::string, Conf*> files;
  for (const Key& k : keys) {
    if (!files.count(k.file)) files[k.file] = new Conf(k.file);
    Conf* c = files[k.file];
    ASSERT_GE(c->status, 0) << "conf/" << k.file << ".conf";
    const std::string where = std::string("conf/") + k.file + ".conf: " + k.key;
    if (conf_gettype(&c->set, k.key) != k.type) {
      ADD_FAILURE() << where << " must be a " << typeNames[k.type];
      continue;
    }
    if (k.type == CONF_INT) {
      const int v = conf_getint(&c->set, k.key, 0);
      EXPECT_GE(v, k.lo) << where;
      EXPECT_LE(v, k.hi) << where;
    } else {
      EXPECT_STRNE(conf_getstr(&c->set, k.key, ""), "") << where;
    }
  }
  for (auto& [name, c] : files) delete c;
}

// ---- The score subjects ----

struct Subject {
  int value, x, y;
  std::string section;
};

// The subjects as the game builds them from the score configuration: every
// section not starting with "class_" names its class and place; each
// "class_CLASS.value*" key gives a subject named like the section, or
// "SECTION:SUFFIX" for "value_SUFFIX".
std::map<std::string, Subject> readSubjects(ConfSet* set, std::vector<std::string>* problems) {
  std::map<std::string, Subject> out;
  std::vector<std::string> sections;
  for (const char* s = conf_firstsection(set, "*"); s; s = conf_nextsection(set)) sections.push_back(s);
  for (const std::string& sec : sections) {
    if (sec.rfind("class_", 0) == 0) continue;
    const char* cls = conf_getstr(set, (sec + ".class").c_str(), nullptr);
    int x = 0, y = 0;
    if (!cls || !parseXY(conf_getstr(set, (sec + ".xy").c_str(), nullptr), &x, &y)) {
      problems->push_back("section [" + sec + "] lacks a class or an \"x,y\" place");
      continue;
    }
    const std::string prefix = std::string("class_") + cls + ".value";
    std::vector<std::string> keys;
    for (const char* k = conf_findfirst(set, (prefix + "*").c_str()); k; k = conf_findnext(set)) keys.push_back(k);
    if (keys.empty()) problems->push_back("section [" + sec + "]: class '" + cls + "' has no values");
    for (const std::string& k : keys) {
      std::string name = sec;
      if (k.size() > prefix.size()) {
        if (k[prefix.size()] != '_') continue;
        name += ":" + k.substr(prefix.size() + 1);
      }
      if (out.count(name)) problems->push_back("subject '" + name + "' defined twice");
      out[name] = {conf_getint(set, k.c_str(), -1), x, y, sec};
    }
  }
  return out;
}

// Every name the table objects and the rules pass to the score: the
// bumpers and paired buttons by their places on the table, the lane and well
// groups (0..3, scored together), the flap rows and the Kremlin buttons with
// the endings the rules add.
std::vector<std::string> scoredNames(const tbl::Model& m) {
  std::vector<std::string> names;
  for (const tbl::Object& o : m.objects) {
    const int place = tbl::objectInt(m, o, "place", -1);
    if (o.family == "bumper") {
      const std::string logic = tbl::objectString(m, o, "logic", "");
      names.push_back(fmt(logic == "duma" ? "duma_bumper%d" : "krem_bumper%d", place));
    } else if (o.family == "ostbtn" || o.family == "zonabtn") {
      names.push_back(o.family + std::to_string(place));
    }
  }
  for (const std::string& n : groupScoredNames()) names.push_back(n);
  return names;
}

TEST(RulesConf, EveryScoredNameIsASubjectOnTheScreen) {
  Conf score("score");
  ASSERT_GE(score.status, 0);
  const tbl::Model& model = shippedTableModel();
  ASSERT_FALSE(model.objects.empty());
  std::vector<std::string> problems;
  const std::map<std::string, Subject> subjects = readSubjects(&score.set, &problems);
  for (const std::string& p : problems) ADD_FAILURE() << p;
  EXPECT_LE(subjects.size(), 128u) << "the game keeps at most 128 subjects";
  for (const std::string& name : scoredNames(model)) {
    auto it = subjects.find(name);
    if (it == subjects.end()) {
      ADD_FAILURE() << "no score subject '" << name << "'";
      continue;
    }
    const Subject& s = it->second;
    EXPECT_GT(s.value, 0) << name;
    // A tip shows six digits at most, and the tax multiplies up to 8.
    EXPECT_LE(s.value * 8, 999999) << name;
    EXPECT_TRUE(s.x >= 0 && s.x < 800 && s.y >= 0 && s.y < 600) << name << " at " << s.x << "," << s.y;
  }
  // Targets scored at once (a lane group, a bumper and its neighbour) must
  // not stack their tips on one spot.
  std::map<std::pair<int, int>, std::string> places;
  for (const auto& [name, s] : subjects) {
    auto [it, fresh] = places.emplace(std::make_pair(s.x, s.y), s.section);
    if (!fresh && it->second != s.section) {
      ADD_FAILURE() << s.section << " and " << it->second << " share " << s.x << "," << s.y;
      it->second = s.section;  // once per pair
    }
  }
}

// The game's own set-up reads the shipped score configuration without a
// complaint, and every name the table's objects and the rules score is one
// of its subjects, worth something.
TEST(RulesConf, TheGameScoresEveryScoredName) {
  const tbl::Model& model = shippedTableModel();
  ASSERT_FALSE(model.objects.empty());
  MemScreen screen;
  ASSERT_TRUE(screen.openScreen(800, 600));
  logReset();
  const double savedTime = tmTime;
  gameReset();
  int ok = -1;
  std::string log;
  {
    ScopedChdir in(kGame);
    StderrCapture err;
    ok = setupScore(0);
    log = err.finish();
  }
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(log, "");
  for (const std::string& name : scoredNames(model)) {
    // Each tip has ended before the next score.
    tmTime += 100000;
    scoreUpdateTips();
    game.score = 0;
    StderrCapture err;
    const int added = scoreAdd(name.c_str());
    EXPECT_EQ(err.finish(), "") << name;
    EXPECT_EQ(added, 1) << name;
    EXPECT_GT(game.score, 0) << name;
  }
  scoreFree();
  screen.closeScreen();
  gameReset();
  tmTime = savedTime;
  logReset();
}

int alphaSum(const Sprite* s, int frame) {
  std::vector<uint8_t> rgba;
  if (gspDecodeFrame(s, frame, &rgba) < 0) return -1;
  int sum = 0;
  for (size_t i = 3; i < rgba.size(); i += 4) sum += rgba[i];
  return sum;
}

TEST(RulesConf, TipDigitsLoadAndFadeOut) {
  Conf score("score");
  ASSERT_GE(score.status, 0);
  const char* format = conf_getstr(&score.set, "digits_sprite", nullptr);
  ASSERT_NE(format, nullptr);
  logReset();
  logPrint("STDERR 0");
  std::vector<std::vector<uint8_t>> faces;
  int pitch = -1;
  for (int d = 0; d <= 9; d++) {
    const std::string path = kGame + "/" + fmt(format, d);
    Sprite* s = SPR_CREATE_FLAGS(path.c_str(), path.c_str(), SPR_LOAD_RAW);
    ASSERT_NE(s, nullptr) << path;
    // The tip steps through the frames as it rises: it needs several, the
    // last fainter than the first, and all visible.
    EXPECT_GE(s->numfrms, 2) << path;
    const int first = alphaSum(s, 0), last = alphaSum(s, s->numfrms - 1);
    EXPECT_GT(last, 0) << path;
    EXPECT_LT(last, first) << path;
    // The game adds the digit width to place the next digit: one pitch for all.
    if (pitch < 0) pitch = s->frames[0].width;
    EXPECT_EQ(s->frames[0].width, pitch) << path;
    EXPECT_GT(s->frames[0].width, 0) << path;
    std::vector<uint8_t> face;
    gspDecodeFrame(s, 0, &face);
    for (size_t i = 0; i < faces.size(); i++)
      EXPECT_NE(face, faces[i]) << "digits " << i << " and " << d << " look alike";
    faces.push_back(face);
    SPR_FREE(s);
  }
  logReset();
}

// ---- Mission symbols ----

TEST(RulesConf, MissionSymbolsRiseOnTheTablesMissionPoints) {
  Conf mission("mission");
  ASSERT_GE(mission.status, 0);
  const tbl::Model& model = shippedTableModel();
  ASSERT_FALSE(model.objects.empty());
  PerspKeys view;
  ASSERT_NO_FATAL_FAILURE(setupShippedView(&view));
  tbl::HeightMaps heights;
  tbl::buildHeights(model, &heights);

  // Each mission point object of place N is hit where symbol slot N shows.
  std::set<int> places;
  for (const tbl::Object& o : model.objects) {
    if (o.family != "mpoint") continue;
    const int place = tbl::objectInt(model, o, "place", -1);
    places.insert(place);
    const double z = heights.at(o.layer, static_cast<int>(o.centre.x), static_cast<int>(o.centre.y)) + view.dz;
    const double sx = PERSP_X(o.centre.x, o.centre.y, z) + view.dx, sy = PERSP_Y(o.centre.y, z) + view.dy;
    int x = -1, y = -1;
    const char* text = conf_getstr(&mission.set, fmt("points.point%d", place).c_str(), nullptr);
    ASSERT_TRUE(parseXY(text, &x, &y)) << "points.point" << place << " = " << (text ? text : "(missing)");
    EXPECT_NEAR(x, sx, 2.0) << o.name << ": expected " << std::lround(sx) << "," << std::lround(sy);
    EXPECT_NEAR(y, sy, 2.0) << o.name << ": expected " << std::lround(sx) << "," << std::lround(sy);
  }
  // Five symbols rise on the first five points.
  for (int i = 0; i < 5; i++) EXPECT_TRUE(places.count(i)) << "no mission point of place " << i;

  logReset();
  logPrint("STDERR 0");
  for (int i = 0; i < 5; i++) {
    for (const char* key : {"symbols.symbol%d_sprite", "symbols.symbol%d_explode_sprite"}) {
      const char* file = conf_getstr(&mission.set, fmt(key, i).c_str(), nullptr);
      ASSERT_NE(file, nullptr) << fmt(key, i);
      const std::string path = kGame + "/" + file;
      Sprite* s = SPR_CREATE_FLAGS(path.c_str(), path.c_str(), SPR_LOAD_RAW);
      ASSERT_NE(s, nullptr) << path;
      EXPECT_GE(s->numfrms, 2) << path << ": a symbol spins and an explosion spreads";
      for (int f = 0; f < s->numfrms; f++) EXPECT_GT(alphaSum(s, f), 0) << path << " frame " << f;
      SPR_FREE(s);
    }
  }
  logReset();
}

// ---- Questions ----

TEST(RulesConf, FortyWellFormedQuestionsForEveryRegime) {
  Conf q("question");
  ASSERT_GE(q.status, 0);
  std::map<std::string, int> perRegime;
  std::set<std::string> texts;
  int n = 0;
  for (;; n++) {
    const char* regime = conf_getstr(&q.set, fmt("q%d.regime", n).c_str(), nullptr);
    if (!regime) break;
    const std::string at = "q" + std::to_string(n);
    const std::string r = regime;
    EXPECT_TRUE(r == "comm" || r == "demo" || r == "dict") << at << ".regime '" << r << "'";
    const char* text = conf_getstr(&q.set, fmt("q%d.text", n).c_str(), nullptr);
    ASSERT_NE(text, nullptr) << at << ".text";
    const std::string s = text;
    EXPECT_LE(s.size(), 127u) << at;
    EXPECT_EQ(s.back(), '?') << at << ": a yes/no question";
    EXPECT_TRUE(texts.insert(s).second) << at << " repeats an earlier question";
    const char* cpw = conf_getstr(&q.set, fmt("q%d.cpw", n).c_str(), "");
    EXPECT_TRUE(std::string(cpw) == "c" || std::string(cpw) == "p" || std::string(cpw) == "w") << at << ".cpw";
    ASSERT_EQ(conf_gettype(&q.set, fmt("q%d.yes", n).c_str()), CONF_INT) << at << ".yes must be an integer";
    const int yes = conf_getint(&q.set, fmt("q%d.yes", n).c_str(), 0);
    // A level runs 0..10: an answer moves it a little, never not at all.
    EXPECT_TRUE(yes != 0 && std::abs(yes) <= 5) << at << ".yes = " << yes;
    perRegime[r]++;
  }
  // The game reads at most 40: the file must fill them all and no more.
  EXPECT_EQ(n, 40);
  for (const char* r : {"comm", "demo", "dict"}) EXPECT_GE(perRegime[r], 10) << r;
}

// The title display shows a question in its small font as two pages of two
// lines: lines 0-1, then lines 2-3. What keeps a question text (lines
// separated by backslash-n) from reading whole that way: fewer than three
// lines leave the second page empty, more than four are never shown, a line
// wider than the display is cut off at both sides, and an empty line or a
// space at a line's end throws off the centring.
constexpr int kDisplayWidth = 420;

std::vector<std::string> questionLayoutFaults(const std::string& text, Font* small) {
  std::vector<std::string> faults;
  const auto lines = titletext::lineWidths("{font select small}" + text, {{"small", small}});
  if (lines.size() < 3 || lines.size() > 4)
    faults.push_back(std::to_string(lines.size()) + " lines, not 3 or 4 (two pages of two)");
  for (const auto& [width, line] : lines) {
    const std::string shown = "'" + cp1251ToUtf8(line) + "'";
    if (width > kDisplayWidth)
      faults.push_back(shown + " is " + std::to_string(width) + " pixels wide (at most " +
                       std::to_string(kDisplayWidth) + ")");
    if (line.empty() || line.front() == ' ' || line.back() == ' ')
      faults.push_back(shown + ": an empty line or a space at its end");
  }
  return faults;
}

// A font whose every character is one pixel wide: a line's width is its
// length. The bytes must outlive the font.
struct PixelFont {
  std::vector<uint8_t> bytes;
  Font* font = nullptr;
  PixelFont() {
    const uint8_t pixel[4] = {255, 255, 255, 255};
    const std::vector<GspFrameImage> glyphs = {{1, 1, pixel, 0, 0}};
    uint8_t map[FNT_MAP_SIZE] = {};
    if (fnpEncode(GSP_CM_565_ALPHA, glyphs, map, &bytes) == 0)
      font = FNT_CREATE_MEM(bytes.data(), bytes.size(), "pixel", SPR_LOAD_RAW);
  }
  ~PixelFont() { FNT_FREE(font); }
  PixelFont(const PixelFont&) = delete;
  PixelFont& operator=(const PixelFont&) = delete;
};

TEST(RulesConf, QuestionLayoutCheckFindsEveryFault) {
  PixelFont pixel;
  ASSERT_NE(pixel.font, nullptr);
  const std::string fits(kDisplayWidth, 'x'), wide(kDisplayWidth + 1, 'x');
  struct Case {
    std::string text;
    size_t faults;
  } cases[] = {
      {"a\\nb", 1},
      {"a\\nb\\nc", 0},
      {"a\\nb\\nc\\nd", 0},
      {"a\\nb\\nc\\nd\\ne", 1},
      {fits + "\\nb\\nc", 0},
      {wide + "\\nb\\nc", 1},
      {"a\\nb\\n" + wide + "\\n" + wide, 2},
      {"a\\n\\nc", 1},
      {"a \\nb\\nc", 1},
      {"a\\nb\\n c", 1},
      {"a\\nb\\nc\\n", 1},  // a break at the end makes an empty fourth line
  };
  for (const Case& c : cases) {
    const std::vector<std::string> faults = questionLayoutFaults(c.text, pixel.font);
    std::string all;
    for (const std::string& f : faults) all += "\n  " + f;
    EXPECT_EQ(faults.size(), c.faults) << c.text.substr(0, 40) << all;
  }
}

TEST(RulesConf, EveryQuestionReadsWholeOnTwoPagesOfTheTitleDisplay) {
  Conf q("question");
  ASSERT_GE(q.status, 0);
  const std::string path = kGame + "/titles/fonts/dotsmall.fnp";
  Font* small = FNT_CREATE_FLAGS(path.c_str(), "small", SPR_LOAD_RAW);
  ASSERT_NE(small, nullptr) << path;
  int n = 0;
  for (; q.type(fmt("q%d.text", n)) == CONF_STRING; n++)
    for (const std::string& f : questionLayoutFaults(q.str(fmt("q%d.text", n)), small))
      ADD_FAILURE() << "q" << n << ": " << f;
  EXPECT_EQ(n, 40);
  FNT_FREE(small);
  logReset();
}

}  // namespace
