// Text pages: markup plotted onto a page, laid out and drawn onto a small
// memory screen. Every glyph of the test font has its own colour, so the box
// of each colour on the screen is where layout put that glyph.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "anim/page.h"
#include "core/log.h"
#include "gfx/font.h"
#include "gfx/gspwrite.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "support/memscreen.h"
#include "support/testutil.h"

namespace {

constexpr int kScreenW = 64, kScreenH = 32;
constexpr int kPageW = 40, kPageH = 20;
// Where the tests draw the page: layout positions are relative to it.
constexpr int kAtX = 3, kAtY = 2;

struct Rgb {
  uint8_t r, g, b;
};

// Glyphs of the test font: 'A' 3x5 red, 'B' 2x5 green, 'C' 4x7 blue, and
// '{' and '\\' both the 1x3 white glyph D. Everything else maps past the
// last glyph.
struct GlyphShape {
  int w, h;
  Rgb colour;
};
constexpr GlyphShape kGlyphs[] = {{3, 5, {255, 0, 0}}, {2, 5, {0, 255, 0}}, {4, 7, {0, 0, 255}}, {1, 3, {255, 255, 255}}};
enum { RED, GREEN, BLUE, WHITE };

std::vector<uint8_t> picture(int w, int h, Rgb c) {
  std::vector<uint8_t> rgba;
  for (int i = 0; i < w * h; ++i) rgba.insert(rgba.end(), {c.r, c.g, c.b, 255});
  return rgba;
}

std::vector<uint8_t> fontBytes() {
  std::vector<std::vector<uint8_t>> pictures;
  std::vector<GspFrameImage> glyphs;
  for (const GlyphShape& g : kGlyphs) pictures.push_back(picture(g.w, g.h, g.colour));
  for (size_t i = 0; i < std::size(kGlyphs); ++i) glyphs.push_back({kGlyphs[i].w, kGlyphs[i].h, pictures[i].data(), 0, 0});
  uint8_t map[FNT_MAP_SIZE];
  std::fill(map, map + FNT_MAP_SIZE, 200);
  map[uint8_t('A')] = 0;
  map[uint8_t('B')] = 1;
  map[uint8_t('C')] = 2;
  map[uint8_t('{')] = 3;
  map[uint8_t('\\')] = 3;
  std::vector<uint8_t> out;
  // Run alpha: the glyphs go through the alpha blitter.
  EXPECT_EQ(fnpEncode(GSP_CM_565_ALPHA, glyphs, map, &out), 0);
  return out;
}

// Three 2x2 frames, red, green and blue, without run alpha.
std::vector<uint8_t> spriteBytes() {
  std::vector<std::vector<uint8_t>> pictures;
  std::vector<GspFrameImage> frames;
  for (int i = 0; i < 3; ++i) pictures.push_back(picture(2, 2, kGlyphs[i].colour));
  for (const auto& p : pictures) frames.push_back({2, 2, p.data(), 0, 0});
  std::vector<uint8_t> out;
  EXPECT_EQ(gspEncode(GSP_CM_565, frames, &out), 0);
  return out;
}

// Inclusive box of the pixels of one colour, relative to the drawing point;
// all -1 when there is none.
struct Box {
  int x0 = -1, y0 = -1, x1 = -1, y1 = -1;
  bool operator==(const Box&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Box& b) {
  return os << "(" << b.x0 << "," << b.y0 << ")-(" << b.x1 << "," << b.y1 << ")";
}

struct PageTest : MemScreen, ::testing::Test {
  void SetUp() override {
    logReset();
    logPrint("STDERR 0");
    gsBuildBlendTable();
    ASSERT_TRUE(openScreen(kScreenW, kScreenH));
    std::vector<uint8_t> f = fontBytes(), s = spriteBytes();
    writeFile(fontPath(), std::string(f.begin(), f.end()));
    writeFile(spritePath(), std::string(s.begin(), s.end()));
    ASSERT_EQ(pageCreate(&page, kPageW, kPageH), 1);
    previous = pageSelect(&page);
    // Loaded, not selected.
    ASSERT_EQ(pagePlot(("{font load f " + fontPath() + "}").c_str()), 1);
  }
  void TearDown() override {
    pageFreeFonts();
    pageFreeSprites();
    pageSelect(previous);
    closeScreen();
    logReset();
  }
  std::string fontPath() const { return dir.file("f.fnp"); }
  std::string spritePath() const { return dir.file("s.gsp"); }

