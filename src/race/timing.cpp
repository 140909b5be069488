#include "race/timing.h"

#include "files/stream.h"
#include "platform/log.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr double PI = 3.14159265358979323846;

double wrap_angle(double a)
{
    if (a >= -PI && a <= PI)
        return a;
    double v = (a + PI) / (2 * PI);
    return (v - std::floor(v)) * 2 * PI - PI;
}

bool read_token(Stream* s, char* tok)
{
    return stream_scanf(s, "%80s", tok) == 1;
}

void read_ints(Stream* s, std::vector<int>* out)
{
    int v;
    for (int n = 0; n < MAX_TIMING_GATES && stream_scanf(s, "%d", &v) == 1; n++)
        out->push_back(v);
}

bool have_gates(const GateCourse* c)
{
    return c && !c->gates.empty() && c->first_count > 0 && c->normal_count > 0;
}

bool is_lap_line(const GateCourse* c, int position)
{
    int k = position + 1 - c->first_count;
    return k >= 0 && k % c->normal_count == 0;
}

bool standing_before(const Standing& a, const Standing& b)
{
    if (a.gates_passed != b.gates_passed)
        return a.gates_passed > b.gates_passed;
    if (a.last_tick != b.last_tick)
        return a.last_tick < b.last_tick;
    return a.slot < b.slot;
}

Standing standing_of(int slot, const RaceProgress* r)
{
    Standing st{};
    st.slot = slot;
    st.gates_passed = r->gates_passed;
    st.last_tick = r->gates_passed > 0 ? gate_time(r, r->gates_passed - 1) : 0;
    return st;
}

// The position whose crossing would finish the race for the leader.
int finish_position(const GateCourse* c, const RaceTiming* race)
{
    if (race->total_laps == 0)
        return 0;
    return course_lap_line(c, race->total_laps);
}

// Whether every position strictly between a and b has a time.
bool clean_between(const RaceProgress* r, int a, int b)
{
    for (int p = a + 1; p < b; p++)
        if (gate_time(r, p) < 0)
            return false;
    return true;
}

// Duration of a clean pass from position a to b, or -1.
int clean_pass(const RaceTiming* race, const RaceProgress* r, int a, int b)
{
    int start = a < 0 ? 0 : gate_time(r, a);
    int end = gate_time(r, b);
    (void)race;
    if (start < 0 || end < 0 || !clean_between(r, a < 0 ? -1 : a, b))
        return -1;
    return end - start >= 0 ? end - start : -1;
}

void build_final_standings(TimingView* v)
{
    const GateCourse* c = v->course;
    RaceTiming* race = v->race;
    race->final_count = 0;
    for (int slot = 0; slot < MAX_RACE_SLOTS; slot++) {
        const RaceProgress* r = v->riders[slot];
        if (!r)
            continue;
        Standing st = standing_of(slot, r);
        int prev = 0, missed = 0, penalty = 0;
        for (int pos = 0; pos < r->gates_passed; pos++) {
            int t = gate_time(r, pos);
            if (t == -1) {
                missed++;
                continue;
            }
            if (missed > 0) {
                int allowed = reference_stretch_time(v, pos - missed - 1, pos) + 128;
                int actual = t - prev;
                if (allowed > actual)
                    penalty += allowed - actual;
                missed = 0;
            }
            prev = t;
        }
        int laps = laps_completed(c, r);
        if (laps > 1 && penalty > 0) {
            int best = 0;
            float best_time = 0;
            for (int lap = 2; lap <= laps; lap++) {
                float t = lap_time(c, race, r, lap);
                if (t > 0 && (best == 0 || t < best_time)) {
                    best = lap;
                    best_time = t;
                }
            }
            if (best > 0) {
                int duration = gate_time(r, course_lap_line(c, best)) - gate_time(r, course_lap_line(c, best - 1));
                while (penalty > duration && st.gates_passed > c->first_count) {
                    penalty -= duration;
                    st.gates_passed -= c->normal_count;
                    st.laps_lost++;
                }
            }
        }
        st.penalty_ticks = penalty;
        st.last_tick += penalty;
        race->final_standings[race->final_count++] = st;
    }
    std::sort(race->final_standings, race->final_standings + race->final_count, standing_before);
}

}  // namespace

