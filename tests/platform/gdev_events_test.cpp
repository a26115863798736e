#include <SDL.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/log.h"
#include "platform/gdev.h"

namespace {

GdevEvent keyEvent(uint32_t what, int ch, int scan) {
  GdevEvent e{};
  e.what = what;
  e.when = 1;
  e.message = static_cast<uint32_t>(ch) | static_cast<uint32_t>(scan) << 8;
  return e;
}

TEST(EventRecordTest, BytesFollowTheRecordingLayout) {
  GdevEvent e{};
  e.what = GDEV_EVT_KEYDOWN;
  e.when = 0x01020304;
  e.x = -2;
  e.y = 600;
  e.message = 'z' | 0x2C << 8;
  e.modifiers = GDEV_MOD_LEFTBUT | GDEV_MOD_LEFTCTRL;
  e.reserved0 = 0xAAAAAAAA;  // never written out
  uint8_t bytes[GDEV_EVENT_BYTES];
  std::memset(bytes, 0xEE, sizeof bytes);
  gdevEventToBytes(&e, bytes);
  const uint8_t expected[GDEV_EVENT_BYTES] = {
      0,    0,    0,    0,                 // 0: zero
      0x01, 0,    0,    0,                 // 4: key down
      0x04, 0x03, 0x02, 0x01,              // 8: time stamp
      0xFE, 0xFF, 0xFF, 0xFF,              // 12: x = -2
      0x58, 0x02, 0,    0,                 // 16: y = 600
      'z',  0x2C, 0,    0,                 // 20: character, scan code
      0x21, 0,    0,    0,                 // 24: modifiers
      0,    0,    0,    0,    0, 0, 0, 0,  // 28..35: zero
  };
  for (int i = 0; i < GDEV_EVENT_BYTES; ++i) EXPECT_EQ(bytes[i], expected[i]) << "offset " << i;

  GdevEvent back = gdevEventFromBytes(bytes);
  EXPECT_EQ(back.what, e.what);
  EXPECT_EQ(back.when, e.when);
  EXPECT_EQ(back.x, -2);
  EXPECT_EQ(back.y, 600);
  EXPECT_EQ(gdevEventChar(&back), 'z');
  EXPECT_EQ(gdevEventScan(&back), 0x2C);
  EXPECT_EQ(back.modifiers, e.modifiers);
  EXPECT_EQ(back.reserved0, 0u);
}

TEST(KeyMapTest, ScanCodesOfTheGamesKeys) {
  struct Case {
    SDL_Scancode sdl;
    int pc;
  };
  const Case cases[] = {
      {SDL_SCANCODE_ESCAPE, 0x01}, {SDL_SCANCODE_1, 0x02},     {SDL_SCANCODE_0, 0x0B},
      {SDL_SCANCODE_R, 0x13},      {SDL_SCANCODE_G, 0x22},     {SDL_SCANCODE_Z, 0x2C},
      {SDL_SCANCODE_SLASH, 0x35},  {SDL_SCANCODE_SPACE, 0x39}, {SDL_SCANCODE_LCTRL, 0x1D},
      {SDL_SCANCODE_RETURN, 0x1C}, {SDL_SCANCODE_UP, 0x48},    {SDL_SCANCODE_LEFT, 0x4B},
      {SDL_SCANCODE_RIGHT, 0x4D},  {SDL_SCANCODE_DOWN, 0x50},  {SDL_SCANCODE_KP_7, 71},
      {SDL_SCANCODE_KP_9, 73},     {SDL_SCANCODE_KP_1, 79},    {SDL_SCANCODE_KP_3, 81},
      {SDL_SCANCODE_KP_8, 72},     {SDL_SCANCODE_KP_2, 80},    {SDL_SCANCODE_KP_4, 75},
      {SDL_SCANCODE_KP_6, 77},     {SDL_SCANCODE_HOME, 71},    {SDL_SCANCODE_F1, 0x3B},
      {SDL_SCANCODE_F13, 0},       {SDL_SCANCODE_UNKNOWN, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(gdevScanFromSdl(c.sdl), c.pc) << SDL_GetScancodeName(c.sdl);
}

TEST(KeyMapTest, CharactersAsTyped) {
  struct Case {
    SDL_Keycode key;
    int mod;
    int ch;
  };
  const Case cases[] = {
      {SDLK_RETURN, 0, 13},
      {SDLK_KP_ENTER, 0, 13},
      {SDLK_ESCAPE, 0, 27},
      {SDLK_SPACE, 0, 32},
      {SDLK_r, 0, 'r'},
      {SDLK_r, KMOD_LSHIFT, 'R'},
      {SDLK_r, KMOD_CAPS, 'R'},
      {SDLK_r, KMOD_CAPS | KMOD_RSHIFT, 'r'},
      {SDLK_g, KMOD_LCTRL, 'g'},
      {SDLK_5, 0, '5'},
      {SDLK_5, KMOD_LSHIFT, '%'},
      {SDLK_KP_5, KMOD_NUM, '5'},
      {SDLK_KP_5, 0, 0},
      {SDLK_UP, 0, 0},
      {SDLK_F1, 0, 0},
      {0x44F, 0, 0xFF},
      {0x44F, KMOD_LSHIFT, 0xDF},
      {0x430, 0, 0xE0},
      {0x451, 0, 0xB8},
      {0x451, KMOD_LSHIFT, 0xA8},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(gdevCharFromSdl(c.key, c.mod), c.ch) << "key " << c.key << " mod " << c.mod;
  }
}

// The queue and the translation of window-system input, under a headless
// video driver.
class EventQueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logReset();
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    ASSERT_TRUE(gdevInit("Qel")) << gdevErrorText();
    gdevFlushEvents(GDEV_EVT_EVERY);
  }
  void TearDown() override {
    gdevStopTextInput();
    gdevSetActivateCallback(nullptr);
    gdevSetSuspendCallback(nullptr);
    gdevFlushEvents(GDEV_EVT_EVERY);
    gdevClearQuitRequest();
    gdevExit();
  }
  static void push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }
  static SDL_Event key(Uint32 type, SDL_Scancode sc, SDL_Keycode sym, Uint16 mod, Uint8 repeat) {
    SDL_Event e{};
    e.type = type;
    e.key.type = type;
    e.key.keysym.scancode = sc;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    e.key.repeat = repeat;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    return e;
  }
  // Typed text as the window system delivers it; SDL itself refuses the
  // event while its text input is off, so the result is not asserted.
  static void typed(const char* utf8) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.type = SDL_TEXTINPUT;
    std::snprintf(e.text.text, sizeof e.text.text, "%s", utf8);
    SDL_PushEvent(&e);
  }
  static std::string take(int size = 64) {
    std::vector<char> out(static_cast<size_t>(size));
    const int n = gdevTakeText(out.data(), size);
    EXPECT_EQ(n, static_cast<int>(std::strlen(out.data())));
    return std::string(out.data());
  }
  static SDL_Event button(Uint32 type, Uint8 which, int x, int y) {
    SDL_Event e{};
    e.type = type;
    e.button.type = type;
    e.button.button = which;
    e.button.x = x;
    e.button.y = y;
    return e;
  }
};

