// Triangle meshes of bikes, riders, statues and the start gate, and their
// ".jm" text files. Everything here is free of GL so that files, tangents,
// skinning and the level-of-detail choice can be checked headless; the GL
// side (cache, display lists, drawing) is in render/model.h.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "core/vec.h"

struct Stream;

// One mesh of a model. A model file holds a list of meshes (linked by
// `next`); the head mesh of each model carries the cache data and the chain
// of coarser level-of-detail variants.
struct Mesh {
    std::string name;             // file name the model was requested by
    std::unique_ptr<Mesh> next;   // next mesh of the same file
    int generation = 0;           // cache generation of the last use (head only)
    bool has_env = false;         // any mesh of the file is environment-mapped (head)
    unsigned display_list = 0;    // GL list, 0 when drawn from the arrays
    bool want_display_list = false;  // legacy meshes are always compiled
    int vertex_count = 0, triangle_count = 0;
    int bone_count = 0;           // weights per vertex, 0 for rigid meshes
    // Lit meshes: specular RGB and 1; environment meshes: tint RGB and
    // intensity.
    float colour[4] = {1, 1, 1, 1};
    float shininess = 32;         // exactly -1 marks an environment mesh
    // 3 floats per vertex; skinned meshes hold a second, rest-pose copy after
    // the first (so 6 per vertex), which skinning reads and never changes.
    std::vector<float> positions, normals, tangents;
    std::vector<float> texcoords;  // 2 per vertex, v already flipped
    std::vector<float> weights;    // bone_count per vertex, summing to 1
    std::vector<int> triangles;    // 3 vertex indices per triangle
    float lod_distance = 0;        // distance from which this variant is used
    std::unique_ptr<Mesh> next_lod;  // next coarser variant (head meshes)
};

// True for environment-mapped (chrome-like) meshes.
inline bool mesh_is_env(const Mesh& m) { return m.shininess == -1.0f; }

// Reads a whole ".jm" stream: versions 1 and 2 and the legacy single-mesh
// form. Returns the head of the mesh list, or null with a reason in *error
// (bad header, unsupported version, no readable mesh). Counts are checked
// against sane limits and arrays grow only with data actually read, so a
// short or hostile file fails without a large allocation. Tangents are
// computed; has_env is set on the head.
std::unique_ptr<Mesh> model_file_read(Stream* s, const char* name, std::string* error);

// Opens the named file (an "@" name or a path) and reads it.
std::unique_ptr<Mesh> model_file_load(const char* name, std::string* error);

// The ".jm" text of a mesh list: "JM1" when no mesh has bones, otherwise
// "JM2 <bones> <word>" (every mesh must then have that bone count). Numbers
// use a fixed short format so the same meshes always give the same bytes.
// Writes the first (current) copy of the arrays; v is flipped back.
std::string model_file_format(const Mesh* head, const char* word = "kestrum");

// Per-vertex tangents for normal mapping from positions and texture
// coordinates (skinned meshes also get the rest-pose copy).
void mesh_compute_tangents(Mesh& mesh);

// Bone data supplied by the caller for a skinned draw: `count` bones, each a
// 3x3 matrix (9 floats, column order: the images of x, y and z), a rest
// origin and a current origin (3 floats each).
struct ModelBones {
    int count = 0;
    const float* matrices = nullptr;
    const float* rest_origins = nullptr;
    const float* origins = nullptr;
};

// Rebuilds the current positions, normals and tangents of a skinned mesh from
// its rest pose: p = sum of w * (M * (rest p - rest origin) + origin). Does
// nothing (returns false) unless the bone count matches the mesh's.
bool mesh_skin(Mesh& mesh, const ModelBones& bones);

// Level-of-detail settings (--lod-scale, --lod-bias).
struct LodSettings {
    double scale = 1.0;   // clamped to [1e-6, 1e6] by lod_settings_set
    double bias = 0.0;
};
void lod_settings_set(double scale, double bias);
const LodSettings& lod_settings();

// The variant of a model to draw for a camera at that distance: the full
// model or one of its next_lod chain. A variant whose distance minus the
// bias is not positive is never chosen.
const Mesh* model_choose_variant(const Mesh* head, Vec3 camera, Vec3 position);

// The LOD distance a data file name gives for a model base name (2^D for
// "<base>_lod<D>..."), or a negative value when the name is not a variant of
// that base. `base` is the model name without "@" and without extension.
double model_variant_distance(const std::string& file_name, const std::string& base);

// Writes a POV-Ray mesh2 block of one mesh (the track editor's scene export).
void mesh_write_pov(const Mesh* mesh, Stream* s);
