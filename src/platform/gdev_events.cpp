// The input event queue: window-system input translated into the 36-byte
// event records, application events, activity callbacks and quit requests.
#include <csignal>
#include <cstring>

#include "core/bytes.h"
#include "core/text.h"
#include "platform/gdev_internal.h"

namespace {

constexpr int kQueueSize = 256;

GdevEvent gQueue[kQueueSize];  // oldest first
// The serial number of each queued event (its place in the order of all
// events posted), kept beside the records so that their layout stays the
// recorded one; typed text is ordered against the events by it.
uint32_t gSerial[kQueueSize];
uint32_t gNextSerial;
int gCount;

// Typed text not taken yet, each character with the serial the next event
// posted would get (it was typed before that event).
constexpr int kTextSize = 256;
struct TypedChar {
  char ch;
  uint32_t serial;
};
TypedChar gText[kTextSize];
int gTextCount;
bool gTextOn;
uint32_t gButtons;  // mouse buttons held
int gMouseX, gMouseY;
bool gSuspended;
void (*gActivate)(int active);
void (*gSuspend)(int suspended);
void (*gInputHook)(void* user);
void* gInputHookUser;

volatile std::sig_atomic_t gSignalled;
bool gQuit;
bool gQuitPosted;
struct sigaction gOldInt, gOldTerm;
bool gSignalsInstalled;

void onSignal(int) { gSignalled = 1; }

// PC set-1 scan codes. Keys that the PC keyboard sends with an extended
// prefix share the code of their keypad twin (arrows, Home, PgUp ...), as the
// game's key tables expect.
struct ScanEntry {
  SDL_Scancode sdl;
  uint8_t pc;
};
constexpr ScanEntry kScanTable[] = {
    {SDL_SCANCODE_ESCAPE, 0x01},
    {SDL_SCANCODE_1, 0x02},
    {SDL_SCANCODE_2, 0x03},
    {SDL_SCANCODE_3, 0x04},
    {SDL_SCANCODE_4, 0x05},
    {SDL_SCANCODE_5, 0x06},
    {SDL_SCANCODE_6, 0x07},
    {SDL_SCANCODE_7, 0x08},
    {SDL_SCANCODE_8, 0x09},
    {SDL_SCANCODE_9, 0x0A},
    {SDL_SCANCODE_0, 0x0B},
    {SDL_SCANCODE_MINUS, 0x0C},
    {SDL_SCANCODE_EQUALS, 0x0D},
    {SDL_SCANCODE_BACKSPACE, 0x0E},
    {SDL_SCANCODE_TAB, 0x0F},
    {SDL_SCANCODE_Q, 0x10},
    {SDL_SCANCODE_W, 0x11},
    {SDL_SCANCODE_E, 0x12},
    {SDL_SCANCODE_R, 0x13},
    {SDL_SCANCODE_T, 0x14},
    {SDL_SCANCODE_Y, 0x15},
    {SDL_SCANCODE_U, 0x16},
    {SDL_SCANCODE_I, 0x17},
    {SDL_SCANCODE_O, 0x18},
    {SDL_SCANCODE_P, 0x19},
    {SDL_SCANCODE_LEFTBRACKET, 0x1A},
    {SDL_SCANCODE_RIGHTBRACKET, 0x1B},
    {SDL_SCANCODE_RETURN, 0x1C},
    {SDL_SCANCODE_LCTRL, 0x1D},
    {SDL_SCANCODE_A, 0x1E},
    {SDL_SCANCODE_S, 0x1F},
    {SDL_SCANCODE_D, 0x20},
    {SDL_SCANCODE_F, 0x21},
    {SDL_SCANCODE_G, 0x22},
    {SDL_SCANCODE_H, 0x23},
    {SDL_SCANCODE_J, 0x24},
    {SDL_SCANCODE_K, 0x25},
    {SDL_SCANCODE_L, 0x26},
    {SDL_SCANCODE_SEMICOLON, 0x27},
    {SDL_SCANCODE_APOSTROPHE, 0x28},
    {SDL_SCANCODE_GRAVE, 0x29},
    {SDL_SCANCODE_LSHIFT, 0x2A},
    {SDL_SCANCODE_BACKSLASH, 0x2B},
    {SDL_SCANCODE_Z, 0x2C},
    {SDL_SCANCODE_X, 0x2D},
    {SDL_SCANCODE_C, 0x2E},
    {SDL_SCANCODE_V, 0x2F},
    {SDL_SCANCODE_B, 0x30},
    {SDL_SCANCODE_N, 0x31},
    {SDL_SCANCODE_M, 0x32},
    {SDL_SCANCODE_COMMA, 0x33},
    {SDL_SCANCODE_PERIOD, 0x34},
    {SDL_SCANCODE_SLASH, 0x35},
    {SDL_SCANCODE_RSHIFT, 0x36},
    {SDL_SCANCODE_KP_MULTIPLY, 0x37},
    {SDL_SCANCODE_LALT, 0x38},
    {SDL_SCANCODE_SPACE, 0x39},
    {SDL_SCANCODE_CAPSLOCK, 0x3A},
    {SDL_SCANCODE_F1, 0x3B},
    {SDL_SCANCODE_F2, 0x3C},
    {SDL_SCANCODE_F3, 0x3D},
    {SDL_SCANCODE_F4, 0x3E},
    {SDL_SCANCODE_F5, 0x3F},
    {SDL_SCANCODE_F6, 0x40},
    {SDL_SCANCODE_F7, 0x41},
    {SDL_SCANCODE_F8, 0x42},
    {SDL_SCANCODE_F9, 0x43},
    {SDL_SCANCODE_F10, 0x44},
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x45},
    {SDL_SCANCODE_SCROLLLOCK, 0x46},
    {SDL_SCANCODE_KP_7, 0x47},
    {SDL_SCANCODE_HOME, 0x47},
    {SDL_SCANCODE_KP_8, 0x48},
    {SDL_SCANCODE_UP, 0x48},
    {SDL_SCANCODE_KP_9, 0x49},
    {SDL_SCANCODE_PAGEUP, 0x49},
    {SDL_SCANCODE_KP_MINUS, 0x4A},
    {SDL_SCANCODE_KP_4, 0x4B},
    {SDL_SCANCODE_LEFT, 0x4B},
    {SDL_SCANCODE_KP_5, 0x4C},
    {SDL_SCANCODE_KP_6, 0x4D},
    {SDL_SCANCODE_RIGHT, 0x4D},
    {SDL_SCANCODE_KP_PLUS, 0x4E},
    {SDL_SCANCODE_KP_1, 0x4F},
    {SDL_SCANCODE_END, 0x4F},
    {SDL_SCANCODE_KP_2, 0x50},
    {SDL_SCANCODE_DOWN, 0x50},
    {SDL_SCANCODE_KP_3, 0x51},
    {SDL_SCANCODE_PAGEDOWN, 0x51},
    {SDL_SCANCODE_KP_0, 0x52},
    {SDL_SCANCODE_INSERT, 0x52},
    {SDL_SCANCODE_KP_PERIOD, 0x53},
    {SDL_SCANCODE_DELETE, 0x53},
    {SDL_SCANCODE_NONUSBACKSLASH, 0x56},
    {SDL_SCANCODE_F11, 0x57},
    {SDL_SCANCODE_F12, 0x58},
    {SDL_SCANCODE_KP_ENTER, 0x1C},
    {SDL_SCANCODE_RCTRL, 0x1D},
    {SDL_SCANCODE_KP_DIVIDE, 0x35},
    {SDL_SCANCODE_RALT, 0x38},
};

