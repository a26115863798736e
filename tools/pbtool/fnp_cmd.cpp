// pbtool fnp: fonts. info shows a font's glyphs and map; build makes a font
// from one picture per glyph and the characters they stand for.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/text.h"
#include "gfx/font.h"
#include "pngio.h"

int cmdFnpInfo(char** a) {
  Font* f = FNT_CREATE_FLAGS(a[0], a[0], SPR_LOAD_RAW);
  if (!f) return 1;
  const Sprite* s = f->chars;
  std::printf("cm\t%d\tnumfrms\t%d\tlineheight\t%d\n", s->cm, s->numfrms, fntLineHeight(f));
  for (int g = 0; g < s->numfrms; g++)
    std::printf("glyph\t%d\t%d\t%d\n", g, s->frames[g].width, s->frames[g].height);
  for (int c = 0; c < FNT_MAP_SIZE; c++)
    if (f->map[c] < s->numfrms) std::printf("map\t%d\t%d\n", c, f->map[c]);
  FNT_FREE(f);
  return 0;
}

// CHARS is UTF-8 text; its characters, turned into Windows-1251 codes, map in
// order to the glyph pictures that follow. Codes not named map to 255.
int cmdFnpBuild(char** a) {
  const char* out = a[0];
  char* end = nullptr;
  long cm = std::strtol(a[1], &end, 10);
  if (!end || *end || !gspModelFormat(static_cast<int>(cm)))
    return logError(1, "%s: unknown colour model '%s'", "pbtool fnp build", a[1]);
  std::string codes = utf8ToCp1251(a[2]);
  std::vector<std::string> pictures;
  for (char** p = a + 3; *p; p++) pictures.emplace_back(*p);
  if (codes.size() != pictures.size())
    return logError(1, "%s: %d characters but %d glyph pictures", "pbtool fnp build",
                    static_cast<int>(codes.size()), static_cast<int>(pictures.size()));
  if (pictures.size() > 255)
    return logError(1, "%s: at most 255 glyphs", "pbtool fnp build");

  uint8_t map[FNT_MAP_SIZE];
  for (uint8_t& m : map) m = 255;
  std::vector<std::vector<uint8_t>> pixels(pictures.size());
  std::vector<GspFrameImage> glyphs;
  for (size_t i = 0; i < pictures.size(); i++) {
    int w = 0, h = 0;
    if (!pngReadRGBA(pictures[i].c_str(), &w, &h, &pixels[i])) return 1;
    glyphs.push_back({w, h, pixels[i].data(), 0, 0});
    uint8_t code = static_cast<uint8_t>(codes[i]);
    if (map[code] != 255)
      return logError(1, "%s: character code %d is named twice", "pbtool fnp build", code);
    map[code] = static_cast<uint8_t>(i);
  }
  return fnpWrite(out, static_cast<int>(cm), glyphs, map) < 0 ? 1 : 0;
}
