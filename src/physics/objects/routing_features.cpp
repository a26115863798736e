// Routing objects, second part: the objects that open and close lanes and
// report passages to the rules: blockers, tunnels, the spring door, mission
// points and the mausoleum.
#include <climits>
#include <cstdlib>

#include "anim/lights.h"
#include "anim/title.h"
#include "core/conf.h"
#include "core/log.h"
#include "game/game.h"
#include "game/mission.h"
#include "game/mode.h"
#include "game/score.h"
#include "game/stats.h"
#include "game/trigger.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "physics/objects/routing_internal.h"
#include "physics/table.h"
#include "sound/fx.h"

// ---- Blocker ----

namespace {

enum { BLOCKER_DOWN = 0, BLOCKER_RISING = 1, BLOCKER_UP = 2, BLOCKER_LOWERING = 3, BLOCKER_PLACES = 2 };
enum { BLOCKER_UP_LAYER = 4, BLOCKER_DOWN_LAYER = 0 };

struct BlockerParms {
  Sprite* sprite;
  VBOBJ* inst;
  int state, frame;
  double time;
  int place, upDelay, downDelay;
};

BlockerParms* gBlockers[BLOCKER_PLACES];

int blockerHandler(BoardObject* o, BoardEvent* e) {
  const char* fn = "blocker_handler()";
  auto* p = static_cast<BlockerParms*>(o->parms);
  if (!p) return 0;
  switch (e->type) {
    case BE_KILL:
      if (gBlockers[p->place] == p) gBlockers[p->place] = nullptr;
      objKill(o, p->inst);
      break;
    case BE_FRAME: {
      if (!p->inst) return objVboMissing(fn, o);
      double now = tableNow();
      int last = objFrames(p->sprite) - 1;
      if (p->state == BLOCKER_RISING && now - p->time >= p->upDelay) {
        p->time = now;
        if (p->frame < last) p->frame++;
        if (p->frame >= last) {
          p->state = BLOCKER_UP;
          vbSetLayer(p->inst, BLOCKER_UP_LAYER);
        }
      } else if (p->state == BLOCKER_LOWERING && now - p->time >= p->downDelay) {
        p->time = now;
        if (p->frame > 0) p->frame--;
        if (p->frame <= 0) {
          p->state = BLOCKER_DOWN;
          lightSet(p->place, 1);
          vbSetLayer(p->inst, BLOCKER_DOWN_LAYER);
        }
      }
      vbSetFrame(p->inst, p->frame);
      break;
    }
    case BE_HIT:
      // A lowered blocker lets the ball pass.
      if (p->state != BLOCKER_DOWN && objLiveBall(e->other)) BOUNCE_SHAPE(e, o, e->other);
      break;
    default:
      break;
  }
  return 0;
}

void lower(BlockerParms* p) {
  p->state = BLOCKER_LOWERING;
  p->time = tableNow();
}

}  // namespace

void blockersReset() {
  for (auto& b : gBlockers) b = nullptr;
}

void BLOCKER_CONTROL_UP(int place) {
  if (place < 0 || place >= BLOCKER_PLACES) {
    logError(0, "%s: invalid place (%d, max %d)", "BLOCKER_CONTROL_UP()", place, BLOCKER_PLACES - 1);
    return;
  }
  BlockerParms* p = gBlockers[place];
  if (!p || p->state != BLOCKER_DOWN) return;
  p->state = BLOCKER_RISING;
  p->time = tableNow();
  lightSet(place, 0);
}

void BLOCKER_CONTROL_DOWN(int place) {
  if (place < 0 || place >= BLOCKER_PLACES) {
    logError(0, "%s: invalid place (%d, max %d)", "BLOCKER_CONTROL_DOWN()", place, BLOCKER_PLACES - 1);
    return;
  }
  BlockerParms* p = gBlockers[place];
  if (p && p->state == BLOCKER_UP) lower(p);
}

