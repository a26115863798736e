#include "music/compose.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "core/random.h"
#include "music/instruments.h"

namespace {

// Channels of every module.
enum Channel : int { CH_LEAD, CH_BASS, CH_PAD1, CH_PAD2, CH_PAD3, CH_KICK, CH_SNARE, CH_HAT, CH_CONTROL, CH_COUNT };

constexpr int kRows = 64;        // four bars of sixteen rows (four rows a beat)
constexpr int kBarRows = 16;

using Scale = int[7];
constexpr Scale kMajor = {0, 2, 4, 5, 7, 9, 11};
constexpr Scale kMinor = {0, 2, 3, 5, 7, 8, 10};
constexpr Scale kPhrygian = {0, 1, 3, 5, 7, 8, 10};
constexpr Scale kHarmonic = {0, 2, 3, 5, 7, 8, 11};
constexpr Scale kMixolydian = {0, 2, 4, 5, 7, 9, 10};

// Drum grooves: one bar of sixteen steps per drum ('x' loud, 'o' soft).
struct Groove {
  const char* kick;
  const char* snare;
  const char* hat;
  const char* fill;  // the snare of the fourth bar
};
constexpr Groove kMarch = {"x.......x.......", "....x.o.x...x.oo", "x...x...x...x...", "x.oox.oox.oox.xx"};
constexpr Groove kPop = {"x...x...x...x...", "....x.......x...", "o.x.o.x.o.x.o.x.", "....x.......xoxx"};
constexpr Groove kHeavy = {"x.x.....x.x..x..", "........x.......", "x...x...x...x...", "........x...x.xx"};
constexpr Groove kDrive = {"x..x..x.x..x..x.", "....x.......x...", "xoxoxoxoxoxoxoxo", "....x...x.x.xxxx"};

// Lead rhythms, one bar each; the fourth bar of a pattern holds a long note.
struct Rhythms {
  const char* bars[3];
};
constexpr Rhythms kMarchRhythm = {{"x.....x.x...x...", "x...x...x.x.x...", "x.......x...x.x."}};
constexpr Rhythms kPopRhythm = {{"x.x...x.x.x...x.", "..x.x.x...x.x...", "x...x.x.x.x.x..."}};
constexpr Rhythms kSlowRhythm = {{"x.......x.......", "x...........x...", "x.....x.x......."}};

enum Section { SEC_OPENING, SEC_MAIN, SEC_MISSION, SEC_CRISIS, SEC_MENU, SEC_COUNT };

struct SectionPlan {
  int firstOrder, lastOrder;
  int variants;        // distinct patterns the section cycles through
  int tempoPercent;    // of the module's tempo
  bool tension;        // the tension progression instead of the main one
  bool drums, drive;   // drums at all; the driving groove instead of the module's own
};
constexpr SectionPlan kPlan[SEC_COUNT] = {
    {MUSIC_ORDER_OPENING, MUSIC_ORDER_MAIN - 1, 1, 100, false, false, false},
    {MUSIC_ORDER_MAIN, MUSIC_ORDER_MISSION - 1, 4, 100, false, true, false},
    {MUSIC_ORDER_MISSION, MUSIC_ORDER_CRISIS - 1, 3, 110, true, true, false},
    {MUSIC_ORDER_CRISIS, MUSIC_ORDER_MENU - 1, 3, 120, true, true, true},
    {MUSIC_ORDER_MENU, MUSIC_ORDERS - 1, 2, 90, false, false, false},
};

struct Style {
  const char* file;
  const char* title;
  int tempo;
  int root;              // key note of the bass octave (IT note number, C-3 = 36)
  const int* scale;
  int lead;              // instrument of the melody
  int leadOctaves;       // melody this many octaves above the bass root
  const Groove* groove;
  const Rhythms* rhythms;
  int progression[4];    // scale degrees, one chord a bar
  int tension[4];
  uint32_t seed;
};

constexpr Style kStyles[] = {
    // A solemn march: D minor, slow, brass over snare rolls.
    {"music/comm.it", "Comm: march", 80, 38, kMinor, INS_BRASS, 2, &kMarch, &kMarchRhythm,
     {0, 5, 3, 4}, {0, 3, 6, 4}, 101},
    // Bright pop: G major, quick, organ over a four-on-the-floor beat.
    {"music/demo.it", "Demo: pop", 138, 43, kMajor, INS_ORGAN, 2, &kPop, &kPopRhythm,
     {0, 4, 5, 3}, {5, 3, 0, 4}, 202},
    // Dark and heavy: E phrygian, very slow and low, brass over heavy drums.
    {"music/dict.it", "Dict: heavy", 66, 28, kPhrygian, INS_BRASS, 1, &kHeavy, &kSlowRhythm,
     {0, 1, 0, 6}, {0, 5, 1, 4}, 303},
    // An election anthem: F major, brass fanfare.
    {"music/pres.it", "Pres: anthem", 112, 41, kMajor, INS_BRASS, 2, &kMarch, &kMarchRhythm,
     {0, 3, 4, 0}, {5, 1, 4, 4}, 404},
    // Relaxed closing tune: C major, plucked lead.
    {"music/credits.it", "Credits", 96, 36, kMajor, INS_PLUCK, 2, &kPop, &kSlowRhythm,
     {0, 5, 3, 4}, {3, 4, 2, 5}, 505},
    // A fight: A minor, fast and driving.
    {"music/boxing.it", "Boxing", 150, 33, kMinor, INS_PLUCK, 2, &kDrive, &kPopRhythm,
     {0, 6, 5, 6}, {0, 3, 4, 4}, 606},
    // A shooting gallery: B harmonic minor, tense organ.
    {"music/deputy.it", "Deputy", 124, 35, kHarmonic, INS_ORGAN, 2, &kMarch, &kPopRhythm,
     {0, 3, 4, 0}, {5, 1, 4, 4}, 707},
    // Swagger: B-flat mixolydian, organ over a pop beat.
    {"music/oligarch.it", "Oligarch", 104, 34, kMixolydian, INS_ORGAN, 2, &kPop, &kMarchRhythm,
     {0, 6, 3, 0}, {3, 6, 4, 0}, 808},
};

// Semitones above the key of scale degree d (any integer, wrapping octaves).
int degreeSemitones(const int* scale, int d) {
  const int octave = d >= 0 ? d / 7 : -((-d + 6) / 7);
  return scale[d - octave * 7] + 12 * octave;
}

void setNote(ItPattern* p, int row, int ch, int note, int sample, int volume) {
  ItCell& c = p->at(row, ch);
  c.note = note;
  c.sample = sample;
  c.volume = volume;
}

int drumVolume(char step, int loud) { return step == 'x' ? loud : loud * 5 / 8; }

// One pattern: four bars over the progression, with drums, bass, pad chords
// and a melody drawn from the seeded generator.
ItPattern composePattern(const Style& st, const SectionPlan& sec, int variant, int tempo, bool opening) {
  ItPattern p = itPattern(kRows, CH_COUNT);
  const int* prog = sec.tension ? st.tension : st.progression;
  const Groove& groove = sec.drive ? kDrive : *st.groove;
  p.at(0, CH_CONTROL).effect = IT_FX_TEMPO;
  p.at(0, CH_CONTROL).param = static_cast<uint8_t>(tempo);

  int melodyDegree = 7 + prog[0];  // one octave over the chord root
  for (int bar = 0; bar < 4; ++bar) {
    const int row0 = bar * kBarRows;
    const int chord = prog[bar];
    // Pad: the chord's three tones an octave over the bass, held for the bar.
    for (int v = 0; v < 3; ++v) {
      const int note = st.root + 12 + degreeSemitones(st.scale, chord + 2 * v);
      setNote(&p, row0, CH_PAD1 + v, note, INS_PAD, opening ? 30 : 22);
    }
    // Bass: root on the beats, the fifth before the bar line.
    const int bassRoot = st.root + degreeSemitones(st.scale, chord);
    for (int step = 0; step < kBarRows; step += 4) {
      if (opening && step != 0) continue;
      const bool fifth = step == 12 && variant % 2 == 1;
      const int note = fifth ? st.root + degreeSemitones(st.scale, chord + 4) : bassRoot;
      setNote(&p, row0 + step, CH_BASS, note, INS_BASS, step == 0 ? 56 : 46);
      if (!opening && step + 3 < kBarRows) p.at(row0 + step + 3, CH_BASS).note = IT_NOTE_CUT;
    }
    // Drums.
    if (sec.drums) {
      const char* snare = bar == 3 ? groove.fill : groove.snare;
      for (int step = 0; step < kBarRows; ++step) {
        const int r = row0 + step;
        if (groove.kick[step] != '.') setNote(&p, r, CH_KICK, 60, INS_KICK, drumVolume(groove.kick[step], 64));
        if (snare[step] != '.') setNote(&p, r, CH_SNARE, 60, INS_SNARE, drumVolume(snare[step], 52));
        if (groove.hat[step] != '.') setNote(&p, r, CH_HAT, 60, INS_HIHAT, drumVolume(groove.hat[step], 34));
      }
    } else {
      // Without the groove a soft pulse keeps time: kick on the bar, hat on the beats.
      setNote(&p, row0, CH_KICK, 60, INS_KICK, 40);
      for (int step = 4; step < kBarRows; step += 4) setNote(&p, row0 + step, CH_HAT, 60, INS_HIHAT, 22);
    }
    // Melody: steps through the scale, landing on chord tones on the beats.
    const char* rhythm = bar == 3 ? "x..........x...." : st.rhythms->bars[rndBelow(3)];
    if (opening && bar < 2) continue;  // the opening starts with the band alone
    for (int step = 0; step < kBarRows; ++step) {
      if (rhythm[step] != 'x') continue;
      melodyDegree += rndBelow(5) - 2;
      if (step % 4 == 0) {
        const int rel = ((melodyDegree - chord) % 7 + 7) % 7;  // snap to the nearest chord tone
        if (rel == 1 || rel == 3 || rel == 5) melodyDegree += rndBelow(2) ? 1 : -1;
        if (rel == 6) melodyDegree += 1;
      }
      melodyDegree = std::clamp(melodyDegree, 3, 15);
      const int note = st.root + 12 * st.leadOctaves + degreeSemitones(st.scale, melodyDegree) - 12;
      setNote(&p, row0 + step, CH_LEAD, note, st.lead, step % 4 == 0 ? 48 : 40);
    }
  }
  // The phrase ends before the next pattern starts.
  p.at(kRows - 2, CH_LEAD).note = IT_NOTE_CUT;
  return p;
}

ItModule composeModule(const Style& st) {
  ItModule m;
  m.name = st.title;
  m.speed = 6;
  m.tempo = static_cast<uint8_t>(st.tempo);
  m.channels = CH_COUNT;
  m.panning = {40, 32, 20, 32, 44, 32, 28, 38, 32};
  m.samples = instrumentSamples();
  rndSeed(st.seed);
  for (int s = 0; s < SEC_COUNT; ++s) {
    const SectionPlan& sec = kPlan[s];
    const int tempo = std::clamp(st.tempo * sec.tempoPercent / 100, 32, 255);
    const int firstPattern = static_cast<int>(m.patterns.size());
    for (int v = 0; v < sec.variants; ++v) {
      m.patterns.push_back(composePattern(st, sec, v, tempo, s == SEC_OPENING));
    }
    // The section cycles through its variants; its last order plays a copy
    // of its variant that jumps back to the section's start.
    const int length = sec.lastOrder - sec.firstOrder + 1;
    for (int i = 0; i < length; ++i) {
      int pattern = firstPattern + i % sec.variants;
      if (i == length - 1 && s != SEC_OPENING) {
        ItPattern end = m.patterns[static_cast<size_t>(pattern)];
        end.at(kRows - 1, CH_CONTROL).effect = IT_FX_JUMP;
        end.at(kRows - 1, CH_CONTROL).param = static_cast<uint8_t>(sec.firstOrder);
        pattern = static_cast<int>(m.patterns.size());
        m.patterns.push_back(std::move(end));
      }
      m.orders.push_back(static_cast<uint8_t>(pattern));
    }
  }
  return m;
}

}  // namespace

std::vector<MusicPiece> composeAll() {
  std::vector<MusicPiece> out;
  for (const Style& st : kStyles) out.push_back({st.file, composeModule(st)});
  return out;
}
