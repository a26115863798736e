#pragma once
// Animation scripts (.gnm): the looping decorations of the table's features.
//
// A script holds tracks; each track drives one visual-board object through a
// list of events (play a sprite's frames, sleep, play a sound, wait for or
// run a mark ...). All tracks of a started script run side by side, advanced
// by gnmUpdate with the frame delta. Scripts live in 20 numbered slots; each
// feature (the Duma, the zone, "bd", the gas company) has one script that
// always runs and one per feature state (0 off, 1 on, 2 crisis), of which
// gnmSetFeatureState keeps exactly one started.
//
// Script text, one command a line ('#' starts a comment, a trailing '\'
// joins the next line, trailing ';' are dropped, commands ignore case):
//   set KEY=VALUE, ...        the script's settings, which tracks defined
//                             later copy
//   custom KEY=VALUE, ...     accepted and ignored
//   track NAME: CMD; CMD ...  a track and its events; the track named "s"
//                             gets a smart object, "a" additive drawing, "m"
//                             mirrored drawing
// Settings: dir (folder of sprites and list files), snddir (folder of
// samples), delay (ms a frame is shown), dx, dy (offset of the object),
// sndvol (0..100), sndpan (-100..100). A value is looked up in the track's
// settings, then the script's, then the global defaults (dir "", snddir "",
// delay 1, dx 0, dy 0, sndvol 100, sndpan 0). A "set" inside a track is an
// event applied when the track reaches it; sprite and sample paths are
// resolved while reading, with the settings the track had when defined.
// Track commands:
//   play NAME[,START[,END]]  frames START..END (either way round) of
//                            DIR/NAME.gsp, one per delay period
//   set KEY=VALUE, ...       see above
//   list FILE                selects the lists of the list file DIR/FILE
//   sleep MS, fsleep N       wait MS milliseconds / N delay periods
//   noframe                  show nothing
//   loop, stop               back to the first event / stay here for good
//   mark M, waitmark M,      release the tracks of the script waiting at
//   runmark M                "waitmark M" / wait for that / make every track
//                            of the script with "mark M" jump to it
//   nolist                   no list selected
//   control NAME, nocontrol  a registered control callback drives the track
//   sndstart S, sndloop S,   play DIR/S.wav once / looping, stop it, play it
//   sndstop, sndplay S       and wait until it ends
// List file: lines of tokens separated by ',', ' ' or TAB. A line of column
// names (x or xstep, y or ystep, frame, delay) starts one new list per
// column; the integer lines below append to them (xstep and ystep values are
// summed up). While selected, x and y lists move the object, a frame list
// gives the frames a play shows, a delay list the period of each step.
//
// Errors while reading are logged as ">> [line N] TEXT" and "Error: ...";
// they leave the script invalid (it never runs). Warnings go on.
// Main thread only.
#include <cstdint>

struct Sprite;
struct VBOBJ;

enum {
  GNM_MAX = 20,           // script slots, ids 0..19
  GNM_TRACKS = 1024,      // TRACKS[]
  GNM_LISTS = 128,        // lists read from list files
  GNM_SPRITES = 512,      // sprites shared by all scripts
  GNM_SAMPLES = 256,      // samples shared by all scripts
  GNM_CONTROLS = 100,     // control callbacks
  GNM_PATH_SIZE = 260,    // dir, snddir and file paths: 259 characters and the terminator
  GNM_LINE_SIZE = 8192,   // longest logical line with its continuations, with the terminator
  GNM_NAME_SIZE = 64,     // track, mark and control names: 63 characters and the terminator
  GNM_LIST_FILE_MAX = 1 << 20,  // largest list file in bytes
};

// Event kinds; the value is the kind's code.
enum GnmEventKind {
  GNM_EV_PLAY = 0,
  GNM_EV_SET = 1,
  GNM_EV_LIST = 2,
  GNM_EV_SLEEP = 3,
  GNM_EV_FSLEEP = 4,
  GNM_EV_NOFRAME = 5,
  GNM_EV_LOOP = 6,
  GNM_EV_STOP = 7,
  GNM_EV_MARK = 8,
  GNM_EV_WAITMARK = 9,
  GNM_EV_RUNMARK = 10,
  GNM_EV_NOLIST = 11,
  GNM_EV_CONTROL = 12,
  GNM_EV_NOCONTROL = 13,
  GNM_EV_SNDSTART = 14,
  GNM_EV_SNDLOOP = 15,
  GNM_EV_SNDSTOP = 16,
  GNM_EV_SNDPLAY = 17,
  GNM_EV_KINDS = 18,
};

// Settings keys; a settings block marks the given ones with bit (1 << key).
enum GnmKey {
  GNM_KEY_DIR = 0,
  GNM_KEY_SNDDIR,
  GNM_KEY_DELAY,
  GNM_KEY_DX,
  GNM_KEY_DY,
  GNM_KEY_SNDVOL,
  GNM_KEY_SNDPAN,
  GNM_KEYS,
};

// The lists a list event names, by column.
enum GnmListColumn { GNM_LIST_X = 0, GNM_LIST_Y, GNM_LIST_FRAME, GNM_LIST_DELAY, GNM_LIST_COLUMNS };

