// pbtool gsp build, info and frames: PNG pictures to a sprite file and back.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/fixture_bytes.h"
#include "support/testutil.h"

namespace {

RunResult pbtool(const std::vector<std::string>& args) {
  return runProgram(std::string(PB_BIN_DIR) + "/pbtool", args);
}

uint32_t crc32(const std::string& bytes) {
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : bytes) {
    c ^= b;
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
  }
  return ~c;
}

std::string chunk(const std::string& type, const std::string& data) {
  return be32(static_cast<uint32_t>(data.size())) + type + data + be32(crc32(type + data));
}

// An 8-bit RGBA PNG whose pixel data is one stored (uncompressed) deflate block.
std::string rgbaPng(int w, int h, const std::vector<uint32_t>& rgba) {
  std::string raw;
  for (int y = 0; y < h; ++y) {
    raw += '\0';  // filter: none
    for (int x = 0; x < w; ++x) raw += be32(rgba[y * w + x]);
  }
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
  std::string z = "\x78\x01";
  z += '\x01';  // final stored block
  z += le16(static_cast<uint16_t>(raw.size())) + le16(static_cast<uint16_t>(~raw.size()));
  z += raw + be32(b << 16 | a);
  std::string ihdr = be32(w) + be32(h) + std::string("\x08\x06\x00\x00\x00", 5);
  return std::string("\x89PNG\r\n\x1A\n", 8) + chunk("IHDR", ihdr) + chunk("IDAT", z) + chunk("IEND", "");
}

TEST(PbtoolGsp, BuildInfoFramesRoundTrip) {
  TempDir d;
  // Frame 0, 3 x 2: red, clear, green / blue at alpha 100 twice, clear.
  // Frame 1, 1 x 1: one opaque pixel.
  std::filesystem::create_directory(d.file("in"));
  writeFile(d.file("in/f0.png"), rgbaPng(3, 2, {0xF80000FF, 0, 0x00FC00FF, 0x0000F864, 0x0000F864, 0}));
  writeFile(d.file("in/f1.png"), rgbaPng(1, 1, {0x081018FF}));

  RunResult build = pbtool({"gsp", "build", d.file("a.gsp"), "7", d.file("in")});
  ASSERT_EQ(build.exitCode, 0) << build.err;
  EXPECT_EQ(build.out, "");

  // Frame 0's stream: (0, 2, 255, red) (2, 2, 255, green) LF 1
  // (0, 4, 100, blue blue) end = 20 bytes; frame 1: (0, 2, 255, pixel) end = 6.
  RunResult info = pbtool({"gsp", "info", d.file("a.gsp")});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_EQ(info.out,
            "cm\t7\tnumfrms\t2\tmaxfrm\t20\n"
            "frame\t0\t3\t2\t0\t0\t3\t2\t20\n"
            "frame\t1\t1\t1\t0\t0\t1\t1\t6\n");
  EXPECT_EQ(info.err, "");

  RunResult frames = pbtool({"gsp", "frames", d.file("a.gsp"), d.file("out")});
  ASSERT_EQ(frames.exitCode, 0) << frames.err;
  EXPECT_EQ(frames.out, d.file("out") + "/frame-000.png\n" + d.file("out") + "/frame-001.png\n");

  // The pictures taken apart build the same file again, and one picture
  // alone builds a one-frame sprite.
  RunResult again = pbtool({"gsp", "build", d.file("b.gsp"), "7", d.file("out")});
  ASSERT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(readFile(d.file("b.gsp")), readFile(d.file("a.gsp")));
  RunResult one = pbtool({"gsp", "build", d.file("c.gsp"), "2", d.file("out/frame-000.png")});
  ASSERT_EQ(one.exitCode, 0) << one.err;
  // Without run alpha the pixels of alpha 100 are left out: 3 bytes a
  // pixel, (0, 3, red) (3, 3, green) end.
  EXPECT_EQ(pbtool({"gsp", "info", d.file("c.gsp")}).out,
            "cm\t2\tnumfrms\t1\tmaxfrm\t11\n"
            "frame\t0\t3\t2\t0\t0\t3\t1\t11\n");
}

TEST(PbtoolGsp, FailuresPrintNothingAndExitOne) {
  TempDir d;
  writeFile(d.file("f.png"), rgbaPng(1, 1, {0xFFFFFFFF}));
  writeFile(d.file("bad.gsp"), std::string("\xAF\x01\x00\x00", 4));

  RunResult model = pbtool({"gsp", "build", d.file("x.gsp"), "3", d.file("f.png")});
  EXPECT_EQ(model.exitCode, 1);
  EXPECT_EQ(model.out, "");
  EXPECT_EQ(model.err, "pbtool gsp build: colour model '3' is not one of 1, 2, 4, 5, 6, 7\n");
  EXPECT_FALSE(pathExists(d.file("x.gsp")));

  RunResult missing = pbtool({"gsp", "build", d.file("x.gsp"), "7", d.file("none.png")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("pbtool gsp build: can't read frame 0 from '" + d.file("none.png") + "'"),
            std::string::npos)
      << missing.err;

  for (const char* cmd : {"info", "frames"}) {
    std::vector<std::string> args = {"gsp", cmd, d.file("bad.gsp")};
    if (std::string(cmd) == "frames") args.push_back(d.file("out"));
    RunResult r = pbtool(args);
    EXPECT_EQ(r.exitCode, 1) << cmd;
    EXPECT_EQ(r.out, "") << cmd;
    EXPECT_NE(r.err.find("SPR_CREATE_FLAGS(): error opening file '" + d.file("bad.gsp") + "'"),
              std::string::npos)
        << r.err;
  }

  RunResult usage = pbtool({"gsp", "info"});
  EXPECT_EQ(usage.exitCode, 1);
  EXPECT_EQ(usage.err, "usage: pbtool gsp info FILE\n");
}

}  // namespace
