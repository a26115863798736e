// The compiled table in the built game folder: every file the table session
// loads is there and reads with the game's own readers; the design covers
// every object family and every place the rules use; the pictures, planes
// and sprites agree with the view; and the compiler writes the same bytes on
// every run.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "anim/lights.h"
#include "core/conf.h"
#include "core/log.h"
#include "gfx/sprite.h"
#include "physics/geometry.h"
#include "physics/opr.h"
#include "physics/track.h"
#include "platform/gdev.h"
#include "support/table_model.h"
#include "support/fixture_bytes.h"
#include "support/testutil.h"
#include "table/desc.h"
#include "table/model.h"

namespace {

const std::string kGame = PB_GAME_DIR;

std::string sectionOf(const Outline& o) {
  int x, y;
  shSectionOf(&o, &x, &y);
  return "object_" + std::to_string(x) + "_" + std::to_string(y);
}

struct Loaded {
  ConfSet conf{};
  std::vector<Outline> outlines;
  ~Loaded() {
    conf_free(&conf);
    for (Outline& o : outlines) shFree(&o);
  }
};

// Reads layer n's object configuration and shape file as the game does.
void loadLayer(int n, Loaded* out) {
  const std::string conf = kGame + "/table/objects-" + std::to_string(n) + ".conf";
  ASSERT_EQ(CONF_READ(&out->conf, conf.c_str()), 0) << conf;
  const std::string shapes = kGame + "/temp/#shapes-" + std::to_string(n) + ".dat";
  std::vector<uint8_t> image;
  ASSERT_EQ(shReadFileImage(shapes.c_str(), "test", &image), 0);
  std::vector<uint32_t> offsets;
  ASSERT_EQ(shReadIndex(image, shapes.c_str(), &offsets), 0);
  for (uint32_t off : offsets) {
    Outline o;
    ASSERT_EQ(shParseRecord(&o, image, off), 0) << shapes;
    out->outlines.push_back(o);
  }
}

const char* str(ConfSet* c, const std::string& key) { return conf_getstr(c, key.c_str(), nullptr); }

// An object's parameter as the game reads it: its own, else its class's.
const char* param(ConfSet* c, const std::string& section, const std::string& key) {
  if (const char* v = str(c, section + "." + key)) return v;
  const char* cls = str(c, section + ".class");
  return cls ? str(c, "class_" + std::string(cls) + "." + key) : nullptr;
}
int paramInt(ConfSet* c, const std::string& section, const std::string& key, int def) {
  const std::string own = section + "." + key;
  if (conf_gettype(c, own.c_str()) == CONF_INT) return conf_getint(c, own.c_str(), def);
  const char* cls = str(c, section + ".class");
  return cls ? conf_getint(c, ("class_" + std::string(cls) + "." + key).c_str(), def) : def;
}

// Every object of the table, with its layer, family and section name.
struct TableObject {
  int layer;
  std::string section, family, name;
  int place;
  std::string logic;
};

std::vector<TableObject> allObjects() {
  std::vector<TableObject> out;
  for (int n = 0; n < TABLE_LAYERS; n++) {
    Loaded l;
    loadLayer(n, &l);
    for (const Outline& o : l.outlines) {
      const std::string s = sectionOf(o);
      const char* f = str(&l.conf, s + ".family");
      const char* name = param(&l.conf, s, "name");
      const char* logic = param(&l.conf, s, "logic");
      out.push_back({n, s, f ? f : "", name ? name : "", paramInt(&l.conf, s, "place", -1000), logic ? logic : ""});
    }
  }
  return out;
}

TEST(TableFiles, EveryLayerReadsAndEveryOutlineHasItsFamily) {
  for (int n = 0; n < TABLE_LAYERS; n++) {
    Loaded l;
    loadLayer(n, &l);
    // The binary twin holds the same variables.
    ConfSet bin{};
    const std::string bcf = kGame + "/table/objects-" + std::to_string(n) + ".bcf";
    ASSERT_EQ(CONF_BINREAD(&bin, bcf.c_str()), 0) << bcf;
    int vars = 0, binVars = 0;
    for (const ConfVar* v = l.conf.first; v; v = v->next) {
      vars++;
      EXPECT_EQ(conf_gettype(&bin, v->name), v->type) << v->name;
    }
    for (const ConfVar* v = bin.first; v; v = v->next) binVars++;
    EXPECT_EQ(vars, binVars);
    conf_free(&bin);
    // One object section per outline, naming a family whose reader exists.
    std::set<std::string> sections;
    for (const char* s = conf_firstsection(&l.conf, "object_*"); s; s = conf_nextsection(&l.conf)) sections.insert(s);
    std::set<std::string> used;
    for (const Outline& o : l.outlines) {
      const std::string s = sectionOf(o);
      EXPECT_TRUE(used.insert(s).second) << "two outlines share " << s << " on layer " << n;
      const char* f = str(&l.conf, s + ".family");
      ASSERT_NE(f, nullptr) << s << " on layer " << n << " has no family";
      const OprFamilyRow* row = oprTableFamilyByName(f);
      ASSERT_NE(row, nullptr) << f;
      EXPECT_NE(row->reader, nullptr) << s << ": family " << f << " has no reader";
      EXPECT_EQ(o.code[0], row->family) << s;
      EXPECT_EQ(o.code[1], n) << s;
      EXPECT_GE(o.n, 3) << s;
    }
    EXPECT_EQ(used, sections) << "layer " << n;
  }
  // The game's shape loader reads every layer up to SHAPE_FILES and reports
  // the first one it finds missing: the layers above the table's own are
  // there, empty.
  for (int n = TABLE_LAYERS; n < SHAPE_FILES; n++) {
    Loaded l;
    loadLayer(n, &l);
    EXPECT_EQ(l.conf.first, nullptr) << "layer " << n;
    EXPECT_TRUE(l.outlines.empty()) << "layer " << n;
    EXPECT_TRUE(pathExists(kGame + "/table/objects-" + std::to_string(n) + ".bcf")) << "layer " << n;
  }
}

TEST(TableFiles, TracksLoadEvenlySpaced) {
  ConfSet conf{};
  ASSERT_EQ(CONF_READ(&conf, (kGame + "/conf/track.conf").c_str()), 0);
  int count = 0;
  for (const char* s = conf_firstsection(&conf, nullptr); s; s = conf_nextsection(&conf)) {
    const char* file = str(&conf, std::string(s) + ".filename");
    ASSERT_NE(file, nullptr) << s;
    Track t{};
    ASSERT_EQ(trackLoad((kGame + "/" + file).c_str(), &t), 1) << file;
    for (int i = 1; i < t.count; i++) {
      const TrackVec a = t.points[i - 1], b = t.points[i];
      const double d = std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y) + (b.z - a.z) * (b.z - a.z));
      ASSERT_NEAR(d, t.spacing, 1e-9) << s << " point " << i;
    }
    trackFree(&t);
    count++;
  }
  conf_free(&conf);
  EXPECT_GE(count, 6);
  // The tracks the rules and the objects name are registered.
  ConfSet game{};
  ASSERT_EQ(CONF_READ(&game, (kGame + "/conf/game.conf").c_str()), 0);
  ConfSet tracks{};
  ASSERT_EQ(CONF_READ(&tracks, (kGame + "/conf/track.conf").c_str()), 0);
  for (const char* key : {"tubes.left_track", "tubes.right_track"}) {
    const char* name = conf_getstr(&game, key, nullptr);
    ASSERT_NE(name, nullptr) << key;
    EXPECT_EQ(conf_gettype(&tracks, (std::string(name) + ".filename").c_str()), CONF_STRING) << key;
  }
  for (int n = 0; n < TABLE_LAYERS; n++) {
    Loaded l;
    loadLayer(n, &l);
    for (const ConfVar* v = l.conf.first; v; v = v->next) {
      const std::string name = v->name;
      if (name.size() > 6 && name.compare(name.size() - 6, 6, "_track") == 0) {
        EXPECT_EQ(conf_gettype(&tracks, (std::string(v->value.s) + ".filename").c_str()), CONF_STRING) << name;
      }
      if (name.find(".track") != std::string::npos && name.size() == name.find(".track") + 6) {
        EXPECT_TRUE(pathExists(kGame + "/" + v->value.s)) << name;  // the zona's track is a file
      }
    }
  }
  conf_free(&game);
  conf_free(&tracks);
}

