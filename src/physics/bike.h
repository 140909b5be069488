// The per-rider bike: a copy of its catalogue entry, the seven bodies and six
// joints of bike and rider, the rider's setup and assists, and the control
// inputs through which humans, robots, demos and the network ride it.
#pragma once
#include <string>
#include <vector>

#include "core/vec.h"
#include "physics/bike_model.h"
#include "physics/ode_double.h"

struct CollisionShape;

// Body order, used by every loop over the bodies and by state records.
enum BikeBody {
    BODY_FRAME,
    BODY_FRONT_WHEEL,
    BODY_REAR_WHEEL,
    BODY_FORK_UPPER,
    BODY_FORK_LOWER,
    BODY_SWINGARM,
    BODY_RIDER,
    BIKE_BODY_COUNT
};

enum BikeJoint {
    JOINT_FRONT_AXLE,
    JOINT_REAR_AXLE,
    JOINT_STEERING_HEAD,
    JOINT_FORK,
    JOINT_SWINGARM_PIVOT,
    JOINT_RIDER_MOUNT,
    BIKE_JOINT_COUNT
};

// The user's adjustments and riding assists as the physics uses them
// (physical units; the menus and the configuration hold percentages).
struct BikeSetup {
    double leveling;
    double roll_damping;
    double roll_limit_angle;  // radians
    double roll_limit_factor;
    double steering_damping;
    double steering_strength;
    double max_steering_force;
    double direct_steering;
    double slow_damping_speed;
    double slow_damping_factor;
    double land_damping_falloff;
    double land_damping_factor;
    bool arcade;
    bool front_antilock;
    bool rear_antilock;
    int stop_wheelies;  // bit 1: front, bit 0: rear; No 0, Yes 3, Front Only 2
    bool auto_shift;
    bool auto_dab;
    double auto_clutch_rpm;
    double brake_torque;       // front, ft·lbf
    double rear_brake_torque;  // ft·lbf
    double max_dab_speed;      // ft/s
    double front_sprocket_adjustment;  // teeth
    double rear_sprocket_adjustment;
    double final_ratio;  // rear teeth / countershaft teeth, both at least 3
    double fork_compression;  // damping, lbf·s/ft
    double fork_rebound;
    double fork_spring_rate;  // lbf/ft
    double fork_preload;      // ft
    double fork_oil_level;    // ft
    double shock_compression;
    double shock_rebound;
    double shock_spring_rate;
    double shock_preload;
    double rider_yspring;  // 0..1
    double rider_ydamping;
    double rider_zspring;
    double rider_zdamping;
    double rider_mass_distribution;  // share of the rider's mass on the rider body
};

// The inputs of one bike, each kept within its range.
struct BikeControls {
    double steer;     // -1..1, positive turns the front wheel left
    double lean;      // -1..1
    double throttle;  // 0..1
    double clutch;    // engagement 0..1, 1 = fully engaged
    double front_brake;
    double rear_brake;
    double sit_dab;
    double back_up;
    int last_shift_request;  // -1, 0, +1: shifts happen on a change
};

// The names of the models and the texture of one drawing group of a bike
// (bike, wheels, rider body, rider head), resolved by the variant rule.
struct BikeGraphicsGroup {
    std::string texture;              // the texture in use
    std::vector<std::string> models;  // "" for a model that could not be found
};

struct BikeGraphics {
    BikeGraphicsGroup bike;        // frame, side plates, fork upper, front plate, fork lower, swingarm
    BikeGraphicsGroup wheels;      // front wheel, rear wheel
    BikeGraphicsGroup rider_body;  // rider body, plate, first-person rider body
    BikeGraphicsGroup rider_head;  // rider head
};

