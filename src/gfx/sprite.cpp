// Sprites: the SPRITES[] table, loading and checking .gsp files, conversion to
// the screen's pixel format, clones and background grabbing, the list.
// The blitters are in sprite_blit.cpp.
#include "gfx/sprite.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/bytes.h"
#include "core/log.h"
#include "core/text.h"
#include "gfx/pack.h"
#include "gfx/screen.h"

Sprite SPRITES[SPR_MAX];

namespace {

struct ModelInfo {
  const GdevPixelFormat* format;
  int bytes;
  bool alpha;
};

// Colour models 1..7; 0 and 3 are unknown.
constexpr ModelInfo kModels[8] = {
    {nullptr, 0, false},         {&GDEV_FORMAT_555, 2, false}, {&GDEV_FORMAT_888, 3, false},
    {nullptr, 0, false},         {&GDEV_FORMAT_555, 2, true},  {&GDEV_FORMAT_888, 3, true},
    {&GDEV_FORMAT_565, 2, false}, {&GDEV_FORMAT_565, 2, true},
};

const ModelInfo* modelInfo(int cm) {
  if (cm < 0 || cm >= 8 || !kModels[cm].format) return nullptr;
  return &kModels[cm];
}

Sprite* freeSlot(const char* fn) {
  for (Sprite& s : SPRITES) {
    if (!s.inUse) return &s;
  }
  logError(0, "%s: no free slots in SPRITES[], all %d occupied", fn, SPR_MAX);
  return nullptr;
}

// Releases what a record owns and zeroes it.
void release(Sprite* s) {
  std::free(s->frames);
  std::free(s->data);
  *s = Sprite{};
}

// The result of checking one stream.
struct StreamCheck {
  bool ok;
  int reachX, reachY;
  char why[128];
};

StreamCheck refuse(const char* format, ...) PB_PRINTF(1, 2);
StreamCheck refuse(const char* format, ...) {
  StreamCheck c{};
  va_list args;
  va_start(args, format);
  std::vsnprintf(c.why, sizeof c.why, format, args);
  va_end(args);
  return c;
}

// Walks a stream of bpp-byte pixels once and proves that the blitters can
// walk it without bounds checks: every code and its operands lie inside the
// stream, counts are whole pixels and at most GSP_MAX_COUNT, an end code
// closes it, and the cursor stays within GSP_MAX_REACH rows and columns.
StreamCheck checkStream(const uint8_t* s, size_t size, int bpp, bool runAlpha) {
  size_t i = 0;
  long row = 0, col = 0, lastRow = -1, maxCol = 0;  // col in bytes
  for (;;) {
    if (i >= size) return refuse("no end code in %zu bytes", size);
    size_t at = i;
    unsigned code = s[i++];
    if (code == GSP_CODE_END) break;
    if (code == GSP_CODE_LINEFEED) {
      if (i >= size) return refuse("line feed at byte %zu has no count", at);
      row += s[i++];
      col = 0;
      if (row > GSP_MAX_REACH) return refuse("line feed at byte %zu goes below row %d", at, GSP_MAX_REACH);
      continue;
    }
    if (code % static_cast<unsigned>(bpp) != 0)
      return refuse("skip of %u bytes at byte %zu is not whole pixels", code, at);
    if (i >= size) return refuse("run at byte %zu has no length", at);
    unsigned run = s[i++];
    if (run > GSP_MAX_COUNT) return refuse("run of %u bytes at byte %zu is longer than %d", run, at, GSP_MAX_COUNT);
    if (run % static_cast<unsigned>(bpp) != 0)
      return refuse("run of %u bytes at byte %zu is not whole pixels", run, at);
    if (run > 0 && runAlpha) {
      if (i >= size) return refuse("run at byte %zu has no alpha byte", at);
      ++i;
    }
    if (run > size - i)
      return refuse("run of %u bytes at byte %zu goes past the stream end (%zu bytes)", run, at, size);
    i += run;
    col += code + run;
    if (col / bpp > GSP_MAX_REACH)
      return refuse("run at byte %zu goes beyond column %d", at, GSP_MAX_REACH);
    if (run > 0) {
      lastRow = row;
      maxCol = std::max(maxCol, col);
    }
  }
  StreamCheck c{};
  c.ok = true;
  c.reachX = static_cast<int>(maxCol / bpp);
  c.reachY = static_cast<int>(lastRow + 1);
  return c;
}

// Channel shifts of one pixel conversion.
struct PixelMap {
  int fromBytes, toBytes;
  uint32_t mask[3];
  int fromPos[3], fromAdjust[3], toPos[3], toAdjust[3];
};

PixelMap pixelMap(const GdevPixelFormat& from, int fromBytes, const GdevPixelFormat& to, int toBytes) {
  return PixelMap{fromBytes,
                  toBytes,
                  {static_cast<uint32_t>(from.redMask), static_cast<uint32_t>(from.greenMask),
                   static_cast<uint32_t>(from.blueMask)},
                  {from.redPos, from.greenPos, from.bluePos},
                  {from.redAdjust, from.greenAdjust, from.blueAdjust},
                  {to.redPos, to.greenPos, to.bluePos},
                  {to.redAdjust, to.greenAdjust, to.blueAdjust}};
}

// Every channel widened to eight bits without filling the low bits, then
// narrowed into the target format; both pixels little-endian.
void convertPixel(const PixelMap& m, const uint8_t* in, uint8_t* out) {
  uint32_t v = 0;
  for (int k = 0; k < m.fromBytes; ++k) v |= static_cast<uint32_t>(in[k]) << (8 * k);
  uint32_t w = 0;
  for (int ch = 0; ch < 3; ++ch) {
    uint32_t c8 = (((v >> m.fromPos[ch]) & m.mask[ch]) << m.fromAdjust[ch]) & 0xFF;
    w |= (c8 >> m.toAdjust[ch]) << m.toPos[ch];
  }
  for (int k = 0; k < m.toBytes; ++k) out[k] = static_cast<uint8_t>(w >> (8 * k));
}

// Rewrites one checked stream into the target format; with out null only
// counts. Skips and runs longer than the largest whole-pixel count L become
// (L, 0) pairs and extra runs behind an empty skip.
size_t convertStream(const uint8_t* in, const PixelMap& m, bool runAlpha, uint8_t* out) {
  const int limit = GSP_MAX_COUNT - GSP_MAX_COUNT % m.toBytes;
  size_t o = 0;
  auto put = [&](unsigned byte) {
    if (out) out[o] = static_cast<uint8_t>(byte);
    ++o;
  };
  const uint8_t* p = in;
  for (;;) {
    unsigned code = *p++;
    if (code == GSP_CODE_END) {
      put(code);
      return o;
    }
    if (code == GSP_CODE_LINEFEED) {
      put(code);
      put(*p++);
      continue;
    }
    long skip = static_cast<long>(code / m.fromBytes) * m.toBytes;
    while (skip > limit) {
      put(limit);
      put(0);
      skip -= limit;
    }
    put(static_cast<unsigned>(skip));
    unsigned run = *p++;
    if (run == 0) {
      put(0);
      continue;
    }
    unsigned alpha = runAlpha ? *p++ : 0;
    long bytes = static_cast<long>(run / m.fromBytes) * m.toBytes;
    for (bool first = true; bytes > 0; first = false) {
      long chunk = std::min<long>(bytes, limit);
      if (!first) put(0);
      put(static_cast<unsigned>(chunk));
      if (runAlpha) put(alpha);
      for (long k = 0; k < chunk; k += m.toBytes) {
        if (out) convertPixel(m, p, out + o);
        o += static_cast<size_t>(m.toBytes);
        p += m.fromBytes;
      }
      bytes -= chunk;
    }
  }
}

// Converts a loaded sprite (valid or not yet) to the screen's format.
int convertTo(Sprite* s, const gscr* screen, const char* fn) {
  const int to = screen->bytesPerPixel;
  if (to < 1 || to > 4) {
    return logError(-1, "%s: screens of %d bytes per pixel are not supported", fn, to);
  }
  if (s->bytesPerPixel == to && gdevFormatEqual(&s->pixelFormat, &screen->pixelFormat)) return 0;
  PixelMap m = pixelMap(s->pixelFormat, s->bytesPerPixel, screen->pixelFormat, to);
  size_t total = 0;
  for (int i = 0; i < s->numfrms; ++i) {
    if (s->frames[i].size > 0) total += convertStream(s->frames[i].stream, m, s->alpha, nullptr);
  }
  if (total > static_cast<size_t>(GSP_MAX_DATA) * 2) {
    return logError(-1, "%s: error allocating %lld bytes of memory", fn, static_cast<long long>(total));
  }
  auto* data = static_cast<uint8_t*>(std::malloc(total ? total : 1));
  if (!data) return logError(-1, "%s: error allocating %d bytes of memory", fn, static_cast<int>(total));
  size_t at = 0;
  for (int i = 0; i < s->numfrms; ++i) {
    SprFrame& f = s->frames[i];
    size_t n = f.size > 0 ? convertStream(f.stream, m, s->alpha, data + at) : 0;
    f.stream = data + at;
    f.size = static_cast<int>(n);
    s->maxfrm = std::max(s->maxfrm, f.size);
    at += n;
  }
  std::free(s->data);
  s->data = data;
  s->pixelFormat = screen->pixelFormat;
  s->bytesPerPixel = to;
  return 0;
}

// Where a loader reads its pack from.
struct PackSource {
  const char* path;   // a file, or null
  const void* bytes;  // an image in memory
  size_t size;
};

// Reads exactly len bytes of the selected section; the count read.
long readFully(int h, uint8_t* dst, long len) {
  long got = 0;
  while (got < len) {
    long n = PF_READ(h, dst + got, static_cast<size_t>(len - got));
    if (n <= 0) break;
    got += n;
  }
  return got;
}

Sprite* abandon(Sprite* t, int pack) {
  if (pack >= 0) PF_CLOSE(pack);
  release(t);
  return nullptr;
}

Sprite* load(const char* fn, const PackSource& src, const char* label, const char* name, int flags) {
  Sprite* slot = freeSlot(fn);
  if (!slot) return nullptr;
  Sprite t{};
  int h = src.path ? PF_OPEN(src.path, PF_MODE_READ, 0) : PF_OPENMEM(src.bytes, src.size, label);
  if (h < 0) {
    logError(0, "%s: error opening file '%s'", fn, label);
    return nullptr;
  }

  if (PF_SELECT(h, pfSectionId("gsphdr")) < 0) {
    logError(0, "%s: couldn't select header section '%s'", fn, "gsphdr");
    return abandon(&t, h);
  }
  uint8_t hdr[GSP_HEADER_SIZE];
  if (readFully(h, hdr, GSP_HEADER_SIZE) != GSP_HEADER_SIZE) {
    logError(0, "%s: error reading the GSP header", fn);
    return abandon(&t, h);
  }
  ByteReader hr = brOpen(hdr);
  unsigned version = brBe<uint16_t>(&hr);
  if (version != GSP_VERSION) {
    logError(0, "%s: invalid header version 0x%04X, reader version is 0x%04X", fn, version, GSP_VERSION);
    return abandon(&t, h);
  }
  t.cm = brU8(&hr);
  t.numfrms = brBe<int32_t>(&hr);
  t.maxfrm = brBe<int32_t>(&hr);
  if (t.numfrms < 1 || t.maxfrm < 1 || t.maxfrm > GSP_MAX_MAXFRM) {
    logError(0, "%s: invalid header information (numfrm-%d maxfrm-%d)", fn, t.numfrms, t.maxfrm);
    return abandon(&t, h);
  }
  // Every frame needs a section of its own besides the header: a count the
  // directory cannot hold is damage, and must not size an allocation.
  const PfRecord* records = nullptr;
  int recordCount = pfDirectory(h, &records);
  int sections = 0;
  for (int i = 0; i < recordCount; ++i) sections += records[i].type == PF_SECTION;
  if (t.numfrms > sections - 1) {
    logError(0, "%s: '%s' claims %d frames, its directory has %d frame sections", fn, label, t.numfrms,
             std::max(sections - 1, 0));
    return abandon(&t, h);
  }
  const ModelInfo* model = modelInfo(t.cm);
  if (!model) {
    logError(0, "%s: unknown colour model %d in '%s'", fn, t.cm, label);
    return abandon(&t, h);
  }
  size_t headerBytes = static_cast<size_t>(t.numfrms) * sizeof(SprFrame);
  t.frames = static_cast<SprFrame*>(std::calloc(static_cast<size_t>(t.numfrms), sizeof(SprFrame)));
  if (!t.frames) {
    logError(0, "%s: not enough memory for frame headers (%d bytes)", fn, static_cast<int>(headerBytes));
    return abandon(&t, h);
  }
  t.alpha = model->alpha ? 1 : 0;
  t.pixelFormat = *model->format;
  t.bytesPerPixel = model->bytes;

  // First pass: the size of all streams.
  long long total = 0;
  for (int i = 0; i < t.numfrms; ++i) {
    if (PF_SELECT(h, i) < 0) {
      logError(0, "%s: couldn't select section of frame %d", fn, i);
      return abandon(&t, h);
    }
    long len = PF_LENGTH(h);
    if (len < 0) {
      logError(0, "%s: couldn't get section %d length, possible SE", fn, i);
      return abandon(&t, h);
    }
    if (len < GSP_FRAME_HEADER_SIZE) {
      logError(0, "%s: damaged frame %d in '%s': section of %ld bytes has no room for the %d-byte header", fn,
               i, label, len, GSP_FRAME_HEADER_SIZE);
      return abandon(&t, h);
    }
    t.frames[i].size = static_cast<int>(len - GSP_FRAME_HEADER_SIZE);
    total += len - GSP_FRAME_HEADER_SIZE;
  }
  if (total > GSP_MAX_DATA) {
    logError(0, "%s: '%s' holds %lld bytes of frames, more than %d", fn, label, total,
             static_cast<int>(GSP_MAX_DATA));
    return abandon(&t, h);
  }
  t.data = static_cast<uint8_t*>(std::malloc(total ? static_cast<size_t>(total) : 1));
  if (!t.data) {
    logError(0, "%s: not enough memory for frame %d data (%d bytes)", fn, 0, static_cast<int>(total));
    return abandon(&t, h);
  }

  // Second pass: headers and streams, each stream checked.
  size_t at = 0;
  for (int i = 0; i < t.numfrms; ++i) {
    SprFrame& f = t.frames[i];
    uint8_t fh[GSP_FRAME_HEADER_SIZE];
    long got = PF_SELECT(h, i) < 0 ? 0 : readFully(h, fh, GSP_FRAME_HEADER_SIZE);
    if (got != GSP_FRAME_HEADER_SIZE) {
      logError(0, "%s: frame %d read error (read-%d expected-%d)", fn, i, static_cast<int>(got),
               GSP_FRAME_HEADER_SIZE);
      return abandon(&t, h);
    }
    f.stream = t.data + at;
    got = readFully(h, f.stream, f.size);
    if (got != f.size) {
      logError(0, "%s: frame %d read error (read-%d expected-%d)", fn, i, static_cast<int>(got), f.size);
      return abandon(&t, h);
    }
    at += static_cast<size_t>(f.size);
    ByteReader fr = brOpen(fh);
    f.width = brBe<uint16_t>(&fr);
    f.height = brBe<uint16_t>(&fr);
    f.x0 = brBe<uint16_t>(&fr);
    f.x1 = brBe<uint16_t>(&fr);
    f.y0 = brBe<uint16_t>(&fr);
    f.y1 = brBe<uint16_t>(&fr);
    if (f.x0 >= f.x1 || f.y0 >= f.y1) f.x0 = f.x1 = f.y0 = f.y1 = 0;
    StreamCheck c = checkStream(f.stream, static_cast<size_t>(f.size), t.bytesPerPixel, t.alpha != 0);
    if (!c.ok) {
      logError(0, "%s: damaged frame %d in '%s': %s", fn, i, label, c.why);
      return abandon(&t, h);
    }
    f.reachX = c.reachX;
    f.reachY = c.reachY;
    t.maxfrm = std::max(t.maxfrm, f.size);
  }
  PF_CLOSE(h);

  if (!(flags & SPR_LOAD_RAW)) {
    if (!gsCurrent) {
      logError(0, "%s: gsCurrent is NULL, SE", fn);
      return abandon(&t, -1);
    }
    if (convertTo(&t, gsCurrent, "SPR_CONVERT()") < 0) {
      logError(0, "%s: error converting sprite '%s'", fn, label);
      return abandon(&t, -1);
    }
  }
  t.inUse = 1;
  strCopyN(t.name, name ? name : label, sizeof t.name);
  *slot = t;
  return slot;
}

}  // namespace

