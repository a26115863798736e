// The game window: video modes, the window with its renderer and streaming
// texture, display pages and the present step, and the mouse cursor.
#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <vector>

#include "platform/gdev_internal.h"
#include "platform/gdev_texel.h"

// Surfaces hold little-endian pixels and the texel converters read them
// byte by byte; the texture's 32-bit texels are native-endian values.
static_assert(std::endian::native == std::endian::little, "texel formats are named for little-endian");

struct GdevWindow {
  gdev::Screen screen;
  GdevDC* ownDisplay;
  GdevDC* ownBack;
  int windowedW, windowedH;  // the window's size before it went full screen
};

namespace {

// Full-screen modes ("DDRAW") have a two-page display that the engine draws
// through a back buffer of its own; windowed modes ("FDIB") come with a back
// buffer the layer copies from.
constexpr GdevMode kModes[] = {
    {0, 640, 480, 15, 2, "SDL-DDRAW", 0, 0},  {1, 640, 480, 16, 2, "SDL-DDRAW", 0, 0},
    {2, 640, 480, 24, 2, "SDL-DDRAW", 0, 0},  {3, 800, 600, 15, 2, "SDL-DDRAW", 0, 0},
    {4, 800, 600, 16, 2, "SDL-DDRAW", 0, 0},  {5, 800, 600, 24, 2, "SDL-DDRAW", 0, 0},
    {6, 1024, 768, 15, 2, "SDL-DDRAW", 0, 0}, {7, 1024, 768, 16, 2, "SDL-DDRAW", 0, 0},
    {8, 1024, 768, 24, 2, "SDL-DDRAW", 0, 0}, {9, 640, 480, 15, 1, "SDL-FDIB", 0, 0},
    {10, 640, 480, 16, 1, "SDL-FDIB", 0, 0},  {11, 640, 480, 24, 1, "SDL-FDIB", 0, 0},
    {12, 800, 600, 15, 1, "SDL-FDIB", 0, 0},  {13, 800, 600, 16, 1, "SDL-FDIB", 0, 0},
    {14, 800, 600, 24, 1, "SDL-FDIB", 0, 0},  {15, 1024, 768, 15, 1, "SDL-FDIB", 0, 0},
    {16, 1024, 768, 16, 1, "SDL-FDIB", 0, 0}, {17, 1024, 768, 24, 1, "SDL-FDIB", 0, 0},
};

GdevDevice* gDevice;

// The 32-bit texture formats the converters write, with their texel order.
struct TextureKind {
  uint32_t format;
  int order;
};
constexpr TextureKind kTextureKinds[] = {
    {SDL_PIXELFORMAT_ARGB8888, gdev::TEXEL_XRGB},
    {SDL_PIXELFORMAT_RGB888, gdev::TEXEL_XRGB},
    {SDL_PIXELFORMAT_ABGR8888, gdev::TEXEL_XBGR},
    {SDL_PIXELFORMAT_BGR888, gdev::TEXEL_XBGR},
};

const TextureKind* textureKindOf(uint32_t format) {
  for (const TextureKind& kind : kTextureKinds) {
    if (kind.format == format) return &kind;
  }
  return nullptr;
}

// The texture format that costs the renderer least: the window's own format
// when the renderer takes it (a software renderer then copies rows as they
// are), else the first of ours in the renderer's list, else ARGB8888, which
// every renderer accepts.
TextureKind chooseTextureKind(SDL_Renderer* renderer, SDL_Window* window) {
  SDL_RendererInfo info{};
  bool haveInfo = SDL_GetRendererInfo(renderer, &info) == 0;
  auto takes = [&](uint32_t format) {
    for (Uint32 i = 0; haveInfo && i < info.num_texture_formats; ++i) {
      if (info.texture_formats[i] == format) return true;
    }
    return false;
  };
  const TextureKind* own = textureKindOf(SDL_GetWindowPixelFormat(window));
  if (own && takes(own->format)) return *own;
  for (Uint32 i = 0; haveInfo && i < info.num_texture_formats; ++i) {
    if (const TextureKind* kind = textureKindOf(info.texture_formats[i])) return *kind;
  }
  return kTextureKinds[0];
}

bool headlessDriver() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0);
}

