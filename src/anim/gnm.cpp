// Animation scripts: the reader of the script language, the shared sprites,
// samples and lists, the tracks' run state and the feature scripts.
#include "anim/gnm.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdarg>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/mem.h"
#include "core/text.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "platform/sys/sys.h"
#include "sound/fx.h"

namespace {

constexpr int kEventGrowth = 16;

struct SharedSprite {
  char path[GNM_PATH_SIZE];  // empty: free
  Sprite* sprite;
  char name[SPR_NAME_SIZE];  // the sprite's own name, to see whether the record is still ours
};

struct SharedSample {
  char path[GNM_PATH_SIZE];  // empty: free
  int id;
};

struct Control {
  char name[GNM_NAME_SIZE];  // empty: free
  GnmControlFn fn;
};

GnmScript gScripts[GNM_MAX];
GnmTrack gTracks[GNM_TRACKS];
Array gLists[GNM_LISTS];  // data == null: free
SharedSprite gSprites[GNM_SPRITES];
SharedSample gSamples[GNM_SAMPLES];
Control gControls[GNM_CONTROLS];
GnmSettings gDefaults;

const char* const kKeyNames[GNM_KEYS] = {"dir", "snddir", "delay", "dx", "dy", "sndvol", "sndpan"};

// ---- Small helpers ----

bool isTextKey(int key) { return key == GNM_KEY_DIR || key == GNM_KEY_SNDDIR; }

char* settingText(GnmSettings* s, int key) { return key == GNM_KEY_DIR ? s->dir : s->snddir; }

void setDefaults(GnmSettings* s) {
  *s = GnmSettings{};
  s->value[GNM_KEY_DELAY] = 1;
  s->value[GNM_KEY_SNDVOL] = 100;
  s->given = (1 << GNM_KEYS) - 1;
}

// Decimal, 0x hexadecimal or leading-0 octal that fits an int.
bool parseInt(const char* text, int* out) {
  const long* v = strToLong(text);
  if (!v || *v < INT_MIN || *v > INT_MAX) return false;
  *out = static_cast<int>(*v);
  return true;
}

std::string trimmed(const std::string& s, const char* set = " \t\r\n") {
  const size_t a = s.find_first_not_of(set);
  if (a == std::string::npos) return "";
  const size_t b = s.find_last_not_of(set);
  return s.substr(a, b - a + 1);
}

// Splits at sep, trims every item; empty items are dropped when asked.
std::vector<std::string> splitItems(const std::string& s, char sep, bool dropEmpty) {
  std::vector<std::string> out;
  size_t from = 0;
  for (;;) {
    const size_t at = s.find(sep, from);
    std::string item = trimmed(s.substr(from, at == std::string::npos ? std::string::npos : at - from));
    if (!item.empty() || !dropEmpty) out.push_back(item);
    if (at == std::string::npos) break;
    from = at + 1;
  }
  return out;
}

bool equalsI(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

// Opens a regular file for reading; null when it cannot be opened or is
// something else (a directory, a device that never ends).
FILE* openRegular(const char* path) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return nullptr;
  struct stat st {};
  if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
    std::fclose(f);
    return nullptr;
  }
  return f;
}

// Joins "DIR/NAME" + suffix, or NAME + suffix for an empty dir; false when
// the path does not fit.
bool joinPath(char* out, const char* dir, const char* name, const char* suffix) {
  const int n = dir[0] ? strFormatN(out, GNM_PATH_SIZE, "%s/%s%s", dir, name, suffix)
                       : strFormatN(out, GNM_PATH_SIZE, "%s%s", name, suffix);
  return n + 1 < GNM_PATH_SIZE &&
         std::strlen(dir) + std::strlen(name) + std::strlen(suffix) + (dir[0] ? 1 : 0) < GNM_PATH_SIZE;
}

// ---- Track slots ----

void freeTrack(GnmTrack* t) {
  for (int i = 0; i < t->eventCount; ++i) delete t->events[i].settings;
  std::free(t->events);
  // Only an object of the current board is still there to delete; a freed
  // board took its objects with it.
  VBOARD* board = vbCurrent;
  if (t->object && board && t->object >= board->objects && t->object < board->objects + VB_MAX_OBJECTS) {
    vbSetFrame(t->object, -1);
    vbDelObject(t->object);
  }
  *t = GnmTrack{};
  t->gnm = -1;
}

void resetRunState(GnmTrack* t) {
  t->step = 0;
  t->fresh = 1;
  t->elapsed = 0;
  for (int c = 0; c < GNM_LIST_COLUMNS; ++c) t->list[c] = -1, t->listPos[c] = 0;
  t->frame = -1;
  t->counter = 0;
  t->control = -1;
  t->controlled = 0;
}

bool appendEvent(GnmTrack* t, const GnmEvent& e) {
  if (t->eventCount == t->eventCapacity) {
    const int capacity = t->eventCapacity + kEventGrowth;
    void* grown = std::realloc(t->events, static_cast<size_t>(capacity) * sizeof(GnmEvent));
    if (!grown) return false;
    t->events = static_cast<GnmEvent*>(grown);
    t->eventCapacity = capacity;
  }
  t->events[t->eventCount++] = e;
  return true;
}

GnmEvent newEvent(int kind) {
  GnmEvent e{};
  e.kind = kind;
  e.sprite = e.sample = -1;
  for (int& l : e.lists) l = -1;
  return e;
}

// ---- Lists ----

