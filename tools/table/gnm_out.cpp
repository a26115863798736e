// The looping decorations of the four features (the Duma, the prison zone,
// the White House "bd" and the gas company "gp"): their animation scripts
// (tiny/X-@.gnm always running, X-0 off, X-1 on, X-2 crisis) and the sprites
// the scripts play (tiny/X/NAME.gsp).
//
// Every sprite is drawn through the view's projection with its frames placed
// at their screen position (the sprite's origin is the screen's top-left
// corner), so the scripts need no offsets: a track's object stays at (0, 0).
// The places come from the table description (the Duma's front and roof,
// the zona object, lane T8 and the gas company's decorations), so the
// decorations follow the features when the table is edited.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "gfx/gspwrite.h"
#include "gfx/sprite.h"
#include "table/outputs.h"
#include "table/pictures.h"
#include "table/scene.h"

namespace tbl {

namespace {

// ---- Drawing ----

// A soft light or puff drawn on the screen round a table point: rx and ry
// are its radii in pixels, the alpha falls off with the square of the
// distance from the centre (to the power `falloff`: 2 soft, below 1 a
// flame's firm edge).
struct Glow {
  P3 at;
  double rx, ry;
  Rgb colour;
  double strength;
  double falloff = 2;
};

// One item of a frame, drawn over the items before it: a 3-D scene (hidden
// where the table is in front of it, as the ball would be) at an overall
// opacity, or a glow.
struct Item {
  Scene scene;
  double alpha = 1;
  bool isGlow = false;
  Glow glow{};
};

struct Frame {
  std::vector<Item> items;
  Scene& scene(double alpha = 1) {
    items.push_back(Item{});
    items.back().alpha = alpha;
    return items.back().scene;
  }
  void glow(P3 at, double rx, double ry, Rgb colour, double strength, double falloff = 2) {
    Item it;
    it.isGlow = true;
    it.glow = {at, rx, ry, colour, strength, falloff};
    items.push_back(std::move(it));
  }
};

Material plain(Rgb c, double emissive = 0, double specular = 0.25, double shininess = 16) {
  Material m;
  for (int r = 0; r < REGIMES; r++) m.colour[r] = c;
  m.emissive = emissive;
  m.specular = specular;
  m.shininess = shininess;
  return m;
}

struct Box {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // x1, y1 exclusive
  bool empty() const { return x1 <= x0 || y1 <= y0; }
  void add(double ax, double ay, double bx, double by) {
    auto cx = [](double v) { return static_cast<int>(std::clamp(v, 0.0, static_cast<double>(SCREEN_W))); };
    auto cy = [](double v) { return static_cast<int>(std::clamp(v, 0.0, static_cast<double>(SCREEN_H))); };
    const Box b{cx(std::floor(ax)), cy(std::floor(ay)), cx(std::ceil(bx)), cy(std::ceil(by))};
    if (b.empty()) return;
    if (empty()) {
      *this = b;
      return;
    }
    x0 = std::min(x0, b.x0);
    y0 = std::min(y0, b.y0);
    x1 = std::max(x1, b.x1);
    y1 = std::max(y1, b.y1);
  }
};

uint8_t toByte(double v) {
  if (v > 0.85) v = 0.85 + 0.15 * (1 - std::exp(-(v - 0.85) / 0.15));
  return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
}

struct Picture {
  Box box;
  std::vector<uint8_t> rgba;
};

// Draws a frame's items over each other at their screen places.
Picture drawFrame(const RenderState& rs, const Frame& f) {
  Picture pic;
  for (const Item& it : f.items) {
    if (it.isGlow) {
      const Screen c = project(it.glow.at);
      pic.box.add(c.x - it.glow.rx - 1, c.y - it.glow.ry - 1, c.x + it.glow.rx + 1, c.y + it.glow.ry + 1);
      continue;
    }
    for (const Tri& t : it.scene.tris)
      for (const P3& v : t.v) {
        const Screen p = project(v);
        pic.box.add(p.x - 2, p.y - 2, p.x + 2, p.y + 2);
      }
  }
  if (pic.box.empty()) return pic;
  const int w = pic.box.x1 - pic.box.x0, h = pic.box.y1 - pic.box.y0;
  // Premultiplied colour and alpha.
  std::vector<double> acc(static_cast<size_t>(w) * h * 4, 0.0);
  auto over = [&](int x, int y, Rgb c, double a) {
    double* o = &acc[(static_cast<size_t>(y) * w + x) * 4];
    o[0] = c.r * a + o[0] * (1 - a);
    o[1] = c.g * a + o[1] * (1 - a);
    o[2] = c.b * a + o[2] * (1 - a);
    o[3] = a + o[3] * (1 - a);
  };
  const Samples& bg = rs.background[0];
  const int BW = bg.w * bg.ss;
  for (const Item& it : f.items) {
    if (it.isGlow) {
      const Glow& g = it.glow;
      const Screen c = project(g.at);
      for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
          const double dx = (pic.box.x0 + x + 0.5 - c.x) / g.rx, dy = (pic.box.y0 + y + 0.5 - c.y) / g.ry;
          const double q = 1 - std::sqrt(dx * dx + dy * dy);
          if (q > 0) over(x, y, g.colour, std::min(1.0, g.strength * std::pow(q, g.falloff)));
        }
      continue;
    }
    if (it.scene.tris.empty()) continue;
    Samples s;
    s.reset(pic.box.x0, pic.box.y0, w, h, SUPERSAMPLE);
    RenderSettings set;
    set.regime = 0;
    set.textures = &rs.textures;
    set.shadow = &rs.shadow;
    render(it.scene, set, &s);
    const int W = w * s.ss;
    const double n = s.ss * s.ss;
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) {
        double cr = 0, cg = 0, cb = 0, weight = 0;
        for (int j = 0; j < s.ss; j++)
          for (int i = 0; i < s.ss; i++) {
            const size_t k = static_cast<size_t>(y * s.ss + j) * W + (x * s.ss + i);
            if (!s.covered[k]) continue;
            const size_t b = static_cast<size_t>((pic.box.y0 + y) * s.ss + j) * BW + ((pic.box.x0 + x) * s.ss + i);
            double wgt = 1;
            // Behind the table: only as much shows as the table lets through.
            if (s.depth[k] > bg.depth[b] + 0.35f) wgt = bg.covered[b] ? bg.see[b] / 255.0 : 1.0;
            cr += s.rgb[k * 3] * wgt;
            cg += s.rgb[k * 3 + 1] * wgt;
            cb += s.rgb[k * 3 + 2] * wgt;
            weight += wgt;
          }
        if (weight > 0) over(x, y, {cr / weight, cg / weight, cb / weight}, it.alpha * weight / n);
      }
  }
  pic.rgba.assign(static_cast<size_t>(w) * h * 4, 0);
  for (size_t i = 0; i < static_cast<size_t>(w) * h; i++) {
    const double a = acc[i * 4 + 3];
    // Nearly invisible pixels only cost runs.
    if (a * 255 < 6) continue;
    for (int c = 0; c < 3; c++) pic.rgba[i * 4 + c] = toByte(acc[i * 4 + c] / a);
    pic.rgba[i * 4 + 3] = static_cast<uint8_t>(std::lround(std::min(1.0, a) * 255));
  }
  return pic;
}

