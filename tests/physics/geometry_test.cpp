// Shape files, depth maps, surface heights and the perspective projection.
#include "physics/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/conf.h"
#include "core/log.h"
#include "support/fixture_bytes.h"
#include "support/testutil.h"

namespace {

// An outline over vertices the test keeps.
struct TestShape {
  int code[3];
  Vec3 pos;
  double box[4];  // xmin, ymin, xmax, ymax
  std::vector<Vec3> v;
  Outline outline() const {
    Outline o{};
    for (int i = 0; i < 3; i++) o.code[i] = code[i];
    o.pos = pos;
    o.n = static_cast<int>(v.size());
    o.xmin = box[0];
    o.ymin = box[1];
    o.xmax = box[2];
    o.ymax = box[3];
    o.vertices = const_cast<Vec3*>(v.data());
    return o;
  }
};

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void expectSameOutline(const Outline& got, const TestShape& want) {
  for (int i = 0; i < 3; i++) EXPECT_EQ(got.code[i], want.code[i]);
  EXPECT_TRUE(sameBits(got.pos.x, want.pos.x) && sameBits(got.pos.y, want.pos.y) &&
              sameBits(got.pos.z, want.pos.z));
  EXPECT_TRUE(sameBits(got.xmin, want.box[0]) && sameBits(got.ymin, want.box[1]) &&
              sameBits(got.xmax, want.box[2]) && sameBits(got.ymax, want.box[3]));
  ASSERT_EQ(got.n, static_cast<int>(want.v.size()));
  for (int i = 0; i < got.n; i++) {
    EXPECT_TRUE(sameBits(got.vertices[i].x, want.v[i].x)) << i;
    EXPECT_TRUE(sameBits(got.vertices[i].y, want.v[i].y)) << i;
    EXPECT_TRUE(sameBits(got.vertices[i].z, want.v[i].z)) << i;
  }
}

std::vector<uint8_t> bytesOf(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }
std::string textOf(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

const TestShape kSquare{
    {1, 2, 3}, {123.7, 40.2, 5.0}, {0, 0, 10, 10}, {{0, 0, 0}, {10, 0, 0}, {10, 10, 1}, {0, 10, 1}}};
const TestShape kEmpty{{255, 0, 128}, {-0.0, 1e300, -7.25}, {0, 0, 0, 0}, {}};
const TestShape kOdd{
    {9, 9, 9}, {0.1, 0.2, 0.3}, {-1.5, -2.5, 1.5, 2.5}, {{0.1, 1e-300, -0.0}, {3.3, 4.4, 5.5}, {NAN, 2, 3}}};

class GeometryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    CLEAR_LAYER_HEIGHTS();
    shapeSetLoadHooks(nullptr);
    FREE_SHAPES();
    shapeTmplFree();
    logReset();
  }
};

// ---- shape files ----

TEST_F(GeometryTest, ShapeFileRoundTripsThroughImageAndOpenFile) {
  TempDir dir;
  std::string path = dir.file("shapes.dat");
  const TestShape* fixtures[] = {&kSquare, &kEmpty, &kOdd};
  std::vector<Outline> shapes;
  for (const TestShape* s : fixtures) shapes.push_back(s->outline());
  ASSERT_EQ(shWriteFile(path.c_str(), shapes), 0);

  std::vector<uint8_t> image;
  ASSERT_EQ(shReadFileImage(path.c_str(), "test", &image), 0);
  // Three records of 63 + 24n bytes, three offsets, the count.
  EXPECT_EQ(image.size(), 3u * 63 + 24u * 7 + 16);
  std::vector<uint32_t> offsets;
  ASSERT_EQ(shReadIndex(image, "shapes.dat", &offsets), 0);
  ASSERT_EQ(offsets.size(), 3u);

  FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_TRUE(f);
  for (size_t j = 0; j < 3; j++) {
    Outline fromImage, fromFile;
    ASSERT_EQ(shParseRecord(&fromImage, image, offsets[j]), 0);
    ASSERT_EQ(std::fseek(f, static_cast<long>(offsets[j]), SEEK_SET), 0);
    ASSERT_EQ(SH_READ_ALT(&fromFile, f), 0);
    expectSameOutline(fromImage, *fixtures[j]);
    expectSameOutline(fromFile, *fixtures[j]);
    if (fromImage.n == 0) {
      EXPECT_EQ(fromImage.vertices, nullptr);
      EXPECT_EQ(fromImage.edges, nullptr);
    }
    shFree(&fromImage);
    shFree(&fromFile);
  }
  std::fclose(f);
}