// Where one tyre touched the ground this tick (front, then rear), kept for
// the powertrain aids, the assists and the roost until the next ground pass.
struct WheelContact {
    dBodyID body;
    Vec3 axle;       // axle direction in body coordinates
    double ring_radius;     // R: axle to the centre of the tyre section
    double section_radius;  // r
    Vec3 point;      // deepest contact point, world
    Vec3 slip;       // wheel velocity at the contact point
    Vec3 normal;     // unit
    double depth;    // 0: no contact this tick
    dJointFeedback feedback;  // forces of this tick's tyre contact joint
};

struct Bike {
    BikeModel model;  // full copy of the catalogue entry

    dBodyID body[BIKE_BODY_COUNT];
    dJointID joint[BIKE_JOINT_COUNT];
    dJointFeedback feedback[BIKE_JOINT_COUNT];
    CollisionShape* shape[BIKE_BODY_COUNT];  // null where the file is missing
    double total_mass;
    Vec3 last_set[BIKE_BODY_COUNT];  // positions given by reset / state records
    Vec3 saved_linear[BIKE_BODY_COUNT];
    Vec3 saved_angular[BIKE_BODY_COUNT];

    BikeSetup setup;
    BikeControls controls;
    int gear;             // 0 = first gear; there is no neutral
    double engine_speed;  // rad/s
    double crash_timer;   // > 0: controls locked
    bool ground_touched;  // a body part touched the ground since the lap list was cleared

    // Riding state: contacts, drivetrain and assist memories.
    WheelContact wheel[2];      // front, rear
    double drive_angle;         // engine side of the drivetrain spring, at the wheel (rad)
    double grip;                // 0..2000, 1000 normal; caps the steering torque
    double landing_factor;      // roll damping multiplier after touchdown
    int steps_since_reset;      // bike steps run since the last reset
    bool bail_out_requested;    // the ground pass found the rider thrown off
    unsigned object_touch_parts;  // parts (bit per BikeBody) that hit a track object this tick

    // Crash state: the thrown rider's feet, the foot put down at low speed,
    // bike-to-bike hits and where a slow rider turns round to.
    Vec3 foot_position[2] = {};   // left, right: the feet as particles while detached
    Vec3 foot_velocity[2] = {};
    double foot_dab = 0;          // 0..1, how far a foot is put down
    int last_bike_contact_tick = -1;
    Vec3 rider_velocity_ring[4] = {};  // rider velocity after each of the last four steps
    int rider_velocity_index = 0;
    bool turn_target_valid = false;    // in a race, past a gate and not finished
    Vec3 turn_target = {};             // set by the race before each step
    int crash_count = 0;               // bail-outs since the bike was made

    std::vector<int> gate_ticks;  // tick at which each gate position was passed
    bool finished;
    int personality;  // robot personality index
    char number[8];   // rider number, at most seven characters
    unsigned plate_texture;  // number-plate texture, made by the renderer (0 = none)
    int slot;
    BikeGraphics graphics;
};

// Whether the race server has disabled arcade physics (forces the flag off).
void bike_set_arcade_disabled(bool disabled);
bool bike_arcade_disabled();

