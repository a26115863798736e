#include "physics/ball.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/conf.h"
#include "core/log.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "physics/table.h"
#include "physics/track.h"
#include "platform/gdev.h"

namespace {

GdevDC* gBallScreen = nullptr;

constexpr double kTableW = 800, kTableH = 600;

const BoardParams* params() {
  static const BoardParams kDefault = {0.2, 1.0, 0.2};
  Board* b = boardActive();
  return b && b->params ? b->params : &kDefault;
}

int highestLayer(int lmask) {
  for (int l = 7; l >= 0; l--)
    if (lmask & (1 << l)) return l;
  return 0;
}

// Puts a ball on its track at trackpos; off the track beyond either end.
void followTrack(BallData* b) {
  TrackVec p, v;
  int on = TRACK_POINT_VELO(b->track, b->trackpos, b->trackvelo, &p, &v);
  b->pos.x = p.x;
  b->pos.y = p.y;
  b->velo = Vec3{v.x, v.y, 0};
  if (!on) b->track = nullptr;
}

void drawBall(BoardObject* o, BallParms* p) {
  BallData* b = &o->u.ball;
  const PerspKeys& k = gTable.persp;
  int layer = highestLayer(o->lmask);
  double Z = SURFACE_HEIGHT(layer, b->pos.x, b->pos.y) + k.dz + p->jumpHeight;
  double sx = PERSP_X(b->pos.x, b->pos.y, Z);
  double sy = PERSP_Y(b->pos.y, Z);
  double depth = PERSP_DEPTH(b->pos.y, Z);
  // Projected size of the ball: a segment of ballsize table units at the ball.
  double half = k.ballsize / 2.0;
  double width = PERSP_X(b->pos.x + half, b->pos.y, 0) - PERSP_X(b->pos.x - half, b->pos.y, 0);
  // DELIBERATE: without a view (not set up yet) the projection would give
  // NaN positions; then, or far outside the view, there is nothing to draw.
  const double kLimit = 1e6;
  if (!(std::fabs(sx) < kLimit && std::fabs(sy) < kLimit && std::fabs(depth) < kLimit && std::fabs(width) < kLimit))
    return;
  int size = static_cast<int>(width);
  for (VBOBJ* inst : {p->sprite, p->sprite2}) {
    if (!inst || !inst->sprite || inst->sprite->numfrms <= 0) continue;
    const Sprite* s = p->sprite && p->sprite->sprite ? p->sprite->sprite : inst->sprite;
    int w = s->frames[0].width, h = s->frames[0].height;
    int frame = ballFrame(size, sx, sy, w, h, s->numfrms, p->subpixel, p->dframe);
    int x = static_cast<int>(std::floor(sx - w / 2.0)) + k.dx;
    int y = static_cast<int>(std::floor(sy - h / 2.0)) + k.dy;
    vbSetXYZ(inst, x, y, static_cast<int>(depth - b->radius) + k.ddepth);
    vbSetFrame(inst, frame);
  }
  if (gBallScreen) {
    int x = static_cast<int>(b->pos.x), y = static_cast<int>(b->pos.y);
    if (x >= 0 && y >= 0 && x < gBallScreen->width && y < gBallScreen->height)
      gdevWritePixel(gBallScreen, x, y, 0xFFFFFFFFu);
  }
}

void frame(BoardObject* o, double dt) {
  BallData* b = &o->u.ball;
  BallParms* p = static_cast<BallParms*>(o->parms);
  const BoardParams* bp = params();
  if (!b->noaccel) {
    if (b->track) {
      TrackVec pt, dir;
      TRACK_POINT_VELO(b->track, b->trackpos, 1.0, &pt, &dir);
      double len = std::sqrt(dir.x * dir.x + dir.y * dir.y + dir.z * dir.z);
      double uy = len > 0 ? dir.y / len : 0;
      b->trackvelo += bp->gravity * dt * uy;
      if (!b->noair) b->trackvelo *= std::pow(bp->airFactor, dt);
    } else {
      b->velo.y += bp->gravity * dt;
      if (!b->noair) {
        double a = std::pow(bp->airFactor, dt);
        b->velo.x *= a;
        b->velo.y *= a;
      }
    }
  }
  if (p) {
    if (b->track) {
      if (std::fabs(b->trackvelo) > p->maxvelo) b->trackvelo = b->trackvelo < 0 ? -p->maxvelo : p->maxvelo;
    } else if (vLenXY(b->velo) > p->maxvelo) {
      b->velo = vSetLenXY(b->velo, p->maxvelo);
    }
    if (p->jumping) ballJumpStep(&p->jumpHeight, &p->jumpVelo, &p->jumping, bp->hmGravity, p->hmK, dt);
    b->pos.z = p->jumpHeight;
    drawBall(o, p);
  }
}

}  // namespace