void uploadPage(gdev::Screen* screen, const GdevDC* dc, int page) {
  GdevRect all{0, 0, dc->width, dc->height};
  gdev::uploadRect(screen, dc, gdev::pagePixels(dc, page), &all);
}

void setPixelsToActive(GdevDC* display) {
  display->pixels = gdev::pagePixels(display, display->activePage);
}

}  // namespace

namespace gdev {

View gView;
int gIntegerScale;
int gLinearFilter;

bool openScreen(Screen* s, const char* title, int width, int height, int bitsPerPixel, int scale,
                bool fullscreen) {
  *s = Screen{};
  if (!texelConverter(bitsPerPixel, TEXEL_XRGB)) {
    fail("gdevSetMode()", "unsupported depth %d bpp", bitsPerPixel);
    return false;
  }
  SDL_Rect usable;
  if (scale > 1 && SDL_GetDisplayUsableBounds(0, &usable) == 0 &&
      (width * scale > usable.w || height * scale > usable.h)) {
    scale = 1;
  }
  Uint32 flags = SDL_WINDOW_RESIZABLE | (fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  // Headless drivers keep their framebuffer in memory; without this SDL may
  // load a GL stack just to show a window nobody sees.
  if (headlessDriver()) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  s->window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width * scale,
                               height * scale, flags);
  if (!s->window) {
    fail("gdevSetMode()", "can't create the window: %s", SDL_GetError());
    return false;
  }
  // The game draws its own pointer where it wants one (the pause dialog, the
  // menu): the system's stays hidden over the window.
  SDL_ShowCursor(SDL_DISABLE);
  // Headless drivers get the software renderer, which always works and reads
  // back exactly what it was given.
  Uint32 rendererFlags = headlessDriver() ? SDL_RENDERER_SOFTWARE : 0;
  s->renderer = SDL_CreateRenderer(s->window, -1, rendererFlags);
  if (!s->renderer && rendererFlags == 0) {
    s->renderer = SDL_CreateRenderer(s->window, -1, SDL_RENDERER_SOFTWARE);
  }
  if (!s->renderer) {
    fail("gdevSetMode()", "can't create a renderer: %s", SDL_GetError());
    closeScreen(s);
    return false;
  }
  SDL_RendererInfo info{};
  s->software = SDL_GetRendererInfo(s->renderer, &info) == 0 && (info.flags & SDL_RENDERER_SOFTWARE);
  TextureKind kind = chooseTextureKind(s->renderer, s->window);
  s->textureFormat = kind.format;
  s->texelOrder = kind.order;
  s->texture =
      SDL_CreateTexture(s->renderer, s->textureFormat, SDL_TEXTUREACCESS_STREAMING, width, height);
  if (!s->texture) {
    fail("gdevSetMode()", "can't create a %dx%d texture: %s", width, height, SDL_GetError());
    closeScreen(s);
    return false;
  }
  // Every texel is opaque: copying beats blending.
  SDL_SetTextureBlendMode(s->texture, SDL_BLENDMODE_NONE);
  SDL_SetTextureScaleMode(s->texture, gLinearFilter ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
  s->width = width;
  s->height = height;
  s->vsync = -1;
  return true;
}

void closeScreen(Screen* s) {
  if (s->texture) SDL_DestroyTexture(s->texture);
  if (s->renderer) SDL_DestroyRenderer(s->renderer);
  if (s->window) SDL_DestroyWindow(s->window);
  *s = Screen{};
}

void uploadRect(Screen* s, const GdevDC* dc, const uint8_t* page, const GdevRect* rect) {
  if (!s->texture) return;
  int left = std::max(rect->left, 0), top = std::max(rect->top, 0);
  int right = std::min({rect->right, dc->width, s->width});
  int bottom = std::min({rect->bottom, dc->height, s->height});
  if (left >= right || top >= bottom) return;
  TexelConvertFn convert = texelConverter(dc->bitsPerPixel, s->texelOrder);
  if (!convert) return;
  SDL_Rect area{left, top, right - left, bottom - top};
  const uint8_t* from = page + static_cast<ptrdiff_t>(top) * dc->bytesPerLine +
                        static_cast<ptrdiff_t>(left) * dc->bytesPerPixel;
  // The lock hands out the texture's own memory (or the renderer's staging
  // copy of the area), so the rectangle is converted straight into place.
  void* texels = nullptr;
  int texelPitch = 0;
  if (SDL_LockTexture(s->texture, &area, &texels, &texelPitch) != 0) return;
  convert(from, dc->bytesPerLine, static_cast<uint8_t*>(texels), texelPitch, area.w, area.h);
  SDL_UnlockTexture(s->texture);
}

void renderScreen(Screen* s, int waitRetrace, const GdevRegion* changed) {
  if (!s->renderer) return;
  int wait = waitRetrace ? 1 : 0;
  if (wait != s->vsync) {
    SDL_RenderSetVSync(s->renderer, wait);  // unsupported by some renderers: harmless
    s->vsync = wait;
  }
  int outW = 0, outH = 0;
  SDL_GetRendererOutputSize(s->renderer, &outW, &outH);
  // A software renderer draws into the window's own surface, which keeps its
  // pixels from one present to the next. When that surface holds the whole
  // picture at 1:1 (no bars, no scaling) and has not changed size since, the
  // changed rectangles are all that differ. Other renderers may hand out a
  // fresh back buffer each time and are always drawn whole.
  bool onlyChanged = changed && s->software && outW == s->width && outH == s->height &&
                     s->wholeW == outW && s->wholeH == outH;
  if (onlyChanged) {
    for (int i = 0; i < changed->count; ++i) {
      const GdevRect& r = changed->rects[i];
      int left = std::max(r.left, 0), top = std::max(r.top, 0);
      int right = std::min(r.right, s->width), bottom = std::min(r.bottom, s->height);
      if (left >= right || top >= bottom) continue;
      SDL_Rect area{left, top, right - left, bottom - top};
      SDL_RenderCopy(s->renderer, s->texture, &area, &area);
    }
  } else {
    GdevRect box = gdevLetterbox(outW, outH, s->width, s->height, gIntegerScale);
    SDL_Rect dst{box.left, box.top, box.right - box.left, box.bottom - box.top};
    // The bars are cleared; a software renderer whose picture covers the
    // whole output has none and skips the pass over every pixel.
    bool covered = dst.x == 0 && dst.y == 0 && dst.w == outW && dst.h == outH;
    if (!s->software || !covered) {
      SDL_SetRenderDrawColor(s->renderer, 0, 0, 0, 255);
      SDL_RenderClear(s->renderer);
    }
    SDL_RenderCopy(s->renderer, s->texture, nullptr, &dst);
    s->wholeW = outW;
    s->wholeH = outH;
  }
  SDL_RenderPresent(s->renderer);
}

void windowToScreen(int wx, int wy, int* sx, int* sy) {
  *sx = wx;
  *sy = wy;
  if (!gView.window || gView.picW < 1 || gView.picH < 1) return;
  int winW = 0, winH = 0;
  SDL_GetWindowSize(gView.window, &winW, &winH);
  GdevRect box = gdevLetterbox(winW, winH, gView.picW, gView.picH, gIntegerScale);
  long long bw = box.right - box.left, bh = box.bottom - box.top;
  if (bw < 1 || bh < 1) return;
  long long x = (static_cast<long long>(wx) - box.left) * gView.picW / bw;
  long long y = (static_cast<long long>(wy) - box.top) * gView.picH / bh;
  *sx = static_cast<int>(std::clamp<long long>(x, 0, gView.picW - 1));
  *sy = static_cast<int>(std::clamp<long long>(y, 0, gView.picH - 1));
}

void screenToWindow(int sx, int sy, int* wx, int* wy) {
  *wx = sx;
  *wy = sy;
  if (!gView.window || gView.picW < 1 || gView.picH < 1) return;
  int winW = 0, winH = 0;
  SDL_GetWindowSize(gView.window, &winW, &winH);
  GdevRect box = gdevLetterbox(winW, winH, gView.picW, gView.picH, gIntegerScale);
  long long bw = box.right - box.left, bh = box.bottom - box.top;
  // The centre of the screen pixel, so mapping back lands on the same pixel.
  *wx = box.left + static_cast<int>((2LL * sx + 1) * bw / (2LL * gView.picW));
  *wy = box.top + static_cast<int>((2LL * sy + 1) * bh / (2LL * gView.picH));
}

void redrawWindow() {
  if (gDevice && gDevice->window) renderScreen(&gDevice->window->screen, 0);
}

}  // namespace gdev

std::span<const GdevMode> gdevModes() { return kModes; }

GdevRect gdevLetterbox(int outW, int outH, int picW, int picH, int integerScale) {
  if (outW < 1 || outH < 1 || picW < 1 || picH < 1) return GdevRect{0, 0, 0, 0};
  long long w, h;
  long long k = std::min(outW / picW, outH / picH);
  if (integerScale && k >= 1) {
    w = picW * k;
    h = picH * k;
  } else if (static_cast<long long>(outW) * picH <= static_cast<long long>(outH) * picW) {
    w = outW;  // the output is narrower than the picture: bars above and below
    h = static_cast<long long>(outW) * picH / picW;
  } else {
    h = outH;
    w = static_cast<long long>(outH) * picW / picH;
  }
  int left = static_cast<int>((outW - w) / 2), top = static_cast<int>((outH - h) / 2);
  return GdevRect{left, top, left + static_cast<int>(w), top + static_cast<int>(h)};
}

void gdevSetScaling(int integerScale, int linearFilter) {
  gdev::gIntegerScale = integerScale ? 1 : 0;
  gdev::gLinearFilter = linearFilter ? 1 : 0;
  if (gDevice && gDevice->window && gDevice->window->screen.texture) {
    SDL_SetTextureScaleMode(gDevice->window->screen.texture,
                            gdev::gLinearFilter ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
    gdev::redrawWindow();
  }
}

GdevDevice* gdevSetMode(const GdevMode* mode, int windowed) {
  constexpr const char* fn = "gdevSetMode()";
  if (!mode) {
    gdev::fail(fn, "no mode given");
    return nullptr;
  }
  if (!gdevIsInitialised()) {
    gdev::fail(fn, "the graphics layer is not initialised");
    return nullptr;
  }
  if (gDevice) {
    gdev::fail(fn, "a mode is already set");
    return nullptr;
  }
  if (mode->bitsPerPixel != 15 && mode->bitsPerPixel != 16 && mode->bitsPerPixel != 24) {
    gdev::fail(fn, "unsupported depth %d bpp", mode->bitsPerPixel);
    return nullptr;
  }
  bool fullScreenKind = std::strstr(mode->driver, "DDRAW") != nullptr;
  int pages = std::clamp(mode->pages, 1, 4);
  auto* win = new (std::nothrow) GdevWindow{};
  auto* dev = new (std::nothrow) GdevDevice{};
  if (!win || !dev) {
    delete win;
    delete dev;
    gdev::fail(fn, "not enough memory");
    return nullptr;
  }
  dev->mode = *mode;
  dev->windowed = windowed ? 1 : 0;
  dev->window = win;
  auto undo = [&]() {
    gdev::closeScreen(&win->screen);
    gdevDestroyDC(win->ownDisplay);
    gdevDestroyDC(win->ownBack);
    delete win;
    delete dev;
  };
  const GdevPixelFormat* format = gdevDefaultFormat(mode->bitsPerPixel);
  win->ownDisplay = gdev::createDC(fn, mode->width, mode->height, mode->bitsPerPixel, format,
                                   fullScreenKind ? pages : 1);
  if (!win->ownDisplay) {
    undo();
    return nullptr;
  }
  dev->displayDC = win->ownDisplay;
  dev->mode.pages = win->ownDisplay->pages;
  if (fullScreenKind) {
    dev->drawDC = dev->displayDC;
  } else {
    win->ownBack = gdev::createDC(fn, mode->width, mode->height, mode->bitsPerPixel, format, 1);
    if (!win->ownBack) {
      undo();
      return nullptr;
    }
    dev->backDC = dev->drawDC = win->ownBack;
  }
  int stretch = windowed ? mode->windowedStretch : mode->stretch;
  if (!gdev::openScreen(&win->screen, gdev::appTitle(), mode->width, mode->height,
                        mode->bitsPerPixel, stretch ? 2 : 1, !windowed)) {
    undo();
    return nullptr;
  }
  uploadPage(&win->screen, dev->displayDC, 0);
  gdev::renderScreen(&win->screen, 0);
  gdev::gView = gdev::View{win->screen.window, mode->width, mode->height};
  gDevice = dev;
  return dev;
}

void gdevRestoreMode(GdevDevice* device) {
  if (!device || device != gDevice) return;
  GdevWindow* win = device->window;
  gdev::closeScreen(&win->screen);
  if (gdevCurrentDC() == win->ownDisplay || gdevCurrentDC() == win->ownBack) {
    gdevMakeCurrent(nullptr);
  }
  gdevDestroyDC(win->ownDisplay);
  gdevDestroyDC(win->ownBack);
  delete win;
  delete device;
  gdev::gView = gdev::View{};
  gDevice = nullptr;
}

GdevDevice* gdevCurrentDevice() { return gDevice; }

void gdevToggleFullscreen(GdevDevice* device) {
  if (!device || !device->window || !device->window->screen.window) return;
  SDL_Window* w = device->window->screen.window;
  bool full = (SDL_GetWindowFlags(w) & SDL_WINDOW_FULLSCREEN) != 0;
  GdevWindow* win = device->window;
  if (!full) SDL_GetWindowSize(w, &win->windowedW, &win->windowedH);
  SDL_SetWindowFullscreen(w, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
  // Back in a window, the window gets the size it had (not every video
  // driver restores it by itself).
  if (full && win->windowedW > 0 && win->windowedH > 0) SDL_SetWindowSize(w, win->windowedW, win->windowedH);
  device->windowed = full ? 1 : 0;
  gdev::renderScreen(&device->window->screen, 0);
}

bool gdevGetWindowSize(const GdevDevice* device, int* width, int* height) {
  if (!device || !device->window || !device->window->screen.window) return false;
  SDL_GetWindowSize(device->window->screen.window, width, height);
  return true;
}

void gdevSetWindowSize(GdevDevice* device, int width, int height) {
  if (!device || !device->window || !device->window->screen.window) return;
  SDL_SetWindowSize(device->window->screen.window, width, height);
  gdev::renderScreen(&device->window->screen, 0);
}

void gdevSetActivePage(GdevDevice* device, int page) {
  if (!device || !device->displayDC) return;
  GdevDC* display = device->displayDC;
  display->activePage = std::clamp(page, 0, display->pages - 1);
  setPixelsToActive(display);
}

void gdevSetVisiblePage(GdevDevice* device, int page, int waitRetrace) {
  if (!device || !device->displayDC) return;
  GdevDC* display = device->displayDC;
  display->visiblePage = std::clamp(page, 0, display->pages - 1);
  if (!device->window) return;
  uploadPage(&device->window->screen, display, display->visiblePage);
  gdev::renderScreen(&device->window->screen, waitRetrace);
}

void gdevSwapBuffers(GdevDevice* device, int waitRetrace) {
  if (!device || !device->displayDC) return;
  GdevDC* display = device->displayDC;
  int shown = display->activePage;
  display->activePage = (display->activePage + 1) % display->pages;
  setPixelsToActive(display);
  gdevSetVisiblePage(device, shown, waitRetrace);
}

void gdevPresent(GdevDevice* device, const GdevRegion* region, int waitRetrace) {
  if (!device || !device->displayDC || !device->window) return;
  GdevDC* display = device->displayDC;
  gdev::Screen* s = &device->window->screen;
  const uint8_t* page = gdev::pagePixels(display, display->visiblePage);
  if (!region) {
    uploadPage(s, display, display->visiblePage);
  } else {
    for (int i = 0; i < region->count; ++i) gdev::uploadRect(s, display, page, &region->rects[i]);
  }
  gdev::renderScreen(s, waitRetrace, region);
}

void gdevCopyRegionToDisplay(GdevDevice* device, const GdevRegion* region, int waitRetrace) {
  if (!device || !device->displayDC) return;
  GdevDC* display = device->displayDC;
  if (device->backDC && region) {
    for (int i = 0; i < region->count; ++i) {
      const GdevRect& r = region->rects[i];
      gdevBitBlt(display, r.left, r.top, device->backDC, r.left, r.top, r.right - r.left,
                 r.bottom - r.top);
    }
  }
  if (display->pages < 2) {
    gdevPresent(device, region, waitRetrace);
    return;
  }
  // The page just written is shown whole: the window held the other page.
  gdevSwapBuffers(device, waitRetrace);
}

bool gdevReadPresented(GdevDevice* device, uint8_t* out, int pitch) {
  constexpr const char* fn = "gdevReadPresented()";
  if (!device || !device->window || !device->window->screen.texture || !out) {
    gdev::fail(fn, "no window to read");
    return false;
  }
  gdev::Screen* s = &device->window->screen;
  const GdevDC* display = device->displayDC;
  // The texture is drawn 1:1 into a target of 8-bit channels and read from
  // there; the texels widened each channel by shifting it up, so packing back
  // into the display format gives the display's pixels.
  SDL_Texture* target = SDL_CreateTexture(s->renderer, SDL_PIXELFORMAT_ARGB8888,
                                          SDL_TEXTUREACCESS_TARGET, s->width, s->height);
  if (!target) {
    gdev::fail(fn, "can't create a render target: %s", SDL_GetError());
    return false;
  }
  std::vector<uint32_t> argb(static_cast<size_t>(s->width) * static_cast<size_t>(s->height));
  bool ok = SDL_SetRenderTarget(s->renderer, target) == 0 &&
            SDL_RenderCopy(s->renderer, s->texture, nullptr, nullptr) == 0 &&
            SDL_RenderReadPixels(s->renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, argb.data(),
                                 s->width * 4) == 0;
  if (!ok) gdev::fail(fn, "can't read the picture back: %s", SDL_GetError());
  SDL_SetRenderTarget(s->renderer, nullptr);
  SDL_DestroyTexture(target);
  if (!ok) return false;
  int bytes = display->bytesPerPixel;
  for (int y = 0; y < s->height; ++y) {
    uint8_t* row = out + static_cast<ptrdiff_t>(y) * pitch;
    for (int x = 0; x < s->width; ++x) {
      uint32_t c =
          argb[static_cast<size_t>(y) * static_cast<size_t>(s->width) + static_cast<size_t>(x)];
      uint32_t v = gdevPackRGB(&display->format, static_cast<int>((c >> 16) & 0xFF),
                               static_cast<int>((c >> 8) & 0xFF), static_cast<int>(c & 0xFF));
      for (int b = 0; b < bytes; ++b) row[x * bytes + b] = static_cast<uint8_t>(v >> (8 * b));
    }
  }
  return true;
}

void gdevShowCursor(int show) {
  if (gdevIsInitialised()) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void gdevMoveCursor(int x, int y) {
  if (!gdev::gView.window) return;
  int wx, wy;
  gdev::screenToWindow(x, y, &wx, &wy);
  SDL_WarpMouseInWindow(gdev::gView.window, wx, wy);
}