// --- Setup setters: each clamps to its range and stores. ---
void bike_set_leveling(Bike* b, double v);            // 0..200
void bike_set_roll_damping(Bike* b, double v);        // 0..200
void bike_set_roll_limit_angle(Bike* b, double rad);  // 0..pi
void bike_set_roll_limit_factor(Bike* b, double v);   // 0..64
void bike_set_steering_damping(Bike* b, double v);    // 0..100
void bike_set_steering_strength(Bike* b, double v);   // 0..200
void bike_set_max_steering_force(Bike* b, double v);  // 0..1000
void bike_set_direct_steering(Bike* b, double v);     // 0..1
void bike_set_slow_damping_speed(Bike* b, double v);  // 0..100
void bike_set_slow_damping_factor(Bike* b, double v); // 1..10
void bike_set_land_damping_falloff(Bike* b, double v);  // 0..1
void bike_set_land_damping_factor(Bike* b, double v);   // 1..3
void bike_set_auto_clutch_rpm(Bike* b, double rpm);     // 0..5000
void bike_set_brake_torque(Bike* b, double v);          // 0..500
void bike_set_rear_brake_torque(Bike* b, double v);     // 0..500
void bike_set_max_dab_speed(Bike* b, double ft_per_s);  // 16..30
// Teeth added to a sprocket; the final ratio is recomputed with every
// sprocket held to at least 3 teeth.
void bike_set_front_sprocket_adjustment(Bike* b, double teeth);
void bike_set_rear_sprocket_adjustment(Bike* b, double teeth);
// Damping factors multiply the catalogue base (0..2); fractions (0..1)
// interpolate between the catalogue's 0 % and 100 % values.
void bike_set_fork_compression(Bike* b, double factor);
void bike_set_fork_rebound(Bike* b, double factor);
void bike_set_fork_spring(Bike* b, double fraction);
void bike_set_fork_preload(Bike* b, double fraction);
void bike_set_fork_oil_level(Bike* b, double fraction);
void bike_set_shock_compression(Bike* b, double factor);
void bike_set_shock_rebound(Bike* b, double factor);
void bike_set_shock_spring(Bike* b, double fraction);
void bike_set_shock_preload(Bike* b, double fraction);
void bike_set_rider_yspring(Bike* b, double v);  // 0..1
void bike_set_rider_ydamping(Bike* b, double v);
void bike_set_rider_zspring(Bike* b, double v);
void bike_set_rider_zdamping(Bike* b, double v);
// Moves a share x of the rider's mass onto the rider body and the rest onto
// the frame, rebuilding both bodies' masses; the total stays the same.
void bike_set_rider_mass_distribution(Bike* b, double x);
void bike_set_arcade(Bike* b, bool on);  // off while the server forbids it
void bike_set_front_antilock(Bike* b, bool on);
void bike_set_rear_antilock(Bike* b, bool on);
void bike_set_stop_wheelies(Bike* b, int mode);  // two bits
void bike_set_auto_shift(Bike* b, bool on);
void bike_set_auto_dab(Bike* b, bool on);

// Copies every setup value from the configuration into the bike, in the
// fixed order (leveling first, rider mass distribution last).
void bike_apply_setup(Bike* b);

// The values a new bike starts with, before the configuration is applied.
BikeSetup bike_setup_initial(const BikeModel* m);

// --- Stability master control ---
// The twelve assist values a stability 0..100 sets (roll limit in degrees).
struct StabilityPreset {
    double leveling, roll_damping, roll_limit_angle_deg, roll_limit_factor;
    double steering_damping, steering_strength, direct_steering, max_steering_force;
    double slow_damping_speed, slow_damping_factor, land_damping_falloff, land_damping_factor;
};
StabilityPreset stability_preset(double stability);

// --- Controls ---
bool bike_controls_locked(const Bike* b);
void bike_set_steer(Bike* b, double v);
void bike_set_lean(Bike* b, double v);
void bike_set_throttle(Bike* b, double v);
void bike_set_clutch(Bike* b, double v);
void bike_set_front_brake(Bike* b, double v);
void bike_set_rear_brake(Bike* b, double v);
void bike_set_sit_dab(Bike* b, double v);
void bike_set_back_up(Bike* b, double v);
// Edge-triggered shift by d in {-1, 0, +1}; gears the bike lacks are skipped
// downwards.
void bike_request_shift(Bike* b, int d);
// The shift axis of the human controls as a request.
int bike_shift_request_from_axis(double axis);

// The clutch lever (0 released .. 1 pulled) as the engagement after one
// tick: drops at once, rises by at most 4 per second.
double clutch_engagement_step(double current, double lever);

// The sit/dab control: passed through, or with sticky on toggled on each
// press rising through 0.5.
struct StickyDab {
    bool pressed;
    double value;
};
double sticky_dab_step(StickyDab* s, double control, bool sticky);

