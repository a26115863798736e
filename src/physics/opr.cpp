#include "physics/opr.h"

#include <cstdlib>
#include <cstring>

#include "core/conf.h"
#include "core/log.h"
#include "core/text.h"

namespace {

struct Family {
  int used;
  char name[OPR_FAMILY_NAME];
};
struct Reader {
  int used;
  OprReader fn;
};
struct Reconf {
  int used;
  OprReconf fn;
  int layer;
  Outline outline;
  BoardObject* object;
};
struct Info {
  char* name;
  ObjInfo info;
};

Family gFamilies[OPR_FAMILIES];
Reader gReaders[OPR_READERS];
Reconf gReconfs[OPR_RECONFS];
ConfSet* gObjectConf = nullptr;
Info* gInfos = nullptr;
int gInfoCount = 0, gInfoCap = 0;

Info* findInfo(const char* name) {
  if (!name) return nullptr;
  for (int i = 0; i < gInfoCount; i++)
    if (std::strcmp(gInfos[i].name, name) == 0) return &gInfos[i];
  return nullptr;
}

// The variable key.name of the outline's section (or its class's) when it
// has the type asked for.
ConfVar* lookup(const Outline* outline, const char* key, int type) {
  if (!gObjectConf || !outline || !key) return nullptr;
  int x, y;
  shSectionOf(outline, &x, &y);
  char full[256];
  strFormatN(full, sizeof full, "object_%d_%d.%s", x, y, key);
  ConfVar* v = conf_find(gObjectConf, full);
  if (v && v->type == type) return v;
  strFormatN(full, sizeof full, "object_%d_%d.class", x, y);
  ConfVar* c = conf_find(gObjectConf, full);
  if (!c || c->type != CONF_STRING) return nullptr;
  strFormatN(full, sizeof full, "class_%s.%s", c->value.s, key);
  v = conf_find(gObjectConf, full);
  return v && v->type == type ? v : nullptr;
}

// The table's families with their readers, in reader-number order where a
// reader exists.
constexpr OprFamilyRow kFamilies[] = {
    {FAM_ACCEL, "accel", "accel_reader"},
    {FAM_ACCEL2, "accel2", "accel2_reader"},
    {FAM_BLOCKER, "blocker", "blocker_reader"},
    {FAM_BTN1, "btn1", nullptr},
    {FAM_BUMPER, "bumper", "bumper_reader"},
    {FAM_BUTTON, "button", "button_reader"},
    {FAM_CANNON, "cannon", nullptr},
    {FAM_CFLIPPER, "cflipper", "cflipper_reader"},
    {FAM_DROPPER, "dropper", "dropper_reader"},
    {FAM_DUMAGATE, "dumagate", "dumagate_reader"},
    {FAM_FLIPPER, "flipper", "flipper_reader"},
    {FAM_GATE, "gate", "gate_reader"},
    {FAM_GATE2, "gate2", "gate2_reader"},
    {FAM_GASBTN, "gasbtn", "gasbtn_reader"},
    {FAM_GASPAD, "gaspad", nullptr},
    {FAM_HFLAP, "hflap", "hflap_reader"},
    {FAM_KREMGATE, "kremgate", "kremgate_reader"},
    {FAM_KWLBTN, "kwlbtn", nullptr},
    {FAM_MAVZ, "mavz", "mavz_reader"},
    {FAM_MFLAP, "mflap", "mflap_reader"},
    {FAM_MPOINT, "mpoint", "mpoint_reader"},
    {FAM_OSTBTN, "ostbtn", "ostbtn_reader"},
    {FAM_OSTMAGNET, "ostmagnet", nullptr},
    {FAM_OSTLIFT, "ostlift", "ostlift_reader"},
    {FAM_PORTAL, "portal", "portal_reader"},
    {FAM_ROULETTE, "roulette", nullptr},
    {FAM_SAVER, "saver", "saver_reader"},
    {FAM_SPINNER, "spinner", "spinner_reader"},
    {FAM_SPIRALBTN, "spiralbtn", "spiralbtn_reader"},
    {FAM_SPRDOOR, "sprdoor", "sprdoor_reader"},
    {FAM_SPRING, "spring", "spring_reader"},
    {FAM_TRILIGHTS, "trilights", "trilights_reader"},
    {FAM_TRIANGLE, "triangle", "triangle_reader"},
    {FAM_TUNBLOCKER, "tunblocker", nullptr},
    {FAM_TUNNEL, "tunnel", "tunnel_reader"},
    {FAM_WALL, "wall", "wall_reader"},
    {FAM_WHBTN, "whbtn", nullptr},
    {FAM_ZONA, "zona", "zona_reader"},
    {FAM_ZONABTN, "zonabtn", "zonabtn_reader"},
};


}  // namespace

