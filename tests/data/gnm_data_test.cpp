// The features' animation scripts in the built game folder (tiny/*.gnm) and
// the sprites they play: every script reads under the script language's
// rules (checked here by a small reader of its own, which the first test
// shows rejecting broken scripts), every sprite, sample and list it names is
// there and loads, every frame range lies inside its sprite, and what the
// sprites draw sits on the screen at the feature the script belongs to.
// Last, the game's own reader loads all sixteen and runs them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "anim/gnm.h"
#include "core/conf.h"
#include "core/log.h"
#include "gfx/gspwrite.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "main/scene.h"
#include "platform/audio.h"
#include "sound/fx.h"
#include "physics/geometry.h"
#include "support/memscreen.h"
#include "support/table_model.h"
#include "support/testutil.h"
#include "table/desc.h"
#include "table/model.h"

namespace {

const std::string kGame = PB_GAME_DIR;
const std::string kTiny = kGame + "/tiny";

// ---- A reader of the script language ----

std::string trim(const std::string& s, const char* chars = " \t\r\n") {
  const size_t a = s.find_first_not_of(chars);
  if (a == std::string::npos) return "";
  const size_t b = s.find_last_not_of(chars);
  return s.substr(a, b - a + 1);
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Decimal, 0x hexadecimal or leading-0 octal, with a sign.
bool parseInt(const std::string& text, long* out) {
  const std::string t = trim(text);
  if (t.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(t.c_str(), &end, 0);
  if (errno != 0 || *end != '\0') return false;
  *out = v;
  return true;
}

std::vector<std::string> splitTrimmed(const std::string& s, char sep, bool dropEmpty) {
  std::vector<std::string> out;
  std::string item;
  std::istringstream in(s);
  while (std::getline(in, item, sep)) {
    item = trim(item);
    if (!item.empty() || !dropEmpty) out.push_back(item);
  }
  return out;
}

struct PlayRef {
  std::string sprite;  // path relative to tiny/
  long start = 0, end = -1;
  int line = 0;
};

struct TrackInfo {
  std::string name;
  int line = 0;
  std::vector<std::string> events;
  std::set<std::string> marks, waitmarks;
};

struct Script {
  std::vector<std::string> errors;  // "line N: message"
  std::vector<TrackInfo> tracks;
  std::vector<PlayRef> plays;
  std::vector<std::string> samples;  // paths relative to tiny/
  std::vector<std::string> lists;    // paths relative to tiny/
};

struct Settings {
  std::string dir, snddir;
};

// Applies "key=value, ..." to settings; false with a message.
bool applySet(const std::string& text, Settings* s, std::string* err) {
  for (const std::string& pair : splitTrimmed(text, ',', true)) {
    const size_t eq = pair.find('=');
    const std::string key = eq == std::string::npos ? "" : lower(trim(pair.substr(0, eq)));
    const std::string value = eq == std::string::npos ? "" : trim(pair.substr(eq + 1));
    if (key.empty() || value.empty()) {
      *err = "illegal assignment, not 'key=val': " + pair;
      return false;
    }
    long v = 0;
    if (key == "dir") {
      s->dir = value;
    } else if (key == "snddir") {
      s->snddir = value;
    } else if (key == "delay" || key == "dx" || key == "dy" || key == "sndvol" || key == "sndpan") {
      if (!parseInt(value, &v)) {
        *err = "integer value expected after '" + key + "'";
        return false;
      }
      if ((key == "delay" && v < 1) || (key == "sndvol" && (v < 0 || v > 100)) ||
          (key == "sndpan" && (v < -100 || v > 100))) {
        *err = "'" + key + "' out of range: " + value;
        return false;
      }
    } else {
      *err = "unknown key '" + key + "'";
      return false;
    }
  }
  return true;
}

std::string joinPath(const std::string& dir, const std::string& name) { return dir.empty() ? name : dir + "/" + name; }

bool validMark(const std::string& m) {
  return !m.empty() && std::all_of(m.begin(), m.end(),
                                   [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

// Reads one track's command list; false with a message on the first fault.
bool readTrackCommands(const std::string& text, const Settings& s, int line, TrackInfo* t, Script* out,
                       std::string* err) {
  for (const std::string& cmd : splitTrimmed(text, ';', true)) {
    const size_t sp = cmd.find_first_of(" \t");
    const std::string word = lower(cmd.substr(0, sp));
    const std::string rest = sp == std::string::npos ? "" : trim(cmd.substr(sp));
    const std::vector<std::string> p = splitTrimmed(rest, ',', true);
    auto noArgs = [&] {
      if (p.empty()) return true;
      *err = "no arguments expected after '" + word + "'";
      return false;
    };
    if (word == "play") {
      if (p.empty()) {
        *err = "sprite name expected after 'play'";
        return false;
      }
      PlayRef r;
      r.sprite = joinPath(s.dir, p[0]) + ".gsp";
      r.line = line;
      if (p.size() > 3 || (p.size() > 1 && !parseInt(p[1], &r.start)) || (p.size() > 2 && !parseInt(p[2], &r.end))) {
        *err = "integer value expected after 'play " + p[0] + "'";
        return false;
      }
      out->plays.push_back(r);
    } else if (word == "set") {
      Settings copy = s;
      if (!applySet(rest, &copy, err)) return false;
    } else if (word == "list") {
      if (p.size() != 1) {
        *err = "one list file expected";
        return false;
      }
      out->lists.push_back(joinPath(s.dir, p[0]));
    } else if (word == "sleep" || word == "fsleep") {
      long v = 0;
      if (p.size() != 1 || !parseInt(p[0], &v) || v < 0) {
        *err = "integer value expected after '" + word + "'";
        return false;
      }
      if (v == 0) continue;  // adds no event
    } else if (word == "mark" || word == "waitmark" || word == "runmark") {
      if (p.size() != 1 || !validMark(p[0])) {
        *err = "one mark name of letters, digits and '_' expected after '" + word + "'";
        return false;
      }
      if (word == "mark") t->marks.insert(p[0]);
      if (word == "waitmark") t->waitmarks.insert(p[0]);
    } else if (word == "control") {
      // The game registers no control callbacks: a control would only log.
      *err = "control callback '" + rest + "' does not exist";
      return false;
    } else if (word == "sndstart" || word == "sndloop" || word == "sndplay") {
      if (p.size() != 1) {
        *err = "sample filename expected after '" + word + "'";
        return false;
      }
      out->samples.push_back(joinPath(s.snddir, p[0]) + ".wav");
    } else if (word == "noframe" || word == "loop" || word == "stop" || word == "nolist" || word == "nocontrol" ||
               word == "sndstop") {
      if (!noArgs()) return false;
    } else {
      *err = "unknown track command '" + word + "'";
      return false;
    }
    t->events.push_back(word);
  }
  return true;
}

Script readScript(const std::string& text) {
  Script out;
  Settings gnm;
  std::vector<std::string> physical;
  {
    std::istringstream in(text);
    std::string l;
    while (std::getline(in, l)) physical.push_back(l);
  }
  for (size_t i = 0; i < physical.size();) {
    const int lineNo = static_cast<int>(i) + 1;
    std::string line = trim(physical[i++]);
    // A backslash at the end joins the next physical line, whose comment is
    // cut first.
    while (!line.empty() && line.back() == '\\' && i < physical.size()) {
      line.pop_back();
      std::string next = physical[i++];
      next = next.substr(0, next.find('#'));
      line += trim(next);
    }
    line = line.substr(0, line.find('#'));
    line = trim(trim(line), ";");
    line = trim(line);
    if (line.empty()) continue;
    const size_t sp = line.find_first_of(" \t");
    const std::string command = lower(line.substr(0, sp));
    const std::string args = sp == std::string::npos ? "" : trim(line.substr(sp));
    std::string err;
    if (args.empty()) {
      err = "parameters expected after command name";
    } else if (command == "set") {
      applySet(args, &gnm, &err);
    } else if (command == "custom") {
      // Accepted and ignored by the game.
    } else if (command == "track") {
      const size_t colon = args.find(':');
      const std::string name = colon == std::string::npos ? "" : trim(args.substr(0, colon));
      if (colon == std::string::npos || name.empty()) {
        err = "track name, ':' and commands expected";
      } else {
        TrackInfo t;
        t.name = name;
        t.line = lineNo;
        if (readTrackCommands(args.substr(colon + 1), gnm, lineNo, &t, &out, &err)) out.tracks.push_back(t);
      }
    } else {
      err = "unknown command '" + command + "'";
    }
    if (!err.empty()) out.errors.push_back("line " + std::to_string(lineNo) + ": " + err);
  }
  // A looping track must wait somewhere, or one frame's update never ends.
  static const std::set<std::string> kWaiting = {"play", "sleep", "fsleep", "stop", "waitmark", "sndplay"};
  std::set<std::string> marks;
  for (const TrackInfo& t : out.tracks) marks.insert(t.marks.begin(), t.marks.end());
  for (const TrackInfo& t : out.tracks) {
    const bool loops = std::count(t.events.begin(), t.events.end(), "loop") > 0;
    const bool waits =
        std::any_of(t.events.begin(), t.events.end(), [](const std::string& e) { return kWaiting.count(e); });
    if (loops && !waits)
      out.errors.push_back("line " + std::to_string(t.line) + ": track '" + t.name + "' could be dead looped");
    // A waitmark no track of the script marks holds its track for good.
    for (const std::string& w : t.waitmarks)
      if (!marks.count(w))
        out.errors.push_back("line " + std::to_string(t.line) + ": track '" + t.name + "' waits for mark '" + w +
                             "', which nothing marks");
  }
  return out;
}

std::string joined(const std::vector<std::string>& v) {
  std::string s;
  for (const std::string& e : v) s += e + "\n";
  return s;
}

TEST(GnmReader, AcceptsTheLanguageAndRejectsBrokenScripts) {
  const Script good = readScript(
      "# comment\n"
      "set dir=d, delay=0x10, sndvol=050\n"
      "custom anything=1\n"
      "track t1: play spr,0,3; sleep 0; set dx=-4; loop;  # trailing\n"
      "track t2: waitmark go; play spr; \\\n"
      "   noframe; loop   # continued\n"
      "track t3: sleep 100; mark go; loop\n");
  EXPECT_TRUE(good.errors.empty()) << joined(good.errors);
  ASSERT_EQ(good.tracks.size(), 3u);
  EXPECT_EQ(good.tracks[1].events, (std::vector<std::string>{"waitmark", "play", "noframe", "loop"}));
  ASSERT_EQ(good.plays.size(), 2u);
  EXPECT_EQ(good.plays[0].sprite, "d/spr.gsp");
  EXPECT_EQ(good.plays[0].end, 3);

  const struct {
    const char* text;
    const char* why;
  } bad[] = {
      {"track t: noframe; loop\n", "dead looped"},
      {"track t: noframe; sleep 0; loop\n", "dead looped"},
      {"track t: play x; jump 3\n", "unknown track command"},
      {"draw t: play x\n", "unknown command"},
      {"track t play x\n", "':' and commands expected"},
      {"track\n", "parameters expected"},
      {"set delay=fast\n", "integer value expected"},
      {"set colour=1\n", "unknown key"},
      {"set dir=\n", "illegal assignment"},
      {"track t: play x,one\n", "integer value expected"},
      {"track t: mark a-b; stop\n", "mark name"},
      {"track t: waitmark a b, c; stop\n", "mark name"},
      {"track t: waitmark never; play x; loop\n", "nothing marks"},
      {"track t: play x; loop 2\n", "no arguments expected"},
      {"track t: sleep; loop\n", "integer value expected"},
  };
  for (const auto& c : bad) {
    const Script s = readScript(c.text);
    ASSERT_FALSE(s.errors.empty()) << c.text;
    EXPECT_NE(s.errors[0].find(c.why), std::string::npos) << c.text << s.errors[0];
  }
}

// ---- The scripts of the game folder ----

const char* const kFeatures[] = {"duma", "zona", "bd", "gp"};
const char* const kStates[] = {"@", "0", "1", "2"};

std::string scriptPath(const std::string& feature, const std::string& state) {
  return kTiny + "/" + feature + "-" + state + ".gnm";
}

TEST(GnmData, EveryFeatureHasItsFourScriptsAndTheyRead) {
  for (const char* f : kFeatures)
    for (const char* st : kStates) {
      const std::string path = scriptPath(f, st);
      ASSERT_TRUE(pathExists(path)) << path;
      const Script s = readScript(readFile(path));
      EXPECT_TRUE(s.errors.empty()) << path << "\n" << joined(s.errors);
      EXPECT_FALSE(s.tracks.empty()) << path;
      // Something to see in every state.
      EXPECT_FALSE(s.plays.empty()) << path;
    }
}

TEST(GnmData, NamedSpritesSamplesAndListsLoadAndFramesAreInside) {
  for (const char* f : kFeatures)
    for (const char* st : kStates) {
      const std::string path = scriptPath(f, st);
      const Script s = readScript(readFile(path));
      for (const PlayRef& p : s.plays) {
        Sprite* spr = SPR_CREATE_FLAGS((kTiny + "/" + p.sprite).c_str(), p.sprite.c_str(), SPR_LOAD_RAW);
        ASSERT_NE(spr, nullptr) << path << " line " << p.line << ": " << p.sprite;
        // The reader would fix a frame beyond the sprite to its last frame
        // with a warning: the scripts must not need that.
        EXPECT_LT(p.start, spr->numfrms) << path << " line " << p.line << ": " << p.sprite;
        EXPECT_LT(p.end, spr->numfrms) << path << " line " << p.line << ": " << p.sprite;
        SPR_FREE(spr);
      }
      for (const std::string& w : s.samples) EXPECT_TRUE(pathExists(kTiny + "/" + w)) << path << ": " << w;
      for (const std::string& l : s.lists) EXPECT_TRUE(pathExists(kTiny + "/" + l)) << path << ": " << l;
    }
}

// ---- Placement ----

struct Rect {
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  void add(double x, double y) {
    x0 = std::min(x0, x);
    y0 = std::min(y0, y);
    x1 = std::max(x1, x);
    y1 = std::max(y1, y);
  }
  void addBox(double ax, double ay, double bx, double by, double z0, double z1) {
    for (double x : {ax, bx})
      for (double y : {ay, by})
        for (double z : {z0, z1}) add(PERSP_X(x, y, z), PERSP_Y(y, z));
  }
  bool empty() const { return x1 < x0; }
};


// Where a feature is seen: its buildings and playfield parts, as the view
// projects them.
Rect featureOnScreen(const std::string& feature) {
  const tbl::Model& m = shippedTableModel();
  Rect r;
  auto deco = [&](const char* name) {
    for (const tbl::Deco& d : m.decos) {
      if (d.name != name) continue;
      for (const tbl::Solid& s : d.solids) {
        if (s.kind == "box") r.addBox(s.nums[0], s.nums[1], s.nums[2], s.nums[3], s.nums[4], s.nums[5]);
        if (s.kind == "cyl" || s.kind == "cone")
          r.addBox(s.nums[0] - s.nums[2], s.nums[1] - s.nums[2], s.nums[0] + s.nums[2], s.nums[1] + s.nums[2],
                   s.nums[s.nums.size() - 2], s.nums[s.nums.size() - 1]);
        for (const tbl::P2& p : s.poly)
          r.addBox(p.x, p.y, p.x, p.y, s.nums[0], s.nums[1] + (s.nums.size() > 2 ? s.nums[2] : 0));
      }
    }
  };
  auto object = [&](const char* name, double grow, double height) {
    const tbl::Object* o = tbl::findObject(m, name);
    EXPECT_NE(o, nullptr) << name;
    if (!o) return;
    double x0, y0, x1, y1;
    tbl::bounds(o->outline, &x0, &y0, &x1, &y1);
    r.addBox(x0 - grow, y0 - grow, x1 + grow, y1 + grow, 0, height);
  };
  if (feature == "duma") {
    deco("duma_building");
    deco("duma_front");
    deco("duma_roof");
  } else if (feature == "zona") {
    object("zona", 40, 20);
  } else if (feature == "bd") {
    object("t8", 12, 30);
    object("lanes_post2", 4, 30);
    object("ramp_right_wall0", 4, 30);
  } else if (feature == "gp") {
    deco("gas_tanks");
    deco("gas_domes");
    deco("gas_flare");
  }
  return r;
}

// Every frame of every sprite a feature's scripts play draws something, on
// the screen, and no further from the feature than a flag or a puff of
// smoke may reach.
TEST(GnmData, SpritesDrawOnTheirFeatures) {
  ASSERT_NO_FATAL_FAILURE(setupShippedView());
  const double margin = 40;
  for (const char* f : kFeatures) {
    const Rect feature = featureOnScreen(f);
    ASSERT_FALSE(feature.empty()) << f;
    std::set<std::string> sprites;
    for (const char* st : kStates)
      for (const PlayRef& p : readScript(readFile(scriptPath(f, st))).plays) sprites.insert(p.sprite);
    for (const std::string& name : sprites) {
      Sprite* spr = SPR_CREATE_FLAGS((kTiny + "/" + name).c_str(), name.c_str(), SPR_LOAD_RAW);
      ASSERT_NE(spr, nullptr) << name;
      for (int i = 0; i < spr->numfrms; i++) {
        std::vector<uint8_t> rgba;
        ASSERT_EQ(gspDecodeFrame(spr, i, &rgba), 0) << name;
        const int w = spr->frames[i].width;
        Rect drawn;
        for (size_t px = 0; px < rgba.size() / 4; px++)
          if (rgba[px * 4 + 3] > 0) drawn.add(static_cast<double>(px % w), static_cast<double>(px / w));
        ASSERT_FALSE(drawn.empty()) << name << " frame " << i << " draws nothing";
        EXPECT_LT(drawn.x1, 800) << name << " frame " << i;
        EXPECT_LT(drawn.y1, 600) << name << " frame " << i;
        EXPECT_GE(drawn.x0, feature.x0 - margin) << name << " frame " << i;
        EXPECT_LE(drawn.x1, feature.x1 + margin) << name << " frame " << i;
        EXPECT_GE(drawn.y0, feature.y0 - margin) << name << " frame " << i;
        EXPECT_LE(drawn.y1, feature.y1 + margin) << name << " frame " << i;
      }
      SPR_FREE(spr);
    }
  }
}

// ---- The game's own reader on the shipped scripts ----

struct ShippedGnms : ::testing::Test, MemScreen {
  void SetUp() override {
    logReset();
    ASSERT_TRUE(openScreen(800, 600));
    gnmInit();
  }
  void TearDown() override {
    gnmFree();
    closeScreen();
    logReset();
  }
};

// The sixteen scripts load with setupGnms as the table load calls it, and
// each state of each feature then runs for half a minute of game time
// without a single message.
TEST_F(ShippedGnms, LoadAndRunWithoutAMessage) {
  ScopedChdir cd(kGame);
  StderrCapture err;
  ASSERT_EQ(setupGnms(nullptr), 1);
  for (int id = 0; id < 16; ++id) EXPECT_EQ(gnmValid(id), 1) << id;
  int shown = 0;
  for (int state = 0; state < 3; ++state) {
    for (int f = 0; f < GNM_FEATURES; ++f) ASSERT_EQ(gnmSetFeatureState(f, state), 1);
    for (int frame = 0; frame < 1800; ++frame) {
      gnmUpdate(1000.0 / 60);
      if (frame % 60 == 0) {
        ASSERT_EQ(vbRestore(0), 1);
        ASSERT_EQ(vbDraw(), 1);
      }
    }
    for (int slot = 0; slot < GNM_TRACKS; ++slot) {
      const GnmTrack* t = gnmTrack(slot);
      if (t->inUse && gnmStarted(t->gnm) && t->object->sprite && t->object->frame >= 0) ++shown;
    }
  }
  EXPECT_EQ(err.finish(), "");
  EXPECT_GT(shown, 0);
}


// ---- The features on the table ----

// The table as the session loads it, with each feature in each of its
// states in turn: what the feature's running scripts (its "@" script and the
// state's) show on the visual board changes over four seconds, so every
// feature is animated in every state.
TEST(ShippedFeatures, EachFeatureAnimatesInEveryState) {
  logReset();
  audioSetOutput(AUDIO_OUTPUT_NONE);
  ASSERT_EQ(fxInit(0), 1);
  gsBuildBlendTable();
  {
    ScopedChdir cd(kGame);
    StderrCapture err;
    TableScene scene{};
    ASSERT_EQ(sceneOpen(&scene, 0), 1);
    for (int f = 0; f < GNM_FEATURES; f++)
      for (int s = 0; s <= 2; s++) {
        SCOPED_TRACE("feature " + std::to_string(f) + " state " + std::to_string(s));
        ASSERT_EQ(gnmSetFeatureState(f, s), 1);
        const int scripts[2] = {gnmFeatureScript(f, -1), gnmFeatureScript(f, s)};
        std::set<std::vector<long>> looks;
        int shown = 0;
        for (int frame = 0; frame < 240; frame++) {
          sceneFrame(&scene, 1000.0 / 60);
          if (frame % 10) continue;
          std::vector<long> look;
          for (int t = 0; t < GNM_TRACKS; t++) {
            const GnmTrack* tr = gnmTrack(t);
            if (!tr || !tr->inUse || (tr->gnm != scripts[0] && tr->gnm != scripts[1]) || !tr->object) continue;
            const VBOBJ* o = tr->object;
            const bool visible = o->sprite && o->frame >= 0;
            shown += visible;
            look.insert(look.end(), {t, visible ? reinterpret_cast<long>(o->sprite) : 0, visible ? o->frame : -1,
                                     o->x, o->y});
          }
          looks.insert(look);
        }
        EXPECT_GT(shown, 0) << "nothing of the feature shows";
        EXPECT_GE(looks.size(), 2u) << "the feature stands still";
      }
    sceneClose(&scene);
    // The load's own report lines are fine; a failure is not.
    std::istringstream lines(err.finish());
    for (std::string line; std::getline(lines, line);) {
      std::string lower = line;
      std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
      for (const char* word : {"error", "not found", "can't", "couldn't", "invalid"})
        EXPECT_EQ(lower.find(word), std::string::npos) << line;
    }
  }
  fxShutdown();
  audioSetOutput(AUDIO_OUTPUT_DEVICE);
  SPR_FREE_ALL();
  logReset();
}

}  // namespace
