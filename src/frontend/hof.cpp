#include "frontend/hof.h"

#include <cstring>
#include <string>

#include "core/log.h"
#include "core/text.h"
#include "platform/sys/registry.h"

namespace {

struct HofEntry {
  char name[HOF_NAME_SIZE];
  int32_t score;
};

// The key's name as the messages show it, and the file that holds it.
constexpr const char* kKeyName = "Software\\Ortan\\Qel";
constexpr const char* kKeyFile = "hall-of-fame";
// The messages name a key handle; the file store has none, so they show this.
constexpr int kKeyHandle = 1;

HofEntry gTable[HOF_ENTRIES] = {{"---", 0}, {"---", 0}, {"---", 0}, {"---", 0}, {"---", 0},
                                 {"---", 0}, {"---", 0}, {"---", 0}, {"---", 0}, {"---", 0}};
char gPlayerName[HOF_NAME_SIZE] = "Player";
HofNameDialog gDialog = nullptr;
// The store's image of the key, too large for the stack.
RegKey gKey;

}  // namespace

void hofDefaults() {
  for (HofEntry& e : gTable) {
    strCopyN(e.name, "---", sizeof e.name);
    e.score = 0;
  }
}

char* hofCheckText(char* text) {
  text[0] = '\0';
  char line[HOF_NAME_SIZE + 32];
  for (int n = 0; n < HOF_ENTRIES; n++) {
    strFormatN(line, sizeof line, "%d:%s:%d\n", n, gTable[n].name, gTable[n].score);
    strCatN(text, line, HOF_CHECK_SIZE);
  }
  return text;
}

int READ_RESULTS() {
  std::string path = regKeyPath(kKeyFile);
  RegError err{};
  if (path.empty()) {
    err.code = REG_ERR_NOT_FOUND;
    logError(0, "%s: no data folder: neither QEL_DATA_DIR, XDG_DATA_HOME nor HOME is set", "regKeyPath()");
  } else if (!regLoad(&gKey, path.c_str(), &err)) {
    logError(0, "%s: %s", "regLoad()", err.text);
  }
  if (path.empty() || err.code)
    return logError(0, "%s: RegOpenKey() error %d while creating 'HKLM\\%s'", "READ_RESULTS()", err.code,
                    kKeyName);

  int result = 1;
  char valueName[16];
  for (int n = 0; n < HOF_ENTRIES; n++) {
    HofEntry& e = gTable[n];
    strFormatN(valueName, sizeof valueName, "name%d", n);
    if (!regGetSz(&gKey, valueName, e.name, sizeof e.name, nullptr, &err))
      result = logError(0, "%s: RegQueryValueEx() error %d while reading '%s' from key %d", "READ_RESULTS()",
                        err.code, valueName, kKeyHandle);
    strFormatN(valueName, sizeof valueName, "score%d", n);
    uint32_t score = 0;
    if (regGetDword(&gKey, valueName, &score, &err))
      e.score = static_cast<int32_t>(score);
    else
      result = logError(0, "%s: RegQueryValueEx() error %d while reading '%s' from key %d", "READ_RESULTS()",
                        err.code, valueName, kKeyHandle);
    logDebug(3, "champ %d: '%s' - %d", n, e.name, e.score);
  }
  uint32_t stored = 0;
  if (!regGetDword(&gKey, "modeflags", &stored, &err))
    result = logError(0, "%s: RegQueryValueEx() error %d while reading '%s' from key %d", "READ_RESULTS()",
                      err.code, "modeflags", kKeyHandle);
  char check[HOF_CHECK_SIZE];
  if (static_cast<uint32_t>(strHash(hofCheckText(check))) != stored)
    return logError(0, "%s: invalid modeflags %08X", "READ_RESULTS()", stored);
  logDebug(3, "champ modeflags %08X ok", stored);
  return result;
}

