// The table's depth maps (layer height maps and the screen depth map), the
// surface heights taken from them and the perspective projection.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

#include "core/bytes.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/mem.h"
#include "core/text.h"
#include "physics/geometry.h"

namespace {

// Byte count of a width x height map of 16-bit cells, or -1 when the size is
// negative or the count would not fit the messages' int.
long long cellBytes(int width, int height) {
  if (width < 0 || height < 0) return -1;
  long long bytes = 2LL * width * height;
  return bytes > INT_MAX ? -1 : bytes;
}

// Decodes little-endian 16-bit cells into a fresh array (at least one
// element, so an empty map is still a valid allocation).
uint16_t* decodeCells(std::span<const uint8_t> bytes) {
  size_t cells = bytes.size() / 2;
  auto* out = static_cast<uint16_t*>(std::malloc((cells ? cells : 1) * sizeof(uint16_t)));
  if (!out) return nullptr;
  if (!cells) out[0] = 0;
  ByteReader r = brOpen(bytes);
  for (size_t i = 0; i < cells; i++) out[i] = brLe<uint16_t>(&r);
  return out;
}

void putCells(std::vector<uint8_t>* out, const uint16_t* cells, long long bytes) {
  for (long long i = 0; i < bytes / 2; i++) bwLe<uint16_t>(out, cells[i]);
}

// Whole file into memory; false when it can't be opened or read.
bool readWhole(const char* path, std::vector<uint8_t>* image, bool* opened) {
  image->clear();
  FILE* f = std::fopen(path, "rb");
  *opened = f != nullptr;
  if (!f) return false;
  uint8_t buf[65536];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) image->insert(image->end(), buf, buf + got);
  bool ok = std::ferror(f) == 0;
  std::fclose(f);
  return ok;
}

int writeWhole(const char* path, const std::vector<uint8_t>& image, const char* fn) {
  FILE* f = std::fopen(path, "wb");
  if (!f) return logError(-1, "%s: can't create file '%s': %s", fn, path, std::strerror(errno));
  bool ok = std::fwrite(image.data(), 1, image.size(), f) == image.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) return logError(-1, "%s: error writing '%s'", fn, path);
  return 0;
}

ZBUF gLayers[TABLE_LAYERS];
PerspState gPersp{};

}  // namespace

// ---- top z-buffers ----

int zbufParse(std::span<const uint8_t> image, const char* name, ZBUF* record) {
  constexpr const char* fn = "ZBUF_READ()";
  *record = ZBUF{};
  ByteReader r = brOpen(image);
  int width = brLe<int32_t>(&r), height = brLe<int32_t>(&r);
  float zmin = brF32le(&r), zmax = brF32le(&r);
  if (!brOk(&r)) return logError(-1, "%s: error reading header from '%s'", fn, name);
  long long want = cellBytes(width, height);
  if (want < 0) return logError(-1, "%s: invalid size %dx%d in '%s'", fn, width, height, name);
  size_t have = brRemaining(&r);
  if (have < static_cast<size_t>(want))
    return logError(-1, "%s: error reading data from '%s' (%d of %d bytes read)", fn, name,
                    static_cast<int>(have), static_cast<int>(want));
  uint16_t* codes = decodeCells(brSpan(&r, static_cast<size_t>(want)));
  if (!codes)
    return logError(-1, "%s: error reading data from '%s' (%d of %d bytes read)", fn, name, 0,
                    static_cast<int>(want));
  *record = ZBUF{codes, zmin, zmax, width, height};
  return 0;
}

int ZBUF_READ(const char* path, ZBUF* record) {
  constexpr const char* fn = "ZBUF_READ()";
  *record = ZBUF{};
  std::vector<uint8_t> image;
  bool opened;
  if (!readWhole(path, &image, &opened)) {
    if (!opened) return logError(-1, "%s: error opening file '%s'", fn, path);
    return logError(-1, "%s: error reading header from '%s'", fn, path);
  }
  return zbufParse(image, path, record);
}

void zbufFree(ZBUF* record) {
  if (!record) return;
  std::free(record->codes);
  *record = ZBUF{};
}

