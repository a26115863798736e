#include "anim/page.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "core/log.h"
#include "core/text.h"
#include "gfx/font.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"

PageTables PAGE;

namespace {

PageContext* gActive = nullptr;
unsigned gSerial = 0;  // the last load's serial

// One plot's state: the page it writes to and whether anything was lost.
struct Plot {
  PageContext* page;
  int dropped;  // elements that found no room
};

// ---- elements -------------------------------------------------------------

PageElement* addElement(Plot* p) {
  PageContext* page = p->page;
  if (page->count >= PAGE_MAX_ELEMENTS) {
    ++p->dropped;
    return nullptr;
  }
  PageElement* e = &page->elements[page->count++];
  *e = PageElement{};
  return e;
}

void applyNone(PageSettings*, const PageElement*) {}
void applyHAlign(PageSettings* s, const PageElement* e) { s->hAlign = e->value; }
void applyHPos(PageSettings* s, const PageElement* e) { s->hPos = e->value; }
void applyVAlign(PageSettings* s, const PageElement* e) { s->vAlign = e->value; }
void applyVPos(PageSettings* s, const PageElement* e) { s->vPos = e->value; }

void addControl(Plot* p, int kind, PageApplyFn apply, int hFlag, int vFlag, int value) {
  PageElement* e = addElement(p);
  if (!e) return;
  e->kind = kind;
  e->apply = apply;
  e->hFlag = hFlag;
  e->vFlag = vFlag;
  e->value = value;
}

void addGlyph(Plot* p, Sprite* sprite, int frame, PageFont* font, PageSprite* spr, unsigned serial, int hSpacing,
              int vSpacing) {
  PageElement* e = addElement(p);
  if (!e) return;
  e->kind = PAGE_GLYPH;
  e->sprite = sprite;
  e->frame = frame;
  e->font = font;
  e->spr = spr;
  e->serial = serial;
  e->hSpacing = hSpacing;
  e->vSpacing = vSpacing;
}

// The frame a glyph element shows, or null when its font or sprite was freed
// since it was plotted.
const SprFrame* glyphFrame(const PageElement& e) {
  if (e.kind != PAGE_GLYPH) return nullptr;
  bool live = e.font ? e.font->inUse && e.font->serial == e.serial
                     : e.spr && e.spr->inUse && e.spr->serial == e.serial;
  if (!live || !e.sprite || !e.sprite->inUse || e.frame < 0 || e.frame >= e.sprite->numfrms) return nullptr;
  return &e.sprite->frames[e.frame];
}

int glyphWidth(const PageElement& e) {
  const SprFrame* f = glyphFrame(e);
  return f ? f->width : 0;
}

int glyphHeight(const PageElement& e) {
  const SprFrame* f = glyphFrame(e);
  return f ? f->height : 0;
}

// Removes the glyphs that show sprite (kept in order).
void removeGlyphsOf(PageContext* page, const Sprite* sprite) {
  if (!page) return;
  int kept = 0;
  for (int i = 0; i < page->count; ++i) {
    const PageElement& e = page->elements[i];
    if (e.kind == PAGE_GLYPH && e.sprite == sprite) continue;
    page->elements[kept++] = e;
  }
  if (kept != page->count) page->changed = 1;
  page->count = kept;
}

// ---- parameters -----------------------------------------------------------

int badParams(const char* tag, const char* params) {
  return logError(0, "%s: invalid tag parameters '%s'", tag, params ? params : "(null)");
}

// An integer within +-limit. The limits keep every sum of the layout (1000
// elements of frames up to 65535 pixels, spacings and positions) inside int.
bool readInt(const char* text, int limit, int* out) {
  const long* v = strToLong(text);
  if (!v || *v < -limit || *v > limit) return false;
  *out = static_cast<int>(*v);
  return true;
}

// size * percent / 100, truncated, within the coordinate limit.
bool readPercent(const char* text, int size, int* out) {
  const double* v = strToDouble(text);
  if (!v) return false;
  double r = size * *v / 100.0;
  if (!(std::fabs(r) <= static_cast<double>(PAGE_COORD_LIMIT))) return false;
  *out = static_cast<int>(r);
  return true;
}

bool isSeparator(char c) { return c == ' ' || c == '\t'; }

// Copies the next word of *text (cut to size - 1 characters) and moves past
// it; false when there is none.
bool nextWord(const char** text, char* out, size_t size) {
  const char* p = *text;
  while (isSeparator(*p)) ++p;
  const char* start = p;
  while (*p && !isSeparator(*p)) ++p;
  if (p == start) return false;
  size_t n = static_cast<size_t>(p - start);
  if (n > size - 1) n = size - 1;
  std::memcpy(out, start, n);
  out[n] = '\0';
  *text = p;
  return true;
}

// A NAME and a FILE, nothing after them.
bool readNameFile(const char* params, char* name, char* file) {
  if (!params) return false;
  const char* p = params;
  char rest[2];
  return nextWord(&p, name, PAGE_NAME_SIZE) && nextWord(&p, file, PAGE_TAG_SIZE) && !nextWord(&p, rest, sizeof rest);
}

// The one NAME a select or free tag takes, cut to a loaded name's size.
bool readName(const char* params, char* name) {
  if (!params) return false;
  const char* p = params;
  char rest[2];
  return nextWord(&p, name, PAGE_NAME_SIZE) && !nextWord(&p, rest, sizeof rest);
}

PageFont* findFont(const char* name) {
  for (PageFont& f : PAGE.FONTS) {
    if (f.inUse && std::strcmp(f.name, name) == 0) return &f;
  }
  return nullptr;
}

PageSprite* findSprite(const char* name) {
  for (PageSprite& s : PAGE.SPRITES) {
    if (s.inUse && std::strcmp(s.name, name) == 0) return &s;
  }
  return nullptr;
}

// ---- tags -----------------------------------------------------------------

struct PageTag;
// Checks and carries out the tag; for a tag with an apply function also
// stores the control element's value. 1 or 0 after logging.
using PageTagFn = int (*)(Plot* p, const PageTag* tag, const char* params, int* value);

struct PageTag {
  const char* name;
  const char* logName;  // the tag in braces: the name its messages carry
  int code;
  PageTagFn handler;
  PageApplyFn apply;  // null: the tag adds no control element
  int hFlag, vFlag;
};

int tagHAlign(Plot*, const PageTag* t, const char*, int* value) {
  *value = t->code == PAGE_LEFT ? PAGE_ALIGN_START : t->code == PAGE_RIGHT ? PAGE_ALIGN_END : PAGE_ALIGN_CENTER;
  return 1;
}

int tagVAlign(Plot*, const PageTag* t, const char*, int* value) {
  *value = t->code == PAGE_TOP ? PAGE_ALIGN_START : t->code == PAGE_BOTTOM ? PAGE_ALIGN_END : PAGE_ALIGN_CENTER;
  return 1;
}

int tagPos(Plot*, const PageTag* t, const char* params, int* value) {
  if (!readInt(params, PAGE_COORD_LIMIT, value)) return badParams(t->logName, params);
  return 1;
}

int tagHPosPercent(Plot* p, const PageTag* t, const char* params, int* value) {
  if (!readPercent(params, p->page->width, value)) return badParams(t->logName, params);
  return 1;
}

int tagVPosPercent(Plot* p, const PageTag* t, const char* params, int* value) {
  if (!readPercent(params, p->page->height, value)) return badParams(t->logName, params);
  return 1;
}

int tagBegin(Plot*, const PageTag*, const char*, int*) { return 1; }

int tagReset(Plot* p, const PageTag*, const char*, int*) {
  PageContext* page = p->page;
  page->count = 0;
  page->start = page->settings = PageSettings{};
  page->changed = 1;
  return 1;
}

int tagBgColor(Plot* p, const PageTag* t, const char* params, int*) {
  if (!params) return badParams(t->logName, params);
  char parts[3][32];
  const char* q = params;
  for (int i = 0; i < 3; ++i) {
    const char* end = std::strchr(q, ',');
    if (i == 2 ? end != nullptr : end == nullptr) return badParams(t->logName, params);
    size_t n = end ? static_cast<size_t>(end - q) : std::strlen(q);
    if (n >= sizeof parts[i]) return badParams(t->logName, params);
    std::memcpy(parts[i], q, n);
    parts[i][n] = '\0';
    q = end ? end + 1 : q + n;
  }
  int rgb[3];
  for (int i = 0; i < 3; ++i) {
    const long* v = strToLong(parts[i]);
    if (!v || *v < 0 || *v > 255) return badParams(t->logName, params);
    rgb[i] = static_cast<int>(*v);
  }
  std::memcpy(p->page->bgColor, rgb, sizeof rgb);
  return 1;
}

int tagFontLoad(Plot*, const PageTag* t, const char* params, int*) {
  char name[PAGE_NAME_SIZE], file[PAGE_TAG_SIZE];
  if (!readNameFile(params, name, file)) return badParams(t->logName, params);
  if (findFont(name)) {
    logPrint("%s: warning: font '%s' already loaded, skipping", t->logName, name);
    return 1;
  }
  PageFont* slot = nullptr;
  for (PageFont& f : PAGE.FONTS) {
    if (!f.inUse) {
      slot = &f;
      break;
    }
  }
  if (!slot) return logError(0, "%s: no free slots in PAGE.FONTS[], all %d occupied", t->logName, PAGE_MAX_FONTS);
  Font* font = FNT_CREATE_ALT(file, name);
  if (!font) return logError(0, "%s: error loading font from '%s'", t->logName, file);
  *slot = PageFont{};
  slot->inUse = 1;
  strCopyN(slot->name, name, sizeof slot->name);
  slot->font = font;
  slot->serial = ++gSerial;
  return 1;
}

int tagFontSelect(Plot* p, const PageTag* t, const char* params, int*) {
  if (!params) return logError(0, "%s: NULL tag parameters", t->logName);
  char name[PAGE_NAME_SIZE];
  if (!readName(params, name)) return badParams(t->logName, params);
  PageFont* f = findFont(name);
  if (!f) return logError(0, "%s: font '%s' not loaded", t->logName, name);
  p->page->curFont = f;
  return 1;
}

int tagFontFree(Plot* p, const PageTag* t, const char* params, int*) {
  if (!params) return logError(0, "%s: NULL tag parameters", t->logName);
  char name[PAGE_NAME_SIZE];
  if (!readName(params, name)) return badParams(t->logName, params);
  PageFont* f = findFont(name);
  if (!f) return logError(0, "%s: font '%s' not loaded", t->logName, name);
  removeGlyphsOf(p->page, f->font->chars);
  if (p->page->curFont == f) p->page->curFont = nullptr;
  FNT_FREE(f->font);
  *f = PageFont{};
  return 1;
}

int tagFontSpacing(Plot* p, const PageTag* t, const char* params, int*) {
  PageFont* f = p->page->curFont;
  if (!f || !f->inUse) return logError(0, "%s: curFont is NULL", t->logName);
  int v;
  if (!readInt(params, PAGE_SPACING_LIMIT, &v)) return badParams(t->logName, params);
  (t->code == PAGE_FONT_HSPACING ? f->hSpacing : f->vSpacing) = v;
  return 1;
}

int tagSprLoad(Plot*, const PageTag* t, const char* params, int*) {
  char name[PAGE_NAME_SIZE], file[PAGE_TAG_SIZE];
  if (!readNameFile(params, name, file)) return badParams(t->logName, params);
  if (findSprite(name)) {
    logPrint("%s: warning: sprite '%s' already loaded, skipping", t->logName, name);
    return 1;
  }
  PageSprite* slot = nullptr;
  for (PageSprite& s : PAGE.SPRITES) {
    if (!s.inUse) {
      slot = &s;
      break;
    }
  }
  if (!slot) {
    return logError(0, "%s: no free slots in PAGE.SPRITES[], all %d occupied", t->logName, PAGE_MAX_SPRITES);
  }
  Sprite* sprite = SPR_CREATE_ALT(file, name);
  if (!sprite) return logError(0, "%s: error loading sprite from '%s'", t->logName, file);
  *slot = PageSprite{};
  slot->inUse = 1;
  strCopyN(slot->name, name, sizeof slot->name);
  slot->sprite = sprite;
  slot->serial = ++gSerial;
  return 1;
}

int tagSprSelect(Plot* p, const PageTag* t, const char* params, int*) {
  if (!params) return logError(0, "%s: NULL tag parameters", t->logName);
  char name[PAGE_NAME_SIZE];
  if (!readName(params, name)) return badParams(t->logName, params);
  PageSprite* s = findSprite(name);
  if (!s) return logError(0, "%s: sprite '%s' not loaded", t->logName, name);
  p->page->curSprite = s;
  return 1;
}

int tagSprFree(Plot* p, const PageTag* t, const char* params, int*) {
  if (!params) return logError(0, "%s: NULL tag parameters", t->logName);
  char name[PAGE_NAME_SIZE];
  if (!readName(params, name)) return badParams(t->logName, params);
  PageSprite* s = findSprite(name);
  if (!s) return logError(0, "%s: sprite '%s' not loaded", t->logName, name);
  removeGlyphsOf(p->page, s->sprite);
  if (p->page->curSprite == s) p->page->curSprite = nullptr;
  SPR_FREE(s->sprite);
  *s = PageSprite{};
  return 1;
}

int tagSprPut(Plot* p, const PageTag* t, const char* params, int*) {
  PageSprite* s = p->page->curSprite;
  if (!s) return logError(0, "%s: curSprite is NULL", t->logName);
  if (!s->inUse || !s->sprite || !s->sprite->inUse) return logError(0, "%s: curSprite is not valid", t->logName);
  const long* v = strToLong(params);
  if (!v) return badParams(t->logName, params);
  int last = s->sprite->numfrms - 1;
  if (*v < 0 || *v > last) {
    // Print the frame as the text gave it when it does not fit an int.
    if (*v < -PAGE_COORD_LIMIT || *v > PAGE_COORD_LIMIT) return badParams(t->logName, params);
    return logError(0, "%s: frame %d is invalid (not in [0..%d])", t->logName, static_cast<int>(*v), last);
  }
  addGlyph(p, s->sprite, static_cast<int>(*v), nullptr, s, s->serial, s->hSpacing, s->vSpacing);
  return 1;
}

int tagSprSpacing(Plot* p, const PageTag* t, const char* params, int*) {
  PageSprite* s = p->page->curSprite;
  if (!s || !s->inUse) return logError(0, "%s: curSprite is NULL", t->logName);
  int v;
  if (!readInt(params, PAGE_SPACING_LIMIT, &v)) return badParams(t->logName, params);
  (t->code == PAGE_SPR_HSPACING ? s->hSpacing : s->vSpacing) = v;
  return 1;
}

// The first entry whose name begins the tag text is taken, so a name that
// begins another ("hpos" and "hposp") comes after it.
const PageTag kTags[] = {
    {"left", "{left}", PAGE_LEFT, tagHAlign, applyHAlign, 1, 0},
    {"right", "{right}", PAGE_RIGHT, tagHAlign, applyHAlign, 1, 0},
    {"center", "{center}", PAGE_CENTER, tagHAlign, applyHAlign, 1, 0},
    {"hposp", "{hposp}", PAGE_HPOS, tagHPosPercent, applyHPos, 1, 0},
    {"hpos", "{hpos}", PAGE_HPOS, tagPos, applyHPos, 1, 0},
    {"top", "{top}", PAGE_TOP, tagVAlign, applyVAlign, 0, 1},
    {"bottom", "{bottom}", PAGE_BOTTOM, tagVAlign, applyVAlign, 0, 1},
    {"vcenter", "{vcenter}", PAGE_VCENTER, tagVAlign, applyVAlign, 0, 1},
    {"vposp", "{vposp}", PAGE_VPOS, tagVPosPercent, applyVPos, 0, 1},
    {"vpos", "{vpos}", PAGE_VPOS, tagPos, applyVPos, 0, 1},
    {"spr load", "{spr load}", PAGE_SPR_LOAD, tagSprLoad, nullptr, 0, 0},
    {"spr select", "{spr select}", PAGE_SPR_SELECT, tagSprSelect, nullptr, 0, 0},
    {"spr free", "{spr free}", PAGE_SPR_FREE, tagSprFree, nullptr, 0, 0},
    {"spr put", "{spr put}", PAGE_SPR_PUT, tagSprPut, nullptr, 0, 0},
    {"spr hspacing", "{spr hspacing}", PAGE_SPR_HSPACING, tagSprSpacing, nullptr, 0, 0},
    {"spr vspacing", "{spr vspacing}", PAGE_SPR_VSPACING, tagSprSpacing, nullptr, 0, 0},
    {"font load", "{font load}", PAGE_FONT_LOAD, tagFontLoad, nullptr, 0, 0},
    {"font select", "{font select}", PAGE_FONT_SELECT, tagFontSelect, nullptr, 0, 0},
    {"font free", "{font free}", PAGE_FONT_FREE, tagFontFree, nullptr, 0, 0},
    {"font hspacing", "{font hspacing}", PAGE_FONT_HSPACING, tagFontSpacing, nullptr, 0, 0},
    {"font vspacing", "{font vspacing}", PAGE_FONT_VSPACING, tagFontSpacing, nullptr, 0, 0},
    {"bgcolor", "{bgcolor}", PAGE_BGCOLOR, tagBgColor, nullptr, 0, 0},
    {"reset", "{reset}", PAGE_RESET, tagReset, nullptr, 0, 0},
    {"begin", "{begin}", PAGE_BEGIN, tagBegin, applyNone, 1, 1},
};

const PageTag* findTag(const char* text) {
  for (const PageTag& t : kTags) {
    if (std::strncmp(text, t.name, std::strlen(t.name)) == 0) return &t;
  }
  logError(0, "%s: invalid tag '%s'", "findTag()", text);
  return nullptr;
}

// Runs one tag (its text without the braces). 1 or 0 after logging.
int runTag(Plot* p, const char* text) {
  const PageTag* t = findTag(text);
  if (!t) return 0;
  size_t len = std::strlen(t->name);
  const char* params = text[len] ? text + len + 1 : nullptr;
  int value = 0;
  if (!t->handler(p, t, params, &value)) return 0;
  if (t->apply) addControl(p, t->code, t->apply, t->hFlag, t->vFlag, value);
  return 1;
}

void plotChar(Plot* p, unsigned char c) {
  PageFont* f = p->page->curFont;
  if (!f || !f->inUse) return;
  Sprite* chars = f->font->chars;
  int frame = f->font->map[c];
  // DELIBERATE: a character that the font maps past its last glyph is left
  // out here instead of becoming an element whose frame can't be drawn.
  if (frame >= chars->numfrms) return;
  addGlyph(p, chars, frame, f, nullptr, f->serial, f->hSpacing, f->vSpacing);
}

// ---- layout ---------------------------------------------------------------

int alignStart(int pos, int align, int size, int extent) {
  if (pos) return align == PAGE_ALIGN_END ? pos - extent : align == PAGE_ALIGN_CENTER ? pos - extent / 2 : pos;
  return align == PAGE_ALIGN_END ? size - extent : align == PAGE_ALIGN_CENTER ? (size - extent) / 2 : 0;
}

void layoutHorizontal(PageContext* page, PageSettings* s) {
  PageElement* el = page->elements;
  int n = page->count;
  for (int i = 0; i < n;) {
    if (el[i].kind != PAGE_GLYPH) {
      if (el[i].hFlag && el[i].apply) el[i].apply(s, &el[i]);
      ++i;
      continue;
    }
    int end = i, width = 0;
    for (; end < n && el[end].kind == PAGE_GLYPH; ++end) {
      width += glyphWidth(el[end]);
      if (end + 1 < n && el[end + 1].kind == PAGE_GLYPH) width += el[end].hSpacing;
    }
    int x = page->originX + alignStart(s->hPos, s->hAlign, page->width, width);
    for (; i < end; ++i) {
      el[i].x = x;
      x += glyphWidth(el[i]) + el[i].hSpacing;
    }
  }
}

// The height of the last glyph seen and its vertical spacing: what a line
// break advances by.
struct LineMetrics {
  int height, spacing;
};

bool endsBlock(const PageElement& e) { return e.kind != PAGE_GLYPH && e.vFlag && e.kind != PAGE_LINEBREAK; }

void layoutVertical(PageContext* page, PageSettings* s) {
  PageElement* el = page->elements;
  int n = page->count;
  LineMetrics last{0, 0};
  for (int i = 0; i < n;) {
    if (endsBlock(el[i])) {
      if (el[i].apply) el[i].apply(s, &el[i]);
      ++i;
      continue;
    }
    int end = i;
    while (end < n && !endsBlock(el[end])) ++end;
    // Measure the block: every line break advances, and a last line without
    // a break after it adds its height.
    LineMetrics m = last;
    int height = 0;
    bool open = false;
    for (int k = i; k < end; ++k) {
      if (el[k].kind == PAGE_GLYPH) {
        m = {glyphHeight(el[k]), el[k].vSpacing};
        open = true;
      } else if (el[k].kind == PAGE_LINEBREAK) {
        height += m.height + m.spacing;
        open = false;
      }
    }
    if (open) height += m.height;
    int y = page->originY + alignStart(s->vPos, s->vAlign, page->height, height);
    for (; i < end; ++i) {
      if (el[i].kind == PAGE_GLYPH) {
        el[i].y = y;
        last = {glyphHeight(el[i]), el[i].vSpacing};
      } else if (el[i].kind == PAGE_LINEBREAK) {
        y += last.height + last.spacing;
      }
    }
  }
}

void layout(PageContext* page) {
  PageSettings s = page->start;
  layoutHorizontal(page, &s);
  layoutVertical(page, &s);
  page->settings = s;
  page->changed = 0;
}

// The settings in force after every element of the page.
PageSettings settingsAtEnd(const PageContext* page) {
  PageSettings s = page->start;
  for (int i = 0; i < page->count; ++i) {
    const PageElement& e = page->elements[i];
    if (e.kind != PAGE_GLYPH && e.apply) e.apply(&s, &e);
  }
  return s;
}

void freeFont(PageFont* f) {
  if (f->inUse) FNT_FREE(f->font);
  *f = PageFont{};
}

void freeSprite(PageSprite* s) {
  if (s->inUse) SPR_FREE(s->sprite);
  *s = PageSprite{};
}

}  // namespace

