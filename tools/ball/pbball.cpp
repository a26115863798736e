// pbball GAMEDIR: draws the ball sprite "data/ball.gsp" (a shaded, shiny
// steel ball with a soft, partly transparent edge) and its shadow
// "data/ballshadow.gsp".
//
// Frame layout, as the ball's drawing code picks a frame: with the projected
// ball size w (the screen width of a segment of "persp.glb_ballsize" table
// units under the ball) and the subpixel steps a, b (0..s-1, s =
// "ball.subpixel") of the fractional screen position in x and y, the frame is
//   trunc(w) + (numfrms / s^2) * (s * b + a) - "ball.dframe".
// So the sprite holds s^2 groups of kSizes frames each; frame i of group
// (s * b + a) shows a ball of diameter kMinSize + i (+ half a pixel, the
// middle of the sizes that truncate to it) whose centre sits a/s and b/s of
// a pixel right of and below the middle of the frame. kMinSize is the
// "ball.dframe" key of conf/global.conf and kSubpixel its "ball.subpixel".
//
// Every frame, of the ball and of the shadow, has the same kCanvas x kCanvas
// size, so half the sprite width is the same whichever frame the drawing
// code looks at. The shadow sprite has the same frames in the same order (the
// drawing code gives it the ball's frame number): a soft dark disc offset
// down and right, as cast by a light above the top left of the table.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/gspwrite.h"
#include "gfx/sprite.h"

