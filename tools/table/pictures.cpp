// Rendering the table's pictures and sprites.
#include "table/pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "anim/lights.h"
#include "gfx/gspwrite.h"
#include "gfx/sprite.h"
#include "physics/geometry.h"
#include "platform/gdev.h"
#include "table/art.h"
#include "table/families.h"
#include "table/lampshape.h"
#include "table/outputs.h"

namespace tbl {

namespace {

// Bright light rolls off softly instead of clipping flat.
uint8_t toByte(double v) {
  if (v > 0.85) v = 0.85 + 0.15 * (1 - std::exp(-(v - 0.85) / 0.15));
  return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
}

// Averages the samples of each pixel into 8-bit RGB, rows top-down.
std::vector<uint8_t> resolvePixels(const Samples& s) {
  std::vector<uint8_t> out(static_cast<size_t>(s.w) * s.h * 3);
  const int W = s.w * s.ss;
  for (int y = 0; y < s.h; y++)
    for (int x = 0; x < s.w; x++) {
      double c[3] = {0, 0, 0};
      for (int j = 0; j < s.ss; j++)
        for (int i = 0; i < s.ss; i++) {
          const size_t k = static_cast<size_t>(y * s.ss + j) * W + (x * s.ss + i);
          for (int ch = 0; ch < 3; ch++) c[ch] += s.rgb[k * 3 + ch];
        }
      for (int ch = 0; ch < 3; ch++)
        out[(static_cast<size_t>(y) * s.w + x) * 3 + ch] = toByte(c[ch] / (s.ss * s.ss));
    }
  return out;
}

bool saveBmp(const std::string& path, int w, int h, const std::vector<uint8_t>& rgb) {
  GdevBitmap* bmp = gdevCreateBitmap(w, h, 24);
  if (!bmp) return false;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      const uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
      uint8_t* q = bmp->pixels + static_cast<size_t>(y) * bmp->bytesPerLine + x * 3;
      q[0] = p[2];
      q[1] = p[1];
      q[2] = p[0];
    }
  const bool ok = makeParents(path) && gdevSaveBitmap(path.c_str(), bmp);
  gdevFreeBitmap(bmp);
  if (!ok) std::fprintf(stderr, "pbtable: can't write '%s'\n", path.c_str());
  return ok;
}

// The picture behind the menu and the subgame transitions: the table, dimmed
// and cooled, with its edges darker still.
std::vector<uint8_t> dimmed(const std::vector<uint8_t>& rgb, int w, int h) {
  std::vector<uint8_t> out(rgb.size());
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      const double dx = (x - w / 2.0) / (w / 2.0), dy = (y - h / 2.0) / (h / 2.0);
      const double v = std::max(0.0, 1 - 0.45 * (dx * dx + dy * dy));
      const uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
      const double grey = (p[0] * 0.3 + p[1] * 0.59 + p[2] * 0.11);
      for (int c = 0; c < 3; c++) {
        const double mixed = p[c] * 0.55 + grey * 0.45;
        out[(static_cast<size_t>(y) * w + x) * 3 + c] =
            static_cast<uint8_t>(std::lround(std::clamp(mixed * 0.42 * v, 0.0, 255.0)));
      }
    }
  return out;
}

}  // namespace

