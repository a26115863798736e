// Boxing: a side view of a ring in a window of the subgame screen. The
// player's boxer stands on the left and faces right (his sprites are drawn
// mirrored), the computer's on the right. Both run one state machine that
// ticks every "boxer_delay" milliseconds of game time; the player's
// requests come from the keys, the computer's from a few rules. Behind them
// three background layers scroll at different speeds with the camera, a
// flag waves on the farthest one, and bars show each boxer's health and ki
// (the stamina a blow draws its strength from). A boxer whose health drops
// below zero is knocked out; one tick after his knockout animation has
// finished the match ends, and the player has won when his health is above
// the computer's.
#include "subgames/boxing.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/conf.h"
#include "core/log.h"
#include "core/random.h"
#include "core/time.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "platform/gdev.h"
#include "sound/fx.h"
#include "subgames/boxing_internal.h"
#include "subgames/sgframe.h"

namespace {

enum {
  PATH_SIZE = 256,
  KEY_SIZE = 128,
  CHAR_SPACE = ' ',
  BACK_LAYERS = 3,
  CORNERS = 4,
  HEAVY_DAMAGE = 9,  // a blow doing more is a heavy one
  FULL = 100,        // health and ki at the start, and ki's cap
  START_DX = 100,    // the boxers start this far either side of the window's middle
  LAYER_BACK = 0,
  LAYER_BOXERS = 1,
  LAYER_FRONT = 2,  // spark and bars
  LAYER_CORNERS = 3,
  GREEN_TOP = 70,  // the debugging lines' rows in the window
  GREEN_BOTTOM = 230,
  DIRTY_MARGIN = 5,         // the ring window presented each frame, grown by this
  KEY_LIMIT = 1000000,      // integer keys are held to +-this
  RESISTANCE_LIMIT = 1000,  // and hit_resistance to +-this
  DEFAULT_FRAMERATE = 60,
};

// DELIBERATE: the configuration is data, so its numbers are held to a range
// in which the ring's arithmetic cannot overflow (every position and blow
// then fits an int with room to spare); a resistance that is not a number
// counts as 0. Values in the game's range are not changed.
int limitKey(int v) { return std::clamp(v, -static_cast<int>(KEY_LIMIT), static_cast<int>(KEY_LIMIT)); }
double limitResistance(double v) {
  return std::isnan(v) ? 0.0
                       : std::clamp(v, -static_cast<double>(RESISTANCE_LIMIT), static_cast<double>(RESISTANCE_LIMIT));
}
// A long position on the screen, cut to an int.
int toInt(long long v) { return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX)); }

struct PersonInfo {
  const char* prefix;  // of the person's keys
  const char* name;    // of the sample files
  int firstSample;     // slot of hit 1; hit 2, boom and knockout follow
};
const PersonInfo kPersons[BOX_PERSONS] = {
    {"drol.", "drol", SI_BOXING_DROL_HIT1},
    {"vesk.", "vesk", SI_BOXING_VESK_HIT1},
    {"tarok.", "tarok", SI_BOXING_TAROK_HIT1},
};
const char* const kSoundNames[BOX_SOUNDS] = {"hit1", "hit2", "boom", "knockout"};
const char* const kAnimNames[BOX_ANIMS] = {"stand", "walk1", "hit1", "hit2", "boom1", "knockout1", "knockout2"};

// The match keys of conf/boxing.conf.
struct Settings {
  int framerate, boxerDelay;
  int scrDx, scrDy, scrWidth, scrHeight;
  int aiMinHitKi, boomDx, limitDx, boxerMindist;
  int flagDx, flagDy, flagDelay;
  int back0Dy, back1Dy, back2Dy;
  int leftHealthDx, leftHealthDy, rightHealthDx, rightHealthDy;
  int leftKiDx, leftKiDy, rightKiDx, rightKiDy;
  int greenLine;
  int hit1Volume, hit2Volume, boomVolume, knockoutVolume;
  int leftHit1Pan, rightHit1Pan, leftHit2Pan, rightHit2Pan;
  int leftBoomPan, rightBoomPan, leftKnockoutPan, rightKnockoutPan;
  char flagFile[PATH_SIZE], backFile[PATH_SIZE], cornersFile[PATH_SIZE];
  char imageFile[PATH_SIZE];  // the bill of the fight: read, not shown by the match
  char healthFile[PATH_SIZE], kiFile[PATH_SIZE];
};

