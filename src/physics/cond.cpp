// Condition expressions: a tokenizer that compiles the text into token codes
// and constants, and a recursive evaluator over the compiled form. The text
// comes from configuration files and is treated as untrusted: it is read in
// place without copying tokens, the tables are fixed, and the evaluator never
// reads past the token table, whatever it holds.
#include "physics/cond.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/log.h"

namespace {

constexpr std::string_view kDelimiters = " \t,";

// Leading white space that the number reader skips inside a token (blanks and
// tabs already separate tokens).
bool isNumberSpace(char c) { return c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++)
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  return true;
}

// Reads a decimal number at the start of the token the way a "%f" conversion
// does: optional white space and sign, digits with at most one point (at
// least one digit), an optional exponent; whatever follows is ignored, so
// "2.5x" reads as 2.5. The value is rounded once to single precision. False
// when the token does not begin with a number.
bool readNumber(std::string_view token, float* value) {
  size_t i = 0;
  while (i < token.size() && isNumberSpace(token[i])) i++;
  const size_t start = i;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) i++;
  size_t digits = 0;
  while (i < token.size() && isDigit(token[i])) i++, digits++;
  if (i < token.size() && token[i] == '.') {
    i++;
    while (i < token.size() && isDigit(token[i])) i++, digits++;
  }
  if (digits == 0) return false;
  if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
    size_t j = i + 1;
    if (j < token.size() && (token[j] == '+' || token[j] == '-')) j++;
    if (j < token.size() && isDigit(token[j])) {
      while (j < token.size() && isDigit(token[j])) j++;
      i = j;
    }
  }
  // Only the checked decimal form reaches strtof (no hexadecimal, infinity or
  // NaN spellings); out of range it gives +-HUGE_VALF or a value rounded
  // towards 0, the same in every build.
  const std::string number(token.substr(start, i - start));
  *value = std::strtof(number.c_str(), nullptr);
  return true;
}

struct Keyword {
  std::string_view text;
  int code;
};

constexpr Keyword kKeywords[] = {
    {">", OP_GT},
    {">=", OP_GE},
    {"<", OP_LT},
    {"<=", OP_LE},
    {"=", OP_EQUAL},
    {"&", OP_LOGIC_AND},
    {"|", OP_LOGIC_OR},
    {"trackpos", OP_TRACKPOS},
    {"trackvelo", OP_TRACKVELO},
};

// The token's code, or OP_END when it is no keyword.
int keywordCode(std::string_view token) {
  for (const Keyword& k : kKeywords)
    if (equalNoCase(token, k.text)) return k.code;
  return OP_END;
}

// Clears the condition, so that a failed parse leaves one that never holds.
int failParse(BCond* cond) {
  *cond = BCond{};
  return 0;
}

// ---- evaluation ----

struct Value {
  int type;       // TARG_BOOL or TARG_FLOAT
  double number;  // TARG_FLOAT
  bool truth;     // TARG_BOOL
};

struct Operator {
  const char* name;
  int argType;  // both operands have this type
  bool (*apply)(const Value& a, const Value& b);
};

bool applyGt(const Value& a, const Value& b) { return a.number > b.number; }
bool applyGe(const Value& a, const Value& b) { return a.number >= b.number; }
bool applyLt(const Value& a, const Value& b) { return a.number < b.number; }
bool applyLe(const Value& a, const Value& b) { return a.number <= b.number; }
bool applyEqual(const Value& a, const Value& b) { return a.number == b.number; }
bool applyAnd(const Value& a, const Value& b) { return a.truth && b.truth; }
bool applyOr(const Value& a, const Value& b) { return a.truth || b.truth; }

// Indexed by code - OP_GT.
constexpr Operator kOperators[] = {
    {"OP_GT", TARG_FLOAT, applyGt},       {"OP_GE", TARG_FLOAT, applyGe},
    {"OP_LT", TARG_FLOAT, applyLt},       {"OP_LE", TARG_FLOAT, applyLe},
    {"OP_EQUAL", TARG_FLOAT, applyEqual}, {"OP_LOGIC_AND", TARG_BOOL, applyAnd},
    {"OP_LOGIC_OR", TARG_BOOL, applyOr},
};
static_assert(sizeof kOperators / sizeof kOperators[0] == OP_LOGIC_OR - OP_GT + 1);
static_assert(OP_CONST_LAST - OP_CONST + 1 == BCOND_CONSTS);

