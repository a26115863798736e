// pbsg GAMEDIR: draws the sprites of the subgame screen into GAMEDIR/data/
// with cairo:
//   sg-elements.gsp  the four parts of the metal frame that opens over the
//                    table: 0 the left pillar, 1 the right pillar, 2 the top
//                    beam, 3 the bottom beam. Riveted steel with a red
//                    enamel channel and gold trim.
//   sg-rota.gsp      the lock between the pillars: a steel gear around a
//                    gold star, turning a quarter turn over its 16 frames
//                    while the pillars part.
// The sizes fit the screen's keys in conf/sg.conf: pillars 60 x 480, beams
// 740 x 50, the gear 190 across. Every frame's top-left pixel is its origin.
#include <cairo.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cairo_canvas.h"
#include "cairo_paths.h"
#include "core/log.h"
#include "gfx/gspwrite.h"
#include "gfx/sprite.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kPillarW = 60, kPillarH = 480;
constexpr int kBeamW = 740, kBeamH = 50;
constexpr int kRotaSide = 190, kRotaFrames = 16;

using cairo_canvas::Canvas;
using cairo_paths::gearPath;
using cairo_paths::starPath;

void rgb(cairo_t* cr, uint32_t c, double a = 1) {
  cairo_set_source_rgba(cr, ((c >> 16) & 255) / 255.0, ((c >> 8) & 255) / 255.0, (c & 255) / 255.0, a);
}

void stop(cairo_pattern_t* p, double at, uint32_t c) {
  cairo_pattern_add_color_stop_rgb(p, at, ((c >> 16) & 255) / 255.0, ((c >> 8) & 255) / 255.0, (c & 255) / 255.0);
}

void rivet(cairo_t* cr, double x, double y, double r) {
  cairo_arc(cr, x + 0.8, y + 1.2, r, 0, 2 * kPi);
  rgb(cr, 0x000000, 0.5);
  cairo_fill(cr);
  cairo_pattern_t* g = cairo_pattern_create_radial(x - r * 0.4, y - r * 0.4, r * 0.1, x, y, r);
  stop(g, 0, 0xF4F6F8);
  stop(g, 0.6, 0x9098A0);
  stop(g, 1, 0x40464C);
  cairo_arc(cr, x, y, r, 0, 2 * kPi);
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
}

// Brushed steel across the long side: faint streaks along it.
void brushed(cairo_t* cr, int w, int h, bool vertical) {
  const int across = vertical ? w : h, along = vertical ? h : w;
  for (int i = 0; i < across; i++) {
    // A fixed pseudo-random streak brightness per line.
    const int n = (i * 7919 + 13) % 23;
    if (vertical)
      cairo_rectangle(cr, i, 0, 1, along);
    else
      cairo_rectangle(cr, 0, i, along, 1);
    rgb(cr, n < 11 ? 0xFFFFFF : 0x000000, 0.02 + 0.004 * (n % 11));
    cairo_fill(cr);
  }
}

// A pillar; the right one is the left one mirrored, so the enamel channel
// and the shadowed edge face the surface on both sides.
std::vector<uint8_t> pillar(bool right) {
  Canvas c(kPillarW, kPillarH);
  cairo_t* cr = c.cr;
  if (right) {
    cairo_translate(cr, kPillarW, 0);
    cairo_scale(cr, -1, 1);
  }
  cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, kPillarW, 0);
  stop(g, 0, 0x3C4248);
  stop(g, 0.15, 0xB8C0C8);
  stop(g, 0.4, 0xE4E8EC);
  stop(g, 0.75, 0x8A929A);
  stop(g, 1, 0x30363C);
  cairo_rectangle(cr, 0, 0, kPillarW, kPillarH);
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
  brushed(cr, kPillarW, kPillarH, true);
  // The enamel channel with gold edges.
  const double cx = kPillarW * 0.5, cw = 16;
  cairo_rectangle(cr, cx - cw / 2 - 2, 26, cw + 4, kPillarH - 52);
  rgb(cr, 0xD8A840);
  cairo_fill(cr);
  cairo_pattern_t* e = cairo_pattern_create_linear(cx - cw / 2, 0, cx + cw / 2, 0);
  stop(e, 0, 0x5A0808);
  stop(e, 0.4, 0xC01C18);
  stop(e, 1, 0x4A0606);
  cairo_rectangle(cr, cx - cw / 2, 28, cw, kPillarH - 56);
  cairo_set_source(cr, e);
  cairo_fill(cr);
  cairo_pattern_destroy(e);
  for (double y = 60; y < kPillarH - 40; y += 60) {  // stars along the channel
    starPath(cr, cx, y, 6, 0);
    rgb(cr, 0xF0C850);
    cairo_fill(cr);
  }
  for (double y = 14; y < kPillarH; y += 38) {  // rivets in two columns
    rivet(cr, 9, y, 3);
    rivet(cr, kPillarW - 9, y, 3);
  }
  // Bevelled ends and the dark inner edge.
  for (double y : {0.0, kPillarH - 6.0}) {
    cairo_rectangle(cr, 0, y, kPillarW, 6);
    rgb(cr, y == 0 ? 0xFFFFFF : 0x000000, 0.35);
    cairo_fill(cr);
  }
  cairo_rectangle(cr, kPillarW - 3, 0, 3, kPillarH);
  rgb(cr, 0x101418);
  cairo_fill(cr);
  cairo_rectangle(cr, 0, 0, 1.5, kPillarH);
  rgb(cr, 0xFFFFFF, 0.5);
  cairo_fill(cr);
  return c.rgba();
}

