// The table as 3-D geometry.
#include "table/scene.h"

#include <algorithm>
#include <cmath>

#include "table/families.h"
#include "table/outputs.h"

namespace tbl {

Material Looks::get(const std::string& material, const std::string& role) {
  const std::string key = material + "/" + role;
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  const MaterialInfo* mi = materialInfo(material);
  if (!mi) mi = materialInfo("rail");
  Material out;
  const std::string r = role.empty() ? mi->role : role;
  for (int g = 0; g < REGIMES; g++) {
    Rgb c{0.6, 0.6, 0.6};
    if (!r.empty()) findRole(*m, r, g, &c);
    out.colour[g] = c;
  }
  out.specular = mi->specular;
  out.shininess = mi->shininess;
  out.opacity = mi->opacity;
  out.see = mi->see;
  out.texture = mi->texture ? 0 : -1;
  cache[key] = out;
  return out;
}

Material Looks::paint(const std::string& role, double specular, double shininess, double emissive) {
  Material out;
  for (int g = 0; g < REGIMES; g++) {
    Rgb c{0.6, 0.6, 0.6};
    findRole(*m, role, g, &c);
    out.colour[g] = c;
  }
  out.specular = specular;
  out.shininess = shininess;
  out.emissive = emissive;
  return out;
}

// ---- Solids ----

void addExtrusion(Scene* s, const std::vector<P2>& poly, double z0, double z1, int side, int top) {
  const size_t n = poly.size();
  if (n < 3) return;
  if (z1 > z0 && side >= 0) {
    for (size_t i = 0; i < n; i++) {
      const P2 a = poly[i], b = poly[(i + 1) % n];
      s->quad({a.x, a.y, z0}, {b.x, b.y, z0}, {b.x, b.y, z1}, {a.x, a.y, z1}, side);
    }
  }
  if (top >= 0) addFlat(s, poly, z1, top);
}

void addFlat(Scene* s, const std::vector<P2>& poly, double z, int mat) {
  const std::vector<int> tri = triangulate(poly);
  const P3 up{0, 0, 1};
  for (size_t i = 0; i + 2 < tri.size(); i += 3) {
    const P2 a = poly[tri[i]], b = poly[tri[i + 1]], c = poly[tri[i + 2]];
    s->add({a.x, a.y, z}, {b.x, b.y, z}, {c.x, c.y, z}, up, up, up, mat);
  }
}

void addCylinder(Scene* s, P2 c, double r, double z0, double z1, int n, int side, int top) {
  addCone(s, c, r, r, z0, z1, n, side, top);
}

void addCone(Scene* s, P2 c, double r0, double r1, double z0, double z1, int n, int side, int top) {
  const double slope = (r0 - r1) / std::max(1e-6, z1 - z0);
  for (int i = 0; i < n && side >= 0; i++) {
    const double a0 = 2 * M_PI * i / n, a1 = 2 * M_PI * (i + 1) / n;
    const P3 n0 = unit3({std::cos(a0), std::sin(a0), slope}), n1 = unit3({std::cos(a1), std::sin(a1), slope});
    const P3 p00{c.x + r0 * std::cos(a0), c.y + r0 * std::sin(a0), z0};
    const P3 p01{c.x + r0 * std::cos(a1), c.y + r0 * std::sin(a1), z0};
    const P3 p10{c.x + r1 * std::cos(a0), c.y + r1 * std::sin(a0), z1};
    const P3 p11{c.x + r1 * std::cos(a1), c.y + r1 * std::sin(a1), z1};
    s->add(p00, p01, p11, n0, n1, n1, side);
    s->add(p00, p11, p10, n0, n1, n0, side);
  }
  if (top >= 0 && r1 > 0) addFlat(s, circlePoints(c, r1, n), z1, top);
}

void addSphere(Scene* s, P3 c, double r, int n, int mat, bool upperHalfOnly) {
  const int rings = n / 2;
  for (int j = upperHalfOnly ? rings / 2 : 0; j < rings; j++) {
    const double t0 = M_PI * j / rings - M_PI / 2, t1 = M_PI * (j + 1) / rings - M_PI / 2;
    for (int i = 0; i < n; i++) {
      const double a0 = 2 * M_PI * i / n, a1 = 2 * M_PI * (i + 1) / n;
      auto pt = [&](double t, double a) {
        return P3{std::cos(t) * std::cos(a), std::cos(t) * std::sin(a), std::sin(t)};
      };
      const P3 q00 = pt(t0, a0), q01 = pt(t0, a1), q10 = pt(t1, a0), q11 = pt(t1, a1);
      s->add(c + q00 * r, c + q01 * r, c + q11 * r, q00, q01, q11, mat);
      s->add(c + q00 * r, c + q11 * r, c + q10 * r, q00, q11, q10, mat);
    }
  }
}

void addBox(Scene* s, P3 a, P3 b, int mat) {
  const std::vector<P2> f = {{a.x, a.y}, {b.x, a.y}, {b.x, b.y}, {a.x, b.y}};
  addExtrusion(s, f, a.z, b.z, mat, mat);
}

void addBar(Scene* s, P3 a, P3 b, double thick, int mat) {
  const P3 d = unit3(b - a);
  P3 u = cross3(d, P3{0, 0, 1});
  if (len3(u) < 1e-6) u = {1, 0, 0};
  u = unit3(u) * (thick / 2);
  const P3 v = unit3(cross3(u, d)) * (thick / 2);
  const P3 c[4] = {u + v, v - u, (u + v) * -1.0, u - v};
  for (int i = 0; i < 4; i++) {
    const P3 p = c[i], q = c[(i + 1) % 4];
    s->quad(a + p, b + p, b + q, a + q, mat);
  }
}

namespace {

std::vector<P2> inset(const std::vector<P2>& poly, double d) {
  // Moves every vertex towards the centroid: enough for the small convex
  // caps of posts, slingshots and targets.
  P2 c{0, 0};
  for (const P2& p : poly) c = c + p;
  c = c * (1.0 / poly.size());
  std::vector<P2> out;
  for (const P2& p : poly) {
    const P2 v = p - c;
    const double l = len(v);
    out.push_back(l > d ? c + v * ((l - d) / l) : c);
  }
  return out;
}

double objHeight(const Object& o) {
  if (o.height >= 0) return o.height;
  const FamilyInfo* fi = familyInfo(o.family);
  return fi ? fi->height : 10;
}

std::string objMaterial(const Object& o) {
  if (!o.look.material.empty()) return o.look.material;
  const FamilyInfo* fi = familyInfo(o.family);
  return fi ? fi->material : "rail";
}

int addMat(Scene* s, Material m) { return s->addMaterial(m); }

// A rubber-ringed post with a metal cap.
void post(Scene* s, Looks* L, P2 c, double r, double z0, double h, const std::string& capRole) {
  const int rubber = addMat(s, L->get("rubber"));
  const int cap = addMat(s, L->paint(capRole.empty() ? "post" : capRole, 0.6, 30));
  addCylinder(s, c, r, z0, z0 + h * 0.6, 16, rubber, -1);
  addCylinder(s, c, r * 0.7, z0 + h * 0.6, z0 + h, 16, cap, cap);
}

void wallBody(Scene* s, Looks* L, const Object& o, double z0) {
  const double h = objHeight(o);
  const std::string mat = objMaterial(o);
  if (mat == "none" || h <= 0) return;
  if (o.shapeKind == "circle" && o.radius <= 9) {
    post(s, L, o.centre, o.radius, z0, h, o.look.role);
    return;
  }
  Material side = L->get(mat, o.look.role);
  if (o.see >= 0) side.see = o.see;
  const int sm = addMat(s, side);
  Material topm = side;
  // Rails show a lighter top edge; rubber walls a slightly lighter band.
  topm.colour[0] = {std::min(1.0, side.colour[0].r * 1.15), std::min(1.0, side.colour[0].g * 1.15),
                    std::min(1.0, side.colour[0].b * 1.15)};
  for (int g = 1; g < REGIMES; g++)
    topm.colour[g] = {std::min(1.0, side.colour[g].r * 1.15), std::min(1.0, side.colour[g].g * 1.15),
                      std::min(1.0, side.colour[g].b * 1.15)};
  addExtrusion(s, o.outline, z0, z0 + h, sm, addMat(s, topm));
}

void targetBody(Scene* s, Looks* L, const Object& o, double z0, double h, const std::string& role,
                double emissive) {
  const int side = addMat(s, L->paint("dark", 0.3, 16));
  Material face = L->paint(role, 0.5, 30, emissive);
  const int top = addMat(s, face);
  addExtrusion(s, o.outline, z0, z0 + h * 0.85, top, -1);
  addExtrusion(s, inset(o.outline, 0.6), z0 + h * 0.85, z0 + h, side, top);
}

// Axis of a directional object: from its position to the farthest vertex.
P2 axisOf(const Object& o) {
  P2 best = o.pos;
  double bd = -1;
  for (const P2& p : o.outline) {
    const double d = len(p - o.pos);
    if (d > bd) {
      bd = d;
      best = p;
    }
  }
  return best - o.pos;
}

std::string roleOr(const Object& o, const std::string& def) { return o.look.role.empty() ? def : o.look.role; }

// Ramps: a floor strip with side walls; wire tracks: two rails on posts;
// pipes: a closed tube.
void trackBody(Scene* s, Looks* L, const Track& t) {
  if (t.look == "none") return;
  std::vector<P3> l, r;
  trackStrip(t, t.width, 0, &l, &r);
  if (t.look == "plastic") {
    const int floor = addMat(s, L->get("plastic"));
    Material wallm = L->get("plastic");
    const int wall = addMat(s, wallm);
    const int rim = addMat(s, L->get("rail"));
    for (size_t i = 0; i + 1 < l.size(); i++) {
      s->quad(l[i], r[i], r[i + 1], l[i + 1], floor);
      const P3 up{0, 0, 9}, rimUp{0, 0, 10.5};
      s->quad(l[i], l[i + 1], l[i + 1] + up, l[i] + up, wall);
      s->quad(r[i], r[i + 1], r[i + 1] + up, r[i] + up, wall);
      s->quad(l[i] + up, l[i + 1] + up, l[i + 1] + rimUp, l[i] + rimUp, rim);
      s->quad(r[i] + up, r[i + 1] + up, r[i + 1] + rimUp, r[i] + rimUp, rim);
    }
    // Supports where the ramp is high above the playfield.
    for (size_t i = 0; i < l.size(); i += 40) {
      const P3 c = (l[i] + r[i]) * 0.5;
      if (c.z > 14) addCylinder(s, {c.x, c.y}, 2.2, 0, c.z, 8, rim, -1);
    }
  } else if (t.look == "wire") {
    const int wire = addMat(s, L->get("wire"));
    std::vector<P3> l2, r2;
    trackStrip(t, t.width * 0.55, 0, &l2, &r2);
    for (size_t i = 0; i + 1 < l2.size(); i++) {
      const P3 up{0, 0, 3.5};
      addBar(s, l2[i] + up, l2[i + 1] + up, 1.4, wire);
      addBar(s, r2[i] + up, r2[i + 1] + up, 1.4, wire);
      const P3 c0 = (l2[i] + r2[i]) * 0.5, c1 = (l2[i + 1] + r2[i + 1]) * 0.5;
      addBar(s, c0 + P3{0, 0, -1}, c1 + P3{0, 0, -1}, 1.4, wire);
    }
    for (size_t i = 0; i < l2.size(); i += 18) {
      addBar(s, l2[i] + P3{0, 0, 3.5}, r2[i] + P3{0, 0, 3.5}, 1.0, wire);
      const P3 c = (l2[i] + r2[i]) * 0.5;
      if (c.z > 8) addBar(s, {c.x, c.y, 0}, c + P3{0, 0, -1}, 1.6, wire);
    }
  } else if (t.look == "pipe") {
    Material pm = L->get("metal", "accent2");
    pm.see = 40;  // the ball inside the pipe only shows faintly
    const int pipe = addMat(s, pm);
    const int n = 10;
    const double rad = t.width / 2;
    const std::vector<P3>& p = t.points;
    for (size_t i = 0; i + 1 < p.size(); i++) {
      const P3 d = unit3(p[i + 1] - p[i]);
      P3 u = unit3(cross3(d, P3{0, 0, 1}));
      if (len3(u) == 0) u = {1, 0, 0};
      const P3 v = unit3(cross3(u, d));
      for (int k = 0; k < n; k++) {
        const double a0 = 2 * M_PI * k / n, a1 = 2 * M_PI * (k + 1) / n;
        const P3 o0 = u * std::cos(a0) + v * std::sin(a0), o1 = u * std::cos(a1) + v * std::sin(a1);
        const P3 lift{0, 0, rad};
        s->add(p[i] + lift + o0 * rad, p[i + 1] + lift + o0 * rad, p[i + 1] + lift + o1 * rad, o0, o0, o1, pipe);
        s->add(p[i] + lift + o0 * rad, p[i + 1] + lift + o1 * rad, p[i] + lift + o1 * rad, o0, o1, o1, pipe);
      }
    }
  }
}

void decoBody(Scene* s, Looks* L, const Deco& d) {
  Material m = L->get(d.look.material, d.look.role);
  if (d.see >= 0) m.see = d.see;
  const int mat = addMat(s, m);
  Material dark = m;
  for (int g = 0; g < REGIMES; g++) dark.colour[g] = {m.colour[g].r * 0.8, m.colour[g].g * 0.8, m.colour[g].b * 0.8};
  const int top = addMat(s, dark);
  for (const Solid& so : d.solids) {
    const std::vector<double>& n = so.nums;
    if (so.kind == "box") {
      addBox(s, {n[0], n[1], n[4]}, {n[2], n[3], n[5]}, mat);
    } else if (so.kind == "cyl") {
      addCylinder(s, {n[0], n[1]}, n[2], n[3], n[4], n.size() > 5 ? static_cast<int>(n[5]) : 20, mat, top);
    } else if (so.kind == "cone") {
      addCone(s, {n[0], n[1]}, n[2], n[3], n[4], n[5], 20, mat, top);
    } else if (so.kind == "sphere") {
      addSphere(s, {n[0], n[1], n[2]}, n[3], 20, mat, false);
    } else if (so.kind == "dome") {
      addSphere(s, {n[0], n[1], n[2]}, n[3], 20, mat, true);
    } else if (so.kind == "prism") {
      std::vector<P2> poly = so.poly;
      orientOutline(&poly);
      addExtrusion(s, poly, n[0], n[1], mat, top);
    } else if (so.kind == "roof") {
      // A pyramid over the footprint from z0 (eaves) to the ridge height above
      // z1 (walls up to z1 are made by the footprint prism).
      std::vector<P2> poly = so.poly;
      orientOutline(&poly);
      addExtrusion(s, poly, n[0], n[1], mat, -1);
      P2 c{0, 0};
      for (const P2& p : poly) c = c + p;
      c = c * (1.0 / poly.size());
      const P3 apex{c.x, c.y, n[1] + n[2]};
      const int roof = addMat(s, L->get("roof", d.look.role.empty() ? "" : "roof"));
      for (size_t i = 0; i < poly.size(); i++) {
        const P2 a = poly[i], b = poly[(i + 1) % poly.size()];
        s->add({a.x, a.y, n[1]}, {b.x, b.y, n[1]}, apex, roof);
      }
    }
  }
}

}  // namespace

double baseHeight(const Model& m, const Object& o) { return m.layerBase[o.layer]; }

void buildStaticScene(const Model& m, Looks* L, Scene* s) {
  // The playfield: one textured plane over the whole table.
  const int floor = addMat(s, L->get("floor"));
  {
    const P3 up{0, 0, 1};
    const int N = 16;  // split so that no triangle spans too much depth
    for (int j = 0; j < N; j++)
      for (int i = 0; i < N; i++) {
        const double x0 = TABLE_W * i / N, x1 = TABLE_W * (i + 1) / N;
        const double y0 = TABLE_H * j / N, y1 = TABLE_H * (j + 1) / N;
        s->add({x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, up, up, up, floor);
        s->add({x0, y0, 0}, {x1, y1, 0}, {x0, y1, 0}, up, up, up, floor);
      }
  }
  for (const Surface& sf : m.surfaces) {
    if (!sf.render) continue;
    Material mm = L->get(sf.look.material, sf.look.role);
    if (sf.see >= 0) mm.see = sf.see;
    const int mat = addMat(s, mm);
    std::vector<P2> flat;
    for (const P3& p : sf.poly) flat.push_back({p.x, p.y});
    const std::vector<int> tri = triangulate(flat);
    for (size_t i = 0; i + 2 < tri.size(); i += 3) s->add(sf.poly[tri[i]], sf.poly[tri[i + 1]], sf.poly[tri[i + 2]], mat);
  }
  for (const Track& t : m.tracks) trackBody(s, L, t);
  for (const Deco& d : m.decos) decoBody(s, L, d);
  for (const Object& o : m.objects) {
    const double z0 = baseHeight(m, o);
    const double h = objHeight(o);
    const std::string& f = o.family;
    if (f == "wall") {
      wallBody(s, L, o, z0);
    } else if (f == "bumper") {
      const int skirt = addMat(s, L->paint("apron", 0.4, 20));
      addCylinder(s, o.centre, o.radius + 4, z0, z0 + 2.5, 24, skirt, skirt);
    } else if (f == "triangle") {
      const int rubber = addMat(s, L->get("rubber"));
      const int cap = addMat(s, L->paint(roleOr(o, "accent"), 0.6, 40));
      addExtrusion(s, o.outline, z0, z0 + h, rubber, -1);
      addExtrusion(s, inset(o.outline, 2.5), z0 + h, z0 + h + 1.5, cap, cap);
    } else if (f == "spring") {
      const int plate = addMat(s, L->paint("dark", 0.3, 10));
      addFlat(s, o.outline, z0 + 0.2, plate);
    } else if (f == "saver") {
      const int slot = addMat(s, L->paint("dark", 0.2, 10));
      addFlat(s, o.outline, z0 + 0.15, slot);
    } else if (f == "spinner") {
      const P2 ax = axisOf(o);
      const int metal = addMat(s, L->get("metal"));
      const P2 a = o.pos, b = o.pos + ax;
      addCylinder(s, a, 2.5, z0, z0 + h + 2, 10, metal, metal);
      addCylinder(s, b, 2.5, z0, z0 + h + 2, 10, metal, metal);
      addBar(s, {a.x, a.y, z0 + h}, {b.x, b.y, z0 + h}, 1.5, metal);
    } else if (f == "blocker" || f == "hflap" || f == "mflap" || f == "gasbtn") {
      const int slot = addMat(s, L->paint("dark", 0.2, 10));
      addFlat(s, o.outline, z0 + 0.15, slot);
    } else if (f == "button" || f == "spiralbtn" || f == "ostbtn" || f == "zonabtn" || f == "trilights" ||
               f == "mavz") {
      targetBody(s, L, o, z0, h, roleOr(o, "target"), 0);
    } else if (f == "sprdoor") {
      const int metal = addMat(s, L->get("metal"));
      const P2 ax = axisOf(o);
      addCylinder(s, o.pos, 2, z0, z0 + 14, 8, metal, metal);
      addCylinder(s, o.pos + ax * 0.9, 2, z0, z0 + 14, 8, metal, metal);
    } else if (f == "ostlift") {
      const int rim = addMat(s, L->get("metal"));
      const int hole = addMat(s, L->paint("dark", 0.1, 4));
      const double r = std::max(8.0, o.radius);
      addFlat(s, circlePoints(o.pos, r, 24), z0 + 0.1, hole);
      std::vector<P2> ring = circlePoints(o.pos, r + 3, 24);
      for (size_t i = 0; i < ring.size(); i++) {
        const P2 a = ring[i], b = ring[(i + 1) % ring.size()];
        addBar(s, {a.x, a.y, z0 + 1}, {b.x, b.y, z0 + 1}, 2, rim);
      }
    } else if (f == "zona") {
      const int hole = addMat(s, L->paint("dark", 0.1, 4));
      addFlat(s, o.outline, z0 + 0.1, hole);
    }
  }
}

bool buildObjectFrame(const Model& m, Looks* L, const Object& o, const std::string& part, int frame, int frames,
                      Scene* s) {
  const double z0 = baseHeight(m, o);
  const double h = objHeight(o);
  const double t = frames > 1 ? static_cast<double>(frame) / (frames - 1) : 0.0;
  const std::string& f = o.family;
  if (f == "bumper") {
    const int body = addMat(s, L->paint(roleOr(o, "bumper"), 0.5, 30, 0.05 + 0.5 * t));
    const int ring = addMat(s, L->get("metal"));
    const int cap = addMat(s, L->paint("accent", 0.7, 40, 0.1 + 0.9 * t));
    const double press = 1.5 * t;
    addCylinder(s, o.centre, o.radius, z0 + 2.5, z0 + 11 - press, 28, body, -1);
    addCylinder(s, o.centre, o.radius + 1.5, z0 + 11 - press, z0 + 12.5 - press, 28, ring, -1);
    addCone(s, o.centre, o.radius + 1.5, o.radius * 0.65, z0 + 12.5 - press, z0 + 15 - press, 28, cap, cap);
    return true;
  }
  if (f == "triangle") {
    if (frame == 0) return false;
    const int glow = addMat(s, L->paint("lamp", 0.3, 10, 0.3 + 0.9 * t));
    addFlat(s, inset(o.outline, 3), z0 + h + 1.6, glow);
    return true;
  }
  if (f == "cflipper") {
    const double a0 = objectReal(m, o, "spr_min_angle", 0), a1 = objectReal(m, o, "spr_max_angle", 45);
    const double ang = a0 + (a1 - a0) * t;
    const double len = objectReal(m, o, "length", 50);
    const double r1 = objectReal(m, o, "radius1", 10), r2 = objectReal(m, o, "radius2", 5);
    const bool right = objectInt(m, o, "right", 0) != 0;
    const double a = right ? 180.0 + ang : -ang;
    const P2 tip = o.centre + rotate({len, 0}, a);
    std::vector<P2> cap = arcPoints(o.centre, r1, a + 90, a + 270, 2.0);
    const std::vector<P2> c2 = arcPoints(tip, r2, a - 90, a + 90, 2.0);
    cap.insert(cap.end(), c2.begin(), c2.end());
    dropDuplicates(&cap);
    orientOutline(&cap);
    const int rubber = addMat(s, L->get("rubber", "flipper"));
    const int top = addMat(s, L->paint("flipper", 0.6, 40));
    const int metal = addMat(s, L->get("metal"));
    addExtrusion(s, cap, z0, z0 + h * 0.7, rubber, -1);
    addExtrusion(s, inset(cap, 1.2), z0 + h * 0.7, z0 + h, top, top);
    addCylinder(s, o.centre, r1 * 0.45, z0 + h, z0 + h + 1.2, 12, metal, metal);
    return true;
  }
  if (f == "spring") {
    double x0, y0, x1, y1;
    bounds(o.outline, &x0, &y0, &x1, &y1);
    const double pull = objectReal(m, o, "length", 30) * t;
    const double cx = (x0 + x1) / 2, w = (x1 - x0) / 2;
    const int metal = addMat(s, L->get("metal"));
    const int knob = addMat(s, L->paint("accent", 0.6, 30));
    const double top = y0 + pull;
    addBox(s, {cx - w * 0.8, top, z0 + 1}, {cx + w * 0.8, top + 7, z0 + 9}, metal);
    addBar(s, {cx, top + 7, z0 + 5}, {cx, 640, z0 + 5}, 3, metal);
    for (double y = top + 10; y < top + 10 + (40 - pull * 0.6); y += 4 - 2.5 * t)
      addBar(s, {cx - w * 0.6, y, z0 + 5}, {cx + w * 0.6, y + 1.5, z0 + 5}, 1.3, metal);
    addSphere(s, {cx, 612, z0 + 6}, 7, 14, knob, false);
    return true;
  }
  if (f == "saver") {
    const int plate = addMat(s, L->paint(roleOr(o, "accent"), 0.5, 30, 0.1 * t));
    addExtrusion(s, inset(o.outline, 0.5), z0, z0 + 0.8 + 7 * t, plate, plate);
    return true;
  }
  if (f == "spinner") {
    const P2 ax = axisOf(o);
    const P2 dir = unit(ax);
    const P2 across{-dir.y, dir.x};
    const double ang = 2 * M_PI * frame / frames;
    const double hinge = z0 + h, blade = std::min(h - 2, 12.0);
    const P2 a = o.pos + dir * 2.0, b = o.pos + ax - dir * 2.0;
    const P3 d{across.x * std::sin(ang) * blade, across.y * std::sin(ang) * blade, -std::cos(ang) * blade};
    const int plate = addMat(s, L->paint(roleOr(o, "gold"), 0.8, 40));
    const P3 A{a.x, a.y, hinge}, B{b.x, b.y, hinge};
    s->quad(A, B, B + d, A + d, plate);
    const P3 th{across.x * 0.8, across.y * 0.8, 0};
    s->quad(A + th, B + th, B + d + th, A + d + th, plate);
    return true;
  }
  if (f == "blocker") {
    const int body = addMat(s, L->paint(roleOr(o, "post"), 0.6, 30));
    const int cap = addMat(s, L->paint("accent", 0.6, 30));
    const double top = z0 + 0.6 + (h - 0.6) * t;
    addExtrusion(s, inset(o.outline, 0.5), z0, top, body, cap);
    return true;
  }
  if (f == "hflap" || f == "mflap") {
    const int face = addMat(s, L->paint(roleOr(o, f == "hflap" ? "gold" : "target"), 0.5, 30));
    const int dark = addMat(s, L->paint("dark", 0.3, 10));
    const double top = z0 + 0.6 + (h - 0.6) * t;
    addExtrusion(s, inset(o.outline, 0.4), z0, top, face, dark);
    return true;
  }
  if (f == "gasbtn") {
    // Frame 0 stands up; the last frame is pushed down.
    const int face = addMat(s, L->paint(roleOr(o, "target"), 0.5, 30, 0.0));
    const int dark = addMat(s, L->paint("dark", 0.3, 10));
    const double top = z0 + h - (h - 1.5) * t;
    addExtrusion(s, inset(o.outline, 0.4), z0, top, face, dark);
    return true;
  }
  if (f == "button" || f == "spiralbtn" || f == "ostbtn" || f == "zonabtn") {
    // Heat frames light up, cool frames dim: the part name says which.
    const double glow = part == "heat" ? 0.25 + 0.75 * t : 1.0 - 0.85 * t;
    targetBody(s, L, o, z0, h, "lamp", glow);
    return true;
  }
  if (f == "sprdoor") {
    // A blade across the lane hinged at its top edge, swinging up the table.
    const P2 ax = axisOf(o);
    const P2 dir = unit(ax), across{-dir.y, dir.x};
    const double ang = 80.0 * kDeg * t, hinge = z0 + 14, blade = 13;
    const P2 a = o.pos + dir * 1.5, b = o.pos + ax * 0.9 - dir * 1.5;
    const P3 d{-across.x * std::sin(ang) * blade, -across.y * std::sin(ang) * blade, -std::cos(ang) * blade};
    const int plate = addMat(s, L->get("metal"));
    const P3 A{a.x, a.y, hinge}, B{b.x, b.y, hinge};
    s->quad(A, B, B + d, A + d, plate);
    return true;
  }
  if (f == "ostlift") {
    const int metal = addMat(s, L->get("metal"));
    const int car = addMat(s, L->paint("accent", 0.5, 30, 0.1));
    const int ball = addMat(s, L->paint("metal", 0.9, 60));
    const P2 c = o.pos;
    if (part == "up" || part == "down") {
      const double lift = part == "up" ? t : 1 - t;
      const double z = z0 + 2 + 46 * lift;
      addBox(s, {c.x - 7, c.y - 22, z}, {c.x + 7, c.y - 12, z + 9}, car);
      addBar(s, {c.x, c.y - 17, z + 9}, {c.x, c.y - 17, z0 + 70}, 0.8, metal);
      if (part == "up") addSphere(s, {c.x, c.y - 17, z + 12}, 3.5, 12, ball, false);
      return true;
    }
    if (part == "drum") {
      const P2 d{c.x + 22, c.y - 10};
      addCylinder(s, d, 10, z0 + 4, z0 + 12, 20, metal, metal);
      const double rot = 2 * M_PI * frame / 30.0;
      for (int k = 0; k < 6; k++) {
        const double a = rot + 2 * M_PI * k / 6;
        addSphere(s, {d.x + 6.5 * std::cos(a), d.y + 6.5 * std::sin(a), z0 + 14}, 2.6, 10, ball, false);
      }
      return true;
    }
    return false;
  }
  if (f == "zona") {
    const double ux = objectReal(m, o, "up_x", o.pos.x), uy = objectReal(m, o, "up_y", o.pos.y);
    const int metal = addMat(s, L->get("metal"));
    const int ball = addMat(s, L->paint("metal", 0.9, 60));
    const bool back = part.size() > 4 && part.compare(part.size() - 4, 4, "back") == 0;
    const std::string anim = back ? part.substr(0, part.size() - 4) : part;
    double z = 24, glow = 0;
    bool withBall = false, doors = false;
    double open = 0;
    if (anim == "up1") {
      doors = true;
      open = t;
      z = 40 - 16 * t;
    } else if (anim == "up2") {
      glow = 0.3 + 0.6 * (frame % 2);
    } else if (anim == "up3") {
      z = 24 + 26 * t;
      withBall = true;
      glow = 0.5;
    } else if (anim == "down1") {
      z = 50;
      glow = 0.2 + 0.4 * (frame % 2);
    } else if (anim == "down2") {
      z = 50 - 26 * t;
    } else {
      return false;
    }
    if (back) {
      // Under the ball: the cable's shadow line and the magnet's glow on the floor.
      const int field = addMat(s, L->paint("lamp", 0.1, 4, 0.2 + glow));
      addFlat(s, circlePoints({ux, uy}, 9 + 4 * glow, 20), z0 + 0.3, field);
      if (doors) {
        const int door = addMat(s, L->paint("dark", 0.4, 20));
        const double w = 14 * (1 - open);
        addBox(s, {ux - 15, uy - 12, z0 + 0.2}, {ux - 15 + w, uy + 12, z0 + 0.8}, door);
        addBox(s, {ux + 15 - w, uy - 12, z0 + 0.2}, {ux + 15, uy + 12, z0 + 0.8}, door);
      }
      return true;
    }
    const int mgi = addMat(s, L->paint("accent2", 0.6, 30, glow));
    addCylinder(s, {ux, uy}, 7, z0 + z, z0 + z + 6, 18, mgi, mgi);
    addBar(s, {ux, uy, z0 + z + 6}, {ux, uy, z0 + 80}, 1.2, metal);
    if (withBall) addSphere(s, {ux, uy, z0 + z - 3.5}, 3.5, 12, ball, false);
    return true;
  }
  return false;
}

}  // namespace tbl
