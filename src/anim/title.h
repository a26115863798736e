#pragma once
// Title animations: named sequences of pages, clips and samples in the title
// area, and the macros their texts use.

enum { TITLE_MACROS = 128, TITLE_MACRO_NAME = 32, TITLE_MACRO_VALUE = 256 };

using TitleEndFn = void (*)();

// Starts the title "title-<name>" in the foreground (background); its id or -1.
int startForeTitle(const char* name);
int startBackTitle(const char* name);
// The active context's one-shot end callback.
void titleEndCallbackOnce(TitleEndFn fn);
// Sets a macro (exact name); a null value is stored as "".
void titleSetMacro(const char* name, const char* value);
// The value of a macro, or null.
const char* titleMacro(const char* name);
void titleClearMacros();
