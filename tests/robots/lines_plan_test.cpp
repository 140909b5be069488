#include <gtest/gtest.h>

#include <cmath>

#include "robots/lines.h"
#include "robots/robots_fixture.h"

namespace {

RacingLine line_of(const std::vector<LinePoint>& points, int tests = 0, int failures = 0, int avg = 0)
{
    RacingLine l;
    l.points = points;
    l.tests = tests;
    l.failures = failures;
    l.time_sum = tests * avg;
    return l;
}

TEST(LineCost, PlanTypesWeighFailuresAndRequireTests)
{
    struct Case {
        int type, tests, failures, avg;
        double cost;
    } cases[] = {
        {0, 4, 0, 100, LINE_NO_COST},  // too few tests for plans 0 and 1
        {1, 4, 0, 100, LINE_NO_COST},
        {0, 5, 0, 100, 100},
        {0, 5, 5, 100, 100 + 320},
        {1, 5, 5, 100, 100 + 640 * 0.5 * double(8.0f / 7.0f)},
        {2, 1, 0, 100, 100},
        {2, 0, 3, 100, LINE_NO_COST},
        {2, 2, 2, 100, 100 + 640},  // the fail share is capped at one
        // exploration: untried lines cost nothing, often-failed ones a lot
        {3, 0, 0, 0, 0},
        {3, 1, 0, 0, 5000},
        {3, 3, 1, 0, 7000},
        {3, 1, 6, 0, 100000},
        {3, 2, 4, 0, 9000},  // 4n < f fails: the bit-length cost
    };
    for (const Case& c : cases) {
        RacingLine l = line_of(robots_straight(0, 0, 3), c.tests, c.failures, c.avg);
        EXPECT_NEAR(line_cost(&l, c.type), c.cost, 1e-3)
            << "type " << c.type << " tests " << c.tests << " failures " << c.failures;
    }
}

std::vector<LinePoint> arc(double radius, double from, double step, int n, float speed = 20)
{
    std::vector<LinePoint> p;
    for (int i = 0; i < n; i++) {
        double a = from + step * i;
        p.push_back(LinePoint{float(radius * std::cos(a)), 0, float(radius * std::sin(a)), speed, 0});
    }
    return p;
}

TEST(LineCompatibility, NextLineMustContinueTheCurveAndSpeed)
{
    RacingLine straight = line_of(robots_straight(0, 0, 4));
    RacingLine bend = line_of(arc(20, 0, 0.2, 3));
    struct Case {
        const char* what;
        const RacingLine* a;
        std::vector<LinePoint> b;
        bool compatible;
    } cases[] = {
        {"straight on, one foot aside", &straight, robots_straight(1, -20, 3), true},
        {"straight on, three feet aside", &straight, robots_straight(3, -20, 3), false},
        {"much slower start", &straight, robots_straight(0, -20, 3, 4), false},
        {"airborne start at a fitting speed", &straight, robots_straight(0, -20, 3, -6), true},
        {"heading across", &straight, {{0, 0, -20, 20, 0}, {4, 0, -20, 20, 0}}, false},
        {"the bend goes on", &bend, arc(20, 0.6, 0.2, 3), true},
        {"a wider bend", &bend, arc(25, 0.6, 0.2, 3), false},
        {"one point only", &straight, robots_straight(0, -20, 1), false},
    };
    for (const Case& c : cases) {
        RacingLine b = line_of(c.b);
        EXPECT_EQ(lines_compatible(c.a, &b), c.compatible) << c.what;
    }
    RacingLine short_a = line_of(robots_straight(0, 0, 2));
    RacingLine b = line_of(robots_straight(0, -20, 3));
    EXPECT_FALSE(lines_compatible(&short_a, &b));
}

// One first-lap row and two normal-lap rows. Lines at x = 0 join each
// other, lines at x = 10 join each other, never across.
class LinePlan : public ::testing::Test {
protected:
    void SetUp() override
    {
        course = robots_course({0}, {1, 2});
        lines_table_init(&t, &course);
        u = robots_put(&t, 0, 0, robots_straight(10, 100, 4), 5, 0, 10)->id;
        v = robots_put(&t, 0, 1, robots_straight(0, 100, 4), 5, 0, 80)->id;
        p = robots_put(&t, 1, 0, robots_straight(0, 50, 4), 5, 0, 100)->id;
        q = robots_put(&t, 1, 1, robots_straight(10, 50, 4), 5, 0, 50)->id;
        r = robots_put(&t, 2, 0, robots_straight(0, 0, 4), 5, 0, 100)->id;
        s = robots_put(&t, 2, 1, robots_straight(10, 0, 4), 5, 0, 300)->id;
        w = robots_put(&t, 2, 2, robots_straight(0, 0, 4), 2, 0, 10)->id;  // fast, barely tested
    }
    GateCourse course;
    LineTable t;
    int u, v, p, q, r, s, w;
};

TEST_F(LinePlan, PicksTheCheapestCompatibleClosedChain)
{
    lines_analyze(&t, 0);
    // Q is the cheapest line of its row but only joins the slow S; the lap
    // closes through P and R, and the first lap must lead into P.
    EXPECT_EQ(t.plans[0], (std::vector<int>{v, p, r}));
    EXPECT_EQ(t.plans[1], (std::vector<int>{v, p, r}));
    // Plan 2 trusts a single test, so W wins its row, but a line with
    // fewer than five tests is never written into a plan.
    EXPECT_EQ(t.plans[2], (std::vector<int>{v, p, 0}));
    EXPECT_NE(w, 0);
}

TEST_F(LinePlan, ChainCostFromEachStartLine)
{
    EXPECT_DOUBLE_EQ(lines_chain_cost(&t, 1, 2, 0, 0), 200);  // P then R
    EXPECT_DOUBLE_EQ(lines_chain_cost(&t, 1, 2, 1, 0), 350);  // Q then S
    EXPECT_DOUBLE_EQ(lines_chain_cost(&t, 1, 2, 5, 0), -1);   // empty slot
    // Over three rows the chain wraps from the last row to the first
    // normal-lap row again.
    EXPECT_DOUBLE_EQ(lines_chain_cost(&t, 2, 3, 0, 0), 300);
}

TEST_F(LinePlan, RowsWithoutLinesDoNotBreakTheLap)
{
    lines_clear(&t);
    int only = robots_put(&t, 2, 4, robots_straight(0, 0, 4), 6, 0, 100)->id;
    lines_analyze(&t, 0);
    EXPECT_EQ(t.plans[0], (std::vector<int>{0, 0, only}));
}

}  // namespace
