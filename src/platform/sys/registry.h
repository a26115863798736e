#pragma once
// A small store of named values that stands in for one key of the Windows
// registry: each value is either a byte string (REG_SZ, kept byte for byte,
// Windows-1251 texts) or a 32-bit number (REG_DWORD). A key lives in one file
// of the user's data folder; saving writes a temporary file beside it and
// renames it over the old one, so a crash never leaves half a key.
//
// File layout, all integers little-endian:
//   "QELREG\r\n"  signature, 8 bytes
//   u16 version (1), u16 value count
//   per value: u8 type (1 text, 4 number), u8 name length (1..63), the name,
//              u16 data length (number: exactly 4; text: 0..1024), the data
// and nothing after the last value. The reader trusts none of it: every count
// and length is checked against the limits and against what remains.
//
// No logging here (this layer sits below the log): a failure fills a RegError
// with an error number (errno, or one of the REG_ERR_* below) and a sentence
// that the caller reports.
#include <cstddef>
#include <cstdint>
#include <string>

enum RegType : uint8_t { REG_TYPE_SZ = 1, REG_TYPE_DWORD = 4 };

enum {
  REG_MAX_VALUES = 64,
  REG_MAX_NAME = 63,    // bytes of a value's name, without the NUL
  REG_MAX_DATA = 1024,  // bytes of a text value
  REG_VERSION = 1,
};

// Error numbers beyond errno: the Windows codes of the same meaning.
enum {
  REG_ERR_NOT_FOUND = 2,   // no such value (a missing file reports ENOENT, also 2)
  REG_ERR_NO_SLOTS = 8,    // the key holds REG_MAX_VALUES values already
  REG_ERR_DAMAGED = 13,    // the file is not a well-formed key
  REG_ERR_TOO_LONG = 234,  // a name or a value longer than its buffer
};

struct RegError {
  int code;
  char text[256];
};

struct RegValue {
  char name[REG_MAX_NAME + 1];
  uint8_t type;
  uint16_t size;
  uint8_t data[REG_MAX_DATA];
};

struct RegKey {
  int count;
  RegValue values[REG_MAX_VALUES];
};

void regClear(RegKey* key);

// Parses a file image into key; 1 on success. On failure the key is left
// empty (nothing half-read stays in it).
int regParse(RegKey* key, const uint8_t* data, size_t size, RegError* err);
// The file image of a key (empty when the key itself breaks the limits).
std::string regImage(const RegKey* key);

// Reads the key's file; 1 on success, else 0 with the key empty.
int regLoad(RegKey* key, const char* path, RegError* err);
// Writes the key's file atomically, creating its folder (with parents);
// 1 on success. On failure the old file is as it was.
int regSave(const RegKey* key, const char* path, RegError* err);

// Values by name (exact bytes). Get: 1 when found with that type, else 0 with
// err->code REG_ERR_NOT_FOUND (missing or of another type) or
// REG_ERR_TOO_LONG (text: the data and a NUL don't fit in cap bytes).
// A text read is NUL-terminated; *length (may be null) gets its data length.
int regGetSz(const RegKey* key, const char* name, char* out, size_t cap, size_t* length, RegError* err);
int regGetDword(const RegKey* key, const char* name, uint32_t* value, RegError* err);
// Set: adds or replaces; 0 with REG_ERR_TOO_LONG or REG_ERR_NO_SLOTS.
int regSetSz(RegKey* key, const char* name, const char* data, size_t length, RegError* err);
int regSetDword(RegKey* key, const char* name, uint32_t value, RegError* err);

// The folder of the keys' files: $QEL_DATA_DIR when set and not empty, else
// ${XDG_DATA_HOME:-$HOME/.local/share}/qel (XDG_DATA_HOME only when not
// empty); empty when none of them is set. No trailing '/'.
std::string regDataDir();
// "<folder>/<name>.reg"; empty when there is no folder.
std::string regKeyPath(const char* name);

// For tests: when set, regSave stops after the temporary file is written and
// flushed, before the rename, and fails as a crash at that point would leave
// things (the temporary file stays).
void regSetFailBeforeRename(bool fail);
