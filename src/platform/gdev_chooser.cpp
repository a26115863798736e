// The video mode chooser: a small window of its own listing the modes in
// blocky letters, driven by the arrow keys, Enter, Escape and the mouse.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/gdev_internal.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr int kScale = 2;          // glyph pixels per font pixel
constexpr int kCell = 8 * kScale;  // character cell
constexpr int kRowHeight = kCell + 4;
constexpr int kListTop = 56;
constexpr int kListLeft = 48;
constexpr int kVisibleRows = (kHeight - kListTop - 48) / kRowHeight;

// A 5x7 font in 8x8 cells; lower case prints as upper case, anything else
// missing prints as a space.
struct Glyph {
  char c;
  const char* rows[7];
};
constexpr Glyph kFont[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'J', {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'-', {".....", ".....", ".....", "#####", ".....", ".....", "....."}},
    {':', {".....", ".##..", ".##..", ".....", ".##..", ".##..", "....."}},
    {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
    {',', {".....", ".....", ".....", ".....", ".##..", "..#..", ".#..."}},
    {'=', {".....", ".....", "#####", ".....", "#####", ".....", "....."}},
    {'/', {".....", "....#", "...#.", "..#..", ".#...", "#....", "....."}},
    {'(', {"...#.", "..#..", ".#...", ".#...", ".#...", "..#..", "...#."}},
    {')', {".#...", "..#..", "...#.", "...#.", "...#.", "..#..", ".#..."}},
    {'[', {".###.", ".#...", ".#...", ".#...", ".#...", ".#...", ".###."}},
    {']', {".###.", "...#.", "...#.", "...#.", "...#.", "...#.", ".###."}},
    {'<', {"...#.", "..#..", ".#...", "#....", ".#...", "..#..", "...#."}},
    {'>', {".#...", "..#..", "...#.", "....#", "...#.", "..#..", ".#..."}},
};

const Glyph* findGlyph(char c) {
  char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const Glyph& g : kFont) {
    if (g.c == upper) return &g;
  }
  return nullptr;
}

void drawText(GdevDC* dc, int x, int y, const char* text, uint32_t color) {
  gdevMakeCurrent(dc);
  gdevSetColor(color);
  for (; *text; ++text, x += kCell) {
    const Glyph* g = findGlyph(*text);
    if (!g) continue;
    for (int row = 0; row < 7; ++row) {
      for (int col = 0; col < 5; ++col) {
        if (g->rows[row][col] == '#') {
          gdevFillRect(x + (col + 1) * kScale, y + row * kScale, kScale, kScale);
        }
      }
    }
  }
}

bool fullScreenKind(const GdevMode& m) { return std::strstr(m.driver, "DDRAW") != nullptr; }

void drawList(GdevDC* dc, std::span<const GdevMode> modes, int selected, int first) {
  const uint32_t background = gdevPackRGB(&dc->format, 0, 0, 96);
  const uint32_t text = gdevPackRGB(&dc->format, 220, 220, 220);
  const uint32_t bar = gdevPackRGB(&dc->format, 230, 200, 40);
  const uint32_t barText = gdevPackRGB(&dc->format, 0, 0, 0);
  gdevMakeCurrent(dc);
  gdevSetColor(background);
  gdevFillRect(0, 0, dc->width, dc->height);
  drawText(dc, kListLeft, 16, "CHOOSE THE VIDEO MODE", text);
  int last = std::min(static_cast<int>(modes.size()), first + kVisibleRows);
  for (int i = first; i < last; ++i) {
    const GdevMode& m = modes[static_cast<size_t>(i)];
    char line[64];
    std::snprintf(line, sizeof line, "%2d %5dX%-4d %2d BIT %s", m.number, m.width, m.height,
                  m.bitsPerPixel, fullScreenKind(m) ? "FULL SCREEN" : "WINDOW");
    int y = kListTop + (i - first) * kRowHeight;
    bool on = i == selected;
    if (on) {
      gdevMakeCurrent(dc);
      gdevSetColor(bar);
      gdevFillRect(kListLeft - 8, y - 2, dc->width - 2 * (kListLeft - 8), kRowHeight);
    }
    drawText(dc, kListLeft, y, line, on ? barText : text);
  }
  drawText(dc, kListLeft, kHeight - 32, "ARROWS, ENTER = OK, ESC = CANCEL", text);
}

