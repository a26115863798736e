// Feeds arbitrary text to the boxing match as its configuration
// ("conf/boxing.conf") and plays the match it describes for up to 400
// frames on a small screen, the keys changing every 24 frames through all
// their combinations. The persons come from the input's length (a left
// person of 3 is unknown). The match runs in a scratch folder that holds
// small sprites, so that the seeds get past loading: "back.gsp" (three
// layers 120, 90 and 70 wide), "b6.gsp" (6 frames, a boxer's animation),
// "s1.gsp", "s3.gsp", "s4.gsp" (1, 3 and 4 frames) and "bar.gsp" (11
// frames). Checked: the run's result, ki and health staying in 0..100, and
// that the match frees every sprite and object it made.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/time.h"
#include "fuzz_board.h"
#include "gfx/gspwrite.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "platform/gdev.h"
#include "scratch.h"
#include "subgames/boxing_internal.h"
#include "subgames/sgframe.h"

namespace {

enum { FRAMES = 400, KEY_PERIOD = 24 };

void writeSprite(const std::string& path, const std::vector<int>& widths, int h) {
  std::vector<std::vector<uint8_t>> pixels;
  std::vector<GspFrameImage> images;
  for (int w : widths) pixels.emplace_back(static_cast<size_t>(w) * h * 4, 200);
  for (size_t i = 0; i < widths.size(); i++) images.push_back({widths[i], h, pixels[i].data(), 0, 0});
  if (gspWrite(path.c_str(), 4, images) != 0) std::abort();
}

int gFrame = 0;
int gHeld = 0;  // the key combination held now

const int kScans[3] = {SG_KEY_RIGHT, SG_KEY_LEFT, SG_KEY_LAUNCH};

void check(const BoxMatch* m) {
  for (const Boxer& b : m->boxer)
    if (b.ki < 0 || b.ki > 100 || b.health < 0 || b.health > 100) std::abort();
}

// One key change a frame, towards the combination of this stretch of frames.
int hostEvent(GdevEvent* out) {
  check(boxCurrentMatch());
  const int want = (gFrame / KEY_PERIOD) % 8;
  for (int k = 0; k < 3; k++) {
    const int bit = 1 << k;
    if ((want & bit) == (gHeld & bit)) continue;
    gHeld ^= bit;
    *out = GdevEvent{};
    out->what = (gHeld & bit) ? GDEV_EVT_KEYDOWN : GDEV_EVT_KEYUP;
    out->message = static_cast<uint32_t>(kScans[k] & 0xFF) << 8;
    return 1;
  }
  return 0;
}
void hostFrameEnd() { gFrame++; }
int hostQuit() { return gFrame >= FRAMES ? 1 : 0; }
constexpr SgHost kHost = {hostEvent, nullptr, hostFrameEnd, hostQuit, nullptr};

struct World {
  FuzzBoard board;

  World() {
    logPrint("STDERR 0");
    gsBuildBlendTable();
    fuzzScratchDir("boxing_fuzz");
    if (mkdir("conf", 0755) != 0) std::abort();
    board.open(160, 120);
    writeSprite("back.gsp", {120, 90, 70}, 40);
    writeSprite("b6.gsp", {20, 20, 20, 20, 20, 20}, 30);
    writeSprite("s1.gsp", {8}, 8);
    writeSprite("s3.gsp", {6, 8, 10}, 8);
    writeSprite("s4.gsp", {4, 4, 4, 4}, 4);
    writeSprite("bar.gsp", {2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22}, 3);
    tmInit();
    tmSetTurbo(1);
    sgSetHost(&kHost);
  }
};

int objectsInUse() {
  int n = 0;
  for (const VBOBJ& o : vbCurrent->objects) n += o.inUse;
  return n;
}

int spritesInUse() {
  int n = 0;
  for (const Sprite& s : SPRITES) n += s.inUse;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World world;
  FILE* f = std::fopen("conf/boxing.conf", "wb");
  if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) std::abort();
  tmSetTime(0);
  tmSetRate(60, 1);
  gFrame = 0;
  gHeld = 0;
  const int sprites = spritesInUse();
  if (SG_BOXING_PRELOAD(0) == 0) {
    SgBoxingOutcome out{static_cast<int>(size % 4), static_cast<int>(size / 4 % 3), -1};
    const int rc = SG_BOXING_RUN(&out);
    if (rc != 1 && rc != -1) std::abort();
    if (rc == 1 && out.won != 0 && out.won != 1) std::abort();
    if (rc == -1 && gFrame != 0) std::abort();
  }
  sgBoxingFree();
  vbRestore(1);  // removes the objects the match deleted
  if (objectsInUse() != 0 || spritesInUse() != sprites) std::abort();
  return 0;
}
