// Configuration sets: the text reader (.conf), the binary twin reader and
// writer (.bcf), and lookups over the sorted list of variables.
#include "core/conf.h"

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/bytes.h"
#include "core/log.h"
#include "core/text.h"

namespace {

constexpr int kNameMax = 63;           // section and variable names
constexpr int kStringMax = 2047;       // string values
constexpr size_t kLineBuffer = 2048;   // a text line as fgets would read it: 2047 characters
constexpr size_t kBinEntrySize = 16;   // type, name offset, 8 value bytes
constexpr size_t kBinHeaderSize = 4;   // the variable count

// Line classes from the text parser; failures are -1.
enum { LINE_NOTHING = 0, LINE_VARIABLE = 1, LINE_SECTION = 2 };

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// The whole file in memory; false when it can't be opened or read.
bool readWholeFile(const char* path, std::vector<uint8_t>* bytes) {
  FilePtr f(std::fopen(path, "rb"));
  if (!f) return false;
  bytes->clear();
  uint8_t chunk[16384];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) bytes->insert(bytes->end(), chunk, chunk + n);
  return !std::ferror(f.get());
}

bool canOpen(const char* path) { return FilePtr(std::fopen(path, "rb")) != nullptr; }

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isNameChar(char c) { return isLetter(c) || isDigit(c) || c == '_' || c == '#' || c == '+'; }
// After a value or a header only blanks and a comment may follow.
bool isLineEnd(char c) { return c == '\0' || c == '#' || c == ';'; }
const char* skipBlanks(const char* p) {
  while (isBlank(*p)) ++p;
  return p;
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool equalNoCase(const char* a, const char* b) {
  for (; *a && lowerAscii(*a) == lowerAscii(*b); ++a, ++b) {
  }
  return lowerAscii(*a) == lowerAscii(*b);
}

char* duplicate(const char* text) {
  size_t n = std::strlen(text) + 1;
  char* copy = static_cast<char*>(std::malloc(n));
  if (copy) std::memcpy(copy, text, n);
  return copy;
}

void freeValue(ConfVar* var) {
  if (var->type == CONF_STRING) std::free(var->value.s);
}

// ---- text reader ----------------------------------------------------------

// Numbering state of one file.
struct ParseState {
  int sectionCounter;
  int variableCounter;
  char section[kNameMax + 1];
};

// One parsed line: a section name, or a variable name with its value (a
// string value is owned here until it is handed to the set).
struct ParsedLine {
  char name[kNameMax + 16];  // room for the number that replaces a final '+' or '#'
  int32_t type;
  decltype(ConfVar::value) value;
};

// A final '+' first counts up; a final '+' or '#' is replaced by the count.
void applyNumbering(char* name, size_t size, int* counter) {
  size_t n = std::strlen(name);
  if (n == 0 || (name[n - 1] != '+' && name[n - 1] != '#')) return;
  if (name[n - 1] == '+') ++*counter;
  strFormatN(name + n - 1, size - (n - 1), "%d", *counter);
}

int parseSection(const char* p, int line, ParseState* state, ParsedLine* out) {
  if (*p == ']') return logError(-1, "%s, line %d: nothing between '[' and ']'", "PARSE_STRING()", line);
  if (isDigit(*p))
    return logError(-1, "%s, line %d: section name cannot start from a digit", "PARSE_STRING()", line);
  int length = 0;
  for (; *p != ']'; ++p) {
    if (*p == '\0' || isBlank(*p))
      return logError(-1, "%s, line %d: ']' expected after section name", "PARSE_STRING()", line);
    if (!isNameChar(*p))
      return logError(-1, "%s, line %d: invalid character '%c' in section name", "PARSE_STRING()", line,
                      *p);
    if (length == kNameMax)
      return logError(-1, "%s, line %d: section name must not exceed %d characters", "PARSE_STRING()",
                      line, kNameMax);
    out->name[length++] = *p;
  }
  out->name[length] = '\0';
  if (!isLineEnd(*skipBlanks(p + 1)))
    return logError(-1, "%s, line %d: extra characters after section name", "PARSE_STRING()", line);
  applyNumbering(out->name, sizeof out->name, &state->sectionCounter);
  return LINE_SECTION;
}

// The value after '='. A string value is allocated into out.
int parseValue(const char* p, int line, ParsedLine* out) {
  p = skipBlanks(p);
  if (*p == '\0') return logError(-1, "%s, line %d: empty value", "PARSE_STRING()", line);

  if (*p == '"') {
    const char* close = std::strchr(p + 1, '"');
    if (!close) return logError(-1, "%s, line %d: closing double quote expected", "PARSE_STRING()", line);
    size_t length = static_cast<size_t>(close - (p + 1));
    if (length > kStringMax)
      return logError(-1, "%s, line %d: string value length must not exceed %d characters",
                      "PARSE_STRING()", line, kStringMax);
    if (!isLineEnd(*skipBlanks(close + 1)))
      return logError(-1, "%s, line %d: extra characters after value", "PARSE_STRING()", line);
    char text[kStringMax + 1];
    std::memcpy(text, p + 1, length);
    text[length] = '\0';
    out->type = CONF_STRING;
    out->value.s = duplicate(text);
    if (!out->value.s)
      return logError(-1, "%s: not enough memory for string value '%s'", "PARSE_STRING()", text);
    return LINE_VARIABLE;
  }

  // A number: an optional minus (spaces, not tabs, may follow it), then all
  // characters up to the next blank.
  char number[kLineBuffer];
  size_t length = 0;
  if (*p == '-') {
    number[length++] = '-';
    while (*++p == ' ') {
    }
    if (*p == '\0')
      return logError(-1, "%s, line %d: numeric value expected after '-'", "PARSE_STRING()", line);
  }
  if (!isDigit(*p) && *p != '.')
    return logError(-1, "%s, line %d: invalid value format", "PARSE_STRING()", line);
  while (*p != '\0' && !isBlank(*p)) number[length++] = *p++;
  number[length] = '\0';
  if (!isLineEnd(*skipBlanks(p)))
    return logError(-1, "%s, line %d: extra characters after value", "PARSE_STRING()", line);
  // The parsers read at most 31 characters of the number.
  if (const long* integer = strToLong(number)) {
    out->type = CONF_INT;
    // Values beyond 32 bits keep their low 32 bits, as hexadecimal masks
    // such as 0xFFFFFFFF (-1) are meant.
    out->value.i = static_cast<int32_t>(*integer);
  } else if (const double* fraction = strToDouble(number)) {
    out->type = CONF_DOUBLE;
    out->value.d = *fraction;
  } else {
    return logError(-1, "%s, line %d: invalid numeric format '%s'", "PARSE_STRING()", line, number);
  }
  return LINE_VARIABLE;
}

int parseVariable(const char* p, int line, ParseState* state, ParsedLine* out) {
  if (isDigit(*p))
    return logError(-1, "%s, line %d: variable name cannot start from a digit", "PARSE_STRING()", line);
  int length = 0;
  // Blanks inside a name are skipped: "ball speed" is read as "ballspeed".
  for (; *p != '='; ++p) {
    if (*p == '\0')
      return logError(-1, "%s, line %d: '=' expected after variable name", "PARSE_STRING()", line);
    if (isBlank(*p)) continue;
    if (!isNameChar(*p))
      return logError(-1, "%s, line %d: invalid character '%c' in variable name", "PARSE_STRING()", line,
                      *p);
    if (length == kNameMax)
      return logError(-1, "%s, line %d: variable name must not exceed %d characters", "PARSE_STRING()",
                      line, kNameMax);
    out->name[length++] = *p;
  }
  out->name[length] = '\0';
  if (length == 0) return logError(-1, "%s, line %d: empty variable name", "PARSE_STRING()", line);
  // The number is taken even when the value then fails, so the lines after an
  // error keep their numbers.
  applyNumbering(out->name, sizeof out->name, &state->variableCounter);
  return parseValue(p + 1, line, out);
}

// Classifies and parses one line (without its line end).
int PARSE_STRING(const char* text, int line, ParseState* state, ParsedLine* out) {
  const char* p = skipBlanks(text);
  if (*p == '\0' || *p == '#' || *p == ';') return LINE_NOTHING;
  if (*p == '[') return parseSection(p + 1, line, state, out);
  return parseVariable(p, line, state, out);
}

ConfVar* CREATE_VAR(ConfSet* set, char* name, int32_t type, decltype(ConfVar::value) value) {
  if (ConfVar* existing = conf_find(set, name)) {
    // The last definition of a key wins; the first spelling of its name stays.
    std::free(name);
    freeValue(existing);
    existing->type = type;
    existing->value = value;
    return existing;
  }
  auto* var = static_cast<ConfVar*>(std::calloc(1, sizeof(ConfVar)));
  if (!var) {
    logError(0, "%s: not enough memory for '%s' descriptor (%d bytes)", "CREATE_VAR()", name,
             static_cast<int>(sizeof(ConfVar)));
    return nullptr;
  }
  var->name = name;
  var->type = type;
  var->value = value;
  ConfVar** link = &set->first;
  while (*link && std::strcmp((*link)->name, name) <= 0) link = &(*link)->next;
  var->next = *link;
  *link = var;
  return var;
}

// Hands a parsed variable to the set under its full key; false after a report.
bool addVariable(ConfSet* set, const char* section, ParsedLine* parsed) {
  size_t size = std::strlen(section) + 1 + std::strlen(parsed->name) + 1;
  char* name = static_cast<char*>(std::malloc(size));
  if (!name) {
    if (parsed->type == CONF_STRING) std::free(parsed->value.s);
    logError(0, "%s: error duplicating variable name '%s'", "CONF_READ()", parsed->name);
    return false;
  }
  if (section[0])
    strFormatN(name, size, "%s.%s", section, parsed->name);
  else
    strCopyN(name, parsed->name, size);
  if (!CREATE_VAR(set, name, parsed->type, parsed->value)) {
    logError(0, "%s: error creating variable '%s'", "CONF_READ()", name);
    std::free(name);
    if (parsed->type == CONF_STRING) std::free(parsed->value.s);
    return false;
  }
  return true;
}

// ---- binary twin ----------------------------------------------------------

// A text of the text area at offset: null with the reason when the offset
// lies outside the area or the text has no NUL before the end of the file.
const char* binaryText(std::span<const uint8_t> bytes, size_t textStart, uint32_t offset,
                       const char** problem) {
  if (offset < textStart || offset >= bytes.size()) {
    *problem = "lies outside the text area";
    return nullptr;
  }
  if (!std::memchr(bytes.data() + offset, 0, bytes.size() - offset)) {
    *problem = "has no terminating NUL";
    return nullptr;
  }
  return reinterpret_cast<const char*>(bytes.data() + offset);
}

int binaryDamaged(ConfSet* set, const char* name, const char* what) {
  conf_free(set);
  return logError(-1, "%s: damaged file '%s': %s", "CONF_BINREAD()", name, what);
}

}  // namespace

