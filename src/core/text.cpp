// Text utilities: bounded formatting and copying, tokenizing, list lookup,
// number parsing, the 32-bit text check value, wildcard matching and the
// Windows-1251 code page. Nothing here depends on the C locale.
#include "core/text.h"

#include <bit>
#include <charconv>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/bytes.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalNoCase(const char* a, const char* b) {
  for (; *a && lowerAscii(*a) == lowerAscii(*b); ++a, ++b) {
  }
  return lowerAscii(*a) == lowerAscii(*b);
}

// Value of a digit in the given base (8, 10 or 16), or -1.
int digitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9')
    v = c - '0';
  else if (c >= 'a' && c <= 'f')
    v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F')
    v = c - 'A' + 10;
  return v < base ? v : -1;
}

// The number parsers' work copy: at most 31 characters, blanks and tabs
// trimmed at both ends, blanks between a leading minus and the number removed.
struct NumberText {
  char text[32];
};

NumberText numberWorkCopy(const char* source) {
  NumberText w;
  strCopyN(w.text, source, sizeof w.text);
  strTrim(w.text, " \t", STR_TRIM_BOTH);
  if (w.text[0] == '-' && isBlank(w.text[1])) strTrim(w.text + 1, " \t", STR_TRIM_LEADING);
  return w;
}

// Reads digits of one base with an optional sign. Null when a character is
// not a digit, when there are no digits, or when the value does not fit in a long.
const long* parseLong(const char* digits, bool negative, int base) {
  static long result;
  if (*digits == '\0') return nullptr;
  const unsigned long limit = negative ? 0ul - static_cast<unsigned long>(LONG_MIN)
                                       : static_cast<unsigned long>(LONG_MAX);
  unsigned long value = 0;
  for (const char* p = digits; *p; ++p) {
    int d = digitValue(*p, base);
    if (d < 0) return nullptr;
    if (value > (limit - static_cast<unsigned long>(d)) / static_cast<unsigned long>(base))
      return nullptr;
    value = value * static_cast<unsigned long>(base) + static_cast<unsigned long>(d);
  }
  // Two's complement negation through unsigned arithmetic, so LONG_MIN is reachable.
  result = negative ? static_cast<long>(0ul - value) : static_cast<long>(value);
  return &result;
}

