// Contact geometry and the tyre and powertrain rules, case by case.
#include <gtest/gtest.h>

#include <cmath>

#include "physics/shape.h"
#include "ride_fixture.h"

namespace {

const double R = 5.0 / 6, r = 1.0 / 3;
const Vec3 AXLE = {1, 0, 0};

// A large level triangle at height y (upward normal).
TorusHit on_level(Vec3 c, double y = 0)
{
    return torus_triangle(vec3(-50, y, 50), vec3(50, y, 50), vec3(0, y, -50), c, AXLE, R, r);
}

// Distance from a point to the ring circle by sampling it finely.
double ring_distance(Vec3 p, Vec3 c)
{
    double best = INFINITY;
    for (int k = 0; k < 20000; k++) {
        double a = k * 2 * M_PI / 20000;
        Vec3 q = c + vec3(0, std::cos(a), std::sin(a)) * R;
        best = std::fmin(best, vec3_length(p - q));
    }
    return best;
}

}  // namespace

TEST(TorusTriangle, FaceContactUnderTheWheel)
{
    TorusHit h = on_level(vec3(0, R + r - 0.1, 0));
    EXPECT_NEAR(h.depth, 0.1, 1e-9);
    EXPECT_NEAR(h.point.y, -0.1, 1e-9);
    Vec3 n = vec3_normalize(h.normal);
    EXPECT_NEAR(n.y, 1, 1e-9);
}

TEST(TorusTriangle, RingCuttingThePlaneAndRingBelowIt)
{
    // The lowest ring point 0.2 ft under the face: depth r + 0.2.
    TorusHit cut = on_level(vec3(0, R - 0.2, 0));
    EXPECT_NEAR(cut.depth, r + 0.2, 1e-9);
    EXPECT_NEAR(cut.point.y, -0.2 - r, 1e-9);
    // The whole ring under the face: depth 2R at the lowest ring point.
    TorusHit sunk = on_level(vec3(0, -R - 0.5, 0));
    EXPECT_NEAR(sunk.depth, 2 * R, 1e-9);
    EXPECT_NEAR(sunk.point.y, -2 * R - 0.5, 1e-9);
    EXPECT_NEAR(vec3_normalize(sunk.normal).y, 1, 1e-9);
}

TEST(TorusTriangle, EdgeBesideTheWheel)
{
    // A level triangle starting 0.2 ft to the right of the ring's plane; the
    // lowest ring point hangs 0.05 ft above its level.
    Vec3 c = vec3(0, R + 0.05, 0);
    TorusHit h = torus_triangle(vec3(0.2, 0, 5), vec3(10, 0, 0), vec3(0.2, 0, -5), c, AXLE, R, r);
    double d = std::sqrt(0.2 * 0.2 + 0.05 * 0.05);
    EXPECT_NEAR(h.depth, r - d, 1e-6);
    Vec3 n = vec3_normalize(h.normal);
    EXPECT_NEAR(n.x, -0.2 / d, 1e-4);
    EXPECT_NEAR(n.y, 0.05 / d, 1e-4);
    EXPECT_NEAR(h.point.x, 0.2, 1e-6);
}

TEST(TorusTriangle, VertexInsideTheRing)
{
    // A steep triangle poking one corner 0.2 ft beside the ring's plane,
    // well inside the ring: the tyre's side touches the corner.
    Vec3 v0 = vec3(0.2, 0.2, 0);
    TorusHit h = torus_triangle(v0, vec3(5, -3, 1), vec3(5, -3, -1), vec3(0, 0, 0), AXLE, R, r);
    EXPECT_NEAR(h.depth, r - 0.2, 1e-9);
    EXPECT_NEAR(vec3_length(h.point - v0), 0, 1e-12);
    EXPECT_NEAR(h.normal.x, -1, 1e-12);
}

