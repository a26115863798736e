#pragma once
// The menu's elements and pages, open to the tests.
#include "frontend/menu.h"

struct Sprite;
struct VBOBJ;

enum {
  MENU_MAX_ELEMENTS = 64,
  MENU_MAX_SPRITES = 256,
  MENU_MAX_FONTS = 16,
};

// Element kinds and animation states.
enum { MENU_BUTTON = 0, MENU_LABEL = 1 };
enum {
  MS_HIDDEN = 0,
  MS_APPEAR = 1,       // appnpass, then MS_IDLE
  MS_DIS_ACTIVE = 3,   // disnact: leaving after its own click, then MS_HIDDEN
  MS_DIS_PASSIVE = 4,  // disnpass: leaving after another's click, then MS_HIDDEN
  MS_LIT = 6,          // loopnact: highlighted, stays on its last frame
  MS_IDLE = 7,         // loopnpass: stays on its last frame
  MS_STATES = 8,
};

// Page control values.
enum {
  CTL_ERROR = -2,  // a page or the menu's data failed to load
  CTL_NONE = -1,
  CTL_MAIN = 0,
  CTL_REGIME = 1,
  CTL_CHAMP = 3,
  CTL_CREDITS = 4,
  CTL_QUIT = 5,
  CTL_GAME_COMM = 8,
  CTL_GAME_DEMO = 9,
  CTL_GAME_DICT = 10,
};

struct MenuElement {
  int kind;
  char name[64];
  Sprite* sprites[MS_STATES];  // by state; null where the kind has none
  int x, y;
  int ctl;
  int state;
  int frame;         // -1 while hidden
  int pending;       // state to enter when delay runs out, or -1
  double delay;      // ms
  VBOBJ* obj;
};

// The page on screen: its elements, the control value chosen so far and the
// page's menu mode (menuCurrentPage tells whether a page loop is on).
struct MenuPageState {
  MenuElement elements[MENU_MAX_ELEMENTS];
  int count;
  int result;
  int mode;
};
extern MenuPageState gMenuPage;

// Which page (its control value) the menu shows, CTL_NONE outside the pages.
int menuCurrentPage();
// The credits screen on show, -1 outside the credits page.
int menuCreditsScreen();

// Elements of the page being set up.
int CREATE_BUTTON(int index, const char* name, int ctl);
int CREATE_LABEL(int index, const char* name);
// 1, or 0 after logging when the state's sprite is missing.
int SETSTATE(MenuElement* e, int state);
// Any element appearing or disappearing (or waiting to).
bool menuBusy();
// A page is on, every element of it shown and still, nothing chosen yet:
// the moment a player's click or key is taken.
bool menuPageSettled();
// The middle of the named element's hot area on the page; false when the
// page has no such element.
bool menuElementCentre(const char* name, int* x, int* y);

// One step of the menu's dispatch: runs the page or the game the control
// value selects and returns the next control value (CTL_QUIT to leave,
// CTL_ERROR after a load failure).
int menuDispatch(int ctl, int record);
