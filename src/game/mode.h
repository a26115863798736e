#pragma once
// Modes: the rules' long-running features (mission selection, Duma, Kremlin,
// prison zone ...), each an event handler.
struct BoardObject;

// Sends an event to one mode, or to every mode for mode 0; 0.
int modeEvent(int mode, int event, int a, BoardObject* object);
