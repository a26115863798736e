// Sprites: loading and refusing .gsp files, conversion to the screen's format,
// the blitters' arithmetic at 15, 16 and 24 bits, clipping, clones and
// background grabs, and the writer/decoder round trip.
#include "gfx/sprite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/text.h"
#include "gfx/gspwrite.h"
#include "gfx/screen.h"
#include "support/fixture_bytes.h"
#include "support/testutil.h"

namespace {

// ---------------------------------------------------------------------------
// Hand-made sprite files
// ---------------------------------------------------------------------------

struct RawFrame {
  int width, height, x0, x1, y0, y1;
  std::string stream;
};

struct Gsp {
  int cm = GSP_CM_565_ALPHA;
  std::vector<RawFrame> frames;
  int version = GSP_VERSION;
  int64_t numfrms = -1;  // -1: the number of frames
  int64_t maxfrm = -1;   // -1: the largest stream
  std::string header;    // replaces the whole header section when not empty
  bool withHeader = true;
};

std::string packOf(const std::vector<std::pair<int32_t, std::string>>& sections) {
  std::string dir = be16(0xAF01) + be16(static_cast<unsigned>(sections.size())), data;
  uint32_t offs = static_cast<uint32_t>(4 + 13 * sections.size());
  for (const auto& [id, bytes] : sections) {
    dir += char(1) + be32(static_cast<uint32_t>(id)) + be32(offs) + be32(static_cast<uint32_t>(bytes.size()));
    offs += static_cast<uint32_t>(bytes.size());
    data += bytes;
  }
  return dir + data;
}

std::string bytesOf(const Gsp& g) {
  std::vector<std::pair<int32_t, std::string>> sections;
  size_t largest = 0;
  for (const RawFrame& f : g.frames) largest = std::max(largest, f.stream.size());
  if (g.withHeader) {
    std::string h = g.header;
    if (h.empty()) {
      h = be16(static_cast<unsigned>(g.version)) + char(g.cm) +
          be32(static_cast<uint32_t>(g.numfrms < 0 ? int64_t(g.frames.size()) : g.numfrms)) +
          be32(static_cast<uint32_t>(g.maxfrm < 0 ? int64_t(largest) : g.maxfrm));
    }
    sections.push_back({pfSectionId("gsphdr"), h});
  }
  for (size_t i = 0; i < g.frames.size(); ++i) {
    const RawFrame& f = g.frames[i];
    sections.push_back({static_cast<int32_t>(i), be16(f.width) + be16(f.height) + be16(f.x0) + be16(f.x1) +
                                                     be16(f.y0) + be16(f.y1) + f.stream});
  }
  return packOf(sections);
}

Sprite* loadMem(const Gsp& g, const char* name = "test", int flags = 0) {
  std::string b = bytesOf(g);
  return SPR_CREATE_MEM(b.data(), b.size(), name, flags);
}

// Stream pieces.
const std::string END = "\xFF";
std::string lf(int rows) { return std::string("\xFE") + char(rows); }
// A run behind a skip (both in bytes); alpha < 0: no alpha byte.
std::string run(int skip, const std::string& pixels, int alpha = -1) {
  std::string s{char(skip), char(pixels.size())};
  if (alpha >= 0 && !pixels.empty()) s += char(alpha);
  return s + pixels;
}
// One pixel value as `bytes` little-endian bytes.
std::string px(int bytes, uint32_t v) {
  std::string s;
  for (int k = 0; k < bytes; ++k) s += char(v >> (8 * k));
  return s;
}

// ---------------------------------------------------------------------------
// Screens over our own memory
// ---------------------------------------------------------------------------

int bytesFor(int bpp) { return bpp == 15 ? 2 : bpp / 8; }

// Channels in the depth's own widths (5-bit, 6-bit or 8-bit values).
uint32_t rgb(int bpp, uint32_t r, uint32_t g, uint32_t b) {
  switch (bpp) {
    case 15: return r << 10 | g << 5 | b;
    case 16: return r << 11 | g << 5 | b;
    default: return r << 16 | g << 8 | b;
  }
}

// The colour model whose file format is the depth's.
int modelFor(int bpp, bool alpha) {
  switch (bpp) {
    case 15: return alpha ? GSP_CM_555_ALPHA : GSP_CM_555;
    case 16: return alpha ? GSP_CM_565_ALPHA : GSP_CM_565;
    default: return alpha ? GSP_CM_888_ALPHA : GSP_CM_888;
  }
}

constexpr GdevPixelFormat kFormat32 = {0xFF, 0xFF, 0xFF, 0xFF, 16, 8, 0, 24, 0, 0, 0, 0};

// A w x h screen made current for the object's lifetime. Rows have four
// bytes of padding filled with 0xEE that no blitter may touch; the depth
// plane starts at 1000 (everything passes), the transparency plane at 0.
struct Screen {
  static constexpr int kPad = 4;
  gscr g{};
  std::vector<uint8_t> pixels;
  std::vector<uint16_t> depth;
  std::vector<uint8_t> plane;
  gscr* previous;

  Screen(int bpp, int w, int h) {
    int bytes = bytesFor(bpp);
    g.width = w, g.height = h;
    g.clipX = 0, g.clipY = 0, g.clipW = w, g.clipH = h;
    g.bpp = bpp;
    g.bytesPerPixel = bytes;
    g.pitch = w * bytes + kPad;
    g.pixelFormat = bpp == 32 ? kFormat32 : *gdevDefaultFormat(bpp);
    pixels.assign(static_cast<size_t>(g.pitch) * h, 0);
    depth.assign(static_cast<size_t>(w) * h, 1000);
    plane.assign(static_cast<size_t>(w) * h, 0);
    g.pixels = pixels.data();
    g.zbuf = depth.data();
    g.alpha = plane.data();
    fill(0);
    previous = gsCurrent;
    gsCurrent = &g;
  }
  ~Screen() { gsCurrent = previous; }
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  uint8_t* at(int x, int y) { return pixels.data() + static_cast<size_t>(y) * g.pitch + x * g.bytesPerPixel; }
  uint32_t get(int x, int y) {
    uint32_t v = 0;
    for (int k = 0; k < g.bytesPerPixel; ++k) v |= uint32_t(at(x, y)[k]) << (8 * k);
    return v;
  }
  void set(int x, int y, uint32_t v) {
    for (int k = 0; k < g.bytesPerPixel; ++k) at(x, y)[k] = uint8_t(v >> (8 * k));
  }
  // Every pixel v, the padding 0xEE.
  void fill(uint32_t v) {
    for (int y = 0; y < g.height; ++y) {
      for (int x = 0; x < g.width; ++x) set(x, y, v);
      for (int k = 0; k < kPad; ++k) at(g.width, y)[k] = 0xEE;
    }
  }
  uint16_t& z(int x, int y) { return depth[static_cast<size_t>(y) * g.width + x]; }
  uint8_t& t(int x, int y) { return plane[static_cast<size_t>(y) * g.width + x]; }
};

class SpriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logReset();
    gsBuildBlendTable();
  }
  void TearDown() override {
    SPR_FREE_ALL();
    logReset();
  }
  static int validCount() {
    int n = 0;
    for (const Sprite& s : SPRITES) n += s.inUse;
    return n;
  }
};

