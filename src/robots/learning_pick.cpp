// A robot's choice of its next line: chain score over the coming rows, the
// lap plan's pull, how well the line joins the path being ridden, and how
// long ago the line was last taken.
#include <cmath>

#include "platform/log.h"
#include "robots/learning.h"
#include "robots/lines_chain.h"
#include "robots/personality.h"

namespace {

constexpr int PICK_ROWS = 8;

double cube(double x)
{
    return x * x * x;
}

// How well a line starts from where the robot's path ends.
double line_match(const LineRider* r, const RacingLine* l)
{
    if (l->points.empty())
        return 0;
    const auto& b = r->buffer;
    if (b.size() < 3) {
        const LinePoint& f = l->points[0];
        double dx = f.x - r->position.x, dy = f.y - r->position.y, dz = f.z - r->position.z;
        double d = std::sqrt(dx * dx + dy * dy + dz * dz);
        return 10 * cube(clampd((100 - d) / 96, 0, 1));
    }
    if (l->points.size() < 2)
        return 0;
    size_t n = b.size();
    double cx, cz;
    line_circle(b[n - 3], b[n - 2], b[n - 1], &cx, &cz);
    double rho = std::hypot(b[n - 1].x - cx, b[n - 1].z - cz);
    double s = std::fabs(double(b[n - 1].speed));
    double d1 = std::hypot(l->points[0].x - cx, l->points[0].z - cz);
    double d2 = std::hypot(l->points[1].x - cx, l->points[1].z - cz);
    double a = clampd((s - std::fabs(double(l->points[0].speed)) - 15) * -0.2, 0, 1);
    double bb = clampd((std::fabs(rho - d1) - 5) * (-2.0 / 7.0), 0, 1);
    double e = clampd((std::fabs(d2 - d1) - 3) * -0.5, 0, 1);
    return a * cube(bb * e);
}

}  // namespace

int line_plan_type(const LearnView* v, int slot)
{
    const LineRider* r = v->riders[slot];
    const Personality* p = personality_get(r ? r->personality : 0);
    if (!p)
        p = personality_get(1);
    const RaceTiming* race = v->race;
    double lead = 0;
    if (race && race->standings_count >= 2 && race->standings[0].slot == slot) {
        int second = race->standings[1].slot;
        const RaceProgress* me = v->progress[slot];
        const RaceProgress* other = second >= 0 && second < MAX_RACE_SLOTS ? v->progress[second] : nullptr;
        if (me && other && other->gates_passed >= 1) {
            int pos = other->gates_passed - 1;
            int ts = gate_time(other, pos), tr = gate_time(me, pos);
            if (ts > 0 && tr > 0 && tr < ts)
                lead = (ts - tr) * TICK_SECONDS;
        }
    }
    return lead > p->lead_threshold ? p->plan_type_leading : p->plan_type;
}

int line_pick(LearnView* v, int slot, int row)
{
    LineTable* t = v->table;
    if (!t || slot < 0 || slot >= MAX_RACE_SLOTS || row < 0 || row >= lines_row_count(t))
        return -1;
    LineRider* r = v->riders[slot];
    const RaceProgress* progress = v->progress[slot];
    if (!r || lines_used_in_row(t, row) == 0 || (progress && progress->finished))
        return -1;
    int clock = v->race ? v->race->clock : 0;
    int type = line_plan_type(v, slot);

    ChainProblem chain;
    chain_rows_make(&chain, t, row, PICK_ROWS, type);
    chain_solve(&chain, nullptr);
    double score[LINE_SLOTS] = {};
    double best = chain.best[0][0];
    for (double c : chain.best[0])
        best = std::min(best, c);
    for (size_t a = 0; a < chain.cands[0].size(); a++) {
        double c = chain.best[0][a];
        score[chain.cands[0][a].slot] = c < 1 ? 1 : best / c;
    }

    double pull = clampd((clock * TICK_SECONDS - 40) * 0.05, 0, 1);
    int planned = type < LINE_PLAN_TYPES ? t->plans[type][size_t(row)] : 0;
    int choice = -1;
    double choice_value = 0;
    double choice_match = 0, choice_age = 0;
    for (int k = 0; k < LINE_SLOTS; k++) {
        const RacingLine* l = lines_slot(t, row, k);
        // An empty slot has nothing to ride: it never competes.
        if (l->points.empty())
            continue;
        double s = score[k];
        if (planned != 0 && l->id == planned)
            s += pull * (1 - s);
        if (row == 0)
            s = 0.2 * s + 0.8;
        double m = line_match(r, l);
        double age = (clock - l->last_picked) * TICK_SECONDS;
        double value = m + clampd(age / 3, 0, 1) * s;
        // Without any positive value the first line of the row is taken.
        if (choice < 0 || value > choice_value) {
            choice = k;
            choice_value = value;
            choice_match = m;
            choice_age = age;
            score[k] = s;
        }
    }
    if (v->debug_level >= 1)
        log_printf("auto pilot: picking %d score = %f match = %f last_picked = %f\n", choice, score[choice],
                   choice_match, choice_age);

    RacingLine* chosen = lines_slot(t, row, choice);
    chosen->last_picked = clock;
    const LinePoint& end = chosen->points.back();
    for (int k = 0; k < LINE_SLOTS; k++) {
        RacingLine* l = lines_slot(t, row, k);
        if (k == choice || l->points.empty())
            continue;
        const LinePoint& e = l->points.back();
        double dx = double(e.x) - end.x, dy = double(e.y) - end.y, dz = double(e.z) - end.z;
        if (dx * dx + dy * dy + dz * dz < 9)
            l->last_picked = clock;
    }
    return choice;
}
