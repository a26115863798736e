#pragma once
// Title animations: the messages of the dot-matrix display. A title is a
// named sequence of text pages (anim/page.h), video clips and samples,
// defined in the title configuration files of "titles/" and played in one of
// two title contexts: the foreground (event messages) and the background
// (long-running displays). The rules never draw text themselves: they set
// macros that the page texts reference as "$(name)" and start titles by name,
// optionally with a one-shot callback for when the title ends.
//
// Life cycle (the table session drives it):
//   setupTitleContexts(w, h)  both contexts, each a page and an off-screen
//                             surface of w x h pixels in gsCurrent's format;
//                             the foreground becomes the active context
//   setupTitleAnimations()    every titles/*.conf (or .bcf): page set-up
//                             texts, videos, samples and the titles 256..511
//   titleFrame(dt)            once per frame
//   titleUnload()             session end: contexts, titles, videos, samples
// Macros live outside that cycle: they keep their values until set again or
// cleared.
//
// Title configuration: every section other than "begin", "video",
// "video_*" and "samples" (the title samples) is a title; a key
// NAME.k of title NAME falls back to the file-wide key k:
//   begin, end            texts plotted before the first / after the last page
//   prefix, suffix        wrapped around every page text and sample mnemonic
//   clear "R,G,B"         background colour (default "0,0,0", 255 for a
//                         missing part)
//   unplot (0), delay (-1), volume (100), panning (0)
// and per step i (0, 1, ... until a step has neither plot nor plotmac):
//   prefixI suffixI clearI unplotI   replace the values above from step i on
//   loopI                 nonzero: the title starts over (and the list ends)
//   plotI / plotmacI      the page text; a plotmac text is evaluated with the
//                         macros each time the display is drawn
//   volumeI panningI sampleI   a sample played with the page
//   delayI                how long the page stays (none when not above 0)
// Video section "video_NAME": playI (a clip name from "video.loadI =
// NAME FILE"), loopI nonzero restarts the clip list.
// Samples: "samples.loadI = MNEMONIC FILE".
//
// Status: functions return 1, or 0 after logging (core/log.h), unless said.

struct ConfSet;
struct gscr;
struct PageContext;

enum {
  TITLE_MACROS = 128,
  TITLE_MACRO_NAME = 32,    // a name has at most 31 characters
  TITLE_MACRO_VALUE = 129,  // a value has at most 128 characters
  TITLE_FIRST_ID = 256,     // title ids are 256..511
  TITLE_COUNT = 256,
  TITLE_VIDEOS = 64,
  TITLE_SAMPLES = 64,
  TITLE_SLOT_NAME = 32,     // names of title videos and samples: 31 characters
  TITLE_TEXT = 2048,        // formatted page texts and evaluated macro texts
  TITLE_IDLE_MS = 2000,     // idle time before the background score title
};

enum { TITLE_FORE = 0, TITLE_BACK = 1 };

using TitleEndFn = void (*)();
// The name of the current regime ("comm", "demo", "dict") for the idle
// background title "score_<regime>".
using TitleRegimeFn = const char* (*)();

// Both contexts (width x height pixels each, in gsCurrent's pixel format).
int setupTitleContexts(int width, int height);
// One context: which is TITLE_FORE or TITLE_BACK.
int titleCreateContext(int which, int width, int height);
// Loads every title configuration of "titles/" (the working directory is
// changed to it and back). 0 when any file or item failed; loading goes on.
int setupTitleAnimations();
// The same for one configuration set already read (used by the loader; the
// working directory must be the one its file names are relative to).
int loadTitleConf(ConfSet* set);
// Frees the contexts, titles, videos and samples (macros stay).
void titleUnload();