// ---------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------

TEST_F(SpriteTest, LoadsFramesAndZeroesEmptyBoxes) {
  Screen screen(16, 8, 4);
  Gsp g;
  g.maxfrm = 2;  // smaller than the streams: raised to the largest
  g.frames = {{6, 3, 1, 4, 0, 2, run(2, px(2, 0x1234), 255) + END},
              {5, 2, 3, 3, 0, 2, run(0, px(2, 0xBEEF), 255) + END}};  // x0 == x1
  Sprite* s = loadMem(g, "two frames");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s, &SPRITES[0]);
  EXPECT_STREQ(s->name, "two frames");
  EXPECT_EQ(s->cm, GSP_CM_565_ALPHA);
  EXPECT_EQ(s->numfrms, 2);
  EXPECT_EQ(s->maxfrm, 6);
  EXPECT_EQ(s->alpha, 1);
  const SprFrame& f0 = s->frames[0];
  EXPECT_EQ((std::vector<int>{f0.width, f0.height, f0.x0, f0.y0, f0.x1, f0.y1, f0.size}),
            (std::vector<int>{6, 3, 1, 0, 4, 2, 6}));
  const SprFrame& f1 = s->frames[1];
  EXPECT_EQ((std::vector<int>{f1.width, f1.height, f1.x0, f1.y0, f1.x1, f1.y1}),
            (std::vector<int>{5, 2, 0, 0, 0, 0}));

  // The zeroed box still draws its stream, from column 0.
  ASSERT_EQ(SPR_PUT_COMMON(s, 1, 2, 1), 0);
  EXPECT_EQ(screen.get(2, 1), 0xBEEFu);
  EXPECT_EQ(screen.get(5, 1), 0u);
  ASSERT_EQ(SPR_PUT_COMMON(s, 0, 2, 2), 0);  // x0 1 plus a skip of one pixel
  EXPECT_EQ(screen.get(4, 2), 0x1234u);
}

TEST_F(SpriteTest, RefusesDamagedFilesAndLeavesTheRecordFree) {
  TempDir dir;
  Screen screen(16, 4, 4);
  const std::string ok = run(0, px(2, 1), 255) + END;  // 6 bytes
  auto withFrame = [&](const std::string& stream, int cm = GSP_CM_565_ALPHA) {
    Gsp g;
    g.cm = cm;
    g.frames = {{2, 1, 0, 1, 0, 1, stream}};
    return g;
  };
  auto edited = [&](auto edit) {
    Gsp g = withFrame(ok);
    edit(g);
    return bytesOf(g);
  };
  struct Case {
    const char* what;
    std::string bytes;
    std::string message;
    bool damagedFrame;  // reported as "damaged frame 0 in '<path>': ..."
  };
  std::vector<Case> cases = {
      {"old version", edited([](Gsp& g) { g.version = 0xBF02; }),
       "SPR_CREATE(): invalid header version 0xBF02, reader version is 0xBF03\n", false},
      {"no frames", edited([](Gsp& g) { g.numfrms = 0; }),
       "SPR_CREATE(): invalid header information (numfrm-0 maxfrm-6)\n", false},
      {"maxfrm 0", edited([](Gsp& g) { g.maxfrm = 0; }),
       "SPR_CREATE(): invalid header information (numfrm-1 maxfrm-0)\n", false},
      {"negative count", edited([](Gsp& g) { g.numfrms = 0x80000001; }),
       "SPR_CREATE(): invalid header information (numfrm--2147483647 maxfrm-6)\n", false},
      {"absurd maxfrm", edited([](Gsp& g) { g.maxfrm = 0x7FFFFFFF; }),
       "SPR_CREATE(): invalid header information (numfrm-1 maxfrm-2147483647)\n", false},
      {"more frames than sections", edited([](Gsp& g) { g.numfrms = 3; }),
       "claims 3 frames, its directory has 1 frame sections\n", false},
      {"no header", edited([](Gsp& g) { g.withHeader = false; }),
       "SPR_CREATE(): couldn't select header section 'gsphdr'\n", false},
      {"short header", edited([](Gsp& g) { g.header = std::string("\xBF\x03\x07\x00\x00", 5); }),
       "SPR_CREATE(): error reading the GSP header\n", false},
      {"unknown model", bytesOf(withFrame(ok, 3)), "SPR_CREATE(): unknown colour model 3 in '", false},
      {"no end code", bytesOf(withFrame(run(0, px(2, 1), 255))), "no end code in 5 bytes\n", true},
      {"run past the end", bytesOf(withFrame(std::string("\x00\x04\xFF\x01\x00", 5) + END)),
       "run of 4 bytes at byte 0 goes past the stream end (6 bytes)\n", true},
      {"odd skip", bytesOf(withFrame(run(3, px(2, 1), 255) + END)),
       "skip of 3 bytes at byte 0 is not whole pixels\n", true},
      {"odd run", bytesOf(withFrame(std::string("\x00\x03\xFF\x01\x02\x03", 6) + END)),
       "run of 3 bytes at byte 0 is not whole pixels\n", true},
      {"run of 254", bytesOf(withFrame(std::string("\x00\xFE", 2) + END)),
       "run of 254 bytes at byte 0 is longer than 253\n", true},
      {"line feed without count", bytesOf(withFrame(ok.substr(0, 5) + "\xFE")),
       "line feed at byte 5 has no count\n", true},
      {"run without length", bytesOf(withFrame(std::string("\x02", 1))), "run at byte 0 has no length\n", true},
      {"run without alpha", bytesOf(withFrame(std::string("\x00\x02", 2))), "run at byte 0 has no alpha byte\n",
       true},
  };
  {
    std::string deep, wide;
    for (int i = 0; i < 258; ++i) deep += lf(255);
    for (int i = 0; i < 521; ++i) wide += std::string("\xFC\x00", 2);  // skips of 252 bytes, empty runs
    cases.push_back({"too deep", bytesOf(withFrame(deep + END)), "line feed at byte 514 goes below row 65535\n", true});
    cases.push_back({"too wide", bytesOf(withFrame(wide + END)), "run at byte 1040 goes beyond column 65535\n", true});
  }
  {
    // Frame 1's section carries id 7: the count fits the directory, the id is missing.
    Gsp g = withFrame(ok);
    g.frames.push_back({1, 1, 0, 1, 0, 1, ok});
    std::string b = bytesOf(g);
    b.replace(4 + 13 * 2 + 1, 4, be32(7));
    cases.push_back({"missing frame section", b, "SPR_CREATE(): couldn't select section of frame 1\n", false});
  }
  {
    // Frame 0's section cut to 8 bytes, shorter than its header.
    std::string b = edited([](Gsp& g) {
      g.frames[0].stream.clear();
      g.maxfrm = 1;
    });
    b.replace(4 + 13 + 9, 4, be32(8));
    cases.push_back({"frame shorter than its header", b, "section of 8 bytes has no room for the 12-byte header\n",
                     true});
  }

  const std::string path = dir.file("bad.gsp");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeFile(path, c.bytes);
    StderrCapture err;
    EXPECT_EQ(SPR_CREATE(path.c_str()), nullptr);
    std::string log = err.finish();
    EXPECT_NE(log.find(c.message), std::string::npos) << log;
    if (c.damagedFrame) {
      EXPECT_NE(log.find("SPR_CREATE(): damaged frame 0 in '" + path + "': "), std::string::npos) << log;
    }
    EXPECT_EQ(validCount(), 0);
  }

  StderrCapture err;
  EXPECT_EQ(SPR_CREATE(dir.file("none.gsp").c_str()), nullptr);
  EXPECT_NE(err.finish().find("SPR_CREATE(): error opening file '" + dir.file("none.gsp") + "'\n"),
            std::string::npos);
}

