#pragma once
// Graphics screens: the record every blitter writes through, its depth and
// transparency planes, the dirty set that decides what reaches the display,
// the shared blend table, surface utilities and the choice of the video mode.
#include <cstdint>
#include <span>

#include "platform/gdev.h"

struct ConfSet;

struct gscr {
  GdevDC* dc;      // the surface blitters write to
  uint16_t* zbuf;  // table depth plane, width x height; null until gsAddZBuffer
  int width, height;
  int clipX, clipY, clipW, clipH;
  int tileMinW, tileMinH;  // smaller dirty rectangles go in as 32x32 tiles
  int tileSize;
  int tilesX, tilesY;
  int* tileMarks;  // tilesX x tilesY, 1 where a tile is in the dirty set
  int bpp;
  int bytesPerPixel;
  int pitch;
  GdevPixelFormat pixelFormat;
  uint8_t* pixels;
  uint8_t* alpha;  // table transparency plane, width x height; null until gsAddAlpha
  int ownsBackBuffer;
  GdevDevice* device;
  GdevRegion* dirty;
  int presentPending;    // frames went unpresented: the next gsUpdate also shows pendingBox
  GdevRect pendingBox;   // the box around what the unpresented frames changed
};

extern gscr* gsCurrent;
// The main screen, made at start-up by gsCreateMGL.
extern gscr gsMainScreen;

// gsBlend[i][j] = floor(i * j / 255): row a scales a channel by a / 255.
extern uint8_t gsBlend[256][256];
void gsBuildBlendTable();

// Heaps (core/mem.h) that record the surfaces made here.
enum { GS_HEAP_DEVICE = 0, GS_HEAP_ENGINE = 2, GS_HEAP_GAME = 4 };
// The allocation hooks that route the device layer's memory to heap 0.
const GdevAllocator* gsDeviceAllocator();

// Fills the screen from the device's drawing surface; without a device back
// buffer makes one of its own. 1, or 0 after logging.
int gsCreateMGL(gscr* screen, GdevDevice* device);
// A screen over any memory surface: no tiles, no dirty set, no planes.
int gsCreateMem(gscr* screen, GdevDC* dc);
// A screen as gsCreateMGL makes it, without a window: a w x h memory
// display surface of bits per pixel (the depth's standard format) stands for
// the window, and *device is filled to describe it. *display receives the
// surface (the caller frees it after gsRelease). 1, or 0 after logging (with
// nothing left allocated).
int gsCreateMemoryScreen(gscr* screen, GdevDevice* device, GdevDC** display, int w, int h, int bits);
// Frees what the screen owns (dirty set, tile marks, planes, its own back
// buffer, which the device forgets) and zeroes it. Release screens before
// the device's mode is restored: the screen still points at the device.
void gsRelease(gscr* screen);
// Makes the screen current (and its surface the device layer's current
// surface); returns the previous current screen.
gscr* gsSelect(gscr* screen);

int gsAddAlpha(gscr* screen, GdevDC* alphaDC);
void gsFreeAlpha(gscr* screen);
int gsAddZBuffer(gscr* screen, const uint16_t* src, int srcW, int srcH);
void gsFreeZBuffer(gscr* screen);

// The dirty set of gsCurrent (nothing happens when it has none).
void gsAddDirty(int x, int y, int w, int h);
void gsAddDirtyCoord(int left, int top, int right, int bottom);  // inclusive
void gsDirtyAll();
void gsClearDirty();
// Presents gsCurrent's dirty set, then empties it.
void gsUpdate(int waitRetrace);
// Leaves the frame unpresented: empties the dirty set as gsUpdate would,
// keeping a box around what it held; the next gsUpdate presents that box
// with its own dirty set.
void gsSkipUpdate();

// Surface utilities; surfaces are recorded on heap 2 and freed by mglFreeDC.
GdevDC* mglCreateBitmapDC(const char* file);
GdevDC* mglCreateDC24(int w, int h);
GdevDC* mglCreateBitmapDC24(const char* file);
GdevDC* mglCloneDC(GdevDC* dc);
int mglCopyDC(GdevDC* dest, GdevDC* src);
void mglFreeDC(GdevDC* dc);
// Flood fill in the drawing colour of the 4-connected area around (x, y) of
// the current surface; spanCallback(startX, y, length, oldColour) after each
// span. 0, or -1 when memory runs out.
int mglSeedFillAlt(int x, int y, void (*spanCallback)(int x, int y, int length, uint32_t color));
void mglSetGreyPalette(GdevDC* dc);

// Chooses the video mode from the configuration keys "<prefix>.*". 1 with
// the mode and window flag stored, or 0 after logging.
int gmConfMode(ConfSet* conf, const char* prefix, std::span<const GdevMode> modes,
               GdevMode* outMode, int* outWindowed);
