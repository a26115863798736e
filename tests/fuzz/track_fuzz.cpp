// Feeds arbitrary bytes to the track reader; an accepted track is written back
// (it must give the same bytes) and asked for positions and nearest points.
// Bytes after the points, which the reader ignores, supply extra queries.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <vector>

#include "core/bytes.h"
#include "core/log.h"
#include "physics/track.h"

namespace {

void query(const Track* t, double trackpos) {
  TrackVec p, v;
  TRACK_POINT(t, trackpos, &p);
  TRACK_POINT_VELO(t, trackpos, 3.5, &p, &v);
  if (std::isfinite(p.x) && std::isfinite(p.y)) (void)trackClosest(t, &p);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool quiet = (logPrint("STDERR 0"), true);
  (void)quiet;
  Track t;
  if (!trackParse(std::span<const uint8_t>(data, size), "fuzz", &t)) return 0;

  std::vector<uint8_t> image;
  if (!trackBuildImage(&t, &image) || image.size() > size ||
      std::memcmp(image.data(), data, image.size()) != 0)
    __builtin_trap();  // an accepted track must write back as it was read

  const double s = t.spacing, n = t.count;
  const double fixed[] = {0,
                          s / 2,
                          -s / 2,
                          -s,
                          (n - 1) * s,
                          (n - 1.5) * s,
                          n * s,
                          1e300,
                          -1e300,
                          std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity()};
  for (double pos : fixed) query(&t, pos);
  ByteReader extra = brOpen(std::span<const uint8_t>(data, size).subspan(image.size()));
  for (int k = 0; k < 8 && brRemaining(&extra) >= 8; k++) query(&t, brF64le(&extra));

  const TrackVec ends[] = {t.points[0], t.points[t.count - 1], {400, 300, 0}, {-1e6, 1e6, 0}};
  for (const TrackVec& p : ends) (void)trackClosest(&t, &p);
  trackFree(&t);
  return 0;
}