TEST_F(SpriteTest, LoadingNeedsAScreenUnlessRaw) {
  Gsp g;
  g.frames = {{1, 1, 0, 1, 0, 1, run(0, px(2, 7), 255) + END}};
  ASSERT_EQ(gsCurrent, nullptr);
  StderrCapture err;
  EXPECT_EQ(loadMem(g), nullptr);
  EXPECT_EQ(err.finish(), "SPR_CREATE_MEM(): gsCurrent is NULL, SE\n");
  Sprite* raw = loadMem(g, "raw", SPR_LOAD_RAW);
  ASSERT_NE(raw, nullptr);
  EXPECT_TRUE(gdevFormatEqual(&raw->pixelFormat, &GDEV_FORMAT_565));
}

TEST_F(SpriteTest, SlotsRunOutAtTheTableSize) {
  Screen screen(16, 2, 2);
  Gsp g;
  g.frames = {{1, 1, 0, 1, 0, 1, run(0, px(2, 7), 255) + END}};
  std::string b = bytesOf(g);
  for (int i = 0; i < SPR_MAX; ++i) ASSERT_NE(SPR_CREATE_MEM(b.data(), b.size(), "s", 0), nullptr) << i;
  StderrCapture err;
  EXPECT_EQ(SPR_CREATE_MEM(b.data(), b.size(), "s", 0), nullptr);
  EXPECT_EQ(err.finish(), "SPR_CREATE_MEM(): no free slots in SPRITES[], all 8192 occupied\n");
  // A freed record is the first one reused.
  ASSERT_EQ(SPR_FREE(&SPRITES[17]), 0);
  EXPECT_EQ(SPR_CREATE_MEM(b.data(), b.size(), "again", 0), &SPRITES[17]);
}

// ---------------------------------------------------------------------------
// Conversion
// ---------------------------------------------------------------------------

TEST_F(SpriteTest, ConversionSplitsLongSkipsAndRuns) {
  // 126 pixels of 5-5-5 are 252 bytes; at 3 bytes a pixel they are 378,
  // more than 252: the skip becomes (252, 0) and 126, the run 252 + 126
  // bytes, both chunks with the run's alpha.
  Screen screen(24, 300, 2);
  std::string pixels;
  for (int i = 0; i < 126; ++i) pixels += px(2, rgb(15, 31, 16, 1));
  Gsp g;
  g.cm = GSP_CM_555_ALPHA;
  g.frames = {{300, 1, 0, 252, 0, 1, run(252, pixels, 77) + END}};
  Sprite* s = loadMem(g);
  ASSERT_NE(s, nullptr);
  std::string p24;
  for (int i = 0; i < 84; ++i) p24 += "\x08\x80\xF8";  // blue 1<<3, green 16<<3, red 31<<3
  std::string expected = std::string("\xFC\x00", 2) + "\x7E\xFC\x4D" + p24 + std::string("\x00\x7E\x4D", 3) +
                         p24.substr(0, 126) + END;
  const SprFrame& f = s->frames[0];
  EXPECT_EQ(std::string(reinterpret_cast<char*>(f.stream), f.size), expected);
  EXPECT_EQ(s->bytesPerPixel, 3);
  EXPECT_GE(s->maxfrm, f.size);  // a clone's buffer holds the converted stream

  // Drawn, the 126 pixels land behind the 126-pixel skip.
  ASSERT_EQ(SPR_PUT_ALPHA(s, 0, 0, 1), 0);  // alpha 77 over black
  EXPECT_EQ(screen.get(125, 1), 0u);
  uint32_t blended = rgb(24, 248 * 77 / 255, 128 * 77 / 255, 8 * 77 / 255);
  EXPECT_EQ(screen.get(126, 1), blended);
  EXPECT_EQ(screen.get(251, 1), blended);
  EXPECT_EQ(screen.get(252, 1), 0u);
}

TEST_F(SpriteTest, ConvertsPixelsChannelByChannel) {
  struct Case {
    int cm, bpp;
    uint32_t in, out;
  };
  const Case cases[] = {
      {GSP_CM_888, 16, rgb(24, 200, 100, 50), rgb(16, 25, 25, 6)},  // 8 bits cut to 5-6-5
      {GSP_CM_565, 15, rgb(16, 31, 63, 31), rgb(15, 31, 31, 31)},
      {GSP_CM_555, 24, rgb(15, 1, 2, 31), rgb(24, 8, 16, 248)},     // low bits not filled
      {GSP_CM_555, 32, rgb(15, 31, 0, 4), rgb(24, 248, 0, 32)},     // 4 bytes, reserved 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cm * 100 + c.bpp);
    Screen screen(c.bpp, 3, 1);
    Gsp g;
    g.cm = c.cm;
    g.frames = {{2, 1, 0, 2, 0, 1, run(gspModelBytes(c.cm), px(gspModelBytes(c.cm), c.in)) + END}};
    Sprite* s = loadMem(g);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->bytesPerPixel, bytesFor(c.bpp));
    ASSERT_EQ(SPR_PUT_COMMON(s, 0, 0, 0), 0);
    EXPECT_EQ(screen.get(0, 0), 0u);
    EXPECT_EQ(screen.get(1, 0), c.out);
    SPR_FREE(s);
  }
}

TEST_F(SpriteTest, SameFormatIsNotRewritten) {
  Screen screen(16, 2, 2);
  Gsp g;
  g.frames = {{1, 1, 0, 1, 0, 1, run(0, px(2, 0x4321), 9) + END}};
  Sprite* s = loadMem(g);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(s->frames[0].stream), s->frames[0].size),
            g.frames[0].stream);
  EXPECT_EQ(SPR_CONVERT(s), 0);  // already in the screen's format
  EXPECT_EQ(std::string(reinterpret_cast<char*>(s->frames[0].stream), s->frames[0].size),
            g.frames[0].stream);
}

// ---------------------------------------------------------------------------
// Blitter arithmetic
// ---------------------------------------------------------------------------

