// pbui: draws the interface sprites of the table session into a game folder:
// the ruler and the three cursors, the pause dialog (window, "continue" and
// "exit" choices, in Russian), the load progress bar, the small digits of the
// score tips and the five mission symbols with their explosions.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
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

// ---- Score tip digits ----
//
// The rising number shown where a subject scored: one sprite per digit, all
// of one size (the game advances by the sprite's width), each frame a step of
// the tip's life: full strength for the first half, then fading out. A faint
// plate behind the glyph keeps it readable over any part of the table.

constexpr int kTipFrames = 8;
constexpr int kDigitW = 8, kDigitH = 11;

constexpr const char* kDigitRows[10][8] = {
    {".111.", "1...1", "1..11", "1.1.1", "11..1", "1...1", "1...1", ".111."},
    {"..1..", ".11..", "1.1..", "..1..", "..1..", "..1..", "..1..", "11111"},
    {".111.", "1...1", "....1", "...1.", "..1..", ".1...", "1....", "11111"},
    {"11111", "...1.", "..1..", "...1.", "....1", "....1", "1...1", ".111."},
    {"...1.", "..11.", ".1.1.", "1..1.", "11111", "...1.", "...1.", "...1."},
    {"11111", "1....", "1111.", "....1", "....1", "....1", "1...1", ".111."},
    {"..11.", ".1...", "1....", "1111.", "1...1", "1...1", "1...1", ".111."},
    {"11111", "....1", "...1.", "...1.", "..1..", "..1..", ".1...", ".1..."},
    {".111.", "1...1", "1...1", ".111.", "1...1", "1...1", "1...1", ".111."},
    {".111.", "1...1", "1...1", "1...1", ".1111", "....1", "...1.", ".11.."},
};

double tipStrength(int frame) {
  const int half = kTipFrames / 2;
  return frame < half ? 1.0 : 1.0 - 0.8 * (frame - half + 1) / half;
}

Picture tipDigit(int digit, int frame) {
  const double s = tipStrength(frame);
  Picture p(kDigitW, kDigitH);
  p.fill(0, 0, kDigitW, kDigitH, 0x100800, static_cast<int>(80 * s));
  // The glyph sits one pixel in from every side; its strokes are doubled
  // to the right so that they read at this size, and ringed in dark brown.
  auto ink = [&](int x, int y) {
    if (x < 0 || y < 0 || y >= 8 || x >= 6) return false;
    const char* row = kDigitRows[digit][y];
    return (x < 5 && row[x] == '1') || (x > 0 && row[x - 1] == '1');
  };
  const int strong = static_cast<int>(std::lround(255 * s));
  for (int y = -1; y <= 8; y++)
    for (int x = -1; x <= 6; x++) {
      if (ink(x, y)) {
        p.put(x + 1, y + 2, y < 4 ? 0xFFF0A0 : 0xFFD040, strong);
      } else {
        bool edge = false;
        for (int dy = -1; dy <= 1; dy++)
          for (int dx = -1; dx <= 1; dx++) edge = edge || ink(x + dx, y + dy);
        if (edge) p.put(x + 1, y + 2, 0x301800, strong);
      }
    }
  return p;
}

// ---- Mission symbols ----
//
// Each of the five missions has a medallion that rises out of the table on
// its mission point and spins there until the ball hits it: a gold disc with
// the mission's emblem, turning about its upright axis (the disc narrows to
// its rim and shows its back). The explosion bursts from the same centre.

constexpr int kSymbolSize = 40;  // canvas; the disc is centred on it
constexpr double kSymbolR = 15;
constexpr int kSpinFrames = 16, kBurstFrames = 10;

