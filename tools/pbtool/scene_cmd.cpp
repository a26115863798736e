// pbtool scene GAMEDIR OUT.png [KEY=VALUE...]: the table as the game shows
// it, without a ball, after some frames of its lamps, animation scripts and
// title display: for checking titles and feature animations on the table,
// and for the pictures of the documentation. Keys:
//   regime=N            start regime 0 comm, 1 demo, 2 dict (default 0)
//   frames=N            frames of 1/60 s drawn (default 300)
//   back=TITLE          background title started before the first frame
//   fore=TITLE          foreground title, started at frame fore_at
//   fore_at=N           (default: 30 frames before the end)
//   macro:NAME=VALUE    a title macro (UTF-8, shown in Windows-1251), set
//                       before the first frame
//   feature=F:S         feature F (0 Duma, 1 zone, 2 "bd", 3 gas company)
//                       in state S (0 off, 1 on, 2 crisis)
//   score=N, year=Y     the game's score and year (the year display rolls
//                       to Y; the score shows in the idle score title)
//   add=SUBJECT@N       the score of SUBJECT added at frame N (its tip rises)
//   gameover=1          the game ends before the first frame
//   symbols=N           the mission selection is armed and its button hit at
//                       frame N: the mission symbols rise
//   mission=M@N         mission M (0 Duma ... 4 question, 8 riot) starts at
//                       frame N
//   progress=P          instead of the table: the load progress bar at the
//                       fraction P (0..1) of the load, on a black screen
//   namedlg=TEXT        after the frames the name dialog opens over the
//                       table with an empty field, TEXT (UTF-8) is typed
//                       into it and the pointer rests on OK; the picture
//                       shows the dialog
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "anim/gnm.h"
#include "anim/title.h"
#include "core/log.h"
#include "core/mem.h"
#include "core/text.h"
#include "frontend/namedlg.h"
#include "game/game.h"
#include "game/mission.h"
#include "game/mode.h"
#include "game/score.h"
#include "game/stats.h"
#include "gfx/sprite.h"
#include "main/scene.h"
#include "platform/audio.h"
#include "platform/sys/sys.h"
#include "pngio.h"
#include "sound/fx.h"

