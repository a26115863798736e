// Fuzzes the pack directory reader and section reads: the input is a pack
// file, opened from memory and, through a scratch file, read through its file
// handle. Every section a select finds must read back exactly its length.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/log.h"
#include "scratch.h"
#include "gfx/pack.h"

namespace {


// Selects every section (the first 256 records: selecting is a linear search)
// and reads each to its end in uneven pieces.
void readAllSections(int h) {
  if (h < 0) return;
  const PfRecord* records = nullptr;
  int count = pfDirectory(h, &records);
  if (count < 1 || count > PF_MAX_RECORDS) std::abort();
  static unsigned char buf[4096];
  for (int i = 0; i < count && i < 256; ++i) {
    int32_t id = records[i].id;
    if (PF_SELECT(h, id) != 0) {
      if (records[i].type == PF_SECTION) std::abort();  // a section that can't be selected
      continue;
    }
    long len = PF_LENGTH(h);
    long total = 0;
    for (size_t piece = 1;; piece = piece * 3 + 1) {
      long got = PF_READ(h, buf, piece % (sizeof buf - 1) + 1);
      if (got <= 0) break;
      total += got;
    }
    if (total != len) std::abort();
  }
  if (PF_CLOSE(h) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  logCommand("STDERR 0");  // messages are formatted but not printed
  fuzzScratchCreate("pack_fuzz");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  readAllSections(PF_OPENMEM(data, size, "fuzz.gsp"));

  fuzzScratchWrite(data, size);
  pfSetImageLimit(0);
  readAllSections(PF_OPEN(fuzzScratchPath().c_str(), PF_MODE_READ, 0));
  pfSetImageLimit(PF_DEFAULT_IMAGE_LIMIT);
  return 0;
}