bool writePictures(RenderState* rs, const std::string& gameDir) {
  const Model& m = *rs->m;
  rs->textures.resize(REGIMES);
  for (int r = 0; r < REGIMES; r++)
    if (!drawFloorArt(m, r, 2.0, &rs->textures[r])) return false;
  rs->looks.m = &m;
  buildStaticScene(m, &rs->looks, &rs->staticScene);
  rs->shadow.build({&rs->staticScene});
  std::vector<uint8_t> pics[REGIMES];
  for (int r = 0; r < REGIMES; r++) {
    RenderSettings set;
    set.regime = r;
    set.textures = &rs->textures;
    set.shadow = &rs->shadow;
    rs->background[r].reset(0, 0, SCREEN_W, SCREEN_H, SUPERSAMPLE);
    render(rs->staticScene, set, &rs->background[r]);
    pics[r] = resolvePixels(rs->background[r]);
    const std::string dir = gameDir + "/data-" + kRegimeNames[r] + "/";
    if (!saveBmp(dir + "table-i.img", SCREEN_W, SCREEN_H, pics[r])) return false;
    if (!saveBmp(dir + "table-i-vorsk.img", SCREEN_W, SCREEN_H, dimmed(pics[r], SCREEN_W, SCREEN_H))) return false;
  }
  if (!saveBmp(gameDir + "/table/table-0ti.bmp", SCREEN_W, SCREEN_H, pics[0])) return false;
  if (!saveBmp(gameDir + "/table/table-i-vorsk.bmp", SCREEN_W, SCREEN_H, dimmed(pics[0], SCREEN_W, SCREEN_H)))
    return false;

  // The planes are the same in every regime: the geometry does not change.
  const Samples& s = rs->background[0];
  const int W = s.w * s.ss;
  std::vector<uint16_t> depth(static_cast<size_t>(SCREEN_W) * SCREEN_H);
  std::vector<uint8_t> alpha(static_cast<size_t>(SCREEN_W) * SCREEN_H * 3);
  for (int y = 0; y < SCREEN_H; y++)
    for (int x = 0; x < SCREEN_W; x++) {
      float dmin = std::numeric_limits<float>::infinity();
      int see = 0;
      for (int j = 0; j < s.ss; j++)
        for (int i = 0; i < s.ss; i++) {
          const size_t k = static_cast<size_t>(y * s.ss + j) * W + (x * s.ss + i);
          dmin = std::min(dmin, s.depth[k]);
          see += s.covered[k] ? s.see[k] : 255;
        }
      // Nothing drawn there: nothing for a sprite to go behind.
      const double d = std::isfinite(dmin) ? std::clamp(std::floor(static_cast<double>(dmin)), 0.0, 65534.0) : 65535.0;
      depth[static_cast<size_t>(y) * SCREEN_W + x] = static_cast<uint16_t>(d);
      const int t = see / (s.ss * s.ss);
      // The engine reads the plane as 255 minus the red channel.
      for (int c = 0; c < 3; c++) alpha[(static_cast<size_t>(y) * SCREEN_W + x) * 3 + c] = static_cast<uint8_t>(255 - t);
    }
  if (!makeParents(gameDir + "/temp/table-z.dat") ||
      szbufWrite((gameDir + "/temp/table-z.dat").c_str(), depth.data(), SCREEN_W, SCREEN_H) < 0) {
    std::fprintf(stderr, "pbtable: can't write temp/table-z.dat\n");
    return false;
  }
  return saveBmp(gameDir + "/table/table-alpha.img", SCREEN_W, SCREEN_H, alpha);
}

// ---- Sprites ----

