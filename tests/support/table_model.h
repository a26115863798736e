#pragma once
// The shipped table description (table/*.tbl), read once the way the table
// compiler reads it, and the game's view as the built game folder sets it,
// for the data tests that check the folder against the places the
// description gives. A description or view that does not read fails the
// calling test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/conf.h"
#include "physics/geometry.h"
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

// The projection of the game folder's conf/global.conf on the 800 x 600
// screen; its view keys go to `keys` when given.
inline void setupShippedView(PerspKeys* keys = nullptr) {
  ConfSet global{};
  ASSERT_EQ(CONF_READ(&global, (std::string(PB_GAME_DIR) + "/conf/global.conf").c_str()), 0);
  PerspKeys k;
  perspReadKeys(&global, &k);
  if (keys) *keys = k;
  conf_free(&global);
  PERSP_SETUP(tbl::TABLE_W, tbl::TABLE_H, k.fovx, k.fovy, k.angle, k.dist);
}