// The emblem of mission kind k at (u, v) in [-1, 1] (v down): true where it
// is drawn in the emblem's colour.
bool emblem(int kind, double u, double v) {
  const double au = std::fabs(u);
  switch (kind) {
    case 0:  // the Duma: a portico with four columns under a pediment
      if (v < -0.25 && v > -0.62) return au < 0.66 * (v + 0.62) / 0.37;
      if (v >= -0.25 && v < -0.15 && au < 0.66) return true;
      if (v >= -0.15 && v < 0.45) return std::fmod(au + 0.05, 0.33) < 0.15 && au < 0.56;
      return v >= 0.45 && v < 0.62 && au < 0.7;
    case 1: {  // the zone: a barred window in a wall
      const bool frame = au < 0.6 && std::fabs(v) < 0.6 && (au > 0.48 || std::fabs(v) > 0.48);
      const bool bars = au < 0.48 && std::fabs(v) < 0.48 && std::fmod(u + 0.6, 0.3) < 0.1;
      const bool rail = std::fabs(v) < 0.05 && au < 0.48;
      return frame || bars || rail;
    }
    case 2: {  // the gas company: a flame over a burner
      if (v > 0.45 && v < 0.62 && au < 0.5) return true;
      const double w = v < 0.45 && v > -0.75 ? 0.48 * std::sqrt((v + 0.75) / 1.2) * (1.0 - (v + 0.75) / 2.6) : -1;
      const double inner = v > 0.0 && v < 0.4 ? 0.18 * std::sqrt((v - 0.0) / 0.4) : -1;
      return au < w && !(au < inner);
    }
    case 3:  // the White House: a wide house with a flag on its roof
      if (v > -0.05 && v < 0.55 && au < 0.75) return !(std::fmod(au, 0.3) > 0.12 && std::fabs(v - 0.2) < 0.14);
      if (v > -0.2 && v <= -0.05 && au < 0.45) return true;
      if (u > -0.03 && u < 0.03 && v > -0.75 && v <= -0.2) return true;
      return u >= 0.03 && u < 0.38 && v > -0.75 && v < -0.5;
    default: {  // the question: a question mark
      const double r = std::hypot(u, v + 0.3);
      if (r > 0.24 && r < 0.46 && !(v > -0.3 && u < 0.0)) return true;
      if (au < 0.09 && v > 0.0 && v < 0.32) return true;
      return std::hypot(u, v - 0.52) < 0.11;
    }
  }
}

// The emblem colours of the five missions (the Duma, the zone, the gas
// company, the White House, the question).
constexpr uint32_t kEmblemRgb[5] = {0x8A1010, 0x202830, 0x1050A0, 0xF4F4F0, 0x402080};

Picture spinFrame(int kind, int frame) {
  Picture p(kSymbolSize, kSymbolSize);
  const double c0 = kSymbolSize / 2.0;
  const double turn = std::cos(2 * M_PI * frame / kSpinFrames);
  const double rim = 2.5;  // thickness of the disc's edge, seen when it turns
  for (int y = 0; y < kSymbolSize; y++)
    for (int x = 0; x < kSymbolSize; x++) {
      const double dx = x + 0.5 - c0, dy = y + 0.5 - c0;
      if (std::fabs(dy) >= kSymbolR) continue;
      const double half = std::sqrt(kSymbolR * kSymbolR - dy * dy);  // the disc's half-width at this row
      const double face = half * std::fabs(turn);
      const double span = face + rim * std::sqrt(1 - turn * turn);
      if (std::fabs(dx) > span) continue;
      if (std::fabs(dx) > face) {  // the rim
        p.put(x, y, 0x8A6410);
        continue;
      }
      const double u = dx / (kSymbolR * std::max(std::fabs(turn), 1e-6)), v = dy / kSymbolR;
      // The face: gold shading from the upper left, a bevel ring, the emblem.
      const double r = std::hypot(u, v);
      const double light = std::clamp(0.8 - 0.35 * (u + v) / 1.4 + (turn < 0 ? -0.15 : 0.0), 0.3, 1.0);
      auto shade = [&](uint32_t rgb, double l) {
        const int rr = std::min(255, static_cast<int>(((rgb >> 16) & 255) * l));
        const int gg = std::min(255, static_cast<int>(((rgb >> 8) & 255) * l));
        const int bb = std::min(255, static_cast<int>((rgb & 255) * l));
        return static_cast<uint32_t>(rr << 16 | gg << 8 | bb);
      };
      uint32_t rgb = shade(0xF8D050, light);
      if (r > 0.84) rgb = shade(0xC89A28, light + 0.1);
      // The back of the medallion shows the emblem mirrored and faded.
      const double eu = (turn < 0 ? -u : u) / 0.8, ev = v / 0.8;
      if (r < 0.84 && emblem(kind, eu, ev)) rgb = turn < 0 ? shade(0xC89A28, light) : kEmblemRgb[kind];
      p.put(x, y, rgb);
    }
  return p;
}

