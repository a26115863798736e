// PLACEHOLDER: being written; every reader here declines its outline.
#include "physics/objects.h"

int button_reader(int, int, Outline*) { return 0; }
int spiralbtn_reader(int, int, Outline*) { return 0; }
int ostbtn_reader(int, int, Outline*) { return 0; }
int zonabtn_reader(int, int, Outline*) { return 0; }
int gasbtn_reader(int, int, Outline*) { return 0; }
int dumagate_reader(int, int, Outline*) { return 0; }
int kremgate_reader(int, int, Outline*) { return 0; }
int hflap_reader(int, int, Outline*) { return 0; }
int mflap_reader(int, int, Outline*) { return 0; }
int trilights_reader(int, int, Outline*) { return 0; }
void buttonPairLight(int) {}
void buttonPairRelease(int) {}
void buttonPairCool(int) {}
void mflapRequestRise() {}
void switchesReset() {}
