// Routing objects: gates, gate2, portals, blockers, tunnels, the spring door,
// mission points, the mausoleum, the prison-zone magnet and the ostlift, run
// on a small table with real balls crossing them.
#include <sys/stat.h>

#include <climits>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "core/text.h"
#include "game/trigger.h"
#include "physics/objects/objects_reset.h"
#include "physics/objects/routing_internal.h"
#include "physics/objects/table_fixture.h"

namespace {

int gProcCalls = 0;
std::string gProcOrder;
int gPick = 0;
int gNewBalls = 0;
int gFreeBalls = 0;

int countProc(NamedProc*) {
  gProcCalls++;
  return 0;
}
int procA(NamedProc*) {
  gProcOrder += "a";
  return 0;
}
int procB(NamedProc*) {
  gProcOrder += "b";
  return 0;
}
int pickProc(NamedProc*) { return gPick; }
void newBall(int free) {
  gNewBalls++;
  gFreeBalls += free;
}

// A gate-like outline at (x, y): a narrow upright pentagon whose apex (the
// vertex farthest from the position) points up the table, so that its left
// side is to the left on the screen.
const std::vector<std::pair<double, double>> kUpright = {{0, -25}, {5, -20}, {5, 20}, {-5, 20}, {-5, -20}};

class RoutingTest : public TableFixture {
 protected:
  void SetUp() override {
    TableFixture::SetUp();
    routingReset();
    gProcCalls = 0;
    gProcOrder.clear();
    gPick = 0;
    gNewBalls = gFreeBalls = 0;
    gTable.newBall = newBall;
    gstatInit();
    for (const char* m : {"hit:t_yes", "hit:t_no", "hit:t3", "hit:t8", "evt:mumra_prize"}) gstatAdd(m, m);
    gstatBegin();
  }
  void TearDown() override {
    TableFixture::TearDown();
    routingReset();
  }

  // Offers the outline to the readers and returns the object made of it by
  // the expected reader.
  BoardObject* make(Outline* o, int reader) {
    int r = -1;
    BoardObject* b = TableFixture::make(o, 0, &r);
    EXPECT_EQ(r, reader);
    return b;
  }

  // Registers the track "name" (as the track configuration would) over the
  // given points.
  Track* namedTrack(const std::string& name, std::vector<TrackVec> points, double spacing) {
    ScopedChdir cd(dir.path);
    mkdir("conf", 0755);
    Track t{static_cast<int>(points.size()), spacing, points.data()};
    EXPECT_EQ(trackSave((name + ".trk").c_str(), &t), 1);
    writeFile("conf/track.conf", "[" + name + "]\nfilename = \"" + name + ".trk\"\n");
    EXPECT_EQ(setupTracks(0), 1);
    return findTrack(name.c_str());
  }

  std::string trackFile(const std::string& name, std::vector<TrackVec> points, double spacing) {
    Track t{static_cast<int>(points.size()), spacing, points.data()};
    std::string path = dir.file(name);
    EXPECT_EQ(trackSave(path.c_str(), &t), 1);
    return path;
  }

  // The live visual-board object showing the sprite loaded from path.
  VBOBJ* shown(const std::string& path) {
    for (int i = 0; i < vboard.used; i++) {
      VBOBJ* v = &vboard.objects[i];
      if (v->inUse && !v->dead && v->sprite && path == v->sprite->name) return v;
    }
    return nullptr;
  }

