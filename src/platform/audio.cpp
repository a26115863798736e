// The audio layer: the output device, the sample and module tables and the
// mixer that SDL's callback (or audioRender) runs.
#include "platform/audio.h"

#include <SDL.h>
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/audio_internal.h"

namespace {

constexpr int kChunk = 1024;   // frames mixed per pass
constexpr int kUnity = 10000;  // channel gain of full volume on a side

struct Voice {
  uint16_t serial;  // generation part of the channel handle, bumped by each play
  bool active;
  bool loop;
  uint32_t position;  // next frame to mix
  int volume;
  int panning;
  int32_t gainLeft;  // volume × side factor, kUnity = unchanged
  int32_t gainRight;
  uint64_t started;  // play sequence number: the smallest has played longest
};

struct SampleSlot {
  bool used;
  uint16_t serial;  // generation part of the sample handle
  int maxPlays;
  uint32_t frames;
  std::vector<int16_t> pcm;  // interleaved stereo at AUDIO_RATE
  Voice voices[AUDIO_MAX_PLAYS];
};

struct ModuleSlot {
  bool used;
  uint16_t serial;
  bool playing;
  openmpt_module* module;
};

struct Layer {
  bool open = false;
  AudioOutput output = AUDIO_OUTPUT_DEVICE;
  SDL_AudioDeviceID device = 0;
  int musicVolume = 100;
  uint64_t plays = 0;
  int error = AUDIO_OK;
  std::string detail;
};

Layer gLayer;
AudioOutput gNextOutput = AUDIO_OUTPUT_DEVICE;
SampleSlot gSamples[AUDIO_MAX_SAMPLES];
ModuleSlot gModules[AUDIO_MAX_MODULES];

// Holds the device's lock (so the callback is not mixing) for a scope; a
// no-op without a device.
class MixLock {
 public:
  MixLock() : device_(gLayer.device) {
    if (device_) SDL_LockAudioDevice(device_);
  }
  ~MixLock() {
    if (device_) SDL_UnlockAudioDevice(device_);
  }
  MixLock(const MixLock&) = delete;
  MixLock& operator=(const MixLock&) = delete;

 private:
  SDL_AudioDeviceID device_;
};

bool ok() {
  gLayer.error = AUDIO_OK;
  gLayer.detail.clear();
  return true;
}

bool fail(int code, const char* detail = "") {
  gLayer.error = code;
  gLayer.detail = detail ? detail : "";
  return false;
}

uint16_t nextSerial(uint16_t serial) { return static_cast<uint16_t>(serial == 0xFFFF ? 1 : serial + 1); }

uint32_t makeHandle(uint16_t serial, int index) {
  return (static_cast<uint32_t>(serial) << 16) | static_cast<uint32_t>(index + 1);
}

// Splits a handle; false for 0 or an index outside [0, limit).
bool splitHandle(uint32_t handle, int limit, int* index, uint16_t* serial) {
  int i = static_cast<int>(handle & 0xFFFF) - 1;
  if (i < 0 || i >= limit) return false;
  *index = i;
  *serial = static_cast<uint16_t>(handle >> 16);
  return true;
}

SampleSlot* findSample(AudioSample handle) {
  int index;
  uint16_t serial;
  if (!gLayer.open || !splitHandle(handle, AUDIO_MAX_SAMPLES, &index, &serial)) return nullptr;
  SampleSlot& s = gSamples[index];
  return s.used && s.serial == serial ? &s : nullptr;
}

// The playing voice a channel handle names, or null once it ended.
Voice* findVoice(AudioChannel handle) {
  int index;
  uint16_t serial;
  if (!gLayer.open || !splitHandle(handle, AUDIO_MAX_SAMPLES * AUDIO_MAX_PLAYS, &index, &serial)) {
    return nullptr;
  }
  SampleSlot& s = gSamples[index / AUDIO_MAX_PLAYS];
  Voice& v = s.voices[index % AUDIO_MAX_PLAYS];
  return s.used && v.active && v.serial == serial ? &v : nullptr;
}

ModuleSlot* findModule(AudioMusic handle) {
  int index;
  uint16_t serial;
  if (!gLayer.open || !splitHandle(handle, AUDIO_MAX_MODULES, &index, &serial)) return nullptr;
  ModuleSlot& m = gModules[index];
  return m.used && m.serial == serial ? &m : nullptr;
}

void setGains(Voice* v, int volume, int panning) {
  v->volume = std::clamp(volume, 0, 100);
  v->panning = std::clamp(panning, -100, 100);
  v->gainLeft = v->volume * (v->panning > 0 ? 100 - v->panning : 100);
  v->gainRight = v->volume * (v->panning < 0 ? 100 + v->panning : 100);
}

// --- The mixer (runs in the callback, or in audioRender) -------------------

}  // namespace

