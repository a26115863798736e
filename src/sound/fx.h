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
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>

struct ConfSet;

enum { FX_SAMPLES = 256, FX_MODULES = 256, FX_FIRST_DYNAMIC = 128, FX_MUSIC_SLOTS = 8 };

// The fixed sample ids in id order. The ids (SampleId) and their names
// (SAMPLE_NAMES) are both made from this one list, so a sample cannot lose
// its name or get another's. 0..23 are the subgames' samples, 24..52 the
// table's, 53..72 the sound machine's.
#define SAMPLE_ID_LIST(X) \
  /*  0 */ X(SI_OLIGARCH_BODY_MOVE) X(SI_OLIGARCH_GOLD_CATCH) X(SI_OLIGARCH_GOLD_BREAK) \
  /*  3 */ X(SI_BOXING_DROL_HIT1) X(SI_BOXING_DROL_HIT2) X(SI_BOXING_DROL_BOOM) X(SI_BOXING_DROL_KNOCKOUT) \
  /*  7 */ X(SI_BOXING_VESK_HIT1) X(SI_BOXING_VESK_HIT2) X(SI_BOXING_VESK_BOOM) X(SI_BOXING_VESK_KNOCKOUT) \
  /* 11 */ X(SI_BOXING_TAROK_HIT1) X(SI_BOXING_TAROK_HIT2) X(SI_BOXING_TAROK_BOOM) X(SI_BOXING_TAROK_KNOCKOUT) \
  /* 15 */ X(SI_DEPUTY_MAN1_DIE) X(SI_DEPUTY_MAN2_DIE) X(SI_DEPUTY_MAN1_RUN) X(SI_DEPUTY_MAN2_RUN) \
  /* 19 */ X(SI_DEPUTY_MISS1) X(SI_DEPUTY_MISS2) X(SI_DEPUTY_MISS3) X(SI_DEPUTY_RELOAD) X(SI_DEPUTY_SHOOT) \
  /* 24 */ X(SI_DUMA_BUMPER) X(SI_KREM_BUMPER) X(SI_SAVER) X(SI_TRIANGLE) X(SI_FLAP_DOWN) X(SI_FLAPS_UP) \
  /* 30 */ X(SI_LFLIPPER_PRESS) X(SI_RFLIPPER_PRESS) X(SI_LFLIPPER_RLS) X(SI_RFLIPPER_RLS) \
  /* 34 */ X(SI_DUMAGATE) X(SI_KREMGATE) X(SI_LSPINNER) X(SI_RSPINNER) X(SI_TRILIGHTS) \
  /* 39 */ X(SI_MISSION_DOWN) X(SI_MISSION_SELECT) X(SI_SPRDOOR) X(SI_SPIRALBTN) \
  /* 43 */ X(SI_OSTLIFT_UP) X(SI_OSTLIFT_DOWN) X(SI_OSTLIFT_ROTATE) X(SI_DROPPER) X(SI_SPRING) \
  /* 48 */ X(SI_BUTTON) X(SI_GASBTN) X(SI_OSTBTN) X(SI_ZONABTN) X(SI_TRI) \
  /* 53 */ X(SI_SNDMACH_SAMPLE0) X(SI_SNDMACH_SAMPLE1) X(SI_SNDMACH_SAMPLE2) X(SI_SNDMACH_SAMPLE3) \
  /* 57 */ X(SI_SNDMACH_SAMPLE4) X(SI_SNDMACH_SAMPLE5) X(SI_SNDMACH_SAMPLE6) X(SI_SNDMACH_SAMPLE7) \
  /* 61 */ X(SI_SNDMACH_SAMPLE8) X(SI_SNDMACH_SAMPLE9) X(SI_SNDMACH_SAMPLE10) X(SI_SNDMACH_SAMPLE11) \
  /* 65 */ X(SI_SNDMACH_SAMPLE12) X(SI_SNDMACH_SAMPLE13) X(SI_SNDMACH_SAMPLE14) X(SI_SNDMACH_SAMPLE15) \
  /* 69 */ X(SI_SNDMACH_SAMPLE16) X(SI_SNDMACH_SAMPLE17) X(SI_SNDMACH_SAMPLE18) X(SI_SNDMACH_SAMPLE19)

enum SampleId : int {
#define SAMPLE_ID_ENUM(id) id,
  SAMPLE_ID_LIST(SAMPLE_ID_ENUM)
#undef SAMPLE_ID_ENUM
  SI_LAST  // 73, the count
};

// The SI_ names, by id.
inline constexpr const char* SAMPLE_NAMES[] = {
#define SAMPLE_ID_NAME(id) #id,
    SAMPLE_ID_LIST(SAMPLE_ID_NAME)
#undef SAMPLE_ID_NAME
};
static_assert(std::size(SAMPLE_NAMES) == SI_LAST);
static_assert(SI_BOXING_DROL_HIT1 == 3 && SI_DEPUTY_MAN1_DIE == 15 && SI_DUMA_BUMPER == 24 && SI_TRIANGLE == 27);
static_assert(SI_DUMAGATE == 34 && SI_TRI == 52 && SI_SNDMACH_SAMPLE0 == 53 && SI_SNDMACH_SAMPLE19 == 72);
static_assert(SI_LAST == 73);

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

// A sample the table loads itself: its id and its name in the sample
// configuration (by default also the name of its file, "samples/<name>.wav").
struct TableSample {
  int id;
  const char* name;
};
// The samples setupSamples loads, in the order it loads them: ids 24..52
// without SI_TRIANGLE. (The subgames load 0..23; the sound machine's ids are
// not loaded.)
std::span<const TableSample> tableSamples();

// Loads the table's samples with their settings from the sample
// configuration set ("conf/sample.conf", read and kept by the session; null
// means all defaults): installs the SI_* names, then loadSample for each
// table sample. 1 only when all loaded.
int setupSamples(ConfSet* sampleConf);
// The file of a table sample by its configuration name: "samples/" and
// "<name>.file" when the configuration (null: none) has it, else
// "samples/<name>.wav"; cut to fit size.
void tableSamplePath(ConfSet* sampleConf, const char* name, char* path, size_t size);
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