struct IntKey {
  const char* key;
  int Settings::*field;
  int def;
};
const IntKey kIntKeys[] = {
    {"framerate", &Settings::framerate, 60},
    {"boxer_delay", &Settings::boxerDelay, 50},
    {"scr_dx", &Settings::scrDx, 0},
    {"scr_dy", &Settings::scrDy, 0},
    {"scr_width", &Settings::scrWidth, 100},
    {"scr_height", &Settings::scrHeight, 100},
    {"ai_min_hit_ki", &Settings::aiMinHitKi, 4},
    {"boom_dx", &Settings::boomDx, 0},
    {"limit_dx", &Settings::limitDx, 0},
    {"boxer_mindist", &Settings::boxerMindist, 0},
    {"flag_dx", &Settings::flagDx, 0},
    {"flag_dy", &Settings::flagDy, 0},
    {"flag_delay", &Settings::flagDelay, 0},
    {"back0_dy", &Settings::back0Dy, 0},
    {"back1_dy", &Settings::back1Dy, 0},
    {"back2_dy", &Settings::back2Dy, 0},
    {"left_health_dx", &Settings::leftHealthDx, 0},
    {"left_health_dy", &Settings::leftHealthDy, 0},
    {"right_health_dx", &Settings::rightHealthDx, 0},
    {"right_health_dy", &Settings::rightHealthDy, 0},
    {"left_ki_dx", &Settings::leftKiDx, 0},
    {"left_ki_dy", &Settings::leftKiDy, 0},
    {"right_ki_dx", &Settings::rightKiDx, 0},
    {"right_ki_dy", &Settings::rightKiDy, 0},
    {"green_line", &Settings::greenLine, 0},
    {"sound.hit1_volume", &Settings::hit1Volume, 100},
    {"sound.hit2_volume", &Settings::hit2Volume, 100},
    {"sound.boom_volume", &Settings::boomVolume, 100},
    {"sound.knockout_volume", &Settings::knockoutVolume, 100},
    {"sound.left_hit1_panning", &Settings::leftHit1Pan, 0},
    {"sound.right_hit1_panning", &Settings::rightHit1Pan, 0},
    {"sound.left_hit2_panning", &Settings::leftHit2Pan, 0},
    {"sound.right_hit2_panning", &Settings::rightHit2Pan, 0},
    {"sound.left_boom_panning", &Settings::leftBoomPan, 0},
    {"sound.right_boom_panning", &Settings::rightBoomPan, 0},
    {"sound.left_knockout_panning", &Settings::leftKnockoutPan, 0},
    {"sound.right_knockout_panning", &Settings::rightKnockoutPan, 0},
};

struct StrKey {
  const char* key;
  char (Settings::*field)[PATH_SIZE];
  const char* def;
};
const StrKey kStrKeys[] = {
    {"flag_file", &Settings::flagFile, "<flag_file>"},          {"back_file", &Settings::backFile, "<back_file>"},
    {"corners_file", &Settings::cornersFile, "<corners_file>"}, {"image_file", &Settings::imageFile, "<image_file>"},
    {"health_file", &Settings::healthFile, "<health_file>"},    {"ki_file", &Settings::kiFile, ""},
};

// Volume and panning of each sound, by side.
int Settings::*const kVolumes[BOX_SOUNDS] = {&Settings::hit1Volume, &Settings::hit2Volume, &Settings::boomVolume,
                                             &Settings::knockoutVolume};
int Settings::*const kPannings[2][BOX_SOUNDS] = {
    {&Settings::leftHit1Pan, &Settings::leftHit2Pan, &Settings::leftBoomPan, &Settings::leftKnockoutPan},
    {&Settings::rightHit1Pan, &Settings::rightHit2Pan, &Settings::rightBoomPan, &Settings::rightKnockoutPan},
};

// A bar on each side: the left one shows the player, mirrored.
struct Bar {
  VBOBJ* obj[2];
};

struct Run {
  ConfSet conf;
  bool confRead;
  Settings s;
  BoxMatch m;
  SprOwned back, flag, corners, health, ki;
  VBOBJ* backObj[BACK_LAYERS];  // frames 0 (nearest) .. 2 (farthest)
  VBOBJ* flagObj;
  VBOBJ* cornerObj[CORNERS];
  Bar healthBar, kiBar;
  bool samplesLoaded;
};
Run R{};

// --- The tick logic ----------------------------------------------------------

int animFrames(const Boxer* b, int anim) { return b->p.anim[anim].frames; }

// The animation a state shows; none for the end state and unknown ones.
int animOf(const Boxer* b) {
  switch (b->state) {
    case BOX_STAND: return BOX_ANIM_STAND;
    case BOX_WALK_FORWARD:
    case BOX_WALK_BACK: return BOX_ANIM_WALK1;
    case BOX_PUNCH: return b->hitKind ? BOX_ANIM_HIT2 : BOX_ANIM_HIT1;
    case BOX_HIT: return BOX_ANIM_BOOM1;
    case BOX_KNOCKED_OUT: return b->heavyKnockout ? BOX_ANIM_KNOCKOUT2 : BOX_ANIM_KNOCKOUT1;
    default: return BOX_ANIM_NONE;
  }
}

// Keeps a boxer between the ropes.
void clampToRing(const BoxRing* r, Boxer* b) {
  b->x = std::clamp(b->x, r->limitDx, std::max(r->limitDx, r->width - r->limitDx));
}