// One source and one screen pixel per depth, and what every blitter makes of
// them, worked out by hand from T[i][j] = floor(i * j / 255):
//   alpha a:      T[a][s] + T[255 - a][d]
//   malpha a:     (d * (255 - a) + s * a) / 255
//   zx behind:    k = (a * t) >> 8, then T[k][s] + T[255 - k][d]
//   add a:        min(d + T[a][s], channel maximum)
struct Golden {
  int bpp;
  uint32_t s[3], d[3];
  uint32_t alpha100[3];   // a = 100
  uint32_t malpha100[3];  // a = 100
  uint32_t zx128[3];      // behind the table, t = 128, a = 255: k = 127
  uint32_t zx200[3];      // behind the table, t = 200, a = 100: k = 78
  uint32_t add255[3];     // a = 255 (and sprites without run alpha)
  uint32_t add100[3];
};

const Golden kGolden[] = {
    // 15 bits: s (20, 25, 10), d (10, 5, 30).
    //   alpha:  T[100][20] + T[155][10] = 7 + 6 = 13; T[100][25] + T[155][5] = 9 + 3 = 12;
    //           T[100][10] + T[155][30] = 3 + 18 = 21
    //   malpha: (1550 + 2000) / 255 = 13; (775 + 2500) / 255 = 12; (4650 + 1000) / 255 = 22
    //   zx128:  T[127][20] + T[128][10] = 9 + 5; T[127][25] + T[128][5] = 12 + 2; T[127][10] + T[128][30] = 4 + 15
    //   add:    min(10 + 20, 31) = 30, 5 + 25 = 30, min(30 + 10, 31) = 31
    {15, {20, 25, 10}, {10, 5, 30}, {13, 12, 21}, {13, 12, 22}, {14, 14, 19}, {12, 10, 23}, {30, 30, 31}, {17, 14, 31}},
    // 16 bits: s (20, 40, 10), d (10, 20, 30); green is six bits (maximum 63).
    {16, {20, 40, 10}, {10, 20, 30}, {13, 27, 21}, {13, 27, 22}, {14, 29, 19}, {12, 25, 23}, {30, 60, 31}, {17, 35, 31}},
    // 24 bits: s (200, 100, 50), d (140, 80, 230); add saturates red and blue at 255.
    //   alpha:  T[100][200] + T[155][140] = 78 + 85 = 163; 39 + 48 = 87; 19 + 139 = 158
    {24, {200, 100, 50}, {140, 80, 230}, {163, 87, 158}, {163, 87, 159}, {169, 89, 139}, {158, 85, 174},
     {255, 180, 255}, {218, 119, 249}},
};

class BlitArithmetic : public SpriteTest, public ::testing::WithParamInterface<Golden> {
 protected:
  // A one-pixel sprite of s with run alpha a (a < 0: a model without run alpha).
  Sprite* pixelSprite(int a) {
    const Golden& c = GetParam();
    int cm = modelFor(c.bpp, a >= 0);
    int bytes = gspModelBytes(cm);
    Gsp g;
    g.cm = cm;
    g.frames = {{1, 1, 0, 1, 0, 1, run(0, px(bytes, value(c.s)), a) + END}};
    return loadMem(g);
  }
  uint32_t value(const uint32_t (&ch)[3]) const { return rgb(GetParam().bpp, ch[0], ch[1], ch[2]); }
};

TEST_P(BlitArithmetic, EveryBlitterAgainstHandComputedPixels) {
  const Golden& c = GetParam();
  Screen screen(c.bpp, 4, 3);
  Sprite* s100 = pixelSprite(100);
  Sprite* s255 = pixelSprite(255);
  Sprite* plain = pixelSprite(-1);
  ASSERT_TRUE(s100 && s255 && plain);
  const uint32_t d = value(c.d), src = value(c.s);

  // Draws with fn at (1, 1) over d and returns the pixel; the neighbours
  // must stay d.
  auto draw = [&](auto fn) {
    screen.fill(d);
    EXPECT_EQ(fn(), 0);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 4; ++x) {
        if (x != 1 || y != 1) {
          EXPECT_EQ(screen.get(x, y), d) << x << "," << y;
        }
      }
    }
    return screen.get(1, 1);
  };
  auto zAt = [&](uint16_t depth, uint8_t plane) {
    screen.z(1, 1) = depth;
    screen.t(1, 1) = plane;
  };

  EXPECT_EQ(draw([&] { return SPR_PUT_COMMON(s100, 0, 1, 1); }), src);
  EXPECT_EQ(draw([&] { return SPR_PUT_ALPHA(s100, 0, 1, 1); }), value(c.alpha100));
  EXPECT_EQ(draw([&] { return SPR_PUT_ALPHA(s255, 0, 1, 1); }), src);
  EXPECT_EQ(draw([&] { return SPR_PUT_ALPHA(plain, 0, 1, 1); }), src);
  if (c.bpp != 24) {
    EXPECT_EQ(draw([&] { return SPR_PUT_MALPHA(s100, 0, 1, 1); }), value(c.malpha100));
    EXPECT_EQ(draw([&] { return SPR_PUT_MALPHA(s255, 0, 1, 1); }), src);
  }

  // Depth: 100 over a table depth of 100 fails, over 101 passes; negative
  // depths are nearer than anything.
  zAt(100, 0);
  EXPECT_EQ(draw([&] { return SPR_PUT_ZCOMMON(s100, 0, 1, 1, 100); }), d);
  EXPECT_EQ(draw([&] { return SPR_PUT_ZXALPHA(s100, 0, 1, 1, 100); }), d);
  EXPECT_EQ(draw([&] { return SPR_ADD_ZALPHA(s255, 0, 1, 1, 100); }), d);
  EXPECT_EQ(draw([&] { return SPR_PUT_ZCOMMON(s100, 0, 1, 1, 0xFFFF); }), src);  // -1 as 16 bits
  zAt(101, 0);
  EXPECT_EQ(draw([&] { return SPR_PUT_ZCOMMON(s100, 0, 1, 1, 100); }), src);
  EXPECT_EQ(draw([&] { return SPR_PUT_ZXALPHA(s100, 0, 1, 1, 100); }), value(c.alpha100));
  EXPECT_EQ(draw([&] { return SPR_PUT_ZXALPHA(s255, 0, 1, 1, 100); }), src);
  EXPECT_EQ(draw([&] { return SPR_ADD_ZALPHA(s255, 0, 1, 1, 100); }), value(c.add255));
  EXPECT_EQ(draw([&] { return SPR_ADD_ZALPHA(plain, 0, 1, 1, 100); }), value(c.add255));
  EXPECT_EQ(draw([&] { return SPR_ADD_ZALPHA(s100, 0, 1, 1, 100); }), value(c.add100));

  // Behind the table the transparency plane decides.
  zAt(50, 0);
  EXPECT_EQ(draw([&] { return SPR_PUT_ZXALPHA(s255, 0, 1, 1, 100); }), d);
  zAt(50, 128);
  EXPECT_EQ(draw([&] { return SPR_PUT_ZXALPHA(s255, 0, 1, 1, 100); }), value(c.zx128));
  zAt(50, 200);
  EXPECT_EQ(draw([&] { return SPR_PUT_ZXALPHA(s100, 0, 1, 1, 100); }), value(c.zx200));
  EXPECT_EQ(draw([&] { return SPR_ADD_ZALPHA(s255, 0, 1, 1, 100); }), d);
  EXPECT_EQ(draw([&] { return SPR_PUT_ZCOMMON(s255, 0, 1, 1, 100); }), d);

  // The variants of this depth agree with the dispatching names.
  zAt(101, 0);
  if (c.bpp == 15) {
    EXPECT_EQ(draw([&] { return SPR_PUT_ALPHA15(s100, 0, 1, 1); }), value(c.alpha100));
    EXPECT_EQ(draw([&] { return SPR_PUT_MALPHA15(s100, 0, 1, 1); }), value(c.malpha100));
    EXPECT_EQ(draw([&] { return SPR_PUT_ZXALPHA15(s100, 0, 1, 1, 100); }), value(c.alpha100));
    EXPECT_EQ(draw([&] { return SPR_ADD_ZALPHA15(s100, 0, 1, 1, 100); }), value(c.add100));
  } else if (c.bpp == 16) {
    EXPECT_EQ(draw([&] { return SPR_PUT_ALPHA16(s100, 0, 1, 1); }), value(c.alpha100));
    EXPECT_EQ(draw([&] { return SPR_PUT_MALPHA16(s100, 0, 1, 1); }), value(c.malpha100));
    EXPECT_EQ(draw([&] { return SPR_PUT_ZXALPHA16(s100, 0, 1, 1, 100); }), value(c.alpha100));
    EXPECT_EQ(draw([&] { return SPR_ADD_ZALPHA16(s100, 0, 1, 1, 100); }), value(c.add100));
  } else {
    EXPECT_EQ(draw([&] { return SPR_PUT_ALPHA24(s100, 0, 1, 1); }), value(c.alpha100));
    EXPECT_EQ(draw([&] { return SPR_PUT_ZXALPHA24(s100, 0, 1, 1, 100); }), value(c.alpha100));
    EXPECT_EQ(draw([&] { return SPR_ADD_ZALPHA24(s100, 0, 1, 1, 100); }), value(c.add100));
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, BlitArithmetic, ::testing::ValuesIn(kGolden),
                         [](const auto& info) { return std::to_string(info.param.bpp) + "bpp"; });