TEST_F(GeometryTest, RecordsAreFoundByTheirOffsetsWhereverTheyLie) {
  Outline a = kSquare.outline(), b = kOdd.outline();
  std::vector<uint8_t> ia, ib;
  ASSERT_TRUE(shBuildImage({&a, 1}, &ia));
  ASSERT_TRUE(shBuildImage({&b, 1}, &ib));
  ia.resize(ia.size() - 8);  // the bare records
  ib.resize(ib.size() - 8);
  // Junk, then b, then a; the table lists a first.
  std::vector<uint8_t> image = {0xDE, 0xAD, 0xBE, 0xEF, 0x00};
  uint32_t offB = static_cast<uint32_t>(image.size());
  image.insert(image.end(), ib.begin(), ib.end());
  uint32_t offA = static_cast<uint32_t>(image.size());
  image.insert(image.end(), ia.begin(), ia.end());
  image.resize(image.size() + 12);
  bwPatchLe<uint32_t>(&image, image.size() - 12, offA);
  bwPatchLe<uint32_t>(&image, image.size() - 8, offB);
  bwPatchLe<uint32_t>(&image, image.size() - 4, 2);

  std::vector<uint32_t> offsets;
  ASSERT_EQ(shReadIndex(image, "mixed", &offsets), 0);
  ASSERT_EQ(offsets, (std::vector<uint32_t>{offA, offB}));
  Outline o;
  ASSERT_EQ(shParseRecord(&o, image, offsets[0]), 0);
  expectSameOutline(o, kSquare);
  shFree(&o);
  ASSERT_EQ(shParseRecord(&o, image, offsets[1]), 0);
  expectSameOutline(o, kOdd);
  shFree(&o);
}

TEST_F(GeometryTest, AnEmptyOffsetTableIsNotAnError) {
  std::vector<uint8_t> image;
  ASSERT_TRUE(shBuildImage({}, &image));
  EXPECT_EQ(image, (std::vector<uint8_t>{0, 0, 0, 0}));
  std::vector<uint32_t> offsets{7};
  EXPECT_EQ(shReadIndex(image, "empty", &offsets), 0);
  EXPECT_TRUE(offsets.empty());
}

struct EdgeCase {
  const char* name;
  std::vector<Vec3> v;
  std::vector<EdgeLine> want;  // nx, ny, nz, d
};

TEST_F(GeometryTest, EdgeLinesJoinTheNearestEarlierDistinctVertex) {
  const double r = std::sqrt(0.5);
  const EdgeCase cases[] = {
      {"square",
       {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}},
       {{1, 0, 0, 0}, {0, 1, 0, 0}, {-1, 0, 0, -10}, {0, -1, 0, -10}}},
      // Vertex 2 repeats vertex 1: its edge comes from vertex 0. Vertex 0's
      // edge comes from vertex 3 across the diagonal.
      {"repeated vertex",
       {{0, 0, 0}, {10, 0, 0}, {10, 0, 5}, {10, 10, 0}},
       {{r, -r, 0, 0}, {0, 1, 0, 0}, {0, 1, 0, 0}, {-1, 0, 0, -10}}},
      // Direction (0.6, 0.8), normal (-0.8, 0.6), d = -0.8 * 4 + 0.6 * 5.
      {"slanted", {{1, 1, 0}, {4, 5, 0}, {1, 5, 0}}, {{1, 0, 0, 1}, {-0.8, 0.6, 0, -0.2}, {0, -1, 0, -5}}},
      // Nothing to take a direction from: the edges stay zero.
      {"single point", {{3, 3, 0}, {3, 3, 1}}, {{0, 0, 0, 0}, {0, 0, 0, 0}}},
  };
  for (const EdgeCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestShape s{{0, 0, 0}, {0, 0, 0}, {0, 0, 0, 0}, c.v};
    Outline src = s.outline();
    std::vector<uint8_t> image;
    ASSERT_TRUE(shBuildImage({&src, 1}, &image));
    Outline o;
    ASSERT_EQ(shParseRecord(&o, image, 0), 0);
    for (int i = 0; i < o.n; i++) {
      EXPECT_NEAR(o.edges[i].nx, c.want[i].nx, 1e-12) << "edge " << i;
      EXPECT_NEAR(o.edges[i].ny, c.want[i].ny, 1e-12) << "edge " << i;
      EXPECT_EQ(o.edges[i].nz, 0.0) << "edge " << i;
      EXPECT_NEAR(o.edges[i].d, c.want[i].d, 1e-12) << "edge " << i;
    }
    shFree(&o);
  }
}

TEST_F(GeometryTest, SectionIsThePositionTruncatedTowardsZero) {
  struct {
    double x, y;
    int wantX, wantY;
  } cases[] = {{123.7, 40.2, 123, 40},
               {-3.9, 0.99, -3, 0},
               {NAN, 1e30, 0, 2147483647},
               {-1e30, 7, -2147483647 - 1, 7}};
  for (const auto& c : cases) {
    Outline o{};
    o.pos = Vec3{c.x, c.y, 0};
    int x, y;
    shSectionOf(&o, &x, &y);
    EXPECT_EQ(x, c.wantX);
    EXPECT_EQ(y, c.wantY);
  }
}

// A shape at whole-numbered y and z: the high bytes of its doubles are the
// only ones not zero, so a file cut inside the header may end in four zeros.
const TestShape kLevel{{4, 5, 6}, {64.5, 40, 5}, {0, 0, 8, 8}, {{0, 0, 0}, {8, 0, 0}, {8, 8, 0}}};

