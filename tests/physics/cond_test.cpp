// Condition expressions: the compiled form, number reading in single
// precision, every operator and track value against balls, grouping by
// prefix order, both operands always evaluated, the token limit, every error
// line of the parser and the evaluator, and an evaluator that stays inside
// its tables whatever the condition holds.
#include "physics/cond.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/log.h"
#include "support/testutil.h"

namespace {

class CondTest : public ::testing::Test {
 protected:
  void SetUp() override { logReset(); }
  void TearDown() override { logReset(); }
};

bool isCleared(const BCond& c) {
  for (int t : c.tokens)
    if (t != 0) return false;
  for (double d : c.consts)
    if (d != 0 || std::signbit(d)) return false;
  return true;
}

// Parses with the error lines captured.
struct Parsed {
  int ok;
  BCond cond;
  std::string err;
};
Parsed parse(const std::string& text) {
  Parsed p{};
  // Junk first: a parse must not depend on what the record held.
  for (int& t : p.cond.tokens) t = 77;
  StderrCapture cap;
  p.ok = BCOND_PARSE(&p.cond, text.c_str());
  p.err = cap.finish();
  return p;
}

TEST_F(CondTest, CompiledFormHoldsCodesAndConstants) {
  Parsed p = parse("& > trackvelo 2.5 < TRACKVELO 8");
  ASSERT_EQ(p.ok, 1) << p.err;
  EXPECT_EQ(p.err, "");
  const std::vector<int> want = {OP_LOGIC_AND, OP_GT,        OP_TRACKVELO, OP_CONST,
                                 OP_LT,        OP_TRACKVELO, OP_CONST + 1, OP_END};
  EXPECT_EQ(std::vector<int>(p.cond.tokens, p.cond.tokens + want.size()), want);
  EXPECT_EQ(p.cond.consts[0], 2.5);
  EXPECT_EQ(p.cond.consts[1], 8.0);
  EXPECT_EQ(p.cond.consts[2], 0.0);

  // Every keyword compiles to its code, whatever its case.
  Parsed q = parse("| | | & >= trackPos 1 <= 2 3 = 4 5 > 6 7 < 8 9");
  ASSERT_EQ(q.ok, 1) << q.err;
  const std::vector<int> codes = {
      OP_LOGIC_OR,  OP_LOGIC_OR,  OP_LOGIC_OR,  OP_LOGIC_AND, OP_GE,        OP_TRACKPOS,  OP_CONST,
      OP_LE,        OP_CONST + 1, OP_CONST + 2, OP_EQUAL,     OP_CONST + 3, OP_CONST + 4, OP_GT,
      OP_CONST + 5, OP_CONST + 6, OP_LT,        OP_CONST + 7, OP_CONST + 8, OP_END};
  EXPECT_EQ(std::vector<int>(q.cond.tokens, q.cond.tokens + codes.size()), codes);
  EXPECT_EQ(q.cond.consts[8], 9.0);
}

// The constant a number token compiles to, read the way "%f" reads it.
TEST_F(CondTest, NumbersAreReadInSinglePrecision) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* token;
    double value;
  } cases[] = {
      {"0.1", static_cast<double>(0.1f)},  // 0.100000001490116...
      {"+5", 5.0},
      {"-2.5", -2.5},
      {".5", 0.5},
      {"5.", 5.0},
      {"1e2", 100.0},
      {"1E-1", static_cast<double>(0.1f)},
      {"16777217", 16777216.0},  // 2^24 + 1 has no float
      // just above halfway between 1 and the next float: rounded once, upwards
      {"1.000000059604644775390625001", 1.00000011920928955078125},
      {"2.5x", 2.5},  // a number prefix is the number
      {"1e", 1.0},    // an exponent needs digits
      {"1e+", 1.0},
      {"0x10", 0.0},  // no hexadecimal
      {"\r7", 7.0},   // leading white space other than blank and tab
      {"1e39", inf},  // beyond the float range
      {"-1e39", -inf},
      {"1e-50", 0.0},
  };
  for (const Case& c : cases) {
    Parsed p = parse(std::string("= trackpos ") + c.token);
    ASSERT_EQ(p.ok, 1) << c.token << ": " << p.err;
    EXPECT_EQ(p.cond.consts[0], c.value) << c.token;
  }
  char shown[64];
  std::snprintf(shown, sizeof shown, "%.15g", parse("= 0.1 0").cond.consts[0]);
  EXPECT_STREQ(shown, "0.100000001490116");

  // What does not begin with a number is a keyword or nothing.
  for (const char* token : {".", "-", "+", "e5", "inf", "nan", "x1", "-.e1"}) {
    Parsed p = parse(std::string("= trackpos ") + token);
    EXPECT_EQ(p.ok, 0) << token;
    EXPECT_EQ(p.err,
              std::string("BCOND_PARSE(): undefined operation or operand '") + token + "'\n");
  }
}

