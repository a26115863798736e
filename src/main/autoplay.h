#pragma once
// The built-in player ("/autoplay"): it plays the table as a person at the
// keyboard would, and its keys take the person's way in (the window's event
// queue, then the session's user events and the black box), so a session it
// plays records and replays like any other.
//
// On the table it holds the launch key while a ball rests (the plunger),
// flips a flipper when a ball comes within its reach, and starts a new game
// (R) when one is over. In the subgames it punches and steps, fires both
// rifles in turn, or moves between the chutes. It answers the name dialog
// with the proposed name. Its choices vary a little, from a generator of its
// own (the game's generator is left alone, so replays draw the same numbers),
// so that it does not repeat one shot for ever.
#include <cstdint>

// Installs the player on the event queue and the subgames' input; seed
// chooses its variations. A session that replays a recording is left alone.
void autoplayStart(uint32_t seed);
void autoplayStop();
int autoplayActive();
