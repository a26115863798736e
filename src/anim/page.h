#pragma once
// Text pages: the layout surface of the titles. A page text is markup with
// tags in braces; plotting turns it into a list of elements (glyphs of fonts
// or sprite frames, and control elements that set alignment and position),
// and drawing lays the list out inside the page and blits every glyph onto
// the current game screen.
//
// Markup, read character by character:
//   \n           a line break
//   \{           a literal '{'
//   \ before anything else: the backslash itself is drawn
//   {tag params} a tag (below); without a closing '}' the rest of the text
//                is taken as the tag, after a logged line
//   any other byte is a glyph of the current font (nothing without one;
//   characters the font maps past its last glyph are left out)
//
// Tags (the first whose name begins the tag text is taken; the parameters
// follow the name and one separator):
//   left right center           horizontal alignment of the pieces that follow
//   hpos N / hposp P            horizontal position: N pixels, P percent of the
//                               width (0: none, the page edges are used)
//   top bottom vcenter          vertical alignment of the blocks that follow
//   vpos N / vposp P            vertical position, likewise
//   begin                       starts a new block (and a new line piece)
//   reset                       clears positions, alignments and every element
//   bgcolor R,G,B               the page's background colour (for the caller)
//   font load NAME FILE         loads a .fnp font under NAME (once)
//   font select NAME / font free NAME
//   font hspacing N / font vspacing N   spacing of the current font
//   spr load NAME FILE          loads a .gsp sprite under NAME (once)
//   spr select NAME / spr free NAME
//   spr put FRAME               a glyph of the current sprite's frame
//   spr hspacing N / spr vspacing N     spacing of the current sprite
// "free" removes the elements of the active page that show the font or
// sprite, then frees it. Loaded fonts and sprites are shared by all pages.
//
// Layout (pageDraw, when the page changed since the last layout):
// - Horizontal: a run of glyphs up to the next control element is a line
//   piece, as wide as its glyphs plus the horizontal spacing between them.
//   With a horizontal position P its start is P (left), P - width (right) or
//   P - width / 2 (centre); without one 0, width of page - width, or half
//   that difference.
// - Vertical: the elements up to the next vertical control element other
//   than a line break are a block. A line is as high as its last glyph; each
//   line break advances by the height of the last glyph before it plus that
//   glyph's vertical spacing. The block's height is aligned in the page like
//   a piece's width; every glyph of a line stands at the line's top.
// Glyph positions are relative to the page; pageDraw(x, y) adds (x, y).
//
// Alignments and positions set by control elements carry over: a page starts
// its layout with the settings in force at the end of the elements that
// pageUnplot removed (none after pageCreate and after a reset tag).
//
// Status: functions return 1, or 0 after logging (core/log.h).

enum {
  PAGE_MAX_ELEMENTS = 1000,  // PAGE.ELEMENTS[] of each page
  PAGE_MAX_FONTS = 63,       // PAGE.FONTS[]
  PAGE_MAX_SPRITES = 63,     // PAGE.SPRITES[]
  PAGE_NAME_SIZE = 33,       // names of loaded fonts and sprites: 32 characters
  PAGE_TAG_SIZE = 1024,      // a longer tag text is cut
  PAGE_COORD_LIMIT = 1 << 20,  // largest position or page size (pixels)
  PAGE_SPACING_LIMIT = 1 << 16,  // largest spacing (pixels, either sign)
};

