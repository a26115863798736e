// Routing objects, first part: what the routing kinds share (sides, tracks,
// the balls objects create, the table-wide reset) and the directional
// passages: gates, gate2 and portals. A ball passes through these sensors:
// it gets BE_HIT when it enters the outline and BE_UNHIT when it leaves it,
// and the object acts on both according to the side the ball is on.
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/conf.h"
#include "core/log.h"
#include "core/text.h"
#include "game/game.h"
#include "core/nproc.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "physics/ball.h"
#include "physics/objects/objects.h"
#include "physics/objects/objects_reset.h"
#include "physics/opr.h"
#include "physics/objects/routing_internal.h"
#include "physics/table.h"
#include "physics/track.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = 3.141592653589793;

double angle0To2Pi(double y, double x) {
  double a = std::atan2(y, x);
  return a < 0 ? a + kTwoPi : a;
}

}  // namespace

// ---- Shared helpers ----

Vec3 routingAxis(const Outline* outline) {
  Vec3 axis{0, 0, 0};
  double best = -1;
  for (int i = 0; outline && outline->vertices && i < outline->n; i++) {
    const Vec3& v = outline->vertices[i];
    double d = v.x * v.x + v.y * v.y;
    if (d > best) {
      best = d;
      axis = Vec3{v.x, v.y, 0};
    }
  }
  return axis;
}

int routingSide(Vec3 axis, Vec3 position, Vec3 p) {
  double a1 = angle0To2Pi(axis.y, axis.x);
  double a2 = angle0To2Pi(p.y - position.y, p.x - position.x);
  bool left = (a1 <= a2 && a2 - a1 >= kPi) || (a1 > a2 && a1 - a2 < kPi);
  return left ? SIDE_LEFT : SIDE_RIGHT;
}

double routingPutOnTrack(BoardObject* ball, Track* track, double trackpos) {
  BallData* b = &ball->u.ball;
  if (trackpos < 0) {
    TrackVec p{b->pos.x, b->pos.y, 0};
    trackpos = trackClosest(track, &p);
  }
  b->trackvelo = vLenXY(b->velo);
  b->track = track;
  b->trackpos = trackpos;
  return trackpos;
}

void routingTakeOffTrack(BoardObject* ball) { ball->u.ball.track = nullptr; }

double routingConfNumber(ConfSet* set, const char* key, double defaultValue) {
  switch (conf_gettype(set, key)) {
    case CONF_INT: return conf_getint(set, key, 0);
    case CONF_DOUBLE: return conf_getdouble(set, key, defaultValue);
    default: return defaultValue;
  }
}

int routingBigScore(const char* key) {
  double v = routingConfNumber(gameBigscoreConf(), key, -1) * game.presTerm;
  // The configuration is data: an absurd value must not overflow the score.
  if (!(v > INT_MIN)) return INT_MIN;
  if (!(v < INT_MAX)) return INT_MAX;
  return static_cast<int>(v);
}

BoardObject* routingCreateBall(const BallData* data, int lmask) {
  BallData d = *data;
  d.radius = ballRadius(gTable.global);
  Sprite *ball, *shadow;
  ballSessionSprites(&ball, &shadow);
  return CREATE_BALL(&d, ball, shadow, lmask);
}

void routingReset() {
  blockersReset();
  sprdoorReset();
  zonaReset();
  ostliftReset();
}

// ---- Gate ----