TEST_F(CondTest, ConditionsAgainstBalls) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* text;
    double trackpos, trackvelo;
    int holds;
  } cases[] = {
      {"> trackvelo 5", 0, 6, 1},
      {"> trackvelo 5", 0, 5, 0},
      {">= trackvelo 5", 0, 5, 1},
      {">= trackvelo 5", 0, 4.5, 0},
      {"< trackpos 10", 9.5, 0, 1},
      {"< trackpos 10", 10, 0, 0},
      {"<= trackpos 10", 10, 0, 1},
      {"<= trackpos 10", 10.5, 0, 0},
      {"= trackpos 3", 3, 0, 1},
      {"= trackpos 3", 3.0000001, 0, 0},  // exact equality
      {"= trackpos 0.1", 0.1, 0, 0},      // the constant is the float nearest 0.1
      {"= trackpos 0.1", static_cast<double>(0.1f), 0, 1},
      {"= trackvelo -0", 0, 0, 1},
      {"< 2 trackvelo", 0, 3, 1},  // constants on either side
      {"< 2 trackvelo", 0, 1, 0},
      {"> trackpos trackvelo", 4, 3, 1},  // the two values are not mixed up
      {"> trackpos trackvelo", 3, 4, 0},
      {"> 2 1", 0, 0, 1},
      {"> 1 2", 0, 0, 0},
      {"> trackvelo 5", 0, nan, 0},
      {"<= trackvelo 5", 0, nan, 0},
      // a speed window
      {"& > trackvelo 2 < trackvelo 8", 0, 3, 1},
      {"& > trackvelo 2 < trackvelo 8", 0, 2, 0},
      {"& > trackvelo 2 < trackvelo 8", 0, 8, 0},
      {"| < trackvelo -1 > trackvelo 1", 0, -2, 1},
      {"| < trackvelo -1 > trackvelo 1", 0, 0, 0},
      {"| < trackvelo -1 > trackvelo 1", 0, 2, 1},
      // grouping follows the prefix order: (A & B) | C against A & (B | C)
      {"| & > trackpos 1 > trackvelo 1 < trackvelo 0", 0, -1, 1},
      {"& > trackpos 1 | > trackvelo 1 < trackvelo 0", 0, -1, 0},
      {"& > trackpos 1 | > trackvelo 1 < trackvelo 0", 2, -1, 1},
      // keywords ignore case; blanks, tabs and commas separate, in any number
      {"> TRACKVELO 5", 0, 6, 1},
      {"< TrackPos 5", 4, 0, 1},
      {">,trackvelo,,5", 0, 6, 1},
      {"\t> \t trackvelo 5 ,", 0, 6, 1},
  };
  for (const Case& c : cases) {
    Parsed p = parse(c.text);
    ASSERT_EQ(p.ok, 1) << c.text << ": " << p.err;
    BCondBall ball{c.trackpos, c.trackvelo};
    StderrCapture cap;
    EXPECT_EQ(bcond_test(&p.cond, &ball), c.holds)
        << c.text << " trackpos " << c.trackpos << " trackvelo " << c.trackvelo;
    EXPECT_EQ(cap.finish(), "") << c.text;
  }
}

TEST_F(CondTest, WithoutBallTestsOnlyTheForm) {
  Parsed p = parse("& > trackvelo 2 < trackpos 1");  // false for zeros, but well formed
  ASSERT_EQ(p.ok, 1);
  EXPECT_EQ(bcond_test(&p.cond, nullptr), 1);
  BCondBall zero{0, 0};
  EXPECT_EQ(bcond_test(&p.cond, &zero), 0);
  EXPECT_EQ(bcond_test(nullptr, &zero), 0);
  EXPECT_EQ(bcond_test(nullptr, nullptr), 0);
}

