// The .conf text reader over arbitrary bytes. Whatever parses must survive the
// trip through the binary twin unchanged, and the lookups and searches must
// walk the result safely.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/conf.h"
#include "core/log.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  logCommand("MUTE 1");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ConfSet set;
  confParseText(&set, {data, size}, "fuzz.conf");

  for (const ConfVar* v = set.first; v; v = v->next) {
    if (v->next && std::strcmp(v->name, v->next->name) > 0) std::abort();  // the list stays sorted
    if (conf_gettype(&set, v->name) < 0) std::abort();
  }
  // The last string value doubles as a wildcard pattern over the names.
  const char* pattern = "*";
  for (const ConfVar* v = set.first; v; v = v->next)
    if (v->type == CONF_STRING) pattern = v->value.s;
  for (const char* n = conf_findfirst(&set, pattern); n; n = conf_findnext(&set)) {
  }
  for (const char* s = conf_firstsection(&set, pattern); s; s = conf_nextsection(&set)) {
  }

  // The twin's encoding is canonical: writing what was read back gives the same bytes.
  std::vector<uint8_t> image, again;
  if (!confBuildBinary(&set, &image)) std::abort();
  ConfSet back;
  if (confParseBinary(&back, image, "fuzz.bcf") != 0) std::abort();
  if (!confBuildBinary(&back, &again) || again != image) std::abort();
  conf_free(&back);
  conf_free(&set);
  return 0;
}
