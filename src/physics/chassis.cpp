// The bike step and the chassis forces: rider body springs, fork and shock,
// steering (normal and arcade) with its balance assists, steering damping
// and the joint balance.
#include <cmath>
#include <cstring>

#include "physics/chassis.h"

#include "physics/body_math.h"
#include "physics/contact.h"
#include "physics/powertrain.h"

namespace {

const double MOTOR_SPEED = 1000;     // a motor this fast always pushes with its full force
const double FORK_AIR_SPRING = 82.46169;  // lbf, the closed air volume of the fork
const double RIDER_STIFF = 2500;     // rider springs beyond their comfortable range

RiderHooks g_hooks = {};


Vec3 build(BikePoint p) { return vec3(p.x, p.y, p.z); }

// A one-sided spring between rider and frame pushing the rider along n,
// as stiff and damped as a soft contact with these constants would be. It
// is applied as a force, integrated implicitly over the tick with the
// pair's reduced mass (what the contact solver would do), because as an
// extra constraint between two bodies that the rider mount already ties
// together it leaves the solver's system singular and the step then drops
// the other contacts.
void rider_spring(dBodyID rider, dBodyID frame, Vec3 pos, Vec3 n, double depth, double kp, double kd)
{
    if (kp + kd <= 0)
        return;
    dMass mr, mf;
    dBodyGetMass(rider, &mr);
    dBodyGetMass(frame, &mf);
    double m = mr.mass * mf.mass / (mr.mass + mf.mass);
    dVector3 vf;
    dBodyGetPointVel(frame, pos.x, pos.y, pos.z, vf);
    Vec3 rel = ode_vec(dBodyGetLinearVel(rider)) - ode_vec(vf);
    double v = vec3_dot(rel, n);  // > 0: the rider already moves the way he is pushed
    double h = TICK_SECONDS;
    double f = (kp * depth - kd * v) / (1 + h * kd / m + h * h * kp / m);
    if (f <= 0)
        return;
    Vec3 fn = n * f;
    dBodyAddForceAtPos(rider, fn.x, fn.y, fn.z, pos.x, pos.y, pos.z);
    dBodyAddForceAtPos(frame, -fn.x, -fn.y, -fn.z, pos.x, pos.y, pos.z);
}

// Holds the rider near his seat; sitting lowers him, leaning moves him
// along the bike.
void rider_body_springs(Bike* b)
{
    const BikeModel& m = b->model;
    const BikeSetup& s = b->setup;
    dBodyID frame = b->body[BODY_FRAME], rider = b->body[BODY_RIDER];
    Vec3 rider_pos = ode_vec(dBodyGetPosition(rider));
    Vec3 rest = body_world_point(frame, build(m.rider_body) - build(m.frame_centre));
    Vec3 d = rest - rider_pos;
    Vec3 ay = body_world_vector(frame, vec3(0, 1, 0));
    Vec3 az = body_world_vector(frame, vec3(0, 0, 1));
    double vy = vec3_dot(d, ay), vz = vec3_dot(d, az);
    double sit = b->controls.sit_dab;

    double target = clampd(vy * (0.5 + 0.5 * sit) - b->controls.lean, -0.75, 0.75);
    double e = vz - target;
    double kp = 600 * s.rider_zspring + 100 * std::fabs(e), kd = 0;
    if (vz < -0.75 || vz > 0.75)
        kp = kd = RIDER_STIFF;
    rider_spring(rider, frame, rider_pos, e < 0 ? -az : az, std::fabs(e), kp, kd);

    double depth = vy + 0.125 - 0.5 * sit;
    kp = 400 * s.rider_yspring;
    kd = 100 * s.rider_ydamping;
    if (vy > 0.5 || vy < -0.75)
        kp = kd = RIDER_STIFF;
    rider_spring(rider, frame, rider_pos, depth < 0 ? -ay : ay, std::fabs(depth), kp, kd);
}

void fork_and_shock(Bike* b)
{
    dJointID fork = b->joint[JOINT_FORK];
    double f = fork_force(b, dJointGetSliderPosition(fork), dJointGetSliderPositionRate(fork));
    dJointSetSliderParam(fork, dParamVel, f >= 0 ? MOTOR_SPEED : -MOTOR_SPEED);
    dJointSetSliderParam(fork, dParamFMax, std::fabs(f));

    dJointID pivot = b->joint[JOINT_SWINGARM_PIVOT];
    double q = shock_torque(b, dJointGetHingeAngle(pivot), dJointGetHingeAngleRate(pivot));
    dJointSetHingeParam(pivot, dParamVel, q >= 0 ? MOTOR_SPEED : -MOTOR_SPEED);
    dJointSetHingeParam(pivot, dParamFMax, std::fabs(q));
}

// Torque about the steering axis: positive turns the front wheel left.
void apply_steering_torque(Bike* b, double t)
{
    Vec3 axis = vec3_normalize(build(b->model.steering_head_top) - build(b->model.fork_lower_centre));
    Vec3 a = body_world_vector(b->body[BODY_FRAME], axis) * t;
    dBodyAddTorque(b->body[BODY_FRONT_WHEEL], a.x, a.y, a.z);
    dBodyAddTorque(b->body[BODY_FRAME], -a.x, -a.y, -a.z);
}

bool front_rolling(const Bike* b)
{
    return b->wheel[0].depth > 0 &&
           dJointGetHingeAngleRate(b->joint[JOINT_FRONT_AXLE]) > M_PI / 4;
}

void normal_steering(Bike* b)
{
    const BikeSetup& s = b->setup;
    double k = s.steering_strength, direct = s.direct_steering, steer = b->controls.steer;
    double drive = k * steer * direct;
    double base;
    if (front_rolling(b)) {
        if (b->landing_factor > 1) {
            if (s.land_damping_falloff > 0)
                b->landing_factor -= (s.land_damping_factor - 1) * TICK_SECONDS / s.land_damping_falloff;
            else
                b->landing_factor = 1;
            if (b->landing_factor < 1)
                b->landing_factor = 1;
        }
        double wz = bike_roll_rate(b);
        double damping = wz * s.roll_damping * b->landing_factor;
        double v = vec3_length(ode_vec(dBodyGetLinearVel(b->body[BODY_FRAME])));
        double roll = body_roll(b->body[BODY_FRAME]);
        double level = roll * s.leveling;
        if (v < s.slow_damping_speed) {
            double f = s.slow_damping_factor;
            double boost = f + (v / s.slow_damping_speed) * (1 - f);
            damping *= boost;
            level *= boost;
        }
        // Falling further beyond the limit: damp much harder.
        if (((wz > 0 && roll > 0) || (wz < 0 && roll < 0)) && std::fabs(roll) > s.roll_limit_angle)
            damping *= 1 + (std::fabs(roll) - s.roll_limit_angle) * s.roll_limit_factor;
        base = level + damping;
        if (direct < 1) {
            double l = steer_commanded_lean(b, v);
            double c = (-steer * l - roll) * 2.5;
            bool upright_ward = (c > 0 && roll < 0) || (c < 0 && roll > 0);
            double cap = upright_ward ? 9.817477 : 3.926991;
            c = clampd(c, -cap, cap);
            double m = clampd(4 * (wz - (c - clampd(c - wz, -0.125, 0.125))), -1, 1);
            drive = m * k + (drive - m * k) * direct;
        }
    } else {
        b->landing_factor = s.land_damping_factor;
        base = -50 * dJointGetHingeAngle(b->joint[JOINT_STEERING_HEAD]);  // centring
    }
    double limit = std::fmin(b->grip, s.max_steering_force);
    apply_steering_torque(b, clampd((base + drive) * 1.5, -limit, limit));
}

// Arcade physics: the bike is leaned straight to the commanded angle and
// the front wheel follows the direction it is moving.
void arcade_steering(Bike* b)
{
    const BikeSetup& s = b->setup;
    dBodyID frame = b->body[BODY_FRAME];
    double steer = b->controls.steer;
    double roll = body_roll(frame);
    double n = clampd((s.roll_damping - 40) * 0.025, 0, 1);
    double goal = -steer * M_PI / 4;
    double rate = (1.5 - 0.5 * n) * std::fmin(std::fabs(roll - goal), 0.0625) * 16;
    if (goal < roll)
        rate = -rate;
    Vec3 z = body_world_vector(frame, vec3(0, 0, 1));
    dJointID m = dJointCreateAMotor(physics_world(), physics_contact_group());
    dJointAttach(m, frame, nullptr);
    dJointSetAMotorNumAxes(m, 1);
    dJointSetAMotorAxis(m, 0, 0, z.x, z.y, z.z);
    dJointSetAMotorParam(m, dParamVel, rate);
    dJointSetAMotorParam(m, dParamFMax, 1000);

    apply_steering_torque(b, steer_servo(b, steer) * s.steering_strength);

    // Tail damping: a drag 20 ft behind the frame keeps the bike pointing
    // where it goes.
    dVector3 tv;
    dBodyGetRelPointVel(frame, 0, 0, 20, tv);
    dBodyAddForceAtRelPos(frame, -0.25 * tv[0], -0.25 * tv[1], -0.25 * tv[2], 0, 0, 20);
}

void steering_damping(Bike* b)
{
    dBodyID wheel = b->body[BODY_FRONT_WHEEL];
    Vec3 w = ode_vec(dBodyGetAngularVel(wheel));
    Vec3 a = body_world_vector(wheel, b->wheel[0].axle);
    Vec3 t = (a * vec3_dot(a, w) - w) * b->setup.steering_damping;
    dBodyAddTorque(wheel, t.x, t.y, t.z);
    dBodyAddTorque(b->body[BODY_FRAME], -t.x, -t.y, -t.z);
}

}  // namespace

