#include "main/main.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/conf.h"
#include "core/log.h"
#include "core/mem.h"
#include "core/text.h"
#include "core/time.h"
#include "frontend/hof.h"
#include "frontend/menu.h"
#include "frontend/namedlg.h"
#include "game/stats.h"
#include "gfx/frame.h"
#include "gfx/screen.h"
#include "main/autoplay.h"
#include "main/session.h"
#include "sound/fx.h"
#include "main/graphics.h"
#include "platform/msgbox.h"
#include "platform/sys/sys.h"

namespace {

const char* const kVersionName = "MILE3-056";
const char* const kVersionDates = "may14 may15 may17 may21";

// Each switch: its classic spelling, the GNU-style spelling Linux users expect,
// and the option it sets.
struct SwitchDesc {
  const char* word;
  const char* gnu;
  bool StartOptions::*flag;
};

constexpr SwitchDesc kSwitches[] = {
    {"/w", "--windowed", &StartOptions::windowed},
    {"/c", "--choose-mode", &StartOptions::chooseMode},
    {"/log", "--log", &StartOptions::log},
    {"/mkbin", "--mkbin", &StartOptions::mkbin},
    {"/debug", "--debug", &StartOptions::debug},
    {"/nosnd", "--nosound", &StartOptions::noSound},
    {"/nomenu", "--nomenu", &StartOptions::noMenu},
    {"/record", "--record", &StartOptions::record},
    {"--help", "-h", &StartOptions::help},
    {"/turbo", "--turbo", &StartOptions::turbo},
    {"/autoplay", "--autoplay", &StartOptions::autoplay},
    {"/presentall", "--present-every-frame", &StartOptions::presentAll},
};

// Switches with a value: "/frames N" and "--frames=N", "/statdump FILE" and
// "--statdump=FILE".
bool takeValue(const char* word, const char* gnu, int argc, char** argv, int* i,
               const char** value) {
  const char* a = argv[*i];
  size_t n = strlen(gnu);
  if (strncmp(a, gnu, n) == 0 && a[n] == '=') {
    *value = a + n + 1;
    return true;
  }
  if (strcasecmp(a, word) != 0) return false;
  *value = *i + 1 < argc ? argv[++*i] : nullptr;
  return true;
}

// Texts shown to the player are Windows-1251; the sources keep them readable.
std::string playerText(const char* utf8) { return utf8ToCp1251(utf8); }

void errorBox(const char* utf8Text) {
  sysMessageBox(playerText("Ошибка").c_str(), playerText(utf8Text).c_str());
}

// Makes the program's own directory the working directory, so every data path
// is relative to the game folder whatever directory it was started from.
void enterProgramDir(const char* argv0) {
  std::string dir = sysProgramDir();
  if (dir.empty() && argv0) {
    char path[260];
    strCopyN(path, argv0, sizeof path);
    if (char* slash = std::strrchr(path, '/')) {
      *slash = '\0';
      dir = path[0] ? path : "/";
    }
  }
  if (!dir.empty()) sysChangeDir(dir.c_str());
}

// Preloads run before the video mode is set; each takes the write-binary flag.
using PreloadFn = int (*)(int writeBinary);

int emptyPreload(int) { return 0; }

constexpr PreloadFn kPreloads[] = {
    emptyPreload,
    MENU_PRELOAD,
    gstatPreload,
};

}  // namespace

