// The shooting gallery: the gun and the figures driven frame by frame on a
// small settings record with its sounds recorded, and whole rounds played
// from the keyboard on the built data.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "core/conf.h"
#include "core/log.h"
#include "core/random.h"
#include "sound/fx.h"
#include "subgames/deputy.h"
#include "subgames/deputy_internal.h"
#include "support/sg_host.h"

namespace {

struct Played {
  int id, volume, panning, loop;
};
struct SoundLog {
  std::vector<Played> played;
  std::vector<uint32_t> stopped;
  uint32_t next = 100;
};
SoundLog* gSounds = nullptr;

uint32_t recordPlay(int id, int volume, int panning, int loop) {
  gSounds->played.push_back({id, volume, panning, loop});
  return gSounds->next++;
}
int recordStop(uint32_t channel) {
  gSounds->stopped.push_back(channel);
  return 1;
}

bool isMiss(int id) { return id >= SI_DEPUTY_MISS1 && id <= SI_DEPUTY_MISS3; }

// A gallery on plain records: no board, no sprites, only frame counts. Each
// shot has 4 pictures, a reload 3, a run 10 and a fall 4; the rifle's hit
// pictures are 1..2, a figure's 3..5. Every sound key has its own value, so
// that a sound shows which keys it was played with.
struct GalleryTest : ::testing::Test {
  DeputySettings set{};
  DeputyGallery g{};
  SoundLog sounds;
  SgKeys keys{};
  const uint32_t runningChannel = 7;

  void SetUp() override {
    logReset();
    logPrint("STDERR 0");
    deputySettingsDefaults(&set);
    set.numBullets = 5;
    set.deputyStill = 0;
    set.deputyMaxwait = 1;
    set.bigProbability = 50;
    set.dieMinframe = 3;
    set.dieMaxframe = 5;
    set.gunStill = 1;
    set.fireFirst = 1;
    set.fireLast = 2;
    set.reloadStill = 1;
    DeputySoundSettings& s = set.sound;
    s.runVolume[DEPUTY_SMALL] = 11;
    s.runVolume[DEPUTY_BIG] = 12;
    s.dieVolume[DEPUTY_SMALL] = 21;
    s.dieVolume[DEPUTY_BIG] = 22;
    s.missVolume = 31;
    s.shootVolume = 41;
    s.reloadVolume = 51;
    for (int side : {DEPUTY_SIDE_LEFT, DEPUTY_SIDE_RIGHT}) {
      const int sign = side == DEPUTY_SIDE_LEFT ? -1 : 1;
      s.runPanning[DEPUTY_SMALL][side] = sign * 61;
      s.runPanning[DEPUTY_BIG][side] = sign * 62;
      s.diePanning[DEPUTY_SMALL][side] = sign * 71;
      s.diePanning[DEPUTY_BIG][side] = sign * 72;
      s.missPanning[side] = sign * 81;
      s.shootPanning[side] = sign * 91;
    }
    s.reloadPanning = 5;
    g.set = &set;
    g.sound = DeputySoundCalls{recordPlay, recordStop};
    g.gunFrames[GUN_SPRITE_LEFT] = g.gunFrames[GUN_SPRITE_RIGHT] = 4;
    g.gunFrames[GUN_SPRITE_RELOAD] = 3;
    for (int k = 0; k < DEPUTY_KINDS; k++) {
      g.runFrames[k] = 10;
      g.dieFrames[k] = 4;
    }
    gSounds = &sounds;
    rndSeed(12345);
    deputyGalleryStart(&g);
  }
  void TearDown() override {
    gSounds = nullptr;
    rndSeed(1);
    logReset();
  }