// Every sprite file an object names, every lamp's sprite and the year's
// digits load as sprites.
TEST(TableFiles, EverySpriteTheTableNamesLoads) {
  std::vector<std::string> paths;
  for (int n = 0; n < TABLE_LAYERS; n++) {
    Loaded l;
    loadLayer(n, &l);
    for (const ConfVar* v = l.conf.first; v; v = v->next) {
      const std::string name = v->name;
      if (v->type != CONF_STRING || name.find("sprite") == std::string::npos) continue;
      if (name.find("up1_sprite") != std::string::npos || name.find("up2_sprite") != std::string::npos ||
          name.find("up3_sprite") != std::string::npos || name.find("down1_sprite") != std::string::npos ||
          name.find("down2_sprite") != std::string::npos) {
        paths.push_back(std::string(v->value.s) + ".gsp");
        paths.push_back(std::string(v->value.s) + "back.gsp");
      } else {
        paths.push_back(v->value.s);
      }
    }
  }
  ConfSet game{};
  ASSERT_EQ(CONF_READ(&game, (kGame + "/conf/game.conf").c_str()), 0);
  // Each lamp's sprite where the game's lamp builders load it from, named by
  // a key the shipped configuration has (without it a builder would load its
  // "-undef" name). Only the ten lamps of a bar share one sprite.
  std::set<std::string> lampSprites;
  for (int light = 0; light < LI_LAST; light++) {
    LightSprite ls;
    ASSERT_EQ(lightSprite(light, &ls), 1) << lightName(light);
    ASSERT_NE(conf_getstr(&game, ls.key, nullptr), nullptr) << lightName(light) << " " << ls.key;
    char name[256];
    lightSpriteName(&ls, &game, name, sizeof name);
    switch (ls.kind) {
      case LIGHT_SPRITE_REGIME:
      case LIGHT_SPRITE_BAR:
        for (const char* r : {"comm", "demo", "dict"}) paths.push_back(std::string("data-") + r + "/" + name);
        break;
      case LIGHT_SPRITE_DATA:
        paths.push_back(std::string("data/") + name);
        break;
      case LIGHT_SPRITE_BUMPER:
      case LIGHT_SPRITE_CRANE:
        paths.push_back(name);
        break;
    }
    lampSprites.insert(name);
  }
  EXPECT_EQ(lampSprites.size(), static_cast<size_t>(LI_LAST - 3 * 9));
  // The year's four digits.
  const char* year = conf_getstr(&game, "year.sprite", nullptr);
  ASSERT_NE(year, nullptr);
  for (int d = 1; d <= 4; d++) {
    char buf[256];
    std::snprintf(buf, sizeof buf, year, d);
    paths.push_back(buf);
  }
  conf_free(&game);
  std::sort(paths.begin(), paths.end());
  paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
  for (const std::string& p : paths) {
    Sprite* s = SPR_CREATE_FLAGS((kGame + "/" + p).c_str(), p.c_str(), SPR_LOAD_RAW);
    EXPECT_NE(s, nullptr) << p;
    if (s) SPR_FREE(s);
  }
  // The bar sprites show one lamp per frame.
  Sprite* bar = SPR_CREATE_FLAGS((kGame + "/data-comm/lights/charisma.gsp").c_str(), "bar", SPR_LOAD_RAW);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->numfrms, 10);
  SPR_FREE(bar);
}

