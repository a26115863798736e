// pbtool vid info and frames on a clip made by the writer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfx/vid.h"
#include "support/testutil.h"

namespace {

RunResult pbtool(const std::vector<std::string>& args) {
  return runProgram(std::string(PB_BIN_DIR) + "/pbtool", args);
}

TEST(PbtoolVid, InfoAndFrames) {
  TempDir d;
  std::vector<uint16_t> pal(256, 0xF800);  // pure red
  std::vector<uint8_t> f0(6, 1), f1(6, 2);
  std::vector<VidFrameIn> frames = {{f0.data(), pal.data()}, {f1.data(), nullptr}};
  ASSERT_EQ(vidWrite(d.file("c.vid").c_str(), 3, 2, VID_MODEL_RAW, 0, frames), 0);

  RunResult info = pbtool({"vid", "info", d.file("c.vid")});
  EXPECT_EQ(info.exitCode, 0) << info.err;
  // Header 18 bytes, table 24; frame 0 is 6 bytes plus its palette.
  EXPECT_EQ(info.out,
            "version\t1\twidth\t3\theight\t2\tmodel\t2\tframes\t2\tdelta\t0\n"
            "frame\t0\t42\t6\t0\n"
            "frame\t1\t560\t6\t0\n");

  RunResult out = pbtool({"vid", "frames", d.file("c.vid"), d.path});
  EXPECT_EQ(out.exitCode, 0) << out.err;
  EXPECT_EQ(out.out, d.file("frame-000.png") + "\n" + d.file("frame-001.png") + "\n");
  EXPECT_EQ(readFile(d.file("frame-001.png")).substr(1, 3), "PNG");

  writeFile(d.file("bad.vid"), std::string("\x02", 1) + std::string(30, '\0'));
  RunResult bad = pbtool({"vid", "info", d.file("bad.vid")});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(bad.out, "");
  EXPECT_NE(bad.err.find("vidOpen(): incorrect video file version 2 (must be 1)"), std::string::npos);
}

}  // namespace
