// The bounds-checked byte reader and the appending writer: byte order of
// every width, the sticky failure at the exact end of the bytes, sub-spans,
// and patching fields in place.
#include "core/bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace {

constexpr std::array<uint8_t, 9> kSeq = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xF0};

// Usable in constant expressions: a header can be decoded at compile time.
constexpr uint32_t secondWordBe() {
  ByteReader r = brOpen(kSeq);
  brSkip(&r, 4);
  return brBe<uint32_t>(&r);
}
static_assert(secondWordBe() == 0x05060708u);

TEST(Bytes, ReadsEveryWidthInBothByteOrders) {
  ByteReader r = brOpen(kSeq);
  EXPECT_EQ(brU8(&r), 0x01);
  EXPECT_EQ(brLe<uint16_t>(&r), 0x0302);
  EXPECT_EQ(brBe<uint16_t>(&r), 0x0405);
  EXPECT_EQ(brLe<uint32_t>(&r), 0xF0080706u);
  EXPECT_TRUE(brOk(&r));

  r = brOpen(kSeq);
  EXPECT_EQ(brLe<uint64_t>(&r), 0x0807060504030201u);
  r = brOpen(kSeq);
  EXPECT_EQ(brBe<uint64_t>(&r), 0x0102030405060708u);
  r = brOpen(kSeq);
  EXPECT_EQ(brBe<uint32_t>(&r), 0x01020304u);

  // Signed values are the two's complement of the same bits.
  const uint8_t neg[] = {0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x80};
  r = brOpen(neg);
  EXPECT_EQ(brLe<int16_t>(&r), -2);
  EXPECT_EQ(brBe<int16_t>(&r), -1);
  EXPECT_EQ(brLe<int32_t>(&r), static_cast<int32_t>(0x80FFFFFFu));
  r = brOpen(neg);
  EXPECT_EQ(brLe<int64_t>(&r), std::numeric_limits<int64_t>::min() + 0x00FFFFFFFFFFFFFE);
  r = brOpen(neg);
  EXPECT_EQ(brLe<int8_t>(&r), -2);
}

TEST(Bytes, FloatingPointIsLittleEndianIeee) {
  const uint8_t half[] = {0, 0, 0, 0, 0, 0, 0xE0, 0x3F};
  const uint8_t one[] = {0, 0, 0x80, 0x3F};
  ByteReader r = brOpen(half);
  EXPECT_EQ(brF64le(&r), 0.5);
  r = brOpen(one);
  EXPECT_EQ(brF32le(&r), 1.0f);
  // Every bit is kept, a NaN's payload and the sign of zero included.
  const uint8_t nan[] = {0x21, 0x43, 0x65, 0x87, 0x09, 0x00, 0xF8, 0xFF};
  r = brOpen(nan);
  double d = brF64le(&r);
  EXPECT_TRUE(std::isnan(d));
  EXPECT_EQ(std::bit_cast<uint64_t>(d), 0xFFF8000987654321u);
  std::vector<uint8_t> out;
  bwF64le(&out, d);
  bwF64le(&out, -0.0);
  bwF32le(&out, 1.0f);
  std::vector<uint8_t> want(nan, nan + 8);
  want.insert(want.end(), {0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0, 0x80, 0x3F});
  EXPECT_EQ(out, want);
}