double steer_servo(const Bike* b, double steer)
{
    const dReal* fv = dBodyGetLinearVel(b->body[BODY_FRONT_WHEEL]);
    double alpha = 0;
    if (fv[0] * fv[0] + fv[1] * fv[1] + fv[2] * fv[2] >= 1) {
        dVector3 local;
        dBodyVectorFromWorld(b->body[BODY_FORK_UPPER], fv[0], fv[1], fv[2], local);
        alpha = -std::atan2(local[0], -local[2]);
    }
    dJointID head = b->joint[JOINT_STEERING_HEAD];
    double psi = dJointGetHingeAngle(head), psi_rate = dJointGetHingeAngleRate(head);
    double e = alpha - 0.5 * steer - psi;
    double d;
    if (e < -0.25) {
        d = -1.75 - psi_rate;
    } else {
        e = std::fmin(e, 0.25);
        if (e > 0.03125)
            d = 8 * (e - 0.03125) - psi_rate;
        else if (e < -0.03125)
            d = 8 * (e + 0.03125) - psi_rate;
        else
            d = -psi_rate;
    }
    const double dead = 1.0 / 2400;
    if (std::fabs(d) <= dead)
        return 0;
    return clampd((d > 0 ? d - dead : d + dead) * 0.5, -2.0 / 3, 2.0 / 3);
}

