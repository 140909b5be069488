// The rider off the bike, by behaviour: when he is thrown, how long he stays
// off, the reel-in, the feet, the foot put down and grip after bike hits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "physics/rider.h"
#include "ride_fixture.h"

namespace {

void flat(HeightField* hf) { ride_ground(hf, 100, 2.0, [](double, double) { return 10.0; }); }

void set_all_velocities(Bike* b, Vec3 v)
{
    for (dBodyID body : b->body) {
        dBodySetLinearVel(body, v.x, v.y, v.z);
        dBodySetAngularVel(body, 0, 0, 0);
    }
}

bool mount_attached(const Bike* b) { return dJointGetBody(b->joint[JOINT_RIDER_MOUNT], 0) != nullptr; }

Vec3 rider_pos(const Bike* b)
{
    const dReal* p = dBodyGetPosition(b->body[BODY_RIDER]);
    return vec3(p[0], p[1], p[2]);
}

}  // namespace

TEST(Crash, UpsideDownGroundTouchThrowsTheRiderOnlyAboveFiveFeetPerSecond)
{
    ShippedShapes shapes;
    if (!shapes.ok)
        GTEST_SKIP() << "no built data set";
    for (double speed : {4.0, 6.0}) {
        Ride r;
        flat(&r.ground);
        ASSERT_TRUE(r.start(100, 100, 3));
        ASSERT_NE(r.bike->shape[BODY_RIDER], nullptr);
        rider_set_ground(&r.ground);
        Vec3 before = rider_pos(r.bike);
        bike_orient(r.bike, 0, 0, 1, M_PI);  // upside down about the world origin
        Vec3 after = rider_pos(r.bike);
        // Rider centre a little above the ground, so his shape sinks in.
        bike_translate(r.bike, before.x - after.x, 10.3 - after.y, before.z - after.z);
        set_all_velocities(r.bike, vec3(speed, 0, 0));
        bike_ground_contacts(r.bike, &r.ground);
        dJointGroupEmpty(physics_contact_group());
        if (speed < 5) {
            EXPECT_EQ(r.bike->crash_timer, 0) << speed;
            EXPECT_TRUE(mount_attached(r.bike));
        } else {
            EXPECT_EQ(r.bike->crash_timer, CRASH_TICKS) << speed;
            EXPECT_FALSE(mount_attached(r.bike));
        }
        rider_set_ground(nullptr);
    }
}

TEST(Crash, TimerHoldsWhileTheRiderSlidesAndCountsOnlyBelowTwoFeetPerSecond)
{
    Ride r;
    flat(&r.ground);
    ASSERT_TRUE(r.start(100, 100));
    rider_set_ground(&r.ground);
    Bike* b = r.bike;
    bike_bail_out(b);
    ASSERT_EQ(b->crash_timer, CRASH_TICKS);
    dBodyID rider = b->body[BODY_RIDER];
    for (int i = 0; i < 200; i++) {
        dBodySetLinearVel(rider, 3, 0, 0);
        bike_detached_step(b);
        dJointGroupEmpty(physics_contact_group());
    }
    EXPECT_EQ(b->crash_timer, CRASH_TICKS);
    for (int i = 0; i < 100; i++) {
        dBodySetLinearVel(rider, 1.9, 0, 0);
        bike_detached_step(b);
        dJointGroupEmpty(physics_contact_group());
    }
    EXPECT_EQ(b->crash_timer, CRASH_TICKS - 100);
    // Controls stay locked while the timer runs; steering still works.
    bike_set_throttle(b, 1);
    bike_set_lean(b, 1);
    bike_set_steer(b, 0.5);
    EXPECT_EQ(b->controls.throttle, 0);
    EXPECT_EQ(b->controls.lean, 0);
    EXPECT_EQ(b->controls.steer, 0.5);
    // A second bail-out while already off changes nothing.
    bike_bail_out(b);
    EXPECT_EQ(b->crash_timer, CRASH_TICKS - 100);
    rider_set_ground(nullptr);
}

