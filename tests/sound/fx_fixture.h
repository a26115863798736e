#pragma once
// The fixture the sound tests share: the fx layer started on the audio layer
// without a device (the mix advances only through audioRender), in a scratch
// working directory, with the log reset around each test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/log.h"
#include "platform/audio.h"
#include "sound/audio_fixtures.h"
#include "sound/fx.h"
#include "support/testutil.h"

namespace fxtest {

// What a call writes to standard error (the console side of the log).
inline std::string stderrOf(const std::function<void()>& call) {
  StderrCapture err;
  call();
  return err.finish();
}

inline std::vector<int16_t> render(int frames) {
  std::vector<int16_t> out(static_cast<size_t>(frames) * 2, 12345);
  EXPECT_TRUE(audioRender(out.data(), frames));
  return out;
}

inline std::vector<int16_t> stereo(std::initializer_list<std::pair<int, int>> list) {
  std::vector<int16_t> out;
  for (auto [l, r] : list) {
    out.push_back(static_cast<int16_t>(l));
    out.push_back(static_cast<int16_t>(r));
  }
  return out;
}

class FxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logReset();
    audioSetOutput(AUDIO_OUTPUT_NONE);
    ASSERT_EQ(fxInit(0), 1);
  }
  void TearDown() override {
    fxShutdown();
    EXPECT_FALSE(audioIsOpen());
    EXPECT_EQ(audioSamplesLoaded(), 0);
    EXPECT_EQ(audioModulesLoaded(), 0);
    audioSetOutput(AUDIO_OUTPUT_DEVICE);
    logReset();
  }

  // Debug lines go to the log file only: name one in the scratch directory
  // (appending: a created file is truncated again by each debug line until an
  // ordinary line is written).
  void logToFile(int level) {
    logCommand("LOG_APPEND fx.log");
    logSetDebugLevel(level);
  }
  std::string logFile() const { return pathExists(dir.file("fx.log")) ? readFile(dir.file("fx.log")) : ""; }

  // A 16-bit stereo WAV file at the mixer's rate, path relative to the scratch dir.
  void wav(const std::string& path, const std::vector<int>& interleaved) {
    put(path, fixtures::wav(AUDIO_RATE, 2, 16, interleaved));
  }
  void module(const std::string& path) { put(path, fixtures::itModule()); }
  void put(const std::string& path, const std::string& bytes) {
    std::filesystem::path full(dir.file(path));
    std::filesystem::create_directories(full.parent_path());
    writeFile(full.string(), bytes);
  }

  TempDir dir;
  ScopedChdir cd{dir.path};
};

}  // namespace fxtest