  // Steps until done() holds (at most n steps); false when it never did.
  bool stepUntil(const std::function<bool()>& done, int n = 200) {
    for (int i = 0; i < n; i++) {
      if (done()) return true;
      step();
    }
    return done();
  }

};

// ---------------------------------------------------------------------------
// Sides

TEST_F(RoutingTest, SideIsTakenAgainstTheAxisToTheFarthestVertex) {
  Outline* o = outline(100, 100, kUpright);
  Vec3 axis = routingAxis(o);
  EXPECT_EQ(axis.x, 0);
  EXPECT_EQ(axis.y, -25);

  struct Case {
    Vec3 axis, point;
    int side;
  };
  const Vec3 pos{100, 100, 0};
  const Case cases[] = {
      {{0, -25, 0}, {90, 100, 0}, SIDE_LEFT},    // axis up the table: left is left
      {{0, -25, 0}, {110, 100, 0}, SIDE_RIGHT},
      {{0, -25, 0}, {90, 130, 0}, SIDE_LEFT},    // behind the position, still left
      {{25, 0, 0}, {100, 90, 0}, SIDE_LEFT},     // axis to the right: left is up
      {{25, 0, 0}, {100, 110, 0}, SIDE_RIGHT},
      {{-25, 0, 0}, {100, 110, 0}, SIDE_LEFT},   // axis to the left: left is down
      {{-25, 0, 0}, {100, 90, 0}, SIDE_RIGHT},
      {{0, 25, 0}, {110, 100, 0}, SIDE_LEFT},    // axis down: left is right
  };
  for (const Case& c : cases)
    EXPECT_EQ(routingSide(c.axis, pos, c.point), c.side)
        << "axis (" << c.axis.x << "," << c.axis.y << ") point (" << c.point.x << "," << c.point.y << ")";
}

// ---------------------------------------------------------------------------
// Gates

TEST_F(RoutingTest, GateBallBelongsToBothLayersWhileCrossingAndToTheNewOneAfter) {
  setObjects("[object_405_300]\nfamily = \"gate\"\nleft_layer = 0\nright_layer = 1\nlmask = 3\n");
  ASSERT_NE(make(outline(405, 300, kUpright), 9), nullptr);
  BoardObject* b = ball(380, 300, 2, 0, 1);

  int inside = 0;
  ASSERT_TRUE(stepUntil([&] {
    if (b->u.ball.pos.x > 400 && b->u.ball.pos.x < 410) {
      inside++;
      EXPECT_EQ(b->lmask, 3) << "x " << b->u.ball.pos.x;
    }
    return b->u.ball.pos.x > 416;
  }));
  EXPECT_GT(inside, 0);
  EXPECT_EQ(b->lmask, 2);

  // And back: both layers again inside, then the left layer.
  b->u.ball.velo.x = -2;
  inside = 0;
  ASSERT_TRUE(stepUntil([&] {
    if (b->u.ball.pos.x > 400 && b->u.ball.pos.x < 410) {
      inside++;
      EXPECT_EQ(b->lmask, 3) << "x " << b->u.ball.pos.x;
    }
    return b->u.ball.pos.x < 394;
  }));
  EXPECT_GT(inside, 0);
  EXPECT_EQ(b->lmask, 1);
}

TEST_F(RoutingTest, GateKillOnTheLeavingSideRemovesTheBallAndAppliesNothingElse) {
  registerNamedProc("gate_seen", countProc);
  for (int kill : {0, 1}) {
    SCOPED_TRACE(kill);
    gProcCalls = 0;
    setObjects("[object_405_300]\nfamily = \"gate\"\nleft_layer = 0\nright_layer = 1\nlmask = 3\n"
               "right_size = 5.0\nright_noaccel = 1\nright_nproc = \"gate_seen\"\nright_kill = " +
               std::to_string(kill) + "\n");
    BoardObject* gate = make(outline(405, 300, kUpright), 9);
    ASSERT_NE(gate, nullptr);
    BoardObject* b = ball(380, 300, 2, 0, 1);
    ASSERT_TRUE(stepUntil([&] { return b->id < 0 || b->u.ball.pos.x > 420; }));
    EXPECT_EQ(gProcCalls, 1);  // the procedure runs either way
    if (kill) {
      EXPECT_EQ(b->id, -1);
      EXPECT_EQ(b->u.ball.radius, 3);
      EXPECT_EQ(b->u.ball.noaccel, 0);
      EXPECT_EQ(b->lmask, 3);
    } else {
      EXPECT_GE(b->id, 0);
      EXPECT_EQ(b->u.ball.radius, 5);
      EXPECT_EQ(b->u.ball.noaccel, 1);
      EXPECT_EQ(b->lmask, 2);
      BOARD_KILL(b->id);
    }
    BOARD_KILL(gate->id);
  }
}

TEST_F(RoutingTest, GateLimitsSpeedSetsTheBallsLayersAndPutsItOnATrack) {
  Track* ramp = namedTrack("ramp", {{420, 300, 0}, {440, 300, 0}, {460, 300, 0}, {480, 300, 0}}, 20);
  ASSERT_NE(ramp, nullptr);
  gTable.f = 2.0;  // maxvelo is given per frame at 60 Hz
  setObjects("[object_405_300]\nfamily = \"gate\"\nlmask = 1\n"
             "left_brake = 1.5\nright_maxvelo = 7.0\nright_vb_layer = 6\n"
             "right_track = \"ramp\"\nright_trackpos = 4.0\n");
  ASSERT_NE(make(outline(405, 300, kUpright), 9), nullptr);
  Sprite* spr = SPR_CREATE(sprite("ball.gsp", 1).c_str());
  ASSERT_NE(spr, nullptr);
  BallData d{};
  d.pos = Vec3{385, 300, 0};
  d.velo = Vec3{3, 0, 0};
  d.radius = 3;
  BoardObject* b = CREATE_BALL(&d, spr, nullptr, 1);
  ASSERT_NE(b, nullptr);
  BallParms* bp = ballParms(b);

  ASSERT_TRUE(stepUntil([&] { return b->u.ball.pos.x > 400; }));
  EXPECT_NEAR(vLenXY(b->u.ball.velo), 1.5, 1e-12);  // braked on entering from the left
  EXPECT_EQ(bp->maxvelo, 14.0);                    // the far side's limit, times f
  EXPECT_EQ(bp->sprite->layer, 3);

  ASSERT_TRUE(stepUntil([&] { return b->u.ball.track != nullptr; }));
  EXPECT_EQ(b->u.ball.track, ramp);
  EXPECT_NEAR(b->u.ball.trackvelo, 1.5, 1e-12);  // the ball's speed
  EXPECT_GE(b->u.ball.trackpos, 4.0);
  EXPECT_LE(b->u.ball.trackpos, 4.0 + 1.5);
  EXPECT_EQ(bp->sprite->layer, 6);
}

TEST_F(RoutingTest, Gate2ActsBySideAndEvent) {
  Track* ramp = namedTrack("ramp", {{420, 280, 0}, {420, 300, 0}, {420, 320, 0}}, 20);
  ASSERT_NE(ramp, nullptr);
  setObjects("[object_405_300]\nfamily = \"gate2\"\nlhit_noaccel = 1\nrhit_noaccel = 0\n"
             "runhit_track = \"ramp\"\nlunhit_notrack = 1\n");
  ASSERT_NE(make(outline(405, 300, kUpright), 10), nullptr);
  BoardObject* b = ball(385, 300, 2, 0, 1);
  ASSERT_TRUE(stepUntil([&] { return b->u.ball.pos.x > 400; }));
  EXPECT_EQ(b->u.ball.noaccel, 1);  // "lhit"
  ASSERT_TRUE(stepUntil([&] { return b->u.ball.track != nullptr; }, 20));
  // "runhit": on the track at the position nearest to the ball.
  EXPECT_EQ(b->u.ball.track, ramp);
  EXPECT_NEAR(b->u.ball.trackpos, 20, 2.5);
}

// ---------------------------------------------------------------------------
// Portals

TEST_F(RoutingTest, PortalControlProcedureChoosesTheVariant) {
  registerNamedProc("pick", pickProc);
  registerNamedProc("pa", procA);
  registerNamedProc("pb", procB);
  const char* objects =
      "[object_405_300]\nfamily = \"portal\"\nname = \"p1\"\nleft_hit_control = \"pick\"\n"
      "left_hit = \"layer=1 | layer=2 | xy=200:150, angle=90, length=4, layer=3, size=5, noaccel=1, "
      "trackvelo=2.5, nproc=pa:pb\"\n";
  struct Case {
    int pick;
    int lmask;  // after entering
  };
  const Case cases[] = {{0, 2}, {1, 4}, {2, 8}, {3, 1}, {-1, 1}, {33, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pick);
    gPick = c.pick;
    gProcOrder.clear();
    setObjects(objects);
    BoardObject* portal = make(outline(405, 300, kUpright), 19);
    ASSERT_NE(portal, nullptr);
    BoardObject* b = ball(385, 300, 2, 0, 1);
    ASSERT_TRUE(stepUntil([&] { return b->lmask != 1 || b->u.ball.pos.x > 398; }));
    EXPECT_EQ(b->lmask, c.lmask);
    if (c.pick == 2) {
      // The third variant runs every action, in the table's order.
      // Put at (200, 150), it went on for the rest of the step.
      EXPECT_EQ(b->u.ball.pos.x, 200);
      EXPECT_GE(b->u.ball.pos.y, 150);
      EXPECT_LE(b->u.ball.pos.y, 154);
      EXPECT_NEAR(b->u.ball.velo.x, 0, 1e-12);
      EXPECT_NEAR(b->u.ball.velo.y, 4, 1e-12);
      EXPECT_EQ(b->u.ball.radius, 5);
      EXPECT_EQ(b->u.ball.noaccel, 1);
      EXPECT_EQ(b->u.ball.trackvelo, 2.5);
      EXPECT_EQ(gProcOrder, "ab");
      // Sent away, the ball is no longer in contact with the portal.
      EXPECT_FALSE(boardInContact(portal->id, b->id));
    } else {
      EXPECT_EQ(b->u.ball.radius, 3);
      EXPECT_EQ(gProcOrder, "");
    }
    BOARD_KILL(b->id);
    BOARD_KILL(portal->id);
  }
}

TEST_F(RoutingTest, PortalEventTextsThatDoNotParseFailTheReader) {
  std::string many;
  for (int i = 0; i < 33; i++) many += i ? "|layer=1" : "layer=1";
  struct Case {
    std::string text;
    int ok;
    const char* message;
  };
  const Case cases[] = {
      {"layer=1 | size=2.5, noaccel=0", 1, nullptr},
      {many, 1, nullptr},
      {many + "|layer=2", 0, "portal_reader(), object (405,300): error reading events"},
      {"xy=12", 0, "portal_reader(), object (405,300): error reading events"},
      {"angle=left", 0, "portal_reader(), object (405,300): error reading events"},
      {"layer=8", 0, "portal_reader(), object (405,300): error reading events"},
      {"layer=1|bounce=3,layer=2", 1, "portal_reader(): unknown action 'bounce=3'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    setObjects("[object_405_300]\nfamily = \"portal\"\nright_unhit = \"" + c.text + "\"\n");
    Outline* o = outline(405, 300, kUpright);
    int before = board.count;
    int rc = -1;
    std::string log = logOf([&] { rc = portal_reader(19, 0, o); });
    EXPECT_EQ(rc, c.ok);
    EXPECT_EQ(board.count, before + c.ok);
    if (c.message) {
      EXPECT_NE(log.find(c.message), std::string::npos) << log;
    }
    if (c.ok) BOARD_KILL(before);
  }
  // With debug the parsed variants are logged.
  setObjects("[object_405_300]\nfamily = \"portal\"\ndebug = 1\n"
             "right_unhit = \"layer=3, xy=1:2 | nproc=a:b, c | bounce=1\"\n");
  Outline* o = outline(405, 300, kUpright);
  std::string log = logOf([&] { EXPECT_EQ(portal_reader(19, 0, o), 1); });
  EXPECT_NE(log.find("portal_reader(): right_unhit[0] xy=(1.00,2.00) layer=3\n"), std::string::npos) << log;
  EXPECT_NE(log.find("portal_reader(): right_unhit[1] nproc=a:b, c\n"), std::string::npos) << log;
  EXPECT_NE(log.find("portal_reader(): right_unhit[2] (invalid)\n"), std::string::npos) << log;
}

TEST_F(RoutingTest, PortalVariantWithAnUnknownActionDoesNothing) {
  setObjects("[object_405_300]\nfamily = \"portal\"\nleft_hit_control = \"pick\"\n"
             "left_hit = \"layer=1|bounce=3,layer=2\"\n");
  registerNamedProc("pick", pickProc);
  gPick = 1;
  ASSERT_NE(make(outline(405, 300, kUpright), 19), nullptr);
  BoardObject* b = ball(385, 300, 2, 0, 1);
  ASSERT_TRUE(stepUntil([&] { return b->u.ball.pos.x > 405; }));
  EXPECT_EQ(b->lmask, 1);
}

// ---------------------------------------------------------------------------
// Readers that refuse their object

TEST_F(RoutingTest, ReadersRefuseObjectsWithMissingOrInvalidKeys) {
  struct Case {
    OprReader reader;
    std::string keys;
    std::string message;
  };
  const std::string at = ", object (400,280): ";
  // Files that load, so that a reader gives up with some of its sprites
  // already loaded: it must free them.
  const std::string spr = sprite("two.gsp", 2);
  sprite("zup1.gsp", 2);
  sprite("zup1back.gsp", 2);
  const std::string track = trackFile("prison.trk", {{0, 0, 0}, {0, 100, 0}}, 10);
  const Case cases[] = {
      {blocker_reader, "family = \"blocker\"\nsprite = \"x.gsp\"\nplace = 2\n",
       "blocker_reader()" + at + "place is undefined or invalid (2, max 1)"},
      {blocker_reader, "family = \"blocker\"\nplace = 1\n",
       "blocker_reader()" + at + "sprite filename not defined ('sprite' parameter)"},
      {blocker_reader, "family = \"blocker\"\nplace = 1\nsprite = \"nothere.gsp\"\n",
       "blocker_reader()" + at + "error loading sprite 'nothere.gsp'"},
      {tunnel_reader, "family = \"tunnel\"\n", "tunnel_reader()" + at + "place is not defined"},
      {mpoint_reader, "family = \"mpoint\"\nplace = 32\n",
       "mpoint_reader()" + at + "place is undefined or invalid (32, max 31)"},
      {mpoint_reader, "family = \"mpoint\"\n", "mpoint_reader()" + at + "place is undefined or invalid (-1, max 31)"},
      {zona_reader, "family = \"zona\"\n", "zona_reader()" + at + "'track' not defined"},
      {zona_reader, "family = \"zona\"\ntrack = \"nothere.trk\"\n",
       "zona_reader()" + at + "error loading track 'nothere.trk'"},
      {ostlift_reader, "family = \"ostlift\"\n", "ostlift_reader()" + at + "'sprite_up' not defined"},
      {ostlift_reader, "family = \"ostlift\"\nsprite_up = \"" + spr + "\"\n",
       "ostlift_reader()" + at + "'sprite_down' not defined"},
      {ostlift_reader,
       "family = \"ostlift\"\nsprite_up = \"" + spr + "\"\nsprite_down = \"" + spr + "\"\nsprite_drum = \"no.gsp\"\n",
       "ostlift_reader()" + at + "error loading sprite 'no.gsp'"},
      {zona_reader, "family = \"zona\"\ntrack = \"" + track + "\"\nup1_sprite = \"" + dir.file("zup1") + "\"\n",
       "zona_reader()" + at + "error loading sprite 'up2-undef.gsp'"},
      {sprdoor_reader, "family = \"sprdoor\"\n",
       "sprdoor_reader()" + at + "sprite filename not defined ('sprite' parameter)"},
      {gate_reader, "family = \"gate\"\nleft_track = \"nope\"\n", "GATE:SOFTCONFIG(): track 'nope' not found"},
      {gate2_reader, "family = \"gate2\"\nrunhit_track = \"nope\"\n",
       "GATE:SOFTCONFIG:READ_ACTION: track 'nope' not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    setObjects("[object_400_280]\n" + c.keys);
    Outline* o = box(400, 280, 410, 320);
    int before = board.count, sprites = spritesInUse();
    int rc = -1;
    std::string log = logOf([&] { rc = c.reader(0, 0, o); });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(board.count, before);
    EXPECT_EQ(spritesInUse(), sprites) << "a reader that gave up keeps no sprite";
    EXPECT_NE(log.find(c.message), std::string::npos) << log;
  }
  // Another family's outline is not theirs, silently.
  setObjects("[object_400_280]\nfamily = \"bumper\"\nplace = 1\n");
  Outline* o = box(400, 280, 410, 320);
  std::string log = logOf([&] {
    for (OprReader r : {gate_reader, gate2_reader, portal_reader, blocker_reader, tunnel_reader, sprdoor_reader,
                        mpoint_reader, mavz_reader, zona_reader, ostlift_reader})
      EXPECT_EQ(r(0, 0, o), 0);
  });
  EXPECT_EQ(log, "");
}

// ---------------------------------------------------------------------------
// Blockers

TEST_F(RoutingTest, BlockerRisesAndLowersFrameByFrameWithItsLightAndLayer) {
  std::string spr = sprite("blocker.gsp", 3);
  setObjects("[object_400_280]\nfamily = \"blocker\"\nplace = 1\nsprite = \"" + spr +
             "\"\nup_delay = 10\ndown_delay = 10\n");
  ASSERT_NE(make(box(400, 280, 410, 320), 2), nullptr);
  VBOBJ* v = shown(spr);
  ASSERT_NE(v, nullptr);
  lightSet(1, 1);
  EXPECT_EQ(blockerState(1), 0);
  EXPECT_EQ(blockerState(0), -1);  // no blocker there

  BLOCKER_CONTROL_UP(1);
  EXPECT_EQ(blockerState(1), 1);
  EXPECT_EQ(lightGetState(1), 0);
  step();
  EXPECT_EQ(v->frame, 1);
  EXPECT_EQ(blockerState(1), 1);
  step();
  EXPECT_EQ(v->frame, 2);
  EXPECT_EQ(blockerState(1), 2);
  EXPECT_EQ(v->layer, 4);

  BLOCKER_CONTROL_UP(1);  // already up: nothing
  EXPECT_EQ(blockerState(1), 2);
  BLOCKER_CONTROL_DOWN(1);
  EXPECT_EQ(blockerState(1), 3);
  step(2);
  EXPECT_EQ(v->frame, 0);
  EXPECT_EQ(blockerState(1), 0);
  EXPECT_EQ(lightGetState(1), 1);
  EXPECT_EQ(v->layer, 0);

  std::string log = logOf([] { BLOCKER_CONTROL_UP(2); });
  EXPECT_NE(log.find("BLOCKER_CONTROL_UP(): invalid place (2, max 1)"), std::string::npos) << log;
}

TEST_F(RoutingTest, OnlyABlockerThatIsNotDownStopsTheBall) {
  std::string spr = sprite("blocker.gsp", 2);
  for (bool raise : {false, true}) {
    SCOPED_TRACE(raise);
    routingReset();
    setObjects("[object_400_280]\nfamily = \"blocker\"\nplace = 0\nsprite = \"" + spr + "\"\n");
    BoardObject* blocker = make(box(400, 280, 410, 320), 2);
    ASSERT_NE(blocker, nullptr);
    if (raise) BLOCKER_CONTROL_UP(0);
    BoardObject* b = ball(385, 300, 2, 0, 1);
    step(15);
    if (raise) {
      EXPECT_LT(b->u.ball.velo.x, 0);
      EXPECT_LT(b->u.ball.pos.x, 397);
    } else {
      EXPECT_EQ(b->u.ball.velo.x, 2);
      EXPECT_GT(b->u.ball.pos.x, 410);
    }
    BOARD_KILL(b->id);
    BOARD_KILL(blocker->id);
  }
}

TEST_F(RoutingTest, ALostBallLowersBothBlockersAndRearmsTheSpringDoor) {
  std::string spr = sprite("blocker.gsp", 4);
  setObjects("[object_400_280]\nfamily = \"blocker\"\nplace = 0\nsprite = \"" + spr +
             "\"\n[object_500_280]\nfamily = \"blocker\"\nplace = 1\nsprite = \"" + spr + "\"\n");
  ASSERT_NE(make(box(400, 280, 410, 320), 2), nullptr);
  ASSERT_NE(make(box(500, 280, 510, 320), 2), nullptr);
  BLOCKER_CONTROL_UP(0);
  step(5);
  ASSERT_EQ(blockerState(0), 2);
  BLOCKER_CONTROL_UP(1);
  step();
  ASSERT_EQ(blockerState(1), 1);

  all_triggers(TR_GAME_BEGIN);  // not a lost ball
  EXPECT_EQ(blockerState(0), 2);
  EXPECT_EQ(blockerState(1), 1);

  EXPECT_EQ(sprdoorRearmed(), 1);  // a table starts armed for its first ball
  all_triggers(TR_BALL_LOST);
  EXPECT_EQ(blockerState(0), 3);
  EXPECT_EQ(blockerState(1), 3);
  EXPECT_EQ(sprdoorRearmed(), 1);
  step(5);
  EXPECT_EQ(blockerState(0), 0);
  EXPECT_EQ(blockerState(1), 0);
}

// ---------------------------------------------------------------------------
// Tunnels

TEST_F(RoutingTest, TunnelReportsPassagesToTheMissionTheModesAndTheStatistics) {
  struct Case {
    int place, mission;
    double vy;
    std::vector<std::string> calls;  // every rules call, in order
    const char* stat;                // counted once, or null
  };
  const Case cases[] = {
      {4, 6, 2, {}, nullptr},  // the yes lane counts only balls going up
      {4, 6, -2, {"missionEvent 27 0 0", "modeEvent 9 27 0"}, "hit:t_yes"},
      {5, 4, -2, {"missionEvent 28 0 0"}, "hit:t_no"},
      {5, 4, 2, {}, nullptr},
      // Any direction; the ball goes along to the steal mode, which sends
      // it through the left tube when no steal runs.
      {3, -1, 2, {"modeEvent 3 26 0 obj", "startForeTitle pipes_t3"}, "hit:t3"},
      {8, 3, -2, {"missionEvent 30 0 0", "modeEvent 7 30 0"}, "hit:t8"},
      {8, 1, 2, {"modeEvent 7 30 0"}, "hit:t8"},  // mission 1 has no event for place 8
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "place " << c.place << " mission " << c.mission << " vy " << c.vy);
    game.mission = c.mission;
    setObjects("[object_400_280]\nfamily = \"tunnel\"\nplace = " + std::to_string(c.place) + "\n");
    BoardObject* tunnel = make(box(400, 280, 440, 320), 27);
    ASSERT_NE(tunnel, nullptr);
    BoardObject* b = ball(420, c.vy > 0 ? 265 : 335, 0, c.vy, 1);
    gstatInit();
    for (const char* m : {"hit:t_yes", "hit:t_no", "hit:t3", "hit:t8"}) gstatAdd(m, m);
    gstatBegin();
    rulesCallClear();
    game.score = 0;
    step(40);
    EXPECT_EQ(game.score, 0);
    std::vector<std::string> calls;
    for (int i = 0; i < rulesCallCount(); i++) calls.push_back(rulesCall(i));
    EXPECT_EQ(calls, c.calls);
    for (const char* m : {"hit:t_yes", "hit:t_no", "hit:t3", "hit:t8"})
      EXPECT_EQ(gstatCount(m), c.stat && std::string(c.stat) == m ? 1 : 0) << m;
    BOARD_KILL(b->id);
    BOARD_KILL(tunnel->id);
  }
}

// ---------------------------------------------------------------------------
// Spring door

// A door across the plunger lane at (300, 300): its axis points to the left
// of the screen, so a ball coming up from below is on its left side.
const std::vector<std::pair<double, double>> kDoor = {{-25, 0}, {-20, -5}, {20, -5}, {20, 5}, {-20, 5}};

TEST_F(RoutingTest, SpringDoorOpensForABallGoingUpAndCreditsTheBall) {
  std::string spr = sprite("door.gsp", 30);
  setObjects("[object_300_300]\nfamily = \"sprdoor\"\nsprite = \"" + spr + "\"\n");
  ASSERT_NE(make(outline(300, 300, kDoor), 23), nullptr);
  VBOBJ* v = shown(spr);
  ASSERT_NE(v, nullptr);

  BoardObject* b = ball(300, 330, 0, -3, 1);
  ASSERT_TRUE(stepUntil([&] { return b->u.ball.pos.y < 300; }, 20));
  EXPECT_GT(v->frame, 0);  // opening
  ASSERT_TRUE(stepUntil([&] { return b->u.ball.pos.y < 290; }, 20));
  EXPECT_EQ(b->u.ball.velo.y, -3);  // passed
  EXPECT_EQ(game.saveTime, 10);      // a new ball's credit
  EXPECT_EQ(sprdoorRearmed(), 0);
  EXPECT_EQ(rulesCallTimes("modeEvent 1 0 0"), 1);
  BOARD_KILL(b->id);

  // The next ball is an old one: it gets the smaller credit.
  step(80);  // the door closes again
  EXPECT_EQ(v->frame, 0);
  game.saveTime = 0;
  b = ball(300, 330, 0, -3, 1);
  ASSERT_TRUE(stepUntil([&] { return b->u.ball.pos.y < 290; }, 20));
  EXPECT_EQ(game.saveTime, 2);
  EXPECT_EQ(rulesCallTimes("modeEvent 1 0 0"), 2);
  BOARD_KILL(b->id);

  // From above the door is closed: the ball bounces and credits nothing.
  step(80);
  game.saveTime = 0;
  b = ball(300, 270, 0, 3, 1);
  step(15);
  EXPECT_LT(b->u.ball.velo.y, 0);
  EXPECT_LT(b->u.ball.pos.y, 292);
  EXPECT_EQ(game.saveTime, 0);
  EXPECT_EQ(rulesCallTimes("modeEvent 1 0 0"), 2);
}

// ---------------------------------------------------------------------------
// Mission points and the mausoleum

TEST_F(RoutingTest, MissionPointWithoutAShownSymbolSelectsNothing) {
  setObjects("[object_400_280]\nfamily = \"mpoint\"\nplace = 7\n");
  BoardObject* mp = make(box(400, 280, 410, 320), 16);
  ASSERT_NE(mp, nullptr);
  EXPECT_EQ(mp->user2, 7);
  ball(385, 300, 2, 0, 1);
  step(15);
  // No symbol is shown on the point: nothing is selected.
  EXPECT_EQ(game.mission, -1);
  EXPECT_FALSE(rulesCallSeen("modeEvent 1 1 0"));
}

TEST_F(RoutingTest, MausoleumPaysItsPrizeOnceWhenEnabled) {
  setBigscore("[mumra_prize]\nvalue = 1500\n");
  game.presTerm = 2;
  game.mumra = 5;
  setObjects("[object_400_280]\nfamily = \"mavz\"\nname = \"mavz\"\n");
  BoardObject* m = make(box(400, 280, 410, 320), 14);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->disabled, 1);

