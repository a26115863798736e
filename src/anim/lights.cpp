// Lamp programs: the lamp table, the program steps and their executor, the
// signals and the blink generator that raises them.
#include "anim/lights.h"

#include <cstring>

#include "anim/lights_internal.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/mem.h"
#include "core/time.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"

namespace {

enum class StepKind : int { SetFrame, SetState, Delay, Mark, WaitSignal, Loop };

struct Step {
  StepKind kind;
  VBOBJ* object;  // SetFrame
  int value;      // frame, target state, milliseconds, mark or signal
};

// Idle from program start, before the first lightInit.
struct Light {
  Array states[LIGHT_STATES];  // Step; data == null: no program for that state
  int defaultMark[LIGHT_STATES];
  int current = -1;    // 0..15, or -1: idle
  int step = 0;        // next step of the current state's program
  double elapsed = 0;  // ms accumulated for Delay steps
  int afterLoop = -1;  // -1: none
  int lastMark = -1;   // -1: none
};

Light gLights[LIGHT_MAX];
int gSignals[LIGHT_SIGNALS] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
int gNesting;

const char* noName(int) { return "<NOSID>"; }
LightNameFn gNameFn = noName;

const char* nameOf(int light) {
  const char* name = gNameFn(light);
  return name ? name : "<NOSID>";
}

bool lightOk(int light, const char* fn) {
  if (light >= 0 && light < LIGHT_MAX) return true;
  logError(0, "%s: invalid light %d, not in [0..%d]", fn, light, LIGHT_MAX - 1);
  return false;
}

bool stateOk(int light, int state, const char* fn) {
  if (!lightOk(light, fn)) return false;
  if (state >= 0 && state < LIGHT_STATES) return true;
  logError(0, "%s: invalid state %d, not in [0..%d])", fn, state, LIGHT_STATES - 1);
  return false;
}

bool hasProgram(const Light& l, int state) { return l.states[state].data != nullptr; }

void resetLight(Light* l, int defaultMark) {
  for (Array& a : l->states) arrFree(&a);
  for (int& m : l->defaultMark) m = defaultMark;
  l->current = -1;
  l->step = 0;
  l->elapsed = 0;
  l->afterLoop = -1;
  l->lastMark = -1;
}

void appendStep(int light, int state, Step step, const char* fn) {
  if (!stateOk(light, state, fn)) return;
  Light& l = gLights[light];
  Array& program = l.states[state];
  if (!hasProgram(l, state)) {
    if (arrInit(&program, sizeof(Step), LIGHT_STEPS_INITIAL, LIGHT_STEPS_GROWTH) != 0) {
      logError(0, "%s: not enough memory for state %d of light %d/%s", fn, state, light, nameOf(light));
      return;
    }
    l.defaultMark[state] = -1;
  }
  // A failed append leaves the array dead (no storage); the next append
  // starts the program again.
  if (arrAppend1(&program, &step) != 0)
    logError(0, "%s: not enough memory for state %d of light %d/%s", fn, state, light, nameOf(light));
}

bool signalRaised(int signal) {
  for (int s : gSignals)
    if (s == signal) return true;
  return false;
}

// One step. 1: go on with the next step in this frame, 0: stop here for this
// frame.
int execEvent(int light, int state, int index) {
  if (++gNesting > LIGHT_MAX_NESTING)
    return logError(0, "%s: recursion too deep (%d), complex lights setup error", "execEvent()", LIGHT_MAX_NESTING);
  Light& l = gLights[light];
  const Step& s = *static_cast<const Step*>(arrGet(&l.states[state], index));
  int result = 1;
  switch (s.kind) {
    case StepKind::SetFrame:
      vbSetFrame(s.object, s.value);
      break;
    case StepKind::SetState:
      l.current = s.value;
      l.step = 0;
      l.elapsed = 0;
      l.afterLoop = -1;
      l.lastMark = -1;
      result = 0;
      break;
    case StepKind::Delay:
      if (s.value > l.elapsed) {
        result = 0;
      } else {
        // The overshoot of this frame counts towards the next Delay, so
        // uneven frames do not stretch an animation.
        l.elapsed -= s.value;
      }
      break;
    case StepKind::Mark:
      l.lastMark = s.value;
      break;
    case StepKind::WaitSignal:
      result = signalRaised(s.value) ? 1 : 0;
      break;
    case StepKind::Loop:
      l.step = 0;
      l.elapsed = 0;
      if (l.afterLoop >= 0) {
        l.current = l.afterLoop;
        l.afterLoop = -1;
        l.lastMark = -1;
      }
      result = 0;
      break;
  }
  --gNesting;
  return result;
}

void execState(int light, int state) {
  Light& l = gLights[light];
  const int count = hasProgram(l, state) ? l.states[state].count : 0;
  if (count == 0) {
    logError(0, "%s: light %d/%s state %d empty", "execState()", light, nameOf(light), state);
    return;
  }
  while (l.step < count) {
    if (!execEvent(light, state, l.step)) return;
    ++l.step;
  }
  // Ran off the end, in this frame or earlier: the lamp keeps its last frame
  // unless an after-loop state is pending.
  if (l.afterLoop >= 0) {
    l.step = 0;
    l.elapsed = 0;
    l.current = l.afterLoop;
    l.afterLoop = -1;
    l.lastMark = -1;
  }
}

}  // namespace