std::vector<uint8_t> imageOf(std::initializer_list<const TestShape*> shapes) {
  std::vector<Outline> outlines;
  for (const TestShape* s : shapes) outlines.push_back(s->outline());
  std::vector<uint8_t> image;
  EXPECT_TRUE(shBuildImage(outlines, &image));
  return image;
}

struct DamageCase {
  const char* name;
  void (*damage)(std::vector<uint8_t>* image);  // over the image of kSquare, kOdd
  std::string message;                          // of shReadIndex
  // What reading the first record at its offset says; empty when there is
  // no table to take the offset from.
  std::string recordMessage;
};

// Record offsets in the image of {kSquare, kOdd}: 0 and 63 + 4 * 24 = 159;
// n of the first record lives at byte 27, of the second at 186; the table
// starts at 159 + 135 = 294, the count at 302.
const DamageCase kDamage[] = {
    {"empty file", [](std::vector<uint8_t>* i) { i->clear(); },
     "shReadIndex(): error reading the shape count from 'bad.dat'\n", ""},
    {"three bytes", [](std::vector<uint8_t>* i) { i->resize(3); },
     "shReadIndex(): error reading the shape count from 'bad.dat'\n", ""},
    {"negative count", [](std::vector<uint8_t>* i) { bwPatchLe<uint32_t>(i, 302, 0xFFFFFFFF); },
     "shReadIndex(): invalid shape count -1 in 'bad.dat' (306 bytes)\n", ""},
    {"count beyond the file", [](std::vector<uint8_t>* i) { bwPatchLe<uint32_t>(i, 302, 76); },
     "shReadIndex(): invalid shape count 76 in 'bad.dat' (306 bytes)\n", ""},
    // A file cut inside a header whose last four bytes are zero reads as an
    // empty table with bytes before it that no record explains.
    {"cut at 16 bytes", [](std::vector<uint8_t>* i) { *i = imageOf({&kLevel, &kOdd}); i->resize(16); },
     "shReadIndex(): damaged file 'bad.dat': the 12 bytes from byte 0 up to the offset table belong to no "
     "shape\n", ""},
    {"cut at 24 bytes", [](std::vector<uint8_t>* i) { *i = imageOf({&kLevel, &kOdd}); i->resize(24); },
     "shReadIndex(): damaged file 'bad.dat': the 20 bytes from byte 0 up to the offset table belong to no "
     "shape\n", ""},
    {"cut before the count", [](std::vector<uint8_t>* i) { i->resize(302); },
     "shReadIndex(): invalid shape count 159 in 'bad.dat' (302 bytes)\n", ""},
    {"offset past the end", [](std::vector<uint8_t>* i) { bwPatchLe<uint32_t>(i, 294, 0xFFFFFFF0); },
     "shReadIndex(): damaged file 'bad.dat': shape 0 at offset 4294967280: its 63-byte header does not fit "
     "before the offset table at byte 294\n",
     "SH_READ_ALT(): header read error (0 of 63 bytes read)\n"},
    {"header in the offset table", [](std::vector<uint8_t>* i) { bwPatchLe<uint32_t>(i, 294, 296); },
     "shReadIndex(): damaged file 'bad.dat': shape 0 at offset 296: its 63-byte header does not fit before "
     "the offset table at byte 294\n",
     "SH_READ_ALT(): header read error (10 of 63 bytes read)\n"},
    {"header reaching into the table", [](std::vector<uint8_t>* i) { bwPatchLe<uint32_t>(i, 298, 232); },
     "shReadIndex(): damaged file 'bad.dat': shape 1 at offset 232: its 63-byte header does not fit before "
     "the offset table at byte 294\n",
     ""},
    {"negative vertex count", [](std::vector<uint8_t>* i) { bwPatchLe<uint32_t>(i, 27, 0xFFFFFFFB); },
     "shReadIndex(): damaged file 'bad.dat': shape 0 at offset 0: invalid vertex count -5\n",
     "SH_READ_ALT(): invalid vertex count -5\n"},
    {"huge vertex count", [](std::vector<uint8_t>* i) { bwPatchLe<uint32_t>(i, 27, 0x7FFFFFFF); },
     "shReadIndex(): damaged file 'bad.dat': shape 0 at offset 0: invalid vertex count 2147483647\n",
     "SH_READ_ALT(): invalid vertex count 2147483647\n"},
    // 306 - 63 bytes follow the first header; 100 vertices need 2400.
    {"more vertices than bytes", [](std::vector<uint8_t>* i) { bwPatchLe<uint32_t>(i, 27, 100); },
     "shReadIndex(): damaged file 'bad.dat': shape 0 at offset 0: its 100 vertices run past the offset "
     "table at byte 294\n",
     "SH_READ_ALT(): read error: 243 of 2400 bytes read\n"},
    // One vertex more would end 24 bytes inside the table: the bytes are
    // there, but they are the table's.
    {"last record running into the table", [](std::vector<uint8_t>* i) { bwPatchLe<uint32_t>(i, 186, 4); },
     "shReadIndex(): damaged file 'bad.dat': shape 1 at offset 159: its 4 vertices run past the offset "
     "table at byte 294\n",
     ""},
    {"last record one vertex short", [](std::vector<uint8_t>* i) { bwPatchLe<uint32_t>(i, 186, 2); },
     "shReadIndex(): damaged file 'bad.dat': the 24 bytes from byte 270 up to the offset table belong to no "
     "shape\n",
     ""},
    {"bytes between the records and the table",
     [](std::vector<uint8_t>* i) { i->insert(i->begin() + 294, 8, uint8_t{0}); },
     "shReadIndex(): damaged file 'bad.dat': the 8 bytes from byte 294 up to the offset table belong to no "
     "shape\n",
     ""},
    {"two offsets at one record", [](std::vector<uint8_t>* i) { bwPatchLe<uint32_t>(i, 298, 0); },
     "shReadIndex(): damaged file 'bad.dat': shapes 0 and 1 overlap\n", ""},
    // An offset inside the first record, where the zero bytes of a vertex
    // read as a vertex count.
    {"records sharing bytes", [](std::vector<uint8_t>* i) { bwPatchLe<uint32_t>(i, 298, 100); },
     "shReadIndex(): damaged file 'bad.dat': shapes 0 and 1 overlap\n", ""},
};

