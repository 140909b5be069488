#include <cmath>

#include "files/config.h"
#include "physics/bike.h"

namespace {

const double PI = 3.14159265358979323846;
// The speed below which a stopped rider puts a foot down; the dab speed
// limit is kept between 1 and 15 ft/s above it.
const double DAB_REFERENCE_SPEED = 15.0;

bool g_arcade_disabled = false;

double lerp_pair(const float pair[2], double fraction)
{
    double t = clampd(fraction, 0, 1);
    return pair[0] + (pair[1] - pair[0]) * t;
}

void update_final_ratio(Bike* b)
{
    double rear = std::fmax(3.0, b->model.rear_sprocket_teeth + b->setup.rear_sprocket_adjustment);
    double front =
        std::fmax(3.0, b->model.countershaft_teeth + b->setup.front_sprocket_adjustment);
    b->setup.final_ratio = rear / front;
}

// Columns are stability 0, 20, 40, 60, 80, 100.
const double STABILITY_TABLE[12][6] = {
    {20, 20, 20, 20, 20, 20},           // leveling
    {40, 50, 60, 70, 75, 80},           // roll damping
    {90, 45, 45, 40, 35, 35},           // roll limit angle (degrees)
    {0, 5, 10, 32, 32, 32},             // roll limit factor
    {45, 45, 45, 45, 45, 45},           // steering damping
    {75, 75, 75, 75, 75, 75},           // steering strength
    {1, 1, 1, 1, 1, 0},                 // direct steering
    {400, 400, 400, 400, 400, 400},     // max steering force
    {40, 40, 40, 40, 40, 40},           // slow damping speed
    {1, 1, 1.5, 2, 2, 2},               // slow damping factor
    {0, 0.125, 0.25, 0.25, 0.25, 0.25}, // landing damping falloff
    {1, 1.5, 2, 2, 2, 2},               // landing damping factor
};

double percent(const char* key) { return clampd(config_slider(key), 0, 100) / 100.0; }
double damping_factor(const char* key) { return clampd(config_slider(key) / 100.0 + 0.5, 0, 2); }
bool yes(const char* key) { return config_choice(key) == 1; }

}  // namespace

void bike_set_arcade_disabled(bool disabled) { g_arcade_disabled = disabled; }
bool bike_arcade_disabled() { return g_arcade_disabled; }

void bike_set_leveling(Bike* b, double v) { b->setup.leveling = clampd(v, 0, 200); }
void bike_set_roll_damping(Bike* b, double v) { b->setup.roll_damping = clampd(v, 0, 200); }
void bike_set_roll_limit_angle(Bike* b, double rad) { b->setup.roll_limit_angle = clampd(rad, 0, PI); }
void bike_set_roll_limit_factor(Bike* b, double v) { b->setup.roll_limit_factor = clampd(v, 0, 64); }
void bike_set_steering_damping(Bike* b, double v) { b->setup.steering_damping = clampd(v, 0, 100); }
void bike_set_steering_strength(Bike* b, double v) { b->setup.steering_strength = clampd(v, 0, 200); }
void bike_set_max_steering_force(Bike* b, double v) { b->setup.max_steering_force = clampd(v, 0, 1000); }
void bike_set_direct_steering(Bike* b, double v) { b->setup.direct_steering = clampd(v, 0, 1); }
void bike_set_slow_damping_speed(Bike* b, double v) { b->setup.slow_damping_speed = clampd(v, 0, 100); }
void bike_set_slow_damping_factor(Bike* b, double v) { b->setup.slow_damping_factor = clampd(v, 1, 10); }
void bike_set_land_damping_falloff(Bike* b, double v) { b->setup.land_damping_falloff = clampd(v, 0, 1); }
void bike_set_land_damping_factor(Bike* b, double v) { b->setup.land_damping_factor = clampd(v, 1, 3); }
void bike_set_auto_clutch_rpm(Bike* b, double rpm) { b->setup.auto_clutch_rpm = clampd(rpm, 0, 5000); }
void bike_set_brake_torque(Bike* b, double v) { b->setup.brake_torque = clampd(v, 0, 500); }
void bike_set_rear_brake_torque(Bike* b, double v) { b->setup.rear_brake_torque = clampd(v, 0, 500); }

void bike_set_max_dab_speed(Bike* b, double v)
{
    b->setup.max_dab_speed = clampd(v, DAB_REFERENCE_SPEED + 1, DAB_REFERENCE_SPEED + 15);
}

