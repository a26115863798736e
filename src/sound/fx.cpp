// The fx layer: two tables of 256 descriptors that map the game's sample and
// module ids to audio handles, with the checks and messages every call
// shares. While disabled every entry point returns 1 before anything else.
#include "sound/fx.h"

#include <algorithm>

#include "core/log.h"
#include "core/text.h"
#include "platform/audio.h"
#include "sound/fx_internal.h"

namespace {

struct FxDescriptor {
  int loaded;
  uint32_t handle;
};

const char* defaultName(int) { return "<NOSID>"; }

struct FxState {
  bool disabled = true;  // on until a successful fxInit
  bool ready = false;    // the audio output is open
  bool reverse = false;
  FxDescriptor samples[FX_SAMPLES] = {};
  FxDescriptor modules[FX_MODULES] = {};
  int current = -1;
  FxNameFn sampleName = defaultName;
  FxNameFn moduleName = defaultName;
};

FxState gFx;

const char* text(const char* s) { return s ? s : "(null)"; }

// --- Checks ------------------------------------------------------------------

bool sampleInRange(const char* fn, int id) {
  if (id >= 0 && id < FX_SAMPLES) return true;
  return logError(0, "%s: invalid sample ID %d, not in [0..%d]", fn, id, FX_SAMPLES - 1);
}

bool sampleValid(const char* fn, int id) {
  if (!sampleInRange(fn, id)) return false;
  if (gFx.samples[id].loaded) return true;
  return logError(0, "%s: sample %d/%s is not valid", fn, id, gFx.sampleName(id));
}

bool moduleCheck(const char* fn, int id, bool mustBeLoaded) {
  if (!gFx.ready) return logError(0, "%s: library not initialized, SE", fn);
  if (id < 0 || id >= FX_MODULES) {
    return logError(0, "%s: invalid module ID %d, not in [0..%d]", fn, id, FX_MODULES - 1);
  }
  if (!mustBeLoaded || gFx.modules[id].loaded) return true;
  return logError(0, "%s: module %d/%s is not valid", fn, id, gFx.moduleName(id));
}

bool currentCheck(const char* fn) {
  if (gFx.current < 0) return logError(0, "%s: no module is playing", fn);
  if (!moduleCheck(fn, gFx.current, false)) return false;
  if (gFx.modules[gFx.current].loaded) return true;
  return logError(0, "%s: fxCurrentModule %d/%s is not valid", fn, gFx.current,
                  gFx.moduleName(gFx.current));
}

int panningForOutput(int panning) {
  panning = std::clamp(panning, -100, 100);
  return gFx.reverse ? -panning : panning;
}

// Frees every sample and module and closes the output.
void releaseAll() {
  for (FxDescriptor& d : gFx.samples) {
    if (d.loaded) audioSampleFree(d.handle);
    d = FxDescriptor{};
  }
  for (FxDescriptor& d : gFx.modules) {
    if (d.loaded) audioMusicFree(d.handle);
    d = FxDescriptor{};
  }
  gFx.current = -1;
  audioClose();
  gFx.ready = false;
  fxFadeReset();
}

}  // namespace

int fxInit(int off) {
  if (off) {
    gFx.disabled = true;
    return 1;
  }
  // A second start first lets go of everything the first one held.
  if (gFx.ready) releaseAll();
  gFx.disabled = true;
  gFx.sampleName = defaultName;
  gFx.moduleName = defaultName;
  gFx.current = -1;
  fxFadeReset();

  if (audioVersion() != AUDIO_VERSION) {
    return logError(0, "%s: incorrect BASS.DLL: BASS version 0.8 was not loaded", "fxInit()");
  }
  logDebug(3, "at BASS_Init()");
  if (!audioOpen()) {
    return logError(0, "%s: BASS_Init() returned error: %s", "fxInit()", fxErrorText(audioErrorCode()));
  }
  logDebug(3, "at BASS_Start()");
  audioStart();
  gFx.disabled = false;
  gFx.ready = true;
  gFx.reverse = false;
  return 1;
}

void fxShutdown() {
  releaseAll();
  gFx.disabled = true;
  gFx.reverse = false;
  gFx.sampleName = defaultName;
  gFx.moduleName = defaultName;
}

int fxDisabled() { return gFx.disabled; }

void fxSetSampleSID(FxNameFn names) { gFx.sampleName = names ? names : defaultName; }

const char* fxSampleName(int id) { return gFx.sampleName(id); }

void fxSetReverse(int on) { gFx.reverse = on != 0; }

int fxAllocSample() {
  if (gFx.disabled) return FX_FIRST_DYNAMIC;
  for (int id = FX_FIRST_DYNAMIC; id < FX_SAMPLES; ++id) {
    if (!gFx.samples[id].loaded) return id;
  }
  return logError(-1, "%s: error allocating sample, all %d descriptors occupied", "fxAllocSample()",
                  FX_SAMPLES - FX_FIRST_DYNAMIC);
}

int fxLoadSampleWav(int id, const char* path) {
  if (gFx.disabled) return 1;
  if (!sampleInRange("fxLoadSampleWav()", id)) return 0;
  FxDescriptor& d = gFx.samples[id];
  if (d.loaded) audioSampleFree(d.handle);
  d = FxDescriptor{};
  AudioSample handle = path ? audioSampleLoad(path, AUDIO_MAX_PLAYS) : 0;
  if (!handle) {
    return logError(0, "%s: error loading sample %d/%s from '%s'", "fxLoadSampleWav()", id,
                    gFx.sampleName(id), text(path));
  }
  d = FxDescriptor{1, handle};
  return 1;
}

