// pbtool as scripts use it: exact output lines, exit codes, errors on stderr.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/testutil.h"

namespace {

RunResult pbtool(const std::vector<std::string>& args) {
  return runProgram(std::string(PB_BIN_DIR) + "/pbtool", args);
}

TEST(Pbtool, ValueCommands) {
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  const Case cases[] = {
      {{"hash", ""}, "7FFFFFFF\n"},
      {{"sectionid", "gsphdr"}, "6CA1323F\n"},
      {{"sectionid", "fonthdr"}, "120DFFDD\n"},
      {{"sectionid", "abc"}, "5FB6C2C5\n"},
      {{"int", "0x10"}, "16\n"},
      {{"int", "010"}, "8\n"},
      {{"int", "- 5"}, "-5\n"},
      {{"int", "12a"}, "null\n"},
      {{"double", "1.5"}, "1.5\n"},
      {{"double", "0.1"}, "0.10000000000000001\n"},
      {{"double", "1e5"}, "null\n"},
      {{"wild", "ball.x1", "ball.x?"}, "1\n"},
      {{"wild", ".hidden", "*"}, "0\n"},
  };
  for (const Case& c : cases) {
    RunResult r = pbtool(c.args);
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, "");
  }
}

TEST(Pbtool, HashMatchesSectionIdAndIsNeverNegative) {
  RunResult a = pbtool({"hash", "0:---:0\n"});
  RunResult b = pbtool({"sectionid", "0:---:0\n"});
  EXPECT_EQ(a.out, b.out);
  ASSERT_EQ(a.out.size(), 9u);
  EXPECT_LT(a.out[0], '8');
}

const char kConf[] =
    "; sample\n"
    "top = 1\n"
    "[ball]\n"
    "x+ = 10\n"
    "x+ = -  2\n"
    "name = \"steel ball\"  # comment\n"
    "[video]\n"
    "rate = 60\n"
    "scale = 1.5\n";

TEST(Pbtool, ConfDumpTextAndBinaryTwinAgree) {
  TempDir d;
  writeFile(d.file("a.conf"), kConf);
  RunResult text = pbtool({"conf", "dump", d.file("a.conf")});
  EXPECT_EQ(text.exitCode, 0) << text.err;
  EXPECT_EQ(text.out,
            "ball.name\tstring\tsteel ball\n"
            "ball.x1\tint\t10\n"
            "ball.x2\tint\t-2\n"
            "top\tint\t1\n"
            "video.rate\tint\t60\n"
            "video.scale\tdouble\t1.5\n");

  RunResult conv = pbtool({"conf", "tobcf", d.file("a.conf"), d.file("a.bcf")});
  EXPECT_EQ(conv.exitCode, 0) << conv.err;
  EXPECT_EQ(conv.out, "");
  RunResult bin = pbtool({"conf", "dump", d.file("a.bcf")});
  EXPECT_EQ(bin.exitCode, 0) << bin.err;
  EXPECT_EQ(bin.out, text.out);
}

TEST(Pbtool, ConfSectionsAndFind) {
  TempDir d;
  writeFile(d.file("a.conf"), kConf);
  EXPECT_EQ(pbtool({"conf", "sections", d.file("a.conf"), "*"}).out, "ball\nvideo\n");
  EXPECT_EQ(pbtool({"conf", "sections", d.file("a.conf"), "v*"}).out, "video\n");
  EXPECT_EQ(pbtool({"conf", "find", d.file("a.conf"), "ball.x*"}).out, "ball.x1\nball.x2\n");
  EXPECT_EQ(pbtool({"conf", "find", d.file("a.conf"), "nothing*"}).out, "");
}

TEST(Pbtool, FailuresExitOneWithChainOnStderr) {
  TempDir d;
  writeFile(d.file("bad.conf"), "good = 1\n9bad = 2\n[s]\nok = \"x\"\n");
  RunResult dump = pbtool({"conf", "dump", d.file("bad.conf")});
  EXPECT_EQ(dump.exitCode, 1);
  EXPECT_EQ(dump.out, "good\tint\t1\ns.ok\tstring\tx\n");  // what did parse
  EXPECT_NE(dump.err.find("PARSE_STRING(), line 2: variable name cannot start from a digit"),
            std::string::npos)
      << dump.err;

  RunResult conv = pbtool({"conf", "tobcf", d.file("bad.conf"), d.file("bad.bcf")});
  EXPECT_EQ(conv.exitCode, 1);
  EXPECT_FALSE(pathExists(d.file("bad.bcf")));

  RunResult missing = pbtool({"conf", "dump", d.file("none.conf")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err.find("CONF_READ(): couldn't open the input file"), std::string::npos);

  writeFile(d.file("broken.bcf"), std::string("\x05\x00\x00\x00", 4));
  RunResult broken = pbtool({"conf", "dump", d.file("broken.bcf")});
  EXPECT_EQ(broken.exitCode, 1);
  EXPECT_EQ(broken.out, "");
  EXPECT_NE(broken.err.find("CONF_BINREAD()"), std::string::npos);

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"frobnicate"}, {"conf", "dump"}, {"conf", "nosuch", "x"}, {}}) {
    RunResult r = pbtool(args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err, "");
  }
}

TEST(Pbtool, HelpListsCommands) {
  RunResult r = pbtool({"--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("pbtool conf dump FILE"), std::string::npos);
  EXPECT_NE(r.out.find("pbtool wild TEXT PATTERN"), std::string::npos);
}

}  // namespace
