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

}  // namespace audio