bool writeSprite(const RenderState& rs, const std::string& path, int frames,
                 const std::function<void(int f, int n, Frame*)>& build) {
  std::vector<Picture> pics;
  for (int f = 0; f < frames; f++) {
    Frame fr;
    build(f, frames, &fr);
    pics.push_back(drawFrame(rs, fr));
  }
  std::vector<GspFrameImage> images;
  for (const Picture& p : pics) {
    if (p.box.empty())
      images.push_back({0, 0, nullptr, 0, 0});
    else
      images.push_back({p.box.x1 - p.box.x0, p.box.y1 - p.box.y0, p.rgba.data(), p.box.x0, p.box.y0});
  }
  if (!makeParents(path) || gspWrite(path.c_str(), GSP_CM_888_ALPHA, images) < 0) {
    std::fprintf(stderr, "pbtable: can't write sprite '%s'\n", path.c_str());
    return false;
  }
  return true;
}

// A small deterministic noise for flicker and sparks.
double noise(int a, int b) {
  uint32_t h = static_cast<uint32_t>(a) * 0x9E3779B1u ^ static_cast<uint32_t>(b) * 0x85EBCA77u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  return (h & 0xFFFF) / 65535.0;
}

// A vertical disc facing the player (+y) at c.
void addFacingDisc(Scene* s, P3 c, double r, int n, int mat) {
  const P3 nrm{0, 1, 0};
  for (int i = 0; i < n; i++) {
    const double a0 = 2 * M_PI * i / n, a1 = 2 * M_PI * (i + 1) / n;
    s->add(c, c + P3{r * std::cos(a0), 0, r * std::sin(a0)}, c + P3{r * std::cos(a1), 0, r * std::sin(a1)}, nrm,
           nrm, nrm, mat);
  }
}

// A three-striped flag (white, blue, red from the top) on a pole whose top
// is `top`, flying towards `dir` (a unit vector in the plane) and waving
// with phase f / n.
void addFlag(Scene* s, P3 top, double poleHeight, P2 dir, double length, double height, int f, int n) {
  const int pole = s->addMaterial(plain({0.75, 0.75, 0.72}, 0, 0.6, 30));
  addCylinder(s, {top.x, top.y}, 0.6, top.z - poleHeight, top.z + 1, 6, pole, pole);
  const Rgb stripes[3] = {{0.95, 0.95, 0.95}, {0.12, 0.28, 0.75}, {0.85, 0.12, 0.1}};
  int mats[3];
  for (int i = 0; i < 3; i++) mats[i] = s->addMaterial(plain(stripes[i], 0.15, 0.2, 10));
  const P2 side{-dir.y, dir.x};
  const int cols = 8;
  auto at = [&](int c, double z) {
    const double u = static_cast<double>(c) / cols;
    const double wave = 0.22 * length * u * std::sin(2 * M_PI * (static_cast<double>(f) / n - 0.9 * u));
    const P2 p = P2{top.x, top.y} + dir * (u * length * (1 - 0.04 * u)) + side * wave;
    return P3{p.x, p.y, z - 0.5 * u * std::fabs(wave) * 0.3};
  };
  for (int c = 0; c < cols; c++)
    for (int st = 0; st < 3; st++) {
      const double z0 = top.z - height * st / 3.0, z1 = top.z - height * (st + 1) / 3.0;
      s->quad(at(c, z0), at(c + 1, z0), at(c + 1, z1), at(c, z1), mats[st]);
    }
}

