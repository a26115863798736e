#pragma once
// The unified file layer: one set of calls over plain files and members of zip
// archives. A name "archive.zip:dir/member" opens a member, any other name a
// plain file. Members are inflated whole at open and then read from memory;
// an archive, once opened, stays open for the rest of the run and is shared by
// later opens of the same path (compared without regard to case).
//
// Handles: a plain file keeps its file descriptor; a zip member gets
// ZF_HANDLE_BASE + its FINFOS[] index. Every call dispatches on that.
#include <cstddef>

enum {
  ZF_HANDLE_BASE = 1000,
  ZF_MAX_ARCHIVES = 32,   // ARCINFOS[]
  ZF_MAX_MEMBERS = 256,   // FINFOS[]
  ZF_MAX_PATH = 255,      // longest archive path kept in ARCINFOS[]
};

// Largest member inflated into memory. A member claiming more is refused
// before anything is allocated.
constexpr long ZF_MAX_MEMBER_SIZE = 256L << 20;

// Opens name with the system layer's flags (SYS_OPEN_READ ...), or a zip
// member (read-only; flags ignored). Returns the handle or -1.
int uniopen(const char* name, int flags);
// Bytes read, 0 at the end, -1 on failure.
long uniread(int h, void* dst, size_t len);
// Plain files only; a zip member is read-only and fails with -1.
long uniwrite(int h, const void* src, size_t len);
int uniclose(int h);
// whence: 0 (SEEK_SET), 1 (SEEK_CUR), 2 (SEEK_END). The new position or -1.
long unilseek(int h, long offset, int whence);
long unifilelength(int h);
long unitell(int h);

// Zip members by FINFOS[] index (0..255).
int ZF_OPEN(const char* name);
long ZF_READ(int i, void* dst, size_t len);
// The new position, clamped to 0..length.
long ZF_LSEEK(int i, long offset, int whence);
long ZF_FILELENGTH(int i);
long ZF_TELL(int i);
int ZF_CLOSE(int i);

// Closes every member and every archive and frees their entries. For tests
// and tools that run several independent jobs in one process; handles of
// members opened before are invalid afterwards.
void zfReset();
