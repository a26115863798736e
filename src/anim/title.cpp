#include "anim/title.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "anim/page.h"
#include "core/calls.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/mem.h"
#include "core/text.h"
#include "gfx/screen.h"
#include "gfx/vid.h"
#include "physics/opr.h"
#include "platform/sys/sys.h"
#include "sound/fx.h"

namespace {

// A clip frame stays this long: the clips carry no rate of their own.
constexpr double kVideoFrameMs = 40.0;

struct TitleEv {
  int type;
  std::string text;
  int a, b, c;
};

struct Title {
  int used;
  std::string name;
  std::vector<TitleEv> page;
  std::vector<TitleEv> video;
};

struct TitleVideo {
  int used;
  char name[TITLE_SLOT_NAME];
  VidClip clip;
};

struct TitleSample {
  int used;
  char name[TITLE_SLOT_NAME];
  int id;
};

// A text plotted since the last unplot: plot-macro texts are evaluated again
// whenever the display is drawn, and what follows them is plotted again.
struct Plotted {
  std::string text;
  std::string shown;  // the evaluated text of a macro entry
  int macro;
};

struct TitleCtx {
  int created;
  PageContext page;
  GdevDC* dc;
  gscr surface;
  int title;
  size_t cursor;
  double elapsed, delay;
  size_t vcursor;
  int video;  // slot of the clip playing, -1 none
  int vframe;
  int vshown;  // frame drawn last, -1 none
  double velapsed;
  int clear[3];
  TitleEndFn endFn, endOnce;
  int inEnd;          // END_* while the end functions run, else 0
  int pending;        // a title the end functions of a finished title started, -1 none
  TitleEndFn pendingOnce;
  int endMark;
  std::vector<Plotted> plots;
  int refreshFrom;   // first macro entry of plots, -1 none
  int refreshCount;  // page elements before it
};

struct Macro {
  char name[TITLE_MACRO_NAME];
  char value[TITLE_MACRO_VALUE];
};
Macro gMacros[TITLE_MACROS];
int gMacroCount = 0;

TitleCtx gCtx[2];
int gActive = -1;
Title gTitles[TITLE_COUNT];
TitleVideo gVideos[TITLE_VIDEOS];
TitleSample gSamples[TITLE_SAMPLES];
double gIdle = 0;
int gShown = -1;  // the context the display shows, -1 none yet
TitleRegimeFn gRegime = nullptr;

TitleCtx* activeCtx() { return gActive >= 0 && gCtx[gActive].created ? &gCtx[gActive] : nullptr; }

Title* titleById(int id) {
  if (id < TITLE_FIRST_ID || id >= TITLE_FIRST_ID + TITLE_COUNT) return nullptr;
  Title* t = &gTitles[id - TITLE_FIRST_ID];
  return t->used ? t : nullptr;
}

const Macro* findMacro(const char* name) {
  for (int i = 0; i < gMacroCount; i++)
    if (std::strcmp(gMacros[i].name, name) == 0) return &gMacros[i];
  return nullptr;
}

// evalMacro with the messages optional: a page refreshed every frame must not
// repeat them.
std::string evalText(const char* text, int quiet) {
  const char* fn = "evalMacro()";
  std::string out;
  const char* p = text ? text : "";
  while (*p) {
    if (p[0] != '$' || p[1] != '(') {
      out += *p++;
      continue;
    }
    const char* name = p + 2;
    const char* close = std::strchr(name, ')');
    if (!close || (close > name && close[-1] == ' ')) {
      out += *p++;
      continue;
    }
    std::string n(name, static_cast<size_t>(close - name));
    std::string written(p, static_cast<size_t>(close + 1 - p));
    p = close + 1;
    if (n.size() >= TITLE_MACRO_NAME) {
      if (!quiet)
        logError(0, "%s: macro name '%s' too long (%d > %d), skipping evaluation", fn, n.c_str(),
                 static_cast<int>(n.size()), TITLE_MACRO_NAME - 1);
      out += written;
      continue;
    }
    const Macro* m = findMacro(n.c_str());
    if (!m) {
      if (!quiet) logError(0, "%s: can't evaluate macro '%s' num_macros-%d", fn, n.c_str(), gMacroCount);
      out += written;
      continue;
    }
    out += m->value;
  }
  if (out.size() >= TITLE_TEXT) out.resize(TITLE_TEXT - 1);
  return out;
}

void resetTrack(TitleCtx* c) {
  c->cursor = 0;
  c->elapsed = 0;
  c->delay = 0;
  c->vcursor = 0;
  c->video = -1;
  c->vframe = 0;
  c->vshown = -1;
  c->velapsed = 0;
  c->endMark = 0;
}

// The title of context c has ended or is replaced: the permanent end
// function, then the one-shot callback (taken off first, so that it may set
// a new one).
// How a title ends: it ran to its end, or another title replaces it.
enum { END_FINISHED = 1, END_REPLACED = 2 };

void endTitle(TitleCtx* c, int how) {
  c->title = -1;
  c->endMark = 0;
  c->inEnd = how;
  c->pending = -1;
  c->pendingOnce = nullptr;
  if (c->endFn) c->endFn();
  TitleEndFn once = c->endOnce;
  c->endOnce = nullptr;
  if (once) once();
  c->inEnd = 0;
  // The next step of a chain (the ball count after "ball_lost" ...) plays
  // once the finished title's callbacks are done.
  if (c->pending >= 0) {
    const int id = c->pending;
    TitleEndFn after = c->pendingOnce;
    c->pending = -1;
    c->pendingOnce = nullptr;
    gActive = static_cast<int>(c - gCtx);
    if (titlePlay(id)) c->endOnce = after;
  }
}

void forgetPlots(TitleCtx* c) {
  c->plots.clear();
  c->refreshFrom = -1;
  c->refreshCount = 0;
}

int plotText(TitleCtx* c, const char* text, int macro) {
  Plotted p{text, "", macro};
  if (macro) {
    p.shown = evalText(text, 0);
    if (c->refreshFrom < 0) {
      c->refreshFrom = static_cast<int>(c->plots.size());
      c->refreshCount = c->page.count;
    }
  }
  int ok = pagePlot(macro ? p.shown.c_str() : text);
  if (c->page.count < c->refreshCount) forgetPlots(c);  // a reset tag emptied the page
  else c->plots.push_back(std::move(p));
  return ok;
}

// Plots the macro texts again when a macro they show has changed. 1 when the
// page changed.
int refreshMacros(TitleCtx* c) {
  if (c->refreshFrom < 0) return 0;
  int stale = 0;
  for (size_t i = static_cast<size_t>(c->refreshFrom); i < c->plots.size(); i++) {
    Plotted& p = c->plots[i];
    if (p.macro && evalText(p.text.c_str(), 1) != p.shown) stale = 1;
  }
  if (!stale) return 0;
  if (c->page.count > c->refreshCount) c->page.count = c->refreshCount;
  c->page.changed = 1;
  for (size_t i = static_cast<size_t>(c->refreshFrom); i < c->plots.size(); i++) {
    Plotted& p = c->plots[i];
    if (p.macro) p.shown = evalText(p.text.c_str(), 1);
    pagePlot(p.macro ? p.shown.c_str() : p.text.c_str());
  }
  return 1;
}

int findVideo(const char* name) {
  for (int i = 0; i < TITLE_VIDEOS; i++)
    if (gVideos[i].used && std::strcmp(gVideos[i].name, name) == 0) return i;
  return -1;
}

int findSample(const char* name) {
  for (int i = 0; i < TITLE_SAMPLES; i++)
    if (gSamples[i].used && std::strcmp(gSamples[i].name, name) == 0) return i;
  return -1;
}

// "NAME FILE": the name (cut to size) and the rest after the blanks. 0 when
// either part is missing.
int splitNameFile(const char* value, char* name, size_t size, std::string* file) {
  const char* p = value;
  while (*p == ' ' || *p == '\t') p++;
  const char* n = p;
  while (*p && *p != ' ' && *p != '\t') p++;
  std::string nm(n, static_cast<size_t>(p - n));
  while (*p == ' ' || *p == '\t') p++;
  *file = p;
  while (!file->empty() && (file->back() == ' ' || file->back() == '\t')) file->pop_back();
  if (nm.empty() || file->empty()) return 0;
  strCopyN(name, nm.c_str(), size);
  return 1;
}

std::string key2(const char* title, const char* k) { return std::string(title) + "." + k; }
std::string keyN(const char* title, const char* k, int i) {
  return std::string(title) + "." + k + std::to_string(i);
}

// Per-title string with the file-wide key as default.
const char* confStr(ConfSet* set, const char* title, const char* k, const char* def) {
  return conf_getstr(set, key2(title, k).c_str(), conf_getstr(set, k, def));
}
int confInt(ConfSet* set, const char* title, const char* k, int def) {
  return conf_getint(set, key2(title, k).c_str(), conf_getint(set, k, def));
}

void parseClear(const char* text, int rgb[3]) {
  rgb[0] = rgb[1] = rgb[2] = 255;
  std::sscanf(text, "%d,%d,%d", &rgb[0], &rgb[1], &rgb[2]);
  for (int i = 0; i < 3; i++) rgb[i] = rgb[i] < 0 ? 0 : rgb[i] > 255 ? 255 : rgb[i];
}

std::string cut(std::string s) {
  if (s.size() >= TITLE_TEXT) s.resize(TITLE_TEXT - 1);
  return s;
}

void buildPageEvents(ConfSet* set, const char* name, std::vector<TitleEv>* ev) {
  std::string begin = confStr(set, name, "begin", "");
  std::string end = confStr(set, name, "end", "");
  std::string prefix = confStr(set, name, "prefix", "");
  std::string suffix = confStr(set, name, "suffix", "");
  std::string clear = confStr(set, name, "clear", "0,0,0");
  int unplot = confInt(set, name, "unplot", 0);
  int delay = confInt(set, name, "delay", -1);
  int volume = confInt(set, name, "volume", 100);
  int panning = confInt(set, name, "panning", 0);
  ev->push_back({TE_UNPLOT, "", 0, 0, 0});
  ev->push_back({TE_PLOT, "{reset}", 0, 0, 0});
  for (int i = 0;; i++) {
    prefix = conf_getstr(set, keyN(name, "prefix", i).c_str(), prefix.c_str());
    suffix = conf_getstr(set, keyN(name, "suffix", i).c_str(), suffix.c_str());
    clear = conf_getstr(set, keyN(name, "clear", i).c_str(), clear.c_str());
    TitleEv c{TE_CLEAR, "", 0, 0, 0};
    int rgb[3];
    parseClear(clear.c_str(), rgb);
    c.a = rgb[0], c.b = rgb[1], c.c = rgb[2];
    ev->push_back(c);
    unplot = conf_getint(set, keyN(name, "unplot", i).c_str(), unplot);
    if (unplot) ev->push_back({TE_UNPLOT, "", 0, 0, 0});
    if (i == 0 && !begin.empty()) ev->push_back({TE_PLOT, cut(begin), 0, 0, 0});
    if (conf_getint(set, keyN(name, "loop", i).c_str(), 0)) {
      ev->push_back({TE_LOOP, "", 0, 0, 0});
      break;
    }
    const char* plot = conf_getstr(set, keyN(name, "plot", i).c_str(), nullptr);
    const char* plotmac = conf_getstr(set, keyN(name, "plotmac", i).c_str(), nullptr);
    if (plot)
      ev->push_back({TE_PLOT, cut(prefix + plot + suffix), 0, 0, 0});
    else if (plotmac)
      ev->push_back({TE_PLOTMAC, cut(plotmac), 0, 0, 0});
    else
      break;
    volume = conf_getint(set, keyN(name, "volume", i).c_str(), volume);
    panning = conf_getint(set, keyN(name, "panning", i).c_str(), panning);
    if (const char* s = conf_getstr(set, keyN(name, "sample", i).c_str(), nullptr))
      ev->push_back({TE_SAMPLE, cut(prefix + s + suffix), volume, panning, 0});
    delay = conf_getint(set, keyN(name, "delay", i).c_str(), delay);
    if (delay > 0) ev->push_back({TE_DELAY, "", delay, 0, 0});
  }
  if (!end.empty()) ev->push_back({TE_PLOT, cut(end), 0, 0, 0});
}

void buildVideoEvents(ConfSet* set, const char* name, std::vector<TitleEv>* ev) {
  std::string section = std::string("video_") + name;
  for (int i = 0;; i++) {
    if (conf_getint(set, keyN(section.c_str(), "loop", i).c_str(), 0)) {
      ev->push_back({TE_LOOP, "", 0, 0, 0});
      break;
    }
    const char* play = conf_getstr(set, keyN(section.c_str(), "play", i).c_str(), nullptr);
    if (!play) break;
    ev->push_back({TE_PLAY, cut(play), 0, 0, 0});
  }
}

int allocTitle() {
  for (int i = 0; i < TITLE_COUNT; i++)
    if (!gTitles[i].used) return TITLE_FIRST_ID + i;
  return -1;
}

int startTitle(int which, const char* name) {
  const char* fn = which == TITLE_FORE ? "startForeTitle()" : "startBackTitle()";
  int id = titleFind(name);
  if (id < 0) return logError(-1, "%s: title name '%s' is not found", fn, name ? name : "(null)");
  TitleCtx* c = &gCtx[which];
  if (!c->created) return logError(-1, "%s: no title context for '%s'", fn, name);
  if (c->inEnd == END_FINISHED) {
    // Started by the callbacks of a title that ran to its end: it plays as
    // soon as they are done. The callbacks of a replaced title start nothing.
    c->pending = id;
    c->pendingOnce = nullptr;
    logDebug(2, "%s: '%s' (title %d) after the current title's end", fn, name, id);
    return id;
  }
  if (c->inEnd) return -1;
  if (c->title >= 0) endTitle(c, END_REPLACED);
  gActive = which;
  if (!titlePlay(id)) return -1;
  logDebug(2, "%s: '%s' (title %d)", fn, name, id);
  return id;
}

// Draws the context's display: the clear colour, the page and the video frame.
void drawCtx(TitleCtx* c, int x, int y) {
  if (!c->surface.dc) return;
  gscr* previous = gsSelect(&c->surface);
  PageContext* previousPage = pageSelect(&c->page);
  gdevSetColorRGB(c->clear[0], c->clear[1], c->clear[2]);
  gdevFillRect(0, 0, c->surface.width, c->surface.height);
  pageDraw(x, y);
  if (c->video >= 0 && c->vshown >= 0) {
    VidClip* clip = &gVideos[c->video].clip;
    // A delta clip redraws only the frame it showed last or the next one.
    vidPutFrame(clip, VID_DRAW_PLAIN, c->vshown, x, y);
  }
  pageSelect(previousPage);
  gsSelect(previous);
}

// Advances the video track; 1 when a new frame is to be shown.
int updateVideo(TitleCtx* c, const Title* t, double dt) {
  const char* fn = "titleUpdate()";
  if (c->video >= 0 && c->vshown >= 0) {
    c->velapsed += dt;
    if (c->velapsed < kVideoFrameMs) return 0;
    c->velapsed -= kVideoFrameMs;
    if (c->velapsed > kVideoFrameMs) c->velapsed = 0;  // at most one frame per update
    if (c->vframe + 1 < gVideos[c->video].clip.frames) {
      c->vframe++;
      c->vshown = c->vframe;
      return 1;
    }
    c->vshown = -1;  // the clip is over: the next video event follows
  }
  size_t n = t->video.size();
  for (size_t steps = 0; c->vcursor < n && steps <= n; steps++) {
    const TitleEv& e = t->video[c->vcursor++];
    if (e.type == TE_LOOP) {
      if (c->video < 0) {
        logError(0, "%s: TE_LOOP while video is invalid (%d)", fn, c->video);
        c->vcursor = n;
        return 0;
      }
      c->vcursor = 0;
      continue;
    }
    int v = findVideo(e.text.c_str());
    if (v < 0 || gVideos[v].clip.frames <= 0) {
      logError(0, "%s: video '%s' not loaded", fn, e.text.c_str());
      continue;
    }
    c->video = v;
    c->vframe = 0;
    c->vshown = 0;
    c->velapsed = 0;
    return 1;
  }
  return 0;
}

}  // namespace