// The check value's byte permutation.
constexpr uint8_t kHashTable[256] = {
    0x58, 0xE2, 0x69, 0xDD, 0x52, 0x41, 0x86, 0x23, 0xE9, 0xAE, 0x38, 0xCE, 0xAC, 0xC1, 0xB3, 0xE5,
    0x3B, 0x45, 0x49, 0x61, 0xE6, 0xED, 0xDF, 0xFE, 0x2A, 0xE1, 0xA1, 0xF9, 0x6F, 0xF5, 0x36, 0x4A,
    0xA4, 0xCA, 0xF7, 0xE4, 0xCB, 0x13, 0xB8, 0x2B, 0x1F, 0x76, 0x72, 0x0C, 0x01, 0xB1, 0x1B, 0x56,
    0x6A, 0xB2, 0x3F, 0xBE, 0x87, 0x1C, 0x8F, 0x5E, 0xE7, 0x43, 0x93, 0x07, 0x10, 0xDA, 0x18, 0x4E,
    0x28, 0x75, 0xF8, 0xAD, 0xC2, 0x77, 0x9F, 0xCC, 0x6E, 0xD2, 0x7F, 0x63, 0xBA, 0x22, 0x1E, 0x64,
    0x3A, 0xF6, 0xBC, 0x5A, 0x9E, 0x1D, 0x62, 0x81, 0x2D, 0x6B, 0x20, 0x06, 0xAF, 0xCF, 0x60, 0x7C,
    0xD5, 0xB9, 0x37, 0x92, 0xE0, 0xA7, 0xEA, 0x33, 0xF1, 0x27, 0x74, 0x4B, 0x6C, 0x26, 0xC8, 0xA3,
    0x3E, 0xA9, 0xFD, 0x7D, 0x7A, 0x7E, 0x17, 0x53, 0x21, 0x6D, 0x25, 0xFF, 0x0B, 0x44, 0x5B, 0xEB,
    0xE3, 0xA8, 0x84, 0xA5, 0xD4, 0xB4, 0x16, 0xC3, 0xEC, 0x0E, 0x8D, 0xBF, 0xDE, 0x3D, 0x82, 0x79,
    0x2F, 0x9A, 0xA0, 0x40, 0x83, 0xFB, 0x47, 0x89, 0x96, 0x9C, 0x03, 0x1A, 0x65, 0xDB, 0x42, 0xD8,
    0x8A, 0x91, 0x54, 0x50, 0x04, 0x32, 0x8B, 0x8E, 0x46, 0xC0, 0x5D, 0x51, 0xFA, 0xC6, 0x5C, 0x4D,
    0x08, 0x5F, 0x55, 0x85, 0xB7, 0xE8, 0xD7, 0xA2, 0xC7, 0x48, 0x24, 0x02, 0xB5, 0x4C, 0x2E, 0xD3,
    0x73, 0x39, 0xF2, 0x34, 0x88, 0xBD, 0xEF, 0xC9, 0xD9, 0xF0, 0xAB, 0x95, 0x05, 0xC5, 0x0F, 0x80,
    0x71, 0x9D, 0xEE, 0xFC, 0x15, 0x35, 0x31, 0x29, 0x2C, 0x66, 0x70, 0xB0, 0x3C, 0xAA, 0x11, 0xC4,
    0xBB, 0x94, 0x30, 0x57, 0x19, 0x68, 0xDC, 0x0D, 0x9B, 0x4F, 0x78, 0x8C, 0xA6, 0x67, 0x0A, 0x12,
    0x14, 0x09, 0x97, 0xCD, 0x98, 0x7B, 0xD0, 0xF3, 0xF4, 0x99, 0x59, 0xD1, 0x90, 0xB6, 0xD6, 0x00,
};

void hashMix(uint8_t state[4], unsigned seed) {
  unsigned index = seed & 0xFF;
  for (int k = 0; k < 4; ++k) {
    uint8_t a = kHashTable[index];
    index = (index + a) & 0xFF;
    state[k] = static_cast<uint8_t>((a & 1) ? state[k] - a : state[k] + a);
  }
}

// One pattern element against one character. Sets out to the element's end.
bool matchElement(const char* p, unsigned char c, const char** end) {
  if (*p == '?') {
    *end = p + 1;
    return true;
  }
  if (*p == '\\') {
    // A backslash at the very end of the pattern stands for itself.
    if (p[1] == '\0') {
      *end = p + 1;
      return c == '\\';
    }
    *end = p + 2;
    return c == static_cast<unsigned char>(p[1]);
  }
  if (*p == '[') {
    const char* q = p + 1;
    bool negate = *q == '!';
    if (negate) ++q;
    bool matched = false;
    // A ']' right after the opening (or after '!') is a member, not the end.
    for (bool first = true;; first = false) {
      if (*q == '\0') {
        // No closing bracket: the '[' is an ordinary character.
        *end = p + 1;
        return c == '[';
      }
      if (*q == ']' && !first) {
        *end = q + 1;
        return matched != negate;
      }
      auto member = [&q]() {
        if (*q == '\\' && q[1] != '\0') ++q;
        return static_cast<unsigned char>(*q++);
      };
      unsigned char lo = member();
      unsigned char hi = lo;
      if (*q == '-' && q[1] != '\0' && q[1] != ']') {
        ++q;
        hi = member();
      }
      if (lo <= c && c <= hi) matched = true;
    }
  }
  *end = p + 1;
  return c == static_cast<unsigned char>(*p);
}

// Windows-1251 codes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
// 0x98 has no character.
constexpr char16_t kCp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

