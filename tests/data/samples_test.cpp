// The generated sound samples: the set the game loads, each one decoded by
// the game's audio layer and checked for level, clipping, clean edges and
// length, all of them distinct, the generator repeatable, and the table's
// samples loading with the shipped mix configuration.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/conf.h"
#include "core/log.h"
#include "platform/audio.h"
#include "sound/fx.h"
#include "support/fixture_bytes.h"
#include "support/testutil.h"

namespace {

const std::string kGame = PB_GAME_DIR;
const std::string kPbsfx = std::string(PB_BIN_DIR) + "/pbsfx";

// The subgames' samples, by sample id 0..23.
const char* const kSubgamePaths[] = {
    "samples/oligarch/body_move.wav",     "samples/oligarch/gold_catch.wav",
    "samples/oligarch/gold_break.wav",    "samples/boxing/drol_hit1.wav",
    "samples/boxing/drol_hit2.wav",       "samples/boxing/drol_boom.wav",
    "samples/boxing/drol_knockout.wav",   "samples/boxing/vesk_hit1.wav",
    "samples/boxing/vesk_hit2.wav",       "samples/boxing/vesk_boom.wav",
    "samples/boxing/vesk_knockout.wav",   "samples/boxing/tarok_hit1.wav",
    "samples/boxing/tarok_hit2.wav",      "samples/boxing/tarok_boom.wav",
    "samples/boxing/tarok_knockout.wav",  "samples/deputy/man1_die.wav",
    "samples/deputy/man2_die.wav",        "samples/deputy/man1_run.wav",
    "samples/deputy/man2_run.wav",        "samples/deputy/miss1.wav",
    "samples/deputy/miss2.wav",           "samples/deputy/miss3.wav",
    "samples/deputy/reload.wav",          "samples/deputy/shoot.wav",
};
static_assert(sizeof kSubgamePaths / sizeof kSubgamePaths[0] == SI_DUMA_BUMPER);

const char* const kLogoPaths[] = {"samples/lumo-logo.wav", "samples/ortan-logo.wav"};

struct Expected {
  std::string path;  // relative to the game folder
  double minSeconds, maxSeconds;
};

std::vector<Expected> expectedSamples() {
  std::vector<Expected> all;
  for (const TableSample& ts : tableSamples())
    all.push_back({std::string("samples/") + ts.name + ".wav", 0.05, 0.8});
  for (const char* path : kSubgamePaths) all.push_back({path, 0.05, 1.0});
  for (const char* path : kLogoPaths) all.push_back({path, 1.5, 3.0});
  return all;
}

// A sample as the game's audio layer decodes it: played alone at full volume
// in the centre, the left channel of the mix is the sample itself.
struct Decoded {
  bool ok = false;
  std::vector<int> frames;
};

Decoded decode(const std::string& path) {
  Decoded d;
  const AudioSample s = audioSampleLoad(path.c_str(), 1);
  if (!s) return d;
  const int n = audioSampleFrames(s);
  if (n > 0 && audioSamplePlay(s, 100, 0, false)) {
    std::vector<int16_t> mix(static_cast<size_t>(n) * 2);
    if (audioRender(mix.data(), n)) {
      for (int i = 0; i < n; ++i) d.frames.push_back(mix[static_cast<size_t>(i) * 2]);
      d.ok = true;
    }
  }
  audioSampleFree(s);
  return d;
}

// A coarse picture of a sound: its length, and over 16 equal slices the
// loudness relative to the peak and the rate of zero crossings on a log scale
// (a stand-in for pitch and brightness: one octave is about one unit).
struct Fingerprint {
  double seconds = 0;
  double level[16] = {};
  double crossings[16] = {};
};

Fingerprint fingerprint(const std::vector<int>& v) {
  Fingerprint f;
  f.seconds = static_cast<double>(v.size()) / static_cast<double>(AUDIO_RATE);
  int peak = 1;
  for (int x : v) peak = std::max(peak, std::abs(x));
  for (int k = 0; k < 16; ++k) {
    const size_t from = v.size() * static_cast<size_t>(k) / 16, to = v.size() * static_cast<size_t>(k + 1) / 16;
    double sum = 0;
    int cross = 0;
    for (size_t i = from; i < to; ++i) {
      sum += static_cast<double>(v[i]) * v[i];
      if (i > from && (v[i] >= 0) != (v[i - 1] >= 0)) ++cross;
    }
    const double n = to > from ? static_cast<double>(to - from) : 1.0;
    f.level[k] = std::sqrt(sum / n) / peak;
    f.crossings[k] = std::log2(1.0 + cross * AUDIO_RATE / n / 40.0);
  }
  return f;
}

double distance(const Fingerprint& a, const Fingerprint& b) {
  double d = std::fabs(a.seconds - b.seconds) / std::max(a.seconds, b.seconds);
  for (int k = 0; k < 16; ++k) {
    d += std::fabs(a.level[k] - b.level[k]) + 0.1 * std::fabs(a.crossings[k] - b.crossings[k]);
  }
  return d;
}

class GeneratedSamples : public ::testing::Test {
 protected:
  void SetUp() override {
    audioSetOutput(AUDIO_OUTPUT_NONE);
    ASSERT_TRUE(audioOpen());
  }
  void TearDown() override {
    audioClose();
    audioSetOutput(AUDIO_OUTPUT_DEVICE);
  }
};

TEST(SampleSet, GameFolderHoldsExactlyTheSamplesTheGameLoads) {
  std::set<std::string> want, have;
  for (const Expected& e : expectedSamples()) want.insert(e.path);
  EXPECT_EQ(want.size(), 54u);
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(kGame + "/samples", ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file()) {
      have.insert(std::filesystem::relative(it->path(), kGame).generic_string());
    }
  }
  EXPECT_FALSE(ec) << ec.message();
  EXPECT_EQ(have, want);
}

