// Loaded models and their drawing: a cache by file name with generations,
// level-of-detail variants found by file name, display lists for static
// meshes, skinning on the way to the screen, and the lit and
// environment-mapped passes. The file format and the GL-free arithmetic are
// in files/model_file.h.
#pragma once
#include "core/vec.h"
#include "files/model_file.h"

// How models are drawn; set once by start-up from the GL capabilities and
// the command line.
struct ModelDrawOptions {
    bool shaders = false;        // the per-pixel programs are in use
    int texture_units = 1;       // tangents go to unit 1 only when > 1
    bool vertex_arrays = true;   // false with --novertexarrays: immediate mode
    int debug_level = 0;         // >= 1 logs model deletions
};
void model_set_draw_options(const ModelDrawOptions& options);
const ModelDrawOptions& model_draw_options();

// Triangles and vertices drawn since the last reset (render statistics).
struct ModelStats {
    long triangles = 0;
    long vertices = 0;
};
ModelStats& model_stats();

// The cached model of that name, loading it (and its "_lod<D>" variants for
// "@" names) on a miss; null when the file cannot be read. A hit is stamped
// with the current generation. Needs a current GL context.
Mesh* model_load(const char* name);

// Starts a new cache generation (every track switch); returns it.
int model_generation_advance();
int model_generation();

// Deletes every cached model whose generation is neither 0 (loaded before
// the first track: permanent) nor current, with its variants and lists.
void model_sweep();

// Deletes everything (shutdown, tests).
void model_cache_clear();

// Number of cached models (head meshes).
int model_cache_size();

// Draws the lit meshes (in file order, up to the first environment mesh) of
// the variant chosen for the camera's distance from `position`. With bones
// (count equal to the mesh's), skinned meshes are rebuilt first; their
// vertices are then world positions.
void model_draw_lit(Mesh* model, Vec3 camera, Vec3 position, const ModelBones* bones = nullptr);

// Draws the environment-mapped meshes of the chosen variant, tinted by their
// colour. Without shaders the texture coordinates of the angular
// environment map are computed here from the current modelview matrix and
// `view_rotation` (3x3, row by row, eye space to world), as the env program
// would.
void model_draw_env(Mesh* model, Vec3 camera, Vec3 position, const float view_rotation[9],
                    const ModelBones* bones = nullptr);

// True when any mesh of the model is environment-mapped.
bool model_has_env(const Mesh* model);

// Every triangle of the full model as a line loop (the track editor).
void model_draw_wire(const Mesh* model);
