// The pack container: PACKS[] and the directory reader and writer.
#include "gfx/pack.h"


#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>

#include "core/bytes.h"
#include "core/log.h"
#include "gfx/zipfile.h"
#include "platform/sys/sys.h"

namespace {

struct PackEntry {
  bool inUse;
  bool writable;
  int file = -1;      // unified-layer handle; -1 for a pack opened over memory
  long base;          // position of the signature (in the image or the file)
  int recordCount;
  PfRecord* records;
  int selected;       // index into records, -1 none
  unsigned char* image;  // the whole pack, for packs read into memory
  long imageLen;
  long pos;           // current position, same reckoning as base
};

PackEntry PACKS[PF_MAX_PACKS];
long gImageLimit = PF_DEFAULT_IMAGE_LIMIT;

using RecordBytes = std::array<unsigned char, PF_RECORD_SIZE>;

const char* errnoText() { return std::strerror(errno); }

// The entry behind a handle, or null after logging why there is none.
PackEntry* entryFor(int h, const char* name) {
  if (h < 0 || h >= PF_MAX_PACKS) {
    logError(-1, "%s: handle value %d is out of range", name, h);
    return nullptr;
  }
  if (!PACKS[h].inUse) {
    char why[48];
    std::snprintf(why, sizeof why, "pack %d not in use", h);
    logError(-1, "%s: %s", name, why);
    return nullptr;
  }
  return &PACKS[h];
}

// Like entryFor, for operations that change the file.
PackEntry* writableEntryFor(int h, const char* name) {
  if (h >= 0 && h < PF_MAX_PACKS && PACKS[h].inUse && !PACKS[h].writable) {
    char why[64];
    std::snprintf(why, sizeof why, "pack %d not in use or read-only", h);
    logError(-1, "%s: %s", name, why);
    return nullptr;
  }
  return entryFor(h, name);
}

// Reads up to n bytes at the current position, from the image or the handle.
long rawRead(PackEntry& e, void* dst, size_t n) {
  if (e.image) {
    long left = e.pos < e.imageLen ? e.imageLen - e.pos : 0;
    size_t k = n < static_cast<size_t>(left) ? n : static_cast<size_t>(left);
    if (k) std::memcpy(dst, e.image + e.pos, k);
    e.pos += static_cast<long>(k);
    return static_cast<long>(k);
  }
  long k = uniread(e.file, dst, n);
  if (k > 0) e.pos += k;
  return k;
}

// Moves the handle of a file-backed pack to pos; the image needs no seek.
int seekTo(PackEntry& e, long pos, long base, long offs, const char* name) {
  if (!e.image) {
    long got = unilseek(e.file, pos, SEEK_SET);
    if (got != pos)
      return logError(-1, "%s: unilseek(%ld+%ld) returned %ld, error-'%s'", name, base, offs, got,
                      errnoText());
  }
  e.pos = pos;
  return 0;
}

// Bytes from base to the end of the pack's data.
long dataLength(const PackEntry& e) {
  long total = e.image ? e.imageLen : unifilelength(e.file);
  return total < 0 ? -1 : total - e.base;
}

int READ_FDR(PackEntry& e, PfRecord* record, int i) {
  RecordBytes b{};
  if (rawRead(e, b.data(), b.size()) != static_cast<long>(b.size()))
    return logError(-1, "%s: file read error (i-%d)", "READ_FDR()", i);
  ByteReader in = brOpen(b);
  PfRecord r{};
  r.type = brU8(&in);
  r.id = brBe<int32_t>(&in);
  r.offs = brBe<int32_t>(&in);
  r.len = brBe<int32_t>(&in);
  if (r.type > PF_RESERVED || r.id < 0 || r.offs < 0 || r.len < 0)
    return logError(-1, "%s: illegal field value(s): type-%d id-%08X offs-%d len-%d", "READ_FDR()",
                    r.type, static_cast<unsigned>(r.id), r.offs, r.len);
  *record = r;
  return 0;
}

int WRITE_FDR(PackEntry& e, int i) {
  const PfRecord& r = e.records[i];
  RecordBytes b{};
  b[0] = static_cast<unsigned char>(r.type);
  bytesPutBe<int32_t>(b.data() + 1, r.id);
  bytesPutBe<int32_t>(b.data() + 5, r.offs);
  bytesPutBe<int32_t>(b.data() + 9, r.len);
  if (uniwrite(e.file, b.data(), b.size()) != static_cast<long>(b.size()))
    return logError(-1, "%s: file write error (i-%d)", "WRITE_FDR()", i);
  return 0;
}

// Reads the directory at the current position into e. name is the pack's
// path, for messages. On failure e's directory is left unset.
int CATCH_HANDLE(PackEntry& e, const char* name) {
  const char* fn = "CATCH_HANDLE()";
  if (!e.image) {
    long at = unitell(e.file);
    if (at < 0) return logError(-1, "%s: unitell() returned %ld, error-'%s'", fn, at, errnoText());
    e.pos = at;
  }
  e.base = e.pos;

  // A word that was not read whole reads as 0.
  unsigned char word[2] = {0, 0};
  long got = rawRead(e, word, 2);
  ByteReader in = brOpen(std::span<const uint8_t>(word, got == 2 ? 2 : 0));
  unsigned signature = brBe<uint16_t>(&in);
  if (got != 2 || signature != PF_SIGNATURE) return logError(-1, "%s: bad signature %04X", fn, signature);
  got = rawRead(e, word, 2);
  in = brOpen(std::span<const uint8_t>(word, got == 2 ? 2 : 0));
  int count = brBe<uint16_t>(&in);
  if (got != 2 || count < 1 || count > PF_MAX_RECORDS)
    return logError(-1, "%s: error reading directory length (i-%d dh_len-%d)", fn,
                    static_cast<int>(got), count);

  size_t bytes = sizeof(PfRecord) * static_cast<size_t>(count);
  auto* records = static_cast<PfRecord*>(std::malloc(bytes));
  if (!records)
    return logError(-1, "%s: not enough memory for directory (%d bytes)", fn,
                    static_cast<int>(bytes));
  for (int i = 0; i < count; ++i) {
    if (READ_FDR(e, &records[i], i) < 0) {
      std::free(records);
      return logError(-1, "%s: READ_FDR() for record %d returned error", fn, i);
    }
  }

  // DELIBERATE: the directory is not trusted. Every section a select
  // can reach must lie inside the file, so that reading it never leaves the
  // data (offs + len is summed in 64 bits).
  long length = dataLength(e);
  if (length < 0) {
    std::free(records);
    return logError(-1, "%s: unifilelength() returned %ld, error-'%s'", fn, length, errnoText());
  }
  for (int i = 0; i < count; ++i) {
    const PfRecord r = records[i];
    if (r.type == PF_SECTION && int64_t{r.offs} + r.len > length) {
      std::free(records);
      return logError(-1,
                      "%s: damaged pack '%s': section %d (id-%08X offs-%d len-%d) lies outside "
                      "the file (%ld bytes)",
                      fn, name, i, static_cast<unsigned>(r.id), r.offs, r.len, length);
    }
  }
  e.records = records;
  e.recordCount = count;
  e.selected = -1;
  return 0;
}

// Releases everything an entry holds and frees it.
void releaseEntry(PackEntry& e) {
  std::free(e.records);
  std::free(e.image);
  if (e.file >= 0) uniclose(e.file);
  e = PackEntry{};
}

int freeSlot(const char* fn) {
  for (int h = 0; h < PF_MAX_PACKS; ++h)
    if (!PACKS[h].inUse) return h;
  return logError(-1, "%s: no free slots in PACKS[]", fn);
}

// Writes a fresh pack of count zeroed records over path.
int createFile(const char* path, int count, bool exclusive) {
  const char* fn = "PF_OPEN()";
  if (count < 1 || count > PF_MAX_RECORDS)
    return logError(-1, "%s: can't create directory record, all %d occupied", fn, PF_MAX_RECORDS);
  int flags = SYS_OPEN_WRITE | SYS_OPEN_CREATE | SYS_OPEN_TRUNCATE | (exclusive ? SYS_OPEN_EXCLUSIVE : 0);
  int file = uniopen(path, flags);
  if (file < 0) return logError(-1, "%s: can't open '%s', error-'%s'", fn, path, errnoText());
  size_t size = PF_HEADER_SIZE + static_cast<size_t>(count) * PF_RECORD_SIZE;
  auto* header = static_cast<unsigned char*>(std::calloc(size, 1));
  if (!header) {
    uniclose(file);
    return logError(-1, "%s: not enough memory for directory (%d bytes)", fn,
                    static_cast<int>(size));
  }
  bytesPutBe<uint16_t>(header, PF_SIGNATURE);
  bytesPutBe<uint16_t>(header + 2, static_cast<uint16_t>(count));
  long wrote = uniwrite(file, header, size);
  std::free(header);
  int closed = uniclose(file);
  if (wrote != static_cast<long>(size) || closed != 0)
    return logError(-1, "%s: can't write the directory of '%s', error-'%s'", fn, path, errnoText());
  return 0;
}

// Loads the whole file into e.image, when it is small enough and memory
// allows; otherwise the pack is read through its handle.
void loadImage(PackEntry& e) {
  long length = unifilelength(e.file);
  if (length < 0 || length > gImageLimit) return;
  auto* image = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(length) + 1));
  if (!image) return;
  long got = 0;
  while (got < length) {
    long n = uniread(e.file, image + got, static_cast<size_t>(length - got));
    if (n <= 0) break;
    got += n;
  }
  if (got < length) {
    // The file changed or failed under us: read through the handle instead.
    std::free(image);
    unilseek(e.file, 0, SEEK_SET);
    return;
  }
  e.image = image;
  e.imageLen = length;
  e.pos = 0;
}

}  // namespace

