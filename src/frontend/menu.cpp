#include "frontend/menu.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/conf.h"
#include "core/log.h"
#include "core/text.h"
#include "core/time.h"
#include "frontend/hof.h"
#include "frontend/menu_internal.h"
#include "game/score.h"
#include "game/trigger.h"
#include "gfx/font.h"
#include "gfx/hotarea.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "gfx/vid.h"
#include "platform/gdev.h"
#include "sound/fx.h"

MenuPageState gMenuPage;

namespace {

const char* const kBackground = "table/table-i-vorsk.bmp";
const char* const kCursor = "data/dialog-cursor.gsp";
const char* const kLogoBack = "data/menu/logo-back.gsp";
const char* const kLogo = "data/menu/logo-moving.gsp";
const char* const kControlFont = "titles/fonts/mach18xgold.fnp";

const char* const kButtons[] = {"ma_btn_start", "ma_btn_top",  "ma_btn_cred", "ma_btn_quit", "cr_btn_back",
                                "ch_btn_back",  "kb_btn_back", "re_btn_comm", "re_btn_demo", "re_btn_dict"};
const char* const kLabels[] = {"kb_lbl_lflip", "kb_lbl_rflip", "kb_lbl_giveball"};

// The sprite suffix of each state; null where no element has one.
const char* const kStateSuffix[MS_STATES] = {nullptr,      "appnpass", nullptr,     "disnact",
                                             "disnpass",   nullptr,    "loopnact",  "loopnpass"};

enum {
  SCAN_ESCAPE = 0x01,
  SCAN_TAB = 0x0F,
  SCAN_UP = 0x48,
  SCAN_LEFT = 0x4B,
  SCAN_RIGHT = 0x4D,
  SCAN_DOWN = 0x50,
  CHAR_ENTER = 13,
  CHAR_ESCAPE = 27,
  CHAR_SPACE = 32,
  SCREEN_CENTRE_X = 400,
  CREDITS_MAX_LINES = 32,
  HELP_MAX_LINES = 8,
};

MenuSession gSession = nullptr;
int gWriteBinary = 0;

// Configuration, read by the preload and kept to the end of the program.
ConfSet gMenuConf{};
ConfSet gCreditsConf{};
bool gConfLoaded = false;

struct MenuTiming {
  int animDelay, appearShift, clickShift;
} gTiming = {50, 50, 50};

// Named sprites of the menu ("ma_btn_start_appnpass" ...).
struct NamedSprite {
  char name[64];
  Sprite* sprite;
};
NamedSprite gSprites[MENU_MAX_SPRITES];
int gSpriteCount = 0;

struct NamedFont {
  char name[FNT_NAME_SIZE];
  Font* font;
};
NamedFont gFonts[MENU_MAX_FONTS];
int gFontCount = 0;

// What MENU_LOAD brings: the cursor, the two logo sprites with their board
// objects, and the looping video.
struct MenuData {
  Sprite* cursor;
  Sprite* logoBack;
  Sprite* logo;
  VBOBJ* cursorObj;
  VBOBJ* logoBackObj;
  VBOBJ* logoObj;
  VidClip video;
  bool videoOpen;
  int videoX, videoY, videoDelay;
  int logoDelay, logoBackDelay;
  int cursorX, cursorY;
} gData = {};

int gPage = CTL_NONE;
VBOARD gBoard;
GdevDC* gBackground = nullptr;
int gCreditsScreen = -1;

const char* confStr(ConfSet* set, const char* key, const char* fallback) { return conf_getstr(set, key, fallback); }

int elementInt(const char* name, const char* field, int fallback) {
  char key[128];
  std::snprintf(key, sizeof key, "%s.%s", name, field);
  return conf_getint(&gMenuConf, key, fallback);
}

// ---------------------------------------------------------------------------
// Sprites and fonts
// ---------------------------------------------------------------------------

Sprite* findSprite(const char* name) {
  for (int i = 0; i < gSpriteCount; i++)
    if (std::strcmp(gSprites[i].name, name) == 0) return gSprites[i].sprite;
  return nullptr;
}

// Loads "data/menu/<name with '-' for '_'>.gsp" and keeps it under name.
Sprite* LOADSPR(const char* name) {
  if (Sprite* s = findSprite(name)) return s;
  if (gSpriteCount >= MENU_MAX_SPRITES) {
    logError(0, "%s: can't proceed, all %d descriptors occupied", "LOADSPR()", MENU_MAX_SPRITES);
    return nullptr;
  }
  std::string path = std::string("data/menu/") + name + ".gsp";
  for (size_t i = sizeof "data/menu/" - 1; i < path.size(); i++)
    if (path[i] == '_') path[i] = '-';
  Sprite* s = SPR_CREATE(path.c_str());
  if (!s) {
    logError(0, "%s: error loading sprite '%s'", "LOADSPR()", path.c_str());
    return nullptr;
  }
  NamedSprite& slot = gSprites[gSpriteCount++];
  strCopyN(slot.name, name, sizeof slot.name);
  slot.sprite = s;
  return s;
}

// Loads the sprites of an element's states; false when one is missing.
bool loadStates(const char* name, const int* states, int count) {
  bool ok = true;
  for (int i = 0; i < count; i++) {
    char full[96];
    std::snprintf(full, sizeof full, "%s_%s", name, kStateSuffix[states[i]]);
    if (!LOADSPR(full)) ok = false;
  }
  return ok;
}

constexpr int kButtonStates[] = {MS_APPEAR, MS_DIS_ACTIVE, MS_DIS_PASSIVE, MS_LIT, MS_IDLE};
constexpr int kLabelStates[] = {MS_APPEAR, MS_DIS_PASSIVE, MS_IDLE};

int LOAD_BUTTON(const char* name) {
  if (!loadStates(name, kButtonStates, 5))
    return logError(-1, "%s: error loading button '%s' sprite(s)", "LOAD_BUTTON()", name);
  return 0;
}

int LOAD_LABEL(const char* name) {
  if (!loadStates(name, kLabelStates, 3))
    return logError(-1, "%s: error loading label '%s' sprite(s)", "LOAD_LABEL()", name);
  return 0;
}

Font* GET_MENU_FONT(const char* name) {
  for (int i = 0; i < gFontCount; i++)
    if (strcasecmp(gFonts[i].name, name) == 0) return gFonts[i].font;
  logError(0, "%s: font '%s' not loaded", "GET_MENU_FONT()", name);
  return nullptr;
}

int LOAD_MENU_FONTS() {
  for (int n = 0;; n++) {
    const char* name = conf_getstrf(&gMenuConf, "fonts.load%d", nullptr, n);
    if (!name) return 0;
    if (gFontCount >= MENU_MAX_FONTS)
      return logError(-1, "%s: error loading font '%s'", "LOAD_MENU_FONTS()", name);
    char path[256];
    std::snprintf(path, sizeof path, "titles/fonts/%s.fnp", name);
    Font* f = FNT_CREATE_ALT(path, name);
    if (!f) return logError(-1, "%s: error loading font '%s'", "LOAD_MENU_FONTS()", path);
    NamedFont& slot = gFonts[gFontCount++];
    strCopyN(slot.name, name, sizeof slot.name);
    slot.font = f;
  }
}

// ---------------------------------------------------------------------------
// Elements
// ---------------------------------------------------------------------------

int frameCount(const Sprite* s) { return s ? s->numfrms : 0; }

// The box (inclusive edges) of all frames of a sprite.
void spriteBox(const Sprite* s, int* l, int* t, int* r, int* b) {
  *l = *t = 1 << 30;
  *r = *b = -(1 << 30);
  for (int i = 0; i < s->numfrms; i++) {
    const SprFrame& f = s->frames[i];
    if (f.x0 >= f.x1 || f.y0 >= f.y1) continue;
    *l = std::min(*l, f.x0);
    *t = std::min(*t, f.y0);
    *r = std::max(*r, f.x1);
    *b = std::max(*b, f.y1);
  }
  if (*l > *r) *l = *t = *r = *b = 0;
}

void showElement(MenuElement* e) {
  if (!e->obj) return;
  if (e->state == MS_HIDDEN || !e->sprites[e->state]) {
    vbSetSprite(e->obj, nullptr);
    return;
  }
  if (e->obj->sprite != e->sprites[e->state]) vbSetSprite(e->obj, e->sprites[e->state]);
  vbSetFrame(e->obj, e->frame);
}

void clickElement(int index);

// Mouse over an element: only buttons answer, and only while nothing moves.
int elementArea(HotArea* area, const HaMessage* m) {
  if (area->id < 0 || area->id >= gMenuPage.count) return 1;
  MenuElement* e = &gMenuPage.elements[area->id];
  if (e->kind != MENU_BUTTON) return 1;
  switch (m->code) {
    case HM_MOUSEIN:
      if (!menuBusy() && e->state == MS_IDLE) {
        // One element lit at a time, whether the keyboard or the mouse lit it.
        for (int i = 0; i < gMenuPage.count; i++)
          if (gMenuPage.elements[i].state == MS_LIT) SETSTATE(&gMenuPage.elements[i], MS_IDLE);
        SETSTATE(e, MS_LIT);
      }
      break;
    case HM_MOUSEOUT:
      if (e->state == MS_LIT) SETSTATE(e, MS_IDLE);
      break;
    case HM_MOUSECLICK:
      if (!menuBusy()) clickElement(area->id);
      break;
    default: break;
  }
  return 1;
}

int createElement(int index, const char* name, int kind, int ctl) {
  const char* fn = kind == MENU_BUTTON ? "CREATE_BUTTON()" : "CREATE_LABEL()";
  if (index < 0 || index >= MENU_MAX_ELEMENTS)
    return logError(-1, "%s: can't add element, all %d descriptors occupied", fn, MENU_MAX_ELEMENTS);
  MenuElement* e = &gMenuPage.elements[index];
  *e = MenuElement{};
  e->kind = kind;
  strCopyN(e->name, name, sizeof e->name);
  const int* states = kind == MENU_BUTTON ? kButtonStates : kLabelStates;
  int n = kind == MENU_BUTTON ? 5 : 3;
  for (int i = 0; i < n; i++) {
    char full[96];
    std::snprintf(full, sizeof full, "%s_%s", name, kStateSuffix[states[i]]);
    e->sprites[states[i]] = findSprite(full);
    if (!e->sprites[states[i]]) return logError(-1, "%s: unable to get sprite '%s'", fn, full);
  }
  e->x = elementInt(name, "dx", 0);
  e->y = elementInt(name, "dy", 0);
  e->ctl = ctl;
  e->state = MS_HIDDEN;
  e->frame = -1;
  e->pending = MS_APPEAR;
  e->delay = static_cast<double>(index) * gTiming.appearShift;
  e->obj = vbAddObject(nullptr, -1, e->x, e->y);
  if (!e->obj) return logError(-1, "%s: can't add element, all %d descriptors occupied", fn, MENU_MAX_ELEMENTS);
  int l, t, r, b;
  spriteBox(e->sprites[MS_APPEAR], &l, &t, &r, &b);
  if (!haCreateRect(index, elementArea, e->x + l, e->y + t, r - l + 1, b - t + 1)) {
    vbDelObject(e->obj);
    e->obj = nullptr;
    return logError(-1, "%s: can't add element, all %d descriptors occupied", fn, MENU_MAX_ELEMENTS);
  }
  if (index >= gMenuPage.count) gMenuPage.count = index + 1;
  return 0;
}

// One animation step of an element: the pending state when its delay runs
// out, else the next frame of its state.
void advanceElement(MenuElement* e, double delta) {
  if (e->pending >= 0) {
    e->delay -= delta;
    if (e->delay <= 1e-6) {
      int next = e->pending;
      e->pending = -1;
      SETSTATE(e, next);
    }
    return;
  }
  if (e->state == MS_HIDDEN) return;
  int frames = frameCount(e->sprites[e->state]);
  if (e->frame + 1 < frames) {
    e->frame++;
    showElement(e);
    return;
  }
  switch (e->state) {
    case MS_APPEAR: SETSTATE(e, MS_IDLE); break;
    case MS_DIS_ACTIVE:
    case MS_DIS_PASSIVE: SETSTATE(e, MS_HIDDEN); break;
    default: break;  // lit and idle stay on their last frame
  }
}

bool allHidden() {
  for (int i = 0; i < gMenuPage.count; i++) {
    const MenuElement& e = gMenuPage.elements[i];
    if (e.state != MS_HIDDEN || e.pending >= 0) return false;
  }
  return true;
}

// The clicked element leaves actively, the others follow after the click
// delay; the page's result is the clicked element's control value.
void clickElement(int index) {
  for (int i = 0; i < gMenuPage.count; i++) {
    MenuElement* e = &gMenuPage.elements[i];
    if (i == index) {
      SETSTATE(e, MS_DIS_ACTIVE);
    } else if (e->state != MS_HIDDEN) {
      e->pending = MS_DIS_PASSIVE;
      e->delay = gTiming.clickShift;
    }
  }
  gMenuPage.result = gMenuPage.elements[index].ctl;
}

void leavePage(int result) {
  for (int i = 0; i < gMenuPage.count; i++) {
    MenuElement* e = &gMenuPage.elements[i];
    if (e->state == MS_HIDDEN) continue;
    e->pending = MS_DIS_PASSIVE;
    e->delay = gTiming.clickShift;
  }
  gMenuPage.result = result;
}

// The buttons that can be lit, in page order; the arrow keys step through them.
int litButton() {
  for (int i = 0; i < gMenuPage.count; i++)
    if (gMenuPage.elements[i].state == MS_LIT) return i;
  return -1;
}

void stepHighlight(int direction) {
  if (menuBusy()) return;
  int n = gMenuPage.count;
  int from = litButton();
  int start = from >= 0 ? from : (direction > 0 ? n - 1 : 0);
  for (int k = 1; k <= n; k++) {
    int i = ((start + direction * k) % n + n) % n;
    MenuElement* e = &gMenuPage.elements[i];
    if (e->kind != MENU_BUTTON || e->state != MS_IDLE) continue;
    if (from >= 0) SETSTATE(&gMenuPage.elements[from], MS_IDLE);
    SETSTATE(e, MS_LIT);
    return;
  }
}

// ---------------------------------------------------------------------------
// Texts drawn as board strings
// ---------------------------------------------------------------------------

struct TextBlock {
  VBSTR strings[CREDITS_MAX_LINES + 2 * HOF_ENTRIES + 1];
  int count;
} gText;

void textClear() {
  for (int i = 0; i < gText.count; i++) vbStrFree(&gText.strings[i]);
  gText.count = 0;
}

// Draws text with its left edge at x (or its right edge, when rightAligned).
void textAdd(Font* font, int x, int y, const char* text, bool rightAligned = false) {
  if (!font || gText.count >= static_cast<int>(sizeof gText.strings / sizeof gText.strings[0])) return;
  VBSTR* s = &gText.strings[gText.count++];
  vbStrCreate(s, font);
  if (rightAligned) x -= vbStrWidth(s, text);
  vbStrDraw(s, x, y, text);
}

void textCentred(Font* font, int centreX, int y, const char* text) {
  if (!font) return;
  VBSTR probe{};
  vbStrCreate(&probe, font);
  textAdd(font, centreX - vbStrWidth(&probe, text) / 2, y, text);
}

// ---------------------------------------------------------------------------
// Pages
// ---------------------------------------------------------------------------

struct ElementDesc {
  const char* name;
  int ctl;
};

struct PageDesc {
  const char* name;
  int ctl;
  int mode;
  const ElementDesc* elements;
  int count;
  void (*setup)();
  void (*frame)();
  // The page's own answer to an event; true when it took the event.
  bool (*event)(const GdevEvent* e);
};

double gLogoClock = 0, gLogoBackClock = 0;

void showLogos(bool show) {
  if (gData.logoBackObj) vbSetFrame(gData.logoBackObj, show ? 0 : -1);
  if (gData.logoObj) vbSetFrame(gData.logoObj, show ? 0 : -1);
  gLogoClock = gLogoBackClock = tmTime;
}

void mainSetup() { showLogos(true); }

// The moving logo and its background run at their own frame rates.
void mainFrame() {
  if (gData.logoObj && gData.logoDelay > 0 && tmTime - gLogoClock >= gData.logoDelay - 1e-6) {
    vbNextFrame(gData.logoObj);
    gLogoClock = tmTime;
  }
  if (gData.logoBackObj && gData.logoBackDelay > 0 && tmTime - gLogoBackClock >= gData.logoBackDelay - 1e-6) {
    vbNextFrame(gData.logoBackObj);
    gLogoBackClock = tmTime;
  }
}

// The keys, shown under the regime buttons before a game starts.
void regimeSetup() {
  const char* fontName = confStr(&gMenuConf, "help.font", nullptr);
  if (!fontName) return;
  Font* font = GET_MENU_FONT(fontName);
  int centre = conf_getint(&gMenuConf, "help.x", SCREEN_CENTRE_X);
  int y = conf_getint(&gMenuConf, "help.y", 480);
  int step = conf_getint(&gMenuConf, "help.ystep", font ? fntLineHeight(font) : 20);
  for (int n = 0; n < HELP_MAX_LINES; n++) {
    const char* line = conf_getstrf(&gMenuConf, "help.line%d", nullptr, n);
    if (!line) break;
    textCentred(font, centre, y + n * step, line);
  }
}

void champSetup() {
  Font* heading = GET_MENU_FONT(confStr(&gMenuConf, "champ.heading_font", "heading_font-undef"));
  Font* nameFont = GET_MENU_FONT(confStr(&gMenuConf, "champ.name_font", "name_font-undef"));
  Font* scoreFont = GET_MENU_FONT(confStr(&gMenuConf, "champ.score_font", "score_font-undef"));
  textCentred(heading, SCREEN_CENTRE_X, conf_getint(&gMenuConf, "champ.heading_y", 100),
              utf8ToCp1251("ЧЕМПИОНЫ").c_str());
  int firstY = conf_getint(&gMenuConf, "champ.firstname_y", 200);
  int step = conf_getint(&gMenuConf, "champ.name_ystep", 30);
  int nameX = conf_getint(&gMenuConf, "champ.name_x", 300);
  int scoreX = conf_getint(&gMenuConf, "champ.score_x", 500);
  for (int n = 0; n < HOF_ENTRIES; n++) {
    int y = firstY + n * step;
    textAdd(nameFont, nameX, y, hofName(n), true);
    textAdd(scoreFont, scoreX, y, scoreFormat(hofScore(n)));
  }
}

// Credits: screens of centred lines, one after another.
double gCreditsShown = 0;

int creditsLines(int screen) {
  int n = 0;
  char key[64];
  while (n < CREDITS_MAX_LINES) {
    std::snprintf(key, sizeof key, "screen%d.line%d", screen, n);
    if (!conf_getstr(&gCreditsConf, key, nullptr)) break;
    n++;
  }
  return n;
}

void showCreditsScreen(int screen) {
  textClear();
  if (creditsLines(screen) == 0) screen = 0;
  gCreditsScreen = screen;
  gCreditsShown = tmTime;
  int lines = creditsLines(screen);
  const char* defFont = confStr(&gCreditsConf, "font", "def_credits_font");
  Font* fonts[CREDITS_MAX_LINES] = {};
  const char* texts[CREDITS_MAX_LINES] = {};
  int total = 0;
  char key[64];
  for (int n = 0; n < lines; n++) {
    std::snprintf(key, sizeof key, "screen%d.line%d", screen, n);
    texts[n] = conf_getstr(&gCreditsConf, key, "");
    std::snprintf(key, sizeof key, "screen%d.font%d", screen, n);
    fonts[n] = GET_MENU_FONT(conf_getstr(&gCreditsConf, key, defFont));
    total += fonts[n] ? fntLineHeight(fonts[n]) : 0;
  }
  int y = conf_getint(&gCreditsConf, "ycenter", 300) - total / 2;
  for (int n = 0; n < lines; n++) {
    textCentred(fonts[n], SCREEN_CENTRE_X, y, texts[n]);
    y += fonts[n] ? fntLineHeight(fonts[n]) : 0;
  }
}

void creditsSetup() { showCreditsScreen(0); }

void creditsFrame() {
  if (menuBusy() || gMenuPage.result != CTL_NONE) return;
  int fallback = conf_getint(&gCreditsConf, "delay", 2000);
  int delay = conf_getintf(&gCreditsConf, "screen%d.delay", fallback, gCreditsScreen);
  if (tmTime - gCreditsShown >= delay) showCreditsScreen(gCreditsScreen + 1);
}

// Space, or a click beside the button, turns the page at once.
bool creditsEvent(const GdevEvent* e) {
  if (gMenuPage.result != CTL_NONE) return false;
  if ((e->what == GDEV_EVT_KEYDOWN && gdevEventChar(e) == CHAR_SPACE) ||
      (e->what == GDEV_EVT_MOUSEDOWN && haFind(e->x, e->y) < 0)) {
    showCreditsScreen(gCreditsScreen + 1);
    return e->what == GDEV_EVT_KEYDOWN;
  }
  return false;
}

constexpr ElementDesc kMainElements[] = {
    {"ma_btn_start", CTL_REGIME}, {"ma_btn_top", CTL_CHAMP}, {"ma_btn_cred", CTL_CREDITS}, {"ma_btn_quit", CTL_QUIT}};
constexpr ElementDesc kRegimeElements[] = {
    {"re_btn_comm", CTL_GAME_COMM}, {"re_btn_demo", CTL_GAME_DEMO}, {"re_btn_dict", CTL_GAME_DICT}};
constexpr ElementDesc kChampElements[] = {{"ch_btn_back", CTL_MAIN}};
constexpr ElementDesc kCreditsElements[] = {{"cr_btn_back", CTL_MAIN}};

constexpr PageDesc kMainPage = {"SUBMENU_MAIN()", CTL_MAIN, 0, kMainElements, 4, mainSetup, mainFrame, nullptr};
constexpr PageDesc kRegimePage = {"SUBMENU_REGIME()", CTL_REGIME, 4, kRegimeElements, 3, regimeSetup, nullptr,
                                  nullptr};
constexpr PageDesc kChampPage = {"SUBMENU_CHAMP()", CTL_CHAMP, 3, kChampElements, 1, champSetup, nullptr, nullptr};
constexpr PageDesc kCreditsPage = {"SUBMENU_CREDITS()", CTL_CREDITS, 2, kCreditsElements, 1, creditsSetup,
                                   creditsFrame, creditsEvent};

void clearPage() {
  for (int i = 0; i < gMenuPage.count; i++)
    if (gMenuPage.elements[i].obj) vbDelObject(gMenuPage.elements[i].obj);
  gMenuPage.count = 0;
  haInit();
  textClear();
}

int gVideoFrame = -1;
double gVideoClock = 0;

// The video is drawn straight onto the screen after the board is restored,
// under the board's objects.
void drawVideo(bool full) {
  if (!gData.videoOpen || gData.video.frames <= 0) return;
  bool advance = gData.videoDelay > 0 && tmTime - gVideoClock >= gData.videoDelay - 1e-6;
  if (gVideoFrame < 0 || advance) {
    gVideoFrame = gVideoFrame < 0 ? 0 : (gVideoFrame + 1) % gData.video.frames;
    gVideoClock = tmTime;
  } else if (!full) {
    return;
  }
  if (vidPutFrame(&gData.video, VID_DRAW_PLAIN, gVideoFrame, gData.videoX, gData.videoY))
    gsAddDirty(gData.videoX, gData.videoY, gData.video.width, gData.video.height);
}

void handleEvent(const PageDesc& page, const GdevEvent& e, bool* redraw) {
  if (e.what == GDEV_EVT_MOUSEMOVE || e.what == GDEV_EVT_MOUSEDOWN || e.what == GDEV_EVT_MOUSEUP) {
    gData.cursorX = e.x;
    gData.cursorY = e.y;
    if (gData.cursorObj) vbSetXY(gData.cursorObj, e.x, e.y);
  }
  if (e.what == GDEV_EVT_USER) *redraw = true;
  if (page.event && page.event(&e)) return;
  if (e.what == GDEV_EVT_KEYDOWN || e.what == GDEV_EVT_KEYREPEAT) {
    int ch = gdevEventChar(&e), scan = gdevEventScan(&e);
    if (ch == CHAR_SPACE) *redraw = true;
    if ((ch == CHAR_ESCAPE || scan == SCAN_ESCAPE) && e.what == GDEV_EVT_KEYDOWN && !menuBusy() &&
        gMenuPage.result == CTL_NONE)
      leavePage(page.ctl == CTL_MAIN ? CTL_QUIT : CTL_MAIN);
    if (scan == SCAN_UP || scan == SCAN_LEFT) stepHighlight(-1);
    if (scan == SCAN_DOWN || scan == SCAN_RIGHT || scan == SCAN_TAB) stepHighlight(1);
    if (ch == CHAR_ENTER && e.what == GDEV_EVT_KEYDOWN && !menuBusy() && gMenuPage.result == CTL_NONE) {
      int lit = litButton();
      if (lit >= 0) clickElement(lit);
    }
  }
  if ((e.what & GDEV_EVT_MOUSEEVT) && gMenuPage.result == CTL_NONE) haEvent(&e);
}

// The loop of every page: elements appear, answer the mouse and the keys,
// and leave; the page ends when the last one is gone.
int runPage(const PageDesc& page) {
  clearPage();
  for (int i = 0; i < page.count; i++) {
    if (CREATE_BUTTON(i, page.elements[i].name, page.elements[i].ctl) < 0) {
      clearPage();
      logError(-1, "%s: error creating elements", page.name);
      return CTL_ERROR;
    }
  }
  gMenuPage.result = CTL_NONE;
  gMenuPage.mode = page.mode;
  gPage = page.ctl;
  showLogos(false);
  if (page.setup) page.setup();

  gdevFlushEvents(GDEV_EVT_EVERY);
  bool redraw = true, first = true;
  double animClock = tmTime;
  while (true) {
    if (gdevQuitRequested()) {
      // Closing the window leaves the menu from any page.
      gMenuPage.result = CTL_QUIT;
      break;
    }
    GdevEvent e;
    if (gdevGetEvent(&e, GDEV_EVT_EVERY, true)) handleEvent(page, e, &redraw);
    tmBeginFrame();
    tmMarkFrame();
    if (first || tmTime - animClock >= gTiming.animDelay - 1e-6) {
      double delta = first ? 0.0 : tmTime - animClock;
      for (int i = 0; i < gMenuPage.count; i++) advanceElement(&gMenuPage.elements[i], delta);
      animClock = tmTime;
      first = false;
    }
    bool done = allHidden();
    if (page.frame && !done) page.frame();
    vbRestore(redraw ? 1 : 0);
    drawVideo(redraw);
    redraw = false;
    vbDraw();
    fxUpdate();
    tmEndFrame();
    gsUpdate(0);
    if (done) break;
  }
  gPage = CTL_NONE;
  gCreditsScreen = -1;
  clearPage();
  if (gMenuPage.result == CTL_NONE) gMenuPage.result = CTL_MAIN;
  return gMenuPage.result;
}

// The menu's own data, freed before a game and loaded again after it.
void MENU_FREE() {
  clearPage();
  if (gData.cursorObj) vbDelObject(gData.cursorObj);
  if (gData.logoBackObj) vbDelObject(gData.logoBackObj);
  if (gData.logoObj) vbDelObject(gData.logoObj);
  // The board lets go of the dead objects before their sprites are freed.
  if (vbCurrent == &gBoard) vbRestore(0);
  if (gData.videoOpen) vidClose(&gData.video);
  if (gData.cursor) SPR_FREE(gData.cursor);
  if (gData.logoBack) SPR_FREE(gData.logoBack);
  if (gData.logo) SPR_FREE(gData.logo);
  for (int i = 0; i < gSpriteCount; i++) SPR_FREE(gSprites[i].sprite);
  gSpriteCount = 0;
  for (int i = 0; i < gFontCount; i++) FNT_FREE(gFonts[i].font);
  gFontCount = 0;
  gData = MenuData{};
  gVideoFrame = -1;
}

// The table picture behind every page, in the screen's size and format.
GdevDC* loadBackground(const char* file) {
  if (!gsCurrent || !gsCurrent->dc) return nullptr;
  GdevBitmap* bmp = gdevLoadBitmap(file);
  if (!bmp) return nullptr;
  const GdevDC* screen = gsCurrent->dc;
  GdevDC* dc = gdevCreateMemoryDC(screen->width, screen->height, screen->bitsPerPixel, &screen->format);
  if (dc) gdevPutBitmap(dc, 0, 0, bmp);
  gdevFreeBitmap(bmp);
  return dc;
}

void fullRedraw() {
  vbRestore(1);
  vbDraw();
  gsUpdate(0);
}

}  // namespace