int titleCreateContext(int which, int width, int height) {
  const char* fn = "titleCreateContext()";
  if (which != TITLE_FORE && which != TITLE_BACK) return logError(0, "%s: invalid context %d, SE", fn, which);
  if (!gsCurrent || !gsCurrent->dc) return logError(0, "%s: gsCurrent is invalid, aborting", fn);
  TitleCtx* c = &gCtx[which];
  if (c->created) {
    gsRelease(&c->surface);
    gdevDestroyDC(c->dc);
    c->dc = nullptr;
    c->created = 0;
  }
  c->dc = gdevCreateMemoryDC(width, height, gsCurrent->bpp, &gsCurrent->pixelFormat);
  if (!c->dc || !gsCreateMem(&c->surface, c->dc)) {
    if (c->dc) gdevDestroyDC(c->dc);
    c->dc = nullptr;
    return logError(0, "%s: error creating memory DC (%dx%dx%dbpp)", fn, width, height, gsCurrent->bpp);
  }
  if (!pageCreate(&c->page, width, height)) {
    gsRelease(&c->surface);
    gdevDestroyDC(c->dc);
    c->dc = nullptr;
    return logError(0, "%s: error creating PAGE context", fn);
  }
  c->title = -1;
  resetTrack(c);
  c->clear[0] = c->clear[1] = c->clear[2] = 0;
  c->endFn = c->endOnce = nullptr;
  c->inEnd = 0;
  c->pending = -1;
  c->pendingOnce = nullptr;
  forgetPlots(c);
  c->created = 1;
  return 1;
}

