#pragma once
// The load-time estimator: how long each category of a table load took the
// last times, so the progress bar advances smoothly while a table loads.

// What draws the progress bar. The graphics engine installs it; without one
// the estimator only measures.
struct LtimeProgressDisplay {
  void* (*load)(const char* spriteName);   // null when the sprite can't be loaded
  int (*frameCount)(void* sprite);
  void (*show)(void* sprite, int frame);   // draw at the screen origin and present
  void (*release)(void* sprite);
};
void ltimeSetProgressDisplay(const LtimeProgressDisplay* display);

void ltimeInit(int defaultTotal);
int ltimeBegin(const char* spriteName);
int LT(const char* category);
void ltimeEnd();
void ltimeReport();

// Read-only views for tests and reports.
int ltimeCategoryCount();
int ltimeExpectedTotal();
int ltimeAverage(const char* category);  // -1 when the category is unknown
