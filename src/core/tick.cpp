// One simulation tick, in its fixed order.
#include "core/session.h"

#include "physics/bike.h"
#include "physics/body_math.h"
#include "physics/chassis.h"
#include "physics/contact.h"
#include "physics/rider.h"
#include "physics/roost.h"
#include "physics/tangle.h"
#include "platform/log.h"
#include "track/particles.h"
#include "track/track.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

double frame_speed(const Bike* b)
{
    const dReal* v = dBodyGetLinearVel(b->body[BODY_FRAME]);
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

Vec3 body_position(const Bike* b, int body)
{
    const dReal* p = dBodyGetPosition(b->body[body]);
    return vec3(p[0], p[1], p[2]);
}

// A tangle of bikes can drive the solver to speeds no ride reaches, and a
// tick or two later to a rotation it cannot normalise, which ends the
// program. A bike that got there is put back upright and at rest where its
// frame last was in one piece; its race goes on from there.
void recover_broken_bikes(Session& s)
{
    for (Rider& r : s.riders) {
        Bike* b = r.bike;
        if (!b || r.driver == DRIVER_EXTERNAL)
            continue;
        if (!bike_motion_broken(b)) {
            r.safe_position = body_position(b, BODY_FRAME);
            r.safe_forward = body_world_vector(b->body[BODY_FRAME], vec3(0, 0, -1));
            continue;
        }
        log_printf("rider %d: the physics broke apart; the bike is put back where it was\n", int(&r - s.riders));
        std::vector<int> gate_ticks = b->gate_ticks;
        bool finished = b->finished;
        // Dropped once to learn where the frame lands against the point
        // given, then again so that it lands where it was.
        Vec3 at = r.safe_position;
        double yaw = std::atan2(-r.safe_forward.x, -r.safe_forward.z);
        session_drop_bike(b, at.x, at.z, yaw);
        Vec3 landed = body_position(b, BODY_FRAME);
        session_drop_bike(b, 2 * at.x - landed.x, 2 * at.z - landed.z, yaw);
        b->gate_ticks = gate_ticks;
        b->finished = finished;
    }
}

// Without racing lines a robot brakes and stands at the gate.
void robot_stand(Bike* b)
{
    bike_set_throttle(b, 0);
    bike_set_front_brake(b, 1);
    bike_set_rear_brake(b, 1);
    bike_set_steer(b, 0);
    bike_set_sit_dab(b, 1);  // a foot down holds the bike up
}

// The statues near a bike: every statue of the buckets 6 ft around its
// frame, each once, in ascending order.
void statues_near(const Track* t, const Bike* b, std::vector<StatueTarget>* out)
{
    out->clear();
    if (t->statues.empty())
        return;
    const dReal* p = dBodyGetPosition(b->body[BODY_FRAME]);
    int x0 = statue_bucket_of(t, p[0] - 6), x1 = statue_bucket_of(t, p[0] + 6);
    int z0 = statue_bucket_of(t, p[2] - 6), z1 = statue_bucket_of(t, p[2] + 6);
    static std::vector<int> indices;
    indices.clear();
    for (int bz = z0; bz <= z1; bz++)
        for (int bx = x0; bx <= x1; bx++)
            indices.insert(indices.end(), t->statue_buckets[bz][bx].begin(), t->statue_buckets[bz][bx].end());
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    for (int i : indices) {
        Statue& st = const_cast<Statue&>(t->statues[size_t(i)]);
        if (!st.shape)
            continue;
        StatueTarget target{};
        target.shape = st.shape;
        target.position = vec3(st.x, st.y, st.z);
        for (int r = 0; r < 3; r++)
            for (int k = 0; k < 3; k++)
                target.rotation[r * 4 + k] = st.facing_distance > 0 ? (r == k) : st.rotation[k][r];
        target.touched_tick = &st.touched_tick;
        out->push_back(target);
    }
}

// The rider's motion for the racing lines: every tick it is remembered,
// every 32nd tick a human's (or a course follower's) path gets a point.
void sample_line(Session& s, Rider& r)
{
    dBodyID frame = r.bike->body[BODY_FRAME];
    LineSampleInput in{};
    in.position = body_position(r.bike, BODY_FRAME);
    in.velocity = ode_vec(dBodyGetLinearVel(frame));
    in.lean = body_roll(frame);
    in.on_ground = r.bike->wheel[0].depth > 0 || r.bike->wheel[1].depth > 0;
    lines_sample(&r.lines, in, s.race.timing.clock, segment_of(&s.course, r.progress.gates_passed));
}

// Every simulated rider against the ground, then each pair once, faster
// rider first.
void contact_pass(Session& s)
{
    const HeightField* hf = &track_current.hf;
    int clock = s.race.timing.clock;
    Rider* order[SLOT_COUNT];
    double speed[SLOT_COUNT];  // frame speeds by slot, for the sort and the tangles
    int n = 0;
    static std::vector<StatueTarget> near;
    for (Rider& r : s.riders) {
        if (!r.bike || r.driver == DRIVER_EXTERNAL)
            continue;
        statues_near(&track_current, r.bike, &near);
        if (r.driver == DRIVER_ROBOT && r.robot.through_objects)
            near.clear();  // a robot lifting its bike out of a block of objects
        bike_world_contacts(r.bike, hf, near.data(), int(near.size()), clock);
        speed[&r - s.riders] = frame_speed(r.bike);
        order[n++] = &r;
    }
    // A heap sort by frame speed, fastest first: riders of equal speed have
    // no defined order.
    auto slot_of = [&](const Rider* r) { return r - s.riders; };
    auto slower = [&](Rider* a, Rider* b) { return speed[slot_of(a)] > speed[slot_of(b)]; };
    std::make_heap(order, order + n, slower);
    std::sort_heap(order, order + n, slower);
    for (int i = 0; i < n; i++) {
        for (int j = i + 1; j < n; j++) {
            Bike* a = order[i]->bike;
            Bike* b = order[j]->bike;
            long sa = slot_of(order[i]), sb = slot_of(order[j]);
            BikeTangle& tangle = s.tangles[std::min(sa, sb)][std::max(sa, sb)];
            double apart = vec3_length(body_position(a, BODY_FRAME) - body_position(b, BODY_FRAME));
            if (tangle_release(&tangle, clock, speed[sa], speed[sb], apart))
                continue;
            BikeBikeTouch touch = bike_bike_contacts(a, b, bike_bike_contact_direct(a, b, clock));
            if (touch.parts_a || touch.parts_b) {
                tangle_touched(&tangle, clock);
                bike_bike_contact_effects(a, b, touch, clock);
            }
        }
    }
}

// Roost for every present rider, in slot order but starting with the one
// at position clock mod count, so no rider always gets the particles first.
void roost_pass(Session& s)
{
    if (!s.roost)
        return;
    int present[SLOT_COUNT], n = 0;
    for (int j = 0; j < SLOT_COUNT; j++)
        if (s.riders[j].bike)
            present[n++] = j;
    if (n == 0)
        return;
    RoostContext ctx{&track_current.hf, s.roost, &s.rng, s.settings.roost_density, unsigned(s.race.timing.clock)};
    int first = s.race.timing.clock % n;
    for (int k = 0; k < n; k++) {
        Rider& r = s.riders[present[(first + k) % n]];
        bike_roost(r.bike, r.driver != DRIVER_EXTERNAL, ctx);
    }
}

// A server race holds the local rider who left his start point before the
// gate dropped: brakes on, no throttle, foot down, for 15 s after the drop.
void false_start_pass(Session& s, Rider& r)
{
    Vec3 at = body_position(r.bike, BODY_FRAME);
    Vec3 d = at - s.player_start;
    if (false_start_step(&s.race.timing, &s.false_start_hold, vec3_dot(d, d))) {
        if (s.post_message)
            s.post_message("15 second false start penalty");
        else
            log_printf("15 second false start penalty\n");
    }
    if (s.false_start_hold <= 0)
        return;
    bike_set_throttle(r.bike, 0);
    bike_set_clutch(r.bike, 0);
    bike_set_front_brake(r.bike, 1);
    bike_set_rear_brake(r.bike, 1);
    bike_set_sit_dab(r.bike, 1);
    bike_set_back_up(r.bike, 0);
}

}  // namespace

