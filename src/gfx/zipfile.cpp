// Zip members and the unified file layer over them and plain files.
#include "gfx/zipfile.h"

#include <minizip/unzip.h>
#include <strings.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/log.h"
#include "platform/sys/sys.h"
#include "core/text.h"

namespace {

struct ArcInfo {
  bool inUse;
  char path[ZF_MAX_PATH + 1];
  unzFile zip;
  uint64_t fileSize;  // bytes of the archive file when it was opened
};

struct FileInfo {
  bool inUse;
  int archive;  // ARCINFOS[] index
  long length;  // bytes actually inflated
  long position;
  unsigned char* data;
};

ArcInfo ARCINFOS[ZF_MAX_ARCHIVES];
FileInfo FINFOS[ZF_MAX_MEMBERS];

// Deflate can't do better than 1032:1; a member whose sizes claim more is
// damaged, and its claimed size must not steer an allocation. The slack covers
// tiny members and stored members with an encryption header.
constexpr uint64_t kMaxDeflateRatio = 1032;
constexpr uint64_t kRatioSlack = 4096;

// Checks a member index; 0 when usable, else the logged -1.
int checkIndex(const char* name, int i) {
  if (i < 0 || i >= ZF_MAX_MEMBERS)
    return logError(-1, "%s: invalid handle %d, not in [0..%d]", name, i, ZF_MAX_MEMBERS - 1);
  if (!FINFOS[i].inUse) return logError(-1, "%s: invalid handle %d", name, i);
  return 0;
}

// The ARCINFOS[] index of the archive at path, opening it when it is not open
// yet; -1 after logging on failure.
int findArchive(const char* path) {
  for (int a = 0; a < ZF_MAX_ARCHIVES; ++a)
    if (ARCINFOS[a].inUse && strcasecmp(ARCINFOS[a].path, path) == 0) return a;
  int a = 0;
  while (a < ZF_MAX_ARCHIVES && ARCINFOS[a].inUse) ++a;
  if (a == ZF_MAX_ARCHIVES)
    return logError(-1, "%s: no free slots in ARCINFOS[], all %d occupied", "ZF_OPEN()",
                    ZF_MAX_ARCHIVES);
  unsigned long long size = 0;
  unzFile zip = sysRegularFileSize(path, &size) ? unzOpen(path) : nullptr;
  if (!zip) return logError(-1, "%s: error opening zipfile '%s'", "ZF_OPEN()", path);
  ArcInfo& arc = ARCINFOS[a];
  arc.inUse = true;
  strCopyN(arc.path, path, sizeof arc.path);
  arc.zip = zip;
  arc.fileSize = static_cast<uint64_t>(size);
  return a;
}

// Inflates the archive's current member into entry; the member is open in
// minizip while this runs. 0, or -1 after logging.
int inflateMember(FileInfo& entry, const ArcInfo& arc, const char* member) {
  unz_file_info64 info{};
  int err = unzGetCurrentFileInfo64(arc.zip, &info, nullptr, 0, nullptr, 0, nullptr, 0);
  if (err != UNZ_OK)
    return logError(-1, "%s: error %d with zipfile '%s' in unzGetCurrentFileInfo", "ZF_OPEN()",
                    err, arc.path);
  // DELIBERATE: the directory's sizes are checked before they size
  // an allocation (a cap, and what the compressed bytes can possibly hold).
  const unsigned long long size = info.uncompressed_size;
  if (size > static_cast<uint64_t>(ZF_MAX_MEMBER_SIZE))
    return logError(-1, "%s: member '%s' of zipfile '%s' is too large (%llu bytes, at most %ld)",
                    "ZF_OPEN()", member, arc.path, size, ZF_MAX_MEMBER_SIZE);
  if (info.compressed_size > arc.fileSize ||
      size > info.compressed_size * kMaxDeflateRatio + kRatioSlack)
    return logError(-1, "%s: damaged member '%s' in zipfile '%s' (%llu bytes from %llu compressed)",
                    "ZF_OPEN()", member, arc.path, size,
                    static_cast<unsigned long long>(info.compressed_size));
  err = unzOpenCurrentFile(arc.zip);
  if (err != UNZ_OK)
    return logError(-1, "%s: error %d with zipfile '%s' in unzOpenCurrentFile", "ZF_OPEN()", err,
                    arc.path);
  // One spare byte so that an empty member still gets a buffer of its own.
  auto* data = static_cast<unsigned char*>(std::malloc(size + 1));
  if (!data) {
    unzCloseCurrentFile(arc.zip);
    return logError(-1, "%s: not enough memory (%d bytes)", "ZF_OPEN()", static_cast<int>(size));
  }
  unsigned long long got = 0;
  while (got < size) {
    int n = unzReadCurrentFile(arc.zip, data + got, static_cast<unsigned>(size - got));
    if (n <= 0) break;
    got += static_cast<unsigned>(n);
  }
  // The checksum is not verified: a member is taken as it inflates.
  unzCloseCurrentFile(arc.zip);
  if (got < size)
    logError(0, "%s: error reading from '%s' (%d of %d bytes read)", "ZF_OPEN()", member,
             static_cast<int>(got), static_cast<int>(size));
  entry.data = data;
  entry.length = static_cast<long>(got);
  return 0;
}

}  // namespace