// A flame rising from `base`: glows from a wide red foot to a bright core,
// flickering with frame f. size 1 is a flare about 20 units high.
void addFlame(Frame* fr, P3 base, double size, int f, int salt, Rgb outer, Rgb core) {
  const int steps = 6;
  const Screen b = project(base), t = project(base + P3{0, 0, 20 * size});
  const double pixHeight = std::max(4.0, b.y - t.y);
  for (int i = 0; i < steps; i++) {
    const double u = static_cast<double>(i) / steps;
    const double sway = (noise(f, salt * 31 + i) - 0.5) * 5 * size * u;
    const double lift = 20 * size * u * (0.85 + 0.3 * noise(salt, f * 7 + i));
    const P3 p = base + P3{sway, 0, lift};
    const double r = pixHeight * (0.3 - 0.2 * u) * (0.9 + 0.2 * noise(f * 3 + i, salt));
    const double k = (1 - u) * 0.6;
    const Rgb c{outer.r + (core.r - outer.r) * k, outer.g + (core.g - outer.g) * k, outer.b + (core.b - outer.b) * k};
    fr->glow(p, r, r * 1.6, c, 0.9, 0.8);
  }
  fr->glow(base + P3{0, 0, 5 * size}, pixHeight * 0.12, pixHeight * 0.26, core, 1.0, 0.7);
}

// Smoke puffs rising from `base`, each born in turn and growing as it rises
// and drifts.
void addSmoke(Frame* fr, P3 base, double rise, double pixRadius, int f, int n, int puffs, Rgb colour, int salt) {
  for (int p = 0; p < puffs; p++) {
    const double age = std::fmod(static_cast<double>(f) / n + static_cast<double>(p) / puffs, 1.0);
    const P3 at = base + P3{-age * rise * 0.5 + (noise(p, salt) - 0.5) * 4, -age * rise * 0.2, age * rise};
    const double r = pixRadius * (0.45 + 0.9 * age);
    fr->glow(at, r, r * 0.85, colour, 0.9 * (1 - age) * (0.4 + 0.6 * std::min(1.0, age * 5)), 1.2);
  }
}

// ---- Where the features are ----

struct Places {
  // The Duma: its front face (x), the front's extent and the roof's eave
  // and ridge heights over the front.
  double dumaFront, dumaY0, dumaY1, dumaZ0, dumaZ1, eave, ridge, roofX0;
  // The prison: the pit's centre and radius.
  P2 zona;
  double zonaR;
  // The White House: the floor of lane T8 (x0..x1 between its walls, y0..y1).
  double bdX0, bdX1, bdY0, bdY1;
  P2 bdPost;       // the post at the top of the lane's left wall
  P2 bdPeak;       // the pointed top of the lane's right wall
  double bdPeakZ;  // its height
  // The gas company: the ground of the cabinet top, the burner stack's foot.
  double gasGround;
  P2 stack;
};

const Deco* findDeco(const Model& m, const std::string& name) {
  for (const Deco& d : m.decos)
    if (d.name == name) return &d;
  return nullptr;
}