TEST_F(SpriteTest, VariantsRefuseScreensOfAnotherDepth) {
  Screen screen(16, 2, 2);
  Gsp g;
  g.frames = {{1, 1, 0, 1, 0, 1, run(0, px(2, 0x1111), 100) + END}};
  Sprite* s = loadMem(g);
  ASSERT_NE(s, nullptr);
  StderrCapture err;
  EXPECT_EQ(SPR_PUT_ALPHA15(s, 0, 0, 0), -1);
  EXPECT_EQ(SPR_ADD_ZALPHA24(s, 0, 0, 0, 0), -1);
  EXPECT_EQ(err.finish(), "SPR_PUT_ALPHA15(): gsCurrent is 16 bpp, SE\nSPR_ADD_ZALPHA24(): gsCurrent is 16 bpp, SE\n");
  EXPECT_EQ(screen.get(0, 0), 0u);
}

TEST_F(SpriteTest, AlphaBlittersAt32BitsLogAndLeaveTheScreen) {
  Screen screen(32, 3, 2);
  Gsp g;
  g.cm = GSP_CM_888_ALPHA;
  g.frames = {{1, 1, 0, 1, 0, 1, run(0, px(3, 0x102030), 100) + END}};
  Sprite* s = loadMem(g);
  ASSERT_NE(s, nullptr);
  screen.fill(0x00445566);
  StderrCapture err;
  EXPECT_EQ(SPR_PUT_ALPHA(s, 0, 1, 1), 0);
  EXPECT_EQ(SPR_PUT_MALPHA(s, 0, 1, 1), 0);
  EXPECT_EQ(SPR_PUT_ZXALPHA(s, 0, 1, 1, 0), 0);
  EXPECT_EQ(SPR_ADD_ZALPHA(s, 0, 1, 1, 0), 0);
  EXPECT_EQ(err.finish(),
            "SPR_PUT_ALPHA(): alpha blending for 32 bpp is not implemented yet\n"
            "SPR_PUT_MALPHA(): malpha blending for 32 bpp is not implemented yet\n"
            "SPR_PUT_ZXALPHA(): zx-alpha blending for 32 bpp is not implemented yet\n"
            "SPR_ADD_ZALPHA(): z-alpha blending for 32 bpp is not implemented yet\n");
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(screen.get(x, y), 0x00445566u);
  }
  // The plain copy works at any depth.
  EXPECT_EQ(SPR_PUT_COMMON(s, 0, 1, 1), 0);
  EXPECT_EQ(screen.get(1, 1), 0x102030u);
  // At 24 bits the mirrored blend is not implemented either.
  Screen s24(24, 2, 2);
  Sprite* t = loadMem(g);
  ASSERT_NE(t, nullptr);
  StderrCapture err24;
  EXPECT_EQ(SPR_PUT_MALPHA(t, 0, 0, 0), 0);
  EXPECT_EQ(err24.finish(), "SPR_PUT_MALPHA(): malpha blending for 24 bpp is not implemented yet\n");
  EXPECT_EQ(s24.get(0, 0), 0u);
}

