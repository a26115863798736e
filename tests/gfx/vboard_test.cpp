// The visual board: the restore/bake/draw cycle on a small 16-bit screen,
// checked pixel by pixel, and the subscreens built on it. Every frame is
// presented to a display surface that must then equal the screen exactly, so
// a rectangle missing from the dirty set shows up as a mismatch.
#include "gfx/vboard.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/mem.h"
#include "gfx/gspwrite.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/subscreen.h"
#include "support/memscreen.h"
#include "support/testutil.h"

namespace {

constexpr int W = 32, H = 24;

uint16_t rgb(int r, int g, int b) { return static_cast<uint16_t>(gdevPackRGB(&GDEV_FORMAT_565, r, g, b)); }

const uint16_t kRed = rgb(255, 0, 0);
const uint16_t kGreen = rgb(0, 255, 0);
const uint16_t kBlue = rgb(0, 0, 255);
const uint16_t kWhite = rgb(255, 255, 255);

// An RGBA picture for the sprite writer.
struct Picture {
  int w, h, ox, oy;
  std::vector<uint8_t> rgba;
  void set(int x, int y, int r, int g, int b, int a) {
    uint8_t* p = &rgba[(static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 4];
    p[0] = static_cast<uint8_t>(r), p[1] = static_cast<uint8_t>(g), p[2] = static_cast<uint8_t>(b);
    p[3] = static_cast<uint8_t>(a);
  }
};

Picture solid(int w, int h, int ox, int oy, int r, int g, int b, int a = 255) {
  Picture p{w, h, ox, oy, std::vector<uint8_t>(static_cast<size_t>(w) * static_cast<size_t>(h) * 4)};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.set(x, y, r, g, b, a);
  return p;
}

// Encodes the pictures as frames of one sprite (in the 5-6-5 models, so the
// screen needs no conversion) and loads it.
Sprite* makeSprite(const std::vector<Picture>& frames, bool runAlpha = false, const char* name = "test") {
  std::vector<GspFrameImage> images;
  for (const Picture& p : frames) images.push_back(GspFrameImage{p.w, p.h, p.rgba.data(), p.ox, p.oy});
  std::vector<uint8_t> bytes;
  if (gspEncode(runAlpha ? GSP_CM_565_ALPHA : GSP_CM_565, images, &bytes) != 0) return nullptr;
  return SPR_CREATE_MEM(bytes.data(), bytes.size(), name, 0);
}

using Image = std::vector<uint16_t>;

Image pixelsOf(const GdevDC* dc) {
  Image out(static_cast<size_t>(W) * H);
  for (int y = 0; y < H; ++y) std::memcpy(&out[static_cast<size_t>(y) * W], dc->pixels + y * dc->bytesPerLine, W * 2);
  return out;
}

void fill(Image* img, int x, int y, int w, int h, uint16_t color) {
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i)
      if (i >= 0 && i < W && j >= 0 && j < H) (*img)[static_cast<size_t>(j) * W + static_cast<size_t>(i)] = color;
}

// Where two pictures first differ, for messages.
std::string firstDifference(const Image& a, const Image& b) {
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) {
      return "first difference at (" + std::to_string(i % W) + "," + std::to_string(i / W) + "): " +
             std::to_string(a[i]) + " vs " + std::to_string(b[i]);
    }
  }
  return "equal";
}

#define EXPECT_IMAGE(actual, expected) EXPECT_TRUE((actual) == (expected)) << firstDifference(actual, expected)

class VBoardTest : public ::testing::Test, protected MemScreen {
 protected:
  void SetUp() override {
    logReset();
    memInit();
    gsBuildBlendTable();
    baseline = spritesInUse();
    ASSERT_TRUE(openScreen(W, H));
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) gdevWritePixel(background, x, y, 0x1000u + static_cast<uint32_t>(y * W + x));
    bgStart = pixelsOf(background);
    frame(1);  // the screen starts as the background
  }
  void TearDown() override {
    closeScreen();
    logReset();
  }

  // One frame of the cycle: restore, the game's update, draw, present. After
  // the present the display must show exactly what the screen holds.
  template <class Update>
  void frame(int full, Update update) {
    ASSERT_EQ(vbRestore(full), 1);
    update();
    ASSERT_EQ(vbDraw(), 1);
    gsUpdate(0);
    ASSERT_TRUE(pixelsOf(display) == pixelsOf(screen.dc))
        << "a change missed the dirty set: " << firstDifference(pixelsOf(display), pixelsOf(screen.dc));
  }
  void frame(int full = 0) {
    frame(full, [] {});
  }
  // The second half of a frame, for tests that look between the halves.
  void present() {
    ASSERT_EQ(vbDraw(), 1);
    gsUpdate(0);
    ASSERT_TRUE(pixelsOf(display) == pixelsOf(screen.dc))
        << "a change missed the dirty set: " << firstDifference(pixelsOf(display), pixelsOf(screen.dc));
  }

  Image screenNow() const { return pixelsOf(screen.dc); }
  Image backgroundNow() const { return pixelsOf(background); }

  Image bgStart;
  int baseline = 0;
};

