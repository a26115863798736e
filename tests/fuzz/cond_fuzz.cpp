// Condition expressions over arbitrary bytes: the text is parsed and tested
// against a few balls, and the same bytes, taken as a compiled condition, are
// tested directly, so the evaluator meets token tables the parser would never
// make. A parsed condition must be well formed and hold its tokens in the
// table; a failed one must be cleared.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "core/log.h"
#include "physics/cond.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  logCommand("MUTE 1");
  return 0;
}

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const BCondBall kBalls[] = {
    {0, 0}, {1, 5}, {-3.5, -0.1}, {1e9, 2.5}, {kInf, -kInf}, {std::nan(""), 0.100000001490116},
};

void checkParsed(const BCond& cond) {
  if (bcond_test(&cond, nullptr) != 1) std::abort();
  int end = 0;
  while (end < BCOND_TOKENS && cond.tokens[end] != OP_END) end++;
  if (end >= BCOND_TOKENS) std::abort();  // 31 tokens at most, then the terminator
  int nextConst = OP_CONST;
  for (int i = 0; i < end; i++) {
    const int t = cond.tokens[i];
    if (t >= OP_CONST) {
      if (t != nextConst++) std::abort();  // constants take the slots in order
    } else if (t < OP_GT || t == 8 || t > OP_TRACKVELO) {
      std::abort();
    }
  }
  for (const BCondBall& b : kBalls) {
    const int r = bcond_test(&cond, &b);
    if (r != 0 && r != 1) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);  // cut at a NUL by the parser
  BCond cond;
  std::memset(&cond, 0xA5, sizeof cond);
  if (BCOND_PARSE(&cond, text.c_str())) {
    checkParsed(cond);
  } else {
    for (int t : cond.tokens)
      if (t != 0) std::abort();
    for (const BCondBall& b : kBalls)
      if (bcond_test(&cond, &b) != 0) std::abort();
  }

  BCond raw{};
  std::memcpy(&raw, data, size < sizeof raw ? size : sizeof raw);
  for (const BCondBall& b : kBalls) bcond_test(&raw, &b);
  bcond_test(&raw, nullptr);
  return 0;
}