int setupTitleContexts(int width, int height) {
  const char* fn = "setupTitleContexts()";
  if (!titleCreateContext(TITLE_FORE, width, height))
    return logError(0, "%s: error creating foreground title context", fn);
  if (!titleCreateContext(TITLE_BACK, width, height))
    return logError(0, "%s: error creating background title context", fn);
  gActive = TITLE_FORE;
  gIdle = 0;
  gShown = -1;
  return 1;
}

int titleExecPage(const char* format, ...) {
  char text[TITLE_TEXT];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(text, sizeof text, format, ap);
  va_end(ap);
  TitleCtx* c = activeCtx();
  if (!c) return logError(0, "%s: no active title", "titleExecPage()");
  PageContext* previous = pageSelect(&c->page);
  int ok = pagePlot(text);
  pageSelect(previous);
  return ok;
}

static int loadTitlePageSettings(ConfSet* set) {
  int ok = 1;
  for (int i = 0;; i++) {
    const char* text = conf_getstrf(set, "begin.exec%d", nullptr, i);
    if (!text) break;
    if (!titleExecPage("%s", text)) ok = 0;
  }
  return ok;
}

static int loadTitleVideos(ConfSet* set) {
  const char* fn = "loadTitleVideos()";
  int ok = 1;
  for (int i = 0;; i++) {
    const char* value = conf_getstrf(set, "video.load%d", nullptr, i);
    if (!value) break;
    char name[TITLE_SLOT_NAME];
    std::string file;
    if (!splitNameFile(value, name, sizeof name, &file)) {
      ok = logError(0, "%s: invalid video entry '%s'", fn, value);
      continue;
    }
    if (findVideo(name) >= 0) {
      logPrint("%s: warning: video '%s' already loaded, skipping", fn, name);
      continue;
    }
    int slot = -1;
    for (int s = 0; s < TITLE_VIDEOS && slot < 0; s++)
      if (!gVideos[s].used) slot = s;
    if (slot < 0) {
      ok = logError(0, "%s: no free slots in VIDEOS[], aborted loading '%s'", fn, name);
      continue;
    }
    TitleVideo* v = &gVideos[slot];
    std::memset(&v->clip, 0, sizeof v->clip);
    if (!vidOpen(&v->clip, file.c_str())) {
      ok = logError(0, "%s: error opening video '%s'", fn, file.c_str());
      continue;
    }
    if (!vidLoad(&v->clip)) {
      vidClose(&v->clip);
      ok = logError(0, "%s: error loading video '%s'", fn, file.c_str());
      continue;
    }
    strCopyN(v->name, name, sizeof v->name);
    v->used = 1;
    logDebug(1, "video-'%s' filename-'%s' loaded ok id-%d", name, file.c_str(), slot);
  }
  return ok;
}