// A punch request is granted from standing or walking while there is ki to
// put into it; it wins over the walk requests.
void startPunch(Boxer* b) {
  if (!b->punch || b->ki <= 0) return;
  b->state = BOX_PUNCH;
  b->frame = 0;
  b->hitKind = b->punch - 1;
}

// The strength of a blow with the puncher's ki now: his ki's share of his
// strength.
double blowPower(const Boxer* b) { return b->ki * 0.01 * b->p.hitStrength; }
// What such a blow takes off the other's health: its strength less what the
// other absorbs, cut to whole points.
int blowDamage(const Boxer* b, const Boxer* o) { return static_cast<int>((1 - o->p.hitResistance) * blowPower(b)); }

// The landing frame of a punch: a blow lands when the other is in reach and
// not already knocked out. The puncher's ki is spent either way.
void land(const BoxRing* r, Boxer* b, Boxer* o, BoxSpark* spark) {
  const int k = b->hitKind;
  if (std::abs(b->x - o->x) < b->p.hitX[k] && o->state != BOX_KNOCKED_OUT) {
    const double power = blowPower(b);
    const int damage = blowDamage(b, o);
    // DELIBERATE: a blow that does no damage does not stun: the other
    // boxer keeps his state, frame, place and ki, and no spark flies, as if
    // it had missed. Otherwise a player who holds the punch key throws jabs
    // that start with the ki of a single tick, land for nothing and still
    // keep putting the computer back into its "hit" state, so that it never
    // gets to punch and the match never ends.
    if (damage > 0) {
      o->frame = 0;
      o->health -= damage;
      o->ki = std::max(0, o->ki + static_cast<int>(-1.5 * (1 - o->p.hitResistance) * power));
      if (o->health < 0) {
        logPrint("Boxer died");
        o->state = BOX_KNOCKED_OUT;
        o->health = 0;
        o->heavyKnockout = damage > HEAVY_DAMAGE;
      } else {
        o->state = BOX_HIT;
      }
      if (spark) {
        spark->kind = damage > HEAVY_DAMAGE ? BOX_SPARK_HEAVY : BOX_SPARK_LIGHT;
        spark->frame = 0;
        spark->x = o->x;
        spark->y = b->p.hitY[k];
      }
      o->x += o->side == BOX_RIGHT ? r->boomDx : -r->boomDx;
      clampToRing(r, o);
    }
  }
  b->ki = 0;
}

// --- Configuration and loading -----------------------------------------------

Sprite* loadSprite(const char* path) {
  Sprite* s = SPR_CREATE(path);
  logDebug(3, "spr_create('%s'): spr-%p", path, static_cast<void*>(s));
  return s;
}

// Loads a sprite with at least `need` frames into *out. 0, or -1 after the
// message chain.
int loadOwned(SprOwned* out, const char* path, int need, const char* fn) {
  Sprite* s = loadSprite(path);
  if (!s) return logError(-1, "%s: error loading sprite '%s'", fn, path);
  *out = sprOwn(s);
  if (s->numfrms < need) return logError(-1, "%s: sprite '%s' has %d frames, %d needed", fn, path, s->numfrms, need);
  return 0;
}

// Reads the person keys; every missing one is reported before it fails.
int readPerson(const char* prefix, BoxPerson* p, char files[BOX_ANIMS][PATH_SIZE]) {
  const char* fn = "LOAD_BOXER()";
  ConfSet* c = &R.conf;
  bool ok = true;
  char key[KEY_SIZE];
  auto getInt = [&](const char* name, int* out) {
    std::snprintf(key, sizeof key, "%s%s", prefix, name);
    if (conf_gettype(c, key) != CONF_INT) {
      ok = false;
      logError(0, "%s: integer parameter '%s' is not set", fn, key);
      return;
    }
    *out = limitKey(conf_getint(c, key, 0));
  };
  char name[KEY_SIZE];
  for (int a = 0; a < BOX_ANIMS; a++) {
    std::snprintf(key, sizeof key, "%s%s_file", prefix, kAnimNames[a]);
    if (conf_gettype(c, key) != CONF_STRING) {
      ok = false;
      logError(0, "%s: string parameter '%s' is not set", fn, key);
    } else {
      std::snprintf(files[a], PATH_SIZE, "%s", conf_getstr(c, key, ""));
    }
    std::snprintf(name, sizeof name, "%s_dx", kAnimNames[a]);
    getInt(name, &p->anim[a].dx);
    std::snprintf(name, sizeof name, "%s_dy", kAnimNames[a]);
    getInt(name, &p->anim[a].dy);
  }
  getInt("walk1_fdx", &p->walkFdx);
  getInt("walk1_step", &p->walkStep);
  for (int k = 0; k < 2; k++) {
    std::snprintf(name, sizeof name, "hit%d_frame", k + 1);
    getInt(name, &p->hitFrame[k]);
    std::snprintf(name, sizeof name, "hit%d_x", k + 1);
    getInt(name, &p->hitX[k]);
    std::snprintf(name, sizeof name, "hit%d_y", k + 1);
    getInt(name, &p->hitY[k]);
  }
  getInt("ki_increase", &p->kiIncrease);
  getInt("hit_strength", &p->hitStrength);
  std::snprintf(key, sizeof key, "%shit_resistance", prefix);
  if (conf_gettype(c, key) != CONF_DOUBLE) {
    ok = false;
    logError(0, "%s: floating-point parameter '%s' is not set", fn, key);
  } else {
    p->hitResistance = limitResistance(conf_getdouble(c, key, 0));
  }
  return ok ? 0 : -1;
}