// ---------------------------------------------------------------------------
// Interface
// ---------------------------------------------------------------------------

void menuSetSession(MenuSession session) { gSession = session; }

int menuCurrentPage() { return gPage; }
int menuCreditsScreen() { return gCreditsScreen; }

bool menuBusy() {
  for (int i = 0; i < gMenuPage.count; i++) {
    const MenuElement& e = gMenuPage.elements[i];
    if (e.pending >= 0 || e.state == MS_APPEAR || e.state == MS_DIS_ACTIVE || e.state == MS_DIS_PASSIVE)
      return true;
  }
  return false;
}

bool menuPageSettled() {
  if (gPage == CTL_NONE || menuBusy() || gMenuPage.result != CTL_NONE) return false;
  for (int i = 0; i < gMenuPage.count; i++)
    if (gMenuPage.elements[i].state != MS_IDLE && gMenuPage.elements[i].state != MS_LIT) return false;
  return true;
}

bool menuElementCentre(const char* name, int* x, int* y) {
  for (int i = 0; i < gMenuPage.count; i++) {
    if (std::strcmp(gMenuPage.elements[i].name, name) != 0) continue;
    const HotArea* a = haGet(i);
    if (!a) return false;
    *x = a->x + a->width / 2;
    *y = a->y + a->height / 2;
    return true;
  }
  return false;
}