// ---- readers and writer -----------------------------------------------------

int confParseText(ConfSet* set, std::span<const uint8_t> bytes, const char* /*name*/) {
  *set = ConfSet{};
  ParseState state{};
  bool failed = false;
  int lineNumber = 0;
  char line[kLineBuffer];
  for (size_t pos = 0; pos < bytes.size();) {
    // As fgets: up to and including a line feed, at most 2047 bytes; a longer
    // line goes on as the next one. A NUL byte ends the line's text.
    size_t n = 0;
    while (n + 1 < sizeof line && pos < bytes.size()) {
      char c = static_cast<char>(bytes[pos++]);
      line[n++] = c;
      if (c == '\n') break;
    }
    line[n] = '\0';
    ++lineNumber;
    size_t length = std::strlen(line);
    while (length > 0 && (line[length - 1] == '\r' || line[length - 1] == '\n')) line[--length] = '\0';

    ParsedLine parsed;
    int kind = PARSE_STRING(line, lineNumber, &state, &parsed);
    if (kind < 0) {
      failed = true;  // report every error of the file in one run
    } else if (kind == LINE_SECTION) {
      strCopyN(state.section, parsed.name, sizeof state.section);
      state.variableCounter = 0;
    } else if (kind == LINE_VARIABLE) {
      if (!addVariable(set, state.section, &parsed)) failed = true;
    }
  }
  return failed ? -1 : 0;
}

