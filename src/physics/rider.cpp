// Bail-out, the detached rider and his reel-in, grip after bike hits.
#include "physics/rider.h"

#include "physics/body_math.h"

#include <cmath>

#include "physics/chassis.h"
#include "race/timing.h"
#include "track/terrain.h"

namespace {

const HeightField* g_ground = nullptr;

const double ROPE_KP = 5000, ROPE_KD = 500;
const double REEL_SLACK = 5;
const double RIDER_HEIGHT = 4.5;  // ft, seat to helmet top
// The rider point between the hips and the fork point far behind the grips:
// the rope that keeps a freshly thrown rider from flying off on his own.
const Vec3 HIP_MIDDLE = {0, -0.57088673, 0.67060673};
const Vec3 BEHIND_GRIPS = {0, 1.145, 0.753 + 10};

Vec3 bv(const BikePoint& p) { return vec3(p.x, p.y, p.z); }

Vec3 point_velocity(dBodyID body, Vec3 world)
{
    dVector3 out;
    dBodyGetPointVel(body, world.x, world.y, world.z, out);
    return ode_vec(out);
}
Vec3 lerp(Vec3 a, Vec3 b, double t) { return a + (b - a) * t; }

double ground_height(double x, double z)
{
    if (!g_ground || g_ground->heights.empty())
        return -1e30;
    return terrain_height(g_ground, x, z);
}

// Where the rider body sits on the frame, in frame coordinates.
Vec3 seat_offset(const Bike* b) { return bv(b->model.rider_body) - bv(b->model.frame_centre); }

bool wheel_down(const Bike* b, int k) { return b->wheel[k].depth > 0; }

// Part of a velocity along unit n replaced by the same part of another.
Vec3 replace_along(Vec3 v, Vec3 n, Vec3 with)
{
    return v + n * (vec3_dot(with, n) - vec3_dot(v, n));
}

void one_foot(Bike* b, int k)
{
    const BikeModel& m = b->model;
    dBodyID rider = b->body[BODY_RIDER];
    Vec3& p = b->foot_position[k];
    Vec3& v = b->foot_velocity[k];
    p += v * TICK_SECONDS;
    v.y -= 32 * TICK_SECONDS;
    double floor = ground_height(p.x, p.z) + 0.25;
    if (p.y < floor) {
        p.y = floor;
        v = vec3(0, 0, 0);
    }
    v = v * 0.9375;

    Vec3 hip = body_world_point(rider, bv(m.hip[k]));
    double leg = double(m.thigh) + double(m.shin);
    Vec3 d = p - hip;
    double len = vec3_length(d);
    if (len > leg) {
        Vec3 n = d * (1 / len);
        p = hip + n * leg;
        v = replace_along(v, n, point_velocity(rider, hip));
    }
    // The feet stay below the hips (which share one height on the body).
    Vec3 n = body_world_vector(rider, vec3(0, -1, 0));
    Vec3 q = body_world_point(rider, bv(m.hip[0])) + n;
    double s = vec3_dot(p - q, n);
    if (s < 0) {
        p -= n * s;
        v = replace_along(v, n, point_velocity(rider, p));
    }
}

// The grip-side rope and the turning motor of the turning-round assist.
// Returns true when the foot's work ends for this tick.
bool turn_round(Bike* b, double speed, double roll)
{
    if (!b->turn_target_valid || !b->setup.auto_dab || speed >= 5)
        return false;
    double lean = std::fabs(roll);
    if (lean < M_PI / 8 || lean > 7 * M_PI / 20 || b->controls.back_up > 0.125)
        return false;
    dBodyID frame = b->body[BODY_FRAME];
    Vec3 fwd = body_world_vector(frame, vec3(0, 0, -1));
    fwd.y = 0;
    double fl = vec3_length(fwd);
    if (fl < 1e-9)
        return false;
    fwd = fwd * (1 / fl);
    Vec3 right = vec3(-fwd.z, 0, fwd.x);
    Vec3 d = b->turn_target - ode_vec(dBodyGetPosition(frame));
    double ahead = vec3_dot(d, fwd), side = vec3_dot(d, right);
    // Turning left is a positive turn about the world's up axis.
    double rate = (b->grip > 1000 ? M_PI : M_PI / 2) * (side < 0 ? 1 : -1);
    double fmax = 320 * b->total_mass;
    bool behind = ahead < 0 && std::fabs(side) < -ahead / 4;
    if (behind)
        fmax *= std::fabs(side) / (-ahead / 4);
    dJointID motor = dJointCreateAMotor(physics_world(), physics_contact_group());
    dJointAttach(motor, frame, nullptr);
    dJointSetAMotorMode(motor, dAMotorUser);
    dJointSetAMotorNumAxes(motor, 1);
    dJointSetAMotorAxis(motor, 0, 0, 0, 1, 0);
    dJointSetAMotorParam(motor, dParamVel, rate);
    dJointSetAMotorParam(motor, dParamFMax, fmax);
    if (behind)
        return false;
    // The bike is pivoted on the foot: the wheels on the ground share a lift
    // of its weight (each carrying the whole of it would throw it up).
    int down = int(wheel_down(b, 0)) + int(wheel_down(b, 1));
    for (int k = 0; k < 2 && down > 0; k++)
        if (wheel_down(b, k))
            dBodyAddForce(b->body[k == 0 ? BODY_FRONT_WHEEL : BODY_REAR_WHEEL], 0,
                          b->total_mass * 32 / down, 0);
    return true;
}

// The lean a rider accepts before the foot pushes, growing with speed.
double accepted_lean(const Bike* b, double v)
{
    double limit = b->setup.roll_limit_angle, md = b->setup.max_dab_speed;
    double md2 = md * md;
    auto low = [&](double s) { return limit * (1 - std::pow(1 - s * s / md2, 32)); };
    if (v <= 15)
        return low(v);
    if (v < md)
        return low(15) + (v * v - 225) / (md2 - 225) * (2 * M_PI - low(15));
    return 2 * M_PI;
}

void push_upright(Bike* b, double speed, double roll)
{
    dBodyID frame = b->body[BODY_FRAME];
    double lean = std::fabs(roll);
    double e = roll > 0 ? -M_PI / 8 : M_PI / 8;
    if (b->grip > 1000)
        e *= 4;
    if (lean < M_PI / 16)
        e *= lean / (M_PI / 16);
    double rate = bike_roll_rate(b);
    double f = 0;
    if (e > 0 && rate < e)
        f = -400;
    else if (e < 0 && rate > e)
        f = 400;
    if (lean < M_PI / 32)
        f *= lean / (M_PI / 32);
    double l = accepted_lean(b, speed);
    double steer = roll >= 0 ? b->controls.steer : -b->controls.steer;
    double i = clampd(2 * (steer - 0.5), 0, 1);
    double j = clampd((lean - 1.25 * l) / 0.25, 0, 1);
    f *= j + i * (1 - j);
    if (f == 0)
        return;
    if (dBodyGetRotation(frame)[5] >= 0.707) {
        dBodyAddForceAtRelPos(frame, 0, std::fabs(f) / 8, 0, 0, 4, 0);
        dBodyAddRelForceAtRelPos(frame, f, 0, 0, 0, 4, 0);
    } else {
        dBodyAddForceAtRelPos(frame, 0, std::fabs(f), 0, 0, 4, 0);
    }
}

void hook_grip_and_bail(Bike* b)
{
    bike_grip_update(b);
    bike_bail_checks(b);
}

void hook_pose(Bike* b)
{
    bike_feet_step(b);
    b->rider_velocity_ring[b->rider_velocity_index] =
        ode_vec(dBodyGetLinearVel(b->body[BODY_RIDER]));
    b->rider_velocity_index = (b->rider_velocity_index + 1) % 4;
}

const RiderHooks HOOKS = {hook_grip_and_bail, bike_detached_step, bike_foot_step, hook_pose};

}  // namespace