TEST(Crash, BikeHitsSetGripAndItRecovers)
{
    Ride ra, rb;
    flat(&ra.ground);
    flat(&rb.ground);
    ASSERT_TRUE(ra.start(50, 100));
    ASSERT_TRUE(rb.start(150, 100));
    Bike* a = ra.bike;
    Bike* b = rb.bike;
    set_all_velocities(a, vec3(0, 0, -10));
    set_all_velocities(b, vec3(0, 0, 0));

    // A's front wheel strikes B at 10 ft/s.
    BikeBikeTouch t = {1u << BODY_FRONT_WHEEL, 1u << BODY_FRAME};
    EXPECT_FALSE(bike_bike_contact_direct(a, b, 7));
    bike_bike_contact_effects(a, b, t, 7);
    EXPECT_EQ(a->grip, 0);
    EXPECT_EQ(b->grip, 2000);
    EXPECT_TRUE(bike_bike_contact_direct(a, b, 7));
    EXPECT_FALSE(bike_bike_contact_direct(a, b, 8));

    // B is protected for 1000 ticks; A's steering limit climbs slowly to
    // 40 in 160 ticks, then quickly to 1000 in 240 more.
    for (int i = 1; i <= 1000; i++) {
        bike_grip_update(a);
        bike_grip_update(b);
        if (i < 1000) {
            bike_bail_out(b);
            ASSERT_EQ(b->crash_timer, 0) << "tick " << i;
        }
        if (i == 159) {
            EXPECT_LT(a->grip, 40);
        }
        if (i == 160) {
            EXPECT_DOUBLE_EQ(a->grip, 40);
        }
        if (i == 399) {
            EXPECT_LT(a->grip, 1000);
        }
        if (i == 400) {
            EXPECT_DOUBLE_EQ(a->grip, 1000);
        }
    }
    EXPECT_EQ(b->grip, 1000);
    bike_bail_out(b);
    EXPECT_EQ(b->crash_timer, CRASH_TICKS);

    // The fork upper only weakens steering; a bike under 5 ft/s is unaffected.
    a->grip = 1000;
    bike_bike_contact_effects(a, b, {1u << BODY_FORK_UPPER, 0}, 9);
    EXPECT_EQ(a->grip, 200);
    set_all_velocities(a, vec3(0, 0, -4));
    a->grip = 1000;
    bike_bike_contact_effects(a, b, {1u << BODY_FRONT_WHEEL, 0}, 10);
    EXPECT_EQ(a->grip, 1000);
}

TEST(Crash, ThrownFeetFallToTheGroundWithinLegReach)
{
    Ride r;
    flat(&r.ground);
    ASSERT_TRUE(r.start(100, 100, 2));
    rider_set_ground(&r.ground);
    Bike* b = r.bike;
    Vec3 pegs[2];
    double w[2];
    rider_foot_positions(b, pegs, w);
    EXPECT_EQ(w[0], 0);
    EXPECT_EQ(w[1], 0);
    EXPECT_LT(pegs[0].x, pegs[1].x);  // left foot on the -x side
    bike_bail_out(b);
    // Hold the rider still in the air; the feet drop and hang from the hips.
    for (int i = 0; i < 256; i++) {
        set_all_velocities(b, vec3(0, 0, 0));
        bike_feet_step(b);
    }
    double leg = double(b->model.thigh) + b->model.shin;
    for (int k = 0; k < 2; k++) {
        dVector3 hip;
        dBodyGetRelPointPos(b->body[BODY_RIDER], b->model.hip[k].x, b->model.hip[k].y,
                            b->model.hip[k].z, hip);
        Vec3 d = b->foot_position[k] - vec3(hip[0], hip[1], hip[2]);
        EXPECT_LE(vec3_length(d), leg + 1e-6);
        EXPECT_GE(b->foot_position[k].y, 10.25 - 1e-6);
        EXPECT_LT(b->foot_position[k].y, hip[1]);
    }
    rider_foot_positions(b, pegs, w);
    EXPECT_EQ(w[0], 1);
    EXPECT_EQ(w[1], 1);
    EXPECT_NEAR(pegs[0].y, b->foot_position[0].y, 1e-9);
    rider_set_ground(nullptr);
}

