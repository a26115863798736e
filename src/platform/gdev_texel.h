#pragma once
// Conversion of surface pixels (15, 16 and 24 bits) to the 32-bit texels of
// the window's texture. Each channel is widened exactly as gdevUnpackRGB
// widens it (shifted up, low bits zero), so packing a texel back into the
// surface's format gives the surface pixel again.
#include <cstdint>

namespace gdev {

// Where the channels lie in a 32-bit texel; the top byte is always 0xFF.
enum TexelOrder {
  TEXEL_XRGB,  // red at bit 16, blue at bit 0
  TEXEL_XBGR,  // red at bit 0, blue at bit 16
  TEXEL_ORDERS
};

// Converts a width x height block: rows of `from` are fromPitch bytes apart,
// rows of `to` toPitch bytes apart (4-byte aligned).
using TexelConvertFn = void (*)(const uint8_t* from, int fromPitch, uint8_t* to, int toPitch,
                                int width, int height);

// The converter for surfaces of bitsPerPixel (15, 16 or 24) into texels of
// `order`; null for any other depth or order.
TexelConvertFn texelConverter(int bitsPerPixel, int order);

}  // namespace gdev
