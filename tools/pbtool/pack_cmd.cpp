// pbtool pack commands.
#include <cstdio>
#include <string>

#include "gfx/pack.h"

// pack list FILE: "dh_len<TAB>N", then one line per directory record: index,
// type, id, offs, len. The listing is built first so that a failure prints
// nothing on standard output.
int cmdPackList(char** a) {
  int h = PF_OPEN(a[0], PF_MODE_READ, 0);
  if (h < 0) return 1;
  const PfRecord* records = nullptr;
  int count = pfDirectory(h, &records);
  std::string out;
  if (count >= 0) {
    char line[96];
    std::snprintf(line, sizeof line, "dh_len\t%d\n", count);
    out += line;
    for (int i = 0; i < count; ++i) {
      const PfRecord& r = records[i];
      std::snprintf(line, sizeof line, "%d\t%d\t%08X\t%d\t%d\n", i, r.type,
                    static_cast<unsigned>(r.id), r.offs, r.len);
      out += line;
    }
  }
  if (PF_CLOSE(h) < 0 || count < 0) return 1;
  std::fputs(out.c_str(), stdout);
  return 0;
}
