// Engine, drivetrain spring, brakes and the control aids of one bike.
#include <cmath>

#include "physics/chassis.h"
#include "physics/powertrain.h"

namespace {

const double RPM_PER_RAD_S = 9.549296585513721;
const double DRIVETRAIN_STIFFNESS = 7500;  // ft·lbf/rad at the rear wheel
const double DRIVETRAIN_DAMPING = 0.75;
const double SLIP_SQ = 4;                  // (2 ft/s)^2 of slip: the wheel slides
const double DAB_REFERENCE_SPEED = 5;

bool touches(const Bike* b, int w) { return b->wheel[w].depth > 0; }

double slip_sq(const Bike* b, int w)
{
    Vec3 s = b->wheel[w].slip;
    return vec3_dot(s, s);
}

double wrap_pi(double a)
{
    while (a > M_PI)
        a -= 2 * M_PI;
    while (a < -M_PI)
        a += 2 * M_PI;
    return a;
}

Vec3 frame_velocity(const Bike* b)
{
    const dReal* v = dBodyGetLinearVel(b->body[BODY_FRAME]);
    return vec3(v[0], v[1], v[2]);
}

int usable_gear(const Bike* b, int gear)
{
    gear = clampi(gear, 0, BIKE_GEARS - 1);
    while (gear > 0 && b->model.gear_ratio[gear] <= 0)
        gear--;
    return gear;
}

void auto_shift(Bike* b, unsigned tick)
{
    if (!b->setup.auto_shift || tick % 32 != 0)
        return;
    if (!(dJointGetHingeAngle(b->joint[JOINT_SWINGARM_PIVOT]) < -0.01))
        return;  // the rear suspension carries no weight
    if (touches(b, 1) && slip_sq(b, 1) > SLIP_SQ)
        return;  // the rear wheel spins: its speed says nothing about the road
    double rpm_w =
        dJointGetHingeAngleRate(b->joint[JOINT_REAR_AXLE]) * powertrain_reduction(b) * RPM_PER_RAD_S;
    int gear = b->gear;
    if (rpm_w < b->model.auto_shift_down_rpm)
        gear--;
    else if (rpm_w > b->model.auto_shift_up_rpm)
        gear++;
    b->gear = usable_gear(b, gear);
}

// The torque the engine makes this tick, with the wheelie cut.
double drive_torque(const Bike* b)
{
    double t = engine_torque(b);
    if ((b->setup.stop_wheelies & 1) && !touches(b, 0) && touches(b, 1)) {
        const dReal* w = dBodyGetAngularVel(b->body[BODY_FRAME]);
        dVector3 local;
        dBodyVectorFromWorld(b->body[BODY_FRAME], w[0], w[1], w[2], local);
        if (local[0] > -0.03125)
            t = std::fmin(t, 0.0);  // may brake, not drive, while the nose rises
    }
    return t;
}

void brakes(Bike* b)
{
    const BikeSetup& s = b->setup;
    double front = s.brake_torque * b->controls.front_brake;
    if (s.front_antilock && touches(b, 0) && slip_sq(b, 0) > SLIP_SQ)
        front = 0;
    if ((s.stop_wheelies & 2) && touches(b, 0) && !touches(b, 1))
        front = 0;  // no stoppies
    double rear = s.rear_brake_torque * b->controls.rear_brake;
    if (s.rear_antilock && touches(b, 1) && slip_sq(b, 1) > SLIP_SQ)
        rear = 0;
    dJointSetHingeParam(b->joint[JOINT_FRONT_AXLE], dParamVel, 0);
    dJointSetHingeParam(b->joint[JOINT_FRONT_AXLE], dParamFMax, front);
    dJointSetHingeParam(b->joint[JOINT_REAR_AXLE], dParamVel, 0);
    dJointSetHingeParam(b->joint[JOINT_REAR_AXLE], dParamFMax, rear);
}

void vertical_motor(dBodyID frame, double velocity, double fmax)
{
    dJointID m = dJointCreateAMotor(physics_world(), physics_contact_group());
    dJointAttach(m, frame, nullptr);
    dJointSetAMotorNumAxes(m, 1);
    dJointSetAMotorAxis(m, 0, 0, 0, 1, 0);
    dJointSetAMotorParam(m, dParamVel, velocity);
    dJointSetAMotorParam(m, dParamFMax, fmax);
}

}  // namespace

double powertrain_reduction(const Bike* b)
{
    return b->model.gear_ratio[clampi(b->gear, 0, BIKE_GEARS - 1)] * b->model.primary_reduction *
           b->setup.final_ratio;
}

