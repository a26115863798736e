#pragma once
// 5x7 block letters for the data generators' pictures (logo marks, the pause
// dialog), Latin and Cyrillic capitals keyed by their UTF-8 text. Each glyph
// takes 6 cells of `scale` pixels across, its last column a gap.
#include <cstring>
#include <vector>

namespace blockfont {

struct Glyph {
  const char* ch;
  const char* rows[7];
};

inline constexpr Glyph kGlyphs[] = {
    {"A", {".111.", "1...1", "1...1", "11111", "1...1", "1...1", "1...1"}},
    {"L", {"1....", "1....", "1....", "1....", "1....", "1....", "11111"}},
    {"M", {"1...1", "11.11", "1.1.1", "1.1.1", "1...1", "1...1", "1...1"}},
    {"N", {"1...1", "11..1", "1.1.1", "1..11", "1...1", "1...1", "1...1"}},
    {"O", {".111.", "1...1", "1...1", "1...1", "1...1", "1...1", ".111."}},
    {"R", {"1111.", "1...1", "1...1", "1111.", "1.1..", "1..1.", "1...1"}},
    {"T", {"11111", "..1..", "..1..", "..1..", "..1..", "..1..", "..1.."}},
    {"U", {"1...1", "1...1", "1...1", "1...1", "1...1", "1...1", ".111."}},
    {"А", {".111.", "1...1", "1...1", "11111", "1...1", "1...1", "1...1"}},
    {"В", {"1111.", "1...1", "1...1", "1111.", "1...1", "1...1", "1111."}},
    {"Д", {"..11.", ".1.1.", ".1.1.", ".1.1.", ".1.1.", "11111", "1...1"}},
    {"Ж", {"1.1.1", "1.1.1", ".111.", "..1..", ".111.", "1.1.1", "1.1.1"}},
    {"З", {".111.", "1...1", "....1", "..11.", "....1", "1...1", ".111."}},
    {"И", {"1...1", "1...1", "1..11", "1.1.1", "11..1", "1...1", "1...1"}},
    {"Л", {"..111", ".1..1", ".1..1", ".1..1", ".1..1", ".1..1", "1...1"}},
    {"О", {".111.", "1...1", "1...1", "1...1", "1...1", "1...1", ".111."}},
    {"П", {"11111", "1...1", "1...1", "1...1", "1...1", "1...1", "1...1"}},
    {"Р", {"1111.", "1...1", "1...1", "1111.", "1....", "1....", "1...."}},
    {"Т", {"11111", "..1..", "..1..", "..1..", "..1..", "..1..", "..1.."}},
    {"У", {"1...1", "1...1", "1...1", ".1111", "....1", "...1.", "111.."}},
    {"Х", {"1...1", "1...1", ".1.1.", "..1..", ".1.1.", "1...1", "1...1"}},
    {"Ы", {"1...1", "1...1", "1...1", "111.1", "1..11", "1..11", "111.1"}},
    {"Ь", {"1....", "1....", "1....", "1111.", "1...1", "1...1", "1111."}},
};

// The glyphs of a UTF-8 text in order; null for a character without one.
inline std::vector<const Glyph*> glyphsOf(const char* s) {
  std::vector<const Glyph*> out;
  while (*s) {
    const Glyph* hit = nullptr;
    for (const Glyph& g : kGlyphs)
      if (std::strncmp(s, g.ch, std::strlen(g.ch)) == 0) hit = &g;
    out.push_back(hit);
    s += hit ? std::strlen(hit->ch) : 1;
  }
  return out;
}

inline int width(const char* s, int scale) {
  return static_cast<int>(glyphsOf(s).size()) * 6 * scale - scale;
}

// Calls cell(x, y) for the top-left corner of every lit cell of the text
// drawn from (x, top).
template <class Cell>
void draw(const char* s, int x, int top, int scale, Cell cell) {
  for (const Glyph* g : glyphsOf(s)) {
    if (g)
      for (int r = 0; r < 7; r++)
        for (int c = 0; c < 5; c++)
          if (g->rows[r][c] == '1') cell(x + c * scale, top + r * scale);
    x += 6 * scale;
  }
}

}  // namespace blockfont
