// The shooting gallery: deputies run across the square from either curtain,
// the player fires the left rifle with the left flipper key and the right
// rifle with the right one. A figure falls when the rifle of its side is in
// its hit pictures while the figure runs through its own hit pictures. Small
// and big figures are counted apart; the round ends with the last bullet.
#include <algorithm>
#include <cstring>

#include "core/conf.h"
#include "core/log.h"
#include "core/random.h"
#include "core/text.h"
#include "core/time.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "platform/gdev.h"
#include "sound/fx.h"
#include "subgames/deputy.h"
#include "subgames/deputy_internal.h"

namespace {

const char* const kKindPrefix[DEPUTY_KINDS] = {"rdeputy1", "rdeputy2", "ldeputy1", "ldeputy2"};

// The nine samples the preload loads, in slot order from SI_DEPUTY_MAN1_DIE.
const char* const kSampleFiles[] = {
    "samples/deputy/man1_die.wav", "samples/deputy/man2_die.wav", "samples/deputy/man1_run.wav",
    "samples/deputy/man2_run.wav", "samples/deputy/miss1.wav",    "samples/deputy/miss2.wav",
    "samples/deputy/miss3.wav",    "samples/deputy/reload.wav",   "samples/deputy/shoot.wav",
};
constexpr int kSamples = static_cast<int>(sizeof kSampleFiles / sizeof kSampleFiles[0]);
static_assert(SI_DEPUTY_MAN1_DIE + kSamples - 1 == SI_DEPUTY_SHOOT, "one file a deputy slot");

enum { LAYER_BACK = 0, LAYER_DEPUTIES = 1, LAYER_SMOKE = 2, LAYER_GUN = 3, LAYER_CORNERS = 4, CORNERS = 4 };
enum { DEFAULT_FRAMERATE = 60 };

// What the preload keeps: the settings and the four kinds' sprites.
struct Preloaded {
  DeputySettings set;
  SprOwned run[DEPUTY_KINDS], die[DEPUTY_KINDS];
};
Preloaded P;
bool gDefaultsSet = false;

// The round in play, for deputyRunning().
const DeputyGallery* gRunning = nullptr;

uint32_t fxPlay(int id, int volume, int panning, int loop) { return fxPlaySample(id, volume, panning, loop); }
int fxStop(uint32_t channel) { return fxChannelStop(channel); }

Sprite* loadSprite(const char* path) {
  Sprite* s = SPR_CREATE(path);
  logDebug(3, "spr_create('%s'): spr-%p", path, static_cast<void*>(s));
  return s;
}

int frameCount(const Sprite* s) { return s ? s->numfrms : 0; }

// The preload's sprite when its record still holds it (all sprites may have
// been freed since, and the record taken by another).
Sprite* held(const SprOwned& o) {
  const Sprite* s = o.sprite;
  return s && s->inUse && std::strncmp(s->name, o.name, sizeof o.name) == 0 ? o.sprite : nullptr;
}

void readString(ConfSet* conf, const char* key, char* out) {
  strCopyN(out, conf_getstr(conf, key, out), DEPUTY_PATH_SIZE);
}

void readSettings(ConfSet* c, DeputySettings* s) {
  deputySettingsDefaults(s);
  readString(c, "image_file", s->imageFile);
  s->numBullets = conf_getint(c, "num_bullets", s->numBullets);
  s->scrDx = conf_getint(c, "scr_dx", s->scrDx);
  s->scrDy = conf_getint(c, "scr_dy", s->scrDy);
  s->scrWidth = conf_getint(c, "scr_width", s->scrWidth);
  s->scrHeight = conf_getint(c, "scr_height", s->scrHeight);
  s->framerate = conf_getint(c, "framerate", s->framerate);
  s->deputyStill = conf_getint(c, "deputy_still", s->deputyStill);
  s->deputyMaxwait = conf_getint(c, "deputy_maxwait", s->deputyMaxwait);
  s->bigProbability = conf_getint(c, "bigdeputy_probability", s->bigProbability);
  s->dieMinframe = conf_getint(c, "die_minframe", s->dieMinframe);
  s->dieMaxframe = conf_getint(c, "die_maxframe", s->dieMaxframe);
  readString(c, "back_file", s->backFile);
  s->backStill = conf_getint(c, "back_still", s->backStill);
  readString(c, "corners_file", s->cornersFile);
  readString(c, "smoke_file", s->smokeFile);
  s->smokeStill = conf_getint(c, "smoke_still", s->smokeStill);
  s->smokeDx = conf_getint(c, "smoke_dx", s->smokeDx);
  s->smokeDy = conf_getint(c, "smoke_dy", s->smokeDy);
  s->gunStill = conf_getint(c, "gun.still", s->gunStill);
  s->fireFirst = conf_getint(c, "gun.fire_first", s->fireFirst);
  s->fireLast = conf_getint(c, "gun.fire_last", s->fireLast);
  const char* const gunName[GUN_SPRITES] = {"left", "right", "reload"};
  for (int i = 0; i < GUN_SPRITES; i++) {
    char key[64];
    strFormatN(key, sizeof key, "gun.%s_file", gunName[i]);
    readString(c, key, s->gunFile[i]);
    strFormatN(key, sizeof key, "gun.%s_dx", gunName[i]);
    s->gunDx[i] = conf_getint(c, key, s->gunDx[i]);
    strFormatN(key, sizeof key, "gun.%s_dy", gunName[i]);
    s->gunDy[i] = conf_getint(c, key, s->gunDy[i]);
  }
  s->reloadStill = conf_getint(c, "gun.reload_still", s->reloadStill);
  for (int k = 0; k < DEPUTY_KINDS; k++) {
    DeputyKindSettings& kind = s->kinds[k];
    char key[64];
    strFormatN(key, sizeof key, "%s.run_file", kKindPrefix[k]);
    readString(c, key, kind.runFile);
    strFormatN(key, sizeof key, "%s.die_file", kKindPrefix[k]);
    readString(c, key, kind.dieFile);
    strFormatN(key, sizeof key, "%s.dx", kKindPrefix[k]);
    kind.dx = conf_getint(c, key, kind.dx);
    strFormatN(key, sizeof key, "%s.dy", kKindPrefix[k]);
    kind.dy = conf_getint(c, key, kind.dy);
  }
  DeputySoundSettings& snd = s->sound;
  const char* const man[2] = {"man1", "man2"};
  const char* const side[2] = {"left", "right"};
  for (int size = 0; size < 2; size++) {
    char key[64];
    strFormatN(key, sizeof key, "sound.%s_run_volume", man[size]);
    snd.runVolume[size] = conf_getint(c, key, snd.runVolume[size]);
    strFormatN(key, sizeof key, "sound.%s_die_volume", man[size]);
    snd.dieVolume[size] = conf_getint(c, key, snd.dieVolume[size]);
    for (int sd = 0; sd < 2; sd++) {
      strFormatN(key, sizeof key, "sound.%s_run_%s_panning", man[size], side[sd]);
      snd.runPanning[size][sd] = conf_getint(c, key, snd.runPanning[size][sd]);
      strFormatN(key, sizeof key, "sound.%s_die_%s_panning", man[size], side[sd]);
      snd.diePanning[size][sd] = conf_getint(c, key, snd.diePanning[size][sd]);
    }
  }
  snd.missVolume = conf_getint(c, "sound.miss_volume", snd.missVolume);
  snd.shootVolume = conf_getint(c, "sound.shoot_volume", snd.shootVolume);
  snd.reloadVolume = conf_getint(c, "sound.reload_volume", snd.reloadVolume);
  for (int sd = 0; sd < 2; sd++) {
    char key[64];
    strFormatN(key, sizeof key, "sound.miss_%s_panning", side[sd]);
    snd.missPanning[sd] = conf_getint(c, key, snd.missPanning[sd]);
    strFormatN(key, sizeof key, "sound.shoot_%s_panning", side[sd]);
    snd.shootPanning[sd] = conf_getint(c, key, snd.shootPanning[sd]);
  }
  snd.reloadPanning = conf_getint(c, "sound.reload_panning", snd.reloadPanning);
}

// Loads one kind's run and die sprites into the preload's record; on a
// failure neither is kept.
int LOAD_DEPUTY_SPRITES(int kind) {
  const DeputyKindSettings& k = P.set.kinds[kind];
  Sprite* run = loadSprite(k.runFile);
  Sprite* die = run ? loadSprite(k.dieFile) : nullptr;
  if (!run || !die) {
    if (run) SPR_FREE(run);
    return logError(-1, "%s: error loading sprites", "LOAD_DEPUTY_SPRITES()");
  }
  P.run[kind] = sprOwn(run);
  P.die[kind] = sprOwn(die);
  return 0;
}

void freeSamples() {
  for (int i = 0; i < kSamples; i++)
    if (fxSampleLoaded(SI_DEPUTY_MAN1_DIE + i)) fxFreeSample(SI_DEPUTY_MAN1_DIE + i);
}

// --- The gun ----------------------------------------------------------------

int gunSide(int state) {
  return state == GUN_FIRING_LEFT ? DEPUTY_SIDE_LEFT : state == GUN_FIRING_RIGHT ? DEPUTY_SIDE_RIGHT : -1;
}

int gunSpriteOf(int state) {
  return state == GUN_FIRING_LEFT ? GUN_SPRITE_LEFT : state == GUN_FIRING_RIGHT ? GUN_SPRITE_RIGHT : GUN_SPRITE_RELOAD;
}

// Puts a sprite frame on an object, or hides the object for a frame the
// sprite does not have.
void showFrame(VBOBJ* obj, Sprite* s, int frame, int x, int y) {
  if (!obj) return;
  if (!s || frame < 0 || frame >= s->numfrms) {
    if (obj->sprite) vbSetSprite(obj, nullptr);
    obj->frame = -1;
    return;
  }
  if (obj->sprite != s) vbSetSprite(obj, s);
  vbSetFrame(obj, frame);
  vbSetXY(obj, x, y);
}

void showGun(DeputyGallery* g) {
  const int which = gunSpriteOf(g->gun.state);
  const DeputySettings& s = *g->set;
  showFrame(g->gun.obj, g->gunSprite[which], g->gun.frame, s.scrDx + s.gunDx[which], s.scrDy + s.gunDy[which]);
}

// The shot's sounds when its animation reaches a picture: the report at the
// first hit picture, a miss at the last one when nobody has fallen yet.
void gunReached(DeputyGallery* g) {
  const DeputySettings& s = *g->set;
  const int side = gunSide(g->gun.state);
  if (g->gun.frame == s.fireFirst) g->sound.play(SI_DEPUTY_SHOOT, s.sound.shootVolume, s.sound.shootPanning[side], 0);
  if (g->gun.frame == s.fireLast && g->gun.missed)
    g->sound.play(SI_DEPUTY_MISS1 + rndBelow(3), s.sound.missVolume, s.sound.missPanning[side], 0);
}

void startFiring(DeputyGallery* g, int state) {
  DeputyGun& gun = g->gun;
  gun.state = state;
  gun.frame = 0;
  gun.hold = 0;
  gun.missed = 1;
}

void endShot(DeputyGallery* g) {
  const DeputySettings& s = *g->set;
  DeputyGun& gun = g->gun;
  g->bulletsLeft--;
  if (gun.shotsBeforeReload < DEPUTY_SHOTS_PER_LOAD) {
    gun.state = GUN_RELOADING;
    g->sound.play(SI_DEPUTY_RELOAD, s.sound.reloadVolume, s.sound.reloadPanning, 0);
  } else {
    gun.state = GUN_READY;
  }
  gun.shotsBeforeReload--;
  gun.frame = 0;
  gun.hold = 0;
}

// --- The figures --------------------------------------------------------------

void stopSound(DeputyGallery* g, Deputy* d) {
  if (d->channel) g->sound.stop(d->channel);
  d->channel = 0;
}

// A new figure: big with the configured chance, from either side.
int drawKind(const DeputySettings& s) {
  const bool big = rndNext() % 100 < s.bigProbability;
  const bool left = (rndNext() & 1) != 0;
  if (big) return left ? DEPUTY_LEFT_BIG : DEPUTY_RIGHT_BIG;
  return left ? DEPUTY_LEFT_SMALL : DEPUTY_RIGHT_SMALL;
}

void hideDeputy(Deputy* d) { showFrame(d->obj, nullptr, -1, 0, 0); }

void showDeputy(DeputyGallery* g, Deputy* d) {
  Sprite* sprite = nullptr;
  switch (d->state) {
    case DEPUTY_RUNNING: sprite = g->run[d->kind]; break;
    case DEPUTY_DYING: sprite = g->die[d->kind]; break;
    default:
      logError(0, "%s: unknown deputy state %d, sprite is NULL", "UPDATE_DEPUTY()", d->state);
      hideDeputy(d);
      return;
  }
  const DeputySettings& s = *g->set;
  showFrame(d->obj, sprite, d->frame, s.scrDx + s.kinds[d->kind].dx, s.scrDy + s.kinds[d->kind].dy);
}

// The waiting figure comes out: its running sound starts, a new kind is
// drawn and its first run picture shown.
void startRunning(DeputyGallery* g, Deputy* d) {
  const DeputySettings& s = *g->set;
  d->state = DEPUTY_RUNNING;
  d->count = 0;
  stopSound(g, d);
  // The running sound goes by the kind the figure had until now; the new
  // kind is drawn after it.
  const int size = deputyKindSize(d->kind), side = deputyKindSide(d->kind);
  // DELIBERATE: the big runner's sound plays with the "man2" running volume
  // and pannings; taking the "man1" keys for both sounds would leave the
  // "man2" keys that the settings define without any use.
  d->channel = g->sound.play(size == DEPUTY_BIG ? SI_DEPUTY_MAN2_RUN : SI_DEPUTY_MAN1_RUN, s.sound.runVolume[size],
                             s.sound.runPanning[size][side], 1);
  d->frame = 0;
  d->kind = drawKind(s);
  showDeputy(g, d);
}

bool hitNow(const DeputyGallery* g, const Deputy* d) {
  const DeputySettings& s = *g->set;
  const DeputyGun& gun = g->gun;
  return gun.frame >= s.fireFirst && gun.frame <= s.fireLast && d->frame >= s.dieMinframe &&
         d->frame <= s.dieMaxframe && gunSide(gun.state) == deputyKindSide(d->kind);
}

void fall(DeputyGallery* g, Deputy* d) {
  const DeputySettings& s = *g->set;
  g->gun.missed = 0;
  d->state = DEPUTY_DYING;
  stopSound(g, d);
  // The fall plays from its first picture, which stands where the runner
  // was hit.
  d->frame = 0;
  d->count = 0;
  const int size = deputyKindSize(d->kind), side = deputyKindSide(d->kind);
  if (size == DEPUTY_BIG) {
    g->killedBig++;
  } else {
    g->killedSmall++;
  }
  g->sound.play(size == DEPUTY_BIG ? SI_DEPUTY_MAN2_DIE : SI_DEPUTY_MAN1_DIE, s.sound.dieVolume[size],
                s.sound.diePanning[size][side], 0);
}

}  // namespace

