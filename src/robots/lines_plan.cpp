// Line costs, how lines connect from one row to the next, and the cheapest
// chains of lines that make the lap plans.
#include <cmath>
#include <limits>

#include "platform/log.h"
#include "robots/lines.h"
#include "robots/lines_chain.h"

namespace {

constexpr double FAIL_PENALTY = 640;  // five seconds per certain failure
constexpr double FAR_CENTRE = 1000000;

double horizontal_distance(double x0, double z0, double x1, double z1)
{
    return std::hypot(x1 - x0, z1 - z0);
}

}  // namespace

double line_cost(const RacingLine* l, int type)
{
    int n = l->tests, f = l->failures;
    if (type == 3) {
        if (n + f > 5 && 4 * n < f)
            return 100000;
        unsigned v = unsigned(n) + 4u * unsigned(f);
        if (v == 0)
            return 0;
        int bits = 0;
        while (v) {
            bits++;
            v >>= 1;
        }
        return 1000.0 * (bits + 4);
    }
    int need = type == 2 ? 1 : 5;
    if (n < need || n <= 0)
        return LINE_NO_COST;
    float w = type == 0 ? 1.0f : type == 1 ? 8.0f / 7.0f : 4.0f;
    double m = double(f) / double(n + f) * double(w);
    m = clampd(m, 0, 1);
    return double(l->time_sum / n) + m * FAIL_PENALTY;
}

void line_circle(const LinePoint& p0, const LinePoint& p1, const LinePoint& p2, double* cx, double* cz)
{
    // Work relative to the first point so long tracks keep their precision.
    double bx = double(p1.x) - p0.x, bz = double(p1.z) - p0.z;
    double ex = double(p2.x) - p0.x, ez = double(p2.z) - p0.z;
    double det = 2 * (bx * ez - bz * ex);
    if (std::fabs(det) <= 1e-6) {
        double len = std::hypot(ex, ez);
        double dx = ex, dz = ez;
        if (len <= 0) {
            dx = bx;
            dz = bz;
            len = std::hypot(dx, dz);
        }
        if (len <= 0) {
            dx = 1;
            dz = 0;
            len = 1;
        }
        // Perpendicular to the chord through its middle.
        *cx = p0.x + ex / 2 - dz / len * FAR_CENTRE;
        *cz = p0.z + ez / 2 + dx / len * FAR_CENTRE;
        return;
    }
    double b2 = bx * bx + bz * bz, e2 = ex * ex + ez * ez;
    *cx = p0.x + (ez * b2 - bz * e2) / det;
    *cz = p0.z + (bx * e2 - ex * b2) / det;
}

void chain_end_make(ChainEnd* e, const RacingLine* l)
{
    e->line = l;
    e->has_circle = false;
    if (!l || l->points.size() < 3)
        return;
    size_t n = l->points.size();
    const LinePoint& last = l->points[n - 1];
    line_circle(l->points[n - 3], l->points[n - 2], last, &e->cx, &e->cz);
    e->r = horizontal_distance(e->cx, e->cz, last.x, last.z);
    e->last_speed = std::fabs(double(last.speed));
    e->has_circle = true;
}

bool chain_compatible(const ChainEnd& a, const RacingLine* b)
{
    if (!a.line || !b)
        return true;  // a row without lines joins anything
    if (!a.has_circle || b->points.size() < 2)
        return false;
    const LinePoint& b0 = b->points[0];
    const LinePoint& b1 = b->points[1];
    if (a.last_speed > std::fabs(double(b0.speed)) + 15)
        return false;
    double d0 = horizontal_distance(a.cx, a.cz, b0.x, b0.z);
    double d1 = horizontal_distance(a.cx, a.cz, b1.x, b1.z);
    if (d0 < std::max(a.r - 2.5, 0.0) || d0 > a.r + 2.5)
        return false;
    return std::fabs(d0 - d1) <= 2;
}

bool lines_compatible(const RacingLine* a, const RacingLine* b)
{
    if (!a || !b || a->points.empty() || b->points.empty())
        return false;
    ChainEnd e;
    chain_end_make(&e, a);
    return chain_compatible(e, b);
}

