// Shape files: reading and writing the collision outlines of the table, and
// loading every layer's outlines into table objects at table load.
#include "physics/geometry.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/bytes.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/mem.h"
#include "core/text.h"

namespace {

constexpr const char* kReadName = "SH_READ_ALT()";

// Where a record's bytes come from: an open file or a file image. read
// returns the bytes copied; remaining is the number of bytes after the
// current position, or -1 when that can't be told.
struct ByteSource {
  size_t (*read)(void* ctx, uint8_t* dst, size_t n);
  long long (*remaining)(void* ctx);
  void* ctx;
};

size_t fileRead(void* ctx, uint8_t* dst, size_t n) { return std::fread(dst, 1, n, static_cast<FILE*>(ctx)); }

long long fileRemaining(void* ctx) {
  FILE* f = static_cast<FILE*>(ctx);
  long here = std::ftell(f);
  if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) return -1;
  long end = std::ftell(f);
  if (std::fseek(f, here, SEEK_SET) != 0 || end < here) return -1;
  return end - here;
}

struct MemCursor {
  std::span<const uint8_t> image;
  size_t pos;
};

size_t memRead(void* ctx, uint8_t* dst, size_t n) {
  auto* c = static_cast<MemCursor*>(ctx);
  size_t left = c->pos < c->image.size() ? c->image.size() - c->pos : 0;
  if (n > left) n = left;
  if (n) std::memcpy(dst, c->image.data() + c->pos, n);
  c->pos += n;
  return n;
}

long long memRemaining(void* ctx) {
  auto* c = static_cast<MemCursor*>(ctx);
  return c->pos < c->image.size() ? static_cast<long long>(c->image.size() - c->pos) : 0;
}

int readRecord(Outline* o, const ByteSource& src) {
  *o = Outline{};
  uint8_t h[SHAPE_HEADER_SIZE];
  size_t got = src.read(src.ctx, h, sizeof h);
  ByteReader hr = brOpen(std::span<const uint8_t>(h, got));
  Outline r{};
  for (int i = 0; i < 3; i++) r.code[i] = brU8(&hr);
  r.pos.x = brF64le(&hr);
  r.pos.y = brF64le(&hr);
  r.pos.z = brF64le(&hr);
  int n = brLe<int32_t>(&hr);  // 0 when the header was cut before it
  r.xmin = brF64le(&hr);
  r.xmax = brF64le(&hr);
  r.ymin = brF64le(&hr);
  r.ymax = brF64le(&hr);
  if (!brOk(&hr)) {
    // The expected size is that of the whole record when the vertex count
    // was among the bytes read.
    int want =
        n >= 0 && n <= SHAPE_MAX_VERTICES ? SHAPE_HEADER_SIZE + SHAPE_VERTEX_SIZE * n : SHAPE_HEADER_SIZE;
    return logError(-1, "%s: header read error (%d of %d bytes read)", kReadName, static_cast<int>(got),
                    want);
  }
  if (n < 0 || n > SHAPE_MAX_VERTICES) return logError(-1, "%s: invalid vertex count %d", kReadName, n);
  int want = n * SHAPE_VERTEX_SIZE;
  // A count the file can't hold fails here, before anything is allocated for it.
  long long left = src.remaining(src.ctx);
  if (left >= 0 && left < want)
    return logError(-1, "%s: read error: %d of %d bytes read", kReadName, static_cast<int>(left), want);

  r.n = n;
  if (n > 0) {
    size_t bytes = static_cast<size_t>(n) * (sizeof(Vec3) + sizeof(EdgeLine));
    void* block = std::malloc(bytes);
    if (!block)
      return logError(-1, "%s: not enough memory (%d bytes needed)", kReadName, static_cast<int>(bytes));
    r.vertices = static_cast<Vec3*>(block);
    r.edges = reinterpret_cast<EdgeLine*>(r.vertices + n);
    // The raw vertex bytes go to the edge area first (it is larger), then are
    // decoded into the vertex array.
    auto* raw = reinterpret_cast<uint8_t*>(r.edges);
    got = src.read(src.ctx, raw, static_cast<size_t>(want));
    if (got < static_cast<size_t>(want)) {
      std::free(block);
      return logError(-1, "%s: read error: %d of %d bytes read", kReadName, static_cast<int>(got), want);
    }
    ByteReader vr = brOpen(std::span<const uint8_t>(raw, got));
    for (int i = 0; i < n; i++) {
      Vec3 v;
      v.x = brF64le(&vr);
      v.y = brF64le(&vr);
      v.z = brF64le(&vr);
      r.vertices[i] = v;
    }
    shComputeEdges(&r);
  }
  *o = r;
  return 0;
}

int clampTrunc(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return INT_MAX;
  if (v <= -2147483648.0) return INT_MIN;
  return static_cast<int>(v);
}

