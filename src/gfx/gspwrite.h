#pragma once
// Writing .gsp sprite files from RGBA pictures, and reading a loaded sprite's
// frames back as RGBA: the data tools' side of the sprite format
// (gfx/sprite.h describes the file).
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct Sprite;

// One frame to encode: a picture of width x height RGBA pixels (4 bytes each,
// rows top-down, no padding) whose top-left pixel lies at (originX, originY)
// from the sprite's origin (both >= 0). The frame is originX + width wide and
// originY + height high; mirrored blitters flip it within that width.
struct GspFrameImage {
  int width, height;
  const uint8_t* rgba;
  int originX, originY;
};

// Encodes frames in colour model cm (1, 2, 4, 5, 6 or 7) into the bytes of a
// .gsp pack. Models without run alpha keep the pixels whose alpha is at least
// 128; models with run alpha keep every pixel whose alpha is not 0, and
// neighbouring kept pixels of equal alpha share a run. Channels are cut to
// the model's width (the low bits are dropped). Each frame's box is the
// bounding box of its kept pixels. 0, or -1 after logging.
int gspEncode(int cm, std::span<const GspFrameImage> frames, std::vector<uint8_t>* out);
// gspEncode, then the bytes written to path. 0 or -1.
int gspWrite(const char* path, int cm, std::span<const GspFrameImage> frames);

// Frames larger than this many RGBA bytes (64 Mi pixels) are not decoded.
inline constexpr size_t GSP_MAX_DECODE_BYTES = size_t{256} << 20;

// Draws frame of a loaded sprite (in whatever format its streams are now)
// into width x height RGBA of the frame's size: alpha is the run's alpha, 255
// for sprites without run alpha, 0 where no run covers; channels are widened
// to eight bits without filling the low bits. Pixels a stream places outside
// the frame are left out. 0, or -1 after logging.
int gspDecodeFrame(const Sprite* s, int frame, std::vector<uint8_t>* rgba);
