// The game's music modules as the build composed them into the game folder:
// each loads cleanly, has the sections the music triggers jump to, plays
// audibly in each and loops inside it, every pattern sounds without dropouts
// or clipping, the sections last long enough to loop, the table's samples
// mixed over the music at their configured levels stay clear of clipping;
// and the composer is deterministic.
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/conf.h"
#include "core/log.h"
#include "platform/audio.h"
#include "sound/fx.h"
#include "support/testutil.h"

namespace {

// Slot order of the table's music.
const char* const kModules[] = {"comm", "demo", "dict", "pres", "credits", "boxing", "deputy", "oligarch"};

std::string modulePath(const std::string& dir, const std::string& name) { return dir + "/music/" + name + ".it"; }

// Orders the music triggers position to, and where each section ends (the
// next one's start - 1; the menu section runs to the end of the order list).
struct SectionSpan {
  int first;
  int last;  // -1: the last order
  int loopsTo;
};
constexpr SectionSpan kSections[] = {
    {0, 0, 1},     // the opening runs into the main loop
    {1, 19, 1},    // main loop
    {20, 30, 20},  // mission
    {31, 40, 31},  // crisis
    {41, -1, 41},  // menu
};

struct OpenmptModule {
  openmpt_module* m = nullptr;
  std::vector<std::string> log;
  explicit OpenmptModule(const std::string& bytes) {
    m = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), &OpenmptModule::logLine, this, nullptr,
                                           nullptr, nullptr, nullptr, nullptr);
  }
  ~OpenmptModule() {
    if (m) openmpt_module_destroy(m);
  }
  OpenmptModule(const OpenmptModule&) = delete;
  OpenmptModule& operator=(const OpenmptModule&) = delete;
  static void logLine(const char* message, void* user) {
    static_cast<OpenmptModule*>(user)->log.push_back(message ? message : "");
  }
  int rowsOfOrder(int order) const {
    return openmpt_module_get_pattern_num_rows(m, openmpt_module_get_order_pattern(m, order));
  }
};

struct AudioSession {
  AudioSession() {
    audioSetOutput(AUDIO_OUTPUT_NONE);
    opened = audioOpen();
  }
  ~AudioSession() { audioClose(); }
  bool opened = false;
};

struct Level {
  int peak = 0;
  int extremes = 0;  // frames at the ends of the 16-bit range: the mix clipped
};

Level render(int frames) {
  std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
  Level l;
  if (!audioRender(out.data(), frames)) return l;
  for (int16_t v : out) {
    l.peak = std::max(l.peak, std::abs(static_cast<int>(v)));
    if (v == INT16_MAX || v == INT16_MIN) ++l.extremes;
  }
  return l;
}

TEST(Music, EveryModuleLoadsWithoutWarnings) {
  for (const char* name : kModules) {
    SCOPED_TRACE(name);
    const std::string bytes = readFile(modulePath(PB_GAME_DIR, name));
    ASSERT_GT(bytes.size(), 0xC0u);
    EXPECT_EQ(bytes.compare(0, 4, "IMPM"), 0);
    EXPECT_LT(bytes.size(), 100u * 1024u) << "modules stay small";
    OpenmptModule mod(bytes);
    ASSERT_NE(mod.m, nullptr);
    const char* warnings = openmpt_module_get_metadata(mod.m, "warnings");
    EXPECT_STREQ(warnings, "");
    openmpt_free_string(warnings);
    EXPECT_TRUE(mod.log.empty()) << mod.log.front();
    const char* type = openmpt_module_get_metadata(mod.m, "type");
    EXPECT_STREQ(type, "it");
    openmpt_free_string(type);
  }
}

