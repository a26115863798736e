#pragma once
// Error message boxes: a window where a display exists, and always a line on
// standard error. Caption and text are Windows-1251.
void sysMessageBox(const char* caption, const char* text);
