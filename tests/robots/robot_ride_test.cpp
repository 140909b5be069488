// The robot controller on a real bike: riding a line, stopping when the
// line runs out, and the capture controller taking over a stuck robot.
#include "robots/robot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "physics/contact.h"
#include "physics/ride_fixture.h"
#include "physics/rider.h"
#include "physics/shape.h"
#include "robots/personality.h"
#include "robots/way_round.h"

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

    // n points every `spacing` ft along -z from `ahead` ft in front of the
    // frame; both negative, along +z from behind it.
    void line(int n, double spacing, double ahead, float speed)
    {
        Vec3 p = ride.position();
        lines.buffer.clear();
        for (int i = 0; i < n; i++)
            lines.buffer.push_back(LinePoint{float(p.x), 0, float(p.z - ahead - spacing * i), speed, 0});
        state = RobotState();
        state.last_advance = ctx.clock;
    }

    // 60 points every 8 ft along +x from 8 ft to the right of the frame,
    // square to the bike's heading.
    void line_to_the_right(float speed)
    {
        Vec3 p = ride.position();
        lines.buffer.clear();
        for (int i = 0; i < 60; i++)
            lines.buffer.push_back(LinePoint{float(p.x + 8 + 8 * i), 0, float(p.z), speed, 0});
        state = RobotState();
        state.last_advance = ctx.clock;
    }

    // How far the frame heads along +z: 1 facing +z, -1 facing -z.
    double heading_z() const
    {
        const dReal* r = dBodyGetRotation(ride.bike->body[BODY_FRAME]);
        return -r[10] / std::hypot(r[2], r[10]);
    }

    // A track object made of object_source's spheres, `ahead` ft in front
    // of the frame with its centre at height y; touched gets the tick the
    // bike meets it.
    CollisionShape object_source, object;
    StatueTarget placed{};
    int touched = -1;
    void place_object(double y, double ahead)
    {
        object = object_source;
        object.source = &object_source;
        Vec3 p = ride.position();
        placed = StatueTarget{&object, vec3(p.x, y, p.z - ahead), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}, &touched};
        ride.statues = &placed;
        ride.statue_count = 1;
    }

    // Bales 1 ft in radius at offsets (x, z) from a track object `ahead` ft
    // in front of the frame, stacked `layers` high, and the map of them for
    // the way round.
    WayMap ways;
    void place_bales(const std::vector<std::pair<double, double>>& at, double ahead, int layers = 1)
    {
        std::vector<WayDisc> discs;
        Vec3 p = ride.position();
        double reach = 0;
        for (auto [x, z] : at) {
            for (int k = 0; k < layers; k++)
                object_source.elements.push_back({{float(x), 1.8f * float(k), float(z)}, 1.0f, 0.5f, 5000, 500});
            discs.push_back(WayDisc{float(p.x + x), float(p.z - ahead + z), 1.0f});
            reach = std::max(reach, std::hypot(x, z) + 1);
        }
        object_source.bounding_radius = float(reach + 1.8 * (layers - 1));
        place_object(0.8, ahead);
        way_map_build(&ways, discs);
        ctx.ways = &ways;
    }

    // The point index after one tick in capture aiming for point 1 of a
    // line of 12 points from `first`, `step` apart.
    int point_after_a_tick(Vec3 first, Vec3 step)
    {
        lines.buffer.clear();
        for (int i = 0; i < 12; i++) {
            Vec3 q = first + step * double(i);
            lines.buffer.push_back(LinePoint{float(q.x), 0, float(q.z), 20, 0});
        }
        state = RobotState();
        state.point_index = 1;
        state.capture = 3;
        state.last_advance = ctx.clock;
        tick();
        return state.point_index;
    }

    // A second rider's bike, frozen, on the line `ahead` ft in front of
    // the frame; a test may move it by hand.
    Bike* other = nullptr;
    bool other_rider(double ahead)
    {
        other = bike_create("crf250(2009)", 1, "7", nullptr, nullptr, nullptr, nullptr);
        if (!other)
            return false;
        Vec3 p = ride.position();
        bike_translate(other, p.x, 0.5, p.z - ahead - 3.5);
        bike_freeze(other);
        ctx.bikes[1] = other;
        return true;
    }
    void TearDown() override
    {
        ctx.bikes[1] = nullptr;
        bike_free(other);
    }

    void tick()
    {
        robot_tick(&ctx, 0, ride.bike, &state, &lines, &progress);
        ride.step();
        ctx.clock++;
    }
    // Ticks ridden until the frame is past z (along -z), at most `limit` s.
    int ticks_until_past(double z, double limit)
    {
        int ticks = 0;
        while (ride.position().z > z && ticks < limit * 128) {
            tick();
            ticks++;
        }
        return ticks;
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

TEST_F(RobotRide, AStuckRobotStallsThenStepsAndWalksThenRestarts)
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
    // Going nowhere for 2 s, it walks the bike for 3 s with the engine idle,
    // then rides again.
    run(2.1);
    EXPECT_EQ(state.walks, 1);
    EXPECT_EQ(ride.bike->controls.throttle, 0);
    run(3);
    EXPECT_GT(ride.bike->controls.throttle, 0);
    // After 19 s it only walks.
    while (ctx.clock - start <= 19 * 128 + 1)
        tick();
    int walks = state.walks;
    EXPECT_GT(walks, 1);
    run(2.5);
    EXPECT_EQ(state.walks, walks);
    EXPECT_EQ(ride.bike->controls.throttle, 0);
    EXPECT_EQ(ride.bike->controls.clutch, 0);
    EXPECT_EQ(ride.bike->controls.sit_dab, 1);
    // After 40 s it starts again from a point 1 to 8 further on, drawn
    // from the clock, within the buffer.
    while (ctx.clock - start <= 40 * 128)
        tick();
    int before = state.point_index;
    tick();
    int restart_clock = ctx.clock - 1;
    EXPECT_EQ(state.restarts, 1);
    EXPECT_EQ(state.point_index, std::min(6, before + 1 + restart_clock % 8));
    EXPECT_EQ(state.last_advance, restart_clock);
    EXPECT_EQ(state.capture, 3);
}