// A blocker still rising when the ball is lost goes down as well, so that
// the next ball does not find it up.
void blockersBallLost() {
  for (BlockerParms* p : gBlockers)
    if (p && (p->state == BLOCKER_UP || p->state == BLOCKER_RISING)) lower(p);
}

int blockerState(int place) {
  if (place < 0 || place >= BLOCKER_PLACES || !gBlockers[place]) return -1;
  return gBlockers[place]->state;
}

int blocker_reader(int, int layer, Outline* outline) {
  ObjReader r;
  auto* p = objReaderStart<BlockerParms>(&r, "blocker_reader()", FAM_BLOCKER, layer, outline);
  if (!p) return 0;
  if (!objReaderPlaceUpTo(&r, BLOCKER_PLACES - 1, &p->place)) return objReaderAbandon(&r);
  if (!(p->sprite = objReaderSprite(&r, "sprite"))) return objReaderAbandon(&r);
  p->upDelay = OPR_INT(outline, "up_delay", 10);
  p->downDelay = OPR_INT(outline, "down_delay", 10);
  BoardObject* o = objReaderAddShape(&r, blockerHandler, FAM_BLOCKER, objReaderElasticity(&r), 0);
  if (!o) return objReaderAbandon(&r);
  p->inst = objReaderInstance(&r, p->sprite, 0, BLOCKER_DOWN_LAYER);
  objReaderFinish(&r, o);
  gBlockers[p->place] = p;
  objReaderNote(&r, "place-%d sprite-'%s'", p->place, p->sprite->name);
  return 1;
}

// ---- Tunnel ----

namespace {

struct TunnelParms {
  int debug;
  int place;
};

// The running mission's event for a tunnel place.
struct TunnelMission {
  int mission, place, event;
};
constexpr TunnelMission kTunnelMissions[] = {
    {1, 4, 11},  {2, 22, 33}, {3, 8, 30},  {4, 5, 28},  {4, 4, 27},  {5, 1, 24},  {5, 2, 25},
    {5, 4, 27},  {5, 5, 28},  {5, 7, 29},  {5, 8, 30},  {6, 4, 27},  {7, 1, 24},  {7, 2, 25},
    {7, 7, 29},  {8, 1, 24},  {8, 2, 25},
    {8, 4, 27},  {9, 5, 28},  {9, 7, 29},  {9, 8, 30},
};

// What a passage of each place reports; mode 0 sends no mode event.
struct TunnelPlace {
  int place;
  const char* sample;
  int mode, event, withBall;
};
constexpr TunnelPlace kTunnelPlaces[] = {
    {1, "hit:t1", 0, 0, 0},          {2, "hit:t2", 8, 25, 0},          {3, "hit:t3", 3, 26, 1},
    {4, "hit:t_yes", 9, 27, 0},      {5, "hit:t_no", 0, 0, 0},         {6, "hit:t6", 0, 0, 0},
    {7, "hit:t7", 8, 29, 0},         {8, "hit:t8", 7, 30, 0},          {9, "hit:krem_left", 10, 31, 0},
    {10, "hit:krem_right", 10, 32, 0},
};

void tunnelPassage(int place, BoardObject* ball) {
  int mission = missionCurrent();
  for (const auto& m : kTunnelMissions)
    if (m.mission == mission && m.place == place) missionEvent(m.event, 0, 0);
  for (const auto& t : kTunnelPlaces) {
    if (t.place != place) continue;
    gstatSample(t.sample);
    if (t.mode) modeEvent(t.mode, t.event, 0, t.withBall ? ball : nullptr);
  }
}

int tunnelHandler(BoardObject* o, BoardEvent* e) {
  const char* fn = "tunnel_handler()";
  auto* p = static_cast<TunnelParms*>(o->parms);
  if (!p) return 0;
  if (e->type == BE_KILL) return objKill(o, nullptr);
  if (!objLiveBall(e->other)) return 0;
  if (e->type == BE_UNHIT) {
    if (p->debug) logPrint("%s: %d UNHIT, place-%d", fn, o->id, p->place);
    return 0;
  }
  if (e->type != BE_HIT) return 0;
  if (p->debug) logPrint("%s: %d HIT, place-%d", fn, o->id, p->place);
  // The yes and no lanes count only balls going up the table.
  if ((p->place == 4 || p->place == 5) && e->other->u.ball.velo.y >= 0) return 0;
  tunnelPassage(p->place, e->other);
  return 0;
}

}  // namespace

