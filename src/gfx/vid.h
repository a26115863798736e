#pragma once
// Video clips (.vid): 8-bit indexed frames with 16-bit 5-6-5 palettes, raw or
// zlib-compressed, optionally coded as differences against the previous frame.
// Used for the start-up logos and the menu animations.
//
// File layout, integers little-endian:
//   0  u8  version (1)
//   1  u32 width, 5 u32 height
//   9  u32 model: 1 zlib-compressed frames, 2 raw frames
//  13  u32 frames
//  17  u8  delta: 1 when frames are differences against the previous one
//  18  frames x {u32 offset, u32 size, u32 key}
// At offset: size bytes of frame data; frame 0 and every key frame are
// followed by a 512-byte palette (256 little-endian 5-6-5 colours).
// A delta stream is a run of codes: a < 128 is followed by a literal bytes,
// a >= 128 keeps the next a - 128 pixels of the previous frame.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

enum {
  VID_VERSION = 1,
  VID_HEADER_SIZE = 18,
  VID_FRAME_ENTRY_SIZE = 12,
  VID_PALETTE_SIZE = 512,
  VID_MODEL_ZLIB = 1,
  VID_MODEL_RAW = 2,
  VID_MAX_SIDE = 2048,  // larger clips are refused as damaged
};

// Drawing modes of vidPutFrame.
enum { VID_DRAW_PLAIN = -1, VID_DRAW_DOTS = 6 };

struct VidFrameEntry {
  uint32_t offset;
  uint32_t size;
  uint32_t key;
};

struct VidClip {
  FILE* file;
  char path[260];
  long fileSize;
  int width, height, model, frames, delta;
  VidFrameEntry* table;
  int current, last;  // last frame shown, -1 after open
  uint16_t palette[256];
  uint8_t* image;     // the whole file after vidLoad, else null
  uint8_t* frame;     // current frame, width x height indices
  uint8_t* previous;  // the frame before, for delta decoding
  uint8_t* data;      // frame data as read
  uint8_t* inflated;  // frame data after zlib
};

// A 16-bit surface to draw into.
struct VidTarget {
  uint8_t* pixels;
  int pitch;   // bytes per line
  int width, height;
  int bpp;     // 15 or 16
};

int vidOpen(VidClip* clip, const char* path);
int vidLoad(VidClip* clip);
// Decodes frame and draws it at (x, y) of the current screen.
int vidPutFrame(VidClip* clip, int mode, int frame, int x, int y);
// The same into any 15- or 16-bit surface.
int vidPutFrameTo(VidClip* clip, const VidTarget& target, int mode, int frame, int x, int y);
void vidClose(VidClip* clip);

// Writer for the data tools. Each frame is width x height palette indices;
// palette is required for frame 0 and marks a key frame when given later.
struct VidFrameIn {
  const uint8_t* indices;
  const uint16_t* palette;  // 256 5-6-5 colours, or null
};
// Builds a whole .vid file image. model: VID_MODEL_ZLIB or VID_MODEL_RAW.
// Returns 0, or -1 with a message.
int vidBuild(std::vector<uint8_t>* out, int width, int height, int model, int delta,
             std::span<const VidFrameIn> frames);
int vidWrite(const char* path, int width, int height, int model, int delta,
             std::span<const VidFrameIn> frames);
