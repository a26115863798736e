#include "physics/track.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/bytes.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/text.h"
#include "physics/opr.h"

static_assert(sizeof(TrackVec) == TRACK_POINT_SIZE, "points are read straight into TrackVec");

namespace {

bool finitePoint(const TrackVec& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// ---------------------------------------------------------------------------
// Reading

// Where the reader's bytes come from: an open file or a block in memory.
// size is the number of bytes in all when known, else -1; it lets a count
// that the data cannot hold be refused before anything is allocated.
struct ByteSource {
  void* context;
  size_t (*read)(void* context, uint8_t* destination, size_t n);
  long long size;
};

size_t readFromFile(void* context, uint8_t* destination, size_t n) {
  return std::fread(destination, 1, n, static_cast<FILE*>(context));
}

struct MemoryCursor {
  std::span<const uint8_t> bytes;
  size_t position;
};

size_t readFromMemory(void* context, uint8_t* destination, size_t n) {
  auto* cursor = static_cast<MemoryCursor*>(context);
  size_t left = cursor->bytes.size() - cursor->position;
  if (n > left) n = left;
  if (n) std::memcpy(destination, cursor->bytes.data() + cursor->position, n);
  cursor->position += n;
  return n;
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// Reads the header and the points; every count is checked before it is used.
int readTrack(ByteSource* source, const char* name, Track* track, const char* fn) {
  *track = Track{};
  uint8_t header[TRACK_HEADER_SIZE];
  size_t got = source->read(source->context, header, sizeof header);
  if (got < sizeof header)
    return logError(0, "%s: file read error (%d of %d bytes read)", fn, static_cast<int>(got),
                    TRACK_HEADER_SIZE);
  ByteReader h = brOpen(header);
  int count = brLe<int32_t>(&h);
  double spacing = brF64le(&h);
  if (count < 2 || count > TRACK_MAX_POINTS)
    return logError(0, "%s: invalid number of points %d in file '%s' (must be in [2..%d])", fn,
                    count, name, static_cast<int>(TRACK_MAX_POINTS));
  if (!(spacing > 0) || !std::isfinite(spacing))
    return logError(0, "%s: invalid point spacing %g in file '%s'", fn, spacing, name);

  int pointBytes = count * TRACK_POINT_SIZE;  // fits: count <= TRACK_MAX_POINTS
  int total = TRACK_HEADER_SIZE + pointBytes;
  if (source->size >= 0 && source->size - TRACK_HEADER_SIZE < pointBytes)
    return logError(0, "%s: file read error (%d of %d bytes read)", fn,
                    static_cast<int>(source->size), total);

  std::unique_ptr<TrackVec, FreeDeleter> points(
      static_cast<TrackVec*>(std::malloc(static_cast<size_t>(pointBytes))));
  if (!points) return logError(0, "%s: not enough memory for points (%d bytes)", fn, pointBytes);
  auto* raw = reinterpret_cast<uint8_t*>(points.get());
  got = source->read(source->context, raw, static_cast<size_t>(pointBytes));
  if (got < static_cast<size_t>(pointBytes))
    return logError(0, "%s: file read error (%d of %d bytes read)", fn,
                    TRACK_HEADER_SIZE + static_cast<int>(got), total);

  // Decoded in place: each point is read whole before it is stored over its
  // own bytes.
  TrackVec* p = points.get();
  ByteReader in = brOpen(std::span<const uint8_t>(raw, got));
  for (int i = 0; i < count; i++) {
    TrackVec v;
    v.x = brF64le(&in);
    v.y = brF64le(&in);
    v.z = brF64le(&in);
    if (!finitePoint(v))
      return logError(0, "%s: invalid point %d (%g,%g,%g) in file '%s'", fn, i, v.x, v.y, v.z,
                      name);
    p[i] = v;
  }
  track->count = count;
  track->spacing = spacing;
  track->points = points.release();
  return 1;
}

// ---------------------------------------------------------------------------
// Registry: the named tracks of the configuration ("track-<section>") and the
// tracks loaded by file name (empty name).

struct TrackEntry {
  int used;
  char name[TRACK_NAME_SIZE];
  char file[TRACK_PATH_SIZE];
  Track* track;
};

TrackEntry gTracks[TRACK_REGISTRY_SIZE];

void releaseEntry(TrackEntry* e) {
  if (e->track) {
    trackFree(e->track);
    std::free(e->track);
  }
  *e = TrackEntry{};
}

TrackEntry* freeEntry(const char* fn) {
  for (TrackEntry& e : gTracks)
    if (!e.used) return &e;
  logError(0, "%s: no free slots in TRACKS[], all %d occupied", fn,
           static_cast<int>(TRACK_REGISTRY_SIZE));
  return nullptr;
}

TrackEntry* namedEntry(const char* fullName) {
  for (TrackEntry& e : gTracks)
    if (e.used && e.name[0] && std::strcmp(e.name, fullName) == 0) return &e;
  return nullptr;
}

// A zeroed track record on the heap, or null after the message.
Track* newTrack(const char* fn, const char* label) {
  auto* t = static_cast<Track*>(std::calloc(1, sizeof(Track)));
  if (!t)
    logError(0, "%s: not enough memory for track '%s' (%d bytes)", fn, label,
             static_cast<int>(sizeof(Track)));
  return t;
}

// Loads one track of the configuration and registers it; replaces a track
// registered under the same name before.
bool setupOne(const char* section, const char* file) {
  const char* fn = "setupTracks()";
  char fullName[TRACK_NAME_SIZE];
  strFormatN(fullName, sizeof fullName, "track-%s", section);
  TrackEntry* entry = namedEntry(fullName);
  if (!entry && !(entry = freeEntry(fn))) return false;
  Track* t = newTrack(fn, section);
  if (!t) return false;
  if (!trackLoad(file, t)) {
    std::free(t);
    logError(0, "%s: error loading track '%s' from file '%s'", fn, section, file);
    return false;
  }
  releaseEntry(entry);
  entry->used = 1;
  strCopyN(entry->name, fullName, sizeof entry->name);
  strCopyN(entry->file, file, sizeof entry->file);
  entry->track = t;
  // The named-object registry makes the track findable with OBJ_FIND like
  // every other named thing of the table.
  ObjInfo info{};
  info.words[OBJ_INFO_TRACK] = t;
  objRegisterInfo(fullName, &info);
  logDebug(3, "%s: track '%s' from '%s': %d points, spacing %g", fn, section, file, t->count,
           t->spacing);
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Files

int trackLoad(const char* path, Track* track) {
  const char* fn = "trackLoad()";
  *track = Track{};
  FilePtr f(path ? std::fopen(path, "rb") : nullptr);
  if (!f) return logError(0, "%s: error opening file '%s'", fn, path ? path : "");
  long long size = -1;
  if (std::fseek(f.get(), 0, SEEK_END) == 0) {
    long end = std::ftell(f.get());
    if (end >= 0) size = end;
  }
  if (std::fseek(f.get(), 0, SEEK_SET) != 0) size = -1;
  ByteSource source{f.get(), readFromFile, size};
  return readTrack(&source, path, track, fn);
}

int trackParse(std::span<const uint8_t> bytes, const char* name, Track* track) {
  MemoryCursor cursor{bytes, 0};
  ByteSource source{&cursor, readFromMemory, static_cast<long long>(bytes.size())};
  return readTrack(&source, name ? name : "", track, "trackParse()");
}

void trackFree(Track* track) {
  if (!track) return;
  std::free(track->points);
  *track = Track{};
}

bool trackBuildImage(const Track* track, std::vector<uint8_t>* image) {
  const char* fn = "trackBuildImage()";
  image->clear();
  if (!track || !track->points || track->count < 2 || track->count > TRACK_MAX_POINTS ||
      !(track->spacing > 0) || !std::isfinite(track->spacing))
    return logError(0, "%s: invalid track (%d points, spacing %g)", fn, track ? track->count : 0,
                    track ? track->spacing : 0.0) != 0;
  for (int i = 0; i < track->count; i++)
    if (!finitePoint(track->points[i]))
      return logError(0, "%s: invalid point %d (%g,%g,%g)", fn, i, track->points[i].x,
                      track->points[i].y, track->points[i].z) != 0;
  image->reserve(TRACK_HEADER_SIZE + static_cast<size_t>(track->count) * TRACK_POINT_SIZE);
  bwLe<int32_t>(image, track->count);
  bwF64le(image, track->spacing);
  for (int i = 0; i < track->count; i++) {
    bwF64le(image, track->points[i].x);
    bwF64le(image, track->points[i].y);
    bwF64le(image, track->points[i].z);
  }
  return true;
}

int trackSave(const char* path, const Track* track) {
  const char* fn = "trackSave()";
  std::vector<uint8_t> image;
  if (!trackBuildImage(track, &image)) return logError(0, "%s: nothing written to '%s'", fn, path);
  FilePtr f(std::fopen(path, "wb"));
  if (!f) return logError(0, "%s: error creating file '%s'", fn, path);
  size_t written = std::fwrite(image.data(), 1, image.size(), f.get());
  int closed = std::fclose(f.release());
  if (written != image.size() || closed != 0)
    return logError(0, "%s: file write error (%d of %d bytes written) in '%s'", fn,
                    static_cast<int>(written), static_cast<int>(image.size()), path);
  return 1;
}

// ---------------------------------------------------------------------------
// Positions

int trackSegment(const Track* track, double trackpos) {
  double u = trackpos / track->spacing;
  // Clamped as a double first: a far or non-finite position must not reach
  // the integer conversion.
  if (!(u >= 1.0)) return 0;
  if (u >= static_cast<double>(track->count - 1)) return track->count - 2;
  return static_cast<int>(u);
}

int TRACK_POINT(const Track* track, double trackpos, TrackVec* point) {
  double u = trackpos / track->spacing;
  int i = trackSegment(track, trackpos);
  const TrackVec& a = track->points[i];
  const TrackVec& b = track->points[i + 1];
  double f = u - i;
  point->x = a.x + f * (b.x - a.x);
  point->y = a.y + f * (b.y - a.y);
  point->z = a.z + f * (b.z - a.z);
  // trunc(u) in 0..count-2 exactly when -1 < u < count-1.
  return u > -1.0 && u < static_cast<double>(track->count - 1) ? 1 : 0;
}

int TRACK_POINT_VELO(const Track* track, double trackpos, double trackvelo, TrackVec* point,
                     TrackVec* velo) {
  int on = TRACK_POINT(track, trackpos, point);
  int i = trackSegment(track, trackpos);
  const TrackVec& a = track->points[i];
  const TrackVec& b = track->points[i + 1];
  TrackVec d{b.x - a.x, b.y - a.y, b.z - a.z};
  double length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
  if (length > 0) {
    double k = trackvelo / length;
    *velo = TrackVec{d.x * k, d.y * k, d.z * k};
  } else {
    *velo = TrackVec{0, 0, 0};
  }
  return on;
}

double trackClosest(const Track* track, const TrackVec* p) {
  // The two nearest points within 1000 pixels; a point that becomes the
  // nearest does not pass the previous nearest down to second place.
  double best1 = 1000, best2 = 1000;
  int i1 = 0, i2 = 0;
  for (int k = 0; k < track->count; k++) {
    double dx = p->x - track->points[k].x, dy = p->y - track->points[k].y;
    double h = std::sqrt(dx * dx + dy * dy);
    if (h < best1) {
      best1 = h;
      i1 = k;
    } else if (h < best2) {
      best2 = h;
      i2 = k;
    }
  }
  if (i1 - i2 == 1 || i2 - i1 == 1) {
    int a = i1 < i2 ? i1 : i2;
    const TrackVec& pa = track->points[a];
    const TrackVec& pb = track->points[a + 1];
    double ex = pb.x - pa.x, ey = pb.y - pa.y;
    double len2 = ex * ex + ey * ey;
    // Two points above each other (a vertical piece of track) have no line in
    // the plane: the first of them is taken.
    double t = len2 > 0 ? ((p->x - pa.x) * ex + (p->y - pa.y) * ey) / len2 : 0.0;
    return (a + t) * track->spacing;
  }
  logPrint("%s: WARNING p-(%.2lf,%.2lf) mini1-%d mini2-%d, possibly wrong track", "trackClosest()",
           p->x, p->y, i1, i2);
  return i1 * track->spacing;
}

// ---------------------------------------------------------------------------
// Registry

int setupTracks(int flags) {
  ConfSet conf;
  if (conf_anyread(&conf, "setupTracks()", "conf/track.conf", "conf/track.bcf",
                   (flags & TRACK_SETUP_WRITE_BINARY) ? 1 : 0) < 0) {
    conf_free(&conf);
    return -1;
  }
  int result = 1;
  for (const char* s = conf_firstsection(&conf, nullptr); s; s = conf_nextsection(&conf)) {
    char section[64];  // the cursor's buffer is reused by the next call
    strCopyN(section, s, sizeof section);
    char key[96];
    strFormatN(key, sizeof key, "%s.filename", section);
    const char* file = conf_getstr(&conf, key, "filename-undef");
    if (!setupOne(section, file)) result = 0;
  }
  conf_free(&conf);
  return result;
}

Track* findTrack(const char* name) {
  char fullName[TRACK_NAME_SIZE];
  strFormatN(fullName, sizeof fullName, "track-%s", name ? name : "");
  if (TrackEntry* e = namedEntry(fullName)) return e->track;
  logError(0, "%s: track '%s' not found", "findTrack()", name ? name : "");
  return nullptr;
}

Track* trackFromFile(const char* path) {
  const char* fn = "trackFromFile()";
  if (!path) path = "";
  size_t length = std::strlen(path);
  if (length >= TRACK_PATH_SIZE) {
    logError(0, "%s: file name too long (%d characters, at most %d): '%s'", fn,
             static_cast<int>(length), TRACK_PATH_SIZE - 1, path);
    return nullptr;
  }
  for (TrackEntry& e : gTracks)
    if (e.used && !e.name[0] && std::strcmp(e.file, path) == 0) return e.track;
  TrackEntry* entry = freeEntry(fn);
  if (!entry) return nullptr;
  Track* t = newTrack(fn, path);
  if (!t) return nullptr;
  if (!trackLoad(path, t)) {
    std::free(t);
    logError(0, "%s: error loading track from file '%s'", fn, path);
    return nullptr;
  }
  entry->used = 1;
  strCopyN(entry->file, path, sizeof entry->file);
  entry->track = t;
  return t;
}

void trackFreeAll() {
  for (TrackEntry& e : gTracks)
    if (e.used) releaseEntry(&e);
}