void freeSpark(BoxSpark* spark) {
  if (spark->obj) vbDelObject(spark->obj);
  spark->obj = nullptr;
  for (SprOwned& s : spark->sprite) sprRelease(&s);
}

}  // namespace

void boxFreeBoxer(Boxer* b) {
  if (b->obj) vbDelObject(b->obj);
  b->obj = nullptr;
  for (BoxAnim& a : b->p.anim) sprRelease(&a.sprite);
}

int LOAD_BOXER(Boxer* b, int person, int side) {
  const char* fn = "LOAD_BOXER()";
  *b = Boxer{};
  b->obj = nullptr;
  if (person < 0 || person >= BOX_PERSONS) return logError(-1, "%s: unknown person ID %d", fn, person);
  BoxPerson p{};
  char files[BOX_ANIMS][PATH_SIZE] = {};
  if (readPerson(kPersons[person].prefix, &p, files) < 0) return logError(-1, "%s: error reading configuration", fn);
  boxInitBoxer(b, &p, side, 0);
  b->person = person;
  for (int a = 0; a < BOX_ANIMS; a++) {
    if (loadOwned(&b->p.anim[a].sprite, files[a], 1, fn) < 0) {
      boxFreeBoxer(b);
      return -1;
    }
    b->p.anim[a].frames = b->p.anim[a].sprite.sprite->numfrms;
  }
  b->obj = vbAddObject(b->p.anim[BOX_ANIM_STAND].sprite.sprite, 0, -1000, -1000);
  if (!b->obj) {
    boxFreeBoxer(b);
    return logError(-1, "%s: error adding the boxer's object", fn);
  }
  vbSetLayer(b->obj, LAYER_BOXERS);
  b->obj->mFlag = side == BOX_LEFT;
  return 0;
}

int LOAD_SPARK(BoxSpark* spark) {
  const char* fn = "LOAD_SPARK()";
  *spark = BoxSpark{};
  spark->frame = -1;
  ConfSet* c = &R.conf;
  bool ok = true;
  char key[KEY_SIZE];
  char files[2][PATH_SIZE] = {};
  for (int k = 0; k < 2; k++) {
    std::snprintf(key, sizeof key, "spark.spark%d_file", k + 1);
    if (conf_gettype(c, key) != CONF_STRING) {
      ok = false;
      logError(0, "%s: string parameter '%s' is not set", fn, key);
    } else {
      std::snprintf(files[k], PATH_SIZE, "%s", conf_getstr(c, key, ""));
    }
    int* fields[2] = {&spark->dx[k], &spark->dy[k]};
    const char* names[2] = {"dx", "dy"};
    for (int i = 0; i < 2; i++) {
      std::snprintf(key, sizeof key, "spark.spark%d_%s", k + 1, names[i]);
      if (conf_gettype(c, key) != CONF_INT) {
        ok = false;
        logError(0, "%s: integer parameter '%s' is not set", fn, key);
      } else {
        *fields[i] = limitKey(conf_getint(c, key, 0));
      }
    }
  }
  if (!ok) return logError(-1, "%s: error reading configuration", fn);
  for (int k = 0; k < 2; k++) {
    if (loadOwned(&spark->sprite[k], files[k], 1, fn) < 0) {
      freeSpark(spark);
      return -1;
    }
    spark->frames[k] = spark->sprite[k].sprite->numfrms;
  }
  spark->obj = vbAddObject(spark->sprite[0].sprite, 0, -100, -100);
  if (!spark->obj) {
    freeSpark(spark);
    return logError(-1, "%s: error adding the spark's object", fn);
  }
  vbSetLayer(spark->obj, LAYER_FRONT);
  return 0;
}

