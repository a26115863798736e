// pbtool cond through the real binary: parse and test lines, the condition's
// error lines on standard error with exit 0, and bad usage with exit 1.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/testutil.h"

namespace {

const std::string kPbtool = std::string(PB_BIN_DIR) + "/pbtool";

RunResult pbtool(const std::vector<std::string>& args) { return runProgram(kPbtool, args); }

TEST(PbtoolCond, ParsesAndTests) {
  struct Case {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"cond", "> trackvelo 5"}, "parse\t1\n"},
      {{"cond", "> trackvelo 5", "0", "6"}, "parse\t1\ntest\t1\n"},
      {{"cond", "> trackvelo 5", "0", "5"}, "parse\t1\ntest\t0\n"},
      {{"cond", "& > trackvelo 2 < TRACKVELO 8", "100", "3"}, "parse\t1\ntest\t1\n"},
      {{"cond", "< trackpos -1", "-1.5", "0"}, "parse\t1\ntest\t1\n"},
      {{"cond", "< trackpos -1", "-0.5", "0"}, "parse\t1\ntest\t0\n"},
      {{"cond", "= trackpos 0.1", "0.1", "0"}, "parse\t1\ntest\t0\n"},  // a float constant
  };
  for (const Case& c : cases) {
    RunResult r = pbtool(c.args);
    EXPECT_EQ(r.exitCode, 0) << c.args[1] << ": " << r.err;
    EXPECT_EQ(r.out, c.out) << c.args[1];
    EXPECT_EQ(r.err, "") << c.args[1];
  }
}

TEST(PbtoolCond, ParseFailureIsAResultNotAnError) {
  RunResult r = pbtool({"cond", "> 1 2 3", "0", "0"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "parse\t0\ntest\t0\n");
  EXPECT_EQ(r.err,
            "bcond_test(): параметров больше, чем должно быть at pos 3\n"
            "BCOND_PARSE(): parsing condition '> 1 2 3' error\n");

  r = pbtool({"cond", "> speed 5"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "parse\t0\n");
  EXPECT_EQ(r.err, "BCOND_PARSE(): undefined operation or operand 'speed'\n");
}

TEST(PbtoolCond, BadUsage) {
  const std::string usage = "usage: pbtool cond TEXT [TRACKPOS TRACKVELO]\n";
  struct Case {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"cond", "> trackvelo 5", "1"}, usage},
      {{"cond", "> trackvelo 5", "1", "2", "3"}, usage},
      {{"cond", "> trackvelo 5", "abc", "2"}, "pbtool cond: 'abc' is not a number\n" + usage},
      {{"cond", "> trackvelo 5", "1", "2x"}, "pbtool cond: '2x' is not a number\n" + usage},
  };
  for (const Case& c : cases) {
    RunResult r = pbtool(c.args);
    EXPECT_EQ(r.exitCode, 1) << c.err;
    EXPECT_EQ(r.out, "") << c.err;
    EXPECT_EQ(r.err, c.err);
  }
  RunResult none = pbtool({"cond"});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err, usage);
}

}  // namespace
