// Reads an arbitrary title configuration text, loads its titles (page
// set-up texts, videos, samples, page and video events) and plays each title
// for a few frames in the foreground and the background, with a macro set.
// File names reach only a scratch directory holding one font: every '/' of
// the input becomes '_', and the loader runs in that directory. Sound is
// switched off, so sample loads only take their slots.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "anim/page.h"
#include "anim/title.h"
#include "core/conf.h"
#include "core/log.h"
#include "gfx/font.h"
#include "gfx/gspwrite.h"
#include "gfx/screen.h"
#include "physics/opr.h"
#include "sound/fx.h"

namespace {

std::string gScratchDir;
std::string gHomeDir;

void makeScratch() {
  char dir[] = "/tmp/title_fuzz-XXXXXX";
  if (!mkdtemp(dir)) std::abort();
  gScratchDir = dir;
  char cwd[4096];
  if (!getcwd(cwd, sizeof cwd)) std::abort();
  gHomeDir = cwd;
  std::vector<uint8_t> rgba;
  for (int p = 0; p < 2 * 4; ++p) rgba.insert(rgba.end(), {200, 90, 40, 255});
  std::vector<GspFrameImage> frames = {{2, 4, rgba.data(), 0, 0}};
  uint8_t map[FNT_MAP_SIZE] = {};
  std::vector<uint8_t> bytes;
  if (fnpEncode(GSP_CM_565_ALPHA, frames, map, &bytes) != 0) std::abort();
  std::string path = gScratchDir + "/f.fnp";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
  std::fclose(f);
  std::atexit([] {
    unlink((gScratchDir + "/f.fnp").c_str());
    rmdir(gScratchDir.c_str());
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static GdevDC* dc = nullptr;
  static gscr scr{};
  if (!dc) {
    logPrint("STDERR 0");
    gsBuildBlendTable();
    fxInit(1);
    dc = gdevCreateMemoryDC(96, 48, 16, nullptr);
    gsCreateMem(&scr, dc);
    gsSelect(&scr);
    makeScratch();
  }
  std::vector<uint8_t> text(data, data + size);
  std::replace(text.begin(), text.end(), uint8_t('/'), uint8_t('_'));
  if (chdir(gScratchDir.c_str()) != 0) std::abort();
  if (setupTitleContexts(64, 24)) {
    titleExecPage("{font load f f.fnp}");
    ConfSet set{};
    if (confParseText(&set, std::span<const uint8_t>(text.data(), text.size()), "fuzz.conf") == 0)
      loadTitleConf(&set);
    conf_free(&set);
    titleSetMacro("score", "1234");
    titleSetRegimeName([] { return "comm"; });
    for (int id = TITLE_FIRST_ID; id < TITLE_FIRST_ID + TITLE_COUNT; ++id) {
      const char* name = titleName(id);
      if (!name) continue;
      std::string n = name;
      if (startForeTitle(n.c_str()) >= 0) titleEndCallbackOnce([] { titleSetMacro("score", "99"); });
      for (int i = 0; i < 4; ++i) titleFrame(i * 250.0);
      startBackTitle(n.c_str());
      titleFrame(16);
      titleEndBack(id);
      titleFrame(700);
    }
    titleFrame(2500);  // idle: the background "score_comm", when defined
    titleFrame(16);
  }
  titleUnload();
  objClearInfo();
  titleClearMacros();
  titleSetRegimeName(nullptr);
  pageFreeFonts();
  pageFreeSprites();
  if (chdir(gHomeDir.c_str()) != 0) std::abort();
  return 0;
}
