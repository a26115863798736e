#pragma once
// Table geometry maps, prepared off line from the rendered table and read at
// table load from temp/:
//  - shape files "temp/#shapes-%d.dat": the collision outlines of the table
//    objects of one table layer; each outline becomes a board object through
//    the object readers;
//  - top z-buffers "temp/table-%dtz.dat": the surface height map of each of
//    the eight table layers, for the ball's drawing height;
//  - the screen z-buffer "temp/table-z.dat": the depth of every pixel of the
//    table picture, which the graphics engine depth-tests sprites against;
// and the perspective projection from table coordinates to the screen.
//
// Every integer, float and double in these files is little-endian. The
// readers take the files as untrusted: counts, sizes and offsets are checked
// against the bytes really there, and a damaged file fails with a message
// and never reads outside its image.
//
// Shape file: shape records anywhere in the file, then a table of N 32-bit
// record offsets, then N itself in the last four bytes. The records the table
// names lie before the table and share no bytes, and the one that ends last
// ends where the table begins (a file of no shapes is its four-byte count).
// Shape record: code bytes 0..2, x, y, z (f64), vertex count n (i32), the box
// xmin, xmax, ymin, ymax (f64, relative to the position), then n vertices of
// x, y, z (f64, relative to the position, in order around the polygon).
// Top z-buffer: width (i32), height (i32), zmin (f32), zmax (f32), then
// width x height unsigned 16-bit height codes, row by row.
// Screen z-buffer: width (i32), height (i32), then width x height 16-bit
// depth values, row by row.
#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

struct ConfSet;

enum {
  TABLE_LAYERS = 8,  // layer n is bit n of an object's lmask
  SHAPE_FILES = 10,  // "temp/#shapes-0.dat" .. "temp/#shapes-9.dat"
  SHAPE_HEADER_SIZE = 63,
  SHAPE_VERTEX_SIZE = 24,
  // Vertices plus edge lines of the largest outline still fit an int byte count.
  SHAPE_MAX_VERTICES = (0x7FFFFFFF - SHAPE_HEADER_SIZE) / 56,
  ZBUF_HEADER_SIZE = 16,
  SZBUF_HEADER_SIZE = 8,
};

// Table x to the right, y down the table, z the height.
struct Vec3 {
  double x, y, z;
};

// One edge of an outline as a line: unit normal (nx, ny, 0) and offset
// d = normal . vertex.
struct EdgeLine {
  double nx, ny, nz, d;
};

// The collision geometry of one table object. Edge i joins the nearest
// earlier vertex that differs from vertex i (cyclically) to vertex i; its
// normal is the left normal (-dy, dx) of that edge's unit direction.
// vertices and edges share one allocation, owned by whoever read the outline
// (shFree); board objects copy the record and keep pointing at the arrays.
struct Outline {
  int code[3];  // the three code bytes, 0..255
  Vec3 pos;     // vertices and box are relative to it
  int n;
  double xmin, ymin, xmax, ymax;
  Vec3* vertices;   // n, null when n is 0
  EdgeLine* edges;  // n
};

// ---- Shape records and shape files ----

// Reads one shape record at the current position of file. 0, or -1 with
// "SH_READ_ALT(): header read error (%d of %d bytes read)" (expected: the
// whole record, 24n + 63, when n was among the bytes read, else 63),
// "SH_READ_ALT(): invalid vertex count %d",
// "SH_READ_ALT(): not enough memory (%d bytes needed)" or
// "SH_READ_ALT(): read error: %d of %d bytes read"; on failure the outline
// is zeroed and owns nothing.
int SH_READ_ALT(Outline* outline, FILE* file);
// The same reader over a file image, at a byte offset (any offset is safe).
int shParseRecord(Outline* outline, std::span<const uint8_t> image, size_t offset);
// Recomputes the edge lines from the vertices. Vertices that coincide with
// every other vertex give a zero edge line.
void shComputeEdges(Outline* outline);
// Releases the arrays and zeroes the record.
void shFree(Outline* outline);
// The outline's position truncated towards zero: its parameter section is
// named after it. Positions beyond the int range are clamped, NaN gives 0.
void shSectionOf(const Outline* outline, int* x, int* y);