TEST(TorusTriangle, ClosestApproachToSlantedEdgesMatchesASampledRing)
{
    // Triangles off to the side of a tilted wheel, so the ring's nearest
    // approach is to an edge: the quartic's Newton steps must find the same
    // distance as a brute-force search over edge and ring.
    struct Case {
        Vec3 v0, v1, v2, c;
    } cases[] = {
        {{0.3, -0.2, 2}, {4, -1, 0}, {0.5, 0.6, -2}, {0, 0, 0}},
        {{0.25, -1.2, 1.5}, {3, -2, 0}, {0.1, -0.5, -1.5}, {0, 0, 0}},
        {{-0.35, 0.9, 1}, {-0.3, -0.9, -1}, {-4, 0, 0}, {0, 0, 0.2}},
    };
    for (const Case& k : cases) {
        Vec3 v[3] = {k.v0, k.v1, k.v2};
        Vec3 N = vec3_cross(k.v1 - k.v0, k.v2 - k.v0);
        if (N.y < 0)
            std::swap(v[1], v[2]);
        double best = INFINITY;
        for (int e = 0; e < 3; e++)
            for (int s = 0; s <= 400; s++) {
                Vec3 p = v[e] + (v[(e + 1) % 3] - v[e]) * (s / 400.0);
                best = std::fmin(best, ring_distance(p, k.c));
            }
        for (Vec3 vk : v) {  // distance to the ring's disk
            Vec3 d = vk - k.c;
            Vec3 p = d - AXLE * vec3_dot(d, AXLE);
            if (vec3_length(p) > R)
                p = p * (R / vec3_length(p));
            best = std::fmin(best, vec3_length(k.c + p - vk));
        }
        TorusHit h = torus_triangle(v[0], v[1], v[2], k.c, AXLE, R, r);
        EXPECT_NEAR(h.depth, r - best, 2e-3) << k.v0.x;
    }
}

TEST(TorusTriangle, RingPointOnTheAxleIsDefined)
{
    Vec3 g = torus_ring_point(vec3(3, 0, 0), vec3(0, 0, 0), AXLE, R);
    EXPECT_NEAR(vec3_length(g), R, 1e-12);
    EXPECT_NEAR(g.x, 0, 1e-12);
}

TEST(WheelGround, HoveringWheelGetsNoContactOrJoint)
{
    HeightField hf;
    ride_ground(&hf, 16, 2.0, [](double, double) { return 1.0; });
    TorusHit h;
    EXPECT_FALSE(torus_ground_contact(&hf, vec3(16, 1 + R + r + 1e-4, 16), AXLE, R, r, &h));
    EXPECT_EQ(h.depth, 0);
    EXPECT_TRUE(torus_ground_contact(&hf, vec3(16, 1 + R + r - 1e-3, 16), AXLE, R, r, &h));
    EXPECT_NEAR(h.depth, 1e-3, 1e-6);

    // The same through a bike: no joint on the hovering wheel.
    Ride ride;
    ride_ground(&ride.ground, 16, 2.0, [](double, double) { return 1.0; });
    ASSERT_TRUE(ride.start(16, 20, 0.01));
    dBodyID front = ride.bike->body[BODY_FRONT_WHEEL];
    int joints = dBodyGetNumJoints(front);
    GroundTouch t = bike_ground_contacts(ride.bike, &ride.ground);
    EXPECT_FALSE(t.wheel);
    EXPECT_EQ(ride.bike->wheel[0].depth, 0);
    EXPECT_EQ(dBodyGetNumJoints(front), joints);
    dJointGroupEmpty(physics_contact_group());
}