void deputySettingsDefaults(DeputySettings* s) {
  *s = DeputySettings{};
  strCopyN(s->imageFile, "<image_file>", DEPUTY_PATH_SIZE);
  strCopyN(s->backFile, "<back_file>", DEPUTY_PATH_SIZE);
  strCopyN(s->cornersFile, "<corners_file>", DEPUTY_PATH_SIZE);
  strCopyN(s->smokeFile, "<smoke_file>", DEPUTY_PATH_SIZE);
  s->numBullets = 5;
  s->scrWidth = s->scrHeight = 100;
  s->framerate = DEFAULT_FRAMERATE;
  s->bigProbability = 50;
  DeputySoundSettings& snd = s->sound;
  for (int size = 0; size < 2; size++) {
    snd.runVolume[size] = snd.dieVolume[size] = 100;
    snd.runPanning[size][DEPUTY_SIDE_LEFT] = snd.diePanning[size][DEPUTY_SIDE_LEFT] = -100;
    snd.runPanning[size][DEPUTY_SIDE_RIGHT] = snd.diePanning[size][DEPUTY_SIDE_RIGHT] = 100;
  }
  snd.missVolume = snd.shootVolume = snd.reloadVolume = 100;
  snd.missPanning[DEPUTY_SIDE_LEFT] = snd.shootPanning[DEPUTY_SIDE_LEFT] = -100;
  snd.missPanning[DEPUTY_SIDE_RIGHT] = snd.shootPanning[DEPUTY_SIDE_RIGHT] = 100;
  snd.reloadPanning = 0;
}

