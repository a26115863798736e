// Rendering of sound recipes and the WAV encoder.
#include <cmath>

#include "core/bytes.h"
#include "core/random.h"
#include "sfx/synth.h"

namespace sfx {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Sine of a phase in cycles (0..1) by a refined parabola: error below 0.1 %
// of full scale, plain arithmetic only.
double sineCycles(double phase) {
  double x = phase - std::floor(phase);  // 0..1
  x = x < 0.5 ? x * 2.0 : x * 2.0 - 2.0;  // -1..1 half cycles
  double y = 4.0 * x * (1.0 - std::fabs(x));
  return 0.225 * (y * std::fabs(y) - y) + y;
}

struct Osc {
  double phase = 0.0;
  double held = 0.0;  // the noise value drawn at the last wrap
};

double noiseValue() { return static_cast<double>(rndNext()) / (static_cast<double>(RND_MAX) / 2.0) - 1.0; }

using WaveFn = double (*)(Osc* osc, bool wrapped);
double waveSine(Osc* osc, bool) { return sineCycles(osc->phase); }
double waveSquare(Osc* osc, bool) { return osc->phase < 0.5 ? 1.0 : -1.0; }
double waveSaw(Osc* osc, bool) { return 2.0 * osc->phase - 1.0; }
double waveTriangle(Osc* osc, bool) { return 1.0 - 4.0 * std::fabs(osc->phase - 0.5); }
double waveNoise(Osc* osc, bool wrapped) {
  if (wrapped) osc->held = noiseValue();
  return osc->held;
}
constexpr WaveFn kWaves[WAVE_COUNT] = {waveSine, waveSquare, waveSaw, waveTriangle, waveNoise};

using CurveFn = double (*)(double t);
double curveLinear(double t) { return t; }
double curveEaseIn(double t) { return t * t; }
double curveEaseOut(double t) { return 1.0 - (1.0 - t) * (1.0 - t); }
constexpr CurveFn kCurves[CURVE_COUNT] = {curveLinear, curveEaseIn, curveEaseOut};

// Envelope level at time e into a note of length noteLen.
double envelope(const Layer& l, double e, double noteLen) {
  double level;
  if (l.atk > 0.0 && e < l.atk) {
    level = e / l.atk;
  } else if (l.dec > 0.0 && e < l.atk + l.dec) {
    const double d = 1.0 - (e - l.atk) / l.dec;
    level = l.sus + (1.0 - l.sus) * d * d;
  } else {
    level = l.sus;
  }
  const double left = noteLen - e;
  if (l.rel > 0.0 && left < l.rel) level *= left > 0.0 ? left / l.rel : 0.0;
  return level;
}

// One-pole smoothing coefficient for a cutoff (a rational stand-in for
// 1 - exp(-w), close enough below a quarter of the rate).
double poleFor(double cutoff) {
  const double w = 2.0 * kPi * cutoff / kRate;
  return w / (1.0 + w);
}

void addLayer(const Layer& l, std::vector<double>* mix) {
  const int first = static_cast<int>(l.at * kRate);
  const int frames = static_cast<int>(l.len * kRate);
  const int wave = l.wave >= 0 && l.wave < WAVE_COUNT ? l.wave : WAVE_SINE;
  const int curve = l.curve >= 0 && l.curve < CURVE_COUNT ? l.curve : CURVE_LINEAR;
  const double f1 = l.f1 > 0.0 ? l.f1 : l.f0;
  const double lp1 = l.lp1 > 0.0 ? l.lp1 : l.lp0;
  const double hpPole = l.hp > 0.0 ? poleFor(l.hp) : 0.0;
  Osc osc;
  osc.held = noiseValue();
  double lowA = 0.0, lowB = 0.0, hpLow = 0.0;
  for (int i = 0; i < frames; ++i) {
    const size_t at = static_cast<size_t>(first + i);
    if (at >= mix->size()) break;
    const double u = static_cast<double>(i) / kRate;
    const double t = static_cast<double>(i) / frames;
    const double shape = kCurves[curve](t);
    double freq = l.f0 + (f1 - l.f0) * shape;
    if (l.vibDepth > 0.0) freq *= 1.0 + l.vibDepth * sineCycles(l.vibRate * u);
    double x = kWaves[wave](&osc, false);
    osc.phase += freq / kRate;
    if (osc.phase >= 1.0) {
      osc.phase -= std::floor(osc.phase);
      if (wave == WAVE_NOISE) kWaves[wave](&osc, true);
    }
    if (l.hp > 0.0) {
      hpLow += hpPole * (x - hpLow);
      x -= hpLow;
    }
    if (l.lp0 > 0.0) {
      const double a = poleFor(l.lp0 + (lp1 - l.lp0) * t);
      lowA += a * (x - lowA);
      lowB += a * (lowA - lowB);
      x = lowB;
    }
    double level;
    if (l.rep > 0.0) {
      const double e = u - std::floor(u / l.rep) * l.rep;
      level = envelope(l, e, l.rep < l.len - (u - e) ? l.rep : l.len - (u - e));
    } else {
      level = envelope(l, u, l.len);
    }
    if (l.amDepth > 0.0) level *= 1.0 - l.amDepth * (0.5 + 0.5 * sineCycles(l.amRate * u));
    (*mix)[at] += x * level * l.gain;
  }
}

}  // namespace