const GdevPixelFormat* gspModelFormat(int cm) {
  const ModelInfo* m = modelInfo(cm);
  return m ? m->format : nullptr;
}

int gspModelBytes(int cm) {
  const ModelInfo* m = modelInfo(cm);
  return m ? m->bytes : 0;
}

bool gspModelAlpha(int cm) {
  const ModelInfo* m = modelInfo(cm);
  return m && m->alpha;
}

bool sprCheck(const Sprite* s, const char* fn) {
  auto first = reinterpret_cast<uintptr_t>(&SPRITES[0]);
  auto last = reinterpret_cast<uintptr_t>(&SPRITES[SPR_MAX - 1]);
  auto at = reinterpret_cast<uintptr_t>(s);
  if (at < first || at > last || (at - first) % sizeof(Sprite) != 0) {
    logError(0, "%s: invalid sprite address %p, not in [%p..%p], SE", fn, static_cast<const void*>(s),
             static_cast<const void*>(&SPRITES[0]), static_cast<const void*>(&SPRITES[SPR_MAX - 1]));
    return false;
  }
  if (!s->inUse) {
    logError(0, "%s: sprite %p ('%s') is not valid, SE", fn, static_cast<const void*>(s), s->name);
    return false;
  }
  return true;
}

Sprite* SPR_CREATE(const char* path) {
  return load("SPR_CREATE()", PackSource{path, nullptr, 0}, path ? path : "", nullptr, 0);
}