// ---------------------------------------------------------------------------
// Plain objects
// ---------------------------------------------------------------------------

TEST_F(VBoardTest, MovingObjectLeavesNoTrail) {
  Sprite* s = makeSprite({solid(3, 2, 1, 1, 255, 0, 0)});  // pixels at (1..3, 1..2) from the origin
  ASSERT_NE(s, nullptr);
  VBOBJ* o = vbAddObject(s, 0, 4, 5);
  ASSERT_NE(o, nullptr);
  frame();
  Image expected = bgStart;
  fill(&expected, 5, 6, 3, 2, kRed);
  EXPECT_IMAGE(screenNow(), expected);

  frame(0, [&] { vbSetXY(o, 10, 12); });
  expected = bgStart;
  fill(&expected, 11, 13, 3, 2, kRed);
  EXPECT_IMAGE(screenNow(), expected);
  EXPECT_IMAGE(backgroundNow(), bgStart);  // plain objects never touch the background

  // Mirrored, the pixels at columns 5..7 of an 8-wide frame land on 0..2:
  // the restore must take them from there.
  Sprite* m = makeSprite({solid(3, 2, 5, 0, 0, 0, 255)});
  VBOBJ* mo = vbAddObject(m, 0, 20, 2);
  mo->mFlag = 1;
  frame();
  fill(&expected, 20, 2, 3, 2, kBlue);
  EXPECT_IMAGE(screenNow(), expected);
  frame(0, [&] { vbSetXY(mo, 24, 6); });
  expected = bgStart;
  fill(&expected, 11, 13, 3, 2, kRed);
  fill(&expected, 24, 6, 3, 2, kBlue);
  EXPECT_IMAGE(screenNow(), expected);
}

TEST_F(VBoardTest, LayersDrawInAscendingOrderAndSlotsWithinALayer) {
  Sprite* red = makeSprite({solid(4, 4, 0, 0, 255, 0, 0)});
  Sprite* green = makeSprite({solid(4, 4, 0, 0, 0, 255, 0)});
  Sprite* blue = makeSprite({solid(4, 4, 0, 0, 0, 0, 255)});
  ASSERT_TRUE(red && green && blue);
  // Slot 0 on layer 3 covers slot 1 on layer 2 although it comes first.
  VBOBJ* top = vbAddObject(red, 0, 2, 2);
  VBOBJ* under = vbAddObject(green, 0, 4, 2);
  ASSERT_EQ(vbSetLayer(top, 3), 1);
  ASSERT_EQ(vbSetLayer(under, 2), 1);
  // On one layer the later slot covers the earlier one.
  vbAddObject(green, 0, 12, 10);
  vbAddObject(blue, 0, 14, 10);
  frame();
  Image expected = bgStart;
  fill(&expected, 4, 2, 4, 4, kGreen);
  fill(&expected, 2, 2, 4, 4, kRed);
  fill(&expected, 12, 10, 4, 4, kGreen);
  fill(&expected, 14, 10, 4, 4, kBlue);
  EXPECT_IMAGE(screenNow(), expected);

  // Moving the low layer above the other changes the overlap.
  frame(0, [&] { vbSetLayer(under, 15); });
  fill(&expected, 4, 2, 4, 4, kGreen);
  EXPECT_IMAGE(screenNow(), expected);
}

TEST_F(VBoardTest, FullRestoreRepaintsTheWholeScreen) {
  Sprite* s = makeSprite({solid(4, 4, 0, 0, 255, 255, 255)});
  VBOBJ* o = vbAddObject(s, 0, 20, 3);
  ASSERT_NE(o, nullptr);
  frame();
  // Someone draws over the screen outside the board's knowledge.
  gdevMakeCurrent(screen.dc);
  gdevSetColor(kBlue);
  gdevFillRect(0, 0, W, H);
  ASSERT_EQ(vbRestore(1), 1);
  EXPECT_IMAGE(screenNow(), bgStart);
  ASSERT_EQ(vbDraw(), 1);
  gsUpdate(0);
  Image expected = bgStart;
  fill(&expected, 20, 3, 4, 4, kWhite);
  EXPECT_IMAGE(screenNow(), expected);
  EXPECT_IMAGE(pixelsOf(display), expected);  // all of it was presented
}

