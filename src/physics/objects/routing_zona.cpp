// The prison-zone magnet ("zona"): one table-wide state machine, "gameZona",
// driven by the rules through ZONA_CONTROL and by the zona object's
// handler. The magnet opens, pulls a captured ball to its magnet point,
// lifts it away (the player gets a free ball meanwhile), holds the prisoner
// on a track until the rules release it, puts it back on the table and
// closes again. Each state plays one two-part animation (a front sprite and
// a back sprite) one frame per delay of the game clock.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "anim/lights.h"
#include "anim/title.h"
#include "core/log.h"
#include "core/text.h"
#include "game/game.h"
#include "core/nproc.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "physics/ball.h"
#include "physics/objects/routing_internal.h"
#include "physics/table.h"
#include "physics/track.h"

namespace {

enum ZonaState {
  ZONA_CLOSE_WAIT = 0,
  ZONA_CLOSING = 1,
  ZONA_CAPTURE_MAGNET = 2,
  ZONA_OPENING = 3,
  ZONA_LIFTING = 4,
  ZONA_RELEASE_WAIT = ZONA_STATE_RELEASE_WAIT,
  ZONA_RELEASING = 6,
  ZONA_RELEASE_GODOWN = 7,
};

static_assert(int{ZONA_CLOSE_WAIT} == int{GAME_ZONA_CLOSED} && int{ZONA_CAPTURE_MAGNET} == int{GAME_ZONA_MAGNET} &&
                  int{ZONA_OPENING} == int{GAME_ZONA_OPENING} && int{ZONA_RELEASE_WAIT} == int{GAME_ZONA_PRISONER},
              "the rules read the zone's states by these numbers");

enum { ANIM_UP1, ANIM_UP2, ANIM_UP3, ANIM_DOWN1, ANIM_DOWN2, ZONA_ANIMS };
const char* const kAnimKey[ZONA_ANIMS] = {"up1", "up2", "up3", "down1", "down2"};
enum { ZONA_FRONT_LAYER = 4, ZONA_BACK_LAYER = 2 };

struct ZonaAnim {
  Sprite* front;
  Sprite* back;
};

struct ZonaParms {
  ZonaAnim anim[ZONA_ANIMS];
  VBOBJ* front;
  VBOBJ* back;
  Track* track;
  int delay[ZONA_ANIMS];
  int ballLayer;
  double minvelo, mindist, friction, gravity;
  double trackpos, trackvelo, trackendpos;
  double upX, upY, downX, downY;
  double releaseX, releaseY, releaseAngle, releaseLength;
};

struct Zona {
  int state;
  int anim, frame;
  double time;  // of the last command or animation step
  BoardObject* object;
  ZonaParms* parms;
  BoardObject* captured;
  BoardObject* releaseBall;
  int releaseMade;
};

Zona gZona;

constexpr double kPi = 3.141592653589793;

int frameCount(int anim) {
  const ZonaParms* p = gZona.parms;
  const Sprite* s = p ? p->anim[anim].front : nullptr;
  return s && s->numfrms > 0 ? s->numfrms : 1;
}

void show() {
  ZonaParms* p = gZona.parms;
  if (!p) return;
  const ZonaAnim& a = p->anim[gZona.anim];
  if (p->front) {
    if (p->front->sprite != a.front) vbSetSprite(p->front, a.front);
    vbSetFrame(p->front, gZona.frame);
  }
  if (p->back) {
    if (p->back->sprite != a.back) vbSetSprite(p->back, a.back);
    vbSetFrame(p->back, gZona.frame);
  }
}

void enter(int state) {
  gZona.state = state;
  gZona.time = tableNow();
  switch (state) {
    case ZONA_CLOSE_WAIT:
      gZona.anim = ANIM_UP1;
      gZona.frame = 0;
      // The objects that share the zona's path work again once it is shut.
      ZONA_ENABLE_ASSOCIATED(1);
      break;
    case ZONA_OPENING:
      gZona.anim = ANIM_UP1;
      gZona.frame = 0;
      ZONA_ENABLE_ASSOCIATED(0);
      break;
    case ZONA_CAPTURE_MAGNET: gZona.anim = ANIM_UP2; gZona.frame = 0; break;
    case ZONA_LIFTING:
      gZona.anim = ANIM_UP3;
      gZona.frame = 0;
      gZona.releaseMade = 0;
      break;
    case ZONA_RELEASE_WAIT: gZona.anim = ANIM_UP1; gZona.frame = 0; break;
    case ZONA_RELEASING: gZona.anim = ANIM_DOWN1; gZona.frame = 0; break;
    case ZONA_RELEASE_GODOWN: gZona.anim = ANIM_DOWN2; gZona.frame = 0; break;
    case ZONA_CLOSING:
      gZona.anim = ANIM_UP1;
      gZona.frame = frameCount(ANIM_UP1) - 1;
      break;
    default: break;
  }
  show();
}

// The prisoner rides the zona's track while it is held.
void createReleaseBall(const ZonaParms* p) {
  BallData d{};
  d.track = p->track;
  d.trackpos = p->trackpos;
  d.trackvelo = p->trackvelo;
  d.noaccel = 1;
  gZona.releaseBall = routingCreateBall(&d, 1 << p->ballLayer);
  gZona.releaseMade = 1;
  tableRequestBall(1);
}

void createFinalBall(const ZonaParms* p) {
  BallData d{};
  double a = p->releaseAngle * kPi / 180.0;
  d.pos = Vec3{p->releaseX, p->releaseY, 0};
  d.velo = Vec3{p->releaseLength * std::cos(a), p->releaseLength * std::sin(a), 0};
  routingCreateBall(&d, 1);
}

// Draws the captured ball to the magnet point; close enough and slow
// enough, it is taken off the table and lifted.
void pull(const ZonaParms* p) {
  BoardObject* ball = gZona.captured;
  if (!ball) return;
  BallData* b = &ball->u.ball;
  Vec3 to{p->upX - b->pos.x, p->upY - b->pos.y, 0};
  double d = vLenXY(to);
  if (d < 1) d = 1;
  if (vLenXY(b->velo) > p->minvelo || d > p->mindist) {
    Vec3 v = vScale(b->velo, p->friction);
    b->velo = Vec3{v.x + p->gravity * to.x / d, v.y + p->gravity * to.y / d, b->velo.z};
    return;
  }
  ball->kill = 1;
  gZona.captured = nullptr;
  enter(ZONA_LIFTING);
}

int stateDelay(const ZonaParms* p, int state) {
  switch (state) {
    case ZONA_OPENING: return p->delay[ANIM_UP1];
    case ZONA_CAPTURE_MAGNET: return p->delay[ANIM_UP2];
    case ZONA_LIFTING:
    case ZONA_RELEASE_GODOWN: return p->delay[ANIM_UP3];
    case ZONA_RELEASING:
    case ZONA_CLOSING: return p->delay[ANIM_DOWN1];
    default: return -1;  // no animation runs
  }
}

void animate(const ZonaParms* p) {
  int last = frameCount(gZona.anim) - 1;
  switch (gZona.state) {
    case ZONA_OPENING:
      if (gZona.frame < last)
        gZona.frame++;
      else
        enter(ZONA_CAPTURE_MAGNET);
      break;
    case ZONA_CAPTURE_MAGNET:
    case ZONA_RELEASING: gZona.frame = (gZona.frame + 1) % (last + 1); break;
    case ZONA_LIFTING:
      if (gZona.frame < last)
        gZona.frame++;
      else
        enter(ZONA_RELEASE_WAIT);
      break;
    case ZONA_RELEASE_GODOWN:
      if (gZona.frame < last) {
        gZona.frame++;
      } else {
        createFinalBall(p);
        lightSet(LI_AMNESTY, 0);
        enter(ZONA_CLOSING);
      }
      break;
    case ZONA_CLOSING:
      if (gZona.frame > 0) gZona.frame--;
      if (gZona.frame <= 0) enter(ZONA_CLOSE_WAIT);
      break;
    default: break;
  }
}

void zonaFrame(const ZonaParms* p) {
  const char* fn = "zona_handler()";
  if (gZona.captured && !objLiveBall(gZona.captured)) {
    logPrint("%s: captured ball deleted - clearing", fn);
    gZona.captured = nullptr;
  }
  if (gZona.state == ZONA_CAPTURE_MAGNET) pull(p);
  if (gZona.state == ZONA_RELEASING) {
    BoardObject* ball = gZona.releaseBall;
    if (!objLiveBall(ball)) {
      logPrint("%s: release ball deleted - clearing", fn);
      gZona.releaseBall = nullptr;
      enter(ZONA_RELEASE_GODOWN);
    } else if (!ball->u.ball.track || ball->u.ball.trackpos >= p->trackendpos) {
      ball->kill = 1;
      gZona.releaseBall = nullptr;
      enter(ZONA_RELEASE_GODOWN);
    }
  }
  int delay = stateDelay(p, gZona.state);
  double now = tableNow();
  if (delay >= 0 && now - gZona.time >= delay) {
    gZona.time = now;
    animate(p);
  }
  // Two frames before the lift ends the prisoner appears on its track.
  if (gZona.state == ZONA_LIFTING && !gZona.releaseMade && gZona.frame >= frameCount(ANIM_UP3) - 2)
    createReleaseBall(p);
  show();
}

int zonaHandler(BoardObject* o, BoardEvent* e) {
  auto* p = static_cast<ZonaParms*>(o->parms);
  if (!p) return 0;
  switch (e->type) {
    case BE_KILL:
      if (gZona.object == o) {
        gZona.object = nullptr;
        gZona.parms = nullptr;
      }
      vbDelObject(p->front);
      objKill(o, p->back);
      break;
    case BE_FRAME:
      if (gZona.object == o) zonaFrame(p);
      break;
    case BE_HIT:
      if (game.zonaCapture && objLiveBall(e->other)) gZona.captured = e->other;
      break;
    case BE_UNHIT:
      if (gZona.captured == e->other) gZona.captured = nullptr;
      break;
    default:
      break;
  }
  return 0;
}

// The tunable keys (everything but the sprites and the track).
void zonaSoftConfig(const Outline* o, ZonaParms* p) {
  char k[32];
  for (int i = 0; i < ZONA_ANIMS; i++) {
    strFormatN(k, sizeof k, "%s_delay", kAnimKey[i]);
    p->delay[i] = OPR_INT(o, k, 50);
  }
  p->ballLayer = OPR_INT(o, "ball_layer", 0);
  // A layer outside the table's eight would shift the ball's lmask out of range.
  if (p->ballLayer < 0 || p->ballLayer >= TABLE_LAYERS) p->ballLayer = 0;
  p->minvelo = OPR_REAL(o, "minvelo", 0.2);
  p->mindist = OPR_REAL(o, "mindist", 2.0);
  p->friction = OPR_REAL(o, "friction", 0.9);
  p->gravity = OPR_REAL(o, "gravity", 1.0);
  p->trackpos = OPR_REAL(o, "trackpos", 10);
  p->trackvelo = OPR_REAL(o, "trackvelo", 5);
  p->trackendpos = OPR_REAL(o, "trackendpos", 0);
  p->upX = OPR_REAL(o, "up_x", 100);
  p->upY = OPR_REAL(o, "up_y", 100);
  p->downX = OPR_REAL(o, "down_x", 100);
  p->downY = OPR_REAL(o, "down_y", 100);
  p->releaseX = OPR_REAL(o, "release_x", 100);
  p->releaseY = OPR_REAL(o, "release_y", 100);
  p->releaseAngle = OPR_REAL(o, "release_angle", 90);
  p->releaseLength = OPR_REAL(o, "release_length", 10);
}

void zonaReconf(int, Outline* outline, BoardObject* object) {
  objLogReconfigure("zona", outline);
  if (object->parms) zonaSoftConfig(outline, static_cast<ZonaParms*>(object->parms));
}

// "zona_gate": the ball goes out of the left tube.
int zonaGateProc(NamedProc*) {
  startForeTitle("pipes_t3");
  gameTubeBall(0);
  return 0;
}

}  // namespace