int freeList() {
  for (int i = 0; i < GNM_LISTS; ++i)
    if (!gLists[i].data) return i;
  return -1;
}

const int* listValues(int index, int* count) {
  *count = 0;
  if (index < 0 || index >= GNM_LISTS || !gLists[index].data) return nullptr;
  *count = gLists[index].count;
  return reinterpret_cast<const int*>(gLists[index].data);
}

// Reads a list file; on success out[] holds the index of each column's list
// (-1 for a column not in the file).
int readListFile(const char* path, int out[GNM_LIST_COLUMNS]) {
  constexpr const char* fn = "readListFile()";
  for (int c = 0; c < GNM_LIST_COLUMNS; ++c) out[c] = -1;
  FILE* f = openRegular(path);
  if (!f) return logError(0, "%s: can't open file '%s'", fn, path);
  std::string text;
  char chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
    text.append(chunk, got);
    if (text.size() > static_cast<size_t>(GNM_LIST_FILE_MAX)) {
      std::fclose(f);
      return logError(0, "%s: '%s' is longer than %d bytes", fn, path, GNM_LIST_FILE_MAX);
    }
  }
  std::fclose(f);

  struct Column {
    int list;
    int column;  // GnmListColumn
    bool step;   // values are summed up
    int64_t sum;
  };
  std::vector<Column> columns;
  int lineNo = 0;
  size_t from = 0;
  while (from <= text.size()) {
    size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(from, end - from);
    from = end + 1;
    ++lineNo;
    std::vector<std::string> tokens;
    for (const std::string& piece : splitItems(line, ',', true)) {
      size_t p = 0;
      while (p < piece.size()) {
        const size_t q = piece.find_first_of(" \t\r", p);
        const std::string tok = piece.substr(p, q == std::string::npos ? std::string::npos : q - p);
        if (!tok.empty()) tokens.push_back(tok);
        if (q == std::string::npos) break;
        p = q + 1;
      }
    }
    if (tokens.empty()) continue;
    bool header = false;
    int scratch;
    for (const std::string& tok : tokens) header = header || !parseInt(tok.c_str(), &scratch);
    if (header) {
      columns.clear();
      for (const std::string& tok : tokens) {
        Column col{};
        if (equalsI(tok, "x") || equalsI(tok, "xstep")) {
          col = {-1, GNM_LIST_X, equalsI(tok, "xstep"), 0};
        } else if (equalsI(tok, "y") || equalsI(tok, "ystep")) {
          col = {-1, GNM_LIST_Y, equalsI(tok, "ystep"), 0};
        } else if (equalsI(tok, "frame")) {
          col = {-1, GNM_LIST_FRAME, false, 0};
        } else if (equalsI(tok, "delay")) {
          col = {-1, GNM_LIST_DELAY, false, 0};
        } else {
          return logError(0, "%s: '%s' line %d: unknown parameter '%s'", fn, path, lineNo, tok.c_str());
        }
        col.list = freeList();
        if (col.list < 0) return logError(0, "%s: can't find free list (all %d used)", fn, GNM_LISTS);
        if (arrInit(&gLists[col.list], sizeof(int), 16, 16) != 0)
          return logError(0, "%s: out of memory for a list", fn);
        out[col.column] = col.list;
        columns.push_back(col);
      }
      continue;
    }
    if (columns.empty())
      return logError(0, "%s: '%s' line %d: values before the column names", fn, path, lineNo);
    if (tokens.size() > columns.size())
      return logError(0, "%s: '%s' line %d: %zu values for %zu columns", fn, path, lineNo, tokens.size(),
                      columns.size());
    for (size_t i = 0; i < tokens.size(); ++i) {
      Column& col = columns[i];
      int v = 0;
      parseInt(tokens[i].c_str(), &v);
      if (col.step) {
        col.sum += v;
        if (col.sum < INT_MIN || col.sum > INT_MAX)
          return logError(0, "%s: '%s' line %d: the sum of the steps leaves the integers", fn, path, lineNo);
        v = static_cast<int>(col.sum);
      }
      if (arrAppend1(&gLists[col.list], &v) != 0) return logError(0, "%s: out of memory for a list", fn);
    }
  }
  bool any = false;
  for (int c = 0; c < GNM_LIST_COLUMNS; ++c) any = any || out[c] >= 0;
  if (!any) return logError(0, "%s: '%s': no lists read", fn, path);
  return 1;
}

// ---- The reader ----

// One script being read: diagnostics carry the current line.
struct Reader {
  int id;
  int layer;
  int line;               // physical lines read so far
  std::string text;       // the current logical line, as read
  bool headerWritten;

  void header() {
    if (headerWritten) return;
    headerWritten = true;
    logPrint(">> [line %d] %s", line, text.c_str());
  }
  // Writes an error and returns 0.
  int error(const char* format, ...) PB_PRINTF(2, 3) {
    char msg[1024];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(msg, sizeof msg, format, ap);
    va_end(ap);
    header();
    logPrint("Error: %s", msg);
    return 0;
  }
  void warning(const char* format, ...) PB_PRINTF(2, 3) {
    char msg[1024];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(msg, sizeof msg, format, ap);
    va_end(ap);
    header();
    logPrint("Warning: %s", msg);
  }
};

