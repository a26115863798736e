// pbtool check-data: a complete game folder passes; each missing or damaged
// file, and each object section whose family has no reader, is named on one
// line; and the built game folder's generated files all read.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/conf.h"
#include "core/log.h"
#include "gfx/vid.h"
#include "main/gamefolder.h"
#include "physics/geometry.h"
#include "physics/track.h"
#include "sound/fx.h"
#include "support/testutil.h"

namespace {

const std::string kGame = PB_GAME_DIR;
const char* const kModules[] = {"comm", "demo", "dict", "pres", "credits", "boxing", "deputy", "oligarch"};

RunResult checkData(const std::string& dir) {
  return runProgram(std::string(PB_BIN_DIR) + "/pbtool", {"check-data", dir});
}

// Everything check-data looks for, small but readable.
struct CompleteFolder : GameFolder {
  CompleteFolder() {
    logReset();
    logPrint("STDERR 0");  // the writers' own lines stay out of the test's output
    makeTable();
    write("conf/menu.conf",
          "video_file = \"data/menu/loop.vid\"\n[fonts]\nload0 = \"plain16\"\nload1 = \"mach18xgold\"\n"
          "[champ]\nheading_font = \"mach18xgold\"\nname_font = \"plain16\"\nscore_font = \"plain16\"\n");
    write("conf/credits.conf",
          "delay = 2000\nfont = \"plain16\"\n[screen0]\nline0 = \"Qel\"\nline1 = \"a game\"\n"
          "font1 = \"mach18xgold\"\n[screen1]\nline0 = \"the end\"\n");
    mkdirs("data/menu");
    for (const char* b : {"ma_btn_start", "ma_btn_top", "ma_btn_cred", "ma_btn_quit", "cr_btn_back", "ch_btn_back",
                          "kb_btn_back", "re_btn_comm", "re_btn_demo", "re_btn_dict"})
      for (const char* st : {"appnpass", "disnact", "disnpass", "loopnact", "loopnpass"})
        sprite(menuFile(std::string(b) + "_" + st), 2, 6, 4);
    for (const char* l : {"kb_lbl_lflip", "kb_lbl_rflip", "kb_lbl_giveball"})
      for (const char* st : {"appnpass", "disnpass", "loopnpass"}) sprite(menuFile(std::string(l) + "_" + st), 2, 6, 4);
    sprite("data/menu/logo-back.gsp", 1, 8, 8);
    sprite("data/menu/logo-moving.gsp", 3, 8, 8);
    mkdirs("titles/fonts");
    for (const char* f : {"mach18xgold", "plain16"})
      copyFile(kGame + "/titles/fonts/" + f + ".fnp", dir.file(std::string("titles/fonts/") + f + ".fnp"));
    std::vector<uint16_t> pal(256, 0x07E0);
    std::vector<uint8_t> px(8 * 6, 1);
    std::vector<VidFrameIn> frames = {{px.data(), pal.data()}, {px.data(), nullptr}};
    for (const char* clip : {"data/lumo-logo.vid", "data/empty.vid", "data/ortan-logo.vid", "data/menu/loop.vid"})
      vidWrite(dir.file(clip).c_str(), 8, 6, VID_MODEL_ZLIB, 1, frames);
    for (const char* d : {"samples/boxing", "samples/deputy", "samples/oligarch", "music", "temp", "tiny"})
      mkdirs(d);
    wav("samples/lumo-logo.wav");
    wav("samples/ortan-logo.wav");
    for (const TableSample& ts : tableSamples()) wav(std::string("samples/") + ts.name + ".wav");
    for (const char* s : {"oligarch/body_move", "oligarch/gold_catch", "oligarch/gold_break", "boxing/drol_hit1",
                          "boxing/drol_hit2", "boxing/drol_boom", "boxing/drol_knockout", "boxing/vesk_hit1",
                          "boxing/vesk_hit2", "boxing/vesk_boom", "boxing/vesk_knockout", "boxing/tarok_hit1",
                          "boxing/tarok_hit2", "boxing/tarok_boom", "boxing/tarok_knockout", "deputy/man1_die",
                          "deputy/man2_die", "deputy/man1_run", "deputy/man2_run", "deputy/miss1", "deputy/miss2",
                          "deputy/miss3", "deputy/reload", "deputy/shoot"})
      wav(std::string("samples/") + s + ".wav");
    for (const char* m : kModules)
      copyFile(kGame + "/music/" + m + ".it", dir.file(std::string("music/") + m + ".it"));
    sprite("data/ltime-progress.gsp", 2, 10, 4);

    std::vector<uint16_t> depth(8 * 6, 1000);
    szbufWrite(dir.file("temp/table-z.dat").c_str(), depth.data(), 8, 6);
    ZBUF heights{depth.data(), 0.0f, 10.0f, 8, 6};
    zbufWrite(dir.file("temp/table-0tz.dat").c_str(), &heights);
    Vec3 v[3] = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}};
    Outline o{{1, 2, 3}, {12, 40, 0}, 3, 0, 0, 10, 10, v, nullptr};
    shWriteFile(dir.file("temp/#shapes-0.dat").c_str(), std::span<const Outline>(&o, 1));
    TrackVec points[3] = {{0, 0, 0}, {0, 5, 0}, {0, 10, 0}};
    Track track{3, 5.0, points};
    trackSave(dir.file("temp/ramp.trk").c_str(), &track);
    write("conf/track.conf", "[ramp]\nfilename = \"temp/ramp.trk\"\n");
    write("table/objects-0.conf",
          "[object_12_40]\nfamily = \"bumper\"\n"
          "[class_post]\nfamily = \"wall\"\n"
          "[object_50_60]\nclass = \"post\"\n");
    bitmap("table/table-0ti.bmp", 8, 6, 1, 2, 3);
    for (const char* r : {"comm", "demo", "dict"}) sprite(std::string("data-") + r + "/lights/lamp.gsp", 2, 6, 6);
    write("conf/sg.conf", "ELEM_FILE = \"data/sg-elem.gsp\"\nROTA_FILE = \"data/sg-rota.gsp\"\nintro_font = \"plain16\"\n");
    sprite("data/sg-elem.gsp", 4, 10, 10);
    sprite("data/sg-rota.gsp", 6, 10, 10);
    // The scripts' sprites, lists and samples are relative to tiny/, through
    // the folder settings of the script and of each track.
    mkdirs("tiny/duma");
    sprite("tiny/duma/flag.gsp", 4, 6, 4);
    sprite("tiny/sign.gsp", 2, 6, 4);
    write("tiny/duma/wave.lst", "x, y\n1, 2\n");
    for (const char* s : {"duma", "zona", "bd", "gp"})
      for (const char* n : {"@", "0", "1", "2"})
        write(std::string("tiny/") + s + "-" + n + ".gnm",
              "# script\nset dir=duma, snddir=../samples\n"
              "track flag: list wave.lst; play flag,0,3; sndplay button; loop\n"
              "track sign: set dir=; play sign; \\\n  sleep 100; loop\n");
    mkdirs("titles");
    write("titles/main.conf",
          "[begin]\nexec0 = \"{font load dm fonts/display.fnp}{font select dm}\"\n"
          "[samples]\nload0 = \"bump ../samples/tri.wav\"\n[ball_lost]\nplot0 = \"x\"\n");
    copyFile(kGame + "/titles/fonts/plain16.fnp", dir.file("titles/fonts/display.fnp"));
    binaryTwin("titles/main.conf", "titles/main.bcf");
    subgames();
    for (const char* c : {"bigscore", "question", "modes"}) write(std::string("conf/") + c + ".conf", "x = 1\n");
    std::string mission = "[symbols]\n";
    for (int i = 0; i < 5; i++) {
      const std::string n = std::to_string(i);
      mission += "symbol" + n + "_sprite = \"data/sym" + n + ".gsp\"\nsymbol" + n + "_explode_sprite = \"data/boom" + n +
                 ".gsp\"\n";
      sprite("data/sym" + n + ".gsp", 4, 6, 6);
      sprite("data/boom" + n + ".gsp", 3, 6, 6);
    }
    write("conf/mission.conf", mission);
    write("conf/score.conf", "digits_sprite = \"data/tip%d.gsp\"\n");
    for (int d = 0; d < 10; d++) sprite("data/tip" + std::to_string(d) + ".gsp", 1, 5, 7);
    logReset();
  }
  void binaryTwin(const std::string& text, const std::string& bin) {
    ConfSet set{};
    CONF_READ(&set, dir.file(text).c_str());
    CONF_BINWRITE(&set, dir.file(bin).c_str());
    conf_free(&set);
  }
  // The subgames' configurations with every sprite they load (one small
  // sprite per key, with the frames the subgame steps through).
  void subgames() {
    mkdirs("data/sg");
    // "a.b" keys are written as key b of section [a], after the plain keys.
    auto spriteKey = [&](std::string* conf, const std::string& key, int frames) {
      std::string file = "data/sg/" + key + ".gsp";
      std::replace(file.begin() + 8, file.end(), '.', '-');
      file.replace(file.size() - 4, 1, ".");
      const size_t dot = key.find('.');
      const std::string line = key.substr(dot + 1) + " = \"" + file + "\"\n";
      if (dot == std::string::npos)
        conf->insert(0, line);
      else
        *conf += "[" + key.substr(0, dot) + "]\n" + line;
      sprite(file, frames, 4, 4);
    };
    std::string boxing;
    for (const char* person : {"drol.", "vesk.", "tarok."})
      for (const char* key : {"stand_file", "walk1_file", "hit1_file", "hit2_file", "boom1_file", "knockout1_file",
                              "knockout2_file"})
        spriteKey(&boxing, std::string(person) + key, 3);
    for (const char* key : {"spark.spark1_file", "spark.spark2_file", "flag_file"}) spriteKey(&boxing, key, 2);
    spriteKey(&boxing, "back_file", 3);
    spriteKey(&boxing, "corners_file", 4);
    spriteKey(&boxing, "health_file", 2);
    spriteKey(&boxing, "ki_file", 2);
    write("conf/boxing.conf", boxing);
    std::string deputy;
    for (const char* kind : {"rdeputy1", "rdeputy2", "ldeputy1", "ldeputy2"})
      for (const char* key : {".run_file", ".die_file"}) spriteKey(&deputy, std::string(kind) + key, 6);
    for (const char* key : {"gun.left_file", "gun.right_file", "gun.reload_file", "back_file", "smoke_file"})
      spriteKey(&deputy, key, 2);
    spriteKey(&deputy, "corners_file", 4);
    write("conf/deputy.conf", "image_file = \"data/sg/unused.img\"\n" + deputy);
    std::string oligarch;
    for (const char* key : {"body_file", "head0_file", "head1_file", "head2_file", "corners_file"})
      spriteKey(&oligarch, key, 4);
    for (const char* key : {"back_file", "gleft_file", "dropped1_file", "dropped2_file"}) spriteKey(&oligarch, key, 3);
    spriteKey(&oligarch, "digits_file", 10);
    for (int j = 1; j <= 4; j++)
      for (const char* key : {"gold%d_file", "face%d_file", "trans%d_file", "cloud%d_file"}) {
        char name[32];
        std::snprintf(name, sizeof name, key, j);
        spriteKey(&oligarch, name, 5);
      }
    write("conf/oligarch.conf", oligarch);
  }
  static std::string menuFile(std::string name) {
    std::replace(name.begin(), name.end(), '_', '-');
    return "data/menu/" + name + ".gsp";
  }
  void remove(const std::string& rel) { std::filesystem::remove(dir.file(rel)); }
  void truncate(const std::string& rel, size_t size) { write(rel, readFile(dir.file(rel)).substr(0, size)); }
};