const char* typeName(int type) { return type == TARG_BOOL ? "TARG_BOOL" : "TARG_FLOAT"; }

struct Cursor {
  const BCond* cond;
  const BCondBall* ball;  // null: the track values read as 0
  int pos;
};

// The code under the cursor; past the table the expression has ended.
int codeAt(const Cursor& c) {
  return c.pos >= 0 && c.pos < BCOND_TOKENS ? c.cond->tokens[c.pos] : OP_END;
}

bool isOperator(int code) { return code >= OP_GT && code <= OP_LOGIC_OR; }

bool operationResult(Cursor* c, Value* out);

// One operand at the cursor; the cursor moves past it. Nesting is bounded:
// every level consumes one of the 32 slots.
bool operand(Cursor* c, Value* out) {
  const int code = codeAt(*c);
  if (isOperator(code)) return operationResult(c, out);
  if (code >= OP_CONST && code <= OP_CONST_LAST) {
    *out = Value{TARG_FLOAT, c->cond->consts[code - OP_CONST], false};
  } else if (code == OP_TRACKPOS || code == OP_TRACKVELO) {
    double v = 0;
    if (c->ball) v = code == OP_TRACKPOS ? c->ball->trackpos : c->ball->trackvelo;
    *out = Value{TARG_FLOAT, v, false};
  } else {
    logError(0, "%s: incorrect operand type=%d at pos %d", "GET_OPERAND()", code, c->pos);
    return false;
  }
  c->pos++;
  return true;
}

// One operation at the cursor: the operator and both operands, always both.
bool operationResult(Cursor* c, Value* out) {
  const int at = c->pos;
  const int code = codeAt(*c);
  if (!isOperator(code)) {
    logError(0, "%s: syntax error at pos %d", "GET_OPERATION_RESULT()", at);
    return false;
  }
  const Operator& op = kOperators[code - OP_GT];
  c->pos++;
  Value args[2];
  if (!operand(c, &args[0]) || !operand(c, &args[1])) return false;
  for (int i = 0; i < 2; i++) {
    if (args[i].type != op.argType) {
      logError(0, "%s: at pos %d: argument %d of %s is not %s(%d), but %d",
               "GET_OPERATION_RESULT()", at, i + 1, op.name, typeName(op.argType), op.argType,
               args[i].type);
      return false;
    }
  }
  *out = Value{TARG_BOOL, 0, op.apply(args[0], args[1])};
  return true;
}

}  // namespace

int bcond_test(const BCond* cond, const BCondBall* ball) {
  if (!cond) return 0;
  Cursor c{cond, ball, 0};
  Value result{};
  if (!operationResult(&c, &result)) return 0;
  if (codeAt(c) != OP_END)
    return logError(0, "%s: параметров больше, чем должно быть at pos %d", "bcond_test()", c.pos);
  return ball ? (result.truth ? 1 : 0) : 1;
}

int BCOND_PARSE(BCond* cond, const char* text) {
  if (!cond) return 0;
  *cond = BCond{};
  if (!text) text = "";
  const std::string_view all(text);
  int count = 0;   // tokens stored
  int consts = 0;  // constant slots used
  size_t i = 0;
  while (true) {
    i = all.find_first_not_of(kDelimiters, i);
    if (i == std::string_view::npos) break;
    size_t end = all.find_first_of(kDelimiters, i);
    if (end == std::string_view::npos) end = all.size();
    const std::string_view token = all.substr(i, end - i);
    i = end;

    if (count >= BCOND_TOKENS - 1) {
      logError(0, "%s: не могу вставить элемент %d (max %d)", "BCOND_PARSE()", count, BCOND_TOKENS);
      return failParse(cond);
    }
    float number = 0;
    if (readNumber(token, &number)) {
      // At most 31 tokens, so a slot is always free.
      cond->consts[consts] = static_cast<double>(number);
      cond->tokens[count++] = OP_CONST + consts++;
      continue;
    }
    const int code = keywordCode(token);
    if (code == OP_END) {
      const int shown = static_cast<int>(std::min<size_t>(token.size(), 4096));
      logError(0, "%s: undefined operation or operand '%.*s'", "BCOND_PARSE()", shown,
               token.data());
      return failParse(cond);
    }
    cond->tokens[count++] = code;
  }
  cond->tokens[count] = OP_END;
  if (!bcond_test(cond, nullptr)) {
    logError(0, "%s: parsing condition '%s' error", "BCOND_PARSE()", text);
    return failParse(cond);
  }
  return 1;
}