void bike_set_front_sprocket_adjustment(Bike* b, double teeth)
{
    b->setup.front_sprocket_adjustment = std::isfinite(teeth) ? teeth : 0;
    update_final_ratio(b);
}

void bike_set_rear_sprocket_adjustment(Bike* b, double teeth)
{
    b->setup.rear_sprocket_adjustment = std::isfinite(teeth) ? teeth : 0;
    update_final_ratio(b);
}

void bike_set_fork_compression(Bike* b, double f)
{
    b->setup.fork_compression = b->model.fork_compression_base * clampd(f, 0, 2);
}
void bike_set_fork_rebound(Bike* b, double f)
{
    b->setup.fork_rebound = b->model.fork_rebound_base * clampd(f, 0, 2);
}
void bike_set_fork_spring(Bike* b, double t) { b->setup.fork_spring_rate = lerp_pair(b->model.fork_spring_rate, t); }
void bike_set_fork_preload(Bike* b, double t) { b->setup.fork_preload = lerp_pair(b->model.fork_preload, t); }
void bike_set_fork_oil_level(Bike* b, double t) { b->setup.fork_oil_level = lerp_pair(b->model.fork_oil_level, t); }
void bike_set_shock_compression(Bike* b, double f)
{
    b->setup.shock_compression = b->model.shock_compression_base * clampd(f, 0, 2);
}
void bike_set_shock_rebound(Bike* b, double f)
{
    b->setup.shock_rebound = b->model.shock_rebound_base * clampd(f, 0, 2);
}
void bike_set_shock_spring(Bike* b, double t) { b->setup.shock_spring_rate = lerp_pair(b->model.shock_spring_rate, t); }
void bike_set_shock_preload(Bike* b, double t) { b->setup.shock_preload = lerp_pair(b->model.shock_preload, t); }
void bike_set_rider_yspring(Bike* b, double v) { b->setup.rider_yspring = clampd(v, 0, 1); }
void bike_set_rider_ydamping(Bike* b, double v) { b->setup.rider_ydamping = clampd(v, 0, 1); }
void bike_set_rider_zspring(Bike* b, double v) { b->setup.rider_zspring = clampd(v, 0, 1); }
void bike_set_rider_zdamping(Bike* b, double v) { b->setup.rider_zdamping = clampd(v, 0, 1); }

void bike_set_arcade(Bike* b, bool on) { b->setup.arcade = on && !g_arcade_disabled; }
void bike_set_front_antilock(Bike* b, bool on) { b->setup.front_antilock = on; }
void bike_set_rear_antilock(Bike* b, bool on) { b->setup.rear_antilock = on; }
void bike_set_stop_wheelies(Bike* b, int mode) { b->setup.stop_wheelies = mode & 3; }
void bike_set_auto_shift(Bike* b, bool on) { b->setup.auto_shift = on; }
void bike_set_auto_dab(Bike* b, bool on) { b->setup.auto_dab = on; }

BikeSetup bike_setup_initial(const BikeModel* m)
{
    BikeSetup s{};
    s.leveling = 20;
    s.roll_damping = 60;
    s.roll_limit_angle = PI / 4;
    s.roll_limit_factor = 10;
    s.steering_damping = 45;
    s.steering_strength = 75;
    s.max_steering_force = 400;
    s.direct_steering = 1;
    s.slow_damping_speed = 0;
    s.slow_damping_factor = 1;
    s.land_damping_falloff = 0.25;
    s.land_damping_factor = 2;
    s.arcade = false;
    s.front_antilock = true;
    s.rear_antilock = false;
    s.stop_wheelies = 2;
    s.auto_shift = false;
    s.auto_dab = false;
    s.auto_clutch_rpm = 5000;
    s.brake_torque = 250;
    s.rear_brake_torque = 250;
    s.max_dab_speed = 30;
    s.front_sprocket_adjustment = 0;
    s.rear_sprocket_adjustment = 0;
    s.final_ratio = std::fmax(3.0, m->rear_sprocket_teeth) / std::fmax(3.0, m->countershaft_teeth);
    s.fork_compression = m->fork_compression_base;
    s.fork_rebound = m->fork_rebound_base;
    s.fork_spring_rate = lerp_pair(m->fork_spring_rate, 0.5);
    s.fork_preload = lerp_pair(m->fork_preload, 0.5);
    s.fork_oil_level = m->fork_oil_level[0];
    s.shock_compression = m->shock_compression_base;
    s.shock_rebound = m->shock_rebound_base;
    s.shock_spring_rate = lerp_pair(m->shock_spring_rate, 0.5);
    s.shock_preload = lerp_pair(m->shock_preload, 0.5);
    s.rider_yspring = s.rider_ydamping = s.rider_zspring = s.rider_zdamping = 0.5;
    s.rider_mass_distribution = 1.0 / 3;
    return s;
}