StartOptions parseStartOptions(int argc, char** argv) {
  StartOptions o{};
  o.regime = -1;
  o.subgame = -1;
  int freeArgs = 0;
  for (int i = 1; i < argc && freeArgs < 2; i++) {
    const char* a = argv[i];
    const char* value = nullptr;
    if (takeValue("/frames", "--frames", argc, argv, &i, &value)) {
      const long* n = value ? strToLong(value) : nullptr;
      if (n && *n > 0 && *n <= 0x7FFFFFFF)
        o.frames = static_cast<int>(*n);
      else
        o.badValue = a;
      continue;
    }
    if (takeValue("/statdump", "--statdump", argc, argv, &i, &value)) {
      if (value && *value)
        o.statDump = value;
      else
        o.badValue = a;
      continue;
    }
    if (takeValue("/screenshot", "--screenshot", argc, argv, &i, &value)) {
      if (value && *value)
        o.screenshot = value;
      else
        o.badValue = a;
      continue;
    }
    if (takeValue("/regime", "--regime", argc, argv, &i, &value)) {
      const long* n = value ? strToLong(value) : nullptr;
      if (n && *n >= 0 && *n <= 2)
        o.regime = static_cast<int>(*n);
      else
        o.badValue = a;
      continue;
    }
    if (takeValue("/subgame", "--subgame", argc, argv, &i, &value)) {
      const long* n = value ? strToLong(value) : nullptr;
      if (n && *n >= 0 && *n <= 2)
        o.subgame = static_cast<int>(*n);
      else
        o.badValue = a;
      continue;
    }
    const SwitchDesc* hit = nullptr;
    for (const SwitchDesc& s : kSwitches) {
      if (strcasecmp(a, s.word) == 0 || strcmp(a, s.gnu) == 0) {
        hit = &s;
        break;
      }
    }
    if (hit) {
      o.*(hit->flag) = true;
    } else if (freeArgs++ == 0) {
      o.playback = a;
    }
  }
  return o;
}

const char* startUsage() {
  return "Usage: pinball [SWITCH]... [RECORDING]\n"
         "Plays the pinball game from the directory the program lies in.\n"
         "\n"
         "  /w,      --windowed      play in a window instead of the default mode\n"
         "  /c,      --choose-mode   always show the video mode chooser\n"
         "  /log,    --log           write the log to '#report.txt' and the console\n"
         "  /mkbin,  --mkbin         rewrite the binary twins (.bcf) of configuration files\n"
         "  /debug,  --debug         write debug lines (levels 1 to 10) to the log file\n"
         "  /nosnd,  --nosound       play without sound\n"
         "  /nomenu, --nomenu        skip the logos and the menu and play one table\n"
         "  /record, --record        record the session's input to '#session.rec'\n"
         "  /frames N, --frames=N    end each table session after N frames (for tests)\n"
         "  /turbo,  --turbo         run frames back to back, each one nominal frame of\n"
         "                           game time (deterministic and as fast as possible);\n"
         "                           only a session's last frame is shown\n"
         "  /presentall, --present-every-frame\n"
         "                           with /turbo, show every frame all the same (for\n"
         "                           tests: the game plays the same either way)\n"
         "  /autoplay, --autoplay    the built-in player plays (launches, flips, plays the\n"
         "                           subgames, takes the proposed name); with /record its\n"
         "                           keys are recorded like a person's\n"
         "  /statdump FILE, --statdump=FILE\n"
         "                           also write the statistics of each session to FILE,\n"
         "                           then its end state: score, year, balls_left,\n"
         "                           game_over, regime (name TAB value)\n"
         "  /screenshot FILE, --screenshot=FILE\n"
         "                           write the screen at the end of each session to FILE (BMP)\n"
         "  /regime N, --regime=N    with /nomenu, play regime N (0 comm, 1 demo, 2 dict)\n"
         "  /subgame N, --subgame=N  with /nomenu, play subgame N once (0 boxing, 1 shooting\n"
         "                           gallery, 2 gold catching) on the regime's picture, write\n"
         "                           its outcome to the log and end (practice and tests)\n"
         "  --help,  -h              show this help and exit\n"
         "\n"
         "RECORDING names a session recording to replay with /nomenu (or a saved game\n"
         "state whose name contains '.rec.st'). Switches are matched without regard to\n"
         "case; arguments after a second free argument are ignored.\n";
}