TEST(WheelGround, SlopedGroundAcrossCellsOfBothParities)
{
    // A plane rising along x: the contact depth is the same wherever the
    // wheel stands, whichever way the cell's diagonal runs.
    HeightField hf;
    ride_ground(&hf, 32, 2.0, [](double x, double z) { return 0.1 * x + 0.05 * z; });
    Vec3 up = vec3_normalize(vec3(-0.1, 1, -0.05));
    for (double x : {20.3, 21.7, 23.1}) {
        double z = 30.4;
        double ground = 0.1 * x + 0.05 * z;
        // Wheel centre 0.1 ft closer to the plane than touching distance.
        Vec3 c = vec3(x, ground, z) + up * 0.0;
        c.y += (R + r - 0.1) / up.y;
        TorusHit h;
        ASSERT_TRUE(torus_ground_contact(&hf, c, AXLE, R, r, &h));
        EXPECT_GT(h.depth, 0.05);
        EXPECT_LT(h.depth, 0.12);
        EXPECT_GT(h.normal.y, 0.99);
    }
}

TEST(BodyContacts, SphereIsPushedOutOfTheGroundEvenWithItsCentreSunkBelow)
{
    // A plane rising along x; a body sphere of radius 0.5 at heights from
    // clear above it to sunk well under it. Every touch pushes out along
    // the plane's normal, as deep as the sphere reaches past the surface: a
    // centre below the surface once drew a normal pointing down, which
    // held a sunk rider's legs in the ground.
    HeightField hf;
    ride_ground(&hf, 32, 2.0, [](double x, double z) { return 0.1 * x + 0.05 * z; });
    Vec3 up = vec3_normalize(vec3(-0.1, 1, -0.05));
    struct Case {
        double above;  // centre's distance from the plane along its normal
        bool touches;
    } cases[] = {{0.6, false}, {0.3, true}, {0.05, true}, {-0.2, true}, {-0.7, true}};
    for (const Case& k : cases)
        for (double x : {20.3, 21.7}) {
            Vec3 c = vec3(x, 0.1 * x + 0.05 * 30.4, 30.4) + up * k.above;
            SphereHit h{};
            ASSERT_EQ(sphere_ground(&hf, c, 0.5, &h), k.touches) << k.above;
            if (!k.touches)
                continue;
            EXPECT_NEAR(h.depth, 0.5 - k.above, 1e-6) << k.above;
            EXPECT_NEAR(vec3_dot(h.normal, up), 1, 1e-6) << k.above;
        }
}

TEST(TyreRules, FrictionDirection)
{
    Vec3 up = vec3(0, 1, 0);
    // Sliding: across the slip.
    Vec3 d = tyre_friction_direction(up, vec3(0, 0, 3), AXLE);
    EXPECT_NEAR(d.x, 1, 1e-12);
    // Nearly at rest: along the rolling direction.
    d = tyre_friction_direction(up, vec3(0.01, 0, 0.01), AXLE);
    EXPECT_NEAR(d.z, -1, 1e-12);
    // Neither: none.
    d = tyre_friction_direction(up, vec3(0, 0, 0), up);
    EXPECT_EQ(vec3_dot(d, d), 0);
}

TEST(TyreRules, RollingResistanceAndArcadeGrip)
{
    SurfaceType ground = surface_default();  // rolling (5, 15)
    Vec3 up = vec3(0, 1, 0);
    struct {
        double speed, p, force;
    } cases[] = {{10, 0, 5}, {10, 1, 15}, {0.5, 0, 2.5}, {0.5, 1, 7.5}, {0, 0.5, 0}};
    for (auto& k : cases) {
        Vec3 f = tyre_rolling_force(&ground, vec3(0, -1, -k.speed), up, k.p);
        EXPECT_NEAR(f.z, k.force, 1e-9) << k.speed << " " << k.p;
        EXPECT_EQ(f.y, 0);
    }
    EXPECT_NEAR(tyre_grip_factor(true, 30 * M_PI / 180), 0.75, 1e-12);
    EXPECT_NEAR(tyre_grip_factor(true, -M_PI / 2), 0.625, 1e-12);
    EXPECT_EQ(tyre_grip_factor(false, 1.0), 1);
}