char32_t cp1251Char(unsigned char c) {
  if (c < 0x80) return c;
  if (c >= 0xC0) return 0x0410 + (c - 0xC0);
  return kCp1251High[c - 0x80];
}

// The Windows-1251 code of a character, or '?' when it has none.
char cp1251Code(char32_t u) {
  if (u < 0x80) return static_cast<char>(u);
  if (u >= 0x0410 && u <= 0x044F) return static_cast<char>(0xC0 + (u - 0x0410));
  for (int i = 0; i < 64; ++i)
    if (u != 0xFFFD && kCp1251High[i] == u) return static_cast<char>(0x80 + i);
  return '?';
}

void appendUtf8(std::string* out, char32_t u) {
  if (u < 0x80) {
    out->push_back(static_cast<char>(u));
  } else if (u < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (u >> 6)));
    out->push_back(static_cast<char>(0x80 | (u & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xE0 | (u >> 12)));
    out->push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (u & 0x3F)));
  }
}

// Decodes one UTF-8 character at text[*pos] and advances past it. An invalid
// or cut sequence yields U+FFFD and is skipped as far as it was well-formed
// (a lone bad byte, or a valid start followed by too few continuation bytes).
char32_t decodeUtf8(std::string_view text, size_t* pos) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char b0 = byte(*pos);
  ++*pos;
  if (b0 < 0x80) return b0;
  int more;
  char32_t u;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    more = 1;
    u = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    more = 2;
    u = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;  // no overlong forms
    if (b0 == 0xED) hi = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    more = 3;
    u = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0xFFFD;
  }
  for (int k = 0; k < more; ++k) {
    if (*pos >= text.size()) return 0xFFFD;
    unsigned char b = byte(*pos);
    if (b < lo || b > hi) return 0xFFFD;
    lo = 0x80;
    hi = 0xBF;
    u = (u << 6) | (b & 0x3F);
    ++*pos;
  }
  return u;
}

unsigned gNextArg = 0;

}  // namespace

char* strFormat(const char* format, ...) {
  static char buffer[4096];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

int strFormatN(char* buffer, size_t size, const char* format, ...) {
  if (size == 0) return 0;
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, size, format, args);
  va_end(args);
  buffer[size - 1] = '\0';
  if (n < 0) {
    buffer[0] = '\0';
    return 0;
  }
  return static_cast<size_t>(n) < size ? n : static_cast<int>(size - 1);
}

void strFormatNumbered(char* out, size_t size, const char* format, int n) {
  if (size == 0) return;
  size_t o = 0;
  auto put = [&](char c) {
    if (o + 1 < size) out[o++] = c;
  };
  const char* p = format ? format : "";
  while (*p) {
    if (*p != '%') {
      put(*p++);
      continue;
    }
    if (p[1] == '%') {
      put('%');
      p += 2;
      continue;
    }
    const char* q = p + 1;
    for (int i = 0; i < 5 && *q && std::strchr("-+ 0#", *q); ++i) ++q;
    for (int i = 0; i < 3 && isDigit(*q); ++i) ++q;
    if (*q == '.') {
      ++q;
      for (int i = 0; i < 3 && isDigit(*q); ++i) ++q;
    }
    if (*q && std::strchr("diuxXo", *q)) {
      char conversion[24];
      const size_t len = static_cast<size_t>(q - p) + 1;
      std::memcpy(conversion, p, len);
      conversion[len] = '\0';
      char number[64];
      if (*q == 'd' || *q == 'i')
        std::snprintf(number, sizeof number, conversion, n);
      else
        std::snprintf(number, sizeof number, conversion, static_cast<unsigned>(n));
      for (const char* c = number; *c; ++c) put(*c);
      p = q + 1;
    } else {
      put(*p++);
    }
  }
  out[o] = '\0';
}