// --- Getters for display, menus, demos and the network ---
const char* bike_model_name(const Bike* b);
const char* bike_rider_number(const Bike* b);
bool bike_two_stroke(const Bike* b);
int bike_gear(const Bike* b);
double bike_throttle(const Bike* b);
double bike_clutch(const Bike* b);
double bike_rpm(const Bike* b);
double bike_speed_mph(const Bike* b);
dBodyID bike_frame_body(const Bike* b);
dBodyID bike_rider_body(const Bike* b);
double bike_leveling(const Bike* b);
double bike_roll_damping(const Bike* b);
double bike_roll_limit_angle(const Bike* b);
double bike_roll_limit_factor(const Bike* b);
double bike_steering_damping(const Bike* b);
double bike_steering_strength(const Bike* b);
double bike_max_steering_force(const Bike* b);
double bike_direct_steering(const Bike* b);
double bike_slow_damping_speed(const Bike* b);
double bike_slow_damping_factor(const Bike* b);

// --- The physics world (one for the whole run) ---
// Creates the world with gravity (0, -32, 0) and its contact group. False
// with a log line when the physics library is not the double build.
bool physics_world_init();
void physics_world_close();
dWorldID physics_world();
dJointGroupID physics_contact_group();
// One step of 1/128 s, then the contact group is emptied.
void physics_world_step();

// --- Assembly ---
// Builds a bike from the catalogue entry of that name (with fallback). The
// texture names may be null for the catalogue's own. Null when the world is
// not open.
Bike* bike_create(const char* model_name, int slot, const char* number,
                  const char* rider_body_texture, const char* rider_head_texture,
                  const char* bike_texture, const char* wheel_texture);
// Back to the build pose, at rest, first gear, with every memory cleared.
void bike_reset(Bike* b);
void bike_translate(Bike* b, double dx, double dy, double dz);
// Turns the whole bike about the world origin.
void bike_orient(Bike* b, double ax, double ay, double az, double angle);
// True when a body of the bike has a position, rotation or velocity that
// is not finite, or moves faster than any ride can (400 ft/s): what a
// solver driven wild by interpenetrating bodies leaves behind.
bool bike_motion_broken(const Bike* b);
void bike_freeze(Bike* b);
void bike_unfreeze(Bike* b);
void bike_save_velocities(Bike* b);
void bike_restore_velocities(Bike* b);
// Moves a bike whose state came from outside forward by its frame velocity
// over `ticks` (0..64), lifting it out of the ground when the rear tyre would
// sink in. ground_height(ctx, x, z) gives the terrain height; null = no ground.
using GroundHeightFn = double (*)(void* ctx, double x, double z);
void bike_extrapolate(Bike* b, int ticks, GroundHeightFn ground_height, void* ctx);
// Clears the riding state (contacts, engine, drivetrain, assist memories,
// grip); part of bike_reset.
void bike_ride_state_reset(Bike* b);
// Joins the rider body to the frame again where it sits now (after a crash
// the rider is first put back on the seat).
void bike_attach_rider_mount(Bike* b);
// Remembers the current body positions as the last-set ones.
void bike_record_last_set(Bike* b);
void bike_free(Bike* b);

// The model and texture names of a bike's drawing groups. can_load(name,
// ctx) says whether a model or texture exists (the renderer passes its
// loaders; null checks the data files). Logs the missing-model warnings.
using BikeFileCheckFn = bool (*)(const char* name, void* ctx);
void bike_graphics_resolve(BikeGraphics* out, const BikeModel* m,
                           const char* rider_body_texture, const char* rider_head_texture,
                           const char* bike_texture, const char* wheel_texture,
                           BikeFileCheckFn can_load, void* ctx);
// The variant of a model for a texture such as "crf250-race-blue.png"
// ("@crf250_frame-race.jm"), or "" when the texture names no variant.
std::string bike_model_variant(const char* model, const char* texture);
// The names tried, in order, for a texture's normal ("_norm") or specular
// ("_spec") map.
std::vector<std::string> bike_texture_map_candidates(const char* texture,
                                                     const char* catalogue_texture,
                                                     const char* kind);