TEST_F(SpriteTest, BadArgumentsAreSoftwareErrors) {
  Screen screen(16, 2, 2);
  Gsp g;
  g.frames = {{1, 1, 0, 1, 0, 1, run(0, px(2, 1), 255) + END}};
  Sprite* s = loadMem(g);
  ASSERT_NE(s, nullptr);
  Sprite outside{};
  char buf[512];
  {
    StderrCapture err;
    EXPECT_EQ(SPR_PUT_COMMON(s, 1, 0, 0), -1);
    EXPECT_EQ(SPR_ADD_ZALPHA(s, -1, 0, 0, 0), -1);
    EXPECT_EQ(err.finish(),
              "SPR_PUT_COMMON(): invalid frame 1 (max 0)\n\nSPR_ADD_ZALPHA(): invalid frame -1 (max 0)\n\n");
  }
  {
    StderrCapture err;
    EXPECT_EQ(SPR_PUT_ALPHA(&outside, 0, 0, 0), -1);
    std::snprintf(buf, sizeof buf, "SPR_PUT_ALPHA(): invalid sprite address %p, not in [%p..%p], SE\n",
                  static_cast<void*>(&outside), static_cast<void*>(&SPRITES[0]),
                  static_cast<void*>(&SPRITES[SPR_MAX - 1]));
    EXPECT_EQ(err.finish(), buf);
  }
  {
    // An address inside the table that is not a record's start.
    StderrCapture err;
    auto* inside = reinterpret_cast<Sprite*>(reinterpret_cast<char*>(&SPRITES[3]) + 8);
    EXPECT_EQ(SPR_FREE(inside), -1);
    EXPECT_NE(err.finish().find("SPR_FREE(): invalid sprite address"), std::string::npos);
  }
  ASSERT_EQ(SPR_FREE(s), 0);
  {
    StderrCapture err;
    EXPECT_EQ(SPR_PUT_MCOMMON(s, 0, 0, 0), -1);
    std::snprintf(buf, sizeof buf, "SPR_PUT_MCOMMON(): sprite %p ('') is not valid, SE\n", static_cast<void*>(s));
    EXPECT_EQ(err.finish(), buf);
  }
  // A sprite loaded for another screen format is not drawn.
  Sprite* raw = loadMem(g, "raw", SPR_LOAD_RAW);
  Screen s24(24, 2, 2);
  StderrCapture err;
  EXPECT_EQ(SPR_PUT_COMMON(raw, 0, 0, 0), -1);
  EXPECT_NE(err.finish().find("is not in the screen's pixel format, SE"), std::string::npos);
  // Depth-tested blitters need the depth plane.
  s24.g.zbuf = nullptr;
  g.cm = GSP_CM_888_ALPHA;
  g.frames[0].stream = run(0, px(3, 1), 255) + END;
  Sprite* t = loadMem(g);
  ASSERT_NE(t, nullptr);
  StderrCapture err2;
  EXPECT_EQ(SPR_PUT_ZXALPHA(t, 0, 0, 0, 0), -1);
  EXPECT_NE(err2.finish().find("SPR_PUT_ZXALPHA(): gsCurrent"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Clipping
// ---------------------------------------------------------------------------

// A sprite of 7 x 4 whose box is (2, 1)..(6, 4): the stream first moves one
// row down, then draws
//   row 1: A A A A
//   row 2: . A A .
//   row 3: A . . A
// with a different value in every pixel.
struct Shape {
  static constexpr int kWidth = 7, kX0 = 2, kY0 = 1;
  static constexpr const char* kMask[3] = {"XXXX", ".XX.", "X..X"};
  static uint32_t value(int bpp, int i, int j) { return rgb(bpp, 1 + i + 4 * j, 2 + j, 3 + i); }

  static Gsp gsp(int bpp) {
    int cm = modelFor(bpp, true), b = gspModelBytes(cm);
    auto p = [&](int i, int j) { return px(b, value(bpp, i, j)); };
    Gsp g;
    g.cm = cm;
    g.frames = {{kWidth, 4, kX0, 6, kY0, 4,
                 lf(1) + run(0, p(0, 0) + p(1, 0) + p(2, 0) + p(3, 0), 255) + lf(1) +
                     run(b, p(1, 1) + p(2, 1), 255) + lf(1) + run(0, p(0, 2), 255) + run(2 * b, p(3, 2), 255) +
                     std::string("\x00\x00", 2) + END}};
    return g;
  }
};

enum Kind { COMMON, MCOMMON, ZCOMMON, ALPHA, MALPHA, ZXALPHA, ADDZ };
struct KindInfo {
  Kind kind;
  const char* name;
  bool mirrored, lastColumnOut;
};
const KindInfo kKinds[] = {
    {COMMON, "COMMON", false, false}, {MCOMMON, "MCOMMON", true, false}, {ZCOMMON, "ZCOMMON", false, true},
    {ALPHA, "ALPHA", false, false},   {MALPHA, "MALPHA", true, false},   {ZXALPHA, "ZXALPHA", false, true},
    {ADDZ, "ADD_ZALPHA", false, true},
};

int put(Kind k, Sprite* s, int x, int y) {
  switch (k) {
    case COMMON: return SPR_PUT_COMMON(s, 0, x, y);
    case MCOMMON: return SPR_PUT_MCOMMON(s, 0, x, y);
    case ZCOMMON: return SPR_PUT_ZCOMMON(s, 0, x, y, 5);
    case ALPHA: return SPR_PUT_ALPHA(s, 0, x, y);
    case MALPHA: return SPR_PUT_MALPHA(s, 0, x, y);
    case ZXALPHA: return SPR_PUT_ZXALPHA(s, 0, x, y, 5);
    case ADDZ: return SPR_ADD_ZALPHA(s, 0, x, y, 5);
  }
  return -1;
}

// Every blitter at positions crossing each edge of the clip rectangle (and a
// clip rectangle larger than the screen) against a pixel-by-pixel model; the
// row padding never changes.
TEST_F(SpriteTest, RunsAreClippedAtEveryEdge) {
  struct Clip {
    int x, y, w, h;
  };
  const Clip clips[] = {{2, 1, 6, 5}, {-3, -2, 100, 100}, {0, 0, 10, 8}};
  for (int bpp : {15, 16, 24}) {
    Screen screen(bpp, 10, 8);
    Sprite* s = loadMem(Shape::gsp(bpp));
    ASSERT_NE(s, nullptr);
    for (const KindInfo& k : kKinds) {
      if (k.kind == MALPHA && bpp == 24) continue;
      for (const Clip& c : clips) {
        screen.g.clipX = c.x, screen.g.clipY = c.y, screen.g.clipW = c.w, screen.g.clipH = c.h;
        int right = std::min(c.x + c.w - (k.lastColumnOut ? 1 : 0), 10), bottom = std::min(c.y + c.h, 8);
        for (int y = -6; y <= 10; ++y) {
          for (int x = -9; x <= 12; ++x) {
            screen.fill(0);
            std::vector<uint32_t> want(80, 0);
            for (int j = 0; j < 3; ++j) {
              for (int i = 0; i < 4; ++i) {
                if (Shape::kMask[j][i] != 'X') continue;
                int col = Shape::kX0 + i;
                int X = x + (k.mirrored ? Shape::kWidth - 1 - col : col), Y = y + Shape::kY0 + j;
                if (X >= std::max(c.x, 0) && X < right && Y >= std::max(c.y, 0) && Y < bottom) {
                  want[Y * 10 + X] = Shape::value(bpp, i, j);
                }
              }
            }
            ASSERT_EQ(put(k.kind, s, x, y), 0);
            bool same = true;
            for (int Y = 0; Y < 8 && same; ++Y) {
              for (int X = 0; X < 10; ++X) same = same && screen.get(X, Y) == want[Y * 10 + X];
              for (int p = 0; p < Screen::kPad; ++p) same = same && screen.at(10, Y)[p] == 0xEE;
            }
            ASSERT_TRUE(same) << k.name << " " << bpp << "bpp at (" << x << "," << y << ") clip (" << c.x << ","
                              << c.y << "," << c.w << "," << c.h << ")";
          }
        }
      }
    }
  }
}

TEST_F(SpriteTest, FarOffScreenDrawsNothing) {
  for (int bpp : {15, 16, 24}) {
    Screen screen(bpp, 8, 6);
    Sprite* s = loadMem(Shape::gsp(bpp));
    ASSERT_NE(s, nullptr);
    const std::pair<int, int> positions[] = {
        {-100000, 0},  {0, 1000000}, {INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}, {INT_MAX, 0},
        {0, INT_MAX},  {INT_MIN, 2}, {3, INT_MIN},       {-7, 2},            {2, -5},
        {8, 2},        {2, 6},
    };
    for (const KindInfo& k : kKinds) {
      if (k.kind == MALPHA && bpp == 24) continue;
      for (auto [x, y] : positions) {
        screen.fill(0);
        ASSERT_EQ(put(k.kind, s, x, y), 0);
        for (int Y = 0; Y < 6; ++Y) {
          for (int X = 0; X < 8; ++X) ASSERT_EQ(screen.get(X, Y), 0u) << k.name << " at " << x << "," << y;
        }
      }
    }
    SPR_FREE(s);
  }
}

TEST_F(SpriteTest, RunsFarFromTheFrameStartStillLand) {
  // Two (252, 0) pairs and a skip of 96 bytes put the pixel 300 columns to
  // the right of x0 at 16 bits.
  Screen screen(16, 8, 2);
  Gsp g;
  g.frames = {{320, 1, 0, 301, 0, 1,
               std::string("\xFC\x00\xFC\x00", 4) + run(96, px(2, 0x7777), 255) + END}};
  Sprite* s = loadMem(g);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->frames[0].reachX, 301);
  ASSERT_EQ(SPR_PUT_COMMON(s, 0, -297, 1), 0);
  EXPECT_EQ(screen.get(3, 1), 0x7777u);
  // Mirrored, column 300 of a 320-wide frame lands at x + 19.
  ASSERT_EQ(SPR_PUT_MCOMMON(s, 0, -14, 0), 0);
  EXPECT_EQ(screen.get(5, 0), 0x7777u);
}

// ---------------------------------------------------------------------------
// Clones and background grabs
// ---------------------------------------------------------------------------

TEST_F(SpriteTest, GrabSavesTheBackgroundAndDrawsItBack) {
  Screen screen(16, 10, 8);
  auto background = [&] {
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 10; ++x) screen.set(x, y, uint32_t(0x1000 + 16 * y + x));
    }
  };
  Sprite* donor = loadMem(Shape::gsp(16), "donor");
  ASSERT_NE(donor, nullptr);
  Sprite* clone = SPR_CLONE(donor);
  ASSERT_NE(clone, nullptr);
  EXPECT_STREQ(clone->name, "clone");
  EXPECT_EQ(clone->donor, donor);
  EXPECT_EQ(clone->maxfrm, donor->maxfrm);
  EXPECT_EQ(clone->numfrms, 1);

  background();
  ASSERT_EQ(SPR_GET(clone, 0, 3, 2), 0);
  // Same codes, the alpha bytes dropped, the screen's pixels in the runs.
  auto bg = [](int x, int y) { return px(2, uint32_t(0x1000 + 16 * y + x)); };
  std::string expected = lf(1) + std::string("\x00\x08", 2) + bg(5, 3) + bg(6, 3) + bg(7, 3) + bg(8, 3) + lf(1) +
                         std::string("\x02\x04", 2) + bg(6, 4) + bg(7, 4) + lf(1) + std::string("\x00\x02", 2) +
                         bg(5, 5) + std::string("\x04\x02", 2) + bg(8, 5) + std::string("\x00\x00", 2) + END;
  const SprFrame& f = clone->frames[0];
  EXPECT_EQ(std::string(reinterpret_cast<char*>(f.stream), f.size), expected);
  EXPECT_EQ((std::vector<int>{f.width, f.height, f.x0, f.y0, f.x1, f.y1}), (std::vector<int>{7, 4, 2, 1, 6, 4}));

  // Grabs at the edges and far away: drawing the donor and then the clone
  // at the same place restores the screen.
  for (auto [x, y] : std::vector<std::pair<int, int>>{{3, 2}, {-4, -2}, {7, 6}, {-5, 5}, {8, -3}, {-100000, 3}, {2, INT_MAX}}) {
    background();
    ASSERT_EQ(SPR_GET(clone, 0, x, y), 0);
    ASSERT_EQ(SPR_PUT_ALPHA(donor, 0, x, y), 0);
    ASSERT_EQ(SPR_PUT_COMMON(clone, 0, x, y), 0);
    for (int Y = 0; Y < 8; ++Y) {
      for (int X = 0; X < 10; ++X) ASSERT_EQ(screen.get(X, Y), uint32_t(0x1000 + 16 * Y + X)) << x << "," << y;
    }
  }

  StderrCapture err;
  EXPECT_EQ(SPR_GET(clone, 1, 0, 0), -1);
  EXPECT_EQ(SPR_GET(donor, 0, 0, 0), -1);
  EXPECT_EQ(err.finish(), "SPR_GET(): invalid frame 1 (max 0)\nSPR_GET(): sprite " +
                              std::string(strFormat("%p", static_cast<void*>(donor))) +
                              " ('donor') is not a clone, SE\n");
}

