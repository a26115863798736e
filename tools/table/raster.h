#pragma once
// A small software renderer for the table's pictures: triangles in table
// coordinates, projected with the engine's own perspective functions
// (PERSP_X, PERSP_Y, PERSP_DEPTH), rasterised with a depth buffer at a few
// samples per pixel, shaded with one directional light, shadows from an
// orthographic shadow map, and transparent surfaces blended over the opaque
// ones. Because the depths are the engine's projection depths, the screen
// depth plane it yields is exactly what the ball's depth is tested against.
#include <cstdint>
#include <vector>

#include "table/geom.h"
#include "table/model.h"

namespace tbl {

struct Material {
  Rgb colour[REGIMES];
  double specular = 0.3, shininess = 20;
  double opacity = 1;  // below 1: blended over what lies behind it
  int see = 255;       // transparency plane value while in front
  int texture = -1;    // >= 0: the floor picture (per regime) gives the colour
  double emissive = 0;  // added light, for lit lamps
};

struct Tri {
  P3 v[3];
  P3 n[3];  // vertex normals (need not face the camera: they are turned towards it)
  int mat;
};

// A table-space picture: RGB at `scale` pixels per table unit, covering
// table x 0..800 and y 0..600.
struct Texture {
  int width = 0, height = 0;
  double scale = 2;
  std::vector<float> rgb;
  Rgb sample(double x, double y) const;
};

struct Scene {
  std::vector<Material> mats;
  std::vector<Tri> tris;
  int addMaterial(const Material& m);
  void add(P3 a, P3 b, P3 c, int mat);                          // flat
  void add(P3 a, P3 b, P3 c, P3 na, P3 nb, P3 nc, int mat);     // smooth
  void quad(P3 a, P3 b, P3 c, P3 d, int mat);                   // a b c d around
};

// Light from above the top left of the table, as the ball's highlight.
P3 lightDirection();
// Where the projection's eye is, in table coordinates.
P3 cameraPosition();

struct ShadowMap {
  double u0 = -300, v0 = -400, scale = 2;
  int w = 0, h = 0;
  std::vector<float> top;  // highest z along the light for each cell
  void build(const std::vector<const Scene*>& scenes);
  // 1 lit .. 0 in shadow, softened over a few cells.
  double light(P3 p) const;
};

// One render of a screen rectangle at ss x ss samples per pixel.
struct Samples {
  int x0 = 0, y0 = 0, w = 0, h = 0, ss = 2;
  std::vector<float> depth;     // front-most depth of any surface (transparent ones included)
  std::vector<float> opaque;    // depth of the opaque surface
  std::vector<float> rgb;       // shaded colour
  std::vector<uint8_t> see;     // transparency value of the front-most surface
  std::vector<uint8_t> covered; // 1 where something was drawn
  std::vector<float> point;     // table point of the front-most surface (x, y, z)
  void reset(int x0, int y0, int w, int h, int ss);
  size_t count() const { return static_cast<size_t>(w) * ss * h * ss; }
};

struct RenderSettings {
  int regime = 0;
  const std::vector<Texture>* textures = nullptr;  // indexed by Material::texture, per regime: [tex * 3 + regime]
  const ShadowMap* shadow = nullptr;
  double ambient = 0.42, diffuse = 0.72;
};

// Renders scene into out (which fixes the rectangle and the sample count).
void render(const Scene& scene, const RenderSettings& rs, Samples* out);

// Projection helpers over the engine's functions.
struct Screen {
  double x, y, depth;
};
Screen project(P3 p);

}  // namespace tbl