// Every parse failure: its lines, and a cleared condition that never holds.
TEST_F(CondTest, ParseErrors) {
  const std::string extra = "bcond_test(): параметров больше, чем должно быть at pos ";
  struct Case {
    const char* text;
    std::string lines;  // before the closing "parsing condition" line, if any
    bool closing;
  } cases[] = {
      {"", "GET_OPERATION_RESULT(): syntax error at pos 0\n", true},
      {" ,\t", "GET_OPERATION_RESULT(): syntax error at pos 0\n", true},
      {"5", "GET_OPERATION_RESULT(): syntax error at pos 0\n", true},
      {"trackvelo > 5", "GET_OPERATION_RESULT(): syntax error at pos 0\n", true},
      {"> trackvelo", "GET_OPERAND(): incorrect operand type=0 at pos 2\n", true},
      {"& > 1 2", "GET_OPERAND(): incorrect operand type=0 at pos 4\n", true},
      {"> 1 2 3", extra + "3\n", true},
      {"> trackvelo 5 &", extra + "3\n", true},
      {"& 1 2",
       "GET_OPERATION_RESULT(): at pos 0: argument 1 of OP_LOGIC_AND is not TARG_BOOL(1), but 2\n",
       true},
      {"| > 1 2 3",
       "GET_OPERATION_RESULT(): at pos 0: argument 2 of OP_LOGIC_OR is not TARG_BOOL(1), but 2\n",
       true},
      {"> > 1 2 3",
       "GET_OPERATION_RESULT(): at pos 0: argument 1 of OP_GT is not TARG_FLOAT(2), but 1\n", true},
      {">= 1 = 2 3",
       "GET_OPERATION_RESULT(): at pos 0: argument 2 of OP_GE is not TARG_FLOAT(2), but 1\n", true},
      {"<= < 1 2 3",
       "GET_OPERATION_RESULT(): at pos 0: argument 1 of OP_LE is not TARG_FLOAT(2), but 1\n", true},
      {"= <= 1 2 3",
       "GET_OPERATION_RESULT(): at pos 0: argument 1 of OP_EQUAL is not TARG_FLOAT(2), but 1\n",
       true},
      // the position is the failing operator's, also when nested
      {"& > 1 2 < 3 > 4 5",
       "GET_OPERATION_RESULT(): at pos 4: argument 2 of OP_LT is not TARG_FLOAT(2), but 1\n", true},
      // both operands are evaluated even when the left one decides the result
      {"| > 1 0 & 1 2",
       "GET_OPERATION_RESULT(): at pos 4: argument 1 of OP_LOGIC_AND is not TARG_BOOL(1), but 2\n",
       true},
      {"& > 0 1 > trackvelo", "GET_OPERAND(): incorrect operand type=0 at pos 6\n", true},
      {">= trackpos foo", "BCOND_PARSE(): undefined operation or operand 'foo'\n", false},
      {"<> 1 2", "BCOND_PARSE(): undefined operation or operand '<>'\n", false},
      {"&& > 1 2 > 3 4", "BCOND_PARSE(): undefined operation or operand '&&'\n", false},
      {"> track_velo 1", "BCOND_PARSE(): undefined operation or operand 'track_velo'\n", false},
  };
  for (const Case& c : cases) {
    Parsed p = parse(c.text);
    EXPECT_EQ(p.ok, 0) << c.text;
    std::string want = c.lines;
    if (c.closing) want += std::string("BCOND_PARSE(): parsing condition '") + c.text + "' error\n";
    EXPECT_EQ(p.err, want) << c.text;
    EXPECT_TRUE(isCleared(p.cond)) << c.text;

    BCondBall ball{1, 1};
    StderrCapture cap;
    EXPECT_EQ(bcond_test(&p.cond, &ball), 0) << c.text;
    EXPECT_EQ(cap.finish(), "GET_OPERATION_RESULT(): syntax error at pos 0\n");
  }
  // A null text is an empty one.
  BCond cond;
  StderrCapture cap;
  EXPECT_EQ(BCOND_PARSE(&cond, nullptr), 0);
  EXPECT_EQ(cap.finish(),
            "GET_OPERATION_RESULT(): syntax error at pos 0\n"
            "BCOND_PARSE(): parsing condition '' error\n");
}