TEST_F(RobotRide, TheStallClockStartsWhenAThrownRiderIsBackOnHisBike)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    // Held in place, thrown off, with the next point out of reach.
    bike_freeze(ride.bike);
    line(7, 10, 100, 30);
    bike_bail_out(ride.bike);
    int crashed_ticks = 0;
    while (ride.bike->crash_timer > 0 && crashed_ticks < 20 * 128) {
        tick();
        crashed_ticks++;
    }
    ASSERT_EQ(ride.bike->crash_timer, 0);
    EXPECT_GT(crashed_ticks, 3 * 128);  // longer than a stall
    EXPECT_EQ(state.capture, 0);
    EXPECT_EQ(state.stall_ticks, 0);
    // Back on the bike, 3 s without a point reached is a stall again.
    run(2.9);
    EXPECT_EQ(state.stalls, 0);
    run(0.2);
    EXPECT_EQ(state.stalls, 1);
}

TEST_F(RobotRide, WaitingBehindAStoppedRiderIsNotAStallUntilItLasts)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    // A second bike stands on the line 40 ft ahead and never moves.
    Vec3 p = ride.position();
    ASSERT_TRUE(other_rider(40));
    line(60, 8, 4, 30);
    run(12);
    EXPECT_LT(ride.speed(), 1.5);
    EXPECT_LT(ride.position().z, p.z - 10);  // it rode up behind him
    EXPECT_GT(ride.uprightness(), 0.9);      // and stands with a foot down
    EXPECT_EQ(state.stalls, 0);
    EXPECT_EQ(state.stall_ticks, 0);
    // Waiting more than 10 s is a stall after all.
    run(10);
    EXPECT_EQ(state.stalls, 1);
    EXPECT_GT(state.capture_ticks, 0);
}

TEST_F(RobotRide, InCaptureItKeepsToThePaceOfARiderJustAhead)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    // A rider 8 ft ahead on the line, moving on at 5 ft/s; the capture
    // controller would ride at 15 and run into him.
    ASSERT_TRUE(other_rider(8));
    line(60, 8, 20, 15);
    state.capture = 3;
    double closest = 1e9;
    for (int i = 0; i < 6 * 128; i++) {
        bike_translate(other, 0, 0, -5.0 / 128);
        for (dBodyID body : other->body)
            dBodySetLinearVel(body, 0, 0, -5);
        tick();
        const dReal* q = dBodyGetPosition(other->body[BODY_FRAME]);
        closest = std::min(closest, ride.position().z - q[2]);
    }
    EXPECT_GT(closest, 4);  // never on his rear wheel
    EXPECT_LT(ride.speed(), 7);
    EXPECT_GT(ride.speed(), 3);  // but not stopped behind him either
}