namespace {

const char* const kSideName[2] = {"left", "right"};

struct GateSide {
  int layer, vbLayer, noaccel;
  double maxvelo, brake, pull;
  Track* track;
  double trackpos;
  int notrack;
  char nproc[NPROC_NAME_SIZE];
  double size;
  int kill;
};

struct GateParms {
  int debug;
  Vec3 axis;
  GateSide side[2];
  int hitNoaccel, unhitNoaccel, hitNoair, unhitNoair;
};

const char* sideKey(char* buffer, size_t size, int side, const char* key) {
  strFormatN(buffer, size, "%s_%s", kSideName[side], key);
  return buffer;
}

// Reads every tunable key of a gate into p. 1, or 0 when a named track does
// not exist (p is then left as it was).
int gateSoftConfig(const Outline* o, GateParms* p) {
  GateParms g = *p;
  char k[64];
  g.debug = OPR_INT(o, "debug", 0);
  g.axis = routingAxis(o);
  for (int s = 0; s < 2; s++) {
    GateSide& gs = g.side[s];
    gs.layer = OPR_INT(o, sideKey(k, sizeof k, s, "layer"), -1);
    gs.vbLayer = OPR_INT(o, sideKey(k, sizeof k, s, "vb_layer"), -1);
    gs.noaccel = OPR_INT(o, sideKey(k, sizeof k, s, "noaccel"), -1);
    gs.maxvelo = OPR_REAL(o, sideKey(k, sizeof k, s, "maxvelo"), -1) * gTable.f;
    gs.brake = OPR_REAL(o, sideKey(k, sizeof k, s, "brake"), -1);
    gs.pull = OPR_REAL(o, sideKey(k, sizeof k, s, "pull"), -1);
    gs.notrack = OPR_INT(o, sideKey(k, sizeof k, s, "notrack"), 0);
    gs.kill = OPR_INT(o, sideKey(k, sizeof k, s, "kill"), 0);
    gs.size = OPR_REAL(o, sideKey(k, sizeof k, s, "size"), -1);
    gs.trackpos = OPR_REAL(o, sideKey(k, sizeof k, s, "trackpos"), -1);
    strCopyN(gs.nproc, OPR_STRING(o, sideKey(k, sizeof k, s, "nproc"), ""), sizeof gs.nproc);
    const char* track = OPR_STRING(o, sideKey(k, sizeof k, s, "track"), "");
    gs.track = nullptr;
    if (track[0] && !(gs.track = findTrack(track)))
      return logError(0, "%s: track '%s' not found", "GATE:SOFTCONFIG()", track);
    // A layer outside the table's eight would shift an lmask out of range.
    if (gs.layer >= TABLE_LAYERS) gs.layer = -1;
  }
  g.hitNoaccel = OPR_INT(o, "hit_noaccel", -1);
  g.unhitNoaccel = OPR_INT(o, "unhit_noaccel", -1);
  g.hitNoair = OPR_INT(o, "hit_noair", -1);
  g.unhitNoair = OPR_INT(o, "unhit_noair", -1);
  *p = g;
  return 1;
}

void brakeBall(BoardObject* ball, double brake, const char* fn, const char* what, int debug, int id) {
  if (brake <= 0) return;
  BallData* b = &ball->u.ball;
  if (b->track) {
    if (b->trackvelo > brake) {
      b->trackvelo = brake;
      if (debug) logPrint("%s: %d %s brake to trackvelo=%.2f", fn, id, what, brake);
    }
  } else if (vLenXY(b->velo) > brake) {
    b->velo = vSetLenXY(b->velo, brake);
    if (debug) logPrint("%s: %d %s brake to velo=%.2f", fn, id, what, brake);
  }
}

void pullFree(BoardObject* ball, double pull, const char* fn, const char* what, int debug, int id) {
  BallData* b = &ball->u.ball;
  if (pull <= 0 || b->track || vLenXY(b->velo) >= pull) return;
  b->velo = vSetLenXY(b->velo, pull);
  if (debug) logPrint("%s: %d %s pull to velo=%.2f", fn, id, what, pull);
}

void pullTrack(BoardObject* ball, double pull, const char* fn, const char* what, int debug, int id) {
  BallData* b = &ball->u.ball;
  if (pull <= 0 || !b->track || b->trackvelo >= pull) return;
  b->trackvelo = pull;
  if (debug) logPrint("%s: %d %s pull to trackvelo=%.2f", fn, id, what, pull);
}

void gateHit(BoardObject* o, GateParms* p, BoardObject* ball) {
  const char* fn = "gate_handler()";
  BallData* b = &ball->u.ball;
  int s = routingSide(p->axis, o->u.shape.outline.pos, b->pos);
  const GateSide& S = p->side[s];
  const GateSide& O = p->side[1 - s];
  if (S.layer >= 0 && O.layer >= 0) {
    // The ball belongs to both layers while it crosses.
    ball->lmask = (1 << S.layer) | (1 << O.layer);
    if (p->debug) logPrint("%s: %d HIT set lmask=%d", fn, o->id, ball->lmask);
  }
  if (O.maxvelo > 0) {
    if (BallParms* bp = ballParms(ball)) bp->maxvelo = O.maxvelo;
    if (p->debug) logPrint("%s: %d HIT set maxvelo=%.2f", fn, o->id, O.maxvelo);
  }
  brakeBall(ball, S.brake, fn, "HIT", p->debug, o->id);
  pullFree(ball, S.pull, fn, "HIT", p->debug, o->id);
  pullTrack(ball, S.pull, fn, "HIT", p->debug, o->id);
  if (p->hitNoaccel >= 0) b->noaccel = p->hitNoaccel;
  if (p->hitNoair >= 0) b->noair = p->hitNoair;
}

void gateUnhit(BoardObject* o, GateParms* p, BoardObject* ball) {
  const char* fn = "gate_handler()";
  BallData* b = &ball->u.ball;
  int s = routingSide(p->axis, o->u.shape.outline.pos, b->pos);
  const GateSide& S = p->side[s];
  const GateSide& O = p->side[1 - s];
  if (S.nproc[0]) {
    logPrint("%s: %d calling nproc '%s'", fn, o->id, S.nproc);
    invokeNamedProcs(S.nproc);
  }
  if (S.kill) {
    ball->kill = 1;
    if (p->debug) logPrint("%s: %d UNHIT %s kill", fn, o->id, kSideName[s]);
    return;
  }
  if (S.layer >= 0) {
    ball->lmask = 1 << S.layer;
    if (p->debug) logPrint("%s: %d UNHIT set lmask=%d", fn, o->id, ball->lmask);
  }
  BallParms* bp = ballParms(ball);
  if (S.vbLayer >= 0 && bp && bp->sprite) vbSetLayer(bp->sprite, S.vbLayer);
  if (S.noaccel >= 0) b->noaccel = S.noaccel;
  if (S.maxvelo > 0 && bp) bp->maxvelo = S.maxvelo;
  brakeBall(ball, O.brake, fn, "UNHIT", p->debug, o->id);
  // The pull of the side the ball came from decides; a ball on a track is
  // pulled to the speed of the side it leaves to (when that side has one).
  if (O.pull > 0) {
    pullFree(ball, O.pull, fn, "UNHIT", p->debug, o->id);
    pullTrack(ball, S.pull, fn, "UNHIT", p->debug, o->id);
  }
  if (S.track) {
    double pos = routingPutOnTrack(ball, S.track, S.trackpos);
    if (p->debug) logPrint("%s: %d UNHIT putting on track, set pos=%.2f", fn, o->id, pos);
  }
  if (S.notrack && b->track) {
    routingTakeOffTrack(ball);
    if (p->debug) logPrint("%s: %d UNHIT taking ball off track", fn, o->id);
  }
  if (S.size > 0) b->radius = S.size;
  if (p->unhitNoaccel >= 0) b->noaccel = p->unhitNoaccel;
  if (p->unhitNoair >= 0) b->noair = p->unhitNoair;
}

int gateHandler(BoardObject* o, BoardEvent* e) {
  auto* p = static_cast<GateParms*>(o->parms);
  switch (e->type) {
    case BE_KILL:
      objKill(o, nullptr);
      break;
    case BE_HIT:
      if (p && objLiveBall(e->other)) gateHit(o, p, e->other);
      break;
    case BE_UNHIT:
      if (p && objLiveBall(e->other)) gateUnhit(o, p, e->other);
      break;
    default:
      break;
  }
  return 0;
}

void gateReconf(int, Outline* outline, BoardObject* object) {
  objLogReconfigure("gate", outline);
  if (object->parms) gateSoftConfig(outline, static_cast<GateParms*>(object->parms));
}

}  // namespace

