// The bike as bodies and joints: masses, placement, joint stops and a bike
// falling freely through an empty world.
#include <gtest/gtest.h>

#include <cmath>

#include "physics/bike.h"

namespace {

struct BikeFixture : ::testing::Test {
    Bike* bike = nullptr;
    void SetUp() override
    {
        ASSERT_TRUE(physics_world_init());
        bike = bike_create("crf250(2009)", 3, "12345678", nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(bike, nullptr);
    }
    void TearDown() override { bike_free(bike); }

    double mass_of(int body)
    {
        dMass m;
        dBodyGetMass(bike->body[body], &m);
        return m.mass;
    }
    Vec3 pos(int body)
    {
        const dReal* p = dBodyGetPosition(bike->body[body]);
        return vec3(p[0], p[1], p[2]);
    }
    // Applies a torque pair, or a force pair, between two bodies for a
    // second of free fall; gravity moves everything alike.
    void push_for_a_second(int a, int b, Vec3 torque, Vec3 force)
    {
        for (int i = 0; i < 128; i++) {
            dBodyAddTorque(bike->body[a], torque.x, torque.y, torque.z);
            dBodyAddTorque(bike->body[b], -torque.x, -torque.y, -torque.z);
            dBodyAddForce(bike->body[a], force.x, force.y, force.z);
            dBodyAddForce(bike->body[b], -force.x, -force.y, -force.z);
            physics_world_step();
        }
    }
};

double hinge_gap(dJointID j)
{
    dVector3 a, b;
    dJointGetHingeAnchor(j, a);
    dJointGetHingeAnchor2(j, b);
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

}  // namespace

TEST_F(BikeFixture, MassesFollowTheRiderMassDistribution)
{
    const BikeModel& m = bike->model;
    double total = bike->total_mass;
    EXPECT_NEAR(mass_of(BODY_FRAME), m.frame_mass + m.rider_mass * 2 / 3, 1e-6);
    EXPECT_NEAR(mass_of(BODY_RIDER), m.rider_mass / 3, 1e-6);
    EXPECT_NEAR(mass_of(BODY_FRONT_WHEEL), m.front_tyre_mass + m.front_hub_mass, 1e-6);
    EXPECT_NEAR(mass_of(BODY_SWINGARM), 2 * m.swingarm_mass, 1e-6);  // two full-weight arms
    EXPECT_NEAR(mass_of(BODY_FORK_UPPER), m.fork_mass, 1e-6);
    EXPECT_NEAR(mass_of(BODY_FORK_LOWER), m.fork_mass, 1e-6);

    bike_set_rider_mass_distribution(bike, 0.5);
    EXPECT_NEAR(mass_of(BODY_FRAME), m.frame_mass + m.rider_mass / 2, 1e-6);
    EXPECT_NEAR(mass_of(BODY_RIDER), m.rider_mass / 2, 1e-6);
    EXPECT_NEAR(bike->total_mass, total, 1e-9);
    double sum = 0;
    for (int i = 0; i < BIKE_BODY_COUNT; i++)
        sum += mass_of(i);
    EXPECT_NEAR(sum, total, 1e-9);
}

TEST_F(BikeFixture, WheelInertiaIsARingAboutTheAxle)
{
    dMass m;
    dBodyGetMass(bike->body[BODY_FRONT_WHEEL], &m);
    // Spinning about the axle (x) is hardest; the ring is round, so y and z
    // match; the centre of mass stays on the axle.
    EXPECT_GT(m.I[0], m.I[5]);
    EXPECT_NEAR(m.I[5], m.I[10], 1e-9);
    EXPECT_NEAR(m.c[0] * m.c[0] + m.c[1] * m.c[1] + m.c[2] * m.c[2], 0, 1e-18);
}

TEST_F(BikeFixture, OrientingAboutUpByPiTurnsTheBikeRound)
{
    bike_orient(bike, 0, 1, 0, M_PI);
    EXPECT_NEAR(pos(BODY_FRONT_WHEEL).z, -1.11, 1e-6);
    EXPECT_NEAR(pos(BODY_REAR_WHEEL).z, -6.0, 1e-6);
    EXPECT_NEAR(pos(BODY_FRONT_WHEEL).y, 1.09, 1e-6);
    bike_translate(bike, 10, 0, 20);
    EXPECT_NEAR(pos(BODY_RIDER).x, 10, 1e-6);
    EXPECT_NEAR(pos(BODY_RIDER).z, 20 - 4.12, 1e-6);
    bike_reset(bike);
    EXPECT_NEAR(pos(BODY_FRONT_WHEEL).z, 1.11, 1e-6);
    EXPECT_NEAR(pos(BODY_RIDER).y, 4.5, 1e-6);
}

TEST_F(BikeFixture, SteeringStopsAtFortyFiveDegrees)
{
    Vec3 axis = vec3_normalize(vec3(0, 2.9 - 1.77, 2.16 - 1.59));
    for (int sign = -1; sign <= 1; sign += 2) {
        bike_reset(bike);
        push_for_a_second(BODY_FORK_UPPER, BODY_FRAME, axis * (sign * 40.0), vec3(0, 0, 0));
        double angle = dJointGetHingeAngle(bike->joint[JOINT_STEERING_HEAD]);
        EXPECT_NEAR(std::fabs(angle), M_PI / 4, 0.03) << sign;
        EXPECT_EQ(angle > 0, sign > 0);
    }
}

TEST_F(BikeFixture, ForkNeitherExtendsPastItsBuiltLengthNorPastItsTravel)
{
    Vec3 axis = vec3_normalize(vec3(0, 2.9 - 1.77, 2.16 - 1.59));
    // Pull the lower fork away from the upper one.
    push_for_a_second(BODY_FORK_LOWER, BODY_FORK_UPPER, vec3(0, 0, 0), axis * -200.0);
    double pos_ext = dJointGetSliderPosition(bike->joint[JOINT_FORK]);
    EXPECT_LE(pos_ext, 0.01);
    EXPECT_GT(pos_ext, -0.05);
    bike_reset(bike);
    push_for_a_second(BODY_FORK_LOWER, BODY_FORK_UPPER, vec3(0, 0, 0), axis * 200.0);
    EXPECT_NEAR(dJointGetSliderPosition(bike->joint[JOINT_FORK]), -bike->model.fork_travel, 0.03);
}

TEST_F(BikeFixture, SwingarmNeitherDropsBelowItsBuiltAngleNorPassesItsTravel)
{
    // Twist the arm about the pivot: rear end down (it would drop), then up.
    push_for_a_second(BODY_SWINGARM, BODY_FRAME, vec3(40, 0, 0), vec3(0, 0, 0));
    double down = dJointGetHingeAngle(bike->joint[JOINT_SWINGARM_PIVOT]);
    EXPECT_LE(down, 0.01);
    EXPECT_GT(down, -0.05);
    bike_reset(bike);
    push_for_a_second(BODY_SWINGARM, BODY_FRAME, vec3(-40, 0, 0), vec3(0, 0, 0));
    EXPECT_NEAR(dJointGetHingeAngle(bike->joint[JOINT_SWINGARM_PIVOT]),
                -bike->model.swingarm_travel, 0.03);
}

TEST_F(BikeFixture, FreeFallKeepsTheJointsTogether)
{
    bike_apply_setup(bike);
    dBodySetAngularVel(bike->body[BODY_FRONT_WHEEL], 60, 0, 0);  // spinning wheels too
    dBodySetAngularVel(bike->body[BODY_REAR_WHEEL], 60, 0, 0);
    for (int i = 0; i < 128; i++)
        physics_world_step();
    for (int j : {JOINT_FRONT_AXLE, JOINT_REAR_AXLE, JOINT_STEERING_HEAD, JOINT_SWINGARM_PIVOT})
        EXPECT_LT(hinge_gap(bike->joint[j]), 1e-4) << j;
    dVector3 a, b;
    dJointGetHinge2Anchor(bike->joint[JOINT_RIDER_MOUNT], a);
    dJointGetHinge2Anchor2(bike->joint[JOINT_RIDER_MOUNT], b);
    EXPECT_NEAR(a[1], b[1], 1e-4);
    EXPECT_NEAR(dJointGetSliderPosition(bike->joint[JOINT_FORK]), 0, 1e-4);
    // Everything fell 16 ft in the second (g = 32).
    EXPECT_NEAR(pos(BODY_FRAME).y, 1.98 - 16, 0.2);
    EXPECT_NEAR(pos(BODY_FRAME).z, 3.6, 1e-3);
}

TEST_F(BikeFixture, CreationCopiesNumberSlotAndNewBikeSetup)
{
    EXPECT_STREQ(bike_rider_number(bike), "1234567");
    EXPECT_EQ(bike->slot, 3);
    EXPECT_EQ(bike->setup.stop_wheelies, 2);
    EXPECT_EQ(bike->setup.slow_damping_speed, 0);
    EXPECT_FLOAT_EQ(float(bike->setup.fork_oil_level), bike->model.fork_oil_level[0]);
    EXPECT_EQ(bike->graphics.bike.texture, "@crf250.png");
    EXPECT_EQ(bike->graphics.bike.models.size(), 6u);
    EXPECT_EQ(bike->graphics.wheels.models.size(), 2u);
    EXPECT_EQ(bike->graphics.rider_body.models.size(), 3u);
    EXPECT_EQ(bike_gear(bike), 0);
}

TEST_F(BikeFixture, FreezeSnapshotsAndSpeed)
{
    dBodySetLinearVel(bike->body[BODY_FRAME], 0, 0, -22);  // forward at 15 mph
    EXPECT_NEAR(bike_speed_mph(bike), 15, 1e-9);
    bike_save_velocities(bike);
    dBodySetLinearVel(bike->body[BODY_FRAME], 0, 0, 0);
    bike_restore_velocities(bike);
    EXPECT_NEAR(dBodyGetLinearVel(bike->body[BODY_FRAME])[2], -22, 1e-12);

    bike_freeze(bike);
    Vec3 before = pos(BODY_FRAME);
    physics_world_step();
    EXPECT_NEAR(pos(BODY_FRAME).z, before.z, 1e-12);
    bike_unfreeze(bike);
    physics_world_step();
    EXPECT_LT(pos(BODY_FRAME).z, before.z);
}

TEST_F(BikeFixture, ExtrapolationMovesFromLastSetAndLiftsOutOfTheGround)
{
    for (int i = 0; i < BIKE_BODY_COUNT; i++)
        dBodySetLinearVel(bike->body[i], 0, 0, -32);
    auto flat = [](void* ctx, double, double) { return *static_cast<double*>(ctx); };
    double ground = -10;
    bike_extrapolate(bike, 64, flat, &ground);  // half a second: 16 ft
    EXPECT_NEAR(pos(BODY_FRAME).z, 3.6 - 16, 1e-6);
    EXPECT_NEAR(pos(BODY_FRAME).y, 1.98, 1e-6);
    ground = 1.0;  // above the rear tyre's ring bottom (1.04 - 0.75)
    bike_extrapolate(bike, 200, flat, &ground);  // held to 64 ticks
    EXPECT_NEAR(pos(BODY_FRAME).z, 3.6 - 16, 1e-6);
    EXPECT_NEAR(pos(BODY_REAR_WHEEL).y, 1.0 + 0.75, 1e-6);
}
