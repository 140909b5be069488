#include "core/screenshot.h"
#include "core/view_mode.h"

#include <gtest/gtest.h>

TEST(ViewMode, SettleAndTab)
{
    const ViewFacts player{true, true, true}, robot{true, true, false}, empty{true, false, false},
        no_track{false, false, false};
    struct Case {
        ViewMode in;
        ViewFacts facts;
        ViewMode out;
    };
    const Case cases[] = {
        {VIEW_TITLE, robot, VIEW_RIDER},
        {VIEW_FREE, player, VIEW_RIDER},    // the player's own rider: rider or chase only
        {VIEW_CHASE, player, VIEW_CHASE},
        {VIEW_EDITOR, player, VIEW_EDITOR},
        {VIEW_FREE, robot, VIEW_FREE},
        {VIEW_RIDER, empty, VIEW_FREE},
        {VIEW_RIDER, no_track, VIEW_TITLE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(view_settle(c.in, c.facts), c.out) << c.in;
    EXPECT_EQ(view_after_tab(VIEW_RIDER, false), VIEW_CHASE);
    EXPECT_EQ(view_after_tab(VIEW_RIDER, true), VIEW_EDITOR);
    EXPECT_EQ(view_after_tab(VIEW_EDITOR, true), VIEW_CHASE);
    EXPECT_EQ(view_after_tab(VIEW_CHASE, false), VIEW_FREE);
    EXPECT_EQ(view_after_tab(VIEW_FREE, false), VIEW_RIDER);
    EXPECT_EQ(view_after_tab(VIEW_TITLE, true), VIEW_TITLE);
}

TEST(Screenshot, NumberingContinuesAfterTheHighest)
{
    EXPECT_EQ(screenshot_next_number({}), 1u);
    EXPECT_EQ(screenshot_next_number({"config", "lastlog.txt"}), 1u);
    EXPECT_EQ(screenshot_next_number({"screenshot007.png", "screenshot002.png", "screenshots"}), 8u);
}
