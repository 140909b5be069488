// The riding bench: scripted manoeuvres on flat ground and over a tabletop
// that print how the bike rides (speed, gear, rpm, lean, wheelie angle,
// stopping distance, circle radius, landing) so anyone can see it, and the
// cost of the contact pass and of the bike step, and the crashes and roost
// over a shipped jump. Most manoeuvres also check
// that the bike stays on its wheels; the circles only print, since a hard
// steer may legitimately lay the bike down.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>

#include "physics/rider.h"
#include "physics/roost.h"
#include "ride_fixture.h"
#include "track/particles.h"

namespace {

const double MPH = 1.4666666666666666;

// Nose-up angle of the frame (positive in a wheelie).
double nose_up(const Bike* b)
{
    const dReal* r = dBodyGetRotation(b->body[BODY_FRAME]);
    return std::asin(clampd(-r[6], -1, 1));  // world y of the frame's forward (-z) axis
}

void report(const char* what, Ride& r)
{
    std::printf("%-8s t %5.2f s  %5.1f mph  gear %d  %5.0f rpm  lean %+5.2f  nose up %+5.2f  wheels %c%c\n",
                what, r.tick / 128.0, r.speed() / MPH, bike_gear(r.bike) + 1, engine_rpm(r.bike),
                r.roll(), nose_up(r.bike), r.bike->wheel[0].depth > 0 ? 'F' : '-',
                r.bike->wheel[1].depth > 0 ? 'R' : '-');
}

void flat(HeightField* hf) { ride_ground(hf, 512, 4.0, [](double, double) { return 10.0; }); }

void cruise(Ride& r, double v, int gear)
{
    r.run(0.5);
    r.set_speed(v);
    r.bike->gear = gear;
    r.bike->engine_speed = v / 1.04 * powertrain_reduction(r.bike);
}

}  // namespace

TEST(RideBench, StandingStill)
{
    Ride r;
    flat(&r.ground);
    ASSERT_TRUE(r.start(1024, 1024, 0.5));
    for (int s = 0; s < 6; s++) {
        r.run(0.5);
        report("stand", r);
    }
    std::printf("stand    frame %.3f ft above the ground (built at 1.98), fork %.3f ft, swingarm %.3f rad\n",
                r.position().y - 10, dJointGetSliderPosition(r.bike->joint[JOINT_FORK]),
                dJointGetHingeAngle(r.bike->joint[JOINT_SWINGARM_PIVOT]));
    EXPECT_TRUE(r.both_wheels_down());
}

TEST(RideBench, LaunchThroughTheGears)
{
    Ride r;
    flat(&r.ground);
    ASSERT_TRUE(r.start(1024, 2000));
    r.run(0.5);
    bike_set_throttle(r.bike, 1);
    double wheelie = 0;
    for (int s = 0; s < 20; s++) {
        for (int i = 0; i < 64; i++) {
            r.step();
            wheelie = std::fmax(wheelie, nose_up(r.bike));
        }
        report("launch", r);
        EXPECT_GT(r.uprightness(), 0.8);
    }
    std::printf("launch   highest nose-up %.2f rad (stop wheelies off)\n", wheelie);
}

TEST(RideBench, BrakingFrom40Mph)
{
    // Default brakes with and without antilock, then a front brake strong
    // enough to lift the rear, with the stoppie cut on.
    for (int run = 0; run < 3; run++) {
        int antilock = run != 1;
        Ride r;
        flat(&r.ground);
        ASSERT_TRUE(r.start(1024, 1800));
        bike_set_front_antilock(r.bike, antilock);
        if (run == 2) {
            bike_set_brake_torque(r.bike, 500);
            bike_set_stop_wheelies(r.bike, 2);
        }
        cruise(r, 40 * MPH, 4);
        r.run(0.25);
        Vec3 start = r.position();
        unsigned t0 = r.tick;
        bike_set_front_brake(r.bike, 1);
        bike_set_rear_brake(r.bike, 1);
        bike_set_clutch(r.bike, 0);
        double nose_down = 0;
        while (r.speed() > 0.5 && r.tick - t0 < 1280) {
            r.step();
            nose_down = std::fmax(nose_down, -nose_up(r.bike));
        }
        std::printf("brake    front %3.0f ft.lbf, antilock %s: stopped in %.1f ft, %.2f s, nose down at most %.2f rad\n",
                    r.bike->setup.brake_torque, antilock ? "on " : "off", vec3_length(r.position() - start),
                    (r.tick - t0) / 128.0, nose_down);
        EXPECT_GT(r.uprightness(), 0.8);
    }
}

