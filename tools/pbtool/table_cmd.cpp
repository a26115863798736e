// pbtool table preview GAMEDIR OUT.png: the compiled table as the game will
// see it, for checking a table design. Over the regime-0 background
// (data-comm/table-i.img) every outline of every layer's shape file is drawn
// through the game's perspective view (conf/global.conf) at the height of its
// layer (the layer's height map), coloured by the family its section names,
// and labelled with the section name; every track of conf/track.conf is drawn
// as a line through its points. Directional objects (gates, portals, spring
// doors, spinners) show their axis with an arrow head, which tells their left
// side from their right.
//
// Prints "layer N SHAPES" for each shape file and "track NAME POINTS" for
// each track drawn.
#include <ft2build.h>
#include <unistd.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/conf.h"
#include "core/log.h"
#include "physics/geometry.h"
#include "physics/track.h"
#include "platform/gdev.h"
#include "pngio.h"

namespace {

constexpr const char* kFn = "pbtool table preview";
constexpr const char* kLabelFace = "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf";
constexpr int kLabelSize = 9;

struct Picture {
  int w = 0, h = 0;
  std::vector<uint8_t> rgba;
  void blend(int x, int y, uint32_t c, int a) {
    if (x < 0 || y < 0 || x >= w || y >= h || a <= 0) return;
    uint8_t* p = &rgba[(static_cast<size_t>(y) * w + x) * 4];
    const int r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
    p[0] = static_cast<uint8_t>((r * a + p[0] * (255 - a)) / 255);
    p[1] = static_cast<uint8_t>((g * a + p[1] * (255 - a)) / 255);
    p[2] = static_cast<uint8_t>((b * a + p[2] * (255 - a)) / 255);
  }
  // An anti-aliased line of about one pixel.
  void line(double x0, double y0, double x1, double y1, uint32_t c) {
    const double dx = x1 - x0, dy = y1 - y0, l = std::sqrt(dx * dx + dy * dy);
    const int steps = std::max(1, static_cast<int>(std::ceil(l * 2)));
    if (steps > 100000) return;
    for (int i = 0; i <= steps; i++) {
      const double x = x0 + dx * i / steps, y = y0 + dy * i / steps;
      const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
      const double fx = x - ix, fy = y - iy;
      blend(ix, iy, c, static_cast<int>(255 * (1 - fx) * (1 - fy) * 0.9));
      blend(ix + 1, iy, c, static_cast<int>(255 * fx * (1 - fy) * 0.9));
      blend(ix, iy + 1, c, static_cast<int>(255 * (1 - fx) * fy * 0.9));
      blend(ix + 1, iy + 1, c, static_cast<int>(255 * fx * fy * 0.9));
    }
  }
};

// Colours of the families, by name; unknown names get grey.
uint32_t familyColour(const char* family) {
  static const struct {
    const char* name;
    uint32_t colour;
  } kColours[] = {
      {"wall", 0xE0E0E0},     {"bumper", 0xFF4040},   {"triangle", 0xFF8040},  {"dropper", 0x40FFFF},
      {"spring", 0xC0C0FF},   {"saver", 0x80FF80},    {"spinner", 0xFFFF40},   {"accel", 0x40C0FF},
      {"accel2", 0x4080FF},   {"flipper", 0xFFC000},  {"cflipper", 0xFFE000},  {"gate", 0x40FF40},
      {"gate2", 0x20C020},    {"portal", 0xFF40FF},   {"blocker", 0xA0FFA0},   {"tunnel", 0x00FFA0},
      {"sprdoor", 0xA0A0FF},  {"mpoint", 0xFFA0FF},   {"mavz", 0xC08060},      {"zona", 0xFF6060},
      {"ostlift", 0x60C0FF},  {"button", 0xFFD080},   {"spiralbtn", 0xFFB060}, {"ostbtn", 0x80E0FF},
      {"zonabtn", 0xFF8080},  {"gasbtn", 0xC0FF40},   {"dumagate", 0x80FFFF},  {"kremgate", 0xFF80C0},
      {"hflap", 0xFFD700},    {"mflap", 0xD08040},    {"trilights", 0xFF3030},
  };
  if (family)
    for (const auto& c : kColours)
      if (std::strcmp(c.name, family) == 0) return c.colour;
  return 0x909090;
}

struct Labeller {
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  ~Labeller() {
    if (face) FT_Done_Face(face);
    if (lib) FT_Done_FreeType(lib);
  }
  bool load() {
    if (FT_Init_FreeType(&lib) || FT_New_Face(lib, kLabelFace, 0, &face)) return false;
    return FT_Set_Pixel_Sizes(face, 0, kLabelSize) == 0;
  }
  // Draws text centred at (x, y) with a dark rim so it reads on any picture.
  void draw(Picture* pic, double x, double y, const std::string& text, uint32_t colour) {
    int width = 0;
    for (unsigned char ch : text) {
      if (FT_Load_Char(face, ch, FT_LOAD_DEFAULT) == 0) width += static_cast<int>(face->glyph->advance.x >> 6);
    }
    const int baseline = static_cast<int>(y) + kLabelSize / 2 - 1;
    for (int pass = 0; pass < 2; pass++) {
      int pen = static_cast<int>(x) - width / 2;
      for (unsigned char ch : text) {
        if (FT_Load_Char(face, ch, FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot g = face->glyph;
        for (unsigned r = 0; r < g->bitmap.rows; r++)
          for (unsigned c = 0; c < g->bitmap.width; c++) {
            const int a = g->bitmap.buffer[r * g->bitmap.pitch + c];
            const int px = pen + g->bitmap_left + static_cast<int>(c), py = baseline - g->bitmap_top + static_cast<int>(r);
            if (pass == 0) {
              for (int oy = -1; oy <= 1; oy++)
                for (int ox = -1; ox <= 1; ox++) pic->blend(px + ox, py + oy, 0x000000, a * 2 / 3);
            } else {
              pic->blend(px, py, colour, a);
            }
          }
        pen += static_cast<int>(g->advance.x >> 6);
      }
    }
  }
};

// The text file, else its binary twin; -1 quietly when neither exists.
int readConfAny(ConfSet* set, const std::string& base) {
  if (access((base + ".conf").c_str(), F_OK) != 0 && access((base + ".bcf").c_str(), F_OK) != 0) return -1;
  if (CONF_READ(set, (base + ".conf").c_str()) >= 0) return 0;
  conf_free(set);
  *set = ConfSet{};
  return CONF_BINREAD(set, (base + ".bcf").c_str());
}

struct Projected {
  double x, y;
};

Projected toScreen(double x, double y, double z) { return {PERSP_X(x, y, z), PERSP_Y(y, z)}; }

}  // namespace

int cmdTablePreview(char** a) {
  const std::string game = a[0];
  ConfSet global{};
  if (readConfAny(&global, game + "/conf/global") < 0)
    return logError(1, "%s: can't read '%s/conf/global.conf'", kFn, game.c_str());
  PerspKeys view;
  perspReadKeys(&global, &view);
  conf_free(&global);

  const std::string bgPath = game + "/data-comm/table-i.img";
  GdevBitmap* bmp = gdevLoadBitmap(bgPath.c_str());
  if (!bmp) return logError(1, "%s: can't load the background '%s'", kFn, bgPath.c_str());
  Picture pic;
  pic.w = bmp->width;
  pic.h = bmp->height;
  pic.rgba.assign(static_cast<size_t>(pic.w) * pic.h * 4, 255);
  for (int y = 0; y < pic.h; y++)
    for (int x = 0; x < pic.w; x++) {
      const uint8_t* s = bmp->pixels + static_cast<size_t>(y) * bmp->bytesPerLine +
                         static_cast<size_t>(x) * (bmp->bitsPerPixel / 8);
      uint8_t* d = &pic.rgba[(static_cast<size_t>(y) * pic.w + x) * 4];
      if (bmp->bitsPerPixel == 24) {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
      } else {
        const GdevColor& c = bmp->palette[s[0]];
        d[0] = c.red;
        d[1] = c.green;
        d[2] = c.blue;
      }
      // Dim the picture so that the lines stand out.
      for (int c = 0; c < 3; c++) d[c] = static_cast<uint8_t>(d[c] * 3 / 5);
    }
  gdevFreeBitmap(bmp);

  // The layer height maps place each layer's outlines at its height; the
  // view is set up over the maps' size, as the game does.
  ZBUF maps[TABLE_LAYERS] = {};
  int mapW = 800, mapH = 600;
  for (int n = 0; n < TABLE_LAYERS; n++) {
    char path[64];
    std::snprintf(path, sizeof path, "/temp/table-%dtz.dat", n);
    if (ZBUF_READ((game + path).c_str(), &maps[n]) < 0) break;
    if (n == 0) {
      mapW = maps[0].width;
      mapH = maps[0].height;
    }
  }
  PERSP_SETUP(mapW, mapH, view.fovx, view.fovy, view.angle, view.dist);
  auto height = [&](int layer, double x, double y) {
    const ZBUF& z = maps[layer];
    const int ix = static_cast<int>(x), iy = static_cast<int>(y);
    if (!z.codes || ix < 0 || iy < 0 || ix >= z.width || iy >= z.height) return 0.0;
    return z.codes[static_cast<size_t>(iy) * z.width + ix] * 0.000015259022 * (z.zmax - z.zmin) + z.zmin;
  };

  Labeller labels;
  if (!labels.load()) return logError(1, "%s: can't load the label font '%s'", kFn, kLabelFace);

  int rc = 0;
  struct Label {
    double x, y;
    std::string text;
    uint32_t colour;
  };
  std::vector<Label> pending;
  for (int n = 0; n < SHAPE_FILES; n++) {
    ConfSet objects{};
    char base[64];
    std::snprintf(base, sizeof base, "/table/objects-%d", n);
    if (readConfAny(&objects, game + base) < 0) {
      conf_free(&objects);
      break;  // as the game: no configuration, no further layers
    }
    char shapesPath[64];
    std::snprintf(shapesPath, sizeof shapesPath, "/temp/#shapes-%d.dat", n);
    std::vector<uint8_t> image;
    std::vector<uint32_t> offsets;
    if (shReadFileImage((game + shapesPath).c_str(), kFn, &image) < 0 ||
        shReadIndex(image, shapesPath, &offsets) < 0) {
      conf_free(&objects);
      rc = 1;
      continue;
    }
    const int layer = n < TABLE_LAYERS ? n : 0;
    for (size_t j = 0; j < offsets.size(); j++) {
      Outline o;
      if (shParseRecord(&o, image, offsets[j]) < 0) {
        rc = logError(1, "%s: error reading shape %d.%d", kFn, n, static_cast<int>(j));
        continue;
      }
      int sx, sy;
      shSectionOf(&o, &sx, &sy);
      char section[64], key[96];
      std::snprintf(section, sizeof section, "object_%d_%d", sx, sy);
      std::snprintf(key, sizeof key, "%s.family", section);
      const char* family = conf_getstr(&objects, key, nullptr);
      const uint32_t colour = familyColour(family ? family : "wall");
      double cx = 0, cy = 0;
      for (int i = 0; i < o.n; i++) {
        const Vec3 a0 = o.vertices[i], a1 = o.vertices[(i + 1) % o.n];
        const double x0 = o.pos.x + a0.x, y0 = o.pos.y + a0.y, x1 = o.pos.x + a1.x, y1 = o.pos.y + a1.y;
        const Projected p0 = toScreen(x0, y0, height(layer, x0, y0)), p1 = toScreen(x1, y1, height(layer, x1, y1));
        pic.line(p0.x, p0.y, p1.x, p1.y, colour);
        cx += x0;
        cy += y0;
      }
      if (o.n > 0) {
        cx /= o.n;
        cy /= o.n;
      }
      // Directional objects: the axis from the position to the farthest vertex.
      if (family && (std::strcmp(family, "gate") == 0 || std::strcmp(family, "gate2") == 0 ||
                     std::strcmp(family, "portal") == 0 || std::strcmp(family, "sprdoor") == 0 ||
                     std::strcmp(family, "spinner") == 0)) {
        double best = -1, ax = 0, ay = 0;
        for (int i = 0; i < o.n; i++) {
          const double d = o.vertices[i].x * o.vertices[i].x + o.vertices[i].y * o.vertices[i].y;
          if (d > best) {
            best = d;
            ax = o.vertices[i].x;
            ay = o.vertices[i].y;
          }
        }
        const double hx = o.pos.x + ax, hy = o.pos.y + ay, l = std::sqrt(best);
        if (l > 0) {
          const double ux = ax / l, uy = ay / l;
          const Projected t = toScreen(hx, hy, height(layer, hx, hy));
          const Projected b0 = toScreen(hx - ux * 5 - uy * 3, hy - uy * 5 + ux * 3, height(layer, hx, hy));
          const Projected b1 = toScreen(hx - ux * 5 + uy * 3, hy - uy * 5 - ux * 3, height(layer, hx, hy));
          pic.line(b0.x, b0.y, t.x, t.y, 0xFFFFFF);
          pic.line(b1.x, b1.y, t.x, t.y, 0xFFFFFF);
        }
      }
      const Projected c = toScreen(cx, cy, height(layer, cx, cy));
      if (!family || std::strcmp(family, "wall") != 0)
        pending.push_back({c.x, c.y, std::string(section) + (n ? " L" + std::to_string(n) : ""), colour});
      shFree(&o);
    }
    std::printf("layer\t%d\t%d\n", n, static_cast<int>(offsets.size()));
    conf_free(&objects);
  }

  ConfSet tracks{};
  if (readConfAny(&tracks, game + "/conf/track") >= 0) {
    for (const char* s = conf_firstsection(&tracks, nullptr); s; s = conf_nextsection(&tracks)) {
      const std::string name = s;
      const char* file = conf_getstr(&tracks, (name + ".filename").c_str(), nullptr);
      Track t{};
      if (!file || !trackLoad((game + "/" + file).c_str(), &t)) {
        rc = logError(1, "%s: can't load track '%s'", kFn, name.c_str());
        continue;
      }
      for (int i = 0; i + 1 < t.count; i++) {
        const TrackVec p = t.points[i], q = t.points[i + 1];
        const Projected a0 = toScreen(p.x, p.y, p.z), a1 = toScreen(q.x, q.y, q.z);
        pic.line(a0.x, a0.y, a1.x, a1.y, 0x40E0FF);
      }
      const TrackVec m = t.points[t.count / 2];
      const Projected lp = toScreen(m.x, m.y, m.z);
      pending.push_back({lp.x, lp.y - 7, "track-" + name, 0x80F0FF});
      std::printf("track\t%s\t%d\n", name.c_str(), t.count);
      trackFree(&t);
    }
  }
  conf_free(&tracks);
  for (const Label& l : pending) labels.draw(&pic, l.x, l.y, l.text, l.colour);
  for (ZBUF& z : maps) zbufFree(&z);
  if (!pngWriteRGBA(a[1], pic.w, pic.h, pic.rgba.data()))
    return logError(1, "%s: can't write '%s'", kFn, a[1]);
  return rc;
}
