#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/gdev.h"
#include "platform/gdev_texel.h"

namespace {

// The 8-bit channels of a texel in the given order.
void texelChannels(uint32_t t, int order, int* r, int* g, int* b) {
  *g = static_cast<int>(t >> 8 & 0xFF);
  if (order == gdev::TEXEL_XRGB) {
    *r = static_cast<int>(t >> 16 & 0xFF);
    *b = static_cast<int>(t & 0xFF);
  } else {
    *r = static_cast<int>(t & 0xFF);
    *b = static_cast<int>(t >> 16 & 0xFF);
  }
}

// Every 16-bit value (15-bit surfaces too, whose top bit is ignored), laid
// out as 256 rows of 256 pixels, must widen exactly as gdevUnpackRGB widens
// it, and come out opaque.
TEST(TexelConvertTest, SixteenBitPixelsWidenAsUnpackDoes) {
  std::vector<uint8_t> from(65536 * 2);
  for (uint32_t v = 0; v < 65536; ++v) {
    from[2 * v] = static_cast<uint8_t>(v);
    from[2 * v + 1] = static_cast<uint8_t>(v >> 8);
  }
  for (int bits : {15, 16}) {
    for (int order : {gdev::TEXEL_XRGB, gdev::TEXEL_XBGR}) {
      SCOPED_TRACE(testing::Message() << bits << " bits, order " << order);
      gdev::TexelConvertFn convert = gdev::texelConverter(bits, order);
      ASSERT_NE(convert, nullptr);
      std::vector<uint32_t> to(65536, 0);
      convert(from.data(), 256 * 2, reinterpret_cast<uint8_t*>(to.data()), 256 * 4, 256, 256);
      const GdevPixelFormat* format = gdevDefaultFormat(bits);
      int failures = 0;
      for (uint32_t v = 0; v < 65536 && failures < 5; ++v) {
        int r, g, b, wr, wg, wb;
        texelChannels(to[v], order, &r, &g, &b);
        gdevUnpackRGB(format, v, &wr, &wg, &wb);
        if (r != wr || g != wg || b != wb || (to[v] >> 24) != 0xFF) {
          ++failures;
          ADD_FAILURE() << "pixel " << std::hex << v << " gave texel " << to[v];
        }
      }
    }
  }
}

TEST(TexelConvertTest, TwentyFourBitPixelsKeepTheirChannels) {
  // A sample that walks every value of each byte position with the others
  // varying: blue, green, red bytes in memory order.
  constexpr int kCount = 4096;
  std::vector<uint8_t> from(kCount * 3);
  std::vector<uint32_t> values(kCount);
  uint32_t x = 0x12345u;
  for (int i = 0; i < kCount; ++i) {
    x = x * 1103515245u + 12345u;
    uint32_t v = (i < 256 ? static_cast<uint32_t>(i) * 0x010101u : (x >> 4)) & 0xFFFFFFu;
    values[i] = v;
    from[3 * i] = static_cast<uint8_t>(v);
    from[3 * i + 1] = static_cast<uint8_t>(v >> 8);
    from[3 * i + 2] = static_cast<uint8_t>(v >> 16);
  }
  for (int order : {gdev::TEXEL_XRGB, gdev::TEXEL_XBGR}) {
    SCOPED_TRACE(order);
    gdev::TexelConvertFn convert = gdev::texelConverter(24, order);
    ASSERT_NE(convert, nullptr);
    std::vector<uint32_t> to(kCount, 0);
    convert(from.data(), 64 * 3, reinterpret_cast<uint8_t*>(to.data()), 64 * 4, 64, kCount / 64);
    int failures = 0;
    for (int i = 0; i < kCount && failures < 5; ++i) {
      int r, g, b, wr, wg, wb;
      texelChannels(to[i], order, &r, &g, &b);
      gdevUnpackRGB(&GDEV_FORMAT_888, values[i], &wr, &wg, &wb);
      if (r != wr || g != wg || b != wb || (to[i] >> 24) != 0xFF) {
        ++failures;
        ADD_FAILURE() << "pixel " << std::hex << values[i] << " gave texel " << to[i];
      }
    }
  }
}

// A block inside larger surfaces: only its rows and columns are written, the
// rest of the target keeps what it held, and each side's pitch is honoured.
TEST(TexelConvertTest, ConvertsOnlyTheBlockAskedFor) {
  for (int bits : {15, 16, 24}) {
    SCOPED_TRACE(bits);
    const int bytes = bits == 24 ? 3 : 2;
    const int fromPitch = 13 * bytes + 3, toPitch = 11 * 4;
    std::vector<uint8_t> from(static_cast<size_t>(fromPitch) * 9);
    for (size_t i = 0; i < from.size(); ++i) from[i] = static_cast<uint8_t>(i * 7 + 1);
    std::vector<uint32_t> to(11 * 9, 0xDEADBEEFu);
    const int left = 2, top = 3, w = 5, h = 4;
    gdev::texelConverter(bits, gdev::TEXEL_XRGB)(
        from.data() + top * fromPitch + left * bytes, fromPitch,
        reinterpret_cast<uint8_t*>(to.data()) + top * toPitch + left * 4, toPitch, w, h);
    const GdevPixelFormat* format = gdevDefaultFormat(bits);
    for (int y = 0; y < 9; ++y) {
      for (int x = 0; x < 11; ++x) {
        uint32_t got = to[static_cast<size_t>(y) * 11 + static_cast<size_t>(x)];
        if (x < left || x >= left + w || y < top || y >= top + h) {
          EXPECT_EQ(got, 0xDEADBEEFu) << x << "," << y;
          continue;
        }
        const uint8_t* p = from.data() + y * fromPitch + x * bytes;
        uint32_t v = p[0] | static_cast<uint32_t>(p[1]) << 8 | (bytes == 3 ? static_cast<uint32_t>(p[2]) << 16 : 0);
        int r, g, b;
        gdevUnpackRGB(format, v, &r, &g, &b);
        EXPECT_EQ(got, 0xFF000000u | static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 |
                           static_cast<uint32_t>(b))
            << x << "," << y;
      }
    }
  }
}

TEST(TexelConvertTest, NoConverterForOtherDepthsOrOrders) {
  EXPECT_EQ(gdev::texelConverter(8, gdev::TEXEL_XRGB), nullptr);
  EXPECT_EQ(gdev::texelConverter(32, gdev::TEXEL_XRGB), nullptr);
  EXPECT_EQ(gdev::texelConverter(16, gdev::TEXEL_ORDERS), nullptr);
  EXPECT_EQ(gdev::texelConverter(16, -1), nullptr);
}

}  // namespace