TEST_F(VBoardTest, DeadObjectIsRestoredOnceThenGone) {
  Sprite* s = makeSprite({solid(4, 4, 0, 0, 255, 0, 0)});
  VBOBJ* o = vbAddObject(s, 0, 6, 6);
  frame();
  vbDelObject(o);
  EXPECT_EQ(o->dead, 1);
  EXPECT_EQ(o->inUse, 1);
  ASSERT_EQ(vbRestore(0), 1);
  EXPECT_IMAGE(screenNow(), bgStart);  // its picture was taken away in this restore
  EXPECT_EQ(o->inUse, 0);              // and the slot is free afterwards
  ASSERT_EQ(vbDraw(), 1);
  EXPECT_IMAGE(screenNow(), bgStart);
  EXPECT_EQ(vbAddObject(s, 0, 0, 0), o);  // first free slot again
}

TEST_F(VBoardTest, CustomRoutineIsRestoredByItsBox) {
  struct Paint {
    static void run(VBOBJ* o) {
      gdevMakeCurrent(gsCurrent->dc);
      gdevSetColor(kGreen);
      gdevFillRect(o->x, o->y, 5, 3);
      o->left = o->x, o->top = o->y, o->right = o->x + 4, o->bottom = o->y + 2;
      ++*static_cast<int*>(o->user);
    }
  };
  int calls = 0;
  VBOBJ* o = vbAddObject(nullptr, -1, 3, 4);
  o->custom = Paint::run;
  o->user = &calls;
  frame();
  Image expected = bgStart;
  fill(&expected, 3, 4, 5, 3, kGreen);
  EXPECT_IMAGE(screenNow(), expected);
  frame(0, [&] { vbSetXY(o, 20, 15); });
  EXPECT_EQ(o->prevLeft, 3);  // the box of the call before
  expected = bgStart;
  fill(&expected, 20, 15, 5, 3, kGreen);
  EXPECT_IMAGE(screenNow(), expected);
  EXPECT_EQ(calls, 2);
}

// ---------------------------------------------------------------------------
// Smart objects
// ---------------------------------------------------------------------------

// The game changes objects between vbRestore and vbDraw, so a baked object
// that changes is un-baked by the restore of the next frame and drawn live in
// that frame; a live one that was drawn and did not change since is baked.
TEST_F(VBoardTest, SmartObjectBakesWhenStillAndUnbakesWhenMoved) {
  Sprite* s = makeSprite({solid(4, 3, 0, 0, 255, 0, 0)});
  VBOBJ* o = vbAddObject(s, 0, 2, 2);
  ASSERT_EQ(vbMakeSmart(o), 1);
  ASSERT_NE(o->clone, nullptr);
  EXPECT_EQ(o->smartState, VB_SMART_LIVE);

  // Moved before its first restore: it is drawn live where it went.
  vbSetXY(o, 8, 5);
  ASSERT_EQ(vbRestore(0), 1);
  EXPECT_EQ(o->smartState, VB_SMART_LIVE);
  present();
  Image expected = bgStart;
  fill(&expected, 8, 5, 4, 3, kRed);
  EXPECT_IMAGE(screenNow(), expected);
  EXPECT_IMAGE(backgroundNow(), bgStart);

  // It stood still since: this restore bakes it into the background and
  // draws it on the screen once.
  ASSERT_EQ(vbRestore(0), 1);
  EXPECT_EQ(o->smartState, VB_SMART_BAKED);
  EXPECT_IMAGE(backgroundNow(), expected);
  EXPECT_IMAGE(screenNow(), expected);
  present();
  EXPECT_IMAGE(pixelsOf(display), expected);

  // From now on it costs nothing: nothing restored, drawn or presented.
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(vbRestore(0), 1);
    ASSERT_EQ(vbDraw(), 1);
    EXPECT_TRUE(gdevRegionIsEmpty(screen.dirty));
    gsUpdate(0);
  }

  // Moved by the game after a restore: a baked object is not drawn...
  ASSERT_EQ(vbRestore(0), 1);
  vbSetXY(o, 20, 10);
  present();
  EXPECT_IMAGE(screenNow(), expected);
  // ...and the next restore puts the saved background back first.
  ASSERT_EQ(vbRestore(0), 1);
  EXPECT_EQ(o->smartState, VB_SMART_LIVE);
  EXPECT_IMAGE(backgroundNow(), bgStart);
  EXPECT_IMAGE(screenNow(), bgStart);
  present();
  expected = bgStart;
  fill(&expected, 20, 10, 4, 3, kRed);
  EXPECT_IMAGE(screenNow(), expected);
  // Standing still there, it is baked again in the next frame.
  frame();
  EXPECT_EQ(o->smartState, VB_SMART_BAKED);
  EXPECT_IMAGE(backgroundNow(), expected);
  EXPECT_IMAGE(screenNow(), expected);
}