TEST(TableFiles, PicturesAreScreenSizedAndDifferByRegime) {
  const char* const kFiles[] = {"data-comm/table-i.img", "data-demo/table-i.img", "data-dict/table-i.img",
                                "data-comm/table-i-vorsk.img", "data-demo/table-i-vorsk.img",
                                "data-dict/table-i-vorsk.img", "table/table-alpha.img", "table/table-0ti.bmp",
                                "table/table-i-vorsk.bmp"};
  for (const char* f : kFiles) {
    GdevBitmap* b = gdevLoadBitmap((kGame + "/" + f).c_str());
    ASSERT_NE(b, nullptr) << f;
    EXPECT_EQ(b->width, 800) << f;
    EXPECT_EQ(b->height, 600) << f;
    EXPECT_EQ(b->bitsPerPixel, 24) << f;
    gdevFreeBitmap(b);
  }
  const std::string comm = readFile(kGame + "/data-comm/table-i.img"), demo = readFile(kGame + "/data-demo/table-i.img"),
                    dict = readFile(kGame + "/data-dict/table-i.img");
  ASSERT_EQ(comm.size(), demo.size());
  ASSERT_EQ(comm.size(), dict.size());
  // Mean red and blue of each picture: comm is the reddest, demo the bluest,
  // dict the darkest.
  auto mean = [](const std::string& b, int channel) {
    double s = 0;
    for (size_t i = 54; i + 2 < b.size(); i += 3) s += static_cast<uint8_t>(b[i + channel]);
    return s / ((b.size() - 54) / 3);
  };
  const double commRed = mean(comm, 2) - mean(comm, 0), demoBlue = mean(demo, 0) - mean(demo, 2);
  EXPECT_GT(commRed, 20);
  EXPECT_GT(demoBlue, 10);
  const double luma[3] = {mean(comm, 0) + mean(comm, 1) + mean(comm, 2), mean(demo, 0) + mean(demo, 1) + mean(demo, 2),
                          mean(dict, 0) + mean(dict, 1) + mean(dict, 2)};
  EXPECT_LT(luma[2], luma[0]);
  EXPECT_LT(luma[2], luma[1]);
  EXPECT_NE(readFile(kGame + "/table/table-0ti.bmp"), readFile(kGame + "/table/table-i-vorsk.bmp"));
}