  BoardObject* b = ball(385, 300, 2, 0, 1);
  step(15);  // through the disabled mausoleum
  EXPECT_EQ(rulesCallCount(), 0);
  EXPECT_EQ(game.score, 0);
  EXPECT_EQ(gstatCount("evt:mumra_prize"), 0);
  BOARD_KILL(b->id);

  ASSERT_EQ(objEnable("mavz"), 1);
  b = ball(385, 300, 2, 0, 1);
  step(15);
  EXPECT_EQ(gstatCount("evt:mumra_prize"), 1);
  EXPECT_STREQ(titleMacro("prize_value"), "3.000");
  EXPECT_EQ(cp1251ToUtf8(titleMacro("prize_text")), "ПЕТРОВСКАЯ\\nПРЕМИЯ");
  EXPECT_EQ(rulesCallTimes("startForeTitle prize"), 1);
  EXPECT_EQ(game.score, 3000);
  EXPECT_EQ(m->disabled, 1);
  EXPECT_EQ(game.mumra, 0);  // the title ended: the sequence starts again
  BOARD_KILL(b->id);

  b = ball(385, 300, 2, 0, 1);
  step(15);
  EXPECT_EQ(game.score, 3000);
}

TEST_F(RoutingTest, BigScoresAreTheRulesValueTimesTheTermWithinTheIntRange) {
  struct Case {
    const char* rules;
    int term, expected;
  };
  const Case cases[] = {
      {"[prize]\nvalue = 1500\n", 2, 3000},
      {"[prize]\nvalue = 1500.0\n", 3, 4500},  // written as a fraction
      {"", 3, -3},                             // missing: -1
      {"[prize]\nvalue = 2000000000\n", 3, INT_MAX},
      {"[prize]\nvalue = -2000000000\n", 2, INT_MIN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rules);
    setBigscore(c.rules);
    game.presTerm = c.term;
    EXPECT_EQ(routingBigScore("prize.value"), c.expected);
  }
}