// Applies "key=value, ..." to a settings block. who names the command in
// messages.
int readAssignments(Reader* r, const std::string& text, GnmSettings* s, const char* who) {
  for (const std::string& pair : splitItems(text, ',', true)) {
    const size_t eq = pair.find('=');
    const std::string key = eq == std::string::npos ? "" : trimmed(pair.substr(0, eq));
    const std::string value = eq == std::string::npos ? "" : trimmed(pair.substr(eq + 1));
    if (key.empty() || value.empty()) return r->error("%s: illegal assignment, not 'key=val'", who);
    int k = 0;
    while (k < GNM_KEYS && !equalsI(key, kKeyNames[k])) ++k;
    if (k == GNM_KEYS) return r->error("%s: unknown key '%s'", who, key.c_str());
    if (isTextKey(k)) {
      if (value.size() >= GNM_PATH_SIZE)
        return r->error("%s: '%s' longer than %d characters", who, kKeyNames[k], GNM_PATH_SIZE - 1);
      strCopyN(settingText(s, k), value.c_str(), GNM_PATH_SIZE);
    } else if (!parseInt(value.c_str(), &s->value[k])) {
      return r->error("%s: integer value expected after '%s'", who, kKeyNames[k]);
    }
    s->given |= 1 << k;
  }
  return 1;
}

bool validMark(const std::string& m) {
  if (m.empty()) return false;
  for (char c : m)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return true;
}

// The track commands' names, by event kind.
const char* const kTrackCommands[GNM_EV_KINDS] = {
    "play", "set", "list", "sleep", "fsleep", "noframe", "loop", "stop", "mark",
    "waitmark", "runmark", "nolist", "control", "nocontrol", "sndstart", "sndloop", "sndstop", "sndplay"};

// Reads one command of a track ("word p1, p2 ..."; PARSE_CMDPARMS) into an
// event. 1, or 0 after an error.
int readTrackCommand(Reader* r, GnmTrack* t, const std::string& command) {
  const size_t sp = command.find_first_of(" \t");
  const std::string word = command.substr(0, sp);
  const std::string rest = sp == std::string::npos ? "" : trimmed(command.substr(sp));
  const std::vector<std::string> p = splitItems(rest, ',', true);
  int kind = 0;
  while (kind < GNM_EV_KINDS && !equalsI(word, kTrackCommands[kind])) ++kind;
  if (kind == GNM_EV_KINDS) return r->error("unknown track command '%s'", word.c_str());
  const char* cmd = kTrackCommands[kind];
  GnmEvent e = newEvent(kind);
  switch (kind) {
    case GNM_EV_PLAY: {
      if (p.empty()) return r->error("'play': sprite name expected");
      if (p.size() > 3) return r->error("'play': too many arguments");
      int start = 0, end = -1;
      if (p.size() > 1 && !parseInt(p[1].c_str(), &start))
        return r->error("%s: integer value expected after 'play %s'", "'play'", p[0].c_str());
      if (p.size() > 2 && !parseInt(p[2].c_str(), &end))
        return r->error("%s: integer value expected after 'play %s,%d'", "'play'", p[0].c_str(), start);
      const int slot = getSprite(&t->settings, p[0].c_str());
      if (slot < 0) return r->error("'play': error loading sprite '%s'", p[0].c_str());
      const int last = gSprites[slot].sprite->numfrms - 1;
      if (start < 0) start = 0;
      if (end < 0) end = last;
      if (start > last) {
        r->warning("%s: invalid start frame %d, fixed to %d", "'play'", start, last);
        start = last;
      }
      if (end > last) {
        r->warning("%s: invalid end frame %d, fixed to %d", "'play'", end, last);
        end = last;
      }
      e.sprite = slot;
      e.start = start;
      e.end = end;
      break;
    }
    case GNM_EV_SET: {
      auto s = std::make_unique<GnmSettings>();
      if (!readAssignments(r, rest, s.get(), "'set'")) return 0;
      e.settings = s.release();
      break;
    }
    case GNM_EV_LIST: {
      if (p.empty()) return r->error("'list': list filename expected");
      if (p.size() > 1) return r->error("'list': too many arguments");
      char path[GNM_PATH_SIZE];
      if (!joinPath(path, t->settings.dir, p[0].c_str(), "") || !readListFile(path, e.lists))
        return r->error("'list': error loading list '%s'", p[0].c_str());
      break;
    }
    case GNM_EV_SLEEP:
    case GNM_EV_FSLEEP:
      if (p.empty()) return r->error("'%s': value expected", cmd);
      if (p.size() > 1) return r->error("'%s': too many arguments", cmd);
      if (!parseInt(p[0].c_str(), &e.value)) return r->error("'%s': integer value expected", cmd);
      if (e.value == 0) return 1;  // waits for nothing
      break;
    case GNM_EV_MARK:
    case GNM_EV_WAITMARK:
    case GNM_EV_RUNMARK:
      if (p.empty()) return r->error("'%s': mark name expected", cmd);
      if (p.size() > 1 || p[0].find_first_of(" \t") != std::string::npos)
        return r->error("'%s': too many arguments", cmd);
      if (!validMark(p[0])) return r->error("'%s': invalid characters in mark '%s'", cmd, p[0].c_str());
      if (p[0].size() >= GNM_NAME_SIZE)
        return r->error("'%s': mark name longer than %d characters", cmd, GNM_NAME_SIZE - 1);
      strCopyN(e.name, p[0].c_str(), sizeof e.name);
      break;
    case GNM_EV_CONTROL:
      if (p.empty()) return r->error("'control': control name expected");
      if (p.size() > 1) return r->error("'control': too many arguments");
      if (p[0].size() >= GNM_NAME_SIZE)
        return r->error("'control': control name longer than %d characters", GNM_NAME_SIZE - 1);
      strCopyN(e.name, p[0].c_str(), sizeof e.name);
      break;
    case GNM_EV_SNDSTART:
    case GNM_EV_SNDLOOP:
    case GNM_EV_SNDPLAY: {
      if (p.empty()) return r->error("'%s': sample filename expected", cmd);
      if (p.size() > 1) return r->error("'%s': too many arguments", cmd);
      e.sample = getSample(&t->settings, p[0].c_str());
      if (e.sample < 0) return r->error("'%s': error loading sample '%s'", cmd, p[0].c_str());
      break;
    }
    default:  // noframe, loop, stop, nolist, nocontrol, sndstop
      if (!p.empty()) r->warning("'%s': no arguments expected", cmd);
      break;
  }
  if (!appendEvent(t, e)) {
    delete e.settings;
    return r->error("'%s': out of memory for the events", cmd);
  }
  return 1;
}

