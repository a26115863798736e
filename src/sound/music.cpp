// The table's music slots and the music fade-out.
#include "core/log.h"
#include "platform/audio.h"
#include "sound/fx.h"
#include "sound/fx_internal.h"

namespace {

constexpr const char* kMusic[FX_MUSIC_SLOTS] = {
    "music/comm.it",    "music/demo.it",   "music/dict.it",   "music/pres.it",
    "music/credits.it", "music/boxing.it", "music/deputy.it", "music/oligarch.it",
};

struct Fade {
  bool running = false;
  double duration = 0;  // seconds
  double elapsed = 0;   // seconds
  int savedVolume = 100;
};
Fade gFade;

}  // namespace

int setupMusic() {
  int loaded = 0;
  for (int slot = 0; slot < FX_MUSIC_SLOTS; ++slot) loaded += fxLoadModule(slot, kMusic[slot]) != 0;
  return loaded == FX_MUSIC_SLOTS ? 1 : 0;
}

void fxFadeReset() { gFade = Fade{}; }

int fxFadeOutModule(double seconds) {
  if (fxDisabled()) return 1;
  if (!gFade.running) gFade.savedVolume = audioGetMusicVolume();
  gFade.running = true;
  gFade.duration = seconds;
  gFade.elapsed = 0;
  return 1;
}

int fxFadeUpdate(double frameDeltaMs) {
  if (fxDisabled() || !gFade.running) return 1;
  gFade.elapsed += frameDeltaMs * 0.001;
  if (gFade.elapsed >= gFade.duration) {
    audioSetMusicVolume(gFade.savedVolume);
    gFade.running = false;
    // Music stopped during the fade has nothing left to stop.
    if (fxCurrentModule() >= 0) fxStopModule();
    return 1;
  }
  audioSetMusicVolume(
      static_cast<int>(gFade.savedVolume * (gFade.duration - gFade.elapsed) / gFade.duration));
  return 1;
}

int fxFadeRunning() { return gFade.running; }
