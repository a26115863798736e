#pragma once
// Configuration sets: text files of "name = value" lines under [section]
// headers (.conf), and their precompiled binary twins (.bcf).
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

enum ConfType : int32_t { CONF_INT = 0, CONF_DOUBLE = 1, CONF_STRING = 2 };

struct ConfVar {
  char* name;  // full key "section.name", owned
  int32_t type;
  union {
    int32_t i;
    double d;
    char* s;  // owned
  } value;
  ConfVar* next;
};

struct ConfCursor {
  int done;
  char pattern[128];
  ConfVar* current;
};

// A zeroed set is an empty set. Variables are kept in ascending byte order of
// their full names (the binary reader keeps file order).
struct ConfSet {
  ConfVar* first;
  ConfCursor vars;
  ConfCursor sections;
};

// The readers start by zeroing the set (it may be uninitialised); a set that
// still holds variables must be freed with conf_free before it is read again.
int conf_anyread(ConfSet* set, const char* caller, const char* textPath, const char* binPath,
                 int writeBinary);
int CONF_READ(ConfSet* set, const char* path);
int CONF_BINREAD(ConfSet* set, const char* path);
int CONF_BINWRITE(ConfSet* set, const char* path);

// The parsers behind CONF_READ and CONF_BINREAD, over bytes already in memory.
// name is the file name used in messages. confParseBinary checks every count,
// type and offset; a damaged image fails with -1 and leaves the set empty.
int confParseText(ConfSet* set, std::span<const uint8_t> bytes, const char* name);
int confParseBinary(ConfSet* set, std::span<const uint8_t> bytes, const char* name);
// The binary twin of a set, byte for byte as CONF_BINWRITE writes it. False
// when it would not fit the format's 32-bit offsets.
bool confBuildBinary(const ConfSet* set, std::vector<uint8_t>* image);

void conf_free(ConfSet* set);
ConfVar* conf_find(ConfSet* set, const char* key);
int conf_gettype(ConfSet* set, const char* key);
int32_t conf_getint(ConfSet* set, const char* key, int32_t defaultValue);
double conf_getdouble(ConfSet* set, const char* key, double defaultValue);
const char* conf_getstr(ConfSet* set, const char* key, const char* defaultValue);
// The key is built from format with the one integer n first (cut at 127 characters).
int32_t conf_getintf(ConfSet* set, const char* format, int32_t defaultValue, int n);
double conf_getdoublef(ConfSet* set, const char* format, double defaultValue, int n);
const char* conf_getstrf(ConfSet* set, const char* format, const char* defaultValue, int n);

// Walks the full names (and, below, the section names) that match a wildMatch
// pattern, in list order; a null pattern matches every name.
const char* conf_findfirst(ConfSet* set, const char* pattern);
const char* conf_findnext(ConfSet* set);
const char* conf_firstsection(ConfSet* set, const char* pattern);
const char* conf_nextsection(ConfSet* set);
