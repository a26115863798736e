#pragma once
// The table's pictures and sprites: backgrounds of the three regimes, the
// screen depth plane, the transparency plane, the dimmed pictures behind the
// menu and the subgame transitions, and every object, lamp and year-digit
// sprite, all rendered through the engine's projection.
#include <string>

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
// Writes every object sprite, lamp sprite and year digit sprite.
bool writeSprites(RenderState* rs, const std::string& gameDir);

// The lamp sprites the game configuration names: for each lamp id, the
// game-folder path of its sprite file (regime directory "data-comm/" for
// regime-dependent lamps) and the frame that shows it lit.
struct LampFile {
  std::string path;      // e.g. "data-comm/lights/arrow1.gsp" or "data/lamps/tax0.gsp"
  bool perRegime = false;  // also under data-demo/ and data-dict/
  int frame = 1;           // frame that shows the lamp fully lit
};
LampFile lampFile(int id);

}  // namespace tbl
