#pragma once
// Missions: at most one runs at a time (game.mission); table objects and the
// session send it mission events.

// Sends an event to the running mission, when there is one.
void missionEvent(int event, int a, int b);
// The running mission's number, -1 when none runs.
int missionCurrent();
// The mission point of a place (0..31) was hit by a ball: 1 when its entry
// is active and enabled, so that the hit selects a mission.
int missionPointReady(int place);
// Selects the entry's mission and tells the rules the place.
void missionPointSelect(int place);
