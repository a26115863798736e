// Building the table's lamps from the game configuration: the whole load
// order (the rules' lamps, the blink generator, setupLights, the lamp list),
// the bar, bumper and crane programs, the crane procedures, missing data,
// sprite-name patterns from the configuration, and freeing at the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "anim/lamp_fixture.h"
#include "anim/lights.h"

namespace lamptest {
namespace {

// Every sprite key of the table's lamps, pointed at a few shared sprites.
std::string tableConf() {
  struct Key {
    const char* section;
    const char* name;
    const char* value;
  };
  const Key keys[] = {
      // regime sprites
      {"arrows", "sprite", "lights/lamp.gsp"},
      {"gasprom", "percent_sprite", "lights/lamp.gsp"},
      {"video", "sprite", "lights/lamp.gsp"},
      {"credit", "sprite", "lights/lamp.gsp"},
      {"tv_gas", "tv_sprite", "lights/lamp.gsp"},
      {"tv_gas", "gas_sprite", "lights/lamp.gsp"},
      {"law_prize", "sprite", "lights/lamp.gsp"},
      {"ukazy_prize", "sprite", "lights/lamp.gsp"},
      {"law", "sprite", "lights/lamp.gsp"},
      {"ukazy", "sprite", "lights/lamp.gsp"},
      {"amen", "sprite", "lights/lamp.gsp"},
      {"gasprom", "export_sprite", "lights/lamp.gsp"},
      {"arrows", "comm_sprite", "lights/arrow%d.gsp"},
      {"arrows", "dict_sprite", "lights/arrow%d.gsp"},
      {"arrows", "demo_sprite", "lights/arrow%d.gsp"},
      {"pres_2nd", "sprite", "lights/lamp.gsp"},
      {"pres_3rd", "sprite", "lights/lamp.gsp"},
      {"c", "sprite", "lights/bar.gsp"},
      {"p", "sprite", "lights/bar.gsp"},
      {"w", "sprite", "lights/bar.gsp"},
      {"trilights", "sprite", "lights/lamp.gsp"},
      {"dumagate", "sprite", "lights/lamp.gsp"},
      {"kremgate", "sprite", "lights/lamp.gsp"},
      {"savers", "sprite", "lights/lamp.gsp"},
      {"msselect", "sprite", "lights/lamp.gsp"},
      {"xb", "sprite", "lights/lamp.gsp"},
      {"molnia", "sprite", "lights/lamp.gsp"},
      {"vybory", "sprite", "lights/lamp.gsp"},
      {"question", "sprite", "lights/lamp.gsp"},
      {"tax_avail", "sprite", "lights/lamp.gsp"},
      {"law_avail", "sprite", "lights/lamp.gsp"},
      {"amnesty", "sprite", "lights/lamp.gsp"},
      // file sprites under data/
      {"tax", "sprite", "lamp.gsp"},
      {"mumra", "sprite", "lamp.gsp"},
      {"reklama", "sprite", "lamp.gsp"},
      {"zona", "lamps_sprite", "lamp.gsp"},
      // sprites by path
      {"duma_bumper", "sprite", "data/bumper%d.gsp"},
      {"krem_bumper", "sprite", "data/bumper%d.gsp"},
      {"crane", "spring_sprite", "data/crane.gsp"},
      {"crane", "t20_sprite", "data/crane.gsp"},
      {"crane", "t22_sprite", "data/crane.gsp"},
  };
  std::ostringstream text;
  text << "on_delay = 20\nblink_delay = 30\n";
  for (const Key& k : keys) text << "[" << k.section << "]\n" << k.name << " = \"" << k.value << "\"\n";
  text << "[crane]\ndelay = 20\n[duma_bumper]\non_delay = 10\n";
  return text.str();
}

class LightsSetupTest : public LampTest {
 protected:
  // The table's lamp data, loaded as the session loads it.
  void writeTableSprites() {
    writeRdaSprite("lights/lamp.gsp", 3);
    writeRdaSprite("lights/bar.gsp", 10);
    for (int n : {1, 2, 4, 5, 7, 8}) writeRdaSprite("lights/arrow" + std::to_string(n) + ".gsp", 2);
    writeSprite("data/lamp.gsp", 3);
    for (int n = 0; n < 3; ++n) writeSprite("data/bumper" + std::to_string(n) + ".gsp", 3);
    writeSprite("data/crane.gsp", 3);
    StderrCapture quiet;
    ASSERT_EQ(rdaLoadSprites("lights/"), 1);
    rdaSetRegime(0);
    rdaSprites = spritesInUse() - baseline;
  }
  // The session's order: the rules' lamps, the blink generator, the session's
  // lamps, the list. Returns the log.
  std::string loadTable(ConfSet* conf, int* gameResult, int* sessionResult) {
    StderrCapture err;
    lightInit();
    *gameResult = setupGameLights(conf);
    synlightSetup(conf);
    *sessionResult = setupLights(conf);
    lightList();
    return err.finish();
  }
  int rdaSprites = 0;
};

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

TEST_F(LightsSetupTest, FullLoadBuildsEveryLamp) {
  writeTableSprites();
  TestConf conf(tableConf());
  int gameResult = 0, sessionResult = 0;
  const std::string log = loadTable(&conf.set, &gameResult, &sessionResult);
  EXPECT_EQ(gameResult, 1) << log;
  EXPECT_EQ(sessionResult, 1) << log;
  EXPECT_FALSE(contains(log, "error")) << log;
  EXPECT_FALSE(contains(log, "not found")) << log;
  EXPECT_TRUE(contains(log, "registerNamedProc(): registered name 'crane_spring' proc ")) << log;
  EXPECT_EQ(namedProcCount(), 3);

  // The list: a header and one line per slot.
  std::vector<std::string> all = lines(log);
  auto header = std::find(all.begin(), all.end(), "------- lightList() -------");
  ASSERT_NE(header, all.end()) << log;
  std::vector<std::string> list(header + 1, all.end());
  ASSERT_EQ(list.size(), 256u);
  EXPECT_EQ(list[0], "light-0/LI_SAVER0_ARROW states-4");
  EXPECT_EQ(list[94], "light-94/LI_CHARISMA0 states-3");
  EXPECT_EQ(list[131], "light-131/LI_DUMA_BUMPER0 states-2");
  EXPECT_EQ(list[152], "light-152/LI_ZONA_L15 states-4");
  EXPECT_EQ(list[155], "light-155/LI_CRANE_T22 states-2");
  EXPECT_EQ(list[156], "light-156/<dynamic> <empty>");
  for (int id = 0; id < LI_LAST; ++id) EXPECT_FALSE(contains(list[static_cast<size_t>(id)], "<empty>")) << id;

  struct Case {
    int id;
    int state, smart, add, layer;
  };
  const Case cases[] = {
      {LI_SAVER0_ARROW, LIGHT_ON, 1, 0, 0},  {LI_SAVER1_ARROW, LIGHT_ON, 1, 0, 0},
      {LI_XB1, LIGHT_OFF, 1, 0, 0},          {LI_T6ARROW, LIGHT_OFF, 1, 0, 0},
      {LI_GP_P50, LIGHT_OFF, 0, 0, 0},       {LI_LAW2, LIGHT_OFF, 0, 0, 0},
      {LI_TAX3, LIGHT_OFF, 0, 0, 0},         {LI_MUMRA4, LIGHT_OFF, 1, 0, 0},
      {LI_ZONA_L7, LIGHT_OFF, 0, 1, 5},      {LI_CHARISMA0, -1, 0, 0, 0},
      {LI_WEALTH9, -1, 0, 0, 0},             {LI_DUMA_BUMPER2, LIGHT_OFF, 1, 0, 0},
      {LI_CRANE_T22, LIGHT_OFF, 1, 0, 0},    {LI_AMNESTY, LIGHT_OFF, 1, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lightCurrentState(c.id), c.state) << lightName(c.id);
    VBOBJ* obj = lightObject(c.id);
    ASSERT_NE(obj, nullptr) << lightName(c.id);
    EXPECT_EQ(obj->smart, c.smart) << lightName(c.id);
    EXPECT_EQ(obj->addFlag, c.add) << lightName(c.id);
    EXPECT_EQ(obj->layer, c.layer) << lightName(c.id);
  }
  EXPECT_EQ(lightCurrentState(156), -1);

  // The side arrows take their numbers 1, 2, 4, 5, 7, 8 in id order.
  EXPECT_EQ(lightObject(LI_T4ARROW_DICT)->sprite, rdaGetSprite("lights/arrow4.gsp"));
  EXPECT_EQ(lightObject(LI_T8ARROW_DEMO)->sprite, rdaGetSprite("lights/arrow8.gsp"));
  EXPECT_EQ(lightObject(LI_T1ARROW_COMM)->sprite, rdaGetSprite("lights/arrow1.gsp"));

  // Nothing is left empty in the first frames.
  StderrCapture err;
  for (int i = 0; i < 3; ++i) frame();
  EXPECT_EQ(err.finish(), "");
}

TEST_F(LightsSetupTest, BarBumperAndCraneLampsRunTheirPrograms) {
  writeTableSprites();
  TestConf conf(tableConf());
  int gameResult = 0, sessionResult = 0;
  loadTable(&conf.set, &gameResult, &sessionResult);
  ASSERT_EQ(gameResult + sessionResult, 2);
  frame();

  // Bar lamp i shows frame i of the bar's sprite; its blink runs free with
  // the game-wide blink delay.
  VBOBJ* bar = lightObject(LI_POWER5);
  ASSERT_EQ(lightSet(LI_POWER5, LIGHT_ON), 1);
  EXPECT_EQ(frames(bar, 1), std::vector<int>{5});
  ASSERT_EQ(lightSet(LI_POWER5, LIGHT_BLINK), 1);
  EXPECT_EQ(frames(bar, 8), (std::vector<int>{-1, -1, -1, 5, 5, 5, 5, -1}));
  ASSERT_EQ(lightSet(LI_POWER5, LIGHT_OFF), 1);
  EXPECT_EQ(frames(bar, 1), std::vector<int>{-1});

  // A bumper flashes up and down once and goes dark: its own delay (10 ms)
  // for the Duma, the game-wide one (20 ms) for the Kremlin.
  VBOBJ* duma = lightObject(LI_DUMA_BUMPER1);
  ASSERT_EQ(lightSet(LI_DUMA_BUMPER1, LIGHT_ON), 1);
  EXPECT_EQ(frames(duma, 7), (std::vector<int>{0, 1, 2, 1, 0, 0, -1}));
  EXPECT_EQ(lightCurrentState(LI_DUMA_BUMPER1), LIGHT_OFF);
  VBOBJ* krem = lightObject(LI_KREM_BUMPER0);
  ASSERT_EQ(lightSet(LI_KREM_BUMPER0, LIGHT_ON), 1);
  EXPECT_EQ(frames(krem, 12), (std::vector<int>{0, 0, 1, 1, 2, 2, 1, 1, 0, 0, 0, -1}));

  // The crane procedure (any case) runs the crane animation three times and
  // returns it to rest on frame 0.
  VBOBJ* crane = lightObject(LI_CRANE_T20);
  EXPECT_EQ(crane->frame, 0);
  {
    StderrCapture err;
    EXPECT_EQ(invokeNamedProcs("Crane_T20"), 0);
    EXPECT_EQ(err.finish(), "invokeNamedProcs(): calling named proc 'Crane_T20' round 1\n");
  }
  EXPECT_EQ(lightCurrentState(LI_CRANE_T20), LIGHT_ON);
  EXPECT_EQ(lightCurrentState(LI_CRANE_T22), LIGHT_OFF);
  EXPECT_EQ(frames(crane, 18), (std::vector<int>{1, 1, 2, 2, 0, 0, 1, 1, 2, 2, 0, 0, 1, 1, 2, 2, 2, 0}));
  EXPECT_EQ(lightCurrentState(LI_CRANE_T20), LIGHT_OFF);
  EXPECT_EQ(invokeNamedProcs("crane_spring"), 0);
  EXPECT_EQ(lightCurrentState(LI_CRANE_SPRING), LIGHT_ON);
}

TEST_F(LightsSetupTest, MissingDataIsReportedAndBuildingGoesOn) {
  rdaSetRegime(0);
  int gameResult = 1, sessionResult = 1;
  const std::string log = loadTable(nullptr, &gameResult, &sessionResult);
  EXPECT_EQ(gameResult, 0);
  EXPECT_EQ(sessionResult, 0);
  // The rules' lamps are built before setupLights installs the names.
  for (const char* line : {
           "createLightRDA(): 14/<NOSID> sprite 'arrows-undef-1' not found in RDA\n",
           "createLightRDA(): 23/<NOSID> sprite 'arrows-undef-10' not found in RDA\n",
           "createLight(): error loading 39/<NOSID> sprite 'data/tax-undef-0'\n",
           "createLightRDA(): 79/<NOSID> sprite 'comm-arrows-undef-8' not found in RDA\n",
           "gameSetupObjects(): charisma sprite 'c-undef' not found in RDA\n",
           "gameSetupObjects(): power sprite 'p-undef' not found in RDA\n",
           "gameSetupObjects(): wealth sprite 'w-undef' not found in RDA\n",
           "createLight(): error loading 152/<NOSID> sprite 'data/zona-lamps-undef-15'\n",
           "setupLights(): error loading sprite 'crane-spring-undef'\n",
           "setupLights(): error loading sprite 'crane-t22-undef'\n",
           "createLightRDA(): 10/LI_USSR0 sprite 'trilight-undef-0' not found in RDA\n",
           "createLightRDA(): 0/LI_SAVER0_ARROW sprite 'saver-undef-0' not found in RDA\n",
           "createLightRDA(): 51/LI_AMNESTY sprite 'amnesty-undef' not found in RDA\n",
           "setupLights(): error loading sprite 'duma_bumper-undef-0'\n",
           "setupLights(): error loading sprite 'krem_bumper-undef-2'\n",
       }) {
    EXPECT_TRUE(contains(log, line)) << line << "\n" << log;
  }
  EXPECT_EQ(namedProcCount(), 3) << "the crane procedures are registered all the same";
  EXPECT_EQ(lightCurrentState(LI_USSR0), -1);
  EXPECT_EQ(lightCurrentState(LI_SAVER0_ARROW), -1);
  EXPECT_EQ(lightObject(LI_CRANE_SPRING), nullptr);
  // LI_T6ARROW was switched off although it has no program.
  StderrCapture err;
  frame();
  EXPECT_EQ(err.finish(), "execState(): light 19/LI_T6ARROW state 0 empty\n");
}

// The table compiler draws each lamp's sprite where lightSprite and
// lightSpriteName say the builders load it from: for every lamp, the name
// they give is the one its builder tried (here the fallbacks, which fail and
// so show in the log), in the place its kind says.
TEST_F(LightsSetupTest, EveryLampsSpriteIsWhereItsBuilderLoadsIt) {
  rdaSetRegime(0);
  int gameResult = 1, sessionResult = 1;
  const std::vector<std::string> log = lines(loadTable(nullptr, &gameResult, &sessionResult));
  auto logged = [&](const std::string& a, const std::string& b) {
    return std::any_of(log.begin(), log.end(), [&](const std::string& l) { return contains(l, a) && contains(l, b); });
  };
  std::set<std::string> names;
  for (int light = 0; light < LI_LAST; ++light) {
    SCOPED_TRACE(lightName(light));
    LightSprite ls;
    ASSERT_EQ(lightSprite(light, &ls), 1);
    char name[260];
    lightSpriteName(&ls, nullptr, name, sizeof name);
    const std::string id = std::to_string(light) + "/";
    switch (ls.kind) {
      case LIGHT_SPRITE_REGIME:
        EXPECT_TRUE(logged("createLightRDA(): " + id, std::string("sprite '") + name + "' not found in RDA"));
        break;
      case LIGHT_SPRITE_DATA:
        EXPECT_TRUE(logged("createLight(): error loading " + id, std::string("sprite 'data/") + name + "'"));
        break;
      case LIGHT_SPRITE_BAR:
        EXPECT_TRUE(logged("gameSetupObjects(): ", std::string("sprite '") + name + "' not found in RDA"));
        break;
      case LIGHT_SPRITE_BUMPER:
      case LIGHT_SPRITE_CRANE:
        EXPECT_TRUE(logged("setupLights(): ", std::string("error loading sprite '") + name + "'"));
        break;
    }
    names.insert(name);
  }
  EXPECT_EQ(names.size(), static_cast<size_t>(LI_LAST - 3 * 9)) << "only a bar's ten lamps share a sprite";
  LightSprite none;
  EXPECT_EQ(lightSprite(LI_LAST, &none), 0);
  EXPECT_EQ(lightSprite(-1, &none), 0);
}

TEST_F(LightsSetupTest, SpriteNamePatternsFromTheConfigurationTakeOnlyTheNumber) {
  rdaSetRegime(0);
  TestConf conf(
      "[mumra]\nsprite = \"m%s%n%d.gsp\"\n"
      "[reklama]\nsprite = \"r%02d%%.gsp\"\n"
      "[tax]\nsprite = \"t%x-%5.3d\"\n"
      "[gasprom]\npercent_sprite = \"%\"\n"
      "[duma_bumper]\nsprite = \"b%d%i\"\n"
      "[krem_bumper]\nsprite = \"k%-3d|%999999999d|%l\"\n");
  int gameResult = 1, sessionResult = 1;
  const std::string log = loadTable(&conf.set, &gameResult, &sessionResult);
  for (const char* line : {
           "createLight(): error loading 60/<NOSID> sprite 'data/m%s%n0.gsp'\n",
           "createLight(): error loading 64/<NOSID> sprite 'data/m%s%n4.gsp'\n",
           "createLight(): error loading 130/<NOSID> sprite 'data/r06%.gsp'\n",
           "createLight(): error loading 42/<NOSID> sprite 'data/t3-  003'\n",
           "createLightRDA(): 33/<NOSID> sprite '%' not found in RDA\n",
           "setupLights(): error loading sprite 'b22'\n",
           "setupLights(): error loading sprite 'k1  |%999999999d|%l'\n",
       }) {
    EXPECT_TRUE(contains(log, line)) << line << "\n" << log;
  }
}

TEST_F(LightsSetupTest, FreeingReleasesTheLampSpritesAndTheBoardClones) {
  writeTableSprites();
  TestConf conf(tableConf());
  int gameResult = 0, sessionResult = 0;
  loadTable(&conf.set, &gameResult, &sessionResult);
  ASSERT_EQ(gameResult + sessionResult, 2);
  // File lamps (4 + 5 + 7 + 16), bumpers and cranes hold sprites of their
  // own, smart objects hold clones.
  EXPECT_GE(spritesInUse(), baseline + rdaSprites + 41);
  vbFree(board.get());
  vbSelect(board.get());
  lightFree();
  EXPECT_EQ(spritesInUse(), baseline + rdaSprites) << "only the regime sprites are left";
  EXPECT_EQ(lightCurrentState(LI_SAVER0_ARROW), -1);
  EXPECT_EQ(lightObject(LI_SAVER0_ARROW), nullptr);

  // The next table's lightInit releases what a session left behind.
  loadTable(&conf.set, &gameResult, &sessionResult);
  vbFree(board.get());
  vbSelect(board.get());
  lightInit();
  EXPECT_EQ(spritesInUse(), baseline + rdaSprites);
}

}  // namespace
}  // namespace lamptest