  int played(int id) const {
    int n = 0;
    for (const Played& p : sounds.played) n += p.id == id ? 1 : 0;
    return n;
  }
  // The first figure, running as the kind at the frame, with its running
  // sound on.
  Deputy& runner(int kind, int frame) {
    Deputy& d = g.deputies[0];
    d = Deputy{};
    d.state = DEPUTY_RUNNING;
    d.kind = kind;
    d.frame = frame;
    d.channel = runningChannel;
    return d;
  }
  void aim(int gunState, int gunFrame) {
    g.gun.state = gunState;
    g.gun.frame = gunFrame;
    g.gun.hold = 0;
    g.gun.missed = 1;
  }
  // The kind a figure that comes out now is given.
  int nextKind() {
    Deputy& d = g.deputies[0];
    d = Deputy{};
    d.state = DEPUTY_WAITING;
    d.count = 0;
    UPDATE_DEPUTY(&g, &d);
    EXPECT_EQ(d.state, DEPUTY_RUNNING);
    return d.kind;
  }
};

// With the left key held the shots follow one another until the bullets are
// gone: 5 updates a shot (the start and 4 pictures), 3 for a reload, which
// follows the second and the fourth shot but not the fifth.
TEST_F(GalleryTest, FiveBulletsReloadAfterEverySecondShot) {
  keys.scan[SG_KEY_LEFT] = 1;
  std::vector<int> stateAfterShot;
  int updates = 0;
  while (g.bulletsLeft > 0 && updates < 200) {
    const int before = g.bulletsLeft;
    UPDATE_GUN(&g, &keys);
    updates++;
    if (g.bulletsLeft != before) {
      EXPECT_EQ(g.bulletsLeft, before - 1);
      stateAfterShot.push_back(g.gun.state);
    }
  }
  EXPECT_EQ(stateAfterShot, (std::vector<int>{GUN_READY, GUN_RELOADING, GUN_READY, GUN_RELOADING, GUN_READY}));
  EXPECT_EQ(updates, 5 * 5 + 2 * 3);
  EXPECT_EQ(played(SI_DEPUTY_SHOOT), 5);
  EXPECT_EQ(played(SI_DEPUTY_RELOAD), 2);
  int misses = 0;
  for (const Played& p : sounds.played) {
    if (p.id == SI_DEPUTY_RELOAD) {
      EXPECT_EQ(p.volume, 51);
      EXPECT_EQ(p.panning, 5);
    }
    if (isMiss(p.id)) {
      misses++;
      EXPECT_EQ(p.volume, 31);
      EXPECT_EQ(p.panning, -81);
    }
  }
  EXPECT_EQ(misses, 5);
}

// The key picks the rifle; with both keys down the right one fires. The
// report sounds on the rifle's side when the shot reaches its first hit
// picture.
TEST_F(GalleryTest, TheKeysPickTheRifleAndTheRightOneWinsWhenBothAreDown) {
  struct Case {
    bool left, right;
    int state, shootPanning;
  } cases[] = {
      {false, false, GUN_READY, 0},
      {true, false, GUN_FIRING_LEFT, -91},
      {false, true, GUN_FIRING_RIGHT, 91},
      {true, true, GUN_FIRING_RIGHT, 91},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.left) + " " + std::to_string(c.right));
    sounds = SoundLog{};
    deputyGalleryStart(&g);
    keys = SgKeys{};
    keys.scan[SG_KEY_LEFT] = c.left;
    keys.scan[SG_KEY_RIGHT] = c.right;
    UPDATE_GUN(&g, &keys);
    EXPECT_EQ(g.gun.state, c.state);
    EXPECT_EQ(g.gun.frame, 0);
    EXPECT_TRUE(sounds.played.empty());
    keys = SgKeys{};
    UPDATE_GUN(&g, &keys);
    if (c.state == GUN_READY) {
      EXPECT_TRUE(sounds.played.empty());
      continue;
    }
    EXPECT_EQ(g.gun.frame, 1);
    ASSERT_EQ(sounds.played.size(), 1u);
    EXPECT_EQ(sounds.played[0].id, SI_DEPUTY_SHOOT);
    EXPECT_EQ(sounds.played[0].volume, 41);
    EXPECT_EQ(sounds.played[0].panning, c.shootPanning);
  }
}

