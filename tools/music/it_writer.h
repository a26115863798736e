#pragma once
// A writer of Impulse Tracker modules in sample mode (no instruments):
// header, order list, sample headers with uncompressed signed PCM, and
// packed patterns. The module is a plain record; itWrite turns it into the
// file's bytes.
#include <cstdint>
#include <string>
#include <vector>

enum {
  IT_MAX_CHANNELS = 64,
  IT_MAX_ORDERS = 255,     // 255 itself ends the order list
  IT_MAX_SAMPLES = 99,
  IT_MAX_PATTERNS = 200,
  IT_MAX_ROWS = 200,
  IT_NOTE_NONE = -1,
  IT_NOTE_CUT = 254,
  IT_NOTE_OFF = 255,
  IT_VOL_NONE = -1,
};

// Effect letters as the format numbers them (A = 1).
enum ItEffect : uint8_t {
  IT_FX_NONE = 0,
  IT_FX_SPEED = 1,         // Axx
  IT_FX_JUMP = 2,          // Bxx: jump to order xx
  IT_FX_BREAK = 3,         // Cxx: next order, row xx
  IT_FX_VOLSLIDE = 4,      // Dxy
  IT_FX_VIBRATO = 8,       // Hxy
  IT_FX_TEMPO = 20,        // Txx
};

struct ItSample {
  std::string name;           // up to 25 characters
  std::vector<int16_t> pcm;   // mono frames; stored as 8 bits when bits16 is false (the high byte)
  bool bits16 = false;
  bool loop = false;
  uint32_t loopStart = 0, loopEnd = 0;  // frames, end exclusive
  uint32_t c5speed = 8363;    // playback rate of note C-5
  uint8_t volume = 64;        // default volume 0..64
  uint8_t globalVolume = 64;  // 0..64
};

struct ItCell {
  int note = IT_NOTE_NONE;    // 0..119 (C-0 .. B-9), IT_NOTE_CUT, IT_NOTE_OFF or none
  int sample = 0;             // 1-based, 0 = none
  int volume = IT_VOL_NONE;   // 0..64 or none
  uint8_t effect = IT_FX_NONE;
  uint8_t param = 0;
};

struct ItPattern {
  int rows = 64;
  int channels = 0;
  std::vector<ItCell> cells;  // rows × channels, row-major
  ItCell& at(int row, int channel) { return cells[static_cast<size_t>(row * channels + channel)]; }
  const ItCell& at(int row, int channel) const {
    return cells[static_cast<size_t>(row * channels + channel)];
  }
};

ItPattern itPattern(int rows, int channels);

struct ItModule {
  std::string name;                 // up to 25 characters
  uint8_t speed = 6, tempo = 125;   // initial ticks per row and tempo
  uint8_t globalVolume = 128, mixVolume = 48;
  int channels = 1;                 // enabled channels (1..64)
  std::vector<int8_t> panning;      // per enabled channel, 0..64 (32 = centre); missing = centre
  std::vector<uint8_t> orders;      // pattern numbers
  std::vector<ItSample> samples;
  std::vector<ItPattern> patterns;
};

// The module's file image. False with *error set when the record breaks the
// format's limits (counts, notes, sample references, loop points).
bool itWrite(const ItModule& module, std::vector<uint8_t>* out, std::string* error);
