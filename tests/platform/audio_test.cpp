// The audio layer: WAV conversion, the mixer's arithmetic (volume, panning,
// the limiter, the three-playback limit, looping), channel handles, tracker
// modules positioned by order and row, and the device's open and close.
// The mix is checked through audioRender without a device, so every value
// is exact and nothing depends on time or a sound card.
#include "platform/audio.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/audio_internal.h"
#include "sound/audio_fixtures.h"
#include "support/testutil.h"

namespace {

std::vector<int16_t> render(int frames) {
  std::vector<int16_t> out(static_cast<size_t>(frames) * 2, 12345);
  EXPECT_TRUE(audioRender(out.data(), frames));
  return out;
}

// Interleaved stereo frames, for readable expectations.
std::vector<int16_t> frames(std::initializer_list<std::pair<int, int>> list) {
  std::vector<int16_t> out;
  for (auto [l, r] : list) {
    out.push_back(static_cast<int16_t>(l));
    out.push_back(static_cast<int16_t>(r));
  }
  return out;
}

class AudioLayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    audioSetOutput(AUDIO_OUTPUT_NONE);
    ASSERT_TRUE(audioOpen());
  }
  void TearDown() override {
    audioClose();
    EXPECT_EQ(audioSamplesLoaded(), 0);
    EXPECT_EQ(audioModulesLoaded(), 0);
    audioSetOutput(AUDIO_OUTPUT_DEVICE);
  }

  AudioSample load(const std::string& name, int rate, int channels, int bits, const std::vector<int>& values,
                   int maxPlays = AUDIO_MAX_PLAYS) {
    writeFile(dir.file(name), fixtures::wav(rate, channels, bits, values));
    return audioSampleLoad(dir.file(name).c_str(), maxPlays);
  }
  // A 16-bit mono sample at the mixer's rate.
  AudioSample mono(const std::vector<int>& values, int maxPlays = AUDIO_MAX_PLAYS) {
    return load("s" + std::to_string(counter++) + ".wav", AUDIO_RATE, 1, 16, values, maxPlays);
  }
  AudioMusic loadModule() {
    writeFile(dir.file("m.it"), fixtures::itModule());
    return audioMusicLoad(dir.file("m.it").c_str());
  }

  TempDir dir;
  int counter = 0;
};

