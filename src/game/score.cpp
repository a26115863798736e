#include "game/score.h"
#include "game/stats.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "anim/title.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/text.h"
#include "core/time.h"
#include "game/game.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"

namespace {

enum { DIGITS = 10, YEAR_DIGITS = 4 };

struct Tip {
  int active;
  long long start;  // game time, whole ms
  int x, y;
  int digits[SCORE_TIP_CHARS];  // indices into the digit objects
  int count;
};

struct Score {
  VBOARD* board;  // the board the digit objects were added to
  VBOBJ* objects[SCORE_DIGIT_OBJECTS];
  int objectUsed[SCORE_DIGIT_OBJECTS];
  int objectCount;
  SprOwned digits[DIGITS];
  int tipTime, tipDist;
  Tip tips[SCORE_MAX_TIPS];
  ScoreSubject subjects[SCORE_MAX_SUBJECTS];
  int subjectCount;
};

struct Year {
  int built;
  VBOARD* board;
  VBOBJ* objects[YEAR_DIGITS];  // thousands, hundreds, tens, units
  SprOwned sprites[YEAR_DIGITS];
  int framesPerDigit;
};

Score emptyScore() {
  Score s{};
  s.tipTime = SCORE_TIP_TIME;
  s.tipDist = SCORE_TIP_DIST;
  return s;
}

Score S = emptyScore();
Year Y{};

ConfSet* confOf(ConfSet* set) {
  static ConfSet empty{};
  return set ? set : &empty;
}

// Game time in whole milliseconds.
long long nowMs() { return std::isfinite(tmTime) ? static_cast<long long>(std::floor(tmTime)) : 0; }

// The score is a 32-bit counter: a sum beyond its range wraps around.
int wrapAdd(int score, long long amount) {
  return static_cast<int>(static_cast<uint32_t>(score) + static_cast<uint32_t>(amount));
}

Sprite* digitSprite(int digit) { return S.digits[digit].sprite; }
int digitWidth(int digit) {
  const Sprite* s = digitSprite(digit);
  return s ? s->frames[0].width : 0;
}
int digitHeight() {
  const Sprite* s = digitSprite(0);
  return s ? s->frames[0].height : 0;
}

// Whether a remembered object is still ours: a board that was freed without
// scoreFree may have handed its slots to others since.
bool isDigitObject(const VBOBJ* o) {
  return o->inUse && !o->dead && !o->custom && o->layer == SCORE_DIGIT_LAYER;
}

void endTip(Tip* t) {
  for (int i = 0; i < t->count; i++) {
    const int d = t->digits[i];
    if (S.objects[d] && isDigitObject(S.objects[d])) vbSetSprite(S.objects[d], nullptr);
    S.objectUsed[d] = 0;
  }
  *t = Tip{};
}

void endAllTips() {
  for (Tip& t : S.tips)
    if (t.active) endTip(&t);
}

// Takes the digit objects off the board when it is still the current one;
// otherwise they went with it.
void dropDigitObjects(int count) {
  for (int i = 0; i < count; i++) {
    VBOBJ* o = S.objects[i];
    if (o && S.board && vbCurrent == S.board && isDigitObject(o)) vbDelObject(o);
    S.objects[i] = nullptr;
    S.objectUsed[i] = 0;
  }
}

bool haveDigitObjects() {
  if (!S.board || S.board != vbCurrent || S.objectCount != SCORE_DIGIT_OBJECTS) return false;
  for (const VBOBJ* o : S.objects)
    if (!o || !isDigitObject(o)) return false;
  return true;
}

int buildDigitObjects(const char* fn) {
  if (haveDigitObjects()) return 1;
  endAllTips();
  dropDigitObjects(S.objectCount);
  S.objectCount = 0;
  S.board = vbCurrent;
  for (int i = 0; i < SCORE_DIGIT_OBJECTS; i++) {
    VBOBJ* o = vbAddObject(nullptr, 0, 0, 0);
    if (!o) {
      dropDigitObjects(i);
      S.board = nullptr;
      return logError(0, "%s: error allocating dynamic VBO %d of %d, aborting", fn, i, SCORE_DIGIT_OBJECTS);
    }
    vbSetLayer(o, SCORE_DIGIT_LAYER);
    S.objects[i] = o;
    S.objectUsed[i] = 0;
  }
  S.objectCount = SCORE_DIGIT_OBJECTS;
  return 1;
}

// "x,y": two integers, blanks allowed around them.
bool parseXY(const char* text, int* x, int* y) {
  const char* p = text;
  long v[2];
  for (int i = 0; i < 2; i++) {
    char* end = nullptr;
    errno = 0;
    v[i] = std::strtol(p, &end, 10);
    if (end == p || errno == ERANGE || v[i] < -1000000 || v[i] > 1000000) return false;
    p = end;
    while (*p == ' ' || *p == '\t') p++;
    if (i == 0) {
      if (*p != ',') return false;
      p++;
    }
  }
  if (*p) return false;
  *x = static_cast<int>(v[0]);
  *y = static_cast<int>(v[1]);
  return true;
}

void addSubject(const char* name, int value, int x, int y, int* ok, const char* fn) {
  logDebug(2, "subjname-'%s' xy-(%d,%d) value-%d", name, x, y, value);
  if (S.subjectCount >= SCORE_MAX_SUBJECTS) {
    *ok = logError(0, "%s: skipping subject '%s', all %d SUBJECTS[] occupied", fn, name, SCORE_MAX_SUBJECTS);
    return;
  }
  ScoreSubject& s = S.subjects[S.subjectCount];
  strCopyN(s.name, name, sizeof s.name);
  s.value = value;
  s.x = x;
  s.y = y;
  logDebug(2, "subject[%d]-'%s'", S.subjectCount, s.name);
  S.subjectCount++;
}

// Every section that is not a class places the subjects of its class.
void readSubjects(ConfSet* conf, int* ok, const char* fn) {
  for (const char* sect = conf_firstsection(conf, nullptr); sect; sect = conf_nextsection(conf)) {
    char section[64];
    strCopyN(section, sect, sizeof section);
    if (std::strncmp(section, "class_", 6) == 0) continue;
    logDebug(2, "sect-'%s'", section);
    char key[160];
    strFormatN(key, sizeof key, "%s.class", section);
    const char* cls = conf_getstr(conf, key, nullptr);
    if (!cls) {
      logError(0, "%s: '%s.class' not defined - subject skipped", fn, section);
      continue;
    }
    logDebug(2, "cls-'%s'", cls);
    strFormatN(key, sizeof key, "%s.xy", section);
    const char* xy = conf_getstr(conf, key, nullptr);
    if (!xy) {
      logError(0, "%s: '%s.xy' not defined - subject skipped", fn, section);
      continue;
    }
    int x = 0, y = 0;
    if (!parseXY(xy, &x, &y)) {
      logError(0, "%s: '%s.xy' is not \"x,y\" ('%s') - subject skipped", fn, section, xy);
      continue;
    }
    // The class's keys "value" and "value_SUFFIX", compared by their whole
    // prefix so that a class name is never taken as a wildcard pattern.
    char prefix[160];
    const size_t length = std::strlen(cls) + std::strlen("class_.value");
    if (length >= sizeof prefix) {
      logError(0, "%s: '%s.class' is longer than %d characters - subject skipped", fn, section,
               static_cast<int>(sizeof prefix - std::strlen("class_.value") - 1));
      continue;
    }
    strFormatN(prefix, sizeof prefix, "class_%s.value", cls);
    for (const char* k = conf_findfirst(conf, "class_*"); k; k = conf_findnext(conf)) {
      if (std::strncmp(k, prefix, length) != 0) continue;
      const char* tail = k + length;
      char name[SCORE_NAME_SIZE];
      if (!*tail)
        strCopyN(name, section, sizeof name);
      else if (tail[0] == '_' && tail[1])
        strFormatN(name, sizeof name, "%s:%s", section, tail + 1);
      else
        continue;
      addSubject(name, conf_getint(conf, k, -1), x, y, ok, fn);
    }
  }
}

void freeDigitSprites() {
  for (SprOwned& d : S.digits) sprRelease(&d);
}

void freeYear() {
  for (int i = 0; i < YEAR_DIGITS; i++) {
    VBOBJ* o = Y.objects[i];
    // Ours while it still shows our sprite.
    if (o && Y.board && vbCurrent == Y.board && o->inUse && !o->dead && o->sprite == Y.sprites[i].sprite)
      vbDelObject(o);
  }
  for (SprOwned& s : Y.sprites) sprRelease(&s);
  Y = Year{};
}

// Shows frame on a year object when its sprite has it; a sprite too short
// for the frames per digit was reported when it was loaded.
void showYearFrame(VBOBJ* o, long long frame) {
  if (o && o->sprite && frame >= 0 && frame < o->sprite->numfrms) vbSetFrame(o, static_cast<int>(frame));
}

}  // namespace