struct GnmSettings {
  int given;                   // bit (1 << GnmKey) for each key set here
  char dir[GNM_PATH_SIZE];
  char snddir[GNM_PATH_SIZE];
  int value[GNM_KEYS];         // the numeric keys (delay, dx, dy, sndvol, sndpan)
};

struct GnmEvent {
  int kind;                    // GnmEventKind
  int sprite;                  // play: slot of the shared sprites
  int start, end;              // play: frames
  int value;                   // sleep: ms; fsleep: periods
  int lists[GNM_LIST_COLUMNS]; // list: list indices, -1 = not in the file
  int sample;                  // sndstart, sndloop, sndplay: slot of the shared samples
  char name[GNM_NAME_SIZE];    // mark, waitmark, runmark, control
  GnmSettings* settings;       // set: the keys it sets (owned)
};

struct GnmTrack {
  int inUse;
  int gnm;                     // script id
  char name[GNM_NAME_SIZE];
  int line;                    // line where its definition ends
  VBOBJ* object;
  GnmSettings settings;
  GnmEvent* events;            // grown 16 at a time
  int eventCount, eventCapacity;
  // Run state.
  int step;                    // current event
  int fresh;                   // the current event is being entered
  double elapsed;              // ms
  int list[GNM_LIST_COLUMNS];  // selected lists, -1 = none
  int listPos[GNM_LIST_COLUMNS];
  int frame;                   // frame shown by the running play
  int counter;                 // fsleep: periods left
  int control;                 // control callback, -1 = none
  int controlled;
  uint32_t channel;            // last sound started, 0 = none
};

struct GnmScript {
  int id;                      // -1 = invalid
  int started;
  GnmSettings settings;
};

// A control callback: nonzero takes over (or, while controlling, releases)
// the track at an event.
using GnmControlFn = int (*)(GnmTrack* track, GnmEvent* event);

// Empties every table (releasing what an earlier table left), marks all
// scripts invalid and sets the global defaults.
void gnmInit();
// Releases every track, list, sprite and sample: all scripts invalid. The
// tracks' board objects are deleted from the current board; free the board
// before the sprites are gone or call this while the board is current.
void gnmFree();

// Reads a script into slot id; every track's object goes onto the visual
// board's layer `layer`. 1, or 0 after logging (the script stays invalid).
// A valid id is read again after a warning.
int gnmLoad(int id, const char* path, int layer);
// Starts a valid script: every track from its first event, its object blank.
int gnmStart(int id);
// Stops a script and blanks its tracks' objects; their sounds play on.
int gnmStop(int id);
// Advances all started scripts by dt milliseconds (the frame delta).
void gnmUpdate(double dt);

// 1 for a valid script, else 0 (also for an id outside 0..19).
int gnmValid(int id);
int gnmStarted(int id);

// A setting of a track: the track's value, else its script's, else the
// global default. Text keys give "" and numeric keys 0 for a free slot.
int gnmSettingInt(int track, int key);
const char* gnmSettingText(int track, int key);

// Registers a sprite by name for the settings' dir ("DIR/NAME.gsp"), loaded
// once and shared by path (without regard to case). Its slot, or -1 after
// logging.
int getSprite(const GnmSettings* settings, const char* name);
// Likewise a sample ("SNDDIR/NAME.wav") under a dynamic sample id.
int getSample(const GnmSettings* settings, const char* name);
Sprite* gnmSprite(int slot);   // null for a free slot
int gnmSampleId(int slot);     // -1 for a free slot

// The tables, for the game's other parts and tests.
GnmScript* gnmScript(int id);  // null outside 0..19
GnmTrack* gnmTrack(int slot);  // null outside 0..1023
// The slot of the first track of script id with this name, or -1.
int gnmFindTrack(int id, const char* name);
// The values of a list; count 0 and null for a free list.
const int* gnmList(int index, int* count);

// Registers a control callback under a name (found without regard to case).
// 1, or 0 after logging when all 100 are taken.
int gnmRegisterControl(const char* name, GnmControlFn fn);

// The features: each has an "@" script (always running) and three state
// scripts (off, on, crisis).
enum GnmFeature { GNM_FEATURE_DUMA = 0, GNM_FEATURE_ZONA, GNM_FEATURE_BD, GNM_FEATURE_GP, GNM_FEATURES };
// The script id of a feature's "@" script (state -1) or state 0..2; -1 for
// anything else. Duma 4 (@), 5..7; zone 0, 1..3; "bd" 8, 9..11; gas
// company 12, 13..15.
int gnmFeatureScript(int feature, int state);
// Switches a feature's state scripts: the one of the state starts, the two
// others stop; state -1 stops all three. 1, or 0 for an unknown feature or
// a state outside -1..2 (logged) or when a script would not start.
int gnmSetFeatureState(int feature, int state);

// Loads the sixteen feature scripts from "tiny/{duma,zona,bd,gp}-{@,0,1,2}.gnm"
// (the Duma, the zone and "bd" on board layer 1, the gas company on 5),
// starts the four "@" scripts and puts every feature into state 0. Works in
// "tiny" (paths inside the scripts are relative to it) and keeps the log file
// in place. loadMark, when given, is called with each file name after it was
// read (the load-time estimator's mark). 1, or 0 after logging when anything
// failed; the scripts that loaded still run.
int setupGnms(int (*loadMark)(const char* category));