void starting_gates_pose(Track* t, const GateCourse* course)
{
    for (const StartingGate& g : course->starting) {
        if (g.object < 0 || size_t(g.object) >= t->statues.size())
            continue;
        Statue& st = t->statues[size_t(g.object)];
        statue_orient(t, &st);  // the base: yaw on the ground
        double a = starting_gate_tilt(g.raise), c = std::cos(a), s = std::sin(a);
        float y[3], z[3];
        for (int k = 0; k < 3; k++) {
            y[k] = float(st.rotation[1][k] * c + st.rotation[2][k] * s);
            z[k] = float(st.rotation[2][k] * c - st.rotation[1][k] * s);
        }
        for (int k = 0; k < 3; k++) {
            st.rotation[1][k] = y[k];
            st.rotation[2][k] = z[k];
        }
    }
}

void simulation_tick()
{
    Session& s = session();
    RaceState& race = s.race;
    if (!s.have_track)
        return;

    recover_broken_bikes(s);
    contact_pass(s);
    roost_pass(s);
    physics_world_step();

    TimingView view = session_timing_view();
    LearnView learn{};
    learn.table = &s.lines;
    learn.course = &s.course;
    learn.race = &race.timing;
    learn.debug_level = s.settings.debug_level;
    RobotContext robots{};
    robots.learn = &learn;
    robots.ground = &track_current.hf;
    robots.ways = &s.ways;
    robots.rng = &s.rng;
    robots.clock = race.timing.clock;
    robots.start_tick = race.timing.start_tick;
    for (int j = 0; j < SLOT_COUNT; j++) {
        Rider& r = s.riders[j];
        learn.progress[j] = r.bike ? &r.progress : nullptr;
        learn.riders[j] = r.bike ? &r.lines : nullptr;
        robots.bikes[j] = r.bike;
    }
    for (int j = 0; j < SLOT_COUNT; j++) {
        Rider& r = s.riders[j];
        if (!r.bike)
            continue;
        // A slow rider turns round toward the next gate.
        Vec3 target;
        bool valid = rider_next_gate_target(&s.course, r.progress.gates_passed, &target);
        bike_set_turn_target(r.bike, valid && r.progress.gates_passed > 0 && !r.progress.finished, target);
        if (r.driver == DRIVER_ROBOT) {
            if (!s.follow_path.points.empty()) {
                if (race.timing.clock < race.timing.start_tick)
                    robot_stand(r.bike);  // behind the gate until it drops
                else
                    follower_drive(&r.follower, &s.follow_path, r.bike);
            } else if (r.lines.personality != 0) {
                robot_tick(&robots, j, r.bike, &r.robot, &r.lines, &r.progress);
            } else {
                robot_stand(r.bike);
            }
        }
        if (race.server_race && r.driver == DRIVER_EXTERNAL)
            bike_freeze(r.bike);  // remote riders are posed, never simulated
        if (race.server_race && r.driver == DRIVER_PLAYER)
            false_start_pass(s, r);
        bike_step(r.bike, r.driver != DRIVER_EXTERNAL, unsigned(race.timing.clock));
        // Learning notes riders that slowed to a crawl after the start.
        if (race.timing.clock > race.timing.start_tick + 2 * TICKS_PER_SECOND && r.progress.slowed == 0 &&
            frame_speed(r.bike) < 5) {
            r.progress.slowed = 1;
            lines_learn_slowed(&learn, j);
        }
        // The server times remote riders; a client times only its own.
        if (!race.server_race || r.driver == DRIVER_PLAYER) {
            sample_line(s, r);
            TimingResult t = timing_update(&view, j, body_position(r.bike, BODY_FRONT_WHEEL), lines_timing_hook, &learn);
            if (t == TIMING_FINISHED && r.driver == DRIVER_ROBOT && r.lines.personality != 0)
                robot_run_out(&r.robot, &r.lines);
        }
    }

    if (s.roost)
        roost_update(s.roost, unsigned(race.timing.clock));
    // The gates fall after the start; one a bike touches this tick holds.
    for (StartingGate& g : s.course.starting)
        if (g.raise > 0 && g.object >= 0 && size_t(g.object) < track_current.statues.size())
            g.touched_tick = track_current.statues[size_t(g.object)].touched_tick;
    if (starting_gates_update(&s.course, &race.timing))
        starting_gates_pose(&track_current, &s.course);
    race.timing.clock++;
}
