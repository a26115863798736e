#pragma once
// Plane and space geometry for the table compiler: outlines, thick
// polylines, arcs, polygon triangulation and evenly spaced resampling.
// Table coordinates: x to the right, y down the table, z up from the
// playfield; angles in degrees, 0 along +x, 90 along +y.
#include <vector>

namespace tbl {

struct P2 {
  double x, y;
};
struct P3 {
  double x, y, z;
};

inline P2 operator+(P2 a, P2 b) { return {a.x + b.x, a.y + b.y}; }
inline P2 operator-(P2 a, P2 b) { return {a.x - b.x, a.y - b.y}; }
inline P2 operator*(P2 a, double s) { return {a.x * s, a.y * s}; }
inline P3 operator+(P3 a, P3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline P3 operator-(P3 a, P3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline P3 operator*(P3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(P2 a, P2 b);
double cross(P2 a, P2 b);
double len(P2 a);
P2 unit(P2 a);  // zero stays zero
double dot3(P3 a, P3 b);
P3 cross3(P3 a, P3 b);
double len3(P3 a);
P3 unit3(P3 a);
P2 rotate(P2 a, double degrees);
constexpr double kDeg = 0.017453292519943295;

// Twice the signed area by the shoelace sum; positive for the orientation the
// board's outlines need (clockwise on the screen, where y grows downwards).
double signedArea2(const std::vector<P2>& poly);
// Reversed when its signed area is negative.
void orientOutline(std::vector<P2>* poly);
// Drops consecutive points closer than eps (cyclically).
void dropDuplicates(std::vector<P2>* poly, double eps = 1e-6);

// Points of an arc about c of radius r from angle a0 to a1 (both included),
// with about one point per `step` units of arc (at least 2).
std::vector<P2> arcPoints(P2 c, double r, double a0, double a1, double step);
std::vector<P2> circlePoints(P2 c, double r, int n);

// The outline of a polyline thickened to width w (mitred joins, square ends),
// going out along the left side and back along the right.
std::vector<P2> strokeOutline(const std::vector<P2>& line, double w);
// The left and right edges of a thick polyline (same length as line).
void strokeSides(const std::vector<P2>& line, double w, std::vector<P2>* left, std::vector<P2>* right);

// Ear-clipping triangulation of a simple polygon (any orientation): index
// triples into poly. Degenerate input gives what it can.
std::vector<int> triangulate(const std::vector<P2>& poly);

bool pointInPolygon(const std::vector<P2>& poly, P2 p);
void bounds(const std::vector<P2>& poly, double* x0, double* y0, double* x1, double* y1);

// A polyline resampled to points exactly `spacing` apart (straight-line
// distance, 3-D), from its start; one more step along the last segment runs
// past its end. At most kMaxTrackPoints points: a longer result means the
// track is far too long for its spacing.
inline constexpr int kMaxTrackPoints = 100000;
std::vector<P3> resample(const std::vector<P3>& line, double spacing);
double polylineLength(const std::vector<P3>& line);

}  // namespace tbl
