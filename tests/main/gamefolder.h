#pragma once
// A game folder of its own for a test: the real program, the shipped video
// mode and menu configuration, and on request a small table made on the spot with the
// data writers (backgrounds, planes, sprites, configuration). The window
// opens on SDL's dummy video driver; sound uses the dummy audio driver.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx/gspwrite.h"
#include "platform/gdev.h"
#include "support/fixture_bytes.h"
#include "support/testutil.h"

struct GameFolder {
  TempDir dir;
  TempDir elsewhere;  // the directory the program is started from
  std::string exe;

  GameFolder() : exe(dir.file("pinball")) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    copyFile(std::string(PB_GAME_DIR) + "/pinball", exe);
    mkdirs("conf");
    // The video mode and the menu's configuration, which the start-up reads
    // before anything else. The menu's pictures are not here: a start without
    // /nomenu ends when the menu finds none.
    for (const char* conf : {"conf/vidmode.conf", "conf/menu.conf", "conf/credits.conf"})
      copyFile(std::string(PB_GAME_DIR) + "/" + conf, dir.file(conf));
  }

  RunResult run(const std::vector<std::string>& args) { return runProgram(exe, args, elsewhere.path); }
  std::string report() const { return readFile(dir.file("#report.txt")); }
  void mkdirs(const std::string& rel) { std::filesystem::create_directories(dir.file(rel)); }
  void write(const std::string& rel, const std::string& text) { writeFile(dir.file(rel), text); }

  // A 24-bit picture of one colour.
  void bitmap(const std::string& rel, int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    GdevBitmap* bmp = gdevCreateBitmap(w, h, 24);
    for (int i = 0; i < w * h; i++) {
      bmp->pixels[3 * i] = b;
      bmp->pixels[3 * i + 1] = g;
      bmp->pixels[3 * i + 2] = r;
    }
    gdevSaveBitmap(dir.file(rel).c_str(), bmp);
    gdevFreeBitmap(bmp);
  }

  // A short 16-bit mono WAV of silence.
  void wav(const std::string& rel, int frames = 441) {
    std::string w = "RIFF" + le32(36 + 2 * frames) + "WAVEfmt " + le32(16);
    w += le16(1) + le16(1);  // PCM, mono
    w += le32(44100) + le32(88200) + le16(2) + le16(16);
    w += "data" + le32(2 * frames);
    w.append(static_cast<size_t>(2 * frames), '\0');
    write(rel, w);
  }

  // A sprite of n solid frames w x h at (ox, oy) from its origin, with run alpha.
  void sprite(const std::string& rel, int frames, int w, int h, int ox = 0, int oy = 0) {
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < px.size(); i += 4) {
      px[i] = 200;
      px[i + 1] = 180;
      px[i + 2] = 40;
      px[i + 3] = 255;
    }
    std::vector<GspFrameImage> images(static_cast<size_t>(frames), GspFrameImage{w, h, px.data(), ox, oy});
    gspWrite(dir.file(rel).c_str(), 5, images);
  }

  // Everything a table session needs to load and run.
  void makeTable() {
    for (const char* d : {"data", "table", "data-comm/lights", "data-demo/lights", "data-dict/lights"})
      mkdirs(d);
    write("conf/global.conf", "[startup]\nregime = 0\n[video]\nrate = 60\n");
    write("conf/game.conf", "[synlight]\ntick = 20\n");
    write("conf/sample.conf", "volume = 100\n");
    write("conf/mosaic.conf",
          "sort = \"light\"\nalpha_steps = 2\n[anim0]\nmask = \"data/mask.bmp\"\n"
          "[anim1]\nmask = \"data/mask.bmp\"\n[anim2]\nmask = \"data/mask.bmp\"\n");
    GdevBitmap* mask = gdevCreateBitmap(32, 32, 8);
    for (int i = 0; i < 256; i++) mask->palette[i] = GdevColor{uint8_t(i), uint8_t(i), uint8_t(i), 0};
    for (int i = 0; i < 32 * 32; i++) mask->pixels[i] = static_cast<uint8_t>(1 + (i % 32) / 8);
    gdevSaveBitmap(dir.file("data/mask.bmp").c_str(), mask);
    gdevFreeBitmap(mask);
    const uint8_t tint[3][3] = {{160, 30, 30}, {30, 60, 160}, {40, 40, 40}};
    const char* regimes[3] = {"comm", "demo", "dict"};
    for (int r = 0; r < 3; r++) {
      std::string d = std::string("data-") + regimes[r];
      bitmap(d + "/table-i.img", 800, 600, tint[r][0], tint[r][1], tint[r][2]);
      bitmap(d + "/table-i-vorsk.img", 800, 600, 10, 10, 10);
    }
    bitmap("table/table-alpha.img", 800, 600, 0, 0, 0);
    // The subgames' settings, with one picture for the gallery's figures.
    write("conf/sg.conf", "INTRO_DELAY = 100\n");
    write("conf/boxing.conf", "framerate = 60\n");
    write("conf/oligarch.conf", "framerate = 40\n");
    std::string deputy;
    for (const char* kind : {"rdeputy1", "rdeputy2", "ldeputy1", "ldeputy2"})
      deputy += std::string("[") + kind + "]\nrun_file = \"data/deputy.gsp\"\ndie_file = \"data/deputy.gsp\"\n";
    write("conf/deputy.conf", deputy);
    sprite("data/deputy.gsp", 2, 8, 8);
    sprite("data/ball.gsp", 1, 15, 15);
    sprite("data/ballshadow.gsp", 1, 15, 15);
    sprite("data/ruler.gsp", 1, 4, 4, 2, 2);
    sprite("data/cursor.gsp", 3, 8, 8);
    sprite("data/dialog-cursor.gsp", 1, 8, 8);
    sprite("data/pause-window.gsp", 1, 200, 120, 300, 240);
    sprite("data/pause-continue.gsp", 1, 60, 30, 320, 300);
    sprite("data/pause-exit.gsp", 1, 60, 30, 420, 300);
  }
};
