// Small hand-made courses and lines for the racing-line tests.
#pragma once
#include <cmath>
#include <vector>

#include "race/timing.h"
#include "robots/lines.h"

// A course from raw first-lap and normal-lap entries (TIMING_ONLY marks
// allowed); the gates themselves never matter to line learning.
inline GateCourse robots_course(const std::vector<int>& first, const std::vector<int>& normal)
{
    GateCourse c;
    c.gates.resize(8);
    c.sequence = first;
    c.sequence.insert(c.sequence.end(), normal.begin(), normal.end());
    c.first_count = int(first.size());
    c.normal_count = int(normal.size());
    for (int e : first)
        c.first_real += e < TIMING_ONLY;
    for (int e : normal)
        c.normal_real += e < TIMING_ONLY;
    return c;
}

// A straight line at constant x running from z0 towards -z, one point per
// 5 ft.
inline std::vector<LinePoint> robots_straight(float x, float z0, int n, float speed = 20)
{
    std::vector<LinePoint> p;
    for (int i = 0; i < n; i++)
        p.push_back(LinePoint{x, 0, z0 - 5.0f * float(i), speed, 0});
    return p;
}

// Puts a line into a slot with tests, failures and a per-test segment time.
inline RacingLine* robots_put(LineTable* t, int row, int slot, const std::vector<LinePoint>& points, int tests,
                              int failures, int avg_time)
{
    RacingLine* l = lines_slot(t, row, slot);
    line_reset(l);
    l->points = points;
    l->tests = tests;
    l->failures = failures;
    l->time_sum = tests * avg_time;
    l->time_sum2 = tests * avg_time * 2;
    l->recorded_time = avg_time;
    l->recorded_time2 = avg_time * 2;
    l->id = lines_new_id(t);
    return l;
}
