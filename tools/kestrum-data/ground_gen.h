// The ground of a track derived from its course description: heights,
// surface tilemap, baked shading and shadows.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "course.h"

// Surface type indices, in the order the tileinfo lists them.
enum GroundSurface : uint8_t {
    SURF_DIRT = 0,    // worked course dirt
    SURF_PACKED,      // hard-packed faces and landings
    SURF_LOOSE,       // loose, cut-up dirt in the corners
    SURF_SAND,
    SURF_GRASS,
    SURF_MUD,
    SURF_WATER,
    SURF_COUNT
};

struct GroundBuild {
    int order = 0, vertex_count = 0;
    double spacing = 0;
    std::vector<float> heights;      // P*P, rows of constant z
    std::vector<uint8_t> tilemap;    // 2^n * 2^n
    std::vector<uint8_t> shadow;     // P*P, 0 none .. 255 full
    std::vector<uint8_t> shading;    // P*P*3, x2 scale
    float low = 0, high = 0;
};

// Builds everything; false with a reason when the course does not fit its
// grid.
bool ground_build(const Course& c, GroundBuild* out, std::string* error);

// The files of the track folder for this ground, by file name.
std::vector<std::pair<std::string, std::string>> ground_files(const Course& c, const GroundBuild& g);

// The tileinfo shared by the shipped tracks (surface order as above).
std::string ground_tileinfo();
