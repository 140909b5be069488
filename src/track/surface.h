// Surface types: what each tile of the ground is made of. The wheel contact
// evaluates the grip and rolling-resistance curves every tick, the roost
// emission uses the roost entries and the ground painter the textures.
#pragma once
#include <cstdint>
#include <string>

struct HeightField;
struct Stream;

constexpr int SURFACE_MAX_TYPES = 256;
constexpr int SURFACE_CURVE_POINTS = 8;
constexpr int SURFACE_ROOST_TYPES = 4;

// What a slipping wheel throws up: dirt roost (kind 1) or a water splash
// (kind 2). Kind 0 entries throw nothing.
struct RoostType {
    int kind = 0;
    int texture = 0;                     // particle texture id (0 headless)
    std::string texture_name = "@roost.png";
    float count = 10;                    // particles per tick; fraction = chance of one more
    float dig = 1;                       // dig per particle, scaled by contact depth
    float slip_threshold = 4;            // ft/s of slip below which nothing is thrown
    float slow_angle = 3.14159265f / 2;  // spray angle at slow_speed
    float fast_angle = 3.14159265f / 16; // spray angle at fast_speed
    float slow_speed = 0;                // wheel spin (rad/s)
    float fast_speed = 64;
    float size = 0.25f;                  // particle size (ft)
    float grow = 4;
    float drag = 0.5f;
    float vscale = 1;
    float randomize = 15;
    uint8_t colour[4] = {255, 255, 255, 255};
    int8_t fade[4] = {0, 0, 0, -2};      // per-tick change of R, G, B, A
};

// One point of the grip curve: coefficient at a contact speed (ft/s).
struct FrictionPoint {
    float coefficient;
    float speed;
};

// One point of the rolling-resistance curve: coefficients a, b at a
// tangential speed (ft/s).
struct RollingPoint {
    float a, b;
    float speed;
};

// One tile type. Curve entries with speed 0 end their curve.
struct SurfaceType {
    int texture = 0;                    // ground texture id; 0 none or headless
    std::string texture_name;           // as written in the file, for the renderer
    FrictionPoint friction[SURFACE_CURVE_POINTS];
    RollingPoint rolling[SURFACE_CURVE_POINTS];
    RoostType roost[SURFACE_ROOST_TYPES];
    int transition = 0;                 // (base << 16) | (other << 8) | mask, for tile painting
};

// Loads a texture by name for surfaces and decals; returns its id or 0.
// The headless library has none, so names are stored and ids stay 0; the
// renderer installs its texture manager here.
using SurfaceTextureLoader = int (*)(const char* name);
void surface_set_texture_loader(SurfaceTextureLoader loader);
int surface_load_texture(const char* name);
// True when a texture manager is installed (so a 0 id means a failed load).
bool surface_have_texture_loader();

// A builder-fresh tile type: constant grip 1.0, constant rolling (5, 15),
// no roost.
SurfaceType surface_default();

// Parses a "tileinfo" stream into hf's surface table (appending). Problems
// are warnings; always true. A file with no "addtile" gets one default type
// so that every tilemap byte has a type to clamp to.
bool surface_read_tileinfo(HeightField* hf, Stream* s);
// Parses the older "texturelist" format (one type per line).
void surface_read_texturelist(HeightField* hf, Stream* s);

// Applies a "roost" argument (key=value tokens, double quotes group) to rt.
void surface_parse_roost(RoostType* rt, const char* args);

// Fills the transition codes of every type from the texture base names.
void surface_compute_transitions(HeightField* hf);

// Surface type index under world point (x, z); edges continue outward.
int surface_at(const HeightField* hf, double x, double z);
// Grip coefficient at a squared contact speed.
float surface_friction(const SurfaceType* type, float speed_sq);
// Rolling-resistance coefficients at a tangential speed.
void surface_rolling(const SurfaceType* type, float speed, float* a, float* b);
