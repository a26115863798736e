#pragma once
// The audio layer: an SDL2 output device (44100 Hz, stereo, signed 16 bits)
// fed by a small mixer of our own for WAV samples and by libopenmpt for
// tracker modules. The game names everything by 32-bit handles (0 = none);
// SDL and libopenmpt stay behind this header.
//
// Threads: the functions here are called from the game thread only. With a
// device, SDL's audio thread runs the mixer in its callback; every function
// that touches the mixer's tables does so under SDL_LockAudioDevice, and slow
// work (reading and converting files, creating and destroying modules) is
// done outside the lock.
//
// Without a device (AUDIO_OUTPUT_NONE) nothing runs on its own: the mix only
// advances through audioRender, which makes the output exact and repeatable
// for tests and tools.
//
// The mix, per output frame: each playing channel adds its sample frame with
// left × volume × (100 - panning, for panning > 0, else 100) / 10000 and
// right × volume × (100 + panning, for panning < 0, else 100) / 10000, each
// product truncated toward zero; each playing module adds its rendered frame
// × music volume / 100 (truncated); the sums are clamped to 16 bits.
#include <cstdint>

enum {
  AUDIO_RATE = 44100,        // mixer rate in frames per second; every sample is converted to it
  AUDIO_MAX_PLAYS = 3,       // simultaneous playbacks of one sample
  AUDIO_MAX_SAMPLES = 512,   // loaded samples
  AUDIO_MAX_MODULES = 256,   // loaded modules
  AUDIO_MAX_FILE = 64 << 20  // largest sample or module file accepted, in bytes
};

// Error codes of the last failed call, numbered like the sound layer's table
// of error texts (so it can name them).
enum AudioError : int {
  AUDIO_OK = 0,
  AUDIO_ERR_MEM = 1,        // out of memory
  AUDIO_ERR_FILEOPEN = 2,   // the file can't be opened or read
  AUDIO_ERR_DRIVER = 3,     // no usable output device
  AUDIO_ERR_HANDLE = 5,     // unknown, stale or freed handle
  AUDIO_ERR_FORMAT = 6,     // not a WAV file / module we can read
  AUDIO_ERR_POSITION = 7,   // order or row outside the module
  AUDIO_ERR_INIT = 8,       // the layer is not open
  AUDIO_ERR_ALREADY = 14,   // the layer is already open
  AUDIO_ERR_NOCHAN = 18,    // no free slot in the sample or module table
  AUDIO_ERR_ILLPARAM = 20,  // bad argument
  AUDIO_ERR_UNKNOWN = -1,
};

// Where the mix goes.
enum AudioOutput : int {
  AUDIO_OUTPUT_DEVICE = 0,  // the SDL audio device (driver chosen by SDL, e.g. SDL_AUDIODRIVER)
  AUDIO_OUTPUT_NONE = 1,    // no device: the mix advances only through audioRender
};

using AudioSample = uint32_t;
using AudioChannel = uint32_t;
using AudioMusic = uint32_t;

// The layer's version as audioVersion reports it when the SDL and libopenmpt
// libraries found at run time are the major versions it was built against.
inline constexpr int AUDIO_VERSION = 0x0200;
// AUDIO_VERSION, or 0 when a run-time library is of another major version.
int audioVersion();

// Which output the next audioOpen uses (default: the device).
void audioSetOutput(AudioOutput output);
AudioOutput audioGetOutput();

// Opens the output (the device stays paused until audioStart). False with
// AUDIO_ERR_DRIVER when SDL audio or the device can't be opened, and with
// AUDIO_ERR_ALREADY when the layer is open.
bool audioOpen();
// Lets the device's callback run. True without a device.
bool audioStart();
// Closes the device, frees every sample and module, shuts SDL audio down and
// resets the music volume to 100. Harmless when not open.
void audioClose();
bool audioIsOpen();

int audioErrorCode();
// The detail behind the last error (SDL's or libopenmpt's text), for the log.
const char* audioErrorDetail();

// --- Samples -------------------------------------------------------------
// Loads a WAV file (8- or 16-bit PCM, mono or stereo, any rate; other formats
// SDL can read are converted by SDL) and converts it once to the mixer's
// format. maxPlays (1..AUDIO_MAX_PLAYS) caps its simultaneous playbacks.
AudioSample audioSampleLoad(const char* path, int maxPlays);
// Stops the sample's channels and frees it.
bool audioSampleFree(AudioSample sample);
// Frames of the converted sample, or -1 for a bad handle.
int audioSampleFrames(AudioSample sample);
// Starts a playback: volume 0..100, panning -100 (left) .. 100 (right), both
// clamped. When all the sample's playbacks are busy, the one that has played
// longest is taken over (its handle goes dead). 0 on failure.
AudioChannel audioSamplePlay(AudioSample sample, int volume, int panning, bool loop);
// False once the channel ended, was stopped or taken over.
bool audioChannelIsActive(AudioChannel channel);
bool audioChannelGetAttributes(AudioChannel channel, int* volume, int* panning);
bool audioChannelSetAttributes(AudioChannel channel, int volume, int panning);
bool audioChannelStop(AudioChannel channel);

// --- Modules -------------------------------------------------------------
// Loads a tracker module (any format libopenmpt reads); it loops forever
// when played. libopenmpt's own messages are kept out of the console: a
// failure is reported through the error code and audioErrorDetail.
AudioMusic audioMusicLoad(const char* path);
bool audioMusicFree(AudioMusic music);
// Plays from the module's current position (a stopped module resumes where
// it stopped; a new one starts at order 0, row 0).
bool audioMusicPlay(AudioMusic music);
bool audioMusicStop(AudioMusic music);
bool audioMusicIsPlaying(AudioMusic music);
// Jumps to a row of an order; AUDIO_ERR_POSITION when the order is not in the
// order list or the row not in its pattern.
bool audioMusicSetPosition(AudioMusic music, int order, int row);
// The order and row the mixer is rendering.
bool audioMusicGetPosition(AudioMusic music, int* order, int* row);
// Number of orders, -1 for a bad handle.
int audioMusicOrders(AudioMusic music);

// Global music volume 0..100 (clamped), applied to every module; samples are
// not affected.
void audioSetMusicVolume(int volume);
int audioGetMusicVolume();

// --- Output without a device ----------------------------------------------
// Mixes the next `frames` frames (interleaved left/right) into out. Only with
// AUDIO_OUTPUT_NONE; false otherwise (a device's callback owns the mix).
bool audioRender(int16_t* out, int frames);

// Counts of loaded samples and modules (leak checks in tests).
int audioSamplesLoaded();
int audioModulesLoaded();