double body_roll(dBodyID body)
{
    const dReal* r = dBodyGetRotation(body);
    Vec3 u = vec3(r[1], r[5], r[9]);       // the body's up axis
    double fx = -r[2], fz = -r[10];        // its forward axis, horizontal part
    double len = std::sqrt(fx * fx + fz * fz);
    if (len > 0) {
        fx /= len;
        fz /= len;
    }
    double h = u.z * fx - u.x * fz;
    return std::acos(clampd(h, -1, 1)) - M_PI / 2;
}

double bike_roll_rate(const Bike* b)
{
    const dReal* w = dBodyGetAngularVel(b->body[BODY_FRAME]);
    dVector3 local;
    dBodyVectorFromWorld(b->body[BODY_FRAME], w[0], w[1], w[2], local);
    return local[2];
}

void bike_set_rider_hooks(const RiderHooks* hooks) { g_hooks = hooks ? *hooks : RiderHooks{}; }

double fork_force(const Bike* b, double x, double v)
{
    const BikeSetup& s = b->setup;
    double travel = b->model.fork_travel;
    double c = v >= 0 ? s.fork_rebound : s.fork_compression;
    double squeeze = clampd(-x, 0, travel);
    double air = travel + s.fork_oil_level;
    double f = (s.fork_preload - x) * s.fork_spring_rate - c * v +
               FORK_AIR_SPRING * (air / (air - squeeze) - 1);
    return f * clampd(x / (-travel / 32), 0, 1);
}

double shock_torque(const Bike* b, double angle, double rate)
{
    const BikeSetup& s = b->setup;
    double travel = b->model.swingarm_travel;
    double r0 = b->model.shock_leverage[0], r1 = b->model.shock_leverage[1];
    double used = -angle / travel;
    double r = r0 + (r1 - r0) * used / travel;
    double y = r0 * used + (r1 - r0) * used * used / (2 * travel);
    double c = rate >= 0 ? s.shock_rebound : s.shock_compression;
    double q = r * (y + s.shock_preload) * s.shock_spring_rate + r * r * (-c * rate);
    return q * clampd(angle / (-travel / 32), 0, 1);
}

