#include "robots/learning.h"

#include <gtest/gtest.h>

#include <cmath>

#include "robots/personality.h"
#include "robots/robots_fixture.h"

namespace {

// A session of two riders on a course of three real gates per lap: slot 0
// a human, slot 1 a robot.
struct Rig {
    GateCourse course = robots_course({0, 1, 2}, {0, 1, 2});
    LineTable table;
    RaceTiming race;
    RaceProgress progress[2];
    LineRider riders[2];
    LearnView view{};
    Rig()
    {
        lines_table_init(&table, &course);
        view.table = &table;
        view.course = &course;
        view.race = &race;
        for (int i = 0; i < 2; i++) {
            view.progress[i] = &progress[i];
            view.riders[i] = &riders[i];
        }
        riders[1].personality = 1;
    }
    // Crosses gates passed + offset at a tick, as timing records it, then learns.
    void cross(int slot, int offset, int tick)
    {
        RaceProgress& p = progress[slot];
        int pos = p.gates_passed + offset;
        while (int(p.gate_times.size()) <= pos)
            p.gate_times.push_back(-1);
        p.gate_times[size_t(pos)] = tick;
        p.gates_passed = pos + 1;
        race.clock = tick;
        lines_learn_crossing(&view, slot, pos, offset);
        p.slowed = 0;
    }
    // A human rides three sample ticks of its current segment along x.
    void ride(int slot, float x)
    {
        int segment = segment_of(&course, progress[slot].gates_passed);
        for (int i = 0; i < 3; i++) {
            LineSampleInput in{{x, 0, -5.0 * i}, {0, 0, -20}, 0, true};
            lines_sample(&riders[slot], in, 32 * i, segment);
        }
    }
};

TEST(HumanLearning, CleanLapsBecomeLinesWithTheirTimes)
{
    Rig r;
    for (int pos = 0; pos < 6; pos++) {
        r.ride(0, float(pos));
        r.cross(0, 0, 1000 * (pos + 1));
    }
    // Each crossing offers the segment before the one just finished.
    for (int row = 0; row < 5; row++)
        EXPECT_EQ(lines_used_in_row(&r.table, row), 1) << row;
    EXPECT_EQ(lines_used_in_row(&r.table, 5), 0);
    const RacingLine* first = lines_slot(&r.table, 0, 0);
    EXPECT_EQ(first->recorded_time, 1000);  // from tick 0
    EXPECT_EQ(first->recorded_time2, 2000);
    EXPECT_FLOAT_EQ(first->points[0].x, 0);
    EXPECT_FLOAT_EQ(lines_slot(&r.table, 3, 0)->points[0].x, 3);
}

TEST(HumanLearning, CutSlowedAndTimingOnlyGates)
{
    Rig r;
    // Positions 0, 1, then 3 skipping 2, then 4, 5, 6.
    r.ride(0, 0);
    r.cross(0, 0, 1000);
    r.ride(0, 1);
    r.cross(0, 0, 2000);
    r.ride(0, 2);
    r.cross(0, 1, 3500);
    for (int pos = 4; pos <= 6; pos++) {
        r.ride(0, float(pos));
        r.cross(0, 0, 1000 * pos);
    }
    const int want[] = {1, 0, 0, 0, 1, 1};
    for (int row = 0; row < 6; row++)
        EXPECT_EQ(lines_used_in_row(&r.table, row), want[row]) << row;

    // A segment in which the rider slowed is never offered.
    Rig s;
    s.ride(0, 0);
    s.cross(0, 0, 1000);
    s.ride(0, 1);
    s.progress[0].slowed = 1;
    s.cross(0, 0, 2000);  // segment 1 spoilt
    s.ride(0, 2);
    s.cross(0, 0, 3000);  // offers segment 1: canceled
    s.ride(0, 3);
    s.cross(0, 0, 4000);
    EXPECT_EQ(lines_used_in_row(&s.table, 0), 1);
    EXPECT_EQ(lines_used_in_row(&s.table, 1), 0);
    EXPECT_EQ(lines_used_in_row(&s.table, 2), 1);

    // A timing-only gate inside a segment keeps its samples and times.
    Rig t;
    t.course = robots_course({0, TIMING_ONLY + 1, 2}, {0, 2});
    lines_table_init(&t.table, &t.course);
    for (int pos = 0; pos < 4; pos++) {
        t.ride(0, float(pos));
        t.cross(0, 0, 1000 * (pos + 1));
    }
    EXPECT_EQ(lines_used_in_row(&t.table, 0), 1);
    const RacingLine* l = lines_slot(&t.table, 0, 0);
    EXPECT_EQ(l->recorded_time, 1000);
    EXPECT_EQ(l->recorded_time2, 3000);  // through the timing-only gate
    EXPECT_EQ(l->points.size(), 3u);
}

TEST(LineOffer, DuplicatesAndSlowCandidatesAreRejected)
{
    Rig r;
    auto path = robots_straight(0, 0, 4);
    EXPECT_EQ(lines_offer(&r.table, 2, path, 500, 1000, 1), 0);
    EXPECT_EQ(lines_offer(&r.table, 2, path, 400, 900, 1), -1);
    auto near = robots_straight(0.05f, 0, 4);  // within 1/16 ft
    EXPECT_EQ(lines_offer(&r.table, 2, near, 400, 900, 1), -1);
    auto apart = robots_straight(0.1f, 0, 4);
    EXPECT_EQ(lines_offer(&r.table, 2, apart, 400, 900, 1), 1);

    // A full row of untested lines kept at 5/4 of their two-segment time.
    for (int k = 0; k < LINE_SLOTS; k++)
        robots_put(&r.table, 3, k, robots_straight(float(k) * 0.5f, 0, 3), 0, 0, 500);  // time 2: 1000
    EXPECT_EQ(lines_offer(&r.table, 3, robots_straight(99, 0, 3), 500, 1100, 1), -1);  // too slow
    int slot = lines_offer(&r.table, 3, robots_straight(99, 0, 3), 450, 900, 1);
    ASSERT_GE(slot, 0);
    const RacingLine* l = lines_slot(&r.table, 3, slot);
    EXPECT_EQ(l->recorded_time2, 900);
    EXPECT_EQ(l->tests, 0);
    EXPECT_EQ(l->best_time, LINE_EMPTY_TIME);
    EXPECT_EQ(l->id, r.table.next_id);
}

// A path 5 ft a point down -z that turns through `turn` radians on a circle
// of 20 ft radius halfway along.
std::vector<LinePoint> path_turning(float x, double turn)
{
    std::vector<LinePoint> p = robots_straight(x, 0, 10);
    double heading = -M_PI / 2, step = 5.0 / 20.0;
    int n = int(std::ceil(std::fabs(turn) / step));
    for (int i = 0; i < n; i++) {
        heading += turn / n;
        const LinePoint& q = p.back();
        p.push_back(LinePoint{q.x + float(5 * std::cos(heading)), 0, q.z + float(5 * std::sin(heading)), 20, 0});
    }
    for (int i = 0; i < 10; i++) {
        const LinePoint& q = p.back();
        p.push_back(LinePoint{q.x + float(5 * std::cos(heading)), 0, q.z + float(5 * std::sin(heading)), 20, 0});
    }
    return p;
}

TEST(LineOffer, APathThatLoopsRoundUnlikeTheRowsLinesIsRejected)
{
    // Candidates by their turn; the row holds two lines with a
    // quarter turn to the left.
    struct Case {
        double turn;
        bool taken;
    } cases[] = {{M_PI / 2 + 0.3, true}, {M_PI / 2 - 2.5, true}, {M_PI / 2 + 2 * M_PI, false},
                 {M_PI / 2 - 2 * M_PI, false}};
    for (const Case& c : cases) {
        Rig r;
        robots_put(&r.table, 1, 0, path_turning(0, M_PI / 2), 3, 0, 500);
        robots_put(&r.table, 1, 1, path_turning(3, M_PI / 2 + 0.2), 3, 0, 500);
        EXPECT_EQ(lines_offer(&r.table, 1, path_turning(6, c.turn), 450, 900, 1) >= 0, c.taken) << c.turn;
    }
    // A row with fewer than two lines has no usual line: a loop is taken,
    // and a bike standing still on the grid adds no turn.
    Rig r;
    robots_put(&r.table, 1, 0, path_turning(0, M_PI / 2), 3, 0, 500);
    EXPECT_GE(lines_offer(&r.table, 1, path_turning(3, 2 * M_PI), 450, 900, 1), 0);
    std::vector<LinePoint> waiting;
    for (int i = 0; i < 40; i++)
        waiting.push_back(LinePoint{float(0.1 * std::cos(i * 2.0)), 0, float(0.1 * std::sin(i * 2.0)), 0, 0});
    std::vector<LinePoint> quarter = path_turning(0, M_PI / 2);
    waiting.insert(waiting.end(), quarter.begin(), quarter.end());
    EXPECT_NEAR(line_net_turning(waiting), M_PI / 2, 0.05);
}

TEST(LineEviction, GoodLinesAreProtectedWhileFew)
{
    Rig r;
    auto start = robots_straight(0, 0, 3);
    // 15 good lines with the worst times, 30 that failed more than they passed.
    for (int k = 0; k < LINE_SLOTS; k++) {
        if (k < 15)
            robots_put(&r.table, 1, k, start, 5, 0, 2500);
        else
            robots_put(&r.table, 1, k, start, 1, 2, k == 20 ? 1500 : 1000);
    }
    EXPECT_EQ(line_evict_choice(&r.table, 1), 20);
    // With 23 or more good lines nothing is protected.
    for (int k = 15; k < 25; k++)
        robots_put(&r.table, 1, k, start, 5, 0, 2500);
    EXPECT_EQ(line_evict_choice(&r.table, 1), 0);

    // A line starting away from all others counts three quarters.
    Rig s;
    for (int k = 0; k < LINE_SLOTS; k++)
        robots_put(&s.table, 1, k, start, 1, 2, 1000);
    robots_put(&s.table, 1, 7, robots_straight(30, 0, 3), 1, 2, 1150);  // 2726 * 3/4
    robots_put(&s.table, 1, 9, start, 1, 2, 1100);                      // 2626
    EXPECT_EQ(line_evict_choice(&s.table, 1), 9);
    EXPECT_EQ(line_evict_choice(&s.table, 4), -1);
}

// A robot that rode line a in segment 0, b in 1 and c in 2, and is now
// close to its buffer at a speed its line allows.
struct RobotRig : Rig {
    RacingLine *a, *b, *c;
    RobotRig()
    {
        a = robots_put(&table, 0, 0, robots_straight(0, 0, 4), 0, 0, 0);
        b = robots_put(&table, 1, 0, robots_straight(0, 0, 4), 0, 0, 0);
        c = robots_put(&table, 2, 0, robots_straight(0, 0, 4), 0, 0, 0);
        LineRider& robot = riders[1];
        robot.remembered[0] = a->id;
        robot.remembered[1] = b->id;
        robot.remembered[2] = c->id;
        robot.buffer = robots_straight(0, 0, 6);
        robot.progress = 2.5;  // between points 1 and 2
        robot.position = {1, 0, -7};
        robot.velocity = {0, 0, -18};
    }
};

class RobotLearning : public ::testing::Test {
protected:
    RobotRig r;
    RacingLine*& a = r.a;
    RacingLine*& b = r.b;
};

TEST_F(RobotLearning, CleanRunOnTheLineIsCredited)
{
    r.cross(1, 0, 1000);
    EXPECT_EQ(a->tests, 0);  // segment 0 has no window yet
    r.cross(1, 0, 2500);
    EXPECT_EQ(a->tests, 1);
    EXPECT_EQ(a->time_sum, 1000);
    EXPECT_EQ(a->time_sum2, 2500);
    EXPECT_EQ(a->best_time, 1000);
    EXPECT_EQ(a->best_time2, 2500);
    EXPECT_EQ(r.riders[1].remembered[0], 0);
    EXPECT_EQ(r.riders[1].remembered[1], b->id);  // still riding it
    r.cross(1, 0, 3100);
    EXPECT_EQ(b->tests, 1);
    EXPECT_EQ(b->best_time2, 2100);
    EXPECT_EQ(b->failures, 0);
}

TEST(RobotFailures, OffTheLineTooFastOrMissingGatesAreFailures)
{
    struct Case {
        const char* what;
        Vec3 position, velocity;
        int skip;  // offset of the second crossing
        int a_failures, b_failures;
    } cases[] = {
        {"five feet aside", {5, 0, -7}, {0, 0, -18}, 0, 0, 1},
        {"faster than the line", {1, 0, -7}, {0, 0, -22}, 0, 0, 1},
        {"skipped a gate", {1, 0, -7}, {0, 0, -18}, 1, 0, 1},
    };
    for (const Case& k : cases) {
        RobotRig r;
        RacingLine* a = r.a;
        RacingLine* b = r.b;
        r.riders[1].position = k.position;
        r.riders[1].velocity = k.velocity;
        r.cross(1, 0, 1000);
        r.cross(1, k.skip, 2500);
        EXPECT_EQ(a->tests, 0) << k.what;
        EXPECT_EQ(a->failures, k.a_failures) << k.what;
        EXPECT_EQ(b->failures, k.b_failures) << k.what;
        for (int id : r.riders[1].remembered)
            EXPECT_EQ(id, 0) << k.what;
    }
}

TEST_F(RobotLearning, SlowingDownChargesTheCurrentLineAndARecentOne)
{
    r.cross(1, 0, 1000);  // now in segment 1
    r.race.clock = 1100;  // under a second after the gate
    lines_learn_slowed(&r.view, 1);
    EXPECT_EQ(b->failures, 1);
    EXPECT_EQ(a->failures, 1);
    EXPECT_EQ(r.riders[1].remembered[1], 0);

    r.riders[1].remembered[1] = b->id;
    r.riders[1].remembered[0] = a->id;
    r.race.clock = 1400;
    lines_learn_slowed(&r.view, 1);
    EXPECT_EQ(b->failures, 2);
    EXPECT_EQ(a->failures, 1);

    lines_learn_slowed(&r.view, 0);  // humans charge nothing
    EXPECT_EQ(b->failures, 2);
}

// Picking in row 1 of a course with a first-lap row and two normal rows.
class LinePick : public ::testing::Test {
protected:
    void SetUp() override
    {
        course = robots_course({0}, {1, 2});
        lines_table_init(&table, &course);
        view.table = &table;
        view.course = &course;
        view.race = &race;
        view.progress[0] = &progress[0];
        view.progress[1] = &progress[1];
        view.riders[0] = &riders[0];
        view.riders[1] = &riders[1];
        riders[1].position = {0, 0, 60};
        race.clock = 128 * 30;
    }
    // A line from (0, 0, 50) whose end drifts sideways by `drift` per point.
    std::vector<LinePoint> drifting(float drift)
    {
        auto p = robots_straight(0, 50, 5);
        for (size_t i = 0; i < p.size(); i++)
            p[i].x = drift * float(i);
        return p;
    }
    GateCourse course;
    LineTable table;
    RaceTiming race;
    RaceProgress progress[2];
    LineRider riders[2];
    LearnView view{};
};

TEST_F(LinePick, TesterPrefersUntriedLines)
{
    riders[1].personality = personality_find("tester");
    robots_put(&table, 1, 0, drifting(0), 10, 0, 100);
    robots_put(&table, 1, 1, drifting(5), 0, 0, 0);
    EXPECT_EQ(line_pick(&view, 1, 1), 1);
}

TEST_F(LinePick, PlanPullGrowsFromFortyToSixtySeconds)
{
    riders[1].personality = personality_find("dunsa");
    RacingLine* planned = robots_put(&table, 1, 0, drifting(0), 5, 0, 200);
    robots_put(&table, 1, 1, drifting(5), 5, 0, 100);
    table.plans[0][1] = planned->id;
    const int clocks[][2] = {{30, 1}, {50, 1}, {60, 0}, {90, 0}};
    for (auto& c : clocks) {
        race.clock = 128 * c[0];
        for (int k = 0; k < 2; k++)
            lines_slot(&table, 1, k)->last_picked = 0;
        EXPECT_EQ(line_pick(&view, 1, 1), c[1]) << c[0] << " s";
    }
}

TEST_F(LinePick, RecentPicksWaitAndMarkLinesEndingNearby)
{
    riders[1].personality = 1;
    RacingLine* fast = robots_put(&table, 1, 0, drifting(0), 5, 0, 100);
    RacingLine* slow = robots_put(&table, 1, 1, drifting(5), 5, 0, 150);
    auto near_end = robots_straight(40, 20, 6);
    near_end.back() = fast->points.back();
    near_end.back().x += 1;
    RacingLine* neighbour = robots_put(&table, 1, 2, near_end, 5, 0, 400);
    EXPECT_EQ(line_pick(&view, 1, 1), 0);
    EXPECT_EQ(fast->last_picked, race.clock);
    EXPECT_EQ(neighbour->last_picked, race.clock);
    EXPECT_EQ(slow->last_picked, 0);
    // Picked just now: the other line wins until three seconds have passed.
    EXPECT_EQ(line_pick(&view, 1, 1), 1);
    race.clock += 3 * 128;
    EXPECT_EQ(line_pick(&view, 1, 1), 0);
}

TEST_F(LinePick, MatchFollowsThePathBeingRidden)
{
    riders[1].personality = 1;
    riders[1].buffer = robots_straight(0, 80, 6);  // ends at z = 55 heading -z
    robots_put(&table, 1, 0, robots_straight(20, 50, 5), 5, 0, 100);
    robots_put(&table, 1, 1, robots_straight(0, 50, 5), 5, 0, 100);
    EXPECT_EQ(line_pick(&view, 1, 1), 1);
}

TEST_F(LinePick, LeadingComfortablyChangesThePlanType)
{
    riders[1].personality = personality_find("pelko");
    race.standings_count = 2;
    race.standings[0].slot = 1;
    race.standings[1].slot = 0;
    progress[0].gates_passed = 2;
    progress[0].gate_times = {1000, 3000};
    progress[1].gates_passed = 3;
    progress[1].gate_times = {900, 3000 - 12 * 128, 3000};
    EXPECT_EQ(line_plan_type(&view, 1), 1);
    progress[1].gate_times[1] = 3000 - 5 * 128;
    EXPECT_EQ(line_plan_type(&view, 1), 2);
    race.standings[0].slot = 0;
    race.standings[1].slot = 1;
    EXPECT_EQ(line_plan_type(&view, 1), 2);
}

TEST_F(LinePick, NothingToPick)
{
    riders[1].personality = 1;
    EXPECT_EQ(line_pick(&view, 1, 1), -1);  // empty row
    robots_put(&table, 1, 3, drifting(0), 0, 0, 0);
    EXPECT_EQ(line_pick(&view, 1, 1), 3);  // the only line, even untested
    progress[1].finished = true;
    EXPECT_EQ(line_pick(&view, 1, 1), -1);
}

TEST(Personality, NamesAndFallback)
{
    LineRider r;
    personality_set(&r, "wober");
    EXPECT_EQ(r.personality, 3);
    EXPECT_DOUBLE_EQ(personality_get(3)->drive[1], 0.1);
    personality_set(&r, "nobody");
    EXPECT_EQ(r.personality, 1);
    EXPECT_EQ(personality_find("tester"), 4);
    EXPECT_EQ(personality_get(PERSONALITY_COUNT), nullptr);
}

}  // namespace