void timing_gates_read(GateCourse* c, Stream* s)
{
    *c = GateCourse();
    char tok[96];
    if (!read_token(s, tok))
        return;
    if (std::strcmp(tok, "startinggate:") == 0) {
        float x, y, z, a;
        while (c->starting.size() < size_t(MAX_STARTING_GATES) &&
               stream_scanf(s, " [ %f %f %f ] %f ", &x, &y, &z, &a) == 4) {
            StartingGate g{};
            g.position[0] = x;
            g.position[1] = y;
            g.position[2] = z;
            g.angle = float(wrap_angle(a));
            g.object = -1;
            g.raise = 1;
            c->starting.push_back(g);
        }
        if (!read_token(s, tok))
            return;
    }
    if (std::strcmp(tok, "checkpoints:") != 0)
        return;
    float r, cx, cy, cz, dx, dy, dz;
    while (c->gates.size() < size_t(MAX_TIMING_GATES) &&
           stream_scanf(s, "%f [ %f %f %f ] [ %f %f %f ] ", &r, &cx, &cy, &cz, &dx, &dy, &dz) == 7) {
        TimingGate g{};
        g.radius = r;
        g.centre[0] = cx;
        g.centre[1] = cy;
        g.centre[2] = cz;
        g.direction[0] = dx;
        g.direction[1] = dy;
        g.direction[2] = dz;
        c->gates.push_back(g);
    }
    std::vector<int> first, normal;
    if (read_token(s, tok) && std::strcmp(tok, "firstlap:") == 0) {
        read_ints(s, &first);
        if (read_token(s, tok) && std::strcmp(tok, "normallap:") == 0)
            read_ints(s, &normal);
    }
    int gate_count = int(c->gates.size());
    auto normalise = [gate_count](int e) {
        if (e < 0)
            e = 0;
        int mark = e >= TIMING_ONLY ? TIMING_ONLY : 0;
        int index = std::min(e % TIMING_ONLY, gate_count - 1);
        return mark + std::max(index, 0);
    };
    for (int e : first)
        if (e < TIMING_ONLY)
            c->first_real++;
    for (int e : normal)
        if (e < TIMING_ONLY)
            c->normal_real++;
    c->first_count = int(first.size());
    c->normal_count = int(normal.size());
    for (int e : first)
        c->sequence.push_back(normalise(e));
    for (int e : normal)
        c->sequence.push_back(normalise(e));
    if (gate_count == 0 || c->first_count == 0 || c->normal_count == 0 || c->first_real == 0 ||
        c->normal_real == 0) {
        std::vector<StartingGate> keep = c->starting;
        *c = GateCourse();
        c->starting = keep;
    }
}

void timing_gates_load(GateCourse* c, const char* track, int debug_level)
{
    std::string name = std::string("@") + track + "/timing_gates";
    Stream* s = stream_open(name.c_str(), "rb");
    if (!s) {
        *c = GateCourse();
        return;
    }
    timing_gates_read(c, s);
    stream_close(s);
    if (debug_level >= 1 && have_gates(c))
        log_printf("Found %d timing gates, first lap has %d gates, normal lap has %d\n", int(c->gates.size()),
                   c->first_count, c->normal_count);
}

bool timing_gates_save(const GateCourse* c, const char* track)
{
    std::string name = std::string("@") + track + "/timing_gates";
    Stream* s = stream_open(name.c_str(), "wb");
    if (!s) {
        log_printf("Can't open 'timing_gates'\n");
        return false;
    }
    if (!c->starting.empty()) {
        stream_puts(s, "startinggate:\n");
        for (const StartingGate& g : c->starting) {
            stream_printf(s, "[%f %f %f]", g.position[0], g.position[1], g.position[2]);
            stream_printf(s, " %f\n", g.angle);
        }
    }
    if (!c->gates.empty()) {
        stream_puts(s, "checkpoints:\n");
        for (const TimingGate& g : c->gates) {
            stream_printf(s, "%f ", g.radius);
            stream_printf(s, "[%f %f %f]", g.centre[0], g.centre[1], g.centre[2]);
            stream_puts(s, " ");
            stream_printf(s, "[%f %f %f]", g.direction[0], g.direction[1], g.direction[2]);
            stream_puts(s, "\n");
        }
    }
    if (c->first_count > 0) {
        stream_puts(s, "firstlap:\n");
        for (int i = 0; i < c->first_count; i++)
            stream_printf(s, "%d ", c->sequence[size_t(i)]);
        stream_puts(s, "\n");
    }
    if (c->normal_count > 0) {
        stream_puts(s, "normallap:\n");
        for (int i = 0; i < c->normal_count; i++)
            stream_printf(s, "%d ", c->sequence[size_t(c->first_count + i)]);
        stream_puts(s, "\n");
    }
    bool ok = stream_flush(s) == 0 && stream_ok(s);
    stream_close(s);
    return ok;
}