void rider_install()
{
    bike_set_rider_hooks(&HOOKS);
    contact_set_bail_out_hook(bike_bail_out);
}

void rider_set_ground(const HeightField* hf) { g_ground = hf; }

void bike_grip_update(Bike* b)
{
    if (b->grip > 1000)
        b->grip = std::fmax(b->grip - 1, 1000);
    else if (b->grip < 1000)
        b->grip = std::fmin(b->grip + (b->grip < 40 ? 0.25 : 4), 1000);
}

void bike_bail_out(Bike* b)
{
    if (b->crash_timer > 0 || b->grip > 1000)
        return;
    dBodyID rider = b->body[BODY_RIDER];
    dJointAttach(b->joint[JOINT_RIDER_MOUNT], nullptr, nullptr);
    Vec3 feet[2];
    rider_foot_positions(b, feet, nullptr);
    for (int k = 0; k < 2; k++) {
        b->foot_position[k] = feet[k];
        b->foot_velocity[k] = point_velocity(rider, feet[k]);
    }
    b->crash_timer = CRASH_TICKS;
    b->crash_count++;
}

void bike_bail_checks(Bike* b)
{
    if (b->crash_timer > 0 || b->grip > 1000)
        return;
    dBodyID rider = b->body[BODY_RIDER];
    Vec3 v = ode_vec(dBodyGetLinearVel(rider));
    if ((b->object_touch_parts & (1u << BODY_RIDER)) && vec3_dot(v, v) > 400) {
        bike_bail_out(b);
        return;
    }
    Vec3 dv = v - point_velocity(b->body[BODY_FRAME], ode_vec(dBodyGetPosition(rider)));
    if (vec3_dot(dv, dv) > 961) {
        bike_bail_out(b);
        return;
    }
    // The velocity four steps back exists only once four steps have run.
    if (b->steps_since_reset < 4)
        return;
    Vec3 a = (v - b->rider_velocity_ring[b->rider_velocity_index]) * 32 + vec3(0, 32, 0);
    if (vec3_dot(a, a) > 1893376)
        bike_bail_out(b);
}