int CONF_READ(ConfSet* set, const char* path) {
  *set = ConfSet{};
  std::vector<uint8_t> bytes;
  if (!path || !readWholeFile(path, &bytes))
    return logError(-1, "%s: couldn't open the input file '%s'", "CONF_READ()", path ? path : "");
  return confParseText(set, bytes, path);
}

int confParseBinary(ConfSet* set, std::span<const uint8_t> bytes, const char* name) {
  *set = ConfSet{};
  char what[128];
  ByteReader r = brOpen(bytes);
  uint32_t count = brLe<uint32_t>(&r);
  if (!brOk(&r)) return binaryDamaged(set, name, "no variable count");
  if (count > brRemaining(&r) / kBinEntrySize) {
    strFormatN(what, sizeof what, "%u variables don't fit in %zu bytes", count, bytes.size());
    return binaryDamaged(set, name, what);
  }
  const size_t textStart = kBinHeaderSize + kBinEntrySize * count;
  ConfVar** tail = &set->first;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t type = brLe<uint32_t>(&r);
    uint32_t nameOffset = brLe<uint32_t>(&r);
    // The value field: an int or a text offset in its low four bytes, or a double.
    uint64_t value = brLe<uint64_t>(&r);
    if (type > CONF_STRING) {
      strFormatN(what, sizeof what, "variable %u has unknown type %u", i, type);
      return binaryDamaged(set, name, what);
    }
    const char* problem = nullptr;
    const char* varName = binaryText(bytes, textStart, nameOffset, &problem);
    if (!varName) {
      strFormatN(what, sizeof what, "name of variable %u %s", i, problem);
      return binaryDamaged(set, name, what);
    }
    const char* text = nullptr;
    if (type == CONF_STRING &&
        !(text = binaryText(bytes, textStart, static_cast<uint32_t>(value), &problem))) {
      strFormatN(what, sizeof what, "string value of variable %u %s", i, problem);
      return binaryDamaged(set, name, what);
    }

    auto* var = static_cast<ConfVar*>(std::calloc(1, sizeof(ConfVar)));
    if (var) {
      *tail = var;  // linked at once so that conf_free reaches it
      tail = &var->next;
      var->type = CONF_INT;  // owns no string until the copy below succeeds
      var->name = duplicate(varName);
    }
    if (!var || !var->name || (text && !(var->value.s = duplicate(text)))) {
      conf_free(set);
      return logError(-1, "%s: not enough memory for variable '%s'", "CONF_BINREAD()", varName);
    }
    var->type = static_cast<int32_t>(type);
    if (type == CONF_INT)
      var->value.i = static_cast<int32_t>(static_cast<uint32_t>(value));
    else if (type == CONF_DOUBLE)
      var->value.d = std::bit_cast<double>(value);
  }
  return 0;
}

