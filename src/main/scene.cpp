#include "main/scene.h"

#include "anim/gnm.h"
#include "anim/lights.h"
#include "anim/tv.h"
#include "core/log.h"
#include "core/time.h"
#include "game/trigger.h"
#include "gfx/vboard.h"
#include "main/blackbox.h"
#include "main/ltime.h"
#include "main/play.h"
#include "main/session.h"
#include "physics/geometry.h"
#include "physics/table.h"

namespace {

// The load-time estimator writes its measurements at the end of a load: a
// scene leaves the game folder as it is.
constexpr unsigned kScenePhases = TABLE_PHASES_ALL & ~tablePhaseBit(TP_REPORT);

bool gFullRedraw = false;

// The screen and the table's load; a live scene's table is in play from
// before its load on, as the session's is.
int openScene(TableScene* scene, int regime, bool live) {
  const char* fn = live ? "sceneOpenLive()" : "sceneOpen()";
  *scene = TableScene{};
  if (!gsCreateMemoryScreen(&scene->screen, &scene->device, &scene->display, SCENE_WIDTH, SCENE_HEIGHT, SCENE_BITS)) {
    *scene = TableScene{};
    return logError(0, "%s: error creating the screen", fn);
  }
  gsSelect(&scene->screen);
  if (live) {
    playBegin(&scene->table, userEventScanHeld);
    scene->live = 1;
  } else {
    tableResetModules();
  }
  ltimeInit(20000);  // the load's marks go to an estimator that shows nothing
  scene->table.screen = &scene->screen;
  scene->table.regime = regime;
  if (tableLoad(&scene->table, kScenePhases) < 0) {
    sceneClose(scene);
    return logError(0, "%s: error loading the table", fn);
  }
  return 1;
}

}  // namespace

int sceneOpen(TableScene* scene, int regime) {
  if (!openScene(scene, regime, false)) return 0;
  perspSetupTable(&gTable.persp);
  gFullRedraw = true;
  return 1;
}

int sceneOpenLive(TableScene* scene, int regime) {
  if (!openScene(scene, regime, true)) return 0;
  userEventClearKeys();
  all_triggers(TR_GAME_BEGIN);
  return 1;
}

void sceneFrame(TableScene*, double dt) {
  tmTime += dt;
  synlightUpdate();
  lightUpdate(dt);
  gnmUpdate(dt);
  vbRestore(gFullRedraw ? 1 : 0);
  gFullRedraw = false;
  tvFrame(dt);
  vbDraw();
}

int sceneStep(TableScene*) {
  if (!playSubgame()) return 0;
  if (!playSwitchRegime()) return 0;
  playFrame();
  tmEndFrame();
  playFrameTrace();
  bbTick();
  tmFrame++;
  return 1;
}

void sceneClose(TableScene* scene) {
  if (scene->live) playEnd();
  tableUnload(&scene->table);
  gsSelect(nullptr);
  gsRelease(&scene->screen);
  if (scene->display) gdevDestroyDC(scene->display);
  *scene = TableScene{};
}
