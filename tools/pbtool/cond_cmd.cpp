// pbtool cond: compiles a condition expression and, given a ball's track
// position and speed, tests it. Prints "parse\t1" or "parse\t0" and, with the
// two numbers, "test\t1" or "test\t0"; the condition's own error lines go to
// standard error. A text that does not parse is no condition at all, so its
// test is 0 without being evaluated. Exit 0 whenever the command ran.
#include <cstdio>

#include "core/log.h"
#include "core/text.h"
#include "physics/cond.h"

namespace {

constexpr const char* kUsage = "usage: pbtool cond TEXT [TRACKPOS TRACKVELO]";

// The number in text (plain decimal, optional minus and point) or false after
// a message.
bool readValue(const char* text, double* value) {
  const double* v = strToDouble(text);
  if (!v) return logError(0, "%s: '%s' is not a number", "pbtool cond", text) != 0;
  *value = *v;
  return true;
}

}  // namespace

int cmdCond(char** args) {
  int count = 0;
  while (args[count]) count++;
  if (count != 1 && count != 3) {
    std::fprintf(stderr, "%s\n", kUsage);
    return 1;
  }
  BCondBall ball{};
  if (count == 3 && (!readValue(args[1], &ball.trackpos) || !readValue(args[2], &ball.trackvelo))) {
    std::fprintf(stderr, "%s\n", kUsage);
    return 1;
  }
  BCond cond;
  const int parsed = BCOND_PARSE(&cond, args[0]);
  std::printf("parse\t%d\n", parsed);
  if (count == 3) std::printf("test\t%d\n", parsed ? bcond_test(&cond, &ball) : 0);
  return 0;
}
