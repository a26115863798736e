// The menu's, the credits' and the subgame screen's data in the built game
// folder, read with the game's own readers: every sprite the menu and the
// subgame screen load, the places of the pages' elements on the screen, the
// fonts the texts name and the fit of those texts, the menu video, and the
// frame that opens for a subgame as its keys and sprites place it.
#include <gtest/gtest.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/conf.h"
#include "core/log.h"
#include "gfx/font.h"
#include "gfx/gspwrite.h"
#include "gfx/sprite.h"
#include "gfx/vid.h"
#include "support/gamedata.h"
#include "support/testutil.h"

namespace {

using namespace gamedata;

constexpr int kScreenW = 800, kScreenH = 600;

const char* const kButtons[] = {"ma_btn_start", "ma_btn_top", "ma_btn_cred", "ma_btn_quit", "cr_btn_back",
                                "ch_btn_back",  "kb_btn_back", "re_btn_comm", "re_btn_demo", "re_btn_dict"};
const char* const kLabels[] = {"kb_lbl_lflip", "kb_lbl_rflip", "kb_lbl_giveball"};
const char* const kButtonStates[] = {"appnpass", "disnact", "disnpass", "loopnact", "loopnpass"};
const char* const kLabelStates[] = {"appnpass", "disnpass", "loopnpass"};

// The elements of each page, in the order the menu creates them.
const std::vector<std::vector<const char*>> kPages = {
    {"ma_btn_start", "ma_btn_top", "ma_btn_cred", "ma_btn_quit"},
    {"re_btn_comm", "re_btn_demo", "re_btn_dict"},
    {"ch_btn_back"},
    {"cr_btn_back"},
    {"kb_lbl_lflip", "kb_lbl_rflip", "kb_lbl_giveball", "kb_btn_back"},
};

// The file the menu loads a sprite from: every "_" of the name becomes "-".
std::string menuSprite(const std::string& element, const char* state) {
  std::string name = element + "_" + state;
  std::replace(name.begin(), name.end(), '_', '-');
  return "data/menu/" + name + ".gsp";
}

struct LoadedFont {
  Font* f;
  explicit LoadedFont(const std::string& name)
      : f(FNT_CREATE_FLAGS((kGame + "/titles/fonts/" + name + ".fnp").c_str(), name.c_str(), SPR_LOAD_RAW)) {}
  ~LoadedFont() {
    if (f) FNT_FREE(f);
  }
  LoadedFont(const LoadedFont&) = delete;
  LoadedFont& operator=(const LoadedFont&) = delete;
};

// The union of a sprite's frame boxes, moved by (x, y).
Box spriteBox(const Sprite* s, int x, int y) {
  Box b{1 << 20, 1 << 20, -(1 << 20), -(1 << 20)};
  for (int i = 0; i < s->numfrms; i++) {
    const SprFrame& f = s->frames[i];
    if (f.x0 >= f.x1 || f.y0 >= f.y1) continue;
    b = {std::min(b.x0, x + f.x0), std::min(b.y0, y + f.y0), std::max(b.x1, x + f.x1), std::max(b.y1, y + f.y1)};
  }
  return b;
}

bool insideScreen(const Box& b) { return !b.empty() && b.x0 >= 0 && b.y0 >= 0 && b.x1 <= kScreenW && b.y1 <= kScreenH; }

// Characters of text the font has no glyph for (glyph 0 is the space).
std::string unmapped(const Font* f, const char* text) {
  std::string missing;
  for (const char* p = text; *p; p++)
    if (*p != ' ' && f->map[static_cast<uint8_t>(*p)] == 0) missing += *p;
  return missing;
}

int textWidth(Font* f, const char* text) {
  VBSTR s{};
  vbStrCreate(&s, f);
  return vbStrWidth(&s, text);
}

std::vector<uint8_t> decode(const Sprite* s, int frame) {
  std::vector<uint8_t> rgba;
  EXPECT_EQ(gspDecodeFrame(s, frame, &rgba), 0);
  return rgba;
}

// Every animation of every element loads, draws something in each frame,
// and keeps one frame size, so the states replace each other in place. An
// element ends its appearing and its settling on the same picture (no jump
// when it becomes idle), and its first appearing frame spans the element
// nearly whole: the menu's mouse area is that sprite's box.
TEST(MenuElements, AnimationsLoadAndJoinUp) {
  Quiet quiet;
  struct Kind {
    const char* const* names;
    size_t count;
    const char* const* states;
    size_t stateCount;
  };
  for (const Kind& k : {Kind{kButtons, std::size(kButtons), kButtonStates, std::size(kButtonStates)},
                        Kind{kLabels, std::size(kLabels), kLabelStates, std::size(kLabelStates)}}) {
    for (size_t e = 0; e < k.count; e++) {
      SCOPED_TRACE(k.names[e]);
      std::vector<std::unique_ptr<LoadedSprite>> sprites;
      for (size_t st = 0; st < k.stateCount; st++) {
        sprites.push_back(std::make_unique<LoadedSprite>(menuSprite(k.names[e], k.states[st])));
        const Sprite* s = sprites.back()->s;
        ASSERT_NE(s, nullptr) << k.states[st];
        ASSERT_GE(s->numfrms, 1) << k.states[st];
        for (int i = 0; i < s->numfrms; i++) {
          EXPECT_GT(inked(s, i), 0) << k.states[st] << " frame " << i;
          EXPECT_EQ(s->frames[i].width, sprites[0]->s->frames[0].width) << k.states[st] << " frame " << i;
          EXPECT_EQ(s->frames[i].height, sprites[0]->s->frames[0].height) << k.states[st] << " frame " << i;
        }
      }
      const Sprite* appear = sprites.front()->s;
      const Sprite* idle = sprites.back()->s;  // loopnpass is listed last
      EXPECT_EQ(decode(appear, appear->numfrms - 1), decode(idle, idle->numfrms - 1));
      const SprFrame &first = appear->frames[0], &rest = idle->frames[idle->numfrms - 1];
      EXPECT_GE((first.x1 - first.x0) * 10, (rest.x1 - rest.x0) * 9);
      EXPECT_GE((first.y1 - first.y0) * 10, (rest.y1 - rest.y0) * 8);
    }
  }
}

// Every element of every page has its place, stands wholly on the screen in
// every state, and no two elements of one page cover each other. The logo
// and the video stand on the screen too, the logo clear of the main page's
// buttons.
TEST(MenuPages, ElementsStandOnScreenApart) {
  Quiet quiet;
  Conf menu("menu");
  ASSERT_EQ(menu.status, 0);
  for (const auto& page : kPages) {
    std::vector<Box> boxes;
    for (const char* name : page) {
      SCOPED_TRACE(name);
      const std::string element(name);
      ASSERT_TRUE(menu.has(element + ".dx", CONF_INT));
      ASSERT_TRUE(menu.has(element + ".dy", CONF_INT));
      const int x = menu.num(element + ".dx"), y = menu.num(element + ".dy");
      const bool label = element.find("_lbl_") != std::string::npos;
      Box all{1 << 20, 1 << 20, -(1 << 20), -(1 << 20)};
      for (const char* state : label ? std::vector<const char*>(std::begin(kLabelStates), std::end(kLabelStates))
                                     : std::vector<const char*>(std::begin(kButtonStates), std::end(kButtonStates))) {
        LoadedSprite s(menuSprite(element, state));
        ASSERT_NE(s.s, nullptr) << state;
        const Box b = spriteBox(s.s, x, y);
        EXPECT_TRUE(insideScreen(b)) << state << " " << describe(b);
        all = {std::min(all.x0, b.x0), std::min(all.y0, b.y0), std::max(all.x1, b.x1), std::max(all.y1, b.y1)};
      }
      for (const Box& other : boxes) EXPECT_FALSE(all.overlaps(other)) << describe(all) << " " << describe(other);
      boxes.push_back(all);
    }
  }

  const Box logoBack = [&] {
    LoadedSprite s("data/menu/logo-back.gsp");
    EXPECT_NE(s.s, nullptr);
    return s.s ? spriteBox(s.s, menu.num("logoback_dx"), menu.num("logoback_dy")) : Box{0, 0, 0, 0};
  }();
  const Box logo = [&] {
    LoadedSprite s("data/menu/logo-moving.gsp");
    EXPECT_NE(s.s, nullptr);
    return s.s ? spriteBox(s.s, menu.num("logo_dx"), menu.num("logo_dy")) : Box{0, 0, 0, 0};
  }();
  for (const Box& b : {logoBack, logo}) {
    EXPECT_TRUE(insideScreen(b)) << describe(b);
    for (const char* name : kPages[0]) {
      const int x = menu.num(std::string(name) + ".dx"), y = menu.num(std::string(name) + ".dy");
      LoadedSprite s(menuSprite(name, "loopnact"));
      ASSERT_NE(s.s, nullptr);
      EXPECT_FALSE(b.overlaps(spriteBox(s.s, x, y))) << name << " under the logo " << describe(b);
    }
  }
}

// The looping video opens, loads and decodes every frame inside the screen;
// the picture changes as it plays.
TEST(MenuPages, VideoPlaysOnScreen) {
  Quiet quiet;
  Conf menu("menu");
  ASSERT_EQ(menu.status, 0);
  const std::string file = menu.str("video_file");
  ASSERT_FALSE(file.empty());
  VidClip clip;
  ASSERT_EQ(vidOpen(&clip, (kGame + "/" + file).c_str()), 1) << file;
  ASSERT_EQ(vidLoad(&clip), 1);
  const Box at{menu.num("video_dx"), menu.num("video_dy"), menu.num("video_dx") + clip.width,
               menu.num("video_dy") + clip.height};
  EXPECT_TRUE(insideScreen(at)) << describe(at);
  EXPECT_GT(menu.num("video_delay"), 0);
  std::vector<uint16_t> screen(static_cast<size_t>(kScreenW) * kScreenH);
  VidTarget t{reinterpret_cast<uint8_t*>(screen.data()), kScreenW * 2, kScreenW, kScreenH, 16};
  std::vector<uint16_t> first;
  bool changed = false;
  for (int f = 0; f < clip.frames; f++) {
    ASSERT_EQ(vidPutFrameTo(&clip, t, VID_DRAW_PLAIN, f, at.x0, at.y0), 1) << f;
    if (f == 0) first = screen;
    changed |= screen != first;
  }
  EXPECT_TRUE(changed);
  vidClose(&clip);
}

// The menu's fonts load from titles/fonts/, and the champions page names
// only fonts the menu loads (it finds them by name, whatever the case). The
// ten rows of the table end above the page's "back" button.
TEST(MenuPages, FontsLoadAndChampionsFit) {
  Quiet quiet;
  Conf menu("menu");
  ASSERT_EQ(menu.status, 0);
  std::vector<std::string> loaded;
  for (int n = 0; const char* name = conf_getstrf(&menu.set, "fonts.load%d", nullptr, n); n++) {
    LoadedFont f(name);
    EXPECT_NE(f.f, nullptr) << name;
    loaded.push_back(name);
  }
  ASSERT_FALSE(loaded.empty());
  auto isLoaded = [&](const std::string& name) {
    return !name.empty() && std::any_of(loaded.begin(), loaded.end(), [&](const std::string& l) {
             return strcasecmp(l.c_str(), name.c_str()) == 0;
           });
  };
  for (const char* key : {"champ.heading_font", "champ.name_font", "champ.score_font"})
    EXPECT_TRUE(isLoaded(menu.str(key))) << key;
  LoadedFont rows(menu.str("champ.name_font"));
  ASSERT_NE(rows.f, nullptr);
  LoadedSprite back(menuSprite("ch_btn_back", "appnpass"));
  ASSERT_NE(back.s, nullptr);
  const int lastRowEnd = menu.num("champ.firstname_y") + 9 * menu.num("champ.name_ystep") + fntLineHeight(rows.f);
  EXPECT_LE(lastRowEnd, spriteBox(back.s, menu.num("ch_btn_back.dx"), menu.num("ch_btn_back.dy")).y0);
  EXPECT_GT(menu.num("champ.name_ystep"), fntLineHeight(rows.f) - 1);
  EXPECT_LT(menu.num("champ.name_x"), menu.num("champ.score_x"));
  EXPECT_LT(menu.num("champ.heading_y"), menu.num("champ.firstname_y"));
}

// Every credits screen draws in fonts the menu loads, with a glyph for each
// character, each line within the screen's width and the whole block
// between the top of the screen and the "back" button.
TEST(MenuCredits, ScreensFitAboveTheBackButton) {
  Quiet quiet;
  Conf menu("menu"), credits("credits");
  ASSERT_EQ(menu.status, 0);
  ASSERT_EQ(credits.status, 0);
  std::vector<std::unique_ptr<LoadedFont>> fonts;
  for (int n = 0; const char* name = conf_getstrf(&menu.set, "fonts.load%d", nullptr, n); n++)
    fonts.push_back(std::make_unique<LoadedFont>(name));
  auto font = [&](const char* name) -> Font* {
    for (const auto& f : fonts)
      if (f->f && name && strcasecmp(f->f->name, name) == 0) return f->f;
    return nullptr;
  };
  LoadedSprite back(menuSprite("cr_btn_back", "appnpass"));
  ASSERT_NE(back.s, nullptr);
  const int backTop = spriteBox(back.s, menu.num("cr_btn_back.dx"), menu.num("cr_btn_back.dy")).y0;
  const int ycenter = conf_getint(&credits.set, "ycenter", 300);
  const char* fallback = conf_getstr(&credits.set, "font", "def_credits_font");
  ASSERT_NE(conf_getstr(&credits.set, "screen0.line0", nullptr), nullptr);
  for (int s = 0; conf_getstrf(&credits.set, "screen%d.line0", nullptr, s); s++) {
    SCOPED_TRACE("screen " + std::to_string(s));
    int height = 0;
    for (int l = 0; l < 32; l++) {
      const std::string prefix = "screen" + std::to_string(s);
      const char* line = conf_getstrf(&credits.set, (prefix + ".line%d").c_str(), nullptr, l);
      if (!line) break;
      Font* f = font(conf_getstrf(&credits.set, (prefix + ".font%d").c_str(), fallback, l));
      ASSERT_NE(f, nullptr) << "line " << l << " names a font the menu does not load";
      EXPECT_EQ(unmapped(f, line), "") << "line " << l;
      EXPECT_LE(textWidth(f, line), kScreenW - 40) << "line " << l;
      height += fntLineHeight(f);
    }
    EXPECT_GE(ycenter - height / 2, 0);
    EXPECT_LE(ycenter - height / 2 + height, backTop);
    EXPECT_GT(conf_getintf(&credits.set, "screen%d.delay", conf_getint(&credits.set, "delay", 2000), s), 0);
  }
}

// The keys shown on the regime page: a loaded font with a glyph for every
// character, each line on the screen right of the video and below the last
// regime button.
TEST(MenuPages, KeyHelpFitsUnderTheRegimeButtons) {
  Quiet quiet;
  Conf menu("menu");
  ASSERT_EQ(menu.status, 0);
  LoadedFont f(menu.str("help.font"));
  ASSERT_NE(f.f, nullptr);
  LoadedSprite dict(menuSprite("re_btn_dict", "appnpass"));
  ASSERT_NE(dict.s, nullptr);
  const int buttonsEnd = spriteBox(dict.s, menu.num("re_btn_dict.dx"), menu.num("re_btn_dict.dy")).y1;
  VidClip clip;
  ASSERT_EQ(vidOpen(&clip, (kGame + "/" + menu.str("video_file")).c_str()), 1);
  const int videoRight = menu.num("video_dx") + clip.width;
  vidClose(&clip);
  int lines = 0;
  for (; const char* line = conf_getstrf(&menu.set, "help.line%d", nullptr, lines); lines++) {
    SCOPED_TRACE(line);
    EXPECT_EQ(unmapped(f.f, line), "");
    const int w = textWidth(f.f, line), x = menu.num("help.x") - w / 2;
    const int y = menu.num("help.y") + lines * menu.num("help.ystep");
    EXPECT_GT(x, videoRight);
    EXPECT_LE(x + w, kScreenW);
    EXPECT_GE(y, buttonsEnd);
    EXPECT_LE(y + fntLineHeight(f.f), kScreenH);
  }
  EXPECT_GE(lines, 3);  // the flippers, the launch and the pause keys at least
}

struct Rgb3 {
  int c[3];
  bool ok;
};

Rgb3 colour(const char* text) {
  Rgb3 r{{0, 0, 0}, false};
  if (!text) return r;
  char tail = 0;
  r.ok = std::sscanf(text, "%d,%d,%d%c", &r.c[0], &r.c[1], &r.c[2], &tail) == 3;
  for (int v : r.c) r.ok &= v >= 0 && v <= 255;
  return r;
}

// The subgame screen as its keys and sprites place it when fully open: the
// four frame elements and the lock load with the frames the screen plays;
// the lit surface lies on the screen, hemmed in by the pillars at its sides
// and the beams above and below; the beams meet across the middle before
// they part; each subgame's introduction fits on the surface in the intro
// font.
TEST(MenuSubgameScreen, FrameOpensAroundTheSurface) {
  Quiet quiet;
  Conf sg("sg");
  ASSERT_EQ(sg.status, 0);
  const std::string elemFile = sg.str("ELEM_FILE"), rotaFile = sg.str("ROTA_FILE");
  ASSERT_TRUE(!elemFile.empty() && !rotaFile.empty());
  LoadedSprite elem(elemFile), rota(rotaFile);
  ASSERT_NE(elem.s, nullptr);
  ASSERT_NE(rota.s, nullptr);
  ASSERT_EQ(elem.s->numfrms, 4);
  for (int i = 0; i < 4; i++) EXPECT_GT(inked(elem.s, i), 0) << "element " << i;
  // Phase 2 shows one lock frame a step; the pillars reach their places on
  // its last step only if there are as many frames as steps.
  EXPECT_EQ(sg.num("P2_STEPS"), rota.s->numfrms);
  for (const char* key : {"P1_STEPS", "P2_STEPS", "P3_STEPS", "P4_STEPS", "INTRO_DELAY"}) EXPECT_GT(sg.num(key), 0) << key;
  const int skip = sg.num("skip");
  EXPECT_TRUE(skip == 0 || skip == 2 || skip == 3 || skip == 4) << skip;
  for (const char* key : {"SURF_DARK", "SURF_LIGHT"}) EXPECT_TRUE(colour(sg.str(key).c_str()).ok) << key;

  const int cx = sg.num("CENTER_X"), cy = sg.num("CENTER_Y");
  const SprFrame *left = &elem.s->frames[0], *right = &elem.s->frames[1], *top = &elem.s->frames[2],
                 *bottom = &elem.s->frames[3];
  // Elements are centred on their places by their frame size.
  auto placed = [](const SprFrame* f, int centreX, int centreY) {
    const int x = centreX - f->width / 2, y = centreY - f->height / 2;
    return Box{x + f->x0, y + f->y0, x + f->x1, y + f->y1};
  };
  const Box l = placed(left, cx - sg.num("P1_LEFT_DX") - sg.num("P2_XDIST"), cy);
  const Box r = placed(right, cx + sg.num("P1_RIGHT_DX") + sg.num("P2_XDIST"), cy);
  const Box t = placed(top, cx, cy - sg.num("P3_TOP_DY") - sg.num("P3_YDIST"));
  const Box b = placed(bottom, cx, cy + sg.num("P3_BOTTOM_DY") + sg.num("P3_YDIST"));
  const Box surface{l.x0 + sg.num("SURF_MINDX"), l.y0 + sg.num("SURF_MINDY"), r.x1 - sg.num("SURF_MAXDX"),
                    r.y1 - sg.num("SURF_MAXDY")};
  SCOPED_TRACE("surface " + describe(surface));
  for (const Box& e : {l, r, t, b}) EXPECT_TRUE(insideScreen(e)) << describe(e);
  EXPECT_TRUE(insideScreen(surface));
  EXPECT_GE(surface.x1 - surface.x0, 400);
  EXPECT_GE(surface.y1 - surface.y0, 300);
  EXPECT_EQ(surface.x0, l.x1);  // the surface starts where the pillars end
  EXPECT_EQ(surface.x1, r.x0);
  EXPECT_EQ(surface.y0, t.y1);  // and where the beams end
  EXPECT_EQ(surface.y1, b.y0);
  EXPECT_LE(t.x0, l.x0);  // the beams reach over the pillars
  EXPECT_GE(t.x1, r.x1);
  // Before they part the beams close the middle: they touch or overlap.
  const Box tStart = placed(top, cx, cy - sg.num("P3_TOP_DY"));
  const Box bStart = placed(bottom, cx, cy + sg.num("P3_BOTTOM_DY"));
  EXPECT_GE(tStart.y1, bStart.y0);
  // Before the pillars part the lock spans the gap between them.
  const Box lStart = placed(left, cx - sg.num("P1_LEFT_DX"), cy);
  const Box rStart = placed(right, cx + sg.num("P1_RIGHT_DX"), cy);
  const Box lock = spriteBox(rota.s, cx - rota.s->frames[0].width / 2, cy - rota.s->frames[0].height / 2);
  EXPECT_LE(lock.x0, lStart.x1);
  EXPECT_GE(lock.x1, rStart.x0);

  const std::string fontName = sg.str("intro_font");
  ASSERT_FALSE(fontName.empty());
  LoadedFont font(fontName);
  ASSERT_NE(font.f, nullptr) << fontName;
  for (const char* intro : {"boxing_intro", "deputy_intro", "oligarch_intro"}) {
    SCOPED_TRACE(intro);
    int lines = 0;
    for (; lines < 32; lines++) {
      const char* line = conf_getstrf(&sg.set, (std::string(intro) + ".line%d").c_str(), nullptr, lines);
      if (!line) break;
      EXPECT_EQ(unmapped(font.f, line), "") << "line " << lines;
      const int w = textWidth(font.f, line);
      EXPECT_GE(400 - w / 2, surface.x0) << "line " << lines;
      EXPECT_LE(400 - w / 2 + w, surface.x1) << "line " << lines;
    }
    EXPECT_GT(lines, 0);
    const int height = lines * fntLineHeight(font.f);
    EXPECT_GE(cy - height / 2, surface.y0);
    EXPECT_LE(cy - height / 2 + height, surface.y1);
  }
}

// The generators write the same files on every run: a second run into an
// empty folder gives the bytes of the game folder's files.
TEST(MenuGenerators, WriteTheSameFilesEveryRun) {
  TempDir menuDir, sgDir;
  ASSERT_EQ(runProgram(std::string(PB_BIN_DIR) + "/pbmenu", {menuDir.path}).exitCode, 0);
  ASSERT_EQ(runProgram(std::string(PB_BIN_DIR) + "/pbsg", {sgDir.path}).exitCode, 0);
  std::vector<std::pair<std::string, std::string>> files = {
      {sgDir.path, "data/sg-elements.gsp"},        {sgDir.path, "data/sg-rota.gsp"},
      {menuDir.path, "data/menu/menu-loop.vid"},   {menuDir.path, "data/menu/logo-back.gsp"},
      {menuDir.path, "data/menu/logo-moving.gsp"}, {menuDir.path, "data/menu/re-btn-dict-appnpass.gsp"},
      {menuDir.path, "data/menu/kb-lbl-rflip-disnpass.gsp"}};
  for (const auto& [dir, file] : files) {
    const std::string bytes = readFile(dir + "/" + file);
    EXPECT_FALSE(bytes.empty()) << file;
    EXPECT_EQ(bytes, readFile(kGame + "/" + file)) << file;
  }
}

}  // namespace