int setupScore(int writeBinary) {
  constexpr const char* fn = "setupScore()";
  if (!buildDigitObjects(fn)) return 0;
  ConfSet conf;
  if (conf_anyread(&conf, fn, "conf/score.conf", "conf/score.bcf", writeBinary) < 0) return 0;
  const int ok = setupScoreFrom(&conf);
  conf_free(&conf);
  return ok;
}

int setupScoreFrom(ConfSet* conf) {
  constexpr const char* fn = "setupScore()";
  if (!buildDigitObjects(fn)) return 0;
  conf = confOf(conf);
  endAllTips();
  freeDigitSprites();
  S.subjectCount = 0;
  S.tipTime = conf_getint(conf, "tip_time", SCORE_TIP_TIME);
  S.tipDist = conf_getint(conf, "tip_dist", SCORE_TIP_DIST);
  const char* format = conf_getstr(conf, "digits_sprite", nullptr);
  if (!format) return logError(0, "%s: sprites filename not defined ('digits_sprite' parameter)", fn);
  int ok = 1;
  for (int d = 0; d < DIGITS; d++) {
    char path[260];
    strFormatNumbered(path, sizeof path, format, d);
    Sprite* s = SPR_CREATE(path);
    if (!s) {
      ok = logError(0, "%s: error loading sprite '%s'", fn, path);
      continue;
    }
    logDebug(2, "loaded i-%d spr-%p from '%s'", d, static_cast<void*>(s), path);
    S.digits[d] = sprOwn(s);
  }
  readSubjects(conf, &ok, fn);
  return ok;
}

