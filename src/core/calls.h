#pragma once
// A log of calls into the parts of the rules that are still to come
// (missions, modes, titles). Their entry points already exist with their
// final signatures; until their bodies are written they note each call
// here, so that the table objects that make them can be checked, and do
// nothing else.
enum { RULES_CALLS = 512, RULES_CALL_TEXT = 96 };

// Notes one call, formatted like printf (cut at RULES_CALL_TEXT - 1); the
// oldest note goes when the log is full.
void rulesCallNote(const char* format, ...) __attribute__((format(printf, 1, 2)));
int rulesCallCount();
const char* rulesCall(int i);  // oldest first; null outside 0..count-1
// 1 when some noted call equals text exactly.
int rulesCallSeen(const char* text);
// How many noted calls equal text.
int rulesCallTimes(const char* text);
void rulesCallClear();
