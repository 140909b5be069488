#include "robots/lines.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "files/stream.h"
#include "robots/robots_fixture.h"
#include "test_support.h"

namespace {

// First lap 0, 1(timing only), 2; normal lap 3, 4(timing only), 5, 0:
// two first-lap rows and three normal-lap rows.
GateCourse mixed_course()
{
    return robots_course({0, TIMING_ONLY + 1, 2}, {3, TIMING_ONLY + 4, 5, 0});
}

TEST(LineSegments, RowsSkipTimingOnlyGatesAndWrapLaterLaps)
{
    GateCourse c = mixed_course();
    LineTable t;
    lines_table_init(&t, &c);
    EXPECT_EQ(t.first_rows, 2);
    EXPECT_EQ(t.normal_rows, 3);
    EXPECT_EQ(lines_row_count(&t), 5);
    // gates passed -> segment index
    const int segment[][2] = {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 3}, {5, 3}, {6, 4},
                              {7, 5}, {8, 6}, {9, 6}, {10, 7}, {11, 8}};
    for (auto& s : segment)
        EXPECT_EQ(segment_of(&c, s[0]), s[1]) << "gates passed " << s[0];
    // segment index -> row: later laps reuse the normal-lap rows
    const int row[][2] = {{0, 0}, {1, 1}, {2, 2}, {4, 4}, {5, 2}, {6, 3}, {8, 2}};
    for (auto& r : row)
        EXPECT_EQ(segment_row(&t, r[0]), r[1]) << "segment " << r[0];
    EXPECT_EQ(lines_next_row(&t, 1), 2);
    EXPECT_EQ(lines_next_row(&t, 4), 2);

    GateCourse none;
    lines_table_init(&t, &none);
    EXPECT_EQ(lines_row_count(&t), 0);
}

TEST(LineSampling, EveryThirtySecondTickIntoTheSegmentParityForHumansOnly)
{
    LineRider human, robot;
    robot.personality = 2;
    LineSampleInput in{{1, 2, 3}, {3, 0, -4}, 0.25, false};
    for (int clock = 0; clock < 96; clock++) {
        lines_sample(&human, in, clock, 3);
        lines_sample(&robot, in, clock, 3);
    }
    ASSERT_EQ(human.samples[1].size(), 3u);
    EXPECT_TRUE(human.samples[0].empty());
    EXPECT_TRUE(robot.samples[1].empty());
    const LinePoint& p = human.samples[1][0];
    EXPECT_FLOAT_EQ(p.speed, -5);  // airborne points carry negative speed
    EXPECT_FLOAT_EQ(p.lean, 0.25f);
    EXPECT_FLOAT_EQ(p.z, 3);
    EXPECT_DOUBLE_EQ(robot.position.y, 2);  // motion is kept for every rider
}

// Points the user folder at a scratch folder for one test.
struct UserFolder {
    std::string dir, saved;
    bool had;
    explicit UserFolder(const char* tag) : dir(test_scratch_dir(tag))
    {
        const char* old = std::getenv("XDG_DATA_HOME");
        had = old != nullptr;
        saved = old ? old : "";
        setenv("XDG_DATA_HOME", dir.c_str(), 1);
        data_paths_reset();
    }
    ~UserFolder()
    {
        if (had)
            setenv("XDG_DATA_HOME", saved.c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
        data_paths_reset();
    }
};

class LineFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        course = mixed_course();
        lines_table_init(&table, &course);
    }
    bool read_text(const std::string& text)
    {
        lines_clear(&table);
        Stream* s = stream_open_memory(text.data(), text.size(), false);
        bool ok = lines_read(&table, s, 0);
        stream_close(s);
        return ok;
    }
    GateCourse course;
    LineTable table;
};

