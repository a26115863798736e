#include "main/graphics.h"

#include "core/conf.h"
#include "core/log.h"
#include "core/mem.h"
#include "core/time.h"
#include "main/ltime.h"
#include "gfx/appevent.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/vid.h"
#include "platform/gdev.h"
#include "sound/fx.h"

namespace {

GdevDevice* gDevice = nullptr;

enum { SCAN_ESCAPE = 0x01, SCAN_SPACE = 0x39 };

}  // namespace

namespace {

// The load progress bar: a sprite whose frames run from empty to full, drawn
// at the screen origin (its frames carry their place) and presented at once,
// since nothing else draws while a table loads.
void* progressLoad(const char* name) { return gsCurrent ? SPR_CREATE(name) : nullptr; }
int progressFrames(void* sprite) { return static_cast<Sprite*>(sprite)->numfrms; }
void progressShow(void* sprite, int frame) {
  Sprite* s = static_cast<Sprite*>(sprite);
  if (!gsCurrent) return;
  if (s->alpha)
    SPR_PUT_ALPHA(s, frame, 0, 0);
  else
    SPR_PUT_COMMON(s, frame, 0, 0);
  gsDirtyAll();
  gsUpdate(0);
}
void progressRelease(void* sprite) { SPR_FREE(static_cast<Sprite*>(sprite)); }
constexpr LtimeProgressDisplay kProgress = {progressLoad, progressFrames, progressShow, progressRelease};

}  // namespace

int SETUP_GRAPHICS(const char* modeName, int chooser, int writeBinary) {
  logDebug(2, "at GM_Init()");
  if (!gdevInit("Qel"))
    return logError(-1, "%s: GM_Init() failed: %s", "SETUP_GRAPHICS()", gdevErrorText());

  ConfSet conf{};
  int rc = conf_anyread(&conf, "SETUP_GRAPHICS()", "conf/vidmode.conf", "conf/vidmode.bcf",
                        writeBinary);
  logDebug(2, "conf_anyread('%s','%s') returned %d", "conf/vidmode.conf", "conf/vidmode.bcf", rc);
  GdevMode mode{};
  int windowed = 0, chosen;
  if (rc < 0 || chooser) {
    logDebug(2, "at GM_chooseMode()");
    chosen = gdevChooseMode(gdevModes(), &mode, &windowed);
  } else {
    logDebug(2, "at gmConfMode()");
    chosen = gmConfMode(&conf, modeName, gdevModes(), &mode, &windowed);
  }
  conf_free(&conf);
  if (!chosen) {
    gdevExit();
    return logError(-1, "%s: no video mode chosen", "SETUP_GRAPHICS()");
  }

  logDebug(2, "at GM_setMode()");
  gDevice = gdevSetMode(&mode, windowed);
  if (!gDevice) {
    int err = logError(-1, "%s: GM_setMode() failed: %s", "SETUP_GRAPHICS()", gdevErrorText());
    gdevExit();
    return err;
  }
  logDebug(2, "GM_setMode() ok");

  gdevSetAllocator(gsDeviceAllocator());
  gdevSetActivateCallback(appPostActivate);
  gdevSetSuspendCallback(appPostSuspend);
  logDebug(2, "at gsCreateMGL()");
  if (!gsCreateMGL(&gsMainScreen, gDevice)) {
    gdevRestoreMode(gDevice);
    gDevice = nullptr;
    gdevExit();
    return logError(-1, "%s: error creating the screen", "SETUP_GRAPHICS()");
  }
  gsSelect(&gsMainScreen);
  ltimeSetProgressDisplay(&kProgress);
  return 0;
}

int PLAY_LOGOS() {
  VidClip clip{};
  bool open = false, escape = false;
  for (int i = 0; i < static_cast<int>(std::size(kLogoClips)) && !escape; i++) {
    const LogoClip& entry = kLogoClips[i];
    if (open) vidClose(&clip);
    open = false;
    logDebug(2, "loadclip %d", i);
    logDebug(2, "at vidOpen('%s')", entry.clip);
    if (!vidOpen(&clip, entry.clip))
      return logError(0, "%s: error opening video '%s', aborting", "PLAY_LOGOS()", entry.clip);
    open = true;
    bool samplePending = false;
    if (entry.sample) {
      if (i > 0) fxFreeSample(0);
      if (!fxLoadSampleWav(0, entry.sample)) {
        vidClose(&clip);
        return logError(0, "%s: error loading sample '%s', aborting", "PLAY_LOGOS()", entry.sample);
      }
      samplePending = true;
    }
    tmSetRate(entry.rate, 1);

    int frame = 0;
    while (frame < clip.frames - 1) {
      GdevEvent e;
      if (gdevQuitRequested()) {
        escape = true;
        break;
      }
      if (gdevGetEvent(&e, GDEV_EVT_EVERY, true)) {
        if (e.what == GDEV_EVT_KEYDOWN && gdevEventScan(&e) == SCAN_ESCAPE) {
          escape = true;
          break;
        }
        if ((e.what == GDEV_EVT_KEYDOWN && gdevEventScan(&e) == SCAN_SPACE) ||
            e.what == GDEV_EVT_MOUSEDOWN) {
          frame = clip.frames;
          break;
        }
      }
      if (samplePending && frame >= entry.sampleFrame) {
        fxPlaySample(0, 100, 0, 0);
        samplePending = false;
      }
      tmBeginFrame();
      tmMarkFrame();
      if (vidPutFrame(&clip, VID_DRAW_PLAIN, frame, 0, 0)) gsAddDirty(0, 0, clip.width, clip.height);
      fxUpdate();
      gsUpdate(0);
      tmEndFrame();
      frame++;
    }
  }
  fxFreeSample(0);
  if (open) vidClose(&clip);
  return 1;
}

void SHUTDOWN_GRAPHICS() {
  ltimeSetProgressDisplay(nullptr);
  gsRelease(&gsMainScreen);
  if (gDevice) gdevRestoreMode(gDevice);
  gDevice = nullptr;
  if (gdevIsInitialised()) gdevExit();
}