int readTrack(Reader* r, const std::string& args) {
  const size_t colon = args.find(':');
  const std::string name = colon == std::string::npos ? "" : trimmed(args.substr(0, colon));
  if (name.empty()) return r->error("%s: track name, ':' and commands expected (like 'track t1: xxx')", "'track'");
  if (name.size() >= GNM_NAME_SIZE)
    return r->error("%s: track name longer than %d characters", "'track'", GNM_NAME_SIZE - 1);
  int slot = 0;
  while (slot < GNM_TRACKS && gTracks[slot].inUse) ++slot;
  if (slot == GNM_TRACKS) return r->error("%s: no free TRACKS[] found, all %d slots occupied", "'track'", GNM_TRACKS);
  VBOBJ* obj = vbAddObject(nullptr, -1, 0, 0);
  if (!obj) return r->error("%s: no visual-board object for track '%s'", "'track'", name.c_str());
  if (!vbSetLayer(obj, r->layer)) {
    vbDelObject(obj);
    return r->error("%s: invalid layer %d", "'track'", r->layer);
  }
  GnmTrack* t = &gTracks[slot];
  *t = GnmTrack{};
  t->inUse = 1;
  t->gnm = r->id;
  strCopyN(t->name, name.c_str(), sizeof t->name);
  t->line = r->line;
  t->object = obj;
  t->settings = gScripts[r->id].settings;
  resetRunState(t);
  if (name == "s" && !vbMakeSmart(obj)) return r->error("%s: the object of track 's' can't be made smart", "'track'");
  if (name == "a") obj->addFlag = 1;
  if (name == "m") obj->mFlag = 1;
  for (const std::string& command : splitItems(args.substr(colon + 1), ';', true))
    if (!readTrackCommand(r, t, command)) return 0;
  return 1;
}

// Reads one logical line (continuations joined) into r->text; false at the
// end of the file. An over-long line is an error (*failed).
bool readLine(FILE* f, Reader* r, bool* failed) {
  bool tooLong = false;
  auto physical = [&](std::string* out) {
    out->clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(f)) != EOF) {
      any = true;
      if (c == '\n') break;
      if (out->size() < static_cast<size_t>(GNM_LINE_SIZE))
        out->push_back(static_cast<char>(c ? c : ' '));
      else
        tooLong = true;
    }
    if (any) ++r->line;
    return any;
  };
  std::string line;
  if (!physical(&line)) return false;
  r->headerWritten = false;
  line = trimmed(line);
  std::string next;
  while (!line.empty() && line.back() == '\\' && line.size() < static_cast<size_t>(GNM_LINE_SIZE)) {
    line.pop_back();
    if (!physical(&next)) break;
    const size_t hash = next.find('#');
    if (hash != std::string::npos) next.erase(hash);
    line += trimmed(next);
  }
  r->text = line;
  // DELIBERATE: a line longer than the reader's buffer fails the load
  // instead of being cut into pieces that would be read as further lines.
  if (tooLong || line.size() >= static_cast<size_t>(GNM_LINE_SIZE)) {
    if (r->text.size() > 80) r->text.resize(80);
    r->error("line longer than %d characters", GNM_LINE_SIZE - 1);
    *failed = true;
  }
  return true;
}

int readScript(FILE* f, Reader* r) {
  bool failed = false;
  while (readLine(f, r, &failed)) {
    if (failed) return 0;
    std::string line = r->text;
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    line = trimmed(trimmed(line), ";");
    line = trimmed(line);
    if (line.empty()) continue;
    const size_t sp = line.find_first_of(" \t");
    const std::string command = line.substr(0, sp);
    const std::string args = sp == std::string::npos ? "" : trimmed(line.substr(sp));
    if (args.empty()) return r->error("parameters expected after command name (like 'set xxx')");
    if (equalsI(command, "set")) {
      if (!readAssignments(r, args, &gScripts[r->id].settings, "'set'")) return 0;
    } else if (equalsI(command, "custom")) {
      // No custom handler is installed: the pairs are accepted and ignored.
    } else if (equalsI(command, "track")) {
      if (!readTrack(r, args)) return 0;
    } else {
      return r->error("unknown command '%s'", command.c_str());
    }
  }
  // A track that loops without ever waiting would spin for good in one frame.
  for (int i = 0; i < GNM_TRACKS; ++i) {
    const GnmTrack& t = gTracks[i];
    if (!t.inUse || t.gnm != r->id) continue;
    bool loops = false, waits = false;
    for (int e = 0; e < t.eventCount; ++e) {
      const int k = t.events[e].kind;
      loops = loops || k == GNM_EV_LOOP;
      waits = waits || k == GNM_EV_PLAY || k == GNM_EV_SLEEP || k == GNM_EV_FSLEEP || k == GNM_EV_STOP ||
              k == GNM_EV_WAITMARK || k == GNM_EV_SNDPLAY;
    }
    if (loops && !waits)
      return logError(0, "%s: track %d (ends at line %d) could be dead looped", "gnmLoad()", i, t.line);
  }
  return 1;
}

