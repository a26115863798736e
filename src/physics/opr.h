#pragma once
// Object families and readers: every collision outline of the table becomes
// a table object here. The object configuration of the outline's layer
// ("table/objects-%d.conf") names, in the section "object_<x>_<y>" of the
// outline's position, its family; the readers registered for the families
// build the object, read its parameters and add it to the board. A second
// registry gives objects names by which the rules and other objects find them.
#include "physics/board.h"

struct ConfSet;

enum {
  OPR_FAMILIES = 64,
  OPR_FAMILY_NAME = 64,
  OPR_READERS = 64,
  OPR_RECONFS = 256,
  OBJ_INFO_WORDS = 7,
  OBJ_INFO_TRACK = 6,  // the word of a "track-<name>" object that holds its Track
};

// The family numbers of the table.
enum OprFamily {
  FAM_ACCEL = 0,
  FAM_ACCEL2 = 1,
  FAM_BLOCKER = 2,
  FAM_BTN1 = 3,
  FAM_BUMPER = 4,
  FAM_BUTTON = 5,
  FAM_CANNON = 6,
  FAM_CFLIPPER = 7,
  FAM_DROPPER = 9,
  FAM_DUMAGATE = 10,
  FAM_FLIPPER = 11,
  FAM_GATE = 12,
  FAM_GATE2 = 13,
  FAM_GASBTN = 14,
  FAM_GASPAD = 15,
  FAM_HFLAP = 16,
  FAM_KREMGATE = 17,
  FAM_KWLBTN = 18,
  FAM_MAVZ = 19,
  FAM_MFLAP = 20,
  FAM_MPOINT = 21,
  FAM_OSTBTN = 23,
  FAM_OSTMAGNET = 24,
  FAM_OSTLIFT = 25,
  FAM_PORTAL = 26,
  FAM_ROULETTE = 27,
  FAM_SAVER = 29,
  FAM_SPINNER = 30,
  FAM_SPIRALBTN = 31,
  FAM_SPRDOOR = 32,
  FAM_SPRING = 33,
  FAM_TRILIGHTS = 36,
  FAM_TRIANGLE = 37,
  FAM_TUNBLOCKER = 38,
  FAM_TUNNEL = 39,
  FAM_WALL = 40,
  FAM_WHBTN = 41,
  FAM_ZONA = 42,
  FAM_ZONABTN = 43,
};

using OprReader = int (*)(int reader, int layer, Outline* outline);
using OprReconf = void (*)(int layer, Outline* outline, BoardObject* object);

int OPR_ADD_FAMILY(int family, const char* name);
int OPR_ADD_READER(OprReader reader, const char* name);
int OPR_ADD_RECONF(OprReconf reconf, int layer, const Outline* outline, BoardObject* object);
int OPR_RECOGNIZE(int layer, Outline* outline);
int OPR_FAMILY(const Outline* outline);
int OPR_INT(const Outline* outline, const char* key, int defaultValue);
double OPR_REAL(const Outline* outline, const char* key, double defaultValue);
const char* OPR_STRING(const Outline* outline, const char* key, const char* defaultValue);
int OPR_TMPL_BEGIN();
void OPR_RESET();
// The name of a used family, or null.
const char* oprFamilyName(int family);
// Runs every reconfiguration entry against the current object configuration.
int oprReconfigureAll();

// The current object configuration; null clears it.
void oprSetObjectConf(ConfSet* set);
ConfSet* oprObjectConf();

// Named objects. The first info word is the board object.
struct ObjInfo {
  void* words[OBJ_INFO_WORDS];
};
int objRegisterInfo(const char* name, const ObjInfo* info);
ObjInfo* OBJ_FIND(const char* name);
BoardObject* objFindBoardObject(const char* name);
int objEnable(const char* name);
int objDisable(const char* name);
void objClearInfo();

// The table's families in their fixed numbering (the readers come with the
// table objects: oprRegisterTable). Returns the sum of the results of the
// family additions (negative when any failed).
int oprAddTableFamilies();

// One row of the table's family list: the family, its name, and the name of
// its reader (null for families that have none, whose outlines become walls).
struct OprFamilyRow {
  int family;
  const char* name;
  const char* reader;
};
int oprTableFamilyCount();
const OprFamilyRow* oprTableFamily(int i);
const OprFamilyRow* oprTableFamilyByName(const char* name);
