// How the bike rides, by behaviour: standing, launching, shifting, braking,
// turning and jumping on small hand-made grounds.
#include <gtest/gtest.h>

#include "test_support.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "files/stream.h"
#include "physics/shape.h"
#include "ride_fixture.h"

namespace {

const double MPH = 1.4666666666666666;  // ft/s

// 200 ft square of flat ground at height 10.
void flat(HeightField* hf) { ride_ground(hf, 100, 2.0, [](double, double) { return 10.0; }); }

}  // namespace

TEST(Riding, DroppedBikeSettlesUprightOnBothWheels)
{
    Ride r;
    flat(&r.ground);
    ASSERT_TRUE(r.start(100, 150, 0.5));
    r.run(3);
    EXPECT_TRUE(r.both_wheels_down());
    EXPECT_LT(std::fabs(r.roll()), 0.05);
    EXPECT_GT(r.uprightness(), 0.99);
    // At rest: the suspension has stopped bouncing.
    EXPECT_LT(r.speed(), 0.5);
    // The frame hangs in its sag: above the build height less full travel,
    // below the unloaded height.
    double frame_y = r.position().y - 10;
    EXPECT_GT(frame_y, 1.98 - 1.0);
    EXPECT_LT(frame_y, 1.98 + 0.1);
}

TEST(Riding, FullThrottleInFirstGearStaysBelowTheLimiter)
{
    Ride r;
    flat(&r.ground);
    ASSERT_TRUE(r.start(100, 190));
    bike_set_auto_shift(r.bike, false);
    bike_set_stop_wheelies(r.bike, 3);
    r.run(0.5);
    bike_set_throttle(r.bike, 1);
    double peak_rpm = 0;
    for (int i = 0; i < 3 * 128; i++) {
        r.step();
        peak_rpm = std::fmax(peak_rpm, engine_rpm(r.bike));
    }
    // First gear of the crf250: 15/7 x 19/6 x 51/13 = 26.6 crank turns per
    // wheel turn; the torque curve ends at 13,750 rpm, i.e. 54 rad/s at the
    // wheel or about 39 mph on a 1.05 ft rolling radius.
    double mph = -vec3_dot(r.velocity(), vec3(0, 0, 1)) / MPH;
    EXPECT_GT(mph, 25);
    EXPECT_LT(mph, 42);
    EXPECT_LT(peak_rpm, 14250);  // the curve gives nothing from 13,750 rpm on
    EXPECT_EQ(bike_gear(r.bike), 0);
    EXPECT_GT(r.uprightness(), 0.9);
}

TEST(Riding, AutomaticShiftingClimbsTheGearsToAPlausibleTopSpeed)
{
    Ride r;
    ride_ground(&r.ground, 512, 4.0, [](double, double) { return 10.0; });
    ASSERT_TRUE(r.start(1024, 2000));
    bike_set_auto_shift(r.bike, true);
    bike_set_stop_wheelies(r.bike, 3);
    r.run(0.5);
    bike_set_throttle(r.bike, 1);
    int top_gear = 0;
    for (int i = 0; i < 14 * 128; i++) {
        r.step();
        top_gear = std::max(top_gear, bike_gear(r.bike));
    }
    double mph = r.speed() / MPH;
    // Fifth gear: 25/24 x 19/6 x 51/13 = 12.9 crank turns per wheel turn.
    // Air drag is not modelled, so the bike pulls to the end of the torque
    // curve (nothing from 13,750 rpm): 112 rad/s at the wheel, 82 mph on the
    // 1.08 ft tyre. Fourth gear alone would end at 72 mph.
    EXPECT_EQ(top_gear, 4);
    EXPECT_GT(mph, 74);
    EXPECT_LT(mph, 86);
    EXPECT_GT(r.uprightness(), 0.9);
}

