// pbtool fnp build and info: a font made from glyph pictures and named
// characters, Cyrillic included.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pngio.h"
#include "support/testutil.h"

namespace {

RunResult pbtool(const std::vector<std::string>& args) {
  return runProgram(std::string(PB_BIN_DIR) + "/pbtool", args);
}

TEST(PbtoolFnp, BuildThenInfo) {
  TempDir d;
  std::vector<std::string> glyphs;
  for (int w : {3, 5, 4}) {
    std::vector<uint8_t> rgba(static_cast<size_t>(w) * 7 * 4, 255);
    std::string path = d.file("g" + std::to_string(w) + ".png");
    ASSERT_TRUE(pngWriteRGBA(path.c_str(), w, 7, rgba.data()));
    glyphs.push_back(path);
  }
  std::vector<std::string> args = {"fnp", "build", d.file("f.fnp"), "7", "AЖ1"};
  args.insert(args.end(), glyphs.begin(), glyphs.end());
  RunResult build = pbtool(args);
  ASSERT_EQ(build.exitCode, 0) << build.err;
  EXPECT_EQ(build.out, "");

  RunResult info = pbtool({"fnp", "info", d.file("f.fnp")});
  EXPECT_EQ(info.exitCode, 0) << info.err;
  // 'Ж' is 0xC6 (198) in Windows-1251; the map lines come in code order.
  EXPECT_EQ(info.out,
            "cm\t7\tnumfrms\t3\tlineheight\t7\n"
            "glyph\t0\t3\t7\n"
            "glyph\t1\t5\t7\n"
            "glyph\t2\t4\t7\n"
            "map\t49\t2\n"
            "map\t65\t0\n"
            "map\t198\t1\n");

  RunResult mismatch = pbtool({"fnp", "build", d.file("x.fnp"), "7", "AB", glyphs[0]});
  EXPECT_EQ(mismatch.exitCode, 1);
  EXPECT_NE(mismatch.err.find("2 characters but 1 glyph pictures"), std::string::npos);

  RunResult plain = pbtool({"fnp", "info", glyphs[0]});
  EXPECT_EQ(plain.exitCode, 1);
  EXPECT_EQ(plain.out, "");
}

}  // namespace