// A beam; the top one carries a star in a medallion, the bottom one the
// three regimes' lamps.
std::vector<uint8_t> beam(bool top) {
  Canvas c(kBeamW, kBeamH);
  cairo_t* cr = c.cr;
  cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, kBeamH);
  stop(g, 0, top ? 0xE8ECF0 : 0x9098A0);
  stop(g, 0.35, 0xC4CCD4);
  stop(g, 0.7, 0x7A828A);
  stop(g, 1, 0x2C3238);
  cairo_rectangle(cr, 0, 0, kBeamW, kBeamH);
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
  brushed(cr, kBeamW, kBeamH, false);
  const double cy = kBeamH / 2.0;
  cairo_rectangle(cr, 20, cy - 8, kBeamW - 40, 16);
  rgb(cr, 0xD8A840);
  cairo_fill(cr);
  cairo_pattern_t* e = cairo_pattern_create_linear(0, cy - 6, 0, cy + 6);
  stop(e, 0, 0xC42018);
  stop(e, 1, 0x4A0606);
  cairo_rectangle(cr, 22, cy - 6, kBeamW - 44, 12);
  cairo_set_source(cr, e);
  cairo_fill(cr);
  cairo_pattern_destroy(e);
  for (double x = 12; x < kBeamW; x += 36) {
    rivet(cr, x, 6, 2.6);
    rivet(cr, x, kBeamH - 6, 2.6);
  }
  // The middle plate.
  const double mx = kBeamW / 2.0;
  cairo_rectangle(cr, mx - 70, 3, 140, kBeamH - 6);
  cairo_pattern_t* p = cairo_pattern_create_linear(0, 3, 0, kBeamH - 3);
  stop(p, 0, 0xF6E3A0);
  stop(p, 0.5, 0xB08830);
  stop(p, 1, 0x6A4A14);
  cairo_set_source(cr, p);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
  cairo_rectangle(cr, mx - 66.5, 6.5, 133, kBeamH - 13);
  rgb(cr, 0x3A2808);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  if (top) {
    cairo_arc(cr, mx, cy, 17, 0, 2 * kPi);
    rgb(cr, 0x8A1010);
    cairo_fill_preserve(cr);
    rgb(cr, 0x3A2808);
    cairo_stroke(cr);
    starPath(cr, mx, cy + 1, 13, 0);
    rgb(cr, 0xFFD860);
    cairo_fill(cr);
  } else {
    const uint32_t lamps[3] = {0xE02818, 0x3060E0, 0x202020};
    for (int i = 0; i < 3; i++) {
      const double lx = mx - 40 + 40 * i;
      cairo_arc(cr, lx, cy, 10, 0, 2 * kPi);
      rgb(cr, 0x2A1C06);
      cairo_fill(cr);
      cairo_pattern_t* l = cairo_pattern_create_radial(lx - 3, cy - 3, 1, lx, cy, 8);
      stop(l, 0, 0xFFFFFF);
      stop(l, 0.3, lamps[i] | 0x404040);
      stop(l, 1, lamps[i]);
      cairo_arc(cr, lx, cy, 8, 0, 2 * kPi);
      cairo_set_source(cr, l);
      cairo_fill(cr);
      cairo_pattern_destroy(l);
    }
  }
  cairo_rectangle(cr, 0, top ? kBeamH - 3 : 0, kBeamW, 3);  // the edge over the surface
  rgb(cr, 0x101418);
  cairo_fill(cr);
  return c.rgba();
}