TEST_F(GeometryTest, DamagedShapeFilesFailWithTheirMessage) {
  const std::vector<uint8_t> base = imageOf({&kSquare, &kOdd});
  ASSERT_EQ(base.size(), 306u);
  for (const DamageCase& c : kDamage) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> image = base;
    c.damage(&image);
    std::vector<uint32_t> offsets{7};
    StderrCapture err;
    EXPECT_EQ(shReadIndex(image, "bad.dat", &offsets), -1);
    EXPECT_TRUE(offsets.empty());
    EXPECT_EQ(err.finish(), c.message);
    if (c.recordMessage.empty()) continue;
    // The record reader on its own refuses the first record, and still
    // reads its neighbour.
    StderrCapture recordErr;
    Outline o;
    o.n = 99;
    EXPECT_EQ(shParseRecord(&o, image, getLe32(image, 294)), -1);
    EXPECT_EQ(o.n, 0);
    EXPECT_EQ(o.vertices, nullptr);
    Outline next;
    EXPECT_EQ(shParseRecord(&next, image, 159), 0);
    shFree(&next);
    EXPECT_EQ(recordErr.finish(), c.recordMessage);
  }
}

TEST_F(GeometryTest, NoCutOfAShapeFileReads) {
  const std::vector<uint8_t> image = imageOf({&kLevel, &kOdd});
  // The cuts that end in four zero bytes, which read as "no shapes" unless
  // the bytes before the count are accounted for.
  for (size_t cut : {16u, 24u}) EXPECT_EQ(getLe32(image, cut - 4), 0u) << cut;
  std::vector<uint32_t> offsets;
  ASSERT_EQ(shReadIndex(image, "whole", &offsets), 0);
  EXPECT_EQ(offsets.size(), 2u);
  logPrint("STDERR 0");
  for (size_t cut = 0; cut < image.size(); cut++)
    EXPECT_EQ(shReadIndex(std::span<const uint8_t>(image).first(cut), "cut", &offsets), -1) << cut;
}

TEST_F(GeometryTest, ReadingFromAFileStopsAtItsEnd) {
  TempDir dir;
  Outline sq = kSquare.outline();
  std::vector<uint8_t> image;
  ASSERT_TRUE(shBuildImage({&sq, 1}, &image));
  image.resize(63 + 2 * 24 + 5);  // two and a bit vertices
  std::string path = dir.file("cut.dat");
  writeFile(path, textOf(image));
  FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_TRUE(f);
  Outline o;
  StderrCapture err;
  EXPECT_EQ(SH_READ_ALT(&o, f), -1);
  EXPECT_EQ(err.finish(), "SH_READ_ALT(): read error: 53 of 96 bytes read\n");
  EXPECT_EQ(o.vertices, nullptr);
  std::fclose(f);
  // A header cut after its vertex count expects the whole record.
  StderrCapture err2;
  EXPECT_EQ(shParseRecord(&o, std::span<const uint8_t>(image).first(40), 0), -1);
  EXPECT_EQ(err2.finish(), "SH_READ_ALT(): header read error (40 of 159 bytes read)\n");
}

TEST_F(GeometryTest, WriterRefusesOutlinesAReaderWouldRefuse) {
  TestShape badCode = kSquare;
  badCode.code[1] = 256;
  Outline noVertices = kSquare.outline();
  noVertices.vertices = nullptr;
  Outline negative = kEmpty.outline();
  negative.n = -1;
  Outline cases[] = {badCode.outline(), noVertices, negative};
  for (const Outline& o : cases) {
    std::vector<uint8_t> image;
    StderrCapture err;
    EXPECT_FALSE(shBuildImage({&o, 1}, &image));
    EXPECT_NE(err.finish().find("shBuildImage(): shape 0: "), std::string::npos);
  }
}