int tunnel_reader(int, int layer, Outline* outline) {
  ObjReader r;
  auto* p = objReaderStart<TunnelParms>(&r, "tunnel_reader()", FAM_TUNNEL, layer, outline);
  if (!p) return 0;
  p->debug = OPR_INT(outline, "debug", 0);
  p->place = OPR_INT(outline, "place", INT_MIN);
  if (p->place == INT_MIN) return objReaderFail(&r, "place is not defined");
  BoardObject* o = objReaderAddShape(&r, tunnelHandler, FAM_TUNNEL, gTable.globalK, 0);
  if (!o) return objReaderAbandon(&r);
  objReaderFinish(&r, o);
  objReaderNote(&r, "place %d", p->place);
  return 1;
}

// ---- Spring door ----

namespace {

enum { DOOR_CLOSING = -1, DOOR_CLOSED = 0, DOOR_OPENING = 1, DOOR_LAYER = 4 };

struct SprdoorParms {
  Sprite* sprite;
  VBOBJ* inst;
  Vec3 axis;
  int state;
  double frame;
  int side;  // of the last contact
};

// Set on a lost ball: the next ball through the door is a new ball.
int gSprdoorRearm = 1;

void sprdoorBallIn() {
  playTableSample(SI_SPRDOOR);
  double credit;
  if (gSprdoorRearm) {
    gSprdoorRearm = 0;
    MUSIC_TRIGGER(TR_BALL_IN);
    credit = routingConfNumber(gTable.global, "ball.newball_credit", 10);
  } else {
    credit = routingConfNumber(gTable.global, "ball.oldball_credit", 2);
  }
  gameRaiseSaveTime(credit);
  modeEvent(1, MEVT_BEGIN, 0, nullptr);
}

int sprdoorHandler(BoardObject* o, BoardEvent* e) {
  auto* p = static_cast<SprdoorParms*>(o->parms);
  if (!p) return 0;
  switch (e->type) {
    case BE_KILL:
      objKill(o, p->inst);
      break;
    case BE_FRAME: {
      double last = objFrames(p->sprite) - 1;
      if (p->state == DOOR_OPENING) {
        p->frame += e->dt;
        if (p->frame >= last) {
          p->frame = last;
          p->state = DOOR_CLOSING;
        }
      } else if (p->state == DOOR_CLOSING) {
        p->frame -= e->dt;
        if (p->frame <= 0) {
          p->frame = 0;
          p->state = DOOR_CLOSED;
        }
      }
      if (p->inst) vbSetFrame(p->inst, static_cast<int>(p->frame));
      break;
    }
    case BE_HIT:
      if (!objLiveBall(e->other)) break;
      p->side = routingSide(p->axis, o->u.shape.outline.pos, e->other->u.ball.pos);
      if (p->side == SIDE_LEFT)
        p->state = DOOR_OPENING;
      else
        BOUNCE_SHAPE(e, o, e->other);  // closed to balls from the other side
      break;
    case BE_UNHIT:
      if (!objLiveBall(e->other)) break;
      p->side = routingSide(p->axis, o->u.shape.outline.pos, e->other->u.ball.pos);
      if (p->side == SIDE_RIGHT && p->state == DOOR_OPENING && e->other->u.ball.velo.y < 0) sprdoorBallIn();
      break;
    default:
      break;
  }
  return 0;
}

}  // namespace