TEST_F(EventQueueTest, GetPeekPostAndFlushByMask) {
  GdevEvent down = keyEvent(GDEV_EVT_KEYDOWN, 'a', 0x1E);
  GdevEvent move{};
  move.what = GDEV_EVT_MOUSEMOVE;
  move.x = 5;
  GdevEvent up = keyEvent(GDEV_EVT_KEYUP, 'a', 0x1E);
  SDL_Delay(2);  // the millisecond clock starts at 0 with the video subsystem
  ASSERT_TRUE(gdevPostEvent(&down));
  ASSERT_TRUE(gdevPostEvent(&move));
  ASSERT_TRUE(gdevPostEvent(&up));

  GdevEvent got;
  ASSERT_TRUE(gdevPeekEvent(&got, GDEV_EVT_MOUSEEVT));
  EXPECT_EQ(got.x, 5);
  EXPECT_NE(got.when, 0u);  // stamped by the clock when posted without one
  ASSERT_TRUE(gdevPeekEvent(&got, GDEV_EVT_MOUSEEVT));  // peeking left it there
  ASSERT_TRUE(gdevGetEvent(&got, GDEV_EVT_KEYUP, true));
  EXPECT_EQ(got.what, GDEV_EVT_KEYUP);
  EXPECT_FALSE(gdevGetEvent(&got, GDEV_EVT_KEYUP, true));

  gdevFlushEvents(GDEV_EVT_KEYEVT);
  ASSERT_TRUE(gdevGetEvent(&got, GDEV_EVT_EVERY, true));
  EXPECT_EQ(got.what, GDEV_EVT_MOUSEMOVE);
  EXPECT_FALSE(gdevGetEvent(&got, GDEV_EVT_EVERY, true));
}