void rider_rope(dBodyID a, Vec3 pa, dBodyID b, Vec3 pb, double slack)
{
    Vec3 wa = body_world_point(a, pa), wb = body_world_point(b, pb);
    Vec3 d = wb - wa;
    double len = vec3_length(d);
    if (!(len > slack) || len <= 0)
        return;
    dContact c{};
    c.surface.mode = dContactSoftERP | dContactSoftCFM;
    c.surface.mu = 0;
    contact_soft_params(ROPE_KP, ROPE_KD, &c.surface.soft_erp, &c.surface.soft_cfm);
    c.geom.pos[0] = wb.x;
    c.geom.pos[1] = wb.y;
    c.geom.pos[2] = wb.z;
    c.geom.normal[0] = d.x / len;
    c.geom.normal[1] = d.y / len;
    c.geom.normal[2] = d.z / len;
    c.geom.depth = len - slack;
    dJointID j = dJointCreateContact(physics_world(), physics_contact_group(), &c);
    // The first body is pushed along the normal, towards the second.
    dJointAttach(j, a, b);
}

void bike_detached_step(Bike* b)
{
    const BikeModel& m = b->model;
    dBodyID rider = b->body[BODY_RIDER], frame = b->body[BODY_FRAME];
    dBodyID fork = b->body[BODY_FORK_UPPER];
    Vec3 v = ode_vec(dBodyGetLinearVel(rider));
    if (vec3_dot(v, v) >= 4) {
        double arm = 0.875 * (double(m.upper_arm) + double(m.forearm));
        for (int k = 0; k < 2; k++)
            rider_rope(rider, bv(m.shoulder[k]), fork, bv(m.hand_grip[k]), arm);
        if (b->crash_timer >= CRASH_TICKS)
            rider_rope(rider, HIP_MIDDLE, fork, BEHIND_GRIPS, 8);
        bike_rider_self_contacts(b);
    } else {
        b->crash_timer -= 1;
    }

    double t = b->crash_timer;
    if (t <= CRASH_TICKS - 1) {
        double slack = REEL_SLACK * clampd((t - 128) / 384, 0, 1);
        Vec3 seat = seat_offset(b);
        static const Vec3 shifts[3] = {{0, 0, 0}, {-5, 10, 0}, {5, 10, 0}};
        for (const Vec3& s : shifts)
            rider_rope(frame, seat + s, rider, s, slack);
    }

    if (t <= 319) {
        // The foot on the upper side of the lean steps back onto its peg.
        int k = body_roll(frame) < 0 ? 0 : 1;
        Vec3 target = body_world_point(frame, bv(m.foot_peg[k]) + vec3(0, 3, 1));
        Vec3 d = target - b->foot_position[k];
        double len = vec3_length(d);
        if (len > 0) {
            d = d * 32;
            double dl = len * 32;
            if (dl > 1)
                d = d * (1 / dl);
            b->foot_velocity[k] = d * 4;
        }
    }

    if (t <= 0) {
        b->crash_timer = 0;
        Vec3 seat = body_world_point(frame, seat_offset(b));
        dBodySetPosition(rider, seat.x, seat.y, seat.z);
        dBodySetRotation(rider, dBodyGetRotation(frame));
        // He lands on the seat moving with it, so the mount starts unstrained.
        Vec3 sv = point_velocity(frame, seat);
        dBodySetLinearVel(rider, sv.x, sv.y, sv.z);
        const dReal* w = dBodyGetAngularVel(frame);
        dBodySetAngularVel(rider, w[0], w[1], w[2]);
        bike_attach_rider_mount(b);
    }
}

