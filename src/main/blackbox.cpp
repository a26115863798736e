#include "main/blackbox.h"

#include <climits>
#include <cstring>

#include "core/bytes.h"
#include "core/log.h"
#include "core/mem.h"
#include "core/text.h"
#include "core/time.h"

namespace {

struct BlackBox {
  bool recording;
  bool playing;
  char name[BB_NAME_MAX + 1];  // recording: the file appended to
  int32_t idle;                // recording: idle frames so far; playback: left before the payload
  uint8_t tick[BB_TICK_SIZE];  // recording: this frame's entries; playback: the record's payload
  int fill;
  BbReader reader;  // playback
};

BlackBox gBox;

// ---------------------------------------------------------------------------
// The bridge that lets tmBeginFrame record and replay game time.
// ---------------------------------------------------------------------------

bool bridgePlaying() { return gBox.playing; }
bool bridgeRecording() { return gBox.recording; }
bool bridgeReadTime(double* t) {
  if (!bbHas(BB_CHANNEL_TIME)) return false;
  *t = bbReadDouble(BB_CHANNEL_TIME, *t);
  return true;
}
void bridgeWriteTime(double t) { bbWriteDouble(BB_CHANNEL_TIME, t); }

constexpr TmRecordBridge kTimeBridge = {bridgePlaying, bridgeRecording, bridgeReadTime,
                                        bridgeWriteTime};

// ---------------------------------------------------------------------------
// Recording
// ---------------------------------------------------------------------------

// Appends the tick record (idle count, fill, payload) with its own open and
// close, so that an abnormal end leaves every finished frame in the file.
bool appendRecord() {
  std::unique_ptr<FILE, BbFileCloser> f(std::fopen(gBox.name, "ab"));
  if (!f) return false;
  uint8_t head[BB_RECORD_HEADER];
  bytesPutLe<int32_t>(head, gBox.idle);
  bytesPutLe<int32_t>(head + 4, gBox.fill);
  bool ok = std::fwrite(head, 1, sizeof head, f.get()) == sizeof head;
  if (ok && gBox.fill > 0)
    ok = std::fwrite(gBox.tick, 1, static_cast<size_t>(gBox.fill), f.get()) ==
         static_cast<size_t>(gBox.fill);
  return std::fclose(f.release()) == 0 && ok;
}

void endRecording(const char* who) {
  gBox.recording = false;
  gBox.fill = 0;
  gBox.idle = 0;
  logError(0, "%s: file write error, stopping recording", who);
}

// ---------------------------------------------------------------------------
// Playback
// ---------------------------------------------------------------------------

void closePlayback() {
  bbReaderClose(&gBox.reader);
  gBox.playing = false;
  gBox.idle = 0;
  gBox.fill = 0;
}

// Reads the next tick record into the tick buffer. At the end of the file, or
// when the record is cut short or damaged, playback stops and live game time
// carries on from the last replayed value.
void nextRecord(const char* who) {
  BbTickRecord record;
  BbReadResult r = bbReadTick(&gBox.reader, &record);
  if (r == BB_TICK_READ) {
    gBox.idle = record.idle;
    gBox.fill = record.length;
    std::memcpy(gBox.tick, record.payload, static_cast<size_t>(record.length));
    return;
  }
  closePlayback();
  if (r == BB_TICK_DAMAGED)
    logError(0, "%s: damaged tick record, stopping playback", who);
  else
    logPrint("%s: end of file, stopping playback", who);
  tmSetTime(tmTime);
}

// This frame's first entry of the channel, or false.
bool findEntry(int channel, BbEntry* out) {
  if (!gBox.playing || gBox.idle > 0) return false;
  std::span<const uint8_t> payload(gBox.tick, static_cast<size_t>(gBox.fill));
  int pos = 0;
  BbEntry e;
  while (bbNextEntry(payload, &pos, &e)) {
    if (e.channel == static_cast<uint32_t>(channel)) {
      *out = e;
      return true;
    }
  }
  return false;
}

int startPlayback(bool opened) {
  if (!opened) return 0;
  gBox.playing = true;
  gBox.recording = false;
  gBox.idle = 0;
  gBox.fill = 0;
  tmSetRecordBridge(&kTimeBridge);
  nextRecord("bbStartPlayback()");
  return gBox.playing ? 1 : 0;
}

// Reads up to n bytes from the file or the memory image.
size_t readBytes(BbReader* reader, uint8_t* out, size_t n) {
  size_t got = 0;
  if (reader->inMemory) {
    size_t left = reader->pos < reader->bytes.size() ? reader->bytes.size() - reader->pos : 0;
    got = n < left ? n : left;
    if (got) std::memcpy(out, reader->bytes.data() + reader->pos, got);
  } else if (reader->file) {
    got = std::fread(out, 1, n, reader->file.get());
  }
  reader->pos += got;
  return got;
}

bool checkSignature(BbReader* reader, const char* who) {
  uint8_t sig[2];
  if (readBytes(reader, sig, 2) != 2 || sig[0] != BB_SIGNATURE[0] || sig[1] != BB_SIGNATURE[1]) {
    bbReaderClose(reader);
    logError(0, "%s: incorrect file signature", who);
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// User-event layer
// ---------------------------------------------------------------------------

struct Declaration {
  int byScan;  // code is a scan code (else a character)
  int code;
  uint32_t modifiers;  // all of these must be set in the event
};

struct UserEvents {
  Array declarations;  // of Declaration; data is null until the first one
  uint32_t mouseBits;  // modifiers of the last mouse event seen
  uint8_t scanHeld[256];
  uint8_t charHeld[256];
  uint8_t charOfScan[256];  // the character that went down with each scan code
};

UserEvents gUser;

int declare(int byScan, int code, uint32_t modifiers) {
  if (!gUser.declarations.data && arrInit(&gUser.declarations, sizeof(Declaration), 16, 16) < 0)
    return 0;
  Declaration d{byScan, code, modifiers};
  return arrAppend1(&gUser.declarations, &d) < 0 ? 0 : 1;
}

// The first queued event, looked at without taking it, with the mouse buttons
// of the last mouse event in its two low modifier bits.
bool peekFixed(GdevEvent* e) {
  if (!gdevPeekEvent(e, GDEV_EVT_EVERY)) return false;
  if (e->what & GDEV_EVT_MOUSEEVT)
    gUser.mouseBits = e->modifiers;
  else
    e->modifiers = (e->modifiers & ~3u) | (gUser.mouseBits & 3u);
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Black box
// ---------------------------------------------------------------------------

int bbStartRecording(const char* path) {
  bbStop();
  if (!path || std::strlen(path) > BB_NAME_MAX)
    return logError(0, "%s: error creating file '%s'", "bbStartRecording()", path ? path : "");
  std::unique_ptr<FILE, BbFileCloser> f(std::fopen(path, "wb"));
  bool ok = f && std::fwrite(BB_SIGNATURE, 1, 2, f.get()) == 2;
  if (f && std::fclose(f.release()) != 0) ok = false;
  if (!ok) return logError(0, "%s: error creating file '%s'", "bbStartRecording()", path);
  strCopyN(gBox.name, path, sizeof gBox.name);
  gBox.recording = true;
  gBox.playing = false;
  gBox.idle = 0;
  gBox.fill = 0;
  tmSetRecordBridge(&kTimeBridge);
  return 1;
}

int bbStartPlayback(const char* path) {
  bbStop();
  return startPlayback(bbReaderOpen(&gBox.reader, path, "bbStartPlayback()") != 0);
}

int bbStartPlaybackMemory(std::span<const uint8_t> bytes) {
  bbStop();
  return startPlayback(bbReaderOpenMemory(&gBox.reader, bytes, "bbStartPlayback()") != 0);
}

int bbIsRecording() { return gBox.recording ? 1 : 0; }

int bbIsPlaying() { return gBox.playing ? 1 : 0; }

int bbWrite(int channel, const void* data, int length) {
  if (!gBox.recording || length < 0 || (length > 0 && !data)) return -1;
  if (static_cast<int64_t>(gBox.fill) + length + BB_ENTRY_HEADER > BB_TICK_SIZE - 1)
    return logError(-1,
                    "%s: tickbuffer overflow (pos %d, size %d) trying to write key %d of length %d",
                    "bbWrite()", gBox.fill, BB_TICK_SIZE, channel, length);
  uint8_t* p = gBox.tick + gBox.fill;
  bytesPutLe<int32_t>(p, channel);
  bytesPutLe<int32_t>(p + 4, length);
  if (length > 0) std::memcpy(p + BB_ENTRY_HEADER, data, static_cast<size_t>(length));
  gBox.fill += BB_ENTRY_HEADER + length;
  return length;
}

int bbWriteDouble(int channel, double value) {
  uint8_t bytes[BB_TIME_BYTES];
  bbEncodeDouble(value, bytes);
  return bbWrite(channel, bytes, BB_TIME_BYTES) == BB_TIME_BYTES ? 1 : 0;
}

int bbHas(int channel) {
  BbEntry e;
  return findEntry(channel, &e) ? 1 : 0;
}

int bbRead(int channel, void* buffer, int size) {
  if (!gBox.playing) return -1;
  BbEntry e;
  if (!findEntry(channel, &e) || !buffer || size <= 0) return 0;
  size_t n = e.data.size() < static_cast<size_t>(size) ? e.data.size() : static_cast<size_t>(size);
  if (n) std::memcpy(buffer, e.data.data(), n);
  return static_cast<int>(n);
}

double bbReadDouble(int channel, double fallback) {
  uint8_t bytes[BB_TIME_BYTES] = {};
  if (bbRead(channel, bytes, BB_TIME_BYTES) <= 0) return fallback;
  return bbDecodeDouble(bytes);
}

void bbTick() {
  if (gBox.recording) {
    // An idle count that would overflow is flushed as a record without
    // entries: it replays as one more frame without entries.
    if (gBox.fill == 0 && gBox.idle < INT32_MAX) {
      ++gBox.idle;
      return;
    }
    if (!appendRecord()) {
      endRecording("bbTick()");
      return;
    }
    gBox.idle = 0;
    gBox.fill = 0;
  } else if (gBox.playing) {
    if (gBox.idle > 0)
      --gBox.idle;
    else
      nextRecord("bbTick()");
  }
}

void bbStop() {
  if (gBox.playing) closePlayback();
  if (gBox.recording) {
    if (gBox.fill > 0 && !appendRecord()) {
      endRecording("bbStop()");
      return;
    }
    gBox.recording = false;
    gBox.idle = 0;
    gBox.fill = 0;
  }
}

int bbSeekDouble(int channel, double value) {
  if (!gBox.playing) return logError(0, "%s: not in playback mode, aborting", "bbSeekDouble()");
  while (gBox.playing) {
    if (bbReadDouble(channel, -1) == value) return 1;
    // Idle frames hold no entries, so none of them can match: skipping them at
    // once is what ticking through them one by one would do.
    if (gBox.idle > 0)
      gBox.idle = 0;
    else
      bbTick();
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Reader
// ---------------------------------------------------------------------------

int bbReaderOpen(BbReader* reader, const char* path, const char* who) {
  bbReaderClose(reader);
  reader->file.reset(path ? std::fopen(path, "rb") : nullptr);
  if (!reader->file) return logError(0, "%s: error opening file '%s'", who, path ? path : "");
  return checkSignature(reader, who) ? 1 : 0;
}

int bbReaderOpenMemory(BbReader* reader, std::span<const uint8_t> bytes, const char* who) {
  bbReaderClose(reader);
  reader->bytes.assign(bytes.begin(), bytes.end());
  reader->inMemory = true;
  return checkSignature(reader, who) ? 1 : 0;
}

void bbReaderClose(BbReader* reader) {
  reader->file.reset();
  reader->bytes.clear();
  reader->bytes.shrink_to_fit();
  reader->inMemory = false;
  reader->pos = 0;
}

BbReadResult bbReadTick(BbReader* reader, BbTickRecord* out) {
  const char* const who = "bbReadTick()";
  const size_t at = reader->pos;
  uint8_t head[BB_RECORD_HEADER];
  size_t got = readBytes(reader, head, sizeof head);
  if (got == 0) return BB_TICK_END;
  if (got < sizeof head) {
    logError(0, "%s: truncated tick record at offset %zu: %zu of %d header bytes", who, at, got,
             BB_RECORD_HEADER);
    return BB_TICK_TRUNCATED;
  }
  ByteReader h = brOpen(head);
  const uint32_t idle = brLe<uint32_t>(&h);
  const uint32_t length = brLe<uint32_t>(&h);
  if (idle > static_cast<uint32_t>(INT32_MAX)) {
    logError(0, "%s: tick record at offset %zu: idle count %u out of range", who, at, idle);
    return BB_TICK_DAMAGED;
  }
  if (length > BB_TICK_SIZE) {
    logError(
        0, "%s: tick record at offset %zu: payload of %u bytes exceeds the tick buffer (%d bytes)",
        who, at, length, BB_TICK_SIZE);
    return BB_TICK_DAMAGED;
  }
  got = readBytes(reader, out->payload, length);
  if (got < length) {
    logError(0, "%s: truncated tick record at offset %zu: %zu of %u payload bytes", who, at, got,
             length);
    return BB_TICK_TRUNCATED;
  }

  // Every entry must lie inside the payload, and the two channels the engine
  // reads must hold exactly their record.
  std::span<const uint8_t> payload(out->payload, length);
  int pos = 0;
  while (static_cast<size_t>(pos) < length) {
    const int entryAt = pos;
    BbEntry e;
    if (!bbNextEntry(payload, &pos, &e)) {
      logError(0,
               "%s: tick record at offset %zu: entry at payload byte %d runs past the payload of "
               "%u bytes",
               who, at, entryAt, length);
      return BB_TICK_DAMAGED;
    }
    size_t want = e.data.size();
    if (e.channel == BB_CHANNEL_EVENT) want = GDEV_EVENT_BYTES;
    if (e.channel == BB_CHANNEL_TIME) want = BB_TIME_BYTES;
    if (e.data.size() != want) {
      logError(0, "%s: tick record at offset %zu: channel %u entry of %zu bytes, expected %zu", who,
               at, e.channel, e.data.size(), want);
      return BB_TICK_DAMAGED;
    }
  }
  out->idle = static_cast<int32_t>(idle);
  out->length = static_cast<int>(length);
  return BB_TICK_READ;
}

bool bbNextEntry(std::span<const uint8_t> payload, int* pos, BbEntry* out) {
  if (*pos < 0) return false;
  ByteReader r = brOpen(payload);
  brSeek(&r, static_cast<size_t>(*pos));
  const uint32_t channel = brLe<uint32_t>(&r);
  const uint32_t length = brLe<uint32_t>(&r);
  const std::span<const uint8_t> data = brSpan(&r, length);
  if (!brOk(&r)) return false;
  out->channel = channel;
  out->data = data;
  *pos = static_cast<int>(r.pos);
  return true;
}

double bbDecodeDouble(const uint8_t bytes[BB_TIME_BYTES]) { return bytesGetF64le(bytes); }

void bbEncodeDouble(double value, uint8_t bytes[BB_TIME_BYTES]) { bytesPutF64le(bytes, value); }

// ---------------------------------------------------------------------------
// User-event layer
// ---------------------------------------------------------------------------

int userEventDeclareKey(int character, uint32_t modifiers) {
  return declare(0, character, modifiers);
}

int userEventDeclareScan(int scan, uint32_t modifiers) { return declare(1, scan, modifiers); }

void userEventReset() {
  arrFree(&gUser.declarations);
  gUser = UserEvents{};
}

int userEventIsUser(const GdevEvent* event) {
  if (!event) return 0;
  if (event->what == GDEV_EVT_MOUSEDOWN || event->what == GDEV_EVT_MOUSEUP ||
      event->what == GDEV_EVT_MOUSEMOVE)
    return 1;
  if (event->what != GDEV_EVT_KEYDOWN && event->what != GDEV_EVT_KEYUP) return 0;
  const int scan = gdevEventScan(event);
  const int character = gdevEventChar(event);
  for (int i = 0; i < gUser.declarations.count; ++i) {
    const auto* d = static_cast<const Declaration*>(arrGet(&gUser.declarations, i));
    if ((event->modifiers & d->modifiers) != d->modifiers) continue;
    if (d->code == (d->byScan ? scan : character)) return 1;
  }
  return 0;
}

int userEventNext(GdevEvent* out) {
  if (gBox.playing) {
    // One recorded event per frame at most; live user events are not used.
    uint8_t bytes[GDEV_EVENT_BYTES] = {};
    if (bbRead(BB_CHANNEL_EVENT, bytes, GDEV_EVENT_BYTES) <= 0) return 0;
    if (out) *out = gdevEventFromBytes(bytes);
    return 1;
  }
  GdevEvent e;
  if (!peekFixed(&e) || !userEventIsUser(&e)) return 0;
  if (gBox.recording) {
    uint8_t bytes[GDEV_EVENT_BYTES];
    gdevEventToBytes(&e, bytes);
    bbWrite(BB_CHANNEL_EVENT, bytes, GDEV_EVENT_BYTES);
  }
  if (out) *out = e;
  return 1;
}

int systemEventNext(GdevEvent* out) {
  GdevEvent e;
  if (!peekFixed(&e) || userEventIsUser(&e)) return 0;
  if (out) *out = e;
  return 1;
}

void userEventClearKeys() {
  std::memset(gUser.scanHeld, 0, sizeof gUser.scanHeld);
  std::memset(gUser.charHeld, 0, sizeof gUser.charHeld);
  std::memset(gUser.charOfScan, 0, sizeof gUser.charOfScan);
}

void userEventUpdateKeys(const GdevEvent* event) {
  if (!event) return;
  const int scan = gdevEventScan(event);
  const int character = gdevEventChar(event);
  if (event->what == GDEV_EVT_KEYDOWN || event->what == GDEV_EVT_KEYREPEAT) {
    gUser.scanHeld[scan] = 1;
    if (character) gUser.charHeld[character] = 1;
    gUser.charOfScan[scan] = static_cast<uint8_t>(character);
  } else if (event->what == GDEV_EVT_KEYUP) {
    gUser.scanHeld[scan] = 0;
    gUser.charHeld[character] = 0;
    gUser.charHeld[gUser.charOfScan[scan]] = 0;
    gUser.charOfScan[scan] = 0;
  }
}

int userEventScanHeld(int scan) { return scan >= 0 && scan < 256 ? gUser.scanHeld[scan] : 0; }

int userEventCharHeld(int character) {
  return character > 0 && character < 256 ? gUser.charHeld[character] : 0;
}
