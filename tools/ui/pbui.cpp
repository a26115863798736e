// pbui: draws the interface sprites of the table session into a game folder:
// the ruler and the three cursors, the pause dialog (window, "continue" and
// "exit" choices, in Russian) and the load progress bar.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "blockfont.h"
#include "core/log.h"
#include "gfx/gspwrite.h"
#include "gfx/sprite.h"

namespace {

// A picture being drawn: RGBA, placed at (ox, oy) from the sprite's origin.
struct Picture {
  int w, h, ox, oy;
  std::vector<uint8_t> rgba;
  Picture(int width, int height, int x = 0, int y = 0)
      : w(width), h(height), ox(x), oy(y), rgba(static_cast<size_t>(width) * height * 4, 0) {}
  void put(int x, int y, uint32_t rgb, int a = 255) {
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    uint8_t* p = &rgba[(static_cast<size_t>(y) * w + x) * 4];
    p[0] = static_cast<uint8_t>(rgb >> 16);
    p[1] = static_cast<uint8_t>(rgb >> 8);
    p[2] = static_cast<uint8_t>(rgb);
    p[3] = static_cast<uint8_t>(a);
  }
  void fill(int x, int y, int fw, int fh, uint32_t rgb, int a = 255) {
    for (int j = y; j < y + fh; j++)
      for (int i = x; i < x + fw; i++) put(i, j, rgb, a);
  }
  void frame(int x, int y, int fw, int fh, uint32_t rgb, int thick) {
    fill(x, y, fw, thick, rgb);
    fill(x, y + fh - thick, fw, thick, rgb);
    fill(x, y, thick, fh, rgb);
    fill(x + fw - thick, y, thick, fh, rgb);
  }
  GspFrameImage image() const { return {w, h, rgba.data(), ox, oy}; }
};

// Draws UTF-8 block text centred on cx.
void text(Picture* p, const char* s, int cx, int top, int scale, uint32_t rgb) {
  blockfont::draw(s, cx - blockfont::width(s, scale) / 2, top, scale,
                  [&](int x, int y) { p->fill(x, y, scale, scale, rgb); });
}

// An arrow pointer with its tip at the origin.
Picture arrow(uint32_t body, uint32_t edge) {
  Picture p(12, 19);
  for (int y = 0; y < 16; y++)
    for (int x = 0; x <= y * 2 / 3 && x < 12; x++) p.put(x, y, (x == 0 || x == y * 2 / 3 || y == 15) ? edge : body);
  p.fill(4, 14, 3, 5, body);
  return p;
}

bool write(const std::string& path, int cm, const std::vector<Picture>& pictures) {
  std::vector<GspFrameImage> images;
  for (const Picture& p : pictures) images.push_back(p.image());
  return gspWrite(path.c_str(), cm, images) == 0;
}

}  // namespace

// The pause dialog's place on the 800x600 screen.
constexpr int kWinX = 240, kWinY = 210, kWinW = 320, kWinH = 170;

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::puts("Usage: pbui GAMEDIR\n"
              "Draws the interface sprites (ruler, cursors, pause dialog, load progress bar)\n"
              "into GAMEDIR/data.");
    return 0;
  }
  if (argc != 2) {
    std::fputs("usage: pbui GAMEDIR (see --help)\n", stderr);
    return 1;
  }
  std::string data = std::string(argv[1]) + "/data";
  mkdir(argv[1], 0777);
  mkdir(data.c_str(), 0777);
  bool ok = true;

  Picture ruler(9, 9, 0, 0);
  ruler.fill(4, 0, 1, 9, 0xFFFFFF);
  ruler.fill(0, 4, 9, 1, 0xFFFFFF);
  ok &= write(data + "/ruler.gsp", GSP_CM_565_ALPHA, {ruler});

  ok &= write(data + "/cursor.gsp", GSP_CM_565_ALPHA,
              {arrow(0xF0F0F0, 0x202020), arrow(0xF0C040, 0x302000), arrow(0xE04040, 0x300000)});
  ok &= write(data + "/dialog-cursor.gsp", GSP_CM_565_ALPHA, {arrow(0xFFFFFF, 0x000000)});

  Picture window(kWinW, kWinH, kWinX, kWinY);
  window.fill(0, 0, kWinW, kWinH, 0x1C2A48, 230);
  window.frame(0, 0, kWinW, kWinH, 0xD8B040, 4);
  window.frame(8, 8, kWinW - 16, kWinH - 16, 0x6A5020, 1);
  text(&window, "ПАУЗА", kWinW / 2, 24, 6, 0xF0E0B0);
  const char* labels[2] = {"ПРОДОЛЖИТЬ", "ВЫХОД"};
  const int choiceW = 136, choiceH = 40, choiceY = 100;
  const int choiceX[2] = {14, kWinW - 14 - choiceW};
  for (int i = 0; i < 2; i++) text(&window, labels[i], choiceX[i] + choiceW / 2, choiceY + 13, 2, 0xC0C8D8);
  ok &= write(data + "/pause-window.gsp", GSP_CM_565_ALPHA, {window});
  // A choice's highlight covers its place in the window; its box is the
  // hot area of the choice.
  const char* names[2] = {"/pause-continue.gsp", "/pause-exit.gsp"};
  for (int i = 0; i < 2; i++) {
    Picture h(choiceW, choiceH, kWinX + choiceX[i], kWinY + choiceY);
    h.fill(0, 0, choiceW, choiceH, 0xD8B040, 255);
    h.frame(0, 0, choiceW, choiceH, 0xFFF0C0, 2);
    text(&h, labels[i], choiceW / 2, 13, 2, 0x1C2A48);
    ok &= write(data + names[i], GSP_CM_565_ALPHA, {h});
  }

  // The load progress bar: 21 frames from empty to full.
  std::vector<Picture> bar;
  for (int f = 0; f <= 20; f++) {
    Picture p(404, 20, 198, 560);
    p.frame(0, 0, 404, 20, 0xC0C0C0, 2);
    p.fill(2, 2, 400, 16, 0x101010, 200);
    p.fill(2, 2, f * 20, 16, 0xD8B040);
    bar.push_back(p);
  }
  ok &= write(data + "/ltime-progress.gsp", GSP_CM_565_ALPHA, bar);

  if (!ok) {
    std::fprintf(stderr, "pbui: can't write the interface sprites into '%s'\n", data.c_str());
    return 1;
  }
  std::printf("pbui: 7 interface sprites written to %s\n", data.c_str());
  return 0;
}