void bike_foot_step(Bike* b)
{
    if (b->controls.sit_dab == 0)
        return;
    if (bike_controls_locked(b)) {
        b->foot_dab = std::fmin(b->foot_dab + 8.0 / 128, 1);
        return;
    }
    dBodyID frame = b->body[BODY_FRAME], rider = b->body[BODY_RIDER];
    if (!wheel_down(b, 0)) {
        const dReal* p = dBodyGetPosition(rider);
        double reach = RIDER_HEIGHT + 1;
        if (!(ground_height(p[0], p[2]) > p[1] - reach))
            return;
    }
    double speed = vec3_length(ode_vec(dBodyGetLinearVel(frame)));
    if (speed > b->setup.max_dab_speed)
        return;
    double roll = body_roll(frame);
    bool went_down = false;
    if (speed <= 15 ||
        (wheel_down(b, 0) && wheel_down(b, 1) && std::fabs(roll) > 0.5890486225480862)) {
        b->foot_dab = std::fmin(b->foot_dab + 8.0 / 128, 1);
        went_down = true;
    }
    if (turn_round(b, speed, roll))
        return;
    if (b->setup.arcade)
        return;
    if (b->grip >= 40 || went_down)
        push_upright(b, speed, roll);
}

void bike_feet_step(Bike* b)
{
    b->foot_dab = std::fmax(b->foot_dab - 4.0 / 128, 0);
    if (b->crash_timer <= 0)
        return;
    one_foot(b, 0);
    one_foot(b, 1);
}

