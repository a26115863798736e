// PLACEHOLDER: being written; every reader here declines its outline.
#include "physics/objects.h"

int gate_reader(int, int, Outline*) { return 0; }
int gate2_reader(int, int, Outline*) { return 0; }
int portal_reader(int, int, Outline*) { return 0; }
int blocker_reader(int, int, Outline*) { return 0; }
int tunnel_reader(int, int, Outline*) { return 0; }
int sprdoor_reader(int, int, Outline*) { return 0; }
int mpoint_reader(int, int, Outline*) { return 0; }
int mavz_reader(int, int, Outline*) { return 0; }
int zona_reader(int, int, Outline*) { return 0; }
int ostlift_reader(int, int, Outline*) { return 0; }
void BLOCKER_CONTROL_UP(int) {}
void BLOCKER_CONTROL_DOWN(int) {}
int blockerState(int) { return -1; }
void ZONA_CONTROL(int) {}
int zonaState() { return 0; }
void ZONA_ENABLE_ASSOCIATED(int) {}
void ostliftStartRelease() {}
int ostliftState() { return 0; }
int ostliftStored() { return 0; }
void sprdoorRearm() {}
int sprdoorRearmed() { return 0; }
void routingReset() {}
