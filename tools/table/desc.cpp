// Reading the table description into blocks of tokens.
#include "table/desc.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tbl {

void Diag::error(const Loc& loc, const char* format, ...) {
  char text[512];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(text, sizeof text, format, ap);
  va_end(ap);
  errors.push_back(loc.file + ":" + std::to_string(loc.line) + ": " + text);
}

namespace {

// Splits one line into tokens; false on an unterminated quote.
bool tokenize(const std::string& line, std::vector<Token>* out) {
  size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      i++;
      continue;
    }
    // '#' opens a comment when it stands alone ("# ...") or begins the
    // line; "#rrggbb" is a colour.
    if (c == '#' && (out->empty() || i + 1 == line.size() || line[i + 1] == ' ' || line[i + 1] == '\t' ||
                     line[i + 1] == '\r'))
      break;
    Token t;
    if (c == '"') {
      const size_t close = line.find('"', i + 1);
      if (close == std::string::npos) return false;
      t.text = line.substr(i + 1, close - i - 1);
      t.quoted = true;
      i = close + 1;
    } else {
      size_t j = i;
      while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r' && line[j] != '"')
        j++;
      t.text = line.substr(i, j - i);
      i = j;
    }
    out->push_back(t);
  }
  return true;
}

}  // namespace

void parseText(const std::string& text, const std::string& name, std::vector<Block>* blocks, Diag* diag) {
  std::istringstream in(text);
  std::string line;
  int number = 0;
  bool inBlock = false;
  while (std::getline(in, line)) {
    number++;
    const Loc loc{name, number};
    std::vector<Token> tokens;
    if (!tokenize(line, &tokens)) {
      diag->error(loc, "closing double quote expected");
      continue;
    }
    if (tokens.empty()) continue;
    const bool indented = line[0] == ' ' || line[0] == '\t';
    if (!indented) {
      Block b;
      b.loc = loc;
      b.kind = tokens[0].text;
      b.args.assign(tokens.begin() + 1, tokens.end());
      blocks->push_back(b);
      inBlock = true;
      continue;
    }
    if (!inBlock) {
      diag->error(loc, "attribute '%s' outside a block", tokens[0].text.c_str());
      continue;
    }
    Attr a;
    a.loc = loc;
    a.name = tokens[0].text;
    a.args.assign(tokens.begin() + 1, tokens.end());
    blocks->back().attrs.push_back(a);
  }
}

bool readDescription(const std::string& dir, std::vector<Block>* blocks, Diag* diag) {
  DIR* d = opendir(dir.c_str());
  if (!d) {
    diag->error(Loc{dir, 0}, "can't list the description folder: %s", std::strerror(errno));
    return false;
  }
  std::vector<std::string> names;
  while (dirent* e = readdir(d)) {
    const std::string n = e->d_name;
    if (n.size() > 4 && n.compare(n.size() - 4, 4, ".tbl") == 0) names.push_back(n);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  if (names.empty()) {
    diag->error(Loc{dir, 0}, "no *.tbl files");
    return false;
  }
  for (const std::string& n : names) {
    std::ifstream f(dir + "/" + n, std::ios::binary);
    if (!f) {
      diag->error(Loc{n, 0}, "can't read the file");
      continue;
    }
    std::ostringstream ss;
    ss << f.rdbuf();
    parseText(ss.str(), n, blocks, diag);
  }
  return true;
}

bool toNumber(const Token& t, double* value) {
  if (t.quoted || t.text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(t.text.c_str(), &end);
  // No value of a table is anywhere near a million: larger ones are typos
  // (and would overflow the integer positions made from them).
  if (errno != 0 || *end != '\0' || !std::isfinite(v) || std::fabs(v) > 1e6) return false;
  // Only plain decimal numbers: no hex floats, no exponents, no inf/nan words.
  for (char c : t.text)
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+')) return false;
  *value = v;
  return true;
}

bool toInt(const Token& t, int* value) {
  double v;
  if (!toNumber(t, &v) || t.text.find('.') != std::string::npos) return false;
  if (v < -2147483647.0 || v > 2147483647.0) return false;
  *value = static_cast<int>(v);
  return true;
}

}  // namespace tbl
