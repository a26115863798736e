// The tubes: a ball put out of the left or the right tube rides the tube's
// track onto the table, while the crane over it works.
#include <cstring>

#include "anim/lights.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/text.h"
#include "game/game.h"
#include "game/stats.h"
#include "gfx/sprite.h"
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

// The session's ball and shadow sprites, found by the paths the global
// configuration gives them (a sprite loaded from a file is named after its
// path); null when they are not loaded: the ball is then not drawn.
Sprite* sessionSprite(const char* key, const char* defaultPath) {
  const char* path = conf_getstr(gTable.global, key, defaultPath);
  if (!path || !path[0]) return nullptr;
  for (Sprite& s : SPRITES)
    if (s.inUse && std::strncmp(s.name, path, SPR_NAME_SIZE - 1) == 0) return &s;
  return nullptr;
}

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
  d.radius = conf_getdouble(gTable.global, "ball.radius", 3.0);
  d.noaccel = 1;
  strFormatN(key, sizeof key, "tubes.%s_lmask", t.side);
  int lmask = conf_getint(gTable.rules, key, 1);
  Sprite* ball = sessionSprite("ball.sprite", "data/ball.gsp");
  Sprite* shadow = sessionSprite("ball.shadow_sprite", "data/ballshadow.gsp");
  if (!CREATE_BALL(&d, ball, shadow, lmask)) logDebug(1, "at %s", "CREATE_BALL()");
}