// ---- Running ----

int settingOf(const GnmTrack* t, int key) {
  const int bit = 1 << key;
  if (t->settings.given & bit) return t->settings.value[key];
  if (t->gnm >= 0 && t->gnm < GNM_MAX && (gScripts[t->gnm].settings.given & bit))
    return gScripts[t->gnm].settings.value[key];
  return gDefaults.value[key];
}

// The value of a selected list at the track's position in it, when there is one.
bool listValue(const GnmTrack* t, int column, int* value) {
  int count = 0;
  const int* v = listValues(t->list[column], &count);
  if (!v || count == 0) return false;
  const int pos = t->listPos[column];
  *value = v[pos >= 0 && pos < count ? pos : 0];
  return true;
}

void placeObject(GnmTrack* t) {
  int x = 0, y = 0;
  listValue(t, GNM_LIST_X, &x);
  listValue(t, GNM_LIST_Y, &y);
  vbSetXY(t->object, static_cast<int>(static_cast<int64_t>(x) + settingOf(t, GNM_KEY_DX)),
          static_cast<int>(static_cast<int64_t>(y) + settingOf(t, GNM_KEY_DY)));
}

void showFrame(GnmTrack* t, Sprite* s, int frame) {
  // DELIBERATE: a frame outside the sprite (from a frame list) shows nothing
  // instead of being refused with a message every period.
  if (!s || frame < 0 || frame >= s->numfrms) frame = -1;
  t->frame = frame;
  vbSetFrame(t->object, frame);
}

int runPlay(GnmTrack* t, const GnmEvent& e) {
  Sprite* s = gnmSprite(e.sprite);
  int frameCount = 0;
  const int* frames = listValues(t->list[GNM_LIST_FRAME], &frameCount);
  if (t->fresh) {
    t->elapsed = 0;
    t->listPos[GNM_LIST_FRAME] = 0;
    vbSetSprite(t->object, s);
    showFrame(t, s, frameCount > 0 ? frames[0] : e.start);
    placeObject(t);
  }
  int period = 0;
  if (!listValue(t, GNM_LIST_DELAY, &period)) period = settingOf(t, GNM_KEY_DELAY);
  if (period < 1) period = 1;
  if (t->elapsed < period) return 0;
  t->elapsed = std::fmod(t->elapsed, static_cast<double>(period));
  if (frameCount > 0) {
    int& pos = t->listPos[GNM_LIST_FRAME];
    if (pos >= frameCount - 1) return 1;
    ++pos;
    showFrame(t, s, frames[pos]);
  } else {
    const int n = s ? s->numfrms : 0;
    if (n <= 0 || t->frame == e.end) return 1;
    int next;
    if (e.end < e.start)
      next = t->frame <= 0 ? n - 1 : t->frame - 1;
    else
      next = (t->frame + 1) % n;
    showFrame(t, s, next);
  }
  for (int c : {GNM_LIST_X, GNM_LIST_Y, GNM_LIST_DELAY}) {
    int count = 0;
    listValues(t->list[c], &count);
    if (count > 0) t->listPos[c] = (t->listPos[c] + 1) % count;
  }
  placeObject(t);
  return 0;
}

void applySet(GnmTrack* t, const GnmSettings* s) {
  for (int k = 0; k < GNM_KEYS; ++k) {
    if (!(s->given & (1 << k))) continue;
    if (isTextKey(k))
      strCopyN(settingText(&t->settings, k), settingText(const_cast<GnmSettings*>(s), k), GNM_PATH_SIZE);
    else
      t->settings.value[k] = s->value[k];
    t->settings.given |= 1 << k;
  }
  if (t->channel) {
    if (s->given & (1 << GNM_KEY_SNDVOL)) fxChannelSetVolume(t->channel, settingOf(t, GNM_KEY_SNDVOL));
    if (s->given & (1 << GNM_KEY_SNDPAN)) fxChannelSetPanning(t->channel, settingOf(t, GNM_KEY_SNDPAN));
  }
}

void playSound(GnmTrack* t, const GnmEvent& e, int loop) {
  if (t->channel) fxChannelStop(t->channel);
  t->channel = 0;
  const int id = gnmSampleId(e.sample);
  if (id >= 0) t->channel = fxPlaySample(id, settingOf(t, GNM_KEY_SNDVOL), settingOf(t, GNM_KEY_SNDPAN), loop);
}

constexpr int kJumped = 2;  // the track itself was moved: its turn ends as it stands