TEST(RideBench, ConstantSteerCircles)
{
    for (int mode = 0; mode < 3; mode++)
    for (double steer : {-0.05, -0.1, -0.15, -0.2, -0.4}) {
        static const char* names[3] = {"direct", "lean controller", "arcade"};
        Ride r;
        flat(&r.ground);
        ASSERT_TRUE(r.start(1024, 1024));
        // The default configuration is what "Stability" 100 sets: the lean
        // controller. Direct steering 1 is the plain handlebar torque.
        if (mode == 0)
            bike_set_direct_steering(r.bike, 1);
        bike_set_arcade(r.bike, mode == 2);
        cruise(r, 30, 2);
        bike_set_throttle(r.bike, 0.35);
        bike_set_steer(r.bike, steer);
        r.run(4);
        Vec3 v1 = r.velocity();
        r.run(1);
        Vec3 v2 = r.velocity();
        double yaw = std::atan2(vec3_cross(v1, v2).y, vec3_dot(v1, v2));
        std::printf("circle   %-15s steer %+.2f: %.1f mph, lean %+.2f rad, radius %.1f ft\n",
                    names[mode], steer, r.speed() / MPH, r.roll(), r.speed() / std::fabs(yaw));
    }
}

TEST(RideBench, Slalom)
{
    Ride r;
    flat(&r.ground);
    ASSERT_TRUE(r.start(1024, 1500));
    cruise(r, 35, 3);
    bike_set_throttle(r.bike, 0.4);
    double x0 = r.position().x, widest = 0, deepest = 0;
    for (int gate = 0; gate < 8; gate++) {
        bike_set_steer(r.bike, gate % 2 ? 0.5 : -0.5);
        for (int i = 0; i < 128; i++) {
            r.step();
            widest = std::fmax(widest, std::fabs(r.position().x - x0));
            deepest = std::fmax(deepest, std::fabs(r.roll()));
        }
        report("slalom", r);
        EXPECT_GT(r.uprightness(), 0.5);
    }
    std::printf("slalom   widest swing %.1f ft, deepest lean %.2f rad\n", widest, deepest);
}

TEST(RideBench, TabletopJump)
{
    auto table = [](double, double z) {
        double d = 1900 - z, top = 4;
        double up = top / std::tan(25 * M_PI / 180), down = top / std::tan(20 * M_PI / 180);
        double h = 0;
        if (d >= 100 && d < 100 + up)
            h = (d - 100) / up * top;
        else if (d >= 100 + up && d < 120 + up)
            h = top;
        else if (d >= 120 + up && d < 120 + up + down)
            h = top - (d - 120 - up) / down * top;
        return 10 + h;
    };
    for (double mph : {20.0, 27.0, 35.0}) {
        Ride r;
        ride_ground(&r.ground, 512, 4.0, table);
        ASSERT_TRUE(r.start(1024, 1890));
        cruise(r, mph * MPH, 3);
        bike_set_throttle(r.bike, 0.4);
        int air = 0, longest = 0;
        double lowest = 1;
        for (int i = 0; i < 6 * 128; i++) {
            r.step();
            bool flying = r.bike->wheel[0].depth == 0 && r.bike->wheel[1].depth == 0;
            air = flying ? air + 1 : 0;
            longest = std::max(longest, air);
            lowest = std::fmin(lowest, r.uprightness());
        }
        std::printf("jump     %2.0f mph: longest flight %.2f s, still %.1f mph after, least upright %.2f\n",
                    mph, longest / 128.0, r.speed() / MPH, lowest);
        EXPECT_TRUE(r.both_wheels_down());
    }
}

