// Feeds arbitrary bytes to session playback and replays them as the table
// session would: each frame the game time from channel 1, the user event from
// channel 0 and a raw read of another channel, until playback ends; then a
// seek over the same bytes for the time held in their last 8 bytes.
#include <cstdint>
#include <cstring>
#include <span>

#include "core/log.h"
#include "core/time.h"
#include "main/blackbox.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool quiet = (logCommand("MUTE 1"), true);
  (void)quiet;
  std::span<const uint8_t> bytes(data, size);

  tmSetTime(0);
  tmSetRate(60, 0);
  if (bbStartPlaybackMemory(bytes)) {
    // Idle counts can be huge; a bounded number of frames covers every path.
    for (int frame = 0; frame < (1 << 12) && bbIsPlaying(); ++frame) {
      tmBeginFrame();
      GdevEvent e;
      userEventNext(&e);
      uint8_t raw[BB_TICK_SIZE];
      bbRead(2 + (frame & 7), raw, static_cast<int>(sizeof raw));
      bbHas(frame & 3);
      bbTick();
    }
  }

  if (size >= 2 + BB_TIME_BYTES && bbStartPlaybackMemory(bytes)) {
    uint8_t t[BB_TIME_BYTES];
    std::memcpy(t, data + size - BB_TIME_BYTES, BB_TIME_BYTES);
    bbSeekDouble(BB_CHANNEL_TIME, bbDecodeDouble(t));
  }
  bbStop();
  return 0;
}