bool zbufBuildImage(const ZBUF* record, std::vector<uint8_t>* image) {
  image->clear();
  long long bytes = cellBytes(record->width, record->height);
  if (bytes < 0 || (bytes > 0 && !record->codes)) {
    logError(0, "%s: invalid map %dx%d", "zbufBuildImage()", record->width, record->height);
    return false;
  }
  bwLe<int32_t>(image, record->width);
  bwLe<int32_t>(image, record->height);
  bwF32le(image, record->zmin);
  bwF32le(image, record->zmax);
  putCells(image, record->codes, bytes);
  return true;
}

int zbufWrite(const char* path, const ZBUF* record) {
  std::vector<uint8_t> image;
  if (!zbufBuildImage(record, &image))
    return logError(-1, "%s: can't build the image of '%s'", "zbufWrite()", path);
  return writeWhole(path, image, "zbufWrite()");
}

// ---- layers and heights ----

int SET_LAYER_HEIGHTS(int layer, ZBUF* record) {
  if (layer < 0 || layer >= TABLE_LAYERS || !record) return 0;
  zbufFree(&gLayers[layer]);
  gLayers[layer] = *record;
  record->codes = nullptr;
  return 1;
}

const ZBUF* LAYER_HEIGHTS(int layer) {
  if (layer < 0 || layer >= TABLE_LAYERS || !gLayers[layer].codes) return nullptr;
  return &gLayers[layer];
}

void CLEAR_LAYER_HEIGHTS() {
  for (ZBUF& z : gLayers) zbufFree(&z);
}

double SURFACE_HEIGHT(int layer, double x, double y) {
  const ZBUF* z = LAYER_HEIGHTS(layer);
  if (!z) return 0.0;
  // Truncation towards zero, as the map is indexed by integer (x, y); the
  // range test first keeps NaN and huge values away from the conversion.
  if (!(x > -1.0 && x < z->width && y > -1.0 && y < z->height)) return 0.0;
  int ix = static_cast<int>(x), iy = static_cast<int>(y);
  uint16_t code = z->codes[static_cast<size_t>(iy) * static_cast<size_t>(z->width) + static_cast<size_t>(ix)];
  // Single precision, like the map's limits: the top code then gives zmax
  // itself even though the factor is a little above 1/65535.
  float h = static_cast<float>(code) * 0.000015259022f * (z->zmax - z->zmin) + z->zmin;
  return h;
}

// ---- screen z-buffer ----

uint16_t* szbufParse(std::span<const uint8_t> image, const char* name, int* width, int* height) {
  constexpr const char* fn = "SZBUF_READ()";
  *width = *height = 0;
  ByteReader r = brOpen(image);
  int w = brLe<int32_t>(&r), h = brLe<int32_t>(&r);
  if (!brOk(&r)) return logError(0, "%s: can't read header from '%s'", fn, name), nullptr;
  long long want = cellBytes(w, h);
  if (want < 0) return logError(0, "%s: invalid size %dx%d in '%s'", fn, w, h, name), nullptr;
  size_t have = brRemaining(&r);
  if (have < static_cast<size_t>(want)) {
    logError(0, "%s: error reading data from '%s' (%d of %d bytes read)", fn, name, static_cast<int>(have),
             static_cast<int>(want));
    return nullptr;
  }
  uint16_t* depth = decodeCells(brSpan(&r, static_cast<size_t>(want)));
  if (!depth) {
    logError(0, "%s: error reading data from '%s' (%d of %d bytes read)", fn, name, 0,
             static_cast<int>(want));
    return nullptr;
  }
  *width = w;
  *height = h;
  return depth;
}

uint16_t* SZBUF_READ(const char* path, int* width, int* height) {
  constexpr const char* fn = "SZBUF_READ()";
  *width = *height = 0;
  std::vector<uint8_t> image;
  bool opened;
  if (!readWhole(path, &image, &opened)) {
    if (!opened) return logError(0, "%s: can't open file '%s'", fn, path), nullptr;
    return logError(0, "%s: can't read header from '%s'", fn, path), nullptr;
  }
  return szbufParse(image, path, width, height);
}

bool szbufBuildImage(const uint16_t* depth, int width, int height, std::vector<uint8_t>* image) {
  image->clear();
  long long bytes = cellBytes(width, height);
  if (bytes < 0 || (bytes > 0 && !depth)) {
    logError(0, "%s: invalid map %dx%d", "szbufBuildImage()", width, height);
    return false;
  }
  bwLe<int32_t>(image, width);
  bwLe<int32_t>(image, height);
  putCells(image, depth, bytes);
  return true;
}