int recipeFrames(const Recipe& recipe) {
  int frames = 0;
  for (const Layer& l : recipe.layers) {
    if (l.len <= 0.0) continue;
    const int end = static_cast<int>(l.at * kRate) + static_cast<int>(l.len * kRate);
    if (end > frames) frames = end;
  }
  return frames;
}

std::vector<int16_t> render(const Recipe& recipe) {
  const int frames = recipeFrames(recipe);
  std::vector<double> mix(static_cast<size_t>(frames), 0.0);
  rndSeed(recipe.seed);
  for (const Layer& l : recipe.layers) {
    if (l.len > 0.0) addLayer(l, &mix);
  }
  // Fades of 1 ms in and 4 ms out, so the sample starts and ends at silence.
  const int fadeIn = kRate / 1000, fadeOut = kRate / 250;
  for (int i = 0; i < frames; ++i) {
    if (i < fadeIn) mix[static_cast<size_t>(i)] *= static_cast<double>(i) / fadeIn;
    const int left = frames - 1 - i;
    if (left < fadeOut) mix[static_cast<size_t>(i)] *= static_cast<double>(left) / fadeOut;
  }
  double peak = 0.0;
  for (double v : mix) peak = std::fabs(v) > peak ? std::fabs(v) : peak;
  std::vector<int16_t> out;
  if (peak <= 0.0) return out;
  const double target = recipe.peak > 0.0 && recipe.peak < 0.89 ? recipe.peak : 0.7;
  const double scale = target * 32767.0 / peak;
  out.reserve(mix.size());
  for (double v : mix) out.push_back(static_cast<int16_t>(std::floor(v * scale + 0.5)));
  return out;
}

std::string wavImage(const std::vector<int16_t>& frames) {
  const uint32_t dataSize = static_cast<uint32_t>(frames.size()) * 2;
  std::vector<uint8_t> f;
  f.reserve(44 + dataSize);
  auto tag = [&f](const char* four) { bwBytes(&f, four, 4); };
  tag("RIFF");
  bwLe<uint32_t>(&f, 36 + dataSize);
  tag("WAVE");
  tag("fmt ");
  bwLe<uint32_t>(&f, 16);
  bwLe<uint16_t>(&f, 1);  // PCM
  bwLe<uint16_t>(&f, 1);  // mono
  bwLe<uint32_t>(&f, kRate);
  bwLe<uint32_t>(&f, kRate * 2);
  bwLe<uint16_t>(&f, 2);   // bytes per frame
  bwLe<uint16_t>(&f, 16);  // bits
  tag("data");
  bwLe<uint32_t>(&f, dataSize);
  for (int16_t v : frames) bwLe<int16_t>(&f, v);
  return std::string(f.begin(), f.end());
}

}  // namespace sfx
