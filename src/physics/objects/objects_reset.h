#pragma once
// The table-wide state of the routing and switch kinds, forgotten by
// objectsReset at the start of each table load.
void routingReset(); void switchesReset();
