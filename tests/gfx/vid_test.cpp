// Video clips: writer and reader agree, delta decoding, drawing modes, and
// damaged files refused.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/log.h"
#include "gfx/vid.h"
#include "support/testutil.h"

namespace {

constexpr int W = 4, H = 3;

// A 16-bit surface with a border of untouched pixels around the screen area.
struct Surface {
  int width, height, bpp;
  std::vector<uint16_t> px;
  Surface(int w, int h, int bits = 16) : width(w), height(h), bpp(bits), px(size_t(w) * h, 0xBEEF) {}
  VidTarget target() {
    return {reinterpret_cast<uint8_t*>(px.data()), width * 2, width, height, bpp};
  }
  uint16_t at(int x, int y) const { return px[size_t(y) * width + x]; }
};

// Palette entry i is the colour 0x1000 + i, easy to recognise.
std::vector<uint16_t> palette(uint16_t base = 0x1000) {
  std::vector<uint16_t> p(256);
  for (int i = 0; i < 256; i++) p[i] = static_cast<uint16_t>(base + i);
  return p;
}

std::vector<uint8_t> frameOf(uint8_t seed) {
  std::vector<uint8_t> f(W * H);
  for (int i = 0; i < W * H; i++) f[i] = static_cast<uint8_t>(seed + i);
  return f;
}

struct Fixture : ::testing::Test {
  void SetUp() override {
    logReset();
    logPrint("STDERR 0");
  }
  void TearDown() override { logReset(); }