Sprite* SPR_CREATE_ALT(const char* path, const char* name) {
  return load("SPR_CREATE_ALT()", PackSource{path, nullptr, 0}, path ? path : "", name, 0);
}

Sprite* SPR_CREATE_FLAGS(const char* path, const char* name, int flags) {
  return load("SPR_CREATE_FLAGS()", PackSource{path, nullptr, 0}, path ? path : "", name, flags);
}

Sprite* SPR_CREATE_MEM(const void* bytes, size_t size, const char* name, int flags) {
  return load("SPR_CREATE_MEM()", PackSource{nullptr, bytes, size}, name ? name : "", name, flags);
}

SprOwned sprOwn(Sprite* s) {
  SprOwned o{s, {}};
  if (s) std::memcpy(o.name, s->name, sizeof o.name);
  return o;
}

void sprRelease(SprOwned* o) {
  Sprite* s = o->sprite;
  if (s && s->inUse && std::strncmp(s->name, o->name, sizeof o->name) == 0) SPR_FREE(s);
  *o = SprOwned{};
}

int SPR_FREE(Sprite* s) {
  if (!sprCheck(s, "SPR_FREE()")) return -1;
  release(s);
  return 0;
}

void SPR_FREE_ALL() {
  for (Sprite& s : SPRITES) {
    if (s.inUse) release(&s);
  }
}

