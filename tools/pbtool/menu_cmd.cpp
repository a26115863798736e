// pbtool menu GAMEDIR OUT.png [KEY=VALUE...]: the menu run headless on the
// built data, a page of it pictured. The tool plays the player: once the
// main page's buttons are all there it clicks the button of the wanted page,
// waits until that page's buttons are there too (and as many frames more as
// asked), writes the picture and leaves the menu with Escape. For checking
// the menu's art and for the documentation's pictures. Keys:
//   page=NAME       main (default), regime, champ or credits
//   after=N         frames to wait once the page's buttons are there
//                   (default 30)
//   screen=N        on the credits page, the screen pictured (default 0)
//   entry=NAME:N    a hall of fame entry, in the order given (NAME in UTF-8);
//                   without entries the table holds the defaults
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/log.h"
#include "core/mem.h"
#include "core/text.h"
#include "core/time.h"
#include "frontend/hof.h"
#include "frontend/menu.h"
#include "frontend/menu_internal.h"
#include "gfx/screen.h"
#include "platform/audio.h"
#include "platform/gdev.h"
#include "platform/sys/sys.h"
#include "pngio.h"
#include "sound/fx.h"

namespace {

constexpr const char* kFn = "pbtool menu";

struct Page {
  const char* name;
  int ctl;
  const char* button;  // on the main page
};
constexpr Page kPages[] = {{"main", CTL_MAIN, nullptr},
                           {"regime", CTL_REGIME, "ma_btn_start"},
                           {"champ", CTL_CHAMP, "ma_btn_top"},
                           {"credits", CTL_CREDITS, "ma_btn_cred"}};

struct Run {
  const Page* page = &kPages[0];
  int after = 30, screen = 0;
  std::string out;
  int waited = 0;
  bool clicked = false, written = false, leaving = false;
  int reads = 0;
};
Run R;

void post(const GdevEvent& e) { gdevPostEvent(&e); }

void escape() {
  GdevEvent e{};
  e.what = GDEV_EVT_KEYDOWN;
  e.message = 27 | 0x01 << 8;
  post(e);
}

// The pointer moves to the element's middle, the left button goes down and up.
void click(const char* name) {
  GdevEvent e{};
  if (!menuElementCentre(name, &e.x, &e.y)) return;
  e.what = GDEV_EVT_MOUSEMOVE;
  post(e);
  e.what = GDEV_EVT_MOUSEDOWN;
  e.message = e.modifiers = GDEV_MOD_LEFTBUT;
  post(e);
  e.what = GDEV_EVT_MOUSEUP;
  e.modifiers = 0;
  post(e);
}

// Runs at every read of the event queue: once a frame in the menu's pages.
void player(void*) {
  if (++R.reads > 200000 || R.leaving) {
    if (!menuBusy()) escape();
    return;
  }
  const int page = menuCurrentPage();
  if (page == CTL_MAIN && R.page->button && !R.clicked) {
    if (menuPageSettled()) {
      click(R.page->button);
      R.clicked = true;
    }
    return;
  }
  if (page != R.page->ctl || !menuPageSettled()) return;
  if (page == CTL_CREDITS && menuCreditsScreen() != R.screen) return;
  if (R.waited++ < R.after) return;
  R.written = pngWriteDC(R.out.c_str(), gsCurrent->dc);
  if (!R.written) logError(0, "%s: can't write '%s'", kFn, R.out.c_str());
  R.leaving = true;
}

bool parse(char** a) {
  int entries = 0;
  for (; *a; a++) {
    std::string arg = *a;
    size_t eq = arg.find('=');
    std::string key = arg.substr(0, eq), value = eq == std::string::npos ? "" : arg.substr(eq + 1);
    if (key == "page") {
      R.page = nullptr;
      for (const Page& p : kPages)
        if (value == p.name) R.page = &p;
      if (!R.page) {
        std::fprintf(stderr, "%s: unknown page '%s' (main, regime, champ, credits)\n", kFn, value.c_str());
        return false;
      }
    } else if (key == "after" || key == "screen") {
      const long* n = strToLong(value.c_str());
      if (!n || *n < 0 || *n > 100000) {
        std::fprintf(stderr, "%s: bad number in '%s'\n", kFn, arg.c_str());
        return false;
      }
      (key == "after" ? R.after : R.screen) = static_cast<int>(*n);
    } else if (key == "entry") {
      size_t colon = value.rfind(':');
      const long* n = colon == std::string::npos ? nullptr : strToLong(value.substr(colon + 1).c_str());
      if (!n || entries >= HOF_ENTRIES) {
        std::fprintf(stderr, "%s: bad entry '%s' (NAME:SCORE, at most %d)\n", kFn, value.c_str(), HOF_ENTRIES);
        return false;
      }
      hofSetEntry(entries++, utf8ToCp1251(value.substr(0, colon)).c_str(), static_cast<int32_t>(*n));
    } else {
      std::fprintf(stderr, "%s: unknown key '%s'\n", kFn, arg.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int cmdMenu(char** a) {
  R = Run{};
  hofDefaults();
  if (!parse(a + 2)) return 1;
  R.out = a[1];
  if (R.out[0] != '/') R.out = sysCurrentDir() + "/" + R.out;
  if (!sysChangeDir(a[0])) return logError(1, "%s: can't chdir to '%s'", kFn, a[0]);
  memInit();
  tmInit();
  tmSetTime(0);
  tmSetTurbo(1);
  gsBuildBlendTable();
  audioSetOutput(AUDIO_OUTPUT_NONE);
  fxInit(0);
  setupMusic();
  gscr screen{};
  GdevDevice device{};
  GdevDC* display = nullptr;
  if (!gsCreateMemoryScreen(&screen, &device, &display, 800, 600, 16))
    return logError(1, "%s: can't make the screen", kFn);
  gsSelect(&screen);
  int rc = 0;
  if (MENU_PRELOAD(0) < 0) rc = logError(1, "%s: can't read the menu's configuration", kFn);
  if (rc == 0) {
    gdevSetInputHook(player, nullptr);
    logPrint("STDERR 0");  // the menu's music trace
    const int ran = MENU(0, 0);
    logPrint("STDERR 1");
    gdevSetInputHook(nullptr, nullptr);
    if (ran < 0) rc = logError(1, "%s: the menu did not run", kFn);
    if (rc == 0 && !R.written) rc = logError(1, "%s: page '%s' was not pictured", kFn, R.page->name);
  }
  gsSelect(nullptr);
  gsRelease(&screen);
  gdevDestroyDC(display);
  fxShutdown();
  tmSetTurbo(0);
  return rc;
}