double ballRadius(ConfSet* global) {
  switch (conf_gettype(global, "ball.radius")) {
    case CONF_INT: return conf_getint(global, "ball.radius", 0);
    case CONF_DOUBLE: return conf_getdouble(global, "ball.radius", 3.0);
    default: return 3.0;
  }
}

namespace {

Sprite* loadedSprite(const char* path) {
  if (!path || !path[0]) return nullptr;
  for (Sprite& s : SPRITES)
    if (s.inUse && std::strncmp(s.name, path, SPR_NAME_SIZE - 1) == 0) return &s;
  return nullptr;
}

}  // namespace

void ballSessionSprites(Sprite** ball, Sprite** shadow) {
  *ball = loadedSprite(conf_getstr(gTable.global, "ball.sprite", "data/ball.gsp"));
  *shadow = loadedSprite(conf_getstr(gTable.global, "ball.shadow_sprite", "data/ballshadow.gsp"));
}

void ballNewBallData(ConfSet* global, double f, int credited, BallData* data, int* lmask) {
  *data = BallData{};
  data->pos = Vec3{static_cast<double>(conf_getint(global, "ball.newball_x", 300)),
                   static_cast<double>(conf_getint(global, "ball.newball_y", 300)), 0};
  data->radius = ballRadius(global);
  data->noaccel = conf_getint(global, "ball.newball_noaccel", 0);
  const char* track = conf_getstr(global, "ball.newball_track", "");
  if (track && track[0]) {
    data->track = trackFromFile(track);
    data->trackpos = conf_getdouble(global, "ball.newball_trackpos", 0.0);
    const char* key = credited ? "ball.newball_credit_trackvelo" : "ball.newball_trackvelo";
    data->trackvelo = conf_getdouble(global, key, 0.0) * f;
  }
  *lmask = conf_getint(global, "ball.newball_lmask", 1);
}

int ballLeaveTrigger(double x) {
  if (x < 270) return BALL_LEAVE_DUMA;
  if (x < 540) return BALL_LEAVE_CENTER;
  return BALL_LEAVE_GASPROM;
}

void ballJumpStep(double* height, double* velo, int* jumping, double hmGravity, double hmK, double dt) {
  *velo -= hmGravity * dt;
  *height += *velo * dt;
  if (*height < 0) {
    double old = *velo;
    double nv = -hmK * old;
    *height = old != 0 ? std::fabs(*height / old) * nv : 0;
    *velo = nv;
    if (nv < 0.3) {
      *height = 0;
      *velo = 0;
      *jumping = 0;
    }
  }
}

int ballFrame(int size, double sx, double sy, int w, int h, int frameCount, int subpixel, int dframe) {
  int offset = 0;
  if (subpixel >= 2) {
    double fx = sx - w / 2 + 100, fy = sy - h / 2 + 100;
    int a = static_cast<int>((fx - std::floor(fx)) * subpixel);
    int b = static_cast<int>((fy - std::floor(fy)) * subpixel);
    if (a >= subpixel) a = subpixel - 1;
    if (b >= subpixel) b = subpixel - 1;
    offset = frameCount / (subpixel * subpixel) * (subpixel * b + a);
  }
  return size + offset - dframe;
}