  // What f writes to the log's console channel.
  std::string errors(const std::function<void()>& f) {
    StderrCapture err;
    logPrint("STDERR 1");
    f();
    logPrint("STDERR 0");
    return err.finish();
  }
  void clearScreen() {
    for (int y = 0; y < kScreenH; ++y) std::fill_n(screen.pixels + y * screen.pitch, kScreenW * 2, 0);
  }
  // Draws the active page on a cleared screen at (kAtX, kAtY).
  void draw() {
    clearScreen();
    ASSERT_EQ(pageDraw(kAtX, kAtY), 1);
  }
  uint32_t pixel(int x, int y) const {
    const uint8_t* p = screen.pixels + y * screen.pitch + x * 2;
    return static_cast<uint32_t>(p[0] | p[1] << 8);
  }
  Box box(int colour) const {
    Rgb c = kGlyphs[colour].colour;
    uint32_t want = gdevPackRGB(&screen.pixelFormat, c.r, c.g, c.b);
    Box b;
    for (int y = 0; y < kScreenH; ++y) {
      for (int x = 0; x < kScreenW; ++x) {
        if (pixel(x, y) != want) continue;
        int px = x - kAtX, py = y - kAtY;
        if (b.x0 < 0) b = {px, py, px, py};
        b.x0 = std::min(b.x0, px), b.y0 = std::min(b.y0, py);
        b.x1 = std::max(b.x1, px), b.y1 = std::max(b.y1, py);
      }
    }
    return b;
  }
  int inked() const {
    int n = 0;
    for (int y = 0; y < kScreenH; ++y)
      for (int x = 0; x < kScreenW; ++x) n += pixel(x, y) != 0;
    return n;
  }

