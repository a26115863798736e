#pragma once
// Writing the compiled table into the game folder.
#include <cstdint>
#include <string>
#include <vector>

#include "table/model.h"

struct PerspKeys;

namespace tbl {

// Creates every missing folder of path's parent chain (path itself is a file).
bool makeParents(const std::string& path);
bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool writeTextFile(const std::string& path, const std::string& text);

// The sprite keys the compiler fills in for an object, with the game-folder
// paths of the sprite files (zona keys name files without ".gsp").
std::vector<KeyValue> spriteKeyValues(const Object& o);

// "temp/#shapes-%d.dat" and "table/objects-%d.conf" (with .bcf twins) for
// layers 0..7.
bool writeShapes(const Model& m, const std::string& gameDir);
// The track files and "conf/track.conf" (with its .bcf twin).
bool writeTracks(const Model& m, const std::string& gameDir);

// Surface height of every layer at integer table points, 800 x 600, row by row.
struct HeightMaps {
  std::vector<double> h[LAYERS];
  double at(int layer, int x, int y) const;
};
void buildHeights(const Model& m, HeightMaps* maps);
// "temp/table-%dtz.dat" for the eight layers.
bool writeHeights(const HeightMaps& maps, const std::string& gameDir);
// "conf/score.conf" (with its .bcf twin): the score subjects placed where
// their targets are seen through the view (PERSP_SETUP done).
bool writeScore(const Model& m, const HeightMaps& heights, const PerspKeys& view, const std::string& gameDir);

// The strip a track occupies on its layer: left and right edges with the
// track's heights, extended at both ends so that a ball just off the track
// still finds the ramp's height.
void trackStrip(const Track& t, double width, double extend, std::vector<P3>* left, std::vector<P3>* right);

// The features' animation scripts "tiny/<feature>-<state>.gnm" and the
// sprites they play, drawn over the rendered table.
struct RenderState;
bool writeGnms(const RenderState& rs, const std::string& gameDir);

}  // namespace tbl
