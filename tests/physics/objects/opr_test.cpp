#include <string>

#include "physics/objects/table_fixture.h"

namespace {

class OprTest : public TableFixture {};

std::string captured(void (*fn)()) {
  StderrCapture cap;
  fn();
  return cap.finish();
}

TEST_F(OprTest, ParameterReadsPreferOwnKeyThenClassThenDefault) {
  setObjects(
      "[object_12_7]\nclass = \"hard\"\nlmask = 2.0\nname = \"first\"\n"
      "[object_30_40]\nk = 0.9\nclass = \"hard\"\nlimit = 5\n"
      "[class_hard]\nk = 0.8\nlimit = \"five\"\nsprite = \"s.gsp\"\n"
      "[object_50_60]\nclass = \"missing\"\n");
  Outline* a = box(12.7, 7.9, 20, 20);  // section by truncated position
  Outline* b = box(30, 40, 35, 45);
  Outline* c = box(50, 60, 55, 65);
  Outline* d = box(70, 80, 75, 85);
  struct Case {
    const char* what;
    double got, expected;
  } cases[] = {
      {"class value", OPR_REAL(a, "k", 0.3), 0.8},
      {"own value beats the class", OPR_REAL(b, "k", 0.3), 0.9},
      {"unknown class gives the default", OPR_REAL(c, "k", 0.3), 0.3},
      {"no section gives the default", OPR_REAL(d, "k", 0.3), 0.3},
      {"a real where an integer is read counts as missing", static_cast<double>(OPR_INT(a, "lmask", 4)), 4},
      {"own integer", static_cast<double>(OPR_INT(b, "limit", 1)), 5},
      {"class string where an integer is read", static_cast<double>(OPR_INT(a, "limit", 1)), 1},
  };
  for (const auto& t : cases) EXPECT_EQ(t.got, t.expected) << t.what;
  EXPECT_STREQ(OPR_STRING(a, "sprite", "none"), "s.gsp");
  EXPECT_STREQ(OPR_STRING(a, "name", ""), "first");
  oprSetObjectConf(nullptr);
  EXPECT_EQ(OPR_REAL(b, "k", 0.3), 0.3);  // no object configuration: defaults
}

int gOffered[3];
int declineFirst(int reader, int, Outline*) {
  gOffered[0] = reader;
  return 0;
}
int acceptSecond(int reader, int, Outline*) {
  gOffered[1] = reader;
  return 1;
}
int neverAsked(int reader, int, Outline*) {
  gOffered[2] = reader;
  return 1;
}

TEST_F(OprTest, RegistryOfFamiliesReadersAndNames) {
  OPR_RESET();
  EXPECT_EQ(OPR_ADD_FAMILY(64, "x"), -1);
  EXPECT_EQ(OPR_ADD_FAMILY(-1, "x"), -1);
  EXPECT_EQ(OPR_ADD_FAMILY(4, "bumper"), 0);
  EXPECT_EQ(OPR_ADD_FAMILY(4, "roundel"), 0);  // overwrites the name
  EXPECT_STREQ(oprFamilyName(4), "roundel");
  setObjects("[object_1_1]\nfamily = \"roundel\"\n[object_2_2]\nfamily = \"Roundel\"\n");
  EXPECT_EQ(OPR_FAMILY(box(1, 1, 2, 2)), 4);
  EXPECT_EQ(OPR_FAMILY(box(2, 2, 3, 3)), -1);  // names compare exactly
  EXPECT_EQ(OPR_FAMILY(box(3, 3, 4, 4)), -1);  // no key

  gOffered[0] = gOffered[1] = gOffered[2] = -1;
  EXPECT_EQ(OPR_ADD_READER(declineFirst, "a"), 0);
  EXPECT_EQ(OPR_ADD_READER(acceptSecond, "b"), 1);
  EXPECT_EQ(OPR_ADD_READER(neverAsked, "c"), 2);
  EXPECT_EQ(OPR_RECOGNIZE(0, box(1, 1, 2, 2)), 1);
  EXPECT_EQ(gOffered[0], 0);
  EXPECT_EQ(gOffered[1], 1);
  EXPECT_EQ(gOffered[2], -1);
  for (int i = 3; i < OPR_READERS; i++) OPR_ADD_READER(declineFirst, "filler");
  std::string err = captured([] { EXPECT_EQ(OPR_ADD_READER(declineFirst, "one too many"), -1); });
  EXPECT_NE(err.find("OPR_ADD_READER(): no free slots in READERS[], SE"), std::string::npos) << err;

}

TEST_F(OprTest, NamedObjects) {
  ShapeData d = oprShapeData(box(5, 5, 6, 6), 1);
  BoardObject* first = BOARD_ADDSHAPE(nullptr, 0, &d);
  BoardObject* second = BOARD_ADDSHAPE(nullptr, 0, &d);
  ObjInfo info{};
  info.words[0] = first;
  EXPECT_EQ(objRegisterInfo("gate", &info), 1);
  info.words[0] = second;
  info.words[1] = &d;
  EXPECT_EQ(objRegisterInfo("gate", &info), 1);  // replaces: the latest wins
  ASSERT_NE(OBJ_FIND("gate"), nullptr);
  EXPECT_EQ(objFindBoardObject("gate"), second);
  EXPECT_EQ(OBJ_FIND("gate")->words[1], &d);
  EXPECT_EQ(OBJ_FIND("Gate"), nullptr);  // case matters
  EXPECT_EQ(objDisable("gate"), 1);
  EXPECT_EQ(second->disabled, 1);
  EXPECT_EQ(first->disabled, 0);
  EXPECT_EQ(objEnable("gate"), 1);
  EXPECT_EQ(second->disabled, 0);
  std::string err = captured([] { EXPECT_EQ(objDisable("nowhere"), 0); });
  EXPECT_EQ(err, "objDisable(): object 'nowhere' not registered\n");
}

TEST_F(OprTest, TheTableRegistersItsFamiliesAndThirtyOneReaders) {
  // Families without a reader have names only; the wall reader comes last.
  EXPECT_STREQ(oprFamilyName(FAM_CANNON), "cannon");
  EXPECT_STREQ(oprFamilyName(FAM_ZONABTN), "zonabtn");
  EXPECT_EQ(oprFamilyName(8), nullptr);
  ASSERT_NE(oprTableFamilyByName("wall"), nullptr);
  EXPECT_STREQ(oprTableFamilyByName("wall")->reader, "wall_reader");
  EXPECT_EQ(oprTableFamilyByName("gaspad")->reader, nullptr);
  EXPECT_EQ(oprTableFamilyByName("nonesuch"), nullptr);
  // All 31 reader slots are taken in order, the wall reader as number 30.
  std::string err = captured([] {
    for (int i = 31; i < OPR_READERS; i++) OPR_ADD_READER(declineFirst, "filler");
    EXPECT_EQ(OPR_ADD_READER(declineFirst, "one too many"), -1);
  });
  EXPECT_NE(err.find("adding reader 'filler' id 31"), std::string::npos) << err;
}

}  // namespace
