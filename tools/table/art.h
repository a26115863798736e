#pragma once
// The playfield's printed artwork, drawn in table space with cairo (shapes,
// gradients, decals) and FreeType (text in the DejaVu faces): one picture per
// regime, which the renderer lays on the floor.
#include <string>

#include "table/model.h"
#include "table/raster.h"

namespace tbl {

// Where the DejaVu fonts are (fonts-dejavu-core).
extern const char* const kFontDir;

// Draws the floor picture of a regime at `scale` pixels per table unit.
// False (with a message on stderr) when a font can't be loaded.
bool drawFloorArt(const Model& m, int regime, double scale, Texture* out);

}  // namespace tbl
