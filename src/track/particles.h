// Roost particles: the dirt and water a wheel throws, flying, slowing,
// growing and fading until they land. With erosion on, the ground loses the
// dirt where a particle leaves and gains it where it lands (ground marks: the
// dug ground also darkens, see terrain_dig).
#pragma once
#include <cstdint>

#include "core/vec.h"
#include "track/surface.h"

struct HeightField;

constexpr int ROOST_POOL_SIZE = 2000;

// The billboard that draws one particle (the scene renderer reads these).
struct RoostBillboard {
    float position[3];
    float height;        // size, ft
    int texture;         // 0 once landed (and always in a headless run)
    bool visible;        // while its particle flies
    uint8_t colour[4];   // RGBA
};

// One particle; `next` links it into the free or the active list (-1 ends).
struct RoostParticle {
    Vec3 position;
    Vec3 velocity;
    int billboard;           // index into the pool's billboards
    uint8_t amount;          // dirt carried, 1020 units per ft of height dug
    const RoostType* type;   // the surface entry it was thrown with
    int next;
};

// The whole pool, made with the track: nothing is allocated per particle.
struct RoostPool {
    RoostParticle particles[ROOST_POOL_SIZE];
    RoostBillboard billboards[ROOST_POOL_SIZE];
    int free_head;
    int active_head;
    int active_count;
    HeightField* ground;  // where particles land and dirt is moved; may be null
    double erosion;       // 0..1 ("--erode"); 0 leaves the ground untouched
    // Counts since init, for the benchmarks' figures.
    long long thrown;     // particles spawned
    long long dropped;    // emissions lost to a full pool
    int peak_active;      // most particles in flight at once
};

// Every particle free and its billboard hidden, on that ground.
void roost_pool_init(RoostPool* pool, HeightField* ground, double erosion);
// The erosion factor, clamped to 0..1 (NaN reads as 0).
void roost_set_erosion(RoostPool* pool, double erosion);

// Throws one particle; false when all are flying (the emission is dropped)
// or the values are not finite. Digs out its dirt at the start point.
bool roost_spawn(RoostPool* pool, Vec3 position, Vec3 velocity, double amount,
                 const RoostType* type);

// One tick of flight for every active particle; the landed ones deposit
// their dirt and return to the free list. tick seeds the marks' rounding.
void roost_update(RoostPool* pool, unsigned tick);