int CONF_BINREAD(ConfSet* set, const char* path) {
  *set = ConfSet{};
  std::vector<uint8_t> bytes;
  if (!path || !readWholeFile(path, &bytes))
    return logError(-1, "%s: can't open file '%s'", "CONF_BINREAD()", path ? path : "");
  return confParseBinary(set, bytes, path);
}

bool confBuildBinary(const ConfSet* set, std::vector<uint8_t>* image) {
  size_t count = 0, textSize = 0;
  for (const ConfVar* v = set->first; v; v = v->next) {
    ++count;
    textSize += std::strlen(v->name) + 1;
    if (v->type == CONF_STRING) textSize += std::strlen(v->value.s) + 1;
  }
  size_t textStart = kBinHeaderSize + kBinEntrySize * count;
  // Offsets are 32 bits wide.
  if (textStart + textSize > UINT32_MAX) return false;
  image->clear();
  image->reserve(textStart + textSize);
  bwLe<uint32_t>(image, static_cast<uint32_t>(count));
  // The entries, each naming where its texts will lie; then the texts in
  // the same order.
  size_t text = textStart;
  auto textAt = [&](const char* s) {
    size_t at = text;
    text += std::strlen(s) + 1;
    return static_cast<uint32_t>(at);
  };
  for (const ConfVar* v = set->first; v; v = v->next) {
    bwLe<int32_t>(image, v->type);
    bwLe<uint32_t>(image, textAt(v->name));
    if (v->type == CONF_INT) {
      bwLe<int32_t>(image, v->value.i);
      bwLe<uint32_t>(image, 0);
    } else if (v->type == CONF_DOUBLE) {
      bwF64le(image, v->value.d);
    } else {
      bwLe<uint32_t>(image, textAt(v->value.s));
      bwLe<uint32_t>(image, 0);
    }
  }
  for (const ConfVar* v = set->first; v; v = v->next) {
    bwBytes(image, v->name, std::strlen(v->name) + 1);
    if (v->type == CONF_STRING) bwBytes(image, v->value.s, std::strlen(v->value.s) + 1);
  }
  return true;
}

int CONF_BINWRITE(ConfSet* set, const char* path) {
  FilePtr f(path ? std::fopen(path, "wb") : nullptr);
  if (!f) return logError(-1, "%s: can't open to write file \"%s\"", "CONF_BINWRITE()", path ? path : "");
  std::vector<uint8_t> image;
  if (!confBuildBinary(set, &image))
    return logError(-1, "%s: configuration too large for file \"%s\"", "CONF_BINWRITE()", path);
  bool written = std::fwrite(image.data(), 1, image.size(), f.get()) == image.size();
  if (std::fclose(f.release()) != 0) written = false;
  if (!written) return logError(-1, "%s: error writing file \"%s\"", "CONF_BINWRITE()", path);
  return 0;
}

