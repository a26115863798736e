// The table's samples: the SI_* names, loading by configuration name with
// per-sample volume and panning, and playing with those settings.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>

#include "core/conf.h"
#include "core/log.h"
#include "core/text.h"
#include "sound/fx.h"

namespace {

// The samples the table loads itself. The subgames load 0..23; SI_TRIANGLE
// and the SI_SNDMACH ids are not loaded by the table.
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

// Every id from SI_DUMA_BUMPER to SI_TRI but SI_TRIANGLE, once, in id order,
// each with a name.
constexpr bool coversTableIds() {
  int next = SI_DUMA_BUMPER;
  for (const TableSample& s : kTableSamples) {
    if (next == SI_TRIANGLE) ++next;
    if (s.id != next++ || !s.name || !*s.name) return false;
  }
  return next == SI_TRI + 1;
}
static_assert(coversTableIds());

struct TableSettings {
  int volume = 100;
  int panning = 0;
};
TableSettings gSettings[FX_SAMPLES];

bool validId(int id) { return id >= 0 && id < FX_SAMPLES; }

}  // namespace

const char* sampleSID(int id) {
  if (id >= 0 && id < SI_LAST) return SAMPLE_NAMES[id];
  if (id >= SI_LAST && id < FX_SAMPLES) return "<dynamic>";
  return "<invalid>";
}

std::span<const TableSample> tableSamples() { return kTableSamples; }

void tableSamplePath(ConfSet* sampleConf, const char* name, char* path, size_t size) {
  ConfSet empty{};
  ConfSet* set = sampleConf ? sampleConf : &empty;
  if (!name) name = "";
  char key[128];
  strFormatN(key, sizeof key, "%s.file", name);
  const char* file = conf_getstr(set, key, nullptr);
  if (file)
    strFormatN(path, size, "samples/%s", file);
  else
    strFormatN(path, size, "samples/%s.wav", name);
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
  if (validId(id)) gSettings[id] = TableSettings{volume, panning};

  char path[300];
  tableSamplePath(set, name, path, sizeof path);
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
  return loaded == static_cast<int>(std::size(kTableSamples)) ? 1 : 0;
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
