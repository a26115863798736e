// Feeds arbitrary bytes to the font loader (glyph sprite, pack, map) and
// draws a board string with whatever loaded.
#include <cstdint>
#include <cstring>

#include "core/log.h"
#include "gfx/font.h"
#include "gfx/screen.h"
#include "gfx/vboard.h"

namespace {
VBOARD gBoard;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static GdevDC* screen = nullptr;
  static GdevDC* background = nullptr;
  static gscr scr{};
  if (!screen) {
    logPrint("STDERR 0");
    gsBuildBlendTable();
    screen = gdevCreateMemoryDC(96, 48, 16, nullptr);
    background = gdevCreateMemoryDC(96, 48, 16, nullptr);
    gsCreateMem(&scr, screen);
    gsSelect(&scr);
  }
  Font* f = FNT_CREATE_MEM(data, size, "fuzz", 0);
  if (f) {
    vbCreate(&gBoard, background);
    vbSelect(&gBoard);
    VBSTR s;
    vbStrCreate(&s, f);
    s.spacing = static_cast<int>(size % 3);
    char text[64];
    for (int i = 0; i < 63; i++) text[i] = static_cast<char>(32 + i * 3);
    text[63] = 0;
    vbStrWidth(&s, text);
    if (vbStrDraw(&s, -5, 10, text)) {
      vbRestore(0);
      vbDraw();
      vbRestore(0);
    }
    vbDeselect(&gBoard);
    vbFree(&gBoard);
    FNT_FREE(f);
  }
  return 0;
}
