// pbtool subgame GAMEDIR ID OUT [KEY=VALUE...]: a subgame played headless
// as the game plays it (the screen opening over the regime's subgame
// picture, the subgame from a key script, the closing), with pictures of
// its opening, of a moment of play and of its last frame, and the outcome
// printed. For checking the subgames' art and for the documentation's
// pictures. ID: 0 boxing, 1 shooting gallery, 2 gold catching. Writes
// OUT-open.png, OUT-play.png and OUT-end.png. Keys:
//   regime=N          the regime (0 comm, 1 demo, 2 dict; default 0): its
//                     picture and its person for boxing and gold catching
//   open=N            the frame of the screen's animation pictured as the
//                     opening (default 180: the introduction)
//   play=N            the frame of the subgame pictured as play (default 300)
//   press=SCAN@N      the key with that scan code goes down at subgame
//                     frame N (SCAN decimal or 0x..); release=SCAN@N lets go
//   every=SCAN@N/P/H  the key goes down at frame N, then every P frames,
//                     each time held H frames
//   frames=N          the subgame ends after N frames if it has not (default
//                     20000)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/mem.h"
#include "core/time.h"
#include "game/game.h"
#include "game/stats.h"
#include "gfx/rda.h"
#include "gfx/screen.h"
#include "main/scene.h"
#include "platform/audio.h"
#include "platform/gdev.h"
#include "platform/sys/sys.h"
#include "pngio.h"
#include "sound/fx.h"
#include "subgames/sg.h"

namespace {

constexpr const char* kFn = "pbtool subgame";

struct Key {
  int frame;
  bool down;
  int scan;
};

struct Run {
  std::vector<Key> keys;
  size_t next = 0;
  int frame = 0;
  int openAt = 180, playAt = 300, limit = 20000;
  std::string out;
  bool wroteOpen = false, wrotePlay = false;
  int failures = 0;
};

Run R;

bool writeScreen(const char* path) { return pngWriteDC(path, gsCurrent->dc); }

void picture(const char* which) {
  const std::string path = R.out + "-" + which + ".png";
  if (writeScreen(path.c_str()))
    std::printf("%s\n", path.c_str());
  else
    R.failures += logError(1, "%s: error writing '%s'", kFn, path.c_str());
}

int hostEvent(GdevEvent* out) {
  if (R.next >= R.keys.size() || R.keys[R.next].frame > R.frame) return 0;
  const Key& k = R.keys[R.next++];
  *out = GdevEvent{};
  out->what = k.down ? GDEV_EVT_KEYDOWN : GDEV_EVT_KEYUP;
  out->message = static_cast<uint32_t>(k.scan & 0xFF) << 8;
  return 1;
}

void hostFrameEnd() {
  if (R.frame == R.playAt) {
    picture("play");
    R.wrotePlay = true;
  }
  R.frame++;
}

int hostQuit() { return R.frame >= R.limit ? 1 : 0; }

void hostScreenFrame(int step) {
  if (step == R.openAt) {
    picture("open");
    R.wroteOpen = true;
  }
}

constexpr SgHost kHost = {hostEvent, nullptr, hostFrameEnd, hostQuit, hostScreenFrame};

bool number(const std::string& text, int* out) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 0);
  if (text.empty() || *end || v < 0 || v > 1000000) return false;
  *out = static_cast<int>(v);
  return true;
}

// SCAN@N, or SCAN@N/P/H.
bool keyAt(const std::string& value, int* scan, int* frame, int* period, int* held) {
  const size_t at = value.find('@');
  if (at == std::string::npos || !number(value.substr(0, at), scan) || *scan > 255) return false;
  std::string rest = value.substr(at + 1);
  *period = *held = 0;
  const size_t slash = rest.find('/');
  if (slash == std::string::npos) return number(rest, frame);
  const size_t slash2 = rest.find('/', slash + 1);
  return slash2 != std::string::npos && number(rest.substr(0, slash), frame) &&
         number(rest.substr(slash + 1, slash2 - slash - 1), period) && number(rest.substr(slash2 + 1), held) &&
         *period > *held && *held > 0;
}

