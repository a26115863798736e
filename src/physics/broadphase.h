#pragma once
// The board's broadphase: a uniform grid over the table holding the boxes of
// the still shapes, so that a ball is tested only against the shapes whose
// box its swept box can touch. Everything that is not a still shape with a
// finite box of sane size (balls, flippers, cflippers, shapes with a
// velocity) is on an always-tested list instead, and a ball's contact
// partners are always visited, since their exit tests report wherever the
// ball is.
//
// The index never changes the result of a contact search: it only leaves out
// objects whose own swept test would reject the ball by the box check it
// starts with, and it hands back the candidates in slot order, the order in
// which the full scan visits them, so ties resolve as they do there.
//
// It remembers the fields each shape's cells were computed from (position,
// box, velocity, kind, slot in use) and is rebuilt, at the next search, when
// marked dirty: by insertion and removal, by bpCheckObjects when a record
// changed behind its back, and by boardShapeChanged.
#include <cstdint>

#include "physics/board.h"

enum {
  BP_CELL = 32,  // table units
  BP_COLS = 25,  // the grid covers x 0..800 and y 0..608; outside it the
  BP_ROWS = 19,  // coordinates are clamped into the border cells
  BP_CELLS = BP_COLS * BP_ROWS,
};

// A query box (or shape box) with a coordinate beyond this, or not a number,
// is not put in cells: such a ball is scanned against everything, such a
// shape is always tested.
constexpr double kBpLimit = 1e6;

// The fields a slot's placement in the index depends on, compared bit for
// bit. 8 doubles and 2 ints: no padding.
struct BpKey {
  double px, py, xmin, xmax, ymin, ymax, vx, vy;
  int kind;
  int used;
};

struct BoardIndex {
  int maxObjects;
  int dirty;
  int broken;  // the cell storage could not grow: every search scans everything
  BpKey* keys;         // maxObjects
  int* always;         // the always-tested slots, ascending
  int nAlways;
  int* balls;          // the balls' slots, ascending (live or not)
  int nBalls;
  int cellStart[BP_CELLS + 1];  // cell c holds cellItems[cellStart[c] .. cellStart[c + 1])
  int* cellItems;      // slots, ascending within a cell
  int itemCapacity;
  uint32_t* stamp;     // maxObjects: the query that last took the slot
  uint32_t query;
  int* contacts;       // maxObjects: the pairs in contact each slot is part of
  int* candidates;     // maxObjects: the answer of the last query
};

// 0, or -1 with "bpInit(): not enough memory for %d objects".
int bpInit(BoardIndex* index, int maxObjects);
void bpFree(BoardIndex* index);

// Compares every slot below count with its recorded key and marks the index
// dirty when one differs.
void bpCheckObjects(BoardIndex* index, const BoardObject* objects, int count);
// The same for one object.
void bpCheckObject(BoardIndex* index, const BoardObject* object);
// Rebuilds the cells, the always-tested list and the ball list from the
// slots below count.
void bpRebuild(BoardIndex* index, const BoardObject* objects, int count);

// The slots a ball may touch during the sub-step: every slot whose box meets
// the query box (x0, y0)-(x1, y1), the always-tested slots and the ball's
// contact partners (from the board's pair matrix), once each and ascending,
// in index->candidates. Returns their number, or -1 when the ball must be
// scanned against every slot (a box not a number, very large or covering
// much of the grid, or a broken index). The caller rebuilds a dirty index
// first.
int bpCandidates(BoardIndex* index, const Board* board, int ball, double x0, double y0, double x1, double y1);