int gate_reader(int, int layer, Outline* outline) {
  ObjReader r;
  auto* p = objReaderStart<GateParms>(&r, "gate_reader()", FAM_GATE, layer, outline);
  if (!p) return 0;
  if (!gateSoftConfig(outline, p)) return objReaderFail(&r, "error reading parameters");
  BoardObject* o = objReaderAddShape(&r, gateHandler, FAM_GATE, gTable.globalK, 0);
  if (!o) return objReaderAbandon(&r);
  objReaderFinish(&r, o);
  objReaderDisabled(&r, o);
  OPR_ADD_RECONF(gateReconf, layer, outline, o);
  objReaderNote(&r, "layer-%d/%d vb_layer-%d/%d kill-%d/%d", p->side[0].layer, p->side[1].layer, p->side[0].vbLayer,
                p->side[1].vbLayer, p->side[0].kill, p->side[1].kill);
  return 1;
}

// ---- Gate2 ----

namespace {

enum { G2_LHIT, G2_RHIT, G2_LUNHIT, G2_RUNHIT, G2_ACTIONS };
const char* const kGate2Action[G2_ACTIONS] = {"lhit", "rhit", "lunhit", "runhit"};

struct Gate2Action {
  int noaccel, notrack;
  Track* track;
  double trackpos;
};

struct Gate2Parms {
  int debug;
  Vec3 axis;
  Gate2Action action[G2_ACTIONS];
};

int gate2ReadAction(const Outline* o, const char* name, Gate2Action* a) {
  char k[64];
  strFormatN(k, sizeof k, "%s_noaccel", name);
  a->noaccel = OPR_INT(o, k, -1);
  strFormatN(k, sizeof k, "%s_notrack", name);
  a->notrack = OPR_INT(o, k, 0);
  strFormatN(k, sizeof k, "%s_trackpos", name);
  a->trackpos = OPR_REAL(o, k, -1);
  strFormatN(k, sizeof k, "%s_track", name);
  const char* track = OPR_STRING(o, k, "");
  a->track = nullptr;
  if (track[0] && !(a->track = findTrack(track)))
    return logError(0, "%s: track '%s' not found", "GATE:SOFTCONFIG:READ_ACTION", track);
  return 1;
}

int gate2Handler(BoardObject* o, BoardEvent* e) {
  const char* fn = "gate2_handler()";
  auto* p = static_cast<Gate2Parms*>(o->parms);
  if (e->type == BE_KILL) return objKill(o, nullptr);
  if ((e->type != BE_HIT && e->type != BE_UNHIT) || !p || !objLiveBall(e->other)) return 0;
  BoardObject* ball = e->other;
  BallData* b = &ball->u.ball;
  int s = routingSide(p->axis, o->u.shape.outline.pos, b->pos);
  bool hit = e->type == BE_HIT;
  const Gate2Action& a = p->action[(hit ? G2_LHIT : G2_LUNHIT) + s];
  if (p->debug) logPrint("%s: %d %s %s", fn, o->id, kSideName[s], hit ? "HIT" : "UNHIT");
  if (a.noaccel >= 0) b->noaccel = a.noaccel;
  if (a.notrack && b->track) {
    routingTakeOffTrack(ball);
    if (p->debug) logPrint("%s: %d taking ball off track", fn, o->id);
  }
  if (a.track) {
    double pos = routingPutOnTrack(ball, a.track, a.trackpos);
    if (p->debug) logPrint("%s: %d putting on track, set pos=%.2f", fn, o->id, pos);
  }
  return 0;
}

}  // namespace