void chain_rows_make(ChainProblem* p, const LineTable* t, int row, int count, int type)
{
    p->rows.clear();
    p->cands.assign(size_t(count), {});
    for (int i = 0; i < count; i++) {
        p->rows.push_back(row);
        auto& list = p->cands[size_t(i)];
        for (int k = 0; k < LINE_SLOTS; k++) {
            const RacingLine* l = lines_slot(t, row, k);
            if (!l || l->points.empty())
                continue;
            ChainCand c;
            c.slot = k;
            c.cost = line_cost(l, type);
            chain_end_make(&c.end, l);
            list.push_back(c);
        }
        if (list.empty()) {
            ChainCand c;  // a stand-in that costs nothing and joins anything
            c.slot = -1;
            c.cost = 0;
            chain_end_make(&c.end, nullptr);
            list.push_back(c);
        }
        row = lines_next_row(t, row);
    }
}

void chain_solve(ChainProblem* p, const ChainCand* end)
{
    size_t k = p->cands.size();
    p->best.assign(k, {});
    p->next.assign(k, {});
    for (size_t i = k; i-- > 0;) {
        auto& here = p->cands[i];
        p->best[i].assign(here.size(), 0);
        p->next[i].assign(here.size(), -1);
        for (size_t a = 0; a < here.size(); a++) {
            double tail;
            if (i + 1 == k) {
                tail = 0;
                if (end && !chain_compatible(here[a].end, end->end.line))
                    tail = CHAIN_BREAK;
            } else {
                tail = std::numeric_limits<double>::infinity();
                auto& there = p->cands[i + 1];
                for (size_t b = 0; b < there.size(); b++) {
                    double v = p->best[i + 1][b];
                    if (!chain_compatible(here[a].end, there[b].end.line))
                        v += CHAIN_BREAK;
                    if (v < tail) {
                        tail = v;
                        p->next[i][a] = int(b);
                    }
                }
            }
            p->best[i][a] = here[a].cost + tail;
        }
    }
}

double lines_chain_cost(const LineTable* t, int row, int count, int first, int type)
{
    const RacingLine* l = lines_slot(t, row, first);
    if (!l || l->points.empty() || count <= 0)
        return -1;
    ChainProblem p;
    chain_rows_make(&p, t, row, count, type);
    chain_solve(&p, nullptr);
    for (size_t a = 0; a < p.cands[0].size(); a++)
        if (p.cands[0][a].slot == first)
            return p.best[0][a];
    return -1;
}

namespace {

// Writes the chosen chain from candidate `a` of the first row into a plan.
void plan_write(const LineTable* t, const ChainProblem& p, size_t a, std::vector<int>* plan)
{
    for (size_t i = 0; i < p.cands.size() && a < p.cands[i].size(); i++) {
        const ChainCand& c = p.cands[i][a];
        const RacingLine* l = c.slot >= 0 ? lines_slot(t, p.rows[i], c.slot) : nullptr;
        (*plan)[size_t(p.rows[i])] = (l && l->tests >= 5) ? l->id : 0;
        if (p.next[i][a] < 0)
            break;
        a = size_t(p.next[i][a]);
    }
}

}  // namespace

void lines_analyze(LineTable* t, int debug_level)
{
    int rows = lines_row_count(t);
    for (auto& plan : t->plans)
        plan.assign(size_t(rows), 0);
    if (t->normal_rows <= 0)
        return;
    for (int type = 0; type < LINE_PLAN_TYPES; type++) {
        std::vector<int>& plan = t->plans[type];
        // Normal lap: the cheapest closed chain, trying every start line.
        ChainProblem all;
        chain_rows_make(&all, t, t->first_rows, t->normal_rows, type);
        ChainProblem best_chain;
        ChainCand start{};
        double best_cost = std::numeric_limits<double>::infinity();
        for (const ChainCand& s : all.cands[0]) {
            ChainProblem p = all;
            p.cands[0] = {s};
            chain_solve(&p, &s);
            if (p.best[0][0] < best_cost) {
                best_cost = p.best[0][0];
                best_chain = p;
                start = s;
            }
        }
        plan_write(t, best_chain, 0, &plan);
        if (debug_level >= 1)
            log_printf("Normal lap: %f\n", best_cost * TICK_SECONDS);
        if (t->first_rows <= 0)
            continue;
        // First lap: the cheapest chain that leads into that start line.
        ChainProblem first;
        chain_rows_make(&first, t, 0, t->first_rows, type);
        chain_solve(&first, &start);
        size_t pick = 0;
        for (size_t a = 1; a < first.best[0].size(); a++)
            if (first.best[0][a] < first.best[0][pick])
                pick = a;
        plan_write(t, first, pick, &plan);
        if (debug_level >= 1)
            log_printf("First lap: %f\n", first.best[0][pick] * TICK_SECONDS);
    }
}
