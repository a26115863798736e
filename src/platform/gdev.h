#pragma once
// The graphics device layer: drawing surfaces ("DCs") with direct pixel
// access, bitmap files, rectangle copies, regions, the game window with its
// pages and present step, video modes with their chooser, and the input event
// queue. Only the layer's sources know about SDL; this header is plain records
// and functions, so the engine builds and tests against it without a display.
//
// Failures set the text returned by gdevErrorText() and write it to the log
// as "<function>: <reason>"; callers add their own line.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// ---------------------------------------------------------------------------
// Layer start-up
// ---------------------------------------------------------------------------

// Starts the video and event subsystems and catches SIGINT and SIGTERM as quit
// requests. appName becomes the window title. False (with the error text) when
// no video driver can be started.
bool gdevInit(const char* appName);
// Closes any open mode, stops the subsystems and restores the signal handlers.
void gdevExit();
bool gdevIsInitialised();
const char* gdevErrorText();

// Where the layer takes the memory of surfaces, bitmaps and regions. Each
// block remembers the hook that allocated it, so changing the hooks later
// never frees a block through the wrong heap.
struct GdevAllocator {
  void* (*alloc)(size_t size);
  void (*release)(void* block);
};
// Null restores malloc and free.
void gdevSetAllocator(const GdevAllocator* hooks);

// ---------------------------------------------------------------------------
// Pixel formats
// ---------------------------------------------------------------------------

// The twelve integers the engine keeps per surface. Masks are unshifted (0x1F
// for a five-bit channel), positions are the channel's lowest bit, adjusts are
// 8 minus the channel's width.
struct GdevPixelFormat {
  int32_t redMask, greenMask, blueMask, rsvdMask;
  int32_t redPos, greenPos, bluePos, rsvdPos;
  int32_t redAdjust, greenAdjust, blueAdjust, rsvdAdjust;
};
static_assert(sizeof(GdevPixelFormat) == 12 * 4, "twelve integers");

inline constexpr GdevPixelFormat GDEV_FORMAT_555 = {0x1F, 0x1F, 0x1F, 0, 10, 5, 0, 0, 3, 3, 3, 8};
inline constexpr GdevPixelFormat GDEV_FORMAT_565 = {0x1F, 0x3F, 0x1F, 0, 11, 5, 0, 0, 3, 2, 3, 8};
inline constexpr GdevPixelFormat GDEV_FORMAT_888 = {0xFF, 0xFF, 0xFF, 0, 16, 8, 0, 0, 0, 0, 0, 8};

// The standard format of a depth (15, 16, 24), or null.
const GdevPixelFormat* gdevDefaultFormat(int bitsPerPixel);
// Sum of the widths of the channels with a non-zero mask.
int gdevFormatBits(const GdevPixelFormat* format);
// Masks, positions and adjusts of red, green and blue agree.
bool gdevFormatEqual(const GdevPixelFormat* a, const GdevPixelFormat* b);
// 8-bit channels to a pixel value and back. Unpacking shifts the channel to
// the top of the byte (a five-bit 31 becomes 248).
uint32_t gdevPackRGB(const GdevPixelFormat* format, int red, int green, int blue);
void gdevUnpackRGB(const GdevPixelFormat* format, uint32_t pixel, int* red, int* green, int* blue);

// ---------------------------------------------------------------------------
// Drawing surfaces
// ---------------------------------------------------------------------------

struct GdevColor {
  uint8_t red, green, blue, reserved;
};

// Pixel memory is row-major, bytesPerLine apart. Pixels are stored as
// little-endian values of bytesPerPixel bytes: a 24-bit pixel is the bytes
// blue, green, red. 8-bit surfaces hold palette indices and have a zero
// format. A display surface holds `pages` pages one after the other; `pixels`
// points at the active one.
struct GdevDC {
  int width, height;
  int bitsPerPixel;  // 8, 15, 16, 24 or 32
  int bytesPerPixel;
  int bytesPerLine;
  GdevPixelFormat format;
  uint8_t* pixels;
  int pages;
  int activePage;
  int visiblePage;
  uint8_t* pageBase;       // page 0
  GdevColor palette[256];  // 8-bit surfaces
  uint32_t color;          // the drawing colour, a pixel value of this surface
  void (*release)(void*);  // the hook the memory came from
};

// A memory surface of 8, 15, 16, 24 or 32 bits. A null format takes the
// depth's standard format; 8-bit surfaces start with a black palette. The
// pixels start at zero. Null (with the error text) for absurd sizes, unknown
// depths, formats that do not fit the depth, or no memory.
GdevDC* gdevCreateMemoryDC(int width, int height, int bitsPerPixel, const GdevPixelFormat* format);
void gdevDestroyDC(GdevDC* dc);