int course_gate_at(const GateCourse* c, int position)
{
    if (!have_gates(c) || position < 0)
        return -1;
    int entry;
    if (position < c->first_count)
        entry = c->sequence[size_t(position)];
    else
        entry = c->sequence[size_t(c->first_count + (position - c->first_count) % c->normal_count)];
    return entry % TIMING_ONLY;
}

bool course_position_is_segment(const GateCourse* c, int position)
{
    if (!have_gates(c) || position < 0)
        return false;
    int entry;
    if (position < c->first_count)
        entry = c->sequence[size_t(position)];
    else
        entry = c->sequence[size_t(c->first_count + (position - c->first_count) % c->normal_count)];
    return entry < TIMING_ONLY;
}

int course_laps_for(const GateCourse* c, int g)
{
    if (!have_gates(c) || g < c->first_count)
        return 0;
    return (g - c->first_count) / c->normal_count + 1;
}

int course_lap_line(const GateCourse* c, int lap)
{
    return c->first_count - 1 + (lap - 1) * c->normal_count;
}

void set_gates_passed(RaceProgress* r, int n)
{
    if (n < r->gates_passed)
        r->finished = false;
    if (int(r->gate_times.size()) > n)
        r->gate_times.resize(size_t(std::max(n, 0)));
    r->gates_passed = n;
    r->slowed = 0;
}

int gate_time(const RaceProgress* r, int position)
{
    if (position < 0 || position >= int(r->gate_times.size()))
        return -1;
    return r->gate_times[size_t(position)];
}

int laps_completed(const GateCourse* c, const RaceProgress* r)
{
    return course_laps_for(c, r->gates_passed);
}

float lap_time(const GateCourse* c, const RaceTiming* race, const RaceProgress* r, int lap)
{
    int laps = laps_completed(c, r);
    if (lap < 0)
        lap = laps;
    if (lap <= 0 || lap > laps)
        return 0;
    int start = lap == 1 ? race->start_tick : gate_time(r, course_lap_line(c, lap - 1));
    int end = gate_time(r, course_lap_line(c, lap));
    if (start < 0 || end < 0)
        return 0;
    return float(end - start) / float(TICKS_PER_SECOND);
}

bool rider_finished(const TimingView* v, int slot)
{
    RaceProgress* r = v->riders[slot];
    if (!r)
        return false;
    if (r->finished)
        return true;
    const GateCourse* c = v->course;
    const RaceTiming* race = v->race;
    if (!have_gates(c) || race->standings_count == 0)
        return false;
    int last = finish_position(c, race);
    const Standing& lead = race->standings[0];
    const RaceProgress* leader = v->riders[lead.slot];
    if (!leader || lead.gates_passed <= last)
        return false;
    int leader_time = gate_time(leader, last);
    if (leader_time < 0)
        return false;
    int laps = laps_completed(c, r);
    int position = laps > 0 ? course_lap_line(c, laps) : 0;
    int mine = gate_time(r, position);
    if (mine < leader_time)
        return false;
    r->finished = true;
    return true;
}

TimingResult timing_update(TimingView* v, int slot, Vec3 w, TimingCrossingHook hook, void* ctx)
{
    const GateCourse* c = v->course;
    RaceProgress* r = v->riders[slot];
    if (!r || !have_gates(c) || r->finished)
        return TIMING_NOTHING;
    const int p = r->gates_passed;
    bool missing = false;
    int accepted = 0;
    bool found = false;
    for (int i : {-3, -2, 0, 1, 2}) {
        int o = p + i;
        if (o < 0)
            continue;
        if (gate_time(r, o) == -1)
            missing = true;
        const TimingGate& g = c->gates[size_t(course_gate_at(c, o))];
        double dx = w.x - g.centre[0], dz = w.z - g.centre[2];
        bool in_zone = dx * dx + dz * dz <= double(g.radius) * g.radius &&
                       dx * g.direction[0] + dz * g.direction[2] >= 0;
        if (in_zone) {
            if (missing || i >= 0) {
                accepted = i;
                found = true;
                break;
            }
            continue;
        }
        if (is_lap_line(c, o) && gate_time(r, o) == -1)
            return TIMING_NOTHING;  // nothing beyond an unpassed lap line counts
    }
    if (!found)
        return TIMING_NOTHING;
    int position = p + accepted;
    if (int(r->gate_times.size()) <= position)
        r->gate_times.resize(size_t(position + 1), -1);
    r->gate_times[size_t(position)] = v->race->clock;
    r->gates_passed = position + 1;
    if (hook)
        hook(ctx, TimingCrossing{slot, position, accepted});
    TimingResult result = TIMING_CROSSED;
    int g = r->gates_passed;
    if (g - c->first_count >= 0 && (g - c->first_count) % c->normal_count == 0 && !r->finished) {
        const RaceTiming* race = v->race;
        int last = finish_position(c, race);
        bool leader_done = race->standings_count > 0 && race->standings[0].gates_passed > last;
        if (leader_done || laps_completed(c, r) >= race->total_laps) {
            r->finished = true;
            result = TIMING_FINISHED;
        }
    }
    standings_update(v);
    r->slowed = 0;
    return result;
}