static int loadTitleSamples(ConfSet* set) {
  const char* fn = "loadTitleSamples()";
  int ok = 1;
  for (int i = 0;; i++) {
    const char* value = conf_getstrf(set, "samples.load%d", nullptr, i);
    if (!value) break;
    char name[TITLE_SLOT_NAME];
    std::string file;
    if (!splitNameFile(value, name, sizeof name, &file)) {
      ok = logError(0, "%s: invalid sample entry '%s'", fn, value);
      continue;
    }
    logDebug(1, "mnemo-'%s' filename-'%s'", name, file.c_str());
    if (findSample(name) >= 0) {
      logPrint("%s: warning: sample '%s' already loaded, skipping", fn, name);
      continue;
    }
    int slot = -1;
    for (int s = 0; s < TITLE_SAMPLES && slot < 0; s++)
      if (!gSamples[s].used) slot = s;
    if (slot < 0) {
      ok = logError(0, "%s: no free slots in SAMPLES[], aborted loading '%s'", fn, name);
      continue;
    }
    int id = fxAllocSample();
    if (id < 0) {
      ok = logError(0, "%s: error allocating sample", fn);
      continue;
    }
    if (!fxLoadSampleWav(id, file.c_str())) {
      fxFreeSample(id);
      ok = logError(0, "%s: error loading sample '%s'", fn, file.c_str());
      continue;
    }
    TitleSample* s = &gSamples[slot];
    strCopyN(s->name, name, sizeof s->name);
    s->id = id;
    s->used = 1;
  }
  return ok;
}

