#pragma once
// Session recording and playback (the "black box") and the user-event layer
// that passes the session's input through it.
//
// A recording is a little-endian file: the signature bytes 0xBB 0x02, then one
// tick record per frame that had entries:
//   4 bytes idle count  frames without entries that precede this record's frame
//   4 bytes length L    payload bytes
//   L bytes payload     entries: 4 bytes channel, 4 bytes data length n, n bytes
// Channel 0 holds one 36-byte input event record (gdevEventToBytes), channel 1
// the frame's game time as an 8-byte IEEE 754 double. Entries of one frame are
// collected in a 512-byte tick buffer and appended at the end of the frame,
// each record with its own open and close, so the file is complete up to the
// last finished frame.
//
// While a session is recorded, tmBeginFrame writes every frame's game time to
// channel 1; while one is played back, game time comes from channel 1 (the
// bridge to core/time.h is installed by the two start functions).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <vector>

#include "platform/gdev.h"

enum {
  BB_TICK_SIZE = 512,    // the tick buffer; a frame's entries fill at most 511 bytes
  BB_ENTRY_HEADER = 8,   // channel and length before each entry's data
  BB_RECORD_HEADER = 8,  // idle count and length before each payload
  BB_NAME_MAX = 255,     // longest recording file name
  BB_CHANNEL_EVENT = 0,  // one GDEV_EVENT_BYTES input event
  BB_CHANNEL_TIME = 1,   // the frame's tmTime, 8 bytes
  BB_TIME_BYTES = 8,
};
inline constexpr uint8_t BB_SIGNATURE[2] = {0xBB, 0x02};

// ---------------------------------------------------------------------------
// Black box
// ---------------------------------------------------------------------------

// Creates (or truncates) the file, writes the signature and remembers the
// name; recording on, playback off. 1, or 0 after "error creating file".
int bbStartRecording(const char* path);
// Opens a recording, checks its signature and reads its first tick record;
// playback on, recording off. 1 while playing, 0 after a message (no such
// file, bad signature, or a recording without a complete first record).
int bbStartPlayback(const char* path);
// The same over a recording held in memory (the bytes are copied).
int bbStartPlaybackMemory(std::span<const uint8_t> bytes);

int bbIsRecording();
int bbIsPlaying();

// Adds an entry to this frame's tick buffer: the length, or -1 when not
// recording, or -1 after the overflow message when fill + length + 8 would
// exceed 511 bytes (only that entry is dropped).
int bbWrite(int channel, const void* data, int length);
// bbWrite of the value's 8 little-endian bytes; 1 when written.
int bbWriteDouble(int channel, double value);

// Playback: 1 when this frame (idle count 0) holds an entry of the channel.
int bbHas(int channel);
// Copies min(size, entry length) bytes of this frame's first entry of the
// channel: the count, 0 on an idle frame or without such an entry, -1 when not
// playing back.
int bbRead(int channel, void* buffer, int size);
// The entry's 8 bytes as a double, or fallback when bbRead copied nothing.
double bbReadDouble(int channel, double fallback);

// End of every session frame. Recording: append the tick record when the
// buffer holds entries, else count an idle frame. Playback: use up one idle
// frame or read the next record; at the end of the file (or on a damaged
// record) playback stops and live game time continues from the replayed time.
void bbTick();
// Ends recording (appending a pending record) or playback.
void bbStop();
// Playback: advances tick by tick until the channel's double (read with
// fallback -1) equals value. 1 when found, 0 when playback ended first, 0
// after a message when not playing back.
int bbSeekDouble(int channel, double value);

// ---------------------------------------------------------------------------
// Reading recordings record by record (playback uses this; so do the tools).
// The file is untrusted: every length is checked against what remains.
// ---------------------------------------------------------------------------

struct BbFileCloser {
  void operator()(FILE* f) const {
    if (f) std::fclose(f);
  }
};

struct BbReader {
  std::unique_ptr<FILE, BbFileCloser> file;  // reading a file
  std::vector<uint8_t> bytes;                // or bytes in memory
  bool inMemory = false;
  size_t pos = 0;  // offset of the next unread byte, signature included
};

// Opens a recording and checks its signature. 1, or 0 after
// "%s: error opening file '%s'" or "%s: incorrect file signature" with who.
int bbReaderOpen(BbReader* reader, const char* path, const char* who);
int bbReaderOpenMemory(BbReader* reader, std::span<const uint8_t> bytes, const char* who);
void bbReaderClose(BbReader* reader);

struct BbTickRecord {
  int32_t idle;  // 0 .. INT32_MAX
  int length;    // 0 .. BB_TICK_SIZE
  uint8_t payload[BB_TICK_SIZE];
};

enum BbReadResult {
  BB_TICK_END = 0,         // no bytes left: the recording ends cleanly
  BB_TICK_READ = 1,        // a complete, consistent record
  BB_TICK_TRUNCATED = -1,  // the file ends inside a record (message written)
  BB_TICK_DAMAGED = -2,    // impossible counts or lengths (message written)
};
// Reads the next tick record. A record is damaged when its idle count is
// above INT32_MAX, its payload exceeds the tick buffer, an entry runs past
// the payload, or a channel-0 entry is not 36 bytes or a channel-1 entry not
// 8 bytes.
BbReadResult bbReadTick(BbReader* reader, BbTickRecord* out);

struct BbEntry {
  uint32_t channel;
  std::span<const uint8_t> data;
};
// The entry at *pos of a payload, advancing *pos; false at the end of the
// payload or when the entry would run past it.
bool bbNextEntry(std::span<const uint8_t> payload, int* pos, BbEntry* out);

// Little-endian doubles as the recordings store them.
double bbDecodeDouble(const uint8_t bytes[BB_TIME_BYTES]);
void bbEncodeDouble(double value, uint8_t bytes[BB_TIME_BYTES]);

// ---------------------------------------------------------------------------
// User-event layer
// ---------------------------------------------------------------------------

// A key-down or key-up event is a user event when a declaration matches it:
// all bits of the declaration's modifier mask are set in the event's
// modifiers and its code equals the event's character (DeclareKey) or scan
// code (DeclareScan). Mouse button and mouse move events are always user
// events; key repeats and all other events never are. 1, or 0 when memory ran
// out.
int userEventDeclareKey(int character, uint32_t modifiers);
int userEventDeclareScan(int scan, uint32_t modifiers);
// Forgets the declarations, the mouse button bits and the key maps.
void userEventReset();
int userEventIsUser(const GdevEvent* event);

// The frame's user event. Playback: this frame's recorded event, if any (live
// user events are left for the session to take off the queue and drop).
// Otherwise: the first queued event, looked at without taking it, after the
// mouse fix-up (a mouse event's modifiers become the current mouse button
// bits; any other event gets its two low modifier bits replaced by them);
// when it is a user event it is written on channel 0 while recording.
int userEventNext(GdevEvent* out);
// The first queued event (after the same fix-up) when it is not a user event;
// looked at, not taken, and never recorded.
int systemEventNext(GdevEvent* out);

// Key maps: 1 while a key is held, by scan code and by character. Key down
// and key repeat set them, key up clears them (the character that went down
// with the scan code is cleared too, even when shift changed in between).
void userEventClearKeys();
void userEventUpdateKeys(const GdevEvent* event);
int userEventScanHeld(int scan);
int userEventCharHeld(int character);