bool parse(char** a, int* regime) {
  struct Every {
    int scan, frame, period, held;
  };
  std::vector<Every> every;
  for (; *a; a++) {
    const std::string arg = *a;
    const size_t eq = arg.find('=');
    const std::string key = arg.substr(0, eq), value = eq == std::string::npos ? "" : arg.substr(eq + 1);
    int scan, frame, period, held;
    bool ok = true;
    if (key == "regime")
      ok = number(value, regime) && *regime <= 2;
    else if (key == "open")
      ok = number(value, &R.openAt);
    else if (key == "play")
      ok = number(value, &R.playAt);
    else if (key == "frames")
      ok = number(value, &R.limit);
    else if ((key == "press" || key == "release") && keyAt(value, &scan, &frame, &period, &held) && !period)
      R.keys.push_back({frame, key == "press", scan});
    else if (key == "every" && keyAt(value, &scan, &frame, &period, &held) && period)
      every.push_back({scan, frame, period, held});
    else
      ok = false;
    if (!ok) {
      std::fprintf(stderr, "%s: bad argument '%s' (see pbtool --help)\n", kFn, arg.c_str());
      return false;
    }
  }
  for (const Every& e : every)
    for (int f = e.frame; f < R.limit; f += e.period) {
      R.keys.push_back({f, true, e.scan});
      R.keys.push_back({f + e.held, false, e.scan});
    }
  std::stable_sort(R.keys.begin(), R.keys.end(), [](const Key& x, const Key& y) { return x.frame < y.frame; });
  return true;
}

}  // namespace

int cmdSubgame(char** a) {
  R = Run{};
  int id = -1, regime = 0;
  if (!number(a[1], &id) || id > 2) {
    std::fprintf(stderr, "%s: ID must be 0, 1 or 2\n", kFn);
    return 1;
  }
  if (!parse(a + 3, &regime)) return 1;
  R.out = a[2];
  if (R.out[0] != '/') R.out = sysCurrentDir() + "/" + R.out;
  if (!sysChangeDir(a[0])) return logError(1, "%s: can't chdir to '%s'", kFn, a[0]);
  memInit();
  gsBuildBlendTable();
  audioSetOutput(AUDIO_OUTPUT_NONE);
  fxInit(0);
  setupMusic();
  gstatPreload(0);
  logPrint("STDERR 0");
  TableScene scene{};
  const int opened = sceneOpen(&scene, regime);
  logPrint("STDERR 1");
  if (!opened) return logError(1, "%s: error loading the table of '%s'", kFn, a[0]);
  int rc = 0;
  if (GdevDC* back = rdaGetBitmap("table-i-vorsk.img")) {
    mglCopyDC(gsCurrent->dc, back);
  } else {
    rc = logError(1, "%s: no subgame picture '%s'", kFn, "table-i-vorsk.img");
  }
  SgOutcome outcome{};
  outcome.boxing.left = regime;
  outcome.oligarch.person = regime;
  if (rc == 0 && SG_REQUEST(id, &outcome) == 0) {
    tmInit();
    tmSetTime(0);
    tmSetTurbo(1);
    tmSetRate(60, 1);
    sgSetHost(&kHost);
    SG_SCREEN_IN();
    const int result = SG_RUN();
    if (result < 0) rc = logError(1, "%s: subgame %d did not run", kFn, id);
    picture("end");
    SG_SCREEN_OUT();
    sgSetHost(nullptr);
    sgClearRequest();
    std::printf("%s\nframes\t%d\n", sgOutcomeText(id, &outcome), R.frame);
    if (!R.wroteOpen) rc = logError(1, "%s: the opening has no frame %d", kFn, R.openAt);
    if (!R.wrotePlay) rc = logError(1, "%s: the subgame ended before frame %d", kFn, R.playAt);
  }
  if (R.failures) rc = 1;
  sceneClose(&scene);
  fxShutdown();
  return rc;
}
