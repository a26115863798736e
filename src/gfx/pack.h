#pragma once
// The pack container of sprite (.gsp) and font (.fnp) files: numbered sections
// behind a directory. A reader selects a section by its 32-bit id and reads it
// sequentially. Packs sit on the unified file layer (gfx/zipfile.h), so a pack
// may be a plain file or a zip member ("archive.zip:dir/file.gsp").
//
// File layout, integers big-endian:
//   0  u16 signature 0xAF01
//   2  u16 dh_len, 1..4096 directory records
//   4  dh_len records of 13 bytes: u8 type, s32 id, s32 offs, s32 len
//      (offs counted from the signature; id, offs, len non-negative)
//   then the section data, anywhere in the file.
// Section ids are small integers (frame numbers) or pfSectionId(name) from
// core/text.h.
#include <cstddef>
#include <cstdint>

#include "core/text.h"

enum {
  PF_MAX_PACKS = 32,       // PACKS[]
  PF_MAX_RECORDS = 4096,   // directory records of one pack
  PF_SIGNATURE = 0xAF01,
  PF_RECORD_SIZE = 13,     // bytes of one directory record on disk
  PF_HEADER_SIZE = 4,      // signature and dh_len
};

// PF_OPEN mode bits. Of create, read and update the first wins.
enum {
  PF_MODE_CREATE = 1,
  PF_MODE_READ = 2,
  PF_MODE_UPDATE = 4,
  PF_MODE_EXCL = 8,  // with create: fail if the file exists
};

// Record types. Only sections are found by PF_SELECT.
enum { PF_FREE = 0, PF_SECTION = 1, PF_RESERVED = 2 };

struct PfRecord {
  int32_t type;
  int32_t id;
  int32_t offs;
  int32_t len;
};

// Opens a pack; returns its handle 0..31 or -1. count: directory records of a
// pack being created (1..4096), ignored otherwise. Read packs are held in
// memory as a whole and never written; create and update need a plain file.
int PF_OPEN(const char* path, int mode, int count);
// Opens a read-only pack over a copy of size bytes at data; name is only used
// in messages. For packs that are already in memory (and fuzzing).
int PF_OPENMEM(const void* data, size_t size, const char* name);
// Selects the first section with this id and positions at its start. 0 or -1.
int PF_SELECT(int h, int32_t id);
// Reads at most the bytes left in the selected section; -1 when none are left.
long PF_READ(int h, void* dst, size_t len);
// Length of the selected section, or -1.
long PF_LENGTH(int h);
// Writable packs: writes dh_len and every directory record back. 0 or -1.
int PF_SYNC(int h);
// Syncs a writable pack, frees the entry and closes the file. 0 or -1.
int PF_CLOSE(int h);

// Writable packs. PF_NEWSECT frees any section with this id, takes the first
// free record for a new empty section at the end of the file and selects it.
// PF_WRITE writes at the position within the selected section: a write may
// run past the section's end only when the section is the last thing in the
// file (it grows), so other sections' bytes are never overwritten.
int PF_NEWSECT(int h, int32_t id);
long PF_WRITE(int h, const void* src, size_t len);

// The directory of an open pack: *records points at its records (valid until
// the pack is closed or changed). Returns the record count, or -1.
int pfDirectory(int h, const PfRecord** records);

// Packs longer than this many bytes are not loaded whole but read through the
// file handle. The default keeps absurd files from forcing huge allocations.
void pfSetImageLimit(long bytes);
constexpr long PF_DEFAULT_IMAGE_LIMIT = 256L << 20;
