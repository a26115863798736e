#include "gfx/font.h"

#include <cstdio>
#include <cstring>

#include "core/bytes.h"
#include "core/log.h"
#include "core/text.h"
#include "gfx/pack.h"
#include "gfx/vboard.h"

Font FONTS[FNT_MAX];

namespace {

Font* freeRecord(const char* fn) {
  for (Font& f : FONTS)
    if (!f.inUse) return &f;
  logError(0, "%s: no free slots in FONTS[], all %d occupied", fn, FNT_MAX);
  return nullptr;
}

// Reads the map from an open pack into the record and closes the pack.
bool readMap(Font* font, int pack, const char* path, const char* fn) {
  if (PF_SELECT(pack, pfSectionId("fonthdr")) < 0) {
    PF_CLOSE(pack);
    return logError(0, "%s: font header not found in file '%s'", fn, path) != 0;
  }
  long n = PF_READ(pack, font->map, FNT_MAP_SIZE);
  PF_CLOSE(pack);
  if (n != FNT_MAP_SIZE)
    return logError(0, "%s: error reading font header from '%s' (%d of %d bytes read)", fn, path,
                    n < 0 ? 0 : static_cast<int>(n), FNT_MAP_SIZE) != 0;
  return true;
}

Font* finish(Font* font, Sprite* chars, int pack, const char* path, const char* name,
             const char* fn) {
  if (pack < 0) {
    SPR_FREE(chars);
    logError(0, "%s: error opening file '%s'", fn, path);
    return nullptr;
  }
  if (!readMap(font, pack, path, fn)) {
    SPR_FREE(chars);
    std::memset(font->map, 0, sizeof font->map);
    return nullptr;
  }
  font->chars = chars;
  font->inUse = 1;
  strCopyN(font->name, name, sizeof font->name);
  return font;
}

}  // namespace

Font* FNT_CREATE_FLAGS(const char* path, const char* name, int flags) {
  if (!name) name = path;  // no display name: the file's own
  const char* fn = name == path ? "FNT_CREATE()" : "FNT_CREATE_ALT()";
  Font* font = freeRecord(fn);
  if (!font) return nullptr;
  Sprite* chars = SPR_CREATE_FLAGS(path, name, flags);
  if (!chars) {
    logError(0, "%s: error loading chars sprite", fn);
    return nullptr;
  }
  return finish(font, chars, PF_OPEN(path, PF_MODE_READ, 0), path, name, fn);
}

Font* FNT_CREATE(const char* path) { return FNT_CREATE_FLAGS(path, path, 0); }

Font* FNT_CREATE_ALT(const char* path, const char* name) { return FNT_CREATE_FLAGS(path, name, 0); }

Font* FNT_CREATE_MEM(const void* bytes, size_t size, const char* name, int flags) {
  const char* fn = "FNT_CREATE_MEM()";
  Font* font = freeRecord(fn);
  if (!font) return nullptr;
  Sprite* chars = SPR_CREATE_MEM(bytes, size, name, flags);
  if (!chars) {
    logError(0, "%s: error loading chars sprite", fn);
    return nullptr;
  }
  return finish(font, chars, PF_OPENMEM(bytes, size, name), name, name, fn);
}

void FNT_FREE(Font* font) {
  if (!font || !font->inUse) return;
  SPR_FREE(font->chars);
  std::memset(font, 0, sizeof *font);
}

int fntLineHeight(const Font* font) {
  if (!font || !font->chars || font->chars->numfrms < 1) return 0;
  return font->chars->frames[0].height;
}

int vbStrCreate(VBSTR* str, Font* font) {
  if (!str) return logError(0, "%s: VBSTR is NULL, aborting", "vbStrCreate()");
  str->spacing = 0;
  str->count = 0;
  str->font = font;
  if (!font) return logError(0, "%s: FONT is NULL, aborting", "vbStrCreate()");
  return 1;
}

int vbStrFree(VBSTR* str) {
  if (!str) return logError(0, "%s: VBSTR is NULL, aborting", "vbStrFree()");
  for (int i = 0; i < str->count; i++) vbDelObject(str->objects[i]);
  str->count = 0;
  return 1;
}