// ---- template statistics ----

struct TmplState {
  Array shapes;   // ShapeTmplShape
  Array triples;  // ShapeTmplTriple
  bool live;
};
TmplState T;

// ---- outlines kept for the session ----

ShapeLoadHooks gHooks{};
Array gKept;  // void*: the vertex blocks of the outlines LOAD_SHAPES handed out

}  // namespace

int SH_READ_ALT(Outline* outline, FILE* file) {
  ByteSource src{fileRead, fileRemaining, file};
  return readRecord(outline, src);
}

int shParseRecord(Outline* outline, std::span<const uint8_t> image, size_t offset) {
  MemCursor c{image, offset};
  ByteSource src{memRead, memRemaining, &c};
  return readRecord(outline, src);
}

void shComputeEdges(Outline* o) {
  for (int i = 0; i < o->n; i++) {
    const Vec3& v = o->vertices[i];
    EdgeLine e{0.0, 0.0, 0.0, 0.0};
    // Repeated vertices are skipped backwards, so a doubled point keeps the
    // direction of the edge that led to it.
    for (int k = 1; k < o->n; k++) {
      const Vec3& p = o->vertices[(i - k + o->n) % o->n];
      if (p.x == v.x && p.y == v.y) continue;
      double dx = v.x - p.x, dy = v.y - p.y;
      double len = std::sqrt(dx * dx + dy * dy);
      dx /= len;
      dy /= len;
      e.nx = -dy;
      e.ny = dx;
      e.d = e.nx * v.x + e.ny * v.y;
      break;
    }
    o->edges[i] = e;
  }
}

void shFree(Outline* outline) {
  if (!outline) return;
  std::free(outline->vertices);
  *outline = Outline{};
}

void shSectionOf(const Outline* outline, int* x, int* y) {
  *x = clampTrunc(outline->pos.x);
  *y = clampTrunc(outline->pos.y);
}

namespace {

// Where a record the offset table names lies: bytes [at, end) of the file.
struct RecordExtent {
  size_t at, end;
  int index;  // in the offset table
};

// Checks that every record the table names lies inside the records (the
// bytes before the offset table), that no two of them share bytes, and that
// the one that ends last ends where the table begins. Bytes before or
// between records are allowed (records may lie anywhere), bytes between the
// last record and the table are not: a file cut short and read from the
// wrong end finds no record ending there.
int checkLayout(std::span<const uint8_t> records, const char* name, const std::vector<uint32_t>& table) {
  constexpr const char* fn = "shReadIndex()";
  std::vector<RecordExtent> extents;
  extents.reserve(table.size());
  for (size_t j = 0; j < table.size(); j++) {
    const int index = static_cast<int>(j);
    const uint32_t at = table[j];
    ByteReader r = brOpen(records);
    brSeek(&r, at);
    brSkip(&r, 27);
    const int n = brLe<int32_t>(&r);
    brSkip(&r, SHAPE_HEADER_SIZE - 31);
    if (!brOk(&r))
      return logError(-1,
                      "%s: damaged file '%s': shape %d at offset %u: its %d-byte header does not fit "
                      "before the offset table at byte %zu",
                      fn, name, index, at, static_cast<int>(SHAPE_HEADER_SIZE), records.size());
    if (n < 0 || n > SHAPE_MAX_VERTICES)
      return logError(-1, "%s: damaged file '%s': shape %d at offset %u: invalid vertex count %d", fn, name,
                      index, at, n);
    if (!brSkip(&r, static_cast<size_t>(n) * SHAPE_VERTEX_SIZE))
      return logError(-1,
                      "%s: damaged file '%s': shape %d at offset %u: its %d vertices run past the offset "
                      "table at byte %zu",
                      fn, name, index, at, n, records.size());
    extents.push_back(RecordExtent{at, r.pos, index});
  }
  std::sort(extents.begin(), extents.end(),
            [](const RecordExtent& a, const RecordExtent& b) { return a.at < b.at; });
  // Sorted by start, a record overlaps an earlier one exactly when it starts
  // before the furthest end so far.
  const RecordExtent* furthest = nullptr;
  for (const RecordExtent& e : extents) {
    if (furthest && e.at < furthest->end) {
      int a = furthest->index < e.index ? furthest->index : e.index;
      int b = furthest->index < e.index ? e.index : furthest->index;
      return logError(-1, "%s: damaged file '%s': shapes %d and %d overlap", fn, name, a, b);
    }
    if (!furthest || e.end > furthest->end) furthest = &e;
  }
  const size_t end = furthest ? furthest->end : 0;
  if (end != records.size())
    return logError(-1,
                    "%s: damaged file '%s': the %zu bytes from byte %zu up to the offset table belong to "
                    "no shape",
                    fn, name, records.size() - end, end);
  return 0;
}

}  // namespace

