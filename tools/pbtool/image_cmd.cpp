// pbtool image topng: a BMP picture (such as a screenshot of the game) as a
// PNG, for documents and viewers.
#include <vector>

#include "core/log.h"
#include "platform/gdev.h"
#include "pngio.h"

int cmdImageToPng(char** args) {
  GdevBitmap* bmp = gdevLoadBitmap(args[0]);
  if (!bmp) return logError(-1, "%s: error reading '%s'", "image topng", args[0]);
  std::vector<uint8_t> rgba(static_cast<size_t>(bmp->width) * bmp->height * 4);
  for (int y = 0; y < bmp->height; y++) {
    const uint8_t* row = bmp->pixels + static_cast<size_t>(y) * bmp->bytesPerLine;
    for (int x = 0; x < bmp->width; x++) {
      uint8_t* out = &rgba[(static_cast<size_t>(y) * bmp->width + x) * 4];
      if (bmp->bitsPerPixel == 8) {
        const GdevColor& c = bmp->palette[row[x]];
        out[0] = c.red;
        out[1] = c.green;
        out[2] = c.blue;
      } else {
        out[0] = row[3 * x + 2];
        out[1] = row[3 * x + 1];
        out[2] = row[3 * x];
      }
      out[3] = 255;
    }
  }
  int w = bmp->width, h = bmp->height;
  gdevFreeBitmap(bmp);
  if (!pngWriteRGBA(args[1], w, h, rgba.data())) return logError(-1, "%s: error writing '%s'", "image topng", args[1]);
  return 0;
}