// A figure falls only while its own frame lies in its hit pictures and the
// rifle's frame in the rifle's: both edges of both windows.
TEST_F(GalleryTest, AHitNeedsBothTheFigureAndTheRifleInTheirHitFrames) {
  set.deputyStill = 5;  // no picture change within the update
  struct Case {
    int figureFrame, gunFrame;
    bool hit;
  } cases[] = {
      {2, 1, false}, {3, 1, true}, {5, 1, true}, {6, 1, false},  // die_minframe-1 .. die_maxframe+1
      {4, 0, false}, {4, 1, true}, {4, 2, true}, {4, 3, false},  // fire_first-1 .. fire_last+1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("figure " + std::to_string(c.figureFrame) + " gun " + std::to_string(c.gunFrame));
    sounds = SoundLog{};
    g.killedSmall = g.killedBig = 0;
    aim(GUN_FIRING_RIGHT, c.gunFrame);
    Deputy& d = runner(DEPUTY_RIGHT_SMALL, c.figureFrame);
    UPDATE_DEPUTY(&g, &d);
    EXPECT_EQ(d.state, c.hit ? DEPUTY_DYING : DEPUTY_RUNNING);
    EXPECT_EQ(g.killedSmall, c.hit ? 1 : 0);
    EXPECT_EQ(g.gun.missed, c.hit ? 0 : 1);
    EXPECT_EQ(played(SI_DEPUTY_MAN1_DIE), c.hit ? 1 : 0);
    EXPECT_EQ(sounds.stopped, c.hit ? std::vector<uint32_t>{runningChannel} : std::vector<uint32_t>{});
    // The fall starts from its first picture.
    EXPECT_EQ(d.frame, c.hit ? 0 : c.figureFrame);
  }
}

// A whole shot at a figure that stands still at one frame: outside its hit
// pictures it survives and the miss sounds when the shot reaches its last
// hit picture; inside them it falls at the first one and no miss sounds.
TEST_F(GalleryTest, AShotThatHitsNobodySoundsTheMissAtItsLastHitFrame) {
  set.deputyStill = 100;
  for (int frame : {2, 3, 5, 6}) {
    SCOPED_TRACE("figure frame " + std::to_string(frame));
    const bool inWindow = frame >= set.dieMinframe && frame <= set.dieMaxframe;
    sounds = SoundLog{};
    deputyGalleryStart(&g);
    g.killedSmall = 0;
    Deputy& d = runner(DEPUTY_RIGHT_SMALL, frame);
    int missAt = -1, fellAt = -1;
    for (int update = 0; update < 5; update++) {
      keys = SgKeys{};
      keys.scan[SG_KEY_RIGHT] = update == 0;
      const size_t before = sounds.played.size();
      UPDATE_GUN(&g, &keys);
      for (size_t i = before; i < sounds.played.size(); i++) {
        if (!isMiss(sounds.played[i].id)) continue;
        missAt = g.gun.frame;
        EXPECT_EQ(sounds.played[i].volume, 31);
        EXPECT_EQ(sounds.played[i].panning, 81);
      }
      UPDATE_DEPUTY(&g, &d);
      if (d.state == DEPUTY_DYING && fellAt < 0) fellAt = g.gun.frame;
    }
    EXPECT_EQ(g.bulletsLeft, set.numBullets - 1);  // the shot ended
    EXPECT_EQ(missAt, inWindow ? -1 : set.fireLast);
    EXPECT_EQ(fellAt, inWindow ? set.fireFirst : -1);
    EXPECT_EQ(g.killedSmall, inWindow ? 1 : 0);
  }
}

