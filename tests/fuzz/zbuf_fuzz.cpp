// Feeds arbitrary bytes to both depth map readers: as a layer height map
// (then sampled as the ball's drawing would) and as the screen depth map.
#include <cstdint>
#include <cstdlib>

#include "core/log.h"
#include "physics/geometry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool quiet = (logPrint("STDERR 0"), true);
  (void)quiet;
  std::span<const uint8_t> image(data, size);

  ZBUF z;
  if (zbufParse(image, "fuzz", &z) == 0) {
    double w = z.width, h = z.height;
    SET_LAYER_HEIGHTS(static_cast<int>(size % 9), &z);  // layer 8 is ignored
    zbufFree(&z);
    const double points[][2] = {{0, 0}, {w - 1.0, h - 1.0}, {w * 0.5, h * 0.5}, {w, 0}, {-0.5, h - 0.5}};
    for (const auto& p : points) {
      double height = SURFACE_HEIGHT(static_cast<int>(size % 9), p[0], p[1]);
      (void)height;
    }
    CLEAR_LAYER_HEIGHTS();
  }
  int w, h;
  uint16_t* depth = szbufParse(image, "fuzz", &w, &h);
  if (depth) {
    volatile uint16_t last = depth[static_cast<size_t>(w) * static_cast<size_t>(h) - (w && h ? 1 : 0)];
    (void)last;
    std::free(depth);
  }
  return 0;
}
