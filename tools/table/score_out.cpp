// conf/score.conf: the score subjects of the table. The values of each kind
// of target are written once, as a class; every placed subject names its
// class and where its target is seen on the screen, so that the rising tip
// of a score appears on the target that earned it. The places are taken
// from the compiled table: the middle of each target's outline at its
// layer's height, through the game's own projection.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "core/conf.h"
#include "physics/geometry.h"
#include "table/outputs.h"

namespace tbl {

namespace {

// The tips: how long one rises and how far, and the digit sprites (pbui).
constexpr int kTipTime = 900;  // ms
constexpr int kTipDist = 36;   // screen pixels
constexpr const char* kDigits = "data/tip-digit%d.gsp";

struct ScoreValue {
  const char* suffix;  // "" for the plain subject, else "NAME:suffix"
  int value;
};

struct ScoreClass {
  const char* name;
  const char* note;
  std::vector<ScoreValue> values;
};

// Base values, before the tax multiplier (1, 2, 4, 6 or 8). A tip shows at
// most six digits, so no value here goes above 124999. Scores that mark a
// completed group (four lanes, seven wells) are paid once per subject of the
// group; ":pres" is what the target pays during the elections, ":on" while
// its feature works, ":action" when the hit starts something.
const std::vector<ScoreClass> kClasses = {
    {"krem_bumper", "a Kremlin bumper", {{"", 250}}},
    {"duma_bumper", "a Duma bumper (it also fills the quorum)", {{"", 500}}},
    {"ostbtn", "one of the pair of buttons beside the lock", {{"", 1000}}},
    {"zonabtn", "one of the pair of buttons of the zone", {{"", 1500}}},
    {"duma_lane", "each of the four Duma lanes once all are lit", {{"", 2500}, {"on", 5000}, {"pres", 7500}}},
    {"ukaz_lane", "each of the four Kremlin lanes once all are lit", {{"", 2500}, {"pres", 7500}}},
    {"gas_well",
     "each quarter of the gas field once all seven wells are down",
     {{"", 2000}, {"on", 4000}, {"pres", 6000}}},
    {"flaps", "a row of three flaps knocked down during the elections", {{"pres", 15000}}},
    {"msel_button", "the mission selection button", {{"", 500}, {"pres", 2500}, {"action", 5000}}},
    {"question_button", "the question button", {{"", 500}, {"pres", 2500}, {"action", 5000}}},
    {"law_button", "the law button: a law passed, or nothing pending", {{"", 500}, {"action", 10000}}},
    {"ukazy_button", "the decree button: a decree signed, or nothing pending", {{"", 500}, {"action", 10000}}},
};

// Which objects of the table a subject stands on: objects of the family,
// with the logic when one is given and the place when it is not -1. Several
// objects give their mean position.
struct Placed {
  std::string section, cls, family, logic;
  int place;
};

std::vector<Placed> placedSubjects() {
  std::vector<Placed> out;
  auto group = [&](const char* word, int count, const char* cls, const char* family, const char* logic, int step) {
    for (int i = 0; i < count; i++) out.push_back({word + std::to_string(i), cls, family, logic, step * i});
  };
  group("duma_bumper", 3, "duma_bumper", "bumper", "duma", 1);
  group("krem_bumper", 3, "krem_bumper", "bumper", "kremlin", 1);
  group("ostbtn", 2, "ostbtn", "ostbtn", "", 1);
  group("zonabtn", 2, "zonabtn", "zonabtn", "", 1);
  group("duma", 4, "duma_lane", "dumagate", "", 1);
  group("ukaz", 4, "ukaz_lane", "kremgate", "", 1);
  // Four scores for seven wells: every other well, so the tips stand apart.
  group("gp", 4, "gas_well", "gasbtn", "", 2);
  out.push_back({"hflaps", "flaps", "hflap", "", -1});
  out.push_back({"mflaps", "flaps", "mflap", "", -1});
  for (const char* b : {"msel", "question", "law", "ukazy"})
    out.push_back({std::string(b) + "_button", std::string(b) + "_button", "button", b, -1});
  return out;
}

// Where an object is seen: the middle of its outline's box on its layer.
bool screenPlace(const Object& o, const HeightMaps& heights, const PerspKeys& view, P2* out) {
  if (o.outline.empty()) return false;
  double x0 = o.outline[0].x, x1 = x0, y0 = o.outline[0].y, y1 = y0;
  for (const P2& p : o.outline) {
    x0 = std::min(x0, p.x);
    x1 = std::max(x1, p.x);
    y0 = std::min(y0, p.y);
    y1 = std::max(y1, p.y);
  }
  const double x = (x0 + x1) / 2, y = (y0 + y1) / 2;
  const double z = heights.at(o.layer, static_cast<int>(x), static_cast<int>(y)) + view.dz;
  *out = {PERSP_X(x, y, z) + view.dx, PERSP_Y(y, z) + view.dy};
  return std::isfinite(out->x) && std::isfinite(out->y);
}

}  // namespace

bool writeScore(const Model& m, const HeightMaps& heights, const PerspKeys& view, const std::string& gameDir) {
  std::string text =
      "; Score subjects (\"conf/score.conf\").\n"
      "; Written by pbtable from tools/table/score_out.cpp (the values) and the table\n"
      "; description (the places): edit those, not this.\n"
      ";\n"
      "; tip_time, tip_dist: a score's tip rises tip_dist pixels in tip_time ms,\n"
      "; drawn with the digit sprites digits_sprite (0..9).\n"
      "; [class_NAME]: the values of a kind of target; \"value\" scores the subject\n"
      "; named like the section, \"value_SUFFIX\" the subject \"SECTION:SUFFIX\".\n"
      "; [SECTION]: a placed subject, its class and its place on the screen.\n";
  char line[256];
  std::snprintf(line, sizeof line, "tip_time = %d\ntip_dist = %d\ndigits_sprite = \"%s\"\n", kTipTime, kTipDist,
                kDigits);
  text += line;
  for (const ScoreClass& c : kClasses) {
    text += "\n; " + std::string(c.note) + "\n[class_" + c.name + "]\n";
    for (const ScoreValue& v : c.values) {
      std::snprintf(line, sizeof line, "value%s%s = %d\n", v.suffix[0] ? "_" : "", v.suffix, v.value);
      text += line;
    }
  }
  bool ok = true;
  for (const Placed& s : placedSubjects()) {
    double sx = 0, sy = 0;
    int n = 0;
    for (const Object& o : m.objects) {
      if (o.family != s.family) continue;
      if (!s.logic.empty() && objectString(m, o, "logic", "") != s.logic) continue;
      if (s.place >= 0 && objectInt(m, o, "place", -1) != s.place) continue;
      P2 p;
      if (!screenPlace(o, heights, view, &p)) continue;
      sx += p.x;
      sy += p.y;
      n++;
    }
    if (n == 0) {
      std::fprintf(stderr, "pbtable: score subject '%s': no %s object%s%s%s on the table\n", s.section.c_str(),
                   s.family.c_str(), s.logic.empty() ? "" : " with logic ", s.logic.c_str(),
                   s.place >= 0 ? (" of place " + std::to_string(s.place)).c_str() : "");
      ok = false;
      continue;
    }
    std::snprintf(line, sizeof line, "\n[%s]\nclass = \"%s\"\nxy = \"%ld,%ld\"\n", s.section.c_str(), s.cls.c_str(),
                  std::lround(sx / n), std::lround(sy / n));
    text += line;
  }
  if (!ok) return false;

  const std::string path = gameDir + "/conf/score.conf";
  if (!writeTextFile(path, text)) return false;
  // The binary twin, as the game's "/mkbin" would write it.
  ConfSet set{};
  const std::vector<uint8_t> bytes(text.begin(), text.end());
  if (confParseText(&set, bytes, path.c_str()) < 0) return false;
  std::vector<uint8_t> bin;
  const bool built = confBuildBinary(&set, &bin);
  conf_free(&set);
  return built && writeBytes(gameDir + "/conf/score.bcf", bin);
}

}  // namespace tbl