// Each kind falls only to the rifle of its side and is counted by its size,
// with the die sound and keys of its size and side.
TEST_F(GalleryTest, EachKindFallsToItsSidesRifleAndCountsByItsSize) {
  struct Case {
    int kind;
    bool byRight, big;
    int sample, volume, panning;
  } cases[] = {
      {DEPUTY_RIGHT_SMALL, true, false, SI_DEPUTY_MAN1_DIE, 21, 71},
      {DEPUTY_RIGHT_BIG, true, true, SI_DEPUTY_MAN2_DIE, 22, 72},
      {DEPUTY_LEFT_SMALL, false, false, SI_DEPUTY_MAN1_DIE, 21, -71},
      {DEPUTY_LEFT_BIG, false, true, SI_DEPUTY_MAN2_DIE, 22, -72},
  };
  for (const Case& c : cases) {
    for (int gun : {GUN_FIRING_LEFT, GUN_FIRING_RIGHT}) {
      SCOPED_TRACE("kind " + std::to_string(c.kind) + " gun state " + std::to_string(gun));
      const bool hit = (gun == GUN_FIRING_RIGHT) == c.byRight;
      sounds = SoundLog{};
      g.killedSmall = g.killedBig = 0;
      aim(gun, set.fireFirst);
      Deputy& d = runner(c.kind, set.dieMinframe);
      UPDATE_DEPUTY(&g, &d);
      EXPECT_EQ(d.state, hit ? DEPUTY_DYING : DEPUTY_RUNNING);
      EXPECT_EQ(g.killedSmall, hit && !c.big ? 1 : 0);
      EXPECT_EQ(g.killedBig, hit && c.big ? 1 : 0);
      if (!hit) {
        EXPECT_TRUE(sounds.played.empty());
        continue;
      }
      ASSERT_EQ(sounds.played.size(), 1u);
      EXPECT_EQ(sounds.played[0].id, c.sample);
      EXPECT_EQ(sounds.played[0].volume, c.volume);
      EXPECT_EQ(sounds.played[0].panning, c.panning);
      EXPECT_EQ(sounds.played[0].loop, 0);
    }
  }
}

// A figure waits its frames out, then runs with a looped running sound
// chosen by the kind it had before (here a big one from the left), holds
// each picture deputy_still + 1 updates, and after its last picture stops
// the sound and waits again, hidden.
TEST_F(GalleryTest, AFigureWaitsRunsThroughItsPicturesAndWaitsAgain) {
  set.deputyStill = 1;
  set.deputyMaxwait = 4;
  Deputy& d = g.deputies[0];
  d = Deputy{};
  d.state = DEPUTY_WAITING;
  d.count = 2;
  d.kind = DEPUTY_LEFT_BIG;
  UPDATE_DEPUTY(&g, &d);
  UPDATE_DEPUTY(&g, &d);
  EXPECT_EQ(d.state, DEPUTY_WAITING);
  EXPECT_TRUE(sounds.played.empty());
  UPDATE_DEPUTY(&g, &d);
  ASSERT_EQ(d.state, DEPUTY_RUNNING);
  EXPECT_EQ(d.frame, 0);
  ASSERT_EQ(sounds.played.size(), 1u);
  EXPECT_EQ(sounds.played[0].id, SI_DEPUTY_MAN2_RUN);
  EXPECT_EQ(sounds.played[0].volume, 12);
  EXPECT_EQ(sounds.played[0].panning, -62);
  EXPECT_EQ(sounds.played[0].loop, 1);
  const uint32_t channel = d.channel;
  EXPECT_NE(channel, 0u);

  int updates = 0;
  std::vector<int> frames;
  while (d.state == DEPUTY_RUNNING && updates < 100) {
    UPDATE_DEPUTY(&g, &d);
    updates++;
    if (d.state == DEPUTY_RUNNING) frames.push_back(d.frame);
  }
  // 10 pictures of 2 updates each, the start's update the first of them;
  // the update after the last picture goes back to waiting.
  EXPECT_EQ(updates, 10 * 2);
  EXPECT_EQ(frames.front(), 0);
  EXPECT_EQ(frames.back(), 9);
  EXPECT_EQ(d.state, DEPUTY_WAITING);
  EXPECT_GE(d.count, 0);
  EXPECT_LT(d.count, set.deputyMaxwait);
  EXPECT_EQ(sounds.stopped, std::vector<uint32_t>{channel});
  EXPECT_EQ(d.channel, 0u);
}

