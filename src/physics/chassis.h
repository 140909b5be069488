// The bike step: everything that acts on the bike each tick besides the
// contacts — rider body springs, fork and shock, the steering torque that
// balances the bike (with its assists), the powertrain, steering damping and
// the joint balance that cancels spurious joint forces.
#pragma once
#include "physics/bike.h"

// Lean of a body about its long axis: 0 upright, negative leaning to its
// right (+x side), positive to its left, +-pi/2 lying on a side.
double body_roll(dBodyID body);
// The frame's rotation rate about its own long (z) axis.
double bike_roll_rate(const Bike* b);
// The arcade steering's servo: the share of the steering strength that
// turns the front wheel towards where it travels, offset by a steer input
// (-2/3 .. 2/3). Robots read it with a steer of 0.
double steer_servo(const Bike* b, double steer);

// Hooks for the rider's crash handling; each may be null. The bike step
// calls them at their places in its order.
struct RiderHooks {
    void (*grip_and_bail)(Bike* b);    // grip recovery and bail-out checks
    void (*detached)(Bike* b);         // while the crash timer runs
    void (*foot_dab)(Bike* b);         // the foot that holds the bike up
    void (*pose)(Bike* b);             // rider pose bookkeeping
};
void bike_set_rider_hooks(const RiderHooks* hooks);

// One bike step (after this tick's contacts and world step; acts in the
// next world step). A bike whose motion comes from outside (simulate false)
// only has its accumulated forces cleared. tick is the run's tick counter.
void bike_step(Bike* b, bool simulate, unsigned tick);

// Pieces of the step, exposed for tests and the crash handling.
// Fork force (lbf) at slider position x (0 extended .. -travel) and rate v.
double fork_force(const Bike* b, double x, double v);
// Shock torque (ft·lbf) at swingarm angle (0 .. -travel) and rate.
double shock_torque(const Bike* b, double angle, double rate);
// The greatest lean the lean controller commands at a speed (ft/s).
double steer_commanded_lean(const Bike* b, double speed);
// Removes the net force and torque the bike's joints put into it.
void bike_joint_balance(Bike* b);