int shReadIndex(std::span<const uint8_t> image, const char* name, std::vector<uint32_t>* offsets) {
  constexpr const char* fn = "shReadIndex()";
  offsets->clear();
  size_t size = image.size();
  if (size < 4) return logError(-1, "%s: error reading the shape count from '%s'", fn, name);
  ByteReader r = brOpen(image);
  brSeek(&r, size - 4);
  int count = brLe<int32_t>(&r);
  if (count < 0 || static_cast<size_t>(count) > size / 4 - 1)
    return logError(-1, "%s: invalid shape count %d in '%s' (%d bytes)", fn, count, name,
                    size > INT_MAX ? INT_MAX : static_cast<int>(size));
  const size_t tableAt = size - 4 * (static_cast<size_t>(count) + 1);
  brSeek(&r, tableAt);
  std::vector<uint32_t> table;
  table.reserve(static_cast<size_t>(count));
  for (int j = 0; j < count; j++) table.push_back(brLe<uint32_t>(&r));
  if (checkLayout(image.first(tableAt), name, table) < 0) return -1;
  *offsets = std::move(table);
  return 0;
}

int shReadFileImage(const char* path, const char* caller, std::vector<uint8_t>* image) {
  image->clear();
  FILE* f = std::fopen(path, "rb");
  if (!f) return logError(-1, "%s: error opening the file '%s': %s", caller, path, std::strerror(errno));
  uint8_t buf[65536];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) image->insert(image->end(), buf, buf + got);
  bool bad = std::ferror(f) != 0;
  std::fclose(f);
  if (bad) return logError(-1, "%s: error reading the file '%s'", caller, path);
  return 0;
}

bool shBuildImage(std::span<const Outline> shapes, std::vector<uint8_t>* image) {
  constexpr const char* fn = "shBuildImage()";
  image->clear();
  std::vector<uint32_t> offsets;
  for (size_t j = 0; j < shapes.size(); j++) {
    const Outline& o = shapes[j];
    int bad = -1;
    for (int i = 0; i < 3; i++)
      if (o.code[i] < 0 || o.code[i] > 255) bad = i;
    if (bad >= 0) {
      logError(0, "%s: shape %d: code %d out of range (%d)", fn, static_cast<int>(j), bad, o.code[bad]);
      return false;
    }
    if (o.n < 0 || o.n > SHAPE_MAX_VERTICES || (o.n > 0 && !o.vertices)) {
      logError(0, "%s: shape %d: invalid vertex count %d", fn, static_cast<int>(j), o.n);
      return false;
    }
    if (image->size() > 0xFFFFFFFFu - SHAPE_HEADER_SIZE) {
      logError(0, "%s: shape %d: file would exceed 32-bit offsets", fn, static_cast<int>(j));
      return false;
    }
    offsets.push_back(static_cast<uint32_t>(image->size()));
    for (int i = 0; i < 3; i++) bwU8(image, static_cast<uint8_t>(o.code[i]));
    bwF64le(image, o.pos.x);
    bwF64le(image, o.pos.y);
    bwF64le(image, o.pos.z);
    bwLe<uint32_t>(image, static_cast<uint32_t>(o.n));
    bwF64le(image, o.xmin);
    bwF64le(image, o.xmax);
    bwF64le(image, o.ymin);
    bwF64le(image, o.ymax);
    for (int i = 0; i < o.n; i++) {
      bwF64le(image, o.vertices[i].x);
      bwF64le(image, o.vertices[i].y);
      bwF64le(image, o.vertices[i].z);
    }
  }
  for (uint32_t off : offsets) bwLe<uint32_t>(image, off);
  bwLe<uint32_t>(image, static_cast<uint32_t>(offsets.size()));
  return true;
}

int shWriteFile(const char* path, std::span<const Outline> shapes) {
  constexpr const char* fn = "shWriteFile()";
  std::vector<uint8_t> image;
  if (!shBuildImage(shapes, &image)) return logError(-1, "%s: can't build the image of '%s'", fn, path);
  FILE* f = std::fopen(path, "wb");
  if (!f) return logError(-1, "%s: can't create file '%s': %s", fn, path, std::strerror(errno));
  bool ok = std::fwrite(image.data(), 1, image.size(), f) == image.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) return logError(-1, "%s: error writing '%s'", fn, path);
  return 0;
}

// ---- loading ----

void shapeSetLoadHooks(const ShapeLoadHooks* hooks) { gHooks = hooks ? *hooks : ShapeLoadHooks{}; }