void sprdoorReset() { gSprdoorRearm = 1; }
void sprdoorRearm() { gSprdoorRearm = 1; }
int sprdoorRearmed() { return gSprdoorRearm; }

int sprdoor_reader(int, int layer, Outline* outline) {
  ObjReader r;
  auto* p = objReaderStart<SprdoorParms>(&r, "sprdoor_reader()", FAM_SPRDOOR, layer, outline);
  if (!p) return 0;
  if (!(p->sprite = objReaderSprite(&r, "sprite"))) return objReaderAbandon(&r);
  p->axis = routingAxis(outline);
  BoardObject* o = objReaderAddShape(&r, sprdoorHandler, FAM_SPRDOOR, objReaderElasticity(&r), 0);
  if (!o) return objReaderAbandon(&r);
  p->inst = objReaderInstance(&r, p->sprite, 0, DOOR_LAYER);
  objReaderFinish(&r, o);
  objReaderNote(&r, "sprite-'%s'", p->sprite->name);
  return 1;
}

// ---- Mission point ----

namespace {

enum { MPOINT_PLACES = 32 };

int mpointHandler(BoardObject* o, BoardEvent* e) {
  if (e->type != BE_HIT || !objLiveBall(e->other)) return 0;
  int place = o->user2;
  if (missionPointReady(place)) {
    modeEvent(1, MEVT_COMPLETE, 0, nullptr);
    missionPointSelect(place);
  }
  return 0;
}

}  // namespace

int mpoint_reader(int, int layer, Outline* outline) {
  ObjReader r;
  if (!objReaderBegin(&r, "mpoint_reader()", FAM_MPOINT, layer, outline)) return 0;
  // The place is all a mission point has; it lives in the second user value.
  int place;
  if (!objReaderPlaceUpTo(&r, MPOINT_PLACES - 1, &place)) return 0;
  BoardObject* o = objReaderAddShape(&r, mpointHandler, FAM_MPOINT, gTable.globalK, 0, place);
  if (!o) return 0;
  objReaderFinish(&r, o);
  objReaderNote(&r, "place %d", place);
  return 1;
}

// ---- Mausoleum ----

namespace {

// "PETROVSKAYA / PREMIYA" in Windows-1251: the mausoleum prize's two-line
// name, broken with the page markup's line break (backslash, n).
constexpr const char* kMumraPrizeName = "\xCF\xC5\xD2\xD0\xCE\xC2\xD1\xCA\xC0\xDF\\n\xCF\xD0\xC5\xCC\xC8\xDF";

// The mausoleum sequence starts again: the count goes back to zero and the
// flaps rise.
void mavzPrizeTitleEnd() {
  gameSetMumra(0);
  mflapRequestRise();
}

int mavzHandler(BoardObject* o, BoardEvent* e) {
  if (e->type != BE_HIT || o->disabled || !objLiveBall(e->other)) return 0;
  gstatSample("evt:mumra_prize");
  int value = routingBigScore("mumra_prize.value");
  titleSetMacro("prize_text", kMumraPrizeName);
  titleSetMacro("prize_value", scoreFormat(value));
  int title = startForeTitle("prize");
  scoreAddBig(value);
  o->disabled = 1;
  // Runs the next step at once when no title plays (titles not loaded).
  titleEndCallbackOrNow(title, mavzPrizeTitleEnd);
  return 0;
}

}  // namespace

int mavz_reader(int, int layer, Outline* outline) {
  ObjReader r;
  if (!objReaderBegin(&r, "mavz_reader()", FAM_MAVZ, layer, outline)) return 0;
  BoardObject* o = objReaderAddShape(&r, mavzHandler, FAM_MAVZ, gTable.globalK, 0);
  if (!o) return 0;
  objReaderFinish(&r, o);
  // The rules enable it once the mausoleum word is complete.
  o->disabled = 1;
  logPrint("%s, object (%d,%d)", r.fn, r.x, r.y);
  return 1;
}
