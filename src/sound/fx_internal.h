#pragma once
// Shared between the sound module's files.

// Forgets a running music fade-out (fxInit and fxShutdown start afresh).
void fxFadeReset();