int16_t audio::limit(int32_t sum) {
  const int64_t wide = sum;
  const int64_t magnitude = wide < 0 ? -wide : wide;
  if (magnitude <= LIMIT_KNEE) return static_cast<int16_t>(sum);
  // Above the knee: knee + room * tanh(excess / room), which approaches the
  // top of the range (32766) and never passes it.
  const double knee = LIMIT_KNEE, room = 32766.0 - knee;
  const double bent = knee + room * std::tanh(static_cast<double>(magnitude - LIMIT_KNEE) / room);
  const int32_t out = static_cast<int32_t>(bent);
  return static_cast<int16_t>(sum < 0 ? -out : out);
}

namespace {

void mixVoice(const SampleSlot& s, Voice* v, int32_t* acc, int frames) {
  const int16_t* pcm = s.pcm.data();
  for (int i = 0; i < frames; ++i) {
    if (v->position >= s.frames) {
      if (!v->loop) break;
      v->position = 0;
    }
    acc[2 * i] += pcm[2 * v->position] * v->gainLeft / kUnity;
    acc[2 * i + 1] += pcm[2 * v->position + 1] * v->gainRight / kUnity;
    ++v->position;
  }
  // A one-shot ends with its last frame, not one pass later.
  if (!v->loop && v->position >= s.frames) v->active = false;
}

// Scratch buffers of the mixer. Only one thread ever mixes: the device's
// callback, or (without a device) the caller of audioRender. Kept off the
// stack of SDL's audio thread.
int32_t gAccumulator[kChunk * 2];
int16_t gMusic[kChunk * 2];

// The music plays this much below the samples (in percent of its level), so
// that the table's effects stay audible over it and the sum has headroom.
constexpr int kMusicLevel = 70;

void mixModule(ModuleSlot* m, int32_t* acc, int frames) {
  int16_t* music = gMusic;
  size_t got = openmpt_module_read_interleaved_stereo(m->module, AUDIO_RATE, static_cast<size_t>(frames),
                                                      music);
  for (size_t i = 0; i < got * 2; ++i) acc[i] += music[i] * gLayer.musicVolume * kMusicLevel / 10000;
  if (got < static_cast<size_t>(frames)) m->playing = false;  // only a module that doesn't loop ends
}

void mix(int16_t* out, int frames) {
  while (frames > 0) {
    const int n = std::min(frames, kChunk);
    int32_t* acc = gAccumulator;
    std::fill(acc, acc + n * 2, 0);
    for (SampleSlot& s : gSamples) {
      if (!s.used) continue;
      for (int k = 0; k < s.maxPlays; ++k) {
        if (s.voices[k].active) mixVoice(s, &s.voices[k], acc, n);
      }
    }
    for (ModuleSlot& m : gModules) {
      if (m.used && m.playing) mixModule(&m, acc, n);
    }
    for (int i = 0; i < n * 2; ++i) out[i] = audio::limit(acc[i]);
    out += n * 2;
    frames -= n;
  }
}

void audioCallback(void*, Uint8* stream, int length) {
  mix(reinterpret_cast<int16_t*>(stream), length / 4);
}

// Empties a sample slot; the caller holds the lock. The PCM buffer moves to
// `dispose` so it is released outside the lock.
void clearSample(SampleSlot* s, std::vector<int16_t>* dispose) {
  s->used = false;
  s->frames = 0;
  for (Voice& v : s->voices) v.active = false;
  dispose->swap(s->pcm);
}

openmpt_module* clearModule(ModuleSlot* m) {
  openmpt_module* module = m->module;
  m->used = false;
  m->playing = false;
  m->module = nullptr;
  return module;
}

// Reads a whole file into memory, within AUDIO_MAX_FILE.
bool readWholeFile(const char* path, std::vector<char>* bytes) {
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return fail(AUDIO_ERR_FILEOPEN, "can't open the file");
  bool good = std::fseek(f, 0, SEEK_END) == 0;
  long size = good ? std::ftell(f) : -1;
  good = good && size >= 0 && std::fseek(f, 0, SEEK_SET) == 0;
  if (!good) {
    std::fclose(f);
    return fail(AUDIO_ERR_FILEOPEN, "can't read the file");
  }
  if (size > AUDIO_MAX_FILE) {
    std::fclose(f);
    return fail(AUDIO_ERR_FORMAT, "file too large for a module");
  }
  bytes->resize(static_cast<size_t>(size));
  size_t got = size > 0 ? std::fread(bytes->data(), 1, bytes->size(), f) : 0;
  std::fclose(f);
  if (got != bytes->size()) return fail(AUDIO_ERR_FILEOPEN, "can't read the file");
  return true;
}

}  // namespace

