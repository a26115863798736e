#include "frontend/namedlg.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/log.h"
#include "core/text.h"
#include "core/time.h"
#include "gfx/font.h"
#include "gfx/frame.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/subscreen.h"
#include "gfx/vboard.h"
#include "platform/gdev.h"
#include "sound/fx.h"

namespace {

constexpr const char* kFont = "titles/fonts/plain16.fnp";
constexpr const char* kCaptionFont = "titles/fonts/mach18xgold.fnp";
constexpr const char* kCursor = "data/dialog-cursor.gsp";

enum {
  CHAR_BACKSPACE = 8,
  CHAR_ENTER = 13,
  CHAR_ESCAPE = 27,
  // The caret is on for this many frames, then off as long.
  BLINK_FRAMES = 30,
  // Space between the edit field's border and its text.
  EDIT_PADDING = 6,
  CARET_WIDTH = 2,
};

struct Box {
  int x, y, w, h;
  bool contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

// The layout: a classic small dialog of 123 x 47 dialog units (an edit
// field over two buttons) at three pixels per unit across and two down,
// below a caption bar.
constexpr Box kWindow = {NAMEDLG_LEFT, NAMEDLG_TOP, NAMEDLG_WIDTH, NAMEDLG_HEIGHT};
constexpr Box kCaption = {NAMEDLG_LEFT, NAMEDLG_TOP, NAMEDLG_WIDTH, NAMEDLG_CAPTION_HEIGHT};
constexpr int kClientTop = NAMEDLG_TOP + NAMEDLG_CAPTION_HEIGHT;
constexpr Box kEdit = {NAMEDLG_LEFT + 21, kClientTop + 14, 327, 28};
constexpr Box kButtons[2] = {{NAMEDLG_LEFT + 21, kClientTop + 52, 150, 28},
                             {NAMEDLG_LEFT + 198, kClientTop + 52, 150, 28}};

struct Rgb {
  int r, g, b;
};
constexpr Rgb kBorder = {196, 202, 222};
constexpr Rgb kCaptionFill = {28, 38, 82};
constexpr Rgb kPanelFill = {34, 37, 48};
constexpr Rgb kEditFill = {66, 71, 92};
constexpr Rgb kButtonFill = {52, 56, 74};
constexpr Rgb kButtonLit = {84, 98, 150};
constexpr Rgb kButtonPressed = {110, 126, 188};
constexpr Rgb kCaret = {240, 240, 240};

struct NameDialog {
  bool open;
  int limit;  // characters the field takes
  char text[NAMEDLG_MAX_CHARS + 1];
  bool textChanged;
  int result;     // 0 while open
  int lit;        // button under the pointer, -1 none
  int pressed;    // button the left button went down on, -1 none
  int frames;     // frames drawn
  int caretFrom;  // the frame the caret was last turned on (by an edit)
  bool redraw;
  Font* font;
  Font* captionFont;  // the plain font when the caption's own is missing
  Sprite* cursorSprite;
  VBOBJ* panel;
  VBOBJ* cursor;
  VBSTR caption, edit, buttonText[2];
  int editTextWidth;  // width of the part of the text shown
};

NameDialog D;

void fill(GdevDC* dc, const Box& b, Rgb c) {
  GdevDC* previous = gdevCurrentDC();
  gdevMakeCurrent(dc);
  gdevSetColorRGB(c.r, c.g, c.b);
  gdevFillRect(b.x, b.y, b.w, b.h);
  gdevMakeCurrent(previous);
}

// A box filled inside a one-pixel border.
void framed(GdevDC* dc, const Box& b, Rgb border, Rgb inside) {
  fill(dc, b, border);
  fill(dc, Box{b.x + 1, b.y + 1, b.w - 2, b.h - 2}, inside);
}

bool caretOn() { return ((D.frames - D.caretFrom) / BLINK_FRAMES) % 2 == 0; }

// The board object under the text: the window, the field, the buttons and
// the caret, in plain rectangles.
void drawPanel(VBOBJ* obj) {
  if (!gsCurrent || !gsCurrent->dc) return;
  GdevDC* dc = gsCurrent->dc;
  framed(dc, kWindow, kBorder, kPanelFill);
  fill(dc, Box{kCaption.x + 1, kCaption.y + 1, kCaption.w - 2, kCaption.h - 1}, kCaptionFill);
  fill(dc, Box{kCaption.x, kCaption.y + kCaption.h - 1, kCaption.w, 1}, kBorder);
  framed(dc, kEdit, kBorder, kEditFill);
  for (int i = 0; i < 2; i++) {
    Rgb inside = kButtonFill;
    if (D.lit == i) inside = D.pressed == i ? kButtonPressed : kButtonLit;
    framed(dc, kButtons[i], kBorder, inside);
  }
  if (caretOn()) {
    const int h = std::max(fntLineHeight(D.font) - 2, 8);
    fill(dc, Box{kEdit.x + EDIT_PADDING + D.editTextWidth + 1, kEdit.y + (kEdit.h - h) / 2, CARET_WIDTH, h},
         kCaret);
  }
  obj->left = kWindow.x;
  obj->top = kWindow.y;
  obj->right = kWindow.x + kWindow.w - 1;
  obj->bottom = kWindow.y + kWindow.h - 1;
}

// Board strings go over the panel.
void raise(VBSTR* str) {
  for (int i = 0; i < str->count; i++) vbSetLayer(str->objects[i], 1);
}

void placeText(VBSTR* str, const Box& b, const char* text, bool centred) {
  const int w = vbStrWidth(str, text);
  const int x = centred ? b.x + (b.w - w) / 2 : b.x + EDIT_PADDING;
  vbStrDraw(str, x, b.y + (b.h - fntLineHeight(str->font)) / 2, text);
  raise(str);
}

// The field scrolls: it shows the longest tail of the text that leaves room
// for the caret.
void showEditText() {
  const int room = kEdit.w - 2 * EDIT_PADDING - CARET_WIDTH - 1;
  const char* shown = D.text;
  while (*shown && vbStrWidth(&D.edit, shown) > room) shown++;
  D.editTextWidth = vbStrWidth(&D.edit, shown);
  placeText(&D.edit, kEdit, shown, false);
  D.textChanged = false;
}

void edited() {
  D.textChanged = true;
  D.caretFrom = D.frames;
}

void typeText() {
  char typed[64];
  if (gdevTakeText(typed, sizeof typed) == 0) return;
  size_t n = std::strlen(D.text);
  for (const char* c = typed; *c && n < static_cast<size_t>(D.limit); c++) D.text[n++] = *c;
  D.text[n] = '\0';
  edited();
}

int buttonAt(int x, int y) {
  for (int i = 0; i < 2; i++)
    if (kButtons[i].contains(x, y)) return i;
  return -1;
}

int resultOf(int button) { return button == NAMEDLG_BUTTON_OK ? NAMEDLG_OK : NAMEDLG_CANCEL; }

void handle(const GdevEvent& e) {
  if (e.what == GDEV_EVT_KEYDOWN || e.what == GDEV_EVT_KEYREPEAT) {
    switch (gdevEventChar(&e)) {
      case CHAR_BACKSPACE:
        if (const size_t n = std::strlen(D.text)) {
          D.text[n - 1] = '\0';
          edited();
        }
        break;
      case CHAR_ENTER: D.result = NAMEDLG_OK; break;
      case CHAR_ESCAPE: D.result = NAMEDLG_CANCEL; break;
      default: break;  // letters come as typed text
    }
  }
  if (e.what & GDEV_EVT_MOUSEEVT) {
    if (D.cursor) vbSetXY(D.cursor, e.x, e.y);
    const int at = buttonAt(e.x, e.y);
    D.lit = at;
    // A button is clicked as a window system's button is: pressed and
    // released over the same button.
    if (e.what == GDEV_EVT_MOUSEDOWN && (e.message & GDEV_MOD_LEFTBUT)) D.pressed = at;
    if (e.what == GDEV_EVT_MOUSEUP && (e.message & GDEV_MOD_LEFTBUT)) {
      if (D.pressed >= 0 && D.pressed == at) D.result = resultOf(at);
      D.pressed = -1;
    }
  }
  if (e.what == GDEV_EVT_USER) D.redraw = true;
}

void freeResources() {
  if (D.cursorSprite) SPR_FREE(D.cursorSprite);
  if (D.captionFont && D.captionFont != D.font) FNT_FREE(D.captionFont);
  if (D.font) FNT_FREE(D.font);
  D = NameDialog{};
}

}  // namespace

int nameDialogOpen(const char* name, int size) {
  constexpr const char* fn = "nameDialogOpen()";
  if (D.open) return logError(0, "%s: the dialog is open already, SE", fn);
  D = NameDialog{};
  if (!(D.font = FNT_CREATE(kFont))) return logError(0, "%s: error loading font '%s'", fn, kFont);
  if (!(D.captionFont = FNT_CREATE(kCaptionFont))) D.captionFont = D.font;
  D.cursorSprite = SPR_CREATE(kCursor);  // without it the dialog goes on, keys only
  if (!beginSubscreen()) {
    freeResources();
    return logError(0, "%s: error saving the screen", fn);
  }
  D.open = true;
  D.limit = std::clamp(size - 1, 0, static_cast<int>(NAMEDLG_MAX_CHARS));
  strCopyN(D.text, name ? name : "", static_cast<size_t>(D.limit) + 1);
  D.lit = D.pressed = -1;
  D.redraw = true;

  D.panel = vbAddObject(nullptr, 0, 0, 0);
  if (D.panel) {
    D.panel->custom = drawPanel;
    D.panel->left = D.panel->top = D.panel->prevLeft = D.panel->prevTop = 0;
    D.panel->right = D.panel->bottom = D.panel->prevRight = D.panel->prevBottom = -1;
  }
  vbStrCreate(&D.caption, D.captionFont);
  vbStrCreate(&D.edit, D.font);
  placeText(&D.caption, Box{kCaption.x + 8, kCaption.y, kCaption.w, kCaption.h},
            utf8ToCp1251("Введите свое имя:").c_str(), false);
  static const char* const kLabels[2] = {"OK", "Cancel"};
  for (int i = 0; i < 2; i++) {
    vbStrCreate(&D.buttonText[i], D.font);
    placeText(&D.buttonText[i], kButtons[i], kLabels[i], true);
  }
  showEditText();
  if (D.cursorSprite && (D.cursor = vbAddObject(D.cursorSprite, 0, -100, -100))) vbSetLayer(D.cursor, 2);
  if (GdevDevice* device = gdevCurrentDevice(); device && device->window)
    gdevMoveCursor(kWindow.x + kWindow.w / 2, kWindow.y + kWindow.h + 20);
  gdevStartTextInput();
  return 1;
}

int nameDialogFrame() {
  if (!D.open) return NAMEDLG_CANCEL;
  // Closing the window answers as Cancel; the request stays for the game.
  if (gdevQuitRequested()) D.result = NAMEDLG_CANCEL;
  // Text typed before each event is taken before it, so that a Backspace
  // deletes what was typed ahead of it and nothing typed after.
  while (!D.result) {
    typeText();
    GdevEvent e;
    if (!gdevGetEvent(&e, GDEV_EVT_EVERY, true)) break;
    handle(e);
  }
  if (D.textChanged) showEditText();
  tmBeginFrame();
  tmMarkFrame();
  vbRestore(D.redraw ? 1 : 0);
  D.redraw = false;
  vbDraw();
  fxUpdate();
  framePresent();
  D.frames++;
  return D.result;
}

void nameDialogClose() {
  if (!D.open) return;
  gdevStopTextInput();
  endSubscreen();  // the dialog's board and its objects go with it
  freeResources();
}

const char* nameDialogText() { return D.text; }

void nameDialogButtonBox(int button, int* left, int* top, int* right, int* bottom) {
  const Box& b = kButtons[button == NAMEDLG_BUTTON_OK ? 0 : 1];
  *left = b.x;
  *top = b.y;
  *right = b.x + b.w - 1;
  *bottom = b.y + b.h - 1;
}

int nameDialog(char* name, int size) {
  if (!name || size <= 0) return logError(NAMEDLG_CANCEL, "%s: no name buffer, SE", "nameDialog()");
  if (!nameDialogOpen(name, size)) return NAMEDLG_CANCEL;
  int result;
  while ((result = nameDialogFrame()) == 0) {
  }
  if (result == NAMEDLG_OK) strCopyN(name, D.text, static_cast<size_t>(size));
  nameDialogClose();
  return result;
}