int vbStrWidth(VBSTR* str, const char* text) {
  if (!str) return logError(0, "%s: VBSTR is NULL, aborting", "vbStrWidth()");
  if (!str->font || !str->font->chars)
    return logError(0, "%s: VBSTR %p font is NULL, aborting", "vbStrWidth()", static_cast<void*>(str));
  const Sprite* chars = str->font->chars;
  int width = 0;
  for (int i = 0; text[i] && i < VBSTR_MAX_OBJECTS; i++) {
    int g = str->font->map[static_cast<uint8_t>(text[i])];
    if (g < chars->numfrms) width += chars->frames[g].width + str->spacing;
  }
  return width;
}

int vbStrDraw(VBSTR* str, int x, int y, const char* text) {
  if (!vbStrFree(str)) return 0;
  if (!str->font || !str->font->chars)
    return logError(0, "%s: string %p font is NULL, SE", "vbStrDraw()", static_cast<void*>(str));
  Sprite* chars = str->font->chars;
  for (int i = 0; text[i] && str->count < VBSTR_MAX_OBJECTS; i++) {
    int g = str->font->map[static_cast<uint8_t>(text[i])];
    // A glyph number equal to the frame count reaches the board, which
    // refuses it; larger ones are skipped.
    if (g > chars->numfrms) continue;
    VBOBJ* obj = vbAddObject(chars, g, x, y);
    if (!obj) return logError(0, "%s: error adding VB object, aborting", "vbStrDraw()");
    vbSetLayer(obj, 0);
    str->objects[str->count++] = obj;
    x += chars->frames[g].width + str->spacing;
  }
  return 1;
}

int fnpEncode(int cm, std::span<const GspFrameImage> glyphs, const uint8_t map[FNT_MAP_SIZE],
              std::vector<uint8_t>* out) {
  std::vector<uint8_t> gsp;
  if (gspEncode(cm, glyphs, &gsp) < 0) return logError(-1, "%s: error encoding glyphs", "fnpEncode()");
  int h = PF_OPENMEM(gsp.data(), gsp.size(), "glyphs");
  if (h < 0) return logError(-1, "%s: error reading the glyph pack, SE", "fnpEncode()");
  const PfRecord* dir = nullptr;
  int n = pfDirectory(h, &dir);
  // The sprite's sections as they are, then the map as one more section.
  struct Section {
    int32_t id;
    std::vector<uint8_t> bytes;
  };
  std::vector<Section> sections;
  for (int i = 0; i < n; i++) {
    if (dir[i].type != PF_SECTION) continue;
    Section s{dir[i].id, std::vector<uint8_t>(static_cast<size_t>(dir[i].len))};
    if (PF_SELECT(h, s.id) < 0 || PF_READ(h, s.bytes.data(), s.bytes.size()) != dir[i].len) {
      PF_CLOSE(h);
      return logError(-1, "%s: error reading section %d of the glyph pack, SE", "fnpEncode()", i);
    }
    sections.push_back(std::move(s));
  }
  PF_CLOSE(h);
  sections.push_back({pfSectionId("fonthdr"), std::vector<uint8_t>(map, map + FNT_MAP_SIZE)});

  out->clear();
  bwBe<uint16_t>(out, PF_SIGNATURE);
  bwBe<uint16_t>(out, static_cast<uint16_t>(sections.size()));
  size_t offset = PF_HEADER_SIZE + PF_RECORD_SIZE * sections.size();
  for (const Section& s : sections) {
    bwU8(out, PF_SECTION);
    bwBe<int32_t>(out, s.id);
    bwBe<uint32_t>(out, static_cast<uint32_t>(offset));
    bwBe<uint32_t>(out, static_cast<uint32_t>(s.bytes.size()));
    offset += s.bytes.size();
  }
  for (const Section& s : sections) bwBytes(out, s.bytes);
  return 0;
}

int fnpWrite(const char* path, int cm, std::span<const GspFrameImage> glyphs,
             const uint8_t map[FNT_MAP_SIZE]) {
  std::vector<uint8_t> bytes;
  if (fnpEncode(cm, glyphs, map, &bytes) < 0) return logError(-1, "%s: can't build '%s'", "fnpWrite()", path);
  FILE* f = std::fopen(path, "wb");
  if (!f) return logError(-1, "%s: can't open to write file '%s'", "fnpWrite()", path);
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) return logError(-1, "%s: error writing file '%s'", "fnpWrite()", path);
  return 0;
}
