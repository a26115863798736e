// Giving the description's blocks their meaning.
#include "table/model.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

#include "anim/lights.h"
#include "physics/opr.h"
#include "table/families.h"

namespace tbl {

const char* const kRegimeNames[REGIMES] = {"comm", "demo", "dict"};

namespace {

struct Ctx {
  Model* m;
  Diag* d;
};

bool parseColour(const std::string& text, Rgb* out) {
  if (text.size() != 7 || text[0] != '#') return false;
  unsigned v = 0;
  for (size_t i = 1; i < 7; i++) {
    const char c = text[i];
    int h;
    if (c >= '0' && c <= '9')
      h = c - '0';
    else if (c >= 'a' && c <= 'f')
      h = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      h = c - 'A' + 10;
    else
      return false;
    v = v * 16 + static_cast<unsigned>(h);
  }
  *out = {((v >> 16) & 255) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0};
  return true;
}

bool parsePaint(const Token& t, Paint* p) {
  if (!t.text.empty() && t.text[0] == '#') {
    p->role.clear();
    return parseColour(t.text, &p->literal);
  }
  if (t.text.empty() || t.quoted) return false;
  p->role = t.text;
  return true;
}

int regimeIndex(const std::string& name) {
  for (int r = 0; r < REGIMES; r++)
    if (name == kRegimeNames[r]) return r;
  return -1;
}

// Numbers of an attribute, with "arc CX CY R A0 A1" (2-D lists) or
// "arc CX CY R A0 A1 Z0 Z1" (3-D lists) expanded into points.
bool numbers(Ctx& c, const Attr& a, size_t from, int dims, std::vector<double>* out) {
  out->clear();
  for (size_t i = from; i < a.args.size();) {
    if (a.args[i].text == "arc") {
      const size_t need = dims == 2 ? 5 : 7;
      double v[7];
      if (i + need >= a.args.size()) {
        c.d->error(a.loc, "'arc' needs %d numbers", static_cast<int>(need));
        return false;
      }
      for (size_t k = 0; k < need; k++) {
        if (!toNumber(a.args[i + 1 + k], &v[k])) {
          c.d->error(a.loc, "'arc': '%s' is not a number", a.args[i + 1 + k].text.c_str());
          return false;
        }
      }
      const std::vector<P2> pts = arcPoints({v[0], v[1]}, v[2], v[3], v[4], 4.0);
      for (size_t k = 0; k < pts.size(); k++) {
        out->push_back(pts[k].x);
        out->push_back(pts[k].y);
        if (dims == 3) out->push_back(v[5] + (v[6] - v[5]) * k / (pts.size() - 1));
      }
      i += need + 1;
      continue;
    }
    double v;
    if (!toNumber(a.args[i], &v)) {
      c.d->error(a.loc, "'%s' is not a number", a.args[i].text.c_str());
      return false;
    }
    out->push_back(v);
    i++;
  }
  return true;
}

bool fixedNumbers(Ctx& c, const Attr& a, size_t count, double* out) {
  if (a.args.size() != count) {
    c.d->error(a.loc, "'%s' takes %d numbers", a.name.c_str(), static_cast<int>(count));
    return false;
  }
  for (size_t i = 0; i < count; i++) {
    if (!toNumber(a.args[i], &out[i])) {
      c.d->error(a.loc, "'%s': '%s' is not a number", a.name.c_str(), a.args[i].text.c_str());
      return false;
    }
  }
  return true;
}

bool oneInt(Ctx& c, const Attr& a, int* out) {
  if (a.args.size() != 1 || !toInt(a.args[0], out)) {
    c.d->error(a.loc, "'%s' takes one integer", a.name.c_str());
    return false;
  }
  return true;
}

std::vector<P2> pairs(const std::vector<double>& v) {
  std::vector<P2> out;
  for (size_t i = 0; i + 1 < v.size(); i += 2) out.push_back({v[i], v[i + 1]});
  return out;
}

// "set KEY VALUE": the value's type is the one it is written in: 12 is an
// integer, 0.5 a fraction, "text" a string.
bool parseSet(Ctx& c, const Attr& a, KeyValue* kv) {
  if (a.args.size() != 2 || a.args[0].quoted) {
    c.d->error(a.loc, "'set' takes a key and one value");
    return false;
  }
  kv->key = a.args[0].text;
  const Token& v = a.args[1];
  kv->value.text = v.text;
  if (v.quoted) {
    if (v.text.find('"') != std::string::npos) {
      c.d->error(a.loc, "a string value can't hold a double quote");
      return false;
    }
    kv->value.type = ConfValue::STRING;
    return true;
  }
  int i;
  double d;
  if (toInt(v, &i)) {
    kv->value.type = ConfValue::INT;
    return true;
  }
  if (toNumber(v, &d)) {
    kv->value.type = ConfValue::REAL;
    return true;
  }
  c.d->error(a.loc, "value '%s' of '%s' is neither a number nor a quoted string", v.text.c_str(),
             kv->key.c_str());
  return false;
}

bool parseLook(Ctx& c, const Attr& a, Look* look) {
  if (a.args.empty() || a.args.size() > 2 || !materialInfo(a.args[0].text)) {
    c.d->error(a.loc, "'look' takes a material (floor, rail, metal, rubber, wood, post, bumper, target, flipper, "
                      "plastic, wire, building, roof, gold, glass, dark, cabinet, apron, none) and a colour role");
    return false;
  }
  look->material = a.args[0].text;
  look->role = a.args.size() == 2 ? a.args[1].text : "";
  return true;
}

void doPalette(Ctx& c, const Block& b) {
  const int r = b.args.size() == 1 ? regimeIndex(b.args[0].text) : -1;
  if (r < 0) {
    c.d->error(b.loc, "'palette' takes a regime name: comm, demo or dict");
    return;
  }
  for (const Attr& a : b.attrs) {
    Rgb col;
    if (a.args.size() != 1 || !parseColour(a.args[0].text, &col)) {
      c.d->error(a.loc, "palette role '%s' takes one colour #rrggbb", a.name.c_str());
      continue;
    }
    c.m->palettes[r].roles.push_back({a.name, col});
  }
}

void doLayer(Ctx& c, const Block& b) {
  int n;
  if (b.args.empty() || !toInt(b.args[0], &n) || n < 0 || n >= LAYERS) {
    c.d->error(b.loc, "'layer' takes a layer number 0..7 and a title");
    return;
  }
  if (b.args.size() > 1) c.m->layerTitle[n] = b.args[1].text;
  for (const Attr& a : b.attrs) {
    double v;
    if (a.name == "base" && fixedNumbers(c, a, 1, &v))
      c.m->layerBase[n] = v;
    else if (a.name != "base")
      c.d->error(a.loc, "unknown layer attribute '%s'", a.name.c_str());
  }
}

void doClass(Ctx& c, const Block& b) {
  if (b.args.size() != 1) {
    c.d->error(b.loc, "'class' takes a name");
    return;
  }
  ClassDef cd;
  cd.loc = b.loc;
  cd.name = b.args[0].text;
  for (const Attr& a : b.attrs) {
    KeyValue kv;
    if (a.name != "set")
      c.d->error(a.loc, "a class holds only 'set' lines");
    else if (parseSet(c, a, &kv))
      cd.params.push_back(kv);
  }
  c.m->classes.push_back(cd);
}

void doTrack(Ctx& c, const Block& b) {
  if (b.args.size() != 1) {
    c.d->error(b.loc, "'track' takes a name");
    return;
  }
  Track t;
  t.loc = b.loc;
  t.name = b.args[0].text;
  t.file = "table/tracks/" + t.name + ".trk";
  for (const Attr& a : b.attrs) {
    std::vector<double> v;
    if (a.name == "layer") {
      if (oneInt(c, a, &t.layer) && (t.layer < 0 || t.layer >= LAYERS)) c.d->error(a.loc, "layer outside 0..7");
    } else if (a.name == "points") {
      if (!numbers(c, a, 0, 3, &v)) continue;
      if (v.size() % 3 != 0 || v.size() < 6) {
        c.d->error(a.loc, "'points' takes x y z triples, at least two");
        continue;
      }
      for (size_t i = 0; i < v.size(); i += 3) t.control.push_back({v[i], v[i + 1], v[i + 2]});
    } else if (a.name == "spacing") {
      if (fixedNumbers(c, a, 1, &t.spacing) && t.spacing <= 0.2) c.d->error(a.loc, "spacing must be above 0.2");
    } else if (a.name == "width") {
      fixedNumbers(c, a, 1, &t.width);
    } else if (a.name == "look") {
      if (a.args.size() != 1 || (a.args[0].text != "plastic" && a.args[0].text != "wire" &&
                                 a.args[0].text != "none" && a.args[0].text != "pipe"))
        c.d->error(a.loc, "a track's look is plastic, wire, pipe or none");
      else
        t.look = a.args[0].text;
    } else if (a.name == "noregister") {
      t.registered = false;
    } else if (a.name == "file") {
      if (a.args.size() != 1)
        c.d->error(a.loc, "'file' takes a path");
      else
        t.file = a.args[0].text;
    } else {
      c.d->error(a.loc, "unknown track attribute '%s'", a.name.c_str());
    }
  }
  if (t.control.size() < 2) {
    c.d->error(b.loc, "track '%s' has no points", t.name.c_str());
    return;
  }
  // Drop repeated control points: they would make zero-length segments.
  std::vector<P3> pts;
  for (const P3& p : t.control)
    if (pts.empty() || len3(p - pts.back()) > 1e-6) pts.push_back(p);
  t.control = pts;
  t.points = resample(t.control, t.spacing);
  if (t.points.size() < 2) c.d->error(b.loc, "track '%s' is too short", t.name.c_str());
  if (t.points.size() >= static_cast<size_t>(kMaxTrackPoints))
    c.d->error(b.loc, "track '%s' is too long for its spacing", t.name.c_str());
  c.m->tracks.push_back(t);
}

void doSurface(Ctx& c, const Block& b) {
  if (b.args.size() != 1) {
    c.d->error(b.loc, "'surface' takes a name");
    return;
  }
  Surface s;
  s.loc = b.loc;
  s.name = b.args[0].text;
  s.look.material = "floor";
  for (const Attr& a : b.attrs) {
    std::vector<double> v;
    if (a.name == "layer") {
      if (oneInt(c, a, &s.layer) && (s.layer < 0 || s.layer >= LAYERS)) c.d->error(a.loc, "layer outside 0..7");
    } else if (a.name == "poly") {
      if (!numbers(c, a, 0, 3, &v)) continue;
      if (v.size() % 3 != 0 || v.size() < 9) {
        c.d->error(a.loc, "'poly' takes x y z triples, at least three");
        continue;
      }
      for (size_t i = 0; i < v.size(); i += 3) s.poly.push_back({v[i], v[i + 1], v[i + 2]});
    } else if (a.name == "look") {
      parseLook(c, a, &s.look);
    } else if (a.name == "see") {
      if (oneInt(c, a, &s.see) && (s.see < 0 || s.see > 255)) c.d->error(a.loc, "see outside 0..255");
    } else if (a.name == "hidden") {
      s.render = false;
    } else {
      c.d->error(a.loc, "unknown surface attribute '%s'", a.name.c_str());
    }
  }
  if (s.poly.size() < 3) c.d->error(b.loc, "surface '%s' has no polygon", s.name.c_str());
  c.m->surfaces.push_back(s);
}

void doDeco(Ctx& c, const Block& b) {
  if (b.args.size() != 1) {
    c.d->error(b.loc, "'deco' takes a name");
    return;
  }
  Deco dc;
  dc.loc = b.loc;
  dc.name = b.args[0].text;
  dc.look.material = "building";
  struct Kind {
    const char* name;
    int count;  // -1: z0 z1 then a point list
  };
  static const Kind kinds[] = {{"box", 6}, {"cyl", 5}, {"cone", 6}, {"sphere", 4}, {"dome", 4}, {"prism", -1},
                               {"roof", -2}};
  for (const Attr& a : b.attrs) {
    if (a.name == "look") {
      parseLook(c, a, &dc.look);
      continue;
    }
    if (a.name == "see") {
      if (oneInt(c, a, &dc.see) && (dc.see < 0 || dc.see > 255)) c.d->error(a.loc, "see outside 0..255");
      continue;
    }
    const Kind* k = nullptr;
    for (const Kind& kk : kinds)
      if (a.name == kk.name) k = &kk;
    if (!k) {
      c.d->error(a.loc, "unknown deco attribute '%s'", a.name.c_str());
      continue;
    }
    Solid s;
    s.kind = a.name;
    std::vector<double> v;
    if (!numbers(c, a, 0, 2, &v)) continue;
    if (k->count > 0) {
      if (static_cast<int>(v.size()) < k->count || static_cast<int>(v.size()) > k->count + 1) {
        c.d->error(a.loc, "'%s' takes %d numbers", a.name.c_str(), k->count);
        continue;
      }
      s.nums = v;
    } else {
      // prism z0 z1 x y ...; roof z0 z1 ridge-height x y ... (a hip roof over the footprint)
      const size_t head = k->count == -1 ? 2 : 3;
      if (v.size() < head + 6 || (v.size() - head) % 2 != 0) {
        c.d->error(a.loc, "'%s' takes %d heights and a polygon", a.name.c_str(), static_cast<int>(head));
        continue;
      }
      s.nums.assign(v.begin(), v.begin() + static_cast<long>(head));
      s.poly = pairs(std::vector<double>(v.begin() + static_cast<long>(head), v.end()));
    }
    dc.solids.push_back(s);
  }
  c.m->decos.push_back(dc);
}

int lampId(const std::string& name) {
  for (int i = 0; i < LI_LAST; i++)
    if (name == LIGHT_NAMES[i]) return i;
  return -1;
}

void doLamp(Ctx& c, const Block& b) {
  if (b.args.empty() || b.args.size() > 2) {
    c.d->error(b.loc, "'lamp' takes a lamp name, or the first and last of a range");
    return;
  }
  const int first = lampId(b.args[0].text);
  const int last = b.args.size() == 2 ? lampId(b.args[1].text) : first;
  if (first < 0 || last < 0 || last < first) {
    c.d->error(b.loc, "unknown lamp or bad range '%s'", b.args[0].text.c_str());
    return;
  }
  const int count = last - first + 1;
  Lamp proto;
  proto.loc = b.loc;
  std::vector<P2> places;
  for (int r = 0; r < REGIMES; r++) proto.colour[r].role = "lamp";
  for (const Attr& a : b.attrs) {
    std::vector<double> v;
    double n[6];
    if (a.name == "at") {
      if (fixedNumbers(c, a, 2, n)) places = {{n[0], n[1]}};
    } else if (a.name == "line") {
      if (!fixedNumbers(c, a, 4, n)) continue;
      places.clear();
      for (int i = 0; i < count; i++) {
        const double t = count == 1 ? 0.5 : static_cast<double>(i) / (count - 1);
        places.push_back({n[0] + (n[2] - n[0]) * t, n[1] + (n[3] - n[1]) * t});
      }
    } else if (a.name == "ring") {
      // ring CX CY R A0: evenly round a circle from angle A0
      if (!fixedNumbers(c, a, 4, n)) continue;
      places.clear();
      for (int i = 0; i < count; i++) {
        const double ang = (n[3] + 360.0 * i / count) * kDeg;
        places.push_back({n[0] + n[2] * std::cos(ang), n[1] + n[2] * std::sin(ang)});
      }
    } else if (a.name == "points") {
      if (numbers(c, a, 0, 2, &v)) places = pairs(v);
    } else if (a.name == "layer") {
      oneInt(c, a, &proto.layer);
    } else if (a.name == "shape") {
      if (a.args.empty()) {
        c.d->error(a.loc, "'shape' takes a kind and its sizes");
        continue;
      }
      proto.shape = a.args[0].text;
      const int need = proto.shape == "circle" || proto.shape == "star" ? 1 : 2;
      if (proto.shape != "circle" && proto.shape != "star" && proto.shape != "rect" && proto.shape != "arrow" &&
          proto.shape != "tri" && proto.shape != "oval") {
        c.d->error(a.loc, "lamp shapes: circle R, star R, rect W H, oval W H, arrow L W, tri W H");
        continue;
      }
      if (static_cast<int>(a.args.size()) != need + 1 || !toNumber(a.args[1], &proto.a) ||
          (need == 2 && !toNumber(a.args[2], &proto.b))) {
        c.d->error(a.loc, "'shape %s' takes %d numbers", proto.shape.c_str(), need);
        continue;
      }
      if (need == 1) proto.b = proto.a;
    } else if (a.name == "angle") {
      fixedNumbers(c, a, 1, &proto.angle);
    } else if (a.name == "colour") {
      if (a.args.size() == 1) {
        Paint p;
        if (!parsePaint(a.args[0], &p)) {
          c.d->error(a.loc, "bad colour '%s'", a.args[0].text.c_str());
          continue;
        }
        for (int r = 0; r < REGIMES; r++) proto.colour[r] = p;
      } else if (a.args.size() % 2 == 0) {
        for (size_t i = 0; i < a.args.size(); i += 2) {
          const int r = regimeIndex(a.args[i].text);
          Paint p;
          if (r < 0 || !parsePaint(a.args[i + 1], &p))
            c.d->error(a.loc, "'colour' takes a colour, or regime and colour pairs");
          else
            proto.colour[r] = p;
        }
      } else {
        c.d->error(a.loc, "'colour' takes a colour, or regime and colour pairs");
      }
    } else if (a.name == "label") {
      if (a.args.size() != 1)
        c.d->error(a.loc, "'label' takes one quoted text");
      else
        proto.label = a.args[0].text;
    } else {
      c.d->error(a.loc, "unknown lamp attribute '%s'", a.name.c_str());
    }
  }
  if (static_cast<int>(places.size()) != count) {
    c.d->error(b.loc, "%d lamps need %d places, %d given", count, count, static_cast<int>(places.size()));
    return;
  }
  for (int i = 0; i < count; i++) {
    Lamp l = proto;
    l.id = first + i;
    l.at = places[i];
    c.m->lamps.push_back(l);
  }
}

void doArt(Ctx& c, const Block& b) {
  int mask = 7;
  for (const Attr& a : b.attrs) {
    if (a.name == "only") {
      mask = 0;
      for (const Token& t : a.args) {
        if (t.text == "all") {
          mask = 7;
          continue;
        }
        const int r = regimeIndex(t.text);
        if (r < 0)
          c.d->error(a.loc, "'only' takes regime names or 'all'");
        else
          mask |= 1 << r;
      }
      continue;
    }
    ArtItem it;
    it.loc = a.loc;
    it.kind = a.name;
    it.regimeMask = mask;
    std::vector<Token> args = a.args;
    // Trailing options: alpha=F, bold
    while (!args.empty()) {
      const std::string& t = args.back().text;
      if (!args.back().quoted && t == "bold") {
        it.bold = true;
      } else if (!args.back().quoted && t.rfind("alpha=", 0) == 0) {
        Token v{t.substr(6), false};
        if (!toNumber(v, &it.alpha)) c.d->error(a.loc, "bad alpha '%s'", t.c_str());
      } else {
        break;
      }
      args.pop_back();
    }
    Attr rest = a;
    rest.args = args;
    if (it.kind == "text") {
      // text X Y SIZE ANGLE "TEXT" PAINT
      if (args.size() != 6 || !args[4].quoted) {
        c.d->error(a.loc, "'text' takes X Y SIZE ANGLE \"TEXT\" COLOUR");
        continue;
      }
      double n[4];
      rest.args.assign(args.begin(), args.begin() + 4);
      if (!fixedNumbers(c, rest, 4, n)) continue;
      it.nums.assign(n, n + 4);
      it.text = args[4].text;
      if (!parsePaint(args[5], &it.paint)) c.d->error(a.loc, "bad colour '%s'", args[5].text.c_str());
    } else if (it.kind == "disc" || it.kind == "ring" || it.kind == "star" || it.kind == "rect" ||
               it.kind == "glow" || it.kind == "sun" || it.kind == "stripes") {
      // disc X Y R C; ring X Y R W C; star X Y R C; rect X0 Y0 X1 Y1 C; glow X Y R C;
      // sun X Y R RAYS C; stripes X0 Y0 X1 Y1 W C
      const size_t need = it.kind == "disc" || it.kind == "star" || it.kind == "glow" ? 3
                          : it.kind == "stripes"                                   ? 5
                                                                                   : 4;
      if (args.size() != need + 1) {
        c.d->error(a.loc, "'%s' takes %d numbers and a colour", it.kind.c_str(), static_cast<int>(need));
        continue;
      }
      rest.args.assign(args.begin(), args.end() - 1);
      std::vector<double> n(need);
      if (!fixedNumbers(c, rest, need, n.data())) continue;
      it.nums = n;
      if (!parsePaint(args.back(), &it.paint)) c.d->error(a.loc, "bad colour '%s'", args.back().text.c_str());
    } else if (it.kind == "poly" || it.kind == "line") {
      // poly COLOUR x y ...; line W COLOUR x y ...
      const size_t head = it.kind == "poly" ? 1 : 2;
      if (args.size() < head + 4) {
        c.d->error(a.loc, "'%s' needs a colour and points", it.kind.c_str());
        continue;
      }
      if (it.kind == "line") {
        double w;
        if (!toNumber(args[0], &w)) {
          c.d->error(a.loc, "'line' starts with its width");
          continue;
        }
        it.nums = {w};
      }
      if (!parsePaint(args[head - 1], &it.paint)) c.d->error(a.loc, "bad colour '%s'", args[head - 1].text.c_str());
      std::vector<double> v;
      rest.args = args;
      if (!numbers(c, rest, head, 2, &v) || v.size() % 2 != 0) {
        c.d->error(a.loc, "'%s' points come in pairs", it.kind.c_str());
        continue;
      }
      it.points = pairs(v);
    } else {
      c.d->error(a.loc, "unknown art item '%s'", a.name.c_str());
      continue;
    }
    c.m->art.push_back(it);
  }
}

void doYear(Ctx& c, const Block& b) {
  c.m->year.present = true;
  for (const Attr& a : b.attrs) {
    double n[2];
    if (a.name == "at" && fixedNumbers(c, a, 2, n))
      c.m->year.at = {n[0], n[1]};
    else if (a.name == "digit" && fixedNumbers(c, a, 2, n)) {
      c.m->year.digitW = n[0];
      c.m->year.digitH = n[1];
    } else if (a.name != "at" && a.name != "digit")
      c.d->error(a.loc, "unknown year attribute '%s'", a.name.c_str());
  }
}

// The gate pentagon: a strip of width w from a to b whose far end comes to a
// point just beyond b, so that the vertex farthest from the position (a) is
// that point and the object's axis runs from a to b.
std::vector<P2> gateOutline(P2 a, P2 b, double w) {
  const P2 d = unit(b - a), n{-d.y, d.x};
  const double h = w / 2;
  return {a + n * h, b + n * h, b + d * h, b - n * h, a - n * h};
}

// The capsule of a player's flipper at its rest angle, as the board sees it:
// circles of radius1 about the pivot and radius2 about the tip, joined by
// their tangents.
std::vector<P2> flipperOutline(P2 pivot, double length, double r1, double r2, double restAngle, bool right) {
  const double base = right ? 180.0 : 0.0;
  // Left flippers turn by -angle, right ones by +angle (table y down).
  const double a = right ? base + restAngle : base - restAngle;
  const P2 tip = pivot + rotate({length, 0}, a);
  std::vector<P2> out;
  const std::vector<P2> c1 = arcPoints(pivot, r1, a + 90, a + 270, 3.0);
  const std::vector<P2> c2 = arcPoints(tip, r2, a - 90, a + 90, 3.0);
  out.insert(out.end(), c1.begin(), c1.end());
  out.insert(out.end(), c2.begin(), c2.end());
  dropDuplicates(&out);
  orientOutline(&out);
  return out;
}

void doObject(Ctx& c, const Block& b) {
  if (b.args.size() != 2) {
    c.d->error(b.loc, "'object' takes a name and a family");
    return;
  }
  Object o;
  o.loc = b.loc;
  o.name = b.args[0].text;
  o.family = b.args[1].text;
  const OprFamilyRow* row = oprTableFamilyByName(o.family.c_str());
  if (!row) {
    c.d->error(b.loc, "unknown family '%s'", o.family.c_str());
    return;
  }
  if (!row->reader) {
    c.d->error(b.loc, "family '%s' has no reader: its outlines would be plain walls", o.family.c_str());
    return;
  }
  o.familyNumber = row->family;
  bool hasAt = false;
  for (const Attr& a : b.attrs) {
    std::vector<double> v;
    double n[5];
    if (a.name == "layer") {
      if (oneInt(c, a, &o.layer) && (o.layer < 0 || o.layer >= LAYERS)) c.d->error(a.loc, "layer outside 0..7");
    } else if (a.name == "class") {
      if (a.args.size() != 1)
        c.d->error(a.loc, "'class' takes a name");
      else
        o.cls = a.args[0].text;
    } else if (a.name == "circle") {
      if (!fixedNumbers(c, a, 3, n)) continue;
      o.shapeKind = "circle";
      o.centre = {n[0], n[1]};
      o.radius = n[2];
      if (n[2] <= 0) {
        c.d->error(a.loc, "a circle needs a radius above 0");
        continue;
      }
      const int seg = static_cast<int>(std::clamp(std::ceil(n[2] * 1.2), 12.0, 256.0));
      o.outline = circlePoints(o.centre, n[2], seg);
    } else if (a.name == "rect") {
      if (!fixedNumbers(c, a, 4, n)) continue;
      o.shapeKind = "rect";
      o.outline = {{n[0], n[1]}, {n[2], n[1]}, {n[2], n[3]}, {n[0], n[3]}};
    } else if (a.name == "poly") {
      if (!numbers(c, a, 0, 2, &v)) continue;
      if (v.size() % 2 != 0 || v.size() < 6) {
        c.d->error(a.loc, "'poly' takes x y pairs, at least three");
        continue;
      }
      o.shapeKind = "poly";
      o.outline = pairs(v);
    } else if (a.name == "strip") {
      if (!numbers(c, a, 0, 2, &v)) continue;
      if (v.size() < 5 || (v.size() - 1) % 2 != 0) {
        c.d->error(a.loc, "'strip' takes a width and x y pairs, at least two");
        continue;
      }
      o.shapeKind = "strip";
      o.radius = v[0];
      o.spine = pairs(std::vector<double>(v.begin() + 1, v.end()));
      o.outline = strokeOutline(o.spine, o.radius);
    } else if (a.name == "gate") {
      if (!fixedNumbers(c, a, 5, n)) continue;
      o.shapeKind = "gate";
      o.spine = {{n[0], n[1]}, {n[2], n[3]}};
      o.radius = n[4];
      o.centre = {n[0], n[1]};
      o.outline = gateOutline(o.spine[0], o.spine[1], n[4]);
    } else if (a.name == "pivot") {
      if (!fixedNumbers(c, a, 2, n)) continue;
      o.shapeKind = "flipper";
      o.centre = {n[0], n[1]};
    } else if (a.name == "like") {
      if (a.args.size() != 1)
        c.d->error(a.loc, "'like' takes an object name");
      else
        o.like = a.args[0].text;
    } else if (a.name == "at") {
      if (!fixedNumbers(c, a, 2, n)) continue;
      o.pos = {n[0], n[1]};
      hasAt = true;
    } else if (a.name == "height") {
      fixedNumbers(c, a, 1, &o.height);
    } else if (a.name == "look") {
      parseLook(c, a, &o.look);
    } else if (a.name == "see") {
      if (oneInt(c, a, &o.see) && (o.see < 0 || o.see > 255)) c.d->error(a.loc, "see outside 0..255");
    } else if (a.name == "nosprite") {
      o.sprite = false;
    } else if (a.name == "set") {
      KeyValue kv;
      if (parseSet(c, a, &kv)) o.params.push_back(kv);
    } else {
      c.d->error(a.loc, "unknown object attribute '%s'", a.name.c_str());
    }
  }
  if (o.shapeKind.empty()) {
    c.d->error(b.loc, "object '%s' has no shape", o.name.c_str());
    return;
  }
  if (!hasAt) {
    if (o.shapeKind == "circle" || o.shapeKind == "gate" || o.shapeKind == "flipper") {
      o.pos = o.centre;
    } else {
      double x0, y0, x1, y1;
      bounds(o.outline, &x0, &y0, &x1, &y1);
      o.pos = {std::round((x0 + x1) / 2), std::round((y0 + y1) / 2)};
    }
  }
  c.m->objects.push_back(o);
}

// Objects whose geometry depends on keys (flippers) or on other objects.
void finishObjects(Ctx& c) {
  Model& m = *c.m;
  for (Object& o : m.objects) {
    if (o.shapeKind != "flipper") continue;
    const Object* src = &o;
    if (!o.like.empty()) {
      src = findObject(m, o.like);
      if (!src || src->family != "cflipper") {
        c.d->error(o.loc, "'like %s' names no cflipper", o.like.c_str());
        continue;
      }
    }
    const double len = objectReal(m, *src, "length", 50);
    const double r1 = objectReal(m, *src, "radius1", 10), r2 = objectReal(m, *src, "radius2", 5);
    const double rest = objectReal(m, *src, "min_angle", 0);
    const bool right = objectInt(m, *src, "right", 0) != 0;
    if (o.family == "flipper" && objectInt(m, o, "right", 0) != (right ? 1 : 0))
      c.d->error(o.loc, "flipper '%s' must turn the same way as '%s' (key 'right')", o.name.c_str(),
                 src->name.c_str());
    o.outline = flipperOutline(o.centre, len, r1, r2, rest, right);
    if (!o.like.empty()) {
      o.pos = o.centre;
      // The polygon flipper keeps its own position: the pivot.
    }
  }
}

void checkObjects(Ctx& c) {
  Model& m = *c.m;
  std::set<std::string> names;
  std::map<std::pair<int, std::pair<int, int>>, const Object*> sections;
  std::map<std::string, int> familyCount;
  for (Object& o : m.objects) {
    if (!names.insert(o.name).second) c.d->error(o.loc, "object name '%s' used twice", o.name.c_str());
    dropDuplicates(&o.outline);
    orientOutline(&o.outline);
    if (o.outline.size() < 3) c.d->error(o.loc, "object '%s' has a degenerate outline", o.name.c_str());
    o.sectionX = static_cast<int>(std::trunc(o.pos.x));
    o.sectionY = static_cast<int>(std::trunc(o.pos.y));
    auto key = std::make_pair(o.layer, std::make_pair(o.sectionX, o.sectionY));
    auto [it, fresh] = sections.insert({key, &o});
    if (!fresh)
      c.d->error(o.loc, "object '%s' has the section object_%d_%d of '%s' on layer %d: give it another 'at'",
                 o.name.c_str(), o.sectionX, o.sectionY, it->second->name.c_str(), o.layer);
    o.index = familyCount[o.family]++;
    const FamilyInfo* fi = familyInfo(o.family);
    if (!o.cls.empty()) {
      bool found = false;
      for (const ClassDef& cd : m.classes) found |= cd.name == o.cls;
      if (!found) c.d->error(o.loc, "object '%s': class '%s' is not defined", o.name.c_str(), o.cls.c_str());
    }
    for (const KeyValue& kv : o.params) {
      const int t = familyKeyType(fi, kv.key);
      if (kv.key == "family" || kv.key == "class")
        c.d->error(o.loc, "'%s' is written by the compiler", kv.key.c_str());
      else if (t < 0)
        c.d->error(o.loc, "family '%s' reads no key '%s'", o.family.c_str(), kv.key.c_str());
      else if (t != static_cast<int>(kv.value.type))
        c.d->error(o.loc, "key '%s' of '%s' must be %s", kv.key.c_str(), o.name.c_str(),
                   t == KT_INT ? "an integer" : t == KT_REAL ? "a fraction (with a point)" : "a quoted string");
    }
    for (int i = 0; fi && i < fi->spriteKeyCount; i++)
      for (const KeyValue& kv : o.params)
        if (kv.key == fi->spriteKeys[i] && o.sprite)
          c.d->error(o.loc, "'%s' is drawn by the compiler; say 'nosprite' to give your own", kv.key.c_str());
  }
  // Class keys must be keys of every family that uses the class.
  for (const ClassDef& cd : m.classes) {
    for (const Object& o : m.objects) {
      if (o.cls != cd.name) continue;
      const FamilyInfo* fi = familyInfo(o.family);
      for (const KeyValue& kv : cd.params) {
        const int t = familyKeyType(fi, kv.key);
        if (t < 0 || t != static_cast<int>(kv.value.type))
          c.d->error(cd.loc, "class '%s': key '%s' is not a %s key of family '%s'", cd.name.c_str(),
                     kv.key.c_str(), t < 0 ? "known" : "well-typed", o.family.c_str());
      }
    }
  }
  // Tracks named by objects must exist and be registered.
  static const char* const kTrackKeys[] = {"left_track",  "right_track",  "lhit_track",  "rhit_track",
                                           "lunhit_track", "runhit_track"};
  for (const Object& o : m.objects) {
    for (const char* k : kTrackKeys) {
      const ConfValue* v = objectParam(m, o, k);
      if (!v) continue;
      const Track* t = findTrackByName(m, v->text);
      if (!t || !t->registered)
        c.d->error(o.loc, "object '%s': '%s' names no registered track '%s'", o.name.c_str(), k, v->text.c_str());
    }
    if (o.family == "zona") {
      const ConfValue* v = objectParam(m, o, "track");
      bool found = false;
      for (const Track& t : m.tracks) found |= v && t.file == v->text;
      if (!found) c.d->error(o.loc, "zona '%s': 'track' must be the file of a described track", o.name.c_str());
    }
  }
}

void checkTracks(Ctx& c) {
  std::set<std::string> names, files;
  for (const Track& t : c.m->tracks) {
    if (!names.insert(t.name).second) c.d->error(t.loc, "track name '%s' used twice", t.name.c_str());
    if (!files.insert(t.file).second) c.d->error(t.loc, "track file '%s' used twice", t.file.c_str());
  }
}

void checkLamps(Ctx& c) {
  std::vector<Lamp> byId(LI_LAST);
  std::vector<bool> seen(LI_LAST, false);
  for (const Lamp& l : c.m->lamps) {
    if (seen[l.id]) {
      c.d->error(l.loc, "lamp %s placed twice", LIGHT_NAMES[l.id]);
      continue;
    }
    seen[l.id] = true;
    byId[l.id] = l;
  }
  for (int i = 0; i < LI_LAST; i++)
    if (!seen[i]) c.d->error(Loc{"lamps", 0}, "lamp %s has no place", LIGHT_NAMES[i]);
  c.m->lamps = byId;
}

void checkPalettes(Ctx& c) {
  static const char* const kRoles[] = {"floor", "floor2", "rail", "metal", "rubber", "wood", "post", "bumper",
                                       "target", "flipper", "plastic", "building", "roof", "gold", "glass",
                                       "dark", "cabinet", "apron", "lamp", "text", "sky", "accent", "accent2"};
  for (int r = 0; r < REGIMES; r++)
    for (const char* role : kRoles) {
      Rgb x;
      if (!findRole(*c.m, role, r, &x))
        c.d->error(Loc{"palettes", 0}, "palette %s has no colour '%s'", kRegimeNames[r], role);
    }
}

}  // namespace

bool findRole(const Model& m, const std::string& role, int regime, Rgb* out) {
  for (const auto& [name, col] : m.palettes[regime].roles)
    if (name == role) {
      *out = col;
      return true;
    }
  return false;
}

Rgb resolve(const Model& m, const Paint& p, int regime) {
  if (p.role.empty()) return p.literal;
  Rgb c{1, 0, 1};
  findRole(m, p.role, regime, &c);
  return c;
}

const Object* findObject(const Model& m, const std::string& name) {
  for (const Object& o : m.objects)
    if (o.name == name) return &o;
  return nullptr;
}

const Track* findTrackByName(const Model& m, const std::string& name) {
  for (const Track& t : m.tracks)
    if (t.name == name) return &t;
  return nullptr;
}

const ConfValue* objectParam(const Model& m, const Object& o, const std::string& key) {
  for (const KeyValue& kv : o.params)
    if (kv.key == key) return &kv.value;
  if (o.cls.empty()) return nullptr;
  for (const ClassDef& cd : m.classes)
    if (cd.name == o.cls)
      for (const KeyValue& kv : cd.params)
        if (kv.key == key) return &kv.value;
  return nullptr;
}

double objectReal(const Model& m, const Object& o, const std::string& key, double def) {
  const ConfValue* v = objectParam(m, o, key);
  if (!v || v->type == ConfValue::STRING) return def;
  return std::strtod(v->text.c_str(), nullptr);
}

int objectInt(const Model& m, const Object& o, const std::string& key, int def) {
  const ConfValue* v = objectParam(m, o, key);
  if (!v || v->type != ConfValue::INT) return def;
  return static_cast<int>(std::strtol(v->text.c_str(), nullptr, 10));
}

std::string objectString(const Model& m, const Object& o, const std::string& key, const std::string& def) {
  const ConfValue* v = objectParam(m, o, key);
  if (!v || v->type != ConfValue::STRING) return def;
  return v->text;
}

bool buildModel(const std::vector<Block>& blocks, Model* model, Diag* diag) {
  Ctx c{model, diag};
  for (const Block& b : blocks) {
    if (b.kind == "palette")
      doPalette(c, b);
    else if (b.kind == "layer")
      doLayer(c, b);
    else if (b.kind == "class")
      doClass(c, b);
    else if (b.kind == "track")
      doTrack(c, b);
    else if (b.kind == "surface")
      doSurface(c, b);
    else if (b.kind == "deco")
      doDeco(c, b);
    else if (b.kind == "object")
      doObject(c, b);
    else if (b.kind == "lamp")
      doLamp(c, b);
    else if (b.kind == "art")
      doArt(c, b);
    else if (b.kind == "year")
      doYear(c, b);
    else
      diag->error(b.loc, "unknown block '%s'", b.kind.c_str());
  }
  finishObjects(c);
  checkObjects(c);
  checkTracks(c);
  checkLamps(c);
  checkPalettes(c);
  return diag->ok();
}

}  // namespace tbl