double engine_rpm(const Bike* b) { return b->engine_speed * RPM_PER_RAD_S; }

double engine_torque(const Bike* b)
{
    double rpm = engine_rpm(b);
    double v = std::isfinite(rpm) ? clampd(rpm * 0.002 + 0.5, 0, BIKE_TORQUE_STEPS - 1) : 0;
    int i = int(v);
    double closed = b->model.closed_torque[i], open = b->model.open_torque[i];
    return closed + (open - closed) * b->controls.throttle;
}

double clutch_auto_engagement(double lever, double rpm, double auto_clutch_rpm)
{
    if (rpm > auto_clutch_rpm + 2000)
        return lever;
    return std::fmin(lever, clampd((rpm - auto_clutch_rpm) / 2000, 0, 1));
}

void powertrain_step(Bike* b, unsigned tick)
{
    auto_shift(b, tick);
    double T = drive_torque(b);
    double N = powertrain_reduction(b);
    if (!(N > 0)) {
        brakes(b);
        return;
    }
    dJointID axle = b->joint[JOINT_REAR_AXLE];
    double axle_angle = dJointGetHingeAngle(axle);
    double axle_rate = dJointGetHingeAngleRate(axle);
    double theta = b->drive_angle - axle_angle;
    if (theta > M_PI)
        theta -= 2 * M_PI;
    else if (theta <= -M_PI)
        theta += 2 * M_PI;

    double e = clutch_auto_engagement(b->controls.clutch, engine_rpm(b), b->setup.auto_clutch_rpm);
    double tc = DRIVETRAIN_STIFFNESS * theta + DRIVETRAIN_DAMPING * (b->engine_speed - axle_rate * N);
    if (tc < 0)
        e = b->controls.clutch;  // the engine always brakes through a closed clutch
    double limit = e * (M_PI / 4);
    if (theta > limit)
        b->drive_angle = axle_angle + limit;
    else if (theta < -limit)
        b->drive_angle = axle_angle - limit;
    double tt = tc * e * e;
    dBodyAddRelTorque(b->body[BODY_REAR_WHEEL], -tt, 0, 0);
    dBodyAddRelTorque(b->body[BODY_FRAME], tt, 0, 0);

    double alpha = (T - tt / N) / b->model.engine_inertia;
    b->engine_speed += alpha * TICK_SECONDS;
    b->drive_angle = wrap_pi(b->drive_angle + b->engine_speed * TICK_SECONDS / N);
    brakes(b);
}

void push_toward(dBodyID body, double strength, Vec3 target)
{
    const dReal* v = dBodyGetLinearVel(body);
    Vec3 d = vec3(v[0], v[1], v[2]) - target;
    double len_sq = vec3_dot(d, d);
    if (len_sq < 1.0 / 16)
        return;
    double len = std::sqrt(len_sq);
    double k = clampd((len - 0.25) * 0.8, 0, 1) * strength / len;
    dBodyAddForce(body, -d.x * k, 0, -d.z * k);
}

void rider_aids_step(Bike* b, unsigned tick)
{
    BikeControls& c = b->controls;
    dBodyID frame = b->body[BODY_FRAME];
    double speed = vec3_length(frame_velocity(b));
    bool locked = bike_controls_locked(b);
    if (c.back_up > 0 && speed < DAB_REFERENCE_SPEED) {
        c.sit_dab = locked ? 0 : 1;
        const dReal* r = dBodyGetRotation(frame);
        Vec3 back = vec3(r[2], r[6], r[10]);
        double pulse = 2 * (1 + std::sin((tick % 128) * 0.049473900056532176));
        push_toward(frame, 2000, back * pulse);
        vertical_motor(frame, -c.steer * (M_PI / 4), 2000);
        return;
    }
    if (!b->setup.auto_dab || speed > b->setup.max_dab_speed)
        return;
    bool driving = c.throttle != 0 && c.clutch != 0;
    if (driving && speed >= DAB_REFERENCE_SPEED &&
        !(std::fabs(body_roll(frame)) > 0.19634954084936207))
        return;
    double md = b->setup.max_dab_speed;
    c.sit_dab = locked ? 0 : std::fmax(c.sit_dab, clampd(1 - speed / md, 0, 1));
    if (speed < DAB_REFERENCE_SPEED && !driving && touches(b, 0) && touches(b, 1)) {
        c.front_brake = 1;
        c.rear_brake = 1;
        push_toward(frame, 1000, vec3(0, 0, 0));
    }
}