int pageCreate(PageContext* page, int width, int height) {
  const char* fn = "pageCreate()";
  if (!page) return logError(0, "%s: NULL page context, SE", fn);
  if (width < 0 || height < 0 || width > PAGE_COORD_LIMIT || height > PAGE_COORD_LIMIT) {
    return logError(0, "%s: invalid page size %dx%d", fn, width, height);
  }
  *page = PageContext{};
  page->width = width;
  page->height = height;
  return 1;
}

PageContext* pageSelect(PageContext* page) {
  PageContext* previous = gActive;
  gActive = page;
  return previous;
}

PageContext* pageActive() { return gActive; }

int pagePlot(const char* text) {
  const char* fn = "pagePlot()";
  if (!gActive) return logError(0, "%s: no active page", fn);
  if (!text || !*text) return 1;
  Plot p{gActive, 0};
  int ok = 1;
  const char* c = text;
  while (*c) {
    if (c[0] == '\\' && c[1] == 'n') {
      addControl(&p, PAGE_LINEBREAK, applyNone, 1, 1, 0);
      c += 2;
    } else if (c[0] == '\\' && c[1] == '{') {
      plotChar(&p, '{');
      c += 2;
    } else if (c[0] == '{') {
      const char* body = c + 1;
      const char* close = std::strchr(body, '}');
      size_t len;
      if (close) {
        len = static_cast<size_t>(close - body);
        c = close + 1;
      } else {
        logError(0, "%s: no closing '}' found (at '%s')", fn, c);
        ok = 0;
        len = std::strlen(body);
        c = body + len;
      }
      // DELIBERATE: a tag text is cut to PAGE_TAG_SIZE - 1 characters, so
      // that a page text from a data file can't run past a fixed buffer.
      char tag[PAGE_TAG_SIZE];
      if (len > sizeof tag - 1) len = sizeof tag - 1;
      std::memcpy(tag, body, len);
      tag[len] = '\0';
      if (!runTag(&p, tag)) ok = 0;
    } else {
      // A backslash before anything but 'n' and '{' is drawn as itself.
      plotChar(&p, static_cast<unsigned char>(*c));
      ++c;
    }
  }
  gActive->changed = 1;
  if (p.dropped) {
    return logError(0, "%s: no free slots in PAGE.ELEMENTS[], all %d occupied (%d dropped)", fn,
                    PAGE_MAX_ELEMENTS, p.dropped);
  }
  return ok;
}