// The surface the drawing operations below work on.
void gdevMakeCurrent(GdevDC* dc);
GdevDC* gdevCurrentDC();

// Direct access to one pixel of a surface; reads outside give 0, writes
// outside are ignored.
uint32_t gdevReadPixel(const GdevDC* dc, int x, int y);
void gdevWritePixel(GdevDC* dc, int x, int y, uint32_t pixel);

// Drawing in the current surface (all clipped to it; no-ops without one).
void gdevSetColor(uint32_t pixel);  // a palette index on 8-bit surfaces
// 8-bit surfaces take the nearest palette entry (the first of equals).
void gdevSetColorRGB(int red, int green, int blue);
uint32_t gdevGetColor();
uint32_t gdevGetPixel(int x, int y);
void gdevPutPixel(int x, int y);  // in the drawing colour
// Walks left from x while the pixels have `color`; returns the column of the
// first pixel that differs, or -1 when the walk reached the left edge. A start
// outside the surface returns x.
int gdevScanLeftWhileColor(int x, int y, uint32_t color);
void gdevFillRect(int x, int y, int width, int height);
void gdevClearDevice();  // every pixel 0
void gdevSetPalette(GdevDC* dc, const GdevColor* entries, int count, int start);

// Copies a w x h rectangle of src at (sx, sy) to dst at (dx, dy), clipped to
// both surfaces. False when the surfaces differ in depth or format.
bool gdevBitBlt(GdevDC* dst, int dx, int dy, const GdevDC* src, int sx, int sy, int w, int h);
// As gdevBitBlt, with the copy doubled in height (stretch 1) or in both
// directions (stretch 2); stretch 0 is a plain copy. The destination origin
// stays at (dx, dy).
bool gdevStretchBlt(GdevDC* dst, int dx, int dy, const GdevDC* src, int sx, int sy, int w, int h,
                    int stretch);

// ---------------------------------------------------------------------------
// Bitmaps (Windows BMP files, 8-bit palettised or 24-bit, uncompressed)
// ---------------------------------------------------------------------------

// In memory a bitmap is top-down, rows bytesPerLine = width * bytes per
// pixel apart; 24-bit pixels are the bytes blue, green, red.
struct GdevBitmap {
  int width, height;
  int bitsPerPixel;  // 8 or 24
  int bytesPerLine;
  int paletteCount;  // entries the file held (8-bit)
  GdevColor palette[256];
  uint8_t* pixels;
  void (*release)(void*);
};

// Refuses dimensions above this on either side.
enum { GDEV_BITMAP_MAX_SIDE = 16384 };

// An empty (zeroed) bitmap of 8 or 24 bits.
GdevBitmap* gdevCreateBitmap(int width, int height, int bitsPerPixel);
// Reads a BMP file. Every size, offset and count is checked against the
// file's length; damage fails with a message naming what is wrong.
GdevBitmap* gdevLoadBitmap(const char* path);
// The same reader over bytes in memory; name is used in messages.
GdevBitmap* gdevParseBitmap(std::span<const uint8_t> bytes, const char* name);
void gdevFreeBitmap(GdevBitmap* bitmap);
// Draws the bitmap with its top-left corner at (x, y), clipped, converting to
// the surface's format (8-bit surfaces: the nearest palette entry).
bool gdevPutBitmap(GdevDC* dc, int x, int y, const GdevBitmap* bitmap);
// The BMP file image (bottom-up rows, 8-bit files with a 256-entry palette).
bool gdevEncodeBitmap(const GdevBitmap* bitmap, std::vector<uint8_t>* image);
bool gdevSaveBitmap(const char* path, const GdevBitmap* bitmap);

// ---------------------------------------------------------------------------
// Regions: sets of pixels kept as non-overlapping rectangles
// ---------------------------------------------------------------------------

// right and bottom are exclusive.
struct GdevRect {
  int left, top, right, bottom;
};

struct GdevRegion {
  GdevRect* rects;
  int count;
  int capacity;
  void (*release)(void*);       // frees the record
  void (*rectsRelease)(void*);  // frees rects
};

GdevRegion* gdevNewRegion();
void gdevFreeRegion(GdevRegion* region);
// Adds the rectangle's pixels; the rectangles stay disjoint. Empty rectangles
// change nothing. False when memory runs out (the region keeps what it had).
bool gdevUnionRect(GdevRegion* region, const GdevRect* rect);
void gdevClearRegion(GdevRegion* region);
bool gdevRegionIsEmpty(const GdevRegion* region);
// Merges rectangles that share a whole edge until no two do; the pixel set
// is unchanged.
void gdevOptimizeRegion(GdevRegion* region);
void gdevTraverseRegion(const GdevRegion* region, void (*visit)(const GdevRect* rect, void* user),
                        void* user);

