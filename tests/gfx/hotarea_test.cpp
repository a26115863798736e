// Hot areas: the message sequences a pointer produces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/log.h"
#include "gfx/hotarea.h"
#include "support/testutil.h"

namespace {

std::vector<std::string> gLog;

int recorder(HotArea* a, const HaMessage* m) {
  static const char* const names[] = {"create", "destroy", "paint", "in",   "out",
                                      "move",   "down",    "up",    "click"};
  gLog.push_back(std::to_string(a->id) + ":" + names[m->code] + "@" + std::to_string(m->x) + "," +
                 std::to_string(m->y) + "/" + std::to_string(m->buttons));
  return 1;
}

GdevEvent mouse(uint32_t what, int x, int y, bool left) {
  GdevEvent e{};
  e.what = what;
  e.x = x;
  e.y = y;
  e.modifiers = left ? static_cast<uint32_t>(GDEV_MOD_LEFTBUT) : 0u;
  return e;
}

struct HotAreaTest : ::testing::Test {
  void SetUp() override {
    haInit();
    gLog.clear();
    EXPECT_EQ(haCreateRect(0, recorder, 0, 0, 10, 10), 1);    // A
    EXPECT_EQ(haCreateRect(1, recorder, 20, 0, 10, 10), 1);   // B
    gLog.clear();
    GdevEvent first = mouse(GDEV_EVT_MOUSEMOVE, 50, 50, false);
    EXPECT_EQ(haEvent(&first), 0);  // only recorded
  }
  void feed(std::initializer_list<GdevEvent> events) {
    for (const GdevEvent& e : events) haEvent(&e);
  }
};

TEST_F(HotAreaTest, PressLeaveReturnRelease) {
  feed({mouse(GDEV_EVT_MOUSEMOVE, 5, 5, false), mouse(GDEV_EVT_MOUSEDOWN, 5, 5, true),
        mouse(GDEV_EVT_MOUSEMOVE, 15, 5, true), mouse(GDEV_EVT_MOUSEMOVE, 6, 6, true),
        mouse(GDEV_EVT_MOUSEUP, 6, 6, false)});
  EXPECT_EQ(gLog, (std::vector<std::string>{
                      "0:move@5,5/0", "0:in@5,5/0",          // enter A
                      "0:down@5,5/1",                         // press
                      "0:up@15,5/1", "0:out@15,5/1",          // leave while pressed
                      "0:move@6,6/1", "0:down@6,6/1", "0:in@6,6/1",  // back in
                      "0:up@6,6/0", "0:click@6,6/1",          // release: click with press buttons
                  }));
}

TEST_F(HotAreaTest, PressInOneReleaseInAnotherGivesNothing) {
  feed({mouse(GDEV_EVT_MOUSEDOWN, 5, 5, true)});
  gLog.clear();
  feed({mouse(GDEV_EVT_MOUSEUP, 25, 5, false)});
  EXPECT_TRUE(gLog.empty());
  // The press is forgotten: a later release in B alone is an ordinary release.
  feed({mouse(GDEV_EVT_MOUSEUP, 25, 5, false)});
  EXPECT_EQ(gLog, (std::vector<std::string>{"1:up@25,5/0"}));
}

TEST_F(HotAreaTest, FindAndIds) {
  EXPECT_EQ(haFind(9, 9), 0);
  EXPECT_EQ(haFind(10, 10), -1);
  EXPECT_EQ(haCreateRect(5, recorder, 0, 0, 100, 100), 1);
  EXPECT_EQ(haFind(25, 5), 1);  // the lower id wins where areas overlap
  EXPECT_EQ(haFind(50, 50), 5);
  haDelete(1);
  EXPECT_EQ(haGet(1), nullptr);
  EXPECT_EQ(haFind(25, 5), 5);

  logReset();
  StderrCapture err;
  EXPECT_EQ(haCreateRect(32, recorder, 0, 0, 1, 1), 0);
  EXPECT_EQ(err.finish(), "haCreateRectEx(): invalid id 32 (not in [0..31]), denying\n");
  EXPECT_EQ(haGet(-1), nullptr);
}

}  // namespace
