// Tracks: file round trip and damaged files, positions along a track, the
// nearest position to a board point, and the named registry.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "core/conf.h"
#include "core/log.h"
#include "physics/opr.h"
#include "physics/track.h"
#include "support/fixture_bytes.h"
#include "support/testutil.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// A track over points owned by the fixture (never passed to trackFree).
struct Fixture {
  std::vector<TrackVec> points;
  Track track;
  Fixture(std::vector<TrackVec> p, double spacing) : points(std::move(p)) {
    track = Track{static_cast<int>(points.size()), spacing, points.data()};
  }
};

// Runs f with the log going to standard error and returns what it wrote.
template <typename F>
std::string logOf(F f) {
  StderrCapture err;
  logPrint("STDERR 1");
  f();
  logPrint("STDERR 0");
  return err.finish();
}

std::string bytesOf(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

std::span<const uint8_t> spanOf(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

bool sameBits(double a, double b) {
  return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

class TrackTest : public ::testing::Test {
 protected:
  void SetUp() override { logPrint("STDERR 0"); }
  void TearDown() override {
    objClearInfo();  // the registry holds the tracks: cleared before they are freed
    trackFreeAll();
    logPrint("STDERR 1");
  }
};

// ---------------------------------------------------------------------------
// Files

TEST_F(TrackTest, WriterAndReadersAgreeBitForBit) {
  // Values that a text detour or a wrong byte order would change.
  Fixture f({{0.1, -1e-300, 1.0 / 3},
             {-0.0, 5e-324, 123456789.125},
             {std::nextafter(1.0, 2.0), -2.5, 1e300}},
            0.7);
  TempDir dir;
  std::string path = dir.file("t.trk");
  ASSERT_EQ(trackSave(path.c_str(), &f.track), 1);

  // The layout, checked independently of the writer.
  std::string expected(12 + 3 * 24, '\0');
  patchLe32(&expected, 0, 3);
  patchF64(&expected, 4, 0.7);
  for (int i = 0; i < 3; i++) {
    patchF64(&expected, 12 + 24 * i, f.points[i].x);
    patchF64(&expected, 20 + 24 * i, f.points[i].y);
    patchF64(&expected, 28 + 24 * i, f.points[i].z);
  }
  std::string file = readFile(path);
  EXPECT_EQ(file, expected);
  EXPECT_EQ(file.substr(0, 4), std::string("\x03\x00\x00\x00", 4));

  std::vector<uint8_t> image;
  ASSERT_TRUE(trackBuildImage(&f.track, &image));
  EXPECT_EQ(bytesOf(image), file);

  // Bytes after the points are not part of the track.
  std::string padded = file + "trailing";
  Track fromFile, fromMemory;
  ASSERT_EQ(trackLoad(path.c_str(), &fromFile), 1);
  ASSERT_EQ(trackParse(spanOf(padded), "mem", &fromMemory), 1);
  for (const Track* t : {&fromFile, &fromMemory}) {
    ASSERT_EQ(t->count, 3);
    EXPECT_TRUE(sameBits(t->spacing, 0.7));
    for (int i = 0; i < 3; i++) {
      EXPECT_TRUE(sameBits(t->points[i].x, f.points[i].x)) << i;
      EXPECT_TRUE(sameBits(t->points[i].y, f.points[i].y)) << i;
      EXPECT_TRUE(sameBits(t->points[i].z, f.points[i].z)) << i;
    }
  }
  trackFree(&fromFile);
  trackFree(&fromMemory);
  EXPECT_EQ(fromFile.points, nullptr);
  EXPECT_EQ(fromFile.count, 0);
}

TEST_F(TrackTest, WriterRefusesTracksThatReadersRefuse) {
  struct Case {
    std::vector<TrackVec> points;
    double spacing;
    const char* message;
  };
  const Case cases[] = {
      {{{0, 0, 0}}, 1.0, "trackBuildImage(): invalid track (1 points, spacing 1)"},
      {{{0, 0, 0}, {1, 0, 0}}, 0.0, "trackBuildImage(): invalid track (2 points, spacing 0)"},
      {{{0, 0, 0}, {1, 0, 0}}, kNaN, "invalid track (2 points, spacing nan)"},
      {{{0, 0, 0}, {1, kInf, 0}}, 1.0, "trackBuildImage(): invalid point 1 (1,inf,0)"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    Fixture f(c.points, c.spacing);
    std::string path = dir.file("bad.trk");
    std::string log = logOf([&] { EXPECT_EQ(trackSave(path.c_str(), &f.track), 0); });
    EXPECT_NE(log.find(c.message), std::string::npos) << log;
    EXPECT_NE(log.find("trackSave(): nothing written to '" + path + "'"), std::string::npos) << log;
    EXPECT_FALSE(pathExists(path));
  }
  std::string log = logOf([] {
    Fixture f({{0, 0, 0}, {1, 0, 0}}, 1.0);
    EXPECT_EQ(trackSave("/nonexistent-dir/x.trk", &f.track), 0);
  });
  EXPECT_EQ(log, "trackSave(): error creating file '/nonexistent-dir/x.trk'\n");
}

// A valid three-point image that the damaged cases start from.
std::string goodImage() {
  std::string s(12 + 3 * 24, '\0');
  patchLe32(&s, 0, 3);
  patchF64(&s, 4, 2.0);
  for (int i = 0; i < 9; i++) patchF64(&s, 12 + 8 * i, i * 1.5);
  return s;
}

TEST_F(TrackTest, DamagedImagesFailWithTheirMessage) {
  struct Case {
    const char* what;
    std::string bytes;
    const char* message;
  };
  auto withCount = [](uint32_t n) {
    std::string s = goodImage();
    patchLe32(&s, 0, n);
    return s;
  };
  auto withSpacing = [](double d) {
    std::string s = goodImage();
    patchF64(&s, 4, d);
    return s;
  };
  auto withCoordinate = [](int index, double d) {
    std::string s = goodImage();
    patchF64(&s, 12 + 8 * index, d);
    return s;
  };
  const std::string good = goodImage();
  const Case cases[] = {
      {"empty", "", "trackParse(): file read error (0 of 12 bytes read)"},
      {"short header", good.substr(0, 11), "trackParse(): file read error (11 of 12 bytes read)"},
      {"header only", good.substr(0, 12), "trackParse(): file read error (12 of 84 bytes read)"},
      {"one byte short", good.substr(0, 83), "trackParse(): file read error (83 of 84 bytes read)"},
      {"count 1", withCount(1), "trackParse(): invalid number of points 1 in file 'mem'"},
      {"count 0", withCount(0),
       "invalid number of points 0 in file 'mem' (must be in [2..89478484])"},
      {"negative count", withCount(0xFFFFFFFFu), "invalid number of points -1 in file 'mem'"},
      {"count past the format", withCount(89478485), "invalid number of points 89478485"},
      {"largest count, short data", withCount(89478484),
       "trackParse(): file read error (84 of 2147483628 bytes read)"},
      {"count one more than the data", withCount(4), "file read error (84 of 108 bytes read)"},
      {"zero spacing", withSpacing(0.0), "trackParse(): invalid point spacing 0 in file 'mem'"},
      {"negative spacing", withSpacing(-2.0), "invalid point spacing -2 in file 'mem'"},
      {"NaN spacing", withSpacing(kNaN), "invalid point spacing nan in file 'mem'"},
      {"infinite spacing", withSpacing(kInf), "invalid point spacing inf in file 'mem'"},
      {"NaN coordinate", withCoordinate(4, kNaN),
       "trackParse(): invalid point 1 (4.5,nan,7.5) in file 'mem'"},
      {"infinite z", withCoordinate(8, -kInf), "invalid point 2 (9,10.5,-inf) in file 'mem'"},
  };
  for (const Case& c : cases) {
    Track t{7, 1.0, nullptr};
    std::string log =
        logOf([&] { EXPECT_EQ(trackParse(spanOf(c.bytes), "mem", &t), 0) << c.what; });
    EXPECT_NE(log.find(c.message), std::string::npos) << c.what << ": " << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << c.what << ": " << log;
    EXPECT_EQ(t.points, nullptr) << c.what;
    EXPECT_EQ(t.count, 0) << c.what;
  }
}

TEST_F(TrackTest, DamagedFilesFailWithTheirMessage) {
  TempDir dir;
  std::string path = dir.file("short.trk");
  writeFile(path, goodImage().substr(0, 50));
  Track t;
  std::string log = logOf([&] { EXPECT_EQ(trackLoad(path.c_str(), &t), 0); });
  EXPECT_EQ(log, "trackLoad(): file read error (50 of 84 bytes read)\n");

  log = logOf([&] { EXPECT_EQ(trackLoad(dir.file("missing.trk").c_str(), &t), 0); });
  EXPECT_EQ(log, "trackLoad(): error opening file '" + dir.file("missing.trk") + "'\n");
}

// A pipe has no size to check in advance: the short read itself is reported.
TEST_F(TrackTest, ShortReadFromAPipe) {
  TempDir dir;
  std::string fifo = dir.file("pipe.trk");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string bytes = goodImage().substr(0, 60);
  std::thread writer([&] { writeFile(fifo, bytes); });
  Track t;
  std::string log = logOf([&] { EXPECT_EQ(trackLoad(fifo.c_str(), &t), 0); });
  writer.join();
  EXPECT_EQ(log, "trackLoad(): file read error (60 of 84 bytes read)\n");
  EXPECT_EQ(t.points, nullptr);
}

// ---------------------------------------------------------------------------
// Positions

// Segments of 3-D lengths 10, 8 and 13 at a nominal spacing of 4.
Fixture bentTrack() { return Fixture({{0, 0, 0}, {0, 8, 6}, {8, 8, 6}, {8, 20, 1}}, 4.0); }

TEST_F(TrackTest, PointAlongTheTrackAndBeyondItsEnds) {
  Fixture f = bentTrack();
  struct Case {
    double trackpos;
    TrackVec point;
    int on;
  };
  const Case cases[] = {
      {0, {0, 0, 0}, 1},
      {2, {0, 4, 3}, 1},
      {4, {0, 8, 6}, 1},  // a point exactly: the segment after it
      {6, {4, 8, 6}, 1},
      {10, {8, 14, 3.5}, 1},
      {11.5, {8, 18.5, 1.625}, 1},
      {12, {8, 20, 1}, 0},     // the last point (N - 1 spacings) is off the track
      {14, {8, 26, -1.5}, 0},  // beyond the end: along the last segment
      {-2, {0, -4, -3}, 1},    // (-spacing, 0) truncates to 0: still on the track
      {-4, {0, -8, -6}, 0},    // one spacing before the start
      {-6, {0, -12, -9}, 0},
  };
  for (const Case& c : cases) {
    TrackVec p{kNaN, kNaN, kNaN};
    EXPECT_EQ(TRACK_POINT(&f.track, c.trackpos, &p), c.on) << c.trackpos;
    EXPECT_EQ(p.x, c.point.x) << c.trackpos;
    EXPECT_EQ(p.y, c.point.y) << c.trackpos;
    EXPECT_EQ(p.z, c.point.z) << c.trackpos;
  }
  // Just below the last point is still on the track.
  TrackVec p;
  EXPECT_EQ(TRACK_POINT(&f.track, std::nextafter(12.0, 0.0), &p), 1);
  EXPECT_EQ(TRACK_POINT(&f.track, std::nextafter(-4.0, 0.0), &p), 1);
}

TEST_F(TrackTest, FarAndNonFinitePositionsStayOnTheEndSegments) {
  Fixture f = bentTrack();
  TrackVec p;
  EXPECT_EQ(trackSegment(&f.track, 1e300), 2);
  EXPECT_EQ(trackSegment(&f.track, -1e300), 0);
  EXPECT_EQ(trackSegment(&f.track, kNaN), 0);
  EXPECT_EQ(trackSegment(&f.track, kInf), 2);
  EXPECT_EQ(TRACK_POINT(&f.track, 1e300, &p), 0);
  EXPECT_EQ(p.x, 8);  // the last segment runs along y only
  EXPECT_EQ(TRACK_POINT(&f.track, -kInf, &p), 0);
  EXPECT_EQ(TRACK_POINT(&f.track, kNaN, &p), 0);
  EXPECT_TRUE(std::isnan(p.y));
}

TEST_F(TrackTest, VelocityFollowsTheSegmentWithTheGivenSpeed) {
  Fixture f = bentTrack();
  struct Case {
    double trackpos, trackvelo;
    TrackVec velo;
    int on;
  };
  const Case cases[] = {
      {2, 5, {0, 4, 3}, 1},        // first segment (0,8,6), length 10
      {-3, 10, {0, 8, 6}, 1},      // before the start: first segment
      {6, -4, {-4, 0, 0}, 1},      // backwards
      {10, -26, {0, -24, 10}, 1},  // (0,12,-5), length 13
      {14, 13, {0, 12, -5}, 0},    // beyond the end: last segment
      {6, 0, {0, 0, 0}, 1},
  };
  for (const Case& c : cases) {
    TrackVec p, v, q;
    EXPECT_EQ(TRACK_POINT_VELO(&f.track, c.trackpos, c.trackvelo, &p, &v), c.on) << c.trackpos;
    TRACK_POINT(&f.track, c.trackpos, &q);
    EXPECT_EQ(p.x, q.x);
    EXPECT_EQ(p.y, q.y);
    EXPECT_EQ(p.z, q.z);
    EXPECT_EQ(v.x, c.velo.x) << c.trackpos;
    EXPECT_EQ(v.y, c.velo.y) << c.trackpos;
    EXPECT_EQ(v.z, c.velo.z) << c.trackpos;
  }
  // Two equal points (a segment of length 0) give no direction and no speed.
  Fixture still({{1, 1, 1}, {1, 1, 1}, {2, 1, 1}}, 1.0);
  TrackVec p, v;
  EXPECT_EQ(TRACK_POINT_VELO(&still.track, 0.5, 7, &p, &v), 1);
  EXPECT_EQ(v.x, 0);
  EXPECT_EQ(v.y, 0);
  EXPECT_EQ(v.z, 0);
  EXPECT_EQ(p.x, 1);
}

// ---------------------------------------------------------------------------
// Nearest position

struct ClosestCase {
  const char* what;
  std::vector<TrackVec> points;
  TrackVec p;
  double expected;
  const char* warning;  // the log line, or "" for none
};

TEST_F(TrackTest, ClosestPosition) {
  const std::vector<TrackVec> straight = {{0, 0, 0},  {10, 0, 0}, {20, 0, 0},
                                          {30, 0, 0}, {40, 0, 0}, {50, 0, 0}};
  // Straight to point 3, then a turn: point 4 is (30, 10).
  const std::vector<TrackVec> turning = {
      {0, 0, 0}, {10, 0, 0}, {20, 0, 0}, {30, 0, 0}, {30, 10, 0}};
  // Point 0 is nearest to (2,1); points 1 and 3 are equally far from it.
  const std::vector<TrackVec> tie = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {-6, 0, 0}};
  // A U: points 0 and 3 equally near to (0,5).
  const std::vector<TrackVec> u = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
  // Points 0 and 1 above each other (a lift).
  const std::vector<TrackVec> lift = {{0, 0, 0}, {0, 0, 10}, {10, 0, 20}};
  const ClosestCase cases[] = {
      {"between two points", straight, {33, 5, 0}, 33, ""},
      {"on a point", straight, {20, 0, 0}, 20, ""},
      // Between points 2 and 3, nearer to 3: point 2 was best before 3 and is
      // forgotten, so the line through 3 and 4 gives the answer (t < 0).
      {"nearer the later point", straight, {27, 0, 0}, 27, ""},
      // The same where that line turns away: the answer comes from 3 and 4,
      // not from the segment the point lies beside.
      {"nearer the later point, turning", turning, {27, 1, 0}, 31, ""},
      {"before the start", straight, {-5, 3, 0}, -5, ""},
      {"past the last point",
       straight,
       {60, 0, 0},
       50,
       "trackClosest(): WARNING p-(60.00,0.00) mini1-5 mini2-0, possibly wrong track\n"},
      {"second place goes to the first of equals", tie, {2, 1, 0}, 2, ""},
      {"first place stays with the first of equals",
       u,
       {0, 5, 0},
       0,
       "trackClosest(): WARNING p-(0.00,5.00) mini1-0 mini2-3, possibly wrong track\n"},
      {"nothing within 1000",
       straight,
       {5000, -5000, 0},
       0,
       "trackClosest(): WARNING p-(5000.00,-5000.00) mini1-0 mini2-0, possibly wrong track\n"},
      {"points above each other", lift, {0, 0, 0}, 0, ""},
  };
  for (const ClosestCase& c : cases) {
    Fixture f(c.points, 10.0);
    double got = kNaN;
    std::string log = logOf([&] { got = trackClosest(&f.track, &c.p); });
    EXPECT_DOUBLE_EQ(got, c.expected) << c.what;
    EXPECT_EQ(log, c.warning) << c.what;
  }
}

TEST_F(TrackTest, ClosestPositionUsesOnlyXAndY) {
  Fixture f({{0, 0, 100}, {10, 0, -100}, {20, 0, 0}}, 0.5);
  TrackVec p{4, 2, 1e6};
  EXPECT_EQ(trackClosest(&f.track, &p), 0.2);
}

// ---------------------------------------------------------------------------
// Registry

void writeTrack(const std::string& path, std::vector<TrackVec> points, double spacing) {
  Fixture f(std::move(points), spacing);
  ASSERT_EQ(trackSave(path.c_str(), &f.track), 1);
}

TEST_F(TrackTest, SetupRegistersEveryLoadableTrack) {
  TempDir dir;
  ScopedChdir cd(dir.path);
  mkdir("conf", 0755);
  mkdir("tracks", 0755);
  writeTrack("tracks/ramp.trk", {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, 1.0);
  writeTrack("tracks/lane.trk", {{5, 5, 0}, {5, 9, 0}}, 4.0);
  writeFile("conf/track.conf",
            "[ramp]\nfilename = \"tracks/ramp.trk\"\n"
            "[lane]\nfilename = \"tracks/lane.trk\"\n"
            "[broken]\nfilename = \"tracks/missing.trk\"\n"
            "[nofile]\nlength = 3\n");
  int rc = 0;
  std::string log = logOf([&] { rc = setupTracks(0); });
  EXPECT_EQ(rc, 0);
  // Sections are visited in name order; failures leave their chain and the loop goes on.
  EXPECT_EQ(log,
            "trackLoad(): error opening file 'tracks/missing.trk'\n"
            "setupTracks(): error loading track 'broken' from file 'tracks/missing.trk'\n"
            "trackLoad(): error opening file 'filename-undef'\n"
            "setupTracks(): error loading track 'nofile' from file 'filename-undef'\n");

  Track* ramp = findTrack("ramp");
  Track* lane = findTrack("lane");
  ASSERT_NE(ramp, nullptr);
  ASSERT_NE(lane, nullptr);
  EXPECT_EQ(ramp->count, 3);
  EXPECT_EQ(lane->spacing, 4.0);
  EXPECT_EQ(lane->points[1].y, 9);
  // The tracks are named objects too; a track that failed is not.
  for (auto [name, track] : {std::pair{"track-ramp", ramp}, {"track-lane", lane}}) {
    ObjInfo* info = OBJ_FIND(name);
    ASSERT_NE(info, nullptr) << name;
    EXPECT_EQ(info->words[OBJ_INFO_TRACK], track) << name;
  }
  EXPECT_EQ(OBJ_FIND("track-broken"), nullptr);

  for (const char* name : {"broken", "Ramp", "track-ramp", ""}) {
    Track* t = ramp;
    log = logOf([&] { t = findTrack(name); });
    EXPECT_EQ(t, nullptr) << name;
    EXPECT_EQ(log, std::string("findTrack(): track '") + name + "' not found\n");
  }

  // Set up again with a changed file: the name now gives the new track.
  writeTrack("tracks/lane.trk", {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 3, 3}}, 2.0);
  writeFile("conf/track.conf", "[lane]\nfilename = \"tracks/lane.trk\"\n");
  EXPECT_EQ(setupTracks(0), 1);
  ASSERT_NE(findTrack("lane"), nullptr);
  EXPECT_EQ(findTrack("lane")->count, 4);
  EXPECT_EQ(OBJ_FIND("track-lane")->words[OBJ_INFO_TRACK], findTrack("lane"));
  EXPECT_NE(findTrack("ramp"), nullptr);  // kept from the first setup

  trackFreeAll();
  log = logOf([] { EXPECT_EQ(findTrack("lane"), nullptr); });
  EXPECT_EQ(log, "findTrack(): track 'lane' not found\n");
}

TEST_F(TrackTest, SetupReadsTheBinaryTwinAndCanWriteIt) {
  TempDir dir;
  ScopedChdir cd(dir.path);
  mkdir("conf", 0755);
  writeTrack("a.trk", {{0, 0, 0}, {3, 4, 0}}, 5.0);
  writeFile("conf/track.conf", "[a]\nfilename = \"a.trk\"\n");

  EXPECT_EQ(setupTracks(0), 1);
  EXPECT_FALSE(pathExists("conf/track.bcf"));
  EXPECT_EQ(setupTracks(TRACK_SETUP_WRITE_BINARY), 1);
  ASSERT_TRUE(pathExists("conf/track.bcf"));
  trackFreeAll();

  std::remove("conf/track.conf");
  EXPECT_EQ(setupTracks(0), 1);
  ASSERT_NE(findTrack("a"), nullptr);
  EXPECT_EQ(findTrack("a")->points[1].y, 4);

  trackFreeAll();
  std::remove("conf/track.bcf");
  int rc = 0;
  std::string log = logOf([&] { rc = setupTracks(0); });
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(log,
            "setupTracks(): configuration file 'conf/track.conf' or 'conf/track.bcf' not found\n");
}

TEST_F(TrackTest, TrackFromFileLoadsOnFirstUse) {
  TempDir dir;
  ScopedChdir cd(dir.path);
  mkdir("conf", 0755);
  writeTrack("plunger.trk", {{790, 590, 0}, {790, 300, 0}}, 290.0);
  writeFile("conf/track.conf", "[plunger]\nfilename = \"plunger.trk\"\n");
  ASSERT_EQ(setupTracks(0), 1);

  Track* first = trackFromFile("plunger.trk");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->points[1].y, 300);
  // Loaded once: a changed file is not read again.
  writeTrack("plunger.trk", {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, 1.0);
  EXPECT_EQ(trackFromFile("plunger.trk"), first);
  EXPECT_EQ(first->count, 2);
  // A file track is not a named one, and a named one is not replaced by it.
  EXPECT_NE(findTrack("plunger"), first);
  EXPECT_NE(trackFromFile("./plunger.trk"), first);

  Track* t = first;
  std::string log = logOf([&] { t = trackFromFile("none.trk"); });
  EXPECT_EQ(t, nullptr);
  EXPECT_EQ(log,
            "trackLoad(): error opening file 'none.trk'\n"
            "trackFromFile(): error loading track from file 'none.trk'\n");

  std::string longName(300, 'x');
  log = logOf([&] { t = trackFromFile(longName.c_str()); });
  EXPECT_EQ(t, nullptr);
  EXPECT_NE(log.find("trackFromFile(): file name too long (300 characters, at most 259)"),
            std::string::npos);
}

TEST_F(TrackTest, RegistryReportsWhenFull) {
  TempDir dir;
  ScopedChdir cd(dir.path);
  for (int i = 0; i <= TRACK_REGISTRY_SIZE; i++)
    writeTrack("t" + std::to_string(i) + ".trk", {{0, 0, 0}, {double(i), 0, 0}}, 1.0);
  for (int i = 0; i < TRACK_REGISTRY_SIZE; i++)
    ASSERT_NE(trackFromFile(("t" + std::to_string(i) + ".trk").c_str()), nullptr) << i;
  Track* t = nullptr;
  std::string last = "t" + std::to_string(TRACK_REGISTRY_SIZE) + ".trk";
  std::string log = logOf([&] { t = trackFromFile(last.c_str()); });
  EXPECT_EQ(t, nullptr);
  EXPECT_EQ(log, "trackFromFile(): no free slots in TRACKS[], all 128 occupied\n");
  // The ones loaded stay usable, and a named track finds no slot either.
  ASSERT_NE(trackFromFile("t5.trk"), nullptr);
  EXPECT_EQ(trackFromFile("t5.trk")->points[1].x, 5);
  mkdir("conf", 0755);
  writeFile("conf/track.conf", "[more]\nfilename = \"t0.trk\"\n");
  int rc = 1;
  log = logOf([&] { rc = setupTracks(0); });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(log, "setupTracks(): no free slots in TRACKS[], all 128 occupied\n");
}

}  // namespace
