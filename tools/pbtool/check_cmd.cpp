// pbtool check-data GAMEDIR: checks that every file the game loads is in a
// game folder and reads with the game's own readers, in the order the game
// loads them: start-up (video modes, menu, logo clips, music), then a table
// session (global keys, depth and height maps, regime pictures and lamp
// sprites, tracks, the ball, object configurations with their shape files,
// subgames, mosaics, interface, scripts, titles, rules, samples).
//
// Prints one line per problem and nothing else:
//   missing<TAB>PATH<TAB>what the game needs it for
//   broken<TAB>PATH<TAB>why (the reader's innermost message)
// and exits with 1 when there was any, 0 otherwise.
//
// Files named inside other files are followed: the ball sprites of
// conf/global.conf, the tracks of conf/track.conf, the samples of
// conf/sample.conf, the masks of conf/mosaic.conf, the fonts, video and
// sprites of the menu (conf/menu.conf) and the fonts its credits select, the
// sprites and font of conf/sg.conf, the sprites of the subgames'
// configurations (conf/boxing, conf/deputy, conf/oligarch), the mission
// symbols of conf/mission.conf, the tip digits of conf/score.conf, the
// sprites, lists and samples the animation scripts (tiny/*.gnm) play, and the
// fonts, sprites, samples and clips the title configurations load. Every
// object section of table/objects-N.conf must name (itself or through its
// class) a table family that has a reader.
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "core/conf.h"
#include "core/log.h"
#include "gfx/font.h"
#include "gfx/sprite.h"
#include "gfx/vid.h"
#include "physics/geometry.h"
#include "physics/opr.h"
#include "physics/track.h"
#include "platform/audio.h"
#include "platform/gdev.h"
#include "sound/fx.h"

