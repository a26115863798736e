// Start-up of the graphics device layer, its error text, allocation hooks and
// pixel formats.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/gdev_internal.h"

namespace {

char gError[512];
char gTitle[64] = "Qel";
bool gInitialised;

void* defaultAlloc(size_t size) { return std::malloc(size ? size : 1); }
void defaultRelease(void* block) { std::free(block); }

GdevAllocator gHooks = {defaultAlloc, defaultRelease};

int channelWidth(int32_t mask, int32_t adjust) { return mask ? 8 - adjust : 0; }

}  // namespace

namespace gdev {

void fail(const char* function, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(gError, sizeof gError, format, args);
  va_end(args);
  logError(0, "%s: %s", function, gError);
}

const char* appTitle() { return gTitle; }

void* allocBlock(size_t size, void (**release)(void*)) {
  *release = gHooks.release;
  return gHooks.alloc(size);
}

}  // namespace gdev

const char* gdevErrorText() { return gError; }

void gdevSetAllocator(const GdevAllocator* hooks) {
  if (hooks && hooks->alloc && hooks->release) {
    gHooks = *hooks;
  } else {
    gHooks = GdevAllocator{defaultAlloc, defaultRelease};
  }
}

bool gdevInit(const char* appName) {
  if (gInitialised) return true;
  if (appName && *appName) std::snprintf(gTitle, sizeof gTitle, "%s", appName);
  // The layer turns SIGINT/SIGTERM into its own quit request; SDL's handlers
  // would only post a quit event that a loop might never read.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    gdev::fail("gdevInit()", "can't start the video subsystem: %s", SDL_GetError());
    return false;
  }
  // Game controllers are extra input: without them the game plays on.
  if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
    logPrint("%s: no game controllers: %s", "gdevInit()", SDL_GetError());
  } else {
    for (int i = 0; i < SDL_NumJoysticks(); i++)
      if (SDL_IsGameController(i)) SDL_GameControllerOpen(i);
  }
  // SDL starts with text input on; the layer turns it on only for the
  // moments that ask for typed text (gdevStartTextInput).
  SDL_StopTextInput();
  gdev::installSignals();
  gdev::resetEvents();
  gInitialised = true;
  return true;
}

void gdevExit() {
  if (!gInitialised) return;
  if (GdevDevice* device = gdevCurrentDevice()) gdevRestoreMode(device);
  gdev::restoreSignals();
  if (SDL_WasInit(SDL_INIT_GAMECONTROLLER)) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  gInitialised = false;
}

bool gdevIsInitialised() { return gInitialised; }

const GdevPixelFormat* gdevDefaultFormat(int bitsPerPixel) {
  switch (bitsPerPixel) {
    case 15: return &GDEV_FORMAT_555;
    case 16: return &GDEV_FORMAT_565;
    case 24: return &GDEV_FORMAT_888;
    default: return nullptr;
  }
}

int gdevFormatBits(const GdevPixelFormat* f) {
  return channelWidth(f->redMask, f->redAdjust) + channelWidth(f->greenMask, f->greenAdjust) +
         channelWidth(f->blueMask, f->blueAdjust) + channelWidth(f->rsvdMask, f->rsvdAdjust);
}

bool gdevFormatEqual(const GdevPixelFormat* a, const GdevPixelFormat* b) {
  return a->redMask == b->redMask && a->greenMask == b->greenMask && a->blueMask == b->blueMask &&
         a->redPos == b->redPos && a->greenPos == b->greenPos && a->bluePos == b->bluePos &&
         a->redAdjust == b->redAdjust && a->greenAdjust == b->greenAdjust &&
         a->blueAdjust == b->blueAdjust;
}

uint32_t gdevPackRGB(const GdevPixelFormat* f, int red, int green, int blue) {
  auto channel = [](int value, int32_t mask, int32_t pos, int32_t adjust) -> uint32_t {
    if (pos < 0 || pos > 31 || adjust < 0 || adjust > 8) return 0;
    uint32_t v = static_cast<uint32_t>(value) & 0xFF;
    return ((v >> adjust) & static_cast<uint32_t>(mask)) << pos;
  };
  return channel(red, f->redMask, f->redPos, f->redAdjust) |
         channel(green, f->greenMask, f->greenPos, f->greenAdjust) |
         channel(blue, f->blueMask, f->bluePos, f->blueAdjust);
}

void gdevUnpackRGB(const GdevPixelFormat* f, uint32_t pixel, int* red, int* green, int* blue) {
  auto channel = [pixel](int32_t mask, int32_t pos, int32_t adjust) -> int {
    if (pos < 0 || pos > 31 || adjust < 0 || adjust > 8) return 0;
    return static_cast<int>((((pixel >> pos) & static_cast<uint32_t>(mask)) << adjust) & 0xFF);
  };
  *red = channel(f->redMask, f->redPos, f->redAdjust);
  *green = channel(f->greenMask, f->greenPos, f->greenAdjust);
  *blue = channel(f->blueMask, f->bluePos, f->blueAdjust);
}
