#pragma once
// Pieces of the audio layer shared between its source files.
#include <cstdint>
#include <string>
#include <vector>

namespace audio {

// Reads a WAV file and converts it to interleaved stereo signed 16-bit frames
// at AUDIO_RATE. Returns AUDIO_OK or an AudioError code, with SDL's text in
// detail on failure.
int decodeWav(const char* path, std::vector<int16_t>* frames, std::string* detail);

// The mixer's limiter: a sum of samples and music up to the knee passes
// unchanged; above it the sum is bent smoothly towards full scale without
// ever reaching it, so loud moments are compressed instead of clipped.
enum { LIMIT_KNEE = 24576 };
int16_t limit(int32_t sum);

}  // namespace audio