TEST_F(GeneratedSamples, EachIsAudibleUnclippedCleanAndOfItsLength) {
  for (const Expected& e : expectedSamples()) {
    SCOPED_TRACE(e.path);
    const std::string file = readFile(kGame + "/" + e.path);
    ASSERT_GE(file.size(), 44u);
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_EQ(getLe16(file, 22), 1u);       // mono
    EXPECT_EQ(getLe32(file, 24), 44100u);   // rate
    EXPECT_EQ(getLe16(file, 34), 16u);      // bits
    EXPECT_EQ(getLe32(file, 40), file.size() - 44);

    const Decoded d = decode(kGame + "/" + e.path);
    ASSERT_TRUE(d.ok) << audioErrorDetail();
    const double seconds = static_cast<double>(d.frames.size()) / static_cast<double>(AUDIO_RATE);
    EXPECT_GE(seconds, e.minSeconds);
    EXPECT_LE(seconds, e.maxSeconds);
    int peak = 0;
    double energy = 0;
    for (int x : d.frames) {
      peak = std::max(peak, std::abs(x));
      energy += static_cast<double>(x) * x;
    }
    const double rms = std::sqrt(energy / static_cast<double>(d.frames.size()));
    EXPECT_GE(peak, 16000);  // well above -6 dBFS: audible at the mix's volumes
    EXPECT_LE(peak, 29204);  // -1 dBFS: headroom, no clipping
    EXPECT_GE(rms, 1500.0);  // not a lone spike
    // Starts and ends at silence, so playing it gives no click.
    EXPECT_LE(std::abs(d.frames.front()), 64);
    EXPECT_LE(std::abs(d.frames.back()), 64);
    EXPECT_EQ(d.frames.size() * 2 + 44, file.size());
  }
}

TEST_F(GeneratedSamples, AreAllRecognisablyDifferent) {
  const std::vector<Expected> all = expectedSamples();
  std::vector<Fingerprint> prints;
  for (const Expected& e : all) {
    const Decoded d = decode(kGame + "/" + e.path);
    ASSERT_TRUE(d.ok) << e.path;
    prints.push_back(fingerprint(d.frames));
  }
  for (size_t i = 0; i < all.size(); ++i) {
    for (size_t j = i + 1; j < all.size(); ++j) {
      EXPECT_GT(distance(prints[i], prints[j]), 0.4) << all[i].path << " vs " << all[j].path;
    }
  }
}

TEST(SampleGenerator, WritesTheSameBytesOnEveryRun) {
  TempDir a, b;
  const RunResult ra = runProgram(kPbsfx, {a.path});
  const RunResult rb = runProgram(kPbsfx, {b.path});
  ASSERT_EQ(ra.exitCode, 0) << ra.err;
  ASSERT_EQ(rb.exitCode, 0) << rb.err;
  EXPECT_EQ(ra.err, "");
  EXPECT_EQ(std::count(ra.out.begin(), ra.out.end(), '\n'), 1) << ra.out;  // the one-line summary
  for (const Expected& e : expectedSamples()) {
    const std::string first = readFile(a.file(e.path));
    EXPECT_FALSE(first.empty()) << e.path;
    EXPECT_EQ(first, readFile(b.file(e.path))) << e.path;
    EXPECT_EQ(first, readFile(kGame + "/" + e.path)) << e.path;  // and what the build made
  }
}

