// Feeds arbitrary text to the table description's reader and to the model
// built from it: whatever the bytes, both must end with a list of errors or a
// model, never with a crash, an endless loop or a runaway allocation.
#include <cstdint>
#include <string>
#include <vector>

#include "table/desc.h"
#include "table/model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<tbl::Block> blocks;
  tbl::Diag diag;
  tbl::parseText(text, "fuzz.tbl", &blocks, &diag);
  tbl::Model model;
  tbl::buildModel(blocks, &model, &diag);
  return 0;
}