// 31 tokens fit beside the terminating code; a 32nd is refused before it is
// even looked at.
TEST_F(CondTest, ThirtyOneTokensAtMost) {
  std::string text = "| | | | | | |";  // eight comparisons joined: 7 + 8 * 3 tokens
  for (int k = 1; k <= 8; k++) text += " = trackvelo " + std::to_string(k);
  Parsed p = parse(text);
  ASSERT_EQ(p.ok, 1) << p.err;
  EXPECT_EQ(p.cond.tokens[30], OP_CONST + 7);
  EXPECT_EQ(p.cond.tokens[31], OP_END);
  BCondBall eight{0, 8}, between{0, 7.5};
  EXPECT_EQ(bcond_test(&p.cond, &eight), 1);
  EXPECT_EQ(bcond_test(&p.cond, &between), 0);

  const std::string full = "BCOND_PARSE(): не могу вставить элемент 31 (max 32)\n";
  for (const char* more : {" 9", " zzz", " 9 9 9 9 9 9 9 9 9 9"}) {
    Parsed q = parse(text + more);
    EXPECT_EQ(q.ok, 0) << more;
    EXPECT_EQ(q.err, full) << more;
    EXPECT_TRUE(isCleared(q.cond));
  }
}

// Conditions made by hand, not by the parser: codes the parser never stores,
// the last constant slot, and a table without its terminating code.
TEST_F(CondTest, EvaluatorStaysInsideItsTables) {
  struct Case {
    std::vector<int> tokens;
    int holds;  // with trackpos 7
    std::string err;
  } cases[] = {
      {{OP_EQUAL, OP_CONST_LAST, OP_TRACKPOS}, 1, ""},
      {{OP_GT, 8, OP_TRACKPOS}, 0, "GET_OPERAND(): incorrect operand type=8 at pos 1\n"},
      {{OP_GT, OP_TRACKPOS, OP_CONST_LAST + 1},
       0,
       "GET_OPERAND(): incorrect operand type=43 at pos 2\n"},
      {{OP_GT, OP_TRACKPOS, -5}, 0, "GET_OPERAND(): incorrect operand type=-5 at pos 2\n"},
      {{8, OP_TRACKPOS, OP_TRACKPOS}, 0, "GET_OPERATION_RESULT(): syntax error at pos 0\n"},
      {{-1}, 0, "GET_OPERATION_RESULT(): syntax error at pos 0\n"},
      // operators in every slot: the expression runs off the table's end
      {std::vector<int>(BCOND_TOKENS, OP_LOGIC_AND), 0,
       "GET_OPERAND(): incorrect operand type=0 at pos 32\n"},
      // a full table of one valid expression and no terminator
      {[] {
         std::vector<int> t(BCOND_TOKENS - 1, OP_LOGIC_OR);
         t.resize(BCOND_TOKENS, OP_TRACKPOS);
         return t;
       }(),
       0, "GET_OPERAND(): incorrect operand type=0 at pos 32\n"},
  };
  for (const Case& c : cases) {
    BCond cond{};
    for (size_t i = 0; i < c.tokens.size(); i++) cond.tokens[i] = c.tokens[i];
    cond.consts[0] = 0.1;  // bytes that read as no valid code, should anything read past the tokens
    cond.consts[BCOND_CONSTS - 1] = 7;
    BCondBall ball{7, 0};
    StderrCapture cap;
    EXPECT_EQ(bcond_test(&cond, &ball), c.holds) << c.err;
    EXPECT_EQ(bcond_test(&cond, nullptr), c.holds) << c.err;
    EXPECT_EQ(cap.finish(), c.err + c.err);
  }

  // Evaluation errors with a ball count as false and leave their line.
  BCond cond{};
  cond.tokens[0] = OP_LOGIC_AND;
  cond.tokens[1] = OP_CONST;
  cond.tokens[2] = OP_CONST + 1;
  BCondBall ball{0, 0};
  StderrCapture cap;
  EXPECT_EQ(bcond_test(&cond, &ball), 0);
  EXPECT_EQ(cap.finish(),
            "GET_OPERATION_RESULT(): at pos 0: argument 1 of OP_LOGIC_AND is not TARG_BOOL(1), "
            "but 2\n");
}

}  // namespace
