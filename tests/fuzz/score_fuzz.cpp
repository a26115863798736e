// Feeds arbitrary text to the score's set-up as its configuration (and to
// the year display as the game configuration), then scores every subject it
// built under each tax multiplier, lets the tips rise and end, shows a few
// years and draws the visual board. The set-up runs in a scratch folder that
// holds digit sprites "d0.gsp" .. "d9.gsp" and year sprites "y1.gsp" ..
// "y4.gsp", so that the seeds get past loading.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/conf.h"
#include "core/log.h"
#include "fuzz_board.h"
#include "scratch.h"
#include "core/time.h"
#include "game/game.h"
#include "game/score.h"
#include "gfx/gspwrite.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "platform/gdev.h"

namespace {

void writeSprite(const std::string& path, int frames, int w) {
  std::vector<uint8_t> rgba(static_cast<size_t>(w) * 5 * 4, 200);
  std::vector<GspFrameImage> images(static_cast<size_t>(frames), GspFrameImage{w, 5, rgba.data(), 0, 0});
  if (gspWrite(path.c_str(), 4, images) != 0) std::abort();
}

struct World {
  FuzzBoard board;
  std::string dir;

  World() {
    logPrint("STDERR 0");
    gsBuildBlendTable();
    dir = fuzzScratchDir("score_fuzz");
    for (int d = 0; d < 10; d++) writeSprite("d" + std::to_string(d) + ".gsp", 3, 2 + d);
    for (int y = 1; y <= 4; y++) writeSprite("y" + std::to_string(y) + ".gsp", 20, 3);

    board.open(64, 48);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World world;
  ConfSet set;
  if (confParseText(&set, {data, size}, "score.conf") < 0) {
    conf_free(&set);
    return 0;
  }
  gameReset();
  tmTime = 0;
  setupScoreFrom(&set);
  if (scoreSubjectCount() > SCORE_MAX_SUBJECTS) std::abort();
  scoreSetupYear(&set);

  // The names scoreAdd is given: every section, and "SECTION:SUFFIX" for
  // every suffix of a "value_SUFFIX" key anywhere, under each tax multiplier
  // in turn.
  std::vector<std::string> sections, suffixes, names;
  for (const char* sect = conf_firstsection(&set, nullptr); sect; sect = conf_nextsection(&set))
    if (sections.size() < 200) sections.push_back(sect);
  for (const char* k = conf_findfirst(&set, "*.value_*"); k; k = conf_findnext(&set))
    if (suffixes.size() < 8) suffixes.push_back(std::strstr(k, ".value_") + 7);
  for (const std::string& sect : sections) {
    names.push_back(sect);
    for (const std::string& suffix : suffixes) names.push_back(sect + ":" + suffix);
  }
  const int multipliers[] = {1, 2, 4, 6, 8};
  int n = 0;
  for (const std::string& name : names) {
    if (n >= 400) break;
    game.taxMultiplier = multipliers[n++ % 5];
    const int before = game.score;
    const int added = scoreAdd(name.c_str());
    const ScoreSubject* s = scoreFindSubject(name.c_str());
    // A known subject adds its value times the multiplier, a full tip table
    // notwithstanding; an unknown one adds nothing.
    const uint32_t expected =
        static_cast<uint32_t>(before) + (s ? static_cast<uint32_t>(s->value) * game.taxMultiplier : 0u);
    if (static_cast<uint32_t>(game.score) != expected) std::abort();
    if (!s && added) std::abort();
    if (s && std::strcmp(s->name, name.c_str()) != 0) std::abort();
    tmTime += 37;
    scoreUpdateTips();
    if (n % 7 == 0) {
      vbRestore(0);
      vbDraw();
    }
  }
  for (double year : {1999.5, 2003.99, -4.0, 1e300, 9999.75}) gameSetYear(year);
  for (int i = 0; i < 8; i++) {
    tmTime += 300;
    scoreUpdateTips();
  }
  vbRestore(0);
  vbDraw();
  scoreFree();
  conf_free(&set);
  // Dead objects go at the next restore; the board never fills up.
  vbRestore(1);
  return 0;
}