TEST(SampleGenerator, CommandLine) {
  const RunResult help = runProgram(kPbsfx, {"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("usage: pbsfx GAMEDIR"), std::string::npos) << help.out;

  // The listing names exactly the files a run writes.
  const RunResult list = runProgram(kPbsfx, {"--list"});
  EXPECT_EQ(list.exitCode, 0);
  for (const Expected& e : expectedSamples()) {
    EXPECT_NE(list.out.find(e.path + "\t"), std::string::npos) << e.path;
  }
  EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 54);

  const RunResult none = runProgram(kPbsfx, {});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.err.find("usage"), std::string::npos) << none.err;
  const RunResult unknown = runProgram(kPbsfx, {"--bogus"});
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_NE(unknown.err.find("usage"), std::string::npos) << unknown.err;

  // A game folder that is a file: nothing can be written below it.
  TempDir dir;
  writeFile(dir.file("game"), "x");
  const RunResult blocked = runProgram(kPbsfx, {dir.file("game")});
  EXPECT_EQ(blocked.exitCode, 1);
  EXPECT_NE(blocked.err.find("pbsfx: can't create the folder"), std::string::npos) << blocked.err;
  EXPECT_EQ(blocked.out, "");
}

class GameLoading : public ::testing::Test {
 protected:
  void SetUp() override {
    logReset();
    audioSetOutput(AUDIO_OUTPUT_NONE);
    ASSERT_EQ(fxInit(0), 1);
  }
  void TearDown() override {
    conf_free(&conf);
    fxShutdown();
    audioSetOutput(AUDIO_OUTPUT_DEVICE);
    logReset();
  }
  ScopedChdir cd{kGame};
  ConfSet conf{};
};

TEST_F(GameLoading, TableLoadsEverySampleWithTheShippedMix) {
  ASSERT_EQ(CONF_READ(&conf, "conf/sample.conf"), 0);
  StderrCapture err;
  const int loaded = setupSamples(&conf);
  EXPECT_EQ(err.finish(), "");
  EXPECT_EQ(loaded, 1);
  EXPECT_EQ(audioSamplesLoaded(), 28);

  // Every setting names a table sample and is in range: a misspelt section
  // would silently fall back to the defaults.
  std::set<std::string> names;
  for (const TableSample& ts : tableSamples()) names.insert(ts.name);
  for (const char* key = conf_findfirst(&conf, nullptr); key; key = conf_findnext(&conf)) {
    const std::string k = key;
    if (k == "volume" || k == "panning") continue;
    const size_t dot = k.find('.');
    ASSERT_NE(dot, std::string::npos) << k;
    EXPECT_TRUE(names.count(k.substr(0, dot))) << k;
    const std::string field = k.substr(dot + 1);
    EXPECT_TRUE(field == "volume" || field == "panning") << k;
  }
  for (int id = SI_DUMA_BUMPER; id <= SI_TRI; ++id) {
    if (id == SI_TRIANGLE) continue;
    EXPECT_GE(tableSampleVolume(id), 40) << sampleSID(id);
    EXPECT_LE(tableSampleVolume(id), 100) << sampleSID(id);
    EXPECT_LE(std::abs(tableSamplePanning(id)), 100) << sampleSID(id);
  }
  // The flippers are heard from their own side.
  EXPECT_LT(tableSamplePanning(SI_LFLIPPER_PRESS), 0);
  EXPECT_LT(tableSamplePanning(SI_LFLIPPER_RLS), 0);
  EXPECT_GT(tableSamplePanning(SI_RFLIPPER_PRESS), 0);
  EXPECT_GT(tableSamplePanning(SI_RFLIPPER_RLS), 0);
}

TEST_F(GameLoading, SubgamesAndLogosLoadTheirSamples) {
  fxSetSampleSID(sampleSID);
  StderrCapture err;
  for (int id = 0; id < SI_DUMA_BUMPER; ++id) EXPECT_EQ(fxLoadSampleWav(id, kSubgamePaths[id]), 1) << id;
  for (const char* path : kLogoPaths) EXPECT_EQ(fxLoadSampleWav(fxAllocSample(), path), 1) << path;
  EXPECT_EQ(err.finish(), "");
  EXPECT_EQ(audioSamplesLoaded(), SI_DUMA_BUMPER + 2);
}

}  // namespace
