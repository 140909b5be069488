// Finding the way round track objects: the straight-path test and the legs
// of the way round a row of bales or into a closed pen.
#include "robots/way_round.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

// Bales 1 ft in radius every 2 ft along z at x = 0, from z0 to z1.
std::vector<WayDisc> row(double z0, double z1)
{
    std::vector<WayDisc> d;
    for (double z = z0; z <= z1 + 1e-9; z += 2)
        d.push_back(WayDisc{0, float(z), 1});
    return d;
}

double flat_distance(Vec3 a, Vec3 b)
{
    return std::hypot(a.x - b.x, a.z - b.z);
}

// Rides leg after leg from `from` until the point is in straight sight;
// the length ridden, or -1 when a leg is missing or cuts an object.
double ride_legs(const WayMap* m, Vec3 from, Vec3 to)
{
    double length = 0;
    for (int leg = 0; leg < 20; leg++) {
        if (!way_blocked(m, from, to, 1.0))
            return length + flat_distance(from, to);
        Vec3 w;
        if (!way_round(m, from, to, &w) || way_blocked(m, from, w, 0.9))
            return -1;
        length += flat_distance(from, w);
        from = w;
    }
    return -1;
}

TEST(WayRound, AStraightPathIsBlockedOnlyByWhatItPassesNear)
{
    WayMap m;
    way_map_build(&m, row(-20, 20));
    struct Case {
        Vec3 a, b;
        double clearance;
        bool blocked;
    } cases[] = {
        {{-10, 0, 0}, {10, 0, 0}, 1.0, true},     // across the row
        {{-10, 0, 30}, {10, 0, 30}, 1.0, false},  // past its end
        {{-10, 0, 21.5}, {10, 0, 21.5}, 1.0, true},   // 0.5 ft past the last bale's edge
        {{-10, 0, 21.5}, {10, 0, 21.5}, 0.25, false},
        {{-5, 0, -30}, {-5, 0, 30}, 1.0, false},  // along it, 4 ft clear
        {{-5, 0, -30}, {-5, 0, 30}, 4.5, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(way_blocked(&m, c.a, c.b, c.clearance), c.blocked) << c.a.x << " " << c.a.z << " " << c.clearance;
    WayMap empty;
    way_map_build(&empty, {});
    EXPECT_FALSE(way_blocked(&empty, {-10, 0, 0}, {10, 0, 0}, 1.0));
    Vec3 w;
    EXPECT_FALSE(way_round(&empty, {-10, 0, 0}, {10, 0, 0}, &w));
}

TEST(WayRound, TheWayRoundARowGoesByItsNearerEnd)
{
    // The row runs 40 ft one way from level with the bike and 12 ft the
    // other: the way round is by the short end, every leg clear of it.
    WayMap m;
    way_map_build(&m, row(-12, 40));
    Vec3 from{-6, 0, 0}, to{8, 0, 0};
    Vec3 w;
    ASSERT_TRUE(way_round(&m, from, to, &w));
    EXPECT_LT(w.z, -12);
    EXPECT_FALSE(way_blocked(&m, from, w, 0.9));
    double length = ride_legs(&m, from, to);
    EXPECT_GT(length, 2 * 14);  // it goes round, never through
    EXPECT_LT(length, 2 * 20);

    // A bike pressed against a bale still backs out and round.
    Vec3 pressed{-2.2, 0, 4};
    EXPECT_GT(ride_legs(&m, pressed, to), 0);
}

TEST(WayRound, ABikeInATangleMayLeaveCloseButPassesWhatLiesAheadWithClearance)
{
    // Pressed against the side of a row half a foot from a bale, the bike
    // is let back out that close, but the leg it then rides round the end
    // of the row passes the end bale as clear as any other way would:
    // a leg grazing it at the bike's own closeness was ridden into it.
    WayMap m;
    way_map_build(&m, row(-12, 40));
    Vec3 pressed{-1.5, 0, -8}, to{8, 0, -4};
    Vec3 w;
    ASSERT_TRUE(way_round(&m, pressed, to, &w));
    double dx = w.x - pressed.x, dz = w.z - pressed.z;
    double l2 = dx * dx + dz * dz;
    double t = std::clamp(((0 - pressed.x) * dx + (-12 - pressed.z) * dz) / l2, 0.0, 1.0);
    double pass = std::hypot(pressed.x + t * dx, pressed.z + t * dz + 12) - 1;
    EXPECT_GE(pass, WAY_CLEARANCE - 0.01) << "leg to " << w.x << " " << w.z;
}

TEST(WayRound, NoWayIntoAClosedPenOrToAPointOutOfReach)
{
    // A ring of bales 12 ft across round the point.
    std::vector<WayDisc> pen;
    for (int i = 0; i < 24; i++) {
        double a = i * 2 * 3.14159265358979 / 24;
        pen.push_back(WayDisc{float(20 + 6 * std::cos(a)), float(6 * std::sin(a)), 1});
    }
    WayMap m;
    way_map_build(&m, pen);
    Vec3 w;
    EXPECT_TRUE(way_blocked(&m, {0, 0, 0}, {20, 0, 0}, 1.0));
    EXPECT_FALSE(way_round(&m, {0, 0, 0}, {20, 0, 0}, &w));
    // Far away, nothing is searched for.
    WayMap r;
    way_map_build(&r, row(-20, 20));
    EXPECT_FALSE(way_round(&r, {-100, 0, 0}, {100, 0, 0}, &w));
}

}  // namespace
