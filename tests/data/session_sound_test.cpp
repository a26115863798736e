// A table session of the real game on the built data, headless, with SDL's
// disk audio driver writing everything the game plays to a file: a scripted
// plunger pull and flips make the table play its samples over the regime's
// music, and the file holds that sound. The session's log reports no error.
#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "frontend/hof.h"
#include "support/gamecopy.h"
#include "support/testutil.h"

namespace {

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The lines of a log that read as a failure: "error", "not found", "can't",
// "couldn't" or "invalid" in any case. A session on the shipped data writes
// none of them.
std::string failureLines(const std::string& log) {
  std::istringstream in(log);
  std::string line, found;
  while (std::getline(in, line)) {
    std::string lower = line;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const char* word : {"error", "not found", "can't", "couldn't", "invalid"}) {
      if (has(lower, word)) {
        found += line + "\n";
        break;
      }
    }
  }
  return found;
}

TEST(SessionLog, FailureLinesAreFoundInAnyCase) {
  EXPECT_EQ(failureLines("ok\nLOAD_SHAPES(): configuration file 'x' not found\nfine\n"),
            "LOAD_SHAPES(): configuration file 'x' not found\n");
  EXPECT_EQ(failureLines("a\nSPR_CREATE(): Can't open\nERROR: x\nb Couldn't\nINVALID light\n"),
            "SPR_CREATE(): Can't open\nERROR: x\nb Couldn't\nINVALID light\n");
  EXPECT_EQ(failureLines("ball:lost\t3\nGAME EXITS SUCCESSFULLY\nnot foun d\n"), "");
}

TEST(SessionSound, TheTableSoundsOverTheRegimeMusic) {
  TempDir dir;
  makeGameCopy(dir.path);
  // A hall of fame of its own, already stored: the start-up finds it and
  // writes no line about a first start into the log.
  ScopedEnv store("QEL_DATA_DIR", dir.file("data-home"));
  hofDefaults();
  ASSERT_EQ(SAVE_RESULTS(), 1);
  // Launch (left Ctrl, scan 0x1D) held for a second, then the left (Z, 0x2C)
  // and right (slash, 0x35) flippers once each; the session ends at frame 330.
  writeFile(dir.file("script.txt"),
            "20 1 0 29 0\n80 4 0 29 0\n200 1 122 44 0\n215 4 122 44 0\n230 1 47 53 0\n245 4 47 53 0\nEND 330\n");
  std::string make = "'" + std::string(PB_BIN_DIR) + "/pbtool' rec make '" + dir.file("play.rec") + "' < '" +
                     dir.file("script.txt") + "'";
  ASSERT_EQ(std::system(make.c_str()), 0);
  RunResult r;
  {
    ScopedEnv driver("SDL_AUDIODRIVER", "disk");
    ScopedEnv file("SDL_DISKAUDIOFILE", dir.file("audio.raw"));
    ScopedEnv delay("SDL_DISKAUDIODELAY", "0");
    r = runProgram(dir.file("pinball"), {"/nomenu", "/w", "/frames", "330", "/log", "/debug", "play.rec"});
  }
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string log = readFile(dir.file("#report.txt"));
  EXPECT_EQ(failureLines(log), "");
  // The regime's module and the table's own samples were started.
  EXPECT_TRUE(has(log, "fxPlayModule(): module 0")) << log;
  for (const char* sample : {"SI_SPRING", "SI_LFLIPPER_PRESS", "SI_LFLIPPER_RLS", "SI_RFLIPPER_PRESS",
                             "SI_RFLIPPER_RLS"})
    EXPECT_TRUE(has(log, std::string(" ") + sample + " volume")) << sample;
  // What the device got: 16-bit stereo at 44.1 kHz, not silent, and never
  // at full scale (the mixer's limiter bends loud sums below it).
  std::string raw = readFile(dir.file("audio.raw"));
  ASSERT_GT(raw.size(), 44100u);  // at least a quarter of a second
  size_t n = raw.size() / 2;
  const auto* s = reinterpret_cast<const int16_t*>(raw.data());
  double sum = 0;
  size_t clipped = 0;
  for (size_t i = 0; i < n; i++) {
    sum += static_cast<double>(s[i]) * s[i];
    clipped += s[i] == 32767 || s[i] == -32768;
  }
  double rms = std::sqrt(sum / static_cast<double>(n));
  EXPECT_GT(rms, 300.0);
  EXPECT_EQ(clipped, 0u);
}

}  // namespace
