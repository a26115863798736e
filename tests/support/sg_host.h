#pragma once
// Subgames played in tests: the built game folder as the working directory,
// a quiet log, sound on a silent output, an 800x600 screen in memory with a
// visual board, frames back to back at a fixed rate (each one nominal frame
// of game time), and a scripted host that feeds the frames' input events
// and ends the run (as a closed window would) after a frame cap, so that a
// fault never hangs the suite.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "core/log.h"
#include "core/time.h"
#include "gfx/screen.h"
#include "platform/audio.h"
#include "platform/gdev.h"
#include "sound/fx.h"
#include "subgames/sgframe.h"
#include "support/memscreen.h"
#include "support/testutil.h"

namespace sgtest {

// A key going down or up at a frame (frames count from 0, the first frame
// of the subgame's loop). Only one event is taken a frame: two on the same
// frame go out on consecutive frames.
struct KeyAt {
  int frame;
  bool down;
  int scan;
  int ch;
};

struct ScriptedHost {
  std::vector<KeyAt> script;
  size_t next = 0;
  int frame = 0;        // frames ended so far
  int cap = 100000;     // the host asks the run to end after this many frames
  bool capped = false;  // the cap was reached
  // Called at the start of every frame's input, before the script: a test
  // player that looks at the subgame's state may add keys for this frame.
  std::function<void(ScriptedHost&)> react;

  void press(int frame, int scan, int ch = 0) { script.push_back({frame, true, scan, ch}); }
  void release(int frame, int scan, int ch = 0) { script.push_back({frame, false, scan, ch}); }
  // Down at from, up at to.
  void hold(int from, int to, int scan, int ch = 0) {
    press(from, scan, ch);
    release(to, scan, ch);
  }
};

inline ScriptedHost* gHost = nullptr;

inline int hostEvent(GdevEvent* out) {
  ScriptedHost* h = gHost;
  if (h && h->react) h->react(*h);
  if (!h || h->next >= h->script.size() || h->script[h->next].frame > h->frame) return 0;
  const KeyAt& k = h->script[h->next++];
  *out = GdevEvent{};
  out->what = k.down ? GDEV_EVT_KEYDOWN : GDEV_EVT_KEYUP;
  out->message = static_cast<uint32_t>(k.ch & 0xFF) | (static_cast<uint32_t>(k.scan & 0xFF) << 8);
  return 1;
}
inline void hostFrameEnd() {
  if (gHost) gHost->frame++;
}
inline int hostQuit() {
  if (!gHost || gHost->frame < gHost->cap) return 0;
  gHost->capped = true;
  return 1;
}
constexpr SgHost kHost = {hostEvent, nullptr, hostFrameEnd, hostQuit, nullptr};

// The fixture base: SetUp opens everything, TearDown puts it all back.
struct SubgameTest : ::testing::Test, MemScreen {
  ScriptedHost host;
  ScopedChdir* cd = nullptr;

  void SetUp() override {
    logReset();
    logPrint("STDERR 0");
    cd = new ScopedChdir(PB_GAME_DIR);
    audioSetOutput(AUDIO_OUTPUT_NONE);
    ASSERT_EQ(fxInit(0), 1);
    gsBuildBlendTable();
    ASSERT_TRUE(openScreen(800, 600));
    tmInit();
    tmSetTime(0);
    tmSetTurbo(1);
    tmSetRate(60, 1);
    gHost = &host;
    sgSetHost(&kHost);
  }
  void TearDown() override {
    sgSetHost(nullptr);
    gHost = nullptr;
    tmSetTurbo(0);
    tmSetRate(60, 0);
    closeScreen();
    fxShutdown();
    delete cd;
    cd = nullptr;
    logReset();
  }
};

}  // namespace sgtest
