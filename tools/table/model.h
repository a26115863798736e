#pragma once
// The table model: what the description means once its blocks are read.
// buildModel checks everything it can (families and their keys, places,
// unique sections, lamp ids, track names) so that the outputs can be written
// without further checks.
#include <array>
#include <string>
#include <vector>

#include "table/desc.h"
#include "table/geom.h"

namespace tbl {

inline constexpr int REGIMES = 3, LAYERS = 8, TABLE_W = 800, TABLE_H = 600;
extern const char* const kRegimeNames[REGIMES];  // "comm", "demo", "dict"

struct Rgb {
  double r, g, b;  // 0..1
};

// A colour given either literally or by a palette role resolved per regime.
struct Paint {
  std::string role;  // empty: literal
  Rgb literal{0, 0, 0};
};

struct Palette {
  std::vector<std::pair<std::string, Rgb>> roles;
};

// A configuration value as it goes into a .conf file.
struct ConfValue {
  enum Type { INT = 0, REAL = 1, STRING = 2 } type = INT;
  std::string text;  // as written: 12, 0.5, or the string without quotes
};
struct KeyValue {
  std::string key;
  ConfValue value;
};

struct Look {
  std::string material;  // empty: the family's default
  std::string role;      // colour role overriding the material's own
};

struct Object {
  Loc loc;
  std::string name, family, cls;
  int layer = 0;
  std::string shapeKind;     // circle, rect, poly, strip, gate, flipper
  std::vector<double> nums;  // the shape's numbers as given (after arcs expanded)
  P2 centre{0, 0};           // circle centre, flipper pivot, gate start
  double radius = 0;         // circle radius, strip width, gate width
  std::vector<P2> spine;     // strip: the polyline; gate: start and end
  std::vector<P2> outline;   // absolute, oriented for the board
  P2 pos{0, 0};              // outline position: names the section
  bool sprite = true;        // generate the family's sprite(s)
  double height = -1;        // -1: family default
  Look look;
  int see = -1;              // -1: material default
  std::vector<KeyValue> params;
  std::string like;          // flipper: the cflipper whose geometry it takes
  int sectionX = 0, sectionY = 0;
  int familyNumber = -1;
  int index = 0;  // running number among objects of its family
};

struct ClassDef {
  Loc loc;
  std::string name;
  std::vector<KeyValue> params;
};

struct Track {
  Loc loc;
  std::string name;
  int layer = 0;
  std::vector<P3> control;  // as described (arcs expanded)
  std::vector<P3> points;   // resampled
  double spacing = 3;
  double width = 24;
  std::string look = "plastic";  // plastic, wire, none
  bool registered = true;
  std::string file;  // game-folder path
};

struct Surface {
  Loc loc;
  std::string name;
  int layer = 0;
  std::vector<P3> poly;
  Look look;
  int see = -1;
  bool render = true;
};

struct Solid {
  std::string kind;  // box, cyl, cone, prism, sphere, dome
  std::vector<double> nums;
  std::vector<P2> poly;  // prism footprint
};

struct Deco {
  Loc loc;
  std::string name;
  Look look;
  int see = -1;
  std::vector<Solid> solids;
};

struct Lamp {
  Loc loc;
  int id = -1;
  P2 at{0, 0};
  int layer = 0;
  std::string shape = "circle";  // circle, rect, arrow, star, tri
  double a = 8, b = 8;           // size parameters of the shape
  double angle = 0;
  std::array<Paint, REGIMES> colour;
  std::string label;
};

struct ArtItem {
  Loc loc;
  std::string kind;  // text, disc, ring, poly, star, line, rect, arc
  std::vector<double> nums;
  std::vector<P2> points;
  std::string text;
  Paint paint;
  double alpha = 1;
  bool bold = false;
  int regimeMask = 7;  // bit r: drawn in regime r
};

struct YearDisplay {
  bool present = false;
  P2 at{400, 470};
  double digitW = 16, digitH = 24;
};

struct Model {
  std::array<Palette, REGIMES> palettes;
  std::array<double, LAYERS> layerBase{};
  std::array<std::string, LAYERS> layerTitle;
  std::vector<Object> objects;
  std::vector<ClassDef> classes;
  std::vector<Track> tracks;
  std::vector<Surface> surfaces;
  std::vector<Deco> decos;
  std::vector<Lamp> lamps;  // one per lamp id, by id order after building
  std::vector<ArtItem> art;
  YearDisplay year;
};

bool buildModel(const std::vector<Block>& blocks, Model* model, Diag* diag);

Rgb resolve(const Model& m, const Paint& p, int regime);
bool findRole(const Model& m, const std::string& role, int regime, Rgb* out);
const Object* findObject(const Model& m, const std::string& name);
const Track* findTrackByName(const Model& m, const std::string& name);
// The value of a parameter of an object: its own, else its class's; null.
const ConfValue* objectParam(const Model& m, const Object& o, const std::string& key);
double objectReal(const Model& m, const Object& o, const std::string& key, double def);
int objectInt(const Model& m, const Object& o, const std::string& key, int def);
std::string objectString(const Model& m, const Object& o, const std::string& key, const std::string& def);

}  // namespace tbl