int SETSTATE(MenuElement* e, int state) {
  if (state != MS_HIDDEN && (state < 0 || state >= MS_STATES || !e->sprites[state]))
    return logError(0, "%s: can't assign state %d to element '%s' because sprite is NULL, SE", "SETSTATE()", state,
                    e->name);
  e->state = state;
  e->frame = state == MS_HIDDEN ? -1 : 0;
  showElement(e);
  return 1;
}

int CREATE_BUTTON(int index, const char* name, int ctl) { return createElement(index, name, MENU_BUTTON, ctl); }
int CREATE_LABEL(int index, const char* name) { return createElement(index, name, MENU_LABEL, CTL_NONE); }

int MENU_PRELOAD(int writeBinary) {
  gWriteBinary = writeBinary;
  if (gConfLoaded) {
    conf_free(&gMenuConf);
    conf_free(&gCreditsConf);
    gConfLoaded = false;
  }
  int rc = 0;
  if (conf_anyread(&gMenuConf, "MENU_PRELOAD()", "conf/menu.conf", "conf/menu.bcf", writeBinary) < 0) rc = -1;
  if (conf_anyread(&gCreditsConf, "MENU_PRELOAD()", "conf/credits.conf", "conf/credits.bcf", writeBinary) < 0)
    rc = -1;
  gConfLoaded = true;
  gTiming.animDelay = conf_getint(&gMenuConf, "anim_delay", 50);
  gTiming.appearShift = conf_getint(&gMenuConf, "appear_shift", 50);
  gTiming.clickShift = conf_getint(&gMenuConf, "click_shift", 50);
  return rc;
}

