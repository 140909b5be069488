// The engine as one rotating inertia, coupled to the rear wheel through a
// torsional spring that stands for clutch and chain; the brakes as axle
// motors; and the control aids that act through the same inputs
// (automatic shifting and clutch, wheelie and stoppie cuts, antilock,
// backing up, dabbing when stopped).
#pragma once
#include "core/vec.h"
#include "physics/bike.h"

// Crankshaft turns per rear-wheel turn in the current gear.
double powertrain_reduction(const Bike* b);

// Engine torque (ft·lbf) from the nearest 500 rpm entry at this engine
// speed and throttle, with no side effects (the engine sound reads it).
double engine_torque(const Bike* b);
double engine_rpm(const Bike* b);

// The engagement the automatic clutch allows at an engine speed: none up to
// the auto clutch speed, full 2000 rpm above it, never more than the lever.
double clutch_auto_engagement(double lever, double rpm, double auto_clutch_rpm);

// Engine, drivetrain and brakes for one tick (after the steering torque).
void powertrain_step(Bike* b, unsigned tick);

// Backing up and dab-when-stopped (start of the bike step); their changes
// to the brake and sit/dab inputs last for this step only.
void rider_aids_step(Bike* b, unsigned tick);

// A horizontal push of up to `strength` lbf bringing the body's velocity
// towards target; nothing within 0.25 ft/s.
void push_toward(dBodyID body, double strength, Vec3 target);
