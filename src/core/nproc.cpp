// Named procedures and key events.
#include "core/nproc.h"

#include "core/log.h"
#include "core/mem.h"
#include "core/text.h"

namespace {

struct KeyEvent {
  int key;
  KeyEventFn callback;
};

// A list together with its guard against being emptied while it is walked:
// a clear requested from inside a call takes effect when the outermost walk
// ends, and the walk calls nothing more after it.
struct GuardedList {
  List list;
  int walking;
  bool clearPending;
};

GuardedList gProcs;
GuardedList gEvents;

void clearList(GuardedList* g) {
  if (g->walking > 0) {
    g->clearPending = true;
    return;
  }
  listFree(&g->list);
  g->clearPending = false;
}

void endWalk(GuardedList* g) {
  if (--g->walking == 0 && g->clearPending) clearList(g);
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (lowerAscii(*a) != lowerAscii(*b)) return false;
  return *a == *b;
}

}  // namespace

void registerNamedProc(const char* name, NamedProcFn proc) {
  NamedProc record{};
  strCopyN(record.name, name ? name : "", sizeof record.name);
  record.proc = proc;
  for (ListNode* node = gProcs.list.first; node; node = node->next) {
    const auto* r = static_cast<const NamedProc*>(node->payload);
    if (r->proc == proc && equalNoCase(r->name, record.name)) return;
  }
  if (!listPushBack(&gProcs.list, &record, sizeof record)) {
    logError(0, "%s: not enough memory for name '%s'", "registerNamedProc()", record.name);
    return;
  }
  logPrint("%s: registered name '%s' proc %p", "registerNamedProc()", name ? name : "",
           reinterpret_cast<void*>(proc));
}

int invokeNamedProcs(const char* name) {
  constexpr const char* fn = "invokeNamedProcs()";
  const char* given = name ? name : "";
  // Records hold names cut to 63 characters; the name looked up is cut the
  // same way, so a long name finds what was registered under it.
  char wanted[NPROC_NAME_SIZE];
  strCopyN(wanted, given, sizeof wanted);

  int result = -1;
  int round = 0;
  // Procedures registered by a procedure run from the next call on.
  ListNode* last = gProcs.list.last;
  ++gProcs.walking;
  for (ListNode* node = gProcs.list.first; node && !gProcs.clearPending; node = node->next) {
    auto* record = static_cast<NamedProc*>(node->payload);
    if (equalNoCase(record->name, wanted)) {
      logPrint("%s: calling named proc '%s' round %d", fn, given, ++round);
      result = record->proc ? record->proc(record) : 0;
    }
    if (node == last) break;
  }
  endWalk(&gProcs);
  if (round == 0) {
    logPrint("%s: no procedure by name '%s' found", fn, given);
    return -1;
  }
  return result;
}

void namedProcClear() { clearList(&gProcs); }

int namedProcCount() { return listCount(&gProcs.list); }

void eventRegister(int key, KeyEventFn callback) {
  for (ListNode* node = gEvents.list.first; node; node = node->next) {
    const auto* e = static_cast<const KeyEvent*>(node->payload);
    if (e->key == key && e->callback == callback) return;
  }
  KeyEvent event{key, callback};
  if (!listPushBack(&gEvents.list, &event, sizeof event))
    logError(0, "%s: not enough memory for key %d", "eventRegister()", key);
}

void eventDispatch(int key, int a, int b) {
  // Callbacks registered by a callback are called from the next dispatch on.
  ListNode* last = gEvents.list.last;
  ++gEvents.walking;
  for (ListNode* node = gEvents.list.first; node && !gEvents.clearPending; node = node->next) {
    const auto* e = static_cast<const KeyEvent*>(node->payload);
    if (e->key == key && e->callback) e->callback(key, a, b);
    if (node == last) break;
  }
  endWalk(&gEvents);
}

void eventClear() { clearList(&gEvents); }

int eventCount() { return listCount(&gEvents.list); }
