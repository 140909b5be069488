// The riding bench: scripted manoeuvres on flat ground and over a tabletop
// that print how the bike rides (speed, gear, rpm, lean, wheelie angle,
// stopping distance, circle radius, landing). Each also checks that the
// bike stays on its wheels, so the figures are never those of a crash.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "ride_fixture.h"

namespace {

const double MPH = 1.4666666666666666;

// Nose-up angle of the frame (positive in a wheelie).
double pitch(const Bike* b)
{
    const dReal* r = dBodyGetRotation(b->body[BODY_FRAME]);
    return std::asin(clampd(-r[6], -1, 1));  // world y of the frame's forward (-z) axis
}

void report(const char* what, Ride& r)
{
    std::printf("%-8s t %5.2f s  %5.1f mph  gear %d  %5.0f rpm  lean %+5.2f  pitch %+5.2f  wheels %c%c\n",
                what, r.tick / 128.0, r.speed() / MPH, bike_gear(r.bike) + 1, engine_rpm(r.bike),
                r.roll(), pitch(r.bike), r.bike->wheel[0].depth > 0 ? 'F' : '-',
                r.bike->wheel[1].depth > 0 ? 'R' : '-');
}

}  // namespace

TEST(RideBench, LaunchThroughTheGears)
{
    Ride r;
    ride_ground(&r.ground, 512, 4.0, [](double, double) { return 10.0; });
    ASSERT_TRUE(r.start(1024, 2000));
    r.run(0.5);
    bike_set_throttle(r.bike, 1);
    for (int s = 0; s < 24; s++) {
        r.run(0.5);
        report("launch", r);
        EXPECT_GT(r.uprightness(), 0.8);
    }
}