int MENU_LOAD() {
  constexpr const char* fn = "MENU_LOAD()";
  MENU_FREE();
  for (const char* name : kLabels) {
    logDebug(3, "at load_label('%s')", name);
    if (LOAD_LABEL(name) < 0) return logError(-1, "%s: error loading element sprites", fn);
  }
  for (const char* name : kButtons) {
    logDebug(3, "at load_button('%s')", name);
    if (LOAD_BUTTON(name) < 0) return logError(-1, "%s: error loading element sprites", fn);
  }
  if (!(gData.cursor = SPR_CREATE(kCursor))) return logError(-1, "%s: error loading cursor sprite '%s'", fn, kCursor);
  gData.cursorObj = vbAddObject(gData.cursor, 0, -100, -100);
  if (gData.cursorObj) vbSetLayer(gData.cursorObj, 1);
  gData.cursorX = gData.cursorY = -100;
  if (!(gData.logoBack = SPR_CREATE(kLogoBack)))
    return logError(-1, "%s: error loading logo background sprite '%s'", fn, kLogoBack);
  gData.logoBackObj = vbAddObject(gData.logoBack, 0, conf_getint(&gMenuConf, "logoback_dx", 0),
                                  conf_getint(&gMenuConf, "logoback_dy", 0));
  if (!(gData.logo = SPR_CREATE(kLogo))) return logError(-1, "%s: error loading logo sprite '%s'", fn, kLogo);
  gData.logoObj =
      vbAddObject(gData.logo, 0, conf_getint(&gMenuConf, "logo_dx", 0), conf_getint(&gMenuConf, "logo_dy", 0));
  gData.logoDelay = conf_getint(&gMenuConf, "logo_delay", 10);
  gData.logoBackDelay = conf_getint(&gMenuConf, "logoback_delay", 10);
  showLogos(false);

  const char* video = confStr(&gMenuConf, "video_file", "video_file-undef");
  logDebug(3, "at vidOpen('%s')", video);
  if (!vidOpen(&gData.video, video)) return logError(-1, "%s: error opening video file '%s'", fn, video);
  gData.videoOpen = true;
  logDebug(3, "at vidLoad('%s')", video);
  if (!vidLoad(&gData.video)) return logError(-1, "%s: error loading video file '%s'", fn, video);
  gData.videoX = conf_getint(&gMenuConf, "video_dx", 0);
  gData.videoY = conf_getint(&gMenuConf, "video_dy", 0);
  gData.videoDelay = conf_getint(&gMenuConf, "video_delay", 10);
  if (LOAD_MENU_FONTS() < 0) return logError(-1, "%s: error loading fonts", fn);
  return 0;
}

