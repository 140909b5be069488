// What stands on a track's ground and how it is lit: camera-facing pictures
// (billboards), solid models with optional collision shapes (statues), the
// start marshal, lap board and flag marshals (flaggers), and the sun, sky,
// fog and lens flares (lighting). The readers, the placement on the ground,
// the statue collision buckets and the writers the track editor saves with.
//
// Headless, textures and models are kept by name with ids 0 / null; the
// renderer installs its loaders (surface_set_texture_loader and
// scenery_render_hooks) before a track is loaded.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Track;
struct Stream;
struct CollisionShape;
struct Mesh;

// A flat picture that turns to the camera. Indices are stable; the first
// TRACK_PARTICLE_SLOTS of a track are the roost particles.
struct Billboard {
    float x = 0, y = 0, z = 0;  // base point; y = ground height + offset
    float height = 1;
    float offset = 0;           // base above the ground, as in the file
    float aspect = 1;           // width / height
    int depth_key = 0;          // per-frame sort key (renderer)
    int texture = 0;            // 0 = not drawn
    uint8_t colour[4] = {255, 255, 255, 255};
    std::string texture_name;   // without a colour prefix; empty = untextured
};

// A solid model standing on the ground.
struct Statue {
    const Mesh* model = nullptr;
    CollisionShape* shape = nullptr;   // own copy (shape_instance); freed with the track
    int texture = 0, normal_map = 0, specular_map = 0;
    float x = 0, y = 0, z = 0;         // y = ground height + offset
    float offset = 0;
    float angle = 0;
    // rotation[k] is where the model's axis k (x, y, z) points in the world.
    float rotation[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    float facing_distance = 0;         // 0 = fixed orientation
    unsigned touched_tick = 0;         // last tick a bike touched it (start gates)
    std::string model_name;            // empty when the file said "NULL"
    std::string texture_name;
    std::string shape_name;            // empty when the file said "null"
};

// A flag marshal: a billboard that shows its alert picture while a rider is
// down before any of its four gates.
struct Flagger {
    int billboard = -1;
    int normal_texture = 0, alert_texture = 0;
    int gates[4] = {-1, -1, -1, -1};   // timing-gate indices, -1 = none
    std::string normal_name, alert_name;
};

// The starter who walks off the line when the gate drops.
struct StartAnimation {
    int billboard = -1;                // -1 = the track has none
    float a[3] = {0, 0, 0}, b[3] = {0, 0, 0};  // x, offset, z of both ends
    float duration = 0;                // seconds from A to B
    int textures[5] = {0, 0, 0, 0, 0};
    std::string texture_names[5];
};

// The lap board: normal, halfway, last lap, finished.
struct LapBoard {
    int billboard = -1;
    int textures[4] = {0, 0, 0, 0};
    std::string texture_names[4];
};

constexpr int FLARE_MAX_ELEMENTS = 8;

// One disc of a lens flare, placed along the line from the light through
// the screen centre.
struct FlareElement {
    float a = 0, b = 0;
    float colour[3] = {1, 1, 1};
    float size = 0;
    int texture = 0;
    std::string texture_name;
};

struct Flare {
    float position[3] = {0, 0, 0};     // a point, or a direction when is_direction
    bool is_direction = false;
    std::vector<FlareElement> elements;  // at most FLARE_MAX_ELEMENTS
    float screen_x = 0, screen_y = 0, intensity = 0;  // per frame (renderer)
};

// Sky box faces in the order of the file keywords.
enum { SKY_NORTH, SKY_EAST, SKY_SOUTH, SKY_WEST, SKY_UP, SKY_FACES };

struct Lighting {
    float sun[3] = {1, 1, 1};          // towards the sun, unit after reading
    float sun_colour[3] = {1, 1, 1};
    float ambient[3] = {0.5f, 0.5f, 0.5f};
    float global_ambient[3] = {0.2f, 0.2f, 0.2f};
    int sky[SKY_FACES] = {0, 0, 0, 0, 0};
    std::string sky_names[SKY_FACES];
    int environment = 0;
    std::string environment_name;
    float fog_colour[3] = {1, 1, 1};
    float fog_density = 0;             // 0 = no fog
    std::vector<Flare> flares;
};

// The statue buckets: 8 x 8 over the central three quarters of the ground.
constexpr int STATUE_BUCKETS = 8;

// GL-side services the scenery asks for. Headless they stay null: models
// are none and the fog is not set.
struct SceneryRenderHooks {
    const Mesh* (*model_load)(const char* name) = nullptr;
    void (*lighting_applied)(const Lighting* lighting) = nullptr;  // fog, light 0
    bool shaders_on = false;
    int texture_units = 1;
};
extern SceneryRenderHooks scenery_render_hooks;

// Appends a billboard standing on the ground; name may be null or empty
// (untextured, as for particles) or carry a "#rrggbb#" colour prefix.
// Returns its index.
int billboard_add(Track* t, float x, float offset, float z, float height, float aspect,
                  const char* name);
// Splits a "#rrggbb#name" prefix off; false (colour white, name whole) when
// the name does not carry one.
bool billboard_parse_colour(const char* name, uint8_t colour[4], std::string* texture);

// Appends a statue: facing distance, textures and maps, model, collision
// shape, ground height and rotation. shape may be null or "null". Returns
// its index.
int statue_add(Track* t, float x, float offset, float z, float angle, const char* model,
               const char* texture, const char* shape);
// The normal or specular map names tried for a statue texture, in order
// (suffix "_norm" or "_spec"), ending with those made from the model name.
std::vector<std::string> statue_map_candidates(const std::string& texture, const std::string& model,
                                               const char* suffix);
// Sets the statue's rotation from its angle and the ground under it.
void statue_orient(const Track* t, Statue* s);

// True when every value is a finite number.
bool scenery_finite(const float* values, int count);

// The bucket a world coordinate falls in (0..7).
int statue_bucket_of(const Track* t, double c);
void statue_bucket_insert(Track* t, int index);
// Empties the buckets and inserts every statue with a shape.
void statues_bucket_rebuild(Track* t);

// Readers of the track-folder files; a missing file adds nothing. A record
// that does not parse, or holds a number that is not finite, ends the
// reading. The gate indices of flaggers are clamped to the track's timing
// gates.
void scenery_read_billboards(Track* t, Stream* s);
void scenery_read_statues(Track* t, Stream* s);
void scenery_read_flaggers(Track* t, Stream* s);
// Reads a lighting file into t->lighting (starting from the defaults), then
// normalises the sun, fills in default sky faces and hands the result to the
// renderer. s may be null (no file: defaults).
void lighting_read(Track* t, Stream* s);

// Writers for the track editor: into "@" + track name + "/billboards" or
// "/statues" (the user copy). False after reporting "Can't open ...".
bool billboards_save(const Track* t);
bool statues_save(const Track* t);
// The file texts the writers produce (the track's own objects only).
std::string billboards_text(const Track* t);
std::string statues_text(const Track* t);