static int loadTitleAnimation(ConfSet* set, const char* section, int id) {
  Title* t = &gTitles[id - TITLE_FIRST_ID];
  t->used = 1;
  t->name = section;
  t->page.clear();
  t->video.clear();
  buildPageEvents(set, section, &t->page);
  buildVideoEvents(set, section, &t->video);
  ObjInfo info{};
  info.words[1] = reinterpret_cast<void*>(static_cast<intptr_t>(id));
  if (!objRegisterInfo(("title-" + std::string(section)).c_str(), &info))
    return logError(0, "%s: error registering title '%s'", "loadTitleAnimation()", section);
  return 1;
}

int loadTitleConf(ConfSet* set) {
  const char* fn = "loadTitleConf()";
  int ok = 1;
  if (!loadTitlePageSettings(set)) ok = 0;
  if (!loadTitleVideos(set)) ok = 0;
  if (!loadTitleSamples(set)) ok = 0;
  std::vector<std::string> sections;
  for (const char* s = conf_firstsection(set, nullptr); s; s = conf_nextsection(set)) sections.push_back(s);
  for (const std::string& s : sections) {
    // DELIBERATE: the "samples" section holds the title samples
    // ("samples.load%d"); it is read above and is no title of its own.
    if (s == "begin" || s == "video" || s == "samples" || s.rfind("video_", 0) == 0) continue;
    int id = allocTitle();
    if (id < 0) {
      ok = logError(0, "%s: error allocating title ID for title section '%s'", fn, s.c_str());
      continue;
    }
    if (!loadTitleAnimation(set, s.c_str(), id)) ok = 0;
  }
  return ok;
}