uint32_t keyModifiers(Uint16 mod) {
  uint32_t m = 0;
  if (mod & KMOD_LSHIFT) m |= GDEV_MOD_LEFTSHIFT;
  if (mod & KMOD_RSHIFT) m |= GDEV_MOD_RIGHTSHIFT;
  if (mod & KMOD_LCTRL) m |= GDEV_MOD_LEFTCTRL;
  if (mod & KMOD_RCTRL) m |= GDEV_MOD_RIGHTCTRL;
  if (mod & KMOD_LALT) m |= GDEV_MOD_LEFTALT;
  if (mod & KMOD_RALT) m |= GDEV_MOD_RIGHTALT;
  return m;
}

uint32_t buttonBit(Uint8 button) {
  switch (button) {
    case SDL_BUTTON_LEFT: return GDEV_MOD_LEFTBUT;
    case SDL_BUTTON_RIGHT: return GDEV_MOD_RIGHTBUT;
    case SDL_BUTTON_MIDDLE: return GDEV_MOD_MIDDLEBUT;
    default: return 0;
  }
}

void requestQuit() {
  gQuit = true;
  if (gQuitPosted) return;
  gQuitPosted = true;
  GdevEvent e{};
  e.what = GDEV_EVT_USER;
  e.message = GDEV_APPMSG_QUIT;
  e.x = gMouseX;
  e.y = gMouseY;
  e.modifiers = gButtons;
  gdevPostEvent(&e);
}