// ---------------------------------------------------------------------------
// Video modes, the window and the present step
// ---------------------------------------------------------------------------

// Full-screen modes carry a driver name with "DDRAW", windowed modes one with
// "FDIB".
struct GdevMode {
  int number;
  int width, height;
  int bitsPerPixel;
  int pages;
  char driver[16];
  int stretch;          // 0 none, 1 double height, 2 double both
  int windowedStretch;  // the same for a window
};

// The modes this layer offers, in a fixed order.
std::span<const GdevMode> gdevModes();

struct GdevWindow;  // the layer's own window state

// A mode that is set: the engine draws into drawDC; displayDC is the picture
// that the window shows; backDC, when present, is copied to the display by
// gdevCopyRegionToDisplay. Full-screen ("DDRAW") modes come with a two-page
// display and no back buffer, windowed ("FDIB") modes with one page and a back
// buffer. A record built by hand without a window works too: presenting then
// only copies between its surfaces.
struct GdevDevice {
  GdevMode mode;
  int windowed;
  GdevDC* drawDC;
  GdevDC* displayDC;
  GdevDC* backDC;
  GdevWindow* window;  // null for records built by hand
};

// Opens the game window for the mode (15, 16 or 24 bits), windowed or filling
// the desktop. One mode at a time. Null with the error text on failure.
GdevDevice* gdevSetMode(const GdevMode* mode, int windowed);
// Closes the window and frees what gdevSetMode made (back buffers installed
// by the engine stay the engine's).
void gdevRestoreMode(GdevDevice* device);
GdevDevice* gdevCurrentDevice();

// Presentation options: integer scale steps, linear filtering.
void gdevSetScaling(int integerScale, int linearFilter);
// Where a picW x picH picture goes in an outW x outH output: centred, keeping
// its aspect (letterboxed), in whole multiples when integerScale is set and
// the output holds at least one.
GdevRect gdevLetterbox(int outW, int outH, int picW, int picH, int integerScale);
void gdevToggleFullscreen(GdevDevice* device);
// The window's size in window coordinates (mouse positions use these).
bool gdevGetWindowSize(const GdevDevice* device, int* width, int* height);
void gdevSetWindowSize(GdevDevice* device, int width, int height);

// Pages of the display.
void gdevSetActivePage(GdevDevice* device, int page);
// Shows a page (all of it); waitRetrace waits for the vertical retrace (vsync).
void gdevSetVisiblePage(GdevDevice* device, int page, int waitRetrace);
// Shows the active page and makes the next page active.
void gdevSwapBuffers(GdevDevice* device, int waitRetrace);
// Sends the region's rectangles of the visible page to the window and shows
// it (null region: the whole page).
void gdevPresent(GdevDevice* device, const GdevRegion* region, int waitRetrace);
// Copies the region's rectangles from the back buffer to the active page of
// the display; with more than one page, makes the next page active and shows
// the one just written; then presents.
void gdevCopyRegionToDisplay(GdevDevice* device, const GdevRegion* region, int waitRetrace);
// Reads back what the window was last given (the whole picture, in the
// display's format, rows `pitch` bytes apart). For tests and screenshots.
bool gdevReadPresented(GdevDevice* device, uint8_t* out, int pitch);

// The mouse cursor over the window; positions are in screen pixels.
void gdevShowCursor(int show);
void gdevMoveCursor(int x, int y);

// A small screen of our own listing the modes: arrow keys and Enter, a mouse
// click on a line, Escape cancels. Full-screen modes return windowed 0,
// windowed modes 1. Returns 1 when a mode was chosen, 0 when cancelled or
// when no window could be opened.
int gdevChooseMode(std::span<const GdevMode> modes, GdevMode* outMode, int* outWindowed);

// ---------------------------------------------------------------------------
// Input events
// ---------------------------------------------------------------------------

// Event types (also used as masks).
enum : uint32_t {
  GDEV_EVT_KEYDOWN = 0x01,
  GDEV_EVT_KEYREPEAT = 0x02,
  GDEV_EVT_KEYUP = 0x04,
  GDEV_EVT_MOUSEDOWN = 0x08,
  GDEV_EVT_MOUSEUP = 0x10,
  GDEV_EVT_MOUSEMOVE = 0x20,
  GDEV_EVT_TIMER = 0x40,
  GDEV_EVT_USER = 0x80,  // posted by the application
  GDEV_EVT_KEYEVT = 0x07,
  GDEV_EVT_MOUSEEVT = 0x38,
  GDEV_EVT_EVERY = 0xFF,
};

