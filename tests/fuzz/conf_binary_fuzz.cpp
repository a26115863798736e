// The .bcf binary twin reader over arbitrary bytes: a damaged image fails and
// leaves the set empty; an accepted one is readable throughout and writes back
// to an image that reads the same.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/conf.h"
#include "core/log.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  logCommand("MUTE 1");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ConfSet set;
  if (confParseBinary(&set, {data, size}, "fuzz.bcf") != 0) {
    if (set.first) std::abort();
    return 0;
  }
  for (const ConfVar* v = set.first; v; v = v->next) conf_find(&set, v->name);
  for (const char* s = conf_firstsection(&set, "*"); s; s = conf_nextsection(&set)) {
  }

  std::vector<uint8_t> image, again;
  if (!confBuildBinary(&set, &image)) std::abort();
  ConfSet back;
  if (confParseBinary(&back, image, "fuzz.bcf") != 0) std::abort();
  if (!confBuildBinary(&back, &again) || again != image) std::abort();
  conf_free(&back);
  conf_free(&set);
  return 0;
}
