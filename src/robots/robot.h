// The robot rider: every tick before the physics step it writes a bike's
// controls from the buffer of line points it rides. It launches from the
// gate with a personal reaction time, appends the next segment's line as
// the buffer runs low, leans the bike to reach an aim point a few points
// ahead within the grip of the ground, slows for riders in its way and for
// jumps, and steers point by point when it gets stuck.
#pragma once
#include <random>

#include "robots/learning.h"
#include "robots/robot_controller.h"

struct Bike;
struct HeightField;
struct WayMap;

// What a robot sees besides its own bike.
struct RobotContext {
    LearnView* learn;           // lines, course, timing; null or no rows: no lines to pick
    const HeightField* ground;  // for the grip ahead; may be null
    std::mt19937* rng;          // the session's shared generator (start reactions)
    int clock, start_tick;
    const Bike* bikes[MAX_RACE_SLOTS];  // every simulated rider, for avoidance (null: none)
    const WayMap* ways;         // the track's objects, for the way round them; may be null
};

// The whole controller for one tick. A rider without a personality is left
// alone.
void robot_tick(RobotContext* c, int slot, Bike* b, RobotState* s, LineRider* r, const RaceProgress* p);

// The riding part: stall check, speed target, avoidance, aim, lean, steer,
// throttle and brakes.
void robot_ride(RobotContext* c, int slot, Bike* b, RobotState* s, LineRider* r, const RaceProgress* p);

// Start-gate launch controls t seconds after the launch time: the clutch
// comes in over a quarter second at full throttle.
void robot_launch(Bike* b, double t);

// Called once when the robot finishes: it keeps riding its line, slowing.
void robot_run_out(RobotState* s, LineRider* r);

// Robot state back to that of a freshly placed rider (the counters too).
void robot_reset(RobotState* s);