// bigdeputy_probability is a percentage compared with a random number
// modulo 100: 0 gives only small figures, 100 only big ones, from both
// sides; and the draw falls on either side of the threshold exactly.
TEST_F(GalleryTest, TheBigFigureProbabilityDecidesTheSize) {
  for (int probability : {0, 100}) {
    SCOPED_TRACE(probability);
    set.bigProbability = probability;
    std::set<int> kinds;
    for (int i = 0; i < 200; i++) kinds.insert(nextKind());
    if (probability == 0)
      EXPECT_EQ(kinds, (std::set<int>{DEPUTY_RIGHT_SMALL, DEPUTY_LEFT_SMALL}));
    else
      EXPECT_EQ(kinds, (std::set<int>{DEPUTY_RIGHT_BIG, DEPUTY_LEFT_BIG}));
  }
  for (uint32_t seed : {1u, 77u, 4242u, 99991u}) {
    SCOPED_TRACE(seed);
    rndSeed(seed);
    const int r = rndNext() % 100;
    set.bigProbability = r;
    rndSeed(seed);
    EXPECT_EQ(deputyKindSize(nextKind()), DEPUTY_SMALL);
    set.bigProbability = r + 1;
    rndSeed(seed);
    EXPECT_EQ(deputyKindSize(nextKind()), DEPUTY_BIG);
  }
}

// A maximum wait of 0 or less is taken as 1: no wait, and no modulo by zero.
// A figure that ran through then comes out again on the next update.
TEST_F(GalleryTest, AMaximumWaitBelowOneMeansNoWait) {
  for (int maxwait : {-3, 0, 1}) {
    set.deputyMaxwait = maxwait;
    for (int i = 0; i < 20; i++) EXPECT_EQ(deputyRandomWait(&set), 0) << maxwait;
  }
  set.deputyMaxwait = 3;
  std::set<int> waits;
  for (int i = 0; i < 300; i++) waits.insert(deputyRandomWait(&set));
  EXPECT_EQ(waits, (std::set<int>{0, 1, 2}));

  set.deputyMaxwait = 0;
  Deputy& d = runner(DEPUTY_LEFT_SMALL, g.runFrames[DEPUTY_LEFT_SMALL] - 1);
  UPDATE_DEPUTY(&g, &d);
  EXPECT_EQ(d.state, DEPUTY_WAITING);
  EXPECT_EQ(d.count, 0);
  UPDATE_DEPUTY(&g, &d);
  EXPECT_EQ(d.state, DEPUTY_RUNNING);
  EXPECT_EQ(d.frame, 0);
}

// --- Whole rounds on the built data ----------------------------------------

// A player that looks at the round each frame and taps a flipper key (down
// this frame, up the next) when the rifle is ready and its choice finds a
// side to fire at.
struct Player {
  // The side to fire at now, or -1 to wait.
  std::function<int(const DeputyGallery&)> choose;
  // What it saw at the start of each frame: the counts so far.
  std::vector<std::pair<int, int>> kills;
  int lastFrame = -1, lastBullets = -1, reloadsSeen = 0, shots = 0;
  DeputyGun lastGun{};
  int lastGunFrames = 0;  // pictures of the sprite the gun showed

  void act(sgtest::ScriptedHost& h) {
    const DeputyGallery* g = deputyRunning();
    if (!g) return;
    kills.emplace_back(g->killedSmall, g->killedBig);
    if (g->gun.state == GUN_RELOADING && lastGun.state != GUN_RELOADING) reloadsSeen++;
    lastFrame = h.frame;
    lastBullets = g->bulletsLeft;
    lastGun = g->gun;
    lastGunFrames = g->gunFrames[g->gun.state == GUN_FIRING_LEFT    ? GUN_SPRITE_LEFT
                                 : g->gun.state == GUN_FIRING_RIGHT ? GUN_SPRITE_RIGHT
                                                                    : GUN_SPRITE_RELOAD];
    if (g->gun.state != GUN_READY || h.next < h.script.size()) return;
    const int side = choose(*g);
    if (side < 0) return;
    const int scan = side == DEPUTY_SIDE_LEFT ? SG_KEY_LEFT : SG_KEY_RIGHT;
    h.press(h.frame, scan);
    h.release(h.frame + 1, scan);
    shots++;
  }
};