// The list line under a screen position, or -1.
int lineAt(int y, int first, int count) {
  if (y < kListTop) return -1;
  int line = first + (y - kListTop) / kRowHeight;
  return line < count && line < first + kVisibleRows ? line : -1;
}

}  // namespace

int gdevChooseMode(std::span<const GdevMode> modes, GdevMode* outMode, int* outWindowed) {
  constexpr const char* fn = "gdevChooseMode()";
  if (modes.empty() || !outMode || !outWindowed) {
    gdev::fail(fn, "no modes to choose from");
    return 0;
  }
  if (!gdevIsInitialised()) {
    gdev::fail(fn, "the graphics layer is not initialised");
    return 0;
  }
  GdevDC* dc = gdev::createDC(fn, kWidth, kHeight, 16, &GDEV_FORMAT_565, 1);
  if (!dc) return 0;
  gdev::Screen screen;
  if (!gdev::openScreen(&screen, gdev::appTitle(), kWidth, kHeight, 16, 1, false)) {
    gdevDestroyDC(dc);
    return 0;
  }
  GdevDC* previousDC = gdevCurrentDC();
  gdev::View previousView = gdev::gView;
  gdev::gView = gdev::View{screen.window, kWidth, kHeight};

  const int count = static_cast<int>(modes.size());
  int selected = 0, first = 0, chosen = -1;
  bool done = false;
  while (!done) {
    first = std::clamp(first, std::max(0, selected - kVisibleRows + 1), selected);
    drawList(dc, modes, selected, first);
    GdevRect all{0, 0, kWidth, kHeight};
    gdev::uploadRect(&screen, dc, dc->pixels, &all);
    gdev::renderScreen(&screen, 0);

    GdevEvent ev;
    // Application events (the quit request among them) stay queued for the
    // engine; the chooser takes keys and the mouse only.
    while (!gdevGetEvent(&ev, GDEV_EVT_KEYEVT | GDEV_EVT_MOUSEEVT, true)) {
      if (gdevQuitRequested()) break;
      SDL_WaitEventTimeout(nullptr, 50);
    }
    if (gdevQuitRequested()) break;
    switch (ev.what) {
      case GDEV_EVT_KEYDOWN:
      case GDEV_EVT_KEYREPEAT:
        if (gdevEventChar(&ev) == 13) {
          chosen = selected;
          done = true;
        } else if (gdevEventChar(&ev) == 27) {
          done = true;
        } else {
          switch (gdevEventScan(&ev)) {
            case 0x48: selected = std::max(0, selected - 1); break;
            case 0x50: selected = std::min(count - 1, selected + 1); break;
            case 0x49: selected = std::max(0, selected - kVisibleRows); break;
            case 0x51: selected = std::min(count - 1, selected + kVisibleRows); break;
            case 0x47: selected = 0; break;
            case 0x4F: selected = count - 1; break;
            default: break;
          }
        }
        break;
      case GDEV_EVT_MOUSEMOVE:
      case GDEV_EVT_MOUSEDOWN: {
        int line = lineAt(ev.y, first, count);
        if (line < 0) break;
        selected = line;
        if (ev.what == GDEV_EVT_MOUSEDOWN && (ev.message & GDEV_MOD_LEFTBUT)) {
          chosen = line;
          done = true;
        }
        break;
      }
      default: break;
    }
  }

  gdev::gView = previousView;
  gdev::closeScreen(&screen);
  gdevMakeCurrent(previousDC == dc ? nullptr : previousDC);
  gdevDestroyDC(dc);
  if (chosen < 0) return 0;
  *outMode = modes[static_cast<size_t>(chosen)];
  *outWindowed = fullScreenKind(*outMode) ? 0 : 1;
  return 1;
}