void zonaReset() { gZona = Zona{}; }

int zonaState() { return gZona.state; }

void ZONA_ENABLE_ASSOCIATED(int enable) {
  for (const char* name : {"xpam_gate", "xpam_portal"}) {
    if (enable)
      objEnable(name);
    else
      objDisable(name);
  }
}

void ZONA_CONTROL(int command) {
  const char* fn = "ZONA_CONTROL()";
  int s = gZona.state;
  switch (command) {
    case 0:
      if (s != ZONA_CLOSE_WAIT) {
        logError(0, "%s: gameZona is %d, not ZONA_CLOSE_WAIT, SE", fn, s);
        return;
      }
      enter(ZONA_OPENING);
      break;
    case 1:
      if (s != ZONA_CAPTURE_MAGNET) {
        logError(0, "%s: gameZona is %d, not ZONA_CAPTURE_MAGNET, SE", fn, s);
        return;
      }
      enter(ZONA_LIFTING);
      break;
    case 2:
      if (s != ZONA_RELEASE_WAIT) {
        logError(0, "%s: gameZona is %d, not ZONA_RELEASE_WAIT, SE", fn, s);
        return;
      }
      enter(ZONA_RELEASING);
      break;
    case 3:
      if (s != ZONA_CAPTURE_MAGNET && s != ZONA_RELEASE_GODOWN) {
        logError(0, "%s: gameZona is %d, not ZONA_CAPTURE_MAGNET|ZONA_RELEASE_GODOWN", fn, s);
        return;
      }
      enter(ZONA_CLOSING);
      break;
    default:
      logError(0, "%s: unknown command %d, SE", fn, command);
      break;
  }
}