void COMMON_INIT(int soundOn) {
  (void)soundOn;
  memInit();
  tmInit();
  tmSetTime(0);
  tmSetRate(60, 0);
  // A missing, damaged or edited hall of fame is replaced by the defaults at once.
  logDebug(2, "at read_results()");
  if (!READ_RESULTS()) {
    hofDefaults();
    SAVE_RESULTS();
  }
  gsBuildBlendTable();
  logDebug(2, "at fxInit()");
  fxInit(!soundOn);
  logDebug(2, "at fxSetSampleSID()");
  fxSetSampleSID(sampleSID);
  logDebug(2, "at setupMusic()");
  if (!setupMusic()) logError(0, "%s: error setting up game music", "COMMON_INIT()");
}

int MAIN(int argc, char** argv) {
  enterProgramDir(argc > 0 ? argv[0] : nullptr);
  return mainInFolder(argc, argv);
}

int mainInFolder(int argc, char** argv) {
  StartOptions opt = parseStartOptions(argc, argv);
  if (opt.help) {
    std::fputs(startUsage(), stdout);
    return 0;
  }
  if (opt.badValue) {
    std::fprintf(stderr, "pinball: '%s' needs a value (see --help)\n", opt.badValue);
    return 1;
  }

  logPrint(opt.log ? "LOG_CREATE #report.txt" : "STDERR 0");
  if (opt.debug) logSetDebugLevel(10);
  logPrint("%s (pbl %d.%d %d) [%s]", kVersionName, 0, 51, 75, kVersionDates);

  logDebug(1, "at common_init()");
  COMMON_INIT(!opt.noSound);
  if (opt.turbo) tmSetTurbo(1);
  frameSetPresentEveryFrame(opt.presentAll ? 1 : 0);
  sessionSetFrameLimit(opt.frames);
  sessionSetStatDump(opt.statDump);
  sessionSetScreenshot(opt.screenshot);
  sessionSetSubgame(opt.noMenu ? opt.subgame : -1);

  logDebug(1, "at *_preload()");
  bool preloadFailed = false;
  for (PreloadFn preload : kPreloads) {
    if (preload(opt.mkbin) < 0) preloadFailed = true;
  }
  if (preloadFailed) {
    errorBox("Ошибка предварительной загрузки данных. Переустановите игру или обратитесь в "
             "службу техподдержки");
    return 1;
  }

  logDebug(1, "at setup_graphics()");
  int graphics = SETUP_GRAPHICS(opt.windowed ? "windowed" : "default", opt.chooseMode, opt.mkbin);
  logDebug(1, "setup_graphics() ret %d", graphics);
  if (graphics < 0) {
    logError(0, "%s: error setting up graphics", "MAIN()");
    errorBox("Ошибка инициализации графики. Обратитесь в службу техподдержки");
    return 1;
  }

  // A finished game whose score enters the hall of fame asks for the name.
  hofSetNameDialog(nameDialog);
  // The built-in player plays live sessions (a replay plays itself).
  if (opt.autoplay && !opt.playback) autoplayStart(1);

  int result = 0;
  if (opt.noMenu) {
    ConfSet global{};
    conf_anyread(&global, "MAIN()", "conf/global.conf", "conf/global.bcf", opt.mkbin);
    logDebug(1, "at mile3()");
    int regime = opt.regime >= 0 ? opt.regime : conf_getint(&global, "startup.regime", 0);
    result = MILE3(opt.playback, opt.record, opt.mkbin, regime);
    logDebug(1, "mile3() ret %d", result);
    conf_free(&global);
  } else {
    logDebug(1, "at play_logos()");
    PLAY_LOGOS();
    logDebug(1, "at menu()");
    menuSetSession(MILE3);
    result = MENU(opt.mkbin, opt.record);
    logDebug(1, "menu() ret %d", result);
  }

  if (result == 0) {
    logPrint("GAME EXITS SUCCESSFULLY");
  } else {
    logPrint("UNKNOWN EXIT RESULT %d", result);
  }

  autoplayStop();
  fxShutdown();
  memMute();
  SHUTDOWN_GRAPHICS();
  memUnmute();
  // A table that could not be loaded leaves nothing to play: say so, rather
  // than ending silently.
  if (result < 0) {
    errorBox("Ошибка загрузки данных игры. Переустановите игру или обратитесь в службу техподдержки");
    return 1;
  }
  return 0;
}