namespace {

// With the default view (fov 60 x 60, angle 60, distance 500) and
// "persp.glb_ballsize" 15, the table's rows 0..600 project the ball to 11.5
// .. 20.8 pixels. Sizes 10..24 leave a margin on both sides: a ball a little
// above the table's top edge or below its bottom (a drained ball is drawn
// once more before it is removed) still finds its frame.
constexpr int kMinSize = 10;  // "ball.dframe"
constexpr int kSizes = 15;    // diameters kMinSize .. kMinSize + kSizes - 1
constexpr int kSubpixel = 4;  // "ball.subpixel"
constexpr int kCanvas = 40;   // room for the largest ball and its shadow offset
constexpr int kSuper = 8;     // samples per pixel side for coverage and shading

struct Rgb {
  double r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// What a mirror ball reflects in direction (x, y, z) (screen axes, z toward
// the viewer): a bright sky above the horizon, the darker table below it, and
// a quick but soft fall from one to the other, which is what makes polished
// steel read as such.
Rgb environment(double x, double y, double z) {
  (void)x;
  (void)z;
  const Rgb zenith{0.93, 0.95, 1.00}, skyLow{0.62, 0.66, 0.74};
  const Rgb horizon{0.30, 0.29, 0.30}, floor{0.15, 0.13, 0.12};
  if (y < -0.05) return mix(skyLow, zenith, std::sqrt(std::min(1.0, (-y - 0.05) * 1.6)));
  if (y < 0.25) {
    const double t = (y + 0.05) / 0.30;
    return mix(skyLow, horizon, t * t * (3 - 2 * t));
  }
  return mix(horizon, floor, std::sqrt(std::min(1.0, (y - 0.25) * 2.0)));
}

// Colour of the ball's surface at the unit normal (nx, ny, nz).
Rgb steel(double nx, double ny, double nz) {
  // Reflection of the view ray (0, 0, -1) about the normal.
  const double rx = 2 * nz * nx, ry = 2 * nz * ny, rz = 2 * nz * nz - 1;
  Rgb c = environment(rx, ry, rz);
  const Rgb tint{0.80, 0.83, 0.88};
  c = {c.r * tint.r, c.g * tint.g, c.b * tint.b};
  // Key light above the top left, and its highlight.
  const double lx = -0.48, ly = -0.58, lz = 0.66;
  const double diffuse = std::max(0.0, nx * lx + ny * ly + nz * lz);
  const double highlight = std::pow(std::max(0.0, rx * lx + ry * ly + rz * lz), 48.0);
  // A faint bounce light from the table on the lower right rim.
  const double rim = std::pow(std::max(0.0, nx * 0.5 + ny * 0.6), 3.0) * (1 - nz);
  const double add = 0.12 * diffuse + 1.1 * highlight;
  return {c.r + add + 0.10 * rim, c.g + add + 0.08 * rim, c.b + add + 0.05 * rim};
}

uint8_t channel(double v) {
  const double c = std::min(1.0, std::max(0.0, v));
  return static_cast<uint8_t>(std::lround(c * 255.0));
}

struct Picture {
  std::vector<uint8_t> rgba = std::vector<uint8_t>(static_cast<size_t>(kCanvas) * kCanvas * 4, 0);
  GspFrameImage image() const { return {kCanvas, kCanvas, rgba.data(), 0, 0}; }
};

// The ball of diameter d centred at (cx, cy) in canvas pixels (pixel (i, j)
// covers [i, i + 1) x [j, j + 1)).
Picture drawBall(double d, double cx, double cy) {
  Picture p;
  const double r = d / 2;
  for (int j = 0; j < kCanvas; j++) {
    for (int i = 0; i < kCanvas; i++) {
      int inside = 0;
      Rgb sum{0, 0, 0};
      for (int sj = 0; sj < kSuper; sj++) {
        for (int si = 0; si < kSuper; si++) {
          const double x = (i + (si + 0.5) / kSuper - cx) / r;
          const double y = (j + (sj + 0.5) / kSuper - cy) / r;
          const double q = x * x + y * y;
          if (q >= 1) continue;
          const Rgb c = steel(x, y, std::sqrt(1 - q));
          sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
          inside++;
        }
      }
      if (inside == 0) continue;
      const int alpha = inside * 255 / (kSuper * kSuper);
      if (alpha < 8) continue;  // a speck of coverage only adds runs
      uint8_t* px = &p.rgba[(static_cast<size_t>(j) * kCanvas + i) * 4];
      px[0] = channel(sum.r / inside);
      px[1] = channel(sum.g / inside);
      px[2] = channel(sum.b / inside);
      px[3] = static_cast<uint8_t>(alpha);
    }
  }
  return p;
}

// The shadow of a ball of diameter d centred at (cx, cy): a dark ellipse a
// little wider than the ball, fading out towards its rim.
Picture drawShadow(double d, double cx, double cy) {
  Picture p;
  const double sx = cx + 0.14 * d, sy = cy + 0.20 * d;
  const double rx = 0.58 * d, ry = 0.52 * d;
  for (int j = 0; j < kCanvas; j++) {
    for (int i = 0; i < kCanvas; i++) {
      double density = 0;
      for (int sj = 0; sj < kSuper; sj++) {
        for (int si = 0; si < kSuper; si++) {
          const double x = (i + (si + 0.5) / kSuper - sx) / rx;
          const double y = (j + (sj + 0.5) / kSuper - sy) / ry;
          const double q = x * x + y * y;
          if (q < 1) density += std::pow(1 - q, 1.5);
        }
      }
      const int alpha = static_cast<int>(std::lround(150.0 * density / (kSuper * kSuper)));
      if (alpha < 8) continue;
      uint8_t* px = &p.rgba[(static_cast<size_t>(j) * kCanvas + i) * 4];
      px[0] = 8;
      px[1] = 6;
      px[2] = 4;
      px[3] = static_cast<uint8_t>(alpha);
    }
  }
  return p;
}

bool write(const std::string& path, const std::vector<Picture>& pictures) {
  std::vector<GspFrameImage> images;
  for (const Picture& p : pictures) images.push_back(p.image());
  return gspWrite(path.c_str(), GSP_CM_888_ALPHA, images) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf("usage: pbball GAMEDIR\n"
                "Draws the ball and its shadow (%d sizes from %d pixels, %d x %d subpixel\n"
                "positions) into GAMEDIR/data/ball.gsp and GAMEDIR/data/ballshadow.gsp.\n",
                kSizes, kMinSize, kSubpixel, kSubpixel);
    return 0;
  }
  if (argc != 2 || argv[1][0] == '\0' || argv[1][0] == '-') {
    std::fputs("usage: pbball GAMEDIR (see --help)\n", stderr);
    return 1;
  }
  const std::string data = std::string(argv[1]) + "/data";
  mkdir(argv[1], 0777);
  mkdir(data.c_str(), 0777);

  std::vector<Picture> balls, shadows;
  for (int b = 0; b < kSubpixel; b++) {
    for (int a = 0; a < kSubpixel; a++) {
      const double cx = kCanvas / 2 + (a + 0.5) / kSubpixel;
      const double cy = kCanvas / 2 + (b + 0.5) / kSubpixel;
      for (int i = 0; i < kSizes; i++) {
        const double d = kMinSize + i + 0.5;
        balls.push_back(drawBall(d, cx, cy));
        shadows.push_back(drawShadow(d, cx, cy));
      }
    }
  }
  if (!write(data + "/ball.gsp", balls) || !write(data + "/ballshadow.gsp", shadows)) {
    std::fprintf(stderr, "pbball: can't write the ball sprites into '%s'\n", data.c_str());
    return 1;
  }
  std::printf("pbball: ball and shadow, %d frames each, written to %s\n", static_cast<int>(balls.size()),
              data.c_str());
  return 0;
}