TEST_F(RobotRide, FromRestFacingAwayFromItsLineItTurnsOntoItSlowly)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    // Standing pointed along -z, its line runs off to the right along +x.
    Vec3 p = ride.position();
    line_to_the_right(25);
    double worst = 0;
    for (int i = 0; i < 10 * 128; i++) {
        tick();
        worst = std::max(worst, std::fabs(ride.position().z - p.z));
    }
    EXPECT_EQ(state.stalls, 0);
    EXPECT_EQ(state.capture, 0);
    EXPECT_LT(worst, 15);  // it turned on the spot rather than riding off
    EXPECT_NEAR(ride.position().z, p.z, 4);
    EXPECT_GT(ride.velocity().x, 15);
}

TEST_F(RobotRide, InCaptureAtAStandstillItPaddlesRoundToAPointFarOffItsHeading)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    // Standing still, its line runs off to the right, square to its heading:
    // a lean does not turn a bike this slow, the feet do.
    Vec3 p = ride.position();
    line_to_the_right(20);
    state.capture = 3;
    int ticks = 0;
    while (state.capture != 0 && ticks < 20 * 128) {
        tick();
        ticks++;
    }
    EXPECT_EQ(state.capture, 0);
    EXPECT_LT(ticks, 6.5 * 128);  // riding on by lean alone took over 8 s
    EXPECT_LT(std::fabs(ride.position().z - p.z), 10);
}

TEST_F(RobotRide, InCaptureWithItsPointBehindItTurnsRoundBeforeGoingToIt)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    // Standing still facing -z, its line runs along +z from 20 ft behind it.
    // Pushed straight at its point, the bike rolled backwards to it and
    // took it still facing away from its line.
    Vec3 p = ride.position();
    line(60, -8, -20, 20);  // along +z, from 20 ft behind
    state.capture = 3;
    int ticks = 0;
    // The first point, within reach, is taken at once; the next one
    // once the bike has come back level with it.
    while (state.point_index < 2 && ticks < 20 * 128) {
        tick();
        ticks++;
    }
    EXPECT_EQ(state.point_index, 2);
    EXPECT_LT(ticks, 8 * 128);
    EXPECT_GT(heading_z(), 0.5);  // it faces along its line
    EXPECT_LT(std::fabs(ride.position().x - p.x), 12);
}

TEST_F(RobotRide, InCaptureRidingAwayFromAPointDeadBehindItTurnsStraightBack)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    // Riding a line along -z at 15 ft/s, it is handed to the capture
    // controller with its point 20 ft straight behind it. Leaning to one
    // side and then the other each tick, it rode on upright 77 ft further
    // before it came round.
    line(60, 8, 8, 15);
    run(3);
    ASSERT_GT(ride.speed(), 10);
    Vec3 p = ride.position();
    line(60, -8, -20, 15);  // along +z, from 20 ft behind
    state.capture = 3;
    double away = 0;
    int ticks = 0;
    while (state.point_index < 2 && ticks < 20 * 128) {
        tick();
        ticks++;
        away = std::max(away, p.z - ride.position().z);
    }
    EXPECT_EQ(state.point_index, 2);
    EXPECT_LT(away, 20);
    EXPECT_LT(ticks, 10 * 128);
    EXPECT_GT(heading_z(), 0.5);
}

TEST_F(RobotRide, PinnedAgainstATrackObjectTheBikeIsWalkedBackOffIt)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    // A boulder on the line just ahead of the front wheel.
    object_source.elements.push_back({{0, 0, 0}, 2.5f, 0.5f, 5000, 500});
    object_source.bounding_radius = 2.5f;
    Vec3 p = ride.position();
    place_object(2.0, 10);
    line(60, 8, 20, 15);
    state.capture = 3;
    double nearest = p.z, backed = 0;
    for (int i = 0; i < 8 * 128; i++) {
        tick();
        double z = ride.position().z;
        nearest = std::min(nearest, z);
        backed = std::max(backed, z - nearest);
    }
    EXPECT_GE(touched, 0);  // it rode into the boulder
    EXPECT_GE(state.walks, 1);
    EXPECT_GT(backed, 3);  // and was walked back off it
    EXPECT_EQ(ride.bike->crash_timer, 0);
}