namespace {

void freeConf() {
  if (R.confRead) conf_free(&R.conf);
  R.conf = ConfSet{};
  R.confRead = false;
}

// --- The match on the screen -------------------------------------------------

VBOBJ* addObject(Sprite* s, int frame, int layer, int mirrored) {
  VBOBJ* o = vbAddObject(s, frame, -1000, -1000);
  if (!o) return nullptr;
  vbSetLayer(o, layer);
  o->mFlag = mirrored;
  return o;
}

void delObject(VBOBJ** o) {
  if (*o) vbDelObject(*o);
  *o = nullptr;
}

void freeSamples() {
  if (!R.samplesLoaded) return;
  for (const PersonInfo& p : kPersons)
    for (int s = 0; s < BOX_SOUNDS; s++) fxFreeSample(p.firstSample + s);
  R.samplesLoaded = false;
}

// Everything the match loaded or added, whatever got that far.
void teardown() {
  for (VBOBJ*& o : R.cornerObj) delObject(&o);
  for (VBOBJ*& o : R.backObj) delObject(&o);
  delObject(&R.flagObj);
  for (Bar* bar : {&R.healthBar, &R.kiBar})
    for (VBOBJ*& o : bar->obj) delObject(&o);
  for (Boxer& b : R.m.boxer) boxFreeBoxer(&b);
  freeSpark(&R.m.spark);
  for (SprOwned* s : {&R.back, &R.flag, &R.corners, &R.health, &R.ki}) sprRelease(s);
  freeSamples();
  R.m.playSounds = 0;
  freeConf();
}

int setup(const SgBoxingOutcome* outcome) {
  const char* fn = "SG_BOXING_RUN()";
  const Settings& s = R.s;
  BoxMatch& m = R.m;
  m = BoxMatch{};
  if (LOAD_BOXER(&m.boxer[BOX_LEFT], outcome->left, BOX_LEFT) < 0)
    return logError(-1, "%s: error loading the player's boxer", fn);
  if (LOAD_BOXER(&m.boxer[BOX_RIGHT], outcome->right, BOX_RIGHT) < 0)
    return logError(-1, "%s: error loading the computer's boxer", fn);
  if (LOAD_SPARK(&m.spark) < 0) return logError(-1, "%s: error loading the spark", fn);

  if (loadOwned(&R.health, s.healthFile, 2, fn) < 0 || loadOwned(&R.ki, s.kiFile, 1, fn) < 0 ||
      loadOwned(&R.back, s.backFile, BACK_LAYERS, fn) < 0 || loadOwned(&R.corners, s.cornersFile, CORNERS, fn) < 0 ||
      loadOwned(&R.flag, s.flagFile, 1, fn) < 0) {
    return -1;
  }
  for (int side = 0; side < 2; side++) {
    R.healthBar.obj[side] = addObject(R.health.sprite, 1, LAYER_FRONT, side == BOX_LEFT);
    R.kiBar.obj[side] = addObject(R.ki.sprite, 0, LAYER_FRONT, side == BOX_LEFT);
  }
  vbSetXY(R.healthBar.obj[BOX_LEFT], s.scrDx + s.leftHealthDx, s.scrDy + s.leftHealthDy);
  vbSetXY(R.healthBar.obj[BOX_RIGHT], s.scrDx + s.rightHealthDx, s.scrDy + s.rightHealthDy);
  vbSetXY(R.kiBar.obj[BOX_LEFT], s.scrDx + s.leftKiDx, s.scrDy + s.leftKiDy);
  vbSetXY(R.kiBar.obj[BOX_RIGHT], s.scrDx + s.rightKiDx, s.scrDy + s.rightKiDy);
  // The farthest layer first: within a layer the board draws in slot order.
  for (int k = BACK_LAYERS - 1; k >= 0; k--) R.backObj[k] = addObject(R.back.sprite, k, LAYER_BACK, 0);
  for (int i = 0; i < CORNERS; i++) {
    R.cornerObj[i] = addObject(R.corners.sprite, i, LAYER_CORNERS, 0);
    vbSetXY(R.cornerObj[i], 0, 0);
  }
  R.flagObj = addObject(R.flag.sprite, 0, LAYER_BACK, 0);
  bool added = R.flagObj != nullptr;
  for (VBOBJ* o : R.backObj) added = added && o;
  for (VBOBJ* o : R.cornerObj) added = added && o;
  for (int side = 0; side < 2; side++) added = added && R.healthBar.obj[side] && R.kiBar.obj[side];
  if (!added) return logError(-1, "%s: error adding the ring's objects", fn);

  char path[PATH_SIZE];
  for (const PersonInfo& p : kPersons) {
    for (int i = 0; i < BOX_SOUNDS; i++) {
      std::snprintf(path, sizeof path, "samples/boxing/%s_%s.wav", p.name, kSoundNames[i]);
      fxLoadSampleWav(p.firstSample + i, path);
    }
  }
  R.samplesLoaded = true;
  m.playSounds = 1;

  m.ring.width = R.back.sprite->frames[0].width;
  m.ring.limitDx = s.limitDx;
  m.ring.minDist = s.boxerMindist;
  m.ring.boomDx = s.boomDx;
  m.ring.aiMinHitKi = s.aiMinHitKi;
  m.camera = (m.ring.width - s.scrWidth) / 2;
  m.boxer[BOX_LEFT].x = m.camera + s.scrWidth / 2 - START_DX;
  m.boxer[BOX_RIGHT].x = m.camera + s.scrWidth / 2 + START_DX;
  for (Boxer& b : m.boxer) {
    b.shownAnim = BOX_ANIM_STAND;
    b.shownFrame = 0;
  }

  if (gsCurrent) {
    gsCurrent->clipX = s.scrDx;
    gsCurrent->clipY = s.scrDy;
    gsCurrent->clipW = s.scrWidth;
    gsCurrent->clipH = s.scrHeight;
  }
  return 0;
}

int barFrame(int value, int frames, bool health) {
  long long f = static_cast<long long>(value) * (frames - 1) / FULL;
  if (health && value > 0 && f < 1) f = 1;
  return static_cast<int>(std::clamp<long long>(f, 0, frames - 1));
}

// Places a boxer's object for the frame: the frame shown by his last tick,
// anchored at his ring x; the left boxer's sprites are mirrored, so his
// anchor is counted from the frame's right edge.
void placeBoxer(const Boxer* b) {
  if (!b->obj) return;
  const Settings& s = R.s;
  if (b->shownAnim == BOX_ANIM_NONE || !b->obj->sprite || b->shownFrame < 0 ||
      b->shownFrame >= b->obj->sprite->numfrms) {
    vbSetXY(b->obj, -1000, -1000);
    return;
  }
  const BoxAnim& a = b->p.anim[b->shownAnim];
  const int width = b->obj->sprite->frames[b->shownFrame].width;
  const int anchor = b->side == BOX_LEFT ? width - a.dx : a.dx;
  const long long shift = b->shownAnim != BOX_ANIM_WALK1 ? 0 : b->side == BOX_LEFT ? b->p.walkFdx : -b->p.walkFdx;
  vbSetXY(b->obj, toInt(static_cast<long long>(b->x) + s.scrDx - b->shownFrame * shift - R.m.camera - anchor),
          s.scrDy - a.dy);
}

// The camera keeps both boxers limit_dx inside the window, the player
// first, and stays on the ring.
void moveCamera() {
  const Settings& s = R.s;
  BoxMatch& m = R.m;
  int c = m.camera;
  c = std::min(c, m.boxer[BOX_LEFT].x - s.limitDx);
  c = std::max(c, m.boxer[BOX_RIGHT].x + s.limitDx - s.scrWidth);
  c = std::min(c, m.ring.width - s.scrWidth);
  m.camera = std::max(c, 0);
}

// The layers behind the ring move slower the farther they are: each covers
// its own width over the camera's whole travel.
void placeBackground() {
  const Settings& s = R.s;
  const int camera = R.m.camera, travel0 = R.m.ring.width - s.scrWidth;
  const int dy[BACK_LAYERS] = {s.back0Dy, s.back1Dy, s.back2Dy};
  int x2 = s.scrDx;
  for (int k = 0; k < BACK_LAYERS; k++) {
    const int travel = R.back.sprite->frames[k].width - s.scrWidth;
    // DELIBERATE: a ring no wider than the window gives the camera no
    // travel; the layers then stand still instead of dividing by zero.
    const int x = k == 0        ? s.scrDx - camera
                  : travel0 > 0 ? toInt(s.scrDx - static_cast<long long>(travel) * camera / travel0)
                                : s.scrDx;
    vbSetXY(R.backObj[k], x, s.scrDy + dy[k]);
    if (k == 2) x2 = x;
  }
  vbSetXY(R.flagObj, x2 + s.flagDx, s.scrDy + s.back2Dy + s.flagDy);
}

void drawGreenLines() {
  const Settings& s = R.s;
  gdevSetColorRGB(0, 255, 0);
  for (const Boxer& b : R.m.boxer)
    gdevFillRect(b.x + s.scrDx - R.m.camera, s.scrDy + GREEN_TOP, 1, GREEN_BOTTOM - GREEN_TOP);
}

void playLoop() {
  const Settings& s = R.s;
  BoxMatch& m = R.m;
  SgKeys keys;
  sgInputStart(&keys);
  gdevShowCursor(0);
  double lastTick = sgNow(), lastFlag = sgNow();
  bool first = true, over = false;
  // The match ends after the frame in which a knockout has finished, and at
  // once when the program is asked to end.
  while (!over && !sgQuit()) {
    sgFrameBegin();
    const int in = sgFrameInput(&keys, nullptr);
    const int full = first || (in & SG_INPUT_REDRAW) ? 1 : 0;
    if (first) tmSetRate(s.framerate, 1);
    first = false;
    const double now = sgNow();
    if (now - lastTick > s.boxerDelay) {
      lastTick = now;
      boxMatchTick(&m, keys.scan[SG_KEY_RIGHT], keys.scan[SG_KEY_LEFT],
                   keys.chr[CHAR_SPACE] || keys.scan[SG_KEY_LAUNCH]);
    }
    for (int side = 0; side < 2; side++) {
      const Boxer& b = m.boxer[side];
      vbSetFrame(R.healthBar.obj[side], barFrame(b.health, R.health.sprite->numfrms, true));
      vbSetFrame(R.kiBar.obj[side], barFrame(b.ki, R.ki.sprite->numfrms, false));
    }
    moveCamera();
    placeBackground();
    if (now - lastFlag >= s.flagDelay) {
      lastFlag = now;
      vbNextFrame(R.flagObj);
    }
    for (const Boxer& b : m.boxer) placeBoxer(&b);
    over = boxMatchOver(&m);

    vbRestore(full);
    vbDraw();
    if (s.greenLine) drawGreenLines();
    if (!full) {
      gsClearDirty();
      gsAddDirty(s.scrDx - DIRTY_MARGIN, s.scrDy - DIRTY_MARGIN, s.scrWidth + 2 * DIRTY_MARGIN,
                 s.scrHeight + 2 * DIRTY_MARGIN);
    }
    sgFrameEnd();
  }
}

}  // namespace

