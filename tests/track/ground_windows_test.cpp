// The ground texture windows as the camera moves: which textures keep their
// content, which must be composed, and in what order.
#include "track/ground_windows.h"

#include <gtest/gtest.h>

namespace {

constexpr int ORDER = 9;  // 1024 cells a side

struct Windows {
    GroundWindows w;
    Windows()
    {
        int ids[GROUND_WINDOW_LEVELS * GROUND_WINDOW_SLOTS];
        for (int i = 0; i < GROUND_WINDOW_LEVELS * GROUND_WINDOW_SLOTS; i++)
            ids[i] = 100 + i;
        ground_windows_reset(&w, ids);
    }
    int not_ready(int min_level = 0) const
    {
        int n = 0;
        for (int t = min_level; t < GROUND_WINDOW_LEVELS; t++)
            for (bool r : w.ready[t])
                n += !r;
        return n;
    }
    // Composes everything missing, as frames would one at a time.
    int fill(int min_level = 0)
    {
        int frames = 0;
        while (ground_windows_next(&w, min_level).any)
            frames++;
        return frames;
    }
};

}  // namespace

TEST(GroundWindows, AfterLoadSlotsFillOnePerFrameCoarsestFirst)
{
    Windows g;
    ground_windows_move(&g.w, 500, 500, ORDER);
    EXPECT_EQ(g.not_ready(), 96);
    int last_level = GROUND_WINDOW_LEVELS;
    for (int frame = 0; frame < 96; frame++) {
        GroundWindowJob job = ground_windows_next(&g.w, 0);
        ASSERT_TRUE(job.any);
        EXPECT_LE(job.level, last_level);  // never back to a coarser level
        if (job.level < last_level) {
            EXPECT_EQ(job.slot, 0);  // each level from its first slot, row by row
        }
        last_level = job.level;
        EXPECT_EQ(job.tiles, 1 << job.level);
        EXPECT_EQ(g.not_ready(), 95 - frame);
    }
    EXPECT_FALSE(ground_windows_next(&g.w, 0).any);

    // A coarser minimum level leaves the finer ones alone.
    Windows coarse;
    ground_windows_move(&coarse.w, 500, 500, ORDER);
    EXPECT_EQ(coarse.fill(2), 64);
    EXPECT_EQ(coarse.not_ready(2), 0);
    EXPECT_EQ(coarse.not_ready(), 32);
}

TEST(GroundWindows, MovingTheCameraKeepsTexturesStillInside)
{
    // From cell 447 one cell on changes no window and two cells on move
    // only level 0's.
    Windows g;
    ground_windows_move(&g.w, 447, 447, ORDER);
    g.fill();
    ground_windows_move(&g.w, 448, 448, ORDER);
    EXPECT_EQ(g.not_ready(), 0);

    // Two cells on along x: level 0 moves one texture, the others stay.
    int ox = g.w.origin_x[0];
    int old_ids[GROUND_WINDOW_SLOTS];
    for (int k = 0; k < GROUND_WINDOW_SLOTS; k++)
        old_ids[k] = g.w.texture[0][k];
    ground_windows_move(&g.w, 449, 448, ORDER);
    ASSERT_EQ(g.w.origin_x[0], ox + 1);
    EXPECT_EQ(g.not_ready(), 4);  // the column that entered
    for (int row = 0; row < 4; row++) {
        for (int col = 0; col < 3; col++) {
            EXPECT_EQ(g.w.texture[0][row * 4 + col], old_ids[row * 4 + col + 1]);  // slid left, content kept
            EXPECT_TRUE(g.w.ready[0][row * 4 + col]);
        }
        EXPECT_FALSE(g.w.ready[0][row * 4 + 3]);
        EXPECT_EQ(g.w.texture[0][row * 4 + 3], old_ids[row * 4]);  // the id that left, reused
    }
    GroundWindowJob job = ground_windows_next(&g.w, 0);
    EXPECT_EQ(job.level, 0);
    EXPECT_EQ(job.slot, 3);
    EXPECT_EQ(job.first_tile_x, ox + 4);  // level-0 textures are one tile wide
    EXPECT_EQ(job.tiles, 1);

    // A jump to a far corner leaves nothing of the old windows, and at the
    // grid's edge the windows stop at its border.
    ground_windows_move(&g.w, 0, 1023, ORDER);
    EXPECT_EQ(g.not_ready(), 96);
    EXPECT_EQ(g.w.origin_x[0], 0);
    EXPECT_EQ(g.w.origin_z[0], (1 << ORDER) - 4);
}

TEST(GroundWindows, StaleSlotsAreRedoneOldestFirstAfterTheMissingOnes)
{
    Windows g;
    ground_windows_move(&g.w, 447, 447, ORDER);
    g.fill();
    // A decal on one cell touches one slot at each level.
    ground_windows_mark_stale(&g.w, 447, 447, 447, 447, 7);
    ground_windows_mark_stale(&g.w, 447, 447, 447, 447, 9);  // already stamped: stays 7
    int stamped = 0;
    for (int t = 0; t < GROUND_WINDOW_LEVELS; t++)
        for (int s : g.w.stale[t]) {
            stamped += s != 0;
            if (s != 0) {
                EXPECT_EQ(s, 7);
            }
        }
    EXPECT_EQ(stamped, 6);
    // A later change elsewhere is redone after the older one.
    ground_windows_mark_stale(&g.w, 430, 430, 430, 430, 8);
    GroundWindows before = g.w;
    GroundWindowJob first = ground_windows_next(&g.w, 0);
    ASSERT_TRUE(first.any);
    EXPECT_EQ(before.stale[first.level][first.slot], 7);
    EXPECT_EQ(g.w.stale[first.level][first.slot], 0);
    int frames = 1 + g.fill();
    EXPECT_GE(frames, 6);
    for (int t = 0; t < GROUND_WINDOW_LEVELS; t++)
        for (int s : g.w.stale[t])
            EXPECT_EQ(s, 0);

    // A missing texture comes before any stale one.
    ground_windows_mark_stale(&g.w, 447, 447, 447, 447, 20);
    ground_windows_move(&g.w, 449, 448, ORDER);
    GroundWindowJob job = ground_windows_next(&g.w, 0);
    EXPECT_EQ(job.level, 0);  // the entered level-0 column, not a stamped coarser slot
}