bool findPlaces(const Model& m, Places* p) {
  const Deco* front = findDeco(m, "duma_front");
  const Deco* roof = findDeco(m, "duma_roof");
  const Object* zona = findObject(m, "zona");
  const Object* t8 = findObject(m, "t8");
  const Object* post = findObject(m, "lanes_post2");
  const Object* wall = findObject(m, "ramp_right_wall0");
  const Deco* tanks = findDeco(m, "gas_tanks");
  if (!front || front->solids.empty() || front->solids[0].kind != "box" || !roof || roof->solids.empty() ||
      roof->solids[0].nums.size() < 3 || roof->solids[0].poly.empty() || !zona || !t8 || !post || !wall || !tanks ||
      tanks->solids.empty() || tanks->solids[0].kind != "cyl") {
    std::fprintf(stderr,
                 "pbtable: the feature decorations need duma_front (a box first), duma_roof, the zona, t8, "
                 "lanes_post2, ramp_right_wall0 and gas_tanks (a cylinder first)\n");
    return false;
  }
  const std::vector<double>& fb = front->solids[0].nums;  // X0 Y0 X1 Y1 Z0 Z1
  p->dumaFront = std::max(fb[0], fb[2]);
  p->dumaY0 = std::min(fb[1], fb[3]);
  p->dumaY1 = std::max(fb[1], fb[3]);
  p->dumaZ0 = fb[4];
  p->dumaZ1 = fb[5];
  const std::vector<double>& rf = roof->solids[0].nums;  // Z0 Z1 RIDGE, then the footprint
  p->eave = rf[1];
  p->ridge = rf[1] + rf[2];
  p->roofX0 = std::numeric_limits<double>::infinity();
  for (const P2& q : roof->solids[0].poly) p->roofX0 = std::min(p->roofX0, q.x);
  p->zona = zona->centre;
  p->zonaR = zona->radius;
  double x0, y0, x1, y1;
  bounds(t8->outline, &x0, &y0, &x1, &y1);
  double wx0, wy0, wx1, wy1;
  bounds(wall->outline, &wx0, &wy0, &wx1, &wy1);
  // Between the lane's walls: the post's wall on the left, the ramp's wall
  // on the right; from the posts down past the lane's switch.
  p->bdX0 = post->centre.x + post->radius;
  p->bdX1 = wx0;
  p->bdY0 = post->centre.y + post->radius;
  p->bdY1 = y1 + 30;
  p->bdPost = post->centre;
  p->bdPeak = {(wx0 + wx1) / 2, wy0};
  p->bdPeakZ = wall->height > 0 ? wall->height : 12;
  // The stack stands on the cabinet at its edge, before the first tank.
  const std::vector<double>& t0 = tanks->solids[0].nums;  // X Y R Z0 Z1
  p->gasGround = t0[3];
  p->stack = {t0[0] - t0[2] - 14, t0[1] + t0[2] + 30};
  return true;
}

// ---- The sprites ----

const Rgb kRed{1.0, 0.12, 0.08}, kBlue{0.2, 0.4, 1.0}, kWarm{1.0, 0.82, 0.45}, kSmoke{0.14, 0.14, 0.16};

bool dumaSprites(const RenderState& rs, const Places& P, const std::string& dir) {
  // The roof's height 28 units behind the eave, where the flags stand: the
  // roof rises from the eave to its ridge over half the building's depth.
  const double halfDepth = std::max(1.0, P.dumaFront - P.roofX0) / 2;
  const double roofAt = P.eave + (P.ridge - P.eave) * std::min(1.0, 28 / halfDepth);
  const double mid = (P.dumaY0 + P.dumaY1) / 2;
  const P3 turret{P.dumaFront - 22, mid, roofAt};
  // The turret clock: a white turret on the roof with a clock facing the
  // player; the hand goes round in twelve steps.
  bool ok = writeSprite(rs, dir + "clock.gsp", 12, [&](int f, int n, Frame* fr) {
    Scene& s = fr->scene();
    const int wall = s.addMaterial(plain({0.86, 0.85, 0.8}, 0, 0.2, 10));
    const int roof = s.addMaterial(plain({0.2, 0.45, 0.3}, 0, 0.3, 20));
    const int face = s.addMaterial(plain({0.97, 0.95, 0.85}, 0.35, 0.1, 10));
    const int hand = s.addMaterial(plain({0.05, 0.05, 0.05}, 0, 0.1, 10));
    addBox(&s, turret + P3{-8, -8, -4}, turret + P3{8, 8, 20}, wall);
    addCone(&s, {turret.x, turret.y}, 11, 0, turret.z + 20, turret.z + 30, 4, roof, -1);
    const P3 c = turret + P3{0, 8.3, 10};
    addFacingDisc(&s, c, 6, 20, face);
    const double a = 2 * M_PI * f / n;
    addBar(&s, c + P3{0, 0.3, 0}, c + P3{4.8 * std::sin(a), 0.3, 4.8 * std::cos(a)}, 0.9, hand);
    addBar(&s, c + P3{0, 0.4, 0}, c + P3{0, 0.4, 3.2}, 1.1, hand);
  });
  // The shutters come down over the front, slat by slat.
  ok = ok && writeSprite(rs, dir + "shutter.gsp", 6, [&](int f, int n, Frame* fr) {
    Scene& s = fr->scene(0.92);
    const int slatA = s.addMaterial(plain({0.2, 0.2, 0.22}, 0, 0.3, 20));
    const int slatB = s.addMaterial(plain({0.13, 0.13, 0.15}, 0, 0.3, 20));
    const double top = P.dumaZ1 - 1, bottom = P.dumaZ0 + 1;
    const double low = top - (top - bottom) * (f + 1) / n;
    const double x = P.dumaFront + 0.4;
    int k = 0;
    for (double z = top; z > low + 0.01; z -= 3, k++) {
      const double z1 = std::max(low, z - 3);
      s.quad({x, P.dumaY0 + 4, z}, {x, P.dumaY1 - 4, z}, {x, P.dumaY1 - 4, z1}, {x, P.dumaY0 + 4, z1},
             k % 2 ? slatA : slatB);
    }
  });
  // Three flags on the roof, waving: on the turret and towards the head of
  // the table (the lower end of the roof is at the screen's edge).
  ok = ok && writeSprite(rs, dir + "flag.gsp", 8, [&](int f, int n, Frame* fr) {
    Scene& s = fr->scene();
    addFlag(&s, turret + P3{0, 0, 52}, 22, {-1, 0}, 24, 14, f, n);
    addFlag(&s, {P.dumaFront - 12, P.dumaY0 + 30, roofAt + 22}, 22, {-1, 0}, 20, 12, (f + 3) % n, n);
    addFlag(&s, {P.dumaFront - 12, P.dumaY0 + 90, roofAt + 22}, 22, {-1, 0}, 20, 12, (f + 5) % n, n);
  });
  // Smoke rising from the roof.
  ok = ok && writeSprite(rs, dir + "smoke.gsp", 12, [&](int f, int n, Frame* fr) {
    addSmoke(fr, {P.dumaFront - 30, P.dumaY0 + 60, roofAt + 2}, 60, 22, f, n, 4, kSmoke, 1);
    addSmoke(fr, {P.dumaFront - 24, P.dumaY0 + 150, roofAt + 2}, 50, 18, (f + 5) % n, n, 3, {0.2, 0.19, 0.18}, 2);
  });
  // Two red alarm lamps at the corners of the front: off, rising, full,
  // fading.
  ok = ok && writeSprite(rs, dir + "alarm.gsp", 4, [&](int f, int, Frame* fr) {
    const double level = f == 0 ? 0.0 : f == 2 ? 1.0 : 0.5;
    for (double y : {P.dumaY0 + 8, P.dumaY1 - 8}) {
      const P3 c{P.dumaFront - 4, y, P.eave + 3};
      if (level > 0) fr->glow(c, 10 + 10 * level, 8 + 8 * level, kRed, 0.55 * level);
      Scene& s = fr->scene();
      const int body = s.addMaterial(plain({0.3, 0.3, 0.3}, 0, 0.4, 20));
      const int lamp = s.addMaterial(plain({0.6 + 0.4 * level, 0.08, 0.05}, 0.2 + 1.2 * level, 0.5, 30));
      addCylinder(&s, {c.x, c.y}, 2.2, P.eave - 1, c.z, 8, body, body);
      addSphere(&s, c + P3{0, 0, 1}, 2.2, 10, lamp, true);
    }
  });
  return ok;
}

