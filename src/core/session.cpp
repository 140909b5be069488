#include "core/session.h"

#include "files/stream.h"
#include "physics/bike.h"
#include "physics/body_math.h"
#include "physics/contact.h"
#include "physics/rider.h"
#include "physics/shape.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "robots/personality.h"
#include "track/particles.h"
#include "track/track.h"

#include <cmath>
#include <cstring>

namespace {

void show(const char* message)
{
    if (session().progress)
        session().progress(message);
}

// The timing gates of a loading track go into the session's course.
int parse_timing_gates(Track* t, const std::string& text)
{
    Session& s = session();
    s.course = GateCourse();
    if (!text.empty()) {
        if (Stream* st = stream_open_memory(text.data(), text.size(), false)) {
            timing_gates_read(&s.course, st);
            stream_close(st);
        }
    }
    // Each starting gate gets its model, 3 ft ahead of the gate position,
    // standing; these come before the track's own statues.
    for (StartingGate& g : s.course.starting) {
        double a = g.angle;
        float x = float(g.position[0] - 3 * std::sin(a)), z = float(g.position[2] - 3 * std::cos(a));
        float ground = t->hf.vertex_count > 0 ? float(terrain_height(&t->hf, x, z)) : 0.0f;
        g.object = statue_add(t, x, g.position[1] - ground, z, g.angle, "@startgate.jm", "@startgate.ppm",
                              "@startgate.shp");
    }
    starting_gates_pose(t, &s.course);
    t->timing = &s.course;
    if (s.settings.debug_level >= 1 && !s.course.gates.empty())
        log_printf("Found %d timing gates, first lap has %d gates, normal lap has %d\n",
                   int(s.course.gates.size()), s.course.first_count, s.course.normal_count);
    return int(s.course.gates.size());
}

// The track's objects as a robot finding its way round them sees them:
// every piece of a shape from the ground to 4 ft above it. The starting
// gates are left out; they drop flat at the start.
std::vector<WayDisc> object_discs(const Track* t, const GateCourse* course)
{
    std::vector<WayDisc> discs;
    for (size_t i = 0; i < t->statues.size(); i++) {
        const Statue& st = t->statues[i];
        bool gate = false;
        for (const StartingGate& g : course->starting)
            gate = gate || size_t(g.object) == i;
        if (!st.shape || !st.shape->source || gate)
            continue;
        for (const ShapeElement& e : st.shape->source->elements) {
            double w[3];
            for (int r = 0; r < 3; r++) {
                w[r] = (r == 0 ? st.x : r == 1 ? st.y : st.z);
                for (int k = 0; k < 3; k++)
                    w[r] += (st.facing_distance > 0 ? (r == k) : st.rotation[k][r]) * e.centre[k];
            }
            double ground = t->hf.vertex_count > 0 ? terrain_height(&t->hf, w[0], w[2]) : 0;
            if (w[1] + e.radius < ground || w[1] - e.radius > ground + 4)
                continue;
            discs.push_back(WayDisc{float(w[0]), float(w[2]), e.radius});
        }
    }
    return discs;
}

void free_timing_gates(Track* t)
{
    session().course = GateCourse();
    t->timing = nullptr;
}

void install_track_hooks()
{
    track_hooks.timing_gates_parse = parse_timing_gates;
    track_hooks.timing_gates_free = free_timing_gates;
}

void free_slot(Rider& r)
{
    // The engine sound goes before the bike (once sound exists).
    if (r.bike)
        bike_free(r.bike);
    r.bike = nullptr;
}

void free_all_riders()
{
    log_printf("Deallocating bikes\n");
    for (Rider& r : session().riders)
        free_slot(r);
    log_printf("Finished deallocating bikes\n");
}

// The stored height of the grid vertex under a point, indices cut toward
// zero and kept on the grid.
double stored_height(const HeightField* hf, double x, double z)
{
    if (hf->heights.empty() || hf->spacing <= 0)
        return 0;
    int p = hf->vertex_count;
    int i = clampi(int(x / hf->spacing), 0, p - 1);
    int j = clampi(int(z / hf->spacing), 0, p - 1);
    return hf->heights[size_t(j) * size_t(p) + size_t(i)];
}

bool touches_ground(Bike* b, const HeightField* hf)
{
    GroundTouch t = bike_ground_contacts(b, hf);
    return t.wheel || t.body;
}

void pick_robot(Rider& r, int value, const SessionSettings& st, RosterOrder* order)
{
    r.roster_index = roster_take(order, value);
    r.personality = st.practice ? "tester" : roster()[size_t(r.roster_index)].personality;
    r.driver = DRIVER_ROBOT;
}

}  // namespace

Session& session()
{
    static Session* s = new Session;  // lives for the whole run
    return *s;
}

