#include "main/autoplay.h"

#include <cmath>

#include "core/log.h"
#include "game/game.h"
#include "main/blackbox.h"
#include "main/play.h"
#include "main/session.h"
#include "physics/board.h"
#include "platform/gdev.h"

namespace {

enum Key { KEY_LEFT = 0, KEY_RIGHT = 1, KEY_LAUNCH = 2, KEYS = 3 };
constexpr int kScan[KEYS] = {0x2C, 0x35, 0x1D};
constexpr int kChar[KEYS] = {'z', '/', 0};
constexpr int kScanR = 0x13, kScanEnter = 0x1C;

// Frames a free ball stands still before the launch key is pulled: a ball
// on the plunger, or one stuck somewhere (pulling does no harm then).
constexpr int kStillBeforeLaunch = 45;
// Below this speed (table units a frame) a ball counts as standing still.
constexpr double kStillSpeed = 0.02;
// Frames a finished game is shown before the player starts the next one.
constexpr int kGameOverPause = 150;

struct Player {
  bool active;
  uint32_t rng;
  int lastFrame;
  bool held[KEYS];
  int releaseAt[KEYS];
  int cooldownUntil[KEYS];
  int still;
  int overSince;
  bool answered;  // the name dialog on show got its Enter
} A;

// xorshift32: the player's own generator.
int below(int n) {
  A.rng ^= A.rng << 13;
  A.rng ^= A.rng >> 17;
  A.rng ^= A.rng << 5;
  return n > 0 ? static_cast<int>(A.rng % static_cast<uint32_t>(n)) : 0;
}

void postKey(int scan, int ch, bool down) {
  GdevEvent e{};
  e.what = down ? GDEV_EVT_KEYDOWN : GDEV_EVT_KEYUP;
  e.message = static_cast<uint32_t>(ch | scan << 8);
  gdevPostEvent(&e);
}

void setKey(int k, bool down) {
  postKey(kScan[k], kChar[k], down);
  A.held[k] = down;
}

// The distance of point p from the segment a-b, and where along it (0 at a,
// 1 at b) the nearest point lies.
double segmentDistance(Vec3 p, Vec3 a, Vec3 b, double* along) {
  const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
  t = t < 0 ? 0 : t > 1 ? 1 : t;
  *along = t;
  const double ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y;
  return std::sqrt(ex * ex + ey * ey);
}

// Whether a ball is within a flipper's reach on each side.
void ballsInReach(const Board* board, bool reach[2]) {
  reach[0] = reach[1] = false;
  for (int f = 0; f < board->count; f++) {
    const BoardObject* flip = &board->objects[f];
    if (flip->id < 0 || flip->kind != BK_CFLIPPER) continue;
    const CFlipperData& c = flip->u.cflipper;
    const double sign = c.right ? 1.0 : -1.0;
    const Vec3 pivot = c.outline.pos;
    const Vec3 tipLocal{c.right ? -c.length : c.length, 0, 0};
    const Vec3 tip = vAdd(vRotate(tipLocal, sign * c.angle), Vec3{pivot.x, pivot.y, 0});
    for (int i = 0; i < board->count; i++) {
      const BoardObject* ball = &board->objects[i];
      if (ball->id < 0 || ball->kind != BK_BALL || ball->u.ball.track) continue;
      const BallData& b = ball->u.ball;
      double along = 0;
      const double d = segmentDistance(b.pos, pivot, tip, &along);
      // Falling towards the flipper (or lying on it), past its first fifth.
      if (d < c.radius1 + b.radius + 16 && b.velo.y > -0.3 && along > 0.2) reach[c.right ? 1 : 0] = true;
    }
  }
}

bool ballStandsStill(const Board* board) {
  for (int i = 0; i < board->count; i++) {
    const BoardObject* ball = &board->objects[i];
    if (ball->id < 0 || ball->kind != BK_BALL || ball->u.ball.track) continue;
    const Vec3 v = ball->u.ball.velo;
    if (std::fabs(v.x) + std::fabs(v.y) < kStillSpeed) return true;
  }
  return false;
}

// One decision a table frame; at most one key changes, as the session takes
// one event a frame.
void tableFrame() {
  if (A.lastFrame == tmFrame) return;
  A.lastFrame = tmFrame;
  const Board* board = boardActive();
  if (!board) return;
  const int now = tmFrame;
  if (game.over) {
    for (int k = 0; k < KEYS; k++)
      if (A.held[k]) return setKey(k, false);
    if (A.overSince < 0) A.overSince = now;
    if (now - A.overSince > kGameOverPause) {
      postKey(kScanR, 'r', true);
      postKey(kScanR, 'r', false);
      A.overSince = -1;
    }
    return;
  }
  A.overSince = -1;
  bool reach[2];
  ballsInReach(board, reach);
  for (int side = 0; side < 2; side++) {
    if (A.held[side] && now >= A.releaseAt[side]) {
      A.cooldownUntil[side] = now + 4 + below(6);
      return setKey(side, false);
    }
    if (!A.held[side] && reach[side] && now >= A.cooldownUntil[side]) {
      // A small, varying wait aims the shot differently each time.
      if (below(4) == 0) return;
      A.releaseAt[side] = now + 8 + below(10);
      return setKey(side, true);
    }
  }
  A.still = ballStandsStill(board) ? A.still + 1 : 0;
  if (A.held[KEY_LAUNCH] && now >= A.releaseAt[KEY_LAUNCH]) {
    A.still = 0;
    return setKey(KEY_LAUNCH, false);
  }
  if (!A.held[KEY_LAUNCH] && A.still > kStillBeforeLaunch) {
    A.releaseAt[KEY_LAUNCH] = now + 25 + below(60);
    setKey(KEY_LAUNCH, true);
  }
}

// Runs at every read of the event queue.
void inputHook(void*) {
  if (!A.active || bbIsPlaying()) return;
  GdevEvent queued;
  if (gdevPeekEvent(&queued, GDEV_EVT_EVERY)) return;  // one event at a time
  if (gdevTextInputActive()) {
    // The name dialog: its proposal is the name.
    if (!A.answered) postKey(kScanEnter, 13, true);
    A.answered = true;
    return;
  }
  A.answered = false;
  if (!playTable() || game.requestedSubgame >= 0 || playSubgameRunning() >= 0) return;
  tableFrame();
}

// The subgames' keys: boxing steps forward and punches, the gallery fires
// both rifles in turn, gold catching goes from chute to chute.
int subgameFeed(int frame) {
  if (!A.active) return 0;
  const int id = playSubgameRunning();
  if (id == 0) {
    const int phase = frame % 24;
    if (phase == 0) postKey(0x35, '/', true);
    if (phase == 5) postKey(0x35, '/', false);
    if (phase == 8 || phase == 16) postKey(0x1D, 0, true);
    if (phase == 10 || phase == 18) postKey(0x1D, 0, false);
    if (phase == 20 && below(3) == 0) postKey(0x2C, 'z', true);
    if (phase == 23) postKey(0x2C, 'z', false);
  } else if (id == 1) {
    const int phase = frame % 40;
    if (phase == 0) postKey(0x2C, 'z', true);
    if (phase == 3) postKey(0x2C, 'z', false);
    if (phase == 20) postKey(0x35, '/', true);
    if (phase == 23) postKey(0x35, '/', false);
  } else if (id == 2) {
    static constexpr int kChutes[4] = {0x47, 0x49, 0x4F, 0x51};
    static int chute = 0;
    const int phase = frame % 18;
    if (phase == 0) {
      chute = kChutes[below(4)];
      postKey(chute, 0, true);
    }
    if (phase == 3) postKey(chute, 0, false);
  }
  return 0;
}

}  // namespace

void autoplayStart(uint32_t seed) {
  A = Player{};
  A.active = true;
  A.rng = seed ? seed : 0x9E3779B9u;
  A.lastFrame = -1;
  A.overSince = -1;
  gdevSetInputHook(inputHook, nullptr);
  playSetSubgameFeed(subgameFeed);
  logDebug(1, "autoplay on (seed %u)", seed);
}

void autoplayStop() {
  if (!A.active) return;
  A.active = false;
  gdevSetInputHook(nullptr, nullptr);
  playSetSubgameFeed(nullptr);
}

int autoplayActive() { return A.active ? 1 : 0; }