TEST(SphereContacts, OverlapAndDirectForceLimit)
{
    SphereHit h;
    ASSERT_TRUE(sphere_sphere(vec3(0, 0, 0), 1, vec3(1.5, 0, 0), 1, &h));
    EXPECT_NEAR(h.depth, 0.5, 1e-12);
    EXPECT_NEAR(h.point.x, 0.75, 1e-12);
    EXPECT_NEAR(h.normal.x, 1, 1e-12);
    EXPECT_FALSE(sphere_sphere(vec3(0, 0, 0), 1, vec3(2, 0, 0), 1, &h));
    Vec3 n = vec3(1, 0, 0), rest = vec3(0, 0, 0);
    EXPECT_NEAR(contact_direct_force(0.01, 25000, 2500, rest, rest, n), 250, 1e-9);
    EXPECT_EQ(contact_direct_force(1, 25000, 2500, rest, rest, n), 1000);
    EXPECT_EQ(contact_direct_force(0.01, 25000, 2500, vec3(-5, 0, 0), rest, n), -1000);
}

namespace {

// A one-sphere shape copy with its own cached source.
struct Ball {
    CollisionShape source, copy;
    Ball(float radius, float x = 0, float y = 0, float z = 0)
    {
        source.elements.push_back({{x, y, z}, radius, 0.5f, 5000, 500});
        source.bounding_radius = std::sqrt(x * x + y * y + z * z) + radius;
        copy = source;
        copy.source = &source;
    }
};

}  // namespace

TEST(BodyContacts, UpsideDownRiderSlidingFastIsThrownOff)
{
    struct Case {
        double speed;
        bool bails;
    } cases[] = {{3, false}, {8, true}};
    for (const Case& k : cases) {
        Ride ride;
        ride_ground(&ride.ground, 32, 2.0, [](double, double) { return 0.0; });
        ASSERT_TRUE(ride.start(0, 0));
        Bike* b = ride.bike;
        Ball rider(1.0f);
        CollisionShape* own = b->shape[BODY_RIDER];
        b->shape[BODY_RIDER] = &rider.copy;
        // Upside down, the rider body's centre 0.8 ft over the ground.
        bike_orient(b, 0, 0, 1, M_PI);
        const dReal* p = dBodyGetPosition(b->body[BODY_RIDER]);
        bike_translate(b, 32 - p[0], 0.8 - p[1], 32 - p[2]);
        for (dBodyID body : b->body)
            dBodySetLinearVel(body, 0, 0, -k.speed);
        GroundTouch t = bike_ground_contacts(b, &ride.ground);
        EXPECT_TRUE(t.body);
        EXPECT_TRUE(b->ground_touched);
        EXPECT_EQ(b->bail_out_requested, k.bails) << k.speed;
        dJointGroupEmpty(physics_contact_group());
        b->shape[BODY_RIDER] = own;
    }
}

TEST(BodyContacts, StatuePassMarksTheStatueTouched)
{
    Ride ride;
    ride_ground(&ride.ground, 32, 2.0, [](double, double) { return 0.0; });
    ASSERT_TRUE(ride.start(32, 32));
    Bike* b = ride.bike;
    Ball frame(0.5f);
    CollisionShape* own = b->shape[BODY_FRAME];
    b->shape[BODY_FRAME] = &frame.copy;
    Ball near_block(1.0f, 0, 1, 0), far_block(1.0f, 0, 1, 0);
    const dReal* p = dBodyGetPosition(b->body[BODY_FRAME]);
    int touched_near = -1, touched_far = -1;
    StatueTarget statues[2] = {
        {&near_block.copy, vec3(p[0] + 1.2, p[1] - 1, p[2]), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0},
         &touched_near},
        {&far_block.copy, vec3(p[0] + 30, p[1] - 1, p[2]), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0},
         &touched_far},
    };
    bike_place_shapes(b);  // as the tick's ground pass does first
    bike_statue_contacts(b, statues, 2, 77);
    EXPECT_EQ(touched_near, 77);
    EXPECT_EQ(touched_far, -1);
    EXPECT_TRUE(b->object_touch_parts & (1u << BODY_FRAME));
    dJointGroupEmpty(physics_contact_group());
    b->shape[BODY_FRAME] = own;
}