int setupTitleAnimations() {
  const char* fn = "setupTitleAnimations()";
  // Back by the full path: the folder entered may be a link elsewhere.
  const std::string home = sysCurrentDir();
  const char* back = home.empty() ? ".." : home.c_str();
  if (!sysChangeDir("titles")) return logError(0, "%s: can't chdir to '%s', aborting", fn, "titles");
  // The log file stays where it is.
  if (!logSetDir(back)) logSetDir("..");
  int ok = 1;
  char** names = nullptr;
  int count = LIST_FILES("*.bcf", &names);
  if (count <= 0) ok = logError(0, "%s: no title configs found in '%s'", fn, "titles");
  for (int i = 0; i < count; i++) {
    std::string stem = names[i];
    if (stem.size() > 4) stem.resize(stem.size() - 4);
    std::string text = stem + ".conf", bin = stem + ".bcf";
    logDebug(1, "file %d: title_conf-%s title_bin-%s", i, text.c_str(), bin.c_str());
    ConfSet set{};
    if (conf_anyread(&set, fn, text.c_str(), bin.c_str(), 0) != 0) {
      ok = logError(0, "%s: error reading title config '%s'", fn, text.c_str());
      conf_free(&set);
      continue;
    }
    if (!loadTitleConf(&set)) ok = logError(0, "%s: errors in title config '%s'", fn, text.c_str());
    conf_free(&set);
  }
  std::free(names);
  if (!sysChangeDir(back)) ok = logError(0, "%s: can't chdir to '%s'", fn, back);
  logSetDir(".");
  return ok;
}

void titleUnload() {
  for (TitleCtx& c : gCtx) {
    if (!c.created) continue;
    PageContext* previous = pageSelect(&c.page);
    pageUnplot();
    pageSelect(previous == &c.page ? nullptr : previous);
    gsRelease(&c.surface);
    gdevDestroyDC(c.dc);
    c.dc = nullptr;
    c.created = 0;
    c.title = -1;
    c.endFn = c.endOnce = nullptr;
    forgetPlots(&c);
  }
  gActive = -1;
  gIdle = 0;
  gShown = -1;
  for (Title& t : gTitles) {
    t.used = 0;
    t.name.clear();
    t.page.clear();
    t.video.clear();
  }
  for (TitleVideo& v : gVideos)
    if (v.used) {
      vidClose(&v.clip);
      v.used = 0;
    }
  for (TitleSample& s : gSamples)
    if (s.used) {
      fxFreeSample(s.id);
      s.used = 0;
    }
}

int titleFind(const char* name) {
  if (!name) return -1;
  ObjInfo* info = OBJ_FIND(("title-" + std::string(name)).c_str());
  if (!info) return -1;
  int id = static_cast<int>(reinterpret_cast<intptr_t>(info->words[1]));
  return titleById(id) ? id : -1;
}

// The interim entries noted every call; the notes stay, for the tests of the
// table objects that check which titles they start.
int startForeTitle(const char* name) {
  rulesCallNote("startForeTitle %s", name ? name : "(null)");
  return startTitle(TITLE_FORE, name);
}

int startBackTitle(const char* name) {
  rulesCallNote("startBackTitle %s", name ? name : "(null)");
  return startTitle(TITLE_BACK, name);
}

int titlePlay(int id) {
  const char* fn = "titlePlay()";
  TitleCtx* c = activeCtx();
  if (!c) return logError(0, "%s: no active title context", fn);
  Title* t = titleById(id);
  if (!t) return logError(0, "%s: invalid title %d", fn, id);
  resetTrack(c);
  if (t->page.empty()) return 0;
  c->title = id;
  gIdle = 0;
  return 1;
}