int runEvent(int slot, GnmTrack* t, GnmEvent& e) {
  switch (e.kind) {
    case GNM_EV_PLAY:
      return runPlay(t, e);
    case GNM_EV_SET:
      if (e.settings) applySet(t, e.settings);
      return 1;
    case GNM_EV_LIST:
      for (int c = 0; c < GNM_LIST_COLUMNS; ++c)
        if (e.lists[c] >= 0) t->list[c] = e.lists[c], t->listPos[c] = 0;
      return 1;
    case GNM_EV_SLEEP:
      if (t->fresh) t->elapsed = 0;
      return t->elapsed >= e.value ? 1 : 0;
    case GNM_EV_FSLEEP:
      if (t->fresh) t->counter = e.value, t->elapsed = 0;
      for (;;) {
        // DELIBERATE: a negative count is done at once rather than never.
        if (t->counter <= 0) return 1;
        const int delay = settingOf(t, GNM_KEY_DELAY);
        if (delay > t->elapsed) return 0;
        t->elapsed = delay > 0 ? std::fmod(t->elapsed, static_cast<double>(delay)) : 0;
        --t->counter;
      }
    case GNM_EV_NOFRAME:
      showFrame(t, nullptr, -1);
      return 1;
    case GNM_EV_LOOP:
      t->step = -1;
      return 1;
    case GNM_EV_STOP:
      return 0;
    case GNM_EV_MARK:
      for (GnmTrack& o : gTracks) {
        if (!o.inUse || o.gnm != t->gnm || &o == t || o.step < 0 || o.step >= o.eventCount) continue;
        const GnmEvent& w = o.events[o.step];
        if (w.kind == GNM_EV_WAITMARK && std::strcmp(w.name, e.name) == 0) {
          ++o.step;
          o.fresh = 1;
        }
      }
      return 1;
    case GNM_EV_WAITMARK:
      return 0;
    case GNM_EV_RUNMARK: {
      bool self = false;
      for (GnmTrack& o : gTracks) {
        if (!o.inUse || o.gnm != t->gnm) continue;
        for (int i = 0; i < o.eventCount; ++i) {
          if (o.events[i].kind != GNM_EV_MARK || std::strcmp(o.events[i].name, e.name) != 0) continue;
          o.step = i;
          o.fresh = 1;
          self = self || &o == t;
          break;
        }
      }
      return self ? kJumped : 1;
    }
    case GNM_EV_NOLIST:
      for (int& l : t->list) l = -1;
      return 1;
    case GNM_EV_CONTROL:
      t->control = -1;
      for (int i = 0; i < GNM_CONTROLS; ++i)
        if (gControls[i].name[0] && strcasecmp(gControls[i].name, e.name) == 0) t->control = i;
      if (t->control < 0) logError(0, "%s: can't find control callback '%s'", "EVENT_CONTROL()", e.name);
      return 1;
    case GNM_EV_NOCONTROL:
      t->control = -1;
      t->controlled = 0;
      return 1;
    case GNM_EV_SNDSTART:
    case GNM_EV_SNDLOOP:
      if (t->fresh) playSound(t, e, e.kind == GNM_EV_SNDLOOP);
      return 1;
    case GNM_EV_SNDSTOP:
      if (t->channel) fxChannelStop(t->channel);
      t->channel = 0;
      return 1;
    case GNM_EV_SNDPLAY:
      if (t->fresh) {
        playSound(t, e, 0);
        return 0;
      }
      // DELIBERATE: without sound every channel reads as playing; the wait
      // then ends after one turn instead of never.
      if (t->channel && !fxDisabled() && fxChannelIsActive(t->channel)) return 0;
      if (t->channel) fxChannelStop(t->channel);
      t->channel = 0;
      return 1;
    default:
      logError(0, "%s: unknown type %d (pos %d, trk %d)", "gnmUpdate()", e.kind, t->step, slot);
      return 1;
  }
}

void runTrack(int slot, GnmTrack* t, double dt) {
  t->elapsed += dt;
  // Every cycle within one turn passes a waiting event (checked at load) or
  // ends the turn; the bound only guards against a mistake in that reasoning.
  const long limit = 4L * t->eventCount + 16;
  for (long n = 0; t->step >= 0 && t->step < t->eventCount; ++n) {
    if (n > limit) {
      logError(0, "%s: track %d ran %ld events in one turn, SE", "gnmUpdate()", slot, n);
      return;
    }
    GnmEvent& e = t->events[t->step];
    if (t->control >= 0 && gControls[t->control].fn) {
      GnmControlFn fn = gControls[t->control].fn;
      if (t->controlled) {
        if (!fn(t, &e)) return;
        t->controlled = 0;
        ++t->step;
        t->fresh = 1;
        continue;
      }
      if (t->fresh && fn(t, &e)) {
        t->controlled = 1;
        t->fresh = 0;
        return;
      }
    }
    const int result = runEvent(slot, t, e);
    if (result == kJumped) return;
    if (result == 0) {
      t->fresh = 0;
      return;
    }
    ++t->step;
    t->fresh = 1;
  }
}

bool idOk(int id, const char* fn) {
  if (id >= 0 && id < GNM_MAX) return true;
  logError(0, "%s: invalid gnm %d, not in [0..%d]", fn, id, GNM_MAX - 1);
  return false;
}

const char* const kFeatureNames[GNM_FEATURES] = {"duma", "zona", "bd", "gp"};
const int kFeatureFirstId[GNM_FEATURES] = {4, 0, 8, 12};
const int kFeatureLayer[GNM_FEATURES] = {1, 1, 1, 5};

}  // namespace

// ---- Interface ----

