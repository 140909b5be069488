// The ground of a track: one square height field with per-vertex colour
// ("shading") and shadow, a coarser map of surface types ("tilemap") and the
// ground decals; the loader and saver of the track-folder files, and the
// geometric queries physics, robots and rendering share.
//
// Grid: order n gives 2^(n+1) cells and P = 2^(n+1) + 1 vertices per side;
// vertex (i, j) sits at (i*L, height[i + P*j], j*L), rows of constant z.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/vec.h"
#include "track/surface.h"
#include "track/terrain_lod.h"

// Grid orders accepted from a file header. Below 7 the renderer's blocks
// and clipmap have no room; above 11 (P = 4097, 16.8 million vertices,
// about 300 MB with the per-node error arrays) memory use is out of
// proportion to any track a rider could cover.
constexpr int TERRAIN_MIN_ORDER = 1;
constexpr int TERRAIN_MAX_ORDER = 11;

// A ground decal: a textured rectangle of size*aspect (own x) by size (own
// z), rotated by angle about its centre.
struct Decal {
    int texture = 0;
    float x = 0, z = 0;
    float angle = 0, size = 0, aspect = 1;
    float sin_angle = 0, cos_angle = 1;
    std::string texture_name;   // as written in the decals file; saved back
};

// The light the baked shading follows when the ground changes: direction
// towards the sun (unit), sun colour and ambient. The track's lighting file
// overrides these defaults.
struct TerrainLight {
    Vec3 sun = {0.57735026918962584, 0.57735026918962584, 0.57735026918962584};
    float sun_colour[3] = {1, 1, 1};
    float ambient[3] = {0.5f, 0.5f, 0.5f};
};

constexpr int TERRAIN_DECAL_BUCKETS = 8;

struct HeightField {
    std::vector<float> heights;          // P*P
    std::vector<float> node_error;       // quadtree error per node, renderer's pass
    std::vector<float> node_error_aux;
    std::vector<int> low_detail_textures;// W*W texture ids (renderer)
    int low_detail_side = 0;             // W
    std::vector<uint8_t> shading;        // P*P*3, x2 scale: 128 = unlit texture colour
    std::vector<uint8_t> shadows;        // P*P, 0 none .. 255 full
    std::vector<uint8_t> tilemap;        // 2^n * 2^n surface indices
    std::vector<bool> node_flags;        // renderer bookkeeping, one per quadtree node
    std::vector<bool> low_detail_dirty;  // W*W
    int low_detail_cursor = 0;           // next low-detail texture the rebuild looks at
    std::vector<bool> block_dirty;       // blocks whose ground texture must be redone
    std::vector<Decal> decals;
    std::vector<int> decal_buckets[TERRAIN_DECAL_BUCKETS][TERRAIN_DECAL_BUCKETS];
    std::vector<int> block_textures;     // one per block (renderer)
    int ground_texture_resolution = 128;
    unsigned framebuffer = 0;
    int view_cell_x = -1000000, view_cell_z = -1000000;  // renderer's remembered view cell
    float spacing = 0, extent = 0, tile_size = 0;
    float detail = 0;
    float max_height = 0, min_height = 0;
    int order = 0, vertex_count = 0;
    SurfaceType surfaces[SURFACE_MAX_TYPES];
    int surface_count = 0;
    bool changed = false;
    bool frozen = false;
    int edit_generation = 0;
    std::string folder;                  // where it was loaded from; saving goes back there
    TerrainLight light;
    unsigned mark_tick = 0;              // seeds the stochastic rounding of ground marks
    TerrainLodState lod;                 // renderer's camera, counters and error-pass progress
};

// Settings the loader takes from the configuration and the GL side.
struct TerrainSettings {
    int debug_level = 0;                // 1: memory lines, 2: also the height digest
    float detail = 1.0f;                // global geometric detail
    int ground_texture_setting = 2;     // 32 << setting texels
    bool framebuffer_objects = false;   // GL side has them and they are switched on
};
extern TerrainSettings terrain_settings;

// GL-side work the loader asks for. The headless library leaves them null;
// the renderer installs its functions when a context exists.
struct TerrainRenderHooks {
    void (*error_pass)(HeightField* hf) = nullptr;          // full quadtree error pass
    void (*build_low_detail)(HeightField* hf) = nullptr;    // far-ground textures from shading
    unsigned (*create_framebuffer)() = nullptr;
    void (*create_ground_textures)(HeightField* hf) = nullptr;  // block textures, windows reset
    void (*decal_inserted)(HeightField* hf, float x0, float z0, float x1, float z1) = nullptr;
    void (*free_gl)(HeightField* hf) = nullptr;             // textures, framebuffer
    unsigned long (*texture_memory)() = nullptr;            // bytes, for the debug lines
};
extern TerrainRenderHooks terrain_render_hooks;

// Where user-visible messages of the track code go. Every message is logged;
// the game's message ring installs itself here to show them on screen too.
using TrackMessageSink = void (*)(const char* text);
void track_set_message_sink(TrackMessageSink sink);
void track_message(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Loads the ground from a track folder ("@oakbasin" or a plain path; files
// are folder + "/" + name). On failure everything is freed and false is
// returned after the reason was reported.
bool terrain_load(HeightField* hf, const char* folder);
// Writes the terrain back into the user copy of its folder (a plain folder
// is written in place). False after reporting the file that failed.
bool terrain_save(HeightField* hf);
// Releases everything and returns the record to its empty state.
void terrain_free(HeightField* hf);

// Height of the triangulated surface; beyond the edges it continues flat.
float terrain_height(const HeightField* hf, double x, double z);
// Upward normal of the triangle under the point, not normalised (y = L^2).
void terrain_normal(const HeightField* hf, double x, double z, Vec3* out);
// Adds dh feet spread over the 4 x 4 vertices around the point and keeps the
// shading lit to the new slope.
void terrain_dig(HeightField* hf, double x, double z, double dh);

// The x2-scale colour the light gives vertex (i, j) with its shadow.
void terrain_vertex_lighting(const HeightField* hf, int i, int j, int out[3]);

// Sets the shading of the vertex rectangle (inclusive, clamped) to its
// lighting and marks the low-detail textures over it dirty (editor).
void shading_recompute(HeightField* hf, int i0, int j0, int i1, int j1);

// Inserts decal index into every bucket its bounding box touches.
void terrain_decal_insert(HeightField* hf, int index);
// Axis-aligned half extents of a decal.
void terrain_decal_extents(const Decal& d, float* hx, float* hz);