TEST(CheckData, CompleteFolderPasses) {
  CompleteFolder g;
  const RunResult r = checkData(g.dir.path);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exitCode, 0);
}

TEST(CheckData, NamesEachMissingOrBrokenFileOnOneLine) {
  struct Case {
    const char* what;
    std::function<void(CompleteFolder*)> damage;
    const char* line;  // the whole line, or its start up to the reader's message
  };
  const Case cases[] = {
      {"a table sample is missing", [](CompleteFolder* g) { g->remove("samples/saver.wav"); },
       "missing\tsamples/saver.wav\ttable sample 'saver'\n"},
      {"a sample the configuration renames is missing",
       [](CompleteFolder* g) { g->write("conf/sample.conf", "[saver]\nfile = \"saver2.wav\"\n"); },
       "missing\tsamples/saver2.wav\ttable sample 'saver'\n"},
      {"the ball sprite is cut short", [](CompleteFolder* g) { g->truncate("data/ball.gsp", 40); },
       "broken\tdata/ball.gsp\t"},
      {"the global keys name another ball",
       [](CompleteFolder* g) { g->write("conf/global.conf", "[ball]\nsprite = \"data/steel.gsp\"\n"); },
       "missing\tdata/steel.gsp\tball\n"},
      {"a font is not a font", [](CompleteFolder* g) { g->write("titles/fonts/plain16.fnp", "not a pack"); },
       "broken\ttitles/fonts/plain16.fnp\t"},
      {"a music module is not a module", [](CompleteFolder* g) { g->write("music/demo.it", "IMPM but no more"); },
       "broken\tmusic/demo.it\t"},
      {"a logo clip's frames are cut off", [](CompleteFolder* g) { g->truncate("data/empty.vid", 30); },
       "broken\tdata/empty.vid\t"},
      {"the shape file's count is damaged",
       [](CompleteFolder* g) {
         std::string s = readFile(g->dir.file("temp/#shapes-0.dat"));
         s[s.size() - 1] = '\x7F';
         g->write("temp/#shapes-0.dat", s);
       },
       "broken\ttemp/#shapes-0.dat\t"},
      {"the height map is missing", [](CompleteFolder* g) { g->remove("temp/table-0tz.dat"); },
       "missing\ttemp/table-0tz.dat\theight map of layer 0\n"},
      {"a named track file is missing", [](CompleteFolder* g) { g->remove("temp/ramp.trk"); },
       "missing\ttemp/ramp.trk\ttrack 'ramp'\n"},
      {"the transparency plane has a palette", [](CompleteFolder* g) {
         GdevBitmap* b = gdevCreateBitmap(8, 6, 8);
         gdevSaveBitmap(g->dir.file("table/table-alpha.img").c_str(), b);
         gdevFreeBitmap(b);
       },
       "broken\ttable/table-alpha.img\tpbtool check-data: 'table/table-alpha.img' has 8 bits per pixel, not 24\n"},
      {"a lamp sprite is missing from one regime", [](CompleteFolder* g) { g->remove("data-dict/lights/lamp.gsp"); },
       "missing\tdata-dict/lights/lamp.gsp\tlamp sprite\n"},
      {"a regime picture only in comm", [](CompleteFolder* g) { g->bitmap("data-comm/table-x.img", 4, 4, 0, 0, 0); },
       "missing\tdata-demo/table-x.img\tregime picture\nmissing\tdata-dict/table-x.img\tregime picture\n"},
      {"an object names a family without a reader",
       [](CompleteFolder* g) { g->write("table/objects-0.conf", "[object_12_40]\nfamily = \"cannon\"\n"); },
       "broken\ttable/objects-0.conf\tobject_12_40: family 'cannon' has no reader\n"},
      {"an object names no family",
       [](CompleteFolder* g) { g->write("table/objects-0.conf", "[object_12_40]\nk = 0.5\n"); },
       "broken\ttable/objects-0.conf\tobject_12_40: no family\n"},
      {"an object's class names an unknown family",
       [](CompleteFolder* g) {
         g->write("table/objects-0.conf", "[class_post]\nfamily = \"bumpr\"\n[object_50_60]\nclass = \"post\"\n");
       },
       "broken\ttable/objects-0.conf\tobject_50_60 (class 'post'): family 'bumpr' is not a table family\n"},
      {"an animation script is empty", [](CompleteFolder* g) { g->write("tiny/gp-2.gnm", ""); },
       "broken\ttiny/gp-2.gnm\tpbtool check-data: 'tiny/gp-2.gnm' is empty\n"},
      {"a highlighted menu button has no sprite", [](CompleteFolder* g) { g->remove("data/menu/re-btn-dict-loopnact.gsp"); },
       "missing\tdata/menu/re-btn-dict-loopnact.gsp\tmenu button 're_btn_dict'\n"},
      {"a credits line selects a font the menu does not load",
       [](CompleteFolder* g) { g->write("conf/credits.conf", "font = \"plain16\"\n[screen0]\nline0 = \"Qel\"\nfont0 = \"tiny\"\n"); },
       "broken\tconf/credits.conf\tscreen0.font0: 'tiny' is not a menu font\n"},
      {"the subgame frame has too few elements", [](CompleteFolder* g) { g->sprite("data/sg-elem.gsp", 2, 10, 10); },
       "broken\tdata/sg-elem.gsp\tpbtool check-data: 'data/sg-elem.gsp' has 2 frames, the subgame screen frame "
       "(left, right, top, bottom) needs 4\n"},
      {"the tip digits' name is not a name with one number",
       [](CompleteFolder* g) { g->write("conf/score.conf", "digits_sprite = \"data/tip%s%d.gsp\"\n"); },
       "broken\tconf/score.conf\tdigits_sprite: 'data/tip%s%d.gsp' is not a file name with one %d\n"},
      {"a score tip digit is missing", [](CompleteFolder* g) { g->remove("data/tip7.gsp"); },
       "missing\tdata/tip7.gsp\tscore tip digit 7\n"},
      {"a sprite a script plays is missing (through the script's folder)",
       [](CompleteFolder* g) { g->remove("tiny/duma/flag.gsp"); },
       "missing\ttiny/duma/flag.gsp\ttiny/duma-@.gnm: play flag,0,3\n"},
      {"a sprite a script plays is missing (a track's own folder, on a continued line)",
       [](CompleteFolder* g) { g->remove("tiny/sign.gsp"); },
       "missing\ttiny/sign.gsp\ttiny/duma-@.gnm: play sign\n"},
      {"a font a title configuration loads is missing", [](CompleteFolder* g) { g->remove("titles/fonts/display.fnp"); },
       "missing\ttitles/fonts/display.fnp\ttitle font (begin.exec0)\n"},
      {"a title sample is not a sample", [](CompleteFolder* g) {
         g->write("titles/main.conf", "[samples]\nload0 = \"bump ../conf/game.conf\"\n[ball_lost]\nplot0 = \"x\"\n");
         g->binaryTwin("titles/main.conf", "titles/main.bcf");
       },
       "broken\tconf/game.conf\t"},
      {"a boxer's knockout sprite is missing", [](CompleteFolder* g) { g->remove("data/sg/vesk-knockout2_file.gsp"); },
       "missing\tdata/sg/vesk-knockout2_file.gsp\tconf/boxing.conf: vesk.knockout2_file\n"},
      {"the gallery names no smoke", [](CompleteFolder* g) {
         std::string conf = readFile(g->dir.file("conf/deputy.conf"));
         conf.erase(conf.find("smoke_file"), conf.find('\n', conf.find("smoke_file")) + 1 - conf.find("smoke_file"));
         g->write("conf/deputy.conf", conf);
       },
       "broken\tconf/deputy.conf\tno 'smoke_file'\n"},
      {"a gold bar has fewer frames than steps", [](CompleteFolder* g) { g->sprite("data/sg/gold3_file.gsp", 4, 4, 4); },
       "broken\tdata/sg/gold3_file.gsp\tpbtool check-data: 'data/sg/gold3_file.gsp' has 4 frames, gold3_file needs 5\n"},
      {"the boxing ki bar is not a sprite", [](CompleteFolder* g) { g->write("data/sg/ki_file.gsp", "no"); },
       "broken\tdata/sg/ki_file.gsp\t"},
      {"a mission symbol's explosion is not named", [](CompleteFolder* g) {
         std::string conf = readFile(g->dir.file("conf/mission.conf"));
         conf.erase(conf.find("symbol3_explode_sprite"), conf.find('\n', conf.find("symbol3_explode_sprite")) + 1 - conf.find("symbol3_explode_sprite"));
         g->write("conf/mission.conf", conf);
       },
       "missing\tsymbol3_explode_sprite-undef\tmission symbol 3 explosion\n"},
      {"no title configuration", [](CompleteFolder* g) { g->remove("titles/main.bcf"); },
       "missing\ttitles/*.bcf\ttitle configurations\n"},
      {"a configuration does not parse", [](CompleteFolder* g) { g->write("conf/modes.conf", "[modes\nx = \n"); },
       "broken\tconf/modes.conf\t"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CompleteFolder g;
    c.damage(&g);
    const RunResult r = checkData(g.dir.path);
    EXPECT_EQ(r.exitCode, 1);
    const std::string line = c.line;
    if (line.back() == '\n') {
      EXPECT_EQ(r.out, line);
    } else {
      EXPECT_EQ(r.out.compare(0, line.size(), line), 0) << r.out;
      EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
      EXPECT_GT(r.out.size(), line.size() + 10) << "the reader says why: " << r.out;
    }
    EXPECT_EQ(r.err, "");
  }
}

TEST(CheckData, BinaryTwinStandsInForAMissingTextFile) {
  CompleteFolder g;
  g.binaryTwin("conf/game.conf", "conf/game.bcf");
  g.remove("conf/game.conf");
  const RunResult r = checkData(g.dir.path);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.exitCode, 0);
  g.remove("conf/game.bcf");
  EXPECT_EQ(checkData(g.dir.path).out, "missing\tconf/game.conf\trules\n");
}

// The built game folder holds every file the game loads, and each reads.
TEST(CheckData, BuiltGameFolderPasses) {
  const RunResult r = checkData(kGame);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exitCode, 0);
}

TEST(CheckData, NotAFolder) {
  TempDir d;
  const RunResult r = checkData(d.file("nowhere"));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("can't enter the game folder"), std::string::npos) << r.err;
}

}  // namespace