void titleEndCallbackOnce(TitleEndFn fn) {
  rulesCallNote("titleEndCallbackOnce");
  TitleCtx* c = activeCtx();
  if (c && c->inEnd == END_FINISHED && c->pending >= 0) {
    c->pendingOnce = fn;  // for the title that plays after the callbacks
    return;
  }
  if (!c || c->title < 0) {
    logError(0, "%s: no active title", "titleEndCallbackOnce()");
    return;
  }
  c->endOnce = fn;
}

// DELIBERATE: without a playing title the chained step runs at once instead
// of never, so that a session without title configurations still goes on.
void titleEndCallbackOrNow(int started, TitleEndFn fn) {
  TitleCtx* c = activeCtx();
  // A title started from the callbacks of one that ran to its end is still
  // waiting to play: the step waits for it too.
  const bool waiting = c && c->inEnd == END_FINISHED && c->pending == started;
  if (started >= 0 && c && (c->title == started || waiting)) {
    titleEndCallbackOnce(fn);
    return;
  }
  rulesCallNote("titleEndCallbackOnce");
  if (fn) fn();
}

void titleSetEndFunction(int which, TitleEndFn fn) {
  if (which == TITLE_FORE || which == TITLE_BACK) gCtx[which].endFn = fn;
}

int titleEndBack(int id) {
  TitleCtx* c = &gCtx[TITLE_BACK];
  if (!c->created || c->title < 0 || c->title != id) return 0;
  c->endMark = 1;
  return 1;
}

int titleUpdate(int x, int y, double dt) {
  const char* fn = "titleUpdate()";
  TitleCtx* c = activeCtx();
  if (!c || c->title < 0) return 0;
  Title* t = titleById(c->title);
  if (!t || c->endMark) {
    endTitle(c, END_FINISHED);
    return 1;
  }
  PageContext* previous = pageSelect(&c->page);
  int changed = 0;
  int ended = 0;
  c->elapsed += dt;
  size_t n = t->page.size();
  size_t ops = 0;
  while (c->elapsed >= c->delay) {
    if (c->cursor >= n) {
      if (ops == 0) ended = 1;
      break;
    }
    // DELIBERATE: a loop without a delay would spin for ever inside one
    // update; here it runs the list at most once an update.
    if (++ops > n + 1) break;
    const TitleEv& e = t->page[c->cursor++];
    int stop = 0;
    switch (e.type) {
      case TE_PLOT:
        plotText(c, e.text.c_str(), 0);
        changed = 1;
        break;
      case TE_PLOTMAC:
        plotText(c, e.text.c_str(), 1);
        changed = 1;
        break;
      case TE_UNPLOT:
        pageUnplot();
        forgetPlots(c);
        changed = 1;
        break;
      case TE_CLEAR:
        if (c->clear[0] != e.a || c->clear[1] != e.b || c->clear[2] != e.c) changed = 1;
        c->clear[0] = e.a, c->clear[1] = e.b, c->clear[2] = e.c;
        break;
      case TE_SAMPLE:
        playSample(e.text.c_str(), e.a, e.b);
        break;
      case TE_LOOP:
        c->cursor = 0;
        break;
      case TE_DELAY:
        c->elapsed -= c->delay;
        c->delay = e.a;
        stop = 1;
        break;
      default:
        logError(0, "%s: unknown event type %d, SE", fn, e.type);
        break;
    }
    if (stop) break;
  }
  if (!ended && refreshMacros(c)) changed = 1;
  if (!ended && updateVideo(c, t, dt)) changed = 1;
  pageSelect(previous);
  if (changed) drawCtx(c, x, y);
  if (ended) {
    endTitle(c, END_FINISHED);
    return 1;
  }
  return changed;
}

void titleSetRegimeName(TitleRegimeFn fn) { gRegime = fn; }

int titleFrame(double dt) {
  for (int which : {TITLE_FORE, TITLE_BACK}) {
    TitleCtx* c = &gCtx[which];
    if (!c->created || c->title < 0) continue;
    gActive = which;
    int changed = titleUpdate(0, 0, dt);
    gIdle = 0;
    // The display shows another context now: its surface must be shown even
    // when its page did not change (the background title resuming under a
    // foreground title that ended).
    if (gShown != which) {
      gShown = which;
      changed = 1;
    }
    return changed;
  }
  gIdle += dt;
  if (gIdle > static_cast<double>(TITLE_IDLE_MS) && gRegime && gCtx[TITLE_BACK].created) {
    gIdle = 0;
    const char* regime = gRegime();
    std::string name = std::string("score_") + (regime ? regime : "");
    startBackTitle(name.c_str());
  }
  return 0;
}