bool lightCheck(int light, const char* fn) { return lightOk(light, fn); }

const char* lightLabel(int light) { return nameOf(light); }

void lightSetNameFunc(LightNameFn fn) { gNameFn = fn ? fn : noName; }

const char* lightName(int light) {
  if (light >= 0 && light < LI_LAST) return LIGHT_NAMES[light];
  if (light >= LI_LAST && light < LIGHT_MAX) return "<dynamic>";
  return "<invalid>";
}

namespace {

// Sprites loaded by the lamp builders (file lamps, bumpers, cranes), freed
// with the lamps. Each entry keeps the sprite's name, so that a record that
// was freed elsewhere and reused by another sprite is not freed by mistake.
struct OwnedSprite {
  Sprite* sprite;
  char name[SPR_NAME_SIZE];
};
List gOwnedSprites;

void releaseSprites() {
  for (ListNode* node = gOwnedSprites.first; node; node = node->next) {
    const auto* owned = static_cast<const OwnedSprite*>(node->payload);
    Sprite* s = owned->sprite;
    if (s->inUse && std::strncmp(s->name, owned->name, sizeof owned->name) == 0) SPR_FREE(s);
  }
  listFree(&gOwnedSprites);
}

}  // namespace

void lightAdoptSprite(Sprite* sprite) {
  if (!sprite) return;
  OwnedSprite owned{sprite, {}};
  std::memcpy(owned.name, sprite->name, sizeof owned.name);
  // Without room to remember it the sprite simply lives until the sprite
  // table is emptied.
  listPushBack(&gOwnedSprites, &owned, sizeof owned);
}

void lightInit() {
  lightFree();
}

void lightFree() {
  for (Light& l : gLights) resetLight(&l, -1);
  for (int& s : gSignals) s = -1;
  releaseSprites();
}

int lightClear(int light) {
  if (!lightOk(light, "lightClear()")) return 0;
  resetLight(&gLights[light], 0);
  return 1;
}

void lightAppendSetFrame(int light, int state, VBOBJ* object, int frame) {
  appendStep(light, state, Step{StepKind::SetFrame, object, frame}, "lightAppendSetFrame()");
}

void lightAppendSetState(int light, int state, int target) {
  appendStep(light, state, Step{StepKind::SetState, nullptr, target}, "lightAppendSetState()");
}

void lightAppendDelay(int light, int state, int ms) {
  appendStep(light, state, Step{StepKind::Delay, nullptr, ms}, "lightAppendDelay()");
}

void lightAppendMark(int light, int state, int mark) {
  constexpr const char* fn = "lightAppendMark()";
  if (!stateOk(light, state, fn)) return;
  if (mark < 0) {
    logError(0, "%s: light %d/%s state %d invalid mark %d", fn, light, nameOf(light), state, mark);
    return;
  }
  appendStep(light, state, Step{StepKind::Mark, nullptr, mark}, fn);
}

void lightAppendWaitSignal(int light, int state, int signal) {
  constexpr const char* fn = "lightAppendWaitSignal()";
  if (!stateOk(light, state, fn)) return;
  if (signal < 0) {
    logError(0, "%s: light %d/%s state %d invalid signal %d", fn, light, nameOf(light), state, signal);
    return;
  }
  appendStep(light, state, Step{StepKind::WaitSignal, nullptr, signal}, fn);
}

void lightAppendLoop(int light, int state) {
  appendStep(light, state, Step{StepKind::Loop, nullptr, 0}, "lightAppendLoop()");
}

void lightAppendBlink(int light, int state, VBOBJ* object, int frame, int ms) {
  lightAppendSetFrame(light, state, object, -1);
  lightAppendDelay(light, state, ms);
  lightAppendSetFrame(light, state, object, frame);
  lightAppendDelay(light, state, ms);
  lightAppendLoop(light, state);
}

int lightSet(int light, int state) {
  if (!stateOk(light, state, "lightSet()")) return 0;
  Light& l = gLights[light];
  int start = 0;
  if (hasProgram(l, state) && l.defaultMark[state] >= 0) {
    const Array& program = l.states[state];
    const Step* steps = reinterpret_cast<const Step*>(program.data);
    for (int i = 0; i < program.count; ++i) {
      if (steps[i].kind == StepKind::Mark && steps[i].value == l.defaultMark[state]) {
        start = i;
        break;
      }
    }
  }
  l.current = state;
  l.step = start;
  l.elapsed = 0;
  l.afterLoop = -1;
  l.lastMark = -1;
  return 1;
}

int lightSetIfChanged(int light, int state) {
  if (light >= 0 && light < LIGHT_MAX && gLights[light].current == state) return 1;
  return lightSet(light, state);
}

