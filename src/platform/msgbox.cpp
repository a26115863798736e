#include "platform/msgbox.h"

#include <SDL.h>

#include <cstdio>
#include <string>

#include "core/text.h"

void sysMessageBox(const char* caption, const char* text) {
  std::string c = cp1251ToUtf8(caption ? caption : "");
  std::string t = cp1251ToUtf8(text ? text : "");
  std::fprintf(stderr, "%s: %s\n", c.c_str(), t.c_str());
  std::fflush(stderr);
  // Without a display this fails at once; the line above already told the user.
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, c.c_str(), t.c_str(), nullptr);
}
