#include "platform/msgbox.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/text.h"

void sysMessageBox(const char* caption, const char* text) {
  std::string c = cp1251ToUtf8(caption ? caption : "");
  std::string t = cp1251ToUtf8(text ? text : "");
  std::fprintf(stderr, "%s: %s\n", c.c_str(), t.c_str());
  std::fflush(stderr);
  // A window only where a desktop can show one: headless runs (no display, or
  // SDL's dummy and offscreen drivers) have the line above.
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  bool headless = driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0);
  bool desktop = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
  if (desktop && !headless)
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, c.c_str(), t.c_str(), nullptr);
}
