// pbtool rec dump and rec make: session recordings as text, and scripted
// recordings made from text for test inputs. The tool reads and writes
// recordings with exactly the game's own recorder.
#include <cerrno>
#include <cinttypes>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/time.h"
#include "main/blackbox.h"

namespace {

const char* const kDump = "pbtool rec dump";
const char* const kMake = "pbtool rec make";

// Scripts may not run longer than this (about 4.6 hours at 60 frames per
// second); every frame is appended with its own open and close.
constexpr long kMaxFrame = 1'000'000;

struct ScriptEvent {
  long frame;
  GdevEvent event;
};

// A whole decimal number within [low, high].
bool parseNumber(const std::string& text, long long low, long long high, long long* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < low || v > high) return false;
  *out = v;
  return true;
}

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == '\t' || line[i] == ' ' || line[i] == '\r')) ++i;
    size_t start = i;
    while (i < line.size() && line[i] != '\t' && line[i] != ' ' && line[i] != '\r') ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

bool knownType(long long type) {
  for (uint32_t t = GDEV_EVT_KEYDOWN; t <= GDEV_EVT_USER; t <<= 1) {
    if (type == t) return true;
  }
  return false;
}

// Reads the script from standard input. Lines: FRAME TYPE CHAR SCAN MODS, or
// END FRAME; blank lines and lines starting with '#' are skipped.
bool readScript(std::vector<ScriptEvent>* events, long* endFrame) {
  *endFrame = -1;
  std::string line;
  int number = 0;
  while (std::getline(std::cin, line)) {
    ++number;
    std::vector<std::string> f = fields(line);
    if (f.empty() || f[0][0] == '#') continue;
    long long v[5] = {};
    if (f[0] == "END") {
      if (f.size() != 2 || !parseNumber(f[1], 0, kMaxFrame, &v[0]))
        return logError(0, "%s: line %d: expected END FRAME with a frame from 0 to %ld", kMake,
                        number, kMaxFrame);
      if (*endFrame >= 0) return logError(0, "%s: line %d: a second END line", kMake, number);
      *endFrame = static_cast<long>(v[0]);
      continue;
    }
    static constexpr long long kHigh[5] = {kMaxFrame, GDEV_EVT_USER, 255, 255, UINT32_MAX};
    bool ok = f.size() == 5;
    for (size_t i = 0; ok && i < 5; ++i) ok = parseNumber(f[i], 0, kHigh[i], &v[i]);
    if (!ok)
      return logError(0,
                      "%s: line %d: expected FRAME TYPE CHAR SCAN MODS (frame 0 to %ld, char and "
                      "scan 0 to 255)",
                      kMake, number, kMaxFrame);
    if (!knownType(v[1]))
      return logError(0, "%s: line %d: event type %lld is not one of 1, 2, 4, 8, 16, 32, 64, 128",
                      kMake, number, v[1]);
    const long frame = static_cast<long>(v[0]);
    if (!events->empty() && frame <= events->back().frame)
      return logError(0,
                      "%s: line %d: frame %ld does not follow frame %ld (frames ascend, and a "
                      "replay delivers one user event per frame)",
                      kMake, number, frame, events->back().frame);
    GdevEvent e{};
    e.what = static_cast<uint32_t>(v[1]);
    e.message = static_cast<uint32_t>(v[2]) | static_cast<uint32_t>(v[3]) << 8;
    e.modifiers = static_cast<uint32_t>(v[4]);
    events->push_back(ScriptEvent{frame, e});
  }
  if (events->empty() && *endFrame < 0)
    return logError(0, "%s: nothing to record: no events and no END line", kMake);
  if (!events->empty() && *endFrame >= 0 && *endFrame < events->back().frame)
    return logError(0, "%s: END frame %ld comes before the event of frame %ld", kMake, *endFrame,
                    events->back().frame);
  return true;
}

}  // namespace

int cmdRecDump(char** a) {
  BbReader reader;
  if (!bbReaderOpen(&reader, a[0], kDump)) return 1;
  BbTickRecord record;
  uint64_t frame = 0;
  bool first = true;
  for (;;) {
    BbReadResult r = bbReadTick(&reader, &record);
    if (r == BB_TICK_END) return 0;
    if (r != BB_TICK_READ) {
      std::fflush(stdout);  // the records before the damage stay on standard output
      return logError(1, "%s: error reading '%s'", kDump, a[0]);
    }
    frame += (first ? 0 : 1) + static_cast<uint64_t>(record.idle);
    first = false;
    std::printf("%" PRIu64 "\t%d", frame, record.idle);
    std::span<const uint8_t> payload(record.payload, static_cast<size_t>(record.length));
    int pos = 0;
    BbEntry e;
    while (bbNextEntry(payload, &pos, &e)) {
      if (e.channel == BB_CHANNEL_TIME) {
        std::printf("\tt=%.17g", bbDecodeDouble(e.data.data()));
      } else if (e.channel == BB_CHANNEL_EVENT) {
        GdevEvent ev = gdevEventFromBytes(e.data.first<GDEV_EVENT_BYTES>());
        std::printf("\tev=%u:%d:%d:%u", ev.what, gdevEventChar(&ev), gdevEventScan(&ev),
                    ev.modifiers);
      } else {
        std::printf("\tch=%u:%zu", e.channel, e.data.size());
      }
    }
    std::putchar('\n');
  }
}

// Every frame from 0 to the last one carries its game time, frame * 1000 / 60
// ms (one nominal frame at 60 frames per second), and the frames named in the
// script carry their event (time stamp: the frame's time in whole ms). The
// last frame is the END line's frame, or else the frame after the last event,
// so that the key-up or click of the last line is followed by one more frame.
int cmdRecMake(char** a) {
  std::vector<ScriptEvent> events;
  long last = -1;
  if (!readScript(&events, &last)) return 1;
  if (last < 0) last = events.back().frame + 1;

  if (!bbStartRecording(a[0])) return logError(1, "%s: can't create '%s'", kMake, a[0]);
  size_t next = 0;
  for (long frame = 0; frame <= last; ++frame) {
    const double t = static_cast<double>(frame) * 1000.0 / 60.0;
    bbWriteDouble(BB_CHANNEL_TIME, t);
    if (next < events.size() && events[next].frame == frame) {
      GdevEvent e = events[next++].event;
      e.when = static_cast<uint32_t>(t);
      uint8_t bytes[GDEV_EVENT_BYTES];
      gdevEventToBytes(&e, bytes);
      bbWrite(BB_CHANNEL_EVENT, bytes, GDEV_EVENT_BYTES);
    }
    bbTick();
    if (!bbIsRecording()) return logError(1, "%s: can't write '%s'", kMake, a[0]);
  }
  bbStop();
  std::printf("frames\t%ld\tevents\t%zu\n", last + 1, events.size());
  return 0;
}