// The side of a running figure whose frame lies in [lo, hi], or -1.
int sideOfRunnerIn(const DeputyGallery& g, int lo, int hi) {
  for (const Deputy& d : g.deputies)
    if (d.state == DEPUTY_RUNNING && d.frame >= lo && d.frame <= hi) return deputyKindSide(d.kind);
  return -1;
}

// Fires at a figure that is about to enter its hit pictures: the shot's hit
// pictures come 2..7 updates later, while the figure (3 updates a picture)
// moves through at least one of its own.
int aimWell(const DeputyGallery& g) {
  const DeputySettings& s = *g.set;
  return sideOfRunnerIn(g, s.dieMinframe - 1, s.dieMaxframe - 2);
}

// Fires the other rifle while a figure passes before its own, and only when
// no figure of the firing side can walk into its hit pictures during the
// shot.
int aimAtTheWrongSide(const DeputyGallery& g) {
  const DeputySettings& s = *g.set;
  bool clear[2] = {true, true};
  for (const Deputy& d : g.deputies)
    if (d.state == DEPUTY_RUNNING && d.frame >= s.dieMinframe - 4 && d.frame <= s.dieMaxframe)
      clear[deputyKindSide(d.kind)] = false;
  const int target = sideOfRunnerIn(g, s.dieMinframe, s.dieMaxframe);
  return target >= 0 && clear[1 - target] ? 1 - target : -1;
}

struct DeputyRun : sgtest::SubgameTest {
  SgDeputyOutcome out{-1, -1};
  Player player;

  void SetUp() override {
    SubgameTest::SetUp();
    if (HasFatalFailure()) return;
    rndSeed(2024);
    ASSERT_EQ(SG_DEPUTY_PRELOAD(0), 0);
    deputySettings()->numBullets = 5;
  }
  void TearDown() override {
    sgDeputyFree();
    rndSeed(1);
    SubgameTest::TearDown();
  }
  void play(std::function<int(const DeputyGallery&)> choose, int cap) {
    player = Player{};
    player.choose = std::move(choose);
    host.cap = cap;
    host.react = [this](sgtest::ScriptedHost& h) { player.act(h); };
    ASSERT_EQ(SG_DEPUTY_RUN(&out), 0);
  }
};