char* strCopyN(char* destination, const char* source, size_t size) {
  if (size == 0) return destination;
  size_t n = 0;
  for (; n + 1 < size && source[n]; ++n) destination[n] = source[n];
  destination[n] = '\0';
  return destination;
}

char* strCatN(char* destination, const char* source, size_t size) {
  size_t used = strnlen(destination, size);
  if (size == 0 || used + 1 >= size) return destination;
  strCopyN(destination + used, source, size - used);
  return destination;
}

char* strTrim(char* text, const char* set, int flags) {
  if (flags & STR_TRIM_TRAILING) {
    size_t n = std::strlen(text);
    while (n > 0 && std::strchr(set, text[n - 1])) text[--n] = '\0';
  }
  if (flags & STR_TRIM_LEADING) {
    size_t skip = std::strspn(text, set);
    if (skip > 0) std::memmove(text, text + skip, std::strlen(text + skip) + 1);
  }
  return text;
}

namespace {

// strtok without hidden state: the next token of *cursor, or null.
char* nextToken(char** cursor, const char* delimiters) {
  char* p = *cursor + std::strspn(*cursor, delimiters);
  if (*p == '\0') {
    *cursor = p;
    return nullptr;
  }
  char* end = p + std::strcspn(p, delimiters);
  *cursor = end;
  if (*end) {
    *end = '\0';
    *cursor = end + 1;
  }
  return p;
}

int splitInto(char* text, const char* delimiters, char* exhausted, va_list args) {
  char* cursor = text;
  int count = 0;
  while (char** out = va_arg(args, char**)) {
    char* token = cursor ? nextToken(&cursor, delimiters) : nullptr;
    *out = token ? token : exhausted;
    ++count;
  }
  return count;
}

}  // namespace

int strSplit(char* text, const char* delimiters, ...) {
  va_list args;
  va_start(args, delimiters);
  int count = splitInto(text, delimiters, nullptr, args);
  va_end(args);
  return count;
}

int strSplitE(char* text, const char* delimiters, ...) {
  static char emptyText[1];
  // The text's own terminating NUL serves as the empty text where there is one.
  char* empty = text ? text + std::strlen(text) : emptyText;
  va_list args;
  va_start(args, delimiters);
  int count = splitInto(text, delimiters, empty, args);
  va_end(args);
  return count;
}

namespace {

enum class IndexMode { Exact, NoCase, Prefix };

int indexOf(const char* text, IndexMode mode, va_list args) {
  for (int i = 0; const char* candidate = va_arg(args, const char*); ++i) {
    if (!text) continue;
    bool hit = mode == IndexMode::Exact    ? std::strcmp(text, candidate) == 0
               : mode == IndexMode::NoCase ? equalNoCase(text, candidate)
                                           : std::strncmp(text, candidate, std::strlen(candidate)) == 0;
    if (hit) return i;
  }
  return -1;
}

}  // namespace

int strIndex(const char* text, ...) {
  va_list args;
  va_start(args, text);
  int index = indexOf(text, IndexMode::Exact, args);
  va_end(args);
  return index;
}

int strIndexI(const char* text, ...) {
  va_list args;
  va_start(args, text);
  int index = indexOf(text, IndexMode::NoCase, args);
  va_end(args);
  return index;
}

int strIndexP(const char* text, ...) {
  va_list args;
  va_start(args, text);
  int index = indexOf(text, IndexMode::Prefix, args);
  va_end(args);
  return index;
}

const char* strNextArg(const char* item0, ...) {
  va_list args;
  va_start(args, item0);
  const char* item = item0;
  for (unsigned i = 0;; ++i) {
    if (!item) {
      // The list ran out (here or in a shorter list than last time): start over.
      gNextArg = 0;
      break;
    }
    if (i == gNextArg) {
      ++gNextArg;
      break;
    }
    item = va_arg(args, const char*);
  }
  va_end(args);
  return item;
}

