#pragma once
// Condition expressions of the table objects: small tests over how a ball
// rides its track, written in prefix notation in the object configuration,
// such as "& > trackvelo 2 < trackvelo 8" (a speed window). A condition is
// parsed once when its object is read (BCOND_PARSE) and tested against the
// ball each time the object is touched (bcond_test).
//
// Tokens are separated by blanks, tabs and commas. Operators take two
// operands each: comparisons (> >= < <= =) compare two numbers, & and |
// combine two comparison results; an operand is a nested operation, a number
// (read in single precision, so 0.1 is 0.100000001490116...), or one of the
// ball's track values "trackpos" and "trackvelo". Keywords ignore case.
//
// A condition holds at most 31 tokens. Both operands of every operator are
// always evaluated; there is no short cut for & and |.

enum {
  BCOND_TOKENS = 32,  // token codes, the terminating 0 included
  BCOND_CONSTS = 32,  // constant slots
};

// Token codes.
enum BCondToken {
  OP_END = 0,  // ends the expression
  OP_GT = 1,
  OP_GE = 2,
  OP_LT = 3,
  OP_LE = 4,
  OP_EQUAL = 5,  // exact equality of the two doubles
  OP_LOGIC_AND = 6,
  OP_LOGIC_OR = 7,
  OP_TRACKPOS = 9,
  OP_TRACKVELO = 10,
  OP_CONST = 11,       // OP_CONST + i: the constant in slot i
  OP_CONST_LAST = 42,  // OP_CONST + BCOND_CONSTS - 1
};

// Operand types, as the type check reports them.
enum BCondType {
  TARG_BOOL = 1,
  TARG_FLOAT = 2,
};

// A compiled condition: the expression in prefix order, ended by OP_END, and
// the numbers it names. All zero (as after a failed parse) is a condition
// that never holds.
struct BCond {
  int tokens[BCOND_TOKENS];
  double consts[BCOND_CONSTS];
};

// What a condition reads from a ball: its distance along its track and its
// speed along it.
struct BCondBall {
  double trackpos;
  double trackvelo;
};

// Compiles text (null counts as empty) into cond and checks that it is well
// formed. 1 on success; 0 after the error lines, with cond cleared to all
// zeros. Errors: "BCOND_PARSE(): не могу вставить элемент 31 (max 32)" for a
// 32nd token, "BCOND_PARSE(): undefined operation or operand '%s'", and for a
// malformed expression the evaluator's line followed by
// "BCOND_PARSE(): parsing condition '%s' error".
int BCOND_PARSE(BCond* cond, const char* text);

// With a ball: 1 when the condition holds for it, 0 when it does not or when
// evaluation fails. Without a ball (null): 1 when the expression is well
// formed (both track values read as 0), else 0. Failures write one line:
// "GET_OPERATION_RESULT(): syntax error at pos %d" (no operator where an
// operation starts), "GET_OPERAND(): incorrect operand type=%d at pos %d",
// "GET_OPERATION_RESULT(): at pos %d: argument %d of %s is not %s(%d), but %d"
// (pos is the operator's), "bcond_test(): параметров больше, чем должно быть
// at pos %d" (tokens left after the expression). Positions count tokens from
// 0. Token codes are read only within the 32 slots (past them the expression
// ends), so any contents of cond are safe to test. A null cond gives 0.
int bcond_test(const BCond* cond, const BCondBall* ball);
