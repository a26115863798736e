// pbtool rec make and rec dump: scripted recordings round trip through the
// real binary; idle frames and foreign channels in the dump; bad scripts and
// damaged recordings fail with a message.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/fixture_bytes.h"
#include "support/testutil.h"

namespace {

const std::string kPbtool = std::string(PB_BIN_DIR) + "/pbtool";

RunResult pbtool(const std::vector<std::string>& args) { return runProgram(kPbtool, args); }

// rec make reads its script from standard input.
RunResult make(const TempDir& d, const std::string& script, const std::string& out) {
  writeFile(d.file("script.txt"), script);
  return runProgram("/bin/sh", {"-c", "exec \"$0\" rec make \"$1\" < \"$2\"", kPbtool, out,
                                d.file("script.txt")});
}

std::string entry(uint32_t channel, const std::string& data) {
  return le32(channel) + le32(static_cast<uint32_t>(data.size())) + data;
}
std::string record(uint32_t idle, const std::string& payload) {
  return le32(idle) + le32(static_cast<uint32_t>(payload.size())) + payload;
}
const std::string kSignature = "\xBB\x02";

// The dump line of a frame made by rec make: one nominal frame at 60 fps.
std::string timeField(int frame) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "t=%.17g", frame * 1000.0 / 60.0);
  return buf;
}

