// pbtool vid: the header and frame table of a video clip, and its frames as
// pictures.
#include <cstdio>
#include <string>
#include <vector>

#include "core/log.h"
#include "gfx/vid.h"
#include "pngio.h"

int cmdVidInfo(char** a) {
  VidClip clip;
  if (!vidOpen(&clip, a[0])) return 1;
  std::printf("version\t%d\twidth\t%d\theight\t%d\tmodel\t%d\tframes\t%d\tdelta\t%d\n", VID_VERSION,
              clip.width, clip.height, clip.model, clip.frames, clip.delta);
  for (int i = 0; i < clip.frames; i++)
    std::printf("frame\t%d\t%u\t%u\t%u\n", i, clip.table[i].offset, clip.table[i].size,
                clip.table[i].key);
  vidClose(&clip);
  return 0;
}

// Decodes every frame in order (as the player does) and writes
// OUTDIR/frame-NNN.png, 5-6-5 colours widened to eight bits a channel.
int cmdVidFrames(char** a) {
  VidClip clip;
  if (!vidOpen(&clip, a[0])) return 1;
  if (!vidLoad(&clip)) {
    vidClose(&clip);
    return 1;
  }
  std::vector<uint16_t> screen(static_cast<size_t>(clip.width) * clip.height);
  std::vector<uint8_t> rgba(screen.size() * 4);
  VidTarget t{reinterpret_cast<uint8_t*>(screen.data()), clip.width * 2, clip.width, clip.height, 16};
  int rc = 0;
  for (int f = 0; f < clip.frames && rc == 0; f++) {
    if (!vidPutFrameTo(&clip, t, VID_DRAW_PLAIN, f, 0, 0)) {
      rc = logError(1, "%s: can't decode frame %d of '%s'", "pbtool vid frames", f, a[0]);
      break;
    }
    for (size_t i = 0; i < screen.size(); i++) {
      unsigned c = screen[i], r = c >> 11, g = (c >> 5) & 0x3F, b = c & 0x1F;
      rgba[4 * i] = static_cast<uint8_t>((r << 3) | (r >> 2));
      rgba[4 * i + 1] = static_cast<uint8_t>((g << 2) | (g >> 4));
      rgba[4 * i + 2] = static_cast<uint8_t>((b << 3) | (b >> 2));
      rgba[4 * i + 3] = 255;
    }
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%03d.png", f);
    std::string path = std::string(a[1]) + name;
    if (!pngWriteRGBA(path.c_str(), clip.width, clip.height, rgba.data())) rc = 1;
    else std::printf("%s\n", path.c_str());
  }
  vidClose(&clip);
  return rc;
}
