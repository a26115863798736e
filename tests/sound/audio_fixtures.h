#pragma once
// Sound fixtures the tests build at run time: WAV file images and a small
// Impulse Tracker module written byte by byte.
#include <cstdint>
#include <string>
#include <vector>

#include "support/fixture_bytes.h"

namespace fixtures {

// A PCM WAV file. `values` are the raw interleaved sample values: 0..255 for
// 8 bits (unsigned), signed for 16 bits.
inline std::string wav(int rate, int channels, int bits, const std::vector<int>& values) {
  const uint32_t bytes = static_cast<uint32_t>(bits / 8);
  const uint32_t dataSize = static_cast<uint32_t>(values.size()) * bytes;
  std::string f(44, '\0');
  f.replace(0, 4, "RIFF");
  patchLe32(&f, 4, 36 + dataSize);
  f.replace(8, 8, "WAVEfmt ");
  patchLe32(&f, 16, 16);
  patchLe16(&f, 20, 1);  // PCM
  patchLe16(&f, 22, static_cast<uint32_t>(channels));
  patchLe32(&f, 24, static_cast<uint32_t>(rate));
  patchLe32(&f, 28, static_cast<uint32_t>(rate) * static_cast<uint32_t>(channels) * bytes);
  patchLe16(&f, 32, static_cast<uint32_t>(channels) * bytes);
  patchLe16(&f, 34, static_cast<uint32_t>(bits));
  f.replace(36, 4, "data");
  patchLe32(&f, 40, dataSize);
  for (int v : values) f += bytes == 2 ? le16(static_cast<uint16_t>(v)) : std::string(1, static_cast<char>(v));
  return f;
}

// Rows of the module's patterns, and its timing: speed 6, tempo 125 gives
// 6 ticks of 882 frames, 5292 frames a row at 44100 Hz.
constexpr int kItRows[2] = {32, 48};
constexpr int kItFramesPerRow = 5292;

// An Impulse Tracker module in sample mode: orders {0, 1, 0}, pattern 0 of 32
// rows and pattern 1 of 48, each striking C-5 with sample 1 on channel 1 in
// its first row; sample 1 is a looped 8-bit square wave of 64 points.
inline std::string itModule() {
  const std::vector<uint8_t> orders = {0, 1, 0, 255};  // 255 ends the list
  std::string f(0xC0, '\0');
  f.replace(0, 4, "IMPM");
  f.replace(4, 10, "fixture.it");
  patchLe16(&f, 0x20, static_cast<uint32_t>(orders.size()));
  patchLe16(&f, 0x22, 0);       // instruments
  patchLe16(&f, 0x24, 1);       // samples
  patchLe16(&f, 0x26, 2);       // patterns
  patchLe16(&f, 0x28, 0x0214);  // made with / compatible with format 2.14
  patchLe16(&f, 0x2A, 0x0214);
  patchLe16(&f, 0x2C, 0x0009);  // stereo, linear slides, sample mode
  f[0x30] = static_cast<char>(128);  // global volume
  f[0x31] = 48;                      // mix volume
  f[0x32] = 6;                       // speed
  f[0x33] = 125;                     // tempo
  f[0x34] = static_cast<char>(128);  // panning separation
  for (int c = 0; c < 64; ++c) {
    f[0x40 + c] = static_cast<char>(c == 0 ? 32 : 32 + 128);  // only channel 1 enabled, centred
    f[0x80 + c] = 64;
  }
  for (uint8_t o : orders) f.push_back(static_cast<char>(o));
  const size_t sampleTable = f.size();
  f.append(4, '\0');
  const size_t patternTable = f.size();
  f.append(8, '\0');

  const size_t header = f.size();
  patchLe32(&f, sampleTable, static_cast<uint32_t>(header));
  std::string h(80, '\0');
  h.replace(0, 4, "IMPS");
  h[0x11] = 64;       // global volume
  h[0x12] = 1 | 16;   // sample present, looped
  h[0x13] = 64;       // default volume
  h[0x2E] = 1;        // signed data
  h[0x2F] = 32;       // default panning
  patchLe32(&h, 0x30, 64);    // length
  patchLe32(&h, 0x34, 0);     // loop start
  patchLe32(&h, 0x38, 64);    // loop end
  patchLe32(&h, 0x3C, 8363);  // C-5 speed
  patchLe32(&h, 0x48, static_cast<uint32_t>(header + 80));
  f += h;
  for (int i = 0; i < 64; ++i) f.push_back(static_cast<char>(i < 32 ? 100 : -100));

  for (int p = 0; p < 2; ++p) {
    patchLe32(&f, patternTable + 4 * p, static_cast<uint32_t>(f.size()));
    // Row 0: channel 1 with a mask byte, note and sample; then one end-of-row
    // byte for every row.
    std::string data = {static_cast<char>(0x81), 3, 60, 1, 0};
    data.append(static_cast<size_t>(kItRows[p] - 1), '\0');
    std::string head(8, '\0');
    patchLe16(&head, 0, static_cast<uint32_t>(data.size()));
    patchLe16(&head, 2, static_cast<uint32_t>(kItRows[p]));
    f += head;
    f += data;
  }
  return f;
}

}  // namespace fixtures