// The record offsets at the end of a shape file image, after checking that
// the records they name lie in the file as described above (each header and
// vertex count is looked at, nothing is decoded). 0, or -1 with
// "shReadIndex(): error reading the shape count from '%s'",
// "shReadIndex(): invalid shape count %d in '%s' (%d bytes)" or
// "shReadIndex(): damaged file '%s': " followed by
// "shape %d at offset %u: its 63-byte header does not fit before the offset
// table at byte %zu", "shape %d at offset %u: invalid vertex count %d",
// "shape %d at offset %u: its %d vertices run past the offset table at byte
// %zu", "shapes %d and %d overlap" or "the %zu bytes from byte %zu up to the
// offset table belong to no shape". On failure offsets is empty.
int shReadIndex(std::span<const uint8_t> image, const char* name, std::vector<uint32_t>* offsets);
// A whole file into memory. 0, or -1 with
// "%s: error opening the file '%s': %s" (caller's name, system error text)
// or "%s: error reading the file '%s'".
int shReadFileImage(const char* path, const char* caller, std::vector<uint8_t>* image);

// The image of a shape file holding the outlines in order (records first,
// then the offset table and the count). False with a message for an outline
// a reader would refuse (negative or oversized n, missing vertices, a code
// outside 0..255).
bool shBuildImage(std::span<const Outline> shapes, std::vector<uint8_t>* image);
// Writes a shape file. 0, or -1 after logging why.
int shWriteFile(const char* path, std::span<const Outline> shapes);

// ---- Loading the table's shapes ----

// What the rest of the table physics supplies while shapes are loaded: the
// load-time estimator's checkpoint, the object families' current object
// configuration, and the object readers that turn an outline into a board
// object. Any entry may be null.
struct ShapeLoadHooks {
  int (*checkpoint)(const char* category);
  // Makes set the current object configuration; null clears it.
  void (*setObjectConf)(ConfSet* set);
  // Offers an outline of a layer to the object readers: the number of the
  // reader that created an object from it, or -1 when none did. A created
  // object may keep pointing at the outline's arrays: they stay alive until
  // FREE_SHAPES.
  int (*recognize)(int layer, Outline* outline);
};
// Installs the hooks (copied); null removes them.
void shapeSetLoadHooks(const ShapeLoadHooks* hooks);

// For n = 0..9: checkpoint "shapes%d"; reads "table/objects-%d.conf" (binary
// twin "table/objects-%d.bcf", rewritten when writeBinary is set) and stops
// when it can't; makes it the current object configuration and begins the
// template statistics; reads every record of "temp/#shapes-%d.dat" and
// offers it to the readers with layer n. A missing shape file or a damaged
// one (shReadIndex) skips that layer, a record that still can't be read
// ("Error reading shape %d.%d") skips that record. Returns the number of
// records read.
int LOAD_SHAPES(int writeBinary);
// Releases the arrays of every outline kept by LOAD_SHAPES and the template
// statistics (end of session).
void FREE_SHAPES();

// ---- Template statistics of the shape file being loaded ----

struct ShapeTmplShape {
  int x, y;  // position truncated as for the parameter section
  int code[3];
};
struct ShapeTmplTriple {
  int code[3];
  int count;  // shapes carrying these codes
};
// Starts afresh. 0, or -1 with "shapeTmplBegin(): not enough memory for buffers".
int shapeTmplBegin();
// 0, or -1 with "shapeTmplAdd(): not enough memory for buffers".
int shapeTmplAdd(const Outline* outline);
int shapeTmplShapeCount();
const ShapeTmplShape* shapeTmplShape(int i);  // null outside 0..count-1
int shapeTmplTripleCount();
const ShapeTmplTriple* shapeTmplTriple(int i);  // in order of first appearance
void shapeTmplFree();

// ---- Top z-buffers: layer height maps ----

struct ZBUF {
  uint16_t* codes;  // width x height, row by row; malloc'ed, released by zbufFree
  float zmin;       // height of code 0
  float zmax;       // height of code 65535
  int width, height;
};

