// The table's samples: the SI_* names, loading by configuration name with
// per-sample volume and panning, and playing with those settings.
#include <cstdint>

#include "core/conf.h"
#include "core/log.h"
#include "core/text.h"
#include "sound/fx.h"

namespace {

constexpr const char* kSampleNames[SI_LAST] = {
    "SI_OLIGARCH_BODY_MOVE",   "SI_OLIGARCH_GOLD_CATCH",  "SI_OLIGARCH_GOLD_BREAK",
    "SI_BOXING_DROL_HIT1",     "SI_BOXING_DROL_HIT2",     "SI_BOXING_DROL_BOOM",
    "SI_BOXING_DROL_KNOCKOUT", "SI_BOXING_VESK_HIT1",     "SI_BOXING_VESK_HIT2",
    "SI_BOXING_VESK_BOOM",     "SI_BOXING_VESK_KNOCKOUT", "SI_BOXING_TAROK_HIT1",
    "SI_BOXING_TAROK_HIT2",    "SI_BOXING_TAROK_BOOM",    "SI_BOXING_TAROK_KNOCKOUT",
    "SI_DEPUTY_MAN1_DIE",      "SI_DEPUTY_MAN2_DIE",      "SI_DEPUTY_MAN1_RUN",
    "SI_DEPUTY_MAN2_RUN",      "SI_DEPUTY_MISS1",         "SI_DEPUTY_MISS2",
    "SI_DEPUTY_MISS3",         "SI_DEPUTY_RELOAD",        "SI_DEPUTY_SHOOT",
    "SI_DUMA_BUMPER",          "SI_KREM_BUMPER",          "SI_SAVER",
    "SI_TRIANGLE",             "SI_FLAP_DOWN",            "SI_FLAPS_UP",
    "SI_LFLIPPER_PRESS",       "SI_RFLIPPER_PRESS",       "SI_LFLIPPER_RLS",
    "SI_RFLIPPER_RLS",         "SI_DUMAGATE",             "SI_KREMGATE",
    "SI_LSPINNER",             "SI_RSPINNER",             "SI_TRILIGHTS",
    "SI_MISSION_DOWN",         "SI_MISSION_SELECT",       "SI_SPRDOOR",
    "SI_SPIRALBTN",            "SI_OSTLIFT_UP",           "SI_OSTLIFT_DOWN",
    "SI_OSTLIFT_ROTATE",       "SI_DROPPER",              "SI_SPRING",
    "SI_BUTTON",               "SI_GASBTN",               "SI_OSTBTN",
    "SI_ZONABTN",              "SI_TRI",                  "SI_SNDMACH_SAMPLE0",
    "SI_SNDMACH_SAMPLE1",      "SI_SNDMACH_SAMPLE2",      "SI_SNDMACH_SAMPLE3",
    "SI_SNDMACH_SAMPLE4",      "SI_SNDMACH_SAMPLE5",      "SI_SNDMACH_SAMPLE6",
    "SI_SNDMACH_SAMPLE7",      "SI_SNDMACH_SAMPLE8",      "SI_SNDMACH_SAMPLE9",
    "SI_SNDMACH_SAMPLE10",     "SI_SNDMACH_SAMPLE11",     "SI_SNDMACH_SAMPLE12",
    "SI_SNDMACH_SAMPLE13",     "SI_SNDMACH_SAMPLE14",     "SI_SNDMACH_SAMPLE15",
    "SI_SNDMACH_SAMPLE16",     "SI_SNDMACH_SAMPLE17",     "SI_SNDMACH_SAMPLE18",
    "SI_SNDMACH_SAMPLE19",
};
static_assert(SI_LAST == 73 && SI_SNDMACH_SAMPLE0 == 53 && SI_DUMA_BUMPER == 24 && SI_TRI == 52);

// The samples the table loads itself. The subgames load 0..23; SI_TRIANGLE
// and the SI_SNDMACH ids are not loaded by the table.
struct TableSample {
  int id;
  const char* name;
};
constexpr TableSample kTableSamples[] = {
    {SI_DUMA_BUMPER, "duma_bumper"},       {SI_KREM_BUMPER, "krem_bumper"},
    {SI_SAVER, "saver"},                   {SI_FLAP_DOWN, "flap_down"},
    {SI_FLAPS_UP, "flaps_up"},             {SI_LFLIPPER_PRESS, "lflipper_press"},
    {SI_RFLIPPER_PRESS, "rflipper_press"}, {SI_LFLIPPER_RLS, "lflipper_rls"},
    {SI_RFLIPPER_RLS, "rflipper_rls"},     {SI_DUMAGATE, "dumagate"},
    {SI_KREMGATE, "kremgate"},             {SI_LSPINNER, "lspinner"},
    {SI_RSPINNER, "rspinner"},             {SI_TRILIGHTS, "trilights"},
    {SI_MISSION_DOWN, "mission_down"},     {SI_MISSION_SELECT, "mission_select"},
    {SI_SPRDOOR, "sprdoor"},               {SI_SPIRALBTN, "spiralbtn"},
    {SI_OSTLIFT_UP, "ostlift_up"},         {SI_OSTLIFT_DOWN, "ostlift_down"},
    {SI_OSTLIFT_ROTATE, "ostlift_rotate"}, {SI_DROPPER, "dropper"},
    {SI_SPRING, "spring"},                 {SI_BUTTON, "button"},
    {SI_GASBTN, "gasbtn"},                 {SI_OSTBTN, "ostbtn"},
    {SI_ZONABTN, "zonabtn"},               {SI_TRI, "tri"},
};

struct TableSettings {
  int volume = 100;
  int panning = 0;
};
TableSettings gSettings[FX_SAMPLES];

bool validId(int id) { return id >= 0 && id < FX_SAMPLES; }

}  // namespace