Rider& race_slot(int n)
{
    return session().riders[n];
}

TimingView session_timing_view()
{
    Session& s = session();
    TimingView v{};
    v.course = &s.course;
    v.race = &s.race.timing;
    for (int i = 0; i < SLOT_COUNT; i++) {
        v.riders[i] = s.riders[i].bike ? &s.riders[i].progress : nullptr;
        v.counts_for_finish[i] = true;
    }
    return v;
}

void session_drop_bike(Bike* b, double x, double z, double yaw)
{
    const HeightField* hf = &track_current.hf;
    double h = stored_height(hf, x, z);
    for (int tries = 0; tries < 400; tries++, h += 0.25) {
        bike_reset(b);
        bike_orient(b, 0, 1, 0, yaw);
        bike_translate(b, x, h, z);
        if (!touches_ground(b, hf))
            break;
        dJointGroupEmpty(physics_contact_group());
    }
    dJointGroupEmpty(physics_contact_group());
}

bool session_start(const int* lineup, bool playback, bool record, int time_limit, int laps, int skill)
{
    Session& s = session();
    install_track_hooks();
    RaceState& race = s.race;

    // Seed from the clock: 0 for the first session of a run.
    show("Resetting...");
    ClockTime now = clock_now();
    static bool first = true;
    uint32_t seed = first ? 0u : uint32_t(now.sec * 1000 + now.usec / 1000);
    if (s.settings.seed >= 0)
        seed = uint32_t(s.settings.seed);
    first = false;
    s.rng.seed(seed);
    roster_shuffle(&race.roster, s.rng);

    // The lines learnt so far are saved before anything is replaced.
    show("Remembering lines...");
    lines_session_end(&s.lines, s.lines_track.c_str(), s.lines_skill, s.settings.learn);
    s.lines_skill = -1;
    free_all_riders();
    for (Rider& r : s.riders)
        r = Rider();
    for (auto& row : s.tangles)
        for (BikeTangle& t : row)
            t = BikeTangle();

    race.timing = RaceTiming();
    race.timing.time_limit = time_limit;
    race.timing.extra_laps = laps;
    race.fixed_interval = 640;
    race.timing.start_tick = session_draw_start_tick(s.rng);
    race.time_trial = lineup == nullptr;
    race.playback = playback;
    race.recording = record;
    race.robot_skill = skill;

    // The track.
    if (!track_use(&track_current, s.settings.track.c_str(), race.server_race)) {
        s.have_track = false;
        race.track_name.clear();
        return false;
    }
    s.have_track = true;
    race.track_name = track_current.name;
    if (!track_current.timing)
        parse_timing_gates(&track_current, track_current.timing_gates_text);
    way_map_build(&s.ways, object_discs(&track_current, &s.course));

    // The skill's racing lines and the lap plans made from them. A table
    // sized for other gates is made anew, so old files of a track whose
    // gates changed are ignored.
    if (s.lines_track != track_current.name || lines_row_count(&s.lines) != s.course.first_real + s.course.normal_real) {
        lines_table_init(&s.lines, &s.course);
        s.lines_track = track_current.name;
    }
    show("Analyzing lines...");
    lines_session_switch(&s.lines, s.lines_track.c_str(), &s.lines_skill, skill, s.settings.learn,
                         s.settings.debug_level);

    // Roost particles start all free on the new ground; the rider's crash
    // code reads the same ground.
    if (!s.roost)
        s.roost = new RoostPool;
    roost_pool_init(s.roost, &track_current.hf, s.settings.erosion);
    rider_set_ground(&track_current.hf);

    if (!s.settings.follow_course || !follow_path_load(&s.follow_path, track_current.name.c_str()))
        s.follow_path.points.clear();

    int work[SLOT_COUNT];
    if (race.time_trial) {
        for (int& v : work)
            v = LINEUP_EMPTY;
        work[0] = LINEUP_HUMAN;
        race.timing.clock = 300 * TICKS_PER_SECOND;
    } else {
        std::memcpy(work, lineup, sizeof work);
    }
    race.viewed_slot = lineup_prepare(work, false);

    show("Loading bikes...");
    const PlayerChoice& me = s.settings.player;
    for (int j = 0; j < SLOT_COUNT; j++) {
        Rider& r = s.riders[j];
        int v = work[j];
        if (v == LINEUP_EMPTY || v == LINEUP_REMOTE)
            continue;  // demo and server riders come with those subsystems
        Vec3 at;
        double yaw;
        starting_place(&s.course, j, track_current.hf.extent, &at, &yaw);
        const char* bike_name = nullptr;
        std::string number, body, helmet, graphics, wheels;
        if (v == LINEUP_HUMAN) {
            r.driver = DRIVER_PLAYER;
            bike_name = me.bike.c_str();
            number = me.number;
            body = me.body;
            helmet = me.helmet;
            graphics = me.graphics;
            wheels = me.wheels;
        } else {
            pick_robot(r, v, s.settings, &race.roster);
            const RosterEntry& e = roster()[size_t(r.roster_index)];
            bike_name = e.bike;
            number = e.number;
            body = e.body;
            helmet = e.helmet;
            graphics = e.graphics;
            wheels = e.wheels;
            if (!s.settings.robot_bike.empty()) {
                // Another bike than the roster's: its own graphics.
                bike_name = s.settings.robot_bike.c_str();
                graphics.clear();
            }
        }
        auto or_null = [](const std::string& t) { return t.empty() ? nullptr : t.c_str(); };
        r.bike = bike_create(bike_name_map(bike_name), j, number.c_str(), or_null(body), or_null(helmet),
                             or_null(graphics), or_null(wheels));
        if (!r.bike)
            continue;
        session_drop_bike(r.bike, at.x, at.z, yaw);
        if (r.driver == DRIVER_PLAYER) {
            // Where the frame came to lie, not the placement point: the
            // false-start rule measures the frame, which sits up to a
            // wheelbase from that point.
            s.player_start = ode_vec(dBodyGetPosition(r.bike->body[BODY_FRAME]));
            s.false_start_hold = 0;
        }
        // Course followers ride with the configured setup and assists.
        if (r.driver == DRIVER_ROBOT && !s.follow_path.points.empty())
            bike_apply_setup(r.bike);
        // Course followers ride like humans, so their laps become lines.
        if (r.driver == DRIVER_ROBOT && s.follow_path.points.empty())
            personality_set(&r.lines, r.personality.c_str());
        if (r.driver == DRIVER_EXTERNAL)
            bike_freeze(r.bike);
        else
            bike_unfreeze(r.bike);
    }

    // Race length.
    if (time_limit > 0) {
        race.timing.total_laps = LAPS_UNKNOWN;
        race.timing.halfway_lap = LAPS_UNKNOWN;
    } else {
        race.timing.total_laps = laps;
        race.timing.halfway_lap = (laps + 1) / 2;
    }
    if (race.time_trial)
        session_restart();

    TimingView view = session_timing_view();
    standings_update(&view);
    if (!s.riders[race.viewed_slot].bike && race.timing.standings_count > 0)
        race.viewed_slot = race.timing.standings[0].slot;
    dJointGroupEmpty(physics_contact_group());
    Rider& viewed = s.riders[race.viewed_slot];
    if (viewed.bike && viewed.driver == DRIVER_PLAYER && s.settings.apply_player_setup)
        bike_apply_setup(viewed.bike);
    return true;
}