TEST_F(LineFiles, RoundTripKeepsPointsAndStatistics)
{
    RacingLine* a = robots_put(&table, 0, 0, robots_straight(1.5f, -2.25f, 4, 30.5f), 7, 2, 900);
    a->best_time = 880;
    a->best_time2 = 1700;
    a->points[2].speed = -12.75f;
    robots_put(&table, 4, 3, robots_straight(-8, 10, 2), 0, 1, 700);
    std::string dir = test_scratch_dir("robots_lines_roundtrip");
    Stream* out = stream_open((dir + "lines").c_str(), "wb");
    ASSERT_TRUE(out);
    EXPECT_TRUE(lines_write(&table, out));
    stream_close(out);
    std::string text = test_read_file(dir + "lines");
    EXPECT_EQ(text.substr(0, 8), "ct03 5\n1");

    LineTable back;
    lines_table_init(&back, &course);
    Stream* in = stream_open((dir + "lines").c_str(), "rb");
    ASSERT_TRUE(lines_read(&back, in, 0));
    stream_close(in);
    const RacingLine* b = lines_slot(&back, 0, 0);
    ASSERT_EQ(b->points.size(), 4u);
    EXPECT_FLOAT_EQ(b->points[3].z, -17.25f);
    EXPECT_FLOAT_EQ(b->points[2].speed, -12.75f);
    EXPECT_EQ(b->tests, 7);
    EXPECT_EQ(b->failures, 2);
    EXPECT_EQ(b->time_sum, 6300);
    EXPECT_EQ(b->time_sum2, 12600);
    EXPECT_EQ(b->best_time, 880);
    EXPECT_EQ(b->best_time2, 1700);
    EXPECT_EQ(b->recorded_time2, 1800);
    // Slots are written in order and come back packed from slot 0.
    const RacingLine* c = lines_slot(&back, 4, 0);
    EXPECT_EQ(c->points.size(), 2u);
    EXPECT_EQ(c->failures, 1);
    EXPECT_NE(b->id, 0);
    EXPECT_NE(c->id, b->id);
    EXPECT_EQ(lines_used_in_row(&back, 1), 0);
}

TEST_F(LineFiles, MalformedFilesFailCleanly)
{
    const std::string one_line = "1\n2 100 200 0 1000000 1000000 0 0 0\n[1 2 3] 4 5\n[1 2 4] 4 5\n";
    struct Case {
        const char* what;
        std::string text;
        int lines_kept;  // in row 0
    } cases[] = {
        {"empty", "", 0},
        {"wrong magic", "ct02 5\n", 0},
        {"other row count", "ct03 4\n" + one_line, 0},
        {"truncated point list", "ct03 5\n1\n3 100 200 0 1 1 0 0 0\n[1 2 3] 4 5\n[1 2", 0},
        {"truncated statistics", "ct03 5\n" + one_line + "1\n3 100 200", 1},
        {"negative point count", "ct03 5\n1\n-3 100 200 0 1 1 0 0 0\n", 0},
        {"absurd point count", "ct03 5\n1\n2000000000 100 200 0 1 1 0 0 0\n", 0},
        {"absurd line count", "ct03 5\n2000000000\n", 0},
        {"letters for numbers", "ct03 5\n1\nx\n", 0},
        {"row count missing", "ct03 5\n" + one_line, 1},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(read_text(c.text)) << c.what;
        EXPECT_EQ(lines_used_in_row(&table, 0), c.lines_kept) << c.what;
        for (int row = 1; row < 5; row++)
            EXPECT_EQ(lines_used_in_row(&table, row), 0) << c.what;
    }
}

TEST_F(LineFiles, RowsKeepTheirFirstFortyFiveLines)
{
    std::string text = "ct03 5\n50\n";
    for (int k = 0; k < 50; k++)
        text += "1 " + std::to_string(100 + k) + " 200 0 1000000 1000000 0 0 0\n[0 0 0] 1 0\n";
    text += "0\n0\n0\n1\n1 5 5 0 5 5 0 0 0\n[9 9 9] 1 0\n";
    ASSERT_TRUE(read_text(text));
    EXPECT_EQ(lines_used_in_row(&table, 0), LINE_SLOTS);
    EXPECT_EQ(lines_slot(&table, 0, 44)->recorded_time, 144);
    EXPECT_FLOAT_EQ(lines_slot(&table, 4, 0)->points[0].x, 9);
}