const char* sampleSID(int id) {
  if (id >= 0 && id < SI_LAST) return kSampleNames[id];
  if (id >= SI_LAST && id < FX_SAMPLES) return "<dynamic>";
  return "<invalid>";
}

int loadSample(ConfSet* sampleConf, int id, const char* name) {
  ConfSet empty{};
  ConfSet* set = sampleConf ? sampleConf : &empty;
  if (!name) name = "";
  char key[128];
  strFormatN(key, sizeof key, "%s.volume", name);
  const int volume = conf_getint(set, key, conf_getint(set, "volume", 100));
  strFormatN(key, sizeof key, "%s.panning", name);
  const int panning = conf_getint(set, key, conf_getint(set, "panning", 0));
  strFormatN(key, sizeof key, "%s.file", name);
  const char* file = conf_getstr(set, key, nullptr);
  if (validId(id)) gSettings[id] = TableSettings{volume, panning};

  char path[300];
  if (file) {
    strFormatN(path, sizeof path, "samples/%s", file);
  } else {
    strFormatN(path, sizeof path, "samples/%s.wav", name);
  }
  if (fxLoadSampleWav(id, path)) {
    logDebug(3, "sample %d/%s => [%s] => '%s'", id, fxSampleName(id), name, path);
    return 1;
  }
  logPrint("%s: error loading sample %d/%s from '%s'", "loadSample()", id, fxSampleName(id), path);
  return 0;
}

int setupSamples(ConfSet* sampleConf) {
  fxSetSampleSID(sampleSID);
  int loaded = 0;
  for (const TableSample& s : kTableSamples) loaded += loadSample(sampleConf, s.id, s.name);
  return loaded == static_cast<int>(sizeof kTableSamples / sizeof kTableSamples[0]) ? 1 : 0;
}

uint32_t playTableSample(int id) {
  const TableSettings settings = validId(id) ? gSettings[id] : TableSettings{};
  return fxPlaySample(id, settings.volume, settings.panning, 0);
}

void freeTableSamples() {
  for (const TableSample& s : kTableSamples) {
    if (fxSampleLoaded(s.id)) fxFreeSample(s.id);
  }
}

int tableSampleVolume(int id) { return validId(id) ? gSettings[id].volume : 100; }
int tableSamplePanning(int id) { return validId(id) ? gSettings[id].panning : 0; }