int ballHandler(BoardObject* o, BoardEvent* e) {
  BallData* b = &o->u.ball;
  BallParms* p = static_cast<BallParms*>(o->parms);
  switch (e->type) {
    case BE_KILL:
      if (p) {
        if (p->sprite) vbDelObject(p->sprite);
        if (p->sprite2) vbDelObject(p->sprite2);
        std::free(p);
        o->parms = nullptr;
      }
      break;
    case BE_MOVE:
      if (b->track) {
        b->trackpos += e->dt * b->trackvelo;
        // Off either end the ball leaves the track with its track speed
        // along the last segment.
        followTrack(b);
      } else {
        b->pos.x += b->velo.x * e->dt;
        b->pos.y += b->velo.y * e->dt;
        if (!o->kill && (b->pos.x < 0 || b->pos.x > kTableW || b->pos.y < 0 || b->pos.y > kTableH)) {
          o->kill = 1;
          if (gTable.leaveTable) gTable.leaveTable(ballLeaveTrigger(b->pos.x));
        }
      }
      break;
    case BE_HIT:
      if (e->other && e->other->kind == BK_BALL) {
        BOUNCE_BALL(e, o, e->other);
        if (b->track) followTrack(b);
      }
      break;
    case BE_FRAME:
      frame(o, e->dt);
      break;
    default:
      break;
  }
  return 0;
}

BallParms* ballParms(BoardObject* ball) {
  if (!ball || ball->kind != BK_BALL || ball->handler != ballHandler) return nullptr;
  return static_cast<BallParms*>(ball->parms);
}

BoardObject* CREATE_BALL(const BallData* data, Sprite* ball, Sprite* second, int lmask) {
  const char* fn = "CREATE_BALL()";
  auto* p = static_cast<BallParms*>(std::calloc(1, sizeof(BallParms)));
  if (!p) {
    logError(0, "%s: not enough memory for ball parms (%d bytes)", fn, static_cast<int>(sizeof(BallParms)));
    return nullptr;
  }
  if (ball && (p->sprite = vbAddObject(ball, 0, -100, -100))) {
    vbSetLayer(p->sprite, 3);
    p->sprite->zFlag = 1;
  }
  if (second && (p->sprite2 = vbAddObject(second, 0, -100, -100))) {
    vbSetLayer(p->sprite2, 0);
    p->sprite2->zFlag = 1;
  }
  ConfSet* g = gTable.global;
  p->maxvelo = conf_getdouble(g, "ball.maxvelo", 40.0) * gTable.f;
  p->jumping = conf_getint(g, "ball.hm_jump", 1);
  p->jumpHeight = conf_getdouble(g, "ball.hm_delta", 0.0);
  p->jumpVelo = 0;
  p->hmK = conf_getdouble(g, "ball.hm_k", 0.3);
  p->dframe = conf_getint(g, "ball.dframe", 0);
  p->subpixel = conf_getint(g, "ball.subpixel", 1);
  BoardObject* o = BOARD_ADDBALL_EX(ballHandler, 0, data, 0, p);
  if (!o) {
    if (p->sprite) vbDelObject(p->sprite);
    if (p->sprite2) vbDelObject(p->sprite2);
    std::free(p);
    return nullptr;
  }
  o->lmask = lmask;
  return o;
}

int ballScrCreate() {
  ballScrFree();
  gscr* s = gsCurrent;
  int w = s ? s->width : 800, h = s ? s->height : 600, bpp = s ? s->bpp : 32;
  gBallScreen = gdevCreateMemoryDC(w, h, bpp, s ? &s->pixelFormat : gdevDefaultFormat(bpp));
  if (!gBallScreen)
    return logError(0, "%s: unable to create ball screen DC (%dx%dx%dbpp)", "ballScrCreate()", w, h, bpp);
  return 1;
}

void ballScrFree() {
  if (gBallScreen) gdevDestroyDC(gBallScreen);
  gBallScreen = nullptr;
}

GdevDC* ballScreen() { return gBallScreen; }
