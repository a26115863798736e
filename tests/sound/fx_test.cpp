// The fx layer: start-up and its failure, the disabled layer, sample ids and
// their checks, playing with clamped volume and panning (and reverse
// stereo), channels, the three-playback limit and the error texts.
#include "sound/fx.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "sound/fx_fixture.h"

namespace {

using fxtest::FxTest;
using fxtest::render;
using fxtest::stderrOf;
using fxtest::stereo;

// Every fx entry point, with arguments that would fail or load things if the
// layer were enabled.
struct Call {
  const char* name;
  int (*call)();
};
const Call kEveryCall[] = {
    {"fxLoadSampleWav", [] { return fxLoadSampleWav(24, "samples/missing.wav"); }},
    {"fxLoadSampleWav bad id", [] { return fxLoadSampleWav(999, "samples/missing.wav"); }},
    {"fxPlaySample", [] { return static_cast<int>(fxPlaySample(24, 100, 0, 0)); }},
    {"fxPlaySample bad id", [] { return static_cast<int>(fxPlaySample(-4, 100, 0, 1)); }},
    {"fxChannelIsActive", [] { return fxChannelIsActive(0x12345); }},
    {"fxChannelSetVolume", [] { return fxChannelSetVolume(0x12345, 50); }},
    {"fxChannelSetPanning", [] { return fxChannelSetPanning(0x12345, 50); }},
    {"fxChannelStop", [] { return fxChannelStop(0x12345); }},
    {"fxFreeSample", [] { return fxFreeSample(24); }},
    {"fxSampleLoaded", [] { return fxSampleLoaded(24); }},
    {"fxLoadModule", [] { return fxLoadModule(0, "music/missing.it"); }},
    {"fxLoadModule bad id", [] { return fxLoadModule(300, "music/missing.it"); }},
    {"fxPlayModule", [] { return fxPlayModule(5); }},
    {"fxStopModule", [] { return fxStopModule(); }},
    {"fxSetModulePosition", [] { return fxSetModulePosition(31, 0); }},
    {"fxGetModulePosition null", [] { return fxGetModulePosition(nullptr, nullptr); }},
    {"fxUpdate", [] { return fxUpdate(); }},
    {"fxFadeOutModule", [] { return fxFadeOutModule(1.0); }},
    {"fxFadeUpdate", [] { return fxFadeUpdate(2000.0); }},
    {"playTableSample", [] { return static_cast<int>(playTableSample(SI_DUMA_BUMPER)); }},
    {"loadSample", [] { return loadSample(nullptr, SI_SAVER, "saver"); }},
    {"setupSamples", [] { return setupSamples(nullptr); }},
    {"setupMusic", [] { return setupMusic(); }},
    {"freeTableSamples", [] { return freeTableSamples(), 1; }},
};

void expectEveryCallSucceedsSilently() {
  for (const Call& c : kEveryCall) {
    SCOPED_TRACE(c.name);
    int result = 0;
    EXPECT_EQ(stderrOf([&] { result = c.call(); }), "");
    EXPECT_EQ(result, 1);
  }
  EXPECT_EQ(fxAllocSample(), 128);
  int order = -7, row = -7;
  EXPECT_EQ(fxGetModulePosition(&order, &row), 1);
  EXPECT_EQ(order, 0);
  EXPECT_EQ(row, 0);
  EXPECT_EQ(fxCurrentModule(), -1);
  EXPECT_EQ(audioSamplesLoaded(), 0);
  EXPECT_EQ(audioModulesLoaded(), 0);
}

TEST_F(FxTest, ADisabledLayerAnswersEveryCallWithOneAndDoesNothing) {
  wav("samples/saver.wav", {1, 1});  // present, yet not loaded while disabled
  module("music/comm.it");
  {
    SCOPED_TRACE("switched off with /nosnd");
    fxShutdown();
    ASSERT_EQ(fxInit(1), 1);
    EXPECT_EQ(fxDisabled(), 1);
    expectEveryCallSucceedsSilently();
  }
  {
    SCOPED_TRACE("never started");
    fxShutdown();
    EXPECT_EQ(fxDisabled(), 1);
    expectEveryCallSucceedsSilently();
  }
}

TEST_F(FxTest, StartingOpensTheOutputAndWritesItsDebugLines) {
  fxShutdown();
  logToFile(3);
  ASSERT_EQ(fxInit(0), 1);
  EXPECT_EQ(logFile(), "D3: at BASS_Init()\nD3: at BASS_Start()\n");
  EXPECT_EQ(fxDisabled(), 0);
  EXPECT_TRUE(audioIsOpen());

  // A second start empties the tables, drops reverse stereo and the names.
  wav("a.wav", {1000, 1000});
  ASSERT_EQ(fxLoadSampleWav(SI_SAVER, "a.wav"), 1);
  fxSetSampleSID(sampleSID);
  fxSetReverse(1);
  ASSERT_EQ(fxInit(0), 1);
  EXPECT_EQ(audioSamplesLoaded(), 0);
  EXPECT_EQ(stderrOf([] { fxPlaySample(SI_SAVER, 100, 0, 0); }),
            "fxPlaySample(): sample 26/<NOSID> is not valid\n");
  ASSERT_EQ(fxLoadSampleWav(SI_SAVER, "a.wav"), 1);
  uint32_t ch = fxPlaySample(SI_SAVER, 100, 30, 0);
  int volume = 0, panning = 0;
  ASSERT_TRUE(audioChannelGetAttributes(ch, &volume, &panning));
  EXPECT_EQ(panning, 30);
}

TEST_F(FxTest, AnOutputThatCannotOpenLeavesSoundDisabled) {
  fxShutdown();
  audioSetOutput(AUDIO_OUTPUT_DEVICE);
  ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
  int result = -1;
  EXPECT_EQ(stderrOf([&] { result = fxInit(0); }),
            "fxInit(): BASS_Init() returned error: can't find a free/valid driver\n");
  EXPECT_EQ(result, 0);
  EXPECT_EQ(fxDisabled(), 1);
  EXPECT_FALSE(audioIsOpen());
  expectEveryCallSucceedsSilently();
}

TEST_F(FxTest, StartsOnTheDummyDeviceAndShutsItDown) {
  fxShutdown();
  audioSetOutput(AUDIO_OUTPUT_DEVICE);
  ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
  ASSERT_EQ(fxInit(0), 1);
  EXPECT_TRUE(audioIsOpen());
  wav("a.wav", {1000, 1000, 2000, 2000});
  ASSERT_EQ(fxLoadSampleWav(SI_SAVER, "a.wav"), 1);
  uint32_t ch = fxPlaySample(SI_SAVER, 100, 0, 1);
  EXPECT_NE(ch, 0u);
  EXPECT_EQ(fxChannelIsActive(ch), 1);
  fxShutdown();
  EXPECT_FALSE(audioIsOpen());
  EXPECT_EQ(fxDisabled(), 1);
}

TEST_F(FxTest, SampleChecksNameTheFunctionTheIdAndTheSample) {
  wav("a.wav", {1, 1});
  struct Case {
    const char* what;
    bool names;  // the SI_* names installed
    int (*call)();
    int result;
    const char* message;
  };
  const Case cases[] = {
      {"load id too high", true, [] { return fxLoadSampleWav(256, "a.wav"); }, 0,
       "fxLoadSampleWav(): invalid sample ID 256, not in [0..255]\n"},
      {"load negative id", true, [] { return fxLoadSampleWav(-1, "a.wav"); }, 0,
       "fxLoadSampleWav(): invalid sample ID -1, not in [0..255]\n"},
      {"load missing file", true, [] { return fxLoadSampleWav(7, "samples/missing.wav"); }, 0,
       "fxLoadSampleWav(): error loading sample 7/SI_BOXING_VESK_HIT1 from 'samples/missing.wav'\n"},
      {"play bad id", true, [] { return static_cast<int>(fxPlaySample(300, 100, 0, 0)); }, 0,
       "fxPlaySample(): invalid sample ID 300, not in [0..255]\n"},
      {"play unloaded", true, [] { return static_cast<int>(fxPlaySample(24, 100, 0, 0)); }, 0,
       "fxPlaySample(): sample 24/SI_DUMA_BUMPER is not valid\n"},
      {"play unloaded, default names", false, [] { return static_cast<int>(fxPlaySample(24, 100, 0, 0)); },
       0, "fxPlaySample(): sample 24/<NOSID> is not valid\n"},
      {"free unloaded dynamic", true, [] { return fxFreeSample(130); }, 0,
       "fxFreeSample(): sample 130/<dynamic> is not valid\n"},
      {"free bad id", true, [] { return fxFreeSample(-2); }, 0,
       "fxFreeSample(): invalid sample ID -2, not in [0..255]\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fxSetSampleSID(c.names ? sampleSID : nullptr);
    int result = -1;
    EXPECT_EQ(stderrOf([&] { result = c.call(); }), c.message);
    EXPECT_EQ(result, c.result);
  }
  EXPECT_EQ(audioSamplesLoaded(), 0);
}

TEST_F(FxTest, SampleNamesCoverFixedDynamicAndInvalidIds) {
  const std::pair<int, const char*> names[] = {
      {0, "SI_OLIGARCH_BODY_MOVE"}, {23, "SI_DEPUTY_SHOOT"},    {24, "SI_DUMA_BUMPER"},
      {27, "SI_TRIANGLE"},          {52, "SI_TRI"},             {53, "SI_SNDMACH_SAMPLE0"},
      {72, "SI_SNDMACH_SAMPLE19"},  {73, "<dynamic>"},          {255, "<dynamic>"},
      {256, "<invalid>"},           {-1, "<invalid>"},
  };
  fxSetSampleSID(sampleSID);
  for (auto [id, name] : names) EXPECT_STREQ(fxSampleName(id), name) << id;
  fxSetSampleSID(nullptr);
  EXPECT_STREQ(fxSampleName(24), "<NOSID>");
}

TEST_F(FxTest, DynamicIdsAreTheLowestFreeOnesAndRunOut) {
  wav("a.wav", {1, 1});
  EXPECT_EQ(fxAllocSample(), 128);
  EXPECT_EQ(fxAllocSample(), 128) << "allocating does not reserve";
  ASSERT_EQ(fxLoadSampleWav(128, "a.wav"), 1);
  ASSERT_EQ(fxLoadSampleWav(129, "a.wav"), 1);
  ASSERT_EQ(fxLoadSampleWav(131, "a.wav"), 1);
  EXPECT_EQ(fxAllocSample(), 130);
  ASSERT_EQ(fxLoadSampleWav(130, "a.wav"), 1);
  EXPECT_EQ(fxAllocSample(), 132);
  ASSERT_EQ(fxFreeSample(129), 1);
  EXPECT_EQ(fxAllocSample(), 129);

  for (int id = fxAllocSample(); id >= 0; id = fxAllocSample()) {
    ASSERT_EQ(fxLoadSampleWav(id, "a.wav"), 1) << id;
    if (id == 255) break;
  }
  int result = 0;
  EXPECT_EQ(stderrOf([&] { result = fxAllocSample(); }),
            "fxAllocSample(): error allocating sample, all 128 descriptors occupied\n");
  EXPECT_EQ(result, -1);
  EXPECT_EQ(audioSamplesLoaded(), 128);
}

TEST_F(FxTest, LoadingIntoAnOccupiedIdFreesTheOldSampleFirst) {
  wav("a.wav", {1000, 1000});
  wav("b.wav", {-300, 400});
  ASSERT_EQ(fxLoadSampleWav(SI_BUTTON, "a.wav"), 1);
  uint32_t old = fxPlaySample(SI_BUTTON, 100, 0, 1);
  ASSERT_EQ(fxChannelIsActive(old), 1);

  ASSERT_EQ(fxLoadSampleWav(SI_BUTTON, "b.wav"), 1);
  EXPECT_EQ(audioSamplesLoaded(), 1);
  EXPECT_EQ(fxChannelIsActive(old), 0) << "the old sample's playback went with it";
  fxPlaySample(SI_BUTTON, 100, 0, 0);
  EXPECT_EQ(render(2), stereo({{-300, 400}, {0, 0}}));

  // A failed reload still lets go of the sample that was there.
  fxSetSampleSID(sampleSID);
  EXPECT_EQ(stderrOf([] { fxLoadSampleWav(SI_BUTTON, "missing.wav"); }),
            "fxLoadSampleWav(): error loading sample 48/SI_BUTTON from 'missing.wav'\n");
  EXPECT_EQ(audioSamplesLoaded(), 0);
  EXPECT_EQ(stderrOf([] { fxPlaySample(SI_BUTTON, 100, 0, 0); }),
            "fxPlaySample(): sample 48/SI_BUTTON is not valid\n");
}

TEST_F(FxTest, PlayingClampsVolumeAndPanningAndReverseStereoNegatesPanning) {
  wav("a.wav", {10000, 10000});
  ASSERT_EQ(fxLoadSampleWav(SI_SPRING, "a.wav"), 1);
  struct Case {
    int reverse, volume, panning;
    int gotVolume, gotPanning;  // what reaches the audio layer
    int left, right;            // the mixed frame
  };
  const Case cases[] = {
      {0, 150, 30, 100, 30, 7000, 10000},
      {0, -5, -150, 0, -100, 0, 0},
      {0, 60, -40, 60, -40, 6000, 3600},
      {1, 80, 30, 80, -30, 8000, 5600},
      {1, 100, 150, 100, -100, 10000, 0},  // clamped to 100 first, then negated
      {1, 100, -100, 100, 100, 0, 10000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "reverse " << c.reverse << " volume " << c.volume << " panning "
                                    << c.panning);
    fxSetReverse(c.reverse);
    uint32_t ch = fxPlaySample(SI_SPRING, c.volume, c.panning, 0);
    ASSERT_NE(ch, 0u);
    int volume = -1, panning = -1;
    ASSERT_TRUE(audioChannelGetAttributes(ch, &volume, &panning));
    EXPECT_EQ(volume, c.gotVolume);
    EXPECT_EQ(panning, c.gotPanning);
    EXPECT_EQ(render(1), stereo({{c.left, c.right}}));
    EXPECT_EQ(fxChannelIsActive(ch), 0) << "a one-shot ends with its last frame";
  }
}

TEST_F(FxTest, ChannelCallsKeepTheOtherAttribute) {
  wav("a.wav", {10000, 10000});
  ASSERT_EQ(fxLoadSampleWav(SI_GASBTN, "a.wav"), 1);
  fxSetReverse(1);
  uint32_t ch = fxPlaySample(SI_GASBTN, 80, 30, 1);
  ASSERT_EQ(fxChannelIsActive(ch), 1);
  int volume = 0, panning = 0;

  ASSERT_EQ(fxChannelSetVolume(ch, 120), 1);
  ASSERT_TRUE(audioChannelGetAttributes(ch, &volume, &panning));
  EXPECT_EQ(volume, 100);
  EXPECT_EQ(panning, -30) << "the panning stays as it reached the layer, not negated twice";

  ASSERT_EQ(fxChannelSetPanning(ch, 250), 1);
  ASSERT_TRUE(audioChannelGetAttributes(ch, &volume, &panning));
  EXPECT_EQ(volume, 100);
  EXPECT_EQ(panning, -100);
  fxSetReverse(0);
  ASSERT_EQ(fxChannelSetPanning(ch, 50), 1);
  ASSERT_EQ(fxChannelSetVolume(ch, 40), 1);
  EXPECT_EQ(render(2), stereo({{2000, 4000}, {2000, 4000}})) << "a looping channel plays on";

  EXPECT_EQ(fxChannelStop(ch), 1);
  EXPECT_EQ(fxChannelIsActive(ch), 0);
  EXPECT_EQ(render(1), stereo({{0, 0}}));
  EXPECT_EQ(fxChannelStop(ch), 0);
  EXPECT_EQ(fxChannelSetVolume(ch, 50), 0);
  EXPECT_EQ(fxChannelSetPanning(ch, 0), 0);
}

TEST_F(FxTest, ASampleSoundsAtMostThreeTimesAtOnce) {
  wav("a.wav", std::vector<int>(20, 1000));
  ASSERT_EQ(fxLoadSampleWav(SI_DUMA_BUMPER, "a.wav"), 1);
  uint32_t ch[4];
  for (uint32_t& c : ch) c = fxPlaySample(SI_DUMA_BUMPER, 100, 0, 0);
  EXPECT_EQ(fxChannelIsActive(ch[0]), 0) << "the fourth took over the first";
  for (int i = 1; i < 4; ++i) EXPECT_EQ(fxChannelIsActive(ch[i]), 1) << i;
  EXPECT_EQ(render(1), stereo({{3000, 3000}}));
}

TEST_F(FxTest, FreeingASampleReleasesItAndClearsItsId) {
  wav("a.wav", {1, 1});
  ASSERT_EQ(fxLoadSampleWav(SI_OSTBTN, "a.wav"), 1);
  uint32_t ch = fxPlaySample(SI_OSTBTN, 100, 0, 1);
  EXPECT_EQ(fxFreeSample(SI_OSTBTN), 1);
  EXPECT_EQ(audioSamplesLoaded(), 0);
  EXPECT_EQ(fxChannelIsActive(ch), 0);
  EXPECT_EQ(stderrOf([] { fxFreeSample(SI_OSTBTN); }), "fxFreeSample(): sample 50/<NOSID> is not valid\n");
}

TEST(FxErrorTextTest, NamesListedCodesAndNumbersTheRest) {
  const std::pair<int, const char*> texts[] = {
      {0, "all is OK"},
      {3, "can't find a free/valid driver"},
      {4, "the sample buffer was lost - please report this!"},
      {27, "the stream is not a file stream (WAV/MP3)"},
      {28, "unknown (28)"},
      {30, "synchronizers have been disabled"},
      {31, "unknown (31)"},
      {-1, "some other mystery error"},
      {-2, "unknown (-2)"},
  };
  for (auto [code, text] : texts) EXPECT_STREQ(fxErrorText(code), text) << code;
}

}  // namespace
