// The table objects' part of the table set-up: the readers of every kind in
// their fixed numbering, and the places where the objects meet the rules
// and the session (the blockers' and spring door's trigger handlers, the
// ball leaving the table).
#include "anim/title.h"
#include "core/log.h"
#include "core/nproc.h"
#include "game/game.h"
#include "game/trigger.h"
#include "physics/ball.h"
#include "physics/objects/objects.h"
#include "physics/opr.h"
#include "physics/table.h"

namespace {

static_assert(int{BALL_LEAVE_DUMA} == int{TR_LEAVE_DUMA} && int{BALL_LEAVE_CENTER} == int{TR_LEAVE_CENTER} &&
                  int{BALL_LEAVE_GASPROM} == int{TR_LEAVE_GASPROM},
              "a ball leaving the table reports its edge as the rules' leave trigger");

// Reader numbers 0..30 in this order.
struct ReaderRow {
  OprReader fn;
  const char* name;
};
constexpr ReaderRow kReaders[] = {
    {accel_reader, "accel_reader"},         {accel2_reader, "accel2_reader"},
    {blocker_reader, "blocker_reader"},     {bumper_reader, "bumper_reader"},
    {button_reader, "button_reader"},       {cflipper_reader, "cflipper_reader"},
    {dropper_reader, "dropper_reader"},     {dumagate_reader, "dumagate_reader"},
    {flipper_reader, "flipper_reader"},     {gate_reader, "gate_reader"},
    {gate2_reader, "gate2_reader"},         {gasbtn_reader, "gasbtn_reader"},
    {hflap_reader, "hflap_reader"},         {kremgate_reader, "kremgate_reader"},
    {mavz_reader, "mavz_reader"},           {mflap_reader, "mflap_reader"},
    {mpoint_reader, "mpoint_reader"},       {ostbtn_reader, "ostbtn_reader"},
    {ostlift_reader, "ostlift_reader"},     {portal_reader, "portal_reader"},
    {saver_reader, "saver_reader"},         {spinner_reader, "spinner_reader"},
    {spiralbtn_reader, "spiralbtn_reader"}, {sprdoor_reader, "sprdoor_reader"},
    {spring_reader, "spring_reader"},       {triangle_reader, "triangle_reader"},
    {trilights_reader, "trilights_reader"}, {tunnel_reader, "tunnel_reader"},
    {zona_reader, "zona_reader"},           {zonabtn_reader, "zonabtn_reader"},
    {wall_reader, "wall_reader"},
};
static_assert(sizeof kReaders / sizeof kReaders[0] == 31);

// Lowering the blockers belongs to the blocker objects of the table.
void BLOCKER_TRIGGER(int trigger) {
  logPrint("%s: event %d/%s", "BLOCKER_TRIGGER()", trigger, triggerName(trigger));
  if (trigger == TR_BALL_LOST) blockersBallLost();
}

// Re-arming the spring door belongs to the spring-door object of the table.
void SPRDOOR_TRIGGER(int trigger) {
  if (trigger == TR_BALL_LOST) sprdoorRearm();
  triggerTrace(trigger, "SPRDOOR_TRIGGER()", true);
}

}  // namespace

int oprRegisterTable() {
  int sum = oprAddTableFamilies();
  if (sum < 0) return sum;
  for (const auto& r : kReaders) OPR_ADD_READER(r.fn, r.name);
  objectsConnect();
  return sum;
}

void objectsConnect() {
  // The spiral's exit gate calls "ost_in": the ball comes back through the
  // right tube. The tubes belong to the table objects, so they register it.
  registerNamedProc("ost_in", [](NamedProc*) {
    startForeTitle("pipes_t6");
    gameTubeBall(1);
    return 0;
  });
  // The prison zone, its buttons and the tubes, as the rules' modes command them.
  static constexpr GameTableHooks kHooks = {
      ZONA_CONTROL,
      zonaState,
      [] { buttonPairRelease(FAM_ZONABTN); },
      gameTubeBall,
  };
  gameSetTableHooks(&kHooks);
  triggerSetHandler(TRIGGER_SLOT_BLOCKER, BLOCKER_TRIGGER);
  triggerSetHandler(TRIGGER_SLOT_SPRDOOR, SPRDOOR_TRIGGER);
  gTable.leaveTable = MILE3_TRIGGER;
}

int tableGameOver() { return game.over; }