// Starts the title "title-<name>" in the foreground (background) context;
// its id, or -1 (unknown name, no contexts, a title without pages, or the
// context is running the end callbacks of a title being replaced). A title
// still playing in that context ends first: its end functions run before the
// new title starts. Started from the end callbacks of a title that ran to
// its end (a chain: "ball_lost", then the ball count), the title plays as
// soon as those callbacks are done, and a one-shot callback set for it then
// (titleEndCallbackOnce) is its own.
// Every call is also noted in core/calls.
int startForeTitle(const char* name);
int startBackTitle(const char* name);
// Plays title id in the active context from its start (cursors and timers
// reset). 0 without an active context, for an invalid id or a title without
// page events.
int titlePlay(int id);
// The active context's one-shot end callback: runs once, after the permanent
// end function, when the title playing ends or is replaced. Without an active
// title playing: "no active title" and the callback is not stored (callers
// that must go on then run it themselves). Noted in core/calls.
void titleEndCallbackOnce(TitleEndFn fn);
// Chains a step on the title just started: started is what startForeTitle
// or startBackTitle returned. When that title plays, fn becomes its one-shot
// end callback (titleEndCallbackOnce); when it did not start (no title
// configuration loaded, unknown name), fn runs at once, so that the sequences
// the rules chain on titles (a new ball after "ball_lost" ...) go on. Noted
// in core/calls as "titleEndCallbackOnce" either way.
void titleEndCallbackOrNow(int started, TitleEndFn fn);
// The permanent end function of a context (null: none).
void titleSetEndFunction(int which, TitleEndFn fn);
// 1 when id is the background title playing: it ends at its next update.
int titleEndBack(int id);
// Formats into TITLE_TEXT bytes and plots it on the active context's page.
int titleExecPage(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Advances the active context by dt ms; draws the page at (x, y) of the
// context's surface (filled with the clear colour) and the video frame on
// top. 1 when the display changed, else 0.
int titleUpdate(int x, int y, double dt);
// Per frame: updates the foreground while it plays, else the background
// while it plays; with neither playing for more than TITLE_IDLE_MS of summed
// dt, starts the background title "score_<regime>". 1 when the display must
// be redrawn: the context updated changed, or another context is shown than
// at the last redraw (titleShown).
int titleFrame(double dt);
// The context whose surface the display shows: the one titleFrame updated
// last, -1 before any.
int titleShown();
// Installs the regime name source for the idle title (null: no idle title).
void titleSetRegimeName(TitleRegimeFn fn);
// Plays a title sample by mnemonic.
int playSample(const char* mnemonic, int volume, int panning);

// Inspection, for the session's drawing and for tests.
int titleActiveContext();             // TITLE_FORE, TITLE_BACK or -1
int titlePlaying(int which);          // title id or -1
gscr* titleSurface(int which);  // the context's surface, or null
PageContext* titlePage(int which);
int titleFind(const char* name);      // id of "title-<name>", or -1
const char* titleName(int id);        // the section name of a title, or null
// Events of a title, for tests: count, and each one's type and text.
enum { TE_PLOT = 1, TE_PLOTMAC, TE_UNPLOT, TE_DELAY, TE_CLEAR, TE_SAMPLE, TE_LOOP, TE_PLAY };
int titleEventCount(int id, int video);
// Type of event i (0 when out of range); text and the three numbers (delay;
// clear red, green, blue; sample volume, panning) when the pointers are given.
int titleEvent(int id, int video, int i, const char** text, int* a, int* b, int* c);

// Sets a macro (exact name); a null value is stored as "". Names of 32
// characters or more are refused; values are cut to 128 characters.
void titleSetMacro(const char* name, const char* value);
// The value of a macro, or null.
const char* titleMacro(const char* name);
void titleClearMacros();
// Replaces every "$(name)" in text by the macro's value, into out (size
// bytes, cut). A "$" not followed by "(", without ")" or with a space before
// ")" is copied as written; unknown or too long names are kept as written
// after a message. Returns out.
const char* evalMacro(const char* text, char* out, int size);
// Lines first .. first + count - 1 (from 0) of a page text whose lines are
// separated by backslash-n, joined again by backslash-n, into out (size
// bytes, always terminated; cut when too long, never in the middle of a
// separator). An empty text when text is null, first is negative or past the
// last line, or count is not above 0; count may run past the last line.
// Returns out. A text longer than a page holds is shown a page at a time
// this way: the question mission sets "question_text" to the whole
// question, "question_text1" to its lines 0-1 and "question_text2" to its
// lines 2-3, and the question titles show the two as two pages.
const char* titleLines(const char* text, int first, int count, char* out, int size);