// Modifier flags: mouse buttons held after the event, then keyboard shifts.
// Mouse events carry the button that changed in `message` (1, 2 or 4).
enum : uint32_t {
  GDEV_MOD_LEFTBUT = 0x001,
  GDEV_MOD_RIGHTBUT = 0x002,
  GDEV_MOD_MIDDLEBUT = 0x004,
  GDEV_MOD_LEFTSHIFT = 0x008,
  GDEV_MOD_RIGHTSHIFT = 0x010,
  GDEV_MOD_LEFTCTRL = 0x020,
  GDEV_MOD_RIGHTCTRL = 0x040,
  GDEV_MOD_LEFTALT = 0x080,
  GDEV_MOD_RIGHTALT = 0x100,
};

// The message of the application event the layer posts itself when the
// player closes the window or the process gets SIGINT/SIGTERM.
enum : uint32_t { GDEV_APPMSG_QUIT = 0x51554954 };

// The 36-byte event record. Session recordings store it, so its byte layout
// is fixed (gdevEventToBytes): offset 0 zero, 4 type, 8 time stamp in ms,
// 12 and 16 mouse x and y (signed, screen pixels), 20 message (character code
// in Windows-1251 in the low byte, PC set-1 scan code in the next), 24
// modifiers, 28..35 zero; all little-endian.
struct GdevEvent {
  uint32_t reserved0;
  uint32_t what;
  uint32_t when;
  int32_t x, y;
  uint32_t message;
  uint32_t modifiers;
  uint32_t reserved1[2];
};
static_assert(sizeof(GdevEvent) == 36, "the recorded event record is 36 bytes");
enum { GDEV_EVENT_BYTES = 36 };

inline int gdevEventChar(const GdevEvent* event) { return static_cast<int>(event->message & 0xFF); }
inline int gdevEventScan(const GdevEvent* event) {
  return static_cast<int>((event->message >> 8) & 0xFF);
}

void gdevEventToBytes(const GdevEvent* event, std::span<uint8_t, GDEV_EVENT_BYTES> out);
GdevEvent gdevEventFromBytes(std::span<const uint8_t, GDEV_EVENT_BYTES> bytes);

// Moves pending window-system input into the queue (the queue holds 256
// events; further input is dropped until there is room).
void gdevPumpEvents();
// The first queued event whose type is in mask, after pumping; taken off the
// queue when remove is set. False when there is none.
bool gdevGetEvent(GdevEvent* out, uint32_t mask, bool remove);
inline bool gdevPeekEvent(GdevEvent* out, uint32_t mask) { return gdevGetEvent(out, mask, false); }
// Appends an event; a zero time stamp is replaced by the clock. False when
// the queue is full.
bool gdevPostEvent(const GdevEvent* event);
// Drops every queued event whose type is in mask.
void gdevFlushEvents(uint32_t mask);
// Tests and tools that drive a whole program feed their input through this:
// the hook runs at the start of every gdevGetEvent, before the window
// system's input is pumped, and may post events. Null removes it.
void gdevSetInputHook(void (*hook)(void* user), void* user);

// The one table from SDL scancodes to PC set-1 scan codes (keys that share a
// set-1 code with an extended prefix, like the arrows and the keypad's
// digits, get the same code); 0 for keys without one.
int gdevScanFromSdl(int sdlScancode);
// The Windows-1251 character a key types (letters and digits as typed, with
// Shift for capitals; Enter 13, Escape 27, Space 32, Backspace 8, Tab 9), or 0.
int gdevCharFromSdl(int sdlKeycode, int sdlModifiers);

// Text input. While it is on, the text the player types (through the
// keyboard layout and any input method) collects in the layer, converted to
// Windows-1251; characters that code page lacks, and control characters, are
// dropped. Key events keep coming as before (Backspace 8, Enter 13 and Escape
// 27 arrive only as key events). Off after gdevInit; turning it off drops
// the text not taken yet.
void gdevStartTextInput();
void gdevStopTextInput();
bool gdevTextInputActive();
// Takes the text typed before the oldest event still queued (all of it when
// the queue is empty), at most size - 1 characters, NUL-terminated; returns
// the count. A loop that takes the text before each event it takes sees
// text and keys in the order they were typed. Pumps first.
int gdevTakeText(char* out, int size);
// Hands UTF-8 text to the layer as typed text arrives from the window
// system (ignored while text input is off); for tests and tools that type
// without a keyboard.
void gdevFeedText(const char* utf8);

// Callbacks for the window gaining or losing the input focus (active 1/0) and
// the application being suspended or resumed (minimised or restored;
// suspended 1/0). The engine posts its own events from them.
void gdevSetActivateCallback(void (*callback)(int active));
void gdevSetSuspendCallback(void (*callback)(int suspended));

// The player closed the window or the process got SIGINT/SIGTERM. The first
// request also posts a GDEV_EVT_USER event with GDEV_APPMSG_QUIT.
bool gdevQuitRequested();
void gdevClearQuitRequest();
