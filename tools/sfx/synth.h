#pragma once
// A small synthesiser for the game's sound effects: each sound is a recipe of
// up to six layers, each layer one oscillator with a pitch sweep, an ADSR
// envelope, optional tremolo, vibrato and retriggering, through a one-pole
// high-pass and a two-pole low-pass filter. Rendering uses plain arithmetic
// only (no library maths), so the same recipe gives the same bytes on every
// build.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sfx {

inline constexpr int kRate = 44100;  // frames per second of every sample written

enum Wave : int { WAVE_SINE = 0, WAVE_SQUARE, WAVE_SAW, WAVE_TRIANGLE, WAVE_NOISE, WAVE_COUNT };

// How a sweep moves from its start value to its end value over the layer.
enum Curve : int { CURVE_LINEAR = 0, CURVE_EASE_IN, CURVE_EASE_OUT, CURVE_COUNT };

// One oscillator voice. Times are in seconds from the start of the sound,
// frequencies in Hz. For noise, the frequency is the rate at which a new
// random value is drawn (22050 and above: white noise).
struct Layer {
  Wave wave = WAVE_SINE;
  double f0 = 440.0, f1 = 0.0;  // pitch sweep; f1 = 0 keeps f0
  Curve curve = CURVE_LINEAR;
  double at = 0.0, len = 0.0;  // a layer of length 0 is unused
  double atk = 0.002, dec = 0.0, sus = 1.0, rel = 0.01;  // envelope; sus is a level 0..1
  double gain = 1.0;
  double lp0 = 0.0, lp1 = 0.0;  // low-pass cutoff sweep; 0 = no low-pass, lp1 = 0 keeps lp0
  double hp = 0.0;              // high-pass cutoff, 0 = none
  double rep = 0.0;             // retrigger the envelope every rep seconds (0 = once)
  double amRate = 0.0, amDepth = 0.0;    // tremolo
  double vibRate = 0.0, vibDepth = 0.0;  // vibrato, depth as a fraction of the pitch
};

inline constexpr int kMaxLayers = 6;

struct Recipe {
  const char* path;  // below GAMEDIR, e.g. "samples/button.wav"
  const char* what;  // one line: what it sounds like
  uint32_t seed;     // of the noise generator
  double peak;       // peak level of the written sample, 0..1 of full scale
  std::array<Layer, kMaxLayers> layers;
};

// Length of a recipe in frames (the end of its latest layer).
int recipeFrames(const Recipe& recipe);
// Renders a recipe to 16-bit mono at kRate, normalised to its peak with short
// fades at both ends. Empty when the recipe has no sound.
std::vector<int16_t> render(const Recipe& recipe);
// A 16-bit mono PCM WAV file image at kRate.
std::string wavImage(const std::vector<int16_t>& frames);

// The recipes of every sample the game loads.
const Recipe* recipes();
int recipeCount();

}  // namespace sfx