DeputySettings* deputySettings() {
  if (!gDefaultsSet) {
    deputySettingsDefaults(&P.set);
    gDefaultsSet = true;
  }
  return &P.set;
}

const DeputyGallery* deputyRunning() { return gRunning; }

int deputyRandomWait(const DeputySettings* s) {
  // DELIBERATE: a maximum wait below 1 would take the random number modulo
  // zero or a negative number; it is taken as 1, so the figure does not wait.
  return rndBelow(std::max(1, s->deputyMaxwait));
}

void deputyGalleryStart(DeputyGallery* g) {
  DeputyGun& gun = g->gun;
  VBOBJ* gunObj = gun.obj;
  gun = DeputyGun{};
  gun.obj = gunObj;
  gun.state = GUN_READY;
  gun.shotsBeforeReload = DEPUTY_SHOTS_PER_LOAD;
  g->bulletsLeft = g->set->numBullets;
  g->killedSmall = g->killedBig = 0;
  for (Deputy& d : g->deputies) {
    VBOBJ* obj = d.obj;
    d = Deputy{};
    d.obj = obj;
    d.state = DEPUTY_WAITING;
    d.count = deputyRandomWait(g->set);
    hideDeputy(&d);
  }
  showGun(g);
}

void UPDATE_GUN(DeputyGallery* g, const SgKeys* keys) {
  const DeputySettings& s = *g->set;
  DeputyGun& gun = g->gun;
  switch (gun.state) {
    case GUN_READY:
      // Both keys down: the right rifle fires.
      if (keys->scan[SG_KEY_LEFT]) startFiring(g, GUN_FIRING_LEFT);
      if (keys->scan[SG_KEY_RIGHT]) startFiring(g, GUN_FIRING_RIGHT);
      if (gun.state != GUN_READY) gunReached(g);
      break;
    case GUN_FIRING_LEFT:
    case GUN_FIRING_RIGHT:
      if (++gun.hold < s.gunStill) break;
      gun.hold = 0;
      if (++gun.frame >= g->gunFrames[gunSpriteOf(gun.state)]) {
        endShot(g);
        break;
      }
      gunReached(g);
      break;
    case GUN_RELOADING:
      if (++gun.hold < s.reloadStill) break;
      gun.hold = 0;
      if (++gun.frame >= g->gunFrames[GUN_SPRITE_RELOAD]) {
        gun.state = GUN_READY;
        gun.frame = 0;
        gun.shotsBeforeReload = DEPUTY_SHOTS_PER_LOAD;
      }
      break;
    default:
      logError(0, "%s: unknown gun state %d, SE", "UPDATE_GUN()", gun.state);
      gun.state = GUN_READY;
      gun.frame = 0;
      break;
  }
  showGun(g);
}

