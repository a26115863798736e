#pragma once
// A small table for object tests: an active board, a visual board over a
// memory screen (MemScreen: objects get their sprite instances), an object
// configuration parsed from text, sprites written into a temporary folder,
// and helpers to make outlines and balls and to run steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "anim/lights.h"
#include "anim/title.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/mem.h"
#include "core/time.h"
#include "core/calls.h"
#include "main/tableload.h"
#include "game/game.h"
#include "game/mission.h"
#include "game/mode.h"
#include "core/nproc.h"
#include "game/score.h"
#include "game/stats.h"
#include "gfx/gspwrite.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "physics/ball.h"
#include "physics/board.h"
#include "physics/objects/objects.h"
#include "physics/opr.h"
#include "physics/table.h"
#include "physics/track.h"
#include "platform/gdev.h"
#include "support/memscreen.h"
#include "support/scored_names.h"
#include "support/testutil.h"

class TableFixture : public ::testing::Test, protected MemScreen {
 protected:
  static constexpr int W = 800, H = 600;

  void SetUp() override {
    logReset();
    memInit();
    gsBuildBlendTable();
    tableResetModules();
    // What the objects report to the modes is noted beside the other calls
    // into the rules, as "modeEvent MODE EVENT A" and " obj" with an object.
    modeSetTap([](int mode, int event, int a, BoardObject* object) {
      if (event != MEVT_UPDATE) rulesCallNote("modeEvent %d %d %d%s", mode, event, a, object ? " obj" : "");
    });
    tmTime = 0;
    ASSERT_TRUE(openScreen(W, H));
    params = BoardParams{0.0, 1.0, 0.2};
    gTable.keyHeld = &TableFixture::keyHeld;
    gKeys = {};
    // The board, the lamps and the object families, as a table load makes them.
    ASSERT_EQ(tableLoad(&table, tablePhaseBit(TP_BOARD) | tablePhaseBit(TP_DISPLAY) | tablePhaseBit(TP_FAMILIES)), 0);
    for (int d = 0; d < 10; d++) sprite("digit" + std::to_string(d) + ".gsp", 2, 6, 8);
    ASSERT_NO_FATAL_FAILURE(setScores({}));
  }

  void TearDown() override {
    modeSetTap(nullptr);
    tableUnload(&table);
    oprSetObjectConf(nullptr);
    conf_free(&conf);
    for (auto& o : outlines) shFree(&o);
    closeScreen();
    gameSetBigscore(nullptr);
    conf_free(&rules);
    conf_free(&bigscore);
    conf_free(&global);
    logReset();
  }

  // The object configuration, as the text of "table/objects-N.conf".
  void setObjects(const std::string& text) {
    parseConf(&conf, text, "objects.conf");
    oprSetObjectConf(&conf);
  }
  // The rules' configuration ("conf/game.conf") from text.
  void setRules(const std::string& text) {
    parseConf(&rules, text, "game.conf");
    gTable.rules = &rules;
  }
  // The big-score configuration ("conf/bigscore.conf") from text.
  void setBigscore(const std::string& text) {
    parseConf(&bigscore, text, "bigscore.conf");
    gameSetBigscore(&bigscore);
  }
  // The global configuration ("conf/global.conf") from text.
  void setGlobal(const std::string& text) {
    parseConf(&global, text, "global.conf");
    gTable.global = &global;
  }
  static void parseConf(ConfSet* set, const std::string& text, const char* name) {
    conf_free(set);
    ASSERT_EQ(confParseText(set, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, name), 0) << name;
  }

  // Every subject the table objects score.
  inline static const std::vector<std::string> kTableSubjects = [] {
    std::vector<std::string> names;
    auto numbered = [](std::string f, int i) { return f.replace(f.find('#'), 1, std::to_string(i)); };
    for (int i = 0; i < 3; i++)
      for (const char* f : {"duma_bumper#", "krem_bumper#"}) names.push_back(numbered(f, i));
    for (int i = 0; i < 2; i++)
      for (const char* f : {"ostbtn#", "zonabtn#"}) names.push_back(numbered(f, i));
    for (const std::string& n : groupScoredNames()) names.push_back(n);
    return names;
  }();

  // The score configuration, with every subject of the table: the listed
  // ones worth 1, 4, 16 ... in that order, every other one 2^30. So
  // game.score says which of the listed subjects were added and how often
  // (up to three times each), and whether anything else was added at all.
  // The score starts again from 0.
  void setScores(const std::vector<std::string>& listed) {
    ASSERT_LE(listed.size(), 15u);
    scoreValues.clear();
    for (const std::string& n : kTableSubjects) scoreValues[n] = 1 << 30;
    for (size_t i = 0; i < listed.size(); i++) {
      ASSERT_TRUE(scoreValues.count(listed[i])) << listed[i];
      scoreValues[listed[i]] = 1 << (2 * i);
    }
    // One class per placed subject, each at its own place.
    std::map<std::string, std::string> classes;
    for (const auto& [name, value] : scoreValues) {
      const size_t colon = name.find(':');
      const std::string section = name.substr(0, colon);
      const std::string key = colon == std::string::npos ? "value" : "value_" + name.substr(colon + 1);
      classes[section] += key + " = " + std::to_string(value) + "\n";
    }
    std::string text = "digits_sprite = \"" + dir.path + "/digit%d.gsp\"\n";
    int place = 0;
    for (const auto& [section, values] : classes) {
      text += "[class_" + section + "]\n" + values;
      text += "[" + section + "]\nclass = \"" + section + "\"\nxy = \"" + std::to_string(20 + 20 * place++) + ",300\"\n";
    }
    ConfSet set{};
    parseConf(&set, text, "score.conf");
    const int ok = setupScoreFrom(&set);
    conf_free(&set);
    ASSERT_EQ(ok, 1);
    ASSERT_EQ(scoreSubjectCount(), static_cast<int>(kTableSubjects.size()));
    game.score = 0;
  }
  // What the subjects given add, each as often as it appears.
  int scoreOf(const std::vector<std::string>& added) {
    int sum = 0;
    for (const std::string& n : added) sum += scoreValues.at(n);
    return sum;
  }

