// Surface pixels to 32-bit texels, one plain loop per row. Only the rows and
// columns asked for are touched, so presenting a few small rectangles costs
// in proportion to their area.
#include "platform/gdev_texel.h"

#include <cstddef>
#include <cstring>

namespace gdev {

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;

// The 16-bit pixel x of a row (surfaces are little-endian, as is the host).
inline uint32_t pixel16(const uint8_t* row, int x) {
  uint16_t p;
  std::memcpy(&p, row + 2 * x, sizeof p);
  return p;
}

// The texel of 8-bit channels in the given order.
template <int Order>
inline uint32_t texel(uint32_t red, uint32_t green, uint32_t blue) {
  if constexpr (Order == TEXEL_XRGB) return kOpaque | red << 16 | green << 8 | blue;
  return kOpaque | blue << 16 | green << 8 | red;
}

// 15 bits: x rrrrr ggggg bbbbb, each channel shifted up by 3; bit 15 is unused.
template <int Order>
void convert555(const uint8_t* from, int fromPitch, uint8_t* to, int toPitch, int width, int height) {
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = from + static_cast<std::ptrdiff_t>(y) * fromPitch;
    auto* dst = reinterpret_cast<uint32_t*>(to + static_cast<std::ptrdiff_t>(y) * toPitch);
    for (int x = 0; x < width; ++x) {
      uint32_t p = pixel16(src, x);
      dst[x] = texel<Order>((p >> 10 & 0x1F) << 3, (p >> 5 & 0x1F) << 3, (p & 0x1F) << 3);
    }
  }
}

// 16 bits: rrrrr gggggg bbbbb; red and blue shifted up by 3, green by 2.
template <int Order>
void convert565(const uint8_t* from, int fromPitch, uint8_t* to, int toPitch, int width, int height) {
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = from + static_cast<std::ptrdiff_t>(y) * fromPitch;
    auto* dst = reinterpret_cast<uint32_t*>(to + static_cast<std::ptrdiff_t>(y) * toPitch);
    for (int x = 0; x < width; ++x) {
      uint32_t p = pixel16(src, x);
      dst[x] = texel<Order>((p >> 11 & 0x1F) << 3, (p >> 5 & 0x3F) << 2, (p & 0x1F) << 3);
    }
  }
}

// 24 bits: the bytes blue, green, red, taken as they are. Four bytes read at
// once hold a pixel in their low three (blue lowest); the last pixel of a row
// is read byte by byte so that no read passes the row's end.
template <int Order>
void convert888(const uint8_t* from, int fromPitch, uint8_t* to, int toPitch, int width, int height) {
  if (width < 1) return;
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = from + static_cast<std::ptrdiff_t>(y) * fromPitch;
    auto* dst = reinterpret_cast<uint32_t*>(to + static_cast<std::ptrdiff_t>(y) * toPitch);
    for (int x = 0; x < width - 1; ++x) {
      uint32_t p;
      std::memcpy(&p, src + 3 * x, sizeof p);
      dst[x] = texel<Order>(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF);
    }
    const uint8_t* last = src + 3 * (width - 1);
    dst[width - 1] = texel<Order>(last[2], last[1], last[0]);
  }
}

struct ConverterKind {
  int bitsPerPixel;
  TexelConvertFn byOrder[TEXEL_ORDERS];
};

constexpr ConverterKind kConverters[] = {
    {15, {convert555<TEXEL_XRGB>, convert555<TEXEL_XBGR>}},
    {16, {convert565<TEXEL_XRGB>, convert565<TEXEL_XBGR>}},
    {24, {convert888<TEXEL_XRGB>, convert888<TEXEL_XBGR>}},
};

}  // namespace

TexelConvertFn texelConverter(int bitsPerPixel, int order) {
  if (order < 0 || order >= TEXEL_ORDERS) return nullptr;
  for (const ConverterKind& kind : kConverters) {
    if (kind.bitsPerPixel == bitsPerPixel) return kind.byOrder[order];
  }
  return nullptr;
}

}  // namespace gdev
