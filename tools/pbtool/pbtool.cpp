// pbtool: inspects and builds game data. Every subcommand prints one item a
// line, fields separated by one TAB, nothing else on standard output; failures
// leave the log chain on standard error and exit with 1.
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/conf.h"
#include "core/log.h"
#include "core/text.h"

int cmdPackList(char** args);  // pack_cmd.cpp
int cmdVidInfo(char** args);   // vid_cmd.cpp
int cmdVidFrames(char** args);

int cmdGspInfo(char** args);  // gsp_cmd.cpp
int cmdGspBuild(char** args);
int cmdGspFrames(char** args);
int cmdFnpInfo(char** args);  // fnp_cmd.cpp
int cmdFnpBuild(char** args);
int cmdRecDump(char** args);  // rec_cmd.cpp
int cmdRecMake(char** args);
int cmdShapesDump(char** args);  // geometry_cmd.cpp
int cmdPersp(char** args);
int cmdCond(char** args);     // cond_cmd.cpp
int cmdTrackPoint(char** args);  // track_cmd.cpp
int cmdTrackClosest(char** args);
int cmdSheet(char** args);      // sheet_cmd.cpp
int cmdCheckData(char** args);  // check_cmd.cpp
int cmdTablePreview(char** args);  // table_cmd.cpp
int cmdImageToPng(char** args);  // image_cmd.cpp
int cmdScene(char** args);       // scene_cmd.cpp
int cmdSubgame(char** args);     // subgame_cmd.cpp
int cmdMenu(char** args);        // menu_cmd.cpp

