// A bike on a small hand-made ground or a shipped track's, ticked in the
// simulation's order: contacts, world step, bike step.
#pragma once
#include <cmath>
#include <functional>

#include "files/config.h"
#include "physics/bike.h"
#include "physics/chassis.h"
#include "physics/contact.h"
#include "physics/powertrain.h"
#include "physics/shape.h"
#include "test_support.h"
#include "track/terrain.h"

// The built data set in reach for one test, with the bikes' own collision
// shapes from it (so their body parts meet the ground too); ok is false
// when no data set is built.
struct ShippedShapes {
    GameDataScope data;
    bool ok = data.ready;
    ShippedShapes() { shape_cache_clear(); }
    ~ShippedShapes() { shape_cache_clear(); }
};

// A square grid of `cells` cells of `spacing` ft with heights h(x, z);
// no surface table, so every tile is the default ground.
inline void ride_ground(HeightField* hf, int cells, double spacing,
                        const std::function<double(double, double)>& h)
{
    hf->vertex_count = cells + 1;
    hf->spacing = float(spacing);
    hf->extent = float(spacing * cells);
    hf->heights.assign(size_t(cells + 1) * size_t(cells + 1), 0.0f);
    for (int j = 0; j <= cells; j++)
        for (int i = 0; i <= cells; i++)
            hf->heights[size_t(j) * size_t(cells + 1) + size_t(i)] = float(h(i * spacing, j * spacing));
}

struct Ride {
    HeightField ground;
    Bike* bike = nullptr;
    unsigned tick = 0;
    // Track objects the bike can hit, none unless a test sets them.
    const StatueTarget* statues = nullptr;
    int statue_count = 0;

    // A crf250 with the configuration's default setup but full physics
    // (arcade off), its wheels `lift` ft above the ground at (x, z),
    // pointing along -z.
    bool start(double x, double z, double lift = 0.05)
    {
        if (!physics_world_init())
            return false;
        config_reset_defaults();
        bike = bike_create("crf250(2009)", 0, "7", nullptr, nullptr, nullptr, nullptr);
        if (!bike)
            return false;
        bike_apply_setup(bike);
        bike_set_arcade(bike, false);
        bike_set_clutch(bike, 1);
        double base = terrain_height(&ground, x, z);
        // The lower tyre reaches 0.08 ft below its build height.
        bike_translate(bike, x, base + 0.08 + lift, z - 3.5);
        return true;
    }
    ~Ride() { bike_free(bike); }

    // The assists as "Stability" at this value sets them (lean controller
    // at 100), without touching the configuration.
    void stability(double value)
    {
        StabilityPreset p = stability_preset(value);
        bike_set_leveling(bike, p.leveling);
        bike_set_roll_damping(bike, p.roll_damping);
        bike_set_roll_limit_angle(bike, p.roll_limit_angle_deg * M_PI / 180);
        bike_set_roll_limit_factor(bike, p.roll_limit_factor);
        bike_set_steering_damping(bike, p.steering_damping);
        bike_set_steering_strength(bike, p.steering_strength);
        bike_set_direct_steering(bike, p.direct_steering);
        bike_set_max_steering_force(bike, p.max_steering_force);
        bike_set_slow_damping_speed(bike, p.slow_damping_speed);
        bike_set_slow_damping_factor(bike, p.slow_damping_factor);
        bike_set_land_damping_falloff(bike, p.land_damping_falloff);
        bike_set_land_damping_factor(bike, p.land_damping_factor);
    }

    void step()
    {
        bike_world_contacts(bike, &ground, statues, statue_count, int(tick));
        physics_world_step();
        bike_step(bike, true, tick);
        tick++;
    }
    void run(double seconds)
    {
        for (int i = 0; i < int(seconds * TICKS_PER_SECOND); i++)
            step();
    }
    // Facing east (+x) with the frame over (x, z), just above the higher
    // ground under the wheels, settled for half a second.
    void place_east(double x, double z)
    {
        bike_orient(bike, 0, 1, 0, -M_PI / 2);
        const dReal* p = dBodyGetPosition(bike->body[BODY_FRAME]);
        double base = std::fmax(terrain_height(&ground, x - 2.5, z), terrain_height(&ground, x + 2.5, z));
        bike_translate(bike, x - p[0], base + 0.1, z - p[2]);
        run(0.5);
    }
    // Every body moving east at v with the wheels rolling, in that gear with
    // the engine turning to match, and the rider's recent velocities at v as
    // if the bike had been going this fast all along (not kicked to it).
    void launch_east(double v, int gear)
    {
        for (dBodyID b : bike->body)
            dBodySetLinearVel(b, v, 0, 0);
        dBodySetAngularVel(bike->body[BODY_FRONT_WHEEL], 0, 0, v / 1.12);
        dBodySetAngularVel(bike->body[BODY_REAR_WHEEL], 0, 0, v / 1.04);
        for (Vec3& w : bike->rider_velocity_ring)
            w = vec3(v, 0, 0);
        bike->gear = gear;
        bike->engine_speed = v / 1.04 * powertrain_reduction(bike);
    }
    // Every body moving at v along -z, the wheels rolling with it.
    void set_speed(double v)
    {
        for (dBodyID b : bike->body)
            dBodySetLinearVel(b, 0, 0, -v);
        dBodySetAngularVel(bike->body[BODY_FRONT_WHEEL], -v / 1.12, 0, 0);
        dBodySetAngularVel(bike->body[BODY_REAR_WHEEL], -v / 1.04, 0, 0);
    }
    Vec3 position() const
    {
        const dReal* p = dBodyGetPosition(bike->body[BODY_FRAME]);
        return vec3(p[0], p[1], p[2]);
    }
    Vec3 velocity() const
    {
        const dReal* v = dBodyGetLinearVel(bike->body[BODY_FRAME]);
        return vec3(v[0], v[1], v[2]);
    }
    double speed() const { return vec3_length(velocity()); }
    double roll() const { return body_roll(bike->body[BODY_FRAME]); }
    // World y of the frame's up axis: 1 upright, below 0 upside down.
    double uprightness() const { return dBodyGetRotation(bike->body[BODY_FRAME])[5]; }
    bool both_wheels_down() const { return bike->wheel[0].depth > 0 && bike->wheel[1].depth > 0; }
};