// ---------------------------------------------------------------------------
// Zona

class ZonaTest : public RoutingTest {
 protected:
  // A zona over the box (500,100)-(600,200) with its magnet point in the
  // middle, its animations (front and back sprites) of the given lengths, and
  // a prisoner track going down the right edge of the table.
  BoardObject* makeZona(const std::string& extra = "") {
    std::string keys;
    const char* names[] = {"up1", "up2", "up3", "down1", "down2"};
    const int frames[] = {3, 2, 4, 2, 3};
    for (int i = 0; i < 5; i++) {
      std::string base = std::string("z") + names[i];
      sprite(base + ".gsp", frames[i]);
      sprite(base + "back.gsp", frames[i]);
      keys += std::string(names[i]) + "_sprite = \"" + dir.file(base) + "\"\n" + names[i] + "_delay = 10\n";
    }
    std::vector<TrackVec> pts;
    for (int i = 0; i <= 20; i++) pts.push_back({700, 100.0 + 10 * i, 0});
    std::string track = trackFile("prison.trk", pts, 10);
    setObjects("[object_500_100]\nfamily = \"zona\"\ntrack = \"" + track + "\"\n" + keys +
               "up_x = 550.0\nup_y = 150.0\nminvelo = 1.0\nmindist = 3.0\nfriction = 0.5\ngravity = 0.5\n"
               "trackpos = 10.0\ntrackvelo = 5.0\ntrackendpos = 60.0\nball_layer = 2\n"
               "release_x = 420.0\nrelease_y = 250.0\nrelease_angle = 90.0\nrelease_length = 4.0\n" + extra +
               "[object_450_100]\nfamily = \"gate\"\nname = \"xpam_gate\"\n");
    BoardObject* z = make(box(500, 100, 600, 200), 28);
    xpamGate = make(box(450, 100, 460, 200), 9);
    return z;
  }
  BoardObject* xpamGate = nullptr;
};