namespace {

// ---- What the readers say ----

// Collects what is written to standard error (the log's console) while a
// reader runs, so its message can be quoted on the problem's line.
struct ErrCapture {
  int saved = -1;
  FILE* tmp = nullptr;
  ErrCapture() {
    std::fflush(stderr);
    tmp = std::tmpfile();
    saved = dup(2);
    if (tmp && saved >= 0) dup2(fileno(tmp), 2);
  }
  // The first line written, or "" (stops capturing).
  std::string finish() {
    std::fflush(stderr);
    if (saved >= 0) {
      dup2(saved, 2);
      close(saved);
      saved = -1;
    }
    std::string text;
    if (tmp) {
      std::rewind(tmp);
      char line[512];
      if (std::fgets(line, sizeof line, tmp)) text = line;
      std::fclose(tmp);
      tmp = nullptr;
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    for (char& c : text)
      if (c == '\t') c = ' ';
    return text;
  }
  ~ErrCapture() { finish(); }
  ErrCapture(const ErrCapture&) = delete;
  ErrCapture& operator=(const ErrCapture&) = delete;
};

// ---- Readers: true when the file reads; they may log why not ----

bool readSprite(const std::string& path) {
  Sprite* s = SPR_CREATE_FLAGS(path.c_str(), path.c_str(), SPR_LOAD_RAW);
  if (s) SPR_FREE(s);
  return s != nullptr;
}

// A sprite that the game steps through: it reads and has at least
// `frames` frames (`user` names what needs them in the message).
std::function<bool(const std::string&)> readSpriteFrames(int frames, std::string user) {
  return [frames, user](const std::string& path) -> bool {
    Sprite* s = SPR_CREATE_FLAGS(path.c_str(), path.c_str(), SPR_LOAD_RAW);
    if (!s) return false;
    const int have = s->numfrms;
    SPR_FREE(s);
    if (have >= frames) return true;
    return logError(false, "%s: '%s' has %d frames, %s needs %d", "pbtool check-data", path.c_str(), have,
                    user.c_str(), frames);
  };
}

// "NAME%dNAME" formatted with n: only a format with one "%d" (and "%%")
// is taken from a data file, so a stray conversion cannot read beyond the
// arguments. False, with out empty, for any other format.
bool formatNumbered(const char* format, int n, std::string* out) {
  out->clear();
  int numbers = 0;
  for (const char* p = format; *p; p++) {
    if (*p != '%') {
      *out += *p;
    } else if (p[1] == '%') {
      *out += '%';
      p++;
    } else if (p[1] == 'd') {
      *out += std::to_string(n);
      numbers++;
      p++;
    } else {
      numbers = -1;
      break;
    }
  }
  if (numbers == 1) return true;
  out->clear();
  return false;
}

bool readFont(const std::string& path) {
  Font* f = FNT_CREATE_FLAGS(path.c_str(), path.c_str(), SPR_LOAD_RAW);
  if (f) FNT_FREE(f);
  return f != nullptr;
}

// A clip opens, loads and decodes every frame, as the player would.
bool readClip(const std::string& path) {
  VidClip clip;
  if (!vidOpen(&clip, path.c_str())) return false;
  bool ok = vidLoad(&clip) != 0;
  if (ok) {
    std::vector<uint16_t> screen(static_cast<size_t>(clip.width) * clip.height);
    VidTarget t{reinterpret_cast<uint8_t*>(screen.data()), clip.width * 2, clip.width, clip.height, 16};
    for (int f = 0; ok && f < clip.frames; f++) {
      ok = vidPutFrameTo(&clip, t, VID_DRAW_PLAIN, f, 0, 0) != 0;
      if (!ok) logError(0, "%s: frame %d of '%s' does not decode", "pbtool check-data", f, path.c_str());
    }
  }
  vidClose(&clip);
  return ok;
}

bool readScreenDepth(const std::string& path) {
  int w = 0, h = 0;
  uint16_t* depth = SZBUF_READ(path.c_str(), &w, &h);
  std::free(depth);
  return depth != nullptr;
}

bool readHeights(const std::string& path) {
  ZBUF z{};
  const bool ok = ZBUF_READ(path.c_str(), &z) == 0;
  zbufFree(&z);
  return ok;
}

// Every record of the shape file reads.
bool readShapes(const std::string& path) {
  std::vector<uint8_t> image;
  std::vector<uint32_t> offsets;
  if (shReadFileImage(path.c_str(), "pbtool check-data", &image) < 0) return false;
  if (shReadIndex(image, path.c_str(), &offsets) < 0) return false;
  for (size_t j = 0; j < offsets.size(); j++) {
    Outline o{};
    const bool ok = shParseRecord(&o, image, offsets[j]) == 0;
    shFree(&o);
    if (!ok) return logError(false, "%s: shape %d of '%s' does not read", "pbtool check-data", static_cast<int>(j), path.c_str());
  }
  return true;
}

bool readTrack(const std::string& path) {
  Track t{};
  const bool ok = trackLoad(path.c_str(), &t) != 0;
  trackFree(&t);
  return ok;
}

bool readBitmap(const std::string& path) {
  GdevBitmap* b = gdevLoadBitmap(path.c_str());
  if (b) gdevFreeBitmap(b);
  return b != nullptr;
}

// The transparency plane is read as a 24-bit picture.
bool readBitmap24(const std::string& path) {
  GdevBitmap* b = gdevLoadBitmap(path.c_str());
  if (!b) return false;
  const int bits = b->bitsPerPixel;
  gdevFreeBitmap(b);
  if (bits != 24) return logError(false, "%s: '%s' has %d bits per pixel, not 24", "pbtool check-data", path.c_str(), bits);
  return true;
}

bool readSample(const std::string& path) {
  const AudioSample s = audioSampleLoad(path.c_str(), 1);
  if (!s) return logError(false, "%s: '%s' is not a sample the mixer reads: %s", "pbtool check-data", path.c_str(),
                          audioErrorDetail());
  audioSampleFree(s);
  return true;
}

bool readModule(const std::string& path) {
  const AudioMusic m = audioMusicLoad(path.c_str());
  if (!m) return logError(false, "%s: '%s' is not a module the music player reads: %s", "pbtool check-data",
                          path.c_str(), audioErrorDetail());
  audioMusicFree(m);
  return true;
}

// Files whose reader is not part of the program yet: there and not empty.
bool readNotEmpty(const std::string& path) {
  struct stat st{};
  if (stat(path.c_str(), &st) != 0 || st.st_size == 0)
    return logError(false, "%s: '%s' is empty", "pbtool check-data", path.c_str());
  return true;
}

using Reader = std::function<bool(const std::string& path)>;

// ---- The check ----

struct Check {
  int problems = 0;
  std::map<std::string, bool> seen;  // files checked, and whether they read: each is named once

  void missing(const std::string& path, const std::string& what) {
    std::printf("missing\t%s\t%s\n", path.c_str(), what.c_str());
    problems++;
  }
  void broken(const std::string& path, const std::string& why) {
    std::printf("broken\t%s\t%s\n", path.c_str(), why.empty() ? "does not read" : why.c_str());
    problems++;
  }