void UPDATE_DEPUTY(DeputyGallery* g, Deputy* d) {
  const DeputySettings& s = *g->set;
  switch (d->state) {
    case DEPUTY_WAITING:
      if (d->count > 0) {
        d->count--;
        return;
      }
      startRunning(g, d);
      return;
    case DEPUTY_RUNNING:
      if (hitNow(g, d)) fall(g, d);
      break;
    case DEPUTY_DYING: break;
    default:
      logError(0, "%s: unknown deputy state %d", "UPDATE_DEPUTY()", d->state);
      showDeputy(g, d);
      return;
  }
  if (++d->count > s.deputyStill) {
    d->count = 0;
    d->frame++;
  }
  const int frames = d->state == DEPUTY_RUNNING ? g->runFrames[d->kind] : g->dieFrames[d->kind];
  if (d->frame >= frames) {
    stopSound(g, d);
    d->state = DEPUTY_WAITING;
    d->count = deputyRandomWait(&s);
    hideDeputy(d);
    return;
  }
  showDeputy(g, d);
}

int SG_DEPUTY_PRELOAD(int writeBinary) {
  constexpr const char* fn = "SG_DEPUTY_PRELOAD()";
  // Called at the table's load and again before every round: what an earlier
  // call kept goes first.
  sgDeputyFree();
  gDefaultsSet = true;
  ConfSet conf;
  if (conf_anyread(&conf, fn, "conf/deputy.conf", "conf/deputy.bcf", writeBinary) < 0) {
    deputySettingsDefaults(&P.set);
    return -1;
  }
  readSettings(&conf, &P.set);
  conf_free(&conf);

  for (int k = 0; k < DEPUTY_KINDS; k++) {
    if (LOAD_DEPUTY_SPRITES(k) < 0) {
      sgDeputyFree();
      return logError(-1, "%s: error loading sprites", fn);
    }
  }
  // DELIBERATE: a sample that does not load leaves its sound silent; the
  // table still loads and the gallery still plays (the table's own samples
  // are handled the same way).
  for (int i = 0; i < kSamples; i++)
    if (!fxLoadSampleWav(SI_DEPUTY_MAN1_DIE + i, kSampleFiles[i]))
      logError(0, "%s: error loading sample '%s'", fn, kSampleFiles[i]);
  return 0;
}