struct Planes {
  int w = 0, h = 0;
  uint16_t* depth = nullptr;
  GdevBitmap* alpha = nullptr;
  ZBUF layers[TABLE_LAYERS] = {};
  Planes() {
    depth = SZBUF_READ((kGame + "/temp/table-z.dat").c_str(), &w, &h);
    alpha = gdevLoadBitmap((kGame + "/table/table-alpha.img").c_str());
    for (int n = 0; n < TABLE_LAYERS; n++)
      EXPECT_EQ(ZBUF_READ((kGame + "/temp/table-" + std::to_string(n) + "tz.dat").c_str(), &layers[n]), 0);
  }
  ~Planes() {
    std::free(depth);
    if (alpha) gdevFreeBitmap(alpha);
    for (ZBUF& z : layers) zbufFree(&z);
  }
  // The transparency value the game makes of a pixel: 255 minus its red.
  int see(int x, int y) const { return 255 - alpha->pixels[static_cast<size_t>(y) * alpha->bytesPerLine + x * 3 + 2]; }
  int depthAt(int x, int y) const { return depth[static_cast<size_t>(y) * w + x]; }
};

TEST(TablePlanes, DepthAndTransparencyFollowTheView) {
  setupShippedView();
  Planes p;
  ASSERT_NE(p.depth, nullptr);
  ASSERT_NE(p.alpha, nullptr);
  ASSERT_EQ(p.w, 800);
  ASSERT_EQ(p.h, 600);
  for (const ZBUF& z : p.layers) {
    EXPECT_EQ(z.width, 800);
    EXPECT_EQ(z.height, 600);
  }
  // Open playfield: the depth plane is the floor's projection depth, and
  // the ball shows over it.
  const double floorPoints[][2] = {{380, 440}, {300, 380}, {460, 380}, {330, 360}, {560, 420}, {200, 420}};
  for (const auto& q : floorPoints) {
    const int sx = static_cast<int>(PERSP_X(q[0], q[1], 0)), sy = static_cast<int>(PERSP_Y(q[1], 0));
    EXPECT_NEAR(p.depthAt(sx, sy), PERSP_DEPTH(q[1], 0), 1.5) << q[0] << "," << q[1];
    EXPECT_EQ(p.see(sx, sy), 255) << q[0] << "," << q[1];
    EXPECT_EQ(SURFACE_HEIGHT(0, q[0], q[1]), 0.0);
  }
  // The Kremlin ramp: in front of the floor, half transparent, and its layer
  // carries its height.
  SET_LAYER_HEIGHTS(2, &p.layers[2]);
  Track t{};
  ASSERT_EQ(trackLoad((kGame + "/table/tracks/ramp_right.trk").c_str(), &t), 1);
  int checked = 0;
  for (int i = 10; i < t.count - 10; i += 9) {
    const TrackVec v = t.points[i];
    EXPECT_NEAR(SURFACE_HEIGHT(2, v.x, v.y), v.z, 1.0) << "ramp point " << i;
    const int sx = static_cast<int>(PERSP_X(v.x, v.y, v.z)), sy = static_cast<int>(PERSP_Y(v.y, v.z));
    EXPECT_LT(p.depthAt(sx, sy), PERSP_DEPTH(v.y, 0) - 2) << "ramp point " << i;
    EXPECT_GT(p.see(sx, sy), 60);
    EXPECT_LT(p.see(sx, sy), 255);
    checked++;
  }
  EXPECT_GT(checked, 5);
  trackFree(&t);
  CLEAR_LAYER_HEIGHTS();
  // The apron over the drain hides a draining ball.
  const int ax = static_cast<int>(PERSP_X(380, 597, 7)), ay = static_cast<int>(PERSP_Y(597, 7));
  EXPECT_EQ(p.see(ax, std::min(ay + 1, 599)), 0);
  // Above the head of the table nothing of the table is drawn but the
  // buildings; the sky keeps the farthest depth.
  EXPECT_EQ(p.depthAt(20, 5), 65535);
}