TEST_F(EventQueueTest, AFullQueueRefusesMore) {
  GdevEvent e = keyEvent(GDEV_EVT_KEYDOWN, 'x', 0x2D);
  int accepted = 0;
  while (accepted < 1000 && gdevPostEvent(&e)) ++accepted;
  EXPECT_EQ(accepted, 256);
}

TEST_F(EventQueueTest, KeysBecomeRecordsWithScanCodeAndCharacter) {
  push(key(SDL_KEYDOWN, SDL_SCANCODE_Z, SDLK_z, KMOD_LCTRL, 0));
  push(key(SDL_KEYDOWN, SDL_SCANCODE_Z, SDLK_z, KMOD_LCTRL, 1));
  push(key(SDL_KEYUP, SDL_SCANCODE_Z, SDLK_z, 0, 0));
  push(key(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, 0, 0));
  const struct {
    uint32_t what;
    int ch, scan;
    uint32_t modifiers;
  } expected[] = {{GDEV_EVT_KEYDOWN, 'z', 0x2C, GDEV_MOD_LEFTCTRL},
                  {GDEV_EVT_KEYREPEAT, 'z', 0x2C, GDEV_MOD_LEFTCTRL},
                  {GDEV_EVT_KEYUP, 'z', 0x2C, 0},
                  {GDEV_EVT_KEYDOWN, 27, 0x01, 0}};
  for (const auto& x : expected) {
    GdevEvent got;
    ASSERT_TRUE(gdevGetEvent(&got, GDEV_EVT_EVERY, true));
    EXPECT_EQ(got.what, x.what);
    EXPECT_EQ(gdevEventChar(&got), x.ch);
    EXPECT_EQ(gdevEventScan(&got), x.scan);
    EXPECT_EQ(got.modifiers, x.modifiers);
  }
}

TEST_F(EventQueueTest, MouseButtonsShowInTheModifiers) {
  push(button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 20));
  push(key(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE, 0, 0));
  push(button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 11, 21));
  push(button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 12, 22));
  GdevEvent e;
  ASSERT_TRUE(gdevGetEvent(&e, GDEV_EVT_EVERY, true));
  EXPECT_EQ(e.what, GDEV_EVT_MOUSEDOWN);
  EXPECT_EQ(e.message, GDEV_MOD_LEFTBUT);
  EXPECT_EQ(e.modifiers & 7, GDEV_MOD_LEFTBUT);
  EXPECT_EQ(e.x, 10);  // no window: window pixels are screen pixels
  EXPECT_EQ(e.y, 20);
  ASSERT_TRUE(gdevGetEvent(&e, GDEV_EVT_EVERY, true));
  EXPECT_EQ(e.what, GDEV_EVT_KEYDOWN);
  EXPECT_EQ(e.modifiers & 7, GDEV_MOD_LEFTBUT);
  EXPECT_EQ(gdevEventChar(&e), 32);
  ASSERT_TRUE(gdevGetEvent(&e, GDEV_EVT_EVERY, true));
  EXPECT_EQ(e.modifiers & 7, GDEV_MOD_LEFTBUT | GDEV_MOD_RIGHTBUT);
  ASSERT_TRUE(gdevGetEvent(&e, GDEV_EVT_EVERY, true));
  EXPECT_EQ(e.what, GDEV_EVT_MOUSEUP);
  EXPECT_EQ(e.message, GDEV_MOD_LEFTBUT);
  EXPECT_EQ(e.modifiers & 7, GDEV_MOD_RIGHTBUT);
}