namespace {

// Makes slot a clone of donor (already checked).
Sprite* cloneInto(Sprite* slot, Sprite* donor, const char* fn) {
  Sprite t{};
  size_t frameBytes = sizeof(SprFrame);
  t.frames = static_cast<SprFrame*>(std::calloc(1, frameBytes));
  if (!t.frames) {
    logError(0, "%s: not enough memory for frames (%d bytes)", fn, static_cast<int>(frameBytes));
    return nullptr;
  }
  t.data = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(donor->maxfrm), 1));
  if (!t.data) {
    std::free(t.frames);
    logError(0, "%s: not enough memory for frames[0].data (%d bytes)", fn, donor->maxfrm);
    return nullptr;
  }
  t.inUse = 1;
  strCopyN(t.name, "clone", sizeof t.name);
  t.cm = donor->cm;
  t.numfrms = 1;
  t.maxfrm = donor->maxfrm;
  t.frames[0].stream = t.data;  // size 0: draws nothing until SPR_GET
  t.alpha = 0;
  t.donor = donor;
  t.pixelFormat = donor->pixelFormat;
  t.bytesPerPixel = donor->bytesPerPixel;
  *slot = t;
  return slot;
}

}  // namespace

Sprite* SPR_CLONE(Sprite* donor) {
  const char* fn = "SPR_CLONE()";
  if (!sprCheck(donor, fn)) return nullptr;
  Sprite* slot = freeSlot(fn);
  return slot ? cloneInto(slot, donor, fn) : nullptr;
}