// Each section the triggers jump to plays audibly and unclipped, stays in its
// section while it plays, and its last row leads back to its start.
TEST(Music, SectionsPlayAndLoopThroughTheAudioLayer) {
  AudioSession audio;
  ASSERT_TRUE(audio.opened) << audioErrorDetail();
  for (const char* name : kModules) {
    SCOPED_TRACE(name);
    const std::string path = modulePath(PB_GAME_DIR, name);
    OpenmptModule mod(readFile(path));
    ASSERT_NE(mod.m, nullptr);
    AudioMusic music = audioMusicLoad(path.c_str());
    ASSERT_NE(music, 0u) << audioErrorDetail();
    const int orders = audioMusicOrders(music);
    ASSERT_GE(orders, 42);
    ASSERT_TRUE(audioMusicPlay(music));
    for (const SectionSpan& s : kSections) {
      SCOPED_TRACE(s.first);
      const int last = s.last < 0 ? orders - 1 : s.last;
      ASSERT_TRUE(audioMusicSetPosition(music, s.first, 0));
      const Level l = render(AUDIO_RATE * 3 / 2);
      EXPECT_GT(l.peak, 3000);
      EXPECT_EQ(l.extremes, 0);
      int order = -1, row = -1;
      ASSERT_TRUE(audioMusicGetPosition(music, &order, &row));
      EXPECT_GE(order, s.first);
      EXPECT_LE(order, last);

      // From the section's last row, the music comes back round.
      ASSERT_TRUE(audioMusicSetPosition(music, last, mod.rowsOfOrder(last) - 1));
      render(AUDIO_RATE * 6 / 10);
      ASSERT_TRUE(audioMusicGetPosition(music, &order, &row));
      EXPECT_EQ(order, s.loopsTo);
      EXPECT_LT(row, 16) << "in the first bar of the section";
    }
    EXPECT_TRUE(audioMusicFree(music));
  }
  EXPECT_EQ(audioModulesLoaded(), 0);
}

// The regimes' modules differ in pace: the march is slower than the pop tune,
// the dark theme slower still; the fight is the quickest of the subgames'.
TEST(Music, ModulesDifferInTempo) {
  auto tempo = [](const char* name) {
    const std::string bytes = readFile(modulePath(PB_GAME_DIR, name));
    return bytes.size() > 0x33 ? static_cast<int>(static_cast<uint8_t>(bytes[0x33])) : 0;
  };
  EXPECT_LT(tempo("comm"), tempo("demo"));
  EXPECT_LT(tempo("dict"), tempo("comm"));
  EXPECT_GT(tempo("boxing"), tempo("deputy"));
  EXPECT_GT(tempo("boxing"), tempo("oligarch"));
  // No two modules are the same piece.
  for (size_t a = 0; a < std::size(kModules); ++a) {
    for (size_t b = a + 1; b < std::size(kModules); ++b) {
      EXPECT_NE(readFile(modulePath(PB_GAME_DIR, kModules[a])), readFile(modulePath(PB_GAME_DIR, kModules[b])))
          << kModules[a] << " " << kModules[b];
    }
  }
}