  // Offers an outline to the readers as the shape loader does; returns the
  // board object made from it (the reader number through reader).
  BoardObject* make(Outline* o, int layer = 0, int* reader = nullptr) {
    int r = OPR_RECOGNIZE(layer, o);
    if (reader) *reader = r;
    for (int i = 0; i < board.count; i++) {
      BoardObject* b = &board.objects[i];
      if (b->id >= 0 && b->kind != BK_BALL && b->u.shape.outline.vertices == o->vertices) return b;
    }
    return nullptr;
  }

  // The ball in the highest board slot, null when there is none.
  BoardObject* newestBall() {
    for (int i = board.count - 1; i >= 0; i--)
      if (board.objects[i].id >= 0 && board.objects[i].kind == BK_BALL) return &board.objects[i];
    return nullptr;
  }

  // What f writes to the log.
  static std::string logOf(const std::function<void()>& f) {
    StderrCapture err;
    f();
    return err.finish();
  }
  // step() with the log captured; returns it.
  std::string stepLogged(int n = 1, double dt = 1.0, double ms = 1000.0 / 60) {
    return logOf([&] { step(n, dt, ms); });
  }

  // A sprite of `frames` frames of w x h opaque pixels, written into the
  // temporary folder; returns its path.
  std::string sprite(const std::string& name, int frames, int w = 8, int h = 8) {
    std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4, 255);
    std::vector<GspFrameImage> images(static_cast<size_t>(frames), GspFrameImage{w, h, rgba.data(), 0, 0});
    std::string path = dir.path + "/" + name;
    EXPECT_EQ(gspWrite(path.c_str(), 4, images), 0);
    return path;
  }

  // A polygon outline at (x, y) with vertices relative to it, kept alive
  // for the test (board objects point at its arrays).
  Outline* outline(double x, double y, const std::vector<std::pair<double, double>>& vertices) {
    Outline o;
    std::memset(&o, 0, sizeof o);
    o.pos = Vec3{x, y, 0};
    o.n = static_cast<int>(vertices.size());
    // One block for both arrays, as the shape reader makes them (shFree
    // releases it through the vertices).
    void* block = std::calloc(vertices.size(), sizeof(Vec3) + sizeof(EdgeLine));
    o.vertices = static_cast<Vec3*>(block);
    o.edges = reinterpret_cast<EdgeLine*>(static_cast<char*>(block) + vertices.size() * sizeof(Vec3));
    o.xmin = o.ymin = 1e300;
    o.xmax = o.ymax = -1e300;
    for (size_t i = 0; i < vertices.size(); i++) {
      o.vertices[i] = Vec3{vertices[i].first, vertices[i].second, 0};
      o.xmin = std::min(o.xmin, vertices[i].first);
      o.xmax = std::max(o.xmax, vertices[i].first);
      o.ymin = std::min(o.ymin, vertices[i].second);
      o.ymax = std::max(o.ymax, vertices[i].second);
    }
    shComputeEdges(&o);
    outlines.push_back(o);
    return &outlines.back();
  }

  // An axis-aligned box outline with corners (x0, y0) and (x1, y1) in table
  // coordinates, positioned at its top-left corner. Its vertices go round
  // so that the edge normals point inwards and balls outside collide with it.
  Outline* box(double x0, double y0, double x1, double y1) {
    double w = x1 - x0, h = y1 - y0;
    return outline(x0, y0, {{0, 0}, {w, 0}, {w, h}, {0, h}});
  }

  // A free ball (no sprites) at (x, y) with velocity (vx, vy).
  BoardObject* ball(double x, double y, double vx = 0, double vy = 0, int lmask = 1, double radius = 3) {
    BallData d{};
    d.pos = Vec3{x, y, 0};
    d.velo = Vec3{vx, vy, 0};
    d.radius = radius;
    BoardObject* b = CREATE_BALL(&d, nullptr, nullptr, lmask);
    EXPECT_NE(b, nullptr);
    return b;
  }

  // Steps the board n times by dt, advancing the game clock by ms per step.
  // The score's tips rise and end as in the session's frames.
  void step(int n = 1, double dt = 1.0, double ms = 1000.0 / 60) {
    for (int i = 0; i < n; i++) {
      tmTime += ms;
      BOARD_STEP(dt);
      scoreUpdateTips();
    }
  }

  static int keyHeld(int scan) { return scan >= 0 && scan < 256 ? gKeys[scan] : 0; }
  void press(int scan, bool down) { gKeys[scan] = down ? 1 : 0; }

  inline static std::array<int, 256> gKeys{};

  TempDir dir;
  TableLoad table{};
  Board& board = table.physics;
  BoardParams& params = table.boardParams;
  ConfSet conf{}, rules{}, global{}, bigscore{};
  std::map<std::string, int> scoreValues;
  std::deque<Outline> outlines;
};