// --- The tick logic ------------------------------------------------------------

void boxInitBoxer(Boxer* b, const BoxPerson* person, int side, int x) {
  VBOBJ* obj = b->obj;
  *b = Boxer{};
  b->obj = obj;
  b->p = *person;
  b->side = side;
  b->x = x;
  b->state = BOX_STAND;
  b->health = FULL;
  b->ki = FULL;
  b->shownAnim = BOX_ANIM_STAND;
  b->sound = BOX_SOUND_NONE;
}

void boxTick(const BoxRing* r, Boxer* b, Boxer* o, BoxSpark* spark) {
  b->sound = BOX_SOUND_NONE;
  b->shownAnim = animOf(b);
  b->shownFrame = b->frame;
  const int forward = b->side == BOX_LEFT ? 1 : -1;
  const int walkFrames = animFrames(b, BOX_ANIM_WALK1);
  switch (b->state) {
    case BOX_STAND: {
      const int n = animFrames(b, BOX_ANIM_STAND);
      b->frame = n > 0 ? (b->frame + 1) % n : 0;
      if (b->forward) {
        b->state = BOX_WALK_FORWARD;
        b->frame = 0;
      }
      if (b->back) {
        b->state = BOX_WALK_BACK;
        b->frame = walkFrames - 1;
      }
      startPunch(b);
      break;
    }
    case BOX_WALK_FORWARD:
      b->x += forward * b->p.walkStep;
      clampToRing(r, b);
      if (b->side == BOX_LEFT)
        b->x = std::min(b->x, o->x - r->minDist);
      else
        b->x = std::max(b->x, o->x + r->minDist);
      if (++b->frame >= walkFrames) {
        b->state = BOX_STAND;
        b->frame = 0;
      }
      startPunch(b);
      break;
    case BOX_WALK_BACK:
      b->x -= forward * b->p.walkStep;
      clampToRing(r, b);
      if (--b->frame < 0) {
        b->state = BOX_STAND;
        b->frame = 0;
      }
      startPunch(b);
      break;
    case BOX_PUNCH: {
      const int k = b->hitKind;
      if (b->frame == 0) b->sound = BOX_SOUND_HIT1 + k;
      if (b->frame == b->p.hitFrame[k]) land(r, b, o, spark);
      if (++b->frame >= animFrames(b, BOX_ANIM_HIT1 + k)) {
        b->state = BOX_STAND;
        b->frame = 0;
      }
      break;
    }
    case BOX_HIT:
      if (b->frame == 0) b->sound = BOX_SOUND_BOOM;
      if (++b->frame >= animFrames(b, BOX_ANIM_BOOM1)) {
        b->state = BOX_STAND;
        b->frame = 0;
      }
      break;
    case BOX_KNOCKED_OUT:
      if (b->frame == 0) b->sound = BOX_SOUND_KNOCKOUT;
      b->ki = 0;
      if (b->frame < animFrames(b, animOf(b)) - 1)
        b->frame++;
      else
        b->state = BOX_OUT;
      break;
    default: break;
  }
}

