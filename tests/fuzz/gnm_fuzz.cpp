// Feeds arbitrary text to the animation-script reader as a script file and,
// when it loads, starts it and runs it over a few frames of varied length,
// drawing the visual board now and then. The scripts run in a scratch folder
// that holds a small sprite "spr.gsp" (also "d/spr.gsp") and a list file
// "l.lst", so that plays and lists of the seeds get past loading.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "anim/gnm.h"
#include "core/log.h"
#include "fuzz_board.h"
#include "scratch.h"
#include "gfx/gspwrite.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "platform/gdev.h"

namespace {

void writeBytes(const std::string& path, const void* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

struct World {
  FuzzBoard board;
  std::string dir;

  World() {
    logPrint("STDERR 0");
    gsBuildBlendTable();
    dir = fuzzScratchDir("gnm_fuzz");
    if (mkdir("d", 0700) != 0) std::abort();
    std::vector<std::vector<uint8_t>> pictures;
    std::vector<GspFrameImage> frames;
    for (int i = 0; i < 6; ++i) {
      std::vector<uint8_t> rgba;
      for (int p = 0; p < 9; ++p) rgba.insert(rgba.end(), {static_cast<uint8_t>(30 * i), 80, 200, 255});
      pictures.push_back(rgba);
    }
    for (const auto& p : pictures) frames.push_back(GspFrameImage{3, 3, p.data(), 0, 0});
    std::vector<uint8_t> bytes;
    if (gspEncode(GSP_CM_565, frames, &bytes) != 0) std::abort();
    writeBytes("spr.gsp", bytes.data(), bytes.size());
    writeBytes("d/spr.gsp", bytes.data(), bytes.size());
    const char list[] = "xstep ystep frame delay\n1 2 0 30\n-4 1 5 10\n2 0 9 0\n";
    writeBytes("l.lst", list, sizeof list - 1);

    board.open(64, 48);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World world;
  writeBytes(world.dir + "/input.gnm", data, size);
  gnmInit();
  const int layer = size > 0 ? data[0] % 18 - 1 : 0;  // also layers outside 0..15
  if (gnmLoad(size % 20, "input.gnm", layer) && gnmStart(static_cast<int>(size % 20))) {
    const double steps[] = {0, 16.6, 1, 250, 0.5, 1000, 33, -5, 7};
    for (int i = 0; i < 40; ++i) {
      gnmUpdate(steps[i % 9]);
      if (i % 13 == 0) {
        vbRestore(0);
        vbDraw();
      }
    }
    gnmStop(static_cast<int>(size % 20));
    gnmUpdate(10);
  }
  gnmFree();
  // Dead objects go at the next restore; the board never fills up.
  vbRestore(1);
  return 0;
}
