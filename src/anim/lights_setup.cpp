// Lamp builders: the standard programs over a lamp sprite, the indicator
// bars, the bumper flashes, the crane animations, and which lamp of the table
// is built how.
#include <cstdio>
#include <cstring>

#include "anim/lights.h"
#include "anim/lights_internal.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/text.h"
#include "core/nproc.h"
#include "gfx/rda.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"

namespace {

constexpr size_t kPathSize = 260;

// Lookups in a missing set fall back to the defaults.
ConfSet* confOf(ConfSet* game) {
  static ConfSet empty{};
  return game ? game : &empty;
}

int onDelayOf(ConfSet* game) { return conf_getint(confOf(game), "on_delay", 50); }

int lampKeyInt(ConfSet* game, const char* name, const char* item, int defaultValue) {
  char key[128];
  strFormatN(key, sizeof key, "%s.%s", name ? name : "", item);
  return conf_getint(confOf(game), key, defaultValue);
}

// The standard programs over a sprite of N frames, drawn by a new object.
// The object, or null after logging as fn.
VBOBJ* buildStandard(int light, Sprite* sprite, const char* name, int flags, ConfSet* game, const char* fn) {
  const int n = sprite->numfrms;
  const int d = lampKeyInt(game, name, "on_delay", onDelayOf(game));

  VBOBJ* obj = vbAddObject(sprite, -1, 0, 0);
  if (!obj) {
    logError(0, "%s: vbAddObject() returned error", fn);
    return nullptr;
  }
  if (flags & LIGHT_FLAG_ADDITIVE) {
    obj->addFlag = 1;
    flags |= LIGHT_FLAG_NOT_SMART;
  }
  if (!(flags & LIGHT_FLAG_NOT_SMART)) vbMakeSmart(obj);

  lightClear(light);

  // Off: entered from its start (as an after-loop state) it fades out from
  // frame N-2; lightSet enters it at Mark 0 and goes dark at once.
  lightAppendMark(light, LIGHT_OFF, 1);
  for (int i = 0; i < n; ++i) {
    lightAppendSetFrame(light, LIGHT_OFF, obj, n - 2 - i);
    lightAppendDelay(light, LIGHT_OFF, d);
  }
  lightAppendMark(light, LIGHT_OFF, 0);
  lightAppendSetFrame(light, LIGHT_OFF, obj, -1);
  lightDefaultMark(light, LIGHT_OFF, 0);

  // On: fades in and stays on the last frame.
  lightAppendMark(light, LIGHT_ON, 0);
  for (int i = 0; i < n; ++i) {
    lightAppendSetFrame(light, LIGHT_ON, obj, i);
    lightAppendDelay(light, LIGHT_ON, d);
  }
  lightAppendMark(light, LIGHT_ON, 1);

  // Blink and slow blink follow the signals of the blink generator: half,
  // full, half, dark.
  const int blinkStates[2] = {LIGHT_BLINK, LIGHT_SLOW_BLINK};
  for (int k = 0; k < 2; ++k) {
    const int state = blinkStates[k];
    const int signal = 4 * k;
    lightAppendWaitSignal(light, state, signal);
    lightAppendSetFrame(light, state, obj, 0);
    lightAppendWaitSignal(light, state, signal + 1);
    lightAppendSetFrame(light, state, obj, 1);
    lightAppendMark(light, state, 1);
    lightAppendWaitSignal(light, state, signal + 2);
    lightAppendSetFrame(light, state, obj, 0);
    lightAppendWaitSignal(light, state, signal + 3);
    lightAppendSetFrame(light, state, obj, -1);
    lightAppendMark(light, state, 0);
    lightAppendLoop(light, state);
  }

  // Flash: one fade up and down; an after-loop state returns the lamp to
  // where it was.
  if (flags & LIGHT_FLAG_FLASH) {
    const int f = lampKeyInt(game, name, "flash_delay", 10);
    for (int i = 0; i < n; ++i) {
      lightAppendSetFrame(light, LIGHT_FLASH, obj, i);
      lightAppendDelay(light, LIGHT_FLASH, f);
    }
    lightAppendMark(light, LIGHT_FLASH, 1);
    for (int i = 0; i < n; ++i) {
      lightAppendSetFrame(light, LIGHT_FLASH, obj, n - 2 - i);
      lightAppendDelay(light, LIGHT_FLASH, f);
    }
    lightAppendMark(light, LIGHT_FLASH, 0);
  }

  lightSet(light, LIGHT_OFF);
  return obj;
}

VBOBJ* fileLight(int light, const char* spriteFile, const char* name, int flags, ConfSet* game) {
  constexpr const char* fn = "createLight()";
  if (!lightCheck(light, fn)) return nullptr;
  char path[kPathSize];
  strFormatN(path, sizeof path, "data/%s", spriteFile ? spriteFile : "");
  Sprite* sprite = SPR_CREATE(path);
  if (!sprite) {
    logError(0, "%s: error loading %d/%s sprite '%s'", fn, light, lightLabel(light), path);
    return nullptr;
  }
  lightAdoptSprite(sprite);
  return buildStandard(light, sprite, name, flags, game, fn);
}

VBOBJ* rdaLight(int light, const char* spriteName, const char* name, int flags, ConfSet* game) {
  constexpr const char* fn = "createLightRDA()";
  if (!lightCheck(light, fn)) return nullptr;
  Sprite* sprite = rdaGetSprite(spriteName ? spriteName : "");
  if (!sprite) {
    logError(0, "%s: %d/%s sprite '%s' not found in RDA", fn, light, lightLabel(light), spriteName ? spriteName : "");
    return nullptr;
  }
  return buildStandard(light, sprite, name, flags, game, fn);
}

// ---------------------------------------------------------------------------
// Which lamp is built how
// ---------------------------------------------------------------------------

struct Numbers {
  int count;  // 0: one lamp, and the key's value is the sprite name as it stands
  int values[16];
};

constexpr Numbers range(int from, int to) {
  Numbers n{};
  for (int v = from; v <= to; ++v) n.values[n.count++] = v;
  return n;
}

constexpr Numbers kOne{};
constexpr Numbers kSideArrows{6, {1, 2, 4, 5, 7, 8}};

enum class Source { Rda, File };

// What happens to a lamp after its standard programs are built.
enum class After { Nothing, SetOn, SetOff, ZoneLamp };

struct LampGroup {
  int first;           // id of the lamp for the first number
  const char* prefix;  // prefix of the lamp's delay keys
  const char* key;     // sprite key
  const char* fallback;
  Numbers numbers;
  Source source;
  int flags;
  After after;
};

// Built by the rules' object set-up, in this order.
constexpr LampGroup kGameLamps[] = {
    {LI_T1ARROW, "arrows", "arrows.sprite", "arrows-undef-%d", range(1, 10), Source::Rda, 0, After::Nothing},
    {LI_GP_P10, "gasprom", "gasprom.percent_sprite", "gasprom-percent-undef-%d", range(1, 10), Source::Rda, 1,
     After::Nothing},
    {LI_VIDEO, "video", "video.sprite", "video-undef", kOne, Source::Rda, 0, After::Nothing},
    {LI_CREDIT, "credit", "credit.sprite", "credit-undef", kOne, Source::Rda, 0, After::Nothing},
    {LI_TV_GAS_TV, "tv_gas", "tv_gas.tv_sprite", "tv-gas-tv-undef", kOne, Source::Rda, 0, After::Nothing},
    {LI_TV_GAS_GAS, "tv_gas", "tv_gas.gas_sprite", "tv-gas-gas-undef", kOne, Source::Rda, 0, After::Nothing},
    {LI_TAX0, "tax", "tax.sprite", "tax-undef-%d", range(0, 3), Source::File, 1, After::Nothing},
    {LI_LAW_PRIZE, "law_prize", "law_prize.sprite", "law_prize-undef", kOne, Source::Rda, 0, After::Nothing},
    {LI_UKAZY_PRIZE, "ukazy_prize", "ukazy_prize.sprite", "ukazy_prize-undef", kOne, Source::Rda, 0,
     After::Nothing},
    {LI_LAW0, "law", "law.sprite", "law-undef-%d", range(0, 3), Source::Rda, 1, After::Nothing},
    {LI_UKAZY0, "ukazy", "ukazy.sprite", "ukazy-undef-%d", range(0, 3), Source::Rda, 0, After::Nothing},
    {LI_MUMRA0, "mumra", "mumra.sprite", "mumra-undef-%d", range(0, 4), Source::File, 0, After::Nothing},
    {LI_AMEN0, "amen", "amen.sprite", "amen-undef-%d", range(0, 4), Source::Rda, 0, After::Nothing},
    {LI_EXPORT, "gasprom", "gasprom.export_sprite", "gasprom-export-undef", kOne, Source::Rda, 0, After::Nothing},
    {LI_T1ARROW_COMM, "arrows", "arrows.comm_sprite", "comm-arrows-undef-%d", kSideArrows, Source::Rda, 0,
     After::Nothing},
    {LI_T1ARROW_DICT, "arrows", "arrows.dict_sprite", "dict-arrows-undef-%d", kSideArrows, Source::Rda, 0,
     After::Nothing},
    {LI_T1ARROW_DEMO, "arrows", "arrows.demo_sprite", "demo-arrows-undef-%d", kSideArrows, Source::Rda, 0,
     After::Nothing},
    {LI_PRES_2ND, "pres_2nd", "pres_2nd.sprite", "pres_2nd-undef", kOne, Source::Rda, 0, After::Nothing},
    {LI_PRES_3RD, "pres_3rd", "pres_3rd.sprite", "pres_3rd-undef", kOne, Source::Rda, 0, After::Nothing},
};

// After the bars, in id order.
constexpr LampGroup kGameLampsTail[] = {
    {LI_REKLAMA0, "reklama", "reklama.sprite", "reklama-undef-%d", range(0, 6), Source::File, 0, After::Nothing},
    {LI_ZONA_L0, "zona", "zona.lamps_sprite", "zona-lamps-undef-%d", range(0, 15), Source::File, 1,
     After::ZoneLamp},
};

// Built by setupLights after the cranes, in this order.
constexpr LampGroup kSessionLamps[] = {
    {LI_USSR0, "trilights", "trilights.sprite", "trilight-undef-%d", range(0, 3), Source::Rda, 0, After::Nothing},
    {LI_DUMAGATE0, "dumagate", "dumagate.sprite", "dumagate-undef-%d", range(0, 3), Source::Rda, 0,
     After::Nothing},
    {LI_KREMGATE0, "kremgate", "kremgate.sprite", "kremgate-undef-%d", range(0, 3), Source::Rda, 0,
     After::Nothing},
    {LI_SAVER0_ARROW, "savers", "savers.sprite", "saver-undef-%d", range(0, 1), Source::Rda, 0, After::SetOn},
    {LI_MSSELECT, "msselect", "msselect.sprite", "msselect-undef", kOne, Source::Rda, 0, After::Nothing},
    {LI_XB0, "xb", "xb.sprite", "xb-undef-%d", range(0, 1), Source::Rda, 0, After::SetOff},
    {LI_MOLNIA0, "molnia", "molnia.sprite", "molnia-undef-%d", range(0, 2), Source::Rda, 0, After::SetOff},
    {LI_VYBORY, "vybory", "vybory.sprite", "vybory-undef", kOne, Source::Rda, 0, After::Nothing},
    {LI_QUESTION, "question", "question.sprite", "question-undef", kOne, Source::Rda, 0, After::Nothing},
    {LI_TAX_AVAIL, "tax_avail", "tax_avail.sprite", "tax_avail-undef", kOne, Source::Rda, 0, After::Nothing},
    {LI_LAW_AVAIL, "law_avail", "law_avail.sprite", "law_avail-undef", kOne, Source::Rda, 0, After::Nothing},
    {LI_LAW_PRIZE, "law_prize", "law_prize.sprite", "law_prize-undef", kOne, Source::Rda, 0, After::Nothing},
    {LI_UKAZY_PRIZE, "ukazy_prize", "ukazy_prize.sprite", "ukazy_prize-undef", kOne, Source::Rda, 0,
     After::Nothing},
    {LI_AMNESTY, "amnesty", "amnesty.sprite", "amnesty-undef", kOne, Source::Rda, 0, After::Nothing},
};

int lampsOf(const LampGroup& g) { return g.numbers.count > 0 ? g.numbers.count : 1; }

LightSprite spriteOf(const LampGroup& g, int i) {
  return {g.source == Source::Rda ? LIGHT_SPRITE_REGIME : LIGHT_SPRITE_DATA, g.key, g.fallback,
          g.numbers.count > 0 ? g.numbers.values[i] : -1};
}

// Builds every lamp of a group; false when any failed.
bool buildGroup(const LampGroup& g, ConfSet* game) {
  bool ok = true;
  for (int i = 0; i < lampsOf(g); ++i) {
    const int light = g.first + i;
    char sprite[kPathSize];
    const LightSprite ls = spriteOf(g, i);
    lightSpriteName(&ls, game, sprite, sizeof sprite);
    VBOBJ* obj = g.source == Source::Rda ? rdaLight(light, sprite, g.prefix, g.flags, game)
                                         : fileLight(light, sprite, g.prefix, g.flags, game);
    if (!obj) {
      ok = false;
      continue;
    }
    switch (g.after) {
      case After::Nothing:
        break;
      case After::SetOn:
        lightSet(light, LIGHT_ON);
        break;
      case After::SetOff:
        lightSet(light, LIGHT_OFF);
        break;
      case After::ZoneLamp:
        obj->addFlag = 1;
        vbSetLayer(obj, 5);
        break;
    }
  }
  return ok;
}

// A bar of ten lamps over one regime sprite of ten frames, lamp i showing
// frame i. The lamps stay idle until the rules set them.
struct Bar {
  int first;
  const char* key;
  const char* fallback;
  const char* label;
};

constexpr Bar kBars[] = {
    {LI_CHARISMA0, "c.sprite", "c-undef", "charisma"},
    {LI_POWER0, "p.sprite", "p-undef", "power"},
    {LI_WEALTH0, "w.sprite", "w-undef", "wealth"},
};

constexpr int kBarLamps = 10;

LightSprite spriteOf(const Bar& bar) { return {LIGHT_SPRITE_BAR, bar.key, bar.fallback, -1}; }

bool buildBar(const Bar& bar, ConfSet* game) {
  constexpr const char* fn = "gameSetupObjects()";
  char name[kPathSize];
  const LightSprite ls = spriteOf(bar);
  lightSpriteName(&ls, game, name, sizeof name);
  Sprite* sprite = rdaGetSprite(name);
  if (!sprite) {
    logError(0, "%s: %s sprite '%s' not found in RDA", fn, bar.label, name);
    return false;
  }
  const int blinkDelay = conf_getint(confOf(game), "blink_delay", 100);
  for (int i = 0; i < kBarLamps; ++i) {
    const int light = bar.first + i;
    VBOBJ* obj = vbAddObject(sprite, -1, 0, 0);
    if (!obj) {
      logError(0, "%s: vbAddObject() returned error", fn);
      return false;
    }
    lightAppendSetFrame(light, LIGHT_OFF, obj, -1);
    lightAppendSetFrame(light, LIGHT_ON, obj, i);
    lightAppendBlink(light, LIGHT_BLINK, obj, i, blinkDelay);
  }
  return true;
}

// Loads a sprite by its path as it stands (bumpers, cranes).
Sprite* loadOwnSprite(const char* path) {
  Sprite* sprite = SPR_CREATE(path);
  if (!sprite) {
    logError(0, "%s: error loading sprite '%s'", "setupLights()", path);
    return nullptr;
  }
  lightAdoptSprite(sprite);
  return sprite;
}

VBOBJ* addSmartObject(Sprite* sprite) {
  VBOBJ* obj = vbAddObject(sprite, -1, 0, 0);
  if (!obj) {
    logError(0, "%s: vbAddObject() returned error", "setupLights()");
    return nullptr;
  }
  vbMakeSmart(obj);
  return obj;
}

// Bumper lamps: dark, and a hit flashes them up and down once. Lamp k of a
// bumper group shows the sprite numbered k; its name is a path.
struct BumperGroup {
  int first;
  const char* prefix;  // prefix of the group's delay key
  const char* key;     // sprite key
  const char* fallback;
};

constexpr int kBumperLamps = 3;
constexpr BumperGroup kBumpers[] = {
    {LI_DUMA_BUMPER0, "duma_bumper", "duma_bumper.sprite", "duma_bumper-undef-%d"},
    {LI_KREM_BUMPER0, "krem_bumper", "krem_bumper.sprite", "krem_bumper-undef-%d"},
};

LightSprite spriteOf(const BumperGroup& b, int k) { return {LIGHT_SPRITE_BUMPER, b.key, b.fallback, k}; }

bool buildBumpers(const BumperGroup& b, ConfSet* game) {
  const int delay = lampKeyInt(game, b.prefix, "on_delay", onDelayOf(game));
  bool ok = true;
  for (int k = 0; k < kBumperLamps; ++k) {
    const int light = b.first + k;
    char path[kPathSize];
    const LightSprite ls = spriteOf(b, k);
    lightSpriteName(&ls, game, path, sizeof path);
    Sprite* sprite = loadOwnSprite(path);
    VBOBJ* obj = sprite ? addSmartObject(sprite) : nullptr;
    if (!obj) {
      ok = false;
      continue;
    }
    const int n = sprite->numfrms;
    lightAppendSetFrame(light, LIGHT_OFF, obj, -1);
    for (int i = 0; i < n; ++i) {
      lightAppendSetFrame(light, LIGHT_ON, obj, i);
      lightAppendDelay(light, LIGHT_ON, delay);
    }
    for (int i = n - 2; i >= 0; --i) {
      lightAppendSetFrame(light, LIGHT_ON, obj, i);
      lightAppendDelay(light, LIGHT_ON, delay);
    }
    lightAppendSetState(light, LIGHT_ON, LIGHT_OFF);
    lightSet(light, LIGHT_OFF);
  }
  return ok;
}

// Crane lamps: frame 0 at rest; switched on, the animation runs three
// times and the lamp comes back to rest. The sprite's name is a path.
struct Crane {
  int light;
  const char* key;
  const char* fallback;
};

constexpr Crane kCranes[] = {
    {LI_CRANE_SPRING, "crane.spring_sprite", "crane-spring-undef"},
    {LI_CRANE_T20, "crane.t20_sprite", "crane-t20-undef"},
    {LI_CRANE_T22, "crane.t22_sprite", "crane-t22-undef"},
};

LightSprite spriteOf(const Crane& c) { return {LIGHT_SPRITE_CRANE, c.key, c.fallback, -1}; }

bool buildCrane(const Crane& crane, ConfSet* game) {
  const int light = crane.light;
  char path[kPathSize];
  const LightSprite ls = spriteOf(crane);
  lightSpriteName(&ls, game, path, sizeof path);
  const int delay = conf_getint(confOf(game), "crane.delay", 10);
  Sprite* sprite = loadOwnSprite(path);
  VBOBJ* obj = sprite ? addSmartObject(sprite) : nullptr;
  if (!obj) return false;
  const int n = sprite->numfrms;
  lightClear(light);
  lightAppendSetFrame(light, LIGHT_OFF, obj, 0);
  for (int i = 1; i < 3 * n; ++i) {
    lightAppendSetFrame(light, LIGHT_ON, obj, i % n);
    lightAppendDelay(light, LIGHT_ON, delay);
  }
  lightAppendSetState(light, LIGHT_ON, LIGHT_OFF);
  lightSet(light, LIGHT_OFF);
  return true;
}

int craneSpring(NamedProc*) {
  lightSet(LI_CRANE_SPRING, LIGHT_ON);
  return 0;
}

int craneT20(NamedProc*) {
  lightSet(LI_CRANE_T20, LIGHT_ON);
  return 0;
}

int craneT22(NamedProc*) {
  lightSet(LI_CRANE_T22, LIGHT_ON);
  return 0;
}

}  // namespace