void gnmFree() {
  for (GnmTrack& t : gTracks)
    if (t.inUse) freeTrack(&t);
  for (Array& l : gLists) arrFree(&l);
  for (SharedSprite& s : gSprites) {
    if (s.path[0] && s.sprite && s.sprite->inUse && std::strncmp(s.sprite->name, s.name, sizeof s.name) == 0)
      SPR_FREE(s.sprite);
    s = SharedSprite{};
  }
  for (SharedSample& s : gSamples) {
    if (s.path[0] && s.id >= 0 && !fxDisabled() && fxSampleLoaded(s.id)) fxFreeSample(s.id);
    s = SharedSample{};
  }
  for (GnmScript& g : gScripts) g = GnmScript{-1, 0, {}};
}

void gnmInit() {
  gnmFree();
  for (Control& c : gControls) c = Control{};
  for (GnmTrack& t : gTracks) t.gnm = -1;
  setDefaults(&gDefaults);
}

int gnmLoad(int id, const char* path, int layer) {
  constexpr const char* fn = "gnmLoad()";
  if (id < 0 || id >= GNM_MAX) return logError(0, "%s: invalid gnm %d (should be in [0..%d])", fn, id, GNM_MAX - 1);
  if (gScripts[id].id >= 0) logPrint("%s: gnm %d already initialized, possible SE", fn, id);
  // The tracks of an earlier load of this id (valid or failed) go first.
  for (GnmTrack& t : gTracks)
    if (t.inUse && t.gnm == id) freeTrack(&t);
  gScripts[id] = GnmScript{-1, 0, {}};
  if (layer < 0 || layer > VB_MAX_LAYER)
    return logError(0, "%s: invalid layer %d (should be in [0..%d])", fn, layer, VB_MAX_LAYER);
  if (!path) return logError(0, "%s: no file name, SE", fn);
  FILE* f = openRegular(path);
  if (!f) return logError(0, "%s: couldn't open the input file '%s'", fn, path);
  Reader r{id, layer, 0, {}, false};
  const int ok = readScript(f, &r);
  std::fclose(f);
  if (!ok) return logError(0, "%s: error in '%s' (line %d), gnm %d left invalid", fn, path, r.line, id);
  gScripts[id].id = id;
  return 1;
}

int gnmStart(int id) {
  constexpr const char* fn = "gnmStart()";
  if (!idOk(id, fn)) return 0;
  if (gScripts[id].id < 0) return logError(0, "%s: gnm %d is invalid", fn, id);
  gScripts[id].started = 1;
  for (GnmTrack& t : gTracks) {
    if (!t.inUse || t.gnm != id) continue;
    resetRunState(&t);
    vbSetFrame(t.object, -1);
  }
  return 1;
}

int gnmStop(int id) {
  constexpr const char* fn = "gnmStop()";
  if (!idOk(id, fn)) return 0;
  if (gScripts[id].id < 0) return logError(0, "%s: gnm %d is invalid", fn, id);
  gScripts[id].started = 0;
  for (GnmTrack& t : gTracks) {
    if (!t.inUse || t.gnm != id) continue;
    t.frame = -1;
    vbSetFrame(t.object, -1);
  }
  return 1;
}

void gnmUpdate(double dt) {
  if (!std::isfinite(dt) || dt < 0) dt = 0;
  for (int i = 0; i < GNM_TRACKS; ++i) {
    GnmTrack* t = &gTracks[i];
    if (!t->inUse || t->gnm < 0 || t->gnm >= GNM_MAX) continue;
    const GnmScript& g = gScripts[t->gnm];
    if (g.id < 0 || !g.started) continue;
    runTrack(i, t, dt);
  }
}

int gnmValid(int id) { return id >= 0 && id < GNM_MAX && gScripts[id].id >= 0 ? 1 : 0; }
int gnmStarted(int id) { return gnmValid(id) && gScripts[id].started ? 1 : 0; }

int gnmSettingInt(int track, int key) {
  if (track < 0 || track >= GNM_TRACKS || !gTracks[track].inUse || key < 0 || key >= GNM_KEYS || isTextKey(key))
    return 0;
  return settingOf(&gTracks[track], key);
}

const char* gnmSettingText(int track, int key) {
  if (track < 0 || track >= GNM_TRACKS || !gTracks[track].inUse || !isTextKey(key)) return "";
  GnmTrack* t = &gTracks[track];
  const int bit = 1 << key;
  if (t->settings.given & bit) return settingText(&t->settings, key);
  if (t->gnm >= 0 && t->gnm < GNM_MAX && (gScripts[t->gnm].settings.given & bit))
    return settingText(&gScripts[t->gnm].settings, key);
  return settingText(&gDefaults, key);
}