TEST(Riding, AntilockBrakesStopFrom40MphWithoutFlipping)
{
    Ride r;
    ride_ground(&r.ground, 256, 2.0, [](double, double) { return 10.0; });
    ASSERT_TRUE(r.start(256, 480));
    r.run(0.5);
    r.set_speed(40 * MPH);
    r.bike->gear = 4;
    r.bike->engine_speed = 40 * MPH / 1.04 * powertrain_reduction(r.bike);
    r.run(0.25);
    Vec3 start = r.position();
    bike_set_front_brake(r.bike, 1);
    bike_set_rear_brake(r.bike, 1);
    bike_set_clutch(r.bike, 0);
    bool front_locked = false;
    int ticks = 0;
    while (r.speed() > 0.5 && ticks < 10 * 128) {
        r.step();
        ticks++;
        if (r.speed() > 10 && dJointGetHingeAngleRate(r.bike->joint[JOINT_FRONT_AXLE]) < 1)
            front_locked = true;
    }
    double distance = vec3_length(r.position() - start);
    // With grip 1 no bike stops from 58.7 ft/s in less than v^2 / 2g =
    // 54 ft; ordinary brakes at half that deceleration need 108 ft.
    EXPECT_GT(distance, 50);
    EXPECT_LT(distance, 130);
    EXPECT_FALSE(front_locked);
    EXPECT_GT(r.uprightness(), 0.9);
    std::printf("stopping distance from 40 mph: %.1f ft in %.2f s\n", distance, ticks / 128.0);
}

TEST(Riding, SteadySteerGivesASteadyLeanAndCircle)
{
    // The configuration's default lean controller (direct steering 0, as
    // "Stability" 100 sets it) and the plain handlebar torque (direct 1).
    // At this speed a tenth of the steer range leans the bike by 20 to 40
    // degrees.
    for (double direct : {0.0, 1.0}) {
        Ride r;
        ride_ground(&r.ground, 256, 2.0, [](double, double) { return 10.0; });
        ASSERT_TRUE(r.start(256, 300));
        bike_set_direct_steering(r.bike, direct);
        r.run(0.5);
        r.set_speed(30);
        r.bike->gear = 2;
        r.bike->engine_speed = 30 / 1.04 * powertrain_reduction(r.bike);
        bike_set_throttle(r.bike, 0.35);
        r.run(0.5);
        bike_set_steer(r.bike, -0.1);
        r.run(6);  // the plain handlebar torque settles slowly
        // Heading and lean one second apart: both steady, the lean towards
        // the centre of the turn.
        Vec3 v1 = r.velocity();
        double roll1 = r.roll();
        r.run(1);
        Vec3 v2 = r.velocity();
        double roll2 = r.roll();
        double yaw_rate = std::atan2(vec3_cross(v1, v2).y, vec3_dot(v1, v2));  // +: turning left
        double speed = r.speed();
        double radius = speed / std::fabs(yaw_rate);
        std::printf("circle (direct %.0f): speed %.1f ft/s, lean %.2f rad, radius %.1f ft\n", direct,
                    speed, roll2, radius);
        EXPECT_GT(std::fabs(yaw_rate), 0.1);
        EXPECT_GT(std::fabs(roll2), 0.1);
        // Negative steer leans left (positive roll), which turns left.
        EXPECT_GT(roll2, 0);
        EXPECT_GT(yaw_rate, 0);
        EXPECT_NEAR(roll1, roll2, 0.1);
        // A balanced turn leans by atan(v^2 / (g R)).
        double balanced = std::atan(speed * speed / (32 * radius));
        EXPECT_NEAR(roll2, balanced, 0.2);
        EXPECT_GT(r.uprightness(), 0.5);
    }
}

