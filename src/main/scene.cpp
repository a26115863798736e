#include "main/scene.h"

#include "anim/gnm.h"
#include "anim/lights.h"
#include "anim/tv.h"
#include "core/log.h"
#include "core/time.h"
#include "main/ltime.h"
#include "gfx/vboard.h"
#include "physics/geometry.h"
#include "physics/table.h"

namespace {

// The load-time estimator writes its measurements at the end of a load: a
// scene leaves the game folder as it is.
constexpr unsigned kScenePhases = TABLE_PHASES_ALL & ~tablePhaseBit(TP_REPORT);

bool gFullRedraw = false;

}  // namespace

int sceneOpen(TableScene* scene, int regime) {
  const char* fn = "sceneOpen()";
  *scene = TableScene{};
  if (!gsCreateMemoryScreen(&scene->screen, &scene->device, &scene->display, SCENE_WIDTH, SCENE_HEIGHT, SCENE_BITS)) {
    *scene = TableScene{};
    return logError(0, "%s: error creating the screen", fn);
  }
  gsSelect(&scene->screen);
  tableResetModules();
  ltimeInit(20000);  // the load's marks go to an estimator that shows nothing
  scene->table.screen = &scene->screen;
  scene->table.regime = regime;
  if (tableLoad(&scene->table, kScenePhases) < 0) {
    sceneClose(scene);
    return logError(0, "%s: error loading the table", fn);
  }
  perspSetupTable(&gTable.persp);
  gFullRedraw = true;
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

void sceneClose(TableScene* scene) {
  tableUnload(&scene->table);
  gsSelect(nullptr);
  gsRelease(&scene->screen);
  if (scene->display) gdevDestroyDC(scene->display);
  *scene = TableScene{};
}