double steer_commanded_lean(const Bike* b, double v)
{
    double limit = b->setup.roll_limit_angle, md = b->setup.max_dab_speed;
    double md2 = md * md;
    if (v <= 15) {
        double q = 1 - v * v / md2;
        return limit * (1 - q * q * q * q);
    }
    if (v < md)
        return limit + (v * v - 225) / (md2 - 225) * (2 * M_PI - limit);
    return 2 * M_PI;
}

void bike_joint_balance(Bike* b)
{
    if (b->steps_since_reset < 2 || bike_controls_locked(b))
        return;
    for (dJointID j : b->joint)
        if (!dJointGetBody(j, 0) || !dJointGetBody(j, 1))
            return;
    Vec3 pf = ode_vec(dBodyGetPosition(b->body[BODY_FRAME]));
    Vec3 force = {0, 0, 0}, torque = {0, 0, 0};
    for (int i = 0; i < BIKE_JOINT_COUNT; i++) {
        const dJointFeedback& fb = b->feedback[i];
        Vec3 f1 = ode_vec(fb.f1), f2 = ode_vec(fb.f2);
        Vec3 p1 = ode_vec(dBodyGetPosition(dJointGetBody(b->joint[i], 0)));
        Vec3 p2 = ode_vec(dBodyGetPosition(dJointGetBody(b->joint[i], 1)));
        force += f1 + f2;
        torque += ode_vec(fb.t1) + ode_vec(fb.t2) + vec3_cross(p1 - pf, f1) + vec3_cross(p2 - pf, f2);
    }
    dBodyAddForce(b->body[BODY_FRAME], -force.x, -force.y, -force.z);
    dBodyAddTorque(b->body[BODY_FRAME], -torque.x, -torque.y, -torque.z);
}

void bike_ride_state_reset(Bike* b)
{
    const BikeModel& m = b->model;
    for (int k = 0; k < 2; k++) {
        WheelContact& w = b->wheel[k];
        std::memset(&w, 0, sizeof w);
        w.body = b->body[k == 0 ? BODY_FRONT_WHEEL : BODY_REAR_WHEEL];
        w.axle = vec3(1, 0, 0);
        w.ring_radius = k == 0 ? m.front_ring_radius : m.rear_ring_radius;
        w.section_radius = k == 0 ? m.front_section_radius : m.rear_section_radius;
        w.normal = vec3(0, 1, 0);
    }
    b->drive_angle = 0;
    b->grip = 1000;
    b->landing_factor = 1;
    b->steps_since_reset = 0;
    b->bail_out_requested = false;
    b->object_touch_parts = 0;
    for (int k = 0; k < 2; k++)
        b->foot_position[k] = b->foot_velocity[k] = vec3(0, 0, 0);
    b->foot_dab = 0;
    b->last_bike_contact_tick = -1;
    for (Vec3& v : b->rider_velocity_ring)
        v = vec3(0, 0, 0);
    b->rider_velocity_index = 0;
}

void bike_step(Bike* b, bool simulate, unsigned tick)
{
    if (!simulate) {
        for (dBodyID body : b->body) {
            dBodySetForce(body, 0, 0, 0);
            dBodySetTorque(body, 0, 0, 0);
        }
        return;
    }
    if (g_hooks.grip_and_bail)
        g_hooks.grip_and_bail(b);
    if (b->crash_timer > 0 && g_hooks.detached)
        g_hooks.detached(b);

    BikeControls saved = b->controls;
    rider_aids_step(b, tick);
    // A thrown rider hangs on his ropes only; the seat springs wait for him.
    if (!bike_controls_locked(b))
        rider_body_springs(b);
    dJointSetHinge2Param(b->joint[JOINT_RIDER_MOUNT], dParamSuspensionERP, 0);
    dJointSetHinge2Param(b->joint[JOINT_RIDER_MOUNT], dParamSuspensionCFM,
                         1 / (30 * b->setup.rider_zdamping + 5));
    fork_and_shock(b);
    if (b->setup.arcade)
        arcade_steering(b);
    else if (!bike_controls_locked(b))
        normal_steering(b);
    powertrain_step(b, tick);
    steering_damping(b);
    bike_joint_balance(b);
    if (g_hooks.foot_dab)
        g_hooks.foot_dab(b);
    b->controls.front_brake = saved.front_brake;
    b->controls.rear_brake = saved.rear_brake;
    b->controls.sit_dab = saved.sit_dab;
    if (g_hooks.pose)
        g_hooks.pose(b);
    b->steps_since_reset++;
}