namespace {

struct Command {
  const char* group;  // first word
  const char* name;   // second word, or null for one-word commands
  int args;           // operands after the command words; -n: n or more
  const char* usage;
  int (*run)(char** args);  // args ends with a null pointer
};

bool endsWith(const char* text, const char* suffix) {
  size_t n = std::strlen(text), m = std::strlen(suffix);
  return n >= m && strcasecmp(text + n - m, suffix) == 0;
}

// A .bcf is read as a binary twin, anything else as text.
int readConf(ConfSet* set, const char* path) {
  return endsWith(path, ".bcf") ? CONF_BINREAD(set, path) : CONF_READ(set, path);
}

int cmdHash(char** a) {
  std::printf("%08X\n", static_cast<unsigned>(strHash(a[0])));
  return 0;
}

int cmdSectionId(char** a) {
  std::printf("%08X\n", static_cast<unsigned>(pfSectionId(a[0])));
  return 0;
}

int cmdInt(char** a) {
  if (const long* v = strToLong(a[0]))
    std::printf("%ld\n", *v);
  else
    std::printf("null\n");
  return 0;
}

int cmdDouble(char** a) {
  if (const double* v = strToDouble(a[0]))
    std::printf("%.17g\n", *v);
  else
    std::printf("null\n");
  return 0;
}

int cmdConfDump(char** a) {
  ConfSet set{};
  int rc = readConf(&set, a[0]);
  for (const ConfVar* v = set.first; v; v = v->next) {
    switch (v->type) {
      case CONF_INT: std::printf("%s\tint\t%d\n", v->name, v->value.i); break;
      case CONF_DOUBLE: std::printf("%s\tdouble\t%.17g\n", v->name, v->value.d); break;
      default: std::printf("%s\tstring\t%s\n", v->name, v->value.s); break;
    }
  }
  conf_free(&set);
  return rc < 0 ? 1 : 0;
}

int cmdConfToBcf(char** a) {
  ConfSet set{};
  int rc = CONF_READ(&set, a[0]);
  if (rc >= 0) rc = CONF_BINWRITE(&set, a[1]);
  conf_free(&set);
  if (rc < 0) return logError(1, "%s: can't convert '%s' to '%s'", "pbtool conf tobcf", a[0], a[1]);
  return 0;
}

int listMatches(char** a, const char* (*first)(ConfSet*, const char*), const char* (*next)(ConfSet*)) {
  ConfSet set{};
  if (readConf(&set, a[0]) < 0) {
    conf_free(&set);
    return 1;
  }
  for (const char* n = first(&set, a[1]); n; n = next(&set)) std::printf("%s\n", n);
  conf_free(&set);
  return 0;
}

int cmdConfSections(char** a) { return listMatches(a, conf_firstsection, conf_nextsection); }
int cmdConfFind(char** a) { return listMatches(a, conf_findfirst, conf_findnext); }

int cmdWild(char** a) {
  std::printf("%d\n", wildMatch(a[0], a[1]) ? 1 : 0);
  return 0;
}

constexpr Command kCommands[] = {
    {"hash", nullptr, 1, "hash TEXT", cmdHash},
    {"sectionid", nullptr, 1, "sectionid NAME", cmdSectionId},
    {"int", nullptr, 1, "int TEXT", cmdInt},
    {"double", nullptr, 1, "double TEXT", cmdDouble},
    {"conf", "dump", 1, "conf dump FILE", cmdConfDump},
    {"conf", "tobcf", 2, "conf tobcf IN OUT", cmdConfToBcf},
    {"conf", "sections", 2, "conf sections FILE PATTERN", cmdConfSections},
    {"conf", "find", 2, "conf find FILE PATTERN", cmdConfFind},
    {"wild", nullptr, 2, "wild TEXT PATTERN", cmdWild},
    {"pack", "list", 1, "pack list FILE", cmdPackList},
    {"vid", "info", 1, "vid info FILE", cmdVidInfo},
    {"vid", "frames", 2, "vid frames FILE OUTDIR", cmdVidFrames},
    {"gsp", "info", 1, "gsp info FILE", cmdGspInfo},
    {"gsp", "build", -3, "gsp build OUT.gsp CM FRAME.png...|DIR", cmdGspBuild},
    {"gsp", "frames", 2, "gsp frames FILE.gsp OUTDIR", cmdGspFrames},
    {"fnp", "info", 1, "fnp info FILE", cmdFnpInfo},
    {"fnp", "build", -4, "fnp build OUT.fnp CM CHARS GLYPH.png...", cmdFnpBuild},
    {"rec", "dump", 1, "rec dump FILE.rec", cmdRecDump},
    {"rec", "make", 1, "rec make OUT.rec < SCRIPT (lines: FRAME TYPE CHAR SCAN MODS, or END FRAME)",
     cmdRecMake},
    {"shapes", "dump", 1, "shapes dump FILE", cmdShapesDump},
    {"persp", nullptr, 9, "persp W H FOVX FOVY ANGLE DIST X Y Z", cmdPersp},
    {"cond", nullptr, -1, "cond TEXT [TRACKPOS TRACKVELO]", cmdCond},
    {"track", "point", 2, "track point FILE TRACKPOS", cmdTrackPoint},
    {"track", "closest", 3, "track closest FILE X Y", cmdTrackClosest},
    {"sheet", nullptr, 2, "sheet GAMEDIR OUT.png", cmdSheet},
    {"check-data", nullptr, 1, "check-data GAMEDIR", cmdCheckData},
    {"table", "preview", 2, "table preview GAMEDIR OUT.png", cmdTablePreview},
    {"image", "topng", 2, "image topng IN.bmp OUT.png", cmdImageToPng},
    {"scene", nullptr, -2,
     "scene GAMEDIR OUT.png [regime=N] [frames=N] [back=TITLE] [fore=TITLE] [fore_at=N] [macro:NAME=VALUE]... "
     "[feature=F:S]... [score=N] [year=Y] [add=SUBJECT@N]... [gameover=1] [progress=P] [namedlg=TEXT]",
     cmdScene},
    {"subgame", nullptr, -3,
     "subgame GAMEDIR ID OUT [regime=N] [open=N] [play=N] [press=SCAN@N]... [release=SCAN@N]... "
     "[every=SCAN@N/P/H]... [frames=N]",
     cmdSubgame},
    {"menu", nullptr, -2,
     "menu GAMEDIR OUT.png [page=main|regime|champ|credits] [after=N] [screen=N] [entry=NAME:SCORE]...",
     cmdMenu},
};

void printUsage(FILE* out) {
  std::fputs("Usage: pbtool COMMAND [ARGS]\nInspects and builds game data.\n\nCommands:\n", out);
  for (const Command& c : kCommands) std::fprintf(out, "  pbtool %s\n", c.usage);
  std::fputs("\nOutput: one item a line, fields separated by TAB. Exit 0 on success, 1 on\n"
             "failure with the error chain on standard error.\n",
             out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    printUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 1 : 0;
  }
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[1], c.group) != 0) continue;
    int first = 2;
    if (c.name) {
      if (argc < 3 || std::strcmp(argv[2], c.name) != 0) continue;
      first = 3;
    }
    int given = argc - first;
    if (c.args >= 0 ? given != c.args : given < -c.args) {
      std::fprintf(stderr, "usage: pbtool %s\n", c.usage);
      return 1;
    }
    return c.run(argv + first) == 0 ? 0 : 1;
  }
  std::fprintf(stderr, "pbtool: unknown command '%s'\n", argv[1]);
  printUsage(stderr);
  return 1;
}