void setSuspended(bool suspended) {
  if (suspended == gSuspended) return;
  gSuspended = suspended;
  if (gSuspend) gSuspend(suspended ? 1 : 0);
}

// Alt+Enter switches between window and full screen; the keys never reach
// the queue (the release is swallowed too, so no key is left half pressed).
bool fullscreenKey(const SDL_KeyboardEvent& key) {
  SDL_Keycode sym = key.keysym.sym;
  if ((sym != SDLK_RETURN && sym != SDLK_KP_ENTER) || !(key.keysym.mod & KMOD_ALT)) return false;
  if (key.type == SDL_KEYDOWN && !key.repeat) gdevToggleFullscreen(gdevCurrentDevice());
  return true;
}

// Game controllers stand in for the table's keys: the shoulder buttons are
// the flipper keys, A (or the right trigger pressed past half way) the
// launch key, Start the pause key. They arrive as those keys' events, so
// that everything downstream (key maps, recordings) sees a keyboard.
struct PadKey {
  int scan;
  int ch;
};
constexpr PadKey kPadLeftFlipper = {0x2C, 'z'};
constexpr PadKey kPadRightFlipper = {0x35, '/'};
constexpr PadKey kPadLaunch = {0x1D, 0};
constexpr PadKey kPadPause = {0x01, 27};
// A trigger counts as pressed from half way on (SDL axes run 0..32767).
constexpr int kTriggerPressed = 16384;
bool gTriggerDown = false;

bool padButton(int button, PadKey* out) {
  switch (button) {
    case SDL_CONTROLLER_BUTTON_LEFTSHOULDER: *out = kPadLeftFlipper; return true;
    case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER: *out = kPadRightFlipper; return true;
    case SDL_CONTROLLER_BUTTON_A: *out = kPadLaunch; return true;
    case SDL_CONTROLLER_BUTTON_START: *out = kPadPause; return true;
    default: return false;
  }
}

void postPadKey(PadKey key, bool down, Uint32 when) {
  GdevEvent ev{};
  ev.what = down ? GDEV_EVT_KEYDOWN : GDEV_EVT_KEYUP;
  ev.message = static_cast<uint32_t>(key.ch) | static_cast<uint32_t>(key.scan) << 8;
  ev.modifiers = gButtons;
  ev.when = when;
  ev.x = gMouseX;
  ev.y = gMouseY;
  gdevPostEvent(&ev);
}

void translate(const SDL_Event& e) {
  GdevEvent ev{};
  switch (e.type) {
    case SDL_CONTROLLERDEVICEADDED:
      // Opened for its events; SDL closes it when the subsystem quits.
      SDL_GameControllerOpen(e.cdevice.which);
      return;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
      PadKey key;
      if (padButton(e.cbutton.button, &key)) postPadKey(key, e.type == SDL_CONTROLLERBUTTONDOWN, e.cbutton.timestamp);
      return;
    }
    case SDL_CONTROLLERAXISMOTION:
      if (e.caxis.axis == SDL_CONTROLLER_AXIS_TRIGGERRIGHT && (e.caxis.value >= kTriggerPressed) != gTriggerDown) {
        gTriggerDown = !gTriggerDown;
        postPadKey(kPadLaunch, gTriggerDown, e.caxis.timestamp);
      }
      return;
    case SDL_QUIT: requestQuit(); return;
    case SDL_TEXTINPUT: gdevFeedText(e.text.text); return;
    case SDL_APP_WILLENTERBACKGROUND: setSuspended(true); return;
    case SDL_APP_DIDENTERFOREGROUND: setSuspended(false); return;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: requestQuit(); break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          if (gActivate) gActivate(1);
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          if (gActivate) gActivate(0);
          break;
        case SDL_WINDOWEVENT_MINIMIZED: setSuspended(true); break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED: setSuspended(false); break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED: gdev::redrawWindow(); break;
        default: break;
      }
      return;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      if (fullscreenKey(e.key)) return;
      ev.what = e.type == SDL_KEYUP ? GDEV_EVT_KEYUP
                                    : (e.key.repeat ? GDEV_EVT_KEYREPEAT : GDEV_EVT_KEYDOWN);
      int scan = gdevScanFromSdl(e.key.keysym.scancode);
      int ch = gdevCharFromSdl(e.key.keysym.sym, e.key.keysym.mod);
      ev.message = static_cast<uint32_t>(ch) | static_cast<uint32_t>(scan) << 8;
      ev.modifiers = gButtons | keyModifiers(e.key.keysym.mod);
      ev.when = e.key.timestamp;
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      uint32_t bit = buttonBit(e.button.button);
      if (!bit) return;
      if (e.type == SDL_MOUSEBUTTONDOWN) {
        gButtons |= bit;
        ev.what = GDEV_EVT_MOUSEDOWN;
      } else {
        gButtons &= ~bit;
        ev.what = GDEV_EVT_MOUSEUP;
      }
      gdev::windowToScreen(e.button.x, e.button.y, &gMouseX, &gMouseY);
      ev.message = bit;
      ev.modifiers = gButtons | keyModifiers(SDL_GetModState());
      ev.when = e.button.timestamp;
      break;
    }
    case SDL_MOUSEMOTION:
      gdev::windowToScreen(e.motion.x, e.motion.y, &gMouseX, &gMouseY);
      ev.what = GDEV_EVT_MOUSEMOVE;
      ev.modifiers = gButtons | keyModifiers(SDL_GetModState());
      ev.when = e.motion.timestamp;
      break;
    default: return;
  }
  ev.x = gMouseX;
  ev.y = gMouseY;
  gdevPostEvent(&ev);
}

}  // namespace

