// Drawing one rider: the bike parts as rigid models at their bodies' poses,
// the rider as one skinned model posed from the physics bodies, the head
// turned towards the direction of travel, the number plates, and at the
// highest debug level the points of a robot's line.
#pragma once
#include <GL/gl.h>

#include "core/vec.h"

struct Bike;
struct Mesh;

// A texture with its optional normal and specular maps (0 = none).
struct TextureSet {
    GLuint texture = 0, normal_map = 0, specular_map = 0;
};

// The models and textures of one bike, each possibly absent.
struct BikeDrawAssets {
    Mesh *frame = nullptr, *fork_upper = nullptr, *fork_lower = nullptr, *swingarm = nullptr;
    Mesh *front_wheel = nullptr, *rear_wheel = nullptr;
    Mesh *rider_body = nullptr, *rider_body_fp = nullptr, *rider_head = nullptr;
    Mesh *front_plate = nullptr, *side_plates = nullptr, *rider_plate = nullptr;
    TextureSet bike, wheels, rider_body_set, rider_head_set;
};

// Loads what the bike's graphics names (models and textures, with the
// "_norm" / "_spec" maps found by name). Needs a GL context.
BikeDrawAssets bike_draw_assets_load(const Bike* b);

// One point of a line buffer for the debug markers: position and speed
// (negative while airborne).
struct LineMarker {
    float x, y, z, speed;
};

// What a draw needs beyond the bike, set by the scene before each call.
struct BikeDrawContext {
    float alpha = 1;             // rider alpha (ghost fade)
    GLuint environment = 0;      // the track's environment texture
    float view_rotation[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};  // camera R, row by row
    int debug_level = 0;         // 2 marks the robot line
};
extern BikeDrawContext bike_draw_context;

// The robot line of a bike for the markers: installed by the robot code;
// returns the point count (0 = none) and sets the points and current index.
extern int (*bike_line_markers_hook)(const Bike* b, const LineMarker** points, int* current);

enum BikeDrawMode {
    BIKE_DRAW_ALL = 0,        // everything
    BIKE_DRAW_NO_RIDER = 1,   // first person, rider hidden
    BIKE_DRAW_FIRST_PERSON = 2,  // first person with the first-person body
};

// Draws a bike and rider. The assets are loaded on first use and kept per
// bike until bike_draw_release; the number-plate texture is made from the
// rider number when the bike has none.
void bike_draw(Bike* b, int mode, Vec3 camera);
// As above with the assets given (tests, tools).
void bike_draw_with(Bike* b, const BikeDrawAssets& assets, int mode, Vec3 camera);
// Forgets a bike's cached assets and deletes its plate texture (before
// bike_free).
void bike_draw_release(Bike* b);

// With shaders: the maps on units 1 and 2 and the matching lit program;
// then the texture on unit 0. Without shaders only the texture is bound.
void texture_set_bind(GLuint texture, GLuint normal_map, GLuint specular_map);
// With shaders: the normal map on unit 1 and the env or norm_env program.
void env_maps_bind(GLuint normal_map);

// The debug markers of a line: a black 3 ft square at each point, and 2 ft
// squares just above and below it, white at the current index, grey on
// the ground, blue in the air.
void line_markers_draw(const LineMarker* points, int count, int current);