int menuDispatch(int ctl, int record) {
  switch (ctl) {
    case CTL_NONE:
    case CTL_MAIN: return runPage(kMainPage);
    case CTL_REGIME: return runPage(kRegimePage);
    case CTL_CHAMP: return runPage(kChampPage);
    case CTL_CREDITS: {
      MUSIC_TRIGGER(TR_MENU_CREDITS);
      int next = runPage(kCreditsPage);
      MUSIC_TRIGGER(TR_MENU);
      return next;
    }
    case CTL_QUIT: return CTL_QUIT;
    case CTL_GAME_COMM:
    case CTL_GAME_DEMO:
    case CTL_GAME_DICT: {
      MUSIC_TRIGGER(TR_MENU_START);
      MENU_FREE();
      fullRedraw();
      VBOARD* board = vbCurrent;
      logDebug(1, "at mile3()");
      int rc = gSession ? gSession(nullptr, record, 0, ctl - CTL_GAME_COMM) : -1;
      logDebug(1, "mile3() ret %d", rc);
      // The session leaves its own board, rate and picture behind.
      vbSelect(board);
      tmSetRate(60, 0);
      if (gdevQuitRequested()) return CTL_QUIT;
      if (MENU_LOAD() < 0) {
        logError(-1, "%s: error loading data", "MENU()");
        return CTL_ERROR;
      }
      MUSIC_TRIGGER(TR_MENU);
      fullRedraw();
      return CTL_MAIN;
    }
    default:
      logError(0, "%s: unknown ctl %d, resetting to -1, SE", "MENU()", ctl);
      return CTL_NONE;
  }
}

