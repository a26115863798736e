#include "anim/tv.h"

#include <algorithm>
#include <vector>

#include "anim/title.h"
#include "core/conf.h"
#include "core/log.h"
#include "gfx/screen.h"
#include "gfx/vboard.h"
#include "platform/gdev.h"

namespace {

// The frame around the glass: a light bevel line, then a dark bezel.
constexpr int kBevel[3] = {120, 120, 128};
constexpr int kBezel[3] = {24, 24, 28};

TvGeometry gGeometry{};
VBOARD* gBoard = nullptr;  // the board the panel was set up on
VBOBJ* gObject = nullptr;
bool gPending = false;   // the background holds a new panel the screen lacks
bool gInvalid = false;   // the background lost the panel
long gDraws = 0;

void fillRect(GdevDC* dc, int x, int y, int w, int h, const int rgb[3]) {
  const uint32_t pixel = gdevPackRGB(&dc->format, rgb[0], rgb[1], rgb[2]);
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = std::min(x + w, dc->width), y1 = std::min(y + h, dc->height);
  for (int py = y0; py < y1; py++)
    for (int px = x0; px < x1; px++) gdevWritePixel(dc, px, py, pixel);
}

// The whole area the panel takes on the screen, frame included.
void frameRect(int* x, int* y, int* w, int* h) {
  *x = gGeometry.x - TV_FRAME;
  *y = gGeometry.y - TV_FRAME;
  *w = gGeometry.width + 2 * TV_FRAME;
  *h = gGeometry.height + 2 * TV_FRAME;
}

void drawFrame(GdevDC* dc) {
  int x, y, w, h;
  frameRect(&x, &y, &w, &h);
  fillRect(dc, x, y, w, h, kBevel);
  fillRect(dc, x + 1, y + 1, w - 2, h - 2, kBezel);
}

void drawPanel(GdevDC* dc) {
  const int shown = titleShown();
  gscr* surface = shown >= 0 ? titleSurface(shown) : nullptr;
  if (surface && surface->dc) {
    tvRender(surface->dc, dc, gGeometry.x, gGeometry.y, gGeometry.width, gGeometry.height, gGeometry.grid);
  } else {
    constexpr int kDark[3] = {0, 0, 0};
    fillRect(dc, gGeometry.x, gGeometry.y, gGeometry.width, gGeometry.height, kDark);
  }
  gDraws++;
}

// The panel's board object: in the frame the panel changed it copies the
// panel from the background to the screen; otherwise it covers nothing, so
// the board neither restores nor presents anything for it.
void panelObject(VBOBJ* o) {
  o->left = o->top = 0;
  o->right = o->bottom = -1;
  if (!gPending || !gBoard || !gsCurrent || !gsCurrent->dc) return;
  gPending = false;
  int x, y, w, h;
  frameRect(&x, &y, &w, &h);
  gdevBitBlt(gsCurrent->dc, x, y, gBoard->background, x, y, w, h);
  o->left = x;
  o->top = y;
  o->right = x + w - 1;
  o->bottom = y + h - 1;
}

}  // namespace

void tvReadGeometry(ConfSet* global, TvGeometry* out) {
  TvGeometry g{};
  g.x = conf_getint(global, "tv.x", 0);
  g.y = conf_getint(global, "tv.y", 0);
  g.width = std::max(1, static_cast<int>(conf_getint(global, "tv.width", 10)));
  g.height = std::max(1, static_cast<int>(conf_getint(global, "tv.height", 100)));
  g.titleWidth = std::max(1, static_cast<int>(conf_getint(global, "title.width", 100)));
  g.titleHeight = std::max(1, static_cast<int>(conf_getint(global, "title.height", 100)));
  g.grid = conf_getint(global, "title.grid", -1);
  *out = g;
}

void tvRender(const GdevDC* src, GdevDC* dst, int x, int y, int width, int height, int grid) {
  if (!src || !dst || width <= 0 || height <= 0) return;
  const long long sw = src->width, sh = src->height;
  // Source columns of every panel column: [x0, x1), at least one.
  std::vector<int> cols(static_cast<size_t>(width) + 1);
  for (int i = 0; i <= width; i++) cols[static_cast<size_t>(i)] = static_cast<int>(i * sw / width);
  for (int py = 0; py < height; py++) {
    const int ty = y + py;
    if (ty < 0 || ty >= dst->height) continue;
    const int sy0 = static_cast<int>(py * sh / height);
    const int sy1 = std::max(sy0 + 1, static_cast<int>((py + 1) * sh / height));
    for (int px = 0; px < width; px++) {
      const int tx = x + px;
      if (tx < 0 || tx >= dst->width) continue;
      const int sx0 = cols[static_cast<size_t>(px)];
      const int sx1 = std::max(sx0 + 1, cols[static_cast<size_t>(px) + 1]);
      int sum[3] = {0, 0, 0}, n = 0;
      for (int sy = sy0; sy < sy1; sy++)
        for (int sx = sx0; sx < sx1; sx++) {
          int r, g, b;
          gdevUnpackRGB(&src->format, gdevReadPixel(src, sx, sy), &r, &g, &b);
          sum[0] += r, sum[1] += g, sum[2] += b;
          n++;
        }
      int rgb[3] = {sum[0] / n, sum[1] / n, sum[2] / n};
      if (grid >= 2 && (px % grid == grid - 1 || py % grid == grid - 1))
        for (int& c : rgb) c /= 2;
      gdevWritePixel(dst, tx, ty, gdevPackRGB(&dst->format, rgb[0], rgb[1], rgb[2]));
    }
  }
}

int tvSetup(const TvGeometry* geometry) {
  const char* fn = "tvSetup()";
  tvFree();
  if (!geometry) return logError(0, "%s: no geometry, SE", fn);
  if (!vbCurrent || !vbCurrent->background) return logError(0, "%s: no current VBOARD", fn);
  gGeometry = *geometry;
  gBoard = vbCurrent;
  gDraws = 0;
  drawFrame(gBoard->background);
  drawPanel(gBoard->background);
  gObject = vbAddObject(nullptr, 0, gGeometry.x, gGeometry.y);
  if (!gObject) {
    gBoard = nullptr;
    return logError(0, "%s: no room for the title display on the VBOARD", fn);
  }
  gObject->custom = panelObject;
  gObject->left = gObject->top = gObject->prevLeft = gObject->prevTop = 0;
  gObject->right = gObject->bottom = gObject->prevRight = gObject->prevBottom = -1;
  vbSetLayer(gObject, 0);
  gPending = true;
  gInvalid = false;
  return 1;
}

int tvFrame(double dt) {
  const int changed = titleFrame(dt);
  if (!gBoard || !gBoard->background || (!changed && !gInvalid)) return 0;
  if (gInvalid) drawFrame(gBoard->background);
  drawPanel(gBoard->background);
  gInvalid = false;
  gPending = true;
  return 1;
}

void tvDrawInto(GdevDC* dc) {
  if (!dc || !gBoard) return;
  drawFrame(dc);
  drawPanel(dc);
}

void tvInvalidate() { gInvalid = true; }

void tvFree() {
  if (gObject && gBoard && vbCurrent == gBoard) vbDelObject(gObject);
  gObject = nullptr;
  gBoard = nullptr;
  gPending = gInvalid = false;
}

const TvGeometry* tvGeometry() { return &gGeometry; }
long tvDrawCount() { return gDraws; }
