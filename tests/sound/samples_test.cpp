// The table's samples: loading by configuration name with per-sample volume,
// panning and file, the load report lines, and playing with those settings.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/conf.h"
#include "sound/fx.h"
#include "sound/fx_fixture.h"

namespace {

using fxtest::FxTest;
using fxtest::render;
using fxtest::stderrOf;
using fxtest::stereo;

class SamplesTest : public FxTest {
 protected:
  void SetUp() override {
    FxTest::SetUp();
    for (const TableSample& ts : tableSamples()) wav(std::string("samples/") + ts.name + ".wav", {10000, 10000});
  }
  void TearDown() override {
    conf_free(&conf);
    FxTest::TearDown();
  }
  void readConf(const std::string& text) {
    conf_free(&conf);
    ASSERT_EQ(confParseText(&conf, {reinterpret_cast<const uint8_t*>(text.data()), text.size()},
                            "sample.conf"),
              0);
  }
  ConfSet conf{};
};

TEST_F(SamplesTest, SetupLoadsEveryTableSampleWithItsConfiguredSettings) {
  wav("samples/krem_other.wav", {-10000, 20000});
  std::remove(dir.file("samples/krem_bumper.wav").c_str());
  readConf(
      "volume = 70\n"
      "panning = -10\n"
      "[duma_bumper]\n"
      "volume = 90\n"
      "panning = 25\n"
      "[krem_bumper]\n"
      "file = \"krem_other.wav\"\n"
      "panning = 100\n"
      "[saver]\n"
      "volume = 0.5\n");  // a fraction is no integer: the default applies
  logToFile(3);
  ASSERT_EQ(setupSamples(&conf), 1);
  EXPECT_EQ(audioSamplesLoaded(), 28);

  struct Case {
    int id, volume, panning;
  };
  for (Case c : {Case{SI_DUMA_BUMPER, 90, 25}, Case{SI_KREM_BUMPER, 70, 100}, Case{SI_SAVER, 70, -10},
                 Case{SI_TRI, 70, -10}}) {
    EXPECT_EQ(tableSampleVolume(c.id), c.volume) << c.id;
    EXPECT_EQ(tableSamplePanning(c.id), c.panning) << c.id;
  }

  const std::string log = logFile();
  EXPECT_NE(log.find("D3: sample 24/SI_DUMA_BUMPER => [duma_bumper] => 'samples/duma_bumper.wav'\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("D3: sample 25/SI_KREM_BUMPER => [krem_bumper] => 'samples/krem_other.wav'\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("D3: sample 52/SI_TRI => [tri] => 'samples/tri.wav'\n"), std::string::npos) << log;

  // Played with the settings: 90 at 25 right, then the other file fully right.
  uint32_t ch = playTableSample(SI_DUMA_BUMPER);
  ASSERT_NE(ch, 0u);
  EXPECT_EQ(render(2), stereo({{6750, 9000}, {0, 0}}));
  EXPECT_EQ(fxChannelIsActive(ch), 0) << "table samples do not loop";
  playTableSample(SI_KREM_BUMPER);
  EXPECT_EQ(render(1), stereo({{0, 14000}}));
  fxSetReverse(1);
  playTableSample(SI_DUMA_BUMPER);
  EXPECT_EQ(render(1), stereo({{9000, 6750}}));
}

TEST_F(SamplesTest, TheSubgameAndMachineIdsAreNotLoadedByTheTable) {
  ASSERT_EQ(setupSamples(nullptr), 1);
  for (int id : {0, 23, int{SI_TRIANGLE}, int{SI_SNDMACH_SAMPLE0}, int{SI_SNDMACH_SAMPLE19}}) {
    SCOPED_TRACE(id);
    int result = -1;
    EXPECT_EQ(stderrOf([&] { result = static_cast<int>(playTableSample(id)); }),
              std::string("fxPlaySample(): sample ") + std::to_string(id) + "/" + sampleSID(id) +
                  " is not valid\n");
    EXPECT_EQ(result, 0);
  }
  EXPECT_EQ(tableSampleVolume(SI_SPRING), 100) << "no configuration: full volume";
  EXPECT_EQ(tableSamplePanning(SI_SPRING), 0);
}

TEST_F(SamplesTest, AMissingSampleIsReportedAndTheRestStillLoad) {
  std::remove(dir.file("samples/tri.wav").c_str());
  std::remove(dir.file("samples/saver.wav").c_str());
  readConf("[saver]\nfile = \"other/saver.wav\"\n");
  int result = -1;
  EXPECT_EQ(stderrOf([&] { result = setupSamples(&conf); }),
            "fxLoadSampleWav(): error loading sample 26/SI_SAVER from 'samples/other/saver.wav'\n"
            "loadSample(): error loading sample 26/SI_SAVER from 'samples/other/saver.wav'\n"
            "fxLoadSampleWav(): error loading sample 52/SI_TRI from 'samples/tri.wav'\n"
            "loadSample(): error loading sample 52/SI_TRI from 'samples/tri.wav'\n");
  EXPECT_EQ(result, 0);
  EXPECT_EQ(audioSamplesLoaded(), 26);
  EXPECT_EQ(fxSampleLoaded(SI_TRI), 0);
  EXPECT_EQ(fxSampleLoaded(SI_SPRING), 1);

  // Unloading frees the 26 and passes over the two missing ones quietly;
  // samples the table does not own stay.
  ASSERT_EQ(fxLoadSampleWav(SI_BOXING_DROL_HIT1, "samples/spring.wav"), 1);
  EXPECT_EQ(stderrOf([] { freeTableSamples(); }), "");
  EXPECT_EQ(audioSamplesLoaded(), 1);
  EXPECT_EQ(fxSampleLoaded(SI_SPRING), 0);
  EXPECT_EQ(fxSampleLoaded(SI_BOXING_DROL_HIT1), 1);
}

TEST_F(SamplesTest, LoadSampleWorksForAnyIdWithTheNamesInstalled) {
  wav("samples/jingle.wav", {500, 500});
  readConf("[jingle]\nvolume = 40\npanning = -100\n");
  fxSetSampleSID(sampleSID);
  logToFile(3);
  ASSERT_EQ(loadSample(&conf, 140, "jingle"), 1);
  EXPECT_EQ(logFile(), "D3: sample 140/<dynamic> => [jingle] => 'samples/jingle.wav'\n");
  playTableSample(140);
  EXPECT_EQ(render(1), stereo({{200, 0}}));
  EXPECT_EQ(stderrOf([&] { loadSample(&conf, 400, "jingle"); }),
            "fxLoadSampleWav(): invalid sample ID 400, not in [0..255]\n"
            "loadSample(): error loading sample 400/<invalid> from 'samples/jingle.wav'\n");
}

}  // namespace