TEST_F(AudioLayerTest, ConvertsEightAndSixteenBitMonoAndStereoExactly) {
  struct Case {
    const char* what;
    int channels, bits;
    std::vector<int> values;
    std::vector<int16_t> expected;
  };
  const Case cases[] = {
      {"16-bit stereo", 2, 16, {1000, -1000, 32767, -32768, 5, 7},
       frames({{1000, -1000}, {32767, -32768}, {5, 7}})},
      {"16-bit mono", 1, 16, {1000, -2000, 3}, frames({{1000, 1000}, {-2000, -2000}, {3, 3}})},
      {"8-bit mono", 1, 8, {128, 255, 0, 129},
       frames({{0, 0}, {32512, 32512}, {-32768, -32768}, {256, 256}})},
      {"8-bit stereo", 2, 8, {0, 255, 128, 130}, frames({{-32768, 32512}, {0, 512}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    AudioSample s = load("c.wav", AUDIO_RATE, c.channels, c.bits, c.values);
    ASSERT_NE(s, 0u) << audioErrorDetail();
    const int n = static_cast<int>(c.expected.size() / 2);
    EXPECT_EQ(audioSampleFrames(s), n);
    AudioChannel ch = audioSamplePlay(s, 100, 0, false);
    ASSERT_NE(ch, 0u);
    std::vector<int16_t> out = render(n + 2);
    std::vector<int16_t> expected = c.expected;
    expected.insert(expected.end(), 4, 0);  // silence once the sample is out
    // The converted values reach the device through the mixer's limiter.
    for (int16_t& v : expected) v = audio::limit(v);
    EXPECT_EQ(out, expected);
    EXPECT_FALSE(audioChannelIsActive(ch));
    EXPECT_TRUE(audioSampleFree(s));
  }
}

TEST_F(AudioLayerTest, ResamplesOtherRatesToTheMixerRate) {
  for (int bits : {8, 16}) {
    SCOPED_TRACE(bits);
    // A constant level keeps its value through the resampler, away from the ends.
    const int level = bits == 8 ? 128 + 32 : 8192;
    AudioSample s = load("r.wav", 22050, 1, bits, std::vector<int>(400, level));
    ASSERT_NE(s, 0u) << audioErrorDetail();
    const int n = audioSampleFrames(s);
    EXPECT_NEAR(n, 800, 2) << "twice the frames at twice the rate";
    audioSamplePlay(s, 100, 0, false);
    std::vector<int16_t> out = render(n);
    for (int i = 200; i < 600; ++i) {
      EXPECT_NEAR(out[2 * i], 8192, 164) << "frame " << i;
      EXPECT_EQ(out[2 * i], out[2 * i + 1]);
    }
    audioSampleFree(s);
  }
}

TEST_F(AudioLayerTest, VolumeAndPanningScaleEachSideWithTruncation) {
  AudioSample s = load("vp.wav", AUDIO_RATE, 2, 16, {10000, -7001});
  ASSERT_NE(s, 0u);
  struct Case {
    int volume, panning;
    int left, right;          // mixed frame
    int gotVolume, gotPanning;  // attributes as the channel keeps them
  };
  const Case cases[] = {
      {100, 0, 10000, -7001, 100, 0},
      {50, 0, 5000, -3500, 50, 0},       // -3500.5 truncates toward zero
      {100, 50, 5000, -7001, 100, 50},   // right of centre: the left side drops
      {100, -50, 10000, -3500, 100, -50},
      {100, 100, 0, -7001, 100, 100},
      {33, 20, 2640, -2310, 33, 20},     // 33 * 80 and 33 * 100 per 10000
      {150, -150, 10000, 0, 100, -100},  // clamped
      {-5, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "volume " << c.volume << " panning " << c.panning);
    AudioChannel ch = audioSamplePlay(s, c.volume, c.panning, false);
    int volume = -1, panning = -1;
    ASSERT_TRUE(audioChannelGetAttributes(ch, &volume, &panning));
    EXPECT_EQ(volume, c.gotVolume);
    EXPECT_EQ(panning, c.gotPanning);
    EXPECT_EQ(render(1), frames({{c.left, c.right}}));
  }
  audioSampleFree(s);
}

TEST_F(AudioLayerTest, AttributesChangeAPlayingChannelFromTheNextFrame) {
  AudioSample s = mono({4000, 4000, 4000, 4000});
  AudioChannel ch = audioSamplePlay(s, 100, 0, false);
  EXPECT_EQ(render(1), frames({{4000, 4000}}));
  ASSERT_TRUE(audioChannelSetAttributes(ch, 50, -100));
  EXPECT_EQ(render(1), frames({{2000, 0}}));
  ASSERT_TRUE(audioChannelSetAttributes(ch, 25, 40));
  EXPECT_EQ(render(2), frames({{600, 1000}, {600, 1000}}));
  EXPECT_FALSE(audioChannelIsActive(ch));
  EXPECT_FALSE(audioChannelSetAttributes(ch, 100, 0)) << "an ended channel's handle is dead";
  EXPECT_EQ(audioErrorCode(), AUDIO_ERR_HANDLE);
  audioSampleFree(s);
}

// Channels add up; a sum beyond the limiter's knee is bent below full scale
// instead of clipped.
TEST_F(AudioLayerTest, ChannelsSumAndLoudSumsStayBelowFullScale) {
  AudioSample up = mono({12000, 1000});
  AudioSample loud = mono({30000});
  audioSamplePlay(up, 100, 0, false);
  audioSamplePlay(up, 100, 0, false);
  EXPECT_EQ(render(2), frames({{24000, 24000}, {2000, 2000}}));
  for (int i = 0; i < 3; i++) audioSamplePlay(loud, 100, 0, false);
  std::vector<int16_t> out = render(1);
  EXPECT_GT(out[0], 30000);
  EXPECT_LT(out[0], 32767);
  EXPECT_EQ(out[1], out[0]);
  audioSampleFree(up);
  audioSampleFree(loud);
}

// The limiter: the identity up to the knee on either side, then strictly
// below full scale however loud the sum, rising with it and symmetric.
TEST(AudioLimiter, PassesUpToTheKneeAndNeverReachesFullScale) {
  constexpr int32_t kKnee = audio::LIMIT_KNEE;
  for (int32_t v : {0, 1, -1, 1000, -24000, kKnee, -kKnee})
    EXPECT_EQ(audio::limit(v), v) << v;
  EXPECT_LT(audio::limit(kKnee + 100), kKnee + 100);
  EXPECT_GT(audio::limit(kKnee + 100), kKnee);
  for (int32_t v : {32767, 40000, 65534, 1 << 20, INT32_MAX}) EXPECT_LT(audio::limit(v), 32767) << v;
  EXPECT_GT(audio::limit(65534), 32000);  // twice full scale comes close to it
  EXPECT_GT(audio::limit(INT32_MIN), -32767);
  int16_t previous = audio::limit(0);
  for (int32_t v = 1; v < 200000; v += 37) {
    const int16_t now = audio::limit(v);
    ASSERT_GE(now, previous) << v;
    ASSERT_EQ(audio::limit(-v), -now) << v;
    previous = now;
  }
}

TEST_F(AudioLayerTest, AFourthPlayTakesOverTheLongestPlayingOne) {
  AudioSample s = mono(std::vector<int>(10, 1000));
  AudioChannel a = audioSamplePlay(s, 100, 0, false);
  render(1);
  AudioChannel b = audioSamplePlay(s, 100, 0, false);
  render(1);
  AudioChannel c = audioSamplePlay(s, 100, 0, false);
  EXPECT_EQ(render(1), frames({{3000, 3000}}));
  AudioChannel d = audioSamplePlay(s, 100, 0, false);
  ASSERT_NE(d, 0u);
  EXPECT_NE(d, a) << "a new handle, not the old one again";
  EXPECT_FALSE(audioChannelIsActive(a));
  EXPECT_TRUE(audioChannelIsActive(b));
  EXPECT_TRUE(audioChannelIsActive(c));
  EXPECT_TRUE(audioChannelIsActive(d));
  EXPECT_FALSE(audioChannelStop(a));
  EXPECT_EQ(render(1), frames({{3000, 3000}})) << "still three playbacks";
  // b has 7 frames left, c 8 and d 9: the mix thins out as they end.
  EXPECT_EQ(render(9), frames({{3000, 3000}, {3000, 3000}, {3000, 3000}, {3000, 3000}, {3000, 3000},
                               {3000, 3000}, {3000, 3000}, {2000, 2000}, {1000, 1000}}));

  // With one playback allowed, each play replaces the last.
  AudioSample one = mono({500, 500, 500}, 1);
  AudioChannel first = audioSamplePlay(one, 100, 0, false);
  AudioChannel second = audioSamplePlay(one, 100, 0, false);
  EXPECT_FALSE(audioChannelIsActive(first));
  EXPECT_TRUE(audioChannelIsActive(second));
  EXPECT_EQ(render(1), frames({{500, 500}}));
  audioSampleFree(s);
  audioSampleFree(one);
}

TEST_F(AudioLayerTest, LoopsRestartAndOneShotsEndWithTheirLastFrame) {
  AudioSample s = mono({100, 200, 300});
  AudioChannel loop = audioSamplePlay(s, 100, 0, true);
  EXPECT_EQ(render(7), frames({{100, 100}, {200, 200}, {300, 300}, {100, 100}, {200, 200}, {300, 300},
                               {100, 100}}));
  EXPECT_TRUE(audioChannelIsActive(loop));
  EXPECT_TRUE(audioChannelStop(loop));
  EXPECT_FALSE(audioChannelIsActive(loop));
  EXPECT_EQ(render(1), frames({{0, 0}}));

  AudioChannel once = audioSamplePlay(s, 100, 0, false);
  EXPECT_EQ(render(2), frames({{100, 100}, {200, 200}}));
  EXPECT_TRUE(audioChannelIsActive(once));
  render(1);
  EXPECT_FALSE(audioChannelIsActive(once)) << "inactive as soon as the last frame is mixed";
  audioSampleFree(s);
}

TEST_F(AudioLayerTest, FreeingASampleSilencesItAndKillsItsHandles) {
  AudioSample s = mono({700, 700});
  AudioChannel ch = audioSamplePlay(s, 100, 0, true);
  ASSERT_TRUE(audioSampleFree(s));
  EXPECT_FALSE(audioChannelIsActive(ch));
  EXPECT_EQ(render(1), frames({{0, 0}}));
  EXPECT_FALSE(audioSampleFree(s));
  EXPECT_EQ(audioErrorCode(), AUDIO_ERR_HANDLE);
  EXPECT_EQ(audioSamplePlay(s, 100, 0, false), 0u);
  // The slot is reused under a new handle; the old one stays dead.
  AudioSample again = mono({1});
  EXPECT_NE(again, s);
  EXPECT_EQ(audioSamplePlay(s, 100, 0, false), 0u);
  EXPECT_EQ(audioSamplePlay(0, 100, 0, false), 0u);
  EXPECT_FALSE(audioChannelIsActive(0));
  audioSampleFree(again);
}

TEST_F(AudioLayerTest, BadSampleFilesFailWithTheirErrorCode) {
  struct Case {
    const char* what;
    std::string bytes;  // empty: no file at all
    int error;
  };
  std::string truncated = fixtures::wav(AUDIO_RATE, 1, 16, {1, 2, 3, 4});
  truncated.resize(30);
  const Case cases[] = {
      {"missing", "", AUDIO_ERR_FILEOPEN},
      {"not a WAV file", "this is not a RIFF file at all, just text......", AUDIO_ERR_FORMAT},
      {"header cut short", truncated, AUDIO_ERR_FORMAT},
      {"no frames", fixtures::wav(AUDIO_RATE, 1, 16, {}), AUDIO_ERR_FORMAT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = dir.file("bad.wav");
    std::remove(path.c_str());
    if (!c.bytes.empty()) writeFile(path, c.bytes);
    EXPECT_EQ(audioSampleLoad(path.c_str(), 3), 0u);
    EXPECT_EQ(audioErrorCode(), c.error) << audioErrorDetail();
  }
  writeFile(dir.file("good.wav"), fixtures::wav(AUDIO_RATE, 1, 16, {1}));
  for (int plays : {0, 4}) {
    EXPECT_EQ(audioSampleLoad(dir.file("good.wav").c_str(), plays), 0u);
    EXPECT_EQ(audioErrorCode(), AUDIO_ERR_ILLPARAM);
  }
}

TEST_F(AudioLayerTest, ModulesArePositionedByOrderAndRow) {
  AudioMusic m = loadModule();
  ASSERT_NE(m, 0u) << audioErrorDetail();
  EXPECT_EQ(audioMusicOrders(m), 3);
  int order = -1, row = -1;
  ASSERT_TRUE(audioMusicGetPosition(m, &order, &row));
  EXPECT_EQ(order, 0);
  EXPECT_EQ(row, 0);

  struct Case {
    int order, row;
    bool valid;
  };
  const Case cases[] = {
      {1, 10, true}, {1, 47, true}, {2, 31, true}, {0, 0, true},
      {1, 48, false},  // pattern 1 has 48 rows
      {0, 32, false}, {3, 0, false}, {-1, 0, false}, {0, -1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.order << "/" << c.row);
    ASSERT_TRUE(audioMusicSetPosition(m, 2, 5));
    EXPECT_EQ(audioMusicSetPosition(m, c.order, c.row), c.valid);
    const int error = audioErrorCode();
    ASSERT_TRUE(audioMusicGetPosition(m, &order, &row));
    if (c.valid) {
      EXPECT_EQ(order, c.order);
      EXPECT_EQ(row, c.row);
    } else {
      EXPECT_EQ(error, AUDIO_ERR_POSITION);
      EXPECT_EQ(order, 2) << "a refused position leaves the module where it was";
      EXPECT_EQ(row, 5);
    }
  }

  // Playing advances row by row; the end of the order list loops to the start.
  ASSERT_TRUE(audioMusicPlay(m));
  struct Step {
    int fromOrder, fromRow, frames, order, row;
  };
  const Step steps[] = {
      {1, 10, fixtures::kItFramesPerRow, 1, 10},  // the next row starts with the next frame
      {1, 10, fixtures::kItFramesPerRow + 1, 1, 11},
      {0, 31, fixtures::kItFramesPerRow + 1, 1, 0},
      {2, 31, fixtures::kItFramesPerRow + 1, 0, 0},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << "from " << s.fromOrder << "/" << s.fromRow);
    ASSERT_TRUE(audioMusicSetPosition(m, s.fromOrder, s.fromRow));
    render(s.frames);
    ASSERT_TRUE(audioMusicGetPosition(m, &order, &row));
    EXPECT_EQ(order, s.order);
    EXPECT_EQ(row, s.row);
  }
  EXPECT_TRUE(audioMusicFree(m));
  EXPECT_FALSE(audioMusicSetPosition(m, 0, 0));
  EXPECT_EQ(audioErrorCode(), AUDIO_ERR_HANDLE);
}

TEST_F(AudioLayerTest, MusicVolumeScalesOnlyTheMusic) {
  AudioMusic m = loadModule();
  ASSERT_NE(m, 0u);
  constexpr int kFrames = 3000;
  EXPECT_EQ(render(kFrames), std::vector<int16_t>(kFrames * 2, 0))
      << "a loaded module is silent until played";

  ASSERT_TRUE(audioMusicPlay(m));
  EXPECT_TRUE(audioMusicIsPlaying(m));
  ASSERT_TRUE(audioMusicSetPosition(m, 0, 0));
  std::vector<int16_t> full = render(kFrames);
  int loud = 0;
  for (int16_t v : full) loud += v > 1000 || v < -1000;
  ASSERT_GT(loud, kFrames) << "the module plays its square wave";

  struct Case {
    int set, volume;
  };
  for (Case c : {Case{50, 50}, Case{33, 33}, Case{0, 0}, Case{170, 100}, Case{-3, 0}}) {
    SCOPED_TRACE(c.set);
    audioSetMusicVolume(c.set);
    EXPECT_EQ(audioGetMusicVolume(), c.volume);
    ASSERT_TRUE(audioMusicSetPosition(m, 0, 0));
    std::vector<int16_t> out = render(kFrames);
    // The music's own level and the volume are applied in one step, so a
    // value may round one step away from the full-volume value scaled.
    ASSERT_EQ(out.size(), full.size());
    int off = 0;
    for (size_t i = 0; i < full.size(); ++i) off += std::abs(out[i] - full[i] * c.volume / 100) > 1;
    EXPECT_EQ(off, 0);
  }

  // A sample over silent music keeps its own level.
  audioSetMusicVolume(0);
  AudioSample s = mono({1234});
  audioSamplePlay(s, 100, 0, false);
  EXPECT_EQ(render(1), frames({{1234, 1234}}));

  // Stopping keeps the position; playing again resumes there.
  audioSetMusicVolume(100);
  ASSERT_TRUE(audioMusicSetPosition(m, 1, 3));
  ASSERT_TRUE(audioMusicStop(m));
  EXPECT_FALSE(audioMusicIsPlaying(m));
  EXPECT_EQ(render(kFrames), std::vector<int16_t>(kFrames * 2, 0));
  int order = -1, row = -1;
  ASSERT_TRUE(audioMusicGetPosition(m, &order, &row));
  EXPECT_EQ(order, 1);
  EXPECT_EQ(row, 3);
  ASSERT_TRUE(audioMusicPlay(m));
  render(fixtures::kItFramesPerRow + 1);
  ASSERT_TRUE(audioMusicGetPosition(m, &order, &row));
  EXPECT_EQ(row, 4);
  audioSampleFree(s);
  audioMusicFree(m);
}

TEST_F(AudioLayerTest, BadModulesFailQuietly) {
  writeFile(dir.file("bad.it"), "IMPM but nothing else that a tracker module would need");
  StderrCapture err;
  EXPECT_EQ(audioMusicLoad(dir.file("bad.it").c_str()), 0u);
  EXPECT_EQ(audioErrorCode(), AUDIO_ERR_FORMAT);
  EXPECT_EQ(audioMusicLoad(dir.file("missing.it").c_str()), 0u);
  EXPECT_EQ(audioErrorCode(), AUDIO_ERR_FILEOPEN);
  EXPECT_EQ(err.finish(), "") << "libopenmpt must not write to the console";
}

TEST_F(AudioLayerTest, ClosingReleasesEverythingAndInvalidatesHandles) {
  AudioSample s = mono({5, 5});
  AudioChannel ch = audioSamplePlay(s, 100, 0, true);
  AudioMusic m = loadModule();
  ASSERT_NE(m, 0u);
  audioSetMusicVolume(40);
  EXPECT_EQ(audioSamplesLoaded(), 1);
  EXPECT_EQ(audioModulesLoaded(), 1);
  audioClose();
  EXPECT_FALSE(audioIsOpen());
  EXPECT_EQ(audioSamplesLoaded(), 0);
  EXPECT_EQ(audioModulesLoaded(), 0);
  EXPECT_EQ(audioGetMusicVolume(), 100);
  EXPECT_EQ(audioSampleLoad(dir.file("s0.wav").c_str(), 3), 0u);
  EXPECT_EQ(audioErrorCode(), AUDIO_ERR_INIT);

  ASSERT_TRUE(audioOpen());
  EXPECT_FALSE(audioChannelIsActive(ch));
  EXPECT_FALSE(audioMusicPlay(m));
  EXPECT_FALSE(audioOpen());
  EXPECT_EQ(audioErrorCode(), AUDIO_ERR_ALREADY);
}

TEST(AudioDeviceTest, OpensPlaysAndClosesTheDeviceOfTheDummyAndDiskDrivers) {
  EXPECT_EQ(audioVersion(), AUDIO_VERSION);
  TempDir dir;
  writeFile(dir.file("a.wav"), fixtures::wav(22050, 2, 8, std::vector<int>(2000, 200)));
  for (const char* name : {"dummy", "disk"}) {
    SCOPED_TRACE(name);
    ScopedEnv driver("SDL_AUDIODRIVER", name);
    ScopedEnv diskFile("SDL_DISKAUDIOFILE", dir.file("out.raw").c_str());
    audioSetOutput(AUDIO_OUTPUT_DEVICE);
    ASSERT_TRUE(audioOpen()) << audioErrorDetail();
    ASSERT_TRUE(audioStart());
    AudioSample s = audioSampleLoad(dir.file("a.wav").c_str(), 3);
    ASSERT_NE(s, 0u);
    AudioChannel ch = audioSamplePlay(s, 80, -20, true);
    EXPECT_TRUE(audioChannelIsActive(ch)) << "a loop stays active while the callback mixes it";
    int16_t out[8];
    EXPECT_FALSE(audioRender(out, 4)) << "the device's callback owns the mix";
    EXPECT_EQ(audioErrorCode(), AUDIO_ERR_ILLPARAM);
    audioClose();
    EXPECT_FALSE(audioIsOpen());
    EXPECT_EQ(audioSamplesLoaded(), 0);
  }
  EXPECT_TRUE(pathExists(dir.file("out.raw"))) << "the disk driver wrote its file";
}

TEST(AudioDeviceTest, AnUnknownDriverLeavesTheLayerClosed) {
  ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
  audioSetOutput(AUDIO_OUTPUT_DEVICE);
  EXPECT_FALSE(audioOpen());
  EXPECT_EQ(audioErrorCode(), AUDIO_ERR_DRIVER);
  EXPECT_STRNE(audioErrorDetail(), "");
  EXPECT_FALSE(audioIsOpen());
  EXPECT_FALSE(audioStart());
}

}  // namespace