TEST(Bytes, AReadEndingAtTheEndSucceedsOneByteFurtherFailsForGood) {
  // Each way of consuming bytes, asked for exactly what is left and then for
  // one byte more than is left.
  struct Case {
    const char* name;
    bool (*consume)(ByteReader* r, size_t n);  // true when the reader is still good
  };
  const Case cases[] = {
      {"span", [](ByteReader* r, size_t n) { return brSpan(r, n).size() == n && brOk(r); }},
      {"skip", [](ByteReader* r, size_t n) { return brSkip(r, n); }},
      {"seek", [](ByteReader* r, size_t n) { return brSeek(r, r->pos + n); }},
      {"copy",
       [](ByteReader* r, size_t n) {
         uint8_t buf[16];
         std::fill(buf, buf + 16, uint8_t{0xAA});
         bool ok = brCopy(r, buf, n);
         // A failed copy leaves zeros, never stale bytes.
         for (size_t i = 0; i < n && !ok; i++)
           if (buf[i] != 0) return true;
         return ok;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ByteReader r = brOpen(kSeq);
    brSkip(&r, 3);
    EXPECT_TRUE(c.consume(&r, 6));  // bytes 3..8: up to the end exactly
    EXPECT_TRUE(brOk(&r));
    EXPECT_EQ(r.pos, 9u);
    EXPECT_EQ(brRemaining(&r), 0u);

    r = brOpen(kSeq);
    brSkip(&r, 3);
    EXPECT_FALSE(c.consume(&r, 7));  // one byte past the end
    EXPECT_FALSE(brOk(&r));
    EXPECT_EQ(r.pos, 3u);  // the failed read moved nothing
    EXPECT_EQ(brRemaining(&r), 0u);
    // Sticky: bytes are still there, but every later read fails with 0.
    EXPECT_EQ(brU8(&r), 0);
    EXPECT_EQ(brLe<uint32_t>(&r), 0u);
    EXPECT_FALSE(brSeek(&r, 0));
    EXPECT_EQ(brBe<uint16_t>(&r), 0);
    EXPECT_TRUE(brSpan(&r, 0).empty());
    EXPECT_FALSE(brOk(&r));
  }
}

TEST(Bytes, FieldsCutByTheEndReadAsZero) {
  for (size_t size = 0; size <= 4; size++) {
    ByteReader r = brOpen(std::span<const uint8_t>(kSeq.data(), size));
    uint32_t v = brLe<uint32_t>(&r);
    EXPECT_EQ(brOk(&r), size == 4) << size;
    EXPECT_EQ(v, size == 4 ? 0x04030201u : 0u) << size;
  }
  ByteReader r = brOpen(kSeq);
  EXPECT_TRUE(brSeek(&r, 9));  // the end itself is a position
  EXPECT_FALSE(brSeek(&r, 10));
  r = brOpen(kSeq);
  EXPECT_FALSE(brSkip(&r, SIZE_MAX));  // no wrap-around of the position
  EXPECT_EQ(r.pos, 0u);
}

TEST(Bytes, SubSpansViewTheBytesAndMoveThePosition) {
  ByteReader r = brOpen(kSeq);
  brSeek(&r, 2);
  std::span<const uint8_t> s = brSpan(&r, 3);
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s.data(), kSeq.data() + 2);  // a view, not a copy
  EXPECT_EQ(r.pos, 5u);
  EXPECT_EQ(brU8(&r), 0x06);
  // A sub-span is read with a reader of its own, bounded by its own end.
  ByteReader inner = brOpen(s);
  EXPECT_EQ(brLe<uint16_t>(&inner), 0x0403);
  EXPECT_EQ(brLe<uint16_t>(&inner), 0);
  EXPECT_FALSE(brOk(&inner));
  EXPECT_TRUE(brOk(&r));
  EXPECT_EQ(brRemaining(&r), 3u);
  // An empty span keeps the reader good.
  EXPECT_TRUE(brSpan(&r, 0).empty());
  EXPECT_TRUE(brOk(&r));
}

TEST(Bytes, WriterAppendsWhatTheReaderReads) {
  std::vector<uint8_t> out = {0xEE};
  bwU8(&out, 0x01);
  bwLe<uint16_t>(&out, 0x0302);
  bwBe<uint16_t>(&out, 0x0405);
  bwLe<int32_t>(&out, -2);
  bwBe<uint32_t>(&out, 0x0A0B0C0D);
  bwLe<uint64_t>(&out, 0x1122334455667788u);
  bwBe<int64_t>(&out, -3);
  const uint8_t raw[] = {'x', 'y'};
  bwBytes(&out, raw, 2);
  bwBytes(&out, std::span<const uint8_t>(raw, 1));
  const std::vector<uint8_t> want = {0xEE, 0x01, 0x02, 0x03, 0x04, 0x05, 0xFE, 0xFF, 0xFF, 0xFF,
                                     0x0A, 0x0B, 0x0C, 0x0D, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33,
                                     0x22, 0x11, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFD,
                                     'x',  'y',  'x'};
  ASSERT_EQ(out, want);

  ByteReader r = brOpen(out);
  brSkip(&r, 1);
  EXPECT_EQ(brU8(&r), 0x01);
  EXPECT_EQ(brLe<uint16_t>(&r), 0x0302);
  EXPECT_EQ(brBe<uint16_t>(&r), 0x0405);
  EXPECT_EQ(brLe<int32_t>(&r), -2);
  EXPECT_EQ(brBe<uint32_t>(&r), 0x0A0B0C0Du);
  EXPECT_EQ(brLe<uint64_t>(&r), 0x1122334455667788u);
  EXPECT_EQ(brBe<int64_t>(&r), -3);
  uint8_t back[3];
  EXPECT_TRUE(brCopy(&r, back, 3));
  EXPECT_EQ(back[2], 'x');
  EXPECT_EQ(brRemaining(&r), 0u);
  EXPECT_TRUE(brOk(&r));
}

TEST(Bytes, PatchingStaysInsideTheVector) {
  std::vector<uint8_t> out(6, 0);
  EXPECT_TRUE(bwPatchLe<uint32_t>(&out, 2, 0xA1B2C3D4));  // the last place a word fits
  EXPECT_EQ(out, (std::vector<uint8_t>{0, 0, 0xD4, 0xC3, 0xB2, 0xA1}));
  EXPECT_TRUE(bwPatchBe<uint16_t>(&out, 0, 0x0102));
  EXPECT_EQ(out, (std::vector<uint8_t>{1, 2, 0xD4, 0xC3, 0xB2, 0xA1}));
  const std::vector<uint8_t> before = out;
  EXPECT_FALSE(bwPatchLe<uint32_t>(&out, 3, 0));  // one byte over the end
  EXPECT_FALSE(bwPatchBe<uint16_t>(&out, 5, 0));
  EXPECT_FALSE(bwPatchLe<uint8_t>(&out, 6, 0));
  EXPECT_FALSE(bwPatchLe<uint8_t>(&out, SIZE_MAX, 0));
  EXPECT_EQ(out, before);
}

}  // namespace