int gate2_reader(int, int layer, Outline* outline) {
  ObjReader r;
  auto* p = objReaderStart<Gate2Parms>(&r, "gate2_reader()", FAM_GATE2, layer, outline);
  if (!p) return 0;
  p->debug = OPR_INT(outline, "debug", 0);
  p->axis = routingAxis(outline);
  for (int i = 0; i < G2_ACTIONS; i++)
    if (!gate2ReadAction(outline, kGate2Action[i], &p->action[i]))
      return objReaderFail(&r, "error reading action '%s'", kGate2Action[i]);
  BoardObject* o = objReaderAddShape(&r, gate2Handler, FAM_GATE2, gTable.globalK, 0);
  if (!o) return objReaderAbandon(&r);
  objReaderFinish(&r, o);
  objReaderDisabled(&r, o);
  objReaderNote(&r, "axis-(%.2f,%.2f)", p->axis.x, p->axis.y);
  return 1;
}

// ---- Portal ----

namespace {

enum {
  PA_XY = 1,
  PA_ANGLE = 2,
  PA_LENGTH = 4,
  PA_LAYER = 8,
  PA_SIZE = 16,
  PA_NOACCEL = 32,
  PA_NPROC = 64,
  PA_TRACKVELO = 128,
};
enum { PORTAL_VARIANTS = 33, PORTAL_NPROC_TEXT = 256, PORTAL_ACTION_TEXT = 128 };
enum { PE_LEFT_HIT, PE_RIGHT_HIT, PE_LEFT_UNHIT, PE_RIGHT_UNHIT, PORTAL_EVENTS };
const char* const kPortalEvent[PORTAL_EVENTS] = {"left_hit", "right_hit", "left_unhit", "right_unhit"};
const char* const kPortalControl[PORTAL_EVENTS] = {"left_hit_control", "right_hit_control",
                                                   "left_unhit_control", "right_unhit_control"};

struct PortalVariant {
  int valid;
  int flags;
  double x, y, angle, length;
  int layer;
  double size;
  int noaccel;
  double trackvelo;
  char nproc[PORTAL_NPROC_TEXT];
};

struct PortalEvent {
  int count;
  PortalVariant variant[PORTAL_VARIANTS];
};

struct PortalParms {
  int debug;
  Vec3 axis;
  char control[PORTAL_EVENTS][NPROC_NAME_SIZE];
  PortalEvent event[PORTAL_EVENTS];
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// [begin, end) without surrounding blanks, copied into out (false when it
// does not fit).
bool copyTrimmed(const char* begin, const char* end, char* out, size_t size) {
  while (begin < end && isBlank(*begin)) begin++;
  while (end > begin && isBlank(end[-1])) end--;
  size_t n = static_cast<size_t>(end - begin);
  if (n >= size) return false;
  std::memcpy(out, begin, n);
  out[n] = 0;
  return true;
}

bool parseNumber(const char* text, double* value) {
  char* end = nullptr;
  double v = std::strtod(text, &end);
  if (end == text || !std::isfinite(v)) return false;
  while (isBlank(*end)) end++;
  if (*end) return false;
  *value = v;
  return true;
}

bool parseInt(const char* text, int* value) {
  double v;
  if (!parseNumber(text, &v) || v != std::floor(v) || v < -2147483648.0 || v > 2147483647.0) return false;
  *value = static_cast<int>(v);
  return true;
}

// One action "name=value" of a variant. Returns false when a known action
// has a value that does not parse; an unknown action makes the variant
// invalid.
bool parseAction(const char* action, PortalVariant* v) {
  const char* fn = "portal_reader()";
  if (!action[0]) return true;
  const char* eq = std::strchr(action, '=');
  const char* value = eq ? eq + 1 : "";
  size_t nameLen = eq ? static_cast<size_t>(eq - action) : std::strlen(action);
  auto is = [&](const char* name) { return std::strlen(name) == nameLen && std::strncmp(action, name, nameLen) == 0; };
  if (is("xy")) {
    char a[PORTAL_ACTION_TEXT];
    const char* colon = std::strchr(value, ':');
    if (!colon || !copyTrimmed(value, colon, a, sizeof a)) return false;
    if (!parseNumber(a, &v->x) || !parseNumber(colon + 1, &v->y)) return false;
    v->flags |= PA_XY;
  } else if (is("angle")) {
    if (!parseNumber(value, &v->angle)) return false;
    v->flags |= PA_ANGLE;
  } else if (is("length")) {
    if (!parseNumber(value, &v->length)) return false;
    v->flags |= PA_LENGTH;
  } else if (is("layer")) {
    // Only the table's eight layers make an lmask.
    if (!parseInt(value, &v->layer) || v->layer < 0 || v->layer >= TABLE_LAYERS) return false;
    v->flags |= PA_LAYER;
  } else if (is("size")) {
    if (!parseNumber(value, &v->size)) return false;
    v->flags |= PA_SIZE;
  } else if (is("noaccel")) {
    if (!parseInt(value, &v->noaccel)) return false;
    v->flags |= PA_NOACCEL;
  } else if (is("trackvelo")) {
    if (!parseNumber(value, &v->trackvelo)) return false;
    v->flags |= PA_TRACKVELO;
  } else {
    logError(0, "%s: unknown action '%s'", fn, action);
    v->valid = 0;
  }
  return true;
}

// One variant: the text between two '|'. A "nproc=" action takes the rest of
// the variant as its list of procedure names, commas included.
bool parseVariant(const char* begin, const char* end, PortalVariant* v) {
  std::memset(v, 0, sizeof *v);
  v->valid = 1;
  const char* p = begin;
  while (p < end) {
    while (p < end && isBlank(*p)) p++;
    if (end - p >= 6 && std::strncmp(p, "nproc=", 6) == 0) {
      if (!copyTrimmed(p + 6, end, v->nproc, sizeof v->nproc)) return false;
      v->flags |= PA_NPROC;
      return true;
    }
    const char* comma = static_cast<const char*>(std::memchr(p, ',', static_cast<size_t>(end - p)));
    const char* stop = comma ? comma : end;
    char action[PORTAL_ACTION_TEXT];
    if (!copyTrimmed(p, stop, action, sizeof action)) return false;
    if (!parseAction(action, v)) return false;
    p = comma ? comma + 1 : end;
  }
  return true;
}

bool parseEvent(const char* text, PortalEvent* ev) {
  ev->count = 0;
  if (!text || !text[0]) return true;
  const char* p = text;
  for (;;) {
    const char* bar = std::strchr(p, '|');
    const char* end = bar ? bar : p + std::strlen(p);
    if (ev->count >= PORTAL_VARIANTS) return false;
    if (!parseVariant(p, end, &ev->variant[ev->count])) return false;
    ev->count++;
    if (!bar) return true;
    p = bar + 1;
  }
}

// Appends formatted text to a line, cutting it at the line's size.
void appendf(char* line, size_t size, const char* format, ...) PB_PRINTF(3, 4);
void appendf(char* line, size_t size, const char* format, ...) {
  size_t used = std::strlen(line);
  if (used + 1 >= size) return;
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(line + used, size - used, format, ap);
  va_end(ap);
}

void logVariant(const char* fn, const char* event, int i, const PortalVariant& v) {
  char line[512] = "";
  if (v.flags & PA_XY) appendf(line, sizeof line, " xy=(%.2f,%.2f)", v.x, v.y);
  if (v.flags & PA_ANGLE) appendf(line, sizeof line, " angle=%.2f", v.angle);
  if (v.flags & PA_LENGTH) appendf(line, sizeof line, " length=%.2f", v.length);
  if (v.flags & PA_LAYER) appendf(line, sizeof line, " layer=%d", v.layer);
  if (v.flags & PA_SIZE) appendf(line, sizeof line, " size=%.2f", v.size);
  if (v.flags & PA_NOACCEL) appendf(line, sizeof line, " noaccel=%d", v.noaccel);
  if (v.flags & PA_NPROC) appendf(line, sizeof line, " nproc=%s", v.nproc);
  if (v.flags & PA_TRACKVELO) appendf(line, sizeof line, " trackvelo=%.2f", v.trackvelo);
  logPrint("%s: %s[%d]%s%s", fn, event, i, v.valid ? "" : " (invalid)", line);
}

// Reads the control names and event texts into p. 1, or 0 (p unchanged)
// when an event text does not parse.
int portalSoftConfig(const Outline* o, PortalParms* p) {
  const char* fn = "portal_reader()";
  auto* q = static_cast<PortalParms*>(std::calloc(1, sizeof(PortalParms)));
  int x, y;
  oprPosition(o, &x, &y);
  if (!q) return logError(0, "%s, object (%d,%d): not enough memory for parms", fn, x, y);
  q->debug = OPR_INT(o, "debug", 0);
  q->axis = routingAxis(o);
  for (int i = 0; i < PORTAL_EVENTS; i++) {
    strCopyN(q->control[i], OPR_STRING(o, kPortalControl[i], ""), sizeof q->control[i]);
    if (!parseEvent(OPR_STRING(o, kPortalEvent[i], ""), &q->event[i])) {
      std::free(q);
      return logError(0, "%s, object (%d,%d): error reading events", fn, x, y);
    }
    if (q->debug)
      for (int v = 0; v < q->event[i].count; v++) logVariant(fn, kPortalEvent[i], v, q->event[i].variant[v]);
  }
  *p = *q;
  std::free(q);
  return 1;
}

void invokeList(const char* fn, int id, const char* list) {
  const char* p = list;
  while (*p) {
    const char* colon = std::strchr(p, ':');
    const char* end = colon ? colon : p + std::strlen(p);
    char name[NPROC_NAME_SIZE];
    if (copyTrimmed(p, end, name, sizeof name) && name[0]) {
      logPrint("%s: %d calling nproc '%s'", fn, id, name);
      invokeNamedProcs(name);
    }
    if (!colon) break;
    p = colon + 1;
  }
}

// Runs a variant's actions on the ball in the order of the action table.
// Returns 1 when the ball was moved elsewhere.
int portalRun(BoardObject* o, const PortalParms* p, const PortalVariant& v, BoardObject* ball) {
  const char* fn = "portal_handler()";
  BallData* b = &ball->u.ball;
  if (v.flags & PA_XY) {
    b->pos = Vec3{v.x, v.y, 0};
    if (p->debug) logPrint("%s: pos=(%.2f,%.2f)", fn, v.x, v.y);
  }
  if (v.flags & PA_ANGLE) {
    double speed = vLenXYZ(b->velo), a = v.angle * kPi / 180.0;
    b->velo = Vec3{std::cos(a) * speed, std::sin(a) * speed, 0};
    if (p->debug) logPrint("%s: velo=(%.2f,%.2f)", fn, b->velo.x, b->velo.y);
  }
  if (v.flags & PA_LENGTH) {
    b->velo = vSetLenXYZ(b->velo, v.length);
    if (p->debug) logPrint("%s: velo=(%.2f,%.2f)", fn, b->velo.x, b->velo.y);
  }
  if (v.flags & PA_LAYER) {
    ball->lmask = 1 << v.layer;
    if (p->debug) logPrint("%s: lmask=%d", fn, ball->lmask);
  }
  if (v.flags & PA_SIZE) {
    b->radius = v.size;
    if (p->debug) logPrint("%s: radius=%.2f", fn, v.size);
  }
  if (v.flags & PA_NOACCEL) {
    b->noaccel = v.noaccel;
    if (p->debug) logPrint("%s: noaccel=%d", fn, v.noaccel);
  }
  if (v.flags & PA_NPROC) invokeList(fn, o->id, v.nproc);
  if (v.flags & PA_TRACKVELO) {
    b->trackvelo = v.trackvelo;
    if (p->debug) logPrint("%s: trackvelo=%.2f", fn, v.trackvelo);
  }
  return (v.flags & PA_XY) != 0;
}

int portalHandler(BoardObject* o, BoardEvent* e) {
  const char* fn = "portal_handler()";
  auto* p = static_cast<PortalParms*>(o->parms);
  if (e->type == BE_KILL) return objKill(o, nullptr);
  if ((e->type != BE_HIT && e->type != BE_UNHIT) || !p || !objLiveBall(e->other)) return 0;
  BoardObject* ball = e->other;
  int s = routingSide(p->axis, o->u.shape.outline.pos, ball->u.ball.pos);
  int which = (e->type == BE_HIT ? PE_LEFT_HIT : PE_LEFT_UNHIT) + s;
  int index = p->control[which][0] ? invokeNamedProcs(p->control[which]) : 0;
  const PortalEvent& ev = p->event[which];
  if (p->debug) logPrint("%s: %d %s variant %d", fn, o->id, kPortalEvent[which], index);
  if (index < 0 || index >= PORTAL_VARIANTS || index >= ev.count || !ev.variant[index].valid) return 0;
  // A ball sent elsewhere on entering is no longer inside the portal: its
  // contact ends here rather than never.
  if (portalRun(o, p, ev.variant[index], ball) && e->type == BE_HIT) e->type = BE_UNHIT;
  return 0;
}

void portalReconf(int, Outline* outline, BoardObject* object) {
  objLogReconfigure("portal", outline);
  if (object->parms) portalSoftConfig(outline, static_cast<PortalParms*>(object->parms));
}

}  // namespace

int portal_reader(int, int layer, Outline* outline) {
  ObjReader r;
  auto* p = objReaderStart<PortalParms>(&r, "portal_reader()", FAM_PORTAL, layer, outline);
  if (!p) return 0;
  if (!portalSoftConfig(outline, p)) return objReaderAbandon(&r);
  BoardObject* o = objReaderAddShape(&r, portalHandler, FAM_PORTAL, gTable.globalK, 0);
  if (!o) return objReaderAbandon(&r);
  objReaderFinish(&r, o);
  objReaderDisabled(&r, o);
  OPR_ADD_RECONF(portalReconf, layer, outline, o);
  objReaderNote(&r, "variants-%d/%d/%d/%d", p->event[0].count, p->event[1].count, p->event[2].count,
                p->event[3].count);
  return 1;
}
