// pbtool sheet GAMEDIR OUT.png: one picture of a game folder's artwork. Every
// sprite (every .gsp below the folder, in path order) gets a labelled grid of
// all its frames over a checkerboard, so alpha shows; every font (every .fnp)
// gets its label and sample lines of its Russian and Latin letters, digits
// and marks. Labels are set in DejaVu Sans Mono with FreeType.
//
// Prints "sprite PATH FRAMES" and "font PATH GLYPHS" for each item drawn.
// A sprite or font that does not load is named in red on the sheet and in the
// error chain; the sheet is still written, and the command fails.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/log.h"
#include "core/text.h"
#include "gfx/font.h"
#include "gfx/gspwrite.h"
#include "gfx/sprite.h"
#include "pngio.h"

namespace {

constexpr const char* kLabelFace = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
constexpr int kWidth = 1280;
constexpr int kMargin = 12;
constexpr int kGap = 4;         // between frames of a grid
constexpr int kLabelSize = 13;  // pixels
constexpr int kLabelLine = 18;
constexpr uint32_t kBack = 0x202428, kLabel = 0xE8E4D8, kFail = 0xFF5050;

// The sheet: kWidth wide, growing downwards as items are added.
struct Canvas {
  int h = 0;
  std::vector<uint8_t> rgb;  // 3 bytes a pixel
  void grow(int rows) {
    const int from = h;
    h += rows;
    rgb.resize(static_cast<size_t>(kWidth) * h * 3);
    for (int y = from; y < h; y++)
      for (int x = 0; x < kWidth; x++) set(x, y, kBack);
  }
  void set(int x, int y, uint32_t c) {
    if (x < 0 || y < 0 || x >= kWidth || y >= h) return;
    uint8_t* p = &rgb[(static_cast<size_t>(y) * kWidth + x) * 3];
    p[0] = static_cast<uint8_t>(c >> 16);
    p[1] = static_cast<uint8_t>(c >> 8);
    p[2] = static_cast<uint8_t>(c);
  }
  // Blends an RGB colour over the pixel with alpha 0..255.
  void blend(int x, int y, int r, int g, int b, int a) {
    if (x < 0 || y < 0 || x >= kWidth || y >= h || a <= 0) return;
    uint8_t* p = &rgb[(static_cast<size_t>(y) * kWidth + x) * 3];
    p[0] = static_cast<uint8_t>((r * a + p[0] * (255 - a)) / 255);
    p[1] = static_cast<uint8_t>((g * a + p[1] * (255 - a)) / 255);
    p[2] = static_cast<uint8_t>((b * a + p[2] * (255 - a)) / 255);
  }
  void checker(int x0, int y0, int w, int h0) {
    for (int y = y0; y < y0 + h0; y++)
      for (int x = x0; x < x0 + w; x++) set(x, y, ((x - x0) / 4 + (y - y0) / 4) % 2 ? 0x4A4E54 : 0x3A3E44);
  }
};

struct Labels {
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  ~Labels() {
    if (face) FT_Done_Face(face);
    if (lib) FT_Done_FreeType(lib);
  }
  bool open() {
    if (FT_Init_FreeType(&lib) != 0 || FT_New_Face(lib, kLabelFace, 0, &face) != 0)
      return logError(false, "%s: can't open the label typeface '%s'", "pbtool sheet", kLabelFace);
    FT_Set_Pixel_Sizes(face, 0, kLabelSize);
    return true;
  }
  // Draws UTF-8 text with its baseline at y.
  void draw(Canvas* c, int x, int y, const std::string& text, uint32_t colour) {
    const std::string codes = utf8ToCp1251(text);
    for (unsigned char ch : codes) {
      const std::string one = cp1251ToUtf8(std::string_view(reinterpret_cast<const char*>(&ch), 1));
      uint32_t cp = static_cast<unsigned char>(one[0]);
      if (one.size() == 2) cp = ((cp & 0x1Fu) << 6) | (static_cast<unsigned char>(one[1]) & 0x3Fu);
      if (one.size() == 3)
        cp = ((cp & 0x0Fu) << 12) | ((static_cast<unsigned char>(one[1]) & 0x3Fu) << 6) |
             (static_cast<unsigned char>(one[2]) & 0x3Fu);
      if (FT_Load_Char(face, cp, FT_LOAD_RENDER) != 0) continue;
      const FT_GlyphSlot g = face->glyph;
      for (unsigned row = 0; row < g->bitmap.rows; row++)
        for (unsigned col = 0; col < g->bitmap.width; col++)
          c->blend(x + g->bitmap_left + static_cast<int>(col), y - g->bitmap_top + static_cast<int>(row),
                   static_cast<int>(colour >> 16), static_cast<int>((colour >> 8) & 0xFF),
                   static_cast<int>(colour & 0xFF), g->bitmap.buffer[row * g->bitmap.pitch + col]);
      x += static_cast<int>(g->advance.x >> 6);
    }
  }
  void line(Canvas* c, const std::string& text, uint32_t colour) {
    c->grow(kLabelLine);
    draw(c, kMargin, c->h - 5, text, colour);
  }
};

// Frees the sprite or font when the item is done.
struct LoadedSprite {
  Sprite* s;
  explicit LoadedSprite(const std::string& path) : s(SPR_CREATE_FLAGS(path.c_str(), nullptr, SPR_LOAD_RAW)) {}
  ~LoadedSprite() {
    if (s) SPR_FREE(s);
  }
  LoadedSprite(const LoadedSprite&) = delete;
  LoadedSprite& operator=(const LoadedSprite&) = delete;
};
struct LoadedFont {
  Font* f;
  explicit LoadedFont(const std::string& path) : f(FNT_CREATE_FLAGS(path.c_str(), path.c_str(), SPR_LOAD_RAW)) {}
  ~LoadedFont() {
    if (f) FNT_FREE(f);
  }
  LoadedFont(const LoadedFont&) = delete;
  LoadedFont& operator=(const LoadedFont&) = delete;
};

// Draws frame f of s with the point (ox, oy) of the frame at (x, y), shrunk
// by an integer factor (every scale-th pixel).
bool drawFrame(Canvas* c, const Sprite* s, int f, int x, int y, int ox, int oy, int scale) {
  std::vector<uint8_t> px;
  if (gspDecodeFrame(s, f, &px) < 0) return false;
  const int w = s->frames[f].width, h = s->frames[f].height;
  for (int fy = oy; fy < h; fy += scale)
    for (int fx = ox; fx < w; fx += scale) {
      const uint8_t* p = &px[(static_cast<size_t>(fy) * w + fx) * 4];
      c->blend(x + (fx - ox) / scale, y + (fy - oy) / scale, p[0], p[1], p[2], p[3]);
    }
  return true;
}

// A labelled grid of all frames of a sprite, each cut to the union of the
// frames' boxes so that frames keep their places relative to each other.
bool addSprite(Canvas* c, Labels* labels, const std::string& path, const std::string& name) {
  LoadedSprite sprite(path);
  const Sprite* s = sprite.s;
  if (!s) {
    labels->line(c, name + "  does not load", kFail);
    return logError(false, "%s: can't load the sprite '%s'", "pbtool sheet", path.c_str());
  }
  int x0 = 1 << 30, y0 = 1 << 30, x1 = 0, y1 = 0;
  for (int f = 0; f < s->numfrms; f++) {
    const SprFrame& fr = s->frames[f];
    if (fr.x1 <= fr.x0 || fr.y1 <= fr.y0) continue;
    x0 = std::min(x0, fr.x0);
    y0 = std::min(y0, fr.y0);
    x1 = std::max(x1, fr.x1);
    y1 = std::max(y1, fr.y1);
  }
  if (x1 <= x0) x0 = y0 = x1 = y1 = 0;  // nothing but empty frames
  const int w = std::max(1, x1 - x0), h = std::max(1, y1 - y0);
  int scale = 1;
  while (w / scale > kWidth - 2 * kMargin || h / scale > 400) scale++;
  const int cw = (w + scale - 1) / scale, ch = (h + scale - 1) / scale;
  const int perRow = std::max(1, (kWidth - 2 * kMargin + kGap) / (cw + kGap));
  const int rows = (s->numfrms + perRow - 1) / perRow;
  char info[128];
  std::snprintf(info, sizeof info, "  %d frame%s, %dx%d, cm %d%s", s->numfrms, s->numfrms == 1 ? "" : "s", w, h,
                s->cm, scale > 1 ? ", shown smaller" : "");
  labels->line(c, name + info, kLabel);
  const int top = c->h;
  c->grow(rows * (ch + kGap));
  bool ok = true;
  for (int f = 0; f < s->numfrms; f++) {
    const int x = kMargin + (f % perRow) * (cw + kGap), y = top + (f / perRow) * (ch + kGap);
    c->checker(x, y, cw, ch);
    ok = drawFrame(c, s, f, x, y, x0, y0, scale) && ok;
  }
  c->grow(kGap * 2);
  std::printf("sprite\t%s\t%d\n", name.c_str(), s->numfrms);
  return ok;
}

// A font's label and its sample lines, wrapped at the sheet's width.
bool addFont(Canvas* c, Labels* labels, const std::string& path, const std::string& name) {
  LoadedFont font(path);
  const Font* f = font.f;
  if (!f) {
    labels->line(c, name + "  does not load", kFail);
    return logError(false, "%s: can't load the font '%s'", "pbtool sheet", path.c_str());
  }
  const Sprite* s = f->chars;
  char info[96];
  std::snprintf(info, sizeof info, "  %d glyphs, line height %d", s->numfrms, fntLineHeight(f));
  labels->line(c, name + info, kLabel);
  const char* samples[] = {
      "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ",
      "абвгдеёжзийклмнопрстуфхцчшщъыьэюя",
      "ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz",
      "0123456789 .,:;!?-+*/=()[]{}<>\"'%&@#$_ «ГОЛОСУЙ!» №1 — 100%",
  };
  const int lh = std::max(1, fntLineHeight(f));
  bool ok = true;
  for (const char* sample : samples) {
    const std::string text = utf8ToCp1251(sample);
    int x = kMargin;
    c->grow(lh + 2);
    for (unsigned char ch : text) {
      const int g = f->map[ch];
      if (g >= s->numfrms) continue;
      const int gw = s->frames[g].width;
      if (x + gw > kWidth - kMargin) {
        x = kMargin;
        c->grow(lh + 2);
      }
      ok = drawFrame(c, s, g, x, c->h - lh - 2, 0, 0, 1) && ok;
      x += gw;
    }
  }
  c->grow(kGap * 2);
  std::printf("font\t%s\t%d\n", name.c_str(), s->numfrms);
  return ok;
}

}  // namespace