TEST_F(GeometryTest, TemplateStatisticsCountEachCodeTriple) {
  ASSERT_EQ(shapeTmplBegin(), 0);
  Outline a = kSquare.outline(), b = kOdd.outline(), c = kSquare.outline();
  c.pos = Vec3{-2.5, 8.9, 0};
  for (const Outline* o : {&a, &b, &c}) ASSERT_EQ(shapeTmplAdd(o), 0);
  ASSERT_EQ(shapeTmplShapeCount(), 3);
  const ShapeTmplShape* s = shapeTmplShape(2);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->x, -2);
  EXPECT_EQ(s->y, 8);
  EXPECT_EQ(s->code[2], 3);
  EXPECT_EQ(shapeTmplShape(3), nullptr);
  ASSERT_EQ(shapeTmplTripleCount(), 2);
  EXPECT_EQ(shapeTmplTriple(0)->count, 2);
  EXPECT_EQ(shapeTmplTriple(0)->code[0], 1);
  EXPECT_EQ(shapeTmplTriple(1)->count, 1);
  EXPECT_EQ(shapeTmplTriple(1)->code[0], 9);
  // Beginning again starts afresh.
  ASSERT_EQ(shapeTmplBegin(), 0);
  EXPECT_EQ(shapeTmplShapeCount(), 0);
  EXPECT_EQ(shapeTmplTripleCount(), 0);
}

// ---- loading the table's shapes ----

struct LoadLog {
  std::vector<std::string> marks;
  std::vector<std::string> confs;  // "k=<object_123_40.k>" or "null"
  std::vector<std::string> offers;
  std::vector<Outline> kept;
};
LoadLog* gLoad = nullptr;

int recordMark(const char* category) {
  gLoad->marks.push_back(category);
  return 0;
}
void recordConf(ConfSet* set) {
  gLoad->confs.push_back(set ? "k=" + std::to_string(conf_getint(set, "object_123_40.k", -1)) : "null");
}
int recognizeSquare(int layer, Outline* o) {
  int x, y;
  shSectionOf(o, &x, &y);
  gLoad->offers.push_back(std::to_string(layer) + ":" + std::to_string(x) + "," + std::to_string(y) +
                          " tmpl=" + std::to_string(shapeTmplShapeCount()));
  if (o->n != 4) return -1;
  gLoad->kept.push_back(*o);  // as a board object would
  return 7;
}