TEST(Riding, LandsATabletopAndRidesOn)
{
    // Flat approach, a 25 degree ramp up to a 4 ft table 20 ft long, a
    // landing ramp down, flat again (riding towards -z).
    auto table = [](double, double z) {
        double d = 600 - z;  // distance along the ride
        double top = 4, up = top / std::tan(25 * M_PI / 180), down = top / std::tan(20 * M_PI / 180);
        double h;
        if (d < 100)
            h = 0;
        else if (d < 100 + up)
            h = (d - 100) / up * top;
        else if (d < 100 + up + 20)
            h = top;
        else if (d < 100 + up + 20 + down)
            h = top - (d - 100 - up - 20) / down * top;
        else
            h = 0;
        return 10 + h;
    };
    Ride r;
    ride_ground(&r.ground, 320, 2.0, table);
    ASSERT_TRUE(r.start(320, 590));
    r.run(0.5);
    r.set_speed(40);
    r.bike->gear = 3;
    r.bike->engine_speed = 40 / 1.04 * powertrain_reduction(r.bike);
    bike_set_throttle(r.bike, 0.4);
    bool airborne = false;
    double min_up = 1;
    for (int i = 0; i < 6 * 128; i++) {
        r.step();
        if (r.bike->wheel[0].depth == 0 && r.bike->wheel[1].depth == 0)
            airborne = true;
        min_up = std::fmin(min_up, r.uprightness());
    }
    EXPECT_TRUE(airborne);
    EXPECT_TRUE(r.both_wheels_down());
    // No rider input in the air: the bike pitches in flight but must never
    // turn over (uprightness is the world y of the frame's up axis).
    EXPECT_GT(min_up, 0.3);
    EXPECT_GT(r.speed(), 15);
    EXPECT_LT(600 - r.position().z, 100 + 8.6 + 20 + 11 + 400);
    EXPECT_GT(600 - r.position().z, 160);  // past the landing ramp
}

TEST(Riding, ArcadeLeansStraightToTheCommandedAngle)
{
    Ride r;
    ride_ground(&r.ground, 256, 2.0, [](double, double) { return 10.0; });
    ASSERT_TRUE(r.start(256, 300));
    bike_set_arcade(r.bike, true);
    r.run(0.5);
    r.set_speed(30);
    r.bike->gear = 2;
    r.bike->engine_speed = 30 / 1.04 * powertrain_reduction(r.bike);
    bike_set_throttle(r.bike, 0.35);
    bike_set_steer(r.bike, -0.4);
    r.run(3);
    Vec3 v1 = r.velocity();
    r.run(0.5);
    double yaw = std::atan2(vec3_cross(v1, r.velocity()).y, vec3_dot(v1, r.velocity()));
    // Steer -0.4 commands 0.4 x 45 degrees of lean to the left.
    EXPECT_NEAR(r.roll(), 0.4 * M_PI / 4, 0.08);
    EXPECT_GT(yaw, 0.05);
    EXPECT_TRUE(r.both_wheels_down());
}

TEST(Riding, LandsTheOakBasinStartStraightTabletop)
{
    // The shipped start track: the start straight runs east along z = 720
    // with a 4 ft tabletop (14.5 ft face, 32 ft table) from about x = 350.
    ShippedShapes shapes;
    if (!shapes.ok)
        GTEST_SKIP() << "no built data set";
    Ride r;
    ASSERT_TRUE(terrain_load(&r.ground, "@oakbasin"));
    ASSERT_TRUE(r.start(0, 0));
    Bike* b = r.bike;
    ASSERT_NE(b->shape[BODY_FRAME], nullptr);
    bike_reset(b);
    r.place_east(290, 720.5);
    // 25 mph clears the table's face and lands on its top or landing; much
    // faster, a rider who does not lean back noses over in the air.
    r.launch_east(25 * 1.4666666666666666, 3);
    bike_set_throttle(b, 0.4);
    bool airborne = false;
    double min_up = 1;
    for (int i = 0; i < 5 * 128; i++) {
        r.step();
        airborne |= b->wheel[0].depth == 0 && b->wheel[1].depth == 0;
        min_up = std::fmin(min_up, r.uprightness());
    }
    std::printf("oakbasin tabletop: now at x %.0f, %.1f ft/s, least upright %.2f\n", r.position().x,
                r.speed(), min_up);
    EXPECT_TRUE(airborne);
    EXPECT_GT(min_up, 0.3);
    EXPECT_TRUE(r.both_wheels_down());
    EXPECT_GT(r.position().x, 425);  // past the table and its landing
    EXPECT_GT(r.speed(), 20);
}