  std::string write(const std::vector<VidFrameIn>& frames, int model, int delta) {
    std::string path = dir.file("clip.vid");
    EXPECT_EQ(vidWrite(path.c_str(), W, H, model, delta, frames), 0);
    return path;
  }
  // Opens a clip and captures what the log says about the calls in between.
  TempDir dir;
};

using VidTest = Fixture;

TEST_F(VidTest, PlainFramesRoundTripInEveryModel) {
  std::vector<uint16_t> pal = palette();
  std::vector<uint8_t> f0 = frameOf(10), f1 = frameOf(50);
  for (int model : {VID_MODEL_RAW, VID_MODEL_ZLIB}) {
    for (int delta : {0, 1}) {
      SCOPED_TRACE("model " + std::to_string(model) + " delta " + std::to_string(delta));
      std::string path = write({{f0.data(), pal.data()}, {f1.data(), nullptr}}, model, delta);
      VidClip clip;
      ASSERT_EQ(vidOpen(&clip, path.c_str()), 1);
      EXPECT_EQ(clip.frames, 2);
      Surface s(W, H);
      for (int f = 0; f < 2; f++) {
        ASSERT_EQ(vidPutFrameTo(&clip, s.target(), VID_DRAW_PLAIN, f, 0, 0), 1);
        const std::vector<uint8_t>& src = f == 0 ? f0 : f1;
        for (int i = 0; i < W * H; i++) ASSERT_EQ(s.px[i], 0x1000 + src[i]) << "frame " << f;
      }
      vidClose(&clip);
    }
  }
}

TEST_F(VidTest, DeltaRepeatsAndRefusesJumps) {
  std::vector<uint16_t> pal = palette();
  std::vector<uint8_t> f[6];
  for (int i = 0; i < 6; i++) {
    f[i] = frameOf(static_cast<uint8_t>(20 * i));
    f[i][0] = 7;  // a pixel that never changes
  }
  std::vector<VidFrameIn> in;
  for (int i = 0; i < 6; i++) in.push_back({f[i].data(), i == 0 ? pal.data() : nullptr});
  std::string path = write(in, VID_MODEL_ZLIB, 1);
  VidClip clip;
  ASSERT_EQ(vidOpen(&clip, path.c_str()), 1);
  ASSERT_EQ(vidLoad(&clip), 1);

  Surface s(W, H);
  for (int frame : {0, 1, 1, 2}) {
    ASSERT_EQ(vidPutFrameTo(&clip, s.target(), VID_DRAW_PLAIN, frame, 0, 0), 1);
    for (int i = 0; i < W * H; i++) ASSERT_EQ(s.px[i], 0x1000 + f[frame][i]) << frame;
  }
  StderrCapture err;
  logPrint("STDERR 1");
  std::vector<uint16_t> before = s.px;
  EXPECT_EQ(vidPutFrameTo(&clip, s.target(), VID_DRAW_PLAIN, 5, 0, 0), 0);
  EXPECT_EQ(vidPutFrameTo(&clip, s.target(), VID_DRAW_PLAIN, 6, 0, 0), 0);
  logPrint("STDERR 0");
  EXPECT_EQ(err.finish(),
            "vidPutFrame(): frame != (old_frame+1) (5,2)\n"
            "vidPutFrame(): invalid frame number 6 (max 5)\n");
  EXPECT_EQ(s.px, before);
  vidClose(&clip);
}

TEST_F(VidTest, ClipsAtScreenEdgesAndDrawsDots) {
  std::vector<uint16_t> pal = palette();
  std::vector<uint8_t> f0 = frameOf(0);
  std::string path = write({{f0.data(), pal.data()}}, VID_MODEL_RAW, 0);
  VidClip clip;
  ASSERT_EQ(vidOpen(&clip, path.c_str()), 1);

  Surface s(5, 5);
  ASSERT_EQ(vidPutFrameTo(&clip, s.target(), VID_DRAW_PLAIN, 0, -1, -2), 1);
  // Only frame row 2, columns 1..3, lands on screen row 0, columns 0..2.
  for (int x = 0; x < 5; x++)
    for (int y = 0; y < 5; y++) {
      uint16_t want = (y == 0 && x < 3) ? uint16_t(0x1000 + 2 * W + x + 1) : uint16_t(0xBEEF);
      EXPECT_EQ(s.at(x, y), want) << x << "," << y;
    }

  Surface d(12, 9);
  ASSERT_EQ(vidPutFrameTo(&clip, d.target(), VID_DRAW_DOTS, 0, 0, 0), 1);
  for (int y = 0; y < 9; y++)
    for (int x = 0; x < 12; x++) {
      int k = y / 3, c = (x - (k & 1)) / 3;
      bool dot = y % 3 == 0 && x >= (k & 1) && (x - (k & 1)) % 3 == 0 && c < W;
      uint16_t want = dot ? uint16_t(0x1000 + k * W + c) : uint16_t(0xBEEF);
      EXPECT_EQ(d.at(x, y), want) << x << "," << y;
    }
  vidClose(&clip);
}

TEST_F(VidTest, FifteenBitScreenDropsLowestGreenBit) {
  std::vector<uint16_t> pal(256, 0xFFFF);
  pal[1] = 0xF81F | 0x0020;  // red and blue full, only the lowest green bit
  std::vector<uint8_t> f0(W * H, 1);
  std::string path = write({{f0.data(), pal.data()}}, VID_MODEL_RAW, 0);
  VidClip clip;
  ASSERT_EQ(vidOpen(&clip, path.c_str()), 1);
  Surface s(W, H, 15);
  ASSERT_EQ(vidPutFrameTo(&clip, s.target(), VID_DRAW_PLAIN, 0, 0, 0), 1);
  EXPECT_EQ(s.at(0, 0), 0x7C1F);
  vidClose(&clip);
}

TEST_F(VidTest, DamagedFilesAreRefused) {
  std::vector<uint16_t> pal = palette();
  std::vector<uint8_t> f0 = frameOf(0);
  std::vector<uint8_t> good;
  ASSERT_EQ(vidBuild(&good, W, H, VID_MODEL_RAW, 1, std::vector<VidFrameIn>{{f0.data(), pal.data()}}), 0);

  auto patched = [&](size_t at, std::vector<uint8_t> bytes) {
    std::vector<uint8_t> b = good;
    std::copy(bytes.begin(), bytes.end(), b.begin() + at);
    return b;
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* message;
  };
  const Case cases[] = {
      {"short header", std::vector<uint8_t>(good.begin(), good.begin() + 10),
       "error reading header of"},
      {"version 2", patched(0, {2}), "incorrect video file version 2 (must be 1)"},
      {"zero width", patched(1, {0, 0, 0, 0}), "frame size 0x3"},
      {"huge height", patched(5, {0xFF, 0xFF, 0xFF, 0x7F}), "frame size"},
      {"frame count past the file", patched(13, {0xFF, 0xFF, 0xFF, 0xFF}), "frames don't fit"},
      {"frame data past the file", patched(18, {0xF0, 0xFF, 0xFF, 0xFF}), "lies outside the file"},
      {"palette cut off", std::vector<uint8_t>(good.begin(), good.end() - 1), "lies outside the file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = dir.file("bad.vid");
    writeFile(path, std::string(c.bytes.begin(), c.bytes.end()));
    VidClip clip;
    StderrCapture err;
    logPrint("STDERR 1");
    EXPECT_EQ(vidOpen(&clip, path.c_str()), 0);
    logPrint("STDERR 0");
    EXPECT_NE(err.finish().find(c.message), std::string::npos);
    EXPECT_EQ(clip.file, nullptr);
  }

  // A delta code that runs past the frame is refused when the frame is drawn.
  std::vector<uint8_t> b = good;
  b[18 + 12] = 127;  // first code of frame 0: a literal run longer than the frame
  std::string path = dir.file("runs.vid");
  writeFile(path, std::string(b.begin(), b.end()));
  VidClip clip;
  ASSERT_EQ(vidOpen(&clip, path.c_str()), 1);
  Surface s(W, H);
  EXPECT_EQ(vidPutFrameTo(&clip, s.target(), VID_DRAW_PLAIN, 0, 0, 0), 0);
  EXPECT_EQ(s.at(0, 0), 0xBEEF);
  vidClose(&clip);
}

}  // namespace
