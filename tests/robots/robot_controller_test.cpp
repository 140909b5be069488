#include "robots/robot_controller.h"

#include <gtest/gtest.h>

#include <cmath>

#include "robots/robots_fixture.h"

namespace {

const Vec3 NORTH{0, 0, -1};

TEST(RobotProgress, FractionFromThePointBehindToTheOneAhead)
{
    auto b = robots_straight(0, 0, 6);  // z = 0, -5, -10, ...
    b[2].speed = 10;
    b[3].speed = 30;
    struct Case {
        double z;
        int index;
        int ahead;
        double progress;
    } cases[] = {
        {-7, 3, 2, 2.4},   // two fifths of the way from point 1 to point 2
        {-7, 2, 2, 2.4},
        {-10, 3, 2, 2.0},  // exactly on point 2 it still counts as ahead
        {1, 3, 0, 0.0},    // behind the whole buffer
    };
    for (const Case& c : cases) {
        RobotProgress p = robot_progress(b, c.index, Vec3{0.5, 0, c.z}, NORTH);
        EXPECT_EQ(p.ahead, c.ahead) << c.z;
        EXPECT_NEAR(p.progress, c.progress, 1e-9) << c.z;
    }
    RobotProgress p{2, 2.25};
    EXPECT_NEAR(robot_target_speed(b, p), 15, 1e-9);
}

TEST(RobotProgress, TakeoffTimeCountsQuarterSecondsToTheAirborneStretch)
{
    auto b = robots_straight(0, 0, 30);
    b[6].speed = b[7].speed = -20;
    RobotProgress p{2, 2.0};
    int i = 0;
    EXPECT_NEAR(robot_takeoff_time(b, p, Vec3{0, 0, -5}, 20, &i), 5.0 / 20 + 4 * 0.25, 1e-9);
    EXPECT_EQ(i, 6);
    b[6].speed = 20;
    EXPECT_EQ(robot_takeoff_time(b, p, Vec3{0, 0, -5}, 20, &i), 1000000);
    EXPECT_EQ(i, -1);
}

TEST(RobotLineAppend, FirstLineStartsTenFeetInAndLaterOnesJoinSmoothly)
{
    RobotState s;
    LineRider r;
    RacingLine first;
    first.points = robots_straight(0, 0, 8);
    first.id = 7;
    robot_line_append(&s, &r, &first, Vec3{0, 0, 0}, NORTH);
    ASSERT_EQ(r.buffer.size(), 13u);  // five copies of the start, then the line
    EXPECT_EQ(r.remembered[0], 7);
    EXPECT_EQ(s.next_segment, 1);
    EXPECT_EQ(s.last_advance, 3840);
    EXPECT_EQ(s.point_index, 8);  // z = -15 is the first point over 10 ft away

    // A line two feet to the side: the joint bends over without kinks and
    // never asks for more speed than the points had.
    RacingLine next;
    next.points = robots_straight(2, -40, 8, 30);
    next.id = 9;
    s.point_index = 6;  // the joint starts five points before the end
    robot_line_append(&s, &r, &next, Vec3{0, 0, -45}, NORTH);
    EXPECT_EQ(r.remembered[1], 9);
    ASSERT_EQ(r.buffer.size(), 21u);
    int j0 = 13 - 5, L = 13;
    for (int i = j0; i < L; i++) {
        EXPECT_LE(r.buffer[size_t(i)].x, r.buffer[size_t(i + 1)].x + 1e-5) << i;
        EXPECT_LE(r.buffer[size_t(i)].speed, 20.0f + 1e-5f) << i;
    }
    EXPECT_GT(r.buffer[size_t(j0 + 2)].x, 0.1f);
    EXPECT_LT(r.buffer[size_t(j0 + 2)].x, 1.9f);
    EXPECT_FLOAT_EQ(r.buffer[size_t(L)].x, 2);

    // Far along, the old points are trimmed to 30 behind the index.
    s.point_index = 40;
    r.buffer.resize(50, r.buffer.back());
    RacingLine empty;
    robot_line_append(&s, &r, &empty, Vec3{0, 0, 0}, NORTH);
    EXPECT_EQ(r.buffer.size(), 50u);  // an empty line appends nothing
    robot_line_append(&s, &r, &next, Vec3{0, 0, 0}, NORTH);
    EXPECT_EQ(s.point_index, 30);
    EXPECT_EQ(r.buffer.size(), 50u - 10u + 8u);
}

TEST(RobotDrive, ThrottleBrakesAndClutch)
{
    RobotDriveInput ground{10, 20, true, false, 2, 5000, 9000, 0, 0, 0};
    struct Case {
        double speed, target;
        int gear;
        double rpm;
        double throttle, clutch, brake;
    } cases[] = {
        {10, 20, 2, 5000, 1, 1, 0},
        {19.25, 20, 2, 5000, 0.75, 1, 0},
        {20.5, 20, 2, 5000, 0, 1, 0.5},
        {25, 20, 2, 5000, 0, 1, 1},
        {10, 20, 0, 8500, 1, 0.5, 0},  // neutral: clutch follows the rpm
    };
    for (const Case& c : cases) {
        RobotDriveInput in = ground;
        in.speed = c.speed;
        in.target = c.target;
        in.gear = c.gear;
        in.rpm = c.rpm;
        RobotDriveOutput o = robot_drive(in);
        EXPECT_DOUBLE_EQ(o.throttle, c.throttle) << c.speed;
        EXPECT_DOUBLE_EQ(o.clutch, c.clutch) << c.speed;
        EXPECT_DOUBLE_EQ(o.front_brake, c.brake) << c.speed;
        EXPECT_DOUBLE_EQ(o.rear_brake, c.brake) << c.speed;
    }
    RobotDriveInput crashed = ground;
    crashed.crashed = true;
    EXPECT_EQ(robot_drive(crashed).throttle, 0);

    // In the air: nose dropping fast -> spin the rear up; nose high ->
    // brake the rear wheel.
    RobotDriveInput air = ground;
    air.rear_on_ground = false;
    air.pitch_rate = -1;
    RobotDriveOutput o = robot_drive(air);
    EXPECT_EQ(o.throttle, 1);
    EXPECT_EQ(o.clutch, 0.125);
    air.pitch_rate = 0;
    air.front_y = 2;
    o = robot_drive(air);
    EXPECT_EQ(o.throttle, 0);
    EXPECT_EQ(o.clutch, 0);
    EXPECT_EQ(o.rear_brake, 1);
    air.front_y = 0.5;
    o = robot_drive(air);
    EXPECT_EQ(o.clutch, 0.125);
    EXPECT_EQ(o.rear_brake, 0);
}

}  // namespace
