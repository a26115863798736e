#pragma once
// The start-up steps that need the screen: the video mode, the logo clips,
// and the release of the screens at the end.

int SETUP_GRAPHICS(const char* modeName, int chooser, int writeBinary);
// 1 when the clips ran or were skipped, 0 after a clip failed to load.
int PLAY_LOGOS();
void SHUTDOWN_GRAPHICS();

// The logo clips in the order they play.
struct LogoClip {
  const char* clip;
  int rate;            // frames per second
  const char* sample;  // null: the previous sample keeps playing
  int sampleFrame;     // frame at which the sample starts
};
inline constexpr LogoClip kLogoClips[] = {
    {"data/lumo-logo.vid", 20, "samples/lumo-logo.wav", 0},
    {"data/empty.vid", 10, "samples/ortan-logo.wav", 0},
    {"data/ortan-logo.vid", 24, nullptr, 0},
};