void scoreFree() {
  endAllTips();
  dropDigitObjects(S.objectCount);
  freeDigitSprites();
  S = emptyScore();
  freeYear();
}

const ScoreSubject* scoreFindSubject(const char* name) {
  if (!name) return nullptr;
  for (int i = 0; i < S.subjectCount; i++)
    if (std::strcmp(S.subjects[i].name, name) == 0) return &S.subjects[i];
  return nullptr;
}

int scoreSubjectCount() { return S.subjectCount; }

int scoreAdd(const char* subject) {
  constexpr const char* fn = "scoreAdd()";
  const ScoreSubject* s = scoreFindSubject(subject);
  if (!s) return logError(0, "%s: subject '%s' not found", fn, subject ? subject : "(null)");
  const int amount = wrapAdd(0, static_cast<long long>(s->value) * game.taxMultiplier);
  game.score = wrapAdd(game.score, amount);

  Tip* tip = nullptr;
  for (Tip& t : S.tips)
    if (!t.active) {
      tip = &t;
      break;
    }
  if (!tip) return logError(0, "%s: no free slots in SCORE.TIPS[], all %d occupied", fn, SCORE_MAX_TIPS);
  tip->active = 1;
  tip->start = nowMs();
  tip->x = s->x - TIPWIDTH(s->value) / 2;
  tip->y = s->y - (digitHeight() + 1) / 2;
  tip->count = 0;

  char text[16];
  std::snprintf(text, sizeof text, "%d", amount);
  if (std::strlen(text) > SCORE_TIP_CHARS) {
    logError(0, "%s: warning: value '%s' is longer than %d, truncated", fn, text, SCORE_TIP_CHARS);
    text[SCORE_TIP_CHARS] = '\0';
  }
  int offset = 0;
  for (const char* c = text; *c; c++) {
    int slot = -1;
    for (int i = 0; i < S.objectCount; i++)
      if (!S.objectUsed[i] && S.objects[i]) {
        slot = i;
        break;
      }
    if (slot < 0) {
      logError(0, "%s: no free slots in SCORE.DVBOS[], all %d occupied", fn, SCORE_DIGIT_OBJECTS);
      break;
    }
    // The minus sign of a negative value shows as a 0.
    const int digit = *c < '0' ? 0 : *c - '0';
    VBOBJ* o = S.objects[slot];
    S.objectUsed[slot] = 1;
    tip->digits[tip->count++] = slot;
    vbSetSprite(o, digitSprite(digit));
    if (o->sprite) vbSetFrame(o, 0);
    vbSetXY(o, tip->x + offset - 1, tip->y - 1);
    offset += digitWidth(digit) + 2;
  }
  return 1;
}

int scoreAddBig(int value) {
  game.score = wrapAdd(game.score, value);
  return value;
}

void gameBigScore(int value) {
  titleSetMacro("big_score", scoreFormat(value));
  startForeTitle("big_score");
  scoreAddBig(value);
}