TEST_F(VBoardTest, SmartObjectChangingFrameUnbakesAndRebakes) {
  Sprite* s = makeSprite({solid(4, 4, 0, 0, 255, 0, 0), solid(2, 2, 1, 1, 0, 0, 255)});
  VBOBJ* o = vbAddObject(s, 0, 5, 5);
  ASSERT_EQ(vbMakeSmart(o), 1);
  frame();
  ASSERT_EQ(o->smartState, VB_SMART_BAKED);
  // A smaller frame: the red corners must not stay in the background.
  frame(0, [&] { vbSetFrame(o, 1); });
  frame();
  EXPECT_EQ(o->smartState, VB_SMART_LIVE);
  Image expected = bgStart;
  fill(&expected, 6, 6, 2, 2, kBlue);
  EXPECT_IMAGE(screenNow(), expected);
  EXPECT_IMAGE(backgroundNow(), bgStart);
  frame();
  EXPECT_EQ(o->smartState, VB_SMART_BAKED);
  EXPECT_IMAGE(backgroundNow(), expected);
  // Frame -1 shows nothing; baked without a picture it stays invisible.
  frame(0, [&] { vbSetFrame(o, -1); });
  frame();
  frame();
  EXPECT_EQ(o->smartState, VB_SMART_BAKED);
  EXPECT_IMAGE(screenNow(), bgStart);
  EXPECT_IMAGE(backgroundNow(), bgStart);
}

TEST_F(VBoardTest, DeadBakedObjectLeavesNothingInTheBackground) {
  Sprite* s = makeSprite({solid(4, 4, 0, 0, 255, 255, 255)});
  VBOBJ* o = vbAddObject(s, 0, 9, 9);
  ASSERT_EQ(vbMakeSmart(o), 1);
  frame();
  ASSERT_EQ(o->smartState, VB_SMART_BAKED);
  vbDelObject(o);
  frame();
  EXPECT_EQ(o->inUse, 0);
  EXPECT_IMAGE(backgroundNow(), bgStart);
  EXPECT_IMAGE(screenNow(), bgStart);
  EXPECT_EQ(spritesInUse(), baseline + 1);  // the clone went with the object
}

TEST_F(VBoardTest, BakedObjectChangingSpriteLeavesNoGhost) {
  Sprite* a = makeSprite({solid(4, 4, 0, 0, 255, 0, 0)});
  Sprite* b = makeSprite({solid(2, 2, 1, 1, 0, 0, 255)});
  VBOBJ* o = vbAddObject(a, 0, 5, 5);
  ASSERT_EQ(vbMakeSmart(o), 1);
  frame();
  frame();
  ASSERT_EQ(o->smartState, VB_SMART_BAKED);
  // The old picture leaves the background at once, and the screen with the
  // next restore; the new sprite is drawn (then baked) in its place.
  frame(0, [&] { ASSERT_EQ(vbSetSprite(o, b), 1); });
  EXPECT_IMAGE(backgroundNow(), bgStart);
  Image expected = bgStart;
  fill(&expected, 6, 6, 2, 2, kBlue);
  EXPECT_IMAGE(screenNow(), expected);
  frame();
  frame();
  EXPECT_EQ(o->smartState, VB_SMART_BAKED);
  EXPECT_IMAGE(screenNow(), expected);
  EXPECT_IMAGE(backgroundNow(), expected);
}

