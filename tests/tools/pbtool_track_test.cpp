// pbtool track point and track closest on track files written here byte by
// byte (little-endian count, spacing, points).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/fixture_bytes.h"
#include "support/testutil.h"

namespace {

RunResult pbtool(const std::vector<std::string>& args) {
  return runProgram(std::string(PB_BIN_DIR) + "/pbtool", args);
}

std::string trackFile(uint32_t count, double spacing, const std::vector<double>& coordinates) {
  std::string s = le32(count) + f64(spacing);
  for (double c : coordinates) s += f64(c);
  return s;
}

TEST(PbtoolTrack, PointOnAndOffTheTrack) {
  TempDir d;
  std::string bent = d.file("bent.trk");
  writeFile(bent, trackFile(4, 4.0, {0, 0, 0, 0, 8, 6, 8, 8, 6, 8, 20, 1}));
  struct Case {
    const char* trackpos;
    const char* out;
  };
  const Case cases[] = {
      {"0.4", "0\t0.80000000000000004\t0.60000000000000009\t1\n"},
      {"11.5", "8\t18.5\t1.625\t1\n"},
      {"12", "8\t20\t1\t0\n"},     // the last point is off the track
      {"14", "8\t26\t-1.5\t0\n"},  // extrapolated along the last segment
      {"-2", "0\t-4\t-3\t1\n"},
      {"-4", "0\t-8\t-6\t0\n"},
      {"6e0", "4\t8\t6\t1\n"},
  };
  for (const Case& c : cases) {
    RunResult r = pbtool({"track", "point", bent, c.trackpos});
    EXPECT_EQ(r.exitCode, 0) << c.trackpos << r.err;
    EXPECT_EQ(r.out, c.out) << c.trackpos;
  }
}

TEST(PbtoolTrack, Closest) {
  TempDir d;
  std::string straight = d.file("straight.trk");
  writeFile(straight,
            trackFile(6, 10.0, {0, 0, 0, 10, 0, 0, 20, 0, 0, 30, 0, 0, 40, 0, 0, 50, 0, 0}));
  RunResult r = pbtool({"track", "closest", straight, "27", "0"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "27\n");
  EXPECT_EQ(r.err, "");

  r = pbtool({"track", "closest", straight, "-5", "3.5"});
  EXPECT_EQ(r.out, "-5\n");

  // Past the end: the last point's position, with the warning on standard error only.
  r = pbtool({"track", "closest", straight, "60", "0"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "50\n");
  EXPECT_EQ(r.err,
            "trackClosest(): WARNING p-(60.00,0.00) mini1-5 mini2-0, possibly wrong track\n");
}

TEST(PbtoolTrack, FailuresExitWithTheLogChain) {
  TempDir d;
  std::string good = d.file("good.trk");
  writeFile(good, trackFile(2, 1.0, {0, 0, 0, 1, 0, 0}));
  std::string one = d.file("one.trk");
  writeFile(one, trackFile(1, 1.0, {0, 0, 0}));
  std::string cut = d.file("cut.trk");
  writeFile(cut, trackFile(2, 1.0, {0, 0, 0, 1}));
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{"track", "point", d.file("none.trk"), "1"},
       "trackLoad(): error opening file '" + d.file("none.trk") +
           "'\npbtool track point: can't load track '" + d.file("none.trk") + "'\n"},
      {{"track", "point", one, "1"},
       "trackLoad(): invalid number of points 1 in file '" + one +
           "' (must be in [2..89478484])\npbtool track point: can't load track '" + one + "'\n"},
      {{"track", "closest", cut, "0", "0"},
       "trackLoad(): file read error (44 of 60 bytes read)\npbtool track closest: can't load track "
       "'" +
           cut + "'\n"},
      {{"track", "point", good, "abc"}, "pbtool track point: invalid trackpos 'abc'\n"},
      {{"track", "point", good, ""}, "pbtool track point: invalid trackpos ''\n"},
      {{"track", "closest", good, "1", "2x"}, "pbtool track closest: invalid y '2x'\n"},
      {{"track", "closest", good, "1"}, "usage: pbtool track closest FILE X Y\n"},
  };
  for (const Case& c : cases) {
    RunResult r = pbtool(c.args);
    EXPECT_EQ(r.exitCode, 1) << c.err;
    EXPECT_EQ(r.out, "") << c.err;
    EXPECT_EQ(r.err, c.err);
  }
}

}  // namespace
