// The robot controller on a real bike: riding a line, stopping when the
// line runs out, and the capture controller taking over a stuck robot.
#include "robots/robot.h"

#include <gtest/gtest.h>

#include <cmath>

#include "physics/ride_fixture.h"
#include "robots/personality.h"

namespace {

// A robot on flat ground with a straight line along -z ahead of it; no line
// table, so it rides only what its buffer holds.
struct RobotRide : ::testing::Test {
    Ride ride;
    RobotState state;
    LineRider lines;
    RaceProgress progress;
    std::mt19937 rng{3};
    RobotContext ctx{};
    bool ok = false;

    void SetUp() override
    {
        ride_ground(&ride.ground, 200, 4.0, [](double, double) { return 0.0; });
        ok = ride.start(400, 780);
        if (!ok)
            return;
        // A robot's bike keeps the setup it was built with.
        ride.bike->setup = bike_setup_initial(&ride.bike->model);
        personality_set(&lines, "dunsa");
        progress.gates_passed = 1;
        ctx.ground = &ride.ground;
        ctx.rng = &rng;
        ctx.start_tick = -100000;  // long after the start
        ctx.bikes[0] = ride.bike;
        ride.run(0.5);
    }

    // n points every `spacing` ft along -z from `ahead` ft in front of the frame.
    void line(int n, double spacing, double ahead, float speed)
    {
        Vec3 p = ride.position();
        lines.buffer.clear();
        for (int i = 0; i < n; i++)
            lines.buffer.push_back(LinePoint{float(p.x), 0, float(p.z - ahead - spacing * i), speed, 0});
        state = RobotState();
        state.last_advance = ctx.clock;
    }

    void tick()
    {
        robot_tick(&ctx, 0, ride.bike, &state, &lines, &progress);
        ride.step();
        ctx.clock++;
    }
    void run(double seconds)
    {
        for (int i = 0; i < int(seconds * 128); i++)
            tick();
    }
};

TEST_F(RobotRide, RidesAStraightLineAtItsSpeedThenStopsWithAFootDown)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    line(60, 8, 4, 30);  // 480 ft at 30 ft/s
    run(8);
    EXPECT_NEAR(ride.speed(), 30, 4);
    EXPECT_NEAR(ride.position().x, 400, 3);
    EXPECT_GT(ride.uprightness(), 0.9);
    EXPECT_EQ(state.capture, 0);
    // The line runs out: brakes on, foot down, standing.
    run(14);
    EXPECT_TRUE(lines.buffer.empty());
    EXPECT_LT(ride.speed(), 1);
    EXPECT_EQ(ride.bike->controls.sit_dab, 1);
    EXPECT_EQ(ride.bike->controls.front_brake, 1);
    EXPECT_EQ(ride.bike->controls.throttle, 0);
    run(3);
    EXPECT_GT(ride.uprightness(), 0.9);
}

TEST_F(RobotRide, AStuckRobotStallsThenStepsThenWalksThenRestarts)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    // Held in place with the next point 100 ft away: no point is ever reached.
    bike_freeze(ride.bike);
    line(7, 10, 100, 30);
    int start = ctx.clock;
    while (ctx.clock - start <= 3 * 128)
        tick();
    EXPECT_EQ(state.capture, 0);
    // The tick the stall is found writes no controls.
    bike_set_steer(ride.bike, 0.3);
    tick();
    EXPECT_EQ(state.capture, 3);
    EXPECT_EQ(state.stalls, 1);
    EXPECT_EQ(ride.bike->controls.steer, 0.3);
    // Then the capture controller steers for the point, slowly, foot down.
    tick();
    EXPECT_EQ(ride.bike->controls.sit_dab, 1);
    EXPECT_GT(ride.bike->controls.throttle, 0);
    // After 19 s it walks the bike with the engine idle.
    while (ctx.clock - start <= 19 * 128 + 1)
        tick();
    EXPECT_EQ(state.walks, 1);
    EXPECT_EQ(ride.bike->controls.throttle, 0);
    EXPECT_EQ(ride.bike->controls.clutch, 0);
    EXPECT_EQ(ride.bike->controls.sit_dab, 1);
    // After 40 s it starts again from the point numbered clock mod length.
    while (ctx.clock - start <= 40 * 128)
        tick();
    tick();
    int restart_clock = ctx.clock - 1;
    EXPECT_EQ(state.restarts, 1);
    EXPECT_EQ(state.point_index, restart_clock % 7);
    EXPECT_EQ(state.last_advance, restart_clock);
    EXPECT_EQ(state.capture, 3);
}

}  // namespace

namespace {

TEST_F(RobotRide, TheArcadeAssistHoldsTheBikeOnlyWhileTheFrontWheelIsUp)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    line(60, 8, 4, 30);
    run(1);
    EXPECT_FALSE(ride.bike->setup.arcade);
    // Thrown into the air: after a few ticks off the ground the assist holds it.
    bike_translate(ride.bike, 0, 10, 0);
    run(0.1);
    EXPECT_TRUE(ride.bike->setup.arcade);
    EXPECT_EQ(ride.bike->controls.steer, 0);  // upright, no lean asked for
    run(3);
    EXPECT_TRUE(ride.both_wheels_down());
    EXPECT_FALSE(ride.bike->setup.arcade);
    EXPECT_GT(ride.uprightness(), 0.9);
}

// A circle of radius R to the right of the bike (centre at +x), from the
// bike's position, a point every 8 ft.
void circle_line(RobotRide* t, double radius, int n, float speed)
{
    Vec3 p = t->ride.position();
    double cx = p.x + radius, cz = p.z;
    t->lines.buffer.clear();
    for (int i = 0; i < n; i++) {
        double a = i * 8.0 / radius;
        t->lines.buffer.push_back(
            LinePoint{float(cx - radius * std::cos(a)), 0, float(cz - radius * std::sin(a)), speed, 0});
    }
    t->state = RobotState();
    t->state.last_advance = t->ctx.clock;
}

// Turns of the track's kind: the robot holds its line within a few feet,
// leaning to suit. One bike a case, each from rest.
struct RobotTurn : RobotRide, ::testing::WithParamInterface<std::pair<double, float>> {};

TEST_P(RobotTurn, FollowsACurvedLine)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    double radius = GetParam().first;
    float speed = GetParam().second;
    circle_line(this, radius, int(6 * radius / 8), speed);
    double cx = ride.position().x + radius, cz = ride.position().z;
    double worst = 0;
    for (int i = 0; i < 128 * 12 && state.point_index < int(lines.buffer.size()) - 8; i++) {
        tick();
        if (i > 128 * 5) {
            Vec3 p = ride.position();
            worst = std::max(worst, std::fabs(std::hypot(p.x - cx, p.z - cz) - radius));
        }
    }
    EXPECT_LT(worst, 4);
    EXPECT_NEAR(ride.speed(), speed, 5);  // a little slower where the grip runs short
    // The lean a steady turn needs, within a few degrees.
    EXPECT_NEAR(-ride.roll(), std::atan(speed * speed / (32 * radius)), 0.12);
}

INSTANTIATE_TEST_SUITE_P(Turns, RobotTurn,
                         ::testing::Values(std::make_pair(120.0, 30.0f), std::make_pair(60.0, 35.0f),
                                           std::make_pair(40.0, 20.0f), std::make_pair(30.0, 25.0f)));

}  // namespace