namespace gdev {

void installSignals() {
  if (gSignalsInstalled) return;
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, &gOldInt);
  sigaction(SIGTERM, &sa, &gOldTerm);
  gSignalsInstalled = true;
}

void restoreSignals() {
  if (!gSignalsInstalled) return;
  sigaction(SIGINT, &gOldInt, nullptr);
  sigaction(SIGTERM, &gOldTerm, nullptr);
  gSignalsInstalled = false;
}

void resetEvents() {
  gCount = 0;
  gTextCount = 0;
  gTextOn = false;
  gTriggerDown = false;
  gButtons = 0;
  gMouseX = gMouseY = 0;
  gSuspended = false;
  gdevClearQuitRequest();
}

}  // namespace gdev

void gdevEventToBytes(const GdevEvent* event, std::span<uint8_t, GDEV_EVENT_BYTES> out) {
  const uint32_t fields[GDEV_EVENT_BYTES / 4] = {
      0, event->what, event->when, static_cast<uint32_t>(event->x), static_cast<uint32_t>(event->y),
      event->message, event->modifiers, 0, 0};
  for (size_t i = 0; i < GDEV_EVENT_BYTES / 4; i++) bytesPutLe<uint32_t>(out.data() + 4 * i, fields[i]);
}

GdevEvent gdevEventFromBytes(std::span<const uint8_t, GDEV_EVENT_BYTES> bytes) {
  ByteReader r = brOpen(bytes);
  brSkip(&r, 4);
  GdevEvent e{};
  e.what = brLe<uint32_t>(&r);
  e.when = brLe<uint32_t>(&r);
  e.x = brLe<int32_t>(&r);
  e.y = brLe<int32_t>(&r);
  e.message = brLe<uint32_t>(&r);
  e.modifiers = brLe<uint32_t>(&r);
  return e;
}

int gdevScanFromSdl(int sdlScancode) {
  for (const ScanEntry& entry : kScanTable) {
    if (entry.sdl == sdlScancode) return entry.pc;
  }
  return 0;
}

int gdevCharFromSdl(int key, int mod) {
  const bool shift = (mod & KMOD_SHIFT) != 0;
  const bool upper = shift != ((mod & KMOD_CAPS) != 0);
  const bool numLock = (mod & KMOD_NUM) != 0;
  switch (key) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return 13;
    case SDLK_ESCAPE: return 27;
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    case SDLK_KP_DIVIDE: return '/';
    case SDLK_KP_MULTIPLY: return '*';
    case SDLK_KP_MINUS: return '-';
    case SDLK_KP_PLUS: return '+';
    case SDLK_KP_PERIOD: return numLock ? '.' : 0;
    default: break;
  }
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return numLock ? '1' + (key - SDLK_KP_1) : 0;
  if (key == SDLK_KP_0) return numLock ? '0' : 0;
  if (key >= 'a' && key <= 'z') return upper ? key - 'a' + 'A' : key;
  if (key >= 32 && key < 127) {
    if (!shift) return key;
    // The symbols Shift gives on the usual Latin layout.
    static constexpr char kPlain[] = "1234567890-=[]\\;',./`";
    static constexpr char kShifted[] = "!@#$%^&*()_+{}|:\"<>?~";
    for (int i = 0; kPlain[i]; ++i) {
      if (kPlain[i] == key) return static_cast<unsigned char>(kShifted[i]);
    }
    return key;
  }
  // Cyrillic layouts report their letters as Unicode code points; Windows-1251
  // keeps them in 0xC0..0xFF (capitals first) with Yo apart.
  if (key >= 0x430 && key <= 0x44F) return upper ? key - 0x430 + 0xC0 : key - 0x430 + 0xE0;
  if (key >= 0x410 && key <= 0x42F) return key - 0x410 + 0xC0;
  if (key == 0x451) return upper ? 0xA8 : 0xB8;
  if (key == 0x401) return 0xA8;
  return 0;
}

