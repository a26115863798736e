#pragma once
// The shipped table description (table/*.tbl), read once the way the table
// compiler reads it, for the data tests that check the built game folder
// against the places the description gives. A description that does not
// read fails the calling test.
#include <gtest/gtest.h>

#include <vector>

#include "table/desc.h"
#include "table/model.h"

inline const tbl::Model& shippedTableModel() {
  static tbl::Model m;
  static bool built = false;
  if (!built) {
    std::vector<tbl::Block> blocks;
    tbl::Diag d;
    EXPECT_TRUE(tbl::readDescription(PB_TABLE_SOURCE, &blocks, &d));
    EXPECT_TRUE(tbl::buildModel(blocks, &m, &d)) << (d.errors.empty() ? "" : d.errors[0]);
    built = true;
  }
  return m;
}
