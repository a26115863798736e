#pragma once
// The table description: a set of line-oriented text files (table/*.tbl) that
// a person edits and diffs. docs/table-format.md describes the language.
//
// A line that starts in column 0 opens a block ("object duma_bumper0
// bumper"); the indented lines below it are its attributes ("circle 190 222
// 17", "set place 0"). A '#' that begins a line or stands alone ("# note")
// starts a comment outside double quotes; "#rrggbb" is a colour. The reader
// keeps blocks and attributes as token lists with their file and line; the
// model (model.h) gives them meaning.
#include <string>
#include <vector>

namespace tbl {

struct Loc {
  std::string file;
  int line = 0;
};

struct Token {
  std::string text;
  bool quoted = false;
};

struct Attr {
  Loc loc;
  std::string name;
  std::vector<Token> args;
};

struct Block {
  Loc loc;
  std::string kind;
  std::vector<Token> args;
  std::vector<Attr> attrs;
};

// Errors are collected, not thrown: every message names file and line.
struct Diag {
  std::vector<std::string> errors;
  void error(const Loc& loc, const char* format, ...) __attribute__((format(printf, 3, 4)));
  bool ok() const { return errors.empty(); }
};

// Parses one file's text into blocks (appended). name is used in messages.
void parseText(const std::string& text, const std::string& name, std::vector<Block>* blocks, Diag* diag);
// Reads every "*.tbl" of dir in byte order of the file names. False when the
// directory cannot be listed or holds no description.
bool readDescription(const std::string& dir, std::vector<Block>* blocks, Diag* diag);

// Number parsing with the whole token checked: plain decimals of at most a
// million in size.
bool toNumber(const Token& t, double* value);
bool toInt(const Token& t, int* value);

}  // namespace tbl