int zona_reader(int, int layer, Outline* outline) {
  ObjReader r;
  auto* p = objReaderStart<ZonaParms>(&r, "zona_reader()", FAM_ZONA, layer, outline);
  if (!p) return 0;
  const char* track = OPR_STRING(outline, "track", "");
  if (!track[0]) return objReaderFail(&r, "'track' not defined");
  if (!(p->track = trackFromFile(track))) return objReaderFail(&r, "error loading track '%s'", track);
  // Each animation is a front and a back sprite: "<name>.gsp" and "<name>back.gsp".
  for (int i = 0; i < ZONA_ANIMS; i++) {
    char key[32], undef[32], path[256];
    strFormatN(key, sizeof key, "%s_sprite", kAnimKey[i]);
    strFormatN(undef, sizeof undef, "%s-undef", kAnimKey[i]);
    const char* name = OPR_STRING(outline, key, undef);
    strFormatN(path, sizeof path, "%s.gsp", name);
    if (!(p->anim[i].front = objReaderSpriteFile(&r, path))) return objReaderAbandon(&r);
    strFormatN(path, sizeof path, "%sback.gsp", name);
    if (!(p->anim[i].back = objReaderSpriteFile(&r, path))) return objReaderAbandon(&r);
  }
  zonaSoftConfig(outline, p);
  BoardObject* o = objReaderAddShape(&r, zonaHandler, FAM_ZONA, gTable.globalK, 0);
  if (!o) return objReaderAbandon(&r);
  p->front = objReaderInstance(&r, p->anim[ANIM_UP1].front, 0, ZONA_FRONT_LAYER);
  p->back = objReaderInstance(&r, p->anim[ANIM_UP1].back, 0, ZONA_BACK_LAYER);
  objReaderFinish(&r, o);
  objReaderDisabled(&r, o);
  OPR_ADD_RECONF(zonaReconf, layer, outline, o);
  gZona.object = o;
  gZona.parms = p;
  show();
  registerNamedProc("zona_gate", zonaGateProc);
  objReaderNote(&r, "layer-%d minvelo-%.2f mindist-%.2f friction-%.2f gravity-%.2f trackpos-%.2f trackvelo-%.2f",
                p->ballLayer, p->minvelo, p->mindist, p->friction, p->gravity, p->trackpos, p->trackvelo);
  return 1;
}