std::vector<int> gActivations, gSuspensions;

TEST_F(EventQueueTest, WindowActivityReachesTheCallbacks) {
  gActivations.clear();
  gSuspensions.clear();
  gdevSetActivateCallback([](int active) { gActivations.push_back(active); });
  gdevSetSuspendCallback([](int suspended) { gSuspensions.push_back(suspended); });
  for (Uint8 what :
       {SDL_WINDOWEVENT_FOCUS_GAINED, SDL_WINDOWEVENT_MINIMIZED, SDL_WINDOWEVENT_RESTORED,
        SDL_WINDOWEVENT_RESTORED, SDL_WINDOWEVENT_FOCUS_LOST}) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = what;
    push(e);
  }
  gdevPumpEvents();
  EXPECT_EQ(gActivations, (std::vector<int>{1, 0}));
  EXPECT_EQ(gSuspensions, (std::vector<int>{1, 0}));  // a second restore changes nothing
  GdevEvent e;
  EXPECT_FALSE(gdevGetEvent(&e, GDEV_EVT_EVERY, false));  // the layer posts nothing itself
}

TEST_F(EventQueueTest, ClosingTheWindowRequestsQuitOnce) {
  EXPECT_FALSE(gdevQuitRequested());
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  push(e);
  e = SDL_Event{};
  e.type = SDL_QUIT;
  push(e);
  gdevPumpEvents();
  EXPECT_TRUE(gdevQuitRequested());
  GdevEvent got;
  ASSERT_TRUE(gdevGetEvent(&got, GDEV_EVT_EVERY, true));
  EXPECT_EQ(got.what, GDEV_EVT_USER);
  EXPECT_EQ(got.message, GDEV_APPMSG_QUIT);
  EXPECT_FALSE(gdevGetEvent(&got, GDEV_EVT_EVERY, true));
}

TEST_F(EventQueueTest, TermAndIntSignalsRequestQuit) {
  for (int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    gdevClearQuitRequest();
    ASSERT_EQ(std::raise(sig), 0);  // the process survives: the layer caught it
    EXPECT_TRUE(gdevQuitRequested());
    GdevEvent got;
    ASSERT_TRUE(gdevGetEvent(&got, GDEV_EVT_USER, true));
    EXPECT_EQ(got.message, GDEV_APPMSG_QUIT);
  }
}

}  // namespace

// A game controller plays with the table's keys: the shoulders are the
// flipper keys, A and the right trigger (from half way) the launch key,
// Start the pause key; other buttons give nothing.
TEST_F(EventQueueTest, GameControllerButtonsArriveAsTheTableKeys) {
  struct Case {
    Uint8 button;
    int scan, ch;
  };
  for (const Case& c : {Case{SDL_CONTROLLER_BUTTON_LEFTSHOULDER, 0x2C, 'z'},
                        Case{SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 0x35, '/'}, Case{SDL_CONTROLLER_BUTTON_A, 0x1D, 0},
                        Case{SDL_CONTROLLER_BUTTON_START, 0x01, 27}}) {
    for (Uint32 type : {Uint32{SDL_CONTROLLERBUTTONDOWN}, Uint32{SDL_CONTROLLERBUTTONUP}}) {
      SDL_Event e{};
      e.type = type;
      e.cbutton.button = c.button;
      push(e);
      GdevEvent got;
      ASSERT_TRUE(gdevGetEvent(&got, GDEV_EVT_EVERY, true)) << int{c.button};
      EXPECT_EQ(got.what, type == SDL_CONTROLLERBUTTONDOWN ? GDEV_EVT_KEYDOWN : GDEV_EVT_KEYUP);
      EXPECT_EQ(gdevEventScan(&got), c.scan);
      EXPECT_EQ(gdevEventChar(&got), c.ch);
    }
  }
  SDL_Event other{};
  other.type = SDL_CONTROLLERBUTTONDOWN;
  other.cbutton.button = SDL_CONTROLLER_BUTTON_Y;
  push(other);
  GdevEvent none;
  EXPECT_FALSE(gdevGetEvent(&none, GDEV_EVT_EVERY, true));
}

