#include "core/frame_clock.h"

#include "core/vec.h"

#include <gtest/gtest.h>

TEST(FrameClock, AdvanceFollowsTheTimingRules)
{
    FrameRules normal, locked, warp;
    locked.lock_fps = 30;
    warp.warp = true;
    struct Case {
        const FrameRules& rules;
        double elapsed, sleep, advance;
    };
    const Case cases[] = {
        {normal, 0.001, TICK_SECONDS - 0.001, 0.001},
        {normal, 0.02, 0, 0.02},
        {normal, 0.4, 0, 0.125},           // a slow frame loses the excess
        {locked, 0.01, 1.0 / 30 - 0.01, 1.0 / 30},
        {locked, 0.2, 0, 1.0 / 30},        // locked: exactly 1/F whatever happened
        {warp, 0.0001, 0, 100 * TICK_SECONDS},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(frame_sleep_needed(c.elapsed, c.rules), c.sleep, 1e-12) << c.elapsed;
        EXPECT_NEAR(frame_advance(c.elapsed, c.rules), c.advance, 1e-12) << c.elapsed;
    }
}

TEST(FrameClock, TicksCatchUpWithTheTargetAndStampWallTimes)
{
    FrameClock c;
    double now = 100.0;
    frame_clock_commit(&c, 0.03, 0.03, now);
    std::vector<double> walls;
    double wall;
    bool last = false;
    while (frame_next_tick(&c, now, &wall, &last)) {
        walls.push_back(wall);
        if (last)
            break;
    }
    // 0.03 s holds 3.84 ticks: four ticks, the last one overshooting.
    ASSERT_EQ(walls.size(), 4u);
    EXPECT_TRUE(last);
    EXPECT_NEAR(walls[0], now - (0.03 - TICK_SECONDS), 1e-12);
    EXPECT_GE(walls[3], now);
    EXPECT_FALSE(frame_next_tick(&c, now, &wall, &last));
    // The overshoot is carried: after two frames of 0.03 s exactly
    // ceil(0.06 * 128) = 8 ticks have run.
    frame_clock_commit(&c, 0.03, 0.03, now + 0.03);
    int n = 0;
    while (frame_next_tick(&c, now + 0.03, &wall, &last))
        n++;
    EXPECT_EQ(n, 4);
    EXPECT_DOUBLE_EQ(c.simulated, 8 * TICK_SECONDS);
    EXPECT_EQ(c.min_frame, 0.03);
    EXPECT_EQ(c.max_frame, 0.03);
}

TEST(FrameClock, NetworkPacing)
{
    EXPECT_DOUBLE_EQ(frame_network_pacing(0.5, true), 1.125);
    EXPECT_DOUBLE_EQ(frame_network_pacing(0.05, true), 1.05);
    EXPECT_DOUBLE_EQ(frame_network_pacing(0.5, false), 2.5);
    EXPECT_DOUBLE_EQ(frame_network_pacing(-0.5, true), 0.75);
    EXPECT_DOUBLE_EQ(frame_network_pacing(-3, false), 0.5);
}