// The preload reads every setting under its own key.
TEST_F(DeputyRun, ThePreloadReadsEverySetting) {
  ConfSet c;
  ASSERT_EQ(conf_anyread(&c, "", "conf/deputy.conf", nullptr, 0), 0);
  deputySettings()->numBullets = conf_getint(&c, "num_bullets", INT_MIN);  // changed by the fixture
  const DeputySettings& s = *deputySettings();
  const DeputySoundSettings& snd = s.sound;
  const std::pair<const char*, int> ints[] = {
      {"num_bullets", s.numBullets},
      {"scr_dx", s.scrDx},
      {"scr_dy", s.scrDy},
      {"scr_width", s.scrWidth},
      {"scr_height", s.scrHeight},
      {"framerate", s.framerate},
      {"deputy_still", s.deputyStill},
      {"deputy_maxwait", s.deputyMaxwait},
      {"bigdeputy_probability", s.bigProbability},
      {"die_minframe", s.dieMinframe},
      {"die_maxframe", s.dieMaxframe},
      {"back_still", s.backStill},
      {"smoke_still", s.smokeStill},
      {"smoke_dx", s.smokeDx},
      {"smoke_dy", s.smokeDy},
      {"gun.still", s.gunStill},
      {"gun.fire_first", s.fireFirst},
      {"gun.fire_last", s.fireLast},
      {"gun.left_dx", s.gunDx[GUN_SPRITE_LEFT]},
      {"gun.left_dy", s.gunDy[GUN_SPRITE_LEFT]},
      {"gun.right_dx", s.gunDx[GUN_SPRITE_RIGHT]},
      {"gun.right_dy", s.gunDy[GUN_SPRITE_RIGHT]},
      {"gun.reload_dx", s.gunDx[GUN_SPRITE_RELOAD]},
      {"gun.reload_dy", s.gunDy[GUN_SPRITE_RELOAD]},
      {"gun.reload_still", s.reloadStill},
      {"rdeputy1.dx", s.kinds[DEPUTY_RIGHT_SMALL].dx},
      {"rdeputy2.dy", s.kinds[DEPUTY_RIGHT_BIG].dy},
      {"ldeputy1.dx", s.kinds[DEPUTY_LEFT_SMALL].dx},
      {"ldeputy2.dy", s.kinds[DEPUTY_LEFT_BIG].dy},
      {"sound.man1_run_volume", snd.runVolume[DEPUTY_SMALL]},
      {"sound.man2_run_volume", snd.runVolume[DEPUTY_BIG]},
      {"sound.man1_die_volume", snd.dieVolume[DEPUTY_SMALL]},
      {"sound.man2_die_volume", snd.dieVolume[DEPUTY_BIG]},
      {"sound.miss_volume", snd.missVolume},
      {"sound.shoot_volume", snd.shootVolume},
      {"sound.reload_volume", snd.reloadVolume},
      {"sound.man1_run_left_panning", snd.runPanning[DEPUTY_SMALL][DEPUTY_SIDE_LEFT]},
      {"sound.man2_run_right_panning", snd.runPanning[DEPUTY_BIG][DEPUTY_SIDE_RIGHT]},
      {"sound.man1_die_right_panning", snd.diePanning[DEPUTY_SMALL][DEPUTY_SIDE_RIGHT]},
      {"sound.man2_die_left_panning", snd.diePanning[DEPUTY_BIG][DEPUTY_SIDE_LEFT]},
      {"sound.miss_left_panning", snd.missPanning[DEPUTY_SIDE_LEFT]},
      {"sound.miss_right_panning", snd.missPanning[DEPUTY_SIDE_RIGHT]},
      {"sound.shoot_left_panning", snd.shootPanning[DEPUTY_SIDE_LEFT]},
      {"sound.shoot_right_panning", snd.shootPanning[DEPUTY_SIDE_RIGHT]},
      {"sound.reload_panning", snd.reloadPanning},
  };
  for (const auto& [key, value] : ints) EXPECT_EQ(value, conf_getint(&c, key, INT_MIN)) << key;
  const std::pair<const char*, const char*> strings[] = {
      {"image_file", s.imageFile},
      {"back_file", s.backFile},
      {"corners_file", s.cornersFile},
      {"smoke_file", s.smokeFile},
      {"gun.left_file", s.gunFile[GUN_SPRITE_LEFT]},
      {"gun.right_file", s.gunFile[GUN_SPRITE_RIGHT]},
      {"gun.reload_file", s.gunFile[GUN_SPRITE_RELOAD]},
      {"rdeputy1.run_file", s.kinds[DEPUTY_RIGHT_SMALL].runFile},
      {"ldeputy2.die_file", s.kinds[DEPUTY_LEFT_BIG].dieFile},
  };
  for (const auto& [key, value] : strings) EXPECT_STREQ(value, conf_getstr(&c, key, "")) << key;
  conf_free(&c);
  for (int id = SI_DEPUTY_MAN1_DIE; id <= SI_DEPUTY_SHOOT; id++) EXPECT_TRUE(fxSampleLoaded(id)) << id;
}