bool standings_update(TimingView* v)
{
    RaceTiming* race = v->race;
    if (race->results_final)
        return false;
    const GateCourse* c = v->course;
    race->standings_count = 0;
    for (int slot = 0; slot < MAX_RACE_SLOTS; slot++)
        if (v->riders[slot])
            race->standings[race->standings_count++] = standing_of(slot, v->riders[slot]);
    std::sort(race->standings, race->standings + race->standings_count, standing_before);
    if (!have_gates(c) || race->standings_count == 0)
        return false;
    const RaceProgress* leader = v->riders[race->standings[0].slot];
    if (race->halfway_lap == LAPS_UNKNOWN && race->clock >= race->time_limit / 2)
        race->halfway_lap = laps_completed(c, leader) + 1;
    if (race->time_limit > 0 && race->clock >= race->time_limit) {
        if (race->total_laps == LAPS_UNKNOWN) {
            race->total_laps = laps_completed(c, leader) + race->extra_laps + 1;
        } else {
            int k = race->total_laps - race->extra_laps;
            int q = k == 0 ? 0 : course_lap_line(c, k);
            for (int i = 0; i < race->standings_count; i++) {
                int t = gate_time(v->riders[race->standings[i].slot], q);
                if (t > 0 && t < race->time_limit) {
                    race->total_laps++;
                    break;
                }
            }
        }
    }
    for (int i = 0; i < race->standings_count; i++) {
        int slot = race->standings[i].slot;
        if (!rider_finished(v, slot) && v->counts_for_finish[slot])
            return false;
    }
    build_final_standings(v);
    race->results_final = true;
    return true;
}

int reference_stretch_time(const TimingView* v, int from, int to)
{
    const GateCourse* c = v->course;
    const RaceTiming* race = v->race;
    long long sum = 0;
    int samples = 0;
    for (int i = 0; i < race->standings_count; i++) {
        const RaceProgress* r = v->riders[race->standings[i].slot];
        if (!r)
            continue;
        if (from < c->first_count) {
            int d = clean_pass(race, r, from, to);
            if (d >= 0) {
                sum += d;
                samples++;
            }
            continue;
        }
        long long total = 0;
        int count = 0;
        int b = c->first_count + (from - c->first_count) % c->normal_count;
        int e = to + b - from;
        while (e < r->gates_passed) {
            int d = clean_pass(race, r, b, e);
            if (d >= 0) {
                total += d;
                count++;
            }
            b += c->normal_count;
            e += c->normal_count;
        }
        if (count > 0 && total / count >= 0) {
            sum += total / count;
            samples++;
        }
    }
    return samples > 0 ? int(sum / samples) : 60 * TICKS_PER_SECOND;
}

float starting_gate_tilt(float raise)
{
    return raise * 0.5890486225480862f;
}

bool starting_gates_update(GateCourse* c, const RaceTiming* race)
{
    if (race->clock * TICK_SECONDS > race->start_tick * TICK_SECONDS + 10)
        return false;
    if (race->clock <= race->start_tick)
        return false;
    bool moved = false;
    for (StartingGate& g : c->starting)
        if (g.raise > 0 && g.object >= 0 && g.touched_tick != race->clock) {
            g.raise = std::max(0.0f, g.raise - float(8 * TICK_SECONDS));
            moved = true;
        }
    return moved;
}

void starting_place(const GateCourse* c, int i, double extent, Vec3* point, double* yaw)
{
    int count = int(c->starting.size());
    if (count == 0) {
        *point = vec3(extent / 2 + 5.0 * i, 0, extent / 2);
        *yaw = 0;
        return;
    }
    const StartingGate& g = c->starting[size_t(i % count)];
    int row = i / count;
    double a = g.angle;
    double k = (row + 0.0625) * 10;
    *point = vec3(g.position[0] + k * std::sin(a), g.position[1], g.position[2] + k * std::cos(a));
    *yaw = a;
}

bool false_start_step(const RaceTiming* race, int* hold, double distance_sq_from_start)
{
    if (*hold > 0) {
        (*hold)--;
        return false;
    }
    if (race->clock > race->start_tick || distance_sq_from_start < 9)
        return false;
    *hold = (race->start_tick - race->clock) + 15 * TICKS_PER_SECOND;
    return true;
}
