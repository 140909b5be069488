// The line table, segment numbering and sampling.
#include "robots/lines.h"

#include <cmath>

#include "race/timing.h"

void lines_table_init(LineTable* t, const GateCourse* c)
{
    bool gates = c && !c->gates.empty() && c->first_count > 0 && c->normal_count > 0 &&
                 c->first_real > 0 && c->normal_real > 0;
    t->first_rows = gates ? c->first_real : 0;
    t->normal_rows = gates ? c->normal_real : 0;
    int rows = t->first_rows + t->normal_rows;
    t->slots.assign(size_t(rows) * LINE_SLOTS, RacingLine{});
    for (auto& p : t->plans)
        p.assign(size_t(rows), 0);
    t->next_id = 0;
}

int lines_row_count(const LineTable* t)
{
    return t->first_rows + t->normal_rows;
}

RacingLine* lines_slot(LineTable* t, int row, int slot)
{
    if (row < 0 || row >= lines_row_count(t) || slot < 0 || slot >= LINE_SLOTS)
        return nullptr;
    return &t->slots[size_t(row) * LINE_SLOTS + size_t(slot)];
}

const RacingLine* lines_slot(const LineTable* t, int row, int slot)
{
    return lines_slot(const_cast<LineTable*>(t), row, slot);
}

int lines_used_in_row(const LineTable* t, int row)
{
    int n = 0;
    for (int k = 0; k < LINE_SLOTS; k++) {
        const RacingLine* l = lines_slot(t, row, k);
        if (l && !l->points.empty())
            n++;
    }
    return n;
}

int lines_find_id(const LineTable* t, int row, int id)
{
    if (id == 0)
        return -1;
    for (int k = 0; k < LINE_SLOTS; k++) {
        const RacingLine* l = lines_slot(t, row, k);
        if (l && l->id == id)
            return k;
    }
    return -1;
}

void line_reset(RacingLine* l)
{
    *l = RacingLine{};
}

void lines_clear(LineTable* t)
{
    for (auto& l : t->slots)
        line_reset(&l);
    for (auto& p : t->plans)
        std::fill(p.begin(), p.end(), 0);
}

int lines_new_id(LineTable* t)
{
    return ++t->next_id;
}

int segment_of(const GateCourse* c, int gates_passed)
{
    if (!c || c->first_count <= 0 || c->normal_count <= 0 || gates_passed <= 0)
        return 0;
    int real = 0;
    int first = std::min(gates_passed, c->first_count);
    for (int p = 0; p < first; p++)
        real += c->sequence[size_t(p)] < TIMING_ONLY;
    int rest = gates_passed - first;
    if (rest <= 0)
        return real;
    real += (rest / c->normal_count) * c->normal_real;
    for (int q = 0; q < rest % c->normal_count; q++)
        real += c->sequence[size_t(c->first_count + q)] < TIMING_ONLY;
    return real;
}

int segment_row(const LineTable* t, int s)
{
    if (s < 0)
        s = 0;
    if (s < t->first_rows || t->normal_rows <= 0)
        return s;
    return t->first_rows + (s - t->first_rows) % t->normal_rows;
}

int lines_next_row(const LineTable* t, int row)
{
    int next = row + 1;
    if (next >= lines_row_count(t))
        next = t->first_rows;
    return next;
}

LinePoint line_point_make(const LineSampleInput& in)
{
    double speed = std::sqrt(in.velocity.x * in.velocity.x + in.velocity.y * in.velocity.y +
                             in.velocity.z * in.velocity.z);
    LinePoint p;
    p.x = float(in.position.x);
    p.y = float(in.position.y);
    p.z = float(in.position.z);
    p.speed = float(in.on_ground ? speed : -speed);
    p.lean = float(in.lean);
    return p;
}

void line_rider_reset(LineRider* r)
{
    int personality = r->personality;
    *r = LineRider{};
    r->personality = personality;
}

void lines_sample(LineRider* r, const LineSampleInput& in, int clock, int segment)
{
    r->position = in.position;
    r->velocity = in.velocity;
    if (clock % LINE_SAMPLE_TICKS != 0 || r->personality != 0)
        return;
    r->samples[segment & 1].push_back(line_point_make(in));
}