TEST_F(RobotRide, PinnedAgainstAWideObjectItRidesRoundIt)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    // A 26 ft wall of boulders across the line, like a grandstand's front:
    // walking back and riding straight on only meets it again.
    for (double x = -12; x <= 12.1; x += 3)
        object_source.elements.push_back({{float(x), 0, 0}, 2.0f, 0.5f, 5000, 500});
    object_source.bounding_radius = 14.5f;
    Vec3 p = ride.position();
    place_object(1.5, 10);
    line(60, 8, 20, 15);
    state.capture = 3;
    int ticks = ticks_until_past(p.z - 30, 30);
    EXPECT_GE(touched, 0);
    // Round it and on along the line well before the 19 s walk.
    EXPECT_LT(ticks, 15 * 128);
    EXPECT_LT(std::fabs(ride.position().x - p.x), 25);
}

TEST_F(RobotRide, BehindALongRowOfBalesItFindsTheWayRoundTheNearEnd)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    // A row of bales 64 ft long across the line 10 ft ahead, its near end
    // 24 ft to the right of the bike: a side step of 18 ft clears neither
    // end. The map of the track's objects shows the way round.
    Vec3 p = ride.position();
    std::vector<std::pair<double, double>> row;
    for (double x = -40; x <= 24.1; x += 2)
        row.push_back({x, 0});
    place_bales(row, 10);
    line(60, 8, 20, 15);
    state.capture = 3;
    int ticks = ticks_until_past(p.z - 30, 30);
    EXPECT_LT(ticks, 15 * 128);
    EXPECT_GT(ride.uprightness(), 0.8);
    // Round the right-hand end and back to the line.
    run(4);
    EXPECT_LT(std::fabs(ride.position().x - p.x), 12);
    EXPECT_EQ(ride.bike->crash_timer, 0);
}

TEST_F(RobotRide, WedgedInsideARingOfBalesItIsLetThroughThem)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    // A closed ring of bales 5 ft round the bike, two high: no way out of
    // it. One high, a bike turned round inside it got out unaided.
    Vec3 p = ride.position();
    std::vector<std::pair<double, double>> ring;
    for (int i = 0; i < 22; i++) {
        double a = 2 * 3.14159265358979 * i / 22;
        ring.push_back({5 * std::sin(a), 5 * std::cos(a)});
    }
    place_bales(ring, 0, 2);
    line(60, 8, 20, 15);
    state.capture = 3;
    // The session leaves out the objects of a robot let through them.
    bool let_through = false;
    int ticks = 0;
    while (ride.position().z > p.z - 30 && ticks < 30 * 128) {
        tick();
        ticks++;
        ride.statue_count = state.through_objects ? 0 : 1;
        let_through = let_through || state.through_objects;
    }
    EXPECT_GE(touched, 0);
    EXPECT_TRUE(let_through);
    EXPECT_EQ(state.wedged, 1);
    EXPECT_LT(ticks, 20 * 128);  // 5 s touching once the bike is up
    // Clear of the ring, it meets objects again.
    EXPECT_FALSE(state.through_objects);
}

TEST_F(RobotRide, CrossingItsLineTakesOnlyThePointItIsLevelWith)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    // The line runs across the bike's heading, just behind the frame: every
    // point along it within reach lies behind the bike.
    Vec3 p = ride.position();
    lines.buffer.clear();
    for (int i = 0; i < 12; i++)
        lines.buffer.push_back(LinePoint{float(p.x - 4 + 8 * i), 0, float(p.z + 2), 20, 0});
    state = RobotState();
    state.point_index = 1;
    state.last_advance = ctx.clock;
    for (int i = 0; i < 16; i++)
        tick();
    // Level with point 1 (4 ft along): that one is reached, not the ones
    // further along the line.
    EXPECT_EQ(state.point_index, 2);
}

TEST_F(RobotRide, ComingBackAtAnAngleItTakesThePointOnceLevelWithTheOneBefore)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    // The line runs 10 ft off, at 45 degrees across the bike's heading, so
    // the bike heads back onto it. Along the line the bike is half a foot
    // past point 0, though along its heading point 0 still lies ahead;
    // point 1 is 12 ft away.
    Vec3 p = ride.position();
    const double h = std::sqrt(0.5);
    Vec3 u{h, 0, -h}, n{-h, 0, -h};
    EXPECT_EQ(point_after_a_tick(p + n * 10 - u * 0.5, u * 8), 2);
}