int PF_OPEN(const char* path, int mode, int count) {
  const char* fn = "PF_OPEN()";
  if (!path) path = "";
  int kind = mode & PF_MODE_CREATE   ? PF_MODE_CREATE
             : mode & PF_MODE_READ   ? PF_MODE_READ
             : mode & PF_MODE_UPDATE ? PF_MODE_UPDATE
                                     : 0;
  if (!kind) return logError(-1, "%s: wrong mode %x", fn, static_cast<unsigned>(mode));
  int h = freeSlot(fn);
  if (h < 0) return -1;

  if (kind != PF_MODE_READ && std::strchr(path, ':'))
    return logError(-1, "%s: can't write '%s': zip members are read-only", fn, path);
  if (kind == PF_MODE_CREATE) {
    if (createFile(path, count, (mode & PF_MODE_EXCL) != 0) < 0) return -1;
    return PF_OPEN(path, PF_MODE_UPDATE, 0);
  }

  PackEntry& e = PACKS[h];
  e = PackEntry{};
  e.file = uniopen(path, kind == PF_MODE_READ ? SYS_OPEN_READ : SYS_OPEN_READWRITE);
  if (e.file < 0) {
    e.file = -1;
    // A zip member's failure has been told by ZF_OPEN; errno says nothing then.
    if (std::strchr(path, ':')) return logError(-1, "%s: can't open '%s'", fn, path);
    return logError(-1, "%s: can't open '%s', error-'%s'", fn, path, errnoText());
  }
  if (kind == PF_MODE_READ) loadImage(e);
  if (CATCH_HANDLE(e, path) < 0) {
    releaseEntry(e);
    return logError(-1, "%s: can't read the directory of '%s'", fn, path);
  }
  e.writable = kind == PF_MODE_UPDATE;
  e.inUse = true;
  return h;
}