struct Box {
  int x0, y0, x1, y1;
  bool contains(double x, double y, int margin) const {
    return x >= x0 - margin && x <= x1 + margin && y >= y0 - margin && y <= y1 + margin;
  }
};
Box frameBox(const std::string& path, int frame) {
  Sprite* s = SPR_CREATE_FLAGS((kGame + "/" + path).c_str(), "box", SPR_LOAD_RAW);
  EXPECT_NE(s, nullptr) << path;
  if (!s) return {0, 0, -1, -1};
  const int f = std::min(frame, s->numfrms - 1);
  const Box b{s->frames[f].x0, s->frames[f].y0, s->frames[f].x1, s->frames[f].y1};
  SPR_FREE(s);
  return b;
}

// Sprites are drawn at screen (0, 0): their frames must sit where the view
// puts their object or lamp.
TEST(TablePlanes, SpritesSitWhereTheViewPutsTheirObjects) {
  setupShippedView();
  const tbl::Model& m = shippedTableModel();
  ConfSet game{};
  ASSERT_EQ(CONF_READ(&game, (kGame + "/conf/game.conf").c_str()), 0);
  // The lane arrows (RDA, frame 1 lit) and the Duma bumpers' flash rings.
  for (int i = 0; i < 10; i++) {
    char path[64];
    std::snprintf(path, sizeof path, "data-comm/lights/arrow%d.gsp", i + 1);
    const tbl::Lamp& l = m.lamps[LI_T1ARROW + i];
    const Box b = frameBox(path, 1);
    EXPECT_TRUE(b.contains(PERSP_X(l.at.x, l.at.y, 0), PERSP_Y(l.at.y, 0), 1)) << path;
    // The lit insert and its glow stay close round the lamp.
    const double size = std::max(l.a, l.b);
    const double across = PERSP_X(l.at.x + size, l.at.y, 0) - PERSP_X(l.at.x - size, l.at.y, 0);
    EXPECT_LT(b.x1 - b.x0, 1.5 * across + 8) << path;
  }
  for (const tbl::Object& o : m.objects) {
    if (o.family != "bumper" && o.family != "cflipper" && o.family != "gasbtn" && o.family != "blocker") continue;
    const Box b = frameBox("table/spr/" + o.name + ".gsp", 0);
    const double cx = o.shapeKind == "flipper" ? o.centre.x : o.pos.x, cy = o.shapeKind == "flipper" ? o.centre.y : o.pos.y;
    EXPECT_TRUE(b.contains(PERSP_X(cx, cy, 0), PERSP_Y(cy, 0), 2)) << o.name;
  }
  conf_free(&game);
}