int MENU(int writeBinary, int record) {
  constexpr const char* fn = "MENU()";
  gWriteBinary = writeBinary;
  logDebug(2, "at MGL_createMemoryDC()");
  gBackground = loadBackground(kBackground);
  if (!gBackground) return logError(-1, "%s: error loading main background '%s'", fn, kBackground);
  logDebug(2, "at vbCreate()");
  vbCreate(&gBoard, gBackground);
  VBOARD* previous = vbSelect(&gBoard);
  int result = 0;
  Font* controlFont = nullptr;
  logDebug(2, "at menu_load()");
  if (MENU_LOAD() < 0) {
    result = logError(-1, "%s: error loading data", fn);
  } else {
    tmSetRate(60, 0);
    logDebug(2, "at control loop");
    controlFont = FNT_CREATE(kControlFont);
    if (!controlFont) {
      result = logError(-1, "%s: error loading font '%s'", fn, kControlFont);
    } else {
      MUSIC_TRIGGER(TR_MENU);
      logDebug(2, "at CL");
      int ctl = CTL_MAIN;
      while (ctl != CTL_QUIT) {
        ctl = menuDispatch(ctl, record);
        if (ctl == CTL_ERROR) {
          result = -1;
          break;
        }
      }
    }
  }
  logDebug(2, "at local resource freeup");
  MUSIC_TRIGGER(TR_MENU_QUIT);
  if (controlFont) FNT_FREE(controlFont);
  logDebug(2, "at menu_free()");
  MENU_FREE();
  vbDeselect(&gBoard);
  if (previous) vbSelect(previous);
  vbFree(&gBoard);
  gdevDestroyDC(gBackground);
  gBackground = nullptr;
  return result;
}
