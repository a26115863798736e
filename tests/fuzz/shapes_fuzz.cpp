// Feeds arbitrary bytes to the shape file reader as the table loader reads
// it: the offset table, then every record it names, from memory and through
// an open file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/log.h"
#include "physics/geometry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool quiet = (logPrint("STDERR 0"), true);
  (void)quiet;
  static std::string path = "/tmp/shapes_fuzz_" + std::to_string(getpid()) + ".dat";
  static struct Cleanup {
    ~Cleanup() { std::remove(path.c_str()); }
  } cleanup;
  std::span<const uint8_t> image(data, size);

  std::vector<uint32_t> offsets;
  if (shReadIndex(image, "fuzz", &offsets) == 0) {
    size_t count = offsets.size() < 64 ? offsets.size() : 64;
    for (size_t j = 0; j < count; j++) {
      Outline o;
      if (shParseRecord(&o, image, offsets[j]) == 0) {
        // Touch everything the board would read.
        double sum = o.xmin + o.ymax;
        for (int i = 0; i < o.n; i++) sum += o.vertices[i].x + o.edges[i].nx + o.edges[i].d;
        int x, y;
        shSectionOf(&o, &x, &y);
        (void)sum;
        shapeTmplBegin();
        shapeTmplAdd(&o);
        shFree(&o);
      }
    }
    shapeTmplFree();
  }
  // A record at the start of the bytes, through a file.
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  f = std::fopen(path.c_str(), "rb");
  if (!f) return 0;
  Outline o;
  if (SH_READ_ALT(&o, f) == 0) shFree(&o);
  std::fclose(f);
  return 0;
}