int ZF_OPEN(const char* name) {
  int i = 0;
  while (i < ZF_MAX_MEMBERS && FINFOS[i].inUse) ++i;
  if (i == ZF_MAX_MEMBERS)
    return logError(-1, "%s: no free slots in FINFOS[], all %d occupied", "ZF_OPEN()",
                    ZF_MAX_MEMBERS);

  const char* colon = name ? std::strchr(name, ':') : nullptr;
  if (!colon || colon[1] == '\0')
    return logError(-1, "%s: incorrect zipfile name '%s'", "ZF_OPEN()", name ? name : "");
  // An archive path that does not fit ARCINFOS[] is refused rather than cut.
  size_t pathLen = static_cast<size_t>(colon - name);
  if (pathLen == 0 || pathLen > ZF_MAX_PATH)
    return logError(-1, "%s: incorrect zipfile name '%s'", "ZF_OPEN()", name);
  char path[ZF_MAX_PATH + 1];
  std::memcpy(path, name, pathLen);
  path[pathLen] = '\0';
  const char* member = colon + 1;
  if (*member == '/' || *member == '\\') ++member;

  int a = findArchive(path);
  if (a < 0) return -1;
  const ArcInfo& arc = ARCINFOS[a];
  if (unzLocateFile(arc.zip, member, 2) != UNZ_OK)
    return logError(-1, "%s: file %s not found in the zipfile '%s'", "ZF_OPEN()", member, path);

  FileInfo& entry = FINFOS[i];
  if (inflateMember(entry, arc, member) < 0) return -1;
  entry.archive = a;
  entry.position = 0;
  entry.inUse = true;
  return i;
}

long ZF_READ(int i, void* dst, size_t len) {
  if (checkIndex("ZF_READ()", i) < 0) return -1;
  FileInfo& e = FINFOS[i];
  size_t left = static_cast<size_t>(e.length - e.position);
  size_t n = len < left ? len : left;
  if (n) std::memcpy(dst, e.data + e.position, n);
  e.position += static_cast<long>(n);
  return static_cast<long>(n);
}

long ZF_LSEEK(int i, long offset, int whence) {
  if (checkIndex("ZF_LSEEK()", i) < 0) return -1;
  FileInfo& e = FINFOS[i];
  long from;
  switch (whence) {
    case SEEK_SET: from = 0; break;
    case SEEK_CUR: from = e.position; break;
    case SEEK_END: from = e.length; break;
    default: return logError(-1, "%s: bad whence %d", "ZF_LSEEK()", whence);
  }
  // Clamped without forming from + offset, which could overflow.
  if (offset < -from)
    e.position = 0;
  else if (offset > e.length - from)
    e.position = e.length;
  else
    e.position = from + offset;
  return e.position;
}

long ZF_FILELENGTH(int i) {
  if (checkIndex("ZF_FILELENGTH()", i) < 0) return -1;
  return FINFOS[i].length;
}

long ZF_TELL(int i) {
  if (checkIndex("ZF_TELL()", i) < 0) return -1;
  return FINFOS[i].position;
}

int ZF_CLOSE(int i) {
  if (checkIndex("ZF_CLOSE()", i) < 0) return -1;
  std::free(FINFOS[i].data);
  FINFOS[i] = FileInfo{};
  return 0;
}

void zfReset() {
  for (FileInfo& e : FINFOS) {
    std::free(e.data);
    e = FileInfo{};
  }
  for (ArcInfo& a : ARCINFOS) {
    if (a.inUse) unzClose(a.zip);
    a = ArcInfo{};
  }
}

int uniopen(const char* name, int flags) {
  if (name && std::strchr(name, ':')) {
    int i = ZF_OPEN(name);
    return i < 0 ? -1 : ZF_HANDLE_BASE + i;
  }
  int fd = sysOpen(name, flags);
  // A descriptor this high would be taken for a zip member.
  if (fd >= ZF_HANDLE_BASE) {
    sysClose(fd);
    errno = EMFILE;
    return logError(-1, "%s: descriptor %d of '%s' collides with zip member handles", "uniopen()",
                    fd, name);
  }
  return fd;
}

long uniread(int h, void* dst, size_t len) {
  if (h >= ZF_HANDLE_BASE) return ZF_READ(h - ZF_HANDLE_BASE, dst, len);
  return sysRead(h, dst, len);
}

long uniwrite(int h, const void* src, size_t len) {
  if (h >= ZF_HANDLE_BASE)
    return logError(-1, "%s: handle %d is a zip member, read-only", "uniwrite()", h);
  return sysWrite(h, src, len);
}

int uniclose(int h) {
  if (h >= ZF_HANDLE_BASE) return ZF_CLOSE(h - ZF_HANDLE_BASE);
  return sysClose(h);
}

long unilseek(int h, long offset, int whence) {
  if (h >= ZF_HANDLE_BASE) return ZF_LSEEK(h - ZF_HANDLE_BASE, offset, whence);
  return sysSeek(h, offset, whence);
}

long unifilelength(int h) {
  if (h >= ZF_HANDLE_BASE) return ZF_FILELENGTH(h - ZF_HANDLE_BASE);
  return sysFileLength(h);
}

long unitell(int h) {
  if (h >= ZF_HANDLE_BASE) return ZF_TELL(h - ZF_HANDLE_BASE);
  return sysSeek(h, 0, SEEK_CUR);
}
