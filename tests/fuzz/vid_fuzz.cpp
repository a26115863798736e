// Feeds arbitrary bytes to the video clip reader and decodes every frame in
// order, as the logo player would.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/log.h"
#include "gfx/vid.h"
#include "scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool quiet = (logPrint("STDERR 0"), true);
  (void)quiet;
  static bool scratch = (fuzzScratchCreate("vid_fuzz"), true);
  (void)scratch;
  fuzzScratchWrite(data, size);
  const std::string& path = fuzzScratchPath();

  VidClip clip;
  if (vidOpen(&clip, path.c_str())) {
    if (size & 1) vidLoad(&clip);
    std::vector<uint16_t> screen(64 * 48);
    VidTarget t{reinterpret_cast<uint8_t*>(screen.data()), 64 * 2, 64, 48, (size & 2) ? 15 : 16};
    int frames = clip.frames < 64 ? clip.frames : 64;
    for (int i = 0; i < frames; i++) vidPutFrameTo(&clip, t, (i & 1) ? VID_DRAW_DOTS : VID_DRAW_PLAIN, i, -3, 5);
    vidClose(&clip);
  }
  return 0;
}