namespace {

// Keeps an outline's arrays until FREE_SHAPES; a block that can't be
// recorded is released at once (the outline then loses its vertices).
void keepOutline(Outline* o) {
  if (!o->vertices) return;
  if (!gKept.data && arrInit(&gKept, sizeof(void*), 64, 64) < 0) {
    shFree(o);
    return;
  }
  void* block = o->vertices;
  if (arrAppend1(&gKept, &block) < 0) shFree(o);
}

int loadShapeFile(int n, const char* path) {
  std::vector<uint8_t> image;
  if (shReadFileImage(path, "LOAD_SHAPES()", &image) < 0) return 0;
  std::vector<uint32_t> offsets;
  if (shReadIndex(image, path, &offsets) < 0) return 0;
  int read = 0;
  for (size_t j = 0; j < offsets.size(); j++) {
    Outline o;
    if (shParseRecord(&o, image, offsets[j]) < 0) {
      logPrint("Error reading shape %d.%d", n, static_cast<int>(j));
      continue;
    }
    read++;
    shapeTmplAdd(&o);
    int x, y;
    shSectionOf(&o, &x, &y);
    int id = gHooks.recognize ? gHooks.recognize(n, &o) : -1;
    if (id >= 0) {
      logPrint("^ shape %d.(%d,%d) recognized with id %d", n, x, y, id);
      keepOutline(&o);
    } else {
      logPrint("^ shape %d.(%d,%d) not recognized", n, x, y);
      shFree(&o);
    }
  }
  return read;
}

}  // namespace

int LOAD_SHAPES(int writeBinary) {
  int total = 0;
  for (int n = 0; n < SHAPE_FILES; n++) {
    char text[64], bin[64], shapes[64], mark[32];
    strFormatN(mark, sizeof mark, "shapes%d", n);
    if (gHooks.checkpoint) gHooks.checkpoint(mark);
    strFormatN(text, sizeof text, "table/objects-%d.conf", n);
    strFormatN(bin, sizeof bin, "table/objects-%d.bcf", n);
    ConfSet conf{};
    if (conf_anyread(&conf, "LOAD_SHAPES()", text, bin, writeBinary) < 0) {
      conf_free(&conf);
      break;
    }
    if (gHooks.setObjectConf) gHooks.setObjectConf(&conf);
    shapeTmplBegin();
    strFormatN(shapes, sizeof shapes, "temp/#shapes-%d.dat", n);
    total += loadShapeFile(n, shapes);
    if (gHooks.setObjectConf) gHooks.setObjectConf(nullptr);
    conf_free(&conf);
  }
  return total;
}

void FREE_SHAPES() {
  for (int i = 0; i < gKept.count; i++) std::free(*static_cast<void**>(arrGet(&gKept, i)));
  arrFree(&gKept);
  shapeTmplFree();
}

// ---- template statistics ----

int shapeTmplBegin() {
  shapeTmplFree();
  if (arrInit(&T.shapes, sizeof(ShapeTmplShape), 64, 64) < 0 ||
      arrInit(&T.triples, sizeof(ShapeTmplTriple), 16, 16) < 0) {
    shapeTmplFree();
    return logError(-1, "%s: not enough memory for buffers", "shapeTmplBegin()");
  }
  T.live = true;
  return 0;
}

int shapeTmplAdd(const Outline* o) {
  if (!T.live) return logError(-1, "%s: statistics not begun, SE", "shapeTmplAdd()");
  ShapeTmplShape s{};
  shSectionOf(o, &s.x, &s.y);
  for (int i = 0; i < 3; i++) s.code[i] = o->code[i];
  if (arrAppend1(&T.shapes, &s) < 0)
    return logError(-1, "%s: not enough memory for buffers", "shapeTmplAdd()");
  for (int i = 0; i < T.triples.count; i++) {
    auto* t = static_cast<ShapeTmplTriple*>(arrGet(&T.triples, i));
    if (t->code[0] == s.code[0] && t->code[1] == s.code[1] && t->code[2] == s.code[2]) {
      t->count++;
      return 0;
    }
  }
  ShapeTmplTriple t{{s.code[0], s.code[1], s.code[2]}, 1};
  if (arrAppend1(&T.triples, &t) < 0)
    return logError(-1, "%s: not enough memory for buffers", "shapeTmplAdd()");
  return 0;
}

int shapeTmplShapeCount() { return T.live ? T.shapes.count : 0; }
const ShapeTmplShape* shapeTmplShape(int i) {
  return T.live ? static_cast<const ShapeTmplShape*>(arrGet(&T.shapes, i)) : nullptr;
}
int shapeTmplTripleCount() { return T.live ? T.triples.count : 0; }
const ShapeTmplTriple* shapeTmplTriple(int i) {
  return T.live ? static_cast<const ShapeTmplTriple*>(arrGet(&T.triples, i)) : nullptr;
}

void shapeTmplFree() {
  arrFree(&T.shapes);
  arrFree(&T.triples);
  T.live = false;
}