bool zonaSprites(const RenderState& rs, const Places& P, const std::string& dir) {
  const P2 c = P.zona;
  const double R = P.zonaR;
  // A guard's red lamp going round the prison's ring.
  bool ok = writeSprite(rs, dir + "patrol.gsp", 16, [&](int f, int n, Frame* fr) {
    const double a = 2 * M_PI * f / n;
    const double r = R * 1.3;
    const P3 p{c.x + r * std::cos(a), c.y + r * std::sin(a), 1.2};
    fr->glow(p, 7, 5, kRed, 0.45);
    Scene& s = fr->scene();
    const int lamp = s.addMaterial(plain(kRed, 1.0, 0.4, 30));
    addSphere(&s, p, 1.4, 8, lamp, false);
  });
  // The pit's dim light breathing while the prison sleeps.
  ok = ok && writeSprite(rs, dir + "dim.gsp", 6, [&](int f, int n, Frame* fr) {
    const double level = 0.25 + 0.5 * f / (n - 1);
    fr->glow({c.x, c.y, 0.3}, R * 1.6, R * 1.2, {0.35, 0.5, 0.8}, 0.35 * level);
  });
  // Two searchlights on the ring's upper corners sweeping across the pit.
  ok = ok && writeSprite(rs, dir + "beam.gsp", 12, [&](int f, int n, Frame* fr) {
    const double t = static_cast<double>(f) / (n - 1);
    const P2 from[2] = {{c.x - R * 1.6, c.y - R * 1.6}, {c.x + R * 1.6, c.y - R * 1.6}};
    const double sweep[2] = {-1 + 2 * t, 1 - 2 * t};
    for (int k = 0; k < 2; k++) {
      const P2 spot{c.x + sweep[k] * R * 1.2, c.y + R * 0.5 - R * 0.5 * sweep[k] * sweep[k]};
      const P2 d = unit(spot - from[k]);
      const P2 side{-d.y, d.x};
      const double half = R * 0.45;
      Scene& s = fr->scene(0.4);
      const int light = s.addMaterial(plain({1.0, 0.97, 0.8}, 1.0, 0, 1));
      addFlat(&s, {from[k], spot + side * half, spot - side * half}, 0.3, light);
      fr->glow({spot.x, spot.y, 0.3}, R * 0.7, R * 0.55, {1.0, 0.96, 0.78}, 0.85);
      Scene& head = fr->scene();
      const int post = head.addMaterial(plain({0.35, 0.35, 0.38}, 0, 0.4, 20));
      const int lamp = head.addMaterial(plain({1.0, 0.98, 0.85}, 1.2, 0.5, 30));
      addCylinder(&head, from[k], 1.2, 0, 10, 8, post, post);
      addSphere(&head, {from[k].x, from[k].y, 11}, 2.0, 10, lamp, false);
    }
  });
  // Sirens on the ring's lower corners, red and blue in turn.
  ok = ok && writeSprite(rs, dir + "siren.gsp", 4, [&](int f, int, Frame* fr) {
    const P3 at[2] = {{c.x - R * 1.6, c.y + R * 1.6, 4}, {c.x + R * 1.6, c.y + R * 1.6, 4}};
    const Rgb colour[2] = {kRed, kBlue};
    const double level[2] = {f == 0 ? 1.0 : f == 1 ? 0.35 : 0.0, f == 2 ? 1.0 : f == 3 ? 0.35 : 0.0};
    for (int k = 0; k < 2; k++) {
      if (level[k] > 0) fr->glow(at[k], 16 * level[k] + 4, 12 * level[k] + 3, colour[k], 0.65 * level[k]);
      Scene& s = fr->scene();
      const int base = s.addMaterial(plain({0.25, 0.25, 0.27}, 0, 0.4, 20));
      const Rgb lc = colour[k];
      const double e = 0.15 + 1.3 * level[k];
      const int lamp = s.addMaterial(plain({lc.r * (0.5 + 0.5 * level[k]), lc.g * (0.5 + 0.5 * level[k]),
                                            lc.b * (0.5 + 0.5 * level[k])},
                                           e, 0.6, 40));
      addCylinder(&s, {at[k].x, at[k].y}, 2.6, 0, at[k].z - 1, 10, base, base);
      addSphere(&s, at[k] + P3{0, 0, -1}, 2.4, 12, lamp, true);
    }
  });
  return ok;
}