// The burst: a flash and twelve sparks flying out, the gold turning red and
// fading; the emblem's colour glows in the middle of the first frames.
Picture burstFrame(int kind, int frame) {
  Picture p(kSymbolSize, kSymbolSize);
  const double c0 = kSymbolSize / 2.0;
  const double t = (frame + 1.0) / kBurstFrames;  // 0..1
  const double flash = kSymbolR * (1.0 - t);
  const int alpha = static_cast<int>(255 * (1.0 - 0.85 * t));
  for (int y = 0; y < kSymbolSize; y++)
    for (int x = 0; x < kSymbolSize; x++) {
      const double r = std::hypot(x + 0.5 - c0, y + 0.5 - c0);
      if (r < flash * 0.5) {
        p.put(x, y, t < 0.3 ? kEmblemRgb[kind] : 0xFFF4C0, alpha);
      } else if (r < flash) {
        p.put(x, y, 0xFFC040, alpha * 3 / 4);
      }
    }
  const double reach = 4 + (c0 - 4) * t;
  const uint32_t spark = t < 0.4 ? 0xFFF0A0 : t < 0.7 ? 0xFFA030 : 0xD03010;
  for (int i = 0; i < 12; i++) {
    const double a = 2 * M_PI * i / 12;
    for (double d = reach * 0.6; d <= reach; d += 0.5) {
      const int x = static_cast<int>(std::floor(c0 + std::cos(a) * d));
      const int y = static_cast<int>(std::floor(c0 + std::sin(a) * d));
      if (x >= 0 && y >= 0 && x < kSymbolSize && y < kSymbolSize) p.put(x, y, spark, alpha);
    }
  }
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
              "Draws the interface sprites (ruler, cursors, pause dialog, load progress bar,\n"
              "score tip digits, mission symbols) into GAMEDIR/data.");
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

  // The score tips' digits: data/tip-digit0.gsp .. tip-digit9.gsp.
  for (int d = 0; d <= 9; d++) {
    std::vector<Picture> frames;
    for (int f = 0; f < kTipFrames; f++) frames.push_back(tipDigit(d, f));
    ok &= write(data + "/tip-digit" + std::to_string(d) + ".gsp", GSP_CM_565_ALPHA, frames);
  }

  // The mission symbols: data/msym%d.gsp spinning, data/msym%d-burst.gsp
  // exploding, for the missions 0..4.
  for (int k = 0; k < 5; k++) {
    std::vector<Picture> spin, burst;
    for (int f = 0; f < kSpinFrames; f++) spin.push_back(spinFrame(k, f));
    for (int f = 0; f < kBurstFrames; f++) burst.push_back(burstFrame(k, f));
    ok &= write(data + "/msym" + std::to_string(k) + ".gsp", GSP_CM_565_ALPHA, spin);
    ok &= write(data + "/msym" + std::to_string(k) + "-burst.gsp", GSP_CM_565_ALPHA, burst);
  }

  if (!ok) {
    std::fprintf(stderr, "pbui: can't write the interface sprites into '%s'\n", data.c_str());
    return 1;
  }
  std::printf("pbui: 27 interface sprites written to %s\n", data.c_str());
  return 0;
}