int audioVersion() {
  SDL_version linked;
  SDL_GetVersion(&linked);
  const uint32_t openmpt = openmpt_get_library_version();
  const bool sdlOk = linked.major == SDL_MAJOR_VERSION;
  const bool openmptOk = (openmpt >> 24) == OPENMPT_API_VERSION_MAJOR;
  return sdlOk && openmptOk ? AUDIO_VERSION : 0;
}

void audioSetOutput(AudioOutput output) { gNextOutput = output; }
AudioOutput audioGetOutput() { return gNextOutput; }

bool audioOpen() {
  if (gLayer.open) return fail(AUDIO_ERR_ALREADY);
  gLayer.output = gNextOutput;
  if (gLayer.output == AUDIO_OUTPUT_DEVICE) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return fail(AUDIO_ERR_DRIVER, SDL_GetError());
    SDL_AudioSpec want{};
    want.freq = AUDIO_RATE;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = audioCallback;
    SDL_AudioSpec have{};
    // No allowed changes: SDL converts to whatever the hardware wants.
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
      std::string why = SDL_GetError();
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return fail(AUDIO_ERR_DRIVER, why.c_str());
    }
    gLayer.device = device;
  }
  gLayer.open = true;
  gLayer.musicVolume = 100;
  return ok();
}

bool audioStart() {
  if (!gLayer.open) return fail(AUDIO_ERR_INIT);
  if (gLayer.device) SDL_PauseAudioDevice(gLayer.device, 0);
  return ok();
}

