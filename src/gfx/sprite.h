#pragma once
// Sprites: sets of run-length coded frames read from .gsp pack files,
// converted once to the screen's pixel format and drawn straight into the
// pixel memory of gsCurrent by a family of blitters (plain, mirrored,
// depth-tested, alpha-blended, blended through the table's transparency
// plane, additive).
//
// .gsp file (a pack, gfx/pack.h; integers big-endian):
//   section "gsphdr", 11 bytes: u16 version 0xBF03, u8 cm, u32 numfrms, u32 maxfrm
//   section i (0 <= i < numfrms): six u16 width, height, x0, x1, y0, y1, then
//   the frame's pixel stream (section length - 12 bytes).
//
// Pixel stream, one byte a code:
//   255        end of the frame
//   254, n     line feed: n rows down, back to column x0
//   s (0..253) skip s bytes, then a run byte r, then (run alpha and r > 0) an
//              alpha byte, then r bytes of pixels; the cursor stands behind it.
// The cursor starts on the origin row at column x0. Counts are bytes of the
// sprite's current pixel format, always whole pixels.
//
// Every stream is checked once at load (codes, whole pixels, run bytes inside
// the stream, an end code, a reach that a frame header can describe); the
// blitters then clip each run against the clip rectangle and the screen's
// memory, so a sprite may be drawn at any position.
#include <cstddef>
#include <cstdint>

#include "platform/gdev.h"

enum {
  SPR_MAX = 8192,     // SPRITES[]
  SPR_NAME_SIZE = 64, // 63 characters and the terminator
  GSP_VERSION = 0xBF03,
  GSP_HEADER_SIZE = 11,
  GSP_FRAME_HEADER_SIZE = 12,
  GSP_MAX_COUNT = 253,      // largest skip or run byte in a file
  GSP_CODE_LINEFEED = 254,
  GSP_CODE_END = 255,
  GSP_MAX_REACH = 65535,    // rows and columns a stream may reach from its start
  GSP_MAX_MAXFRM = 64 << 20,        // larger header maxfrm values are refused
  GSP_MAX_DATA = 256 << 20,         // bytes of all frames' streams of one sprite
};

// Colour models of the file's pixels.
enum {
  GSP_CM_555 = 1,        // 2 bytes, 5-5-5
  GSP_CM_888 = 2,        // 3 bytes, 8-8-8
  GSP_CM_555_ALPHA = 4,  // as 1, with run alpha
  GSP_CM_888_ALPHA = 5,  // as 2, with run alpha
  GSP_CM_565 = 6,        // 2 bytes, 5-6-5
  GSP_CM_565_ALPHA = 7,  // as 6, with run alpha
};

// Loader flags.
enum {
  // Keep the file's colour model: no screen is needed. Such a sprite is drawn
  // only on a screen whose format happens to match.
  SPR_LOAD_RAW = 1,
};

struct SprFrame {
  int width, height;
  int x0, y0, x1, y1;  // box of the frame's pixels; all 0 when x0 >= x1 or y0 >= y1
  int size;            // bytes of the stream
  uint8_t* stream;     // into the sprite's data block
  // What the stream reaches from its start, found when it was checked: the
  // cursor's rightmost column (pixels from x0) and the last row holding a
  // run, plus one (rows from the origin). Lets blitters skip frames that lie
  // wholly outside the clip rectangle.
  int reachX, reachY;
};

struct Sprite {
  int inUse;
  char name[SPR_NAME_SIZE];
  int cm;
  int numfrms;
  int maxfrm;        // largest stream in bytes, at least the header's value
  SprFrame* frames;  // numfrms records
  uint8_t* data;     // all frames' streams in one block
  int alpha;         // 1: every non-empty run carries an alpha byte
  Sprite* donor;     // for a clone: the sprite it was cloned from
  GdevPixelFormat pixelFormat;  // the format the streams are in now
  int bytesPerPixel;            // of pixelFormat
};

extern Sprite SPRITES[SPR_MAX];