namespace {

constexpr const char* kFn = "pbtool scene";

struct SceneOptions {
  int regime = 0;
  int frames = 300;
  std::string back, fore;
  int foreAt = -1;
  std::vector<std::pair<std::string, std::string>> macros;
  std::vector<std::pair<int, int>> features;
  double progress = -1;
  int score = 0;
  double year = 2000.0;
  std::vector<std::pair<std::string, int>> adds;
  int gameOver = 0;
  int symbolsAt = -1;
  std::vector<std::pair<int, int>> missions;
  bool nameDialog = false;
  std::string typed;  // UTF-8
};

bool intValue(const char* text, int lo, int hi, int* out) {
  const long* v = strToLong(text);
  if (!v || *v < lo || *v > hi) return false;
  *out = static_cast<int>(*v);
  return true;
}

bool parseOptions(char** a, SceneOptions* o) {
  for (; *a; ++a) {
    const std::string arg = *a;
    const size_t eq = arg.find('=');
    if (eq == std::string::npos) return logError(0, "%s: '%s' is not KEY=VALUE", kFn, *a);
    const std::string key = arg.substr(0, eq), value = arg.substr(eq + 1);
    bool ok = true;
    if (key == "regime") {
      ok = intValue(value.c_str(), 0, 2, &o->regime);
    } else if (key == "frames") {
      ok = intValue(value.c_str(), 1, 100000, &o->frames);
    } else if (key == "back") {
      o->back = value;
    } else if (key == "fore") {
      o->fore = value;
    } else if (key == "fore_at") {
      ok = intValue(value.c_str(), 0, 100000, &o->foreAt);
    } else if (key.rfind("macro:", 0) == 0 && key.size() > 6) {
      o->macros.emplace_back(key.substr(6), utf8ToCp1251(value));
    } else if (key == "feature") {
      int f = -1, s = -1;
      const size_t colon = value.find(':');
      ok = colon != std::string::npos && intValue(value.substr(0, colon).c_str(), 0, GNM_FEATURES - 1, &f) &&
           intValue(value.substr(colon + 1).c_str(), 0, 2, &s);
      if (ok) o->features.emplace_back(f, s);
    } else if (key == "score") {
      ok = intValue(value.c_str(), 0, 2000000000, &o->score);
    } else if (key == "year") {
      const double* y = strToDouble(value.c_str());
      ok = y && *y >= 0 && *y < 10000;
      if (ok) o->year = *y;
    } else if (key == "add") {
      const size_t at = value.rfind('@');
      int frame = 0;
      ok = at != std::string::npos && at > 0 && intValue(value.substr(at + 1).c_str(), 0, 100000, &frame);
      if (ok) o->adds.emplace_back(value.substr(0, at), frame);
    } else if (key == "symbols") {
      ok = intValue(value.c_str(), 0, 100000, &o->symbolsAt);
    } else if (key == "mission") {
      const size_t at = value.find('@');
      int m = 0, frame = 0;
      ok = at != std::string::npos && intValue(value.substr(0, at).c_str(), 0, MISSION_COUNT - 1, &m) &&
           intValue(value.substr(at + 1).c_str(), 0, 100000, &frame);
      if (ok) o->missions.emplace_back(m, frame);
    } else if (key == "gameover") {
      ok = intValue(value.c_str(), 0, 1, &o->gameOver);
    } else if (key == "namedlg") {
      o->nameDialog = true;
      o->typed = value;
    } else if (key == "progress") {
      const double* p = strToDouble(value.c_str());
      ok = p && *p >= 0 && *p <= 1;
      if (ok) o->progress = *p;
    } else {
      return logError(0, "%s: unknown key '%s'", kFn, key.c_str());
    }
    if (!ok) return logError(0, "%s: bad value in '%s'", kFn, *a);
  }
  if (o->foreAt < 0) o->foreAt = o->frames > 30 ? o->frames - 30 : 0;
  return true;
}

bool writeScreen(const gscr* screen, const char* path) { return pngWriteDC(path, screen->dc); }

// The name dialog over the table as the game opens it, with text typed
// through the device layer's text input and the pointer on OK; pictured
// after a few of its frames, then closed.
int nameDialogPicture(const SceneOptions& o, const gscr* screen, const char* out) {
  if (!nameDialogOpen("", NAMEDLG_MAX_CHARS + 1)) return logError(1, "%s: the name dialog did not open", kFn);
  gdevFeedText(o.typed.c_str());
  int l, t, r, b;
  nameDialogButtonBox(NAMEDLG_BUTTON_OK, &l, &t, &r, &b);
  GdevEvent move{};
  move.what = GDEV_EVT_MOUSEMOVE;
  move.x = (l + r) / 2 + 30;
  move.y = (t + b) / 2;
  gdevPostEvent(&move);
  int rc = 0;
  for (int frame = 0; frame < 3 && rc == 0; frame++)
    if (nameDialogFrame() != 0) rc = logError(1, "%s: the name dialog closed by itself", kFn);
  std::printf("name\t%s\n", cp1251ToUtf8(nameDialogText()).c_str());
  if (rc == 0 && !writeScreen(screen, out)) rc = logError(1, "%s: error writing '%s'", kFn, out);
  nameDialogClose();
  return rc;
}

// The progress bar's sprite runs from empty to full: the frame for the
// fraction, drawn where its frames place it.
int progressPicture(const SceneOptions& o, const char* out) {
  TableScene scene{};
  GdevDC* dc = gdevCreateMemoryDC(SCENE_WIDTH, SCENE_HEIGHT, SCENE_BITS, nullptr);
  if (!dc || gsCreateMem(&scene.screen, dc) != 1) return logError(1, "%s: no memory for the screen", kFn);
  gsSelect(&scene.screen);
  int rc = 0;
  if (Sprite* s = SPR_CREATE("data/ltime-progress.gsp")) {
    const int frame = static_cast<int>(o.progress * (s->numfrms - 1) + 0.5);
    if (s->alpha)
      SPR_PUT_ALPHA(s, frame, 0, 0);
    else
      SPR_PUT_COMMON(s, frame, 0, 0);
    std::printf("progress frame %d of %d\n", frame, s->numfrms);
    SPR_FREE(s);
    if (!writeScreen(&scene.screen, out)) rc = logError(1, "%s: error writing '%s'", kFn, out);
  } else {
    rc = logError(1, "%s: error loading sprite '%s'", kFn, "data/ltime-progress.gsp");
  }
  gsSelect(nullptr);
  gsRelease(&scene.screen);
  gdevDestroyDC(dc);
  return rc;
}

}  // namespace

