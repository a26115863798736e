// The BMP reader over arbitrary bytes: it must refuse damage cleanly, and what
// it accepts must draw into every surface depth and survive a round trip.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/log.h"
#include "platform/gdev.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = logPrint("STDERR 0") != 0;
  (void)quiet;
  GdevBitmap* bmp = gdevParseBitmap(std::span<const uint8_t>(data, size), "fuzz.bmp");
  if (!bmp) return 0;
  for (int bpp : {8, 15, 24}) {
    GdevDC* dc = gdevCreateMemoryDC(48, 40, bpp, nullptr);
    gdevPutBitmap(dc, -3, -2, bmp);
    gdevPutBitmap(dc, 40, 30, bmp);
    gdevDestroyDC(dc);
  }
  std::vector<uint8_t> image;
  if (!gdevEncodeBitmap(bmp, &image)) __builtin_trap();
  GdevBitmap* again = gdevParseBitmap(image, "again.bmp");
  if (!again || again->width != bmp->width || again->height != bmp->height ||
      again->bitsPerPixel != bmp->bitsPerPixel) {
    __builtin_trap();
  }
  for (size_t i = 0; i < static_cast<size_t>(bmp->bytesPerLine) * static_cast<size_t>(bmp->height);
       ++i) {
    if (again->pixels[i] != bmp->pixels[i]) __builtin_trap();
  }
  gdevFreeBitmap(again);
  gdevFreeBitmap(bmp);
  return 0;
}