// Loading. Null after logging on failure; a failed load leaves the record free.
Sprite* SPR_CREATE(const char* path);

// A sprite a module loaded, with its name: a record that was freed elsewhere
// and reused by another sprite is not freed by mistake.
struct SprOwned {
  Sprite* sprite;
  char name[SPR_NAME_SIZE];
};
SprOwned sprOwn(Sprite* s);
// Frees the sprite when the record still holds it; empties the owner.
void sprRelease(SprOwned* o);
Sprite* SPR_CREATE_ALT(const char* path, const char* name);  // with a display name
Sprite* SPR_CREATE_FLAGS(const char* path, const char* name, int flags);
// From a .gsp image in memory (copied); name is the sprite's name and is used
// in messages.
Sprite* SPR_CREATE_MEM(const void* bytes, size_t size, const char* name, int flags);

// Frees frames and data and clears the record. 0, or -1 for a bad address or
// a record not in use.
int SPR_FREE(Sprite* s);
void SPR_FREE_ALL();

// A one-frame sprite whose stream buffer holds the donor's maxfrm bytes, for
// SPR_GET. SPR_RECLONE frees the clone when it is valid and clones again into
// the same record.
Sprite* SPR_CLONE(Sprite* donor);
Sprite* SPR_RECLONE(Sprite* clone, Sprite* donor);
// Saves the screen bytes under the donor's frame drawn at (x, y) into the
// clone, which then draws them back with SPR_PUT_COMMON. 0 or -1.
int SPR_GET(Sprite* clone, int frame, int x, int y);

// Rewrites the streams into gsCurrent's pixel format (once). 0 or -1.
int SPR_CONVERT(Sprite* s);

// Blitters into gsCurrent, inside its clip rectangle. 0, or -1 after logging
// (bad sprite, bad frame, no screen, a sprite in another format). The
// depth-tested ones take the object's depth z (signed 16-bit).
int SPR_PUT_COMMON(Sprite* s, int frame, int x, int y);
int SPR_PUT_MCOMMON(Sprite* s, int frame, int x, int y);
int SPR_PUT_ZCOMMON(Sprite* s, int frame, int x, int y, int z);
int SPR_PUT_ALPHA(Sprite* s, int frame, int x, int y);
int SPR_PUT_ALPHA15(Sprite* s, int frame, int x, int y);
int SPR_PUT_ALPHA16(Sprite* s, int frame, int x, int y);
int SPR_PUT_ALPHA24(Sprite* s, int frame, int x, int y);
int SPR_PUT_MALPHA(Sprite* s, int frame, int x, int y);
int SPR_PUT_MALPHA15(Sprite* s, int frame, int x, int y);
int SPR_PUT_MALPHA16(Sprite* s, int frame, int x, int y);
int SPR_PUT_ZXALPHA(Sprite* s, int frame, int x, int y, int z);
int SPR_PUT_ZXALPHA15(Sprite* s, int frame, int x, int y, int z);
int SPR_PUT_ZXALPHA16(Sprite* s, int frame, int x, int y, int z);
int SPR_PUT_ZXALPHA24(Sprite* s, int frame, int x, int y, int z);
int SPR_ADD_ZALPHA(Sprite* s, int frame, int x, int y, int z);
int SPR_ADD_ZALPHA15(Sprite* s, int frame, int x, int y, int z);
int SPR_ADD_ZALPHA16(Sprite* s, int frame, int x, int y, int z);
int SPR_ADD_ZALPHA24(Sprite* s, int frame, int x, int y, int z);

// Logs the valid sprites.
void SPR_LIST();

// Helpers shared by the loader, the blitters and the data tools.
// The file format of a colour model, or null for an unknown one.
const GdevPixelFormat* gspModelFormat(int cm);
int gspModelBytes(int cm);  // 2 or 3, 0 for an unknown model
bool gspModelAlpha(int cm);
// Checks that a sprite address is a record of SPRITES[] in use; logs as fn
// and returns false otherwise.
bool sprCheck(const Sprite* s, const char* fn);