int pageUnplot() {
  if (!gActive) return logError(0, "%s: no active page", "pageUnplot()");
  gActive->start = settingsAtEnd(gActive);
  gActive->count = 0;
  gActive->changed = 1;
  return 1;
}

int pageDraw(int x, int y) {
  const char* fn = "pageDraw()";
  if (!gActive) return logError(0, "%s: no active page", fn);
  if (!gsCurrent) return logError(0, "%s: no active game screen", fn);
  if (gActive->changed) layout(gActive);
  for (int i = 0; i < gActive->count; ++i) {
    const PageElement& e = gActive->elements[i];
    if (!glyphFrame(e)) continue;
    long long gx = static_cast<long long>(x) + e.x, gy = static_cast<long long>(y) + e.y;
    if (gx < INT_MIN || gx > INT_MAX || gy < INT_MIN || gy > INT_MAX) continue;
    int px = static_cast<int>(gx), py = static_cast<int>(gy);
    int rc = e.sprite->alpha ? SPR_PUT_ALPHA(e.sprite, e.frame, px, py) : SPR_PUT_COMMON(e.sprite, e.frame, px, py);
    if (rc < 0) return logError(0, "%s: error drawing element %d", fn, i);
  }
  return 1;
}

void pageFreeFonts() {
  for (PageFont& f : PAGE.FONTS) freeFont(&f);
}

void pageFreeSprites() {
  for (PageSprite& s : PAGE.SPRITES) freeSprite(&s);
}
