// pbtool pack list: the directory of a pack file, one record a line.
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

std::string record(int type, uint32_t id, uint32_t offs, uint32_t len) {
  return char(type) + be32(id) + be32(offs) + be32(len);
}

TEST(PbtoolPack, ListsEveryDirectoryRecord) {
  TempDir d;
  // Three records (43 bytes of header and directory), then 7 bytes of data.
  std::string pack = std::string("\xAF\x01\x00\x03", 4) + record(1, 0x6CA1323F, 43, 4) +
                     record(0, 0, 0, 0) + record(2, 0x0000ABCD, 47, 3) + "hdr!abc";
  writeFile(d.file("a.gsp"), pack);
  RunResult r = pbtool({"pack", "list", d.file("a.gsp")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "dh_len\t3\n"
            "0\t1\t6CA1323F\t43\t4\n"
            "1\t0\t00000000\t0\t0\n"
            "2\t2\t0000ABCD\t47\t3\n");
  EXPECT_EQ(r.err, "");
}

TEST(PbtoolPack, DamagedOrMissingPackFails) {
  TempDir d;
  struct Case {
    std::string file;
    std::string bytes;
    std::string message;
  };
  const Case cases[] = {
      {"swapped.gsp", std::string("\x01\xAF\x00\x01", 4) + record(1, 1, 17, 0),
       "CATCH_HANDLE(): bad signature 01AF\n"},
      {"outside.gsp", std::string("\xAF\x01\x00\x01", 4) + record(1, 1, 17, 9) + "abc",
       "lies outside the file (20 bytes)\n"},
      {"type3.gsp", std::string("\xAF\x01\x00\x01", 4) + record(3, 1, 17, 0),
       "READ_FDR(): illegal field value(s): type-3"},
  };
  for (const Case& c : cases) {
    writeFile(d.file(c.file), c.bytes);
    RunResult r = pbtool({"pack", "list", d.file(c.file)});
    EXPECT_EQ(r.exitCode, 1) << c.file;
    EXPECT_EQ(r.out, "") << c.file;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("PF_OPEN(): can't read the directory of '" + d.file(c.file) + "'"),
              std::string::npos)
        << r.err;
  }

  RunResult missing = pbtool({"pack", "list", d.file("none.gsp")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err, "PF_OPEN(): can't open '" + d.file("none.gsp") +
                             "', error-'No such file or directory'\n");

  RunResult usage = pbtool({"pack", "list"});
  EXPECT_EQ(usage.exitCode, 1);
  EXPECT_EQ(usage.err, "usage: pbtool pack list FILE\n");
  EXPECT_NE(pbtool({"--help"}).out.find("pbtool pack list FILE"), std::string::npos);
}

}  // namespace
