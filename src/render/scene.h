// One frame of the 3D world: sky, ground, riders and bikes, statues,
// billboards and particles, translucent riders, debug racing lines and lens
// flares, in that order; the start marshal, lap board and flag marshals
// animated from the race state; and the loading screen.
#pragma once
#include <vector>

#include "core/vec.h"
#include "render/bike_draw.h"
#include "render/camera.h"

struct Bike;
struct Track;
struct Billboard;
struct Statue;

constexpr int SCENE_RIDER_SLOTS = 40;

// Who drives a slot: the scene fades recorded ghosts and hides stale
// remote riders.
enum SceneDriver { SCENE_NO_RIDER, SCENE_PLAYER, SCENE_ROBOT, SCENE_EXTERNAL };

struct SceneRider {
    Bike* bike = nullptr;
    int driver = SCENE_NO_RIDER;
    double state_age = 0;  // seconds since an external rider's last state (server races)
};

// The race state the track objects follow, in plain numbers.
struct SceneRace {
    bool has_laps = false;     // the track has a lap definition
    int clock = 0;             // race clock, ticks
    int start_tick = 0;
    int leader_laps = 0;       // laps completed by the race leader
    int total_laps = 0;
    int halfway_lap = -1;
    std::vector<int> gates_rider_down;  // timing gates a crashed ranked rider is heading for
};

// Everything a frame is drawn from, filled by the race session.
struct SceneWorld {
    Track* track = nullptr;
    SceneRider riders[SCENE_RIDER_SLOTS];
    SceneRace race;
    bool connected = false;  // racing on a server
    int debug_level = 0;
    std::vector<std::vector<LineMarker>> racing_lines;  // shown at debug level 2
};
extern SceneWorld scene_world;

// The ground's part of a frame: handed the camera before the projection is
// set, asked to update its textures, then to draw (back to front, depth
// test "always"). Installed by the terrain renderer; null steps are skipped.
struct SceneGroundHooks {
    void (*view)(Vec3 position, Vec3 direction) = nullptr;
    void (*update_textures)() = nullptr;
    void (*draw)() = nullptr;
};
extern SceneGroundHooks scene_ground_hooks;

// The settings the scene reads, refreshed from the configuration by
// scene_settings_load (start-up and after the options menu).
struct SceneSettings {
    bool hide_rider = false;
    double ghost_fade_distance = 10;
    int billboard_lookahead = 8;
    bool lens_flare = true;
    double first_person_height = 0, first_person_angle = 0;
    double model_detail = 50;
    double lod_scale = 1, lod_bias = 0;
};
extern SceneSettings scene_settings;
void scene_settings_load();

// The window size frames are drawn for (set by the frame loop).
void scene_set_window(int width, int height);

// Draws the world from the camera; viewed_slot names the rider seen
// through (first person) or -1.
void scene_render(Vec3 camera, const float rotation[9], int viewed_slot);
// The rider-view camera of that slot's rider body, then scene_render.
void scene_render_first_person(const Bike* viewed, int viewed_slot);
// The linear velocity of the body looked through in the last first-person
// frame (for the reflections and the HUD).
Vec3 scene_view_velocity();

// The title picture with a message (logged when not empty).
void loading_screen(const char* message);

// Whether a sphere (world centre and radius) reaches into the view pyramid
// of a camera at position with rotation R (row by row) whose half extents at
// distance 1 are w and h. Riders outside it are not drawn at all.
bool scene_sphere_in_view(Vec3 position, const float R[9], double w, double h, Vec3 centre, double radius);

// Ghost fade of a recorded rider at distance d from the first local rider.
double scene_ghost_alpha(double distance, double fade_distance);

// Moves the start marshal, chooses the lap board and flagger pictures from
// the race state; textures that change restart their animation.
void scene_animate_track_objects(Track* t, const SceneRace& race);

// Whether a statue with a facing distance turns to face the camera.
bool statue_faces_camera(const Statue& s, Vec3 camera, double lod_scale, double lod_bias);
// Turns a statue to face the camera (x across, y up).
void statue_face(Statue* s, Vec3 camera);

// The billboard depth key of a point (camera axis z_cam).
int billboard_depth_key(Vec3 point, Vec3 z_cam);
// The order billboards are drawn in: indices of those with a texture and
// non-zero alpha in front of the camera, farthest first, with same-texture
// pictures pulled together within `lookahead` where nothing between them
// overlaps as seen from the camera.
void billboard_draw_order(const std::vector<Billboard>& billboards, Vec3 camera, Vec3 z_cam, int lookahead,
                          std::vector<int>* order);
// Stable least-significant-byte-first radix sort of indices by key.
void billboard_radix_sort(std::vector<int>* indices, const std::vector<unsigned>& keys);

// Draws the billboards in that order, batching same-texture runs; returns
// the number drawn.
int billboards_draw(const std::vector<Billboard>& billboards, const std::vector<int>& order, Vec3 z_cam);

// Statues in two passes (lit, environment).
void statues_draw(Track* t, Vec3 camera, const float rotation[9]);

// Lens flares of the track from the finished frame (reads pixels back).
void lens_flares_draw(Track* t, Vec3 camera, const float rotation[9]);
// A flare's intensity for its position (x, y) on the plane z = -1 with view
// half extents w, h: fades to 0 at the view edges over min(w, h) / 32.
double lens_flare_edge_fade(double x, double y, double w, double h);
