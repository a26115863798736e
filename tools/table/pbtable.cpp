// pbtable GAMEDIR [SOURCEDIR]: compiles the table description (table/*.tbl
// of the source tree) into every table file the game reads: shape files,
// object configurations, tracks, layer height maps, the score subjects at
// their targets (conf/score.conf), the screen depth plane, the transparency
// plane, the background pictures of the three regimes and the sprites of the
// table's objects and lamps. The view is the one of the
// game folder's conf/global.conf, so that pictures, sprites and the ball's
// projection agree to the pixel; the lamp sprites go where the game folder's
// conf/game.conf names them. Same sources, same bytes.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/conf.h"
#include "core/log.h"
#include "physics/geometry.h"
#include "table/desc.h"
#include "table/model.h"
#include "table/outputs.h"
#include "table/pictures.h"

#ifndef PB_TABLE_SOURCE
#define PB_TABLE_SOURCE "table"
#endif

namespace {

bool readView(const std::string& gameDir, PerspKeys* keys) {
  ConfSet global{};
  const std::string text = gameDir + "/conf/global.conf", bin = gameDir + "/conf/global.bcf";
  if (CONF_READ(&global, text.c_str()) < 0 && CONF_BINREAD(&global, bin.c_str()) < 0) {
    std::fprintf(stderr, "pbtable: can't read the view from '%s': the table is drawn for the game's view\n",
                 text.c_str());
    return false;
  }
  perspReadKeys(&global, keys);
  conf_free(&global);
  return true;
}

// The game configuration, whose keys name the lamps' sprites; its owner
// frees it on every way out.
struct GameConf {
  ConfSet set{};
  GameConf() = default;
  GameConf(const GameConf&) = delete;
  GameConf& operator=(const GameConf&) = delete;
  ~GameConf() { conf_free(&set); }
};

bool readGameConf(const std::string& gameDir, GameConf* game) {
  const std::string text = gameDir + "/conf/game.conf", bin = gameDir + "/conf/game.bcf";
  if (CONF_READ(&game->set, text.c_str()) < 0 && CONF_BINREAD(&game->set, bin.c_str()) < 0) {
    std::fprintf(stderr, "pbtable: can't read the lamps' sprite names from '%s'\n", text.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf("usage: pbtable GAMEDIR [SOURCEDIR]\n"
                "Compiles the table description SOURCEDIR/*.tbl (default %s) into GAMEDIR,\n"
                "drawn for the view of GAMEDIR/conf/global.conf, with the lamp sprites\n"
                "named by GAMEDIR/conf/game.conf.\n",
                PB_TABLE_SOURCE);
    return 0;
  }
  if (argc < 2 || argc > 3 || argv[1][0] == '\0') {
    std::fputs("usage: pbtable GAMEDIR [SOURCEDIR] (see --help)\n", stderr);
    return 1;
  }
  const auto start = std::chrono::steady_clock::now();
  const std::string gameDir = argv[1];
  const std::string srcDir = argc == 3 ? argv[2] : PB_TABLE_SOURCE;
  logCommand("STDERR 1");

  PerspKeys view;
  if (!readView(gameDir, &view)) return 1;
  PERSP_SETUP(tbl::TABLE_W, tbl::TABLE_H, view.fovx, view.fovy, view.angle, view.dist);
  GameConf game;
  if (!readGameConf(gameDir, &game)) return 1;

  std::vector<tbl::Block> blocks;
  tbl::Diag diag;
  tbl::Model model;
  if (!tbl::readDescription(srcDir, &blocks, &diag) || !tbl::buildModel(blocks, &model, &diag)) {
    for (const std::string& e : diag.errors) std::fprintf(stderr, "pbtable: %s\n", e.c_str());
    std::fprintf(stderr, "pbtable: %d error(s) in the table description\n", static_cast<int>(diag.errors.size()));
    return 1;
  }

  tbl::HeightMaps heights;
  tbl::buildHeights(model, &heights);
  if (!tbl::writeShapes(model, gameDir) || !tbl::writeTracks(model, gameDir) ||
      !tbl::writeHeights(heights, gameDir) || !tbl::writeScore(model, heights, view, gameDir)) {
    std::fprintf(stderr, "pbtable: can't write the table's physics files into '%s'\n", gameDir.c_str());
    return 1;
  }
  tbl::RenderState rs;
  rs.m = &model;
  if (!tbl::writePictures(&rs, gameDir) || !tbl::writeSprites(&rs, gameDir, &game.set)) return 1;
  if (!tbl::writeGnms(rs, gameDir)) return 1;

  const double secs =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("pbtable: %d objects, %d tracks, %d lamps written to %s in %.1f s\n",
              static_cast<int>(model.objects.size()), static_cast<int>(model.tracks.size()),
              static_cast<int>(model.lamps.size()), gameDir.c_str(), secs);
  return 0;
}
