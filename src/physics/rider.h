// The rider's body off the bike: when he is thrown (bail-out), how he tumbles
// tied to the handlebars by his arms with his feet as loose particles, how he
// is reeled back onto the seat once at rest, the foot he puts down to hold a
// slow bike up, and the grip value that protects riders after bike hits.
#pragma once
#include "core/vec.h"
#include "physics/bike.h"
#include "physics/contact.h"

struct HeightField;
struct GateCourse;

// Ticks a thrown rider stays off the bike once he has come to rest.
constexpr int CRASH_TICKS = 512;

// Installs the crash handling into the ground pass and the bike step. Done
// by physics_world_init; harmless to repeat.
void rider_install();

// The ground the feet land on and the foot-down test reaches (the loaded
// track; null = no ground, feet fall freely).
void rider_set_ground(const HeightField* hf);

// Grip recovery towards 1000 (first in every bike step).
void bike_grip_update(Bike* b);
// Throws the rider off: mount detached, feet placed and moving with him,
// crash timer set. Does nothing while crashed or protected (grip > 1000).
void bike_bail_out(Bike* b);
// The checks made by the bike step itself: the rider hitting a track object
// fast, moving much faster than the bike under him, or a hard jolt.
void bike_bail_checks(Bike* b);
// While the crash timer runs: the arm ropes while he tumbles, the count-down
// once he rests, reeling him in and seating him at the end.
void bike_detached_step(Bike* b);
// The foot put down at low speed (and turning round in a race).
void bike_foot_step(Bike* b);
// The feet as particles; last in the bike step.
void bike_feet_step(Bike* b);

// Left and right foot in world coordinates, and optionally how far each is
// put down or thrown (0..1; 1 for both while crashed).
void rider_foot_positions(const Bike* b, Vec3 out[2], double weight[2]);

// A rope from point pa of body a to point pb of body b (body coordinates)
// that pulls only when stretched beyond its slack.
void rider_rope(dBodyID a, Vec3 pa, dBodyID b, Vec3 pb, double slack);

// What touching parts do to two bikes' grip after a bike-to-bike pass at
// this tick; records the tick on both.
void bike_bike_contact_effects(Bike* a, Bike* b, BikeBikeTouch touch, int tick);
// Whether a pair's further touches this tick go in as direct forces (one of
// the two already had a bike-to-bike contact this tick).
bool bike_bike_contact_direct(const Bike* a, const Bike* b, int tick);

// The centre of the next gate a rider with that many gate positions passed
// has to pass: the turning-round target when no racing line gives one.
bool rider_next_gate_target(const GateCourse* course, int gates_passed, Vec3* out);
// Sets where the foot-down assist turns a slow rider round to; valid false
// outside races, before the first gate and after the finish.
void bike_set_turn_target(Bike* b, bool valid, Vec3 target);