const char* scoreFormat(int value) {
  static char buffer[32];
  if (value >= 1000000)
    std::snprintf(buffer, sizeof buffer, "%d.%03d.%03d", value / 1000000, value / 1000 % 1000, value % 1000);
  else if (value >= 1000)
    std::snprintf(buffer, sizeof buffer, "%d.%03d", value / 1000, value % 1000);
  else
    std::snprintf(buffer, sizeof buffer, "%d", value);
  return buffer;
}

int TIPWIDTH(int value) {
  if (value <= 0) return logError(1, "%s: score argument must be >0, SE", "TIPWIDTH()");
  int width = 0;
  for (; value > 0; value /= 10) width += digitWidth(value % 10) + 2;
  return width;
}

void scoreUpdateTips() {
  const long long now = nowMs();
  for (Tip& t : S.tips) {
    if (!t.active) continue;
    // Game time set back (a new session) restarts the rise rather than
    // showing frames before the first.
    long long elapsed = now - t.start;
    if (elapsed < 0) elapsed = 0;
    if (elapsed >= S.tipTime) {
      endTip(&t);
      continue;
    }
    const int y = static_cast<int>(t.y - elapsed * S.tipDist / S.tipTime);
    for (int i = 0; i < t.count; i++) {
      VBOBJ* o = S.objects[t.digits[i]];
      if (o->sprite) vbSetFrame(o, static_cast<int>(elapsed * o->sprite->numfrms / S.tipTime));
      vbSetXY(o, o->x, y);
    }
  }
}

int scoreSetupYear(ConfSet* gameConf) {
  constexpr const char* fn = "gameSetupObjects()";
  freeYear();
  ConfSet* conf = confOf(gameConf);
  int ok = 1;
  int perDigit = conf_getint(conf, "year.frames_per_digit", 1);
  if (perDigit < 1) {
    // DELIBERATE: fewer than one frame per digit would divide by zero; the
    // display runs with one.
    ok = logError(0, "%s: year.frames_per_digit %d is below 1, 1 used", fn, perDigit);
    perDigit = 1;
  }
  Y.framesPerDigit = perDigit;
  const char* pattern = conf_getstr(conf, "year.sprite", "year-undef-%d");
  for (int i = 0; i < YEAR_DIGITS; i++) {
    char name[8], path[260];
    strFormatN(name, sizeof name, "year%d", i + 1);
    strFormatNumbered(path, sizeof path, pattern, i + 1);
    Sprite* s = SPR_CREATE(path);
    if (!s) {
      ok = logError(0, "%s: error loading %s sprite '%s'", fn, name, path);
      continue;
    }
    Y.sprites[i] = sprOwn(s);
    const long long needed = 10LL * perDigit;
    if (s->numfrms < needed)
      ok = logError(0, "%s: %s sprite '%s' has %d frames, %lld needed", fn, name, path, s->numfrms, needed);
    VBOBJ* o = vbAddObject(s, 0, 0, 0);
    if (!o) {
      ok = logError(0, "%s: vbAddObject() returned error", fn);
      continue;
    }
    vbMakeSmart(o);
    Y.objects[i] = o;
  }
  Y.board = vbCurrent;
  Y.built = 1;
  gameSetYear(game.year);
  return ok;
}

void gameSetYear(double year) {
  game.year = year;
  if (!Y.built) {
    logError(0, "%s: lights not initialized", "gameSetYear()");
    return;
  }
  const long long perDigit = Y.framesPerDigit;
  // Years the display cannot show (negative, not a number, beyond any game)
  // show as 0.
  const double shown = year >= 0 && year < 1e15 ? year : 0.0;
  long long units = static_cast<long long>(std::floor(std::fmod(shown, 10.0) * perDigit));
  if (units > 10 * perDigit - 1) units = 10 * perDigit - 1;
  const long long whole = static_cast<long long>(shown) % 9999;
  const long long digits[YEAR_DIGITS] = {whole % 10, whole / 10 % 10, whole / 100 % 10, whole / 1000 % 10};
  const long long roll = units % perDigit;
  showYearFrame(Y.objects[3], units);
  bool carry = true;
  for (int k = 1; k < YEAR_DIGITS; k++) {
    carry = carry && digits[k - 1] == 9;
    showYearFrame(Y.objects[3 - k], digits[k] * perDigit + (carry ? roll : 0));
  }
}

void gameSetQuorum(double value) {
  if (value < 0) value = 0;
  if (value > 100) value = 100;
  // The quorum lamp lights when the gauge comes up to the vote's quorum.
  if (value >= QUORUM_VOTE && game.quorum < QUORUM_VOTE) gstatSample("evt:quorum");
  game.quorum = value;
}

