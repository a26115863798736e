// The reader run every object kind builds on: it owns what a reader loads
// until the object is on the board and gives it all back when the reader
// gives up; its key checks and their messages.
#include <string>

#include "physics/objects/objects_common.h"
#include "physics/objects/table_fixture.h"

namespace {

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class ReaderRunTest : public TableFixture {
 protected:
  // A run of "test_reader()" over a box at (100, 200) with the keys.
  Outline* start(ObjReader* r, const std::string& keys) {
    setObjects("[object_100_200]\nfamily = \"bumper\"\n" + keys);
    Outline* o = box(100, 200, 140, 240);
    EXPECT_EQ(objReaderBegin(r, "test_reader()", FAM_BUMPER, 0, o), 1);
    return o;
  }
};

TEST_F(ReaderRunTest, OnlyOutlinesOfItsFamilyStartARunUnlessItTakesAny) {
  setObjects("[object_100_200]\nfamily = \"bumper\"\n[object_300_200]\n");
  Outline* bumper = box(100, 200, 140, 240);
  Outline* plain = box(300, 200, 340, 240);
  ObjReader r;
  std::string log = logOf([&] {
    EXPECT_EQ(objReaderBegin(&r, "test_reader()", FAM_WALL, 0, bumper), 0);
    EXPECT_EQ(objReaderBegin(&r, "test_reader()", FAM_BUMPER, 0, plain), 0);
    EXPECT_EQ(objReaderBegin(&r, "test_reader()", -1, 3, plain), 1);
  });
  EXPECT_EQ(log, "");
  EXPECT_EQ(r.x, 300);
  EXPECT_EQ(r.y, 200);
  EXPECT_EQ(r.layer, 3);
}

TEST_F(ReaderRunTest, GivingUpReturnsEverythingTheRunTookAndNothingElse) {
  const std::string path = sprite("three.gsp", 3);
  Sprite* other = SPR_CREATE(path.c_str());
  ASSERT_NE(other, nullptr);
  int before = spritesInUse();
  ObjReader r;
  start(&r, "sprite = \"" + path + "\"\n");
  ASSERT_NE(objReaderParms(&r, 64), nullptr);
  Sprite* s = objReaderSprite(&r, "sprite");
  Sprite* t = objReaderSpriteFile(&r, path.c_str());
  ASSERT_TRUE(s && t);
  VBOBJ* v = objReaderInstance(&r, s, 2, 4);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->frame, 2);
  EXPECT_EQ(v->layer, 4);
  EXPECT_EQ(spritesInUse(), before + 2);

  EXPECT_EQ(objReaderAbandon(&r), 0);
  EXPECT_EQ(spritesInUse(), before);
  EXPECT_TRUE(other->inUse) << "a sprite the run did not load stays";
  EXPECT_EQ(v->dead, 1);
  EXPECT_EQ(r.parms, nullptr);
  // Giving up twice frees nothing twice.
  EXPECT_EQ(objReaderAbandon(&r), 0);
  EXPECT_EQ(spritesInUse(), before);
}

TEST_F(ReaderRunTest, MoreSpritesThanARunHoldsAreRefusedAndStillFreed) {
  const std::string path = sprite("one.gsp", 1);
  int before = spritesInUse();
  ObjReader r;
  start(&r, "");
  for (int i = 0; i < OBJ_READER_SPRITES; i++) ASSERT_NE(objReaderSpriteFile(&r, path.c_str()), nullptr);
  Sprite* extra = nullptr;
  std::string log = logOf([&] { extra = objReaderSpriteFile(&r, path.c_str()); });
  EXPECT_EQ(extra, nullptr);
  EXPECT_TRUE(has(log, "test_reader(): more than 12 sprites for one object, SE")) << log;
  EXPECT_EQ(spritesInUse(), before + OBJ_READER_SPRITES);
  objReaderAbandon(&r);
  EXPECT_EQ(spritesInUse(), before);
}