// Element kinds: 0 a glyph, otherwise the code of the tag that made it.
enum {
  PAGE_GLYPH = 0,
  PAGE_LINEBREAK = 1,
  PAGE_LEFT = 2,
  PAGE_RIGHT = 3,
  PAGE_CENTER = 4,
  PAGE_HPOS = 5,
  PAGE_TOP = 7,
  PAGE_BOTTOM = 8,
  PAGE_VCENTER = 9,
  PAGE_VPOS = 10,
  PAGE_SPR_LOAD = 14,
  PAGE_SPR_SELECT = 15,
  PAGE_SPR_PUT = 16,
  PAGE_SPR_FREE = 17,
  PAGE_SPR_HSPACING = 18,
  PAGE_SPR_VSPACING = 19,
  PAGE_FONT_LOAD = 20,
  PAGE_FONT_SELECT = 21,
  PAGE_FONT_FREE = 22,
  PAGE_FONT_HSPACING = 23,
  PAGE_FONT_VSPACING = 24,
  PAGE_RESET = 36,
  PAGE_BEGIN = 37,
  PAGE_BGCOLOR = 41,
};

// Horizontal alignment 0 left, 1 right, 2 centre; vertical 0 top, 1 bottom,
// 2 centre. A position of 0 means none.
enum { PAGE_ALIGN_START = 0, PAGE_ALIGN_END = 1, PAGE_ALIGN_CENTER = 2 };

struct Sprite;
struct Font;

struct PageSettings {
  int hPos, hAlign;
  int vPos, vAlign;
};

struct PageElement;
struct PageFont;
struct PageSprite;
// A control element's effect on the layout settings.
using PageApplyFn = void (*)(PageSettings* settings, const PageElement* element);

struct PageElement {
  int x, y;              // placed position relative to the page (after layout)
  int hSpacing, vSpacing;
  int frame;             // glyph: frame of the sprite
  Sprite* sprite;        // glyph: the font's glyph sprite or a loaded sprite
  // Glyph: the loaded font or sprite it came from and that load's serial; a
  // glyph whose load is gone (freed, the slot reused) is neither measured
  // nor drawn.
  PageFont* font;
  PageSprite* spr;
  unsigned serial;
  int kind;              // PAGE_GLYPH or the tag's code
  PageApplyFn apply;     // control element: what it sets
  int hFlag, vFlag;      // control element: acts in the horizontal / vertical pass
  int value;             // control element: the alignment or position it sets
};

struct PageFont {
  int inUse;
  char name[PAGE_NAME_SIZE];
  Font* font;
  int hSpacing, vSpacing;
  unsigned serial;  // of this load, unique in the process
};

struct PageSprite {
  int inUse;
  char name[PAGE_NAME_SIZE];
  Sprite* sprite;
  int hSpacing, vSpacing;
  unsigned serial;
};

struct PageContext {
  int originX, originY;  // added to every placed position; 0 after pageCreate
  int width, height;
  int changed;           // elements changed since the last layout
  PageSettings start;    // settings the layout starts from
  PageSettings settings; // settings at the end of the last layout
  int bgColor[3];
  PageFont* curFont;
  PageSprite* curSprite;
  int count;
  PageElement elements[PAGE_MAX_ELEMENTS];
};

// The fonts and sprites loaded by page texts, shared by every page.
struct PageTables {
  PageFont FONTS[PAGE_MAX_FONTS];
  PageSprite SPRITES[PAGE_MAX_SPRITES];
};
extern PageTables PAGE;

// An empty page of width x height pixels (each 0..PAGE_COORD_LIMIT), black
// background, no font or sprite selected.
int pageCreate(PageContext* page, int width, int height);
// Makes page the active one (null: none); returns the previous one.
PageContext* pageSelect(PageContext* page);
PageContext* pageActive();

// Appends the elements of text to the active page and marks it changed; an
// empty or null text does nothing. 1 when the whole text was taken; 0 after
// logging when there is no active page, a tag failed or elements were
// dropped for want of room (the rest is still plotted).
int pagePlot(const char* text);
// Removes every element of the active page (loaded fonts and sprites stay).
int pageUnplot();
// Lays the active page out when it changed, then draws every glyph at
// (x + element x, y + element y) on gsCurrent with the sprite blitters
// (alpha-blended for sprites with run alpha).
int pageDraw(int x, int y);

// Release every loaded font / sprite (session end). The glyphs that show
// them, on any page, are not drawn any more.
void pageFreeFonts();
void pageFreeSprites();