int szbufWrite(const char* path, const uint16_t* depth, int width, int height) {
  std::vector<uint8_t> image;
  if (!szbufBuildImage(depth, width, height, &image))
    return logError(-1, "%s: can't build the image of '%s'", "szbufWrite()", path);
  return writeWhole(path, image, "szbufWrite()");
}

// ---- table load ----

int loadTableMaps(void (*attachDepth)(const uint16_t* depth, int width, int height),
                  int (*checkpoint)(const char* category)) {
  const char* path = "temp/table-z.dat";
  int w, h;
  uint16_t* depth = SZBUF_READ(path, &w, &h);
  logPrint("zbuf_read (%s): zbuf-%p", path, static_cast<void*>(depth));
  if (depth && attachDepth) attachDepth(depth, w, h);
  std::free(depth);
  if (checkpoint) checkpoint("cam_zbuf");

  CLEAR_LAYER_HEIGHTS();
  int stored = 0;
  for (int n = 0; n < TABLE_LAYERS; n++) {
    char top[64], mark[32];
    strFormatN(top, sizeof top, "temp/table-%dtz.dat", n);
    if (!fileExists(top)) break;
    logDebug(2, "at zbuf_read '%s'", top);
    ZBUF z;
    if (ZBUF_READ(top, &z) < 0) continue;
    SET_LAYER_HEIGHTS(n, &z);
    stored++;
    strFormatN(mark, sizeof mark, "top_zbuf%d", n);
    if (checkpoint) checkpoint(mark);
  }
  return stored;
}

// ---- perspective ----

void PERSP_SETUP(int W, int H, double fovx, double fovy, double angle, double dist) {
  PerspState p{};
  double theta = angle * 0.01745329252;
  p.ca = std::cos(theta);
  p.sa = std::sin(theta);
  p.D = dist;
  double hx = fovx * 0.00872664626, hy = fovy * 0.00872664626;
  p.cx = W / 2.0;
  p.cy = H / 2.0;
  // The horizontal focus is taken over 0.375 of the width, not half of it.
  p.fx = 0.375 * W * std::cos(hx) / std::sin(hx);
  p.fy = p.cy * std::cos(hy) / std::sin(hy);
  p.Y0 = H - p.D * std::sin(hy) / std::sin(std::numbers::pi - hy - theta);
  gPersp = p;
}

double PERSP_DEPTH(double y, double z) { return (gPersp.Y0 - y) * gPersp.ca - gPersp.sa * z + gPersp.D; }

double PERSP_X(double x, double y, double z) {
  return gPersp.cx + (x - gPersp.cx) * gPersp.fx / PERSP_DEPTH(y, z);
}

double PERSP_Y(double y, double z) {
  return gPersp.cy - ((gPersp.Y0 - y) * gPersp.sa + gPersp.ca * z) * gPersp.fy / PERSP_DEPTH(y, z);
}

const PerspState* perspState() { return &gPersp; }

void perspReadKeys(ConfSet* global, PerspKeys* k) {
  k->fovx = conf_getdouble(global, "persp.fovx", 60.0);
  k->fovy = conf_getdouble(global, "persp.fovy", 60.0);
  k->angle = conf_getdouble(global, "persp.angle", 60.0);
  k->dist = conf_getdouble(global, "persp.dist", 500.0);
  k->dx = conf_getint(global, "persp.glb_dx", 0);
  k->dy = conf_getint(global, "persp.glb_dy", 0);
  k->dz = conf_getint(global, "persp.glb_dz", 0);
  k->ddepth = conf_getint(global, "persp.glb_ddepth", 0);
  k->ballsize = conf_getint(global, "persp.glb_ballsize", 15);
}

void perspSetupTable(const PerspKeys* k) {
  int W = 800, H = 600;
  for (int n = 0; n < TABLE_LAYERS; n++) {
    if (const ZBUF* z = LAYER_HEIGHTS(n)) {
      W = z->width;
      H = z->height;
      break;
    }
  }
  PERSP_SETUP(W, H, k->fovx, k->fovy, k->angle, k->dist);
}