TEST_F(LineFiles, LoadedStatisticsAreHalvedKeepingAverages)
{
    struct Case {
        int tests, sum, sum2, failures;
        int want_tests, want_sum, want_sum2, want_failures;
    } cases[] = {
        {200000, 2000000, 4000000, 10, 50000, 500000, 1000000, 2},  // two halvings
        {10, 99999, 200000000, 3, 5, 49995, 100000000, 1},          // sum 2 too large
        {1, 50, 300000000, 70000, 1, 50, 100000000, 1},            // can't halve one test
        {3, 30, 60, 0, 3, 30, 60, 0},                               // in range: unchanged
    };
    for (const Case& c : cases) {
        RacingLine l;
        l.tests = c.tests;
        l.time_sum = c.sum;
        l.time_sum2 = c.sum2;
        l.failures = c.failures;
        line_normalise(&l);
        EXPECT_EQ(l.tests, c.want_tests);
        EXPECT_EQ(l.time_sum, c.want_sum);
        EXPECT_EQ(l.time_sum2, c.want_sum2);
        EXPECT_EQ(l.failures, c.want_failures);
    }
}

TEST_F(LineFiles, SaveAndLoadThroughTheUserFolderPerSkill)
{
    UserFolder user("robots_lines_user");
    const std::string& dir = user.dir;

    robots_put(&table, 2, 0, robots_straight(0, 0, 3), 5, 0, 500);
    EXPECT_TRUE(lines_save(&table, "oakbasin", 1));
    EXPECT_FALSE(test_read_file(dir + "kestrum/oakbasin/lines_amateur").empty());

    LineTable back;
    lines_table_init(&back, &course);
    EXPECT_FALSE(lines_load(&back, "oakbasin", 0, 0));  // no novice file
    EXPECT_TRUE(lines_load(&back, "oakbasin", 1, 0));
    EXPECT_EQ(lines_slot(&back, 2, 0)->tests, 5);

    // The same track with one more normal-lap gate ignores the old file.
    GateCourse changed = robots_course({0, TIMING_ONLY + 1, 2}, {3, 4, 5, 0});
    LineTable other;
    lines_table_init(&other, &changed);
    EXPECT_FALSE(lines_load(&other, "oakbasin", 1, 0));
    for (int row = 0; row < lines_row_count(&other); row++)
        EXPECT_EQ(lines_used_in_row(&other, row), 0);
}

TEST_F(LineFiles, SessionSwitchSavesTheSkillInUseWhenLearning)
{
    UserFolder user("robots_lines_session");
    int loaded = -1;
    lines_session_switch(&table, "oakbasin", &loaded, 0, true, 0);
    EXPECT_EQ(loaded, 0);
    int id = robots_put(&table, 2, 0, robots_straight(0, 0, 4), 6, 0, 500)->id;
    EXPECT_NE(id, 0);
    lines_session_switch(&table, "oakbasin", &loaded, 2, true, 0);
    EXPECT_EQ(lines_used_in_row(&table, 2), 0);
    lines_session_switch(&table, "oakbasin", &loaded, 0, true, 0);
    ASSERT_EQ(lines_used_in_row(&table, 2), 1);
    EXPECT_EQ(table.plans[0][2], lines_slot(&table, 2, 0)->id);  // plans rebuilt

    // Without learning nothing is written.
    lines_slot(&table, 2, 0)->tests = 9;
    lines_session_end(&table, "oakbasin", loaded, false);
    lines_session_switch(&table, "oakbasin", &loaded, 0, false, 0);
    EXPECT_EQ(lines_slot(&table, 2, 0)->tests, 6);
    EXPECT_TRUE(test_read_file(user.dir + "kestrum/oakbasin/lines_amateur").empty());
}

}  // namespace