TEST_F(GeometryTest, LoadShapesWalksTheLayersUntilAnObjectConfigurationIsMissing) {
  TempDir dir;
  ScopedChdir cd(dir.path);
  std::filesystem::create_directories(dir.file("table"));
  std::filesystem::create_directories(dir.file("temp"));
  writeFile("table/objects-0.conf", "[object_123_40]\nk = 11\n");
  writeFile("table/objects-1.conf", "[object_123_40]\nk = 12\n");
  writeFile("table/objects-2.conf", "[object_123_40]\nk = 13\n");
  writeFile("table/objects-4.conf", "[object_123_40]\nk = 14\n");
  // Layer 0: the square and the odd shape. Layer 1 has no shape file.
  std::vector<uint8_t> image = imageOf({&kSquare, &kOdd});
  writeFile("temp/#shapes-0.dat", textOf(image));
  // Layer 2: a third offset past the end damages the whole file.
  std::vector<uint8_t> damaged = image;
  damaged.resize(damaged.size() + 4);
  bwPatchLe<uint32_t>(&damaged, damaged.size() - 8, 4000);
  bwPatchLe<uint32_t>(&damaged, damaged.size() - 4, 3);
  writeFile("temp/#shapes-2.dat", textOf(damaged));
  // Layer 3 has shapes but no object configuration: neither it nor layer 4
  // is read.
  writeFile("temp/#shapes-3.dat", textOf(image));
  writeFile("temp/#shapes-4.dat", textOf(image));

  LoadLog log;
  gLoad = &log;
  ShapeLoadHooks hooks{recordMark, recordConf, recognizeSquare};
  shapeSetLoadHooks(&hooks);
  StderrCapture err;
  EXPECT_EQ(LOAD_SHAPES(0), 2);
  std::string text = err.finish();
  gLoad = nullptr;

  EXPECT_EQ(log.marks, (std::vector<std::string>{"shapes0", "shapes1", "shapes2", "shapes3"}));
  EXPECT_EQ(log.confs, (std::vector<std::string>{"k=11", "null", "k=12", "null", "k=13", "null"}));
  EXPECT_EQ(log.offers, (std::vector<std::string>{"0:123,40 tmpl=1", "0:0,0 tmpl=2"}));
  EXPECT_NE(text.find("^ shape 0.(123,40) recognized with id 7\n"), std::string::npos) << text;
  EXPECT_NE(text.find("^ shape 0.(0,0) not recognized\n"), std::string::npos) << text;
  EXPECT_NE(
      text.find("LOAD_SHAPES(): error opening the file 'temp/#shapes-1.dat': No such file or directory\n"),
      std::string::npos)
      << text;
  EXPECT_NE(text.find("shReadIndex(): damaged file 'temp/#shapes-2.dat': shape 2 at offset 4000: its 63-byte "
                      "header does not fit before the offset table at byte 294\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("shape 2."), std::string::npos) << text;
  EXPECT_EQ(text.find("shape 3."), std::string::npos) << text;

  // The recognized outline's arrays outlive the load until FREE_SHAPES.
  ASSERT_EQ(log.kept.size(), 1u);
  expectSameOutline(log.kept[0], kSquare);
  EXPECT_EQ(log.kept[0].edges[1].ny, 1.0);
  FREE_SHAPES();
}

// ---- depth maps ----

TEST_F(GeometryTest, DepthMapsRoundTrip) {
  TempDir dir;
  uint16_t codes[6] = {0, 1, 0x00FF, 0xFF00, 0x8000, 0xFFFF};
  ZBUF z{codes, -8.5f, 40.125f, 3, 2};
  std::string top = dir.file("top.dat"), scr = dir.file("scr.dat");
  ASSERT_EQ(zbufWrite(top.c_str(), &z), 0);
  ASSERT_EQ(szbufWrite(scr.c_str(), codes, 2, 3), 0);
  // Header of the layer map as little-endian numbers.
  std::string bytes = readFile(top);
  ASSERT_EQ(bytes.size(), 16u + 12u);
  EXPECT_EQ(bytes.substr(0, 8), std::string("\x03\0\0\0\x02\0\0\0", 8));
  EXPECT_EQ(bytes.substr(16, 4), std::string("\0\0\x01\0", 4));

  ZBUF r;
  ASSERT_EQ(ZBUF_READ(top.c_str(), &r), 0);
  EXPECT_EQ(r.width, 3);
  EXPECT_EQ(r.height, 2);
  EXPECT_EQ(r.zmin, -8.5f);
  EXPECT_EQ(r.zmax, 40.125f);
  EXPECT_EQ(std::vector<uint16_t>(r.codes, r.codes + 6), std::vector<uint16_t>(codes, codes + 6));
  zbufFree(&r);

  int w, h;
  uint16_t* d = SZBUF_READ(scr.c_str(), &w, &h);
  ASSERT_TRUE(d);
  EXPECT_EQ(w, 2);
  EXPECT_EQ(h, 3);
  EXPECT_EQ(std::vector<uint16_t>(d, d + 6), std::vector<uint16_t>(codes, codes + 6));
  std::free(d);
}

struct MapDamage {
  const char* name;
  std::string bytes;  // null for a missing file
  bool missing;
  std::string topMessage, screenMessage;  // empty: the screen map reads fine
};

TEST_F(GeometryTest, DamagedDepthMapsFailWithTheirMessage) {
  const std::string ok8("\x02\0\0\0\x01\0\0\0", 8);  // 2 x 1
  const MapDamage cases[] = {
      {"missing", "", true, "ZBUF_READ(): error opening file '%s'\n", "SZBUF_READ(): can't open file '%s'\n"},
      {"short header", std::string("\x02\0\0\0\x01\0\0", 7), false,
       "ZBUF_READ(): error reading header from '%s'\n", "SZBUF_READ(): can't read header from '%s'\n"},
      {"negative width", std::string("\xFE\xFF\xFF\xFF\x01\0\0\0", 8) + std::string(12, '\0'), false,
       "ZBUF_READ(): invalid size -2x1 in '%s'\n", "SZBUF_READ(): invalid size -2x1 in '%s'\n"},
      {"size beyond an int", std::string("\0\0\x01\0\0\0\x01\0", 8) + std::string(12, '\0'), false,
       "ZBUF_READ(): invalid size 65536x65536 in '%s'\n", "SZBUF_READ(): invalid size 65536x65536 in '%s'\n"},
      // 2 x 1 cells need 4 bytes: the layer map has 1 after its header, the
      // screen map 9.
      {"short data", ok8 + std::string(9, '\0'), false,
       "ZBUF_READ(): error reading data from '%s' (1 of 4 bytes read)\n", ""},
      {"short screen data", ok8 + std::string(3, '\0'), false,
       "ZBUF_READ(): error reading header from '%s'\n",
       "SZBUF_READ(): error reading data from '%s' (3 of 4 bytes read)\n"},
  };
  TempDir dir;
  for (const MapDamage& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir.file(std::string(c.name) + ".dat");
    if (!c.missing) writeFile(path, c.bytes);
    auto expand = [&](const std::string& m) {
      char buf[512];
      std::snprintf(buf, sizeof buf, m.c_str(), path.c_str());
      return std::string(buf);
    };
    StderrCapture err;
    ZBUF z;
    z.width = 5;
    EXPECT_EQ(ZBUF_READ(path.c_str(), &z), -1);
    EXPECT_EQ(z.codes, nullptr);
    EXPECT_EQ(z.width, 0);
    EXPECT_EQ(err.finish(), expand(c.topMessage));
    if (c.screenMessage.empty()) continue;
    StderrCapture err2;
    int w = 1, h = 1;
    EXPECT_EQ(SZBUF_READ(path.c_str(), &w, &h), nullptr);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(err2.finish(), expand(c.screenMessage));
  }
  // The screen map of "short data" is whole: 4 bytes of cells, 5 left over.
  int w, h;
  uint16_t* d = SZBUF_READ(dir.file("short data.dat").c_str(), &w, &h);
  ASSERT_TRUE(d);
  EXPECT_EQ(w * h, 2);
  std::free(d);
}

// ---- heights ----

uint16_t* mallocCodes(std::initializer_list<uint16_t> v) {
  auto* p = static_cast<uint16_t*>(std::malloc(v.size() * sizeof(uint16_t)));
  std::copy(v.begin(), v.end(), p);
  return p;
}

TEST_F(GeometryTest, SurfaceHeightReadsTheLayerMap) {
  // 4 x 3, heights from -8 to 40.
  ZBUF z{mallocCodes({0, 1, 2, 3,         //
                      10, 20, 32768, 40,  //
                      7, 8, 9, 65535}),
         -8.0f, 40.0f, 4, 3};
  ASSERT_EQ(SET_LAYER_HEIGHTS(2, &z), 1);
  EXPECT_EQ(z.codes, nullptr);  // taken
  ASSERT_TRUE(LAYER_HEIGHTS(2));
  EXPECT_EQ(LAYER_HEIGHTS(2)->width, 4);

  EXPECT_EQ(SURFACE_HEIGHT(2, 0, 0), -8.0);
  EXPECT_EQ(SURFACE_HEIGHT(2, 3, 2), 40.0);  // the top code is zmax exactly
  EXPECT_NEAR(SURFACE_HEIGHT(2, 2.9, 1.99), 32768.0 / 65535.0 * 48.0 - 8.0, 1e-5);
  EXPECT_NEAR(SURFACE_HEIGHT(2, 1, 1), 20.0 / 65535.0 * 48.0 - 8.0, 1e-5);
  const struct {
    int layer;
    double x, y;
  } zero[] = {{2, 4, 0},     {2, 0, 3}, {2, -1, 0}, {2, 0, -1.5}, {2, NAN, 1},
              {2, 1e300, 1}, {1, 1, 1}, {8, 1, 1},  {-1, 1, 1}};
  for (const auto& c : zero)
    EXPECT_EQ(SURFACE_HEIGHT(c.layer, c.x, c.y), 0.0) << c.layer << " " << c.x << " " << c.y;

  // Layers outside 0..7 are ignored and the record stays the caller's.
  ZBUF other{mallocCodes({5}), 0, 1, 1, 1};
  EXPECT_EQ(SET_LAYER_HEIGHTS(8, &other), 0);
  EXPECT_NE(other.codes, nullptr);
  EXPECT_EQ(LAYER_HEIGHTS(8), nullptr);
  // Replacing a layer releases the old map.
  ASSERT_EQ(SET_LAYER_HEIGHTS(2, &other), 1);
  EXPECT_EQ(LAYER_HEIGHTS(2)->width, 1);
  CLEAR_LAYER_HEIGHTS();
  for (int n = 0; n < TABLE_LAYERS; n++) EXPECT_EQ(LAYER_HEIGHTS(n), nullptr);
  EXPECT_EQ(SURFACE_HEIGHT(2, 0, 0), 0.0);
}

TEST_F(GeometryTest, TableLoadReadsTheScreenMapAndLayersUntilOneIsMissing) {
  TempDir dir;
  ScopedChdir cd(dir.path);
  std::filesystem::create_directories(dir.file("temp"));
  uint16_t depth[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_EQ(szbufWrite("temp/table-z.dat", depth, 4, 2), 0);
  uint16_t codes[2] = {0, 65535};
  ZBUF z{codes, 0, 10, 2, 1};
  ASSERT_EQ(zbufWrite("temp/table-0tz.dat", &z), 0);
  writeFile("temp/table-1tz.dat", std::string("\x02\0\0\0\x01\0\0\0", 8));  // damaged: stays empty
  ASSERT_EQ(zbufWrite("temp/table-2tz.dat", &z), 0);
  ASSERT_EQ(zbufWrite("temp/table-4tz.dat", &z), 0);  // after the gap: not read

  static std::vector<uint16_t> attached;
  attached.clear();
  LoadLog log;
  gLoad = &log;
  StderrCapture err;
  auto attach = [](const uint16_t* d, int w, int h) { attached.assign(d, d + static_cast<size_t>(w) * h); };
  EXPECT_EQ(loadTableMaps(attach, recordMark), 2);
  std::string text = err.finish();
  gLoad = nullptr;

  EXPECT_EQ(log.marks, (std::vector<std::string>{"cam_zbuf", "top_zbuf0", "top_zbuf2"}));
  EXPECT_EQ(text.rfind("zbuf_read (temp/table-z.dat): zbuf-", 0), 0u) << text;
  EXPECT_NE(text.find("ZBUF_READ(): error reading header from 'temp/table-1tz.dat'\n"), std::string::npos)
      << text;
  EXPECT_EQ(attached, std::vector<uint16_t>(depth, depth + 8));
  EXPECT_EQ(SURFACE_HEIGHT(0, 1, 0), 10.0);
  EXPECT_EQ(LAYER_HEIGHTS(1), nullptr);
  EXPECT_EQ(SURFACE_HEIGHT(2, 1, 0), 10.0);
  EXPECT_EQ(LAYER_HEIGHTS(4), nullptr);
}

// ---- perspective ----

struct PerspCase {
  int W, H;
  double fovx, fovy, angle, dist;
  double x, y, z;
  double sx, sy, depth;
};

TEST_F(GeometryTest, ProjectionMatchesHandComputedPoints) {
  const double s3 = std::sqrt(3.0);
  // Defaults 60/60/60/500 on 800 x 600: fx = fy = 300 sqrt 3, Y0 = 350.
  const double dC = 600 - 10 * s3;
  const PerspCase cases[] = {
      // 90 degree views looking flat (angle 0): fx = 0.375 * 800 = 300, fy = 300,
      // Y0 = 600 - 500 = 100, depth = 600 - y.
      {800, 600, 90, 90, 0, 500, 700, 400, 0, 850, 300, 200},
      {800, 600, 90, 90, 0, 500, 100, 0, 60, 250, 270, 600},
      // Looking straight down (angle 90): depth = 500 - z.
      {800, 600, 90, 90, 90, 500, 200, 300, 100, 250, 450, 400},
      {800, 600, 60, 60, 60, 500, 400, 350, 0, 400, 300, 500},
      {800, 600, 60, 60, 60, 500, 500, 150, 20, 400 + 100 * 300 * s3 / dC,
       300 - (100 * s3 + 10) * 300 * s3 / dC, dC},
  };
  for (const PerspCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.angle << " " << c.x << "," << c.y << "," << c.z);
    PERSP_SETUP(c.W, c.H, c.fovx, c.fovy, c.angle, c.dist);
    EXPECT_NEAR(PERSP_X(c.x, c.y, c.z), c.sx, 1e-6);
    EXPECT_NEAR(PERSP_Y(c.y, c.z), c.sy, 1e-6);
    EXPECT_NEAR(PERSP_DEPTH(c.y, c.z), c.depth, 1e-6);
  }
  PERSP_SETUP(800, 600, 60, 60, 60, 500);
  const PerspState* p = perspState();
  EXPECT_EQ(p->cx, 400.0);
  EXPECT_EQ(p->cy, 300.0);
  EXPECT_NEAR(p->fx, 300 * s3, 1e-6);
  EXPECT_NEAR(p->fy, 300 * s3, 1e-6);
  EXPECT_NEAR(p->Y0, 350, 1e-6);
  EXPECT_NEAR(p->ca, 0.5, 1e-9);
  EXPECT_NEAR(p->sa, s3 / 2, 1e-9);
  EXPECT_EQ(p->D, 500.0);
}

TEST_F(GeometryTest, WithAngleZeroPointsApproachTheCentreLineWithDepth) {
  PERSP_SETUP(800, 600, 60, 60, 0, 500);
  double cy = perspState()->cy;
  double previous = 1e9;
  for (double y : {550.0, 300.0, 0.0, -1000.0, -100000.0}) {
    EXPECT_EQ(PERSP_Y(y, 0), cy) << y;  // on the table plane: on the centre line
    double off = std::fabs(PERSP_Y(y, 10) - cy);
    EXPECT_LT(off, previous) << y;
    EXPECT_GT(off, 0.0);
    previous = off;
  }
}

TEST_F(GeometryTest, ViewKeysAndTheLayerMapSizeSetUpTheProjection) {
  ConfSet set{};
  std::string text =
      "[persp]\nfovx = 90.0\nfovy = 90.0\nangle = 0\ndist = 400.0\nglb_dx = 3\nglb_ballsize = 11\n";
  ASSERT_EQ(confParseText(&set, bytesOf(text), "global.conf"), 0);
  PerspKeys k;
  perspReadKeys(&set, &k);
  conf_free(&set);
  EXPECT_EQ(k.fovx, 90.0);
  EXPECT_EQ(k.fovy, 90.0);
  EXPECT_EQ(k.angle, 60.0);  // written as an integer: the default applies
  EXPECT_EQ(k.dist, 400.0);
  EXPECT_EQ(k.dx, 3);
  EXPECT_EQ(k.dy, 0);
  EXPECT_EQ(k.ballsize, 11);

  perspSetupTable(&k);  // no layer map: the board's 800 x 600
  EXPECT_EQ(perspState()->cx, 400.0);
  ZBUF z{mallocCodes({0, 0}), 0, 1, 640, 0};
  ASSERT_EQ(SET_LAYER_HEIGHTS(3, &z), 1);
  perspSetupTable(&k);
  EXPECT_EQ(perspState()->cx, 320.0);
  EXPECT_EQ(perspState()->cy, 0.0);
}

}  // namespace
