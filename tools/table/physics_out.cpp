// The table's physics files: shape files, object configurations, tracks,
// layer height maps.
#include <sys/stat.h>

#include <cerrno>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/conf.h"
#include "physics/geometry.h"
#include "physics/track.h"
#include "table/families.h"
#include "table/outputs.h"

namespace tbl {

bool makeParents(const std::string& path) {
  for (size_t i = 1; i < path.size(); i++) {
    if (path[i] != '/') continue;
    const std::string dir = path.substr(0, i);
    if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  return true;
}

bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  if (!makeParents(path)) return false;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool writeTextFile(const std::string& path, const std::string& text) {
  return writeBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<KeyValue> spriteKeyValues(const Object& o) {
  std::vector<KeyValue> out;
  if (!o.sprite) return out;
  const FamilyInfo* fi = familyInfo(o.family);
  if (!fi || fi->spriteKeyCount == 0) return out;
  const std::string base = "table/spr/" + o.name;
  auto add = [&](const char* key, const std::string& value) {
    out.push_back({key, {ConfValue::STRING, value}});
  };
  if (o.family == "zona") {
    for (int i = 0; i < fi->spriteKeyCount; i++) {
      std::string k = fi->spriteKeys[i];
      add(fi->spriteKeys[i], base + "-" + k.substr(0, k.find('_')));
    }
  } else if (o.family == "ostlift") {
    add("sprite_up", base + "-up.gsp");
    add("sprite_down", base + "-down.gsp");
    add("sprite_drum", base + "-drum.gsp");
  } else if (fi->spriteKeyCount == 2) {
    add("heat_sprite", base + "-heat.gsp");
    add("cool_sprite", base + "-cool.gsp");
  } else {
    add("sprite", base + ".gsp");
  }
  return out;
}

namespace {

std::string confLine(const std::string& key, const ConfValue& v) {
  if (v.type == ConfValue::STRING) return key + " = \"" + v.text + "\"\n";
  return key + " = " + v.text + "\n";
}

// Writes the text and its binary twin (as the game's "/mkbin" would).
bool writeConfPair(const std::string& textPath, const std::string& text) {
  if (!writeTextFile(textPath, text)) return false;
  ConfSet set{};
  const std::vector<uint8_t> bytes(text.begin(), text.end());
  if (confParseText(&set, bytes, textPath.c_str()) < 0) return false;
  std::vector<uint8_t> bin;
  const bool built = confBuildBinary(&set, &bin);
  conf_free(&set);
  if (!built) return false;
  const std::string binPath = textPath.substr(0, textPath.size() - 5) + ".bcf";
  return writeBytes(binPath, bin);
}

}  // namespace

bool writeShapes(const Model& m, const std::string& gameDir) {
  for (int layer = 0; layer < LAYERS; layer++) {
    std::vector<Outline> outlines;
    std::vector<std::vector<Vec3>> vertexStore;
    std::string conf = "; Object configuration of table layer " + std::to_string(layer);
    if (!m.layerTitle[layer].empty()) conf += " (" + m.layerTitle[layer] + ")";
    conf += ".\n; Written by pbtable from the table description in table/*.tbl: edit that, not this.\n";
    // Classes used on this layer first, in the order they are defined.
    for (const ClassDef& cd : m.classes) {
      bool used = false;
      for (const Object& o : m.objects) used |= o.layer == layer && o.cls == cd.name;
      if (!used) continue;
      conf += "\n[class_" + cd.name + "]\n";
      for (const KeyValue& kv : cd.params) conf += confLine(kv.key, kv.value);
    }
    for (const Object& o : m.objects) {
      if (o.layer != layer) continue;
      char section[64];
      std::snprintf(section, sizeof section, "object_%d_%d", o.sectionX, o.sectionY);
      conf += "\n; " + o.name + "\n[" + section + "]\n";
      conf += confLine("family", {ConfValue::STRING, o.family});
      if (!o.cls.empty()) conf += confLine("class", {ConfValue::STRING, o.cls});
      for (const KeyValue& kv : o.params) conf += confLine(kv.key, kv.value);
      for (const KeyValue& kv : spriteKeyValues(o)) conf += confLine(kv.key, kv.value);

      std::vector<Vec3> verts;
      double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
      for (const P2& p : o.outline) {
        const Vec3 v{p.x - o.pos.x, p.y - o.pos.y, 0};
        verts.push_back(v);
        x0 = std::min(x0, v.x);
        y0 = std::min(y0, v.y);
        x1 = std::max(x1, v.x);
        y1 = std::max(y1, v.y);
      }
      vertexStore.push_back(verts);
      Outline ol{};
      // Code bytes: the family, the layer and the object's number among its family.
      ol.code[0] = o.familyNumber;
      ol.code[1] = layer;
      ol.code[2] = o.index & 255;
      ol.pos = {o.pos.x, o.pos.y, m.layerBase[layer]};
      ol.n = static_cast<int>(verts.size());
      ol.xmin = x0;
      ol.ymin = y0;
      ol.xmax = x1;
      ol.ymax = y1;
      outlines.push_back(ol);
    }
    for (size_t i = 0; i < outlines.size(); i++) outlines[i].vertices = vertexStore[i].data();
    char name[64];
    std::snprintf(name, sizeof name, "/temp/#shapes-%d.dat", layer);
    if (!makeParents(gameDir + name) || shWriteFile((gameDir + name).c_str(), outlines) < 0) return false;
    std::snprintf(name, sizeof name, "/table/objects-%d.conf", layer);
    if (!writeConfPair(gameDir + name, conf)) return false;
  }
  // The game's shape loader goes through layers 0..SHAPE_FILES-1 and stops at
  // the first one without an object configuration, reporting that file as
  // not found. The layers above the table's own are written empty (no
  // objects, a shape file of no records) so that every table load finds them.
  static_assert(LAYERS <= SHAPE_FILES);
  for (int layer = LAYERS; layer < SHAPE_FILES; layer++) {
    const std::string conf = "; Object configuration of table layer " + std::to_string(layer) +
                             ": empty, the table's objects lie on layers 0.." + std::to_string(LAYERS - 1) +
                             ".\n; Written by pbtable: the game reads the object configurations of layers 0.." +
                             std::to_string(SHAPE_FILES - 1) + ".\n";
    char name[64];
    std::snprintf(name, sizeof name, "/temp/#shapes-%d.dat", layer);
    if (!makeParents(gameDir + name) || shWriteFile((gameDir + name).c_str(), {}) < 0) return false;
    std::snprintf(name, sizeof name, "/table/objects-%d.conf", layer);
    if (!writeConfPair(gameDir + name, conf)) return false;
  }
  return true;
}

bool writeTracks(const Model& m, const std::string& gameDir) {
  std::string conf =
      "; The table's tracks: each section names a track the objects and rules use\n"
      "; (as \"track-<name>\") and the file of its points.\n"
      "; Written by pbtable from the table description in table/*.tbl.\n";
  for (const Track& t : m.tracks) {
    std::vector<TrackVec> pts;
    for (const P3& p : t.points) pts.push_back({p.x, p.y, p.z});
    ::Track tr{static_cast<int>(pts.size()), t.spacing, pts.data()};
    if (!makeParents(gameDir + "/" + t.file) || !trackSave((gameDir + "/" + t.file).c_str(), &tr)) return false;
    if (t.registered) conf += "\n[" + t.name + "]\nfilename = \"" + t.file + "\"\n";
  }
  return writeConfPair(gameDir + "/conf/track.conf", conf);
}

void trackStrip(const Track& t, double width, double extend, std::vector<P3>* left, std::vector<P3>* right) {
  std::vector<P2> line;
  std::vector<double> z;
  const std::vector<P3>& p = t.points;
  // The last resampled point may run past the described end: use the
  // control polyline's ends for the extension directions.
  const P2 d0 = unit(P2{p[1].x - p[0].x, p[1].y - p[0].y});
  const size_t n = p.size();
  const P2 d1 = unit(P2{p[n - 1].x - p[n - 2].x, p[n - 1].y - p[n - 2].y});
  if (extend > 0) {
    line.push_back(P2{p[0].x, p[0].y} - d0 * extend);
    z.push_back(p[0].z);
  }
  for (const P3& q : p) {
    line.push_back({q.x, q.y});
    z.push_back(q.z);
  }
  if (extend > 0) {
    line.push_back(P2{p[n - 1].x, p[n - 1].y} + d1 * extend);
    z.push_back(p[n - 1].z);
  }
  std::vector<P2> l, r;
  strokeSides(line, width, &l, &r);
  left->clear();
  right->clear();
  for (size_t i = 0; i < line.size(); i++) {
    left->push_back({l[i].x, l[i].y, z[i]});
    right->push_back({r[i].x, r[i].y, z[i]});
  }
}

double HeightMaps::at(int layer, int x, int y) const {
  if (layer < 0 || layer >= LAYERS || x < 0 || y < 0 || x >= TABLE_W || y >= TABLE_H) return 0;
  return h[layer][static_cast<size_t>(y) * TABLE_W + x];
}

namespace {

// Writes the plane of triangle (a, b, c) into the grid points it covers
// (sampled at the cell centres).
void stampTriangle(std::vector<double>* grid, P3 a, P3 b, P3 c) {
  const double x0 = std::min({a.x, b.x, c.x}), x1 = std::max({a.x, b.x, c.x});
  const double y0 = std::min({a.y, b.y, c.y}), y1 = std::max({a.y, b.y, c.y});
  const double area = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
  if (std::fabs(area) < 1e-12) return;
  const int ix0 = std::max(0, static_cast<int>(std::floor(x0))), ix1 = std::min(TABLE_W - 1, static_cast<int>(x1));
  const int iy0 = std::max(0, static_cast<int>(std::floor(y0))), iy1 = std::min(TABLE_H - 1, static_cast<int>(y1));
  for (int y = iy0; y <= iy1; y++) {
    for (int x = ix0; x <= ix1; x++) {
      const double px = x + 0.5, py = y + 0.5;
      const double w0 = ((b.x - px) * (c.y - py) - (c.x - px) * (b.y - py)) / area;
      const double w1 = ((c.x - px) * (a.y - py) - (a.x - px) * (c.y - py)) / area;
      const double w2 = 1 - w0 - w1;
      if (w0 < -1e-9 || w1 < -1e-9 || w2 < -1e-9) continue;
      (*grid)[static_cast<size_t>(y) * TABLE_W + x] = w0 * a.z + w1 * b.z + w2 * c.z;
    }
  }
}

}  // namespace

void buildHeights(const Model& m, HeightMaps* maps) {
  for (int l = 0; l < LAYERS; l++) maps->h[l].assign(static_cast<size_t>(TABLE_W) * TABLE_H, m.layerBase[l]);
  for (const Surface& s : m.surfaces) {
    std::vector<P2> flat;
    for (const P3& p : s.poly) flat.push_back({p.x, p.y});
    const std::vector<int> tri = triangulate(flat);
    for (size_t i = 0; i + 2 < tri.size(); i += 3)
      stampTriangle(&maps->h[s.layer], s.poly[tri[i]], s.poly[tri[i + 1]], s.poly[tri[i + 2]]);
  }
  for (const Track& t : m.tracks) {
    std::vector<P3> l, r;
    trackStrip(t, t.width + 8, 24, &l, &r);
    for (size_t i = 0; i + 1 < l.size(); i++) {
      stampTriangle(&maps->h[t.layer], l[i], r[i], r[i + 1]);
      stampTriangle(&maps->h[t.layer], l[i], r[i + 1], l[i + 1]);
    }
  }
}

bool writeHeights(const HeightMaps& maps, const std::string& gameDir) {
  for (int l = 0; l < LAYERS; l++) {
    const std::vector<double>& h = maps.h[l];
    double lo = *std::min_element(h.begin(), h.end()), hi = *std::max_element(h.begin(), h.end());
    if (hi - lo < 1) hi = lo + 1;
    // Codes are made against the heights as the file stores them (floats).
    const float flo = static_cast<float>(lo), fhi = static_cast<float>(hi);
    std::vector<uint16_t> codes(h.size());
    for (size_t i = 0; i < h.size(); i++) {
      const double c = (h[i] - flo) / (static_cast<double>(fhi) - flo) * 65535.0;
      codes[i] = static_cast<uint16_t>(std::lround(std::clamp(c, 0.0, 65535.0)));
    }
    ZBUF z{codes.data(), flo, fhi, TABLE_W, TABLE_H};
    char name[64];
    std::snprintf(name, sizeof name, "/temp/table-%dtz.dat", l);
    if (!makeParents(gameDir + name) || zbufWrite((gameDir + name).c_str(), &z) < 0) return false;
  }
  return true;
}

}  // namespace tbl
