#pragma once
// Bitmap fonts and board strings. A font is a sprite whose frames are the
// glyphs plus a 256-byte map from character code (Windows-1251) to glyph
// frame. A .fnp file is a .gsp sprite file that also holds a section
// "fonthdr" of exactly 256 bytes: the map. A board string places one visual
// board object per character, so text is drawn, restored and layered like
// any other object.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "gfx/gspwrite.h"
#include "gfx/sprite.h"

enum {
  FNT_MAX = 1024,  // FONTS[]
  FNT_NAME_SIZE = 64,
  FNT_MAP_SIZE = 256,
  VBSTR_MAX_OBJECTS = 256,
};

struct Font {
  int inUse;
  char name[FNT_NAME_SIZE];
  Sprite* chars;
  uint8_t map[FNT_MAP_SIZE];  // map[c]: glyph frame of character code c
};

extern Font FONTS[FNT_MAX];

Font* FNT_CREATE(const char* path);
Font* FNT_CREATE_ALT(const char* path, const char* name);
// With sprite loader flags (SPR_LOAD_RAW: keep the file's colour model).
Font* FNT_CREATE_FLAGS(const char* path, const char* name, int flags);
// From a .fnp image in memory; name is used in messages.
Font* FNT_CREATE_MEM(const void* bytes, size_t size, const char* name, int flags);
void FNT_FREE(Font* font);
// Line height as callers use it: the height of glyph frame 0.
int fntLineHeight(const Font* font);

struct VBOBJ;

// A board string: one visual board object per character.
struct VBSTR {
  int spacing;  // extra pixels after each glyph
  Font* font;
  int count;
  VBOBJ* objects[VBSTR_MAX_OBJECTS];
};

// 1, or 0 after logging (a null string; a null font is logged but the record
// is still set up).
int vbStrCreate(VBSTR* str, Font* font);
// Marks the string's objects dead (they vanish at the next vbRestore).
int vbStrFree(VBSTR* str);
// Width of text in pixels: glyph widths plus spacing.
int vbStrWidth(VBSTR* str, const char* text);
// Replaces the string's objects with one per character of text starting at
// (x, y), on layer 0. 1 or 0.
int vbStrDraw(VBSTR* str, int x, int y, const char* text);

// Encodes glyph frames (gfx/gspwrite.h) in colour model cm with the map into
// the bytes of a .fnp file. 0, or -1 after logging.
int fnpEncode(int cm, std::span<const GspFrameImage> glyphs, const uint8_t map[FNT_MAP_SIZE],
              std::vector<uint8_t>* out);
int fnpWrite(const char* path, int cm, std::span<const GspFrameImage> glyphs,
             const uint8_t map[FNT_MAP_SIZE]);