// The gear at turn t (0..1 of a quarter turn). The light comes from the
// upper left whatever the turn, so the shading is drawn unrotated.
std::vector<uint8_t> rota(double t) {
  Canvas c(kRotaSide, kRotaSide);
  cairo_t* cr = c.cr;
  const double m = kRotaSide / 2.0, r = kRotaSide / 2.0 - 2;
  const double turn = t * kPi / 2;
  const int teeth = 12;
  auto gear = [&](double dx, double dy) { gearPath(cr, m + dx, m + dy, r, teeth, 0.84, turn); };
  gear(2, 3);
  rgb(cr, 0x000000, 0.45);
  cairo_fill(cr);
  gear(0, 0);
  cairo_pattern_t* steel = cairo_pattern_create_linear(m - r, m - r, m + r, m + r);
  stop(steel, 0, 0xF0F2F4);
  stop(steel, 0.45, 0xA0A8B0);
  stop(steel, 1, 0x3A4046);
  cairo_set_source(cr, steel);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(steel);
  rgb(cr, 0x202428);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  // Bolt holes turning with the gear.
  for (int i = 0; i < 6; i++) {
    const double a = turn + i * kPi / 3;
    cairo_arc(cr, m + r * 0.62 * std::cos(a), m + r * 0.62 * std::sin(a), 7, 0, 2 * kPi);
    rgb(cr, 0x1A1E22);
    cairo_fill(cr);
    rivet(cr, m + r * 0.62 * std::cos(a), m + r * 0.62 * std::sin(a), 4.5);
  }
  // Red enamel ring and the gold star at the hub, turning too.
  cairo_arc(cr, m, m, r * 0.45, 0, 2 * kPi);
  rgb(cr, 0xD8A840);
  cairo_fill(cr);
  cairo_arc(cr, m, m, r * 0.41, 0, 2 * kPi);
  cairo_pattern_t* red = cairo_pattern_create_radial(m - 10, m - 10, 2, m, m, r * 0.41);
  stop(red, 0, 0xE83828);
  stop(red, 1, 0x6A0808);
  cairo_set_source(cr, red);
  cairo_fill(cr);
  cairo_pattern_destroy(red);
  starPath(cr, m, m, r * 0.33, turn);
  cairo_pattern_t* gold = cairo_pattern_create_linear(m - 20, m - 20, m + 20, m + 20);
  stop(gold, 0, 0xFFF2B0);
  stop(gold, 1, 0xC08820);
  cairo_set_source(cr, gold);
  cairo_fill(cr);
  cairo_pattern_destroy(gold);
  return c.rgba();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::puts("Usage: pbsg GAMEDIR\n"
              "Draws the subgame screen's frame elements and its turning lock\n"
              "(data/sg-elements.gsp, data/sg-rota.gsp) into GAMEDIR.");
    return 0;
  }
  if (argc != 2) {
    std::fputs("usage: pbsg GAMEDIR (see --help)\n", stderr);
    return 1;
  }
  const std::string data = std::string(argv[1]) + "/data";
  mkdir(argv[1], 0777);
  mkdir(data.c_str(), 0777);
  const std::vector<uint8_t> parts[4] = {pillar(false), pillar(true), beam(true), beam(false)};
  const GspFrameImage elements[4] = {{kPillarW, kPillarH, parts[0].data(), 0, 0},
                                     {kPillarW, kPillarH, parts[1].data(), 0, 0},
                                     {kBeamW, kBeamH, parts[2].data(), 0, 0},
                                     {kBeamW, kBeamH, parts[3].data(), 0, 0}};
  std::vector<std::vector<uint8_t>> gears;
  for (int i = 0; i < kRotaFrames; i++) gears.push_back(rota(static_cast<double>(i) / (kRotaFrames - 1)));
  std::vector<GspFrameImage> turning;
  for (const auto& g : gears) turning.push_back({kRotaSide, kRotaSide, g.data(), 0, 0});
  if (gspWrite((data + "/sg-elements.gsp").c_str(), GSP_CM_565_ALPHA, elements) < 0 ||
      gspWrite((data + "/sg-rota.gsp").c_str(), GSP_CM_565_ALPHA, turning) < 0) {
    std::fprintf(stderr, "pbsg: can't write the subgame screen's sprites into '%s'\n", data.c_str());
    return 1;
  }
  std::printf("pbsg: the frame elements and the lock written to %s\n", data.c_str());
  return 0;
}