TEST_F(ZonaTest, CommandFromAWrongStateLogsAndChangesNothing) {
  ASSERT_NE(makeZona(), nullptr);
  VBOBJ* front = shown(dir.file("zup1.gsp"));
  ASSERT_NE(front, nullptr);
  struct Case {
    int command;
    const char* message;
  };
  const Case fromClosed[] = {
      {1, "ZONA_CONTROL(): gameZona is 0, not ZONA_CAPTURE_MAGNET, SE"},
      {2, "ZONA_CONTROL(): gameZona is 0, not ZONA_RELEASE_WAIT, SE"},
      {3, "ZONA_CONTROL(): gameZona is 0, not ZONA_CAPTURE_MAGNET|ZONA_RELEASE_GODOWN"},
      {9, "ZONA_CONTROL(): unknown command 9, SE"},
  };
  for (const Case& c : fromClosed) {
    std::string log = logOf([&] { ZONA_CONTROL(c.command); });
    EXPECT_NE(log.find(c.message), std::string::npos) << log;
    EXPECT_EQ(zonaState(), 0);
    EXPECT_EQ(front->frame, 0);
    EXPECT_EQ(xpamGate->disabled, 0);
  }
  ZONA_CONTROL(0);
  ASSERT_EQ(zonaState(), 3);
  step();
  int frame = front->frame;
  std::string log = logOf([] { ZONA_CONTROL(0); });
  EXPECT_NE(log.find("ZONA_CONTROL(): gameZona is 3, not ZONA_CLOSE_WAIT, SE"), std::string::npos) << log;
  EXPECT_EQ(zonaState(), 3);
  EXPECT_EQ(front->frame, frame);
}

