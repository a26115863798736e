// The generated fonts in the built game folder, read with the engine's font
// reader: each maps the Russian alphabet, the Latin letters, digits and
// punctuation to glyphs of one line's height and sane widths, and the
// generator writes the same bytes on every run.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/text.h"
#include "gfx/font.h"
#include "gfx/gspwrite.h"
#include "support/testutil.h"

namespace {

const std::string kGame = PB_GAME_DIR;
const char* const kFonts[] = {"dotmatrix", "dotsmall", "mach18xgold", "plain16"};

std::string fontPath(const std::string& dir, const char* name) { return dir + "/titles/fonts/" + name + ".fnp"; }

struct LoadedFont {
  Font* f;
  explicit LoadedFont(const std::string& path) : f(FNT_CREATE_FLAGS(path.c_str(), path.c_str(), SPR_LOAD_RAW)) {}
  ~LoadedFont() {
    if (f) FNT_FREE(f);
  }
  LoadedFont(const LoadedFont&) = delete;
  LoadedFont& operator=(const LoadedFont&) = delete;
};

std::vector<uint8_t> pixels(const Font* f, uint8_t code) {
  std::vector<uint8_t> rgba;
  EXPECT_EQ(gspDecodeFrame(f->chars, f->map[code], &rgba), 0);
  return rgba;
}

int inked(const std::vector<uint8_t>& rgba) {
  int n = 0;
  for (size_t i = 3; i < rgba.size(); i += 4) n += rgba[i] >= 128;
  return n;
}

// Codes a Russian or English text needs.
std::vector<uint8_t> requiredCodes() {
  std::vector<uint8_t> codes;
  for (int c = 0xC0; c <= 0xFF; c++) codes.push_back(static_cast<uint8_t>(c));  // А..я
  for (int c : {0xA8, 0xB8}) codes.push_back(static_cast<uint8_t>(c));          // Ё ё
  for (const char* s : {"0123456789", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz",
                        " .,:;!?-+%()\"'/", "«»№—"}) {
    for (char ch : utf8ToCp1251(s)) codes.push_back(static_cast<uint8_t>(ch));
  }
  return codes;
}

TEST(Fonts, EachLoadsAndMapsTheTextsItMustShow) {
  logReset();
  for (const char* name : kFonts) {
    SCOPED_TRACE(name);
    LoadedFont font(fontPath(kGame, name));
    ASSERT_NE(font.f, nullptr);
    const Font* f = font.f;
    const Sprite* s = f->chars;
    const int line = fntLineHeight(f);
    EXPECT_GE(line, 12);
    EXPECT_LE(line, 64);
    EXPECT_EQ(f->map[uint8_t{' '}], 0) << "frame 0, whose height is the line height, is the space";
    for (uint8_t code : requiredCodes()) {
      SCOPED_TRACE(code);
      ASSERT_LT(f->map[code], s->numfrms);
      const SprFrame& g = s->frames[f->map[code]];
      EXPECT_EQ(g.height, line);  // one line high: lines of text stack evenly
      EXPECT_GE(g.width, 2);
      EXPECT_LE(g.width, line * 3 / 2);
      if (code != ' ') {
        EXPECT_GT(inked(pixels(f, code)), 0);
      }
    }
    // Unmapped codes stay out of the glyph range, so a board string skips them.
    EXPECT_GE(f->map[0], s->numfrms);
    EXPECT_GE(f->map[0x98], s->numfrms);  // no character at 0x98 in Windows-1251

    // Widths behave like type: digits share one width (scores line up), a
    // wide letter is wider than a narrow one, the space is narrower than 'Ш'.
    const int zero = s->frames[f->map[uint8_t{'0'}]].width;
    for (char d = '1'; d <= '9'; d++) EXPECT_EQ(s->frames[f->map[static_cast<uint8_t>(d)]].width, zero) << d;
    const uint8_t sha = static_cast<uint8_t>(utf8ToCp1251("Ш")[0]);
    EXPECT_GT(s->frames[f->map[sha]].width, s->frames[f->map[uint8_t{'i'}]].width);
    EXPECT_GT(s->frames[f->map[uint8_t{'W'}]].width, s->frames[f->map[uint8_t{'.'}]].width);
    EXPECT_LT(s->frames[0].width, s->frames[f->map[sha]].width);

    // The Russian letters are drawn apart, each its own glyph picture.
    std::set<std::vector<uint8_t>> distinct;
    for (int c = 0xC0; c <= 0xFF; c++) distinct.insert(pixels(f, static_cast<uint8_t>(c)));
    EXPECT_EQ(distinct.size(), 64u);
    // Upper and lower case differ where it shows.
    EXPECT_NE(pixels(f, 'A'), pixels(f, 'a'));
    EXPECT_NE(pixels(f, static_cast<uint8_t>(utf8ToCp1251("Б")[0])),
              pixels(f, static_cast<uint8_t>(utf8ToCp1251("б")[0])));
  }
  logReset();
}

// The dot fonts are made of round dots on a fixed pitch: every glyph leaves
// the last row and column of each dot cell empty, and its dots are lit amber.
TEST(Fonts, DotMatrixGlyphsAreDotsOnAGrid) {
  for (const auto& [name, pitch] : {std::pair{"dotmatrix", 4}, std::pair{"dotsmall", 3}}) {
    SCOPED_TRACE(name);
    LoadedFont font(fontPath(kGame, name));
    ASSERT_NE(font.f, nullptr);
    const Font* f = font.f;
    EXPECT_EQ(fntLineHeight(f) % pitch, 0);
    for (const char* s : {"Ж", "Щ", "8", "W", "%"}) {
      const uint8_t code = static_cast<uint8_t>(utf8ToCp1251(s)[0]);
      const std::vector<uint8_t> px = pixels(f, code);
      const int w = f->chars->frames[f->map[code]].width;
      EXPECT_EQ(w % pitch, 0) << s;
      int lit = 0, gaps = 0;
      for (size_t i = 0; i < px.size() / 4; i++) {
        const int x = static_cast<int>(i % static_cast<size_t>(w)), y = static_cast<int>(i / static_cast<size_t>(w));
        const uint8_t* p = &px[i * 4];
        if (p[3] == 0) continue;
        lit++;
        if (x % pitch == pitch - 1 || y % pitch == pitch - 1) gaps++;
        EXPECT_GT(p[0], p[1]) << s;  // amber: more red than green, more green than blue
        EXPECT_GT(p[1], p[2]) << s;
      }
      EXPECT_GT(lit, 30) << s;
      EXPECT_EQ(gaps, 0) << s;
    }
  }
}

// The gold font: a dark outline around a gold letter, brighter at the top
// of the letter than at its foot.
TEST(Fonts, GoldFontHasAGradientAndADarkOutline) {
  LoadedFont font(fontPath(kGame, "mach18xgold"));
  ASSERT_NE(font.f, nullptr);
  const Font* f = font.f;
  const uint8_t code = 'H';
  const std::vector<uint8_t> px = pixels(f, code);
  const int w = f->chars->frames[f->map[code]].width, h = fntLineHeight(f);
  // Down the left stem of the H: the gold gets darker towards the baseline.
  int stemX = -1;
  for (int x = 0; x < w && stemX < 0; x++) {
    const uint8_t* p = &px[(static_cast<size_t>(h / 2) * w + x) * 4];
    if (p[3] == 255 && p[0] > 180) stemX = x;
  }
  ASSERT_GE(stemX, 0);
  int top = -1, bottom = -1;
  for (int y = 0; y < h; y++) {
    const uint8_t* p = &px[(static_cast<size_t>(y) * w + stemX) * 4];
    if (p[3] == 255 && p[0] > 100) {
      if (top < 0) top = y;
      bottom = y;
    }
  }
  ASSERT_GT(bottom, top + 6);
  const uint8_t* hi = &px[(static_cast<size_t>(top) * w + stemX) * 4];
  const uint8_t* lo = &px[(static_cast<size_t>(bottom) * w + stemX) * 4];
  EXPECT_GT(hi[0] + hi[1], lo[0] + lo[1] + 80);
  EXPECT_GT(hi[0], hi[2] + 30);  // gold, not grey
  // Left of the stem lies the dark outline.
  const uint8_t* edge = &px[(static_cast<size_t>(h / 2) * w + stemX - 2) * 4];
  EXPECT_GT(edge[3], 128);
  EXPECT_LT(edge[0], 90);
}

TEST(Fonts, InfoShowsTheMap) {
  const RunResult r = runProgram(std::string(PB_BIN_DIR) + "/pbtool", {"fnp", "info", fontPath(kGame, "plain16")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("map\t32\t0\n"), std::string::npos);
  EXPECT_NE(r.out.find("map\t192\t"), std::string::npos);  // А
  EXPECT_NE(r.out.find("map\t255\t"), std::string::npos);  // я
}

TEST(FontGenerator, IsDeterministicAndMatchesTheBuild) {
  TempDir a, b;
  const RunResult ra = runProgram(std::string(PB_BIN_DIR) + "/pbfonts", {a.path});
  ASSERT_EQ(ra.exitCode, 0) << ra.err;
  EXPECT_EQ(ra.err, "");
  ASSERT_EQ(runProgram(std::string(PB_BIN_DIR) + "/pbfonts", {b.path}).exitCode, 0);
  for (const char* name : kFonts) {
    const std::string bytes = readFile(fontPath(a.path, name));
    EXPECT_FALSE(bytes.empty()) << name;
    EXPECT_EQ(bytes, readFile(fontPath(b.path, name))) << name;
    EXPECT_EQ(bytes, readFile(fontPath(kGame, name))) << name;
  }
  EXPECT_EQ(runProgram(std::string(PB_BIN_DIR) + "/pbfonts", {}).exitCode, 1);
}

}  // namespace
