#include "core/roster.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

TEST(Roster, TableHoldsEightyRidersWithMappedBikesAndGear)
{
    const auto& r = roster();
    ASSERT_EQ(r.size(), 80u);
    EXPECT_STREQ(r[0].number, "20");
    EXPECT_STREQ(r[79].number, "99");
    EXPECT_STREQ(r[25].bike, "kx250f(2008)");  // number 45
    EXPECT_STREQ(r[25].personality, "dunsa");
    EXPECT_EQ(r[3].graphics, "@kx125-alt1.png");   // number 23
    EXPECT_EQ(r[3].wheels, "@wheels-alt1.png");
    EXPECT_EQ(r[3].helmet, "");
    EXPECT_EQ(r[61].body, "@rider_body-alt2.png");  // number 81, wober: all gear 2
    EXPECT_EQ(r[61].graphics, "@crf250-alt2.png");
    EXPECT_STREQ(r[39].bike, "yz250f_se(2006)");
}

TEST(Roster, ShuffleIsAPermutationAndRepeatsForTheSameSeed)
{
    std::mt19937 a(0), b(0);
    RosterOrder x, y;
    roster_shuffle(&x, a);
    roster_shuffle(&y, b);
    std::set<int> seen(x.order, x.order + ROSTER_SIZE);
    EXPECT_EQ(seen.size(), 80u);
    EXPECT_TRUE(std::equal(x.order, x.order + ROSTER_SIZE, y.order));
    bool moved = false;
    for (int i = 0; i < ROSTER_SIZE; i++)
        moved |= x.order[i] != i;
    EXPECT_TRUE(moved);
}

TEST(Roster, TakingByKindAndNumber)
{
    std::mt19937 rng(0);
    RosterOrder ro;
    roster_shuffle(&ro, rng);
    const auto& r = roster();
    int by_number = roster_take(&ro, LINEUP_ROSTER_NUMBER + 45);
    EXPECT_STREQ(r[size_t(by_number)].number, "45");
    for (int k = 0; k < 20; k++) {
        int two = roster_take(&ro, LINEUP_ROBOT_2STROKE);
        EXPECT_TRUE(std::strstr(r[size_t(two)].bike, "125")) << k;
    }
    // Twenty 125s exist: the next 2-stroke request falls back to anything.
    int any = roster_take(&ro, LINEUP_ROBOT_2STROKE);
    EXPECT_FALSE(std::strstr(r[size_t(any)].bike, "125"));
    int four = roster_take(&ro, LINEUP_ROBOT_4STROKE);
    EXPECT_TRUE(std::strstr(r[size_t(four)].bike, "250"));
}

TEST(Roster, LineupKeepsOneHumanAndNeverRunsEmpty)
{
    int a[SLOT_COUNT] = {};
    a[3] = a[7] = LINEUP_HUMAN;
    a[5] = LINEUP_ROBOT;
    EXPECT_EQ(lineup_prepare(a, false), 3);
    EXPECT_EQ(a[7], LINEUP_EMPTY);
    int b[SLOT_COUNT] = {};
    EXPECT_EQ(lineup_prepare(b, false), 0);
    EXPECT_EQ(b[0], LINEUP_ROBOT);
    int c[SLOT_COUNT] = {};
    EXPECT_EQ(lineup_prepare(c, true), 0);  // a demo fills empty slots
    EXPECT_EQ(c[0], LINEUP_EMPTY);
    int d[SLOT_COUNT] = {};
    d[12] = LINEUP_ROBOT;
    EXPECT_EQ(lineup_prepare(d, false), 12);
}

TEST(Roster, StartTickAndGearCatalogues)
{
    std::mt19937 rng(7);
    for (int i = 0; i < 100; i++) {
        int t = session_draw_start_tick(rng);
        EXPECT_GE(t, 13 * 128);
        EXPECT_LT(t, 15 * 128);
    }
    std::vector<std::string> names = {"rider_body-alt1.png", "gear/rider_body-red.png", "rider_body-alt1_norm.png",
                                      "rider_body-x.jpg", "rider_head-alt1.png"};
    auto cat = gear_catalogue_build(names, "rider_body-");
    ASSERT_EQ(cat.size(), 3u);
    EXPECT_EQ(cat[0].label, "default");
    EXPECT_EQ(cat[1].label, "alt1");
    EXPECT_EQ(cat[2].texture, "@gear/rider_body-red.png");
    EXPECT_EQ(bike_graphics_prefix("yz250f_se(2006)"), "yz250f_se-");
    EXPECT_EQ(bike_graphics_prefix("crf250(2009)"), "crf250-");
    EXPECT_EQ(bike_graphics_prefix("kx125"), "kx125-");
}