TEST_F(RobotRide, FacingBackAfterAFallItTakesThePointsItHasPassed)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    // The line runs along +z, the way the bike's back points: point 0 lies
    // 5 ft in front of the frame, point 1 5 ft behind it. Along the line
    // the bike is past point 0, so point 1 is reached.
    Vec3 p = ride.position();
    EXPECT_EQ(point_after_a_tick(p + Vec3{0, 0, -5}, Vec3{0, 0, 10}), 2);
}

// Taking over from rest a little off a line, straight or a 60 ft turn, the
// capture controller rides onto it and hands back to riding within seconds
// rather than weaving across it.
struct RobotCapture : RobotRide, ::testing::WithParamInterface<std::pair<double, double>> {};

TEST_P(RobotCapture, HandsBackSoonAfterJoiningTheLine)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    double offset = GetParam().first, radius = GetParam().second;
    Vec3 p = ride.position();
    lines.buffer.clear();
    for (int i = 0; i < 80; i++) {
        double d = 6 + 8.0 * i, x = p.x + offset, z = p.z - d;
        if (radius > 0) {
            double a = d / radius;
            x = p.x + offset + radius * (1 - std::cos(a));
            z = p.z - radius * std::sin(a);
        }
        lines.buffer.push_back(LinePoint{float(x), 0, float(z), 30, 0});
    }
    state = RobotState();
    state.last_advance = ctx.clock;
    state.capture = 3;
    int ticks = 0;
    while (state.capture > 0 && ticks < 20 * 128) {
        tick();
        ticks++;
    }
    // A few seconds, more the further it starts from the line.
    EXPECT_LT(ticks, int((3 + 0.6 * offset) * 128));
    EXPECT_EQ(state.stalls, 0);
    EXPECT_GT(ride.uprightness(), 0.8);
}

TEST_F(RobotRide, ThroughARunOfJumpsTheCaptureStillHandsBack)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    // Whoops all the way: every sixth and seventh point is in the air, so a
    // takeoff always lies within eight points ahead.
    line(120, 8, 6, 30);
    for (size_t i = 0; i < lines.buffer.size(); i++)
        if (i % 6 >= 4)
            lines.buffer[i].speed = -30;
    state.capture = 3;
    int ticks = 0;
    while (state.capture > 0 && ticks < 20 * 128) {
        tick();
        ticks++;
    }
    EXPECT_LT(ticks, 8 * 128);
}

// Riding at speed, a robot that finds its line well off to the side (as
// when thrown wide out of a turn) hands over to the capture controller,
// which brings it back onto the line; a little off, it rides on.
TEST_F(RobotRide, FarOffItsLineItHandsOverToTheCaptureAndComesBack)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    line(120, 8, 4, 30);
    run(3);
    ASSERT_EQ(state.capture, 0);
    auto shift = [&](double dx) {
        for (LinePoint& q : lines.buffer)
            q.x += float(dx);
    };
    // 12 ft off: it rides on.
    shift(12);
    for (int t = 0; t < 64; t++) {
        tick();
        ASSERT_EQ(state.capture, 0) << t;
    }
    shift(-12);
    run(2);
    ASSERT_EQ(state.capture, 0);
    // 25 ft off: the capture takes over at once, and hands back on the line.
    shift(25);
    tick();
    EXPECT_EQ(state.capture, 3);
    int ticks = 0;
    while (state.capture > 0 && ticks < 15 * 128) {
        tick();
        ticks++;
    }
    EXPECT_EQ(state.capture, 0);
    EXPECT_LT(std::fabs(ride.position().x - 425), 8);
    EXPECT_EQ(state.stalls, 0);
    EXPECT_GT(ride.uprightness(), 0.8);
}

INSTANTIATE_TEST_SUITE_P(Offsets, RobotCapture,
                         ::testing::Values(std::make_pair(0.0, 0.0), std::make_pair(4.0, 0.0),
                                           std::make_pair(10.0, 0.0), std::make_pair(0.0, 60.0),
                                           std::make_pair(4.0, 60.0), std::make_pair(10.0, 60.0)));

}  // namespace