TEST_F(VBoardTest, SmartStateFollowsSpriteChangesAndWakeUps) {
  Sprite* a = makeSprite({solid(2, 2, 0, 0, 255, 0, 0)});
  Sprite* b = makeSprite({solid(3, 3, 0, 0, 0, 255, 0)});
  VBOBJ* none = vbAddObject(nullptr, -1, 0, 0);
  ASSERT_EQ(vbMakeSmart(none), 1);
  EXPECT_EQ(none->smartState, VB_SMART_NO_SPRITE);
  EXPECT_EQ(none->clone, nullptr);

  {
    StderrCapture err;
    EXPECT_EQ(vbMakeSmart(none), 0);
    char want[64];
    std::snprintf(want, sizeof want, "vbMakeSmart(): object %p is smart", static_cast<void*>(none));
    EXPECT_NE(err.finish().find(want), std::string::npos);
  }

  ASSERT_EQ(vbSetSprite(none, a), 1);
  EXPECT_EQ(none->smartState, VB_SMART_LIVE);
  ASSERT_NE(none->clone, nullptr);
  EXPECT_EQ(none->clone->donor, a);
  Sprite* clone = none->clone;
  EXPECT_EQ(vbSetSprite(none, a), 1);  // the same sprite changes nothing
  EXPECT_EQ(none->clone, clone);

  frame(0, [&] { vbSetFrame(none, 0); });
  frame();
  EXPECT_EQ(none->smartState, VB_SMART_LIVE);
  frame();
  ASSERT_EQ(none->smartState, VB_SMART_BAKED);
  ASSERT_EQ(vbWakeSmarts(), 1);
  EXPECT_EQ(none->smartState, VB_SMART_LIVE);

  ASSERT_EQ(vbSetSprite(none, b), 1);
  EXPECT_EQ(none->clone->donor, b);
  ASSERT_EQ(vbSetSprite(none, nullptr), 1);
  EXPECT_EQ(none->smartState, VB_SMART_NO_SPRITE);
  EXPECT_EQ(none->clone, nullptr);
  EXPECT_EQ(spritesInUse(), baseline + 2);  // no clone left behind
}

// ---------------------------------------------------------------------------
// Operations, limits and messages
// ---------------------------------------------------------------------------

TEST_F(VBoardTest, The1025thObjectIsRefused) {
  for (int i = 0; i < VB_MAX_OBJECTS; ++i) ASSERT_NE(vbAddObject(nullptr, -1, i, 0), nullptr) << i;
  StderrCapture err;
  EXPECT_EQ(vbAddObject(nullptr, -1, 0, 0), nullptr);
  EXPECT_NE(err.finish().find("vbAddObject(): can't add more objects (maximum 1024)"), std::string::npos);
}

TEST_F(VBoardTest, FramesAreCheckedAgainstTheSprite) {
  Sprite* s = makeSprite({solid(1, 1, 0, 0, 255, 0, 0), solid(1, 1, 0, 0, 0, 255, 0), solid(1, 1, 0, 0, 0, 0, 255)});
  ASSERT_NE(s, nullptr);
  {
    StderrCapture err;
    EXPECT_EQ(vbAddObject(s, 3, 0, 0), nullptr);
    EXPECT_NE(err.finish().find("vbAddObject(): frame 3 is invalid (max 2)"), std::string::npos);
  }
  VBOBJ* o = vbAddObject(s, 2, 0, 0);
  ASSERT_NE(o, nullptr);
  for (int f : {0, 1, 2, -1}) {
    EXPECT_EQ(vbSetFrame(o, f), 3);
    EXPECT_EQ(o->frame, f);
  }
  vbSetFrame(o, 1);
  {
    StderrCapture err;
    EXPECT_EQ(vbSetFrame(o, 3), 3);
    char want[80];
    std::snprintf(want, sizeof want, "vbSetFrame(): frame 3 for object %p is invalid (max 2)", static_cast<void*>(o));
    EXPECT_NE(err.finish().find(want), std::string::npos);
  }
  EXPECT_EQ(o->frame, 1);

  struct Step {
    int from;
    bool next;
    int to;
  };
  for (const Step& st : {Step{0, true, 1}, Step{2, true, 0}, Step{-1, true, 0}, Step{1, false, 0},
                         Step{0, false, 2}, Step{-1, false, 2}}) {
    o->frame = st.from;
    EXPECT_EQ(st.next ? vbNextFrame(o) : vbPrevFrame(o), st.to) << st.from << (st.next ? " next" : " prev");
    EXPECT_EQ(o->frame, st.to);
  }
}

TEST_F(VBoardTest, LayersOutsideTheRangeAreRefused) {
  VBOBJ* o = vbAddObject(nullptr, -1, 0, 0);
  ASSERT_EQ(vbSetLayer(o, 15), 1);
  for (int bad : {16, -1}) {
    StderrCapture err;
    EXPECT_EQ(vbSetLayer(o, bad), 0);
    EXPECT_NE(err.finish().find("vbSetLayer(): invalid layer " + std::to_string(bad) + " (max 15)"), std::string::npos);
    EXPECT_EQ(o->layer, 15);
  }
}