namespace {

struct Rect {
  int x0, y0, x1, y1;  // x1, y1 exclusive
  bool empty() const { return x1 <= x0 || y1 <= y0; }
};

Rect screenBounds(const Scene& s, double margin) {
  if (s.tris.empty()) return {0, 0, 0, 0};
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  for (const Tri& t : s.tris)
    for (const P3& v : t.v) {
      const Screen p = project(v);
      x0 = std::min(x0, p.x);
      y0 = std::min(y0, p.y);
      x1 = std::max(x1, p.x);
      y1 = std::max(y1, p.y);
    }
  // Clamped to the screen before the conversion: a part may reach far off it.
  auto clampX = [](double v) { return static_cast<int>(std::clamp(v, 0.0, static_cast<double>(SCREEN_W))); };
  auto clampY = [](double v) { return static_cast<int>(std::clamp(v, 0.0, static_cast<double>(SCREEN_H))); };
  return {clampX(std::floor(x0 - margin)), clampY(std::floor(y0 - margin)), clampX(std::ceil(x1 + margin)),
          clampY(std::ceil(y1 + margin))};
}

Rect unite(Rect a, Rect b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

struct Picture {
  Rect r{0, 0, 0, 0};
  std::vector<uint8_t> rgba;
  GspFrameImage image() const {
    if (r.empty()) return {0, 0, nullptr, 0, 0};
    return {r.x1 - r.x0, r.y1 - r.y0, rgba.data(), r.x0, r.y0};
  }
};

// What a glow around a lamp adds: colour and strength by distance.
struct Halo {
  P2 centre{0, 0};
  double inner = 0, outer = 0, strength = 0, z = 0;
  Rgb colour{0, 0, 0};
};

// Renders a scene of moving parts over the static table's samples: where the
// table is in front, the part shows only as much as the table lets the ball
// show (the transparency value); shadow: the part's shadow on the table is
// added as a dark, partly transparent area; halo: a soft glow on the table.
Picture composeSprite(RenderState* rs, const Scene& part, int regime, bool shadow, const Halo* halo,
                      double coreAlpha = 1.0) {
  Picture pic;
  Rect r = screenBounds(part, 2);
  if (halo) {
    Scene ring;
    const int mat = ring.addMaterial(Material{});
    addFlat(&ring, circlePoints(halo->centre, halo->outer, 16), halo->z, mat);
    r = unite(r, screenBounds(ring, 2));
  }
  Rect shadowRect{0, 0, 0, 0};
  ShadowMap sm;
  if (shadow && !part.tris.empty()) {
    // A small shadow map over the part alone.
    const P3 L = lightDirection();
    double u0 = 1e300, v0 = 1e300, u1 = -1e300, v1 = -1e300;
    Scene flat;
    const int mat = flat.addMaterial(Material{});
    for (const Tri& t : part.tris)
      for (const P3& v : t.v) {
        const double u = v.x - v.z * L.x / L.z, w = v.y - v.z * L.y / L.z;
        u0 = std::min(u0, u);
        v0 = std::min(v0, w);
        u1 = std::max(u1, u);
        v1 = std::max(v1, w);
      }
    sm.u0 = u0 - 4;
    sm.v0 = v0 - 4;
    sm.scale = 3;
    sm.w = static_cast<int>((u1 - u0 + 8) * sm.scale) + 1;
    sm.h = static_cast<int>((v1 - v0 + 8) * sm.scale) + 1;
    sm.build({&part});
    flat.tris.clear();
    addFlat(&flat, {{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}}, 0, mat);
    shadowRect = screenBounds(flat, 2);
    r = unite(r, shadowRect);
  }
  if (r.empty()) return pic;
  pic.r = r;
  const int w = r.x1 - r.x0, h = r.y1 - r.y0;
  pic.rgba.assign(static_cast<size_t>(w) * h * 4, 0);
  Samples s;
  s.reset(r.x0, r.y0, w, h, SUPERSAMPLE);
  RenderSettings set;
  set.regime = regime;
  set.textures = &rs->textures;
  set.shadow = &rs->shadow;
  render(part, set, &s);
  const Samples& bg = rs->background[regime];
  const int BW = bg.w * bg.ss, W = w * s.ss;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      double cr = 0, cg = 0, cb = 0, weight = 0;
      double darkWeight = 0;
      for (int j = 0; j < s.ss; j++)
        for (int i = 0; i < s.ss; i++) {
          const size_t k = static_cast<size_t>(y * s.ss + j) * W + (x * s.ss + i);
          const size_t b = static_cast<size_t>((r.y0 + y) * s.ss + j) * BW + ((r.x0 + x) * s.ss + i);
          if (s.covered[k]) {
            double wgt = coreAlpha;
            if (s.depth[k] > bg.depth[b] + 0.35f) wgt *= bg.covered[b] ? bg.see[b] / 255.0 : 1.0;
            cr += s.rgb[k * 3] * wgt;
            cg += s.rgb[k * 3 + 1] * wgt;
            cb += s.rgb[k * 3 + 2] * wgt;
            weight += wgt;
            continue;
          }
          const P3 p{bg.point[b * 3], bg.point[b * 3 + 1], bg.point[b * 3 + 2]};
          if (halo && bg.covered[b] && p.z < halo->z + 2.5) {
            const double d = len(P2{p.x, p.y} - halo->centre);
            if (d < halo->outer) {
              const double q = d <= halo->inner ? 1.0 : 1 - (d - halo->inner) / (halo->outer - halo->inner);
              const double a = halo->strength * q * q;
              cr += halo->colour.r * a;
              cg += halo->colour.g * a;
              cb += halo->colour.b * a;
              weight += a;
              continue;
            }
          }
          if (shadow && sm.w > 0 && bg.covered[b]) {
            // In the part's shadow when the part is above this point along the light.
            const P3 L = lightDirection();
            const double u = (p.x - p.z * L.x / L.z - sm.u0) * sm.scale, v = (p.y - p.z * L.y / L.z - sm.v0) * sm.scale;
            const int iu = static_cast<int>(u), iv = static_cast<int>(v);
            if (iu >= 0 && iv >= 0 && iu < sm.w && iv < sm.h && sm.top[static_cast<size_t>(iv) * sm.w + iu] > p.z + 0.8)
              darkWeight += 1;
          }
        }
      const double n = s.ss * s.ss;
      uint8_t* o = &pic.rgba[(static_cast<size_t>(y) * w + x) * 4];
      if (weight > 0) {
        const double a = std::min(1.0, weight / n);
        // Mix the shadow in as black where the part does not cover.
        const double sh = 0.38 * darkWeight / n;
        const double total = a + sh;
        o[0] = toByte(cr / weight * a / total);
        o[1] = toByte(cg / weight * a / total);
        o[2] = toByte(cb / weight * a / total);
        o[3] = static_cast<uint8_t>(std::lround(std::min(1.0, total) * 255));
      } else if (darkWeight > 0) {
        o[0] = o[1] = o[2] = 6;
        o[3] = static_cast<uint8_t>(std::lround(0.38 * darkWeight / n * 255));
      }
    }
  // Nearly invisible pixels only cost runs.
  for (size_t i = 0; i < pic.rgba.size(); i += 4)
    if (pic.rgba[i + 3] < 6) pic.rgba[i] = pic.rgba[i + 1] = pic.rgba[i + 2] = pic.rgba[i + 3] = 0;
  return pic;
}

bool writeGsp(const std::string& path, const std::vector<Picture>& frames) {
  std::vector<GspFrameImage> images;
  for (const Picture& p : frames) images.push_back(p.image());
  if (!makeParents(path) || gspWrite(path.c_str(), GSP_CM_888_ALPHA, images) < 0) {
    std::fprintf(stderr, "pbtable: can't write sprite '%s'\n", path.c_str());
    return false;
  }
  return true;
}

struct Anim {
  const char* part;
  int frames;
};

std::vector<Anim> animsOf(const std::string& family) {
  if (family == "bumper") return {{"", 5}};
  if (family == "triangle") return {{"", 4}};
  if (family == "spring") return {{"", 12}};
  if (family == "saver") return {{"", 6}};
  if (family == "spinner") return {{"", 16}};
  if (family == "cflipper") return {{"", 16}};
  if (family == "blocker") return {{"", 6}};
  if (family == "sprdoor") return {{"", 6}};
  if (family == "gasbtn") return {{"", 5}};
  if (family == "hflap" || family == "mflap") return {{"", 6}};
  if (family == "button" || family == "spiralbtn" || family == "ostbtn" || family == "zonabtn")
    return {{"heat", 4}, {"cool", 4}};
  if (family == "ostlift") return {{"up", 8}, {"down", 8}, {"drum", 31}};
  if (family == "zona")
    return {{"up1", 6},     {"up1back", 6}, {"up2", 4},       {"up2back", 4},   {"up3", 8},
            {"up3back", 8}, {"down1", 4},   {"down1back", 4}, {"down2", 6},     {"down2back", 6}};
  return {};
}

// The file an animation part goes to, from the object's sprite keys.
std::string partPath(const Object& o, const std::string& part) {
  const std::vector<KeyValue> keys = spriteKeyValues(o);
  if (o.family == "zona") {
    const bool back = part.size() > 4 && part.compare(part.size() - 4, 4, "back") == 0;
    const std::string anim = back ? part.substr(0, part.size() - 4) : part;
    for (const KeyValue& kv : keys)
      if (kv.key == anim + "_sprite") return kv.value.text + (back ? "back.gsp" : ".gsp");
    return "";
  }
  if (o.family == "ostlift") {
    for (const KeyValue& kv : keys)
      if (kv.key == "sprite_" + part) return kv.value.text;
    return "";
  }
  if (!part.empty()) {
    for (const KeyValue& kv : keys)
      if (kv.key == part + "_sprite") return kv.value.text;
    return "";
  }
  return keys.empty() ? "" : keys[0].value.text;
}

bool objectSprites(RenderState* rs, const std::string& gameDir) {
  const Model& m = *rs->m;
  for (const Object& o : m.objects) {
    if (!o.sprite) continue;
    for (const Anim& a : animsOf(o.family)) {
      std::vector<Picture> frames;
      for (int f = 0; f < a.frames; f++) {
        Scene s;
        buildObjectFrame(m, &rs->looks, o, a.part, f, a.frames, &s);
        const bool shadow = o.family != "zona" && o.family != "triangle";
        frames.push_back(composeSprite(rs, s, 0, shadow, nullptr));
      }
      const std::string path = partPath(o, a.part);
      if (path.empty() || !writeGsp(gameDir + "/" + path, frames)) return false;
    }
  }
  return true;
}

// ---- Lamps ----

Rgb scaleRgb(Rgb c, double k) { return {c.r * k, c.g * k, c.b * k}; }

// One lamp lit at `level` (0..1) in a regime: the insert glowing and a halo
// round it on the table.
Picture litLamp(RenderState* rs, const Lamp& l, int regime, double level) {
  const Model& m = *rs->m;
  const Rgb c = resolve(m, l.colour[regime], regime);
  Scene s;
  Material mat;
  for (int r = 0; r < REGIMES; r++) mat.colour[r] = scaleRgb(resolve(m, l.colour[r], r), 0.55 + 0.45 * level);
  mat.specular = 0.2;
  mat.emissive = 0.5 + 0.9 * level;
  const int mi = s.addMaterial(mat);
  const double z = m.layerBase[l.layer] + 0.05;
  addFlat(&s, lampShape(l), z, mi);
  Halo h;
  h.centre = l.at;
  const double size = std::max(l.a, l.b);
  h.inner = size * 0.55;
  h.outer = size * 1.2 + 3;
  h.strength = 0.18 + 0.32 * level;
  h.z = z;
  h.colour = {std::min(1.0, c.r * 1.3 + 0.1), std::min(1.0, c.g * 1.3 + 0.1), std::min(1.0, c.b * 1.3 + 0.1)};
  // A lit insert lets its printed label show through.
  return composeSprite(rs, s, regime, false, &h, l.label.empty() ? 0.95 : 0.72);
}

// The crane over a tube mouth or the plunger: frame 0 at rest, the others
// swinging its arm.
Picture crane(RenderState* rs, const Lamp& l, int frame, int frames) {
  Scene s;
  const int post = s.addMaterial(rs->looks.get("metal"));
  const int arm = s.addMaterial(rs->looks.paint("accent", 0.5, 30));
  const int hook = s.addMaterial(rs->looks.paint("lamp", 0.3, 10, frame == 0 ? 0.1 : 0.8));
  const P2 c = l.at;
  addCylinder(&s, c, 2.2, 0, 26, 10, post, post);
  const double swing = frame == 0 ? 0.0 : 40.0 * std::sin(2 * M_PI * frame / (frames - 1));
  const P2 d = rotate({l.a, 0}, l.angle + swing);
  const P3 top{c.x, c.y, 26}, end{c.x + d.x, c.y + d.y, 26};
  addBar(&s, top, end, 2.4, arm);
  addBar(&s, end, end + P3{0, 0, -9}, 0.7, post);
  addSphere(&s, end + P3{0, 0, -10.5}, 2.0, 10, hook, false);
  return composeSprite(rs, s, 0, true, nullptr);
}

Picture yearDigit(RenderState* rs, int position, int digit) {
  const Model& m = *rs->m;
  Scene s;
  Material mat;
  for (int r = 0; r < REGIMES; r++) mat.colour[r] = {1.0, 0.55, 0.12};
  mat.emissive = 1.2;
  const int mi = s.addMaterial(mat);
  for (const std::vector<P2>& seg : digitSegments(digit, yearDigitCentre(m, position), m.year.digitW, m.year.digitH))
    addFlat(&s, seg, 0.05, mi);
  return composeSprite(rs, s, 0, false, nullptr);
}

// Every lamp's sprite, drawn to the place the game's lamp builders load it
// from (the names come from the game configuration the game reads).
bool lampSprites(RenderState* rs, const std::string& gameDir, ConfSet* game) {
  const Model& m = *rs->m;
  bool ok = true;
  for (int light = 0; light < LI_LAST && ok; light++) {
    LightSprite ls;
    if (!lightSprite(light, &ls)) continue;
    char buf[260];
    lightSpriteName(&ls, game, buf, sizeof buf);
    const std::string name = buf;
    const Lamp& l = m.lamps[light];
    if (ls.kind == LIGHT_SPRITE_REGIME) {
      for (int r = 0; r < REGIMES && ok; r++) {
        const std::vector<Picture> frames = {litLamp(rs, l, r, 0.45), litLamp(rs, l, r, 1.0)};
        ok = writeGsp(gameDir + "/data-" + kRegimeNames[r] + "/" + name, frames);
      }
    } else if (ls.kind == LIGHT_SPRITE_DATA) {
      const std::vector<Picture> frames = {litLamp(rs, l, 0, 0.45), litLamp(rs, l, 0, 1.0)};
      ok = writeGsp(gameDir + "/data/" + name, frames);
    } else if (ls.kind == LIGHT_SPRITE_BAR) {
      // A bar is one sprite, frame i showing its lamp i: drawn at its first lamp.
      auto sameBar = [&](int other) {
        LightSprite o;
        return other >= 0 && other < LI_LAST && lightSprite(other, &o) && o.kind == LIGHT_SPRITE_BAR &&
               std::strcmp(o.key, ls.key) == 0;
      };
      if (sameBar(light - 1)) continue;
      for (int r = 0; r < REGIMES && ok; r++) {
        std::vector<Picture> frames;
        for (int i = light; sameBar(i); i++) frames.push_back(litLamp(rs, m.lamps[i], r, 1.0));
        ok = writeGsp(gameDir + "/data-" + kRegimeNames[r] + "/" + name, frames);
      }
    } else if (ls.kind == LIGHT_SPRITE_BUMPER) {
      std::vector<Picture> frames;
      for (int f = 0; f < 4; f++) frames.push_back(litLamp(rs, l, 0, 0.25 + 0.25 * f));
      ok = writeGsp(gameDir + "/" + name, frames);
    } else if (ls.kind == LIGHT_SPRITE_CRANE) {
      std::vector<Picture> frames;
      for (int f = 0; f < 8; f++) frames.push_back(crane(rs, l, f, 8));
      ok = writeGsp(gameDir + "/" + name, frames);
    }
  }
  if (!ok) return false;
  if (m.year.present) {
    for (int d = 0; d < 4; d++) {
      std::vector<Picture> frames;
      for (int digit = 0; digit < 10; digit++) frames.push_back(yearDigit(rs, d, digit));
      if (!writeGsp(gameDir + "/data/lamps/year" + std::to_string(d + 1) + ".gsp", frames)) return false;
    }
  }
  return true;
}

}  // namespace

bool writeSprites(RenderState* rs, const std::string& gameDir, ConfSet* game) {
  return objectSprites(rs, gameDir) && lampSprites(rs, gameDir, game);
}

}  // namespace tbl