int OPR_ADD_FAMILY(int family, const char* name) {
  if (family < 0 || family >= OPR_FAMILIES)
    return logError(-1, "%s: invalid fid %d, not in [0..%d]", "OPR_ADD_FAMILY()", family, OPR_FAMILIES - 1);
  gFamilies[family].used = 1;
  strCopyN(gFamilies[family].name, name ? name : "", sizeof gFamilies[family].name);
  return 0;
}

int OPR_ADD_READER(OprReader reader, const char* name) {
  for (int i = 0; i < OPR_READERS; i++) {
    if (gReaders[i].used) continue;
    gReaders[i].used = 1;
    gReaders[i].fn = reader;
    logPrint("%s: adding reader '%s' id %d", "OPR_ADD_READER()", name ? name : "", i);
    return i;
  }
  return logError(-1, "%s: no free slots in READERS[], SE", "OPR_ADD_READER()");
}

int OPR_ADD_RECONF(OprReconf reconf, int layer, const Outline* outline, BoardObject* object) {
  for (int i = 0; i < OPR_RECONFS; i++) {
    if (gReconfs[i].used) continue;
    gReconfs[i].used = 1;
    gReconfs[i].fn = reconf;
    gReconfs[i].layer = layer;
    gReconfs[i].outline = *outline;
    gReconfs[i].object = object;
    return 0;
  }
  return logError(-1, "%s: no free slots in RECONFS[], SE", "OPR_ADD_RECONF()");
}

int OPR_RECOGNIZE(int layer, Outline* outline) {
  for (int i = 0; i < OPR_READERS; i++)
    if (gReaders[i].used && gReaders[i].fn && gReaders[i].fn(i, layer, outline)) return i;
  return -1;
}

int OPR_FAMILY(const Outline* outline) {
  const char* name = OPR_STRING(outline, "family", nullptr);
  if (!name) return -1;
  for (int i = 0; i < OPR_FAMILIES; i++)
    if (gFamilies[i].used && std::strcmp(gFamilies[i].name, name) == 0) return i;
  return -1;
}

int OPR_INT(const Outline* outline, const char* key, int defaultValue) {
  ConfVar* v = lookup(outline, key, CONF_INT);
  return v ? v->value.i : defaultValue;
}

double OPR_REAL(const Outline* outline, const char* key, double defaultValue) {
  ConfVar* v = lookup(outline, key, CONF_DOUBLE);
  return v ? v->value.d : defaultValue;
}

const char* OPR_STRING(const Outline* outline, const char* key, const char* defaultValue) {
  ConfVar* v = lookup(outline, key, CONF_STRING);
  return v ? v->value.s : defaultValue;
}

int OPR_TMPL_BEGIN() {
  if (shapeTmplBegin() < 0) return logError(-1, "%s: not enough memory for buffers", "OPR_TMPL_BEGIN()");
  return 0;
}

void OPR_RESET() {
  std::memset(gFamilies, 0, sizeof gFamilies);
  std::memset(gReaders, 0, sizeof gReaders);
  std::memset(gReconfs, 0, sizeof gReconfs);
}

const char* oprFamilyName(int family) {
  if (family < 0 || family >= OPR_FAMILIES || !gFamilies[family].used) return nullptr;
  return gFamilies[family].name;
}