TEST_F(SpriteTest, FreshClonesDrawNothingAndRecloneKeepsTheRecord) {
  Screen screen(16, 4, 4);
  Sprite* donor = loadMem(Shape::gsp(16), "donor");
  Sprite* clone = SPR_CLONE(donor);
  ASSERT_NE(clone, nullptr);
  screen.fill(0x5555);
  ASSERT_EQ(SPR_PUT_COMMON(clone, 0, 0, 0), 0);
  EXPECT_EQ(screen.get(0, 1), 0x5555u);

  Gsp big = Shape::gsp(16);
  big.maxfrm = 500;
  Sprite* other = loadMem(big, "other");
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(SPR_RECLONE(clone, other), clone);
  EXPECT_EQ(clone->donor, other);
  EXPECT_EQ(clone->maxfrm, 500);
  EXPECT_EQ(SPR_GET(clone, 0, 0, 0), 0);

  // A donor record reused by a bigger sprite no longer fits the clone.
  Sprite* small = SPR_CLONE(donor);
  ASSERT_EQ(SPR_FREE(donor), 0);
  Gsp wide = Shape::gsp(16);
  wide.frames[0].stream = std::string(200, '\0') + wide.frames[0].stream;  // 100 empty runs
  ASSERT_EQ(loadMem(wide, "wide"), donor);
  StderrCapture err;
  EXPECT_EQ(SPR_GET(small, 0, 0, 0), -1);
  EXPECT_NE(err.finish().find("does not fit frame 0 of 'wide'"), std::string::npos);
}

TEST_F(SpriteTest, ListShowsEveryValidSprite) {
  Screen screen(16, 2, 2);
  Sprite* a = loadMem(Shape::gsp(16), "a.gsp");
  Sprite* c = SPR_CLONE(a);
  ASSERT_TRUE(a && c);
  StderrCapture err;
  SPR_LIST();
  std::string want = "--- SPR_LIST(2 valid of 8192 total) ---\n";
  want += strFormat("spr-%p ('a.gsp')   cm-7 numfrms-1 maxfrm-%d frames-%p donor-%p\n", static_cast<void*>(a),
                    a->maxfrm, static_cast<void*>(a->frames), static_cast<void*>(nullptr));
  want += strFormat("spr-%p ('clone')   cm-7 numfrms-1 maxfrm-%d frames-%p donor-%p ('a.gsp')\n",
                    static_cast<void*>(c), c->maxfrm, static_cast<void*>(c->frames), static_cast<void*>(a));
  EXPECT_EQ(err.finish(), want);
}

