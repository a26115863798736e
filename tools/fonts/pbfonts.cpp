// pbfonts GAMEDIR: renders the game's bitmap fonts into GAMEDIR/titles/fonts/
// from the free DejaVu typefaces with FreeType:
//   dotmatrix.fnp    the title display's lettering: each glyph rendered small
//                    and every lit cell drawn as a round amber dot, like the
//                    lamps of a dot-matrix display;
//   dotsmall.fnp     the same letters on a finer grid of smaller dots, for
//                    the display's detail lines under a headline;
//   mach18xgold.fnp  the menu's font: 18-pixel condensed bold letters in a
//                    gold gradient with a dark outline;
//   plain16.fnp      intro and credits texts: 16-pixel light letters with a
//                    soft drop shadow, readable over any picture.
// Every font maps the same Windows-1251 codes: printable ASCII, the Russian
// alphabet with Ё and ё, and the typographic marks a Russian text uses.
// Glyph frame 0 is the space, and every glyph is one line high, so the
// font's line height (the height of frame 0) is the height of every glyph.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/text.h"
#include "gfx/font.h"

namespace {

constexpr const char* kFontDir = "/usr/share/fonts/truetype/dejavu/";

// The Windows-1251 codes every font maps, space first.
std::vector<uint8_t> charset() {
  std::vector<uint8_t> codes;
  for (int c = 0x20; c <= 0x7E; c++) codes.push_back(static_cast<uint8_t>(c));
  for (int c = 0xC0; c <= 0xFF; c++) codes.push_back(static_cast<uint8_t>(c));
  // Ё ё « » № – — „ “ ” … °
  for (int c : {0xA8, 0xB8, 0xAB, 0xBB, 0xB9, 0x96, 0x97, 0x84, 0x93, 0x94, 0x85, 0xB0})
    codes.push_back(static_cast<uint8_t>(c));
  return codes;
}

// The Unicode code point of a Windows-1251 code.
uint32_t unicodeOf(uint8_t code) {
  const char c = static_cast<char>(code);
  const std::string u = cp1251ToUtf8(std::string_view(&c, 1));
  const auto* b = reinterpret_cast<const uint8_t*>(u.data());
  if (u.size() == 1) return b[0];
  if (u.size() == 2) return ((b[0] & 0x1Fu) << 6) | (b[1] & 0x3Fu);
  if (u.size() == 3) return ((b[0] & 0x0Fu) << 12) | ((b[1] & 0x3Fu) << 6) | (b[2] & 0x3Fu);
  return '?';
}

// A glyph as FreeType drew it: coverage 0..1 on a canvas one line high and
// one advance wide, the baseline at row `ascent`.
struct Coverage {
  int w = 0, h = 0;
  std::vector<float> v;
  float at(int x, int y) const {
    return x < 0 || y < 0 || x >= w || y >= h ? 0.0f : v[static_cast<size_t>(y) * w + x];
  }
};

// A glyph picture, RGBA.
struct Picture {
  int w = 0, h = 0;
  std::vector<uint8_t> rgba;
  Picture(int width, int height) : w(width), h(height), rgba(static_cast<size_t>(width) * height * 4, 0) {}
  void put(int x, int y, double r, double g, double b, double a) {
    if (x < 0 || y < 0 || x >= w || y >= h || a <= 0) return;
    uint8_t* p = &rgba[(static_cast<size_t>(y) * w + x) * 4];
    auto c8 = [](double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
    const uint8_t alpha = c8(a);
    if (alpha < 6) return;  // faint fringes only add runs
    p[0] = c8(r);
    p[1] = c8(g);
    p[2] = c8(b);
    p[3] = alpha;
  }
};

struct Face {
  FT_Face face = nullptr;
  bool mono = false;
  int ascent = 0, descent = 0;  // rows above and below the baseline, over the charset
};

// Loads and renders one character; false when the face has no glyph for it.
bool render(const Face& f, uint32_t cp) {
  const FT_UInt index = FT_Get_Char_Index(f.face, cp);
  if (index == 0) return false;
  const FT_Int32 flags = FT_LOAD_RENDER | (f.mono ? FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME : FT_LOAD_TARGET_NORMAL);
  return FT_Load_Glyph(f.face, index, flags) == 0;
}

// The coverage canvas of a character: one advance plus `extra` columns wide,
// with `padX` more columns at each side, and one line high with `padY` more
// rows at top and bottom.
Coverage coverage(const Face& f, uint32_t cp, int padX, int padY, int extra) {
  Coverage c;
  if (!render(f, cp)) return c;
  const FT_GlyphSlot g = f.face->glyph;
  const int advance = static_cast<int>((g->advance.x + 32) >> 6);
  c.w = advance + extra + 2 * padX;
  c.h = f.ascent + f.descent + 2 * padY;
  c.v.assign(static_cast<size_t>(c.w) * c.h, 0.0f);
  const FT_Bitmap& bm = g->bitmap;
  for (unsigned row = 0; row < bm.rows; row++) {
    for (unsigned col = 0; col < bm.width; col++) {
      const uint8_t* line = bm.buffer + static_cast<ptrdiff_t>(row) * bm.pitch;
      float v;
      if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
        v = (line[col >> 3] >> (7 - (col & 7))) & 1 ? 1.0f : 0.0f;
      else
        v = static_cast<float>(line[col]) / 255.0f;
      const int x = padX + g->bitmap_left + static_cast<int>(col);
      const int y = padY + f.ascent - g->bitmap_top + static_cast<int>(row);
      if (x >= 0 && y >= 0 && x < c.w && y < c.h) c.v[static_cast<size_t>(y) * c.w + x] = v;
    }
  }
  return c;
}

// ---- Styles: coverage in, glyph picture out ----

// Dot matrix: every cell at least half covered becomes a round dot of
// Size pixels on a Pitch grid, a hot centre fading to amber. The dot leaves
// at least the last row and column of its cell dark, so the grid shows.
template <int Pitch, int SizeTenths>
Picture styleDots(const Coverage& c, const Face&) {
  constexpr double kDotSize = SizeTenths / 10.0;
  static_assert(kDotSize <= Pitch - 1, "a dot must leave a gap to the next cell");
  Picture p(c.w * Pitch, c.h * Pitch);
  constexpr int kSub = 4;
  for (int cy = 0; cy < c.h; cy++) {
    for (int cx = 0; cx < c.w; cx++) {
      if (c.at(cx, cy) < 0.5f) continue;
      const double ox = cx * Pitch + kDotSize / 2, oy = cy * Pitch + kDotSize / 2;
      for (int y = cy * Pitch; y < cy * Pitch + Pitch; y++) {
        for (int x = cx * Pitch; x < cx * Pitch + Pitch; x++) {
          int inside = 0;
          double heat = 0;
          for (int sy = 0; sy < kSub; sy++) {
            for (int sx = 0; sx < kSub; sx++) {
              const double dx = x + (sx + 0.5) / kSub - ox, dy = y + (sy + 0.5) / kSub - oy;
              const double r = std::sqrt(dx * dx + dy * dy) / (kDotSize / 2);
              if (r >= 1) continue;
              inside++;
              heat += 1 - r;
            }
          }
          if (!inside) continue;
          const double t = heat / inside;  // 0 at the rim, 1 in the middle
          p.put(x, y, 1.0, 0.55 + 0.40 * t, 0.12 + 0.45 * t, static_cast<double>(inside) / (kSub * kSub));
        }
      }
    }
  }
  return p;
}

// Gold: a vertical gradient from pale gold at the cap line through a bright
// band below the middle to deep amber at the baseline, over a dark outline
// grown kGoldPad - 0.5 pixels around the letter.
constexpr int kGoldPad = 2;

struct Rgb {
  double r, g, b;
};

Rgb goldAt(double t) {
  struct Stop {
    double t;
    Rgb c;
  };
  static constexpr Stop kStops[] = {
      {0.00, {1.00, 0.97, 0.78}}, {0.35, {0.98, 0.84, 0.35}}, {0.50, {0.84, 0.58, 0.12}},
      {0.58, {0.96, 0.78, 0.26}}, {1.00, {0.55, 0.31, 0.04}}, {1.40, {0.42, 0.23, 0.02}},
  };
  for (size_t i = 1; i < std::size(kStops); i++) {
    if (t <= kStops[i].t) {
      const Stop &a = kStops[i - 1], &z = kStops[i];
      const double u = std::max(0.0, (t - a.t) / (z.t - a.t));
      return {a.c.r + (z.c.r - a.c.r) * u, a.c.g + (z.c.g - a.c.g) * u, a.c.b + (z.c.b - a.c.b) * u};
    }
  }
  return kStops[std::size(kStops) - 1].c;
}

Picture styleGold(const Coverage& c, const Face& f) {
  Picture p(c.w, c.h);
  // Cap height of the face, for the gradient: 'H' stands from the baseline.
  const double capTop = kGoldPad + f.ascent - f.face->size->metrics.y_ppem * 0.73;
  const double baseline = kGoldPad + f.ascent;
  const double grow = kGoldPad - 0.5;
  for (int y = 0; y < c.h; y++) {
    for (int x = 0; x < c.w; x++) {
      float outline = 0;
      for (int dy = -kGoldPad; dy <= kGoldPad; dy++)
        for (int dx = -kGoldPad; dx <= kGoldPad; dx++)
          if (dx * dx + dy * dy <= grow * grow + 0.5) outline = std::max(outline, c.at(x + dx, y + dy));
      const double g = c.at(x, y);
      if (outline <= 0) continue;
      const Rgb gold = goldAt((y + 0.5 - capTop) / (baseline - capTop));
      const Rgb edge{0.16, 0.08, 0.0};
      const double o = outline * (1 - g), a = g + o;
      p.put(x, y, (gold.r * g + edge.r * o) / a, (gold.g * g + edge.g * o) / a, (gold.b * g + edge.b * o) / a, a);
    }
  }
  return p;
}

// Plain: light grey letters over a soft shadow one pixel down and right.
Picture stylePlain(const Coverage& c, const Face&) {
  Picture p(c.w, c.h);
  for (int y = 0; y < c.h; y++) {
    for (int x = 0; x < c.w; x++) {
      const double g = c.at(x, y);
      const double s = 0.7 * c.at(x - 1, y - 1);
      const double a = g + s * (1 - g);
      if (a <= 0) continue;
      const double v = 0.93 * g / a;  // the shadow is black
      p.put(x, y, v, v, v * 0.97, a);
    }
  }
  return p;
}

struct Recipe {
  const char* name;  // titles/fonts/<name>.fnp
  const char* ttf;
  int pixelSize;
  bool mono;  // FreeType renders whole pixels (the dot font's cells)
  int padX, padY;  // empty columns and rows around each glyph's coverage
  int extra;       // columns added to the typeface's advance
  Picture (*style)(const Coverage&, const Face&);
};

constexpr Recipe kRecipes[] = {
    // Strokes one dot wide, and a dot's room between letters.
    {"dotmatrix", "DejaVuSans.ttf", 11, true, 0, 0, 1, styleDots<4, 30>},
    // The same cells at a 3-pixel pitch: three quarters of the size, so a
    // page holds a headline and two detail lines.
    {"dotsmall", "DejaVuSans.ttf", 11, true, 0, 0, 1, styleDots<3, 20>},
    // The outline may reach a pixel past the advance on either side.
    {"mach18xgold", "DejaVuSansCondensed-Bold.ttf", 18, false, 1, kGoldPad, 0, styleGold},
    {"plain16", "DejaVuSans.ttf", 16, false, 0, 0, 0, stylePlain},
};

bool makeFont(FT_Library lib, const Recipe& r, const std::string& dir) {
  const std::string ttf = std::string(kFontDir) + r.ttf;
  Face f;
  f.mono = r.mono;
  if (FT_New_Face(lib, ttf.c_str(), 0, &f.face) != 0) {
    std::fprintf(stderr, "pbfonts: can't open the typeface '%s'\n", ttf.c_str());
    return false;
  }
  FT_Set_Pixel_Sizes(f.face, 0, static_cast<FT_UInt>(r.pixelSize));
  const std::vector<uint8_t> codes = charset();
  // The line: from the highest top to the lowest bottom over the charset.
  for (uint8_t code : codes) {
    if (!render(f, unicodeOf(code))) {
      std::fprintf(stderr, "pbfonts: '%s' has no glyph for code %d (U+%04X)\n", r.ttf, code, unicodeOf(code));
      FT_Done_Face(f.face);
      return false;
    }
    const FT_GlyphSlot g = f.face->glyph;
    f.ascent = std::max(f.ascent, g->bitmap_top);
    f.descent = std::max(f.descent, static_cast<int>(g->bitmap.rows) - g->bitmap_top);
  }
  uint8_t map[FNT_MAP_SIZE];
  std::fill(std::begin(map), std::end(map), uint8_t{255});
  std::vector<Picture> pictures;
  for (uint8_t code : codes) {
    map[code] = static_cast<uint8_t>(pictures.size());
    pictures.push_back(r.style(coverage(f, unicodeOf(code), r.padX, r.padY, r.extra), f));
  }
  FT_Done_Face(f.face);
  std::vector<GspFrameImage> glyphs;
  for (const Picture& p : pictures) glyphs.push_back({p.w, p.h, p.rgba.data(), 0, 0});
  const std::string path = dir + "/" + r.name + ".fnp";
  if (fnpWrite(path.c_str(), GSP_CM_888_ALPHA, glyphs, map) < 0) {
    std::fprintf(stderr, "pbfonts: can't write '%s'\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::puts("usage: pbfonts GAMEDIR\n"
              "Renders the game's fonts (dotmatrix, dotsmall, mach18xgold, plain16) from the DejaVu\n"
              "typefaces into GAMEDIR/titles/fonts/*.fnp.");
    return 0;
  }
  if (argc != 2 || argv[1][0] == '\0' || argv[1][0] == '-') {
    std::fputs("usage: pbfonts GAMEDIR (see --help)\n", stderr);
    return 1;
  }
  const std::string titles = std::string(argv[1]) + "/titles", dir = titles + "/fonts";
  mkdir(argv[1], 0777);
  mkdir(titles.c_str(), 0777);
  mkdir(dir.c_str(), 0777);
  FT_Library lib;
  if (FT_Init_FreeType(&lib) != 0) {
    std::fputs("pbfonts: can't start FreeType\n", stderr);
    return 1;
  }
  bool ok = true;
  for (const Recipe& r : kRecipes) ok = ok && makeFont(lib, r, dir);
  FT_Done_FreeType(lib);
  if (!ok) return 1;
  std::printf("pbfonts: %d fonts written to %s\n", static_cast<int>(std::size(kRecipes)), dir.c_str());
  return 0;
}