void bike_apply_setup(Bike* b)
{
    bike_set_leveling(b, config_slider("leveling"));
    bike_set_roll_damping(b, config_slider("roll_damping"));
    bike_set_roll_limit_angle(b, config_slider("roll_limit_angle") * PI / 180);
    bike_set_roll_limit_factor(b, config_slider("roll_limit_factor"));
    bike_set_steering_damping(b, config_slider("steering_damping"));
    bike_set_steering_strength(b, config_slider("steering_strength"));
    bike_set_max_steering_force(b, config_slider("max_steering_force"));
    bike_set_arcade(b, yes("arcade"));
    bike_set_front_antilock(b, config_choice("front_brake") == 1);
    bike_set_rear_antilock(b, config_choice("rear_brake") == 1);
    static const int wheelie_modes[3] = {0, 3, 2};  // No, Yes, Front Only
    bike_set_stop_wheelies(b, wheelie_modes[clampi(config_choice("stop_wheelies"), 0, 2)]);
    bike_set_auto_shift(b, yes("auto_shift"));
    bike_set_auto_dab(b, yes("auto_dab"));
    bike_set_direct_steering(b, config_slider("direct_steering"));
    bike_set_slow_damping_speed(b, config_slider("slow_damping_speed"));
    bike_set_slow_damping_factor(b, config_slider("slow_damping_factor"));
    bike_set_land_damping_falloff(b, config_slider("land_damping_falloff"));
    bike_set_land_damping_factor(b, config_slider("land_damping_factor"));
    bike_set_auto_clutch_rpm(b, config_slider("auto_clutch_rpms"));
    bike_set_brake_torque(b, config_slider("brake_torque"));
    bike_set_rear_brake_torque(b, config_slider("rear_brake_torque"));
    bike_set_max_dab_speed(b, config_slider("max_dab_speed") * 1.4666666666666666);
    bike_set_front_sprocket_adjustment(b, config_slider("front_sprocket_adjustment"));
    bike_set_rear_sprocket_adjustment(b, config_slider("rear_sprocket_adjustment"));
    bike_set_fork_compression(b, damping_factor("fork_compression_adjustment"));
    bike_set_fork_rebound(b, damping_factor("fork_rebound_adjustment"));
    bike_set_fork_spring(b, percent("fork_spring_rate_adjustment"));
    bike_set_fork_preload(b, percent("fork_preload_adjustment"));
    bike_set_fork_oil_level(b, percent("fork_oil_level_adjustment"));
    bike_set_shock_compression(b, damping_factor("shock_compression_adjustment"));
    bike_set_shock_rebound(b, damping_factor("shock_rebound_adjustment"));
    bike_set_shock_spring(b, percent("shock_spring_rate_adjustment"));
    bike_set_shock_preload(b, percent("shock_preload_adjustment"));
    bike_set_rider_yspring(b, percent("rider_yspring"));
    bike_set_rider_zspring(b, percent("rider_zspring"));
    bike_set_rider_ydamping(b, percent("rider_ydamping"));
    bike_set_rider_zdamping(b, percent("rider_zdamping"));
    bike_set_rider_mass_distribution(b, config_slider("rider_mass_distribution"));
}

StabilityPreset stability_preset(double stability)
{
    double s = clampd(stability * 5 / 100, 0, 5);
    int i = clampi(int(std::floor(s)), 0, 4);
    double f = s - i;
    double v[12];
    for (int k = 0; k < 12; k++)
        v[k] = STABILITY_TABLE[k][i] + f * (STABILITY_TABLE[k][i + 1] - STABILITY_TABLE[k][i]);
    return StabilityPreset{v[0], v[1], v[2], v[3], v[4],  v[5],
                           v[6], v[7], v[8], v[9], v[10], v[11]};
}

// --- Controls ---

bool bike_controls_locked(const Bike* b) { return b->crash_timer > 0; }

static double finite_or_zero(double v) { return std::isfinite(v) ? v : 0; }