void sgDeputyFree() {
  for (int k = 0; k < DEPUTY_KINDS; k++) {
    sprRelease(&P.run[k]);
    sprRelease(&P.die[k]);
  }
  freeSamples();
}

namespace {

// The round's own sprites and the scenery's objects.
struct Scene {
  Sprite* gun[GUN_SPRITES];
  Sprite* back;
  Sprite* corners;
  Sprite* smoke;
  VBOBJ* backObj;
  VBOBJ* smokeObj;
  VBOBJ* cornerObj[CORNERS];
  int backHold, smokeHold;
};

void freeSprite(Sprite** s) {
  if (*s) SPR_FREE(*s);
  *s = nullptr;
}

void freeScene(Scene* sc) {
  for (Sprite*& s : sc->gun) freeSprite(&s);
  freeSprite(&sc->back);
  freeSprite(&sc->corners);
  freeSprite(&sc->smoke);
}

bool loadScene(Scene* sc, const DeputySettings& s) {
  for (int i = 0; i < GUN_SPRITES; i++)
    if (!(sc->gun[i] = loadSprite(s.gunFile[i]))) return false;
  if (!(sc->back = loadSprite(s.backFile))) return false;
  if (!(sc->corners = loadSprite(s.cornersFile))) return false;
  if (!(sc->smoke = loadSprite(s.smokeFile))) return false;
  return true;
}

VBOBJ* addObject(Sprite* s, int frame, int x, int y, int layer) {
  const bool shown = s && frame >= 0 && frame < s->numfrms;
  VBOBJ* obj = vbAddObject(shown ? s : nullptr, shown ? frame : -1, x, y);
  if (obj) vbSetLayer(obj, layer);
  return obj;
}

void delObject(VBOBJ** obj) {
  if (*obj) vbDelObject(*obj);
  *obj = nullptr;
}

// Advances an object's frame, wrapping, every still + 1 calls.
void animate(VBOBJ* obj, int* hold, int still) {
  if (++*hold <= still) return;
  *hold = 0;
  if (obj && obj->sprite) vbNextFrame(obj);
}

}  // namespace

