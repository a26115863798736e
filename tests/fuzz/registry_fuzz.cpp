// Feeds arbitrary bytes to the key store's reader. An accepted key must write
// back as the same bytes, answer every lookup of its own values within their
// buffers, and stay accepted after one more value is set.
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/sys/registry.h"

namespace {
RegKey gKey, gBack;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RegError err{};
  if (!regParse(&gKey, data, size, &err)) {
    if (gKey.count != 0 || err.code != REG_ERR_DAMAGED) __builtin_trap();  // a failed read keeps nothing
    return 0;
  }
  std::string image = regImage(&gKey);
  if (image.size() != size || std::memcmp(image.data(), data, size) != 0) __builtin_trap();

  char text[REG_MAX_DATA + 1];
  for (int i = 0; i < gKey.count; i++) {
    const RegValue& v = gKey.values[i];
    size_t len = 0;
    uint32_t n = 0;
    int ok = v.type == REG_TYPE_SZ ? regGetSz(&gKey, v.name, text, sizeof text, &len, &err)
                                   : regGetDword(&gKey, v.name, &n, &err);
    if (!ok || (v.type == REG_TYPE_SZ && (len != v.size || std::memcmp(text, v.data, len) != 0)))
      __builtin_trap();
  }
  if (regSetDword(&gKey, "fuzz", 7, &err)) {
    image = regImage(&gKey);
    if (!regParse(&gBack, reinterpret_cast<const uint8_t*>(image.data()), image.size(), &err)) __builtin_trap();
  }
  return 0;
}