TEST(RideBench, StepCost)
{
    // Wall time of the contact pass, the world step and the bike step for
    // one bike riding on flat ground (meaningful in an optimised build).
    Ride r;
    flat(&r.ground);
    ASSERT_TRUE(r.start(1024, 1900));
    cruise(r, 40, 3);
    bike_set_throttle(r.bike, 0.5);
    using clock = std::chrono::steady_clock;
    double contacts = 0, world = 0, step = 0;
    const int ticks = 2048;
    for (int i = 0; i < ticks; i++) {
        auto a = clock::now();
        bike_world_contacts(r.bike, &r.ground, nullptr, 0, int(r.tick));
        auto b = clock::now();
        physics_world_step();
        auto c = clock::now();
        bike_step(r.bike, true, r.tick++);
        auto d = clock::now();
        contacts += std::chrono::duration<double, std::micro>(b - a).count();
        world += std::chrono::duration<double, std::micro>(c - b).count();
        step += std::chrono::duration<double, std::micro>(d - c).count();
    }
    std::printf("cost     per tick: contacts %.2f us, world step %.2f us, bike step %.2f us; "
                "%.0f ticks per second\n",
                contacts / ticks, world / ticks, step / ticks, ticks * 1e6 / (contacts + world + step));
}

TEST(RideBench, LeanControllerTrace)
{
    Ride r;
    flat(&r.ground);
    ASSERT_TRUE(r.start(1024, 1024));
    cruise(r, 30, 2);
    bike_set_throttle(r.bike, 0.35);
    bike_set_steer(r.bike, -0.1);
    for (int i = 0; i < 12; i++) {
        r.run(0.5);
        report("leanctl", r);
    }
}

TEST(RideBench, CrashesAndRoostOnTheOakBasinTabletop)
{
    // The start track's tabletop (heading east from x = 290) at rising
    // speeds, full throttle with the weight forward; a thrown rider waits to
    // be reeled in, puts his foot down until the bike is up and rides on.
    // Prints the crashes, the time off the bike and the dirt thrown.
    ShippedShapes shapes;
    if (!shapes.ok)
        GTEST_SKIP() << "no built data set";
    auto pool = std::make_unique<RoostPool>();
    std::mt19937 rng(1);
    for (double mph : {25.0, 40.0, 60.0, 80.0}) {
        Ride r;
        ASSERT_TRUE(terrain_load(&r.ground, "@oakbasin"));
        ASSERT_TRUE(r.start(0, 0));
        rider_set_ground(&r.ground);
        roost_pool_init(pool.get(), &r.ground, 0);
        Bike* b = r.bike;
        bike_reset(b);
        bike_set_auto_dab(b, true);
        r.place_east(290, 720.5);
        r.launch_east(mph * MPH, 4);
        int crashes = 0, off_ticks = 0, ticks = 20 * 128;
        bool thrown = false;
        for (int i = 0; i < ticks; i++) {
            double speed = r.speed();
            bool lying = r.uprightness() < 0.95 && speed < 5;
            bike_set_throttle(b, thrown ? (lying ? 0 : 0.5) : 1);
            bike_set_lean(b, thrown ? 0 : 1);
            bike_set_sit_dab(b, lying ? 1 : 0);
            int before = b->crash_timer;
            r.step();
            RoostContext ctx{&r.ground, pool.get(), &rng, 250, r.tick};
            bike_roost(b, true, ctx);
            roost_update(pool.get(), r.tick);
            crashes += before == 0 && b->crash_timer > 0;
            thrown |= b->crash_timer > 0;
            off_ticks += b->crash_timer > 0;
        }
        std::printf("crash    %2.0f mph: %d crashes, %.1f s off the bike, then at x %.0f going %.1f mph, upright "
                    "%.2f; roost %.0f particles a second, at most %d in flight\n",
                    mph, crashes, off_ticks / 128.0, r.position().x, r.speed() / MPH, r.uprightness(),
                    pool->thrown / (ticks / 128.0), pool->peak_active);
        EXPECT_EQ(b->crash_timer, 0) << mph;  // nobody is still lying there after 20 s
        rider_set_ground(nullptr);
    }
}
