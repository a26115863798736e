#pragma once
// Shared state and helpers of the graphics device layer's sources. Not for
// the engine: it includes SDL.
#include <SDL.h>

#include <cstddef>

#include "core/log.h"
#include "platform/gdev.h"

namespace gdev {

// The window title given to gdevInit.
const char* appTitle();

// A surface with `pages` pages (display surfaces); see gdevCreateMemoryDC.
GdevDC* createDC(const char* function, int width, int height, int bitsPerPixel,
                 const GdevPixelFormat* format, int pages);
// The start of a page's pixel memory.
inline uint8_t* pagePixels(const GdevDC* dc, int page) {
  return dc->pageBase + static_cast<size_t>(page) * static_cast<size_t>(dc->bytesPerLine) *
                            static_cast<size_t>(dc->height);
}

// Records the error text and writes "<function>: <text>" to the log.
void fail(const char* function, const char* format, ...) PB_PRINTF(2, 3);

// A block from the current allocation hooks; *release receives the hook that
// must free it.
void* allocBlock(size_t size, void (**release)(void*));

// The window that shows a picture of picW x picH screen pixels, for mapping
// mouse positions back to screen pixels. Null window: none.
struct View {
  SDL_Window* window;
  int picW, picH;
};
extern View gView;
extern int gIntegerScale;
extern int gLinearFilter;

// Window position (in window coordinates) to screen pixels, clamped.
void windowToScreen(int wx, int wy, int* sx, int* sy);
// Screen pixels to a window position.
void screenToWindow(int sx, int sy, int* wx, int* wy);

// SIGINT and SIGTERM become quit requests while the layer runs.
void installSignals();
void restoreSignals();
// Forgets the queue, the callbacks' pending state and the quit request.
void resetEvents();

// Draws the game window's picture again (after it was exposed or resized).
void redrawWindow();

// The renderer and texture of a small window of the layer's own (the mode
// chooser) or of the game window.
struct Screen {
  SDL_Window* window;
  SDL_Renderer* renderer;
  SDL_Texture* texture;
  uint32_t textureFormat;  // a 32-bit format the renderer takes as it is
  int texelOrder;          // TexelOrder of textureFormat
  bool software;           // the software renderer: its output keeps what was drawn
  int width, height;
  int vsync;
  int wholeW, wholeH;  // output size when the whole picture was last drawn; 0: never
};
bool openScreen(Screen* screen, const char* title, int width, int height, int bitsPerPixel,
                int scale, bool fullscreen);
void closeScreen(Screen* screen);
// Converts the rectangle of a surface's page (clipped) into the texture.
void uploadRect(Screen* screen, const GdevDC* dc, const uint8_t* page, const GdevRect* rect);
// Clears the window, draws the texture letterboxed and shows it. With
// `changed`, a software renderer whose output holds the whole picture 1:1
// from the last draw copies only those rectangles.
void renderScreen(Screen* screen, int waitRetrace, const GdevRegion* changed = nullptr);

}  // namespace gdev