void boxDecide(const BoxRing* r, Boxer* c, const Boxer* player) {
  c->forward = c->back = c->punch = 0;
  const int d = std::abs(c->x - player->x);
  if (c->ki >= r->aiMinHitKi && player->state != BOX_KNOCKED_OUT && d < std::min(c->p.hitX[0], c->p.hitX[1])) {
    c->punch = 1;
  } else if (d < player->p.hitX[0] && player->state == BOX_PUNCH && blowDamage(player, c) > 0) {
    // DELIBERATE: the computer backs off only from a punch that would hurt
    // it. A player who holds the punch key throws a jab every seven ticks,
    // each with the ki of one tick, which does no damage; a walk cycle of
    // the computer lasts seven ticks too, so backing off from every jab
    // kept it walking to and fro just outside its own reach for ever.
    c->back = 1;
  } else if (c->ki < r->aiMinHitKi || player->health <= 0) {
    if (rndNext() & 1)
      c->forward = 1;
    else
      c->back = 1;
  } else {
    c->forward = 1;
  }
}

void boxRegainKi(Boxer* b) {
  if (b->state == BOX_STAND || b->state == BOX_WALK_FORWARD || b->state == BOX_WALK_BACK)
    b->ki = std::clamp(b->ki + b->p.kiIncrease, 0, static_cast<int>(FULL));
}