  static bool exists(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }

  // A file read by one of the readers above. False when missing or broken.
  // Paths are compared and named in their plain form ("tiny/../samples/x"
  // is "samples/x").
  bool file(const std::string& named, Reader read, const std::string& what) {
    const std::string path = std::filesystem::path(named).lexically_normal().string();
    if (auto it = seen.find(path); it != seen.end()) return it->second;
    seen[path] = false;
    if (!exists(path)) {
      missing(path, what);
      return false;
    }
    ErrCapture err;
    const bool ok = read(path);
    const std::string why = err.finish();
    if (!ok) broken(path, why);
    seen[path] = ok;
    return ok;
  }

  // A configuration pair "NAME.conf" / "NAME.bcf" as conf_anyread reads it:
  // the text file, or the binary twin when there is no text file. Fills set
  // (which the caller frees) and returns true when it reads.
  bool conf(const std::string& base, const std::string& what, ConfSet* set) {
    const std::string text = base + ".conf", bin = base + ".bcf";
    *set = ConfSet{};
    if (!exists(text) && !exists(bin)) {
      missing(text, what);
      return false;
    }
    ErrCapture err;
    const bool ok = conf_anyread(set, "pbtool check-data", text.c_str(), bin.c_str(), 0) >= 0;
    const std::string why = err.finish();
    if (!ok) broken(exists(text) ? text : bin, why);
    return ok;
  }
  bool conf(const std::string& base, const std::string& what) {
    ConfSet set;
    const bool ok = conf(base, what, &set);
    conf_free(&set);
    return ok;
  }
};

const char* const kRegimes[] = {"comm", "demo", "dict"};
const char* const kModules[] = {"comm", "demo", "dict", "pres", "credits", "boxing", "deputy", "oligarch"};

// The subgames' samples, which they load by these names.
const char* const kSubgameSamples[] = {
    "samples/oligarch/body_move.wav",    "samples/oligarch/gold_catch.wav",
    "samples/oligarch/gold_break.wav",   "samples/boxing/drol_hit1.wav",
    "samples/boxing/drol_hit2.wav",      "samples/boxing/drol_boom.wav",
    "samples/boxing/drol_knockout.wav",  "samples/boxing/vesk_hit1.wav",
    "samples/boxing/vesk_hit2.wav",      "samples/boxing/vesk_boom.wav",
    "samples/boxing/vesk_knockout.wav",  "samples/boxing/tarok_hit1.wav",
    "samples/boxing/tarok_hit2.wav",     "samples/boxing/tarok_boom.wav",
    "samples/boxing/tarok_knockout.wav", "samples/deputy/man1_die.wav",
    "samples/deputy/man2_die.wav",       "samples/deputy/man1_run.wav",
    "samples/deputy/man2_run.wav",       "samples/deputy/miss1.wav",
    "samples/deputy/miss2.wav",          "samples/deputy/miss3.wav",
    "samples/deputy/reload.wav",         "samples/deputy/shoot.wav",
};

// The animation scripts the table loads from tiny/.
const char* const kScripts[] = {"duma", "zona", "bd", "gp"};

std::string fmt(const char* format, int n) {
  char buf[160];
  std::snprintf(buf, sizeof buf, format, n);
  return buf;
}

// Files in dir whose names end in ext, sorted.
std::vector<std::string> listFiles(const std::string& dir, const char* ext) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
    if (e.is_regular_file(ec) && e.path().extension() == ext) names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The menu's sprite files: "data/menu/" + the name with "_" as "-" + ".gsp".
std::string menuSprite(std::string name) {
  std::replace(name.begin(), name.end(), '_', '-');
  return "data/menu/" + name + ".gsp";
}

const char* const kMenuButtons[] = {"ma_btn_start", "ma_btn_top",  "ma_btn_cred", "ma_btn_quit", "cr_btn_back",
                                    "ch_btn_back",  "kb_btn_back", "re_btn_comm", "re_btn_demo", "re_btn_dict"};
const char* const kMenuLabels[] = {"kb_lbl_lflip", "kb_lbl_rflip", "kb_lbl_giveball"};

void checkStartup(Check* c) {
  c->conf("conf/vidmode", "video modes");
  ConfSet menu;
  std::vector<std::string> fonts;  // the menu's fonts by name: the credits and champions select them
  if (c->conf("conf/menu", "menu", &menu)) {
    for (int n = 0;; n++) {
      const char* font = conf_getstrf(&menu, "fonts.load%d", nullptr, n);
      if (!font) break;
      fonts.emplace_back(font);
      c->file(std::string("titles/fonts/") + font + ".fnp", readFont, fmt("menu font %d", n));
    }
    for (const char* key : {"champ.heading_font", "champ.name_font", "champ.score_font"}) {
      const char* font = conf_getstr(&menu, key, nullptr);
      if (!font || std::find(fonts.begin(), fonts.end(), font) == fonts.end())
        c->broken("conf/menu.conf", std::string(key) + ": '" + (font ? font : "") + "' is not a menu font");
    }
    c->file(conf_getstr(&menu, "video_file", "video_file-undef"), readClip, "menu video");
  }
  conf_free(&menu);
  for (const char* b : kMenuButtons)
    for (const char* state : {"appnpass", "disnact", "disnpass", "loopnact", "loopnpass"})
      c->file(menuSprite(std::string(b) + "_" + state), readSprite, std::string("menu button '") + b + "'");
  for (const char* l : kMenuLabels)
    for (const char* state : {"appnpass", "disnpass", "loopnpass"})
      c->file(menuSprite(std::string(l) + "_" + state), readSprite, std::string("menu label '") + l + "'");
  for (const char* s : {"logo_back", "logo_moving"}) c->file(menuSprite(s), readSprite, "menu logo");
  c->file("data/dialog-cursor.gsp", readSprite, "mouse cursor");

  ConfSet credits;
  if (c->conf("conf/credits", "credits", &credits)) {
    // Every font a credits screen selects is one the menu loaded.
    auto known = [&](const char* font) { return std::find(fonts.begin(), fonts.end(), font) != fonts.end(); };
    const char* font = conf_getstr(&credits, "font", "def_credits_font");
    for (int screen = 0; conf_getstrf(&credits, "screen%d.line0", nullptr, screen); screen++) {
      for (int line = 0; line < 32; line++) {
        char key[64];
        std::snprintf(key, sizeof key, "screen%d.line%d", screen, line);
        if (!conf_getstr(&credits, key, nullptr)) break;
        std::snprintf(key, sizeof key, "screen%d.font%d", screen, line);
        const char* f = conf_getstr(&credits, key, font);
        if (!known(f)) c->broken("conf/credits.conf", std::string(key) + ": '" + f + "' is not a menu font");
      }
    }
  }
  conf_free(&credits);
  c->file("titles/fonts/mach18xgold.fnp", readFont, "menu font");
  for (const char* clip : {"data/lumo-logo.vid", "data/empty.vid", "data/ortan-logo.vid"})
    c->file(clip, readClip, "logo clip");
  for (const char* wav : {"samples/lumo-logo.wav", "samples/ortan-logo.wav"}) c->file(wav, readSample, "logo sample");
  for (int i = 0; i < 8; i++)
    c->file(std::string("music/") + kModules[i] + ".it", readModule, fmt("music slot %d", i));
}

// Regime pictures (*.img of data-comm/) or lamp sprites (*.gsp of
// data-comm/lights/): each name the comm folder lists must be in all three.
void checkRegimeAssets(Check* c, const char* subdir, const char* ext, Reader read, const char* what) {
  for (const std::string& name : listFiles(std::string("data-comm/") + subdir, ext)) {
    for (const char* r : kRegimes) c->file(std::string("data-") + r + "/" + subdir + name, read, what);
  }
}

// Every object section names a table family with a reader, itself or
// through its class.
void checkFamilies(Check* c, const std::string& path, ConfSet* set) {
  std::vector<std::string> sections;
  for (const char* s = conf_firstsection(set, "object_*"); s; s = conf_nextsection(set)) sections.emplace_back(s);
  for (const std::string& s : sections) {
    const char* family = conf_getstr(set, (s + ".family").c_str(), nullptr);
    std::string via;
    if (!family) {
      if (const char* cls = conf_getstr(set, (s + ".class").c_str(), nullptr)) {
        family = conf_getstr(set, (std::string("class_") + cls + ".family").c_str(), nullptr);
        via = std::string(" (class '") + cls + "')";
      }
    }
    if (!family) {
      c->broken(path, s + via + ": no family");
      continue;
    }
    const OprFamilyRow* row = oprTableFamilyByName(family);
    if (!row)
      c->broken(path, s + via + ": family '" + family + "' is not a table family");
    else if (!row->reader)
      c->broken(path, s + via + ": family '" + family + "' has no reader");
  }
}

std::string trim(const std::string& t) {
  const size_t b = t.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  return t.substr(b, t.find_last_not_of(" \t\r\n") - b + 1);
}

std::vector<std::string> split(const std::string& t, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = t.find(sep, start);
    parts.push_back(trim(t.substr(start, end == std::string::npos ? std::string::npos : end - start)));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

// "dir/name" as the script engine joins a folder setting and a name.
std::string joinDir(const std::string& dir, const std::string& name) { return dir.empty() ? name : dir + "/" + name; }

struct ScriptDirs {
  std::string dir, snddir;
};

// Applies the dir and snddir of "key=value, ..." pairs.
void applySet(const std::string& pairs, ScriptDirs* d) {
  for (const std::string& p : split(pairs, ',')) {
    const size_t eq = p.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = trim(p.substr(0, eq)), value = trim(p.substr(eq + 1));
    if (strcasecmp(key.c_str(), "dir") == 0) d->dir = value;
    if (strcasecmp(key.c_str(), "snddir") == 0) d->snddir = value;
  }
}

// Follows the sprites, list files and samples an animation script names
// (paths relative to tiny/, through the folder settings in force where each
// is named). The script's own syntax is the engine's to judge.
void checkScriptFiles(Check* c, const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "r");
  if (!f) return;
  ScriptDirs global;
  std::string line, physical;
  char buf[8192];
  auto handle = [&](std::string text) {
    if (const size_t hash = text.find('#'); hash != std::string::npos) text.erase(hash);
    text = trim(text);
    while (!text.empty() && text.back() == ';') text.pop_back();
    const size_t sp = text.find_first_of(" \t");
    if (sp == std::string::npos) return;
    const std::string cmd = text.substr(0, sp), rest = trim(text.substr(sp));
    if (strcasecmp(cmd.c_str(), "set") == 0) applySet(rest, &global);
    if (strcasecmp(cmd.c_str(), "track") != 0) return;
    const size_t colon = rest.find(':');
    if (colon == std::string::npos) return;
    ScriptDirs d = global;
    for (const std::string& command : split(rest.substr(colon + 1), ';')) {
      const size_t csp = command.find_first_of(" \t");
      const std::string word = command.substr(0, csp);
      const std::string parms = csp == std::string::npos ? "" : trim(command.substr(csp));
      const std::string first = split(parms, ',')[0];
      const std::string where = path + ": " + command;
      if (strcasecmp(word.c_str(), "set") == 0) {
        applySet(parms, &d);
      } else if (strcasecmp(word.c_str(), "play") == 0 && !first.empty()) {
        c->file("tiny/" + joinDir(d.dir, first) + ".gsp", readSprite, where);
      } else if (strcasecmp(word.c_str(), "list") == 0 && !first.empty()) {
        c->file("tiny/" + joinDir(d.dir, first), readNotEmpty, where);
      } else if ((strcasecmp(word.c_str(), "sndstart") == 0 || strcasecmp(word.c_str(), "sndloop") == 0 ||
                  strcasecmp(word.c_str(), "sndplay") == 0) && !first.empty()) {
        c->file("tiny/" + joinDir(d.snddir, first) + ".wav", readSample, where);
      }
    }
  };
  while (std::fgets(buf, sizeof buf, f)) {
    physical = trim(buf);
    if (!physical.empty() && physical.back() == '\\') {
      physical.pop_back();
      if (const size_t hash = physical.find('#'); hash != std::string::npos) physical.erase(hash);
      line += physical;
      continue;
    }
    handle(line + physical);
    line.clear();
  }
  if (!line.empty()) handle(line);
  std::fclose(f);
}

// Follows what a title configuration loads, relative to titles/: the fonts
// and sprites of "{font load NAME FILE}" and "{spr load NAME FILE}" tags in
// any of its texts, the samples of "samples.load%d" and the clips of
// "video.load%d" ("NAME FILE").
void checkTitleFiles(Check* c, ConfSet* set) {
  for (ConfVar* v = set->first; v; v = v->next) {
    if (v->type != CONF_STRING || !v->value.s) continue;
    const std::string text = v->value.s;
    for (size_t at = text.find('{'); at != std::string::npos; at = text.find('{', at + 1)) {
      const size_t end = text.find('}', at);
      const std::string tag = text.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
      const bool font = tag.rfind("font load", 0) == 0, spr = tag.rfind("spr load", 0) == 0;
      if (!font && !spr) continue;
      std::string parms = trim(tag.substr(font ? 9 : 8));
      const size_t sp = parms.find_first_of(" \t");
      if (sp == std::string::npos) {
        c->broken(std::string("titles: {") + tag + "}", "no file name");
        continue;
      }
      const std::string file = "titles/" + trim(parms.substr(sp));
      c->file(file, font ? readFont : readSprite, std::string(font ? "title font" : "title sprite") + " (" + v->name + ")");
    }
  }
  for (const char* key : {"samples.load%d", "video.load%d"}) {
    for (int n = 0;; n++) {
      const char* value = conf_getstrf(set, key, nullptr, n);
      if (!value) break;
      std::string parms = trim(value);
      const size_t sp = parms.find_first_of(" \t");
      const std::string file = sp == std::string::npos ? "" : "titles/" + trim(parms.substr(sp));
      const std::string what = fmt(key, n);
      if (file.empty()) c->broken(std::string("titles: ") + what, "no file name");
      else if (key[0] == 's') c->file(file, readSample, "title sample " + what);
      else c->file(file, readClip, "title clip " + what);
    }
  }
}

// A subgame's sprite named by a key of its configuration, with at least
// `frames` frames.
void subgameSprite(Check* c, ConfSet* set, const std::string& confPath, const std::string& key, int frames) {
  const char* file = conf_getstr(set, key.c_str(), nullptr);
  if (!file || !*file) {
    c->broken(confPath, "no '" + key + "'");
    return;
  }
  c->file(file, readSpriteFrames(frames, key), confPath + ": " + key);
}

// Every other "*_file" key of a subgame's configuration names a sprite too
// (the decorations that are there only when named); "image_file" is read but
// not drawn.
void subgameOtherSprites(Check* c, ConfSet* set, const std::string& confPath) {
  for (ConfVar* v = set->first; v; v = v->next) {
    const std::string key = v->name;
    if (v->type != CONF_STRING || key.size() < 5 || key.compare(key.size() - 5, 5, "_file") != 0) continue;
    if (key == "image_file" || !v->value.s || !*v->value.s) continue;
    c->file(v->value.s, readSprite, confPath + ": " + key);
  }
}

// The three subgames' configurations and the sprites they load.
void checkSubgames(Check* c) {
  ConfSet set;
  if (c->conf("conf/boxing", "boxing", &set)) {
    const std::string path = Check::exists("conf/boxing.conf") ? "conf/boxing.conf" : "conf/boxing.bcf";
    for (const char* person : {"drol.", "vesk.", "tarok."})
      for (const char* key : {"stand_file", "walk1_file", "hit1_file", "hit2_file", "boom1_file", "knockout1_file",
                              "knockout2_file"})
        subgameSprite(c, &set, path, std::string(person) + key, 1);
    subgameSprite(c, &set, path, "spark.spark1_file", 1);
    subgameSprite(c, &set, path, "spark.spark2_file", 1);
    subgameSprite(c, &set, path, "flag_file", 1);
    subgameSprite(c, &set, path, "back_file", 3);
    subgameSprite(c, &set, path, "corners_file", 4);
    subgameSprite(c, &set, path, "health_file", 2);
    subgameOtherSprites(c, &set, path);
  }
  conf_free(&set);
  if (c->conf("conf/deputy", "shooting gallery", &set)) {
    const std::string path = Check::exists("conf/deputy.conf") ? "conf/deputy.conf" : "conf/deputy.bcf";
    for (const char* kind : {"rdeputy1", "rdeputy2", "ldeputy1", "ldeputy2"})
      for (const char* key : {".run_file", ".die_file"}) subgameSprite(c, &set, path, std::string(kind) + key, 1);
    for (const char* key : {"gun.left_file", "gun.right_file", "gun.reload_file", "back_file", "smoke_file"})
      subgameSprite(c, &set, path, key, 1);
    subgameSprite(c, &set, path, "corners_file", 4);
    subgameOtherSprites(c, &set, path);
  }
  conf_free(&set);
  if (c->conf("conf/oligarch", "gold catching", &set)) {
    const std::string path = Check::exists("conf/oligarch.conf") ? "conf/oligarch.conf" : "conf/oligarch.bcf";
    // The figure shows one frame per chute end; a bar one frame per step.
    for (const char* key : {"body_file", "head0_file", "head1_file", "head2_file"}) subgameSprite(c, &set, path, key, 4);
    for (const char* key : {"back_file", "gleft_file", "dropped1_file", "dropped2_file"})
      subgameSprite(c, &set, path, key, 1);
    subgameSprite(c, &set, path, "corners_file", 4);
    subgameSprite(c, &set, path, "digits_file", 10);
    for (int j = 1; j <= 4; j++) {
      subgameSprite(c, &set, path, fmt("gold%d_file", j), 5);
      for (const char* deco : {"face%d_file", "trans%d_file", "cloud%d_file"})
        subgameSprite(c, &set, path, fmt(deco, j), 1);
    }
    subgameOtherSprites(c, &set, path);
  }
  conf_free(&set);
}

void checkTable(Check* c) {
  ConfSet global;
  std::string ball = "data/ball.gsp", shadow = "data/ballshadow.gsp";
  if (c->conf("conf/global", "global keys of the table", &global)) {
    ball = conf_getstr(&global, "ball.sprite", ball.c_str());
    shadow = conf_getstr(&global, "ball.shadow_sprite", shadow.c_str());
  }
  conf_free(&global);
  if (Check::exists("conf/bugtime.conf")) c->conf("conf/bugtime", "bug-time window");
  c->file("data/ltime-progress.gsp", readSprite, "load progress bar");

  c->file("temp/table-z.dat", readScreenDepth, "depth map of the table picture");
  // Layers are read from 0 up to the first one missing.
  c->file("temp/table-0tz.dat", readHeights, "height map of layer 0");
  for (int n = 1; n < TABLE_LAYERS && Check::exists(fmt("temp/table-%dtz.dat", n)); n++)
    c->file(fmt("temp/table-%dtz.dat", n), readHeights, fmt("height map of layer %d", n));

  for (const char* r : kRegimes) {
    for (const char* name : {"table-i.img", "table-i-vorsk.img"})
      c->file(std::string("data-") + r + "/" + name, readBitmap, "regime picture");
  }
  checkRegimeAssets(c, "", ".img", readBitmap, "regime picture");
  c->file("table/table-alpha.img", readBitmap24, "transparency plane");
  c->file("table/table-0ti.bmp", readBitmap, "table picture");

  ConfSet tracks;
  if (c->conf("conf/track", "tracks", &tracks)) {
    std::vector<std::string> names;
    for (const char* s = conf_firstsection(&tracks, nullptr); s; s = conf_nextsection(&tracks)) names.emplace_back(s);
    for (const std::string& name : names)
      c->file(conf_getstr(&tracks, (name + ".filename").c_str(), "filename-undef"), readTrack, "track '" + name + "'");
  }
  conf_free(&tracks);

  c->file(ball, readSprite, "ball");
  c->file(shadow, readSprite, "ball shadow");
  if (!std::filesystem::is_directory("data-comm/lights")) c->missing("data-comm/lights/", "lamp sprites");
  checkRegimeAssets(c, "lights/", ".gsp", readSprite, "lamp sprite");

  // Object configurations from layer 0 up to the first one missing, each
  // with its shape file (layer 0's is needed in any case).
  for (int n = 0; n < SHAPE_FILES; n++) {
    const std::string base = fmt("table/objects-%d", n);
    if (n > 0 && !Check::exists(base + ".conf") && !Check::exists(base + ".bcf")) break;
    ConfSet objects;
    if (c->conf(base, fmt("objects of layer %d", n), &objects))
      checkFamilies(c, Check::exists(base + ".conf") ? base + ".conf" : base + ".bcf", &objects);
    conf_free(&objects);
    c->file(fmt("temp/#shapes-%d.dat", n), readShapes, fmt("outlines of layer %d", n));
  }

  ConfSet sg;
  if (c->conf("conf/sg", "subgame screens", &sg)) {
    // The frame is four elements: left, right, top and bottom.
    if (const char* f = conf_getstr(&sg, "ELEM_FILE", nullptr)) {
      c->file(f, readSpriteFrames(4, "the subgame screen frame (left, right, top, bottom)"), "subgame screen frame");
    } else {
      c->broken("conf/sg.conf", "no 'ELEM_FILE'");
    }
    if (const char* f = conf_getstr(&sg, "ROTA_FILE", nullptr))
      c->file(f, readSprite, "subgame screen rotating part");
    else
      c->broken("conf/sg.conf", "no 'ROTA_FILE'");
    if (const char* font = conf_getstr(&sg, "intro_font", nullptr))
      c->file(std::string("titles/fonts/") + font + ".fnp", readFont, "subgame intro font");
    else
      c->broken("conf/sg.conf", "no 'intro_font'");
  }
  conf_free(&sg);
  checkSubgames(c);
  ConfSet score;
  if (c->conf("conf/score", "score display", &score)) {
    const char* digits = conf_getstr(&score, "digits_sprite", nullptr);
    std::string path;
    if (!digits)
      c->broken("conf/score.conf", "no 'digits_sprite'");
    else if (!formatNumbered(digits, 0, &path))
      c->broken("conf/score.conf", std::string("digits_sprite: '") + digits + "' is not a file name with one %d");
    for (int d = 0; !path.empty() && d < 10; d++) {
      formatNumbered(digits, d, &path);
      c->file(path, readSprite, fmt("score tip digit %d", d));
    }
  }
  conf_free(&score);
  ConfSet mosaic;
  if (c->conf("conf/mosaic", "mosaic transitions", &mosaic)) {
    for (int i = 0; i < 16; i++) {
      const char* mask = conf_getstrf(&mosaic, "anim%d.mask", nullptr, i);
      if (!mask) break;
      c->file(mask, readBitmap, fmt("mask of mosaic %d", i));
    }
  }
  conf_free(&mosaic);

  for (const char* s : {"data/ruler.gsp", "data/cursor.gsp"}) c->file(s, readSprite, "table interface");
  for (const char* s : {"data/dialog-cursor.gsp", "data/pause-window.gsp", "data/pause-continue.gsp",
                        "data/pause-exit.gsp"})
    c->file(s, readSprite, "pause dialog");

  for (const char* script : kScripts) {
    for (const char* v : {"@", "0", "1", "2"}) {
      const std::string path = std::string("tiny/") + script + "-" + v + ".gnm";
      if (c->file(path, readNotEmpty, "animation script")) checkScriptFiles(c, path);
    }
  }
  // The title configurations are found by their binary twins.
  const std::vector<std::string> titles = listFiles("titles", ".bcf");
  if (titles.empty()) c->missing("titles/*.bcf", "title configurations");
  for (const std::string& t : titles) {
    ConfSet set;
    if (c->conf("titles/" + t.substr(0, t.size() - 4), "titles", &set)) checkTitleFiles(c, &set);
    conf_free(&set);
  }

  c->conf("conf/game", "rules");
  ConfSet samples;
  if (c->conf("conf/sample", "sample mix", &samples)) {
    for (const TableSample& ts : tableSamples()) {
      char path[300];
      tableSamplePath(&samples, ts.name, path, sizeof path);
      c->file(path, readSample, std::string("table sample '") + ts.name + "'");
    }
  }
  conf_free(&samples);
  for (const char* path : kSubgameSamples) c->file(path, readSample, "subgame sample");
  c->conf("conf/bigscore", "big scores");
  ConfSet mission;
  if (c->conf("conf/mission", "missions", &mission)) {
    for (int i = 0; i < 5; i++) {
      char deflt[64];
      std::snprintf(deflt, sizeof deflt, "symbol%d_sprite-undef", i);
      c->file(conf_getstrf(&mission, "symbols.symbol%d_sprite", deflt, i), readSprite, fmt("mission symbol %d", i));
      std::snprintf(deflt, sizeof deflt, "symbol%d_explode_sprite-undef", i);
      c->file(conf_getstrf(&mission, "symbols.symbol%d_explode_sprite", deflt, i), readSprite,
              fmt("mission symbol %d explosion", i));
    }
  }
  conf_free(&mission);
  c->conf("conf/question", "question mission");
  c->conf("conf/modes", "modes");
}

// Changes into the game folder for the check and back after it.
struct InFolder {
  std::string previous;
  bool ok = false;
  explicit InFolder(const char* dir) {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) previous = cwd;
    ok = !previous.empty() && chdir(dir) == 0;
  }
  ~InFolder() {
    if (ok && chdir(previous.c_str()) != 0) std::perror("pbtool check-data");
  }
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;
};

}  // namespace

int cmdCheckData(char** a) {
  InFolder in(a[0]);
  if (!in.ok) return logError(1, "%s: can't enter the game folder '%s'", "pbtool check-data", a[0]);
  const AudioOutput output = audioGetOutput();
  audioSetOutput(AUDIO_OUTPUT_NONE);
  const bool audio = audioOpen();
  Check c;
  checkStartup(&c);
  checkTable(&c);
  if (audio) audioClose();
  audioSetOutput(output);
  return c.problems ? 1 : 0;
}