// 0, or -1 with "ZBUF_READ(): error opening file '%s'",
// "ZBUF_READ(): error reading header from '%s'",
// "ZBUF_READ(): invalid size %dx%d in '%s'" or
// "ZBUF_READ(): error reading data from '%s' (%d of %d bytes read)";
// on failure the record is zeroed.
int ZBUF_READ(const char* path, ZBUF* record);
// The same over a file image; name is the file name for messages.
int zbufParse(std::span<const uint8_t> image, const char* name, ZBUF* record);
void zbufFree(ZBUF* record);
// False with a message for a record a reader would refuse.
bool zbufBuildImage(const ZBUF* record, std::vector<uint8_t>* image);
int zbufWrite(const char* path, const ZBUF* record);  // 0 or -1

// Stores a loaded map as layer 0..7 and takes its codes (the record's codes
// become null; a map already stored there is released). Returns 1, or 0 for
// another layer number, which is ignored and leaves the record alone.
int SET_LAYER_HEIGHTS(int layer, ZBUF* record);
const ZBUF* LAYER_HEIGHTS(int layer);  // null when not loaded
// Forgets and releases all eight maps.
void CLEAR_LAYER_HEIGHTS();
// Height of layer at (x, y) truncated to integers: code x (1/65535) x
// (zmax - zmin) + zmin. 0 outside the map, for a layer not loaded and for a
// layer outside 0..7.
double SURFACE_HEIGHT(int layer, double x, double y);

// ---- Screen z-buffer ----

// The depth array (malloc'ed; release with std::free) or null with
// "SZBUF_READ(): can't open file '%s'", "SZBUF_READ(): can't read header from
// '%s'", "SZBUF_READ(): invalid size %dx%d in '%s'" or
// "SZBUF_READ(): error reading data from '%s' (%d of %d bytes read)".
// A map of no cells gives a valid one-element allocation.
uint16_t* SZBUF_READ(const char* path, int* width, int* height);
uint16_t* szbufParse(std::span<const uint8_t> image, const char* name, int* width, int* height);
bool szbufBuildImage(const uint16_t* depth, int width, int height, std::vector<uint8_t>* image);
int szbufWrite(const char* path, const uint16_t* depth, int width, int height);  // 0 or -1

// The table load's depth maps: reads "temp/table-z.dat", logs
// "zbuf_read (%s): zbuf-%p", hands it to attachDepth (which copies it to
// the screen; when both exist) and frees it, checkpoint "cam_zbuf"; then
// clears the layers and, for n = 0..7 while "temp/table-%dtz.dat" exists,
// reads it and stores it as layer n (checkpoint "top_zbuf%d"). Returns the
// number of layers stored.
int loadTableMaps(void (*attachDepth)(const uint16_t* depth, int width, int height),
                  int (*checkpoint)(const char* category));

// ---- Perspective projection ----

struct PerspState {
  double cx, cy;  // screen centre
  double fx, fy;  // focal factors
  double ca, sa;  // cosine and sine of the view angle
  double Y0;      // table y of the view axis foot
  double D;       // distance
};

// Angles in degrees; W and H are the size of the layer height maps.
void PERSP_SETUP(int W, int H, double fovx, double fovy, double angle, double dist);
double PERSP_X(double x, double y, double z);
double PERSP_Y(double y, double z);
double PERSP_DEPTH(double y, double z);
const PerspState* perspState();

// The view keys of the global configuration set.
struct PerspKeys {
  double fovx, fovy, angle, dist;  // "persp.fovx" .. "persp.dist": 60, 60, 60, 500
  int dx, dy, dz, ddepth;          // "persp.glb_dx" .. "persp.glb_ddepth": 0
  int ballsize;                    // "persp.glb_ballsize": 15
};
void perspReadKeys(ConfSet* global, PerspKeys* keys);
// PERSP_SETUP from the keys, over the size of the lowest loaded layer map
// (800 x 600, the board's size, when no layer is loaded).
void perspSetupTable(const PerspKeys* keys);