// ---------------------------------------------------------------------------
// Writer and decoder
// ---------------------------------------------------------------------------

struct Rgba {
  uint8_t r, g, b, a;
};

TEST_F(SpriteTest, WriterEncodesRunsSkipsAndTheBox) {
  // 4 x 2: row 0 has two opaque pixels after a transparent one, row 1 one
  // pixel of alpha 90. Colour model 7: 5-6-5 with run alpha.
  const Rgba t{0, 0, 0, 0}, a{248, 0, 8, 255}, b{0, 252, 0, 90};
  const Rgba pic[8] = {t, a, a, t, b, t, t, t};
  GspFrameImage frame{4, 2, reinterpret_cast<const uint8_t*>(pic), 0, 0};
  std::vector<uint8_t> bytes;
  ASSERT_EQ(gspEncode(GSP_CM_565_ALPHA, {&frame, 1}, &bytes), 0);
  std::string stream = std::string("\x02\x04\xFF", 3) + px(2, 0xF801) + px(2, 0xF801) + lf(1) +
                       std::string("\x00\x02\x5A", 3) + px(2, 0x07E0) + END;
  Gsp want;
  want.frames = {{4, 2, 0, 3, 0, 2, stream}};
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), bytesOf(want));

  // Without run alpha the pixel of alpha 90 is left out, and so is its row.
  ASSERT_EQ(gspEncode(GSP_CM_565, {&frame, 1}, &bytes), 0);
  Gsp plain;
  plain.cm = GSP_CM_565;
  plain.frames = {{4, 2, 1, 3, 0, 1, std::string("\x00\x04", 2) + px(2, 0xF801) + px(2, 0xF801) + END}};
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), bytesOf(plain));

  StderrCapture err;
  EXPECT_EQ(gspEncode(3, {&frame, 1}, &bytes), -1);
  GspFrameImage far{4, 2, reinterpret_cast<const uint8_t*>(pic), 65533, 0};
  EXPECT_EQ(gspEncode(GSP_CM_565, {&far, 1}, &bytes), -1);
  EXPECT_EQ(err.finish(),
            "gspEncode(): unknown colour model 3\ngspEncode(): frame 0 reaches 65537x2 pixels, more than 65535\n");
}

// A 300 x 5 picture with a run of 140 pixels and a gap of 130 (both longer
// than one count byte holds), runs of two alphas, and an empty first row;
// channels are multiples of 8 so that every model keeps them.
std::vector<Rgba> roundTripPicture() {
  std::vector<Rgba> pic(300 * 5, Rgba{0, 0, 0, 0});
  auto at = [&](int x, int y) -> Rgba& { return pic[y * 300 + x]; };
  for (int x = 0; x < 140; ++x) at(x + 5, 1) = Rgba{uint8_t(8 * (x % 32)), uint8_t(8 * (x % 29)), 248, 255};
  for (int x = 275; x < 278; ++x) at(x, 1) = Rgba{8, 16, 24, 200};
  for (int x = 278; x < 280; ++x) at(x, 1) = Rgba{32, 40, 48, 90};
  at(299, 3) = Rgba{248, 248, 248, 255};
  at(0, 4) = Rgba{0, 0, 0, 128};
  return pic;
}

TEST_F(SpriteTest, WriterLoaderDecoderRoundTripInEveryModel) {
  const std::vector<Rgba> pic = roundTripPicture();
  const GspFrameImage frames[2] = {{300, 5, reinterpret_cast<const uint8_t*>(pic.data()), 2, 1},
                                   {300, 5, reinterpret_cast<const uint8_t*>(pic.data()), 0, 0}};
  for (int cm : {1, 2, 4, 5, 6, 7}) {
    const bool runAlpha = gspModelAlpha(cm);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(gspEncode(cm, frames, &bytes), 0) << cm;
    // Decoded: the kept pixels with their alpha (255 without run alpha),
    // everything else zero, shifted by the origin offset.
    auto expected = [&](int ox, int oy) {
      std::vector<Rgba> want((300 + ox) * (5 + oy), Rgba{0, 0, 0, 0});
      for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 300; ++x) {
          Rgba p = pic[y * 300 + x];
          if (runAlpha ? p.a == 0 : p.a < 128) continue;
          if (!runAlpha) p.a = 255;
          want[(y + oy) * (300 + ox) + x + ox] = p;
        }
      }
      return want;
    };
    auto decoded = [](const Sprite* s, int frame) {
      std::vector<uint8_t> rgba;
      EXPECT_EQ(gspDecodeFrame(s, frame, &rgba), 0);
      std::vector<Rgba> out(rgba.size() / 4);
      std::memcpy(out.data(), rgba.data(), rgba.size());
      return out;
    };
    auto same = [](const std::vector<Rgba>& a, const std::vector<Rgba>& b) {
      return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * 4) == 0;
    };

    Sprite* raw = SPR_CREATE_MEM(bytes.data(), bytes.size(), "rt", SPR_LOAD_RAW);
    ASSERT_NE(raw, nullptr) << cm;
    EXPECT_EQ(raw->cm, cm);
    const SprFrame& f = raw->frames[0];
    EXPECT_EQ((std::vector<int>{f.width, f.height, f.x0, f.y0, f.x1, f.y1}),
              (std::vector<int>{302, 6, 2, 2, 302, 6}))
        << cm;
    EXPECT_TRUE(same(decoded(raw, 0), expected(2, 1))) << cm;
    EXPECT_TRUE(same(decoded(raw, 1), expected(0, 0))) << cm;
    SPR_FREE(raw);

    // Converted to each screen depth the pictures stay the same.
    for (int bpp : {15, 16, 24}) {
      Screen screen(bpp, 4, 4);
      Sprite* s = SPR_CREATE_MEM(bytes.data(), bytes.size(), "rt", 0);
      ASSERT_NE(s, nullptr);
      EXPECT_TRUE(same(decoded(s, 0), expected(2, 1))) << cm << " at " << bpp;
      SPR_FREE(s);
    }
  }
}

TEST_F(SpriteTest, WriterFileLoadsWithSprCreate) {
  TempDir dir;
  Screen screen(16, 4, 4);
  const Rgba pic[1] = {{248, 0, 0, 255}};
  GspFrameImage frame{1, 1, reinterpret_cast<const uint8_t*>(pic), 1, 1};
  ASSERT_EQ(gspWrite(dir.file("one.gsp").c_str(), GSP_CM_565, {&frame, 1}), 0);
  Sprite* s = SPR_CREATE(dir.file("one.gsp").c_str());
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(std::string(s->name), dir.file("one.gsp"));
  ASSERT_EQ(SPR_PUT_COMMON(s, 0, 1, 0), 0);
  EXPECT_EQ(screen.get(2, 1), 0xF800u);
  Sprite* alt = SPR_CREATE_ALT(dir.file("one.gsp").c_str(), "font glyphs");
  ASSERT_NE(alt, nullptr);
  EXPECT_STREQ(alt->name, "font glyphs");
}

}  // namespace