  TempDir dir;
  PageContext page;
  PageContext* previous = nullptr;
};

struct LayoutCase {
  const char* text;
  Box red, green, blue, white;  // 'A', 'B', 'C', D
};

// Page 40x20; A 3x5, B 2x5, C 4x7, D 1x3; boxes worked out by hand.
const LayoutCase kLayout[] = {
    // Left, top by default.
    {"AB", {0, 0, 2, 4}, {3, 0, 4, 4}, {}, {}},
    // (40 - 5) / 2 = 17.
    {"{center}AB", {17, 0, 19, 4}, {20, 0, 21, 4}, {}, {}},
    {"{right}AB", {35, 0, 37, 4}, {38, 0, 39, 4}, {}, {}},
    // hposp 50 = 20: the right edge of A is the middle of the page.
    {"{hposp 50}{right}A", {17, 0, 19, 4}, {}, {}, {}},
    {"{hpos 20}A", {20, 0, 22, 4}, {}, {}, {}},
    // 10 - 5 / 2 = 8.
    {"{hpos 10}{center}AB", {8, 0, 10, 4}, {11, 0, 12, 4}, {}, {}},
    // Spacing 2 after each glyph but the last: 3 + 2 + 2 = 7 wide.
    {"{font hspacing 2}{right}AB", {33, 0, 35, 4}, {38, 0, 39, 4}, {}, {}},
    // A control element ends a piece: B starts its own piece at the right.
    {"A{right}B", {0, 0, 2, 4}, {38, 0, 39, 4}, {}, {}},
    // (20 - 5) / 2 = 7.
    {"{vcenter}A", {0, 7, 2, 11}, {}, {}, {}},
    {"{vposp 50}{bottom}A", {0, 5, 2, 9}, {}, {}, {}},
    // 10 - 7 / 2 = 7.
    {"{vpos 10}{vcenter}C", {}, {}, {0, 7, 3, 13}, {}},
    // Two lines, 5 + 7 high, at the bottom: 20 - 12 = 8.
    {"{bottom}A\\nC", {0, 8, 2, 12}, {}, {0, 13, 3, 19}, {}},
    // Both centred: widths 5 and 4, block 12 high at (20 - 12) / 2 = 4.
    {"{center}{vcenter}AB\\nC", {17, 4, 19, 8}, {20, 4, 21, 8}, {18, 9, 21, 15}, {}},
    // A line break advances by the last glyph's height and vertical spacing.
    {"{font vspacing 3}A\\nC", {0, 0, 2, 4}, {}, {0, 8, 3, 14}, {}},
    // An empty line is as high as the last glyph before it: 5 + 5.
    {"A\\n\\nC", {0, 0, 2, 4}, {}, {0, 10, 3, 16}, {}},
    // A vertical control element starts a new block (and a new piece).
    {"{vcenter}A{top}C", {0, 7, 2, 11}, {}, {0, 0, 3, 6}, {}},
    {"{vcenter}C{begin}A", {0, 7, 2, 11}, {}, {0, 6, 3, 12}, {}},
    // Escapes: \{ is a '{'; a backslash before anything else is drawn.
    {"\\{A", {1, 0, 3, 4}, {}, {}, {0, 0, 0, 2}},
    {"A\\", {0, 0, 2, 4}, {}, {}, {3, 0, 3, 2}},
    // Unmapped characters place nothing.
    {"AxB", {0, 0, 2, 4}, {3, 0, 4, 4}, {}, {}},
};

TEST_F(PageTest, LayoutPlacesGlyphs) {
  for (const LayoutCase& c : kLayout) {
    SCOPED_TRACE(c.text);
    ASSERT_EQ(pagePlot("{reset}{font select f}{font hspacing 0}{font vspacing 0}"), 1);
    EXPECT_EQ(pagePlot(c.text), 1);
    draw();
    EXPECT_EQ(box(RED), c.red);
    EXPECT_EQ(box(GREEN), c.green);
    EXPECT_EQ(box(BLUE), c.blue);
    EXPECT_EQ(box(WHITE), c.white);
  }
}

TEST_F(PageTest, SettingsCarryOverUnplotUntilReset) {
  ASSERT_EQ(pagePlot("{font select f}{right}A"), 1);
  draw();
  EXPECT_EQ(box(RED), (Box{37, 0, 39, 4}));
  // Unplot keeps the alignment in force and the font.
  ASSERT_EQ(pageUnplot(), 1);
  EXPECT_EQ(page.count, 0);
  ASSERT_EQ(pagePlot("B"), 1);
  draw();
  EXPECT_EQ(box(RED), Box{});
  EXPECT_EQ(box(GREEN), (Box{38, 0, 39, 4}));
  // Plotting more lays out again from the same start: B stays.
  ASSERT_EQ(pagePlot("{left}A"), 1);
  draw();
  EXPECT_EQ(box(GREEN), (Box{38, 0, 39, 4}));
  EXPECT_EQ(box(RED), (Box{0, 0, 2, 4}));
  // Reset empties the page and clears alignments, but fonts stay loaded and
  // selected.
  ASSERT_EQ(pagePlot("{right}{reset}"), 1);
  EXPECT_EQ(page.count, 0);
  draw();
  EXPECT_EQ(inked(), 0);
  EXPECT_EQ(PAGE.FONTS[0].inUse, 1);
  ASSERT_EQ(pagePlot("A"), 1);
  draw();
  EXPECT_EQ(box(RED), (Box{0, 0, 2, 4}));
}

TEST_F(PageTest, UnclosedTagReportsAndStillActs) {
  // No font selected: nothing is placed.
  ASSERT_EQ(pagePlot("A"), 1);
  EXPECT_EQ(page.count, 0);
  EXPECT_EQ(errors([] { EXPECT_EQ(pagePlot("A{font select f"), 0); }),
            "pagePlot(): no closing '}' found (at '{font select f')\n");
  ASSERT_EQ(pagePlot("{center}B"), 1);
  draw();
  EXPECT_EQ(box(GREEN), (Box{19, 0, 20, 4}));
  // The rest of the text is the tag, parameters and all.
  EXPECT_EQ(errors([] { EXPECT_EQ(pagePlot("{hpos 1}"), 1); }), "");
  EXPECT_EQ(errors([] { EXPECT_EQ(pagePlot("{hpos 1 B"), 0); }),
            "pagePlot(): no closing '}' found (at '{hpos 1 B')\n"
            "{hpos}: invalid tag parameters '1 B'\n");
}

struct MessageCase {
  const char* text;
  const char* log;
  int result;
};

const MessageCase kMessages[] = {
    {"{bogus}", "findTag(): invalid tag 'bogus'\n", 0},
    {"{}", "findTag(): invalid tag ''\n", 0},
    {"{Center}", "findTag(): invalid tag 'Center'\n", 0},
    {"{hpos x}", "{hpos}: invalid tag parameters 'x'\n", 0},
    {"{hpos}", "{hpos}: invalid tag parameters '(null)'\n", 0},
    {"{hpos 1048577}", "{hpos}: invalid tag parameters '1048577'\n", 0},
    {"{hpos -1048576}", "", 1},
    {"{hposp 1e3}", "{hposp}: invalid tag parameters '1e3'\n", 0},
    {"{vposp 50.5}", "", 1},
    {"{vpos 7x}", "{vpos}: invalid tag parameters '7x'\n", 0},
    {"{bgcolor 1,2}", "{bgcolor}: invalid tag parameters '1,2'\n", 0},
    {"{bgcolor 1,2,3,4}", "{bgcolor}: invalid tag parameters '1,2,3,4'\n", 0},
    {"{bgcolor 1,2,256}", "{bgcolor}: invalid tag parameters '1,2,256'\n", 0},
    {"{bgcolor 0,128,255}", "", 1},
    {"{font select}", "{font select}: NULL tag parameters\n", 0},
    {"{font select g}", "{font select}: font 'g' not loaded\n", 0},
    {"{font hspacing 1}", "{font hspacing}: curFont is NULL\n", 0},
    {"{font vspacing 1}", "{font vspacing}: curFont is NULL\n", 0},
    {"{font free g}", "{font free}: font 'g' not loaded\n", 0},
    {"{font load g}", "{font load}: invalid tag parameters 'g'\n", 0},
    {"{font load g a b}", "{font load}: invalid tag parameters 'g a b'\n", 0},
    {"{spr select s}", "{spr select}: sprite 's' not loaded\n", 0},
    {"{spr put 0}", "{spr put}: curSprite is NULL\n", 0},
    {"{spr hspacing 1}", "{spr hspacing}: curSprite is NULL\n", 0},
    {"{spr free s}", "{spr free}: sprite 's' not loaded\n", 0},
    // A failing tag does not stop the text.
    {"{bogus}{font select f}{hspacing}", "findTag(): invalid tag 'bogus'\nfindTag(): invalid tag 'hspacing'\n", 0},
};

TEST_F(PageTest, BadTagsAreReported) {
  for (const MessageCase& c : kMessages) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(errors([&] { EXPECT_EQ(pagePlot(c.text), c.result); }), c.log);
    ASSERT_EQ(pagePlot("{reset}"), 1);
    page.curFont = nullptr;
  }
  EXPECT_EQ(page.bgColor[0], 0);
  EXPECT_EQ(page.bgColor[1], 128);
  EXPECT_EQ(page.bgColor[2], 255);

