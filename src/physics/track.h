#pragma once
// Tracks: the rails a ball rides on ramps, wire guides and the plunger lane.
// A track is a polyline of evenly spaced points; a ball on it has a position
// along it (trackpos, the distance from the first point) and a speed
// (trackvelo). This module reads and writes track files, keeps the named
// tracks of the table, and turns positions along a track into board points.
//
// Track file, integers and doubles little-endian:
//    0  i32  count N of points (at least 2)
//    4  f64  spacing: distance between consecutive points along the track
//   12  N x {f64 x, f64 y, f64 z}: the points in track order
// Bytes after the points are ignored.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// A board point or direction: x to the right, y down the table, z the height.
struct TrackVec {
  double x, y, z;
};

// Position 0 is points[0]; position i x spacing is points[i].
struct Track {
  int count;
  double spacing;
  TrackVec* points;  // count points, owned (released by trackFree)
};

enum {
  TRACK_HEADER_SIZE = 12,
  TRACK_POINT_SIZE = 24,
  // Larger counts would overflow the 32-bit byte counts of the format.
  TRACK_MAX_POINTS = (0x7FFFFFFF - TRACK_HEADER_SIZE) / TRACK_POINT_SIZE,
  TRACK_REGISTRY_SIZE = 128,  // named tracks plus tracks loaded by file
  TRACK_NAME_SIZE = 72,       // "track-" and a 63-character section name
  TRACK_PATH_SIZE = 260,
};

// Loads a track file into track (its previous contents are not released).
// Returns 1, or 0 after logging why; on failure track is left zeroed.
int trackLoad(const char* path, Track* track);
// The same over bytes already in memory; name is the file name for messages.
int trackParse(std::span<const uint8_t> bytes, const char* name, Track* track);
// Releases the points and zeroes the record.
void trackFree(Track* track);

// The file image of a track, byte for byte as trackSave writes it. False (with
// a message) for a track that a reader would refuse.
bool trackBuildImage(const Track* track, std::vector<uint8_t>* image);
// Writes a track file. Returns 1, or 0 after logging why.
int trackSave(const char* path, const Track* track);

// The queries below take a track as the reader makes it (at least two points,
// a positive finite spacing); any trackpos is fine, far or not finite.

// Segment of trackpos: trunc(trackpos / spacing), clamped to 0..count - 2.
int trackSegment(const Track* track, double trackpos);
// The board point at trackpos, extrapolated along the first or last segment
// beyond the ends. Returns 1 when trackpos lies on the track, that is
// 0 <= trunc(trackpos / spacing) <= count - 2, else 0.
int TRACK_POINT(const Track* track, double trackpos, TrackVec* point);
// As TRACK_POINT, and velo = the segment's direction scaled to the 3-D length
// trackvelo (negative: backwards; a segment of zero length gives zero).
int TRACK_POINT_VELO(const Track* track, double trackpos, double trackvelo, TrackVec* point,
                     TrackVec* velo);
// The trackpos nearest to a board point (x and y only): the two nearest
// points, when neighbours, give the projection on their line; otherwise the
// nearest point's position, with a warning in the log.
double trackClosest(const Track* track, const TrackVec* point);

// Reads "conf/track.conf" (or its binary twin "conf/track.bcf"; writeBinary
// in flags rewrites the twin) and loads every section's "filename" as the
// track "track-<section>", which is also registered as a named object
// (OBJ_FIND, the track in word OBJ_INFO_TRACK). Returns 1 when all loaded, 0 when any failed
// (the others are kept), -1 when the configuration could not be read.
enum { TRACK_SETUP_WRITE_BINARY = 1 };
int setupTracks(int flags);
// The track registered under the section name (as in the configuration, without
// the "track-" prefix), or null with "findTrack(): track '<name>' not found".
Track* findTrack(const char* name);
// The track loaded from a file, loading it on first use. Null after logging
// when the file cannot be loaded.
Track* trackFromFile(const char* path);
// Releases every track of the registry (end of a table session); the named
// objects must be cleared first (objClearInfo), as they point at the tracks.
void trackFreeAll();