TEST_F(VBoardTest, OperationsWithoutABoardSayWhichOneFailed) {
  VBOARD* previous = vbSelect(nullptr);
  EXPECT_EQ(previous, &vboard);
  struct Case {
    const char* name;
    int (*run)();
  };
  const Case cases[] = {
      {"vbAddObject()", [] { return vbAddObject(nullptr, 0, 0, 0) ? 1 : 0; }},
      {"vbDraw()", [] { return vbDraw(); }},
      {"vbRestore()", [] { return vbRestore(0); }},
      {"vbWakeSmarts()", [] { return vbWakeSmarts(); }},
  };
  for (const Case& c : cases) {
    StderrCapture err;
    EXPECT_EQ(c.run(), 0) << c.name;
    EXPECT_NE(err.finish().find(std::string(c.name) + ": no current VBOARD"), std::string::npos) << c.name;
  }
  StderrCapture err;
  EXPECT_EQ(vbSelect(&vboard), nullptr);
  EXPECT_EQ(vbSelect(nullptr), &vboard);
  EXPECT_NE(err.finish().find("vbSelect(): context set to NULL"), std::string::npos);
  vbSelect(&vboard);
  vbDeselect(nullptr);
  EXPECT_EQ(vbCurrent, &vboard);
  vbDeselect(&vboard);
  EXPECT_EQ(vbCurrent, nullptr);
}

TEST_F(VBoardTest, TraceLogsLayersObjectsAndBlits) {
  Sprite* s = makeSprite({solid(2, 2, 0, 0, 255, 0, 0)}, false, "traced");
  VBOBJ* o = vbAddObject(s, 0, 3, 4);
  vbSetLayer(o, 1);
  o->z = 7;
  ASSERT_EQ(vbRestore(0), 1);
  StderrCapture err;
  vbSetTrace(1);
  ASSERT_EQ(vbDraw(), 1);
  vbSetTrace(0);
  ASSERT_EQ(vbDraw(), 1);
  std::string log = err.finish();
  char obj[128], blit[128];
  std::snprintf(obj, sizeof obj, "vbDraw(): -- object 0 vbo-%p spr-%p frame-0 smart-0 smart_state-0\n",
                static_cast<void*>(o), static_cast<void*>(s));
  std::snprintf(blit, sizeof blit, "vbDraw(): --- draw_spr %p ('traced') alpha-0 add-0 z-0 m-0 x,y,z-3,4,7\n",
                static_cast<void*>(s));
  std::string want = std::string("vbDraw(): - layer 0\nvbDraw(): - layer 1\n") + obj + blit +
                     "vbDraw(): --- draw_spr ok\nvbDraw(): - layer 2\n";
  EXPECT_NE(log.find(want), std::string::npos) << log;
  EXPECT_NE(log.find("vbDraw(): - layer 15\n"), std::string::npos);
  EXPECT_EQ(log.find("layer 15\nvbDraw(): - layer 0"), std::string::npos) << "traced after switching off";
}

// ---------------------------------------------------------------------------
// The blitter choice
// ---------------------------------------------------------------------------

