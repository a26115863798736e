#pragma once
// The title display on the table: a dot-matrix panel in the scenery above
// the playfield that shows the title contexts' pages (anim/title.h).
//
// The pages are laid out on title surfaces of "title.width" x "title.height"
// pixels; the panel on the screen is "tv.width" x "tv.height" at "tv.x",
// "tv.y" (global configuration), inside a frame of TV_FRAME pixels. A page is
// shrunk to the panel by averaging the page pixels each panel pixel covers,
// so that the fine dots of the title fonts stay dots; "title.grid" N >= 2
// draws the panel's glass as cells of N pixels whose last row and column are
// darker, -1 (or 0, 1) none.
//
// The panel is part of the visual board's background picture: it is drawn
// there only when the titles changed, and a custom board object copies it to
// the screen in that frame only. Balls and the other objects therefore pass
// over it like over the rest of the picture, and an unchanged display costs
// nothing per frame.
//
// Status: functions return 1, or 0 after logging (core/log.h), unless said.

struct ConfSet;
struct GdevDC;

enum { TV_FRAME = 3 };

struct TvGeometry {
  int x, y, width, height;       // the panel on the screen
  int titleWidth, titleHeight;   // the title pages
  int grid;                      // cell size of the glass, below 2: none
};

// Reads the keys of the global configuration with their defaults (tv 0, 0,
// 10 x 100; title 100 x 100; grid -1). Sizes below 1 become 1.
void tvReadGeometry(ConfSet* global, TvGeometry* out);
// Draws src (a title surface) into dst at (x, y) in width x height pixels:
// each pixel is the mean of the source pixels it covers (at least one), and
// with grid >= 2 the last row and column of every cell is drawn at half
// brightness. Clipped to dst; src and dst may have different formats.
void tvRender(const GdevDC* src, GdevDC* dst, int x, int y, int width, int height, int grid);
// The panel on the current visual board: its frame and dark glass go into
// the board's background, and its custom object (layer 0) is added. Needs
// vbCurrent with its background.
int tvSetup(const TvGeometry* geometry);
// Per frame, between the board's restore and draw: runs titleFrame (dt ms)
// and, when the display changed or was invalidated, draws the shown title
// surface into the background and has the panel copied to the screen in
// this frame. 1 when it drew, else 0.
int tvFrame(double dt);
// Draws the frame and the panel as they are now into dc (the next
// background picture of a regime change, before it is shown).
void tvDrawInto(GdevDC* dc);
// The background picture was replaced: the panel is drawn again at the next
// tvFrame.
void tvInvalidate();
// Removes the panel's object (when its board is still current) and forgets
// the board.
void tvFree();
// The panel's place and the number of times it was drawn since tvSetup, for
// tests and benchmarks.
const TvGeometry* tvGeometry();
long tvDrawCount();
