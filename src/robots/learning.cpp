// Learning at gate crossings: human laps become candidate lines, robot runs
// credit or charge the lines they rode.
#include "robots/learning.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "platform/log.h"

namespace {

constexpr int FAIL_TICKS = 640;  // five seconds

int saturate(long long v)
{
    return int(std::max<long long>(INT_MIN, std::min<long long>(INT_MAX, v)));
}

int time_at(const RaceProgress* p, int position)
{
    return position < 0 ? 0 : gate_time(p, position);
}

// The real gate before a position; positions below 0 keep counting down so
// the window's positions stay distinct.
int previous_real(const GateCourse* c, int position)
{
    int q = position - 1;
    while (q >= 0 && !course_position_is_segment(c, q))
        q--;
    return q;
}

RacingLine* line_by_id(LineTable* t, int row, int id)
{
    int k = lines_find_id(t, row, id);
    return k < 0 ? nullptr : lines_slot(t, row, k);
}

void charge(LineTable* t, int segment, int id)
{
    if (segment < 0 || id == 0)
        return;
    if (RacingLine* l = line_by_id(t, segment_row(t, segment), id))
        l->failures = saturate((long long)l->failures + 1);
}

void forget_all(LineRider* r)
{
    for (int& id : r->remembered)
        id = 0;
}

double distance3(double ax, double ay, double az, double bx, double by, double bz)
{
    double dx = bx - ax, dy = by - ay, dz = bz - az;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Whether a robot crossed its gate on its line and not faster than it:
// close to the stretch of buffer around its progress, and that stretch's
// speed at least 15/16 of the robot's.
bool robot_on_line(const LineRider* r)
{
    const auto& b = r->buffer;
    if (b.size() < 2)
        return false;
    long n = long(std::floor(r->progress));
    n = std::max(1L, std::min(n, long(b.size()) - 1));
    const LinePoint& a = b[size_t(n - 1)];
    const LinePoint& c = b[size_t(n)];
    Vec3 p = r->position;
    double ux = double(c.x) - a.x, uy = double(c.y) - a.y, uz = double(c.z) - a.z;
    double wx = p.x - a.x, wy = p.y - a.y, wz = p.z - a.z;
    double uu = ux * ux + uy * uy + uz * uz;
    double dist;
    if (uu < 1e-12) {
        dist = std::sqrt(wx * wx + wy * wy + wz * wz);
    } else {
        double s = (wx * ux + wy * uy + wz * uz) / uu;
        dist = distance3(a.x + s * ux, a.y + s * uy, a.z + s * uz, p.x, p.y, p.z);
    }
    double speed = std::sqrt(r->velocity.x * r->velocity.x + r->velocity.y * r->velocity.y +
                             r->velocity.z * r->velocity.z);
    double line_speed = std::max(std::fabs(double(a.speed)), std::fabs(double(c.speed)));
    return dist <= 4 && line_speed >= 0.9375 * speed;
}

void learn_human(LearnView* v, LineRider* r, const RaceProgress* p, int position, int offset)
{
    int k = segment_of(v->course, position);
    if (p->slowed)
        r->cancel_mask |= 1 << (k & 1);
    if (offset != 0) {
        r->samples[0].clear();
        r->samples[1].clear();
        return;
    }
    // Timing-only gates neither end a segment nor start one.
    if (!course_position_is_segment(v->course, position))
        return;
    TimeWindow w = learn_time_window(v->course, p, position);
    if (k >= 1 && w.clean) {
        int parity = (k - 1) & 1;
        int row = segment_row(v->table, k - 1);
        const auto& buf = r->samples[parity];
        if (buf.empty() || (r->cancel_mask & (1 << parity))) {
            if (v->debug_level >= 1)
                log_printf("auto pilot: %d canceled\n", row);
        } else {
            lines_offer(v->table, row, buf, w.t1 - w.t0, w.t2 - w.t0, v->debug_level);
        }
    }
    int next = (k + 1) & 1;
    r->samples[next].clear();
    r->cancel_mask &= ~(1 << next);
}

void learn_robot(LearnView* v, LineRider* r, const RaceProgress* p, int position)
{
    if (!course_position_is_segment(v->course, position))
        return;
    int k = segment_of(v->course, position);
    if (k < 1)
        return;
    TimeWindow w = learn_time_window(v->course, p, position);
    bool on_line = robot_on_line(r);
    if (on_line && w.clean) {
        int& id = r->remembered[(k - 1) & 3];
        if (RacingLine* l = id ? line_by_id(v->table, segment_row(v->table, k - 1), id) : nullptr) {
            int t1 = w.t1 - w.t0, t2 = w.t2 - w.t0;
            l->tests = saturate((long long)l->tests + 1);
            l->best_time = std::min(l->best_time, t1);
            l->best_time2 = std::min(l->best_time2, t2);
            l->time_sum = saturate((long long)l->time_sum + t1);
            l->time_sum2 = saturate((long long)l->time_sum2 + t2);
        }
        id = 0;
    } else if (!w.clean) {
        int s = segment_of(v->course, w.first_missing);
        charge(v->table, s, r->remembered[s & 3]);
        forget_all(r);
    } else {
        charge(v->table, k, r->remembered[k & 3]);
        forget_all(r);
    }
}

// A candidate whose path turns through half a circle more or less than the
// row's usual line went round a loop somewhere (a rider circling back to
// the course); riding it, robots circle too and never reach the next gate.
bool winds_unlike_row(const LineTable* t, int row, const std::vector<LinePoint>& points)
{
    std::vector<double> turns;
    for (int k = 0; k < LINE_SLOTS; k++) {
        const RacingLine* l = lines_slot(t, row, k);
        if (l && !l->points.empty())
            turns.push_back(line_net_turning(l->points));
    }
    // With fewer than two lines there is no usual line to compare with.
    if (turns.size() < 2)
        return false;
    std::sort(turns.begin(), turns.end());
    size_t n = turns.size();
    double median = n % 2 ? turns[n / 2] : 0.5 * (turns[n / 2 - 1] + turns[n / 2]);
    return std::fabs(line_net_turning(points) - median) > M_PI;
}

}  // namespace

double line_net_turning(const std::vector<LinePoint>& points)
{
    // Steps shorter than a foot (a bike waiting on the grid, creeping out of
    // a crash) carry no heading worth counting.
    constexpr double MIN_STEP = 1.0;
    double total = 0, last_heading = 0;
    bool have_heading = false;
    size_t from = 0;
    for (size_t i = 1; i < points.size(); i++) {
        double dx = double(points[i].x) - points[from].x, dz = double(points[i].z) - points[from].z;
        if (dx * dx + dz * dz < MIN_STEP * MIN_STEP)
            continue;
        double heading = std::atan2(dz, dx);
        if (have_heading)
            total += std::remainder(heading - last_heading, 2 * M_PI);
        last_heading = heading;
        have_heading = true;
        from = i;
    }
    return total;
}

TimeWindow learn_time_window(const GateCourse* c, const RaceProgress* p, int position)
{
    TimeWindow w;
    w.r2 = position;
    w.r1 = position <= 0 ? position - 1 : previous_real(c, position);
    w.r0 = w.r1 <= 0 ? w.r1 - 1 : previous_real(c, w.r1);
    w.t0 = time_at(p, w.r0);
    w.t1 = time_at(p, w.r1);
    w.t2 = time_at(p, w.r2);
    w.clean = true;
    w.first_missing = -1;
    for (int q = std::max(w.r0, 0); q <= w.r2; q++) {
        if (gate_time(p, q) < 0) {
            w.clean = false;
            w.first_missing = q;
            break;
        }
    }
    return w;
}

void lines_learn_crossing(LearnView* v, int slot, int position, int offset)
{
    if (slot < 0 || slot >= MAX_RACE_SLOTS || !v->table || lines_row_count(v->table) == 0)
        return;
    LineRider* r = v->riders[slot];
    const RaceProgress* p = v->progress[slot];
    if (!r || !p)
        return;
    if (r->personality == 0)
        learn_human(v, r, p, position, offset);
    else
        learn_robot(v, r, p, position);
}

void lines_timing_hook(void* learn_view, const TimingCrossing& c)
{
    lines_learn_crossing(static_cast<LearnView*>(learn_view), c.slot, c.position, c.skipped);
}

void lines_learn_slowed(LearnView* v, int slot)
{
    if (slot < 0 || slot >= MAX_RACE_SLOTS || !v->table || lines_row_count(v->table) == 0)
        return;
    LineRider* r = v->riders[slot];
    const RaceProgress* p = v->progress[slot];
    if (!r || !p || r->personality == 0)
        return;
    int g = p->gates_passed;
    int s = segment_of(v->course, g);
    charge(v->table, s, r->remembered[s & 3]);
    int last = g >= 1 ? gate_time(p, g - 1) : -1;
    if (s >= 1 && last >= 0 && v->race->clock - last < 128)
        charge(v->table, s - 1, r->remembered[(s - 1) & 3]);
    forget_all(r);
}

int line_keep_value(const RacingLine* l)
{
    long long v;
    if (l->tests <= 0) {
        v = (long long)l->recorded_time2 * 5 / 4 + (l->failures > 0 ? FAIL_TICKS : 0);
    } else {
        v = l->time_sum2 / l->tests + (long long)FAIL_TICKS * l->failures / ((long long)l->tests + l->failures);
    }
    return saturate(v);
}

int line_evict_choice(const LineTable* t, int row)
{
    int value[LINE_SLOTS];
    bool used[LINE_SLOTS];
    int good = 0;
    for (int k = 0; k < LINE_SLOTS; k++) {
        const RacingLine* l = lines_slot(t, row, k);
        used[k] = l && !l->points.empty();
        if (!used[k])
            continue;
        value[k] = line_keep_value(l);
        good += l->failures < l->tests;
        // A line that starts far from every other is the row's only way
        // through there: it is kept more readily.
        const LinePoint& a = l->points[0];
        bool alone = true;
        for (int j = 0; j < LINE_SLOTS && alone; j++) {
            const RacingLine* o = lines_slot(t, row, j);
            if (j == k || !o || o->points.empty())
                continue;
            const LinePoint& b = o->points[0];
            alone = distance3(a.x, a.y, a.z, b.x, b.y, b.z) > 2;
        }
        if (alone)
            value[k] = saturate((long long)value[k] * 3 / 4);
    }
    bool protect = good < 23;
    int choice = -1;
    for (int k = 0; k < LINE_SLOTS; k++) {
        if (!used[k])
            continue;
        const RacingLine* l = lines_slot(t, row, k);
        if (protect && l->failures < l->tests)
            continue;
        if (choice < 0 || value[k] > value[choice])
            choice = k;
    }
    if (choice < 0) {
        // Every line is protected (only in rows that are not full).
        for (int k = 0; k < LINE_SLOTS; k++)
            if (used[k] && (choice < 0 || value[k] > value[choice]))
                choice = k;
    }
    return choice;
}

int lines_offer(LineTable* t, int row, const std::vector<LinePoint>& points, int time1, int time2, int debug_level)
{
    if (row < 0 || row >= lines_row_count(t))
        return -1;
    for (int k = 0; k < LINE_SLOTS; k++) {
        const RacingLine* l = lines_slot(t, row, k);
        if (l->points.size() != points.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < points.size() && same; i++) {
            const LinePoint& a = l->points[i];
            const LinePoint& b = points[i];
            double dx = double(a.x) - b.x, dy = double(a.y) - b.y, dz = double(a.z) - b.z;
            same = std::fabs(double(a.speed) - b.speed) <= 0.0625 && dx * dx + dy * dy + dz * dz <= 0.00390625;
        }
        if (same) {
            if (debug_level >= 1)
                log_printf("auto pilot: %d rejected (duplicate)\n", row);
            return -1;
        }
    }
    if (winds_unlike_row(t, row, points)) {
        if (debug_level >= 1)
            log_printf("auto pilot: %d rejected (winds round)\n", row);
        return -1;
    }
    int target = -1;
    for (int k = 0; k < LINE_SLOTS && target < 0; k++)
        if (lines_slot(t, row, k)->points.empty())
            target = k;
    if (target < 0)
        target = line_evict_choice(t, row);
    RacingLine* l = lines_slot(t, row, target);
    if (!l)
        return -1;
    if ((long long)line_keep_value(l) < (long long)time2 * 5 / 4) {
        if (debug_level >= 1)
            log_printf("auto pilot: %d rejected (too slow)\n", row);
        return -1;
    }
    if (debug_level >= 1 && !l->points.empty()) {
        double avg2 = l->tests > 0 ? double(l->time_sum2 / l->tests) * TICK_SECONDS : 0;
        double avg1 = l->tests > 0 ? double(l->time_sum / l->tests) * TICK_SECONDS : 0;
        log_printf("auto pilot: evicting %d (times: %.2f %.2f tested (%d %d): %.2f %.2f repl: %f %f)\n", row,
                   l->recorded_time * TICK_SECONDS, l->recorded_time2 * TICK_SECONDS, l->tests, l->failures, avg2,
                   avg1, time1 * TICK_SECONDS, time2 * TICK_SECONDS);
    }
    line_reset(l);
    l->points = points;
    l->recorded_time = time1;
    l->recorded_time2 = time2;
    l->id = lines_new_id(t);
    return target;
}