int oprReconfigureAll() {
  int n = 0;
  for (auto& r : gReconfs) {
    if (!r.used || !r.fn || !r.object || r.object->id < 0) continue;
    r.fn(r.layer, &r.outline, r.object);
    n++;
  }
  return n;
}

void oprSetObjectConf(ConfSet* set) { gObjectConf = set; }
ConfSet* oprObjectConf() { return gObjectConf; }

int objRegisterInfo(const char* name, const ObjInfo* info) {
  const char* fn = "objRegisterInfo()";
  if (!name) return 0;
  if (Info* e = findInfo(name)) {
    e->info = *info;
    return 1;
  }
  if (gInfoCount == gInfoCap) {
    int cap = gInfoCap ? gInfoCap * 2 : 64;
    auto* grown = static_cast<Info*>(std::realloc(gInfos, sizeof(Info) * static_cast<size_t>(cap)));
    if (!grown) return logError(0, "%s: error duplicating name '%s'", fn, name);
    gInfos = grown;
    gInfoCap = cap;
  }
  char* copy = strdup(name);
  if (!copy) return logError(0, "%s: error duplicating name '%s'", fn, name);
  gInfos[gInfoCount].name = copy;
  gInfos[gInfoCount].info = *info;
  gInfoCount++;
  return 1;
}

ObjInfo* OBJ_FIND(const char* name) {
  Info* e = findInfo(name);
  return e ? &e->info : nullptr;
}

BoardObject* objFindBoardObject(const char* name) {
  ObjInfo* i = OBJ_FIND(name);
  return i ? static_cast<BoardObject*>(i->words[0]) : nullptr;
}

namespace {

int setDisabled(const char* fn, const char* name, int disabled) {
  BoardObject* o = objFindBoardObject(name);
  if (!o) return logError(0, "%s: object '%s' not registered", fn, name ? name : "");
  o->disabled = disabled;
  return 1;
}

}  // namespace

int objEnable(const char* name) { return setDisabled("objEnable()", name, 0); }
int objDisable(const char* name) { return setDisabled("objDisable()", name, 1); }

void objClearInfo() {
  for (int i = 0; i < gInfoCount; i++) std::free(gInfos[i].name);
  std::free(gInfos);
  gInfos = nullptr;
  gInfoCount = gInfoCap = 0;
}

int oprAddTableFamilies() {
  int sum = 0;
  for (const auto& f : kFamilies) sum += OPR_ADD_FAMILY(f.family, f.name);
  return sum;
}

int oprTableFamilyCount() { return static_cast<int>(sizeof kFamilies / sizeof kFamilies[0]); }

const OprFamilyRow* oprTableFamily(int i) {
  if (i < 0 || i >= oprTableFamilyCount()) return nullptr;
  return &kFamilies[i];
}

const OprFamilyRow* oprTableFamilyByName(const char* name) {
  if (!name) return nullptr;
  for (const auto& f : kFamilies)
    if (std::strcmp(f.name, name) == 0) return &f;
  return nullptr;
}

// ---- Reader helpers ----

void oprPosition(const Outline* outline, int* x, int* y) { shSectionOf(outline, x, y); }

void* oprAllocParms(const char* reader, const Outline* outline, size_t size) {
  void* p = std::calloc(1, size);
  if (!p) {
    int x, y;
    shSectionOf(outline, &x, &y);
    logError(0, "%s, object (%d,%d): not enough memory for parms", reader, x, y);
  }
  return p;
}

ShapeData oprShapeData(const Outline* outline, double k) {
  ShapeData d;
  std::memset(&d, 0, sizeof d);
  d.outline = *outline;
  d.k = k;
  return d;
}

void oprFinishObject(BoardObject* object, int layer, const Outline* outline, void* infoWord1) {
  object->lmask = OPR_INT(outline, "lmask", 1 << layer);
  const char* name = OPR_STRING(outline, "name", "");
  if (name && name[0]) {
    ObjInfo info{};
    info.words[0] = object;
    info.words[1] = infoWord1;
    objRegisterInfo(name, &info);
  }
}