const long* strToLong(const char* text) {
  if (!text) return nullptr;
  NumberText w = numberWorkCopy(text);
  const char* p = w.text;
  bool negative = *p == '-';
  if (negative) ++p;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) return parseLong(p + 2, negative, 16);
  if (p[0] == '0' && p[1] != '\0') return parseLong(p + 1, negative, 8);
  return parseLong(p, negative, 10);
}

const double* strToDouble(const char* text) {
  static double result;
  if (!text) return nullptr;
  NumberText w = numberWorkCopy(text);
  const char* p = w.text;
  bool negative = *p == '-';
  if (negative) ++p;
  int points = 0, digits = 0;
  for (const char* q = p; *q; ++q) {
    if (*q == '.')
      ++points;
    else if (isDigit(*q))
      ++digits;
    else
      return nullptr;
  }
  if (points > 1 || digits == 0) return nullptr;
  // Plain digits with at most one point; from_chars ignores the C locale.
  const char* end = w.text + std::strlen(w.text);
  double value = 0;
  auto [stop, error] = std::from_chars(w.text, end, value, std::chars_format::fixed);
  if (error != std::errc() || stop != end) return nullptr;
  result = value;
  return &result;
}

double strHexDouble(const char* text) {
  uint32_t words[2] = {0, 0};
  const char* p = text ? text : "";
  for (int w = 0; w < 2; ++w) {
    while (isBlank(*p) || *p == '\n' || *p == '\r') ++p;
    for (int n = 0; n < 8 && digitValue(*p, 16) >= 0; ++n, ++p)
      words[w] = words[w] << 4 | static_cast<uint32_t>(digitValue(*p, 16));
    if (w == 0) {
      if (*p != ',') break;
      ++p;
    }
  }
  return std::bit_cast<double>(static_cast<uint64_t>(words[1]) << 32 | words[0]);
}

int32_t strHash(const char* text) {
  if (!text || !*text) return 0x7FFFFFFF;
  uint8_t state[4] = {0, 0, 0, 0};
  hashMix(state, 0);
  size_t n = std::strlen(text);
  // First, last, second, second-to-last, ...
  for (size_t k = 0; k < n; ++k) {
    size_t i = (k % 2 == 0) ? k / 2 : n - 1 - k / 2;
    hashMix(state, (static_cast<unsigned char>(text[i]) + k) & 0xFF);
  }
  uint32_t v = bytesGetBe<uint32_t>(state);
  // A negative value is negated; 0x80000000 has no positive twin and stays.
  if (v > 0x80000000u) v = 0u - v;
  return static_cast<int32_t>(v);
}

int32_t pfSectionId(const char* name) { return strHash(name); }

bool wildMatch(const char* text, const char* pattern) {
  if (!text || !pattern) return false;
  if ((pattern[0] == '*' || pattern[0] == '?') && text[0] == '.') return false;
  // Greedy matching that backtracks only to the last '*': every other element
  // takes exactly one character, so this is exact and runs in O(text * pattern).
  const char* t = text;
  const char* p = pattern;
  const char* starPattern = nullptr;
  const char* starText = nullptr;
  while (*t) {
    if (*p == '*') {
      while (*p == '*') ++p;
      starPattern = p;
      starText = t;
      continue;
    }
    const char* next;
    if (*p && matchElement(p, static_cast<unsigned char>(*t), &next)) {
      p = next;
      ++t;
    } else if (starPattern) {
      p = starPattern;
      t = ++starText;
    } else {
      return false;
    }
  }
  while (*p == '*') ++p;
  return *p == '\0';
}

std::string cp1251ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) appendUtf8(&out, cp1251Char(static_cast<unsigned char>(c)));
  return out;
}

std::string utf8ToCp1251(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) out.push_back(cp1251Code(decodeUtf8(text, &pos)));
  return out;
}

std::string utf8ToCp1251Strict(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    const char32_t u = decodeUtf8(text, &pos);
    const char c = cp1251Code(u);
    if (c != '?' || u == U'?') out.push_back(c);
  }
  return out;
}