void bike_set_steer(Bike* b, double v) { b->controls.steer = clampd(finite_or_zero(v), -1, 1); }
void bike_set_lean(Bike* b, double v)
{
    b->controls.lean = bike_controls_locked(b) ? 0 : clampd(finite_or_zero(v), -1, 1);
}
void bike_set_throttle(Bike* b, double v)
{
    b->controls.throttle = bike_controls_locked(b) ? 0 : clampd(finite_or_zero(v), 0, 1);
}
void bike_set_clutch(Bike* b, double v) { b->controls.clutch = clampd(finite_or_zero(v), 0, 1); }
void bike_set_front_brake(Bike* b, double v) { b->controls.front_brake = clampd(finite_or_zero(v), 0, 1); }
void bike_set_rear_brake(Bike* b, double v) { b->controls.rear_brake = clampd(finite_or_zero(v), 0, 1); }
void bike_set_sit_dab(Bike* b, double v)
{
    b->controls.sit_dab = bike_controls_locked(b) ? 0 : clampd(finite_or_zero(v), 0, 1);
}
void bike_set_back_up(Bike* b, double v)
{
    b->controls.back_up = bike_controls_locked(b) ? 0 : clampd(finite_or_zero(v), 0, 1);
}

void bike_request_shift(Bike* b, int d)
{
    if (bike_controls_locked(b) || d == b->controls.last_shift_request || d < -1 || d > 1)
        return;
    b->controls.last_shift_request = d;
    b->gear = clampi(b->gear + d, 0, BIKE_GEARS - 1);
    while (b->gear > 0 && b->model.gear_ratio[b->gear] <= 0)
        b->gear--;
}

int bike_shift_request_from_axis(double axis)
{
    return axis > 0.5 ? 1 : axis < -0.5 ? -1 : 0;
}

double clutch_engagement_step(double current, double lever)
{
    double target = clampd(1 - lever * 8.0 / 7.0, 0, 1);
    if (target < current)
        return target;
    return std::fmin(target, current + 4.0 * TICK_SECONDS);
}

double sticky_dab_step(StickyDab* s, double control, bool sticky)
{
    bool pressed = control > 0.5;
    if (sticky) {
        if (pressed && !s->pressed)
            s->value = s->value > 0.5 ? 0 : 1;
    } else {
        s->value = control;
    }
    s->pressed = pressed;
    return s->value;
}

// --- Getters ---

const char* bike_model_name(const Bike* b) { return b->model.name; }
const char* bike_rider_number(const Bike* b) { return b->number; }
bool bike_two_stroke(const Bike* b) { return b->model.two_stroke != 0; }
int bike_gear(const Bike* b) { return b->gear; }
double bike_throttle(const Bike* b) { return b->controls.throttle; }
double bike_clutch(const Bike* b) { return b->controls.clutch; }
double bike_rpm(const Bike* b) { return b->engine_speed * 9.549296585513721; }

double bike_speed_mph(const Bike* b)
{
    const dReal* r = dBodyGetRotation(b->body[BODY_FRAME]);
    const dReal* v = dBodyGetLinearVel(b->body[BODY_FRAME]);
    // The frame's own z axis in world coordinates: the third column.
    double along = r[2] * v[0] + r[6] * v[1] + r[10] * v[2];
    return -along * 0.6818181818181819;
}

dBodyID bike_frame_body(const Bike* b) { return b->body[BODY_FRAME]; }
dBodyID bike_rider_body(const Bike* b) { return b->body[BODY_RIDER]; }
double bike_leveling(const Bike* b) { return b->setup.leveling; }
double bike_roll_damping(const Bike* b) { return b->setup.roll_damping; }
double bike_roll_limit_angle(const Bike* b) { return b->setup.roll_limit_angle; }
double bike_roll_limit_factor(const Bike* b) { return b->setup.roll_limit_factor; }
double bike_steering_damping(const Bike* b) { return b->setup.steering_damping; }
double bike_steering_strength(const Bike* b) { return b->setup.steering_strength; }
double bike_max_steering_force(const Bike* b) { return b->setup.max_steering_force; }
double bike_direct_steering(const Bike* b) { return b->setup.direct_steering; }
double bike_slow_damping_speed(const Bike* b) { return b->setup.slow_damping_speed; }
double bike_slow_damping_factor(const Bike* b) { return b->setup.slow_damping_factor; }