bool bdSprites(const RenderState& rs, const Places& P, const std::string& dir) {
  // The windows lie in two rows along the lane, either side of its name.
  const double cx = (P.bdX0 + P.bdX1) / 2, span = P.bdX1 - P.bdX0;
  std::vector<P2> windows;
  for (double y = P.bdY0 + 6; y <= P.bdY1 - 6; y += 8) {
    windows.push_back({cx - span * 0.32, y});
    windows.push_back({cx + span * 0.32, y});
  }
  auto window = [&](Scene* s, P2 w, int mat) {
    addFlat(s, {{w.x - 2.5, w.y - 3}, {w.x + 2.5, w.y - 3}, {w.x + 2.5, w.y + 3}, {w.x - 2.5, w.y + 3}}, 0.3, mat);
  };
  // A flag on a mast over the top of the lane's left wall.
  bool ok = writeSprite(rs, dir + "flag.gsp", 8, [&](int f, int n, Frame* fr) {
    Scene& s = fr->scene();
    addFlag(&s, {P.bdPost.x, P.bdPost.y, 30}, 30, {-1, 0}, 16, 10, f, n);
  });
  // At night one window stays lit: the watchman's lamp, dim and bright.
  ok = ok && writeSprite(rs, dir + "window.gsp", 2, [&](int f, int, Frame* fr) {
    const P2 w = windows[windows.size() / 2 + 1];
    Scene& s = fr->scene(f ? 1.0 : 0.7);
    window(&s, w, s.addMaterial(plain(kWarm, f ? 1.0 : 0.3, 0, 1)));
    if (f) fr->glow({w.x, w.y, 0.3}, 6, 5, kWarm, 0.35);
  });
  // Office windows lit at work, changing as people come and go.
  ok = ok && writeSprite(rs, dir + "windows.gsp", 8, [&](int f, int, Frame* fr) {
    Scene& s = fr->scene();
    const int lit = s.addMaterial(plain(kWarm, 1.0, 0, 1));
    const int cool = s.addMaterial(plain({0.75, 0.85, 1.0}, 0.8, 0, 1));
    for (size_t i = 0; i < windows.size(); i++) {
      const double r = noise(static_cast<int>(i), f);
      if (r < 0.3) continue;
      window(&s, windows[i], r < 0.45 ? cool : lit);
    }
  });
  // The sign on the lane's pointed wall turning round: one face in the
  // flag's colours, the other gold.
  ok = ok && writeSprite(rs, dir + "sign.gsp", 12, [&](int f, int n, Frame* fr) {
    Scene& s = fr->scene();
    const int mast = s.addMaterial(plain({0.7, 0.7, 0.7}, 0, 0.6, 30));
    const int gold = s.addMaterial(plain({0.95, 0.75, 0.2}, 0.2, 0.8, 40));
    const Rgb st[3] = {{0.95, 0.95, 0.95}, {0.12, 0.28, 0.75}, {0.85, 0.12, 0.1}};
    const P3 c{P.bdPeak.x, P.bdPeak.y, P.bdPeakZ};
    addCylinder(&s, {c.x, c.y}, 0.6, c.z, c.z + 12, 6, mast, mast);
    const double a = 2 * M_PI * f / n;
    const P3 u{5 * std::cos(a), 5 * std::sin(a), 0}, nrm{-std::sin(a) * 0.35, std::cos(a) * 0.35, 0};
    for (int i = 0; i < 3; i++) {
      const double z0 = c.z + 18 - 2 * i, z1 = z0 - 2;
      const int m = s.addMaterial(plain(st[i], 0.25, 0.3, 20));
      s.quad(P3{c.x, c.y, z0} - u + nrm, P3{c.x, c.y, z0} + u + nrm, P3{c.x, c.y, z1} + u + nrm,
             P3{c.x, c.y, z1} - u + nrm, m);
    }
    s.quad(P3{c.x, c.y, c.z + 18} - u - nrm, P3{c.x, c.y, c.z + 18} + u - nrm, P3{c.x, c.y, c.z + 12} + u - nrm,
           P3{c.x, c.y, c.z + 12} - u - nrm, gold);
  });
  // A short circuit: sparks bursting out of the building and falling.
  ok = ok && writeSprite(rs, dir + "sparks.gsp", 8, [&](int f, int n, Frame* fr) {
    const P3 at{cx, (P.bdY0 + P.bdY1) / 2, 2};
    const double t = (f + 0.5) / n;
    fr->glow(at, 16 * (1 - t) + 3, 12 * (1 - t) + 2, {1.0, 0.9, 0.6}, 0.7 * (1 - t));
    for (int k = 0; k < 14; k++) {
      const double ang = 2 * M_PI * noise(k, 5), speed = 8 + 14 * noise(k, 9);
      // Sparks that come down lie glowing on the floor.
      const double z = std::max(0.3, (10 + 10 * noise(k, 11)) * t - 22 * t * t);
      const P3 p = at + P3{std::cos(ang) * speed * t, std::sin(ang) * speed * t, z - at.z};
      fr->glow(p, 2.6, 2.6, k % 3 ? Rgb{1.0, 0.85, 0.3} : Rgb{1.0, 1.0, 0.9}, 1.0 - 0.6 * t);
    }
  });
  // The windows flashing red after each burst.
  ok = ok && writeSprite(rs, dir + "flicker.gsp", 4, [&](int f, int, Frame* fr) {
    Scene& s = fr->scene(f % 2 ? 0.55 : 1.0);
    const int m = s.addMaterial(plain({1.0, 0.25, 0.15}, f % 2 ? 0.4 : 1.1, 0, 1));
    for (size_t i = 0; i < windows.size(); i++)
      if ((i + f) % 3 != 0) window(&s, windows[i], m);
  });
  return ok;
}