int lightSprite(int light, LightSprite* out) {
  auto inGroups = [&](const auto& groups) {
    for (const LampGroup& g : groups) {
      if (light >= g.first && light < g.first + lampsOf(g)) {
        *out = spriteOf(g, light - g.first);
        return true;
      }
    }
    return false;
  };
  if (inGroups(kGameLamps) || inGroups(kGameLampsTail) || inGroups(kSessionLamps)) return 1;
  for (const Bar& bar : kBars) {
    if (light >= bar.first && light < bar.first + kBarLamps) {
      *out = spriteOf(bar);
      return 1;
    }
  }
  for (const BumperGroup& b : kBumpers) {
    if (light >= b.first && light < b.first + kBumperLamps) {
      *out = spriteOf(b, light - b.first);
      return 1;
    }
  }
  for (const Crane& c : kCranes) {
    if (light == c.light) {
      *out = spriteOf(c);
      return 1;
    }
  }
  return 0;
}

void lightSpriteName(const LightSprite* sprite, ConfSet* game, char* out, size_t size) {
  const char* pattern = conf_getstr(confOf(game), sprite->key, sprite->fallback);
  if (sprite->number >= 0)
    strFormatNumbered(out, size, pattern, sprite->number);
  else
    strCopyN(out, pattern, size);
}