// Each row of the table is checked by its visible effect: the board's picture
// must equal the one the expected blitter draws on its own, in a scene where
// every candidate blitter draws something different.
TEST_F(VBoardTest, BlitterFollowsAlphaAddDepthAndMirrorFlags) {
  // Depth 50 left of column 12 (an object at depth 100 is behind), 200 right
  // of it; the transparency plane is 128 everywhere.
  std::vector<uint16_t> depth(static_cast<size_t>(W) * H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) depth[static_cast<size_t>(y) * W + x] = x < 12 ? 50 : 200;
  ASSERT_EQ(gsAddZBuffer(&screen, depth.data(), W, H), 1);
  GdevDC* plane = mglCreateDC24(W, H);
  gdevMakeCurrent(plane);
  gdevSetColorRGB(127, 0, 0);
  gdevFillRect(0, 0, W, H);
  ASSERT_EQ(gsAddAlpha(&screen, plane), 1);
  mglFreeDC(plane);

  // Asymmetric, so that mirroring shows; half transparent in the alpha model.
  Picture pic = solid(8, 4, 0, 0, 128, 64, 200);
  for (int y = 0; y < 4; ++y) pic.set(0, y, 255, 255, 255, 255), pic.set(1, y, 255, 255, 255, 255);
  Picture half = pic;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) half.rgba[(static_cast<size_t>(y) * 8 + x) * 4 + 3] = 128;
  Sprite* plain = makeSprite({pic});
  Sprite* alpha = makeSprite({half}, true);
  ASSERT_TRUE(plain && alpha);
  const int x = 6, y = 4, z = 100;

  enum { COMMON, MCOMMON, ZCOMMON, ALPHA, MALPHA, ZXALPHA, ADDZ, ADD0, CANDIDATES };
  auto drawWith = [&](int which, Sprite* s) {
    std::memcpy(screen.pixels, background->pixels, static_cast<size_t>(H) * background->bytesPerLine);
    switch (which) {
      case COMMON: SPR_PUT_COMMON(s, 0, x, y); break;
      case MCOMMON: SPR_PUT_MCOMMON(s, 0, x, y); break;
      case ZCOMMON: SPR_PUT_ZCOMMON(s, 0, x, y, z); break;
      case ALPHA: SPR_PUT_ALPHA(s, 0, x, y); break;
      case MALPHA: SPR_PUT_MALPHA(s, 0, x, y); break;
      case ZXALPHA: SPR_PUT_ZXALPHA(s, 0, x, y, z); break;
      case ADDZ: SPR_ADD_ZALPHA(s, 0, x, y, z); break;
      case ADD0: SPR_ADD_ZALPHA(s, 0, x, y, 0); break;
    }
    return screenNow();
  };
  const char* names[CANDIDATES] = {"SPR_PUT_COMMON",  "SPR_PUT_MCOMMON", "SPR_PUT_ZCOMMON", "SPR_PUT_ALPHA",
                                   "SPR_PUT_MALPHA",  "SPR_PUT_ZXALPHA", "SPR_ADD_ZALPHA",  "SPR_ADD_ZALPHA"};

  struct Row {
    bool runAlpha;
    int add, zFlag, mFlag;
    int blitter;
  };
  const Row rows[] = {
      {true, 0, 1, 0, ZXALPHA}, {true, 0, 1, 1, ZXALPHA}, {true, 0, 0, 1, MALPHA},   {true, 0, 0, 0, ALPHA},
      {false, 0, 1, 0, ZCOMMON}, {false, 0, 1, 1, ZCOMMON}, {false, 0, 0, 1, MCOMMON}, {false, 0, 0, 0, COMMON},
      {true, 1, 1, 0, ADDZ},    {true, 1, 1, 1, ADDZ},    {false, 1, 1, 0, ADDZ},    {false, 1, 1, 1, ADDZ},
      {true, 1, 0, 0, ADD0},    {true, 1, 0, 1, ADD0},    {false, 1, 0, 0, ADD0},    {false, 1, 0, 1, ADD0},
  };
  // Candidates that a sprite of each kind can be told apart by.
  const std::vector<int> plainSet = {COMMON, MCOMMON, ZCOMMON, ADDZ, ADD0};
  const std::vector<int> alphaSet = {COMMON, MCOMMON, ZCOMMON, ALPHA, MALPHA, ZXALPHA, ADDZ, ADD0};
  for (Sprite* s : {plain, alpha}) {
    const std::vector<int>& set = s == alpha ? alphaSet : plainSet;
    for (size_t i = 0; i < set.size(); ++i)
      for (size_t j = i + 1; j < set.size(); ++j)
        ASSERT_FALSE(drawWith(set[i], s) == drawWith(set[j], s)) << "scene can't tell " << set[i] << " from " << set[j];
  }

  VBOBJ* o = vbAddObject(plain, 0, x, y);
  o->z = z;
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "alpha " << r.runAlpha << " add " << r.add << " z " << r.zFlag << " m "
                                    << r.mFlag);
    o->sprite = r.runAlpha ? alpha : plain;
    o->addFlag = r.add, o->zFlag = r.zFlag, o->mFlag = r.mFlag;
    EXPECT_STREQ(vbBlitterFor(o)->name, names[r.blitter]);
    std::memcpy(screen.pixels, background->pixels, static_cast<size_t>(H) * background->bytesPerLine);
    StderrCapture err;
    ASSERT_EQ(vbDraw(), 1);
    Image got = screenNow();
    EXPECT_EQ(err.finish(), "");
    EXPECT_IMAGE(got, drawWith(r.blitter, o->sprite));
  }
}

