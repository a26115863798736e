#include "music/instruments.h"

#include <algorithm>
#include <cmath>

#include "core/random.h"

namespace {

constexpr int kPeriod = 100;          // frames per cycle of the pitched samples
constexpr uint32_t kPitchedRate = 26163;  // 100 frames a cycle at 261.63 Hz: C-5 is middle C
constexpr uint32_t kDrumRate = 22050;

// sin(2π·phase) from a polynomial, so the frames do not depend on the C
// library's sine: phase folded to [-0.5, 0.5), then a parabola with the usual
// correction term (error below 0.1 %).
double wave(double phase) {
  double x = phase - std::floor(phase + 0.5);  // -0.5 .. 0.5
  double y = 8.0 * x - 16.0 * x * std::fabs(x);   // parabola through the sine's zeros and peaks
  return 0.225 * (y * std::fabs(y) - y) + y;
}

int16_t toPcm(double v) {
  const double c = std::clamp(v, -1.0, 1.0) * 32767.0;
  return static_cast<int16_t>(c < 0 ? c - 0.5 : c + 0.5);
}

double noise() {
  constexpr double kHalf = static_cast<int>(RND_MAX) / 2.0;
  return (rndNext() - kHalf) / kHalf;
}

// A sum of harmonics with the given amplitudes at phase t (cycles).
double harmonics(double t, const double* amp, int count) {
  double v = 0;
  for (int h = 0; h < count; ++h) v += amp[h] * wave(t * (h + 1));
  return v;
}

// A pitched sample: `attack` cycles of onset shaped by onsetGain, then
// `loopCycles` cycles looped, each frame from voice(t, frame).
template <typename Voice, typename Gain>
ItSample pitched(const char* name, int attackCycles, int loopCycles, bool bits16, Voice voice, Gain onsetGain) {
  ItSample s;
  s.name = name;
  s.bits16 = bits16;
  s.c5speed = kPitchedRate;
  const int attack = attackCycles * kPeriod;
  const int total = attack + loopCycles * kPeriod;
  for (int i = 0; i < total; ++i) {
    const double t = static_cast<double>(i) / kPeriod;
    const double g = i < attack ? onsetGain(static_cast<double>(i) / attack) : 1.0;
    s.pcm.push_back(toPcm(voice(t, i) * g));
  }
  s.loop = true;
  s.loopStart = static_cast<uint32_t>(attack);
  s.loopEnd = static_cast<uint32_t>(total);
  return s;
}

ItSample kick() {
  ItSample s;
  s.name = "kick";
  s.c5speed = kDrumRate;
  const int n = kDrumRate * 30 / 100;
  double phase = 0;
  for (int i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kDrumRate;
    const double freq = 45.0 + 110.0 * std::exp(-t * 30.0);
    phase += freq / kDrumRate;
    const double env = std::exp(-t * 9.0);
    const double click = i < 60 ? noise() * 0.3 * (1.0 - i / 60.0) : 0.0;
    s.pcm.push_back(toPcm(0.95 * env * wave(phase) + click));
  }
  return s;
}

ItSample snare() {
  ItSample s;
  s.name = "snare";
  s.c5speed = kDrumRate;
  const int n = kDrumRate * 22 / 100;
  double low = 0;
  for (int i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kDrumRate;
    low += 0.45 * (noise() - low);  // softened noise: the snares' rattle
    const double body = 0.45 * std::exp(-t * 30.0) * wave(t * 185.0);
    s.pcm.push_back(toPcm(body + 0.75 * std::exp(-t * 16.0) * low));
  }
  return s;
}

ItSample hihat() {
  ItSample s;
  s.name = "hihat";
  s.c5speed = kDrumRate;
  const int n = kDrumRate * 7 / 100;
  double prev = 0;
  for (int i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kDrumRate;
    const double w = noise();
    s.pcm.push_back(toPcm(0.6 * std::exp(-t * 60.0) * (w - prev)));  // first difference: only the highs
    prev = w;
  }
  return s;
}

}  // namespace

std::vector<ItSample> instrumentSamples() {
  rndSeed(0x6D757369u);  // the noise of the drums is the same on every run
  std::vector<ItSample> out;
  out.push_back(kick());
  out.push_back(snare());
  out.push_back(hihat());

  // Bass: a rounded saw with a short bright onset.
  static constexpr double kBass[] = {1.0, 0.5, 0.3, 0.18, 0.1};
  out.push_back(pitched("bass", 8, 1, true,
                        [](double t, int i) { return 0.55 * harmonics(t, kBass, 5) * (1.0 + 0.4 * std::exp(-i / 300.0)); },
                        [](double a) { return std::min(1.0, a * 8.0); }));
  // Brass: a saw band-limited to eight harmonics, swelling in.
  static constexpr double kBrass[] = {1.0, 0.6, 0.45, 0.35, 0.26, 0.2, 0.14, 0.1};
  out.push_back(pitched("brass", 24, 1, true,
                        [](double t, int) { return 0.32 * harmonics(t, kBrass, 8); },
                        [](double a) { return 0.3 + 0.7 * a; }));
  // Organ: drawbars at the fundamental, octave, twelfth and double octave.
  static constexpr double kOrgan[] = {1.0, 0.7, 0.5, 0.35};
  out.push_back(pitched("organ", 4, 1, true,
                        [](double t, int) { return 0.36 * harmonics(t, kOrgan, 4); },
                        [](double a) { return a; }));
  // Pad: two soft voices 80 and 81 cycles over the loop, a slow beat between them.
  static constexpr double kPad[] = {1.0, 0.3, 0.15};
  out.push_back(pitched("pad", 20, 80, false,
                        [](double t, int) {
                          return 0.28 * (harmonics(t, kPad, 3) + harmonics(t * 81.0 / 80.0, kPad, 3));
                        },
                        [](double a) { return a * a; }));
  // Pluck: a hollow square-ish tone with a decaying bright onset.
  static constexpr double kPluck[] = {1.0, 0.0, 0.33, 0.0, 0.2, 0.0, 0.14};
  out.push_back(pitched("pluck", 30, 1, true,
                        [](double t, int) { return 0.45 * harmonics(t, kPluck, 7); },
                        [](double a) { return 1.6 - 0.6 * a; }));
  return out;
}