// A player who fires at every figure about to pass before its rifle hits
// with each of the five bullets; two reloads come between them, and the
// round ends on the frame that ends the fifth shot's animation.
TEST_F(DeputyRun, AGoodPlayerHitsWithEveryBullet) {
  ASSERT_NO_FATAL_FAILURE(play(aimWell, 3000));
  EXPECT_FALSE(host.capped);
  EXPECT_EQ(player.shots, 5);
  EXPECT_GE(out.killedSmall + out.killedBig, 5);
  EXPECT_EQ(player.reloadsSeen, 2);
  // The last frame began with one bullet left and the shot on its last
  // picture, about to end.
  const DeputySettings& s = *deputySettings();
  EXPECT_EQ(host.frame, player.lastFrame + 1);
  EXPECT_EQ(player.lastBullets, 1);
  EXPECT_NE(player.lastGun.state, GUN_READY);
  EXPECT_NE(player.lastGun.state, GUN_RELOADING);
  EXPECT_EQ(player.lastGun.hold, s.gunStill - 1);
  EXPECT_EQ(player.lastGun.frame, player.lastGunFrames - 1);
  // No hit can land in that frame (the shot is past its hit pictures): the
  // outcome holds the counts the frame began with.
  ASSERT_FALSE(player.kills.empty());
  EXPECT_EQ(out.killedSmall, player.kills.back().first);
  EXPECT_EQ(out.killedBig, player.kills.back().second);
  // This round's figures bring both sizes before the rifles.
  EXPECT_GT(out.killedSmall, 0);
  EXPECT_GT(out.killedBig, 0);
}

// A player who fires the wrong rifle at every figure uses up the bullets
// without a kill.
TEST_F(DeputyRun, FiringTheWrongRifleKillsNobody) {
  ASSERT_NO_FATAL_FAILURE(play(aimAtTheWrongSide, 3000));
  EXPECT_FALSE(host.capped);
  EXPECT_EQ(out.killedSmall, 0);
  EXPECT_EQ(out.killedBig, 0);
  EXPECT_EQ(player.lastBullets, 1);
  EXPECT_EQ(player.reloadsSeen, 2);
  EXPECT_EQ(player.shots, 5);
}

// A closed window ends the round at once with the counts reached so far;
// the same seed and keys play the same round again frame for frame.
TEST_F(DeputyRun, QuittingKeepsTheCountsSoFarAndRoundsReplay) {
  ASSERT_NO_FATAL_FAILURE(play(aimWell, 3000));
  const std::vector<std::pair<int, int>> full = player.kills;
  int cut = -1;
  for (size_t i = 0; i < full.size(); i++)
    if (full[i].first + full[i].second >= 2) {
      cut = static_cast<int>(i) + 3;
      break;
    }
  ASSERT_GT(cut, 0);
  ASSERT_LT(cut, static_cast<int>(full.size()));

  sgDeputyFree();
  rndSeed(2024);
  ASSERT_EQ(SG_DEPUTY_PRELOAD(0), 0);
  deputySettings()->numBullets = 5;
  host = sgtest::ScriptedHost{};
  out = SgDeputyOutcome{-1, -1};
  ASSERT_NO_FATAL_FAILURE(play(aimWell, cut));
  EXPECT_TRUE(host.capped);
  EXPECT_EQ(host.frame, cut);
  EXPECT_EQ(out.killedSmall, full[cut].first);
  EXPECT_EQ(out.killedBig, full[cut].second);
  EXPECT_GE(out.killedSmall + out.killedBig, 2);
}

// The round frees the sprites it loaded and the nine samples, and keeps the
// preload's figures for the next one.
TEST_F(DeputyRun, TheRoundFreesWhatItLoaded) {
  const int before = spritesInUse();
  ASSERT_NO_FATAL_FAILURE(play([](const DeputyGallery&) { return -1; }, 30));
  EXPECT_TRUE(host.capped);
  EXPECT_EQ(out.killedSmall, 0);
  EXPECT_EQ(out.killedBig, 0);
  EXPECT_EQ(spritesInUse(), before);
  ASSERT_FALSE(fxDisabled());
  for (int id = SI_DEPUTY_MAN1_DIE; id <= SI_DEPUTY_SHOOT; id++) EXPECT_FALSE(fxSampleLoaded(id)) << id;
}

// Without the preload's figures the round does not start.
TEST_F(DeputyRun, WithoutTheFiguresTheRoundDoesNotStart) {
  sgDeputyFree();
  const int before = spritesInUse();
  host.cap = 30;
  EXPECT_EQ(SG_DEPUTY_RUN(&out), -1);
  EXPECT_EQ(host.frame, 0);
  EXPECT_EQ(out.killedSmall, 0);
  EXPECT_EQ(out.killedBig, 0);
  EXPECT_EQ(spritesInUse(), before);
}

}  // namespace
