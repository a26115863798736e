// Plots arbitrary markup on a page with a font loaded, lays it out and draws
// it on a memory screen, twice, then unplots and frees what the text loaded.
// Load tags reach only a scratch directory holding one font and one sprite:
// every '/' of the input becomes '_', and the text runs in that directory.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "anim/page.h"
#include "core/log.h"
#include "gfx/font.h"
#include "gfx/gspwrite.h"
#include "gfx/screen.h"

namespace {

PageContext gPage;
std::string gScratchDir;
std::string gHomeDir;

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
  std::fclose(f);
}

// A font of four glyphs of different sizes over the letters and digits, and a
// sprite of three frames.
void makeScratch() {
  char dir[] = "/tmp/page_fuzz-XXXXXX";
  if (!mkdtemp(dir)) std::abort();
  gScratchDir = dir;
  char cwd[4096];
  if (!getcwd(cwd, sizeof cwd)) std::abort();
  gHomeDir = cwd;
  std::vector<std::vector<uint8_t>> pictures;
  std::vector<GspFrameImage> frames;
  for (int i = 0; i < 4; ++i) {
    int w = 1 + i, h = 3 + 2 * i;
    std::vector<uint8_t> rgba;
    for (int p = 0; p < w * h; ++p) rgba.insert(rgba.end(), {uint8_t(60 * i), 200, 90, uint8_t(p % 2 ? 255 : 128)});
    pictures.push_back(rgba);
  }
  for (int i = 0; i < 4; ++i) frames.push_back({1 + i, 3 + 2 * i, pictures[i].data(), i % 2, 0});
  uint8_t map[FNT_MAP_SIZE];
  for (int c = 0; c < FNT_MAP_SIZE; ++c) map[c] = (c >= '0' && c <= 'z') ? uint8_t(c % 4) : uint8_t(4 + c % 3);
  std::vector<uint8_t> bytes;
  if (fnpEncode(GSP_CM_565_ALPHA, frames, map, &bytes) != 0) std::abort();
  writeBytes(gScratchDir + "/f.fnp", bytes);
  std::vector<GspFrameImage> sprite(frames.begin(), frames.begin() + 3);
  if (gspEncode(GSP_CM_565, sprite, &bytes) != 0) std::abort();
  writeBytes(gScratchDir + "/s.gsp", bytes);
  std::atexit([] {
    unlink((gScratchDir + "/f.fnp").c_str());
    unlink((gScratchDir + "/s.gsp").c_str());
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
    dc = gdevCreateMemoryDC(96, 48, 16, nullptr);
    gsCreateMem(&scr, dc);
    gsSelect(&scr);
    makeScratch();
  }
  std::string text(reinterpret_cast<const char*>(data), size);
  std::replace(text.begin(), text.end(), '/', '_');
  std::replace(text.begin(), text.end(), '\0', ' ');
  int width = size ? 24 + data[0] % 64 : 40;
  if (chdir(gScratchDir.c_str()) != 0) std::abort();
  pageCreate(&gPage, width, 32);
  pageSelect(&gPage);
  pagePlot("{font load f f.fnp}{font select f}");
  pagePlot(text.c_str());
  pageDraw(-3, 5);
  pagePlot("A\\nB");
  pageDraw(40, -2);
  pageUnplot();
  pagePlot(text.c_str());
  pageDraw(0, 0);
  pageFreeFonts();
  pageFreeSprites();
  pageDraw(1, 1);
  pageSelect(nullptr);
  if (chdir(gHomeDir.c_str()) != 0) std::abort();
  return 0;
}