void gdevPumpEvents() {
  if (gdevIsInitialised()) {
    SDL_Event e;
    while (SDL_PollEvent(&e)) translate(e);
  }
  if (gSignalled) requestQuit();
}

void gdevSetInputHook(void (*hook)(void* user), void* user) {
  gInputHook = hook;
  gInputHookUser = user;
}

bool gdevGetEvent(GdevEvent* out, uint32_t mask, bool remove) {
  static bool inHook = false;  // a hook that reads events itself does not recurse
  if (gInputHook && !inHook) {
    inHook = true;
    gInputHook(gInputHookUser);
    inHook = false;
  }
  gdevPumpEvents();
  for (int i = 0; i < gCount; ++i) {
    if (!(gQueue[i].what & mask)) continue;
    if (out) *out = gQueue[i];
    if (remove) {
      std::memmove(gQueue + i, gQueue + i + 1,
                   static_cast<size_t>(gCount - i - 1) * sizeof(GdevEvent));
      std::memmove(gSerial + i, gSerial + i + 1, static_cast<size_t>(gCount - i - 1) * sizeof(uint32_t));
      --gCount;
    }
    return true;
  }
  return false;
}

bool gdevPostEvent(const GdevEvent* event) {
  if (!event || gCount == kQueueSize) return false;
  GdevEvent e = *event;
  e.reserved0 = 0;
  e.reserved1[0] = e.reserved1[1] = 0;
  if (e.when == 0) e.when = SDL_GetTicks();
  gSerial[gCount] = gNextSerial++;
  gQueue[gCount++] = e;
  return true;
}

void gdevFlushEvents(uint32_t mask) {
  gdevPumpEvents();
  int kept = 0;
  for (int i = 0; i < gCount; ++i) {
    if (!(gQueue[i].what & mask)) {
      gSerial[kept] = gSerial[i];
      gQueue[kept++] = gQueue[i];
    }
  }
  gCount = kept;
}

void gdevStartTextInput() {
  // Text the window system holds from before was typed while input was off.
  gdevPumpEvents();
  gTextOn = true;
  if (gdevIsInitialised()) SDL_StartTextInput();
}

void gdevStopTextInput() {
  gTextOn = false;
  gTextCount = 0;
  if (gdevIsInitialised()) SDL_StopTextInput();
}

bool gdevTextInputActive() { return gTextOn; }

void gdevFeedText(const char* utf8) {
  if (!gTextOn || !utf8) return;
  for (char c : utf8ToCp1251Strict(utf8)) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) continue;
    if (gTextCount == kTextSize) return;  // full until the text is taken
    gText[gTextCount++] = TypedChar{c, gNextSerial};
  }
}

int gdevTakeText(char* out, int size) {
  gdevPumpEvents();
  if (!out || size <= 0) return 0;
  // Serials wrap after four billion events; the distance to the next serial
  // orders them all the same.
  const uint32_t limit = gCount ? gNextSerial - gSerial[0] : 0;
  int n = 0;
  while (n < gTextCount && n < size - 1 && gNextSerial - gText[n].serial >= limit) {
    out[n] = gText[n].ch;
    n++;
  }
  out[n] = '\0';
  std::memmove(gText, gText + n, static_cast<size_t>(gTextCount - n) * sizeof(TypedChar));
  gTextCount -= n;
  return n;
}

void gdevSetActivateCallback(void (*callback)(int active)) { gActivate = callback; }
void gdevSetSuspendCallback(void (*callback)(int suspended)) { gSuspend = callback; }

bool gdevQuitRequested() {
  if (gSignalled) requestQuit();
  return gQuit;
}

void gdevClearQuitRequest() {
  gQuit = false;
  gQuitPosted = false;
  gSignalled = 0;
}
