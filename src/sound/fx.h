#pragma once
// Sound effects and music: the fx layer over the audio layer, and the table's
// samples and music on top of it.
//
// The rest of the program names sounds by small ids: samples 0..255 (0..127
// fixed, the SI_* ids; 128..255 handed out by fxAllocSample) and modules
// 0..255 (the table uses 0..7), never by audio handles. Until a successful
// fxInit, or after fxInit(1) ("/nosnd") or a failed start, the layer is
// disabled: every call then returns 1 at once and does nothing, so the game
// runs silently without special cases.
//
// Main thread only; the audio layer does its own locking.
#include <cstdint>

struct ConfSet;

enum { FX_SAMPLES = 256, FX_MODULES = 256, FX_FIRST_DYNAMIC = 128, FX_MUSIC_SLOTS = 8 };

// Fixed sample ids.
enum SampleId : int {
  SI_OLIGARCH_BODY_MOVE = 0,
  SI_OLIGARCH_GOLD_CATCH,
  SI_OLIGARCH_GOLD_BREAK,
  SI_BOXING_DROL_HIT1,
  SI_BOXING_DROL_HIT2,
  SI_BOXING_DROL_BOOM,
  SI_BOXING_DROL_KNOCKOUT,
  SI_BOXING_VESK_HIT1,
  SI_BOXING_VESK_HIT2,
  SI_BOXING_VESK_BOOM,
  SI_BOXING_VESK_KNOCKOUT,
  SI_BOXING_TAROK_HIT1,
  SI_BOXING_TAROK_HIT2,
  SI_BOXING_TAROK_BOOM,
  SI_BOXING_TAROK_KNOCKOUT,
  SI_DEPUTY_MAN1_DIE,
  SI_DEPUTY_MAN2_DIE,
  SI_DEPUTY_MAN1_RUN,
  SI_DEPUTY_MAN2_RUN,
  SI_DEPUTY_MISS1,
  SI_DEPUTY_MISS2,
  SI_DEPUTY_MISS3,
  SI_DEPUTY_RELOAD,
  SI_DEPUTY_SHOOT,
  SI_DUMA_BUMPER,  // 24
  SI_KREM_BUMPER,
  SI_SAVER,
  SI_TRIANGLE,
  SI_FLAP_DOWN,
  SI_FLAPS_UP,
  SI_LFLIPPER_PRESS,
  SI_RFLIPPER_PRESS,
  SI_LFLIPPER_RLS,
  SI_RFLIPPER_RLS,
  SI_DUMAGATE,  // 34
  SI_KREMGATE,
  SI_LSPINNER,
  SI_RSPINNER,
  SI_TRILIGHTS,
  SI_MISSION_DOWN,
  SI_MISSION_SELECT,
  SI_SPRDOOR,
  SI_SPIRALBTN,
  SI_OSTLIFT_UP,
  SI_OSTLIFT_DOWN,
  SI_OSTLIFT_ROTATE,
  SI_DROPPER,
  SI_SPRING,
  SI_BUTTON,
  SI_GASBTN,
  SI_OSTBTN,
  SI_ZONABTN,
  SI_TRI,  // 52
  SI_SNDMACH_SAMPLE0,  // 53 .. 72: SI_SNDMACH_SAMPLE0 + n
  SI_SNDMACH_SAMPLE19 = SI_SNDMACH_SAMPLE0 + 19,
  SI_LAST  // 73, the count
};

// Name functions, used only in messages.
using FxNameFn = const char* (*)(int id);

// --- The fx layer -----------------------------------------------------------

// Nonzero `off` only marks sound as switched off. Otherwise resets the name
// functions and both tables, opens and starts the audio output and enables
// the layer; on failure it writes why and the layer stays disabled. Returns
// 1, or 0 after a failure. Calling it again first shuts the old state down.
int fxInit(int off);
// Frees every sample and module, closes the audio output and disables the
// layer (the state before fxInit). Call once at program end.
void fxShutdown();
// 1 while the layer is disabled.
int fxDisabled();

// Installs the sample name function (null: the default "<NOSID>").
void fxSetSampleSID(FxNameFn names);
// The text the installed function gives for a sample id.
const char* fxSampleName(int id);

