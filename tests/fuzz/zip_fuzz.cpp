// Fuzzes zip members through the unified file layer: the input is a zip
// archive; every member (the first 16) is opened, read to its end in pieces,
// sought about, and opened once more as a pack.
#include <fcntl.h>
#include <minizip/unzip.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/log.h"
#include "scratch.h"
#include "gfx/pack.h"
#include "platform/sys/sys.h"
#include "gfx/zipfile.h"

namespace {


std::vector<std::string> memberNames(const char* path) {
  std::vector<std::string> names;
  unzFile zip = unzOpen(path);
  if (!zip) return names;
  for (int err = unzGoToFirstFile(zip); err == UNZ_OK && names.size() < 16;
       err = unzGoToNextFile(zip)) {
    char name[300];
    unz_file_info info;  // minizip's 32-bit form writes it without a null check
    if (unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
      break;
    names.push_back(name);
  }
  unzClose(zip);
  return names;
}

void readMember(const std::string& name) {
  int h = uniopen(name.c_str(), SYS_OPEN_READ);
  if (h < 0) return;
  if (h < ZF_HANDLE_BASE) std::abort();
  long len = unifilelength(h);
  if (len < 0 || len > ZF_MAX_MEMBER_SIZE) std::abort();
  static unsigned char buf[4096];
  long total = 0;
  for (size_t piece = 1;; piece = piece * 5 + 2) {
    long got = uniread(h, buf, piece % (sizeof buf - 1) + 1);
    if (got < 0) std::abort();
    if (got == 0) break;
    total += got;
  }
  if (total != len || unitell(h) != len) std::abort();
  if (unilseek(h, -10, SEEK_SET) != 0 || unilseek(h, 1, SEEK_END) != len) std::abort();
  if (unilseek(h, -(len / 2), SEEK_CUR) != len - len / 2) std::abort();
  if (uniclose(h) != 0) std::abort();

  int p = PF_OPEN(name.c_str(), PF_MODE_READ, 0);
  if (p < 0) return;
  const PfRecord* records = nullptr;
  int count = pfDirectory(p, &records);
  for (int i = 0; i < count && i < 64; ++i) {
    if (records[i].type != PF_SECTION || PF_SELECT(p, records[i].id) != 0) continue;
    while (PF_READ(p, buf, sizeof buf) > 0) {
    }
  }
  if (PF_CLOSE(p) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  logCommand("STDERR 0");  // messages are formatted but not printed
  fuzzScratchCreate("zip_fuzz");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zfReset();  // the scratch archive is new for every input
  fuzzScratchWrite(data, size);
  for (const std::string& member : memberNames(fuzzScratchPath().c_str())) readMember(fuzzScratchPath() + ":" + member);
  // Names the archive may not hold, and a name without a member.
  readMember(fuzzScratchPath() + ":/missing");
  readMember(fuzzScratchPath() + ":");
  zfReset();
  return 0;
}
