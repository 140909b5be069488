#include "robots/robot_controller.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

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

TEST(RobotLineAppend, AStartLineFromTheNextGateIsMovedAcrossToOursFadingAlongIt)
{
    RobotState s;
    LineRider r;
    RacingLine first;
    first.points = robots_straight(0, 0, 9);  // 40 ft from z = 0
    robot_line_append(&s, &r, &first, Vec3{3.5, 0, 0}, NORTH);
    ASSERT_EQ(r.buffer.size(), 14u);
    // The buffer starts at our gate, the line's points move across by
    // what is left of the offset, and its end is where it was.
    EXPECT_NEAR(r.buffer[0].x, 3.5, 1e-5);
    for (size_t i = 5; i < 14; i++) {
        double along = 5.0 * double(i - 5);
        EXPECT_NEAR(r.buffer[i].x, 3.5 * (1 - along / 40), 1e-5) << i;
        EXPECT_NEAR(r.buffer[i].z, -along, 1e-5) << i;
    }

    // A robot far from the line's start rides the line where it is.
    RobotState s2;
    LineRider r2;
    robot_line_append(&s2, &r2, &first, Vec3{12, 0, 0}, NORTH);
    EXPECT_NEAR(r2.buffer[5].x, 0, 1e-5);
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

namespace {

TEST(RobotTraction, ThrottleComesOffAsTheRearWheelSpins)
{
    struct Case {
        double slip, share;
    } cases[] = {{0, 1}, {6, 1}, {9, 0.5}, {10.5, 0.25}, {40, 0.25}};
    for (const Case& c : cases)
        EXPECT_NEAR(robot_traction(c.slip), c.share, 1e-12) << c.slip;
}

TEST(RobotCapturePace, HoldsBackOnlyALeanPastTheLimit)
{
    struct Case {
        double speed, roll, wanted, pace;
    } cases[] = {
        {4, 0.22, 0.05, 15},   // a foot down at walking pace, point ahead: gets going
        {4, -0.24, 0.1, 15},
        {4, 0.3, 0.05, 5},     // leaning over: slowly
        {4, 0.22, 1.0 / 6, 5},  // turning hard for a point off to the side: slowly
        {15, 0.3, 0.2, 15},    // limit 1/3 at 15 ft/s
        {15, -0.36, 0.2, 5},
        {25, 0.45, 0.5, 15},   // limit 1/2 from 20 ft/s
        {25, 0.55, 0.1, 5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(robot_capture_pace(c.speed, c.roll, c.wanted), c.pace) << c.speed << " " << c.roll << " " << c.wanted;
    EXPECT_NEAR(robot_capture_lean_limit(5), 1.0 / 6, 1e-12);
    EXPECT_NEAR(robot_capture_lean_limit(15), 1.0 / 3, 1e-12);
    EXPECT_NEAR(robot_capture_lean_limit(30), 0.5, 1e-12);
}

TEST(RobotAim, RequiredRadius)
{
    // Behind the bike: a tight turn towards the aim point's side.
    EXPECT_EQ(robot_required_radius(-5, -1, 0, true), -10);
    EXPECT_EQ(robot_required_radius(-5, 3, 40, false), 10);
    EXPECT_EQ(robot_required_radius(0, -2, 0, true), -10);
    // Riding straight at a point 40 ahead and 10 right: the point is pushed
    // to 30 right, so the turn is r = (40^2 + 30^2) / 60.
    EXPECT_NEAR(robot_required_radius(40, 10, 0, true), (1600.0 + 900) / 60, 1e-9);
    // A point on the current turn's circle needs exactly that turn, for
    // either direction of turning.
    for (double rho : {-60.0, 35.0, 200.0}) {
        double angle = 0.7;
        double ahead = std::fabs(rho) * std::sin(angle), lateral = rho - rho * std::cos(angle);
        EXPECT_NEAR(robot_required_radius(ahead, lateral, rho, false), rho, 1e-6) << rho;
    }
    // Dead ahead while straight: no turn at all (a radius beyond any track).
    EXPECT_GT(std::fabs(robot_required_radius(30, 0, 0, true)), 1e8);
}

TEST(RobotAvoid, FootprintsOverlapOnlyWhenTheyMeet)
{
    RobotFootprint me = robot_footprint(Vec3{0, 0, 0}, Vec3{0, 0, -20});
    // Ahead-left corner: 24 ahead, 2 to the left.
    EXPECT_NEAR(me.x[0], -2, 1e-9);
    EXPECT_NEAR(me.z[0], -24, 1e-9);
    struct Case {
        Vec3 at, velocity;
        bool overlap;
    } cases[] = {
        {{3, 0, -2}, {0, 0, -20}, true},     // side by side, a little apart: parallel edges still cross
        {{0, 0, -15}, {0, 0, -20}, true},    // straight ahead inside our reach
        {{0, 0, -40}, {0, 0, -20}, false},   // beyond it
        {{10, 0, -10}, {-20, 0, 0}, true},   // crossing our path
        {{30, 0, -10}, {0, 0, 20}, false},   // oncoming, well to the side
    };
    for (const Case& c : cases)
        EXPECT_EQ(robot_footprints_overlap(me, robot_footprint(c.at, c.velocity)), c.overlap)
            << c.at.x << " " << c.at.z;
}

TEST(RobotAvoid, FollowingDistanceAndSpeedFactorGrowAfterTheStart)
{
    RobotAvoidInput in{};
    in.speed = 40;
    in.target = 40;
    in.position = Vec3{0, 0, 0};
    in.direction = Vec3{0, 0, -1};
    in.side = Vec3{1, 0, 0};
    in.straight = true;
    in.other_velocity = Vec3{0.5, 0, -30};  // the part across our way does not count
    // His speed along our way is 30; braking from 40 to 30 at 5 ft/s^2
    // takes 2 s and 70 ft while he covers 60, so the gap shrinks by 10 ft.
    struct Case {
        double seconds, gap;
        double target;
        bool braking;
    } cases[] = {
        {1, 11, 30, false},             // first 3 s: inside 12 ft, his speed in full
        {1, 14, 30, true},              // 4 ft left after braking, 8 short of 12: his speed
        {1, 30, 40, false},             // 20 ft left: nothing to do
        {10, 19, 22.5, false},          // from 5 s: inside 20 ft, three quarters of his speed
        {10, 28, 40 - 10.0 * 2 / 3, true},  // 18 ft left, 2 short: two thirds of the way to his speed
        {10, 40, 40, false},
    };
    for (const Case& c : cases) {
        in.seconds = c.seconds;
        in.other_position = Vec3{0, 0, -c.gap};
        RobotAvoidResult r = robot_avoid_speed(in);
        EXPECT_NEAR(r.target, c.target, 1e-9) << c.seconds << " " << c.gap;
        EXPECT_EQ(r.braking, c.braking) << c.seconds << " " << c.gap;
    }
    // A rider coming the other way is no one to follow.
    in.seconds = 10;
    in.other_position = Vec3{0, 0, -10};
    in.other_velocity = Vec3{0, 0, 30};
    EXPECT_EQ(robot_avoid_speed(in).target, 0);
}

double draw(void* ctx)
{
    return double(uint32_t((*static_cast<std::mt19937*>(ctx))())) / 4294967296.0;
}

TEST(RobotStart, BlipsThenHeldRevsAndLaunchesInsideTheReactionRange)
{
    std::mt19937 rng(7);
    const double start = 14.0, reaction[2] = {0.2, 0.4};
    RobotState a, b;
    double launch[2] = {-1, -1};
    bool blipped[2] = {false, false};
    RobotState* st[2] = {&a, &b};
    for (int tick = 0; tick < 128 * 20; tick++) {
        double now = tick / 128.0;
        for (int k = 0; k < 2; k++) {
            RobotStart s = robot_start_step(st[k], now, start, reaction, draw, &rng);
            if (now < 5 && s.step == ROBOT_START_HOLD && s.value == 1)
                blipped[k] = true;
            if (now >= 5.5 && now < start) {
                EXPECT_EQ(s.step, ROBOT_START_HOLD);
            }
            if (s.step == ROBOT_START_LAUNCH && launch[k] < 0)
                launch[k] = now;
            if (now >= start + 5) {
                EXPECT_EQ(s.step, ROBOT_START_DONE);
            }
        }
    }
    for (int k = 0; k < 2; k++) {
        EXPECT_TRUE(blipped[k]);
        EXPECT_GE(launch[k], start + 0.2 - 1e-9);
        EXPECT_LE(launch[k], start + 0.4 + 1.0 / 128);
    }
    EXPECT_NE(launch[0], launch[1]);
}

TEST(RobotRunOut, SpeedsFallToAQuarterAtTheBufferEnd)
{
    auto b = robots_straight(0, 0, 11, 40);
    robot_run_out_speeds(&b, 2.0);
    EXPECT_EQ(b[1].speed, 40);  // behind the bike: untouched
    EXPECT_NEAR(b[2].speed, 40, 1e-5);
    EXPECT_NEAR(b[6].speed, 40 * (0.25 + 0.75 * 0.5), 1e-4);
    EXPECT_NEAR(b[10].speed, 10, 1e-5);
}

}  // namespace
