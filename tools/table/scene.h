#pragma once
// The table as 3-D geometry: the static scene behind every background
// picture, and the moving parts of each object drawn into its sprites.
#include <map>
#include <string>

#include "table/model.h"
#include "table/raster.h"

namespace tbl {

// Materials made from the model's palettes, shared by every scene built
// through one Looks.
struct Looks {
  const Model* m = nullptr;
  std::map<std::string, Material> cache;
  // A material by name, coloured by its own role or by `role` when given.
  Material get(const std::string& material, const std::string& role = "");
  // A colour role as a plain material with the given finish.
  Material paint(const std::string& role, double specular, double shininess, double emissive = 0);
};

// Solids.
void addExtrusion(Scene* s, const std::vector<P2>& poly, double z0, double z1, int side, int top);
void addCylinder(Scene* s, P2 c, double r, double z0, double z1, int n, int side, int top);
void addCone(Scene* s, P2 c, double r0, double r1, double z0, double z1, int n, int side, int top);
void addSphere(Scene* s, P3 c, double r, int n, int mat, bool upperHalfOnly);
void addBox(Scene* s, P3 a, P3 b, int mat);
// A thin bar of square section from a to b.
void addBar(Scene* s, P3 a, P3 b, double thick, int mat);
// A flat polygon at height z (facing up).
void addFlat(Scene* s, const std::vector<P2>& poly, double z, int mat);

// The whole static table: floor, surfaces, ramps and wire tracks, object
// bodies that never move, decorations. Floor material uses texture 0.
void buildStaticScene(const Model& m, Looks* looks, Scene* s);

// The moving part of an object for frame `frame` of `frames` of its
// animation `part` (the family decides what parts exist; see sprites.cpp).
// Returns false when the family draws nothing for that part.
bool buildObjectFrame(const Model& m, Looks* looks, const Object& o, const std::string& part, int frame, int frames,
                      Scene* s);

// The height of an object's base: the surface of its layer at its position.
double baseHeight(const Model& m, const Object& o);

}  // namespace tbl
