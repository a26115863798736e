#pragma once
// Shared drawing helpers of pbboxing: a cairo canvas that yields straight
// RGBA for the sprite writer, colours, stars and the Russian captions.
#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cairo_canvas.h"
#include "cairo_paths.h"

namespace boxing {

constexpr double kPi = 3.14159265358979323846;

// The match's canvases letter without hinting, and drop the faint fringes
// of antialiasing, which would become runs of their own in the sprites for
// no visible gain.
constexpr cairo_canvas::Options kArt{true, 8};
using cairo_canvas::Canvas;
using cairo_paths::starPath;

void rgb(cairo_t* cr, uint32_t c, double a = 1);
void stop(cairo_pattern_t* p, double at, uint32_t c, double a = 1);
// c scaled towards black (k < 1) or white (k > 1).
uint32_t shade(uint32_t c, double k);
// Fills the current path with a top-to-bottom gradient of three colours.
void fillVertical(cairo_t* cr, double y0, double y1, uint32_t top, uint32_t mid, uint32_t bottom);

// Loads the bold sans face the captions use; false when the font is missing.
bool loadFaces();
void freeFaces();
// Draws UTF-8 text centred on (cx, cy) in the bold sans face, filled with
// fill over an outline of width outlineW in outline (no outline when 0).
void caption(cairo_t* cr, const char* utf8, double size, double cx, double cy, uint32_t fill, uint32_t outline,
             double outlineW);

}  // namespace boxing
