#pragma once
// Shapes of the lamp inserts and of the year display's digits, in table
// space: the artwork prints them unlit, the lamp sprites draw them lit.
#include <vector>

#include "table/geom.h"
#include "table/model.h"

namespace tbl {

std::vector<P2> lampShape(const Lamp& l);
// The seven-segment polygons lit for a digit 0..9 (8 gives all seven).
std::vector<std::vector<P2>> digitSegments(int digit, P2 centre, double w, double h);
// The centre of year digit d (0 = thousands .. 3 = units).
P2 yearDigitCentre(const Model& m, int d);

}  // namespace tbl