TEST_F(ZonaTest, CaptureLiftReleaseGoDownAndCloseCycle) {
  BoardObject* z = makeZona();
  ASSERT_NE(z, nullptr);
  VBOBJ* front = shown(dir.file("zup1.gsp"));
  VBOBJ* back = shown(dir.file("zup1back.gsp"));
  ASSERT_NE(front, nullptr);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(front->layer, 4);
  EXPECT_EQ(back->layer, 2);
  game.zonaCapture = 1;
  lightSet(LI_AMNESTY, 2);

  ZONA_CONTROL(0);
  EXPECT_EQ(zonaState(), 3);  // opening
  EXPECT_EQ(xpamGate->disabled, 1);
  ASSERT_TRUE(stepUntil([] { return zonaState() == 2; }, 10));
  EXPECT_STREQ(front->sprite->name, dir.file("zup2.gsp").c_str());
  EXPECT_STREQ(back->sprite->name, dir.file("zup2back.gsp").c_str());

  // A ball rolls in and the magnet pulls it to its point.
  BoardObject* b = ball(490, 150, 2, 0, 1);
  ASSERT_TRUE(stepUntil([] { return zonaState() == 4; }, 300));
  EXPECT_EQ(b->id, -1);
  EXPECT_NEAR(b->u.ball.pos.x, 550, 3.5);
  EXPECT_NEAR(b->u.ball.pos.y, 150, 3.5);

  // Lifting: two frames before the end the prisoner appears on its track and
  // the player gets a free ball.
  EXPECT_EQ(gNewBalls, 0);
  ASSERT_TRUE(stepUntil([] { return gNewBalls > 0; }, 10));
  EXPECT_EQ(zonaState(), 4);
  EXPECT_EQ(front->frame, 2);  // of four
  ASSERT_TRUE(stepUntil([] { return zonaState() == 5; }, 10));
  EXPECT_EQ(gNewBalls, 1);
  EXPECT_EQ(gFreeBalls, 1);
  BoardObject* prisoner = nullptr;
  for (int i = 0; i < board.count; i++)
    if (board.objects[i].id >= 0 && board.objects[i].kind == BK_BALL) prisoner = &board.objects[i];
  ASSERT_NE(prisoner, nullptr);
  EXPECT_EQ(prisoner->lmask, 4);
  EXPECT_EQ(prisoner->u.ball.noaccel, 1);
  EXPECT_NE(prisoner->u.ball.track, nullptr);
  EXPECT_LT(prisoner->u.ball.trackpos, 60);

  ZONA_CONTROL(2);
  EXPECT_EQ(zonaState(), 6);  // releasing
  EXPECT_STREQ(front->sprite->name, dir.file("zdown1.gsp").c_str());
  ASSERT_TRUE(stepUntil([] { return zonaState() == 7; }, 20));
  EXPECT_EQ(prisoner->id, -1);
  EXPECT_GE(prisoner->u.ball.trackpos, 60);

  // Going down, then the prisoner is back on the table.
  ASSERT_TRUE(stepUntil([] { return zonaState() == 1; }, 10));
  BoardObject* freed = newestBall();
  ASSERT_NE(freed, nullptr);
  EXPECT_EQ(freed->u.ball.pos.x, 420);
  EXPECT_EQ(freed->u.ball.pos.y, 250);
  EXPECT_NEAR(freed->u.ball.velo.x, 0, 1e-12);
  EXPECT_NEAR(freed->u.ball.velo.y, 4, 1e-12);
  EXPECT_EQ(freed->lmask, 1);
  EXPECT_EQ(freed->u.ball.noaccel, 0);
  EXPECT_EQ(lightGetState(LI_AMNESTY), 0);

  // Closing runs the opening backwards.
  EXPECT_STREQ(front->sprite->name, dir.file("zup1.gsp").c_str());
  EXPECT_EQ(front->frame, 2);
  ASSERT_TRUE(stepUntil([] { return zonaState() == 0; }, 10));
  EXPECT_EQ(front->frame, 0);
  EXPECT_EQ(xpamGate->disabled, 0);
}