int PF_OPENMEM(const void* data, size_t size, const char* name) {
  const char* fn = "PF_OPENMEM()";
  if (!name) name = "";
  int h = freeSlot(fn);
  if (h < 0) return -1;
  PackEntry& e = PACKS[h];
  e = PackEntry{};
  e.image = static_cast<unsigned char*>(std::malloc(size + 1));
  if (!e.image)
    return logError(-1, "%s: not enough memory (%ld bytes)", fn, static_cast<long>(size));
  if (size) std::memcpy(e.image, data, size);
  e.imageLen = static_cast<long>(size);
  if (CATCH_HANDLE(e, name) < 0) {
    releaseEntry(e);
    return logError(-1, "%s: can't read the directory of '%s'", fn, name);
  }
  e.inUse = true;
  return h;
}

int PF_SELECT(int h, int32_t id) {
  const char* fn = "PF_SELECT()";
  PackEntry* e = entryFor(h, fn);
  if (!e) return -1;
  for (int i = 0; i < e->recordCount; ++i) {
    const PfRecord& r = e->records[i];
    if (r.type != PF_SECTION || r.id != id) continue;
    if (seekTo(*e, e->base + r.offs, e->base, r.offs, fn) < 0) {
      e->selected = -1;  // the position is unknown now
      return -1;
    }
    e->selected = i;
    return 0;
  }
  return logError(-1, "%s: id %08X not found", fn, static_cast<unsigned>(id));
}

long PF_READ(int h, void* dst, size_t len) {
  const char* fn = "PF_READ()";
  PackEntry* e = entryFor(h, fn);
  if (!e) return -1;
  long avail = 0;
  if (e->selected >= 0) {
    const PfRecord& r = e->records[e->selected];
    avail = static_cast<long>(int64_t{r.offs} + r.len - (e->pos - e->base));
  }
  if (avail <= 0) return logError(-1, "%s: read: not in sect (avail-%ld)", fn, avail);
  size_t n = len < static_cast<size_t>(avail) ? len : static_cast<size_t>(avail);
  long got = rawRead(*e, dst, n);
  if (got < 0) return logError(-1, "%s: uniread() returned %ld, error-'%s'", fn, got, errnoText());
  return got;
}

