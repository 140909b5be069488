// Roost emission, by behaviour: the density setting, dirt only from a
// slipping tyre, splashes from any wheel in water, the front wheel's narrow
// spray and replays from the same seed.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

#include "physics/roost.h"
#include "ride_fixture.h"
#include "track/particles.h"

namespace {

struct RoostRig {
    Ride ride;
    std::unique_ptr<RoostPool> pool = std::make_unique<RoostPool>();
    std::mt19937 rng{12345};

    // Flat ground with one surface type whose roost entries are given.
    bool start(std::initializer_list<RoostType> entries)
    {
        ride_ground(&ride.ground, 100, 2.0, [](double, double) { return 10.0; });
        HeightField& hf = ride.ground;
        hf.surface_count = 1;
        hf.surfaces[0] = surface_default();
        int i = 0;
        for (const RoostType& t : entries)
            hf.surfaces[0].roost[i++] = t;
        roost_pool_init(pool.get(), &hf, 0);
        return ride.start(100, 100);
    }
    RoostContext context(int density, unsigned tick)
    {
        return RoostContext{&ride.ground, pool.get(), &rng, density, tick};
    }
    // The wheel touching the ground under it with a given slip, spinning at
    // omega about its axle while the bike moves at v along -z.
    void touch(int k, Vec3 slip, double omega, double v)
    {
        Bike* b = ride.bike;
        WheelContact& w = b->wheel[k];
        const dReal* c = dBodyGetPosition(w.body);
        w.point = vec3(c[0], 10, c[2]);
        w.normal = vec3(0, 1, 0);
        w.depth = 0.05;
        w.slip = slip;
        dBodySetLinearVel(w.body, 0, 0, -v);
        dBodySetAngularVel(w.body, omega, 0, 0);
    }
    void clear()
    {
        roost_pool_init(pool.get(), &ride.ground, 0);
    }
};

RoostType entry(int kind, float count)
{
    RoostType t;
    t.kind = kind;
    t.count = count;
    t.slip_threshold = 4;
    t.slow_angle = float(M_PI / 2);
    t.fast_angle = float(M_PI / 16);
    t.slow_speed = 0;
    t.fast_speed = 64;
    return t;
}

}  // namespace

TEST(Roost, DensityDrawGivesWholeHundredsAndTheRemainderByChance)
{
    std::mt19937 rng(7);
    struct Case {
        int density, lo, hi;
        double share_hi;  // expected share of draws giving hi
    } cases[] = {{0, 0, 0, 0}, {150, 1, 2, 0.5}, {250, 2, 3, 0.5}, {1000, 10, 10, 0}};
    for (const Case& c : cases) {
        int high = 0;
        for (int i = 0; i < 4000; i++) {
            int k = roost_density_count(rng, c.density);
            ASSERT_GE(k, c.lo);
            ASSERT_LE(k, c.hi);
            high += k == c.hi && c.hi != c.lo;
        }
        EXPECT_NEAR(high / 4000.0, c.share_hi, 0.04) << c.density;
    }
}

TEST(Roost, SpinningRearWheelThrowsDirtByDensityAndReplaysFromTheSeed)
{
    RoostRig rig;
    ASSERT_TRUE(rig.start({entry(1, 10)}));
    Bike* b = rig.ride.bike;
    // Spinning up to speed while barely moving: slip backwards, 60 rad/s.
    rig.touch(1, vec3(0, 0, 40), -60, 2);
    rig.touch(0, vec3(0, 0, 0), -2, 2);
    b->wheel[0].depth = 0;
    struct Case {
        int density, lo, hi;
    } cases[] = {{0, 0, 0}, {150, 1, 2}, {250, 2, 3}};
    for (const Case& c : cases) {
        for (int tick = 0; tick < 50; tick++) {
            rig.clear();
            int n = bike_roost(b, true, rig.context(c.density, unsigned(tick)));
            ASSERT_GE(n, c.lo) << c.density;
            ASSERT_LE(n, c.hi) << c.density;
            ASSERT_EQ(rig.pool->active_count, n);
        }
    }
    // Dirt flies back and up from behind the contact.
    rig.clear();
    ASSERT_EQ(wheel_roost(b, 1, true, 5, 2 * M_PI, rig.context(250, 0)), 5);
    const dReal* centre = dBodyGetPosition(b->wheel[1].body);
    for (int i = rig.pool->active_head; i >= 0; i = rig.pool->particles[i].next) {
        const RoostParticle& p = rig.pool->particles[i];
        EXPECT_GE(p.position.z, centre[2] - 1e-9);
        EXPECT_GT(p.velocity.z, -20);  // not thrown ahead
    }

    // The same seed throws the same particles.
    auto run = [&](unsigned seed) {
        rig.rng.seed(seed);
        rig.clear();
        for (int tick = 0; tick < 20; tick++)
            bike_roost(b, true, rig.context(250, unsigned(tick)));
        std::vector<double> out;
        for (int i = rig.pool->active_head; i >= 0; i = rig.pool->particles[i].next) {
            const RoostParticle& p = rig.pool->particles[i];
            out.insert(out.end(), {p.position.x, p.position.y, p.position.z, p.velocity.x,
                                   p.velocity.y, p.velocity.z});
        }
        return out;
    };
    std::vector<double> first = run(99), again = run(99), other = run(100);
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first, again);
    EXPECT_NE(first, other);
}

