// pbclips: draws the game's logo clips and the masks of its mosaic
// transitions into a game folder.
//   data/lumo-logo.vid   the studio mark: a lamp lighting up, rings of light,
//                        then the name in block letters (20 frames a second)
//   data/empty.vid       a short black pause between the marks (10 a second)
//   data/ortan-logo.vid  the publisher mark: a turning diamond and the name
//                        sliding in (24 a second)
//   data/mosaic-subgame.bmp, data/mosaic-regime.bmp  grey masks whose areas
//                        are the tiles of the two transitions
// Everything is integer arithmetic, so the files are the same in every build.
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "blockfont.h"
#include "core/log.h"
#include "core/random.h"
#include "gfx/vid.h"
#include "platform/gdev.h"

namespace {

constexpr int W = 800, H = 600;

uint16_t rgb565(int r, int g, int b) {
  auto clamp = [](int v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
  return static_cast<uint16_t>(((clamp(r) >> 3) << 11) | ((clamp(g) >> 2) << 5) | (clamp(b) >> 3));
}

using Frame = std::vector<uint8_t>;

void put(Frame* f, int x, int y, uint8_t v) {
  if (x >= 0 && x < W && y >= 0 && y < H) (*f)[static_cast<size_t>(y) * W + x] = v;
}

void fillRect(Frame* f, int x, int y, int w, int h, uint8_t v) {
  for (int j = y; j < y + h; j++)
    for (int i = x; i < x + w; i++) put(f, i, j, v);
}

// Block text with its top-left corner at (x, y), cells of `scale` pixels.
void text(Frame* f, const char* s, int x, int y, int scale, uint8_t v) {
  blockfont::draw(s, x, y, scale, [&](int cx, int cy) { fillRect(f, cx, cy, scale - 1, scale - 1, v); });
}

int textWidth(const char* s, int scale) { return blockfont::width(s, scale); }

// Studio mark: warm palette, index 0 black, 1..200 a glow ramp, 255 the text.
std::vector<Frame> lumoFrames(std::vector<uint16_t>* palette) {
  palette->assign(256, 0);
  for (int i = 1; i <= 200; i++) (*palette)[i] = rgb565(i * 255 / 200, i * 200 / 200 - 20, i * 60 / 200 - 30);
  (*palette)[255] = rgb565(255, 236, 170);
  std::vector<Frame> frames;
  const int n = 60, cx = W / 2, cy = 230;
  for (int t = 0; t < n; t++) {
    Frame f(static_cast<size_t>(W) * H, 0);
    int radius = 10 + t * 5;                   // the lamp's glow grows
    int ring = t * 12;                         // a ring of light runs outwards
    for (int y = cy - 360; y < cy + 360; y++) {
      for (int x = cx - 420; x < cx + 420; x++) {
        int dx = x - cx, dy = y - cy, d2 = dx * dx + dy * dy;
        int v = 0;
        if (d2 < radius * radius) v = 200 - 150 * d2 / (radius * radius + 1);
        // IEEE square root is correctly rounded: the same in every build.
        int d = static_cast<int>(std::sqrt(static_cast<double>(d2)));
        int off = d - ring;
        if (off > -8 && off < 8) v += 90 - (off < 0 ? -off : off) * 11;
        if (v > 0) put(&f, x, y, static_cast<uint8_t>(v > 200 ? 200 : v));
      }
    }
    if (t >= 28) {  // the name, one more letter every few frames
      char name[5] = "LUMO";
      name[(t - 28) / 4 + 1 < 4 ? (t - 28) / 4 + 1 : 4] = '\0';
      text(&f, name, cx - textWidth("LUMO", 14) / 2, 430, 14, 255);
    }
    frames.push_back(std::move(f));
  }
  return frames;
}

// Publisher mark: cool palette; a diamond turns in and the name slides from
// the right.
std::vector<Frame> ortanFrames(std::vector<uint16_t>* palette) {
  palette->assign(256, 0);
  for (int i = 1; i <= 100; i++) (*palette)[i] = rgb565(20 + i, 40 + i * 2, 90 + i * 165 / 100);
  (*palette)[254] = rgb565(200, 30, 40);
  (*palette)[255] = rgb565(235, 240, 255);
  std::vector<Frame> frames;
  const int n = 72, cx = W / 2, cy = 220;
  for (int t = 0; t < n; t++) {
    Frame f(static_cast<size_t>(W) * H, 0);
    for (int y = 0; y < H; y++)  // a slow vertical gradient behind
      for (int x = 0; x < W; x += 1) put(&f, x, y, static_cast<uint8_t>(1 + (y * 40 / H + t / 3) % 40));
    int size = t < 36 ? t * 4 : 144;  // the diamond grows, then stands
    int shear = (t % 24) - 12;         // and seems to turn
    for (int dy = -size; dy <= size; dy++) {
      int half = size - (dy < 0 ? -dy : dy);
      for (int dx = -half; dx <= half; dx++)
        put(&f, cx + dx + shear * dy / 24, cy + dy, static_cast<uint8_t>((dx + dy) & 8 ? 254 : 60 + half % 40));
    }
    int target = cx - textWidth("ORTAN", 12) / 2;
    int x = t < 48 ? W + (target - W) * t / 48 : target;
    text(&f, "ORTAN", x, 420, 12, 255);
    frames.push_back(std::move(f));
  }
  return frames;
}

int writeClip(const std::string& path, int model, const std::vector<Frame>& frames,
              const std::vector<uint16_t>& palette) {
  std::vector<VidFrameIn> in;
  for (size_t i = 0; i < frames.size(); i++) in.push_back({frames[i].data(), i == 0 ? palette.data() : nullptr});
  return vidWrite(path.c_str(), W, H, model, 1, in);
}

// A grey mask: cells around scattered points (nearest point wins), each cell
// grey by its point's distance from `from` (x, y), so "light" order sweeps
// outwards from there. Greys run 1..255; 0 is never used.
bool writeMask(const std::string& path, int cells, uint32_t seed, int fromX, int fromY) {
  rndSeed(seed);
  std::vector<int> px(cells), py(cells), grey(cells);
  int maxd = 0;
  for (int i = 0; i < cells; i++) {
    px[i] = rndBelow(W);
    py[i] = rndBelow(H);
    int d = (px[i] - fromX) * (px[i] - fromX) + (py[i] - fromY) * (py[i] - fromY);
    grey[i] = d;
    if (d > maxd) maxd = d;
  }
  for (int i = 0; i < cells; i++) grey[i] = 1 + static_cast<int>(static_cast<int64_t>(grey[i]) * 254 / (maxd + 1));
  GdevBitmap* bmp = gdevCreateBitmap(W, H, 8);
  if (!bmp) return false;
  for (int i = 0; i < 256; i++) bmp->palette[i] = GdevColor{uint8_t(i), uint8_t(i), uint8_t(i), 0};
  // Cells are found on a 4-pixel grid: the edges are a little stepped, which
  // the fade hides, and the mask takes a sixteenth of the time.
  constexpr int kStep = 4;
  for (int y = 0; y < H; y += kStep) {
    for (int x = 0; x < W; x += kStep) {
      int best = 0, bestD = -1;
      for (int i = 0; i < cells; i++) {
        int d = (x - px[i]) * (x - px[i]) + (y - py[i]) * (y - py[i]);
        if (bestD < 0 || d < bestD) bestD = d, best = i;
      }
      for (int j = y; j < y + kStep && j < H; j++)
        for (int k = x; k < x + kStep && k < W; k++)
          bmp->pixels[static_cast<size_t>(j) * W + k] = static_cast<uint8_t>(grey[best]);
    }
  }
  bool ok = gdevSaveBitmap(path.c_str(), bmp);
  gdevFreeBitmap(bmp);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::puts("Usage: pbclips GAMEDIR\n"
              "Draws the logo clips (data/lumo-logo.vid, data/empty.vid, data/ortan-logo.vid)\n"
              "and the mosaic masks (data/mosaic-subgame.bmp, data/mosaic-regime.bmp) into\n"
              "the game folder GAMEDIR.");
    return 0;
  }
  if (argc != 2) {
    std::fputs("usage: pbclips GAMEDIR (see --help)\n", stderr);
    return 1;
  }
  std::string data = std::string(argv[1]) + "/data";
  mkdir(argv[1], 0777);
  mkdir(data.c_str(), 0777);

  std::vector<uint16_t> palette;
  std::vector<Frame> lumo = lumoFrames(&palette);
  if (writeClip(data + "/lumo-logo.vid", VID_MODEL_ZLIB, lumo, palette) < 0) return 1;
  std::vector<Frame> empty(15, Frame(static_cast<size_t>(W) * H, 0));
  std::vector<uint16_t> black(256, 0);
  if (writeClip(data + "/empty.vid", VID_MODEL_ZLIB, empty, black) < 0) return 1;
  std::vector<Frame> ortan = ortanFrames(&palette);
  if (writeClip(data + "/ortan-logo.vid", VID_MODEL_ZLIB, ortan, palette) < 0) return 1;
  if (!writeMask(data + "/mosaic-subgame.bmp", 160, 7, W / 2, H / 2) ||
      !writeMask(data + "/mosaic-regime.bmp", 90, 11, 0, H)) {
    std::fprintf(stderr, "pbclips: can't write the mosaic masks into '%s'\n", data.c_str());
    return 1;
  }
  std::printf("pbclips: 3 clips and 2 mosaic masks written to %s\n", data.c_str());
  return 0;
}