int cmdScene(char** a) {
  SceneOptions o;
  if (!parseOptions(a + 2, &o)) return 1;
  // The picture's path as given, before the game folder becomes the
  // working directory.
  std::string out = a[1];
  if (out[0] != '/') out = sysCurrentDir() + "/" + out;
  if (!sysChangeDir(a[0])) return logError(1, "%s: can't chdir to '%s'", kFn, a[0]);
  memInit();
  gsBuildBlendTable();
  if (o.progress >= 0) return progressPicture(o, out.c_str());

  audioSetOutput(AUDIO_OUTPUT_NONE);
  fxInit(0);
  gstatPreload(0);  // the rules sample their statistics
  logPrint("STDERR 0");
  TableScene scene{};
  const int opened = sceneOpen(&scene, o.regime);
  logPrint("STDERR 1");
  if (!opened) return logError(1, "%s: error loading the table of '%s'", kFn, a[0]);
  int rc = 0;
  game.score = o.score;
  titleSetMacro("score", scoreFormat(o.score));
  gameSetYear(o.year);
  if (o.gameOver) gameOver();
  for (const auto& [name, value] : o.macros) titleSetMacro(name.c_str(), value.c_str());
  for (auto [feature, state] : o.features)
    if (!gnmSetFeatureState(feature, state)) rc = logError(1, "%s: feature %d has no state %d", kFn, feature, state);
  if (!o.back.empty() && startBackTitle(o.back.c_str()) < 0)
    rc = logError(1, "%s: no title '%s'", kFn, o.back.c_str());
  for (int frame = 0; frame < o.frames && rc == 0; frame++) {
    if (!o.fore.empty() && frame == o.foreAt && startForeTitle(o.fore.c_str()) < 0)
      rc = logError(1, "%s: no title '%s'", kFn, o.fore.c_str());
    for (const auto& [subject, at] : o.adds)
      if (frame == at && !scoreAdd(subject.c_str())) rc = logError(1, "%s: no score subject '%s'", kFn, subject.c_str());
    if (frame == o.symbolsAt) {
      modeEvent(MODE_MSEL, MEVT_BEGIN, 0, nullptr);
      modeEvent(MODE_MSEL, MEVT_MSEL_BTN, 0, nullptr);
    }
    for (auto [mission, at] : o.missions)
      if (frame == at) missionStart(mission);
    sceneFrame(&scene, 1000.0 / 60);
    missionSymbolsStep();
  }
  if (rc == 0 && o.nameDialog) {
    rc = nameDialogPicture(o, &scene.screen, out.c_str());
  } else if (rc == 0 && !writeScreen(&scene.screen, out.c_str())) {
    rc = logError(1, "%s: error writing '%s'", kFn, out.c_str());
  }
  sceneClose(&scene);
  fxShutdown();
  return rc;
}