TEST(Roost, RollingWheelSplashesInWaterButThrowsNoDirt)
{
    RoostRig rig;
    RoostType water = entry(2, 2);
    water.randomize = 0;
    ASSERT_TRUE(rig.start({entry(1, 3), water}));
    Bike* b = rig.ride.bike;
    rig.touch(1, vec3(0, 0, 1), -10 / 1.04, 10);  // slip below the threshold
    int n = wheel_roost(b, 1, true, 10, 2 * M_PI, rig.context(1000, 3));
    EXPECT_EQ(n, 2);
    // The splash goes 45 degrees up to both sides.
    int left = 0, right = 0;
    for (int i = rig.pool->active_head; i >= 0; i = rig.pool->particles[i].next) {
        const RoostParticle& p = rig.pool->particles[i];
        EXPECT_EQ(p.type, &rig.ride.ground.surfaces[0].roost[1]);
        left += p.velocity.x < 0;
        right += p.velocity.x > 0;
    }
    EXPECT_EQ(left, 1);
    EXPECT_EQ(right, 1);
    // A wheel off the ground throws nothing at all.
    rig.clear();
    b->wheel[1].depth = 0;
    EXPECT_EQ(wheel_roost(b, 1, true, 10, 2 * M_PI, rig.context(1000, 3)), 0);
}

TEST(Roost, FrontWheelSprayStaysWithinAnEighthTurnOfTheContact)
{
    RoostRig rig;
    ASSERT_TRUE(rig.start({entry(1, 1)}));
    Bike* b = rig.ride.bike;
    double widest[2] = {0, 0};
    for (int k = 0; k < 2; k++) {
        for (int tick = 0; tick < 400; tick++) {
            rig.clear();
            // Slow spin against the motion: the widest spray the entry allows.
            rig.touch(k, vec3(0, 0, 10), -5, 1);
            ASSERT_EQ(wheel_roost(b, k, true, 1, k == 0 ? M_PI / 8 : 2 * M_PI,
                                  rig.context(100, unsigned(tick))),
                      1);
            const RoostParticle& p = rig.pool->particles[rig.pool->active_head];
            const dReal* c = dBodyGetPosition(b->wheel[k].body);
            Vec3 r0 = b->wheel[k].point - vec3(c[0], c[1], c[2]);
            Vec3 r1 = p.position - vec3(c[0], c[1], c[2]);
            double a = std::acos(clampd(vec3_dot(r0, r1) / (vec3_length(r0) * vec3_length(r1)), -1, 1));
            widest[k] = std::fmax(widest[k], a);
        }
    }
    EXPECT_LE(widest[0], M_PI / 8 + 1e-6);
    EXPECT_GT(widest[0], M_PI / 8 * 0.9);
    EXPECT_GT(widest[1], M_PI / 4);  // the rear is limited by the entry only
}

TEST(Roost, FractionalCountEmitsOnItsShareOfTicks)
{
    RoostRig rig;
    ASSERT_TRUE(rig.start({entry(1, 0.3f)}));
    Bike* b = rig.ride.bike;
    rig.touch(1, vec3(0, 0, 40), -60, 2);
    int emitted = 0;
    const int ticks = 5000;
    for (int tick = 0; tick < ticks; tick++) {
        rig.clear();
        emitted += wheel_roost(b, 1, true, 3, 2 * M_PI, rig.context(250, unsigned(tick)));
    }
    EXPECT_NEAR(emitted / double(ticks), 0.3, 0.03);
}

TEST(Roost, BikeMovedFromOutsideFindsItsOwnContact)
{
    RoostRig rig;
    ASSERT_TRUE(rig.start({entry(1, 2)}));
    Bike* b = rig.ride.bike;
    // Sink the rear tyre into the ground and spin it; the stored contact is
    // stale (no ground pass ran for this bike).
    b->wheel[1].depth = 0;
    dBodyID rear = b->wheel[1].body;
    const dReal* c = dBodyGetPosition(rear);
    double lower = c[1] - 10 - (b->wheel[1].ring_radius + b->wheel[1].section_radius) + 0.05;
    bike_translate(b, 0, -lower, 0);
    dBodySetAngularVel(rear, -60, 0, 0);
    int n = wheel_roost(b, 1, false, 2, 2 * M_PI, rig.context(250, 0));
    EXPECT_EQ(n, 2);
    EXPECT_GT(b->wheel[1].depth, 0);
    EXPECT_GT(vec3_length(b->wheel[1].slip), 4);
}
