#pragma once
// Small text utilities shared by the configuration reader, the script readers
// and the rest of the engine. All work on plain NUL-terminated byte strings.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/log.h"

// Formats into one static 4096-byte buffer shared by all callers.
char* strFormat(const char* format, ...) PB_PRINTF(1, 2);
// Bounded formatting; the last byte of the buffer is always NUL. Returns the
// number of characters stored.
int strFormatN(char* buffer, size_t size, const char* format, ...) PB_PRINTF(3, 4);
// A name from a pattern that comes from a data file, with one number: only
// integer conversions (with flags, width and precision) take the number and
// "%%" gives '%'; anything else is copied as it stands, so a stray "%s"
// cannot read beyond the one argument. Bounded like strFormatN.
void strFormatNumbered(char* out, size_t size, const char* format, int n);
char* strCopyN(char* destination, const char* source, size_t size);
char* strCatN(char* destination, const char* source, size_t size);

enum { STR_TRIM_LEADING = 1, STR_TRIM_TRAILING = 2, STR_TRIM_BOTH = 3 };
char* strTrim(char* text, const char* set, int flags);

// Tokenizes text in place at any of the delimiters; the variadic arguments are
// char** outputs ended by a null pointer. Each receives the next token or null
// (strSplitE: an empty text) once the tokens are used up. Returns the number of
// output pointers.
int strSplit(char* text, const char* delimiters, ...);
int strSplitE(char* text, const char* delimiters, ...);

// Index of the first candidate (const char*, list ended by null) equal to text,
// or -1. I: without regard to case. P: the first candidate text begins with.
int strIndex(const char* text, ...);
int strIndexI(const char* text, ...);
int strIndexP(const char* text, ...);

// Round-robin picker over its arguments (list ended by null), one counter for
// the whole process.
const char* strNextArg(const char* item0, ...);

// Number parsers: a pointer to a static result, or null when the text is not a
// number of that kind. The next call overwrites the result.
const long* strToLong(const char* text);
const double* strToDouble(const char* text);
// "%08X,%08X": low and high 32-bit words of an IEEE 754 double.
double strHexDouble(const char* text);

// The 32-bit check value over a text (hall of fame check, pack section ids).
int32_t strHash(const char* text);
// Pack section id from a section name (the same hash).
int32_t pfSectionId(const char* name);

// Shell-style wildcard match, case-sensitive.
bool wildMatch(const char* text, const char* pattern);

// Player texts live in Windows-1251; sources and the desktop speak UTF-8.
std::string cp1251ToUtf8(std::string_view text);
// Characters without a Windows-1251 code become '?'.
std::string utf8ToCp1251(std::string_view text);
// The same, but characters without a code (and invalid UTF-8) are dropped,
// for text a player types, where a '?' in place of a refused character
// would be a character the player never typed.
std::string utf8ToCp1251Strict(std::string_view text);