TEST(TableDesign, CoversEveryFamilyPlaceAndName) {
  const std::vector<TableObject> objects = allObjects();
  std::map<std::string, std::set<int>> places;
  std::set<std::string> names, logics, families;
  for (const TableObject& o : objects) {
    families.insert(o.family);
    places[o.family].insert(o.place);
    if (!o.name.empty()) names.insert(o.name);
    if (o.family == "button") logics.insert(o.logic);
    if (o.family == "bumper") places[o.family + ":" + o.logic].insert(o.place);
  }
  for (int i = 0; i < oprTableFamilyCount(); i++) {
    const OprFamilyRow* row = oprTableFamily(i);
    if (row->reader) {
      EXPECT_TRUE(families.count(row->name)) << "no " << row->name << " on the table";
    }
  }
  const std::set<int> t = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 22};
  struct Need {
    const char* family;
    std::set<int> places;
  } needs[] = {
      {"tunnel", t},           {"mpoint", {0, 1, 2, 3, 4}},       {"blocker", {0, 1}},        {"saver", {0, 1}},
      {"gasbtn", {0, 1, 2, 3, 4, 5, 6}}, {"dumagate", {0, 1, 2, 3}}, {"kremgate", {0, 1, 2, 3}},
      {"hflap", {0, 1, 2}},    {"mflap", {0, 1, 2}},              {"trilights", {0, 1, 2, 3}}, {"ostbtn", {0, 1}},
      {"zonabtn", {0, 1}},     {"cflipper", {1, 2, 3, 4}},        {"bumper:duma", {0, 1, 2}}, {"bumper:kremlin", {0, 1, 2}},
  };
  for (const Need& n : needs)
    for (int p : n.places) EXPECT_TRUE(places[n.family].count(p)) << n.family << " place " << p;
  EXPECT_EQ(places["tunnel"], t);
  EXPECT_EQ(logics, (std::set<std::string>{"ukazy", "msel", "law", "question"}));
  for (const char* n : {"SPIRAL_GATE", "OSTMAGNET1", "mavz", "xpam_gate", "xpam_portal", "flip1", "flip4"})
    EXPECT_TRUE(names.count(n)) << n;
}

// Lists every regular file below dir (relative paths).
void listFiles(const std::string& dir, const std::string& rel, std::vector<std::string>* out) {
  DIR* d = opendir((dir + "/" + rel).c_str());
  if (!d) return;
  while (dirent* e = readdir(d)) {
    const std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    const std::string r = rel.empty() ? n : rel + "/" + n;
    struct stat st;
    if (stat((dir + "/" + r).c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode))
      listFiles(dir, r, out);
    else
      out->push_back(r);
  }
  closedir(d);
  std::sort(out->begin(), out->end());
}