TEST_F(EventQueueTest, TheRightTriggerPullsThePlungerFromHalfWay) {
  auto trigger = [](Sint16 value, Uint8 axis = SDL_CONTROLLER_AXIS_TRIGGERRIGHT) {
    SDL_Event e{};
    e.type = SDL_CONTROLLERAXISMOTION;
    e.caxis.axis = axis;
    e.caxis.value = value;
    push(e);
  };
  GdevEvent got;
  trigger(16383);  // just short of half way: nothing
  trigger(32767, SDL_CONTROLLER_AXIS_TRIGGERLEFT);
  EXPECT_FALSE(gdevGetEvent(&got, GDEV_EVT_EVERY, true));
  trigger(16384);  // half way: the launch key goes down, once
  trigger(30000);
  ASSERT_TRUE(gdevGetEvent(&got, GDEV_EVT_EVERY, true));
  EXPECT_EQ(got.what, GDEV_EVT_KEYDOWN);
  EXPECT_EQ(gdevEventScan(&got), 0x1D);
  EXPECT_FALSE(gdevGetEvent(&got, GDEV_EVT_EVERY, true));
  trigger(16383);  // let go below half way: the key comes up
  ASSERT_TRUE(gdevGetEvent(&got, GDEV_EVT_EVERY, true));
  EXPECT_EQ(got.what, GDEV_EVT_KEYUP);
  EXPECT_EQ(gdevEventScan(&got), 0x1D);
}

TEST_F(EventQueueTest, TypedTextArrivesInWindows1251OnlyWhileTextInputIsOn) {
  EXPECT_FALSE(gdevTextInputActive());
  EXPECT_FALSE(SDL_IsTextInputActive());  // SDL's own default is turned off
  typed("off");
  EXPECT_EQ(take(), "");

  gdevStartTextInput();
  EXPECT_TRUE(SDL_IsTextInputActive());
  typed("Жук €5");
  typed("☃日?");  // no code in the page, but the question mark has one
  EXPECT_EQ(take(), "\xC6\xF3\xEA \x88" "5?");
  EXPECT_EQ(take(), "");  // taken once

  typed("abcdef");
  EXPECT_EQ(take(4), "abc");  // the rest waits
  EXPECT_EQ(take(), "def");

  typed("lost");
  gdevStopTextInput();  // drops what was not taken
  EXPECT_FALSE(SDL_IsTextInputActive());
  typed("late");
  gdevStartTextInput();
  EXPECT_EQ(take(), "");
}

TEST_F(EventQueueTest, TextIsTakenInOrderWithTheKeys) {
  gdevStartTextInput();
  // SDL sends a key's text after its key event; Backspace types nothing.
  push(key(SDL_KEYDOWN, SDL_SCANCODE_A, SDLK_a, 0, 0));
  typed("a");
  push(key(SDL_KEYDOWN, SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, 0, 0));
  push(key(SDL_KEYDOWN, SDL_SCANCODE_B, SDLK_b, 0, 0));
  typed("b");
  std::string order;
  for (;;) {
    order += take();
    GdevEvent e;
    if (!gdevGetEvent(&e, GDEV_EVT_EVERY, true)) break;
    order += "<" + std::to_string(gdevEventChar(&e)) + ">";
  }
  EXPECT_EQ(order, "<97>a<8><98>b");
}
