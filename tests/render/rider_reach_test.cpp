// The drawn riders of a real race keep their hands on the bars: through
// the corners of the start track, leaned over as far as they go, every
// forearm ends at its grip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "core/session.h"
#include "files/config.h"
#include "physics/bike.h"
#include "physics/rider_pose.h"
#include "test_support.h"
#include "track/track.h"

namespace {

// How far a hand falls short of its grip: the elbow sits a forearm's
// length from the grip when the hand holds it.
double hand_gap(const Bike* b, int side)
{
    const BikeModel& m = b->model;
    RiderSkeleton s = rider_skeleton_compute(b);
    RiderPoseInput in = rider_pose_input(b);
    Vec3 grip = body_pose_point(in.fork_upper, vec3(m.hand_grip[side].x, m.hand_grip[side].y, m.hand_grip[side].z));
    Vec3 elbow = vec3(s.origins[side * 3], s.origins[side * 3 + 1], s.origins[side * 3 + 2]);
    return vec3_length(grip - elbow) - m.forearm;
}

// The frame's tilt from upright, in degrees.
double lean_degrees(const Bike* b)
{
    const dReal* r = dBodyGetRotation(b->body[BODY_FRAME]);
    return std::acos(std::clamp(double(r[5]), -1.0, 1.0)) * 180 / M_PI;
}

}  // namespace

TEST(RiderReach, HandsStayOnTheBarsThroughTheCornersOfARace)
{
    GameDataScope data;
    if (!data.ready)
        GTEST_SKIP() << "no built data set";
    config_reset_defaults();
    ASSERT_TRUE(physics_world_init());
    Session& s = session();
    s.settings.track = "oakbasin";
    s.settings.follow_course = true;
    s.settings.learn = false;
    s.settings.seed = 0;  // the same race whichever session of the process this is
    int lineup[SLOT_COUNT] = {};
    const int riders = 6;
    for (int j = 0; j < riders; j++)
        lineup[j] = LINEUP_ROBOT;
    ASSERT_TRUE(session_start(lineup, false, false, 0, 3, 1));
    double deepest = 0, worst_gap = -1, worst_gap_lean = 0;
    int leaned = 0;
    while (s.race.timing.clock < s.race.timing.start_tick + 40 * TICKS_PER_SECOND) {
        simulation_tick();
        for (int j = 0; j < riders; j++) {
            const Bike* b = s.riders[j].bike;
            if (!b || b->crash_timer > 0)
                continue;
            double lean = lean_degrees(b);
            deepest = std::max(deepest, lean);
            if (lean < 20)
                continue;
            leaned++;
            double gap = std::max(hand_gap(b, 0), hand_gap(b, 1));
            if (gap > worst_gap) {
                worst_gap = gap;
                worst_gap_lean = lean;
            }
        }
    }
    session_end();
    track_hooks = TrackHooks();  // the session installed its own
    s.settings.seed = -1;
    ASSERT_GT(leaned, 128) << "the field should corner hard within 40 s";
    EXPECT_LT(worst_gap, 0.1) << "at " << worst_gap_lean << " degrees of lean";
    std::printf("deepest lean %.1f degrees; %d leaned rider ticks, widest hand gap %.3f ft at %.1f degrees\n",
                deepest, leaned, worst_gap, worst_gap_lean);
}