TEST_F(ZonaTest, NoCaptureWhileTheRulesDoNotAllowItAndClosingFromTheMagnet) {
  ASSERT_NE(makeZona(), nullptr);
  ZONA_CONTROL(0);
  ASSERT_TRUE(stepUntil([] { return zonaState() == 2; }, 10));
  game.zonaCapture = 0;
  BoardObject* b = ball(490, 150, 2, 0, 1);
  step(40);
  EXPECT_GE(b->id, 0);
  EXPECT_EQ(b->u.ball.velo.x, 2);  // not pulled
  EXPECT_EQ(zonaState(), 2);
  ZONA_CONTROL(3);
  EXPECT_EQ(zonaState(), 1);
  ASSERT_TRUE(stepUntil([] { return zonaState() == 0; }, 10));
}

TEST_F(ZonaTest, TheStealModeWorksTheZoneThroughTheHooksTheObjectsInstall) {
  ASSERT_NE(makeZona(), nullptr);
  gameSetZona(1);
  // The zone buttons open the magnet for a prisoner.
  modeEvent(3, MEVT_ZONA_BUTTONS, 0, nullptr);
  EXPECT_EQ(zonaState(), 3);
  EXPECT_EQ(game.zonaCapture, 1);
  ASSERT_TRUE(stepUntil([] { return zonaState() == 2; }, 10));
  BoardObject* b = ball(490, 150, 2, 0, 1);
  ASSERT_TRUE(stepUntil([] { return zonaState() == 4; }, 300));
  EXPECT_EQ(b->id, -1);
  ASSERT_TRUE(stepUntil([] { return zonaState() == 5; }, 10));
  // The lane to the tubes carries the prisoner off to prison: it is released.
  BoardObject* runner = ball(300, 400, 0, 0, 1);
  rulesCallClear();
  modeEvent(3, MEVT_T3, 0, runner);
  EXPECT_TRUE(rulesCallSeen("startForeTitle prison"));
  EXPECT_EQ(zonaState(), 6);
  EXPECT_EQ(runner->kill, 0);
  ASSERT_TRUE(stepUntil([] { return zonaState() == 0; }, 60));
}

TEST_F(ZonaTest, MagnetPullsASlowBallFromAfarUntilItIsAtTheMagnetPoint) {
  ASSERT_NE(makeZona(), nullptr);
  game.zonaCapture = 1;
  ZONA_CONTROL(0);
  ASSERT_TRUE(stepUntil([] { return zonaState() == 2; }, 10));
  // Slower than minvelo but far from the magnet point: pulled, not taken.
  BoardObject* b = ball(494, 150, 0.5, 0, 1);
  ASSERT_TRUE(stepUntil([&] { return b->id < 0 || b->u.ball.pos.x > 510; }, 40));
  EXPECT_GE(b->id, 0);
  EXPECT_GT(b->u.ball.velo.x, 0.5);
  ASSERT_TRUE(stepUntil([] { return zonaState() == 4; }, 300));
  EXPECT_EQ(b->id, -1);
  EXPECT_NEAR(b->u.ball.pos.x, 550, 3.5);
}