Sprite* SPR_RECLONE(Sprite* clone, Sprite* donor) {
  const char* fn = "SPR_RECLONE()";
  if (!sprCheck(donor, fn)) return nullptr;
  auto first = reinterpret_cast<uintptr_t>(&SPRITES[0]);
  auto at = reinterpret_cast<uintptr_t>(clone);
  if (at < first || at > reinterpret_cast<uintptr_t>(&SPRITES[SPR_MAX - 1]) ||
      (at - first) % sizeof(Sprite) != 0) {
    sprCheck(clone, fn);  // logs the bad address
    return nullptr;
  }
  if (clone == donor) {
    logError(0, "%s: sprite %p ('%s') can't be its own donor, SE", fn, static_cast<void*>(clone), clone->name);
    return nullptr;
  }
  if (clone->inUse) release(clone);
  return cloneInto(clone, donor, fn);
}

int SPR_GET(Sprite* clone, int frame, int x, int y) {
  const char* fn = "SPR_GET()";
  if (!sprCheck(clone, fn)) return -1;
  Sprite* donor = clone->donor;
  if (!donor) return logError(-1, "%s: sprite %p ('%s') is not a clone, SE", fn, static_cast<void*>(clone), clone->name);
  if (!sprCheck(donor, fn)) return -1;
  if (frame < 0 || frame >= donor->numfrms) {
    return logError(-1, "%s: invalid frame %d (max %d)", fn, frame, donor->numfrms - 1);
  }
  const SprFrame& src = donor->frames[frame];
  // The grab keeps the donor's codes without its alpha bytes, so it is never
  // longer than the donor's stream; the buffer may still be too small when
  // the donor's record was reused by a larger sprite.
  if (src.size > clone->maxfrm || donor->bytesPerPixel != clone->bytesPerPixel) {
    return logError(-1, "%s: clone %p does not fit frame %d of '%s' (%d bytes, buffer %d), SE", fn,
                    static_cast<void*>(clone), frame, donor->name, src.size, clone->maxfrm);
  }
  const gscr* g = gsCurrent;
  if (!g || !g->pixels) return logError(-1, "%s: gsCurrent is NULL, SE", fn);
  const int bpp = donor->bytesPerPixel;
  if (g->bytesPerPixel != bpp) {
    return logError(-1, "%s: sprite '%s' has %d bytes per pixel, the screen %d, SE", fn, donor->name, bpp,
                    g->bytesPerPixel);
  }

  SprFrame& dst = clone->frames[0];
  uint8_t* out = clone->data;
  dst = src;
  dst.stream = out;
  dst.size = 0;

  // Rows outside the pixel memory keep only their line feeds; the walk ends
  // at the first line feed below the memory. Inside a row every run keeps its
  // skip and length; bytes outside the row are not read and stay zero, and
  // blitters never draw them because they clip to the same memory.
  const long rowBytes = std::min<long>(static_cast<long>(g->width) * bpp, g->pitch > 0 ? g->pitch : 0);
  long long rowLL = y;
  const long long startLL = (static_cast<long long>(x) + src.x0) * bpp;
  long long col = startLL;
  size_t o = 0;
  const uint8_t* p = src.stream;
  const bool runAlpha = donor->alpha != 0;
  if (src.size > 0) {
    for (;;) {
      unsigned code = *p++;
      if (code == GSP_CODE_END) break;
      if (code == GSP_CODE_LINEFEED) {
        unsigned n = *p++;
        rowLL += n;
        col = startLL;
        if (rowLL >= g->height) break;
        out[o++] = static_cast<uint8_t>(code);
        out[o++] = static_cast<uint8_t>(n);
        continue;
      }
      unsigned run = *p++;
      p += (run > 0 && runAlpha ? 1 : 0) + run;  // the grab drops the alpha byte
      col += code;
      bool rowInside = rowLL >= 0 && rowLL < g->height;
      if (rowInside && col < rowBytes) {
        out[o++] = static_cast<uint8_t>(code);
        out[o++] = static_cast<uint8_t>(run);
        uint8_t* bytes = out + o;
        std::memset(bytes, 0, run);
        long long lo = std::max<long long>(col, 0), hi = std::min<long long>(col + run, rowBytes);
        if (lo < hi) {
          const uint8_t* screenRow = g->pixels + static_cast<size_t>(rowLL) * static_cast<size_t>(g->pitch);
          std::memcpy(bytes + (lo - col), screenRow + lo, static_cast<size_t>(hi - lo));
        }
        o += run;
      }
      col += run;
    }
  }
  out[o++] = GSP_CODE_END;
  dst.size = static_cast<int>(o);
  return 0;
}

int SPR_CONVERT(Sprite* s) {
  const char* fn = "SPR_CONVERT()";
  if (!sprCheck(s, fn)) return -1;
  if (!gsCurrent) return logError(-1, "%s: gsCurrent is NULL, SE", fn);
  return convertTo(s, gsCurrent, fn);
}

void SPR_LIST() {
  int valid = 0;
  for (const Sprite& s : SPRITES) valid += s.inUse != 0;
  logPrint("--- SPR_LIST(%d valid of %d total) ---", valid, SPR_MAX);
  for (const Sprite& s : SPRITES) {
    if (!s.inUse) continue;
    char donorName[SPR_NAME_SIZE + 8] = "";
    if (s.donor) std::snprintf(donorName, sizeof donorName, " ('%s')", s.donor->name);
    logPrint("spr-%p ('%s')   cm-%d numfrms-%d maxfrm-%d frames-%p donor-%p%s", static_cast<const void*>(&s),
             s.name, s.cm, s.numfrms, s.maxfrm, static_cast<const void*>(s.frames),
             static_cast<const void*>(s.donor), donorName);
  }
}
