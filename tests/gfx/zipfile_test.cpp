// The unified file layer over plain files and zip members. Archives are
// written at run time with minizip's zip writer.
#include "gfx/zipfile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <minizip/zip.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "gfx/pack.h"
#include "platform/sys/sys.h"
#include "support/fixture_bytes.h"
#include "support/testutil.h"

namespace {

struct Member {
  std::string name;
  std::string data;
  bool stored = false;  // else deflated
};

void writeZip(const std::string& path, const std::vector<Member>& members) {
  zipFile zf = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
  ASSERT_NE(zf, nullptr);
  for (const Member& m : members) {
    ASSERT_EQ(zipOpenNewFileInZip(zf, m.name.c_str(), nullptr, nullptr, 0, nullptr, 0, nullptr,
                                  m.stored ? 0 : Z_DEFLATED, m.stored ? 0 : Z_BEST_COMPRESSION),
              ZIP_OK);
    ASSERT_EQ(zipWriteInFileInZip(zf, m.data.data(), static_cast<unsigned>(m.data.size())), ZIP_OK);
    ASSERT_EQ(zipCloseFileInZip(zf), ZIP_OK);
  }
  ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
}

// Changes the uncompressed size that the local and the central header of the
// only member claim (little-endian, at 22 and 24 past their signatures).
std::string withClaimedSize(std::string zip, uint32_t size) {
  size_t local = zip.find("PK\x03\x04");
  size_t central = zip.find("PK\x01\x02");
  if (local == std::string::npos || central == std::string::npos) return {};
  patchLe32(&zip, local + 22, size);
  patchLe32(&zip, central + 24, size);
  return zip;
}

// Reads a whole member (or plain file) through the unified layer.
std::string readAll(const std::string& name) {
  int h = uniopen(name.c_str(), SYS_OPEN_READ);
  if (h < 0) return "<open failed>";
  std::string s;
  char buf[7];  // small, to read in several pieces
  long n;
  while ((n = uniread(h, buf, sizeof buf)) > 0) s.append(buf, static_cast<size_t>(n));
  uniclose(h);
  return n == 0 ? s : "<read failed>";
}

std::string text(size_t n) {
  std::string s;
  for (size_t i = 0; s.size() < n; ++i) s += "line " + std::to_string(i) + "\n";
  s.resize(n);
  return s;
}

// Every test starts and ends with no archive or member open.
class Zip : public ::testing::Test {
 protected:
  void SetUp() override { zfReset(); }
  void TearDown() override { zfReset(); }
  TempDir dir;
};

TEST_F(Zip, ReadsStoredDeflatedAndEmptyMembers) {
  std::string zip = dir.file("a.zip");
  std::string big = text(20000);
  writeZip(zip, {{"dir/big.txt", big}, {"stored.bin", std::string("\0\1\2\3", 4), true}, {"empty", ""}});
  EXPECT_EQ(readAll(zip + ":dir/big.txt"), big);
  EXPECT_EQ(readAll(zip + ":stored.bin"), std::string("\0\1\2\3", 4));
  EXPECT_EQ(readAll(zip + ":empty"), "");

  int h = uniopen((zip + ":dir/big.txt").c_str(), SYS_OPEN_READ);
  ASSERT_GE(h, ZF_HANDLE_BASE);
  EXPECT_EQ(unifilelength(h), 20000);
  char buf[10];
  EXPECT_EQ(uniread(h, buf, 10), 10);
  EXPECT_EQ(unitell(h), 10);
  EXPECT_EQ(unilseek(h, -4, SEEK_END), 19996);
  EXPECT_EQ(uniread(h, buf, 10), 4);
  EXPECT_EQ(std::string(buf, 4), big.substr(19996));
  EXPECT_EQ(uniread(h, buf, 10), 0);
  EXPECT_EQ(uniclose(h), 0);
}

TEST_F(Zip, MemberNames) {
  std::string zip = dir.file("a.zip");
  writeZip(zip, {{"dir/file.txt", "contents"}});
  // One leading '/' or '\' is dropped, names match without regard to case,
  // and the open archive is found again by its path in any case.
  for (const char* member : {"dir/file.txt", "/dir/file.txt", "\\dir/file.txt", "DIR/File.TXT"})
    EXPECT_EQ(readAll(zip + ":" + member), "contents") << member;
  std::string upper = dir.path + "/A.ZIP";  // no such file: only the open archive matches
  EXPECT_EQ(readAll(upper + ":dir/file.txt"), "contents");

  std::string notZip = dir.file("plain.txt");
  writeFile(notZip, "not an archive");
  struct Case {
    std::string name;
    std::string log;
  };
  const Case cases[] = {
      {zip + ":", "ZF_OPEN(): incorrect zipfile name '" + zip + ":'\n"},
      {":dir/file.txt", "ZF_OPEN(): incorrect zipfile name ':dir/file.txt'\n"},
      {std::string(300, 'x') + ":m",
       "ZF_OPEN(): incorrect zipfile name '" + std::string(300, 'x') + ":m'\n"},
      {zip + "://dir/file.txt",
       "ZF_OPEN(): file /dir/file.txt not found in the zipfile '" + zip + "'\n"},
      {zip + ":nothere", "ZF_OPEN(): file nothere not found in the zipfile '" + zip + "'\n"},
      {dir.file("none.zip") + ":x", "ZF_OPEN(): error opening zipfile '" + dir.file("none.zip") + "'\n"},
      {notZip + ":x", "ZF_OPEN(): error opening zipfile '" + notZip + "'\n"},
      {dir.path + ":x", "ZF_OPEN(): error opening zipfile '" + dir.path + "'\n"},
  };
  for (const Case& c : cases) {
    StderrCapture err;
    EXPECT_EQ(uniopen(c.name.c_str(), SYS_OPEN_READ), -1);
    EXPECT_EQ(err.finish(), c.log);
  }
}

TEST_F(Zip, SeeksAreClamped) {
  std::string zip = dir.file("a.zip");
  writeZip(zip, {{"m", "0123456789"}});
  int i = ZF_OPEN((zip + ":m").c_str());
  ASSERT_GE(i, 0);
  struct Case {
    long from;  // position before the seek
    long offset;
    int whence;
    long expected;
  };
  const Case cases[] = {
      {5, 3, SEEK_SET, 3},          {5, -10, SEEK_SET, 0},        {5, 11, SEEK_SET, 10},
      {5, 2, SEEK_CUR, 7},          {5, -10, SEEK_CUR, 0},        {5, 10, SEEK_CUR, 10},
      {5, -3, SEEK_END, 7},         {5, 1, SEEK_END, 10},         {5, -11, SEEK_END, 0},
      {5, LONG_MAX, SEEK_CUR, 10},  {5, LONG_MIN, SEEK_CUR, 0},   {5, LONG_MIN, SEEK_END, 0},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(ZF_LSEEK(i, c.from, SEEK_SET), c.from);
    EXPECT_EQ(ZF_LSEEK(i, c.offset, c.whence), c.expected) << c.offset << " " << c.whence;
    EXPECT_EQ(ZF_TELL(i), c.expected);
  }
  ZF_LSEEK(i, 8, SEEK_SET);
  char buf[4];
  EXPECT_EQ(ZF_READ(i, buf, 4), 2);
  EXPECT_EQ(std::string(buf, 2), "89");
  StderrCapture err;
  EXPECT_EQ(ZF_LSEEK(i, 0, 3), -1);
  EXPECT_EQ(err.finish(), "ZF_LSEEK(): bad whence 3\n");
  EXPECT_EQ(ZF_TELL(i), 10);
}

TEST_F(Zip, MemberTableHolds256) {
  std::string zip = dir.file("a.zip");
  writeZip(zip, {{"m", "x"}});
  std::string name = zip + ":m";
  for (int k = 0; k < ZF_MAX_MEMBERS; ++k) ASSERT_EQ(ZF_OPEN(name.c_str()), k);
  {
    StderrCapture err;
    EXPECT_EQ(uniopen(name.c_str(), SYS_OPEN_READ), -1);
    EXPECT_EQ(err.finish(), "ZF_OPEN(): no free slots in FINFOS[], all 256 occupied\n");
  }
  EXPECT_EQ(ZF_CLOSE(17), 0);
  EXPECT_EQ(uniopen(name.c_str(), SYS_OPEN_READ), ZF_HANDLE_BASE + 17);
}

TEST_F(Zip, ArchiveTableHolds32AndKeepsArchivesOpen) {
  std::vector<std::string> zips;
  for (int k = 0; k <= ZF_MAX_ARCHIVES; ++k) {
    zips.push_back(dir.file("z" + std::to_string(k) + ".zip"));
    writeZip(zips.back(), {{"m", std::to_string(k)}});
  }
  for (int k = 0; k < ZF_MAX_ARCHIVES; ++k) EXPECT_EQ(readAll(zips[k] + ":m"), std::to_string(k));
  {
    StderrCapture err;
    EXPECT_EQ(uniopen((zips[32] + ":m").c_str(), SYS_OPEN_READ), -1);
    EXPECT_EQ(err.finish(), "ZF_OPEN(): no free slots in ARCINFOS[], all 32 occupied\n");
  }
  // The archives stay open after their members are closed: the first one is
  // still read from its open handle after the file is gone.
  std::remove(zips[0].c_str());
  EXPECT_EQ(readAll(zips[0] + ":m"), "0");
  zfReset();
  EXPECT_EQ(readAll(zips[32] + ":m"), "32");
}

TEST_F(Zip, BadMemberHandles) {
  char c;
  StderrCapture err;
  EXPECT_EQ(ZF_READ(-1, &c, 1), -1);
  EXPECT_EQ(ZF_TELL(256), -1);
  EXPECT_EQ(ZF_FILELENGTH(5), -1);
  EXPECT_EQ(ZF_CLOSE(5), -1);
  EXPECT_EQ(uniread(ZF_HANDLE_BASE + 300, &c, 1), -1);
  EXPECT_EQ(unilseek(ZF_HANDLE_BASE + 2, 0, SEEK_SET), -1);
  EXPECT_EQ(uniwrite(ZF_HANDLE_BASE + 2, "x", 1), -1);
  EXPECT_EQ(err.finish(),
            "ZF_READ(): invalid handle -1, not in [0..255]\n"
            "ZF_TELL(): invalid handle 256, not in [0..255]\n"
            "ZF_FILELENGTH(): invalid handle 5\n"
            "ZF_CLOSE(): invalid handle 5\n"
            "ZF_READ(): invalid handle 300, not in [0..255]\n"
            "ZF_LSEEK(): invalid handle 2\n"
            "uniwrite(): handle 1002 is a zip member, read-only\n");
}

TEST_F(Zip, MemberSizesAreChecked) {
  std::string body = text(3000);
  std::string good = dir.file("good.zip");
  writeZip(good, {{"m", body}});
  std::string bytes = readFile(good);
  ASSERT_FALSE(withClaimedSize(bytes, 1).empty());

  // A member that inflates to fewer bytes than it claims keeps what arrived.
  std::string shortZip = dir.file("short.zip");
  writeFile(shortZip, withClaimedSize(bytes, 3500));
  {
    StderrCapture err;
    int h = uniopen((shortZip + ":m").c_str(), SYS_OPEN_READ);
    EXPECT_EQ(err.finish(), "ZF_OPEN(): error reading from 'm' (3000 of 3500 bytes read)\n");
    ASSERT_GE(h, 0);
    EXPECT_EQ(unifilelength(h), 3000);
    std::string got(3000, '\0');
    EXPECT_EQ(uniread(h, got.data(), 4000), 3000);
    EXPECT_EQ(got, body);
    uniclose(h);
  }
  // Claims that no allocation may follow.
  struct Case {
    uint32_t claimed;
    std::string log;
  };
  const std::string tooBig = dir.file("big.zip");
  const Case cases[] = {
      {(256u << 20) + 1,
       "is too large (268435457 bytes, at most 268435456)"},
      {200u << 20, "(209715200 bytes from "},
  };
  for (const Case& c : cases) {
    zfReset();
    writeFile(tooBig, withClaimedSize(bytes, c.claimed));
    StderrCapture err;
    EXPECT_EQ(uniopen((tooBig + ":m").c_str(), SYS_OPEN_READ), -1);
    std::string log = err.finish();
    EXPECT_EQ(log.rfind("ZF_OPEN(): ", 0), 0u) << log;
    EXPECT_NE(log.find(c.log), std::string::npos) << log;
    EXPECT_EQ(log.find('\n'), log.size() - 1) << log;  // one line, nothing else
  }
}

TEST_F(Zip, PlainFiles) {
  std::string path = dir.file("plain.bin");
  int h = uniopen(path.c_str(), SYS_OPEN_READWRITE | SYS_OPEN_CREATE | SYS_OPEN_TRUNCATE);
  ASSERT_GE(h, 0);
  ASSERT_LT(h, ZF_HANDLE_BASE);
  EXPECT_EQ(uniwrite(h, "hello world", 11), 11);
  EXPECT_EQ(unifilelength(h), 11);
  EXPECT_EQ(unitell(h), 11);
  EXPECT_EQ(unilseek(h, 6, SEEK_SET), 6);
  char buf[16];
  EXPECT_EQ(uniread(h, buf, sizeof buf), 5);
  EXPECT_EQ(std::string(buf, 5), "world");
  EXPECT_EQ(uniclose(h), 0);
  EXPECT_EQ(readAll(path), "hello world");
  EXPECT_EQ(uniopen(dir.file("missing").c_str(), SYS_OPEN_READ), -1);
}

// A pack stored in a zip archive is read through the unified layer.
TEST_F(Zip, PackInsideZip) {
  std::string packPath = dir.file("p.gsp");
  int h = PF_OPEN(packPath.c_str(), PF_MODE_CREATE, 2);
  ASSERT_GE(h, 0);
  ASSERT_EQ(PF_NEWSECT(h, pfSectionId("gsphdr")), 0);
  ASSERT_EQ(PF_WRITE(h, "header", 6), 6);
  ASSERT_EQ(PF_NEWSECT(h, 0), 0);
  ASSERT_EQ(PF_WRITE(h, "frame zero", 10), 10);
  ASSERT_EQ(PF_CLOSE(h), 0);
  std::string zip = dir.file("archive.zip");
  writeZip(zip, {{"dir/file.gsp", readFile(packPath)}, {"dir/junk.gsp", "junk"}});

  for (long limit : {PF_DEFAULT_IMAGE_LIMIT, 0L}) {
    pfSetImageLimit(limit);  // the member is read as an image and through its handle
    h = PF_OPEN((zip + ":dir/file.gsp").c_str(), PF_MODE_READ, 0);
    pfSetImageLimit(PF_DEFAULT_IMAGE_LIMIT);
    ASSERT_GE(h, 0);
    char buf[16];
    ASSERT_EQ(PF_SELECT(h, 0), 0);
    EXPECT_EQ(PF_READ(h, buf, sizeof buf), 10);
    EXPECT_EQ(std::string(buf, 10), "frame zero");
    ASSERT_EQ(PF_SELECT(h, pfSectionId("gsphdr")), 0);
    EXPECT_EQ(PF_READ(h, buf, sizeof buf), 6);
    EXPECT_EQ(std::string(buf, 6), "header");
    EXPECT_EQ(PF_CLOSE(h), 0);
  }
  // Closing the pack closed its member.
  EXPECT_EQ(ZF_OPEN((zip + ":dir/file.gsp").c_str()), 0);

  StderrCapture err;
  EXPECT_EQ(PF_OPEN((zip + ":dir/junk.gsp").c_str(), PF_MODE_READ, 0), -1);
  EXPECT_EQ(PF_OPEN((zip + ":dir/none.gsp").c_str(), PF_MODE_READ, 0), -1);
  EXPECT_EQ(err.finish(),
            "CATCH_HANDLE(): bad signature 6A75\n"
            "PF_OPEN(): can't read the directory of '" + zip + ":dir/junk.gsp'\n"
            "ZF_OPEN(): file dir/none.gsp not found in the zipfile '" + zip + "'\n"
            "PF_OPEN(): can't open '" + zip + ":dir/none.gsp'\n");
  // The failed opens closed their members: only entry 0 is taken.
  EXPECT_EQ(ZF_OPEN((zip + ":dir/junk.gsp").c_str()), 1);
}

}  // namespace