TEST_F(ZonaTest, ZonaGateProcedureSendsTheBallThroughTheLeftTube) {
  ASSERT_NE(makeZona(), nullptr);
  gstatAdd("hit:tube_left", "");
  EXPECT_EQ(invokeNamedProcs("zona_gate"), 0);
  EXPECT_TRUE(rulesCallSeen("startForeTitle pipes_t3"));
  EXPECT_EQ(gstatCount("hit:tube_left"), 1);
}

// ---------------------------------------------------------------------------
// Ostlift

class OstliftTest : public RoutingTest {
 protected:
  BoardObject* makeLift() {
    std::string up = sprite("up.gsp", 3), down = sprite("down.gsp", 3), drum = sprite("drum.gsp", 40);
    setObjects("[object_300_300]\nfamily = \"ostlift\"\nsprite_up = \"" + up + "\"\nsprite_down = \"" + down +
               "\"\nsprite_drum = \"" + drum +
               "\"\ndelay = 10\nball_frames = 5\nball_mindist = 4.0\n"
               "release_x = 400.0\nrelease_y = 320.0\nrelease_angle = 90.0\nrelease_length = 3.0\n"
               "release_hm_delta = 12.0\n");
    drumPath = drum;
    return make(outline(300, 300, {{-10, -10}, {10, -10}, {10, 10}, {-10, 10}}), 18);
  }
  // A ball rolled slowly into the lift; true when it was locked (the
  // steps stop there).
  bool rollIn() {
    BoardObject* b = ball(285, 300, 1, 0, 1);
    return stepUntil([&] { return b->id < 0; }, 25);
  }
  std::string drumPath;
};

// A waiting subgame takes the ball (the tower carries it up for the
// subgame, the rules owe it back); otherwise the lock takes it when the lift
// is active, and leaves it in the pocket when not.
TEST_F(OstliftTest, TakesABallForASubgameOrLocksItWhenTheRulesLetIt) {
  struct Case {
    int liftActive, subgameQueue;
    bool gone, locked;
  };
  const Case cases[] = {{1, 0, true, true}, {0, 0, false, false}, {1, 1, true, false}, {0, 1, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "lift " << c.liftActive << " queue " << c.subgameQueue);
    routingReset();
    BoardObject* lift = makeLift();
    ASSERT_NE(lift, nullptr);
    game.liftActive = c.liftActive;
    game.subgameQueue = c.subgameQueue;
    game.subgames[0] = 2;
    game.requestedSubgame = -1;
    game.subgameBall = 0;
    gNewBalls = 0;
    EXPECT_EQ(rollIn(), c.gone);
    EXPECT_EQ(ostliftState(), c.locked ? 1 : 0);
    EXPECT_EQ(gNewBalls, c.locked ? 1 : 0);  // "reklama_in" ended: a free ball
    EXPECT_EQ(game.requestedSubgame, c.subgameQueue ? 2 : -1);
    EXPECT_EQ(game.subgameBall, c.subgameQueue ? 1 : 0);
    EXPECT_EQ(game.subgameQueue, 0);
    for (int i = 0; i < board.count; i++)
      if (board.objects[i].id >= 0) BOARD_KILL(i);
  }
  game.requestedSubgame = -1;
  game.subgameBall = 0;
}

TEST_F(OstliftTest, LockedBallsAreStoredAndReleasedLater) {
  setBigscore("[reklama]\nvalue = 25000\n");
  game.presTerm = 3;
  game.liftActive = 1;
  ASSERT_NE(makeLift(), nullptr);
  VBOBJ* drum = shown(drumPath);
  ASSERT_NE(drum, nullptr);

  ASSERT_TRUE(rollIn());
  EXPECT_TRUE(rulesCallSeen("startForeTitle reklama_in"));
  // While busy the lift is solid.
  BoardObject* other = ball(283, 300, 2, 0, 1);
  step(4);
  ASSERT_NE(ostliftState(), 0);
  EXPECT_LT(other->u.ball.velo.x, 0);
  BOARD_KILL(other->id);
  ASSERT_TRUE(stepUntil([] { return ostliftState() == 0; }, 40));
  EXPECT_EQ(ostliftStored(), 1);
  EXPECT_EQ(drum->frame, 5);

  ASSERT_TRUE(rollIn());
  ASSERT_TRUE(stepUntil([] { return ostliftState() == 0; }, 40));
  EXPECT_EQ(ostliftStored(), 2);
  EXPECT_EQ(drum->frame, 10);

  ostliftStartRelease();
  EXPECT_EQ(ostliftState(), 4);
  EXPECT_TRUE(rulesCallSeen("startForeTitle reklama_multiball"));
  EXPECT_STREQ(titleMacro("big_score"), "75.000");
  EXPECT_TRUE(rulesCallSeen("startForeTitle big_score"));
  EXPECT_EQ(game.score, 75000);

  ASSERT_TRUE(stepUntil([] { return ostliftState() == 0; }, 40));
  EXPECT_EQ(BOARD_BALLS(&board), 2);
  EXPECT_EQ(ostliftStored(), 0);
  EXPECT_EQ(drum->frame, 0);
}

TEST_F(OstliftTest, ReleasedBallStartsAtTheReleasePointWithItsJump) {
  game.liftActive = 1;
  ASSERT_NE(makeLift(), nullptr);
  ASSERT_TRUE(rollIn());
  ASSERT_TRUE(stepUntil([] { return ostliftState() == 0; }, 40));
  ostliftStartRelease();
  BoardObject* b = nullptr;
  ASSERT_TRUE(stepUntil([&] { return (b = newestBall()) != nullptr; }, 40));
  // Put on the board at the end of a step, the ball has not moved yet.
  EXPECT_EQ(b->u.ball.pos.x, 400);
  EXPECT_EQ(b->u.ball.pos.y, 320);
  EXPECT_NEAR(b->u.ball.velo.x, 0, 1e-12);
  EXPECT_NEAR(b->u.ball.velo.y, 3, 1e-12);
  EXPECT_EQ(b->lmask, 1);
  EXPECT_EQ(b->u.ball.noaccel, 0);
  BallParms* bp = ballParms(b);
  ASSERT_NE(bp, nullptr);
  EXPECT_EQ(bp->jumping, 1);
  EXPECT_EQ(bp->jumpHeight, 12);
  EXPECT_EQ(ostliftState(), 0);
  EXPECT_EQ(ostliftStored(), 0);
}

}  // namespace
