// WAV samples: read with SDL and converted once to the mixer's format.
//
// The common case (8- or 16-bit PCM, mono or stereo) is converted here with
// integer arithmetic, so a sample at the mixer's rate reaches the mixer bit
// for bit (SDL's converter goes through floats and would change values by a
// step). Only a change of rate, and formats outside that case, go through
// SDL_AudioCVT.
#include <SDL.h>

#include <cstring>
#include <memory>

#include "core/bytes.h"
#include "platform/audio.h"
#include "platform/audio_internal.h"

namespace audio {
namespace {

// Largest converted sample: a guard against absurd rate ratios in a header.
constexpr uint64_t kMaxConverted = 512ull << 20;

struct WavFree {
  void operator()(Uint8* p) const { SDL_FreeWAV(p); }
};
using WavBuffer = std::unique_ptr<Uint8, WavFree>;

int fail(int code, std::string* detail, const char* what) {
  *detail = what;
  return code;
}

bool exactFormat(const SDL_AudioSpec& info) {
  if (info.channels != 1 && info.channels != 2) return false;
  switch (info.format) {
    case AUDIO_U8:
    case AUDIO_S8:
    case AUDIO_S16LSB:
    case AUDIO_S16MSB:
      return true;
    default:
      return false;
  }
}

int16_t readValue(const Uint8* p, SDL_AudioFormat format) {
  switch (format) {
    case AUDIO_U8: return static_cast<int16_t>((p[0] - 128) * 256);
    case AUDIO_S8: return static_cast<int16_t>(static_cast<int8_t>(p[0]) * 256);
    case AUDIO_S16LSB: return bytesGetLe<int16_t>(p);
    default: return bytesGetBe<int16_t>(p);  // AUDIO_S16MSB
  }
}

// 8/16-bit mono/stereo PCM to interleaved stereo int16; a trailing partial
// frame is dropped.
void convertExact(const Uint8* data, Uint32 length, const SDL_AudioSpec& info,
                  std::vector<int16_t>* out) {
  const size_t bytes = SDL_AUDIO_BITSIZE(info.format) / 8;
  const size_t frameBytes = bytes * info.channels;
  const size_t frames = length / frameBytes;
  out->resize(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    const Uint8* p = data + i * frameBytes;
    int16_t left = readValue(p, info.format);
    int16_t right = info.channels == 2 ? readValue(p + bytes, info.format) : left;
    (*out)[2 * i] = left;
    (*out)[2 * i + 1] = right;
  }
}

// Runs one SDL conversion over `length` bytes of `data` into out (int16).
int convertWithSdl(const Uint8* data, size_t length, SDL_AudioFormat format, int channels, int rate,
                   std::vector<int16_t>* out, std::string* detail) {
  SDL_AudioCVT cvt;
  if (SDL_BuildAudioCVT(&cvt, format, static_cast<Uint8>(channels), rate, AUDIO_S16SYS, 2,
                        AUDIO_RATE) < 0) {
    return fail(AUDIO_ERR_FORMAT, detail, SDL_GetError());
  }
  const size_t frameBytes = static_cast<size_t>(SDL_AUDIO_BITSIZE(format) / 8) * channels;
  length -= length % frameBytes;
  const uint64_t capacity = static_cast<uint64_t>(length) * static_cast<uint64_t>(cvt.len_mult);
  if (cvt.len_mult <= 0 || capacity > kMaxConverted) {
    return fail(AUDIO_ERR_MEM, detail, "converted sample too large");
  }
  std::vector<Uint8> work(static_cast<size_t>(capacity));
  std::memcpy(work.data(), data, length);
  cvt.buf = work.data();
  cvt.len = static_cast<int>(length);
  if (cvt.needed && SDL_ConvertAudio(&cvt) != 0) {
    return fail(AUDIO_ERR_FORMAT, detail, SDL_GetError());
  }
  const size_t produced = cvt.needed ? static_cast<size_t>(cvt.len_cvt) : length;
  const size_t frames = produced / 4;
  out->resize(frames * 2);
  std::memcpy(out->data(), work.data(), frames * 4);
  return AUDIO_OK;
}

}  // namespace

int decodeWav(const char* path, std::vector<int16_t>* frames, std::string* detail) {
  frames->clear();
  SDL_RWops* rw = SDL_RWFromFile(path, "rb");
  if (!rw) return fail(AUDIO_ERR_FILEOPEN, detail, SDL_GetError());
  const Sint64 size = SDL_RWsize(rw);
  if (size < 0) {
    SDL_RWclose(rw);
    return fail(AUDIO_ERR_FILEOPEN, detail, "can't tell the file's size");
  }
  if (size > AUDIO_MAX_FILE) {
    SDL_RWclose(rw);
    return fail(AUDIO_ERR_FORMAT, detail, "file too large for a sample");
  }

  SDL_AudioSpec info;
  Uint8* raw = nullptr;
  Uint32 length = 0;
  if (!SDL_LoadWAV_RW(rw, 1, &info, &raw, &length)) {
    return fail(AUDIO_ERR_FORMAT, detail, SDL_GetError());
  }
  WavBuffer data(raw);
  if (info.channels < 1 || info.freq <= 0) return fail(AUDIO_ERR_FORMAT, detail, "bad WAV header");

  std::vector<int16_t> stereo;
  int rate = info.freq;
  if (exactFormat(info)) {
    convertExact(data.get(), length, info, &stereo);
  } else {
    int rc = convertWithSdl(data.get(), length, info.format, info.channels, info.freq, &stereo,
                            detail);
    if (rc != AUDIO_OK) return rc;
    rate = AUDIO_RATE;
  }
  data.reset();

  if (rate != AUDIO_RATE && !stereo.empty()) {
    std::vector<int16_t> resampled;
    int rc = convertWithSdl(reinterpret_cast<const Uint8*>(stereo.data()), stereo.size() * 2,
                            AUDIO_S16SYS, 2, rate, &resampled, detail);
    if (rc != AUDIO_OK) return rc;
    stereo.swap(resampled);
  }
  if (stereo.empty()) return fail(AUDIO_ERR_FORMAT, detail, "WAV file holds no sample frames");
  frames->swap(stereo);
  return AUDIO_OK;
}

}  // namespace audio
