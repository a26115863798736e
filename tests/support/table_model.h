#pragma once
// The shipped table description (table/*.tbl), read once the way the table
// compiler reads it, and the game's view as the built game folder sets it,
// for the data tests that check the folder against the places the
// description gives. A description or view that does not read fails the
// calling test. The objects are found by their described names, on the
// board as well: a described object's layer and section (its outline's
// position, the "object_<x>_<y>" of its parameters) name the board object
// the loaded table made of it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/conf.h"
#include "physics/board.h"
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

// The described object of that name, or an empty one (no name) when there
// is none.
inline const tbl::Object& described(const std::string& name) {
  static const tbl::Object kNone{};
  const tbl::Object* o = tbl::findObject(shippedTableModel(), name);
  return o ? *o : kNone;
}

// A real parameter of a described object (its class's when it has none of
// its own), else def.
inline double describedReal(const std::string& name, const std::string& key, double def) {
  return tbl::objectReal(shippedTableModel(), described(name), key, def);
}

// The table object of a board whose outline has the section position (x, y)
// on a layer, else null.
inline BoardObject* boardObjectAt(Board& board, int layer, int x, int y) {
  for (int i = 0; i < board.count; i++) {
    BoardObject* o = &board.objects[i];
    if (o->id < 0 || o->kind == BK_BALL) continue;
    const Outline& ol = o->u.shape.outline;
    int sx, sy;
    shSectionOf(&ol, &sx, &sy);
    if (ol.code[1] == layer && sx == x && sy == y) return o;
  }
  return nullptr;
}

// The board object the table made of the described object, else null.
inline BoardObject* boardObjectNamed(Board& board, const std::string& name) {
  const tbl::Object& d = described(name);
  return d.name.empty() ? nullptr : boardObjectAt(board, d.layer, d.sectionX, d.sectionY);
}