namespace {

TEST_F(RobotRide, TheArcadeAssistHoldsTheBikeOnlyWhileTheFrontWheelIsUp)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    line(60, 8, 4, 30);
    run(1);
    EXPECT_FALSE(ride.bike->setup.arcade);
    // Thrown into the air off a jump in the line: after a few ticks off the
    // ground the assist holds it, upright, with no lean asked for.
    for (int i = state.point_index - 2; i < state.point_index + 8; i++)
        lines.buffer[size_t(std::max(i, 0))].speed = -30;
    bike_translate(ride.bike, 0, 10, 0);
    run(0.1);
    EXPECT_TRUE(ride.bike->setup.arcade);
    EXPECT_EQ(ride.bike->controls.steer, 0);
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

TEST_F(RobotRide, ATurnThatEndsJustBeforeAJumpIsLeanedRoundAndTheJumpTakenAlongItsLine)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    // 60 ft straight along -z, a quarter turn right of radius 40 ft, 20 ft
    // straight along +x and then a jump: the takeoff lies a second past the
    // end of the turn, so the jump's limits on lean reach into the turn.
    Vec3 p = ride.position();
    const double R = 40;
    const float v = 30;
    lines.buffer.clear();
    auto add = [&](double x, double z, float speed) {
        lines.buffer.push_back(LinePoint{float(x), 0, float(z), speed, 0});
    };
    for (int i = 0; i < 8; i++)
        add(p.x, p.z - 4 - 8 * i, v);
    double cx = p.x + R, cz = p.z - 60;
    for (int i = 0; i <= 8; i++) {
        double a = (M_PI / 2) * i / 8;
        add(cx - R * std::cos(a), cz - R * std::sin(a), v);
    }
    double lip_x = cx + 10, line_z = cz - R;
    for (double x = cx + 6; x < lip_x; x += 6)
        add(x, line_z, v);
    for (int i = 0; i < 4; i++)
        add(lip_x + 7 * i, line_z, -v);  // in the air
    for (int i = 0; i < 20; i++)
        add(lip_x + 28 + 8 * i, line_z, v);
    state = RobotState();
    state.last_advance = ctx.clock;
    double off = 1e9, heading = 1e9;
    for (int i = 0; i < 12 * 128 && off > 1e8; i++) {
        tick();
        if (ride.position().x >= lip_x) {
            off = std::fabs(ride.position().z - line_z);
            Vec3 u = ride.velocity();
            heading = std::fabs(std::atan2(u.z, u.x));
        }
    }
    EXPECT_LT(off, 4);        // at the lip on its line
    EXPECT_LT(heading, 0.1);  // and heading along the jump
    EXPECT_EQ(ride.bike->crash_timer, 0);
}

// Whoops through a long turn: the front wheel is off the ground for a good
// part of every bump, and the lean the turn needs has to last through
// those hops, or the bike runs on straight and wide of its line.
TEST_F(RobotRide, ThroughWhoopsInATurnItKeepsItsLeanAndItsLine)
{
    if (!ok)
        GTEST_SKIP() << "no physics world";
    const double R = 100, wave = 10;
    const float v = 32;
    double cx = ride.position().x + R, cz = ride.position().z;
    // Bumps 1.25 ft high every 10 ft along the turn, from 50 ft into it.
    ride_ground(&ride.ground, 200, 4.0, [&](double x, double z) {
        double r = std::hypot(x - cx, z - cz), arc = R * std::atan2(cz - z, cx - x);
        if (std::fabs(r - R) > 20 || arc < 50 || arc > 250)
            return 0.0;
        double s = std::sin(M_PI * arc / wave);
        return 1.25 * s * s;
    });
    circle_line(this, R, int(3.5 * R / 8), v);
    double worst = 0;
    for (int i = 0; i < 128 * 12 && state.point_index < int(lines.buffer.size()) - 8; i++) {
        tick();
        Vec3 p = ride.position();
        double arc = R * std::atan2(cz - p.z, cx - p.x);
        if (arc > 60 && arc < 250)
            worst = std::max(worst, std::fabs(std::hypot(p.x - cx, p.z - cz) - R));
    }
    EXPECT_LT(worst, 8);  // it ran 35 ft wide when every hop stood it up
    EXPECT_EQ(ride.bike->crash_count, 0);
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