// Sets reverse stereo ("fx.reverse"): every panning is negated before it
// reaches the audio layer.
void fxSetReverse(int on);

// The lowest dynamic id whose descriptor is free (128 while disabled), or -1
// when all 128 are taken. Does not reserve it.
int fxAllocSample();
int fxLoadSampleWav(int id, const char* path);
// Channel handle (1 while disabled, 0 after a failed check).
uint32_t fxPlaySample(int id, int volume, int panning, int loop);
int fxChannelIsActive(uint32_t channel);
int fxChannelSetVolume(uint32_t channel, int volume);
int fxChannelSetPanning(uint32_t channel, int panning);
int fxChannelStop(uint32_t channel);
int fxFreeSample(int id);
// 1 when a sample is loaded under the id (1 while disabled, like every call;
// 0 for an id outside 0..255, without a message).
int fxSampleLoaded(int id);

int fxLoadModule(int id, const char* path);
int fxPlayModule(int id);
int fxStopModule();
int fxSetModulePosition(int order, int row);
// While disabled both outputs are set to 0 (when given).
int fxGetModulePosition(int* order, int* row);
// The id of the playing module, -1 when none.
int fxCurrentModule();

// Per-frame sound update of the session loop and the menus.
int fxUpdate();

// Library error text for an audio error code (cut to 63 characters).
const char* fxErrorText(int code);

// --- Music fade-out ---------------------------------------------------------
// Starts fading the music out over `seconds`; the music volume before the
// fade is kept and restored when the fade ends with fxStopModule. Starting
// again while a fade runs restarts the clock and keeps the saved volume.
int fxFadeOutModule(double seconds);
// Advances a running fade by one frame's game time in milliseconds.
int fxFadeUpdate(double frameDeltaMs);
int fxFadeRunning();

// --- The table's samples and music ------------------------------------------

// The SI_* name of a sample id: "SI_DUMA_BUMPER", "<dynamic>" for 73..255,
// "<invalid>" otherwise. Install it with fxSetSampleSID.
const char* sampleSID(int id);

// Loads the table's samples with their settings from the sample
// configuration set ("conf/sample.conf", read and kept by the session; null
// means all defaults): installs the SI_* names, then loadSample for each
// table sample. 1 only when all loaded.
int setupSamples(ConfSet* sampleConf);
// Loads one table sample by its configuration name: "<name>.volume" (default
// "volume", default 100), "<name>.panning" (default "panning", default 0),
// file "samples/<name>.file" or "samples/<name>.wav". 1/0.
int loadSample(ConfSet* sampleConf, int id, const char* name);
// Plays a sample once with its configured volume and panning.
uint32_t playTableSample(int id);
// Frees those of the table's samples (the ones setupSamples loads) that are
// loaded, without a message for the ones that are not.
void freeTableSamples();
// The configured volume and panning of a sample id (100 and 0 until set).
int tableSampleVolume(int id);
int tableSamplePanning(int id);

// The music slots: one module per regime (slot = regime number), then the
// presidential elections' module (also the menu's), the credits' (also the
// game over's) and one per subgame.
enum MusicSlot {
  MUSIC_COMM = 0,
  MUSIC_DEMO = 1,
  MUSIC_DICT = 2,
  MUSIC_PRES = 3,
  MUSIC_CREDITS = 4,
  MUSIC_BOXING = 5,
  MUSIC_DEPUTY = 6,
  MUSIC_OLIGARCH = 7,
};
static_assert(MUSIC_OLIGARCH + 1 == FX_MUSIC_SLOTS, "one slot per module");
// Orders inside the modules where the triggers start the music: the intro,
// the play loop, a mission's theme, a crisis's theme (in the elections'
// module: the menu's theme) and the menu's start jingle.
enum MusicOrder {
  MUSIC_ORDER_INTRO = 0,
  MUSIC_ORDER_PLAY = 1,
  MUSIC_ORDER_MISSION = 20,
  MUSIC_ORDER_CRISIS = 31,
  MUSIC_ORDER_MENU_START = 41,
};

// Loads the eight music slots ("music/comm.it" ...). 1 only when all loaded.
int setupMusic();
