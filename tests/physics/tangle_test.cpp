// Bikes pressed together at a crawl: when their contacts are left out, and
// when they count again.
#include "physics/tangle.h"

#include <gtest/gtest.h>

namespace {

// Runs a pair for up to 10 s, touching every `touch_every` ticks (0 never),
// at the given frame speeds; the tick of the first release, or -1.
int first_release(BikeTangle* t, int touch_every, double speed_a, double speed_b, double distance = 2)
{
    for (int tick = 0; tick < 10 * 128; tick++) {
        if (tangle_release(t, tick, speed_a, speed_b, distance))
            return tick;
        if (touch_every > 0 && tick % touch_every == 0)
            tangle_touched(t, tick);
    }
    return -1;
}

}  // namespace

TEST(Tangle, APairHeldTogetherAtACrawlIsReleasedAfterThreeSeconds)
{
    struct Case {
        const char* what;
        int touch_every;
        double speed_a, speed_b;
        bool released;
    } cases[] = {
        {"touching every tick at 2 ft/s", 1, 2, 2, true},
        {"rocking, a touch every quarter second", 32, 1, 3, true},
        {"touches too far apart", 40, 1, 1, false},
        {"one bike rides on past 5 ft/s", 1, 2, 6, false},
        {"never touching", 0, 0, 0, false},
    };
    for (const Case& c : cases) {
        BikeTangle t;
        int at = first_release(&t, c.touch_every, c.speed_a, c.speed_b);
        EXPECT_EQ(at >= 0, c.released) << c.what;
        if (c.released) {
            EXPECT_GE(at, TANGLE_HOLD_TICKS) << c.what;
            EXPECT_LE(at, TANGLE_HOLD_TICKS + TANGLE_TOUCH_GAP + 1) << c.what;
        }
    }
}

TEST(Tangle, AReleaseLastsUntilTheFramesAreApart)
{
    BikeTangle t;
    int at = first_release(&t, 1, 1, 1);
    ASSERT_GE(at, 0);
    // Riding off at speed within 8 ft: still let through each other.
    EXPECT_TRUE(tangle_release(&t, at + 1, 20, 20, TANGLE_APART));
    // Apart, the pair starts afresh: a new hold takes the full time again.
    EXPECT_FALSE(tangle_release(&t, at + 2, 20, 20, TANGLE_APART + 0.1));
    EXPECT_FALSE(t.released);
    int again = first_release(&t, 1, 1, 1);
    EXPECT_GE(again, TANGLE_HOLD_TICKS);
}
