// The tubes: a ball put out of the left or the right tube rides the tube's
// track onto the table, while the crane over it works.
#include "anim/lights.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/text.h"
#include "game/game.h"
#include "game/stats.h"
#include "physics/ball.h"
#include "physics/table.h"
#include "physics/track.h"

namespace {

struct Tube {
  const char* stat;
  int light;
  const char* side;  // key prefix: "tubes.<side>_track" ...
  const char* trackDefault;
};

constexpr Tube kTubes[] = {
    {"hit:tube_left", LI_CRANE_T20, "left", "tube_left_track-undef"},
    {"hit:tube_right", LI_CRANE_T22, "right", "tube_right_track-undef"},
};

}  // namespace

void gameTubeBall(int index) {
  const char* fn = "gameTubeBall()";
  if (index < 0 || index >= static_cast<int>(sizeof kTubes / sizeof kTubes[0])) {
    logError(0, "%s: unknown tube index %d", fn, index);
    return;
  }
  const Tube& t = kTubes[index];
  gstatSample(t.stat);
  lightSet(t.light, LIGHT_ON);

  char key[64];
  strFormatN(key, sizeof key, "tubes.%s_track", t.side);
  const char* name = conf_getstr(gTable.rules, key, t.trackDefault);
  Track* track = findTrack(name);
  if (!track) {
    logError(0, "%s: tube_%s_track '%s' not found", fn, t.side, name);
    return;
  }
  BallData d{};
  d.track = track;
  strFormatN(key, sizeof key, "tubes.%s_trackpos", t.side);
  d.trackpos = conf_getdouble(gTable.rules, key, 0.0);
  strFormatN(key, sizeof key, "tubes.%s_trackvelo", t.side);
  d.trackvelo = conf_getdouble(gTable.rules, key, 1.0) * gTable.f;
  d.radius = ballRadius(gTable.global);
  d.noaccel = 1;
  strFormatN(key, sizeof key, "tubes.%s_lmask", t.side);
  int lmask = conf_getint(gTable.rules, key, 1);
  Sprite *ball, *shadow;
  ballSessionSprites(&ball, &shadow);
  if (!CREATE_BALL(&d, ball, shadow, lmask)) logDebug(1, "at %s", "CREATE_BALL()");
}