// ---------------------------------------------------------------------------
// Objects far off the screen
// ---------------------------------------------------------------------------

TEST_F(VBoardTest, ObjectsFarOffScreenNeverTouchMemoryOutside) {
  Sprite* s = makeSprite({solid(6, 6, 2, 2, 255, 255, 255)});
  ASSERT_NE(s, nullptr);
  struct Place {
    int x, y;
  };
  const Place far[] = {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}, {INT_MIN, 5}, {5, INT_MAX},
                       {-1000000, 3},      {3, 1000000},       {W + 1, 0},   {0, H}};
  std::vector<VBOBJ*> objs;
  for (const Place& p : far) {
    objs.push_back(vbAddObject(s, 0, p.x, p.y));
    objs.push_back(vbAddObject(s, 0, p.x, p.y));
    objs.back()->mFlag = 1;
    VBOBJ* smart = vbAddObject(s, 0, p.x, p.y);
    ASSERT_EQ(vbMakeSmart(smart), 1);
    objs.push_back(smart);
  }
  // Partly visible in the corners.
  VBOBJ* tl = vbAddObject(s, 0, -5, -5);
  VBOBJ* br = vbAddObject(s, 0, W - 4, H - 4);
  ASSERT_EQ(vbMakeSmart(br), 1);
  // A custom box that reaches past every edge.
  VBOBJ* huge = vbAddObject(nullptr, -1, 0, 0);
  huge->custom = [](VBOBJ* o) { o->left = INT_MIN, o->top = INT_MIN, o->right = INT_MAX, o->bottom = INT_MAX; };

  StderrCapture err;
  for (int i = 0; i < 4; ++i) frame();
  frame(0, [&] {
    for (VBOBJ* o : objs) vbSetXY(o, o->x == INT_MIN ? INT_MIN + 1 : o->x - 1, o->y);
  });
  frame();
  EXPECT_EQ(err.finish(), "");
  Image expected = bgStart;
  fill(&expected, -3, -3, 6, 6, kWhite);
  fill(&expected, W - 2, H - 2, 6, 6, kWhite);
  EXPECT_IMAGE(screenNow(), expected);
  EXPECT_EQ(br->smartState, VB_SMART_BAKED);
  (void)tl;
}

// ---------------------------------------------------------------------------
// Subscreens
// ---------------------------------------------------------------------------

TEST_F(VBoardTest, SubscreenDrawsOverASavedCopyAndPutsTheScreenBack) {
  Sprite* s = makeSprite({solid(4, 4, 0, 0, 255, 0, 0)});
  Sprite* t = makeSprite({solid(3, 3, 0, 0, 0, 0, 255)});
  vbAddObject(s, 0, 1, 1);
  frame();
  const Image before = screenNow();

  ASSERT_EQ(beginSubscreen(), 1);
  VBOARD* sub = vbCurrent;
  ASSERT_NE(sub, &vboard);
  ASSERT_NE(sub->background, nullptr);
  EXPECT_IMAGE(pixelsOf(sub->background), before);  // the copy includes the table's objects
  VBOBJ* dialog = vbAddObject(t, 0, 10, 10);
  ASSERT_EQ(vbMakeSmart(dialog), 1);
  frame();
  frame(0, [&] { vbSetXY(dialog, 12, 12); });
  frame();
  Image during = before;
  fill(&during, 12, 12, 3, 3, kBlue);
  EXPECT_IMAGE(screenNow(), during);

  // A nested one sees the first one's picture.
  ASSERT_EQ(beginSubscreen(), 1);
  EXPECT_EQ(subscreenDepth(), 2);
  EXPECT_IMAGE(pixelsOf(vbCurrent->background), during);
  ASSERT_EQ(endSubscreen(), 1);
  EXPECT_EQ(vbCurrent, sub);

  ASSERT_EQ(endSubscreen(), 1);
  EXPECT_EQ(vbCurrent, &vboard);
  EXPECT_EQ(subscreenDepth(), 0);
  EXPECT_IMAGE(screenNow(), before);
  ASSERT_EQ(gdevRegionIsEmpty(screen.dirty), false);
  gsUpdate(0);
  EXPECT_IMAGE(pixelsOf(display), before);  // all of it went to the display
  EXPECT_EQ(spritesInUse(), baseline + 2);  // the dialog's clone went with its board

  StderrCapture err;
  EXPECT_EQ(endSubscreen(), 0);
  EXPECT_NE(err.finish().find("endSubscreen(): no subscreen is open, SE"), std::string::npos);
}

}  // namespace