// Longest run of consecutive output frames with a channel at either end of
// the 16-bit range: the mix clamped there.
int longestClippedRun(const std::vector<int16_t>& mix) {
  int run = 0, longest = 0;
  for (size_t i = 0; i + 1 < mix.size(); i += 2) {
    const bool rail = mix[i] == INT16_MAX || mix[i] == INT16_MIN || mix[i + 1] == INT16_MAX || mix[i + 1] == INT16_MIN;
    run = rail ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

// Every order of every module, from its first row and from the middle of its
// pattern, through the audio layer: half a second of music each time,
// audible in every quarter second (no dropout), never at the rails.
TEST(Music, EveryPatternSoundsWithoutDropoutsOrClipping) {
  AudioSession audio;
  ASSERT_TRUE(audio.opened) << audioErrorDetail();
  constexpr int kWindow = AUDIO_RATE / 4;
  for (const char* name : kModules) {
    SCOPED_TRACE(name);
    const std::string path = modulePath(PB_GAME_DIR, name);
    OpenmptModule mod(readFile(path));
    ASSERT_NE(mod.m, nullptr);
    AudioMusic music = audioMusicLoad(path.c_str());
    ASSERT_NE(music, 0u) << audioErrorDetail();
    ASSERT_TRUE(audioMusicPlay(music));
    const int orders = audioMusicOrders(music);
    for (int order = 0; order < orders; order++) {
      for (int row : {0, mod.rowsOfOrder(order) / 2}) {
        SCOPED_TRACE(testing::Message() << "order " << order << " row " << row);
        ASSERT_TRUE(audioMusicSetPosition(music, order, row));
        std::vector<int16_t> mix(static_cast<size_t>(kWindow) * 2 * 2);
        ASSERT_TRUE(audioRender(mix.data(), kWindow * 2));
        for (int w = 0; w < 2; w++) {
          double energy = 0;
          for (size_t i = static_cast<size_t>(w) * kWindow * 2; i < static_cast<size_t>(w + 1) * kWindow * 2; i++)
            energy += static_cast<double>(mix[i]) * mix[i];
          EXPECT_GT(std::sqrt(energy / (kWindow * 2)), 400.0) << "quarter second " << w;
        }
        EXPECT_EQ(longestClippedRun(mix), 0);
      }
    }
    EXPECT_TRUE(audioMusicFree(music));
  }
}

// The sections the triggers jump to (the opening runs into the main loop, so
// libopenmpt finds four songs) each last long enough that their loop does
// not nag, and not so long that a section's character is lost.
TEST(Music, SectionsLastAsComposed) {
  for (const char* name : kModules) {
    SCOPED_TRACE(name);
    OpenmptModule mod(readFile(modulePath(PB_GAME_DIR, name)));
    ASSERT_NE(mod.m, nullptr);
    ASSERT_EQ(openmpt_module_get_num_subsongs(mod.m), 4);
    for (int song = 0; song < 4; song++) {
      ASSERT_EQ(openmpt_module_select_subsong(mod.m, song), 1);
      const double seconds = openmpt_module_get_duration_seconds(mod.m);
      EXPECT_GE(seconds, 25.0) << "song " << song;
      EXPECT_LE(seconds, 330.0) << "song " << song;
    }
  }
}

// The table's samples at the volume and panning of the shipped mix, played
// through the game's sound layer over the loudest second of each module: a
// bumper hit during loud music must not drive the mix into the rails for
// more than an isolated frame or two.
TEST(Music, TableSamplesOverTheMusicStayClearOfClipping) {
  ScopedChdir cd{PB_GAME_DIR};
  logReset();
  audioSetOutput(AUDIO_OUTPUT_NONE);
  ASSERT_EQ(fxInit(0), 1);
  ConfSet conf{};
  ASSERT_EQ(CONF_READ(&conf, "conf/sample.conf"), 0);
  ASSERT_EQ(setupSamples(&conf), 1);
  ASSERT_EQ(setupMusic(), 1);
  constexpr int kMaxClippedRun = 2;
  for (int slot = 0; slot < 8; slot++) {
    SCOPED_TRACE(kModules[slot]);
    ASSERT_EQ(fxPlayModule(slot), 1);
    // The loudest half second the module starts an order with.
    int loudest = 0, loudestPeak = -1;
    std::vector<int16_t> mix(static_cast<size_t>(AUDIO_RATE) * 2);
    for (int order = 0; fxSetModulePosition(order, 0) == 1 && order < 256; order++) {
      ASSERT_TRUE(audioRender(mix.data(), AUDIO_RATE / 2));
      int peak = 0;
      for (int16_t v : mix) peak = std::max(peak, std::abs(static_cast<int>(v)));
      if (peak > loudestPeak) {
        loudestPeak = peak;
        loudest = order;
      }
    }
    for (int id = SI_DUMA_BUMPER; id <= SI_TRI; id++) {
      if (id == SI_TRIANGLE) continue;  // not a table sample
      SCOPED_TRACE(sampleSID(id));
      ASSERT_EQ(fxSetModulePosition(loudest, 0), 1);
      ASSERT_NE(playTableSample(id), 0u);
      ASSERT_TRUE(audioRender(mix.data(), AUDIO_RATE));  // longer than any table sample
      EXPECT_LE(longestClippedRun(mix), kMaxClippedRun);
    }
  }
  conf_free(&conf);
  fxShutdown();
  audioSetOutput(AUDIO_OUTPUT_DEVICE);
  logReset();
}

TEST(Music, ComposerIsDeterministic) {
  TempDir one, two;
  for (const TempDir* dir : {&one, &two}) {
    const RunResult r = runProgram(PB_BIN_DIR "/pbmusic", {dir->path});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << "one summary line: " << r.out;
  }
  for (const char* name : kModules) {
    SCOPED_TRACE(name);
    const std::string first = readFile(modulePath(one.path, name));
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first, readFile(modulePath(two.path, name)));
    EXPECT_EQ(first, readFile(modulePath(PB_GAME_DIR, name)));
  }
}

TEST(Music, ComposerCommandLine) {
  const RunResult help = runProgram(PB_BIN_DIR "/pbmusic", {"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("usage: pbmusic GAMEDIR"), std::string::npos);

  const RunResult none = runProgram(PB_BIN_DIR "/pbmusic", {});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.err.find("usage"), std::string::npos);

  // A game folder that is a file can't take the music folder.
  TempDir dir;
  writeFile(dir.file("game"), "not a folder");
  const RunResult blocked = runProgram(PB_BIN_DIR "/pbmusic", {dir.file("game")});
  EXPECT_EQ(blocked.exitCode, 1);
  EXPECT_NE(blocked.err.find("pbmusic: can't create"), std::string::npos) << blocked.err;
  EXPECT_EQ(blocked.out, "");
}

}  // namespace
