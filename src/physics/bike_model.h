// The compiled-in catalogue of bike models: geometry, masses, suspension
// ranges, gearing, torque curves and the names of each bike's model, shape
// and texture files. A per-rider Bike is built from one entry.
#pragma once

constexpr int BIKE_TORQUE_STEPS = 50;  // one value per 500 rpm from 0 rpm
constexpr int BIKE_GEARS = 6;
constexpr int BIKE_MODEL_COUNT = 18;
constexpr int BIKE_MENU_COUNT = 17;

// A point or size of the catalogue, stored as 32-bit floats like the rest
// of an entry.
struct BikePoint {
    float x, y, z;
};

// One catalogue entry; field order and units follow the bike's data sheet:
// feet, slugs, lbf/ft, lbf·s/ft, radians, rpm.
struct BikeModel {
    const char* name;

    BikePoint front_wheel_centre;
    float front_ring_radius;     // axle to the centre of the tyre section
    float front_section_radius;  // tyre section; outer radius = ring + section
    float front_tyre_mass;
    float front_hub_radius;
    float front_hub_mass;

    BikePoint rear_wheel_centre;
    float rear_ring_radius;
    float rear_section_radius;
    float rear_tyre_mass;
    float rear_hub_radius;
    float rear_hub_mass;

    BikePoint frame_centre;
    float frame_mass;  // frame and engine, without the rider
    BikePoint frame_box;   // box whose inertia the frame gets

    BikePoint steering_head_top;  // upper point of the steering axis
    BikePoint swingarm_centre;
    BikePoint swingarm_pivot;
    BikePoint fork_lower_centre;  // lower point of the steering axis
    float fork_leg_spacing;
    float fork_length_basis;  // a fork leg is 2/3 of this long
    float fork_mass;          // both legs; each fork body gets this mass

    float fork_spring_rate[2];  // at 0 % and 100 % adjustment, both legs
    float fork_preload[2];
    float fork_oil_level[2];  // air gap
    float fork_compression_base;
    float fork_rebound_base;
    float fork_travel;

    float swingarm_mass;
    float shock_spring_rate[2];
    float shock_preload[2];
    float shock_compression_base;
    float shock_rebound_base;
    float swingarm_travel;    // radians upward from full extension
    float shock_leverage[2];  // at full extension / full compression

    float primary_reduction;
    float countershaft_teeth;
    float rear_sprocket_teeth;
    float gear_ratio[BIKE_GEARS];  // <= 0: the bike has no such gear
    float engine_inertia;
    float closed_torque[BIKE_TORQUE_STEPS];
    float open_torque[BIKE_TORQUE_STEPS];
    float auto_shift_down_rpm;
    float auto_shift_up_rpm;
    float third_engine_rpm;  // kept with the entry; nothing reads it
    int two_stroke;

    BikePoint rider_lean_axis;  // frame coordinates, for old state records
    BikePoint rider_body;       // build position of the rider body
    float rider_lean_min, rider_lean_max;
    float rider_mass;

    const char* frame_model;
    const char* frame_shape;
    const char* bike_texture;
    const char* fork_upper_model;
    const char* fork_upper_shape;
    const char* fork_lower_model;
    const char* fork_lower_shape;
    const char* swingarm_model;
    const char* swingarm_shape;
    const char* front_wheel_model;
    const char* front_wheel_shape;
    const char* rear_wheel_model;
    const char* rear_wheel_shape;
    const char* wheel_texture;
    const char* rider_head_model;
    const char* rider_head_texture;
    const char* rider_body_model;
    const char* rider_body_fp_model;
    const char* rider_shape;
    const char* rider_body_texture;
    const char* side_plates_model;
    const char* front_plate_model;
    const char* plate_model;

    BikePoint rider_head_point;  // rider body coordinates
    BikePoint shoulder[2];       // left, right; rider body coordinates
    BikePoint hip[2];            // rider body coordinates
    BikePoint hand_grip[2];      // fork-upper coordinates
    BikePoint foot_peg[2];       // frame coordinates
    float upper_arm, forearm, thigh, shin;
    int skeleton_rest_table;  // the rider skeleton's rest origins (one table)
};

// Entry i of the catalogue in search order (0..BIKE_MODEL_COUNT-1), or null.
const BikeModel* bike_model_at(int i);

// Exact, case-sensitive name match (the last match wins), or null. For the
// bike-selection menu.
const BikeModel* bike_model_find(const char* name);

// The catalogue entry used for a requested name: the exact match, else the
// first entry containing "125" (when the name does) or "250f", else the
// first entry. A fallback is logged. Never null.
const BikeModel* bike_model_lookup(const char* name);

// The seventeen bikes the menu offers, in menu order (i in 0..16).
const char* bike_menu_name(int i);

// Engine torque (ft·lbf) at an engine speed and throttle 0..1, by nearest
// 500 rpm entry.
double bike_model_torque(const BikeModel* m, double rpm, double throttle);

// Menu display values for a suspension percentage (0..100, clamped).
double bike_model_fork_spring_kg_mm(const BikeModel* m, double percent);  // per leg
double bike_model_fork_preload_mm(const BikeModel* m, double percent);
double bike_model_fork_oil_level_mm(const BikeModel* m, double percent);
double bike_model_shock_spring_kg_mm(const BikeModel* m, double percent);
double bike_model_shock_preload_mm(const BikeModel* m, double percent);
// The base sprocket teeth, shown as "%.2f teeth".
double bike_model_countershaft_teeth(const BikeModel* m);
double bike_model_rear_sprocket_teeth(const BikeModel* m);