int createLight(int light, const char* spriteFile, const char* name, int flags, ConfSet* game) {
  return fileLight(light, spriteFile, name, flags, game) ? 1 : 0;
}

int createLightRDA(int light, const char* spriteName, const char* name, int flags, ConfSet* game) {
  return rdaLight(light, spriteName, name, flags, game) ? 1 : 0;
}

int setupGameLights(ConfSet* game) {
  bool ok = true;
  for (const LampGroup& g : kGameLamps) ok &= buildGroup(g, game);
  for (const Bar& bar : kBars) ok &= buildBar(bar, game);
  for (const LampGroup& g : kGameLampsTail) ok &= buildGroup(g, game);
  return ok ? 1 : 0;
}

int setupLights(ConfSet* game) {
  lightSetNameFunc(lightName);
  bool ok = true;
  for (const Crane& c : kCranes) ok &= buildCrane(c, game);
  lightSet(LI_T6ARROW, LIGHT_OFF);
  for (const LampGroup& g : kSessionLamps) ok &= buildGroup(g, game);
  for (const BumperGroup& b : kBumpers) ok &= buildBumpers(b, game);
  registerNamedProc("crane_spring", craneSpring);
  registerNamedProc("crane_t20", craneT20);
  registerNamedProc("crane_t22", craneT22);
  return ok ? 1 : 0;
}
