// Roost emission: how many particles each wheel on loose ground throws per
// tick, where they start and how fast they fly, from the surface's roost
// entries. The random numbers come from the race's generator so that a
// replay throws the same particles.
#pragma once
#include <random>

#include "physics/bike.h"

struct HeightField;
struct RoostPool;

// Everything a wheel's emission reads besides the bike.
struct RoostContext {
    const HeightField* ground;
    RoostPool* pool;
    std::mt19937* rng;
    int density;    // percentage 0..1000 (250 default)
    unsigned tick;
};

// Uniform in [0, 1) from 31 bits of the next output.
double roost_uniform(std::mt19937& rng);

// Particles per roost entry this tick at a density: D/100, and one more with
// the chance of the remainder.
int roost_density_count(std::mt19937& rng, int density);

// Both wheels of one bike (front capped at pi/8 round the tyre, rear at 2pi).
// A bike whose motion comes from outside (simulate false) finds its tyre
// contacts here. Returns the number of particles thrown.
int bike_roost(Bike* b, bool simulate, const RoostContext& ctx);
// One wheel (0 front, 1 rear) with k particles allowed per entry.
int wheel_roost(Bike* b, int wheel, bool simulate, int k, double angle_cap,
                const RoostContext& ctx);
