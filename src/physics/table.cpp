#include "physics/table.h"

#include "core/conf.h"
#include "core/time.h"
#include "physics/board.h"

TableContext gTable = {nullptr, nullptr, 1.0, 0.3, {60, 60, 60, 500, 0, 0, 0, 0, 15}, nullptr, nullptr, nullptr};

void tableContextReset() { gTable = TableContext{nullptr, nullptr, 1.0, 0.3, {60, 60, 60, 500, 0, 0, 0, 0, 15}, nullptr, nullptr, nullptr}; }

void tableContextRead(ConfSet* global, ConfSet* rules) {
  gTable.global = global;
  gTable.rules = rules;
  int rate = conf_getint(global, "video.rate", 60);
  if (rate <= 0) rate = 60;
  gTable.f = 60.0 / rate;
  gTable.globalK = conf_getdouble(global, "global_k", 0.3);
  perspReadKeys(global, &gTable.persp);
}

void tableReadBoardParams(ConfSet* global, BoardParams* params) {
  int rate = conf_getint(global, "video.rate", 60);
  if (rate <= 0) rate = 60;
  double f = 60.0 / rate;
  params->gravity = conf_getdouble(global, "rboard.gravity", 0.2) * f * f;
  params->airFactor = 1.0 - conf_getdouble(global, "rboard.air", 0.0);
  params->hmGravity = conf_getdouble(global, "rboard.hm_gravity", 0.2) * f * f;
}

double tableNow() { return tmTime; }

int tableKeyHeld(int scan) { return gTable.keyHeld ? gTable.keyHeld(scan) : 0; }


void tableRequestBall(int free) {
  if (gTable.newBall) gTable.newBall(free);
}