void session_restart()
{
    Session& s = session();
    s.race.playback = false;
    s.race.recording = false;
    for (int j = 1; j < SLOT_COUNT; j++) {
        free_slot(s.riders[j]);
        s.riders[j].driver = DRIVER_EXTERNAL;
    }
    Rider& r = s.riders[0];
    const GateCourse& c = s.course;
    if (!r.bike || c.gates.empty() || c.first_count == 0)
        return;
    int p = std::max(c.first_count - 2, 0);
    const TimingGate& g = c.gates[size_t(course_gate_at(&c, p))];
    session_drop_bike(r.bike, g.centre[0], g.centre[2], std::atan2(-g.direction[0], -g.direction[2]));
    dJointGroupEmpty(physics_contact_group());
    set_gates_passed(&r.progress, p);
    TimingView view = session_timing_view();
    standings_update(&view);
}

void session_end()
{
    Session& s = session();
    lines_session_end(&s.lines, s.lines_track.c_str(), s.lines_skill, s.settings.learn);
    s.lines_skill = -1;
    free_all_riders();
    if (s.have_track)
        track_free(&track_current);
    s.have_track = false;
    delete s.roost;
    s.roost = nullptr;
    rider_set_ground(nullptr);
}

uint64_t session_state_hash()
{
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](const void* data, size_t n) {
        const unsigned char* b = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < n; i++) {
            h ^= b[i];
            h *= 1099511628211ull;
        }
    };
    for (const Rider& r : session().riders) {
        if (!r.bike)
            continue;
        for (dBodyID body : r.bike->body) {
            mix(dBodyGetPosition(body), sizeof(dReal) * 3);
            mix(dBodyGetQuaternion(body), sizeof(dReal) * 4);
            mix(dBodyGetLinearVel(body), sizeof(dReal) * 3);
            mix(dBodyGetAngularVel(body), sizeof(dReal) * 3);
        }
    }
    return h;
}