int SAVE_RESULTS() {
  std::string path = regKeyPath(kKeyFile);
  if (path.empty()) {
    logError(0, "%s: no data folder: neither QEL_DATA_DIR, XDG_DATA_HOME nor HOME is set", "regKeyPath()");
    return logError(0, "%s: RegCreateKey() error %d while creating 'HKLM\\%s'", "SAVE_RESULTS()",
                    REG_ERR_NOT_FOUND, kKeyName);
  }
  // Like a key opened for writing, other values already in it stay.
  RegError err{};
  if (!regLoad(&gKey, path.c_str(), &err)) regClear(&gKey);

  int result = 1;
  char valueName[16];
  for (int n = 0; n < HOF_ENTRIES; n++) {
    const HofEntry& e = gTable[n];
    size_t length = std::strlen(e.name);
    strFormatN(valueName, sizeof valueName, "name%d", n);
    if (!regSetSz(&gKey, valueName, e.name, length, &err))
      result = logError(0, "%s: RegSetValueEx() error %d while storing '%s' of length %d to key %d",
                        "SAVE_RESULTS()", err.code, valueName, static_cast<int>(length), kKeyHandle);
    strFormatN(valueName, sizeof valueName, "score%d", n);
    if (!regSetDword(&gKey, valueName, static_cast<uint32_t>(e.score), &err))
      result = logError(0, "%s: RegSetValueEx() error %d while storing '%s' of length %d to key %d",
                        "SAVE_RESULTS()", err.code, valueName, 4, kKeyHandle);
  }
  char check[HOF_CHECK_SIZE];
  if (!regSetDword(&gKey, "modeflags", static_cast<uint32_t>(strHash(hofCheckText(check))), &err))
    result = logError(0, "%s: RegSetValueEx() error %d while storing '%s' of length %d to key %d",
                      "SAVE_RESULTS()", err.code, "modeflags", 4, kKeyHandle);
  // The values reach the disk together, when the key's file is written.
  if (!regSave(&gKey, path.c_str(), &err)) {
    logError(0, "%s: %s", "regSave()", err.text);
    result = logError(0, "%s: RegFlushKey() error %d while storing 'HKLM\\%s'", "SAVE_RESULTS()", err.code,
                      kKeyName);
  }
  return result;
}

void hofSetNameDialog(HofNameDialog dialog) { gDialog = dialog; }

int hofEnter(int32_t score) {
  int place = 0;
  while (place < HOF_ENTRIES && gTable[place].score >= score) place++;
  if (place == HOF_ENTRIES) return 0;
  if (!gDialog) return 0;

  char edit[HOF_EDIT_SIZE];
  for (;;) {
    strCopyN(edit, gPlayerName, sizeof edit);
    if (gDialog(edit, sizeof edit) != 1) return 0;
    edit[sizeof edit - 1] = '\0';
    // OK takes at most 31 characters of the field; an empty name asks again.
    strCopyN(gPlayerName, edit, sizeof gPlayerName);
    if (gPlayerName[0]) break;
  }
  std::memmove(&gTable[place + 1], &gTable[place], sizeof(HofEntry) * (HOF_ENTRIES - 1 - place));
  strCopyN(gTable[place].name, gPlayerName, sizeof gTable[place].name);
  gTable[place].score = score;
  return SAVE_RESULTS();
}

const char* hofName(int index) { return index >= 0 && index < HOF_ENTRIES ? gTable[index].name : ""; }

int32_t hofScore(int index) { return index >= 0 && index < HOF_ENTRIES ? gTable[index].score : 0; }

void hofSetEntry(int index, const char* name, int32_t score) {
  if (index < 0 || index >= HOF_ENTRIES) return;
  strCopyN(gTable[index].name, name, sizeof gTable[index].name);
  gTable[index].score = score;
}

const char* hofPlayerName() { return gPlayerName; }

void hofSetPlayerName(const char* name) { strCopyN(gPlayerName, name, sizeof gPlayerName); }