int lightDefaultMark(int light, int state, int mark) {
  if (!stateOk(light, state, "lightDefaultMark()")) return 0;
  gLights[light].defaultMark[state] = mark;
  return 1;
}

int lightSetAfterLoop(int light, int state) {
  if (!stateOk(light, state, "lightSetAfterLoop()")) return 0;
  gLights[light].afterLoop = state;
  return 1;
}

int lightGetMark(int light) {
  if (!lightOk(light, "lightGetMark()")) return -1;
  return gLights[light].lastMark;
}

int lightGetState(int light) {
  if (light < 0 || light >= LIGHT_MAX) return -1;
  const Light& l = gLights[light];
  return l.afterLoop >= 0 ? l.afterLoop : l.current;
}

int lightCurrentState(int light) {
  if (light < 0 || light >= LIGHT_MAX) return -1;
  return gLights[light].current;
}

VBOBJ* lightObject(int light) {
  if (light < 0 || light >= LIGHT_MAX) return nullptr;
  Light& l = gLights[light];
  for (int state = 0; state < LIGHT_STATES; ++state) {
    if (!hasProgram(l, state)) continue;
    const Step* steps = reinterpret_cast<const Step*>(l.states[state].data);
    for (int i = 0; i < l.states[state].count; ++i)
      if (steps[i].kind == StepKind::SetFrame && steps[i].object) return steps[i].object;
  }
  return nullptr;
}

int lightSignal(int signal) {
  for (int& s : gSignals) {
    if (s < 0) {
      s = signal;
      return 0;
    }
  }
  return logError(-1, "%s: no free signal descriptors found, all %d occupied, possible SE", "lightSignal()",
                  LIGHT_SIGNALS);
}

void lightUpdate(double dt) {
  for (int light = 0; light < LIGHT_MAX; ++light) {
    Light& l = gLights[light];
    if (l.current < 0 || l.current >= LIGHT_STATES) continue;
    gNesting = 0;
    execState(light, l.current);
    l.elapsed += dt;
  }
  for (int& s : gSignals) s = -1;
}

void lightList() {
  logPrint("------- %s -------", "lightList()");
  for (int light = 0; light < LIGHT_MAX; ++light) {
    const Light& l = gLights[light];
    int states = 0;
    for (int state = 0; state < LIGHT_STATES; ++state) states += hasProgram(l, state) && l.states[state].count > 0;
    if (states > 0)
      logPrint("light-%d/%s states-%d", light, nameOf(light), states);
    else
      logPrint("light-%d/%s <empty>", light, nameOf(light));
  }
}

// ---------------------------------------------------------------------------
// Blink generator
// ---------------------------------------------------------------------------

namespace {

struct BlinkGenerator {
  int phase;
  double lastSwitch;  // -1: not started
  double wait;
};

struct SynLight {
  int tick = 20, blinkUp = 100, blinkDown = 100, slowUp = 500, slowDown = 500;
  BlinkGenerator fast{0, -1, 0};
  BlinkGenerator slow{4, -1, 0};
};

SynLight gSyn;

// Phase p (0..3 of its generator) raises signal base + p and then waits the
// period that follows it: rise, tick, fall, tick.
void stepGenerator(BlinkGenerator* g, int base, double now, int up, int down, int tick) {
  if (!(now - g->lastSwitch > g->wait)) return;
  g->lastSwitch = now;
  lightSignal(g->phase);
  switch (g->phase - base) {
    case 0: g->phase = base + 1, g->wait = tick; break;
    case 1: g->phase = base + 2, g->wait = down; break;
    case 2: g->phase = base + 3, g->wait = tick; break;
    default: g->phase = base, g->wait = up; break;
  }
}

}  // namespace

void synlightSetup(ConfSet* game) {
  ConfSet none{};
  if (!game) game = &none;  // no set: the defaults
  gSyn = SynLight{};
  gSyn.tick = conf_getint(game, "synlight.tick", 20);
  gSyn.blinkUp = conf_getint(game, "synlight.blink_goup", 100);
  gSyn.blinkDown = conf_getint(game, "synlight.blink_godown", 100);
  gSyn.slowUp = conf_getint(game, "synlight.slowblink_goup", 500);
  gSyn.slowDown = conf_getint(game, "synlight.slowblink_godown", 500);
}

void synlightUpdate() {
  const double now = tmTime;
  if (gSyn.fast.lastSwitch < 0) {
    // Both generators start waiting the fast rise period.
    gSyn.fast = BlinkGenerator{0, now, static_cast<double>(gSyn.blinkUp)};
    gSyn.slow = BlinkGenerator{4, now, static_cast<double>(gSyn.blinkUp)};
    return;
  }
  stepGenerator(&gSyn.fast, 0, now, gSyn.blinkUp, gSyn.blinkDown, gSyn.tick);
  stepGenerator(&gSyn.slow, 4, now, gSyn.slowUp, gSyn.slowDown, gSyn.tick);
}