namespace {

// The slot of a shared sprite or sample loaded from path (compared without
// regard to case), or -1 with the first free slot in *free (-1: none).
template <class Slot, size_t N>
int findShared(const Slot (&table)[N], const char* path, int* free) {
  *free = -1;
  for (size_t i = 0; i < N; ++i) {
    if (!table[i].path[0]) {
      if (*free < 0) *free = static_cast<int>(i);
    } else if (strcasecmp(table[i].path, path) == 0) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

}  // namespace

int getSprite(const GnmSettings* settings, const char* name) {
  constexpr const char* fn = "getSprite()";
  char path[GNM_PATH_SIZE];
  if (!settings || !name || !joinPath(path, settings->dir, name, ".gsp"))
    return logError(-1, "%s: sprite path for '%s' too long", fn, name ? name : "");
  int free = -1;
  const int known = findShared(gSprites, path, &free);
  if (known >= 0) return known;
  if (free < 0) return logError(-1, "%s: no free slots in SPRITES[] to register '%s'", fn, path);
  Sprite* s = SPR_CREATE(path);
  if (!s) return logError(-1, "%s: error loading sprite '%s'", fn, path);
  strCopyN(gSprites[free].path, path, sizeof gSprites[free].path);
  gSprites[free].sprite = s;
  std::memcpy(gSprites[free].name, s->name, sizeof gSprites[free].name);
  return free;
}

int getSample(const GnmSettings* settings, const char* name) {
  constexpr const char* fn = "getSample()";
  char path[GNM_PATH_SIZE];
  if (!settings || !name || !joinPath(path, settings->snddir, name, ".wav"))
    return logError(-1, "%s: sample path for '%s' too long", fn, name ? name : "");
  int free = -1;
  const int known = findShared(gSamples, path, &free);
  if (known >= 0) return known;
  if (free < 0) return logError(-1, "%s: no free slots in SAMPLES[] to register '%s'", fn, path);
  const int id = fxAllocSample();
  if (id < 0 || !fxLoadSampleWav(id, path)) return logError(-1, "%s: error loading sample '%s'", fn, path);
  strCopyN(gSamples[free].path, path, sizeof gSamples[free].path);
  gSamples[free].id = id;
  return free;
}

Sprite* gnmSprite(int slot) {
  if (slot < 0 || slot >= GNM_SPRITES || !gSprites[slot].path[0]) return nullptr;
  return gSprites[slot].sprite;
}

int gnmSampleId(int slot) {
  if (slot < 0 || slot >= GNM_SAMPLES || !gSamples[slot].path[0]) return -1;
  return gSamples[slot].id;
}

GnmScript* gnmScript(int id) { return id >= 0 && id < GNM_MAX ? &gScripts[id] : nullptr; }
GnmTrack* gnmTrack(int slot) { return slot >= 0 && slot < GNM_TRACKS ? &gTracks[slot] : nullptr; }

int gnmFindTrack(int id, const char* name) {
  for (int i = 0; i < GNM_TRACKS; ++i)
    if (gTracks[i].inUse && gTracks[i].gnm == id && name && std::strcmp(gTracks[i].name, name) == 0) return i;
  return -1;
}

const int* gnmList(int index, int* count) {
  int n = 0;
  const int* v = listValues(index, &n);
  if (count) *count = n;
  return v;
}

int gnmRegisterControl(const char* name, GnmControlFn fn) {
  constexpr const char* f = "gnmRegisterControl()";
  if (!name || !name[0] || !fn) return logError(0, "%s: no name or function, SE", f);
  for (Control& c : gControls) {
    if (c.name[0]) continue;
    strCopyN(c.name, name, sizeof c.name);
    c.fn = fn;
    return 1;
  }
  return logError(0, "%s: no free slots in CONTROLS[], all %d occupied", f, GNM_CONTROLS);
}

int gnmFeatureScript(int feature, int state) {
  if (feature < 0 || feature >= GNM_FEATURES || state < -1 || state > 2) return -1;
  return kFeatureFirstId[feature] + 1 + state;
}

int gnmSetFeatureState(int feature, int state) {
  constexpr const char* fn = "gnmSetFeatureState()";
  if (feature < 0 || feature >= GNM_FEATURES) return logError(0, "%s: unknown feature %d", fn, feature);
  if (state < -1 || state > 2) return logError(0, "%s: invalid state %d for '%s'", fn, state, kFeatureNames[feature]);
  int ok = 1;
  for (int s = 0; s < 3; ++s) {
    const int id = gnmFeatureScript(feature, s);
    if (!gnmValid(id)) continue;  // a script that did not load was reported then
    if (s == state)
      ok = gnmStart(id) && ok;
    else if (gnmStarted(id))
      gnmStop(id);
  }
  return ok;
}

int setupGnms(int (*loadMark)(const char* category)) {
  constexpr const char* fn = "setupGnms()";
  // Back by the full path: the folder entered may be a link elsewhere.
  const std::string home = sysCurrentDir();
  const char* back = home.empty() ? ".." : home.c_str();
  if (!sysChangeDir("tiny")) return logError(0, "%s: can't chdir to '%s', aborting", fn, "tiny");
  // The log file stays where it is.
  if (!logSetDir(back)) logSetDir("..");
  static const char* const kStates[4] = {"@", "0", "1", "2"};
  int ok = 1;
  for (int f = 0; f < GNM_FEATURES; ++f) {
    for (int s = 0; s < 4; ++s) {
      char file[32];
      strFormatN(file, sizeof file, "%s-%s.gnm", kFeatureNames[f], kStates[s]);
      logDebug(1, "at gnmLoad('%s')", file);
      if (!gnmLoad(kFeatureFirstId[f] + s, file, kFeatureLayer[f])) ok = 0;
      if (loadMark) loadMark(file);
    }
    if (gnmValid(kFeatureFirstId[f]) && !gnmStart(kFeatureFirstId[f])) ok = 0;
  }
  if (!sysChangeDir(back)) ok = logError(0, "%s: can't chdir to '%s'", fn, back);
  logSetDir(".");
  for (int f = 0; f < GNM_FEATURES; ++f)
    if (!gnmSetFeatureState(f, 0)) ok = 0;
  return ok;
}
