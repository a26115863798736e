// The black box and the user-event layer: a recorded session replays with
// the same game time, frame deltas and user events; the file format byte for
// byte; idle frames; the tick buffer limit; damaged and truncated files;
// playback ending mid-session; seeking for game-state loading.
#include "main/blackbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/time.h"
#include "platform/gdev.h"
#include "platform/sys/sys.h"
#include "support/fixture_bytes.h"
#include "support/testutil.h"

namespace {

// A microsecond counter moved by hand.
uint64_t gTicks;
bool fakeFrequency(uint64_t* hz) {
  *hz = 1'000'000;
  return true;
}
uint64_t fakeTicks() { return gTicks; }
uint32_t fakeMs() { return static_cast<uint32_t>(gTicks / 1000); }
constexpr SysClock kFakeClock = {fakeFrequency, fakeTicks, fakeMs, nullptr};
void advance(double ms) { gTicks += static_cast<uint64_t>(std::llround(ms * 1000.0)); }

// ---- Recording bytes built by hand

std::string entry(uint32_t channel, const std::string& data) {
  return le32(channel) + le32(static_cast<uint32_t>(data.size())) + data;
}
std::string record(uint32_t idle, const std::string& payload) {
  return le32(idle) + le32(static_cast<uint32_t>(payload.size())) + payload;
}
const std::string kSignature = "\xBB\x02";

GdevEvent makeEvent(uint32_t what, int ch, int scan, uint32_t mods, int serial = 0) {
  GdevEvent e{};
  e.what = what;
  e.message = static_cast<uint32_t>(ch) | static_cast<uint32_t>(scan) << 8;
  e.modifiers = mods;
  e.x = 100 + serial;
  e.y = 200 - serial;
  e.when = 1000u + static_cast<uint32_t>(serial);
  return e;
}
std::string eventBytes(const GdevEvent& e) {
  uint8_t b[GDEV_EVENT_BYTES];
  gdevEventToBytes(&e, b);
  return std::string(reinterpret_cast<const char*>(b), sizeof b);
}

// ---- Reading a recording independently of the module under test

struct Rec {
  uint32_t idle;
  std::vector<std::pair<uint32_t, std::string>> entries;
};

std::vector<Rec> parse(const std::string& bytes) {
  std::vector<Rec> out;
  EXPECT_EQ(bytes.substr(0, 2), kSignature);
  size_t at = 2;
  while (at + 8 <= bytes.size()) {
    Rec r{getLe32(bytes, at), {}};
    uint32_t len = getLe32(bytes, at + 4);
    at += 8;
    size_t end = at + len;
    EXPECT_LE(end, bytes.size());
    while (at + 8 <= end) {
      uint32_t ch = getLe32(bytes, at), n = getLe32(bytes, at + 4);
      r.entries.emplace_back(ch, bytes.substr(at + 8, n));
      at += 8 + n;
    }
    EXPECT_EQ(at, end);
    out.push_back(r);
  }
  EXPECT_EQ(at, bytes.size());
  return out;
}

// ---- The session loop, as far as input and time go

struct Frame {
  double time, delta, step;
  bool user, system;
  GdevEvent userEvent, systemEvent;
};

// One iteration of the table session: system input, user input, one queued
// event consumed, the frame's game time (the rate is set on the first
// frame), the end of the frame and the black box tick.
Frame sessionFrame(bool first) {
  Frame f{};
  f.system = systemEventNext(&f.systemEvent) != 0;
  f.user = userEventNext(&f.userEvent) != 0;
  gdevGetEvent(nullptr, GDEV_EVT_EVERY, true);
  if (first) tmSetRate(60, 0);
  tmBeginFrame();
  tmMarkFrame();
  f.time = tmTime;
  f.delta = tmFrameDelta;
  f.step = tmFrameStep;
  tmEndFrame();
  bbTick();
  return f;
}

// A frame of a script: how long it takes on the clock and the event (type 0:
// none) that arrives before it.
struct Step {
  double ms;
  uint32_t what;
  int ch, scan;
  uint32_t mods;
};

std::vector<Frame> runScript(const std::vector<Step>& script) {
  std::vector<Frame> frames;
  for (size_t i = 0; i < script.size(); i++) {
    const Step& s = script[i];
    advance(s.ms);
    if (s.what) {
      GdevEvent e = makeEvent(s.what, s.ch, s.scan, s.mods, static_cast<int>(i));
      EXPECT_TRUE(gdevPostEvent(&e));
    }
    frames.push_back(sessionFrame(i == 0));
  }
  return frames;
}

constexpr int kZ = 0x2C, kSlash = 0x35, kCtrl = 0x1D;

// The table's declarations: the three keys by scan code; Space, g, r, R and
// the digits by character; Space and the digits again with modifier 1.
void declareTableKeys() {
  userEventReset();
  for (int scan : {kZ, kSlash, kCtrl}) userEventDeclareScan(scan, 0);
  for (int c : {' ', 'g', 'r', 'R', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9'})
    userEventDeclareKey(c, 0);
  for (int c : {' ', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9'}) userEventDeclareKey(c, 1);
}

bool sameEvent(const GdevEvent& a, const GdevEvent& b) {
  return a.what == b.what && a.when == b.when && a.x == b.x && a.y == b.y &&
         a.message == b.message && a.modifiers == b.modifiers;
}

class BlackBox : public ::testing::Test {
 protected:
  void SetUp() override {
    logReset();
    logPrint("LOG_PATH %s", dir.path.c_str());
    logPrint("LOG_APPEND log.txt");
    logPrint("STDERR 0");
    sysSetClock(&kFakeClock);
    restartClock();
    gdevFlushEvents(GDEV_EVT_EVERY);
    declareTableKeys();
  }
  void TearDown() override {
    bbStop();
    userEventReset();
    gdevFlushEvents(GDEV_EVT_EVERY);
    sysSetClock(nullptr);
    logReset();
  }
  // A new program run: the clock somewhere else, game time from 0.
  void restartClock(uint64_t ticks = 5'000'000) {
    gTicks = ticks;
    tmInit();
    tmSetTime(0);
  }
  std::string logText() { return readFile(dir.file("log.txt")); }
  bool logHas(const std::string& line) { return logText().find(line + "\n") != std::string::npos; }
  std::string rec() const { return dir.file("session.rec"); }
  TempDir dir;
};

// Frame durations and input of a recorded session, with events that must be
// recorded (declared keys, mouse) and events that must not (repeats,
// undeclared keys, Escape).
const std::vector<Step> kLive = {
    {5, GDEV_EVT_KEYDOWN, 'z', kZ, 0},
    {16, GDEV_EVT_KEYUP, 'z', kZ, 0},
    {40, 0, 0, 0, 0},
    {8, GDEV_EVT_MOUSEMOVE, 0, 0, GDEV_MOD_LEFTBUT},
    {17, GDEV_EVT_KEYDOWN, 'g', 0x22, GDEV_MOD_RIGHTBUT},  // gets the mouse bits: 1
    {3, GDEV_EVT_KEYREPEAT, 'g', 0x22, 0},
    {100, GDEV_EVT_KEYDOWN, 'q', 0x10, 0},
    {16, GDEV_EVT_KEYDOWN, 27, 0x01, 0},
    {16, GDEV_EVT_MOUSEDOWN, 0, 0, GDEV_MOD_LEFTBUT | GDEV_MOD_RIGHTBUT},
    {2, GDEV_EVT_KEYDOWN, '7', 0x08, GDEV_MOD_LEFTSHIFT},
    {30, 0, 0, 0, 0},
    {16, GDEV_EVT_MOUSEUP, 0, 0, 0},
};

TEST_F(BlackBox, ReplayReproducesTimesDeltasAndUserEvents) {
  ASSERT_EQ(bbStartRecording(rec().c_str()), 1);
  std::vector<Frame> live = runScript(kLive);
  bbStop();

  const std::vector<bool> user = {true,  true,  false, true, true,  false,
                                  false, false, true,  true, false, true};
  for (size_t i = 0; i < live.size(); i++) {
    EXPECT_EQ(live[i].user, user[i]) << "frame " << i;
    EXPECT_EQ(live[i].system, kLive[i].what != 0 && !user[i]) << "frame " << i;
  }
  EXPECT_EQ(live[4].userEvent.modifiers, GDEV_MOD_LEFTBUT);
  EXPECT_EQ(live[9].userEvent.modifiers, GDEV_MOD_LEFTSHIFT | GDEV_MOD_LEFTBUT | GDEV_MOD_RIGHTBUT);
  EXPECT_DOUBLE_EQ(live[2].delta, 1000.0 / 60);  // 40 ms clamped to one nominal frame

  // Every frame wrote one tick record with idle count 0: its user event, if
  // any (input comes first in the frame), then its time from tmBeginFrame.
  std::vector<Rec> recs = parse(readFile(rec()));
  ASSERT_EQ(recs.size(), live.size());
  for (size_t i = 0; i < recs.size(); i++) {
    EXPECT_EQ(recs[i].idle, 0u);
    ASSERT_EQ(recs[i].entries.size(), user[i] ? 2u : 1u) << "frame " << i;
    if (user[i]) {
      EXPECT_EQ(recs[i].entries[0], std::make_pair(0u, eventBytes(live[i].userEvent)));
    }
    EXPECT_EQ(recs[i].entries.back(), std::make_pair(1u, f64(live[i].time)));
  }

  // Another run: other frame durations, other live input. Live user events
  // are not used; live system events still are.
  restartClock(90'000'000);
  declareTableKeys();
  ASSERT_EQ(bbStartPlayback(rec().c_str()), 1);
  std::vector<Step> other(kLive.size(), Step{1, 0, 0, 0, 0});
  other[2] = {70, GDEV_EVT_KEYDOWN, '/', kSlash, 0};
  other[3] = {3, GDEV_EVT_KEYDOWN, 27, 0x01, 0};
  std::vector<Frame> replay = runScript(other);

  for (size_t i = 0; i < live.size(); i++) {
    SCOPED_TRACE("frame " + std::to_string(i));
    EXPECT_EQ(replay[i].time, live[i].time);
    EXPECT_EQ(replay[i].delta, live[i].delta);
    EXPECT_EQ(replay[i].step, live[i].step);
    EXPECT_EQ(replay[i].user, live[i].user);
    if (live[i].user) {
      EXPECT_TRUE(sameEvent(replay[i].userEvent, live[i].userEvent));
    }
  }
  EXPECT_TRUE(replay[3].system);
  EXPECT_EQ(gdevEventChar(&replay[3].systemEvent), 27);
  EXPECT_FALSE(bbIsPlaying());
  EXPECT_TRUE(logHas("bbTick(): end of file, stopping playback"));
}

TEST_F(BlackBox, PlaybackEndingMidSessionKeepsTimeContinuous) {
  ASSERT_EQ(bbStartRecording(rec().c_str()), 1);
  runScript({{4, 0, 0, 0, 0}, {9, 0, 0, 0, 0}, {12, 0, 0, 0, 0}});
  bbStop();

  restartClock(400'000'000);
  ASSERT_EQ(bbStartPlayback(rec().c_str()), 1);
  std::vector<Frame> replay = runScript({{50, 0, 0, 0, 0}, {50, 0, 0, 0, 0}, {50, 0, 0, 0, 0}});
  const double last = replay.back().time;
  EXPECT_NEAR(last, 25.0, 1e-6);
  EXPECT_FALSE(bbIsPlaying());

  // Live from here: the first live frame is measured from the last replayed time.
  advance(7);
  Frame first = sessionFrame(false);
  EXPECT_NEAR(first.time, last + 7, 1e-6);
  EXPECT_NEAR(first.delta, 7.0, 1e-6);
  advance(30);
  Frame second = sessionFrame(false);
  EXPECT_NEAR(second.time, last + 37, 1e-6);
  EXPECT_DOUBLE_EQ(second.delta, 1000.0 / 60);

  // Live user events are delivered again, and nothing is recorded.
  GdevEvent e = makeEvent(GDEV_EVT_KEYDOWN, 0, kZ, 0);
  gdevPostEvent(&e);
  GdevEvent got{};
  EXPECT_EQ(userEventNext(&got), 1);
  EXPECT_EQ(gdevEventScan(&got), kZ);
  EXPECT_EQ(bbWrite(0, "x", 1), -1);
}

TEST_F(BlackBox, IdleFramesAreCountedAndWrittenWithTheNextRecord) {
  // Entries on frames 0, 3, 4 and 8 of ten; frame 9 stays idle.
  const std::vector<int> busy = {0, 3, 4, 8};
  auto isBusy = [&](int f) { return std::find(busy.begin(), busy.end(), f) != busy.end(); };
  ASSERT_EQ(bbStartRecording(rec().c_str()), 1);
  EXPECT_EQ(readFile(rec()), kSignature);
  for (int f = 0; f < 10; f++) {
    if (isBusy(f)) {
      std::string data = "f" + std::to_string(f);
      EXPECT_EQ(bbWrite(7, data.data(), 2), 2);
    }
    bbTick();
  }
  bbStop();
  EXPECT_EQ(readFile(rec()), kSignature + record(0, entry(7, "f0")) + record(2, entry(7, "f3")) +
                                 record(0, entry(7, "f4")) + record(3, entry(7, "f8")));

  ASSERT_EQ(bbStartPlayback(rec().c_str()), 1);
  for (int f = 0; f < 9; f++) {
    char buf[8] = {};
    EXPECT_EQ(bbHas(7), isBusy(f) ? 1 : 0) << "frame " << f;
    EXPECT_EQ(bbRead(7, buf, sizeof buf), isBusy(f) ? 2 : 0) << "frame " << f;
    if (isBusy(f)) {
      EXPECT_EQ(std::string(buf), "f" + std::to_string(f));
    }
    EXPECT_EQ(bbHas(1), 0);
    EXPECT_EQ(bbReadDouble(1, -5.5), -5.5);
    bbTick();
  }
  EXPECT_FALSE(bbIsPlaying());
  char buf[2];
  EXPECT_EQ(bbRead(7, buf, 2), -1);
}

TEST_F(BlackBox, TwelfthEventEntryOverflowsTheTickBuffer) {
  EXPECT_EQ(bbWrite(0, "abc", 3), -1);  // not recording: refused without a message
  ASSERT_EQ(bbStartRecording(rec().c_str()), 1);
  std::string ev = eventBytes(makeEvent(GDEV_EVT_KEYDOWN, 0, kZ, 0));
  EXPECT_EQ(bbWriteDouble(1, 12.5), 1);
  for (int i = 0; i < 11; i++) EXPECT_EQ(bbWrite(0, ev.data(), 36), 36) << "event " << i;
  EXPECT_EQ(bbWrite(0, ev.data(), 36), -1);
  EXPECT_TRUE(logHas(
      "bbWrite(): tickbuffer overflow (pos 500, size 512) trying to write key 0 of length 36"));
  // 500 + 8 + 3 = 511 still fits; 512 does not.
  EXPECT_EQ(bbWrite(5, "wxyz", 4), -1);
  EXPECT_TRUE(logHas(
      "bbWrite(): tickbuffer overflow (pos 500, size 512) trying to write key 5 of length 4"));
  EXPECT_EQ(bbWrite(5, "xyz", 3), 3);
  EXPECT_EQ(bbWrite(5, nullptr, 0), -1);
  EXPECT_TRUE(logHas(
      "bbWrite(): tickbuffer overflow (pos 511, size 512) trying to write key 5 of length 0"));
  bbTick();
  EXPECT_EQ(bbWriteDouble(1, 13.0), 1);  // the next frame starts empty
  bbTick();
  bbStop();

  std::vector<Rec> recs = parse(readFile(rec()));
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(recs[0].entries.size(), 13u);
  EXPECT_EQ(recs[1].entries.size(), 1u);
  EXPECT_EQ(readFile(rec()).size(), 2u + 8 + 511 + 8 + 16);

  // The full record plays back.
  ASSERT_EQ(bbStartPlayback(rec().c_str()), 1);
  EXPECT_EQ(bbReadDouble(1, 0), 12.5);
  GdevEvent e{};
  EXPECT_EQ(userEventNext(&e), 1);
  EXPECT_EQ(gdevEventScan(&e), kZ);
}

TEST_F(BlackBox, RefusedRecordingsLeaveTheSessionLive) {
  struct Case {
    const char* name;
    const char* bytes;  // null: no file
    size_t size;
    const char* line;
  };
  const std::string good = record(0, entry(1, f64(1e6)));
  const Case cases[] = {
      {"missing", nullptr, 0, "error opening file"},
      {"empty", "", 0, "incorrect file signature"},
      {"one byte", "\xBB", 1, "incorrect file signature"},
      {"second byte", "\xBB\x03", 2, "incorrect file signature"},
      {"first byte", "\xBC\x02", 2, "incorrect file signature"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir.file(std::string(c.name) + ".rec");
    // Two-byte signatures are followed by a good record; shorter files are all there is.
    if (c.bytes) writeFile(path, std::string(c.bytes, c.size) + (c.size == 2 ? good : ""));
    std::filesystem::remove(dir.file("log.txt"));
    double before = tmTime;
    EXPECT_EQ(bbStartPlayback(path.c_str()), 0);
    EXPECT_FALSE(bbIsPlaying());
    std::string expected = std::string("bbStartPlayback(): ") + c.line;
    if (!c.bytes) expected += " '" + path + "'";
    EXPECT_EQ(logText(), expected + "\n");
    EXPECT_EQ(bbRead(1, nullptr, 0), -1);
    advance(10);
    Frame f = sessionFrame(false);
    EXPECT_NEAR(f.time, before + 10, 1e-6);  // the clock, not the file's 1e6
  }
}

// A recording of three frames (times 1, 2 and 3 on frames 0, 2 and 3) whose
// last record is replaced by the case's bytes.
TEST_F(BlackBox, TruncatedAndDamagedRecordsStopPlaybackCleanly) {
  const std::string head =
      kSignature + record(0, entry(1, f64(1.0))) +
      record(1,
             entry(1, f64(2.0)) + entry(0, eventBytes(makeEvent(GDEV_EVT_KEYDOWN, 'g', 0x22, 0))));
  const std::string last = record(0, entry(1, f64(3.0)));
  const size_t at = head.size();
  const std::string off = "at offset " + std::to_string(at);
  struct Case {
    std::string name, tail, inner, outer;
    bool thirdPlays;
  };
  const std::string eof = "bbTick(): end of file, stopping playback";
  const std::string bad = "bbTick(): damaged tick record, stopping playback";
  const std::vector<Case> cases = {
      {"complete", last, "", eof, true},
      {"cut in the header", last.substr(0, 5),
       "bbReadTick(): truncated tick record " + off + ": 5 of 8 header bytes", eof, false},
      {"cut in the payload", last.substr(0, 20),
       "bbReadTick(): truncated tick record " + off + ": 12 of 16 payload bytes", eof, false},
      {"payload beyond the tick buffer", le32(0) + le32(513) + std::string(513, '\0'),
       "bbReadTick(): tick record " + off +
           ": payload of 513 bytes exceeds the tick buffer (512 bytes)",
       bad, false},
      {"entry past the payload", record(0, le32(1) + le32(9) + f64(3.0)),
       "bbReadTick(): tick record " + off +
           ": entry at payload byte 0 runs past the payload of 16 bytes",
       bad, false},
      {"half an entry header", record(0, entry(1, f64(3.0)) + std::string("\1\0\0", 3)),
       "bbReadTick(): tick record " + off +
           ": entry at payload byte 16 runs past the payload of 19 bytes",
       bad, false},
      {"short time entry", record(0, entry(1, "abcd")),
       "bbReadTick(): tick record " + off + ": channel 1 entry of 4 bytes, expected 8", bad, false},
      {"long event entry", record(0, entry(0, std::string(40, 'e'))),
       "bbReadTick(): tick record " + off + ": channel 0 entry of 40 bytes, expected 36", bad,
       false},
      {"idle count out of range", record(0x80000000u, entry(1, f64(3.0))),
       "bbReadTick(): tick record " + off + ": idle count 2147483648 out of range", bad, false},
  };
  for (const Case& c : cases) {
    for (bool inMemory : {false, true}) {
      SCOPED_TRACE(c.name + (inMemory ? " (memory)" : " (file)"));
      restartClock();
      std::filesystem::remove(dir.file("log.txt"));
      std::string bytes = head + c.tail;
      writeFile(rec(), bytes);
      std::span<const uint8_t> span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ASSERT_EQ(inMemory ? bbStartPlaybackMemory(span) : bbStartPlayback(rec().c_str()), 1);

      std::vector<double> times;
      std::vector<bool> events;
      for (int f = 0; f < 4 && bbIsPlaying(); f++) {
        times.push_back(bbReadDouble(1, -1));
        events.push_back(userEventNext(nullptr) != 0);
        bbTick();
      }
      EXPECT_FALSE(bbIsPlaying());
      std::vector<double> want = {1, -1, 2};
      if (c.thirdPlays) want.push_back(3);
      EXPECT_EQ(times, want);
      std::vector<bool> wantEvents = {false, false, true};
      if (c.thirdPlays) wantEvents.push_back(false);
      EXPECT_EQ(events, wantEvents);
      std::string log = logText();
      EXPECT_EQ(log, (c.inner.empty() ? "" : c.inner + "\n") + c.outer + "\n");
    }
  }
}

TEST_F(BlackBox, UnusableFirstRecordEndsPlaybackAtOnce) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string line;
  };
  const Case cases[] = {
      {"signature only", kSignature, "bbStartPlayback(): end of file, stopping playback"},
      {"damaged", kSignature + record(0, entry(1, "x")),
       "bbStartPlayback(): damaged tick record, stopping playback"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(rec(), c.bytes);
    EXPECT_EQ(bbStartPlayback(rec().c_str()), 0);
    EXPECT_FALSE(bbIsPlaying());
    EXPECT_TRUE(logHas(c.line));
  }
}

TEST_F(BlackBox, SeekFindsTheSavedGameTime) {
  EXPECT_EQ(bbSeekDouble(1, 5.0), 0);
  EXPECT_TRUE(logHas("bbSeekDouble(): not in playback mode, aborting"));

  std::vector<Step> script;
  for (int i = 0; i < 30; i++) script.push_back({5.0 + i, 0, 0, 0, 0});
  ASSERT_EQ(bbStartRecording(rec().c_str()), 1);
  std::vector<Frame> live = runScript(script);
  bbStop();

  // A saved game state from frame 17: the session loads it on its first
  // frame, seeks, and plays on from there.
  restartClock(77'000'000);
  ASSERT_EQ(bbStartPlayback(rec().c_str()), 1);
  EXPECT_EQ(bbSeekDouble(1, live[17].time), 1);
  tmSetTime(live[17].time);
  for (int f = 17; f < 20; f++) {
    Frame replay = sessionFrame(f == 17);
    EXPECT_EQ(replay.time, live[f].time) << "frame " << f;
  }

  // A time the recording never had: playback runs out.
  ASSERT_EQ(bbStartPlayback(rec().c_str()), 1);
  EXPECT_EQ(bbSeekDouble(1, live[17].time + 0.5), 0);
  EXPECT_FALSE(bbIsPlaying());
  EXPECT_TRUE(logHas("bbTick(): end of file, stopping playback"));
}

TEST_F(BlackBox, SeekSkipsIdleFrames) {
  // Times on frames 0, 5 and 1000005 only.
  writeFile(rec(), kSignature + record(0, entry(1, f64(10))) + record(4, entry(1, f64(20))) +
                       record(999'999, entry(1, f64(30))) + record(0, entry(1, f64(40))));
  ASSERT_EQ(bbStartPlayback(rec().c_str()), 1);
  EXPECT_EQ(bbSeekDouble(1, 30), 1);
  EXPECT_EQ(bbReadDouble(1, -1), 30);
  bbTick();
  EXPECT_EQ(bbReadDouble(1, -1), 40);
}

TEST_F(BlackBox, PlaybackTakesPrecedenceOverRecording) {
  ASSERT_EQ(bbStartRecording(rec().c_str()), 1);
  EXPECT_EQ(bbWriteDouble(1, 1.0), 1);  // pending, flushed when playback starts
  std::string other = dir.file("other.rec");
  writeFile(other, kSignature + record(0, entry(1, f64(8.0))) + record(0, entry(1, f64(9.0))));
  ASSERT_EQ(bbStartPlayback(other.c_str()), 1);
  EXPECT_FALSE(bbIsRecording());
  EXPECT_EQ(bbWriteDouble(1, 2.0), 0);
  for (int f = 0; f < 3; f++) sessionFrame(f == 0);
  EXPECT_FALSE(bbIsPlaying());
  EXPECT_FALSE(bbIsRecording());
  EXPECT_EQ(readFile(rec()), kSignature + record(0, entry(1, f64(1.0))));
}

TEST_F(BlackBox, RecordingFailuresStopRecording) {
  std::string missing = dir.file("no/such/dir.rec");
  EXPECT_EQ(bbStartRecording(missing.c_str()), 0);
  EXPECT_TRUE(logHas("bbStartRecording(): error creating file '" + missing + "'"));
  std::string tooLong = dir.path + "/" + std::string(256 - dir.path.size(), 'n');
  EXPECT_EQ(bbStartRecording(tooLong.c_str()), 0);
  EXPECT_FALSE(bbIsRecording());
  EXPECT_TRUE(logHas("bbStartRecording(): error creating file '" + tooLong + "'"));
  EXPECT_FALSE(pathExists(tooLong));

  // The file turns into a directory: the next append fails.
  for (const char* who : {"bbTick()", "bbStop()"}) {
    SCOPED_TRACE(who);
    ASSERT_EQ(bbStartRecording(rec().c_str()), 1);
    EXPECT_EQ(bbWriteDouble(1, 1.0), 1);
    std::filesystem::remove(rec());
    std::filesystem::create_directory(rec());
    if (std::string(who) == "bbTick()")
      bbTick();
    else
      bbStop();
    EXPECT_FALSE(bbIsRecording());
    EXPECT_TRUE(logHas(std::string(who) + ": file write error, stopping recording"));
    std::filesystem::remove(rec());
  }
}

TEST_F(BlackBox, UserEventsAreDeclaredKeysAndMouseEvents) {
  userEventDeclareKey('k', GDEV_MOD_LEFTSHIFT | GDEV_MOD_LEFTCTRL);
  userEventDeclareKey('m', GDEV_MOD_LEFTBUT);
  struct Case {
    const char* name;
    GdevEvent event;
    bool user;
    uint32_t modifiers;  // as delivered
  };
  const uint32_t shiftCtrlAlt = GDEV_MOD_LEFTSHIFT | GDEV_MOD_LEFTCTRL | GDEV_MOD_LEFTALT;
  const Case cases[] = {
      {"flipper down", makeEvent(GDEV_EVT_KEYDOWN, 0, kZ, 0), true, 0},
      {"flipper up", makeEvent(GDEV_EVT_KEYUP, 0, kZ, 0), true, 0},
      {"flipper repeat", makeEvent(GDEV_EVT_KEYREPEAT, 0, kZ, 0), false, 0},
      {"declared char", makeEvent(GDEV_EVT_KEYDOWN, 'R', 0x13, GDEV_MOD_LEFTSHIFT), true,
       GDEV_MOD_LEFTSHIFT},
      {"undeclared", makeEvent(GDEV_EVT_KEYDOWN, 'x', 0x2D, 0), false, 0},
      {"scan code is not a char", makeEvent(GDEV_EVT_KEYDOWN, kZ, 0, 0), false, 0},
      {"half the mask", makeEvent(GDEV_EVT_KEYDOWN, 'k', 0x25, GDEV_MOD_LEFTCTRL), false,
       GDEV_MOD_LEFTCTRL},
      {"all of the mask", makeEvent(GDEV_EVT_KEYDOWN, 'k', 0x25, shiftCtrlAlt), true, shiftCtrlAlt},
      {"timer", makeEvent(GDEV_EVT_TIMER, 0, 0, 0), false, 0},
      {"application", makeEvent(GDEV_EVT_USER, 0, 0, 0), false, 0},
      {"mouse move", makeEvent(GDEV_EVT_MOUSEMOVE, 0, 0, 0), true, 0},
      // The left button goes down: from now on key events carry bit 0.
      {"mouse down", makeEvent(GDEV_EVT_MOUSEDOWN, 0, 0, GDEV_MOD_LEFTBUT), true, GDEV_MOD_LEFTBUT},
      {"needs the button", makeEvent(GDEV_EVT_KEYDOWN, 'm', 0x32, 0), true, GDEV_MOD_LEFTBUT},
      {"low bits replaced",
       makeEvent(GDEV_EVT_KEYDOWN, 'x', 0x2D, GDEV_MOD_RIGHTBUT | GDEV_MOD_LEFTALT), false,
       GDEV_MOD_LEFTBUT | GDEV_MOD_LEFTALT},
      {"mouse up", makeEvent(GDEV_EVT_MOUSEUP, 0, 0, 0), true, 0},
      {"button gone", makeEvent(GDEV_EVT_KEYDOWN, 'm', 0x32, GDEV_MOD_LEFTBUT), false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(gdevPostEvent(&c.event));
    GdevEvent user{}, system{};
    EXPECT_EQ(userEventNext(&user), c.user ? 1 : 0);
    EXPECT_EQ(systemEventNext(&system), c.user ? 0 : 1);
    const GdevEvent& got = c.user ? user : system;
    EXPECT_EQ(got.what, c.event.what);
    EXPECT_EQ(got.modifiers, c.modifiers);
    // Looked at, not taken: the session consumes it.
    EXPECT_TRUE(gdevGetEvent(nullptr, GDEV_EVT_EVERY, true));
  }
  EXPECT_EQ(userEventNext(nullptr), 0);
  EXPECT_EQ(systemEventNext(nullptr), 0);
}

TEST_F(BlackBox, KeyMapsFollowDownAndUp) {
  userEventClearKeys();
  GdevEvent down = makeEvent(GDEV_EVT_KEYDOWN, 'g', 0x22, 0);
  userEventUpdateKeys(&down);
  EXPECT_EQ(userEventScanHeld(0x22), 1);
  EXPECT_EQ(userEventCharHeld('g'), 1);
  // Shift went down in between: the key comes up as 'G', and 'g' is released too.
  GdevEvent up = makeEvent(GDEV_EVT_KEYUP, 'G', 0x22, GDEV_MOD_LEFTSHIFT);
  userEventUpdateKeys(&up);
  EXPECT_EQ(userEventScanHeld(0x22), 0);
  EXPECT_EQ(userEventCharHeld('g'), 0);
  EXPECT_EQ(userEventCharHeld('G'), 0);

  GdevEvent repeat = makeEvent(GDEV_EVT_KEYREPEAT, ' ', 0x39, 0);
  userEventUpdateKeys(&repeat);
  EXPECT_EQ(userEventCharHeld(' '), 1);
  GdevEvent mouse = makeEvent(GDEV_EVT_MOUSEDOWN, 0, 0, GDEV_MOD_LEFTBUT);
  userEventUpdateKeys(&mouse);
  EXPECT_EQ(userEventScanHeld(0), 0);
  userEventClearKeys();
  EXPECT_EQ(userEventCharHeld(' '), 0);
  EXPECT_EQ(userEventScanHeld(0x39), 0);
  EXPECT_EQ(userEventScanHeld(-1), 0);
  EXPECT_EQ(userEventCharHeld(256), 0);
}

}  // namespace