bool gpSprites(const RenderState& rs, const Places& P, const std::string& dir) {
  const double g = P.gasGround, top = g + 54;
  const P3 tip{P.stack.x, P.stack.y, top + 1};
  // The burner stack with its red warning lamp, dark and lit.
  bool ok = writeSprite(rs, dir + "beacon.gsp", 2, [&](int f, int, Frame* fr) {
    Scene& s = fr->scene();
    const int metal = s.addMaterial(plain({0.4, 0.4, 0.42}, 0, 0.6, 30));
    const int band = s.addMaterial(plain({0.8, 0.15, 0.1}, 0, 0.3, 20));
    addCone(&s, P.stack, 4.2, 3.2, g, top, 12, metal, metal);
    addCylinder(&s, P.stack, 4.4, top - 14, top - 10, 12, band, band);
    addCylinder(&s, P.stack, 4.4, g + 18, g + 22, 12, band, band);
    const P3 lampAt{P.stack.x + 4.4, P.stack.y + 1, top - 6};
    const int lamp = s.addMaterial(plain(f ? kRed : Rgb{0.35, 0.05, 0.04}, f ? 1.3 : 0.1, 0.5, 30));
    addSphere(&s, lampAt, 1.3, 8, lamp, false);
    if (f) fr->glow(lampAt, 8, 7, kRed, 0.55);
  });
  // The pilot light: a small blue flame at the top of the stack.
  ok = ok && writeSprite(rs, dir + "pilot.gsp", 4, [&](int f, int, Frame* fr) {
    addFlame(fr, tip, 0.35, f, 3, {0.2, 0.35, 1.0}, {0.75, 0.85, 1.0});
  });
  // The flare burning.
  ok = ok && writeSprite(rs, dir + "flare.gsp", 8, [&](int f, int, Frame* fr) {
    fr->glow(tip + P3{0, 0, 12}, 26, 30, {1.0, 0.55, 0.15}, 0.25);
    addFlame(fr, tip, 1.5, f, 5, {0.95, 0.22, 0.02}, {1.0, 0.85, 0.3});
  });
  // Fire: the flare roaring and the stack's foot burning.
  ok = ok && writeSprite(rs, dir + "fire.gsp", 10, [&](int f, int, Frame* fr) {
    fr->glow(tip + P3{0, 0, 14}, 34, 38, {1.0, 0.4, 0.1}, 0.3);
    addFlame(fr, tip, 2.2, f, 7, {0.95, 0.25, 0.05}, {1.0, 0.9, 0.5});
    for (int k = 0; k < 3; k++) {
      const double a = 2 * M_PI * k / 3 + 0.4;
      const P3 foot{P.stack.x + 7 * std::cos(a), P.stack.y + 7 * std::sin(a), g};
      addFlame(fr, foot, 0.6, (f + 3 * k) % 10, 11 + k, {0.95, 0.3, 0.05}, {1.0, 0.85, 0.4});
    }
  });
  // Black smoke from the fire.
  ok = ok && writeSprite(rs, dir + "smoke.gsp", 12, [&](int f, int n, Frame* fr) {
    addSmoke(fr, tip + P3{0, 0, 30}, 50, 14, f, n, 4, {0.1, 0.1, 0.11}, 4);
  });
  return ok;
}