void boxMatchTick(BoxMatch* m, int forward, int back, int punch) {
  Boxer* player = &m->boxer[BOX_LEFT];
  Boxer* computer = &m->boxer[BOX_RIGHT];
  player->forward = forward ? 1 : 0;
  player->back = back ? 1 : 0;
  player->punch = !punch ? 0 : std::abs(computer->x - player->x) < player->p.hitX[1] ? 2 : 1;
  UPDATE_BOXER(m, player, computer);
  boxDecide(&m->ring, computer, player);
  UPDATE_BOXER(m, computer, player);
  boxRegainKi(player);
  boxRegainKi(computer);
  UPDATE_SPARK(m, &m->spark);
}

int boxMatchOver(const BoxMatch* m) {
  return m->boxer[BOX_LEFT].state == BOX_OUT || m->boxer[BOX_RIGHT].state == BOX_OUT ? 1 : 0;
}

const BoxMatch* boxCurrentMatch() { return &R.m; }

void UPDATE_BOXER(BoxMatch* m, Boxer* b, Boxer* other) {
  boxTick(&m->ring, b, other, &m->spark);
  if (b->shownAnim == BOX_ANIM_NONE) logError(0, "%s: unknown state %d, sprite is NULL", "UPDATE_BOXER()", b->state);
  if (b->obj) {
    Sprite* s = b->shownAnim == BOX_ANIM_NONE ? nullptr : b->p.anim[b->shownAnim].sprite.sprite;
    if (s && b->shownFrame >= 0 && b->shownFrame < s->numfrms) {
      vbSetSprite(b->obj, s);
      vbSetFrame(b->obj, b->shownFrame);
    } else {
      vbSetSprite(b->obj, nullptr);
      b->obj->frame = -1;
    }
  }
  if (m->playSounds && b->sound != BOX_SOUND_NONE && b->person >= 0 && b->person < BOX_PERSONS) {
    fxPlaySample(kPersons[b->person].firstSample + b->sound, R.s.*kVolumes[b->sound], R.s.*kPannings[b->side][b->sound],
                 0);
  }
}

void UPDATE_SPARK(BoxMatch* m, BoxSpark* spark) {
  if (spark->kind != BOX_SPARK_NONE && spark->frame >= 0) {
    const int k = spark->kind - 1;
    if (spark->obj && spark->sprite[k].sprite) {
      vbSetSprite(spark->obj, spark->sprite[k].sprite);
      vbSetFrame(spark->obj, spark->frame);
      vbSetXY(spark->obj, spark->x + R.s.scrDx - m->camera - spark->dx[k], spark->y + R.s.scrDy - spark->dy[k]);
    }
    if (++spark->frame >= spark->frames[k]) spark->kind = BOX_SPARK_NONE;
  } else if (spark->obj) {
    vbSetXY(spark->obj, -100, -100);
  }
}

// --- Entry points --------------------------------------------------------------

int SG_BOXING_PRELOAD(int writeBinary) {
  const char* fn = "SG_BOXING_PRELOAD()";
  freeConf();
  if (conf_anyread(&R.conf, fn, "conf/boxing.conf", "conf/boxing.bcf", writeBinary) < 0) {
    conf_free(&R.conf);  // a file that fails to parse leaves what it read
    return logError(-1, "%s: error reading configuration", fn);
  }
  R.confRead = true;
  Settings& s = R.s;
  s = Settings{};
  for (const IntKey& k : kIntKeys) s.*k.field = limitKey(conf_getint(&R.conf, k.key, k.def));
  // DELIBERATE: a frame rate of 0 or less would stop game time; the
  // default stands in for it.
  if (s.framerate <= 0) s.framerate = DEFAULT_FRAMERATE;
  for (const StrKey& k : kStrKeys) std::snprintf(s.*k.field, PATH_SIZE, "%s", conf_getstr(&R.conf, k.key, k.def));
  return 0;
}

int SG_BOXING_RUN(SgBoxingOutcome* outcome) {
  const char* fn = "SG_BOXING_RUN()";
  if (!outcome) return logError(-1, "%s: no outcome record, SE", fn);
  if (setup(outcome) < 0) {
    teardown();
    return -1;
  }
  playLoop();
  const BoxMatch& m = R.m;
  outcome->won = m.boxer[BOX_RIGHT].health < m.boxer[BOX_LEFT].health ? 1 : 0;
  teardown();
  return 1;
}

void sgBoxingFree() { freeConf(); }