long PF_LENGTH(int h) {
  const char* fn = "PF_LENGTH()";
  PackEntry* e = entryFor(h, fn);
  if (!e) return -1;
  if (e->selected < 0) return logError(-1, "%s: pack %d has no section selected", fn, h);
  return e->records[e->selected].len;
}

int PF_SYNC(int h) {
  const char* fn = "PF_SYNC()";
  PackEntry* e = writableEntryFor(h, fn);
  if (!e) return -1;
  if (unilseek(e->file, e->base + 2, SEEK_SET) != e->base + 2)
    return logError(-1, "%s: sync: bad seek", fn);
  unsigned char count[2];
  bytesPutBe<uint16_t>(count, static_cast<uint16_t>(e->recordCount));
  if (uniwrite(e->file, count, 2) != 2) return logError(-1, "%s: sync: write error", fn);
  for (int i = 0; i < e->recordCount; ++i)
    if (WRITE_FDR(*e, i) < 0) return logError(-1, "%s: sync: write error", fn);
  // Back to where reads and writes left off.
  if (unilseek(e->file, e->pos, SEEK_SET) != e->pos) return logError(-1, "%s: sync: bad seek", fn);
  return 0;
}

int PF_CLOSE(int h) {
  const char* fn = "PF_CLOSE()";
  PackEntry* e = entryFor(h, fn);
  if (!e) return -1;
  int status = 0;
  if (e->writable && PF_SYNC(h) < 0) status = logError(-1, "%s: close: pf_sync error", fn);
  releaseEntry(*e);
  return status;
}

int PF_NEWSECT(int h, int32_t id) {
  const char* fn = "PF_NEWSECT()";
  PackEntry* e = writableEntryFor(h, fn);
  if (!e) return -1;
  if (id < 0) return logError(-1, "%s: illegal id %08X", fn, static_cast<unsigned>(id));
  // Decide everything that can fail before the directory changes.
  bool room = false;
  for (int i = 0; i < e->recordCount && !room; ++i)
    room = e->records[i].type == PF_FREE ||
           (e->records[i].type == PF_SECTION && e->records[i].id == id);
  if (!room)
    return logError(-1, "%s: can't create directory record, all %d occupied", fn, e->recordCount);
  long end = dataLength(*e);
  if (end < 0)
    return logError(-1, "%s: unifilelength() returned %ld, error-'%s'", fn, end, errnoText());
  if (end > INT32_MAX) return logError(-1, "%s: no room for a section at offset %ld", fn, end);
  if (seekTo(*e, e->base + end, e->base, end, fn) < 0) return -1;

  int slot = -1;
  for (int i = 0; i < e->recordCount; ++i) {
    PfRecord& r = e->records[i];
    if (r.type == PF_SECTION && r.id == id) r = PfRecord{};
    if (slot < 0 && r.type == PF_FREE) slot = i;
  }
  e->records[slot] = PfRecord{PF_SECTION, id, static_cast<int32_t>(end), 0};
  e->selected = slot;
  return 0;
}

long PF_WRITE(int h, const void* src, size_t len) {
  const char* fn = "PF_WRITE()";
  PackEntry* e = writableEntryFor(h, fn);
  if (!e) return -1;
  if (e->selected < 0) return logError(-1, "%s: pack %d has no section selected", fn, h);
  if (len > static_cast<size_t>(INT32_MAX)) return logError(-1, "%s: write: section too long", fn);
  PfRecord& r = e->records[e->selected];
  int64_t at = e->pos - e->base;
  int64_t sectionEnd = int64_t{r.offs} + r.len;
  if (at + static_cast<int64_t>(len) > sectionEnd) {
    long fileEnd = dataLength(*e);
    if (sectionEnd != fileEnd)
      return logError(-1, "%s: write: not in sect (avail-%ld)", fn,
                      static_cast<long>(sectionEnd - at));
    if (at + static_cast<int64_t>(len) - r.offs > INT32_MAX)
      return logError(-1, "%s: write: section too long", fn);
  }
  if (seekTo(*e, e->pos, e->base, static_cast<long>(at), fn) < 0) return -1;
  long wrote = uniwrite(e->file, src, len);
  if (wrote > 0) {
    e->pos += wrote;
    int64_t grown = e->pos - e->base - r.offs;
    if (grown > r.len) r.len = static_cast<int32_t>(grown);
  }
  if (wrote != static_cast<long>(len))
    return logError(-1, "%s: write error, error-'%s'", fn, errnoText());
  return wrote;
}

int pfDirectory(int h, const PfRecord** records) {
  PackEntry* e = entryFor(h, "pfDirectory()");
  if (!e) return -1;
  if (records) *records = e->records;
  return e->recordCount;
}

void pfSetImageLimit(long bytes) { gImageLimit = bytes < 0 ? 0 : bytes; }