TEST(PbtoolRec, MakeThenDumpRoundTrips) {
  TempDir d;
  const std::string script =
      "# left flipper down and up, then a click with the left button\n"
      "2\t1\t0\t44\t0\n"
      "\n"
      "5\t4\t0\t44\t8\n"
      "7 8 0 0 1\n"
      "END\t9\n";
  RunResult m = make(d, script, d.file("s.rec"));
  ASSERT_EQ(m.exitCode, 0) << m.err;
  EXPECT_EQ(m.out, "frames\t10\tevents\t3\n");
  EXPECT_EQ(m.err, "");

  RunResult r = pbtool({"rec", "dump", d.file("s.rec")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string want;
  for (int f = 0; f <= 9; f++) {
    want += std::to_string(f) + "\t0\t" + timeField(f);
    if (f == 2) want += "\tev=1:0:44:0";
    if (f == 5) want += "\tev=4:0:44:8";
    if (f == 7) want += "\tev=8:0:0:1";
    want += "\n";
  }
  EXPECT_EQ(r.out, want);

  // The event record itself: the frame's whole milliseconds as its time stamp.
  std::string bytes = readFile(d.file("s.rec"));
  const size_t frame2 = 2 + 2 * (8 + 16);
  EXPECT_EQ(bytes.substr(frame2, 8), le32(0) + le32(16 + 44));
  EXPECT_EQ(bytes.substr(frame2 + 8 + 16, 8), le32(0) + le32(36));
  const std::string event = bytes.substr(frame2 + 8 + 16 + 8, 36);
  EXPECT_EQ(event.substr(0, 12), le32(0) + le32(1) + le32(33));
  EXPECT_EQ(event.substr(20, 8), le32(44 << 8) + le32(0));
}

TEST(PbtoolRec, WithoutEndTheRecordingRunsOneFramePastTheLastEvent) {
  TempDir d;
  RunResult m = make(d, "3\t1\t32\t57\t0\n", d.file("s.rec"));
  ASSERT_EQ(m.exitCode, 0) << m.err;
  EXPECT_EQ(m.out, "frames\t5\tevents\t1\n");
  RunResult r = pbtool({"rec", "dump", d.file("s.rec")});
  EXPECT_EQ(r.out, "0\t0\t" + timeField(0) + "\n1\t0\t" + timeField(1) + "\n2\t0\t" + timeField(2) +
                       "\n3\t0\t" + timeField(3) + "\tev=1:32:57:0\n4\t0\t" + timeField(4) + "\n");

  // An END line alone makes a recording of times only.
  m = make(d, "END 0\n", d.file("t.rec"));
  ASSERT_EQ(m.exitCode, 0) << m.err;
  EXPECT_EQ(pbtool({"rec", "dump", d.file("t.rec")}).out, "0\t0\tt=0\n");
}

TEST(PbtoolRec, BadScriptsAreRefused) {
  struct Case {
    const char* script;
    const char* message;
  };
  const Case cases[] = {
      {"", "pbtool rec make: nothing to record: no events and no END line\n"},
      {"# only a comment\n", "pbtool rec make: nothing to record: no events and no END line\n"},
      {"1\t1\t0\t44\n",
       "pbtool rec make: line 1: expected FRAME TYPE CHAR SCAN MODS (frame 0 to 1000000, char and "
       "scan 0 to 255)\n"},
      {"1\t1\t0\t256\t0\n",
       "pbtool rec make: line 1: expected FRAME TYPE CHAR SCAN MODS (frame 0 to 1000000, char and "
       "scan 0 to 255)\n"},
      {"-1\t1\t0\t44\t0\n",
       "pbtool rec make: line 1: expected FRAME TYPE CHAR SCAN MODS (frame 0 to 1000000, char and "
       "scan 0 to 255)\n"},
      {"1\t1\t0\t0x2C\t0\n",
       "pbtool rec make: line 1: expected FRAME TYPE CHAR SCAN MODS (frame 0 to 1000000, char and "
       "scan 0 to 255)\n"},
      {"1000001\t1\t0\t44\t0\n",
       "pbtool rec make: line 1: expected FRAME TYPE CHAR SCAN MODS (frame 0 to 1000000, char and "
       "scan 0 to 255)\n"},
      {"1\t3\t0\t44\t0\n",
       "pbtool rec make: line 1: event type 3 is not one of 1, 2, 4, 8, 16, 32, 64, 128\n"},
      {"4\t1\t0\t44\t0\n4\t4\t0\t44\t0\n",
       "pbtool rec make: line 2: frame 4 does not follow frame 4 (frames ascend, and a replay "
       "delivers one user "
       "event per frame)\n"},
      {"4\t1\t0\t44\t0\n# x\n2\t4\t0\t44\t0\n",
       "pbtool rec make: line 3: frame 2 does not follow frame 4 (frames ascend, and a replay "
       "delivers one user "
       "event per frame)\n"},
      {"END\t3\n5\t1\t0\t44\t0\n",
       "pbtool rec make: END frame 3 comes before the event of frame 5\n"},
      {"END\t3\nEND\t4\n", "pbtool rec make: line 2: a second END line\n"},
      {"END\n", "pbtool rec make: line 1: expected END FRAME with a frame from 0 to 1000000\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    TempDir d;
    RunResult m = make(d, c.script, d.file("s.rec"));
    EXPECT_EQ(m.exitCode, 1);
    EXPECT_EQ(m.out, "");
    EXPECT_EQ(m.err, c.message);
    EXPECT_FALSE(pathExists(d.file("s.rec")));
  }

  TempDir d;
  RunResult m = make(d, "1\t1\t0\t44\t0\n", d.file("no/such/s.rec"));
  EXPECT_EQ(m.exitCode, 1);
  EXPECT_NE(m.err.find("bbStartRecording(): error creating file '" + d.file("no/such/s.rec") + "'"),
            std::string::npos);
  EXPECT_NE(pbtool({"rec", "make"}).err.find("usage: pbtool rec make"), std::string::npos);
}

TEST(PbtoolRec, DumpCountsIdleFramesAndShowsOtherChannels) {
  TempDir d;
  writeFile(d.file("r.rec"), kSignature + record(2, entry(1, f64(0.5))) +
                                 record(0, entry(9, "abc") + entry(1, f64(-2.25))) + record(4, "") +
                                 record(1, entry(7, "")));
  RunResult r = pbtool({"rec", "dump", d.file("r.rec")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "2\t2\tt=0.5\n3\t0\tch=9:3\tt=-2.25\n8\t4\n10\t1\tch=7:0\n");
}

TEST(PbtoolRec, DamagedRecordingsFailAfterTheGoodRecords) {
  struct Case {
    std::string name, bytes, out, err;
  };
  const std::string good = kSignature + record(0, entry(1, f64(1.0)));
  const std::vector<Case> cases = {
      {"bad signature", "\xBB\x01" + good.substr(2), "",
       "pbtool rec dump: incorrect file signature\n"},
      {"too short for a signature", "\xBB", "", "pbtool rec dump: incorrect file signature\n"},
      {"truncated payload", good + le32(0) + le32(16) + le32(1), "0\t0\tt=1\n",
       "bbReadTick(): truncated tick record at offset 26: 4 of 16 payload bytes\n"
       "pbtool rec dump: error reading 'FILE'\n"},
      {"truncated header", good + le32(0), "0\t0\tt=1\n",
       "bbReadTick(): truncated tick record at offset 26: 4 of 8 header bytes\n"
       "pbtool rec dump: error reading 'FILE'\n"},
      {"oversized payload", good + le32(0) + le32(0xFFFFFFF0u), "0\t0\tt=1\n",
       "bbReadTick(): tick record at offset 26: payload of 4294967280 bytes exceeds the tick "
       "buffer (512 bytes)\n"
       "pbtool rec dump: error reading 'FILE'\n"},
      {"entry too long", good + record(0, le32(3) + le32(100) + "xy"), "0\t0\tt=1\n",
       "bbReadTick(): tick record at offset 26: entry at payload byte 0 runs past the payload of "
       "10 bytes\n"
       "pbtool rec dump: error reading 'FILE'\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir d;
    const std::string path = d.file("r.rec");
    writeFile(path, c.bytes);
    RunResult r = pbtool({"rec", "dump", path});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, c.out);
    std::string err = c.err;
    if (size_t at = err.find("FILE"); at != std::string::npos) err.replace(at, 4, path);
    EXPECT_EQ(r.err, err);
  }
  RunResult missing = pbtool({"rec", "dump", "/nonexistent/r.rec"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err, "pbtool rec dump: error opening file '/nonexistent/r.rec'\n");
}

}  // namespace
