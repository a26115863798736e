#pragma once
// Named procedures and key events: two small subscription lists that let the
// table objects call into the rules without knowing them.
//
// A named procedure is registered under a name (case does not matter); a
// table object that names it in its configuration calls invokeNamedProcs
// when the ball passes, and every procedure registered under that name runs,
// in registration order. A key event is a callback registered for a key
// number (key 0: the flipper buttons); the session loop dispatches to every
// callback of the key when the key is pressed.
//
// Both lists are emptied at each table load (namedProcClear, eventClear)
// and filled while the table is set up.

enum { NPROC_NAME_SIZE = 64 };  // 63 characters and the terminator

struct NamedProc;
// A procedure receives its own record and returns its result.
using NamedProcFn = int (*)(NamedProc* record);

struct NamedProc {
  char name[NPROC_NAME_SIZE];
  NamedProcFn proc;
};

// Appends a record (the name cut to 63 characters) unless the same name and
// procedure are registered already.
void registerNamedProc(const char* name, NamedProcFn proc);
// Calls every procedure registered under the name, in registration order,
// and returns the last result; -1 when none is registered under it.
int invokeNamedProcs(const char* name);
void namedProcClear();
int namedProcCount();

// Key callbacks receive the key and the two values given to eventDispatch
// (for the flipper key: 0 for the left flipper, 1 for the right, and 0).
using KeyEventFn = void (*)(int key, int a, int b);

// Appends unless the same key and callback are registered already.
void eventRegister(int key, KeyEventFn callback);
// Calls every callback registered for the key with (key, a, b), in
// registration order.
void eventDispatch(int key, int a, int b);
void eventClear();
int eventCount();