int cmdSheet(char** a) {
  const std::filesystem::path root(a[0]);
  std::error_code ec;
  if (!std::filesystem::is_directory(root, ec))
    return logError(1, "%s: '%s' is not a folder", "pbtool sheet", a[0]);
  std::vector<std::string> sprites, fonts;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    const std::string ext = it->path().extension().string();
    const std::string rel = std::filesystem::relative(it->path(), root).generic_string();
    if (ext == ".gsp") sprites.push_back(rel);
    if (ext == ".fnp") fonts.push_back(rel);
  }
  if (ec) return logError(1, "%s: can't list '%s': %s", "pbtool sheet", a[0], ec.message().c_str());
  std::sort(sprites.begin(), sprites.end());
  std::sort(fonts.begin(), fonts.end());

  Labels labels;
  if (!labels.open()) return 1;
  Canvas c;
  c.grow(kMargin);
  labels.line(&c, "Sprites", kLabel);
  bool ok = true;
  for (const std::string& rel : sprites) ok = addSprite(&c, &labels, (root / rel).string(), rel) && ok;
  labels.line(&c, "Fonts", kLabel);
  for (const std::string& rel : fonts) ok = addFont(&c, &labels, (root / rel).string(), rel) && ok;
  c.grow(kMargin);

  std::vector<uint8_t> rgba(static_cast<size_t>(kWidth) * c.h * 4);
  for (size_t i = 0; i < static_cast<size_t>(kWidth) * c.h; i++) {
    rgba[4 * i] = c.rgb[3 * i];
    rgba[4 * i + 1] = c.rgb[3 * i + 1];
    rgba[4 * i + 2] = c.rgb[3 * i + 2];
    rgba[4 * i + 3] = 255;
  }
  if (c.h > PNG_MAX_SIDE || !pngWriteRGBA(a[1], kWidth, c.h, rgba.data()))
    return logError(1, "%s: can't write the sheet '%s' (%dx%d)", "pbtool sheet", a[1], kWidth, c.h);
  return ok ? 0 : 1;
}