TEST(Crash, SlowRiderPutsAFootDownAndStaysUp)
{
    Ride r;
    flat(&r.ground);
    ASSERT_TRUE(r.start(100, 150, 0.1));
    rider_set_ground(&r.ground);
    Bike* b = r.bike;
    bike_set_auto_dab(b, false);
    r.run(1);
    r.set_speed(3);
    double most = 0, weight_seen = 0;
    for (int i = 0; i < 3 * 128; i++) {
        bike_set_sit_dab(b, 1);
        r.step();
        most = std::fmax(most, b->foot_dab);
        Vec3 feet[2];
        double w[2];
        rider_foot_positions(b, feet, w);
        weight_seen = std::fmax(weight_seen, std::fmax(w[0], w[1]));
        if (w[0] > 0.9) {
            EXPECT_NEAR(feet[0].y, 10.125, 0.2);
        }
    }
    // Raised by 8 and let down by 4 a second, it tops out just short of 1.
    EXPECT_GT(most, 0.95);
    EXPECT_GT(weight_seen, 0.95);
    EXPECT_EQ(b->crash_timer, 0);
    EXPECT_GT(r.uprightness(), 0.9);
    // Let go: the foot comes up again at 4 per second.
    bike_set_sit_dab(b, 0);
    r.run(0.5);
    EXPECT_EQ(b->foot_dab, 0);
    rider_set_ground(nullptr);
}

TEST(Crash, ThrownOffTheOakBasinTabletopHeIsReeledInAndRidesOn)
{
    // The start straight's tabletop (a 14.5 ft face from about x = 350,
    // heading east) taken far too fast with the weight forward: the bike
    // noses in past the table and throws the rider.
    ShippedShapes shapes;
    if (!shapes.ok)
        GTEST_SKIP() << "no built data set";
    Ride r;
    ASSERT_TRUE(terrain_load(&r.ground, "@oakbasin"));
    ASSERT_TRUE(r.start(0, 0));
    rider_set_ground(&r.ground);
    Bike* b = r.bike;
    bike_reset(b);
    bike_set_auto_dab(b, true);
    r.place_east(290, 720.5);
    r.launch_east(80, 4);

    int bailed_at = -1, counting_from = -1, seated_at = -1;
    int held_ticks = 0;
    for (int i = 0; i < 40 * 128 && seated_at < 0; i++) {
        if (bailed_at < 0) {
            bike_set_throttle(b, 1);
            bike_set_lean(b, 1);
        }
        int t = b->crash_timer;
        r.step();
        if (bailed_at < 0 && b->crash_timer > 0)
            bailed_at = i;
        if (bailed_at >= 0 && t == CRASH_TICKS && b->crash_timer == CRASH_TICKS)
            held_ticks++;
        if (counting_from < 0 && b->crash_timer > 0 && b->crash_timer < CRASH_TICKS)
            counting_from = i;
        if (bailed_at >= 0 && b->crash_timer == 0)
            seated_at = i;
    }
    std::printf("crash: thrown at x %.0f tick %d, at rest from %d, seated at %d (%.1f s off)\n",
                r.position().x, bailed_at, counting_from, seated_at, (seated_at - bailed_at) / 128.0);
    ASSERT_GE(bailed_at, 0);
    EXPECT_GT(held_ticks, 10);  // he tumbled before resting
    ASSERT_GE(seated_at, 0);
    EXPECT_GE(seated_at - counting_from, CRASH_TICKS - 1);
    EXPECT_TRUE(mount_attached(b));
    // Seated where he belongs on the frame.
    dVector3 seat;
    Vec3 off = vec3(b->model.rider_body.x - b->model.frame_centre.x,
                    b->model.rider_body.y - b->model.frame_centre.y,
                    b->model.rider_body.z - b->model.frame_centre.z);
    dBodyGetRelPointPos(b->body[BODY_FRAME], off.x, off.y, off.z, seat);
    EXPECT_LT(vec3_length(rider_pos(b) - vec3(seat[0], seat[1], seat[2])), 1e-6);
    // The foot pushes the bike up (an eighth of a turn a second), then he
    // rides away.
    double least_up = 1;
    for (int i = 0; i < 5 * 128; i++) {
        bike_set_sit_dab(b, 1);
        r.step();
    }
    std::printf("crash: after the foot, upright %.2f\n", r.uprightness());
    EXPECT_GT(r.uprightness(), 0.95);
    Vec3 start = r.position();
    for (int i = 0; i < 4 * 128; i++) {
        bike_set_throttle(b, 0.5);
        r.step();
        least_up = std::fmin(least_up, r.uprightness());
    }
    std::printf("crash: after recovery rode %.1f ft, upright %.2f\n", vec3_length(r.position() - start),
                r.uprightness());
    EXPECT_EQ(b->crash_timer, 0);
    EXPECT_GT(vec3_length(r.position() - start), 20);
    EXPECT_GT(least_up, 0.8);
    rider_set_ground(nullptr);
}
