#pragma once
// The modules' instruments, synthesised as tracker samples from simple
// oscillators, envelopes and the seeded noise of the core generator. The
// pitched ones hold whole cycles of 100 frames and play C-5 at middle C;
// the sustained ones loop.
#include "music/it_writer.h"

// Sample numbers (1-based) as the compositions use them.
enum Instrument : int {
  INS_KICK = 1,
  INS_SNARE,
  INS_HIHAT,
  INS_BASS,
  INS_BRASS,
  INS_ORGAN,
  INS_PAD,
  INS_PLUCK,
  INS_COUNT = INS_PLUCK
};

// All instruments in sample-number order. Same frames on every call.
std::vector<ItSample> instrumentSamples();
