#include "table/raster.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "physics/geometry.h"

namespace tbl {

Screen project(P3 p) { return {PERSP_X(p.x, p.y, p.z), PERSP_Y(p.y, p.z), PERSP_DEPTH(p.y, p.z)}; }

P3 lightDirection() { return unit3(P3{-0.42, -0.62, 0.66}); }

P3 cameraPosition() {
  // depth = (Y0 - y) ca - sa z + D is zero at the eye, as is the screen-y
  // numerator (Y0 - y) sa + ca z: y = Y0 + D ca, z = D sa, x = cx.
  const PerspState* s = perspState();
  return {s->cx, s->Y0 + s->D * s->ca, s->D * s->sa};
}

Rgb Texture::sample(double x, double y) const {
  if (width == 0) return {1, 0, 1};
  double fx = x * scale - 0.5, fy = y * scale - 0.5;
  fx = std::clamp(fx, 0.0, width - 1.0);
  fy = std::clamp(fy, 0.0, height - 1.0);
  const int ix = std::min(static_cast<int>(fx), width - 2 < 0 ? 0 : width - 2);
  const int iy = std::min(static_cast<int>(fy), height - 2 < 0 ? 0 : height - 2);
  const double tx = fx - ix, ty = fy - iy;
  auto at = [&](int xx, int yy, int c) {
    return static_cast<double>(rgb[(static_cast<size_t>(yy) * width + xx) * 3 + c]);
  };
  double out[3];
  for (int c = 0; c < 3; c++) {
    const double a = at(ix, iy, c) * (1 - tx) + at(ix + 1, iy, c) * tx;
    const double b = at(ix, iy + 1, c) * (1 - tx) + at(ix + 1, iy + 1, c) * tx;
    out[c] = a * (1 - ty) + b * ty;
  }
  return {out[0], out[1], out[2]};
}

int Scene::addMaterial(const Material& m) {
  mats.push_back(m);
  return static_cast<int>(mats.size()) - 1;
}

void Scene::add(P3 a, P3 b, P3 c, int mat) {
  P3 n = unit3(cross3(b - a, c - a));
  if (len3(n) == 0) return;
  tris.push_back({{a, b, c}, {n, n, n}, mat});
}

void Scene::add(P3 a, P3 b, P3 c, P3 na, P3 nb, P3 nc, int mat) {
  if (len3(cross3(b - a, c - a)) == 0) return;
  tris.push_back({{a, b, c}, {na, nb, nc}, mat});
}

void Scene::quad(P3 a, P3 b, P3 c, P3 d, int mat) {
  add(a, b, c, mat);
  add(a, c, d, mat);
}

namespace {

struct UV {
  double u, v;
};

UV toShadow(P3 p, P3 L) { return {p.x - p.z * L.x / L.z, p.y - p.z * L.y / L.z}; }

}  // namespace

void ShadowMap::build(const std::vector<const Scene*>& scenes) {
  const P3 L = lightDirection();
  if (w == 0) {
    w = static_cast<int>((1100 - u0) * scale);
    h = static_cast<int>((700 - v0) * scale);
  }
  top.assign(static_cast<size_t>(w) * h, -std::numeric_limits<float>::infinity());
  for (const Scene* s : scenes) {
    for (const Tri& t : s->tris) {
      if (s->mats[t.mat].opacity < 0.3) continue;
      UV q[3];
      for (int k = 0; k < 3; k++) {
        const UV uv = toShadow(t.v[k], L);
        q[k] = {(uv.u - u0) * scale, (uv.v - v0) * scale};
      }
      const double area = (q[1].u - q[0].u) * (q[2].v - q[0].v) - (q[2].u - q[0].u) * (q[1].v - q[0].v);
      if (std::fabs(area) < 1e-12) continue;
      const int ix0 = std::max(0, static_cast<int>(std::floor(std::min({q[0].u, q[1].u, q[2].u}))));
      const int ix1 = std::min(w - 1, static_cast<int>(std::ceil(std::max({q[0].u, q[1].u, q[2].u}))));
      const int iy0 = std::max(0, static_cast<int>(std::floor(std::min({q[0].v, q[1].v, q[2].v}))));
      const int iy1 = std::min(h - 1, static_cast<int>(std::ceil(std::max({q[0].v, q[1].v, q[2].v}))));
      for (int y = iy0; y <= iy1; y++) {
        for (int x = ix0; x <= ix1; x++) {
          const double px = x + 0.5, py = y + 0.5;
          const double w0 = ((q[1].u - px) * (q[2].v - py) - (q[2].u - px) * (q[1].v - py)) / area;
          const double w1 = ((q[2].u - px) * (q[0].v - py) - (q[0].u - px) * (q[2].v - py)) / area;
          const double w2 = 1 - w0 - w1;
          if (w0 < -1e-6 || w1 < -1e-6 || w2 < -1e-6) continue;
          const double z = w0 * t.v[0].z + w1 * t.v[1].z + w2 * t.v[2].z;
          float& cell = top[static_cast<size_t>(y) * w + x];
          if (z > cell) cell = static_cast<float>(z);
        }
      }
    }
  }
}

double ShadowMap::light(P3 p) const {
  if (w == 0) return 1;
  const P3 L = lightDirection();
  const UV uv = toShadow(p, L);
  const double fx = (uv.u - u0) * scale, fy = (uv.v - v0) * scale;
  int lit = 0, all = 0;
  for (int dy = -2; dy <= 2; dy++) {
    for (int dx = -2; dx <= 2; dx++) {
      const int x = static_cast<int>(std::floor(fx)) + dx, y = static_cast<int>(std::floor(fy)) + dy;
      all++;
      if (x < 0 || y < 0 || x >= w || y >= h) {
        lit++;
        continue;
      }
      if (p.z >= top[static_cast<size_t>(y) * w + x] - 0.6) lit++;
    }
  }
  return static_cast<double>(lit) / all;
}

void Samples::reset(int x, int y, int ww, int hh, int s) {
  x0 = x;
  y0 = y;
  w = ww;
  h = hh;
  ss = s;
  const size_t n = count();
  depth.assign(n, std::numeric_limits<float>::infinity());
  opaque.assign(n, std::numeric_limits<float>::infinity());
  rgb.assign(n * 3, 0.0f);
  see.assign(n, 255);
  covered.assign(n, 0);
  point.assign(n * 3, 0.0f);
}

namespace {

struct Hit {
  int tri = -1;
  float w1 = 0, w2 = 0;
  float depth = std::numeric_limits<float>::infinity();
};

struct Projected {
  double x, y, d;
};

// Rasterises one triangle into the hit buffer (keeping the nearest), for
// samples where the depth is below `limit` (null: no limit).
void rasterTri(const Tri& t, int id, const Samples& s, std::vector<Hit>* hits, const std::vector<Hit>* limit) {
  Projected p[3];
  for (int k = 0; k < 3; k++) {
    const Screen sc = project(t.v[k]);
    if (!(sc.depth > 1)) return;  // behind or at the eye: never in the table's view
    p[k] = {(sc.x - s.x0) * s.ss, (sc.y - s.y0) * s.ss, sc.depth};
  }
  const double area = (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[2].x - p[0].x) * (p[1].y - p[0].y);
  if (std::fabs(area) < 1e-12) return;
  const int W = s.w * s.ss, H = s.h * s.ss;
  const int ix0 = std::max(0, static_cast<int>(std::floor(std::min({p[0].x, p[1].x, p[2].x}))));
  const int ix1 = std::min(W - 1, static_cast<int>(std::ceil(std::max({p[0].x, p[1].x, p[2].x}))));
  const int iy0 = std::max(0, static_cast<int>(std::floor(std::min({p[0].y, p[1].y, p[2].y}))));
  const int iy1 = std::min(H - 1, static_cast<int>(std::ceil(std::max({p[0].y, p[1].y, p[2].y}))));
  const double inv0 = 1 / p[0].d, inv1 = 1 / p[1].d, inv2 = 1 / p[2].d;
  for (int y = iy0; y <= iy1; y++) {
    const double py = y + 0.5;
    for (int x = ix0; x <= ix1; x++) {
      const double px = x + 0.5;
      const double l0 = ((p[1].x - px) * (p[2].y - py) - (p[2].x - px) * (p[1].y - py)) / area;
      const double l1 = ((p[2].x - px) * (p[0].y - py) - (p[0].x - px) * (p[2].y - py)) / area;
      const double l2 = 1 - l0 - l1;
      if (l0 < 0 || l1 < 0 || l2 < 0) continue;
      const double q0 = l0 * inv0, q1 = l1 * inv1, q2 = l2 * inv2;
      const double sum = q0 + q1 + q2;
      const float depth = static_cast<float>(1 / sum);
      const size_t i = static_cast<size_t>(y) * W + x;
      if (limit && !(depth < (*limit)[i].depth)) continue;
      Hit& h = (*hits)[i];
      if (depth < h.depth) h = {id, static_cast<float>(q1 / sum), static_cast<float>(q2 / sum), depth};
    }
  }
}

Rgb shade(const Scene& scene, const Tri& t, const Hit& h, const RenderSettings& rs, P3* where) {
  const Material& m = scene.mats[t.mat];
  const double w1 = h.w1, w2 = h.w2, w0 = 1 - w1 - w2;
  const P3 P = t.v[0] * w0 + t.v[1] * w1 + t.v[2] * w2;
  *where = P;
  P3 N = unit3(t.n[0] * w0 + t.n[1] * w1 + t.n[2] * w2);
  const P3 toEye = unit3(cameraPosition() - P);
  if (dot3(N, toEye) < 0) N = N * -1.0;
  Rgb base = m.colour[rs.regime];
  if (m.texture >= 0 && rs.textures) base = (*rs.textures)[m.texture * REGIMES + rs.regime].sample(P.x, P.y);
  const P3 L = lightDirection();
  const double ndl = std::max(0.0, dot3(N, L));
  const double lit = rs.shadow ? rs.shadow->light(P + N * 0.7) : 1.0;
  const P3 H = unit3(L + toEye);
  const double shine = m.specular * std::pow(std::max(0.0, dot3(N, H)), m.shininess) * lit;
  const double k = rs.ambient + rs.diffuse * ndl * lit + m.emissive;
  return {base.r * k + shine, base.g * k + shine, base.b * k + shine};
}

}  // namespace

void render(const Scene& scene, const RenderSettings& rs, Samples* out) {
  const size_t n = out->count();
  std::vector<Hit> opaque(n), clear(n);
  for (size_t i = 0; i < scene.tris.size(); i++)
    if (scene.mats[scene.tris[i].mat].opacity >= 1) rasterTri(scene.tris[i], static_cast<int>(i), *out, &opaque, nullptr);
  for (size_t i = 0; i < scene.tris.size(); i++)
    if (scene.mats[scene.tris[i].mat].opacity < 1) rasterTri(scene.tris[i], static_cast<int>(i), *out, &clear, &opaque);
  for (size_t i = 0; i < n; i++) {
    Rgb c{0, 0, 0};
    P3 where{0, 0, 0};
    if (opaque[i].tri >= 0) {
      const Tri& t = scene.tris[opaque[i].tri];
      c = shade(scene, t, opaque[i], rs, &where);
      out->opaque[i] = opaque[i].depth;
      out->depth[i] = opaque[i].depth;
      out->see[i] = static_cast<uint8_t>(scene.mats[t.mat].see);
      out->covered[i] = 1;
    }
    if (clear[i].tri >= 0) {
      const Tri& t = scene.tris[clear[i].tri];
      const Material& m = scene.mats[t.mat];
      const Rgb tc = shade(scene, t, clear[i], rs, &where);
      const double a = out->covered[i] ? m.opacity : 1.0;
      c = {c.r * (1 - a) + tc.r * a, c.g * (1 - a) + tc.g * a, c.b * (1 - a) + tc.b * a};
      out->depth[i] = clear[i].depth;
      out->see[i] = static_cast<uint8_t>(m.see);
      out->covered[i] = 1;
    }
    out->rgb[i * 3] = static_cast<float>(c.r);
    out->rgb[i * 3 + 1] = static_cast<float>(c.g);
    out->rgb[i * 3 + 2] = static_cast<float>(c.b);
    out->point[i * 3] = static_cast<float>(where.x);
    out->point[i * 3 + 1] = static_cast<float>(where.y);
    out->point[i * 3 + 2] = static_cast<float>(where.z);
  }
}

}  // namespace tbl