// ---- The scripts ----

struct Script {
  const char* file;
  const char* text;
};

// Sprite names are relative to the "dir" setting; the game runs the scripts
// from tiny/. Each track drives one object on the feature's layer.
constexpr Script kScripts[] = {
    {"duma-@.gnm",
     "# The Duma, always: the turret clock on the roof; its hand goes round\n"
     "# once a minute.\n"
     "set dir=duma\n"
     "track clock: set delay=5000; play clock,0,11; loop\n"},
    {"duma-0.gnm",
     "# The Duma off: the shutters come down over the front and stay down.\n"
     "set dir=duma\n"
     "track shutter: set delay=160; play shutter,0,5; stop\n"},
    {"duma-1.gnm",
     "# The Duma in session: the flags on the roof wave.\n"
     "set dir=duma, delay=110\n"
     "track flags: play flag; loop\n"},
    {"duma-2.gnm",
     "# The Duma in crisis: smoke from the roof, the alarm lamps flashing in\n"
     "# bursts of three.\n"
     "set dir=duma\n"
     "track smoke: set delay=120; play smoke; loop\n"
     "track alarm: set delay=90; play alarm,0,3; play alarm,0,3; play alarm,0,3; \\\n"
     "  noframe; sleep 600; loop\n"},
    {"zona-@.gnm",
     "# The prison, always: a guard's lamp going round the ring.\n"
     "set dir=zona\n"
     "track patrol: set delay=220; play patrol; loop\n"},
    {"zona-0.gnm",
     "# The prison off: the pit's dim light breathing.\n"
     "set dir=zona, delay=260\n"
     "track dim: play dim,0,5; play dim,4,1; loop\n"},
    {"zona-1.gnm",
     "# The prison on: two searchlights sweeping across the pit and back.\n"
     "set dir=zona, delay=140\n"
     "track beam: play beam,0,11; play beam,10,1; loop\n"},
    {"zona-2.gnm",
     "# The prison in crisis: the sirens flash red and blue.\n"
     "set dir=zona\n"
     "track siren: set delay=150; play siren; loop\n"},
    {"bd-@.gnm",
     "# The White House, always: the flag over its lane.\n"
     "set dir=bd\n"
     "track flag: set delay=120; play flag; loop\n"},
    {"bd-0.gnm",
     "# The White House off: only the watchman's window, now and then brighter.\n"
     "set dir=bd\n"
     "track watch: set delay=1500; play window,0,0; play window,1,1; loop\n"},
    {"bd-1.gnm",
     "# The White House at work: lit windows and the turning sign.\n"
     "set dir=bd\n"
     "track windows: set delay=900; play windows; loop\n"
     "track sign: set delay=100; play sign; loop\n"},
    {"bd-2.gnm",
     "# The White House in crisis: sparks burst out, and after each burst the\n"
     "# windows flash red.\n"
     "set dir=bd, delay=70\n"
     "track sparks: play sparks; noframe; mark burst; sleep 700; loop\n"
     "track flicker: waitmark burst; set delay=110; play flicker,0,3; play flicker,0,3; \\\n"
     "  noframe; loop\n"},
    {"gp-@.gnm",
     "# The gas company, always: the burner stack's warning lamp blinking.\n"
     "set dir=gp, delay=700\n"
     "track beacon: play beacon,1,1; play beacon,0,0; loop\n"},
    {"gp-0.gnm",
     "# The gas company off: the pilot light.\n"
     "set dir=gp\n"
     "track pilot: set delay=130; play pilot; loop\n"},
    {"gp-1.gnm",
     "# The gas company on: the flare burning.\n"
     "set dir=gp\n"
     "track flare: set delay=80; play flare; loop\n"},
    {"gp-2.gnm",
     "# The gas company in crisis: fire and black smoke.\n"
     "set dir=gp\n"
     "track fire: set delay=70; play fire; loop\n"
     "track smoke: set delay=130; play smoke; loop\n"},
};

}  // namespace

bool writeGnms(const RenderState& rs, const std::string& gameDir) {
  Places places;
  if (!findPlaces(*rs.m, &places)) return false;
  const std::string tiny = gameDir + "/tiny/";
  if (!dumaSprites(rs, places, tiny + "duma/") || !zonaSprites(rs, places, tiny + "zona/") ||
      !bdSprites(rs, places, tiny + "bd/") || !gpSprites(rs, places, tiny + "gp/"))
    return false;
  for (const Script& s : kScripts)
    if (!writeTextFile(tiny + s.file, s.text)) {
      std::fprintf(stderr, "pbtable: can't write '%s%s'\n", tiny.c_str(), s.file);
      return false;
    }
  return true;
}

}  // namespace tbl