int titleShown() { return gShown >= 0 && gCtx[gShown].created ? gShown : -1; }

int playSample(const char* mnemonic, int volume, int panning) {
  int s = mnemonic ? findSample(mnemonic) : -1;
  if (s < 0) return logError(0, "%s: can't find sample '%s'", "playSample()", mnemonic ? mnemonic : "(null)");
  fxPlaySample(gSamples[s].id, volume, panning, 0);
  return 1;
}

int titleActiveContext() { return activeCtx() ? gActive : -1; }
int titlePlaying(int which) {
  if (which != TITLE_FORE && which != TITLE_BACK) return -1;
  return gCtx[which].created ? gCtx[which].title : -1;
}
gscr* titleSurface(int which) {
  if (which != TITLE_FORE && which != TITLE_BACK) return nullptr;
  return gCtx[which].created ? &gCtx[which].surface : nullptr;
}
PageContext* titlePage(int which) {
  if (which != TITLE_FORE && which != TITLE_BACK) return nullptr;
  return gCtx[which].created ? &gCtx[which].page : nullptr;
}

const char* titleName(int id) {
  Title* t = titleById(id);
  return t ? t->name.c_str() : nullptr;
}

int titleEventCount(int id, int video) {
  Title* t = titleById(id);
  if (!t) return 0;
  return static_cast<int>((video ? t->video : t->page).size());
}

int titleEvent(int id, int video, int i, const char** text, int* a, int* b, int* c) {
  Title* t = titleById(id);
  if (!t) return 0;
  const std::vector<TitleEv>& list = video ? t->video : t->page;
  if (i < 0 || static_cast<size_t>(i) >= list.size()) return 0;
  const TitleEv& e = list[static_cast<size_t>(i)];
  if (text) *text = e.text.c_str();
  if (a) *a = e.a;
  if (b) *b = e.b;
  if (c) *c = e.c;
  return e.type;
}

const char* evalMacro(const char* text, char* out, int size) {
  if (!out || size <= 0) return out;
  std::string s = evalText(text, 0);
  strCopyN(out, s.c_str(), static_cast<size_t>(size));
  return out;
}

const char* titleLines(const char* text, int first, int count, char* out, int size) {
  if (!out || size <= 0) return out;
  out[0] = '\0';
  if (!text || first < 0 || count <= 0) return out;
  const char* from = text;
  for (int i = 0; i < first; i++) {
    const char* sep = std::strstr(from, "\\n");
    if (!sep) return out;  // fewer lines than first + 1
    from = sep + 2;
  }
  // The end of line first + count - 1, or of the text when that comes first.
  const char* to = from;
  for (int i = 0; i < count; i++) {
    const char* sep = std::strstr(to, "\\n");
    if (!sep) {
      to += std::strlen(to);
      break;
    }
    to = i + 1 < count ? sep + 2 : sep;
  }
  size_t n = static_cast<size_t>(to - from);
  if (n > static_cast<size_t>(size) - 1) {
    n = static_cast<size_t>(size) - 1;
    // Half a separator would show as a backslash at the end of the page.
    if (n > 0 && from[n - 1] == '\\' && from[n] == 'n') n--;
  }
  std::memcpy(out, from, n);
  out[n] = '\0';
  return out;
}

void titleSetMacro(const char* name, const char* value) {
  const char* fn = "titleSetMacro()";
  if (!name) return;
  if (!value) value = "";
  // DELIBERATE: a name too long for a slot is refused rather than cut, so
  // that two long names cannot share one slot.
  if (std::strlen(name) >= TITLE_MACRO_NAME) {
    logError(0, "%s: macro name '%s' too long (%d > %d)", fn, name, static_cast<int>(std::strlen(name)),
             TITLE_MACRO_NAME - 1);
    return;
  }
  for (int i = 0; i < gMacroCount; i++) {
    if (std::strcmp(gMacros[i].name, name) == 0) {
      strCopyN(gMacros[i].value, value, sizeof gMacros[i].value);
      return;
    }
  }
  if (gMacroCount >= TITLE_MACROS) {
    logError(0, "%s: can't add macros '%s', all %d slots occupied", fn, name, TITLE_MACROS);
    return;
  }
  strCopyN(gMacros[gMacroCount].name, name, sizeof gMacros[gMacroCount].name);
  strCopyN(gMacros[gMacroCount].value, value, sizeof gMacros[gMacroCount].value);
  gMacroCount++;
}

const char* titleMacro(const char* name) {
  if (!name) return nullptr;
  const Macro* m = findMacro(name);
  return m ? m->value : nullptr;
}

void titleClearMacros() { gMacroCount = 0; }
