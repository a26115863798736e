// pbtool track: positions on a track file, as the board computes them.
#include <charconv>
#include <cstdio>
#include <cstring>

#include "core/log.h"
#include "physics/track.h"

namespace {

// A whole argument as a double: decimal or exponent notation, so that every
// value printed with %.17g reads back.
bool parseDouble(const char* text, double* value) {
  const char* end = text + std::strlen(text);
  auto [stop, error] = std::from_chars(text, end, *value);
  return text != end && error == std::errc() && stop == end;
}

}  // namespace

// pbtool track point FILE TRACKPOS: x, y, z and 1 when TRACKPOS lies on the
// track (0 when it was extrapolated beyond an end).
int cmdTrackPoint(char** a) {
  const char* fn = "pbtool track point";
  double trackpos;
  if (!parseDouble(a[1], &trackpos)) return logError(1, "%s: invalid trackpos '%s'", fn, a[1]);
  Track track;
  if (!trackLoad(a[0], &track)) return logError(1, "%s: can't load track '%s'", fn, a[0]);
  TrackVec p;
  int on = TRACK_POINT(&track, trackpos, &p);
  std::printf("%.17g\t%.17g\t%.17g\t%d\n", p.x, p.y, p.z, on);
  trackFree(&track);
  return 0;
}

// pbtool track closest FILE X Y: the trackpos nearest to the board point.
int cmdTrackClosest(char** a) {
  const char* fn = "pbtool track closest";
  TrackVec p{0, 0, 0};
  if (!parseDouble(a[1], &p.x)) return logError(1, "%s: invalid x '%s'", fn, a[1]);
  if (!parseDouble(a[2], &p.y)) return logError(1, "%s: invalid y '%s'", fn, a[2]);
  Track track;
  if (!trackLoad(a[0], &track)) return logError(1, "%s: can't load track '%s'", fn, a[0]);
  std::printf("%.17g\n", trackClosest(&track, &p));
  trackFree(&track);
  return 0;
}