uint32_t fxPlaySample(int id, int volume, int panning, int loop) {
  if (gFx.disabled) return 1;
  if (!sampleValid("fxPlaySample()", id)) return 0;
  logDebug(6, "fxPlaySample(): %d %s volume %d panning %d", id, fxSampleName(id), volume, panning);
  return audioSamplePlay(gFx.samples[id].handle, std::clamp(volume, 0, 100), panningForOutput(panning),
                         loop != 0);
}

int fxChannelIsActive(uint32_t channel) {
  if (gFx.disabled) return 1;
  if (!gFx.ready) return 0;
  return audioChannelIsActive(channel);
}

int fxChannelSetVolume(uint32_t channel, int volume) {
  if (gFx.disabled) return 1;
  int oldVolume = 0;
  int panning = 0;
  if (!gFx.ready || !audioChannelGetAttributes(channel, &oldVolume, &panning)) return 0;
  return audioChannelSetAttributes(channel, std::clamp(volume, 0, 100), panning);
}

int fxChannelSetPanning(uint32_t channel, int panning) {
  if (gFx.disabled) return 1;
  int volume = 0;
  int oldPanning = 0;
  if (!gFx.ready || !audioChannelGetAttributes(channel, &volume, &oldPanning)) return 0;
  return audioChannelSetAttributes(channel, volume, panningForOutput(panning));
}

int fxChannelStop(uint32_t channel) {
  if (gFx.disabled) return 1;
  return gFx.ready && audioChannelStop(channel);
}

int fxFreeSample(int id) {
  if (gFx.disabled) return 1;
  if (!sampleValid("fxFreeSample()", id)) return 0;
  int result = audioSampleFree(gFx.samples[id].handle);
  gFx.samples[id] = FxDescriptor{};
  return result;
}

int fxSampleLoaded(int id) {
  if (gFx.disabled) return 1;
  return id >= 0 && id < FX_SAMPLES && gFx.samples[id].loaded;
}

int fxLoadModule(int id, const char* path) {
  if (gFx.disabled) return 1;
  if (!moduleCheck("fxLoadModule()", id, false)) return 0;
  FxDescriptor& d = gFx.modules[id];
  if (d.loaded) audioMusicFree(d.handle);
  d = FxDescriptor{};
  AudioMusic handle = path ? audioMusicLoad(path) : 0;
  if (!handle) {
    return logError(0, "%s: error loading module %d/%s from '%s'", "fxLoadModule()", id,
                    gFx.moduleName(id), text(path));
  }
  d = FxDescriptor{1, handle};
  return 1;
}

int fxPlayModule(int id) {
  if (gFx.disabled) return 1;
  // A failed check leaves the music as it is.
  if (!moduleCheck("fxPlayModule()", id, true)) return 1;
  if (gFx.current >= 0 && gFx.modules[gFx.current].loaded) audioMusicStop(gFx.modules[gFx.current].handle);
  gFx.current = id;
  logDebug(6, "fxPlayModule(): module %d", id);
  return audioMusicPlay(gFx.modules[id].handle);
}

int fxStopModule() {
  if (gFx.disabled) return 1;
  if (!currentCheck("fxStopModule()")) return 0;
  int result = audioMusicStop(gFx.modules[gFx.current].handle);
  gFx.current = -1;
  return result;
}

int fxSetModulePosition(int order, int row) {
  if (gFx.disabled) return 1;
  if (!currentCheck("fxSetModulePosition()")) return 0;
  return audioMusicSetPosition(gFx.modules[gFx.current].handle, order, row);
}

int fxGetModulePosition(int* order, int* row) {
  if (gFx.disabled) {
    // Callers test the order they get back; give them a defined one.
    if (order) *order = 0;
    if (row) *row = 0;
    return 1;
  }
  if (!currentCheck("fxGetModulePosition()")) return 0;
  if (!order || !row) {
    return logError(0, "%s: NULL pattern or row pointer (pattern-%p row-%p)", "fxGetModulePosition()",
                    static_cast<void*>(order), static_cast<void*>(row));
  }
  return audioMusicGetPosition(gFx.modules[gFx.current].handle, order, row);
}

int fxCurrentModule() { return gFx.current; }

int fxUpdate() { return 1; }

const char* fxErrorText(int code) {
  struct Entry {
    int code;
    const char* text;
  };
  static constexpr Entry kTexts[] = {
      {0, "all is OK"},
      {1, "memory error"},
      {2, "can't open the file"},
      {3, "can't find a free/valid driver"},
      {4, "the sample buffer was lost - please report this!"},
      {5, "invalid handle"},
      {6, "unsupported format"},
      {7, "invalid playback position"},
      {8, "BASS_Init has not been successfully called"},
      {9, "BASS_Start has not been successfully called"},
      {10, "can't initialize CD"},
      {11, "BASS_CDInit has not been successfully called"},
      {12, "no CD in drive"},
      {13, "can't play the selected CD track"},
      {14, "already initialized"},
      {15, "CD has no volume control"},
      {16, "not paused"},
      {17, "not an audio track"},
      {18, "can't get a free channel"},
      {19, "an illegal type was specified"},
      {20, "an illegal parameter was specified"},
      {21, "no 3D support"},
      {22, "no EAX support"},
      {23, "illegal device number"},
      {24, "not playing"},
      {25, "illegal sample rate"},
      {26, "A3D.DLL is not installed"},
      {27, "the stream is not a file stream (WAV/MP3)"},
      {29, "no hardware voices available"},
      {30, "synchronizers have been disabled"},
      {-1, "some other mystery error"},
  };
  static char buffer[64];
  for (const Entry& e : kTexts) {
    if (e.code == code) {
      strFormatN(buffer, sizeof buffer, "%s", e.text);
      return buffer;
    }
  }
  strFormatN(buffer, sizeof buffer, "unknown (%d)", code);
  return buffer;
}