TEST(Powertrain, TorqueTableEndsAndClutch)
{
    Ride ride;
    ride_ground(&ride.ground, 8, 2.0, [](double, double) { return 0.0; });
    ASSERT_TRUE(ride.start(8, 8));
    Bike* b = ride.bike;
    bike_set_throttle(b, 1);
    b->engine_speed = 30000 / 9.549296585513721;
    EXPECT_FLOAT_EQ(engine_torque(b), b->model.open_torque[49]);
    b->engine_speed = -50;
    EXPECT_FLOAT_EQ(engine_torque(b), 5);
    bike_set_throttle(b, 0);
    EXPECT_FLOAT_EQ(engine_torque(b), 2);

    struct {
        double lever, rpm, e;
    } cases[] = {{1, 4000, 0}, {1, 5000, 0}, {1, 6000, 0.5}, {1, 7000, 1},
                 {0.3, 6000, 0.3}, {0.7, 8000, 0.7}, {1, 12000, 1}};
    for (auto& k : cases)
        EXPECT_NEAR(clutch_auto_engagement(k.lever, k.rpm, 5000), k.e, 1e-12) << k.rpm;
}

TEST(Powertrain, FreeEngineSettlesAtIdleWithTheThrottleClosed)
{
    // Bike in the air, clutch pulled: the engine spins only against its own
    // inertia and the closed-throttle curve, which crosses 0 at 1000-1500 rpm.
    Ride ride;
    ride_ground(&ride.ground, 8, 2.0, [](double, double) { return -100.0; });
    ASSERT_TRUE(ride.start(8, 8));
    Bike* b = ride.bike;
    bike_set_clutch(b, 0);
    bike_set_throttle(b, 1);
    for (int i = 0; i < 128; i++)
        powertrain_step(b, i);
    EXPECT_GT(engine_rpm(b), 10000);  // free revving: fast, with no load
    bike_set_throttle(b, 0);
    for (int i = 0; i < 1024; i++)
        powertrain_step(b, i);
    EXPECT_GE(engine_rpm(b), 750);
    EXPECT_LT(engine_rpm(b), 1750);
}

TEST(Chassis, ForkForceFadesInAndCarriesTheAirSpring)
{
    Ride ride;
    ride_ground(&ride.ground, 8, 2.0, [](double, double) { return 0.0; });
    ASSERT_TRUE(ride.start(8, 8));
    Bike* b = ride.bike;
    EXPECT_EQ(fork_force(b, 0, 0), 0);
    double travel = b->model.fork_travel;
    // At 1/64 of the travel the fade-in passes half the force of 1/32.
    double x = -travel / 64;
    const BikeSetup& s = b->setup;
    double air = travel + s.fork_oil_level;
    double full = (s.fork_preload - x) * s.fork_spring_rate + 82.46169 * (air / (air - travel / 64) - 1);
    EXPECT_NEAR(fork_force(b, x, 0), full / 2, 1e-6);
    // Fully compressed with oil level 5/12: the air spring adds 82.46 x 2.4.
    bike_set_fork_oil_level(b, 0);
    double spring = (s.fork_preload + travel) * s.fork_spring_rate;
    EXPECT_NEAR(fork_force(b, -travel, 0) - spring, 82.46169 * 2.4, 1e-3);
    // Shock: nothing at full extension, pushing back when compressed.
    EXPECT_EQ(shock_torque(b, 0, 0), 0);
    EXPECT_GT(shock_torque(b, -0.3, 0), 0);
    // Commanded lean: nothing at standstill, below the limit under 15 ft/s.
    EXPECT_EQ(steer_commanded_lean(b, 0), 0);
    EXPECT_LT(steer_commanded_lean(b, 14), b->setup.roll_limit_angle);
    EXPECT_GT(steer_commanded_lean(b, 14), steer_commanded_lean(b, 10));
}
