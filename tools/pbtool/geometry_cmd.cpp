// pbtool shapes / persp: the outlines of a shape file, and where the
// perspective projection puts a table point on the screen.
#include <climits>
#include <cstdio>
#include <vector>

#include "core/log.h"
#include "core/text.h"
#include "physics/geometry.h"

// One line per shape record: index, the three code bytes, x, y, z, n, xmin,
// xmax, ymin, ymax; then one "v" line per vertex with its x, y and z.
int cmdShapesDump(char** a) {
  constexpr const char* fn = "pbtool shapes dump";
  std::vector<uint8_t> image;
  if (shReadFileImage(a[0], fn, &image) < 0) return 1;
  std::vector<uint32_t> offsets;
  if (shReadIndex(image, a[0], &offsets) < 0) return logError(1, "%s: can't read '%s'", fn, a[0]);
  for (size_t j = 0; j < offsets.size(); j++) {
    Outline o;
    if (shParseRecord(&o, image, offsets[j]) < 0)
      return logError(1, "%s: error reading shape %d of '%s'", fn, static_cast<int>(j), a[0]);
    std::printf("%d\t%d\t%d\t%d\t%.17g\t%.17g\t%.17g\t%d\t%.17g\t%.17g\t%.17g\t%.17g\n", static_cast<int>(j),
                o.code[0], o.code[1], o.code[2], o.pos.x, o.pos.y, o.pos.z, o.n, o.xmin, o.xmax, o.ymin,
                o.ymax);
    for (int i = 0; i < o.n; i++)
      std::printf("v\t%.17g\t%.17g\t%.17g\n", o.vertices[i].x, o.vertices[i].y, o.vertices[i].z);
    shFree(&o);
  }
  return 0;
}

// persp W H FOVX FOVY ANGLE DIST X Y Z -> screen x, screen y, depth.
int cmdPersp(char** a) {
  constexpr const char* fn = "pbtool persp";
  int size[2];
  for (int i = 0; i < 2; i++) {
    const long* v = strToLong(a[i]);
    if (!v || *v < INT_MIN || *v > INT_MAX) return logError(1, "%s: invalid integer '%s'", fn, a[i]);
    size[i] = static_cast<int>(*v);
  }
  double d[7];
  for (int i = 0; i < 7; i++) {
    const double* v = strToDouble(a[2 + i]);
    if (!v) return logError(1, "%s: invalid number '%s'", fn, a[2 + i]);
    d[i] = *v;
  }
  PERSP_SETUP(size[0], size[1], d[0], d[1], d[2], d[3]);
  std::printf("%.17g\t%.17g\t%.17g\n", PERSP_X(d[4], d[5], d[6]), PERSP_Y(d[5], d[6]),
              PERSP_DEPTH(d[5], d[6]));
  return 0;
}