  // Loading: a name already loaded is skipped, a file that does not load
  // ends the chain with the tag's line.
  std::string again = "{font load f " + fontPath() + "}";
  EXPECT_EQ(errors([&] { EXPECT_EQ(pagePlot(again.c_str()), 1); }),
            "{font load}: warning: font 'f' already loaded, skipping\n");
  std::string missing = dir.file("none.fnp");
  std::string err = errors([&] { EXPECT_EQ(pagePlot(("{font load g " + missing + "}").c_str()), 0); });
  EXPECT_TRUE(err.ends_with("{font load}: error loading font from '" + missing + "'\n")) << err;
  err = errors([&] { EXPECT_EQ(pagePlot(("{spr load s " + missing + "}").c_str()), 0); });
  EXPECT_TRUE(err.ends_with("{spr load}: error loading sprite from '" + missing + "'\n")) << err;

  // Without an active page or a game screen.
  pageSelect(nullptr);
  EXPECT_EQ(errors([] { EXPECT_EQ(pagePlot("A"), 0); }), "pagePlot(): no active page\n");
  EXPECT_EQ(errors([] { EXPECT_EQ(pageUnplot(), 0); }), "pageUnplot(): no active page\n");
  pageSelect(&page);
  gscr* current = gsSelect(nullptr);
  EXPECT_EQ(errors([] { EXPECT_EQ(pageDraw(0, 0), 0); }), "pageDraw(): no active game screen\n");
  gsSelect(current);
}

TEST_F(PageTest, SpritePutChecksTheFrame) {
  ASSERT_EQ(pagePlot(("{spr load s " + spritePath() + "}{spr select s}").c_str()), 1);
  EXPECT_EQ(errors([] { EXPECT_EQ(pagePlot("{spr put 3}"), 0); }),
            "{spr put}: frame 3 is invalid (not in [0..2])\n");
  EXPECT_EQ(errors([] { EXPECT_EQ(pagePlot("{spr put -1}"), 0); }),
            "{spr put}: frame -1 is invalid (not in [0..2])\n");
  EXPECT_EQ(page.count, 0);
  // The first and last frames, 2 pixels apart, with a spacing of 1.
  ASSERT_EQ(pagePlot("{spr hspacing 1}{spr put 0}{spr put 2}"), 1);
  ASSERT_EQ(page.count, 2);
  draw();
  EXPECT_EQ(box(RED), (Box{0, 0, 1, 1}));
  EXPECT_EQ(box(BLUE), (Box{3, 0, 4, 1}));
  // Freeing the sprite removes its glyphs and leaves none selected.
  ASSERT_EQ(pagePlot("{font select f}A{spr free s}"), 1);
  ASSERT_EQ(page.count, 1);
  EXPECT_EQ(errors([] { EXPECT_EQ(pagePlot("{spr put 0}"), 0); }), "{spr put}: curSprite is NULL\n");
  draw();
  EXPECT_EQ(box(BLUE), Box{});
  EXPECT_EQ(box(RED), (Box{0, 0, 2, 4}));
}

TEST_F(PageTest, ElementTableHoldsAThousand) {
  ASSERT_EQ(pagePlot("{font select f}"), 1);
  std::string full(PAGE_MAX_ELEMENTS - 1, 'B');
  EXPECT_EQ(errors([&] { EXPECT_EQ(pagePlot(full.c_str()), 1); }), "");
  EXPECT_EQ(errors([] { EXPECT_EQ(pagePlot("\\n"), 1); }), "");
  EXPECT_EQ(page.count, PAGE_MAX_ELEMENTS);
  // Glyphs and control elements alike are dropped now, and the text goes on.
  EXPECT_EQ(errors([] { EXPECT_EQ(pagePlot("A{center}{hpos 3}\\nA"), 0); }),
            "pagePlot(): no free slots in PAGE.ELEMENTS[], all 1000 occupied (5 dropped)\n");
  EXPECT_EQ(page.count, PAGE_MAX_ELEMENTS);
  draw();
  EXPECT_EQ(box(RED), Box{});
  EXPECT_EQ(box(GREEN), (Box{0, 0, kScreenW - kAtX - 1, 4}));
}

TEST_F(PageTest, LoadTablesHoldSixtyThree) {
  // Font 'f' is in slot 0 already.
  for (int i = 1; i < PAGE_MAX_FONTS; ++i) {
    std::string tag = "{font load f" + std::to_string(i) + " " + fontPath() + "}";
    ASSERT_EQ(pagePlot(tag.c_str()), 1) << i;
  }
  std::string extra = "{font load extra " + fontPath() + "}";
  EXPECT_EQ(errors([&] { EXPECT_EQ(pagePlot(extra.c_str()), 0); }),
            "{font load}: no free slots in PAGE.FONTS[], all 63 occupied\n");
  for (int i = 0; i < PAGE_MAX_SPRITES; ++i) {
    std::string tag = "{spr load s" + std::to_string(i) + " " + spritePath() + "}";
    ASSERT_EQ(pagePlot(tag.c_str()), 1) << i;
  }
  extra = "{spr load extra " + spritePath() + "}";
  EXPECT_EQ(errors([&] { EXPECT_EQ(pagePlot(extra.c_str()), 0); }),
            "{spr load}: no free slots in PAGE.SPRITES[], all 63 occupied\n");
  // Names are cut to 32 characters, in loading and in looking up alike.
  std::string name(40, 'n');
  ASSERT_EQ(pagePlot("{font free f5}"), 1);
  ASSERT_EQ(pagePlot(("{font load " + name + " " + fontPath() + "}").c_str()), 1);
  EXPECT_EQ(std::string(PAGE.FONTS[5].name), std::string(32, 'n'));
  EXPECT_EQ(pagePlot(("{font select " + name + "}").c_str()), 1);
  pageFreeFonts();
  pageFreeSprites();
  EXPECT_EQ(spritesInUse(), 0);
}

TEST_F(PageTest, FreedFontsVanishFromEveryPage) {
  PageContext other;
  ASSERT_EQ(pageCreate(&other, kPageW, kPageH), 1);
  ASSERT_EQ(pagePlot("{font select f}A"), 1);
  pageSelect(&other);
  ASSERT_EQ(pagePlot("{font select f}{right}B"), 1);
  // Freed from the active page: its glyphs go, the other page's stay.
  ASSERT_EQ(pagePlot("{font free f}"), 1);
  EXPECT_EQ(other.count, 1);  // the control element
  pageSelect(&page);
  EXPECT_EQ(page.count, 1);
  // Loaded again into the same slot: the old glyph is not drawn.
  ASSERT_EQ(pagePlot(("{font load f " + fontPath() + "}").c_str()), 1);
  draw();
  EXPECT_EQ(inked(), 0);
  ASSERT_EQ(pagePlot("{font select f}C"), 1);
  draw();
  EXPECT_EQ(box(BLUE), (Box{0, 0, 3, 6}));
  pageFreeFonts();
  draw();
  EXPECT_EQ(inked(), 0);
}

}  // namespace
