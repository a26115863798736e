// pbtool shapes dump and persp through the real binary: shape files written
// byte by byte here, damaged ones refused with their message, and projected
// points against hand-computed values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "support/fixture_bytes.h"
#include "support/testutil.h"

namespace {

const std::string kPbtool = std::string(PB_BIN_DIR) + "/pbtool";

RunResult pbtool(const std::vector<std::string>& args) { return runProgram(kPbtool, args); }

// A shape record: codes, x, y, z, n, xmin, xmax, ymin, ymax, vertices.
std::string record(const std::string& codes, double x, double y, double z, const std::vector<double>& box,
                   const std::vector<double>& xyz) {
  std::string r = codes + f64(x) + f64(y) + f64(z) + le32(static_cast<uint32_t>(xyz.size() / 3));
  for (double b : box) r += f64(b);
  for (double v : xyz) r += f64(v);
  return r;
}

TEST(PbtoolGeometry, ShapesDumpListsRecordsInTableOrder) {
  TempDir d;
  std::string a = record("\x01\x02\xFF", 1.5, -2.25, 3, {-1, 1, -0.5, 0.5}, {0.5, 0.25, 0, 0.1, -7, 1e20});
  std::string b = record(std::string("\0\x80\x07", 3), 123.75, 40, 0, {0, 0, 0, 0}, {});
  // Junk first; the table lists b before a.
  std::string file = "junk" + a + b + le32(4 + static_cast<uint32_t>(a.size())) + le32(4) + le32(2);
  writeFile(d.file("s.dat"), file);
  RunResult r = pbtool({"shapes", "dump", d.file("s.dat")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "0\t0\t128\t7\t123.75\t40\t0\t0\t0\t0\t0\t0\n"
            "1\t1\t2\t255\t1.5\t-2.25\t3\t2\t-1\t1\t-0.5\t0.5\n"
            "v\t0.5\t0.25\t0\n"
            "v\t0.10000000000000001\t-7\t1e+20\n");
}

TEST(PbtoolGeometry, ShapesDumpOfAnEmptyTablePrintsNothing) {
  TempDir d;
  writeFile(d.file("e.dat"), le32(0));
  RunResult r = pbtool({"shapes", "dump", d.file("e.dat")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
}

TEST(PbtoolGeometry, DamagedOrMissingShapeFilesFail) {
  TempDir d;
  std::string a = record("abc", 0, 0, 0, {0, 0, 0, 0}, {1, 2, 3});
  std::string full = record("abc", 12.5, 40, 5, {0, 0, 0, 0}, {1, 2, 3}) + le32(0) + le32(1);
  const struct {
    const char* name;
    std::string bytes;
    std::vector<std::string> messages;
  } cases[] = {
      {"count.dat",
       a + le32(0) + le32(50),
       {"shReadIndex(): invalid shape count 50 in '", "pbtool shapes dump: can't read '"}},
      {"offset.dat",
       a + le32(900) + le32(1),
       {"shReadIndex(): damaged file '", "': shape 0 at offset 900: its 63-byte header does not fit",
        "pbtool shapes dump: can't read '"}},
      {"short.dat", "ab", {"shReadIndex(): error reading the shape count from '"}},
      // Cut inside the first header where y and z leave four zero bytes at the
      // end: an empty offset table, with bytes before it no shape explains.
      {"cut16.dat",
       full.substr(0, 16),
       {"shReadIndex(): damaged file '", "': the 12 bytes from byte 0 up to the offset table belong to no shape",
        "pbtool shapes dump: can't read '"}},
      {"cut24.dat",
       full.substr(0, 24),
       {"': the 20 bytes from byte 0 up to the offset table belong to no shape", "pbtool shapes dump: can't read '"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(d.file(c.name), c.bytes);
    RunResult r = pbtool({"shapes", "dump", d.file(c.name)});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    for (const std::string& m : c.messages) EXPECT_NE(r.err.find(m), std::string::npos) << r.err;
  }
  RunResult r = pbtool({"shapes", "dump", d.file("none.dat")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("pbtool shapes dump: error opening the file '" + d.file("none.dat") +
                       "': No such file or directory"),
            std::string::npos)
      << r.err;
}

std::vector<double> fields(const std::string& line) {
  std::vector<double> v;
  std::istringstream in(line);
  std::string f;
  while (std::getline(in, f, '\t')) v.push_back(std::strtod(f.c_str(), nullptr));
  return v;
}

TEST(PbtoolGeometry, PerspProjectsAPoint) {
  // 90 degree views, angle 0: fx = 0.375 x 800 = 300, fy = 300, depth = 600 - y.
  RunResult r = pbtool({"persp", "800", "600", "90", "90", "0", "500", "700", "400", "0"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ASSERT_EQ(std::count(r.out.begin(), r.out.end(), '\t'), 2) << r.out;
  ASSERT_EQ(r.out.back(), '\n');
  std::vector<double> v = fields(r.out.substr(0, r.out.size() - 1));
  ASSERT_EQ(v.size(), 3u);
  EXPECT_NEAR(v[0], 850, 1e-6);
  EXPECT_NEAR(v[1], 300, 1e-6);
  EXPECT_NEAR(v[2], 200, 1e-6);
  // Defaults, a point off the axis: depth = 600 - 10 sqrt 3.
  r = pbtool({"persp", "800", "600", "60", "60", "60", "500", "500", "150", "20"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  v = fields(r.out);
  const double s3 = std::sqrt(3.0), depth = 600 - 10 * s3;
  ASSERT_EQ(v.size(), 3u);
  EXPECT_NEAR(v[0], 400 + 100 * 300 * s3 / depth, 1e-6);
  EXPECT_NEAR(v[1], 300 - (100 * s3 + 10) * 300 * s3 / depth, 1e-6);
  EXPECT_NEAR(v[2], depth, 1e-6);
  // On the view axis the screen x is the centre exactly; 17 digits elsewhere.
  r = pbtool({"persp", "800", "600", "60", "60", "60", "500", "400", "150", "20"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind("400\t", 0), 0u) << r.out;
  std::string y = r.out.substr(4, r.out.find('\t', 4) - 4);
  EXPECT_GE(y.size(), 17u) << y;
}

TEST(PbtoolGeometry, PerspRefusesBadNumbers) {
  RunResult r = pbtool({"persp", "800", "600", "60", "60", "sixty", "500", "1", "2", "3"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("pbtool persp: invalid number 'sixty'"), std::string::npos) << r.err;
  r = pbtool({"persp", "800.5", "600", "60", "60", "60", "500", "1", "2", "3"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("pbtool persp: invalid integer '800.5'"), std::string::npos) << r.err;
  r = pbtool({"persp", "800", "600", "60", "60", "60", "500", "1", "2"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("usage: pbtool persp W H"), std::string::npos) << r.err;
}

}  // namespace