void audioClose() {
  if (!gLayer.open) return;
  if (gLayer.device) {
    SDL_CloseAudioDevice(gLayer.device);  // waits for the callback to finish
    gLayer.device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  for (SampleSlot& s : gSamples) {
    std::vector<int16_t> dispose;
    clearSample(&s, &dispose);
  }
  for (ModuleSlot& m : gModules) {
    if (m.used) openmpt_module_destroy(clearModule(&m));
  }
  gLayer.open = false;
  gLayer.musicVolume = 100;
  ok();
}

bool audioIsOpen() { return gLayer.open; }
int audioErrorCode() { return gLayer.error; }
const char* audioErrorDetail() { return gLayer.detail.c_str(); }

// --- Samples ---------------------------------------------------------------

AudioSample audioSampleLoad(const char* path, int maxPlays) {
  if (!gLayer.open) return fail(AUDIO_ERR_INIT), 0;
  if (!path || maxPlays < 1 || maxPlays > AUDIO_MAX_PLAYS) return fail(AUDIO_ERR_ILLPARAM), 0;
  std::vector<int16_t> pcm;
  std::string detail;
  int rc = audio::decodeWav(path, &pcm, &detail);
  if (rc != AUDIO_OK) return fail(rc, detail.c_str()), 0;

  MixLock lock;
  for (int i = 0; i < AUDIO_MAX_SAMPLES; ++i) {
    SampleSlot& s = gSamples[i];
    if (s.used) continue;
    s.used = true;
    s.serial = nextSerial(s.serial);
    s.maxPlays = maxPlays;
    s.frames = static_cast<uint32_t>(pcm.size() / 2);
    s.pcm.swap(pcm);  // the slot's old (empty) buffer is released outside the lock
    for (Voice& v : s.voices) v = Voice{v.serial, false, false, 0, 0, 0, 0, 0, 0};
    ok();
    return makeHandle(s.serial, i);
  }
  return fail(AUDIO_ERR_NOCHAN, "all sample slots are in use"), 0;
}

bool audioSampleFree(AudioSample sample) {
  std::vector<int16_t> dispose;
  MixLock lock;
  SampleSlot* s = findSample(sample);
  if (!s) return fail(AUDIO_ERR_HANDLE);
  clearSample(s, &dispose);
  return ok();
}

int audioSampleFrames(AudioSample sample) {
  SampleSlot* s = findSample(sample);
  if (!s) return fail(AUDIO_ERR_HANDLE), -1;
  ok();
  return static_cast<int>(s->frames);
}

AudioChannel audioSamplePlay(AudioSample sample, int volume, int panning, bool loop) {
  MixLock lock;
  SampleSlot* s = findSample(sample);
  if (!s) return fail(AUDIO_ERR_HANDLE), 0;
  // A free playback if there is one, else the one that has played longest.
  int pick = -1;
  for (int k = 0; k < s->maxPlays && pick < 0; ++k) {
    if (!s->voices[k].active) pick = k;
  }
  if (pick < 0) {
    pick = 0;
    for (int k = 1; k < s->maxPlays; ++k) {
      if (s->voices[k].started < s->voices[pick].started) pick = k;
    }
  }
  Voice& v = s->voices[pick];
  v.serial = nextSerial(v.serial);
  v.active = true;
  v.loop = loop;
  v.position = 0;
  v.started = ++gLayer.plays;
  setGains(&v, volume, panning);
  ok();
  return makeHandle(v.serial, static_cast<int>(s - gSamples) * AUDIO_MAX_PLAYS + pick);
}

bool audioChannelIsActive(AudioChannel channel) {
  MixLock lock;
  return findVoice(channel) != nullptr;
}

bool audioChannelGetAttributes(AudioChannel channel, int* volume, int* panning) {
  MixLock lock;
  Voice* v = findVoice(channel);
  if (!v) return fail(AUDIO_ERR_HANDLE);
  if (volume) *volume = v->volume;
  if (panning) *panning = v->panning;
  return ok();
}

bool audioChannelSetAttributes(AudioChannel channel, int volume, int panning) {
  MixLock lock;
  Voice* v = findVoice(channel);
  if (!v) return fail(AUDIO_ERR_HANDLE);
  setGains(v, volume, panning);
  return ok();
}

bool audioChannelStop(AudioChannel channel) {
  MixLock lock;
  Voice* v = findVoice(channel);
  if (!v) return fail(AUDIO_ERR_HANDLE);
  v->active = false;
  return ok();
}

// --- Modules ---------------------------------------------------------------

AudioMusic audioMusicLoad(const char* path) {
  if (!gLayer.open) return fail(AUDIO_ERR_INIT), 0;
  if (!path) return fail(AUDIO_ERR_ILLPARAM), 0;
  std::vector<char> bytes;
  if (!readWholeFile(path, &bytes)) return 0;

  // libopenmpt's log stays silent and its errors are only stored: a module
  // that fails to load is reported by the caller through the game's log.
  int error = 0;
  const char* message = nullptr;
  openmpt_module* module = openmpt_module_create_from_memory2(
      bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr, openmpt_error_func_store, nullptr,
      &error, &message, nullptr);
  std::string detail = message ? message : "not a module";
  openmpt_free_string(message);
  if (!module) return fail(error == OPENMPT_ERROR_OUT_OF_MEMORY ? AUDIO_ERR_MEM : AUDIO_ERR_FORMAT,
                           detail.c_str()), 0;
  openmpt_module_set_repeat_count(module, -1);
  // libopenmpt dithers its 16-bit output with random noise by default; without
  // it a module renders the same every time from the same position.
  openmpt_module_ctl_set_integer(module, "dither", 0);

  {
    MixLock lock;
    for (int i = 0; i < AUDIO_MAX_MODULES; ++i) {
      ModuleSlot& m = gModules[i];
      if (m.used) continue;
      m.used = true;
      m.serial = nextSerial(m.serial);
      m.playing = false;
      m.module = module;
      ok();
      return makeHandle(m.serial, i);
    }
  }
  openmpt_module_destroy(module);
  return fail(AUDIO_ERR_NOCHAN, "all module slots are in use"), 0;
}

bool audioMusicFree(AudioMusic music) {
  openmpt_module* module = nullptr;
  {
    MixLock lock;
    ModuleSlot* m = findModule(music);
    if (!m) return fail(AUDIO_ERR_HANDLE);
    module = clearModule(m);
  }
  openmpt_module_destroy(module);
  return ok();
}

bool audioMusicPlay(AudioMusic music) {
  MixLock lock;
  ModuleSlot* m = findModule(music);
  if (!m) return fail(AUDIO_ERR_HANDLE);
  m->playing = true;
  return ok();
}

bool audioMusicStop(AudioMusic music) {
  MixLock lock;
  ModuleSlot* m = findModule(music);
  if (!m) return fail(AUDIO_ERR_HANDLE);
  m->playing = false;
  return ok();
}

bool audioMusicIsPlaying(AudioMusic music) {
  MixLock lock;
  ModuleSlot* m = findModule(music);
  return m && m->playing;
}

bool audioMusicSetPosition(AudioMusic music, int order, int row) {
  MixLock lock;
  ModuleSlot* m = findModule(music);
  if (!m) return fail(AUDIO_ERR_HANDLE);
  if (order < 0 || order >= openmpt_module_get_num_orders(m->module)) return fail(AUDIO_ERR_POSITION);
  // Orders holding a skip or end marker name no pattern.
  const int pattern = openmpt_module_get_order_pattern(m->module, order);
  if (pattern < 0 || pattern >= openmpt_module_get_num_patterns(m->module)) {
    return fail(AUDIO_ERR_POSITION);
  }
  if (row < 0 || row >= openmpt_module_get_pattern_num_rows(m->module, pattern)) {
    return fail(AUDIO_ERR_POSITION);
  }
  openmpt_module_set_position_order_row(m->module, order, row);
  return ok();
}

bool audioMusicGetPosition(AudioMusic music, int* order, int* row) {
  MixLock lock;
  ModuleSlot* m = findModule(music);
  if (!m) return fail(AUDIO_ERR_HANDLE);
  if (order) *order = openmpt_module_get_current_order(m->module);
  if (row) *row = openmpt_module_get_current_row(m->module);
  return ok();
}

int audioMusicOrders(AudioMusic music) {
  MixLock lock;
  ModuleSlot* m = findModule(music);
  if (!m) return fail(AUDIO_ERR_HANDLE), -1;
  ok();
  return openmpt_module_get_num_orders(m->module);
}

void audioSetMusicVolume(int volume) {
  MixLock lock;
  gLayer.musicVolume = std::clamp(volume, 0, 100);
}

int audioGetMusicVolume() { return gLayer.musicVolume; }

bool audioRender(int16_t* out, int frames) {
  if (!gLayer.open) return fail(AUDIO_ERR_INIT);
  if (gLayer.output != AUDIO_OUTPUT_NONE || !out || frames < 0) return fail(AUDIO_ERR_ILLPARAM);
  mix(out, frames);
  return ok();
}

int audioSamplesLoaded() {
  int n = 0;
  for (const SampleSlot& s : gSamples) n += s.used;
  return n;
}

int audioModulesLoaded() {
  int n = 0;
  for (const ModuleSlot& m : gModules) n += m.used;
  return n;
}