void rider_foot_positions(const Bike* b, Vec3 out[2], double weight[2])
{
    const BikeModel& m = b->model;
    dBodyID frame = b->body[BODY_FRAME], rider = b->body[BODY_RIDER];
    double t = b->crash_timer;
    Vec3 peg[2] = {bv(m.foot_peg[0]), bv(m.foot_peg[1])};
    if (t > 0) {
        double f = std::fmin(t, 128) / 128;
        double a = 0.5 * clampd(2 * f - 1, 0, 1), bb = clampd(2 * f, 0, 1);
        double c = clampd(f * 4 / 3, 0, 1);
        peg[0] += vec3(-a, 1.75 * bb, c);
        peg[1] += vec3(a, 1.75 * bb, c);
    }
    double w[2] = {0, 0};
    for (int k = 0; k < 2; k++)
        out[k] = body_world_point(frame, peg[k]);

    if (b->foot_dab != 0 && t <= 127) {
        Vec3 hl = body_world_point(rider, bv(m.hip[0])), hr = body_world_point(rider, bv(m.hip[1]));
        Vec3 d = hr - hl;
        Vec3 fwd = body_world_vector(frame, vec3(0, 0, -1));
        double phi = body_roll(frame);
        double s = clampd(vec3_dot(fwd, ode_vec(dBodyGetLinearVel(frame))) / 15, 0, 1);
        double g = clampd(std::fabs(phi) * 4 / M_PI, 0, 1);
        Vec3 o = fwd * ((1.25 * s - 0.25) * g * 2.5);
        if (!(phi <= -0.1)) {
            Vec3 p = hl + d * (0.5 * g - 0.5) + o;
            p.y = ground_height(p.x, p.z) + 0.125;
            out[0] = lerp(out[0], p, b->foot_dab);
            w[0] = b->foot_dab;
        }
        if (!(phi >= 0.1)) {
            Vec3 p = hr + d * (0.5 - 0.5 * g) + o;
            p.y = ground_height(p.x, p.z) + 0.125;
            out[1] = lerp(out[1], p, b->foot_dab);
            w[1] = b->foot_dab;
        }
    }
    if (t > 0) {
        double blend = clampd(2 * t - 128, 1, 128) / 128;
        for (int k = 0; k < 2; k++) {
            out[k] = lerp(out[k], b->foot_position[k], blend);
            w[k] = 1;
        }
    }
    if (weight) {
        weight[0] = w[0];
        weight[1] = w[1];
    }
}

void bike_bike_contact_effects(Bike* a, Bike* b, BikeBikeTouch touch, int tick)
{
    auto one_way = [](Bike* x, Bike* y, unsigned parts) {
        const dReal* v = dBodyGetLinearVel(x->body[BODY_FRAME]);
        if (v[0] * v[0] + v[1] * v[1] + v[2] * v[2] < 25)
            return;
        if (parts & (1u << BODY_FORK_UPPER))
            x->grip = std::fmin(x->grip, 200);
        if (parts & ((1u << BODY_FRONT_WHEEL) | (1u << BODY_FORK_LOWER))) {
            x->grip = 0;
            if (y->grip >= 1000)
                y->grip = 2000;
        }
    };
    if (!touch.parts_a && !touch.parts_b)
        return;
    one_way(a, b, touch.parts_a);
    one_way(b, a, touch.parts_b);
    a->last_bike_contact_tick = tick;
    b->last_bike_contact_tick = tick;
}

bool bike_bike_contact_direct(const Bike* a, const Bike* b, int tick)
{
    return a->last_bike_contact_tick == tick || b->last_bike_contact_tick == tick;
}

bool rider_next_gate_target(const GateCourse* course, int gates_passed, Vec3* out)
{
    if (!course)
        return false;
    int g = course_gate_at(course, gates_passed);
    if (g < 0 || size_t(g) >= course->gates.size())
        return false;
    const TimingGate& gate = course->gates[size_t(g)];
    *out = vec3(gate.centre[0], gate.centre[1], gate.centre[2]);
    return true;
}

void bike_set_turn_target(Bike* b, bool valid, Vec3 target)
{
    b->turn_target_valid = valid;
    b->turn_target = target;
}
