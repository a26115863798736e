// The pack container: writing and reading packs, the directory reader's
// checks on damaged files, selection and the handle table.
#include "gfx/pack.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/fixture_bytes.h"
#include "support/testutil.h"

namespace {

const int32_t kHdr = pfSectionId("gsphdr");

struct Rec {
  int type;
  uint32_t id, offs, len;
};

std::string record(const Rec& r) { return char(r.type) + be32(r.id) + be32(r.offs) + be32(r.len); }

// A pack image made by hand: header, records, then data.
std::string packImage(const std::vector<Rec>& recs, const std::string& data) {
  std::string s = be16(0xAF01) + be16(static_cast<unsigned>(recs.size()));
  for (const Rec& r : recs) s += record(r);
  return s + data;
}

// Offset of the data that follows n records.
uint32_t dataAt(size_t n) { return static_cast<uint32_t>(4 + 13 * n); }

std::string readSection(int h, int32_t id) {
  if (PF_SELECT(h, id) != 0) return "<select failed>";
  long len = PF_LENGTH(h);
  std::string s(static_cast<size_t>(len), '\0');
  long got = len ? PF_READ(h, s.data(), s.size()) : 0;
  return got == len ? s : "<short read>";
}

// Reads go through the in-memory image by default, through the file handle
// when the image limit is 0: every read test runs both ways.
struct ImageLimit {
  explicit ImageLimit(long bytes) { pfSetImageLimit(bytes); }
  ~ImageLimit() { pfSetImageLimit(PF_DEFAULT_IMAGE_LIMIT); }
};

class PackRead : public ::testing::TestWithParam<long> {
 protected:
  ImageLimit limit{GetParam()};
  TempDir dir;
  int open(const std::string& bytes) {
    writeFile(dir.file("p.gsp"), bytes);
    return PF_OPEN(dir.file("p.gsp").c_str(), PF_MODE_READ, 0);
  }
};

INSTANTIATE_TEST_SUITE_P(ImageAndHandle, PackRead,
                         ::testing::Values(PF_DEFAULT_IMAGE_LIMIT, 0L),
                         [](const auto& info) { return std::string(info.param ? "Image" : "Handle"); });

TEST_P(PackRead, SelectsByIdAndReadsWithinTheSection) {
  // Sections: 12 bytes id 7, 4 bytes gsphdr, a reserved record with id 9, a
  // duplicate id 7 whose data must never be seen, and a free record.
  std::string data = "twelve bytes" "HDR!" "reserved" "dupe";
  uint32_t d = dataAt(5);
  int h = open(packImage({{1, 7, d, 12},
                          {1, uint32_t(kHdr), d + 12, 4},
                          {2, 9, d + 16, 8},
                          {1, 7, d + 24, 4},
                          {0, 0, 0, 0}},
                         data));
  ASSERT_GE(h, 0);

  EXPECT_EQ(readSection(h, kHdr), "HDR!");
  ASSERT_EQ(PF_SELECT(h, 7), 0);
  EXPECT_EQ(PF_LENGTH(h), 12);  // the first of two records with one id
  char buf[100];
  EXPECT_EQ(PF_READ(h, buf, 5), 5);
  EXPECT_EQ(std::string(buf, 5), "twelv");
  EXPECT_EQ(PF_READ(h, buf, 100), 7);  // only what is left of the section
  EXPECT_EQ(std::string(buf, 7), "e bytes");
  {
    StderrCapture err;
    EXPECT_EQ(PF_READ(h, buf, 100), -1);
    EXPECT_EQ(err.finish(), "PF_READ(): read: not in sect (avail-0)\n");
  }
  ASSERT_EQ(PF_SELECT(h, 7), 0);  // selecting again starts over
  EXPECT_EQ(PF_READ(h, buf, 100), 12);

  StderrCapture err;
  EXPECT_EQ(PF_SELECT(h, 9), -1);  // reserved records are never selected
  EXPECT_EQ(PF_SELECT(h, 0), -1);  // nor free ones
  EXPECT_EQ(err.finish(), "PF_SELECT(): id 00000009 not found\nPF_SELECT(): id 00000000 not found\n");
  EXPECT_EQ(PF_CLOSE(h), 0);
}

TEST_P(PackRead, NothingSelected) {
  int h = open(packImage({{1, 1, dataAt(1), 3}}, "abc"));
  ASSERT_GE(h, 0);
  char buf[4];
  StderrCapture err;
  EXPECT_EQ(PF_LENGTH(h), -1);
  EXPECT_EQ(PF_READ(h, buf, 4), -1);
  EXPECT_EQ(err.finish(), "PF_LENGTH(): pack " + std::to_string(h) +
                              " has no section selected\nPF_READ(): read: not in sect (avail-0)\n");
  PF_CLOSE(h);
}

TEST_P(PackRead, EmptySectionHasNothingToRead) {
  int h = open(packImage({{1, 1, dataAt(1), 0}}, ""));
  ASSERT_GE(h, 0);
  ASSERT_EQ(PF_SELECT(h, 1), 0);
  EXPECT_EQ(PF_LENGTH(h), 0);
  char c;
  StderrCapture err;
  EXPECT_EQ(PF_READ(h, &c, 1), -1);
  EXPECT_EQ(err.finish(), "PF_READ(): read: not in sect (avail-0)\n");
  PF_CLOSE(h);
}

// Every damaged directory fails the open with its message, frees the entry and
// closes the file; the same bytes fail the same way from memory.
TEST_P(PackRead, DamagedDirectoriesFailCleanly) {
  const uint32_t d1 = dataAt(1);
  struct Case {
    const char* what;
    std::string bytes;
    std::string log;  // lines before the final "can't read the directory" line
  };
  const Case cases[] = {
      {"empty file", "", "CATCH_HANDLE(): bad signature 0000\n"},
      {"byte-swapped signature", "\x01\xAF" + be16(1) + record({1, 1, d1, 0}),
       "CATCH_HANDLE(): bad signature 01AF\n"},
      {"signature only", be16(0xAF01),
       "CATCH_HANDLE(): error reading directory length (i-0 dh_len-0)\n"},
      {"no records", be16(0xAF01) + be16(0),
       "CATCH_HANDLE(): error reading directory length (i-2 dh_len-0)\n"},
      {"too many records", be16(0xAF01) + be16(4097) + std::string(13 * 4097, '\0'),
       "CATCH_HANDLE(): error reading directory length (i-2 dh_len-4097)\n"},
      {"directory longer than the file", be16(0xAF01) + be16(3) + record({1, 1, 0, 0}),
       "READ_FDR(): file read error (i-1)\n"
       "CATCH_HANDLE(): READ_FDR() for record 1 returned error\n"},
      {"record cut short", be16(0xAF01) + be16(1) + record({1, 1, 0, 0}).substr(0, 12),
       "READ_FDR(): file read error (i-0)\n"
       "CATCH_HANDLE(): READ_FDR() for record 0 returned error\n"},
      {"record type 3", packImage({{1, 1, d1 + 13, 0}, {3, 2, d1 + 13, 0}}, ""),
       "READ_FDR(): illegal field value(s): type-3 id-00000002 offs-30 len-0\n"
       "CATCH_HANDLE(): READ_FDR() for record 1 returned error\n"},
      {"record type 255", packImage({{255, 1, d1, 0}}, ""),
       "READ_FDR(): illegal field value(s): type-255 id-00000001 offs-17 len-0\n"
       "CATCH_HANDLE(): READ_FDR() for record 0 returned error\n"},
      {"negative id", packImage({{1, 0x80000000u, d1, 0}}, ""),
       "READ_FDR(): illegal field value(s): type-1 id-80000000 offs-17 len-0\n"
       "CATCH_HANDLE(): READ_FDR() for record 0 returned error\n"},
      {"negative offs", packImage({{0, 1, 0xFFFFFFF0u, 0}}, ""),
       "READ_FDR(): illegal field value(s): type-0 id-00000001 offs--16 len-0\n"
       "CATCH_HANDLE(): READ_FDR() for record 0 returned error\n"},
      {"negative len", packImage({{2, 1, d1, 0xFFFFFFFFu}}, ""),
       "READ_FDR(): illegal field value(s): type-2 id-00000001 offs-17 len--1\n"
       "CATCH_HANDLE(): READ_FDR() for record 0 returned error\n"},
      {"section past the end", packImage({{1, 5, d1, 4}}, "abc"),
       "CATCH_HANDLE(): damaged pack '@': section 0 (id-00000005 offs-17 len-4) lies outside the "
       "file (20 bytes)\n"},
      {"section starting past the end", packImage({{1, 1, d1, 0}, {1, 2, 1000, 0}}, "12345"),
       "CATCH_HANDLE(): damaged pack '@': section 1 (id-00000002 offs-1000 len-0) lies outside "
       "the file (35 bytes)\n"},
      {"offs + len overflows 32 bits", packImage({{1, 5, 0x7FFFFFFF, 0x7FFFFFFF}}, "x"),
       "CATCH_HANDLE(): damaged pack '@': section 0 (id-00000005 offs-2147483647 len-2147483647) "
       "lies outside the file (18 bytes)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool fromFile : {true, false}) {
      std::string name = fromFile ? dir.file("p.gsp") : "mem.gsp";
      std::string expected = c.log;
      if (size_t at = expected.find('@'); at != std::string::npos) expected.replace(at, 1, name);
      expected += std::string(fromFile ? "PF_OPEN()" : "PF_OPENMEM()") +
                  ": can't read the directory of '" + name + "'\n";
      StderrCapture err;
      int h = fromFile ? open(c.bytes) : PF_OPENMEM(c.bytes.data(), c.bytes.size(), name.c_str());
      EXPECT_EQ(h, -1);
      EXPECT_EQ(err.finish(), expected);
    }
  }
  // Nothing was left behind: all 32 entries are still free.
  std::vector<int> handles;
  std::string good = packImage({{1, 1, dataAt(1), 0}}, "");
  for (int i = 0; i < PF_MAX_PACKS; ++i) handles.push_back(PF_OPENMEM(good.data(), good.size(), "g"));
  for (int h : handles) EXPECT_EQ(PF_CLOSE(h), 0);
}

TEST_P(PackRead, RecordsThatCanNotBeSelectedNeedNotLieInTheFile) {
  // Free and reserved records are never read, so their offsets are not held
  // against the file size.
  int h = open(packImage({{0, 0, 5000, 5000}, {2, 3, 9000, 1}, {1, 4, dataAt(3), 2}}, "ok"));
  ASSERT_GE(h, 0);
  EXPECT_EQ(readSection(h, 4), "ok");
  PF_CLOSE(h);
}

TEST(Pack, CreateWriteAndReadBack) {
  TempDir dir;
  std::string path = dir.file("new.gsp");
  int h = PF_OPEN(path.c_str(), PF_MODE_CREATE, 4);
  ASSERT_GE(h, 0);
  ASSERT_EQ(PF_NEWSECT(h, kHdr), 0);
  EXPECT_EQ(PF_WRITE(h, "header", 6), 6);
  ASSERT_EQ(PF_NEWSECT(h, 0), 0);
  EXPECT_EQ(PF_WRITE(h, "frame ", 6), 6);  // a section grows with each write
  EXPECT_EQ(PF_WRITE(h, "zero", 4), 4);
  ASSERT_EQ(PF_NEWSECT(h, 1), 0);
  EXPECT_EQ(PF_WRITE(h, "one", 3), 3);
  EXPECT_EQ(readSection(h, 0), "frame zero");  // readable while open for writing
  ASSERT_EQ(PF_CLOSE(h), 0);

  // The bytes on disk: big-endian header and records, data after the
  // directory in the order written, the unused record zeroed.
  const uint32_t d = dataAt(4);
  EXPECT_EQ(readFile(path), packImage({{1, uint32_t(kHdr), d, 6},
                                       {1, 0, d + 6, 10},
                                       {1, 1, d + 16, 3},
                                       {0, 0, 0, 0}},
                                      "headerframe zeroone"));

  for (long limit : {PF_DEFAULT_IMAGE_LIMIT, 0L}) {
    ImageLimit l(limit);
    h = PF_OPEN(path.c_str(), PF_MODE_READ, 0);
    ASSERT_GE(h, 0);
    EXPECT_EQ(readSection(h, 1), "one");
    EXPECT_EQ(readSection(h, kHdr), "header");
    EXPECT_EQ(readSection(h, 0), "frame zero");
    EXPECT_EQ(PF_CLOSE(h), 0);
  }
  EXPECT_EQ(readFile(path).size(), d + 19u);  // reading leaves the file as it was
}

TEST(Pack, UpdateRewritesSections) {
  TempDir dir;
  std::string path = dir.file("u.gsp");
  const uint32_t d = dataAt(3);
  writeFile(path, packImage({{1, 1, d, 4}, {1, 2, d + 4, 4}, {0, 0, 0, 0}}, "AAAABBBB"));

  int h = PF_OPEN(path.c_str(), PF_MODE_UPDATE, 0);
  ASSERT_GE(h, 0);
  ASSERT_EQ(PF_SELECT(h, 1), 0);
  EXPECT_EQ(PF_WRITE(h, "aa", 2), 2);  // in place
  {
    // Section 1 is followed by section 2: it can't grow over it.
    StderrCapture err;
    EXPECT_EQ(PF_WRITE(h, "xxx", 3), -1);
    EXPECT_EQ(err.finish(), "PF_WRITE(): write: not in sect (avail-2)\n");
  }
  EXPECT_EQ(PF_WRITE(h, "aa", 2), 2);
  ASSERT_EQ(PF_SELECT(h, 2), 0);
  EXPECT_EQ(PF_WRITE(h, "bbbbbb", 6), 6);  // the last section in the file grows
  ASSERT_EQ(PF_CLOSE(h), 0);
  EXPECT_EQ(readFile(path), packImage({{1, 1, d, 4}, {1, 2, d + 4, 6}, {0, 0, 0, 0}}, "aaaabbbbbb"));

  // A new section with an existing id replaces it; the old record is freed and
  // the new data goes to the end of the file.
  h = PF_OPEN(path.c_str(), PF_MODE_UPDATE, 0);
  ASSERT_GE(h, 0);
  ASSERT_EQ(PF_NEWSECT(h, 1), 0);
  EXPECT_EQ(PF_WRITE(h, "longer one", 10), 10);
  ASSERT_EQ(PF_NEWSECT(h, 3), 0);
  EXPECT_EQ(PF_WRITE(h, "3", 1), 1);
  {
    StderrCapture err;
    EXPECT_EQ(PF_NEWSECT(h, 4), -1);  // all three records in use
    EXPECT_EQ(err.finish(), "PF_NEWSECT(): can't create directory record, all 3 occupied\n");
  }
  ASSERT_EQ(PF_CLOSE(h), 0);
  EXPECT_EQ(readFile(path), packImage({{1, 1, d + 10, 10}, {1, 2, d + 4, 6}, {1, 3, d + 20, 1}},
                                      "aaaabbbbbblonger one3"));
  h = PF_OPEN(path.c_str(), PF_MODE_READ, 0);
  ASSERT_GE(h, 0);
  EXPECT_EQ(readSection(h, 1), "longer one");
  EXPECT_EQ(readSection(h, 2), "bbbbbb");
  EXPECT_EQ(readSection(h, 3), "3");
  {
    StderrCapture err;
    EXPECT_EQ(PF_NEWSECT(h, 5), -1);
    EXPECT_EQ(PF_WRITE(h, "x", 1), -1);
    EXPECT_EQ(PF_SYNC(h), -1);
    std::string ro = "pack " + std::to_string(h) + " not in use or read-only\n";
    EXPECT_EQ(err.finish(), "PF_NEWSECT(): " + ro + "PF_WRITE(): " + ro + "PF_SYNC(): " + ro);
  }
  EXPECT_EQ(PF_CLOSE(h), 0);
}

TEST(Pack, CreateModes) {
  TempDir dir;
  std::string path = dir.file("c.gsp");
  writeFile(path, "old contents");
  {
    StderrCapture err;
    EXPECT_EQ(PF_OPEN(path.c_str(), PF_MODE_CREATE | PF_MODE_EXCL, 2), -1);
    EXPECT_EQ(err.finish(), "PF_OPEN(): can't open '" + path + "', error-'File exists'\n");
    EXPECT_EQ(readFile(path), "old contents");
  }
  // Without the exclusive bit an existing file is truncated.
  int h = PF_OPEN(path.c_str(), PF_MODE_CREATE, 2);
  ASSERT_GE(h, 0);
  EXPECT_EQ(PF_CLOSE(h), 0);
  EXPECT_EQ(readFile(path), packImage({{0, 0, 0, 0}, {0, 0, 0, 0}}, ""));

  std::string fresh = dir.file("fresh.gsp");
  h = PF_OPEN(fresh.c_str(), PF_MODE_CREATE | PF_MODE_EXCL, 1);
  ASSERT_GE(h, 0);
  EXPECT_EQ(PF_CLOSE(h), 0);
  EXPECT_EQ(readFile(fresh), packImage({{0, 0, 0, 0}}, ""));

  for (int count : {0, 4097}) {
    std::string none = dir.file("none" + std::to_string(count));
    StderrCapture err;
    EXPECT_EQ(PF_OPEN(none.c_str(), PF_MODE_CREATE, count), -1);
    EXPECT_EQ(err.finish(), "PF_OPEN(): can't create directory record, all 4096 occupied\n");
    EXPECT_FALSE(pathExists(none));
  }
}

TEST(Pack, ModeBitsPrecedence) {
  TempDir dir;
  std::string path = dir.file("m.gsp");
  std::string bytes = packImage({{1, 1, dataAt(1), 2}}, "hi");
  struct Case {
    int mode;
    bool opens;
    bool writable;
    bool recreated;  // create won: an empty directory of `count` records
  };
  const Case cases[] = {
      {PF_MODE_CREATE | PF_MODE_READ, true, true, true},
      {PF_MODE_CREATE | PF_MODE_UPDATE, true, true, true},
      {PF_MODE_READ | PF_MODE_UPDATE, true, false, false},
      {PF_MODE_READ | PF_MODE_EXCL, true, false, false},
      {PF_MODE_UPDATE, true, true, false},
      {PF_MODE_EXCL, false, false, false},
      {0, false, false, false},
      {16, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    writeFile(path, bytes);
    StderrCapture err;
    int h = PF_OPEN(path.c_str(), c.mode, 1);
    std::string log = err.finish();
    if (!c.opens) {
      EXPECT_EQ(h, -1);
      char expected[64];
      std::snprintf(expected, sizeof expected, "PF_OPEN(): wrong mode %x\n", c.mode);
      EXPECT_EQ(log, expected);
      continue;
    }
    ASSERT_GE(h, 0) << log;
    const PfRecord* recs = nullptr;
    ASSERT_EQ(pfDirectory(h, &recs), 1);
    EXPECT_EQ(recs[0].type, c.recreated ? PF_FREE : PF_SECTION);
    StderrCapture quiet;  // read-only packs refuse this with a message
    EXPECT_EQ(PF_SYNC(h) == 0, c.writable);
    quiet.finish();
    EXPECT_EQ(PF_CLOSE(h), 0);
  }
}

TEST(Pack, HandleTable) {
  std::string bytes = packImage({{1, 1, dataAt(1), 0}}, "");
  std::vector<int> handles;
  for (int i = 0; i < PF_MAX_PACKS; ++i) {
    int h = PF_OPENMEM(bytes.data(), bytes.size(), "p");
    ASSERT_EQ(h, i);
    handles.push_back(h);
  }
  {
    TempDir dir;
    writeFile(dir.file("p"), bytes);
    StderrCapture err;
    EXPECT_EQ(PF_OPEN(dir.file("p").c_str(), PF_MODE_READ, 0), -1);
    EXPECT_EQ(PF_OPENMEM(bytes.data(), bytes.size(), "p"), -1);
    EXPECT_EQ(err.finish(),
              "PF_OPEN(): no free slots in PACKS[]\nPF_OPENMEM(): no free slots in PACKS[]\n");
  }
  EXPECT_EQ(PF_CLOSE(handles[5]), 0);
  EXPECT_EQ(PF_OPENMEM(bytes.data(), bytes.size(), "p"), 5);  // the freed entry is reused
  for (int h : handles) PF_CLOSE(h);

  char c;
  StderrCapture err;
  EXPECT_EQ(PF_SELECT(-1, 1), -1);
  EXPECT_EQ(PF_READ(32, &c, 1), -1);
  EXPECT_EQ(PF_LENGTH(3), -1);
  EXPECT_EQ(PF_CLOSE(3), -1);
  EXPECT_EQ(PF_SYNC(3), -1);
  EXPECT_EQ(pfDirectory(40, nullptr), -1);
  EXPECT_EQ(err.finish(),
            "PF_SELECT(): handle value -1 is out of range\n"
            "PF_READ(): handle value 32 is out of range\n"
            "PF_LENGTH(): pack 3 not in use\n"
            "PF_CLOSE(): pack 3 not in use\n"
            "PF_SYNC(): pack 3 not in use\n"
            "pfDirectory(): handle value 40 is out of range\n");
}

TEST(Pack, OpenFailures) {
  TempDir dir;
  std::string missing = dir.file("missing.gsp");
  StderrCapture err;
  EXPECT_EQ(PF_OPEN(missing.c_str(), PF_MODE_READ, 0), -1);
  EXPECT_EQ(PF_OPEN(missing.c_str(), PF_MODE_UPDATE, 0), -1);
  EXPECT_EQ(PF_OPEN("a.zip:x.gsp", PF_MODE_UPDATE, 0), -1);
  EXPECT_EQ(err.finish(),
            "PF_OPEN(): can't open '" + missing + "', error-'No such file or directory'\n"
            "PF_OPEN(): can't open '" + missing + "', error-'No such file or directory'\n"
            "PF_OPEN(): can't write 'a.zip:x.gsp': zip members are read-only\n");
}

}  // namespace