int SG_DEPUTY_RUN(SgDeputyOutcome* outcome) {
  constexpr const char* fn = "SG_DEPUTY_RUN()";
  if (outcome) outcome->killedSmall = outcome->killedBig = 0;
  const DeputySettings& s = *deputySettings();
  for (int k = 0; k < DEPUTY_KINDS; k++)
    if (!held(P.run[k]) || !held(P.die[k])) return logError(-1, "%s: error loading sprites", fn);

  Scene sc{};
  if (!loadScene(&sc, s)) {
    freeScene(&sc);
    return logError(-1, "%s: error loading sprites", fn);
  }

  DeputyGallery g{};
  g.set = &s;
  g.sound = DeputySoundCalls{fxPlay, fxStop};
  for (int i = 0; i < GUN_SPRITES; i++) {
    g.gunSprite[i] = sc.gun[i];
    g.gunFrames[i] = frameCount(sc.gun[i]);
  }
  for (int k = 0; k < DEPUTY_KINDS; k++) {
    g.run[k] = P.run[k].sprite;
    g.die[k] = P.die[k].sprite;
    g.runFrames[k] = frameCount(g.run[k]);
    g.dieFrames[k] = frameCount(g.die[k]);
  }

  sc.backObj = addObject(sc.back, 0, s.scrDx, s.scrDy, LAYER_BACK);
  for (int i = 0; i < CORNERS; i++) sc.cornerObj[i] = addObject(sc.corners, i, 0, 0, LAYER_CORNERS);
  sc.smokeObj = addObject(sc.smoke, 0, s.scrDx + s.smokeDx, s.scrDy + s.smokeDy, LAYER_SMOKE);
  for (Deputy& d : g.deputies) d.obj = addObject(nullptr, -1, 0, 0, LAYER_DEPUTIES);
  g.gun.obj = addObject(sc.gun[GUN_SPRITE_RELOAD], 0, s.scrDx + s.gunDx[GUN_SPRITE_RELOAD],
                        s.scrDy + s.gunDy[GUN_SPRITE_RELOAD], LAYER_GUN);
  deputyGalleryStart(&g);

  // DELIBERATE: a frame rate below 1 would stop the game clock (or divide
  // by zero in the pacing); the default rate is taken instead.
  const int rate = s.framerate >= 1 ? s.framerate : DEFAULT_FRAMERATE;
  logPrint("framerate is %d", rate);
  tmSetRate(rate, 1);
  SgKeys keys;
  sgInputStart(&keys);
  logPrint("[<-] - shoot left, [->] - shoot right");
  if (gsCurrent) {
    gsCurrent->clipX = s.scrDx;
    gsCurrent->clipY = s.scrDy;
    gsCurrent->clipW = s.scrWidth;
    gsCurrent->clipH = s.scrHeight;
  }
  gdevShowCursor(0);

  gRunning = &g;
  bool full = true;
  while (!sgQuit()) {
    sgFrameBegin();
    if (sgFrameInput(&keys, nullptr) & SG_INPUT_REDRAW) full = true;
    animate(sc.backObj, &sc.backHold, s.backStill);
    animate(sc.smokeObj, &sc.smokeHold, s.smokeStill);
    UPDATE_GUN(&g, &keys);
    for (Deputy& d : g.deputies) UPDATE_DEPUTY(&g, &d);
    const bool over = g.bulletsLeft < 1;
    vbRestore(full ? 1 : 0);
    vbDraw();
    sgFrameEnd();
    full = false;
    if (over) break;
  }
  gRunning = nullptr;

  if (outcome) {
    outcome->killedSmall = g.killedSmall;
    outcome->killedBig = g.killedBig;
  }
  logPrint("%s: killed %d small, %d big", fn, g.killedSmall, g.killedBig);
  for (Deputy& d : g.deputies) {
    stopSound(&g, &d);
    delObject(&d.obj);
  }
  freeSamples();
  delObject(&g.gun.obj);
  delObject(&sc.backObj);
  delObject(&sc.smokeObj);
  for (VBOBJ*& obj : sc.cornerObj) delObject(&obj);
  freeScene(&sc);
  return 0;
}