TEST(TablePreview, DrawsEveryLayerAndTrackOfTheTable) {
  TempDir out;
  const RunResult r =
      runProgram(std::string(PB_BIN_DIR) + "/pbtool", {"table", "preview", kGame, out.file("preview.png")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // One line per shape file with its outline count (the empty layers above
  // the table's own too), one per track.
  std::string expected;
  for (int n = 0; n < SHAPE_FILES; n++) {
    Loaded l;
    loadLayer(n, &l);
    expected += "layer\t" + std::to_string(n) + "\t" + std::to_string(l.outlines.size()) + "\n";
  }
  ConfSet conf{};
  ASSERT_EQ(CONF_READ(&conf, (kGame + "/conf/track.conf").c_str()), 0);
  for (const char* s = conf_firstsection(&conf, nullptr); s; s = conf_nextsection(&conf)) {
    Track t{};
    ASSERT_EQ(trackLoad((kGame + "/" + str(&conf, std::string(s) + ".filename")).c_str(), &t), 1);
    expected += std::string("track\t") + s + "\t" + std::to_string(t.count) + "\n";
    trackFree(&t);
  }
  conf_free(&conf);
  EXPECT_EQ(r.out, expected);
  // An 800 x 600 PNG: the signature and the header's size.
  const std::string png = readFile(out.file("preview.png"));
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  EXPECT_EQ(png.substr(16, 8), be32(800) + be32(600));
  // A folder without a compiled table is refused.
  TempDir empty;
  const RunResult bad =
      runProgram(std::string(PB_BIN_DIR) + "/pbtool", {"table", "preview", empty.path, empty.file("p.png")});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_FALSE(pathExists(empty.file("p.png")));
}

TEST(TableCompiler, SameSourcesSameBytes) {
  TempDir a, b;
  for (const TempDir* d : {&a, &b}) {
    mkdir((d->path + "/conf").c_str(), 0777);
    copyFile(kGame + "/conf/global.conf", d->file("conf/global.conf"));
    copyFile(kGame + "/conf/game.conf", d->file("conf/game.conf"));
    const RunResult r = runProgram(std::string(PB_BIN_DIR) + "/pbtable", {d->path, PB_TABLE_SOURCE});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
  std::vector<std::string> fa, fb;
  listFiles(a.path, "", &fa);
  listFiles(b.path, "", &fb);
  ASSERT_EQ(fa, fb);
  EXPECT_GT(fa.size(), 250u);
  for (const std::string& f : fa) EXPECT_TRUE(readFile(a.file(f)) == readFile(b.file(f))) << f;
  // And the build's own table is what the compiler makes.
  for (const char* f : {"temp/#shapes-0.dat", "table/objects-0.conf", "data-comm/table-i.img", "temp/table-z.dat"})
    EXPECT_TRUE(readFile(a.file(f)) == readFile(kGame + "/" + f)) << f;
}

TEST(TableCompiler, RefusesAnUnreadableDescriptionWithItsPlace) {
  TempDir src, game;
  mkdir((game.path + "/conf").c_str(), 0777);
  copyFile(kGame + "/conf/global.conf", game.file("conf/global.conf"));
  copyFile(kGame + "/conf/game.conf", game.file("conf/game.conf"));
  writeFile(src.file("a.tbl"), "object b bumper\n  circle 100 100 10\n  set k 1\n");
  const RunResult r = runProgram(std::string(PB_BIN_DIR) + "/pbtable", {game.path, src.path});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("a.tbl:1: key 'k' of 'b' must be a fraction"), std::string::npos) << r.err;
  EXPECT_FALSE(pathExists(game.file("temp/table-z.dat")));
  // Without the game's view there is nothing to draw for.
  TempDir empty;
  const RunResult v = runProgram(std::string(PB_BIN_DIR) + "/pbtable", {empty.path, PB_TABLE_SOURCE});
  EXPECT_EQ(v.exitCode, 1);
  EXPECT_NE(v.err.find("can't read the view"), std::string::npos) << v.err;
  // Nor without the game configuration that names the lamps' sprites.
  TempDir viewOnly;
  mkdir((viewOnly.path + "/conf").c_str(), 0777);
  copyFile(kGame + "/conf/global.conf", viewOnly.file("conf/global.conf"));
  const RunResult n = runProgram(std::string(PB_BIN_DIR) + "/pbtable", {viewOnly.path, PB_TABLE_SOURCE});
  EXPECT_EQ(n.exitCode, 1);
  EXPECT_NE(n.err.find("can't read the lamps' sprite names"), std::string::npos) << n.err;
  EXPECT_FALSE(pathExists(viewOnly.file("temp/table-z.dat")));
}

}  // namespace