TEST_F(ReaderRunTest, SpriteKeysThatNameNoFileAreReportedByKey) {
  struct Case {
    const char* what;
    const char* key;
    const char* missing;
    std::string keys;
    const char* message;
  };
  const std::string at = "test_reader(), object (100,200): ";
  const char* noFile = "sprite filename not defined ('sprite' parameter)";
  const Case cases[] = {
      {"no sprite key", "sprite", nullptr, "", noFile},
      {"an empty sprite key", "sprite", nullptr, "sprite = \"\"\n", noFile},
      {"a number is no file name", "sprite", nullptr, "sprite = 3\n", noFile},
      {"another key", "cool_sprite", nullptr, "sprite = \"x.gsp\"\n", "'cool_sprite' not defined"},
      {"the reader's own text", "sprite", "'sprite' not defined", "", "'sprite' not defined"},
      {"a file that does not load", "sprite", nullptr, "sprite = \"nothere.gsp\"\n",
       "error loading sprite 'nothere.gsp'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ObjReader r;
    start(&r, c.keys);
    Sprite* s = &SPRITES[0];
    std::string log = logOf([&] { s = objReaderSprite(&r, c.key, c.missing); });
    EXPECT_EQ(s, nullptr);
    EXPECT_TRUE(has(log, at + c.message + "\n")) << log;
    EXPECT_EQ(r.spriteCount, 0);
  }
}

TEST_F(ReaderRunTest, PlacesOutsideTheirRangeAreRefused) {
  struct Case {
    const char* keys;
    bool upTo;  // objReaderPlaceUpTo(max) rather than objReaderPlace(min, max)
    int min, max;
    int place;            // read, when it is accepted
    const char* message;  // when it is refused: the line after "test_reader()"
  };
  const Case cases[] = {
      {"place = 1\n", false, 1, 6, 1, nullptr},
      {"place = 6\n", false, 1, 6, 6, nullptr},
      {"place = 0\n", false, 1, 6, 0, ": object (100,200): invalid place 0"},
      {"place = 7\n", false, 1, 6, 0, ": object (100,200): invalid place 7"},
      {"", false, 1, 6, 0, ", object (100,200): 'place' not defined"},
      {"place = 1.0\n", false, 1, 6, 0, ", object (100,200): 'place' not defined"},
      {"place = 0\n", true, 0, 3, 0, nullptr},
      {"place = 3\n", true, 0, 3, 3, nullptr},
      {"place = 4\n", true, 0, 3, 0, ", object (100,200): place is undefined or invalid (4, max 3)"},
      {"", true, 0, 3, 0, ", object (100,200): place is undefined or invalid (-1, max 3)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.keys << (c.upTo ? "up to " : "within ") << c.min << ".." << c.max);
    ObjReader r;
    start(&r, c.keys);
    int place = -99, ok = -1;
    std::string log = logOf([&] {
      ok = c.upTo ? objReaderPlaceUpTo(&r, c.max, &place) : objReaderPlace(&r, c.min, c.max, &place);
    });
    if (!c.message) {
      EXPECT_EQ(ok, 1);
      EXPECT_EQ(place, c.place);
      EXPECT_EQ(log, "");
    } else {
      EXPECT_EQ(ok, 0);
      EXPECT_TRUE(has(log, std::string("test_reader()") + c.message + "\n")) << log;
    }
  }
}

TEST_F(ReaderRunTest, AKilledObjectLetsGoOfItsInstanceAndParametersButNotItsSprite) {
  const std::string path = sprite("three.gsp", 3);
  ObjReader r;
  start(&r, "sprite = \"" + path + "\"\nname = \"thing\"\nlmask = 6\n");
  void* parms = objReaderParms(&r, 32);
  Sprite* s = objReaderSprite(&r, "sprite");
  VBOBJ* v = objReaderInstance(&r, s, 0, 4);
  ASSERT_TRUE(parms && s && v);
  BoardObject* o = objReaderAddShape(&r, nullptr, FAM_BUMPER, 0.5, 1, 7);
  ASSERT_NE(o, nullptr);
  objReaderFinish(&r, o, parms);
  EXPECT_EQ(o->parms, parms);
  EXPECT_EQ(o->user, FAM_BUMPER);
  EXPECT_EQ(o->user2, 7);
  EXPECT_EQ(o->u.shape.k, 0.5);
  EXPECT_EQ(o->u.shape.quickRelease, 1);
  EXPECT_EQ(o->lmask, 6);
  ASSERT_NE(OBJ_FIND("thing"), nullptr);
  EXPECT_EQ(OBJ_FIND("thing")->words[1], parms);

  EXPECT_EQ(objKill(o, v), 0);
  EXPECT_EQ(o->parms, nullptr);
  EXPECT_EQ(v->dead, 1);
  EXPECT_TRUE(s->inUse) << "the session frees the sprites after the board";
}

}  // namespace
