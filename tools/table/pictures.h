#pragma once
// The table's pictures and sprites: backgrounds of the three regimes, the
// screen depth plane, the transparency plane, the dimmed pictures behind the
// menu and the subgame transitions, and every object, lamp and year-digit
// sprite, all rendered through the engine's projection.
#include <string>

#include "core/conf.h"
#include "table/model.h"
#include "table/raster.h"
#include "table/scene.h"

namespace tbl {

inline constexpr int SCREEN_W = 800, SCREEN_H = 600, SUPERSAMPLE = 2;

struct RenderState {
  const Model* m = nullptr;
  Looks looks;
  Scene staticScene;
  ShadowMap shadow;
  std::vector<Texture> textures;  // floor picture per regime
  Samples background[REGIMES];    // the static table, full screen
};

// Renders the static table in every regime and writes the pictures and the
// two planes. False after a message on stderr.
bool writePictures(RenderState* rs, const std::string& gameDir);
// Writes every object sprite, lamp sprite and year digit sprite; the lamp
// sprites go where the game configuration names them.
bool writeSprites(RenderState* rs, const std::string& gameDir, ConfSet* game);

}  // namespace tbl