int conf_anyread(ConfSet* set, const char* caller, const char* textPath, const char* binPath,
                 int writeBinary) {
  *set = ConfSet{};
  bool report = caller && caller[0];
  if (textPath && canOpen(textPath)) {
    if (CONF_READ(set, textPath) < 0) {
      if (report) logError(0, "%s: error reading configuration from '%s'", caller, textPath);
      return -1;
    }
    if (writeBinary && binPath) CONF_BINWRITE(set, binPath);
    return 0;
  }
  if (binPath && canOpen(binPath)) {
    if (CONF_BINREAD(set, binPath) < 0) {
      if (report) logError(0, "%s: error reading configuration from '%s'", caller, binPath);
      return -1;
    }
    return 0;
  }
  if (report)
    logError(0, "%s: configuration file '%s' or '%s' not found", caller, textPath ? textPath : "",
             binPath ? binPath : "");
  return -1;
}

void conf_free(ConfSet* set) {
  for (ConfVar* v = set->first; v;) {
    ConfVar* next = v->next;
    freeValue(v);
    std::free(v->name);
    std::free(v);
    v = next;
  }
  *set = ConfSet{};
}

ConfVar* conf_find(ConfSet* set, const char* key) {
  if (!set || !key) return nullptr;
  for (ConfVar* v = set->first; v; v = v->next)
    if (equalNoCase(v->name, key)) return v;
  return nullptr;
}

int conf_gettype(ConfSet* set, const char* key) {
  const ConfVar* v = conf_find(set, key);
  return v ? v->type : -1;
}

int32_t conf_getint(ConfSet* set, const char* key, int32_t defaultValue) {
  const ConfVar* v = conf_find(set, key);
  return v && v->type == CONF_INT ? v->value.i : defaultValue;
}

double conf_getdouble(ConfSet* set, const char* key, double defaultValue) {
  const ConfVar* v = conf_find(set, key);
  return v && v->type == CONF_DOUBLE ? v->value.d : defaultValue;
}

const char* conf_getstr(ConfSet* set, const char* key, const char* defaultValue) {
  const ConfVar* v = conf_find(set, key);
  return v && v->type == CONF_STRING ? v->value.s : defaultValue;
}

int32_t conf_getintf(ConfSet* set, const char* format, int32_t defaultValue, int n) {
  char key[128];
  strFormatN(key, sizeof key, format, n);
  return conf_getint(set, key, defaultValue);
}

double conf_getdoublef(ConfSet* set, const char* format, double defaultValue, int n) {
  char key[128];
  strFormatN(key, sizeof key, format, n);
  return conf_getdouble(set, key, defaultValue);
}

const char* conf_getstrf(ConfSet* set, const char* format, const char* defaultValue, int n) {
  char key[128];
  strFormatN(key, sizeof key, format, n);
  return conf_getstr(set, key, defaultValue);
}

namespace {

void startCursor(ConfCursor* cursor, const ConfSet* set, const char* pattern) {
  cursor->done = 0;
  strCopyN(cursor->pattern, pattern ? pattern : "*", sizeof cursor->pattern);
  cursor->current = set->first;
}

}  // namespace

const char* conf_findfirst(ConfSet* set, const char* pattern) {
  startCursor(&set->vars, set, pattern);
  return conf_findnext(set);
}

const char* conf_findnext(ConfSet* set) {
  ConfCursor* cursor = &set->vars;
  if (cursor->done) return nullptr;
  while (ConfVar* v = cursor->current) {
    cursor->current = v->next;
    if (wildMatch(v->name, cursor->pattern)) return v->name;
  }
  cursor->done = 1;
  return nullptr;
}

const char* conf_firstsection(ConfSet* set, const char* pattern) {
  startCursor(&set->sections, set, pattern);
  return conf_nextsection(set);
}

const char* conf_nextsection(ConfSet* set) {
  static char section[64];
  ConfCursor* cursor = &set->sections;
  if (cursor->done) return nullptr;
  while (ConfVar* v = cursor->current) {
    cursor->current = v->next;
    const char* dot = std::strchr(v->name, '.');
    if (!dot) continue;  // a variable before any header has no section
    size_t length = static_cast<size_t>(dot - v->name);
    // A section is reported once, at its last variable.
    const ConfVar* next = v->next;
    if (next && std::strncmp(next->name, v->name, length) == 0 && next->name[length] == '.') continue;
    strCopyN(section, v->name, length + 1 < sizeof section ? length + 1 : sizeof section);
    if (wildMatch(section, cursor->pattern)) return section;
  }
  cursor->done = 1;
  return nullptr;
}
